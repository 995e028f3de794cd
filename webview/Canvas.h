// Drawing straight into the view's picture (a 32-bit DIB section selected into a memory DC) for
// what GDI does not do for us: colours with alpha, antialiased rounded shapes, images with alpha
// scaled and tiled, and groups drawn at an opacity (layers). Text and form controls still draw
// through the DC with GDI; the canvas keeps the DC's clip in step with its own.
//
// Made for one paint over a DC the caller owns; holds nothing past its life.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "Dom.h"

namespace webview {

// A rectangle with elliptical corners (radii per corner: top-left, top-right, bottom-right,
// bottom-left), in picture pixels.
struct Shape {
    int left = 0, top = 0, right = 0, bottom = 0;
    float rx[4] = {0, 0, 0, 0}, ry[4] = {0, 0, 0, 0};
    bool Rounded() const { return rx[0] > 0 || rx[1] > 0 || rx[2] > 0 || rx[3] > 0; }
    bool Empty() const { return right <= left || bottom <= top; }
    // How much of pixel (x, y) lies inside, 0 to 1 (sampled at the corners).
    float Coverage(int x, int y) const;
    // The pixels of row y that are surely inside: [*from, *to); false when none are.
    bool SolidSpan(int y, int* from, int* to) const;
};

class Canvas {
public:
    explicit Canvas(HDC dc);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return m_dc; }
    // The picture's pixels are reachable (else only GDI draws, without alpha).
    bool Direct() const { return m_bits != nullptr; }

    // Clipping, nested: each rectangle narrows the one before.
    void PushClip(const RECT& r);
    void PopClip();
    const RECT& Clip() const { return m_clips.back(); }

    // Colour argb (0xAARRGGBB) over the rectangle or shape, blended by its alpha.
    void Fill(const RECT& r, uint32_t argb);
    void FillShape(const Shape& s, uint32_t argb);
    // One pixel blended with argb at coverage (0..1) of its alpha; (x, y) must lie in the clip.
    void Blend(int x, int y, uint32_t argb, float coverage);

    // An image scaled to dest; with repeatX/repeatY, tiled from dest across area (else drawn
    // once, within area). mask: only inside this shape.
    void DrawImage(const Image& img, const RECT& dest, bool repeatX, bool repeatY, const RECT& area,
                   const Shape* mask = nullptr);

    // What is drawn between BeginLayer and EndLayer over r is blended with what was there before
    // at alpha (0..1), and only inside mask when one is given. Nested layers end in reverse order.
    void BeginLayer(const RECT& r);
    void EndLayer(float alpha, const Shape* mask = nullptr);

    // Pixels within the clip in the rows y0..y1 and columns x0..x1 (clamped).
    bool Visible(RECT& r) const;

private:
    uint32_t* Row(int y) const { return m_bits + (m_topDown ? y : m_height - 1 - y) * m_width; }

    HDC m_dc;
    uint32_t* m_bits = nullptr;
    int m_width = 0, m_height = 0;
    bool m_topDown = true;
    std::vector<RECT> m_clips;
    int m_savedDc = 0;
    struct Layer {
        RECT r;
        std::vector<uint32_t> saved;
    };
    std::vector<Layer> m_layers;
};

}  // namespace webview
