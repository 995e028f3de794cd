// Render engine: image descriptions (parsing, resolving through the paint manager's cache and
// drawing inside a control's rectangle) and image loading from the resource folder, the resource
// zip, a module resource, a plain path or a colour into a premultiplied 32-bit bitmap; the HSL
// adjustment of loaded images.
#include "UIRender.h"
#include "UIRenderPrivate.h"
#include <limits.h>
#include "UIManager.h"
#include "UIZip.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <vector>

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

using namespace render_detail;

namespace {

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

} // namespace

namespace render_detail {

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

} // namespace render_detail

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

} // namespace Veneer
