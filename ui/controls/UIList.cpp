#include "UIList.h"
#include "UIListHeader.h"
#include "UIManager.h"
#include "UIScrollBar.h"

#include <algorithm>
#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {

DWORD ParseListColor(const wchar_t* pstrValue)
{
    if (*pstrValue == L'#') ++pstrValue;
    return (DWORD)wcstoul(pstrValue, NULL, 16);
}

long ReadNextInt(const wchar_t*& p)
{
    wchar_t* end = NULL;
    long v = wcstol(p, &end, 10);
    p = end;
    if (*p != L'\0') ++p;
    return v;
}

bool IsTrue(const wchar_t* pstrValue) { return wcscmp(pstrValue, L"true") == 0; }

bool Shown(const CScrollBarUI* pBar) { return pBar != NULL && pBar->IsVisible(); }

// The three kinds of control a list sorts its children into.
enum ListKind { kHeader, kHeaderItem, kRow };

ListKind KindOf(CControlUI* pControl)
{
    if (pControl->GetInterface(L"ListHeader") != NULL) return kHeader;
    if (wcsstr(pControl->GetClass(), L"ListHeaderItem") != NULL) return kHeaderItem;
    return kRow;
}

IListItemUI* AsListItem(CControlUI* pControl)
{
    return pControl != NULL ? static_cast<IListItemUI*>(pControl->GetInterface(L"IListItem")) : NULL;
}

int ColumnCount(CListHeaderUI* pHeader)
{
    int n = pHeader->GetCount();
    return n > UILIST_MAX_COLUMNS ? UILIST_MAX_COLUMNS : n;
}

} // namespace

TListItemInfoUI::TListItemInfoUI()
    : nColumns(0),
      uFixedHeight(0),
      nFont(-1),
      uTextStyle(DT_VCENTER | DT_SINGLELINE),
      dwTextColor(0xFF000000),
      dwBkColor(0),
      bAlternateBk(false),
      dwSelectedTextColor(0xFF000000),
      dwSelectedBkColor(0xFFC1E3FF),
      dwHotTextColor(0xFF000000),
      dwHotBkColor(0xFFE9F5FF),
      dwDisabledTextColor(0xFFCCCCCC),
      dwDisabledBkColor(0xFFFFFFFF),
      iHLineSize(0),
      dwHLineColor(0xFF3C3C3C),
      iVLineSize(0),
      dwVLineColor(0xFF3C3C3C),
      bShowHtml(false),
      bMultiExpandable(false)
{
    ::ZeroMemory(rcColumn, sizeof(rcColumn));
    ::ZeroMemory(&rcTextPadding, sizeof(rcTextPadding));
}

bool ReplaceListImage(TImageDesc& desc, const wchar_t* pStrImage)
{
    if (desc.sDescription == pStrImage && desc.pImage != NULL) return false;
    desc.Clear();
    desc.sDescription = pStrImage;
    return true;
}

bool SetListInfoAttribute(TListItemInfoUI& info, const wchar_t* pstrName, const wchar_t* pstrValue,
                          bool& bRepaint, bool& bRelayout)
{
    bRepaint = false;
    bRelayout = false;
    if (wcscmp(pstrName, L"itemheight") == 0) {
        info.uFixedHeight = (int)wcstol(pstrValue, NULL, 10);
    } else if (wcscmp(pstrName, L"itemfont") == 0) {
        info.nFont = (int)wcstol(pstrValue, NULL, 10);
    } else if (wcscmp(pstrName, L"itemalign") == 0) {
        if (wcsstr(pstrValue, L"left") != NULL) info.uTextStyle &= ~(DT_CENTER | DT_RIGHT);
        if (wcsstr(pstrValue, L"center") != NULL) {
            info.uTextStyle &= ~DT_RIGHT;
            info.uTextStyle |= DT_CENTER;
        }
        if (wcsstr(pstrValue, L"right") != NULL) {
            info.uTextStyle &= ~DT_CENTER;
            info.uTextStyle |= DT_RIGHT;
        }
    } else if (wcscmp(pstrName, L"itemvalign") == 0) {
        if (wcsstr(pstrValue, L"top") != NULL) info.uTextStyle &= ~(DT_VCENTER | DT_BOTTOM);
        if (wcsstr(pstrValue, L"vcenter") != NULL) {
            info.uTextStyle &= ~DT_BOTTOM;
            info.uTextStyle |= DT_VCENTER;
        }
        if (wcsstr(pstrValue, L"bottom") != NULL) {
            info.uTextStyle &= ~DT_VCENTER;
            info.uTextStyle |= DT_BOTTOM;
        }
    } else if (wcscmp(pstrName, L"itemendellipsis") == 0) {
        if (IsTrue(pstrValue))
            info.uTextStyle |= DT_END_ELLIPSIS;
        else
            info.uTextStyle &= ~DT_END_ELLIPSIS;
    } else if (wcscmp(pstrName, L"itemmultiline") == 0) {
        if (IsTrue(pstrValue)) {
            info.uTextStyle &= ~DT_SINGLELINE;
            info.uTextStyle |= DT_WORDBREAK;
        } else {
            info.uTextStyle |= DT_SINGLELINE;
        }
    } else if (wcscmp(pstrName, L"itemtextpadding") == 0) {
        const wchar_t* p = pstrValue;
        info.rcTextPadding.left = ReadNextInt(p);
        info.rcTextPadding.top = ReadNextInt(p);
        info.rcTextPadding.right = ReadNextInt(p);
        info.rcTextPadding.bottom = ReadNextInt(p);
        bRelayout = true;
    } else if (wcscmp(pstrName, L"itemtextcolor") == 0) {
        info.dwTextColor = ParseListColor(pstrValue);
        bRepaint = true;
    } else if (wcscmp(pstrName, L"itembkcolor") == 0) {
        info.dwBkColor = ParseListColor(pstrValue);
        bRepaint = true;
    } else if (wcscmp(pstrName, L"itembkimage") == 0) {
        bRepaint = ReplaceListImage(info.diBk, pstrValue);
    } else if (wcscmp(pstrName, L"itemaltbk") == 0) {
        info.bAlternateBk = IsTrue(pstrValue);
        bRepaint = true;
    } else if (wcscmp(pstrName, L"itemselectedtextcolor") == 0) {
        info.dwSelectedTextColor = ParseListColor(pstrValue);
        bRepaint = true;
    } else if (wcscmp(pstrName, L"itemselectedbkcolor") == 0) {
        info.dwSelectedBkColor = ParseListColor(pstrValue);
        bRepaint = true;
    } else if (wcscmp(pstrName, L"itemselectedimage") == 0) {
        bRepaint = ReplaceListImage(info.diSelected, pstrValue);
    } else if (wcscmp(pstrName, L"itemhottextcolor") == 0) {
        info.dwHotTextColor = ParseListColor(pstrValue);
        bRepaint = true;
    } else if (wcscmp(pstrName, L"itemhotbkcolor") == 0) {
        info.dwHotBkColor = ParseListColor(pstrValue);
        bRepaint = true;
    } else if (wcscmp(pstrName, L"itemhotimage") == 0) {
        bRepaint = ReplaceListImage(info.diHot, pstrValue);
    } else if (wcscmp(pstrName, L"itemdisabledtextcolor") == 0) {
        info.dwDisabledTextColor = ParseListColor(pstrValue);
        bRepaint = true;
    } else if (wcscmp(pstrName, L"itemdisabledbkcolor") == 0) {
        info.dwDisabledBkColor = ParseListColor(pstrValue);
        bRepaint = true;
    } else if (wcscmp(pstrName, L"itemdisabledimage") == 0) {
        bRepaint = ReplaceListImage(info.diDisabled, pstrValue);
    } else if (wcscmp(pstrName, L"itemvlinesize") == 0) {
        info.iVLineSize = (int)wcstol(pstrValue, NULL, 10);
        bRepaint = true;
    } else if (wcscmp(pstrName, L"itemvlinecolor") == 0) {
        info.dwVLineColor = ParseListColor(pstrValue);
        bRepaint = true;
    } else if (wcscmp(pstrName, L"itemhlinesize") == 0) {
        info.iHLineSize = (int)wcstol(pstrValue, NULL, 10);
        bRepaint = true;
    } else if (wcscmp(pstrName, L"itemhlinecolor") == 0) {
        info.dwHLineColor = ParseListColor(pstrValue);
        bRepaint = true;
    } else if (wcscmp(pstrName, L"itemshowhtml") == 0) {
        bool bShow = IsTrue(pstrValue);
        bRelayout = info.bShowHtml != bShow;
        info.bShowHtml = bShow;
    } else {
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// List

CListUI::CListUI()
    : m_bScrollSelect(false),
      m_iCurSel(-1),
      m_iExpandedItem(-1),
      m_iExpandingItem(-1),
      m_pCallback(NULL),
      m_pList(NULL),
      m_pHeader(NULL)
{
    m_pList = new CListBodyUI(this);
    m_pHeader = new CListHeaderUI;
    Add(m_pHeader);
    CVerticalLayoutUI::Add(m_pList);
}

CListUI::~CListUI() {}

const wchar_t* CListUI::GetClass() const { return L"List"; }

void* CListUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"List") == 0) return static_cast<CListUI*>(this);
    if (wcscmp(pstrName, L"IList") == 0) return static_cast<IListUI*>(this);
    if (wcscmp(pstrName, L"IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
    return CVerticalLayoutUI::GetInterface(pstrName);
}

UINT CListUI::GetControlFlags() const { return 1; }

CControlUI* CListUI::GetItemAt(int iIndex) const { return m_pList->GetItemAt(iIndex); }

int CListUI::GetItemIndex(CControlUI* pControl) const
{
    if (pControl == NULL) return -1;
    switch (KindOf(pControl)) {
    case kHeader: return CVerticalLayoutUI::GetItemIndex(pControl);
    case kHeaderItem: return m_pHeader->GetItemIndex(pControl);
    default: return m_pList->GetItemIndex(pControl);
    }
}

void CListUI::Reindex(int iFrom, int iTo)
{
    if (iFrom < 0) iFrom = 0;
    if (iTo >= m_pList->GetCount()) iTo = m_pList->GetCount() - 1;
    for (int i = iFrom; i <= iTo; ++i) {
        IListItemUI* pItem = AsListItem(m_pList->GetItemAt(i));
        if (pItem != NULL) pItem->SetIndex(i);
    }
}

bool CListUI::SetItemIndex(CControlUI* pControl, int iNewIndex)
{
    if (pControl == NULL) return false;
    ListKind kind = KindOf(pControl);
    if (kind == kHeader) return CVerticalLayoutUI::SetItemIndex(pControl, iNewIndex);
    if (kind == kHeaderItem) return m_pHeader->SetItemIndex(pControl, iNewIndex);

    int iOrginIndex = m_pList->GetItemIndex(pControl);
    if (iOrginIndex == -1) return false;
    if (iOrginIndex == iNewIndex) return true;
    IListItemUI* pSelectedListItem = m_iCurSel >= 0 ? AsListItem(GetItemAt(m_iCurSel)) : NULL;
    IListItemUI* pExpandedListItem = m_iExpandedItem >= 0 ? AsListItem(GetItemAt(m_iExpandedItem)) : NULL;
    if (!m_pList->SetItemIndex(pControl, iNewIndex)) return false;
    Reindex(std::min(iOrginIndex, iNewIndex), std::max(iOrginIndex, iNewIndex));
    if (m_iCurSel >= 0 && pSelectedListItem != NULL) m_iCurSel = pSelectedListItem->GetIndex();
    if (pExpandedListItem != NULL) m_iExpandedItem = pExpandedListItem->GetIndex();
    return true;
}

bool CListUI::SetMultiItemIndex(CControlUI* pStartControl, int iCount, int iNewStartIndex)
{
    if (pStartControl == NULL || iCount < 0 || iNewStartIndex < 0) return false;
    ListKind kind = KindOf(pStartControl);
    if (kind == kHeader) return CVerticalLayoutUI::SetMultiItemIndex(pStartControl, iCount, iNewStartIndex);
    if (kind == kHeaderItem) return m_pHeader->SetMultiItemIndex(pStartControl, iCount, iNewStartIndex);

    int iStartIndex = GetItemIndex(pStartControl);
    if (iStartIndex == iNewStartIndex) return true;
    if (iStartIndex + iCount > GetCount() || iNewStartIndex + iCount > GetCount()) return false;
    IListItemUI* pSelectedListItem = m_iCurSel >= 0 ? AsListItem(GetItemAt(m_iCurSel)) : NULL;
    IListItemUI* pExpandedListItem = m_iExpandedItem >= 0 ? AsListItem(GetItemAt(m_iExpandedItem)) : NULL;
    if (!m_pList->SetMultiItemIndex(pStartControl, iCount, iNewStartIndex)) return false;
    Reindex(std::min(iStartIndex, iNewStartIndex), std::max(iStartIndex, iNewStartIndex) + iCount - 1);
    if (m_iCurSel >= 0 && pSelectedListItem != NULL) m_iCurSel = pSelectedListItem->GetIndex();
    if (pExpandedListItem != NULL) m_iExpandedItem = pExpandedListItem->GetIndex();
    return true;
}

int CListUI::GetCount() const { return m_pList->GetCount(); }

bool CListUI::Add(CControlUI* pControl)
{
    if (pControl == NULL) return false;
    ListKind kind = KindOf(pControl);
    if (kind == kHeader) {
        // A header that is already one of the list's children would be listed (and freed) twice.
        if (CVerticalLayoutUI::GetItemIndex(pControl) >= 0) return false;
        if (m_pHeader != pControl && m_pHeader != NULL && m_pHeader->GetCount() == 0) {
            CVerticalLayoutUI::Remove(m_pHeader, false);
            m_pHeader = static_cast<CListHeaderUI*>(pControl->GetInterface(L"ListHeader"));
        } else if (m_pHeader == NULL) {
            m_pHeader = static_cast<CListHeaderUI*>(pControl->GetInterface(L"ListHeader"));
        }
        m_ListInfo.nColumns = ColumnCount(m_pHeader);
        return CVerticalLayoutUI::AddAt(pControl, 0);
    }
    if (kind == kHeaderItem) {
        bool bResult = static_cast<IContainerUI*>(m_pHeader)->Add(pControl);
        m_ListInfo.nColumns = ColumnCount(m_pHeader);
        return bResult;
    }
    IListItemUI* pListItem = AsListItem(pControl);
    if (pListItem != NULL) {
        pListItem->SetOwner(this);
        pListItem->SetIndex(GetCount());
    }
    return m_pList->Add(pControl);
}

bool CListUI::AddAt(CControlUI* pControl, int iIndex)
{
    if (pControl == NULL) return false;
    ListKind kind = KindOf(pControl);
    if (kind == kHeader) return Add(pControl);
    if (kind == kHeaderItem) {
        bool bResult = m_pHeader->AddAt(pControl, iIndex);
        m_ListInfo.nColumns = ColumnCount(m_pHeader);
        return bResult;
    }
    if (!m_pList->AddAt(pControl, iIndex)) return false;
    IListItemUI* pListItem = AsListItem(pControl);
    if (pListItem != NULL) {
        pListItem->SetOwner(this);
        pListItem->SetIndex(iIndex);
    }
    Reindex(iIndex + 1, GetCount() - 1);
    if (m_iCurSel >= iIndex) m_iCurSel += 1;
    if (m_iExpandedItem >= iIndex) m_iExpandedItem += 1;
    return true;
}

bool CListUI::Remove(CControlUI* pControl, bool bDoNotDestroy)
{
    if (pControl == NULL) return false;
    ListKind kind = KindOf(pControl);
    if (kind == kHeader) {
        // The list keeps its own header (a list shows none by hiding it): every layout, move and
        // header attribute works on it.
        if (pControl == m_pHeader) return false;
        return CVerticalLayoutUI::Remove(pControl, bDoNotDestroy);
    }
    if (kind == kHeaderItem) return m_pHeader->Remove(pControl, bDoNotDestroy);
    int iIndex = m_pList->GetItemIndex(pControl);
    if (iIndex == -1) return false;
    return RemoveAt(iIndex, bDoNotDestroy);
}

bool CListUI::RemoveAt(int iIndex, bool bDoNotDestroy)
{
    if (!m_pList->RemoveAt(iIndex, bDoNotDestroy)) return false;
    Reindex(iIndex, GetCount() - 1);
    if (iIndex == m_iExpandedItem)
        m_iExpandedItem = -1;
    else if (iIndex < m_iExpandedItem)
        m_iExpandedItem -= 1;
    if (iIndex == m_iCurSel && m_iCurSel >= 0) {
        m_iCurSel = -1;
        SelectItem(FindSelectable(iIndex, false), false, true);
    } else if (iIndex < m_iCurSel) {
        m_iCurSel -= 1;
    }
    return true;
}

void CListUI::RemoveAll()
{
    m_iCurSel = -1;
    m_iExpandedItem = -1;
    m_pList->RemoveAll();
}

void CListUI::PlaceColumns(int left, int right)
{
    const bool bHidden = !m_pHeader->IsVisible();
    m_ListInfo.nColumns = ColumnCount(m_pHeader);
    // A hidden header's items are shown internally just long enough to be placed; the toggles
    // ask for no layout, so the list does not come back here for ever.
    if (bHidden) {
        for (int i = m_pHeader->GetCount() - 1; i >= 0; --i) m_pHeader->GetItemAt(i)->SetInternVisible(true);
    }
    m_pHeader->SetPos(RECT{left, 0, right, 0}, false);
    const int cx = m_pList->GetScrollPos().cx;
    for (int i = 0; i < m_ListInfo.nColumns; ++i) {
        CControlUI* pControl = m_pHeader->GetItemAt(i);
        if (!pControl->IsVisible() || pControl->IsFloat()) continue;
        RECT rcPos = pControl->GetPos();
        if (cx > 0) {
            rcPos.left -= cx;
            rcPos.right -= cx;
            pControl->SetPos(rcPos, false);
        }
        m_ListInfo.rcColumn[i] = pControl->GetPos();
    }
    if (bHidden) {
        for (int i = m_pHeader->GetCount() - 1; i >= 0; --i) m_pHeader->GetItemAt(i)->SetInternVisible(false);
        m_pHeader->SetInternVisible(false);
    }
}

void CListUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    if (m_pHeader != NULL) PlaceColumns(rc.left + m_rcInset.left, rc.right - m_rcInset.right);

    CVerticalLayoutUI::SetPos(rc, bNeedInvalidate);

    if (m_pHeader == NULL) return;
    RECT rcItem = m_rcItem;
    int left = rcItem.left + m_rcInset.left;
    int right = rcItem.right - m_rcInset.right;
    if (Shown(m_pVerticalScrollBar)) right -= m_pVerticalScrollBar->GetFixedWidth();
    if (Shown(m_pHorizontalScrollBar)) {
        left -= m_pHorizontalScrollBar->GetScrollPos();
        right += m_pHorizontalScrollBar->GetScrollRange() - m_pHorizontalScrollBar->GetScrollPos();
    }
    if (m_pHeader->IsVisible()) {
        // Only the column rectangles are taken again; the header keeps its place.
        m_ListInfo.nColumns = ColumnCount(m_pHeader);
        const int cx = m_pList->GetScrollPos().cx;
        for (int i = 0; i < m_ListInfo.nColumns; ++i) {
            CControlUI* pControl = m_pHeader->GetItemAt(i);
            if (!pControl->IsVisible() || pControl->IsFloat()) continue;
            RECT rcPos = pControl->GetPos();
            if (cx > 0) {
                rcPos.left -= cx;
                rcPos.right -= cx;
                pControl->SetPos(rcPos, false);
            }
            m_ListInfo.rcColumn[i] = pControl->GetPos();
        }
    } else {
        PlaceColumns(left, right);
    }
}

void CListUI::Move(SIZE szOffset, bool bNeedInvalidate)
{
    CVerticalLayoutUI::Move(szOffset, bNeedInvalidate);
    if (!m_pHeader->IsVisible()) m_pHeader->Move(szOffset, false);
}

void CListUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && event.Type > UIEVENT__MOUSEBEGIN - 1 && event.Type < UIEVENT__MOUSEEND + 1) {
        if (m_pParent != NULL)
            m_pParent->DoEvent(event);
        else
            CVerticalLayoutUI::DoEvent(event);
        return;
    }
    if (event.Type == UIEVENT_SETFOCUS) {
        m_bFocused = true;
        return;
    }
    if (event.Type == UIEVENT_KILLFOCUS) {
        m_bFocused = false;
        return;
    }
    // A search that finds nothing (-1) keeps the present selection.
    auto selectFound = [this](int iIndex) {
        if (iIndex >= 0) SelectItem(iIndex, true, true);
    };
    if (event.Type == UIEVENT_KEYDOWN) {
        if (IsKeyboardEnabled() && IsEnabled()) {
            switch (event.chKey) {
            case VK_UP: selectFound(FindSelectable(m_iCurSel - 1, false)); break;
            case VK_DOWN: selectFound(FindSelectable(m_iCurSel + 1, true)); break;
            case VK_PRIOR: PageUp(); break;
            case VK_NEXT: PageDown(); break;
            case VK_HOME: selectFound(FindSelectable(0, false)); break;
            // The last selectable row: searched backwards from the end.
            case VK_END: selectFound(FindSelectable(GetCount() - 1, false)); break;
            case VK_RETURN:
                if (m_iCurSel != -1) {
                    CControlUI* pRow = GetItemAt(m_iCurSel);
                    if (pRow != NULL) pRow->Activate();
                }
                break;
            default: break;
            }
            return;
        }
    }
    if (event.Type == UIEVENT_SCROLLWHEEL) {
        if (IsEnabled()) {
            switch (LOWORD(event.wParam)) {
            case SB_LINEUP:
                if (m_bScrollSelect)
                    selectFound(FindSelectable(m_iCurSel - 1, false));
                else
                    LineUp();
                return;
            case SB_LINEDOWN:
                if (m_bScrollSelect)
                    selectFound(FindSelectable(m_iCurSel + 1, true));
                else
                    LineDown();
                return;
            default: break;
            }
        }
    }
    CVerticalLayoutUI::DoEvent(event);
}

CListHeaderUI* CListUI::GetHeader() const { return m_pHeader; }
CContainerUI* CListUI::GetList() const { return m_pList; }
bool CListUI::IsScrollSelect() const { return m_bScrollSelect; }
void CListUI::SetScrollSelect(bool bScrollSelect) { m_bScrollSelect = bScrollSelect; }
int CListUI::GetCurSel() const { return m_iCurSel; }

bool CListUI::SelectItem(int iIndex, bool bTakeFocus, bool bTriggerEvent)
{
    if (iIndex == m_iCurSel) return true;
    int iOldSel = m_iCurSel;
    if (m_iCurSel >= 0) {
        IListItemUI* pListItem = AsListItem(GetItemAt(m_iCurSel));
        if (pListItem != NULL) pListItem->Select(false, bTriggerEvent);
        m_iCurSel = -1;
    }
    if (iIndex < 0) return false;

    CControlUI* pControl = GetItemAt(iIndex);
    if (pControl == NULL || !pControl->IsVisible() || !pControl->IsEnabled()) return false;
    IListItemUI* pListItem = AsListItem(pControl);
    if (pListItem == NULL) return false;
    m_iCurSel = iIndex;
    if (!pListItem->Select(true, bTriggerEvent)) {
        m_iCurSel = -1;
        return false;
    }
    EnsureVisible(m_iCurSel);
    if (bTakeFocus) pControl->SetFocus();
    if (m_pManager != NULL && bTriggerEvent) m_pManager->SendNotify(this, L"itemselect", m_iCurSel, iOldSel);
    return true;
}

TListItemInfoUI* CListUI::GetListInfo() { return &m_ListInfo; }

bool CListUI::ExpandRow(IListItemUI* pItem, int iIndex, bool bExpand)
{
    const int iOuter = m_iExpandingItem;
    m_iExpandingItem = iIndex;
    bool bResult = pItem->Expand(bExpand);
    m_iExpandingItem = iOuter;
    return bResult;
}

bool CListUI::ExpandItem(int iIndex, bool bExpand)
{
    // The row this list is opening or closing reports its change back: already under way.
    if (m_iExpandingItem >= 0 && iIndex == m_iExpandingItem) return true;
    if (m_iExpandedItem >= 0 && !m_ListInfo.bMultiExpandable) {
        const int iOld = m_iExpandedItem;
        IListItemUI* pItem = AsListItem(GetItemAt(iOld));
        if (pItem != NULL) ExpandRow(pItem, iOld, false);
        m_iExpandedItem = -1;
    }
    if (bExpand) {
        CControlUI* pControl = GetItemAt(iIndex);
        if (pControl == NULL || !pControl->IsVisible()) return false;
        IListItemUI* pItem = AsListItem(pControl);
        if (pItem == NULL) return false;
        m_iExpandedItem = iIndex;
        if (!ExpandRow(pItem, iIndex, true)) {
            m_iExpandedItem = -1;
            return false;
        }
    }
    NeedUpdate();
    return true;
}

int CListUI::GetExpandedItem() const { return m_iExpandedItem; }

void CListUI::EnsureVisible(int iIndex)
{
    if (m_iCurSel < 0) return;
    CControlUI* pRow = m_pList->GetItemAt(iIndex);
    if (pRow == NULL) return;
    RECT rcItem = pRow->GetPos();
    RECT rcList = m_pList->GetPos();
    RECT rcListInset = m_pList->GetInset();
    rcList.left += rcListInset.left;
    rcList.top += rcListInset.top;
    rcList.right -= rcListInset.right;
    rcList.bottom -= rcListInset.bottom;
    CScrollBarUI* pHorizontalScrollBar = m_pList->GetHorizontalScrollBar();
    if (Shown(pHorizontalScrollBar)) rcList.bottom -= pHorizontalScrollBar->GetFixedHeight();
    if (rcItem.top >= rcList.top && rcItem.bottom < rcList.bottom) return;
    int dx = 0;
    int dy = 0;
    if (rcItem.top < rcList.top) dy = rcItem.top - rcList.top;
    if (rcItem.bottom > rcList.bottom) dy = rcItem.bottom - rcList.bottom;
    Scroll(dx, dy);
}

void CListUI::Scroll(int dx, int dy)
{
    if (dx == 0 && dy == 0) return;
    SIZE sz = m_pList->GetScrollPos();
    m_pList->SetScrollPos(SIZE{sz.cx + dx, sz.cy + dy});
}

void CListUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (pstrName == NULL) return;
    if (pstrValue == NULL) pstrValue = L"";
    if (wcscmp(pstrName, L"header") == 0) {
        GetHeader()->SetVisible(wcscmp(pstrValue, L"hidden") != 0 && wcscmp(pstrValue, L"false") != 0);
    } else if (wcscmp(pstrName, L"headerbkimage") == 0) {
        GetHeader()->SetBkImage(pstrValue);
    } else if (wcscmp(pstrName, L"scrollselect") == 0) {
        SetScrollSelect(IsTrue(pstrValue));
    } else if (wcscmp(pstrName, L"multiexpanding") == 0) {
        SetMultiExpanding(IsTrue(pstrValue));
    } else {
        bool bRepaint = false, bRelayout = false;
        if (!SetListInfoAttribute(m_ListInfo, pstrName, pstrValue, bRepaint, bRelayout)) {
            CVerticalLayoutUI::SetAttribute(pstrName, pstrValue);
            return;
        }
        if (bRelayout) NeedUpdate();
        if (bRepaint) Invalidate();
    }
}

IListTextCallbackUI* CListUI::GetTextCallback() const { return m_pCallback; }
void CListUI::SetTextCallback(IListTextCallbackUI* pCallback) { m_pCallback = pCallback; }

SIZE CListUI::GetScrollPos() { return m_pList->GetScrollPos(); }
SIZE CListUI::GetScrollRange() { return m_pList->GetScrollRange(); }
void CListUI::SetScrollPos(SIZE szPos) { m_pList->SetScrollPos(szPos); }
void CListUI::LineUp() { m_pList->LineUp(); }
void CListUI::LineDown() { m_pList->LineDown(); }
void CListUI::PageUp() { m_pList->PageUp(); }
void CListUI::PageDown() { m_pList->PageDown(); }
void CListUI::HomeUp() { m_pList->HomeUp(); }
void CListUI::EndDown() { m_pList->EndDown(); }
void CListUI::LineLeft() { m_pList->LineLeft(); }
void CListUI::LineRight() { m_pList->LineRight(); }
void CListUI::PageLeft() { m_pList->PageLeft(); }
void CListUI::PageRight() { m_pList->PageRight(); }
void CListUI::HomeLeft() { m_pList->HomeLeft(); }
void CListUI::EndRight() { m_pList->EndRight(); }
void CListUI::EnableScrollBar(bool bEnableVertical, bool bEnableHorizontal)
{
    m_pList->EnableScrollBar(bEnableVertical, bEnableHorizontal);
}
CScrollBarUI* CListUI::GetVerticalScrollBar() const { return m_pList->GetVerticalScrollBar(); }
CScrollBarUI* CListUI::GetHorizontalScrollBar() const { return m_pList->GetHorizontalScrollBar(); }
int CListUI::GetChildPadding() const { return m_pList->GetChildPadding(); }
void CListUI::SetChildPadding(int iPadding) { m_pList->SetChildPadding(iPadding); }

void CListUI::SetMultiExpanding(bool bMultiExpandable) { m_ListInfo.bMultiExpandable = bMultiExpandable; }

void CListUI::SetItemTextPadding(RECT rc)
{
    m_ListInfo.rcTextPadding = rc;
    NeedUpdate();
}

void CListUI::SetItemTextColor(DWORD dwTextColor)
{
    m_ListInfo.dwTextColor = dwTextColor;
    Invalidate();
}

void CListUI::SetItemBkColor(DWORD dwBkColor)
{
    m_ListInfo.dwBkColor = dwBkColor;
    Invalidate();
}

void CListUI::SetItemBkImage(const wchar_t* pStrImage)
{
    if (ReplaceListImage(m_ListInfo.diBk, pStrImage)) Invalidate();
}

void CListUI::SetAlternateBk(bool bAlternateBk)
{
    m_ListInfo.bAlternateBk = bAlternateBk;
    Invalidate();
}

void CListUI::SetSelectedItemTextColor(DWORD dwTextColor)
{
    m_ListInfo.dwSelectedTextColor = dwTextColor;
    Invalidate();
}

void CListUI::SetSelectedItemBkColor(DWORD dwBkColor)
{
    m_ListInfo.dwSelectedBkColor = dwBkColor;
    Invalidate();
}

void CListUI::SetSelectedItemImage(const wchar_t* pStrImage)
{
    if (ReplaceListImage(m_ListInfo.diSelected, pStrImage)) Invalidate();
}

void CListUI::SetHotItemTextColor(DWORD dwTextColor)
{
    m_ListInfo.dwHotTextColor = dwTextColor;
    Invalidate();
}

void CListUI::SetHotItemBkColor(DWORD dwBkColor)
{
    m_ListInfo.dwHotBkColor = dwBkColor;
    Invalidate();
}

void CListUI::SetHotItemImage(const wchar_t* pStrImage)
{
    if (ReplaceListImage(m_ListInfo.diHot, pStrImage)) Invalidate();
}

void CListUI::SetDisabledItemTextColor(DWORD dwTextColor)
{
    m_ListInfo.dwDisabledTextColor = dwTextColor;
    Invalidate();
}

void CListUI::SetDisabledItemBkColor(DWORD dwBkColor)
{
    m_ListInfo.dwDisabledBkColor = dwBkColor;
    Invalidate();
}

void CListUI::SetDisabledItemImage(const wchar_t* pStrImage)
{
    if (ReplaceListImage(m_ListInfo.diDisabled, pStrImage)) Invalidate();
}

void CListUI::SetItemHLineSize(int iSize)
{
    m_ListInfo.iHLineSize = iSize;
    Invalidate();
}

void CListUI::SetItemHLineColor(DWORD dwLineColor)
{
    m_ListInfo.dwHLineColor = dwLineColor;
    Invalidate();
}

void CListUI::SetItemVLineSize(int iSize)
{
    m_ListInfo.iVLineSize = iSize;
    Invalidate();
}

void CListUI::SetItemVLineColor(DWORD dwLineColor)
{
    m_ListInfo.dwVLineColor = dwLineColor;
    Invalidate();
}

void CListUI::SetItemShowHtml(bool bShowHtml)
{
    if (m_ListInfo.bShowHtml == bShowHtml) return;
    m_ListInfo.bShowHtml = bShowHtml;
    NeedUpdate();
}

} // namespace Veneer
