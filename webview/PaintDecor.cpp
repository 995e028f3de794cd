#include "PaintDecor.h"

#include <algorithm>
#include <cmath>

namespace webview {

namespace {

enum Side { Top, Right, Bottom, Left };

// The darker shade of inset, outset, groove and ridge borders, as Chromium draws them.
uint32_t Dark(uint32_t argb) {
    uint32_t a = argb & 0xFF000000u;
    if ((argb & 0xFFFFFFu) == 0) return a | 0x545454u;
    float r = ((argb >> 16) & 255) / 255.0f, g = ((argb >> 8) & 255) / 255.0f, b = (argb & 255) / 255.0f;
    float v = std::max(r, std::max(g, b));
    float m = std::max(0.0f, (v - 0.33f) / v);
    return a | (uint32_t(r * m * 255 + 0.5f) << 16) | (uint32_t(g * m * 255 + 0.5f) << 8) | uint32_t(b * m * 255 + 0.5f);
}

struct Borders {
    const Style& s;
    Shape outer, inner;
    int w[4];  // top right bottom left

    // Which side draws pixel (x, y) of the border area; *corner when it lies in a corner's zone.
    Side SideOf(int x, int y, bool* corner) const {
        const float px = x + 0.5f, py = y + 0.5f;
        const float l = (float)outer.left, t = (float)outer.top, r = (float)outer.right, b = (float)outer.bottom;
        *corner = true;
        // Each corner is split along the line from the outer corner to the inner one.
        if (px < l + std::max(outer.rx[0], (float)w[Left]) && py < t + std::max(outer.ry[0], (float)w[Top]))
            return (py - t) * w[Left] < (px - l) * w[Top] ? Top : Left;
        if (px >= r - std::max(outer.rx[1], (float)w[Right]) && py < t + std::max(outer.ry[1], (float)w[Top]))
            return (py - t) * w[Right] < (r - px) * w[Top] ? Top : Right;
        if (px >= r - std::max(outer.rx[2], (float)w[Right]) && py >= b - std::max(outer.ry[2], (float)w[Bottom]))
            return (b - py) * w[Right] < (r - px) * w[Bottom] ? Bottom : Right;
        if (px < l + std::max(outer.rx[3], (float)w[Left]) && py >= b - std::max(outer.ry[3], (float)w[Bottom]))
            return (b - py) * w[Left] < (px - l) * w[Bottom] ? Bottom : Left;
        *corner = false;
        if (y < outer.top + w[Top]) return Top;
        if (y >= outer.bottom - w[Bottom]) return Bottom;
        if (x < outer.left + w[Left]) return Left;
        return Right;
    }

    // The colour of pixel (x, y) drawn by side, with alpha 0 where its style leaves a gap.
    uint32_t ColorAt(Side side, int x, int y, bool roundCorner) const {
        BorderStyle style = s.borderStyle[side];
        uint32_t color = s.borderColors[side];
        const int width = w[side];
        const bool horizontal = side == Top || side == Bottom;
        const int along = horizontal ? x - outer.left : y - outer.top;
        const int length = horizontal ? outer.right - outer.left : outer.bottom - outer.top;
        const int depth = side == Top ? y - outer.top
                          : side == Bottom ? outer.bottom - 1 - y
                          : side == Left ? x - outer.left
                                         : outer.right - 1 - x;
        const bool topLeft = side == Top || side == Left;
        switch (style) {
        case BorderStyle::Dashed: {
            if (roundCorner) break;
            // Dashes three widths long, the gaps stretched so that both ends get a whole dash.
            int dash = std::max(1, 3 * width);
            int n = std::max(1, (int)((length + dash) / (2.0f * dash) + 0.5f));
            if (n < 2 || length < 2 * dash) break;
            float period = dash + (float)(length - n * dash) / (n - 1);
            float within = along - std::floor(along / period) * period;
            if (within >= dash) return 0;
            break;
        }
        case BorderStyle::Dotted: {
            if (roundCorner) break;
            // Dots one width across, one width apart (spaced to fit), round from three pixels.
            int n = std::max(1, (int)((length + width) / (2.0f * width)));
            if (n < 2) break;
            float spacing = (float)(length - width) / (n - 1);
            float pos = along + 0.5f - width / 2.0f;
            float k = std::max(0.0f, std::min((float)(n - 1), std::floor(pos / spacing + 0.5f)));
            float da = std::fabs(pos - k * spacing);
            if (width >= 3) {
                float dd = depth + 0.5f - width / 2.0f;
                if (da * da + dd * dd > width * width / 4.0f) return 0;
            } else if (da >= width / 2.0f + 0.01f) {
                return 0;
            }
            break;
        }
        case BorderStyle::Double: {
            if (width < 3 || roundCorner) break;
            int third = (width + 1) / 3;
            if (depth >= third && depth < width - third) return 0;
            break;
        }
        case BorderStyle::Inset: return topLeft ? Dark(color) : color;
        case BorderStyle::Outset: return topLeft ? color : Dark(color);
        case BorderStyle::Groove:
        case BorderStyle::Ridge: {
            bool outerHalf = depth < width / 2;
            bool dark = (outerHalf == topLeft) == (style == BorderStyle::Groove);
            return dark ? Dark(color) : color;
        }
        default:
            break;
        }
        return color;
    }
};

void PaintBorders(Canvas& cv, const Shape& outer, const Style& s) {
    Borders bd{s, outer, outer, {s.border.top, s.border.right, s.border.bottom, s.border.left}};
    if (!bd.w[0] && !bd.w[1] && !bd.w[2] && !bd.w[3]) return;
    bool anyColor = false;
    for (int i = 0; i < 4; ++i) anyColor = anyColor || (bd.w[i] && (s.borderColors[i] >> 24));
    if (!anyColor) return;
    const Shape& in = bd.inner = InnerShape(outer, s.border);
    RECT r{outer.left, outer.top, outer.right, outer.bottom};
    if (!cv.Visible(r)) return;
    if (!cv.Direct()) {
        // Without the pixels: plain GDI bands.
        cv.Fill(RECT{outer.left, outer.top, outer.right, outer.top + bd.w[Top]}, s.borderColors[Top]);
        cv.Fill(RECT{outer.right - bd.w[Right], outer.top, outer.right, outer.bottom}, s.borderColors[Right]);
        cv.Fill(RECT{outer.left, outer.bottom - bd.w[Bottom], outer.right, outer.bottom}, s.borderColors[Bottom]);
        cv.Fill(RECT{outer.left, outer.top, outer.left + bd.w[Left], outer.bottom}, s.borderColors[Left]);
        return;
    }
    GdiFlush();
    const bool rounded = outer.Rounded();
    for (int y = r.top; y < r.bottom; ++y) {
        int skipFrom = 0, skipTo = 0;
        if (!in.Empty() && !in.SolidSpan(y, &skipFrom, &skipTo)) skipFrom = skipTo = 0;
        for (int x = r.left; x < r.right; ++x) {
            if (x >= skipFrom && x < skipTo) {
                x = skipTo - 1;
                continue;
            }
            float cover = outer.Coverage(x, y) - (in.Empty() ? 0 : in.Coverage(x, y));
            if (cover <= 0) continue;
            bool corner = false;
            Side side = bd.SideOf(x, y, &corner);
            if (!bd.w[side]) continue;
            uint32_t c = bd.ColorAt(side, x, y, corner && rounded);
            if (c >> 24) cv.Blend(x, y, c, cover);
        }
    }
}

}  // namespace

Shape InnerShape(const Shape& outer, const Edges& e) {
    Shape in = outer;
    in.left += e.left, in.top += e.top, in.right -= e.right, in.bottom -= e.bottom;
    const int hw[4] = {e.left, e.right, e.right, e.left}, vw[4] = {e.top, e.top, e.bottom, e.bottom};
    for (int i = 0; i < 4; ++i) {
        in.rx[i] = std::max(0.0f, outer.rx[i] - hw[i]);
        in.ry[i] = std::max(0.0f, outer.ry[i] - vw[i]);
        if (in.rx[i] <= 0 || in.ry[i] <= 0) in.rx[i] = in.ry[i] = 0;
    }
    return in;
}

Shape OuterShape(const RECT& rc, const Style& s) {
    Shape sh;
    sh.left = rc.left, sh.top = rc.top, sh.right = rc.right, sh.bottom = rc.bottom;
    const float w = (float)(rc.right - rc.left), h = (float)(rc.bottom - rc.top);
    if (w <= 0 || h <= 0) return sh;
    for (int i = 0; i < 4; ++i) {
        int r = s.radius[i];
        sh.rx[i] = r < 0 ? w * -r / 100 : (float)r;
        sh.ry[i] = r < 0 ? h * -r / 100 : (float)r;
    }
    float f = 1;
    if (sh.rx[0] + sh.rx[1] > w) f = std::min(f, w / (sh.rx[0] + sh.rx[1]));
    if (sh.rx[3] + sh.rx[2] > w) f = std::min(f, w / (sh.rx[3] + sh.rx[2]));
    if (sh.ry[0] + sh.ry[3] > h) f = std::min(f, h / (sh.ry[0] + sh.ry[3]));
    if (sh.ry[1] + sh.ry[2] > h) f = std::min(f, h / (sh.ry[1] + sh.ry[2]));
    for (int i = 0; i < 4; ++i) {
        sh.rx[i] *= f;
        sh.ry[i] *= f;
        if (sh.rx[i] <= 0 || sh.ry[i] <= 0) sh.rx[i] = sh.ry[i] = 0;
    }
    return sh;
}

void PaintDecor(Canvas& cv, const RECT& rc, const Style& s, int image, const std::vector<Image>& images,
                const RECT* canvasBox) {
    if (rc.right <= rc.left || rc.bottom <= rc.top) return;
    Shape outer = OuterShape(rc, s);
    if (!canvasBox) cv.FillShape(outer, s.background);
    if (image >= 0 && image < (int)images.size() && images[image].width && images[image].height) {
        const Image& img = images[image];
        const Edges b = canvasBox ? Edges() : s.border;
        const RECT& placed = canvasBox ? *canvasBox : rc;
        RECT pad{placed.left + b.left, placed.top + b.top, placed.right - b.right, placed.bottom - b.bottom};
        const float pw = (float)std::max(0L, pad.right - pad.left), ph = (float)std::max(0L, pad.bottom - pad.top);
        float dw = (float)img.width, dh = (float)img.height;
        const BackgroundSize& size = s.backgroundSize;
        if (size.kind == BackgroundSize::Cover || size.kind == BackgroundSize::Contain) {
            float sx = pw / img.width, sy = ph / img.height;
            float k = size.kind == BackgroundSize::Cover ? std::max(sx, sy) : std::min(sx, sy);
            dw = img.width * k;
            dh = img.height * k;
        } else if (size.kind == BackgroundSize::Lengths) {
            float w = size.width.IsAuto() ? -1 : size.width.kind == Length::Percent ? pw * size.width.value / 100
                                                                                     : size.width.value;
            float h = size.height.IsAuto() ? -1 : size.height.kind == Length::Percent ? ph * size.height.value / 100
                                                                                       : size.height.value;
            if (w >= 0 && h >= 0) dw = w, dh = h;
            else if (w >= 0) dw = w, dh = w * img.height / img.width;
            else if (h >= 0) dh = h, dw = h * img.width / img.height;
        }
        int iw = std::max(1, (int)std::lround(dw)), ih = std::max(1, (int)std::lround(dh));
        // A percentage puts that point of the image on the same point of the padding box.
        auto place = [](const Length& l, float room) {
            return l.kind == Length::Percent ? room * l.value / 100 : l.kind == Length::Px ? l.value : 0.0f;
        };
        int x = pad.left + (int)std::lround(place(s.backgroundX, pw - iw));
        int y = pad.top + (int)std::lround(place(s.backgroundY, ph - ih));
        bool rx = s.backgroundRepeat == Repeat::Repeat || s.backgroundRepeat == Repeat::RepeatX;
        bool ry = s.backgroundRepeat == Repeat::Repeat || s.backgroundRepeat == Repeat::RepeatY;
        if (canvasBox) cv.DrawImage(img, RECT{x, y, x + iw, y + ih}, rx, ry, cv.Clip());
        else cv.DrawImage(img, RECT{x, y, x + iw, y + ih}, rx, ry, rc, outer.Rounded() ? &outer : nullptr);
    }
    PaintBorders(cv, outer, s);
}

}  // namespace webview
