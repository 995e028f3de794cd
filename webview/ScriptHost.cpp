#include "ScriptHost.h"

#include <cstdlib>

#include "View.h"

namespace webview {

dom_node* DocumentOf(WvView* v) {
    return v ? (dom_node*)v->doc.Dom() : nullptr;
}

NodeRef ParseFragment(WvView* v, dom_node* context, const std::string& html) {
    if (!v) return NodeRef();
    NodeRef frag(v->doc.ParseFragment(html));
    // The parser may hand over one run of text in several nodes (at entities): one, as scripts expect.
    if (frag) dom_node_normalize(frag.get());
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
    OffsetRect(&r, 0, -v->scrollY);
    box.border = r;
    box.padding = r;
    box.padding.left += Px(v, n, "border-left-width");
    box.padding.top += Px(v, n, "border-top-width");
    box.padding.right -= Px(v, n, "border-right-width");
    box.padding.bottom -= Px(v, n, "border-bottom-width");
    return true;
}

}  // namespace webview
