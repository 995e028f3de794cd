// Paint manager input: mouse moves and hover, press, drag and release with capture, right button and
// context menu, double click, wheel, window close, mouse-leave listeners, tooltips, set-cursor,
// focus from native child windows and the reflection of child notifications. Real windows on the
// test display; mouse messages are sent to the window as the system would.
#include "UIInputTestSupport.h"

using namespace inputtest;

namespace {

typedef std::vector<std::wstring> Lines;

// Two probes side by side on a canvas that fills the window.
struct Scene {
    Host host;
    Canvas* root;
    Probe* a;
    Probe* b;

    Scene()
    {
        root = new Canvas(0xFFFFFFFF);
        a = root->Add(new Probe(L"A"), 10, 10, 60, 40);
        b = root->Add(new Probe(L"B"), 100, 10, 150, 40);
        host.pm.AttachDialog(root);
        ::SetCursorPos(kParkedCursor.x, kParkedCursor.y);
        host.Show();
        PumpUntil([&] { return !host.pm.IsUpdateNeeded(); });
        // Whatever the system's own mouse messages did while the window came up is undone.
        host.Send(WM_MOUSEMOVE, -1, -1);
        ::SendMessageW(host.hwnd, WM_MOUSELEAVE, 0, 0);
        a->events.clear();
        b->events.clear();
        Log().clear();
    }
};

TEST(PaintManagerInput, PressDragOffAndReleaseKeepTheClickControlAndFreezeHover)
{
    Scene s;
    s.host.Send(WM_MOUSEMOVE, 20, 20);
    EXPECT_EQ((Lines{L"A:enter", L"A:move"}), Log());
    Log().clear();

    s.host.Send(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    EXPECT_EQ((Lines{L"A:setfocus", L"A:down"}), Log());
    EXPECT_TRUE(s.host.pm.IsCaptured());
    EXPECT_EQ(s.host.hwnd, ::GetCapture());
    EXPECT_EQ(s.a, s.host.pm.GetFocus());
    ASSERT_FALSE(s.a->events.empty());
    EXPECT_EQ(MK_LBUTTON, s.a->events.back().wKeyState);
    Log().clear();

    // Dragged over B: A follows the mouse, nobody enters or leaves.
    s.host.Send(WM_MOUSEMOVE, 120, 20, MK_LBUTTON);
    s.host.Send(WM_MOUSEMOVE, 250, 150, MK_LBUTTON);
    EXPECT_EQ((Lines{L"A:move", L"A:move"}), Log());
    ASSERT_FALSE(s.a->events.empty());
    EXPECT_EQ(250, s.a->events.back().ptMouse.x);
    Log().clear();

    s.host.Send(WM_LBUTTONUP, 120, 20);
    EXPECT_EQ((Lines{L"A:up"}), Log());
    ASSERT_FALSE(s.a->events.empty());
    EXPECT_EQ(120, s.a->events.back().ptMouse.x);
    EXPECT_FALSE(s.host.pm.IsCaptured());
    EXPECT_EQ(NULL, ::GetCapture());
    Log().clear();

    // Released: hover moves on at the next move.
    s.host.Send(WM_MOUSEMOVE, 121, 20);
    EXPECT_EQ((Lines{L"A:leave", L"B:enter", L"B:move"}), Log());
}

TEST(PaintManagerInput, RightButtonThenContextMenuAndDoubleClick)
{
    Scene s;
    s.host.Send(WM_RBUTTONDOWN, 110, 20, MK_RBUTTON);
    EXPECT_EQ((Lines{L"B:setfocus", L"B:rdown"}), Log());
    EXPECT_FALSE(s.host.pm.IsCaptured());
    Log().clear();

    s.host.SendScreen(WM_CONTEXTMENU, 112, 22, reinterpret_cast<WPARAM>(s.host.hwnd));
    EXPECT_EQ((Lines{L"B:menu"}), Log());
    ASSERT_FALSE(s.b->events.empty());
    const TEventUI& menu = s.b->events.back();
    EXPECT_EQ(0u, menu.wParam);
    EXPECT_EQ(reinterpret_cast<LPARAM>(s.b), menu.lParam);
    EXPECT_EQ(112, menu.ptMouse.x);
    EXPECT_EQ(22, s.host.pm.GetMousePos().y);
    Log().clear();

    // The click control was used up by the menu.
    s.host.SendScreen(WM_CONTEXTMENU, 112, 22, reinterpret_cast<WPARAM>(s.host.hwnd));
    EXPECT_TRUE(Log().empty());

    s.host.Send(WM_LBUTTONDBLCLK, 20, 20, MK_LBUTTON);
    EXPECT_EQ((Lines{L"A:dbl"}), Log());
    ASSERT_FALSE(s.a->events.empty());
    EXPECT_EQ(0u, s.a->events.back().wParam);
    EXPECT_EQ(0, s.a->events.back().lParam);
    EXPECT_TRUE(s.host.pm.IsCaptured());
    EXPECT_EQ(s.b, s.host.pm.GetFocus());  // a double click does not move the focus
    s.host.Send(WM_LBUTTONUP, 20, 20);
    EXPECT_EQ((Lines{L"A:dbl", L"A:up"}), Log());
    EXPECT_FALSE(s.host.pm.IsCaptured());

    // Outside the tree nothing is pressed.
    Log().clear();
    s.host.Send(WM_LBUTTONDOWN, 500, 500);
    EXPECT_FALSE(s.host.pm.IsCaptured());
    EXPECT_TRUE(Log().empty());
}

TEST(PaintManagerInput, WheelScrollsTheControlUnderTheMouseThenHoverFollows)
{
    struct Case {
        short delta;
        WPARAM expected;
    } cases[] = {{-120, SB_LINEDOWN}, {120, SB_LINEUP}, {-1, SB_LINEDOWN}};
    for (const Case& c : cases) {
        Scene s;
        LRESULT r = s.host.SendScreen(WM_MOUSEWHEEL, 30, 25, MAKEWPARAM(0, (WORD)c.delta));
        EXPECT_EQ(0, r);
        EXPECT_EQ((Lines{L"A:wheel", L"A:enter", L"A:move"}), Log()) << c.delta;
        ASSERT_FALSE(s.a->events.empty()) << c.delta;
        ASSERT_EQ(UIEVENT_SCROLLWHEEL, s.a->events[0].Type);
        EXPECT_EQ(c.expected, s.a->events[0].wParam);
        POINT screen = s.host.ToScreen(30, 25);
        EXPECT_EQ(MAKELPARAM((WORD)screen.x, (WORD)screen.y), s.a->events[0].lParam);
        EXPECT_EQ(30, s.a->events[0].ptMouse.x);
        EXPECT_EQ(25, s.a->events[0].ptMouse.y);
    }
}

TEST(PaintManagerInput, WindowCloseReleasesThePressedControlAndLeavesTheHoverControl)
{
    Scene s;
    s.host.swallowClose = true;
    s.host.Send(WM_MOUSEMOVE, 20, 20);
    s.host.Send(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    s.host.Send(WM_MOUSEMOVE, 120, 20, MK_LBUTTON);
    Log().clear();
    ::SendMessageW(s.host.hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ((Lines{L"A:leave", L"A:up", L"A:killfocus"}), Log());
    EXPECT_EQ(NULL, s.host.pm.GetFocus());
    EXPECT_TRUE(::IsWindow(s.host.hwnd));
}

TEST(PaintManagerInput, MouseLeaveListenersHearFirstFromASnapshotAndTheWindowLeaveReachesTheHoverControl)
{
    Scene s;
    // Listeners outside the tree, known to the manager so that deleting one unregisters it.
    Probe* first = new Probe(L"L1");
    Probe* second = new Probe(L"L2");
    first->SetManager(&s.host.pm, NULL, false);
    second->SetManager(&s.host.pm, NULL, false);
    s.host.pm.AddMouseLeaveListener(first);
    s.host.pm.AddMouseLeaveListener(second);
    s.host.pm.AddMouseLeaveListener(first);  // once only

    s.host.Send(WM_MOUSEMOVE, 20, 20);
    Log().clear();
    s.host.Send(WM_MOUSEMOVE, 120, 20);
    EXPECT_EQ((Lines{L"L1:leave", L"L2:leave", L"A:leave", L"B:enter", L"B:move"}), Log());
    ASSERT_FALSE(second->events.empty());
    EXPECT_EQ(s.a, second->events.back().pSender);

    // A listener that deletes another one during the call: the deleted one is not called.
    first->onEvent = [&](TEventUI&) {
        if (second != NULL) second->Delete();
        second = NULL;
    };
    Log().clear();
    s.host.Send(WM_MOUSEMOVE, 20, 20);
    EXPECT_EQ((Lines{L"L1:leave", L"B:leave", L"A:enter", L"A:move"}), Log());

    // The cursor is elsewhere: the system's leave message takes the hover control away.
    ::SetCursorPos(kParkedCursor.x, kParkedCursor.y);
    Log().clear();
    s.host.Send(WM_MOUSEMOVE, 20, 20);
    ::SendMessageW(s.host.hwnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ((Lines{L"A:move", L"L1:leave", L"A:leave"}), Log());
    s.host.pm.RemoveMouseLeaveListener(first);
    first->Delete();
}

TEST(PaintManagerInput, TrackedLeaveArrivesWhenTheCursorIsOutside)
{
    ParkCursorOnExit park;
    Scene s;
    // Tracking starts while the cursor is over the window; then the cursor goes away.
    POINT over = s.host.ToScreen(20, 20);
    ASSERT_TRUE(::SetCursorPos(over.x, over.y));
    s.host.Send(WM_MOUSEMOVE, 20, 20);
    ::SetCursorPos(kParkedCursor.x, kParkedCursor.y);
    EXPECT_TRUE(PumpUntil([&] { return s.a->Count(UIEVENT_MOUSELEAVE) == 1; }));
    // Posted by hand, the way the system delivers it.
    s.host.Send(WM_MOUSEMOVE, 110, 20);
    ::PostMessageW(s.host.hwnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return s.b->Count(UIEVENT_MOUSELEAVE) == 1; }));
}

// The tooltip window of a host, found among the thread's windows.
struct ToolTipSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindToolTipProc(HWND hwnd, LPARAM lParam)
{
    ToolTipSearch* p = reinterpret_cast<ToolTipSearch*>(lParam);
    wchar_t cls[64] = L"";
    ::GetClassNameW(hwnd, cls, 64);
    if (lstrcmpiW(cls, L"tooltips_class32") == 0 && ::GetWindow(hwnd, GW_OWNER) == p->owner) {
        p->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindToolTip(HWND owner)
{
    ToolTipSearch search = {owner, NULL};
    ::EnumThreadWindows(::GetCurrentThreadId(), FindToolTipProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring ToolTipText(HWND tip, HWND owner)
{
    wchar_t buf[256] = L"";
    TOOLINFOW ti;
    ::ZeroMemory(&ti, sizeof(ti));
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = owner;
    ti.uId = reinterpret_cast<UINT_PTR>(owner);
    ti.lpszText = buf;
    ::SendMessageW(tip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
    return buf;
}

TEST(PaintManagerInput, HoverShowsTheControlsToolTipWithLanguageTokensExpanded)
{
    Scene s;
    CPaintManagerUI::AddMultiLanguageString(7, L"\x6587\x5B57");  // 文字
    s.a->SetToolTip(L"\x63D0\x793A %{7}");                        // 提示 %{7}
    s.a->SetToolTipWidth(200);
    s.b->SetToolTip(L"second<n>line");
    s.b->SetToolTipWidth(120);

    LRESULT lRes = 0;
    // Over the canvas, which has no tooltip: consumed, no tooltip window.
    EXPECT_TRUE(s.host.pm.MessageHandler(WM_MOUSEHOVER, 0, MAKELPARAM(200, 100), lRes));
    EXPECT_EQ(NULL, FindToolTip(s.host.hwnd));
    // Outside every control: not consumed.
    EXPECT_FALSE(s.host.pm.MessageHandler(WM_MOUSEHOVER, 0, MAKELPARAM(400, 300), lRes));

    s.host.Send(WM_MOUSEMOVE, 20, 20);
    Log().clear();
    EXPECT_TRUE(s.host.pm.MessageHandler(WM_MOUSEHOVER, 0, MAKELPARAM(21, 22), lRes));
    EXPECT_EQ((Lines{L"A:hover"}), Log());
    ASSERT_FALSE(s.a->events.empty());
    EXPECT_EQ(21, s.a->events.back().ptMouse.x);
    EXPECT_EQ(20, s.host.pm.GetMousePos().x);  // the hover point is not stored
    HWND tip = FindToolTip(s.host.hwnd);
    ASSERT_NE((HWND)NULL, tip);
    EXPECT_EQ(L"\x63D0\x793A \x6587\x5B57", ToolTipText(tip, s.host.hwnd));
    EXPECT_EQ(200, (int)::SendMessageW(tip, TTM_GETMAXTIPWIDTH, 0, 0));
    EXPECT_EQ(1, (int)::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));

    s.host.Send(WM_MOUSEMOVE, 110, 20);
    EXPECT_TRUE(s.host.pm.MessageHandler(WM_MOUSEHOVER, 0, MAKELPARAM(110, 20), lRes));
    EXPECT_EQ(tip, FindToolTip(s.host.hwnd));
    EXPECT_EQ(L"second\r\nline", ToolTipText(tip, s.host.hwnd));
    EXPECT_EQ(120, (int)::SendMessageW(tip, TTM_GETMAXTIPWIDTH, 0, 0));
    EXPECT_EQ(1, (int)::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));

    // Back on the first control, which was recorded: its own width and text again.
    s.host.Send(WM_MOUSEMOVE, 20, 20);
    EXPECT_TRUE(s.host.pm.MessageHandler(WM_MOUSEHOVER, 0, MAKELPARAM(20, 20), lRes));
    EXPECT_EQ(200, (int)::SendMessageW(tip, TTM_GETMAXTIPWIDTH, 0, 0));
    EXPECT_EQ(L"\x63D0\x793A \x6587\x5B57", ToolTipText(tip, s.host.hwnd));

    // Closing the window takes the tooltip window with it.
    s.host.swallowClose = true;
    ::SendMessageW(s.host.hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(tip));
}

TEST(PaintManagerInput, SetCursorGoesOnlyToControlsThatAskForIt)
{
    ParkCursorOnExit park;
    Host host(900, 450);
    Canvas* root = new Canvas(0xFFFFFFFF);
    Probe* wants = root->Add(new Probe(L"W", 0, UIFLAG_SETCURSOR), 10, 10, 60, 40);
    Probe* plain = root->Add(new Probe(L"P"), 100, 10, 150, 40);
    host.pm.AttachDialog(root);
    host.Show();
    PumpUntil([&] { return !host.pm.IsUpdateNeeded(); });

    struct Case {
        int x, y;
        WORD hit;
        bool consumed;
        Probe* receiver;
    } cases[] = {
        {20, 20, HTCLIENT, true, wants},
        {110, 20, HTCLIENT, false, NULL},
        {20, 20, HTCAPTION, false, NULL},
        {200, 150, HTCLIENT, false, NULL},
    };
    for (const Case& c : cases) {
        size_t before = wants->events.size() + plain->events.size();
        POINT screen = host.ToScreen(c.x, c.y);
        ASSERT_TRUE(::SetCursorPos(screen.x, screen.y));
        LRESULT lRes = 0;
        bool consumed = host.pm.MessageHandler(WM_SETCURSOR, reinterpret_cast<WPARAM>(host.hwnd),
                                               MAKELPARAM(c.hit, WM_MOUSEMOVE), lRes);
        EXPECT_EQ(c.consumed, consumed) << c.x << "," << c.y;
        size_t after = wants->events.size() + plain->events.size();
        EXPECT_EQ(before + (c.receiver ? 1 : 0), after);
        if (c.receiver != NULL) {
            ASSERT_FALSE(c.receiver->events.empty()) << c.x << "," << c.y;
            EXPECT_EQ(UIEVENT_SETCURSOR, c.receiver->events.back().Type);
            EXPECT_EQ(c.x, c.receiver->events.back().ptMouse.x);
            EXPECT_EQ(c.y, c.receiver->events.back().ptMouse.y);
        }
    }
    // While a control holds the capture the cursor stays as it is.
    host.Send(WM_LBUTTONDOWN, 110, 20, MK_LBUTTON);
    size_t before = wants->events.size();
    POINT screen = host.ToScreen(20, 20);
    ::SetCursorPos(screen.x, screen.y);
    LRESULT lRes = 0;
    EXPECT_TRUE(host.pm.MessageHandler(WM_SETCURSOR, reinterpret_cast<WPARAM>(host.hwnd),
                                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE), lRes));
    EXPECT_EQ(before, wants->events.size());
    host.Send(WM_LBUTTONUP, 110, 20);
}

TEST(PaintManagerInput, MouseMessagesWithoutATreePassOn)
{
    Host host;
    host.Show();
    LRESULT lRes = 0;
    UINT messages[] = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_MOUSEHOVER,
                       WM_MOUSELEAVE, WM_CONTEXTMENU, WM_MOUSEWHEEL};
    for (UINT m : messages) EXPECT_FALSE(host.pm.MessageHandler(m, 0, MAKELPARAM(10, 10), lRes)) << m;
    EXPECT_FALSE(host.pm.IsCaptured());
}

TEST(PaintManagerInput, ControlOfAnotherManagerCountsAsNoControl)
{
    Scene s;
    CPaintManagerUI other;
    s.b->SetManager(&other, s.root, false);
    s.host.Send(WM_MOUSEMOVE, 110, 20);
    s.host.Send(WM_LBUTTONDOWN, 110, 20, MK_LBUTTON);
    s.host.SendScreen(WM_MOUSEWHEEL, 110, 20, MAKEWPARAM(0, (WORD)-120));
    EXPECT_TRUE(Log().empty());
    EXPECT_FALSE(s.host.pm.IsCaptured());
    EXPECT_EQ(110, s.host.pm.GetMousePos().x);
    s.b->SetManager(&s.host.pm, s.root, false);
}

// A child window that records the reflected messages it receives.
struct Child {
    HWND hwnd;
    static std::vector<MSG>& Seen()
    {
        static std::vector<MSG> seen;
        return seen;
    }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        if (uMsg >= 0x2000 && uMsg < 0x3000) {
            MSG m = {hwnd, uMsg, wParam, lParam, 0, {0, 0}};
            Seen().push_back(m);
            return 0x5A + uMsg;
        }
        return ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
    }
    explicit Child(HWND parent)
    {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = Proc;
            wc.hInstance = ::GetModuleHandleW(NULL);
            wc.lpszClassName = L"VeneerReflectChild";
            ::RegisterClassW(&wc);
            registered = true;
        }
        hwnd = ::CreateWindowExW(0, L"VeneerReflectChild", L"", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, parent,
                                 (HMENU)7, ::GetModuleHandleW(NULL), NULL);
    }
    ~Child() { ::DestroyWindow(hwnd); }
};

TEST(PaintManagerInput, ChildNotificationsAreReflectedToTheChild)
{
    Scene s;
    Child child(s.host.hwnd);
    NMHDR nm = {child.hwnd, 7, 123};
    struct Case {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    } cases[] = {
        {WM_COMMAND, MAKEWPARAM(7, EN_CHANGE), reinterpret_cast<LPARAM>(child.hwnd)},
        {WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&nm)},
        {WM_CTLCOLOREDIT, 0x1234, reinterpret_cast<LPARAM>(child.hwnd)},
        {WM_CTLCOLORSTATIC, 0x4321, reinterpret_cast<LPARAM>(child.hwnd)},
    };
    for (const Case& c : cases) {
        Child::Seen().clear();
        LRESULT lRes = 0;
        EXPECT_TRUE(s.host.pm.MessageHandler(c.msg, c.wParam, c.lParam, lRes));
        ASSERT_EQ(1u, Child::Seen().size()) << c.msg;
        EXPECT_EQ(c.msg + 0x2000, Child::Seen()[0].message);
        EXPECT_EQ(c.wParam, Child::Seen()[0].wParam);
        EXPECT_EQ(c.lParam, Child::Seen()[0].lParam);
        EXPECT_EQ((LRESULT)(0x5A + c.msg + 0x2000), lRes);
        // A menu or accelerator command has no child to go to.
        Child::Seen().clear();
        EXPECT_FALSE(s.host.pm.MessageHandler(c.msg, c.wParam, 0, lRes));
        EXPECT_TRUE(Child::Seen().empty());
    }
    // Through the window procedure as a real edit notification would come.
    Child::Seen().clear();
    ::SendMessageW(s.host.hwnd, WM_COMMAND, MAKEWPARAM(7, EN_CHANGE), reinterpret_cast<LPARAM>(child.hwnd));
    ASSERT_EQ(1u, Child::Seen().size());
    EXPECT_EQ(0x2111u, Child::Seen()[0].message);
}

TEST(PaintManagerInput, FocusOnANativeChildWindowMovesTheFocusToItsControl)
{
    Scene s;
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 100, 60, 80, 20, s.host.hwnd, NULL,
                                  ::GetModuleHandleW(NULL), NULL);
    ASSERT_NE((HWND)NULL, edit);
    EXPECT_TRUE(s.host.pm.AddNativeWindow(s.b, edit));
    ::SetFocus(s.host.hwnd);
    s.host.pm.SetFocus(s.a, false);
    Log().clear();
    ::SetFocus(edit);
    EXPECT_EQ(edit, ::GetFocus());
    EXPECT_EQ(s.b, s.host.pm.GetFocus());
    EXPECT_EQ((Lines{L"A:killfocus", L"B:setfocus"}), Log());

    // A window that is no registered native window changes nothing.
    HWND other = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 100, 90, 80, 20, s.host.hwnd, NULL,
                                   ::GetModuleHandleW(NULL), NULL);
    ::SetFocus(s.host.hwnd);
    ::SetFocus(other);
    EXPECT_EQ(s.b, s.host.pm.GetFocus());
    ::DestroyWindow(other);
    ::DestroyWindow(edit);
}

} // namespace

namespace {

// Real input through the system's queue: the cursor moves and the left button goes down and up.
void SendMouse(DWORD flags, POINT screen)
{
    INPUT in;
    ::ZeroMemory(&in, sizeof(in));
    in.type = INPUT_MOUSE;
    in.mi.dx = (LONG)(((LONGLONG)screen.x * 65535) / (::GetSystemMetrics(SM_CXSCREEN) - 1));
    in.mi.dy = (LONG)(((LONGLONG)screen.y * 65535) / (::GetSystemMetrics(SM_CYSCREEN) - 1));
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    ::SendInput(1, &in, sizeof(in));
}

TEST(PaintManagerInput, SystemInputPressDragAndReleaseWithCapture)
{
    ParkCursorOnExit park;
    Scene s;
    SendMouse(0, s.host.ToScreen(20, 20));
    ASSERT_TRUE(PumpUntil([&] { return s.a->Count(UIEVENT_MOUSEENTER) == 1; }));
    SendMouse(MOUSEEVENTF_LEFTDOWN, s.host.ToScreen(20, 20));
    ASSERT_TRUE(PumpUntil([&] { return s.a->Count(UIEVENT_BUTTONDOWN) == 1; }));
    EXPECT_EQ(s.host.hwnd, ::GetCapture());

    // Off the control and out of the window: the captured window still hears the mouse.
    size_t moves = s.a->Count(UIEVENT_MOUSEMOVE);
    SendMouse(0, s.host.ToScreen(120, 20));
    SendMouse(0, s.host.ToScreen(-100, 20));
    EXPECT_TRUE(PumpUntil([&] { return s.a->Count(UIEVENT_MOUSEMOVE) >= (int)moves + 2; }));
    SendMouse(MOUSEEVENTF_LEFTUP, s.host.ToScreen(-100, 20));
    ASSERT_TRUE(PumpUntil([&] { return s.a->Count(UIEVENT_BUTTONUP) == 1; }));
    EXPECT_EQ(0, s.b->Count(UIEVENT_MOUSEENTER));
    EXPECT_EQ(0, s.a->Count(UIEVENT_MOUSELEAVE));
    EXPECT_EQ(NULL, ::GetCapture());
    ASSERT_FALSE(s.a->events.empty());
    EXPECT_EQ(-100, s.a->events.back().ptMouse.x);
    ::SetCursorPos(kParkedCursor.x, kParkedCursor.y);
}

} // namespace
