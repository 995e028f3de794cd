// Layout of a render tree: block boxes stacked downwards, inline content (text, images, buttons)
// broken into lines, with CJK text breakable between characters; an inline-block is laid out once,
// at its shrink-to-fit width (its max-content width, measured once per box and remembered). The
// result is a display list in document coordinates and the boxes that mouse input is tested
// against; the fonts it measured with are kept for painting. Owned by the view.
//
// A pass reuses the previous pass's result for every block whose subtree did not change and whose
// available width is the same: its items are moved over, shifted to its new position.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Dom.h"
#include "RenderTree.h"

namespace webview {

// The fonts of a view and what was measured of them. Text widths are sums of character advance
// widths, each character asked of GDI once per font (GDI does not kern by default, so the sum is
// what GetTextExtentPoint32 says, without a call per word).
class FontCache {
public:
    ~FontCache();
    HFONT Get(int size, bool bold, bool underline);
    int LineHeight(HDC dc, HFONT font);
    int Width(HDC dc, HFONT font, const wchar_t* s, size_t n);

private:
    std::map<int, HFONT> m_fonts;
    std::map<HFONT, int> m_heights;
    std::map<HFONT, std::vector<int>> m_advances;  // per UTF-16 unit, -1 until asked
};

struct PaintItem {
    enum Kind { Fill, Frame, Text, Picture } kind = Fill;
    RECT rc{};
    uint32_t color = 0;      // fill or text colour
    uint32_t background = 0; // text only: the background of its inline element
    Edges border;            // frame only
    std::wstring text;
    HFONT font = nullptr;
    int image = -1;          // picture only: the document's image
};

struct HitBox {
    RECT rc;
    dom_node* node;  // borrowed from the render tree
};

struct LayoutResult {
    std::vector<PaintItem> items;
    std::vector<HitBox> hits;  // later boxes lie on top of earlier ones
    int width = 0, height = 0;
    // What the view shows where the page draws nothing: the root's background, else the body's
    // (as browsers propagate them), else white.
    uint32_t canvas = 0xFFFFFFFF;
};

// Lays the tree out into out (emptied first, its memory kept). previous: the last pass's result
// over the same tree, whose unchanged blocks' items are moved over, or null.
void LayOut(RenderTree& tree, Document& doc, int width, HDC measureDc, FontCache& fonts, LayoutResult* previous,
            LayoutResult& out);

void Translate(LayoutResult& r, int dx, int dy);

}  // namespace webview
