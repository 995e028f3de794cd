#include "FormControls.h"

#include "RenderTree.h"

namespace webview {

bool IsFormControl(const Box*) {
    return false;
}

SIZE FormControlSize(const Box*, HDC, FontCache&) {
    return SIZE{0, 0};
}

void PaintFormControl(HDC, const RECT&, const Box*) {}

}  // namespace webview
