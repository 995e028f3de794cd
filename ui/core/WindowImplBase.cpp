#include "WindowImplBase.h"
#include "UIControl.h"

#include <stdlib.h>
#include <string.h>

namespace Veneer {

// ---------------------------------------------------------------------------------------------
// CNotifyPump

const TNotifyMapEntry CNotifyPump::_messageEntries[] = {
    {L"", L"", UISig_end, UINotifyHandler()},
};

const TNotifyMap CNotifyPump::messageMap = {NULL, &CNotifyPump::_messageEntries[0]};

CNotifyPump::CNotifyPump() : m_VirtualWndMap(83) {}

const TNotifyMap* CNotifyPump::GetMessageMap() const { return &CNotifyPump::messageMap; }

void CNotifyPump::RouteNotify(TNotifyRecord& msg)
{
    if (!msg.sVirtualWnd.IsEmpty()) {
        for (int i = 0; i < m_VirtualWndMap.GetSize(); ++i) {
            const wchar_t* key = m_VirtualWndMap.GetAt(i);
            if (key == NULL || _wcsicmp(key, msg.sVirtualWnd.GetData()) != 0) continue;
            CNotifyPump* pPump = static_cast<CNotifyPump*>(m_VirtualWndMap.Find(key, false));
            if (pPump == NULL) continue;
            if (pPump->DispatchByMessageMap(msg)) return;
            break;
        }
    }
    DispatchByMessageMap(msg);
}

bool CNotifyPump::DispatchByMessageMap(TNotifyRecord& msg)
{
    const TNotifyMapEntry* lpEntry = NULL;
    for (const TNotifyMap* pMessageMap = GetMessageMap(); pMessageMap != NULL; pMessageMap = pMessageMap->pBaseMap) {
        lpEntry = FindMessageEntry(pMessageMap->lpEntries, msg);
        if (lpEntry != NULL) break;
    }
    if (lpEntry == NULL) return false;
    switch (lpEntry->nSig) {
    case UISig_params:
        (this->*(lpEntry->pfn.pfnParams))(msg.wParam, msg.lParam);
        return true;
    case UISig_notify:
        (this->*(lpEntry->pfn.pfn))(msg);
        return true;
    default:
        return false;
    }
}

// A handler for the named sender wins over a handler for any control, wherever it stands. A record
// whose sender is gone (queued before the control was destroyed) matches only handlers for any
// control.
const TNotifyMapEntry* CNotifyPump::FindMessageEntry(const TNotifyMapEntry* lpEntry, TNotifyRecord& msg)
{
    if (lpEntry == NULL) return NULL;
    CUIString sSenderName;
    if (msg.pSender != NULL) sSenderName = msg.pSender->GetName();
    const TNotifyMapEntry* pMsgTypeEntry = NULL;
    for (; lpEntry->nSig != UISig_end; ++lpEntry) {
        if (lpEntry->sMsgType != msg.sType.GetData()) continue;
        if (!lpEntry->sCtrlName.IsEmpty()) {
            if (msg.pSender != NULL && lpEntry->sCtrlName == sSenderName.GetData()) return lpEntry;
        } else {
            pMsgTypeEntry = lpEntry;
        }
    }
    return pMsgTypeEntry;
}

// ---------------------------------------------------------------------------------------------
// WindowImplBase

VENEER_BEGIN_MESSAGE_MAP(WindowImplBase, CNotifyPump)
    VENEER_ON_NOTIFY(L"click", &WindowImplBase::OnClick)
VENEER_END_MESSAGE_MAP()

WindowImplBase::WindowImplBase() {}

WindowImplBase::~WindowImplBase() {}

const wchar_t* WindowImplBase::GetSuperClassName() const { return NULL; }
UINT WindowImplBase::GetClassStyle() const { return CS_DBLCLKS; }

void WindowImplBase::OnFinalMessage(HWND /*hWnd*/)
{
    m_PaintManager.RemovePreMessageFilter(this);
    m_PaintManager.RemoveNotifier(this);
    m_PaintManager.ForgetControl(m_PaintManager.GetRoot());
}

void WindowImplBase::InitWindow() {}

void WindowImplBase::OnClick(TNotifyRecord& msg)
{
    if (msg.pSender == NULL) return;
    CUIString sCtrlName = msg.pSender->GetName();
    if (sCtrlName == L"closebtn") {
        Close(1);
    } else if (sCtrlName == L"minbtn") {
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (sCtrlName == L"maxbtn") {
        SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    } else if (sCtrlName == L"restorebtn") {
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
    }
}

LRESULT WindowImplBase::OnDefaultKey(WPARAM wParam)
{
    if (wParam == VK_ESCAPE) {
        Close(1);
        return TRUE;
    }
    return FALSE;
}

int WindowImplBase::GetResourceType() const { return 1; }
CUIString WindowImplBase::GetSkinZipName() { return CUIString(); }
const wchar_t* WindowImplBase::GetResourceID() const { return L""; }

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    if (::IsIconic(m_hWnd)) bHandled = FALSE;
    return (wParam == 0) ? TRUE : FALSE;
}

// The work area of the window's monitor, relative to the monitor's top-left corner.
static CUIRect MonitorWorkArea(HWND hWnd)
{
    MONITORINFO oMonitor;
    ::ZeroMemory(&oMonitor, sizeof(oMonitor));
    oMonitor.cbSize = sizeof(oMonitor);
    ::GetMonitorInfoW(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &oMonitor);
    CUIRect rcWork = oMonitor.rcWork;
    rcWork.Offset(-oMonitor.rcMonitor.left, -oMonitor.rcMonitor.top);
    return rcWork;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM wParam, LPARAM lParam, BOOL& /*bHandled*/)
{
    LPRECT pRect = NULL;
    if (wParam == TRUE) {
        LPNCCALCSIZE_PARAMS pParam = reinterpret_cast<LPNCCALCSIZE_PARAMS>(lParam);
        pRect = &pParam->rgrc[0];
    } else {
        pRect = reinterpret_cast<LPRECT>(lParam);
    }
    if (!::IsZoomed(m_hWnd)) return 0;
    CUIRect rcWork = MonitorWorkArea(m_hWnd);
    pRect->right = pRect->left + rcWork.GetWidth();
    pRect->bottom = pRect->top + rcWork.GetHeight();
    return WVR_REDRAW;
}

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, BOOL& /*bHandled*/) { return 0; }

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL& /*bHandled*/)
{
    POINT pt;
    pt.x = GET_X_LPARAM(lParam);
    pt.y = GET_Y_LPARAM(lParam);
    ::ScreenToClient(m_hWnd, &pt);

    RECT rcClient;
    ::GetClientRect(m_hWnd, &rcClient);

    if (!::IsZoomed(m_hWnd)) {
        RECT rcSizeBox = m_PaintManager.GetSizeBox();
        if (pt.y < rcClient.top + rcSizeBox.top) {
            if (pt.x < rcClient.left + rcSizeBox.left) return HTTOPLEFT;
            if (pt.x > rcClient.right - rcSizeBox.right) return HTTOPRIGHT;
            return HTTOP;
        } else if (pt.y > rcClient.bottom - rcSizeBox.bottom) {
            if (pt.x < rcClient.left + rcSizeBox.left) return HTBOTTOMLEFT;
            if (pt.x > rcClient.right - rcSizeBox.right) return HTBOTTOMRIGHT;
            return HTBOTTOM;
        }
        if (pt.x < rcClient.left + rcSizeBox.left) return HTLEFT;
        if (pt.x > rcClient.right - rcSizeBox.right) return HTRIGHT;
    }

    RECT rcCaption = m_PaintManager.GetCaptionRect();
    if (pt.x >= rcClient.left + rcCaption.left && pt.x < rcClient.right - rcCaption.right &&
        pt.y >= rcCaption.top && pt.y < rcCaption.bottom) {
        CControlUI* pControl = m_PaintManager.FindControl(pt);
        if (pControl != NULL && _wcsicmp(pControl->GetClass(), L"Button") != 0 &&
            _wcsicmp(pControl->GetClass(), L"Option") != 0 && _wcsicmp(pControl->GetClass(), L"Text") != 0)
            return HTCAPTION;
    }
    return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL& bHandled)
{
    LPMINMAXINFO lpMMI = reinterpret_cast<LPMINMAXINFO>(lParam);
    CUIRect rcWork = MonitorWorkArea(m_hWnd);
    lpMMI->ptMaxPosition.x = rcWork.left;
    lpMMI->ptMaxPosition.y = rcWork.top;
    lpMMI->ptMaxTrackSize.x = rcWork.GetWidth();
    lpMMI->ptMaxTrackSize.y = rcWork.GetHeight();
    lpMMI->ptMinTrackSize.x = m_PaintManager.GetMinInfo().cx;
    lpMMI->ptMinTrackSize.y = m_PaintManager.GetMinInfo().cy;
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnMouseWheel(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnMouseHover(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    SIZE szRoundCorner = m_PaintManager.GetRoundCorner();
    if (!::IsIconic(m_hWnd) && (szRoundCorner.cx != 0 || szRoundCorner.cy != 0)) {
        CUIRect rcWnd;
        ::GetWindowRect(m_hWnd, &rcWnd);
        rcWnd.Offset(-rcWnd.left, -rcWnd.top);
        rcWnd.right++;
        rcWnd.bottom++;
        HRGN hRgn = ::CreateRoundRectRgn(rcWnd.left, rcWnd.top, rcWnd.right, rcWnd.bottom, szRoundCorner.cx,
                                         szRoundCorner.cy);
        // The window owns the region once it is set.
        ::SetWindowRgn(m_hWnd, hRgn, TRUE);
    }
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnChar(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& /*bHandled*/)
{
    if (wParam == SC_CLOSE) {
        SendMessage(WM_CLOSE);
        return 0;
    }
    BOOL bZoomed = ::IsZoomed(m_hWnd);
    LRESULT lRes = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    if (::IsZoomed(m_hWnd) != bZoomed) {
        CControlUI* pbtnMax = m_PaintManager.FindControl(L"maxbtn");
        CControlUI* pbtnRestore = m_PaintManager.FindControl(L"restorebtn");
        if (pbtnMax != NULL && pbtnRestore != NULL) {
            pbtnMax->SetVisible(bZoomed == TRUE);
            pbtnRestore->SetVisible(bZoomed == FALSE);
        }
    }
    return lRes;
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL& /*bHandled*/)
{
    LONG styleValue = GetStyle();
    styleValue |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(static_cast<DWORD>(styleValue)));
    RECT rcClient;
    ::GetClientRect(m_hWnd, &rcClient);
    ::SetWindowPos(m_hWnd, NULL, rcClient.left, rcClient.top, rcClient.right - rcClient.left,
                   rcClient.bottom - rcClient.top, SWP_FRAMECHANGED);

    m_PaintManager.Init(m_hWnd);
    m_PaintManager.AddPreMessageFilter(this);

    CUIString strResourcePath = CPaintManagerUI::GetResourcePath();
    if (strResourcePath.IsEmpty()) {
        strResourcePath = CPaintManagerUI::GetInstancePath();
        strResourcePath += GetSkinFolder().GetData();
    }
    CPaintManagerUI::SetResourcePath(strResourcePath.GetData());

    switch (GetResourceType()) {
    case 2:
        CPaintManagerUI::SetResourceZip(GetSkinZipName().GetData(), true);
        break;
    case 4: {
        HINSTANCE hDll = CPaintManagerUI::GetResourceDll();
        HRSRC hResource = ::FindResourceW(hDll, GetResourceID(), L"ZIPRES");
        if (hResource == NULL) return 0;
        HGLOBAL hGlobal = ::LoadResource(hDll, hResource);
        if (hGlobal == NULL) return 0;
        DWORD dwSize = ::SizeofResource(hDll, hResource);
        if (dwSize == 0) {
            ::FreeResource(hGlobal);
            return 0;
        }
        // The zip reader works on the block for the rest of the program. The framework keeps one
        // zip in memory: a later window finds it in place and needs no copy of its own.
        if (CPaintManagerUI::GetResourceZip() != L"membuffer") {
            BYTE* pResourceZip = new BYTE[dwSize];
            ::CopyMemory(pResourceZip, ::LockResource(hGlobal), dwSize);
            CPaintManagerUI::SetResourceZip(pResourceZip, dwSize);
        }
        ::FreeResource(hGlobal);
        break;
    }
    default:
        break;
    }

    CControlUI* pRoot = NULL;
    {
        CDialogBuilder builder;
        CUIString sSkinFile = GetSkinFile();
        if (GetResourceType() == 3)
            pRoot = builder.Create(STRINGorID(static_cast<UINT>(_wtoi(sSkinFile.GetData()))), L"xml", this,
                                   &m_PaintManager);
        else
            pRoot = builder.Create(STRINGorID(sSkinFile.GetData()), NULL, this, &m_PaintManager);
    }
    if (pRoot == NULL) {
        ::MessageBoxW(NULL, L"加载资源文件失败", L"Veneer", MB_ICONERROR);
        ::ExitProcess(1);
        return 0;
    }
    m_PaintManager.AttachDialog(pRoot);
    m_PaintManager.AddNotifier(this);

    InitWindow();
    return 0;
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnKillFocus(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnSetFocus(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnLButtonDown(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnLButtonUp(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnMouseMove(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = FALSE;
    return 0;
}

LONG WindowImplBase::GetStyle()
{
    LONG styleValue = static_cast<LONG>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE));
    styleValue &= ~WS_CAPTION;
    return styleValue;
}

LRESULT WindowImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    LRESULT lRes = 0;
    BOOL bHandled = TRUE;
    switch (uMsg) {
    case WM_CREATE: lRes = OnCreate(uMsg, wParam, lParam, bHandled); break;
    case WM_CLOSE: lRes = OnClose(uMsg, wParam, lParam, bHandled); break;
    case WM_DESTROY: lRes = OnDestroy(uMsg, wParam, lParam, bHandled); break;
    case WM_NCACTIVATE: lRes = OnNcActivate(uMsg, wParam, lParam, bHandled); break;
    case WM_NCCALCSIZE: lRes = OnNcCalcSize(uMsg, wParam, lParam, bHandled); break;
    case WM_NCPAINT: lRes = OnNcPaint(uMsg, wParam, lParam, bHandled); break;
    case WM_NCHITTEST: lRes = OnNcHitTest(uMsg, wParam, lParam, bHandled); break;
    case WM_GETMINMAXINFO: lRes = OnGetMinMaxInfo(uMsg, wParam, lParam, bHandled); break;
    case WM_MOUSEWHEEL: lRes = OnMouseWheel(uMsg, wParam, lParam, bHandled); break;
    case WM_SIZE: lRes = OnSize(uMsg, wParam, lParam, bHandled); break;
    case WM_CHAR: lRes = OnChar(uMsg, wParam, lParam, bHandled); break;
    case WM_SYSCOMMAND: lRes = OnSysCommand(uMsg, wParam, lParam, bHandled); break;
    case WM_KEYDOWN: lRes = OnKeyDown(uMsg, wParam, lParam, bHandled); break;
    case WM_KILLFOCUS: lRes = OnKillFocus(uMsg, wParam, lParam, bHandled); break;
    case WM_SETFOCUS: lRes = OnSetFocus(uMsg, wParam, lParam, bHandled); break;
    case WM_LBUTTONUP: lRes = OnLButtonUp(uMsg, wParam, lParam, bHandled); break;
    case WM_LBUTTONDOWN: lRes = OnLButtonDown(uMsg, wParam, lParam, bHandled); break;
    case WM_MOUSEMOVE: lRes = OnMouseMove(uMsg, wParam, lParam, bHandled); break;
    case WM_MOUSEHOVER: lRes = OnMouseHover(uMsg, wParam, lParam, bHandled); break;
    default: bHandled = FALSE; break;
    }
    if (bHandled) return lRes;

    lRes = HandleCustomMessage(uMsg, wParam, lParam, bHandled);
    if (bHandled) return lRes;

    if (m_PaintManager.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void WindowImplBase::Notify(TNotifyRecord& msg) { RouteNotify(msg); }

LRESULT WindowImplBase::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM /*lParam*/, bool& /*bHandled*/)
{
    if (uMsg == WM_KEYDOWN) {
        switch (wParam) {
        case VK_RETURN:
        case VK_ESCAPE:
            return OnDefaultKey(wParam);
        default:
            break;
        }
    }
    return FALSE;
}

CControlUI* WindowImplBase::CreateControl(const wchar_t* /*pstrClass*/) { return NULL; }

} // namespace Veneer
