// Faults of the framework that a user could meet: a capture held after the pressed control went
// away, stale name entries, controls touched after a listener destroyed them, dangling senders,
// child layouts that name themselves, stale cached images, colliding timer ids, invalidation
// without a window, leaked window icons, deeply nested markup and a horizontal bar left shown.
#include "UIInputTestSupport.h"
#include "UIRenderTestSupport.h"
#include "UIButton.h"
#include "UIChildLayout.h"
#include "UIContainer.h"
#include "UIList.h"
#include "UIListElement.h"
#include "UIListHeader.h"
#include "UIMarkup.h"
#include "UIOption.h"
#include "UIScrollBar.h"
#include "UISlider.h"
#include "UITreeView.h"
#include "UIVerticalLayout.h"
#include "UIWindow.h"

#include <cstring>
#include <set>

using namespace inputtest;

namespace {

// A host with a vertical layout as its root; its children are removed at once (no delayed destroy).
struct LayoutScene {
    Host host;
    CVerticalLayoutUI* root;

    LayoutScene()
    {
        root = new CVerticalLayoutUI;
        root->SetDelayedDestroy(false);
        host.pm.AttachDialog(root);
        host.Show();
        PumpUntil([&] { return !host.pm.IsUpdateNeeded(); });
    }
    template <class T>
    T* Add(T* p, int height)
    {
        p->SetFixedHeight(height);
        root->Add(p);
        host.pm.NeedUpdate();
        PumpUntil([&] { return !host.pm.IsUpdateNeeded(); });
        return p;
    }
};

// Memory of destroyed controls stays reserved and filled with a pattern, so that a write into a
// control after its destruction shows.
struct Graveyard {
    static std::vector<std::pair<unsigned char*, size_t>>& Graves()
    {
        static std::vector<std::pair<unsigned char*, size_t>> graves;
        return graves;
    }
    static bool Untouched()
    {
        for (const auto& g : Graves())
            for (size_t i = 0; i < g.second; ++i)
                if (g.first[i] != 0xDD) return false;
        return true;
    }
    static void Clear()
    {
        for (const auto& g : Graves()) ::operator delete(g.first);
        Graves().clear();
    }
};

// The pair below keeps what it frees on purpose; the compiler cannot see that it pairs.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
template <class Base>
class Buried : public Base {
public:
    static void* operator new(size_t n) { return ::operator new(n); }
    static void operator delete(void* p, size_t n)
    {
        memset(p, 0xDD, n);
        Graveyard::Graves().push_back(std::make_pair(static_cast<unsigned char*>(p), n));
    }
};

// Removes the sender of one notification type from its container.
struct Remover : INotifyUI {
    CContainerUI* container;
    const wchar_t* type;
    int seen = 0;
    Remover(CContainerUI* c, const wchar_t* t) : container(c), type(t) {}
    void Notify(TNotifyRecord& msg) override
    {
        if (msg.sType != type || msg.pSender == NULL) return;
        ++seen;
        container->Remove(msg.pSender);
    }
};

// A delegate that removes the control it is called for from its container.
class RemoveSelfDelegate : public CDelegateBase {
public:
    typedef bool (*Fn)(void* obj, void* param);
    explicit RemoveSelfDelegate(CContainerUI* container) : CDelegateBase(container, reinterpret_cast<void*>(&Run)) {}
    CDelegateBase* Copy() const override { return new RemoveSelfDelegate(*this); }
    bool Invoke(void* param) override { return Run(GetObj(), param); }
    static bool Run(void* obj, void* param)
    {
        TNotifyRecord* msg = static_cast<TNotifyRecord*>(param);
        static_cast<CContainerUI*>(obj)->Remove(msg->pSender);
        return true;
    }
};

// Exposes a button's state image descriptions.
class StripButton : public CButtonUI {
public:
    const TImageDesc& Normal() const { return m_diNormal; }
    TImageDesc& MutableNormal() { return m_diNormal; }
    std::vector<const TImageDesc*> States() const
    {
        return {&m_diNormal, &m_diPushed, &m_diHot, &m_diFocused, &m_diDisabled};
    }
};

struct SenderRecorder : INotifyUI {
    std::vector<CControlUI*> senders;
    void Notify(TNotifyRecord& msg) override { senders.push_back(msg.pSender); }
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Mouse capture

TEST(FrameworkFaults, CaptureGoesWhenThePressedControlIsForgottenAndOnEveryButtonUp)
{
    LayoutScene s;
    s.root->SetDelayedDestroy(true);
    Probe* item = s.Add(new Probe(L"item"), 40);
    // A double-click handler that removes its item, as a list might; it goes after the message.
    item->onEvent = [&](TEventUI& e) {
        if (e.Type == UIEVENT_DBLCLICK) s.root->Remove(item);
    };
    s.host.Send(WM_LBUTTONDBLCLK, 20, 20, MK_LBUTTON);
    Pump(100);
    EXPECT_EQ(nullptr, s.host.pm.FindControl(L"item"));
    EXPECT_FALSE(s.host.pm.IsCaptured());
    EXPECT_EQ(NULL, ::GetCapture());
    s.host.Send(WM_LBUTTONUP, 20, 20);
    EXPECT_FALSE(s.host.pm.IsCaptured());
    EXPECT_EQ(NULL, ::GetCapture());

    // A capture held with no pressed control: the button-up still releases it.
    s.host.pm.SetCapture();
    ASSERT_TRUE(s.host.pm.IsCaptured());
    s.host.Send(WM_LBUTTONUP, 20, 20);
    EXPECT_FALSE(s.host.pm.IsCaptured());
    EXPECT_EQ(NULL, ::GetCapture());
}

// ---------------------------------------------------------------------------------------------
// Names

TEST(FrameworkFaults, RenamedAttachedControlLeavesNoStaleNameEntry)
{
    LayoutScene s;
    CControlUI* a = s.Add(new CControlUI, 10);
    CControlUI* b = s.Add(new CControlUI, 10);
    a->SetName(L"a");
    b->SetName(L"b");
    ASSERT_EQ(a, s.host.pm.FindControl(L"a"));

    // Emptied: the old name no longer finds it.
    a->SetName(L"");
    EXPECT_EQ(nullptr, s.host.pm.FindControl(L"a"));
    EXPECT_TRUE(a->GetName().IsEmpty());

    // Taken by another: the other keeps the name, the old entry goes.
    a->SetName(L"a2");
    ASSERT_EQ(a, s.host.pm.FindControl(L"a2"));
    a->SetName(L"b");
    EXPECT_EQ(nullptr, s.host.pm.FindControl(L"a2"));
    EXPECT_EQ(b, s.host.pm.FindControl(L"b"));

    // Destroyed, it leaves nothing behind under any name it had.
    s.root->Remove(a);
    EXPECT_EQ(nullptr, s.host.pm.FindControl(L"a"));
    EXPECT_EQ(nullptr, s.host.pm.FindControl(L"a2"));
    EXPECT_EQ(b, s.host.pm.FindControl(L"b"));
}

// ---------------------------------------------------------------------------------------------
// Controls destroyed by their own notifications

TEST(FrameworkFaults, ControlsDestroyedByTheirOwnNotificationAreNotTouchedAfterIt)
{
    struct Case {
        const char* what;
        const wchar_t* type;
        std::function<CControlUI*()> make;
        std::function<void(Host&)> act;
    };
    const Case cases[] = {
        {"button click", L"click", [] { return new Buried<CButtonUI>; },
         [](Host& h) {
             h.Send(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
             h.Send(WM_LBUTTONUP, 20, 20);
         }},
        {"option click", L"click", [] { return new Buried<COptionUI>; },
         [](Host& h) {
             h.Send(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
             h.Send(WM_LBUTTONUP, 20, 20);
         }},
        {"option selectchanged", L"selectchanged", [] { return new Buried<COptionUI>; },
         [](Host& h) {
             h.Send(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
             h.Send(WM_LBUTTONUP, 20, 20);
         }},
        {"slider valuechanged on release", L"valuechanged", [] { return new Buried<CSliderUI>; },
         [](Host& h) {
             h.Send(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
             h.Send(WM_LBUTTONUP, 30, 20);
         }},
        {"slider valuechanged while dragged", L"valuechanged",
         [] {
             CSliderUI* p = new Buried<CSliderUI>;
             p->SetImmMode(true);
             return p;
         },
         [](Host& h) {
             h.Send(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
             h.Send(WM_MOUSEMOVE, 60, 20, MK_LBUTTON);
             h.Send(WM_LBUTTONUP, 60, 20);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            LayoutScene s;
            Remover remover(s.root, c.type);
            s.host.pm.AddNotifier(&remover);
            CControlUI* p = s.Add(c.make(), 40);
            p->SetName(L"victim");
            c.act(s.host);
            EXPECT_EQ(1, remover.seen);
            EXPECT_EQ(nullptr, s.host.pm.FindControl(L"victim"));
            ASSERT_EQ(1u, Graveyard::Graves().size());
            EXPECT_TRUE(Graveyard::Untouched());
            s.host.pm.RemoveNotifier(&remover);
        }
        Graveyard::Clear();
    }
}

TEST(FrameworkFaults, ListPartsDestroyedByTheirOwnNotificationAreNotTouchedAfterIt)
{
    enum Part { kRow, kHeaderItem, kNode };
    enum Act { kDown, kRDown, kDbl, kReturnOnRow, kReturnOnList };
    struct Case {
        const char* what;
        const wchar_t* type;
        std::function<CControlUI*()> make;
        Part part;
        Act act;
    };
    auto label = [] { return new Buried<CListLabelElementUI>; };
    auto text = [] { return new Buried<CListTextElementUI>; };
    auto box = [] { return new Buried<CListContainerElementUI>; };
    const Case cases[] = {
        {"label row itemclick", L"itemclick", label, kRow, kDown},
        {"label row itemclick, right button", L"itemclick", label, kRow, kRDown},
        {"label row itemactivate", L"itemactivate", label, kRow, kDbl},
        {"label row itemactivate by Return", L"itemactivate", label, kRow, kReturnOnRow},
        {"text row itemclick", L"itemclick", text, kRow, kDown},
        {"text row itemactivate", L"itemactivate", text, kRow, kDbl},
        {"container row itemclick", L"itemclick", box, kRow, kDown},
        {"container row itemclick, right button", L"itemclick", box, kRow, kRDown},
        {"container row itemactivate", L"itemactivate", box, kRow, kDbl},
        {"container row itemactivate by Return", L"itemactivate", box, kRow, kReturnOnRow},
        {"Return on the list", L"itemactivate", label, kRow, kReturnOnList},
        {"header item headerclick", L"headerclick", [] { return new Buried<CListHeaderItemUI>; }, kHeaderItem, kDown},
        {"header item headerclick by double click", L"headerclick", [] { return new Buried<CListHeaderItemUI>; },
         kHeaderItem, kDbl},
        {"tree node itemdbclick", L"itemdbclick", [] { return new Buried<CTreeNodeUI>; }, kNode, kDbl},
        {"tree node itemactivate", L"itemactivate", [] { return new Buried<CTreeNodeUI>; }, kNode, kDbl},
        {"tree node itemclick", L"itemclick", [] { return new Buried<CTreeNodeUI>; }, kNode, kDown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            LayoutScene s;
            CListUI* list = c.part == kNode ? new CTreeViewUI : new CListUI;
            s.Add(list, 150);
            CControlUI* p = c.make();
            p->SetName(L"victim");
            if (c.part == kHeaderItem)
                p->SetFixedWidth(100);
            else if (c.part == kRow)
                p->SetFixedHeight(20);
            ASSERT_TRUE(list->Add(p));
            s.host.pm.NeedUpdate();
            PumpUntil([&] { return !s.host.pm.IsUpdateNeeded(); });
            const RECT rc = p->GetPos();
            ASSERT_LT(rc.left, rc.right);
            ASSERT_LT(rc.top, rc.bottom);
            Remover remover(list, c.type);
            s.host.pm.AddNotifier(&remover);
            const int x = (rc.left + rc.right) / 2, y = (rc.top + rc.bottom) / 2;
            tagTEventUI e = {};
            e.ptMouse = POINT{x, y};
            e.dwTimestamp = ::GetTickCount();
            switch (c.act) {
            case kDown: e.Type = UIEVENT_BUTTONDOWN; p->Event(e); break;
            case kRDown: e.Type = UIEVENT_RBUTTONDOWN; p->Event(e); break;
            case kDbl: e.Type = UIEVENT_DBLCLICK; p->Event(e); break;
            case kReturnOnRow:
                e.Type = UIEVENT_KEYDOWN;
                e.chKey = VK_RETURN;
                p->Event(e);
                break;
            case kReturnOnList:
                ASSERT_TRUE(list->SelectItem(0, false, false));
                e.Type = UIEVENT_KEYDOWN;
                e.chKey = VK_RETURN;
                list->Event(e);
                break;
            }
            EXPECT_EQ(1, remover.seen);
            EXPECT_EQ(nullptr, s.host.pm.FindControl(L"victim"));
            ASSERT_EQ(1u, Graveyard::Graves().size());
            EXPECT_TRUE(Graveyard::Untouched());
            s.host.pm.RemoveNotifier(&remover);
        }
        Graveyard::Clear();
    }
}

// Removes the row that an "itemselect" names (its wParam) from the list that sent it.
struct SelectedRowRemover : INotifyUI {
    int seen = 0;
    void Notify(TNotifyRecord& msg) override
    {
        if (msg.sType != L"itemselect" || msg.pSender == NULL) return;
        ++seen;
        CListUI* list = static_cast<CListUI*>(msg.pSender->GetInterface(L"List"));
        if (list != NULL) list->RemoveAt((int)msg.wParam);
    }
};

TEST(FrameworkFaults, RowRemovedByTheSelectionItsClickMadeIsNotTouchedAfterIt)
{
    const std::function<CControlUI*()> makers[] = {
        [] { return new Buried<CListLabelElementUI>; },
        [] { return new Buried<CListContainerElementUI>; },
    };
    for (const auto& make : makers) {
        {
            LayoutScene s;
            CListUI* list = new CListUI;
            s.Add(list, 150);
            CControlUI* p = make();
            p->SetName(L"victim");
            p->SetFixedHeight(20);
            ASSERT_TRUE(list->Add(p));
            s.host.pm.NeedUpdate();
            PumpUntil([&] { return !s.host.pm.IsUpdateNeeded(); });
            SelectedRowRemover remover;
            s.host.pm.AddNotifier(&remover);
            const RECT rc = p->GetPos();
            tagTEventUI e = {};
            e.Type = UIEVENT_BUTTONDOWN;
            e.ptMouse = POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
            p->Event(e);
            EXPECT_EQ(1, remover.seen);
            EXPECT_EQ(nullptr, s.host.pm.FindControl(L"victim"));
            EXPECT_EQ(0, list->GetCount());
            ASSERT_EQ(1u, Graveyard::Graves().size());
            EXPECT_TRUE(Graveyard::Untouched());
            s.host.pm.RemoveNotifier(&remover);
        }
        Graveyard::Clear();
    }
}

TEST(FrameworkFaults, LaterListenersOfASynchronousNotificationSeeNoDestroyedSender)
{
    LayoutScene s;
    Remover remover(s.root, L"ping");
    SenderRecorder later;
    s.host.pm.AddNotifier(&remover);
    s.host.pm.AddNotifier(&later);
    CControlUI* p = s.Add(new CControlUI, 10);
    s.host.pm.SendNotify(p, L"ping", 0, 0, false);
    ASSERT_EQ(1u, later.senders.size());
    EXPECT_EQ(nullptr, later.senders[0]);

    // The sender's own delegate destroys it: the listeners see no sender either.
    later.senders.clear();
    CControlUI* q = s.Add(new CControlUI, 10);
    q->OnNotify += RemoveSelfDelegate(s.root);
    s.host.pm.SendNotify(q, L"pong", 0, 0, false);
    ASSERT_EQ(1u, later.senders.size());
    EXPECT_EQ(nullptr, later.senders[0]);

    // A sender that survives is handed on.
    later.senders.clear();
    CControlUI* r = s.Add(new CControlUI, 10);
    s.host.pm.SendNotify(r, L"pong", 0, 0, false);
    ASSERT_EQ(1u, later.senders.size());
    EXPECT_EQ(r, later.senders[0]);
    s.host.pm.RemoveNotifier(&remover);
    s.host.pm.RemoveNotifier(&later);
}

// ---------------------------------------------------------------------------------------------
// Child layouts

TEST(FrameworkFaults, ChildLayoutFilesThatNameThemselvesEnd)
{
    std::wstring dir = rendertest::TempDir(L"cycle");
    auto write = [&](const wchar_t* name, const char* text) {
        std::string s(text);
        rendertest::WriteBytes(dir + name, std::vector<BYTE>(s.begin(), s.end()));
    };
    write(L"self.xml", "<Window><VerticalLayout><ChildLayout xmlfile=\"self.xml\"/></VerticalLayout></Window>");
    write(L"ping.xml", "<Window><VerticalLayout><ChildLayout xmlfile=\"pong.xml\"/></VerticalLayout></Window>");
    write(L"pong.xml", "<Window><VerticalLayout><ChildLayout xmlfile=\"ping.xml\"/></VerticalLayout></Window>");
    CUIString oldPath = CPaintManagerUI::GetResourcePath();
    CPaintManagerUI::SetResourcePath(dir.c_str());

    for (const wchar_t* file : {L"self.xml", L"ping.xml"}) {
        LayoutScene s;
        CChildLayoutUI* child = new CChildLayoutUI;
        child->SetXmlFile(file);
        s.root->Add(child);
        // Built down to the bound, then refused: a finite chain of layouts.
        int depth = 0;
        CControlUI* p = child;
        while (p != NULL) {
            CChildLayoutUI* layout = static_cast<CChildLayoutUI*>(p->GetInterface(L"ChildLayout"));
            if (layout == NULL || layout->GetCount() == 0) break;
            ++depth;
            CContainerUI* inner = static_cast<CContainerUI*>(layout->GetItemAt(0)->GetInterface(L"Container"));
            p = inner != NULL && inner->GetCount() > 0 ? inner->GetItemAt(0) : NULL;
        }
        EXPECT_GE(depth, 2);
        EXPECT_LE(depth, 16);
    }
    CPaintManagerUI::SetResourcePath(oldPath);
    for (const wchar_t* f : {L"self.xml", L"ping.xml", L"pong.xml"}) ::DeleteFileW((dir + f).c_str());
    ::RemoveDirectoryW(dir.c_str());
}

// ---------------------------------------------------------------------------------------------
// Cached images

TEST(FrameworkFaults, ImageDescriptionsFollowTheCacheAcrossRemovalAndReplacement)
{
    std::wstring dir = rendertest::TempDir(L"stale");
    std::wstring small = dir + L"small.tga";
    std::wstring big = dir + L"big.tga";
    std::wstring strip = dir + L"strip.tga";
    rendertest::WriteBytes(small, rendertest::MakeTga(10, 10, rendertest::Solid(10, 10, {255, 0, 0, 255})));
    rendertest::WriteBytes(big, rendertest::MakeTga(20, 20, rendertest::Solid(20, 20, {0, 255, 0, 255})));
    rendertest::WriteBytes(strip, rendertest::MakeTga(50, 10, rendertest::Solid(50, 10, {0, 0, 255, 255})));

    Host host;
    RECT rcNull = {0, 0, 0, 0};
    // A record replaced under the same name (the new one may take the freed one's address): the
    // description takes the new image's size.
    TImageDesc desc;
    desc.sDescription = small.c_str();
    CUIPainter::DrawImage(NULL, &host.pm, rcNull, rcNull, desc);
    ASSERT_NE(nullptr, desc.pImage);
    EXPECT_EQ(10, desc.rcSource.right);
    for (int i = 0; i < 4; ++i) {
        // The file changes and is loaded again under the same name.
        ASSERT_TRUE(::CopyFileW(big.c_str(), small.c_str(), FALSE));
        ASSERT_NE(nullptr, host.pm.AddImage(small.c_str(), NULL, 0, false, false));
        CUIPainter::DrawImage(NULL, &host.pm, rcNull, rcNull, desc);
        ASSERT_NE(nullptr, desc.pImage);
        EXPECT_EQ(20, desc.rcSource.right);
        EXPECT_EQ(20, desc.rcSource.bottom);
        rendertest::WriteBytes(small, rendertest::MakeTga(10, 10, rendertest::Solid(10, 10, {255, 0, 0, 255})));
        ASSERT_NE(nullptr, host.pm.AddImage(small.c_str(), NULL, 0, false, false));
        CUIPainter::DrawImage(NULL, &host.pm, rcNull, rcNull, desc);
        EXPECT_EQ(10, desc.rcSource.right);
    }

    // A five-state strip keeps its parts when the image is dropped and loaded again.
    StripButton* button = new StripButton;
    host.pm.AttachDialog(button);
    button->SetFiveStatusImage(strip.c_str());
    EXPECT_EQ(10, button->Normal().rcSource.right);
    host.pm.RemoveImage(strip.c_str(), false);
    host.Show();
    ASSERT_TRUE(PumpUntil([&] { return !host.pm.IsUpdateNeeded() && host.pm.GetImage(strip.c_str()) != NULL; }));
    Pump(50);
    // Painted: the state shown resolved the image anew and still shows its own fifth.
    int resolved = 0;
    int index = 0;
    for (const TImageDesc* d : button->States()) {
        if (d->pImage != NULL && CUIPainter::IsImageCurrent(&host.pm, *d)) {
            ++resolved;
            EXPECT_EQ(10 * index, d->rcSource.left) << index;
            EXPECT_EQ(10 * (index + 1), d->rcSource.right) << index;
        }
        ++index;
    }
    EXPECT_GE(resolved, 1);
    // And each state still finds its own part when it is drawn next.
    for (TImageDesc* d : {&button->MutableNormal()}) {
        RECT rcNone = {0, 0, 0, 0};
        CUIPainter::DrawImage(NULL, &host.pm, rcNone, rcNone, *d);
        EXPECT_EQ(0, d->rcSource.left);
        EXPECT_EQ(10, d->rcSource.right);
    }

    for (const std::wstring& f : {small, big, strip}) ::DeleteFileW(f.c_str());
    ::RemoveDirectoryW(dir.c_str());
}

TEST(FrameworkFaults, LayeredBackgroundImageIsResolvedAgainAfterTheCacheDroppedIt)
{
    std::wstring dir = rendertest::TempDir(L"layeredstale");
    std::wstring file = dir + L"shape.tga";
    rendertest::WriteBytes(file, rendertest::MakeTga(1, 1, {{0xFF, 0xFF, 0xFF, 0x80}}));
    {
        Host host;
        Canvas* root = new Canvas();
        Probe* solid = root->Add(new Probe(L"S", 0xFF80C040), 20, 20, 60, 50);
        host.pm.AttachDialog(root);
        host.pm.SetLayeredImage(file.c_str());
        host.Show();
        auto painted = [&] {
            return PumpUntil([&] {
                return host.pm.GetPaintOffscreenBitmap() != NULL && !host.pm.IsUpdateNeeded() &&
                       !solid->IsUpdateNeeded() && !host.pm.IsPainting();
            }) && (Pump(80), true);
        };
        ASSERT_TRUE(painted());
        ASSERT_NE(nullptr, host.pm.GetImage(file.c_str()));

        host.pm.RemoveImage(file.c_str(), false);
        ASSERT_EQ(nullptr, host.pm.GetImage(file.c_str()));
        host.pm.Invalidate();
        ASSERT_TRUE(painted());
        // The next composition read the image through the cache again, not through the freed record.
        EXPECT_TRUE(PumpUntil([&] { return host.pm.GetImage(file.c_str()) != NULL; }, 1000));
    }
    ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(dir.c_str());
}

// ---------------------------------------------------------------------------------------------
// Timers, invalidation and icons

TEST(FrameworkFaults, TimerIdsInUseAreSkippedWhenTheCounterWraps)
{
    LayoutScene s;
    Probe* a = s.Add(new Probe(L"a"), 10);
    Probe* b = s.Add(new Probe(L"b"), 10);
    int ticksA = 0;
    a->onEvent = [&](TEventUI& e) {
        if (e.Type == UIEVENT_TIMER) ++ticksA;
    };
    ASSERT_TRUE(s.host.pm.SetTimer(a, 1, 20));
    // 254 timers come and go: the counter comes round to a's id.
    for (int i = 0; i < 254; ++i) {
        ASSERT_TRUE(s.host.pm.SetTimer(b, 1, 60000));
        s.host.pm.KillTimer(b);
    }
    // The next one must not take over a's Win32 timer (and with it a's 20 ms).
    ASSERT_TRUE(s.host.pm.SetTimer(b, 2, 60000));
    ticksA = 0;
    EXPECT_TRUE(PumpUntil([&] { return ticksA >= 2; }, 2000));
    s.host.pm.KillTimer(a);
    s.host.pm.KillTimer(b);
}

TEST(FrameworkFaults, InvalidateWithoutAWindowInvalidatesNothing)
{
    Host host;
    host.Show();
    Pump(50);
    ::ValidateRect(host.hwnd, NULL);
    RECT rc;
    ASSERT_FALSE(::GetUpdateRect(host.hwnd, &rc, FALSE));

    CPaintManagerUI windowless;
    windowless.Invalidate();
    RECT rcItem = {0, 0, 50, 50};
    windowless.Invalidate(rcItem);
    EXPECT_FALSE(::GetUpdateRect(host.hwnd, &rc, FALSE));
}

namespace {
class IconWindow : public CWindowWnd {
public:
    const wchar_t* GetWindowClassName() const override { return L"VeneerIconTest"; }
};
} // namespace

TEST(FrameworkFaults, IconsThatSetIconLoadedAreDestroyedWhenReplacedAndWithTheWindow)
{
    CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
    IconWindow wnd;
    ASSERT_NE((HWND)NULL, wnd.Create(NULL, L"icons", WS_POPUP, 0, 0, 0, 50, 50));
    wnd.SetIcon(301);
    HICON big1 = reinterpret_cast<HICON>(::SendMessageW(wnd.GetHWND(), WM_GETICON, ICON_BIG, 0));
    HICON small1 = reinterpret_cast<HICON>(::SendMessageW(wnd.GetHWND(), WM_GETICON, ICON_SMALL, 0));
    ASSERT_NE((HICON)NULL, big1);
    ASSERT_NE((HICON)NULL, small1);
    ICONINFO info;
    ASSERT_TRUE(::GetIconInfo(big1, &info));
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);

    wnd.SetIcon(301);
    HICON big2 = reinterpret_cast<HICON>(::SendMessageW(wnd.GetHWND(), WM_GETICON, ICON_BIG, 0));
    HICON small2 = reinterpret_cast<HICON>(::SendMessageW(wnd.GetHWND(), WM_GETICON, ICON_SMALL, 0));
    ASSERT_NE(big1, big2);
    EXPECT_FALSE(::GetIconInfo(big1, &info));
    EXPECT_FALSE(::GetIconInfo(small1, &info));

    ::DestroyWindow(wnd.GetHWND());
    EXPECT_FALSE(::GetIconInfo(big2, &info));
    EXPECT_FALSE(::GetIconInfo(small2, &info));
}

// ---------------------------------------------------------------------------------------------
// Markup and scroll bars

TEST(FrameworkFaults, DeeplyNestedMarkupFailsCleanly)
{
    auto nested = [](int levels) {
        std::wstring text;
        for (int i = 0; i < levels; ++i) text += L"<a>";
        for (int i = 0; i < levels; ++i) text += L"</a>";
        return text;
    };
    CUIXmlDoc fine;
    EXPECT_TRUE(fine.Load(nested(1000).c_str())) << fine.GetLastErrorMessage();
    CUIXmlDoc deep;
    EXPECT_FALSE(deep.Load(nested(200000).c_str()));
    EXPECT_STRNE(L"", deep.GetLastErrorMessage());
    // The parser is usable again afterwards.
    CUIXmlDoc again;
    EXPECT_TRUE(again.Load(nested(1000).c_str())) << again.GetLastErrorMessage();
}

namespace {
// A container whose content size is given per layout by a function of the vertical bar's
// visibility (content that reflows narrower when the bar takes width, as wrapped text does).
class ScriptedBox : public CContainerUI {
public:
    std::function<SIZE(bool)> need;
    int layouts = 0;
    void SetPos(RECT rc, bool bNeedInvalidate) override
    {
        CControlUI::SetPos(rc, bNeedInvalidate);
        ++layouts;
        RECT client = m_rcItem;
        const bool vVisible = m_pVerticalScrollBar != NULL && m_pVerticalScrollBar->IsVisible();
        if (vVisible) client.right -= m_pVerticalScrollBar->GetFixedWidth();
        if (m_pHorizontalScrollBar != NULL && m_pHorizontalScrollBar->IsVisible())
            client.bottom -= m_pHorizontalScrollBar->GetFixedHeight();
        SIZE sz = need(vVisible);
        ProcessScrollBar(client, sz.cx, sz.cy);
    }
};
} // namespace

TEST(FrameworkFaults, NestedLayoutHidesTheHorizontalBarWhenTheContentStopsNeedingIt)
{
    Host host;
    ScriptedBox* box = new ScriptedBox;
    box->EnableScrollBar(true, true);
    host.pm.AttachDialog(box);
    RECT rc = {0, 0, 300, 200};
    // Small content: both bars hidden.
    box->need = [](bool) { return SIZE{10, 10}; };
    box->SetPos(rc, false);
    ASSERT_FALSE(box->GetVerticalScrollBar()->IsVisible());
    ASSERT_FALSE(box->GetHorizontalScrollBar()->IsVisible());
    // Wide and tall: the horizontal bar shows, then the vertical one, which lays the box out again;
    // in that nested layout the content has reflowed narrow.
    box->need = [](bool vVisible) { return vVisible ? SIZE{50, 1000} : SIZE{1000, 1000}; };
    box->layouts = 0;
    box->SetPos(rc, false);
    ASSERT_GE(box->layouts, 2);
    EXPECT_TRUE(box->GetVerticalScrollBar()->IsVisible());
    EXPECT_FALSE(box->GetHorizontalScrollBar()->IsVisible());
}
