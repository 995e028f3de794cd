#include "Canvas.h"

#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace webview {

namespace {

inline uint32_t Mix(uint32_t d, uint32_t argb, unsigned a) {
    if (a >= 255) return (d & 0xFF000000u) | (argb & 0xFFFFFFu);
    unsigned ia = 255 - a;
    unsigned r = (((argb >> 16) & 255) * a + ((d >> 16) & 255) * ia + 127) / 255;
    unsigned g = (((argb >> 8) & 255) * a + ((d >> 8) & 255) * ia + 127) / 255;
    unsigned b = ((argb & 255) * a + (d & 255) * ia + 127) / 255;
    return (d & 0xFF000000u) | (r << 16) | (g << 8) | b;
}

// A premultiplied pixel over d, its weight scaled by k (0..255).
inline uint32_t Over(uint32_t d, uint32_t s, unsigned k) {
    unsigned sa = s >> 24;
    if (k >= 255 && sa == 255) return (d & 0xFF000000u) | (s & 0xFFFFFFu);
    unsigned sr = (s >> 16) & 255, sg = (s >> 8) & 255, sb = s & 255;
    if (k < 255) {
        sa = sa * k / 255, sr = sr * k / 255, sg = sg * k / 255, sb = sb * k / 255;
    }
    unsigned ia = 255 - sa;
    unsigned r = std::min(255u, sr + (((d >> 16) & 255) * ia + 127) / 255);
    unsigned g = std::min(255u, sg + (((d >> 8) & 255) * ia + 127) / 255);
    unsigned b = std::min(255u, sb + ((d & 255) * ia + 127) / 255);
    return (d & 0xFF000000u) | (r << 16) | (g << 8) | b;
}

inline int PositiveMod(long long v, int m) {
    long long r = v % m;
    return (int)(r < 0 ? r + m : r);
}

}  // namespace

float Shape::Coverage(int x, int y) const {
    if (x < left || x >= right || y < top || y >= bottom) return 0;
    int c;
    float cx, cy;
    if (x < left + rx[0] && y < top + ry[0]) c = 0, cx = left + rx[0], cy = top + ry[0];
    else if (x >= right - rx[1] && y < top + ry[1]) c = 1, cx = right - rx[1], cy = top + ry[1];
    else if (x >= right - rx[2] && y >= bottom - ry[2]) c = 2, cx = right - rx[2], cy = bottom - ry[2];
    else if (x < left + rx[3] && y >= bottom - ry[3]) c = 3, cx = left + rx[3], cy = bottom - ry[3];
    else return 1;
    if (rx[c] <= 0 || ry[c] <= 0) return 1;
    int in = 0;
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
            float sx = x + (i + 0.5f) / 4, sy = y + (j + 0.5f) / 4;
            bool beyondX = c == 0 || c == 3 ? sx < cx : sx > cx;
            bool beyondY = c == 0 || c == 1 ? sy < cy : sy > cy;
            float dx = (sx - cx) / rx[c], dy = (sy - cy) / ry[c];
            if (!beyondX || !beyondY || dx * dx + dy * dy <= 1) ++in;
        }
    return in / 16.0f;
}

bool Shape::SolidSpan(int y, int* from, int* to) const {
    if (y < top || y >= bottom) return false;
    int a = left, b = right;
    if (y < top + ry[0]) a = std::max(a, left + (int)std::ceil(rx[0]));
    if (y >= bottom - ry[3]) a = std::max(a, left + (int)std::ceil(rx[3]));
    if (y < top + ry[1]) b = std::min(b, right - (int)std::ceil(rx[1]));
    if (y >= bottom - ry[2]) b = std::min(b, right - (int)std::ceil(rx[2]));
    *from = a;
    *to = b;
    return a < b;
}

Canvas::Canvas(HDC dc) : m_dc(dc) {
    DIBSECTION ds{};
    HGDIOBJ bmp = GetCurrentObject(dc, OBJ_BITMAP);
    if (bmp && GetObjectW(bmp, sizeof(ds), &ds) == sizeof(ds) && ds.dsBm.bmBits && ds.dsBm.bmBitsPixel == 32 &&
        ds.dsBm.bmWidthBytes == ds.dsBm.bmWidth * 4) {
        m_bits = static_cast<uint32_t*>(ds.dsBm.bmBits);
        m_width = ds.dsBm.bmWidth;
        m_height = ds.dsBm.bmHeight;
        // The header's height sign does not say which way the rows run (it reads positive for a
        // top-down section): one pixel drawn with GDI tells.
        if (m_height > 1) {
            COLORREF before = GetPixel(dc, 0, 0);
            SetPixelV(dc, 0, 0, RGB(1, 2, 3));
            GdiFlush();
            m_topDown = (m_bits[0] & 0xFFFFFFu) == 0x010203u;
            SetPixelV(dc, 0, 0, before);
        }
    } else if (bmp) {
        BITMAP bm{};
        GetObjectW(bmp, sizeof(bm), &bm);
        m_width = bm.bmWidth;
        m_height = bm.bmHeight;
    }
    // A DC without a picture of its own (a window's): its clip box bounds the drawing.
    RECT bounds{0, 0, m_width, m_height};
    if (m_width <= 0 || m_height <= 0) GetClipBox(dc, &bounds);
    m_clips.push_back(bounds);
    m_savedDc = SaveDC(dc);
}

Canvas::~Canvas() {
    while (!m_layers.empty()) EndLayer(1);
    if (m_savedDc) RestoreDC(m_dc, m_savedDc);
}

void Canvas::PushClip(const RECT& r) {
    RECT c{};
    IntersectRect(&c, &m_clips.back(), &r);
    m_clips.push_back(c);
    SaveDC(m_dc);
    IntersectClipRect(m_dc, r.left, r.top, r.right, r.bottom);
}

void Canvas::PopClip() {
    if (m_clips.size() < 2) return;
    m_clips.pop_back();
    RestoreDC(m_dc, -1);
}

bool Canvas::Visible(RECT& r) const {
    return IntersectRect(&r, &r, &m_clips.back()) != FALSE;
}

void Canvas::Fill(const RECT& rIn, uint32_t argb) {
    unsigned a = argb >> 24;
    RECT r = rIn;
    if (!a || !Visible(r)) return;
    if (!m_bits) {
        HBRUSH b = CreateSolidBrush(RGB((argb >> 16) & 255, (argb >> 8) & 255, argb & 255));
        FillRect(m_dc, &r, b);
        DeleteObject(b);
        return;
    }
    GdiFlush();
    if (a >= 255) {
        // Opaque: the colour as it is, the pixels' top bytes kept.
        const uint32_t rgb = argb & 0xFFFFFFu;
        for (int y = r.top; y < r.bottom; ++y) {
            uint32_t* row = Row(y);
            int x = r.left;
#if defined(__SSE2__)
            // Four pixels at a time: the page's backgrounds are most of what is painted.
            const __m128i keep = _mm_set1_epi32((int)0xFF000000u), colour = _mm_set1_epi32((int)rgb);
            for (; x + 4 <= r.right; x += 4) {
                __m128i* p = reinterpret_cast<__m128i*>(row + x);
                _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(p), keep), colour));
            }
#endif
            for (; x < r.right; ++x) row[x] = (row[x] & 0xFF000000u) | rgb;
        }
        return;
    }
    for (int y = r.top; y < r.bottom; ++y) {
        uint32_t* row = Row(y);
        for (int x = r.left; x < r.right; ++x) row[x] = Mix(row[x], argb, a);
    }
}

void Canvas::FillShape(const Shape& s, uint32_t argb) {
    if (!s.Rounded() || !m_bits) {
        Fill(RECT{s.left, s.top, s.right, s.bottom}, argb);
        return;
    }
    unsigned a = argb >> 24;
    RECT r{s.left, s.top, s.right, s.bottom};
    if (!a || !Visible(r)) return;
    GdiFlush();
    for (int y = r.top; y < r.bottom; ++y) {
        uint32_t* row = Row(y);
        int from = 0, to = 0;
        if (!s.SolidSpan(y, &from, &to)) from = to = r.left;
        for (int x = r.left; x < r.right; ++x) {
            if (x >= from && x < to) {
                row[x] = Mix(row[x], argb, a);
                continue;
            }
            float c = s.Coverage(x, y);
            if (c > 0) row[x] = Mix(row[x], argb, (unsigned)(a * c + 0.5f));
        }
    }
}

void Canvas::Blend(int x, int y, uint32_t argb, float coverage) {
    if (!m_bits || coverage <= 0) return;
    uint32_t* row = Row(y);
    row[x] = Mix(row[x], argb, (unsigned)((argb >> 24) * std::min(1.0f, coverage) + 0.5f));
}

void Canvas::DrawImage(const Image& img, const RECT& dest, bool repeatX, bool repeatY, const RECT& area,
                       const Shape* mask) {
    int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
    if (!img.width || !img.height || dw <= 0 || dh <= 0 || img.pixels.size() < (size_t)img.width * img.height) return;
    RECT r = area;
    if (!repeatX) r.left = std::max(r.left, dest.left), r.right = std::min(r.right, dest.right);
    if (!repeatY) r.top = std::max(r.top, dest.top), r.bottom = std::min(r.bottom, dest.bottom);
    if (mask) {
        RECT m{mask->left, mask->top, mask->right, mask->bottom};
        IntersectRect(&r, &r, &m);
    }
    if (!Visible(r)) return;
    if (!m_bits) {
        // Without the pixels: one unscaled GDI copy, no alpha.
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = img.width;
        bi.bmiHeader.biHeight = -img.height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        StretchDIBits(m_dc, dest.left, dest.top, dw, dh, 0, 0, img.width, img.height, img.pixels.data(), &bi,
                      DIB_RGB_COLORS, SRCCOPY);
        return;
    }
    GdiFlush();
    std::vector<int> columns(r.right - r.left);
    for (int x = r.left; x < r.right; ++x) {
        int u = repeatX ? PositiveMod((long long)x - dest.left, dw) : x - dest.left;
        columns[x - r.left] = (int)((long long)u * img.width / dw);
    }
    for (int y = r.top; y < r.bottom; ++y) {
        int v = repeatY ? PositiveMod((long long)y - dest.top, dh) : y - dest.top;
        const uint32_t* src = img.pixels.data() + (size_t)((long long)v * img.height / dh) * img.width;
        uint32_t* row = Row(y);
        int from = r.left, to = r.right;
        bool masked = mask && mask->Rounded();
        if (masked && !mask->SolidSpan(y, &from, &to)) from = to = r.left;
        for (int x = r.left; x < r.right; ++x) {
            unsigned k = 255;
            if (masked && (x < from || x >= to)) {
                float c = mask->Coverage(x, y);
                if (c <= 0) continue;
                k = (unsigned)(c * 255 + 0.5f);
            }
            row[x] = Over(row[x], src[columns[x - r.left]], k);
        }
    }
}

void Canvas::BeginLayer(const RECT& rIn) {
    Layer l;
    l.r = rIn;
    if (!m_bits || !Visible(l.r)) l.r = RECT{};
    if (l.r.right > l.r.left) {
        GdiFlush();
        int w = l.r.right - l.r.left;
        l.saved.resize((size_t)w * (l.r.bottom - l.r.top));
        for (int y = l.r.top; y < l.r.bottom; ++y)
            std::copy(Row(y) + l.r.left, Row(y) + l.r.right, l.saved.begin() + (size_t)(y - l.r.top) * w);
    }
    m_layers.push_back(std::move(l));
}

void Canvas::EndLayer(float alpha, const Shape* mask) {
    if (m_layers.empty()) return;
    Layer l = std::move(m_layers.back());
    m_layers.pop_back();
    if (l.r.right <= l.r.left || (alpha >= 1 && !mask)) return;
    GdiFlush();
    unsigned a = (unsigned)(std::max(0.0f, std::min(1.0f, alpha)) * 255 + 0.5f);
    int w = l.r.right - l.r.left;
    for (int y = l.r.top; y < l.r.bottom; ++y) {
        uint32_t* row = Row(y);
        const uint32_t* before = l.saved.data() + (size_t)(y - l.r.top) * w;
        int from = l.r.left, to = l.r.right;
        if (mask && !mask->SolidSpan(y, &from, &to)) from = to = l.r.left;
        for (int x = l.r.left; x < l.r.right; ++x) {
            unsigned k = a;
            if (x < from || x >= to) k = (unsigned)(a * mask->Coverage(x, y) + 0.5f);
            if (k < 255) row[x] = Mix(before[x - l.r.left], row[x], k);
        }
    }
}

}  // namespace webview
