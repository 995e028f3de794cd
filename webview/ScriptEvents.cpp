#include "ScriptEvents.h"

#include <windows.h>

#include "Forms.h"
#include "Script.h"
#include "ScriptHost.h"
#include "Text.h"
#include "View.h"

namespace webview {

namespace {

unsigned Modifiers() {
    unsigned m = 0;
    if (GetKeyState(VK_CONTROL) < 0) m |= 1;
    if (GetKeyState(VK_SHIFT) < 0) m |= 2;
    if (GetKeyState(VK_MENU) < 0) m |= 4;
    return m;
}

}  // namespace

std::string KeyName(unsigned vk, bool shift) {
    if (vk >= 'A' && vk <= 'Z') return std::string(1, (char)(shift ? vk : vk - 'A' + 'a'));
    if (vk >= '0' && vk <= '9') return std::string(1, (char)vk);
    if (vk >= VK_F1 && vk <= VK_F12) return "F" + std::to_string(vk - VK_F1 + 1);
    switch (vk) {
    case VK_RETURN: return "Enter";
    case VK_ESCAPE: return "Escape";
    case VK_TAB: return "Tab";
    case VK_BACK: return "Backspace";
    case VK_DELETE: return "Delete";
    case VK_INSERT: return "Insert";
    case VK_SPACE: return " ";
    case VK_LEFT: return "ArrowLeft";
    case VK_RIGHT: return "ArrowRight";
    case VK_UP: return "ArrowUp";
    case VK_DOWN: return "ArrowDown";
    case VK_HOME: return "Home";
    case VK_END: return "End";
    case VK_PRIOR: return "PageUp";
    case VK_NEXT: return "PageDown";
    case VK_SHIFT: return "Shift";
    case VK_CONTROL: return "Control";
    case VK_MENU: return "Alt";
    default: return "Unidentified";
    }
}

int DispatchMouse(WvView* v, dom_node* target, const char* type, int x, int y, int button, unsigned mk, int detail,
                  dom_node* related) {
    if (!v || !v->script || !target) return 0;
    Script::MouseInit m;
    m.clientX = x;
    m.clientY = y;
    BoxInfo box;
    if (ViewportBox(v, target, box)) {
        m.offsetX = x - box.padding.left;
        m.offsetY = y - box.padding.top;
    }
    m.button = button;
    m.buttons = ((mk & MK_LBUTTON) ? 1 : 0) | ((mk & MK_RBUTTON) ? 2 : 0) | ((mk & MK_MBUTTON) ? 4 : 0);
    m.detail = detail;
    m.flags = mk;
    m.related = related;
    return v->script->Mouse(target, type, m);
}

int DispatchKey(WvView* v, const char* type, unsigned code, bool repeat) {
    if (!v || !v->script) return 0;
    Script::KeyInit k;
    k.modifiers = Modifiers();
    k.repeat = repeat;
    if (std::string(type) == "keypress") {
        k.charCode = code;
        k.key = code == '\r' ? "Enter" : WideToUtf8(std::wstring(1, (wchar_t)code));
    } else {
        k.keyCode = code;
        k.key = KeyName(code, (k.modifiers & 2) != 0);
    }
    dom_node* doc = v->script->DocumentNode();
    if (dom_node* focus = FocusedNode(v)) return v->script->Key(focus, type, k);
    NodeRef body = dom::HtmlChild(doc, "body");
    return v->script->Key(body ? body.get() : doc, type, k);
}

}  // namespace webview
