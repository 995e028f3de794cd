// The paint manager: set-up, resources, control tree, focus, timers, notifications, message loop.
#include "UIManager.h"
#include "UIControl.h"
#include "UIZip.h"
#include "UIRichEdit.h"
#include <wchar.h>
#include <wctype.h>
#include <stdlib.h>
#include <string.h>

namespace Veneer {

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
const int kMapBuckets = 83;

// Notifications being delivered from the queue right now (nested when a listener pumps
// messages). A control destroyed while its own record is out of the queue must not leave a
// dangling sender for the listeners that come after.
struct TInFlightNotify {
    CPaintManagerUI* pManager;
    TNotifyRecord* pMsg;
    TInFlightNotify* pPrev;
};
TInFlightNotify* s_pInFlight = NULL;

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

// Calls fn for every entry of a listener list, in order, on a snapshot: a callee may add or
// remove entries; removed ones are not called any more, added ones only from the next round.
template <class T, class Fn>
void ForEachListener(const CUIPtrArray& list, Fn fn)
{
    CUIPtrArray snapshot(list);
    for (int i = 0; i < snapshot.GetSize(); ++i) {
        T* p = static_cast<T*>(snapshot[i]);
        if (p == NULL || list.Find(p) < 0) continue;
        if (!fn(p)) break;
    }
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

void CPaintManagerUI::Invalidate()
{
    if (m_bLayered) {
        RECT rcClient = {0, 0, 0, 0};
        ::GetClientRect(m_hWndPaint, &rcClient);
        ::UnionRect(&m_rcLayeredUpdate, &m_rcLayeredUpdate, &rcClient);
    } else {
        ::InvalidateRect(m_hWndPaint, NULL, FALSE);
    }
}

void CPaintManagerUI::Invalidate(RECT& rcItem)
{
    if (rcItem.left < 0) rcItem.left = 0;
    if (rcItem.top < 0) rcItem.top = 0;
    if (rcItem.right < rcItem.left) rcItem.right = rcItem.left;
    if (rcItem.bottom < rcItem.top) rcItem.bottom = rcItem.top;
    // An empty rectangle invalidates nothing; controls not laid out yet (a skin being built) have
    // one, and each InvalidateRect is a round trip to the window server.
    if (::IsRectEmpty(&rcItem)) return;
    if (m_bLayered)
        ::UnionRect(&m_rcLayeredUpdate, &m_rcLayeredUpdate, &rcItem);
    else
        ::InvalidateRect(m_hWndPaint, &rcItem, FALSE);
}

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

// ---------------------------------------------------------------------------------------------
// Control tree and names

CControlUI* CALLBACK CPaintManagerUI::__FindControlFromNameHash(CControlUI* pThis, void* pData)
{
    CPaintManagerUI* pManager = static_cast<CPaintManagerUI*>(pData);
    CUIString sName = pThis->GetName();
    if (sName.IsEmpty()) return NULL;
    pManager->m_mNameHash.Set(sName, pThis);
    pManager->GrowNameHash();
    return NULL;
}

// The name map starts with the usual 83 buckets; a skin of thousands of named controls would
// make every registration walk chains of thousands, so the map grows with its content. Nobody
// enumerates it, so only the speed of its lookups changes.
void CPaintManagerUI::GrowNameHash()
{
    if (m_mNameHash.GetSize() > 2 * m_mNameHash.GetBucketCount())
        m_mNameHash.Rehash(4 * m_mNameHash.GetBucketCount() + 1);
}

CControlUI* CALLBACK CPaintManagerUI::__FindControlFromPoint(CControlUI* pThis, void* pData)
{
    const POINT* pPoint = static_cast<const POINT*>(pData);
    return ::PtInRect(&pThis->GetPos(), *pPoint) ? pThis : NULL;
}

CControlUI* CALLBACK CPaintManagerUI::__FindControlFromUpdate(CControlUI* pThis, void* pData)
{
    CPaintManagerUI* pManager = static_cast<CPaintManagerUI*>(pData);
    if (!pThis->IsUpdateNeeded()) return NULL;
    pManager->m_aFoundControls.Add(pThis);
    return pThis;
}

bool CPaintManagerUI::AttachDialog(CControlUI* pControl)
{
    SetFocus(NULL, true);
    m_pEventKey = NULL;
    m_pEventHover = NULL;
    m_pEventClick = NULL;
    m_pLastToolTip = NULL;

    if (m_pRoot != NULL) {
        DeleteDelayedCleanup();
        DeleteQueuedNotifies();
        m_mNameHash.RemoveAll();
        m_aPostPaintControls.Empty();
        m_aNativeWindow.Empty();
        m_aNativeWindowControl.Empty();
        CControlUI* pOldRoot = m_pRoot;
        m_pRoot = NULL;
        AddDelayedCleanup(pOldRoot);
    }

    m_pRoot = pControl;
    m_bFirstLayout = true;
    m_bUpdateNeeded = true;
    m_bFocusNeeded = true;
    return InitControls(pControl, NULL);
}

bool CPaintManagerUI::InitControls(CControlUI* pControl, CControlUI* pParent)
{
    if (pControl == NULL) return false;
    pControl->SetManager(this, pParent != NULL ? pParent : pControl->GetParent(), true);
    pControl->FindControl(__FindControlFromNameHash, this, 0);
    return true;
}

bool CPaintManagerUI::RenameControl(CControlUI* pControl, const wchar_t* pstrName)
{
    if (pControl == NULL || pControl->GetManager() != this || pstrName == NULL || *pstrName == L'\0') return false;
    CUIString sOldName = pControl->GetName();
    if (sOldName == pstrName) return true;
    if (m_mNameHash.Find(pstrName) != NULL) return false;
    if (!sOldName.IsEmpty() && m_mNameHash.Find(sOldName) == pControl) m_mNameHash.Remove(sOldName);
    bool bResult = m_mNameHash.Insert(pstrName, pControl);
    GrowNameHash();
    if (bResult) pControl->SetName(pstrName);
    return bResult;
}

void CPaintManagerUI::ForgetControl(CControlUI* pControl)
{
    if (pControl == NULL) return;
    if (pControl == m_pEventKey) m_pEventKey = NULL;
    if (pControl == m_pEventHover) m_pEventHover = NULL;
    if (pControl == m_pEventClick) m_pEventClick = NULL;
    if (pControl == m_pFocus) m_pFocus = NULL;
    if (pControl == m_pLastToolTip) m_pLastToolTip = NULL;
    KillTimer(pControl);

    int i = m_aPostPaintControls.Find(pControl);
    if (i >= 0) m_aPostPaintControls.Remove(i);
    i = m_aNeedMouseLeaveNeeded.Find(pControl);
    if (i >= 0) m_aNeedMouseLeaveNeeded.Remove(i);

    CUIString sName = pControl->GetName();
    if (!sName.IsEmpty() && m_mNameHash.Find(sName) == pControl) m_mNameHash.Remove(sName);

    for (int j = 0; j < m_aAsyncNotify.GetSize(); ++j) {
        TNotifyRecord* pMsg = static_cast<TNotifyRecord*>(m_aAsyncNotify[j]);
        if (pMsg->pSender == pControl) pMsg->pSender = NULL;
    }
    for (TInFlightNotify* p = s_pInFlight; p != NULL; p = p->pPrev) {
        if (p->pManager == this && p->pMsg->pSender == pControl) p->pMsg->pSender = NULL;
    }
}

CControlUI* CPaintManagerUI::GetRoot() const { return m_pRoot; }

CControlUI* CPaintManagerUI::FindControl(const wchar_t* pstrName) const
{
    if (pstrName == NULL) return NULL;
    return static_cast<CControlUI*>(const_cast<CUIStringPtrMap&>(m_mNameHash).Find(pstrName));
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const
{
    if (m_pRoot == NULL) return NULL;
    return m_pRoot->FindControl(__FindControlFromPoint, &pt, FindOnlyVisible | FindAtPoint | FindLastChildFirst);
}

CUIPtrArray* CPaintManagerUI::GetFoundControls() { return &m_aFoundControls; }

bool CPaintManagerUI::AddOptionGroup(const wchar_t* pStrGroupName, CControlUI* pControl)
{
    if (pStrGroupName == NULL || pControl == NULL) return false;
    CUIPtrArray* aGroup = static_cast<CUIPtrArray*>(m_mOptionGroup.Find(pStrGroupName));
    if (aGroup != NULL) {
        if (aGroup->Find(pControl) >= 0) return false;
        return aGroup->Add(pControl);
    }
    aGroup = new CUIPtrArray(6);
    aGroup->Add(pControl);
    if (!m_mOptionGroup.Insert(pStrGroupName, aGroup)) {
        delete aGroup;
        return false;
    }
    return true;
}

CUIPtrArray* CPaintManagerUI::GetOptionGroup(const wchar_t* pStrGroupName)
{
    if (pStrGroupName == NULL) return NULL;
    return static_cast<CUIPtrArray*>(m_mOptionGroup.Find(pStrGroupName));
}

void CPaintManagerUI::RemoveOptionGroup(const wchar_t* pStrGroupName, CControlUI* pControl)
{
    CUIPtrArray* aGroup = GetOptionGroup(pStrGroupName);
    if (aGroup == NULL) return;
    int i = aGroup->Find(pControl);
    if (i >= 0) aGroup->Remove(i);
    if (aGroup->IsEmpty()) {
        delete aGroup;
        m_mOptionGroup.Remove(pStrGroupName);
    }
}

void CPaintManagerUI::RemoveAllOptionGroups()
{
    for (int i = 0; i < m_mOptionGroup.GetSize(); ++i) {
        const wchar_t* key = m_mOptionGroup.GetAt(i);
        if (key != NULL) delete static_cast<CUIPtrArray*>(m_mOptionGroup.Find(key, false));
    }
    m_mOptionGroup.RemoveAll();
}

// ---------------------------------------------------------------------------------------------
// Focus and capture

CControlUI* CPaintManagerUI::GetFocus() const { return m_pFocus; }

void CPaintManagerUI::SetFocus(CControlUI* pControl, bool bFocusWnd)
{
    if (bFocusWnd && ::GetFocus() != m_hWndPaint && pControl != m_pFocus && !m_bNoActivate) ::SetFocus(m_hWndPaint);
    if (pControl == m_pFocus) return;

    if (m_pFocus != NULL) {
        CControlUI* pOld = m_pFocus;
        TEventUI event;
        ::ZeroMemory(&event, sizeof(event));
        event.Type = UIEVENT_KILLFOCUS;
        event.pSender = pControl;
        event.dwTimestamp = ::GetTickCount();
        pOld->Event(event);
        // The old focus may have gone away while it handled the event.
        if (m_pFocus == pOld) SendNotify(pOld, L"killfocus");
        m_pFocus = NULL;
    }

    if (pControl != NULL && pControl->GetManager() == this && pControl->IsVisible() && pControl->IsEnabled()) {
        m_pFocus = pControl;
        TEventUI event;
        ::ZeroMemory(&event, sizeof(event));
        event.Type = UIEVENT_SETFOCUS;
        event.pSender = pControl;
        event.dwTimestamp = ::GetTickCount();
        m_pFocus->Event(event);
        if (m_pFocus == pControl) SendNotify(pControl, L"setfocus");
    }
}

CControlUI* CALLBACK CPaintManagerUI::__FindControlFromTab(CControlUI* pThis, void* pData)
{
    TFindTabInfo* pInfo = static_cast<TFindTabInfo*>(pData);
    if (pInfo->pFocus == pThis) {
        if (pInfo->bForward) pInfo->bNextIsIt = true;
        return pInfo->bForward ? NULL : pInfo->pLast;
    }
    if ((pThis->GetControlFlags() & UIFLAG_TABSTOP) == 0) return NULL;
    pInfo->pLast = pThis;
    if (pInfo->bNextIsIt) return pThis;
    if (pInfo->pFocus == NULL) return pThis;
    return NULL;
}

void CPaintManagerUI::RequestFocus(CControlUI* pControl)
{
    if (!m_bNoActivate) ::SetFocus(m_hWndPaint);
    if (pControl == NULL) return;

    if (m_pFocus != NULL) {
        CControlUI* pOld = m_pFocus;
        TEventUI event;
        ::ZeroMemory(&event, sizeof(event));
        event.Type = UIEVENT_KILLFOCUS;
        event.pSender = pControl;
        event.dwTimestamp = ::GetTickCount();
        pOld->Event(event);
        if (m_pFocus == pOld) SendNotify(pOld, L"killfocus");
        m_pFocus = NULL;
    }

    // Park the focus on the tab stop before pControl; the next paint moves it forward onto pControl.
    if (m_pRoot != NULL) {
        TFindTabInfo info = {pControl, NULL, false, false};
        m_pFocus = m_pRoot->FindControl(__FindControlFromTab, &info,
                                        FindOnlyVisible | FindOnlyEnabled | FindSelfFirst);
        m_bFocusNeeded = true;
        m_pRoot->NeedUpdate();
    }
}

bool CPaintManagerUI::SetNextTabControl(bool bForward)
{
    if (m_bUpdateNeeded && bForward) {
        m_bFocusNeeded = true;
        ::InvalidateRect(m_hWndPaint, NULL, FALSE);
        return true;
    }
    if (m_pRoot != NULL) {
        const UINT uFlags = FindOnlyVisible | FindOnlyEnabled | FindSelfFirst;
        TFindTabInfo info1 = {m_pFocus, NULL, bForward, false};
        CControlUI* pControl = m_pRoot->FindControl(__FindControlFromTab, &info1, uFlags);
        if (pControl == NULL) {
            if (bForward) {
                TFindTabInfo info2 = {NULL, NULL, true, false};
                pControl = m_pRoot->FindControl(__FindControlFromTab, &info2, uFlags);
            } else {
                pControl = info1.pLast;
            }
        }
        if (pControl != NULL) SetFocus(pControl, true);
    }
    m_bFocusNeeded = false;
    return true;
}

void CPaintManagerUI::SetCapture()
{
    ::SetCapture(m_hWndPaint);
    m_bMouseCapture = true;
}

void CPaintManagerUI::ReleaseCapture()
{
    ::ReleaseCapture();
    m_bMouseCapture = false;
}

bool CPaintManagerUI::IsCaptured() const { return m_bMouseCapture; }
bool CPaintManagerUI::IsPainting() const { return m_bIsPainting; }
void CPaintManagerUI::SetPainting(bool bIsPainting) { m_bIsPainting = bIsPainting; }

// ---------------------------------------------------------------------------------------------
// Control timers

bool CPaintManagerUI::SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse)
{
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TTimerEntry* pTimer = static_cast<TTimerEntry*>(m_aTimers[i]);
        if (pTimer->pSender == pControl && pTimer->hWnd == m_hWndPaint && pTimer->nLocalID == nTimerID) {
            if (!pTimer->bKilled) return false;
            if (::SetTimer(m_hWndPaint, pTimer->uWinTimer, uElapse, NULL) == 0) return false;
            pTimer->bKilled = false;
            return true;
        }
    }

    m_uTimerID = (m_uTimerID + 1) % 0xFF;
    if (::SetTimer(m_hWndPaint, m_uTimerID, uElapse, NULL) == 0) return false;
    TTimerEntry* pTimer = new TTimerEntry;
    pTimer->pSender = pControl;
    pTimer->nLocalID = nTimerID;
    pTimer->hWnd = m_hWndPaint;
    pTimer->uWinTimer = m_uTimerID;
    pTimer->bKilled = false;
    if (!m_aTimers.Add(pTimer)) {
        ::KillTimer(m_hWndPaint, pTimer->uWinTimer);
        delete pTimer;
        return false;
    }
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* pControl, UINT nTimerID)
{
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TTimerEntry* pTimer = static_cast<TTimerEntry*>(m_aTimers[i]);
        if (pTimer->pSender == pControl && pTimer->hWnd == m_hWndPaint && pTimer->nLocalID == nTimerID &&
            !pTimer->bKilled) {
            if (::IsWindow(m_hWndPaint)) ::KillTimer(pTimer->hWnd, pTimer->uWinTimer);
            pTimer->bKilled = true;
            return true;
        }
    }
    return false;
}

void CPaintManagerUI::KillTimer(CControlUI* pControl)
{
    int i = 0;
    while (i < m_aTimers.GetSize()) {
        TTimerEntry* pTimer = static_cast<TTimerEntry*>(m_aTimers[i]);
        if (pTimer->pSender == pControl && pTimer->hWnd == m_hWndPaint) {
            if (!pTimer->bKilled) ::KillTimer(pTimer->hWnd, pTimer->uWinTimer);
            delete pTimer;
            m_aTimers.Remove(i);
        } else {
            ++i;
        }
    }
}

void CPaintManagerUI::RemoveAllTimers()
{
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TTimerEntry* pTimer = static_cast<TTimerEntry*>(m_aTimers[i]);
        if (pTimer->hWnd == m_hWndPaint) {
            if (!pTimer->bKilled && ::IsWindow(m_hWndPaint)) ::KillTimer(pTimer->hWnd, pTimer->uWinTimer);
            delete pTimer;
        }
    }
    m_aTimers.Empty();
}

// ---------------------------------------------------------------------------------------------
// Notifications

void CPaintManagerUI::SendNotify(CControlUI* pControl, const wchar_t* pstrMessage, WPARAM wParam, LPARAM lParam,
                                 bool bAsync, bool bEnableRepeat)
{
    TNotifyRecord msg;
    msg.pSender = pControl;
    msg.sType = pstrMessage;
    msg.dwTimestamp = 0;
    msg.ptMouse.x = msg.ptMouse.y = 0;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, bAsync, bEnableRepeat);
}

void CPaintManagerUI::SendNotify(TNotifyRecord& msg, bool bAsync, bool bEnableRepeat)
{
    msg.ptMouse = m_ptLastMousePos;
    msg.dwTimestamp = ::GetTickCount();
    if (m_bUsedVirtualWnd && msg.pSender != NULL) msg.sVirtualWnd = msg.pSender->GetVirtualWnd();

    if (!bAsync) {
        if (msg.pSender != NULL && msg.pSender->OnNotify) msg.pSender->OnNotify(&msg);
        ForEachListener<INotifyUI>(m_aNotifiers, [&msg](INotifyUI* p) {
            p->Notify(msg);
            return true;
        });
        return;
    }

    if (!bEnableRepeat) {
        for (int i = 0; i < m_aAsyncNotify.GetSize(); ++i) {
            TNotifyRecord* pMsg = static_cast<TNotifyRecord*>(m_aAsyncNotify[i]);
            if (pMsg->pSender == msg.pSender && pMsg->sType == msg.sType.GetData()) {
                if (m_bUsedVirtualWnd) pMsg->sVirtualWnd = msg.sVirtualWnd;
                pMsg->wParam = msg.wParam;
                pMsg->lParam = msg.lParam;
                pMsg->ptMouse = msg.ptMouse;
                pMsg->dwTimestamp = msg.dwTimestamp;
                return;
            }
        }
    }
    TNotifyRecord* pMsg = new TNotifyRecord(msg);
    if (!m_aAsyncNotify.Add(pMsg)) {
        delete pMsg;
        return;
    }
    PostAsyncNotify();
}

void CPaintManagerUI::DeliverAsyncNotify()
{
    m_bAsyncNotifyPosted = false;
    while (m_aAsyncNotify.GetSize() > 0) {
        TNotifyRecord* pMsg = static_cast<TNotifyRecord*>(m_aAsyncNotify[0]);
        m_aAsyncNotify.Remove(0);
        TInFlightNotify inFlight = {this, pMsg, s_pInFlight};
        s_pInFlight = &inFlight;
        if (pMsg->pSender != NULL && pMsg->pSender->OnNotify) pMsg->pSender->OnNotify(pMsg);
        ForEachListener<INotifyUI>(m_aNotifiers, [pMsg](INotifyUI* p) {
            p->Notify(*pMsg);
            return true;
        });
        s_pInFlight = inFlight.pPrev;
        delete pMsg;
    }
    DeleteDelayedCleanup();
}

void CPaintManagerUI::DeleteDelayedCleanup()
{
    // One at a time from the front: a control's destruction may queue further controls.
    while (m_aDelayedCleanup.GetSize() > 0) {
        CControlUI* pControl = static_cast<CControlUI*>(m_aDelayedCleanup[0]);
        m_aDelayedCleanup.Remove(0);
        pControl->Delete();
    }
}

void CPaintManagerUI::DeleteQueuedNotifies()
{
    for (int i = 0; i < m_aAsyncNotify.GetSize(); ++i) delete static_cast<TNotifyRecord*>(m_aAsyncNotify[i]);
    m_aAsyncNotify.Empty();
}

bool CPaintManagerUI::AddNotifier(INotifyUI* pNotifier)
{
    if (pNotifier == NULL) return false;
    return m_aNotifiers.Add(pNotifier);
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* pNotifier)
{
    int i = m_aNotifiers.Find(pNotifier);
    if (i < 0) return false;
    return m_aNotifiers.Remove(i);
}

bool CPaintManagerUI::IsVirtualWndUsed() const { return m_bUsedVirtualWnd; }
void CPaintManagerUI::SetVirtualWndUsed(bool bUsed) { m_bUsedVirtualWnd = bUsed; }

// ---------------------------------------------------------------------------------------------
// Registries

namespace {
bool AddEntry(CUIPtrArray& list, void* p)
{
    if (p == NULL) return false;
    return list.Add(p);
}

bool RemoveEntry(CUIPtrArray& list, void* p)
{
    int i = list.Find(p);
    if (i < 0) return false;
    return list.Remove(i);
}
} // namespace

bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* pFilter) { return AddEntry(m_aPreMessageFilters, pFilter); }
bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* pFilter)
{
    return RemoveEntry(m_aPreMessageFilters, pFilter);
}
bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* pFilter) { return AddEntry(m_aMessageFilters, pFilter); }
bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* pFilter) { return RemoveEntry(m_aMessageFilters, pFilter); }
bool CPaintManagerUI::AddPostPaint(CControlUI* pControl) { return AddEntry(m_aPostPaintControls, pControl); }
bool CPaintManagerUI::RemovePostPaint(CControlUI* pControl) { return RemoveEntry(m_aPostPaintControls, pControl); }

bool CPaintManagerUI::AddTranslateAccelerator(ITranslateAccelerator* pTranslateAccelerator)
{
    return m_aTranslateAccelerator.Add(pTranslateAccelerator);
}

bool CPaintManagerUI::RemoveTranslateAccelerator(ITranslateAccelerator* pTranslateAccelerator)
{
    return RemoveEntry(m_aTranslateAccelerator, pTranslateAccelerator);
}

void CPaintManagerUI::AddMouseLeaveListener(CControlUI* pControl)
{
    if (pControl == NULL || m_aNeedMouseLeaveNeeded.Find(pControl) >= 0) return;
    m_aNeedMouseLeaveNeeded.Add(pControl);
}

bool CPaintManagerUI::RemoveMouseLeaveListener(CControlUI* pControl)
{
    return RemoveEntry(m_aNeedMouseLeaveNeeded, pControl);
}

RECT CPaintManagerUI::GetNativeWindowRect(HWND hChildWnd)
{
    RECT rc = {0, 0, 0, 0};
    ::GetWindowRect(hChildWnd, &rc);
    ::ScreenToClient(m_hWndPaint, reinterpret_cast<POINT*>(&rc.left));
    ::ScreenToClient(m_hWndPaint, reinterpret_cast<POINT*>(&rc.right));
    return rc;
}

bool CPaintManagerUI::AddNativeWindow(CControlUI* pControl, HWND hChildWnd)
{
    if (pControl == NULL || hChildWnd == NULL) return false;
    RECT rcChild = GetNativeWindowRect(hChildWnd);
    Invalidate(rcChild);
    if (m_aNativeWindow.Find(hChildWnd) >= 0) return false;
    if (!m_aNativeWindow.Add(hChildWnd)) return false;
    if (!m_aNativeWindowControl.Add(pControl)) {
        m_aNativeWindow.Remove(m_aNativeWindow.GetSize() - 1);
        return false;
    }
    return true;
}

bool CPaintManagerUI::RemoveNativeWindow(HWND hChildWnd)
{
    int i = m_aNativeWindow.Find(hChildWnd);
    if (i < 0) return false;
    m_aNativeWindow.Remove(i);
    m_aNativeWindowControl.Remove(i);
    return true;
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* pControl)
{
    if (pControl == NULL) return;
    pControl->SetManager(this, NULL, false);
    // Queued once: a second request must not delete the control twice.
    if (m_aDelayedCleanup.Find(pControl) < 0) m_aDelayedCleanup.Add(pControl);
    PostAsyncNotify();
}

void CPaintManagerUI::PostAsyncNotify()
{
    if (m_bAsyncNotifyPosted) return;
    // The flag is only set once the message is really on its way, or the queue would stall.
    if (::PostMessageW(m_hWndPaint, UIMSG_ASYNCNOTIFY, 0, 0)) m_bAsyncNotifyPosted = true;
}

// ---------------------------------------------------------------------------------------------
// Message loop and pre-translation

UINT CPaintManagerUI::MapKeyState()
{
    UINT uState = 0;
    if (::GetKeyState(VK_CONTROL) < 0) uState |= MK_CONTROL;
    if (::GetKeyState(VK_RBUTTON) < 0) uState |= MK_RBUTTON;
    if (::GetKeyState(VK_LBUTTON) < 0) uState |= MK_LBUTTON;
    if (::GetKeyState(VK_SHIFT) < 0) uState |= MK_SHIFT;
    if (::GetKeyState(VK_MENU) < 0) uState |= 0x20;
    return uState;
}

void CPaintManagerUI::MessageLoop()
{
    MSG msg;
    while (::GetMessageW(&msg, NULL, 0, 0) > 0) {
        if (!CPaintManagerUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

bool CPaintManagerUI::TranslateMessage(const MSG* pMsg)
{
    if (pMsg == NULL) return false;
    LONG_PTR uStyle = ::GetWindowLongPtrW(pMsg->hwnd, GWL_STYLE);
    if ((uStyle & WS_CHILD) == 0) {
        for (int i = 0; i < m_aPreMessages.GetSize(); ++i) {
            CPaintManagerUI* pManager = static_cast<CPaintManagerUI*>(m_aPreMessages[i]);
            if (pManager->GetPaintWindow() != pMsg->hwnd) continue;
            if (pManager->TranslateAccelerator(const_cast<MSG*>(pMsg))) return true;
            LRESULT lRes = 0;
            return pManager->PreMessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, lRes);
        }
        return false;
    }

    // A child window's message: every manager whose window is the child or one of its ancestors
    // sees it once; the message is then dispatched normally.
    for (int i = m_aPreMessages.GetSize() - 1; i >= 0; --i) {
        CPaintManagerUI* pManager = static_cast<CPaintManagerUI*>(m_aPreMessages.GetAt(i));
        if (pManager == NULL) continue;
        for (HWND hParent = ::GetParent(pMsg->hwnd); hParent != NULL; hParent = ::GetParent(hParent)) {
            if (pMsg->hwnd == pManager->GetPaintWindow() || hParent == pManager->GetPaintWindow()) {
                if (pManager->TranslateAccelerator(const_cast<MSG*>(pMsg))) return true;
                LRESULT lRes = 0;
                pManager->PreMessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, lRes);
                break;
            }
        }
    }
    return false;
}

bool CPaintManagerUI::TranslateAccelerator(MSG* pMsg)
{
    bool bHandled = false;
    ForEachListener<ITranslateAccelerator>(m_aTranslateAccelerator, [&](ITranslateAccelerator* p) {
        if (p->TranslateAccelerator(pMsg) == 0) bHandled = true;
        return !bHandled;
    });
    return bHandled;
}

CControlUI* CALLBACK CPaintManagerUI::__FindControlFromShortcut(CControlUI* pThis, void* pData)
{
    if (!pThis->IsVisible()) return NULL;
    TFindShortcut* pFS = static_cast<TFindShortcut*>(pData);
    if (pFS->ch == (wchar_t)towupper(pThis->GetShortcut())) pFS->bPickNext = true;
    if (wcsstr(pThis->GetClass(), L"Label") != NULL) return NULL;
    return pFS->bPickNext ? pThis : NULL;
}

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    bool bConsumed = false;
    ForEachListener<IMessageFilterUI>(m_aPreMessageFilters, [&](IMessageFilterUI* p) {
        bool bHandled = false;
        p->MessageHandler(uMsg, wParam, lParam, bHandled);
        if (bHandled) bConsumed = true;
        return !bConsumed;
    });
    if (bConsumed) return true;

    switch (uMsg) {
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            // A focused rich edit that wants Tab gets the key.
            if (m_pFocus != NULL && m_pFocus->IsVisible() && m_pFocus->IsEnabled() &&
                wcsstr(m_pFocus->GetClass(), L"RichEdit") != NULL) {
                CRichEditUI* pRichEdit = static_cast<CRichEditUI*>(m_pFocus->GetInterface(L"RichEdit"));
                if (pRichEdit != NULL && pRichEdit->IsWantTab()) return false;
            }
            SetNextTabControl(::GetKeyState(VK_SHIFT) >= 0);
            return true;
        }
        break;
    case WM_SYSCHAR: {
        if (m_pRoot == NULL) return false;
        TFindShortcut fs = {(wchar_t)towupper((wint_t)wParam), false};
        CControlUI* pControl = m_pRoot->FindControl(__FindControlFromShortcut, &fs,
                                                    FindOnlyEnabled | FindLastChildFirst | FindSelfFirst);
        if (pControl == NULL) return false;
        pControl->SetFocus();
        pControl->Activate();
        return true;
    }
    case WM_SYSKEYDOWN:
        if (m_pFocus != NULL) {
            TEventUI event;
            ::ZeroMemory(&event, sizeof(event));
            event.Type = UIEVENT_SYSKEY;
            event.pSender = m_pFocus;
            event.chKey = (wchar_t)wParam;
            event.ptMouse = m_ptLastMousePos;
            event.wKeyState = (WORD)MapKeyState();
            event.dwTimestamp = ::GetTickCount();
            m_pFocus->Event(event);
        }
        break;
    default:
        break;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Window messages

namespace {
// A key event for a control: the character from the message, the mouse where it was last seen.
void SendKeyEvent(CControlUI* target, int type, UINT keyState, POINT mouse, WPARAM wParam, LPARAM lParam)
{
    TEventUI event;
    ::ZeroMemory(&event, sizeof(event));
    event.Type = type;
    event.pSender = target;
    event.chKey = (wchar_t)LOWORD(wParam);
    event.ptMouse = mouse;
    event.wKeyState = (WORD)keyState;
    event.dwTimestamp = ::GetTickCount();
    event.wParam = wParam;
    event.lParam = lParam;
    target->Event(event);
}
} // namespace

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    if (m_hWndPaint == NULL) return false;

    // Message filters first; the first that handles the message consumes it.
    {
        bool bConsumed = false;
        LRESULT lFilterRes = 0;
        ForEachListener<IMessageFilterUI>(m_aMessageFilters, [&](IMessageFilterUI* p) {
            bool bHandled = false;
            LRESULT r = p->MessageHandler(uMsg, wParam, lParam, bHandled);
            if (bHandled) {
                bConsumed = true;
                lFilterRes = r;
            }
            return !bConsumed;
        });
        if (bConsumed) {
            switch (uMsg) {
            case WM_MOUSEMOVE:
            case WM_LBUTTONDOWN:
            case WM_LBUTTONUP:
            case WM_LBUTTONDBLCLK:
                m_ptLastMousePos.x = GET_X_LPARAM(lParam);
                m_ptLastMousePos.y = GET_Y_LPARAM(lParam);
                break;
            case WM_CONTEXTMENU:
            case WM_MOUSEWHEEL: {
                POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                ::ScreenToClient(m_hWndPaint, &pt);
                m_ptLastMousePos = pt;
                break;
            }
            default:
                break;
            }
            lRes = lFilterRes;
            return true;
        }
    }

    if (m_bLayered) {
        switch (uMsg) {
        case WM_NCCALCSIZE:
        case WM_NCPAINT:
            lRes = 0;
            return true;
        case WM_NCACTIVATE:
            if (!::IsIconic(m_hWndPaint)) {
                lRes = (wParam == 0) ? TRUE : FALSE;
                return true;
            }
            break;
        default:
            break;
        }
    }

    switch (uMsg) {
    case UIMSG_ASYNCNOTIFY:
        DeliverAsyncNotify();
        return false;

    case WM_CLOSE: {
        TEventUI event;
        ::ZeroMemory(&event, sizeof(event));
        event.ptMouse = m_ptLastMousePos;
        event.wKeyState = (WORD)MapKeyState();
        event.dwTimestamp = ::GetTickCount();
        if (m_pEventHover != NULL) {
            event.Type = UIEVENT_MOUSELEAVE;
            event.pSender = m_pEventHover;
            m_pEventHover->Event(event);
        }
        if (m_pEventClick != NULL) {
            event.Type = UIEVENT_BUTTONUP;
            event.pSender = m_pEventClick;
            m_pEventClick->Event(event);
        }
        SetFocus(NULL, true);
        HWND hwndParent = ::GetWindow(m_hWndPaint, GW_OWNER);
        if (hwndParent == NULL && (::GetWindowLongPtrW(m_hWndPaint, GWL_STYLE) & WS_CHILD) != 0)
            hwndParent = ::GetParent(m_hWndPaint);
        if (::GetActiveWindow() == m_hWndPaint && hwndParent != NULL) ::SetFocus(hwndParent);
        if (m_hwndTooltip != NULL) {
            ::DestroyWindow(m_hwndTooltip);
            m_hwndTooltip = NULL;
        }
        return false;
    }

    case WM_ERASEBKGND:
        lRes = 1;
        return true;

    case WM_PAINT:
        DoPaint();
        return true;

    case WM_GETMINMAXINFO: {
        LPMINMAXINFO lpMMI = reinterpret_cast<LPMINMAXINFO>(lParam);
        if (m_szMinWindow.cx > 0) lpMMI->ptMinTrackSize.x = m_szMinWindow.cx;
        if (m_szMinWindow.cy > 0) lpMMI->ptMinTrackSize.y = m_szMinWindow.cy;
        if (m_szMaxWindow.cx > 0) lpMMI->ptMaxTrackSize.x = m_szMaxWindow.cx;
        if (m_szMaxWindow.cy > 0) lpMMI->ptMaxTrackSize.y = m_szMaxWindow.cy;
        return false;
    }

    case WM_SIZE: {
        if (m_pFocus != NULL) {
            TEventUI event;
            ::ZeroMemory(&event, sizeof(event));
            event.Type = UIEVENT_WINDOWSIZE;
            event.pSender = m_pFocus;
            event.dwTimestamp = ::GetTickCount();
            event.ptMouse = m_ptLastMousePos;
            event.wKeyState = (WORD)MapKeyState();
            event.wParam = wParam;
            event.lParam = lParam;
            m_pFocus->Event(event);
        }
        if (m_pRoot != NULL) m_pRoot->NeedUpdate();
        if (m_bLayered) Invalidate();
        return true;
    }

    case WM_TIMER: {
        if (LOWORD(wParam) == UITIMER_LAYERED && m_bLayered) {
            if (!::IsRectEmpty(&m_rcLayeredUpdate) && !::IsIconic(m_hWndPaint)) {
                LRESULT lPaint = 0;
                MessageHandler(WM_PAINT, 0, 0, lPaint);
            }
            return false;
        }
        for (int i = 0; i < m_aTimers.GetSize(); ++i) {
            const TTimerEntry* pTimer = static_cast<TTimerEntry*>(m_aTimers[i]);
            if (pTimer->hWnd == m_hWndPaint && pTimer->uWinTimer == LOWORD(wParam) && !pTimer->bKilled) {
                TEventUI event;
                ::ZeroMemory(&event, sizeof(event));
                event.Type = UIEVENT_TIMER;
                event.pSender = pTimer->pSender;
                event.dwTimestamp = ::GetTickCount();
                event.ptMouse = m_ptLastMousePos;
                event.wKeyState = (WORD)MapKeyState();
                event.wParam = pTimer->nLocalID;
                event.lParam = lParam;
                pTimer->pSender->Event(event);
                break;
            }
        }
        return false;
    }

    case WM_PRINTCLIENT:
        if (m_pRoot == NULL) return false;
        DoPrintClient(reinterpret_cast<HDC>(wParam), lParam);
        return false;

    case WM_MOUSEHOVER:
        if (m_pRoot == NULL) return false;
        return HandleMouseHover(wParam, lParam);

    case WM_MOUSELEAVE:
        if (m_pRoot == NULL) return false;
        HandleMouseLeave();
        return false;

    case WM_MOUSEMOVE:
        if (m_pRoot == NULL) return false;
        HandleMouseMove(wParam, lParam);
        return false;

    case WM_LBUTTONDOWN: {
        if (m_pRoot == NULL) return false;
        if (!m_bNoActivate) ::SetFocus(m_hWndPaint);
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        m_ptLastMousePos = pt;
        CControlUI* pControl = FindOwnControl(pt);
        if (pControl == NULL) return false;
        m_pEventClick = pControl;
        pControl->SetFocus();
        // The focus change may have removed the control.
        if (m_pEventClick != pControl) return false;
        SetCapture();
        TEventUI event;
        InitEvent(event, UIEVENT_BUTTONDOWN, pControl, wParam, lParam);
        event.wKeyState = LOWORD(wParam);
        pControl->Event(event);
        return false;
    }

    case WM_LBUTTONDBLCLK: {
        if (m_pRoot == NULL) return false;
        if (!m_bNoActivate) ::SetFocus(m_hWndPaint);
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        m_ptLastMousePos = pt;
        CControlUI* pControl = FindOwnControl(pt);
        if (pControl == NULL) return false;
        SetCapture();
        // Recorded before the event so that a control that goes away in its handler is forgotten.
        m_pEventClick = pControl;
        TEventUI event;
        InitEvent(event, UIEVENT_DBLCLICK, pControl, 0, 0);
        event.wKeyState = LOWORD(wParam);
        pControl->Event(event);
        return false;
    }

    case WM_LBUTTONUP: {
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        m_ptLastMousePos = pt;
        if (m_pEventClick == NULL) return false;
        ReleaseCapture();
        CControlUI* pClick = m_pEventClick;
        m_pEventClick = NULL;
        TEventUI event;
        InitEvent(event, UIEVENT_BUTTONUP, pClick, wParam, lParam);
        event.wKeyState = LOWORD(wParam);
        // The click may close the window and take this manager with it: nothing after the call.
        pClick->Event(event);
        return false;
    }

    case WM_RBUTTONDOWN: {
        if (m_pRoot == NULL) return false;
        if (!m_bNoActivate) ::SetFocus(m_hWndPaint);
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        m_ptLastMousePos = pt;
        CControlUI* pControl = FindOwnControl(pt);
        if (pControl == NULL) return false;
        // Recorded first so that a control removed by the focus change is forgotten at once.
        m_pEventClick = pControl;
        pControl->SetFocus();
        if (m_pEventClick != pControl) return false;
        TEventUI event;
        InitEvent(event, UIEVENT_RBUTTONDOWN, pControl, wParam, lParam);
        event.wKeyState = LOWORD(wParam);
        pControl->Event(event);
        return false;
    }

    case WM_CONTEXTMENU: {
        if (m_pRoot == NULL || m_bMouseCapture) return false;
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(m_hWndPaint, &pt);
        m_ptLastMousePos = pt;
        if (m_pEventClick == NULL) return false;
        CControlUI* pClick = m_pEventClick;
        m_pEventClick = NULL;
        TEventUI event;
        InitEvent(event, UIEVENT_CONTEXTMENU, pClick, 0, reinterpret_cast<LPARAM>(pClick));
        event.wKeyState = LOWORD(wParam);
        pClick->Event(event);
        return false;
    }

    case WM_MOUSEWHEEL: {
        if (m_pRoot == NULL) return false;
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(m_hWndPaint, &pt);
        m_ptLastMousePos = pt;
        CControlUI* pControl = FindOwnControl(pt);
        if (pControl == NULL) return false;
        int zDelta = GET_WHEEL_DELTA_WPARAM(wParam);
        TEventUI event;
        InitEvent(event, UIEVENT_SCROLLWHEEL, pControl, zDelta < 0 ? SB_LINEDOWN : SB_LINEUP, lParam);
        pControl->Event(event);
        // The content under the mouse may have moved: hover follows it.
        ::SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0, MAKELPARAM((WORD)pt.x, (WORD)pt.y));
        return false;
    }

    case WM_SETCURSOR: {
        if (m_pRoot == NULL || LOWORD(lParam) != HTCLIENT) return false;
        if (m_bMouseCapture) return true;
        POINT pt = {0, 0};
        ::GetCursorPos(&pt);
        ::ScreenToClient(m_hWndPaint, &pt);
        CControlUI* pControl = FindOwnControl(pt);
        if (pControl == NULL || (pControl->GetControlFlags() & UIFLAG_SETCURSOR) == 0) return false;
        TEventUI event;
        InitEvent(event, UIEVENT_SETCURSOR, pControl, wParam, lParam);
        event.ptMouse = pt;
        pControl->Event(event);
        return true;
    }

    case WM_KILLFOCUS: {
        // wParam is the window that gets the focus: a native child of a control hands its
        // control the framework's focus.
        if (wParam == 0) return false;
        HWND hWnd = reinterpret_cast<HWND>(wParam);
        while (hWnd != NULL && ::GetParent(hWnd) != m_hWndPaint) hWnd = ::GetParent(hWnd);
        if (hWnd == NULL) return false;
        int i = m_aNativeWindow.Find(hWnd);
        if (i < 0) return false;
        CControlUI* pControl = static_cast<CControlUI*>(m_aNativeWindowControl[i]);
        if (pControl != m_pFocus) SetFocus(pControl, false);
        return false;
    }

    case WM_KEYDOWN: {
        if (m_pRoot == NULL || m_pFocus == NULL) return false;
        CControlUI* pFocus = m_pFocus;
        m_pEventKey = pFocus;
        SendKeyEvent(pFocus, UIEVENT_KEYDOWN, MapKeyState(), m_ptLastMousePos, wParam, lParam);
        return false;
    }

    case WM_KEYUP: {
        if (m_pRoot == NULL || m_pEventKey == NULL) return false;
        CControlUI* pKey = m_pEventKey;
        m_pEventKey = NULL;
        SendKeyEvent(pKey, UIEVENT_KEYUP, MapKeyState(), m_ptLastMousePos, wParam, lParam);
        return false;
    }

    case WM_CHAR: {
        if (m_pRoot == NULL || m_pFocus == NULL) return false;
        SendKeyEvent(m_pFocus, UIEVENT_CHAR, MapKeyState(), m_ptLastMousePos, wParam, lParam);
        return false;
    }

    case WM_MOUSEACTIVATE:
        if (m_bNoActivate) {
            lRes = MA_NOACTIVATE;
            return true;
        }
        return false;

    case WM_NOTIFY:
        if (lParam == 0) return false;
        lRes = ::SendMessageW(reinterpret_cast<LPNMHDR>(lParam)->hwndFrom, uMsg + 0x2000, wParam, lParam);
        return true;

    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (lParam == 0) return false;
        lRes = ::SendMessageW(reinterpret_cast<HWND>(lParam), uMsg + 0x2000, wParam, lParam);
        return true;

    default:
        break;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Mouse input, hover and tooltips

void CPaintManagerUI::InitEvent(TEventUI& event, int iType, CControlUI* pSender, WPARAM wParam,
                                LPARAM lParam) const
{
    ::ZeroMemory(&event, sizeof(event));
    event.Type = iType;
    event.pSender = pSender;
    event.dwTimestamp = ::GetTickCount();
    event.ptMouse = m_ptLastMousePos;
    event.wKeyState = (WORD)MapKeyState();
    event.wParam = wParam;
    event.lParam = lParam;
}

// The control at a client point, when it belongs to this window; one hosted from another
// window's tree counts as no control.
CControlUI* CPaintManagerUI::FindOwnControl(POINT pt) const
{
    CControlUI* pControl = FindControl(pt);
    if (pControl != NULL && pControl->GetManager() != this) return NULL;
    return pControl;
}

void CPaintManagerUI::HandleMouseMove(WPARAM wParam, LPARAM lParam)
{
    if (!m_bMouseTracking) {
        TRACKMOUSEEVENT tme;
        ::ZeroMemory(&tme, sizeof(tme));
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_HOVER | TME_LEAVE;
        tme.hwndTrack = m_hWndPaint;
        tme.dwHoverTime = (m_hwndTooltip == NULL)
                              ? (DWORD)m_iHoverTime
                              : (DWORD)::SendMessageW(m_hwndTooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0);
        ::_TrackMouseEvent(&tme);
        m_bMouseTracking = true;
    }

    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    m_ptLastMousePos = pt;
    CControlUI* pControl = FindOwnControl(pt);
    if (pControl == NULL && FindControl(pt) != NULL) return;

    // While a button is held the hover control stays where the press began.
    if (!m_bMouseCapture) {
        CControlUI* pNewHover = FindOwnControl(pt);
        if (pNewHover != m_pEventHover && m_pEventHover != NULL) {
            CControlUI* pOldHover = m_pEventHover;
            TEventUI event;
            InitEvent(event, UIEVENT_MOUSELEAVE, pOldHover, wParam, lParam);
            // Listeners removed (or deleted) by an earlier listener are skipped.
            ForEachListener<CControlUI>(m_aNeedMouseLeaveNeeded, [&](CControlUI* p) {
                p->Event(event);
                return true;
            });
            // A listener may have removed the hover control; it was forgotten then.
            if (m_pEventHover == pOldHover) {
                InitEvent(event, UIEVENT_MOUSELEAVE, pOldHover, wParam, lParam);
                pOldHover->Event(event);
            }
            m_pEventHover = NULL;
            if (m_hwndTooltip != NULL) ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, FALSE, (LPARAM)&m_ToolTip);
            // Handlers may have changed the tree under the point.
            pNewHover = FindOwnControl(pt);
            pControl = pNewHover;
        }
        if (pNewHover != m_pEventHover && pNewHover != NULL) {
            m_pEventHover = pNewHover;
            TEventUI event;
            InitEvent(event, UIEVENT_MOUSEENTER, pNewHover, wParam, lParam);
            pNewHover->Event(event);
            pControl = FindOwnControl(pt);
        }
    }

    CControlUI* pTarget = (m_pEventClick != NULL) ? m_pEventClick : pControl;
    if (pTarget != NULL) {
        TEventUI event;
        InitEvent(event, UIEVENT_MOUSEMOVE, pTarget, wParam, lParam);
        pTarget->Event(event);
    }
}

bool CPaintManagerUI::HandleMouseHover(WPARAM wParam, LPARAM lParam)
{
    m_bMouseTracking = false;
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    CControlUI* pHover = FindOwnControl(pt);
    if (pHover == NULL) return false;
    if (m_pEventHover != NULL) {
        TEventUI event;
        InitEvent(event, UIEVENT_MOUSEHOVER, m_pEventHover, wParam, lParam);
        event.ptMouse = pt;
        m_pEventHover->Event(event);
        // The hover handler may have changed the tree.
        pHover = FindOwnControl(pt);
        if (pHover == NULL) return true;
    }
    if (pHover->GetToolTip().IsEmpty()) return true;
    ShowToolTip(pHover, pt);
    return true;
}

void CPaintManagerUI::ShowToolTip(CControlUI* pControl, POINT pt)
{
    CUIString sToolTip = pControl->GetToolTip();
    ExpandLanguageTokens(sToolTip);

    ::ZeroMemory(&m_ToolTip, sizeof(m_ToolTip));
    m_ToolTip.cbSize = TTTOOLINFOW_V2_SIZE;
    m_ToolTip.uFlags = TTF_IDISHWND;
    m_ToolTip.hwnd = m_hWndPaint;
    m_ToolTip.uId = reinterpret_cast<UINT_PTR>(m_hWndPaint);
    m_ToolTip.hinst = m_hInstance;
    m_ToolTip.lpszText = const_cast<wchar_t*>(sToolTip.GetData());
    m_ToolTip.rect = pControl->GetPos();

    if (m_hwndTooltip == NULL) {
        m_hwndTooltip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, NULL, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                          m_hWndPaint, NULL, m_hInstance, NULL);
        if (m_hwndTooltip != NULL) {
            ::SendMessageW(m_hwndTooltip, TTM_ADDTOOLW, 0, (LPARAM)&m_ToolTip);
            ::SendMessageW(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, pControl->GetToolTipWidth());
            ::SendMessageW(m_hwndTooltip, TTM_SETTOOLINFOW, 0, (LPARAM)&m_ToolTip);
            ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, TRUE, (LPARAM)&m_ToolTip);
        }
    }
    if (m_hwndTooltip != NULL) {
        if (m_pLastToolTip == NULL) {
            m_pLastToolTip = pControl;
        } else if (m_pLastToolTip == pControl) {
            int iWidth = pControl->GetToolTipWidth();
            if (m_iTooltipWidth != iWidth) {
                ::SendMessageW(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, iWidth);
                m_iTooltipWidth = iWidth;
            }
            ::SendMessageW(m_hwndTooltip, TTM_SETTOOLINFOW, 0, (LPARAM)&m_ToolTip);
            ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, TRUE, (LPARAM)&m_ToolTip);
        } else {
            ::SendMessageW(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, pControl->GetToolTipWidth());
            ::SendMessageW(m_hwndTooltip, TTM_SETTOOLINFOW, 0, (LPARAM)&m_ToolTip);
            ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, TRUE, (LPARAM)&m_ToolTip);
        }
        // The tip is shown next to the resting mouse.
        POINT ptScreen = pt;
        ::ClientToScreen(m_hWndPaint, &ptScreen);
        ::SendMessageW(m_hwndTooltip, TTM_TRACKPOSITION, 0, MAKELPARAM((WORD)ptScreen.x, (WORD)ptScreen.y));
    }
    // The tooltip window keeps its own copy of the text.
    m_ToolTip.lpszText = NULL;
}

void CPaintManagerUI::HandleMouseLeave()
{
    if (m_hwndTooltip != NULL) ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, FALSE, (LPARAM)&m_ToolTip);
    if (!m_bMouseTracking) return;
    POINT pt = {0, 0};
    RECT rcWnd = {0, 0, 0, 0};
    ::GetCursorPos(&pt);
    ::GetWindowRect(m_hWndPaint, &rcWnd);
    LPARAM lMove = (LPARAM)-1;  // (-1, -1): no control there, so the hover control is left
    if (!::IsIconic(m_hWndPaint) && ::GetActiveWindow() == m_hWndPaint && ::PtInRect(&rcWnd, pt)) {
        // Onto a child window inside the client area: hover follows the point.
        if (::SendMessageW(m_hWndPaint, WM_NCHITTEST, 0, MAKELPARAM((WORD)pt.x, (WORD)pt.y)) == HTCLIENT) {
            ::ScreenToClient(m_hWndPaint, &pt);
            lMove = MAKELPARAM((WORD)pt.x, (WORD)pt.y);
        }
    }
    ::SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0, lMove);
    m_bMouseTracking = false;
}

// ---------------------------------------------------------------------------------------------
// Painting

void CPaintManagerUI::DoPrintClient(HDC hDC, LPARAM lParam)
{
    RECT rcClient = {0, 0, 0, 0};
    ::GetClientRect(m_hWndPaint, &rcClient);
    int iSaveDC = ::SaveDC(hDC);
    HGDIOBJ hOldFont = ::SelectObject(hDC, GetDefaultFontInfo()->hFont);
    m_pRoot->Paint(hDC, rcClient, NULL);
    ::SelectObject(hDC, hOldFont);   // the native children print with the DC as it was given
    if ((lParam & PRF_CHILDREN) != 0) {
        for (HWND hChild = ::GetWindow(m_hWndPaint, GW_CHILD); hChild != NULL;
             hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
            RECT rcPos = GetNativeWindowRect(hChild);
            ::SetWindowOrgEx(hDC, -rcPos.left, -rcPos.top, NULL);
            ::SendMessageW(hChild, WM_PRINT, reinterpret_cast<WPARAM>(hDC), lParam | PRF_NONCLIENT);
        }
    }
    ::RestoreDC(hDC, iSaveDC);
}

// Native child windows do not draw into a layered window's image: each is printed into a
// transparent 32-bit image whose drawn pixels are made opaque, and copied in at its place.
void CPaintManagerUI::PrintNativeWindows(const RECT& rcPaint)
{
    for (int i = m_aNativeWindow.GetSize() - 1; i >= 0; --i) {
        HWND hChild = static_cast<HWND>(m_aNativeWindow[i]);
        if (!::IsWindow(hChild)) {
            m_aNativeWindow.Remove(i);
            m_aNativeWindowControl.Remove(i);
            continue;
        }
    }
    for (int i = 0; i < m_aNativeWindow.GetSize(); ++i) {
        HWND hChild = static_cast<HWND>(m_aNativeWindow[i]);
        if (!::IsWindowVisible(hChild)) continue;
        RECT rcChild = GetNativeWindowRect(hChild);
        RECT rcTemp = {0, 0, 0, 0};
        if (!::IntersectRect(&rcTemp, &rcPaint, &rcChild)) continue;
        int cx = rcChild.right - rcChild.left;
        int cy = rcChild.bottom - rcChild.top;
        if (cx <= 0 || cy <= 0) continue;
        BYTE* pBits = NULL;
        HDC hChildDC = ::CreateCompatibleDC(m_hDcPaint);
        HBITMAP hChildBmp = CUIPainter::CreateDib32(m_hDcPaint, cx, cy, &pBits);
        if (hChildDC != NULL && hChildBmp != NULL && pBits != NULL) {
            ::ZeroMemory(pBits, (size_t)cx * cy * 4);
            HBITMAP hOld = static_cast<HBITMAP>(::SelectObject(hChildDC, hChildBmp));
            ::SendMessageW(hChild, WM_PRINT, reinterpret_cast<WPARAM>(hChildDC),
                           PRF_CHECKVISIBLE | PRF_CLIENT | PRF_CHILDREN | PRF_OWNED);
            ::GdiFlush();
            DWORD* pPixel = reinterpret_cast<DWORD*>(pBits);
            for (size_t n = (size_t)cx * cy; n > 0; --n, ++pPixel)
                if (*pPixel != 0) *pPixel |= 0xFF000000;
            ::BitBlt(m_hDcOffscreen, rcChild.left, rcChild.top, cx, cy, hChildDC, 0, 0, SRCCOPY);
            ::SelectObject(hChildDC, hOld);
        }
        if (hChildBmp != NULL) ::DeleteObject(hChildBmp);
        if (hChildDC != NULL) ::DeleteDC(hChildDC);
    }
}

// Lays the off-screen image over the layered image's background and hands it to the window.
void CPaintManagerUI::ComposeLayered(const RECT& rcPaint)
{
    RECT rcClient = {0, 0, 0, 0};
    ::GetClientRect(m_hWndPaint, &rcClient);
    int cx = rcClient.right - rcClient.left;
    int cy = rcClient.bottom - rcClient.top;

    if (!m_diLayered.sDescription.IsEmpty()) {
        bool bDraw = m_bLayeredChanged;
        if (m_hbmpBackground == NULL) {
            if (m_hDcBackground == NULL) m_hDcBackground = ::CreateCompatibleDC(m_hDcPaint);
            m_hbmpBackground = CUIPainter::CreateDib32(m_hDcPaint, cx, cy, reinterpret_cast<BYTE**>(&m_pBackgroundBits));
            bDraw = true;
        }
        if (bDraw && m_hDcBackground != NULL && m_hbmpBackground != NULL && m_pBackgroundBits != NULL) {
            ::ZeroMemory(m_pBackgroundBits, (size_t)cx * cy * 4);
            RECT rcInset = rcClient;
            rcInset.left += m_rcLayeredInset.left;
            rcInset.top += m_rcLayeredInset.top;
            rcInset.right -= m_rcLayeredInset.right;
            rcInset.bottom -= m_rcLayeredInset.bottom;
            HBITMAP hOld = static_cast<HBITMAP>(::SelectObject(m_hDcBackground, m_hbmpBackground));
            {
                CUIClipRegion clip;
                CUIClipRegion::ClipRect(m_hDcBackground, rcInset, clip);
                CUIPainter::DrawImage(m_hDcBackground, this, rcInset, rcInset, m_diLayered);
            }
            ::SelectObject(m_hDcBackground, hOld);
        }
        if (m_diLayered.pImage != NULL && m_diLayered.pImage->bAlpha && m_pBackgroundBits != NULL &&
            m_pOffscreenBits != NULL) {
            ::GdiFlush();
            RECT rc = rcPaint;
            if (rc.left < 0) rc.left = 0;
            if (rc.top < 0) rc.top = 0;
            if (rc.right > cx) rc.right = cx;
            if (rc.bottom > cy) rc.bottom = cy;
            for (int y = rc.top; y < rc.bottom; ++y) {
                size_t row = (size_t)(cy - 1 - y) * cx;
                for (int x = rc.left; x < rc.right; ++x) {
                    DWORD& dst = m_pOffscreenBits[row + x];
                    DWORD a = dst >> 24;
                    if (a >= 255) continue;
                    DWORD bgA = m_pBackgroundBits[row + x] >> 24;
                    DWORD A = (bgA != 0) ? bgA : a;
                    DWORD r = ((dst >> 16) & 0xFF) * A / 255;
                    DWORD g = ((dst >> 8) & 0xFF) * A / 255;
                    DWORD b = (dst & 0xFF) * A / 255;
                    dst = (A << 24) | (r << 16) | (g << 8) | b;
                }
            }
        }
    }

    if (m_pfnUpdateLayeredWindow == NULL) return;
    typedef BOOL(WINAPI * PFNUPDATELAYEREDWINDOW)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                                   BLENDFUNCTION*, DWORD);
    PFNUPDATELAYEREDWINDOW pfn = reinterpret_cast<PFNUPDATELAYEREDWINDOW>(
        reinterpret_cast<void*>(m_pfnUpdateLayeredWindow));
    RECT rcWnd = {0, 0, 0, 0};
    ::GetWindowRect(m_hWndPaint, &rcWnd);
    POINT ptDst = {rcWnd.left, rcWnd.top};
    SIZE szWnd = {cx, cy};
    POINT ptSrc = {0, 0};
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, m_nOpacity, AC_SRC_ALPHA};
    ::GdiFlush();
    pfn(m_hWndPaint, m_hDcPaint, &ptDst, &szWnd, m_hDcOffscreen, &ptSrc, 0, &bf, ULW_ALPHA);
}

void CPaintManagerUI::DoPaint()
{
    if (m_pRoot == NULL) {
        PAINTSTRUCT ps;
        HDC hdc = ::BeginPaint(m_hWndPaint, &ps);
        CUIPainter::DrawColor(hdc, ps.rcPaint, 0xFF000000);
        ::EndPaint(m_hWndPaint, &ps);
        return;
    }

    RECT rcClient = {0, 0, 0, 0};
    ::GetClientRect(m_hWndPaint, &rcClient);
    RECT rcPaint = {0, 0, 0, 0};
    if (m_bLayered) {
        m_bOffscreenPaint = true;
        rcPaint = m_rcLayeredUpdate;
        if (::IsRectEmpty(&rcPaint)) {
            PAINTSTRUCT ps;
            ::BeginPaint(m_hWndPaint, &ps);
            ::EndPaint(m_hWndPaint, &ps);
            return;
        }
        if (rcPaint.right > rcClient.right) rcPaint.right = rcClient.right;
        if (rcPaint.bottom > rcClient.bottom) rcPaint.bottom = rcClient.bottom;
        ::SetRectEmpty(&m_rcLayeredUpdate);
    } else if (!::GetUpdateRect(m_hWndPaint, &rcPaint, FALSE)) {
        return;
    }

    if (m_bFocusNeeded) SetNextTabControl(true);
    SetPainting(true);

    RECT rcInset = rcClient;
    if (m_bLayered) {
        rcInset.left += m_rcLayeredInset.left;
        rcInset.top += m_rcLayeredInset.top;
        rcInset.right -= m_rcLayeredInset.right;
        rcInset.bottom -= m_rcLayeredInset.bottom;
    }

    if (m_bUpdateNeeded) {
        m_bUpdateNeeded = false;
        if (!::IsRectEmpty(&rcClient)) {
            if (m_pRoot->IsUpdateNeeded()) {
                DropOffscreen();
                m_pRoot->SetPos(rcInset, true);
            } else {
                m_aFoundControls.Empty();
                m_pRoot->FindControl(__FindControlFromUpdate, this,
                                     FindOnlyVisible | FindPruneMatched | FindSelfFirst);
                for (int i = 0; i < m_aFoundControls.GetSize(); ++i) {
                    CControlUI* pControl = static_cast<CControlUI*>(m_aFoundControls[i]);
                    if (pControl->IsFloat())
                        pControl->SetPos(pControl->GetRelativePos(), true);
                    else
                        pControl->SetPos(pControl->GetPos(), true);
                }
            }
        }
        if (m_bFirstLayout) {
            m_bFirstLayout = false;
            SendNotify(m_pRoot, L"windowinit", 0, 0, false);
            // A window that became layered while it was set up paints at the next timer tick.
            if (m_bLayered && m_bLayeredChanged) {
                Invalidate();
                SetPainting(false);
                return;
            }
        }
    } else if (m_bLayered && m_bLayeredChanged) {
        if (m_pOffscreenBits != NULL) {
            ::GdiFlush();
            ::ZeroMemory(m_pOffscreenBits, (size_t)(rcClient.right - rcClient.left) * (rcClient.bottom - rcClient.top) * 4);
        }
        m_pRoot->SetPos(rcInset, true);
    }
    // A Tab move put off for the layout happens now that the layout is done: its invalidation
    // came before BeginPaint and would bring no further paint.
    if (m_bFocusNeeded && !m_bUpdateNeeded) SetNextTabControl(true);

    // A window that turned layered after double-buffered painting needs a DIB, not a device bitmap;
    // and the pixel work below relies on the buffer having the client's size.
    if (m_hbmpOffscreen != NULL) {
        BITMAP bm;
        bool bSizeOk = ::GetObjectW(m_hbmpOffscreen, sizeof(bm), &bm) != 0 &&
                       bm.bmWidth == rcClient.right - rcClient.left && bm.bmHeight == rcClient.bottom - rcClient.top;
        if (!bSizeOk || (m_bLayered && m_pOffscreenBits == NULL)) DropOffscreen();
    }
    if (m_bOffscreenPaint && m_hbmpOffscreen == NULL) {
        int cx = rcClient.right - rcClient.left;
        int cy = rcClient.bottom - rcClient.top;
        if (m_hDcOffscreen == NULL) m_hDcOffscreen = ::CreateCompatibleDC(m_hDcPaint);
        if (m_bLayered)
            m_hbmpOffscreen = CUIPainter::CreateDib32(m_hDcPaint, cx, cy, reinterpret_cast<BYTE**>(&m_pOffscreenBits));
        else
            m_hbmpOffscreen = ::CreateCompatibleBitmap(m_hDcPaint, cx, cy);
    }

    PAINTSTRUCT ps;
    ::BeginPaint(m_hWndPaint, &ps);
    if (!m_bOffscreenPaint) {
        int iSaveDC = ::SaveDC(m_hDcPaint);
        // Most texts use the default font: selected once here, DrawText need not switch fonts.
        ::SelectObject(m_hDcPaint, GetDefaultFontInfo()->hFont);
        m_pRoot->Paint(m_hDcPaint, rcPaint, NULL);
        ::RestoreDC(m_hDcPaint, iSaveDC);
    } else if (m_hDcOffscreen != NULL && m_hbmpOffscreen != NULL) {
        HBITMAP hOldBitmap = static_cast<HBITMAP>(::SelectObject(m_hDcOffscreen, m_hbmpOffscreen));
        int iSaveDC = ::SaveDC(m_hDcOffscreen);
        ::SelectObject(m_hDcOffscreen, GetDefaultFontInfo()->hFont);
        if (m_bLayered && m_pOffscreenBits != NULL) {
            // Nothing drawn means transparent: the paint rectangle starts with alpha 0. Cleared with
            // a layered image too, or translucent drawing would pile up over the last paint's pixels.
            ::GdiFlush();
            int cx = rcClient.right - rcClient.left;
            int cy = rcClient.bottom - rcClient.top;
            RECT rc = {0, 0, 0, 0};
            ::IntersectRect(&rc, &rcPaint, &rcClient);
            for (int y = rc.top; y < rc.bottom; ++y)
                ::ZeroMemory(m_pOffscreenBits + (size_t)(cy - 1 - y) * cx + rc.left,
                             (size_t)(rc.right - rc.left) * 4);
        }
        m_pRoot->Paint(m_hDcOffscreen, rcPaint, NULL);
        if (m_bLayered) PrintNativeWindows(rcPaint);
        ForEachListener<CControlUI>(m_aPostPaintControls, [&](CControlUI* p) {
            p->DoPostPaint(m_hDcOffscreen, rcPaint);
            return true;
        });
        ::RestoreDC(m_hDcOffscreen, iSaveDC);
        if (!m_bLayered)
            ::BitBlt(m_hDcPaint, rcPaint.left, rcPaint.top, rcPaint.right - rcPaint.left,
                     rcPaint.bottom - rcPaint.top, m_hDcOffscreen, rcPaint.left, rcPaint.top, SRCCOPY);
        else
            ComposeLayered(rcPaint);
        ::SelectObject(m_hDcOffscreen, hOldBitmap);
    }
    if (m_bShowUpdateRect && !m_bLayered) {
        HPEN hOldPen = static_cast<HPEN>(::SelectObject(m_hDcPaint, m_hUpdateRectPen));
        HBRUSH hOldBrush = static_cast<HBRUSH>(::SelectObject(m_hDcPaint, ::GetStockObject(NULL_BRUSH)));
        ::Rectangle(m_hDcPaint, rcPaint.left, rcPaint.top, rcPaint.right, rcPaint.bottom);
        ::SelectObject(m_hDcPaint, hOldBrush);
        ::SelectObject(m_hDcPaint, hOldPen);
    }
    ::EndPaint(m_hWndPaint, &ps);

    SetPainting(false);
    m_bLayeredChanged = false;
    if (m_bUpdateNeeded) Invalidate();
}

} // namespace Veneer
