// Reading and changing libdom nodes in the terms the script bindings and the selector matcher
// use: UTF-8 std::string in and out, lower-case element names, and NodeRef, an owned libdom
// reference that is released when it goes out of scope. Every getter of libdom hands out a new
// reference; these helpers take ownership of it so callers never unref by hand.
#pragma once
#include "DomApi.h"

#include <string>
#include <utility>
#include <vector>

namespace webview {

class NodeRef {
public:
    NodeRef() = default;
    // Takes over a reference the caller owns.
    explicit NodeRef(dom_node* adopted) : m_p(adopted) {}
    static NodeRef Share(dom_node* n) { return NodeRef(dom_node_ref(n)); }
    NodeRef(NodeRef&& o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
    NodeRef& operator=(NodeRef&& o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }
    NodeRef(const NodeRef& o) : m_p(dom_node_ref(o.m_p)) {}
    NodeRef& operator=(const NodeRef& o) {
        NodeRef t(o);
        std::swap(m_p, t.m_p);
        return *this;
    }
    ~NodeRef() {
        if (m_p) dom_node_unref(m_p);
    }
    dom_node* get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    dom_node* release() {
        dom_node* p = m_p;
        m_p = nullptr;
        return p;
    }

private:
    dom_node* m_p = nullptr;
};

namespace dom {

std::string Str(dom_string* s);          // does not release s
std::string TakeStr(dom_string* s);      // releases s
dom_string* MakeStr(const std::string& s);  // a new reference, or null

int Type(dom_node* n);
bool IsElement(dom_node* n);
// Lower-case local name of an element; empty for other nodes.
std::string Tag(dom_node* n);
// nodeName as scripts see it: upper-case tag for elements, "#text", "#document"...
std::string NodeName(dom_node* n);

bool GetAttr(dom_node* e, const std::string& name, std::string* value);
std::string Attr(dom_node* e, const std::string& name);  // empty when missing
bool SetAttr(dom_node* e, const std::string& name, const std::string& value);
bool RemoveAttr(dom_node* e, const std::string& name);
std::vector<std::pair<std::string, std::string>> Attrs(dom_node* e);
bool HasClass(dom_node* e, const std::string& cls);
std::vector<std::string> Classes(const std::string& classAttr);

NodeRef Parent(dom_node* n);
NodeRef FirstChild(dom_node* n);
NodeRef LastChild(dom_node* n);
NodeRef Next(dom_node* n);
NodeRef Prev(dom_node* n);
NodeRef ParentElement(dom_node* n);
NodeRef FirstElementChild(dom_node* n);
NodeRef LastElementChild(dom_node* n);
NodeRef NextElement(dom_node* n);
NodeRef PrevElement(dom_node* n);
NodeRef OwnerDocument(dom_node* n);
NodeRef DocumentElement(dom_node* doc);
// The first child element of <html> with this tag ("body", "head").
NodeRef HtmlChild(dom_node* doc, const char* tag);

std::string TextContent(dom_node* n);
std::string NodeValue(dom_node* n);  // text and comment data
bool SetNodeValue(dom_node* n, const std::string& v);

// Elements below root in document order (root itself excluded), for which keep() holds.
template <class F> void Descendants(dom_node* root, F keep, std::vector<NodeRef>& out, size_t limit = (size_t)-1) {
    NodeRef cur = FirstChild(root);
    while (cur && out.size() < limit) {
        if (IsElement(cur.get()) && keep(cur.get())) out.push_back(cur);
        NodeRef down = FirstChild(cur.get());
        if (down) {
            cur = std::move(down);
            continue;
        }
        for (;;) {
            if (cur.get() == root) return;
            NodeRef next = Next(cur.get());
            if (next) {
                cur = std::move(next);
                break;
            }
            cur = Parent(cur.get());
            if (!cur || cur.get() == root) return;
        }
    }
}

// Markup of the node's children (innerHTML) or of the node itself (outerHTML).
void SerializeChildren(dom_node* n, std::string& out);
void Serialize(dom_node* n, std::string& out);
// n as it serialises inside an element of tag parentTag (text in <script> and <style> is raw).
void SerializeIn(dom_node* n, const std::string& parentTag, std::string& out);

}  // namespace dom
}  // namespace webview
