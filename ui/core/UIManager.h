// The paint manager: one per skinned window. It owns the window's control tree and resources, turns
// window messages into control events, keeps focus, timers and notifications, and runs the message
// loop. Everything here runs on the UI thread; the statics are deliberately unguarded.
// One class in three source files, one per concern: UIManager.cpp (set-up and resources),
// UIManagerInput.cpp (input and painting), UIManagerTree.cpp (control tree, focus, timers,
// notifications and the message loop).
#pragma once
#include "UIDefs.h"
#include "UIBase.h"
#include "UIRender.h"
#include <objidl.h>
#include <gdiplus.h>

namespace Veneer {

class CControlUI;
class CPaintManagerUI;

// Event types of tagTEventUI. The numbers are fixed: controls treat 9 to 18 as mouse events.
enum UIEVENT_TYPE {
    UIEVENT_KEYDOWN = 3,
    UIEVENT_KEYUP = 4,
    UIEVENT_CHAR = 5,
    UIEVENT_SYSKEY = 6,
    UIEVENT_MOUSEMOVE = 9,
    UIEVENT_MOUSELEAVE = 10,
    UIEVENT_MOUSEENTER = 11,
    UIEVENT_MOUSEHOVER = 12,
    UIEVENT_BUTTONDOWN = 13,
    UIEVENT_BUTTONUP = 14,
    UIEVENT_RBUTTONDOWN = 15,
    UIEVENT_DBLCLICK = 16,
    UIEVENT_CONTEXTMENU = 17,
    UIEVENT_SCROLLWHEEL = 18,
    UIEVENT_KILLFOCUS = 20,
    UIEVENT_SETFOCUS = 21,
    UIEVENT_WINDOWSIZE = 22,
    UIEVENT_SETCURSOR = 23,
    UIEVENT_TIMER = 24,
    // The range of the mouse events, both ends included.
    UIEVENT__MOUSEBEGIN = UIEVENT_MOUSEMOVE,
    UIEVENT__MOUSEEND = UIEVENT_SCROLLWHEEL,
};

// Input event given to CControlUI::Event and DoEvent. Always zero-filled before use.
struct tagTEventUI {
    int Type;
    CControlUI* pSender;      // for killfocus: the control that gets the focus (may be null)
    DWORD dwTimestamp;
    POINT ptMouse;            // client coordinates
    wchar_t chKey;            // virtual key or character of key events
    WORD wKeyState;           // MK_ flags (MapKeyState)
    WPARAM wParam;
    LPARAM lParam;
};
typedef tagTEventUI TEventUI;

// Notification given to INotifyUI::Notify and to a control's OnNotify listeners.
struct TNotifyRecord {
    CUIString sType;
    CUIString sVirtualWnd;
    CControlUI* pSender;      // null once the control was forgotten
    DWORD dwTimestamp;
    POINT ptMouse;
    WPARAM wParam;
    LPARAM lParam;
};

// One control timer of a window.
struct TTimerEntry {
    CControlUI* pSender;
    UINT nLocalID;            // the control's own id
    HWND hWnd;
    UINT uWinTimer;           // the Win32 id
    bool bKilled;
};

// Search state of a Tab move.
struct TFindTabInfo {
    CControlUI* pFocus;
    CControlUI* pLast;
    bool bForward;
    bool bNextIsIt;
};

// Search state of an Alt shortcut.
struct TFindShortcut {
    wchar_t ch;               // upper-cased
    bool bPickNext;
};

// A font of the resource stores. The key of a font is its id in decimal.
struct TFontEntry {
    HFONT hFont;
    CUIString sFontName;
    int iSize;                // character height in pixels
    bool bBold;
    bool bUnderline;
    bool bItalic;
    TEXTMETRICW tm;           // zero until first needed
};

// A resource store: exists once per manager and once for all managers together.
struct VENEER_API TSharedResources {
    TSharedResources();
    DWORD dwDefaultDisabledColor;
    DWORD dwDefaultFontColor;
    DWORD dwDefaultLinkFontColor;
    DWORD dwDefaultLinkHoverFontColor;
    DWORD dwDefaultSelectedBkColor;
    TFontEntry DefaultFontInfo;
    CUIStringPtrMap m_CustomFonts;       // id text -> TFontEntry* (owned)
    CUIStringPtrMap m_ImageHash;         // image name -> TLoadedImage* (owned)
    CUIStringPtrMap m_AttrHash;          // control tag -> CUIString* attribute list (owned)
    CUIStringPtrMap m_MultiLanguageHash; // language id text -> CUIString* (shared store only)

private:
    TSharedResources(const TSharedResources&) = delete;
    TSharedResources& operator=(const TSharedResources&) = delete;
};

class INotifyUI {
public:
    virtual void Notify(TNotifyRecord& msg) = 0;
};

class IMessageFilterUI {
public:
    virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;
};

class ITranslateAccelerator {
public:
    // 0 means the message was handled.
    virtual LRESULT TranslateAccelerator(MSG* pMsg) = 0;
};

// Bits of CControlUI::GetControlFlags.
enum {
    UIFLAG_TABSTOP = 0x00000001,   // takes the focus with Tab
    UIFLAG_SETCURSOR = 0x00000002, // receives set-cursor events
};

// Message that delivers queued notifications and then deletes delayed-cleanup controls.
#define UIMSG_ASYNCNOTIFY (WM_APP + 1)
// Window timer that paints a layered window.
#define UITIMER_LAYERED 0x2000

class VENEER_API CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();

    // Set-up and binding.
    void Init(HWND hWnd, const wchar_t* pstrName = NULL);
    HWND GetPaintWindow() const;
    HDC GetPaintDC() const;
    HBITMAP GetPaintOffscreenBitmap() const;
    POINT GetMousePos() const;
    CUIString GetName() const;
    bool IsUpdateNeeded() const;
    void NeedUpdate();
    void Invalidate();
    void Invalidate(RECT& rcItem);

    // Framework-wide statics.
    static void SetInstance(HINSTANCE hInst);
    static HINSTANCE GetInstance();
    static CUIString GetInstancePath();
    static HINSTANCE GetResourceDll();
    static void SetResourcePath(const wchar_t* pStrPath);
    static const CUIString& GetResourcePath();
    static void SetResourceZip(const wchar_t* pStrZip, bool bCachedResourceZip = false);
    static void SetResourceZip(void* pVoid, unsigned int len);
    static const CUIString& GetResourceZip();
    static bool IsResourceZipCached();
    static HANDLE GetResourceZipHandle();
    static bool GetHSL(short* H, short* S, short* L);
    static CUIPtrArray* GetPlugins();

    // Window attributes.
    void SetWindowAttribute(const wchar_t* pstrName, const wchar_t* pstrValue);
    SIZE GetInitSize() const;
    void SetInitSize(int cx, int cy);
    RECT& GetSizeBox();
    void SetSizeBox(RECT& rcSizeBox);
    RECT& GetCaptionRect();
    void SetCaptionRect(RECT& rcCaption);
    SIZE GetRoundCorner() const;
    void SetRoundCorner(int cx, int cy);
    SIZE GetMinInfo() const;
    void SetMinInfo(int cx, int cy);
    SIZE GetMaxInfo() const;
    void SetMaxInfo(int cx, int cy);
    bool IsShowDirty() const;
    void SetShowDirty(bool bShow);
    bool IsNoActivate() const;
    void SetNoActivate(bool bNoActivate);
    BYTE GetOpacity() const;
    void SetOpacity(BYTE nOpacity);
    bool IsLayered() const;
    void SetLayered(bool bLayered);
    BYTE GetLayeredOpacity() const;
    void SetLayeredOpacity(BYTE nOpacity);
    const wchar_t* GetLayeredImage() const;
    void SetLayeredImage(const wchar_t* pstrImage);
    void AddWindowCustomAttribute(const wchar_t* pstrName, const wchar_t* pstrAttr);
    const wchar_t* GetWindowCustomAttribute(const wchar_t* pstrName) const;
    void ClearWindowCustomAttributes();

    // Default colours.
    DWORD GetDefaultDisabledColor() const;
    void SetDefaultDisabledColor(DWORD dwColor, bool bShared = false);
    DWORD GetDefaultFontColor() const;
    void SetDefaultFontColor(DWORD dwColor, bool bShared = false);
    DWORD GetDefaultLinkFontColor() const;
    void SetDefaultLinkFontColor(DWORD dwColor, bool bShared = false);
    DWORD GetDefaultLinkHoverFontColor() const;
    void SetDefaultLinkHoverFontColor(DWORD dwColor, bool bShared = false);
    DWORD GetDefaultSelectedBkColor() const;
    void SetDefaultSelectedBkColor(DWORD dwColor, bool bShared = false);

    // Fonts.
    TFontEntry* GetDefaultFontInfo();
    void SetDefaultFont(const wchar_t* pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic,
                        bool bShared = false);
    HFONT AddFont(int id, const wchar_t* pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic,
                  bool bShared = false);
    HFONT GetFont(int id);
    HFONT GetFont(const wchar_t* pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
    TFontEntry* GetFontInfo(int id);
    TFontEntry* GetFontInfo(HFONT hFont);
    void RemoveAllFonts(bool bShared = false);

    // Images.
    TLoadedImage* GetImage(const wchar_t* bitmap);
    TLoadedImage* GetOrLoadImage(const wchar_t* bitmap, const wchar_t* type = NULL, DWORD mask = 0,
                                 bool bUseHSL = false);
    TLoadedImage* AddImage(const wchar_t* bitmap, const wchar_t* type = NULL, DWORD mask = 0,
                           bool bUseHSL = false, bool bShared = false);
    void RemoveImage(const wchar_t* bitmap, bool bShared = false);
    void RemoveAllImages(bool bShared = false);

    // Default attribute lists per control tag.
    void AddDefaultAttributeList(const wchar_t* pStrControlName, const wchar_t* pStrControlAttrList,
                                 bool bShared = false);
    const wchar_t* GetDefaultAttributeList(const wchar_t* pStrControlName) const;
    void ClearDefaultAttributeLists(bool bShared = false);
    bool IsForceUseSharedRes() const;
    void SetUseSharedResources(bool bShared);

    // Multi-language strings (shared store only).
    static void AddMultiLanguageString(int id, const wchar_t* pStrMultiLanguage);
    static const wchar_t* GetMultiLanguageString(int id);
    static void ExpandLanguageTokens(CUIString& pStrMultiLanguage);

    // Control tree and names.
    bool AttachDialog(CControlUI* pControl);
    bool InitControls(CControlUI* pControl, CControlUI* pParent = NULL);
    bool RenameControl(CControlUI* pControl, const wchar_t* pstrName);
    void ForgetControl(CControlUI* pControl);
    void UnmapControlName(CControlUI* pControl);   // drops the control's name entry if it holds it
    CControlUI* GetRoot() const;
    CControlUI* FindControl(const wchar_t* pstrName) const;
    CControlUI* FindControl(POINT pt) const;
    CUIPtrArray* GetFoundControls();

    bool AddOptionGroup(const wchar_t* pStrGroupName, CControlUI* pControl);
    CUIPtrArray* GetOptionGroup(const wchar_t* pStrGroupName);
    void RemoveOptionGroup(const wchar_t* pStrGroupName, CControlUI* pControl);
    void RemoveAllOptionGroups();

    // Focus and capture.
    CControlUI* GetFocus() const;
    void SetFocus(CControlUI* pControl, bool bFocusWnd = true);
    void RequestFocus(CControlUI* pControl);
    bool SetNextTabControl(bool bForward = true);
    void SetCapture();
    void ReleaseCapture();
    bool IsCaptured() const;
    bool IsPainting() const;
    void SetPainting(bool bIsPainting);

    // Control timers.
    bool SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse);
    bool KillTimer(CControlUI* pControl, UINT nTimerID);
    void KillTimer(CControlUI* pControl);
    void RemoveAllTimers();

    // Notifications.
    void SendNotify(CControlUI* pControl, const wchar_t* pstrMessage, WPARAM wParam = 0, LPARAM lParam = 0,
                    bool bAsync = false, bool bEnableRepeat = true);
    void SendNotify(TNotifyRecord& msg, bool bAsync = false, bool bEnableRepeat = true);
    bool AddNotifier(INotifyUI* pNotifier);
    bool RemoveNotifier(INotifyUI* pNotifier);
    bool IsVirtualWndUsed() const;
    void SetVirtualWndUsed(bool bUsed);

    // Registries.
    bool AddPreMessageFilter(IMessageFilterUI* pFilter);
    bool RemovePreMessageFilter(IMessageFilterUI* pFilter);
    bool AddMessageFilter(IMessageFilterUI* pFilter);
    bool RemoveMessageFilter(IMessageFilterUI* pFilter);
    bool AddPostPaint(CControlUI* pControl);
    bool RemovePostPaint(CControlUI* pControl);
    bool AddTranslateAccelerator(ITranslateAccelerator* pTranslateAccelerator);
    bool RemoveTranslateAccelerator(ITranslateAccelerator* pTranslateAccelerator);
    void AddMouseLeaveListener(CControlUI* pControl);
    bool RemoveMouseLeaveListener(CControlUI* pControl);
    bool AddNativeWindow(CControlUI* pControl, HWND hChildWnd);
    bool RemoveNativeWindow(HWND hChildWnd);
    void AddDelayedCleanup(CControlUI* pControl);
    void PostAsyncNotify();

    // Messages.
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool TranslateAccelerator(MSG* pMsg);
    static UINT MapKeyState();
    static void MessageLoop();
    static bool TranslateMessage(const MSG* pMsg);

private:
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    void DeliverAsyncNotify();
    void DeleteDelayedCleanup();
    void DeleteQueuedNotifies();
    void DropOffscreen();
    RECT GetNativeWindowRect(HWND hChildWnd);
    void FillFontMetrics(TFontEntry* pFont);
    void RemoveFontStore(CUIStringPtrMap& map);
    void RemoveImageStore(CUIStringPtrMap& map);
    void RemoveAttrStore(CUIStringPtrMap& map);
    void DoPaint();
    void DoPrintClient(HDC hDC, LPARAM lParam);
    void PrintNativeWindows(const RECT& rcPaint);
    void ComposeLayered(const RECT& rcPaint);
    CControlUI* FindOwnControl(POINT pt) const;
    void InitEvent(TEventUI& event, int iType, CControlUI* pSender, WPARAM wParam, LPARAM lParam) const;
    void HandleMouseMove(WPARAM wParam, LPARAM lParam);
    bool HandleMouseHover(WPARAM wParam, LPARAM lParam);
    void HandleMouseLeave();
    void ShowToolTip(CControlUI* pControl, POINT pt);
    // The message handler's families (UIManagerInput.cpp); each answers as MessageHandler does.
    bool RunMessageFilters(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool HandleLayeredFrameMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    void HandleCloseMessage();
    bool HandleWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool HandleTimerMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool HandleMouseMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool HandleButtonMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool HandleKeyMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool ReflectChildMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

    static HFONT BuildFont(const wchar_t* pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
    static CControlUI* CALLBACK __FindControlFromNameHash(CControlUI* pThis, void* pData);
    void GrowNameHash();
    static CControlUI* CALLBACK __FindControlFromPoint(CControlUI* pThis, void* pData);
    static CControlUI* CALLBACK __FindControlFromTab(CControlUI* pThis, void* pData);
    static CControlUI* CALLBACK __FindControlFromShortcut(CControlUI* pThis, void* pData);
    static CControlUI* CALLBACK __FindControlFromUpdate(CControlUI* pThis, void* pData);

    CUIString m_sName;
    HWND m_hWndPaint;
    HDC m_hDcPaint;
    HDC m_hDcOffscreen;
    HDC m_hDcBackground;
    HBITMAP m_hbmpOffscreen;
    DWORD* m_pOffscreenBits;
    HBITMAP m_hbmpBackground;
    DWORD* m_pBackgroundBits;
    int m_iTooltipWidth;
    HWND m_hwndTooltip;
    TOOLINFOW m_ToolTip;
    int m_iHoverTime;
    bool m_bNoActivate;
    bool m_bShowUpdateRect;
    CControlUI* m_pRoot;
    CControlUI* m_pFocus;
    CControlUI* m_pEventHover;
    CControlUI* m_pEventClick;
    CControlUI* m_pEventKey;
    CControlUI* m_pLastToolTip;
    POINT m_ptLastMousePos;
    SIZE m_szMinWindow;
    SIZE m_szMaxWindow;
    SIZE m_szInitWindowSize;
    RECT m_rcSizeBox;
    SIZE m_szRoundCorner;
    RECT m_rcCaption;
    UINT m_uTimerID;
    bool m_bFirstLayout;
    bool m_bUpdateNeeded;
    bool m_bFocusNeeded;
    bool m_bOffscreenPaint;
    BYTE m_nOpacity;
    bool m_bLayered;
    RECT m_rcLayeredInset;
    bool m_bLayeredChanged;
    RECT m_rcLayeredUpdate;
    TImageDesc m_diLayered;
    bool m_bMouseTracking;
    bool m_bMouseCapture;
    bool m_bIsPainting;
    bool m_bUsedVirtualWnd;
    bool m_bAsyncNotifyPosted;
    CUIPtrArray m_aNotifiers;
    CUIPtrArray m_aTimers;
    CUIPtrArray m_aPreMessageFilters;
    CUIPtrArray m_aMessageFilters;
    CUIPtrArray m_aPostPaintControls;
    CUIPtrArray m_aNativeWindow;
    CUIPtrArray m_aNativeWindowControl;
    CUIPtrArray m_aDelayedCleanup;
    CUIPtrArray m_aAsyncNotify;
    CUIPtrArray m_aFoundControls;
    CUIPtrArray m_aNeedMouseLeaveNeeded;
    CUIStringPtrMap m_mNameHash;
    CUIStringPtrMap m_mWindowCustomAttrHash;
    CUIStringPtrMap m_mOptionGroup;
    bool m_bForceUseSharedRes;
    TSharedResources m_ResInfo;
    ULONG_PTR m_gdiplusToken;
    Gdiplus::GdiplusStartupInput m_gdiplusStartupInput;
    CUIPtrArray m_aTranslateAccelerator;

    // Framework-wide state, constructed before the program's entry.
    static HINSTANCE m_hInstance;
    static HINSTANCE m_hResourceInstance;
    static CUIString m_pStrResourcePath;
    static CUIString m_pStrResourceZip;
    static bool m_bCachedResourceZip;
    static HANDLE m_hResourceZip;
    static TSharedResources m_SharedResInfo;
    static CUIPtrArray m_aPreMessages;   // the live managers
    static CUIPtrArray m_aPlugins;
    static short m_H;
    static short m_S;
    static short m_L;
    static bool m_bUseHSL;
    static HPEN m_hUpdateRectPen;
    static FARPROC m_pfnUpdateLayeredWindow;
};

} // namespace Veneer
