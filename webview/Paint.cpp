#include "Paint.h"

#include <algorithm>

#include "FormControls.h"
#include "ScrollBar.h"
#include "ScrollOffset.h"

#define STBI_NO_STDIO
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace webview {

namespace {

COLORREF Gdi(uint32_t argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

void Fill(HDC dc, const RECT& rc, uint32_t argb) {
    if (!(argb >> 24) || rc.right <= rc.left || rc.bottom <= rc.top) return;
    HBRUSH b = CreateSolidBrush(Gdi(argb));
    FillRect(dc, &rc, b);
    DeleteObject(b);
}

}  // namespace

namespace {

// Paints b's list with its origin at (x, y) of the picture, skipping the child blocks that draw
// nothing between the rows top and bottom.
void PaintBox(HDC dc, const Box* b, int x, int y, int top, int bottom, const std::vector<Image>& images) {
    for (const PaintItem& it : b->items) {
        if (it.kind == PaintItem::Child) {
            const Box* c = it.box;
            if (c->needsLayout) continue;
            POINT at = ChildOrigin(b, c, x, y);
            int cx = at.x, cy = at.y;
            if (cy + c->extent.bottom < top || cy + c->extent.top > bottom) continue;
            PaintBox(dc, c, cx, cy, top, bottom, images);
            PaintBoxBars(dc, c, cx, cy);
            continue;
        }
        RECT rc = it.rc;
        POINT from = ItemOrigin(b, it, x, y);
        OffsetRect(&rc, from.x, from.y);
        if (rc.bottom < top || rc.top > bottom) continue;
        switch (it.kind) {
        case PaintItem::Child:
            break;
        case PaintItem::Fill:
            Fill(dc, rc, it.color);
            break;
        case PaintItem::Decor: {
            if (!it.box) break;
            const Style& s = it.box->style;
            if (s.hidden) break;
            Fill(dc, rc, s.background);
            const Edges& e = s.border;
            Fill(dc, RECT{rc.left, rc.top, rc.right, rc.top + e.top}, s.borderColors[0]);
            Fill(dc, RECT{rc.right - e.right, rc.top, rc.right, rc.bottom}, s.borderColors[1]);
            Fill(dc, RECT{rc.left, rc.bottom - e.bottom, rc.right, rc.bottom}, s.borderColors[2]);
            Fill(dc, RECT{rc.left, rc.top, rc.left + e.left, rc.bottom}, s.borderColors[3]);
            break;
        }
        case PaintItem::Control:
            if (it.box) PaintFormControl(dc, rc, it.box);
            break;
        case PaintItem::Frame: {
            const Edges& e = it.border;
            Fill(dc, RECT{rc.left, rc.top, rc.right, rc.top + e.top}, it.color);
            Fill(dc, RECT{rc.left, rc.bottom - e.bottom, rc.right, rc.bottom}, it.color);
            Fill(dc, RECT{rc.left, rc.top, rc.left + e.left, rc.bottom}, it.color);
            Fill(dc, RECT{rc.right - e.right, rc.top, rc.right, rc.bottom}, it.color);
            break;
        }
        case PaintItem::Text: {
            Fill(dc, rc, it.background);
            HGDIOBJ old = SelectObject(dc, it.font);
            SetTextColor(dc, Gdi(it.color));
            TextOutW(dc, rc.left, rc.top, it.text.c_str(), (int)it.text.size());
            SelectObject(dc, old);
            break;
        }
        case PaintItem::Picture: {
            if (it.image < 0 || it.image >= (int)images.size()) break;
            const Image& img = images[it.image];
            if (!img.width || !img.height || rc.right <= rc.left || rc.bottom <= rc.top) break;
            BITMAPINFO bi{};
            bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
            bi.bmiHeader.biWidth = img.width;
            bi.bmiHeader.biHeight = -img.height;
            bi.bmiHeader.biPlanes = 1;
            bi.bmiHeader.biBitCount = 32;
            bi.bmiHeader.biCompression = BI_RGB;
            SetStretchBltMode(dc, COLORONCOLOR);
            StretchDIBits(dc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, 0, 0, img.width, img.height,
                          img.pixels.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
            break;
        }
        }
    }
}

}  // namespace

void PaintPage(HDC dc, const Box* root, const LayoutResult& page, int scrollY, int width, int height,
               const std::vector<Image>& images) {
    RECT all{0, 0, width, height};
    Fill(dc, all, page.canvas);
    SetBkMode(dc, TRANSPARENT);
    // A tree changed since its last layout may hold lists that name boxes gone since: not drawn.
    if (!root || root->needsLayout || !root->ownsList) return;
    PaintBox(dc, root, root->origin.x, root->origin.y - scrollY, 0, height, images);
}

bool DecodeImage(const std::string& bytes, Image& img) {
    int w = 0, h = 0, n = 0;
    if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return false;
    // The header says how large the picture is: one too large is refused before any decoding.
    if (!stbi_info_from_memory((const unsigned char*)bytes.data(), (int)bytes.size(), &w, &h, &n) ||
        (long long)w * h > kMaxImagePixels)
        return false;
    unsigned char* data =
        stbi_load_from_memory((const unsigned char*)bytes.data(), (int)bytes.size(), &w, &h, &n, 4);
    if (!data) return false;
    if ((long long)w * h > kMaxImagePixels) {
        stbi_image_free(data);
        return false;
    }
    img.width = w;
    img.height = h;
    img.pixels.resize((size_t)w * h);
    for (size_t i = 0; i < img.pixels.size(); ++i) {
        const unsigned char* p = data + i * 4;
        unsigned a = p[3];
        unsigned r = (p[0] * a + 255 * (255 - a)) / 255, g = (p[1] * a + 255 * (255 - a)) / 255,
                 b = (p[2] * a + 255 * (255 - a)) / 255;
        img.pixels[i] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
    stbi_image_free(data);
    return true;
}

}  // namespace webview
