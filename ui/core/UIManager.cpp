// The paint manager, part one: set-up and resources (construction and binding to a window, the
// framework-wide statics, window attributes, default colours, fonts, images, default attribute
// lists, multi-language strings). Input and painting: UIManagerInput.cpp; control tree, focus,
// timers, notifications and the message loop: UIManagerTree.cpp.
#include "UIManager.h"
#include "UIControl.h"
#include "UIManagerInternal.h"
#include "UIZip.h"
#include <wchar.h>
#include <wctype.h>
#include <stdlib.h>
#include <string.h>

namespace Veneer {

using namespace manager_detail;

// ---------------------------------------------------------------------------------------------
// Framework-wide state. Defined in this order so that the shared store exists before the list of
// live managers and both outlive every manager that the program keeps in its own statics.

HINSTANCE CPaintManagerUI::m_hInstance = NULL;
HINSTANCE CPaintManagerUI::m_hResourceInstance = NULL;
CUIString CPaintManagerUI::m_pStrResourcePath;
CUIString CPaintManagerUI::m_pStrResourceZip;
bool CPaintManagerUI::m_bCachedResourceZip = true;
HANDLE CPaintManagerUI::m_hResourceZip = NULL;
TSharedResources CPaintManagerUI::m_SharedResInfo;
CUIPtrArray CPaintManagerUI::m_aPreMessages;
CUIPtrArray CPaintManagerUI::m_aPlugins;
short CPaintManagerUI::m_H = 180;
short CPaintManagerUI::m_S = 100;
short CPaintManagerUI::m_L = 100;
bool CPaintManagerUI::m_bUseHSL = false;
HPEN CPaintManagerUI::m_hUpdateRectPen = NULL;
FARPROC CPaintManagerUI::m_pfnUpdateLayeredWindow = NULL;

namespace {

const wchar_t kMemBufferZip[] = L"membuffer";

typedef BOOL(WINAPI* PFNSETLAYEREDWINDOWATTRIBUTES)(HWND, COLORREF, BYTE, DWORD);

// Reads one decimal number and steps over the single separator that follows it.
long ReadNumber(const wchar_t*& p)
{
    wchar_t* end = NULL;
    long v = wcstol(p, &end, 10);
    p = end;
    if (*p != L'\0') ++p;
    return v;
}

DWORD ReadColour(const wchar_t* p)
{
    if (*p == L'#') ++p;
    return (DWORD)wcstoul(p, NULL, 16);
}

void FontKey(int id, wchar_t (&buf)[16])
{
    _itow(id, buf, 10);
}


} // namespace

TSharedResources::TSharedResources()
    : dwDefaultDisabledColor(0), dwDefaultFontColor(0), dwDefaultLinkFontColor(0), dwDefaultLinkHoverFontColor(0),
      dwDefaultSelectedBkColor(0), m_CustomFonts(kMapBuckets), m_ImageHash(kMapBuckets), m_AttrHash(kMapBuckets),
      m_MultiLanguageHash(kMapBuckets)
{
    DefaultFontInfo.hFont = NULL;
    DefaultFontInfo.iSize = 0;
    DefaultFontInfo.bBold = false;
    DefaultFontInfo.bUnderline = false;
    DefaultFontInfo.bItalic = false;
    ::ZeroMemory(&DefaultFontInfo.tm, sizeof(DefaultFontInfo.tm));
}

// ---------------------------------------------------------------------------------------------
// Construction and binding

CPaintManagerUI::CPaintManagerUI()
    : m_hWndPaint(NULL), m_hDcPaint(NULL), m_hDcOffscreen(NULL), m_hDcBackground(NULL), m_hbmpOffscreen(NULL),
      m_pOffscreenBits(NULL), m_hbmpBackground(NULL), m_pBackgroundBits(NULL), m_iTooltipWidth(-1),
      m_hwndTooltip(NULL), m_iHoverTime(1000), m_bNoActivate(false), m_bShowUpdateRect(false), m_pRoot(NULL),
      m_pFocus(NULL), m_pEventHover(NULL), m_pEventClick(NULL), m_pEventKey(NULL), m_pLastToolTip(NULL),
      m_uTimerID(0x1000), m_bFirstLayout(true), m_bUpdateNeeded(false), m_bFocusNeeded(false),
      m_bOffscreenPaint(true), m_nOpacity(255), m_bLayered(false), m_bLayeredChanged(false),
      m_bMouseTracking(false), m_bMouseCapture(false), m_bIsPainting(false), m_bUsedVirtualWnd(false),
      m_bAsyncNotifyPosted(false), m_mNameHash(kMapBuckets), m_mWindowCustomAttrHash(kMapBuckets),
      m_mOptionGroup(kMapBuckets), m_bForceUseSharedRes(false), m_gdiplusToken(0)
{
    ::ZeroMemory(&m_ToolTip, sizeof(m_ToolTip));
    m_ptLastMousePos.x = m_ptLastMousePos.y = -1;
    m_szMinWindow.cx = m_szMinWindow.cy = 0;
    m_szMaxWindow.cx = m_szMaxWindow.cy = 0;
    m_szInitWindowSize.cx = m_szInitWindowSize.cy = 0;
    m_szRoundCorner.cx = m_szRoundCorner.cy = 0;
    ::SetRectEmpty(&m_rcSizeBox);
    ::SetRectEmpty(&m_rcCaption);
    ::SetRectEmpty(&m_rcLayeredInset);
    ::SetRectEmpty(&m_rcLayeredUpdate);

    // The first manager of the program sets up the shared defaults.
    if (m_SharedResInfo.DefaultFontInfo.sFontName.IsEmpty()) {
        m_SharedResInfo.dwDefaultDisabledColor = 0xFFA7A6AA;
        m_SharedResInfo.dwDefaultFontColor = 0xFF000000;
        m_SharedResInfo.dwDefaultLinkFontColor = 0xFF0000FF;
        m_SharedResInfo.dwDefaultLinkHoverFontColor = 0xFFD3215F;
        m_SharedResInfo.dwDefaultSelectedBkColor = 0xFFBAE4FF;

        LOGFONTW lf;
        ::ZeroMemory(&lf, sizeof(lf));
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONTW), &lf);
        lf.lfCharSet = DEFAULT_CHARSET;
        HFONT hDefaultFont = ::CreateFontIndirectW(&lf);
        TFontEntry& def = m_SharedResInfo.DefaultFontInfo;
        def.hFont = hDefaultFont;
        def.sFontName = lf.lfFaceName;
        def.iSize = -lf.lfHeight;
        def.bBold = lf.lfWeight >= FW_BOLD;
        def.bUnderline = lf.lfUnderline == TRUE;
        def.bItalic = lf.lfItalic == TRUE;
        ::ZeroMemory(&def.tm, sizeof(def.tm));
    }

    m_ResInfo.dwDefaultDisabledColor = m_SharedResInfo.dwDefaultDisabledColor;
    m_ResInfo.dwDefaultFontColor = m_SharedResInfo.dwDefaultFontColor;
    m_ResInfo.dwDefaultLinkFontColor = m_SharedResInfo.dwDefaultLinkFontColor;
    m_ResInfo.dwDefaultLinkHoverFontColor = m_SharedResInfo.dwDefaultLinkHoverFontColor;
    m_ResInfo.dwDefaultSelectedBkColor = m_SharedResInfo.dwDefaultSelectedBkColor;

    if (m_hUpdateRectPen == NULL) {
        m_hUpdateRectPen = ::CreatePen(PS_SOLID, 1, RGB(220, 0, 0));
        ::InitCommonControls();
        ::LoadLibraryW(L"msimg32.dll");
    }

    Gdiplus::GdiplusStartup(&m_gdiplusToken, &m_gdiplusStartupInput, NULL);
}

CPaintManagerUI::~CPaintManagerUI()
{
    DeleteDelayedCleanup();
    DeleteQueuedNotifies();

    m_mNameHash.Resize(kMapBuckets);
    if (m_pRoot != NULL) {
        CControlUI* pRoot = m_pRoot;
        m_pRoot = NULL;
        pRoot->Delete();
    }

    if (m_ResInfo.DefaultFontInfo.hFont != NULL) ::DeleteObject(m_ResInfo.DefaultFontInfo.hFont);
    m_ResInfo.DefaultFontInfo.hFont = NULL;

    RemoveAllFonts(false);
    RemoveAllImages(false);
    ClearDefaultAttributeLists(false);
    ClearWindowCustomAttributes();
    RemoveAllOptionGroups();
    RemoveAllTimers();

    if (m_hwndTooltip != NULL) {
        ::DestroyWindow(m_hwndTooltip);
        m_hwndTooltip = NULL;
    }
    m_pLastToolTip = NULL;

    DropOffscreen();
    if (m_hDcPaint != NULL) ::ReleaseDC(m_hWndPaint, m_hDcPaint);
    m_hDcPaint = NULL;

    int i = m_aPreMessages.Find(this);
    if (i >= 0) m_aPreMessages.Remove(i);
    Gdiplus::GdiplusShutdown(m_gdiplusToken);
}

void CPaintManagerUI::Init(HWND hWnd, const wchar_t* pstrName)
{
    m_mNameHash.Resize(kMapBuckets);
    RemoveAllFonts(false);
    RemoveAllImages(false);
    ClearDefaultAttributeLists(false);
    ClearWindowCustomAttributes();
    RemoveAllOptionGroups();
    RemoveAllTimers();

    m_sName.Empty();
    if (pstrName != NULL) m_sName = pstrName;

    if (hWnd != m_hWndPaint) {
        // A manager moved to another window gives the old window's DC back and stays registered once.
        if (m_hDcPaint != NULL) {
            DropOffscreen();
            ::ReleaseDC(m_hWndPaint, m_hDcPaint);
            m_hDcPaint = NULL;
        }
        m_hWndPaint = hWnd;
        m_hDcPaint = ::GetDC(hWnd);
        if (m_aPreMessages.Find(this) < 0) m_aPreMessages.Add(this);
    }
}

HWND CPaintManagerUI::GetPaintWindow() const { return m_hWndPaint; }
HDC CPaintManagerUI::GetPaintDC() const { return m_hDcPaint; }
HBITMAP CPaintManagerUI::GetPaintOffscreenBitmap() const { return m_hbmpOffscreen; }
POINT CPaintManagerUI::GetMousePos() const { return m_ptLastMousePos; }
CUIString CPaintManagerUI::GetName() const { return m_sName; }
bool CPaintManagerUI::IsUpdateNeeded() const { return m_bUpdateNeeded; }
void CPaintManagerUI::NeedUpdate() { m_bUpdateNeeded = true; }

void CPaintManagerUI::DropOffscreen()
{
    if (m_hDcOffscreen != NULL) ::DeleteDC(m_hDcOffscreen);
    if (m_hDcBackground != NULL) ::DeleteDC(m_hDcBackground);
    if (m_hbmpOffscreen != NULL) ::DeleteObject(m_hbmpOffscreen);
    if (m_hbmpBackground != NULL) ::DeleteObject(m_hbmpBackground);
    m_hDcOffscreen = NULL;
    m_hDcBackground = NULL;
    m_hbmpOffscreen = NULL;
    m_hbmpBackground = NULL;
    m_pOffscreenBits = NULL;
    m_pBackgroundBits = NULL;
}

// ---------------------------------------------------------------------------------------------
// Statics

void CPaintManagerUI::SetInstance(HINSTANCE hInst) { m_hInstance = hInst; }
HINSTANCE CPaintManagerUI::GetInstance() { return m_hInstance; }

CUIString CPaintManagerUI::GetInstancePath()
{
    if (m_hInstance == NULL) return CUIString();
    wchar_t szModule[MAX_PATH + 1] = {0};
    ::GetModuleFileNameW(m_hInstance, szModule, MAX_PATH);
    CUIString sPath(szModule);
    int pos = sPath.ReverseFind(L'\\');
    if (pos >= 0) sPath = sPath.Left(pos + 1);
    return sPath;
}

HINSTANCE CPaintManagerUI::GetResourceDll()
{
    return m_hResourceInstance != NULL ? m_hResourceInstance : m_hInstance;
}

void CPaintManagerUI::SetResourcePath(const wchar_t* pStrPath)
{
    m_pStrResourcePath = pStrPath;
    int n = m_pStrResourcePath.GetLength();
    if (n > 0) {
        wchar_t last = m_pStrResourcePath.GetAt(n - 1);
        if (last != L'\\' && last != L'/') m_pStrResourcePath += L'\\';
    }
}

const CUIString& CPaintManagerUI::GetResourcePath() { return m_pStrResourcePath; }

void CPaintManagerUI::SetResourceZip(const wchar_t* pStrZip, bool bCachedResourceZip)
{
    if (m_pStrResourceZip == (pStrZip != NULL ? pStrZip : L"") && m_bCachedResourceZip == bCachedResourceZip) return;
    if (m_bCachedResourceZip && m_hResourceZip != NULL) {
        CloseZipHandle(m_hResourceZip);
        m_hResourceZip = NULL;
    }
    m_pStrResourceZip = pStrZip;
    m_bCachedResourceZip = bCachedResourceZip;
    if (m_bCachedResourceZip) {
        CUIString sFile = m_pStrResourcePath + m_pStrResourceZip.GetData();
        m_hResourceZip = OpenZipHandle(sFile.GetData(), 0, ZIP_FILENAME);
    }
}

void CPaintManagerUI::SetResourceZip(void* pVoid, unsigned int len)
{
    if (m_pStrResourceZip == kMemBufferZip) return;
    if (m_bCachedResourceZip && m_hResourceZip != NULL) {
        CloseZipHandle(m_hResourceZip);
        m_hResourceZip = NULL;
    }
    m_pStrResourceZip = kMemBufferZip;
    if (m_bCachedResourceZip) m_hResourceZip = OpenZipHandle(pVoid, len, ZIP_MEMORY);
}

const CUIString& CPaintManagerUI::GetResourceZip() { return m_pStrResourceZip; }
bool CPaintManagerUI::IsResourceZipCached() { return m_bCachedResourceZip; }
HANDLE CPaintManagerUI::GetResourceZipHandle() { return m_hResourceZip; }

bool CPaintManagerUI::GetHSL(short* H, short* S, short* L)
{
    if (H != NULL) *H = m_H;
    if (S != NULL) *S = m_S;
    if (L != NULL) *L = m_L;
    return m_bUseHSL;
}

CUIPtrArray* CPaintManagerUI::GetPlugins() { return &m_aPlugins; }

// ---------------------------------------------------------------------------------------------
// Window attributes

void CPaintManagerUI::SetWindowAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (pstrName == NULL || pstrValue == NULL) return;
    const wchar_t* p = pstrValue;
    if (_wcsicmp(pstrName, L"size") == 0) {
        int cx = ReadNumber(p);
        int cy = ReadNumber(p);
        SetInitSize(cx, cy);
    } else if (_wcsicmp(pstrName, L"sizebox") == 0 || _wcsicmp(pstrName, L"caption") == 0) {
        RECT rc;
        rc.left = ReadNumber(p);
        rc.top = ReadNumber(p);
        rc.right = ReadNumber(p);
        rc.bottom = ReadNumber(p);
        if (_wcsicmp(pstrName, L"sizebox") == 0)
            SetSizeBox(rc);
        else
            SetCaptionRect(rc);
    } else if (_wcsicmp(pstrName, L"roundcorner") == 0 || _wcsicmp(pstrName, L"mininfo") == 0 ||
               _wcsicmp(pstrName, L"maxinfo") == 0) {
        int cx = ReadNumber(p);
        int cy = ReadNumber(p);
        if (_wcsicmp(pstrName, L"roundcorner") == 0)
            SetRoundCorner(cx, cy);
        else if (_wcsicmp(pstrName, L"mininfo") == 0)
            SetMinInfo(cx, cy);
        else
            SetMaxInfo(cx, cy);
    } else if (_wcsicmp(pstrName, L"showdirty") == 0) {
        SetShowDirty(_wcsicmp(pstrValue, L"true") == 0);
    } else if (wcscmp(pstrName, L"noactivate") == 0) {
        SetNoActivate(_wcsicmp(pstrValue, L"true") == 0);
    } else if (_wcsicmp(pstrName, L"opacity") == 0) {
        SetOpacity((BYTE)_wtoi(pstrValue));
    } else if (wcscmp(pstrName, L"layeredopacity") == 0) {
        SetLayeredOpacity((BYTE)_wtoi(pstrValue));
    } else if (wcscmp(pstrName, L"layeredimage") == 0) {
        SetLayeredImage(pstrValue);
    } else if (_wcsicmp(pstrName, L"disabledfontcolor") == 0) {
        SetDefaultDisabledColor(ReadColour(pstrValue), false);
    } else if (_wcsicmp(pstrName, L"defaultfontcolor") == 0) {
        SetDefaultFontColor(ReadColour(pstrValue), false);
    } else if (_wcsicmp(pstrName, L"linkfontcolor") == 0) {
        SetDefaultLinkFontColor(ReadColour(pstrValue), false);
    } else if (_wcsicmp(pstrName, L"linkhoverfontcolor") == 0) {
        SetDefaultLinkHoverFontColor(ReadColour(pstrValue), false);
    } else if (_wcsicmp(pstrName, L"selectedcolor") == 0) {
        SetDefaultSelectedBkColor(ReadColour(pstrValue), false);
    } else {
        AddWindowCustomAttribute(pstrName, pstrValue);
    }
}

SIZE CPaintManagerUI::GetInitSize() const { return m_szInitWindowSize; }

void CPaintManagerUI::SetInitSize(int cx, int cy)
{
    m_szInitWindowSize.cx = cx;
    m_szInitWindowSize.cy = cy;
    if (m_pRoot == NULL && m_hWndPaint != NULL)
        ::SetWindowPos(m_hWndPaint, NULL, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

RECT& CPaintManagerUI::GetSizeBox() { return m_rcSizeBox; }
void CPaintManagerUI::SetSizeBox(RECT& rcSizeBox) { m_rcSizeBox = rcSizeBox; }
RECT& CPaintManagerUI::GetCaptionRect() { return m_rcCaption; }
void CPaintManagerUI::SetCaptionRect(RECT& rcCaption) { m_rcCaption = rcCaption; }
SIZE CPaintManagerUI::GetRoundCorner() const { return m_szRoundCorner; }

void CPaintManagerUI::SetRoundCorner(int cx, int cy)
{
    m_szRoundCorner.cx = cx;
    m_szRoundCorner.cy = cy;
}

SIZE CPaintManagerUI::GetMinInfo() const { return m_szMinWindow; }

void CPaintManagerUI::SetMinInfo(int cx, int cy)
{
    m_szMinWindow.cx = cx;
    m_szMinWindow.cy = cy;
}

SIZE CPaintManagerUI::GetMaxInfo() const { return m_szMaxWindow; }

void CPaintManagerUI::SetMaxInfo(int cx, int cy)
{
    m_szMaxWindow.cx = cx;
    m_szMaxWindow.cy = cy;
}

bool CPaintManagerUI::IsShowDirty() const { return m_bShowUpdateRect; }
void CPaintManagerUI::SetShowDirty(bool bShow) { m_bShowUpdateRect = bShow; }
bool CPaintManagerUI::IsNoActivate() const { return m_bNoActivate; }
void CPaintManagerUI::SetNoActivate(bool bNoActivate) { m_bNoActivate = bNoActivate; }
BYTE CPaintManagerUI::GetOpacity() const { return m_nOpacity; }

void CPaintManagerUI::SetOpacity(BYTE nOpacity)
{
    m_nOpacity = nOpacity;
    if (m_hWndPaint == NULL) return;
    PFNSETLAYEREDWINDOWATTRIBUTES pfn = reinterpret_cast<PFNSETLAYEREDWINDOWATTRIBUTES>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"User32.dll"), "SetLayeredWindowAttributes")));
    if (pfn == NULL) return;
    LONG_PTR dwExStyle = ::GetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE);
    if ((dwExStyle & WS_EX_LAYERED) == 0) ::SetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE, dwExStyle | WS_EX_LAYERED);
    pfn(m_hWndPaint, 0, nOpacity, LWA_ALPHA);
    m_bLayered = false;
    Invalidate();
}

bool CPaintManagerUI::IsLayered() const { return m_bLayered; }

void CPaintManagerUI::SetLayered(bool bLayered)
{
    if (m_hWndPaint == NULL || bLayered == m_bLayered) return;
    if ((::GetWindowLongPtrW(m_hWndPaint, GWL_STYLE) & WS_CHILD) != 0) return;
    if (m_pfnUpdateLayeredWindow == NULL) {
        m_pfnUpdateLayeredWindow = ::GetProcAddress(::GetModuleHandleW(L"User32.dll"), "UpdateLayeredWindow");
        if (m_pfnUpdateLayeredWindow == NULL) return;
    }
    LONG_PTR dwExStyle = ::GetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE);
    if (bLayered) {
        ::SetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE, dwExStyle | WS_EX_LAYERED);
        ::SetTimer(m_hWndPaint, UITIMER_LAYERED, 10, NULL);
    } else {
        ::SetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE, dwExStyle & ~(LONG_PTR)WS_EX_LAYERED);
        ::KillTimer(m_hWndPaint, UITIMER_LAYERED);
    }
    m_bLayered = bLayered;
    m_bLayeredChanged = true;
    if (m_pRoot != NULL) m_pRoot->NeedUpdate();
    Invalidate();
}

BYTE CPaintManagerUI::GetLayeredOpacity() const { return m_nOpacity; }

void CPaintManagerUI::SetLayeredOpacity(BYTE nOpacity)
{
    m_nOpacity = nOpacity;
    m_bLayeredChanged = true;
    Invalidate();
}

const wchar_t* CPaintManagerUI::GetLayeredImage() const { return m_diLayered.sDescription.GetData(); }

void CPaintManagerUI::SetLayeredImage(const wchar_t* pstrImage)
{
    SetLayered(true);
    m_diLayered.Clear();
    m_diLayered.sDescription = pstrImage;
    RECT rcNull = {0, 0, 0, 0};
    CUIPainter::DrawImage(NULL, this, rcNull, rcNull, m_diLayered);
}

void CPaintManagerUI::AddWindowCustomAttribute(const wchar_t* pstrName, const wchar_t* pstrAttr)
{
    if (pstrName == NULL || *pstrName == L'\0' || pstrAttr == NULL || *pstrAttr == L'\0') return;
    if (m_mWindowCustomAttrHash.Find(pstrName) != NULL) return;
    CUIString* pValue = new CUIString(pstrAttr);
    if (!m_mWindowCustomAttrHash.Insert(pstrName, pValue)) delete pValue;
}

const wchar_t* CPaintManagerUI::GetWindowCustomAttribute(const wchar_t* pstrName) const
{
    if (pstrName == NULL) return NULL;
    CUIString* pValue = static_cast<CUIString*>(const_cast<CUIStringPtrMap&>(m_mWindowCustomAttrHash).Find(pstrName));
    return pValue != NULL ? pValue->GetData() : NULL;
}

void CPaintManagerUI::ClearWindowCustomAttributes()
{
    for (int i = 0; i < m_mWindowCustomAttrHash.GetSize(); ++i) {
        const wchar_t* key = m_mWindowCustomAttrHash.GetAt(i);
        if (key != NULL) delete static_cast<CUIString*>(m_mWindowCustomAttrHash.Find(key, false));
    }
    m_mWindowCustomAttrHash.Resize(kMapBuckets);
}

// ---------------------------------------------------------------------------------------------
// Default colours: a shared change also reaches this manager's own copy when it still had the
// shared value; other live managers keep their copies.

namespace {
void SetColour(DWORD& own, DWORD& shared, DWORD dwColor, bool bShared)
{
    if (bShared) {
        if (own == shared) own = dwColor;
        shared = dwColor;
    } else {
        own = dwColor;
    }
}
} // namespace

DWORD CPaintManagerUI::GetDefaultDisabledColor() const { return m_ResInfo.dwDefaultDisabledColor; }
void CPaintManagerUI::SetDefaultDisabledColor(DWORD dwColor, bool bShared)
{
    SetColour(m_ResInfo.dwDefaultDisabledColor, m_SharedResInfo.dwDefaultDisabledColor, dwColor, bShared);
}
DWORD CPaintManagerUI::GetDefaultFontColor() const { return m_ResInfo.dwDefaultFontColor; }
void CPaintManagerUI::SetDefaultFontColor(DWORD dwColor, bool bShared)
{
    SetColour(m_ResInfo.dwDefaultFontColor, m_SharedResInfo.dwDefaultFontColor, dwColor, bShared);
}
DWORD CPaintManagerUI::GetDefaultLinkFontColor() const { return m_ResInfo.dwDefaultLinkFontColor; }
void CPaintManagerUI::SetDefaultLinkFontColor(DWORD dwColor, bool bShared)
{
    SetColour(m_ResInfo.dwDefaultLinkFontColor, m_SharedResInfo.dwDefaultLinkFontColor, dwColor, bShared);
}
DWORD CPaintManagerUI::GetDefaultLinkHoverFontColor() const { return m_ResInfo.dwDefaultLinkHoverFontColor; }
void CPaintManagerUI::SetDefaultLinkHoverFontColor(DWORD dwColor, bool bShared)
{
    SetColour(m_ResInfo.dwDefaultLinkHoverFontColor, m_SharedResInfo.dwDefaultLinkHoverFontColor, dwColor, bShared);
}
DWORD CPaintManagerUI::GetDefaultSelectedBkColor() const { return m_ResInfo.dwDefaultSelectedBkColor; }
void CPaintManagerUI::SetDefaultSelectedBkColor(DWORD dwColor, bool bShared)
{
    SetColour(m_ResInfo.dwDefaultSelectedBkColor, m_SharedResInfo.dwDefaultSelectedBkColor, dwColor, bShared);
}

// ---------------------------------------------------------------------------------------------
// Fonts

HFONT CPaintManagerUI::BuildFont(const wchar_t* pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic)
{
    LOGFONTW lf;
    ::ZeroMemory(&lf, sizeof(lf));
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONTW), &lf);
    // At most LF_FACESIZE - 1 characters: the face name must keep its terminator.
    ::lstrcpynW(lf.lfFaceName, pStrFontName != NULL ? pStrFontName : L"", LF_FACESIZE);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = -nSize;
    if (bBold) lf.lfWeight += FW_BOLD;
    if (bUnderline) lf.lfUnderline = TRUE;
    if (bItalic) lf.lfItalic = TRUE;
    return ::CreateFontIndirectW(&lf);
}

void CPaintManagerUI::FillFontMetrics(TFontEntry* pFont)
{
    if (pFont == NULL || m_hDcPaint == NULL || pFont->tm.tmHeight != 0 || pFont->hFont == NULL) return;
    HFONT hOldFont = static_cast<HFONT>(::SelectObject(m_hDcPaint, pFont->hFont));
    ::GetTextMetricsW(m_hDcPaint, &pFont->tm);
    ::SelectObject(m_hDcPaint, hOldFont);
}

TFontEntry* CPaintManagerUI::GetDefaultFontInfo()
{
    TFontEntry* pFont = !m_ResInfo.DefaultFontInfo.sFontName.IsEmpty() ? &m_ResInfo.DefaultFontInfo
                                                                       : &m_SharedResInfo.DefaultFontInfo;
    FillFontMetrics(pFont);
    return pFont;
}

void CPaintManagerUI::SetDefaultFont(const wchar_t* pStrFontName, int nSize, bool bBold, bool bUnderline,
                                     bool bItalic, bool bShared)
{
    HFONT hFont = BuildFont(pStrFontName, nSize, bBold, bUnderline, bItalic);
    if (hFont == NULL) return;
    TFontEntry& font = bShared ? m_SharedResInfo.DefaultFontInfo : m_ResInfo.DefaultFontInfo;
    if (font.hFont != NULL) ::DeleteObject(font.hFont);
    font.hFont = hFont;
    font.sFontName = pStrFontName;
    font.iSize = nSize;
    font.bBold = bBold;
    font.bUnderline = bUnderline;
    font.bItalic = bItalic;
    ::ZeroMemory(&font.tm, sizeof(font.tm));
    FillFontMetrics(&font);
}

HFONT CPaintManagerUI::AddFont(int id, const wchar_t* pStrFontName, int nSize, bool bBold, bool bUnderline,
                               bool bItalic, bool bShared)
{
    HFONT hFont = BuildFont(pStrFontName, nSize, bBold, bUnderline, bItalic);
    if (hFont == NULL) return NULL;
    TFontEntry* pFont = new TFontEntry();
    pFont->hFont = hFont;
    pFont->sFontName = pStrFontName;
    pFont->iSize = nSize;
    pFont->bBold = bBold;
    pFont->bUnderline = bUnderline;
    pFont->bItalic = bItalic;
    ::ZeroMemory(&pFont->tm, sizeof(pFont->tm));
    FillFontMetrics(pFont);

    CUIStringPtrMap& store = (bShared || m_bForceUseSharedRes) ? m_SharedResInfo.m_CustomFonts : m_ResInfo.m_CustomFonts;
    wchar_t key[16];
    FontKey(id, key);
    TFontEntry* pOld = static_cast<TFontEntry*>(store.Find(key));
    if (pOld != NULL) {
        ::DeleteObject(pOld->hFont);
        delete pOld;
        store.Remove(key);
    }
    if (!store.Insert(key, pFont)) {
        ::DeleteObject(hFont);
        delete pFont;
        return NULL;
    }
    return hFont;
}

TFontEntry* CPaintManagerUI::GetFontInfo(int id)
{
    if (id < 0) return GetDefaultFontInfo();
    wchar_t key[16];
    FontKey(id, key);
    TFontEntry* pFont = static_cast<TFontEntry*>(m_ResInfo.m_CustomFonts.Find(key));
    if (pFont == NULL) pFont = static_cast<TFontEntry*>(m_SharedResInfo.m_CustomFonts.Find(key));
    if (pFont == NULL) return GetDefaultFontInfo();
    FillFontMetrics(pFont);
    return pFont;
}

HFONT CPaintManagerUI::GetFont(int id)
{
    return GetFontInfo(id)->hFont;
}

namespace {
TFontEntry* FindFontIn(CUIStringPtrMap& store, const wchar_t* name, int nSize, bool bBold, bool bUnderline,
                       bool bItalic)
{
    for (int i = 0; i < store.GetSize(); ++i) {
        const wchar_t* key = store.GetAt(i);
        if (key == NULL) continue;
        TFontEntry* pFont = static_cast<TFontEntry*>(store.Find(key, false));
        if (pFont != NULL && pFont->sFontName == name && pFont->iSize == nSize && pFont->bBold == bBold &&
            pFont->bUnderline == bUnderline && pFont->bItalic == bItalic)
            return pFont;
    }
    return NULL;
}

TFontEntry* FindFontByHandle(CUIStringPtrMap& store, HFONT hFont)
{
    for (int i = 0; i < store.GetSize(); ++i) {
        const wchar_t* key = store.GetAt(i);
        if (key == NULL) continue;
        TFontEntry* pFont = static_cast<TFontEntry*>(store.Find(key, false));
        if (pFont != NULL && pFont->hFont == hFont) return pFont;
    }
    return NULL;
}
} // namespace

HFONT CPaintManagerUI::GetFont(const wchar_t* pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic)
{
    if (pStrFontName == NULL) return NULL;
    TFontEntry* pFont = FindFontIn(m_ResInfo.m_CustomFonts, pStrFontName, nSize, bBold, bUnderline, bItalic);
    if (pFont == NULL)
        pFont = FindFontIn(m_SharedResInfo.m_CustomFonts, pStrFontName, nSize, bBold, bUnderline, bItalic);
    return pFont != NULL ? pFont->hFont : NULL;
}

TFontEntry* CPaintManagerUI::GetFontInfo(HFONT hFont)
{
    TFontEntry* pFont = FindFontByHandle(m_ResInfo.m_CustomFonts, hFont);
    if (pFont == NULL) pFont = FindFontByHandle(m_SharedResInfo.m_CustomFonts, hFont);
    if (pFont == NULL) return GetDefaultFontInfo();
    FillFontMetrics(pFont);
    return pFont;
}

void CPaintManagerUI::RemoveFontStore(CUIStringPtrMap& store)
{
    for (int i = 0; i < store.GetSize(); ++i) {
        const wchar_t* key = store.GetAt(i);
        if (key == NULL) continue;
        TFontEntry* pFont = static_cast<TFontEntry*>(store.Find(key, false));
        if (pFont != NULL) {
            ::DeleteObject(pFont->hFont);
            delete pFont;
        }
    }
    store.RemoveAll();
}

void CPaintManagerUI::RemoveAllFonts(bool bShared)
{
    RemoveFontStore(bShared ? m_SharedResInfo.m_CustomFonts : m_ResInfo.m_CustomFonts);
}

// ---------------------------------------------------------------------------------------------
// Images

TLoadedImage* CPaintManagerUI::GetImage(const wchar_t* bitmap)
{
    if (bitmap == NULL) return NULL;
    TLoadedImage* data = static_cast<TLoadedImage*>(m_ResInfo.m_ImageHash.Find(bitmap));
    if (data == NULL) data = static_cast<TLoadedImage*>(m_SharedResInfo.m_ImageHash.Find(bitmap));
    return data;
}

TLoadedImage* CPaintManagerUI::GetOrLoadImage(const wchar_t* bitmap, const wchar_t* type, DWORD mask, bool bUseHSL)
{
    TLoadedImage* data = GetImage(bitmap);
    if (data == NULL) data = AddImage(bitmap, type, mask, bUseHSL, false);
    return data;
}

TLoadedImage* CPaintManagerUI::AddImage(const wchar_t* bitmap, const wchar_t* type, DWORD mask, bool bUseHSL,
                                        bool bShared)
{
    if (bitmap == NULL || *bitmap == L'\0') return NULL;

    TLoadedImage* data = NULL;
    bool bHasType = type != NULL && *type != L'\0';
    // A colour image is always named by its colour text, even when that starts with a digit.
    if (bHasType && wcscmp(type, L"*COLOR*") != 0 && bitmap[0] >= L'0' && bitmap[0] <= L'9')
        data = CUIPainter::LoadImage(STRINGorID((UINT)wcstol(bitmap, NULL, 10)), type, mask);
    else
        data = CUIPainter::LoadImage(STRINGorID(bitmap), bHasType ? type : NULL, mask);
    if (data == NULL) return NULL;

    data->bUseHSL = bUseHSL;
    if (bHasType) data->sResType = type;
    data->dwMask = mask;
    if (bUseHSL && data->pBits != NULL) {
        size_t cb = (size_t)data->nWidth * (size_t)data->nHeight * 4;
        data->pUnadjustedBits = static_cast<BYTE*>(malloc(cb));
        if (data->pUnadjustedBits != NULL) memcpy(data->pUnadjustedBits, data->pBits, cb);
    }
    if (m_bUseHSL) CUIPainter::AdjustImage(true, data, m_H, m_S, m_L);

    CUIStringPtrMap& store = (bShared || m_bForceUseSharedRes) ? m_SharedResInfo.m_ImageHash : m_ResInfo.m_ImageHash;
    TLoadedImage* pOld = static_cast<TLoadedImage*>(store.Find(bitmap));
    if (pOld != NULL) {
        CUIPainter::FreeImage(pOld, true);
        store.Remove(bitmap);
    }
    if (!store.Insert(bitmap, data)) {
        CUIPainter::FreeImage(data, true);
        return NULL;
    }
    return data;
}

void CPaintManagerUI::RemoveImage(const wchar_t* bitmap, bool bShared)
{
    if (bitmap == NULL) return;
    CUIStringPtrMap& store = bShared ? m_SharedResInfo.m_ImageHash : m_ResInfo.m_ImageHash;
    TLoadedImage* data = static_cast<TLoadedImage*>(store.Find(bitmap));
    if (data == NULL) return;
    CUIPainter::FreeImage(data, true);
    store.Remove(bitmap);
}

void CPaintManagerUI::RemoveImageStore(CUIStringPtrMap& store)
{
    for (int i = 0; i < store.GetSize(); ++i) {
        const wchar_t* key = store.GetAt(i);
        if (key == NULL) continue;
        TLoadedImage* data = static_cast<TLoadedImage*>(store.Find(key, false));
        if (data != NULL) CUIPainter::FreeImage(data, true);
    }
    store.RemoveAll();
}

void CPaintManagerUI::RemoveAllImages(bool bShared)
{
    RemoveImageStore(bShared ? m_SharedResInfo.m_ImageHash : m_ResInfo.m_ImageHash);
}

// ---------------------------------------------------------------------------------------------
// Default attribute lists

void CPaintManagerUI::AddDefaultAttributeList(const wchar_t* pStrControlName, const wchar_t* pStrControlAttrList,
                                              bool bShared)
{
    if (pStrControlName == NULL) return;
    CUIStringPtrMap& store = (bShared || m_bForceUseSharedRes) ? m_SharedResInfo.m_AttrHash : m_ResInfo.m_AttrHash;
    CUIString* pList = new CUIString(pStrControlAttrList);
    CUIString* pOld = static_cast<CUIString*>(store.Find(pStrControlName));
    if (pOld != NULL) {
        delete pOld;
        store.Remove(pStrControlName);
    }
    if (!store.Insert(pStrControlName, pList)) delete pList;
}

const wchar_t* CPaintManagerUI::GetDefaultAttributeList(const wchar_t* pStrControlName) const
{
    if (pStrControlName == NULL) return NULL;
    CUIString* pList = static_cast<CUIString*>(const_cast<CUIStringPtrMap&>(m_ResInfo.m_AttrHash).Find(pStrControlName));
    if (pList == NULL) pList = static_cast<CUIString*>(m_SharedResInfo.m_AttrHash.Find(pStrControlName));
    return pList != NULL ? pList->GetData() : NULL;
}

void CPaintManagerUI::RemoveAttrStore(CUIStringPtrMap& store)
{
    for (int i = 0; i < store.GetSize(); ++i) {
        const wchar_t* key = store.GetAt(i);
        if (key != NULL) delete static_cast<CUIString*>(store.Find(key, false));
    }
    store.RemoveAll();
}

void CPaintManagerUI::ClearDefaultAttributeLists(bool bShared)
{
    RemoveAttrStore(bShared ? m_SharedResInfo.m_AttrHash : m_ResInfo.m_AttrHash);
}

bool CPaintManagerUI::IsForceUseSharedRes() const { return m_bForceUseSharedRes; }
void CPaintManagerUI::SetUseSharedResources(bool bShared) { m_bForceUseSharedRes = bShared; }

// ---------------------------------------------------------------------------------------------
// Multi-language strings

void CPaintManagerUI::AddMultiLanguageString(int id, const wchar_t* pStrMultiLanguage)
{
    wchar_t key[16];
    FontKey(id, key);
    CUIString* pText = new CUIString(pStrMultiLanguage);
    CUIString* pOld = static_cast<CUIString*>(m_SharedResInfo.m_MultiLanguageHash.Find(key));
    if (pOld != NULL) {
        delete pOld;
        m_SharedResInfo.m_MultiLanguageHash.Remove(key);
    }
    if (!m_SharedResInfo.m_MultiLanguageHash.Insert(key, pText)) delete pText;
}

const wchar_t* CPaintManagerUI::GetMultiLanguageString(int id)
{
    wchar_t key[16];
    FontKey(id, key);
    CUIString* pText = static_cast<CUIString*>(m_SharedResInfo.m_MultiLanguageHash.Find(key));
    return pText != NULL ? pText->GetData() : NULL;
}

void CPaintManagerUI::ExpandLanguageTokens(CUIString& pStrMultiLanguage)
{
    // One pass from left to right: an inserted text is never scanned again, so a language string
    // that holds a token (even its own) cannot make the text grow without end.
    const wchar_t* p = pStrMultiLanguage.GetData();
    if (wcschr(p, L'%') == NULL) return;
    CUIString sResult;
    bool bChanged = false;
    const wchar_t* pRun = p;
    while (*p != L'\0') {
        if (p[0] == L'%' && p[1] == L'{') {
            const wchar_t* q = p + 2;
            while (*q >= L'0' && *q <= L'9') ++q;
            if (q > p + 2 && *q == L'}') {
                const wchar_t* pText = GetMultiLanguageString(_wtoi(p + 2));
                if (pText != NULL) {
                    sResult += CUIString(pRun, (int)(p - pRun));
                    sResult += pText;
                    bChanged = true;
                    p = q + 1;
                    pRun = p;
                    continue;
                }
            }
        }
        ++p;
    }
    if (!bChanged) return;
    sResult += pRun;
    pStrMultiLanguage = sResult;
}

} // namespace Veneer
