// The console's web-view control (skin tag "WbkWebkit", made by the windows' builder callbacks):
// CWkeWebkitUI is a framework control that owns a child window CWkeWebkitWnd; the window owns one
// view of the web-view library, paints its picture and forwards input to it. The control loads
// URLs, reports finished loads to an optional hook, binds JavaScript functions, and replaces
// itself by a fresh control when a load hangs for more than 20 seconds.
//
// Ownership: the control owns its host window object through the window (the object deletes
// itself when the window is gone and clears the control's pointer); the window owns its view.
// Every control holds one reference on the web-view library: the first starts it, the last ends it.
#pragma once
#include <windows.h>

#include "UIControl.h"
#include "UIManager.h"
#include "UIWindow.h"
#include "webview.h"

class CWkeWebkitUI;

// Hooks: navigation and create-view get the library's arguments (param is the control); the
// loading-finished hook gets the control, the URL, the result and the failure reason.
typedef bool (*PfnWkeNavigation)(wkeWebView view, void* param, int navigationType, wkeString url);
typedef wkeWebView (*PfnWkeCreateView)(wkeWebView view, void* param, int navigationType, wkeString url,
                                       const wkeWindowFeatures* features);
typedef void (*PfnWkeLoadingFinish)(CWkeWebkitUI* control, const wchar_t* url, int result, const wchar_t* reason);

class CWkeWebkitWnd final : public Veneer::CWindowWnd {
public:
    CWkeWebkitWnd();
    // Binds the window to its control and creates it as a child of the control's paint window
    // unless it exists; false when the window could not be created (the caller deletes the object).
    bool Init(CWkeWebkitUI* owner);
    wkeWebView GetView() const { return m_view; }

    const wchar_t* GetWindowClassName() const override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;

private:
    friend class CWkeWebkitUI;
    LRESULT Forward(UINT uMsg, WPARAM wParam, LPARAM lParam, bool used);

    CWkeWebkitUI* m_pOwner;
    wkeWebView m_view;
    Veneer::CUIString m_sSpare;
    bool m_bInit;
};

class CWkeWebkitUI : public Veneer::CControlUI {
public:
    CWkeWebkitUI();
    ~CWkeWebkitUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    void SetPos(RECT rc, bool bNeedInvalidate) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    void DoInit() override;
    void DoEvent(Veneer::TEventUI& event) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    virtual void SetPos(RECT rc);

    void Load(const wchar_t* url);
    void StopLoading();
    void SetNavigationHandler(PfnWkeNavigation handler) { m_pfnNavigation = handler; }
    void SetCreateViewHandler(PfnWkeCreateView handler) { m_pfnCreateView = handler; }
    void SetLoadingFinishHandler(PfnWkeLoadingFinish handler) { m_pfnLoadingFinish = handler; }
    PfnWkeNavigation GetNavigationHandler() const { return m_pfnNavigation; }
    PfnWkeCreateView GetCreateViewHandler() const { return m_pfnCreateView; }
    PfnWkeLoadingFinish GetLoadingFinishHandler() const { return m_pfnLoadingFinish; }
    // Global to the library: the function exists in every view's pages.
    void BindJsFunction(const wchar_t* name, jsNativeFunction function, unsigned int argCount);

    Veneer::CUIString GetUrl() const { return m_sUrl; }
    CWkeWebkitWnd* GetHostWindow() const { return m_pHost; }
    wkeWebView GetView() const { return m_pHost ? m_pHost->m_view : nullptr; }
    DWORD GetLoadStart() const { return m_dwLoadStart; }

    // The clock of the load-hang check (GetTickCount unless a test sets another); null restores it.
    static void SetTickSource(DWORD (*tick)());
    static LONG GetLibraryReferences();

private:
    friend class CWkeWebkitWnd;
    static bool OnNavigation(wkeWebView view, void* param, int navigationType, wkeString url);
    static wkeWebView OnCreateView(wkeWebView view, void* param, int navigationType, wkeString url,
                                   const wkeWindowFeatures* features);
    static void OnLoadingFinish(wkeWebView view, void* param, wkeString url, int result, wkeString reason);
    bool ReplaceHungLoad();

    Veneer::CUIString m_sUrl;
    Veneer::CUIString m_sSpare;
    PfnWkeNavigation m_pfnNavigation;
    PfnWkeCreateView m_pfnCreateView;
    PfnWkeLoadingFinish m_pfnLoadingFinish;
    CWkeWebkitWnd* m_pHost;
    DWORD m_dwLoadStart;
};

