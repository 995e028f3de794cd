// ActiveX host against the test control module: creation and activation, painting, the message
// filter, the windowed child window, the container's enumerator, class choice and the fixes to the
// host's reference, filter, lock and handle bookkeeping.
#include "UIControlsTestSupport.h"
#include "UIActiveXTestSupport.h"
#include "UIActiveX.h"
#include "UIDlgBuilder.h"

#include <gtest/gtest.h>
#include <thread>

using namespace Veneer;
using namespace controlstest;
using namespace axtest;

namespace {

class UIActiveX : public ManagedFixture {
protected:
    void SetUp() override
    {
        ManagedFixture::SetUp();
        ASSERT_NE((HMODULE)NULL, Module()) << "ax_test_control.dll beside ui_tests.exe";
        m_live0 = Counters().liveObjects;
        m_locks0 = Counters().runLocks;
        ResetMessages();
    }
    void TearDown() override
    {
        ManagedFixture::TearDown();
        EXPECT_EQ(m_live0, Counters().liveObjects);
        EXPECT_EQ(m_locks0, Counters().runLocks);
    }
    // A control of the test module's class as the root; laid out at rc when given.
    CActiveXUI* Make(const wchar_t* clsid, const RECT* rc = nullptr)
    {
        CActiveXUI* ax = new CActiveXUI;
        ax->SetName(L"ax");
        m_pm->AttachDialog(ax);
        ax->SetAttribute(L"modulename", ModulePath().c_str());
        ax->SetAttribute(L"clsid", clsid);
        if (rc) ax->SetPos(*rc);
        return ax;
    }
    IOleObject* Object(CActiveXUI* ax)
    {
        IOleObject* p = nullptr;
        EXPECT_EQ(S_OK, ax->GetControl(IID_IOleObject, (void**)&p));
        return p;
    }
    template <class I> I* Site(CActiveXUI* ax, REFIID iid)
    {
        IOleObject* obj = Object(ax);
        if (obj == nullptr) return nullptr;  // Object() has reported it
        IOleClientSite* cs = nullptr;
        obj->GetClientSite(&cs);
        obj->Release();
        I* p = nullptr;
        if (cs) {
            cs->QueryInterface(iid, (void**)&p);
            cs->Release();
        }
        return p;
    }
    // Deactivates and activates the object again, as a control that goes in and out of place does.
    void Reactivate(CActiveXUI* ax)
    {
        IOleObject* obj = Object(ax);
        ASSERT_NE(nullptr, obj);
        IOleInPlaceObject* ip = nullptr;
        obj->QueryInterface(IID_IOleInPlaceObject, (void**)&ip);
        ASSERT_NE(nullptr, ip);
        ip->InPlaceDeactivate();
        ip->Release();
        IOleClientSite* cs = nullptr;
        obj->GetClientSite(&cs);
        RECT rc = ax->GetPos();
        EXPECT_EQ(S_OK, obj->DoVerb(OLEIVERB_INPLACEACTIVATE, NULL, cs, 0, m_wnd, &rc));
        cs->Release();
        obj->Release();
    }
    // Replaces the root by an empty control; the old root (and its object) goes once its delayed
    // deletion has run.
    void Drop(LONG live)
    {
        m_pm->AttachDialog(new CControlUI);
        Pump(3000, [&] { return Counters().liveObjects == live; });
    }
    void Drop() { Drop(m_live0); }
    LRESULT Send(UINT msg, WPARAM w, int x, int y)
    {
        LRESULT res = 0;
        m_pm->MessageHandler(msg, w, MAKELPARAM(x, y), res);
        return res;
    }

    LONG m_live0 = 0;
    LONG m_locks0 = 0;
};

const RECT kRect = {10, 20, 110, 70};

// Records the test control's activation count at the moment "showactivex" arrives.
class ShowLog : public INotifyUI {
public:
    int shows = 0;
    LONG activationsAtShow = -1;
    void Notify(TNotifyRecord& msg) override
    {
        if (msg.sType == L"showactivex") {
            ++shows;
            activationsAtShow = Counters().activations;
        }
    }
};

} // namespace

TEST_F(UIActiveX, CreatedAtFirstLayoutAfterShowActiveX)
{
    ShowLog show;
    m_pm->AddNotifier(&show);
    CActiveXUI* ax = Make(kWindowlessClsid);
    void* p = nullptr;
    EXPECT_EQ(E_PENDING, ax->GetControl(IID_IOleObject, &p));
    EXPECT_EQ(E_POINTER, ax->GetControl(IID_IOleObject, nullptr));
    EXPECT_EQ(m_live0, Counters().liveObjects);

    ax->SetPos(kRect);
    EXPECT_EQ(m_live0 + 1, Counters().liveObjects);
    EXPECT_EQ(1, show.shows);
    EXPECT_EQ(0, show.activationsAtShow);
    EXPECT_EQ(1, Counters().activations);
    EXPECT_EQ(1, Counters().initNews);
    EXPECT_EQ(m_wnd, ax->GetNativeWindow());  // windowless: the skinned window hosts it
    EXPECT_EQ(1u, ax->GetControlFlags());
    EXPECT_STREQ(L"ActiveX", ax->GetClass());
    EXPECT_EQ(ax, ax->GetInterface(L"ActiveX"));

    ax->SetPos(kRect);  // no second creation
    EXPECT_EQ(1, show.shows);
    EXPECT_EQ(m_live0 + 1, Counters().liveObjects);
    m_pm->RemoveNotifier(&show);
}

TEST_F(UIActiveX, WindowlessObjectPaintsItsColourInItsRectangleOnly)
{
    CActiveXUI* ax = Make(kWindowlessClsid, &kRect);
    Surface s(130, 90);
    s.Fill(0x000000);
    RECT all = {0, 0, 130, 90};
    ax->Paint(s.dc(), all, NULL);
    EXPECT_EQ(kWindowlessRgb, s.At(10, 20));
    EXPECT_EQ(kWindowlessRgb, s.At(109, 69));
    EXPECT_EQ(0u, s.At(9, 20));
    EXPECT_EQ(0u, s.At(110, 69));
}

TEST_F(UIActiveX, MouseReachesTheObjectOnlyInsideItsHitArea)
{
    CActiveXUI* ax = Make(kWindowlessClsid, &kRect);
    ResetMessages();
    Send(WM_MOUSEMOVE, 0, 90, 40);  // right half: outside the hit area
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 90, 40);
    EXPECT_EQ(0, Counters().mouseMessages);

    Send(WM_MOUSEMOVE, 0, 20, 40);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 40);
    EXPECT_EQ(2, Counters().mouseMessages);
    EXPECT_EQ((UINT)WM_LBUTTONDOWN, Counters().lastMessage);
    EXPECT_TRUE(ax->IsFocused());  // a click in the hit area gives the control the focus
    Send(WM_LBUTTONUP, 0, 20, 40);

    ResetMessages();
    ax->SetMouseEnabled(false);
    Send(WM_MOUSEMOVE, 0, 20, 40);
    EXPECT_EQ(0, Counters().mouseMessages);
}

TEST_F(UIActiveX, KeysReachTheObjectOnlyWhileFocused)
{
    CActiveXUI* ax = Make(kWindowlessClsid, &kRect);
    ResetMessages();
    Send(WM_KEYDOWN, 'A', 0, 0);
    Send(WM_CHAR, 'a', 0, 0);
    EXPECT_EQ(0, Counters().keyMessages);
    ax->SetFocus();
    ASSERT_TRUE(ax->IsFocused());
    Send(WM_KEYDOWN, 'A', 0, 0);
    Send(WM_CHAR, 'a', 0, 0);
    EXPECT_EQ(2, Counters().keyMessages);
}

TEST_F(UIActiveX, WindowedObjectLivesInAnActiveXWndThatFollowsTheControl)
{
    CActiveXUI* ax = Make(kWindowedClsid, &kRect);
    HWND child = ax->GetNativeWindow();
    ASSERT_NE((HWND)NULL, child);
    EXPECT_NE(m_wnd, child);
    EXPECT_EQ(L"ActiveXWnd", ClassOf(child));
    EXPECT_EQ(m_wnd, ::GetParent(child));
    EXPECT_EQ(1, CountDescendants(child, L"AxTestControlChild"));
    auto placed = [&](const RECT& want) {
        RECT rc;
        ::GetWindowRect(child, &rc);
        ::MapWindowPoints(NULL, m_wnd, (POINT*)&rc, 2);
        return ::EqualRect(&rc, &want) != FALSE;
    };
    EXPECT_TRUE(placed(kRect));

    RECT moved = {40, 30, 200, 130};
    ax->SetPos(moved);
    EXPECT_TRUE(placed(moved));
    SIZE off = {5, 7};
    ax->Move(off);
    RECT shifted = {45, 37, 205, 137};
    EXPECT_TRUE(placed(shifted));

    EXPECT_TRUE(::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE);
    ax->SetVisible(false);
    EXPECT_FALSE(::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE);
    ax->SetVisible(true);
    EXPECT_TRUE(::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE);
    ax->SetInternVisible(false);
    EXPECT_FALSE(::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE);

    // A windowed object is no message filter: the skinned window's mouse never reaches it.
    ResetMessages();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 50, 40);
    EXPECT_EQ(0, Counters().mouseMessages);
}

TEST_F(UIActiveX, EnumeratorYieldsTheObjectOnceUntilReset)
{
    CActiveXUI* ax = Make(kWindowlessClsid, &kRect);
    IOleContainer* cont = Site<IOleContainer>(ax, IID_IOleContainer);
    ASSERT_NE(nullptr, cont);
    IEnumUnknown* en = nullptr;
    ASSERT_EQ(S_OK, cont->EnumObjects(OLECONTF_EMBEDDINGS, &en));
    IOleObject* obj = Object(ax);

    IUnknown* got[2] = {reinterpret_cast<IUnknown*>(0x1), reinterpret_cast<IUnknown*>(0x1)};
    ULONG fetched = 7;
    // A request for nothing writes nothing and keeps the object for the next call.
    EXPECT_EQ(S_OK, en->Next(0, got, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(reinterpret_cast<IUnknown*>(0x1), got[0]);

    EXPECT_EQ(S_OK, en->Next(1, got, &fetched));
    ASSERT_EQ(1u, fetched);
    EXPECT_EQ(static_cast<IUnknown*>(obj), got[0]);
    got[0]->Release();
    EXPECT_EQ(S_FALSE, en->Next(1, got, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(S_OK, en->Reset());
    EXPECT_EQ(S_OK, en->Next(1, got, &fetched));
    ASSERT_EQ(1u, fetched);
    got[0]->Release();
    EXPECT_EQ(S_OK, en->Reset());
    EXPECT_EQ(S_OK, en->Skip(1));
    EXPECT_EQ(S_FALSE, en->Next(1, got, nullptr));
    IEnumUnknown* clone = nullptr;
    EXPECT_EQ(E_NOTIMPL, en->Clone(&clone));
    en->Release();
    cont->Release();
    obj->Release();
}

TEST_F(UIActiveX, ClassTextsThatNameNoClassCreateNothing)
{
    const wchar_t* cases[] = {L"{not-a-class}", L"{6B1C3F10-7A2E-4D8B-9C11}", L"No.Such.ProgId", L"", L"6B1C3F10"};
    for (const wchar_t* text : cases) {
        SCOPED_TRACE(::testing::Message() << "clsid " << std::string(text, text + wcslen(text)));
        CActiveXUI ax;
        EXPECT_FALSE(ax.SetCLSID(text));
        EXPECT_TRUE(::IsEqualGUID(GUID_NULL, ax.GetCLSID()));
    }
    ShowLog show;
    m_pm->AddNotifier(&show);
    CActiveXUI* ax = Make(L"{not-a-class}", &kRect);
    void* p = nullptr;
    EXPECT_EQ(E_PENDING, ax->GetControl(IID_IUnknown, &p));
    EXPECT_EQ(0, show.shows);
    EXPECT_EQ(m_live0, Counters().liveObjects);
    Surface s(130, 90);
    s.Fill(0x000000);
    RECT all = {0, 0, 130, 90};
    ax->Paint(s.dc(), all, NULL);
    EXPECT_EQ(0u, s.At(20, 30));
    m_pm->RemoveNotifier(&show);
}

TEST_F(UIActiveX, DelayCreateFalseCreatesAtOnceInEitherOrder)
{
    struct Case {
        bool delayFirst;
    } cases[] = {{true}, {false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.delayFirst ? "delaycreate before clsid" : "delaycreate after clsid");
        CActiveXUI* ax = new CActiveXUI;
        m_pm->AttachDialog(ax);
        ax->SetAttribute(L"modulename", ModulePath().c_str());
        if (c.delayFirst) ax->SetAttribute(L"delaycreate", L"false");
        ax->SetAttribute(L"clsid", kWindowlessClsid);
        if (!c.delayFirst) ax->SetAttribute(L"delaycreate", L"false");
        EXPECT_FALSE(ax->IsDelayCreate());
        void* p = nullptr;
        EXPECT_EQ(S_OK, ax->GetControl(IID_IOleObject, &p));
        if (p) static_cast<IUnknown*>(p)->Release();
        EXPECT_EQ(m_live0 + 1, Counters().liveObjects);
        Drop();  // the old root goes with its object
        EXPECT_EQ(m_live0, Counters().liveObjects);
    }
}

TEST_F(UIActiveX, ClassAssignedAgainReplacesTheObjectAtTheNextLayout)
{
    CActiveXUI* ax = Make(kWindowlessClsid, &kRect);
    EXPECT_EQ(m_live0 + 1, Counters().liveObjects);
    ax->SetAttribute(L"clsid", kWindowedClsid);
    ax->SetPos(kRect);
    EXPECT_EQ(m_live0 + 1, Counters().liveObjects);
    EXPECT_EQ(L"ActiveXWnd", ClassOf(ax->GetNativeWindow()));
    EXPECT_EQ(1, CountDescendants(m_wnd, L"ActiveXWnd"));
}

TEST_F(UIActiveX, CreationWithoutPaintManagerWaitsForTheFirstLayout)
{
    CActiveXUI* ax = new CActiveXUI;
    ax->SetAttribute(L"modulename", ModulePath().c_str());
    ax->SetAttribute(L"clsid", kWindowlessClsid);
    ax->SetAttribute(L"delaycreate", L"false");
    void* p = nullptr;
    EXPECT_EQ(E_PENDING, ax->GetControl(IID_IOleObject, &p));
    EXPECT_EQ(m_live0, Counters().liveObjects);
    m_pm->AttachDialog(ax);
    ax->SetPos(kRect);
    EXPECT_EQ(S_OK, ax->GetControl(IID_IOleObject, &p));
    static_cast<IUnknown*>(p)->Release();
    EXPECT_EQ(m_wnd, ax->GetNativeWindow());
}

// Each in-place activation locks the object running; only one lock may be taken, and it must be
// given back before the object is closed, or the object outlives its control.
TEST_F(UIActiveX, RunningLockTakenOncePerObjectAndGivenBackBeforeClose)
{
    CActiveXUI* ax = Make(kWindowlessClsid, &kRect);
    EXPECT_EQ(m_locks0 + 1, Counters().runLocks);
    Reactivate(ax);
    Reactivate(ax);
    EXPECT_EQ(3, Counters().activations);
    EXPECT_EQ(m_locks0 + 1, Counters().runLocks);
    ax->ReleaseControl();
    EXPECT_EQ(m_locks0, Counters().runLocks);
    EXPECT_EQ(0, Counters().closedWhileLocked);
    EXPECT_EQ(m_live0, Counters().liveObjects);
}

// Every windowless activation asks to join the message filters; a second entry would hand each
// message to the object twice and leave a filter behind on a deleted control.
TEST_F(UIActiveX, JoinsTheMessageFiltersOnce)
{
    CActiveXUI* ax = Make(kWindowlessClsid, &kRect);
    Reactivate(ax);
    ResetMessages();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 40);
    EXPECT_EQ(1, Counters().mouseMessages);
    Send(WM_LBUTTONUP, 0, 20, 40);
    Drop();  // deletes the control
    Send(WM_MOUSEMOVE, 0, 20, 40);       // a stale filter would run on freed memory here
    SUCCEED();
}

TEST_F(UIActiveX, OneAcceleratorTablePerSite)
{
    CActiveXUI* ax = Make(kWindowlessClsid, &kRect);
    Reactivate(ax);
    Reactivate(ax);
    AxCounters c = Counters();
    EXPECT_EQ(3, c.windowContexts);
    EXPECT_NE((HACCEL)NULL, c.firstAccel);
    EXPECT_EQ(c.firstAccel, c.lastAccel);
    Drop();
    // The table went with the site.
    ACCEL entry;
    EXPECT_EQ(0, ::CopyAcceleratorTableW(c.firstAccel, &entry, 1));
}

TEST_F(UIActiveX, WindowlessSiteAnswers)
{
    CActiveXUI* ax = Make(kWindowlessClsid, &kRect);
    IOleInPlaceSiteWindowless* site = Site<IOleInPlaceSiteWindowless>(ax, IID_IOleInPlaceSiteWindowless);
    ASSERT_NE(nullptr, site);
    HDC dc = reinterpret_cast<HDC>(0x1234);
    EXPECT_EQ(S_FALSE, site->GetDC(NULL, 0, &dc));  // refused for a windowless object ...
    EXPECT_EQ((HDC)NULL, dc);                       // ... with no stale handle left for the caller
    EXPECT_EQ(E_POINTER, site->GetDC(NULL, 0, NULL));
    EXPECT_EQ(S_OK, site->CanWindowlessActivate());
    EXPECT_EQ(S_FALSE, site->GetCapture());
    EXPECT_EQ(S_OK, site->SetCapture(TRUE));
    EXPECT_EQ(S_OK, site->GetCapture());
    EXPECT_EQ(m_wnd, ::GetCapture());
    EXPECT_EQ(S_OK, site->SetCapture(FALSE));
    EXPECT_EQ(S_FALSE, site->GetCapture());
    EXPECT_EQ(S_OK, site->SetFocus(TRUE));
    EXPECT_EQ(S_OK, site->GetFocus());
    EXPECT_TRUE(ax->IsFocused());
    HWND h = NULL;
    EXPECT_EQ(S_OK, site->GetWindow(&h));
    EXPECT_EQ(m_wnd, h);
    EXPECT_EQ(S_OK, site->InvalidateRect(NULL, FALSE));
    EXPECT_EQ(E_NOTIMPL, site->Scroll(SIZE{1, 1}));
    IUnknown* unk = nullptr;
    EXPECT_EQ(E_NOINTERFACE, site->QueryInterface(IID_IDispatch, (void**)&unk));
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* doc = nullptr;
    RECT pos, clip;
    OLEINPLACEFRAMEINFO info = {};
    EXPECT_EQ(E_POINTER, site->GetWindowContext(&frame, &doc, NULL, &clip, &info));
    ASSERT_EQ(S_OK, site->GetWindowContext(&frame, &doc, &pos, &clip, &info));
    EXPECT_EQ(nullptr, doc);
    EXPECT_EQ(m_wnd, info.hwndFrame);
    EXPECT_EQ(1u, info.cAccelEntries);
    EXPECT_EQ(INPLACE_E_NOTOOLSPACE, frame->RequestBorderSpace(NULL));
    EXPECT_EQ(S_FALSE, frame->TranslateAccelerator(NULL, 0));
    frame->Release();
    site->Release();
}

// A thread in the multi-threaded apartment: the control's CoInitialize is refused there and must
// not be balanced, or it would end the thread's own COM initialisation.
TEST_F(UIActiveX, CoUninitializeOnlyAfterASuccessfulCoInitialize)
{
    HRESULT again = E_FAIL;
    std::thread t([&] {
        ::CoInitializeEx(NULL, COINIT_MULTITHREADED);
        { CActiveXUI ax; }
        again = ::CoInitializeEx(NULL, COINIT_MULTITHREADED);  // S_FALSE: still initialised
        if (SUCCEEDED(again)) ::CoUninitialize();
        ::CoUninitialize();
    });
    t.join();
    EXPECT_EQ(S_FALSE, again);
}

TEST_F(UIActiveX, DialogBuilderCreatesActiveXFromMarkup)
{
    std::wstring xml = L"<Window><ActiveX name=\"ax\" modulename=\"" + ModulePath() + L"\" clsid=\"" +
                       kWindowlessClsid + L"\" /></Window>";
    CDialogBuilder builder;
    CControlUI* root = builder.Create(xml.c_str(), (UINT)0, NULL, m_pm);
    ASSERT_NE(nullptr, root);
    CActiveXUI* ax = static_cast<CActiveXUI*>(root->GetInterface(L"ActiveX"));
    ASSERT_NE(nullptr, ax);
    m_pm->AttachDialog(root);
    ax->SetPos(kRect);
    EXPECT_EQ(m_live0 + 1, Counters().liveObjects);
}

// Reliability: many creations and destructions of both kinds leave no object, lock, window or
// handle behind.
TEST_F(UIActiveX, TwoHundredCreateDestroyCyclesLeaveNothingBehind)
{
    for (const wchar_t* clsid : {kWindowlessClsid, kWindowedClsid}) {
        // One round first, so that one-time allocations (window classes, COM) are not counted.
        Make(clsid, &kRect);
        Drop();
        const DWORD user0 = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
        const DWORD gdi0 = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
        for (int i = 0; i < 200; ++i) {
            Make(clsid, &kRect);
            Drop();
        }
        EXPECT_EQ(m_live0, Counters().liveObjects);
        EXPECT_EQ(m_locks0, Counters().runLocks);
        EXPECT_EQ(0, CountDescendants(m_wnd, L"ActiveXWnd"));
        EXPECT_EQ(0, CountDescendants(m_wnd, L"AxTestControlChild"));
        EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), user0 + 2);
        EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), gdi0 + 2);
    }
}

// An object that keeps the in-place frame past its control (as one that releases late does) gets
// E_UNEXPECTED from the frame's window query, not an answer read from the freed control.
TEST_F(UIActiveX, FrameKeptPastItsControlAnswersUnexpected)
{
    static bool s_gone = false;
    class GoneActiveX : public CActiveXUI {
    public:
        ~GoneActiveX() override { s_gone = true; }
    };
    s_gone = false;
    CActiveXUI* ax = new GoneActiveX;
    m_pm->AttachDialog(ax);
    ax->SetAttribute(L"modulename", ModulePath().c_str());
    ax->SetAttribute(L"clsid", kWindowlessClsid);
    ax->SetPos(kRect);
    IOleInPlaceSite* site = Site<IOleInPlaceSite>(ax, IID_IOleInPlaceSite);
    ASSERT_NE(nullptr, site);
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* doc = nullptr;
    RECT pos = {}, clip = {};
    OLEINPLACEFRAMEINFO info = {};
    info.cb = sizeof(info);
    ASSERT_EQ(S_OK, site->GetWindowContext(&frame, &doc, &pos, &clip, &info));
    ASSERT_NE(nullptr, frame);
    HWND hFrame = NULL;
    EXPECT_EQ(S_OK, frame->GetWindow(&hFrame));
    EXPECT_EQ(m_wnd, hFrame);

    // The control is deleted; the frame and the site stay referenced from here.
    m_pm->AttachDialog(new CControlUI);
    Pump(3000, [] { return s_gone; });
    ASSERT_TRUE(s_gone);
    hFrame = (HWND)1;
    EXPECT_EQ(E_UNEXPECTED, frame->GetWindow(&hFrame));
    EXPECT_EQ(E_UNEXPECTED, site->GetWindow(&hFrame));
    frame->Release();
    site->Release();
    Pump(3000, [&] { return Counters().liveObjects == m_live0; });
}
