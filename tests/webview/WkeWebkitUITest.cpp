// The console's web-view control in a real window: a paint manager whose window passes its
// messages (control timers included) on, with a vertical layout as root.
#include "UIContainer.h"
#include "UIManager.h"
#include "UIVerticalLayout.h"
#include "WebViewTestSupport.h"
#include "WkeWebkitUI.h"

using namespace Veneer;
using namespace webtest;

namespace {

LRESULT CALLBACK FrameProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    CPaintManagerUI* pm = reinterpret_cast<CPaintManagerUI*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
    if (pm) {
        LRESULT res = 0;
        if (pm->MessageHandler(m, w, l, res)) return res;
    }
    return ::DefWindowProcW(h, m, w, l);
}

DWORD g_fakeNow = 0;
DWORD FakeClock() {
    return g_fakeNow;
}

std::vector<Finished>& FinishLog() {
    static std::vector<Finished> log;
    return log;
}
void RecordFinish(CWkeWebkitUI*, const wchar_t* url, int result, const wchar_t* reason) {
    FinishLog().push_back({url, reason, result});
}

bool g_allowNavigation = true;
std::vector<std::wstring>& NavigationLog() {
    static std::vector<std::wstring> log;
    return log;
}
bool RecordNavigation(wkeWebView, void*, int, wkeString url) {
    NavigationLog().push_back(wkeGetStringW(url));
    return g_allowNavigation;
}

class WkeWebkitControl : public ::testing::Test {
protected:
    void SetUp() override {
        CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
        WNDCLASSW wc = {};
        wc.lpfnWndProc = FrameProc;
        wc.hInstance = ::GetModuleHandleW(NULL);
        wc.lpszClassName = L"WkeWebkitTestFrame";
        wc.hCursor = ::LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
        ::RegisterClassW(&wc);
        m_wnd = ::CreateWindowExW(0, wc.lpszClassName, L"web view", WS_POPUP | WS_CLIPCHILDREN, 60, 40, 420, 340, NULL,
                                  NULL, wc.hInstance, NULL);
        ASSERT_NE((HWND)NULL, m_wnd);
        m_pm = new CPaintManagerUI;
        m_pm->Init(m_wnd);
        ::SetWindowLongPtrW(m_wnd, GWLP_USERDATA, (LONG_PTR)m_pm);
        m_root = new CVerticalLayoutUI;
        m_root->SetInset(RECT{10, 10, 10, 10});
        m_pm->AttachDialog(m_root);
        Calls().clear();
        FinishLog().clear();
        NavigationLog().clear();
        g_allowNavigation = true;
        CWkeWebkitUI::SetTickSource(FakeClock);
        g_fakeNow = 1000000;
    }
    void TearDown() override {
        if (m_wnd) ::SetWindowLongPtrW(m_wnd, GWLP_USERDATA, 0);
        delete m_pm;  // the control tree with it
        if (m_wnd) ::DestroyWindow(m_wnd);
        CWkeWebkitUI::SetTickSource(nullptr);
        EXPECT_EQ(0, CWkeWebkitUI::GetLibraryReferences());
    }

    CWkeWebkitUI* AddView(const wchar_t* name = L"huodong") {
        CWkeWebkitUI* c = new CWkeWebkitUI;
        c->SetName(name);
        c->SetLoadingFinishHandler(RecordFinish);
        c->SetNavigationHandler(RecordNavigation);
        m_root->Add(c);
        c->BindJsFunction(L"window_external_CppCall", RecordCall, 3);
        ::ShowWindow(m_wnd, SW_SHOWNOACTIVATE);
        ::UpdateWindow(m_wnd);
        PumpFor(50);
        return c;
    }
    bool LoadAndWait(CWkeWebkitUI* c, const std::string& url) {
        size_t before = FinishLog().size();
        c->Load(Wide(url).c_str());
        return Pump(15000, [&] { return FinishLog().size() > before; });
    }
    void ClickAt(CWkeWebkitUI* c, int x, int y) {  // page coordinates
        const RECT& rc = c->GetPos();
        TEventUI e = {};
        e.ptMouse = POINT{rc.left + x, rc.top + y};
        e.Type = UIEVENT_BUTTONDOWN;
        e.wKeyState = MK_LBUTTON;
        c->Event(e);
        e.Type = UIEVENT_BUTTONUP;
        e.wKeyState = 0;
        c->Event(e);
    }
    COLORREF ScreenPixel(CWkeWebkitUI* c, int x, int y) {
        POINT pt{x, y};
        ::ClientToScreen(c->GetHostWindow()->GetHWND(), &pt);
        HDC screen = ::GetDC(NULL);
        COLORREF px = ::GetPixel(screen, pt.x, pt.y);
        ::ReleaseDC(NULL, screen);
        return px;
    }

    HWND m_wnd = NULL;
    CPaintManagerUI* m_pm = nullptr;
    CVerticalLayoutUI* m_root = nullptr;
};

}  // namespace

TEST_F(WkeWebkitControl, ShowsThePageInItsChildWindow) {
    standin::Scenario sc;
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    CWkeWebkitUI* c = AddView();
    EXPECT_EQ(1, CWkeWebkitUI::GetLibraryReferences());
    EXPECT_STREQ(L"WbkWebkitUI", c->GetClass());
    EXPECT_EQ(c, c->GetInterface(L"WbkWebkitUI"));
    HWND host = c->GetHostWindow()->GetHWND();
    ASSERT_TRUE(::IsWindow(host));
    wchar_t cls[64] = {0};
    ::GetClassNameW(host, cls, 64);
    EXPECT_STREQ(L"WkeWebkit", cls);
    EXPECT_EQ(m_wnd, ::GetParent(host));
    EXPECT_EQ((LONG)(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN),
              ::GetWindowLongW(host, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
    RECT wr;
    ::GetWindowRect(host, &wr);
    EXPECT_EQ(c->GetPos().right - c->GetPos().left, wr.right - wr.left);

    ASSERT_TRUE(LoadAndWait(c, sc.Url("/web/activity.html")));
    EXPECT_EQ(0u, c->GetLoadStart());
    EXPECT_EQ(WKE_LOADING_SUCCEEDED, FinishLog().back().result);
    EXPECT_EQ(Wide(sc.Url("/web/activity.html")), FinishLog().back().url);
    ASSERT_TRUE(Pump(3000, [&] { return ScreenPixel(c, 190, 70) == RGB(0, 200, 0); }))
        << std::hex << ScreenPixel(c, 190, 70);
    ClickAt(c, 190, 70);
    ASSERT_EQ(1u, Calls().size());
    EXPECT_EQ(Call(4, 4711, 0), Calls()[0]);
}

TEST_F(WkeWebkitControl, F5ReloadsAndStillPassesTheKeyToThePage) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/keys.html",
        "<script>document.addEventListener('keydown', function (e) { window_external_CppCall(10, e.keyCode, 0); });"
        "</script>"));
    standin::Scenario sc(spec);
    CWkeWebkitUI* c = AddView();
    ASSERT_TRUE(LoadAndWait(c, sc.Url("/keys.html")));
    HWND host = c->GetHostWindow()->GetHWND();
    ::SendMessageW(host, WM_KEYDOWN, VK_F5, 0x003F0001);
    EXPECT_TRUE(HasCall(10, VK_F5, 0));  // the page had it before the new document came
    ASSERT_TRUE(Pump(10000, [&] { return FinishLog().size() >= 2; }));
    EXPECT_EQ(2u, CountGets(sc, "/keys.html"));
}

// The console's window passes typed characters (Chinese as UTF-16 units) and Enter to the page's
// focused field; the form's submission goes through the control's navigation hook.
TEST_F(WkeWebkitControl, TypingIntoAFormThroughTheHostWindowSubmitsIt) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/form.html", "<form action='/found'><input name=q autofocus></form>"));
    spec["routes"].append(PageRoute("/found*", "found"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    CWkeWebkitUI* c = AddView();
    ASSERT_TRUE(LoadAndWait(c, sc.Url("/form.html")));
    HWND host = c->GetHostWindow()->GetHWND();
    for (wchar_t ch : std::wstring(L"a \x4F60")) ::SendMessageW(host, WM_CHAR, ch, 1);
    ::SendMessageW(host, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::SendMessageW(host, WM_CHAR, '\r', 0x001C0001);
    ASSERT_TRUE(Pump(10000, [&] { return FinishLog().size() >= 2; }));
    ASSERT_FALSE(NavigationLog().empty());
    EXPECT_EQ(Wide(sc.Url("/found?q=a+%E4%BD%A0")), NavigationLog().back());
    EXPECT_EQ(1u, CountGets(sc, "/found?q=a+%E4%BD%A0"));
}

TEST_F(WkeWebkitControl, InputWhileLoadingIsIgnored) {
    standin::Scenario sc;
    CWkeWebkitUI* c = AddView();
    ASSERT_TRUE(LoadAndWait(c, sc.Url("/web/activity.html")));
    c->Load(Wide(sc.Url("/web/stall.html")).c_str());
    EXPECT_NE(0u, c->GetLoadStart());
    ClickAt(c, 190, 70);  // the old page is still shown, but a load is under way
    EXPECT_TRUE(Calls().empty());
    c->StopLoading();
    EXPECT_EQ(0u, c->GetLoadStart());
    ClickAt(c, 190, 70);
    EXPECT_EQ(1u, Calls().size());
}

TEST_F(WkeWebkitControl, HidingTheControlHidesItsWindowAndShowingShowsIt) {
    CWkeWebkitUI* c = AddView();
    HWND host = c->GetHostWindow()->GetHWND();
    EXPECT_TRUE(::IsWindowVisible(host));
    c->SetVisible(false);
    EXPECT_FALSE(::IsWindowVisible(host));
    c->SetVisible(true);
    EXPECT_TRUE(::IsWindowVisible(host));
    m_root->SetVisible(false);  // through the parent
    EXPECT_FALSE(::IsWindowVisible(host));
    m_root->SetVisible(true);
    EXPECT_TRUE(::IsWindowVisible(host));
}

TEST_F(WkeWebkitControl, TheLastControlFinalisesAndANewOneInitialisesAgain) {
    standin::Scenario sc;
    CWkeWebkitUI* a = AddView(L"a");
    CWkeWebkitUI* b = AddView(L"b");
    EXPECT_EQ(2, CWkeWebkitUI::GetLibraryReferences());
    HWND hostA = a->GetHostWindow()->GetHWND();
    m_root->Remove(a);
    EXPECT_FALSE(::IsWindow(hostA));  // gone with the control, not at a later WM_CLOSE
    EXPECT_EQ(1, CWkeWebkitUI::GetLibraryReferences());
    b->Load(Wide(sc.Url("/web/stall.html")).c_str());
    m_root->Remove(b);  // while loading
    EXPECT_EQ(0, CWkeWebkitUI::GetLibraryReferences());
    PumpFor(100);
    CWkeWebkitUI* c = AddView(L"c");
    EXPECT_EQ(1, CWkeWebkitUI::GetLibraryReferences());
    ASSERT_TRUE(LoadAndWait(c, sc.Url("/web/throw.html")));
    EXPECT_TRUE(HasCall(7, 1, 0));  // the binding outlived the finalisation
}

TEST_F(WkeWebkitControl, InALayeredWindowTheChildIsOffsetByTheWindowsScreenPosition) {
    m_pm->SetLayered(true);
    CWkeWebkitUI* c = AddView();
    RECT frame;
    ::GetWindowRect(m_wnd, &frame);
    c->SetPos(RECT{10, 20, 210, 170});
    POINT origin{0, 0};
    ::MapWindowPoints(c->GetHostWindow()->GetHWND(), m_wnd, &origin, 1);
    EXPECT_EQ(10 + frame.left, origin.x);
    EXPECT_EQ(20 + frame.top, origin.y);
    RECT wr;
    ::GetWindowRect(c->GetHostWindow()->GetHWND(), &wr);
    EXPECT_EQ(200, wr.right - wr.left);
    EXPECT_EQ(150, wr.bottom - wr.top);
}

TEST_F(WkeWebkitControl, HungLoadIsReplacedAfterTwentySecondsByAFreshControl) {
    standin::Scenario sc;
    CWkeWebkitUI* old = AddView(L"huodong");
    std::string stall = sc.Url("/web/stall.html");
    old->Load(Wide(stall).c_str());
    HWND oldHost = old->GetHostWindow()->GetHWND();
    RECT oldPos = old->GetPos();
    g_fakeNow += 20000;  // not more than 20 s yet
    PumpFor(200);
    ASSERT_EQ(old, m_root->GetItemAt(0));
    g_fakeNow += 1;
    ASSERT_TRUE(Pump(3000, [&] { return m_root->GetItemAt(0) != old; }));
    PumpFor(100);
    EXPECT_FALSE(::IsWindow(oldHost));  // the old control is gone with its window
    ASSERT_EQ(1, m_root->GetCount());
    CWkeWebkitUI* fresh = static_cast<CWkeWebkitUI*>(m_root->GetItemAt(0)->GetInterface(L"WbkWebkitUI"));
    ASSERT_NE(nullptr, fresh);
    EXPECT_STREQ(L"huodong", fresh->GetName().GetData());
    EXPECT_EQ(RecordFinish, fresh->GetLoadingFinishHandler());
    EXPECT_EQ(RecordNavigation, fresh->GetNavigationHandler());
    EXPECT_EQ(nullptr, fresh->GetCreateViewHandler());
    EXPECT_TRUE(fresh->IsVisible());
    EXPECT_EQ(oldPos.left, fresh->GetPos().left);
    EXPECT_STREQ(Wide(stall).c_str(), fresh->GetUrl().GetData());
    EXPECT_EQ(g_fakeNow, fresh->GetLoadStart());
    EXPECT_EQ(1, CWkeWebkitUI::GetLibraryReferences());
    ASSERT_TRUE(Pump(5000, [&] { return CountGets(sc, "/web/stall.html") >= 2; }));
}

TEST_F(WkeWebkitControl, HungLoadOfAControlWithoutParentIsOnlyStopped) {
    standin::Scenario sc;
    CWkeWebkitUI* c = AddView();
    c->Load(Wide(sc.Url("/web/stall.html")).c_str());
    m_root->Remove(c, true);  // kept, but no longer in the tree
    c->SetManager(m_pm, nullptr, false);
    g_fakeNow += 20001;
    TEventUI e = {};
    e.Type = UIEVENT_TIMER;
    e.wParam = 42;
    c->DoEvent(e);
    EXPECT_EQ(0u, c->GetLoadStart());
    EXPECT_TRUE(wkeIsLoadingCompleted(c->GetView()));
    delete c;
}

TEST_F(WkeWebkitControl, NavigationHookRefusesALinkAndBlankLinksOpenInPlace) {
    standin::Scenario sc;
    CWkeWebkitUI* c = AddView();
    ASSERT_TRUE(LoadAndWait(c, sc.Url("/web/activity.html")));
    g_allowNavigation = false;
    ClickAt(c, 20, 95);
    ASSERT_EQ(1u, NavigationLog().size());
    EXPECT_EQ(Wide(sc.Url("/web/second.html")), NavigationLog()[0]);
    PumpFor(300);
    EXPECT_EQ(0u, CountGets(sc, "/web/second.html"));
    g_allowNavigation = true;
    size_t before = FinishLog().size();
    ClickAt(c, 20, 125);
    ASSERT_TRUE(Pump(10000, [&] { return FinishLog().size() > before; }));
    EXPECT_EQ(Wide(sc.Url("/web/second.html?blank=1")), FinishLog().back().url);
    ASSERT_TRUE(Pump(3000, [&] { return ScreenPixel(c, 100, 100) == RGB(200, 0, 0); }));
}

TEST_F(WkeWebkitControl, ControlWithoutHostIgnoresCallsSafely) {
    CWkeWebkitUI* c = new CWkeWebkitUI;  // never initialised: no window, no view
    c->Load(L"http://example.invalid/");
    c->StopLoading();
    c->SetPos(RECT{0, 0, 10, 10});
    c->SetInternVisible(false);
    TEventUI e = {};
    e.Type = UIEVENT_BUTTONDOWN;
    c->DoEvent(e);
    EXPECT_EQ(nullptr, c->GetHostWindow());
    EXPECT_EQ(0u, c->GetLoadStart());
    delete c;
}
