#include "Layout.h"

#include <algorithm>

#include "Text.h"

namespace webview {

FontCache::~FontCache() {
    for (auto& kv : m_fonts) DeleteObject(kv.second);
}

HFONT FontCache::Get(int size, bool bold, bool underline) {
    int key = size * 4 + (bold ? 2 : 0) + (underline ? 1 : 0);
    auto it = m_fonts.find(key);
    if (it != m_fonts.end()) return it->second;
    HFONT f = CreateFontW(-size, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, underline, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                          L"Microsoft YaHei");
    m_fonts[key] = f;
    return f;
}

int FontCache::LineHeight(HDC dc, HFONT font) {
    auto it = m_heights.find(font);
    if (it != m_heights.end()) return it->second;
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    int h = std::max<int>(1, tm.tmHeight + tm.tmExternalLeading);
    m_heights[font] = h;
    return h;
}

int FontCache::Width(HDC dc, HFONT font, const wchar_t* s, size_t n) {
    if (!n) return 0;
    std::vector<int>& adv = m_advances[font];
    if (adv.empty()) adv.assign(65536, -1);
    int w = 0;
    HGDIOBJ old = nullptr;
    for (size_t i = 0; i < n; ++i) {
        unsigned c = (unsigned)(unsigned short)s[i];
        if (adv[c] < 0) {
            if (!old) old = SelectObject(dc, font);
            INT cw = 0;
            if (c >= 0xD800 && c <= 0xDFFF) {
                // Half of a surrogate pair: the pair's width, given to its first half.
                if (c <= 0xDBFF && i + 1 < n) {
                    SIZE sz{};
                    GetTextExtentPoint32W(dc, s + i, 2, &sz);
                    w += sz.cx;
                    ++i;
                }
                continue;
            }
            if (c < 128) {
                INT ascii[128] = {};
                GetCharWidth32W(dc, 0, 127, ascii);
                for (int k = 0; k < 128; ++k) adv[k] = ascii[k];
            } else {
                GetCharWidth32W(dc, c, c, &cw);
                adv[c] = cw;
            }
        }
        w += adv[c];
    }
    if (old) SelectObject(dc, old);
    return w;
}

namespace {

bool IsCjk(wchar_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x3000 && c <= 0x303F);
}

// One line's worth of inline items, placed when the line is complete.
struct LineItem {
    bool atomic = false;
    std::wstring text;
    const Style* style = nullptr;
    HFONT font = nullptr;
    dom_node* node = nullptr;
    Box* box = nullptr;  // atomic: an inline-block placed as a child, or an image
    uint32_t background = 0;
    int w = 0, h = 0;
    std::vector<PaintItem> pieces;  // an image's, laid out at (0, 0)
    std::vector<HitBox> pieceHits;
};

class Layouter {
public:
    Layouter(RenderTree& tree, Document& doc, HDC dc, FontCache& fonts, bool reuse)
        : m_tree(tree), m_doc(doc), m_dc(dc), m_fonts(fonts), m_reuse(reuse) {}

    // Lays out a block-level box (or inline-block) into its own lists, its margin box's top left
    // at (0, 0); returns the margin box's height. The caller places it.
    int Block(Box* n, int avail, int* usedWidth = nullptr);

private:
    struct Lines {
        int x, y, width;
        Align align;
        std::vector<LineItem> items;
        int cursor = 0;
        int maxWidth = 0;
        bool spacePending = false;
    };

    int Children(Box* n, int x, int y, int width, Box* owner, int* usedWidth);
    void Inline(Box* n, Lines& lines, Box* owner);
    void AddText(const std::wstring& text, Box* owner, dom_node* node, Lines& lines, Box* into);
    void Add(LineItem item, Lines& lines, Box* owner);
    void Flush(Lines& lines, Box* owner);
    int Measure(HFONT f, const std::wstring& s);
    int MaxContent(Box* n);
    int InlineWidth(Box* n, int& line, int& widest);
    void ImageSize(Box* n, int avail, int* w, int* h);

    RenderTree& m_tree;
    Document& m_doc;
    HDC m_dc;
    FontCache& m_fonts;
    bool m_reuse;
};

int Layouter::Measure(HFONT f, const std::wstring& s) {
    return m_fonts.Width(m_dc, f, s.data(), s.size());
}

// Puts a laid-out block into owner's lists at (x, y) of owner's coordinates.
void Place(Box* n, int x, int y, Box* owner) {
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
    n->items.clear();
    n->hits.clear();
    // About one entry per child and a few of its own: the lists are allocated once, not grown.
    n->items.reserve(n->children.size() + 3);
    n->hits.reserve(n->children.size() + 2);
    const Style& s = n->style;
    const Edges &m = s.margin, &b = s.border, &p = s.padding;
    int frame = b.left + b.right + p.left + p.right;
    bool fixedWidth = s.width.kind != Length::Auto;
    int content = fixedWidth ? s.width.Resolve(avail, 0) : avail - m.left - m.right - frame;
    content = std::max(0, std::min(content, 100000));
    n->items.push_back(PaintItem());
    n->hits.push_back(HitBox{});
    int cx = m.left + b.left + p.left, cy = m.top + b.top + p.top;
    int used = 0;
    int h = Children(n, cx, cy, content, n, &used);
    if (s.height.kind == Length::Px) h = int(s.height.value);
    int boxWidth = content + frame;
    RECT box{m.left, m.top, m.left + boxWidth, m.top + b.top + p.top + h + p.bottom + b.bottom};
    n->items[0].kind = PaintItem::Fill;
    n->items[0].rc = box;
    n->items[0].color = s.background;
    n->hits[0] = HitBox{box, n->node};
    if (b.top || b.right || b.bottom || b.left) {
        PaintItem f;
        f.kind = PaintItem::Frame;
        f.rc = box;
        f.border = b;
        f.color = s.borderColor;
        n->items.push_back(f);
    }
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
        if (k->element && k->style.display == Display::Block) {
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
        const Edges &b = s.border, &m = s.margin;
        RECT box{m.left, m.top, m.left + b.left + w + b.right, m.top + b.top + h + b.bottom};
        it.w = box.right + m.right;
        it.h = box.bottom + m.bottom;
        PaintItem pic;
        pic.kind = PaintItem::Picture;
        pic.image = n->imageIndex;
        pic.rc = RECT{box.left + b.left, box.top + b.top, box.left + b.left + w, box.top + b.top + h};
        it.pieces.push_back(pic);
        if (b.top || b.right || b.bottom || b.left) {
            PaintItem f;
            f.kind = PaintItem::Frame;
            f.rc = box;
            f.border = b;
            f.color = s.borderColor;
            it.pieces.push_back(f);
        }
        it.pieceHits.push_back(HitBox{box, n->node});
        n->border = box;
        n->needsLayout = false;
        n->ownsList = false;
        Add(std::move(it), lines, owner);
        return;
    }
    if (s.display == Display::InlineBlock) {
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
        if (k->element && k->style.display == Display::Block) {
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

// The width a box's content takes on one line (margin box), remembered until the subtree changes.
int Layouter::MaxContent(Box* n) {
    if (n->maxContent >= 0) return n->maxContent;
    const Style& s = n->style;
    int frame = s.border.left + s.border.right + s.padding.left + s.padding.right + s.margin.left + s.margin.right;
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
    if (n->tag == "img") {
        int w = 0, h = 0;
        ImageSize(n, 100000, &w, &h);
        line += w + s.border.left + s.border.right + s.margin.left + s.margin.right;
        return 0;
    }
    if (s.display == Display::Block) {
        widest = std::max(widest, line);
        line = 0;
        widest = std::max(widest, MaxContent(n));
        return 0;
    }
    if (s.display == Display::InlineBlock) {
        line += MaxContent(n);
        return 0;
    }
    for (auto& c : n->children) InlineWidth(c.get(), line, widest);
    return 0;
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

}  // namespace

void LayOut(RenderTree& tree, Document& doc, int width, HDC measureDc, FontCache& fonts, LayoutResult* previous,
            LayoutResult& r) {
    r.width = r.height = 0;
    r.canvas = 0xFFFFFFFF;
    Box* root = tree.Root();
    if (!root) return;
    Layouter l(tree, doc, measureDc, fonts, previous != nullptr);
    r.height = l.Block(root, std::max(0, width));
    root->origin = POINT{0, 0};
    r.width = width;
    uint32_t canvas = root->style.background;
    for (auto& c : root->children)
        if (!canvas && c->element && c->tag == "body") canvas = c->style.background;
    if (canvas >> 24) r.canvas = canvas;
}

const Box* Container(const Box* b) {
    for (const Box* p = b->parent; p; p = p->parent)
        if (p->ownsList) return p;
    return nullptr;
}

POINT DocumentOrigin(const Box* b) {
    POINT at{0, 0};
    for (const Box* c = b; c; c = Container(c)) {
        at.x += c->origin.x;
        at.y += c->origin.y;
    }
    return at;
}

RECT DocumentBorder(const Box* b) {
    const Box* frame = b->ownsList ? b : Container(b);
    RECT r = b->border;
    if (frame) {
        POINT at = DocumentOrigin(frame);
        OffsetRect(&r, at.x, at.y);
    }
    return r;
}

namespace {

dom_node* HitIn(const Box* b, int x, int y, POINT pt) {
    for (auto it = b->hits.rbegin(); it != b->hits.rend(); ++it) {
        if (it->box) {
            const Box* c = it->box;
            if (c->needsLayout) continue;
            int cx = x + c->origin.x, cy = y + c->origin.y;
            RECT e = c->extent;
            OffsetRect(&e, cx, cy);
            if (!PtInRect(&e, pt)) continue;
            if (dom_node* n = HitIn(c, cx, cy, pt)) return n;
            continue;
        }
        RECT r = it->rc;
        OffsetRect(&r, x, y);
        if (PtInRect(&r, pt)) return it->node;
    }
    return nullptr;
}

}  // namespace

dom_node* HitAt(const Box* root, POINT pt) {
    if (!root || root->needsLayout || !root->ownsList) return nullptr;
    return HitIn(root, root->origin.x, root->origin.y, pt);
}

}  // namespace webview
