// Helpers of the container and scroll-bar tests: a window that hands its messages to a paint
// manager, a message pump, a 32-bit canvas, a notification recorder and a test layout that stacks
// children and reports the size it needs, as every real layout does.
#pragma once
#include <gtest/gtest.h>

#include "UIContainer.h"
#include "UIManager.h"
#include "UIScrollBar.h"

#include <functional>
#include <string>
#include <vector>

namespace containertest {

using namespace Veneer;

struct HostWindow {
    HWND hwnd = NULL;
    CPaintManagerUI pm;
    // The test display is shared by tests running side by side: pointer motion that another test
    // causes must not reach this window while it holds the capture. Only the mouse messages the
    // test sends itself (and what the manager sends from inside them) are handled.
    int sending = 0;

    static bool IsMouseMessage(UINT uMsg)
    {
        return (uMsg >= WM_MOUSEFIRST && uMsg <= WM_MOUSELAST) || uMsg == WM_MOUSEHOVER || uMsg == WM_MOUSELEAVE;
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        HostWindow* self = reinterpret_cast<HostWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != NULL) {
            if (self->sending == 0 && IsMouseMessage(uMsg)) return 0;
            LRESULT lRes = 0;
            if (self->pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
        }
        return ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
    }

    explicit HostWindow(int cx = 300, int cy = 240)
    {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = Proc;
            wc.hInstance = ::GetModuleHandleW(NULL);
            wc.lpszClassName = L"VeneerContainerTestHost";
            wc.hCursor = ::LoadCursorW(NULL, IDC_ARROW);
            ::RegisterClassW(&wc);
            registered = true;
        }
        CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
        // A popup has a client area exactly of its size.
        hwnd = ::CreateWindowExW(0, L"VeneerContainerTestHost", L"host", WS_POPUP, 20, 20, cx, cy, NULL, NULL,
                                 ::GetModuleHandleW(NULL), NULL);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        pm.Init(hwnd);
    }

    // Shows the window and lets the first paint lay the tree out.
    void ShowAndLayout()
    {
        ::ShowWindow(hwnd, SW_SHOWNORMAL);
        ::UpdateWindow(hwnd);
    }

    // Lays out again now (the manager lays out only when it paints).
    void Layout()
    {
        ::InvalidateRect(hwnd, NULL, FALSE);
        ::UpdateWindow(hwnd);
    }

    LRESULT Send(UINT uMsg, int x, int y, WPARAM wParam = 0)
    {
        sending++;
        LRESULT lRes = ::SendMessageW(hwnd, uMsg, wParam, MAKELPARAM(x, y));
        sending--;
        return lRes;
    }

    ~HostWindow()
    {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd);
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

struct Recorder : INotifyUI {
    struct Item {
        std::wstring type;
        CControlUI* sender;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Item> items;
    void Notify(TNotifyRecord& msg) override
    {
        items.push_back({msg.sType.GetData(), msg.pSender, msg.wParam, msg.lParam});
    }
    int Count(const wchar_t* type) const
    {
        int n = 0;
        for (auto& i : items)
            if (i.type == type) n++;
        return n;
    }
};

// A 32-bit top-down memory bitmap to paint into.
class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h)
    {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = w;
        bmi.bmiHeader.biHeight = -h;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        dc_ = ::CreateCompatibleDC(NULL);
        bmp_ = ::CreateDIBSection(dc_, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), NULL, 0);
        old_ = ::SelectObject(dc_, bmp_);
        ZeroMemory(bits_, (size_t)w * h * 4);
    }
    ~Canvas()
    {
        ::SelectObject(dc_, old_);
        ::DeleteObject(bmp_);
        ::DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    // 0xRRGGBB; GDI leaves the alpha byte undefined.
    DWORD At(int x, int y)
    {
        ::GdiFlush();
        return bits_[y * w_ + x] & 0x00FFFFFF;
    }

private:
    int w_, h_;
    HDC dc_;
    HBITMAP bmp_;
    HGDIOBJ old_;
    DWORD* bits_;
};

// Stacks its visible children from the top, each with its fixed height and the client width (or
// its fixed width), scrolled by the bars, and reports what it needs like every real layout.
class StackLayout : public CContainerUI {
public:
    int layouts = 0;
    int nestedLayouts = 0;
    // When set, replaces the needed height (argument: true inside the nested layout).
    std::function<int(bool)> neededHeight;
    std::function<int(bool)> neededWidth;

    void SetPos(RECT rc, bool bNeedInvalidate = true) override
    {
        CControlUI::SetPos(rc, bNeedInvalidate);
        layouts++;
        if (m_bScrollProcess) nestedLayouts++;
        RECT client = GetClientPos();
        SIZE pos = GetScrollPos();
        int y = client.top - pos.cy;
        int cxNeeded = 0;
        for (int i = 0; i < GetCount(); ++i) {
            CControlUI* c = GetItemAt(i);
            if (!c->IsVisible()) continue;
            if (c->IsFloat()) {
                SetFloatPos(i);
                continue;
            }
            int w = c->GetFixedWidth() > 0 ? c->GetFixedWidth() : client.right - client.left;
            RECT rcChild = {client.left - pos.cx, y, client.left - pos.cx + w, y + c->GetFixedHeight()};
            c->SetPos(rcChild, false);
            y += c->GetFixedHeight();
            if (w > cxNeeded) cxNeeded = w;
        }
        int cyNeeded = y - (client.top - pos.cy);
        if (neededHeight) cyNeeded = neededHeight(m_bScrollProcess);
        if (neededWidth) cxNeeded = neededWidth(m_bScrollProcess);
        ProcessScrollBar(client, cxNeeded, cyNeeded);
    }

    bool ScrollProcessing() const { return m_bScrollProcess; }
};

inline CControlUI* Box(int height, int width = 0)
{
    CControlUI* c = new CControlUI;
    c->SetFixedHeight(height);
    if (width > 0) c->SetFixedWidth(width);
    return c;
}

inline bool RectIs(const RECT& rc, LONG l, LONG t, LONG r, LONG b)
{
    return rc.left == l && rc.top == t && rc.right == r && rc.bottom == b;
}

inline tagTEventUI MakeEvent(int type, int x = 0, int y = 0, WPARAM wParam = 0)
{
    tagTEventUI e;
    ZeroMemory(&e, sizeof(e));
    e.Type = type;
    e.ptMouse.x = x;
    e.ptMouse.y = y;
    e.wParam = wParam;
    e.dwTimestamp = ::GetTickCount();
    return e;
}

inline std::string Str(const RECT& rc)
{
    return "{" + std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
           std::to_string(rc.bottom) + "}";
}

} // namespace containertest
