// The base of every control of a skinned window.
#pragma once
#include "UIDefs.h"
#include "UIBase.h"
#include "UIDelegate.h"
#include "UIRender.h"

namespace Veneer {

class CControlUI;
class CPaintManagerUI;
struct tagTEventUI;

// Callback of a tree search: a non-null answer ends the search with that control.
typedef CControlUI* (CALLBACK* FindControlCallback)(CControlUI*, void*);

// Flags of FindControl.
enum {
    FindOnlyVisible = 0x00000001,
    FindOnlyEnabled = 0x00000002,
    FindAtPoint = 0x00000004,        // data points to a POINT in client coordinates
    FindPruneMatched = 0x00000008,   // a control the callback answers for is not searched further
    FindLastChildFirst = 0x00000010, // children from the last to the first (containers)
    FindSelfFirst = 0x80000000u,     // the control before its children
};

// Share of the parent's width or height added to a float control's position.
struct tagTPercentInfo {
    double left;
    double top;
    double right;
    double bottom;
};
typedef tagTPercentInfo TPercentInfo;

class VENEER_API CControlUI
{
public:
    CControlUI();
    virtual void Delete();
    virtual ~CControlUI();
    virtual CUIString GetName() const;
    virtual void SetName(const wchar_t* pstrName);
    virtual const wchar_t* GetClass() const;
    virtual void* GetInterface(const wchar_t* pstrName);
    virtual UINT GetControlFlags() const;
    virtual HWND GetNativeWindow() const;

    virtual bool Activate();
    virtual CPaintManagerUI* GetManager() const;
    virtual void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true);
    virtual CControlUI* GetParent() const;
    virtual CControlUI* GetCover() const;
    virtual void SetCover(CControlUI* pControl);

    virtual CUIString GetText() const;
    virtual void SetText(const wchar_t* pstrText);

    // Position and layout hints.
    virtual const RECT& GetPos() const;
    virtual RECT GetRelativePos() const;
    virtual RECT GetClientPos() const;
    virtual void SetPos(RECT rc, bool bNeedInvalidate = true);
    virtual void Move(SIZE szOffset, bool bNeedInvalidate = true);
    virtual int GetWidth() const;
    virtual int GetHeight() const;
    virtual int GetX() const;
    virtual int GetY() const;
    virtual RECT GetPadding() const;
    virtual void SetPadding(RECT rcPadding);
    virtual SIZE GetFixedXY() const;
    virtual void SetFixedXY(SIZE szXY);
    virtual TPercentInfo GetFloatPercent() const;
    virtual void SetFloatPercent(TPercentInfo piFloatPercent);
    virtual int GetFixedWidth() const;
    virtual void SetFixedWidth(int cx);
    virtual int GetFixedHeight() const;
    virtual void SetFixedHeight(int cy);
    virtual int GetMinWidth() const;
    virtual void SetMinWidth(int cx);
    virtual int GetMaxWidth() const;
    virtual void SetMaxWidth(int cx);
    virtual int GetMinHeight() const;
    virtual void SetMinHeight(int cy);
    virtual int GetMaxHeight() const;
    virtual void SetMaxHeight(int cy);

    virtual CUIString GetToolTip() const;
    virtual void SetToolTip(const wchar_t* pstrText);
    virtual void SetToolTipWidth(int nWidth);
    virtual int GetToolTipWidth();

    virtual wchar_t GetShortcut() const;
    virtual void SetShortcut(wchar_t ch);

    virtual bool IsContextMenuUsed() const;
    virtual void SetContextMenuUsed(bool bMenuUsed);

    virtual const CUIString& GetUserData();
    virtual void SetUserData(const wchar_t* pstrText);
    virtual UINT GetTag() const;
    virtual void SetTag(UINT uTag);

    virtual bool IsVisible() const;
    virtual void SetVisible(bool bVisible = true);
    virtual void SetInternVisible(bool bVisible = true);
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool bEnable = true);
    virtual bool IsMouseEnabled() const;
    virtual void SetMouseEnabled(bool bEnable = true);
    virtual bool IsKeyboardEnabled() const;
    virtual void SetKeyboardEnabled(bool bEnable = true);
    virtual bool IsFocused() const;
    virtual void SetFocus();
    virtual bool IsFloat() const;
    virtual void SetFloat(bool bFloat = true);

    virtual CControlUI* FindControl(FindControlCallback Proc, void* pData, UINT uFlags);

    virtual void Init();
    virtual void DoInit();

    virtual void Event(tagTEventUI& event);
    virtual void DoEvent(tagTEventUI& event);

    virtual CUIString GetAttribute(const wchar_t* pstrName);
    virtual void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue);
    virtual CUIString GetAttributeList(bool bIgnoreDefault = true);
    virtual void SetAttributeList(const wchar_t* pstrList);

    virtual SIZE EstimateSize(SIZE szAvailable);

    virtual bool Paint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl = NULL);
    virtual bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl);
    virtual void PaintBkColor(HDC hDC);
    virtual void PaintBkImage(HDC hDC);
    virtual void PaintStatusImage(HDC hDC);
    virtual void PaintText(HDC hDC);
    virtual void PaintBorder(HDC hDC);

    virtual void DoPostPaint(HDC hDC, const RECT& rcPaint);

    // Appearance.
    void SetBkColor(DWORD dwBackColor);
    void SetBkColor2(DWORD dwBackColor);
    void SetBkColor3(DWORD dwBackColor);
    void SetBorderColor(DWORD dwBorderColor);
    void SetFocusBorderColor(DWORD dwBorderColor);
    void SetColorHSL(bool bColorHSL);
    void SetBorderSize(RECT rc);
    void SetBorderSize(int iSize);
    void SetBorderRound(SIZE cxyRound);
    void SetBorderStyle(int nStyle);
    void SetBkImage(const wchar_t* pStrImage);
    bool DrawImage(HDC hDC, TImageDesc& desc);
    DWORD GetHslAdjustedColor(DWORD dwColor);

    // Invalidation and layout requests.
    void Invalidate();
    bool IsUpdateNeeded() const;
    void NeedUpdate();
    void NeedParentUpdate();

    void SetVirtualWnd(const wchar_t* pstrValue);
    CUIString GetVirtualWnd() const;

    void AddCustomAttribute(const wchar_t* pstrName, const wchar_t* pstrAttr);
    void ClearCustomAttributes();

    // Listeners; each is called with the control (OnEvent: the event, OnNotify: the notification).
    CDelegateList OnInit;
    CDelegateList OnDestroy;
    CDelegateList OnSize;
    CDelegateList OnEvent;
    CDelegateList OnNotify;
    CDelegateList OnPaint;
    CDelegateList OnPostPaint;

private:
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

protected:
    // Invalidates rc clipped by every visible ancestor.
    void InvalidateClipped(RECT rc);

    // A control's fields lie far apart and, in a large tree, every control is a cache miss of its
    // own. Walks over a container's children ask for them kPrefetchAhead children ahead, so that
    // the misses overlap instead of queueing. Hints only: they change nothing. Always inlined: the
    // compiler takes a function of nothing but prefetches for one without effects and drops its
    // calls.
    static const int kPrefetchAhead = 16;
    // Of a string: the text pointer and, behind it, the first characters of an inline text.
    static const int kPrefetchText = sizeof(wchar_t*) + 16 * sizeof(wchar_t);
    // Every cache line that holds a byte of [pFirst, pLast], a span of at most 128 bytes.
    __attribute__((always_inline)) static void PrefetchSpan(const void* pFirst, const void* pLast)
    {
        // As addresses: the two ends may lie in different members.
        const uintptr_t a = reinterpret_cast<uintptr_t>(pFirst);
        const uintptr_t b = reinterpret_cast<uintptr_t>(pLast);
        __builtin_prefetch(pFirst);
        __builtin_prefetch(reinterpret_cast<const void*>(a + (b - a) / 2));
        __builtin_prefetch(pLast);
    }
    // What SetManager and a name search read: the links, the init listeners and a short name.
    __attribute__((always_inline)) static void PrefetchTreeFields(const CControlUI* p)
    {
        PrefetchSpan(p, &p->OnInit + 1);
        PrefetchSpan(&p->m_pManager, &p->m_pCover + 1);
        PrefetchSpan(&p->m_sName, reinterpret_cast<const char*>(&p->m_sName) + kPrefetchText);
    }
    // What a layout pass reads: the links, the size listeners, the rectangle, padding, sizes and
    // states, and the first fields of a derived class (a container's children, a label's font and
    // last estimate).
    __attribute__((always_inline)) static void PrefetchLayoutFields(const CControlUI* p)
    {
        PrefetchSpan(p, &p->OnSize + 1);
        PrefetchSpan(&p->m_pManager, &p->m_pCover + 1);
        PrefetchSpan(&p->m_bUpdateNeeded, &p->m_bSetPos);
        const char* pDerived = reinterpret_cast<const char*>(p) + sizeof(CControlUI);
        PrefetchSpan(pDerived, pDerived + 72);
    }

    CPaintManagerUI* m_pManager;
    CControlUI* m_pParent;
    CControlUI* m_pCover;
    CUIString m_sVirtualWnd;
    CUIString m_sName;
    bool m_bUpdateNeeded;
    bool m_bMenuUsed;
    RECT m_rcItem;
    RECT m_rcPadding;
    SIZE m_cXY;
    SIZE m_cxyFixed;
    SIZE m_cxyMin;
    SIZE m_cxyMax;
    bool m_bVisible;
    bool m_bInternVisible;
    bool m_bEnabled;
    bool m_bMouseEnabled;
    bool m_bKeyboardEnabled;
    bool m_bFocused;
    bool m_bFloat;
    TPercentInfo m_piFloatPercent;
    bool m_bSetPos;   // inside the OnSize call of SetPos

    CUIString m_sText;
    CUIString m_sToolTip;
    wchar_t m_chShortcut;
    CUIString m_sUserData;
    UINT m_uTag;

    DWORD m_dwBackColor;
    DWORD m_dwBackColor2;
    DWORD m_dwBackColor3;
    TImageDesc m_diBk;
    TImageDesc m_diFore;
    DWORD m_dwBorderColor;
    DWORD m_dwFocusBorderColor;
    bool m_bColorHSL;
    int m_nBorderStyle;
    int m_nTooltipWidth;
    SIZE m_cxyBorderRound;
    RECT m_rcPaint;
    RECT m_rcBorderSize;
    CUIStringPtrMap m_mCustomAttrHash;
};

// Tells a caller whether a control outlived a call that may destroy it (a synchronous notification
// whose listener removes the sender). Lives on the caller's stack; the control's destructor marks
// every watch on it. The framework runs on one thread, so the list of watches is unguarded.
class VENEER_API CControlWatch
{
public:
    explicit CControlWatch(CControlUI* pControl);
    ~CControlWatch();
    bool IsAlive() const { return m_pControl != NULL; }
    static void ControlDestroyed(CControlUI* pControl);

private:
    CControlWatch(const CControlWatch&) = delete;
    CControlWatch& operator=(const CControlWatch&) = delete;
    CControlUI* m_pControl;
    CControlWatch* m_pPrev;
};

} // namespace Veneer
