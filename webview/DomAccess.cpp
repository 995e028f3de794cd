#include "DomAccess.h"

#include <cstring>

namespace webview {
namespace dom {

std::string Str(dom_string* s) {
    return s ? std::string(dom_string_data(s), dom_string_byte_length(s)) : std::string();
}

std::string TakeStr(dom_string* s) {
    std::string r = Str(s);
    if (s) dom_string_unref(s);
    return r;
}

dom_string* MakeStr(const std::string& s) {
    dom_string* r = nullptr;
    if (dom_string_create(reinterpret_cast<const uint8_t*>(s.data()), s.size(), &r) != DOM_NO_ERR) return nullptr;
    return r;
}

int Type(dom_node* n) {
    dom_node_type t = DOM_ELEMENT_NODE;
    if (!n || dom_node_get_node_type(n, &t) != DOM_NO_ERR) return 0;
    return (int)t;
}

bool IsElement(dom_node* n) {
    return Type(n) == DOM_ELEMENT_NODE;
}

namespace {
std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return s;
}
std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    return s;
}
}  // namespace

std::string Tag(dom_node* n) {
    if (!IsElement(n)) return std::string();
    dom_string* s = nullptr;
    if (dom_node_get_node_name(n, &s) != DOM_NO_ERR) return std::string();
    return Lower(TakeStr(s));
}

std::string NodeName(dom_node* n) {
    if (IsElement(n)) return Upper(Tag(n));
    dom_string* s = nullptr;
    if (!n || dom_node_get_node_name(n, &s) != DOM_NO_ERR) return std::string();
    return TakeStr(s);
}

bool GetAttr(dom_node* e, const std::string& name, std::string* value) {
    if (!IsElement(e)) return false;
    dom_string* key = MakeStr(name);
    if (!key) return false;
    dom_string* v = nullptr;
    dom_exception err = dom_element_get_attribute(e, key, &v);
    dom_string_unref(key);
    if (err != DOM_NO_ERR || !v) return false;
    if (value) *value = Str(v);
    dom_string_unref(v);
    return true;
}

std::string Attr(dom_node* e, const std::string& name) {
    std::string v;
    GetAttr(e, name, &v);
    return v;
}

bool SetAttr(dom_node* e, const std::string& name, const std::string& value) {
    if (!IsElement(e) || name.empty()) return false;
    dom_string* key = MakeStr(name);
    dom_string* v = MakeStr(value);
    bool ok = key && v && dom_element_set_attribute(e, key, v) == DOM_NO_ERR;
    if (key) dom_string_unref(key);
    if (v) dom_string_unref(v);
    return ok;
}

bool RemoveAttr(dom_node* e, const std::string& name) {
    if (!IsElement(e)) return false;
    dom_string* key = MakeStr(name);
    bool ok = key && dom_element_remove_attribute(e, key) == DOM_NO_ERR;
    if (key) dom_string_unref(key);
    return ok;
}

std::vector<std::pair<std::string, std::string>> Attrs(dom_node* e) {
    std::vector<std::pair<std::string, std::string>> out;
    dom_namednodemap* map = nullptr;
    if (!IsElement(e) || dom_node_get_attributes(e, &map) != DOM_NO_ERR || !map) return out;
    dom_ulong n = 0;
    dom_namednodemap_get_length(map, &n);
    for (dom_ulong i = 0; i < n; ++i) {
        dom_node* a = nullptr;
        if (dom_namednodemap_item(map, i, &a) != DOM_NO_ERR || !a) continue;
        dom_string *name = nullptr, *value = nullptr;
        dom_attr_get_name((dom_attr*)a, &name);
        dom_attr_get_value((dom_attr*)a, &value);
        out.emplace_back(Lower(TakeStr(name)), TakeStr(value));
        dom_node_unref(a);
    }
    dom_namednodemap_unref(map);
    return out;
}

std::vector<std::string> Classes(const std::string& s) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && strchr(" \t\r\n\f", s[i])) ++i;
        size_t j = i;
        while (j < s.size() && !strchr(" \t\r\n\f", s[j])) ++j;
        if (j > i) out.push_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

bool HasClass(dom_node* e, const std::string& cls) {
    std::string v;
    if (!GetAttr(e, "class", &v)) return false;
    for (const std::string& c : Classes(v))
        if (c == cls) return true;
    return false;
}

#define WV_NODE_GETTER(Name, call)                                  \
    NodeRef Name(dom_node* n) {                                     \
        dom_node* r = nullptr;                                      \
        if (!n || call(n, &r) != DOM_NO_ERR) return NodeRef();      \
        return NodeRef(r);                                          \
    }
WV_NODE_GETTER(Parent, dom_node_get_parent_node)
WV_NODE_GETTER(FirstChild, dom_node_get_first_child)
WV_NODE_GETTER(LastChild, dom_node_get_last_child)
WV_NODE_GETTER(Next, dom_node_get_next_sibling)
WV_NODE_GETTER(Prev, dom_node_get_previous_sibling)
#undef WV_NODE_GETTER

NodeRef OwnerDocument(dom_node* n) {
    dom_document* d = nullptr;
    if (!n || dom_node_get_owner_document(n, &d) != DOM_NO_ERR) return NodeRef();
    return NodeRef((dom_node*)d);
}

NodeRef ParentElement(dom_node* n) {
    NodeRef p = Parent(n);
    return IsElement(p.get()) ? p : NodeRef();
}

NodeRef FirstElementChild(dom_node* n) {
    NodeRef c = FirstChild(n);
    while (c && !IsElement(c.get())) c = Next(c.get());
    return c;
}

NodeRef LastElementChild(dom_node* n) {
    NodeRef c = LastChild(n);
    while (c && !IsElement(c.get())) c = Prev(c.get());
    return c;
}

NodeRef NextElement(dom_node* n) {
    NodeRef c = Next(n);
    while (c && !IsElement(c.get())) c = Next(c.get());
    return c;
}

NodeRef PrevElement(dom_node* n) {
    NodeRef c = Prev(n);
    while (c && !IsElement(c.get())) c = Prev(c.get());
    return c;
}

NodeRef DocumentElement(dom_node* doc) {
    dom_element* e = nullptr;
    if (!doc || dom_document_get_document_element((dom_document*)doc, &e) != DOM_NO_ERR) return NodeRef();
    return NodeRef((dom_node*)e);
}

NodeRef HtmlChild(dom_node* doc, const char* tag) {
    NodeRef html = DocumentElement(doc);
    if (!html) return NodeRef();
    for (NodeRef c = FirstElementChild(html.get()); c; c = NextElement(c.get()))
        if (Tag(c.get()) == tag) return c;
    return NodeRef();
}

std::string TextContent(dom_node* n) {
    dom_string* s = nullptr;
    if (!n || dom_node_get_text_content(n, &s) != DOM_NO_ERR) return std::string();
    return TakeStr(s);
}

std::string NodeValue(dom_node* n) {
    dom_string* s = nullptr;
    if (!n || dom_node_get_node_value(n, &s) != DOM_NO_ERR) return std::string();
    return TakeStr(s);
}

bool SetNodeValue(dom_node* n, const std::string& v) {
    dom_string* s = MakeStr(v);
    bool ok = s && dom_node_set_node_value(n, s) == DOM_NO_ERR;
    if (s) dom_string_unref(s);
    return ok;
}

namespace {

bool IsVoid(const std::string& t) {
    static const char* const kVoid[] = {"area", "base", "br", "col", "embed", "hr", "img", "input",
                                        "link", "meta", "param", "source", "track", "wbr"};
    for (const char* v : kVoid)
        if (t == v) return true;
    return false;
}

// Text of <script> and <style> is raw: its markup characters are not escaped.
bool IsRaw(const std::string& t) {
    return t == "script" || t == "style";
}

void Escape(const std::string& s, std::string& out, bool attr) {
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += attr ? "<" : "&lt;"; break;
        case '>': out += attr ? ">" : "&gt;"; break;
        case '"': out += attr ? "&quot;" : "\""; break;
        default: out += c;
        }
    }
}

void SerializeInto(dom_node* n, const std::string& parentTag, std::string& out) {
    switch (Type(n)) {
    case DOM_ELEMENT_NODE: {
        std::string tag = Tag(n);
        out += '<';
        out += tag;
        for (const auto& a : Attrs(n)) {
            out += ' ';
            out += a.first;
            out += "=\"";
            Escape(a.second, out, true);
            out += '"';
        }
        out += '>';
        if (IsVoid(tag)) return;
        for (NodeRef c = FirstChild(n); c; c = Next(c.get())) SerializeInto(c.get(), tag, out);
        out += "</";
        out += tag;
        out += '>';
        return;
    }
    case DOM_TEXT_NODE:
    case DOM_CDATA_SECTION_NODE:
        if (IsRaw(parentTag)) out += NodeValue(n);
        else Escape(NodeValue(n), out, false);
        return;
    case DOM_COMMENT_NODE:
        out += "<!--" + NodeValue(n) + "-->";
        return;
    case DOM_DOCUMENT_NODE:
    case DOM_DOCUMENT_FRAGMENT_NODE:
        for (NodeRef c = FirstChild(n); c; c = Next(c.get())) SerializeInto(c.get(), std::string(), out);
        return;
    default:
        return;
    }
}

}  // namespace

void SerializeIn(dom_node* n, const std::string& parentTag, std::string& out) {
    SerializeInto(n, parentTag, out);
}

void SerializeChildren(dom_node* n, std::string& out) {
    std::string tag = Tag(n);
    for (NodeRef c = FirstChild(n); c; c = Next(c.get())) SerializeInto(c.get(), tag, out);
}

void Serialize(dom_node* n, std::string& out) {
    NodeRef p = Parent(n);
    SerializeInto(n, Tag(p.get()), out);
}

}  // namespace dom
}  // namespace webview
