#include "UIActiveXSite.h"

#include <new>

namespace Veneer {

namespace {

// Child-window timer that keeps a layered window's copy of the object fresh and blinks the caret.
const UINT_PTR kLayeredTimerId = 20;

} // namespace

// ---------------------------------------------------------------------------------------------
// CActiveXWnd

CActiveXWnd::CActiveXWnd() : m_pOwner(NULL), m_iLayeredTick(0), m_bDrawCaret(false) {}

HWND CActiveXWnd::Init(CActiveXCtrl* pOwner, HWND hWndParent)
{
    m_pOwner = pOwner;
    CActiveXUI* pUI = pOwner->m_pOwner;
    DWORD dwStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (pUI != NULL && pUI->IsVisible()) dwStyle |= WS_VISIBLE;
    RECT rc = {0, 0, 0, 0};
    if (pUI != NULL) rc = pUI->GetPos();
    return Create(hWndParent, L"UIActiveX", dwStyle, 0, rc);
}

const wchar_t* CActiveXWnd::GetWindowClassName() const
{
    return L"ActiveXWnd";
}

bool CActiveXWnd::IsLayeredHost() const
{
    CActiveXUI* pUI = m_pOwner ? m_pOwner->m_pOwner : NULL;
    return pUI != NULL && pUI->GetManager() != NULL && pUI->GetManager()->IsLayered();
}

void CActiveXWnd::DoVerb(LONG iVerb)
{
    if (m_pOwner == NULL || m_pOwner->m_pOwner == NULL) return;
    CActiveXUI* pUI = m_pOwner->m_pOwner;
    IOleObject* pObject = NULL;
    if (FAILED(pUI->GetControl(IID_IOleObject, (void**)&pObject)) || pObject == NULL) return;
    IOleClientSite* pSite = NULL;
    m_pOwner->QueryInterface(IID_IOleClientSite, (void**)&pSite);
    RECT rc = pUI->GetPos();
    pObject->DoVerb(iVerb, NULL, pSite, 0, m_hWnd, &rc);
    if (pSite) pSite->Release();
    pObject->Release();
}

LRESULT CActiveXWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CActiveXUI* pUI = m_pOwner ? m_pOwner->m_pOwner : NULL;
    switch (uMsg) {
    case WM_CREATE:
        if (pUI != NULL && pUI->GetManager() != NULL) {
            pUI->GetManager()->AddNativeWindow(pUI, m_hWnd);
            if (pUI->GetManager()->IsLayered()) ::SetTimer(m_hWnd, kLayeredTimerId, 50, NULL);
        }
        return 0;
    case WM_TIMER:
        if (wParam != kLayeredTimerId) break;
        if (IsLayeredHost()) {
            pUI->GetManager()->AddNativeWindow(pUI, m_hWnd);
            if (++m_iLayeredTick % 10 == 0) m_bDrawCaret = !m_bDrawCaret;
        }
        return 0;
    case WM_SETFOCUS:
        if (m_pOwner != NULL) {
            m_pOwner->m_bFocused = true;
            if (!m_pOwner->m_bUIActivated) DoVerb(OLEIVERB_UIACTIVATE);
        }
        break;
    case WM_KILLFOCUS:
        if (m_pOwner != NULL) m_pOwner->m_bFocused = false;
        break;
    case WM_MOUSEACTIVATE: {
        if (pUI == NULL || pUI->m_pUnk == NULL) break;
        DWORD dwMisc = 0;
        pUI->m_pUnk->GetMiscStatus(DVASPECT_CONTENT, &dwMisc);
        if ((dwMisc & OLEMISC_NOUIACTIVATE) != 0) return 0;
        if (!m_pOwner->m_bInPlaceActive) DoVerb(OLEIVERB_INPLACEACTIVATE);
        break;
    }
    case WM_ERASEBKGND:
        if (m_pOwner != NULL && m_pOwner->m_pViewObject != NULL) return 1;
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        ::BeginPaint(m_hWnd, &ps);
        ::EndPaint(m_hWnd, &ps);
        return 1;
    }
    case WM_PRINT: {
        if (m_pOwner == NULL || m_pOwner->m_pViewObject == NULL) return 1;
        HDC hDC = reinterpret_cast<HDC>(wParam);
        RECT rcClient;
        ::GetClientRect(m_hWnd, &rcClient);
        m_pOwner->m_pViewObject->Draw(DVASPECT_CONTENT, -1, NULL, NULL, NULL, hDC,
                                      reinterpret_cast<RECTL*>(&rcClient), NULL, NULL, 0);
        if (m_bDrawCaret && pUI != NULL && pUI->GetManager() != NULL) {
            GUITHREADINFO gti = {};
            gti.cbSize = sizeof(gti);
            if (::GetGUIThreadInfo(0, &gti) && gti.hwndCaret != NULL) {
                POINT pt = {gti.rcCaret.left, gti.rcCaret.top};
                ::ClientToScreen(gti.hwndCaret, &pt);
                ::ScreenToClient(pUI->GetManager()->GetPaintWindow(), &pt);
                const RECT& rcOwner = pUI->GetPos();
                if (::PtInRect(&rcOwner, pt)) {
                    HPEN hPen = ::CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
                    HGDIOBJ hOld = ::SelectObject(hDC, hPen);
                    ::MoveToEx(hDC, gti.rcCaret.left, gti.rcCaret.top, NULL);
                    ::LineTo(hDC, gti.rcCaret.left, gti.rcCaret.bottom);
                    ::SelectObject(hDC, hOld);
                    ::DeleteObject(hPen);
                }
            }
        }
        return 1;
    }
    case WM_MOUSEWHEEL:
        return 0;
    default:
        break;
    }
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void CActiveXWnd::OnFinalMessage(HWND hWnd)
{
    CActiveXUI* pUI = m_pOwner ? m_pOwner->m_pOwner : NULL;
    if (pUI != NULL && pUI->GetManager() != NULL) pUI->GetManager()->RemoveNativeWindow(hWnd);
}

// ---------------------------------------------------------------------------------------------
// CActiveXCtrl

CActiveXCtrl::CActiveXCtrl()
    : m_dwRef(1), m_pOwner(NULL), m_pWindow(NULL), m_pUnkSite(NULL), m_pViewObject(NULL), m_pInPlaceObject(NULL),
      m_hAccel(NULL), m_bLocked(false), m_bFocused(false), m_bCaptured(false), m_bUIActivated(false),
      m_bInPlaceActive(false), m_bWindowless(true)
{
}

CActiveXCtrl::~CActiveXCtrl()
{
    if (m_pWindow != NULL) {
        if (::IsWindow(*m_pWindow)) ::DestroyWindow(*m_pWindow);
        delete m_pWindow;
        m_pWindow = NULL;
    }
    if (m_pUnkSite != NULL) m_pUnkSite->Release();
    if (m_pViewObject != NULL) m_pViewObject->Release();
    if (m_pInPlaceObject != NULL) m_pInPlaceObject->Release();
    if (m_hAccel != NULL) ::DestroyAcceleratorTable(m_hAccel);
}

HWND CActiveXCtrl::HostWindow() const
{
    return m_pOwner ? m_pOwner->m_hwndHost : NULL;
}

STDMETHODIMP CActiveXCtrl::QueryInterface(REFIID riid, void** ppvObject)
{
    if (ppvObject == NULL) return E_POINTER;
    *ppvObject = NULL;
    if (riid == IID_IUnknown || riid == IID_IOleInPlaceSiteWindowless || riid == IID_IOleInPlaceSiteEx ||
        riid == IID_IOleInPlaceSite || riid == IID_IOleWindow)
        *ppvObject = static_cast<IOleInPlaceSiteWindowless*>(this);
    else if (riid == IID_IOleClientSite)
        *ppvObject = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleControlSite)
        *ppvObject = static_cast<IOleControlSite*>(this);
    else if (riid == IID_IOleContainer || riid == IID_IParseDisplayName)
        *ppvObject = static_cast<IOleContainer*>(this);
    else if (riid == IID_IObjectWithSite)
        *ppvObject = static_cast<IObjectWithSite*>(this);
    if (*ppvObject == NULL) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CActiveXCtrl::AddRef()
{
    return ++m_dwRef;
}

STDMETHODIMP_(ULONG) CActiveXCtrl::Release()
{
    ULONG lRef = --m_dwRef;
    if (lRef == 0) delete this;
    return lRef;
}

STDMETHODIMP CActiveXCtrl::SetSite(IUnknown* pUnkSite)
{
    if (m_pUnkSite != NULL) {
        m_pUnkSite->Release();
        m_pUnkSite = NULL;
    }
    if (pUnkSite != NULL) {
        m_pUnkSite = pUnkSite;
        m_pUnkSite->AddRef();
    }
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetSite(REFIID riid, void** ppvSite)
{
    if (ppvSite == NULL) return E_POINTER;
    *ppvSite = NULL;
    if (m_pUnkSite == NULL) return E_FAIL;
    return m_pUnkSite->QueryInterface(riid, ppvSite);
}

STDMETHODIMP CActiveXCtrl::SaveObject()
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::GetMoniker(DWORD, DWORD, IMoniker** ppmk)
{
    if (ppmk != NULL) *ppmk = NULL;
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::GetContainer(IOleContainer** ppContainer)
{
    if (ppContainer == NULL) return E_POINTER;
    *ppContainer = NULL;
    HRESULT hr = E_NOTIMPL;
    if (m_pUnkSite != NULL) hr = m_pUnkSite->QueryInterface(IID_IOleContainer, (void**)ppContainer);
    if (FAILED(hr)) hr = QueryInterface(IID_IOleContainer, (void**)ppContainer);
    return hr;
}

STDMETHODIMP CActiveXCtrl::ShowObject()
{
    if (m_pOwner == NULL) return E_UNEXPECTED;
    HDC hDC = ::GetDC(m_pOwner->m_hwndHost);
    if (hDC == NULL) return E_FAIL;
    if (m_pViewObject != NULL) {
        RECT rc = m_pOwner->GetPos();
        m_pViewObject->Draw(DVASPECT_CONTENT, -1, NULL, NULL, NULL, hDC, reinterpret_cast<RECTL*>(&rc),
                            reinterpret_cast<RECTL*>(&rc), NULL, 0);
    }
    ::ReleaseDC(m_pOwner->m_hwndHost, hDC);
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::OnShowWindow(WINBOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::RequestNewObjectLayout()
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::CanWindowlessActivate()
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetCapture()
{
    if (m_pOwner == NULL) return E_UNEXPECTED;
    return m_bCaptured ? S_OK : S_FALSE;
}

STDMETHODIMP CActiveXCtrl::SetCapture(WINBOOL fCapture)
{
    if (m_pOwner == NULL) return E_UNEXPECTED;
    m_bCaptured = (fCapture == TRUE);
    if (m_bCaptured)
        ::SetCapture(m_pOwner->m_hwndHost);
    else
        ::ReleaseCapture();
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetFocus()
{
    if (m_pOwner == NULL) return E_UNEXPECTED;
    return m_bFocused ? S_OK : S_FALSE;
}

STDMETHODIMP CActiveXCtrl::SetFocus(WINBOOL fFocus)
{
    if (m_pOwner == NULL) return E_UNEXPECTED;
    if (fFocus) m_pOwner->SetFocus();
    m_bFocused = (fFocus == TRUE);
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetDC(LPCRECT, DWORD grfFlags, HDC* phDC)
{
    if (phDC == NULL) return E_POINTER;
    // Refused or not, the caller finds no stale handle in its out parameter (S_FALSE is success).
    *phDC = NULL;
    if (m_pOwner == NULL) return E_UNEXPECTED;
    if (m_bWindowless) return S_FALSE;
    *phDC = ::GetDC(m_pOwner->m_hwndHost);
    if (*phDC == NULL) return E_FAIL;
    if ((grfFlags & OLEDC_PAINTBKGND) != 0) {
        RECT rc = m_pOwner->GetPos();
        ::OffsetRect(&rc, -rc.left, -rc.top);
        ::FillRect(*phDC, &rc, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    }
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::ReleaseDC(HDC hDC)
{
    if (m_pOwner == NULL) return E_UNEXPECTED;
    ::ReleaseDC(m_pOwner->m_hwndHost, hDC);
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::InvalidateRect(LPCRECT pRect, WINBOOL fErase)
{
    if (m_pOwner == NULL) return E_UNEXPECTED;
    if (m_pOwner->m_hwndHost == NULL) return E_FAIL;
    return ::InvalidateRect(m_pOwner->m_hwndHost, pRect, fErase) ? S_OK : E_FAIL;
}

STDMETHODIMP CActiveXCtrl::InvalidateRgn(HRGN hRGN, WINBOOL fErase)
{
    if (m_pOwner == NULL) return E_UNEXPECTED;
    return ::InvalidateRgn(m_pOwner->m_hwndHost, hRGN, fErase) ? S_OK : E_FAIL;
}

STDMETHODIMP CActiveXCtrl::ScrollRect(INT, INT, LPCRECT, LPCRECT)
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::AdjustRect(LPRECT)
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::OnDefWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* plResult)
{
    if (m_pOwner == NULL) return E_UNEXPECTED;
    if (plResult == NULL) return E_POINTER;
    *plResult = ::DefWindowProcW(m_pOwner->m_hwndHost, msg, wParam, lParam);
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::OnInPlaceActivateEx(WINBOOL*, DWORD dwFlags)
{
    if (m_pOwner == NULL || m_pOwner->m_pUnk == NULL) return E_UNEXPECTED;
    m_pOwner->LockRunning();
    if (m_pInPlaceObject != NULL) {
        m_pInPlaceObject->Release();
        m_pInPlaceObject = NULL;
    }
    CPaintManagerUI* pManager = m_pOwner->GetManager();
    HRESULT hr = E_FAIL;
    if ((dwFlags & ACTIVATE_WINDOWLESS) != 0 && pManager != NULL) {
        m_bWindowless = true;
        hr = m_pOwner->m_pUnk->QueryInterface(IID_IOleInPlaceObjectWindowless, (void**)&m_pInPlaceObject);
        if (SUCCEEDED(hr)) {
            m_pOwner->m_hwndHost = pManager->GetPaintWindow();
            m_pOwner->JoinMessageFilters();
        }
    }
    if (FAILED(hr)) {
        m_bWindowless = false;
        hr = CreateActiveXWnd();
        if (FAILED(hr)) return hr;
        hr = m_pOwner->m_pUnk->QueryInterface(IID_IOleInPlaceObject, (void**)&m_pInPlaceObject);
    }
    if (m_pInPlaceObject != NULL) {
        RECT rc = m_pOwner->GetPos();
        if (!m_bWindowless) ::OffsetRect(&rc, -rc.left, -rc.top);
        m_pInPlaceObject->SetObjectRects(&rc, &rc);
    }
    m_bInPlaceActive = SUCCEEDED(hr);
    return hr;
}

STDMETHODIMP CActiveXCtrl::OnInPlaceDeactivateEx(WINBOOL)
{
    m_bInPlaceActive = false;
    if (m_pInPlaceObject != NULL) {
        m_pInPlaceObject->Release();
        m_pInPlaceObject = NULL;
    }
    if (m_pWindow != NULL) {
        if (m_pOwner != NULL && m_pOwner->m_hwndHost == m_pWindow->GetHWND()) m_pOwner->m_hwndHost = NULL;
        if (::IsWindow(*m_pWindow)) ::DestroyWindow(*m_pWindow);
        delete m_pWindow;
        m_pWindow = NULL;
    }
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::RequestUIActivate()
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::CanInPlaceActivate()
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::OnInPlaceActivate()
{
    WINBOOL bDummy = FALSE;
    return OnInPlaceActivateEx(&bDummy, 0);
}

STDMETHODIMP CActiveXCtrl::OnUIActivate()
{
    m_bUIActivated = true;
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                            LPRECT lprcPosRect, LPRECT lprcClipRect,
                                            LPOLEINPLACEFRAMEINFO lpFrameInfo)
{
    if (ppDoc == NULL || ppFrame == NULL || lprcPosRect == NULL || lprcClipRect == NULL) return E_POINTER;
    *ppFrame = NULL;
    *ppDoc = NULL;
    if (m_pOwner == NULL || m_pOwner->GetManager() == NULL) return E_UNEXPECTED;
    if (m_pWindow != NULL) {
        ::GetClientRect(*m_pWindow, lprcPosRect);
        ::GetClientRect(*m_pWindow, lprcClipRect);
    }
    *ppFrame = new CActiveXFrameWnd(this);
    if (lpFrameInfo != NULL) {
        if (m_hAccel == NULL) {
            ACCEL ac = {};
            m_hAccel = ::CreateAcceleratorTableW(&ac, 1);
        }
        lpFrameInfo->cb = sizeof(OLEINPLACEFRAMEINFO);
        lpFrameInfo->fMDIApp = FALSE;
        lpFrameInfo->hwndFrame = m_pOwner->GetManager()->GetPaintWindow();
        lpFrameInfo->haccel = m_hAccel;
        lpFrameInfo->cAccelEntries = 1;
    }
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::Scroll(SIZE)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::OnUIDeactivate(WINBOOL)
{
    m_bUIActivated = false;
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::OnInPlaceDeactivate()
{
    return OnInPlaceDeactivateEx(TRUE);
}

STDMETHODIMP CActiveXCtrl::DiscardUndoState()
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::DeactivateAndUndo()
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::OnPosRectChange(LPCRECT)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::GetWindow(HWND* phwnd)
{
    if (phwnd == NULL) return E_POINTER;
    if (m_pOwner == NULL) return E_UNEXPECTED;
    if (m_pOwner->m_hwndHost == NULL) CreateActiveXWnd();
    if (m_pOwner->m_hwndHost == NULL) return E_FAIL;
    *phwnd = m_pOwner->m_hwndHost;
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::ContextSensitiveHelp(WINBOOL)
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::OnControlInfoChanged()
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::LockInPlaceActive(WINBOOL)
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetExtendedControl(IDispatch** ppDisp)
{
    if (ppDisp == NULL) return E_POINTER;
    if (m_pOwner == NULL || m_pOwner->m_pUnk == NULL) return E_UNEXPECTED;
    return m_pOwner->m_pUnk->QueryInterface(IID_IDispatch, (void**)ppDisp);
}

STDMETHODIMP CActiveXCtrl::TransformCoords(POINTL*, POINTF*, DWORD)
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::TranslateAccelerator(MSG*, DWORD)
{
    return S_FALSE;
}

STDMETHODIMP CActiveXCtrl::OnFocus(WINBOOL fGotFocus)
{
    m_bFocused = (fGotFocus == TRUE);
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::ShowPropertyFrame()
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::EnumObjects(DWORD, IEnumUnknown** ppenum)
{
    if (ppenum == NULL) return E_POINTER;
    if (m_pOwner == NULL) return E_UNEXPECTED;
    *ppenum = new CActiveXEnum(m_pOwner->m_pUnk);
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::LockContainer(WINBOOL fLock)
{
    m_bLocked = (fLock != FALSE);
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**)
{
    return E_NOTIMPL;
}

HRESULT CActiveXCtrl::CreateActiveXWnd()
{
    if (m_pWindow != NULL) return S_OK;
    if (m_pOwner == NULL || m_pOwner->GetManager() == NULL) return E_UNEXPECTED;
    m_pWindow = new (std::nothrow) CActiveXWnd;
    if (m_pWindow == NULL) return E_OUTOFMEMORY;
    HWND hWnd = m_pWindow->Init(this, m_pOwner->GetManager()->GetPaintWindow());
    if (hWnd == NULL) {
        delete m_pWindow;
        m_pWindow = NULL;
        return E_FAIL;
    }
    m_pOwner->m_hwndHost = hWnd;
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// CActiveXFrameWnd

CActiveXFrameWnd::CActiveXFrameWnd(CActiveXCtrl* pSite) : m_dwRef(1), m_pSite(pSite), m_pActiveObject(NULL)
{
    m_pSite->AddRef();
}

CActiveXFrameWnd::~CActiveXFrameWnd()
{
    if (m_pActiveObject != NULL) m_pActiveObject->Release();
    m_pSite->Release();
}

STDMETHODIMP CActiveXFrameWnd::QueryInterface(REFIID riid, void** ppvObject)
{
    if (ppvObject == NULL) return E_POINTER;
    *ppvObject = NULL;
    if (riid == IID_IUnknown || riid == IID_IOleWindow || riid == IID_IOleInPlaceFrame ||
        riid == IID_IOleInPlaceUIWindow)
        *ppvObject = static_cast<IOleInPlaceFrame*>(this);
    if (*ppvObject == NULL) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CActiveXFrameWnd::AddRef()
{
    return ++m_dwRef;
}

STDMETHODIMP_(ULONG) CActiveXFrameWnd::Release()
{
    ULONG lRef = --m_dwRef;
    if (lRef == 0) delete this;
    return lRef;
}

STDMETHODIMP CActiveXFrameWnd::GetWindow(HWND* phwnd)
{
    if (phwnd == NULL) return E_POINTER;
    CActiveXUI* pOwner = m_pSite->m_pOwner;
    if (pOwner == NULL || pOwner->GetManager() == NULL) return E_UNEXPECTED;
    *phwnd = pOwner->GetManager()->GetPaintWindow();
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::ContextSensitiveHelp(WINBOOL)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::GetBorder(LPRECT)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::RequestBorderSpace(LPCBORDERWIDTHS)
{
    return INPLACE_E_NOTOOLSPACE;
}

STDMETHODIMP CActiveXFrameWnd::SetBorderSpace(LPCBORDERWIDTHS)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::SetActiveObject(IOleInPlaceActiveObject* pActiveObject, LPCOLESTR)
{
    if (pActiveObject != NULL) pActiveObject->AddRef();
    if (m_pActiveObject != NULL) m_pActiveObject->Release();
    m_pActiveObject = pActiveObject;
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::SetMenu(HMENU, HOLEMENU, HWND)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::RemoveMenus(HMENU)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::SetStatusText(LPCOLESTR)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::EnableModeless(WINBOOL)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::TranslateAccelerator(LPMSG, WORD)
{
    return S_FALSE;
}

// ---------------------------------------------------------------------------------------------
// CActiveXEnum

CActiveXEnum::CActiveXEnum(IUnknown* pUnk) : m_dwRef(1), m_iPos(0), m_pUnk(pUnk)
{
    if (m_pUnk != NULL) m_pUnk->AddRef();
}

CActiveXEnum::~CActiveXEnum()
{
    if (m_pUnk != NULL) m_pUnk->Release();
}

STDMETHODIMP CActiveXEnum::QueryInterface(REFIID riid, void** ppvObject)
{
    if (ppvObject == NULL) return E_POINTER;
    *ppvObject = NULL;
    if (riid == IID_IUnknown || riid == IID_IEnumUnknown) *ppvObject = static_cast<IEnumUnknown*>(this);
    if (*ppvObject == NULL) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CActiveXEnum::AddRef()
{
    return ++m_dwRef;
}

STDMETHODIMP_(ULONG) CActiveXEnum::Release()
{
    ULONG lRef = --m_dwRef;
    if (lRef == 0) delete this;
    return lRef;
}

STDMETHODIMP CActiveXEnum::Next(ULONG celt, IUnknown** rgelt, ULONG* pceltFetched)
{
    if (pceltFetched != NULL) *pceltFetched = 0;
    // A request for nothing gets nothing: the caller's array may have no room at all.
    if (celt == 0) return S_OK;
    if (rgelt == NULL) return E_POINTER;
    if (++m_iPos > 1 || m_pUnk == NULL) return S_FALSE;
    *rgelt = m_pUnk;
    (*rgelt)->AddRef();
    if (pceltFetched != NULL) *pceltFetched = 1;
    return S_OK;
}

STDMETHODIMP CActiveXEnum::Skip(ULONG celt)
{
    m_iPos += static_cast<LONG>(celt);
    return S_OK;
}

STDMETHODIMP CActiveXEnum::Reset()
{
    m_iPos = 0;
    return S_OK;
}

STDMETHODIMP CActiveXEnum::Clone(IEnumUnknown**)
{
    return E_NOTIMPL;
}

} // namespace Veneer
