#include "UIVerticalLayout.h"
#include "UIScrollBar.h"
#include "UIManager.h"
#include "UIRender.h"
#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {

// The drag bit of the separator state: the framework's captured state.
const UINT kSeparatorCaptured = 0x00000040;

// Colour of the band that shows the dragged edge.
const DWORD kSeparatorFeedbackColour = 0xAA000000;

void JoinRect(RECT& rc, const RECT& other)
{
    ::UnionRect(&rc, &rc, &other);
}

} // namespace

CVerticalLayoutUI::CVerticalLayoutUI() : m_iSepHeight(0), m_uButtonState(0), m_bImmMode(false)
{
    m_ptLastMouse.x = m_ptLastMouse.y = 0;
    ::SetRectEmpty(&m_rcNewPos);
}

const wchar_t* CVerticalLayoutUI::GetClass() const
{
    return L"VerticalLayout";
}

void* CVerticalLayoutUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"VerticalLayout") == 0)
        return static_cast<CVerticalLayoutUI*>(this);
    return CContainerUI::GetInterface(pstrName);
}

UINT CVerticalLayoutUI::GetControlFlags() const
{
    if (IsEnabled() && m_iSepHeight != 0)
        return UIFLAG_SETCURSOR;
    return 0;
}

void CVerticalLayoutUI::SetSeparatorSize(int iSize)
{
    m_iSepHeight = iSize;
}

void CVerticalLayoutUI::SetSeparatorImmediate(bool bImmediately)
{
    if (m_bImmMode == bImmediately)
        return;
    if ((m_uButtonState & kSeparatorCaptured) != 0 && !m_bImmMode && m_pManager != NULL)
        m_pManager->RemovePostPaint(this);
    m_bImmMode = bImmediately;
}

void CVerticalLayoutUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"sepheight") == 0)
        SetSeparatorSize(static_cast<int>(wcstol(pstrValue, NULL, 10)));
    else if (wcscmp(pstrName, L"sepimm") == 0)
        SetSeparatorImmediate(wcscmp(pstrValue, L"true") == 0);
    else
        CContainerUI::SetAttribute(pstrName, pstrValue);
}

RECT CVerticalLayoutUI::GetSeparatorRect(bool bUseNew) const
{
    RECT rc = ((m_uButtonState & kSeparatorCaptured) != 0 && bUseNew) ? m_rcNewPos : m_rcItem;
    if (m_iSepHeight < 0) {
        LONG bottom = rc.top - m_iSepHeight;
        if (bottom > rc.bottom)
            bottom = rc.bottom;
        return RECT{rc.left, rc.top, rc.right, bottom};
    }
    LONG top = rc.bottom - m_iSepHeight;
    if (top < rc.top)
        top = rc.top;
    return RECT{rc.left, top, rc.right, rc.bottom};
}

void CVerticalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    CControlUI::SetPos(rc, bNeedInvalidate);
    rc = m_rcItem;

    // Client area: the inset and the visible bars taken off.
    rc.left += m_rcInset.left;
    rc.top += m_rcInset.top;
    rc.right -= m_rcInset.right;
    rc.bottom -= m_rcInset.bottom;
    bool bVBar = m_pVerticalScrollBar != NULL && m_pVerticalScrollBar->IsVisible();
    bool bHBar = m_pHorizontalScrollBar != NULL && m_pHorizontalScrollBar->IsVisible();
    if (bVBar)
        rc.right -= m_pVerticalScrollBar->GetFixedWidth();
    if (bHBar)
        rc.bottom -= m_pHorizontalScrollBar->GetFixedHeight();

    if (m_items.GetSize() == 0) {
        ProcessScrollBar(rc, 0, 0);
        return;
    }

    // The content may be larger than the client by what the bars scroll.
    SIZE szAvailable = {rc.right - rc.left, rc.bottom - rc.top};
    if (bHBar)
        szAvailable.cx += m_pHorizontalScrollBar->GetScrollRange();
    if (bVBar)
        szAvailable.cy += m_pVerticalScrollBar->GetScrollRange();

    // Measure: the height the fixed children take and how many share the rest.
    int cxNeeded = 0;
    int nAdjustables = 0;
    int cyFixed = 0;
    int nEstimateNum = 0;
    for (int it = 0; it < m_items.GetSize(); ++it) {
        CControlUI* pControl = static_cast<CControlUI*>(m_items[it]);
        if (!pControl->IsVisible() || pControl->IsFloat())
            continue;
        RECT rcPadding = pControl->GetPadding();
        SIZE sz = {szAvailable.cx - rcPadding.left - rcPadding.right, szAvailable.cy};
        int cxLimit = pControl->GetFixedWidth() > 0 ? pControl->GetFixedWidth() : pControl->GetMaxWidth();
        int cyLimit = pControl->GetFixedHeight() > 0 ? pControl->GetFixedHeight() : pControl->GetMaxHeight();
        if (sz.cx > cxLimit) sz.cx = cxLimit;
        if (sz.cy > cyLimit) sz.cy = cyLimit;

        SIZE szChild = pControl->EstimateSize(sz);
        if (szChild.cy == 0) {
            ++nAdjustables;
        } else {
            if (szChild.cy < pControl->GetMinHeight()) szChild.cy = pControl->GetMinHeight();
            if (szChild.cy > pControl->GetMaxHeight()) szChild.cy = pControl->GetMaxHeight();
        }
        cyFixed += szChild.cy + rcPadding.top + rcPadding.bottom;

        if (szChild.cx < 0) szChild.cx = 0;
        if (szChild.cx < pControl->GetMinWidth()) szChild.cx = pControl->GetMinWidth();
        if (szChild.cx > pControl->GetMaxWidth()) szChild.cx = pControl->GetMaxWidth();
        int cxChild = szChild.cx + rcPadding.left + rcPadding.right;
        if (cxChild > cxNeeded)
            cxNeeded = cxChild;
        ++nEstimateNum;
    }
    cyFixed += (nEstimateNum - 1) * m_iChildPadding;

    int cyExpand = 0;
    if (nAdjustables > 0) {
        cyExpand = (szAvailable.cy - cyFixed) / nAdjustables;
        if (cyExpand < 0)
            cyExpand = 0;
    }

    // Place: the last stretchable child takes what is left, rounding included.
    SIZE szRemaining = szAvailable;
    int iPosY = rc.top;
    if (bVBar)
        iPosY -= m_pVerticalScrollBar->GetScrollPos();
    int iAdjustable = 0;
    int cyFixedRemaining = cyFixed;
    int cyNeeded = 0;
    int nPlaced = 0;
    for (int it = 0; it < m_items.GetSize(); ++it) {
        CControlUI* pControl = static_cast<CControlUI*>(m_items[it]);
        if (!pControl->IsVisible())
            continue;
        if (pControl->IsFloat()) {
            SetFloatPos(it);
            continue;
        }

        RECT rcPadding = pControl->GetPadding();
        szRemaining.cy -= rcPadding.top;
        SIZE sz = {szRemaining.cx - rcPadding.left - rcPadding.right, szRemaining.cy};
        int cxLimit = pControl->GetFixedWidth() > 0 ? pControl->GetFixedWidth() : pControl->GetMaxWidth();
        int cyLimit = pControl->GetFixedHeight() > 0 ? pControl->GetFixedHeight() : pControl->GetMaxHeight();
        if (sz.cx > cxLimit) sz.cx = cxLimit;
        if (sz.cy > cyLimit) sz.cy = cyLimit;

        cyFixedRemaining -= rcPadding.top + rcPadding.bottom;
        if (nPlaced > 0)
            cyFixedRemaining -= m_iChildPadding;

        SIZE szChild = pControl->EstimateSize(sz);
        if (szChild.cy == 0) {
            ++iAdjustable;
            szChild.cy = cyExpand;
            if (iAdjustable == nAdjustables) {
                szChild.cy = szRemaining.cy - rcPadding.bottom - cyFixedRemaining;
                if (szChild.cy < 0)
                    szChild.cy = 0;
            }
            if (szChild.cy < pControl->GetMinHeight()) szChild.cy = pControl->GetMinHeight();
            if (szChild.cy > pControl->GetMaxHeight()) szChild.cy = pControl->GetMaxHeight();
        } else {
            if (szChild.cy < pControl->GetMinHeight()) szChild.cy = pControl->GetMinHeight();
            if (szChild.cy > pControl->GetMaxHeight()) szChild.cy = pControl->GetMaxHeight();
            cyFixedRemaining -= szChild.cy;
        }

        // A child without a width of its own takes the whole width offered.
        szChild.cx = pControl->GetMaxWidth();
        if (szChild.cx == 0)
            szChild.cx = szAvailable.cx - rcPadding.left - rcPadding.right;
        if (szChild.cx < 0) szChild.cx = 0;
        if (szChild.cx > sz.cx) szChild.cx = sz.cx;
        if (szChild.cx < pControl->GetMinWidth()) szChild.cx = pControl->GetMinWidth();

        RECT rcCtrl;
        rcCtrl.top = iPosY + rcPadding.top;
        rcCtrl.bottom = iPosY + rcPadding.top + szChild.cy;
        if (m_iChildAlign == DT_CENTER) {
            int iPosX = (rc.left + rc.right) / 2;
            if (bHBar) {
                iPosX += m_pHorizontalScrollBar->GetScrollRange() / 2;
                iPosX -= m_pHorizontalScrollBar->GetScrollPos();
            }
            rcCtrl.left = iPosX - szChild.cx / 2;
            rcCtrl.right = iPosX + szChild.cx - szChild.cx / 2;
        } else if (m_iChildAlign == DT_RIGHT) {
            int iPosX = rc.right;
            if (bHBar) {
                iPosX += m_pHorizontalScrollBar->GetScrollRange();
                iPosX -= m_pHorizontalScrollBar->GetScrollPos();
            }
            rcCtrl.left = iPosX - rcPadding.right - szChild.cx;
            rcCtrl.right = iPosX - rcPadding.right;
        } else {
            int iPosX = rc.left;
            if (bHBar)
                iPosX -= m_pHorizontalScrollBar->GetScrollPos();
            rcCtrl.left = iPosX + rcPadding.left;
            rcCtrl.right = iPosX + rcPadding.left + szChild.cx;
        }
        pControl->SetPos(rcCtrl, false);

        iPosY += szChild.cy + m_iChildPadding + rcPadding.top + rcPadding.bottom;
        cyNeeded += szChild.cy + rcPadding.top + rcPadding.bottom;
        szRemaining.cy -= szChild.cy + m_iChildPadding + rcPadding.bottom;
        ++nPlaced;
    }
    cyNeeded += (nEstimateNum - 1) * m_iChildPadding;

    ProcessScrollBar(rc, cxNeeded, cyNeeded);
}

void CVerticalLayoutUI::DoPostPaint(HDC hDC, const RECT& rcPaint)
{
    if ((m_uButtonState & kSeparatorCaptured) != 0 && !m_bImmMode) {
        RECT rcSeparator = GetSeparatorRect(true);
        CUIPainter::DrawColor(hDC, rcSeparator, kSeparatorFeedbackColour);
    }
}

void CVerticalLayoutUI::DoEvent(tagTEventUI& event)
{
    if (m_iSepHeight != 0) {
        if (event.Type == UIEVENT_BUTTONDOWN && IsEnabled()) {
            RECT rcSeparator = GetSeparatorRect(false);
            if (::PtInRect(&rcSeparator, event.ptMouse)) {
                m_uButtonState |= kSeparatorCaptured;
                m_ptLastMouse = event.ptMouse;
                m_rcNewPos = m_rcItem;
                if (!m_bImmMode && m_pManager != NULL)
                    m_pManager->AddPostPaint(this);
                return;
            }
        }
        if (event.Type == UIEVENT_BUTTONUP) {
            if ((m_uButtonState & kSeparatorCaptured) != 0) {
                m_uButtonState &= ~kSeparatorCaptured;
                m_rcItem = m_rcNewPos;
                if (!m_bImmMode && m_pManager != NULL)
                    m_pManager->RemovePostPaint(this);
                NeedParentUpdate();
                return;
            }
        }
        if (event.Type == UIEVENT_MOUSEMOVE) {
            if ((m_uButtonState & kSeparatorCaptured) != 0) {
                LONG cy = event.ptMouse.y - m_ptLastMouse.y;
                m_ptLastMouse = event.ptMouse;
                RECT rc = m_rcNewPos;
                int cyMin = GetMinHeight();
                int cyMax = GetMaxHeight();
                int cyOld = m_rcNewPos.bottom - m_rcNewPos.top;
                if (m_iSepHeight >= 0) {
                    if (cy > 0 && event.ptMouse.y < m_rcNewPos.bottom + m_iSepHeight)
                        return;
                    if (cy < 0 && event.ptMouse.y > m_rcNewPos.bottom)
                        return;
                    rc.bottom += cy;
                    if (rc.bottom - rc.top <= cyMin) {
                        if (cyOld <= cyMin)
                            return;
                        rc.bottom = rc.top + cyMin;
                    }
                    if (rc.bottom - rc.top >= cyMax) {
                        if (cyOld >= cyMax)
                            return;
                        rc.bottom = rc.top + cyMax;
                    }
                } else {
                    if (cy > 0 && event.ptMouse.y < m_rcNewPos.top)
                        return;
                    if (cy < 0 && event.ptMouse.y > m_rcNewPos.top + m_iSepHeight)
                        return;
                    rc.top += cy;
                    if (rc.bottom - rc.top <= cyMin) {
                        if (cyOld <= cyMin)
                            return;
                        rc.top = rc.bottom - cyMin;
                    }
                    if (rc.bottom - rc.top >= cyMax) {
                        if (cyOld >= cyMax)
                            return;
                        rc.top = rc.bottom - cyMax;
                    }
                }

                RECT rcInvalidate = GetSeparatorRect(true);
                m_rcNewPos = rc;
                // Written directly: the parent reads it at its next layout.
                m_cxyFixed.cy = m_rcNewPos.bottom - m_rcNewPos.top;
                if (m_bImmMode) {
                    m_rcItem = m_rcNewPos;
                    NeedParentUpdate();
                } else {
                    JoinRect(rcInvalidate, GetSeparatorRect(true));
                    JoinRect(rcInvalidate, GetSeparatorRect(false));
                    if (m_pManager != NULL)
                        m_pManager->Invalidate(rcInvalidate);
                }
                return;
            }
        }
        if (event.Type == UIEVENT_SETCURSOR) {
            RECT rcSeparator = GetSeparatorRect(false);
            if (IsEnabled() && ::PtInRect(&rcSeparator, event.ptMouse)) {
                ::SetCursor(::LoadCursorW(NULL, IDC_SIZENS));
                return;
            }
        }
    }
    CContainerUI::DoEvent(event);
}

} // namespace Veneer
