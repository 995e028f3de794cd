// The render tree of a view: one box per element or text node that is drawn, each with its style
// from the cascade, and what the layout remembers of it for the next pass. Built from the libdom
// document top-down without recursion; its depth is capped: content below kMaxDepth is attached
// to the deepest allowed box (the DOM itself keeps every level), so style, layout and paint never
// walk more than kMaxDepth levels. Elements that are display:none get a box without children.
//
// Owned by the view. Boxes hold a reference on their DOM node. After a DOM change, Changed()
// restyles the changed subtree and marks it and its ancestors for layout.
#pragma once
#include "DomApi.h"
#include "CssApi.h"
#include <windows.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Cascade.h"
#include "Css.h"

namespace webview {

class Document;

struct Box {
    dom_node* node = nullptr;  // referenced
    bool element = true;
    std::string tag;     // elements: lower case
    std::wstring text;   // text nodes
    Style style;
    const css_computed_style* computed = nullptr;  // elements: owned by the cascade
    Box* parent = nullptr;
    std::vector<std::unique_ptr<Box>> children;
    int depth = 0;
    int imageIndex = -1;  // the document's image of an <img>

    // Layout memory. A block laid out at the same available width with needsLayout false is
    // copied from the previous pass instead of being laid out again.
    bool needsLayout = true;
    int laidWidth = -1;           // available width of the last pass
    int laidHeight = 0;           // margin-box height it returned
    int laidUsed = 0;             // width it used
    POINT laidAt{-1, -1};         // where its margin box was placed (document coordinates)
    size_t itemsBegin = 0, itemsEnd = 0, hitsBegin = 0, hitsEnd = 0;  // its range in the page
    bool inPage = false;          // the range refers to the page list (not to an atomic inline)
    RECT border{};                // border box, document coordinates
    int maxContent = -1;          // shrink-to-fit width, -1 until measured

    ~Box();
};

class RenderTree {
public:
    static constexpr int kMaxDepth = 200;

    RenderTree();
    ~RenderTree();

    // Rebuilds every box from the document with the given page sheets.
    void Build(Document& doc, const std::vector<std::string>& sheets);
    // The same in slices: Begin, then Continue until it returns true (done). budgetMs 0: no limit.
    // The document must not change in between.
    void Begin(Document& doc, const std::vector<std::string>& sheets);
    bool Continue(DWORD budgetMs);
    bool Building() const { return !m_pending.empty(); }
    // A DOM change under node: restyles and rebuilds the boxes it touches.
    enum class Change { Attribute, Text, Children };
    void Changed(dom_node* node, Change kind);
    // :hover and :focus moved: restyles the boxes whose selectors may see it; true when any was.
    bool SetHover(dom_node* n);
    bool SetFocus(dom_node* n);
    // Every box is laid out again on the next pass (an image's size became known).
    void InvalidateLayout();
    void Clear();

    Box* Root() const { return m_root.get(); }
    Box* BoxOf(dom_node* n) const;
    size_t BoxCount() const { return m_boxes.size(); }
    Cascade& Styles() { return m_cascade; }

    // Boxes laid out (not copied) by layout passes since the tree was made; tests read it.
    size_t laidOut = 0;

private:
    struct Frame {
        dom_node* next;  // the next child to make a box for
        Box* into;       // the box it goes into
        int depth;
    };
    std::unique_ptr<Box> Make(dom_node* n, Box* parent);
    void BuildChildren(Box* box);
    void Grow(std::vector<Frame>& stack, DWORD budgetMs);
    void Forget(Box* box);
    void Restyle(Box* box);
    void MarkUp(Box* box);

    Cascade m_cascade;
    std::unique_ptr<Box> m_root;
    std::unordered_map<dom_node*, Box*> m_boxes;
    std::vector<Frame> m_pending;  // the boxes still to make while building in slices
};

}  // namespace webview
