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
#include "DisplayList.h"

namespace webview {

class Document;
struct TableGrid;  // LayoutTable.cpp

struct Box {
    dom_node* node = nullptr;  // referenced
    bool element = true;
    std::string tag;     // elements: lower case
    std::wstring text;   // text nodes
    Style style;
    const css_computed_style* computed = nullptr;  // elements: owned by the cascade
    uint64_t styleKey = 0;  // what the cascade shares styles by (Cascade::SelectShared)
    Box* parent = nullptr;
    std::vector<std::unique_ptr<Box>> children;
    int depth = 0;
    int imageIndex = -1;  // the document's image of an <img>
    bool imageRead = false;  // imageIndex is from its src as it is (read again when restyled)
    // Table cells: colspan and rowspan as the attributes say, read once per box (again after a
    // change restyles it).
    bool spansRead = false;
    int colSpanAttr = 1, rowSpanAttr = 1;
    int backgroundImage = -1;  // the document's image of its background-image, set by the layout

    // Layout memory. A block laid out at the same available width with needsLayout false keeps
    // what it drew: the pass only places it again (its origin), it is not laid out.
    bool needsLayout = true;
    int laidWidth = -1;           // available width of the last pass
    int laidHeight = 0;           // margin-box height it returned
    int laidUsed = 0;             // width it used
    int maxContent = -1;          // shrink-to-fit width, -1 until measured
    int minContent = -1;          // narrowest width without overflow, -1 until measured
    int laidForcedHeight = -1;    // the definite border-box height it was laid out at (-1: auto)
    int laidAutoHeight = 0;       // the margin-box height its content wanted at that width
    int laidOrdinal = 0;          // list items: the number its marker showed
    // Its used margins after collapsing (its border box lies marginTop below its origin), whether
    // its top and bottom margins collapse through it (no content, no height), and the baselines
    // of its first and last lines in its own coordinates (-1: no line).
    int marginTop = 0, marginBottom = 0;
    bool selfCollapsing = false;
    int firstBaseline = -1, lastBaseline = -1;
    // Something of its subtree lies in another box's list (a float of the enclosing formatting
    // context, an absolutely positioned descendant): it is laid out again rather than kept.
    bool keepsOut = false;
    // A block or inline-block owns the paint items and hit boxes of its own content, in its own
    // coordinates (its margin box's top left is 0, 0); a laid-out child block is one Child entry
    // in them. Its origin is where it lies in the box whose list holds that entry (its container,
    // the nearest ancestor that owns a list), so moving it moves everything below it.
    bool ownsList = false;
    POINT origin{0, 0};
    Box* placedIn = nullptr;  // the list owner holding its Child entry (an ancestor)
    std::vector<PaintItem> items;
    std::vector<HitBox> hits;  // later boxes lie on top of earlier ones
    RECT extent{};             // what it and its descendants draw, own coordinates
    // Border box: a list owner's in its own coordinates, any other box's in its container's.
    RECT border{};
    // Boxes that clip their overflow (overflow other than visible): how far their content is
    // scrolled, and the size of that content from the padding box's top left (scrollWidth and
    // scrollHeight); their extent stays their border box.
    POINT scroll{0, 0};
    SIZE contentSize{0, 0};
    // Tables: the grid and row geometry of the last layout, for a pass that re-lays only the
    // rows that changed (LayoutTable.cpp).
    std::shared_ptr<TableGrid> tableGrid;

    ~Box();
};

class RenderTree {
public:
    static constexpr int kMaxDepth = 200;

    RenderTree();
    ~RenderTree();

    // Rebuilds every box from the document with the given page sheets; bases: each sheet's own
    // URL (linked sheets), empty or missing for the document's.
    void Build(Document& doc, const std::vector<std::string>& sheets,
               const std::vector<std::string>& bases = std::vector<std::string>());
    // The same in slices: Begin, then Continue until it returns true (done). budgetMs 0: no limit.
    // The document must not change in between.
    void Begin(Document& doc, const std::vector<std::string>& sheets,
               const std::vector<std::string>& bases = std::vector<std::string>());
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

    // Boxes laid out (not reused) and paint items made by layout passes since the tree was made;
    // tests read them.
    size_t laidOut = 0;
    size_t itemsBuilt = 0;

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
    const css_computed_style* Select(Box* box);
    void Rebuild(Box* box);
    void MarkUp(Box* box);

    Cascade m_cascade;
    std::unique_ptr<Box> m_root;
    std::unordered_map<dom_node*, Box*> m_boxes;
    std::vector<Frame> m_pending;  // the boxes still to make while building in slices
};

}  // namespace webview
