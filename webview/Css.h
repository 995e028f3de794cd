// The style values the layout draws with (the cascade itself is libcss's, see Cascade.h), and the
// small parsers the view needs outside the cascade: colours of presentational attributes and
// declaration lists of style attributes that scripts edit.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace webview {

// How a box takes part in layout (CSS display, after blockification by libcss).
enum class Display {
    Inline, Block, InlineBlock, None, ListItem,
    Table, InlineTable, TableRowGroup, TableHeaderGroup, TableFooterGroup, TableRow, TableCell, TableCaption,
    TableColumn, TableColumnGroup,
    Flex, InlineFlex,
};

enum class Align { Left, Center, Right, Justify };

// A length: unset (auto, or none for max-width/max-height), pixels or a percentage of the
// containing block's width (its height for top/bottom/height).
struct Length {
    enum Kind { Auto, Px, Percent } kind = Auto;
    float value = 0;
    int Resolve(int containing, int fallback) const {
        return kind == Px ? int(value) : kind == Percent ? int(value * containing / 100) : fallback;
    }
    bool IsAuto() const { return kind == Auto; }
    bool operator==(const Length& o) const { return kind == o.kind && value == o.value; }
    bool operator!=(const Length& o) const { return !(*this == o); }
};

struct Edges {
    int top = 0, right = 0, bottom = 0, left = 0;
    bool operator==(const Edges& o) const {
        return top == o.top && right == o.right && bottom == o.bottom && left == o.left;
    }
    bool operator!=(const Edges& o) const { return !(*this == o); }
};

// Four lengths of a box's sides (margins may be auto; margins and padding may be percentages of
// the containing block's width).
struct LengthEdges {
    Length top, right, bottom, left;
    // Pixels against a containing width; auto gives fallback.
    Edges Resolve(int containing, int fallback = 0) const {
        return Edges{top.Resolve(containing, fallback), right.Resolve(containing, fallback),
                     bottom.Resolve(containing, fallback), left.Resolve(containing, fallback)};
    }
    bool operator==(const LengthEdges& o) const {
        return top == o.top && right == o.right && bottom == o.bottom && left == o.left;
    }
    bool operator!=(const LengthEdges& o) const { return !(*this == o); }
};

enum class Position { Static, Relative, Absolute, Fixed };
enum class Float { None, Left, Right };
enum class Clear { None, Left, Right, Both };
enum class Overflow { Visible, Hidden, Auto, Scroll };
enum class WhiteSpace { Normal, Nowrap, Pre, PreWrap, PreLine };
enum class VerticalAlign { Baseline, Middle, Top, Bottom, TextTop, TextBottom, Sub, Super, Length };
enum class BorderStyle { None, Solid, Dashed, Dotted, Double, Groove, Ridge, Inset, Outset };
enum class ListStyle { None, Disc, Circle, Square, Decimal, LowerAlpha, UpperAlpha, LowerRoman, UpperRoman };
enum class Repeat { Repeat, RepeatX, RepeatY, NoRepeat };
enum class Cursor { Auto, Default, Pointer, Text, Move, Wait, Help, NotAllowed };
enum class FlexDirection { Row, RowReverse, Column, ColumnReverse };
enum class FlexWrap { Nowrap, Wrap, WrapReverse };
enum class Justify { FlexStart, FlexEnd, Center, SpaceBetween, SpaceAround, SpaceEvenly };
// align-items / align-self / align-content; Auto only for align-self (take the parent's).
enum class FlexAlign { Auto, Stretch, FlexStart, FlexEnd, Center, Baseline, SpaceBetween, SpaceAround };

// background-size: auto, cover, contain or two lengths (each may be auto).
struct BackgroundSize {
    enum Kind { Auto, Cover, Contain, Lengths } kind = Auto;
    Length width, height;
    bool operator==(const BackgroundSize& o) const { return kind == o.kind && width == o.width && height == o.height; }
};

// Computed style of an element as the layout and paint use it; colours are 0xAARRGGBB, alpha 0
// meaning none. Cooked from libcss's computed values (Cascade::Cook); the few properties libcss
// does not know (gap, border-radius, background-size) come from our own pass over the sheets
// (ExtraCascade).
struct Style {
    Display display = Display::Inline;
    Position position = Position::Static;
    Float floating = Float::None;
    Clear clear = Clear::None;
    Overflow overflowX = Overflow::Visible, overflowY = Overflow::Visible;
    bool hidden = false;          // visibility: hidden or collapse
    bool borderBox = false;       // box-sizing: border-box
    float opacity = 1;
    int zIndex = 0;
    bool zAuto = true;
    LengthEdges offset;           // top, right, bottom, left (auto unless set)

    // Box model. Widths and heights: auto; maxWidth/maxHeight auto means none.
    LengthEdges margin, padding;
    Edges border;                 // used widths (0 where the style is none or hidden)
    BorderStyle borderStyle[4] = {BorderStyle::None, BorderStyle::None, BorderStyle::None, BorderStyle::None};
    uint32_t borderColors[4] = {0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000};  // top right bottom left
    uint32_t borderColor = 0xFF000000;  // the top's, what old callers draw with
    // border-radius: top-left, top-right, bottom-right, bottom-left; px, or a negative number for
    // a percentage (-50 is 50%: of the border box's width across, of its height down).
    int radius[4] = {0, 0, 0, 0};
    Length width, height, minWidth, minHeight, maxWidth, maxHeight;

    // Text.
    uint32_t color = 0xFF000000;
    int fontSize = 16;
    int fontFamily = 0;           // FontFamilyName's index; 0: the view's default face
    bool bold = false;
    bool italic = false;
    bool underline = false;       // propagates to descendants' text, as browsers draw it
    bool lineThrough = false;
    bool overline = false;
    Align align = Align::Left;
    bool pre = false;             // whitespace kept (pre, pre-wrap)
    WhiteSpace whiteSpace = WhiteSpace::Normal;
    // line-height: lineHeightPx >= 0 is pixels; else lineHeightFactor times the font size, or the
    // font's own line height when the factor is 0 (normal).
    int lineHeightPx = -1;
    float lineHeightFactor = 0;
    VerticalAlign verticalAlign = VerticalAlign::Baseline;
    int verticalShift = 0;        // VerticalAlign::Length: pixels up
    Length textIndent;
    int letterSpacing = 0;
    int wordSpacing = 0;
    ListStyle listStyle = ListStyle::Disc;
    bool listInside = false;
    Cursor cursor = Cursor::Auto;

    // Background.
    uint32_t background = 0;
    std::string backgroundImage;  // absolute URL, empty for none
    Repeat backgroundRepeat = Repeat::Repeat;
    Length backgroundX{Length::Percent, 0}, backgroundY{Length::Percent, 0};
    BackgroundSize backgroundSize;

    // Tables.
    bool borderCollapse = false;
    int borderSpacingX = 0, borderSpacingY = 0;
    bool captionBottom = false;
    bool fixedTableLayout = false;

    // Flex containers and items.
    FlexDirection flexDirection = FlexDirection::Row;
    FlexWrap flexWrap = FlexWrap::Nowrap;
    Justify justifyContent = Justify::FlexStart;
    FlexAlign alignItems = FlexAlign::Stretch;
    FlexAlign alignSelf = FlexAlign::Auto;
    FlexAlign alignContent = FlexAlign::Stretch;
    float flexGrow = 0, flexShrink = 1;
    Length flexBasis;             // auto: the item's width or height
    bool flexBasisContent = false;
    int order = 0;
    int rowGap = 0, columnGap = 0;

    bool IsBlockLevel() const {
        return display == Display::Block || display == Display::ListItem || display == Display::Table ||
               display == Display::Flex;
    }
    bool IsAtomicInline() const {
        return display == Display::InlineBlock || display == Display::InlineTable || display == Display::InlineFlex;
    }
    bool IsPositioned() const { return position != Position::Static; }
    bool IsOutOfFlow() const { return position == Position::Absolute || position == Position::Fixed; }
    bool ClipsX() const { return overflowX != Overflow::Visible; }
    bool ClipsY() const { return overflowY != Overflow::Visible; }

    bool operator==(const Style& o) const;
    bool operator!=(const Style& o) const { return !(*this == o); }
};

// Interned font-family names: the first family of a font-family list that the view can draw with,
// as an index (0 is the default face).
int InternFontFamily(const std::wstring& name);
const std::wstring& FontFamilyName(int index);

// One declaration list, in order.
struct Declarations {
    std::vector<std::pair<std::string, std::string>> items;
};

Declarations ParseDeclarations(const std::string& text);
bool ParseColor(const std::string& text, uint32_t& color);

}  // namespace webview
