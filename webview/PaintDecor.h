// A box's decoration as its style says: background colour over the border box, background image
// placed against the padding box and tiled across the border box (repeat, position, size), and the
// four borders with their own widths, colours and styles; all of it within the rounded outline
// that border-radius gives. Used by Paint.cpp for each Decor item.
#pragma once
#include <windows.h>

#include <vector>

#include "Canvas.h"
#include "Css.h"

namespace webview {

// The border box rc rounded by the style's radii (percentages of its width and height), the radii
// scaled down together where adjacent ones would overlap.
Shape OuterShape(const RECT& rc, const Style& s);

// The shape inside the border (insets: also the padding, for a content box), its radii what
// is left of the outer ones.
Shape InnerShape(const Shape& outer, const Edges& insets);

// image: the document's image of the background (-1 for none; not drawn until decoded).
// canvasBox: set for the box whose background the page's canvas took (the root's, else the
// body's): its colour is already drawn under everything, its image is placed against canvasBox
// (the root's border box) and tiled over the whole picture.
void PaintDecor(Canvas& canvas, const RECT& rc, const Style& s, int image, const std::vector<Image>& images,
                const RECT* canvasBox = nullptr);

}  // namespace webview
