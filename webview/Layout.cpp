#include "Layout.h"

#include <algorithm>

#include "LayoutEngine.h"
#include "ScrollOffset.h"
#include "Text.h"

namespace webview {

FontCache::~FontCache() {
    for (auto& kv : m_fonts) DeleteObject(kv.second);
    for (auto& kv : m_references) DeleteObject(kv.second);
}

HFONT FontCache::Make(uint64_t key, int size, bool bold, bool italic, bool underline, int family) {
    if (m_lastFont && key == m_lastKey) return m_lastFont;
    auto it = m_fonts.find(key);
    if (it != m_fonts.end()) {
        m_lastKey = key;
        return m_lastFont = it->second;
    }
    const std::wstring& name = FontFamilyName(family);
    // Generic families and an unnamed face draw with the view's default face.
    bool generic = name.empty() || _wcsicmp(name.c_str(), L"sans-serif") == 0 ||
                   _wcsicmp(name.c_str(), L"serif") == 0 || _wcsicmp(name.c_str(), L"monospace") == 0;
    HFONT f = CreateFontW(-size, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, underline, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                          generic ? L"Microsoft YaHei" : name.c_str());
    m_fonts[key] = f;
    // Its advances come from the same face at the reference size.
    uint64_t refKey = (uint64_t)(unsigned)family << 8 | (bold ? 4 : 0) | (italic ? 2 : 0);
    HFONT& ref = m_references[refKey];
    if (!ref)
        ref = CreateFontW(-kReferenceSize, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                          generic ? L"Microsoft YaHei" : name.c_str());
    m_faces[f] = Face{size, &m_advances[ref], ref};
    return f;
}

HFONT FontCache::Get(int size, bool bold, bool italic, int family) {
    size = std::max(1, std::min(size, 4000));
    uint64_t key = (uint64_t)(unsigned)family << 32 | (unsigned)size << 3 | (bold ? 4 : 0) | (italic ? 2 : 0);
    return Make(key, size, bold, italic, false, family);
}

HFONT FontCache::Get(const Style& s) {
    return Get(s.fontSize, s.bold, s.italic, s.fontFamily);
}

HFONT FontCache::Get(int size, bool bold, bool underline) {
    size = std::max(1, std::min(size, 4000));
    uint64_t key = (uint64_t)1 << 63 | (unsigned)size << 3 | (bold ? 4 : 0) | (underline ? 1 : 0);
    return Make(key, size, bold, false, underline, 0);
}

const FontCache::Metrics& FontCache::MetricsOf(HDC dc, HFONT font) {
    if (m_lastMetrics && font == m_metricsFont) return *m_lastMetrics;
    auto it = m_metrics.find(font);
    if (it != m_metrics.end()) {
        m_metricsFont = font;
        m_lastMetrics = &it->second;
        return it->second;
    }
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    Metrics m{std::max<int>(1, tm.tmHeight + tm.tmExternalLeading), (int)tm.tmAscent, (int)tm.tmDescent};
    return m_metrics[font] = m;
}

int FontCache::LineHeight(HDC dc, HFONT font) {
    return MetricsOf(dc, font).lineHeight;
}

int FontCache::Ascent(HDC dc, HFONT font) {
    return MetricsOf(dc, font).ascent;
}

int FontCache::Descent(HDC dc, HFONT font) {
    return MetricsOf(dc, font).descent;
}

int FontCache::Width(HDC dc, HFONT font, const wchar_t* s, size_t n) {
    if (!n) return 0;
    if (!m_lastFace || font != m_faceFont) {
        auto face = m_faces.find(font);
        if (face == m_faces.end()) return 0;
        m_faceFont = font;
        m_lastFace = &face->second;
    }
    const Face& face = *m_lastFace;
    std::vector<int>& adv = *face.advances;
    if (adv.empty()) adv.assign(65536, -1);
    const int64_t size = face.size;
    int64_t w = 0;  // reference-size units
    HGDIOBJ old = nullptr;
    for (size_t i = 0; i < n; ++i) {
        unsigned c = (unsigned)(unsigned short)s[i];
        if (adv[c] < 0) {
            if (!old) old = SelectObject(dc, face.reference);
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
                INT cw = 0;
                GetCharWidth32W(dc, c, c, &cw);
                adv[c] = cw;
            }
        }
        w += adv[c];
    }
    if (old) SelectObject(dc, old);
    return (int)((w * size + kReferenceSize / 2) / kReferenceSize);
}

void LayOut(RenderTree& tree, Document& doc, int width, HDC measureDc, FontCache& fonts, LayoutResult* previous,
            LayoutResult& r, int viewHeight) {
    r.width = r.height = 0;
    r.canvas = 0xFFFFFFFF;
    Box* root = tree.Root();
    if (!root) return;
    Layouter l(tree, doc, measureDc, fonts, previous != nullptr && previous->viewHeight == viewHeight);
    r.viewHeight = viewHeight;
    l.SetViewport(std::max(0, width), viewHeight > 0 ? viewHeight : std::max(0, width) * 3 / 4);
    r.height = l.Block(root, std::max(0, width));
    root->origin = POINT{0, 0};
    // Positioned content below the root's box makes the page longer (clipping boxes keep theirs in).
    r.height = std::max<int>(r.height, root->extent.bottom);
    r.width = width;
    uint32_t canvas = root->style.background;
    for (auto& c : root->children)
        if (!canvas && c->element && c->tag == "body") canvas = c->style.background;
    if (canvas >> 24) r.canvas = canvas;
}

const Box* Container(const Box* b) {
    // Positioned boxes lie in the list of their containing block (fixed ones in the root's).
    if (b->ownsList && b->placedIn && b->parent) return b->placedIn;
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
