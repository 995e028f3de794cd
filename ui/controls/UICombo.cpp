#include "UICombo.h"
#include "UIButton.h"
#include "UIScrollBar.h"

#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {

DWORD ParseComboColor(const wchar_t* pstrValue)
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

IListItemUI* AsListItem(CControlUI* pControl)
{
    return pControl != NULL ? static_cast<IListItemUI*>(pControl->GetInterface(L"IListItem")) : NULL;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Pop-up body

CComboBodyUI::CComboBodyUI(CComboUI* pOwner) : m_pOwner(pOwner)
{
    // The rows belong to the combo.
    m_bAutoDestroy = false;
}

CComboBodyUI::~CComboBodyUI()
{
    m_bAutoDestroy = false;
    m_items.Empty();
}

bool CComboBodyUI::DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl)
{
    return PaintListRows(this, m_pOwner != NULL ? m_pOwner->GetListInfo() : NULL, hDC, rcPaint, pStopControl);
}

// ---------------------------------------------------------------------------------------------
// Pop-up window

CComboWnd::CComboWnd() : m_pOwner(NULL), m_pLayout(NULL), m_iOldSel(-1), m_bScrollbarClicked(false), m_bHandedBack(false)
{
}

const wchar_t* CComboWnd::GetWindowClassName() const { return L"ComboWnd"; }

CComboBodyUI* CComboWnd::GetBody() const { return m_pLayout; }

CPaintManagerUI& CComboWnd::GetManager() { return m_pm; }

void CComboWnd::Init(CComboUI* pOwner)
{
    m_pOwner = pOwner;
    m_iOldSel = m_pOwner->GetCurSel();
    m_bScrollbarClicked = false;

    SIZE szDrop = m_pOwner->GetDropBoxSize();
    RECT rcOwner = pOwner->GetPos();
    RECT rc = rcOwner;
    rc.top = rc.bottom;
    if (szDrop.cx > 0) rc.right = rc.left + szDrop.cx;
    SIZE szAvailable = {rc.right - rc.left, szDrop.cy};
    int cyFixed = 0;
    for (int it = 0; it < pOwner->GetCount(); ++it) {
        CControlUI* pControl = pOwner->GetItemAt(it);
        if (!pControl->IsVisible()) continue;
        cyFixed += pControl->EstimateSize(szAvailable).cy;
    }
    cyFixed += 4;
    if (cyFixed > szDrop.cy) cyFixed = szDrop.cy;
    rc.bottom = rc.top + cyFixed;

    HWND hHost = pOwner->GetManager()->GetPaintWindow();
    ::MapWindowPoints(hHost, HWND_DESKTOP, reinterpret_cast<POINT*>(&rc), 2);
    MONITORINFO oMonitor = {};
    oMonitor.cbSize = sizeof(oMonitor);
    ::GetMonitorInfoW(::MonitorFromWindow(NULL, MONITOR_DEFAULTTOPRIMARY), &oMonitor);
    if (rc.bottom > oMonitor.rcWork.bottom) {
        rc.left = rcOwner.left;
        rc.right = rcOwner.right;
        if (szDrop.cx > 0) rc.right = rc.left + szDrop.cx;
        rc.top = rcOwner.top - cyFixed;
        rc.bottom = rcOwner.top;
        ::MapWindowPoints(hHost, HWND_DESKTOP, reinterpret_cast<POINT*>(&rc), 2);
    }

    Create(hHost, NULL, WS_POPUP, WS_EX_TOOLWINDOW, rc);
    ::ShowWindow(m_hWnd, SW_SHOW);
}

void CComboWnd::HandBackRows(bool bFocusCombo)
{
    if (m_bHandedBack || m_pOwner == NULL) return;
    m_bHandedBack = true;
    // The pop-up's manager forgets the rows before they leave it.
    for (int i = 0; i < m_pOwner->GetCount(); ++i) m_pm.ForgetControl(m_pOwner->GetItemAt(i));
    if (m_pLayout != NULL) m_pLayout->RemoveAll();
    m_pOwner->SetManager(m_pOwner->GetManager(), m_pOwner->GetParent(), false);
    if (m_pOwner->IsFloat())
        m_pOwner->SetPos(m_pOwner->GetRelativePos(), false);
    else
        m_pOwner->SetPos(m_pOwner->GetPos(), false);
    if (bFocusCombo) m_pOwner->SetFocus();
}

bool CComboWnd::OverScrollBar() const
{
    POINT pt = {0, 0};
    ::GetCursorPos(&pt);
    ::ScreenToClient(m_hWnd, &pt);
    CControlUI* pControl = m_pm.FindControl(pt);
    return pControl != NULL && _wcsicmp(pControl->GetClass(), L"ScrollBar") == 0;
}

void CComboWnd::OnFinalMessage(HWND)
{
    if (m_pOwner != NULL) {
        m_pOwner->m_pWindow = NULL;
        m_pOwner->m_uButtonState &= ~UISTATE_PUSHED;
        m_pOwner->Invalidate();
    }
    delete this;
}

void CComboWnd::EnsureVisible(int iIndex)
{
    if (m_pOwner == NULL || m_pLayout == NULL || m_pOwner->GetCurSel() < 0) return;
    CControlUI* pRow = m_pOwner->GetItemAt(iIndex);
    if (pRow == NULL) return;
    RECT rcItem = pRow->GetPos();
    RECT rcList = m_pLayout->GetPos();
    CScrollBarUI* pHorizontalScrollBar = m_pLayout->GetHorizontalScrollBar();
    if (pHorizontalScrollBar != NULL && pHorizontalScrollBar->IsVisible())
        rcList.bottom -= pHorizontalScrollBar->GetFixedHeight();
    if (rcItem.top >= rcList.top && rcItem.bottom < rcList.bottom) return;
    int dy = 0;
    if (rcItem.top < rcList.top) dy = rcItem.top - rcList.top;
    if (rcItem.bottom > rcList.bottom) dy = rcItem.bottom - rcList.bottom;
    SIZE sz = m_pLayout->GetScrollPos();
    m_pLayout->SetScrollPos(SIZE{sz.cx, sz.cy + dy});
}

void CComboWnd::Notify(TNotifyRecord& msg)
{
    if (m_pOwner == NULL || m_pOwner->GetManager() == NULL) return;
    if (msg.sType == L"itemclick" || msg.sType == L"itemactivate" || msg.sType == L"link" || msg.sType == L"click")
        m_pOwner->GetManager()->SendNotify(msg.pSender, msg.sType, msg.wParam, msg.lParam, true, true);
}

LRESULT CComboWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_CREATE) {
        m_pm.SetUseSharedResources(true);
        m_pm.Init(m_hWnd);
        m_pLayout = new CComboBodyUI(m_pOwner);
        m_pLayout->SetManager(&m_pm, NULL, true);
        CPaintManagerUI* pHost = m_pOwner->GetManager();
        const wchar_t* pDefaultAttributes = pHost->GetDefaultAttributeList(L"VerticalLayout");
        if (pDefaultAttributes != NULL) m_pLayout->SetAttributeList(pDefaultAttributes);
        m_pLayout->SetInset(RECT{1, 1, 1, 1});
        m_pLayout->SetBkColor(0xFFFFFFFF);
        m_pLayout->SetBorderColor(0xFFC6C7D2);
        m_pLayout->SetBorderSize(1);
        m_pLayout->SetAutoDestroy(false);
        m_pLayout->EnableScrollBar();
        m_pLayout->SetAttributeList(m_pOwner->GetDropBoxAttributeList());
        for (int i = 0; i < m_pOwner->GetCount(); ++i) m_pLayout->Add(m_pOwner->GetItemAt(i));
        m_pm.AttachDialog(m_pLayout);
        m_pm.AddNotifier(this);
        if (!m_pOwner->m_sVScrollBar.IsEmpty()) m_pLayout->SetAttribute(L"vscrollbar", m_pOwner->m_sVScrollBar);
        if (!m_pOwner->m_sVScrollBarStyle.IsEmpty())
            m_pLayout->SetAttribute(L"vscrollbarstyle", m_pOwner->m_sVScrollBarStyle);
        if (!m_pOwner->m_sHScrollBar.IsEmpty()) m_pLayout->SetAttribute(L"hscrollbar", m_pOwner->m_sHScrollBar);
        if (!m_pOwner->m_sHScrollBarStyle.IsEmpty())
            m_pLayout->SetAttribute(L"hscrollbarstyle", m_pOwner->m_sHScrollBarStyle);
        CScrollBarUI* pVer = m_pLayout->GetVerticalScrollBar();
        const wchar_t* pVerAttributes = pHost->GetDefaultAttributeList(L"VScrollBar");
        if (pVer != NULL && pVerAttributes != NULL) pVer->SetAttributeList(pVerAttributes);
        CScrollBarUI* pHor = m_pLayout->GetHorizontalScrollBar();
        const wchar_t* pHorAttributes = pHost->GetDefaultAttributeList(L"HScrollBar");
        if (pHor != NULL && pHorAttributes != NULL) pHor->SetAttributeList(pHorAttributes);
        return 0;
    }
    if (uMsg == WM_CLOSE) {
        HandBackRows(true);
    } else if (uMsg == WM_DESTROY) {
        // Also when the window ends without WM_CLOSE (the host destroys its owned pop-ups first).
        HandBackRows(false);
    } else if (uMsg == WM_LBUTTONDOWN || uMsg == WM_LBUTTONDBLCLK) {
        if (OverScrollBar()) m_bScrollbarClicked = true;
    } else if (uMsg == WM_LBUTTONUP) {
        if (m_bScrollbarClicked) {
            m_bScrollbarClicked = false;
        } else if (!OverScrollBar()) {
            PostMessage(WM_KILLFOCUS);
        }
    } else if (uMsg == WM_KEYDOWN) {
        switch (wParam) {
        case VK_ESCAPE:
            if (m_pOwner != NULL) {
                m_pOwner->SelectItem(m_iOldSel, true, true);
                EnsureVisible(m_iOldSel);
            }
            PostMessage(WM_KILLFOCUS);
            break;
        case VK_RETURN: PostMessage(WM_KILLFOCUS); break;
        default:
            if (m_pOwner != NULL) {
                tagTEventUI event = {};
                event.Type = UIEVENT_KEYDOWN;
                event.chKey = (wchar_t)wParam;
                event.dwTimestamp = ::GetTickCount();
                m_pOwner->DoEvent(event);
                EnsureVisible(m_pOwner->GetCurSel());
            }
            return 0;
        }
    } else if (uMsg == WM_MOUSEWHEEL) {
        if (m_pOwner != NULL) {
            int zDelta = (int)(short)HIWORD(wParam);
            tagTEventUI event = {};
            event.Type = UIEVENT_SCROLLWHEEL;
            event.wParam = MAKELPARAM(zDelta < 0 ? SB_LINEDOWN : SB_LINEUP, 0);
            event.lParam = lParam;
            event.dwTimestamp = ::GetTickCount();
            m_pOwner->DoEvent(event);
            EnsureVisible(m_pOwner->GetCurSel());
        }
        return 0;
    } else if (uMsg == WM_KILLFOCUS) {
        HWND hFocus = (HWND)wParam;
        if (m_hWnd != hFocus && (hFocus == NULL || !::IsChild(m_hWnd, hFocus))) PostMessage(WM_CLOSE);
        return 0;
    }

    LRESULT lRes = 0;
    if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// Combo

CComboUI::CComboUI()
    : m_pWindow(NULL),
      m_iCurSel(-1),
      m_bShowText(true),
      m_bCloseOnSelect(true),
      m_uButtonState(0),
      m_iFont(-1),
      m_dwTextColor(0),
      m_dwDisabledTextColor(0),
      m_uTextStyle(DT_VCENTER | DT_SINGLELINE)
{
    m_rcTextPadding = RECT{0, 0, 0, 0};
    m_szDropBox = SIZE{0, 150};
}

CComboUI::~CComboUI()
{
    // An open pop-up gives the rows back and forgets this combo before its window goes, so that
    // its final message writes into nothing freed.
    if (m_pWindow != NULL) {
        CComboWnd* pWindow = m_pWindow;
        m_pWindow = NULL;
        pWindow->HandBackRows(false);
        pWindow->m_pOwner = NULL;
        if (pWindow->m_pLayout != NULL) pWindow->m_pLayout->m_pOwner = NULL;
        if (::IsWindow(pWindow->GetHWND()))
            ::DestroyWindow(pWindow->GetHWND());
    }
}

const wchar_t* CComboUI::GetClass() const { return L"Combo"; }

void* CComboUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
    if (wcscmp(pstrName, L"Combo") == 0) return static_cast<CComboUI*>(this);
    return CContainerUI::GetInterface(pstrName);
}

UINT CComboUI::GetControlFlags() const { return 1; }

CComboWnd* CComboUI::GetDropWindow() const { return m_pWindow; }
TListItemInfoUI* CComboUI::GetListInfo() { return &m_ListInfo; }
int CComboUI::GetCurSel() const { return m_iCurSel; }
bool CComboUI::ExpandItem(int, bool) { return false; }
int CComboUI::GetExpandedItem() const { return -1; }

bool CComboUI::SelectItem(int iIndex, bool bTakeFocus, bool bTriggerEvent)
{
    if (m_pWindow != NULL && m_bCloseOnSelect) m_pWindow->Close(1);
    if (iIndex == m_iCurSel) return true;
    int iOldSel = m_iCurSel;
    if (m_iCurSel >= 0) {
        IListItemUI* pListItem = AsListItem(GetItemAt(m_iCurSel));
        if (pListItem == NULL) return false;
        pListItem->Select(false, bTriggerEvent);
        m_iCurSel = -1;
    }
    if (iIndex < 0 || m_items.GetSize() == 0) return false;
    if (iIndex >= m_items.GetSize()) iIndex = m_items.GetSize() - 1;
    CControlUI* pControl = GetItemAt(iIndex);
    if (pControl == NULL || !pControl->IsVisible() || !pControl->IsEnabled()) return false;
    IListItemUI* pListItem = AsListItem(pControl);
    if (pListItem == NULL) return false;
    m_iCurSel = iIndex;
    if (m_pWindow != NULL || bTakeFocus) pControl->SetFocus();
    pListItem->Select(true, bTriggerEvent);
    if (m_pManager != NULL && bTriggerEvent) m_pManager->SendNotify(this, L"itemselect", m_iCurSel, iOldSel, false, true);
    Invalidate();
    return true;
}

void CComboUI::Renumber(int iFrom, int iTo)
{
    if (iFrom < 0) iFrom = 0;
    if (iTo >= GetCount()) iTo = GetCount() - 1;
    for (int i = iFrom; i <= iTo; ++i) {
        IListItemUI* pListItem = AsListItem(GetItemAt(i));
        if (pListItem != NULL) pListItem->SetIndex(i);
    }
}

bool CComboUI::SetItemIndex(CControlUI* pControl, int iNewIndex)
{
    int iOrginIndex = GetItemIndex(pControl);
    if (iOrginIndex == -1) return false;
    if (iOrginIndex == iNewIndex) return true;
    IListItemUI* pSelectedListItem = m_iCurSel >= 0 ? AsListItem(GetItemAt(m_iCurSel)) : NULL;
    if (!CContainerUI::SetItemIndex(pControl, iNewIndex)) return false;
    Renumber(iOrginIndex < iNewIndex ? iOrginIndex : iNewIndex, iOrginIndex > iNewIndex ? iOrginIndex : iNewIndex);
    if (pSelectedListItem != NULL) m_iCurSel = pSelectedListItem->GetIndex();
    if (m_pWindow != NULL && m_pWindow->m_pLayout != NULL) m_pWindow->m_pLayout->SetItemIndex(pControl, iNewIndex);
    return true;
}

bool CComboUI::SetMultiItemIndex(CControlUI* pStartControl, int iCount, int iNewStartIndex)
{
    if (pStartControl == NULL || iCount < 0 || iNewStartIndex < 0) return false;
    int iStartIndex = GetItemIndex(pStartControl);
    if (iStartIndex == -1) return false;
    if (iStartIndex == iNewStartIndex) return true;
    if (iStartIndex + iCount > GetCount() || iNewStartIndex + iCount > GetCount()) return false;
    IListItemUI* pSelectedListItem = m_iCurSel >= 0 ? AsListItem(GetItemAt(m_iCurSel)) : NULL;
    if (!CContainerUI::SetMultiItemIndex(pStartControl, iCount, iNewStartIndex)) return false;
    int iMin = iStartIndex < iNewStartIndex ? iStartIndex : iNewStartIndex;
    int iMax = iStartIndex > iNewStartIndex ? iStartIndex : iNewStartIndex;
    Renumber(iMin, iMax + iCount - 1);
    if (pSelectedListItem != NULL) m_iCurSel = pSelectedListItem->GetIndex();
    if (m_pWindow != NULL && m_pWindow->m_pLayout != NULL)
        m_pWindow->m_pLayout->SetMultiItemIndex(pStartControl, iCount, iNewStartIndex);
    return true;
}

bool CComboUI::Add(CControlUI* pControl)
{
    IListItemUI* pListItem = AsListItem(pControl);
    if (pListItem != NULL) {
        pListItem->SetOwner(this);
        pListItem->SetIndex(m_items.GetSize());
    }
    if (!CContainerUI::Add(pControl)) return false;
    // An open pop-up shows the new row too.
    if (m_pWindow != NULL && m_pWindow->m_pLayout != NULL) m_pWindow->m_pLayout->Add(pControl);
    return true;
}

bool CComboUI::AddAt(CControlUI* pControl, int iIndex)
{
    if (!CContainerUI::AddAt(pControl, iIndex)) return false;
    IListItemUI* pListItem = AsListItem(pControl);
    if (pListItem != NULL) {
        pListItem->SetOwner(this);
        pListItem->SetIndex(iIndex);
    }
    Renumber(iIndex + 1, GetCount() - 1);
    if (m_iCurSel >= iIndex) m_iCurSel += 1;
    if (m_pWindow != NULL && m_pWindow->m_pLayout != NULL) m_pWindow->m_pLayout->AddAt(pControl, iIndex);
    return true;
}

bool CComboUI::Remove(CControlUI* pControl, bool bDoNotDestroy)
{
    int iIndex = GetItemIndex(pControl);
    if (iIndex == -1) return false;
    return RemoveAt(iIndex, bDoNotDestroy);
}

bool CComboUI::RemoveAt(int iIndex, bool bDoNotDestroy)
{
    CControlUI* pControl = GetItemAt(iIndex);
    if (pControl == NULL) return false;
    // Out of an open pop-up first: it must never paint a row that is gone.
    if (m_pWindow != NULL && m_pWindow->m_pLayout != NULL) m_pWindow->m_pLayout->Remove(pControl, true);
    if (!CContainerUI::Remove(pControl, bDoNotDestroy)) return false;
    Renumber(iIndex, GetCount() - 1);
    if (iIndex == m_iCurSel && m_iCurSel >= 0) {
        m_iCurSel = -1;
        SelectItem(FindSelectable(iIndex, false), false, true);
    } else if (iIndex < m_iCurSel) {
        m_iCurSel -= 1;
    }
    return true;
}

void CComboUI::RemoveAll()
{
    m_iCurSel = -1;
    if (m_pWindow != NULL && m_pWindow->m_pLayout != NULL) m_pWindow->m_pLayout->RemoveAll();
    CContainerUI::RemoveAll();
}

bool CComboUI::Activate()
{
    if (!CControlUI::Activate()) return false;
    if (m_pWindow != NULL) return true;
    // The pop-up hangs below the host window: without one there is nothing to open it on.
    if (m_pManager == NULL || m_pManager->GetPaintWindow() == NULL) return false;
    CComboWnd* pWindow = new CComboWnd;
    m_pWindow = pWindow;
    pWindow->Init(this);
    // A window that could not be created is not kept, or the combo would never open again.
    if (m_pWindow != pWindow) return false;  // created and gone again: it deleted itself
    if (pWindow->GetHWND() == NULL) {
        m_pWindow = NULL;
        delete pWindow;
        return false;
    }
    if (m_pManager != NULL) m_pManager->SendNotify(this, L"dropdown", 0, 0, false, true);
    Invalidate();
    return true;
}

CUIString CComboUI::GetText() const
{
    if (m_iCurSel < 0) return CUIString();
    CControlUI* pControl = static_cast<CControlUI*>(m_items.GetAt(m_iCurSel));
    return pControl != NULL ? pControl->GetText() : CUIString();
}

void CComboUI::SetEnabled(bool bEnable)
{
    CControlUI::SetEnabled(bEnable);
    if (!IsEnabled()) m_uButtonState = 0;
}

CUIString CComboUI::GetDropBoxAttributeList() const { return m_sDropBoxAttributes; }
void CComboUI::SetDropBoxAttributeList(const wchar_t* pstrList) { m_sDropBoxAttributes = pstrList; }
SIZE CComboUI::GetDropBoxSize() const { return m_szDropBox; }
void CComboUI::SetDropBoxSize(SIZE szDropBox) { m_szDropBox = szDropBox; }
RECT CComboUI::GetTextPadding() const { return m_rcTextPadding; }
bool CComboUI::IsCloseOnSelect() const { return m_bCloseOnSelect; }
void CComboUI::SetCloseOnSelect(bool bClose) { m_bCloseOnSelect = bClose; }

void CComboUI::SetTextPadding(RECT rc)
{
    m_rcTextPadding = rc;
    Invalidate();
}

void CComboUI::SetShowText(bool bShow)
{
    m_bShowText = bShow;
    Invalidate();
}

void CComboUI::SetFont(int index)
{
    m_iFont = index;
    Invalidate();
}

void CComboUI::SetTextColor(DWORD dwColor)
{
    m_dwTextColor = dwColor;
    Invalidate();
}

void CComboUI::SetDisabledTextColor(DWORD dwColor)
{
    m_dwDisabledTextColor = dwColor;
    Invalidate();
}

void CComboUI::ReplaceButtonImage(TImageDesc& desc, const wchar_t* pStrImage)
{
    if (ReplaceListImage(desc, pStrImage)) Invalidate();
}

void CComboUI::SetNormalImage(const wchar_t* pStrImage) { ReplaceButtonImage(m_diNormal, pStrImage); }
void CComboUI::SetHotImage(const wchar_t* pStrImage) { ReplaceButtonImage(m_diHot, pStrImage); }
void CComboUI::SetPushedImage(const wchar_t* pStrImage) { ReplaceButtonImage(m_diPushed, pStrImage); }
void CComboUI::SetFocusedImage(const wchar_t* pStrImage) { ReplaceButtonImage(m_diFocused, pStrImage); }
void CComboUI::SetDisabledImage(const wchar_t* pStrImage) { ReplaceButtonImage(m_diDisabled, pStrImage); }

void CComboUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    // The rows take no room in the host window; while the pop-up shows them they keep the places
    // its layout gave them.
    if (m_pWindow == NULL || m_pWindow->m_bHandedBack) {
        RECT rcNull = {0, 0, 0, 0};
        for (int i = 0; i < m_items.GetSize(); ++i) static_cast<CControlUI*>(m_items[i])->SetPos(rcNull, false);
    }
    CControlUI::SetPos(rc, bNeedInvalidate);
}

void CComboUI::Move(SIZE szOffset, bool bNeedInvalidate) { CControlUI::Move(szOffset, bNeedInvalidate); }

SIZE CComboUI::EstimateSize(SIZE szAvailable)
{
    if (m_cxyFixed.cy == 0 && m_pManager != NULL)
        return SIZE{m_cxyFixed.cx, m_pManager->GetDefaultFontInfo()->tm.tmHeight + 8};
    return CControlUI::EstimateSize(szAvailable);
}

bool CComboUI::DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl)
{
    return CControlUI::DoPaint(hDC, rcPaint, pStopControl);
}

void CComboUI::SelectQuietly(int iIndex)
{
    if (iIndex < 0) return;
    bool bClose = m_bCloseOnSelect;
    m_bCloseOnSelect = false;
    SelectItem(iIndex, false, true);
    m_bCloseOnSelect = bClose;
}

void CComboUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && event.Type >= UIEVENT__MOUSEBEGIN && event.Type <= UIEVENT__MOUSEEND) {
        if (m_pParent != NULL)
            m_pParent->DoEvent(event);
        else
            CContainerUI::DoEvent(event);
        return;
    }
    if (event.Type == UIEVENT_SETFOCUS || event.Type == UIEVENT_KILLFOCUS) Invalidate();
    if (event.Type == UIEVENT_BUTTONDOWN) {
        if (IsEnabled()) {
            Activate();
            m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
        }
        return;
    }
    if (event.Type == UIEVENT_BUTTONUP) {
        if ((m_uButtonState & UISTATE_CAPTURED) != 0) {
            m_uButtonState &= ~UISTATE_CAPTURED;
            Invalidate();
        }
        return;
    }
    if (event.Type == UIEVENT_MOUSEMOVE) return;
    if (event.Type == UIEVENT_KEYDOWN) {
        if (IsKeyboardEnabled() && IsEnabled()) {
            switch (event.chKey) {
            case VK_F4: Activate(); break;
            case VK_UP:
            case VK_PRIOR: SelectQuietly(FindSelectable(m_iCurSel - 1, false)); break;
            case VK_DOWN:
            case VK_NEXT: SelectQuietly(FindSelectable(m_iCurSel + 1, true)); break;
            case VK_HOME: SelectQuietly(FindSelectable(0, false)); break;
            // The last selectable row, searched backwards from the end.
            case VK_END: SelectQuietly(FindSelectable(GetCount() - 1, false)); break;
            default: break;
            }
        }
        return;
    }
    if (event.Type == UIEVENT_SCROLLWHEEL) {
        if (IsEnabled()) {
            bool bDownward = LOWORD(event.wParam) == SB_LINEDOWN;
            SelectQuietly(FindSelectable(m_iCurSel + (bDownward ? 1 : -1), bDownward));
        }
        return;
    }
    if (event.Type == UIEVENT_CONTEXTMENU) return;
    if (event.Type == UIEVENT_MOUSEENTER) {
        if (::PtInRect(&m_rcItem, event.ptMouse) && IsEnabled() && (m_uButtonState & UISTATE_HOT) == 0) {
            m_uButtonState |= UISTATE_HOT;
            Invalidate();
        }
    }
    if (event.Type == UIEVENT_MOUSELEAVE) {
        if (::PtInRect(&m_rcItem, event.ptMouse)) {
            if (m_pManager != NULL) m_pManager->AddMouseLeaveListener(this);
            return;
        }
        if (IsEnabled() && (m_uButtonState & UISTATE_HOT) != 0) {
            m_uButtonState &= ~UISTATE_HOT;
            Invalidate();
        }
        if (m_pManager != NULL) m_pManager->RemoveMouseLeaveListener(this);
    }
    CControlUI::DoEvent(event);
}

void CComboUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"textpadding") == 0) {
        const wchar_t* p = pstrValue;
        RECT rc;
        rc.left = ReadNextInt(p);
        rc.top = ReadNextInt(p);
        rc.right = ReadNextInt(p);
        rc.bottom = ReadNextInt(p);
        SetTextPadding(rc);
    } else if (wcscmp(pstrName, L"align") == 0) {
        if (wcsstr(pstrValue, L"left") != NULL) m_uTextStyle &= ~(DT_CENTER | DT_RIGHT);
        if (wcsstr(pstrValue, L"center") != NULL) {
            m_uTextStyle &= ~DT_RIGHT;
            m_uTextStyle |= DT_CENTER;
        }
        if (wcsstr(pstrValue, L"right") != NULL) {
            m_uTextStyle &= ~DT_CENTER;
            m_uTextStyle |= DT_RIGHT;
        }
    } else if (wcscmp(pstrName, L"font") == 0) {
        SetFont((int)wcstol(pstrValue, NULL, 10));
    } else if (wcscmp(pstrName, L"textcolor") == 0) {
        SetTextColor(ParseComboColor(pstrValue));
    } else if (wcscmp(pstrName, L"disabledtextcolor") == 0) {
        SetDisabledTextColor(ParseComboColor(pstrValue));
    } else if (wcscmp(pstrName, L"showtext") == 0) {
        SetShowText(wcscmp(pstrValue, L"true") == 0);
    } else if (wcscmp(pstrName, L"selectedid") == 0) {
        SelectItem((int)wcstol(pstrValue, NULL, 10), false, true);
    } else if (wcscmp(pstrName, L"normalimage") == 0) {
        SetNormalImage(pstrValue);
    } else if (wcscmp(pstrName, L"hotimage") == 0) {
        SetHotImage(pstrValue);
    } else if (wcscmp(pstrName, L"pushedimage") == 0) {
        SetPushedImage(pstrValue);
    } else if (wcscmp(pstrName, L"focusedimage") == 0) {
        SetFocusedImage(pstrValue);
    } else if (wcscmp(pstrName, L"disabledimage") == 0) {
        SetDisabledImage(pstrValue);
    } else if (wcscmp(pstrName, L"dropbox") == 0) {
        SetDropBoxAttributeList(pstrValue);
    } else if (wcscmp(pstrName, L"dropboxsize") == 0) {
        const wchar_t* p = pstrValue;
        SIZE sz;
        sz.cx = ReadNextInt(p);
        sz.cy = ReadNextInt(p);
        SetDropBoxSize(sz);
    } else if (wcscmp(pstrName, L"vscrollbar") == 0) {
        m_sVScrollBar = pstrValue;
    } else if (wcscmp(pstrName, L"vscrollbarstyle") == 0) {
        m_sVScrollBarStyle = pstrValue;
    } else if (wcscmp(pstrName, L"hscrollbar") == 0) {
        m_sHScrollBar = pstrValue;
    } else if (wcscmp(pstrName, L"hscrollbarstyle") == 0) {
        m_sHScrollBarStyle = pstrValue;
    } else {
        bool bRepaint = false, bRelayout = false;
        if (!SetListInfoAttribute(m_ListInfo, pstrName, pstrValue, bRepaint, bRelayout)) {
            CContainerUI::SetAttribute(pstrName, pstrValue);
            return;
        }
        // Only what the face shows repaints it.
        if (wcscmp(pstrName, L"itemtextcolor") == 0 || wcscmp(pstrName, L"itemshowhtml") == 0 ||
            wcscmp(pstrName, L"itemtextpadding") == 0)
            Invalidate();
    }
}

void CComboUI::PaintStatusImage(HDC hDC)
{
    if (IsFocused())
        m_uButtonState |= UISTATE_FOCUSED;
    else
        m_uButtonState &= ~UISTATE_FOCUSED;
    if (!IsEnabled())
        m_uButtonState |= UISTATE_DISABLED;
    else
        m_uButtonState &= ~UISTATE_DISABLED;

    bool bDrawn = false;
    if ((m_uButtonState & UISTATE_DISABLED) != 0)
        bDrawn = DrawImage(hDC, m_diDisabled);
    else if ((m_uButtonState & UISTATE_PUSHED) != 0)
        bDrawn = DrawImage(hDC, m_diPushed);
    else if ((m_uButtonState & UISTATE_HOT) != 0)
        bDrawn = DrawImage(hDC, m_diHot);
    else if ((m_uButtonState & UISTATE_FOCUSED) != 0)
        bDrawn = DrawImage(hDC, m_diFocused);
    if (!bDrawn) DrawImage(hDC, m_diNormal);
}

void CComboUI::PaintText(HDC hDC)
{
    if (!m_bShowText) return;
    RECT rcText = m_rcItem;
    rcText.left += m_rcTextPadding.left;
    rcText.right -= m_rcTextPadding.right;
    rcText.top += m_rcTextPadding.top;
    rcText.bottom -= m_rcTextPadding.bottom;
    if (m_iCurSel < 0) return;
    CControlUI* pControl = static_cast<CControlUI*>(m_items.GetAt(m_iCurSel));
    if (pControl == NULL) return;
    if (AsListItem(pControl) != NULL) {
        DWORD dwColor = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
        CUIPainter::DrawText(hDC, m_pManager, rcText, pControl->GetText(), dwColor, m_iFont, m_uTextStyle);
    } else {
        RECT rcOldPos = pControl->GetPos();
        pControl->SetPos(rcText, false);
        pControl->Paint(hDC, rcText, NULL);
        pControl->SetPos(rcOldPos, false);
    }
}

} // namespace Veneer
