// Window base: class registration and superclassing, message routing, the final notice, showing,
// centring and the modal loop. Real windows on the test display.
#include <gtest/gtest.h>

#include "UIWindow.h"
#include "UIManager.h"

#include <algorithm>
#include <thread>
#include <vector>

using namespace Veneer;

namespace {

const UINT WM_WHO = WM_APP + 5;       // answers the object's id
const UINT WM_KILLME = WM_APP + 9;    // destroys the window from inside its own handler

class TestWnd final : public CWindowWnd {
public:
    explicit TestWnd(int id, bool deleteSelf = false) : m_id(id), m_deleteSelf(deleteSelf) {}
    const wchar_t* GetWindowClassName() const override { return L"VeneerWindowTest"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        seen.push_back(uMsg);
        if (uMsg == WM_WHO) return m_id;
        if (uMsg == WM_KILLME) {
            ::DestroyWindow(m_hWnd);
            return 0;
        }
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }
    void OnFinalMessage(HWND hWnd) override
    {
        ++finals;
        if (finalCount != NULL) ++*finalCount;
        finalHwnd = hWnd;
        if (m_deleteSelf) delete this;
    }
    bool Subclassed() const { return m_bSubclassed; }

    std::vector<UINT> seen;
    int finals = 0;
    int* finalCount = NULL;
    HWND finalHwnd = NULL;

private:
    int m_id;
    bool m_deleteSelf;
};

// A superclass of the system edit control.
class EditWnd : public CWindowWnd {
public:
    const wchar_t* GetWindowClassName() const override { return L"VeneerEditTest"; }
    const wchar_t* GetSuperClassName() const override { return L"EDIT"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        if (uMsg == WM_WHO) return 77;
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }
    void OnFinalMessage(HWND) override { ++finals; }
    int finals = 0;
};

class UnknownBaseWnd : public CWindowWnd {
public:
    const wchar_t* GetWindowClassName() const override { return L"VeneerNoBaseTest"; }
    const wchar_t* GetSuperClassName() const override { return L"NoSuchBaseClassAnywhere"; }
};

struct WindowTest : ::testing::Test {
    void SetUp() override { CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL)); }
};

void Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

TEST_F(WindowTest, TwoObjectsOfOneClassReachTheirOwnObjects)
{
    TestWnd a(1), b(2);
    HWND ha = a.Create(NULL, L"a", WS_OVERLAPPEDWINDOW, 0, 10, 10, 200, 100);
    HWND hb = b.Create(NULL, L"b", WS_OVERLAPPEDWINDOW, 0, 20, 20, 200, 100);
    ASSERT_NE(ha, (HWND)NULL);
    ASSERT_NE(hb, (HWND)NULL);
    EXPECT_EQ(a.GetHWND(), ha);
    EXPECT_EQ((HWND)b, hb);
    EXPECT_EQ(::SendMessageW(ha, WM_WHO, 0, 0), 1);
    EXPECT_EQ(::SendMessageW(hb, WM_WHO, 0, 0), 2);
    EXPECT_EQ(a.SendMessage(WM_WHO), 1);
    EXPECT_EQ(::GetWindowLongPtrW(ha, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&a));
    // The object learns of its window at WM_NCCREATE; anything earlier went to DefWindowProcW.
    ASSERT_FALSE(a.seen.empty());
    EXPECT_EQ(a.seen.front(), (UINT)WM_NCCREATE);
    ::DestroyWindow(ha);
    ::DestroyWindow(hb);
}

TEST_F(WindowTest, DestroyClearsTheHandleAndNotifiesOnce)
{
    TestWnd w(1);
    HWND h = w.Create(NULL, L"w", WS_OVERLAPPEDWINDOW, 0, 10, 10, 200, 100);
    ASSERT_NE(h, (HWND)NULL);
    ::DestroyWindow(h);
    EXPECT_EQ(w.GetHWND(), (HWND)NULL);
    EXPECT_EQ(w.finals, 1);
    EXPECT_EQ(w.finalHwnd, h);
    // WM_NCDESTROY goes straight to the old procedure, never to HandleMessage.
    for (UINT m : w.seen) EXPECT_NE(m, (UINT)WM_NCDESTROY);
    EXPECT_NE(std::find(w.seen.begin(), w.seen.end(), (UINT)WM_DESTROY), w.seen.end());
    // Nothing is left that would route a late message to the object.
    EXPECT_FALSE(::IsWindow(h));
    w.Unsubclass();   // no window, not subclassed: nothing
    EXPECT_FALSE(w.Subclassed());
}

TEST_F(WindowTest, ObjectMayDeleteItselfInTheFinalNotice)
{
    int finals = 0;
    TestWnd* w = new TestWnd(3, true);
    w->finalCount = &finals;
    HWND h = w->Create(NULL, L"w", WS_OVERLAPPEDWINDOW, 0, 10, 10, 200, 100);
    ASSERT_NE(h, (HWND)NULL);
    ::SendMessageW(h, WM_KILLME, 0, 0);
    EXPECT_EQ(finals, 1);
    EXPECT_FALSE(::IsWindow(h));
}

TEST_F(WindowTest, SuperclassOfTheSystemEditReachesTheEditProcedure)
{
    EditWnd e;
    RECT rc = {10, 10, 210, 40};
    HWND h = e.Create(NULL, L"start", WS_OVERLAPPED | WS_VISIBLE, 0, rc);
    ASSERT_NE(h, (HWND)NULL);
    EXPECT_EQ(::GetPropW(h, L"WndX"), static_cast<HANDLE>(&e));
    EXPECT_EQ(::SendMessageW(h, WM_WHO, 0, 0), 77);
    // The edit's own procedure keeps its text.
    ::SendMessageW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"编辑"));
    wchar_t buf[32] = {0};
    ::GetWindowTextW(h, buf, 32);
    EXPECT_STREQ(buf, L"编辑");
    EXPECT_EQ(::SendMessageW(h, EM_GETLIMITTEXT, 0, 0) > 0, true);
    RECT wr;
    ::GetWindowRect(h, &wr);
    EXPECT_EQ(wr.right - wr.left, 200);
    EXPECT_EQ(wr.bottom - wr.top, 30);
    ::DestroyWindow(h);
    EXPECT_EQ(e.finals, 1);
    EXPECT_EQ(e.GetHWND(), (HWND)NULL);

    // A second object of the same superclass works too.
    EditWnd e2;
    HWND h2 = e2.Create(NULL, L"two", WS_OVERLAPPED, 0, 0, 0, 100, 20);
    ASSERT_NE(h2, (HWND)NULL);
    EXPECT_EQ(::SendMessageW(h2, WM_WHO, 0, 0), 77);
    ::DestroyWindow(h2);
}

TEST_F(WindowTest, UnknownBaseClassCreatesNothing)
{
    UnknownBaseWnd w;
    EXPECT_EQ(w.Create(NULL, L"x", WS_OVERLAPPED, 0), (HWND)NULL);
    EXPECT_EQ(w.GetHWND(), (HWND)NULL);
}

TEST_F(WindowTest, ShowHideAndOperationsWithoutAWindow)
{
    TestWnd w(1);
    w.ShowWindow(true, true);   // no window yet: nothing
    w.Close(3);
    HWND h = w.Create(NULL, L"w", WS_OVERLAPPEDWINDOW, 0, 10, 10, 200, 100);
    w.ShowWindow(true, false);
    EXPECT_TRUE(::IsWindowVisible(h));
    w.ShowWindow(false, true);
    EXPECT_FALSE(::IsWindowVisible(h));
    w.ShowWindow();
    EXPECT_TRUE(::IsWindowVisible(h));
    // Close only posts.
    w.Close(5);
    EXPECT_TRUE(::IsWindow(h));
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, h, WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, (WPARAM)5);
    Pump();
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ(w.finals, 1);
}

TEST_F(WindowTest, CenterWindowOnTheWorkAreaAndOnTheOwner)
{
    MONITORINFO mi = {sizeof(mi)};
    TestWnd owner(1), wide(2), small(3);
    HWND ho = owner.Create(NULL, L"owner", WS_POPUP, 0, 100, 100, 400, 300);
    ASSERT_NE(ho, (HWND)NULL);
    ::GetMonitorInfoW(::MonitorFromWindow(ho, MONITOR_DEFAULTTONEAREST), &mi);
    int workWidth = mi.rcWork.right - mi.rcWork.left;

    HWND hw = wide.Create(NULL, L"wide", WS_POPUP, 0, 50, 50, workWidth + 200, 100);
    wide.CenterWindow();
    RECT rc;
    ::GetWindowRect(hw, &rc);
    EXPECT_EQ(rc.left, mi.rcWork.left);
    EXPECT_EQ(rc.right - rc.left, workWidth + 200);

    HWND hs = small.Create(ho, L"small", WS_POPUP, 0, 0, 0, 100, 50);
    small.CenterWindow();
    ::GetWindowRect(hs, &rc);
    EXPECT_EQ(rc.left, (100 + 500) / 2 - 50);
    EXPECT_EQ(rc.top, (100 + 400) / 2 - 25);
    ::DestroyWindow(hs);
    ::DestroyWindow(hw);
    ::DestroyWindow(ho);
}

// ---------------------------------------------------------------------------------------------
// ShowModal

struct TimerAction {
    static void (*action)(HWND);
    static HWND target;
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD)
    {
        ::KillTimer(NULL, id);
        action(target);
    }
};
void (*TimerAction::action)(HWND) = NULL;
HWND TimerAction::target = NULL;

void After(HWND target, void (*action)(HWND))
{
    TimerAction::action = action;
    TimerAction::target = target;
    ::SetTimer(NULL, 0, 50, TimerAction::Fire);
}

TEST_F(WindowTest, ShowModalReturnsWithTheCloseCodeOnceTheWindowIsGone)
{
    int finals = 0;
    TestWnd owner(1);
    HWND ho = owner.Create(NULL, L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 10, 10, 300, 200);
    TestWnd* dlg = new TestWnd(2, true);
    dlg->finalCount = &finals;
    HWND hd = dlg->Create(ho, L"dlg", WS_POPUP | WS_CAPTION, 0, 40, 40, 200, 100);
    ASSERT_NE(hd, (HWND)NULL);
    static bool ownerDisabledDuringLoop;
    ownerDisabledDuringLoop = false;
    After(hd, [](HWND h) {
        ownerDisabledDuringLoop = !::IsWindowEnabled(::GetWindow(h, GW_OWNER));
        ::PostMessageW(h, WM_CLOSE, 7, 0);
    });
    UINT ret = dlg->ShowModal();   // dlg deletes itself when its window goes
    EXPECT_EQ(ret, 7u);
    EXPECT_EQ(finals, 1);
    EXPECT_FALSE(::IsWindow(hd));
    EXPECT_TRUE(ownerDisabledDuringLoop);
    EXPECT_TRUE(::IsWindowEnabled(ho));
    ::DestroyWindow(ho);
}

TEST_F(WindowTest, ShowModalEndsWhenTheWindowIsDestroyedWithoutClose)
{
    TestWnd dlg(2);
    HWND hd = dlg.Create(NULL, L"dlg", WS_POPUP, 0, 40, 40, 200, 100);
    After(hd, [](HWND h) { ::DestroyWindow(h); });
    EXPECT_EQ(dlg.ShowModal(), 0u);
    EXPECT_EQ(dlg.finals, 1);
    EXPECT_EQ(dlg.GetHWND(), (HWND)NULL);
}

TEST_F(WindowTest, ShowModalEndsWhenAnotherThreadsSentMessageDestroysTheWindow)
{
    TestWnd dlg(2);
    HWND hd = dlg.Create(NULL, L"dlg", WS_POPUP, 0, 40, 40, 200, 100);
    std::thread t([hd] {
        ::Sleep(100);
        ::SendMessageW(hd, WM_KILLME, 0, 0);
    });
    dlg.ShowModal();
    t.join();
    EXPECT_FALSE(::IsWindow(hd));
    EXPECT_EQ(dlg.finals, 1);
}

TEST_F(WindowTest, ShowModalPassesAQuitRequestToTheOuterLoop)
{
    TestWnd dlg(2);
    HWND hd = dlg.Create(NULL, L"dlg", WS_POPUP, 0, 40, 40, 200, 100);
    After(hd, [](HWND) { ::PostQuitMessage(42); });
    dlg.ShowModal();
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, (WPARAM)42);
    EXPECT_TRUE(::IsWindow(hd));
    ::DestroyWindow(hd);
    EXPECT_EQ(dlg.finals, 1);
}

} // namespace
