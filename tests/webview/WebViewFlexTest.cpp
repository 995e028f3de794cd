// The web view's flex layout: rows and columns of flex items sized by their flex factors and
// limits, wrapped into lines, ordered, and aligned along both axes, as a browser places them; and
// a change inside one item that lays out only what it touches. Real pages over loopback HTTP from
// the stand-in, laid out in real views; the geometry is read as the page sees it (element boxes).
#include <windows.h>

#include <string>
#include <vector>

#include "Dom.h"
#include "View.h"
#include "WebViewTestSupport.h"

using namespace webtest;

namespace {

class WebViewFlex : public ViewFixture {
protected:
    // Loads a page made of the given style and body in an 800 x 600 view.
    wkeWebView Page(const std::string& style, const std::string& body) {
        std::string html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><style>body { margin: 0 } " + style +
                           "</style></head><body>" + body + "</body></html>";
        Json::Value spec;
        spec["routes"].append(PageRoute("/flex.html", html));
        m_scenarios.emplace_back(new standin::Scenario(spec));
        standin::Scenario& sc = *m_scenarios.back();
        EXPECT_TRUE(sc.Ok()) << sc.Error();
        wkeWebView v = NewView(800, 600);
        EXPECT_TRUE(LoadAndWait(v, sc.Url("/flex.html")));
        return v;
    }
    // An element's border box in the document; all -1 when it has none.
    RECT Box(wkeWebView v, const char* id) {
        RECT r{-1, -1, -1, -1};
        dom_node* n = v->doc.ElementById(id);
        EXPECT_NE(nullptr, n) << id;
        if (n) {
            EXPECT_TRUE(webview::NodeBox(v, n, &r)) << id;
        }
        return r;
    }
    void ExpectBox(wkeWebView v, const char* id, int x, int y, int w, int h) {
        RECT r = Box(v, id);
        EXPECT_EQ(x, r.left) << id;
        EXPECT_EQ(y, r.top) << id;
        EXPECT_EQ(w, r.right - r.left) << id;
        EXPECT_EQ(h, r.bottom - r.top) << id;
    }

    std::vector<std::unique_ptr<standin::Scenario>> m_scenarios;
};

}  // namespace

TEST_F(WebViewFlex, HeaderRowPutsTheLogoLeftAndTheButtonsRight) {
    wkeWebView v = Page(
        "#head { display: flex; align-items: center; height: 60px; padding: 0 10px }"
        "#logo { width: 120px; height: 40px; background: #c33 }"
        "#nav { display: flex; margin-left: auto }"
        "#nav div { width: 60px; height: 30px; margin-left: 8px; background: #36c }",
        "<div id=head><div id=logo></div><div id=nav><div id=b1></div><div id=b2></div></div></div>"
        "<p id=after style=\"margin: 0; height: 10px\"></p>");
    ExpectBox(v, "head", 0, 0, 800, 60);
    ExpectBox(v, "logo", 10, 10, 120, 40);
    // The buttons' row takes what it needs and its auto margin pushes it to the right edge.
    ExpectBox(v, "nav", 654, 15, 136, 30);
    ExpectBox(v, "b1", 662, 15, 60, 30);
    ExpectBox(v, "b2", 730, 15, 60, 30);
    ExpectBox(v, "after", 0, 60, 800, 10);
    EXPECT_EQ(RGB(0x33, 0x66, 0xcc), PixelAt(v, 700, 30));
    EXPECT_EQ(v->doc.ElementById("b2"), webview::NodeAt(v, 760, 30));
}

TEST_F(WebViewFlex, CardsWrapIntoLinesWithTheirGap) {
    std::string cards;
    for (int i = 0; i < 7; ++i) cards += "<div class=card id=c" + std::to_string(i) + "></div>";
    wkeWebView v = Page(
        ".wrap { display: flex; flex-wrap: wrap; width: 360px; column-gap: 10px; background: #eee }"
        ".card { width: 100px; height: 30px; background: #fc9 }"
        "#rev { flex-wrap: wrap-reverse }",
        "<div class=wrap id=list>" + cards + "</div><div class=wrap id=rev><div class=card id=r0></div>"
        "<div class=card id=r1></div><div class=card id=r2></div><div class=card id=r3></div></div>");
    // Three cards fit a line (3 * 100 + 2 * 10 <= 360), a fourth does not.
    ExpectBox(v, "list", 0, 0, 360, 90);
    ExpectBox(v, "c0", 0, 0, 100, 30);
    ExpectBox(v, "c1", 110, 0, 100, 30);
    ExpectBox(v, "c2", 220, 0, 100, 30);
    ExpectBox(v, "c3", 0, 30, 100, 30);
    ExpectBox(v, "c6", 0, 60, 100, 30);
    // wrap-reverse stacks the lines from the bottom up.
    ExpectBox(v, "rev", 0, 90, 360, 60);
    ExpectBox(v, "r0", 0, 120, 100, 30);
    ExpectBox(v, "r3", 0, 90, 100, 30);
}

TEST_F(WebViewFlex, GrowSharesTheFreeSpaceByFactorWithinLimits) {
    wkeWebView v = Page(
        ".row { display: flex; width: 606px; height: 20px }"
        ".row div { border: 1px solid #69c }",
        // flex: 1 / 2 / 1 from a zero basis: the space in proportion.
        "<div class=row><div id=a style=\"flex: 1\"></div><div id=b style=\"flex: 2\"></div>"
        "<div id=c style=\"flex: 1\"></div></div>"
        // Bases of their own, the rest shared equally; a max-width freezes its item.
        "<div class=row><div id=d style=\"flex: 1 100px\"></div>"
        "<div id=e style=\"flex-grow: 1; flex-basis: 200px\"></div></div>"
        "<div class=row><div id=f style=\"flex: 1; max-width: 98px\"></div><div id=g style=\"flex: 1\"></div>"
        "<div id=h style=\"flex: 1\"></div></div>"
        // flex: none keeps its width; the other fills what is left.
        "<div class=row><div id=i style=\"flex: none; width: 148px\"></div><div id=j style=\"flex: 1\"></div></div>");
    // 606 - 3 * 2 = 600 to share: 150, 300, 150 plus the borders. Stretched to the row's 20.
    ExpectBox(v, "a", 0, 0, 152, 20);
    ExpectBox(v, "b", 152, 0, 302, 20);
    ExpectBox(v, "c", 454, 0, 152, 20);
    // 606 - 102 - 202 = 302 free, 151 each.
    ExpectBox(v, "d", 0, 20, 253, 20);
    ExpectBox(v, "e", 253, 20, 353, 20);
    // 200 each would pass f's 100: f stays at 100, g and h share the other 506.
    ExpectBox(v, "f", 0, 40, 100, 20);
    ExpectBox(v, "g", 100, 40, 253, 20);
    ExpectBox(v, "h", 353, 40, 253, 20);
    ExpectBox(v, "i", 0, 60, 150, 20);
    ExpectBox(v, "j", 150, 60, 456, 20);
}

TEST_F(WebViewFlex, ShrinkStopsAtTheContentsMinimumUnlessTheItemClips) {
    wkeWebView v = Page(
        ".row { display: flex; width: 200px; height: 20px }"
        ".row > div { width: 300px }"
        ".inner { width: 150px; height: 10px }",
        "<div class=row><div id=a><div class=inner></div></div><div id=b></div></div>"
        "<div class=row><div id=c style=\"overflow: hidden\"><div class=inner></div></div><div id=d></div></div>"
        "<div class=row><div id=e style=\"min-width: 120px\"><div class=inner></div></div><div id=f></div></div>");
    // Both would shrink to 100; the first cannot go below its content (150), the other takes the rest.
    ExpectBox(v, "a", 0, 0, 150, 20);
    ExpectBox(v, "b", 150, 0, 50, 20);
    ExpectBox(v, "c", 0, 20, 100, 20);
    ExpectBox(v, "d", 100, 20, 100, 20);
    // A min-width of its own replaces the content's.
    ExpectBox(v, "e", 0, 40, 120, 20);
    ExpectBox(v, "f", 120, 40, 80, 20);
}

TEST_F(WebViewFlex, JustifyContentPlacesTheItemsAlongTheRow) {
    struct Case {
        const char* value;
        int x[3];
    } cases[] = {
        {"flex-start", {0, 60, 120}},   {"flex-end", {220, 280, 340}},    {"center", {110, 170, 230}},
        {"space-between", {0, 170, 340}}, {"space-around", {37, 170, 303}}, {"space-evenly", {55, 170, 285}},
    };
    std::string body;
    for (const Case& c : cases) {
        std::string id = c.value;
        body += "<div class=row style=\"justify-content: " + id + "\">";
        for (int i = 0; i < 3; ++i) body += "<div id=" + id + std::to_string(i) + "></div>";
        body += "</div>";
    }
    wkeWebView v = Page(".row { display: flex; width: 400px } .row div { width: 60px; height: 10px }", body);
    int y = 0;
    for (const Case& c : cases) {
        for (int i = 0; i < 3; ++i) ExpectBox(v, (std::string(c.value) + std::to_string(i)).c_str(), c.x[i], y, 60, 10);
        y += 10;
    }
}

TEST_F(WebViewFlex, AlignItemsPlacesTheItemsAcrossTheRow) {
    struct Case {
        const char* container;
        const char* item;
        int top, height;
    } cases[] = {
        {"align-items: stretch", "", 0, 100},
        {"align-items: flex-start", "", 0, 20},
        {"align-items: flex-end", "", 80, 20},
        {"align-items: center", "", 40, 20},
        {"align-items: flex-start", "align-self: center", 40, 20},
        {"align-items: stretch", "height: 30px", 0, 30},
        {"align-items: stretch", "max-height: 50px", 0, 50},
        {"align-items: flex-start", "margin-top: auto; margin-bottom: auto", 40, 20},
    };
    std::string body;
    int n = 0;
    for (const Case& c : cases) {
        body += "<div class=row style=\"" + std::string(c.container) + "\"><div class=tall></div><div id=i" +
                std::to_string(n++) + " style=\"" + c.item + "\"><div class=line></div></div></div>";
    }
    wkeWebView v = Page(".row { display: flex; height: 100px; width: 300px } .row > div { width: 50px }"
                        ".line { height: 20px } .tall { height: 10px }", body);
    for (int i = 0; i < n; ++i)
        ExpectBox(v, ("i" + std::to_string(i)).c_str(), 50, 100 * i + cases[i].top, 50, cases[i].height);
}

TEST_F(WebViewFlex, ItemsLineUpOnTheirFirstBaseline) {
    wkeWebView v = Page(
        ".row { display: flex; align-items: baseline; width: 400px }"
        "#a { padding-top: 30px; font-size: 16px } #b { font-size: 16px }",
        "<div class=row id=row><div id=a>Aa</div><div id=b>Bb</div></div>");
    RECT a = Box(v, "a"), b = Box(v, "b");
    // The same font: the second item's text sits as low as the first's, below its padding.
    EXPECT_EQ(30, b.top - a.top);
    EXPECT_EQ(a.bottom, b.bottom);
    EXPECT_EQ(a.bottom - a.top, Box(v, "row").bottom - Box(v, "row").top);
}

TEST_F(WebViewFlex, ColumnsStackGrowAndCenter) {
    wkeWebView v = Page(
        ".col { display: flex; flex-direction: column; width: 200px }"
        ".col > div { height: 40px; border: 1px solid #69c }",
        // Auto height: the items' own.
        "<div class=col id=auto><div id=a1></div><div id=a2></div></div>"
        // A fixed height: the middle item takes what the others leave.
        "<div class=col id=fixed style=\"height: 200px\"><div id=f1></div><div id=f2 style=\"flex: 1\"></div>"
        "<div id=f3></div></div>"
        // Centred both ways.
        "<div class=col id=mid style=\"height: 200px; justify-content: center; align-items: center\">"
        "<div id=m1 style=\"width: 60px\"></div><div id=m2 style=\"width: 100px\"></div></div>"
        // Reversed: the first item at the bottom.
        "<div class=col id=rev style=\"flex-direction: column-reverse\"><div id=r1></div><div id=r2></div></div>");
    ExpectBox(v, "auto", 0, 0, 200, 84);
    ExpectBox(v, "a1", 0, 0, 200, 42);
    ExpectBox(v, "a2", 0, 42, 200, 42);
    ExpectBox(v, "fixed", 0, 84, 200, 200);
    ExpectBox(v, "f1", 0, 84, 200, 42);
    ExpectBox(v, "f2", 0, 126, 200, 116);
    ExpectBox(v, "f3", 0, 242, 200, 42);
    ExpectBox(v, "m1", 69, 284 + 58, 62, 42);
    ExpectBox(v, "m2", 49, 284 + 100, 102, 42);
    ExpectBox(v, "r1", 0, 484 + 42, 200, 42);
    ExpectBox(v, "r2", 0, 484, 200, 42);
}

TEST_F(WebViewFlex, OrderAndReverseRowsAndTextAsAnItem) {
    wkeWebView v = Page(
        ".row { display: flex; width: 400px; column-gap: 20px } .row div { width: 60px; height: 30px }",
        "<div class=row><div id=a style=\"order: 3\"></div><div id=b style=\"order: 1\"></div>"
        "<div id=c style=\"order: 2\"></div></div>"
        "<div class=row style=\"flex-direction: row-reverse\"><div id=r1></div><div id=r2></div></div>"
        "<div class=row id=text>loose text<div id=t></div></div>");
    ExpectBox(v, "b", 0, 0, 60, 30);
    ExpectBox(v, "c", 80, 0, 60, 30);
    ExpectBox(v, "a", 160, 0, 60, 30);
    ExpectBox(v, "r1", 340, 30, 60, 30);
    ExpectBox(v, "r2", 260, 30, 60, 30);
    // The text is an item of its own width before the block.
    RECT t = Box(v, "t");
    EXPECT_EQ(60, t.top);
    EXPECT_GT(t.left, 20 + 20);
    EXPECT_LT(t.left, 200);
    dom_node* row = v->doc.ElementById("text");
    ASSERT_NE(nullptr, row);
    EXPECT_EQ(row, webview::NodeAt(v, 5, 65));
}

TEST_F(WebViewFlex, ChangeInOneCardLaysOutOnlyItsLineAndMatchesAFreshLoad) {
    auto page = [](bool changed) {
        std::string cards;
        for (int i = 0; i < 60; ++i) {
            cards += "<div class=card id=c" + std::to_string(i) + ">card " + std::to_string(i);
            if (changed && i == 7) cards += "<div style=\"height: 50px\"></div>";
            cards += "</div>";
        }
        return "<!DOCTYPE html><html><body style=\"margin:0\"><style>.list { display: flex; flex-wrap: wrap; "
               "width: 500px } .card { width: 100px; border: 1px solid #69c; background: #cdf }</style>"
               "<div class=list>" + cards + "</div></body></html>";
    };
    Json::Value spec;
    spec["routes"].append(PageRoute("/before.html", page(false)));
    spec["routes"].append(PageRoute("/after.html", page(true)));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView(800, 600);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/before.html")));
    dom_node* card = v->doc.ElementById("c7");
    dom_node* sibling = v->doc.ElementById("c5");
    dom_node* last = v->doc.ElementById("c59");
    ASSERT_NE(nullptr, card);
    ASSERT_NE(nullptr, sibling);
    ASSERT_NE(nullptr, last);
    RECT cardBefore{}, siblingBefore{}, lastBefore{};
    ASSERT_TRUE(webview::NodeBox(v, card, &cardBefore));
    ASSERT_TRUE(webview::NodeBox(v, sibling, &siblingBefore));
    ASSERT_TRUE(webview::NodeBox(v, last, &lastBefore));

    size_t before = v->render.laidOut;
    v->doc.SetInnerHtml(card, "card 7<div style=\"height: 50px\"></div>");
    webview::NodeChanged(v, card, webview::ChangeKind::Children);
    RECT cardAfter{}, siblingAfter{}, lastAfter{};
    ASSERT_TRUE(webview::NodeBox(v, card, &cardAfter));
    ASSERT_TRUE(webview::NodeBox(v, sibling, &siblingAfter));
    ASSERT_TRUE(webview::NodeBox(v, last, &lastAfter));
    // Its line grows by 50 (the four others stretched with it); the lines below only move.
    EXPECT_EQ(cardBefore.bottom + 50, cardAfter.bottom);
    EXPECT_EQ(siblingBefore.bottom + 50, siblingAfter.bottom);
    EXPECT_EQ(lastBefore.top + 50, lastAfter.top);
    EXPECT_LT(v->render.laidOut - before, 20u);

    wkeWebView fresh = NewView(800, 600);
    ASSERT_TRUE(LoadAndWait(fresh, sc.Url("/after.html")));
    for (const char* id : {"c0", "c5", "c7", "c9", "c10", "c59"}) {
        dom_node* a = v->doc.ElementById(id);
        dom_node* b = fresh->doc.ElementById(id);
        ASSERT_NE(nullptr, a);
        ASSERT_NE(nullptr, b);
        RECT ra{}, rb{};
        ASSERT_TRUE(webview::NodeBox(v, a, &ra));
        ASSERT_TRUE(webview::NodeBox(fresh, b, &rb));
        EXPECT_TRUE(EqualRect(&ra, &rb)) << id;
    }
}

TEST_F(WebViewFlex, AlignContentSpreadsWrappedLines) {
    struct Case {
        const char* value;
        int first, second;  // the two lines' tops
    } cases[] = {
        {"stretch", 0, 75},      {"flex-start", 0, 30},     {"flex-end", 90, 120},
        {"center", 45, 75},      {"space-between", 0, 120}, {"space-around", 23, 98},
    };
    std::string body;
    for (const Case& c : cases) {
        std::string id = c.value;
        body += "<div class=wrap style=\"align-content: " + id + "\"><div id=" + id + "0></div><div></div>"
                "<div id=" + id + "1></div></div>";
    }
    wkeWebView v = Page(".wrap { display: flex; flex-wrap: wrap; width: 200px; height: 150px }"
                        ".wrap div { width: 100px; height: 30px }", body);
    int y = 0;
    for (const Case& c : cases) {
        ExpectBox(v, (std::string(c.value) + "0").c_str(), 0, y + c.first, 100, 30);
        ExpectBox(v, (std::string(c.value) + "1").c_str(), 0, y + c.second, 100, 30);
        y += 150;
    }
}

TEST_F(WebViewFlex, WrappingColumnFillsColumnsSideBySide) {
    wkeWebView v = Page(
        ".colw { display: flex; flex-direction: column; flex-wrap: wrap; height: 100px; width: 300px;"
        " column-gap: 10px } .colw div { width: 80px; height: 40px; border: 1px solid #963 }",
        "<div class=colw><div id=a></div><div id=b></div><div id=c></div><div id=d></div><div id=e></div></div>");
    // Two items to a column; the columns share the spare width (align-content: normal stretches them).
    ExpectBox(v, "a", 0, 0, 82, 42);
    ExpectBox(v, "b", 0, 42, 82, 42);
    ExpectBox(v, "c", 103, 0, 82, 42);
    ExpectBox(v, "d", 103, 42, 82, 42);
    ExpectBox(v, "e", 207, 0, 82, 42);
}

TEST_F(WebViewFlex, ImagesAndTextAreItemsBesideBlocks) {
    wkeWebView v = Page(
        ".card { display: flex; width: 500px; padding: 10px; border: 1px solid #ddd }"
        ".card img { width: 96px; height: 64px; margin-right: 12px; flex: none }"
        ".card .body { flex: 1 } .card .go { align-self: center; width: 64px; height: 28px; background: #c33 }",
        "<div class=card id=card><img id=pic src=\"none.png\"><div class=body id=body><div style=\"height: 40px\">"
        "</div></div><div class=go id=go></div></div>");
    ExpectBox(v, "card", 0, 0, 522, 86);
    ExpectBox(v, "pic", 11, 11, 96, 64);
    ExpectBox(v, "body", 119, 11, 500 - 96 - 12 - 64, 64);
    ExpectBox(v, "go", 447, 11 + 18, 64, 28);
    EXPECT_EQ(v->doc.ElementById("pic"), webview::NodeAt(v, 50, 40));
    EXPECT_EQ(RGB(0xcc, 0x33, 0x33), PixelAt(v, 480, 40));
}

TEST_F(WebViewFlex, NestedContainersAlignWithinTheSizeTheyAreGiven) {
    wkeWebView v = Page(
        ".row { display: flex; width: 400px; height: 100px }"
        ".col { display: flex; flex-direction: column; justify-content: center; width: 120px }"
        ".mid { display: flex; align-items: center; width: 120px }"
        ".col div, .mid div { width: 30px; height: 20px; background: #fc9 }",
        // Stretched to the row's 100 pixels, the inner containers centre in them.
        "<div class=row><div class=col id=col><div id=c1></div><div id=c2></div></div>"
        "<div class=mid id=mid><div id=m1></div><div id=m2></div></div></div>");
    ExpectBox(v, "col", 0, 0, 120, 100);
    ExpectBox(v, "c1", 0, 30, 30, 20);
    ExpectBox(v, "c2", 0, 50, 30, 20);
    ExpectBox(v, "mid", 120, 0, 120, 100);
    ExpectBox(v, "m1", 120, 40, 30, 20);
    ExpectBox(v, "m2", 150, 40, 30, 20);
}

TEST_F(WebViewFlex, PositionedChildrenAreNotItems) {
    wkeWebView v = Page(
        ".row { display: flex; position: relative; width: 400px; height: 40px; justify-content: space-between }"
        ".row div { width: 50px; height: 20px } .row .pin { position: absolute; right: 0; bottom: 0; width: 10px;"
        " height: 10px; background: #f00 }",
        "<div class=row><div id=a></div><div class=pin id=pin></div><div id=b></div></div>");
    // Two items, spread as if the positioned box were not there; it sits at its offsets.
    ExpectBox(v, "a", 0, 0, 50, 20);
    ExpectBox(v, "b", 350, 0, 50, 20);
    ExpectBox(v, "pin", 390, 30, 10, 10);
}

TEST_F(WebViewFlex, StretchedItemsFollowTheirLineAsItGrowsAndShrinks) {
    wkeWebView v = Page(".row { display: flex; width: 300px } .row > div { width: 100px; background: #cdf }",
                        "<div class=row><div id=a><div style=\"height: 10px\"></div></div>"
                        "<div id=b><div id=inner style=\"height: 50px\"></div></div></div><p id=after></p>");
    ExpectBox(v, "a", 0, 0, 100, 50);
    dom_node* b = v->doc.ElementById("b");
    ASSERT_NE(nullptr, b);
    // Each change lays out the changed item, the stretched one and the boxes around them, no more.
    struct Step {
        const char* html;
        int height;
    } steps[] = {{"<div style=\"height: 20px\"></div>", 20}, {"<div style=\"height: 80px\"></div>", 80},
                 {"", 10}, {"<div style=\"height: 50px\"></div>", 50}};
    for (const Step& st : steps) {
        v->doc.SetInnerHtml(b, st.html);
        webview::NodeChanged(v, b, webview::ChangeKind::Children);
        ExpectBox(v, "a", 0, 0, 100, st.height);
        ExpectBox(v, "b", 100, 0, 100, st.height);
        RECT after = Box(v, "after");
        EXPECT_EQ(st.height + 16, after.top) << st.html;
    }
    // Nothing changed: nothing is laid out again.
    size_t before = v->render.laidOut;
    webview::NodeChanged(v, b, webview::ChangeKind::Attribute);
    ExpectBox(v, "a", 0, 0, 100, 50);
    EXPECT_LT(v->render.laidOut - before, 6u);
}

TEST_F(WebViewFlex, MenuListLaysItsItemsOutInARow) {
    wkeWebView v = Page("#menu { display: flex; list-style: none; margin: 0; padding: 0; width: 600px }"
                        "#menu li { padding: 0 10px; border-right: 1px solid #999 } #menu .last { margin-left: auto }",
                        "<ul id=menu><li id=l1>Home</li><li id=l2>Games and more</li><li id=l3 class=last>Log in</li>"
                        "</ul>");
    RECT l1 = Box(v, "l1"), l2 = Box(v, "l2"), l3 = Box(v, "l3");
    EXPECT_EQ(0, l1.left);
    EXPECT_EQ(l1.right, l2.left);
    EXPECT_EQ(600, l3.right);
    // Each as wide as its text on one line, all as tall as the row.
    EXPECT_GT(l2.right - l2.left, 2 * (l1.right - l1.left));
    for (const RECT& r : {l1, l2, l3}) {
        EXPECT_EQ(0, r.top);
        EXPECT_EQ(Box(v, "menu").bottom, r.bottom);
        EXPECT_LT(r.bottom - r.top, 40);
    }
}
