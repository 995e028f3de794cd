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

void Translate(LayoutResult& r, int dx, int dy) {
    for (auto& i : r.items) OffsetRect(&i.rc, dx, dy);
    for (auto& h : r.hits) OffsetRect(&h.rc, dx, dy);
}

namespace {

bool IsCjk(wchar_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x3000 && c <= 0x303F);
}

class Layouter;

// One line's worth of inline items, placed when the line is complete.
struct LineItem {
    bool atomic = false;
    std::wstring text;
    const Style* style = nullptr;
    HFONT font = nullptr;
    uint32_t node = 0;
    uint32_t background = 0;
    int w = 0, h = 0;
    LayoutResult sub;  // atomic boxes: laid out at (0, 0)
};

class Layouter {
public:
    Layouter(Document& doc, HDC dc, FontCache& fonts) : m_doc(doc), m_dc(dc), m_fonts(fonts) {}

    // Lays out a block-level element with its margin box's top left at (x, y); returns the margin
    // box's height. Appends to out.
    int Block(Node* n, int x, int y, int avail, LayoutResult& out, int* usedWidth = nullptr);

private:
    struct Lines {
        int x, y, width;
        Align align;
        std::vector<LineItem> items;
        int cursor = 0;
        int maxWidth = 0;
        bool spacePending = false;
    };

    int Children(Node* n, int x, int y, int width, LayoutResult& out, int* usedWidth);
    void Inline(Node* n, Lines& lines, LayoutResult& out);
    void AddText(const std::wstring& text, Node* owner, Lines& lines, LayoutResult& out);
    void Add(LineItem item, Lines& lines, LayoutResult& out);
    void Flush(Lines& lines, LayoutResult& out);
    int Measure(HFONT f, const std::wstring& s);

    Document& m_doc;
    HDC m_dc;
    FontCache& m_fonts;
};

int Layouter::Measure(HFONT f, const std::wstring& s) {
    if (s.empty()) return 0;
    HGDIOBJ old = SelectObject(m_dc, f);
    SIZE sz{};
    GetTextExtentPoint32W(m_dc, s.c_str(), (int)s.size(), &sz);
    SelectObject(m_dc, old);
    return sz.cx;
}

int Layouter::Block(Node* n, int x, int y, int avail, LayoutResult& out, int* usedWidth) {
    const Style& s = n->style;
    const Edges &m = s.margin, &b = s.border, &p = s.padding;
    int frame = b.left + b.right + p.left + p.right;
    bool fixedWidth = s.width.kind != Length::Auto;
    int content = fixedWidth ? s.width.Resolve(avail, 0) : avail - m.left - m.right - frame;
    content = std::max(0, std::min(content, 100000));
    size_t fill = out.items.size();
    out.items.push_back(PaintItem());
    size_t hit = out.hits.size();
    out.hits.push_back(HitBox{});
    int cx = x + m.left + b.left + p.left, cy = y + m.top + b.top + p.top;
    int used = 0;
    int h = Children(n, cx, cy, content, out, &used);
    if (s.height.kind == Length::Px) h = int(s.height.value);
    if (usedWidth) *usedWidth = (fixedWidth ? content : used) + frame + m.left + m.right;
    int boxWidth = content + frame;
    RECT box{x + m.left, y + m.top, x + m.left + boxWidth, y + m.top + b.top + p.top + h + p.bottom + b.bottom};
    out.items[fill].kind = PaintItem::Fill;
    out.items[fill].rc = box;
    out.items[fill].color = s.background;
    out.hits[hit] = HitBox{box, n->id};
    if (b.top || b.right || b.bottom || b.left) {
        PaintItem f;
        f.kind = PaintItem::Frame;
        f.rc = box;
        f.border = b;
        f.color = s.borderColor;
        out.items.push_back(f);
    }
    return m.top + (box.bottom - box.top) + m.bottom;
}

int Layouter::Children(Node* n, int x, int y, int width, LayoutResult& out, int* usedWidth) {
    Lines lines{x, y, width, n->style.align};
    int used = 0;
    for (auto& c : n->children) {
        Node* k = c.get();
        if (k->style.display == Display::None) continue;
        if (k->element && k->style.display == Display::Block) {
            Flush(lines, out);
            int w = 0;
            lines.y += Block(k, x, lines.y, width, out, &w);
            used = std::max(used, w);
        } else {
            Inline(k, lines, out);
        }
    }
    Flush(lines, out);
    if (usedWidth) *usedWidth = std::max(used, lines.maxWidth);
    return lines.y - y;
}

void Layouter::Inline(Node* n, Lines& lines, LayoutResult& out) {
    if (!n->element) {
        AddText(Utf8ToWide(n->text), n->parent, lines, out);
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
        LineItem it;
        it.atomic = true;
        it.node = n->id;
        const std::string* src = n->Attr("src");
        int natW = 0, natH = 0, image = -1;
        if (src && !Trim(*src).empty()) {
            image = m_doc.ImageFor(ResolveUrl(m_doc.Url(), *src));
            natW = m_doc.Images()[image].width;
            natH = m_doc.Images()[image].height;
        }
        n->imageIndex = image;
        int w = s.width.Resolve(lines.width, -1), h = s.height.Resolve(0, -1);
        if (w < 0 && h < 0) w = natW, h = natH;
        else if (w < 0) w = natH ? natW * h / natH : h;
        else if (h < 0) h = natW ? natH * w / natW : w;
        it.w = std::min(w, 100000) + s.border.left + s.border.right;
        it.h = std::min(h, 100000) + s.border.top + s.border.bottom;
        PaintItem pic;
        pic.kind = PaintItem::Picture;
        pic.image = image;
        pic.rc = RECT{s.border.left, s.border.top, s.border.left + w, s.border.top + h};
        it.sub.items.push_back(pic);
        it.sub.hits.push_back(HitBox{RECT{0, 0, it.w, it.h}, n->id});
        Add(std::move(it), lines, out);
        return;
    }
    if (s.display == Display::InlineBlock) {
        LineItem it;
        it.atomic = true;
        it.node = n->id;
        int used = 0;
        it.h = Block(n, 0, 0, lines.width, it.sub, &used);
        if (s.width.kind == Length::Auto) {
            // Shrink to the content: lay out again at the width it used, so that centring holds.
            LayoutResult again;
            it.h = Block(n, 0, 0, used, again, nullptr);
            it.sub = std::move(again);
        }
        it.w = used;
        Add(std::move(it), lines, out);
        return;
    }
    for (auto& c : n->children) {
        Node* k = c.get();
        if (k->element && k->style.display == Display::Block) {
            // A block inside inline content breaks the line around it.
            Flush(lines, out);
            int w = 0;
            lines.y += Block(k, lines.x, lines.y, lines.width, out, &w);
            lines.maxWidth = std::max(lines.maxWidth, w);
        } else {
            Inline(k, lines, out);
        }
    }
}

void Layouter::AddText(const std::wstring& text, Node* owner, Lines& lines, LayoutResult& out) {
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
        it.node = owner->id;
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

LayoutResult LayOut(Document& doc, int width, HDC measureDc, FontCache& fonts) {
    LayoutResult r;
    Layouter l(doc, measureDc, fonts);
    Node* root = doc.Root();
    if (root->style.display == Display::None) root->style.display = Display::Block;
    r.height = l.Block(root, 0, 0, std::max(0, width), r);
    r.width = width;
    return r;
}

}  // namespace webview
