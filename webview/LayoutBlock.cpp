// Block formatting: a box's width and height from its style, margins collapsing between blocks,
// floats and the lines beside them, boxes taken out of the flow (absolute, fixed) placed against
// their containing block once it is laid out, and the painting order of positioned boxes.
#include <algorithm>

#include "FormControls.h"
#include "LayoutEngine.h"
#include "Text.h"

namespace webview {

namespace {

const int kNone = INT_MIN;

bool IsTablePart(Display d) {
    return d == Display::TableRowGroup || d == Display::TableHeaderGroup || d == Display::TableFooterGroup ||
           d == Display::TableRow || d == Display::TableCell || d == Display::TableCaption ||
           d == Display::TableColumn || d == Display::TableColumnGroup;
}

// Moves everything of n's own lists made since item `from` (and hit `fromHit`) down by dy.
void ShiftContent(Box* n, size_t from, size_t fromHit, int dy) {
    for (size_t i = from; i < n->items.size(); ++i) {
        PaintItem& it = n->items[i];
        if (it.kind == PaintItem::Child) it.box->origin.y += dy;
        else OffsetRect(&it.rc, 0, dy);
        if (it.kind == PaintItem::Picture || it.kind == PaintItem::Control || it.kind == PaintItem::Decor)
            if (it.box && it.box != n && !it.box->ownsList) OffsetRect(&it.box->border, 0, dy);
    }
    for (size_t i = fromHit; i < n->hits.size(); ++i)
        if (!n->hits[i].box) OffsetRect(&n->hits[i].rc, 0, dy);
}

}  // namespace

bool NewFormattingContext(const Box* n) {
    const Style& s = n->style;
    if (!n->parent) return true;
    if (s.floating != Float::None || s.IsOutOfFlow() || s.IsAtomicInline() || s.ClipsX() || s.ClipsY()) return true;
    if (s.display == Display::Table || s.display == Display::Flex || IsTablePart(s.display)) return true;
    const Style& p = n->parent->style;
    return p.display == Display::Flex || p.display == Display::InlineFlex;
}

// ---- FloatArea

void FloatArea::Add(const RECT& rc, bool left) {
    // Later questions are never above the newest float's top: floats that end above it are done.
    if (m_items.size() >= 64) {
        int top = rc.top;
        m_items.erase(std::remove_if(m_items.begin(), m_items.end(), [top](const Item& i) { return i.rc.bottom <= top; }),
                      m_items.end());
    }
    m_items.push_back(Item{rc, left, m_seq++});
    m_bottom = std::max(m_bottom, (int)rc.bottom);
    m_lastTop = std::max(m_lastTop, (int)rc.top);
}

void FloatArea::Span(int y, int h, int x0, int x1, int* left, int* right) const {
    int l = x0, r = x1;
    h = std::max(h, 1);
    for (const Item& i : m_items) {
        if (i.rc.bottom <= i.rc.top || i.rc.top >= y + h || i.rc.bottom <= y) continue;
        if (i.left) l = std::max(l, (int)i.rc.right);
        else r = std::min(r, (int)i.rc.left);
    }
    *left = l;
    *right = std::max(l, r);
}

int FloatArea::NextBottom(int y) const {
    int b = INT_MAX;
    for (const Item& i : m_items)
        if (i.rc.bottom > y) b = std::min(b, (int)i.rc.bottom);
    return b;
}

int FloatArea::Cleared(Clear c, int y) const {
    for (const Item& i : m_items)
        if (c == Clear::Both || (c == Clear::Left) == i.left) y = std::max(y, (int)i.rc.bottom);
    return y;
}

void FloatArea::Shift(size_t from, int dy) {
    if (!dy) return;
    for (Item& i : m_items)
        if (i.seq >= from) {
            OffsetRect(&i.rc, 0, dy);
            m_bottom = std::max(m_bottom, (int)i.rc.bottom);
        }
}

// ---- Boxes

// Puts a laid-out block into owner's lists at (x, y) of owner's coordinates.
void Layouter::Place(Box* n, int x, int y, Box* owner) {
    const Style& s = n->style;
    if (s.position == Position::Relative) {
        int l = s.offset.left.Resolve(0, kNone), r = s.offset.right.Resolve(0, kNone);
        int t = s.offset.top.Resolve(0, kNone), b = s.offset.bottom.Resolve(0, kNone);
        x += l != kNone ? l : r != kNone ? -r : 0;
        y += t != kNone ? t : b != kNone ? -b : 0;
    }
    n->origin = POINT{x, y};
    n->placedIn = owner;
    PaintItem c;
    c.kind = PaintItem::Child;
    c.box = n;
    owner->items.push_back(std::move(c));
    owner->hits.push_back(HitBox{RECT{}, nullptr, n});
}

int Layouter::Sized(Box* n, int borderWidth, int borderHeight) {
    const Edges m = n->style.margin.Resolve(std::max(0, borderWidth));
    m_forceWidth = std::max(0, borderWidth);
    m_forceHeight = borderHeight;
    return Block(n, m_forceWidth + m.left + m.right);
}

int Layouter::Block(Box* n, int avail, int* usedWidth) {
    int forceW = m_forceWidth, forceH = m_forceHeight;
    m_forceWidth = m_forceHeight = -1;
    return LayoutBox(n, avail, forceW, forceH, usedWidth);
}

// The border-box width a float, inline-block or absolutely positioned box takes when its width is
// auto: its content's, between its narrowest and its widest, as far as avail allows. -1 for
// replaced elements, which take their own size.
int Layouter::ShrinkToFit(Box* n, int avail) {
    if (TagIs(n, "img")) return -1;
    const Edges m = n->style.margin.Resolve(std::max(0, avail));
    int w = std::min(std::max(MinContent(n), avail), MaxContent(n));
    return std::max(0, w - m.left - m.right);
}

bool Layouter::Reusable(Box* n, int key, int forceHeight) {
    if (!m_reuse || n->needsLayout || !n->ownsList || n->laidWidth != key || n->laidForcedHeight != forceHeight ||
        n->keepsOut)
        return false;
    if (n->style.display == Display::ListItem && n->laidOrdinal != m_ordinal) return false;
    // Floats of the enclosing context reaching into it would shorten its lines.
    if (m_floats && !NewFormattingContext(n) && m_floats->Bottom() > m_oy) return false;
    return true;
}

int Layouter::LayoutBox(Box* n, int cbWidth, int forceW, int forceH, int* usedWidth) {
    const Style& s = n->style;
    const int ordinal = m_ordinal;
    // Kept by the width it was given: the containing block's, or the forced border-box width.
    const int key = forceW >= 0 ? -2 - forceW : cbWidth;
    if (Reusable(n, key, forceH)) {
        if (usedWidth) *usedWidth = n->laidUsed;
        return n->laidHeight;
    }
    if (forceH < 0 && n->laidForcedHeight >= 0 && Reusable(n, key, n->laidForcedHeight)) {
        // Asked the height its content wants after a pass at a definite height (a table row or a
        // flex line measuring before it stretches): answered from that pass, its lists kept for
        // the stretched call that follows.
        if (usedWidth) *usedWidth = n->laidUsed;
        return n->laidAutoHeight;
    }
    if ((s.display == Display::Table || s.display == Display::InlineTable) && n->tableGrid) {
        int kept = TableKept(n, key, forceH, usedWidth);
        if (kept >= 0) return kept;
    }
    ++m_tree.laidOut;
    if (IsFormControl(n)) {
        // Drawn by the forms code; remembered here by the same key as any other block.
        int used = 0;
        const int height = LayOutFormControlBlock(n, cbWidth, m_dc, m_fonts, &used);
        n->needsLayout = false;
        n->ownsList = true;
        n->laidWidth = key;
        n->laidForcedHeight = forceH;
        n->laidHeight = height;
        n->laidUsed = used;
        if (usedWidth) *usedWidth = used;
        return height;
    }
    n->items.clear();
    n->hits.clear();
    // About one entry per child and a few of its own: the lists are allocated once, not grown.
    n->items.reserve(n->children.size() + 3);
    n->hits.reserve(n->children.size() + 2);
    n->keepsOut = false;

    Edges m = s.margin.Resolve(cbWidth);
    const Edges& b = s.border;
    const Edges p = s.padding.Resolve(cbWidth);
    const int frameW = b.left + b.right + p.left + p.right, frameH = b.top + b.bottom + p.top + p.bottom;
    const bool bfc = NewFormattingContext(n);
    const bool replaced = TagIs(n, "img");
    int imgW = 0, imgH = 0;
    if (replaced) ImageSize(n, cbWidth, &imgW, &imgH);

    // Width.
    bool autoWidth = s.width.IsAuto() && forceW < 0;
    int cw;
    if (forceW >= 0) {
        cw = forceW - frameW;
    } else if (!s.width.IsAuto()) {
        cw = s.width.Resolve(cbWidth, 0) - (s.borderBox ? frameW : 0);
    } else if (replaced) {
        cw = imgW;
    } else {
        cw = cbWidth - m.left - m.right - frameW;
    }
    if (forceW < 0) {
        if (!s.maxWidth.IsAuto()) cw = std::min(cw, s.maxWidth.Resolve(cbWidth, 0) - (s.borderBox ? frameW : 0));
        cw = std::max(cw, s.minWidth.Resolve(cbWidth, 0) - (s.borderBox ? frameW : 0));
    }
    cw = std::max(0, std::min(cw, 100000));
    const bool table = s.display == Display::Table || s.display == Display::InlineTable;
    // A table is as wide as its columns need, between their narrowest and widest.
    if (forceW < 0 && table) cw = TableWidth(n, cbWidth);
    if (forceW < 0 && s.floating == Float::None && !s.IsOutOfFlow() && !s.IsAtomicInline()) {
        // Auto margins share what a narrower block leaves of its container.
        int rest = cbWidth - cw - frameW - m.left - m.right;
        bool la = s.margin.left.IsAuto(), ra = s.margin.right.IsAuto();
        if (rest > 0 && la && ra) m.left += rest / 2, m.right += rest - rest / 2;
        else if (rest > 0 && la) m.left += rest;
    }

    // Height, when it does not depend on the content.
    int definite = -1;
    if (forceH >= 0) {
        definite = std::max(0, forceH - frameH);
    } else if (table) {
        // A table's set height is its border box's, and only a minimum: TableContent applies it.
    } else if (s.height.kind == Length::Px || (s.height.kind == Length::Percent && m_cbHeight >= 0)) {
        definite = std::max(0, s.height.Resolve(m_cbHeight, 0) - (s.borderBox ? frameH : 0));
    } else if (replaced) {
        definite = imgH;
    }
    if (definite >= 0 && forceH < 0) {
        if (!s.maxHeight.IsAuto() && (s.maxHeight.kind == Length::Px || m_cbHeight >= 0))
            definite = std::min(definite, s.maxHeight.Resolve(m_cbHeight, 0) - (s.borderBox ? frameH : 0));
        if (s.minHeight.kind == Length::Px || m_cbHeight >= 0)
            definite = std::max(definite, s.minHeight.Resolve(m_cbHeight, 0) - (s.borderBox ? frameH : 0));
        definite = std::max(0, definite);
    }

    // The context its content is laid out in.
    FloatArea* oldFloats = m_floats;
    Box* oldRoot = m_bfcRoot;
    const int oldOx = m_ox, oldOy = m_oy, oldCbHeight = m_cbHeight, oldRaise = m_raise;
    std::vector<OutOfFlow>* oldAbsolute = m_absolute;
    std::vector<OutOfFlow>* oldFixed = m_fixed;
    Box* oldAbsoluteOwner = m_absoluteOwner;
    FloatArea own;
    if (bfc) {
        m_floats = &own;
        m_bfcRoot = n;
        m_ox = m_oy = 0;
    }
    std::vector<OutOfFlow> positioned, fixed;
    const bool containing = s.IsPositioned() || !n->parent;
    if (containing) {
        m_absolute = &positioned;
        m_absoluteOwner = n;
    }
    if (!n->parent) m_fixed = &fixed;
    m_cbHeight = definite;
    m_raise = 0;
    const size_t floatMark = m_floats ? m_floats->Seq() : 0;

    n->items.push_back(PaintItem());
    n->hits.push_back(HitBox{});
    const int cx = m.left + b.left + p.left, cy = m.top + b.top + p.top;
    int used = 0;
    Lines lines{};
    // A line's item list from the pool: boxes nest, each takes one while it is laid out.
    if (!m_linePool.empty()) {
        lines.items.swap(m_linePool.back());
        m_linePool.pop_back();
    }
    lines.topOpen = !bfc && b.top == 0 && p.top == 0;
    int h;
    bool flow = false;
    if (s.display == Display::Table || s.display == Display::InlineTable) {
        h = TableContent(n, cx, cy, cw, n, &used);
    } else if (s.display == Display::Flex || s.display == Display::InlineFlex) {
        h = FlexContent(n, cx, cy, cw, n, &used);
    } else if (replaced) {
        h = imgH;
        used = cw;
        PaintItem pic;
        pic.kind = PaintItem::Picture;
        pic.image = n->imageIndex;
        pic.rc = RECT{cx, cy, cx + cw, cy + (definite >= 0 ? definite : imgH)};
        if (!s.hidden) n->items.push_back(pic);
    } else {
        flow = true;
        h = Flow(n, cx, cy, cw, n, &used, lines);
    }

    // Margins that collapse through its top and bottom.
    const bool bottomOpen = flow && !bfc && b.bottom == 0 && p.bottom == 0 && definite < 0 &&
                            s.minHeight.Resolve(0, 0) <= 0;
    int top = m.top, bottom = m.bottom;
    bool selfCollapsing = false;
    if (flow) {
        if (lines.topOpen) top = CollapseMargins(m.top, lines.leading);
        if (lines.atTop && lines.topOpen && bottomOpen && h == 0) {
            selfCollapsing = true;
            top = bottom = CollapseMargins(top, m.bottom);
        } else if (bottomOpen) {
            bottom = CollapseMargins(m.bottom, lines.pending);
        } else {
            h += lines.pending;
        }
    }
    if (bfc && (definite < 0 || forceH >= 0)) h = std::max(h, own.Bottom() - cy);
    const int contentHeight = h;
    if (definite >= 0) {
        h = definite;
    } else {
        if (!s.maxHeight.IsAuto() && (s.maxHeight.kind == Length::Px || oldCbHeight >= 0))
            h = std::min(h, s.maxHeight.Resolve(oldCbHeight, 0) - (s.borderBox ? frameH : 0));
        if (s.minHeight.kind == Length::Px || oldCbHeight >= 0)
            h = std::max(h, s.minHeight.Resolve(oldCbHeight, 0) - (s.borderBox ? frameH : 0));
        // Pages without a standards doctype get a body at least as tall as the view, as browsers
        // keep doing for them.
        if (TagIs(n, "body") && n->parent && !n->parent->parent && IsQuirksDocument(n->node)) {
            const Style& r = n->parent->style;
            const Edges rm = r.margin.Resolve(cbWidth), rp = r.padding.Resolve(cbWidth);
            int room = m_viewH - rm.top - rm.bottom - rp.top - rp.bottom - r.border.top - r.border.bottom - m.top -
                       m.bottom - frameH;
            h = std::max(h, room);
        }
        h = std::max(0, std::min(h, 10000000));
    }
    if (TagIs(n, "button") && h > contentHeight) {
        // A button taller than its content holds it in the middle, as browsers draw buttons.
        const int middle = (h - contentHeight) / 2;
        ShiftContent(n, 1, 1, middle);
        if (lines.firstBaseline >= 0) lines.firstBaseline += middle;
        if (lines.lastBaseline >= 0) lines.lastBaseline += middle;
    }
    const int dy = top - m.top;
    if (dy) {
        ShiftContent(n, 1, 1, dy);
        if (!bfc && m_floats) m_floats->Shift(floatMark, dy);
        if (m_absolute)
            for (OutOfFlow& o : *m_absolute)
                if (o.staticOwner == n) o.at.y += dy;
        if (m_fixed)
            for (OutOfFlow& o : *m_fixed)
                if (o.staticOwner == n) o.at.y += dy;
        if (lines.firstBaseline >= 0) lines.firstBaseline += dy;
        if (lines.lastBaseline >= 0) lines.lastBaseline += dy;
    }
    const RECT box{m.left, top, m.left + cw + frameW, top + frameH + h};
    const int height = top + (box.bottom - box.top) + bottom;
    n->laidAutoHeight = forceH >= 0 ? top + frameH + contentHeight + bottom : height;
    n->firstBaseline = lines.firstBaseline;
    n->lastBaseline = lines.lastBaseline;
    n->border = box;

    if (s.display == Display::ListItem && s.listStyle != ListStyle::None && !s.listInside && !s.hidden) {
        int baseline = lines.firstBaseline >= 0 ? lines.firstBaseline : box.top + b.top + p.top + lines.strutAbove;
        Marker(n, box.left + b.left + p.left, baseline, ordinal);
    }

    // Its out-of-flow descendants, now that the box they are placed against is known.
    m_floats = oldFloats;
    m_bfcRoot = oldRoot;
    m_ox = oldOx, m_oy = oldOy;
    if (containing) {
        RECT padding{box.left + b.left, box.top + b.top, box.right - b.right, box.bottom - b.bottom};
        LayOutPositioned(padding, positioned, n);
    }
    if (!n->parent) LayOutPositioned(RECT{0, 0, m_viewW, m_viewH}, fixed, n);
    m_absolute = oldAbsolute;
    m_absoluteOwner = oldAbsoluteOwner;
    m_fixed = oldFixed;
    m_cbHeight = oldCbHeight;
    m_raise = oldRaise;

    n->items[0].kind = PaintItem::Decor;
    n->items[0].rc = box;
    n->items[0].box = n;
    n->backgroundImage = s.backgroundImage.empty() ? -1 : m_doc.ImageFor(s.backgroundImage);
    n->hits[0] = HitBox{box, n->node};
    // A table that placed nothing positioned (and takes in no positioned descendants) keeps its order.
    if (!(table && m_tableStackless && !containing)) Stack(n);
    m_tableStackless = false;

    // What it draws; a box that clips keeps its border box and records its content's size.
    RECT extent = box, content = box;
    for (size_t i = 0; i < n->items.size(); ++i) {
        const PaintItem& it = n->items[i];
        RECT r = it.rc;
        if (it.kind == PaintItem::Child) {
            // Cells' entries carry their extent already.
            if (IsRectEmpty(&r)) {
                r = it.box->extent;
                OffsetRect(&r, it.box->origin.x, it.box->origin.y);
            }
        } else {
            ++m_tree.itemsBuilt;
        }
        if (IsRectEmpty(&r)) continue;
        UnionRect(&extent, &extent, &r);
        if (it.box != n || it.kind != PaintItem::Decor) UnionRect(&content, &content, &r);
    }
    if (s.ClipsX() || s.ClipsY()) {
        RECT padding{box.left + b.left, box.top + b.top, box.right - b.right, box.bottom - b.bottom};
        n->contentSize = SIZE{std::max(padding.right, content.right + (content.right > padding.right ? p.right : 0)) -
                                  padding.left,
                              std::max(padding.bottom, content.bottom + (content.bottom > padding.bottom ? p.bottom : 0)) -
                                  padding.top};
        extent = box;
    }
    if (s.hidden) {
        // It takes its space; what it draws itself is left out, its visible descendants stay.
        n->items.erase(n->items.begin());
        n->hits.erase(n->hits.begin());
    }
    n->extent = extent;
    n->marginTop = top;
    n->marginBottom = bottom;
    n->selfCollapsing = selfCollapsing;
    int usedTotal = (autoWidth && !replaced ? used : cw) + frameW + m.left + m.right;
    if (usedWidth) *usedWidth = usedTotal;
    n->needsLayout = false;
    n->ownsList = true;
    n->laidWidth = key;
    n->laidForcedHeight = forceH;
    n->laidOrdinal = ordinal;
    n->laidHeight = height;
    n->laidUsed = usedTotal;
    lines.items.clear();
    m_linePool.push_back(std::move(lines.items));
    return height;
}

// Positioned children paint after the in-flow content, in z-index order; negative ones first.
void Layouter::Stack(Box* n) {
    auto positioned = [](const Box* b) { return b && b->style.IsPositioned(); };
    bool any = false;
    for (const PaintItem& it : n->items)
        if (it.kind == PaintItem::Child && positioned(it.box)) any = true;
    if (!any) return;
    auto z = [](const Box* b) { return b->style.zAuto ? 0 : b->style.zIndex; };
    auto layer = [&](const Box* b, bool isChild) {
        if (!isChild || !positioned(b)) return 1;
        return z(b) < 0 ? 0 : 2;
    };
    std::stable_sort(n->items.begin() + 1, n->items.end(), [&](const PaintItem& a, const PaintItem& c) {
        int la = layer(a.box, a.kind == PaintItem::Child), lc = layer(c.box, c.kind == PaintItem::Child);
        if (la != lc) return la < lc;
        if (la == 1) return false;
        return z(a.box) < z(c.box);
    });
    std::stable_sort(n->hits.begin() + 1, n->hits.end(), [&](const HitBox& a, const HitBox& c) {
        int la = layer(a.box, a.box != nullptr), lc = layer(c.box, c.box != nullptr);
        if (la != lc) return la < lc;
        if (la == 1) return false;
        return z(a.box) < z(c.box);
    });
}

// Flow content: blocks stacked with their margins collapsing, inline content broken into lines.
int Layouter::Flow(Box* n, int x, int y, int width, Box* owner, int* usedWidth, Lines& lines) {
    lines.x = x;
    lines.y = y;
    lines.width = width;
    lines.align = n->style.align;
    lines.block = n;
    lines.indent = n->style.textIndent.Resolve(width, 0);
    lines.ordinal = 1;
    std::string start;
    if (TagIs(n, "ol") && GetAttr(n->node, "start", &start)) lines.ordinal = atoi(start.c_str());
    Strut(n->style, &lines.strutAbove, &lines.strutBelow);
    int used = 0;
    const Style& s = n->style;
    if (s.display == Display::ListItem && s.listInside && s.listStyle != ListStyle::None) {
        LineItem it;
        it.text = MarkerText(s.listStyle, m_ordinal) + L" ";
        it.font = m_fonts.Get(s);
        it.style = &s;
        it.source = n;
        it.node = n->node;
        it.w = Measure(it.font, it.text, &s);
        int height = 0;
        TextExtents(s, it.font, &it.above, &it.below, &it.ascent, &height);
        it.h = height;
        it.hidden = s.hidden;
        Add(std::move(it), lines, owner);
    }
    for (auto& c : n->children) {
        Box* k = c.get();
        if (k->style.display == Display::None) continue;
        if (k->element && k->style.IsOutOfFlow()) {
            DeferOutOfFlow(k, lines, owner);
        } else if (k->element && k->style.floating != Float::None) {
            FlowFloat(k, lines, owner);
        } else if (k->element && BlockLevel(k->style)) {
            Flush(lines, owner, true);
            FlowBlock(k, lines, owner, &used);
        } else {
            Inline(k, lines, owner);
        }
    }
    Flush(lines, owner, true);
    if (usedWidth) *usedWidth = std::max(used, lines.maxWidth);
    return lines.y - y;
}

int Layouter::Children(Box* n, int x, int y, int width, Box* owner, int* usedWidth) {
    Lines lines{};
    int h = Flow(n, x, y, width, owner, usedWidth, lines);
    return h + lines.pending;
}

void Layouter::FlowBlock(Box* k, Lines& lines, Box* owner, int* used) {
    const Style& ks = k->style;
    const bool kbfc = NewFormattingContext(k);
    const int t = ks.margin.top.Resolve(lines.width, 0);
    const bool intoTop = lines.atTop && lines.topOpen;
    int borderTop = intoTop ? lines.y : lines.y + CollapseMargins(lines.pending, t);
    int clearTo = kNone;
    if (ks.clear != Clear::None && m_floats) {
        int c = m_floats->Cleared(ks.clear, borderTop + m_oy) - m_oy;
        if (c > borderTop) clearTo = borderTop = c;
    }
    int x = lines.x, avail = lines.width;
    if (kbfc && m_floats && m_floats->Bottom() > borderTop + m_oy) {
        // A formatting context of its own sits beside the floats, not under them; below them when
        // its width does not fit there.
        const int need = ks.width.kind == Length::Px ? MaxContent(k) : 0;
        const int x0 = lines.x + m_ox, x1 = x0 + lines.width;
        int l = 0, r = 0;
        for (;;) {
            m_floats->Span(borderTop + m_oy, 1, x0, x1, &l, &r);
            if (r - l >= need || (l == x0 && r == x1)) break;
            int next = m_floats->NextBottom(borderTop + m_oy);
            if (next == INT_MAX) break;
            clearTo = borderTop = next - m_oy;
        }
        x = l - m_ox;
        avail = r - l;
    }
    if (ks.display == Display::ListItem) m_ordinal = lines.ordinal++;
    const int ox = m_ox, oy = m_oy;
    const int guess = borderTop - t;
    m_ox += x;
    m_oy += guess;
    const size_t mark = m_floats ? m_floats->Seq() : 0;
    int w = 0;
    LayoutBox(k, avail, -1, -1, &w);
    m_ox = ox, m_oy = oy;
    const int kt = k->marginTop;
    int origin;
    if (k->selfCollapsing && clearTo == kNone) {
        // Its border box lies where its own top margin would put it; all its margins go on down.
        origin = (intoTop ? lines.y : lines.y + CollapseMargins(lines.pending, t)) - kt;
        if (intoTop) lines.leading = CollapseMargins(lines.leading, kt);
        else lines.pending = CollapseMargins(lines.pending, kt);
        Place(k, x, origin, owner);
    } else {
        if (clearTo != kNone) {
            borderTop = std::max(clearTo, lines.y + CollapseMargins(lines.pending, kt));
        } else if (intoTop) {
            lines.leading = CollapseMargins(lines.leading, kt);
            borderTop = lines.y;
        } else {
            borderTop = lines.y + CollapseMargins(lines.pending, kt);
        }
        origin = borderTop - kt;
        Place(k, x, origin, owner);
        lines.y = borderTop + (k->border.bottom - k->border.top);
        lines.pending = k->marginBottom;
        lines.atTop = false;
        if (k->firstBaseline >= 0 && lines.firstBaseline < 0) lines.firstBaseline = origin + k->firstBaseline;
        if (k->lastBaseline >= 0) lines.lastBaseline = origin + k->lastBaseline;
    }
    if (m_floats && !kbfc && origin != guess) m_floats->Shift(mark, origin - guess);
    *used = std::max(*used, w + (x - lines.x));
}

void Layouter::FlowFloat(Box* k, Lines& lines, Box* owner) {
    const Style& ks = k->style;
    if (!lines.items.empty()) {
        // Beside the current line when it fits there, else below it.
        const Edges m = ks.margin.Resolve(lines.width);
        int need = (ks.width.IsAuto() ? MaxContent(k) : ks.width.Resolve(lines.width, 0) + m.left + m.right);
        if (lines.cursor + need > lines.right - lines.left) {
            lines.floatsAfter.push_back(k);
            return;
        }
    }
    int bw = ks.width.IsAuto() ? ShrinkToFit(k, lines.width) : -1;
    const int ox = m_ox, oy = m_oy;
    LayoutBox(k, lines.width, bw, -1, nullptr);
    m_ox = ox, m_oy = oy;
    const Edges m = ks.margin.Resolve(lines.width);
    const int mw = k->border.right + m.right, mh = k->border.bottom + k->marginBottom;
    int y = lines.y;
    if (lines.items.empty() && !(lines.atTop && lines.topOpen)) y += lines.pending;
    const bool left = ks.floating == Float::Left;
    if (m_floats) {
        int by = std::max(y + m_oy, m_floats->LastTop());
        if (ks.clear != Clear::None) by = m_floats->Cleared(ks.clear, by);
        const int x0 = lines.x + m_ox, x1 = x0 + lines.width;
        int l = x0, r = x1;
        for (;;) {
            m_floats->Span(by, mh, x0, x1, &l, &r);
            if (r - l >= mw || (l == x0 && r == x1)) break;
            int nb = m_floats->NextBottom(by);
            if (nb == INT_MAX) break;
            by = nb;
        }
        int fx = left ? l : r - mw;
        m_floats->Add(RECT{fx, by, fx + mw, by + mh}, left);
        Place(k, fx - m_ox, by - m_oy, owner);
        for (Box* p = k->parent; p && p != m_bfcRoot; p = p->parent) p->keepsOut = true;
    } else {
        Place(k, left ? lines.x : lines.x + lines.width - mw, y, owner);
    }
    if (lines.started && m_floats) {
        // The line being filled starts beside the new float.
        int l = 0, r = 0;
        m_floats->Span(lines.y + m_oy, lines.strutAbove + lines.strutBelow, lines.x + m_ox,
                       lines.x + lines.width + m_ox, &l, &r);
        lines.left = l - m_ox;
        lines.right = r - m_ox;
    }
}

void Layouter::DeferOutOfFlow(Box* k, Lines& lines, Box* owner) {
    bool fixedBox = k->style.position == Position::Fixed;
    std::vector<OutOfFlow>* list = fixedBox ? m_fixed : m_absolute;
    if (!list) return;
    POINT at{lines.x, lines.y + (lines.atTop && lines.topOpen ? 0 : lines.pending)};
    if (!lines.items.empty()) at = POINT{lines.left + lines.cursor, lines.y};
    list->push_back(OutOfFlow{k, owner, at});
    Box* cb = fixedBox ? nullptr : m_absoluteOwner;
    for (Box* p = k->parent; p && p != cb; p = p->parent) p->keepsOut = true;
}

// Lays out the boxes waiting for owner, against its padding box (or the viewport for fixed ones).
void Layouter::LayOutPositioned(const RECT& padding, std::vector<OutOfFlow>& list, Box* owner) {
    for (size_t i = 0; i < list.size(); ++i) {
        OutOfFlow o = list[i];
        Box* k = o.box;
        const Style& s = k->style;
        POINT st = o.at;
        for (const Box* c = o.staticOwner; c && c != owner; c = Container(c)) st.x += c->origin.x, st.y += c->origin.y;
        const int cbw = padding.right - padding.left, cbh = padding.bottom - padding.top;
        const Edges m = s.margin.Resolve(cbw);
        const int l = s.offset.left.Resolve(cbw, kNone), r = s.offset.right.Resolve(cbw, kNone);
        const int t = s.offset.top.Resolve(cbh, kNone), b = s.offset.bottom.Resolve(cbh, kNone);
        int bw = -1, bh = -1;
        if (s.width.IsAuto()) {
            if (l != kNone && r != kNone) bw = std::max(0, cbw - l - r - m.left - m.right);
            else bw = ShrinkToFit(k, cbw - (l != kNone ? l : 0) - (r != kNone ? r : 0));
        }
        if (s.height.IsAuto() && t != kNone && b != kNone) bh = std::max(0, cbh - t - b - m.top - m.bottom);
        const int oldCb = m_cbHeight;
        m_cbHeight = cbh;
        int mh = LayoutBox(k, cbw, bw, bh, nullptr);
        m_cbHeight = oldCb;
        const int mw = k->border.right + m.right;
        int x = l != kNone ? padding.left + l : r != kNone ? padding.right - r - mw : st.x;
        int y = t != kNone ? padding.top + t : b != kNone ? padding.bottom - b - mh : st.y;
        // Both offsets and a size: auto margins share the rest, centring it.
        if (l != kNone && r != kNone && !s.width.IsAuto() && s.margin.left.IsAuto() && s.margin.right.IsAuto())
            x += std::max(0, cbw - l - r - mw) / 2;
        if (t != kNone && b != kNone && !s.height.IsAuto() && s.margin.top.IsAuto() && s.margin.bottom.IsAuto())
            y += std::max(0, cbh - t - b - mh) / 2;
        Place(k, x, y, owner);
    }
}

// ---- Intrinsic widths

void Layouter::ImageSize(Box* n, int avail, int* w, int* h) {
    const Style& s = n->style;
    if (!n->imageRead) {
        std::string src;
        n->imageIndex = GetAttr(n->node, "src", &src) && !Trim(src).empty()
                            ? m_doc.ImageFor(ResolveUrl(m_doc.Url(), src))
                            : -1;
        n->imageRead = true;
    }
    int natW = 0, natH = 0;
    if (n->imageIndex >= 0 && n->imageIndex < (int)m_doc.Images().size()) {
        natW = m_doc.Images()[n->imageIndex].width;
        natH = m_doc.Images()[n->imageIndex].height;
    }
    int iw = s.width.Resolve(avail, -1), ih = s.height.kind == Length::Px ? int(s.height.value) : -1;
    if (iw >= 0 && s.borderBox) iw = std::max(0, iw - s.border.left - s.border.right);
    if (iw < 0 && ih < 0) iw = natW, ih = natH;
    else if (iw < 0) iw = natH ? natW * ih / natH : ih;
    else if (ih < 0) ih = natW ? natH * iw / natW : iw;
    *w = std::min(iw, 100000);
    *h = std::min(ih, 100000);
}

// The width a box's content takes on one line (margin box), remembered until the subtree changes.
int Layouter::MaxContent(Box* n) {
    if (n->maxContent >= 0) return n->maxContent;
    int special = n->style.display == Display::Table || n->style.display == Display::InlineTable ? TableMaxContent(n)
                  : n->style.display == Display::Flex || n->style.display == Display::InlineFlex ? FlexMaxContent(n)
                                                                                                  : -1;
    if (special >= 0) return n->maxContent = special;
    const Style& s = n->style;
    const Edges m = s.margin.Resolve(0), p = s.padding.Resolve(0);
    const int frame = s.border.left + s.border.right + p.left + p.right;
    int inner = 0;
    if (s.width.kind == Length::Px) {
        inner = int(s.width.value) - (s.borderBox ? frame : 0);
    } else if (TagIs(n, "img")) {
        int h = 0;
        ImageSize(n, 100000, &inner, &h);
    } else {
        int line = 0;
        const bool space = m_widthSpace;
        m_widthSpace = false;
        for (auto& c : n->children) InlineWidth(c.get(), line, inner);
        m_widthSpace = space;
        inner = std::max(inner, line);
        if (!s.maxWidth.IsAuto() && s.maxWidth.kind == Length::Px)
            inner = std::min(inner, int(s.maxWidth.value) - (s.borderBox ? frame : 0));
    }
    if (s.minWidth.kind == Length::Px) inner = std::max(inner, int(s.minWidth.value) - (s.borderBox ? frame : 0));
    n->maxContent = std::max(0, std::min(100000, std::max(0, inner) + frame + m.left + m.right));
    return n->maxContent;
}

int Layouter::MinContent(Box* n) {
    if (n->minContent >= 0) return n->minContent;
    if (n->style.display == Display::Table || n->style.display == Display::InlineTable)
        return n->minContent = TableMinContent(n);
    const Style& s = n->style;
    const Edges m = s.margin.Resolve(0), p = s.padding.Resolve(0);
    const int frame = s.border.left + s.border.right + p.left + p.right;
    int inner = 0;
    if (s.width.kind == Length::Px) {
        inner = int(s.width.value) - (s.borderBox ? frame : 0);
    } else if (TagIs(n, "img") || s.display == Display::Table || s.display == Display::InlineTable ||
               s.display == Display::Flex || s.display == Display::InlineFlex) {
        inner = MaxContent(n) - frame - m.left - m.right;
        if (s.display != Display::Table && !TagIs(n, "img")) {
            // Tables and flex boxes: their widest piece, as their own files do not say.
            int line = 0, widest = 0;
            for (auto& c : n->children) InlineWidth(c.get(), line, widest, true);
            inner = std::max(widest, line);
        }
    } else {
        int line = 0;
        for (auto& c : n->children) InlineWidth(c.get(), line, inner, true);
        inner = std::max(inner, line);
    }
    if (s.minWidth.kind == Length::Px) inner = std::max(inner, int(s.minWidth.value) - (s.borderBox ? frame : 0));
    n->minContent = std::max(0, std::min(100000, std::max(0, inner) + frame + m.left + m.right));
    return n->minContent;
}

// Adds an inline box's width to the running line; blocks and breaks end the line. narrowest: every
// break opportunity is taken (min-content).
int Layouter::InlineWidth(Box* n, int& line, int& widest, bool narrowest) {
    const Style& s = n->style;
    if (s.display == Display::None) return 0;
    if (n->element && s.IsOutOfFlow()) return 0;
    if (!n->element) {
        const Style& o = n->parent ? n->parent->style : s;
        HFONT font = m_fonts.Get(o);
        const bool keep = o.whiteSpace == WhiteSpace::Pre || o.whiteSpace == WhiteSpace::PreWrap;
        const bool lines = keep || o.whiteSpace == WhiteSpace::PreLine;
        const bool wraps = o.whiteSpace != WhiteSpace::Nowrap && o.whiteSpace != WhiteSpace::Pre;
        if (narrowest && wraps) {
            // Every space and CJK character is a break: the line is only the current word.
            size_t i = 0;
            bool first = true;
            while (i < n->text.size()) {
                if (IsSpace(n->text[i])) {
                    widest = std::max(widest, line);
                    line = 0;
                    ++i;
                    continue;
                }
                if (!first) {
                    // Words that meet without a space break there (CJK).
                    widest = std::max(widest, line);
                    line = 0;
                }
                first = false;
                size_t e = WordEnd(n->text, i);
                line += Measure(font, n->text.substr(i, e - i), &o);
                i = e;
            }
            widest = std::max(widest, line);
            return 0;
        }
        if (lines) {
            size_t i = 0;
            while (i <= n->text.size()) {
                size_t e = n->text.find(L'\n', i);
                if (e == std::wstring::npos) e = n->text.size();
                std::wstring part = n->text.substr(i, e - i);
                if (!keep) part = CollapseSpaces(part);
                line += Measure(font, part, &o);
                if (e < n->text.size()) {
                    widest = std::max(widest, line);
                    line = 0;
                }
                i = e + 1;
            }
            widest = std::max(widest, line);
            return 0;
        }
        // Word by word as lines measure them, a space only between words, so that a box shrunk to
        // this width holds its text on one line.
        size_t i = 0;
        while (i < n->text.size()) {
            if (IsSpace(n->text[i])) {
                m_widthSpace = true;
                ++i;
                continue;
            }
            size_t e = WordEnd(n->text, i);
            line += Measure(font, (m_widthSpace && line > 0 ? L" " : L"") + n->text.substr(i, e - i), &o);
            m_widthSpace = false;
            i = e;
        }
        widest = std::max(widest, line);
        return 0;
    }
    if (TagIs(n, "br")) {
        widest = std::max(widest, line);
        line = 0;
        m_widthSpace = false;
        return 0;
    }
    if (m_widthSpace && line > 0 && (s.IsAtomicInline() || TagIs(n, "img")) && !BlockLevel(s) && n->parent) {
        // The space before an atomic inline is the parent's.
        const Style& o = n->parent->style;
        line += Measure(m_fonts.Get(o), L" ", &o);
    }
    if (s.IsAtomicInline() || TagIs(n, "img")) m_widthSpace = false;
    if (IsFormControl(n)) {
        line += FormControlOuterWidth(n, m_dc, m_fonts);
        widest = std::max(widest, line);
        m_widthSpace = false;
        return 0;
    }
    if (TagIs(n, "img") && !BlockLevel(s)) {
        int w = 0, h = 0;
        ImageSize(n, 100000, &w, &h);
        const Edges m = s.margin.Resolve(0), p = s.padding.Resolve(0);
        line += w + s.border.left + s.border.right + p.left + p.right + m.left + m.right;
        widest = std::max(widest, line);
        return 0;
    }
    if (s.floating != Float::None) {
        // Floats side by side at the widest, alone at the narrowest.
        if (narrowest) widest = std::max(widest, MinContent(n));
        else line += MaxContent(n);
        widest = std::max(widest, line);
        return 0;
    }
    if (BlockLevel(s)) {
        widest = std::max(widest, line);
        line = 0;
        widest = std::max(widest, narrowest ? MinContent(n) : MaxContent(n));
        return 0;
    }
    if (s.IsAtomicInline()) {
        if (narrowest) {
            widest = std::max(widest, line);
            line = 0;
        }
        line += narrowest ? MinContent(n) : MaxContent(n);
        widest = std::max(widest, line);
        return 0;
    }
    const Edges m = s.margin.Resolve(0), p = s.padding.Resolve(0);
    line += m.left + s.border.left + p.left;
    for (auto& c : n->children) InlineWidth(c.get(), line, widest, narrowest);
    line += m.right + s.border.right + p.right;
    widest = std::max(widest, line);
    return 0;
}

}  // namespace webview
