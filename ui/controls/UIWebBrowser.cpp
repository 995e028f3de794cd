#include "UIWebBrowser.h"

#include <exdispid.h>
#include <mshtml.h>
#include <string.h>

namespace Veneer {

CWebBrowserUI::CWebBrowserUI()
    : m_pWebBrowser2(NULL), m_dwRef(0), m_dwCookie(0), m_bAutoNavi(false), m_bInTranslators(false),
      m_pTranslatorManager(NULL), m_DownloadManager(this)
{
    m_clsid = CLSID_WebBrowser;
}

CWebBrowserUI::~CWebBrowserUI()
{
    CWebBrowserUI::ReleaseControl();
    if (m_pWebBrowser2 != NULL) {
        m_pWebBrowser2->Release();
        m_pWebBrowser2 = NULL;
    }
    // The object is closed while this control's interfaces still exist: the browser may call them
    // while it shuts down.
    CActiveXUI::ReleaseControl();
}

const wchar_t* CWebBrowserUI::GetClass() const
{
    return L"WebBrowser";
}

void* CWebBrowserUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"WebBrowser") == 0) return static_cast<CWebBrowserUI*>(this);
    return CActiveXUI::GetInterface(pstrName);
}

void CWebBrowserUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"homepage") == 0)
        SetHomePage(pstrValue);
    else if (wcscmp(pstrName, L"autonavi") == 0)
        SetAutoNavigation(wcscmp(pstrValue, L"true") == 0);
    else
        CActiveXUI::SetAttribute(pstrName, pstrValue);
}

void CWebBrowserUI::SetHomePage(const wchar_t* lpszUrl)
{
    m_sHomePage = lpszUrl;
}

CUIString CWebBrowserUI::GetHomePage() const
{
    return m_sHomePage;
}

void CWebBrowserUI::SetAutoNavigation(bool bAuto)
{
    m_bAutoNavi = bAuto;
}

bool CWebBrowserUI::IsAutoNavigation() const
{
    return m_bAutoNavi;
}

IWebBrowser2* CWebBrowserUI::GetWebBrowser2() const
{
    return m_pWebBrowser2;
}

void CWebBrowserUI::SetDocumentUIHandler(IDocHostUIHandler* pHandler)
{
    if (m_pWebBrowser2 == NULL) return;
    IDispatch* pDocument = NULL;
    if (FAILED(m_pWebBrowser2->get_Document(&pDocument)) || pDocument == NULL) return;
    ICustomDoc* pCustomDoc = NULL;
    pDocument->QueryInterface(IID_ICustomDoc, (void**)&pCustomDoc);
    if (pCustomDoc != NULL) {
        pCustomDoc->SetUIHandler(pHandler);
        pCustomDoc->Release();
    }
    pDocument->Release();
}

void CWebBrowserUI::ReleaseControl()
{
    m_bCreated = false;
    // The document outlives nothing of ours: it must not call a handler that is about to go.
    SetDocumentUIHandler(NULL);
    if (m_bInTranslators && m_pTranslatorManager != NULL) m_pTranslatorManager->RemoveTranslateAccelerator(this);
    else if (m_pManager != NULL) m_pManager->RemoveTranslateAccelerator(this);
    m_bInTranslators = false;
    m_pTranslatorManager = NULL;
    RegisterEventHandler(false);
}

bool CWebBrowserUI::DoCreateControl()
{
    // A class assigned again to a live browser: the old browser, its site and its interface go first
    // (this class's ReleaseControl keeps the object).
    if (m_pUnk != NULL || m_pWebBrowser2 != NULL) {
        CWebBrowserUI::ReleaseControl();
        if (m_pWebBrowser2 != NULL) {
            m_pWebBrowser2->Release();
            m_pWebBrowser2 = NULL;
        }
        CActiveXUI::ReleaseControl();
    }
    if (!CActiveXUI::DoCreateControl()) return false;
    if (m_pManager != NULL && m_pManager->AddTranslateAccelerator(this)) {
        m_bInTranslators = true;
        m_pTranslatorManager = m_pManager;
    }
    GetControl(IID_IWebBrowser2, (void**)&m_pWebBrowser2);
    if (m_bAutoNavi && !m_sHomePage.IsEmpty()) Navigate2(m_sHomePage.GetData());
    RegisterEventHandler(true);
    return true;
}

HRESULT CWebBrowserUI::Download(IMoniker*, IBindCtx*, DWORD, LONG, BINDINFO*, LPCOLESTR, LPCOLESTR, UINT)
{
    return S_OK;
}

void CWebBrowserUI::Navigate2(const wchar_t* lpszUrl)
{
    if (lpszUrl == NULL || m_pWebBrowser2 == NULL) return;
    VARIANT url;
    ::VariantInit(&url);
    url.vt = VT_BSTR;
    url.bstrVal = ::SysAllocString(lpszUrl);
    m_pWebBrowser2->Navigate2(&url, NULL, NULL, NULL, NULL);
    ::VariantClear(&url);
}

HRESULT CWebBrowserUI::RegisterEventHandler(bool inAdvise)
{
    IWebBrowser2* pWebBrowser = NULL;
    HRESULT hr = GetControl(IID_IWebBrowser2, (void**)&pWebBrowser);
    if (FAILED(hr)) return hr;
    IConnectionPointContainer* pCPC = NULL;
    hr = pWebBrowser->QueryInterface(IID_IConnectionPointContainer, (void**)&pCPC);
    if (SUCCEEDED(hr)) {
        IConnectionPoint* pCP = NULL;
        hr = pCPC->FindConnectionPoint(DIID_DWebBrowserEvents2, &pCP);
        if (SUCCEEDED(hr)) {
            if (inAdvise) {
                hr = pCP->Advise(static_cast<IDispatch*>(this), &m_dwCookie);
            } else if (m_dwCookie != 0) {
                hr = pCP->Unadvise(m_dwCookie);
                m_dwCookie = 0;
            }
            pCP->Release();
        }
        pCPC->Release();
    }
    pWebBrowser->Release();
    return hr;
}

// ---------------------------------------------------------------------------------------------
// COM interfaces of the control

STDMETHODIMP CWebBrowserUI::QueryInterface(REFIID riid, void** ppvObject)
{
    if (ppvObject == NULL) return E_POINTER;
    *ppvObject = NULL;
    // IUnknown is answered by one fixed table, so that every interface shows the same identity.
    if (riid == IID_IUnknown || riid == IID_IDocHostUIHandler)
        *ppvObject = static_cast<IDocHostUIHandler*>(this);
    else if (riid == IID_IDispatch)
        *ppvObject = static_cast<IDispatch*>(this);
    else if (riid == IID_IServiceProvider)
        *ppvObject = static_cast<IServiceProvider*>(this);
    else if (riid == IID_IOleCommandTarget)
        *ppvObject = static_cast<IOleCommandTarget*>(this);
    if (*ppvObject == NULL) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CWebBrowserUI::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_dwRef));
}

STDMETHODIMP_(ULONG) CWebBrowserUI::Release()
{
    return static_cast<ULONG>(::InterlockedDecrement(&m_dwRef));
}

STDMETHODIMP CWebBrowserUI::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*)
{
    return S_FALSE;
}

STDMETHODIMP CWebBrowserUI::GetHostInfo(DOCHOSTUIINFO*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                   IOleInPlaceUIWindow*)
{
    return S_OK;
}

STDMETHODIMP CWebBrowserUI::HideUI()
{
    return S_OK;
}

STDMETHODIMP CWebBrowserUI::UpdateUI()
{
    return S_OK;
}

STDMETHODIMP CWebBrowserUI::EnableModeless(WINBOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::OnDocWindowActivate(WINBOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::OnFrameWindowActivate(WINBOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, WINBOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::TranslateAccelerator(LPMSG, const GUID*, DWORD)
{
    return S_FALSE;
}

STDMETHODIMP CWebBrowserUI::GetOptionKeyPath(LPOLESTR*, DWORD)
{
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::GetDropTarget(IDropTarget*, IDropTarget**)
{
    return S_FALSE;
}

STDMETHODIMP CWebBrowserUI::GetExternal(IDispatch**)
{
    return S_FALSE;
}

STDMETHODIMP CWebBrowserUI::TranslateUrl(DWORD, LPWSTR, LPWSTR* ppchURLOut)
{
    if (ppchURLOut != NULL) *ppchURLOut = NULL;
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::FilterDataObject(IDataObject*, IDataObject** ppDORet)
{
    if (ppDORet != NULL) *ppDORet = NULL;
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::QueryService(REFGUID guidService, REFIID riid, void** ppvObject)
{
    if (ppvObject == NULL) return E_POINTER;
    *ppvObject = NULL;
    if (guidService == IID_IDownloadManager && riid == IID_IDownloadManager) {
        *ppvObject = static_cast<IDownloadManager*>(&m_DownloadManager);
        m_DownloadManager.AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP CWebBrowserUI::QueryStatus(const GUID*, ULONG, OLECMD[], OLECMDTEXT*)
{
    return OLECMDERR_E_NOTSUPPORTED;
}

STDMETHODIMP CWebBrowserUI::Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD, VARIANT* pvaIn, VARIANT* pvaOut)
{
    if (pguidCmdGroup == NULL || !::IsEqualGUID(*pguidCmdGroup, CGID_DocHostCommandHandler))
        return OLECMDERR_E_UNKNOWNGROUP;
    if (nCmdID != OLECMDID_SHOWSCRIPTERROR) return OLECMDERR_E_NOTSUPPORTED;

    // The error's details are read (and dropped) only when the page hands over a document with a
    // window and a current event; suppression does not depend on them.
    IUnknown* pUnk = NULL;
    if (pvaIn != NULL && (pvaIn->vt == VT_UNKNOWN || pvaIn->vt == VT_DISPATCH)) pUnk = pvaIn->punkVal;
    IHTMLDocument2* pDoc = NULL;
    if (pUnk != NULL) pUnk->QueryInterface(IID_IHTMLDocument2, (void**)&pDoc);
    IHTMLWindow2* pWindow = NULL;
    if (pDoc != NULL && FAILED(pDoc->get_parentWindow(&pWindow))) pWindow = NULL;
    IHTMLEventObj* pEvent = NULL;
    if (pWindow != NULL && FAILED(pWindow->get_event(&pEvent))) pEvent = NULL;
    if (pEvent != NULL) {
        static const wchar_t* const kProperties[] = {L"errorLine", L"errorCharacter", L"errorCode",
                                                     L"errorMessage", L"errorUrl"};
        for (const wchar_t* pstrName : kProperties) {
            DISPID dispid = DISPID_UNKNOWN;
            LPOLESTR name = const_cast<LPOLESTR>(pstrName);
            if (FAILED(pEvent->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_SYSTEM_DEFAULT, &dispid))) continue;
            DISPPARAMS params = {NULL, NULL, 0, 0};
            VARIANT value;
            ::VariantInit(&value);
            pEvent->Invoke(dispid, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET, &params, &value, NULL,
                           NULL);
            ::VariantClear(&value);
        }
        pEvent->Release();
    }
    if (pWindow != NULL) pWindow->Release();
    if (pDoc != NULL) pDoc->Release();
    if (pvaOut != NULL) {
        // Scripts keep running and the browser shows no dialog.
        ::VariantClear(pvaOut);
        pvaOut->vt = VT_BOOL;
        pvaOut->boolVal = VARIANT_TRUE;
    }
    return S_OK;
}

STDMETHODIMP CWebBrowserUI::GetTypeInfoCount(UINT* pctinfo)
{
    if (pctinfo != NULL) *pctinfo = 0;
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::GetTypeInfo(UINT, LCID, ITypeInfo**)
{
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD, DISPPARAMS*, VARIANT*,
                                   EXCEPINFO*, UINT*)
{
    if (!::IsEqualIID(riid, IID_NULL)) return E_INVALIDARG;
    switch (dispIdMember) {
    case DISPID_NAVIGATECOMPLETE2:
        SetDocumentUIHandler(static_cast<IDocHostUIHandler*>(this));
        return S_OK;
    case DISPID_STATUSTEXTCHANGE:
    case DISPID_COMMANDSTATECHANGE:
    case DISPID_BEFORENAVIGATE2:
    case DISPID_DOCUMENTCOMPLETE:
    case DISPID_WINDOWCLOSING:
    case DISPID_NAVIGATEERROR:
    case DISPID_NEWWINDOW3:
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

LRESULT CWebBrowserUI::TranslateAccelerator(MSG* pMsg)
{
    if (pMsg == NULL || pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST) return S_FALSE;
    if (m_pWebBrowser2 == NULL) return E_NOTIMPL;
    bool bInside = false;
    for (HWND hWnd = ::GetFocus(); hWnd != NULL; hWnd = ::GetParent(hWnd)) {
        if (hWnd == m_hwndHost) {
            bInside = true;
            break;
        }
    }
    if (!bInside || m_hwndHost == NULL) return S_FALSE;
    IOleInPlaceActiveObject* pActive = NULL;
    if (FAILED(m_pWebBrowser2->QueryInterface(IID_IOleInPlaceActiveObject, (void**)&pActive)) || pActive == NULL)
        return S_FALSE;
    HRESULT hr = pActive->TranslateAccelerator(pMsg);
    pActive->Release();
    return hr;
}

// ---------------------------------------------------------------------------------------------
// The download-manager service

STDMETHODIMP CWebBrowserUI::CDownloadManager::QueryInterface(REFIID riid, void** ppvObject)
{
    if (ppvObject == NULL) return E_POINTER;
    *ppvObject = NULL;
    if (riid == IID_IUnknown || riid == IID_IDownloadManager) {
        *ppvObject = static_cast<IDownloadManager*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CWebBrowserUI::CDownloadManager::AddRef()
{
    return m_pOwner->AddRef();
}

STDMETHODIMP_(ULONG) CWebBrowserUI::CDownloadManager::Release()
{
    return m_pOwner->Release();
}

STDMETHODIMP CWebBrowserUI::CDownloadManager::Download(IMoniker* pmk, IBindCtx* pbc, DWORD dwBindVerb, LONG grfBINDF,
                                                       BINDINFO* pBindInfo, LPCOLESTR pszHeaders,
                                                       LPCOLESTR pszRedir, UINT uiCP)
{
    return m_pOwner->Download(pmk, pbc, dwBindVerb, grfBINDF, pBindInfo, pszHeaders, pszRedir, uiCP);
}

} // namespace Veneer
