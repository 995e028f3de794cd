// Paint manager: control tree, names, focus and Tab order, Alt shortcuts, control timers,
// notifications (synchronous, queued, coalesced), delayed deletion, filters and accelerators, the
// first layout, and the resource stores. Real windows on the test display, real files.
#include <gtest/gtest.h>

#include "UIManager.h"
#include "UIControl.h"

#include <functional>
#include <string>
#include <vector>

using namespace Veneer;

namespace {

// ---------------------------------------------------------------------------------------------
// A window that hands its messages to its paint manager, the way every skinned window does.

const wchar_t kHostClass[] = L"VeneerManagerTestHost";

struct HostWindow {
    HWND hwnd = NULL;
    CPaintManagerUI pm;
    std::vector<WPARAM> rawTimers;  // wParam of every WM_TIMER the window received

    static LRESULT CALLBACK Proc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        HostWindow* self = reinterpret_cast<HostWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != NULL) {
            if (uMsg == WM_TIMER) self->rawTimers.push_back(wParam);
            LRESULT lRes = 0;
            if (self->pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
        }
        return ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
    }

    static HWND Create(HWND parent = NULL, DWORD style = WS_OVERLAPPEDWINDOW)
    {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = Proc;
            wc.hInstance = ::GetModuleHandleW(NULL);
            wc.lpszClassName = kHostClass;
            wc.hCursor = ::LoadCursorW(NULL, IDC_ARROW);
            ::RegisterClassW(&wc);
            registered = true;
        }
        return ::CreateWindowExW(0, kHostClass, L"host", style, 10, 10, 320, 240, parent, NULL,
                                 ::GetModuleHandleW(NULL), NULL);
    }

    explicit HostWindow(bool show = true)
    {
        CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
        hwnd = Create();
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        pm.Init(hwnd);
        if (show) ::ShowWindow(hwnd, SW_SHOWNORMAL);
    }

    ~HostWindow()
    {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd);
    }
};

// Runs the framework's pre-translation and dispatch until pred holds or the time is up.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 3000)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (!CPaintManagerUI::TranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        if (pred()) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
}

void Pump(DWORD ms = 150)
{
    PumpUntil([] { return false; }, ms);
}

// ---------------------------------------------------------------------------------------------
// Test controls. Probe records what it receives; Box holds children the way a container does.

struct EventSeen {
    int type;
    CControlUI* sender;
    WPARAM wParam;
};

std::vector<std::wstring> g_log;

class Probe : public CControlUI {
public:
    explicit Probe(const wchar_t* name, UINT flags = 0, const wchar_t* cls = L"Probe") : m_flags(flags), m_cls(cls)
    {
        if (name != NULL) SetName(name);
    }
    ~Probe() override
    {
        if (m_pDeleted != NULL) *m_pDeleted = true;
    }
    const wchar_t* GetClass() const override { return m_cls; }
    UINT GetControlFlags() const override { return m_flags; }
    void DoEvent(TEventUI& event) override
    {
        events.push_back({event.Type, event.pSender, event.wParam});
        if (event.Type == UIEVENT_KILLFOCUS || event.Type == UIEVENT_SETFOCUS)
            g_log.push_back(std::wstring(GetName().GetData()) +
                            (event.Type == UIEVENT_KILLFOCUS ? L":event-killfocus" : L":event-setfocus"));
        CControlUI::DoEvent(event);
    }
    bool Activate() override
    {
        ++activations;
        return CControlUI::Activate();
    }
    int CountEvents(int type) const
    {
        int n = 0;
        for (const EventSeen& e : events) n += e.type == type;
        return n;
    }

    std::vector<EventSeen> events;
    int activations = 0;
    bool* m_pDeleted = NULL;

private:
    UINT m_flags;
    const wchar_t* m_cls;
};

class Box : public Probe {
public:
    explicit Box(const wchar_t* name = NULL) : Probe(name, 0, L"Box") {}
    ~Box() override
    {
        for (CControlUI* p : m_children) p->Delete();
    }
    Box* Add(CControlUI* p)
    {
        m_children.push_back(p);
        if (m_pManager != NULL) m_pManager->InitControls(p, this);
        return this;
    }
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) override
    {
        for (CControlUI* p : m_children) p->SetManager(pManager, this, bInit);
        CControlUI::SetManager(pManager, pParent, bInit);
    }
    CControlUI* FindControl(FindControlCallback Proc, void* pData, UINT uFlags) override
    {
        if ((uFlags & FindOnlyVisible) && !IsVisible()) return NULL;
        if ((uFlags & FindOnlyEnabled) && !IsEnabled()) return NULL;
        if ((uFlags & FindAtPoint) && !::PtInRect(&GetPos(), *static_cast<POINT*>(pData))) return NULL;
        if ((uFlags & FindPruneMatched) && Proc(this, pData) != NULL) return NULL;
        CControlUI* pResult = NULL;
        if (uFlags & FindSelfFirst) pResult = Proc(this, pData);
        if (pResult != NULL) return pResult;
        if (uFlags & FindLastChildFirst) {
            for (auto it = m_children.rbegin(); it != m_children.rend(); ++it)
                if ((pResult = (*it)->FindControl(Proc, pData, uFlags)) != NULL) return pResult;
        } else {
            for (CControlUI* p : m_children)
                if ((pResult = p->FindControl(Proc, pData, uFlags)) != NULL) return pResult;
        }
        if ((uFlags & FindSelfFirst) == 0) return Proc(this, pData);
        return NULL;
    }

private:
    std::vector<CControlUI*> m_children;
};

// A listener that writes "tag:type" into the shared log and may run extra work.
struct Recorder : INotifyUI {
    explicit Recorder(const wchar_t* t) : tag(t) {}
    void Notify(TNotifyRecord& msg) override
    {
        g_log.push_back(tag + L":" + msg.sType.GetData());
        seen.push_back(msg);
        if (extra) extra(msg);
    }
    int Count(const wchar_t* type) const
    {
        int n = 0;
        for (const TNotifyRecord& m : seen) n += m.sType == type;
        return n;
    }
    std::wstring tag;
    std::vector<TNotifyRecord> seen;
    std::function<void(TNotifyRecord&)> extra;
};

// A delegate over a plain function, for the controls' OnNotify lists.
class FnDelegate : public CDelegateBase {
public:
    typedef bool (*Fn)(void* obj, void* param);
    FnDelegate(void* obj, Fn fn) : CDelegateBase(obj, reinterpret_cast<void*>(fn)) {}
    CDelegateBase* Copy() const override { return new FnDelegate(*this); }
    bool Invoke(void* param) override { return reinterpret_cast<Fn>(GetFn())(GetObj(), param); }
};

bool LogDelegate(void* obj, void* param)
{
    TNotifyRecord* msg = static_cast<TNotifyRecord*>(param);
    g_log.push_back(std::wstring(static_cast<const wchar_t*>(obj)) + L":" + msg->sType.GetData());
    return true;
}

void DeliverQueued(HostWindow& w)
{
    LRESULT lRes = 0;
    w.pm.MessageHandler(UIMSG_ASYNCNOTIFY, 0, 0, lRes);
}

void SetShift(bool down)
{
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_SHIFT] = down ? 0x80 : 0;
    keys[VK_LSHIFT] = down ? 0x80 : 0;
    ::SetKeyboardState(keys);
}

// ---------------------------------------------------------------------------------------------
// Control timers

TEST(PaintManagerTimers, FirstWin32IdIs17AndThe239thIs0)
{
    HostWindow w;
    Probe* root = new Probe(L"root");
    w.pm.AttachDialog(root);

    ASSERT_TRUE(w.pm.SetTimer(root, 1, 20));
    ASSERT_TRUE(PumpUntil([&] { return root->CountEvents(UIEVENT_TIMER) > 0; }));
    ASSERT_FALSE(w.rawTimers.empty());
    EXPECT_EQ(17u, w.rawTimers.front());
    EXPECT_EQ(1u, root->events.back().wParam);  // the control's own id
    EXPECT_TRUE(w.pm.KillTimer(root, 1));

    // 237 more timers take the ids 18 to 254; the next one wraps to 0.
    for (UINT id = 2; id <= 238; ++id) ASSERT_TRUE(w.pm.SetTimer(root, id, 100000)) << id;
    w.rawTimers.clear();
    root->events.clear();
    ASSERT_TRUE(w.pm.SetTimer(root, 239, 20));
    ASSERT_TRUE(PumpUntil([&] { return root->CountEvents(UIEVENT_TIMER) > 0; }));
    ASSERT_FALSE(w.rawTimers.empty());
    EXPECT_EQ(0u, w.rawTimers.front());
    EXPECT_EQ(239u, root->events.back().wParam);
}

TEST(PaintManagerTimers, RunningTimerRefusedKilledTimerReArmedWithItsOldId)
{
    HostWindow w;
    Probe* root = new Probe(L"root");
    w.pm.AttachDialog(root);
    Recorder rec(L"n");
    w.pm.AddNotifier(&rec);

    EXPECT_TRUE(w.pm.SetTimer(root, 5, 20));
    EXPECT_FALSE(w.pm.SetTimer(root, 5, 20));
    EXPECT_TRUE(w.pm.KillTimer(root, 5));
    EXPECT_FALSE(w.pm.KillTimer(root, 5));
    Pump(80);
    w.rawTimers.clear();
    EXPECT_TRUE(w.pm.SetTimer(root, 5, 20));
    ASSERT_TRUE(PumpUntil([&] { return rec.Count(L"timer") > 0; }));
    ASSERT_FALSE(w.rawTimers.empty());
    EXPECT_EQ(17u, w.rawTimers.front());
    EXPECT_EQ(5u, rec.seen.back().wParam);
    EXPECT_EQ(root, rec.seen.back().pSender);

    // The counter did not move for the re-armed timer.
    w.rawTimers.clear();
    EXPECT_TRUE(w.pm.KillTimer(root, 5));
    EXPECT_TRUE(w.pm.SetTimer(root, 6, 20));
    ASSERT_TRUE(PumpUntil([&] { return !w.rawTimers.empty(); }));
    EXPECT_EQ(18u, w.rawTimers.front());
}

TEST(PaintManagerTimers, DestroyedControlTimersStop)
{
    HostWindow w;
    Box* root = new Box(L"root");
    w.pm.AttachDialog(root);
    Probe* child = new Probe(L"child");
    w.pm.InitControls(child, root);
    ASSERT_TRUE(w.pm.SetTimer(child, 1, 10));
    ASSERT_TRUE(w.pm.SetTimer(root, 1, 10));
    ASSERT_TRUE(PumpUntil([&] { return child->CountEvents(UIEVENT_TIMER) > 0; }));
    delete child;  // forgets the control: its timer goes, the root's stays
    root->events.clear();
    w.rawTimers.clear();
    Pump(120);
    EXPECT_GT(root->CountEvents(UIEVENT_TIMER), 0);
    for (WPARAM id : w.rawTimers) EXPECT_EQ(18u, id);
}

// ---------------------------------------------------------------------------------------------
// Notifications

TEST(PaintManagerNotify, SynchronousOrderSenderListenersFirstThenNotifiersInOrder)
{
    HostWindow w(false);
    Probe* root = new Probe(L"root");
    w.pm.AttachDialog(root);
    root->OnNotify += FnDelegate((void*)L"d1", LogDelegate);
    root->OnNotify += FnDelegate((void*)L"d2", LogDelegate);
    Recorder a(L"a"), b(L"b"), c(L"c"), late(L"late");
    w.pm.AddNotifier(&a);
    w.pm.AddNotifier(&b);
    w.pm.AddNotifier(&c);
    // a takes c out and brings late in while the notification is on its way.
    a.extra = [&](TNotifyRecord&) {
        w.pm.RemoveNotifier(&c);
        w.pm.AddNotifier(&late);
        a.extra = nullptr;
    };

    g_log.clear();
    w.pm.SendNotify(root, L"click", 7, 9);
    std::vector<std::wstring> expected = {L"d1:click", L"d2:click", L"a:click", L"b:click"};
    EXPECT_EQ(expected, g_log);
    ASSERT_FALSE(a.seen.empty());
    EXPECT_EQ(7u, a.seen[0].wParam);
    EXPECT_EQ(9, a.seen[0].lParam);

    g_log.clear();
    w.pm.SendNotify(root, L"click");
    expected = {L"d1:click", L"d2:click", L"a:click", L"b:click", L"late:click"};
    EXPECT_EQ(expected, g_log);
    EXPECT_FALSE(w.pm.AddNotifier(NULL));
    EXPECT_FALSE(w.pm.RemoveNotifier(&c));
}

TEST(PaintManagerNotify, QueuedNotificationsCoalesceUnlessRepeatAllowed)
{
    struct Case {
        const wchar_t* second;
        bool secondFromOther;
        bool repeat;
        int delivered;
    } cases[] = {
        {L"scroll", false, false, 1},
        {L"scroll", false, true, 2},
        {L"Scroll", false, false, 2},  // types compare case-sensitively
        {L"other", false, false, 2},
        {L"scroll", true, false, 2},
    };
    for (const Case& tc : cases) {
        HostWindow w(false);
        Box* root = new Box(L"root");
        Probe* other = new Probe(L"other");
        root->Add(other);
        w.pm.AttachDialog(root);
        Recorder rec(L"r");
        w.pm.AddNotifier(&rec);
        w.pm.SendNotify(root, L"scroll", 1, 10, true, tc.repeat);
        w.pm.SendNotify(tc.secondFromOther ? other : root, tc.second, 2, 20, true, tc.repeat);
        EXPECT_TRUE(rec.seen.empty());  // nothing before the delivery message
        ASSERT_TRUE(PumpUntil([&] { return (int)rec.seen.size() >= tc.delivered; }));
        Pump(50);
        ASSERT_EQ(tc.delivered, (int)rec.seen.size()) << tc.second << tc.repeat;
        if (tc.delivered == 1) {
            EXPECT_EQ(2u, rec.seen[0].wParam);
            EXPECT_EQ(20, rec.seen[0].lParam);
        } else {
            EXPECT_EQ(1u, rec.seen[0].wParam);  // queue order
            EXPECT_EQ(2u, rec.seen[1].wParam);
        }
    }
}

TEST(PaintManagerNotify, RecordQueuedDuringDeliveryGoesOutInTheSamePass)
{
    HostWindow w(false);
    Probe* root = new Probe(L"root");
    w.pm.AttachDialog(root);
    root->OnNotify += FnDelegate((void*)L"d", LogDelegate);
    Recorder rec(L"r");
    rec.extra = [&](TNotifyRecord& m) {
        if (m.sType == L"first") w.pm.SendNotify(root, L"second", 0, 0, true);
    };
    w.pm.AddNotifier(&rec);
    g_log.clear();
    w.pm.SendNotify(root, L"first", 0, 0, true);
    DeliverQueued(w);
    std::vector<std::wstring> expected = {L"d:first", L"r:first", L"d:second", L"r:second"};
    EXPECT_EQ(expected, g_log);
}

TEST(PaintManagerNotify, SenderGoneBeforeOrDuringDeliveryArrivesAsNull)
{
    HostWindow w(false);
    Probe* root = new Probe(L"root");
    w.pm.AttachDialog(root);
    Probe* a = new Probe(L"a");
    Probe* b = new Probe(L"b");
    w.pm.InitControls(a, root);
    w.pm.InitControls(b, root);
    Recorder first(L"1"), second(L"2");
    w.pm.AddNotifier(&first);
    w.pm.AddNotifier(&second);
    // The first listener destroys b while b's own record is being delivered.
    first.extra = [&](TNotifyRecord& m) {
        if (m.sType == L"fromb") delete b;
    };
    w.pm.SendNotify(a, L"froma", 0, 0, true);
    w.pm.SendNotify(b, L"fromb", 0, 0, true);
    delete a;
    DeliverQueued(w);
    ASSERT_EQ(2u, second.seen.size());
    EXPECT_EQ(NULL, second.seen[0].pSender);
    EXPECT_EQ(NULL, second.seen[1].pSender);
    ASSERT_FALSE(first.seen.empty());
    EXPECT_EQ(NULL, first.seen[0].pSender);
}

TEST(PaintManagerNotify, VirtualWindowNameStampedWhenUsed)
{
    HostWindow w(false);
    Probe* root = new Probe(L"root");
    w.pm.AttachDialog(root);
    Recorder rec(L"r");
    w.pm.AddNotifier(&rec);
    w.pm.SendNotify(root, L"click");
    root->SetVirtualWnd(L"page1");
    w.pm.SendNotify(root, L"click");
    ASSERT_EQ(2u, rec.seen.size());
    EXPECT_TRUE(rec.seen[0].sVirtualWnd.IsEmpty());
    EXPECT_TRUE(rec.seen[1].sVirtualWnd == L"page1");
}

// ---------------------------------------------------------------------------------------------
// Delayed deletion and the control tree

TEST(PaintManagerCleanup, DelayedDeleteHappensAfterTheQueuedNotifications)
{
    HostWindow w(false);
    Box* root = new Box(L"root");
    w.pm.AttachDialog(root);
    bool deleted = false;
    Probe* c = new Probe(L"c");
    c->m_pDeleted = &deleted;
    w.pm.InitControls(c, root);

    Recorder rec(L"r");
    bool aliveDuringClick = false;
    // The control is removed from inside the handling of its own notification.
    rec.extra = [&](TNotifyRecord& m) {
        if (m.sType == L"click") {
            w.pm.AddDelayedCleanup(c);
            w.pm.AddDelayedCleanup(c);  // a second request must not delete it twice
            aliveDuringClick = !deleted;
            w.pm.SendNotify(root, L"after", 0, 0, true);
        }
    };
    w.pm.AddNotifier(&rec);
    w.pm.SendNotify(c, L"click");
    EXPECT_TRUE(aliveDuringClick);
    EXPECT_FALSE(deleted);
    ASSERT_TRUE(PumpUntil([&] { return deleted; }));
    EXPECT_EQ(1, rec.Count(L"after"));
    EXPECT_EQ(NULL, w.pm.FindControl(L"c"));
}

TEST(PaintManagerTree, SecondAttachDialogReplacesTheTree)
{
    HostWindow w(false);
    bool oldDeleted = false;
    Box* oldRoot = new Box(L"old");
    oldRoot->m_pDeleted = &oldDeleted;
    oldRoot->Add(new Probe(L"oldchild"));
    EXPECT_TRUE(w.pm.AttachDialog(oldRoot));
    EXPECT_EQ(oldRoot->GetManager(), &w.pm);
    EXPECT_NE(nullptr, w.pm.FindControl(L"oldchild"));

    Box* newRoot = new Box(L"new");
    newRoot->Add(new Probe(L"newchild"));
    EXPECT_TRUE(w.pm.AttachDialog(newRoot));
    EXPECT_EQ(newRoot, w.pm.GetRoot());
    EXPECT_EQ(NULL, w.pm.FindControl(L"oldchild"));
    EXPECT_NE(nullptr, w.pm.FindControl(L"newchild"));
    EXPECT_FALSE(oldDeleted);
    ASSERT_TRUE(PumpUntil([&] { return oldDeleted; }));
    EXPECT_FALSE(w.pm.AttachDialog(NULL));
}

TEST(PaintManagerTree, NamesAndRenaming)
{
    HostWindow w(false);
    Box* root = new Box(L"root");
    Probe* a = new Probe(L"a");
    Probe* dup1 = new Probe(L"dup");
    Probe* dup2 = new Probe(L"dup");
    root->Add(a)->Add(dup1)->Add(dup2)->Add(new Probe(NULL));
    w.pm.AttachDialog(root);
    EXPECT_EQ(a, w.pm.FindControl(L"a"));
    EXPECT_EQ(NULL, w.pm.FindControl(L"A"));      // names are case-sensitive
    EXPECT_EQ(dup2, w.pm.FindControl(L"dup"));    // the later control wins

    Probe foreign(L"foreign");
    struct Case {
        CControlUI* control;
        const wchar_t* name;
        bool result;
    } cases[] = {
        {a, L"a", true},           // already its name
        {a, L"dup", false},        // taken
        {a, L"", false},
        {&foreign, L"x", false},   // not of this manager
        {a, L"renamed", true},
    };
    for (const Case& tc : cases) EXPECT_EQ(tc.result, w.pm.RenameControl(tc.control, tc.name)) << tc.name;
    EXPECT_EQ(a, w.pm.FindControl(L"renamed"));
    EXPECT_EQ(NULL, w.pm.FindControl(L"a"));
    EXPECT_TRUE(a->GetName() == L"renamed");
}

TEST(PaintManagerTree, ForgetControlDropsEveryReference)
{
    HostWindow w(false);
    Box* root = new Box(L"root");
    w.pm.AttachDialog(root);
    Probe* c = new Probe(L"c", UIFLAG_TABSTOP);
    w.pm.InitControls(c, root);
    ASSERT_TRUE(w.pm.AddPostPaint(c));
    w.pm.AddMouseLeaveListener(c);
    w.pm.SetFocus(c, false);
    ASSERT_EQ(c, w.pm.GetFocus());
    delete c;  // not through Delete(): the destructor alone must clean up
    EXPECT_EQ(NULL, w.pm.GetFocus());
    EXPECT_EQ(NULL, w.pm.FindControl(L"c"));
    EXPECT_FALSE(w.pm.RemovePostPaint(c));
    EXPECT_FALSE(w.pm.RemoveMouseLeaveListener(c));
}

TEST(PaintManagerPaint, LayoutOnlyInPaintAndWindowInitOnce)
{
    HostWindow w;
    Probe* root = new Probe(L"root");
    Recorder rec(L"r");
    w.pm.AddNotifier(&rec);
    w.pm.AttachDialog(root);
    EXPECT_TRUE(::IsRectEmpty(&root->GetPos()));
    ASSERT_TRUE(PumpUntil([&] { return rec.Count(L"windowinit") > 0; }));
    RECT rcClient;
    ::GetClientRect(w.hwnd, &rcClient);
    EXPECT_TRUE(::EqualRect(&rcClient, &root->GetPos()));
    EXPECT_EQ(root, rec.seen[0].pSender);

    ::SetWindowPos(w.hwnd, NULL, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
    ::InvalidateRect(w.hwnd, NULL, FALSE);
    Pump(200);
    ::GetClientRect(w.hwnd, &rcClient);
    EXPECT_TRUE(::EqualRect(&rcClient, &root->GetPos()));
    EXPECT_EQ(1, rec.Count(L"windowinit"));
}

// ---------------------------------------------------------------------------------------------
// Focus, Tab order, Alt shortcuts

TEST(PaintManagerFocus, SetFocusEventsAndRefusals)
{
    HostWindow w;
    Box* root = new Box(L"root");
    Probe* a = new Probe(L"a");
    Probe* b = new Probe(L"b");
    Probe* hidden = new Probe(L"hidden");
    Probe* disabled = new Probe(L"disabled");
    root->Add(a)->Add(b)->Add(hidden)->Add(disabled);
    hidden->SetVisible(false);
    disabled->SetEnabled(false);
    w.pm.AttachDialog(root);
    Recorder rec(L"n");
    w.pm.AddNotifier(&rec);

    w.pm.SetFocus(a, false);
    g_log.clear();
    w.pm.SetFocus(b, false);
    std::vector<std::wstring> expected = {L"a:event-killfocus", L"n:killfocus", L"b:event-setfocus", L"n:setfocus"};
    EXPECT_EQ(expected, g_log);
    ASSERT_FALSE(a->events.empty());
    EXPECT_EQ(b, a->events.back().sender);  // killfocus names the control that gets the focus

    Probe foreign(L"foreign");
    for (CControlUI* refused : {(CControlUI*)hidden, (CControlUI*)disabled, (CControlUI*)&foreign}) {
        w.pm.SetFocus(b, false);
        w.pm.SetFocus(refused, false);
        EXPECT_EQ(NULL, w.pm.GetFocus()) << refused->GetName().GetData();
    }
}

TEST(PaintManagerFocus, TabAndShiftTabWalkTheTabStopsAndWrap)
{
    HostWindow w;
    Box* root = new Box(L"root");
    Probe* a = new Probe(L"a", UIFLAG_TABSTOP);
    Probe* plain = new Probe(L"plain");
    Probe* hidden = new Probe(L"hidden", UIFLAG_TABSTOP);
    Probe* disabled = new Probe(L"disabled", UIFLAG_TABSTOP);
    Probe* b = new Probe(L"b", UIFLAG_TABSTOP);
    Box* inner = new Box(L"inner");
    Probe* c = new Probe(L"c", UIFLAG_TABSTOP);
    inner->Add(c);
    root->Add(a)->Add(plain)->Add(hidden)->Add(disabled)->Add(b)->Add(inner);
    hidden->SetVisible(false);
    disabled->SetEnabled(false);
    w.pm.AttachDialog(root);

    // After the first layout the focus moves onto the first tab stop by itself.
    ASSERT_TRUE(PumpUntil([&] { return w.pm.GetFocus() == a; }));

    struct Case {
        CControlUI* from;
        bool shift;
        CControlUI* to;
    } cases[] = {
        {a, false, b}, {b, false, c}, {c, false, a},  // forward, wrapping to the first
        {a, true, c},  {c, true, b},  {b, true, a},   // backward, wrapping to the last
        {NULL, false, a},
    };
    for (const Case& tc : cases) {
        w.pm.SetFocus(tc.from, false);
        SetShift(tc.shift);
        MSG msg = {w.hwnd, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
        EXPECT_TRUE(CPaintManagerUI::TranslateMessage(&msg));
        SetShift(false);
        EXPECT_EQ(tc.to, w.pm.GetFocus()) << (tc.from ? tc.from->GetName().GetData() : L"none") << tc.shift;
    }

    // Other keys are not taken by the pre-translation.
    MSG other = {w.hwnd, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
    EXPECT_FALSE(CPaintManagerUI::TranslateMessage(&other));
}

TEST(PaintManagerFocus, RequestFocusLandsOnTheControlAtTheNextPaint)
{
    HostWindow w;
    Box* root = new Box(L"root");
    Probe* a = new Probe(L"a", UIFLAG_TABSTOP);
    Probe* b = new Probe(L"b", UIFLAG_TABSTOP);
    Probe* c = new Probe(L"c", UIFLAG_TABSTOP);
    root->Add(a)->Add(b)->Add(c);
    w.pm.AttachDialog(root);
    ASSERT_TRUE(PumpUntil([&] { return w.pm.GetFocus() == a; }));
    for (Probe* target : {c, a, b}) {
        w.pm.RequestFocus(target);
        ASSERT_TRUE(PumpUntil([&] { return w.pm.GetFocus() == target; })) << target->GetName().GetData();
    }
}

TEST(PaintManagerFocus, AltShortcutFocusesAndActivates)
{
    HostWindow w;
    // Shortcut search runs from the last child to the first.
    Box* root = new Box(L"root");
    Probe* z = new Probe(L"z");
    Probe* x = new Probe(L"x");
    Probe* disabled = new Probe(L"disabled");
    Probe* hidden = new Probe(L"hidden");
    Probe* label = new Probe(L"label", 0, L"LabelUI");
    root->Add(z)->Add(x)->Add(disabled)->Add(hidden)->Add(label);
    z->SetShortcut(L'Z');
    label->SetShortcut(L's');
    disabled->SetEnabled(false);
    hidden->SetVisible(false);
    w.pm.AttachDialog(root);
    Pump(100);

    struct Case {
        WPARAM ch;
        bool consumed;
        Probe* focus;
    } cases[] = {
        {'s', true, x},   // the label passes the focus on to the next enabled, visible control
        {'S', true, x},
        {'z', true, z},   // any other control takes its own shortcut
        {'q', false, NULL},
    };
    for (const Case& tc : cases) {
        w.pm.SetFocus(NULL, false);
        int before = tc.focus != NULL ? tc.focus->activations : 0;
        MSG msg = {w.hwnd, WM_SYSCHAR, tc.ch, 0, 0, {0, 0}};
        EXPECT_EQ(tc.consumed, CPaintManagerUI::TranslateMessage(&msg)) << (wchar_t)tc.ch;
        EXPECT_EQ(tc.focus, w.pm.GetFocus()) << (wchar_t)tc.ch;
        if (tc.focus != NULL) {
            EXPECT_EQ(before + 1, tc.focus->activations);
        }
    }
    EXPECT_EQ(0, label->activations);
}

// ---------------------------------------------------------------------------------------------
// Filters, accelerators and the pre-translation of child windows

struct Filter : IMessageFilterUI {
    UINT handles = 0;
    int calls = 0;
    std::function<void()> extra;
    LRESULT MessageHandler(UINT uMsg, WPARAM, LPARAM, bool& bHandled) override
    {
        ++calls;
        if (extra) extra();
        if (uMsg == handles) bHandled = true;
        return 42;
    }
};

struct Accelerator : ITranslateAccelerator {
    LRESULT answer = 1;
    int calls = 0;
    LRESULT TranslateAccelerator(MSG*) override
    {
        ++calls;
        return answer;
    }
};

TEST(PaintManagerMessages, AcceleratorsThenPreFiltersThenTab)
{
    HostWindow w;
    w.pm.AttachDialog(new Probe(L"root"));
    Accelerator acc;
    Filter f1, f2;
    w.pm.AddTranslateAccelerator(&acc);
    w.pm.AddPreMessageFilter(&f1);
    w.pm.AddPreMessageFilter(&f2);
    f2.handles = WM_USER + 5;
    f1.extra = [&] { w.pm.RemovePreMessageFilter(&f1); };  // a filter may leave while it runs

    MSG user = {w.hwnd, WM_USER + 5, 0, 0, 0, {0, 0}};
    EXPECT_TRUE(CPaintManagerUI::TranslateMessage(&user));
    EXPECT_EQ(1, acc.calls);
    EXPECT_EQ(1, f1.calls);
    EXPECT_EQ(1, f2.calls);
    EXPECT_TRUE(CPaintManagerUI::TranslateMessage(&user));
    EXPECT_EQ(1, f1.calls);

    acc.answer = 0;  // 0: the accelerator handled it, no filter runs
    EXPECT_TRUE(CPaintManagerUI::TranslateMessage(&user));
    EXPECT_EQ(2, f2.calls);

    EXPECT_FALSE(w.pm.RemovePreMessageFilter(&f1));
    EXPECT_FALSE(w.pm.AddPreMessageFilter(NULL));
    EXPECT_TRUE(w.pm.RemoveTranslateAccelerator(&acc));
    EXPECT_FALSE(w.pm.RemoveTranslateAccelerator(&acc));
}

TEST(PaintManagerMessages, MessageFilterConsumesAndKeepsTheMousePoint)
{
    HostWindow w(false);
    Filter f;
    f.handles = WM_MOUSEMOVE;
    w.pm.AddMessageFilter(&f);
    LRESULT lRes = 0;
    EXPECT_TRUE(w.pm.MessageHandler(WM_MOUSEMOVE, 0, MAKELPARAM(12, 34), lRes));
    EXPECT_EQ(42, lRes);
    EXPECT_EQ(12, w.pm.GetMousePos().x);
    EXPECT_EQ(34, w.pm.GetMousePos().y);
    EXPECT_TRUE(w.pm.RemoveMessageFilter(&f));
}

TEST(PaintManagerSetup, SecondInitWithAnotherWindowRegistersOnce)
{
    HostWindow w1(false);
    HWND w2 = HostWindow::Create();
    HWND child = HostWindow::Create(w2, WS_CHILD);
    {
        CPaintManagerUI pm;
        pm.Init(w1.hwnd);
        HDC first = pm.GetPaintDC();
        ASSERT_NE((HDC)NULL, first);
        pm.Init(w2, L"second");
        EXPECT_EQ(w2, pm.GetPaintWindow());
        EXPECT_TRUE(pm.GetName() == L"second");
        Accelerator acc;
        pm.AddTranslateAccelerator(&acc);
        // A child window's message is offered to every registered manager of its ancestors.
        MSG msg = {child, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
        EXPECT_FALSE(CPaintManagerUI::TranslateMessage(&msg));
        EXPECT_EQ(1, acc.calls);
    }
    // A skinned child window deep in a window tree: its manager sees the message once.
    HWND mid = HostWindow::Create(w2, WS_CHILD);
    HWND deep = HostWindow::Create(mid, WS_CHILD);
    {
        CPaintManagerUI pm;
        pm.Init(deep);
        Accelerator acc;
        Filter pre;
        pm.AddTranslateAccelerator(&acc);
        pm.AddPreMessageFilter(&pre);
        MSG msg = {deep, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
        EXPECT_FALSE(CPaintManagerUI::TranslateMessage(&msg));
        EXPECT_EQ(1, acc.calls);
        EXPECT_EQ(1, pre.calls);
        acc.answer = 0;
        EXPECT_TRUE(CPaintManagerUI::TranslateMessage(&msg));
    }
    // The manager is gone: messages of its windows find no manager.
    MSG msg = {w2, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_FALSE(CPaintManagerUI::TranslateMessage(&msg));
    ::DestroyWindow(w2);
}

TEST(PaintManagerMessages, WindowCloseReleasesFocusAndSizeAsksForLayout)
{
    HostWindow w;
    Probe* root = new Probe(L"root");
    w.pm.AttachDialog(root);
    Pump(100);
    w.pm.SetFocus(root, false);
    LRESULT lRes = 0;
    EXPECT_TRUE(w.pm.MessageHandler(WM_SIZE, 0, 0, lRes));
    EXPECT_EQ(1, root->CountEvents(UIEVENT_WINDOWSIZE));
    EXPECT_TRUE(w.pm.IsUpdateNeeded());
    EXPECT_FALSE(w.pm.MessageHandler(WM_CLOSE, 0, 0, lRes));
    EXPECT_EQ(NULL, w.pm.GetFocus());
    EXPECT_TRUE(w.pm.MessageHandler(WM_ERASEBKGND, 0, 0, lRes));
    EXPECT_EQ(1, lRes);
}

} // namespace
