#include "Layout.h"

#include <algorithm>

#include "LayoutEngine.h"
#include "ScrollOffset.h"
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
            if (c->needsLayout || !ReachesContent(b, x, y, pt)) continue;
            POINT at = ChildOrigin(b, c, x, y);
            int cx = at.x, cy = at.y;
            RECT e = c->extent;
            OffsetRect(&e, cx, cy);
            if (!PtInRect(&e, pt)) continue;
            if (dom_node* n = HitIn(c, cx, cy, pt)) return n;
            continue;
        }
        if (!IsOwnHit(b, *it) && !ReachesContent(b, x, y, pt)) continue;
        POINT from = HitOrigin(b, *it, x, y);
        RECT r = it->rc;
        OffsetRect(&r, from.x, from.y);
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
