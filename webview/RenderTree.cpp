#include "RenderTree.h"

#include "Dom.h"
#include "Text.h"

namespace webview {

Box::~Box() {
    if (node) dom_node_unref(node);
}

RenderTree::RenderTree() = default;

RenderTree::~RenderTree() {
    // Boxes first: they refer to nodes whose libcss data the cascade's handler frees.
    m_boxes.clear();
    m_root.reset();
}

Box* RenderTree::BoxOf(dom_node* n) const {
    auto it = m_boxes.find(n);
    return it == m_boxes.end() ? nullptr : it->second;
}

std::unique_ptr<Box> RenderTree::Make(dom_node* n, Box* parent) {
    std::unique_ptr<Box> b(new Box);
    dom_node_ref(n);
    b->node = n;
    b->parent = parent;
    b->depth = parent ? parent->depth + 1 : 0;
    if (IsText(n)) {
        b->element = false;
        b->text = Utf8ToWide(CharacterData(n));
        if (parent) b->style = parent->style;
        b->style.display = Display::Inline;
    } else {
        b->tag = TagOf(n);
        Cascade::NodeModified(n);  // a rebuilt subtree: what libcss kept of the node may be stale
        b->computed = Select(b.get());
        b->style = m_cascade.Cooked(b->computed, parent ? &parent->style : nullptr, parent == nullptr);
        m_cascade.Extra().Apply(n, b->style);
    }
    m_boxes[n] = b.get();
    return b;
}

void RenderTree::BuildChildren(Box* box) {
    std::vector<Frame> stack;
    if (box->element && box->style.display != Display::None) stack.push_back({FirstChild(box->node), box, box->depth + 1});
    Grow(stack, 0);
}

// Makes the boxes of the frames' remaining children, depth first; with a budget, stops once it
// is spent (checked every few hundred nodes) and leaves the rest in the stack.
void RenderTree::Grow(std::vector<Frame>& stack, DWORD budgetMs) {
    DWORD start = GetTickCount();
    unsigned count = 0;
    while (!stack.empty()) {
        if (budgetMs && (++count & 255) == 0 && GetTickCount() - start >= budgetMs) return;
        Frame& f = stack.back();
        dom_node* n = f.next;
        if (!n) {
            stack.pop_back();
            continue;
        }
        f.next = NextSibling(n);
        Box* into = f.into;
        int depth = f.depth;
        if (IsText(n)) {
            if (CharacterData(n).empty()) continue;
            into->children.push_back(Make(n, into));
        } else if (IsElement(n)) {
            if (depth < kMaxDepth) {
                into->children.push_back(Make(n, into));
                Box* b = into->children.back().get();
                if (b->style.display != Display::None) stack.push_back({FirstChild(n), b, depth + 1});
            } else {
                // Too deep: its content goes to the deepest allowed box.
                stack.push_back({FirstChild(n), into, depth});
            }
        }
    }
}

void RenderTree::Forget(Box* box) {
    std::vector<Box*> stack{box};
    while (!stack.empty()) {
        Box* b = stack.back();
        stack.pop_back();
        m_boxes.erase(b->node);
        for (auto& c : b->children) stack.push_back(c.get());
    }
}

void RenderTree::Build(Document& doc, const std::vector<std::string>& sheets, const std::vector<std::string>& bases) {
    Begin(doc, sheets, bases);
    Continue(0);
}

void RenderTree::Begin(Document& doc, const std::vector<std::string>& sheets, const std::vector<std::string>& bases) {
    m_pending.clear();
    m_boxes.clear();
    m_root.reset();
    m_cascade.Reset(doc.Url());
    for (size_t i = 0; i < sheets.size(); ++i) m_cascade.AddSheet(sheets[i], i < bases.size() ? bases[i] : "");
    dom_node* root = doc.Root();
    if (!root) return;
    m_root = Make(root, nullptr);
    if (m_root->style.display == Display::None) m_root->style.display = Display::Block;
    m_pending.push_back({FirstChild(root), m_root.get(), 1});
}

bool RenderTree::Continue(DWORD budgetMs) {
    Grow(m_pending, budgetMs);
    return m_pending.empty();
}

void RenderTree::Restyle(Box* b) {
    if (!b->element) {
        if (b->parent) b->style = b->parent->style;
        b->style.display = Display::Inline;
        b->text = Utf8ToWide(CharacterData(b->node));
        return;
    }
    Cascade::NodeModified(b->node);
    // Attributes the layout reads once may have changed with the style.
    b->spansRead = b->imageRead = false;
    b->computed = Select(b);
    b->style = m_cascade.Cooked(b->computed, b->parent ? &b->parent->style : nullptr, b->parent == nullptr);
    m_cascade.Extra().Apply(b->node, b->style);
    if (!b->parent && b->style.display == Display::None) b->style.display = Display::Block;
}

const css_computed_style* RenderTree::Select(Box* b) {
    Box* p = b->parent;
    // Content below the depth cap hangs from a box that is not its DOM parent: selected alone.
    if (p && ParentOf(b->node) != p->node) {
        b->styleKey = 0;
        return m_cascade.Select(b->node, p->computed);
    }
    return m_cascade.SelectShared(b->node, p ? p->computed : nullptr, p ? p->styleKey : 0, &b->styleKey);
}

void RenderTree::MarkUp(Box* b) {
    for (; b; b = b->parent) {
        b->needsLayout = true;
        b->maxContent = -1;
        b->minContent = -1;
    }
}

void RenderTree::Changed(dom_node* node, Change kind) {
    if (!m_root || !node) return;
    Continue(0);  // a change while the tree is still being made: finish it first
    Box* b = nullptr;
    for (dom_node* n = node; n && !b; n = ParentOf(n)) b = BoxOf(n);
    if (!b) return;
    if (kind == Change::Text && !b->element && b->node == node) {
        Restyle(b);
        MarkUp(b);
        return;
    }
    if (!b->element) b = b->parent;
    if (!b) return;
    Rebuild(b);
    // Selectors like "h1 + p" or "a ~ b": the elements after it may match differently now.
    if (kind == Change::Attribute && m_cascade.UsesSiblings() && b->parent) {
        bool after = false;
        for (auto& c : b->parent->children) {
            if (after && c->element) Rebuild(c.get());
            after = after || c.get() == b;
        }
    }
}

void RenderTree::Rebuild(Box* b) {
    // The subtree's boxes are made again: styles inherit downwards, and descendants' libcss data
    // (their ancestors' bloom filter) is stale once an ancestor's attributes changed.
    for (auto& c : b->children) Forget(c.get());
    b->children.clear();
    Restyle(b);
    BuildChildren(b);
    MarkUp(b);
}

bool RenderTree::SetHover(dom_node* n) {
    dom_node* old = m_cascade.Hover();
    if (old == n) return false;
    m_cascade.SetHover(n);
    if (!m_cascade.UsesHover() || !m_root) return false;
    // Elements whose hover state changed: the two ancestor chains below their common part.
    std::vector<dom_node*> a, b;
    for (dom_node* x = old; x; x = ParentOf(x))
        if (IsElement(x)) a.push_back(x);
    for (dom_node* x = n; x; x = ParentOf(x))
        if (IsElement(x)) b.push_back(x);
    while (!a.empty() && !b.empty() && a.back() == b.back()) a.pop_back(), b.pop_back();
    bool any = false;
    for (auto* chain : {&a, &b}) {
        if (chain->empty()) continue;
        if (m_cascade.HoverReachesDown()) {
            // Restyling the outermost changed element covers everything below it.
            Changed(chain->back(), Change::Attribute);
            any = true;
            continue;
        }
        // Outermost first: each element on its own, its subtree only when its style changed.
        for (auto it = chain->rbegin(); it != chain->rend(); ++it) {
            Box* box = BoxOf(*it);
            if (!box || !box->element) continue;
            Style before = box->style;
            Restyle(box);
            if (box->style == before) continue;
            Changed(*it, Change::Attribute);
            any = true;
            break;  // the rest of the chain lies below it and was restyled with it
        }
    }
    return any;
}

bool RenderTree::SetFocus(dom_node* n) {
    dom_node* old = m_cascade.Focus();
    if (old == n) return false;
    m_cascade.SetFocus(n);
    if (!m_cascade.UsesFocus() || !m_root) return false;
    if (old) Changed(old, Change::Attribute);
    if (n) Changed(n, Change::Attribute);
    return old || n;
}

void RenderTree::InvalidateLayout() {
    if (!m_root) return;
    std::vector<Box*> stack{m_root.get()};
    while (!stack.empty()) {
        Box* b = stack.back();
        stack.pop_back();
        b->needsLayout = true;
        b->maxContent = -1;
        b->minContent = -1;
        for (auto& c : b->children) stack.push_back(c.get());
    }
}

void RenderTree::Clear() {
    m_pending.clear();
    m_boxes.clear();
    m_root.reset();
    m_cascade.Reset("");
}

}  // namespace webview
