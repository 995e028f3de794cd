// Test control for the ActiveX host: one windowless and one windowed class, created only through
// this module's DllGetClassObject (never registered). The windowless object paints a solid colour,
// is hit only in the left half of its bounds and counts the window messages the host forwards; the
// windowed one fills a child window of its own inside the host's window. Both count running locks
// (IRunnableObject, so that OleLockRunning acts on them) and the module counts live objects.
// Tests read the counters through the exported AxTest* functions.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

extern "C" {
// {6B1C3F10-7A2E-4D8B-9C11-0A5E3D7F2B01}
const CLSID CLSID_AxTestWindowless = {0x6b1c3f10, 0x7a2e, 0x4d8b, {0x9c, 0x11, 0x0a, 0x5e, 0x3d, 0x7f, 0x2b, 0x01}};
// {6B1C3F10-7A2E-4D8B-9C11-0A5E3D7F2B02}
const CLSID CLSID_AxTestWindowed = {0x6b1c3f10, 0x7a2e, 0x4d8b, {0x9c, 0x11, 0x0a, 0x5e, 0x3d, 0x7f, 0x2b, 0x02}};
}

namespace {

// What the tests read back.
struct AxCounters {
    LONG liveObjects;
    LONG runLocks;          // running locks currently held on all objects
    LONG closedWhileLocked; // Close calls that found the object still locked running
    LONG mouseMessages;     // forwarded to OnWindowMessage
    LONG keyMessages;
    LONG otherMessages;
    UINT lastMessage;
    LONG windowContexts;    // GetWindowContext calls
    HACCEL firstAccel;
    HACCEL lastAccel;
    LONG initNews;
    LONG activations;
    LONG uiActivations;
};

AxCounters g_counters;
HMODULE g_hModule = NULL;
const COLORREF kWindowlessColour = RGB(0x30, 0x90, 0xD0);
const COLORREF kWindowedColour = RGB(0xD0, 0x60, 0x20);
const wchar_t kChildClass[] = L"AxTestControlChild";

LRESULT CALLBACK ChildProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC hDC = ::BeginPaint(hWnd, &ps);
        RECT rc;
        ::GetClientRect(hWnd, &rc);
        HBRUSH hBrush = ::CreateSolidBrush(kWindowedColour);
        ::FillRect(hDC, &rc, hBrush);
        ::DeleteObject(hBrush);
        ::EndPaint(hWnd, &ps);
        return 0;
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

class CAxTestObject final : public IOleObject,
                            public IOleControl,
                            public IOleInPlaceObjectWindowless,
                            public IViewObjectEx,
                            public IPersistStreamInit,
                            public IObjectWithSite,
                            public IRunnableObject
{
public:
    explicit CAxTestObject(bool bWindowed)
        : m_ref(1), m_bWindowed(bWindowed), m_locks(0), m_pClientSite(NULL), m_pInPlaceSite(NULL), m_pSite(NULL),
          m_bActive(false), m_hChild(NULL)
    {
        ::SetRectEmpty(&m_rcPos);
        m_extent.cx = m_extent.cy = 0;
        ::InterlockedIncrement(&g_counters.liveObjects);
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL) return E_POINTER;
        *ppv = NULL;
        if (riid == IID_IUnknown || riid == IID_IOleObject) *ppv = static_cast<IOleObject*>(this);
        else if (riid == IID_IOleControl) *ppv = static_cast<IOleControl*>(this);
        else if (riid == IID_IOleInPlaceObject || riid == IID_IOleWindow) *ppv = static_cast<IOleInPlaceObject*>(this);
        else if (riid == IID_IOleInPlaceObjectWindowless && !m_bWindowed)
            *ppv = static_cast<IOleInPlaceObjectWindowless*>(this);
        else if (riid == IID_IViewObject || riid == IID_IViewObject2 || riid == IID_IViewObjectEx)
            *ppv = static_cast<IViewObjectEx*>(this);
        else if (riid == IID_IPersistStreamInit || riid == IID_IPersist) *ppv = static_cast<IPersistStreamInit*>(this);
        else if (riid == IID_IObjectWithSite) *ppv = static_cast<IObjectWithSite*>(this);
        else if (riid == IID_IRunnableObject) *ppv = static_cast<IRunnableObject*>(this);
        if (*ppv == NULL) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_ref; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG ref = --m_ref;
        if (ref == 0) delete this;
        return ref;
    }

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* pClientSite) override
    {
        if (pClientSite) pClientSite->AddRef();
        if (m_pClientSite) m_pClientSite->Release();
        m_pClientSite = pClientSite;
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** pp) override
    {
        if (pp == NULL) return E_POINTER;
        *pp = m_pClientSite;
        if (m_pClientSite) m_pClientSite->AddRef();
        return S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD) override
    {
        if (m_locks > 0) ::InterlockedIncrement(&g_counters.closedWhileLocked);
        InPlaceDeactivate();
        return S_OK;
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, WINBOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG iVerb, LPMSG, IOleClientSite* pActiveSite, LONG, HWND, LPCRECT prc) override
    {
        if (iVerb == OLEIVERB_UIACTIVATE) {
            ::InterlockedIncrement(&g_counters.uiActivations);
            if (m_pInPlaceSite) m_pInPlaceSite->OnUIActivate();
            return S_OK;
        }
        if (iVerb != OLEIVERB_INPLACEACTIVATE && iVerb != OLEIVERB_SHOW) return E_NOTIMPL;
        if (m_bActive) return S_OK;
        IOleClientSite* pSite = pActiveSite ? pActiveSite : m_pClientSite;
        if (pSite == NULL) return E_UNEXPECTED;
        if (prc) m_rcPos = *prc;
        HRESULT hr;
        if (!m_bWindowed) {
            IOleInPlaceSiteWindowless* pWindowless = NULL;
            hr = pSite->QueryInterface(IID_IOleInPlaceSiteWindowless, (void**)&pWindowless);
            if (FAILED(hr)) return hr;
            if (pWindowless->CanWindowlessActivate() != S_OK) {
                pWindowless->Release();
                return E_FAIL;
            }
            WINBOOL bNoRedraw = FALSE;
            hr = pWindowless->OnInPlaceActivateEx(&bNoRedraw, ACTIVATE_WINDOWLESS);
            m_pInPlaceSite = pWindowless;
        } else {
            hr = pSite->QueryInterface(IID_IOleInPlaceSite, (void**)&m_pInPlaceSite);
            if (FAILED(hr)) return hr;
            hr = m_pInPlaceSite->OnInPlaceActivate();
        }
        if (FAILED(hr)) {
            m_pInPlaceSite->Release();
            m_pInPlaceSite = NULL;
            return hr;
        }
        m_bActive = true;
        ::InterlockedIncrement(&g_counters.activations);
        AskWindowContext();
        if (m_bWindowed) {
            HWND hParent = NULL;
            m_pInPlaceSite->GetWindow(&hParent);
            m_hChild = ::CreateWindowExW(0, kChildClass, L"", WS_CHILD | WS_VISIBLE, m_rcPos.left, m_rcPos.top,
                                         m_rcPos.right - m_rcPos.left, m_rcPos.bottom - m_rcPos.top, hParent, NULL,
                                         g_hModule, NULL);
        }
        return S_OK;
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* pClsid) override { return GetClassID(pClsid); }
    STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SetExtent(DWORD, SIZEL* psizel) override
    {
        if (psizel) m_extent = *psizel;
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD, SIZEL* psizel) override
    {
        if (psizel == NULL) return E_POINTER;
        *psizel = m_extent;
        return S_OK;
    }
    STDMETHODIMP Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* pdwStatus) override
    {
        if (pdwStatus == NULL) return E_POINTER;
        *pdwStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE;
        return S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO*) override { return E_NOTIMPL; }
    STDMETHODIMP OnMnemonic(MSG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
    STDMETHODIMP FreezeEvents(WINBOOL) override { return S_OK; }

    // IOleWindow / IOleInPlaceObject / IOleInPlaceObjectWindowless
    STDMETHODIMP GetWindow(HWND* phwnd) override
    {
        if (phwnd == NULL) return E_POINTER;
        *phwnd = m_hChild;
        return m_hChild ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(WINBOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override
    {
        if (!m_bActive) return S_OK;
        m_bActive = false;
        if (m_hChild) {
            ::DestroyWindow(m_hChild);
            m_hChild = NULL;
        }
        IOleInPlaceSite* pSite = m_pInPlaceSite;
        m_pInPlaceSite = NULL;
        if (pSite) {
            pSite->OnInPlaceDeactivate();
            pSite->Release();
        }
        return S_OK;
    }
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT lprcPosRect, LPCRECT) override
    {
        if (lprcPosRect == NULL) return E_POINTER;
        m_rcPos = *lprcPosRect;
        if (m_hChild)
            ::MoveWindow(m_hChild, m_rcPos.left, m_rcPos.top, m_rcPos.right - m_rcPos.left,
                         m_rcPos.bottom - m_rcPos.top, TRUE);
        return S_OK;
    }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnWindowMessage(UINT msg, WPARAM, LPARAM, LRESULT* plResult) override
    {
        if (msg >= WM_MOUSEFIRST && msg <= 0x20D)
            ::InterlockedIncrement(&g_counters.mouseMessages);
        else if (msg >= WM_KEYFIRST && msg <= WM_KEYLAST)
            ::InterlockedIncrement(&g_counters.keyMessages);
        else
            ::InterlockedIncrement(&g_counters.otherMessages);
        g_counters.lastMessage = msg;
        if (plResult) *plResult = 0;
        return S_OK;
    }
    STDMETHODIMP GetDropTarget(IDropTarget** pp) override
    {
        if (pp) *pp = NULL;
        return E_NOTIMPL;
    }

    // IViewObject / IViewObject2 / IViewObjectEx
    STDMETHODIMP Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw, LPCRECTL lprcBounds, LPCRECTL,
                      WINBOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override
    {
        if (hdcDraw == NULL || lprcBounds == NULL) return E_INVALIDARG;
        RECT rc = {lprcBounds->left, lprcBounds->top, lprcBounds->right, lprcBounds->bottom};
        HBRUSH hBrush = ::CreateSolidBrush(m_bWindowed ? kWindowedColour : kWindowlessColour);
        ::FillRect(hdcDraw, &rc, hBrush);
        ::DeleteObject(hBrush);
        return S_OK;
    }
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override { return E_NOTIMPL; }
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD, DWORD, IAdviseSink*) override { return S_OK; }
    STDMETHODIMP GetAdvise(DWORD*, DWORD*, IAdviseSink**) override { return E_NOTIMPL; }
    STDMETHODIMP GetExtent(DWORD, LONG, DVTARGETDEVICE*, LPSIZEL lpsizel) override
    {
        if (lpsizel == NULL) return E_POINTER;
        *lpsizel = m_extent;
        return S_OK;
    }
    STDMETHODIMP GetRect(DWORD, LPRECTL) override { return E_NOTIMPL; }
    STDMETHODIMP GetViewStatus(DWORD* pdwStatus) override
    {
        if (pdwStatus) *pdwStatus = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
        return S_OK;
    }
    // Hit only in the left half of the bounds.
    STDMETHODIMP QueryHitPoint(DWORD, LPCRECT pRectBounds, POINT ptlLoc, LONG, DWORD* pHitResult) override
    {
        if (pRectBounds == NULL || pHitResult == NULL) return E_POINTER;
        RECT rcHit = *pRectBounds;
        rcHit.right = rcHit.left + (rcHit.right - rcHit.left) / 2;
        *pHitResult = ::PtInRect(&rcHit, ptlLoc) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
        return S_OK;
    }
    STDMETHODIMP QueryHitRect(DWORD, LPCRECT, LPCRECT, LONG, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) override
    {
        return E_NOTIMPL;
    }

    // IPersist / IPersistStreamInit
    STDMETHODIMP GetClassID(CLSID* pClsid) override
    {
        if (pClsid == NULL) return E_POINTER;
        *pClsid = m_bWindowed ? CLSID_AxTestWindowed : CLSID_AxTestWindowless;
        return S_OK;
    }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(LPSTREAM) override { return S_OK; }
    STDMETHODIMP Save(LPSTREAM, WINBOOL) override { return S_OK; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP InitNew() override
    {
        ::InterlockedIncrement(&g_counters.initNews);
        return S_OK;
    }

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* pUnkSite) override
    {
        if (pUnkSite) pUnkSite->AddRef();
        if (m_pSite) m_pSite->Release();
        m_pSite = pUnkSite;
        return S_OK;
    }
    STDMETHODIMP GetSite(REFIID riid, void** ppvSite) override
    {
        if (ppvSite == NULL) return E_POINTER;
        *ppvSite = NULL;
        return m_pSite ? m_pSite->QueryInterface(riid, ppvSite) : E_FAIL;
    }

    // IRunnableObject: a running lock is a strong reference, as the platform's objects keep it.
    STDMETHODIMP GetRunningClass(LPCLSID lpClsid) override { return GetClassID(lpClsid); }
    STDMETHODIMP Run(LPBINDCTX) override { return S_OK; }
    WINBOOL STDMETHODCALLTYPE IsRunning() override { return TRUE; }
    STDMETHODIMP LockRunning(WINBOOL fLock, WINBOOL fLastUnlockCloses) override
    {
        if (fLock) {
            ++m_locks;
            ::InterlockedIncrement(&g_counters.runLocks);
            AddRef();
            return S_OK;
        }
        if (m_locks == 0) return S_OK;
        --m_locks;
        ::InterlockedDecrement(&g_counters.runLocks);
        if (m_locks == 0 && fLastUnlockCloses) Close(OLECLOSE_NOSAVE);
        Release();
        return S_OK;
    }
    STDMETHODIMP SetContainedObject(WINBOOL) override { return S_OK; }

private:
    ~CAxTestObject()
    {
        if (m_hChild) ::DestroyWindow(m_hChild);
        if (m_pInPlaceSite) m_pInPlaceSite->Release();
        if (m_pClientSite) m_pClientSite->Release();
        if (m_pSite) m_pSite->Release();
        ::InterlockedDecrement(&g_counters.liveObjects);
    }

    void AskWindowContext()
    {
        IOleInPlaceFrame* pFrame = NULL;
        IOleInPlaceUIWindow* pDoc = NULL;
        RECT rcPos, rcClip;
        OLEINPLACEFRAMEINFO info = {};
        info.cb = sizeof(info);
        if (SUCCEEDED(m_pInPlaceSite->GetWindowContext(&pFrame, &pDoc, &rcPos, &rcClip, &info))) {
            ::InterlockedIncrement(&g_counters.windowContexts);
            if (g_counters.firstAccel == NULL) g_counters.firstAccel = info.haccel;
            g_counters.lastAccel = info.haccel;
        }
        if (pFrame) pFrame->Release();
        if (pDoc) pDoc->Release();
    }

    ULONG m_ref;
    bool m_bWindowed;
    LONG m_locks;
    IOleClientSite* m_pClientSite;
    IOleInPlaceSite* m_pInPlaceSite;
    IUnknown* m_pSite;
    bool m_bActive;
    HWND m_hChild;
    RECT m_rcPos;
    SIZEL m_extent;
};

class CAxTestFactory final : public IClassFactory
{
public:
    explicit CAxTestFactory(bool bWindowed) : m_bWindowed(bWindowed) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL) return E_POINTER;
        *ppv = NULL;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override
    {
        if (ppv == NULL) return E_POINTER;
        *ppv = NULL;
        if (pOuter != NULL) return CLASS_E_NOAGGREGATION;
        CAxTestObject* pObject = new CAxTestObject(m_bWindowed);
        HRESULT hr = pObject->QueryInterface(riid, ppv);
        pObject->Release();
        return hr;
    }
    STDMETHODIMP LockServer(WINBOOL) override { return S_OK; }

private:
    bool m_bWindowed;
};

CAxTestFactory g_windowlessFactory(false);
CAxTestFactory g_windowedFactory(true);

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_hModule = hInstance;
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ChildProc;
        wc.hInstance = hInstance;
        wc.lpszClassName = kChildClass;
        ::RegisterClassW(&wc);
    }
    return TRUE;
}

__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (ppv == NULL) return E_POINTER;
    *ppv = NULL;
    if (rclsid == CLSID_AxTestWindowless) return g_windowlessFactory.QueryInterface(riid, ppv);
    if (rclsid == CLSID_AxTestWindowed) return g_windowedFactory.QueryInterface(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

__declspec(dllexport) void WINAPI AxTestCounters(AxCounters* pOut)
{
    if (pOut) *pOut = g_counters;
}

// Clears the message and context counters; the live-object and lock counts stay.
__declspec(dllexport) void WINAPI AxTestResetMessages()
{
    g_counters.mouseMessages = g_counters.keyMessages = g_counters.otherMessages = 0;
    g_counters.lastMessage = 0;
    g_counters.windowContexts = 0;
    g_counters.firstAccel = g_counters.lastAccel = NULL;
    g_counters.initNews = g_counters.activations = g_counters.uiActivations = 0;
    g_counters.closedWhileLocked = 0;
}

} // extern "C"
