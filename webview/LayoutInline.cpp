#include <algorithm>

#include "FormControls.h"
#include "LayoutEngine.h"

namespace webview {

int Layouter::Measure(HFONT f, const std::wstring& s) {
    return m_fonts.Width(m_dc, f, s.data(), s.size());
}

void Layouter::Inline(Box* n, Lines& lines, Box* owner) {
    if (!n->element) {
        // Its pieces are hit as the element that holds the text.
        AddText(n->text, n->parent, n->parent ? n->parent->node : n->node, lines, owner);
        return;
    }
    const Style& s = n->style;
    if (s.display == Display::None) return;
    if (n->tag == "br") {
        if (lines.items.empty()) {
            LineItem strut;
            strut.font = m_fonts.Get(s.fontSize, s.bold, false);
            strut.h = m_fonts.LineHeight(m_dc, strut.font);
            strut.atomic = true;
            lines.items.push_back(std::move(strut));
        }
        Flush(lines, owner);
        return;
    }
    if (n->tag == "img") {
        ++m_tree.laidOut;
        LineItem it;
        it.atomic = true;
        it.node = n->node;
        it.box = n;
        int w = 0, h = 0;
        ImageSize(n, lines.width, &w, &h);
        const Edges &b = s.border, m = s.margin.Resolve(lines.width);
        RECT box{m.left, m.top, m.left + b.left + w + b.right, m.top + b.top + h + b.bottom};
        it.w = box.right + m.right;
        it.h = box.bottom + m.bottom;
        PaintItem pic;
        pic.kind = PaintItem::Picture;
        pic.image = n->imageIndex;
        pic.rc = RECT{box.left + b.left, box.top + b.top, box.left + b.left + w, box.top + b.top + h};
        PaintItem decor;
        decor.kind = PaintItem::Decor;
        decor.rc = box;
        decor.box = n;
        it.pieces.push_back(decor);
        it.pieces.push_back(pic);
        it.pieceHits.push_back(HitBox{box, n->node});
        n->border = box;
        n->needsLayout = false;
        n->ownsList = false;
        Add(std::move(it), lines, owner);
        return;
    }
    if (IsFormControl(n)) {
        ++m_tree.laidOut;
        LineItem it;
        it.atomic = true;
        it.node = n->node;
        it.box = n;
        SIZE size = FormControlBorderSize(n, lines.width, m_dc, m_fonts);
        const Edges m = s.margin.Resolve(lines.width);
        RECT box{m.left, m.top, m.left + size.cx, m.top + size.cy};
        it.w = box.right + m.right;
        it.h = box.bottom + m.bottom;
        PaintItem ctl;
        ctl.kind = PaintItem::Control;
        ctl.rc = box;
        ctl.box = n;
        it.pieces.push_back(ctl);
        it.pieceHits.push_back(HitBox{box, n->node});
        n->border = box;
        n->needsLayout = false;
        n->ownsList = false;
        Add(std::move(it), lines, owner);
        return;
    }
    if (s.IsAtomicInline()) {
        LineItem it;
        it.atomic = true;
        it.node = n->node;
        it.box = n;
        // Shrink to fit: laid out once, at the width its content wants (at most the line's).
        int avail = lines.width;
        if (s.width.kind == Length::Auto) avail = std::min(avail, MaxContent(n));
        int used = 0;
        it.h = Block(n, avail, &used);
        it.w = s.width.kind == Length::Auto ? avail : used;
        Add(std::move(it), lines, owner);
        return;
    }
    for (auto& c : n->children) {
        Box* k = c.get();
        if (k->element && BlockLevel(k->style)) {
            // A block inside inline content breaks the line around it.
            Flush(lines, owner);
            int w = 0;
            int h = Block(k, lines.width, &w);
            Place(k, lines.x, lines.y, owner);
            lines.y += h;
            lines.maxWidth = std::max(lines.maxWidth, w);
        } else {
            Inline(k, lines, owner);
        }
    }
    n->needsLayout = false;
    n->ownsList = false;
}

void Layouter::AddText(const std::wstring& text, Box* owner, dom_node* node, Lines& lines, Box* into) {
    if (!owner) return;
    const Style& s = owner->style;
    HFONT font = m_fonts.Get(s.fontSize, s.bold, s.underline);
    int lh = m_fonts.LineHeight(m_dc, font);
    uint32_t bg = owner->style.display == Display::Inline ? owner->style.background : 0;
    auto emit = [&](const std::wstring& word, bool spaceBefore) {
        LineItem it;
        it.text = (spaceBefore && !lines.items.empty() ? L" " : L"") + word;
        it.font = font;
        it.style = &s;
        it.source = owner;
        it.node = node;
        it.background = bg;
        it.w = Measure(font, it.text);
        it.h = lh;
        if (lines.cursor + it.w > lines.width && !lines.items.empty()) {
            Flush(lines, into);
            it.text = word;
            it.w = Measure(font, word);
        }
        Add(std::move(it), lines, into);
    };
    if (s.pre) {
        size_t i = 0;
        while (i <= text.size()) {
            size_t e = text.find(L'\n', i);
            if (e == std::wstring::npos) e = text.size();
            std::wstring part = text.substr(i, e - i);
            if (!part.empty() && part.back() == L'\r') part.pop_back();
            if (!part.empty()) emit(part, false);
            if (e < text.size()) {
                if (lines.items.empty()) {
                    LineItem strut;
                    strut.atomic = true;
                    strut.h = lh;
                    lines.items.push_back(std::move(strut));
                }
                Flush(lines, into);
            }
            i = e + 1;
        }
        return;
    }
    size_t i = 0;
    while (i < text.size()) {
        if (iswspace(text[i])) {
            lines.spacePending = true;
            ++i;
            continue;
        }
        size_t e = i;
        if (IsCjk(text[i])) {
            e = i + 1;
        } else {
            while (e < text.size() && !iswspace(text[e]) && !IsCjk(text[e])) ++e;
        }
        bool space = lines.spacePending;
        lines.spacePending = false;
        emit(text.substr(i, e - i), space);
        i = e;
    }
}

void Layouter::Add(LineItem item, Lines& lines, Box* owner) {
    if (item.atomic && lines.cursor + item.w > lines.width && !lines.items.empty()) Flush(lines, owner);
    lines.cursor += item.w;
    lines.items.push_back(std::move(item));
}

void Layouter::Flush(Lines& lines, Box* owner) {
    lines.spacePending = false;
    if (lines.items.empty()) return;
    int lineH = 0;
    for (auto& it : lines.items) lineH = std::max(lineH, it.h);
    int shift = lines.align == Align::Center ? (lines.width - lines.cursor) / 2
                : lines.align == Align::Right ? lines.width - lines.cursor : 0;
    shift = std::max(0, shift);
    int x = lines.x + shift;
    for (auto& it : lines.items) {
        int top = lines.y + lineH - it.h;
        if (it.atomic) {
            if (it.box && it.box->ownsList) {
                Place(it.box, x, top, owner);
            } else {
                for (auto& p : it.pieces) {
                    OffsetRect(&p.rc, x, top);
                    owner->items.push_back(std::move(p));
                }
                for (auto& h : it.pieceHits) {
                    OffsetRect(&h.rc, x, top);
                    owner->hits.push_back(h);
                }
                if (it.box) OffsetRect(&it.box->border, x, top);
            }
        } else {
            PaintItem t;
            t.kind = PaintItem::Text;
            t.rc = RECT{x, top, x + it.w, top + it.h};
            t.color = it.style->color;
            t.background = it.background;
            t.text = std::move(it.text);
            t.font = it.font;
            t.box = it.source;
            owner->items.push_back(std::move(t));
            owner->hits.push_back(HitBox{RECT{x, top, x + it.w, top + it.h}, it.node});
        }
        x += it.w;
    }
    lines.maxWidth = std::max(lines.maxWidth, lines.cursor);
    lines.y += lineH;
    lines.cursor = 0;
    lines.items.clear();
}
}  // namespace webview
