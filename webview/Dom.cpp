#include "Dom.h"

#include <hubbub/errors.h>
#define namespace dom_namespace_
extern "C" {
#include <dom/bindings/hubbub/parser.h>
}
#undef namespace

#include <algorithm>

#include "Text.h"

namespace webview {

namespace {

// A libdom string made from UTF-8, released when it goes out of scope.
class DomStr {
public:
    explicit DomStr(const std::string& s) { dom_string_create((const uint8_t*)s.data(), s.size(), &m_s); }
    ~DomStr() {
        if (m_s) dom_string_unref(m_s);
    }
    DomStr(const DomStr&) = delete;
    DomStr& operator=(const DomStr&) = delete;
    dom_string* get() const { return m_s; }

private:
    dom_string* m_s = nullptr;
};

std::string Take(dom_string* s) {
    if (!s) return std::string();
    std::string r(dom_string_data(s), dom_string_byte_length(s));
    dom_string_unref(s);
    return r;
}

// libdom returns new references from its getters; the tree keeps its nodes alive, so a node that
// is still attached can be handed out borrowed.
dom_node* Borrow(dom_node* n) {
    if (n) dom_node_unref(n);
    return n;
}

dom_hubbub_error IgnoreScript(void*, dom_node*) {
    return DOM_HUBBUB_OK;
}

void Quiet(uint32_t, void*, const char*, ...) {}

dom_hubbub_parser* NewParser(dom_document** doc) {
    dom_hubbub_parser_params p{};
    p.enc = "UTF-8";  // the view converts every page to UTF-8 before parsing
    p.fix_enc = true;
    p.enable_script = true;  // <noscript> content is not shown
    p.script = IgnoreScript;
    p.msg = Quiet;
    dom_hubbub_parser* parser = nullptr;
    if (dom_hubbub_parser_create(&p, &parser, doc) != DOM_HUBBUB_OK) return nullptr;
    return parser;
}

bool IsVoidTag(const std::string& t) {
    static const char* kVoid[] = {"br", "img", "hr", "meta", "link", "input", "area", "base", "col", "wbr",
                                  "param", "source", "embed", "track"};
    for (const char* v : kVoid)
        if (t == v) return true;
    return false;
}

void Escape(const std::string& s, std::string& out, bool attr) {
    for (char c : s) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"' && attr) out += "&quot;";
        else out += c;
    }
}

}  // namespace

bool IsElement(dom_node* n) {
    dom_node_type t = DOM_NODE_TYPE_COUNT;
    return n && dom_node_get_node_type(n, &t) == DOM_NO_ERR && t == DOM_ELEMENT_NODE;
}

bool IsText(dom_node* n) {
    dom_node_type t = DOM_NODE_TYPE_COUNT;
    return n && dom_node_get_node_type(n, &t) == DOM_NO_ERR && (t == DOM_TEXT_NODE || t == DOM_CDATA_SECTION_NODE);
}

std::string TagOf(dom_node* n) {
    if (!IsElement(n)) return std::string();
    dom_string* s = nullptr;
    dom_node_get_node_name(n, &s);
    return ToLower(Take(s));
}

dom_node* ParentOf(dom_node* n) {
    dom_node* p = nullptr;
    if (n) dom_node_get_parent_node(n, &p);
    return Borrow(p);
}

dom_node* FirstChild(dom_node* n) {
    dom_node* c = nullptr;
    if (n) dom_node_get_first_child(n, &c);
    return Borrow(c);
}

dom_node* NextSibling(dom_node* n) {
    dom_node* c = nullptr;
    if (n) dom_node_get_next_sibling(n, &c);
    return Borrow(c);
}

dom_node* PreviousSibling(dom_node* n) {
    dom_node* c = nullptr;
    if (n) dom_node_get_previous_sibling(n, &c);
    return Borrow(c);
}

namespace {
// Attribute names are asked for over and over: each is made once, interned, and kept.
dom_string* NameString(const char* name) {
    static std::unordered_map<std::string, dom_string*> names;
    auto it = names.find(name);
    if (it != names.end()) return it->second;
    dom_string* s = nullptr;
    dom_string_create_interned((const uint8_t*)name, strlen(name), &s);
    names[name] = s;
    return s;
}
}  // namespace

bool GetAttr(dom_node* e, const char* name, std::string* value) {
    if (!IsElement(e)) return false;
    dom_string* v = nullptr;
    if (dom_element_get_attribute(e, NameString(name), &v) != DOM_NO_ERR || !v) return false;
    std::string s = Take(v);
    if (value) *value = s;
    return true;
}

std::string Attr(dom_node* e, const char* name) {
    std::string v;
    GetAttr(e, name, &v);
    return v;
}

void SetAttr(dom_node* e, const std::string& name, const std::string& value) {
    if (!IsElement(e)) return;
    DomStr k(ToLower(name)), v(value);
    // libdom reads an element's classes when its class attribute is made, not when an existing
    // one's value changes: made anew, so that selectors see the new classes.
    if (ToLower(name) == "class") dom_element_remove_attribute(e, k.get());
    dom_element_set_attribute(e, k.get(), v.get());
}

void RemoveAttr(dom_node* e, const std::string& name) {
    if (!IsElement(e)) return;
    DomStr k(ToLower(name));
    dom_element_remove_attribute(e, k.get());
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
        dom_node_get_node_name(a, &name);
        dom_node_get_node_value(a, &value);
        std::string nm = Take(name);
        out.emplace_back(nm, Take(value));
        dom_node_unref(a);
    }
    dom_namednodemap_unref(map);
    return out;
}

std::string CharacterData(dom_node* t) {
    dom_string* s = nullptr;
    if (!t || dom_characterdata_get_data(t, &s) != DOM_NO_ERR) return std::string();
    return Take(s);
}

bool IsQuirksDocument(dom_node* n) {
    dom_document* doc = nullptr;
    if (!n || dom_node_get_owner_document(n, &doc) != DOM_NO_ERR || !doc) return false;
    dom_document_quirks_mode mode = DOM_DOCUMENT_QUIRKS_MODE_NONE;
    dom_document_get_quirks_mode(doc, &mode);
    dom_node_unref(doc);
    return mode == DOM_DOCUMENT_QUIRKS_MODE_FULL;
}

std::string TextContent(dom_node* n) {
    if (!n) return std::string();
    if (IsText(n)) return CharacterData(n);
    // Iterative: the tree may be very deep.
    std::string out;
    dom_node* c = FirstChild(n);
    while (c) {
        if (IsText(c)) out += CharacterData(c);
        dom_node* down = IsElement(c) ? FirstChild(c) : nullptr;
        if (down) {
            c = down;
            continue;
        }
        while (c && c != n && !NextSibling(c)) c = ParentOf(c);
        c = c && c != n ? NextSibling(c) : nullptr;
    }
    return out;
}

bool Contains(dom_node* n, dom_node* c) {
    for (; c; c = ParentOf(c))
        if (c == n) return true;
    return false;
}

namespace {
// libdom frees a tree recursively, one C stack frame chain per level: a tree thousands of levels
// deep would overflow the stack. Releases parentless n (taking over one reference) in pieces of
// at most kPieceDepth levels, each cut off its parent before anything is freed.
const int kPieceDepth = 128;

void Detach(dom_node* n) {
    dom_node* parent = nullptr;
    dom_node_get_parent_node(n, &parent);
    if (!parent) return;
    dom_node* removed = nullptr;
    dom_node_remove_child(parent, n, &removed);
    if (removed) dom_node_unref(removed);
    dom_node_unref(parent);
}

void ReleaseTree(dom_node* n, bool keepRoot) {
    std::vector<dom_node*> pieces{n};
    bool first = true;
    while (!pieces.empty()) {
        dom_node* piece = pieces.back();
        pieces.pop_back();
        std::vector<dom_node*> cut;
        dom_node* c = piece;
        int depth = 0;
        while (c) {
            dom_node* down = depth < kPieceDepth ? FirstChild(c) : nullptr;
            if (depth == kPieceDepth) cut.push_back(c);
            if (down) {
                c = down;
                ++depth;
                continue;
            }
            while (c && c != piece && !NextSibling(c)) {
                c = ParentOf(c);
                --depth;
            }
            c = c && c != piece ? NextSibling(c) : nullptr;
        }
        for (dom_node* k : cut) {
            dom_node_ref(k);
            Detach(k);
            pieces.push_back(k);
        }
        if (!(first && keepRoot)) dom_node_unref(piece);
        first = false;
    }
}

void RemoveChildren(dom_node* e) {
    while (dom_node* c = FirstChild(e)) {
        dom_node_ref(c);
        Detach(c);
        ReleaseTree(c, false);
    }
}

}  // namespace

Document::Document() {
    Parse("", "about:blank");
}

Document::~Document() {
    Drop();
}

void Document::Drop() {
    if (m_parser) dom_hubbub_parser_destroy(m_parser);
    m_parser = nullptr;
    for (dom_node* n : m_byId) dom_node_unref(n);
    m_byId.clear();
    m_ids.clear();
    if (m_doc) ReleaseTree((dom_node*)m_doc, false);
    m_doc = nullptr;
}

void Document::Begin(const std::string& url) {
    Drop();
    ++m_generation;
    m_url = url;
    m_images.clear();
    m_parser = NewParser(&m_doc);
}

void Document::Feed(const char* data, size_t n) {
    if (m_parser && n) dom_hubbub_parser_parse_chunk(m_parser, (const uint8_t*)data, n);
}

void Document::Finish() {
    if (!m_parser) return;
    dom_hubbub_parser_completed(m_parser);
    dom_hubbub_parser_destroy(m_parser);
    m_parser = nullptr;
}

void Document::Parse(const std::string& utf8, const std::string& url) {
    Begin(url);
    Feed(utf8.data(), utf8.size());
    Finish();
}

dom_node* Document::Root() const {
    dom_element* e = nullptr;
    if (m_doc) dom_document_get_document_element(m_doc, &e);
    return Borrow((dom_node*)e);
}

dom_node* Document::Body() const {
    dom_node* root = Root();
    for (dom_node* c = FirstChild(root); c; c = NextSibling(c))
        if (TagOf(c) == "body") return c;
    return root;
}

dom_node* Document::ElementById(const std::string& id) const {
    if (!m_doc || id.empty()) return nullptr;
    DomStr s(id);
    dom_element* e = nullptr;
    dom_document_get_element_by_id(m_doc, s.get(), &e);
    return Borrow((dom_node*)e);
}

uint32_t Document::IdOf(dom_node* n) {
    if (!n) return 0;
    auto it = m_ids.find(n);
    if (it != m_ids.end()) return it->second;
    dom_node_ref(n);
    m_byId.push_back(n);
    uint32_t id = (uint32_t)m_byId.size();
    m_ids[n] = id;
    return id;
}

dom_node* Document::ById(uint32_t id) const {
    return id && id <= m_byId.size() ? m_byId[id - 1] : nullptr;
}

dom_node* Document::ParseFragment(const std::string& utf8) {
    if (!m_doc) return nullptr;
    dom_hubbub_parser_params p{};
    p.enc = "UTF-8";
    p.fix_enc = true;
    p.enable_script = true;
    p.script = IgnoreScript;
    p.msg = Quiet;
    dom_hubbub_parser* parser = nullptr;
    dom_document_fragment* frag = nullptr;
    if (dom_hubbub_fragment_parser_create(&p, m_doc, &parser, &frag) != DOM_HUBBUB_OK) return nullptr;
    // The fragment is parsed as a whole page: its content is what lands in the body.
    std::string page = "<body>" + utf8;
    dom_hubbub_parser_parse_chunk(parser, (const uint8_t*)page.data(), page.size());
    dom_hubbub_parser_completed(parser);
    dom_hubbub_parser_destroy(parser);
    dom_node* html = nullptr;
    for (dom_node* c = FirstChild((dom_node*)frag); c; c = NextSibling(c))
        if (TagOf(c) == "html") html = c;
    dom_node* body = nullptr;
    for (dom_node* c = FirstChild(html); c; c = NextSibling(c))
        if (TagOf(c) == "body") body = c;
    dom_document_fragment* out = nullptr;
    if (body && dom_document_create_document_fragment(m_doc, &out) == DOM_NO_ERR && out) {
        while (dom_node* c = FirstChild(body)) {
            dom_node_ref(c);
            dom_node* removed = nullptr;
            dom_node_remove_child(body, c, &removed);
            if (removed) dom_node_unref(removed);
            dom_node* added = nullptr;
            dom_node_append_child((dom_node*)out, c, &added);
            if (added) dom_node_unref(added);
            dom_node_unref(c);
        }
    }
    ReleaseTree((dom_node*)frag, false);
    return (dom_node*)out;
}

void Document::SetInnerHtml(dom_node* e, const std::string& utf8) {
    if (!IsElement(e) || !m_doc) return;
    dom_node* frag = ParseFragment(utf8);
    RemoveChildren(e);
    if (!frag) return;
    // Appending a fragment moves its children.
    dom_node* added = nullptr;
    dom_node_append_child(e, frag, &added);
    if (added) dom_node_unref(added);
    dom_node_unref(frag);
}

std::string Document::InnerHtml(dom_node* e) const {
    std::string out;
    if (!e) return out;
    // Iterative walk: open tags on the way down, close tags on the way up.
    dom_node* c = FirstChild(e);
    while (c) {
        bool descend = false;
        if (IsText(c)) {
            std::string parent = TagOf(ParentOf(c));
            if (parent == "script" || parent == "style") out += CharacterData(c);
            else Escape(CharacterData(c), out, false);
        } else if (IsElement(c)) {
            std::string tag = TagOf(c);
            out += "<" + tag;
            for (const auto& a : Attrs(c)) {
                out += " " + a.first + "=\"";
                Escape(a.second, out, true);
                out += "\"";
            }
            out += ">";
            descend = !IsVoidTag(tag);
        }
        if (descend) {
            if (dom_node* down = FirstChild(c)) {
                c = down;
                continue;
            }
            out += "</" + TagOf(c) + ">";
        }
        while (c && c != e && !NextSibling(c)) {
            c = ParentOf(c);
            if (c && c != e) out += "</" + TagOf(c) + ">";
        }
        c = c && c != e ? NextSibling(c) : nullptr;
    }
    return out;
}

void Document::SetTextContent(dom_node* n, const std::string& utf8) {
    if (!n) return;
    DomStr s(utf8);
    if (IsText(n)) {
        dom_characterdata_set_data(n, s.get());
        return;
    }
    RemoveChildren(n);
    dom_text* t = nullptr;
    if (utf8.empty() || dom_document_create_text_node(m_doc, s.get(), &t) != DOM_NO_ERR || !t) return;
    dom_node* added = nullptr;
    dom_node_append_child(n, (dom_node*)t, &added);
    if (added) dom_node_unref(added);
    dom_node_unref(t);
}

namespace {
// Calls f for every element in document order, without recursion.
template <class F> void ForEachElement(dom_node* root, F f) {
    dom_node* c = root;
    while (c) {
        bool descend = IsElement(c) && f(c);
        if (descend) {
            if (dom_node* down = FirstChild(c)) {
                c = down;
                continue;
            }
        }
        while (c && c != root && !NextSibling(c)) c = ParentOf(c);
        c = c && c != root ? NextSibling(c) : nullptr;
    }
}
}  // namespace

std::vector<Document::Script> Document::CollectScripts() const {
    std::vector<Script> out;
    ForEachElement(Root(), [&](dom_node* n) {
        if (TagOf(n) != "script") return true;
        std::string type;
        if (GetAttr(n, "type", &type) && !Trim(type).empty() && ToLower(type).find("javascript") == std::string::npos)
            return false;
        Script s;
        std::string src;
        if (GetAttr(n, "src", &src) && !Trim(src).empty()) {
            s.external = true;
            s.src = ResolveUrl(m_url, src);
        } else {
            s.code = TextContent(n);
        }
        out.push_back(std::move(s));
        return false;
    });
    return out;
}

std::vector<Document::Sheet> Document::CollectSheets() const {
    std::vector<Sheet> out;
    ForEachElement(Root(), [&](dom_node* n) {
        std::string tag = TagOf(n);
        if (tag == "style") {
            Sheet s;
            s.text = TextContent(n);
            out.push_back(std::move(s));
            return false;
        }
        if (tag == "link") {
            std::string rel = " " + ToLower(Attr(n, "rel")) + " ", href = Trim(Attr(n, "href"));
            for (char& ch : rel)
                if (isspace((unsigned char)ch)) ch = ' ';
            if (rel.find(" stylesheet ") != std::string::npos && rel.find(" alternate ") == std::string::npos &&
                !href.empty()) {
                Sheet s;
                s.external = true;
                s.href = ResolveUrl(m_url, href);
                out.push_back(std::move(s));
            }
            return false;
        }
        return tag != "script" && tag != "template";
    });
    return out;
}

int Document::ImageFor(const std::string& absoluteUrl) {
    for (size_t i = 0; i < m_images.size(); ++i)
        if (m_images[i].url == absoluteUrl) return (int)i;
    Image img;
    img.url = absoluteUrl;
    m_images.push_back(img);
    return (int)m_images.size() - 1;
}

}  // namespace webview
