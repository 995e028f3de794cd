// What a laid-out box draws and what mouse input is tested against: paint items and hit boxes,
// kept per block in that block's own coordinates (see Box in RenderTree.h). A Child entry stands
// for a laid-out child block, drawn (and hit) where its origin places it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "Css.h"
#include "DomApi.h"

namespace webview {

struct Box;

struct PaintItem {
    // Decor: a box's background and borders, drawn from its style over rc, its border box.
    // Control: a form control the view draws itself (FormControls.h), rc its border box.
    enum Kind { Fill, Frame, Text, Picture, Child, Decor, Control } kind = Fill;
    RECT rc{};
    uint32_t color = 0;      // fill or text colour
    uint32_t background = 0; // text only: the background of its inline element
    Edges border;            // frame only
    std::wstring text;
    HFONT font = nullptr;
    int image = -1;          // picture only: the document's image
    Box* box = nullptr;      // child, decor, control: borrowed from the render tree; text: the
                             // element whose style it is drawn with (may be null)
    // Child entries leave rc empty, or (table cells) set it to where the child's extent lies in
    // the list's coordinates, so that painting passes entries out of sight without their boxes.
};

struct HitBox {
    RECT rc;
    dom_node* node;          // borrowed from the render tree
    Box* box = nullptr;      // a child block's hit boxes, in its place
};

}  // namespace webview
