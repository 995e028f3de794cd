// The document of a web view: a tree of element and text nodes made from the HTML parser's tree,
// with the style sheet of its <style> elements and the ids that scripts use to reach nodes.
// A Document owns its nodes; scripts hold node ids, never pointers, so a node removed by a
// script (innerHTML) cannot be reached again through a stale reference.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Css.h"

namespace webview {

struct Node {
    bool element = true;
    std::string tag;   // lower case, elements only
    std::string text;  // text nodes only (UTF-8)
    std::vector<std::pair<std::string, std::string>> attrs;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
    uint32_t id = 0;         // the document's number for the node
    std::string styleOverride; // declarations set by scripts (style.display)
    Style style;              // computed
    int imageIndex = -1;      // the document's image of an <img>

    const std::string* Attr(const char* name) const;
    void SetAttr(const std::string& name, const std::string& value);
    bool HasClass(const std::string& cls) const;
    std::string TextContent() const;
};

struct Image {
    std::string url;
    int width = 0, height = 0;   // 0 until decoded
    std::vector<uint32_t> pixels; // premultiplied BGRA, top-down
    bool requested = false;
};

class Document {
public:
    Document();
    ~Document();

    // Builds the tree from a UTF-8 page. Very deep nesting is folded at a fixed depth.
    void Parse(const std::string& utf8, const std::string& url);
    // Replaces the children of node by the parsed fragment.
    void SetInnerHtml(Node* node, const std::string& utf8);
    void SetTextContent(Node* node, const std::string& utf8);

    Node* Root() const { return m_root.get(); }
    Node* Body() const;
    Node* ById(uint32_t id) const;
    Node* ElementById(const std::string& idAttr) const;
    const std::string& Url() const { return m_url; }

    // The scripts of the page in document order (inline text or the resolved src).
    struct Script {
        std::string code, src;
        bool external = false;
    };
    std::vector<Script> CollectScripts() const;

    void Restyle();
    std::vector<Image>& Images() { return m_images; }
    int ImageFor(const std::string& absoluteUrl);

private:
    void Adopt(Node* parent, void* xmlNode, int depth);
    void Register(Node* n);
    void Unregister(Node* n);

    std::unique_ptr<Node> m_root;
    std::map<uint32_t, Node*> m_byId;
    uint32_t m_nextId = 1;
    std::string m_url;
    std::vector<Image> m_images;
};

}  // namespace webview
