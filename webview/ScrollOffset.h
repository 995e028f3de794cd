// Where scrolling puts a laid-out box's content, shared by painting, hit testing and the geometry
// scripts read. A box that clips its overflow draws its content moved by its scroll offset (its
// own background and borders stay); the root box's scroll is the page's, and all of the root's
// list moves with it, its own background included; a fixed box (a child entry of the root's list,
// placed in viewport coordinates) is not moved by the page's scroll. Boxes that do not clip keep a
// zero scroll offset, so the rules cost nothing for them.
#pragma once
#include <windows.h>

#include "Layout.h"
#include "RenderTree.h"

namespace webview {

inline bool IsFixedChild(const Box* owner, const Box* c) {
    return !owner->parent && c->style.position == Position::Fixed;
}

// The origin of the child block c, drawn in owner's list with owner's origin at (x, y).
inline POINT ChildOrigin(const Box* owner, const Box* c, int x, int y) {
    if (IsFixedChild(owner, c)) return POINT{x + c->origin.x, y + c->origin.y};
    return POINT{x - owner->scroll.x + c->origin.x, y - owner->scroll.y + c->origin.y};
}

// Owner's own background and borders, or the form control it is drawn as.
inline bool IsOwnItem(const Box* owner, const PaintItem& it) {
    return it.box == owner && (it.kind == PaintItem::Decor || it.kind == PaintItem::Control);
}

// Where an item of owner's list is drawn from: owner's own items stay put, its content moves with
// its scroll (the root's everything).
inline POINT ItemOrigin(const Box* owner, const PaintItem& it, int x, int y) {
    if (owner->parent && IsOwnItem(owner, it)) return POINT{x, y};
    return POINT{x - owner->scroll.x, y - owner->scroll.y};
}

// Owner's own hit box (its border box), as opposed to its content's.
inline bool IsOwnHit(const Box* owner, const HitBox& h) {
    return owner->parent && !h.box && h.node == owner->node && EqualRect(&h.rc, &owner->border);
}

inline POINT HitOrigin(const Box* owner, const HitBox& h, int x, int y) {
    if (IsOwnHit(owner, h)) return POINT{x, y};
    return POINT{x - owner->scroll.x, y - owner->scroll.y};
}

// Whether b clips (and scrolls) its overflow. The root's overflow is the page's; so is the body's
// when the root has none of its own (as browsers take it for the viewport).
inline bool Clips(const Box* b) {
    if (!b->parent || !(b->style.ClipsX() || b->style.ClipsY())) return false;
    const Box* p = b->parent;
    return p->parent || b->tag != "body" || p->style.ClipsX() || p->style.ClipsY();
}

// The page's overflow: the root's, else the body's.
inline const Style& ViewportStyle(const Box* root) {
    if (root->style.ClipsX() || root->style.ClipsY()) return root->style;
    for (auto& c : root->children)
        if (c->element && c->tag == "body") return c->style;
    return root->style;
}

// A list owner's padding box in its own coordinates.
inline RECT PaddingBox(const Box* b) {
    const Edges& e = b->style.border;
    return RECT{b->border.left + e.left, b->border.top + e.top, b->border.right - e.right, b->border.bottom - e.bottom};
}

// Whether pt may reach owner's content (owner drawn at (x, y)): not outside a clipping box's
// padding box.
inline bool ReachesContent(const Box* owner, int x, int y, POINT pt) {
    if (!Clips(owner) || !owner->ownsList) return true;
    RECT p = PaddingBox(owner);
    OffsetRect(&p, x, y);
    return PtInRect(&p, pt) != FALSE;
}

// How far scrolling moves b's border box from where DocumentBorder puts it, in document
// coordinates: the scroll of each clipping box it lies in, and for a fixed box (or one inside it)
// its place in the document is its viewport place plus the page's scroll.
inline POINT ScrollShift(const Box* b) {
    POINT s{0, 0};
    const Box* root = b;
    while (root->parent) root = root->parent;
    for (const Box* c = b; c;) {
        if (c->parent && c->ownsList && c->style.position == Position::Fixed) {
            s.x += root->scroll.x;
            s.y += root->scroll.y;
            break;
        }
        const Box* up = Container(c);
        if (up && up->parent) {
            s.x -= up->scroll.x;
            s.y -= up->scroll.y;
        }
        c = up;
    }
    return s;
}

}  // namespace webview
