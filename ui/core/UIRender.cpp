// Render engine: image loading and descriptions, bitmap and colour drawing, clip regions, colour model.
// Marked-up text lives in UIRenderText.cpp.
#include "UIRender.h"
#include <limits.h>
#include "UIManager.h"
#include "UIControl.h"
#include "UIZip.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <math.h>
#include <vector>
#if defined(_MSC_VER)
#include <xmmintrin.h>
#endif

// Decoded pictures come from skins and from downloaded photos: refuse absurd sizes before decoding.
#define STBI_MAX_DIMENSIONS 16384
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wtype-limits"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wcast-qual"
#pragma GCC diagnostic ignored "-Wduplicated-branches"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace Veneer {

namespace {

// At most this many pixels per image (a 64 MiB DIB); larger pictures are refused.
const long long kMaxImagePixels = 16LL * 1024 * 1024;

typedef BOOL(WINAPI* PFN_AlphaBlend)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
typedef BOOL(WINAPI* PFN_GradientFill)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

BOOL WINAPI SoftwareAlphaBlend(HDC hdcDest, int xDest, int yDest, int cxDest, int cyDest, HDC hdcSrc, int xSrc,
                               int ySrc, int cxSrc, int cySrc, BLENDFUNCTION bf);

bool g_bAlphaBlendLooked = false;
PFN_AlphaBlend g_pfnAlphaBlend = NULL;
bool g_bGradientLooked = false;
PFN_GradientFill g_pfnGradientFill = NULL;

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

PFN_GradientFill GetGradientFill()
{
    if (!g_bGradientLooked) {
        g_bGradientLooked = true;
        HMODULE hMod = ::GetModuleHandleW(L"msimg32.dll");
        if (hMod != NULL) g_pfnGradientFill = (PFN_GradientFill)(void*)::GetProcAddress(hMod, "GradientFill");
    }
    return g_pfnGradientFill;
}

COLORREF ToColorRef(DWORD colour)
{
    return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

// A 32-bit DIB section; negative height gives a top-down one. Null when the size is unusable.
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

// Whole-file read with shared reading; an empty file or a short read counts as not found.
bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>& out)
{
    HANDLE hFile = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = false;
    if (::GetFileSizeEx(hFile, &size) && size.QuadPart > 0 && size.QuadPart <= 0x7FFFFFFF) {
        out.resize((size_t)size.QuadPart);
        DWORD read = 0;
        ok = ::ReadFile(hFile, &out[0], (DWORD)size.QuadPart, &read, NULL) && read == (DWORD)size.QuadPart;
    }
    ::CloseHandle(hFile);
    if (!ok) out.clear();
    return ok;
}

bool ReadZipMember(const wchar_t* name, std::vector<BYTE>& out)
{
    HZIP hz = NULL;
    bool openedHere = false;
    if (CPaintManagerUI::IsResourceZipCached()) {
        hz = CPaintManagerUI::GetResourceZipHandle();
    } else {
        CUIString zipFile = CPaintManagerUI::GetResourcePath() + CPaintManagerUI::GetResourceZip().GetData();
        hz = OpenZipHandle(zipFile.GetData(), 0, ZIP_FILENAME);
        openedHere = true;
    }
    if (hz == NULL) return false;
    bool ok = false;
    int index = -1;
    TZipEntry entry;
    ::ZeroMemory(&entry, sizeof(entry));
    if (FindZipEntry(hz, name, true, &index, &entry) == ZR_OK && entry.unc_size > 0 &&
        entry.unc_size <= 0x7FFFFFFF) {
        out.resize(entry.unc_size);
        ZRESULT res = ExtractZipEntry(hz, index, &out[0], entry.unc_size, ZIP_MEMORY);
        ok = (res == ZR_OK || res == ZR_MORE);
    }
    if (openedHere) CloseZipHandle(hz);
    if (!ok) out.clear();
    return ok;
}

bool ReadModuleResource(const wchar_t* name, const wchar_t* type, std::vector<BYTE>& out)
{
    HINSTANCE hMod = CPaintManagerUI::GetResourceDll();
    HRSRC hRes = ::FindResourceW(hMod, name, type);
    if (hRes == NULL) return false;
    DWORD size = ::SizeofResource(hMod, hRes);
    HGLOBAL hGlobal = ::LoadResource(hMod, hRes);
    if (hGlobal == NULL) return false;
    const void* data = ::LockResource(hGlobal);
    bool ok = false;
    if (data != NULL && size > 0) {
        out.assign((const BYTE*)data, (const BYTE*)data + size);
        ok = true;
    }
    ::FreeResource(hGlobal);
    return ok;
}

void ZeroRect(RECT& rc)
{
    ::SetRect(&rc, 0, 0, 0, 0);
}

bool IsZeroRect(const RECT& rc)
{
    return rc.left == 0 && rc.top == 0 && rc.right == 0 && rc.bottom == 0;
}

// Four integers, each read where the previous one stopped, one separator character skipped.
void ParseRectValue(const wchar_t* p, RECT& rc)
{
    LONG* v[4] = {&rc.left, &rc.top, &rc.right, &rc.bottom};
    for (int i = 0; i < 4; ++i) {
        wchar_t* end = NULL;
        *v[i] = (LONG)wcstol(p, &end, 10);
        p = end;
        if (*p != L'\0') ++p;
    }
}

DWORD ParseHexColour(const wchar_t* p)
{
    if (*p == L'#') ++p;
    return (DWORD)wcstoul(p, NULL, 16);
}

// Converts RGBA bytes into premultiplied BGRA; masked pixels become fully transparent.
bool ConvertPixels(const BYTE* src, BYTE* dst, size_t count, DWORD mask)
{
    bool alpha = false;
    for (size_t i = 0; i < count; ++i, src += 4, dst += 4) {
        BYTE r = src[0], g = src[1], b = src[2], a = src[3];
        if (a < 255) {
            r = (BYTE)(r * a / 255);
            g = (BYTE)(g * a / 255);
            b = (BYTE)(b * a / 255);
            alpha = true;
        }
        DWORD pixel = ((DWORD)a << 24) | ((DWORD)r << 16) | ((DWORD)g << 8) | b;
        if (pixel == mask) {
            r = g = b = a = 0;
            alpha = true;
        }
        dst[0] = b;
        dst[1] = g;
        dst[2] = r;
        dst[3] = a;
    }
    return alpha;
}

// Reads one item key='value' of an image description. Returns false at the end or at a malformed
// item, leaving p where it was; on success p is left after the item and its one trailing blank.
bool ReadImageItem(const wchar_t*& pos, CUIString& key, CUIString& value, bool& more)
{
    more = false;
    const wchar_t* p = pos;
    while (*p >= 1 && *p <= 32) ++p;
    const wchar_t* keyStart = p;
    while (*p != L'\0' && *p != L'=' && *p > 32) ++p;
    const wchar_t* keyEnd = p;
    while (*p == L' ') ++p;
    if (*p != L'=') return false;
    ++p;
    while (*p == L' ') ++p;
    if (*p != L'\'') return false;
    ++p;
    const wchar_t* valueStart = p;
    while (*p != L'\0' && *p != L'\'') ++p;
    if (*p != L'\'') return false;
    key.Assign(keyStart, (int)(keyEnd - keyStart));
    value.Assign(valueStart, (int)(p - valueStart));
    ++p;
    // Exactly one blank before the next item.
    if (p[0] == L' ' && p[1] != L' ') {
        ++p;
        more = true;
    }
    pos = p;
    return true;
}

} // namespace

////////////////////////////////////////////////////////////////////////////////////////////////////
// Image descriptions

TImageDesc::TImageDesc()
{
    Clear();
}

void TImageDesc::Clear()
{
    sDescription.Empty();
    sImageName.Empty();
    bParsed = false;
    pImage = NULL;
    ZeroRect(rcDest);
    ZeroRect(rcSource);
    ZeroRect(rcCorners);
    uFade = 255;
    bHole = false;
    bXTiled = false;
    bYTiled = false;
    uImageSerial = 0;
    nStripParts = 0;
    nStripIndex = 0;
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
// Prefetch

namespace {

const int kPrefetchBytes = 4096;

#if defined(__GNUC__) && defined(__i386__) && !defined(__SSE__)
// The 32-bit build targets processors before SSE, whose instruction set has no prefetch: the
// instruction is compiled here alone and used only where the processor reports SSE. The function
// stays out of inlining and of the optimiser's view of it as doing nothing, where it would vanish.
__attribute__((target("sse"), noipa)) void PrefetchBytes(const char* bytes)
{
    for (int offset = 0; offset < kPrefetchBytes; offset += 64)
        __builtin_prefetch(bytes + offset);
}

const bool g_bCanPrefetch = ::IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != FALSE;
#else
void PrefetchBytes(const char* bytes)
{
    for (int offset = 0; offset < kPrefetchBytes; offset += 64) {
#if defined(__GNUC__)
        __builtin_prefetch(bytes + offset);
#elif defined(_MSC_VER)
        _mm_prefetch(bytes + offset, _MM_HINT_T0);
#endif
    }
}

const bool g_bCanPrefetch = true;
#endif

} // namespace

void CUIPainter::PrefetchControl(const CControlUI* pControl)
{
    // Painting a control reads fields all over its object (a button is about 4 KB), and in a large
    // window the objects are cold in the cache: fetching the next sibling while one paints
    // (microseconds of GDI work) hides most of the misses. Reads nothing; a hint only.
    if (g_bCanPrefetch) PrefetchBytes(reinterpret_cast<const char*>(pControl));
}

////////////////////////////////////////////////////////////////////////////////////////////////////
// Clip regions

CUIClipRegion::CUIClipRegion() : hDC(NULL), hRgn(NULL), hOldRgn(NULL)
{
    ZeroRect(rcItem);
}

CUIClipRegion::~CUIClipRegion()
{
    if (hDC != NULL && hOldRgn != NULL) ::SelectClipRgn(hDC, hOldRgn);
    if (hOldRgn != NULL) ::DeleteObject(hOldRgn);
    if (hRgn != NULL) ::DeleteObject(hRgn);
}

void CUIClipRegion::ClipRect(HDC hDC, const RECT& rc, CUIClipRegion& clip)
{
    RECT rcClip = {0, 0, 0, 0};
    ::GetClipBox(hDC, &rcClip);
    if (clip.hOldRgn != NULL) ::DeleteObject(clip.hOldRgn);
    if (clip.hRgn != NULL) ::DeleteObject(clip.hRgn);
    clip.hOldRgn = ::CreateRectRgnIndirect(&rcClip);
    clip.hRgn = ::CreateRectRgnIndirect(&rc);
    ::ExtSelectClipRgn(hDC, clip.hRgn, RGN_AND);
    clip.hDC = hDC;
    clip.rcItem = rc;
}

void CUIClipRegion::ClipRoundRect(HDC hDC, const RECT& rc, const RECT& rcItem, int width, int height,
                                  CUIClipRegion& clip)
{
    RECT rcClip = {0, 0, 0, 0};
    ::GetClipBox(hDC, &rcClip);
    if (clip.hOldRgn != NULL) ::DeleteObject(clip.hOldRgn);
    if (clip.hRgn != NULL) ::DeleteObject(clip.hRgn);
    clip.hOldRgn = ::CreateRectRgnIndirect(&rcClip);
    clip.hRgn = ::CreateRectRgnIndirect(&rc);
    HRGN hRgnItem = ::CreateRoundRectRgn(rcItem.left, rcItem.top, rcItem.right + 1, rcItem.bottom + 1, width, height);
    ::CombineRgn(clip.hRgn, clip.hRgn, hRgnItem, RGN_AND);
    ::ExtSelectClipRgn(hDC, clip.hRgn, RGN_AND);
    clip.hDC = hDC;
    clip.rcItem = rc;
    ::DeleteObject(hRgnItem);
}

void CUIClipRegion::SelectOldClip(HDC hDC, CUIClipRegion& clip)
{
    ::SelectClipRgn(hDC, clip.hOldRgn);
}

void CUIClipRegion::SelectNewClip(HDC hDC, CUIClipRegion& clip)
{
    ::SelectClipRgn(hDC, clip.hRgn);
}

////////////////////////////////////////////////////////////////////////////////////////////////////
// Image loading

TLoadedImage* CUIPainter::LoadImage(STRINGorID bitmap, const wchar_t* type, DWORD mask)
{
    const wchar_t* name = bitmap.m_lpstr;
    if (name == NULL) return NULL;
    const bool isId = IS_INTRESOURCE(name);
    const bool noType = (type == NULL || *type == L'\0');
    const bool isColour = !noType && wcscmp(type, L"*COLOR*") == 0;

    std::vector<BYTE> bytes;
    bool found = false;
    if (isColour) {
        if (isId) return NULL;
    } else if (noType) {
        if (isId) return NULL;
        if (CPaintManagerUI::GetResourceZip().IsEmpty()) {
            CUIString path = CPaintManagerUI::GetResourcePath() + name;
            found = ReadWholeFile(path.GetData(), bytes);
        } else {
            found = ReadZipMember(name, bytes);
        }
    } else {
        found = ReadModuleResource(name, type, bytes);
    }
    if (!isColour && !found) {
        if (isId || !ReadWholeFile(name, bytes)) return NULL;
    }

    int width = 0, height = 0;
    BYTE* decoded = NULL;
    BYTE colourPixel[4] = {0, 0, 0, 0};
    const BYTE* rgba = NULL;
    if (isColour) {
        DWORD colour = ParseHexColour(name);
        colourPixel[0] = (BYTE)(colour >> 16);
        colourPixel[1] = (BYTE)(colour >> 8);
        colourPixel[2] = (BYTE)colour;
        colourPixel[3] = (BYTE)(colour >> 24);
        width = height = 1;
        rgba = colourPixel;
    } else {
        if (bytes.size() > 0x7FFFFFFF) return NULL;
        int comp = 0;
        // Check the announced size first so that a hostile header cannot make us allocate wildly.
        if (!stbi_info_from_memory(&bytes[0], (int)bytes.size(), &width, &height, &comp)) return NULL;
        // A top-down BMP announces its height as a negative number; the loader turns it upright.
        if (height < 0 && height != INT_MIN) height = -height;
        if (width <= 0 || height <= 0 || (long long)width * height > kMaxImagePixels) return NULL;
        decoded = stbi_load_from_memory(&bytes[0], (int)bytes.size(), &width, &height, &comp, 4);
        std::vector<BYTE>().swap(bytes);
        if (decoded == NULL) return NULL;
        if (width <= 0 || height <= 0 || (long long)width * height > kMaxImagePixels) {
            stbi_image_free(decoded);
            return NULL;
        }
        rgba = decoded;
    }

    BYTE* bits = NULL;
    HBITMAP hBitmap = CreateDibSection32(width, height, true, &bits);
    if (hBitmap == NULL) {
        if (decoded != NULL) stbi_image_free(decoded);
        return NULL;
    }
    bool alpha = ConvertPixels(rgba, bits, (size_t)width * (size_t)height, mask);
    if (decoded != NULL) stbi_image_free(decoded);

    static UINT s_uLastSerial = 0;
    TLoadedImage* image = new TLoadedImage;
    image->uSerial = ++s_uLastSerial;
    image->hBitmap = hBitmap;
    image->pBits = bits;
    image->pUnadjustedBits = NULL;
    image->nWidth = width;
    image->nHeight = height;
    image->bAlpha = alpha;
    image->bUseHSL = false;
    image->dwMask = 0;
    return image;
}

bool CUIPainter::IsImageCurrent(CPaintManagerUI* pManager, const TImageDesc& desc)
{
    if (pManager == NULL || desc.pImage == NULL) return false;
    // The address alone could match a new record that took a freed one's place.
    return pManager->GetImage(desc.sImageName.GetData()) == desc.pImage &&
           desc.pImage->uSerial == desc.uImageSerial;
}

void CUIPainter::FreeImage(TLoadedImage* image, bool deleteRecord)
{
    if (image == NULL) return;
    if (image->hBitmap != NULL) ::DeleteObject(image->hBitmap);
    image->hBitmap = NULL;
    image->pBits = NULL;
    if (image->pUnadjustedBits != NULL) free(image->pUnadjustedBits);
    image->pUnadjustedBits = NULL;
    if (deleteRecord) delete image;
}

void CUIPainter::AdjustImage(bool useHSL, TLoadedImage* image, short H, short S, short L)
{
    if (image == NULL || !image->bUseHSL || image->hBitmap == NULL || image->pBits == NULL ||
        image->pUnadjustedBits == NULL)
        return;
    size_t count = (size_t)image->nWidth * (size_t)image->nHeight;
    if (useHSL && !(H == 180 && S == 100 && L == 100)) {
        const DWORD* src = (const DWORD*)image->pUnadjustedBits;
        DWORD* dst = (DWORD*)image->pBits;
        for (size_t i = 0; i < count; ++i) {
            float h, s, l;
            RGBtoHSL(src[i], &h, &s, &l);
            h += H - 180;
            if (h <= 0) h += 360;
            else if (h > 360) h -= 360;
            s = s * S / 100;
            l = l * L / 100;
            HSLtoRGB(&dst[i], h, s, l);
        }
    } else {
        memcpy(image->pBits, image->pUnadjustedBits, count * 4);
    }
}

bool CUIPainter::DrawImage(HDC hDC, CPaintManagerUI* pManager, const RECT& rcItem, const RECT& rcPaint,
                           TImageDesc& desc)
{
    if (pManager == NULL) return true;

    // The cache may have dropped (and freed) or replaced the image since it was resolved: resolve
    // it anew, source rectangle included; a strip part stays the same part of the new image.
    if (desc.pImage != NULL && !IsImageCurrent(pManager, desc)) {
        CUIString description = desc.sDescription;
        BYTE nStripParts = desc.nStripParts;
        BYTE nStripIndex = desc.nStripIndex;
        desc.Clear();
        desc.sDescription = description;
        desc.nStripParts = nStripParts;
        desc.nStripIndex = nStripIndex;
    }

    if (desc.pImage == NULL) {
        if (desc.bParsed) return false;
        desc.bParsed = true;
        if (desc.sDescription.IsEmpty()) return false;

        CUIString name = desc.sDescription;
        CUIString resType;
        CUIString type;
        int kind = 0; // 0 file or plain name, 1 res, 2 color
        DWORD mask = 0;
        bool hsl = false;
        CUIString key, value;
        const wchar_t* p = desc.sDescription.GetData();
        bool more = true;
        while (more && ReadImageItem(p, key, value, more)) {
            if (value.IsEmpty()) continue;
            if (key == L"file") {
                name = value;
                kind = 0;
            } else if (key == L"res") {
                name = value;
                kind = 1;
            } else if (key == L"restype") {
                resType = value;
            } else if (key == L"color") {
                name = value;
                kind = 2;
            } else if (key == L"dest") {
                ParseRectValue(value.GetData(), desc.rcDest);
            } else if (key == L"source") {
                ParseRectValue(value.GetData(), desc.rcSource);
            } else if (key == L"corner" || key == L"scale9") {
                ParseRectValue(value.GetData(), desc.rcCorners);
            } else if (key == L"mask") {
                mask = ParseHexColour(value.GetData());
            } else if (key == L"fade") {
                long fade = wcstol(value.GetData(), NULL, 10);
                desc.uFade = (BYTE)(fade < 0 ? 0 : (fade > 255 ? 255 : fade));
            } else if (key == L"hole") {
                desc.bHole = (value == L"true");
            } else if (key == L"xtiled") {
                desc.bXTiled = (value == L"true");
            } else if (key == L"ytiled") {
                desc.bYTiled = (value == L"true");
            } else if (key == L"hsl") {
                hsl = (value == L"true");
            }
        }
        desc.sImageName = name;
        const wchar_t* pType = NULL;
        if (kind == 1) pType = resType.GetData();
        else if (kind == 2) pType = L"*COLOR*";
        TLoadedImage* image = pManager->GetOrLoadImage(name.GetData(), pType, mask, hsl);
        if (image == NULL) return false;
        desc.pImage = image;
        desc.uImageSerial = image->uSerial;
        if (IsZeroRect(desc.rcSource)) ::SetRect(&desc.rcSource, 0, 0, image->nWidth, image->nHeight);
        if (desc.nStripParts > 0) {
            const LONG w = image->nWidth / desc.nStripParts;
            ::SetRect(&desc.rcSource, w * desc.nStripIndex, 0, w * (desc.nStripIndex + 1), image->nHeight);
        }
    }

    TLoadedImage* image = desc.pImage;
    if (desc.rcSource.right > image->nWidth) desc.rcSource.right = image->nWidth;
    if (desc.rcSource.bottom > image->nHeight) desc.rcSource.bottom = image->nHeight;

    if (hDC == NULL) return true;

    RECT rcDest = rcItem;
    if (!IsZeroRect(desc.rcDest)) {
        rcDest.left = rcItem.left + desc.rcDest.left;
        rcDest.top = rcItem.top + desc.rcDest.top;
        rcDest.right = rcItem.left + desc.rcDest.right;
        if (rcDest.right > rcItem.right) rcDest.right = rcItem.right;
        rcDest.bottom = rcItem.top + desc.rcDest.bottom;
        if (rcDest.bottom > rcItem.bottom) rcDest.bottom = rcItem.bottom;
    }
    RECT rcTemp;
    if (!::IntersectRect(&rcTemp, &rcDest, &rcItem)) return true;
    if (!::IntersectRect(&rcTemp, &rcDest, &rcPaint)) return true;

    DrawImage(hDC, image->hBitmap, rcDest, rcPaint, desc.rcSource, desc.rcCorners, image->bAlpha, desc.uFade,
              desc.bHole, desc.bXTiled, desc.bYTiled);
    return true;
}

////////////////////////////////////////////////////////////////////////////////////////////////////
// Bitmap drawing

namespace {

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

////////////////////////////////////////////////////////////////////////////////////////////////////
// Colour model

void CUIPainter::RGBtoHSL(DWORD colour, float* H, float* S, float* L)
{
    const float r = (float)((colour >> 16) & 0xFF) / 255.0f;
    const float g = (float)((colour >> 8) & 0xFF) / 255.0f;
    const float b = (float)(colour & 0xFF) / 255.0f;
    const float mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
    const float mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
    float h = 0, s = 0;
    const float l = (mx + mn) / 2.0f;
    if (mx != mn) {
        const float d = mx - mn;
        s = (2.0f * l <= 1.0f) ? d / (mx + mn) : d / (2.0f - mx - mn);
        if (mx == r) h = (g - b) / d + (g < b ? 6.0f : 0.0f);
        else if (mx == g) h = (b - r) / d + 2.0f;
        else h = (r - g) / d + 4.0f;
        h *= 60.0f;
    }
    *H = h;
    *S = s;
    *L = l;
}

static float HueToChannel(float p, float q, float t)
{
    if (t < 0) t += 1.0f;
    if (t > 1) t -= 1.0f;
    if (t < 1.0f / 6.0f) return p + (q - p) * 6.0f * t;
    if (t < 0.5f) return q;
    if (t < 2.0f / 3.0f) return p + (q - p) * (2.0f / 3.0f - t) * 6.0f;
    return p;
}

static BYTE ToByte(float v)
{
    float x = v * 255.0f;
    if (x < 0) x = 0;
    if (x > 255) x = 255;
    return (BYTE)x;
}

void CUIPainter::HSLtoRGB(DWORD* colour, float H, float S, float L)
{
    float r, g, b;
    if (S == 0) {
        r = g = b = L;
    } else {
        const float q = L < 0.5f ? L * (1.0f + S) : L + S - L * S;
        const float p = 2.0f * L - q;
        const float h = H / 360.0f;
        r = HueToChannel(p, q, h + 1.0f / 3.0f);
        g = HueToChannel(p, q, h);
        b = HueToChannel(p, q, h - 1.0f / 3.0f);
    }
    *colour = (*colour & 0xFF000000) | ((DWORD)ToByte(r) << 16) | ((DWORD)ToByte(g) << 8) | ToByte(b);
}

DWORD CUIPainter::AdjustColor(DWORD colour, short H, short S, short L)
{
    if (H == 180 && S == 100 && L == 100) return colour;
    float h, s, l;
    RGBtoHSL(colour, &h, &s, &l);
    h += H - 180;
    if (h <= 0) h += 360;
    else if (h > 360) h -= 360;
    s = s * S / 100;
    l = l * L / 100;
    HSLtoRGB(&colour, h, s, l);
    return colour;
}

////////////////////////////////////////////////////////////////////////////////////////////////////
// Bitmaps

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

////////////////////////////////////////////////////////////////////////////////////////////////////
// Text

void CUIPainter::DrawText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, const wchar_t* text, DWORD colour, int font,
                          UINT style)
{
    if (text == NULL || pManager == NULL || hDC == NULL) return;
    // Language tokens are rare: the text is copied only to expand them.
    CUIString expanded;
    if (wcschr(text, L'%') != NULL) {
        expanded = text;
        CPaintManagerUI::ExpandLanguageTokens(expanded);
        text = expanded.GetData();
    }
    // Controls in a row mostly share these: reading them back is cheap, setting them is not.
    if (::GetBkMode(hDC) != TRANSPARENT) ::SetBkMode(hDC, TRANSPARENT);
    const COLORREF textColour = ToColorRef(colour);
    if (::GetTextColor(hDC) != textColour) ::SetTextColor(hDC, textColour);
    // Selecting a font is far dearer than drawing a short text (several microseconds under Wine),
    // and the paint manager paints with its default font already selected: switch only when needed.
    HFONT hFont = pManager->GetFont(font);
    HFONT hOldFont = (HFONT)::GetCurrentObject(hDC, OBJ_FONT);
    const bool swap = hFont != hOldFont;
    if (swap) ::SelectObject(hDC, hFont);
    ::DrawTextW(hDC, text, -1, &rc, style | DT_NOPREFIX);
    if (swap) ::SelectObject(hDC, hOldFont);
}

namespace {

// Ids of font variants that marked-up text creates in a paint manager.
int g_nextVariantFontId = 30000;

inline bool IsTagLetter(wchar_t ch)
{
    return ch >= L'a' && ch <= L'z';
}

inline bool IsAsciiLetter(wchar_t ch)
{
    return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z');
}

inline bool IsTagClose(wchar_t ch)
{
    return ch == L'>' || ch == L'}';
}

// The stacks and flags that a line's second pass starts again from.
struct THtmlState {
    const wchar_t* p;
    CUIPtrArray fonts;
    CUIPtrArray colours;
    CUIPtrArray spacings;
    CUIPtrArray aligns;
    bool raw;
    bool selected;
    bool inLink;
    int linkIndex;

    THtmlState() : p(NULL), fonts(10), colours(10), spacings(10), aligns(10), raw(false), selected(false),
                   inLink(false), linkIndex(0) {}
};

// The base entry of a stack is never popped, whatever closing tags the text holds.
void PopKeepBase(CUIPtrArray& stack)
{
    if (stack.GetSize() > 1) stack.Remove(stack.GetSize() - 1);
}

void* Top(const CUIPtrArray& stack)
{
    return stack.GetAt(stack.GetSize() - 1);
}

class CHtmlLayout {
public:
    CHtmlLayout(HDC hDC, CPaintManagerUI* pManager, const RECT& rc, UINT style, RECT* links, CUIString* targets,
                int capacity)
        : m_hDC(hDC), m_pManager(pManager), m_rc(rc), m_style(style), m_links(links), m_targets(targets),
          m_capacity(capacity)
    {
        m_draw = (style & DT_CALCRECT) == 0;
        m_single = (style & DT_SINGLELINE) != 0;
        m_hasHover = false;
        m_drawing = false;
        m_x = rc.left;
        m_y = rc.top;
        m_lineHeight = 0;
        m_maxX = rc.left;
        m_maxImageBottom = rc.top;
        m_offset = 0;
    }

    void SetHover(const CUIString& target)
    {
        m_hover = target;
        m_hasHover = true;
    }

    int Run(const wchar_t* text, TFontEntry* baseFont, DWORD colour)
    {
        m_state.p = text;
        m_state.fonts.Add(baseFont);
        m_state.colours.Add((void*)(UINT_PTR)colour);
        m_state.spacings.Add((void*)(INT_PTR)0);
        m_state.aligns.Add((void*)(INT_PTR)8);
        SelectTopFont();
        m_lineHeight = FontHeight();

        for (;;) {
            THtmlState lineStart = m_state;
            m_drawing = false;
            bool textEnd = WalkLine();
            if (m_draw) {
                THtmlState lineEnd = m_state;
                int lineWidth = m_x - m_rc.left;
                int width = m_rc.right - m_rc.left;
                m_offset = 0;
                if (!m_single && (m_style & DT_CENTER)) m_offset = (width - lineWidth) / 2;
                else if (!m_single && (m_style & DT_RIGHT)) m_offset = width - lineWidth;
                if (m_offset < 0) m_offset = 0;
                m_state = lineStart;
                SelectTopFont();
                m_drawing = true;
                WalkLine();
                m_state = lineEnd;
                SelectTopFont();
            }
            m_y += m_lineHeight;
            if (m_single || textEnd) break;
            if (m_draw && m_y > m_rc.bottom) break;
            m_lineHeight = FontHeight() + Spacing();
        }
        return m_state.linkIndex < m_capacity ? m_state.linkIndex : m_capacity;
    }

    int Bottom() const
    {
        return m_maxImageBottom > m_y ? m_maxImageBottom : m_y;
    }
    int MaxX() const
    {
        return m_maxX;
    }

private:
    TFontEntry* TopFont() const
    {
        return (TFontEntry*)Top(m_state.fonts);
    }
    int Spacing() const
    {
        return (int)(INT_PTR)Top(m_state.spacings);
    }
    int Align() const
    {
        return (int)(INT_PTR)Top(m_state.aligns);
    }
    DWORD Colour() const
    {
        return (DWORD)(UINT_PTR)Top(m_state.colours);
    }

    void EnsureMetrics(TFontEntry* font)
    {
        if (font != NULL && font->tm.tmHeight == 0 && font->hFont != NULL) {
            HFONT hOld = (HFONT)::SelectObject(m_hDC, font->hFont);
            ::GetTextMetricsW(m_hDC, &font->tm);
            ::SelectObject(m_hDC, hOld);
        }
    }

    int FontHeight()
    {
        TFontEntry* font = TopFont();
        EnsureMetrics(font);
        return font->tm.tmHeight + font->tm.tmExternalLeading;
    }

    void SelectTopFont()
    {
        ::SelectObject(m_hDC, TopFont()->hFont);
    }

    void GrowLineHeight(int height)
    {
        if (!m_drawing && height > m_lineHeight) m_lineHeight = height;
    }

    void PushFont(TFontEntry* font)
    {
        EnsureMetrics(font);
        m_state.fonts.Add(font);
        FontChanged();
    }

    void PopFont()
    {
        PopKeepBase(m_state.fonts);
        FontChanged();
    }

    void FontChanged()
    {
        SelectTopFont();
        GrowLineHeight(FontHeight() + Spacing());
    }

    // The manager's font with the same attributes but the ones given; created when it has none.
    TFontEntry* Variant(const wchar_t* face, int size, bool bold, bool underline, bool italic)
    {
        HFONT hFont = m_pManager->GetFont(face, size, bold, underline, italic);
        if (hFont == NULL) hFont = m_pManager->AddFont(g_nextVariantFontId++, face, size, bold, underline, italic, false);
        if (hFont == NULL) return TopFont();
        TFontEntry* entry = m_pManager->GetFontInfo(hFont);
        return entry != NULL ? entry : TopFont();
    }

    int TextTop()
    {
        int h = FontHeight();
        switch (Align()) {
        case 0:
            return m_y;
        case 4:
            return m_y + (m_lineHeight - h) / 2;
        default:
            return m_y + m_lineHeight - h;
        }
    }

    // Measures (and in the drawing pass draws) count characters at the pen; returns their width.
    int PutText(const wchar_t* p, int count)
    {
        if (count <= 0) return 0;
        SIZE sz = {0, 0};
        ::GetTextExtentPoint32W(m_hDC, p, count, &sz);
        if (m_drawing) {
            ::SetTextColor(m_hDC, ToColorRef(Colour()));
            ::SetBkMode(m_hDC, m_state.selected ? OPAQUE : TRANSPARENT);
            ::TextOutW(m_hDC, m_x + m_offset, TextTop(), p, count);
        }
        m_x += sz.cx;
        if (m_x > m_maxX) m_maxX = m_x;
        return sz.cx;
    }

    // Ends a link's rectangle at the pen (bottom is fixed at the line's end).
    void CloseLinkRect()
    {
        if (!m_drawing && m_links != NULL && m_state.linkIndex < m_capacity) {
            m_links[m_state.linkIndex].right = m_x < m_rc.right ? m_x : m_rc.right;
            m_links[m_state.linkIndex].bottom = m_y + FontHeight();
        }
    }

    void OpenLinkRect(int x, int y, const CUIString& target)
    {
        if (!m_drawing && m_links != NULL && m_state.linkIndex < m_capacity) {
            ::SetRect(&m_links[m_state.linkIndex], x, y, x, y);
            if (m_targets != NULL) m_targets[m_state.linkIndex] = target;
        }
    }

    // Returns true when the tag ends the line; p then stays on the tag when it is to be read again.
    bool OpenTag(const wchar_t*& p, bool& lineEnds)
    {
        const wchar_t letter = p[1];
        const wchar_t* arg = p + 2;
        while (*arg == L' ') ++arg;
        const wchar_t* argEnd = arg;
        while (*argEnd != L'\0' && !IsTagClose(*argEnd)) ++argEnd;
        const wchar_t* tagEnd = (*argEnd != L'\0') ? argEnd + 1 : argEnd;
        const int argLen = (int)(argEnd - arg);
        TFontEntry* font = TopFont();
        lineEnds = false;

        switch (letter) {
        case L'a': {
            CUIString target(arg, argLen);
            OpenLinkRect(m_x, m_y, target);
            m_state.inLink = true;
            DWORD colour = (m_hasHover && m_hover == target.GetData()) ? m_pManager->GetDefaultLinkHoverFontColor()
                                                                        : m_pManager->GetDefaultLinkFontColor();
            m_state.colours.Add((void*)(UINT_PTR)colour);
            PushFont(font->bUnderline ? font : Variant(font->sFontName, font->iSize, font->bBold, true, font->bItalic));
            break;
        }
        case L'b':
            PushFont(font->bBold ? font : Variant(font->sFontName, font->iSize, true, font->bUnderline, font->bItalic));
            break;
        case L'u':
            PushFont(font->bUnderline ? font : Variant(font->sFontName, font->iSize, font->bBold, true, font->bItalic));
            break;
        case L'c': {
            const wchar_t* q = arg;
            while (q < argEnd && *q == L' ') ++q;
            if (q < argEnd && *q == L'#') ++q;
            long value = wcstol(q, NULL, 16);
            DWORD colour = 0xFF000000 | ((DWORD)value & 0x00FFFFFF);
            m_state.colours.Add((void*)(UINT_PTR)colour);
            break;
        }
        case L'f':
            if (argLen > 0 && *arg >= L'0' && *arg <= L'9') {
                PushFont(m_pManager->GetFontInfo((int)wcstol(arg, NULL, 10)));
            } else if (argLen > 0) {
                const wchar_t* q = arg;
                while (q < argEnd && *q != L' ') ++q;
                CUIString face(arg, (int)(q - arg));
                int size = 10;
                bool bold = false, underline = false, italic = false;
                while (q < argEnd) {
                    while (q < argEnd && *q == L' ') ++q;
                    const wchar_t* w = q;
                    while (q < argEnd && *q != L' ') ++q;
                    if (q == w) break;
                    CUIString word(w, (int)(q - w));
                    word.MakeLower();
                    if (*w >= L'0' && *w <= L'9') size = (int)wcstol(w, NULL, 10);
                    if (word.Find(L"bold") >= 0) bold = true;
                    if (word.Find(L"underline") >= 0) underline = true;
                    if (word.Find(L"italic") >= 0) italic = true;
                }
                PushFont(Variant(face, size, bold, underline, italic));
            } else {
                PushFont(font);
            }
            break;
        case L'i':
            if (argLen == 0) {
                PushFont(font->bItalic ? font : Variant(font->sFontName, font->iSize, font->bBold, font->bUnderline, true));
            } else if (!InlineImage(arg, argLen)) {
                lineEnds = true;
                return true; // read again on the next line
            }
            break;
        case L'n':
            if (!m_single) {
                p = tagEnd;
                lineEnds = true;
                return true;
            }
            break;
        case L'p':
            if (m_x != m_rc.left) {
                lineEnds = true;
                return true;
            }
            {
                int spacing = argLen > 0 ? (int)wcstol(arg, NULL, 10) : 0;
                m_state.spacings.Add((void*)(INT_PTR)spacing);
                GrowLineHeight(FontHeight() + spacing);
            }
            break;
        case L'r':
            m_state.raw = true;
            break;
        case L's':
            m_state.selected = !m_state.selected;
            break;
        case L'v': {
            int align = 8;
            if (argLen >= 3 && _wcsnicmp(arg, L"top", 3) == 0 && (argLen == 3 || arg[3] == L' ')) align = 0;
            else if (argLen >= 6 && _wcsnicmp(arg, L"center", 6) == 0 && (argLen == 6 || arg[6] == L' ')) align = 4;
            m_state.aligns.Add((void*)(INT_PTR)align);
            break;
        }
        case L'x':
            m_x += (int)wcstol(arg, NULL, 10);
            if (m_x > m_maxX) m_maxX = m_x;
            break;
        case L'y':
            if (!m_drawing) m_lineHeight = (int)wcstol(arg, NULL, 10);
            break;
        default:
            break;
        }
        p = tagEnd;
        return false;
    }

    // Returns false when the image does not fit and the line must end before it.
    bool InlineImage(const wchar_t* arg, int argLen)
    {
        CUIString text(arg, argLen);
        CUIString name;
        CUIString resType;
        const wchar_t* rest = NULL;
        if (text.Find(L"file='") >= 0 || text.Find(L"res='") >= 0) {
            const wchar_t* q = text.GetData();
            CUIString key, value;
            bool more = true;
            while (more && ReadImageItem(q, key, value, more)) {
                if (key == L"file" || key == L"res") name = value;
                else if (key == L"restype") resType = value;
            }
            rest = q;
        } else {
            int blank = text.Find(L' ');
            name = blank >= 0 ? text.Left(blank) : text;
            rest = text.GetData() + (blank >= 0 ? blank : text.GetLength());
        }
        wchar_t* end = NULL;
        long parts = wcstol(rest, &end, 10);
        long part = wcstol(end, NULL, 10);
        if (parts < 1) parts = 1;
        if (part < 0 || part >= parts) part = 0;

        TLoadedImage* image = name.IsEmpty() ? NULL
                                             : m_pManager->GetOrLoadImage(name, resType.IsEmpty() ? NULL : resType.GetData());
        if (image == NULL) return true;
        const int partWidth = image->nWidth / (int)parts;
        if (m_x + partWidth > m_rc.right && m_x != m_rc.left && !m_single) return false;
        const int height = image->nHeight;
        if (m_drawing) {
            int top = m_y + m_lineHeight - height;
            if (height < m_lineHeight) {
                if (Align() == 0) top = m_y;
                else if (Align() == 4) top = m_y + (m_lineHeight - height) / 2;
            }
            RECT rcDest = {m_x + m_offset, top, m_x + m_offset + partWidth, top + height};
            RECT rcSource = {partWidth * (int)part, 0, partWidth * ((int)part + 1), height};
            RECT rcCorners = {0, 0, 0, 0};
            CUIPainter::DrawImage(m_hDC, image->hBitmap, rcDest, m_rc, rcSource, rcCorners, image->bAlpha, 255);
        }
        GrowLineHeight(height);
        if (!m_drawing && m_y + height > m_maxImageBottom) m_maxImageBottom = m_y + height;
        m_x += partWidth;
        if (m_x > m_maxX) m_maxX = m_x;
        return true;
    }

    // Returns true when the closing tag ends the line (it is then read again on the next one).
    bool CloseTag(const wchar_t*& p)
    {
        const wchar_t letter = p[2];
        const wchar_t* q = p + 3;
        while (*q != L'\0' && !IsTagClose(*q)) ++q;
        const wchar_t* tagEnd = (*q != L'\0') ? q + 1 : q;
        switch (letter) {
        case L'a':
            if (m_state.inLink) {
                CloseLinkRect();
                m_state.linkIndex++;
                m_state.inLink = false;
            }
            PopKeepBase(m_state.colours);
            PopFont();
            break;
        case L'b':
        case L'f':
        case L'i':
        case L'u':
            PopFont();
            break;
        case L'c':
            PopKeepBase(m_state.colours);
            break;
        case L'p':
            if (m_x != m_rc.left) return true;
            PopKeepBase(m_state.spacings);
            break;
        case L's':
            m_state.selected = !m_state.selected;
            break;
        case L'v':
            PopKeepBase(m_state.aligns);
            break;
        default:
            break;
        }
        p = tagEnd;
        return false;
    }

    static bool IsRawEnd(const wchar_t* p)
    {
        return (p[0] == L'<' || p[0] == L'{') && p[1] == L'/' && p[2] == L'r' && IsTagClose(p[3]);
    }

    // Walks one line from the current state; returns true at the end of the text.
    bool WalkLine()
    {
        m_x = m_rc.left;
        const int firstLink = m_state.linkIndex;
        const wchar_t* lineStart = m_state.p;
        bool textEnd = false;
        for (;;) {
            if (m_x >= m_rc.right) break;
            const wchar_t* p = m_state.p;
            const wchar_t ch = *p;
            if (ch == L'\0') {
                textEnd = true;
                break;
            }
            if (ch == L'\n') {
                m_state.p = p + 1;
                break;
            }
            if (!m_state.raw) {
                if ((ch == L'<' || ch == L'{') && IsTagLetter(p[1]) && (p[2] == L' ' || IsTagClose(p[2]))) {
                    bool lineEnds = false;
                    OpenTag(p, lineEnds);
                    m_state.p = p;
                    if (lineEnds) break;
                    continue;
                }
                if ((ch == L'<' || ch == L'{') && p[1] == L'/' && IsTagLetter(p[2])) {
                    if (CloseTag(p)) break;
                    m_state.p = p;
                    continue;
                }
                if ((ch == L'<' && (p[1] == L'{' || p[1] == L'}') && p[2] == L'>') ||
                    (ch == L'{' && (p[1] == L'<' || p[1] == L'>') && p[2] == L'}')) {
                    PutText(p + 1, 1);
                    m_state.p = p + 3;
                    continue;
                }
                if (ch == L' ') {
                    PutText(p, 1);
                    m_state.p = p + 1;
                    continue;
                }
            } else if (IsRawEnd(p)) {
                m_state.raw = false;
                m_state.p = p + 4;
                continue;
            }

            // A run of text.
            const wchar_t* q = p + 1;
            if (m_state.raw) {
                while (*q != L'\0' && *q != L'\n' && !IsRawEnd(q)) ++q;
            } else {
                while (*q != L'\0' && *q != L'\n' && *q != L'<' && *q != L'{') ++q;
            }
            int count = (int)(q - p);
            bool cut = false;
            // The real extent decides: glyphs much wider than the font's average (ideographs, "W")
            // would otherwise overflow the edge unnoticed.
            SIZE full = {0, 0};
            ::GetTextExtentPoint32W(m_hDC, p, count, &full);
            if ((long long)m_x + full.cx > m_rc.right) {
                int fit = 0;
                SIZE sz = {0, 0};
                ::GetTextExtentExPointW(m_hDC, p, count, m_rc.right - m_x, &fit, NULL, &sz);
                if (fit < count) {
                    cut = true;
                    count = fit > 1 ? fit : 1;
                    if (m_style & DT_WORDBREAK) {
                        for (int i = count - 1; i >= 0; --i) {
                            if (!IsAsciiLetter(p[i])) {
                                count = i + 1;
                                break;
                            }
                        }
                    }
                    if (m_style & DT_END_ELLIPSIS) count = count > 2 ? count - 2 : 0;
                    // Every line moves on by at least one character.
                    if (count < 1 && p == lineStart) count = 1;
                }
            }
            PutText(p, count);
            if (cut && (m_style & DT_END_ELLIPSIS)) PutText(L"...", 3);
            m_state.p = p + count;
            if (cut) {
                textEnd = (*m_state.p == L'\0');
                break;
            }
        }

        if (!m_drawing) {
            const int lineBottom = m_y + m_lineHeight;
            if (m_state.inLink) {
                if (m_links != NULL && m_state.linkIndex < m_capacity)
                    m_links[m_state.linkIndex].right = m_x < m_rc.right ? m_x : m_rc.right;
                m_state.linkIndex++;
            }
            if (m_links != NULL) {
                int last = m_state.linkIndex < m_capacity ? m_state.linkIndex : m_capacity;
                for (int i = firstLink; i < last; ++i) m_links[i].bottom = lineBottom;
            }
            if (m_state.inLink && m_links != NULL && m_state.linkIndex < m_capacity) {
                // The link goes on at the start of the next line.
                ::SetRect(&m_links[m_state.linkIndex], m_rc.left, lineBottom, m_rc.left, lineBottom);
                if (m_targets != NULL) m_targets[m_state.linkIndex] = m_targets[m_state.linkIndex - 1];
            }
        }
        return textEnd;
    }

    HDC m_hDC;
    CPaintManagerUI* m_pManager;
    RECT m_rc;
    UINT m_style;
    RECT* m_links;
    CUIString* m_targets;
    int m_capacity;
    bool m_draw;
    bool m_single;
    bool m_drawing;
    bool m_hasHover;
    CUIString m_hover;
    THtmlState m_state;
    int m_x;
    int m_y;
    int m_lineHeight;
    int m_maxX;
    int m_maxImageBottom;
    int m_offset;
};

} // namespace

void CUIPainter::DrawHtmlText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, const wchar_t* text, DWORD colour,
                              RECT* linkRects, CUIString* linkTargets, int& linkCount, int font, UINT style)
{
    const int capacity = (linkRects != NULL && linkCount > 0) ? linkCount : 0;
    if (text == NULL || pManager == NULL || hDC == NULL || ::IsRectEmpty(&rc)) {
        linkCount = 0;
        return;
    }
    const bool draw = (style & DT_CALCRECT) == 0;

    // Only texts with language tokens need a copy.
    CUIString expanded;
    if (wcsstr(text, L"%{") != NULL) {
        expanded = text;
        CPaintManagerUI::ExpandLanguageTokens(expanded);
        text = expanded.GetData();
    }

    HRGN hOldClip = ::CreateRectRgn(0, 0, 0, 0);
    const bool hadClip = ::GetClipRgn(hDC, hOldClip) == 1;
    if (draw) {
        HRGN hRgn = ::CreateRectRgnIndirect(&rc);
        ::ExtSelectClipRgn(hDC, hRgn, RGN_AND);
        ::DeleteObject(hRgn);
    }

    RECT rcText = rc;
    if (draw && (style & (DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM))) {
        const bool single = (style & DT_SINGLELINE) != 0;
        RECT rcMeasure = {0, 0, single ? 9999 : rc.right - rc.left, single ? 100 : rc.bottom - rc.top};
        int noLinks = 0;
        DrawHtmlText(hDC, pManager, rcMeasure, text, colour, NULL, NULL, noLinks, font, style | DT_CALCRECT);
        const int mw = rcMeasure.right - rcMeasure.left, mh = rcMeasure.bottom - rcMeasure.top;
        if (single && (style & DT_CENTER)) rcText.left += (rc.right - rc.left) / 2 - mw / 2;
        else if (single && (style & DT_RIGHT)) rcText.left = rc.right - mw;
        if (style & DT_VCENTER) rcText.top += (rc.bottom - rc.top) / 2 - mh / 2;
        else if (style & DT_BOTTOM) rcText.top = rc.bottom - mh;
    }

    TFontEntry* baseFont = pManager->GetFontInfo(font);
    HFONT hOldFont = (HFONT)::SelectObject(hDC, baseFont->hFont);
    const int oldBkMode = ::SetBkMode(hDC, TRANSPARENT);
    const COLORREF oldTextColour = ::SetTextColor(hDC, ToColorRef(colour));
    const COLORREF oldBkColour = ::SetBkColor(hDC, ToColorRef(pManager->GetDefaultSelectedBkColor()));

    CHtmlLayout layout(hDC, pManager, rcText, style, capacity > 0 ? linkRects : NULL, linkTargets, capacity);
    if (draw && capacity > 0 && linkTargets != NULL) {
        POINT pt = pManager->GetMousePos();
        for (int i = 0; i < capacity; ++i) {
            if (::PtInRect(&linkRects[i], pt)) {
                layout.SetHover(linkTargets[i]);
                break;
            }
        }
    }
    linkCount = layout.Run(text, baseFont, colour);

    if (!draw) {
        rc.bottom = layout.Bottom();
        if (layout.MaxX() < rc.right) rc.right = layout.MaxX();
    }

    ::SetBkColor(hDC, oldBkColour);
    ::SetTextColor(hDC, oldTextColour);
    ::SetBkMode(hDC, oldBkMode);
    ::SelectObject(hDC, hOldFont);
    if (draw) ::SelectClipRgn(hDC, hadClip ? hOldClip : NULL);
    ::DeleteObject(hOldClip);
}

} // namespace Veneer
