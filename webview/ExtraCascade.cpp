#include "ExtraCascade.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

#include "Dom.h"
#include "DomSelector.h"
#include "Text.h"

namespace webview {

namespace {

bool NameChar(char c) {
    return isalnum((unsigned char)c) || c == '-' || c == '_' || (unsigned char)c >= 0x80 || c == '\\';
}

// The end of a bracketed or quoted part starting at i (the index after it).
size_t SkipNested(const std::string& s, size_t i) {
    char open = s[i];
    if (open == '"' || open == '\'') {
        for (++i; i < s.size() && s[i] != open; ++i)
            if (s[i] == '\\') ++i;
        return std::min(s.size(), i + 1);
    }
    char close = open == '(' ? ')' : open == '[' ? ']' : '}';
    int depth = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"' || c == '\'') {
            i = SkipNested(s, i) - 1;
            continue;
        }
        if (c == open) ++depth;
        else if (c == close && --depth == 0) return i + 1;
    }
    return s.size();
}

std::string WithoutComments(const std::string& css) {
    if (css.find("/*") == std::string::npos) return css;
    std::string out;
    out.reserve(css.size());
    for (size_t i = 0; i < css.size(); ++i) {
        if (css[i] == '"' || css[i] == '\'') {
            size_t e = SkipNested(css, i);
            out.append(css, i, e - i);
            i = e - 1;
        } else if (css[i] == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            size_t e = css.find("*/", i + 2);
            if (e == std::string::npos) break;
            out += ' ';
            i = e + 1;
        } else {
            out += css[i];
        }
    }
    return out;
}

// Splits at sep outside brackets and quotes.
std::vector<std::string> SplitTop(const std::string& s, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '(' || c == '[' || c == '"' || c == '\'') {
            i = SkipNested(s, i) - 1;
        } else if (c == sep) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(s.substr(start));
    return parts;
}

std::vector<std::string> Tokens(const std::string& s) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isspace((unsigned char)s[i])) ++i;
        size_t e = i;
        while (e < s.size() && !isspace((unsigned char)s[e])) {
            if (s[e] == '(') e = SkipNested(s, e);
            else ++e;
        }
        if (e > i) out.push_back(s.substr(i, e - i));
        i = e;
    }
    return out;
}

bool IsSizeToken(const std::string& t) {
    std::string l = ToLower(t);
    return l == "auto" || l == "cover" || l == "contain" ||
           (!l.empty() && (isdigit((unsigned char)l[0]) || l[0] == '.' || l[0] == '-' || l[0] == '+'));
}

typedef ExtraCascade::Declaration Decl;

// The declarations of one block that this pass cares about, shorthands expanded.
std::vector<Decl> Interesting(const std::string& block) {
    std::vector<Decl> out;
    for (const std::string& item : SplitTop(block, ';')) {
        size_t colon = item.find(':');
        if (colon == std::string::npos) continue;
        std::string name = ToLower(Trim(item.substr(0, colon)));
        if (name.find("radius") == std::string::npos && name.find("gap") == std::string::npos &&
            name.compare(0, 10, "background") != 0 && name != "flex")
            continue;
        std::string value = Trim(item.substr(colon + 1));
        bool important = false;
        size_t bang = value.rfind('!');
        if (bang != std::string::npos && ToLower(Trim(value.substr(bang + 1))) == "important") {
            important = true;
            value = Trim(value.substr(0, bang));
        }
        if (value.empty()) continue;
        auto add = [&](ExtraCascade::Property p, const std::string& v) { out.push_back(Decl{p, v, important}); };
        if (name == "gap" || name == "grid-gap") {
            std::vector<std::string> t = Tokens(value);
            if (t.empty() || t.size() > 2) continue;
            add(ExtraCascade::RowGap, t[0]);
            add(ExtraCascade::ColumnGap, t.back());
        } else if (name == "row-gap" || name == "grid-row-gap") {
            add(ExtraCascade::RowGap, value);
        } else if (name == "border-radius") {
            // Elliptical corners ("a / b") are drawn with their horizontal radii.
            std::vector<std::string> t = Tokens(SplitTop(value, '/')[0]);
            if (t.empty() || t.size() > 4) continue;
            const std::string& a = t[0];
            const std::string& b = t.size() > 1 ? t[1] : a;
            const std::string& c = t.size() > 2 ? t[2] : a;
            const std::string& d = t.size() > 3 ? t[3] : b;
            add(ExtraCascade::RadiusTL, a);
            add(ExtraCascade::RadiusTR, b);
            add(ExtraCascade::RadiusBR, c);
            add(ExtraCascade::RadiusBL, d);
        } else if (name == "border-top-left-radius" || name == "border-top-right-radius" ||
                   name == "border-bottom-right-radius" || name == "border-bottom-left-radius") {
            std::vector<std::string> t = Tokens(value);
            if (t.empty()) continue;
            add(name == "border-top-left-radius"    ? ExtraCascade::RadiusTL
                : name == "border-top-right-radius" ? ExtraCascade::RadiusTR
                : name == "border-bottom-right-radius" ? ExtraCascade::RadiusBR
                                                        : ExtraCascade::RadiusBL,
                t[0]);
        } else if (name == "flex") {
            std::vector<std::string> t = Tokens(value);
            if (t.size() != 3) continue;
            add(ExtraCascade::FlexGrow, t[0]);
            add(ExtraCascade::FlexShrink, t[1]);
            add(ExtraCascade::FlexBasis, t[2]);
        } else if (name == "background-size") {
            add(ExtraCascade::BgSize, SplitTop(value, ',')[0]);
        } else if (name == "background") {
            // The shorthand resets the size; "position / size" sets it.
            std::string first = SplitTop(value, ',')[0];
            std::vector<std::string> parts = SplitTop(first, '/');
            std::string size = "auto";
            if (parts.size() > 1) {
                std::vector<std::string> t = Tokens(parts[1]);
                size.clear();
                for (size_t k = 0; k < t.size() && k < 2 && IsSizeToken(t[k]); ++k) {
                    size += (k ? " " : "") + t[k];
                    if (ToLower(t[k]) == "cover" || ToLower(t[k]) == "contain") break;
                }
                if (size.empty()) continue;
            }
            add(ExtraCascade::BgSize, size);
        }
    }
    return out;
}

// (ids, classes and attributes and pseudo-classes, types) as one number.
int Specificity(const std::string& sel) {
    int a = 0, b = 0, c = 0;
    bool compoundStart = true;
    for (size_t i = 0; i < sel.size();) {
        char ch = sel[i];
        if (ch == '#' || ch == '.') {
            (ch == '#' ? a : b)++;
            ++i;
            while (i < sel.size() && NameChar(sel[i])) ++i;
            compoundStart = false;
        } else if (ch == '[') {
            ++b;
            i = SkipNested(sel, i);
            compoundStart = false;
        } else if (ch == ':') {
            bool element = i + 1 < sel.size() && sel[i + 1] == ':';
            i += element ? 2 : 1;
            size_t n = i;
            while (i < sel.size() && NameChar(sel[i])) ++i;
            std::string name = ToLower(sel.substr(n, i - n));
            if (element) ++c;
            else if (name != "not") ++b;
            compoundStart = false;
            if (i < sel.size() && sel[i] == '(') {
                // :not() counts what it holds; other arguments count nothing.
                if (name == "not") ++i, compoundStart = true;
                else i = SkipNested(sel, i);
            }
        } else if (NameChar(ch) && compoundStart) {
            ++c;
            while (i < sel.size() && NameChar(sel[i])) ++i;
            compoundStart = false;
        } else {
            compoundStart = isspace((unsigned char)ch) || ch == '>' || ch == '+' || ch == '~' || ch == '(';
            if (ch == '*') compoundStart = false;
            ++i;
        }
    }
    return std::min(a, 255) * 65536 + std::min(b, 255) * 256 + std::min(c, 255);
}

// What the rightmost compound of a selector requires: an id, else a class, else a tag ('#', '.',
// 't'), or nothing ('*').
std::pair<char, std::string> KeyOf(const std::string& sel) {
    size_t start = 0;
    for (size_t i = 0; i < sel.size(); ++i) {
        char c = sel[i];
        if (c == '(' || c == '[' || c == '"' || c == '\'') i = SkipNested(sel, i) - 1;
        else if (isspace((unsigned char)c) || c == '>' || c == '+' || c == '~') start = i + 1;
    }
    std::string last = sel.substr(start);
    std::string cls, tag;
    for (size_t i = 0; i < last.size();) {
        char c = last[i];
        if (c == '(' || c == '[') {
            i = SkipNested(last, i);
            continue;
        }
        if (c == '#' || c == '.' || c == ':' || (i == 0 && NameChar(c))) {
            size_t n = c == '#' || c == '.' || c == ':' ? i + 1 : i;
            size_t e = n;
            while (e < last.size() && NameChar(last[e])) ++e;
            std::string name = last.substr(n, e - n);
            if (c == '#' && !name.empty()) return {'#', name};
            if (c == '.' && cls.empty()) cls = name;
            if (i == 0 && NameChar(c)) tag = ToLower(name);
            i = e;
            continue;
        }
        ++i;
    }
    if (!cls.empty()) return {'.', cls};
    if (!tag.empty()) return {'t', tag};
    return {'*', std::string()};
}

// A length in pixels (percent: *percent set); false when the text is none.
bool ParseLength(const std::string& text, int fontSize, float* px, bool* percent) {
    std::string t = ToLower(Trim(text));
    char* end = nullptr;
    double v = strtod(t.c_str(), &end);
    if (end == t.c_str()) return false;
    std::string unit = Trim(end);
    *percent = false;
    if (unit == "%") *percent = true;
    else if (unit == "px" || (unit.empty() && v == 0)) {}
    else if (unit == "em") v *= fontSize;
    else if (unit == "rem") v *= 16;
    else if (unit == "pt") v = v * 4 / 3;
    else if (unit == "vw") v = v * 8;
    else if (unit == "vh") v = v * 6;
    else return false;
    *px = (float)std::max(-100000.0, std::min(100000.0, v));
    return true;
}

Length SizeLength(const std::string& text, int fontSize) {
    float v = 0;
    bool percent = false;
    if (ToLower(text) == "auto" || !ParseLength(text, fontSize, &v, &percent) || v < 0) return Length();
    return percent ? Length{Length::Percent, v} : Length{Length::Px, v};
}

void Set(ExtraCascade::Property p, const std::string& value, Style& s) {
    float v = 0;
    bool percent = false;
    switch (p) {
    case ExtraCascade::RowGap:
    case ExtraCascade::ColumnGap: {
        int px = ParseLength(value, s.fontSize, &v, &percent) && !percent ? std::max(0, (int)v) : 0;
        (p == ExtraCascade::RowGap ? s.rowGap : s.columnGap) = px;
        break;
    }
    case ExtraCascade::RadiusTL:
    case ExtraCascade::RadiusTR:
    case ExtraCascade::RadiusBR:
    case ExtraCascade::RadiusBL: {
        int r = 0;
        if (ParseLength(value, s.fontSize, &v, &percent) && v > 0)
            r = percent ? -std::max(1, (int)(std::min(v, 100.0f) + 0.5f)) : (int)(v + 0.5f);
        s.radius[p - ExtraCascade::RadiusTL] = r;
        break;
    }
    case ExtraCascade::BgSize: {
        std::vector<std::string> t = Tokens(ToLower(value));
        BackgroundSize b;
        if (t.size() == 1 && t[0] == "cover") b.kind = BackgroundSize::Cover;
        else if (t.size() == 1 && t[0] == "contain") b.kind = BackgroundSize::Contain;
        else if (!t.empty() && !(t.size() == 1 && t[0] == "auto") && !(t.size() == 2 && t[0] == "auto" && t[1] == "auto")) {
            b.kind = BackgroundSize::Lengths;
            b.width = SizeLength(t[0], s.fontSize);
            b.height = t.size() > 1 ? SizeLength(t[1], s.fontSize) : Length();
        }
        s.backgroundSize = b;
        break;
    }
    case ExtraCascade::FlexGrow:
    case ExtraCascade::FlexShrink: {
        char* end = nullptr;
        float f = strtof(value.c_str(), &end);
        if (end == value.c_str() || f < 0) break;
        (p == ExtraCascade::FlexGrow ? s.flexGrow : s.flexShrink) = f;
        break;
    }
    case ExtraCascade::FlexBasis: {
        std::string l = ToLower(value);
        s.flexBasisContent = l == "content";
        if (l == "auto" || l == "content") {
            s.flexBasis = Length();
        } else if (ParseLength(value, s.fontSize, &v, &percent) && v >= 0) {
            s.flexBasis.kind = percent ? Length::Percent : Length::Px;
            s.flexBasis.value = v;
        }
        break;
    }
    default:
        break;
    }
}

struct Winner {
    const Decl* decl = nullptr;
    bool important = false;
    int specificity = 0, order = 0;
    void Offer(const Decl& d, int spec, int ord) {
        if (decl && (important != d.important ? important : specificity != spec ? specificity > spec : order > ord))
            return;
        decl = &d;
        important = d.important;
        specificity = spec;
        order = ord;
    }
};

}  // namespace

ExtraCascade::ExtraCascade() = default;
ExtraCascade::~ExtraCascade() = default;

void ExtraCascade::Reset() {
    m_rules.clear();
    m_byId.clear();
    m_byClass.clear();
    m_byTag.clear();
    m_universal.clear();
    m_order = 0;
}

void ExtraCascade::AddRule(const std::string& selectorList, std::vector<Decl> decls) {
    for (const std::string& part : SplitTop(selectorList, ',')) {
        std::string sel = Trim(part);
        std::unique_ptr<DomSelector> parsed(new DomSelector);
        if (sel.empty() || !parsed->Parse(sel)) continue;
        Rule r;
        r.selector = std::move(parsed);
        r.specificity = Specificity(sel);
        r.order = m_order++;
        r.declarations = decls;
        int index = (int)m_rules.size();
        m_rules.push_back(std::move(r));
        std::pair<char, std::string> key = KeyOf(sel);
        if (key.first == '#') m_byId[key.second].push_back(index);
        else if (key.first == '.') m_byClass[key.second].push_back(index);
        else if (key.first == 't') m_byTag[key.second].push_back(index);
        else m_universal.push_back(index);
    }
}

void ExtraCascade::AddSheet(const std::string& cssIn) {
    // Most sheets name none of these: they cost one look at their text.
    std::string lower = ToLower(cssIn);
    if (lower.find("radius") == std::string::npos && lower.find("gap") == std::string::npos &&
        lower.find("background") == std::string::npos && lower.find("flex") == std::string::npos)
        return;
    std::string css = WithoutComments(cssIn);
    // Blocks to read, as [begin, end) ranges: the sheet, and @media screen/all blocks inside it.
    std::vector<std::pair<size_t, size_t>> ranges{{0, css.size()}};
    while (!ranges.empty()) {
        size_t i = ranges.back().first, end = ranges.back().second;
        ranges.pop_back();
        size_t start = i;
        while (i < end) {
            char c = css[i];
            if (c == '"' || c == '\'') {
                i = SkipNested(css, i);
                continue;
            }
            if (c == ';' && Trim(css.substr(start, i - start))[0] == '@') {
                start = ++i;  // @import, @charset
                continue;
            }
            if (c == '}') {
                start = ++i;  // stray
                continue;
            }
            if (c != '{') {
                ++i;
                continue;
            }
            std::string prelude = Trim(css.substr(start, i - start));
            size_t close = std::min(end, SkipNested(css, i));
            size_t inner = close > i + 1 && css[close - 1] == '}' ? close - 1 : close;  // an unclosed block runs out
            if (!prelude.empty() && prelude[0] == '@') {
                std::string at = ToLower(prelude);
                if (at.compare(0, 6, "@media") == 0 && at.find('(') == std::string::npos &&
                    (at.find("screen") != std::string::npos || at.find("all") != std::string::npos))
                    ranges.push_back({i + 1, inner});
            } else if (!prelude.empty()) {
                std::string block = css.substr(i + 1, inner - i - 1);
                std::vector<Decl> decls = Interesting(block);
                if (!decls.empty()) AddRule(prelude, std::move(decls));
            }
            start = i = close;
        }
    }
}

void ExtraCascade::Apply(dom_node* e, Style& s) const {
    Winner win[kPropertyCount];
    if (!m_rules.empty()) {
        std::vector<int> candidates(m_universal);
        std::string v;
        if (GetAttr(e, "id", &v)) {
            auto it = m_byId.find(v);
            if (it != m_byId.end()) candidates.insert(candidates.end(), it->second.begin(), it->second.end());
        }
        if (!m_byClass.empty() && GetAttr(e, "class", &v))
            for (const std::string& c : Tokens(v)) {
                auto it = m_byClass.find(c);
                if (it != m_byClass.end()) candidates.insert(candidates.end(), it->second.begin(), it->second.end());
            }
        if (!m_byTag.empty()) {
            auto it = m_byTag.find(TagOf(e));
            if (it != m_byTag.end()) candidates.insert(candidates.end(), it->second.begin(), it->second.end());
        }
        std::sort(candidates.begin(), candidates.end());
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
        for (int i : candidates) {
            const Rule& r = m_rules[i];
            if (!r.selector->Matches(e)) continue;
            for (const Decl& d : r.declarations) win[d.property].Offer(d, r.specificity, r.order);
        }
    }
    std::string style;
    std::vector<Decl> inlineDecls;
    if (GetAttr(e, "style", &style)) {
        std::string lower = ToLower(style);
        if (lower.find("radius") != std::string::npos || lower.find("gap") != std::string::npos ||
            lower.find("background") != std::string::npos || lower.find("flex") != std::string::npos)
            inlineDecls = Interesting(style);
        for (const Decl& d : inlineDecls) win[d.property].Offer(d, INT_MAX, INT_MAX);
    }
    for (int p = 0; p < kPropertyCount; ++p)
        if (win[p].decl) Set((Property)p, win[p].decl->value, s);
}

std::string ExtraCascade::ForLibcss(const std::string& css) {
    if (css.find('/') == std::string::npos) return css;
    std::string out;
    size_t copied = 0;
    std::string lower = ToLower(css);
    for (size_t p = lower.find("background"); p != std::string::npos; p = lower.find("background", p + 10)) {
        // Only the property name itself: after a block's or declaration's start, before a colon.
        size_t b = p;
        while (b > 0 && isspace((unsigned char)css[b - 1])) --b;
        if (b > 0 && css[b - 1] != '{' && css[b - 1] != ';') continue;
        size_t i = p + 10;
        while (i < css.size() && isspace((unsigned char)css[i])) ++i;
        if (i >= css.size() || css[i] != ':') continue;
        size_t slash = std::string::npos;
        for (++i; i < css.size() && css[i] != ';' && css[i] != '}' && css[i] != '!';) {
            char c = css[i];
            if (c == '(' || c == '"' || c == '\'') {
                i = SkipNested(css, i);
                continue;
            }
            if (c == '/' && slash == std::string::npos) slash = i;
            ++i;
        }
        if (slash == std::string::npos || slash < copied) continue;
        // "/" and the one or two size tokens after it.
        size_t e = slash + 1;
        for (int k = 0; k < 2; ++k) {
            size_t s = e;
            while (s < i && isspace((unsigned char)css[s])) ++s;
            size_t t = s;
            while (t < i && !isspace((unsigned char)css[t])) ++t;
            std::string token = css.substr(s, t - s);
            if (token.empty() || !IsSizeToken(token)) break;
            e = t;
            std::string l = ToLower(token);
            if (l == "cover" || l == "contain") break;
        }
        out.append(css, copied, slash - copied);
        out += ' ';
        copied = e;
    }
    if (!copied) return css;
    out.append(css, copied, std::string::npos);
    return out;
}

}  // namespace webview
