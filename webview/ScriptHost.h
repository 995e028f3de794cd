// What the script bindings need of the document's owner beyond View.h's NodeChanged, NodeBox,
// ComputedValue and NodeAt: the document itself, a fragment parse whose nodes the bindings place
// themselves (innerHTML appends), and a node's border and padding boxes in viewport coordinates.
#pragma once
#include <windows.h>

#include <string>

#include "DomAccess.h"
#include "DomApi.h"

struct WvView;

namespace webview {

dom_node* DocumentOf(WvView* v);
// A document fragment holding the parse of html as the content of an element; null on failure.
NodeRef ParseFragment(WvView* v, dom_node* context, const std::string& html);

struct BoxInfo {
    RECT border, padding;
};
// Lays out first when needed; false when the node has no box.
bool ViewportBox(WvView* v, dom_node* n, BoxInfo& box);

}  // namespace webview
