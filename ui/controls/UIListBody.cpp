// The list's body: layout of the rows against the header's columns, scrolling that keeps the header
// aligned, the draw index of every visible row and the line under each row.
#include "UIList.h"
#include "UIListHeader.h"
#include "UIManager.h"
#include "UIScrollBar.h"

namespace Veneer {

namespace {

bool Shown(const CScrollBarUI* pBar) { return pBar != NULL && pBar->IsVisible(); }

bool Touches(const RECT& a, const RECT& b)
{
    RECT rcTemp;
    return ::IntersectRect(&rcTemp, &a, &b) != FALSE;
}

} // namespace

CListBodyUI::CListBodyUI(CListUI* pOwner) : m_pOwner(pOwner) {}

void CListBodyUI::SetScrollPos(SIZE szPos)
{
    int cx = 0;
    int cy = 0;
    if (Shown(m_pVerticalScrollBar)) {
        int iLastScrollPos = m_pVerticalScrollBar->GetScrollPos();
        m_pVerticalScrollBar->SetScrollPos(szPos.cy, true);
        cy = m_pVerticalScrollBar->GetScrollPos() - iLastScrollPos;
    }
    if (Shown(m_pHorizontalScrollBar)) {
        int iLastScrollPos = m_pHorizontalScrollBar->GetScrollPos();
        m_pHorizontalScrollBar->SetScrollPos(szPos.cx, true);
        cx = m_pHorizontalScrollBar->GetScrollPos() - iLastScrollPos;
    }
    if (cx == 0 && cy == 0) return;

    for (int it = 0; it < m_items.GetSize(); ++it) {
        CControlUI* pControl = static_cast<CControlUI*>(m_items[it]);
        if (!pControl->IsVisible() || pControl->IsFloat()) continue;
        pControl->Move(SIZE{-cx, -cy}, false);
    }
    Invalidate();

    if (cx != 0 && m_pOwner != NULL) {
        CListHeaderUI* pHeader = m_pOwner->GetHeader();
        if (pHeader == NULL) return;
        TListItemInfoUI* pInfo = m_pOwner->GetListInfo();
        int nCount = pHeader->GetCount();
        pInfo->nColumns = nCount > UILIST_MAX_COLUMNS ? UILIST_MAX_COLUMNS : nCount;
        for (int i = 0; i < pInfo->nColumns; ++i) {
            CControlUI* pControl = pHeader->GetItemAt(i);
            if (!pControl->IsVisible() || pControl->IsFloat()) continue;
            pControl->Move(SIZE{-cx, 0}, false);
            pInfo->rcColumn[i] = pControl->GetPos();
        }
        pHeader->Invalidate();
    }
}

void CListBodyUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    CControlUI::SetPos(rc, bNeedInvalidate);
    rc = m_rcItem;
    rc.left += m_rcInset.left;
    rc.top += m_rcInset.top;
    rc.right -= m_rcInset.right;
    rc.bottom -= m_rcInset.bottom;
    if (Shown(m_pVerticalScrollBar)) rc.right -= m_pVerticalScrollBar->GetFixedWidth();
    if (Shown(m_pHorizontalScrollBar)) rc.bottom -= m_pHorizontalScrollBar->GetFixedHeight();

    SIZE szAvailable = {rc.right - rc.left, rc.bottom - rc.top};
    if (Shown(m_pHorizontalScrollBar)) szAvailable.cx += m_pHorizontalScrollBar->GetScrollRange();

    int iChildPadding = m_iChildPadding;
    TListItemInfoUI* pInfo = m_pOwner != NULL ? m_pOwner->GetListInfo() : NULL;
    if (pInfo != NULL) {
        iChildPadding += pInfo->iHLineSize;
        if (pInfo->nColumns > 0)
            szAvailable.cx = pInfo->rcColumn[pInfo->nColumns - 1].right - pInfo->rcColumn[0].left;
    }

    int cxNeeded = 0;
    int nEstimateNum = 0;
    for (int it = 0; it < m_items.GetSize(); ++it) {
        CControlUI* pControl = static_cast<CControlUI*>(m_items[it]);
        if (!pControl->IsVisible() || pControl->IsFloat()) continue;
        SIZE sz = pControl->EstimateSize(szAvailable);
        if (sz.cx < 0) sz.cx = 0;
        if (sz.cx < pControl->GetMinWidth()) sz.cx = pControl->GetMinWidth();
        if (sz.cx > pControl->GetMaxWidth()) sz.cx = pControl->GetMaxWidth();
        if (sz.cx > cxNeeded) cxNeeded = sz.cx;
        nEstimateNum++;
    }
    if (m_pOwner != NULL) {
        CListHeaderUI* pHeader = m_pOwner->GetHeader();
        if (pHeader != NULL && pHeader->GetCount() > 0) {
            cxNeeded = pHeader->EstimateSize(SIZE{rc.right - rc.left, rc.bottom - rc.top}).cx;
            if (cxNeeded < 0) cxNeeded = 0;
        }
    }

    int cyNeeded = 0;
    int iPosY = rc.top;
    if (Shown(m_pVerticalScrollBar)) iPosY -= m_pVerticalScrollBar->GetScrollPos();
    int iPosX = rc.left;
    if (Shown(m_pHorizontalScrollBar)) iPosX -= m_pHorizontalScrollBar->GetScrollPos();
    int cyRemaining = szAvailable.cy;
    for (int it = 0; it < m_items.GetSize(); ++it) {
        CControlUI* pControl = static_cast<CControlUI*>(m_items[it]);
        if (!pControl->IsVisible()) continue;
        if (pControl->IsFloat()) {
            SetFloatPos(it);
            continue;
        }
        RECT rcPadding = pControl->GetPadding();
        cyRemaining -= rcPadding.top;
        SIZE szSlot = {szAvailable.cx - rcPadding.left - rcPadding.right, cyRemaining};
        int cxLimit = pControl->GetFixedWidth() > 0 ? pControl->GetFixedWidth() : pControl->GetMaxWidth();
        int cyLimit = pControl->GetFixedHeight() > 0 ? pControl->GetFixedHeight() : pControl->GetMaxHeight();
        if (szSlot.cx > cxLimit) szSlot.cx = cxLimit;
        if (szSlot.cy > cyLimit) szSlot.cy = cyLimit;
        SIZE sz = pControl->EstimateSize(szSlot);
        if (sz.cy < pControl->GetMinHeight()) sz.cy = pControl->GetMinHeight();
        if (sz.cy > pControl->GetMaxHeight()) sz.cy = pControl->GetMaxHeight();

        sz.cx = pControl->GetMaxWidth();
        if (sz.cx == 0) sz.cx = szAvailable.cx - rcPadding.left - rcPadding.right;
        if (sz.cx < 0) sz.cx = 0;
        if (sz.cx > szSlot.cx) sz.cx = szSlot.cx;
        if (sz.cx < pControl->GetMinWidth()) sz.cx = pControl->GetMinWidth();

        RECT rcCtrl = {iPosX + rcPadding.left, iPosY + rcPadding.top, iPosX + rcPadding.left + sz.cx,
                       iPosY + sz.cy + rcPadding.top + rcPadding.bottom};
        pControl->SetPos(rcCtrl, false);

        iPosY += sz.cy + iChildPadding + rcPadding.top + rcPadding.bottom;
        cyNeeded += sz.cy + rcPadding.top + rcPadding.bottom;
        cyRemaining -= sz.cy + iChildPadding + rcPadding.bottom;
    }
    if (nEstimateNum > 0) cyNeeded += (nEstimateNum - 1) * iChildPadding;

    ProcessScrollBar(rc, cxNeeded, cyNeeded);
}

void CListBodyUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && event.Type >= UIEVENT__MOUSEBEGIN && event.Type <= UIEVENT__MOUSEEND) {
        if (m_pOwner != NULL)
            m_pOwner->DoEvent(event);
        else
            CControlUI::DoEvent(event);
        return;
    }
    if (m_pOwner == NULL) {
        CControlUI::DoEvent(event);
        return;
    }
    if (event.Type == UIEVENT_SCROLLWHEEL && m_pHorizontalScrollBar != NULL && m_pHorizontalScrollBar->IsVisible() &&
        m_pHorizontalScrollBar->IsEnabled() && ::PtInRect(&m_pHorizontalScrollBar->GetPos(), event.ptMouse)) {
        switch (LOWORD(event.wParam)) {
        case SB_LINEUP: m_pOwner->LineLeft(); return;
        case SB_LINEDOWN: m_pOwner->LineRight(); return;
        default: break;
        }
    }
    m_pOwner->DoEvent(event);
}

bool CListBodyUI::DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl)
{
    return PaintListRows(this, m_pOwner != NULL ? m_pOwner->GetListInfo() : NULL, hDC, rcPaint, pStopControl);
}

bool PaintListRows(CContainerUI* pBody, TListItemInfoUI* pListInfo, HDC hDC, const RECT& rcPaint,
                   CControlUI* pStopControl)
{
    const RECT rcBody = pBody->GetPos();
    RECT rcTemp = {0, 0, 0, 0};
    if (!::IntersectRect(&rcTemp, &rcPaint, &rcBody)) return true;

    CUIClipRegion clip;
    CUIClipRegion::ClipRect(hDC, rcTemp, clip);
    pBody->CControlUI::DoPaint(hDC, rcPaint, pStopControl);

    CScrollBarUI* pVer = pBody->GetVerticalScrollBar();
    CScrollBarUI* pHor = pBody->GetHorizontalScrollBar();
    const int nCount = pBody->GetCount();
    if (nCount > 0) {
        RECT rc = rcBody;
        RECT rcInset = pBody->GetInset();
        rc.left += rcInset.left;
        rc.top += rcInset.top;
        rc.right -= rcInset.right;
        rc.bottom -= rcInset.bottom;
        if (Shown(pVer)) rc.right -= pVer->GetFixedWidth();
        if (Shown(pHor)) rc.bottom -= pHor->GetFixedHeight();

        if (!::IntersectRect(&rcTemp, &rcPaint, &rc)) {
            for (int it = 0; it < nCount; ++it) {
                CControlUI* pControl = pBody->GetItemAt(it);
                if (pControl == pStopControl) return false;
                if (!pControl->IsVisible() || !pControl->IsFloat()) continue;
                if (!Touches(rcPaint, pControl->GetPos()) || !Touches(rcBody, pControl->GetPos())) continue;
                if (!pControl->Paint(hDC, rcPaint, pStopControl)) return false;
            }
        } else {
            int iDrawIndex = 0;
            CUIClipRegion childClip;
            CUIClipRegion::ClipRect(hDC, rcTemp, childClip);
            CUIBorderPenScope borderPen(hDC);
            for (int it = 0; it < nCount; ++it) {
                CControlUI* pControl = pBody->GetItemAt(it);
                if (pControl == pStopControl) return false;
                if (!pControl->IsVisible()) continue;
                if (!pControl->IsFloat()) {
                    IListItemUI* pListItem = static_cast<IListItemUI*>(pControl->GetInterface(L"IListItem"));
                    if (pListItem != NULL) pListItem->SetDrawIndex(iDrawIndex++);
                    if (pListInfo != NULL && pListInfo->iHLineSize > 0) {
                        const RECT& rcPos = pControl->GetPos();
                        int iBottom = rcPos.bottom + pControl->GetPadding().bottom;
                        RECT rcLine = {rcPos.left, iBottom, rcPos.right, iBottom + pListInfo->iHLineSize};
                        if (Touches(rcPaint, rcLine)) {
                            int y = rcLine.top + pListInfo->iHLineSize / 2;
                            rcLine.top = y;
                            rcLine.bottom = y;
                            CUIPainter::DrawLine(hDC, rcLine, pListInfo->iHLineSize,
                                                 pBody->GetHslAdjustedColor(pListInfo->dwHLineColor));
                        }
                    }
                }
                if (!Touches(rcPaint, pControl->GetPos())) continue;
                if (it + 1 < nCount) CUIPainter::PrefetchControl(pBody->GetItemAt(it + 1));
                if (pControl->IsFloat()) {
                    if (!Touches(rcBody, pControl->GetPos())) continue;
                    CUIClipRegion::SelectOldClip(hDC, childClip);
                    bool bGoOn = pControl->Paint(hDC, rcPaint, pStopControl);
                    CUIClipRegion::SelectNewClip(hDC, childClip);
                    if (!bGoOn) return false;
                } else {
                    if (!Touches(rc, pControl->GetPos())) continue;
                    if (!pControl->Paint(hDC, rcPaint, pStopControl)) return false;
                }
            }
        }
    }

    CScrollBarUI* bars[2] = {pVer, pHor};
    for (CScrollBarUI* pBar : bars) {
        if (pBar == NULL) continue;
        if (pBar == pStopControl) return false;
        if (pBar->IsVisible() && Touches(rcPaint, pBar->GetPos())) {
            if (!pBar->Paint(hDC, rcPaint, pStopControl)) return false;
        }
    }
    return true;
}

} // namespace Veneer
