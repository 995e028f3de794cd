#include "Cascade.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "Dom.h"
#include "Forms.h"
#include "Text.h"

namespace webview {

namespace {

// What every page starts from; our layout knows block, inline, inline-block and none, the table
// types are drawn as blocks.
const char kUserAgentSheet[] = R"CSS(
html, body, div, p, h1, h2, h3, h4, h5, h6, ul, ol, li, form, center, hr, pre, header, footer,
section, article, nav, dl, dt, dd, blockquote, address, fieldset, main, aside, figure, figcaption,
legend, menu, dir, details, summary { display: block }
li { display: list-item }
table { display: table; border-collapse: separate; border-spacing: 2px; text-indent: 0 }
caption { display: table-caption; text-align: center }
thead { display: table-header-group; vertical-align: middle }
tbody { display: table-row-group; vertical-align: middle }
tfoot { display: table-footer-group; vertical-align: middle }
tr { display: table-row; vertical-align: inherit }
td, th { display: table-cell; vertical-align: inherit; padding: 1px }
col { display: table-column }
colgroup { display: table-column-group }
head, script, style, title, meta, link, noscript, template, iframe, object, embed, option, base, param,
area, map, datalist { display: none }
input, select, textarea { display: inline-block; line-height: normal; font-size: 13.333px; color: #000000; background-color: #ffffff }
input { padding: 1px 2px; border: 2px inset #767676 }
input[type=hidden] { display: none }
input[type=checkbox] { padding: 0; border: none; margin: 3px 3px 3px 4px; background-color: transparent }
input[type=radio] { padding: 0; border: none; margin: 3px 3px 0 5px; background-color: transparent }
input[type=submit], input[type=button], input[type=reset] { padding: 1px 6px; border: 2px outset #767676;
         background-color: #efefef; text-align: center }
input[type=file], input[type=range] { padding: 0; border: none; background-color: transparent }
input[type=range] { margin: 2px }
input[type=checkbox], input[type=radio], input[type=submit], input[type=button], input[type=reset],
input[type=file], input[type=range], select, button { box-sizing: border-box }
select { padding: 0; border: 1px solid #767676 }
textarea { padding: 2px; border: 1px solid #767676; white-space: pre-wrap }
body { margin: 8px }
p, blockquote, dl, pre, figure { margin-top: 1em; margin-bottom: 1em }
ul, ol, menu, dir { margin-top: 1em; margin-bottom: 1em; padding-left: 40px }
ul, menu, dir { list-style-type: disc }
ol { list-style-type: decimal }
ul ul, ol ul, ul menu, ol menu { list-style-type: circle }
ul ul ul, ul ol ul, ol ul ul, ol ol ul { list-style-type: square }
ul ul, ul ol, ol ul, ol ol { margin-top: 0; margin-bottom: 0 }
blockquote, figure { margin-left: 40px; margin-right: 40px }
dd { margin-left: 40px }
h1 { font-size: 2em; margin-top: 0.67em; margin-bottom: 0.67em }
h2 { font-size: 1.5em; margin-top: 0.83em; margin-bottom: 0.83em }
h3 { font-size: 1.17em; margin-top: 1em; margin-bottom: 1em }
h4 { margin-top: 1.33em; margin-bottom: 1.33em }
h5 { font-size: 0.83em; margin-top: 1.67em; margin-bottom: 1.67em }
h6 { font-size: 0.67em; margin-top: 2.33em; margin-bottom: 2.33em }
h1, h2, h3, h4, h5, h6, b, strong, th { font-weight: bold }
i, em, cite, var, dfn, address { font-style: italic }
pre, code, kbd, samp, tt { font-family: monospace }
small, sub, sup { font-size: smaller }
big { font-size: larger }
sub { vertical-align: sub }
sup { vertical-align: super }
u, ins { text-decoration: underline }
s, strike, del { text-decoration: line-through }
center { text-align: center }
th { text-align: center }
pre { white-space: pre }
a:link { color: #0000ee; text-decoration: underline }
button { display: inline-block; padding: 1px 6px; border: 2px outset #767676; background-color: #efefef;
         font-size: 13.333px; line-height: normal; text-align: center }
img { display: inline-block }
hr { border: 1px inset #808080; margin: 0.5em auto }
)CSS";

const float kFontSizes[] = {9, 10, 13, 16, 18, 24, 32};  // xx-small .. xx-large

// url() in a sheet is relative to the sheet's own address (the document's for <style> and style
// attributes).
css_error Resolve(void*, const char* base, lwc_string* rel, lwc_string** abs) {
    std::string b = base ? base : "";
    if (b.empty() || b == "about:page") {
        *abs = lwc_string_ref(rel);
        return CSS_OK;
    }
    std::string url = ResolveUrl(b, std::string(lwc_string_data(rel), lwc_string_length(rel)));
    return lwc_intern_string(url.data(), url.size(), abs) == lwc_error_ok ? CSS_OK : CSS_NOMEM;
}

css_stylesheet* MakeSheet(const std::string& css, bool inlineStyle, const std::string& base = std::string()) {
    css_stylesheet_params p{};
    p.params_version = CSS_STYLESHEET_PARAMS_VERSION_1;
    p.level = CSS_LEVEL_DEFAULT;
    p.charset = "UTF-8";
    p.url = base.empty() ? "about:page" : base.c_str();
    p.allow_quirks = true;
    p.inline_style = inlineStyle;
    p.resolve = Resolve;
    css_stylesheet* sheet = nullptr;
    if (css_stylesheet_create(&p, &sheet) != CSS_OK) return nullptr;
    css_error e = css_stylesheet_append_data(sheet, (const uint8_t*)css.data(), css.size());
    if (e == CSS_OK || e == CSS_NEEDDATA) e = css_stylesheet_data_done(sheet);
    if (e != CSS_OK && e != CSS_IMPORTS_PENDING) {
        css_stylesheet_destroy(sheet);
        return nullptr;
    }
    return sheet;
}

// Parsed on first use and kept for the process: every document shares it.
css_stylesheet* UserAgentSheet() {
    static css_stylesheet* sheet = MakeSheet(kUserAgentSheet, false);
    return sheet;
}

dom_string* CssDataKey() {
    static dom_string* key = [] {
        dom_string* s = nullptr;
        dom_string_create_interned((const uint8_t*)"webview.css", 11, &s);
        return s;
    }();
    return key;
}

Cascade* Of(void* pw) {
    return static_cast<Cascade*>(pw);
}

dom_element* E(void* node) {
    return static_cast<dom_element*>(node);
}

dom_string* FromLwc(lwc_string* s) {
    dom_string* d = nullptr;
    dom_string_create((const uint8_t*)lwc_string_data(s), lwc_string_length(s), &d);
    return d;
}

bool AttrValue(void* node, const css_qname* q, std::string* out) {
    dom_string* name = FromLwc(q->name);
    dom_string* v = nullptr;
    dom_element_get_attribute(E(node), name, &v);
    dom_string_unref(name);
    if (!v) return false;
    out->assign(dom_string_data(v), dom_string_byte_length(v));
    dom_string_unref(v);
    return true;
}

std::string L(lwc_string* s) {
    return std::string(lwc_string_data(s), lwc_string_length(s));
}

bool SameName(void* node, const css_qname* q) {
    dom_string* name = nullptr;
    if (dom_node_get_node_name((dom_node*)node, &name) != DOM_NO_ERR || !name) return false;
    bool same = dom_string_caseless_lwc_isequal(name, q->name);
    dom_string_unref(name);
    return same;
}

// --- The selection callbacks. ---------------------------------------------------------------

css_error NodeName(void*, void* node, css_qname* q) {
    dom_string* name = nullptr;
    if (dom_node_get_node_name((dom_node*)node, &name) != DOM_NO_ERR || !name) return CSS_NOMEM;
    q->ns = nullptr;
    dom_string_intern(name, &q->name);
    dom_string_unref(name);
    return CSS_OK;
}

css_error NodeClasses(void*, void* node, lwc_string*** classes, uint32_t* n) {
    *classes = nullptr;
    *n = 0;
    dom_element_get_classes(E(node), classes, n);
    return CSS_OK;
}

css_error NodeId(void*, void* node, lwc_string** id) {
    *id = nullptr;
    static dom_string* k = [] {
        dom_string* s = nullptr;
        dom_string_create_interned((const uint8_t*)"id", 2, &s);
        return s;
    }();
    dom_string* v = nullptr;
    dom_element_get_attribute(E(node), k, &v);
    if (v) {
        dom_string_intern(v, id);
        dom_string_unref(v);
    }
    return CSS_OK;
}

css_error NamedAncestor(void*, void* node, const css_qname* q, void** out) {
    dom_element* a = nullptr;
    dom_element_named_ancestor_node(E(node), q->name, &a);
    *out = a;
    return CSS_OK;
}

css_error NamedParent(void*, void* node, const css_qname* q, void** out) {
    dom_element* a = nullptr;
    dom_element_named_parent_node(E(node), q->name, &a);
    *out = a;
    return CSS_OK;
}

dom_node* ElementSibling(void* node, bool before) {
    dom_node* n = (dom_node*)node;
    for (;;) {
        n = before ? PreviousSibling(n) : NextSibling(n);
        if (!n || IsElement(n)) return n;
    }
}

css_error NamedSibling(void*, void* node, const css_qname* q, void** out) {
    dom_node* s = ElementSibling(node, true);
    *out = s && SameName(s, q) ? s : nullptr;
    return CSS_OK;
}

css_error NamedGenericSibling(void*, void* node, const css_qname* q, void** out) {
    *out = nullptr;
    for (dom_node* s = ElementSibling(node, true); s; s = ElementSibling(s, true))
        if (SameName(s, q)) {
            *out = s;
            break;
        }
    return CSS_OK;
}

css_error Parent(void*, void* node, void** out) {
    dom_element* p = nullptr;
    dom_element_parent_node(E(node), &p);
    *out = p;
    return CSS_OK;
}

css_error Sibling(void*, void* node, void** out) {
    *out = ElementSibling(node, true);
    return CSS_OK;
}

css_error HasName(void*, void* node, const css_qname* q, bool* match) {
    *match = lwc_string_length(q->name) == 1 && lwc_string_data(q->name)[0] == '*' ? true : SameName(node, q);
    return CSS_OK;
}

css_error HasClass(void*, void* node, lwc_string* name, bool* match) {
    *match = false;
    dom_element_has_class(E(node), name, match);
    return CSS_OK;
}

css_error HasId(void*, void* node, lwc_string* name, bool* match) {
    lwc_string* id = nullptr;
    NodeId(nullptr, node, &id);
    *match = id && lwc_string_isequal(id, name, match) == lwc_error_ok && *match;
    if (id) lwc_string_unref(id);
    return CSS_OK;
}

css_error HasAttribute(void*, void* node, const css_qname* q, bool* match) {
    std::string v;
    *match = AttrValue(node, q, &v);
    return CSS_OK;
}

template <class F> css_error AttrTest(void* node, const css_qname* q, lwc_string* value, bool* match, F test) {
    std::string v;
    *match = AttrValue(node, q, &v) && test(v, L(value));
    return CSS_OK;
}

css_error AttrEqual(void*, void* node, const css_qname* q, lwc_string* value, bool* match) {
    return AttrTest(node, q, value, match, [](const std::string& v, const std::string& w) { return v == w; });
}

css_error AttrDash(void*, void* node, const css_qname* q, lwc_string* value, bool* match) {
    return AttrTest(node, q, value, match, [](const std::string& v, const std::string& w) {
        return v == w || (v.size() > w.size() && v.compare(0, w.size(), w) == 0 && v[w.size()] == '-');
    });
}

css_error AttrIncludes(void*, void* node, const css_qname* q, lwc_string* value, bool* match) {
    return AttrTest(node, q, value, match, [](const std::string& v, const std::string& w) {
        if (w.empty()) return false;
        size_t i = 0;
        while (i < v.size()) {
            while (i < v.size() && isspace((unsigned char)v[i])) ++i;
            size_t e = i;
            while (e < v.size() && !isspace((unsigned char)v[e])) ++e;
            if (e - i == w.size() && v.compare(i, e - i, w) == 0) return true;
            i = e;
        }
        return false;
    });
}

css_error AttrPrefix(void*, void* node, const css_qname* q, lwc_string* value, bool* match) {
    return AttrTest(node, q, value, match, [](const std::string& v, const std::string& w) {
        return !w.empty() && v.compare(0, w.size(), w) == 0;
    });
}

css_error AttrSuffix(void*, void* node, const css_qname* q, lwc_string* value, bool* match) {
    return AttrTest(node, q, value, match, [](const std::string& v, const std::string& w) {
        return !w.empty() && v.size() >= w.size() && v.compare(v.size() - w.size(), w.size(), w) == 0;
    });
}

css_error AttrSubstring(void*, void* node, const css_qname* q, lwc_string* value, bool* match) {
    return AttrTest(node, q, value, match, [](const std::string& v, const std::string& w) {
        return !w.empty() && v.find(w) != std::string::npos;
    });
}

css_error IsRoot(void*, void* node, bool* match) {
    dom_node* p = ParentOf((dom_node*)node);
    dom_node_type t = DOM_NODE_TYPE_COUNT;
    *match = !p || (dom_node_get_node_type(p, &t) == DOM_NO_ERR && t == DOM_DOCUMENT_NODE);
    return CSS_OK;
}

css_error CountSiblings(void*, void* node, bool sameName, bool after, int32_t* count) {
    *count = 0;
    std::string tag = sameName ? TagOf((dom_node*)node) : std::string();
    for (dom_node* s = ElementSibling(node, !after); s; s = ElementSibling(s, !after))
        if (!sameName || TagOf(s) == tag) ++*count;
    return CSS_OK;
}

css_error IsEmpty(void*, void* node, bool* match) {
    *match = true;
    for (dom_node* c = FirstChild((dom_node*)node); c; c = NextSibling(c))
        if (IsElement(c) || (IsText(c) && !CharacterData(c).empty())) {
            *match = false;
            break;
        }
    return CSS_OK;
}

css_error IsLink(void*, void* node, bool* match) {
    std::string h;
    *match = TagOf((dom_node*)node) == "a" && GetAttr((dom_node*)node, "href", &h);
    return CSS_OK;
}

css_error No(void*, void*, bool* match) {
    *match = false;
    return CSS_OK;
}

css_error IsHover(void* pw, void* node, bool* match) {
    *match = Of(pw)->Hover() && Contains((dom_node*)node, Of(pw)->Hover());
    return CSS_OK;
}

css_error IsFocus(void* pw, void* node, bool* match) {
    *match = Of(pw)->Focus() == node;
    return CSS_OK;
}

css_error IsEnabled(void*, void* node, bool* match) {
    std::string v;
    *match = !GetAttr((dom_node*)node, "disabled", &v);
    return CSS_OK;
}

css_error IsDisabled(void*, void* node, bool* match) {
    std::string v;
    *match = GetAttr((dom_node*)node, "disabled", &v);
    return CSS_OK;
}

css_error IsChecked(void*, void* node, bool* match) {
    std::string v;
    ControlKind k = KindOf((dom_node*)node);
    // A box the user ticked is :checked whatever its attribute says.
    if (k == ControlKind::Checkbox || k == ControlKind::Radio)
        *match = webview::IsChecked(FindControl((dom_node*)node), (dom_node*)node);
    else
        *match = GetAttr((dom_node*)node, "checked", &v) || GetAttr((dom_node*)node, "selected", &v);
    return CSS_OK;
}

css_error IsLang(void*, void*, lwc_string*, bool* match) {
    *match = false;
    return CSS_OK;
}

// --- Presentational attributes. ---------------------------------------------------------------

bool HtmlLength(const std::string& text, css_hint_length* out) {
    std::string t = Trim(text);
    char* end = nullptr;
    double v = strtod(t.c_str(), &end);
    if (end == t.c_str() || v < 0) return false;
    out->value = FLTTOFIX(std::min(v, 100000.0));
    out->unit = *end == '%' ? CSS_UNIT_PCT : CSS_UNIT_PX;
    return true;
}

void HintColor(std::vector<css_hint>& h, uint32_t prop, uint8_t status, const std::string& text) {
    uint32_t c = 0;
    if (!ParseColor(text, c) && !ParseColor("#" + Trim(text), c)) return;
    css_hint x{};
    x.prop = prop;
    x.status = status;
    x.data.color = c;
    h.push_back(x);
}

void HintLength(std::vector<css_hint>& h, uint32_t prop, uint8_t status, const css_hint_length& len) {
    css_hint x{};
    x.prop = prop;
    x.status = status;
    x.data.length = len;
    h.push_back(x);
}

void HintBorder(std::vector<css_hint>& h, int px, uint32_t color) {
    static const uint32_t kWidth[] = {CSS_PROP_BORDER_TOP_WIDTH, CSS_PROP_BORDER_RIGHT_WIDTH,
                                      CSS_PROP_BORDER_BOTTOM_WIDTH, CSS_PROP_BORDER_LEFT_WIDTH};
    static const uint32_t kStyle[] = {CSS_PROP_BORDER_TOP_STYLE, CSS_PROP_BORDER_RIGHT_STYLE,
                                      CSS_PROP_BORDER_BOTTOM_STYLE, CSS_PROP_BORDER_LEFT_STYLE};
    static const uint32_t kColor[] = {CSS_PROP_BORDER_TOP_COLOR, CSS_PROP_BORDER_RIGHT_COLOR,
                                      CSS_PROP_BORDER_BOTTOM_COLOR, CSS_PROP_BORDER_LEFT_COLOR};
    for (int i = 0; i < 4; ++i) {
        HintLength(h, kWidth[i], CSS_BORDER_WIDTH_WIDTH, css_hint_length{INTTOFIX(px), CSS_UNIT_PX});
        css_hint s{};
        s.prop = kStyle[i];
        s.status = px ? CSS_BORDER_STYLE_SOLID : CSS_BORDER_STYLE_NONE;
        h.push_back(s);
        css_hint c{};
        c.prop = kColor[i];
        c.status = CSS_BORDER_COLOR_COLOR;
        c.data.color = color;
        h.push_back(c);
    }
}

void HintAlign(std::vector<css_hint>& h, const std::string& align) {
    std::string a = ToLower(Trim(align));
    css_hint x{};
    x.prop = CSS_PROP_TEXT_ALIGN;
    if (a == "center" || a == "middle") x.status = CSS_TEXT_ALIGN_LIBCSS_CENTER;
    else if (a == "right") x.status = CSS_TEXT_ALIGN_LIBCSS_RIGHT;
    else if (a == "left") x.status = CSS_TEXT_ALIGN_LIBCSS_LEFT;
    else return;
    h.push_back(x);
}

void HintValign(std::vector<css_hint>& h, const std::string& valign) {
    std::string a = ToLower(Trim(valign));
    css_hint x{};
    x.prop = CSS_PROP_VERTICAL_ALIGN;
    if (a == "top") x.status = CSS_VERTICAL_ALIGN_TOP;
    else if (a == "middle" || a == "center") x.status = CSS_VERTICAL_ALIGN_MIDDLE;
    else if (a == "bottom") x.status = CSS_VERTICAL_ALIGN_BOTTOM;
    else if (a == "baseline") x.status = CSS_VERTICAL_ALIGN_BASELINE;
    else return;
    h.push_back(x);
}

dom_node* EnclosingTable(dom_node* n) {
    for (int i = 0; i < 4 && n; ++i) {
        n = ParentOf(n);
        if (TagOf(n) == "table") return n;
    }
    return nullptr;
}

css_error Hints(void* pw, void* node, uint32_t* n, css_hint** hints) {
    std::vector<css_hint>& h = Of(pw)->Hints();
    h.clear();
    *n = 0;
    *hints = nullptr;
    dom_node* e = (dom_node*)node;
    // Only these elements take presentational attributes: the rest cost one type look-up.
    dom_html_element_type type = DOM_HTML_ELEMENT_TYPE__COUNT;
    dom_html_element_get_tag_type(e, &type);
    switch (type) {
    case DOM_HTML_ELEMENT_TYPE_BODY: case DOM_HTML_ELEMENT_TYPE_TABLE: case DOM_HTML_ELEMENT_TYPE_TR:
    case DOM_HTML_ELEMENT_TYPE_TD: case DOM_HTML_ELEMENT_TYPE_TH: case DOM_HTML_ELEMENT_TYPE_THEAD:
    case DOM_HTML_ELEMENT_TYPE_TBODY: case DOM_HTML_ELEMENT_TYPE_TFOOT: case DOM_HTML_ELEMENT_TYPE_FONT:
    case DOM_HTML_ELEMENT_TYPE_DIV: case DOM_HTML_ELEMENT_TYPE_P: case DOM_HTML_ELEMENT_TYPE_H1:
    case DOM_HTML_ELEMENT_TYPE_H2: case DOM_HTML_ELEMENT_TYPE_H3: case DOM_HTML_ELEMENT_TYPE_H4:
    case DOM_HTML_ELEMENT_TYPE_H5: case DOM_HTML_ELEMENT_TYPE_H6: case DOM_HTML_ELEMENT_TYPE_CAPTION:
    case DOM_HTML_ELEMENT_TYPE_IMG: case DOM_HTML_ELEMENT_TYPE_HR: case DOM_HTML_ELEMENT_TYPE_IFRAME:
    case DOM_HTML_ELEMENT_TYPE_COL: case DOM_HTML_ELEMENT_TYPE_COLGROUP:
        break;
    default:
        return CSS_OK;
    }
    std::string tag = TagOf(e), v;
    css_hint_length len{};
    bool cell = tag == "td" || tag == "th";
    if (tag == "body" || tag == "table" || tag == "tr" || cell || tag == "thead" || tag == "tbody" || tag == "tfoot") {
        if (GetAttr(e, "bgcolor", &v)) HintColor(h, CSS_PROP_BACKGROUND_COLOR, CSS_BACKGROUND_COLOR_COLOR, v);
    }
    if (tag == "body" && GetAttr(e, "text", &v)) HintColor(h, CSS_PROP_COLOR, CSS_COLOR_COLOR, v);
    if (tag == "body") {
        // Old pages set the body's margins with these, each for both sides of its axis.
        const struct {
            const char* attr;
            uint32_t prop;
        } kMargins[] = {{"topmargin", CSS_PROP_MARGIN_TOP},    {"topmargin", CSS_PROP_MARGIN_BOTTOM},
                        {"leftmargin", CSS_PROP_MARGIN_LEFT},  {"leftmargin", CSS_PROP_MARGIN_RIGHT},
                        {"marginheight", CSS_PROP_MARGIN_TOP}, {"marginheight", CSS_PROP_MARGIN_BOTTOM},
                        {"marginwidth", CSS_PROP_MARGIN_LEFT}, {"marginwidth", CSS_PROP_MARGIN_RIGHT}};
        for (const auto& m : kMargins)
            if (GetAttr(e, m.attr, &v) && HtmlLength(v, &len) && len.unit == CSS_UNIT_PX)
                HintLength(h, m.prop, CSS_MARGIN_SET, len);
    }
    if (tag == "img") {
        // hspace and vspace are margins; align left or right floats the picture, the others align
        // it on the line.
        if (GetAttr(e, "hspace", &v) && HtmlLength(v, &len) && len.unit == CSS_UNIT_PX)
            for (uint32_t p : {CSS_PROP_MARGIN_LEFT, CSS_PROP_MARGIN_RIGHT}) HintLength(h, p, CSS_MARGIN_SET, len);
        if (GetAttr(e, "vspace", &v) && HtmlLength(v, &len) && len.unit == CSS_UNIT_PX)
            for (uint32_t p : {CSS_PROP_MARGIN_TOP, CSS_PROP_MARGIN_BOTTOM}) HintLength(h, p, CSS_MARGIN_SET, len);
        if (GetAttr(e, "align", &v)) {
            std::string a = ToLower(Trim(v));
            if (a == "left" || a == "right") {
                css_hint x{};
                x.prop = CSS_PROP_FLOAT;
                x.status = a == "left" ? CSS_FLOAT_LEFT : CSS_FLOAT_RIGHT;
                h.push_back(x);
            } else {
                HintValign(h, a == "absmiddle" ? "middle" : a);
            }
        }
    }
    if (tag == "font") {
        if (GetAttr(e, "color", &v)) HintColor(h, CSS_PROP_COLOR, CSS_COLOR_COLOR, v);
        if (GetAttr(e, "size", &v)) {
            std::string t = Trim(v);
            int k = atoi(t.c_str());
            if (!t.empty() && (t[0] == '+' || t[0] == '-')) k += 3;
            k = std::max(1, std::min(7, k));
            static const float kFont[] = {10, 13, 16, 18, 24, 32, 48};
            HintLength(h, CSS_PROP_FONT_SIZE, CSS_FONT_SIZE_DIMENSION,
                       css_hint_length{FLTTOFIX(kFont[k - 1]), CSS_UNIT_PX});
        }
    }
    if (cell || tag == "tr" || tag == "thead" || tag == "tbody" || tag == "tfoot" || tag == "div" || tag == "p" ||
        tag == "h1" || tag == "h2" || tag == "h3" || tag == "h4" || tag == "h5" || tag == "h6" || tag == "caption") {
        if (GetAttr(e, "align", &v)) HintAlign(h, v);
    }
    if (cell || tag == "table" || tag == "img" || tag == "hr" || tag == "iframe") {
        if (GetAttr(e, "width", &v) && HtmlLength(v, &len)) HintLength(h, CSS_PROP_WIDTH, CSS_WIDTH_SET, len);
        if (tag != "hr" && GetAttr(e, "height", &v) && HtmlLength(v, &len))
            HintLength(h, CSS_PROP_HEIGHT, CSS_HEIGHT_SET, len);
    }
    if ((tag == "col" || tag == "colgroup") && GetAttr(e, "width", &v) && HtmlLength(v, &len))
        HintLength(h, CSS_PROP_WIDTH, CSS_WIDTH_SET, len);
    if (tag == "tr" && GetAttr(e, "height", &v) && HtmlLength(v, &len) && len.unit == CSS_UNIT_PX)
        HintLength(h, CSS_PROP_HEIGHT, CSS_HEIGHT_SET, len);
    if ((cell || tag == "tr" || tag == "thead" || tag == "tbody" || tag == "tfoot") && GetAttr(e, "valign", &v))
        HintValign(h, v);
    if (tag == "table") {
        // Pages without a standards doctype reset the font at tables, as browsers keep doing.
        if (IsQuirksDocument(e)) {
            css_hint x{};
            x.prop = CSS_PROP_FONT_SIZE;
            x.status = CSS_FONT_SIZE_MEDIUM;
            h.push_back(x);
        }
        if (GetAttr(e, "cellspacing", &v) && HtmlLength(v, &len) && len.unit == CSS_UNIT_PX) {
            css_hint x{};
            x.prop = CSS_PROP_BORDER_SPACING;
            x.status = CSS_BORDER_SPACING_SET;
            x.data.position.h = x.data.position.v = len;
            h.push_back(x);
        }
        // align on a table floats it (left, right) or centres it between auto margins.
        if (GetAttr(e, "align", &v)) {
            std::string a = ToLower(Trim(v));
            css_hint x{};
            if (a == "left" || a == "right") {
                x.prop = CSS_PROP_FLOAT;
                x.status = a == "left" ? CSS_FLOAT_LEFT : CSS_FLOAT_RIGHT;
                h.push_back(x);
            } else if (a == "center") {
                for (uint32_t p : {CSS_PROP_MARGIN_LEFT, CSS_PROP_MARGIN_RIGHT}) {
                    x.prop = p;
                    x.status = CSS_MARGIN_AUTO;
                    h.push_back(x);
                }
            }
        }
    }
    if ((tag == "table" || tag == "img") && GetAttr(e, "border", &v)) {
        int px = std::max(0, std::min(100, atoi(Trim(v).empty() ? "1" : v.c_str())));
        HintBorder(h, px, tag == "table" ? 0xFF808080 : 0xFF000000);
    }
    if (cell) {
        if (dom_node* table = EnclosingTable(e)) {
            if (GetAttr(table, "cellpadding", &v) && HtmlLength(v, &len) && len.unit == CSS_UNIT_PX) {
                static const uint32_t kPad[] = {CSS_PROP_PADDING_TOP, CSS_PROP_PADDING_RIGHT, CSS_PROP_PADDING_BOTTOM,
                                                CSS_PROP_PADDING_LEFT};
                for (uint32_t p : kPad) HintLength(h, p, CSS_PADDING_SET, len);
            }
            if (GetAttr(table, "border", &v) && atoi(Trim(v).empty() ? "1" : v.c_str()) > 0)
                HintBorder(h, 1, 0xFF808080);
        }
    }
    *n = (uint32_t)h.size();
    *hints = h.empty() ? nullptr : h.data();
    return CSS_OK;
}

css_error UaDefault(void*, uint32_t property, css_hint* hint) {
    if (property == CSS_PROP_COLOR) {
        hint->data.color = 0xFF000000;
        hint->status = CSS_COLOR_COLOR;
    } else if (property == CSS_PROP_FONT_FAMILY) {
        hint->data.strings = nullptr;
        hint->status = CSS_FONT_FAMILY_SANS_SERIF;
    } else if (property == CSS_PROP_QUOTES) {
        hint->data.strings = nullptr;
        hint->status = CSS_QUOTES_NONE;
    } else if (property == CSS_PROP_VOICE_FAMILY) {
        hint->data.strings = nullptr;
        hint->status = 0;
    } else {
        return CSS_INVALID;
    }
    return CSS_OK;
}

css_error FontSize(void*, const css_hint* parent, css_hint* size) {
    float p = 16;
    if (parent && parent->status == CSS_FONT_SIZE_DIMENSION && parent->data.length.unit == CSS_UNIT_PX)
        p = FIXTOFLT(parent->data.length.value);
    float px = p;
    if (size->status >= CSS_FONT_SIZE_XX_SMALL && size->status <= CSS_FONT_SIZE_XX_LARGE) {
        px = kFontSizes[size->status - CSS_FONT_SIZE_XX_SMALL];
    } else if (size->status == CSS_FONT_SIZE_LARGER) {
        px = p * 1.2f;
    } else if (size->status == CSS_FONT_SIZE_SMALLER) {
        px = p / 1.2f;
    } else if (size->status == CSS_FONT_SIZE_DIMENSION) {
        float v = FIXTOFLT(size->data.length.value);
        switch (size->data.length.unit) {
        case CSS_UNIT_EM: px = v * p; break;
        case CSS_UNIT_EX: px = v * p * 0.6f; break;
        case CSS_UNIT_PCT: px = v * p / 100; break;
        case CSS_UNIT_PT: px = v * 4 / 3; break;
        case CSS_UNIT_PC: px = v * 16; break;
        case CSS_UNIT_IN: px = v * 96; break;
        case CSS_UNIT_CM: px = v * 96 / 2.54f; break;
        case CSS_UNIT_MM: px = v * 96 / 25.4f; break;
        default: px = v; break;
        }
    }
    px = std::max(1.0f, std::min(400.0f, px));
    size->data.length.value = FLTTOFIX(px);
    size->data.length.unit = CSS_UNIT_PX;
    size->status = CSS_FONT_SIZE_DIMENSION;
    return CSS_OK;
}

void FreeNodeData(dom_node_operation op, dom_string*, void* data, dom_node* src, dom_node*);

css_error SetNodeData(void*, void* node, void* data);

css_error GetNodeData(void*, void* node, void** data) {
    *data = nullptr;
    dom_node_get_user_data((dom_node*)node, CssDataKey(), data);
    return CSS_OK;
}

css_select_handler kHandler = {
    CSS_SELECT_HANDLER_VERSION_1,
    NodeName, NodeClasses, NodeId,
    NamedAncestor, NamedParent, NamedSibling, NamedGenericSibling,
    Parent, Sibling,
    HasName, HasClass, HasId, HasAttribute, AttrEqual, AttrDash, AttrIncludes, AttrPrefix, AttrSuffix, AttrSubstring,
    IsRoot, CountSiblings, IsEmpty,
    IsLink, No, IsHover, No, IsFocus,
    IsEnabled, IsDisabled, IsChecked,
    No, IsLang,
    Hints, UaDefault, FontSize,
    SetNodeData, GetNodeData,
};

void FreeNodeData(dom_node_operation op, dom_string*, void* data, dom_node* src, dom_node*) {
    if (op == DOM_NODE_DELETED && data)
        css_libcss_node_data_handler(&kHandler, CSS_NODE_DELETED, nullptr, src, nullptr, data);
}

css_error SetNodeData(void*, void* node, void* data) {
    void* old = nullptr;
    dom_node_set_user_data((dom_node*)node, CssDataKey(), data, FreeNodeData, &old);
    return CSS_OK;
}

int Px(css_fixed v, css_unit u, int fontSize) {
    float f = FIXTOFLT(v);
    switch (u) {
    case CSS_UNIT_EM: f *= fontSize; break;
    case CSS_UNIT_EX: f *= fontSize * 0.6f; break;
    case CSS_UNIT_PT: f = f * 4 / 3; break;
    case CSS_UNIT_PC: f *= 16; break;
    case CSS_UNIT_IN: f *= 96; break;
    case CSS_UNIT_CM: f = f * 96 / 2.54f; break;
    case CSS_UNIT_MM: f = f * 96 / 25.4f; break;
    default: break;
    }
    return (int)std::max(-100000.0f, std::min(100000.0f, f));
}

}  // namespace

Cascade::Cascade() {
    Reset("");
}

void Cascade::DropComposed() {
    for (auto& kv : m_composed) {
        if (kv.second.style) css_computed_style_destroy(kv.second.style);
        if (kv.second.selected) css_select_results_destroy(kv.second.selected);
    }
    m_composed.clear();
    m_cooked.clear();
    m_shared.clear();
}

Cascade::~Cascade() {
    DropComposed();
    if (m_ctx) css_select_ctx_destroy(m_ctx);
    for (css_stylesheet* s : m_sheets) css_stylesheet_destroy(s);
    Hold(m_hover, nullptr);
    Hold(m_focus, nullptr);
}

void Cascade::Reset(const std::string& baseUrl) {
    DropComposed();
    if (m_ctx) css_select_ctx_destroy(m_ctx);
    m_ctx = nullptr;
    for (css_stylesheet* s : m_sheets) css_stylesheet_destroy(s);
    m_sheets.clear();
    m_extra.Reset();
    m_base = baseUrl;
    Hold(m_hover, nullptr);
    Hold(m_focus, nullptr);
    m_usesHover = m_usesFocus = m_hoverReachesDown = m_usesSiblings = false;
    m_shareable = true;
    m_ids.clear();
    m_attributes = {"style", "href", "disabled", "checked", "selected", "align", "bgcolor", "border", "color",
                    "height", "size", "text", "width", "cellpadding", "cellspacing", "valign", "type", "multiple", "rows", "hspace", "vspace",
                    "cols"};
    Scan(ToLower(kUserAgentSheet));
    if (css_select_ctx_create(&m_ctx) != CSS_OK) {
        m_ctx = nullptr;
        return;
    }
    if (css_stylesheet* ua = UserAgentSheet()) css_select_ctx_append_sheet(m_ctx, ua, CSS_ORIGIN_UA, nullptr);
}

// The hovered and focused nodes are referenced: a script may take them out of the document.
void Cascade::Hold(dom_node*& slot, dom_node* n) {
    if (n) dom_node_ref(n);
    if (slot) dom_node_unref(slot);
    slot = n;
}

// What a sheet's selectors look at besides names and classes: ids and attributes (remembered, so
// that elements differing only in others can share a style), and whether any selector depends on
// an element's siblings or children (then no two elements share by attributes alone).
void Cascade::Scan(const std::string& lower) {
    size_t start = 0;
    for (size_t i = 0; i < lower.size(); ++i) {
        char c = lower[i];
        if (c == '}' || c == ';') start = i + 1;
        if (c != '{') continue;
        std::string prelude = Trim(lower.substr(start, i - start));
        start = i + 1;
        if (prelude.empty() || prelude[0] == '@') continue;
        for (size_t k = 0; k < prelude.size(); ++k) {
            char d = prelude[k];
            if (d == '+' || (d == '~' && (k + 1 >= prelude.size() || prelude[k + 1] != '='))) {
                m_usesSiblings = true;
                m_shareable = false;
            }
            if (d == '#' || d == '[') {
                size_t e = k + 1;
                while (e < prelude.size() && (isalnum((unsigned char)prelude[e]) || prelude[e] == '-' || prelude[e] == '_'))
                    ++e;
                std::string name = prelude.substr(k + 1, e - k - 1);
                (d == '#' ? m_ids : m_attributes).insert(name);
            }
        }
        for (const char* p : {":first-", ":last-", ":nth-", ":only-", ":empty", ":not(", ":checked"})
            if (prelude.find(p) != std::string::npos) m_shareable = false;
    }
    m_shared.clear();
}

void Cascade::AddSheet(const std::string& css, const std::string& baseUrl) {
    if (!m_ctx) return;
    css_stylesheet* s = MakeSheet(ExtraCascade::ForLibcss(css), false, baseUrl.empty() ? m_base : baseUrl);
    if (!s) return;
    m_extra.AddSheet(css);
    std::string lower = ToLower(css);
    for (size_t p = lower.find(":hover"); p != std::string::npos; p = lower.find(":hover", p + 1)) {
        m_usesHover = true;
        // Does a combinator follow (".menu:hover .sub")? Then descendants' styles depend on it.
        size_t e = p + 6;
        while (e < lower.size() && (isalnum((unsigned char)lower[e]) || strchr("-_:.#[]=\"'()", lower[e]))) ++e;
        while (e < lower.size() && isspace((unsigned char)lower[e])) ++e;
        if (e < lower.size() && lower[e] != '{' && lower[e] != ',') m_hoverReachesDown = true;
    }
    m_usesFocus = m_usesFocus || lower.find(":focus") != std::string::npos;
    Scan(lower);
    m_sheets.push_back(s);
    css_select_ctx_append_sheet(m_ctx, s, CSS_ORIGIN_AUTHOR, nullptr);
}

void Cascade::NodeModified(dom_node* n) {
    void* data = nullptr;
    if (n && dom_node_get_user_data(n, CssDataKey(), &data) == DOM_NO_ERR && data)
        css_libcss_node_data_handler(&kHandler, CSS_NODE_MODIFIED, nullptr, n, nullptr, data);
}

const css_computed_style* Cascade::Select(dom_node* n, const css_computed_style* parent) {
    if (!m_ctx || !IsElement(n)) return nullptr;
    css_stylesheet* inlineSheet = nullptr;
    std::string st;
    if (GetAttr(n, "style", &st) && !Trim(st).empty()) inlineSheet = MakeSheet(ExtraCascade::ForLibcss(st), true, m_base);
    css_media media{};
    media.type = CSS_MEDIA_SCREEN;
    media.width = INTTOFIX(1024);
    media.height = INTTOFIX(768);
    css_select_results* r = nullptr;
    css_error e = css_select_style(m_ctx, n, &media, inlineSheet, &kHandler, this, &r);
    if (inlineSheet) css_stylesheet_destroy(inlineSheet);
    if (e != CSS_OK || !r) return nullptr;
    css_computed_style* own = r->styles[CSS_PSEUDO_ELEMENT_NONE];
    if (!own) {
        css_select_results_destroy(r);
        return nullptr;
    }
    auto key = std::make_pair(parent, (const css_computed_style*)own);
    auto it = m_composed.find(key);
    if (it != m_composed.end()) {
        css_select_results_destroy(r);
        return it->second.style;
    }
    Composed c{r, nullptr};
    if (parent) {
        css_computed_style_compose(parent, own, FontSize, this, &c.style);
    } else {
        // The root's selected style is already absolute.
        c.style = own;
        r->styles[CSS_PSEUDO_ELEMENT_NONE] = nullptr;
        key.second = c.style;
    }
    if (!c.style) {
        css_select_results_destroy(r);
        return nullptr;
    }
    m_composed[key] = c;
    return c.style;
}

const css_computed_style* Cascade::SelectShared(dom_node* n, const css_computed_style* parent, uint64_t parentKey,
                                               uint64_t* key) {
    *key = 0;
    if (!m_shareable || m_hover || m_focus || (parent && !parentKey)) return Select(n, parent);
    // The element's key: its ancestors' and its own name, classes, the ids that a selector names
    // and the attributes that a selector or a presentational hint reads.
    std::string sig = TagOf(n);
    std::string v;
    if (GetAttr(n, "class", &v)) sig += "\x01." + v;
    if (GetAttr(n, "id", &v) && m_ids.count(ToLower(v))) sig += "\x01#" + v;
    for (const std::string& a : m_attributes)
        if (GetAttr(n, a.c_str(), &v)) sig += "\x01" + a + "=" + v;
    uint64_t h = parentKey ? parentKey : 1469598103934665603ull;
    for (unsigned char c : sig) h = (h ^ c) * 1099511628211ull;
    h = (h ^ 0xFF) * 1099511628211ull;
    *key = h ? h : 1;
    auto k = std::make_pair(parent, *key);
    auto it = m_shared.find(k);
    if (it != m_shared.end()) return it->second;
    const css_computed_style* s = Select(n, parent);
    if (s) m_shared[k] = s;
    return s;
}

Style Cascade::Cooked(const css_computed_style* s, const Style* parent, bool root) {
    if (!s) return Cook(s, parent, root);
    int bits = (parent && parent->underline ? 1 : 0) | (root ? 2 : 0) | (parent ? 4 : 0);
    auto key = std::make_pair(s, bits);
    auto it = m_cooked.find(key);
    if (it != m_cooked.end()) return it->second;
    return m_cooked[key] = Cook(s, parent, root);
}

namespace {

using LengthGetter = uint8_t (*)(const css_computed_style*, css_fixed*, css_unit*);

// A length property: set lengths as pixels or percentages, anything else (auto, none, normal) as
// auto. Negative values stay only where CSS allows them (margins, offsets, text-indent).
Length LengthOf(const css_computed_style* s, LengthGetter get, uint8_t setValue, int fontSize, bool negative) {
    css_fixed v = 0;
    css_unit u = CSS_UNIT_PX;
    Length l;
    if (get(s, &v, &u) != setValue) return l;
    if (u == CSS_UNIT_PCT) {
        l.kind = Length::Percent;
        l.value = FIXTOFLT(v);
    } else {
        l.kind = Length::Px;
        int px = Px(v, u, fontSize);
        l.value = (float)(negative ? px : std::max(0, px));
    }
    return l;
}

Display DisplayOf(uint8_t d) {
    switch (d) {
    case CSS_DISPLAY_NONE: return Display::None;
    case CSS_DISPLAY_INLINE: return Display::Inline;
    case CSS_DISPLAY_INLINE_BLOCK: return Display::InlineBlock;
    case CSS_DISPLAY_LIST_ITEM: return Display::ListItem;
    case CSS_DISPLAY_TABLE: return Display::Table;
    case CSS_DISPLAY_INLINE_TABLE: return Display::InlineTable;
    case CSS_DISPLAY_TABLE_ROW_GROUP: return Display::TableRowGroup;
    case CSS_DISPLAY_TABLE_HEADER_GROUP: return Display::TableHeaderGroup;
    case CSS_DISPLAY_TABLE_FOOTER_GROUP: return Display::TableFooterGroup;
    case CSS_DISPLAY_TABLE_ROW: return Display::TableRow;
    case CSS_DISPLAY_TABLE_CELL: return Display::TableCell;
    case CSS_DISPLAY_TABLE_CAPTION: return Display::TableCaption;
    case CSS_DISPLAY_TABLE_COLUMN: return Display::TableColumn;
    case CSS_DISPLAY_TABLE_COLUMN_GROUP: return Display::TableColumnGroup;
    case CSS_DISPLAY_FLEX: return Display::Flex;
    case CSS_DISPLAY_INLINE_FLEX: return Display::InlineFlex;
    default: return Display::Block;
    }
}

BorderStyle BorderStyleOf(uint8_t b) {
    switch (b) {
    case CSS_BORDER_STYLE_SOLID: return BorderStyle::Solid;
    case CSS_BORDER_STYLE_DASHED: return BorderStyle::Dashed;
    case CSS_BORDER_STYLE_DOTTED: return BorderStyle::Dotted;
    case CSS_BORDER_STYLE_DOUBLE: return BorderStyle::Double;
    case CSS_BORDER_STYLE_GROOVE: return BorderStyle::Groove;
    case CSS_BORDER_STYLE_RIDGE: return BorderStyle::Ridge;
    case CSS_BORDER_STYLE_INSET: return BorderStyle::Inset;
    case CSS_BORDER_STYLE_OUTSET: return BorderStyle::Outset;
    default: return BorderStyle::None;
    }
}

FlexAlign FlexAlignOf(uint8_t a) {
    // align-items, align-self and align-content share their values' order in libcss.
    switch (a) {
    case CSS_ALIGN_ITEMS_FLEX_START: return FlexAlign::FlexStart;
    case CSS_ALIGN_ITEMS_FLEX_END: return FlexAlign::FlexEnd;
    case CSS_ALIGN_ITEMS_CENTER: return FlexAlign::Center;
    case CSS_ALIGN_ITEMS_BASELINE: return FlexAlign::Baseline;
    default: return FlexAlign::Stretch;
    }
}

Overflow OverflowOf(uint8_t o) {
    switch (o) {
    case CSS_OVERFLOW_HIDDEN: return Overflow::Hidden;
    case CSS_OVERFLOW_SCROLL: return Overflow::Scroll;
    case CSS_OVERFLOW_AUTO: return Overflow::Auto;
    default: return Overflow::Visible;
    }
}

std::wstring Lwc(lwc_string* l) {
    return Utf8ToWide(std::string(lwc_string_data(l), lwc_string_length(l)));
}

}  // namespace

Style Cascade::Cook(const css_computed_style* s, const Style* parent, bool root) {
    Style o;
    if (!s) {
        if (parent) {
            o = *parent;
            o.display = Display::Inline;
        }
        return o;
    }
    css_fixed v = 0;
    css_unit u = CSS_UNIT_PX;
    css_computed_font_size(s, &v, &u);
    o.fontSize = std::max(1, std::min(400, Px(v, u, parent ? parent->fontSize : 16)));
    const int fs = o.fontSize;
    o.display = DisplayOf(css_computed_display(s, root));
    switch (css_computed_position(s)) {
    case CSS_POSITION_RELATIVE: o.position = Position::Relative; break;
    case CSS_POSITION_ABSOLUTE: o.position = Position::Absolute; break;
    case CSS_POSITION_FIXED: o.position = Position::Fixed; break;
    default: break;
    }
    switch (css_computed_float(s)) {
    case CSS_FLOAT_LEFT: o.floating = Float::Left; break;
    case CSS_FLOAT_RIGHT: o.floating = Float::Right; break;
    default: break;
    }
    if (o.IsOutOfFlow()) o.floating = Float::None;
    switch (css_computed_clear(s)) {
    case CSS_CLEAR_LEFT: o.clear = Clear::Left; break;
    case CSS_CLEAR_RIGHT: o.clear = Clear::Right; break;
    case CSS_CLEAR_BOTH: o.clear = Clear::Both; break;
    default: break;
    }
    o.overflowX = OverflowOf(css_computed_overflow_x(s));
    o.overflowY = OverflowOf(css_computed_overflow_y(s));
    uint8_t vis = css_computed_visibility(s);
    o.hidden = vis == CSS_VISIBILITY_HIDDEN || vis == CSS_VISIBILITY_COLLAPSE;
    o.borderBox = css_computed_box_sizing(s) == CSS_BOX_SIZING_BORDER_BOX;
    css_fixed opacity = INTTOFIX(1);
    if (css_computed_opacity(s, &opacity) == CSS_OPACITY_SET)
        o.opacity = std::max(0.0f, std::min(1.0f, FIXTOFLT(opacity)));
    int32_t z = 0;
    if (css_computed_z_index(s, &z) == CSS_Z_INDEX_SET) {
        o.zAuto = false;
        o.zIndex = z;
    }
    o.offset.top = LengthOf(s, css_computed_top, CSS_TOP_SET, fs, true);
    o.offset.right = LengthOf(s, css_computed_right, CSS_RIGHT_SET, fs, true);
    o.offset.bottom = LengthOf(s, css_computed_bottom, CSS_BOTTOM_SET, fs, true);
    o.offset.left = LengthOf(s, css_computed_left, CSS_LEFT_SET, fs, true);

    o.margin.top = LengthOf(s, css_computed_margin_top, CSS_MARGIN_SET, fs, true);
    o.margin.right = LengthOf(s, css_computed_margin_right, CSS_MARGIN_SET, fs, true);
    o.margin.bottom = LengthOf(s, css_computed_margin_bottom, CSS_MARGIN_SET, fs, true);
    o.margin.left = LengthOf(s, css_computed_margin_left, CSS_MARGIN_SET, fs, true);
    o.padding.top = LengthOf(s, css_computed_padding_top, CSS_PADDING_SET, fs, false);
    o.padding.right = LengthOf(s, css_computed_padding_right, CSS_PADDING_SET, fs, false);
    o.padding.bottom = LengthOf(s, css_computed_padding_bottom, CSS_PADDING_SET, fs, false);
    o.padding.left = LengthOf(s, css_computed_padding_left, CSS_PADDING_SET, fs, false);
    const struct {
        LengthGetter width;
        uint8_t (*style)(const css_computed_style*);
        uint8_t (*color)(const css_computed_style*, css_color*);
    } sides[4] = {
        {css_computed_border_top_width, css_computed_border_top_style, css_computed_border_top_color},
        {css_computed_border_right_width, css_computed_border_right_style, css_computed_border_right_color},
        {css_computed_border_bottom_width, css_computed_border_bottom_style, css_computed_border_bottom_color},
        {css_computed_border_left_width, css_computed_border_left_style, css_computed_border_left_color},
    };
    int widths[4] = {0, 0, 0, 0};
    css_color c = 0;
    for (int i = 0; i < 4; ++i) {
        o.borderStyle[i] = BorderStyleOf(sides[i].style(s));
        sides[i].color(s, &c);
        o.borderColors[i] = c;
        if (o.borderStyle[i] == BorderStyle::None) continue;
        css_fixed bv = 0;
        css_unit bu = CSS_UNIT_PX;
        uint8_t kind = sides[i].width(s, &bv, &bu);
        widths[i] = kind == CSS_BORDER_WIDTH_THIN ? 1 : kind == CSS_BORDER_WIDTH_MEDIUM ? 3
                  : kind == CSS_BORDER_WIDTH_THICK ? 5 : std::max(0, Px(bv, bu, fs));
    }
    o.border = Edges{widths[0], widths[1], widths[2], widths[3]};
    o.borderColor = o.borderColors[0];
    o.width = LengthOf(s, css_computed_width, CSS_WIDTH_SET, fs, false);
    o.height = LengthOf(s, css_computed_height, CSS_HEIGHT_SET, fs, false);
    o.minWidth = LengthOf(s, css_computed_min_width, CSS_MIN_WIDTH_SET, fs, false);
    o.minHeight = LengthOf(s, css_computed_min_height, CSS_MIN_HEIGHT_SET, fs, false);
    o.maxWidth = LengthOf(s, css_computed_max_width, CSS_MAX_WIDTH_SET, fs, false);
    o.maxHeight = LengthOf(s, css_computed_max_height, CSS_MAX_HEIGHT_SET, fs, false);

    css_computed_color(s, &c);
    o.color = c;
    lwc_string** names = nullptr;
    uint8_t generic = css_computed_font_family(s, &names);
    if (names && names[0]) o.fontFamily = InternFontFamily(Lwc(names[0]));
    else if (generic == CSS_FONT_FAMILY_MONOSPACE) o.fontFamily = InternFontFamily(L"monospace");
    uint8_t w = css_computed_font_weight(s);
    o.bold = w == CSS_FONT_WEIGHT_BOLD || w == CSS_FONT_WEIGHT_BOLDER || (w >= CSS_FONT_WEIGHT_600 && w <= CSS_FONT_WEIGHT_900);
    uint8_t fst = css_computed_font_style(s);
    o.italic = fst == CSS_FONT_STYLE_ITALIC || fst == CSS_FONT_STYLE_OBLIQUE;
    uint8_t deco = css_computed_text_decoration(s);
    // Decorations are drawn across descendants' text: they propagate as if inherited.
    o.underline = (deco & CSS_TEXT_DECORATION_UNDERLINE) != 0 || (parent && parent->underline);
    o.lineThrough = (deco & CSS_TEXT_DECORATION_LINE_THROUGH) != 0 || (parent && parent->lineThrough);
    o.overline = (deco & CSS_TEXT_DECORATION_OVERLINE) != 0 || (parent && parent->overline);
    switch (css_computed_text_align(s)) {
    case CSS_TEXT_ALIGN_CENTER:
    case CSS_TEXT_ALIGN_LIBCSS_CENTER: o.align = Align::Center; break;
    case CSS_TEXT_ALIGN_RIGHT:
    case CSS_TEXT_ALIGN_LIBCSS_RIGHT: o.align = Align::Right; break;
    case CSS_TEXT_ALIGN_JUSTIFY: o.align = Align::Justify; break;
    default: o.align = Align::Left; break;
    }
    switch (css_computed_white_space(s)) {
    case CSS_WHITE_SPACE_NOWRAP: o.whiteSpace = WhiteSpace::Nowrap; break;
    case CSS_WHITE_SPACE_PRE: o.whiteSpace = WhiteSpace::Pre; break;
    case CSS_WHITE_SPACE_PRE_WRAP: o.whiteSpace = WhiteSpace::PreWrap; break;
    case CSS_WHITE_SPACE_PRE_LINE: o.whiteSpace = WhiteSpace::PreLine; break;
    default: break;
    }
    o.pre = o.whiteSpace == WhiteSpace::Pre || o.whiteSpace == WhiteSpace::PreWrap;
    switch (css_computed_line_height(s, &v, &u)) {
    case CSS_LINE_HEIGHT_NUMBER: o.lineHeightFactor = std::max(0.0f, FIXTOFLT(v)); break;
    case CSS_LINE_HEIGHT_DIMENSION:
        o.lineHeightPx = u == CSS_UNIT_PCT ? int(FIXTOFLT(v) * fs / 100) : std::max(0, Px(v, u, fs));
        break;
    default: break;
    }
    switch (css_computed_vertical_align(s, &v, &u)) {
    case CSS_VERTICAL_ALIGN_MIDDLE: o.verticalAlign = VerticalAlign::Middle; break;
    case CSS_VERTICAL_ALIGN_TOP: o.verticalAlign = VerticalAlign::Top; break;
    case CSS_VERTICAL_ALIGN_BOTTOM: o.verticalAlign = VerticalAlign::Bottom; break;
    case CSS_VERTICAL_ALIGN_TEXT_TOP: o.verticalAlign = VerticalAlign::TextTop; break;
    case CSS_VERTICAL_ALIGN_TEXT_BOTTOM: o.verticalAlign = VerticalAlign::TextBottom; break;
    case CSS_VERTICAL_ALIGN_SUB: o.verticalAlign = VerticalAlign::Sub; break;
    case CSS_VERTICAL_ALIGN_SUPER: o.verticalAlign = VerticalAlign::Super; break;
    case CSS_VERTICAL_ALIGN_SET:
        o.verticalAlign = VerticalAlign::Length;
        o.verticalShift = u == CSS_UNIT_PCT ? int(FIXTOFLT(v) * fs / 100) : Px(v, u, fs);
        break;
    default: break;
    }
    o.textIndent = LengthOf(s, css_computed_text_indent, CSS_TEXT_INDENT_SET, fs, true);
    if (css_computed_letter_spacing(s, &v, &u) == CSS_LETTER_SPACING_SET) o.letterSpacing = Px(v, u, fs);
    if (css_computed_word_spacing(s, &v, &u) == CSS_WORD_SPACING_SET) o.wordSpacing = Px(v, u, fs);
    switch (css_computed_list_style_type(s)) {
    case CSS_LIST_STYLE_TYPE_NONE: o.listStyle = ListStyle::None; break;
    case CSS_LIST_STYLE_TYPE_CIRCLE: o.listStyle = ListStyle::Circle; break;
    case CSS_LIST_STYLE_TYPE_SQUARE: o.listStyle = ListStyle::Square; break;
    case CSS_LIST_STYLE_TYPE_DECIMAL:
    case CSS_LIST_STYLE_TYPE_DECIMAL_LEADING_ZERO: o.listStyle = ListStyle::Decimal; break;
    case CSS_LIST_STYLE_TYPE_LOWER_ALPHA:
    case CSS_LIST_STYLE_TYPE_LOWER_LATIN: o.listStyle = ListStyle::LowerAlpha; break;
    case CSS_LIST_STYLE_TYPE_UPPER_ALPHA:
    case CSS_LIST_STYLE_TYPE_UPPER_LATIN: o.listStyle = ListStyle::UpperAlpha; break;
    case CSS_LIST_STYLE_TYPE_LOWER_ROMAN: o.listStyle = ListStyle::LowerRoman; break;
    case CSS_LIST_STYLE_TYPE_UPPER_ROMAN: o.listStyle = ListStyle::UpperRoman; break;
    default: o.listStyle = ListStyle::Disc; break;
    }
    o.listInside = css_computed_list_style_position(s) == CSS_LIST_STYLE_POSITION_INSIDE;
    lwc_string** cursorUrls = nullptr;
    switch (css_computed_cursor(s, &cursorUrls)) {
    case CSS_CURSOR_DEFAULT: o.cursor = Cursor::Default; break;
    case CSS_CURSOR_POINTER: o.cursor = Cursor::Pointer; break;
    case CSS_CURSOR_TEXT: o.cursor = Cursor::Text; break;
    case CSS_CURSOR_MOVE: o.cursor = Cursor::Move; break;
    case CSS_CURSOR_WAIT:
    case CSS_CURSOR_PROGRESS: o.cursor = Cursor::Wait; break;
    case CSS_CURSOR_HELP: o.cursor = Cursor::Help; break;
    default: break;
    }

    o.background = css_computed_background_color(s, &c) == CSS_BACKGROUND_COLOR_COLOR ? c : 0;
    if ((o.background >> 24) == 0) o.background = 0;
    lwc_string* image = nullptr;
    if (css_computed_background_image(s, &image) == CSS_BACKGROUND_IMAGE_IMAGE && image)
        o.backgroundImage.assign(lwc_string_data(image), lwc_string_length(image));  // resolved by libcss
    switch (css_computed_background_repeat(s)) {
    case CSS_BACKGROUND_REPEAT_REPEAT_X: o.backgroundRepeat = Repeat::RepeatX; break;
    case CSS_BACKGROUND_REPEAT_REPEAT_Y: o.backgroundRepeat = Repeat::RepeatY; break;
    case CSS_BACKGROUND_REPEAT_NO_REPEAT: o.backgroundRepeat = Repeat::NoRepeat; break;
    default: break;
    }
    css_fixed hv = 0, vv = 0;
    css_unit hu = CSS_UNIT_PX, vu = CSS_UNIT_PX;
    if (css_computed_background_position(s, &hv, &hu, &vv, &vu) == CSS_BACKGROUND_POSITION_SET) {
        o.backgroundX = hu == CSS_UNIT_PCT ? Length{Length::Percent, FIXTOFLT(hv)} : Length{Length::Px, (float)Px(hv, hu, fs)};
        o.backgroundY = vu == CSS_UNIT_PCT ? Length{Length::Percent, FIXTOFLT(vv)} : Length{Length::Px, (float)Px(vv, vu, fs)};
    }

    o.borderCollapse = css_computed_border_collapse(s) == CSS_BORDER_COLLAPSE_COLLAPSE;
    if (css_computed_border_spacing(s, &hv, &hu, &vv, &vu) == CSS_BORDER_SPACING_SET) {
        o.borderSpacingX = std::max(0, Px(hv, hu, fs));
        o.borderSpacingY = std::max(0, Px(vv, vu, fs));
    }
    o.captionBottom = css_computed_caption_side(s) == CSS_CAPTION_SIDE_BOTTOM;
    o.fixedTableLayout = css_computed_table_layout(s) == CSS_TABLE_LAYOUT_FIXED;

    switch (css_computed_flex_direction(s)) {
    case CSS_FLEX_DIRECTION_ROW_REVERSE: o.flexDirection = FlexDirection::RowReverse; break;
    case CSS_FLEX_DIRECTION_COLUMN: o.flexDirection = FlexDirection::Column; break;
    case CSS_FLEX_DIRECTION_COLUMN_REVERSE: o.flexDirection = FlexDirection::ColumnReverse; break;
    default: break;
    }
    switch (css_computed_flex_wrap(s)) {
    case CSS_FLEX_WRAP_WRAP: o.flexWrap = FlexWrap::Wrap; break;
    case CSS_FLEX_WRAP_WRAP_REVERSE: o.flexWrap = FlexWrap::WrapReverse; break;
    default: break;
    }
    switch (css_computed_justify_content(s)) {
    case CSS_JUSTIFY_CONTENT_FLEX_END: o.justifyContent = Justify::FlexEnd; break;
    case CSS_JUSTIFY_CONTENT_CENTER: o.justifyContent = Justify::Center; break;
    case CSS_JUSTIFY_CONTENT_SPACE_BETWEEN: o.justifyContent = Justify::SpaceBetween; break;
    case CSS_JUSTIFY_CONTENT_SPACE_AROUND: o.justifyContent = Justify::SpaceAround; break;
    case CSS_JUSTIFY_CONTENT_SPACE_EVENLY: o.justifyContent = Justify::SpaceEvenly; break;
    default: break;
    }
    o.alignItems = FlexAlignOf(css_computed_align_items(s));
    uint8_t self = css_computed_align_self(s);
    o.alignSelf = self == CSS_ALIGN_SELF_AUTO ? FlexAlign::Auto : FlexAlignOf(self);
    switch (css_computed_align_content(s)) {
    case CSS_ALIGN_CONTENT_FLEX_START: o.alignContent = FlexAlign::FlexStart; break;
    case CSS_ALIGN_CONTENT_FLEX_END: o.alignContent = FlexAlign::FlexEnd; break;
    case CSS_ALIGN_CONTENT_CENTER: o.alignContent = FlexAlign::Center; break;
    case CSS_ALIGN_CONTENT_SPACE_BETWEEN: o.alignContent = FlexAlign::SpaceBetween; break;
    case CSS_ALIGN_CONTENT_SPACE_AROUND: o.alignContent = FlexAlign::SpaceAround; break;
    default: break;
    }
    css_fixed number = 0;
    if (css_computed_flex_grow(s, &number) == CSS_FLEX_GROW_SET) o.flexGrow = std::max(0.0f, FIXTOFLT(number));
    if (css_computed_flex_shrink(s, &number) == CSS_FLEX_SHRINK_SET) o.flexShrink = std::max(0.0f, FIXTOFLT(number));
    uint8_t basis = css_computed_flex_basis(s, &v, &u);
    if (basis == CSS_FLEX_BASIS_SET) {
        o.flexBasis = u == CSS_UNIT_PCT ? Length{Length::Percent, FIXTOFLT(v)} : Length{Length::Px, (float)std::max(0, Px(v, u, fs))};
    }
    o.flexBasisContent = basis == CSS_FLEX_BASIS_CONTENT;
    int32_t order = 0;
    if (css_computed_order(s, &order) == CSS_ORDER_SET) o.order = order;
    if (css_computed_column_gap(s, &v, &u) == CSS_COLUMN_GAP_SET) o.columnGap = std::max(0, Px(v, u, fs));
    return o;
}

namespace {
std::string Hex(uint32_t argb) {
    char b[48];
    if ((argb >> 24) == 0) return "rgba(0, 0, 0, 0)";
    snprintf(b, sizeof b, "rgb(%u, %u, %u)", (argb >> 16) & 255, (argb >> 8) & 255, argb & 255);
    return b;
}
std::string PxText(int v) {
    return std::to_string(v) + "px";
}
std::string LengthText(const Length& l) {
    if (l.kind == Length::Auto) return "auto";
    char b[32];
    snprintf(b, sizeof b, "%g%s", l.value, l.kind == Length::Percent ? "%" : "px");
    return b;
}
}  // namespace

std::string Cascade::Value(const css_computed_style*, const Style& o, const std::string& property) {
    const std::string p = ToLower(Trim(property));
    if (p == "display") {
        static const char* const kNames[] = {
            "inline", "block", "inline-block", "none", "list-item", "table", "inline-table", "table-row-group",
            "table-header-group", "table-footer-group", "table-row", "table-cell", "table-caption", "table-column",
            "table-column-group", "flex", "inline-flex"};
        return kNames[(int)o.display];
    }
    if (p == "position") {
        static const char* const kNames[] = {"static", "relative", "absolute", "fixed"};
        return kNames[(int)o.position];
    }
    if (p == "float") return o.floating == Float::Left ? "left" : o.floating == Float::Right ? "right" : "none";
    if (p == "visibility") return o.hidden ? "hidden" : "visible";
    if (p == "opacity") {
        char b[16];
        snprintf(b, sizeof b, "%g", o.opacity);
        return b;
    }
    if (p == "color") return Hex(o.color);
    if (p == "background-color") return Hex(o.background);
    if (p == "border-color" || p == "border-top-color") return Hex(o.borderColor);
    if (p == "font-size") return PxText(o.fontSize);
    if (p == "font-weight") return o.bold ? "700" : "400";
    if (p == "text-decoration") return o.underline ? "underline" : "none";
    if (p == "text-align") return o.align == Align::Center ? "center" : o.align == Align::Right ? "right" : "left";
    if (p == "white-space") return o.pre ? "pre" : "normal";
    if (p == "width") return LengthText(o.width);
    if (p == "height") return LengthText(o.height);
    const Edges margin = o.margin.Resolve(0), padding = o.padding.Resolve(0);
    const struct {
        const char* name;
        const Edges* e;
    } boxes[] = {{"margin", &margin}, {"padding", &padding}, {"border", &o.border}};
    for (const auto& b : boxes) {
        std::string n = b.name;
        std::string suffix = n == "border" ? "-width" : "";
        if (p == n + "-top" + suffix) return PxText(b.e->top);
        if (p == n + "-right" + suffix) return PxText(b.e->right);
        if (p == n + "-bottom" + suffix) return PxText(b.e->bottom);
        if (p == n + "-left" + suffix) return PxText(b.e->left);
    }
    return std::string();
}

}  // namespace webview
