#include "UIActiveX.h"
#include "UIActiveXSite.h"

#include <windowsx.h>
#include <string.h>

namespace Veneer {

namespace {

bool IsNullClsid(const CLSID& clsid)
{
    return ::IsEqualGUID(clsid, GUID_NULL) != FALSE;
}

} // namespace

CActiveXUI::CActiveXUI()
    : m_clsid(GUID_NULL), m_bCreated(false), m_bDelayCreate(true), m_pUnk(NULL), m_pControl(NULL), m_hwndHost(NULL),
      m_bComInit(false), m_bRunLocked(false), m_bInFilters(false), m_pFilterManager(NULL)
{
    // S_FALSE (already initialised on this thread) also needs its CoUninitialize; a thread in the
    // other apartment model refuses, and then nothing is to be balanced.
    m_bComInit = SUCCEEDED(::CoInitialize(NULL));
}

CActiveXUI::~CActiveXUI()
{
    CActiveXUI::ReleaseControl();
    if (m_bComInit) ::CoUninitialize();
}

const wchar_t* CActiveXUI::GetClass() const
{
    return L"ActiveX";
}

void* CActiveXUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"ActiveX") == 0) return static_cast<CActiveXUI*>(this);
    return CControlUI::GetInterface(pstrName);
}

UINT CActiveXUI::GetControlFlags() const
{
    return 1;  // tab stop
}

HWND CActiveXUI::GetNativeWindow() const
{
    return m_hwndHost;
}

bool CActiveXUI::SetCLSID(const wchar_t* pstrCLSID)
{
    CLSID clsid = GUID_NULL;
    wchar_t szCLSID[100] = {0};
    if (pstrCLSID != NULL) wcsncpy(szCLSID, pstrCLSID, 99);
    HRESULT hr;
    if (szCLSID[0] == L'{')
        hr = ::CLSIDFromString(szCLSID, &clsid);
    else
        hr = ::CLSIDFromProgID(szCLSID, &clsid);
    if (FAILED(hr)) clsid = GUID_NULL;
    return CreateControl(clsid);
}

void CActiveXUI::SetModuleName(const wchar_t* pstrText)
{
    m_sModuleName = pstrText;
}

void CActiveXUI::SetDelayCreate(bool bDelayCreate)
{
    // Creation needs the paint window: without a paint manager it waits for the first SetPos.
    if (m_bDelayCreate != bDelayCreate && !bDelayCreate && !m_bCreated && !IsNullClsid(m_clsid) &&
        m_pManager != NULL) {
        m_bDelayCreate = bDelayCreate;
        DoCreateControl();
        return;
    }
    m_bDelayCreate = bDelayCreate;
}

bool CActiveXUI::CreateControl(const CLSID clsid)
{
    if (IsNullClsid(clsid)) return false;
    m_bCreated = false;
    m_clsid = clsid;
    if (!m_bDelayCreate && m_pManager != NULL) DoCreateControl();
    return true;
}

HRESULT CActiveXUI::GetControl(const IID iid, LPVOID* ppRet)
{
    if (ppRet == NULL) return E_POINTER;
    if (m_pUnk == NULL) return E_PENDING;
    return m_pUnk->QueryInterface(iid, ppRet);
}

CLSID CActiveXUI::GetCLSID() const
{
    return m_clsid;
}

CUIString CActiveXUI::GetModuleName() const
{
    return m_sModuleName;
}

bool CActiveXUI::IsDelayCreate() const
{
    return m_bDelayCreate;
}

void CActiveXUI::LockRunning()
{
    // Every in-place activation comes through here; the lock is taken once per object and given back
    // in ReleaseControl, else an object that counts its locks would stay alive for ever.
    if (m_bRunLocked || m_pUnk == NULL) return;
    if (SUCCEEDED(::OleLockRunning(m_pUnk, TRUE, FALSE))) m_bRunLocked = true;
}

void CActiveXUI::JoinMessageFilters()
{
    // Each windowless activation asks again; one entry is enough, and ReleaseControl removes it.
    if (m_bInFilters || m_pManager == NULL) return;
    if (m_pManager->AddMessageFilter(this)) {
        m_bInFilters = true;
        m_pFilterManager = m_pManager;
    }
}

void CActiveXUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    CControlUI::SetPos(rc, bNeedInvalidate);
    if (!m_bCreated && m_pManager != NULL) DoCreateControl();
    if (m_pUnk == NULL || m_pControl == NULL) return;

    SIZEL hmSize = {0, 0};
    HDC hDC = ::GetDC(NULL);
    hmSize.cx = ::MulDiv(2540, m_rcItem.right - m_rcItem.left, ::GetDeviceCaps(hDC, LOGPIXELSX));
    hmSize.cy = ::MulDiv(2540, m_rcItem.bottom - m_rcItem.top, ::GetDeviceCaps(hDC, LOGPIXELSY));
    ::ReleaseDC(NULL, hDC);
    m_pUnk->SetExtent(DVASPECT_CONTENT, &hmSize);

    if (m_pControl->m_pInPlaceObject != NULL) {
        RECT rcItem = m_rcItem;
        if (!m_pControl->m_bWindowless) ::OffsetRect(&rcItem, -rcItem.left, -rcItem.top);
        m_pControl->m_pInPlaceObject->SetObjectRects(&rcItem, &rcItem);
    }
    if (!m_pControl->m_bWindowless && m_pControl->m_pWindow != NULL) {
        ::MoveWindow(*m_pControl->m_pWindow, m_rcItem.left, m_rcItem.top, m_rcItem.right - m_rcItem.left,
                     m_rcItem.bottom - m_rcItem.top, TRUE);
    }
}

void CActiveXUI::Move(SIZE szOffset, bool bNeedInvalidate)
{
    CControlUI::Move(szOffset, bNeedInvalidate);
    if (m_pControl != NULL && !m_pControl->m_bWindowless && m_pControl->m_pWindow != NULL) {
        ::MoveWindow(*m_pControl->m_pWindow, m_rcItem.left, m_rcItem.top, m_rcItem.right - m_rcItem.left,
                     m_rcItem.bottom - m_rcItem.top, TRUE);
    }
}

void CActiveXUI::SetVisible(bool bVisible)
{
    CControlUI::SetVisible(bVisible);
    if (m_hwndHost != NULL && m_pControl != NULL && !m_pControl->m_bWindowless)
        ::ShowWindow(m_hwndHost, IsVisible() ? SW_SHOW : SW_HIDE);
}

void CActiveXUI::SetInternVisible(bool bVisible)
{
    CControlUI::SetInternVisible(bVisible);
    if (m_hwndHost != NULL && m_pControl != NULL && !m_pControl->m_bWindowless)
        ::ShowWindow(m_hwndHost, IsVisible() ? SW_SHOW : SW_HIDE);
}

bool CActiveXUI::DoPaint(HDC hDC, const RECT&, CControlUI*)
{
    if (m_pControl != NULL && m_pControl->m_bWindowless && m_pControl->m_pViewObject != NULL) {
        CUIBorderPenScope::Release(hDC);   // the control draws with the DC as its container got it
        m_pControl->m_pViewObject->Draw(DVASPECT_CONTENT, -1, NULL, NULL, NULL, hDC,
                                        reinterpret_cast<RECTL*>(&m_rcItem), reinterpret_cast<RECTL*>(&m_rcItem),
                                        NULL, 0);
    }
    return true;
}

void CActiveXUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"clsid") == 0)
        SetCLSID(pstrValue);
    else if (wcscmp(pstrName, L"modulename") == 0)
        SetModuleName(pstrValue);
    else if (wcscmp(pstrName, L"delaycreate") == 0)
        SetDelayCreate(wcscmp(pstrValue, L"true") == 0);
    else
        CControlUI::SetAttribute(pstrName, pstrValue);
}

void CActiveXUI::PaintStatusImage(HDC) {}

void CActiveXUI::PaintText(HDC) {}

LRESULT CActiveXUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled)
{
    if (m_pControl == NULL || !m_pControl->m_bInPlaceActive || m_pControl->m_pInPlaceObject == NULL ||
        !m_pControl->m_bWindowless)
        return 0;
    bool bWasHandled = true;
    const bool bMouse = uMsg >= WM_MOUSEFIRST && uMsg <= 0x20D;
    if (bMouse || uMsg == WM_SETCURSOR) {
        if (bMouse && !IsMouseEnabled()) return 0;
        if (!m_pControl->m_bCaptured) {
            if (m_pControl->m_pViewObject == NULL) return 0;
            IViewObjectEx* pViewEx = NULL;
            m_pControl->m_pViewObject->QueryInterface(IID_IViewObjectEx, (void**)&pViewEx);
            if (pViewEx == NULL) return 0;
            POINT ptMouse = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            DWORD dwHitResult = HITRESULT_OUTSIDE;
            pViewEx->QueryHitPoint(DVASPECT_CONTENT, &m_rcItem, ptMouse, 0, &dwHitResult);
            pViewEx->Release();
            if (dwHitResult != HITRESULT_HIT) return 0;
        }
        if (uMsg == WM_SETCURSOR) bWasHandled = false;
        if (uMsg == WM_LBUTTONDOWN || uMsg == WM_LBUTTONDBLCLK || uMsg == WM_RBUTTONDOWN) {
            if (m_pManager != NULL && !m_pManager->IsNoActivate()) ::SetFocus(m_pManager->GetPaintWindow());
            SetFocus();
        }
    } else if (uMsg >= WM_KEYFIRST && uMsg <= WM_KEYLAST) {
        if (!IsFocused()) return 0;
    } else if (uMsg == WM_HELP || uMsg == WM_CONTEXTMENU) {
        bWasHandled = false;
    } else {
        return 0;
    }
    LRESULT lResult = 0;
    HRESULT hr = m_pControl->m_pInPlaceObject->OnWindowMessage(uMsg, wParam, lParam, &lResult);
    if (hr == S_OK) bHandled = bWasHandled;
    return lResult;
}

void CActiveXUI::ReleaseControl()
{
    m_hwndHost = NULL;
    if (m_pUnk != NULL) {
        IObjectWithSite* pSite = NULL;
        m_pUnk->QueryInterface(IID_IObjectWithSite, (void**)&pSite);
        if (pSite != NULL) {
            pSite->SetSite(NULL);
            pSite->Release();
        }
        if (m_bRunLocked) {
            ::OleLockRunning(m_pUnk, FALSE, TRUE);
            m_bRunLocked = false;
        }
        m_pUnk->Close(OLECLOSE_NOSAVE);
        m_pUnk->SetClientSite(NULL);
        m_pUnk->Release();
        m_pUnk = NULL;
    }
    if (m_pControl != NULL) {
        m_pControl->m_pOwner = NULL;
        m_pControl->Release();
        m_pControl = NULL;
    }
    if (m_bInFilters && m_pFilterManager != NULL) m_pFilterManager->RemoveMessageFilter(this);
    else if (m_pManager != NULL) m_pManager->RemoveMessageFilter(this);
    m_bInFilters = false;
    m_pFilterManager = NULL;
}

bool CActiveXUI::DoCreateControl()
{
    ReleaseControl();
    m_bCreated = true;

    IOleControl* pOleControl = NULL;
    if (!m_sModuleName.IsEmpty()) {
        HMODULE hModule = ::LoadLibraryW(m_sModuleName.GetData());
        if (hModule != NULL) {
            typedef HRESULT(WINAPI * DllGetClassObjectFunc)(REFCLSID, REFIID, LPVOID*);
            DllGetClassObjectFunc pfnGetClassObject =
                reinterpret_cast<DllGetClassObjectFunc>(
                    reinterpret_cast<void*>(::GetProcAddress(hModule, "DllGetClassObject")));
            IClassFactory* pFactory = NULL;
            if (pfnGetClassObject != NULL &&
                SUCCEEDED(pfnGetClassObject(m_clsid, IID_IClassFactory, (LPVOID*)&pFactory)) && pFactory != NULL) {
                if (FAILED(pFactory->CreateInstance(NULL, IID_IOleObject, (LPVOID*)&pOleControl)))
                    pOleControl = NULL;
                pFactory->Release();
            }
        }
    }
    if (pOleControl == NULL) {
        if (FAILED(::CoCreateInstance(m_clsid, NULL, CLSCTX_ALL, IID_IOleControl, (LPVOID*)&pOleControl)))
            pOleControl = NULL;
    }
    if (pOleControl == NULL) return false;
    pOleControl->QueryInterface(IID_IOleObject, (LPVOID*)&m_pUnk);
    pOleControl->Release();
    if (m_pUnk == NULL) return false;

    m_pControl = new CActiveXCtrl;
    m_pControl->m_pOwner = this;
    DWORD dwMiscStatus = 0;
    m_pUnk->GetMiscStatus(DVASPECT_CONTENT, &dwMiscStatus);
    IOleClientSite* pOleClientSite = NULL;
    m_pControl->QueryInterface(IID_IOleClientSite, (LPVOID*)&pOleClientSite);

    HRESULT hr = S_OK;
    if ((dwMiscStatus & OLEMISC_SETCLIENTSITEFIRST) != 0) m_pUnk->SetClientSite(pOleClientSite);
    IPersistStreamInit* pPersistStreamInit = NULL;
    m_pUnk->QueryInterface(IID_IPersistStreamInit, (LPVOID*)&pPersistStreamInit);
    if (pPersistStreamInit != NULL) {
        hr = pPersistStreamInit->InitNew();
        pPersistStreamInit->Release();
    }
    if (FAILED(hr)) {
        pOleClientSite->Release();
        return false;
    }
    if ((dwMiscStatus & OLEMISC_SETCLIENTSITEFIRST) == 0) m_pUnk->SetClientSite(pOleClientSite);

    hr = m_pUnk->QueryInterface(IID_IViewObjectEx, (LPVOID*)&m_pControl->m_pViewObject);
    if (FAILED(hr)) hr = m_pUnk->QueryInterface(IID_IViewObject2, (LPVOID*)&m_pControl->m_pViewObject);
    if (FAILED(hr)) hr = m_pUnk->QueryInterface(IID_IViewObject, (LPVOID*)&m_pControl->m_pViewObject);

    m_pUnk->SetHostNames(L"UIActiveX", NULL);
    if (m_pManager != NULL) m_pManager->SendNotify(this, L"showactivex", 0, 0, false);
    // The notification's handler may have released the object.
    if (m_pUnk == NULL || m_pControl == NULL) {
        pOleClientSite->Release();
        return false;
    }
    if ((dwMiscStatus & OLEMISC_INVISIBLEATRUNTIME) == 0) {
        HWND hWndPaint = m_pManager != NULL ? m_pManager->GetPaintWindow() : NULL;
        hr = m_pUnk->DoVerb(OLEIVERB_INPLACEACTIVATE, NULL, pOleClientSite, 0, hWndPaint, &m_rcItem);
    }
    if (m_pUnk != NULL) {
        IObjectWithSite* pSite = NULL;
        m_pUnk->QueryInterface(IID_IObjectWithSite, (LPVOID*)&pSite);
        if (pSite != NULL) {
            pSite->SetSite(static_cast<IOleClientSite*>(m_pControl));
            pSite->Release();
        }
    }
    pOleClientSite->Release();
    return SUCCEEDED(hr);
}

} // namespace Veneer
