// The CSS subset of the web view: style sheets from <style> elements and style attributes; type,
// class, id and descendant selectors; display, colours, font size and weight, text alignment,
// margin, padding, border, width and height. Owned by the document that parsed them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace webview {

struct Node;

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
};

// One declaration list, applied in order.
struct Declarations {
    std::vector<std::pair<std::string, std::string>> items;
};

struct Selector {
    // Compound selectors from the outermost ancestor to the subject.
    struct Compound {
        std::string tag, id;
        std::vector<std::string> classes;
    };
    std::vector<Compound> parts;
    int specificity = 0;
};

struct Rule {
    Selector selector;
    Declarations decls;
    int order = 0;
};

class StyleSheet {
public:
    void Parse(const std::string& css);
    // Computes the style of every element under root (inheritance from the parent's style).
    void Compute(Node* root) const;

private:
    std::vector<Rule> m_rules;
};

Declarations ParseDeclarations(const std::string& text);
void ApplyDeclarations(Style& style, const Declarations& decls, const Style& parent);
bool ParseColor(const std::string& text, uint32_t& color);

}  // namespace webview
