// Layout of a render tree in normal flow: block boxes stacked downwards with their margins
// collapsing, floats with the lines beside them, relative, absolute and fixed boxes, and inline
// content (text, images, inline-blocks, form controls) broken into line boxes around a baseline,
// with CJK text breakable between characters. Floats, inline-blocks and absolute boxes of auto
// width shrink to fit their content (its narrowest and widest widths, measured once per box and
// remembered). The result is each block's paint items and the boxes that mouse input is tested
// against (DisplayList.h); the fonts it measured with are kept for painting. Owned by the view.
//
// Every block keeps what it drew, in its own coordinates: a pass keeps a block whose subtree did not
// change and whose available width is the same, only placing it again, so a change costs what it
// touches and the positions of its siblings, not the size of the page. Blocks that outside floats
// reach into, or whose floats or positioned descendants lie in another box's list, are laid out
// again instead.
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
// widths, each character asked of GDI once per face (GDI does not kern by default, so no call per
// word is needed). The advances are the face's unhinted ones, read at a large size and scaled, in
// 64ths of a pixel, so that a run's width is what a browser positioning glyphs at fractions of a
// pixel gives it, not a sum of per-character roundings.
class FontCache {
public:
    ~FontCache();
    // The face a style names (FontFamilyName; the view's default face for none), at its size,
    // weight and slant.
    HFONT Get(const Style& s);
    HFONT Get(int size, bool bold, bool underline);
    HFONT Get(int size, bool bold, bool italic, int family);
    // The font's line height (ascent, descent and its leading) and its ascent and descent.
    int LineHeight(HDC dc, HFONT font);
    int Ascent(HDC dc, HFONT font);
    int Descent(HDC dc, HFONT font);
    int Width(HDC dc, HFONT font, const wchar_t* s, size_t n);

private:
    struct Metrics {
        int lineHeight, ascent, descent;
    };
    const Metrics& MetricsOf(HDC dc, HFONT font);
    HFONT Make(uint64_t key, int size, bool bold, bool italic, bool underline, int family);

    struct Face {
        int size;
        std::vector<int>* advances;  // of the face at kReferenceSize, per UTF-16 unit, -1 until asked
        HFONT reference;
    };
    static constexpr int kReferenceSize = 1024;

    std::map<uint64_t, HFONT> m_fonts;
    std::map<HFONT, Metrics> m_metrics;
    std::map<HFONT, Face> m_faces;
    std::map<uint64_t, HFONT> m_references;  // by face, weight and slant
    std::map<HFONT, std::vector<int>> m_advances;  // per reference font
    // The last font asked for by key, measured and drawn with: text asks for the same one many
    // times in a row (the maps' entries stay where they are).
    uint64_t m_lastKey = 0;
    HFONT m_lastFont = nullptr;
    HFONT m_metricsFont = nullptr;
    const Metrics* m_lastMetrics = nullptr;
    HFONT m_faceFont = nullptr;
    const Face* m_lastFace = nullptr;
};

// What a pass gives the view besides the boxes' own lists.
struct LayoutResult {
    int width = 0, height = 0;
    // What the view shows where the page draws nothing: the root's background, else the body's
    // (as browsers propagate them), else white.
    uint32_t canvas = 0xFFFFFFFF;
    // The view's height it was laid out for: boxes sized by it (the root's percentage height, fixed
    // boxes, an old page's body) are not kept from a pass for another height.
    int viewHeight = -1;
};

// Lays the tree out. previous: the last pass's result over the same tree, when its unchanged
// blocks may be kept (placed again without being laid out), or null to lay out every box.
// viewHeight: the viewport's height, which fixed boxes are placed against (0: as tall as wide).
void LayOut(RenderTree& tree, Document& doc, int width, HDC measureDc, FontCache& fonts, LayoutResult* previous,
            LayoutResult& out, int viewHeight = 0);

// A laid-out box's origin in document coordinates (a list owner's), and its border box there.
POINT DocumentOrigin(const Box* b);
RECT DocumentBorder(const Box* b);
// The topmost hit box under a point of the tree laid out below root: view coordinates, the
// boxes' scroll offsets (the root's is the page's) applied as painting does (ScrollOffset.h).
dom_node* HitAt(const Box* root, POINT pt);
// Every hit box drawn by owner's list and the lists below it, in document coordinates.
template <class F>
void ForEachHit(const Box* owner, POINT at, F&& f) {
    for (const HitBox& h : owner->hits) {
        if (h.box) {
            ForEachHit(h.box, POINT{at.x + h.box->origin.x, at.y + h.box->origin.y}, f);
            continue;
        }
        RECT r = h.rc;
        OffsetRect(&r, at.x, at.y);
        f(r, h.node);
    }
}
// The box whose list holds b's items: its nearest ancestor that owns a list (null for the root).
const Box* Container(const Box* b);

}  // namespace webview
