// What the render engine's source files share (UIRenderImage.cpp, UIRenderBitmap.cpp,
// UIRenderShapes.cpp, UIRenderClip.cpp, UIRenderText.cpp); private to them.
#pragma once
#include "UIRender.h"

namespace Veneer {
namespace render_detail {

// At most this many pixels per image (a 64 MiB DIB); larger pictures are refused.
const long long kMaxImagePixels = 16LL * 1024 * 1024;

typedef BOOL(WINAPI* PFN_AlphaBlend)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

// msimg32's AlphaBlend, looked up on first use; a software blend where the system has none.
PFN_AlphaBlend GetAlphaBlend();

// A 32-bit DIB section; negative height gives a top-down one. Null when the size is unusable.
HBITMAP CreateDibSection32(int cx, int cy, bool topDown, BYTE** bits);

// Reads one item key='value' of an image description. Returns false at the end or at a malformed
// item, leaving p where it was; on success p is left after the item and its one trailing blank.
bool ReadImageItem(const wchar_t*& pos, CUIString& key, CUIString& value, bool& more);

inline COLORREF ToColorRef(DWORD colour)
{
    return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

inline void ZeroRect(RECT& rc)
{
    ::SetRect(&rc, 0, 0, 0, 0);
}

inline bool IsZeroRect(const RECT& rc)
{
    return rc.left == 0 && rc.top == 0 && rc.right == 0 && rc.bottom == 0;
}

// Draws the pieces of one bitmap selected into hMemDC: blended or copied, stretched or not.
struct TPieceBlitter {
    HDC hDC;
    HDC hMemDC;
    bool blend;
    BLENDFUNCTION bf;
    PFN_AlphaBlend pfnAlphaBlend;

    // A piece with no extent on either side draws nothing (and divides nothing).
    void Stretch(int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh) const
    {
        if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
        if (blend) pfnAlphaBlend(hDC, dx, dy, dw, dh, hMemDC, sx, sy, sw, sh, bf);
        else ::StretchBlt(hDC, dx, dy, dw, dh, hMemDC, sx, sy, sw, sh, SRCCOPY);
    }
    void Copy(int dx, int dy, int w, int h, int sx, int sy) const
    {
        if (w <= 0 || h <= 0) return;
        if (blend) pfnAlphaBlend(hDC, dx, dy, w, h, hMemDC, sx, sy, w, h, bf);
        else ::BitBlt(hDC, dx, dy, w, h, hMemDC, sx, sy, SRCCOPY);
    }
};

} // namespace render_detail
} // namespace Veneer
