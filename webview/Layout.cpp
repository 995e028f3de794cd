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

void Translate(LayoutResult& r, int dx, int dy) {
    for (auto& i : r.items) OffsetRect(&i.rc, dx, dy);
    for (auto& h : r.hits) OffsetRect(&h.rc, dx, dy);
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
    Box* box = nullptr;  // atomic inline-blocks: its boxes' rectangles move with it
    uint32_t background = 0;
    int w = 0, h = 0;
    LayoutResult sub;  // atomic boxes: laid out at (0, 0)
};

class Layouter {
public:
    Layouter(RenderTree& tree, Document& doc, HDC dc, FontCache& fonts, LayoutResult* previous)
        : m_tree(tree), m_doc(doc), m_dc(dc), m_fonts(fonts), m_prev(previous) {}

    // Lays out a block-level box with its margin box's top left at (x, y); returns the margin
    // box's height. Appends to out; page tells that out is the page's own list.
    int Block(Box* n, int x, int y, int avail, LayoutResult& out, bool page, int* usedWidth = nullptr);

private:
    struct Lines {
        int x, y, width;
        Align align;
        std::vector<LineItem> items;
        int cursor = 0;
        int maxWidth = 0;
        bool spacePending = false;
    };

    bool Reuse(Box* n, int x, int y, int avail, LayoutResult& out, int* usedWidth);
    int Children(Box* n, int x, int y, int width, LayoutResult& out, bool page, int* usedWidth);
    void Inline(Box* n, Lines& lines, LayoutResult& out, bool page);
    void AddText(const std::wstring& text, Box* owner, dom_node* node, Lines& lines, LayoutResult& out);
    void Add(LineItem item, Lines& lines, LayoutResult& out);
    void Flush(Lines& lines, LayoutResult& out);
    int Measure(HFONT f, const std::wstring& s);
    int MaxContent(Box* n);
    int InlineWidth(Box* n, int& line, int& widest);
    void ImageSize(Box* n, int avail, int* w, int* h);

    RenderTree& m_tree;
    Document& m_doc;
    HDC m_dc;
    FontCache& m_fonts;
    LayoutResult* m_prev;
};

int Layouter::Measure(HFONT f, const std::wstring& s) {
    return m_fonts.Width(m_dc, f, s.data(), s.size());
}

inline void Move(RECT& r, int dx, int dy) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
}

// Moves every box of a subtree (its remembered rectangles and page ranges) by the same amounts.
void Shift(Box* root, int dx, int dy, long dItems, long dHits, bool inPage) {
    static std::vector<Box*> stack;  // kept: this runs once per reused block
    stack.clear();
    stack.push_back(root);
    while (!stack.empty()) {
        Box* b = stack.back();
        stack.pop_back();
        Move(b->border, dx, dy);
        b->laidAt.x += dx;
        b->laidAt.y += dy;
        b->itemsBegin += dItems;
        b->itemsEnd += dItems;
        b->hitsBegin += dHits;
        b->hitsEnd += dHits;
        b->inPage = inPage && b->inPage;
        for (auto& c : b->children) stack.push_back(c.get());
    }
}

bool Layouter::Reuse(Box* n, int x, int y, int avail, LayoutResult& out, int* usedWidth) {
    if (!m_prev || n->needsLayout || !n->inPage || n->laidWidth != avail) return false;
    if (n->itemsEnd > m_prev->items.size() || n->hitsEnd > m_prev->hits.size()) return false;
    int dx = x - n->laidAt.x, dy = y - n->laidAt.y;
    size_t items = out.items.size(), hits = out.hits.size();
    for (size_t i = n->itemsBegin; i < n->itemsEnd; ++i) {
        out.items.push_back(std::move(m_prev->items[i]));
        Move(out.items.back().rc, dx, dy);
    }
    for (size_t i = n->hitsBegin; i < n->hitsEnd; ++i) {
        out.hits.push_back(m_prev->hits[i]);
        Move(out.hits.back().rc, dx, dy);
    }
    Shift(n, dx, dy, (long)items - (long)n->itemsBegin, (long)hits - (long)n->hitsBegin, true);
    if (usedWidth) *usedWidth = n->laidUsed;
    return true;
}

int Layouter::Block(Box* n, int x, int y, int avail, LayoutResult& out, bool page, int* usedWidth) {
    if (page && Reuse(n, x, y, avail, out, usedWidth)) return n->laidHeight;
    ++m_tree.laidOut;
    const Style& s = n->style;
    const Edges &m = s.margin, &b = s.border, &p = s.padding;
    int frame = b.left + b.right + p.left + p.right;
    bool fixedWidth = s.width.kind != Length::Auto;
    int content = fixedWidth ? s.width.Resolve(avail, 0) : avail - m.left - m.right - frame;
    content = std::max(0, std::min(content, 100000));
    size_t fill = out.items.size(), hit = out.hits.size();
    out.items.push_back(PaintItem());
    out.hits.push_back(HitBox{});
    int cx = x + m.left + b.left + p.left, cy = y + m.top + b.top + p.top;
    int used = 0;
    int h = Children(n, cx, cy, content, out, page, &used);
    if (s.height.kind == Length::Px) h = int(s.height.value);
    int boxWidth = content + frame;
    RECT box{x + m.left, y + m.top, x + m.left + boxWidth, y + m.top + b.top + p.top + h + p.bottom + b.bottom};
    out.items[fill].kind = PaintItem::Fill;
    out.items[fill].rc = box;
    out.items[fill].color = s.background;
    out.hits[hit] = HitBox{box, n->node};
    if (b.top || b.right || b.bottom || b.left) {
        PaintItem f;
        f.kind = PaintItem::Frame;
        f.rc = box;
        f.border = b;
        f.color = s.borderColor;
        out.items.push_back(f);
    }
    int height = m.top + (box.bottom - box.top) + m.bottom;
    int usedTotal = (fixedWidth ? content : used) + frame + m.left + m.right;
    if (usedWidth) *usedWidth = usedTotal;
    n->border = box;
    n->needsLayout = false;
    n->laidWidth = avail;
    n->laidHeight = height;
    n->laidUsed = usedTotal;
    n->laidAt = POINT{x, y};
    n->itemsBegin = fill;
    n->itemsEnd = out.items.size();
    n->hitsBegin = hit;
    n->hitsEnd = out.hits.size();
    n->inPage = page;
    return height;
}

int Layouter::Children(Box* n, int x, int y, int width, LayoutResult& out, bool page, int* usedWidth) {
    Lines lines{x, y, width, n->style.align};
    int used = 0;
    for (auto& c : n->children) {
        Box* k = c.get();
        if (k->style.display == Display::None) continue;
        if (k->element && k->style.display == Display::Block) {
            Flush(lines, out);
            int w = 0;
            lines.y += Block(k, x, lines.y, width, out, page && lines.items.empty(), &w);
            used = std::max(used, w);
        } else {
            Inline(k, lines, out, page);
        }
    }
    Flush(lines, out);
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

void Layouter::Inline(Box* n, Lines& lines, LayoutResult& out, bool page) {
    if (!n->element) {
        // Its pieces are hit as the element that holds the text.
        AddText(n->text, n->parent, n->parent ? n->parent->node : n->node, lines, out);
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
        Flush(lines, out);
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
        it.sub.items.push_back(pic);
        if (b.top || b.right || b.bottom || b.left) {
            PaintItem f;
            f.kind = PaintItem::Frame;
            f.rc = box;
            f.border = b;
            f.color = s.borderColor;
            it.sub.items.push_back(f);
        }
        it.sub.hits.push_back(HitBox{box, n->node});
        n->border = box;
        n->needsLayout = false;
        n->inPage = false;
        Add(std::move(it), lines, out);
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
        it.h = Block(n, 0, 0, avail, it.sub, false, &used);
        it.w = s.width.kind == Length::Auto ? avail : used;
        Add(std::move(it), lines, out);
        return;
    }
    for (auto& c : n->children) {
        Box* k = c.get();
        if (k->element && k->style.display == Display::Block) {
            // A block inside inline content breaks the line around it.
            Flush(lines, out);
            int w = 0;
            lines.y += Block(k, lines.x, lines.y, lines.width, out, false, &w);
            lines.maxWidth = std::max(lines.maxWidth, w);
        } else {
            Inline(k, lines, out, page);
        }
    }
    n->needsLayout = false;
    n->inPage = false;
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

void Layouter::AddText(const std::wstring& text, Box* owner, dom_node* node, Lines& lines, LayoutResult& out) {
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
            Flush(lines, out);
            it.text = word;
            it.w = Measure(font, word);
        }
        Add(std::move(it), lines, out);
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
                Flush(lines, out);
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

void Layouter::Add(LineItem item, Lines& lines, LayoutResult& out) {
    if (item.atomic && lines.cursor + item.w > lines.width && !lines.items.empty()) Flush(lines, out);
    lines.cursor += item.w;
    lines.items.push_back(std::move(item));
}

void Layouter::Flush(Lines& lines, LayoutResult& out) {
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
            Translate(it.sub, x, top);
            for (auto& p : it.sub.items) out.items.push_back(std::move(p));
            for (auto& h : it.sub.hits) out.hits.push_back(h);
            if (it.box) Shift(it.box, x, top, 0, 0, false);
        } else {
            PaintItem t;
            t.kind = PaintItem::Text;
            t.rc = RECT{x, top, x + it.w, top + it.h};
            t.color = it.style->color;
            t.background = it.background;
            t.text = std::move(it.text);
            t.font = it.font;
            out.items.push_back(std::move(t));
            out.hits.push_back(HitBox{RECT{x, top, x + it.w, top + it.h}, it.node});
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
    // Cleared, not freed: the lists keep their memory from pass to pass (a fresh list of a large
    // page costs more in page faults than laying out a changed row does).
    r.items.clear();
    r.hits.clear();
    r.width = r.height = 0;
    r.canvas = 0xFFFFFFFF;
    Box* root = tree.Root();
    if (!root) return;
    // Room for about what the page will need, so the lists grow (and move) at most once or twice.
    size_t guess = std::max(previous ? previous->items.size() : 0, tree.BoxCount() * 3) + 256;
    r.items.reserve(guess);
    r.hits.reserve(guess);
    Layouter l(tree, doc, measureDc, fonts, previous);
    r.height = l.Block(root, 0, 0, std::max(0, width), r, true);
    r.width = width;
    uint32_t canvas = root->style.background;
    for (auto& c : root->children)
        if (!canvas && c->element && c->tag == "body") canvas = c->style.background;
    if (canvas >> 24) r.canvas = canvas;
}

}  // namespace webview
