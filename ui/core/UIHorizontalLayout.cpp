#include "UIHorizontalLayout.h"
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

CHorizontalLayoutUI::CHorizontalLayoutUI() : m_iSepWidth(0), m_uButtonState(0), m_bImmMode(false)
{
    m_ptLastMouse.x = m_ptLastMouse.y = 0;
    ::SetRectEmpty(&m_rcNewPos);
}

const wchar_t* CHorizontalLayoutUI::GetClass() const
{
    return L"HorizontalLayout";
}

void* CHorizontalLayoutUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"HorizontalLayout") == 0)
        return static_cast<CHorizontalLayoutUI*>(this);
    return CContainerUI::GetInterface(pstrName);
}

UINT CHorizontalLayoutUI::GetControlFlags() const
{
    if (IsEnabled() && m_iSepWidth != 0)
        return UIFLAG_SETCURSOR;
    return 0;
}

void CHorizontalLayoutUI::SetSeparatorSize(int iSize)
{
    m_iSepWidth = iSize;
}

void CHorizontalLayoutUI::SetSeparatorImmediate(bool bImmediately)
{
    if (m_bImmMode == bImmediately)
        return;
    if ((m_uButtonState & kSeparatorCaptured) != 0 && !m_bImmMode && m_pManager != NULL)
        m_pManager->RemovePostPaint(this);
    m_bImmMode = bImmediately;
}

void CHorizontalLayoutUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"sepwidth") == 0)
        SetSeparatorSize(static_cast<int>(wcstol(pstrValue, NULL, 10)));
    else if (wcscmp(pstrName, L"sepimm") == 0)
        SetSeparatorImmediate(wcscmp(pstrValue, L"true") == 0);
    else
        CContainerUI::SetAttribute(pstrName, pstrValue);
}

RECT CHorizontalLayoutUI::GetSeparatorRect(bool bUseNew) const
{
    RECT rc = ((m_uButtonState & kSeparatorCaptured) != 0 && bUseNew) ? m_rcNewPos : m_rcItem;
    if (m_iSepWidth < 0)
        return RECT{rc.left, rc.top, rc.left - m_iSepWidth, rc.bottom};
    return RECT{rc.right - m_iSepWidth, rc.top, rc.right, rc.bottom};
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate)
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

    // Measure: the width the fixed children take and how many share the rest. A child without a
    // fixed width always shares, whatever it would estimate.
    int cyNeeded = 0;
    int nAdjustables = 0;
    int cxFixed = 0;
    int nEstimateNum = 0;
    for (int it = 0; it < m_items.GetSize(); ++it) {
        CControlUI* pControl = static_cast<CControlUI*>(m_items[it]);
        if (!pControl->IsVisible() || pControl->IsFloat())
            continue;
        RECT rcPadding = pControl->GetPadding();
        SIZE sz = {szAvailable.cx, szAvailable.cy - rcPadding.top - rcPadding.bottom};
        int cxLimit = pControl->GetFixedWidth() > 0 ? pControl->GetFixedWidth() : pControl->GetMaxWidth();
        int cyLimit = pControl->GetFixedHeight() > 0 ? pControl->GetFixedHeight() : pControl->GetMaxHeight();
        if (sz.cx > cxLimit) sz.cx = cxLimit;
        if (sz.cy > cyLimit) sz.cy = cyLimit;

        SIZE szChild;
        if (pControl->GetFixedWidth() == 0) {
            ++nAdjustables;
            szChild.cx = 0;
            szChild.cy = pControl->GetFixedHeight();
        } else {
            szChild = pControl->EstimateSize(sz);
            if (szChild.cx == 0) {
                ++nAdjustables;
            } else {
                if (szChild.cx < pControl->GetMinWidth()) szChild.cx = pControl->GetMinWidth();
                if (szChild.cx > pControl->GetMaxWidth()) szChild.cx = pControl->GetMaxWidth();
            }
        }
        cxFixed += szChild.cx + rcPadding.left + rcPadding.right;

        if (szChild.cy < 0) szChild.cy = 0;
        if (szChild.cy < pControl->GetMinHeight()) szChild.cy = pControl->GetMinHeight();
        if (szChild.cy > pControl->GetMaxHeight()) szChild.cy = pControl->GetMaxHeight();
        int cyChild = szChild.cy + rcPadding.top + rcPadding.bottom;
        if (cyChild > cyNeeded)
            cyNeeded = cyChild;
        ++nEstimateNum;
    }
    cxFixed += (nEstimateNum - 1) * m_iChildPadding;

    int cxExpand = 0;
    if (nAdjustables > 0) {
        cxExpand = (szAvailable.cx - cxFixed) / nAdjustables;
        if (cxExpand < 0)
            cxExpand = 0;
    }

    // Place: the last stretchable child takes what is left, rounding included.
    SIZE szRemaining = szAvailable;
    int iPosX = rc.left;
    if (bHBar)
        iPosX -= m_pHorizontalScrollBar->GetScrollPos();
    int iAdjustable = 0;
    int cxFixedRemaining = cxFixed;
    int cxNeeded = 0;
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
        szRemaining.cx -= rcPadding.left;
        SIZE sz = {szRemaining.cx, szRemaining.cy - rcPadding.top - rcPadding.bottom};
        int cxLimit = pControl->GetFixedWidth() > 0 ? pControl->GetFixedWidth() : pControl->GetMaxWidth();
        int cyLimit = pControl->GetFixedHeight() > 0 ? pControl->GetFixedHeight() : pControl->GetMaxHeight();
        if (sz.cx > cxLimit) sz.cx = cxLimit;
        if (sz.cy > cyLimit) sz.cy = cyLimit;

        cxFixedRemaining -= rcPadding.left + rcPadding.right;
        if (nPlaced > 0)
            cxFixedRemaining -= m_iChildPadding;

        SIZE szChild = pControl->EstimateSize(sz);
        if (pControl->GetFixedWidth() == 0 || szChild.cx == 0) {
            ++iAdjustable;
            szChild.cx = cxExpand;
            if (iAdjustable == nAdjustables) {
                szChild.cx = szRemaining.cx - rcPadding.right - cxFixedRemaining;
                if (szChild.cx < 0)
                    szChild.cx = 0;
            }
            if (szChild.cx < pControl->GetMinWidth()) szChild.cx = pControl->GetMinWidth();
            if (szChild.cx > pControl->GetMaxWidth()) szChild.cx = pControl->GetMaxWidth();
        } else {
            if (szChild.cx < pControl->GetMinWidth()) szChild.cx = pControl->GetMinWidth();
            if (szChild.cx > pControl->GetMaxWidth()) szChild.cx = pControl->GetMaxWidth();
            cxFixedRemaining -= szChild.cx;
        }

        // A child without a height of its own takes the whole height offered.
        szChild.cy = pControl->GetMaxHeight();
        if (szChild.cy == 0)
            szChild.cy = szAvailable.cy - rcPadding.top - rcPadding.bottom;
        if (szChild.cy < 0) szChild.cy = 0;
        if (szChild.cy > sz.cy) szChild.cy = sz.cy;
        if (szChild.cy < pControl->GetMinHeight()) szChild.cy = pControl->GetMinHeight();

        RECT rcCtrl;
        rcCtrl.left = iPosX + rcPadding.left;
        rcCtrl.right = iPosX + rcPadding.left + szChild.cx;
        if (m_iChildVAlign == DT_VCENTER) {
            int iPosY = (rc.top + rc.bottom) / 2;
            if (bVBar) {
                iPosY += m_pVerticalScrollBar->GetScrollRange() / 2;
                iPosY -= m_pVerticalScrollBar->GetScrollPos();
            }
            rcCtrl.top = iPosY - szChild.cy / 2;
            rcCtrl.bottom = iPosY + szChild.cy - szChild.cy / 2;
        } else if (m_iChildVAlign == DT_BOTTOM) {
            int iPosY = rc.bottom;
            if (bVBar) {
                iPosY += m_pVerticalScrollBar->GetScrollRange();
                iPosY -= m_pVerticalScrollBar->GetScrollPos();
            }
            rcCtrl.top = iPosY - rcPadding.bottom - szChild.cy;
            rcCtrl.bottom = iPosY - rcPadding.bottom;
        } else {
            int iPosY = rc.top;
            if (bVBar)
                iPosY -= m_pVerticalScrollBar->GetScrollPos();
            rcCtrl.top = iPosY + rcPadding.top;
            rcCtrl.bottom = iPosY + rcPadding.top + szChild.cy;
        }
        pControl->SetPos(rcCtrl, false);

        iPosX += szChild.cx + m_iChildPadding + rcPadding.left + rcPadding.right;
        cxNeeded += szChild.cx + rcPadding.left + rcPadding.right;
        szRemaining.cx -= szChild.cx + m_iChildPadding + rcPadding.right;
        ++nPlaced;
    }
    cxNeeded += (nEstimateNum - 1) * m_iChildPadding;

    ProcessScrollBar(rc, cxNeeded, cyNeeded);
}

void CHorizontalLayoutUI::DoPostPaint(HDC hDC, const RECT& rcPaint)
{
    if ((m_uButtonState & kSeparatorCaptured) != 0 && !m_bImmMode) {
        RECT rcSeparator = GetSeparatorRect(true);
        CUIPainter::DrawColor(hDC, rcSeparator, kSeparatorFeedbackColour);
    }
}

void CHorizontalLayoutUI::DoEvent(tagTEventUI& event)
{
    if (m_iSepWidth != 0) {
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
                LONG cx = event.ptMouse.x - m_ptLastMouse.x;
                m_ptLastMouse = event.ptMouse;
                RECT rc = m_rcNewPos;
                int cxMin = GetMinWidth();
                int cxMax = GetMaxWidth();
                int cxOld = m_rcNewPos.right - m_rcNewPos.left;
                if (m_iSepWidth >= 0) {
                    // Only a mouse past the band's inner edge drags the right edge outwards.
                    if (cx > 0 && event.ptMouse.x < m_rcNewPos.right - m_iSepWidth)
                        return;
                    if (cx < 0 && event.ptMouse.x > m_rcNewPos.right)
                        return;
                    rc.right += cx;
                    if (rc.right - rc.left <= cxMin) {
                        if (cxOld <= cxMin)
                            return;
                        rc.right = rc.left + cxMin;
                    }
                    if (rc.right - rc.left >= cxMax) {
                        if (cxOld >= cxMax)
                            return;
                        rc.right = rc.left + cxMax;
                    }
                } else {
                    if (cx > 0 && event.ptMouse.x < m_rcNewPos.left)
                        return;
                    if (cx < 0 && event.ptMouse.x > m_rcNewPos.left - m_iSepWidth)
                        return;
                    rc.left += cx;
                    if (rc.right - rc.left <= cxMin) {
                        if (cxOld <= cxMin)
                            return;
                        rc.left = rc.right - cxMin;
                    }
                    if (rc.right - rc.left >= cxMax) {
                        if (cxOld >= cxMax)
                            return;
                        rc.left = rc.right - cxMax;
                    }
                }

                RECT rcInvalidate = GetSeparatorRect(true);
                m_rcNewPos = rc;
                // Written directly: the parent reads it at its next layout.
                m_cxyFixed.cx = m_rcNewPos.right - m_rcNewPos.left;
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
                ::SetCursor(::LoadCursorW(NULL, IDC_SIZEWE));
                return;
            }
        }
    }
    CContainerUI::DoEvent(event);
}

} // namespace Veneer
