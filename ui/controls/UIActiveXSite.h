// Container side of the ActiveX host: the site that answers the hosted object (CActiveXCtrl), the
// in-place frame handed to it (CActiveXFrameWnd), the container's enumerator (CActiveXEnum) and the
// child window of a windowed object (CActiveXWnd, class "ActiveXWnd").
// Ownership: the COM objects keep plain reference counts that start at 1 and delete themselves at 0.
// The site owns its child window and its accelerator table; its owner (CActiveXUI) is not owned and
// is cleared by the owner when it lets go.
#pragma once
#include "UIActiveX.h"
#include "UIWindow.h"

#include <ole2.h>
#include <ocidl.h>

namespace Veneer {

class CActiveXCtrl;

class CActiveXWnd final : public CWindowWnd
{
public:
    CActiveXWnd();
    HWND Init(CActiveXCtrl* pOwner, HWND hWndParent);

    const wchar_t* GetWindowClassName() const override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;

protected:
    void DoVerb(LONG iVerb);
    bool IsLayeredHost() const;

    CActiveXCtrl* m_pOwner;
    int m_iLayeredTick;
    bool m_bDrawCaret;
};

class CActiveXCtrl final : public IOleClientSite,
                           public IOleInPlaceSiteWindowless,
                           public IOleControlSite,
                           public IObjectWithSite,
                           public IOleContainer
{
    friend class CActiveXUI;
    friend class CActiveXWnd;
    friend class CActiveXFrameWnd;

public:
    CActiveXCtrl();

    // IUnknown
    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // IObjectWithSite
    STDMETHOD(SetSite)(IUnknown* pUnkSite) override;
    STDMETHOD(GetSite)(REFIID riid, void** ppvSite) override;

    // IOleClientSite
    STDMETHOD(SaveObject)() override;
    STDMETHOD(GetMoniker)(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) override;
    STDMETHOD(GetContainer)(IOleContainer** ppContainer) override;
    STDMETHOD(ShowObject)() override;
    STDMETHOD(OnShowWindow)(WINBOOL fShow) override;
    STDMETHOD(RequestNewObjectLayout)() override;

    // IOleInPlaceSiteWindowless
    STDMETHOD(CanWindowlessActivate)() override;
    STDMETHOD(GetCapture)() override;
    STDMETHOD(SetCapture)(WINBOOL fCapture) override;
    STDMETHOD(GetFocus)() override;
    STDMETHOD(SetFocus)(WINBOOL fFocus) override;
    STDMETHOD(GetDC)(LPCRECT pRect, DWORD grfFlags, HDC* phDC) override;
    STDMETHOD(ReleaseDC)(HDC hDC) override;
    STDMETHOD(InvalidateRect)(LPCRECT pRect, WINBOOL fErase) override;
    STDMETHOD(InvalidateRgn)(HRGN hRGN, WINBOOL fErase) override;
    STDMETHOD(ScrollRect)(INT dx, INT dy, LPCRECT pRectScroll, LPCRECT pRectClip) override;
    STDMETHOD(AdjustRect)(LPRECT prc) override;
    STDMETHOD(OnDefWindowMessage)(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* plResult) override;

    // IOleInPlaceSiteEx
    STDMETHOD(OnInPlaceActivateEx)(WINBOOL* pfNoRedraw, DWORD dwFlags) override;
    STDMETHOD(OnInPlaceDeactivateEx)(WINBOOL fNoRedraw) override;
    STDMETHOD(RequestUIActivate)() override;

    // IOleInPlaceSite
    STDMETHOD(CanInPlaceActivate)() override;
    STDMETHOD(OnInPlaceActivate)() override;
    STDMETHOD(OnUIActivate)() override;
    STDMETHOD(GetWindowContext)(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect,
                                LPRECT lprcClipRect, LPOLEINPLACEFRAMEINFO lpFrameInfo) override;
    STDMETHOD(Scroll)(SIZE scrollExtant) override;
    STDMETHOD(OnUIDeactivate)(WINBOOL fUndoable) override;
    STDMETHOD(OnInPlaceDeactivate)() override;
    STDMETHOD(DiscardUndoState)() override;
    STDMETHOD(DeactivateAndUndo)() override;
    STDMETHOD(OnPosRectChange)(LPCRECT lprcPosRect) override;

    // IOleWindow
    STDMETHOD(GetWindow)(HWND* phwnd) override;
    STDMETHOD(ContextSensitiveHelp)(WINBOOL fEnterMode) override;

    // IOleControlSite
    STDMETHOD(OnControlInfoChanged)() override;
    STDMETHOD(LockInPlaceActive)(WINBOOL fLock) override;
    STDMETHOD(GetExtendedControl)(IDispatch** ppDisp) override;
    STDMETHOD(TransformCoords)(POINTL* pPtlHimetric, POINTF* pPtfContainer, DWORD dwFlags) override;
    STDMETHOD(TranslateAccelerator)(MSG* pMsg, DWORD grfModifiers) override;
    STDMETHOD(OnFocus)(WINBOOL fGotFocus) override;
    STDMETHOD(ShowPropertyFrame)() override;

    // IOleContainer
    STDMETHOD(EnumObjects)(DWORD grfFlags, IEnumUnknown** ppenum) override;
    STDMETHOD(LockContainer)(WINBOOL fLock) override;

    // IParseDisplayName
    STDMETHOD(ParseDisplayName)(IBindCtx* pbc, LPOLESTR pszDisplayName, ULONG* pchEaten, IMoniker** ppmkOut) override;

protected:
    ~CActiveXCtrl();
    HRESULT CreateActiveXWnd();
    HWND HostWindow() const;

    ULONG m_dwRef;
    CActiveXUI* m_pOwner;
    CActiveXWnd* m_pWindow;
    IUnknown* m_pUnkSite;
    IViewObject* m_pViewObject;
    IOleInPlaceObjectWindowless* m_pInPlaceObject;
    HACCEL m_hAccel;  // one per site, handed to every GetWindowContext, destroyed with the site
    bool m_bLocked;
    bool m_bFocused;
    bool m_bCaptured;
    bool m_bUIActivated;
    bool m_bInPlaceActive;
    bool m_bWindowless;
};

class CActiveXFrameWnd final : public IOleInPlaceFrame
{
public:
    // Holds a reference to the site and reaches the control through it: the control clears the
    // site's link when it lets go, and an object may keep the frame longer than that.
    explicit CActiveXFrameWnd(CActiveXCtrl* pSite);

    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(GetWindow)(HWND* phwnd) override;
    STDMETHOD(ContextSensitiveHelp)(WINBOOL fEnterMode) override;
    STDMETHOD(GetBorder)(LPRECT lprectBorder) override;
    STDMETHOD(RequestBorderSpace)(LPCBORDERWIDTHS pborderwidths) override;
    STDMETHOD(SetBorderSpace)(LPCBORDERWIDTHS pborderwidths) override;
    STDMETHOD(SetActiveObject)(IOleInPlaceActiveObject* pActiveObject, LPCOLESTR pszObjName) override;
    STDMETHOD(InsertMenus)(HMENU hmenuShared, LPOLEMENUGROUPWIDTHS lpMenuWidths) override;
    STDMETHOD(SetMenu)(HMENU hmenuShared, HOLEMENU holemenu, HWND hwndActiveObject) override;
    STDMETHOD(RemoveMenus)(HMENU hmenuShared) override;
    STDMETHOD(SetStatusText)(LPCOLESTR pszStatusText) override;
    STDMETHOD(EnableModeless)(WINBOOL fEnable) override;
    STDMETHOD(TranslateAccelerator)(LPMSG lpmsg, WORD wID) override;

private:
    ~CActiveXFrameWnd();
    ULONG m_dwRef;
    CActiveXCtrl* m_pSite;
    IOleInPlaceActiveObject* m_pActiveObject;
};

class CActiveXEnum final : public IEnumUnknown
{
public:
    explicit CActiveXEnum(IUnknown* pUnk);

    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(Next)(ULONG celt, IUnknown** rgelt, ULONG* pceltFetched) override;
    STDMETHOD(Skip)(ULONG celt) override;
    STDMETHOD(Reset)() override;
    STDMETHOD(Clone)(IEnumUnknown** ppenum) override;

private:
    ~CActiveXEnum();
    ULONG m_dwRef;
    LONG m_iPos;
    IUnknown* m_pUnk;
};

} // namespace Veneer
