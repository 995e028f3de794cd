#include <algorithm>

#include "FormControls.h"
#include "LayoutEngine.h"
#include "Text.h"

namespace webview {

// Puts a laid-out block into owner's lists at (x, y) of owner's coordinates.
void Layouter::Place(Box* n, int x, int y, Box* owner) {
    n->origin = POINT{x, y};
    PaintItem c;
    c.kind = PaintItem::Child;
    c.box = n;
    owner->items.push_back(std::move(c));
    owner->hits.push_back(HitBox{RECT{}, nullptr, n});
}

int Layouter::Block(Box* n, int avail, int* usedWidth) {
    if (m_reuse && !n->needsLayout && n->ownsList && n->laidWidth == avail) {
        if (usedWidth) *usedWidth = n->laidUsed;
        return n->laidHeight;
    }
    ++m_tree.laidOut;
    if (IsFormControl(n)) return LayOutFormControlBlock(n, avail, m_dc, m_fonts, usedWidth);
    n->items.clear();
    n->hits.clear();
    // About one entry per child and a few of its own: the lists are allocated once, not grown.
    n->items.reserve(n->children.size() + 3);
    n->hits.reserve(n->children.size() + 2);
    const Style& s = n->style;
    const Edges m = s.margin.Resolve(avail), &b = s.border, p = s.padding.Resolve(avail);
    int frame = b.left + b.right + p.left + p.right;
    bool fixedWidth = s.width.kind != Length::Auto;
    int content = fixedWidth ? s.width.Resolve(avail, 0) : avail - m.left - m.right - frame;
    content = std::max(0, std::min(content, 100000));
    n->items.push_back(PaintItem());
    n->hits.push_back(HitBox{});
    int cx = m.left + b.left + p.left, cy = m.top + b.top + p.top;
    int used = 0;
    int h = s.display == Display::Table || s.display == Display::InlineTable
                ? TableContent(n, cx, cy, content, n, &used)
            : s.display == Display::Flex || s.display == Display::InlineFlex
                ? FlexContent(n, cx, cy, content, n, &used)
                : Children(n, cx, cy, content, n, &used);
    if (s.height.kind == Length::Px) h = int(s.height.value);
    int boxWidth = content + frame;
    RECT box{m.left, m.top, m.left + boxWidth, m.top + b.top + p.top + h + p.bottom + b.bottom};
    n->items[0].kind = PaintItem::Decor;
    n->items[0].rc = box;
    n->items[0].box = n;
    n->hits[0] = HitBox{box, n->node};
    int height = m.top + (box.bottom - box.top) + m.bottom;
    int usedTotal = (fixedWidth ? content : used) + frame + m.left + m.right;
    if (usedWidth) *usedWidth = usedTotal;
    RECT extent = box;
    for (const PaintItem& it : n->items) {
        RECT r = it.rc;
        if (it.kind == PaintItem::Child) {
            r = it.box->extent;
            OffsetRect(&r, it.box->origin.x, it.box->origin.y);
        } else {
            ++m_tree.itemsBuilt;
        }
        UnionRect(&extent, &extent, &r);
    }
    n->extent = extent;
    n->border = box;
    n->needsLayout = false;
    n->ownsList = true;
    n->laidWidth = avail;
    n->laidHeight = height;
    n->laidUsed = usedTotal;
    return height;
}

int Layouter::Children(Box* n, int x, int y, int width, Box* owner, int* usedWidth) {
    Lines lines{x, y, width, n->style.align};
    int used = 0;
    for (auto& c : n->children) {
        Box* k = c.get();
        if (k->style.display == Display::None) continue;
        if (k->element && BlockLevel(k->style)) {
            Flush(lines, owner);
            int w = 0;
            int h = Block(k, width, &w);
            Place(k, x, lines.y, owner);
            lines.y += h;
            used = std::max(used, w);
        } else {
            Inline(k, lines, owner);
        }
    }
    Flush(lines, owner);
    if (usedWidth) *usedWidth = std::max(used, lines.maxWidth);
    return lines.y - y;
}

void Layouter::ImageSize(Box* n, int avail, int* w, int* h) {
    const Style& s = n->style;
    std::string src;
    int natW = 0, natH = 0, image = -1;
    if (GetAttr(n->node, "src", &src) && !Trim(src).empty()) {
        image = m_doc.ImageFor(ResolveUrl(m_doc.Url(), src));
        natW = m_doc.Images()[image].width;
        natH = m_doc.Images()[image].height;
    }
    n->imageIndex = image;
    int iw = s.width.Resolve(avail, -1), ih = s.height.Resolve(0, -1);
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
    int frame = s.border.left + s.border.right + p.left + p.right + m.left + m.right;
    int inner = 0;
    if (s.width.kind == Length::Px) {
        inner = int(s.width.value);
    } else {
        int line = 0;
        for (auto& c : n->children) InlineWidth(c.get(), line, inner);
        inner = std::max(inner, line);
    }
    n->maxContent = std::max(0, std::min(100000, inner + frame));
    return n->maxContent;
}

// Adds an inline box's width to the running line; blocks and breaks end the line.
int Layouter::InlineWidth(Box* n, int& line, int& widest) {
    const Style& s = n->style;
    if (s.display == Display::None) return 0;
    if (!n->element) {
        const Style& o = n->parent ? n->parent->style : s;
        HFONT font = m_fonts.Get(o.fontSize, o.bold, o.underline);
        if (o.pre) {
            size_t i = 0;
            while (i <= n->text.size()) {
                size_t e = n->text.find(L'\n', i);
                if (e == std::wstring::npos) e = n->text.size();
                line += Measure(font, n->text.substr(i, e - i));
                if (e < n->text.size()) {
                    widest = std::max(widest, line);
                    line = 0;
                }
                i = e + 1;
            }
            return 0;
        }
        std::wstring collapsed;
        bool space = false;
        for (wchar_t ch : n->text) {
            if (iswspace(ch)) {
                space = true;
                continue;
            }
            if (space && !collapsed.empty()) collapsed += L' ';
            space = false;
            collapsed += ch;
        }
        line += Measure(font, collapsed) + (space || (!n->text.empty() && iswspace(n->text[0])) ? Measure(font, L" ") : 0);
        return 0;
    }
    if (n->tag == "br") {
        widest = std::max(widest, line);
        line = 0;
        return 0;
    }
    if (IsFormControl(n)) {
        line += FormControlOuterWidth(n, m_dc, m_fonts);
        return 0;
    }
    if (n->tag == "img") {
        int w = 0, h = 0;
        ImageSize(n, 100000, &w, &h);
        const Edges m = s.margin.Resolve(0);
        line += w + s.border.left + s.border.right + m.left + m.right;
        return 0;
    }
    if (BlockLevel(s)) {
        widest = std::max(widest, line);
        line = 0;
        widest = std::max(widest, MaxContent(n));
        return 0;
    }
    if (s.IsAtomicInline()) {
        line += MaxContent(n);
        return 0;
    }
    for (auto& c : n->children) InlineWidth(c.get(), line, widest);
    return 0;
}

}  // namespace webview
