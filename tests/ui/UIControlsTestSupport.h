// Shared pieces of the label, button and progress tests: a paint manager on a real window whose
// messages reach it (so control timers fire), a notification log, event records and image files.
#pragma once
#include "UIManager.h"
#include "UIControl.h"
#include "UIRenderTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace controlstest {

using namespace Veneer;
using rendertest::Px;
using rendertest::Surface;

struct Logged {
    std::wstring type;
    std::wstring sender;
    WPARAM wParam;
    LPARAM lParam;
};

class NotifyLog : public INotifyUI {
public:
    std::vector<Logged> items;
    void Notify(TNotifyRecord& msg) override
    {
        items.push_back({msg.sType.GetData(), msg.pSender ? msg.pSender->GetName().GetData() : L"", msg.wParam,
                         msg.lParam});
    }
    std::vector<std::wstring> Types() const
    {
        std::vector<std::wstring> out;
        for (const auto& i : items) out.push_back(i.type);
        return out;
    }
    std::vector<std::wstring> Entries() const  // "type:sender"
    {
        std::vector<std::wstring> out;
        for (const auto& i : items) out.push_back(i.type + L":" + i.sender);
        return out;
    }
};

inline LRESULT CALLBACK ManagedWndProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    CPaintManagerUI* pm = reinterpret_cast<CPaintManagerUI*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
    if (pm != NULL) {
        LRESULT res = 0;
        if (pm->MessageHandler(m, w, l, res)) return res;
    }
    return ::DefWindowProcW(h, m, w, l);
}

inline tagTEventUI Ev(int type, int x = 0, int y = 0, WPARAM wParam = 0, wchar_t key = 0)
{
    tagTEventUI e;
    ::ZeroMemory(&e, sizeof(e));
    e.Type = type;
    e.ptMouse.x = x;
    e.ptMouse.y = y;
    e.wParam = wParam;
    e.chKey = key;
    e.dwTimestamp = ::GetTickCount();
    return e;
}

// A paint manager on a real top-level window of the test display, with a resource folder of its own.
class ManagedFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ManagedWndProc;
        wc.hInstance = ::GetModuleHandleW(NULL);
        wc.lpszClassName = L"VeneerControlsTestWnd";
        ::RegisterClassW(&wc);
        m_wnd = ::CreateWindowExW(0, wc.lpszClassName, L"controls", WS_POPUP, 0, 0, 400, 300, NULL, NULL,
                                  wc.hInstance, NULL);
        ASSERT_NE((HWND)NULL, m_wnd);
        m_pm = new CPaintManagerUI;
        m_pm->Init(m_wnd);
        ::SetWindowLongPtrW(m_wnd, GWLP_USERDATA, (LONG_PTR)m_pm);
        m_pm->AddNotifier(&m_log);
        m_dir = rendertest::TempDir(L"controls");
        CPaintManagerUI::SetResourceZip(L"", false);
        CPaintManagerUI::SetResourcePath(m_dir.c_str());
    }
    void TearDown() override
    {
        if (m_wnd) ::SetWindowLongPtrW(m_wnd, GWLP_USERDATA, 0);
        delete m_pm;
        CPaintManagerUI::SetResourcePath(L"");
        if (m_wnd) ::DestroyWindow(m_wnd);
    }
    // Attaches the control as the root, or as a child of the root when there is one.
    template <class T> T* Attach(T* control, CControlUI* parent = NULL)
    {
        if (parent == NULL && m_pm->GetRoot() == NULL)
            m_pm->AttachDialog(control);
        else
            m_pm->InitControls(control, parent ? parent : m_pm->GetRoot());
        return control;
    }
    // A solid-coloured image file in the resource folder.
    void WriteSolid(const wchar_t* name, int w, int h, Px p)
    {
        rendertest::WriteBytes(m_dir + name, rendertest::MakeTga(w, h, rendertest::Solid(w, h, p)));
    }
    // Runs the window's messages for up to ms milliseconds, or until done() holds.
    template <class F> void Pump(DWORD ms, F done)
    {
        const DWORD start = ::GetTickCount();
        while (!done() && ::GetTickCount() - start < ms) {
            MSG msg;
            while (::PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            ::Sleep(5);
        }
    }

    HWND m_wnd = NULL;
    CPaintManagerUI* m_pm = nullptr;
    NotifyLog m_log;
    std::wstring m_dir;
};

// Paints a control whose rectangle starts at the surface's origin.
inline void PaintOn(Surface& s, CControlUI* c)
{
    RECT rc = {0, 0, s.Width(), s.Height()};
    c->Paint(s.dc(), rc, NULL);
}

} // namespace controlstest
