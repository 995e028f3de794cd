// Painting of a laid-out page with GDI into the view's off-screen picture (a 32-bit DIB section
// selected into a memory DC owned by the view).
#pragma once
#include <windows.h>

#include <vector>

#include "Layout.h"

namespace webview {

// Paints the part `area` of the view's picture (view coordinates) into dc: the lists of the boxes
// laid out below root that reach into it. The page's own scroll is the root box's, applied with the
// boxes' scroll offsets (see ScrollOffset.h).
void PaintPage(HDC dc, const Box* root, const LayoutResult& page, const RECT& area, const std::vector<Image>& images);

// The largest picture decoded, in pixels; larger ones are refused from their header alone.
const long long kMaxImagePixels = 16LL * 1024 * 1024;

// Decodes an image file's bytes (PNG, JPEG, GIF's first frame, BMP) into img, its alpha kept
// (premultiplied): what lies below shows through.
bool DecodeImage(const std::string& bytes, Image& img);

}  // namespace webview
