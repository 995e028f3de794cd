// The layout engine's inner interface, shared by its files: Layout.cpp (the pass, fonts, hit
// testing), LayoutBlock.cpp (block formatting: boxes, sizes, margins, stacking), LayoutInline.cpp
// (lines and text), LayoutTable.cpp (tables) and LayoutFlex.cpp (flex containers). Not for use
// outside the layout; Layout.h is its public face.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "Layout.h"

namespace webview {

// Everything that is not inline-level stacks as a block.
inline bool BlockLevel(const Style& s) {
    return s.display != Display::Inline && s.display != Display::None && !s.IsAtomicInline();
}

inline bool IsCjk(wchar_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x3000 && c <= 0x303F);
}

// One line's worth of inline items, placed when the line is complete.
struct LineItem {
    bool atomic = false;
    std::wstring text;
    const Style* style = nullptr;
    Box* source = nullptr;  // text: the element it is drawn as
    HFONT font = nullptr;
    dom_node* node = nullptr;
    Box* box = nullptr;  // atomic: an inline-block placed as a child, or an image
    uint32_t background = 0;
    int w = 0, h = 0;
    std::vector<PaintItem> pieces;  // an image's, laid out at (0, 0)
    std::vector<HitBox> pieceHits;
};

class Layouter {
public:
    Layouter(RenderTree& tree, Document& doc, HDC dc, FontCache& fonts, bool reuse)
        : m_tree(tree), m_doc(doc), m_dc(dc), m_fonts(fonts), m_reuse(reuse) {}

    // Lays out a block-level box (or inline-block) into its own lists, its margin box's top left
    // at (0, 0); returns the margin box's height. The caller places it.
    int Block(Box* n, int avail, int* usedWidth = nullptr);

    // Formatting contexts other than flow, each in its own file: lay out n's content at content
    // width `width` with its top left at (x, y) of owner's coordinates; return the content height
    // and, in *used, the width it used.
    int TableContent(Box* n, int x, int y, int width, Box* owner, int* used);
    int FlexContent(Box* n, int x, int y, int width, Box* owner, int* used);
    // Their intrinsic widths (margin box), or -1 to measure n as flow content.
    int TableMaxContent(Box* n);
    int FlexMaxContent(Box* n);

    int MaxContent(Box* n);
    // Puts a laid-out block into owner's lists at (x, y) of owner's coordinates.
    static void Place(Box* n, int x, int y, Box* owner);

    RenderTree& Tree() { return m_tree; }
    Document& Doc() { return m_doc; }
    HDC Dc() const { return m_dc; }
    FontCache& Fonts() { return m_fonts; }

private:
    struct Lines {
        int x, y, width;
        Align align;
        std::vector<LineItem> items;
        int cursor = 0;
        int maxWidth = 0;
        bool spacePending = false;
    };

    int Children(Box* n, int x, int y, int width, Box* owner, int* usedWidth);
    void Inline(Box* n, Lines& lines, Box* owner);
    void AddText(const std::wstring& text, Box* owner, dom_node* node, Lines& lines, Box* into);
    void Add(LineItem item, Lines& lines, Box* owner);
    void Flush(Lines& lines, Box* owner);
    int Measure(HFONT f, const std::wstring& s);
    int InlineWidth(Box* n, int& line, int& widest);
    void ImageSize(Box* n, int avail, int* w, int* h);

    // Flex layout (LayoutFlex.cpp) lays its items out with the line and text machinery above.
    friend class FlexLayout;

    RenderTree& m_tree;
    Document& m_doc;
    HDC m_dc;
    FontCache& m_fonts;
    bool m_reuse;
};


}  // namespace webview
