// The view's scrolling: the page's bars (the page is laid out narrower by a bar's width when it
// is taller than the view), scrolling by the wheel, keys and the bars' arrows, track and thumb,
// the boxes that clip their overflow scrolled by the wheel and by their own bars, what scripts
// read and set of it, the mouse cursor, and repainting only what changed: a scroll copies the
// picture and paints the band scrolled in, a box scrolled or changed repaints its own area.
//
// The page's scroll is WvView::scrollX/scrollY; the root box's scroll mirrors it for painting
// and hit testing (ScrollOffset.h). PageScroll is a member of the view; it refers to DOM nodes
// only by address, never dereferencing one whose box is gone.
#pragma once
#include <windows.h>

#include <vector>

#include "DomApi.h"
#include "ScrollBar.h"

struct WvView;

namespace webview {

struct Box;

// Cursor kinds the host asks for (wkeGetCursorInfoType).
enum CursorKind { CursorArrow = 0, CursorHand = 2, CursorIBeam = 3 };

// What a changed node's surroundings looked like before the change: the list owners from the
// nearest one up to the root, with the geometry the last layout gave them.
struct ChangeRecord {
    struct Owner {
        dom_node* node;    // compared only
        const Box* box;    // compared only
        POINT origin;
        RECT extent;
        int height, used;
    };
    std::vector<Owner> chain;
    RECT before{};  // the nearest owner's extent, document coordinates
};

struct PageScroll {
    bool barV = false, barH = false;   // the page's bars are shown
    int docWidth = 0, docHeight = 0;   // the page's scrollable size
    // A drag of a thumb, or an arrow or the track held down.
    bool dragging = false;
    bool dragVertical = true;
    dom_node* dragNode = nullptr;      // the box whose bar it is; null: the page's
    int dragGrab = 0;                  // where in the thumb it was taken
    // What the picture shows: the scroll it was painted at; painted false until a full paint.
    bool painted = false;
    POINT paintedAt{0, 0};
    bool barsPainted[2] = {false, false};
    // Parts to paint again besides a scroll (view coordinates), and what the last repaint changed.
    bool damaged = false;
    RECT damage{};
    RECT lastPaint{};
    int cursor = CursorArrow;
    // The page's scroll the last scroll event told the page's script (firedFor) of.
    const void* firedFor = nullptr;
    POINT firedAt{0, 0};
    // Changes since the last layout whose reach is known; untracked: one was not.
    std::vector<ChangeRecord> changes;
    bool untracked = false;
    size_t laidOutBefore = 0;
    uint32_t canvasBefore = 0;
};

// Lays the page out at the view's width less the vertical bar when it needs one, and keeps the
// scroll within the page.
void LayOutPage(WvView* v);
// The part of the view the page shows (without its bars).
int ClientWidth(const WvView* v);
int ClientHeight(const WvView* v);
bool OnPageBar(const WvView* v, int x, int y);
// Copies the page's scroll into the root box, clamped to the page.
void SyncPageScroll(WvView* v);

// By the user (keys, wheel): not along an axis whose overflow the page hides.
bool ScrollPage(WvView* v, int dx, int dy);
// To a place (scripts, the bars), kept within the page.
bool ScrollPageTo(WvView* v, int x, int y);
// The wheel over (x, y): a clipping box under it first, the page once the box is at its end.
bool WheelScroll(WvView* v, int x, int y, int delta, unsigned flags);
// Presses, drags and releases on a bar; true when a bar took the message.
bool ScrollBarMouse(WvView* v, unsigned message, int x, int y, unsigned flags);
// The cursor for the mouse at (x, y) over hit (may be null).
void UpdateCursor(WvView* v, int x, int y, dom_node* hit);

// An element's scroll as scripts see it: left, top, scrollWidth, scrollHeight, clientWidth,
// clientHeight. The document element and the body give the page's. False without a box.
bool ElementScroll(WvView* v, dom_node* n, int out[6]);
// Sets an element's scroll (the page's for the document element and the body); a negative
// coordinate keeps its value.
void SetElementScroll(WvView* v, dom_node* n, int left, int top);
void ScrollIntoView(WvView* v, dom_node* n);

// Before the render tree takes a change under node: notes what it may touch. False when that
// is not known (the whole view is painted again).
bool NoteChange(WvView* v, dom_node* node);
// Moves :hover to n (RenderTree::SetHover), noting the elements whose state changes; true when
// boxes were restyled (the page is laid out again before the next repaint).
bool MoveHover(WvView* v, dom_node* n);
// After the layout: adds what the noted changes touched to the damage; false when that is not
// known, or a change reached beyond what was noted (the whole view is painted again).
bool TakeChangeDamage(WvView* v);
// Tells the page's script, by a scroll event at the window, that the page was scrolled since it
// was last told (before a repaint, never inside a script). False when the view went meanwhile.
bool FireScrollEvent(WvView* v);
// A changed part of the page, document coordinates: painted again on the next repaint.
void AddDamage(WvView* v, RECT documentRect);
// Paints what changed since the last repaint; false when nothing did.
bool RepaintView(WvView* v);

}  // namespace webview
