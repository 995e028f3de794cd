#include "Paint.h"

#include <algorithm>

#include "Canvas.h"
#include "FormControls.h"
#include "PaintDecor.h"
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

// A block's own background and borders are drawn unclipped; what it holds is clipped to its
// padding box when it clips its overflow. The root's and (as browsers propagate it to the
// viewport) the body's overflow clip nothing.
bool ClipsContent(const Box* b) {
    if (!b->element || !b->ownsList || !b->parent || !(b->style.ClipsX() || b->style.ClipsY())) return false;
    if (b->tag == "body" && !b->parent->parent && !b->parent->style.ClipsX() && !b->parent->style.ClipsY())
        return false;
    return true;
}

// The padding box of a list owner whose origin is at (x, y); unbounded along an axis it does
// not clip.
RECT PaddingBox(const Box* b, int x, int y) {
    const Style& s = b->style;
    RECT r{b->border.left + s.border.left, b->border.top + s.border.top, b->border.right - s.border.right,
           b->border.bottom - s.border.bottom};
    OffsetRect(&r, x, y);
    const LONG kFar = 1 << 28;
    if (!s.ClipsX()) r.left = -kFar, r.right = kFar;
    if (!s.ClipsY()) r.top = -kFar, r.bottom = kFar;
    return r;
}

// Where the content of b (at x, y) is drawn: moved by its scroll offset (the root's is the page's).
POINT ContentOrigin(const Box* b, int x, int y) {
    return POINT{x - b->scroll.x, y - b->scroll.y};
}

class Painter {
public:
    Painter(Canvas& canvas, const std::vector<Image>& images) : m_cv(canvas), m_images(images) {}

    // The page from its root, at (x, y) of the picture.
    void Page(const Box* root, int x, int y) {
        m_root = root;
        m_rootBox = root->border;
        OffsetRect(&m_rootBox, x, y);
        Child(root, x, y);
    }

    // c's list with c's origin at (x, y), at its opacity; false when it is not laid out or lies
    // outside the picture (its scroll bars too, which are within its extent).
    bool Child(const Box* c, int x, int y) {
        if (c->needsLayout) return false;
        RECT ext = c->extent;
        OffsetRect(&ext, x, y);
        if (!m_cv.Visible(ext)) return false;
        float opacity = c->element ? c->style.opacity : 1;
        if (opacity <= 0) return true;
        if (opacity < 1) m_cv.BeginLayer(ext);
        List(c, x, y);
        if (opacity < 1) m_cv.EndLayer(opacity);
        return true;
    }

private:
    // Whether b's background is the canvas's (as LayOut chose it: the root's, else the body's).
    bool GivesCanvas(const Box* b) const {
        if (!m_root) return false;
        const Style& r = m_root->style;
        bool rootHas = (r.background >> 24) || !r.backgroundImage.empty();
        if (b == m_root) return rootHas;
        return !rootHas && b->parent == m_root && b->tag == "body";
    }

    void List(const Box* b, int x, int y) {
        const bool clips = ClipsContent(b);
        const POINT content = ContentOrigin(b, x, y);
        bool clipped = false;
        Shape rounded;  // a clipping box's rounded padding box
        const PaintItem* previous = nullptr;
        for (const PaintItem& it : b->items) {
            const bool own = IsOwnItem(b, it);
            if (clips && !own && !clipped) {
                RECT pad = PaddingBox(b, x, y);
                m_cv.PushClip(pad);
                clipped = true;
                RECT border = b->border;
                OffsetRect(&border, x, y);
                rounded = InnerShape(OuterShape(border, b->style), b->style.border);
                // Rounded corners clip too: what is drawn inside is kept within them.
                if (rounded.Rounded()) m_cv.BeginLayer(pad);
            }
            // A box's own background and borders stay while its content scrolls; all of the root's
            // list moves with the page, except fixed boxes.
            const POINT at = own && b->parent ? POINT{x, y} : content;
            if (it.kind == PaintItem::Child) {
                if (!it.box) continue;
                if (!IsRectEmpty(&it.rc) && b->parent) {
                    RECT seen = it.rc;
                    OffsetRect(&seen, at.x, at.y);
                    if (!m_cv.Visible(seen)) continue;
                }
                POINT o = IsFixedChild(b, it.box) ? POINT{x + it.box->origin.x, y + it.box->origin.y}
                                                  : POINT{at.x + it.box->origin.x, at.y + it.box->origin.y};
                if (Child(it.box, o.x, o.y)) PaintBoxBars(m_cv.Dc(), it.box, o.x, o.y);
                continue;
            }
            RECT rc = it.rc;
            OffsetRect(&rc, at.x, at.y);
            RECT seen = rc;
            InflateRect(&seen, 4, 4);  // text and its decorations may overhang a little
            if (m_cv.Visible(seen)) Item(it, rc, previous, at);
            previous = &it;
        }
        if (clipped && rounded.Rounded()) m_cv.EndLayer(1, &rounded);
        if (clipped) m_cv.PopClip();
    }

    // An image's picture follows its decoration: rounded corners clip it to where it is drawn.
    static bool RoundedImage(const PaintItem* decor, const RECT& picture, POINT at, Shape* content) {
        if (!decor || decor->kind != PaintItem::Decor || !decor->box || decor->box->tag != "img") return false;
        const Style& s = decor->box->style;
        if (!s.radius[0] && !s.radius[1] && !s.radius[2] && !s.radius[3]) return false;
        RECT border = decor->rc;
        OffsetRect(&border, at.x, at.y);
        *content = InnerShape(OuterShape(border, s), Edges{picture.top - border.top, border.right - picture.right,
                                                           border.bottom - picture.bottom, picture.left - border.left});
        return content->Rounded();
    }

    void Item(const PaintItem& it, const RECT& rc, const PaintItem* previous, POINT at) {
        HDC dc = m_cv.Dc();
        switch (it.kind) {
        case PaintItem::Child:
            break;
        case PaintItem::Fill:
            m_cv.Fill(rc, it.color);
            break;
        case PaintItem::Decor:
            if (it.box && !it.box->style.hidden)
                PaintDecor(m_cv, rc, it.box->style, it.box->backgroundImage, m_images,
                           GivesCanvas(it.box) ? &m_rootBox : nullptr);
            break;
        case PaintItem::Control:
            if (it.box) PaintFormControl(dc, rc, it.box);
            break;
        case PaintItem::Frame: {
            const Edges& e = it.border;
            m_cv.Fill(RECT{rc.left, rc.top, rc.right, rc.top + e.top}, it.color);
            m_cv.Fill(RECT{rc.left, rc.bottom - e.bottom, rc.right, rc.bottom}, it.color);
            m_cv.Fill(RECT{rc.left, rc.top, rc.left + e.left, rc.bottom}, it.color);
            m_cv.Fill(RECT{rc.right - e.right, rc.top, rc.right, rc.bottom}, it.color);
            break;
        }
        case PaintItem::Text:
            Text(it, rc);
            break;
        case PaintItem::Picture:
            if (it.image >= 0 && it.image < (int)m_images.size()) {
                bool ofImage = previous && previous->kind == PaintItem::Decor && previous->box &&
                               previous->box->tag == "img";
                if (ofImage && previous->box->style.hidden) break;
                Shape content;
                bool rounded = RoundedImage(previous, rc, at, &content);
                m_cv.DrawImage(m_images[it.image], rc, false, false, rc, rounded ? &content : nullptr);
            }
            break;
        }
    }

    void Text(const PaintItem& it, const RECT& rc) {
        const Style* s = it.box ? &it.box->style : nullptr;
        if (s && s->hidden) return;
        m_cv.Fill(rc, it.background);
        // A block's opacity is its layer's; an inline element's applies to its own text here.
        float alpha = (it.color >> 24) / 255.0f;
        if (s && !it.box->ownsList && s->display == Display::Inline) alpha *= s->opacity;
        if (alpha <= 0 || it.text.empty()) return;
        RECT area = rc;
        InflateRect(&area, 4, 4);
        if (alpha < 1) m_cv.BeginLayer(area);
        HDC dc = m_cv.Dc();
        HGDIOBJ old = SelectObject(dc, it.font);
        SetTextColor(dc, RGB((it.color >> 16) & 255, (it.color >> 8) & 255, it.color & 255));
        const int n = (int)it.text.size();
        std::vector<INT> dx;
        if (s && s->letterSpacing) {
            // Each character's advance and the spacing after it.
            std::vector<INT> ends(n);
            SIZE total{};
            if (GetTextExtentExPointW(dc, it.text.c_str(), n, 0, nullptr, ends.data(), &total)) {
                dx.resize(n);
                for (int i = 0; i < n; ++i) dx[i] = ends[i] - (i ? ends[i - 1] : 0) + s->letterSpacing;
            }
        }
        ExtTextOutW(dc, rc.left, rc.top, 0, nullptr, it.text.c_str(), (UINT)n, dx.empty() ? nullptr : dx.data());
        if (s && (s->underline || s->lineThrough || s->overline)) {
            TEXTMETRICW tm{};
            GetTextMetricsW(dc, &tm);
            const int thick = std::max(1, (s->fontSize + 8) / 16);
            const int baseline = rc.top + tm.tmAscent;
            int right = rc.right;
            if (!dx.empty()) {
                right = rc.left;
                for (INT d : dx) right += d;
            }
            const uint32_t color = 0xFF000000u | (it.color & 0xFFFFFFu);
            // The font may draw the underline itself.
            if (s->underline && !tm.tmUnderlined)
                m_cv.Fill(RECT{rc.left, baseline + 1, right, baseline + 1 + thick}, color);
            if (s->lineThrough) {
                int y = baseline - (int)(tm.tmAscent * 0.3f + 0.5f);
                m_cv.Fill(RECT{rc.left, y, right, y + thick}, color);
            }
            if (s->overline) m_cv.Fill(RECT{rc.left, rc.top, right, rc.top + thick}, color);
        }
        SelectObject(dc, old);
        if (alpha < 1) m_cv.EndLayer(alpha);
    }

    Canvas& m_cv;
    const std::vector<Image>& m_images;
    const Box* m_root = nullptr;
    RECT m_rootBox{};
};

}  // namespace

void PaintPage(HDC dc, const Box* root, const LayoutResult& page, const RECT& area,
               const std::vector<Image>& images) {
    Canvas canvas(dc);
    canvas.PushClip(area);
    canvas.Fill(area, 0xFFFFFFFFu);
    canvas.Fill(area, page.canvas);
    SetBkMode(dc, TRANSPARENT);
    // A tree changed since its last layout may hold lists that name boxes gone since: not drawn.
    if (root && !root->needsLayout && root->ownsList) Painter(canvas, images).Page(root, root->origin.x, root->origin.y);
    canvas.PopClip();
    GdiFlush();
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
        unsigned r = (p[0] * a + 127) / 255, g = (p[1] * a + 127) / 255, b = (p[2] * a + 127) / 255;
        img.pixels[i] = (a << 24) | (r << 16) | (g << 8) | b;
    }
    stbi_image_free(data);
    return true;
}

}  // namespace webview
