// The web view's flow layout: blocks with their sizes and collapsing margins, floats with text
// beside them, positioned boxes, line boxes and list markers, read back as the boxes a user sees
// (the elements' border boxes in the page) from real pages loaded over loopback HTTP into a view.
#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "Dom.h"
#include "LayoutEngine.h"
#include "Text.h"
#include "View.h"
#include "WebViewTestSupport.h"

using namespace webtest;

namespace {

const char kHead[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><style>"
    "body { margin: 0; font-family: \"WenQuanYi Micro Hei\"; font-size: 16px; line-height: 20px }";

class WebViewFlow : public ViewFixture {
protected:
    // Loads a page of the given style and body into a new 800 x 600 view; null when it did not load.
    wkeWebView Page(const std::string& style, const std::string& body) {
        Json::Value spec;
        spec["routes"].append(
            PageRoute("/flow.html", std::string(kHead) + style + "</style></head><body>" + body + "</body></html>"));
        standin::Scenario sc(spec);
        EXPECT_TRUE(sc.Ok()) << sc.Error();
        if (!sc.Ok()) return nullptr;
        wkeWebView v = NewView(800, 600);
        if (!LoadAndWait(v, sc.Url("/flow.html"))) return nullptr;
        wkeRepaintIfNeededAfterInterval(v);
        return v;
    }
    bool BoxOf(wkeWebView v, const char* id, RECT* r) {
        dom_node* n = v->doc.ElementById(id);
        return n && webview::NodeBox(v, n, r);
    }
    webview::Box* RenderBox(wkeWebView v, const char* id) {
        dom_node* n = v->doc.ElementById(id);
        return n ? v->render.BoxOf(n) : nullptr;
    }
};

struct Expected {
    const char* id;
    int left, top, width, height;
};

}  // namespace

class WebViewFlowBoxes : public WebViewFlow {
public:
    // Every element's border box where it is expected, within a pixel (-1: any width or height).
    void Check(wkeWebView v, const std::vector<Expected>& cases) {
        for (const Expected& e : cases) {
            RECT r{};
            ASSERT_TRUE(BoxOf(v, e.id, &r)) << e.id;
            EXPECT_NEAR(e.left, r.left, 1) << e.id;
            EXPECT_NEAR(e.top, r.top, 1) << e.id;
            if (e.width >= 0) {
                EXPECT_NEAR(e.width, r.right - r.left, 1) << e.id;
            }
            if (e.height >= 0) {
                EXPECT_NEAR(e.height, r.bottom - r.top, 1) << e.id;
            }
        }
    }
};

TEST_F(WebViewFlowBoxes, MarginsCollapseBetweenSiblingsParentsAndEmptyBlocks) {
    wkeWebView v = Page(".x { height: 10px; background: #ccc }",
                        // Siblings: the larger margin; a negative one is taken off.
                        "<div id=a class=x style=\"margin-bottom: 20px\"></div>"
                        "<div id=b class=x style=\"margin-top: 30px; margin-bottom: 20px\"></div>"
                        "<div id=c class=x style=\"margin-top: -5px\"></div>"
                        // Parent and first child: the child's margin leaves through the parent's top.
                        "<div id=p style=\"margin-top: 10px\"><div id=pc class=x style=\"margin-top: 25px\"></div>"
                        "<div id=pl class=x style=\"margin-bottom: 40px\"></div></div>"
                        // ... and through its bottom: the next block is 40px below the last child.
                        "<div id=d class=x></div>"
                        // An empty block: its margins collapse through it with its neighbours'.
                        "<div id=e style=\"margin: 15px 0 35px\"></div>"
                        "<div id=f class=x></div>"
                        // A border keeps the child's margin inside.
                        "<div id=g style=\"border-top: 2px solid red; margin-top: 10px\">"
                        "<div id=gc class=x style=\"margin-top: 12px\"></div></div>");
    ASSERT_NE(nullptr, v);
    Check(v, {{"a", 0, 0, 800, 10},
              {"b", 0, 40, 800, 10},
              {"c", 0, 65, 800, 10},
              {"p", 0, 100, 800, 20},
              {"pc", 0, 100, 800, 10},
              {"pl", 0, 110, 800, 10},
              {"d", 0, 160, 800, 10},
              {"f", 0, 205, 800, 10},
              {"g", 0, 225, 800, 24},
              {"gc", 0, 239, 800, 10}});
}

TEST_F(WebViewFlowBoxes, WidthsHeightsAndAutoMarginsCentre) {
    wkeWebView v = Page(".x { height: 10px; background: #ccc; border: 5px solid #000; padding: 0 10px }"
                        "#wrap { width: 400px; height: 300px }",
                        "<div id=wrap>"
                        "<div id=centre class=x style=\"width: 200px; margin: 0 auto\"></div>"
                        "<div id=right class=x style=\"width: 100px; margin-left: auto\"></div>"
                        "<div id=sized class=x style=\"width: 100px; box-sizing: border-box\"></div>"
                        "<div id=half class=x style=\"width: 50%; height: 10%\"></div>"
                        "<div id=capped class=x style=\"max-width: 150px; margin: 0 auto\"></div>"
                        "<div id=least class=x style=\"width: 10px; min-width: 60px\"></div>"
                        "<div id=tall class=x style=\"min-height: 40px\"></div>"
                        "</div>");
    ASSERT_NE(nullptr, v);
    Check(v, {{"centre", 85, 0, 230, 20},
              {"right", 270, 20, 130, 20},
              {"sized", 0, 40, 100, 10},  // its height, too, holds the borders
              {"half", 0, 50, 230, 40},
              {"capped", 110, 90, 180, 20},
              {"least", 0, 110, 90, 20},
              {"tall", 0, 130, 400, 50}});
}

TEST_F(WebViewFlowBoxes, FloatsTakeTextBesideThemAndClearAndFormattingContextsAvoidThem) {
    std::string words;
    for (int i = 0; i < 40; ++i) words += "word ";
    wkeWebView v = Page("#wrap { width: 400px } .l { float: left; width: 100px; height: 60px }"
                        ".r { float: right; width: 50px; height: 30px }",
                        "<div id=wrap><div id=l class=l></div><div id=r class=r></div>"
                        "<p id=p style=\"margin: 0\"><span id=first>first</span> " + words +
                            "<span id=last>last</span></p>"
                            "<div id=l2 class=l></div>"
                            "<div id=bfc style=\"overflow: hidden; height: 20px\"></div>"
                            "<div id=cleared style=\"clear: left; height: 10px\"></div>"
                            "</div>");
    ASSERT_NE(nullptr, v);
    RECT first{}, last{}, p{}, l2{}, bfc{}, cleared{}, r{};
    ASSERT_TRUE(BoxOf(v, "first", &first));
    ASSERT_TRUE(BoxOf(v, "last", &last));
    ASSERT_TRUE(BoxOf(v, "p", &p));
    ASSERT_TRUE(BoxOf(v, "r", &r));
    // The floats sit in the corners; the first line starts right of the left one.
    EXPECT_EQ(350, r.left);
    EXPECT_EQ(0, r.top);
    EXPECT_EQ(100, first.left);
    EXPECT_LT(first.top, 20);
    // Lines beside the floats are shorter; below them they take the whole width again.
    EXPECT_GE(last.top, 60);
    EXPECT_LT(last.right, 400);
    EXPECT_EQ(0, p.top);
    EXPECT_EQ(400, p.right - p.left);
    EXPECT_GE(p.bottom, last.bottom);
    // A second float under the paragraph; a block formatting context beside it, not under it.
    ASSERT_TRUE(BoxOf(v, "l2", &l2));
    ASSERT_TRUE(BoxOf(v, "bfc", &bfc));
    EXPECT_EQ(p.bottom, l2.top);
    EXPECT_EQ(0, l2.left);
    EXPECT_EQ(100, bfc.left);
    EXPECT_EQ(300, bfc.right - bfc.left);
    EXPECT_EQ(l2.top, bfc.top);
    // Cleared: below the float.
    ASSERT_TRUE(BoxOf(v, "cleared", &cleared));
    EXPECT_EQ(l2.bottom, cleared.top);
}

TEST_F(WebViewFlowBoxes, FormattingContextRootsGrowAroundTheirFloats) {
    wkeWebView v = Page(".f { float: left; width: 50px; height: 80px }",
                        "<div id=plain><div class=f></div></div><div id=after style=\"height: 5px\"></div>"
                        "<div id=root style=\"overflow: hidden; margin-top: 100px\"><div class=f></div></div>"
                        "<span id=ib style=\"display: inline-block\"><div class=f></div></span>");
    ASSERT_NE(nullptr, v);
    RECT plain{}, after{}, root{}, ib{};
    ASSERT_TRUE(BoxOf(v, "plain", &plain));
    ASSERT_TRUE(BoxOf(v, "after", &after));
    ASSERT_TRUE(BoxOf(v, "root", &root));
    ASSERT_TRUE(BoxOf(v, "ib", &ib));
    EXPECT_EQ(0, plain.bottom - plain.top);  // an ordinary block lets its float hang out
    EXPECT_EQ(0, after.top);
    EXPECT_EQ(80, root.bottom - root.top);   // overflow: hidden contains it
    EXPECT_EQ(80, ib.bottom - ib.top);       // so does an inline-block, shrunk to the float
    EXPECT_EQ(50, ib.right - ib.left);
}

TEST_F(WebViewFlowBoxes, PositionedBoxesLeaveTheFlowAndSitAtTheirOffsets) {
    wkeWebView v = Page("#holder { position: relative; width: 500px; height: 200px; margin: 10px 0 0 20px }"
                        ".a { position: absolute; width: 100px; height: 50px }",
                        "<div id=top style=\"height: 30px\"></div>"
                        "<div id=rel style=\"position: relative; left: 15px; top: 5px; width: 200px; height: 10px\"></div>"
                        "<div id=holder>"
                        "<div id=lt class=a style=\"left: 10px; top: 20px; z-index: 2; background: #0f0\"></div>"
                        "<div id=rb class=a style=\"right: 30px; bottom: 40px\"></div>"
                        "<div id=under class=a style=\"left: 50px; top: 40px; z-index: 1; background: #00f\"></div>"
                        "<div id=stretch style=\"position: absolute; left: 100px; right: 100px; top: 150px; height: 5px\">"
                        "</div>"
                        "<div id=flow style=\"height: 10px\"></div>"
                        "<div id=static style=\"position: absolute; width: 20px; height: 20px\"></div>"
                        "<span id=shrink style=\"position: absolute; left: 0; top: 0\">shrinks</span>"
                        "</div>"
                        "<div id=fixed style=\"position: fixed; right: 10px; bottom: 10px; width: 40px; height: 30px\">"
                        "</div>");
    ASSERT_NE(nullptr, v);
    Check(v, {{"top", 0, 0, 800, 30},
              {"rel", 15, 35, 200, 10},
              {"holder", 20, 50, 500, 200},
              {"lt", 30, 70, 100, 50},
              {"rb", 390, 160, 100, 50},
              {"stretch", 120, 200, 300, 5},
              {"flow", 20, 50, 500, 10},      // the absolute boxes take no room in the flow
              {"static", 20, 60, 20, 20},     // where it would have been
              {"fixed", 750, 560, 40, 30}});  // against the viewport
    RECT shrink{};
    ASSERT_TRUE(BoxOf(v, "shrink", &shrink));
    EXPECT_GT(shrink.right - shrink.left, 20);
    EXPECT_LT(shrink.right - shrink.left, 120);
    // z-index: the higher box is on top where they overlap, whatever the order in the source.
    dom_node* lt = v->doc.ElementById("lt");
    ASSERT_NE(nullptr, lt);
    EXPECT_EQ(lt, webview::NodeAt(v, 100, 100));
    EXPECT_EQ(RGB(0, 255, 0), PixelAt(v, 100, 100));
    // The fixed box is a child of the root's list, at viewport coordinates.
    webview::Box* fixed = RenderBox(v, "fixed");
    ASSERT_NE(nullptr, fixed);
    ASSERT_NE(nullptr, v->render.Root());
    EXPECT_EQ(v->render.Root(), webview::Container(fixed));
    EXPECT_EQ(750, fixed->origin.x);
}

TEST_F(WebViewFlowBoxes, LineHeightAlignIndentAndInlineEdgesPlaceTheText) {
    wkeWebView v = Page("p { margin: 0; width: 400px }",
                        "<p id=tall style=\"line-height: 30px\">one<br>two<br><span id=third>three</span></p>"
                        "<p id=centre style=\"text-align: center\"><span id=c>mid</span></p>"
                        "<p id=right style=\"text-align: right\"><span id=r>end</span></p>"
                        "<p id=indent style=\"text-indent: 40px\"><span id=i>in</span></p>"
                        "<p><span id=pad style=\"padding: 0 10px; border-left: 3px solid #000\">x</span>"
                        "<span id=next>y</span></p>"
                        "<p id=ibline><span id=ib style=\"display: inline-block; height: 50px; width: 10px\"></span>"
                        "<span id=base>b</span></p>");
    ASSERT_NE(nullptr, v);
    RECT tall{}, third{}, c{}, r{}, i{}, pad{}, next{}, ibline{}, ib{}, base{};
    ASSERT_TRUE(BoxOf(v, "tall", &tall));
    ASSERT_TRUE(BoxOf(v, "third", &third));
    EXPECT_EQ(90, tall.bottom - tall.top);  // three lines of 30px
    EXPECT_GE(third.top, tall.top + 60);
    EXPECT_LE(third.bottom, tall.top + 90);
    ASSERT_TRUE(BoxOf(v, "c", &c));
    EXPECT_NEAR(200, (c.left + c.right) / 2, 1);
    ASSERT_TRUE(BoxOf(v, "r", &r));
    EXPECT_NEAR(400, r.right, 1);
    ASSERT_TRUE(BoxOf(v, "i", &i));
    EXPECT_EQ(40, i.left);
    ASSERT_TRUE(BoxOf(v, "pad", &pad));
    ASSERT_TRUE(BoxOf(v, "next", &next));
    EXPECT_EQ(0, pad.left);
    EXPECT_EQ(pad.right, next.left);  // the padding and border take room on the line
    EXPECT_GT(pad.right - pad.left, 23);
    // An inline-block sits on the baseline: the line grows above the text.
    ASSERT_TRUE(BoxOf(v, "ibline", &ibline));
    ASSERT_TRUE(BoxOf(v, "ib", &ib));
    ASSERT_TRUE(BoxOf(v, "base", &base));
    EXPECT_GE(ibline.bottom - ibline.top, 50);
    EXPECT_LT(base.top, ib.bottom);
    EXPECT_GT(base.bottom, ib.bottom);
}

TEST_F(WebViewFlowBoxes, ListItemsGetTheirMarkers) {
    wkeWebView v = Page("ul, ol { margin: 0 }",
                        "<ul><li id=disc>a</li><li id=circle style=\"list-style-type: circle\">b</li></ul>"
                        "<ol><li id=one>c</li><li id=two>d</li>"
                        "<li id=roman style=\"list-style-type: upper-roman\">e</li></ol>"
                        "<ol start=\"3\" style=\"list-style-type: lower-alpha\"><li id=alpha>f</li></ol>"
                        "<ul style=\"list-style: none\"><li id=none>g</li></ul>"
                        "<ul style=\"list-style-position: inside\"><li id=inside>h</li></ul>");
    ASSERT_NE(nullptr, v);
    struct Case {
        const char* id;
        const wchar_t* marker;  // null: none
        bool outside;
    } cases[] = {{"disc", L"\x2022 ", true}, {"circle", L"\x25E6 ", true}, {"one", L"1. ", true},
                 {"two", L"2. ", true},      {"roman", L"III. ", true},    {"alpha", L"c. ", true},
                 {"none", nullptr, true},    {"inside", L"\x2022 ", false}};
    for (const Case& c : cases) {
        webview::Box* li = RenderBox(v, c.id);
        ASSERT_NE(nullptr, li) << c.id;
        RECT box{};
        ASSERT_TRUE(BoxOf(v, c.id, &box)) << c.id;
        EXPECT_EQ(40, box.left) << c.id;  // the list's padding
        const webview::PaintItem* found = nullptr;
        bool inMargin = false;
        for (const webview::PaintItem& it : li->items) {
            if (it.kind != webview::PaintItem::Text) continue;
            if (c.marker && it.text == c.marker) found = &it;
            inMargin = inMargin || it.rc.left < li->border.left;
        }
        if (!c.marker) {
            EXPECT_FALSE(inMargin) << c.id;
            continue;
        }
        ASSERT_NE(nullptr, found) << c.id;
        EXPECT_EQ(std::wstring(c.marker), found->text) << c.id;
        // Outside: in the margin, ending at the content's edge; inside: the line's first item.
        RECT rc = found->rc;
        POINT at = webview::DocumentOrigin(li);
        OffsetRect(&rc, at.x, at.y);
        if (c.outside) {
            EXPECT_EQ(box.left, rc.right) << c.id;
        } else {
            EXPECT_EQ(box.left, rc.left) << c.id;
        }
        EXPECT_GE(rc.top, box.top - 2) << c.id;  // on the first line
        EXPECT_LE(rc.bottom, box.top + 22) << c.id;
    }
}

TEST_F(WebViewFlowBoxes, HiddenAndClippingBoxesKeepTheirSpace) {
    wkeWebView v = Page("",
                        "<div id=hidden style=\"visibility: hidden; height: 30px; background: #f00\">"
                        "<div id=shown style=\"visibility: visible; height: 10px; background: #00f\"></div></div>"
                        "<div id=clip style=\"overflow: hidden; height: 50px; padding: 5px\">"
                        "<div style=\"height: 400px; width: 1200px\"></div></div>"
                        "<div id=after style=\"height: 10px\"></div>");
    ASSERT_NE(nullptr, v);
    RECT hidden{}, after{};
    ASSERT_TRUE(BoxOf(v, "hidden", &hidden));
    ASSERT_TRUE(BoxOf(v, "after", &after));
    EXPECT_EQ(30, hidden.bottom - hidden.top);
    EXPECT_EQ(90, after.top);
    EXPECT_EQ(RGB(0, 0, 255), PixelAt(v, 5, 5));     // the visible child draws
    EXPECT_NE(RGB(255, 0, 0), PixelAt(v, 5, 20));    // the hidden box does not
    dom_node* shown = v->doc.ElementById("shown");
    EXPECT_EQ(shown, webview::NodeAt(v, 5, 5));
    EXPECT_NE(v->doc.ElementById("hidden"), webview::NodeAt(v, 5, 20));
    webview::Box* clip = RenderBox(v, "clip");
    ASSERT_NE(nullptr, clip);
    EXPECT_EQ(1210, clip->contentSize.cx);           // the content and the padding after it
    EXPECT_EQ(410, clip->contentSize.cy);
    EXPECT_EQ(60, clip->extent.bottom - clip->extent.top);  // it does not enlarge the page
    EXPECT_EQ(100, v->page.height);
}

TEST_F(WebViewFlowBoxes, TenThousandParagraphsAndFloatRowsLayOutOncePerBox) {
    std::string body;
    for (int i = 0; i < 10000; ++i)
        body += "<p id=p" + std::to_string(i) + " style=\"margin: 4px 0\">paragraph " + std::to_string(i) + "</p>"
                "<div class=row><div class=f></div>row</div>";
    wkeWebView v = Page(".f { float: left; width: 10px; height: 5px } .row { overflow: hidden }", body);
    ASSERT_NE(nullptr, v);
    // The first layout finds the page taller than the view and lays it out again beside the scroll
    // bar, as browsers do; the count below is of a layout that knows it.
    for (int i = 0; i < 1000 && (v->needLayout || v->render.Building()); ++i) wkeRepaintIfNeededAfterInterval(v);
    ASSERT_FALSE(v->needLayout);
    size_t before = v->render.laidOut;
    wkeResize(v, 700, 600);  // a full layout of the page
    wkeRepaintIfNeededAfterInterval(v);
    // html, body and per row: the paragraph, the row and its float.
    EXPECT_LE(v->render.laidOut - before, 30000u + 10);
    RECT first{}, last{};
    ASSERT_TRUE(BoxOf(v, "p0", &first));
    ASSERT_TRUE(BoxOf(v, "p9999", &last));
    // 20px lines, 4px margins collapsing between paragraphs and rows: 48px a row.
    EXPECT_EQ(4, first.top);
    EXPECT_EQ(4 + 9999 * 48, last.top);
    // A change in one paragraph lays out that paragraph and its ancestors again, not the page.
    dom_node* p = v->doc.ElementById("p5000");
    ASSERT_NE(nullptr, p);
    before = v->render.laidOut;
    webview::SetAttr(p, "style", "margin: 4px 0; height: 40px");
    webview::NodeChanged(v, p, webview::ChangeKind::Attribute);
    ASSERT_TRUE(BoxOf(v, "p9999", &last));
    EXPECT_EQ(4 + 9999 * 48 + 20, last.top);
    EXPECT_LT(v->render.laidOut - before, 10u);
}

TEST_F(WebViewFlowBoxes, VerticalAlignPlacesBoxesOnTheLine) {
    wkeWebView v = Page("p { margin: 0 } .ib { display: inline-block; width: 10px }",
                        "<p id=p><span id=big class=ib style=\"height: 60px\"></span>"
                        "<span id=base>x</span>"
                        "<span id=top class=ib style=\"height: 10px; vertical-align: top\"></span>"
                        "<span id=bottom class=ib style=\"height: 10px; vertical-align: bottom\"></span>"
                        "<span id=middle class=ib style=\"height: 20px; vertical-align: middle\"></span>"
                        "<span id=sup style=\"vertical-align: super\">x</span>"
                        "<span id=sub style=\"vertical-align: sub\">x</span>"
                        "<span id=up style=\"vertical-align: 7px\">x</span></p>");
    ASSERT_NE(nullptr, v);
    RECT p{}, big{}, base{}, top{}, bottom{}, middle{}, sup{}, sub{}, up{};
    for (auto c : {std::make_pair("p", &p), std::make_pair("big", &big), std::make_pair("base", &base),
                   std::make_pair("top", &top), std::make_pair("bottom", &bottom), std::make_pair("middle", &middle),
                   std::make_pair("sup", &sup), std::make_pair("sub", &sub), std::make_pair("up", &up)})
        ASSERT_TRUE(BoxOf(v, c.first, c.second)) << c.first;
    const int baseline = big.bottom;  // an empty inline-block sits on the baseline with its bottom
    EXPECT_GT(base.bottom, baseline);
    EXPECT_LT(base.top, baseline);
    EXPECT_EQ(p.top, top.top);
    EXPECT_EQ(p.bottom, bottom.bottom);
    EXPECT_NEAR(baseline - 4, (middle.top + middle.bottom) / 2, 2);  // half the x-height up
    EXPECT_LT(sup.top, base.top);
    EXPECT_GT(sub.bottom, base.bottom);
    EXPECT_EQ(base.top - 7, up.top);
}

TEST_F(WebViewFlowBoxes, ShrinkToFitWidthsLieBetweenTheNarrowestAndTheWidest) {
    wkeWebView v = Page("#narrow { width: 60px } .f { float: left; background: #ccc }",
                        "<div id=narrow><div id=f class=f>aaaaaaaaaaaa bb</div></div>"
                        "<div style=\"clear: both\"></div>"
                        "<div><div id=g class=f>aaaaaaaaaaaa bb</div></div>"
                        "<div style=\"clear: both\"></div>"
                        "<span id=one style=\"display: inline-block\">aaaaaaaaaaaa</span>");
    ASSERT_NE(nullptr, v);
    RECT f{}, g{}, one{};
    ASSERT_TRUE(BoxOf(v, "f", &f));
    ASSERT_TRUE(BoxOf(v, "g", &g));
    ASSERT_TRUE(BoxOf(v, "one", &one));
    const int word = one.right - one.left;
    EXPECT_GT(word, 60);
    EXPECT_EQ(word, f.right - f.left);          // too narrow: its widest word
    EXPECT_EQ(40, f.bottom - f.top);            // on two lines
    EXPECT_GT(g.right - g.left, word);          // room enough: both words on one line
    EXPECT_EQ(20, g.bottom - g.top);
}

TEST_F(WebViewFlowBoxes, CentredDialogsFullHeightPagesAndFloatRows) {
    wkeWebView v = Page("html, body { height: 100% } .f { float: left; width: 50px; height: 10px }",
                        "<div id=half style=\"height: 50%\"></div>"
                        "<span id=menu style=\"display: inline-block\"><span class=f></span><span class=f></span></span>"
                        "<div id=dialog style=\"position: absolute; left: 0; right: 0; top: 0; bottom: 0; "
                        "width: 200px; height: 100px; margin: auto\"></div>");
    ASSERT_NE(nullptr, v);
    Check(v, {{"half", 0, 0, 800, 300},     // half of the viewport's height
              {"menu", 0, 305, 100, 10},    // floats side by side in a shrunk box, its bottom on the baseline
              {"dialog", 300, 250, 200, 100}});
}

TEST_F(WebViewFlowBoxes, RelativeInlineElementsMoveWithoutMovingTheLine) {
    wkeWebView v = Page("",
                        "<p style=\"margin: 0\"><span id=a>aa</span>"
                        "<span id=rel style=\"position: relative; left: 5px; top: -3px\">bb<b id=inner>b</b></span>"
                        "<span id=c>cc</span></p>");
    ASSERT_NE(nullptr, v);
    RECT a{}, rel{}, inner{}, c{};
    ASSERT_TRUE(BoxOf(v, "a", &a));
    ASSERT_TRUE(BoxOf(v, "rel", &rel));
    ASSERT_TRUE(BoxOf(v, "inner", &inner));
    ASSERT_TRUE(BoxOf(v, "c", &c));
    EXPECT_EQ(a.right + 5, rel.left);
    EXPECT_EQ(a.top - 3, rel.top);
    EXPECT_EQ(a.top - 3, inner.top);             // its content moves with it
    EXPECT_EQ(rel.right - 5, c.left);            // the line keeps its place
    EXPECT_EQ(a.top, c.top);
}

TEST_F(WebViewFlowBoxes, AbsoluteContentBelowThePageLengthensIt) {
    wkeWebView v = Page("", "<div style=\"height: 50px\"></div>"
                            "<div id=far style=\"position: absolute; top: 1500px; height: 30px; width: 10px\"></div>"
                            "<div style=\"overflow: hidden; height: 20px\">"
                            "<div style=\"position: relative; top: 3000px; height: 10px\"></div></div>");
    ASSERT_NE(nullptr, v);
    RECT below{};
    ASSERT_TRUE(BoxOf(v, "far", &below));
    EXPECT_EQ(1500, below.top);
    EXPECT_EQ(1530, v->page.height);  // the clipped box's content does not count
}

TEST_F(WebViewFlowBoxes, WideFormattingContextsGoBelowFloatsTheyDoNotFitBeside) {
    wkeWebView v = Page("#wrap { width: 300px } .l { float: left; width: 100px; height: 40px }",
                        "<div id=wrap><div class=l></div>"
                        "<div id=fits style=\"overflow: hidden; width: 150px; height: 10px\"></div>"
                        "<div id=wide style=\"overflow: hidden; width: 250px; height: 10px\"></div></div>");
    ASSERT_NE(nullptr, v);
    Check(v, {{"fits", 100, 0, 150, 10}, {"wide", 0, 40, 250, 10}});
}

TEST_F(WebViewFlowBoxes, WhiteSpaceModesAndJustifiedLines) {
    std::string words;
    for (int i = 0; i < 20; ++i) words += "<span id=j" + std::to_string(i) + ">word" + std::to_string(i) + "</span> ";
    wkeWebView v = Page("p { margin: 0; width: 200px }",
                        "<p id=pre style=\"white-space: pre\">a\nb\nc</p>"
                        "<p id=nowrap style=\"white-space: nowrap\"><span id=nw>long long long long long long long long "
                        "long</span></p>"
                        "<p id=prewrap style=\"white-space: pre-wrap\">x  y\nz</p>"
                        "<p id=preline style=\"white-space: pre-line\">x     y\nz</p>"
                        "<p id=normal>a\nb\nc</p>"
                        "<p id=just style=\"text-align: justify\">" + words + "</p>");
    ASSERT_NE(nullptr, v);
    struct Case {
        const char* id;
        int height;
    } cases[] = {{"pre", 60}, {"nowrap", 20}, {"prewrap", 40}, {"preline", 40}, {"normal", 20}};
    for (const Case& c : cases) {
        RECT r{};
        ASSERT_TRUE(BoxOf(v, c.id, &r)) << c.id;
        EXPECT_EQ(c.height, r.bottom - r.top) << c.id;
    }
    RECT nw{};
    ASSERT_TRUE(BoxOf(v, "nw", &nw));
    EXPECT_GT(nw.right, 200);  // runs past its box rather than wrapping
    // Justified: every line but the last ends at the right edge.
    RECT first{}, just{};
    ASSERT_TRUE(BoxOf(v, "j0", &first));
    ASSERT_TRUE(BoxOf(v, "just", &just));
    int right = 0, lines = 0;
    for (int i = 0; i < 20; ++i) {
        RECT r{};
        std::string id = "j" + std::to_string(i);
        ASSERT_TRUE(BoxOf(v, id.c_str(), &r)) << id;
        if (r.top == first.top) right = std::max(right, (int)r.right);
        if (r.left == just.left) ++lines;
    }
    EXPECT_GT(lines, 1);
    EXPECT_NEAR(200, right, 1);
}

TEST_F(WebViewFlowBoxes, ChineseLinesBreakBetweenCharactersButNotBeforeClosingMarks) {
    // Four characters fit on a line; the comma after the fourth may not start the next one.
    wkeWebView v = Page("p { margin: 0; width: 64px; font-size: 16px }",
                        "<p id=p>\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87\xEF\xBC\x8C\xE4\xB8\xAD\xE6\x96\x87</p>");
    ASSERT_NE(nullptr, v);
    webview::Box* p = RenderBox(v, "p");
    ASSERT_NE(nullptr, p);
    std::vector<const webview::PaintItem*> texts;
    for (const webview::PaintItem& it : p->items)
        if (it.kind == webview::PaintItem::Text) texts.push_back(&it);
    ASSERT_FALSE(texts.empty());
    int lines = 0;
    for (const webview::PaintItem* t : texts) {
        ASSERT_FALSE(t->text.empty());
        if (t->rc.left != texts[0]->rc.left) continue;  // not at a line's start
        ++lines;
        EXPECT_NE(L'\xFF0C', t->text[0]);
    }
    EXPECT_EQ(2, lines);
    for (const webview::PaintItem* t : texts) EXPECT_LE(t->rc.right, p->border.right);
}

TEST_F(WebViewFlowBoxes, TenThousandFloatsFillRowAfterRow) {
    std::string body;
    for (int i = 0; i < 10000; ++i) body += "<div id=f" + std::to_string(i) + " class=f></div>";
    wkeWebView v = Page(".f { float: left; width: 10px; height: 10px }", body + "<p id=after style=\"clear: left\">x</p>");
    ASSERT_NE(nullptr, v);
    size_t before = v->render.laidOut;
    wkeResize(v, 800, 500);  // a full layout of the page
    wkeRepaintIfNeededAfterInterval(v);
    EXPECT_LE(v->render.laidOut - before, 10000u + 10);
    // Seventy-eight to a row beside the scroll bar (783 pixels): the last one in the 129th row's
    // sixteenth place, the cleared paragraph below that row.
    ASSERT_TRUE(v->scrolling.barV);
    Check(v, {{"f0", 0, 0, 10, 10}, {"f81", 30, 10, 10, 10}, {"f9999", 150, 1280, 10, 10}});
    RECT after{};
    ASSERT_TRUE(BoxOf(v, "after", &after));
    EXPECT_EQ(1290, after.top);
}

// What tables and flex boxes ask of a box: its intrinsic widths, and a layout at a given size.
TEST_F(WebViewFlowBoxes, BoxesLaidOutAtAGivenSizeForTablesAndFlexBoxes) {
    wkeWebView v = Page("#cell { padding: 5px; border: 1px solid #000 } p { margin: 0 }",
                        "<div id=cell><p>text <span id=w>widestword</span></p><p>another line</p></div>"
                        "<span id=line style=\"white-space: nowrap\">text widestword</span>");
    ASSERT_NE(nullptr, v);
    webview::Box* cell = RenderBox(v, "cell");
    ASSERT_NE(nullptr, cell);
    RECT word{}, line{};
    ASSERT_TRUE(BoxOf(v, "w", &word));
    ASSERT_TRUE(BoxOf(v, "line", &line));
    webview::Layouter l(v->render, v->doc, v->memDc, v->fonts, true);
    EXPECT_EQ(word.right - word.left + 12, l.MinContent(cell));
    EXPECT_EQ(line.right - line.left + 12, l.MaxContent(cell));

    // The height its content wants, then stretched; asked again, neither is laid out anew.
    EXPECT_EQ(52, l.Sized(cell, 200, -1));
    EXPECT_EQ(200, cell->border.right - cell->border.left);
    EXPECT_EQ(90, l.Sized(cell, 200, 90));
    EXPECT_EQ(90, cell->border.bottom - cell->border.top);
    size_t before = v->render.laidOut;
    EXPECT_EQ(52, l.Sized(cell, 200, -1));
    EXPECT_EQ(90, l.Sized(cell, 200, 90));
    EXPECT_EQ(before, v->render.laidOut);
    EXPECT_EQ(90, cell->border.bottom - cell->border.top);
}

// A button taller than its text holds the text in its middle, as browsers draw buttons; a block
// of the same height keeps its text at the top.
TEST_F(WebViewFlowBoxes, ButtonHoldsItsContentInItsMiddle) {
    wkeWebView v = Page(".tall { height: 60px; padding: 0; border: 0; margin: 0 }",
                        "<button id=b class=tall><span id=bt>OK</span></button>"
                        "<div id=d class=tall><span id=dt>OK</span></div>");
    ASSERT_NE(nullptr, v);
    RECT b{}, bt{}, d{}, dt{};
    ASSERT_TRUE(BoxOf(v, "b", &b));
    ASSERT_TRUE(BoxOf(v, "bt", &bt));
    ASSERT_TRUE(BoxOf(v, "d", &d));
    ASSERT_TRUE(BoxOf(v, "dt", &dt));
    EXPECT_EQ(60, b.bottom - b.top);
    EXPECT_NEAR(bt.top - b.top, b.bottom - bt.bottom, 1);
    EXPECT_EQ(d.top, dt.top);
}
