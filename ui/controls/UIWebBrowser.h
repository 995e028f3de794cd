// Web browser control: hosts the platform's web browser object through the ActiveX host. Keeps the
// browser's IWebBrowser2, navigates to a home page at creation when asked, listens to the browser's
// events, becomes each loaded document's UI handler, keeps script-error dialogs away, drops every
// download a page starts and offers key messages to the browser so that its shortcuts work.
// Ownership: the framework owns the control; its COM interfaces share one interlocked count that
// never deletes it. The control holds one reference on the browser until it is destroyed.
#pragma once
#include "UIDefs.h"
#include "UIActiveX.h"

#include <exdisp.h>
#include <mshtmhst.h>
#include <downloadmgr.h>

namespace Veneer {

class VENEER_API CWebBrowserUI : public CActiveXUI,
                                 public IDocHostUIHandler,
                                 public IServiceProvider,
                                 public IOleCommandTarget,
                                 public IDispatch,
                                 public ITranslateAccelerator
{
public:
    CWebBrowserUI();
    ~CWebBrowserUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;

    void ReleaseControl() override;
    bool DoCreateControl() override;
    // Every download that a page starts ends here and is dropped.
    virtual HRESULT Download(IMoniker* pmk, IBindCtx* pbc, DWORD dwBindVerb, LONG grfBINDF, BINDINFO* pBindInfo,
                             LPCOLESTR pszHeaders, LPCOLESTR pszRedir, UINT uiCP);

    void Navigate2(const wchar_t* lpszUrl);
    HRESULT RegisterEventHandler(bool inAdvise);

    void SetHomePage(const wchar_t* lpszUrl);
    CUIString GetHomePage() const;
    void SetAutoNavigation(bool bAuto = true);
    bool IsAutoNavigation() const;
    IWebBrowser2* GetWebBrowser2() const;

    // IUnknown (shared by the control's COM interfaces)
    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // IDocHostUIHandler
    STDMETHOD(ShowContextMenu)(DWORD dwID, POINT* pptPosition, IUnknown* pCommandTarget,
                               IDispatch* pDispatchObjectHit) override;
    STDMETHOD(GetHostInfo)(DOCHOSTUIINFO* pInfo) override;
    STDMETHOD(ShowUI)(DWORD dwID, IOleInPlaceActiveObject* pActiveObject, IOleCommandTarget* pCommandTarget,
                      IOleInPlaceFrame* pFrame, IOleInPlaceUIWindow* pDoc) override;
    STDMETHOD(HideUI)() override;
    STDMETHOD(UpdateUI)() override;
    STDMETHOD(EnableModeless)(WINBOOL fEnable) override;
    STDMETHOD(OnDocWindowActivate)(WINBOOL fActivate) override;
    STDMETHOD(OnFrameWindowActivate)(WINBOOL fActivate) override;
    STDMETHOD(ResizeBorder)(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow, WINBOOL fFrameWindow) override;
    STDMETHOD(TranslateAccelerator)(LPMSG lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID) override;
    STDMETHOD(GetOptionKeyPath)(LPOLESTR* pchKey, DWORD dwReserved) override;
    STDMETHOD(GetDropTarget)(IDropTarget* pDropTarget, IDropTarget** ppDropTarget) override;
    STDMETHOD(GetExternal)(IDispatch** ppDispatch) override;
    STDMETHOD(TranslateUrl)(DWORD dwTranslate, LPWSTR pchURLIn, LPWSTR* ppchURLOut) override;
    STDMETHOD(FilterDataObject)(IDataObject* pDO, IDataObject** ppDORet) override;

    // IServiceProvider
    STDMETHOD(QueryService)(REFGUID guidService, REFIID riid, void** ppvObject) override;

    // IOleCommandTarget
    STDMETHOD(QueryStatus)(const GUID* pguidCmdGroup, ULONG cCmds, OLECMD prgCmds[], OLECMDTEXT* pCmdText) override;
    STDMETHOD(Exec)(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD nCmdexecopt, VARIANT* pvaIn,
                    VARIANT* pvaOut) override;

    // IDispatch
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override;
    STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHOD(Invoke)(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                      VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // ITranslateAccelerator
    LRESULT TranslateAccelerator(MSG* pMsg) override;

protected:
    // The download-manager service: a COM object of its own whose calls reach Download; it counts
    // on the control's shared count.
    class CDownloadManager final : public IDownloadManager
    {
    public:
        explicit CDownloadManager(CWebBrowserUI* pOwner) : m_pOwner(pOwner) {}
        STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) override;
        STDMETHOD_(ULONG, AddRef)() override;
        STDMETHOD_(ULONG, Release)() override;
        STDMETHOD(Download)(IMoniker* pmk, IBindCtx* pbc, DWORD dwBindVerb, LONG grfBINDF, BINDINFO* pBindInfo,
                            LPCOLESTR pszHeaders, LPCOLESTR pszRedir, UINT uiCP) override;

    private:
        CWebBrowserUI* m_pOwner;
    };

    // Sets (or, with NULL, clears) the UI handler of the browser's current document.
    void SetDocumentUIHandler(IDocHostUIHandler* pHandler);

    IWebBrowser2* m_pWebBrowser2;
    LONG m_dwRef;
    DWORD m_dwCookie;
    CUIString m_sHomePage;
    bool m_bAutoNavi;
    bool m_bInTranslators;
    CPaintManagerUI* m_pTranslatorManager;
    CDownloadManager m_DownloadManager;
};

} // namespace Veneer
