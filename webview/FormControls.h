// Form controls the view draws and edits itself: input, select and textarea are replaced,
// atomic inline boxes whose content size comes from here; the layout gives them a Control paint
// item and the painter calls back here to draw them.
#pragma once
#include <windows.h>

namespace webview {

struct Box;
class FontCache;

// Whether b is drawn as a form control (not hidden inputs).
bool IsFormControl(const Box* b);
// Its content-box size at its style's font.
SIZE FormControlSize(const Box* b, HDC dc, FontCache& fonts);
// Draws it over its border box rc.
void PaintFormControl(HDC dc, const RECT& rc, const Box* b);

}  // namespace webview
