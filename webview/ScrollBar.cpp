#include "ScrollBar.h"

#include <algorithm>

#include "RenderTree.h"
#include "ScrollOffset.h"

namespace webview {

int ScrollBar::TrackStart() const {
    int arrows = std::min(kBarSize, Length() / 2);
    return arrows;
}

int ScrollBar::TrackLength() const {
    return std::max(0, Length() - 2 * TrackStart());
}

RECT ScrollBar::ArrowRect(bool forward) const {
    int a = TrackStart();
    RECT r = rc;
    if (vertical) {
        if (forward) r.top = r.bottom - a;
        else r.bottom = r.top + a;
    } else {
        if (forward) r.left = r.right - a;
        else r.right = r.left + a;
    }
    return r;
}

RECT ScrollBar::ThumbRect() const {
    int track = TrackLength();
    if (content <= 0 || visible >= content || track < 8) return RECT{};
    int len = std::max(8, (int)((long long)track * visible / content));
    len = std::min(len, track);
    int room = track - len;
    int at = MaxPos() ? (int)((long long)room * std::min(pos, MaxPos()) / MaxPos()) : 0;
    RECT r = rc;
    if (vertical) {
        r.top = rc.top + TrackStart() + at;
        r.bottom = r.top + len;
    } else {
        r.left = rc.left + TrackStart() + at;
        r.right = r.left + len;
    }
    return r;
}

ScrollBar::Part ScrollBar::PartAt(POINT pt) const {
    if (!PtInRect(&rc, pt)) return None;
    RECT back = ArrowRect(false), forward = ArrowRect(true), thumb = ThumbRect();
    if (PtInRect(&back, pt)) return ArrowBack;
    if (PtInRect(&forward, pt)) return ArrowForward;
    if (IsRectEmpty(&thumb)) return None;
    if (PtInRect(&thumb, pt)) return Thumb;
    bool before = vertical ? pt.y < thumb.top : pt.x < thumb.left;
    return before ? TrackBack : TrackForward;
}

int ScrollBar::PosForThumb(int offset) const {
    RECT t = ThumbRect();
    int len = vertical ? t.bottom - t.top : t.right - t.left;
    int room = TrackLength() - len;
    if (room <= 0) return 0;
    offset = std::max(0, std::min(room, offset));
    return (int)(((long long)offset * MaxPos() + room / 2) / room);
}

void PaintScrollBar(HDC dc, const ScrollBar& bar) {
    if (IsRectEmpty(&bar.rc)) return;
    // The classic track: a fine check of the button face and white.
    static const WORD kCheck[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, kCheck);
    HBRUSH track = CreatePatternBrush(pattern);
    COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_BTNFACE));
    COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    FillRect(dc, &bar.rc, track);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
    DeleteObject(track);
    DeleteObject(pattern);
    bool active = bar.MaxPos() > 0;
    RECT back = bar.ArrowRect(false), forward = bar.ArrowRect(true);
    UINT inactive = active ? 0 : DFCS_INACTIVE;
    DrawFrameControl(dc, &back, DFC_SCROLL, (bar.vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT) | inactive);
    DrawFrameControl(dc, &forward, DFC_SCROLL, (bar.vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT) | inactive);
    RECT thumb = bar.ThumbRect();
    if (!IsRectEmpty(&thumb)) {
        FillRect(dc, &thumb, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
    }
}

SIZE ScrollSize(const Box* b) {
    RECT pad = PaddingBox(b);
    SIZE s = b->contentSize;
    if (s.cx <= 0 && s.cy <= 0) {
        // Without a size from the layout: what the box's list draws beyond its own background.
        RECT u{pad.left, pad.top, pad.left, pad.top};
        for (const PaintItem& it : b->items) {
            if (IsOwnItem(b, it)) continue;
            RECT r = it.rc;
            if (it.kind == PaintItem::Child) {
                r = it.box->extent;
                OffsetRect(&r, it.box->origin.x, it.box->origin.y);
            }
            UnionRect(&u, &u, &r);
        }
        s.cx = u.right - pad.left;
        s.cy = u.bottom - pad.top;
    }
    s.cx = std::max<LONG>(s.cx, pad.right - pad.left);
    s.cy = std::max<LONG>(s.cy, pad.bottom - pad.top);
    return s;
}

BoxBars BarsOf(const Box* b, int x, int y) {
    BoxBars bars;
    if (!Clips(b) || !b->ownsList) return bars;
    RECT pad = PaddingBox(b);
    OffsetRect(&pad, x, y);
    SIZE content = ScrollSize(b);
    int w = pad.right - pad.left, h = pad.bottom - pad.top;
    const Style& s = b->style;
    auto wants = [](Overflow o, int content, int room) {
        return o == Overflow::Scroll || (o == Overflow::Auto && content > room);
    };
    // The content is laid out at the padding box's width: a vertical bar covers its right edge
    // rather than making it overflow sideways.
    bars.vertical = wants(s.overflowY, content.cy, h);
    bars.horizontal = wants(s.overflowX, content.cx, w);
    if (bars.horizontal && !bars.vertical) bars.vertical = wants(s.overflowY, content.cy, h - kBarSize);
    int cw = std::max(0, w - (bars.vertical ? kBarSize : 0)), ch = std::max(0, h - (bars.horizontal ? kBarSize : 0));
    bars.client = SIZE{cw, ch};
    if (bars.vertical) {
        bars.v.vertical = true;
        bars.v.rc = RECT{std::max(pad.left, pad.right - kBarSize), pad.top, pad.right, pad.top + ch};
        bars.v.content = content.cy;
        bars.v.visible = ch;
        bars.v.pos = b->scroll.y;
    }
    if (bars.horizontal) {
        bars.h.vertical = false;
        bars.h.rc = RECT{pad.left, std::max(pad.top, pad.bottom - kBarSize), pad.left + cw, pad.bottom};
        bars.h.content = content.cx;
        bars.h.visible = cw;
        bars.h.pos = b->scroll.x;
    }
    if (bars.vertical && bars.horizontal) bars.corner = RECT{pad.left + cw, pad.top + ch, pad.right, pad.bottom};
    return bars;
}

POINT MaxScroll(const Box* b) {
    if (!Clips(b) || !b->ownsList) return POINT{0, 0};
    BoxBars bars = BarsOf(b, 0, 0);
    SIZE content = ScrollSize(b);
    RECT pad = PaddingBox(b);
    int across = bars.horizontal ? bars.client.cx : pad.right - pad.left;
    return POINT{std::max<LONG>(0, content.cx - across), std::max<LONG>(0, content.cy - bars.client.cy)};
}

void PaintBoxBars(HDC dc, const Box* b, int x, int y) {
    if (!Clips(b)) return;
    BoxBars bars = BarsOf(b, x, y);
    if (bars.vertical) PaintScrollBar(dc, bars.v);
    if (bars.horizontal) PaintScrollBar(dc, bars.h);
    if (!IsRectEmpty(&bars.corner)) FillRect(dc, &bars.corner, GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace webview
