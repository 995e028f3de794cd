// Shared pieces of the paint manager's input and painting tests: a popup window that hands its
// messages to its paint manager, a canvas that places children at fixed rectangles, and a control
// that writes the mouse events it receives into a log.
#pragma once
#include "UIManager.h"
#include "UIControl.h"

#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>

namespace inputtest {

using namespace Veneer;

// A place on the display where no test window lies: the cursor parks there.
const POINT kParkedCursor = {1270, 20};

// Puts the cursor back at its parking place when a case that moved it ends, however it ends, so
// that it does not stay over the windows of the tests that run after it.
struct ParkCursorOnExit {
    ~ParkCursorOnExit() { ::SetCursorPos(kParkedCursor.x, kParkedCursor.y); }
};

// A top-level popup in a corner of the display that other tests' windows leave free, so that the
// (shared) cursor they move does not wander over it.
struct Host {
    HWND hwnd = NULL;
    CPaintManagerUI pm;
    bool swallowClose = false;        // keep the window when WM_CLOSE is not consumed
    std::vector<UINT> messages;       // every message the window procedure saw

    static LRESULT CALLBACK Proc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        Host* self = reinterpret_cast<Host*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != NULL) {
            self->messages.push_back(uMsg);
            LRESULT lRes = 0;
            if (self->pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
            if (uMsg == WM_CLOSE && self->swallowClose) return 0;
        }
        return ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
    }

    explicit Host(int x = 900, int y = 700, int cx = 300, int cy = 200)
    {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc = {};
            wc.style = CS_DBLCLKS;
            wc.lpfnWndProc = Proc;
            wc.hInstance = ::GetModuleHandleW(NULL);
            wc.lpszClassName = L"VeneerInputTestHost";
            wc.hCursor = ::LoadCursorW(NULL, IDC_ARROW);
            ::RegisterClassW(&wc);
            registered = true;
        }
        CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
        hwnd = ::CreateWindowExW(0, L"VeneerInputTestHost", L"input", WS_POPUP | WS_CLIPCHILDREN, x, y, cx, cy,
                                 NULL, NULL, ::GetModuleHandleW(NULL), NULL);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        pm.Init(hwnd);
    }

    void Show()
    {
        ::ShowWindow(hwnd, SW_SHOWNORMAL);
        ::SetForegroundWindow(hwnd);
        ::UpdateWindow(hwnd);
    }

    ~Host()
    {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd);
    }

    POINT ToScreen(int x, int y) const
    {
        POINT pt = {x, y};
        ::ClientToScreen(hwnd, &pt);
        return pt;
    }

    // Client-point messages (mouse moves and buttons).
    LRESULT Send(UINT uMsg, int x, int y, WPARAM wParam = 0)
    {
        return ::SendMessageW(hwnd, uMsg, wParam, MAKELPARAM((WORD)x, (WORD)y));
    }
    // Screen-point messages (wheel, context menu), given the client point.
    LRESULT SendScreen(UINT uMsg, int x, int y, WPARAM wParam = 0)
    {
        POINT pt = ToScreen(x, y);
        return ::SendMessageW(hwnd, uMsg, wParam, MAKELPARAM((WORD)pt.x, (WORD)pt.y));
    }
};

// Runs the framework's pre-translation and dispatch until pred holds or the time is up.
inline bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 3000)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (!CPaintManagerUI::TranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        if (pred()) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
}

inline void Pump(DWORD ms = 100)
{
    PumpUntil([] { return false; }, ms);
}

// One received event as "name:kind".
inline std::vector<std::wstring>& Log()
{
    static std::vector<std::wstring> log;
    return log;
}

inline const wchar_t* EventName(int type)
{
    switch (type) {
    case UIEVENT_MOUSEMOVE: return L"move";
    case UIEVENT_MOUSELEAVE: return L"leave";
    case UIEVENT_MOUSEENTER: return L"enter";
    case UIEVENT_MOUSEHOVER: return L"hover";
    case UIEVENT_BUTTONDOWN: return L"down";
    case UIEVENT_BUTTONUP: return L"up";
    case UIEVENT_RBUTTONDOWN: return L"rdown";
    case UIEVENT_DBLCLICK: return L"dbl";
    case UIEVENT_CONTEXTMENU: return L"menu";
    case UIEVENT_SCROLLWHEEL: return L"wheel";
    case UIEVENT_SETCURSOR: return L"cursor";
    case UIEVENT_SETFOCUS: return L"setfocus";
    case UIEVENT_KILLFOCUS: return L"killfocus";
    default: return L"other";
    }
}

// A leaf control that logs its events and keeps them.
class Probe : public CControlUI {
public:
    Probe(const wchar_t* name, DWORD bk = 0, UINT flags = 0) : m_flags(flags)
    {
        SetName(name);
        if (bk != 0) SetBkColor(bk);
    }
    UINT GetControlFlags() const override { return m_flags; }
    void DoEvent(TEventUI& event) override
    {
        events.push_back(event);
        Log().push_back(std::wstring(GetName().GetData()) + L":" + EventName(event.Type));
        if (onEvent) onEvent(event);
        if (event.Type == UIEVENT_SETFOCUS || event.Type == UIEVENT_KILLFOCUS) CControlUI::DoEvent(event);
    }
    int Count(int type) const
    {
        int n = 0;
        for (const TEventUI& e : events) n += e.Type == type;
        return n;
    }

    std::vector<TEventUI> events;
    std::function<void(TEventUI&)> onEvent;

private:
    UINT m_flags;
};

// A container that puts every child at a fixed rectangle relative to its own corner and hit-tests
// the last child first, as the framework's containers do.
class Canvas : public CControlUI {
public:
    explicit Canvas(DWORD bk = 0)
    {
        if (bk != 0) SetBkColor(bk);
    }
    ~Canvas() override
    {
        for (CControlUI* p : m_children) p->Delete();
    }
    template <class T>
    T* Add(T* p, int l, int t, int r, int b)
    {
        m_children.push_back(p);
        RECT rc = {l, t, r, b};
        m_rects.push_back(rc);
        if (m_pManager != NULL) m_pManager->InitControls(p, this);
        NeedUpdate();
        return p;
    }
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) override
    {
        for (CControlUI* p : m_children) p->SetManager(pManager, this, bInit);
        CControlUI::SetManager(pManager, pParent, bInit);
    }
    void SetPos(RECT rc, bool bNeedInvalidate) override
    {
        CControlUI::SetPos(rc, bNeedInvalidate);
        for (size_t i = 0; i < m_children.size(); ++i) {
            RECT r = m_rects[i];
            ::OffsetRect(&r, rc.left, rc.top);
            m_children[i]->SetPos(r, false);
        }
    }
    bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStop) override
    {
        if (!CControlUI::DoPaint(hDC, rcPaint, pStop)) return false;
        for (CControlUI* p : m_children) {
            RECT rcTemp;
            if (!p->IsVisible() || !::IntersectRect(&rcTemp, &rcPaint, &p->GetPos())) continue;
            if (!p->Paint(hDC, rcPaint, pStop)) return false;
        }
        return true;
    }
    CControlUI* FindControl(FindControlCallback Proc, void* pData, UINT uFlags) override
    {
        if ((uFlags & FindOnlyVisible) && !IsVisible()) return NULL;
        if ((uFlags & FindAtPoint) && !::PtInRect(&GetPos(), *static_cast<POINT*>(pData))) return NULL;
        CControlUI* pResult = NULL;
        if (uFlags & FindSelfFirst) pResult = Proc(this, pData);
        if (pResult != NULL) return pResult;
        if (uFlags & FindLastChildFirst) {
            for (auto it = m_children.rbegin(); it != m_children.rend(); ++it)
                if ((pResult = (*it)->FindControl(Proc, pData, uFlags)) != NULL) return pResult;
        } else {
            for (CControlUI* p : m_children)
                if ((pResult = p->FindControl(Proc, pData, uFlags)) != NULL) return pResult;
        }
        if ((uFlags & FindSelfFirst) == 0) return Proc(this, pData);
        return NULL;
    }

private:
    std::vector<CControlUI*> m_children;
    std::vector<RECT> m_rects;
};

} // namespace inputtest
