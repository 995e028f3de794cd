#include "ScriptHost.h"

#include <cstdlib>
#include <vector>

#include "View.h"

namespace webview {

dom_node* DocumentOf(WvView* v) {
    return v ? (dom_node*)v->doc.Dom() : nullptr;
}

namespace {

// The parser may hand over one run of text in several nodes (at character references): joined
// into one, as a script reading childNodes expects.
void JoinTexts(dom_node* root) {
    std::vector<NodeRef> stack{NodeRef::Share(root)};
    while (!stack.empty()) {
        NodeRef n = std::move(stack.back());
        stack.pop_back();
        NodeRef c = dom::FirstChild(n.get());
        while (c) {
            NodeRef next = dom::Next(c.get());
            if (dom::Type(c.get()) == DOM_TEXT_NODE) {
                std::string text;
                while (next && dom::Type(next.get()) == DOM_TEXT_NODE) {
                    text += dom::NodeValue(next.get());
                    NodeRef after = dom::Next(next.get());
                    dom_node* gone = nullptr;
                    dom_node_remove_child(n.get(), next.get(), &gone);
                    if (gone) dom_node_unref(gone);
                    next = std::move(after);
                }
                if (!text.empty()) dom::SetNodeValue(c.get(), dom::NodeValue(c.get()) + text);
            } else if (dom::IsElement(c.get())) {
                stack.push_back(c);
            }
            c = std::move(next);
        }
    }
}

}  // namespace

NodeRef ParseFragment(WvView* v, dom_node* context, const std::string& html) {
    if (!v) return NodeRef();
    NodeRef frag(v->doc.ParseFragment(html));
    if (frag) JoinTexts(frag.get());
    return frag;
}

namespace {
int Px(WvView* v, dom_node* n, const char* property) {
    return atoi(ComputedValue(v, n, property).c_str());
}
}  // namespace

bool ViewportBox(WvView* v, dom_node* n, BoxInfo& box) {
    RECT r;
    if (!v || !NodeBox(v, n, &r)) return false;
    OffsetRect(&r, -v->scrollX, -v->scrollY);
    box.border = r;
    box.padding = r;
    box.padding.left += Px(v, n, "border-left-width");
    box.padding.top += Px(v, n, "border-top-width");
    box.padding.right -= Px(v, n, "border-right-width");
    box.padding.bottom -= Px(v, n, "border-bottom-width");
    return true;
}

}  // namespace webview
