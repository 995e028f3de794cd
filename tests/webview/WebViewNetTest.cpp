// The web view's network side seen from pages: WebSocket connections, XMLHttpRequest's headers,
// time-outs, abort and JSON, the one cookie jar, the limits on transfers, and pages that try to
// hold up the UI thread. Pages report through window_external_CppCall(code, step, value).
#include <windows.h>

#include <psapi.h>

#include <string>
#include <vector>

#include "Paint.h"
#include "UiProbe.h"
#include "WebViewTestSupport.h"

using namespace webtest;

namespace {

class WebViewNet : public ::testing::Test {
protected:
    void SetUp() override {
        wkeInitialize();
        wkeJSBindFunction("window_external_CppCall", RecordCall, 3);
        Calls().clear();
    }
    void TearDown() override {
        for (wkeWebView v : m_views) wkeDestroyWebView(v);
        wkeFinalize();
    }
    wkeWebView NewView() {
        wkeWebView v = wkeCreateWebView();
        EXPECT_NE(nullptr, v);
        wkeResize(v, 300, 200);
        wkeOnLoadingFinish(v, &WebViewNet::OnFinish, this);
        m_views.push_back(v);
        return v;
    }
    static void OnFinish(wkeWebView, void* param, wkeString url, int result, wkeString reason) {
        static_cast<WebViewNet*>(param)->m_finished.push_back({wkeGetStringW(url), wkeGetStringW(reason), result});
    }
    bool LoadAndWait(wkeWebView v, const std::string& url, DWORD ms = 20000) {
        size_t before = m_finished.size();
        wkeLoadW(v, Wide(url).c_str());
        return Pump(ms, [&] { return m_finished.size() > before; });
    }
    // The value of the page's last report of step under code; -1 when there is none.
    static int Reported(int code, int step) {
        int value = -1;
        for (const Call& c : Calls())
            if (std::get<0>(c) == code && std::get<1>(c) == step) value = std::get<2>(c);
        return value;
    }
    static size_t Reports(int code, int step) {
        size_t n = 0;
        for (const Call& c : Calls()) n += std::get<0>(c) == code && std::get<1>(c) == step;
        return n;
    }

    std::vector<wkeWebView> m_views;
    std::vector<Finished> m_finished;
};

// The page's helpers: R(step, value) reports; SOCK(path) is the WebSocket URL of a path on the
// page's own host (ws:// beside http://, wss:// beside https://).
const char kHelpers[] =
    "<script>function R(s, v) { window_external_CppCall(50, s, v); }"
    "function SOCK(p) { var b = location.href.replace(/^http/, 'ws');"
    " return b.slice(0, b.indexOf('/', b.indexOf('//') + 2)) + p; }</script>";

std::string Page(const std::string& script) {
    return std::string("<html><body>") + kHelpers + "<script>" + script + "</script></body></html>";
}

}  // namespace

// Through the proxy variables as every load: plain text, a message in three fragments, a ping
// answered by libcurl (the server speaks again only after its pong), a message of 100,000 bytes
// (frames larger than a read), non-ASCII text; then the page closes and the server answers.
TEST_F(WebViewNet, WebSocketCarriesMessagesBothWaysAndClosesCleanly) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/ws.html", Page(
        "var steps = [['hello', 'hello'], ['frag:3:abcdefg', 'abcdefg'], ['ping:after', 'after'],"
        " ['big:100000', null], ['\\u4e2d\\u6587', '\\u4e2d\\u6587']], i = 0;"
        "var ws = new WebSocket(SOCK('/web/ws/echo'));"
        "R(0, ws.readyState); R(9, ws.url === SOCK('/web/ws/echo') ? 1 : 0);"
        "ws.onopen = function () { R(1, ws.readyState); ws.send(steps[0][0]); };"
        "ws.addEventListener('open', function (e) { R(5, e.target === ws ? 1 : 0); });"
        "ws.onmessage = function (m) { var s = steps[i];"
        " R(10 + i, (s[1] === null ? m.data.length === 100000 : m.data === s[1]) ? 1 : 0);"
        " if (++i < steps.length) ws.send(steps[i][0]); else ws.close(4000, 'done'); };"
        "ws.onclose = function (e) { R(2, e.code); R(3, e.wasClean ? 1 : 0); R(4, ws.readyState); };")));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    for (bool secure : {false, true}) {
        SCOPED_TRACE(secure ? "wss" : "ws");
        Calls().clear();
        wkeWebView v = NewView();
        ASSERT_TRUE(LoadAndWait(v, secure ? sc.HttpsUrl("/ws.html") : sc.Url("/ws.html")));
        ASSERT_TRUE(Pump(20000, [] { return Reported(50, 4) != -1; }));
        EXPECT_EQ(0, Reported(50, 0));
        EXPECT_EQ(1, Reported(50, 9));
        EXPECT_EQ(1, Reported(50, 1));
        EXPECT_EQ(1, Reported(50, 5));
        for (int step = 10; step < 15; ++step) EXPECT_EQ(1, Reported(50, step)) << "message " << step - 10;
        EXPECT_EQ(4000, Reported(50, 2));
        EXPECT_EQ(1, Reported(50, 3));
        EXPECT_EQ(3, Reported(50, 4));
    }
    // Both upgrades went through the stand-in as the proxy: plainly, and inside a CONNECT tunnel.
    auto upgrades = sc.LogFor("/web/ws/echo");
    ASSERT_EQ(2u, upgrades.size());
    EXPECT_EQ("websocket", upgrades[0].Header("Upgrade"));
    EXPECT_EQ("http", upgrades[0].scheme);
    EXPECT_EQ("https", upgrades[1].scheme);
}

// What a page sees when a connection fails or the server ends it; what it may not do.
TEST_F(WebViewNet, WebSocketFailuresAndMisuseReachThePage) {
    const struct {
        const char* name;
        const char* script;
        std::vector<std::pair<int, int>> expected;  // step, value
    } cases[] = {
        {"refused", "var ws = new WebSocket(SOCK('/web/ws/refuse'));"
                    "ws.onerror = function () { R(1, ws.readyState); };"
                    "ws.onclose = function (e) { R(2, e.code); R(3, e.wasClean ? 1 : 0); };",
         {{1, 3}, {2, 1006}, {3, 0}}},
        {"server closes", "var ws = new WebSocket(SOCK('/web/ws/echo'));"
                          "ws.onopen = function () { ws.send('close:4001:bye'); };"
                          "ws.onerror = function () { R(1, 1); };"
                          "ws.onclose = function (e) { R(2, e.code); R(3, e.wasClean ? 1 : 0);"
                          " R(4, e.reason === 'bye' ? 1 : 0); };",
         {{1, -1}, {2, 4001}, {3, 1}, {4, 1}}},
        {"server drops", "var ws = new WebSocket(SOCK('/web/ws/echo'));"
                         "ws.onopen = function () { ws.send('drop'); };"
                         "ws.onclose = function (e) { R(2, e.code); R(3, e.wasClean ? 1 : 0); };",
         {{2, 1006}, {3, 0}}},
        {"closed while connecting", "var ws = new WebSocket(SOCK('/web/ws/echo'));"
                                    "ws.onopen = function () { R(1, 1); };"
                                    "ws.onclose = function (e) { R(2, e.code); R(4, ws.readyState); };"
                                    "ws.close(); R(3, ws.readyState);",
         {{1, -1}, {2, 1006}, {3, 2}, {4, 3}}},
        {"misuse", "var ws = new WebSocket(SOCK('/web/ws/echo'));"
                   "try { ws.send('early'); R(1, 0); } catch (e) { R(1, e.name === 'InvalidStateError' ? 1 : 0); }"
                   "try { new WebSocket('ftp://example.test/'); R(2, 0); } catch (e) { R(2, e.name === 'SyntaxError' ? 1 : 0); }"
                   "ws.onopen = function () { ws.close(); ws.send('late'); R(3, ws.readyState); };"
                   "ws.onclose = function (e) { R(4, e.code); };",
         {{1, 1}, {2, 1}, {3, 2}, {4, 1000}}},
    };
    Json::Value spec;
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
        spec["routes"].append(PageRoute("/case" + std::to_string(i) + ".html", Page(cases[i].script)));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        SCOPED_TRACE(cases[i].name);
        Calls().clear();
        wkeWebView v = NewView();
        ASSERT_TRUE(LoadAndWait(v, sc.Url("/case" + std::to_string(i) + ".html")));
        int last = cases[i].expected.back().first;
        ASSERT_TRUE(Pump(20000, [&] { return Reported(50, last) != -1; }));
        PumpFor(300);  // nothing more follows
        for (const auto& e : cases[i].expected) EXPECT_EQ(e.second, Reported(50, e.first)) << "step " << e.first;
        EXPECT_LE(Reports(50, 2), 1u);
    }
    // The server saw the close frame of "misuse" (its echo answered 1000), and no message after it.
    EXPECT_TRUE(sc.LogFor("/web/ws/refuse").size() == 1u);
}

// Request headers go out, response headers come back (one or all), the ready states come in order,
// a JSON response is parsed, and a body that is no JSON gives null.
TEST_F(WebViewNet, RequestHeadersBothWaysReadyStatesAndJson) {
    Json::Value spec;
    Json::Value api;
    api["path"] = "/api";
    api["body"] = "{\"value\": 42, \"name\": \"\\u4e2d\"}";
    api["headers"]["Content-Type"] = "application/json";
    api["headers"]["X-Reply"] = "yes";
    spec["routes"].append(api);
    Json::Value bad;
    bad["path"] = "/notjson";
    bad["body"] = "<html>";
    spec["routes"].append(bad);
    spec["routes"].append(PageRoute("/xhr.html", Page(
        "var x = new XMLHttpRequest(), states = [];"
        "x.onreadystatechange = function () { states.push(x.readyState); };"
        "x.open('GET', 'api'); x.setRequestHeader('X-Token', 't1'); x.setRequestHeader('x-token', 't2');"
        "x.setRequestHeader('Accept', 'application/json'); x.responseType = 'json';"
        "R(0, x.getResponseHeader('X-Reply') === null ? 1 : 0);"
        "x.onload = function () { R(1, x.status); R(2, x.response.value); R(3, x.response.name === '\\u4e2d' ? 1 : 0);"
        " R(4, x.getResponseHeader('x-reply') === 'yes' ? 1 : 0);"
        " R(5, /\\r\\nX-Reply: yes/i.test('\\r\\n' + x.getAllResponseHeaders()) ? 1 : 0);"
        " R(6, states.join('') === '1234' ? 1 : 0); R(7, x.statusText === 'OK' ? 1 : 0); };"
        "x.addEventListener('loadend', function () { R(8, 1); });"
        "x.send();"
        "try { x.setRequestHeader('Late', '1'); R(9, 0); } catch (e) { R(9, 1); }"
        "var y = new XMLHttpRequest(); y.open('GET', 'notjson'); y.responseType = 'json';"
        "y.onload = function () { R(10, y.response === null ? 1 : 0); }; y.send();"
        "var z = new XMLHttpRequest(); z.open('GET', 'notjson'); z.responseType = 'text';"
        "z.onload = function () { R(11, z.responseText === '<html>' && z.response === '<html>' ? 1 : 0); }; z.send();")));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/xhr.html")));
    ASSERT_TRUE(Pump(15000, [] { return Reported(50, 8) != -1 && Reported(50, 10) != -1 && Reported(50, 11) != -1; }));
    const struct {
        int step, value;
    } expected[] = {{0, 1}, {1, 200}, {2, 42}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {9, 1}, {10, 1}, {11, 1}};
    for (const auto& e : expected) EXPECT_EQ(e.value, Reported(50, e.step)) << "step " << e.step;
    auto sent = sc.LogFor("/api");
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ("t1, t2", sent[0].Header("X-Token"));
    EXPECT_EQ("application/json", sent[0].Header("Accept"));
}

// A request to a server that never answers ends at its time-out (ontimeout, no onload); one
// aborted ends at once with abort and loadend, and later answers nothing; without a time-out of
// its own a request still ends (at 60 s: not waited for here, but it is cancelled with the page).
TEST_F(WebViewNet, RequestTimeoutAndAbort) {
    Json::Value spec;
    Json::Value silent;
    silent["path"] = "/silent*";
    silent["no_reply"] = true;
    silent["stall_seconds"] = 60;
    spec["routes"].append(silent);
    spec["routes"].append(PageRoute("/t.html", Page(
        "var x = new XMLHttpRequest(); x.open('GET', 'silent?1'); x.timeout = 800;"
        "x.ontimeout = function () { R(1, x.readyState); R(2, x.status); };"
        "x.onload = function () { R(3, 1); }; x.onerror = function () { R(4, 1); };"
        "x.addEventListener('loadend', function () { R(5, 1); }); x.send();"
        "var y = new XMLHttpRequest(); y.open('GET', 'silent?2');"
        "y.onabort = function () { R(6, y.readyState); }; y.onloadend = function () { R(7, 1); };"
        "y.onload = y.ontimeout = y.onerror = function () { R(8, 1); };"
        "y.send(); setTimeout(function () { y.abort(); R(9, y.readyState); }, 200);")));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/t.html")));
    ASSERT_TRUE(Pump(15000, [] { return Reported(50, 5) != -1 && Reported(50, 9) != -1; }));
    PumpFor(1500);
    const struct {
        int step, value;
    } expected[] = {{1, 4}, {2, 0}, {3, -1}, {4, -1}, {5, 1}, {6, 4}, {7, 1}, {8, -1}, {9, 0}};
    for (const auto& e : expected) EXPECT_EQ(e.value, Reported(50, e.step)) << "step " << e.step;
}

// One jar: a cookie the document's response set is seen by document.cookie and sent with requests
// and WebSocket upgrades; one a script wrote goes out too; an HttpOnly one is sent but not shown;
// one removed by max-age=0 is gone.
TEST_F(WebViewNet, CookiesAreSharedByDocumentsRequestsSocketsAndScripts) {
    Json::Value spec;
    Json::Value page = PageRoute("/c/page.html", Page(
        "R(1, /(^|; )doc=1($|;)/.test(document.cookie) ? 1 : 0);"
        "document.cookie = 'js=2; path=/'; document.cookie = 'gone=1; path=/';"
        "document.cookie = 'gone=; max-age=0; path=/';"
        "R(2, /(^|; )js=2($|;)/.test(document.cookie) && !/gone=/.test(document.cookie) ? 1 : 0);"
        "var h = new XMLHttpRequest(); h.open('GET', '/c/secret');"
        "h.onload = function () {"
        " R(3, /hid=/.test(document.cookie) ? 0 : 1);"
        " var x = new XMLHttpRequest(); x.open('GET', '/c/echo'); x.onload = function () { R(4, 1);"
        "  var ws = new WebSocket(SOCK('/web/ws/echo')); ws.onopen = function () { ws.send('cookie'); };"
        "  ws.onmessage = function (m) { R(5, /doc=1/.test(m.data) && /js=2/.test(m.data) && /hid=3/.test(m.data) ? 1 : 0);"
        "   ws.close(); }; }; x.send(); };"
        "h.send();"));
    page["headers"]["Set-Cookie"] = "doc=1; Path=/";
    spec["routes"].append(page);
    Json::Value secret;
    secret["path"] = "/c/secret";
    secret["body"] = "ok";
    secret["headers"]["Set-Cookie"] = "hid=3; Path=/; HttpOnly";
    spec["routes"].append(secret);
    Json::Value echo;
    echo["path"] = "/c/echo";
    echo["body"] = "ok";
    spec["routes"].append(echo);
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/c/page.html")));
    ASSERT_TRUE(Pump(15000, [] { return Reported(50, 5) != -1; }));
    for (int step = 1; step <= 5; ++step) EXPECT_EQ(1, Reported(50, step)) << "step " << step;
    auto echoed = sc.LogFor("/c/echo");
    ASSERT_EQ(1u, echoed.size());
    std::string cookie = echoed[0].Header("Cookie");
    EXPECT_NE(std::string::npos, cookie.find("doc=1")) << cookie;
    EXPECT_NE(std::string::npos, cookie.find("js=2")) << cookie;
    EXPECT_NE(std::string::npos, cookie.find("hid=3")) << cookie;
    EXPECT_EQ(std::string::npos, cookie.find("gone")) << cookie;
}

// A server that sends no headers: the load ends as failed by itself (low-speed limit), and the
// view is usable again.
TEST_F(WebViewNet, SilentServerFailsTheDocumentLoad) {
    standin::Scenario sc;
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    UiProbe probe;
    ASSERT_TRUE(probe.Ok());
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/web/stall.html"), 60000));
    EXPECT_EQ(WKE_LOADING_FAILED, m_finished.back().result);
    EXPECT_FALSE(m_finished.back().reason.empty());
    EXPECT_TRUE(wkeIsLoadingCompleted(v));
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/web/second.html")));
    EXPECT_EQ(WKE_LOADING_SUCCEEDED, m_finished.back().result);
    EXPECT_GT(probe.Trips(), 10u);
    EXPECT_LT(probe.Longest(), 2000u);
}

// Requests to a silent server, however many a page starts, hold at most six connections of the
// view to that host; the rest wait and end at their time-out without having been sent.
TEST_F(WebViewNet, AtMostSixTransfersPerHostTheRestWait) {
    Json::Value spec;
    Json::Value silent;
    silent["path"] = "/silent*";
    silent["no_reply"] = true;
    silent["stall_seconds"] = 60;
    spec["routes"].append(silent);
    Json::Value fast;
    fast["path"] = "/fast";
    fast["body"] = "ok";
    spec["routes"].append(fast);
    spec["routes"].append(PageRoute("/many.html", Page(
        "var ended = 0;"
        "for (var i = 0; i < 10; i++) { var x = new XMLHttpRequest(); x.open('GET', 'silent?' + i); x.timeout = 2500;"
        " x.ontimeout = function () { R(1, ++ended); }; x.send(); }")));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/many.html")));
    PumpFor(1500);
    EXPECT_EQ(6u, sc.LogFor("/silent").size());
    ASSERT_TRUE(Pump(15000, [] { return Reported(50, 1) == 10; }));
    PumpFor(500);
    EXPECT_EQ(6u, sc.LogFor("/silent").size());  // the four that waited ran out of time waiting
    // Another view, the same host: slots of its own.
    wkeWebView w = NewView();
    Calls().clear();
    ASSERT_TRUE(LoadAndWait(w, sc.Url("/many.html")));
    PumpFor(1000);
    EXPECT_EQ(12u, sc.LogFor("/silent").size());
}

namespace {
// The bytes of a PNG whose header announces width x height (the picture data is a stub).
std::string PngHeader(unsigned width, unsigned height) {
    auto be = [](unsigned v) { return std::string{(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v}; };
    std::string ihdr = be(width) + be(height) + std::string("\x08\x02\x00\x00\x00", 5);
    return std::string("\x89PNG\r\n\x1a\n", 8) + be(13) + "IHDR" + ihdr + be(0) + be(0) + "IDAT" + be(0) + be(0) +
           "IEND" + be(0);
}
}  // namespace

TEST(WebViewImages, PicturesPastThePixelCapAreRefusedFromTheirHeader) {
    const struct {
        unsigned w, h;
    } cases[] = {{20000, 20000}, {4097, 4096}, {1u << 24, 2}, {0x7FFFFFFF, 0x7FFFFFFF}};
    for (const auto& c : cases) {
        webview::Image img;
        EXPECT_FALSE(webview::DecodeImage(PngHeader(c.w, c.h), img)) << c.w << "x" << c.h;
        EXPECT_EQ(0, img.width);
        EXPECT_TRUE(img.pixels.empty());
    }
}

// Pages that try to hold up the view: each loads, and while it runs the UI thread answers a
// posted message soon (a block of seconds would show). A timer busy past the budget and a
// catastrophic regular expression are stopped (the page's calls stop), a growing heap ends the
// page's scripts, a huge picture is not decoded, a page polling a silent server sends no more
// than six requests at a time.
TEST_F(WebViewNet, HostilePagesLeaveTheUiThreadFree) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/regex.html",
        "<script>var n = 0; setInterval(function () { window_external_CppCall(60, ++n, 0);"
        " /^(a+)+$/.test('aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab'); }, 50);</script>"));
    spec["routes"].append(PageRoute("/busy.html",
        "<script>var n = 0; setInterval(function () { window_external_CppCall(61, ++n, 0);"
        " for (;;) {} }, 20);"
        "for (var k = 0; k < 20; k++) setInterval(function () { for (var t = Date.now(); Date.now() - t < 30;) {} }, 10);"
        "</script>"));
    spec["routes"].append(PageRoute("/grow.html",
        "<script>var keep = [], n = 0; setInterval(function () { window_external_CppCall(62, ++n, 0);"
        " for (var i = 0; i < 100; i++) keep.push(new Array(20000).join('x') + i); }, 10);</script>"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    const struct {
        const char* path;
        int code;           // the page's calls under this code must stop (0: none)
        DWORD runMs;
    } pages[] = {
        {"/regex.html", 60, 4000},
        {"/busy.html", 61, 3000},
        {"/grow.html", 62, 20000},
        {"/web/hostile/png", 0, 1500},
        {"/web/hostile/silent", 0, 2500},
    };
    for (const auto& p : pages) {
        SCOPED_TRACE(p.path);
        Calls().clear();
        UiProbe probe;
        ASSERT_TRUE(probe.Ok());
        wkeWebView v = NewView();
        ASSERT_TRUE(LoadAndWait(v, sc.Url(p.path)));
        EXPECT_EQ(WKE_LOADING_SUCCEEDED, m_finished.back().result);
        if (p.code) {
            // Stopped: within the time given, a whole second passes without a call of its code.
            ASSERT_TRUE(Pump(p.runMs, [&] { return CountCalls(p.code) > 0; }));
            bool stopped = false;
            for (DWORD waited = 0; waited < p.runMs && !stopped; waited += 1000) {
                int before = CountCalls(p.code);
                PumpFor(1000);
                stopped = CountCalls(p.code) == before;
            }
            EXPECT_TRUE(stopped) << CountCalls(p.code) << " calls";
        } else {
            PumpFor(p.runMs);
        }
        // Polling every 100 ms, requests time out after 3 s: before any has, six at most were sent.
        if (std::string(p.path) == "/web/hostile/silent") {
            EXPECT_LE(sc.LogFor("/web/hostile/silent-server").size(), 6u);
        }
        EXPECT_GT(probe.Trips(), 5u);
        EXPECT_LT(probe.Longest(), 2000u);
        wkeDestroyWebView(v);
        m_views.pop_back();
    }
}
