// Scripts against the document: the DOM bindings, selectors, events from the view's input,
// window additions, syntax errors and the cost of repeated innerHTML appends. Pages are served
// by the stand-in; each page reports through the bound "window_external_CppCall".
#include <windows.h>

#include "WebViewTestSupport.h"

using namespace webtest;

namespace {

// One case of a table page: a function body whose result, as a string, must equal want.
struct Case {
    const char* body;
    const char* want;
};

class WebViewScript : public ViewFixture {
protected:
    void ExpectTable(const std::string& fixture, const std::vector<Case>& cases, const std::string& head = "");
};

// A JavaScript string literal of s.
std::string Quote(const std::string& s) {
    std::string r = "'";
    for (char c : s) {
        if (c == '\\' || c == '\'') r += '\\';
        if (c == '\n') {
            r += "\\n";
            continue;
        }
        r += c;
    }
    return r + "'";
}


// A page that runs the cases in order after body (the fixture) has been parsed; case i calls
// CppCall(100 + i, 1 or 2, 0) and logs what it got when that differs.
std::string TablePage(const std::string& fixture, const std::vector<Case>& cases, const std::string& head = "") {
    std::string page = "<!DOCTYPE html><html><head><title>Fixture</title>" + head + "</head><body>" + fixture +
                       "<script>function $(id) { return document.getElementById(id); }\n"
                       "function T(i, f, want) {\n"
                       "  var got;\n"
                       "  try { got = String(f()); } catch (e) { got = 'threw ' + (e && e.name) + ': ' + (e && e.message); }\n"
                       "  if (got !== want) console.log('case ' + i + ': got [' + got + '] want [' + want + ']');\n"
                       "  window_external_CppCall(100 + i, got === want ? 1 : 2, 0);\n"
                       "}\n";
    for (size_t i = 0; i < cases.size(); ++i)
        page += "T(" + std::to_string(i) + ", function () { " + cases[i].body + " }, " + Quote(cases[i].want) + ");\n";
    return page + "</script></body></html>";
}

}  // namespace

// Serves the table page, loads it and expects every case to pass, naming the failing ones with
// what they got.
void WebViewScript::ExpectTable(const std::string& fixture, const std::vector<Case>& cases, const std::string& head) {
    DebugLines lines;
    Json::Value spec;
    spec["routes"].append(PageRoute("/table.html", TablePage(fixture, cases, head)));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/table.html")));
    size_t reported = 0;
    for (const Call& c : Calls())
        if (std::get<0>(c) >= 100 && std::get<0>(c) < 100 + (int)cases.size()) ++reported;
    EXPECT_EQ(cases.size(), reported) << DebugLines::All();
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_TRUE(HasCall(100 + (int)i, 1, 0)) << "case " << i << ": " << cases[i].body << "\n"
                                                 << DebugLines::Find({("case " + std::to_string(i) + ":").c_str()});
}

TEST_F(WebViewScript, NodeAndElementApisReadAndChangeTheDocument) {
    const char* fixture =
        "<div id=\"root\" class=\"box main\" data-foo-bar=\"x\" style=\"color: red\">"
        "<ul id=\"list\"><li id=\"a\" class=\"item first\">A</li><li id=\"b\" class=\"item\">B</li>"
        "<li id=\"c\" class=\"item last\">C</li></ul>"
        "<p id=\"p\">Hello <b>bold</b> world</p></div>";
    // In order: later cases see the changes of earlier ones.
    ExpectTable(fixture, {
        {"return document.body.tagName", "BODY"},
        {"return document.documentElement.nodeName + document.nodeType + document.body.nodeType", "HTML91"},
        {"return document.title", "Fixture"},
        {"document.title = 'Changed'; return document.title + document.querySelector('title').textContent",
         "ChangedChanged"},
        {"return $('list').children.length + ' ' + $('list').firstElementChild.id + $('list').lastElementChild.id",
         "3 ac"},
        {"return $('b').previousElementSibling.id + $('b').nextElementSibling.id + ($('a').parentNode === $('list'))",
         "actrue"},
        {"var p = $('p'); return p.childNodes.length + ' ' + p.firstChild.nodeType + p.firstChild.nodeName + '|' + "
         "p.lastChild.nodeValue + '|' + p.firstChild.nextSibling.tagName + p.lastChild.previousSibling.tagName",
         "3 3#text| world|BB"},
        {"return $('p').textContent", "Hello bold world"},
        {"return $('a') === document.querySelector('#a') && $('a') === $('list').firstElementChild", "true"},
        {"var e = document.createElement('LI'); e.id = 'd'; e.appendChild(document.createTextNode('D')); "
         "$('list').appendChild(e); return $('list').children.length + e.tagName + $('list').lastElementChild.textContent",
         "4LID"},
        {"var z = document.createElement('li'); z.id = 'z'; $('list').insertBefore(z, $('a')); "
         "return $('list').firstElementChild.id + $('a').previousElementSibling.id", "zz"},
        {"var r = $('list').removeChild($('z')); "
         "return r.id + (r.parentNode === null) + $('list').children.length + (document.getElementById('z') === null)",
         "ztrue4true"},
        {"var n = document.createElement('li'); n.id = 'n'; var old = $('list').replaceChild(n, $('d')); "
         "return old.id + $('list').lastElementChild.id + (old.parentNode === null)", "dntrue"},
        {"$('list').appendChild($('a')); return $('list').firstElementChild.id + $('list').lastElementChild.id", "ba"},
        {"var c = $('list').cloneNode(true), s = $('list').cloneNode(false); "
         "return c.children.length + ' ' + s.childNodes.length + ' ' + (c.parentNode === null) + c.firstElementChild.id",
         "4 0 trueb"},
        {"var e = $('b'); e.setAttribute('Title', 'hi'); "
         "return e.getAttribute('title') + e.hasAttribute('title') + e.getAttribute('nope') + e.title", "hitruenullhi"},
        {"$('b').removeAttribute('title'); return $('b').hasAttribute('title') + '|' + $('b').title", "false|"},
        {"var e = $('c'); e.className = 'x y'; e.id = 'cc'; return e.getAttribute('class') + '|' + "
         "(document.getElementById('cc') === e) + (document.getElementById('c') === null)", "x y|truetrue"},
        {"var l = $('root').classList; l.add('extra'); l.remove('main'); var t1 = l.toggle('on'), t2 = l.toggle('box'); "
         "return $('root').className + '|' + t1 + t2 + l.contains('on') + l.contains('box') + l.length",
         "extra on|truefalsetruefalse2"},
        {"var d = $('root').dataset; d.newKey = 'v'; "
         "return d.fooBar + $('root').getAttribute('data-new-key') + ('fooBar' in d) + (d.missing === undefined)",
         "xvtruetrue"},
        {"return $('root').style.color + '|' + $('root').style.cssText", "red|color: red"},
        {"var s = $('root').style; s.backgroundColor = 'blue'; s.color = ''; s.marginTop = '4px'; "
         "return $('root').getAttribute('style') + '|' + s.backgroundColor + '|' + s.getPropertyValue('margin-top')",
         "background-color: blue; margin-top: 4px;|blue|4px"},
        {"$('root').style.cssText = 'width: 10px; height: 5px'; return $('root').style.height + $('root').style.length",
         "5px2"},
        {"return $('p').innerHTML", "Hello <b>bold</b> world"},
        {"$('p').innerHTML = '<i class=\"k\">x</i> &amp; <span>y</span>'; return $('p').childNodes.length + "
         "$('p').firstChild.tagName + $('p').querySelector('.k').textContent + '|' + $('p').innerHTML",
         "3Ix|<i class=\"k\">x</i> &amp; <span>y</span>"},
        {"$('p').innerHTML += '<em>z</em>'; return $('p').children.length + $('p').lastElementChild.tagName + "
         "$('p').textContent", "3EMx & yz"},
        {"$('p').textContent = '<b>not markup</b>'; return $('p').childNodes.length + $('p').innerHTML",
         "1&lt;b&gt;not markup&lt;/b&gt;"},
        {"return document.getElementsByTagName('li').length + ' ' + document.getElementsByClassName('item').length + "
         "' ' + $('root').getElementsByTagName('*').length", "4 2 6"},
        {"try { document.body.removeChild(document.createElement('p')); return 'no'; } catch (e) { return e.name; }",
         "NotFoundError"},
        {"try { $('list').appendChild(null); return 'no'; } catch (e) { return e.name; }", "TypeError"},
        {"try { $('a').appendChild($('list')); return 'no'; } catch (e) { return e.name; }", "HierarchyRequestError"},
        {"var f = document.createDocumentFragment(); f.appendChild(document.createElement('i')); "
         "f.appendChild(document.createElement('i')); $('root').appendChild(f); "
         "return f.childNodes.length + ' ' + $('root').getElementsByTagName('i').length", "0 2"},
        {"return document.body.contains($('b')) + ' ' + $('b').parentElement.id + ' ' + "
         "(document.documentElement.parentElement === null)", "true list true"},
        {"return document.createComment('c').nodeName + document.nodeName", "#comment#document"},
        {"return $('b').outerHTML", "<li id=\"b\" class=\"item\">B</li>"},
    });
}

TEST_F(WebViewScript, QuerySelectorMatchesSelectorsLevelThree) {
    const char* fixture =
        "<div id=\"s\"><p id=\"p1\" class=\"a b\" title=\"hello world\" lang=\"en-US\">"
        "<span id=\"s1\" data-x=\"abc\"></span><span id=\"s2\" class=\"b\"></span><em id=\"e1\"></em></p>"
        "<p id=\"p2\" class=\"c\" title=\"hello\"><span id=\"s3\"></span></p>"
        "<ul id=\"u\"><li id=\"l1\"></li><li id=\"l2\" class=\"odd\"></li><li id=\"l3\"></li><li id=\"l4\"></li>"
        "<li id=\"l5\"></li></ul></div>";
    struct Sel {
        const char* selector;
        const char* ids;  // document order
    } table[] = {
        {"span", "s1,s2,s3"},
        {"#u > *", "l1,l2,l3,l4,l5"},
        {"#p1", "p1"},
        {".b", "p1,s2"},
        {".a.b", "p1"},
        {"p.c", "p2"},
        {"[data-x]", "s1"},
        {"[title=hello]", "p2"},
        {"[title^=hel]", "p1,p2"},
        {"[title$=world]", "p1"},
        {"[title*=\"o w\"]", "p1"},
        {"[class~=b]", "p1,s2"},
        {"[lang|=en]", "p1"},
        {"li:first-child", "l1"},
        {"li:last-child", "l5"},
        {"li:nth-child(2n+1)", "l1,l3,l5"},
        {"li:nth-child(even)", "l2,l4"},
        {"li:nth-child(-n+2)", "l1,l2"},
        {"li:nth-child(3)", "l3"},
        {"li:not(.odd):not(:first-child)", "l3,l4,l5"},
        {"p span", "s1,s2,s3"},
        {"p > em", "e1"},
        {"#s1 + span", "s2"},
        {"#s1 ~ *", "s2,e1"},
        {"em, #s3, span.b", "s2,e1,s3"},
        {"div p:first-child span:last-child", ""},
        {"ul li:nth-child(2) + li", "l3"},
        {"div#s > p[title] > span:first-child", "s1,s3"},
    };
    std::vector<std::string> bodies;
    std::vector<Case> cases;
    for (const Sel& t : table)
        bodies.push_back(std::string("return Array.prototype.map.call($('s').querySelectorAll(") +
                         Quote(t.selector) + "), function (e) { return e.id; }).join(',');");
    for (size_t i = 0; i < bodies.size(); ++i) cases.push_back({bodies[i].c_str(), table[i].ids});
    cases.push_back({"return document.querySelector('.b').id + (document.querySelector('.none') === null)", "p1true"});
    cases.push_back({"try { document.querySelector('p >'); return 'no'; } catch (e) { return e.name; }", "SyntaxError"});
    cases.push_back({"return $('s2').matches('p .b') + ' ' + $('s2').closest('p').id", "true p1"});
    ExpectTable(fixture, cases);
}

TEST_F(WebViewScript, EventsRunCaptureTargetAndBubbleInOrderAndStopWhereTold) {
    const char* head =
        "<script>var log = [], seq = [];"
        "document.addEventListener('DOMContentLoaded', function () { seq.push('dcl-' + document.readyState); });"
        "window.addEventListener('load', function (e) { seq.push('load-' + document.readyState); "
        "  window_external_CppCall(50, seq.join(' ') === 'dcl-interactive load-complete' ? 1 : 2, 0); });"
        "</script>";
    const char* fixture =
        "<div id=\"outer\"><div id=\"inner\">"
        "<button id=\"btn\" onclick=\"log.push('attr'); return false;\">x</button></div></div>";
    ExpectTable(fixture, {
        {"log = []; var o = $('outer'), i = $('inner');"
         "function L(name) { return function (e) { log.push(name + e.eventPhase); }; }"
         "window.addEventListener('ping', L('wc'), true); window.addEventListener('ping', L('wb'));"
         "document.addEventListener('ping', L('dc'), true); document.addEventListener('ping', L('db'));"
         "o.addEventListener('ping', L('oc'), true); o.addEventListener('ping', L('ob'));"
         "i.addEventListener('ping', L('ib')); i.addEventListener('ping', L('ic'), true);"
         "i.dispatchEvent(new Event('ping', { bubbles: true })); return log.join(' ');",
         "wc1 dc1 oc1 ib2 ic2 ob3 db3 wb3"},
        {"log = []; $('inner').dispatchEvent(new Event('ping')); return log.join(' ');", "wc1 dc1 oc1 ib2 ic2"},
        {"log = []; $('outer').addEventListener('ping', function (e) { e.stopPropagation(); log.push('stop'); }, true);"
         "$('inner').dispatchEvent(new Event('ping', { bubbles: true })); return log.join(' ');", "wc1 dc1 oc1 stop"},
        {"log = []; var b = $('btn');"
         "b.addEventListener('pong', function (e) { log.push(1); e.stopImmediatePropagation(); });"
         "b.addEventListener('pong', function () { log.push(2); });"
         "document.addEventListener('pong', function () { log.push(3); });"
         "b.dispatchEvent(new Event('pong', { bubbles: true })); return log.join(' ');", "1"},
        {"var b = $('btn'); b.addEventListener('zap', function (e) { e.preventDefault(); });"
         "var r1 = b.dispatchEvent(new Event('zap', { cancelable: true })), r2 = b.dispatchEvent(new Event('zap'));"
         "return r1 + ' ' + r2;", "false true"},
        {"log = []; var ev = new MouseEvent('click', { bubbles: true, cancelable: true });"
         "var r = $('btn').dispatchEvent(ev); return log.join(' ') + ' ' + r + ' ' + ev.defaultPrevented;",
         "attr false true"},
        {"log = []; $('btn').onclick = function () { log.push('prop'); }; $('btn').click(); return log.join(' ');",
         "prop"},
        {"log = []; var f = function () { log.push('f'); }; $('inner').addEventListener('tick', f);"
         "$('inner').removeEventListener('tick', f);"
         "$('inner').addEventListener('tick', function () { log.push('g'); }, { once: true });"
         "$('inner').dispatchEvent(new Event('tick')); $('inner').dispatchEvent(new Event('tick')); return log.join(' ');",
         "g"},
        {"var seen; $('inner').addEventListener('info', function (e) {"
         "  seen = [e.target.id, e.currentTarget.id, e.type, e.bubbles, this === e.currentTarget, e.detail].join(); });"
         "$('inner').dispatchEvent(new CustomEvent('info', { detail: 5 })); return seen;",
         "inner,inner,info,false,true,5"},
        {"var e = document.createEvent('Event'); e.initEvent('old', true, true); var got = '';"
         "document.addEventListener('old', function (x) { got = x.target.id + x.eventPhase; }); $('btn').dispatchEvent(e);"
         "return got;", "btn3"},
    }, head);
    EXPECT_TRUE(HasCall(50, 1, 0)) << "DOMContentLoaded, then load";
}

TEST_F(WebViewScript, WindowApis) {
    const char* fixture =
        "<div id=\"g\" style=\"margin-left: 10px; width: 50px; height: 20px; padding: 5px; "
        "border: 2px solid black\"></div><span id=\"sp\">x</span>";
    DebugLines lines;
    ExpectTable(fixture, {
        {"return btoa('hi\\u00ff') + ' ' + atob('aGk=') + ' ' + atob(' aGn/ ').length", "aGn/ hi 3"},
        {"try { btoa('\\u0100'); return 'no'; } catch (e) { return e.name; }", "InvalidCharacterError"},
        {"try { atob('a'); return 'no'; } catch (e) { return e.name; }", "InvalidCharacterError"},
        {"return JSON.stringify({ a: [1, 'x'] }) + JSON.parse('{\"b\": 2}').b", "{\"a\":[1,\"x\"]}2"},
        {"return navigator.userAgent.length > 0", "true"},
        {"return innerWidth + 'x' + innerHeight", "400x300"},
        {"return location.href === document.location.href && /\\/table\\.html$/.test(location.href)", "true"},
        {"return getComputedStyle($('g')).display + ' ' + getComputedStyle($('sp')).getPropertyValue('display')",
         "block inline"},
        {"var r = $('g').getBoundingClientRect(); return [r.left, r.top, r.width, r.height].join()", "10,0,64,34"},
        {"var g = $('g'); return [g.offsetLeft, g.offsetTop, g.offsetWidth, g.offsetHeight, g.clientWidth, "
         "g.clientHeight, g.offsetParent === document.body].join()", "10,0,64,34,60,30,true"},
        {"console.log('hello', 42); console.warn('careful'); return 1", "1"},
        {"var r = document.createElement('div').getBoundingClientRect(); return r.width + r.height", "0"},
        {"return typeof requestAnimationFrame(function (t) {"
         "  window_external_CppCall(60, typeof t === 'number' ? 1 : 2, 0); })", "number"},
        {"cancelAnimationFrame(requestAnimationFrame(function () { window_external_CppCall(61, 0, 0); })); return 1", "1"},
    }, "<style>body { margin: 0 }</style>");
    EXPECT_FALSE(DebugLines::Find({"hello 42"}).empty()) << DebugLines::All();
    EXPECT_FALSE(DebugLines::Find({"careful"}).empty());
    ASSERT_TRUE(Pump(5000, [] { return HasCall(60, 1, 0); }));
    PumpFor(100);
    EXPECT_FALSE(HasCall(61, 0, 0));
}

TEST_F(WebViewScript, LocalStorageOutlivesTheDocumentAndStaysWithItsOrigin) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/store.html",
        "<script>localStorage.clear(); localStorage.setItem('k', 'v'); localStorage.other = 'w';"
        "localStorage.setItem('gone', 'x'); localStorage.removeItem('gone');"
        "window_external_CppCall(1, localStorage.length, 0);</script>"));
    spec["routes"].append(PageRoute("/read.html",
        "<script>var keys = [localStorage.key(0), localStorage.key(1)].sort().join();"
        "window_external_CppCall(2, localStorage.getItem('k') === 'v' && localStorage.other === 'w' ? 1 : 0,"
        " localStorage.length * 10 + (keys === 'k,other' ? 1 : 0));</script>"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/store.html")));
    ASSERT_TRUE(HasCall(1, 2, 0));
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/read.html")));  // a new document, same origin
    EXPECT_TRUE(HasCall(2, 1, 21));
    Calls().clear();
    wkeWebView other = NewView();  // another view of the same origin
    ASSERT_TRUE(LoadAndWait(other, sc.Url("/read.html")));
    EXPECT_TRUE(HasCall(2, 1, 21));
    Calls().clear();
    ASSERT_TRUE(LoadAndWait(other, sc.HttpsUrl("/read.html")));  // another origin sees nothing
    EXPECT_TRUE(HasCall(2, 0, 0));
}

TEST_F(WebViewScript, SyntaxTheEngineLacksIsReportedWithFileAndLine) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/syntax.html",
        "<html><body><script>var ok = 1;\nvar g = 2;\nvar f = (x) => x;\n</script>"
        "<script src=\"/bad.js\"></script>"
        "<script>window_external_CppCall(1, 0, 0);</script></body></html>"));
    Json::Value js;
    js["path"] = "/bad.js";
    js["body"] = "var a = 1;\nvar b = `template`;\n";
    js["headers"]["Content-Type"] = "application/javascript";
    spec["routes"].append(js);
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    DebugLines lines;
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/syntax.html")));
    EXPECT_TRUE(HasCall(1, 0, 0)) << "the scripts after the broken ones still run";
    EXPECT_FALSE(DebugLines::Find({"inline", "line 3"}).empty()) << DebugLines::All();
    EXPECT_FALSE(DebugLines::Find({sc.Url("/bad.js").c_str(), "line 2"}).empty()) << DebugLines::All();
}

namespace {

// A message-only window that counts the posted messages it receives.
struct Echo {
    HWND hwnd = nullptr;
    static int& Count() {
        static int n = 0;
        return n;
    }
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == WM_APP + 7) ++Count();
        return ::DefWindowProcW(h, m, w, l);
    }
    Echo() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"WebViewScriptEcho";
        ::RegisterClassW(&wc);
        hwnd = ::CreateWindowW(L"WebViewScriptEcho", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        Count() = 0;
    }
    ~Echo() {
        if (hwnd) ::DestroyWindow(hwnd);
    }
};

}  // namespace

// 3,000 appends rebuild a growing string each time (quadratic in the script itself): on a slow
// machine they may outlast a call's deadline. Either way the appended nodes are whole, the page
// goes on (the timer set before the loop still runs) and the UI thread is free; 300 appends, well
// within the deadline, run to the end.
TEST_F(WebViewScript, InnerHtmlAppendsStayWholeAndLeaveTheUiThreadFree) {
    const char* kPage =
        "<div id=\"t\"></div><script>var t = document.getElementById('t');"
        "setTimeout(function () { window_external_CppCall(11, t.children.length,"
        "  t.lastChild ? parseInt(t.lastChild.textContent, 10) : -1); }, 0);"
        "for (var i = 0; i < N; i++) t.innerHTML += '<span class=\"s\">' + i + '</span>';"
        "window_external_CppCall(9, t.children.length, parseInt(t.lastChild.textContent, 10));"
        "window_external_CppCall(10, t.getBoundingClientRect().height > 0 ? 1 : 0, 0);</script>";
    for (int n : {300, 3000}) {
        SCOPED_TRACE(n);
        std::string page = kPage;
        page.replace(page.find("N;"), 1, std::to_string(n));
        Json::Value spec;
        spec["routes"].append(PageRoute("/append.html", page));
        standin::Scenario sc(spec);
        ASSERT_TRUE(sc.Ok()) << sc.Error();
        Echo echo;
        ASSERT_NE(nullptr, echo.hwnd);
        DebugLines debug;
        Calls().clear();
        wkeWebView v = NewView();
        ASSERT_TRUE(LoadAndWait(v, sc.Url("/append.html"), 60000));
        ASSERT_TRUE(Pump(10000, [] { return CountCalls(11) == 1; }));
        int children = -1, last = -2;
        for (const Call& c : Calls())
            if (std::get<0>(c) == 11) children = std::get<1>(c), last = std::get<2>(c);
        EXPECT_GT(children, 0);
        EXPECT_EQ(children - 1, last) << "every append is whole";
        if (n == 300 || HasCall(9, n, n - 1)) {
            EXPECT_EQ(n, children);
            EXPECT_TRUE(HasCall(9, n, n - 1));
            EXPECT_TRUE(HasCall(10, 1, 0));
        } else {
            EXPECT_LT(children, n);
            EXPECT_TRUE(!DebugLines::Find({"deadline"}).empty() || !DebugLines::Find({"timeout"}).empty())
                << DebugLines::All();
        }
        wkeRepaintIfNeededAfterInterval(v);
        ASSERT_TRUE(::PostMessageW(echo.hwnd, WM_APP + 7, 0, 0));
        EXPECT_TRUE(Pump(10000, [] { return Echo::Count() == 1; }));
        Forget(v);
        wkeDestroyWebView(v);
    }
}

TEST_F(WebViewScript, MouseEventsAtAPaintedElementCarryClientAndOffsetPositions) {
    // kind, clientX * 1000 + clientY, offsetX * 1000 + offsetY; kind 7: what reached the document.
    Json::Value spec;
    spec["routes"].append(PageRoute("/mouse.html",
        "<html><head><style>body { margin: 0 }</style></head><body><div style=\"height: 50px\"></div>"
        "<div id=\"box\" style=\"margin-left: 100px; width: 80px; height: 40px; background: #00c800\"></div>"
        "<a id=\"lnk\" href=\"/next.html\" style=\"display: block; height: 30px\">next</a>"
        "<script>var kinds = { mousedown: 1, mouseup: 2, click: 3, mouseover: 4, mouseout: 5, mousemove: 6 };"
        "var box = document.getElementById('box');"
        "Object.keys(kinds).forEach(function (t) { box.addEventListener(t, function (e) {"
        "  window_external_CppCall(kinds[t], e.clientX * 1000 + e.clientY, e.offsetX * 1000 + e.offsetY); }); });"
        "document.addEventListener('mousedown', function (e) {"
        "  window_external_CppCall(7, e.target === box ? 1 : 0, e.button); });"
        "document.getElementById('lnk').addEventListener('click', function (e) {"
        "  if (window.stopLinks) e.preventDefault(); window_external_CppCall(8, 0, 0); });"
        "window.stopLinks = true;</script></body></html>"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/mouse.html")));
    wkeRepaintIfNeededAfterInterval(v);
    ASSERT_EQ(RGB(0, 200, 0), ::GetPixel(wkeGetViewDC(v), 120, 60)) << "the box is painted where the events go";

    wkeFireMouseEvent(v, WM_MOUSEMOVE, 120, 60, 0);
    EXPECT_TRUE(HasCall(4, 120060, 20010));
    EXPECT_TRUE(HasCall(6, 120060, 20010));
    wkeFireMouseEvent(v, WM_LBUTTONDOWN, 120, 60, MK_LBUTTON);
    wkeFireMouseEvent(v, WM_LBUTTONUP, 120, 60, 0);
    EXPECT_TRUE(HasCall(1, 120060, 20010));
    EXPECT_TRUE(HasCall(2, 120060, 20010));
    EXPECT_TRUE(HasCall(3, 120060, 20010));
    EXPECT_TRUE(HasCall(7, 1, 0));
    wkeFireMouseEvent(v, WM_MOUSEMOVE, 300, 200, 0);
    EXPECT_TRUE(HasCall(5, 300200, 0) || CountCalls(5) == 1);
    wkeFireMouseEvent(v, WM_RBUTTONDOWN, 121, 61, MK_RBUTTON);
    EXPECT_TRUE(HasCall(7, 1, 2)) << "right button";

    // The link's listener prevents the default: no navigation. Then it lets it go.
    wkeFireMouseEvent(v, WM_LBUTTONDOWN, 20, 105, MK_LBUTTON);
    wkeFireMouseEvent(v, WM_LBUTTONUP, 20, 105, 0);
    EXPECT_EQ(1, CountCalls(8));
    PumpFor(300);
    EXPECT_EQ(0u, CountGets(sc, "/next.html"));
    EXPECT_TRUE(wkeIsLoadingCompleted(v));
}

TEST_F(WebViewScript, KeyEventsBubbleFromTheBodyToTheWindow) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/keys.html",
        "<body><script>function code(k) { return k.length === 1 ? k.charCodeAt(0) : k === 'Enter' ? 1 : 0; }"
        "['keydown', 'keyup', 'keypress'].forEach(function (t, i) { document.addEventListener(t, function (e) {"
        "  window_external_CppCall(i + 1, e.keyCode || e.charCode, code(e.key)); }); });"
        "window.addEventListener('keydown', function (e) {"
        "  window_external_CppCall(4, e.target === document.body ? 1 : 0, e.which); });</script></body>"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/keys.html")));
    wkeSetFocus(v);
    EXPECT_TRUE(wkeFireKeyDownEvent(v, 'A', 0, false));
    EXPECT_TRUE(wkeFireKeyPressEvent(v, 'a', 0, false));
    EXPECT_TRUE(wkeFireKeyUpEvent(v, VK_RETURN, 0, false));
    EXPECT_TRUE(HasCall(1, 'A', 'a'));
    EXPECT_TRUE(HasCall(3, 'a', 'a'));
    EXPECT_TRUE(HasCall(2, VK_RETURN, 1));
    EXPECT_TRUE(HasCall(4, 1, 'A'));
}
