#include "UIWindow.h"
#include "UIManager.h"

namespace Veneer {

// Window property that carries the object of a superclassed window.
static const wchar_t kWndProp[] = L"WndX";
// Window properties that hold the icons SetIcon loaded: the window owns them, and they go when it
// gets a new icon from SetIcon or when it is destroyed (the object's fields cannot grow).
static const wchar_t kBigIconProp[] = L"VeneerIconBig";
static const wchar_t kSmallIconProp[] = L"VeneerIconSmall";

namespace {

// Sets one icon of the window; the one SetIcon loaded before is no longer shown (this call or
// another replaced it) and is destroyed.
void ReplaceOwnIcon(HWND hWnd, WPARAM which, const wchar_t* prop, HICON hIcon)
{
    HICON hOwn = static_cast<HICON>(::GetPropW(hWnd, prop));
    ::SendMessageW(hWnd, WM_SETICON, which, reinterpret_cast<LPARAM>(hIcon));
    if (hOwn != NULL && hOwn != hIcon) ::DestroyIcon(hOwn);
    if (hIcon != NULL)
        ::SetPropW(hWnd, prop, static_cast<HANDLE>(hIcon));
    else
        ::RemovePropW(hWnd, prop);
}

// At the window's end: the icons SetIcon loaded are destroyed with it.
void DestroyOwnIcons(HWND hWnd)
{
    const wchar_t* props[2] = {kBigIconProp, kSmallIconProp};
    for (const wchar_t* prop : props) {
        HICON hOwn = static_cast<HICON>(::RemovePropW(hWnd, prop));
        if (hOwn != NULL) ::DestroyIcon(hOwn);
    }
}

} // namespace

CWindowWnd::CWindowWnd() : m_hWnd(NULL), m_OldWndProc(::DefWindowProcW), m_bSubclassed(false) {}

HWND CWindowWnd::GetHWND() const { return m_hWnd; }
CWindowWnd::operator HWND() const { return m_hWnd; }

const wchar_t* CWindowWnd::GetSuperClassName() const { return NULL; }
UINT CWindowWnd::GetClassStyle() const { return 0; }

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return ::CallWindowProcW(m_OldWndProc, m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND /*hWnd*/) {}

bool CWindowWnd::RegisterWindowClass()
{
    WNDCLASSW wc;
    ::ZeroMemory(&wc, sizeof(wc));
    wc.style = GetClassStyle();
    wc.lpfnWndProc = CWindowWnd::WindowProc;
    wc.hInstance = CPaintManagerUI::GetInstance();
    wc.hCursor = ::LoadCursorW(NULL, IDC_ARROW);
    wc.lpszClassName = GetWindowClassName();
    if (::RegisterClassW(&wc) != 0) return true;
    return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterFromSuperClass()
{
    WNDCLASSEXW wc;
    ::ZeroMemory(&wc, sizeof(wc));
    wc.cbSize = sizeof(wc);
    if (!::GetClassInfoExW(NULL, GetSuperClassName(), &wc)) {
        if (!::GetClassInfoExW(CPaintManagerUI::GetInstance(), GetSuperClassName(), &wc)) return false;
    }
    // The base class's procedure gets whatever HandleMessage leaves alone.
    m_OldWndProc = wc.lpfnWndProc;
    wc.lpfnWndProc = CWindowWnd::ControlProc;
    wc.hInstance = CPaintManagerUI::GetInstance();
    wc.lpszClassName = GetWindowClassName();
    if (::RegisterClassExW(&wc) != 0) return true;
    return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT rc,
                        HMENU hMenu)
{
    return Create(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.right - rc.left,
                  rc.bottom - rc.top, hMenu);
}

HWND CWindowWnd::Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle, int x, int y,
                        int cx, int cy, HMENU hMenu)
{
    if (GetSuperClassName() != NULL) {
        if (!RegisterFromSuperClass()) return NULL;
    } else {
        if (!RegisterWindowClass()) return NULL;
    }
    m_hWnd = ::CreateWindowExW(dwExStyle, GetWindowClassName(), pstrName, dwStyle, x, y, cx, cy, hwndParent, hMenu,
                               CPaintManagerUI::GetInstance(), this);
    return m_hWnd;
}

void CWindowWnd::Unsubclass()
{
    if (!::IsWindow(m_hWnd)) return;
    if (!m_bSubclassed) return;
    ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_OldWndProc));
    m_OldWndProc = ::DefWindowProcW;
    m_bSubclassed = false;
}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus)
{
    if (!::IsWindow(m_hWnd)) return;
    ::ShowWindow(m_hWnd, bShow ? (bTakeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

// Runs until the window is gone. The object may delete itself in OnFinalMessage, so after the
// window is shown only the local handle is used. The result is the code of the last close request
// seen for the window (Close(nRet)), 0 when there was none.
UINT CWindowWnd::ShowModal()
{
    HWND hWnd = m_hWnd;
    if (!::IsWindow(hWnd)) return 0;
    UINT nRet = 0;
    HWND hWndOwner = ::GetWindow(hWnd, GW_OWNER);
    ShowWindow(true, true);
    bool bOwnerDisabled = hWndOwner != NULL && ::IsWindowEnabled(hWndOwner);
    if (bOwnerDisabled) ::EnableWindow(hWndOwner, FALSE);

    MSG msg;
    while (::IsWindow(hWnd)) {
        // PeekMessage also runs sent messages, which may destroy the window: the handle is checked
        // again before every wait, so the loop never sleeps on a window that is already gone.
        if (!::PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (!::IsWindow(hWnd)) break;
            ::MsgWaitForMultipleObjectsEx(0, NULL, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            continue;
        }
        if (msg.message == WM_QUIT) {
            // The quit request belongs to the program's main loop.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        bool bClose = msg.message == WM_CLOSE && msg.hwnd == hWnd;
        if (bClose) {
            nRet = static_cast<UINT>(msg.wParam);
            // The owner must be enabled before the window goes, or activation passes elsewhere.
            if (bOwnerDisabled) ::EnableWindow(hWndOwner, TRUE);
        }
        if (!CPaintManagerUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (bClose && bOwnerDisabled && ::IsWindow(hWnd)) ::EnableWindow(hWndOwner, FALSE);
    }
    if (bOwnerDisabled) {
        ::EnableWindow(hWndOwner, TRUE);
        if (!::IsWindow(hWnd)) ::SetFocus(hWndOwner);
    }
    return nRet;
}

void CWindowWnd::Close(UINT nRet)
{
    if (!::IsWindow(m_hWnd)) return;
    ::PostMessageW(m_hWnd, WM_CLOSE, static_cast<WPARAM>(nRet), 0L);
}

void CWindowWnd::CenterWindow()
{
    RECT rcDlg = {0, 0, 0, 0};
    ::GetWindowRect(m_hWnd, &rcDlg);
    HWND hWndOwner = ::GetWindow(m_hWnd, GW_OWNER);
    HWND hWndCenter = hWndOwner != NULL ? hWndOwner : m_hWnd;

    MONITORINFO mi;
    ::ZeroMemory(&mi, sizeof(mi));
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(::MonitorFromWindow(hWndCenter, MONITOR_DEFAULTTONEAREST), &mi);
    RECT rcWork = mi.rcWork;
    RECT rcArea = rcWork;
    if (hWndOwner != NULL && !::IsIconic(hWndOwner)) ::GetWindowRect(hWndOwner, &rcArea);

    int nWidth = rcDlg.right - rcDlg.left;
    int nHeight = rcDlg.bottom - rcDlg.top;
    int x = (rcArea.left + rcArea.right) / 2 - nWidth / 2;
    int y = (rcArea.top + rcArea.bottom) / 2 - nHeight / 2;
    if (x < rcWork.left) x = rcWork.left;
    else if (x + nWidth > rcWork.right) x = rcWork.right - nWidth;
    if (y < rcWork.top) y = rcWork.top;
    else if (y + nHeight > rcWork.bottom) y = rcWork.bottom - nHeight;
    ::SetWindowPos(m_hWnd, NULL, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT nRes)
{
    if (!::IsWindow(m_hWnd)) return;
    HICON hIcon = static_cast<HICON>(::LoadImageW(CPaintManagerUI::GetInstance(), MAKEINTRESOURCEW(nRes),
                                                  IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                                                  ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    ReplaceOwnIcon(m_hWnd, static_cast<WPARAM>(ICON_BIG), kBigIconProp, hIcon);
    hIcon = static_cast<HICON>(::LoadImageW(CPaintManagerUI::GetInstance(), MAKEINTRESOURCEW(nRes), IMAGE_ICON,
                                            ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                            LR_DEFAULTCOLOR));
    ReplaceOwnIcon(m_hWnd, static_cast<WPARAM>(ICON_SMALL), kSmallIconProp, hIcon);
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* pThis = NULL;
    if (uMsg == WM_NCCREATE) {
        LPCREATESTRUCTW lpcs = reinterpret_cast<LPCREATESTRUCTW>(lParam);
        pThis = static_cast<CWindowWnd*>(lpcs->lpCreateParams);
        pThis->m_hWnd = hWnd;
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pThis));
    } else {
        pThis = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (uMsg == WM_NCDESTROY && pThis != NULL) {
            LRESULT lRes = ::CallWindowProcW(pThis->m_OldWndProc, hWnd, uMsg, wParam, lParam);
            DestroyOwnIcons(hWnd);
            ::SetWindowLongPtrW(pThis->m_hWnd, GWLP_USERDATA, 0L);
            if (pThis->m_bSubclassed) pThis->Unsubclass();
            pThis->m_hWnd = NULL;
            pThis->OnFinalMessage(hWnd);
            return lRes;
        }
    }
    if (pThis != NULL) return pThis->HandleMessage(uMsg, wParam, lParam);
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::ControlProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* pThis = NULL;
    if (uMsg == WM_NCCREATE) {
        LPCREATESTRUCTW lpcs = reinterpret_cast<LPCREATESTRUCTW>(lParam);
        pThis = static_cast<CWindowWnd*>(lpcs->lpCreateParams);
        ::SetPropW(hWnd, kWndProp, static_cast<HANDLE>(pThis));
        pThis->m_hWnd = hWnd;
    } else {
        pThis = static_cast<CWindowWnd*>(::GetPropW(hWnd, kWndProp));
        if (uMsg == WM_NCDESTROY && pThis != NULL) {
            LRESULT lRes = ::CallWindowProcW(pThis->m_OldWndProc, hWnd, uMsg, wParam, lParam);
            DestroyOwnIcons(hWnd);
            if (pThis->m_bSubclassed) pThis->Unsubclass();
            ::SetPropW(hWnd, kWndProp, NULL);
            pThis->m_hWnd = NULL;
            pThis->OnFinalMessage(hWnd);
            return lRes;
        }
    }
    if (pThis != NULL) return pThis->HandleMessage(uMsg, wParam, lParam);
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

} // namespace Veneer
