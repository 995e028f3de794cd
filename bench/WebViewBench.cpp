// The web view's document pipeline on a generated page of about 1 MB (an activities list: a
// header, thousands of table rows with images, classes and links, a style sheet): hubbub's parse
// into libdom alone, against the view's whole first picture (parse, cascade into the render tree,
// layout, paint into a 1024x768 DIB); then one DOM change (a cell's style attribute) laid out
// incrementally, against a full layout of the same tree. Prints one line per run:
//   run parse-ms pipeline-ms style-ms layout-ms paint-ms change-ms full-layout-ms change-boxes full-boxes
// bench/webview.sh runs it and summarises.
//   webview_bench [runs]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "Dom.h"
#include "Layout.h"
#include "Paint.h"
#include "RenderTree.h"

using namespace webview;

namespace {

double Now() {
    static LARGE_INTEGER freq = {};
    if (freq.QuadPart == 0) ::QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)freq.QuadPart;
}

std::string MakePage(size_t bytes) {
    std::string p = R"(<!DOCTYPE html><html><head><meta charset="utf-8"><title>Activities</title><style>
body { margin: 0; font-size: 12px; color: #333 } .top { height: 60px; background-color: #1e90ff; color: white }
.top h1 { font-size: 20px; margin: 0; padding: 16px } table.list { width: 100% }
tr.odd { background-color: #f4f4f4 } td { padding: 2px 4px } td.title a { color: #0066cc }
td.prize { color: #cc0000; text-align: right; font-weight: bold } .tag { display: inline-block; padding: 0 4px;
border: 1px solid #ccc; background-color: #fafafa } .foot { padding: 8px; color: #999 }
</style></head><body><div class="top"><h1>Activities</h1></div><table class="list" cellpadding="2">
)";
    int row = 0;
    while (p.size() < bytes) {
        char buf[640];
        snprintf(buf, sizeof buf,
                 "<tr class=\"%s\" id=\"row%d\"><td class=\"icon\"><img src=\"img/a%d.png\" width=\"16\" "
                 "height=\"16\"></td><td class=\"title\"><a href=\"detail.php?id=%d\">Weekend activity number %d"
                 "</a> <span class=\"tag\">new</span></td><td class=\"date\">2026-12-%02d</td><td class=\"prize\">"
                 "%d points</td><td><font color=\"#888888\">until %02d:00</font></td></tr>\n",
                 row % 2 ? "odd" : "even", row, row % 7, row, row, row % 28 + 1, row * 10 % 997, row % 24);
        p += buf;
        ++row;
    }
    p += "</table><div class=\"foot\">end of list</div></body></html>";
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? atoi(argv[1]) : 5;
    if (runs < 1) runs = 1;
    const std::string page = MakePage(1024 * 1024);
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = 1024;
    bi.bmiHeader.biHeight = -768;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, dib);
    FontCache fonts;
    fprintf(stderr, "page: %lu bytes\n", (unsigned long)page.size());
    for (int r = 0; r <= runs; ++r) {  // run 0 warms up (fonts, the user-agent sheet) and is not printed
        double t0 = Now();
        {
            Document alone;
            alone.Parse(page, "http://bench.test/list.html");
        }
        double t1 = Now();
        Document doc;
        RenderTree tree;
        doc.Parse(page, "http://bench.test/list.html");
        std::vector<std::string> sheets;
        for (const auto& s : doc.CollectSheets()) sheets.push_back(s.text);
        double t2 = Now();
        tree.Build(doc, sheets);
        double t3 = Now();
        LayoutResult result;
        LayOut(tree, doc, 1024, dc, fonts, nullptr, result);
        double t4 = Now();
        PaintPage(dc, tree.Root(), result, RECT{0, 0, 1024, 768}, doc.Images());
        GdiFlush();
        double t5 = Now();
        // A second full pass first, as in a view that has shown the page for a while.
        tree.InvalidateLayout();
        LayOut(tree, doc, 1024, dc, fonts, &result, result);
        // One change in the middle of the list, laid out reusing the rest.
        dom_node* cell = doc.ElementById("row" + std::to_string(1000));
        size_t laid = tree.laidOut;
        double t6 = Now();
        if (cell) {
            SetAttr(cell, "style", "background-color: #ffe0e0");
            tree.Changed(cell, RenderTree::Change::Attribute);
        }
        LayOut(tree, doc, 1024, dc, fonts, &result, result);
        double t7 = Now();
        size_t changeBoxes = tree.laidOut - laid;
        laid = tree.laidOut;
        // A full layout as the view does one (after a resize).
        tree.InvalidateLayout();
        LayOut(tree, doc, 1024, dc, fonts, &result, result);
        double t8 = Now();
        size_t fullBoxes = tree.laidOut - laid;
        if (r > 0)
            printf("%d %.3f %.3f %.3f %.3f %.3f %.3f %.3f %lu %lu\n", r, t1 - t0, t5 - t1, t3 - t2, t4 - t3, t5 - t4,
                   t7 - t6, t8 - t7, (unsigned long)changeBoxes, (unsigned long)fullBoxes);
    }
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
    return 0;
}
