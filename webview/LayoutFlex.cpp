// Flex containers (display: flex and inline-flex). Their in-flow children become flex items laid
// along a main axis (the row or the column), broken into lines when the container wraps, sized by
// their flex factors within their min and max sizes (the freeze loop), ordered by `order` and
// aligned along both axes with justify-content, align-items/-self, align-content, gaps and auto
// margins. Items are laid out by Layouter::Sized at the sizes found here (images and form controls
// are drawn into the container's list directly); a run of text directly inside the container is
// one anonymous item, broken into lines like a block's text. Positioned children are not items:
// they wait for their containing block, as in flow.
//
// FlexLayout lives for one container's pass (or one intrinsic-width question) and owns nothing
// but its item records; the boxes stay the render tree's.
//
// Reuse: an item whose height the algorithm imposes (stretched, or flexed in a column) is measured
// at its own height, then laid out again at the imposed one. Its laidHeight is then set back to its
// own height, so that the next pass, keeping the item as it is, reads the size the item asks for
// without laying it out; the item is laid out again only when its subtree, its width or the
// imposed height changes.
#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <vector>

#include "FormControls.h"
#include "LayoutEngine.h"

namespace webview {

namespace {

const int kNone = INT_MAX / 4;  // no max size

bool IsRow(FlexDirection d) {
    return d == FlexDirection::Row || d == FlexDirection::RowReverse;
}

bool IsReverse(FlexDirection d) {
    return d == FlexDirection::RowReverse || d == FlexDirection::ColumnReverse;
}

bool IsFlex(const Style& s) {
    return s.display == Display::Flex || s.display == Display::InlineFlex;
}

bool AllSpace(const std::wstring& t) {
    for (wchar_t c : t)
        if (!IsSpace(c)) return false;
    return true;
}

// A border-box size from a length of the box's width or height (box-sizing decides whether the
// padding and border are in it); -1 for auto or what cannot be resolved.
int BorderSize(const Length& l, int containing, int frame, bool borderBox) {
    if (l.kind == Length::Auto || (l.kind == Length::Percent && containing < 0)) return -1;
    int v = l.Resolve(containing, 0);
    return borderBox ? std::max(v, frame) : std::max(0, v) + frame;
}

// Min wins over max, as the clamp of a box's size does.
float ClampF(float v, int lo, int hi) {
    return std::max(float(lo), std::min(v, float(hi)));
}

int Round(float v) {
    return int(std::floor(v + 0.5f));
}

}  // namespace

class FlexLayout {
public:
    explicit FlexLayout(Layouter& l) : m_l(l) {}

    int Content(Box* n, int x, int y, int width, Box* owner, int* used);
    // The container's max-content width (margin box), -1 to measure it as flow content.
    int MaxContent(Box* n);

private:
    struct Item {
        enum Kind { Flow, Image, Control, Text } kind = Flow;
        Box* box = nullptr;             // null for a text run
        std::vector<Box*> run;          // a text run's text boxes
        std::unique_ptr<Box> lines;     // a text run laid out, its top left at (0, 0)
        int linesWidth = -1;            // the width it was laid out at
        int order = 0;
        int ordinal = 0;                // list items: their number among the container's
        Edges m, pad;                   // auto margins are 0 here
        bool autoM[4] = {false, false, false, false};  // top right bottom left
        int frameW = 0, frameH = 0;     // padding and border
        int specW = -1, specH = -1;     // border box from width and height, -1 for auto
        int minW = 0, maxW = kNone, minH = 0, maxH = kNone;
        bool autoMinW = false, autoMinH = false;
        bool scroller = false;
        float grow = 0, shrink = 1;
        FlexAlign align = FlexAlign::Stretch;
        int intrinsicW = 0, intrinsicH = 0;  // images and controls: content box
        int maxContentW = -1, minContentW = -1;

        // Main axis: border-box sizes.
        int base = 0, hypo = 0, minMain = 0, maxMain = kNone;
        bool minMainKnown = true;
        float target = 0, violation = 0;
        bool frozen = false;
        int mainSize = 0;
        int mainPos = 0;
        // Cross axis.
        int crossSize = 0;
        int crossPos = 0;
        int baseline = 0;               // from the margin box's top
        int naturalH = -1;              // border height at naturalW with an auto height
        int naturalW = -1;
    };
    struct Line {
        size_t begin = 0, end = 0;      // its items
        int cross = 0;
        int crossPos = 0;
        int maxAbove = 0;               // baseline-aligned items: the most above the baseline
    };
    struct Frame;

    void SizeItems(std::vector<Item>& items, const Frame& f);
    std::vector<Line> BreakLines(std::vector<Item>& items, const Frame& f, int mainAvail);
    int SizeLines(std::vector<Item>& items, std::vector<Line>& lines, const Frame& f, FlexAlign alignContent);
    void AlignAcross(std::vector<Item>& items, const Line& line, const Frame& f, int containerCross);

    void Collect(Box* n, std::vector<Item>& items, std::vector<Box*>& outOfFlow);
    void Prepare(Item& it, const Style& cs, int width, int defH);
    int ContentMaxW(Item& it);
    int ContentMinW(Item& it);
    int NaturalHeight(Item& it, int borderW);
    int LayFlow(Item& it, int borderW, int borderH);
    int LayText(Item& it, int width);
    void Emit(Item& it, int bx, int by, int bw, int bh, Box* owner);
    int MinMain(Item& it, bool row);
    float ClampMain(Item& it, bool row, float v);
    void Resolve(std::vector<Item>& items, const Line& line, float avail, int gap, bool row);
    int PlaceAlong(std::vector<Item>& items, const Line& line, int mainAvail, int mainGap, bool row, bool reverse,
                   Justify justify);
    int Baseline(Item& it);
    bool FirstBaseline(const Box* b, int* out);
    int MinContent(Box* n, bool ownWidth = true);
    int TextMax(const std::vector<Box*>& run, const Box* styled);
    int Outer(const Item& it, bool row) const {
        return row ? it.m.left + it.m.right : it.m.top + it.m.bottom;
    }
    int OuterCross(const Item& it, bool row) const { return Outer(it, !row); }

    Layouter& m_l;
};

// ---- Items ----

void FlexLayout::Collect(Box* n, std::vector<Item>& items, std::vector<Box*>& outOfFlow) {
    bool inRun = false;
    int ordinal = 1;
    for (auto& c : n->children) {
        Box* k = c.get();
        if (!k->element) {
            if (!inRun) {
                items.emplace_back();
                items.back().kind = Item::Text;
                inRun = true;
            }
            items.back().run.push_back(k);
            continue;
        }
        if (inRun) {
            // Text that is only white space makes no item.
            bool blank = true;
            for (Box* t : items.back().run) blank = blank && AllSpace(t->text);
            if (blank) items.pop_back();
            inRun = false;
        }
        if (k->style.display == Display::None) continue;
        if (k->style.IsOutOfFlow()) {
            outOfFlow.push_back(k);
            continue;
        }
        items.emplace_back();
        Item& it = items.back();
        it.box = k;
        it.kind = k->tag == "img" ? Item::Image : IsFormControl(k) ? Item::Control : Item::Flow;
        it.order = k->style.order;
        if (k->style.display == Display::ListItem) it.ordinal = ordinal++;
    }
    if (inRun) {
        bool blank = true;
        for (Box* t : items.back().run) blank = blank && AllSpace(t->text);
        if (blank) items.pop_back();
    }
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.order < b.order; });
}

// Margins, frame, specified and limiting sizes against the container's content width and, when
// definite, its content height.
void FlexLayout::Prepare(Item& it, const Style& cs, int width, int defH) {
    it.align = cs.alignItems;
    if (!it.box) return;
    const Style& s = it.box->style;
    if (s.alignSelf != FlexAlign::Auto) it.align = s.alignSelf;
    it.m = s.margin.Resolve(width);
    it.autoM[0] = s.margin.top.IsAuto();
    it.autoM[1] = s.margin.right.IsAuto();
    it.autoM[2] = s.margin.bottom.IsAuto();
    it.autoM[3] = s.margin.left.IsAuto();
    it.pad = s.padding.Resolve(width);
    it.frameW = it.pad.left + it.pad.right + s.border.left + s.border.right;
    it.frameH = it.pad.top + it.pad.bottom + s.border.top + s.border.bottom;
    it.specW = BorderSize(s.width, width, it.frameW, s.borderBox);
    it.specH = BorderSize(s.height, defH, it.frameH, s.borderBox);
    // The cascade gives min-width and min-height auto as 0px: a zero minimum is taken as auto.
    it.autoMinW = s.minWidth.IsAuto() || (s.minWidth.kind == Length::Px && s.minWidth.value == 0);
    it.autoMinH = s.minHeight.IsAuto() || (s.minHeight.kind == Length::Px && s.minHeight.value == 0);
    it.minW = std::max(it.frameW, BorderSize(s.minWidth, width, it.frameW, s.borderBox));
    it.minH = std::max(it.frameH, BorderSize(s.minHeight, defH, it.frameH, s.borderBox));
    int mw = BorderSize(s.maxWidth, width, it.frameW, s.borderBox), mh = BorderSize(s.maxHeight, defH, it.frameH,
                                                                                       s.borderBox);
    it.maxW = mw < 0 ? kNone : mw;
    it.maxH = mh < 0 ? kNone : mh;
    it.scroller = s.ClipsX() || s.ClipsY();
    it.grow = s.flexGrow;
    it.shrink = s.flexShrink;
    if (it.kind == Item::Image) {
        m_l.ImageSize(it.box, width, &it.intrinsicW, &it.intrinsicH);
        // Images keep their own box model: width and height are the content box.
        it.specW = s.width.IsAuto() ? -1 : it.intrinsicW + it.frameW;
        it.specH = s.height.IsAuto() ? -1 : it.intrinsicH + it.frameH;
    } else if (it.kind == Item::Control) {
        SIZE c = FormControlSize(it.box, m_l.m_dc, m_l.m_fonts);
        it.intrinsicW = c.cx;
        it.intrinsicH = c.cy;
    }
}

// The border-box width the item's content takes on one line.
int FlexLayout::ContentMaxW(Item& it) {
    if (it.maxContentW >= 0) return it.maxContentW;
    int w = 0;
    switch (it.kind) {
    case Item::Text:
        w = TextMax(it.run, it.run.front()->parent);
        break;
    case Item::Image:
    case Item::Control:
        w = it.intrinsicW + it.frameW;
        if (it.specW >= 0) w = it.specW;
        break;
    case Item::Flow: {
        const Edges px = it.box->style.margin.Resolve(0);
        w = std::max(it.frameW, m_l.MaxContent(it.box) - px.left - px.right);
        break;
    }
    }
    return it.maxContentW = w;
}

// The border-box width below which the item's content overflows.
int FlexLayout::ContentMinW(Item& it) {
    if (it.minContentW >= 0) return it.minContentW;
    int w = 0;
    if (it.kind == Item::Text) {
        for (Box* t : it.run) w = std::max(w, MinContent(t));
    } else if (it.kind == Item::Flow) {
        const Edges px = it.box->style.margin.Resolve(0);
        w = std::max(it.frameW, MinContent(it.box, false) - px.left - px.right);
    } else {
        w = ContentMaxW(it);
    }
    return it.minContentW = std::min(w, ContentMaxW(it));
}

// The item's border height at a border width, its height auto.
int FlexLayout::NaturalHeight(Item& it, int borderW) {
    int h = 0;
    switch (it.kind) {
    case Item::Text:
        h = LayText(it, borderW);
        break;
    case Item::Image: {
        int cw = borderW - it.frameW;
        if (it.specH >= 0) h = it.specH;
        else if (it.box->imageIndex >= 0 && it.intrinsicW > 0) h = it.intrinsicH * cw / it.intrinsicW + it.frameH;
        else h = it.intrinsicH + it.frameH;
        break;
    }
    case Item::Control:
        h = it.specH >= 0 ? it.specH : it.intrinsicH + it.frameH;
        break;
    case Item::Flow:
        h = LayFlow(it, borderW, -1);
        it.naturalW = borderW;
        break;
    }
    it.naturalH = h;
    return h;
}

// Lays a block-level item out at a border-box width and, unless borderH is -1, height (Sized);
// returns its border height. Its own width, height and limits do not apply here: the algorithm
// has already applied them.
int FlexLayout::LayFlow(Item& it, int borderW, int borderH) {
    Box* b = it.box;
    const bool listItem = b->style.display == Display::ListItem;
    if (listItem) m_l.m_ordinal = it.ordinal;
    if (borderH < 0 && m_l.m_reuse && b->ownsList && !b->needsLayout && !b->keepsOut && b->laidWidth == -2 - borderW &&
        b->laidForcedHeight >= 0 && (!listItem || b->laidOrdinal == it.ordinal)) {
        // Laid out at a height it was given, which the next call keeps if it is the same: its
        // laidHeight is still its own (see the top of this file).
        return b->laidHeight - b->marginTop - b->marginBottom;
    }
    int h = m_l.Sized(b, borderW, borderH);
    return borderH >= 0 ? borderH : h - b->marginTop - b->marginBottom;
}

// Breaks a text run into lines at a width, into the item's own list; returns their height.
int FlexLayout::LayText(Item& it, int width) {
    if (it.lines && it.linesWidth == width) return it.lines->laidHeight;
    it.lines.reset(new Box());
    Box* into = it.lines.get();
    Box* styled = it.run.front()->parent;
    Layouter::Lines lines{};
    lines.width = width;
    lines.block = styled;
    if (styled) {
        lines.align = styled->style.align;
        m_l.Strut(styled->style, &lines.strutAbove, &lines.strutBelow);
    }
    for (Box* t : it.run) m_l.Inline(t, lines, into);
    m_l.Flush(lines, into, true);
    it.linesWidth = width;
    into->laidHeight = lines.y;
    into->firstBaseline = lines.firstBaseline;
    return lines.y;
}

// Puts an item laid out at its final size into owner's lists, its border box's top left at (bx, by).
void FlexLayout::Emit(Item& it, int bx, int by, int bw, int bh, Box* owner) {
    if (it.kind == Item::Flow) {
        Layouter::Place(it.box, bx - (it.box->border.left), by - it.box->marginTop, owner);
        return;
    }
    if (it.kind == Item::Text) {
        LayText(it, bw);
        for (PaintItem& p : it.lines->items) {
            OffsetRect(&p.rc, bx, by);
            owner->items.push_back(std::move(p));
        }
        for (HitBox& h : it.lines->hits) {
            OffsetRect(&h.rc, bx, by);
            owner->hits.push_back(h);
        }
        it.lines.reset();
        return;
    }
    Box* b = it.box;
    ++m_l.m_tree.laidOut;
    RECT box{bx, by, bx + bw, by + bh};
    PaintItem decor;
    decor.kind = it.kind == Item::Image ? PaintItem::Decor : PaintItem::Control;
    decor.rc = box;
    decor.box = b;
    owner->items.push_back(decor);
    if (it.kind == Item::Image) {
        const Edges& bd = b->style.border;
        PaintItem pic;
        pic.kind = PaintItem::Picture;
        pic.image = b->imageIndex;
        pic.rc = RECT{box.left + bd.left + it.pad.left, box.top + bd.top + it.pad.top,
                      box.right - bd.right - it.pad.right, box.bottom - bd.bottom - it.pad.bottom};
        owner->items.push_back(pic);
    }
    owner->hits.push_back(HitBox{box, b->node});
    b->border = box;
    b->needsLayout = false;
    b->ownsList = false;
}

// ---- Main sizes ----

// The item's min main size; an auto one is its content's minimum (not for scroll containers),
// at most its specified size and its max size.
int FlexLayout::MinMain(Item& it, bool row) {
    if (it.minMainKnown) return it.minMain;
    it.minMainKnown = true;
    int content = row ? ContentMinW(it) : it.naturalH;
    int spec = row ? it.specW : it.specH;
    if (spec >= 0) content = std::min(content, spec);
    it.minMain = std::max(it.minMain, std::min(content, it.maxMain));
    return it.minMain;
}

float FlexLayout::ClampMain(Item& it, bool row, float v) {
    // An automatic minimum is never above the content's max-content size: below that it is not needed.
    int lo = it.minMain;
    if (!it.minMainKnown && (!row || v < ContentMaxW(it))) lo = MinMain(it, row);
    return ClampF(v, lo, it.maxMain);
}

// Sizes the items of one line along the main axis: grows or shrinks them by their factors into
// the available space, freezing those that reach their min or max size.
void FlexLayout::Resolve(std::vector<Item>& items, const Line& line, float avail, int gap, bool row) {
    float gaps = float(gap) * float(line.end - line.begin - 1);
    float hypo = gaps;
    for (size_t i = line.begin; i < line.end; ++i) hypo += items[i].hypo + Outer(items[i], row);
    const bool growing = hypo < avail;
    for (size_t i = line.begin; i < line.end; ++i) {
        Item& it = items[i];
        float f = growing ? it.grow : it.shrink;
        it.frozen = f == 0 || (growing && it.base > it.hypo) || (!growing && it.base < it.hypo);
        it.target = it.frozen ? float(it.hypo) : float(it.base);
    }
    auto freeSpace = [&] {
        float taken = gaps;
        for (size_t i = line.begin; i < line.end; ++i)
            taken += (items[i].frozen ? items[i].target : float(items[i].base)) + Outer(items[i], row);
        return avail - taken;
    };
    const float initial = freeSpace();
    for (size_t round = 0; round <= line.end - line.begin; ++round) {
        float factors = 0, scaled = 0;
        bool open = false;
        for (size_t i = line.begin; i < line.end; ++i) {
            Item& it = items[i];
            if (it.frozen) continue;
            open = true;
            factors += growing ? it.grow : it.shrink;
            scaled += it.shrink * float(it.base - (row ? it.frameW : it.frameH));
        }
        if (!open) break;
        float free = freeSpace();
        if (factors < 1) {
            float part = initial * factors;
            if (std::fabs(part) < std::fabs(free)) free = part;
        }
        float total = 0;
        for (size_t i = line.begin; i < line.end; ++i) {
            Item& it = items[i];
            if (it.frozen) continue;
            float t = float(it.base);
            if (growing && factors > 0) t += free * it.grow / factors;
            else if (!growing && scaled > 0)
                t += free * it.shrink * float(it.base - (row ? it.frameW : it.frameH)) / scaled;
            float c = ClampMain(it, row, t);
            it.violation = c - t;
            it.target = c;
            total += it.violation;
        }
        for (size_t i = line.begin; i < line.end; ++i) {
            Item& it = items[i];
            if (it.frozen) continue;
            if (total == 0 || (total > 0 && it.violation > 0) || (total < 0 && it.violation < 0)) it.frozen = true;
        }
    }
}

// Places one line's items along the main axis: auto margins take the free space first, else
// justify-content spreads it. Edges are rounded where they fall, so sizes add up to the line's.
int FlexLayout::PlaceAlong(std::vector<Item>& items, const Line& line, int mainAvail, int mainGap, bool row,
                           bool reverse, Justify justify) {
    float free = float(mainAvail);
    int autos = 0;
    for (size_t i = line.begin; i < line.end; ++i) {
        Item& it = items[i];
        free -= it.target + float(Outer(it, row));
        autos += row ? int(it.autoM[3]) + int(it.autoM[1]) : int(it.autoM[0]) + int(it.autoM[2]);
    }
    size_t count = line.end - line.begin;
    free -= float(mainGap) * float(count - 1);
    float lead = 0, between = 0, autoShare = 0;
    if (autos && free > 0) {
        autoShare = free / float(autos);
    } else {
        switch (justify) {
        case Justify::FlexEnd: lead = free; break;
        case Justify::Center: lead = free / 2; break;
        case Justify::SpaceBetween:
            if (free > 0 && count > 1) between = free / float(count - 1);
            break;
        case Justify::SpaceAround:
            if (free > 0) between = free / float(count), lead = between / 2;
            else lead = free / 2;
            break;
        case Justify::SpaceEvenly:
            if (free > 0) between = lead = free / float(count + 1);
            else lead = free / 2;
            break;
        default: break;
        }
    }
    float pos = lead;
    int used = 0;
    for (size_t i = line.begin; i < line.end; ++i) {
        Item& it = items[i];
        bool autoBefore = row ? (reverse ? it.autoM[1] : it.autoM[3]) : (reverse ? it.autoM[2] : it.autoM[0]);
        bool autoAfter = row ? (reverse ? it.autoM[3] : it.autoM[1]) : (reverse ? it.autoM[0] : it.autoM[2]);
        int before = row ? (reverse ? it.m.right : it.m.left) : (reverse ? it.m.bottom : it.m.top);
        int after = row ? (reverse ? it.m.left : it.m.right) : (reverse ? it.m.top : it.m.bottom);
        if (autoBefore) pos += autoShare;
        pos += float(before);
        int start = Round(pos), end = Round(pos + it.target);
        it.mainSize = std::max(end - start, row ? it.frameW : it.frameH);
        it.mainPos = reverse ? mainAvail - start - it.mainSize : start;
        pos += it.target + float(after + mainGap) + between;
        if (autoAfter) pos += autoShare;
        used = std::max(used, end + after);
    }
    return used;
}

// ---- Baselines ----

// The baseline of the first line of text in b's list, from its origin.
bool FlexLayout::FirstBaseline(const Box* b, int* out) {
    for (const PaintItem& p : b->items) {
        if (p.kind == PaintItem::Text && p.font) {
            *out = p.rc.top + m_l.m_fonts.Ascent(m_l.m_dc, p.font);
            return true;
        }
        if (p.kind == PaintItem::Child && p.box) {
            int inner = 0;
            if (FirstBaseline(p.box, &inner)) {
                *out = inner + p.box->origin.y;
                return true;
            }
        }
    }
    return false;
}

// An item's baseline from its margin box's top, laid out at its natural size; one without text
// has its border box's bottom as its baseline.
int FlexLayout::Baseline(Item& it) {
    int b = 0;
    if (it.kind == Item::Flow && it.box->firstBaseline >= 0) return it.box->firstBaseline;
    if (it.kind == Item::Flow && FirstBaseline(it.box, &b)) return b;
    if (it.kind == Item::Text && it.lines && it.lines->firstBaseline >= 0) return it.lines->firstBaseline;
    return it.m.top + it.crossSize;
}

// ---- Intrinsic widths ----

// A run of text on one line, its white space collapsed and trimmed: word by word, as lines are
// filled, so that the run laid out at this width stays on one line.
int FlexLayout::TextMax(const std::vector<Box*>& run, const Box* styled) {
    if (!styled) return 0;
    const Style& s = styled->style;
    HFONT font = m_l.m_fonts.Get(s);
    int w = 0;
    bool space = false, first = true;
    for (Box* t : run) {
        const std::wstring& text = t->text;
        size_t i = 0;
        while (i < text.size()) {
            if (IsSpace(text[i])) {
                space = true;
                ++i;
                continue;
            }
            size_t e = i + 1;
            if (!IsCjk(text[i]))
                while (e < text.size() && !IsSpace(text[e]) && !IsCjk(text[e])) ++e;
            w += m_l.Measure(font, (space && !first ? L" " : L"") + text.substr(i, e - i), &s);
            space = first = false;
            i = e;
        }
    }
    return w;
}

// The narrowest margin-box width n's content fits in without overflowing; ownWidth false: its
// content's, whatever width n is given. The flow's measure, but for flex containers, whose items
// on one line do not break.
int FlexLayout::MinContent(Box* n, bool ownWidth) {
    if (!n->element) {
        int line = 0, widest = 0;
        m_l.InlineWidth(n, line, widest, true);
        return std::max(line, widest);
    }
    const Style& s = n->style;
    if (s.display == Display::None || s.IsOutOfFlow()) return 0;
    if (ownWidth && !IsFlex(s)) return m_l.MinContent(n);
    const Edges m = s.margin.Resolve(0), p = s.padding.Resolve(0);
    const int frame = p.left + p.right + s.border.left + s.border.right, outer = m.left + m.right;
    if (ownWidth && s.width.kind == Length::Px) return BorderSize(s.width, 0, frame, s.borderBox) + outer;
    int inner = 0;
    if (IsFlex(s)) {
        // One line of items needs them all side by side; otherwise the widest.
        bool side = IsRow(s.flexDirection) && s.flexWrap == FlexWrap::Nowrap;
        int count = 0;
        for (auto& c : n->children) {
            Box* k = c.get();
            if (k->element && (k->style.display == Display::None || k->style.IsOutOfFlow())) continue;
            if (!k->element && AllSpace(k->text)) continue;
            int w = MinContent(k, true);
            inner = side ? inner + w : std::max(inner, w);
            ++count;
        }
        if (side && count > 1) inner += s.columnGap * (count - 1);
    } else {
        int line = 0;
        for (auto& c : n->children) m_l.InlineWidth(c.get(), line, inner, true);
        inner = std::max(inner, line);
    }
    if (ownWidth && s.minWidth.kind == Length::Px)
        inner = std::max(inner, BorderSize(s.minWidth, 0, frame, s.borderBox) - frame);
    if (ownWidth && s.maxWidth.kind == Length::Px)
        inner = std::min(inner, BorderSize(s.maxWidth, 0, frame, s.borderBox) - frame);
    return std::max(0, inner) + frame + outer;
}

int FlexLayout::MaxContent(Box* n) {
    const Style& s = n->style;
    if (s.width.kind == Length::Px) return -1;
    std::vector<Item> items;
    std::vector<Box*> outOfFlow;
    Collect(n, items, outOfFlow);
    bool row = IsRow(s.flexDirection);
    int inner = 0;
    for (Item& it : items) {
        Prepare(it, s, 0, -1);
        int w = ContentMaxW(it);
        if (it.kind == Item::Flow && it.specW >= 0) w = it.specW;
        w = std::max(it.minW, std::min(w, it.maxW)) + it.m.left + it.m.right;
        inner = row ? inner + w : std::max(inner, w);
    }
    if (row && items.size() > 1) inner += s.columnGap * int(items.size() - 1);
    const Edges m = s.margin.Resolve(0), p = s.padding.Resolve(0);
    return std::min(100000, inner + p.left + p.right + s.border.left + s.border.right + m.left + m.right);
}

// ---- The container ----

// The container's axes and content box for one pass.
struct FlexLayout::Frame {
    bool row = true, reverse = false, wrap = false, wrapReverse = false;
    int mainGap = 0, crossGap = 0;
    int width = 0;                  // content width
    int defH = -1;                  // content height when its style fixes it, else -1
    int minCH = 0, maxCH = kNone;   // content height limits
    int mainDef = -1;               // main size when definite, else -1
};

// The items' flex base sizes and hypothetical main sizes (and a column's items' widths first:
// their heights depend on them).
void FlexLayout::SizeItems(std::vector<Item>& items, const Frame& f) {
    const bool row = f.row;
    if (!row) {
        for (Item& it : items) {
            int avail = std::max(0, f.width - it.m.left - it.m.right);
            int w;
            if (it.specW >= 0) {
                w = it.specW;
            } else if (it.align == FlexAlign::Stretch && !f.wrap && !it.autoM[1] && !it.autoM[3]) {
                w = avail;
            } else {
                // Fit-content; stretched ones of a wrapping column are stretched to their line later.
                w = ContentMaxW(it);
                if (w > avail) w = std::max(ContentMinW(it), avail);
            }
            it.crossSize = int(ClampF(float(w), it.minW, it.maxW));
        }
    }
    for (Item& it : items) {
        const Style* is = it.box ? &it.box->style : nullptr;
        const int frame = row ? it.frameW : it.frameH;
        int base = -1;
        if (!row) NaturalHeight(it, it.crossSize);
        if (is && !is->flexBasisContent) {
            if (is->flexBasis.kind != Length::Auto)
                base = BorderSize(is->flexBasis, f.mainDef, frame, is->borderBox);
            else if (it.kind == Item::Flow)
                base = row ? it.specW : it.specH;
        }
        if (base < 0 && row && is && is->flexBasisContent && it.kind == Item::Flow && it.specW >= 0) {
            // Its content's width, not the width it is given.
            int line = 0, widest = 0;
            std::vector<Box*> text;
            for (auto& c : it.box->children) {
                m_l.InlineWidth(c.get(), line, widest);
                if (!c->element) text.push_back(c.get());
            }
            if (text.size() == it.box->children.size()) widest = TextMax(text, it.box);
            base = std::max(line, widest) + it.frameW;
        }
        if (base < 0) base = row ? ContentMaxW(it) : it.naturalH;
        it.base = std::max(base, frame);
        it.maxMain = row ? it.maxW : it.maxH;
        it.minMain = row ? it.minW : it.minH;
        it.minMainKnown = !(it.kind == Item::Text || ((row ? it.autoMinW : it.autoMinH) && !it.scroller));
        it.hypo = Round(ClampMain(it, row, float(it.base)));
    }
}

// Breaks the items into lines of the main space (one line unless the container wraps).
std::vector<FlexLayout::Line> FlexLayout::BreakLines(std::vector<Item>& items, const Frame& f, int mainAvail) {
    std::vector<Line> lines;
    Line line;
    int taken = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        int outer = items[i].hypo + Outer(items[i], f.row);
        if (f.wrap && i > line.begin && taken + f.mainGap + outer > mainAvail) {
            line.end = i;
            lines.push_back(line);
            line = Line();
            line.begin = i;
            taken = 0;
        }
        taken += (i > line.begin ? f.mainGap : 0) + outer;
    }
    line.end = items.size();
    if (!items.empty()) lines.push_back(line);
    return lines;
}

// The lines' cross sizes and places (align-content); returns the container's cross size.
int FlexLayout::SizeLines(std::vector<Item>& items, std::vector<Line>& lines, const Frame& f, FlexAlign alignContent) {
    const bool row = f.row;
    int sum = 0;
    for (Line& line : lines) {
        int above = 0, below = 0, cross = 0;
        for (size_t i = line.begin; i < line.end; ++i) {
            Item& it = items[i];
            if (row && it.align == FlexAlign::Baseline && !it.autoM[0] && !it.autoM[2]) {
                above = std::max(above, it.baseline);
                below = std::max(below, it.m.top + it.crossSize + it.m.bottom - it.baseline);
            } else {
                cross = std::max(cross, it.crossSize + OuterCross(it, row));
            }
        }
        line.cross = std::max(cross, above + below);
        line.maxAbove = above;
        sum += line.cross;
    }
    if (lines.size() > 1) sum += f.crossGap * int(lines.size() - 1);
    const bool definite = !row || f.defH >= 0;
    int cross = !row ? f.width : definite ? f.defH : int(ClampF(float(sum), f.minCH, f.maxCH));
    if (!f.wrap && lines.size() == 1) {
        // A single line is as thick as the container.
        lines[0].cross = definite ? cross : int(ClampF(float(lines[0].cross), f.minCH, f.maxCH));
        return lines[0].cross;
    }
    float free = float(cross - sum), lead = 0, between = 0;
    size_t count = lines.size();
    FlexAlign ac = f.wrap ? alignContent : FlexAlign::FlexStart;
    if (ac == FlexAlign::Stretch && free > 0 && count) {
        float extra = free / float(count), acc = 0;
        for (Line& line : lines) {
            float next = acc + extra;
            line.cross += Round(next) - Round(acc);
            acc = next;
        }
    } else if (ac == FlexAlign::FlexEnd) {
        lead = free;
    } else if (ac == FlexAlign::Center) {
        lead = free / 2;
    } else if (ac == FlexAlign::SpaceBetween && free > 0 && count > 1) {
        between = free / float(count - 1);
    } else if (ac == FlexAlign::SpaceAround && count) {
        if (free > 0) between = free / float(count), lead = between / 2;
        else lead = free / 2;
    }
    float pos = lead;
    for (Line& line : lines) {
        line.crossPos = Round(pos);
        pos += float(line.cross + f.crossGap) + between;
    }
    return cross;
}

// Sizes (stretch) and places one line's items across it: auto margins first, else align-self.
void FlexLayout::AlignAcross(std::vector<Item>& items, const Line& line, const Frame& f, int containerCross) {
    const bool row = f.row;
    for (size_t i = line.begin; i < line.end; ++i) {
        Item& it = items[i];
        // The cross-start and -end margins, as wrap-reverse turns the axis.
        bool autoBefore = row ? it.autoM[0] : it.autoM[3], autoAfter = row ? it.autoM[2] : it.autoM[1];
        int before = row ? it.m.top : it.m.left, after = row ? it.m.bottom : it.m.right;
        if (f.wrapReverse) {
            std::swap(autoBefore, autoAfter);
            std::swap(before, after);
        }
        bool fixedCross = row ? it.specH >= 0 : it.specW >= 0;
        if (it.align == FlexAlign::Stretch && !fixedCross && !autoBefore && !autoAfter) {
            it.crossSize = int(ClampF(float(line.cross - before - after), row ? it.minH : it.minW,
                                      row ? it.maxH : it.maxW));
        }
        int free = line.cross - before - after - it.crossSize;
        int offset = before;
        if (autoBefore || autoAfter) {
            int share = std::max(0, free);
            offset += autoBefore && autoAfter ? share / 2 : autoBefore ? share : 0;
        } else if (it.align == FlexAlign::FlexEnd) {
            offset += free;
        } else if (it.align == FlexAlign::Center) {
            offset += free / 2;
        } else if (it.align == FlexAlign::Baseline && row && !f.wrapReverse) {
            offset = line.maxAbove - it.baseline + it.m.top;
        }
        int logical = line.crossPos + offset;
        it.crossPos = f.wrapReverse ? containerCross - logical - it.crossSize : logical;
    }
}

int FlexLayout::Content(Box* n, int x, int y, int width, Box* owner, int* used) {
    const Style& s = n->style;
    Frame f;
    f.row = IsRow(s.flexDirection);
    f.reverse = IsReverse(s.flexDirection);
    f.wrap = s.flexWrap != FlexWrap::Nowrap;
    f.wrapReverse = s.flexWrap == FlexWrap::WrapReverse;
    f.mainGap = f.row ? s.columnGap : s.rowGap;
    f.crossGap = f.row ? s.rowGap : s.columnGap;
    f.width = width;
    const int frameH = s.padding.top.Resolve(width, 0) + s.padding.bottom.Resolve(width, 0) + s.border.top +
                       s.border.bottom;
    f.minCH = std::max(0, BorderSize(s.minHeight, -1, frameH, s.borderBox) - frameH);
    int maxCH = BorderSize(s.maxHeight, -1, frameH, s.borderBox);
    f.maxCH = maxCH < 0 ? kNone : maxCH - frameH;
    // Its content height when definite (its own height, or one it was given: a stretched item's).
    f.defH = m_l.m_cbHeight;
    f.mainDef = f.row ? width : f.defH;
    const bool row = f.row;

    std::vector<Item> items;
    std::vector<Box*> outOfFlow;
    Collect(n, items, outOfFlow);
    for (Item& it : items) Prepare(it, s, width, f.defH);
    SizeItems(items, f);

    // The main space: the container's, or for a column of auto height the items' own.
    int mainAvail = f.mainDef;
    if (mainAvail < 0) {
        int sum = 0;
        for (Item& it : items) sum += it.hypo + Outer(it, row);
        if (items.size() > 1) sum += f.mainGap * int(items.size() - 1);
        mainAvail = int(ClampF(float(sum), f.minCH, f.maxCH));
    }
    std::vector<Line> lines = BreakLines(items, f, mainAvail);

    // Main sizes and places, and the cross sizes they give.
    int usedMain = 0, usedCross = 0;
    for (Line& line : lines) {
        Resolve(items, line, float(mainAvail), f.mainGap, row);
        usedMain = std::max(usedMain, PlaceAlong(items, line, mainAvail, f.mainGap, row, f.reverse, s.justifyContent));
        if (!row) continue;
        for (size_t i = line.begin; i < line.end; ++i) {
            Item& it = items[i];
            int h = NaturalHeight(it, it.mainSize);
            if (it.specH >= 0) h = it.specH;
            it.crossSize = int(ClampF(float(h), it.minH, it.maxH));
            if (it.align == FlexAlign::Baseline) it.baseline = Baseline(it);
        }
    }
    const int containerCross = SizeLines(items, lines, f, s.alignContent);
    for (Line& line : lines) {
        AlignAcross(items, line, f, containerCross);
        usedCross = std::max(usedCross, line.crossPos + line.cross);
    }

    // Final layout at the resolved sizes, into the container's list in order.
    for (Item& it : items) {
        int bw = row ? it.mainSize : it.crossSize, bh = row ? it.crossSize : it.mainSize;
        int bx = row ? it.mainPos : it.crossPos, by = row ? it.crossPos : it.mainPos;
        if (it.kind == Item::Flow) {
            Box* b = it.box;
            // Laid out just now at this very size, its height its own: kept as it is.
            bool natural = bw == it.naturalW && bh == it.naturalH && b->laidForcedHeight < 0 && !b->needsLayout &&
                           b->laidWidth == -2 - bw && (b->style.display != Display::ListItem ||
                                                       b->laidOrdinal == it.ordinal);
            if (!natural) {
                LayFlow(it, bw, bh);
                // What the next pass starts from: the item at its own height.
                if (bw == it.naturalW && it.naturalH >= 0)
                    b->laidHeight = it.naturalH + b->marginTop + b->marginBottom;
            }
        }
        Emit(it, x + bx, y + by, bw, bh, owner);
    }

    // Positioned children wait for their containing block, from the content's top left.
    if (!outOfFlow.empty()) {
        Layouter::Lines lines{};
        lines.x = x;
        lines.y = y;
        for (Box* k : outOfFlow) m_l.DeferOutOfFlow(k, lines, owner);
    }

    if (used) *used = row ? std::min(usedMain, 100000) : usedCross;
    return row ? containerCross : mainAvail;
}

int Layouter::FlexContent(Box* n, int x, int y, int width, Box* owner, int* used) {
    FlexLayout flex(*this);
    return flex.Content(n, x, y, width, owner, used);
}

int Layouter::FlexMaxContent(Box* n) {
    FlexLayout flex(*this);
    return flex.MaxContent(n);
}

}  // namespace webview
