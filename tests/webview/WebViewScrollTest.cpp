// Scrolling in a real view: the page's bars appear only when the page overflows and take their
// width from the layout, keys, wheel, the bars' arrows and track and a dragged thumb scroll the
// page, clipping boxes scroll under the wheel before the page, fixed boxes stay put, scripts read
// and set scroll positions, repainting after a scroll gives the picture a full paint gives, and
// the console's host window shows the hand over a link. Pages over loopback HTTP from the
// stand-in, read back from the view's picture and its hit testing.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "Script.h"
#include "UIManager.h"
#include "UIVerticalLayout.h"
#include "View.h"
#include "WebViewTestSupport.h"
#include "WkeWebkitUI.h"

using namespace webtest;

namespace {

const int kRows = 100, kRowHeight = 50;

COLORREF RowColor(int i) {
    return RGB(i * 2, 255 - i * 2, 128);
}

std::string Css(COLORREF c) {
    return "rgb(" + std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," +
           std::to_string(GetBValue(c)) + ")";
}

// kRows rows of kRowHeight pixels, each of its own colour, ids r0...
std::string Rows(int n, const char* prefix = "r") {
    std::string rows;
    for (int i = 0; i < n; ++i)
        rows += "<div id=" + std::string(prefix) + std::to_string(i) + " style=\"height:" +
                std::to_string(kRowHeight) + "px;background-color:" + Css(RowColor(i)) + "\"></div>";
    return rows;
}

std::string LongPage() {
    return "<html><body style=\"margin:0\">" + Rows(kRows) + "</body></html>";
}

class WebViewScroll : public ViewFixture {
protected:
    dom_node* ById(wkeWebView v, const char* id) { return v->doc.ElementById(id); }
    RECT Box(wkeWebView v, const char* id) {
        RECT r{};
        dom_node* n = ById(v, id);
        EXPECT_NE(nullptr, n) << id;
        EXPECT_TRUE(n && webview::NodeBox(v, n, &r)) << id;
        return r;
    }
    // The row whose colour the picture shows at (x, y) of the view, -1 for none.
    int RowShownAt(wkeWebView v, int x, int y) {
        COLORREF px = PixelAt(v, x, y);
        for (int i = 0; i < kRows; ++i)
            if (RowColor(i) == px) return i;
        return -1;
    }
    wkeWebView LoadPage(const std::string& html, int w = 400, int h = 300) {
        Json::Value spec;
        spec["routes"].append(PageRoute("/page.html", html));
        m_sc.reset(new standin::Scenario(spec));
        EXPECT_TRUE(m_sc->Ok()) << m_sc->Error();
        wkeWebView v = NewView(w, h);
        EXPECT_TRUE(LoadAndWait(v, m_sc->Url("/page.html")));
        wkeRepaintIfNeededAfterInterval(v);
        return v;
    }
    void Wheel(wkeWebView v, int x, int y, int notches, unsigned flags = 0) {
        for (int i = 0; i < notches; ++i) wkeFireMouseWheelEvent(v, x, y, -120, flags);
    }
    void Key(wkeWebView v, unsigned code) {
        wkeFireKeyDownEvent(v, code, 0, false);
        wkeFireKeyUpEvent(v, code, 0, false);
    }
    void Run(wkeWebView v, const std::string& code) {
        ASSERT_TRUE(v->script);
        v->script->Run(code, "test");
    }
    // The view's picture as it is painted now.
    static std::vector<uint32_t> Picture(wkeWebView v) {
        wkeRepaintIfNeededAfterInterval(v);
        ::GdiFlush();
        DIBSECTION ds{};
        if (!v->dib || ::GetObjectW(v->dib, sizeof(ds), &ds) != sizeof(ds) || !ds.dsBm.bmBits) return {};
        const uint32_t* bits = static_cast<const uint32_t*>(ds.dsBm.bmBits);
        return std::vector<uint32_t>(bits, bits + (size_t)ds.dsBm.bmWidth * ds.dsBm.bmHeight);
    }
    // The same page painted whole, at the scroll it shows now.
    static std::vector<uint32_t> FullPicture(wkeWebView v) {
        v->dirty = true;
        return Picture(v);
    }

    std::unique_ptr<standin::Scenario> m_sc;
};

}  // namespace

TEST_F(WebViewScroll, LongPageScrollsByKeysWheelArrowsTrackAndThumb) {
    wkeWebView v = LoadPage(LongPage());
    // The bar takes its width from the page: the body is laid out narrower.
    ASSERT_TRUE(v->scrolling.barV);
    EXPECT_FALSE(v->scrolling.barH);
    RECT row = Box(v, "r0");
    EXPECT_EQ(0, row.left);
    EXPECT_EQ(400 - webview::kBarSize, row.right);
    EXPECT_EQ(0, RowShownAt(v, 10, 10));
    EXPECT_EQ(-1, RowShownAt(v, 400 - 8, 150)) << "the bar is drawn at the right edge";
    EXPECT_EQ(1, RowShownAt(v, 400 - webview::kBarSize - 1, 60)) << "the page reaches the bar";

    const int maxY = kRows * kRowHeight - 300;
    struct Step {
        const char* what;
        unsigned key;
        int wheelNotches;
        int scrollY;
    } steps[] = {
        {"arrow down", VK_DOWN, 0, 40},    {"wheel", 0, 1, 100},        {"page down", VK_NEXT, 0, 360},
        {"arrow up", VK_UP, 0, 320},       {"end", VK_END, 0, maxY},    {"wheel at the end", 0, 1, maxY},
        {"page up", VK_PRIOR, 0, maxY - 260}, {"home", VK_HOME, 0, 0},
    };
    for (const Step& s : steps) {
        if (s.key) Key(v, s.key);
        else Wheel(v, 100, 100, s.wheelNotches);
        EXPECT_EQ(s.scrollY, v->scrollY) << s.what;
        EXPECT_EQ((s.scrollY + 10) / kRowHeight, RowShownAt(v, 10, 10)) << s.what;
        EXPECT_EQ((s.scrollY + 290) / kRowHeight, RowShownAt(v, 10, 290)) << s.what;
        dom_node* hit = webview::NodeAt(v, 10, 290);
        EXPECT_EQ(ById(v, ("r" + std::to_string((s.scrollY + 290) / kRowHeight)).c_str()), hit) << s.what;
    }

    // The bar's arrows and track, clicked.
    const int barX = 400 - webview::kBarSize / 2;
    Click(v, barX, 300 - 5);
    EXPECT_EQ(40, v->scrollY) << "down arrow";
    Click(v, barX, 5);
    EXPECT_EQ(0, v->scrollY) << "up arrow";
    Click(v, barX, 250);
    EXPECT_EQ(260, v->scrollY) << "track below the thumb";
    Click(v, barX, 20);
    EXPECT_EQ(0, v->scrollY) << "track above the thumb";
    EXPECT_EQ(0, RowShownAt(v, 10, 10));

    // The thumb, dragged half way down its track: the page follows, about half way down.
    const int thumbGrab = webview::kBarSize + 4;
    const int track = 300 - 2 * webview::kBarSize;
    const int thumb = track * 300 / (kRows * kRowHeight);
    ASSERT_TRUE(wkeFireMouseEvent(v, WM_LBUTTONDOWN, barX, thumbGrab, MK_LBUTTON));
    wkeFireMouseEvent(v, WM_MOUSEMOVE, barX, thumbGrab + 40, MK_LBUTTON);
    wkeFireMouseEvent(v, WM_MOUSEMOVE, barX - 30, thumbGrab + (track - thumb) / 2, MK_LBUTTON);
    wkeFireMouseEvent(v, WM_LBUTTONUP, barX - 30, thumbGrab + (track - thumb) / 2, 0);
    EXPECT_NEAR(maxY / 2, v->scrollY, 30);
    int dragged = v->scrollY;
    EXPECT_EQ((dragged + 10) / kRowHeight, RowShownAt(v, 10, 10));
    // Released: moving the mouse no longer scrolls.
    wkeFireMouseEvent(v, WM_MOUSEMOVE, barX, 280, 0);
    EXPECT_EQ(dragged, v->scrollY);
}

TEST_F(WebViewScroll, BarsAppearOnlyWhenThePageOverflows) {
    const char* kShort = "<div id=a style=\"height:100px;background-color:#ff0000\"></div>";
    const char* kTall = "<div id=a style=\"height:900px;background-color:#ff0000\"></div>";
    const char* kWide = "<div id=a style=\"height:100px;width:1000px;background-color:#ff0000\"></div>";
    const char* kBoth = "<div id=a style=\"height:900px;width:1000px;background-color:#ff0000\"></div>";
    const struct {
        const char* what;
        const char* body;
        const char* sheet;
        bool vertical, horizontal;
        int wheelY, scriptY, wheelX;  // where a notch down, scrollTo(0, 30) and a notch sideways leave it
    } cases[] = {
        {"short", kShort, "", false, false, 0, 0, 0},
        {"exactly the view's height", "<div id=a style=\"height:300px;background-color:#ff0000\"></div>", "", false,
         false, 0, 0, 0},
        {"tall", kTall, "", true, false, 60, 30, 0},
        {"wide", kWide, "", false, true, 0, 0, 60},
        {"tall and wide", kBoth, "", true, true, 60, 30, 60},
        // The page's overflow is the root's, else the body's: hidden, the user does not scroll it,
        // its scripts may; scroll, the bars are always there.
        {"tall, the body's overflow hidden", kTall, "body { overflow: hidden }", false, false, 0, 30, 0},
        {"short, the root's overflow scroll", kShort, "html { overflow: scroll }", true, true, 0, 0, 0},
        {"wide, hidden sideways", kWide, "html { overflow-x: hidden }", false, false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        wkeWebView v = LoadPage(std::string("<html><head><style>") + c.sheet + "</style></head><body style=\"margin:0\">" +
                                c.body + "</body></html>");
        EXPECT_EQ(c.vertical, v->scrolling.barV) << c.what;
        EXPECT_EQ(c.horizontal, v->scrolling.barH) << c.what;
        // Where no bar is, the page reaches the view's edge.
        EXPECT_EQ(!c.vertical, PixelAt(v, 395, 50) == RGB(255, 0, 0)) << c.what;
        // (The bar's track is a check of the button face and white: two pixels side by side.)
        auto page = [&](int x, int y) {
            COLORREF a = PixelAt(v, x, y), b = PixelAt(v, x + 1, y);
            return a == b && (a == RGB(255, 255, 255) || a == RGB(255, 0, 0));
        };
        EXPECT_EQ(!c.horizontal, page(50, 295)) << c.what;
        if (std::string(c.body).find("width") == std::string::npos) {
            EXPECT_EQ(c.vertical ? 400 - webview::kBarSize : 400, Box(v, "a").right) << c.what;
        }
        Wheel(v, 50, 50, 1);
        EXPECT_EQ(c.wheelY, v->scrollY) << c.what;
        Run(v, "scrollTo(0, 30)");
        EXPECT_EQ(c.scriptY, v->scrollY) << c.what;
        // Sideways: Shift with the wheel and the arrow keys.
        Wheel(v, 50, 50, 1, MK_SHIFT);
        EXPECT_EQ(c.wheelX, v->scrollX) << c.what;
        Key(v, VK_RIGHT);
        EXPECT_EQ(c.wheelX ? c.wheelX + 40 : 0, v->scrollX) << c.what;
        Key(v, VK_LEFT);
        EXPECT_EQ(c.wheelX, v->scrollX) << c.what;
        if (c.wheelX) {
            // What the view shows moved: the point 60 px into the page is at the left edge.
            Run(v, "window_external_CppCall(1, document.getElementById('a').getBoundingClientRect().left, scrollX)");
            EXPECT_TRUE(HasCall(1, -c.wheelX, c.wheelX)) << c.what;
        }
        Calls().clear();
        wkeDestroyWebView(v);
        Forget(v);
    }
}

TEST_F(WebViewScroll, ClippingBoxScrollsUnderTheWheelBeforeThePage) {
    wkeWebView v = LoadPage("<html><body style=\"margin:0\"><div id=box style=\"overflow:auto;height:100px;width:200px\">" +
                            Rows(10) + "</div>" + "<div style=\"height:2000px\"></div></body></html>");
    dom_node* box = ById(v, "box");
    ASSERT_NE(nullptr, box);
    webview::Box* b = v->render.BoxOf(box);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(0, RowShownAt(v, 10, 10));
    EXPECT_EQ(-1, RowShownAt(v, 200 - 8, 50)) << "the box draws its own bar";

    // The wheel over the box scrolls the box, not the page.
    Wheel(v, 50, 50, 1);
    EXPECT_EQ(60, b->scroll.y);
    EXPECT_EQ(0, v->scrollY);
    EXPECT_EQ(1, RowShownAt(v, 10, 10));
    EXPECT_EQ(ById(v, "r1"), webview::NodeAt(v, 10, 10));
    EXPECT_EQ(3, RowShownAt(v, 10, 95));
    Run(v, "var b = document.getElementById('box');"
           "window_external_CppCall(2, b.scrollTop, b.scrollHeight); window_external_CppCall(3, b.clientHeight, 0);");
    EXPECT_TRUE(HasCall(2, 60, 10 * kRowHeight));
    EXPECT_TRUE(HasCall(3, 100, 0));

    // At its end the box stays and the page scrolls.
    Wheel(v, 50, 50, 6);
    EXPECT_EQ(10 * kRowHeight - 100, b->scroll.y);
    EXPECT_EQ(0, v->scrollY);
    EXPECT_EQ(9, RowShownAt(v, 10, 95));
    Wheel(v, 50, 50, 1);
    EXPECT_EQ(10 * kRowHeight - 100, b->scroll.y);
    EXPECT_EQ(60, v->scrollY);
    // Outside the box the wheel scrolls the page.
    Wheel(v, 300, 200, 1);
    EXPECT_EQ(120, v->scrollY);

    // The box's own bar: its up arrow scrolls it back.
    Key(v, VK_HOME);
    Click(v, 200 - 8, 5);
    EXPECT_EQ(10 * kRowHeight - 100 - 40, b->scroll.y);
    EXPECT_EQ(0, v->scrollY);

    // Scripts set it; what shows follows.
    Run(v, "document.getElementById('box').scrollTop = 150;");
    EXPECT_EQ(150, b->scroll.y);
    EXPECT_EQ(3, RowShownAt(v, 10, 10));
}

TEST_F(WebViewScroll, FixedHeaderStaysAtTheTopWhenThePageScrolls) {
    wkeWebView v = LoadPage("<html><body style=\"margin:0\"><div id=head style=\"position:fixed;top:0;left:0;"
                            "width:100px;height:30px;background-color:#0000ff\"></div>" +
                            Rows(kRows) + "</body></html>");
    const webview::Box* root = v->render.Root();
    ASSERT_NE(nullptr, root);
    webview::Box* head = v->render.BoxOf(ById(v, "head"));
    ASSERT_NE(nullptr, head);
    bool inRoot = false;
    for (const webview::PaintItem& it : root->items) inRoot = inRoot || it.box == head;
    ASSERT_TRUE(inRoot) << "a fixed box is drawn from the root's list, at the view's coordinates";
    for (int notches : {0, 3, 10}) {
        Wheel(v, 200, 200, notches);
        EXPECT_EQ(RGB(0, 0, 255), PixelAt(v, 50, 15)) << v->scrollY;
        EXPECT_EQ(ById(v, "head"), webview::NodeAt(v, 50, 15)) << v->scrollY;
        EXPECT_EQ((v->scrollY + 100) / kRowHeight, RowShownAt(v, 50, 100)) << v->scrollY;
        EXPECT_TRUE(FullPicture(v) == Picture(v)) << v->scrollY;
        Run(v, "window_external_CppCall(4, document.getElementById('head').getBoundingClientRect().top, scrollY)");
        EXPECT_TRUE(HasCall(4, 0, v->scrollY)) << v->scrollY;
    }
}

TEST_F(WebViewScroll, ScriptsReadAndSetTheScroll) {
    DebugLines lines;
    wkeWebView v = LoadPage("<html><body style=\"margin:0\">" + Rows(kRows) + "<script>addEventListener('scroll', "
                            "function () { window_external_CppCall(20, scrollY, 0); });</script></body></html>");
    Run(v, "scrollTo(0, 500); window_external_CppCall(1, scrollY, pageYOffset);");
    EXPECT_EQ(500, v->scrollY);
    EXPECT_TRUE(HasCall(1, 500, 500));
    EXPECT_EQ(10, RowShownAt(v, 10, 10));
    Run(v, "scrollBy(0, -100); window_external_CppCall(2, window.scrollY, document.documentElement.scrollTop);");
    EXPECT_TRUE(HasCall(2, 400, 400));
    Run(v, "document.documentElement.scrollTop = 1000; window_external_CppCall(3, scrollY, document.body.scrollTop);");
    EXPECT_TRUE(HasCall(3, 1000, 1000));
    Run(v, "document.body.scrollTop = 50; window_external_CppCall(4, scrollY, 0);");
    EXPECT_TRUE(HasCall(4, 50, 0));
    Run(v, "var e = document.documentElement;"
           "window_external_CppCall(5, e.scrollHeight, e.clientHeight); window_external_CppCall(6, e.clientWidth, 0);");
    EXPECT_TRUE(HasCall(5, kRows * kRowHeight, 300));
    EXPECT_TRUE(HasCall(6, 400 - webview::kBarSize, 0));
    // Beyond the end: held at the end.
    Run(v, "scrollTo(0, 1e6); window_external_CppCall(7, scrollY, 0);");
    EXPECT_TRUE(HasCall(7, kRows * kRowHeight - 300, 0));
    Run(v, "document.getElementById('r42').scrollIntoView(); window_external_CppCall(8, scrollY, 0);"
           "window_external_CppCall(9, document.getElementById('r42').getBoundingClientRect().top, 0);");
    EXPECT_TRUE(HasCall(8, 42 * kRowHeight, 0));
    EXPECT_TRUE(HasCall(9, 0, 0));
    EXPECT_EQ(42, RowShownAt(v, 10, 10));
    EXPECT_EQ(ById(v, "r42"), webview::NodeAt(v, 10, 10));
    // The page hears of scrolls before the next repaint, once for each new position.
    EXPECT_TRUE(HasCall(20, 500, 0)) << DebugLines::All();
    EXPECT_TRUE(HasCall(20, 42 * kRowHeight, 0));
    EXPECT_EQ(2, CountCalls(20));
    Wheel(v, 100, 100, 1);
    wkeRepaintIfNeededAfterInterval(v);
    wkeRepaintIfNeededAfterInterval(v);
    EXPECT_TRUE(HasCall(20, 42 * kRowHeight + 60, 0));
    EXPECT_EQ(3, CountCalls(20));
}

TEST_F(WebViewScroll, RepaintingAfterScrollsAndChangesMatchesAFullPaint) {
    wkeWebView v = LoadPage("<html><body style=\"margin:0\"><div id=box style=\"overflow:auto;height:100px;"
                            "width:200px\">" + Rows(10, "b") + "</div>" + Rows(kRows) + "</body></html>");
    std::vector<uint32_t> before = Picture(v);
    ASSERT_FALSE(before.empty());
    // Scrolls of every size, down and up: the picture is copied and the band scrolled in painted.
    for (int notches : {1, 2, 7, -3, 12, -1}) {
        for (int i = 0; i < (notches > 0 ? notches : -notches); ++i)
            wkeFireMouseWheelEvent(v, 300, 200, notches > 0 ? -120 : 120, 0);
        std::vector<uint32_t> partial = Picture(v);
        EXPECT_TRUE(partial == FullPicture(v)) << "at " << v->scrollY;
    }
    // The box scrolled: only its area is painted and shown again.
    v->scrollY = 0;
    Picture(v);
    Wheel(v, 50, 50, 1);
    ASSERT_TRUE(wkeRepaintIfNeededAfterInterval(v));
    RECT changed{};
    wkeGetRepaintedRect(v, &changed);
    EXPECT_EQ(0, changed.left);
    EXPECT_EQ(0, changed.top);
    EXPECT_LE(changed.right, 200);
    EXPECT_LE(changed.bottom, 100);
    std::vector<uint32_t> partial = Picture(v);
    EXPECT_TRUE(partial == FullPicture(v));
    EXPECT_FALSE(wkeRepaintIfNeededAfterInterval(v)) << "nothing changed since";
}

TEST_F(WebViewScroll, ChangesRepaintOnlyWhatTheyTouch) {
    wkeWebView v = LoadPage("<html><head><style>#r24:hover { background-color: #0000ff !important }</style></head>"
                            "<body style=\"margin:0\"><div id=note style=\"height:60px\"><p id=t "
                            "style=\"margin:0\">some text</p></div><table style=\"width:300px;height:40px\"><tr><td id=c1>a</td>"
                            "<td id=c2>b</td></tr><tr><td>c</td><td>d</td></tr></table>" + Rows(kRows) + "</body></html>");
    Run(v, "scrollTo(0, 1000);");
    Picture(v);
    const struct {
        const char* what;
        const char* script;
        // The element whose box is painted again; null: the whole view; "": any; "-": nothing.
        const char* area;
        const char* hover; // the element the mouse moves onto (after the script)
    } cases[] = {
        {"a row's colour", "document.getElementById('r20').style.backgroundColor = '#ff0000';", "r20"},
        {"a row's class, twice", "var e = document.getElementById('r21'); e.className = 'x'; e.className = 'y';", "r21"},
        {"a row taller", "document.getElementById('r22').style.height = '80px';", nullptr},
        {"scrolled and a text changed", "scrollTo(0, 0); document.getElementById('t').textContent = 'other words';",
         nullptr},
        {"the text again, not scrolled", "document.getElementById('t').textContent = 'some text';", "t"},
        {"a table cell wider: the columns move", "document.getElementById('c1').textContent = 'a longer text';", ""},
        {"a table cell's colour", "document.getElementById('c2').style.backgroundColor = '#00ff00';", ""},
        {"the mouse onto a row with a hover style", "scrollTo(0, 1200);", nullptr, "r24"},
        {"the mouse moved again, still over it: nothing to paint", "", "-", "r24"},
        {"the mouse off it onto another row", "", "r24 r26", "r26"},
        {"and back onto it", "", "r24 r26", "r24"},
    };
    for (const auto& c : cases) {
        Run(v, c.script);
        if (c.hover) {
            RECT h = Box(v, c.hover);
            wkeFireMouseEvent(v, WM_MOUSEMOVE, h.left + 5 + (int)(&c - cases), h.top + 5 - v->scrollY, 0);
        }
        if (c.area && !strcmp(c.area, "-")) {
            EXPECT_FALSE(wkeRepaintIfNeededAfterInterval(v)) << c.what;
            continue;
        }
        ASSERT_TRUE(wkeRepaintIfNeededAfterInterval(v)) << c.what;
        RECT changed{}, expected{0, 0, 400, 300};
        wkeGetRepaintedRect(v, &changed);
        if (c.area && !*c.area) expected = changed;
        else if (c.area) {
            // One element, or the box around two ("a b").
            std::string names = c.area;
            size_t gap = names.find(' ');
            expected = Box(v, names.substr(0, gap).c_str());
            if (gap != std::string::npos) {
                RECT other = Box(v, names.substr(gap + 1).c_str());
                UnionRect(&expected, &expected, &other);
            }
            OffsetRect(&expected, -v->scrollX, -v->scrollY);
        }
        EXPECT_TRUE(EqualRect(&expected, &changed))
            << c.what << ": " << changed.left << "," << changed.top << " " << changed.right << "," << changed.bottom;
        std::vector<uint32_t> partial = Picture(v);
        EXPECT_TRUE(partial == FullPicture(v)) << c.what;
    }
    EXPECT_EQ(RGB(0, 0, 255), PixelAt(v, 10, Box(v, "r24").top + 10 - v->scrollY));
    EXPECT_EQ(RowColor(26), PixelAt(v, 10, Box(v, "r26").top + 10 - v->scrollY));
    Run(v, "scrollTo(0, 1000);");
    EXPECT_EQ(RGB(255, 0, 0), PixelAt(v, 10, Box(v, "r20").top + 10 - v->scrollY));
}

namespace {

LRESULT CALLBACK FrameProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    auto* pm = reinterpret_cast<Veneer::CPaintManagerUI*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
    if (pm) {
        LRESULT res = 0;
        if (pm->MessageHandler(m, w, l, res)) return res;
    }
    return ::DefWindowProcW(h, m, w, l);
}

std::vector<Finished>& ScrollFinishLog() {
    static std::vector<Finished> log;
    return log;
}
void RecordScrollFinish(CWkeWebkitUI*, const wchar_t* url, int result, const wchar_t* reason) {
    ScrollFinishLog().push_back({url, reason, result});
}

}  // namespace

TEST(WebViewCursor, HostWindowShowsTheHandOverALinkAndTheIBeamOverAField) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/cursor.html",
        "<html><body style=\"margin:0\"><div style=\"height:40px\"><a href=\"/x\">a link with some words</a></div>"
        "<div style=\"height:40px;cursor:pointer;background-color:#00ff00\">pointer</div>"
        "<div style=\"height:40px\"><input type=text style=\"display:inline-block;width:200px;height:20px\"></div>"
        "<div style=\"height:40px\">plain text</div></body></html>"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    Veneer::CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = ::GetModuleHandleW(NULL);
    wc.lpszClassName = L"WebViewScrollTestFrame";
    wc.hCursor = ::LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    ::RegisterClassW(&wc);
    HWND frame = ::CreateWindowExW(0, wc.lpszClassName, L"web view", WS_POPUP | WS_CLIPCHILDREN, 60, 40, 420, 340,
                                   NULL, NULL, wc.hInstance, NULL);
    ASSERT_NE((HWND)NULL, frame);
    auto* pm = new Veneer::CPaintManagerUI;
    pm->Init(frame);
    ::SetWindowLongPtrW(frame, GWLP_USERDATA, (LONG_PTR)pm);
    auto* root = new Veneer::CVerticalLayoutUI;
    pm->AttachDialog(root);
    ScrollFinishLog().clear();
    auto* c = new CWkeWebkitUI;
    c->SetLoadingFinishHandler(RecordScrollFinish);
    root->Add(c);
    ::ShowWindow(frame, SW_SHOWNOACTIVATE);
    ::UpdateWindow(frame);
    PumpFor(50);
    HWND host = c->GetHostWindow() ? c->GetHostWindow()->GetHWND() : NULL;
    bool loaded = false;
    if (host) {
        c->Load(Wide(sc.Url("/cursor.html")).c_str());
        loaded = Pump(15000, [] { return !ScrollFinishLog().empty(); });
    }
    const struct {
        const char* what;
        int x, y;
        LPCWSTR cursor;
        int kind;
    } cases[] = {
        {"link", 20, 10, IDC_HAND, WKE_CURSOR_HAND},
        {"cursor:pointer", 300, 60, IDC_HAND, WKE_CURSOR_HAND},
        {"text field", 30, 90, IDC_IBEAM, WKE_CURSOR_IBEAM},
        {"plain text", 20, 130, IDC_ARROW, WKE_CURSOR_POINTER},
        {"below the page", 20, 250, IDC_ARROW, WKE_CURSOR_POINTER},
    };
    if (host && loaded) {
        for (const auto& k : cases) {
            ::SetCursor(NULL);
            ::SendMessageW(host, WM_MOUSEMOVE, 0, MAKELPARAM(k.x, k.y));
            EXPECT_EQ(k.kind, wkeGetCursorInfoType(c->GetView())) << k.what;
            EXPECT_EQ(::LoadCursorW(NULL, k.cursor), ::GetCursor()) << k.what << ", after the move";
            ::SetCursor(NULL);
            EXPECT_TRUE(::SendMessageW(host, WM_SETCURSOR, (WPARAM)host, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE))) << k.what;
            EXPECT_EQ(::LoadCursorW(NULL, k.cursor), ::GetCursor()) << k.what;
        }
    }
    ::SetWindowLongPtrW(frame, GWLP_USERDATA, 0);
    delete pm;  // the control and its window with it
    ::DestroyWindow(frame);
    ASSERT_TRUE(host);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(0, CWkeWebkitUI::GetLibraryReferences());
}
