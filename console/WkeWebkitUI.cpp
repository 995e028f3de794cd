#include "WkeWebkitUI.h"

#include <windowsx.h>

#include <string>

#include "UIContainer.h"

using namespace Veneer;

namespace {

volatile LONG g_libraryReferences = 0;
DWORD(*g_tick)() = nullptr;

DWORD Now() {
    return g_tick ? g_tick() : ::GetTickCount();
}

const UINT kHangTimerId = 42;
const DWORD kHangMs = 20000;

// Key flags for the library: repeat (lParam bit 30) and extended key (bit 24).
unsigned KeyFlags(LPARAM lParam) {
    unsigned flags = 0;
    if (lParam & (1 << 30)) flags |= 0x4000;
    if (lParam & (1 << 24)) flags |= 0x100;
    return flags;
}

// MK_ bits: control 8, shift 4, left 1, middle 16, right 2.
unsigned MouseFlags(WPARAM wParam) {
    return (unsigned)(wParam & (MK_CONTROL | MK_SHIFT | MK_LBUTTON | MK_MBUTTON | MK_RBUTTON));
}

// A context menu's wParam is a window handle: the flags come from the current key and buttons.
unsigned CurrentMouseFlags() {
    unsigned flags = 0;
    if (::GetKeyState(VK_CONTROL) < 0) flags |= MK_CONTROL;
    if (::GetKeyState(VK_SHIFT) < 0) flags |= MK_SHIFT;
    if (::GetKeyState(VK_LBUTTON) < 0) flags |= MK_LBUTTON;
    if (::GetKeyState(VK_MBUTTON) < 0) flags |= MK_MBUTTON;
    if (::GetKeyState(VK_RBUTTON) < 0) flags |= MK_RBUTTON;
    return flags;
}

// The cursor the view asks for where the mouse last was: the hand over links, the I-beam over
// text fields.
void ShowCursorOf(wkeWebView view) {
    int kind = wkeGetCursorInfoType(view);
    ::SetCursor(::LoadCursorW(nullptr, kind == WKE_CURSOR_HAND    ? IDC_HAND
                                       : kind == WKE_CURSOR_IBEAM ? IDC_IBEAM
                                                                  : IDC_ARROW));
}

RECT HostRect(CControlUI* control) {
    RECT rc = control->GetPos();
    CPaintManagerUI* pm = control->GetManager();
    if (pm && pm->IsLayered()) {
        RECT wnd = {0, 0, 0, 0};
        ::GetWindowRect(pm->GetPaintWindow(), &wnd);
        ::OffsetRect(&rc, wnd.left, wnd.top);
    }
    return rc;
}

}  // namespace

// ---- the host window ----------------------------------------------------------------------

CWkeWebkitWnd::CWkeWebkitWnd() : m_pOwner(nullptr), m_view(nullptr), m_bInit(false) {}

bool CWkeWebkitWnd::Init(CWkeWebkitUI* owner) {
    m_pOwner = owner;
    m_bInit = true;
    if (m_hWnd == nullptr) {
        CPaintManagerUI* pm = owner->GetManager();
        RECT rc = HostRect(owner);
        if (!Create(pm ? pm->GetPaintWindow() : nullptr, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                    0, rc))
            return false;
    }
    ShowWindow(true, true);
    return true;
}

const wchar_t* CWkeWebkitWnd::GetWindowClassName() const {
    return L"WkeWebkit";
}

LRESULT CWkeWebkitWnd::Forward(UINT uMsg, WPARAM wParam, LPARAM lParam, bool used) {
    return used ? 0 : CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CWkeWebkitWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_CREATE) {
        m_view = wkeCreateWebView();
        if (!m_view) {
            // Not initialised: the window is going, and its creator deletes this object.
            m_bInit = false;
            return -1;
        }
        wkeSetHostWindow(m_view, m_hWnd);
        ::SetTimer(m_hWnd, 1, 50, nullptr);
        return 0;
    }
    if (uMsg == WM_DESTROY) {
        if (m_view) wkeDestroyWebView(m_view);
        m_view = nullptr;
        ::KillTimer(m_hWnd, 1);
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }
    if (uMsg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(m_hWnd, &ps);
        if (m_view) {
            RECT clip = {0, 0, 0, 0}, client = {0, 0, 0, 0}, area;
            ::GetClipBox(dc, &clip);
            ::GetClientRect(m_hWnd, &client);
            if (::IntersectRect(&area, &clip, &client))
                ::BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, wkeGetViewDC(m_view),
                         area.left, area.top, SRCCOPY);
        }
        ::EndPaint(m_hWnd, &ps);
        return 0;
    }
    if (uMsg == WM_IME_STARTCOMPOSITION) return 0;
    // Everything below needs the view; without it (never created, or forgotten at WM_DESTROY)
    // the messages take their usual course.
    if (!m_view) return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    switch (uMsg) {
    case WM_SIZE: {
        RECT rc = {0, 0, 0, 0};
        ::GetWindowRect(m_hWnd, &rc);
        wkeResize(m_view, rc.right - rc.left, rc.bottom - rc.top);
        wkeRepaintIfNeededAfterInterval(m_view);
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        return 0;
    }
    case WM_TIMER:
        if (wParam == 1) {
            if (wkeRepaintIfNeededAfterInterval(m_view)) {
                RECT changed = {0, 0, 0, 0};
                wkeGetRepaintedRect(m_view, &changed);
                ::InvalidateRect(m_hWnd, &changed, FALSE);
            }
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            ShowCursorOf(m_view);
            return TRUE;
        }
        break;
    case WM_MOUSEWHEEL: {
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(m_hWnd, &pt);
        int delta = (short)HIWORD(wParam);
        return Forward(uMsg, wParam, lParam, wkeFireMouseWheelEvent(m_view, pt.x, pt.y, delta, MouseFlags(LOWORD(wParam))));
    }
    case WM_CONTEXTMENU: {
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (pt.x != -1 || pt.y != -1) ::ScreenToClient(m_hWnd, &pt);
        return Forward(uMsg, wParam, lParam, wkeFireContextMenuEvent(m_view, pt.x, pt.y, CurrentMouseFlags()));
    }
    case WM_KEYDOWN:
        if (wParam == VK_F5) wkeReload(m_view);
        return Forward(uMsg, wParam, lParam, wkeFireKeyDownEvent(m_view, (unsigned)wParam, KeyFlags(lParam), false));
    case WM_KEYUP:
        return Forward(uMsg, wParam, lParam, wkeFireKeyUpEvent(m_view, (unsigned)wParam, KeyFlags(lParam), false));
    case WM_CHAR:
        return Forward(uMsg, wParam, lParam, wkeFireKeyPressEvent(m_view, (unsigned)wParam, KeyFlags(lParam), false));
    case WM_SETFOCUS:
        wkeSetFocus(m_view);
        break;
    case WM_KILLFOCUS:
        wkeKillFocus(m_view);
        break;
    default:
        if ((uMsg >= WM_MOUSEMOVE && uMsg <= WM_MBUTTONDBLCLK) || uMsg == WM_MOUSELEAVE) {
            if (uMsg == WM_LBUTTONDOWN || uMsg == WM_RBUTTONDOWN || uMsg == WM_MBUTTONDOWN) ::SetFocus(m_hWnd);
            // A scroll bar's thumb is dragged on beyond the window's edge.
            if (uMsg == WM_LBUTTONDOWN) ::SetCapture(m_hWnd);
            if (uMsg == WM_LBUTTONUP && ::GetCapture() == m_hWnd) ::ReleaseCapture();
            POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (uMsg == WM_MOUSELEAVE) {
                // No position comes with it: where the cursor is now.
                ::GetCursorPos(&pt);
                ::ScreenToClient(m_hWnd, &pt);
            }
            bool used = wkeFireMouseEvent(m_view, uMsg, pt.x, pt.y, MouseFlags(wParam));
            // The view may have gone inside the page's handlers (its window with it).
            if (!::IsWindow(m_hWnd)) return 0;
            // WM_SETCURSOR came before the move: the cursor follows the move at once.
            if (uMsg == WM_MOUSEMOVE && m_view) ShowCursorOf(m_view);
            return Forward(uMsg, wParam, lParam, used);
        }
        break;
    }
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void CWkeWebkitWnd::OnFinalMessage(HWND hWnd) {
    if (!m_bInit) return;  // creation failed: Init's caller deletes the object
    if (m_pOwner) {
        m_pOwner->Invalidate();
        m_pOwner->m_pHost = nullptr;
    }
    delete this;
}

// ---- the control --------------------------------------------------------------------------

CWkeWebkitUI::CWkeWebkitUI()
    : m_pfnNavigation(nullptr), m_pfnCreateView(nullptr), m_pfnLoadingFinish(nullptr), m_pHost(nullptr),
      m_dwLoadStart(0) {
    if (::InterlockedIncrement(&g_libraryReferences) == 1) wkeInitialize();
}

CWkeWebkitUI::~CWkeWebkitUI() {
    // The window goes now, not at a posted WM_CLOSE: it would outlive the control and write into
    // it, and the last control's wkeFinalize would come before its view was destroyed.
    if (m_pHost) {
        CWkeWebkitWnd* host = m_pHost;
        m_pHost = nullptr;
        host->m_pOwner = nullptr;
        HWND hwnd = host->GetHWND();
        if (hwnd && ::IsWindow(hwnd)) ::DestroyWindow(hwnd);
        else delete host;
    }
    if (GetManager()) GetManager()->KillTimer(this, kHangTimerId);
    if (::InterlockedDecrement(&g_libraryReferences) == 0) wkeFinalize();
}

void CWkeWebkitUI::SetTickSource(DWORD (*tick)()) {
    g_tick = tick;
}

LONG CWkeWebkitUI::GetLibraryReferences() {
    return g_libraryReferences;
}

const wchar_t* CWkeWebkitUI::GetClass() const {
    return L"WbkWebkitUI";
}

void* CWkeWebkitUI::GetInterface(const wchar_t* pstrName) {
    if (pstrName && wcscmp(pstrName, L"WbkWebkitUI") == 0) return this;
    return CControlUI::GetInterface(pstrName);
}

void CWkeWebkitUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, true);
    if (!m_pHost || !m_pHost->GetHWND()) return;
    RECT r = HostRect(this);
    ::SetWindowPos(m_pHost->GetHWND(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWkeWebkitUI::SetPos(RECT rc) {
    SetPos(rc, true);
}

void CWkeWebkitUI::SetVisible(bool bVisible) {
    CControlUI::SetVisible(bVisible);
    SetInternVisible(bVisible);
}

void CWkeWebkitUI::SetInternVisible(bool bVisible) {
    CControlUI::SetInternVisible(bVisible);
    if (m_pHost && m_pHost->GetHWND()) ::ShowWindow(m_pHost->GetHWND(), bVisible ? SW_SHOW : SW_HIDE);
}

void CWkeWebkitUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) {
    CControlUI::SetAttribute(pstrName, pstrValue);
}

void CWkeWebkitUI::DoInit() {
    CControlUI::DoInit();
    m_pHost = new CWkeWebkitWnd;
    if (!m_pHost->Init(this)) {
        // No view, no window: the control stays without a host.
        delete m_pHost;
        m_pHost = nullptr;
        return;
    }
    CUIString name = GetName();
    int n = ::WideCharToMultiByte(CP_ACP, 0, name.GetData(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(n > 0 ? n : 1, '\0');
    if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, name.GetData(), -1, &ansi[0], n, nullptr, nullptr);
    wkeWebView view = m_pHost->m_view;
    wkeSetName(view, ansi.c_str());
    if (GetManager()) GetManager()->SetTimer(this, kHangTimerId, 30);
    wkeOnNavigation(view, OnNavigation, this);
    wkeOnLoadingFinish(view, OnLoadingFinish, this);
    wkeOnCreateView(view, OnCreateView, this);
}

void CWkeWebkitUI::Load(const wchar_t* url) {
    StopLoading();
    m_sUrl = url ? url : L"";
    m_sSpare.Empty();
    wkeWebView view = GetView();
    if (!view) return;
    // Stamped first: a load that ends inside the call clears it.
    m_dwLoadStart = Now();
    wkeLoadW(view, m_sUrl.GetData());
}

void CWkeWebkitUI::StopLoading() {
    if (wkeWebView view = GetView()) wkeStopLoading(view);
    m_dwLoadStart = 0;
}

void CWkeWebkitUI::BindJsFunction(const wchar_t* name, jsNativeFunction function, unsigned int argCount) {
    if (!name) return;
    int n = ::WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return;
    std::string ansi(n, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, name, -1, &ansi[0], n, nullptr, nullptr);
    wkeJSBindFunction(ansi.c_str(), function, argCount);
}

bool CWkeWebkitUI::OnNavigation(wkeWebView view, void* param, int navigationType, wkeString url) {
    CWkeWebkitUI* self = static_cast<CWkeWebkitUI*>(param);
    return self->m_pfnNavigation ? self->m_pfnNavigation(view, param, navigationType, url) : true;
}

wkeWebView CWkeWebkitUI::OnCreateView(wkeWebView view, void* param, int navigationType, wkeString url,
                                      const wkeWindowFeatures* features) {
    CWkeWebkitUI* self = static_cast<CWkeWebkitUI*>(param);
    return self->m_pfnCreateView ? self->m_pfnCreateView(view, param, navigationType, url, features) : view;
}

void CWkeWebkitUI::OnLoadingFinish(wkeWebView view, void* param, wkeString url, int result, wkeString reason) {
    CWkeWebkitUI* self = static_cast<CWkeWebkitUI*>(param);
    // Cleared before the hook: the hook may start another load (a new stamp) or destroy the control.
    self->m_dwLoadStart = 0;
    if (self->m_pfnLoadingFinish) self->m_pfnLoadingFinish(self, wkeGetStringW(url), result, wkeGetStringW(reason));
}

bool CWkeWebkitUI::ReplaceHungLoad() {
    if (!m_dwLoadStart || Now() - m_dwLoadStart <= kHangMs) return false;
    ::OutputDebugStringW(L"检测到加载超时,进行处理\n");
    CControlUI* parentControl = GetParent();
    CContainerUI* parent = parentControl ? static_cast<CContainerUI*>(parentControl->GetInterface(L"Container")) : nullptr;
    if (!parent) {
        StopLoading();
        return false;
    }
    CWkeWebkitUI* fresh = new CWkeWebkitUI;
    fresh->SetNavigationHandler(m_pfnNavigation);
    fresh->SetCreateViewHandler(m_pfnCreateView);
    fresh->SetLoadingFinishHandler(m_pfnLoadingFinish);
    parent->Add(fresh);
    fresh->SetPos(GetPos());
    fresh->SetVisible(IsVisible());
    fresh->SetName(GetName());
    fresh->Load(m_sUrl.GetData());
    SetVisible(false);
    parent->SetDelayedDestroy(true);
    parent->Remove(this);
    return true;
}

void CWkeWebkitUI::DoEvent(TEventUI& event) {
    wkeWebView view = GetView();
    if (view && event.Type != UIEVENT_TIMER && !wkeIsLoadingCompleted(view)) {
        ::OutputDebugStringW(L"wkeIsLoadingCompleted为false");
        return;
    }
    const RECT& rc = GetPos();
    int x = event.ptMouse.x - rc.left, y = event.ptMouse.y - rc.top;
    switch (event.Type) {
    case UIEVENT_KEYDOWN:
        if (view) wkeFireKeyDownEvent(view, event.chKey, (unsigned)event.lParam, false);
        break;
    case UIEVENT_KEYUP:
        if (view) wkeFireKeyUpEvent(view, event.chKey, (unsigned)event.lParam, false);
        break;
    case UIEVENT_CHAR:
        if (view) wkeFireKeyPressEvent(view, event.chKey, (unsigned)event.lParam, false);
        break;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_MOUSELEAVE:
    case UIEVENT_MOUSEENTER:
        if (view) wkeFireMouseEvent(view, WM_MOUSEMOVE, x, y, MouseFlags(event.wParam));
        break;
    case UIEVENT_BUTTONDOWN:
        if (view) wkeFireMouseEvent(view, WM_LBUTTONDOWN, x, y, event.wKeyState);
        break;
    case UIEVENT_BUTTONUP:
        if (view) wkeFireMouseEvent(view, WM_LBUTTONUP, x, y, event.wKeyState);
        break;
    case UIEVENT_RBUTTONDOWN:
        if (view) wkeFireMouseEvent(view, WM_RBUTTONDOWN, x, y, event.wKeyState);
        break;
    case UIEVENT_DBLCLICK:
        if (view) wkeFireMouseEvent(view, WM_LBUTTONDBLCLK, x, y, event.wKeyState);
        break;
    case UIEVENT_CONTEXTMENU:
        if (view) wkeFireContextMenuEvent(view, x, y, event.wKeyState);
        break;
    case UIEVENT_SCROLLWHEEL:
        if (view) wkeFireMouseWheelEvent(view, x, y, event.wParam ? -120 : 120, event.wKeyState);
        break;
    case UIEVENT_KILLFOCUS:
        if (view) wkeKillFocus(view);
        break;
    case UIEVENT_SETFOCUS:
        if (view) wkeSetFocus(view);
        break;
    case UIEVENT_SETCURSOR:
        return;
    case UIEVENT_TIMER:
        if (event.wParam == kHangTimerId) {
            // Replaced: this control is already out of its parent and goes after this message.
            if (ReplaceHungLoad()) return;
            Invalidate();
        }
        break;
    default:
        break;
    }
    CControlUI::DoEvent(event);
}
