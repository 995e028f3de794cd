#include "UITileLayout.h"
#include "UIStackLayout.h"
#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

CTileLayoutUI::CTileLayoutUI() : m_nColumns(1), m_nRows(0), m_nColumnsFixed(0), m_iChildVPadding(0)
{
    m_szItem.cx = 80;
    m_szItem.cy = 80;
}

const wchar_t* CTileLayoutUI::GetClass() const
{
    return L"TileLayout";
}

void* CTileLayoutUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"TileLayout") == 0)
        return static_cast<CTileLayoutUI*>(this);
    return CContainerUI::GetInterface(pstrName);
}

void CTileLayoutUI::SetItemSize(SIZE szItem)
{
    if (m_szItem.cx == szItem.cx && m_szItem.cy == szItem.cy)
        return;
    m_szItem = szItem;
    NeedUpdate();
}

void CTileLayoutUI::SetColumns(int nCols)
{
    if (nCols < 0)
        return;
    m_nColumnsFixed = nCols;
    NeedUpdate();
}

void CTileLayoutUI::SetChildVPadding(int iPadding)
{
    m_iChildVPadding = iPadding < 0 ? 0 : iPadding;
    NeedUpdate();
}

void CTileLayoutUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"itemsize") == 0) {
        SIZE szItem = {0, 0};
        wchar_t* pstr = NULL;
        szItem.cx = wcstol(pstrValue, &pstr, 10);
        if (*pstr != L'\0')
            ++pstr;
        szItem.cy = wcstol(pstr, &pstr, 10);
        SetItemSize(szItem);
    } else if (wcscmp(pstrName, L"columns") == 0) {
        SetColumns(static_cast<int>(wcstol(pstrValue, NULL, 10)));
    } else if (wcscmp(pstrName, L"childvpadding") == 0) {
        SetChildVPadding(static_cast<int>(wcstol(pstrValue, NULL, 10)));
    } else {
        CContainerUI::SetAttribute(pstrName, pstrValue);
    }
}

void CTileLayoutUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    CControlUI::SetPos(rc, bNeedInvalidate);
    TScrollView view = GetScrollView(m_rcItem, m_rcInset, m_pVerticalScrollBar, m_pHorizontalScrollBar);
    rc = view.rcClient;
    if (m_items.GetSize() == 0) {
        ProcessScrollBar(rc, 0, 0);
        return;
    }

    int nCount = 0;
    for (int it = 0; it < m_items.GetSize(); ++it) {
        CControlUI* pControl = static_cast<CControlUI*>(m_items[it]);
        if (pControl->IsVisible() && !pControl->IsFloat())
            ++nCount;
    }

    // A cell without width cannot divide the client: such cells stand in one column, empty.
    SIZE szItem = m_szItem;
    if (szItem.cx < 0)
        szItem.cx = 0;

    int iGap = m_iChildPadding;
    int cxClient = rc.right - rc.left;
    int cxNeeded = 0;
    if (m_nColumnsFixed == 0) {
        if (szItem.cx == 0) {
            m_nColumns = 1;
            iGap = 0;
            cxNeeded = 0;
        } else if (cxClient < szItem.cx) {
            m_nColumns = 1;
            cxNeeded = szItem.cx;
        } else {
            m_nColumns = cxClient / szItem.cx;
            cxNeeded = cxClient;
            if (m_nColumns < 2) {
                iGap = 0;
            } else if (iGap <= 0) {
                iGap = (cxClient - m_nColumns * szItem.cx) / (m_nColumns - 1);
                if (iGap < 0)
                    iGap = 0;
            }
        }
    } else {
        m_nColumns = m_nColumnsFixed;
        if (m_nColumns < 2) {
            iGap = 0;
        } else if (iGap <= 0) {
            int cxWidth = (view.bHBar && cxClient >= m_nColumns * szItem.cx) ? cxClient : view.szAvailable.cx;
            iGap = (cxWidth - m_nColumns * szItem.cx) / (m_nColumns - 1);
            if (iGap < 0)
                iGap = 0;
        }
        if (nCount < m_nColumns)
            cxNeeded = nCount * szItem.cx + (nCount - 1) * iGap;
        else
            cxNeeded = m_nColumns * szItem.cx + (m_nColumns - 1) * iGap;
    }
    m_nRows = (nCount - 1) / m_nColumns + 1;
    int cyNeeded = m_nRows * szItem.cy + (m_nRows - 1) * m_iChildVPadding;

    // Hidden and float children keep their index, so their cells stay empty.
    for (int it = 0; it < m_items.GetSize(); ++it) {
        CControlUI* pControl = static_cast<CControlUI*>(m_items[it]);
        if (!pControl->IsVisible())
            continue;
        if (pControl->IsFloat()) {
            SetFloatPos(it);
            continue;
        }

        int iRow = it / m_nColumns;
        int iColumn = it % m_nColumns;
        int x = rc.left + iColumn * (szItem.cx + iGap) - view.szScrollPos.cx;
        int y = rc.top + iRow * (szItem.cy + m_iChildVPadding) - view.szScrollPos.cy;

        RECT rcPadding = pControl->GetPadding();
        int w = szItem.cx - rcPadding.left - rcPadding.right;
        int h = szItem.cy - rcPadding.top - rcPadding.bottom;
        if (w > pControl->GetMaxWidth()) w = pControl->GetMaxWidth();
        if (w < 0) w = 0;
        if (h > pControl->GetMaxHeight()) h = pControl->GetMaxHeight();
        if (h < 0) h = 0;

        RECT rcCtrl;
        if (m_iChildAlign == DT_CENTER) {
            rcCtrl.left = x + (szItem.cx - w) / 2 + rcPadding.left;
            rcCtrl.right = x + (szItem.cx - w) / 2 + w - rcPadding.right;
        } else if (m_iChildAlign == DT_RIGHT) {
            rcCtrl.left = x + szItem.cx - w + rcPadding.left;
            rcCtrl.right = x + szItem.cx - rcPadding.right;
        } else {
            rcCtrl.left = x + rcPadding.left;
            rcCtrl.right = x + w - rcPadding.right;
        }
        if (m_iChildVAlign == DT_VCENTER) {
            rcCtrl.top = y + (szItem.cy - h) / 2 + rcPadding.top;
            rcCtrl.bottom = y + (szItem.cy - h) / 2 + h - rcPadding.bottom;
        } else if (m_iChildVAlign == DT_BOTTOM) {
            rcCtrl.top = y + szItem.cy - h + rcPadding.top;
            rcCtrl.bottom = y + szItem.cy - rcPadding.bottom;
        } else {
            rcCtrl.top = y + rcPadding.top;
            rcCtrl.bottom = y + h - rcPadding.bottom;
        }
        pControl->SetPos(rcCtrl, false);
    }

    ProcessScrollBar(rc, cxNeeded, cyNeeded);
}

} // namespace Veneer
