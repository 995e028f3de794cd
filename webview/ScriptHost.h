// What the script bindings ask of the document's owner (the view and its layout): the document,
// the notice that scripts changed a node (so only the touched boxes restyle and relayout, lazily
// at the next paint or geometry read), the fragment parse behind innerHTML, a node's boxes and
// its computed style. The bindings hold no layout state of their own.
#pragma once
#include <windows.h>

#include "LibDom.h"

#include <string>

#include "DomAccess.h"

struct WvView;

namespace webview {

enum class ChangeKind { Attribute, Style, Children, Text };

dom_node* DocumentOf(WvView* v);
void NodeChanged(WvView* v, dom_node* n, ChangeKind kind);
// A document fragment holding the parse of html as the content of context; null on failure.
NodeRef ParseFragment(WvView* v, dom_node* context, const std::string& html);

// Border and padding boxes in viewport coordinates (laid out first when needed).
struct BoxInfo {
    RECT border, padding;
};
bool NodeBox(WvView* v, dom_node* n, BoxInfo& box);
// A property's computed value as CSS text ("block", "12px", "rgb(0, 0, 0)").
std::string ComputedValue(WvView* v, dom_node* n, const std::string& property);

}  // namespace webview
