// Layout of a document: block boxes stacked downwards, inline content (text, images, buttons)
// broken into lines, with CJK text breakable between characters. The result is a display list in
// document coordinates and the boxes that mouse input is tested against; the fonts it measured
// with are kept for painting. Owned by the view.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Dom.h"

namespace webview {

class FontCache {
public:
    ~FontCache();
    HFONT Get(int size, bool bold, bool underline);
    int LineHeight(HDC dc, HFONT font);

private:
    std::map<int, HFONT> m_fonts;
    std::map<HFONT, int> m_heights;
};

struct PaintItem {
    enum Kind { Fill, Frame, Text, Picture } kind = Fill;
    RECT rc{};
    uint32_t color = 0;      // fill or text colour
    uint32_t background = 0; // text only: the background of its inline element
    Edges border;            // frame only
    std::wstring text;
    HFONT font = nullptr;
    int image = -1;          // picture only: the document's image
};

struct HitBox {
    RECT rc;
    uint32_t node;
};

struct LayoutResult {
    std::vector<PaintItem> items;
    std::vector<HitBox> hits;  // later boxes lie on top of earlier ones
    int width = 0, height = 0;
};

LayoutResult LayOut(Document& doc, int width, HDC measureDc, FontCache& fonts);

void Translate(LayoutResult& r, int dx, int dy);

}  // namespace webview
