#include "ViewScroll.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "DomAccess.h"
#include "Forms.h"
#include "Paint.h"
#include "Script.h"
#include "ScrollOffset.h"
#include "Text.h"
#include "View.h"

namespace webview {

namespace {

const int kLineStep = 40;  // an arrow or an arrow key
const int kWheelStep = 60; // a notch of the wheel

bool TooSmallForBars(const WvView* v) {
    return v->width <= 2 * kBarSize || v->height <= 2 * kBarSize;
}

void MeasureDocument(WvView* v) {
    PageScroll& s = v->scrolling;
    const Box* root = v->render.Root();
    int w = v->page.width, h = v->page.height;
    if (root && !root->needsLayout && root->ownsList) {
        // What the page draws, but for fixed boxes: they stay in the viewport and never make the
        // page scroll (else a box at the viewport's bottom would call for the bar that moves it).
        RECT all = root->border;
        for (const PaintItem& it : root->items) {
            RECT r = it.rc;
            if (it.kind == PaintItem::Child) {
                if (!it.box || it.box->needsLayout || IsFixedChild(root, it.box)) continue;
                r = it.box->extent;
                OffsetRect(&r, it.box->origin.x, it.box->origin.y);
            }
            UnionRect(&all, &all, &r);
        }
        w = std::max<int>(w, all.right);
        h = std::max<int>(h, all.bottom);
    }
    s.docWidth = w;
    s.docHeight = h;
}

// A box's border-box top left in view coordinates.
POINT ViewOrigin(const WvView* v, const Box* b) {
    POINT o = DocumentOrigin(b), sh = ScrollShift(b);
    return POINT{o.x + sh.x - v->scrollX, o.y + sh.y - v->scrollY};
}

ScrollBar PageBar(const WvView* v, bool vertical) {
    const PageScroll& s = v->scrolling;
    int cw = ClientWidth(v), ch = ClientHeight(v);
    ScrollBar bar;
    bar.vertical = vertical;
    if (vertical) {
        if (s.barV) bar.rc = RECT{cw, 0, v->width, ch};
        bar.content = s.docHeight;
        bar.visible = ch;
        bar.pos = v->scrollY;
    } else {
        if (s.barH) bar.rc = RECT{0, ch, cw, v->height};
        bar.content = s.docWidth;
        bar.visible = cw;
        bar.pos = v->scrollX;
    }
    return bar;
}

bool IsScroller(const Box* b) {
    return b && b->ownsList && !b->needsLayout && Clips(b);
}

Box* BoxUnder(WvView* v, dom_node* hit) {
    Box* b = nullptr;
    for (dom_node* n = hit; n && !b; n = ParentOf(n)) b = v->render.BoxOf(n);
    return b;
}

// Where a clipping box's content area lies in the document, for repainting it.
RECT DocumentPadding(const WvView* v, const Box* b) {
    RECT r = PaddingBox(b);
    POINT o = ViewOrigin(v, b);
    OffsetRect(&r, o.x + v->scrollX, o.y + v->scrollY);
    return r;
}

bool SetBoxScroll(WvView* v, Box* b, int x, int y) {
    POINT max = MaxScroll(b);
    x = std::max(0, std::min<int>(x, max.x));
    y = std::max(0, std::min<int>(y, max.y));
    if (x == b->scroll.x && y == b->scroll.y) return false;
    b->scroll = POINT{x, y};
    AddDamage(v, DocumentPadding(v, b));
    return true;
}

// The bar under pt: the page's, or one of a clipping box's under it (node: that box's). hit: what
// hit testing found at pt, when the caller knows.
bool FindBar(WvView* v, POINT pt, ScrollBar* bar, dom_node** node, dom_node* const* hit = nullptr) {
    *node = nullptr;
    for (bool vertical : {true, false}) {
        ScrollBar b = PageBar(v, vertical);
        if (PtInRect(&b.rc, pt)) {
            *bar = b;
            return true;
        }
    }
    SyncPageScroll(v);
    for (Box* b = BoxUnder(v, hit ? *hit : HitAt(v->render.Root(), pt)); b; b = b->parent) {
        if (!IsScroller(b)) continue;
        POINT o = ViewOrigin(v, b);
        BoxBars bars = BarsOf(b, o.x, o.y);
        for (const ScrollBar* sb : {&bars.v, &bars.h}) {
            if ((sb == &bars.v ? bars.vertical : bars.horizontal) && PtInRect(&sb->rc, pt)) {
                *bar = *sb;
                *node = b->node;
                return true;
            }
        }
        if (PtInRect(&bars.corner, pt)) {
            *bar = ScrollBar();
            *node = b->node;
            return true;
        }
    }
    return false;
}

// The bar a drag holds now (the layout may have moved it); false when its box is gone.
bool DraggedBar(WvView* v, ScrollBar* bar, Box** box) {
    PageScroll& s = v->scrolling;
    *box = nullptr;
    if (!s.dragNode) {
        *bar = PageBar(v, s.dragVertical);
        return true;
    }
    Box* b = v->render.BoxOf(s.dragNode);
    if (!IsScroller(b)) return false;
    POINT o = ViewOrigin(v, b);
    BoxBars bars = BarsOf(b, o.x, o.y);
    if (!(s.dragVertical ? bars.vertical : bars.horizontal)) return false;
    *bar = s.dragVertical ? bars.v : bars.h;
    *box = b;
    return true;
}

bool MoveBar(WvView* v, Box* box, bool vertical, int pos) {
    if (!box) return vertical ? ScrollPageTo(v, v->scrollX, pos) : ScrollPageTo(v, pos, v->scrollY);
    return vertical ? SetBoxScroll(v, box, box->scroll.x, pos) : SetBoxScroll(v, box, pos, box->scroll.y);
}

bool TextEntry(const Box* b) {
    if (b->tag == "textarea") return true;
    if (b->tag != "input") return false;
    std::string type = ToLower(Trim(Attr(b->node, "type")));
    return type.empty() || type == "text" || type == "password" || type == "number" || type == "email" ||
           type == "search" || type == "url" || type == "tel";
}

void PaintArea(WvView* v, const RECT& r) {
    HDC dc = v->memDc;
    PaintPage(dc, v->render.Root(), v->page, r, v->doc.Images());
    // The open drop-down list lies over the page.
    int saved = SaveDC(dc);
    IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    PaintFormPopup(v, dc);
    RestoreDC(dc, saved);
}

RECT PaintPageBars(WvView* v) {
    const PageScroll& s = v->scrolling;
    RECT all{};
    for (bool vertical : {true, false}) {
        if (!(vertical ? s.barV : s.barH)) continue;
        ScrollBar bar = PageBar(v, vertical);
        PaintScrollBar(v->memDc, bar);
        UnionRect(&all, &all, &bar.rc);
    }
    if (s.barV && s.barH) {
        RECT corner{ClientWidth(v), ClientHeight(v), v->width, v->height};
        FillRect(v->memDc, &corner, GetSysColorBrush(COLOR_BTNFACE));
        UnionRect(&all, &all, &corner);
    }
    return all;
}

}  // namespace

int ClientWidth(const WvView* v) {
    return std::max(0, v->width - (v->scrolling.barV ? kBarSize : 0));
}

int ClientHeight(const WvView* v) {
    return std::max(0, v->height - (v->scrolling.barH ? kBarSize : 0));
}

bool OnPageBar(const WvView* v, int x, int y) {
    POINT pt{x, y};
    for (bool vertical : {true, false}) {
        ScrollBar bar = PageBar(v, vertical);
        if (PtInRect(&bar.rc, pt)) return true;
    }
    return false;
}

void LayOutPage(WvView* v) {
    PageScroll& s = v->scrolling;
    if (TooSmallForBars(v)) s.barV = s.barH = false;
    // Laid out with the bars of the last pass, then again while the page calls for other bars
    // (each bar narrows the room the page is laid out in, which may call for the other).
    for (int pass = 0;; ++pass) {
        LayOut(v->render, v->doc, ClientWidth(v), v->memDc, v->fonts, &v->page, v->page, ClientHeight(v));
        MeasureDocument(v);
        if (TooSmallForBars(v) || pass == 3) break;
        const Box* root = v->render.Root();
        Overflow ox = root ? ViewportStyle(root).overflowX : Overflow::Visible;
        Overflow oy = root ? ViewportStyle(root).overflowY : Overflow::Visible;
        auto wants = [](Overflow o, int content, int room) {
            return o == Overflow::Scroll || (o != Overflow::Hidden && content > room);
        };
        bool needV = wants(oy, s.docHeight, ClientHeight(v));
        bool needH = wants(ox, s.docWidth, ClientWidth(v));
        // A page that needs the bar only at the narrower width keeps it rather than flip forever.
        if (pass > 1 && s.barV && oy != Overflow::Hidden) needV = true;
        if (needV == s.barV && needH == s.barH) break;
        s.barV = needV;
        s.barH = needH;
    }
    SyncPageScroll(v);
}

void SyncPageScroll(WvView* v) {
    const PageScroll& s = v->scrolling;
    v->scrollX = std::max(0, std::min(v->scrollX, s.docWidth - ClientWidth(v)));
    v->scrollY = std::max(0, std::min(v->scrollY, s.docHeight - ClientHeight(v)));
    if (Box* root = v->render.Root()) root->scroll = POINT{v->scrollX, v->scrollY};
}

bool ScrollPageTo(WvView* v, int x, int y) {
    int oldX = v->scrollX, oldY = v->scrollY;
    v->scrollX = x;
    v->scrollY = y;
    SyncPageScroll(v);
    return v->scrollX != oldX || v->scrollY != oldY;
}

bool ScrollPage(WvView* v, int dx, int dy) {
    // A page whose overflow is hidden scrolls only when its scripts say so.
    if (const Box* root = v->render.Root()) {
        const Style& s = ViewportStyle(root);
        if (s.overflowX == Overflow::Hidden) dx = 0;
        if (s.overflowY == Overflow::Hidden) dy = 0;
    }
    return ScrollPageTo(v, v->scrollX + dx, v->scrollY + dy);
}

bool WheelScroll(WvView* v, int x, int y, int delta, unsigned flags) {
    int step = -delta * kWheelStep / 120;
    bool horizontal = (flags & MK_SHIFT) != 0;
    SyncPageScroll(v);
    POINT pt{x, y};
    if (!OnPageBar(v, x, y)) {
        for (Box* b = BoxUnder(v, HitAt(v->render.Root(), pt)); b; b = b->parent) {
            if (!IsScroller(b)) continue;
            Overflow o = horizontal ? b->style.overflowX : b->style.overflowY;
            if (o != Overflow::Auto && o != Overflow::Scroll) continue;
            if (horizontal ? SetBoxScroll(v, b, b->scroll.x + step, b->scroll.y)
                           : SetBoxScroll(v, b, b->scroll.x, b->scroll.y + step))
                return true;
        }
    }
    if (horizontal) return v->scrolling.barH && ScrollPage(v, step, 0);
    return ScrollPage(v, 0, step);
}

bool ScrollBarMouse(WvView* v, unsigned message, int x, int y, unsigned flags) {
    PageScroll& s = v->scrolling;
    POINT pt{x, y};
    if (s.dragging) {
        if (message == WM_LBUTTONUP || !(flags & MK_LBUTTON)) {
            s.dragging = false;
            return message == WM_LBUTTONUP;
        }
        if (message != WM_MOUSEMOVE) return false;
        ScrollBar bar;
        Box* box = nullptr;
        if (s.dragGrab < 0) return true;  // an arrow or the track held: no dragging
        if (!DraggedBar(v, &bar, &box)) {
            s.dragging = false;
            return true;
        }
        int along = s.dragVertical ? y - bar.rc.top : x - bar.rc.left;
        MoveBar(v, box, s.dragVertical, bar.PosForThumb(along - bar.TrackStart() - s.dragGrab));
        return true;
    }
    if (message != WM_LBUTTONDOWN && message != WM_LBUTTONDBLCLK) return false;
    ScrollBar bar;
    dom_node* node = nullptr;
    if (!FindBar(v, pt, &bar, &node)) return false;
    s.dragging = true;
    s.dragNode = node;
    s.dragVertical = bar.vertical;
    s.dragGrab = -1;
    Box* box = node ? v->render.BoxOf(node) : nullptr;
    int page = std::max(kLineStep, bar.visible - kLineStep);
    switch (bar.PartAt(pt)) {
    case ScrollBar::ArrowBack: MoveBar(v, box, bar.vertical, bar.pos - kLineStep); break;
    case ScrollBar::ArrowForward: MoveBar(v, box, bar.vertical, bar.pos + kLineStep); break;
    case ScrollBar::TrackBack: MoveBar(v, box, bar.vertical, bar.pos - page); break;
    case ScrollBar::TrackForward: MoveBar(v, box, bar.vertical, bar.pos + page); break;
    case ScrollBar::Thumb: {
        RECT t = bar.ThumbRect();
        s.dragGrab = bar.vertical ? y - t.top : x - t.left;
        break;
    }
    case ScrollBar::None: break;
    }
    s.cursor = CursorArrow;
    return true;
}

void UpdateCursor(WvView* v, int x, int y, dom_node* hit) {
    PageScroll& s = v->scrolling;
    s.cursor = CursorArrow;
    ScrollBar bar;
    dom_node* barNode = nullptr;
    if (s.dragging || FindBar(v, POINT{x, y}, &bar, &barNode, &hit)) return;
    Box* b = BoxUnder(v, hit);
    while (b && !b->element) b = b->parent;
    if (!b) return;
    switch (b->style.cursor) {
    case Cursor::Pointer: s.cursor = CursorHand; return;
    case Cursor::Text: s.cursor = CursorIBeam; return;
    case Cursor::Auto: break;
    default: return;
    }
    if (TextEntry(b)) {
        s.cursor = CursorIBeam;
        return;
    }
    for (dom_node* n = b->node; n; n = ParentOf(n)) {
        std::string href;
        if (TagOf(n) == "a" && GetAttr(n, "href", &href)) {
            s.cursor = CursorHand;
            return;
        }
    }
}

bool ElementScroll(WvView* v, dom_node* n, int out[6]) {
    EnsureLayout(v);
    SyncPageScroll(v);
    std::string tag = TagOf(n);
    if (tag == "html") {
        const PageScroll& s = v->scrolling;
        int cw = ClientWidth(v), ch = ClientHeight(v);
        int vals[6] = {v->scrollX, v->scrollY, std::max(s.docWidth, cw), std::max(s.docHeight, ch), cw, ch};
        std::copy(vals, vals + 6, out);
        return true;
    }
    Box* b = v->render.BoxOf(n);
    if (!b || !b->ownsList || b->needsLayout) return false;
    SIZE size = ScrollSize(b);
    RECT pad = PaddingBox(b);
    SIZE client{pad.right - pad.left, pad.bottom - pad.top};
    if (Clips(b)) client = BarsOf(b, 0, 0).client;
    POINT at = b->scroll;
    if (tag == "body") at = POINT{v->scrollX, v->scrollY};
    int vals[6] = {at.x, at.y, (int)size.cx, (int)size.cy, (int)client.cx, (int)client.cy};
    std::copy(vals, vals + 6, out);
    return true;
}

void SetElementScroll(WvView* v, dom_node* n, int left, int top) {
    EnsureLayout(v);
    SyncPageScroll(v);
    std::string tag = TagOf(n);
    if (tag == "html" || tag == "body") {
        ScrollPageTo(v, left < 0 ? v->scrollX : left, top < 0 ? v->scrollY : top);
        return;
    }
    Box* b = v->render.BoxOf(n);
    if (!IsScroller(b)) return;
    SetBoxScroll(v, b, left < 0 ? b->scroll.x : left, top < 0 ? b->scroll.y : top);
}

void ScrollIntoView(WvView* v, dom_node* n) {
    EnsureLayout(v);
    SyncPageScroll(v);
    RECT r;
    if (!NodeBox(v, n, &r)) return;
    // The clipping boxes around it first, innermost out, then the page: its top at the top.
    Box* b = BoxUnder(v, n);
    for (Box* a = b ? b->parent : nullptr; a; a = a->parent) {
        if (!IsScroller(a)) continue;
        RECT pad = DocumentPadding(v, a);
        int before = a->scroll.y;
        SetBoxScroll(v, a, a->scroll.x, a->scroll.y + (r.top - pad.top));
        OffsetRect(&r, 0, before - a->scroll.y);
    }
    ScrollPageTo(v, v->scrollX, r.top);
}

namespace {

RECT DocumentExtent(const Box* b) {
    RECT r = b->extent;
    POINT o = DocumentOrigin(b), sh = ScrollShift(b);
    OffsetRect(&r, o.x + sh.x, o.y + sh.y);
    return r;
}

ChangeRecord::Owner Snapshot(const Box* c) {
    return ChangeRecord::Owner{c->node, c, DocumentOrigin(c), c->extent, c->laidHeight, c->laidUsed};
}

bool SameGeometry(const ChangeRecord::Owner& a, const ChangeRecord::Owner& b) {
    // The width a box's content used matters only to shrink-to-fit owners, whose own extent then
    // changes, or to tables and flex lines, which then lay out other boxes too (TakeChangeDamage).
    return a.origin.x == b.origin.x && a.origin.y == b.origin.y && EqualRect(&a.extent, &b.extent) &&
           a.height == b.height;
}

void ListOwnersBelow(const Box* b, std::vector<const Box*>& out) {
    std::vector<const Box*> stack{b};
    while (!stack.empty()) {
        const Box* x = stack.back();
        stack.pop_back();
        if (x->ownsList) out.push_back(x);
        for (auto& c : x->children) stack.push_back(c.get());
    }
}

}  // namespace

// Past this many changes before a layout, the whole view is painted again: cheaper than the
// bookkeeping.
const size_t kMaxNotedChanges = 32;

bool NoteChange(WvView* v, dom_node* node) {
    PageScroll& s = v->scrolling;
    if (s.untracked) return false;
    if (s.changes.size() >= kMaxNotedChanges) {
        s.untracked = true;
        s.changes.clear();
        return false;
    }
    Box* b = BoxUnder(v, node);
    const Box* owner = b && b->ownsList ? b : b ? Container(b) : nullptr;
    ChangeRecord r;
    for (const Box* c = owner; c; c = Container(c)) {
        // Never laid out, or placed against the viewport: where it was drawn is not known here.
        if (c->laidWidth < 0 || !c->ownsList || (c->parent && c->style.position == Position::Fixed)) break;
        r.chain.push_back(Snapshot(c));
        if (!c->parent) {
            r.before = DocumentExtent(owner);
            if (s.changes.empty()) {
                s.laidOutBefore = v->render.laidOut;
                s.canvasBefore = v->page.canvas;
            }
            s.changes.push_back(std::move(r));
            return true;
        }
    }
    s.untracked = true;
    s.changes.clear();
    return false;
}

bool MoveHover(WvView* v, dom_node* n) {
    Cascade& styles = v->render.Styles();
    bool tracked = !v->dirty;
    if (tracked && styles.UsesHover() && styles.Hover() != n) {
        // The elements whose hover state changes: the two ancestor chains below their common
        // part; the outermost of each holds what its restyle can touch.
        std::vector<dom_node*> a, b;
        for (dom_node* x = styles.Hover(); x; x = ParentOf(x))
            if (IsElement(x)) a.push_back(x);
        for (dom_node* x = n; x; x = ParentOf(x))
            if (IsElement(x)) b.push_back(x);
        while (!a.empty() && !b.empty() && a.back() == b.back()) a.pop_back(), b.pop_back();
        for (auto* chain : {&a, &b})
            if (!chain->empty()) tracked = NoteChange(v, chain->back()) && tracked;
    }
    if (!v->render.SetHover(n)) return false;
    v->needLayout = true;
    if (!tracked) v->dirty = true;
    return true;
}

bool TakeChangeDamage(WvView* v) {
    PageScroll& s = v->scrolling;
    bool ok = !v->dirty && !s.untracked && !s.changes.empty() && v->page.canvas == s.canvasBefore;
    std::vector<const Box*> expected;
    std::vector<RECT> rects;
    for (size_t k = 0; ok && k < s.changes.size(); ++k) {
        const ChangeRecord& r = s.changes[k];
        // The shallowest owner whose geometry changed: the one above it holds everything that moved.
        int changed = -1;
        for (size_t i = 0; ok && i < r.chain.size(); ++i) {
            const Box* c = v->render.BoxOf(r.chain[i].node);
            ok = c && c == r.chain[i].box && c->ownsList && !c->needsLayout;
            if (!ok) break;
            if (!SameGeometry(r.chain[i], Snapshot(c))) changed = (int)i;
            expected.push_back(c);
        }
        if (!ok || changed == (int)r.chain.size() - 1) {
            ok = false;
            break;
        }
        const Box* nearest = v->render.BoxOf(r.chain[0].node);
        bool walked = false;
        for (size_t j = 0; j < k && !walked; ++j) walked = s.changes[j].chain[0].box == nearest;
        if (!walked) ListOwnersBelow(nearest, expected);
        if (changed < 0) {
            rects.push_back(r.before);
            rects.push_back(DocumentExtent(nearest));
        } else {
            rects.push_back(DocumentExtent(v->render.BoxOf(r.chain[changed + 1].node)));
        }
    }
    if (ok) {
        // Laid out beyond the changed boxes and their owners (a table's columns moved): not known.
        std::sort(expected.begin(), expected.end());
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        ok = v->render.laidOut - s.laidOutBefore <= expected.size();
    }
    if (ok)
        for (const RECT& r : rects) AddDamage(v, r);
    s.changes.clear();
    s.untracked = false;
    return ok;
}

bool FireScrollEvent(WvView* v) {
    PageScroll& s = v->scrolling;
    if (!v->script || InCallback()) return true;
    if (s.firedFor != v->script.get()) {
        s.firedFor = v->script.get();
        s.firedAt = POINT{v->scrollX, v->scrollY};
        return true;
    }
    if (s.firedAt.x == v->scrollX && s.firedAt.y == v->scrollY) return true;
    s.firedAt = POINT{v->scrollX, v->scrollY};
    v->script->Run("window.dispatchEvent(new Event('scroll'))", "scroll");
    return ViewAlive(v);
}

void AddDamage(WvView* v, RECT r) {
    PageScroll& s = v->scrolling;
    if (IsRectEmpty(&r)) return;
    if (s.damaged) UnionRect(&s.damage, &s.damage, &r);
    else s.damage = r;
    s.damaged = true;
}

bool RepaintView(WvView* v) {
    PageScroll& s = v->scrolling;
    SyncPageScroll(v);
    POINT now{v->scrollX, v->scrollY};
    bool moved = s.painted && (s.paintedAt.x != now.x || s.paintedAt.y != now.y);
    bool barsChanged = s.barsPainted[0] != s.barV || s.barsPainted[1] != s.barH;
    if (!v->dirty && !moved && !s.damaged && !barsChanged && s.painted) return false;
    RECT view{0, 0, v->width, v->height};
    int cw = ClientWidth(v), ch = ClientHeight(v);
    RECT client{0, 0, cw, ch};
    RECT changed{};
    if (v->dirty || !s.painted || barsChanged) {
        PaintArea(v, view);
        changed = view;
    } else {
        std::vector<RECT> parts;
        if (moved) {
            int dx = now.x - s.paintedAt.x, dy = now.y - s.paintedAt.y;
            if (std::abs(dx) >= cw || std::abs(dy) >= ch) {
                parts.push_back(client);
            } else {
                // What stays in view is copied; the band scrolled in is painted.
                RECT src = client;
                OffsetRect(&src, dx, dy);
                RECT keep;
                IntersectRect(&keep, &src, &client);
                BitBlt(v->memDc, keep.left - dx, keep.top - dy, keep.right - keep.left, keep.bottom - keep.top, v->memDc,
                       keep.left, keep.top, SRCCOPY);
                if (dy > 0) parts.push_back(RECT{0, ch - dy, cw, ch});
                if (dy < 0) parts.push_back(RECT{0, 0, cw, -dy});
                if (dx > 0) parts.push_back(RECT{cw - dx, 0, cw, ch});
                if (dx < 0) parts.push_back(RECT{0, 0, -dx, ch});
                // Fixed boxes stay where they are: painted again there and where the copy took them.
                const Box* root = v->render.Root();
                if (root && root->ownsList && !root->needsLayout)
                    for (const PaintItem& it : root->items) {
                        if (it.kind != PaintItem::Child || !IsFixedChild(root, it.box)) continue;
                        RECT r = it.box->extent;
                        OffsetRect(&r, it.box->origin.x, it.box->origin.y);
                        parts.push_back(r);
                        OffsetRect(&r, -dx, -dy);
                        parts.push_back(r);
                    }
            }
        }
        if (s.damaged) {
            RECT d = s.damage;
            OffsetRect(&d, -now.x, -now.y);
            parts.push_back(d);
        }
        for (RECT r : parts) {
            if (!IntersectRect(&r, &r, &client)) continue;
            PaintArea(v, r);
            UnionRect(&changed, &changed, &r);
        }
        if (moved) UnionRect(&changed, &changed, &client);
    }
    if (moved || EqualRect(&changed, &view)) {
        RECT bars = PaintPageBars(v);
        UnionRect(&changed, &changed, &bars);
    }
    GdiFlush();
    s.painted = true;
    s.paintedAt = now;
    s.barsPainted[0] = s.barV;
    s.barsPainted[1] = s.barH;
    s.damaged = false;
    s.lastPaint = changed;
    v->dirty = false;
    return true;
}

}  // namespace webview
