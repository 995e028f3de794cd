// Render engine: bitmaps. msimg32's AlphaBlend and the software blend in its place, 32-bit DIB
// sections, bitmap drawing (nine-grid corners, stretched or tiled middle, hole, constant
// opacity) and rendering a window's controls into a bitmap.
#include "UIRender.h"
#include "UIRenderPrivate.h"
#include "UIManager.h"
#include "UIControl.h"

namespace Veneer {

using namespace render_detail;

namespace {

BOOL WINAPI SoftwareAlphaBlend(HDC hdcDest, int xDest, int yDest, int cxDest, int cyDest, HDC hdcSrc, int xSrc,
                               int ySrc, int cxSrc, int cySrc, BLENDFUNCTION bf)
{
    HDC hSrcDC = ::CreateCompatibleDC(hdcDest);
    HDC hDestDC = ::CreateCompatibleDC(hdcDest);
    if (hSrcDC == NULL || hDestDC == NULL) {
        if (hSrcDC != NULL) ::DeleteDC(hSrcDC);
        if (hDestDC != NULL) ::DeleteDC(hDestDC);
        return FALSE;
    }
    BYTE* pSrc = NULL;
    BYTE* pDest = NULL;
    HBITMAP hSrcBmp = CreateDibSection32(cxDest, cyDest, false, &pSrc);
    HBITMAP hDestBmp = CreateDibSection32(cxDest, cyDest, false, &pDest);
    if (hSrcBmp == NULL || hDestBmp == NULL) {
        if (hSrcBmp != NULL) ::DeleteObject(hSrcBmp);
        if (hDestBmp != NULL) ::DeleteObject(hDestBmp);
        ::DeleteDC(hSrcDC);
        ::DeleteDC(hDestDC);
        return FALSE;
    }
    HBITMAP hOldSrc = (HBITMAP)::SelectObject(hSrcDC, hSrcBmp);
    HBITMAP hOldDest = (HBITMAP)::SelectObject(hDestDC, hDestBmp);
    ::StretchBlt(hSrcDC, 0, 0, cxDest, cyDest, hdcSrc, xSrc, ySrc, cxSrc, cySrc, SRCCOPY);
    ::BitBlt(hDestDC, 0, 0, cxDest, cyDest, hdcDest, xDest, yDest, SRCCOPY);
    ::GdiFlush();
    size_t count = (size_t)cxDest * (size_t)cyDest;
    for (size_t i = 0; i < count; ++i) {
        BYTE* s = pSrc + i * 4;
        BYTE* d = pDest + i * 4;
        double a = (double)s[3] * bf.SourceConstantAlpha / 255.0 / 255.0;
        if (a < 0) a = 0;
        for (int c = 0; c < 3; ++c) d[c] = (BYTE)(s[c] * a + d[c] * (1.0 - a));
        d[3] = 0;
    }
    ::BitBlt(hdcDest, xDest, yDest, cxDest, cyDest, hDestDC, 0, 0, SRCCOPY);
    ::SelectObject(hSrcDC, hOldSrc);
    ::SelectObject(hDestDC, hOldDest);
    ::DeleteObject(hSrcBmp);
    ::DeleteObject(hDestBmp);
    ::DeleteDC(hSrcDC);
    ::DeleteDC(hDestDC);
    return TRUE;
}

bool g_bAlphaBlendLooked = false;
PFN_AlphaBlend g_pfnAlphaBlend = NULL;

} // namespace

namespace render_detail {

PFN_AlphaBlend GetAlphaBlend()
{
    if (!g_bAlphaBlendLooked) {
        g_bAlphaBlendLooked = true;
        HMODULE hMod = ::GetModuleHandleW(L"msimg32.dll");
        if (hMod != NULL) g_pfnAlphaBlend = (PFN_AlphaBlend)(void*)::GetProcAddress(hMod, "AlphaBlend");
        if (g_pfnAlphaBlend == NULL) g_pfnAlphaBlend = SoftwareAlphaBlend;
    }
    return g_pfnAlphaBlend;
}

HBITMAP CreateDibSection32(int cx, int cy, bool topDown, BYTE** bits)
{
    if (bits != NULL) *bits = NULL;
    if (cx <= 0 || cy <= 0 || (long long)cx * cy > kMaxImagePixels * 4) return NULL;
    BITMAPINFO bmi;
    ::ZeroMemory(&bmi, sizeof(bmi));
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = topDown ? -cy : cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    bmi.bmiHeader.biSizeImage = (DWORD)cx * (DWORD)cy * 4;
    void* pv = NULL;
    HBITMAP hBitmap = ::CreateDIBSection(NULL, &bmi, DIB_RGB_COLORS, &pv, NULL, 0);
    if (hBitmap == NULL || pv == NULL) {
        if (hBitmap != NULL) ::DeleteObject(hBitmap);
        return NULL;
    }
    if (bits != NULL) *bits = (BYTE*)pv;
    return hBitmap;
}

} // namespace render_detail

////////////////////////////////////////////////////////////////////////////////////////////////////
// Bitmap drawing

namespace {

bool Meets(const RECT& paint, int x, int y, int w, int h)
{
    if (w <= 0 || h <= 0) return false;
    RECT rc = {x, y, x + w, y + h};
    RECT tmp;
    return ::IntersectRect(&tmp, &rc, &paint) != FALSE;
}

} // namespace

void CUIPainter::DrawImage(HDC hDC, HBITMAP hBitmap, const RECT& rcDest, const RECT& rcPaint, const RECT& rcSource,
                           const RECT& rcCorners, bool bAlpha, BYTE uFade, bool bHole, bool bXTiled, bool bYTiled)
{
    PFN_AlphaBlend pfnAlphaBlend = GetAlphaBlend();
    if (hBitmap == NULL || hDC == NULL) return;

    HDC hMemDC = ::CreateCompatibleDC(hDC);
    if (hMemDC == NULL) return;
    HBITMAP hOldBitmap = (HBITMAP)::SelectObject(hMemDC, hBitmap);
    ::SetStretchBltMode(hDC, HALFTONE);

    const RECT& c = rcCorners;
    RECT rcMiddle = {rcDest.left + c.left, rcDest.top + c.top, rcDest.right - c.right, rcDest.bottom - c.bottom};
    const int sx = rcSource.left + c.left;
    const int sy = rcSource.top + c.top;
    const int sw = (rcSource.right - rcSource.left) - c.left - c.right;
    const int sh = (rcSource.bottom - rcSource.top) - c.top - c.bottom;
    const int W = rcDest.right - rcDest.left, H = rcDest.bottom - rcDest.top;
    const int w = rcSource.right - rcSource.left, h = rcSource.bottom - rcSource.top;

    TPieceBlitter blit;
    blit.hDC = hDC;
    blit.hMemDC = hMemDC;
    blit.pfnAlphaBlend = pfnAlphaBlend;
    blit.blend = bAlpha || uFade < 255;
    blit.bf.BlendOp = AC_SRC_OVER;
    blit.bf.BlendFlags = 0;
    blit.bf.SourceConstantAlpha = uFade;
    blit.bf.AlphaFormat = AC_SRC_ALPHA;

    if (!blit.blend && W == w && H == h && IsZeroRect(c)) {
        // Exact size, no corners: copy only the part that needs painting.
        RECT rcPart;
        if (::IntersectRect(&rcPart, &rcDest, &rcPaint)) {
            ::BitBlt(hDC, rcPart.left, rcPart.top, rcPart.right - rcPart.left, rcPart.bottom - rcPart.top, hMemDC,
                     rcSource.left + rcPart.left - rcDest.left, rcSource.top + rcPart.top - rcDest.top, SRCCOPY);
        }
    } else {
        RECT rcTemp;
        const int mw = rcMiddle.right - rcMiddle.left, mh = rcMiddle.bottom - rcMiddle.top;
        if (!bHole && ::IntersectRect(&rcTemp, &rcMiddle, &rcPaint) && sw > 0 && sh > 0) {
            if (!bXTiled && !bYTiled) {
                blit.Stretch(rcMiddle.left, rcMiddle.top, mw, mh, sx, sy, sw, sh);
            } else if (bXTiled && bYTiled) {
                const int tw = sw, th = sh;
                const int cols = (mw + tw - 1) / tw, rows = (mh + th - 1) / th;
                for (int j = 0; j < rows; ++j) {
                    for (int i = 0; i < cols; ++i) {
                        int x = rcMiddle.left + tw * i, y = rcMiddle.top + th * j;
                        int cw = tw, ch = th;
                        if (x + cw > rcMiddle.right) cw = rcMiddle.right - x;
                        if (y + ch > rcMiddle.bottom) ch = rcMiddle.bottom - y;
                        blit.Copy(x, y, cw, ch, sx, sy);
                    }
                }
            } else if (bXTiled) {
                const int tw = sw;
                const int cols = (mw + tw - 1) / tw;
                for (int i = 0; i < cols; ++i) {
                    int x = rcMiddle.left + tw * i;
                    int cw = tw;
                    if (x + cw > rcMiddle.right) cw = rcMiddle.right - x;
                    blit.Stretch(x, rcMiddle.top, cw, mh, sx, sy, cw, sh);
                }
            } else {
                const int th = sh;
                const int rows = (mh + th - 1) / th;
                for (int j = 0; j < rows; ++j) {
                    int y = rcMiddle.top + th * j;
                    int ch = th;
                    if (y + ch > rcMiddle.bottom) ch = rcMiddle.bottom - y;
                    blit.Stretch(rcMiddle.left, y, mw, ch, sx, sy, sw, ch);
                }
            }
        }

        // The eight border pieces, each drawn whole when it meets the paint rectangle.
        const int midW = W - c.left - c.right, midH = H - c.top - c.bottom;
        const int srcMidW = w - c.left - c.right, srcMidH = h - c.top - c.bottom;
        if (c.left >= 1 && c.top >= 1 && Meets(rcPaint, rcDest.left, rcDest.top, c.left, c.top))
            blit.Stretch(rcDest.left, rcDest.top, c.left, c.top, rcSource.left, rcSource.top, c.left, c.top);
        if (c.top > 0 && Meets(rcPaint, rcDest.left + c.left, rcDest.top, midW, c.top))
            blit.Stretch(rcDest.left + c.left, rcDest.top, midW, c.top, rcSource.left + c.left, rcSource.top, srcMidW,
                         c.top);
        if (c.right >= 1 && c.top >= 1 && Meets(rcPaint, rcDest.right - c.right, rcDest.top, c.right, c.top))
            blit.Stretch(rcDest.right - c.right, rcDest.top, c.right, c.top, rcSource.right - c.right, rcSource.top,
                         c.right, c.top);
        if (c.left > 0 && Meets(rcPaint, rcDest.left, rcDest.top + c.top, c.left, midH))
            blit.Stretch(rcDest.left, rcDest.top + c.top, c.left, midH, rcSource.left, rcSource.top + c.top, c.left,
                         srcMidH);
        if (c.right > 0 && Meets(rcPaint, rcDest.right - c.right, rcDest.top + c.top, c.right, midH))
            blit.Stretch(rcDest.right - c.right, rcDest.top + c.top, c.right, midH, rcSource.right - c.right,
                         rcSource.top + c.top, c.right, srcMidH);
        if (c.left >= 1 && c.bottom >= 1 && Meets(rcPaint, rcDest.left, rcDest.bottom - c.bottom, c.left, c.bottom))
            blit.Stretch(rcDest.left, rcDest.bottom - c.bottom, c.left, c.bottom, rcSource.left,
                         rcSource.bottom - c.bottom, c.left, c.bottom);
        if (c.bottom > 0 && Meets(rcPaint, rcDest.left + c.left, rcDest.bottom - c.bottom, midW, c.bottom))
            blit.Stretch(rcDest.left + c.left, rcDest.bottom - c.bottom, midW, c.bottom, rcSource.left + c.left,
                         rcSource.bottom - c.bottom, srcMidW, c.bottom);
        if (c.right > 0 && c.bottom > 0 &&
            Meets(rcPaint, rcDest.right - c.right, rcDest.bottom - c.bottom, c.right, c.bottom))
            blit.Stretch(rcDest.right - c.right, rcDest.bottom - c.bottom, c.right, c.bottom, rcSource.right - c.right,
                         rcSource.bottom - c.bottom, c.right, c.bottom);
    }

    ::SelectObject(hMemDC, hOldBitmap);
    ::DeleteDC(hMemDC);
}

////////////////////////////////////////////////////////////////////////////////////////////////////
// DIB sections for callers; a window's controls rendered into a bitmap

HBITMAP CUIPainter::CreateDib32(HDC hDC, int cx, int cy, BYTE** bits)
{
    (void)hDC;
    return CreateDibSection32(cx, cy, false, bits);
}

HBITMAP CUIPainter::RenderToBitmap(CPaintManagerUI* pManager, RECT rc, CControlUI* pStopControl, DWORD filterColour)
{
    if (pManager == NULL) return NULL;
    const int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    HDC hPaintDC = ::CreateCompatibleDC(pManager->GetPaintDC());
    if (hPaintDC == NULL) return NULL;
    HBITMAP hPaintBitmap = NULL;
    HBITMAP hCreated = NULL;
    if (pStopControl == NULL && !pManager->IsLayered()) hPaintBitmap = pManager->GetPaintOffscreenBitmap();
    if (hPaintBitmap == NULL) {
        if (rc.right > 0 && rc.bottom > 0)
            hCreated = ::CreateCompatibleBitmap(pManager->GetPaintDC(), rc.right, rc.bottom);
        hPaintBitmap = hCreated;
        if (hPaintBitmap != NULL) {
            HBITMAP hOld = (HBITMAP)::SelectObject(hPaintDC, hPaintBitmap);
            HGDIOBJ hOldFont = ::SelectObject(hPaintDC, pManager->GetDefaultFontInfo()->hFont);
            if (pManager->GetRoot() != NULL) pManager->GetRoot()->Paint(hPaintDC, rc, pStopControl);
            ::SelectObject(hPaintDC, hOldFont);
            ::SelectObject(hPaintDC, hOld);
        }
    }
    HBITMAP hResult = NULL;
    if (hPaintBitmap != NULL) {
        BYTE* bits = NULL;
        hResult = CreateDibSection32(cx, cy, false, &bits);
        HDC hCloneDC = ::CreateCompatibleDC(pManager->GetPaintDC());
        if (hResult != NULL && hCloneDC != NULL) {
            HBITMAP hOldPaint = (HBITMAP)::SelectObject(hPaintDC, hPaintBitmap);
            HBITMAP hOldClone = (HBITMAP)::SelectObject(hCloneDC, hResult);
            ::BitBlt(hCloneDC, 0, 0, cx, cy, hPaintDC, rc.left, rc.top, SRCCOPY);
            RECT rcClone = {0, 0, cx, cy};
            if ((filterColour >> 24) != 0) DrawColor(hCloneDC, rcClone, filterColour);
            ::GdiFlush();
            ::SelectObject(hCloneDC, hOldClone);
            ::SelectObject(hPaintDC, hOldPaint);
        }
        if (hCloneDC != NULL) ::DeleteDC(hCloneDC);
    }
    if (hCreated != NULL) ::DeleteObject(hCreated);
    ::DeleteDC(hPaintDC);
    return hResult;
}

} // namespace Veneer
