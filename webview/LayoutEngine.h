// The layout engine's inner interface, shared by its files: Layout.cpp (the pass, fonts, hit
// testing), LayoutBlock.cpp (block formatting: boxes, sizes, margins, stacking), LayoutInline.cpp
// (lines and text), LayoutTable.cpp (tables) and LayoutFlex.cpp (flex containers). Not for use
// outside the layout; Layout.h is its public face.
#pragma once
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <cwchar>
#include <cwctype>
#include <string>
#include <unordered_map>
#include <vector>

#include "Layout.h"

namespace webview {

// Whether a box's tag is t (lower case), its length compared first.
template <size_t N>
inline bool TagIs(const Box* b, const char (&t)[N]) {
    return b->tag.size() == N - 1 && std::memcmp(b->tag.data(), t, N - 1) == 0;
}

// Everything that is not inline-level stacks as a block.
inline bool BlockLevel(const Style& s) {
    return s.display != Display::Inline && s.display != Display::None && !s.IsAtomicInline();
}

// White space as iswspace says, without a library call for the common ASCII case.
inline bool IsSpace(wchar_t c) {
    if (c < 0x80) return c == L' ' || (c >= 9 && c <= 13);
    return iswspace(c) != 0;
}

// Letters and digits of ASCII: no line-breaking punctuation among them.
inline bool IsAsciiWordChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
}

inline bool IsCjk(wchar_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x3000 && c <= 0x303F);
}

// Punctuation a line does not start with (closing marks), and that it does not end with (opening).
inline bool NoBreakBefore(wchar_t c) {
    return c && !IsAsciiWordChar(c) && wcschr(L"\x3001\x3002\xFF0C\xFF1B\xFF1A\xFF1F\xFF01\xFF09\x300B\x300D\x300F\x3011\x3015\x3009"
                       L"\x201D\x2019\x2026\x00B7,.;:!?)]}%", c);
}
inline bool NoBreakAfter(wchar_t c) {
    return c && !IsAsciiWordChar(c) && wcschr(L"\xFF08\x300A\x300C\x300E\x3010\x3014\x3008\x201C\x2018([{", c);
}

// The end of the unbreakable word that starts at t[i] (not white space): a run of other than CJK
// characters, or one CJK character; closing punctuation stays with what it follows, opening
// punctuation with what follows it.
inline size_t WordEnd(const std::wstring& t, size_t i) {
    size_t e = i;
    for (;;) {
        if (IsCjk(t[e])) ++e;
        else
            while (e < t.size() && !IsSpace(t[e]) && !IsCjk(t[e])) ++e;
        while (e < t.size() && NoBreakBefore(t[e])) ++e;
        if (e < t.size() && !IsSpace(t[e]) && NoBreakAfter(t[e - 1])) continue;
        return e;
    }
}

// Adjoining margins collapse to the largest positive plus the most negative.
inline int CollapseMargins(int a, int b) {
    return std::max(0, std::max(a, b)) + std::min(0, std::min(a, b));
}

// Whether a box's content forms a block formatting context of its own: it contains its floats and
// does not let outside floats into its lines.
bool NewFormattingContext(const Box* n);

// The floats of one block formatting context, as margin boxes in its root's coordinates (the
// root's own list coordinates). Floats that end above every later question are dropped now and
// then, so a long page of floats stays linear.
class FloatArea {
public:
    void Add(const RECT& rc, bool left);
    // The free span between the floats over rows [y, y + h), within [x0, x1).
    void Span(int y, int h, int x0, int x1, int* left, int* right) const;
    // The lowest bottom of the floats that overlap row y and later (INT_MAX when none do).
    int NextBottom(int y) const;
    // Where a box cleared of the given floats may start (at least y).
    int Cleared(Clear c, int y) const;
    int Bottom() const { return m_bottom; }
    // A float's top is not above an earlier float's.
    int LastTop() const { return m_lastTop; }
    // How many floats were ever added: a mark for Shift.
    size_t Seq() const { return m_seq; }
    // Moves the floats added since mark `from` by dy (their box's margins collapsed after they were placed).
    void Shift(size_t from, int dy);

private:
    struct Item {
        RECT rc;
        bool left;
        size_t seq;
    };
    std::vector<Item> m_items;
    int m_bottom = 0, m_lastTop = INT_MIN;
    size_t m_seq = 0;
};

// A list marker's text for the given number ("1.", "iv.", "•").
std::wstring MarkerText(ListStyle style, int ordinal);
// Runs of white space as one space.
std::wstring CollapseSpaces(const std::wstring& s);
struct TableGrid;      // LayoutTable.cpp
struct TableCellSlot;  // LayoutTable.cpp

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
    // Vertical placement: above and below the baseline as the line box counts it (text: with its
    // half-leading), the glyphs' ascent (text), and how far its baseline is raised.
    int above = 0, below = 0, ascent = 0, raise = 0;
    VerticalAlign valign = VerticalAlign::Baseline;
    int spaces = 0;        // text: spaces justification may widen (one leading space at most)
    int spaceWidth = 0;    // text: the leading space's width, not part of what is drawn or hit
    POINT shift{0, 0};     // the offsets of the relatively positioned inline elements around it
    bool hidden = false;   // visibility: hidden; takes its space, draws nothing
    bool edge = false;     // an inline element's start or end (margin, border, padding)
    std::vector<PaintItem> pieces;  // an image's, laid out at (0, 0)
    std::vector<HitBox> pieceHits;
};

// An inline element's part on the current line: the items between first and last (exclusive, -1
// while still open), drawn as one Decor under them.
struct InlineSpan {
    Box* box;
    int first;
    int last;
    int above, below;  // its content area around the baseline (font ascent, descent)
    int raise;
    bool starts;       // its start (left padding, border, margin) is on this line
    POINT shift;       // its own and its ancestors' relative offsets
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
    // A table's narrowest margin box, and the content width it takes in a containing block of
    // width avail (shrink-to-fit unless its width is set; never below its columns' minimum).
    int TableMinContent(Box* n);
    int TableWidth(Box* n, int avail);
    // A table whose last layout still holds but for some changed rows: lays out those rows' cells
    // and puts them in its list in place of the old ones. Returns its margin box's height, or -1
    // when the table must be laid out in full.
    int TableKept(Box* n, int key, int forceHeight, int* used);

    // Intrinsic widths of a box's margin box: on one line (max), and the narrowest it can be without
    // overflowing (min: its widest word or atomic inline). Remembered until its subtree changes.
    int MaxContent(Box* n);
    int MinContent(Box* n);
    // Lays out n at a definite border-box width and, when borderHeight >= 0, a definite border-box
    // height (flex stretch, table cells); its margin box's top left at (0, 0) as Block does.
    // Returns the margin box's height.
    int Sized(Box* n, int borderWidth, int borderHeight);
    // Puts a laid-out block into owner's lists at (x, y) of owner's coordinates (a relatively
    // positioned box is drawn at its offset from there).
    static void Place(Box* n, int x, int y, Box* owner);

    // Lays out n's flow content (blocks and lines) at content width `width` with its top left at
    // (x, y) of owner's coordinates; returns its height and, in *usedWidth, the width it used.
    int Children(Box* n, int x, int y, int width, Box* owner, int* usedWidth);

    RenderTree& Tree() { return m_tree; }
    Document& Doc() { return m_doc; }
    HDC Dc() const { return m_dc; }
    FontCache& Fonts() { return m_fonts; }
    // The viewport: what fixed boxes are placed against and the root's percentage heights resolve to.
    void SetViewport(int w, int h) { m_viewW = w, m_viewH = h, m_cbHeight = h; }

private:
    // Flow state of one block container's content: lines being filled, and the margins between
    // its blocks.
    struct Lines {
        int x, y, width;
        Align align;
        std::vector<LineItem> items;
        int cursor = 0;
        int lead = 0;               // where the line's content starts (text-indent)
        int maxWidth = 0;
        bool spacePending = false;
        Box* block = nullptr;       // the block container
        int left = 0, right = 0;    // this line's free span (owner coordinates), set when it starts
        bool started = false;
        bool firstLine = true;
        int indent = 0;
        std::vector<InlineSpan> spans;
        // Margins: pending is the collapsed margin above the next content; while atTop, nothing
        // has been placed and margins collapse into the container's own top (topOpen) as leading.
        int pending = 0, leading = 0;
        bool atTop = true, topOpen = false;
        int firstBaseline = -1, lastBaseline = -1;
        int strutAbove = 0, strutBelow = 0;
        int ordinal = 1;                  // the next list item's number
        std::vector<Box*> floatsAfter;    // floats met on a line too full for them
    };
    // A box taken out of the flow, waiting for its containing block to be laid out: where it
    // would have been (its static position) in the list of staticOwner.
    struct OutOfFlow {
        Box* box;
        Box* staticOwner;
        POINT at;
    };

    int LayoutBox(Box* n, int cbWidth, int forceWidth, int forceHeight, int* usedWidth);
    int Flow(Box* n, int x, int y, int width, Box* owner, int* usedWidth, Lines& lines);
    void FlowBlock(Box* k, Lines& lines, Box* owner, int* used);
    void FlowFloat(Box* k, Lines& lines, Box* owner);
    void DeferOutOfFlow(Box* k, Lines& lines, Box* owner);
    void LayOutPositioned(const RECT& padding, std::vector<OutOfFlow>& list, Box* owner);
    void Stack(Box* n);
    void Marker(Box* n, int x, int baseline, int ordinal);
    int ShrinkToFit(Box* n, int avail);
    bool Reusable(Box* n, int avail, int forceHeight);
    void ApplyPending(Lines& lines);
    void PendingSpace(Lines& lines, const Style& s, Box* owner);
    void StartLine(Lines& lines, int need);

    void Inline(Box* n, Lines& lines, Box* owner);
    void AddText(const std::wstring& text, Box* owner, dom_node* node, Lines& lines, Box* into);
    void Add(LineItem item, Lines& lines, Box* owner);
    void Flush(Lines& lines, Box* owner, bool last = false);
    int Measure(HFONT f, const std::wstring& s, const Style* st = nullptr);
    int InlineWidth(Box* n, int& line, int& widest, bool narrowest = false);
    void ImageSize(Box* n, int avail, int* w, int* h);
    void Strut(const Style& s, int* above, int* below);
    void ControlBaseline(const Box* n, const RECT& box, int* above, int* below);
    void TextExtents(const Style& s, HFONT font, int* above, int* below, int* ascent, int* height);
    int RaiseOf(const Style& s, const Style& parent, int above, int below);

    // Flex layout (LayoutFlex.cpp) lays its items out with the line and text machinery above.
    friend class FlexLayout;

    RenderTree& m_tree;
    Document& m_doc;
    HDC m_dc;
    FontCache& m_fonts;
    bool m_reuse;
    // The formatting context being filled and where the list being filled lies in its coordinates.
    FloatArea* m_floats = nullptr;
    int m_ox = 0, m_oy = 0;
    // Definite content height of the containing block (-1: auto), for percentage heights.
    int m_cbHeight = -1;
    // Out-of-flow boxes waiting for the nearest positioned ancestor, and for the viewport.
    std::vector<OutOfFlow>* m_absolute = nullptr;
    std::vector<OutOfFlow>* m_fixed = nullptr;
    Box* m_absoluteOwner = nullptr;  // whose m_absolute it is
    Box* m_bfcRoot = nullptr;         // whose m_floats they are
    int m_ordinal = 0;  // the next list item's number
    int m_viewW = 0, m_viewH = 0;
    int m_raise = 0;    // the baseline shift of the inline elements being walked
    bool m_widthSpace = false;  // MaxContent: a space waits before the next word
    POINT m_shift{0, 0};        // the relative offsets of the inline elements being walked
    // The tables measured in this pass, their columns' widths (LayoutTable.cpp).
    TableGrid& Grid(Box* table);
    bool SizeCell(TableGrid& g, TableCellSlot& c, int boxW, int width, bool quirks,
                  std::unordered_map<HFONT, int>& ascents);
    bool PlaceCell(TableGrid& g, TableCellSlot& c, const std::vector<int>& X, const std::vector<int>& Y,
                   const std::vector<int>& above, Box* owner);
    std::unordered_map<const Box*, std::shared_ptr<TableGrid>> m_tables;
    std::vector<int> m_xs;
    std::vector<std::vector<LineItem>> m_linePool;  // emptied line item lists, kept for their room
    bool m_tableStackless = false;  // the table just laid out placed nothing positioned in its list  // Flush: the items' left edges on the line being placed
    // Sized's definite border-box size for the next Block call (-1: none).
    int m_forceWidth = -1, m_forceHeight = -1;
};

}  // namespace webview
