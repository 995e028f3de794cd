#include "Css.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "Dom.h"
#include "Text.h"

namespace webview {

namespace {

struct NamedColor {
    const char* name;
    uint32_t argb;
};
const NamedColor kColors[] = {
    {"black", 0xFF000000}, {"white", 0xFFFFFFFF}, {"red", 0xFFFF0000},    {"green", 0xFF008000},
    {"blue", 0xFF0000FF},  {"yellow", 0xFFFFFF00}, {"gray", 0xFF808080},  {"grey", 0xFF808080},
    {"silver", 0xFFC0C0C0}, {"orange", 0xFFFFA500}, {"purple", 0xFF800080}, {"navy", 0xFF000080},
    {"maroon", 0xFF800000}, {"lime", 0xFF00FF00},  {"aqua", 0xFF00FFFF},  {"fuchsia", 0xFFFF00FF},
    {"teal", 0xFF008080},  {"olive", 0xFF808000},  {"transparent", 0},
};

Length ParseLength(const std::string& v, int fontSize) {
    Length l;
    std::string s = ToLower(Trim(v));
    if (s.empty() || s == "auto") return l;
    char* end = nullptr;
    float f = strtof(s.c_str(), &end);
    if (end == s.c_str()) return l;
    std::string unit = end;
    if (unit == "%") {
        l.kind = Length::Percent;
        l.value = f;
    } else if (unit == "em" || unit == "rem") {
        l.kind = Length::Px;
        l.value = f * fontSize;
    } else if (unit == "pt") {
        l.kind = Length::Px;
        l.value = f * 4 / 3;
    } else {
        l.kind = Length::Px;
        l.value = f;
    }
    return l;
}

int Px(const std::string& v, int fontSize) {
    Length l = ParseLength(v, fontSize);
    return l.kind == Length::Px ? std::max(0, int(l.value)) : 0;
}

std::vector<std::string> Words(const std::string& v) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < v.size()) {
        while (i < v.size() && isspace((unsigned char)v[i])) ++i;
        size_t e = i;
        int paren = 0;
        while (e < v.size() && (paren || !isspace((unsigned char)v[e]))) {
            if (v[e] == '(') ++paren;
            if (v[e] == ')') --paren;
            ++e;
        }
        if (e > i) out.push_back(v.substr(i, e - i));
        i = e;
    }
    return out;
}

void ApplyBox(Edges& e, const std::string& v, int fontSize) {
    std::vector<std::string> w = Words(v);
    if (w.empty()) return;
    int a = Px(w[0], fontSize);
    int b = w.size() > 1 ? Px(w[1], fontSize) : a;
    int c = w.size() > 2 ? Px(w[2], fontSize) : a;
    int d = w.size() > 3 ? Px(w[3], fontSize) : b;
    e.top = a, e.right = b, e.bottom = c, e.left = d;
}

void ApplyBorder(Style& s, const std::string& v) {
    int width = 0;
    bool none = false;
    for (const std::string& w : Words(v)) {
        uint32_t c;
        std::string lw = ToLower(w);
        if (lw == "none" || lw == "hidden") none = true;
        else if (lw == "thin") width = 1;
        else if (lw == "medium") width = 3;
        else if (lw == "thick") width = 5;
        else if (isdigit((unsigned char)lw[0]) || lw[0] == '.') width = Px(lw, s.fontSize);
        else if (ParseColor(lw, c)) s.borderColor = c;
    }
    if (none) width = 0;
    else if (width == 0) width = 3;
    s.border = Edges{width, width, width, width};
}

// Default styles of the element types.
void TagDefaults(const Node* n, Style& s) {
    static const char* kBlocks[] = {"html", "body", "div", "p", "h1", "h2", "h3", "h4", "h5", "h6", "ul", "ol",
                                    "li", "table", "tr", "form", "center", "hr", "pre", "header", "footer",
                                    "section", "article", "nav", "dl", "dt", "dd", "blockquote", "address",
                                    "fieldset", "main", "aside", "tbody", "thead", "td", "th", "figure"};
    static const char* kHidden[] = {"head", "script", "style", "title", "meta", "link", "noscript", "template",
                                    "iframe", "object", "embed", "input", "select", "textarea", "option"};
    const std::string& t = n->tag;
    for (const char* b : kBlocks)
        if (t == b) s.display = Display::Block;
    for (const char* h : kHidden)
        if (t == h) s.display = Display::None;
    if (t == "body") s.margin = Edges{8, 8, 8, 8};
    if (t == "p" || t == "ul" || t == "ol" || t == "blockquote") s.margin.top = s.margin.bottom = 16;
    if (t == "ul" || t == "ol") s.padding.left = 40;
    static const int kHeadings[] = {32, 24, 19, 16, 13, 11};
    if (t.size() == 2 && t[0] == 'h' && t[1] >= '1' && t[1] <= '6') {
        s.fontSize = kHeadings[t[1] - '1'];
        s.bold = true;
        s.margin.top = s.margin.bottom = s.fontSize * 2 / 3;
    }
    if (t == "b" || t == "strong" || t == "th") s.bold = true;
    if (t == "u") s.underline = true;
    if (t == "center") s.align = Align::Center;
    if (t == "pre") s.pre = true;
    if (t == "a" && n->Attr("href")) {
        s.color = 0xFF0000EE;
        s.underline = true;
    }
    if (t == "button") {
        s.display = Display::InlineBlock;
        s.padding = Edges{2, 6, 2, 6};
        s.border = Edges{1, 1, 1, 1};
        s.borderColor = 0xFF767676;
        s.background = 0xFFEFEFEF;
        s.fontSize = 13;
        s.align = Align::Center;
    }
    if (t == "img") s.display = Display::InlineBlock;
    if (t == "hr") {
        s.border = Edges{1, 1, 1, 1};
        s.borderColor = 0xFF808080;
        s.margin.top = s.margin.bottom = 8;
    }
}

bool MatchCompound(const Node* n, const Selector::Compound& c) {
    if (!n->element) return false;
    if (!c.tag.empty() && c.tag != "*" && c.tag != n->tag) return false;
    if (!c.id.empty()) {
        const std::string* id = n->Attr("id");
        if (!id || *id != c.id) return false;
    }
    for (const std::string& cls : c.classes)
        if (!n->HasClass(cls)) return false;
    return true;
}

bool Matches(const Node* n, const Selector& sel) {
    if (sel.parts.empty() || !MatchCompound(n, sel.parts.back())) return false;
    int i = (int)sel.parts.size() - 2;
    const Node* a = n->parent;
    while (i >= 0 && a) {
        if (MatchCompound(a, sel.parts[i])) --i;
        a = a->parent;
    }
    return i < 0;
}

bool ParseSelector(const std::string& text, Selector& sel) {
    for (const std::string& w : Words(text)) {
        Selector::Compound c;
        size_t i = 0;
        auto ident = [&]() {
            size_t b = i;
            while (i < w.size() && (isalnum((unsigned char)w[i]) || w[i] == '-' || w[i] == '_' ||
                                    (unsigned char)w[i] >= 0x80))
                ++i;
            return w.substr(b, i - b);
        };
        if (i < w.size() && w[i] == '*') {
            c.tag = "*";
            ++i;
        } else {
            c.tag = ToLower(ident());
        }
        while (i < w.size()) {
            char k = w[i++];
            std::string name = ident();
            if (name.empty()) return false;
            if (k == '#') c.id = name, sel.specificity += 10000;
            else if (k == '.') c.classes.push_back(name), sel.specificity += 100;
            else return false;  // pseudo-classes, attributes, combinators: not supported
        }
        if (!c.tag.empty() && c.tag != "*") sel.specificity += 1;
        if (c.tag.empty() && c.id.empty() && c.classes.empty()) return false;
        sel.parts.push_back(c);
    }
    return !sel.parts.empty();
}

std::string StripComments(const std::string& css) {
    std::string out;
    size_t i = 0;
    while (i < css.size()) {
        size_t c = css.find("/*", i);
        if (c == std::string::npos) {
            out += css.substr(i);
            break;
        }
        out += css.substr(i, c - i);
        size_t e = css.find("*/", c + 2);
        if (e == std::string::npos) break;
        i = e + 2;
    }
    return out;
}

}  // namespace

bool ParseColor(const std::string& textIn, uint32_t& color) {
    std::string t = ToLower(Trim(textIn));
    if (t.empty()) return false;
    if (t[0] == '#') {
        std::string h = t.substr(1);
        for (char c : h)
            if (!isxdigit((unsigned char)c)) return false;
        unsigned long v = strtoul(h.c_str(), nullptr, 16);
        if (h.size() == 3) {
            unsigned r = (v >> 8) & 15, g = (v >> 4) & 15, b = v & 15;
            color = 0xFF000000 | (r * 17 << 16) | (g * 17 << 8) | (b * 17);
            return true;
        }
        if (h.size() == 6) {
            color = 0xFF000000 | (uint32_t)v;
            return true;
        }
        return false;
    }
    if (t.compare(0, 4, "rgb(") == 0 || t.compare(0, 5, "rgba(") == 0) {
        size_t p = t.find('(') + 1;
        int v[4] = {0, 0, 0, 255};
        for (int k = 0; k < 4 && p < t.size(); ++k) {
            char* end;
            double d = strtod(t.c_str() + p, &end);
            v[k] = k == 3 ? int(d * 255) : int(d);
            p = t.find(',', p);
            if (p == std::string::npos) break;
            ++p;
        }
        for (int& x : v) x = std::max(0, std::min(255, x));
        color = (v[3] ? 0xFF000000u : 0u) | (uint32_t(v[0]) << 16) | (uint32_t(v[1]) << 8) | uint32_t(v[2]);
        return true;
    }
    for (const NamedColor& n : kColors)
        if (t == n.name) {
            color = n.argb;
            return true;
        }
    return false;
}

Declarations ParseDeclarations(const std::string& text) {
    Declarations d;
    size_t i = 0;
    while (i < text.size()) {
        size_t e = text.find(';', i);
        if (e == std::string::npos) e = text.size();
        std::string item = text.substr(i, e - i);
        size_t c = item.find(':');
        if (c != std::string::npos) {
            std::string value = Trim(item.substr(c + 1));
            size_t imp = ToLower(value).find("!important");
            if (imp != std::string::npos) value = Trim(value.substr(0, imp));
            d.items.emplace_back(ToLower(Trim(item.substr(0, c))), value);
        }
        i = e + 1;
    }
    return d;
}

void ApplyDeclarations(Style& s, const Declarations& decls, const Style& parent) {
    for (const auto& kv : decls.items) {
        const std::string& k = kv.first;
        const std::string& v = kv.second;
        std::string lv = ToLower(v);
        uint32_t c;
        if (k == "display") {
            if (lv == "none") s.display = Display::None;
            else if (lv == "block" || lv == "list-item" || lv == "flex" || lv == "table" || lv == "table-row")
                s.display = Display::Block;
            else if (lv == "inline-block" || lv == "inline-flex" || lv == "table-cell") s.display = Display::InlineBlock;
            else if (lv == "inline") s.display = Display::Inline;
        } else if (k == "color") {
            if (ParseColor(lv, c)) s.color = c;
        } else if (k == "background-color" || k == "background") {
            for (const std::string& w : Words(lv))
                if (ParseColor(w, c)) s.background = c;
        } else if (k == "font-size") {
            Length l = ParseLength(lv, parent.fontSize);
            if (l.kind == Length::Percent) s.fontSize = int(parent.fontSize * l.value / 100);
            else if (l.kind == Length::Px) s.fontSize = int(l.value);
            s.fontSize = std::max(1, std::min(400, s.fontSize));
        } else if (k == "font-weight") {
            s.bold = lv == "bold" || lv == "bolder" || atoi(lv.c_str()) >= 600;
        } else if (k == "text-decoration") {
            s.underline = lv.find("underline") != std::string::npos;
        } else if (k == "text-align") {
            s.align = lv == "center" ? Align::Center : lv == "right" ? Align::Right : Align::Left;
        } else if (k == "white-space") {
            s.pre = lv.compare(0, 3, "pre") == 0;
        } else if (k == "margin") {
            ApplyBox(s.margin, lv, s.fontSize);
        } else if (k == "padding") {
            ApplyBox(s.padding, lv, s.fontSize);
        } else if (k.compare(0, 7, "margin-") == 0 || k.compare(0, 8, "padding-") == 0) {
            Edges& e = k[0] == 'm' ? s.margin : s.padding;
            std::string side = k.substr(k.find('-') + 1);
            int px = Px(lv, s.fontSize);
            if (side == "top") e.top = px;
            else if (side == "right") e.right = px;
            else if (side == "bottom") e.bottom = px;
            else if (side == "left") e.left = px;
        } else if (k == "border") {
            ApplyBorder(s, lv);
        } else if (k == "border-width") {
            ApplyBox(s.border, lv, s.fontSize);
        } else if (k == "border-color") {
            if (ParseColor(lv, c)) s.borderColor = c;
        } else if (k == "width") {
            s.width = ParseLength(lv, s.fontSize);
        } else if (k == "height") {
            s.height = ParseLength(lv, s.fontSize);
        }
    }
}

void StyleSheet::Parse(const std::string& cssIn) {
    std::string css = StripComments(cssIn);
    size_t i = 0;
    while (i < css.size()) {
        size_t open = css.find('{', i);
        if (open == std::string::npos) break;
        size_t close = css.find('}', open);
        if (close == std::string::npos) close = css.size();
        std::string selectors = Trim(css.substr(i, open - i));
        if (!selectors.empty() && selectors[0] == '@') {
            // At-rules (@media and the like): skip the whole block.
            int depth = 0;
            size_t k = open;
            for (; k < css.size(); ++k) {
                if (css[k] == '{') ++depth;
                if (css[k] == '}' && --depth == 0) break;
            }
            i = k + 1;
            continue;
        }
        Declarations decls = ParseDeclarations(css.substr(open + 1, close - open - 1));
        size_t s = 0;
        while (s <= selectors.size()) {
            size_t comma = selectors.find(',', s);
            if (comma == std::string::npos) comma = selectors.size();
            Rule r;
            if (ParseSelector(selectors.substr(s, comma - s), r.selector)) {
                r.decls = decls;
                r.order = (int)m_rules.size();
                m_rules.push_back(std::move(r));
            }
            s = comma + 1;
        }
        i = close + 1;
    }
}

void StyleSheet::Compute(Node* root) const {
    struct Item {
        Node* n;
        const Style* parent;
    };
    Style initial;
    std::vector<Item> stack{{root, &initial}};
    while (!stack.empty()) {
        Item it = stack.back();
        stack.pop_back();
        Node* n = it.n;
        const Style& p = *it.parent;
        Style s;
        s.color = p.color;
        s.fontSize = p.fontSize;
        s.bold = p.bold;
        s.align = p.align;
        s.pre = p.pre;
        s.underline = p.underline;
        if (n->element) {
            TagDefaults(n, s);
            std::vector<const Rule*> matched;
            for (const Rule& r : m_rules)
                if (Matches(n, r.selector)) matched.push_back(&r);
            std::stable_sort(matched.begin(), matched.end(), [](const Rule* a, const Rule* b) {
                return a->selector.specificity < b->selector.specificity;
            });
            for (const Rule* r : matched) ApplyDeclarations(s, r->decls, p);
            if (const std::string* st = n->Attr("style")) ApplyDeclarations(s, ParseDeclarations(*st), p);
            if (!n->styleOverride.empty()) ApplyDeclarations(s, ParseDeclarations(n->styleOverride), p);
            if (n->tag == "img") {
                if (const std::string* w = n->Attr("width")) s.width = ParseLength(*w, s.fontSize);
                if (const std::string* h = n->Attr("height")) s.height = ParseLength(*h, s.fontSize);
            }
            if (const std::string* bg = n->Attr("bgcolor")) ParseColor(*bg, s.background);
        } else {
            s.display = Display::Inline;
        }
        n->style = s;
        for (auto c = n->children.rbegin(); c != n->children.rend(); ++c) stack.push_back({c->get(), &n->style});
    }
}

}  // namespace webview
