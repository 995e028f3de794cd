#include "Dom.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>

#include "Text.h"

namespace webview {

namespace {
// Deeper elements are attached at this depth: style, layout and paint walk the tree recursively.
// The parser itself has no depth limit (XML_PARSE_HUGE): content after deep nesting still counts.
const int kMaxDepth = 200;
const int kParseOptions = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                          HTML_PARSE_IGNORE_ENC | XML_PARSE_HUGE;

int DepthOf(const Node* n) {
    int d = 0;
    for (; n; n = n->parent) ++d;
    return d;
}
}  // namespace

const std::string* Node::Attr(const char* name) const {
    for (const auto& a : attrs)
        if (a.first == name) return &a.second;
    return nullptr;
}

void Node::SetAttr(const std::string& name, const std::string& value) {
    for (auto& a : attrs)
        if (a.first == name) {
            a.second = value;
            return;
        }
    attrs.emplace_back(name, value);
}

bool Node::HasClass(const std::string& cls) const {
    const std::string* c = Attr("class");
    if (!c) return false;
    size_t i = 0;
    while (i < c->size()) {
        while (i < c->size() && isspace((unsigned char)(*c)[i])) ++i;
        size_t e = i;
        while (e < c->size() && !isspace((unsigned char)(*c)[e])) ++e;
        if (e > i && c->compare(i, e - i, cls) == 0 && e - i == cls.size()) return true;
        i = e;
    }
    return false;
}

std::string Node::TextContent() const {
    if (!element) return text;
    std::string s;
    for (const auto& c : children) s += c->TextContent();
    return s;
}

Document::Document() : m_root(new Node) {
    m_root->tag = "html";
    Register(m_root.get());
}

Document::~Document() = default;

void Document::Register(Node* n) {
    n->id = m_nextId++;
    m_byId[n->id] = n;
}

void Document::Unregister(Node* n) {
    // Iterative: a fragment may be deep.
    std::vector<Node*> stack{n};
    while (!stack.empty()) {
        Node* x = stack.back();
        stack.pop_back();
        m_byId.erase(x->id);
        for (auto& c : x->children) stack.push_back(c.get());
    }
}

Node* Document::ById(uint32_t id) const {
    auto it = m_byId.find(id);
    return it == m_byId.end() ? nullptr : it->second;
}

Node* Document::Body() const {
    for (auto& c : m_root->children)
        if (c->element && c->tag == "body") return c.get();
    return m_root.get();
}

Node* Document::ElementById(const std::string& idAttr) const {
    for (const auto& kv : m_byId) {
        const std::string* a = kv.second->element ? kv.second->Attr("id") : nullptr;
        if (a && *a == idAttr) return kv.second;
    }
    return nullptr;
}

void Document::Adopt(Node* parent, void* first, int depth) {
    struct Item {
        xmlNode* x;
        Node* into;
        int depth;
    };
    std::vector<Item> stack;
    auto pushChildren = [&](xmlNode* x, Node* into, int d) {
        std::vector<xmlNode*> kids;
        for (xmlNode* c = x; c; c = c->next) kids.push_back(c);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back({*it, into, d});
    };
    pushChildren((xmlNode*)first, parent, depth);
    while (!stack.empty()) {
        Item it = stack.back();
        stack.pop_back();
        xmlNode* x = it.x;
        if (x->type == XML_ELEMENT_NODE) {
            std::unique_ptr<Node> n(new Node);
            n->tag = ToLower(x->name ? (const char*)x->name : "");
            for (xmlAttr* a = x->properties; a; a = a->next) {
                xmlChar* v = xmlNodeGetContent((xmlNode*)a);
                n->attrs.emplace_back(ToLower((const char*)a->name), v ? (const char*)v : "");
                if (v) xmlFree(v);
            }
            Node* raw = n.get();
            Node* into = it.into;
            if (it.depth < kMaxDepth) {
                raw->parent = into;
                into->children.push_back(std::move(n));
                Register(raw);
                if (x->children) pushChildren(x->children, raw, it.depth + 1);
            } else {
                // Too deep: its content goes to the deepest allowed element.
                if (x->children) pushChildren(x->children, into, it.depth);
            }
        } else if (x->type == XML_TEXT_NODE || x->type == XML_CDATA_SECTION_NODE) {
            if (!x->content || !*x->content) continue;
            std::unique_ptr<Node> n(new Node);
            n->element = false;
            n->text = (const char*)x->content;
            n->parent = it.into;
            Register(n.get());
            it.into->children.push_back(std::move(n));
        }
    }
}

void Document::Parse(const std::string& utf8, const std::string& url) {
    m_url = url;
    Unregister(m_root.get());
    m_root.reset(new Node);
    m_root->tag = "html";
    Register(m_root.get());
    m_images.clear();
    htmlDocPtr doc = htmlReadMemory(utf8.data(), (int)utf8.size(), url.c_str(), "UTF-8", kParseOptions);
    xmlNode* html = doc ? xmlDocGetRootElement(doc) : nullptr;
    if (html && html->type == XML_ELEMENT_NODE && xmlStrcasecmp(html->name, BAD_CAST "html") == 0) {
        for (xmlAttr* a = html->properties; a; a = a->next) {
            xmlChar* v = xmlNodeGetContent((xmlNode*)a);
            m_root->attrs.emplace_back(ToLower((const char*)a->name), v ? (const char*)v : "");
            if (v) xmlFree(v);
        }
        if (html->children) Adopt(m_root.get(), html->children, 1);
    } else if (html) {
        Adopt(m_root.get(), html, 1);
    }
    if (doc) xmlFreeDoc(doc);
    if (Body() == m_root.get()) {
        std::unique_ptr<Node> body(new Node);
        body->tag = "body";
        body->parent = m_root.get();
        Register(body.get());
        m_root->children.push_back(std::move(body));
    }
}

void Document::SetInnerHtml(Node* node, const std::string& utf8) {
    if (!node || !node->element) return;
    for (auto& c : node->children) Unregister(c.get());
    node->children.clear();
    std::string page = "<html><body>" + utf8 + "</body></html>";
    htmlDocPtr doc = htmlReadMemory(page.data(), (int)page.size(), m_url.c_str(), "UTF-8", kParseOptions);
    xmlNode* html = doc ? xmlDocGetRootElement(doc) : nullptr;
    xmlNode* body = nullptr;
    for (xmlNode* c = html ? html->children : nullptr; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && xmlStrcasecmp(c->name, BAD_CAST "body") == 0) body = c;
    if (body && body->children) Adopt(node, body->children, DepthOf(node));
    if (doc) xmlFreeDoc(doc);
}

void Document::SetTextContent(Node* node, const std::string& utf8) {
    if (!node) return;
    if (!node->element) {
        node->text = utf8;
        return;
    }
    for (auto& c : node->children) Unregister(c.get());
    node->children.clear();
    if (utf8.empty()) return;
    std::unique_ptr<Node> t(new Node);
    t->element = false;
    t->text = utf8;
    t->parent = node;
    Register(t.get());
    node->children.push_back(std::move(t));
}

std::vector<Document::Script> Document::CollectScripts() const {
    std::vector<Script> out;
    std::vector<const Node*> stack{m_root.get()};
    while (!stack.empty()) {
        const Node* n = stack.back();
        stack.pop_back();
        if (n->element && n->tag == "script") {
            const std::string* type = n->Attr("type");
            if (type && !type->empty() && ToLower(*type).find("javascript") == std::string::npos) continue;
            Script s;
            const std::string* src = n->Attr("src");
            if (src && !Trim(*src).empty()) {
                s.external = true;
                s.src = ResolveUrl(m_url, *src);
            } else {
                s.code = n->TextContent();
            }
            out.push_back(std::move(s));
            continue;
        }
        for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) stack.push_back(it->get());
    }
    return out;
}

void Document::Restyle() {
    StyleSheet sheet;
    std::vector<const Node*> stack{m_root.get()};
    while (!stack.empty()) {
        const Node* n = stack.back();
        stack.pop_back();
        if (n->element && n->tag == "style") sheet.Parse(n->TextContent());
        for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) stack.push_back(it->get());
    }
    sheet.Compute(m_root.get());
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
