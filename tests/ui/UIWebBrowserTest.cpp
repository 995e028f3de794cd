// Web browser control with the platform's browser object under Wine: creation in a child window,
// home-page navigation, event connection, re-creation and teardown; the control's COM answers by
// direct calls. Wine has no HTML engine here: navigation ends in NavigateError and no document
// exists, so the document paths (UI handler installation, script errors, page downloads, in-page
// shortcuts) are only reached through the direct calls below.
#include "UIControlsTestSupport.h"
#include "UIActiveXTestSupport.h"
#include "UIWebBrowser.h"
#include "UIDlgBuilder.h"

#include <exdispid.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace Veneer;
using namespace controlstest;
using namespace axtest;

namespace {

const RECT kRect = {20, 30, 320, 230};

// The browser's events as a second listener sees them; connected at "showactivex", before the
// control can navigate.
class EventSink : public IDispatch, public INotifyUI {
public:
    std::vector<DISPID> events;
    std::vector<std::wstring> beforeUrls;
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;

    void Connect(IUnknown* browser)
    {
        IConnectionPointContainer* cpc = nullptr;
        if (FAILED(browser->QueryInterface(IID_IConnectionPointContainer, (void**)&cpc))) return;
        if (SUCCEEDED(cpc->FindConnectionPoint(DIID_DWebBrowserEvents2, &point)))
            point->Advise(static_cast<IDispatch*>(this), &cookie);
        cpc->Release();
    }
    void Disconnect()
    {
        if (point) {
            point->Unadvise(cookie);
            point->Release();
            point = nullptr;
        }
    }
    bool Saw(DISPID id) const
    {
        for (DISPID d : events)
            if (d == id) return true;
        return false;
    }
    void Notify(TNotifyRecord& msg) override
    {
        if (msg.sType != L"showactivex" || point) return;
        CWebBrowserUI* web = static_cast<CWebBrowserUI*>(msg.pSender->GetInterface(L"WebBrowser"));
        IUnknown* unk = nullptr;
        if (web && SUCCEEDED(web->GetControl(IID_IUnknown, (void**)&unk))) {
            Connect(unk);
            unk->Release();
        }
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) {
            *ppv = static_cast<IDispatch*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override
    {
        events.push_back(id);
        if (id == DISPID_BEFORENAVIGATE2 && params && params->cArgs == 7) {
            VARIANT* url = &params->rgvarg[5];
            if (url->vt == (VT_BYREF | VT_VARIANT)) url = url->pvarVal;
            beforeUrls.push_back(url->vt == VT_BSTR && url->bstrVal ? url->bstrVal : L"");
        }
        return S_OK;
    }
};

// Counts the events that reach the control's own connection.
class CountingBrowser : public CWebBrowserUI {
public:
    int invokes = 0;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* ex, UINT* arg) override
    {
        ++invokes;
        return CWebBrowserUI::Invoke(id, riid, lcid, flags, params, result, ex, arg);
    }
};

// The window's client area as it stands on the display, written as a 24-bit BMP.
bool SaveClientBmp(HWND hWnd, const std::wstring& path)
{
    RECT rc;
    ::GetClientRect(hWnd, &rc);
    const int w = rc.right, h = rc.bottom;
    HDC hWndDC = ::GetDC(hWnd);
    HDC hMem = ::CreateCompatibleDC(hWndDC);
    HBITMAP hBmp = ::CreateCompatibleBitmap(hWndDC, w, h);
    HGDIOBJ old = ::SelectObject(hMem, hBmp);
    ::BitBlt(hMem, 0, 0, w, h, hWndDC, 0, 0, SRCCOPY);
    ::SelectObject(hMem, old);
    BITMAPINFOHEADER ih = {};
    ih.biSize = sizeof(ih);
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    const int stride = (w * 3 + 3) & ~3;
    ih.biSizeImage = (DWORD)(stride * h);
    std::string bits(ih.biSizeImage, '\0');
    ::GetDIBits(hMem, hBmp, 0, h, &bits[0], (BITMAPINFO*)&ih, DIB_RGB_COLORS);
    ::DeleteObject(hBmp);
    ::DeleteDC(hMem);
    ::ReleaseDC(hWnd, hWndDC);
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    std::string data((const char*)&fh, sizeof(fh));
    data.append((const char*)&ih, sizeof(ih));
    data += bits;
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(f, data.data(), (DWORD)data.size(), &written, NULL);
    ::CloseHandle(f);
    return ok && written == data.size();
}

std::wstring ScreenshotPath(const wchar_t* name)
{
    wchar_t dir[MAX_PATH] = {0};
    if (::GetEnvironmentVariableW(L"TOLLVANE_BINARY_DIR", dir, MAX_PATH) == 0) return L"";
    std::wstring path = dir[0] == L'/' ? std::wstring(L"Z:") + dir : std::wstring(dir);
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    path += L"\\screenshots";
    ::CreateDirectoryW(path.c_str(), NULL);
    return path + L"\\" + name;
}

class UIWebBrowser : public ManagedFixture {
protected:
    void SetUp() override
    {
        ManagedFixture::SetUp();
        m_pm->AddNotifier(&m_sink);
    }
    void TearDown() override
    {
        m_sink.Disconnect();
        m_pm->RemoveNotifier(&m_sink);
        ManagedFixture::TearDown();
    }
    template <class T = CWebBrowserUI> T* Make(const wchar_t* home, const wchar_t* autonavi)
    {
        T* web = new T;
        m_pm->AttachDialog(web);
        if (home) web->SetAttribute(L"homepage", home);
        if (autonavi) web->SetAttribute(L"autonavi", autonavi);
        web->SetPos(kRect);
        return web;
    }
    void Settle(DWORD ms = 300) { Pump(ms, [] { return false; }); }

    EventSink m_sink;
};

} // namespace

TEST_F(UIWebBrowser, BrowserRunsInsideAnActiveXWndAtTheControlsRectangle)
{
    CWebBrowserUI* web = Make(nullptr, nullptr);
    EXPECT_STREQ(L"WebBrowser", web->GetClass());
    EXPECT_EQ(web, web->GetInterface(L"WebBrowser"));
    EXPECT_NE(nullptr, web->GetInterface(L"ActiveX"));
    EXPECT_TRUE(::IsEqualGUID(CLSID_WebBrowser, web->GetCLSID()));
    ASSERT_NE(nullptr, web->GetWebBrowser2());
    HWND host = web->GetNativeWindow();
    ASSERT_NE((HWND)NULL, host);
    EXPECT_EQ(L"ActiveXWnd", ClassOf(host));
    EXPECT_EQ(m_wnd, ::GetParent(host));
    EXPECT_EQ(1, CountDescendants(host, L"Shell Embedding"));
    RECT rc;
    ::GetWindowRect(host, &rc);
    ::MapWindowPoints(NULL, m_wnd, (POINT*)&rc, 2);
    EXPECT_TRUE(::EqualRect(&rc, &kRect));

    // The browser's child has no defined content without an HTML engine: the picture is kept for
    // a look, not compared.
    ::ShowWindow(m_wnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(m_wnd);
    Settle(200);
    const std::wstring shot = ScreenshotPath(L"webbrowser.bmp");
    if (!shot.empty()) {
        EXPECT_TRUE(SaveClientBmp(m_wnd, shot));
    }
}

TEST_F(UIWebBrowser, HomePageNavigatedAtCreationOnlyWithAutoNavi)
{
    struct Case {
        const wchar_t* home;
        const wchar_t* autonavi;
        bool navigates;
    } cases[] = {
        {L"about:blank", L"true", true},
        {L"", L"true", false},
        {L"about:blank", L"false", false},
        {L"about:blank", nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "homepage " << std::string(c.home, c.home + wcslen(c.home))
                                          << " autonavi " << (c.autonavi ? "given" : "absent"));
        m_sink.Disconnect();
        m_sink.events.clear();
        m_sink.beforeUrls.clear();
        CWebBrowserUI* web = Make(c.home, c.autonavi);
        ASSERT_NE(nullptr, web->GetWebBrowser2());
        ASSERT_NE(nullptr, m_sink.point) << "the test sink connects at showactivex";
        if (c.navigates) {
            Pump(5000, [&] { return m_sink.Saw(DISPID_BEFORENAVIGATE2); });
            ASSERT_TRUE(m_sink.Saw(DISPID_BEFORENAVIGATE2));
            ASSERT_FALSE(m_sink.beforeUrls.empty());
            EXPECT_EQ(L"about:blank", m_sink.beforeUrls.at(0));
        } else {
            Settle();
            EXPECT_FALSE(m_sink.Saw(DISPID_BEFORENAVIGATE2));
        }
    }
}

TEST_F(UIWebBrowser, EventsReachTheControlUntilReleaseControl)
{
    CountingBrowser* web = Make<CountingBrowser>(nullptr, nullptr);
    web->Navigate2(L"about:blank");
    Pump(5000, [&] { return m_sink.Saw(DISPID_BEFORENAVIGATE2) && web->invokes > 0; });
    EXPECT_GT(web->invokes, 0);

    web->ReleaseControl();
    web->invokes = 0;
    m_sink.events.clear();
    IWebBrowser2* wb = web->GetWebBrowser2();
    ASSERT_NE(nullptr, wb);
    VARIANT url;
    ::VariantInit(&url);
    url.vt = VT_BSTR;
    url.bstrVal = ::SysAllocString(L"about:blank");
    wb->Navigate2(&url, NULL, NULL, NULL, NULL);
    ::VariantClear(&url);
    Pump(5000, [&] { return m_sink.Saw(DISPID_NAVIGATEERROR) || m_sink.Saw(DISPID_NAVIGATECOMPLETE2); });
    EXPECT_TRUE(m_sink.Saw(DISPID_BEFORENAVIGATE2));  // the browser still fires ...
    EXPECT_EQ(0, web->invokes);                        // ... but no longer to the control
}

// A class assigned again to a live browser replaces it: the old browser must go, not stay in place
// behind the new one.
TEST_F(UIWebBrowser, RecreationLeavesOneBrowser)
{
    CWebBrowserUI* web = Make(nullptr, nullptr);
    ASSERT_EQ(1, CountDescendants(m_wnd, L"Shell Embedding"));
    IWebBrowser2* first = web->GetWebBrowser2();
    first->AddRef();
    EXPECT_TRUE(web->SetCLSID(L"{8856F961-340A-11D0-A96B-00C04FD705A2}"));
    web->SetPos(kRect);
    EXPECT_NE(nullptr, web->GetWebBrowser2());
    EXPECT_NE(first, web->GetWebBrowser2());
    EXPECT_EQ(1, CountDescendants(m_wnd, L"Shell Embedding"));
    EXPECT_EQ(1, CountDescendants(m_wnd, L"ActiveXWnd"));
    first->Release();
}

TEST_F(UIWebBrowser, QueryInterfaceAndSharedCount)
{
    CWebBrowserUI web;
    IDocHostUIHandler* handler = &web;
    struct Case {
        const IID* iid;
        HRESULT hr;
    } cases[] = {
        {&IID_IUnknown, S_OK},          {&IID_IDocHostUIHandler, S_OK}, {&IID_IDispatch, S_OK},
        {&IID_IServiceProvider, S_OK},  {&IID_IOleCommandTarget, S_OK}, {&IID_IOleObject, E_NOINTERFACE},
        {&IID_IDownloadManager, E_NOINTERFACE},
    };
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, handler->QueryInterface(IID_IUnknown, (void**)&identity));
    for (const Case& c : cases) {
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(c.hr, handler->QueryInterface(*c.iid, &p));
        if (c.hr != S_OK) {
            EXPECT_EQ(nullptr, p);
            continue;
        }
        IUnknown* unk = static_cast<IUnknown*>(p);
        IUnknown* again = nullptr;
        EXPECT_EQ(S_OK, unk->QueryInterface(IID_IUnknown, (void**)&again));
        EXPECT_EQ(identity, again);  // one identity from every interface
        again->Release();
        unk->Release();
    }
    EXPECT_EQ(0u, identity->Release());
    EXPECT_EQ(1u, static_cast<IDispatch*>(&web)->AddRef());
    EXPECT_EQ(2u, static_cast<IServiceProvider*>(&web)->AddRef());
    EXPECT_EQ(1u, static_cast<IOleCommandTarget*>(&web)->Release());
    EXPECT_EQ(0u, handler->Release());
}

TEST_F(UIWebBrowser, QueryServiceHandsOutADownloadManagerObject)
{
    CWebBrowserUI web;
    IServiceProvider* sp = &web;
    struct Case {
        const GUID* service;
        const IID* iid;
        HRESULT hr;
    } cases[] = {
        {&IID_IDownloadManager, &IID_IDownloadManager, S_OK},
        {&IID_IDownloadManager, &IID_IUnknown, E_NOINTERFACE},
        {&IID_IUnknown, &IID_IDownloadManager, E_NOINTERFACE},
        {&IID_IOleCommandTarget, &IID_IOleCommandTarget, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(c.hr, sp->QueryService(*c.service, *c.iid, &p));
        if (c.hr != S_OK) {
            EXPECT_EQ(nullptr, p);
        } else {
            static_cast<IUnknown*>(p)->Release();
        }
    }
    EXPECT_EQ(E_POINTER, sp->QueryService(IID_IDownloadManager, IID_IDownloadManager, nullptr));

    // The browser's first calls on the service: a COM object of its own, not the control's table.
    IDownloadManager* dm = nullptr;
    ASSERT_EQ(S_OK, sp->QueryService(IID_IDownloadManager, IID_IDownloadManager, (void**)&dm));
    ASSERT_NE(nullptr, dm);
    EXPECT_EQ(2u, dm->AddRef());
    IUnknown* unk = nullptr;
    EXPECT_EQ(S_OK, dm->QueryInterface(IID_IUnknown, (void**)&unk));
    EXPECT_EQ(static_cast<IUnknown*>(dm), unk);
    unk->Release();
    IDownloadManager* dm2 = nullptr;
    EXPECT_EQ(S_OK, dm->QueryInterface(IID_IDownloadManager, (void**)&dm2));
    dm2->Release();
    EXPECT_EQ(S_OK, dm->Download(NULL, NULL, 0, 0, NULL, L"", NULL, CP_UTF8));  // dropped
    EXPECT_EQ(1u, dm->Release());
    EXPECT_EQ(0u, dm->Release());
    EXPECT_STREQ(L"WebBrowser", web.GetClass());  // the control is intact
}

TEST_F(UIWebBrowser, ExecSuppressesScriptErrorsWhateverTheVariants)
{
    CWebBrowserUI web;
    IOleCommandTarget* ct = &web;
    EventSink notADocument;
    struct Case {
        const GUID* group;
        DWORD cmd;
        int in;  // 0 none, 1 empty, 2 I4, 3 an object that is no document, 4 null object
        bool out;
        HRESULT hr;
    } cases[] = {
        {nullptr, OLECMDID_SHOWSCRIPTERROR, 0, true, OLECMDERR_E_UNKNOWNGROUP},
        {&IID_IUnknown, OLECMDID_SHOWSCRIPTERROR, 0, true, OLECMDERR_E_UNKNOWNGROUP},
        {&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, false, S_OK},
        {&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, true, S_OK},
        {&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 1, true, S_OK},
        {&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 2, true, S_OK},
        {&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 3, true, S_OK},
        {&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 4, true, S_OK},
        {&CGID_DocHostCommandHandler, OLECMDID_SHOWMESSAGE, 0, true, OLECMDERR_E_NOTSUPPORTED},
    };
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case " << i++);
        VARIANT in, out;
        ::VariantInit(&in);
        ::VariantInit(&out);
        if (c.in == 2) {
            in.vt = VT_I4;
            in.lVal = 5;
        } else if (c.in == 3) {
            in.vt = VT_DISPATCH;
            in.pdispVal = &notADocument;
        } else if (c.in == 4) {
            in.vt = VT_UNKNOWN;
            in.punkVal = nullptr;
        }
        EXPECT_EQ(c.hr, ct->Exec(c.group, c.cmd, 0, c.in ? &in : nullptr, c.out ? &out : nullptr));
        if (c.out && c.hr == S_OK) {
            EXPECT_EQ(VT_BOOL, out.vt);
            EXPECT_EQ(VARIANT_TRUE, out.boolVal);
        } else if (c.out) {
            EXPECT_EQ(VT_EMPTY, out.vt);
        }
    }
    OLECMD cmd = {OLECMDID_SHOWSCRIPTERROR, 0};
    EXPECT_EQ(OLECMDERR_E_NOTSUPPORTED, ct->QueryStatus(&CGID_DocHostCommandHandler, 1, &cmd, NULL));
}

TEST_F(UIWebBrowser, InvokeAnswersTheEightEventsAndNothingElse)
{
    CWebBrowserUI web;
    IDispatch* disp = &web;
    DISPPARAMS none = {NULL, NULL, 0, 0};
    const DISPID known[] = {DISPID_STATUSTEXTCHANGE, DISPID_COMMANDSTATECHANGE, DISPID_BEFORENAVIGATE2,
                            DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE, DISPID_WINDOWCLOSING,
                            DISPID_NAVIGATEERROR, DISPID_NEWWINDOW3};
    for (DISPID id : known) {
        EXPECT_EQ(S_OK, disp->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, NULL, NULL, NULL)) << id;
        EXPECT_EQ(E_INVALIDARG, disp->Invoke(id, IID_IUnknown, 0, DISPATCH_METHOD, &none, NULL, NULL, NULL)) << id;
    }
    for (DISPID id : {0, 251, 253, 271 + 1, DISPID_NEWWINDOW2, -1}) {
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, disp->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, NULL, NULL, NULL))
            << id;
    }
    UINT count = 9;
    EXPECT_EQ(E_NOTIMPL, disp->GetTypeInfoCount(&count));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(E_NOTIMPL, disp->GetTypeInfo(0, 0, NULL));
    EXPECT_EQ(E_NOTIMPL, disp->GetIDsOfNames(IID_NULL, NULL, 0, 0, NULL));
}

TEST_F(UIWebBrowser, DocHostUIHandlerAnswers)
{
    CWebBrowserUI web;
    IDocHostUIHandler* h = &web;
    EXPECT_EQ(S_FALSE, h->ShowContextMenu(0, NULL, NULL, NULL));
    EXPECT_EQ(E_NOTIMPL, h->GetHostInfo(NULL));
    EXPECT_EQ(S_OK, h->ShowUI(0, NULL, NULL, NULL, NULL));
    EXPECT_EQ(S_OK, h->HideUI());
    EXPECT_EQ(S_OK, h->UpdateUI());
    EXPECT_EQ(E_NOTIMPL, h->EnableModeless(TRUE));
    EXPECT_EQ(E_NOTIMPL, h->OnDocWindowActivate(TRUE));
    EXPECT_EQ(E_NOTIMPL, h->OnFrameWindowActivate(TRUE));
    EXPECT_EQ(E_NOTIMPL, h->ResizeBorder(NULL, NULL, TRUE));
    EXPECT_EQ(E_NOTIMPL, h->GetOptionKeyPath(NULL, 0));
    MSG msg = {};
    EXPECT_EQ(S_FALSE, h->TranslateAccelerator(&msg, NULL, 0));
    IDropTarget* drop = reinterpret_cast<IDropTarget*>(1);
    EXPECT_EQ(S_FALSE, h->GetDropTarget(NULL, &drop));
    EXPECT_EQ(reinterpret_cast<IDropTarget*>(1), drop);
    IDispatch* ext = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(S_FALSE, h->GetExternal(&ext));
    EXPECT_EQ(reinterpret_cast<IDispatch*>(1), ext);
    LPWSTR url = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(E_NOTIMPL, h->TranslateUrl(0, NULL, &url));
    EXPECT_EQ(nullptr, url);
    IDataObject* data = reinterpret_cast<IDataObject*>(1);
    EXPECT_EQ(E_NOTIMPL, h->FilterDataObject(NULL, &data));
    EXPECT_EQ(nullptr, data);
}

TEST_F(UIWebBrowser, TranslateAcceleratorOffersKeysOnlyFromInsideTheBrowser)
{
    CWebBrowserUI bare;
    MSG key = {};
    key.message = WM_KEYDOWN;
    key.wParam = 'A';
    MSG mouse = {};
    mouse.message = WM_MOUSEMOVE;
    EXPECT_EQ(S_FALSE, bare.TranslateAccelerator(&mouse));
    EXPECT_EQ(E_NOTIMPL, bare.TranslateAccelerator(&key));

    CWebBrowserUI* web = Make(nullptr, nullptr);
    ::ShowWindow(m_wnd, SW_SHOW);
    ::SetForegroundWindow(m_wnd);
    ::SetFocus(m_wnd);
    key.hwnd = m_wnd;
    EXPECT_EQ(S_FALSE, web->TranslateAccelerator(&mouse));
    EXPECT_EQ(S_FALSE, web->TranslateAccelerator(&key));  // focus in the skinned window, not the browser

    HWND inner = ::FindWindowExW(web->GetNativeWindow(), NULL, L"Shell Embedding", NULL);
    ASSERT_NE((HWND)NULL, inner);
    ::SetFocus(inner);
    ASSERT_EQ(inner, ::GetFocus());
    key.hwnd = inner;
    IOleInPlaceActiveObject* active = nullptr;
    ASSERT_EQ(S_OK, web->GetWebBrowser2()->QueryInterface(IID_IOleInPlaceActiveObject, (void**)&active));
    const HRESULT expected = active->TranslateAccelerator(&key);
    active->Release();
    EXPECT_EQ(expected, web->TranslateAccelerator(&key));  // the browser's own answer
}

TEST_F(UIWebBrowser, TwoHundredCreateDestroyCyclesLeaveNothingBehind)
{
    auto cycle = [&] {
        Make(nullptr, nullptr);
        m_pm->AttachDialog(new CControlUI);
        Pump(3000, [&] { return CountDescendants(m_wnd, L"Shell Embedding") == 0; });
    };
    cycle();
    const DWORD user0 = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    const DWORD gdi0 = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 200; ++i) cycle();
    EXPECT_EQ(0, CountDescendants(m_wnd, L"Shell Embedding"));
    EXPECT_EQ(0, CountDescendants(m_wnd, L"ActiveXWnd"));
    EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), user0 + 2);
    EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), gdi0 + 2);
}
