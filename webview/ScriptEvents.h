// The view's Win32 input as DOM events: mouse messages become mousedown/up/move/over/out and
// click at the node under the pointer, with client (viewport) and offset (the target's padding
// box) positions; key messages become keydown/up/press at the document's body with key and
// keyCode. The dispatch itself (capture, target, bubble) is the script side's
// (ScriptEventsPrelude.inc).
#pragma once
#include <string>

#include "DomApi.h"

struct WvView;

namespace webview {

enum EventResult { EventHandled = 1, EventDefaultPrevented = 2 };

// button: 0 left, 1 middle, 2 right; mk: the message's MK_ bits; related: the node left or
// entered (mouseover/mouseout). Returns EventResult bits.
int DispatchMouse(WvView* v, dom_node* target, const char* type, int x, int y, int button, unsigned mk,
                  int detail = 0, dom_node* related = nullptr);
// code: the virtual key (keydown, keyup) or the character (keypress).
int DispatchKey(WvView* v, const char* type, unsigned code, bool repeat);

// The key attribute of a virtual key: "a", "Enter", "ArrowUp"...
std::string KeyName(unsigned vk, bool shift);

}  // namespace webview
