// The web view's document: the HTML5 tree hubbub builds, the page's charset, the cascade
// (libcss with our user-agent sheet, page sheets, style and presentational attributes), the
// layout's cost on nested and deep pages, and incremental restyle and relayout after a change.
// Real pages over loopback HTTP from the stand-in, real views painted into their bitmaps.
#include <windows.h>

#include <string>
#include <vector>

#include "Dom.h"
#include "Text.h"
#include "View.h"
#include "WebViewTestSupport.h"

using namespace webtest;

namespace {

const char kRedPng[] =
    "iVBORw0KGgoAAAANSUhEUgAAAAQAAAAECAIAAAAmkwkpAAAAEElEQVR4nGP4z8AARwzEcQCukw/x0F8jngAAAABJRU5ErkJggg==";

class WebViewDocument : public ViewFixture {
protected:
    dom_node* ById(wkeWebView v, const char* id) { return v->doc.ElementById(id); }
    std::string Computed(wkeWebView v, const char* id, const char* property) {
        dom_node* n = ById(v, id);
        EXPECT_NE(nullptr, n) << id;
        return n ? webview::ComputedValue(v, n, property) : std::string();
    }
    std::string BodyHtml(wkeWebView v) { return v->doc.InnerHtml(v->doc.Body()); }
    // Pumps while the page loads, posting a message to the thread every few milliseconds; returns
    // the longest time one of them waited to be handled.
    DWORD LoadWatchingTheThread(wkeWebView v, const std::string& url, bool* finished) {
        size_t before = m_finished.size();
        wkeLoadW(v, Wide(url).c_str());
        DWORD longest = 0, posted = 0;
        bool waiting = false;
        const DWORD start = ::GetTickCount();
        while (m_finished.size() == before && ::GetTickCount() - start < 60000) {
            if (!waiting) {
                ::PostThreadMessageW(::GetCurrentThreadId(), WM_APP + 7, 0, 0);
                posted = ::GetTickCount();
                waiting = true;
            }
            MSG msg;
            while (::PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == NULL && msg.message == WM_APP + 7) {
                    longest = std::max(longest, ::GetTickCount() - posted);
                    waiting = false;
                    continue;
                }
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            wkeRepaintIfNeededAfterInterval(v);
            ::Sleep(2);
        }
        *finished = m_finished.size() > before;
        return longest;
    }
};

std::string Gbk(const wchar_t* text) {
    char buf[512] = {0};
    int n = ::WideCharToMultiByte(936, 0, text, -1, buf, sizeof(buf), NULL, NULL);
    return std::string(buf, n > 0 ? n - 1 : 0);
}

std::string Utf8(const wchar_t* text) {
    return webview::WideToUtf8(text);
}

}  // namespace

TEST_F(WebViewDocument, TreeIsBuiltAsHtml5Says) {
    std::string forty, fortyExpected;
    for (int i = 0; i < 40; ++i) {
        forty += "<button>" + std::to_string(i);
        fortyExpected += "<button>" + std::to_string(i) + "</button>";
    }
    const struct {
        const char* name;
        std::string body, expected;
    } cases[] = {
        {"unclosed p", "<p>one<p>two<div>three</div>", "<p>one</p><p>two</p><div>three</div>"},
        {"misnested formatting", "<b><i>x</b>y</i>z", "<b><i>x</i></b><i>y</i>z"},
        {"table gets its body", "<table><tr><td>a<td>b</table>",
         "<table><tbody><tr><td>a</td><td>b</td></tr></tbody></table>"},
        {"content fostered out of a table", "<table><div>x</div><tr><td>y</table>",
         "<div>x</div><table><tbody><tr><td>y</td></tr></tbody></table>"},
        {"forty unclosed buttons are siblings", forty, fortyExpected},
        {"list items close each other", "<ul><li>a<li>b</ul>", "<ul><li>a</li><li>b</li></ul>"},
    };
    Json::Value spec;
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
        spec["routes"].append(PageRoute("/tree" + std::to_string(i), "<!DOCTYPE html><html><head></head><body>" +
                                                                         cases[i].body + "</body></html>"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        ASSERT_TRUE(LoadAndWait(v, sc.Url("/tree" + std::to_string(i)))) << cases[i].name;
        EXPECT_EQ(cases[i].expected, BodyHtml(v)) << cases[i].name;
    }
}

TEST_F(WebViewDocument, CharsetFromBomHeaderMetaOrTheBytes) {
    const std::string activity = Utf8(L"活动专区");
    const struct {
        const char* name;
        std::string bytes, contentType, expected;
    } cases[] = {
        {"utf-8 byte-order mark", "\xEF\xBB\xBF<div id=t>" + activity + "</div>", "text/html", activity},
        {"gbk in the header", "<div id=t>" + Gbk(L"活动专区") + "</div>", "text/html; charset=GBK", activity},
        {"gb2312 in a meta", "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
                             "</head><body><div id=t>" + Gbk(L"活动专区") + "</div>", "text/html", activity},
        {"undeclared utf-8 with one stray byte stays utf-8",
         "<div id=t>" + activity + "\xFF" + Utf8(L"中心") + "</div>", "text/html",
         activity + "\xEF\xBF\xBD" + Utf8(L"中心")},
        {"undeclared gbk", "<div id=t>" + Gbk(L"活动专区") + "</div>", "text/html", activity},
        {"header wins over meta", "<meta charset=gbk><div id=t>" + activity + "</div>", "text/html; charset=utf-8",
         activity},
        {"utf-16 byte-order mark", std::string("\xFF\xFE<\0d\0i\0v\0 \0i\0d\0=\0t\0>\0\x3B\x6D\xA8\x52", 26), "text/html",
         Utf8(L"活动")},
    };
    Json::Value spec;
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
        spec["routes"].append(BytesRoute("/cs" + std::to_string(i), cases[i].bytes, cases[i].contentType));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        ASSERT_TRUE(LoadAndWait(v, sc.Url("/cs" + std::to_string(i)))) << cases[i].name;
        dom_node* t = ById(v, "t");
        ASSERT_NE(nullptr, t) << cases[i].name;
        EXPECT_EQ(cases[i].expected, webview::TextContent(t)) << cases[i].name;
    }
}

TEST_F(WebViewDocument, CascadeAppliesSpecificityImportanceInheritanceAndHints) {
    const std::string page = R"HTML(<!DOCTYPE html><html><head><style>
#a { color: rgb(255, 0, 0) } div.c { color: rgb(0, 128, 0) } div { color: rgb(0, 0, 255) }
.imp { color: rgb(0, 128, 0) !important } #b { color: rgb(255, 0, 0) }
.p { color: rgb(1, 2, 3); font-size: 20px }
ul > li { font-size: 22px }
li:first-child { font-weight: bold }
[data-x="1"] { background-color: rgb(0, 255, 0) }
#s { color: rgb(255, 0, 0) }
td.x { background-color: rgb(0, 128, 0) }
</style></head><body>
<div id=a class=c>a</div><div id=b class=imp>b</div>
<div class=p><span id=inh>inherits</span></div>
<ul><li id=li1>one</li><li id=li2>two</li><div><li id=li3>deep</li></div></ul>
<p id=attr data-x=1>attr</p>
<div id=s style="color: rgb(9, 9, 9)">style attribute</div>
<table cellpadding=7 border=1><tr><td id=td bgcolor="#ff0000">c</td><td id=tdx class=x bgcolor="#ff0000">x</td></tr></table>
<font id=font color="#0000ff" size=5>f</font><div id=al align=center>al</div><center id=ce>ce</center>
<img id=img width=30 height=20>
</body></html>)HTML";
    Json::Value spec;
    spec["routes"].append(PageRoute("/cascade.html", page));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/cascade.html")));
    const struct {
        const char *id, *property, *expected;
    } cases[] = {
        {"a", "color", "rgb(255, 0, 0)"},          // id beats class beats type
        {"b", "color", "rgb(0, 128, 0)"},          // !important beats the id
        {"inh", "color", "rgb(1, 2, 3)"},          // inherited
        {"inh", "font-size", "20px"},
        {"inh", "display", "inline"},
        {"li1", "font-size", "22px"},              // child combinator
        {"li3", "font-size", "16px"},              // not a child of the list
        {"li1", "font-weight", "700"},             // :first-child
        {"li2", "font-weight", "400"},
        {"attr", "background-color", "rgb(0, 255, 0)"},  // attribute selector
        {"s", "color", "rgb(9, 9, 9)"},            // style attribute beats the sheet
        {"td", "background-color", "rgb(255, 0, 0)"},    // bgcolor
        {"td", "padding-top", "7px"},              // the table's cellpadding
        {"td", "border-top-width", "1px"},         // the table's border
        {"tdx", "background-color", "rgb(0, 128, 0)"},   // the page's sheet beats bgcolor
        {"font", "color", "rgb(0, 0, 255)"},
        {"font", "font-size", "24px"},
        {"al", "text-align", "center"},
        {"ce", "text-align", "center"},
        {"ce", "display", "block"},
        {"img", "width", "30px"},
        {"img", "height", "20px"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, Computed(v, c.id, c.property)) << c.id << " " << c.property;
}

TEST_F(WebViewDocument, HoverRestylesOnMouseMove) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/hover.html", R"HTML(<html><head><style>
body { margin: 0 } #h { height: 50px; background-color: #ff0000 } #h:hover { background-color: #00ff00 }
</style></head><body><div id=h></div><div style="height: 50px"></div></body></html>)HTML"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/hover.html")));
    EXPECT_EQ(RGB(255, 0, 0), PixelAt(v, 20, 20));
    wkeFireMouseEvent(v, WM_MOUSEMOVE, 30, 25, 0);
    EXPECT_EQ(RGB(0, 255, 0), PixelAt(v, 20, 20));
    EXPECT_EQ("rgb(0, 255, 0)", Computed(v, "h", "background-color"));
    wkeFireMouseEvent(v, WM_MOUSEMOVE, 30, 75, 0);
    EXPECT_EQ(RGB(255, 0, 0), PixelAt(v, 20, 20));
}

TEST_F(WebViewDocument, LinkedStyleSheetIsPartOfTheLoad) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/linked.html", R"HTML(<html><head>
<link rel="stylesheet" href="css/site.css"></head><body style="margin: 0"><div id=l>x</div></body></html>)HTML"));
    Json::Value css;
    css["path"] = "/css/site.css";
    css["body"] = "#l { height: 40px; background-color: rgb(0, 0, 200); color: rgb(0, 0, 200) }";
    css["headers"]["Content-Type"] = "text/css";
    css["delay"] = 0.3;
    spec["routes"].append(css);
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/linked.html")));
    EXPECT_EQ(1u, CountGets(sc, "/css/site.css"));
    // Finished only once the sheet was there: the first picture already has it.
    EXPECT_EQ(RGB(0, 0, 200), PixelAt(v, 100, 20));
    EXPECT_EQ("40px", Computed(v, "l", "height"));
}

TEST_F(WebViewDocument, LegacyGbkPageWithPresentationalAttributesPaintsAndHitTests) {
    std::string page = "<html><head><meta charset=gbk><title>" + Gbk(L"网吧活动") +
                       "</title></head><body bgcolor=\"#ffffcc\" style=\"margin:0\">"
                       "<center><font color=\"#cc0000\" size=5>" + Gbk(L"本周活动") + "</font></center>"
                       "<table width=\"100%\" cellpadding=4 cellspacing=0>"
                       "<tr><td id=c1 bgcolor=\"#0000ff\" height=40>" + Gbk(L"上网送时长") + "</td></tr>"
                       "<tr><td id=c2 bgcolor=\"#00ff00\" height=40>" + Gbk(L"充值有礼") + "</td></tr>"
                       "</table></body></html>";
    Json::Value spec;
    spec["routes"].append(BytesRoute("/legacy.html", page, "text/html"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/legacy.html")));
    dom_node* c1 = ById(v, "c1");
    dom_node* c2 = ById(v, "c2");
    ASSERT_NE(nullptr, c1);
    ASSERT_NE(nullptr, c2);
    EXPECT_EQ(Utf8(L"上网送时长"), webview::TextContent(c1));
    RECT r1{}, r2{};
    ASSERT_TRUE(webview::NodeBox(v, c1, &r1));
    ASSERT_TRUE(webview::NodeBox(v, c2, &r2));
    EXPECT_EQ(40, r1.bottom - r1.top);  // without a doctype the height counts the padding, as in browsers
    EXPECT_EQ(r1.bottom, r2.top);
    EXPECT_EQ(RGB(255, 255, 204), PixelAt(v, 5, r2.bottom + 20));  // the body's bgcolor
    EXPECT_EQ(RGB(0, 0, 255), PixelAt(v, 390, r1.top + 20));
    EXPECT_EQ(RGB(0, 255, 0), PixelAt(v, 390, r2.top + 20));
    EXPECT_EQ(c2, webview::NodeAt(v, 390, r2.top + 20));
    EXPECT_EQ(c1, webview::NodeAt(v, 390, r1.top + 20));
}

TEST_F(WebViewDocument, ActivitiesPageWithTablesAndImages) {
    std::string rows;
    for (int i = 0; i < 30; ++i)
        rows += "<tr class=\"" + std::string(i % 2 ? "odd" : "even") + "\"><td><img src=\"img/icon.png\" width=16 "
                "height=16></td><td class=title>Activity " + std::to_string(i) + "</td><td class=prize>" +
                std::to_string(i * 10) + "</td></tr>";
    std::string page = R"HTML(<!DOCTYPE html><html><head><meta charset="utf-8"><style>
body { margin: 0; font-size: 12px } .banner { height: 60px; background-color: #1e90ff }
.banner img { width: 40px; height: 40px; margin: 10px }
tr.odd { background-color: #eeeeee } td.prize { color: #cc0000; text-align: right }
</style></head><body><div class="banner"><img id=logo src="img/icon.png"></div>
<table id=list width="100%">)HTML" + rows + "</table></body></html>";
    Json::Value spec;
    spec["routes"].append(PageRoute("/activities.html", page));
    Json::Value png;
    png["path"] = "/img/icon.png";
    png["body_base64"] = kRedPng;
    png["headers"]["Content-Type"] = "image/png";
    spec["routes"].append(png);
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView(400, 300);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/activities.html")));
    EXPECT_EQ(RGB(0x1e, 0x90, 0xff), PixelAt(v, 200, 30));  // the banner
    // The image arrives after the load and is fetched once for all its uses.
    EXPECT_TRUE(Pump(5000, [&] { return PixelAt(v, 30, 30) == RGB(255, 0, 0); }));
    EXPECT_EQ(1u, CountGets(sc, "/img/icon.png"));
    dom_node* logo = ById(v, "logo");
    ASSERT_NE(nullptr, logo);
    RECT r{};
    ASSERT_TRUE(webview::NodeBox(v, logo, &r));
    EXPECT_EQ(10, r.left);
    EXPECT_EQ(50, r.right);
    EXPECT_EQ(logo, webview::NodeAt(v, 30, 30));
}

TEST_F(WebViewDocument, NestedInlineBlocksAreLaidOutOncePerLevel) {
    std::string open, close;
    for (int i = 0; i < 26; ++i) {
        open += "<span style=\"display:inline-block; padding:1px; text-align:center\">" + std::to_string(i) + " ";
        close += "</span>";
    }
    Json::Value spec;
    spec["routes"].append(PageRoute("/nested.html", "<html><body>" + open + "core" + close + "</body></html>"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    bool finished = false;
    DWORD longest = LoadWatchingTheThread(v, sc.Url("/nested.html"), &finished);
    ASSERT_TRUE(finished);
    EXPECT_LT(longest, 1000u);
    size_t before = v->render.laidOut;
    wkeResize(v, 380, 300);  // a full layout of the page
    wkeRepaintIfNeededAfterInterval(v);
    // 26 inline-blocks and the html and body blocks: each laid out once.
    EXPECT_LE(v->render.laidOut - before, 30u);
}

TEST_F(WebViewDocument, DeepPageStaysResponsiveAndIsCappedInDepth) {
    standin::Scenario sc;
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    bool finished = false;
    DWORD longest = LoadWatchingTheThread(v, sc.Url("/web/deep?n=10000"), &finished);
    ASSERT_TRUE(finished);
    EXPECT_LT(longest, 1000u);
    EXPECT_TRUE(HasCall(9, 1, 0));  // the script after the deep content ran
    wkeRepaintIfNeededAfterInterval(v);
    ASSERT_NE(nullptr, v->render.Root());
    int depth = 0;
    std::vector<webview::Box*> boxes{v->render.Root()};
    while (!boxes.empty()) {
        webview::Box* b = boxes.back();
        boxes.pop_back();
        depth = std::max(depth, b->depth);
        for (auto& c : b->children) boxes.push_back(c.get());
    }
    EXPECT_LE(depth, webview::RenderTree::kMaxDepth);
    EXPECT_GT(depth, 100);
}

TEST_F(WebViewDocument, ChangeInOneRowDoesNotLayOutTheOthers) {
    std::string rows;
    for (int i = 0; i < 200; ++i)
        rows += "<tr><td id=r" + std::to_string(i) + ">row " + std::to_string(i) + "</td><td>more</td></tr>";
    Json::Value spec;
    spec["routes"].append(PageRoute("/rows.html", "<html><body style=\"margin:0\"><table>" + rows + "</table></body></html>"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/rows.html")));
    wkeRepaintIfNeededAfterInterval(v);
    dom_node* cell = ById(v, "r3");
    dom_node* last = ById(v, "r199");
    ASSERT_NE(nullptr, cell);
    ASSERT_NE(nullptr, last);
    RECT lastBefore{}, lastAfter{};
    ASSERT_TRUE(webview::NodeBox(v, last, &lastBefore));

    // A colour: same size, only the row's own boxes are laid out again.
    size_t before = v->render.laidOut;
    webview::SetAttr(cell, "style", "background-color: #ff0000");
    webview::NodeChanged(v, cell, webview::ChangeKind::Attribute);
    RECT r{};
    ASSERT_TRUE(webview::NodeBox(v, cell, &r));
    EXPECT_EQ(RGB(255, 0, 0), PixelAt(v, r.left + 1, r.top + 1));
    EXPECT_LT(v->render.laidOut - before, 12u);
    ASSERT_TRUE(webview::NodeBox(v, last, &lastAfter));
    EXPECT_EQ(lastBefore.top, lastAfter.top);

    // Taller: the rows below move down, still without being laid out again.
    before = v->render.laidOut;
    v->doc.SetInnerHtml(cell, "row 3<div style=\"height: 30px\"></div>");
    webview::NodeChanged(v, cell, webview::ChangeKind::Children);
    ASSERT_TRUE(webview::NodeBox(v, last, &lastAfter));
    EXPECT_EQ(lastBefore.top + 30, lastAfter.top);
    EXPECT_LT(v->render.laidOut - before, 12u);
    EXPECT_EQ(last, webview::NodeAt(v, lastAfter.left + 2, lastAfter.top + 2 - v->scrollY));
}

// The view's picture, as it is painted now.
std::vector<uint32_t> Picture(wkeWebView v) {
    wkeRepaintIfNeededAfterInterval(v);
    ::GdiFlush();
    DIBSECTION ds{};
    if (!v->dib || ::GetObjectW(v->dib, sizeof(ds), &ds) != sizeof(ds) || !ds.dsBm.bmBits) return {};
    const uint32_t* bits = static_cast<const uint32_t*>(ds.dsBm.bmBits);
    return std::vector<uint32_t>(bits, bits + (size_t)ds.dsBm.bmWidth * ds.dsBm.bmHeight);
}

size_t ItemsInTree(const webview::Box* b) {
    size_t n = 0;
    std::vector<const webview::Box*> stack{b};
    while (!stack.empty()) {
        const webview::Box* x = stack.back();
        stack.pop_back();
        n += x->items.size();
        for (auto& c : x->children) stack.push_back(c.get());
    }
    return n;
}

TEST_F(WebViewDocument, ChangeInOneRowRebuildsOnlyItsItemsAndPaintsAsAFreshLoadWould) {
    auto page = [](bool changed) {
        std::string rows;
        for (int i = 0; i < 200; ++i) {
            std::string cell = "<td id=r" + std::to_string(i);
            if (changed && i == 3) cell += " style=\"background-color: #ff0000\"";
            cell += ">row " + std::to_string(i) + (changed && i == 3 ? "<div style=\"height: 30px\"></div>" : "");
            rows += "<tr>" + cell + "</td><td>more <b>text</b></td></tr>";
        }
        return "<html><body style=\"margin:0\"><table>" + rows + "</table></body></html>";
    };
    Json::Value spec;
    spec["routes"].append(PageRoute("/before.html", page(false)));
    spec["routes"].append(PageRoute("/after.html", page(true)));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/before.html")));
    wkeRepaintIfNeededAfterInterval(v);
    dom_node* cell = ById(v, "r3");
    ASSERT_NE(nullptr, cell);
    ASSERT_NE(nullptr, v->render.Root());
    EXPECT_GT(ItemsInTree(v->render.Root()), 1000u);

    size_t before = v->render.itemsBuilt;
    webview::SetAttr(cell, "style", "background-color: #ff0000");
    webview::NodeChanged(v, cell, webview::ChangeKind::Attribute);
    v->doc.SetInnerHtml(cell, "row 3<div style=\"height: 30px\"></div>");
    webview::NodeChanged(v, cell, webview::ChangeKind::Children);
    std::vector<uint32_t> changed = Picture(v);
    // The cell's own items and one fill for each block above it; none of the other rows'.
    EXPECT_LT(v->render.itemsBuilt - before, 15u);

    wkeWebView fresh = NewView();
    ASSERT_TRUE(LoadAndWait(fresh, sc.Url("/after.html")));
    std::vector<uint32_t> expected = Picture(fresh);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(expected == changed);
    // Further down too: the rows after the change moved, as they lie on the fresh page.
    for (wkeWebView x : {v, fresh}) {
        x->scrollY = 2000;
        x->dirty = true;
    }
    EXPECT_TRUE(Picture(fresh) == Picture(v));
}

TEST_F(WebViewDocument, FocusAndSiblingSelectorsRestyleAfterAClickOrAChange) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/focus.html", R"HTML(<html><head><style>
body { margin: 0 } p { margin: 0 } div { height: 20px; background-color: #ff0000 } div:focus { background-color: #00ff00 }
.on + div { background-color: #0000ff } .on ~ p { height: 20px; background-color: #0000ff }
</style></head><body><div id=a></div><div id=b></div><p id=c></p></body></html>)HTML"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/focus.html")));
    EXPECT_EQ(RGB(255, 0, 0), PixelAt(v, 5, 5));
    Click(v, 5, 5);
    EXPECT_EQ(RGB(0, 255, 0), PixelAt(v, 5, 5));
    Click(v, 5, 25);
    EXPECT_EQ(RGB(255, 0, 0), PixelAt(v, 5, 5));
    EXPECT_EQ(RGB(0, 255, 0), PixelAt(v, 5, 25));
    Click(v, 5, 200);  // below them: the focus leaves the divs

    dom_node* a = ById(v, "a");
    ASSERT_NE(nullptr, a);
    webview::SetAttr(a, "class", "on");
    webview::NodeChanged(v, a, webview::ChangeKind::Attribute);
    EXPECT_EQ(RGB(255, 0, 0), PixelAt(v, 5, 5));
    EXPECT_EQ(RGB(0, 0, 255), PixelAt(v, 5, 25));
    EXPECT_EQ(RGB(0, 0, 255), PixelAt(v, 5, 45));
    webview::SetAttr(a, "class", "off");
    webview::NodeChanged(v, a, webview::ChangeKind::Attribute);
    EXPECT_EQ(RGB(255, 0, 0), PixelAt(v, 5, 25));
    EXPECT_EQ(RGB(255, 255, 255), PixelAt(v, 5, 45));
}

TEST_F(WebViewDocument, ScriptsStillReachTheDocument) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/script.html", R"HTML(<html><body style="margin:0">
<div id=box style="height: 30px; background-color: #ff0000"></div><div id=list></div>
<script>
var b = document.getElementById('box');
b.style.display = 'none';
document.getElementById('list').innerHTML = '<p id=made>one<p>two';
window_external_CppCall(document.getElementById('made') ? 1 : 0, b.style.display == 'none' ? 1 : 0,
  document.getElementById('list').innerHTML == '<p id="made">one</p><p>two</p>' ? 1 : 0);
</script></body></html>)HTML"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView();
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/script.html")));
    ASSERT_EQ(1u, Calls().size());
    EXPECT_EQ(Call(1, 1, 1), Calls()[0]);
    EXPECT_EQ("none", Computed(v, "box", "display"));
    EXPECT_EQ(RGB(255, 255, 255), PixelAt(v, 10, 10));
}
