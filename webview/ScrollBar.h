// Scroll bars as the view draws them, in the Windows classic look: an arrow button at each end,
// the track between them and a thumb whose length is the visible share of the content. Used for
// the page's own bars (ViewScroll.h) and for the bars of boxes that clip their overflow, which
// are drawn over the right and bottom edges of their padding box.
#pragma once
#include <windows.h>

namespace webview {

struct Box;

const int kBarSize = 17;

struct ScrollBar {
    enum Part { None, ArrowBack, ArrowForward, TrackBack, TrackForward, Thumb };
    bool vertical = true;
    RECT rc{};        // the whole bar
    int content = 0;  // length of what scrolls
    int visible = 0;  // the part of it shown
    int pos = 0;      // how far it is scrolled

    int MaxPos() const { return content > visible ? content - visible : 0; }
    int Length() const { return vertical ? rc.bottom - rc.top : rc.right - rc.left; }
    RECT ArrowRect(bool forward) const;
    RECT ThumbRect() const;  // empty when the bar is too short for one
    Part PartAt(POINT pt) const;
    // The scroll position that puts the thumb's leading edge at `offset` pixels into the track.
    int PosForThumb(int offset) const;
    // Where the track begins along the bar, and its length.
    int TrackStart() const;
    int TrackLength() const;
};

void PaintScrollBar(HDC dc, const ScrollBar& bar);

// The bars of a box that clips its overflow, with its border box's top left at (x, y).
struct BoxBars {
    bool vertical = false, horizontal = false;
    ScrollBar v, h;
    RECT corner{};  // between two bars
    SIZE client{};  // the padding box less the bars: what shows of the content
};
BoxBars BarsOf(const Box* b, int x, int y);
// How far b's content reaches from its padding box's top left (its scrollWidth and scrollHeight,
// at least the padding box).
SIZE ScrollSize(const Box* b);
// The largest scroll offsets b's content allows.
POINT MaxScroll(const Box* b);
// Draws b's bars when it has any; painting calls this after b's content.
void PaintBoxBars(HDC dc, const Box* b, int x, int y);

}  // namespace webview
