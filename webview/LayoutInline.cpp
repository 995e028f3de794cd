// Inline formatting: text broken into words and lines (white-space, letter- and word-spacing),
// atomic inlines (images, inline-blocks, form controls), line boxes with their baseline and
// vertical-align, text-align and text-indent, inline elements' padding, borders and backgrounds,
// and list markers.
#include <algorithm>
#include <cstdlib>

#include "FormControls.h"
#include "LayoutEngine.h"
#include "Text.h"

namespace webview {

namespace {

std::wstring Roman(int n, bool upper) {
    static const struct {
        int v;
        const wchar_t* s;
    } kDigits[] = {{1000, L"m"}, {900, L"cm"}, {500, L"d"}, {400, L"cd"}, {100, L"c"}, {90, L"xc"}, {50, L"l"},
                   {40, L"xl"},  {10, L"x"},   {9, L"ix"},  {5, L"v"},    {4, L"iv"},  {1, L"i"}};
    if (n <= 0 || n >= 4000) return std::to_wstring(n);
    std::wstring r;
    for (const auto& d : kDigits)
        while (n >= d.v) r += d.s, n -= d.v;
    if (upper)
        for (wchar_t& c : r) c = (wchar_t)towupper(c);
    return r;
}

std::wstring Alpha(int n, bool upper) {
    if (n <= 0) return std::to_wstring(n);
    std::wstring r;
    while (n > 0) {
        --n;
        r.insert(r.begin(), (wchar_t)((upper ? L'A' : L'a') + n % 26));
        n /= 26;
    }
    return r;
}

bool Wraps(WhiteSpace w) {
    return w != WhiteSpace::Nowrap && w != WhiteSpace::Pre;
}

}  // namespace

std::wstring MarkerText(ListStyle style, int ordinal) {
    switch (style) {
        case ListStyle::Disc: return L"\x2022";
        case ListStyle::Circle: return L"\x25E6";
        case ListStyle::Square: return L"\x25AA";
        case ListStyle::Decimal: return std::to_wstring(ordinal) + L".";
        case ListStyle::LowerAlpha: return Alpha(ordinal, false) + L".";
        case ListStyle::UpperAlpha: return Alpha(ordinal, true) + L".";
        case ListStyle::LowerRoman: return Roman(ordinal, false) + L".";
        case ListStyle::UpperRoman: return Roman(ordinal, true) + L".";
        default: return std::wstring();
    }
}

std::wstring CollapseSpaces(const std::wstring& s) {
    std::wstring r;
    r.reserve(s.size());
    bool space = false;
    for (wchar_t c : s) {
        if (IsSpace(c)) {
            space = true;
            continue;
        }
        if (space) r += L' ';
        space = false;
        r += c;
    }
    if (space) r += L' ';
    return r;
}

int Layouter::Measure(HFONT f, const std::wstring& s, const Style* st) {
    int w = m_fonts.Width(m_dc, f, s.data(), s.size());
    if (st && (st->letterSpacing || st->wordSpacing)) {
        for (wchar_t c : s) {
            w += st->letterSpacing;
            if (c == L' ') w += st->wordSpacing;
        }
    }
    return w;
}

// A style's line box share around the baseline: its font's ascent and descent with half of what
// its line-height adds (or takes) on either side.
void Layouter::TextExtents(const Style& s, HFONT font, int* above, int* below, int* ascent, int* height) {
    const int asc = m_fonts.Ascent(m_dc, font), desc = m_fonts.Descent(m_dc, font);
    int lh = s.lineHeightPx >= 0        ? s.lineHeightPx
             : s.lineHeightFactor > 0 ? int(s.lineHeightFactor * s.fontSize + 0.5f)
                                      : m_fonts.LineHeight(m_dc, font);
    int lead = lh - (asc + desc);
    int half = lead >= 0 ? lead / 2 : -((-lead + 1) / 2);
    *above = asc + half;
    *below = lh - *above;
    *ascent = asc;
    *height = asc + desc;
}

void Layouter::Strut(const Style& s, int* above, int* below) {
    int ascent = 0, height = 0;
    TextExtents(s, m_fonts.Get(s), above, below, &ascent, &height);
}

// How far vertical-align raises a box whose extents around its baseline are above and below, in
// a parent of style parent.
int Layouter::RaiseOf(const Style& s, const Style& parent, int above, int below) {
    switch (s.verticalAlign) {
        case VerticalAlign::Sub: return -(parent.fontSize / 5 + 1);
        case VerticalAlign::Super: return parent.fontSize / 3 + 1;
        case VerticalAlign::Length: return s.verticalShift;
        case VerticalAlign::Middle: {
            int xHeight = parent.fontSize / 2;
            return xHeight / 2 - (above - below) / 2;
        }
        case VerticalAlign::TextTop: {
            HFONT f = m_fonts.Get(parent);
            return m_fonts.Ascent(m_dc, f) - above;
        }
        case VerticalAlign::TextBottom: {
            HFONT f = m_fonts.Get(parent);
            return below - m_fonts.Descent(m_dc, f);
        }
        default: return 0;
    }
}

void Layouter::ApplyPending(Lines& lines) {
    if (!(lines.atTop && lines.topOpen)) lines.y += lines.pending;
    lines.pending = 0;
    lines.atTop = false;
}

// Opens a line: its free span beside the floats, moved down past them while need does not fit.
void Layouter::StartLine(Lines& lines, int need) {
    if (lines.started) return;
    ApplyPending(lines);
    lines.started = true;
    const int x0 = lines.x, x1 = lines.x + lines.width;
    lines.left = x0;
    lines.right = x1;
    if (m_floats && m_floats->Bottom() > lines.y + m_oy) {
        const int h = lines.strutAbove + lines.strutBelow;
        int l = 0, r = 0;
        for (;;) {
            m_floats->Span(lines.y + m_oy, h, x0 + m_ox, x1 + m_ox, &l, &r);
            if (r - l >= need || (l == x0 + m_ox && r == x1 + m_ox)) break;
            int nb = m_floats->NextBottom(lines.y + m_oy);
            if (nb == INT_MAX) break;
            lines.y = nb - m_oy;
        }
        lines.left = l - m_ox;
        lines.right = r - m_ox;
    }
    lines.cursor = lines.lead = lines.firstLine ? lines.indent : 0;
}

// Where a form control sits on the line, as browsers place them: one that shows a line of text
// (fields, buttons, a closed select) on that text's baseline; a checkbox or radio on its border
// box's bottom, its bottom margin below; the rest (text areas, list boxes) on their margin box's
// bottom. box: its border box in its margin box's coordinates.
void Layouter::ControlBaseline(const Box* n, const RECT& box, int* above, int* below) {
    const Style& s = n->style;
    std::string type;
    if (TagIs(n, "input")) {
        GetAttr(n->node, "type", &type);
        type = ToLower(Trim(type));
    }
    if (type == "checkbox" || type == "radio") {
        *above = box.bottom;
        *below = s.margin.Resolve(0).bottom;
        return;
    }
    std::string multiple, size;
    bool listBox = GetAttr(n->node, "multiple", &multiple) ||
                   (GetAttr(n->node, "size", &size) && strtol(size.c_str(), nullptr, 10) > 1);
    bool textLine = TagIs(n, "input") ? type != "file" && type != "range" && type != "image"
                    : TagIs(n, "select") && !listBox;
    if (!textLine) return;
    HFONT f = m_fonts.Get(s);
    const int ascent = m_fonts.Ascent(m_dc, f), line = ascent + m_fonts.Descent(m_dc, f);
    const Edges p = s.padding.Resolve(0), &b = s.border;
    const int content = (box.bottom - box.top) - b.top - b.bottom - p.top - p.bottom;
    const int base = box.top + b.top + p.top + (content - line) / 2 + ascent;
    const int total = *above + *below;
    *above = base;
    *below = total - base;
}

void Layouter::Inline(Box* n, Lines& lines, Box* owner) {
    if (!n->element) {
        // Its pieces are hit as the element that holds the text.
        AddText(n->text, n->parent, n->parent ? n->parent->node : n->node, lines, owner);
        return;
    }
    const Style& s = n->style;
    if (s.display == Display::None) return;
    const Style& ps = n->parent ? n->parent->style : s;
    if (s.IsOutOfFlow()) {
        DeferOutOfFlow(n, lines, owner);
        return;
    }
    if (s.floating != Float::None) {
        FlowFloat(n, lines, owner);
        return;
    }
    if (TagIs(n, "br")) {
        StartLine(lines, 0);
        LineItem strut;
        strut.atomic = true;
        Strut(s, &strut.above, &strut.below);
        // Its box is an empty glyph's: no width, the font's height, on the line it ends.
        HFONT font = m_fonts.Get(s);
        int ascent = m_fonts.Ascent(m_dc, font), glyphTop = strut.above - ascent;
        strut.pieceHits.push_back(
            HitBox{RECT{0, glyphTop, 0, glyphTop + ascent + m_fonts.Descent(m_dc, font)}, n->node});
        strut.hidden = s.hidden;
        lines.items.push_back(std::move(strut));
        Flush(lines, owner, true);
        return;
    }
    if (TagIs(n, "img") || IsFormControl(n)) {
        PendingSpace(lines, ps, owner);
        ++m_tree.laidOut;
        LineItem it;
        it.atomic = true;
        it.node = n->node;
        it.box = n;
        it.style = &s;
        it.hidden = s.hidden;
        const Edges &b = s.border, m = s.margin.Resolve(lines.width), p = s.padding.Resolve(lines.width);
        PaintItem main;
        RECT box;
        if (TagIs(n, "img")) {
            int w = 0, h = 0;
            ImageSize(n, lines.width, &w, &h);
            box = RECT{m.left, m.top, m.left + b.left + p.left + w + p.right + b.right,
                       m.top + b.top + p.top + h + p.bottom + b.bottom};
            main.kind = PaintItem::Picture;
            main.image = n->imageIndex;
            main.rc = RECT{box.left + b.left + p.left, box.top + b.top + p.top, box.left + b.left + p.left + w,
                           box.top + b.top + p.top + h};
        } else {
            SIZE size = FormControlBorderSize(n, lines.width, m_dc, m_fonts);
            box = RECT{m.left, m.top, m.left + size.cx, m.top + size.cy};
            main.kind = PaintItem::Control;
            main.rc = box;
            main.box = n;
        }
        it.w = box.right + m.right;
        it.h = box.bottom + m.bottom;
        it.above = it.h;
        it.below = 0;
        if (!TagIs(n, "img")) ControlBaseline(n, box, &it.above, &it.below);
        it.valign = s.verticalAlign;
        it.raise = m_raise + RaiseOf(s, ps, it.above, it.below);
        it.shift = m_shift;
        if (TagIs(n, "img")) {
            PaintItem decor;
            decor.kind = PaintItem::Decor;
            decor.rc = box;
            decor.box = n;
            it.pieces.push_back(decor);
        }
        it.pieces.push_back(main);
        it.pieceHits.push_back(HitBox{box, n->node});
        n->border = box;
        n->needsLayout = false;
        n->ownsList = false;
        Add(std::move(it), lines, owner);
        return;
    }
    if (s.IsAtomicInline()) {
        PendingSpace(lines, ps, owner);
        LineItem it;
        it.atomic = true;
        it.node = n->node;
        it.box = n;
        it.style = &s;
        // Shrink to fit: laid out once, at the width its content wants (at most the line's).
        int bw = s.width.IsAuto() ? ShrinkToFit(n, lines.width) : -1;
        const int ox = m_ox, oy = m_oy;
        int mh = LayoutBox(n, lines.width, bw, -1, nullptr);
        m_ox = ox, m_oy = oy;
        const Edges m = s.margin.Resolve(lines.width);
        it.w = n->border.right + m.right;
        it.h = mh;
        // Its baseline is its last line's; without lines, or clipping, its bottom margin edge.
        if (n->lastBaseline >= 0 && !s.ClipsY()) {
            it.above = n->lastBaseline;
            it.below = mh - n->lastBaseline;
        } else {
            it.above = mh;
            it.below = 0;
        }
        it.valign = s.verticalAlign;
        it.raise = m_raise + RaiseOf(s, ps, it.above, it.below);
        it.shift = m_shift;
        Add(std::move(it), lines, owner);
        return;
    }
    // An inline element: its start and end edges take room on the line; its children are the line's.
    const Edges m = s.margin.Resolve(lines.width), p = s.padding.Resolve(lines.width);
    const Edges& b = s.border;
    HFONT font = m_fonts.Get(s);
    const int savedRaise = m_raise;
    const POINT savedShift = m_shift;
    m_raise += RaiseOf(s, ps, m_fonts.Ascent(m_dc, font), m_fonts.Descent(m_dc, font));
    if (s.position == Position::Relative) {
        const int kAuto = INT_MIN;
        int l = s.offset.left.Resolve(0, kAuto), r = s.offset.right.Resolve(0, kAuto);
        int t = s.offset.top.Resolve(0, kAuto), b2 = s.offset.bottom.Resolve(0, kAuto);
        m_shift.x += l != kAuto ? l : r != kAuto ? -r : 0;
        m_shift.y += t != kAuto ? t : b2 != kAuto ? -b2 : 0;
    }
    lines.spans.push_back(InlineSpan{n, (int)lines.items.size(), -1, m_fonts.Ascent(m_dc, font),
                                     m_fonts.Descent(m_dc, font), m_raise, true, m_shift});
    const int start = m.left + b.left + p.left, end = m.right + b.right + p.right;
    auto edge = [&](int w) {
        LineItem e;
        e.atomic = true;
        e.w = w;
        e.edge = true;
        Add(std::move(e), lines, owner);
    };
    if (start) {
        PendingSpace(lines, ps, owner);
        lines.spans.back().first = (int)lines.items.size();
        edge(start);
    }
    for (auto& c : n->children) {
        Box* k = c.get();
        if (k->element && k->style.display != Display::None && !k->style.IsOutOfFlow() &&
            k->style.floating == Float::None && BlockLevel(k->style)) {
            // A block inside inline content breaks the line around it.
            Flush(lines, owner, true);
            int used = 0;
            FlowBlock(k, lines, owner, &used);
            lines.maxWidth = std::max(lines.maxWidth, used);
        } else {
            Inline(k, lines, owner);
        }
    }
    if (end) edge(end);
    for (auto it = lines.spans.rbegin(); it != lines.spans.rend(); ++it)
        if (it->box == n && it->last < 0) {
            it->last = (int)lines.items.size();
            break;
        }
    m_raise = savedRaise;
    m_shift = savedShift;
    n->needsLayout = false;
    n->ownsList = false;
}

// A collapsed space waiting before an atomic inline or an inline element's start edge: it is
// the gap before them, outside their boxes.
void Layouter::PendingSpace(Lines& lines, const Style& s, Box* owner) {
    if (!lines.spacePending) return;
    lines.spacePending = false;
    if (!lines.started || lines.cursor <= lines.lead) return;
    LineItem gap;
    gap.atomic = true;
    gap.edge = true;
    gap.spaces = 1;
    gap.w = Measure(m_fonts.Get(s), L" ", &s);
    Add(std::move(gap), lines, owner);
}

void Layouter::AddText(const std::wstring& text, Box* owner, dom_node* node, Lines& lines, Box* into) {
    if (!owner) return;
    const Style& s = owner->style;
    HFONT font = m_fonts.Get(s);
    int above = 0, below = 0, ascent = 0, height = 0;
    TextExtents(s, font, &above, &below, &ascent, &height);
    uint32_t bg = owner->style.display == Display::Inline ? owner->style.background : 0;
    const bool wraps = Wraps(s.whiteSpace);
    const bool keepSpaces = s.whiteSpace == WhiteSpace::Pre || s.whiteSpace == WhiteSpace::PreWrap;
    const bool keepBreaks = keepSpaces || s.whiteSpace == WhiteSpace::PreLine;
    auto make = [&](std::wstring t) {
        LineItem it;
        it.text = std::move(t);
        it.font = font;
        it.style = &s;
        it.source = owner;
        it.node = node;
        it.background = bg;
        it.w = Measure(font, it.text, &s);
        it.h = height;
        it.above = above;
        it.below = below;
        it.ascent = ascent;
        it.raise = m_raise;
        it.shift = m_shift;
        it.hidden = s.hidden;
        return it;
    };
    auto emit = [&](const std::wstring& word, bool spaceBefore) {
        StartLine(lines, 0);
        bool lead = spaceBefore && lines.cursor > (lines.firstLine ? lines.indent : 0);
        LineItem it = make((lead ? L" " : L"") + word);
        it.spaces = lead ? 1 : 0;
        if (lead) it.spaceWidth = it.w - Measure(font, word, &s);
        if (wraps && lines.cursor + it.w > lines.right - lines.left && !lines.items.empty()) {
            Flush(lines, into);
            StartLine(lines, Measure(font, word, &s));
            it = make(word);
        }
        Add(std::move(it), lines, into);
    };
    if (keepBreaks) {
        size_t i = 0;
        while (i <= text.size()) {
            size_t e = text.find(L'\n', i);
            if (e == std::wstring::npos) e = text.size();
            std::wstring part = text.substr(i, e - i);
            if (!part.empty() && part.back() == L'\r') part.pop_back();
            if (!keepSpaces) {
                // pre-line: spaces collapse, words wrap.
                size_t k = 0;
                while (k < part.size()) {
                    if (IsSpace(part[k])) {
                        lines.spacePending = true;
                        ++k;
                        continue;
                    }
                    size_t w = k;
                    while (w < part.size() && !IsSpace(part[w])) ++w;
                    bool space = lines.spacePending;
                    lines.spacePending = false;
                    emit(part.substr(k, w - k), space);
                    k = w;
                }
            } else {
                std::wstring expanded;
                for (wchar_t c : part) {
                    if (c == L'\t') expanded.append(8 - expanded.size() % 8, L' ');
                    else expanded += c;
                }
                if (!wraps) {
                    if (!expanded.empty()) {
                        StartLine(lines, 0);
                        Add(make(expanded), lines, into);
                    }
                } else {
                    // pre-wrap: spaces kept, lines break after them.
                    size_t k = 0;
                    while (k < expanded.size()) {
                        size_t w = k;
                        while (w < expanded.size() && expanded[w] == L' ') ++w;
                        while (w < expanded.size() && expanded[w] != L' ') ++w;
                        emit(expanded.substr(k, w - k), false);
                        k = w;
                    }
                }
            }
            if (e < text.size()) {
                StartLine(lines, 0);
                if (lines.items.empty()) {
                    LineItem strut;
                    strut.atomic = true;
                    strut.above = above;
                    strut.below = below;
                    lines.items.push_back(std::move(strut));
                }
                Flush(lines, into, true);
            }
            i = e + 1;
        }
        return;
    }
    size_t i = 0;
    while (i < text.size()) {
        if (IsSpace(text[i])) {
            lines.spacePending = true;
            ++i;
            continue;
        }
        size_t e = WordEnd(text, i);
        bool space = lines.spacePending;
        lines.spacePending = false;
        emit(text.substr(i, e - i), space);
        i = e;
    }
}

void Layouter::Add(LineItem item, Lines& lines, Box* owner) {
    StartLine(lines, item.w);
    bool wraps = Wraps(lines.block ? lines.block->style.whiteSpace : WhiteSpace::Normal);
    if (item.style) wraps = Wraps(item.style->whiteSpace) || item.box;
    if (item.atomic && !item.edge && wraps && lines.cursor + item.w > lines.right - lines.left) {
        bool content = false;
        for (const LineItem& it : lines.items) content = content || !it.edge;
        if (content) {
            Flush(lines, owner);
            StartLine(lines, item.w);
        }
    }
    lines.cursor += item.w;
    // A line's items are many small ones: room for a line's worth at once, not grown one by one.
    if (lines.items.capacity() == 0) lines.items.reserve(16);
    lines.items.push_back(std::move(item));
}

void Layouter::Flush(Lines& lines, Box* owner, bool last) {
    lines.spacePending = false;
    if (lines.items.empty()) {
        if (!lines.floatsAfter.empty()) {
            std::vector<Box*> floats;
            floats.swap(lines.floatsAfter);
            for (Box* f : floats) FlowFloat(f, lines, owner);
        }
        return;
    }
    // Vertical: the baseline sits below the tallest share above it (the block's strut included).
    int above = lines.strutAbove, below = lines.strutBelow;
    for (const LineItem& it : lines.items) {
        if (it.edge) continue;
        if (it.valign == VerticalAlign::Top || it.valign == VerticalAlign::Bottom) continue;
        above = std::max(above, it.above + it.raise);
        below = std::max(below, it.below - it.raise);
    }
    for (const LineItem& it : lines.items) {
        int h = it.above + it.below;
        if (it.valign == VerticalAlign::Top) below = std::max(below, h - above);
        if (it.valign == VerticalAlign::Bottom) above = std::max(above, h - below);
    }
    const int lineH = above + below;
    const int baseline = lines.y + above;

    // Horizontal: aligned in the line's free span; justified lines widen their spaces.
    const int free = (lines.right - lines.left) - lines.cursor;
    int shift = lines.align == Align::Center ? free / 2 : lines.align == Align::Right ? free : 0;
    shift = std::max(0, shift);
    int gaps = 0;
    if (lines.align == Align::Justify && !last && free > 0)
        for (size_t i = 1; i < lines.items.size(); ++i) gaps += lines.items[i].spaces;
    std::vector<int>& xs = m_xs;  // used up before the floats below may flush lines of their own
    xs.assign(lines.items.size() + 1, 0);
    int x = lines.left + shift + lines.lead;
    int given = 0, gap = 0;
    for (size_t i = 0; i < lines.items.size(); ++i) {
        LineItem& it = lines.items[i];
        if (gaps && i > 0 && it.spaces) {
            ++gap;
            int extra = free * gap / gaps - given;
            given += extra;
            x += extra;
        }
        xs[i] = x;
        x += it.w;
    }
    xs[lines.items.size()] = x;

    // Inline elements' backgrounds and borders under their part of the line.
    for (InlineSpan& sp : lines.spans) {
        int lastIndex = sp.last < 0 ? (int)lines.items.size() : sp.last;
        if (sp.first >= lastIndex && !sp.starts) continue;
        const Style& ss = sp.box->style;
        const Edges m = ss.margin.Resolve(lines.width), p = ss.padding.Resolve(lines.width);
        const Edges& b = ss.border;
        int l = xs[std::min(sp.first, (int)lines.items.size())] + (sp.starts ? m.left : 0);
        if (sp.first < lastIndex && !lines.items[sp.first].atomic) l += lines.items[sp.first].spaceWidth;
        int r = xs[lastIndex] - (sp.last >= 0 ? m.right : 0);
        int top = baseline - sp.raise - sp.above - p.top - b.top;
        int bottom = baseline - sp.raise + sp.below + p.bottom + b.bottom;
        RECT rc{l, top, std::max(l, r), bottom};
        OffsetRect(&rc, sp.shift.x, sp.shift.y);
        if (ss.hidden) continue;
        bool draws = (ss.background >> 24) || !ss.backgroundImage.empty() || b.top || b.right || b.bottom || b.left;
        if (draws) {
            PaintItem d;
            d.kind = PaintItem::Decor;
            d.rc = rc;
            d.box = sp.box;
            owner->items.push_back(std::move(d));
        }
        owner->hits.push_back(HitBox{rc, sp.box->node});
    }

    for (size_t i = 0; i < lines.items.size(); ++i) {
        LineItem& it = lines.items[i];
        x = xs[i];
        if (it.edge) continue;
        int top = it.valign == VerticalAlign::Top      ? lines.y
                  : it.valign == VerticalAlign::Bottom ? lines.y + lineH - (it.above + it.below)
                                                       : baseline - it.raise - it.above;
        x += it.shift.x;
        top += it.shift.y;
        if (it.atomic) {
            if (it.box && it.box->ownsList) {
                Place(it.box, x, top, owner);
            } else {
                if (!it.hidden) {
                    for (auto& p : it.pieces) {
                        OffsetRect(&p.rc, x, top);
                        owner->items.push_back(std::move(p));
                    }
                    for (auto& h : it.pieceHits) {
                        OffsetRect(&h.rc, x, top);
                        owner->hits.push_back(h);
                    }
                }
                if (it.box) OffsetRect(&it.box->border, x, top);
            }
        } else if (!it.hidden) {
            int glyphTop = baseline - it.raise - it.ascent + it.shift.y;
            int hitLeft = x;
            if (it.spaceWidth) {
                // The space between words belongs to neither word's box; it is drawn as the gap
                // before the word, unless a decoration runs through it.
                const Style* ds = it.source ? &it.source->style : nullptr;
                hitLeft = x + it.spaceWidth;
                if (!ds || !(ds->underline || ds->lineThrough || ds->overline)) {
                    x += it.spaceWidth;
                    it.w -= it.spaceWidth;
                    it.text.erase(0, 1);
                }
            }
            PaintItem t;
            t.kind = PaintItem::Text;
            t.rc = RECT{x, glyphTop, x + it.w, glyphTop + it.h};
            t.color = it.style->color;
            t.background = it.background;
            t.text = std::move(it.text);
            t.font = it.font;
            t.box = it.source;
            owner->items.push_back(std::move(t));
            owner->hits.push_back(HitBox{RECT{hitLeft, glyphTop, x + it.w, glyphTop + it.h}, it.node});
        }
    }
    if (lines.firstBaseline < 0) lines.firstBaseline = baseline;
    lines.lastBaseline = baseline;
    lines.maxWidth = std::max(lines.maxWidth, lines.cursor + (lines.left - lines.x));
    lines.y += lineH;
    lines.cursor = 0;
    lines.items.clear();
    lines.started = false;
    lines.firstLine = false;
    // Spans that go on start the next line at its first item.
    std::vector<InlineSpan> open;
    for (InlineSpan& sp : lines.spans)
        if (sp.last < 0) {
            sp.first = 0;
            sp.starts = false;
            open.push_back(sp);
        }
    lines.spans.swap(open);
    if (!lines.floatsAfter.empty()) {
        std::vector<Box*> floats;
        floats.swap(lines.floatsAfter);
        for (Box* f : floats) FlowFloat(f, lines, owner);
    }
}

// An outside marker: its text ends at the content's left edge, on the first line's baseline.
void Layouter::Marker(Box* n, int x, int baseline, int ordinal) {
    const Style& s = n->style;
    std::wstring text = MarkerText(s.listStyle, ordinal);
    if (text.empty()) return;
    text += L" ";
    HFONT font = m_fonts.Get(s);
    int w = Measure(font, text, &s);
    int ascent = m_fonts.Ascent(m_dc, font), h = ascent + m_fonts.Descent(m_dc, font);
    PaintItem t;
    t.kind = PaintItem::Text;
    t.rc = RECT{x - w, baseline - ascent, x, baseline - ascent + h};
    t.color = s.color;
    t.text = std::move(text);
    t.font = font;
    t.box = n;
    n->items.push_back(std::move(t));
}

}  // namespace webview
