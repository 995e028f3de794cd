#include "Css.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cwchar>

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

}  // namespace webview

namespace webview {

bool Style::operator==(const Style& o) const {
    for (int i = 0; i < 4; ++i)
        if (borderStyle[i] != o.borderStyle[i] || borderColors[i] != o.borderColors[i] || radius[i] != o.radius[i])
            return false;
    return display == o.display && position == o.position && floating == o.floating && clear == o.clear &&
           overflowX == o.overflowX && overflowY == o.overflowY && hidden == o.hidden && borderBox == o.borderBox &&
           opacity == o.opacity && zIndex == o.zIndex && zAuto == o.zAuto && offset == o.offset &&
           margin == o.margin && padding == o.padding && border == o.border && borderColor == o.borderColor &&
           width == o.width && height == o.height && minWidth == o.minWidth && minHeight == o.minHeight &&
           maxWidth == o.maxWidth && maxHeight == o.maxHeight && color == o.color && fontSize == o.fontSize &&
           fontFamily == o.fontFamily && bold == o.bold && italic == o.italic && underline == o.underline &&
           lineThrough == o.lineThrough && overline == o.overline && align == o.align && pre == o.pre &&
           whiteSpace == o.whiteSpace && lineHeightPx == o.lineHeightPx && lineHeightFactor == o.lineHeightFactor &&
           verticalAlign == o.verticalAlign && verticalShift == o.verticalShift && textIndent == o.textIndent &&
           letterSpacing == o.letterSpacing && wordSpacing == o.wordSpacing && listStyle == o.listStyle &&
           listInside == o.listInside && cursor == o.cursor && background == o.background &&
           backgroundImage == o.backgroundImage && backgroundRepeat == o.backgroundRepeat &&
           backgroundX == o.backgroundX && backgroundY == o.backgroundY && backgroundSize == o.backgroundSize &&
           borderCollapse == o.borderCollapse && borderSpacingX == o.borderSpacingX &&
           borderSpacingY == o.borderSpacingY && captionBottom == o.captionBottom &&
           fixedTableLayout == o.fixedTableLayout && flexDirection == o.flexDirection && flexWrap == o.flexWrap &&
           justifyContent == o.justifyContent && alignItems == o.alignItems && alignSelf == o.alignSelf &&
           alignContent == o.alignContent && flexGrow == o.flexGrow && flexShrink == o.flexShrink &&
           flexBasis == o.flexBasis && flexBasisContent == o.flexBasisContent && order == o.order &&
           rowGap == o.rowGap && columnGap == o.columnGap;
}

namespace {
std::vector<std::wstring>& FontFamilies() {
    static std::vector<std::wstring> names{L""};
    return names;
}
}  // namespace

// UI thread only, as all of the view.
int InternFontFamily(const std::wstring& name) {
    std::vector<std::wstring>& names = FontFamilies();
    for (size_t i = 0; i < names.size(); ++i)
        if (_wcsicmp(names[i].c_str(), name.c_str()) == 0) return (int)i;
    if (names.size() >= 256) return 0;  // a page naming endless faces gets the default for the rest
    names.push_back(name);
    return (int)names.size() - 1;
}

const std::wstring& FontFamilyName(int index) {
    const std::vector<std::wstring>& names = FontFamilies();
    return index > 0 && index < (int)names.size() ? names[index] : names[0];
}

}  // namespace webview
