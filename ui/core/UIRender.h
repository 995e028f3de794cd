// Render engine: image loading and image descriptions, bitmap and colour drawing, clip regions,
// plain and marked-up text.
#pragma once
#include "UIDefs.h"
#include "UIBase.h"

namespace Veneer {

class CPaintManagerUI;
class CControlUI;

// A decoded image of a paint manager's cache: a 32-bit top-down DIB with premultiplied alpha.
struct VENEER_API TLoadedImage {
    HBITMAP hBitmap;        // owned
    BYTE* pBits;            // the DIB's pixels, blue, green, red, alpha; colour premultiplied
    BYTE* pUnadjustedBits;  // heap copy kept for the global HSL adjustment, else null; owned
    int nWidth;
    int nHeight;
    bool bAlpha;            // some pixel is not opaque (or was masked out)
    bool bUseHSL;
    CUIString sResType;     // filled by the paint manager when it caches the image
    DWORD dwMask;
    UINT uSerial;           // unique per decoded image: a record at a freed record's address differs
};

// One parsed image description, cached per control.
struct VENEER_API TImageDesc {
    CUIString sDescription;
    CUIString sImageName;
    bool bParsed;           // a parse was attempted: a failed description is not retried
    TLoadedImage* pImage;   // belongs to the paint manager's cache
    RECT rcDest;            // offsets inside the control's rectangle; all 0 = the whole rectangle
    RECT rcSource;
    RECT rcCorners;
    BYTE uFade;
    bool bHole;
    bool bXTiled;
    bool bYTiled;
    UINT uImageSerial;      // pImage's serial when it was resolved
    BYTE nStripParts;       // > 0: the source is part nStripIndex of a strip of equal parts
    BYTE nStripIndex;

    TImageDesc();
    void Clear();
};

// A scoped clip: the clip that was in force (as its bounding box) comes back on destruction.
class VENEER_API CUIClipRegion {
public:
    CUIClipRegion();
    ~CUIClipRegion();

    static void ClipRect(HDC hDC, const RECT& rc, CUIClipRegion& clip);
    static void ClipRoundRect(HDC hDC, const RECT& rc, const RECT& rcItem, int width, int height, CUIClipRegion& clip);
    static void SelectOldClip(HDC hDC, CUIClipRegion& clip);
    static void SelectNewClip(HDC hDC, CUIClipRegion& clip);

    RECT rcItem;
    HDC hDC;
    HRGN hRgn;
    HRGN hOldRgn;

private:
    CUIClipRegion(const CUIClipRegion&);
    CUIClipRegion& operator=(const CUIClipRegion&);
};

// Within its lifetime, one-pixel borders drawn on hDC share one selection of the DC pen and a
// hollow brush instead of selecting and restoring them around every border, which costs more than
// the border itself. The pen, brush and DC pen colour in force before come back on destruction.
// Painting code inside a scope must put back what it selects. Scopes nest (innermost first); a
// scope that never drew a border changes nothing.
class VENEER_API CUIBorderPenScope {
public:
    explicit CUIBorderPenScope(HDC hDC);
    ~CUIBorderPenScope();

    // Whether hDC is the innermost scope's DC and, once this returns true, has the DC pen and the
    // hollow brush selected (selected now if this is the scope's first border).
    static bool Select(HDC hDC);
    // Puts back what the innermost scope of hDC selected (the next border selects it again): for
    // code that hands the DC to drawing code of another party.
    static void Release(HDC hDC);

private:
    CUIBorderPenScope(const CUIBorderPenScope&);
    CUIBorderPenScope& operator=(const CUIBorderPenScope&);
    void Restore();

    HDC m_hDC;
    bool m_bSelected;
    HGDIOBJ m_hOldPen;
    HGDIOBJ m_hOldBrush;
    COLORREF m_dwOldPenColor;
    CUIBorderPenScope* m_pOuter;
};

// The render engine's static drawing operations.
class VENEER_API CUIPainter {
public:
    // Images
    static TLoadedImage* LoadImage(STRINGorID bitmap, const wchar_t* type = NULL, DWORD mask = 0);
    static void FreeImage(TLoadedImage* image, bool deleteRecord = true);
    static void AdjustImage(bool useHSL, TLoadedImage* image, short H, short S, short L);
    static bool DrawImage(HDC hDC, CPaintManagerUI* pManager, const RECT& rcItem, const RECT& rcPaint, TImageDesc& desc);
    // Whether desc's resolved image is still the one the manager's cache holds under its name.
    static bool IsImageCurrent(CPaintManagerUI* pManager, const TImageDesc& desc);
    static void DrawImage(HDC hDC, HBITMAP hBitmap, const RECT& rcDest, const RECT& rcPaint, const RECT& rcSource,
                          const RECT& rcCorners, bool bAlpha, BYTE uFade = 255, bool bHole = false,
                          bool bXTiled = false, bool bYTiled = false);

    // Colours and shapes
    static void DrawColor(HDC hDC, const RECT& rc, DWORD colour);
    static void DrawGradient(HDC hDC, const RECT& rc, DWORD first, DWORD second, bool vertical, int steps);
    static void DrawLine(HDC hDC, const RECT& rc, int width, DWORD colour, int style = PS_SOLID);
    static void DrawRect(HDC hDC, const RECT& rc, int width, DWORD colour, int style = PS_SOLID);
    static void DrawRoundRect(HDC hDC, const RECT& rc, int width, int ellipseWidth, int ellipseHeight, DWORD colour,
                              int style = PS_SOLID);

    // Text
    static void DrawText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, const wchar_t* text, DWORD colour, int font,
                         UINT style);
    static void DrawHtmlText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, const wchar_t* text, DWORD colour,
                             RECT* linkRects, CUIString* linkTargets, int& linkCount, int font, UINT style);

    // Colour model
    static DWORD AdjustColor(DWORD colour, short H, short S, short L);
    static void RGBtoHSL(DWORD colour, float* H, float* S, float* L);
    static void HSLtoRGB(DWORD* colour, float H, float S, float L);

    // A hint that pControl paints soon: its object is fetched into the cache meanwhile.
    static void PrefetchControl(const CControlUI* pControl);

    // Bitmaps
    static HBITMAP CreateDib32(HDC hDC, int cx, int cy, BYTE** bits);
    static HBITMAP RenderToBitmap(CPaintManagerUI* pManager, RECT rc, CControlUI* pStopControl = NULL,
                                  DWORD filterColour = 0);
};

} // namespace Veneer
