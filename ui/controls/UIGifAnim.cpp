#include "UIGifAnim.h"
#include "UIManager.h"
#include "UIZip.h"

#include <objidl.h>
#include <gdiplus.h>
#include <new>
#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {

// GDI+'s time dimension of multi-frame images.
const GUID kFrameDimensionTime = {0x6aedbd6d, 0x3fb5, 0x418a, {0x83, 0xa6, 0x7f, 0x45, 0x22, 0x9d, 0xc8, 0x72}};
const PROPID kPropertyTagFrameDelay = 0x5100;

// The largest image file the control reads (and then copies once more for GDI+). A skin's
// animation is far smaller; a larger size, from a file or a zip header, is refused before any
// buffer is taken, since a 32-bit process may not find that much room at all.
const ULONGLONG kMaxImageBytes = 64ull * 1024 * 1024;

// A whole file into a new buffer (freed by the caller with delete[]).
bool ReadWholeFile(const wchar_t* pstrPath, BYTE*& pData, DWORD& dwSize)
{
    HANDLE hFile = ::CreateFileW(pstrPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = ::GetFileSizeEx(hFile, &size) && size.QuadPart > 0 && (ULONGLONG)size.QuadPart <= kMaxImageBytes;
    BYTE* pBuffer = NULL;
    if (ok) {
        pBuffer = new (std::nothrow) BYTE[(size_t)size.QuadPart];
        ok = pBuffer != NULL;
    }
    if (ok) {
        DWORD dwRead = 0;
        ok = ::ReadFile(hFile, pBuffer, (DWORD)size.QuadPart, &dwRead, NULL) && dwRead == (DWORD)size.QuadPart;
    }
    ::CloseHandle(hFile);
    if (!ok) {
        delete[] pBuffer;
        return false;
    }
    pData = pBuffer;
    dwSize = (DWORD)size.QuadPart;
    return true;
}

bool ReadZipItem(const wchar_t* pstrName, BYTE*& pData, DWORD& dwSize)
{
    HZIP hz = NULL;
    bool bOpenedHere = false;
    if (CPaintManagerUI::IsResourceZipCached()) {
        hz = CPaintManagerUI::GetResourceZipHandle();
    } else {
        CUIString sFile = CPaintManagerUI::GetResourcePath() + CPaintManagerUI::GetResourceZip().GetData();
        hz = OpenZipHandle(sFile.GetData(), 0, ZIP_FILENAME);
        bOpenedHere = true;
    }
    if (hz == NULL) return false;
    bool ok = false;
    int index = -1;
    TZipEntry ze;
    ::ZeroMemory(&ze, sizeof(ze));
    if (FindZipEntry(hz, pstrName, true, &index, &ze) == ZR_OK && ze.unc_size > 0 &&
        (ULONGLONG)ze.unc_size <= kMaxImageBytes) {
        BYTE* pBuffer = new (std::nothrow) BYTE[ze.unc_size];
        ZRESULT res = ZR_ARGS;
        if (pBuffer != NULL) res = ExtractZipEntry(hz, index, pBuffer, ze.unc_size, ZIP_MEMORY);
        if (res == ZR_OK || res == ZR_MORE) {
            pData = pBuffer;
            dwSize = ze.unc_size;
            ok = true;
        } else {
            delete[] pBuffer;
        }
    }
    if (bOpenedHere) CloseZipHandle(hz);
    return ok;
}

} // namespace

CGifAnimUI::CGifAnimUI()
    : m_pGifImage(NULL),
      m_nFrameCount(0),
      m_nFramePosition(0),
      m_pPropertyItem(NULL),
      m_bIsAutoPlay(true),
      m_bIsAutoSize(false),
      m_bIsPlaying(false),
      m_pStream(NULL)
{
}

CGifAnimUI::~CGifAnimUI()
{
    FreeFrames();
    if (m_pManager != NULL) m_pManager->KillTimer(this, GIFANIM_TIMERID);
}

const wchar_t* CGifAnimUI::GetClass() const { return L"GifAnim"; }

void* CGifAnimUI::GetInterface(const wchar_t* pstrName)
{
    if (pstrName != NULL && wcscmp(pstrName, L"GifAnim") == 0) return static_cast<CGifAnimUI*>(this);
    return CControlUI::GetInterface(pstrName);
}

void CGifAnimUI::SetVisible(bool bVisible)
{
    CControlUI::SetVisible(bVisible);
    if (bVisible)
        StartAnimation();
    else
        StopAnimation();
}

void CGifAnimUI::DoInit() { LoadFrames(); }

void CGifAnimUI::DoEvent(tagTEventUI& event)
{
    if (event.Type == UIEVENT_TIMER) OnTimer((UINT_PTR)event.wParam);
}

void CGifAnimUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"bkimage") == 0)
        SetBkImage(pstrValue);
    else if (wcscmp(pstrName, L"autoplay") == 0)
        SetAutoPlay(wcscmp(pstrValue, L"true") == 0);
    else if (wcscmp(pstrName, L"autosize") == 0)
        SetAutoSize(wcscmp(pstrValue, L"true") == 0);
    else
        CControlUI::SetAttribute(pstrName, pstrValue);
}

bool CGifAnimUI::DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl)
{
    if (m_pGifImage == NULL) LoadFrames();
    DrawFrame(hDC);
    return true;
}

void CGifAnimUI::SetBkImage(const wchar_t* pStrImage)
{
    if (pStrImage == NULL || m_sBkImage == pStrImage) return;
    m_sBkImage = pStrImage;
    StopAnimation();
    FreeFrames();
    Invalidate();
}

const wchar_t* CGifAnimUI::GetBkImage() const { return m_sBkImage.GetData(); }
void CGifAnimUI::SetAutoPlay(bool bIsAuto) { m_bIsAutoPlay = bIsAuto; }
bool CGifAnimUI::IsAutoPlay() const { return m_bIsAutoPlay; }
void CGifAnimUI::SetAutoSize(bool bIsAuto) { m_bIsAutoSize = bIsAuto; }
bool CGifAnimUI::IsAutoSize() const { return m_bIsAutoSize; }

UINT CGifAnimUI::CurrentFrameDelay() const
{
    UINT uDelay = 0;
    if (m_pPropertyItem != NULL && m_pPropertyItem->value != NULL &&
        (m_nFramePosition + 1) * sizeof(UINT) <= m_pPropertyItem->length)
        uDelay = static_cast<const UINT*>(m_pPropertyItem->value)[m_nFramePosition] * 10;
    return uDelay != 0 ? uDelay : 100;
}

void CGifAnimUI::StartAnimation()
{
    if (m_bIsPlaying || m_pGifImage == NULL) return;
    // Without frames or a delay table there is nothing to play.
    if (m_nFrameCount == 0 || m_pPropertyItem == NULL) return;
    if (m_pManager == NULL) return;
    m_pManager->SetTimer(this, GIFANIM_TIMERID, CurrentFrameDelay());
    m_bIsPlaying = true;
}

void CGifAnimUI::StopAnimation()
{
    if (!m_bIsPlaying) return;
    if (m_pManager != NULL) m_pManager->KillTimer(this, GIFANIM_TIMERID);
    m_nFramePosition = 0;
    Invalidate();
    m_bIsPlaying = false;
}

void CGifAnimUI::OnTimer(UINT_PTR idEvent)
{
    if (idEvent != GIFANIM_TIMERID) return;
    if (m_pManager != NULL) m_pManager->KillTimer(this, GIFANIM_TIMERID);
    Invalidate();
    if (m_nFrameCount == 0) {
        m_bIsPlaying = false;
        return;
    }
    m_nFramePosition = (m_nFramePosition + 1) % m_nFrameCount;
    if (m_pManager != NULL) m_pManager->SetTimer(this, GIFANIM_TIMERID, CurrentFrameDelay());
}

bool CGifAnimUI::ReadImageBytes(const wchar_t* pstrName, BYTE*& pData, DWORD& dwSize)
{
    pData = NULL;
    dwSize = 0;
    if (pstrName == NULL || *pstrName == L'\0') return false;
    if (CPaintManagerUI::GetResourceZip().IsEmpty()) {
        CUIString sFile = CPaintManagerUI::GetResourcePath() + pstrName;
        if (ReadWholeFile(sFile.GetData(), pData, dwSize)) return true;
    } else if (ReadZipItem(pstrName, pData, dwSize)) {
        return true;
    }
    return ReadWholeFile(pstrName, pData, dwSize);
}

Gdiplus::Image* CGifAnimUI::CreateImageFromBytes(BYTE* pData, DWORD dwSize)
{
    Gdiplus::Image* pImage = NULL;
    HGLOBAL hMem = ::GlobalAlloc(GMEM_FIXED, dwSize);
    BYTE* pMem = hMem != NULL ? static_cast<BYTE*>(::GlobalLock(hMem)) : NULL;
    if (pMem != NULL) {
        memcpy(pMem, pData, dwSize);
        IStream* pStream = NULL;
        if (::CreateStreamOnHGlobal(hMem, TRUE, &pStream) == S_OK && pStream != NULL) {
            pImage = Gdiplus::Image::FromStream(pStream, FALSE);
            if (pImage == NULL || pImage->GetLastStatus() != Gdiplus::Ok) {
                delete pImage;
                pImage = NULL;
                // The block goes with the stream: unlock it first.
                ::GlobalUnlock(hMem);
            }
            if (pImage != NULL)
                m_pStream = pStream;   // released after the image, in FreeFrames
            else
                pStream->Release();
        } else {
            ::GlobalUnlock(hMem);
            ::GlobalFree(hMem);
        }
    } else if (hMem != NULL) {
        ::GlobalFree(hMem);
    }
    delete[] pData;
    return pImage;
}

void CGifAnimUI::LoadFrames()
{
    FreeFrames();
    BYTE* pData = NULL;
    DWORD dwSize = 0;
    if (!ReadImageBytes(m_sBkImage.GetData(), pData, dwSize)) return;
    m_pGifImage = CreateImageFromBytes(pData, dwSize);
    if (m_pGifImage == NULL) return;

    UINT nCount = m_pGifImage->GetFrameDimensionsCount();
    if (nCount > 0) {
        GUID* pDimensionIDs = new GUID[nCount];
        if (m_pGifImage->GetFrameDimensionsList(pDimensionIDs, nCount) == Gdiplus::Ok)
            m_nFrameCount = m_pGifImage->GetFrameCount(&pDimensionIDs[0]);
        delete[] pDimensionIDs;
    }
    UINT nSize = m_pGifImage->GetPropertyItemSize(kPropertyTagFrameDelay);
    if (nSize > 0) {
        m_pPropertyItem = static_cast<Gdiplus::PropertyItem*>(malloc(nSize));
        if (m_pPropertyItem != NULL &&
            m_pGifImage->GetPropertyItem(kPropertyTagFrameDelay, nSize, m_pPropertyItem) != Gdiplus::Ok) {
            free(m_pPropertyItem);
            m_pPropertyItem = NULL;
        }
    }
    if (m_bIsAutoSize) {
        SetFixedWidth((int)m_pGifImage->GetWidth());
        SetFixedHeight((int)m_pGifImage->GetHeight());
    }
    if (m_bIsAutoPlay && nSize > 0) StartAnimation();
}

void CGifAnimUI::FreeFrames()
{
    delete m_pGifImage;
    m_pGifImage = NULL;
    if (m_pStream != NULL) m_pStream->Release();
    m_pStream = NULL;
    free(m_pPropertyItem);
    m_pPropertyItem = NULL;
    m_nFrameCount = 0;
    m_nFramePosition = 0;
}

void CGifAnimUI::DrawFrame(HDC hDC)
{
    if (hDC == NULL || m_pGifImage == NULL) return;
    if (m_nFrameCount > 0) m_pGifImage->SelectActiveFrame(&kFrameDimensionTime, m_nFramePosition);
    Gdiplus::Graphics graphics(hDC);
    graphics.DrawImage(m_pGifImage, (INT)m_rcItem.left, (INT)m_rcItem.top, (INT)(m_rcItem.right - m_rcItem.left),
                       (INT)(m_rcItem.bottom - m_rcItem.top));
}

} // namespace Veneer
