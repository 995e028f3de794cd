// The web-view library on its own: views without a host window, driven by the thread's messages.
#include <windows.h>

#include <psapi.h>

#include <memory>

#include "Text.h"
#include "WebViewTestSupport.h"

using namespace webtest;

namespace {

class WebViewLayer : public ViewFixture {};

}  // namespace

TEST_F(WebViewLayer, FreshViewIsCompletedAndPaintsWhite) {
    wkeWebView v = NewView(50, 40);
    EXPECT_TRUE(wkeIsLoadingCompleted(v));
    EXPECT_TRUE(wkeRepaintIfNeededAfterInterval(v));
    EXPECT_FALSE(wkeRepaintIfNeededAfterInterval(v));  // nothing changed since
    EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(wkeGetViewDC(v), 10, 10));
}

TEST_F(WebViewLayer, ActivityPageLoadsInGbkPaintsItsBlockAndItsClickCallsTheBinding) {
    standin::Scenario sc;
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    std::string url = sc.Url("/web/activity.html");
    ASSERT_TRUE(LoadAndWait(v, url));
    EXPECT_TRUE(wkeIsLoadingCompleted(v));
    EXPECT_EQ(Wide(url), m_finished.back().url);
    EXPECT_EQ(WKE_LOADING_SUCCEEDED, m_finished.back().result);
    EXPECT_EQ(RGB(0, 200, 0), PixelAt(v, 190, 70));  // the coloured block
    EXPECT_EQ(RGB(255, 255, 255), PixelAt(v, 300, 40));  // beside it
    Click(v, 190, 70);
    ASSERT_EQ(1u, Calls().size());
    EXPECT_EQ(Call(4, 4711, 0), Calls()[0]);
    // Pressed on one element, released on another: no click.
    wkeFireMouseEvent(v, WM_LBUTTONDOWN, 190, 70, MK_LBUTTON);
    wkeFireMouseEvent(v, WM_LBUTTONUP, 300, 250, 0);
    EXPECT_EQ(1u, Calls().size());
}

TEST_F(WebViewLayer, ActivityPageOverHttpsWithItsLinksRelativeToTheService) {
    standin::Scenario sc;
    wkeWebView v = NewView();
    // The address the café service's activity request hands out; TLS peers are not verified.
    std::string url = sc.HttpsUrl("/index.php?g=home&m=activity&a=page");
    ASSERT_TRUE(LoadAndWait(v, url));
    EXPECT_EQ(WKE_LOADING_SUCCEEDED, m_finished.back().result) << std::string(m_finished.back().reason.begin(), m_finished.back().reason.end());
    EXPECT_EQ(RGB(0, 200, 0), PixelAt(v, 10, 10));
    Click(v, 20, 95);
    ASSERT_TRUE(Pump(10000, [&] { return m_finished.size() >= 2; }));
    EXPECT_EQ(Wide(sc.HttpsUrl("/web/second.html")), m_finished.back().url);
}

TEST_F(WebViewLayer, GbkPageIsConvertedBeforeParsing) {
    // The same Chinese text sent as GBK bytes, declared in <meta> only; the script compares it.
    const wchar_t text[] = L"活动专区";
    char gbk[64] = {0};
    ::WideCharToMultiByte(936, 0, text, -1, gbk, sizeof(gbk), NULL, NULL);
    std::string page = std::string("<html><head><meta charset=\"gb2312\"></head><body><div id=\"t\">") + gbk +
                       "</div><script>window_external_CppCall(document.getElementById('t').textContent == "
                       "'\\u6d3b\\u52a8\\u4e13\\u533a' ? 1 : 2, 0, 0);</script></body></html>";
    Json::Value spec;
    Json::Value route = BytesRoute("/gbk.html", page, "text/html");
    spec["routes"].append(route);
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/gbk.html")));
    ASSERT_EQ(1u, Calls().size());
    EXPECT_EQ(Call(1, 0, 0), Calls()[0]);
}

TEST_F(WebViewLayer, WebSocketPageCallsOnLoadAndForEveryQueuedEvent) {
    standin::Scenario sc;
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    // Its poll asks for "events", relative to the page.
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/web/socket.html?bbarcode=880001")));
    ASSERT_EQ(1u, Calls().size());
    EXPECT_EQ(Call(1, 0, 0), Calls()[0]);
    struct Case {
        int code;
        const char* uid;
        bool text, two;
        Call expected;
    } cases[] = {
        {1, "0", false, false, Call(1, 0, 0)},    {2, "0", false, false, Call(2, 0, 0)},
        {3, "0", false, false, Call(3, 0, 0)},    {4, "4711", false, false, Call(4, 4711, 0)},
        {9, "5", false, false, Call(9, 5, 0)},    {4, "4711", true, false, Call(4, 4711, 0)},
        {4, "812", false, true, Call(4, 812, 0)},
    };
    for (const Case& c : cases) {
        Calls().clear();
        ASSERT_TRUE(QueueEvent(sc, c.code, c.uid, c.text, c.two));
        ASSERT_TRUE(Pump(10000, [] { return !Calls().empty(); })) << "code " << c.code;
        EXPECT_EQ(c.expected, Calls()[0]) << "code " << c.code << " uid " << c.uid;
    }
    EXPECT_GE(sc.LogFor("/web/events").size(), 7u);
}

// The café's own web-socket page (the address the console's customer page loads): the load-time
// call, the café events queued before the page was served, then each event queued later, once,
// pushed over the page's WebSocket.
TEST_F(WebViewLayer, CafeWebSocketPageCarriesEventsQueuedBeforeAndAfterItsLoad) {
    Json::Value spec;
    spec["cafe"]["code"] = "10001";
    Json::Value early(Json::arrayValue);
    early.append(2), early.append(55), early.append(0);
    spec["cafe"]["events"].append(early);
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.HttpsUrl("/index.php?g=home&m=home&a=websocket&bbarcode=10001")));
    ASSERT_EQ(2u, Calls().size());
    EXPECT_EQ(Call(1, 0, 0), Calls()[0]);
    EXPECT_EQ(Call(2, 55, 0), Calls()[1]);
    Calls().clear();
    ASSERT_TRUE(sc.QueueEvent(4, 55, 0));
    ASSERT_TRUE(Pump(10000, [] { return !Calls().empty(); }));
    PumpFor(600);  // further polls deliver nothing more
    ASSERT_EQ(1u, Calls().size());
    EXPECT_EQ(Call(4, 55, 0), Calls()[0]);
    EXPECT_EQ(0u, sc.Cafe()["events"].size());
    // The later event came over the page's WebSocket (through the proxy, in the TLS tunnel).
    auto socket = sc.LogFor("/web/cafe_events");
    ASSERT_EQ(1u, socket.size());
    EXPECT_EQ("websocket", socket[0].Header("Upgrade"));
    EXPECT_EQ("https", socket[0].scheme);
}

TEST_F(WebViewLayer, ScriptExceptionsAreCaughtAndTheLoadStillFinishes) {
    standin::Scenario sc;
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/web/throw.html")));
    EXPECT_EQ(WKE_LOADING_SUCCEEDED, m_finished.back().result);
    EXPECT_TRUE(HasCall(7, 1, 0));
    EXPECT_TRUE(HasCall(7, 2, 0));
    EXPECT_TRUE(HasCall(7, 3, 0));  // window.onload after the throwing scripts
}

TEST_F(WebViewLayer, EndlessScriptIsStoppedAndTheNextScriptRuns) {
    standin::Scenario sc;
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/web/endless.html"), 30000));
    EXPECT_TRUE(HasCall(8, 1, 0));
    EXPECT_TRUE(HasCall(8, 2, 0));
}

TEST_F(WebViewLayer, NavigationHookCanRefuseALinkAndBlankOpensInPlace) {
    standin::Scenario sc;
    wkeWebView v = NewView();
    struct Hook {
        bool allow = false;
        std::vector<std::pair<int, std::wstring>> seen;
        static bool Call(wkeWebView, void* p, int type, wkeString url) {
            Hook* h = static_cast<Hook*>(p);
            h->seen.emplace_back(type, wkeGetStringW(url));
            return h->allow;
        }
    } hook;
    wkeOnNavigation(v, &Hook::Call, &hook);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/web/activity.html")));
    Click(v, 20, 95);  // the link: the hook refuses
    ASSERT_EQ(1u, hook.seen.size());
    EXPECT_EQ(WKE_NAVIGATION_LINK, hook.seen[0].first);
    EXPECT_EQ(Wide(sc.Url("/web/second.html")), hook.seen[0].second);
    PumpFor(300);
    EXPECT_TRUE(wkeIsLoadingCompleted(v));
    EXPECT_EQ(0u, CountGets(sc, "/web/second.html"));
    EXPECT_EQ(RGB(0, 200, 0), PixelAt(v, 190, 70));

    // Allowed, target _blank, no create-view callback: opens in this view.
    hook.allow = true;
    size_t before = m_finished.size();
    Click(v, 20, 125);
    ASSERT_TRUE(Pump(10000, [&] { return m_finished.size() > before; }));
    EXPECT_EQ(Wide(sc.Url("/web/second.html?blank=1")), m_finished.back().url);
    EXPECT_TRUE(HasCall(6, 1, 0));
    EXPECT_EQ(RGB(200, 0, 0), PixelAt(v, 100, 100));
}

TEST_F(WebViewLayer, CreateViewCallbackChoosesTheViewOfABlankLink) {
    standin::Scenario sc;
    wkeWebView v = NewView();
    wkeWebView other = NewView();
    struct Ctx {
        wkeWebView target;
        int calls = 0;
        static wkeWebView Create(wkeWebView, void* p, int, wkeString, const wkeWindowFeatures*) {
            Ctx* c = static_cast<Ctx*>(p);
            ++c->calls;
            return c->target;
        }
    } ctx{other};
    wkeOnCreateView(v, &Ctx::Create, &ctx);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/web/activity.html")));
    size_t before = m_finished.size();
    Click(v, 20, 125);
    EXPECT_EQ(1, ctx.calls);
    ASSERT_TRUE(Pump(10000, [&] { return m_finished.size() > before; }));
    EXPECT_EQ(RGB(200, 0, 0), PixelAt(other, 100, 100));
    EXPECT_EQ(RGB(0, 200, 0), PixelAt(v, 190, 70));
}

TEST_F(WebViewLayer, ExplicitStopCancelsWithoutFinishedCallback) {
    standin::Scenario sc;
    wkeWebView v = NewView();
    wkeLoadW(v, Wide(sc.Url("/web/stall.html")).c_str());
    EXPECT_FALSE(wkeIsLoadingCompleted(v));
    PumpFor(300);
    wkeStopLoading(v);
    EXPECT_TRUE(wkeIsLoadingCompleted(v));
    PumpFor(300);
    EXPECT_TRUE(m_finished.empty());
}

TEST_F(WebViewLayer, FailedLoadReportsFailureWithReason) {
    wkeWebView v = NewView();
    // Port 9 on loopback, straight (not through the stand-in): refused.
    ASSERT_TRUE(LoadAndWait(v, "http://127.0.0.1:9/none.html"));
    EXPECT_EQ(WKE_LOADING_FAILED, m_finished.back().result);
    EXPECT_FALSE(m_finished.back().reason.empty());
}

TEST_F(WebViewLayer, MissingArgumentsReadZeroAndStringsReadAsNumbers) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/args.html",
        "<script>window_external_CppCall(4, '4711'); window_external_CppCall(); "
        "window_external_CppCall('x', {valueOf: function () { throw 1; }}, 2.9);</script>"));
    standin::Scenario sc(spec);
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/args.html")));
    ASSERT_EQ(3u, Calls().size());
    EXPECT_EQ(Call(4, 4711, 0), Calls()[0]);
    EXPECT_EQ(Call(0, 0, 0), Calls()[1]);
    EXPECT_EQ(Call(0, 0, 2), Calls()[2]);
}

namespace {
wkeWebView g_selfDestroy = nullptr;
jsValue DestroyOwnView(jsExecState es) {
    wkeDestroyWebView(g_selfDestroy);
    wkeLoadW(g_selfDestroy, L"http://127.0.0.1:9/never");
    return wkeJSUndefined(es);
}
}  // namespace

TEST_F(WebViewLayer, DestroyAndLoadAskedForInsideAScriptWaitUntilItReturns) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/self.html",
        "<div id='d'>x</div><script>destroy_me(); document.getElementById('d').textContent = 'still here'; "
        "window_external_CppCall(11, 0, 0);</script>"));
    standin::Scenario sc(spec);
    wkeJSBindFunction("destroy_me", DestroyOwnView, 0);
    wkeWebView v = NewView();
    g_selfDestroy = v;
    wkeLoadW(v, Wide(sc.Url("/self.html")).c_str());
    ASSERT_TRUE(Pump(10000, [] { return HasCall(11, 0, 0); }));
    Forget(v);  // gone once the script returned
    PumpFor(200);
    EXPECT_TRUE(m_finished.empty());
    EXPECT_FALSE(wkeIsLoadingCompleted(v) && wkeGetViewDC(v) != NULL);
}

namespace {
struct Reloader {
    wkeWebView view;
    int finished = 0;
    static void Finish(wkeWebView v, void* p, wkeString, int, wkeString) {
        Reloader* r = static_cast<Reloader*>(p);
        if (++r->finished == 1) wkeReload(v);  // from inside the callback: after it returns
    }
};
}  // namespace

TEST_F(WebViewLayer, ReloadFromInsideTheFinishedCallbackLoadsAgain) {
    standin::Scenario sc;
    wkeWebView v = NewView();
    Reloader r{v};
    wkeOnLoadingFinish(v, &Reloader::Finish, &r);
    wkeLoadW(v, Wide(sc.Url("/web/second.html")).c_str());
    ASSERT_TRUE(Pump(10000, [&] { return r.finished >= 2; }));
    EXPECT_EQ(2u, CountGets(sc, "/web/second.html"));
}

TEST_F(WebViewLayer, MalformedPagesNeverCrashAndAlwaysFinish) {
    standin::Scenario sc;
    ASSERT_TRUE(sc.Ok());
    std::vector<std::string> urls;
    const struct {
        const char* page;
        int size;
    } pages[] = {{"activity", 560}, {"socket", 630}, {"throw", 320}};
    for (const auto& p : pages)
        for (int n = 0; n <= p.size; ++n)
            urls.push_back(sc.Url("/web/prefix?page=" + std::string(p.page) + "&n=" + std::to_string(n)));
    for (int seed = 1; seed <= 20; ++seed) urls.push_back(sc.Url("/web/random?n=3000&seed=" + std::to_string(seed)));
    urls.push_back(sc.Url("/web/deep?n=10000"));
    // Twenty views at a time, each painted after its load.
    const size_t width = 20;
    std::vector<wkeWebView> views;
    for (size_t i = 0; i < width; ++i) views.push_back(NewView(300, 200));
    size_t next = 0, done = 0;
    std::vector<size_t> pending(width, SIZE_MAX);
    struct Count {
        size_t* done;
        static void Finish(wkeWebView v, void* p, wkeString, int, wkeString) { ++*static_cast<Count*>(p)->done; }
    } count{&done};
    for (wkeWebView w : views) wkeOnLoadingFinish(w, &Count::Finish, &count);
    size_t started = 0;
    while (done < urls.size()) {
        for (size_t i = 0; i < width && next < urls.size(); ++i)
            if (wkeIsLoadingCompleted(views[i])) {
                wkeRepaintIfNeededAfterInterval(views[i]);
                Click(views[i], 20, 20);
                wkeLoadW(views[i], Wide(urls[next++]).c_str());
                ++started;
            }
        ASSERT_TRUE(Pump(20000, [&] { return done >= started || next < urls.size(); }))
            << done << " of " << urls.size() << " finished";
        PumpFor(5);
    }
    EXPECT_EQ(urls.size(), done);
    EXPECT_TRUE(HasCall(9, 1, 0));  // the deep page's script ran
}

TEST_F(WebViewLayer, FinalizeEndsEveryViewAndInitializeStartsAgainWithTheBindings) {
    standin::Scenario sc;
    wkeWebView v = NewView();
    wkeLoadW(v, Wide(sc.Url("/web/stall.html")).c_str());
    PumpFor(100);
    wkeFinalize();
    m_views.clear();
    wkeInitialize();
    wkeWebView w = NewView();
    ASSERT_TRUE(LoadAndWait(w, sc.Url("/web/throw.html")));
    EXPECT_TRUE(HasCall(7, 1, 0));
}

TEST_F(WebViewLayer, ScrollingByWheelAndKeys) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/long.html",
        "<body style='margin:0'><div style='height:1000px;background-color:#0000ff'></div>"
        "<div style='height:200px;background-color:#ff0000'></div></body>"));
    standin::Scenario sc(spec);
    wkeWebView v = NewView(200, 100);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/long.html")));
    EXPECT_EQ(RGB(0, 0, 255), PixelAt(v, 50, 50));
    EXPECT_FALSE(wkeFireMouseWheelEvent(v, 10, 10, 120, 0));  // already at the top
    EXPECT_TRUE(wkeFireKeyDownEvent(v, VK_END, 0, false));
    EXPECT_EQ(RGB(255, 0, 0), PixelAt(v, 50, 50));
    EXPECT_TRUE(wkeFireMouseWheelEvent(v, 10, 10, 120, 0));
    EXPECT_FALSE(wkeFireKeyDownEvent(v, 'A', 0, false));
    EXPECT_FALSE(wkeFireContextMenuEvent(v, 10, 10, 0));
}

TEST(WebViewUrls, RelativeUrlsResolveAgainstTheDocument) {
    const struct {
        const char *base, *url, *expected;
    } cases[] = {
        {"http://h/a/b.html?x=1", "c.html", "http://h/a/c.html"},
        {"http://h/a/b.html", "../c.html?y", "http://h/c.html?y"},
        {"http://h/a/b.html", "/r/./s/../t", "http://h/r/t"},
        {"http://h/a/b.html", "?q=2", "http://h/a/b.html?q=2"},
        {"http://h/a/b.html#f", "#top", "http://h/a/b.html"},
        {"https://h:8443/index.php?g=home", "web/events", "https://h:8443/web/events"},
        {"http://h/a/", "//other/x", "http://other/x"},
        {"http://h", "x.html", "http://h/x.html"},
        {"http://h/a/b.html", "HTTP://Other/Y", "HTTP://Other/Y"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, webview::ResolveUrl(c.base, c.url)) << c.base << " + " << c.url;
}

namespace {
// GDI objects the process can still make: regions made until the handle table refuses one, then
// freed. Wine's GetGuiResources answers 0, so a leak of GDI objects shows only as fewer of these.
int FreeGdiSlots() {
    std::vector<HRGN> made;
    made.reserve(70000);
    while (made.size() < 70000) {
        HRGN r = ::CreateRectRgn(0, 0, 1, 1);
        if (!r) break;
        made.push_back(r);
    }
    for (HRGN r : made) ::DeleteObject(r);
    return static_cast<int>(made.size());
}

// Committed private memory (Wine leaves PrivateUsage at 0 but counts this one).
long long PagefileBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return static_cast<long long>(counters.PagefileUsage);
}
}  // namespace

TEST_F(WebViewLayer, TwoHundredCyclesLeaveHandlesAndMemoryFlat) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/busy.html",
        "<div id='a' style='background-color:#123456;height:40px'>x</div><img src='none.png' width='10' height='10'>"
        "<script>var n = 0; setInterval(function () { document.getElementById('a').textContent = 'n' + (++n); }, 15);"
        "var x = new XMLHttpRequest(); x.open('GET', 'busy.html'); x.send();"
        "for (var t = Date.now(); Date.now() - t < 30;) {}</script>"));
    standin::Scenario sc(spec);
    std::wstring busy = Wide(sc.Url("/busy.html")), stall = Wide(sc.Url("/web/stall.html"));
    auto cycle = [&](int i) {
        wkeWebView v = wkeCreateWebView();
        wkeResize(v, 300, 200);
        wkeLoadW(v, i % 3 == 2 ? stall.c_str() : busy.c_str());
        // Destroyed after its load (timers and XHR running), while loading, or right away.
        if (i % 3 == 0) Pump(5000, [&] { return wkeIsLoadingCompleted(v); });
        else if (i % 3 == 1) PumpFor(20);
        wkeRepaintIfNeededAfterInterval(v);
        wkeDestroyWebView(v);
    };
    for (int i = 0; i < 20; ++i) cycle(i);
    PumpFor(100);
    // The GDI count must see something: a live view holds GDI objects.
    const int slotsBefore = FreeGdiSlots();
    ASSERT_GT(slotsBefore, 1000);
    ASSERT_GT(PagefileBytes(), 0);
    wkeWebView probe = wkeCreateWebView();
    wkeResize(probe, 300, 200);
    wkeRepaintIfNeededAfterInterval(probe);
    EXPECT_LT(FreeGdiSlots(), slotsBefore) << "a view holds no GDI object: the count cannot see a leak";
    wkeDestroyWebView(probe);
    PumpFor(20);
    const int slotsStart = FreeGdiSlots();
    const long long memoryStart = PagefileBytes();
    for (int i = 0; i < 200; ++i) cycle(i);
    PumpFor(100);
    // One GDI object or 20 KB kept per cycle would exceed these.
    EXPECT_GE(FreeGdiSlots(), slotsStart - 20);
    EXPECT_LT(PagefileBytes() - memoryStart, 4LL * 1024 * 1024);
}

namespace {
size_t g_callsWhileBlocked = 0;
jsValue BlockWithOwnMessageLoop(jsExecState es) {
    // As a bound function that waits for a slow request, pumping messages meanwhile, longer than
    // a script's time budget.
    size_t before = Calls().size();
    PumpFor(2600);
    g_callsWhileBlocked = Calls().size() - before;
    return wkeJSUndefined(es);
}
}  // namespace

TEST_F(WebViewLayer, BlockingBoundFunctionNeitherReentersTheLoopNorSpendsTheScriptsBudget) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/block.html",
        "<script>var n = 0; setInterval(function () { window_external_CppCall(12, ++n, 0); }, 20);"
        "var x = new XMLHttpRequest(); x.open('GET', 'block.html'); "
        "x.onload = function () { window_external_CppCall(14, x.status, 0); }; x.send();"
        "block_me(); window_external_CppCall(13, n, 0);</script>"));
    standin::Scenario sc(spec);
    wkeJSBindFunction("block_me", BlockWithOwnMessageLoop, 0);
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/block.html")));
    EXPECT_EQ(0u, g_callsWhileBlocked);  // no page timer, no XHR completion inside the script
    EXPECT_TRUE(HasCall(13, 0, 0));      // the rest of the script ran after 2.6 s in the call
    ASSERT_TRUE(Pump(5000, [] { return HasCall(12, 2, 0) && HasCall(14, 200, 0); }));
}
