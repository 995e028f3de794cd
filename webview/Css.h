// The style values the layout draws with (the cascade itself is libcss's, see Cascade.h), and the
// small parsers the view needs outside the cascade: colours of presentational attributes and
// declaration lists of style attributes that scripts edit.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace webview {

enum class Display { Inline, Block, InlineBlock, None };

enum class Align { Left, Center, Right };

// A length: unset (auto), pixels or a percentage of the containing width.
struct Length {
    enum Kind { Auto, Px, Percent } kind = Auto;
    float value = 0;
    int Resolve(int containing, int fallback) const {
        return kind == Px ? int(value) : kind == Percent ? int(value * containing / 100) : fallback;
    }
};

struct Edges {
    int top = 0, right = 0, bottom = 0, left = 0;
};

// Computed style of an element; colours are 0xAARRGGBB, alpha 0 meaning none.
struct Style {
    Display display = Display::Inline;
    uint32_t color = 0xFF000000;
    uint32_t background = 0;
    int fontSize = 16;
    bool bold = false;
    bool underline = false;
    Align align = Align::Left;
    Edges margin, padding, border;
    uint32_t borderColor = 0xFF000000;
    Length width, height;
    bool pre = false;  // whitespace kept (pre)

    bool operator==(const Style& o) const {
        auto e = [](const Edges& a, const Edges& b) {
            return a.top == b.top && a.right == b.right && a.bottom == b.bottom && a.left == b.left;
        };
        auto l = [](const Length& a, const Length& b) { return a.kind == b.kind && a.value == b.value; };
        return display == o.display && color == o.color && background == o.background && fontSize == o.fontSize &&
               bold == o.bold && underline == o.underline && align == o.align && e(margin, o.margin) &&
               e(padding, o.padding) && e(border, o.border) && borderColor == o.borderColor && l(width, o.width) &&
               l(height, o.height) && pre == o.pre;
    }
    bool operator!=(const Style& o) const { return !(*this == o); }
};

// One declaration list, in order.
struct Declarations {
    std::vector<std::pair<std::string, std::string>> items;
};

Declarations ParseDeclarations(const std::string& text);
bool ParseColor(const std::string& text, uint32_t& color);

}  // namespace webview
