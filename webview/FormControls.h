// Form controls the view draws itself: input, select and textarea are replaced, atomic inline boxes
// whose content size comes from here; the layout gives them a Control paint item and the painter
// calls back here to draw them from the control's live state (Forms.h). The drop-down list of an
// open select is drawn here too, over the page. Fonts are this file's own (the same faces the
// layout measures with), kept for the process.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace webview {

struct Box;
class FontCache;

// Whether b is drawn as a form control (not hidden inputs).
bool IsFormControl(const Box* b);
// Its content-box size at its style's font.
SIZE FormControlSize(const Box* b, HDC dc, FontCache& fonts);
// Its border box's size: the page's width and height when set (box-sizing applied), else the content
// size with padding and borders; containing: the containing block's width.
SIZE FormControlBorderSize(const Box* b, int containing, HDC dc, FontCache& fonts);
// Draws a control that is block-level (display: block, a float) into its own lists as Block does
// (margin box's top left at 0, 0); returns its margin box's height. It keeps its own width; the
// layout remembers what it laid out.
int LayOutFormControlBlock(Box* b, int avail, HDC dc, FontCache& fonts, int* usedWidth);
// Its margin box's width, for shrink-to-fit measurement of the content around it.
int FormControlOuterWidth(const Box* b, HDC dc, FontCache& fonts);
// Draws it over its border box rc.
void PaintFormControl(HDC dc, const RECT& rc, const Box* b);
// The index in a text control's value nearest the point (x, y), its border box being rc (the same
// coordinates): where a click puts the caret.
size_t TextIndexAt(HDC dc, const RECT& rc, const Box* b, int x, int y);
// Where the caret goes from index in a textarea laid out in rc when it moves a line up (dir -1) or
// down (dir 1): the nearest place below the same x on the wrapped line above or below.
size_t TextareaLineMove(HDC dc, const RECT& rc, const Box* b, size_t index, int dir);
// The row of a list box (a select with size or multiple) under y, its border box being rc; -1 when
// none.
int ListRowAt(HDC dc, const RECT& rc, const Box* b, int y);
// A select's list of options in rc (view coordinates), rows of rowHeight; hover is highlighted.
void PaintOptionList(HDC dc, const RECT& rc, const Box* select, const std::vector<std::wstring>& labels, int hover,
                     int rowHeight);

}  // namespace webview
