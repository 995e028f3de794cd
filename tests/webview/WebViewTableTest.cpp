// The web view's tables: columns that line up across rows, cells spanning columns and rows,
// border spacing and collapsed borders, percentage and fixed widths, shrink-to-fit tables, row
// groups in header/body/footer order, captions, vertical alignment in cells, the presentational
// table attributes of old pages, and a 10,000-row table laid out once per cell. Real pages over
// loopback HTTP from the stand-in, laid out and painted in real views; sizes are read as a page
// would see them. Cells hold fixed-size blocks so that the figures do not depend on fonts.
#include <windows.h>

#include <string>
#include <vector>

#include "Dom.h"
#include "View.h"
#include "WebViewTestSupport.h"

using namespace webtest;

namespace {

class WebViewTable : public ViewFixture {
protected:
    // Loads one page (standards mode unless the markup says otherwise) into a new view.
    wkeWebView Load(const std::string& html, int w = 800, int h = 600) {
        Json::Value spec;
        spec["routes"].append(PageRoute("/t.html", html));
        m_sc.reset(new standin::Scenario(spec));
        EXPECT_TRUE(m_sc->Ok()) << m_sc->Error();
        wkeWebView v = NewView(w, h);
        EXPECT_TRUE(LoadAndWait(v, m_sc->Url("/t.html")));
        return v;
    }
    static std::string Page(const std::string& style, const std::string& body) {
        return "<!DOCTYPE html><html><head><style>body { margin: 0 } " + style + "</style></head><body>" + body +
               "</body></html>";
    }
    RECT Box(wkeWebView v, const char* id) { return ElementBox(v, id); }
    static std::string Block(int w, int h, const char* id = nullptr) {
        std::string s = "<div";
        if (id) s += std::string(" id=") + id;
        return s + " style=\"width:" + std::to_string(w) + "px;height:" + std::to_string(h) + "px\"></div>";
    }
    std::unique_ptr<standin::Scenario> m_sc;
};

int W(const RECT& r) { return r.right - r.left; }
int H(const RECT& r) { return r.bottom - r.top; }

}  // namespace

TEST_F(WebViewTable, ColumnsLineUpAcrossRowsAndTakeTheirWidestCell) {
    // Separate borders, 2px spacing and 1px padding from the browser defaults.
    wkeWebView v = Load(Page("",
        "<table id=t>"
        "<tr><td id=a0>" + Block(40, 10) + "</td><td id=b0>" + Block(10, 10) + "</td><td id=c0>" + Block(5, 30) +
        "</td></tr>"
        "<tr><td id=a1>" + Block(10, 10) + "</td><td id=b1>" + Block(90, 20) + "</td><td id=c1>" + Block(5, 5) +
        "</td></tr>"
        "<tr><td id=a2>" + Block(20, 10) + "</td><td id=b2>" + Block(30, 10) + "</td><td id=c2>" + Block(60, 5) +
        "</td></tr></table>"));
    const char* ids[3][3] = {{"a0", "b0", "c0"}, {"a1", "b1", "c1"}, {"a2", "b2", "c2"}};
    const int widths[3] = {40 + 2, 90 + 2, 60 + 2};
    const int heights[3] = {30 + 2, 20 + 2, 10 + 2};
    for (int c = 0; c < 3; ++c) {
        RECT top = Box(v, ids[0][c]);
        EXPECT_EQ(widths[c], W(top)) << ids[0][c];
        for (int r = 1; r < 3; ++r) {
            RECT x = Box(v, ids[r][c]);
            EXPECT_EQ(top.left, x.left) << ids[r][c];
            EXPECT_EQ(top.right, x.right) << ids[r][c];
        }
    }
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(heights[r], H(Box(v, ids[r][c]))) << ids[r][c];
        if (r) {
            EXPECT_EQ(Box(v, ids[r - 1][0]).bottom + 2, Box(v, ids[r][0]).top) << r;
        }
    }
    EXPECT_EQ(Box(v, "a0").right + 2, Box(v, "b0").left);
    // Shrink to fit: as wide as its columns and spacing, not the page.
    RECT t = Box(v, "t");
    EXPECT_EQ(42 + 92 + 62 + 4 * 2, W(t));
    EXPECT_EQ(32 + 22 + 12 + 4 * 2, H(t));
    EXPECT_EQ(Box(v, "a0").left - 2, t.left);
}

TEST_F(WebViewTable, CellsSpanColumnsAndRows) {
    wkeWebView v = Load(Page("table { border-spacing: 4px } td { padding: 0 }",
        "<table>"
        "<tr><td id=a>" + Block(50, 20, "inA") + "</td><td id=b>" + Block(30, 20) + "</td><td id=r rowspan=2>" +
        Block(20, 70) + "</td></tr>"
        "<tr><td id=wide colspan=2>" + Block(10, 10) + "</td></tr>"
        "<tr><td id=c>" + Block(10, 10) + "</td><td id=d colspan=2>" + Block(200, 10) + "</td></tr>"
        "</table>"));
    RECT a = Box(v, "a"), b = Box(v, "b"), r = Box(v, "r"), wide = Box(v, "wide"), c = Box(v, "c"),
         d = Box(v, "d");
    // The colspan cell covers both columns and the spacing between them.
    EXPECT_EQ(a.left, wide.left);
    EXPECT_EQ(b.right, wide.right);
    // The rowspan cell covers both rows; they grew by their heights (20 and 10) until the 70px fit.
    EXPECT_EQ(a.top, r.top);
    EXPECT_EQ(wide.bottom, r.bottom);
    EXPECT_EQ(70, H(r));
    EXPECT_EQ(44, H(a));
    EXPECT_EQ(22, H(wide));
    // Its content sits in the middle of what it spans.
    EXPECT_EQ(a.top + 12, Box(v, "inA").top);
    // The rowspan takes the third column's slot in the second row; the wide cell of the last row
    // spans columns two and three, which grew to hold it.
    EXPECT_EQ(c.left, a.left);
    EXPECT_EQ(b.left, d.left);
    EXPECT_EQ(r.right, d.right);
    EXPECT_EQ(200, W(d));
    EXPECT_EQ(50, W(a));
}

TEST_F(WebViewTable, BorderSpacingAndCollapsedBorders) {
    struct Case {
        const char* name;
        const char* style;
        int gapX, gapY;   // from one cell's border box to the next's
        int cellW, cellH;  // border boxes
    } cases[] = {
        {"separate", "border-spacing: 6px 3px", 6, 3, 40 + 2 * 5 + 2 * 2, 20 + 2 * 5 + 2 * 2},
        {"no spacing", "border-spacing: 0", 0, 0, 40 + 2 * 5 + 2 * 2, 20 + 2 * 5 + 2 * 2},
        // Collapsed: one 2px line between cells, each cell reaching to the middle of its lines.
        {"collapse", "border-collapse: collapse; border-spacing: 9px", 0, 0, 40 + 2 * 5 + 2, 20 + 2 * 5 + 2},
    };
    for (const Case& k : cases) {
        wkeWebView v = Load(Page(std::string("table { ") + k.style +
                                     " } td { padding: 5px; border: 2px solid #0000ff; background-color: #ffffff }",
                                 "<table id=t><tr><td id=a>" + Block(40, 20) + "</td><td id=b>" + Block(40, 20) +
                                     "</td></tr><tr><td id=c>" + Block(40, 20) + "</td><td id=d>" + Block(40, 20) +
                                     "</td></tr></table>"));
        RECT a = Box(v, "a"), b = Box(v, "b"), c = Box(v, "c"), d = Box(v, "d");
        EXPECT_EQ(k.cellW, W(a)) << k.name;
        EXPECT_EQ(k.cellH, H(a)) << k.name;
        EXPECT_EQ(k.gapX, b.left - a.right) << k.name;
        EXPECT_EQ(k.gapY, c.top - a.bottom) << k.name;
        EXPECT_EQ(b.left, d.left) << k.name;
        EXPECT_EQ(c.bottom, d.bottom) << k.name;
        // The line between a and b, as drawn: blue, as wide as one border when collapsed.
        int y = (a.top + a.bottom) / 2;
        int blue = 0;
        for (int x = a.right - 6; x < b.left + 6; ++x)
            if (PixelAt(v, x, y) == RGB(0, 0, 255)) ++blue;
        EXPECT_EQ(std::string(k.name) == "collapse" ? 2 : 4, blue) << k.name;
    }
}

TEST_F(WebViewTable, PercentageAndFixedWidths) {
    wkeWebView v = Load(Page("table { border-spacing: 0 } td { padding: 0 }",
        "<div style=\"width: 600px\">"
        "<table id=t style=\"width: 50%\"><tr><td id=p style=\"width: 30%\">" + Block(10, 10) +
        "</td><td id=f style=\"width: 100px\">" + Block(10, 10) + "</td><td id=rest>" + Block(10, 10) +
        "</td></tr></table>"
        "<table id=fx style=\"table-layout: fixed; width: 400px\"><tr><td id=f1 style=\"width: 100px\"></td>"
        "<td id=f2></td><td id=f3></td></tr><tr><td>" + Block(300, 5) + "</td><td></td><td></td></tr></table>"
        "<table id=min style=\"width: 50px\"><tr><td id=m>" + Block(120, 5) + "</td></tr></table>"
        "</div>"));
    EXPECT_EQ(300, W(Box(v, "t")));
    EXPECT_EQ(90, W(Box(v, "p")));
    EXPECT_EQ(100, W(Box(v, "f")));
    EXPECT_EQ(110, W(Box(v, "rest")));
    // Fixed layout: the first row decides; the rest shares what is left; wide content overflows.
    EXPECT_EQ(400, W(Box(v, "fx")));
    EXPECT_EQ(100, W(Box(v, "f1")));
    EXPECT_EQ(150, W(Box(v, "f2")));
    EXPECT_EQ(150, W(Box(v, "f3")));
    // A set width never squeezes the columns below their content.
    EXPECT_EQ(120, W(Box(v, "min")));
    EXPECT_EQ(120, W(Box(v, "m")));
}

TEST_F(WebViewTable, ColumnElementsSetWidthsAndSpanTheirColumns) {
    wkeWebView v = Load(Page("table { border-spacing: 2px } td { padding: 0 }",
        "<table><colgroup id=g><col id=c0 width=100><col id=c1></colgroup>"
        "<tr><td id=a>" + Block(10, 10) + "</td><td id=b>" + Block(10, 10) + "</td></tr>"
        "<tr><td id=low>" + Block(10, 20) + "</td><td>" + Block(10, 10) + "</td></tr></table>"));
    RECT a = Box(v, "a"), b = Box(v, "b"), low = Box(v, "low");
    EXPECT_EQ(100, W(a));
    EXPECT_EQ(10, W(b));
    RECT c0 = Box(v, "c0"), c1 = Box(v, "c1"), g = Box(v, "g");
    EXPECT_EQ(a.left, c0.left);
    EXPECT_EQ(a.right, c0.right);
    EXPECT_EQ(b.left, c1.left);
    EXPECT_EQ(a.top, c0.top);
    EXPECT_EQ(low.bottom, c0.bottom);
    EXPECT_EQ(a.left, g.left);
    EXPECT_EQ(b.right, g.right);
}

TEST_F(WebViewTable, VerticalAlignInCellsAndRowHeights) {
    wkeWebView v = Load(Page("table { border-spacing: 0 } td { padding: 0 }",
        "<table><tr id=row style=\"height: 100px\">"
        "<td id=tall>" + Block(10, 40, "mid") + "</td>"
        "<td style=\"vertical-align: top\">" + Block(10, 20, "top") + "</td>"
        "<td style=\"vertical-align: bottom\">" + Block(10, 20, "bottom") + "</td>"
        "<td valign=top>" + Block(10, 10, "attr") + "</td>"
        "<td id=set style=\"height: 50px\">" + Block(10, 10) + "</td>"
        "</tr></table>"));
    RECT row = Box(v, "row"), tall = Box(v, "tall");
    EXPECT_EQ(100, H(row));
    // Cells stretch to the row; their content sits where vertical-align says (middle by default).
    EXPECT_EQ(row.top, tall.top);
    EXPECT_EQ(100, H(tall));
    EXPECT_EQ(100, H(Box(v, "set")));
    EXPECT_EQ(row.top + 30, Box(v, "mid").top);
    EXPECT_EQ(row.top, Box(v, "top").top);
    EXPECT_EQ(row.bottom, Box(v, "bottom").bottom);
    EXPECT_EQ(row.top, Box(v, "attr").top);
}

TEST_F(WebViewTable, BaselineCellsWithoutTextAlignTheBottomsOfTheirContent) {
    wkeWebView v = Load(Page("table { border-spacing: 0 } td { padding: 0; vertical-align: baseline }",
        "<table><tr id=row><td>" + Block(10, 40, "tall") + "</td><td style=\"padding-top: 5px\">" +
        Block(10, 10, "short") + "</td><td style=\"vertical-align: top\">" + Block(10, 60, "top") +
        "</td></tr></table>"));
    RECT row = Box(v, "row");
    EXPECT_EQ(60, H(row));
    EXPECT_EQ(row.top, Box(v, "tall").top);
    EXPECT_EQ(Box(v, "tall").bottom, Box(v, "short").bottom);
}

TEST_F(WebViewTable, CssTablesWithoutRowsGetAnAnonymousRow) {
    wkeWebView v = Load(Page(".t { display: table; border-spacing: 5px } .c { display: table-cell }",
        "<div class=t id=t><div class=c id=a>" + Block(30, 10) + "</div><div class=c id=b style=\"width: 50px\">" +
        Block(10, 20) + "</div></div>"));
    RECT t = Box(v, "t"), a = Box(v, "a"), b = Box(v, "b");
    EXPECT_EQ(5 + 30 + 5 + 50 + 5, W(t));
    EXPECT_EQ(5 + 20 + 5, H(t));
    EXPECT_EQ(a.top, b.top);
    EXPECT_EQ(20, H(a));
    EXPECT_EQ(a.right + 5, b.left);
    EXPECT_EQ(50, W(b));
}

TEST_F(WebViewTable, GroupsInHeaderBodyFooterOrderWithCaptions) {
    wkeWebView v = Load(Page("table { border-spacing: 0 } td { padding: 0 } caption { padding: 0 }",
        "<table id=t><caption id=cap>" + Block(10, 15) + "</caption>"
        "<tfoot id=foot><tr><td>" + Block(10, 10, "f") + "</td></tr></tfoot>"
        "<tbody id=body><tr id=r1><td>" + Block(10, 10, "b1") + "</td></tr><tr><td>" + Block(10, 10, "b2") +
        "</td></tr></tbody>"
        "<thead id=head><tr><td>" + Block(10, 10, "h") + "</td></tr></thead>"
        "<caption id=under style=\"caption-side: bottom\">" + Block(10, 5) + "</caption></table>"));
    RECT t = Box(v, "t"), cap = Box(v, "cap"), head = Box(v, "head"), body = Box(v, "body"), foot = Box(v, "foot");
    EXPECT_EQ(t.top, cap.top);
    EXPECT_EQ(15, H(cap));
    EXPECT_EQ(cap.bottom, head.top);
    EXPECT_EQ(head.bottom, body.top);
    EXPECT_EQ(20, H(body));
    EXPECT_EQ(body.bottom, foot.top);
    EXPECT_EQ(Box(v, "h").bottom, Box(v, "b1").top);
    EXPECT_EQ(Box(v, "b2").bottom, Box(v, "f").top);
    EXPECT_EQ(foot.bottom, Box(v, "under").top);
    EXPECT_EQ(t.bottom, Box(v, "under").bottom);
    EXPECT_EQ(15 + 40 + 5, H(t));
    EXPECT_EQ(body.top, Box(v, "r1").top);
    EXPECT_EQ(W(t), W(Box(v, "r1")));
}

TEST_F(WebViewTable, PresentationalAttributesOfOldPages) {
    // No doctype: an old page, whose cell heights count their padding.
    wkeWebView v = Load(
        "<html><body style=\"margin:0\"><table id=t width=300 border=1 cellspacing=3 cellpadding=4>"
        "<tr bgcolor=\"#00ff00\"><td id=a width=100 height=40>" + Block(10, 10) + "</td><td id=b>" +
        Block(10, 10) + "</td></tr>"
        "<tr><td id=c bgcolor=\"#ff0000\" colspan=2 valign=bottom>" + Block(10, 10, "low") + "</td></tr>"
        "</table></body></html>");
    RECT t = Box(v, "t"), a = Box(v, "a"), b = Box(v, "b"), c = Box(v, "c");
    EXPECT_EQ(300, W(t));
    EXPECT_EQ(1 + 3, a.left - t.left);      // the table's border, then the spacing
    EXPECT_EQ(100 + 2 * 4 + 2 * 1, W(a));   // width, cellpadding, the cells' 1px border
    EXPECT_EQ(40, H(a));
    EXPECT_EQ(3, b.left - a.right);
    EXPECT_EQ(t.right - 1 - 3, b.right);
    EXPECT_EQ(c.bottom - 1 - 4, Box(v, "low").bottom);
    // The row's colour under its cells, the cell's own over it.
    EXPECT_EQ(RGB(0, 255, 0), PixelAt(v, b.left + 3, b.top + 3));
    EXPECT_EQ(RGB(255, 0, 0), PixelAt(v, c.left + 3, c.top + 3));
    EXPECT_EQ(v->doc.ElementById("b"), webview::NodeAt(v, b.left + 3, b.top + 3));
}

TEST_F(WebViewTable, TenThousandRowsAreLaidOutOncePerCell) {
    const int kRows = 10000;
    std::string rows;
    rows.reserve(kRows * 120);
    for (int i = 0; i < kRows; ++i)
        rows += "<tr><td" + std::string(i == 5000 ? " id=mid" : i == kRows - 1 ? " id=last" : "") +
                "><div style=\"width:20px;height:8px\"></div></td><td><div style=\"width:" +
                std::to_string(10 + i % 50) + "px;height:8px\"></div></td></tr>";
    size_t boxes = 0;
    wkeWebView v = Load(Page("table { border-spacing: 0 } td { padding: 0 }", "<table id=t>" + rows + "</table>"));
    RECT last = Box(v, "last"), t = Box(v, "t");
    ASSERT_NE(nullptr, v->render.Root());
    boxes = v->render.BoxCount();
    EXPECT_GT(boxes, size_t(kRows) * 5);
    // Every box at most a few times over (the cells and their blocks once each), not rows x rows.
    EXPECT_LT(v->render.laidOut, boxes * 3);
    EXPECT_EQ(kRows * 8, H(t));
    EXPECT_EQ(t.top + (kRows - 1) * 8, last.top);
    EXPECT_EQ(20 + 59, W(t));

    // A change in one cell lays out that cell again, not its 20,000 neighbours.
    dom_node* mid = v->doc.ElementById("mid");
    ASSERT_NE(nullptr, mid);
    size_t before = v->render.laidOut;
    v->doc.SetInnerHtml(mid, "<div style=\"width:20px;height:30px\"></div>");
    webview::NodeChanged(v, mid, webview::ChangeKind::Children);
    RECT after = Box(v, "last");
    EXPECT_EQ(last.top + 22, after.top);
    EXPECT_LT(v->render.laidOut - before, 20u);
}

// A change in some rows of a long table lays out those rows' cells and leaves the others where
// they were; one that needs wider columns or a taller row moves what it must.
TEST_F(WebViewTable, ChangedRowsAreLaidOutInPlaceOfTheOldOnes) {
    std::string rows;
    for (int i = 0; i < 300; ++i)
        rows += "<tr id=r" + std::to_string(i) + "><td id=a" + std::to_string(i) + ">" + Block(30, 10) + "</td><td id=b" +
                std::to_string(i) + ">" + Block(40 + i % 3, 10) + "</td></tr>";
    wkeWebView v = Load(Page("table { border-spacing: 2px } td { padding: 1px }", "<table id=t>" + rows + "</table>"));
    const RECT t = Box(v, "t"), a5 = Box(v, "a5"), b5 = Box(v, "b5"), a6 = Box(v, "a6"), last = Box(v, "b299");
    ASSERT_NE(nullptr, v->render.Root());
    ASSERT_EQ(12, H(a5));
    struct Case {
        const char* what;
        const char* id;        // the element changed
        const char* style;     // its new style attribute (null: its content changes instead)
        const char* content;
        int columnGrows, rowGrows;
        bool fewBoxes;         // laid out without the other rows
        COLORREF padding;      // the row's cells' padding
    } cases[] = {
        {"a row's background", "r5", "background-color: #ff0000", nullptr, 0, 0, true, RGB(255, 0, 0)},
        {"a cell's content, the same size", "a5", nullptr, "<div id=n style=\"width:20px;height:10px\"></div>", 0, 0,
         true, RGB(255, 0, 0)},
        {"the row's background gone", "r5", "", nullptr, 0, 0, true, RGB(255, 255, 255)},
        {"a cell's content, taller", "a5", nullptr, "<div id=n style=\"width:20px;height:30px\"></div>", 0, 20,
         false, RGB(255, 255, 255)},
        {"a cell's content, wider than its column", "b5", nullptr, "<div style=\"width:60px;height:30px\"></div>", 18,
         20, false, RGB(255, 255, 255)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dom_node* n = v->doc.ElementById(c.id);
        ASSERT_NE(nullptr, n);
        size_t before = v->render.laidOut;
        if (c.style) {
            webview::SetAttr(n, "style", c.style);
            webview::NodeChanged(v, n, webview::ChangeKind::Attribute);
        } else {
            v->doc.SetInnerHtml(n, c.content);
            webview::NodeChanged(v, n, webview::ChangeKind::Children);
        }
        RECT ra5 = Box(v, "a5"), rb5 = Box(v, "b5"), ra6 = Box(v, "a6"), rlast = Box(v, "b299"), rt = Box(v, "t");
        EXPECT_EQ(a5.left, ra5.left);
        EXPECT_EQ(a5.top, ra5.top);
        EXPECT_EQ(H(a5) + c.rowGrows, H(ra5));
        EXPECT_EQ(W(b5) + c.columnGrows, W(rb5));
        EXPECT_EQ(a6.top + c.rowGrows, ra6.top);
        EXPECT_EQ(last.top + c.rowGrows, rlast.top);
        EXPECT_EQ(W(t) + c.columnGrows, W(rt));
        EXPECT_EQ(H(t) + c.rowGrows, H(rt));
        if (c.fewBoxes) {
            EXPECT_LT(v->render.laidOut - before, 12u);
        }
        // What is drawn and hit is the new content, where the boxes say.
        EXPECT_EQ(c.padding, PixelAt(v, rb5.right - 1, rb5.top + 1));
        if (!c.style && std::string(c.id) == "a5") {
            dom_node* inner = v->doc.ElementById("n");
            ASSERT_NE(nullptr, inner);
            EXPECT_EQ(inner, webview::NodeAt(v, ra5.left + 3, ra5.top + 3 - v->scrollY));
        }
        EXPECT_EQ(v->doc.ElementById("a6"), webview::NodeAt(v, ra6.left, ra6.top - v->scrollY));
    }
}
