// The document of a web view: a libdom HTML document built by hubbub (through libdom's hubbub
// binding), fed in chunks so that a large page is parsed over several timer ticks, plus the
// view's own per-document state (image table, numbers for scripts).
//
// Nodes are libdom's dom_node*. libdom counts references: every libdom getter returns a new
// reference that the caller unrefs; the helpers below hide that and return plain values, or
// borrowed pointers that stay valid while the node is in the document (the document holds its
// children). The Document owns the dom_document and the parser; scripts reach nodes through
// numbers (IdOf/ById) which hold a reference, so a number stays valid for the document's life.
//
// After changing the tree or an attribute, tell the view: NodeChanged() in View.h restyles and
// lays out what the change touches.
#pragma once
#include "DomApi.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct dom_hubbub_parser;

namespace webview {

// --- Plain accessors over libdom nodes (no references to manage). -------------------------------
bool IsElement(dom_node* n);
bool IsText(dom_node* n);
// Lower-case tag name of an element; empty for other nodes.
std::string TagOf(dom_node* n);
// Borrowed: valid while the node is in its tree.
dom_node* ParentOf(dom_node* n);
dom_node* FirstChild(dom_node* n);
dom_node* NextSibling(dom_node* n);
dom_node* PreviousSibling(dom_node* n);
bool GetAttr(dom_node* element, const char* name, std::string* value);
std::string Attr(dom_node* element, const char* name);  // empty when absent
void SetAttr(dom_node* element, const std::string& name, const std::string& value);
void RemoveAttr(dom_node* element, const std::string& name);
std::vector<std::pair<std::string, std::string>> Attrs(dom_node* element);
std::string TextContent(dom_node* n);  // UTF-8
// Whether n's document is in quirks mode (a page without a standards doctype).
bool IsQuirksDocument(dom_node* n);
std::string CharacterData(dom_node* text);
// True when c is n or below n.
bool Contains(dom_node* n, dom_node* c);

struct Image {
    std::string url;
    int width = 0, height = 0;     // 0 until decoded
    std::vector<uint32_t> pixels;  // premultiplied BGRA, top-down
    bool requested = false;
};

class Document {
public:
    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Starts a new, empty document (the previous one and its numbers are dropped).
    void Begin(const std::string& url);
    // Parses UTF-8 bytes; may be called any number of times between Begin and Finish.
    void Feed(const char* utf8, size_t n);
    // Ends the parse; the tree is complete (html, head and body always exist).
    void Finish();
    // Begin + Feed + Finish.
    void Parse(const std::string& utf8, const std::string& url);
    bool Parsing() const { return m_parser != nullptr; }
    // Bumped whenever Begin replaces the document: caches keyed on nodes compare it.
    uint32_t Generation() const { return m_generation; }

    dom_document* Dom() const { return m_doc; }
    dom_node* Root() const;  // the html element (borrowed)
    dom_node* Body() const;  // the body element, else the root (borrowed)
    dom_node* ElementById(const std::string& id) const;
    const std::string& Url() const { return m_url; }

    // Numbers for scripts: stable for the document's life, 0 is no node.
    uint32_t IdOf(dom_node* n);
    dom_node* ById(uint32_t id) const;

    // The children of an element replaced by an HTML fragment (hubbub's fragment parse), or text.
    void SetInnerHtml(dom_node* element, const std::string& utf8);
    // A document fragment (a new reference, the caller's to release) holding the parse of an
    // element's content; null on failure.
    dom_node* ParseFragment(const std::string& utf8);
    std::string InnerHtml(dom_node* element) const;
    void SetTextContent(dom_node* n, const std::string& utf8);

    // The scripts of the page in document order (inline text or the resolved src).
    struct Script {
        std::string code, src;
        bool external = false;
    };
    std::vector<Script> CollectScripts() const;
    // Style sheets in document order: <style> text, or a <link rel=stylesheet> to fetch.
    struct Sheet {
        std::string text, href;
        bool external = false;
    };
    std::vector<Sheet> CollectSheets() const;

    std::vector<Image>& Images() { return m_images; }
    int ImageFor(const std::string& absoluteUrl);

private:
    void Drop();

    dom_document* m_doc = nullptr;
    dom_hubbub_parser* m_parser = nullptr;
    std::string m_url;
    uint32_t m_generation = 0;
    std::unordered_map<dom_node*, uint32_t> m_ids;
    std::vector<dom_node*> m_byId;  // index id - 1; each holds a reference
    std::vector<Image> m_images;
};

}  // namespace webview
