// Render engine: colours and shapes. Colour fills with alpha, two-colour gradients (msimg32's
// GradientFill, or bands where it is missing), lines, rectangles and rounded rectangles, and the
// border pen scope that one-pixel rectangles share.
#include "UIRender.h"
#include "UIRenderPrivate.h"

namespace Veneer {

using namespace render_detail;

namespace {

typedef BOOL(WINAPI* PFN_GradientFill)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

bool g_bGradientLooked = false;
PFN_GradientFill g_pfnGradientFill = NULL;

PFN_GradientFill GetGradientFill()
{
    if (!g_bGradientLooked) {
        g_bGradientLooked = true;
        HMODULE hMod = ::GetModuleHandleW(L"msimg32.dll");
        if (hMod != NULL) g_pfnGradientFill = (PFN_GradientFill)(void*)::GetProcAddress(hMod, "GradientFill");
    }
    return g_pfnGradientFill;
}

} // namespace

////////////////////////////////////////////////////////////////////////////////////////////////////
// Fills and gradients

namespace {
// The 1x1 pixel that colour fills are stretched from, selected into its own memory DC. Made once
// per drawing thread and kept: creating and deleting a DIB and a DC for every fill cost far more
// than the fill itself.
struct TSolidPixel {
    HDC hMemDC = NULL;
    BYTE* bits = NULL;
    DWORD value = 0;   // the premultiplied pixel now in bits
};

TSolidPixel* SolidPixel()
{
    static thread_local TSolidPixel* pixel = NULL;
    if (pixel == NULL) {
        BYTE* bits = NULL;
        HBITMAP hBitmap = CreateDibSection32(1, 1, true, &bits);
        HDC hMemDC = hBitmap != NULL ? ::CreateCompatibleDC(NULL) : NULL;
        if (hMemDC == NULL) {
            if (hBitmap != NULL) ::DeleteObject(hBitmap);
            return NULL;
        }
        ::SelectObject(hMemDC, hBitmap);
        pixel = new TSolidPixel;
        pixel->hMemDC = hMemDC;
        pixel->bits = bits;
    }
    return pixel;
}
} // namespace

void CUIPainter::DrawColor(HDC hDC, const RECT& rc, DWORD colour)
{
    const DWORD a = colour >> 24;
    if (a == 0 || hDC == NULL) return;
    TSolidPixel* pixel = SolidPixel();
    if (pixel == NULL) return;
    // AlphaBlend expects premultiplied colour. Neighbouring fills mostly share a colour: the pixel
    // is written (after GDI has finished with the previous one) only when it changes.
    const DWORD value = (a << 24) | ((((colour >> 16) & 0xFF) * a / 255) << 16) |
                        ((((colour >> 8) & 0xFF) * a / 255) << 8) | ((colour & 0xFF) * a / 255);
    if (value != pixel->value) {
        ::GdiFlush();
        *reinterpret_cast<DWORD*>(pixel->bits) = value;
        pixel->value = value;
    }
    if (a == 0xFF) {
        if (rc.right <= rc.left || rc.bottom <= rc.top) return;   // a negative extent would mirror
        // Blending an opaque pixel is a copy: a nearest-neighbour stretch gives the same pixels,
        // alpha byte included, for a fraction of the cost.
        const int oldMode = ::SetStretchBltMode(hDC, COLORONCOLOR);
        ::StretchBlt(hDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, pixel->hMemDC, 0, 0, 1, 1,
                     SRCCOPY);
        ::SetStretchBltMode(hDC, oldMode);
        return;
    }
    // What DrawImage does for a 1x1 source without corners: one blended stretch over rc.
    ::SetStretchBltMode(hDC, HALFTONE);
    TPieceBlitter blit;
    blit.hDC = hDC;
    blit.hMemDC = pixel->hMemDC;
    blit.pfnAlphaBlend = GetAlphaBlend();
    blit.blend = true;
    blit.bf.BlendOp = AC_SRC_OVER;
    blit.bf.BlendFlags = 0;
    blit.bf.SourceConstantAlpha = 255;
    blit.bf.AlphaFormat = AC_SRC_ALPHA;
    blit.Stretch(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, 0, 0, 1, 1);
}

void CUIPainter::DrawGradient(HDC hDC, const RECT& rc, DWORD first, DWORD second, bool vertical, int steps)
{
    PFN_AlphaBlend pfnAlphaBlend = GetAlphaBlend();
    PFN_GradientFill pfnGradientFill = GetGradientFill();

    const BYTE alpha = (BYTE)(((first >> 24) + (second >> 24)) / 2);
    if (alpha == 0) return;
    const int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0) return;

    HDC hPaintDC = hDC;
    HDC hMemDC = NULL;
    HBITMAP hBitmap = NULL, hOldBitmap = NULL;
    BYTE* bits = NULL;
    RECT rcSurface = rc;
    if (alpha < 255) {
        hMemDC = ::CreateCompatibleDC(hDC);
        hBitmap = CreateDibSection32(cx, cy, false, &bits);
        if (hMemDC == NULL || hBitmap == NULL) {
            if (hMemDC != NULL) ::DeleteDC(hMemDC);
            if (hBitmap != NULL) ::DeleteObject(hBitmap);
            return;
        }
        hOldBitmap = (HBITMAP)::SelectObject(hMemDC, hBitmap);
        hPaintDC = hMemDC;
        ::SetRect(&rcSurface, 0, 0, cx, cy);
    }

    if (pfnGradientFill != NULL) {
        TRIVERTEX v[2];
        v[0].x = rcSurface.left;
        v[0].y = rcSurface.top;
        v[0].Red = (COLOR16)(((first >> 16) & 0xFF) << 8);
        v[0].Green = (COLOR16)(((first >> 8) & 0xFF) << 8);
        v[0].Blue = (COLOR16)((first & 0xFF) << 8);
        v[0].Alpha = 0xFF00;
        v[1].x = rcSurface.right;
        v[1].y = rcSurface.bottom;
        v[1].Red = (COLOR16)(((second >> 16) & 0xFF) << 8);
        v[1].Green = (COLOR16)(((second >> 8) & 0xFF) << 8);
        v[1].Blue = (COLOR16)((second & 0xFF) << 8);
        v[1].Alpha = 0xFF00;
        GRADIENT_RECT gr = {0, 1};
        pfnGradientFill(hPaintDC, v, 2, &gr, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
    } else {
        int shift = 1;
        if (steps >= 64) shift = 6;
        else if (steps >= 32) shift = 5;
        else if (steps >= 16) shift = 4;
        else if (steps >= 8) shift = 3;
        else if (steps >= 4) shift = 2;
        const int n = 1 << shift;
        for (int i = 0; i < n; ++i) {
            BYTE r = (BYTE)((((second >> 16) & 0xFF) * (n - i) + ((first >> 16) & 0xFF) * i) >> shift);
            BYTE g = (BYTE)((((second >> 8) & 0xFF) * (n - i) + ((first >> 8) & 0xFF) * i) >> shift);
            BYTE b = (BYTE)(((second & 0xFF) * (n - i) + (first & 0xFF) * i) >> shift);
            RECT band = rcSurface;
            if (vertical) {
                band.top = rcSurface.bottom - (((i + 1) * cy) >> shift);
                band.bottom = rcSurface.bottom - ((i * cy) >> shift);
                if (band.bottom <= band.top) continue;
            } else {
                band.left = rcSurface.right - (((i + 1) * cx) >> shift);
                band.right = rcSurface.right - ((i * cx) >> shift);
                if (band.right <= band.left) continue;
            }
            HBRUSH hBrush = ::CreateSolidBrush(RGB(r, g, b));
            ::FillRect(hPaintDC, &band, hBrush);
            ::DeleteObject(hBrush);
        }
    }

    if (alpha < 255) {
        // GDI leaves the alpha bytes of what it filled undefined: the surface is opaque.
        ::GdiFlush();
        for (size_t i = 0, count = (size_t)cx * (size_t)cy; i < count; ++i) bits[i * 4 + 3] = 0xFF;
        BLENDFUNCTION bf = {AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
        pfnAlphaBlend(hDC, rc.left, rc.top, cx, cy, hMemDC, 0, 0, cx, cy, bf);
        ::SelectObject(hMemDC, hOldBitmap);
        ::DeleteObject(hBitmap);
        ::DeleteDC(hMemDC);
    }
}

////////////////////////////////////////////////////////////////////////////////////////////////////
// Border pen scope

namespace {
thread_local CUIBorderPenScope* t_pBorderPenScope = NULL;
} // namespace

CUIBorderPenScope::CUIBorderPenScope(HDC hDC)
    : m_hDC(hDC), m_bSelected(false), m_hOldPen(NULL), m_hOldBrush(NULL), m_dwOldPenColor(0),
      m_pOuter(t_pBorderPenScope)
{
    t_pBorderPenScope = this;
}

CUIBorderPenScope::~CUIBorderPenScope()
{
    t_pBorderPenScope = m_pOuter;
    Restore();
}

void CUIBorderPenScope::Restore()
{
    if (!m_bSelected) return;
    ::SelectObject(m_hDC, m_hOldBrush);
    ::SetDCPenColor(m_hDC, m_dwOldPenColor);
    ::SelectObject(m_hDC, m_hOldPen);
    m_bSelected = false;
}

void CUIBorderPenScope::Release(HDC hDC)
{
    CUIBorderPenScope* scope = t_pBorderPenScope;
    if (scope != NULL && scope->m_hDC == hDC) scope->Restore();
}

bool CUIBorderPenScope::Select(HDC hDC)
{
    CUIBorderPenScope* scope = t_pBorderPenScope;
    if (scope == NULL || scope->m_hDC != hDC) return false;
    // Painting code puts back what it selects (every painter here does, and drawing code of other
    // parties gets Release first), so once selected the pair holds until the scope ends.
    if (!scope->m_bSelected) {
        scope->m_hOldPen = ::SelectObject(hDC, ::GetStockObject(DC_PEN));
        scope->m_dwOldPenColor = ::GetDCPenColor(hDC);
        scope->m_hOldBrush = ::SelectObject(hDC, ::GetStockObject(HOLLOW_BRUSH));
        scope->m_bSelected = true;
    }
    return true;
}

////////////////////////////////////////////////////////////////////////////////////////////////////
// Lines and rectangles

void CUIPainter::DrawLine(HDC hDC, const RECT& rc, int width, DWORD colour, int style)
{
    HPEN hPen = ::CreatePen(style, width, ToColorRef(colour));
    HPEN hOldPen = (HPEN)::SelectObject(hDC, hPen);
    POINT ptTemp = {0, 0};
    ::MoveToEx(hDC, rc.left, rc.top, &ptTemp);
    ::LineTo(hDC, rc.right, rc.bottom);
    ::SelectObject(hDC, hOldPen);
    ::DeleteObject(hPen);
}

void CUIPainter::DrawRect(HDC hDC, const RECT& rc, int width, DWORD colour, int style)
{
    if (width == 1 && style == PS_SOLID && CUIBorderPenScope::Select(hDC)) {
        const COLORREF penColour = ToColorRef(colour);
        if (::GetDCPenColor(hDC) != penColour) ::SetDCPenColor(hDC, penColour);
        ::Rectangle(hDC, rc.left, rc.top, rc.right, rc.bottom);
        return;
    }
    if (width == 1 && style == PS_SOLID) {
        // The common one-pixel border: an inside frame of width 1 is the plain outline, which the
        // DC pen draws without a pen made and destroyed for every control.
        HGDIOBJ hOldPen = ::SelectObject(hDC, ::GetStockObject(DC_PEN));
        COLORREF oldColour = ::SetDCPenColor(hDC, ToColorRef(colour));
        HBRUSH hOldBrush = (HBRUSH)::SelectObject(hDC, ::GetStockObject(HOLLOW_BRUSH));
        ::Rectangle(hDC, rc.left, rc.top, rc.right, rc.bottom);
        ::SelectObject(hDC, hOldBrush);
        ::SetDCPenColor(hDC, oldColour);
        ::SelectObject(hDC, hOldPen);
        return;
    }
    HPEN hPen = ::CreatePen(style | PS_INSIDEFRAME, width, ToColorRef(colour));
    HPEN hOldPen = (HPEN)::SelectObject(hDC, hPen);
    HBRUSH hOldBrush = (HBRUSH)::SelectObject(hDC, ::GetStockObject(HOLLOW_BRUSH));
    ::Rectangle(hDC, rc.left, rc.top, rc.right, rc.bottom);
    ::SelectObject(hDC, hOldBrush);
    ::SelectObject(hDC, hOldPen);
    ::DeleteObject(hPen);
}

void CUIPainter::DrawRoundRect(HDC hDC, const RECT& rc, int width, int ellipseWidth, int ellipseHeight, DWORD colour,
                               int style)
{
    HPEN hPen = ::CreatePen(style | PS_INSIDEFRAME, width, ToColorRef(colour));
    HPEN hOldPen = (HPEN)::SelectObject(hDC, hPen);
    HBRUSH hOldBrush = (HBRUSH)::SelectObject(hDC, ::GetStockObject(HOLLOW_BRUSH));
    ::RoundRect(hDC, rc.left, rc.top, rc.right, rc.bottom, ellipseWidth, ellipseHeight);
    ::SelectObject(hDC, hOldBrush);
    ::SelectObject(hDC, hOldPen);
    ::DeleteObject(hPen);
}

} // namespace Veneer
