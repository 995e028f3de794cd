// Container: child management and destruction (immediate, delayed, none), tree search with every
// flag, plain and float placement, scroll bars shown, hidden and ranged by the layout, scrolling by
// line, page, keys and wheel, attributes, and clipped painting.
#include "UIContainerTestSupport.h"

#include <algorithm>

using namespace Veneer;
using namespace containertest;

namespace {

// A control that reports its destruction and what its former container held at that moment.
class Tracked : public CControlUI {
public:
    std::function<void(Tracked*)> onDestroy;
    ~Tracked() override
    {
        if (onDestroy) onDestroy(this);
    }
};

CControlUI* CALLBACK Hit(CControlUI* c, void*) { return c; }

struct Visits {
    std::vector<CControlUI*> order;
    CControlUI* answer = nullptr;
};
CControlUI* CALLBACK Visit(CControlUI* c, void* data)
{
    Visits* v = static_cast<Visits*>(data);
    v->order.push_back(c);
    return c == v->answer ? c : nullptr;
}

} // namespace

TEST(UIContainer, ChildListOperations)
{
    CContainerUI* box = new CContainerUI;
    CControlUI* a = new CControlUI;
    CControlUI* b = new CControlUI;
    CControlUI* c = new CControlUI;
    CControlUI* d = new CControlUI;
    EXPECT_FALSE(box->Add(nullptr));
    EXPECT_FALSE(box->AddAt(nullptr, 0));
    EXPECT_TRUE(box->Add(a));
    EXPECT_TRUE(box->Add(b));
    EXPECT_TRUE(box->AddAt(c, 0));
    EXPECT_TRUE(box->AddAt(d, 3));  // the count appends
    CControlUI* stray = new CControlUI;
    EXPECT_FALSE(box->AddAt(stray, 9));
    stray->Delete();
    ASSERT_EQ(4, box->GetCount());
    EXPECT_EQ(c, box->GetItemAt(0));
    EXPECT_EQ(a, box->GetItemAt(1));
    EXPECT_EQ(b, box->GetItemAt(2));
    EXPECT_EQ(d, box->GetItemAt(3));
    EXPECT_EQ(nullptr, box->GetItemAt(-1));
    EXPECT_EQ(nullptr, box->GetItemAt(4));
    EXPECT_EQ(2, box->GetItemIndex(b));
    EXPECT_EQ(-1, box->GetItemIndex(nullptr));

    // [c a b d] -> [d c a b]
    EXPECT_TRUE(box->SetItemIndex(d, 0));
    EXPECT_EQ(d, box->GetItemAt(0));
    // A place that does not exist keeps the child where it was.
    EXPECT_FALSE(box->SetItemIndex(d, 10));
    EXPECT_EQ(d, box->GetItemAt(0));
    EXPECT_EQ(4, box->GetCount());
    EXPECT_FALSE(box->SetItemIndex(stray = new CControlUI, 0));
    stray->Delete();

    // The run [c a] moves to start at 2: [d b c a].
    EXPECT_TRUE(box->SetMultiItemIndex(c, 2, 2));
    CControlUI* want[] = {d, b, c, a};
    for (int i = 0; i < 4; i++) EXPECT_EQ(want[i], box->GetItemAt(i)) << i;
    EXPECT_TRUE(box->SetMultiItemIndex(b, 3, 1));    // already there
    EXPECT_FALSE(box->SetMultiItemIndex(c, 3, 0));   // the run passes the end
    EXPECT_FALSE(box->SetMultiItemIndex(d, 2, 3));   // the new place passes the end
    EXPECT_FALSE(box->SetMultiItemIndex(nullptr, 1, 0));
    EXPECT_FALSE(box->SetMultiItemIndex(d, -1, 1));
    EXPECT_FALSE(box->SetMultiItemIndex(d, 1, -1));
    stray = new CControlUI;
    EXPECT_FALSE(box->SetMultiItemIndex(stray, 1, 0));  // not a child
    stray->Delete();
    for (int i = 0; i < 4; i++) EXPECT_EQ(want[i], box->GetItemAt(i)) << i;

    EXPECT_FALSE(box->RemoveAt(7, false));
    EXPECT_FALSE(box->Remove(nullptr, false));
    EXPECT_STREQ(L"Container", box->GetClass());
    EXPECT_EQ(static_cast<IContainerUI*>(box), box->GetInterface(L"IContainer"));
    EXPECT_EQ(static_cast<void*>(box), box->GetInterface(L"Container"));
    EXPECT_EQ(static_cast<void*>(box), box->GetInterface(L"Control"));
    EXPECT_EQ(nullptr, box->GetInterface(L"container"));
    box->Delete();
}

TEST(UIContainer, RemoveDestroysUnlessToldOtherwise)
{
    struct Case {
        bool autoDestroy;
        bool doNotDestroy;
        bool destroyed;
    } cases[] = {{true, false, true}, {true, true, false}, {false, false, false}};
    for (auto& t : cases) {
        HostWindow w;
        CContainerUI* box = new CContainerUI;
        ASSERT_TRUE(w.pm.AttachDialog(box));
        box->SetAutoDestroy(t.autoDestroy);
        Tracked* child = new Tracked;
        ASSERT_TRUE(box->Add(child));
        EXPECT_EQ(box, child->GetParent());
        bool destroyed = false;
        int indexSeen = 99;
        child->onDestroy = [&](Tracked* self) {
            destroyed = true;
            indexSeen = box->GetItemIndex(self);
        };
        EXPECT_TRUE(box->RemoveAt(0, t.doNotDestroy));
        EXPECT_EQ(0, box->GetCount());
        EXPECT_EQ(t.destroyed, destroyed);
        if (destroyed) {
            EXPECT_EQ(-1, indexSeen);  // out of the list before it went
        } else {
            EXPECT_EQ(box, child->GetParent());
            child->onDestroy = nullptr;
            child->Delete();
        }
    }
}

TEST(UIContainer, RemoveAllDestroysInOrderEachOutOfTheListFirst)
{
    CContainerUI* box = new CContainerUI;
    std::vector<int> order;
    std::vector<int> countsSeen;
    Tracked* kids[4];
    for (int i = 0; i < 4; i++) {
        kids[i] = new Tracked;
        box->Add(kids[i]);
    }
    for (int i = 0; i < 4; i++) {
        kids[i]->onDestroy = [&, i](Tracked* self) {
            order.push_back(i);
            countsSeen.push_back(box->GetItemIndex(self));
        };
    }
    // The first child takes the third one with it: neither is deleted twice.
    kids[0]->onDestroy = [&](Tracked* self) {
        order.push_back(0);
        countsSeen.push_back(box->GetItemIndex(self));
        box->Remove(kids[2], false);
    };
    box->RemoveAll();
    EXPECT_EQ(0, box->GetCount());
    EXPECT_EQ((std::vector<int>{0, 2, 1, 3}), order);
    for (int seen : countsSeen) EXPECT_EQ(-1, seen);

    // Without auto-destroy the children are only dropped.
    box->SetAutoDestroy(false);
    bool destroyed = false;
    Tracked* kept = new Tracked;
    kept->onDestroy = [&](Tracked*) { destroyed = true; };
    box->Add(kept);
    box->RemoveAll();
    EXPECT_EQ(0, box->GetCount());
    EXPECT_FALSE(destroyed);
    box->Delete();
    EXPECT_FALSE(destroyed);
    kept->Delete();
    EXPECT_TRUE(destroyed);
}

TEST(UIContainer, DelayedDestroyWaitsForTheMessageLoop)
{
    HostWindow w;
    CContainerUI* root = new CContainerUI;
    ASSERT_TRUE(w.pm.AttachDialog(root));
    root->SetDelayedDestroy(true);
    Tracked* child = new Tracked;
    root->Add(child);
    bool destroyed = false;
    child->onDestroy = [&](Tracked*) { destroyed = true; };
    ASSERT_TRUE(root->Remove(child, false));
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(nullptr, child->GetParent());
    EXPECT_EQ(&w.pm, child->GetManager());
    EXPECT_TRUE(PumpUntil([&] { return destroyed; }));

    // Without a manager there is no message to wait for.
    CContainerUI* loose = new CContainerUI;
    loose->SetDelayedDestroy(true);
    bool looseDestroyed = false;
    Tracked* other = new Tracked;
    other->onDestroy = [&](Tracked*) { looseDestroyed = true; };
    loose->Add(other);
    loose->Remove(other, false);
    EXPECT_TRUE(looseDestroyed);
    loose->Delete();

    // A container that goes destroys its children at once, delayed or not.
    CContainerUI* inner = new CContainerUI;
    root->Add(inner);
    inner->SetDelayedDestroy(true);
    bool innerChildDestroyed = false;
    Tracked* innerChild = new Tracked;
    innerChild->onDestroy = [&](Tracked*) { innerChildDestroyed = true; };
    inner->Add(innerChild);
    root->SetDelayedDestroy(false);
    root->Remove(inner, false);
    EXPECT_TRUE(innerChildDestroyed);
}

TEST(UIContainer, ManagerVisibilityAndMovePropagate)
{
    HostWindow w;
    CContainerUI* root = new CContainerUI;
    CControlUI* child = new CControlUI;
    root->Add(child);
    root->EnableScrollBar(true, true);
    EXPECT_EQ(nullptr, child->GetManager());
    ASSERT_TRUE(w.pm.AttachDialog(root));
    EXPECT_EQ(&w.pm, child->GetManager());
    EXPECT_EQ(root, child->GetParent());
    EXPECT_EQ(&w.pm, root->GetVerticalScrollBar()->GetManager());
    EXPECT_EQ(root, root->GetVerticalScrollBar()->GetOwner());
    EXPECT_EQ(root, root->GetHorizontalScrollBar()->GetParent());

    root->SetVisible(false);
    EXPECT_FALSE(child->IsVisible());
    CControlUI* late = new CControlUI;
    root->Add(late);
    EXPECT_FALSE(late->IsVisible());
    root->SetVisible(true);
    EXPECT_TRUE(child->IsVisible());
    EXPECT_TRUE(late->IsVisible());
    root->SetInternVisible(false);
    EXPECT_FALSE(child->IsVisible());
    root->SetInternVisible(true);
    EXPECT_TRUE(child->IsVisible());

    root->SetMouseEnabled(false);
    EXPECT_FALSE(root->GetVerticalScrollBar()->IsMouseEnabled());
    EXPECT_FALSE(root->GetHorizontalScrollBar()->IsMouseEnabled());
    root->SetMouseEnabled(true);

    RECT rc = {0, 0, 100, 100};
    root->SetPos(rc, false);
    RECT childBefore = child->GetPos();
    RECT barBefore = root->GetVerticalScrollBar()->GetPos();
    root->Move(SIZE{5, 7}, false);
    EXPECT_EQ(childBefore.left + 5, child->GetPos().left);
    EXPECT_EQ(childBefore.top + 7, child->GetPos().top);
    EXPECT_EQ(barBefore.left + 5, root->GetVerticalScrollBar()->GetPos().left);
}

TEST(UIContainer, PlainLayoutStacksEveryChildOverTheClientArea)
{
    HostWindow w;
    CContainerUI* root = new CContainerUI;
    ASSERT_TRUE(w.pm.AttachDialog(root));
    root->SetInset(RECT{5, 5, 5, 5});
    CControlUI* a = new CControlUI;
    CControlUI* b = new CControlUI;
    b->SetMaxWidth(40);
    b->SetMinHeight(200);
    CControlUI* f = new CControlUI;
    f->SetAttribute(L"float", L"0.5,0.5,0.5,0.5");
    f->SetFixedXY(SIZE{2, 3});
    f->SetFixedWidth(10);
    f->SetFixedHeight(10);
    CControlUI* hidden = new CControlUI;
    hidden->SetVisible(false);
    root->Add(a);
    root->Add(b);
    root->Add(f);
    root->Add(hidden);
    root->SetPos(RECT{10, 10, 110, 110}, false);
    EXPECT_TRUE(RectIs(a->GetPos(), 15, 15, 105, 105)) << Str(a->GetPos());
    EXPECT_TRUE(RectIs(b->GetPos(), 15, 15, 55, 215)) << Str(b->GetPos());
    // Percentages of the container's whole rectangle, relative to its corner.
    EXPECT_TRUE(RectIs(f->GetPos(), 10 + 52, 10 + 53, 10 + 62, 10 + 63)) << Str(f->GetPos());
    EXPECT_TRUE(RectIs(hidden->GetPos(), 0, 0, 0, 0)) << Str(hidden->GetPos());
    EXPECT_TRUE(RectIs(root->GetClientPos(), 15, 15, 105, 105));
}

TEST(UIContainer, FindControlAsksCoverAndBarsBeforeTheChildren)
{
    CContainerUI* box = new CContainerUI;
    CControlUI* low = new CControlUI;
    CControlUI* high = new CControlUI;
    box->Add(low);
    box->Add(high);
    box->EnableScrollBar(true, false);
    CScrollBarUI* bar = box->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    box->SetPos(RECT{0, 0, 100, 100}, false);
    bar->SetPos(RECT{84, 0, 100, 100}, false);
    low->SetPos(RECT{0, 0, 84, 50}, false);
    high->SetPos(RECT{0, 0, 100, 100}, false);

    auto at = [&](int x, int y, UINT flags) {
        POINT pt = {x, y};
        return box->FindControl(Hit, &pt, flags);
    };
    EXPECT_EQ(high, at(10, 10, 0x15));               // the topmost child
    EXPECT_EQ(low, at(10, 10, 0x05));                // first to last
    EXPECT_EQ(bar, at(90, 10, 0x15));                // the bar before the child that covers it
    EXPECT_EQ(nullptr, at(150, 10, 0x15));           // outside

    CControlUI* cover = new CControlUI;
    box->SetCover(cover);
    cover->SetPos(RECT{0, 0, 100, 20}, false);
    EXPECT_EQ(cover, at(10, 10, 0x15));
    EXPECT_EQ(high, at(10, 60, 0x15));
    box->SetMouseChildEnabled(false);                // neither cover nor children
    EXPECT_EQ(box, at(10, 10, 0x15));
    EXPECT_EQ(bar, at(90, 10, 0x15));
    box->SetMouseChildEnabled(true);

    box->SetMouseEnabled(false);                     // neither the bars nor the container
    EXPECT_EQ(high, at(10, 60, 0x15));
    EXPECT_EQ(nullptr, at(90, 60, 0x15));            // high is hit only outside the client area
    box->SetMouseEnabled(true);
    box->SetCover(nullptr);

    // A child hanging out of the client area is not hit there; a float one is.
    box->SetInset(RECT{0, 30, 0, 0});
    EXPECT_EQ(box, at(10, 10, 0x15));
    high->SetFloat(true);
    EXPECT_EQ(high, at(10, 10, 0x15));
    high->SetFloat(false);

    high->SetEnabled(false);
    EXPECT_EQ(low, at(10, 40, 0x17));                // only enabled
    box->SetEnabled(false);
    EXPECT_EQ(nullptr, at(10, 40, 0x17));
    box->SetEnabled(true);
    high->SetVisible(false);
    EXPECT_EQ(low, at(10, 40, 0x15));
    box->SetVisible(false);
    EXPECT_EQ(nullptr, at(10, 40, 0x15));
    box->SetVisible(true);
    high->SetVisible(true);
    high->SetEnabled(true);

    // Visiting order without a point: cover, bars, children, then the container (or it first).
    CControlUI* cover2 = new CControlUI;
    box->SetCover(cover2);
    box->EnableScrollBar(true, true);
    CScrollBarUI* hbar = box->GetHorizontalScrollBar();
    ASSERT_NE(nullptr, hbar);
    Visits v;
    EXPECT_EQ(nullptr, box->FindControl(Visit, &v, 0));
    EXPECT_EQ((std::vector<CControlUI*>{cover2, bar, hbar, low, high, box}), v.order);
    v = Visits();
    box->FindControl(Visit, &v, FindSelfFirst | FindLastChildFirst);
    EXPECT_EQ((std::vector<CControlUI*>{box, cover2, bar, hbar, high, low}), v.order);
    v = Visits();
    v.answer = low;
    EXPECT_EQ(low, box->FindControl(Visit, &v, 0));
    EXPECT_EQ((std::vector<CControlUI*>{cover2, bar, hbar, low}), v.order);
    v = Visits();
    v.answer = box;
    EXPECT_EQ(nullptr, box->FindControl(Visit, &v, FindPruneMatched));
    EXPECT_EQ((std::vector<CControlUI*>{box}), v.order);
    box->Delete();
}

TEST(UIContainer, Attributes)
{
    CContainerUI* box = new CContainerUI;
    box->SetAttribute(L"inset", L"2,4,6,8");
    EXPECT_TRUE(RectIs(box->GetInset(), 2, 4, 6, 8));
    struct Case {
        const wchar_t* name;
        const wchar_t* value;
        int padding;
        UINT align;
        UINT valign;
        bool mouseChild;
    } cases[] = {
        {L"childpadding", L"7", 7, 0, 0, true},
        {L"childpadding", L"-5", 0, 0, 0, true},
        {L"childalign", L"center", 0, 1, 0, true},
        {L"childalign", L"right", 0, 2, 0, true},
        {L"childalign", L"Right", 0, 2, 0, true},      // unknown: unchanged
        {L"childalign", L"left", 0, 0, 0, true},
        {L"childvalign", L"vcenter", 0, 0, 4, true},
        {L"childvalign", L"bottom", 0, 0, 8, true},
        {L"childvalign", L"middle", 0, 0, 8, true},
        {L"childvalign", L"top", 0, 0, 0, true},
        {L"mousechild", L"TRUE", 0, 0, 0, false},
        {L"mousechild", L"true", 0, 0, 0, true},
    };
    for (auto& t : cases) {
        box->SetAttribute(t.name, t.value);
        SCOPED_TRACE(testing::Message() << std::wstring(t.name).c_str() << "=" << std::wstring(t.value).c_str());
        if (wcscmp(t.name, L"childpadding") == 0) {
            EXPECT_EQ(t.padding, box->GetChildPadding());
        }
        EXPECT_EQ(t.align, box->GetChildAlign());
        EXPECT_EQ(t.valign, box->GetChildVAlign());
        EXPECT_EQ(t.mouseChild, box->IsMouseChildEnabled());
    }

    // A bar's style before the bar exists is dropped.
    box->SetAttribute(L"vscrollbarstyle", L"thumbcolor=\"#FF00FF00\"");
    box->SetAttribute(L"vscrollbar", L"true");
    ASSERT_NE(nullptr, box->GetVerticalScrollBar());
    EXPECT_EQ(0u, box->GetVerticalScrollBar()->GetThumbColor());
    box->SetAttribute(L"vscrollbarstyle", L"thumbcolor=\"#FF00FF00\" linesize=\"12\"");
    EXPECT_EQ(0xFF00FF00u, box->GetVerticalScrollBar()->GetThumbColor());
    EXPECT_EQ(12, box->GetVerticalScrollBar()->GetLineSize());
    EXPECT_FALSE(box->GetVerticalScrollBar()->IsHorizontal());
    box->SetAttribute(L"hscrollbar", L"true");
    ASSERT_NE(nullptr, box->GetHorizontalScrollBar());
    EXPECT_NE(nullptr, box->GetVerticalScrollBar());
    EXPECT_TRUE(box->GetHorizontalScrollBar()->IsHorizontal());
    EXPECT_EQ(0, box->GetHorizontalScrollBar()->GetScrollRange());
    EXPECT_EQ(16, box->GetHorizontalScrollBar()->GetFixedHeight());
    box->SetAttribute(L"hscrollbarstyle", L"button1color=\"#FF0000FF\"");
    EXPECT_EQ(0xFF0000FFu, box->GetHorizontalScrollBar()->GetButton1Color());
    box->SetAttribute(L"vscrollbar", L"yes");
    EXPECT_EQ(nullptr, box->GetVerticalScrollBar());
    EXPECT_NE(nullptr, box->GetHorizontalScrollBar());
    box->SetAttribute(L"bkcolor", L"#FF123456");  // goes to the control base
    box->Delete();
}

TEST(UIContainer, NewBarsTakeTheManagersDefaultStyle)
{
    HostWindow w;
    w.pm.AddDefaultAttributeList(L"VScrollBar", L"thumbcolor=\"#FF112233\"");
    w.pm.AddDefaultAttributeList(L"HScrollBar", L"thumbcolor=\"#FF445566\"");
    CContainerUI* root = new CContainerUI;
    ASSERT_TRUE(w.pm.AttachDialog(root));
    root->EnableScrollBar(true, true);
    EXPECT_EQ(0xFF112233u, root->GetVerticalScrollBar()->GetThumbColor());
    EXPECT_EQ(0xFF445566u, root->GetHorizontalScrollBar()->GetThumbColor());
    EXPECT_EQ(&w.pm, root->GetVerticalScrollBar()->GetManager());
}

// ---------------------------------------------------------------------------------------------
// Scroll bars ranged by the layout, and scrolling.

TEST(UIContainerScroll, VerticalBarShownRangedAndHiddenByTheLayout)
{
    HostWindow w;
    Recorder rec;
    w.pm.AddNotifier(&rec);
    StackLayout* root = new StackLayout;
    ASSERT_TRUE(w.pm.AttachDialog(root));
    root->EnableScrollBar(true, false);
    CScrollBarUI* bar = root->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    CControlUI* kids[3];
    for (auto& k : kids) root->Add(k = Box(50));
    CControlUI* pinned = Box(10, 10);
    pinned->SetFloat(true);
    root->Add(pinned);

    root->SetPos(RECT{0, 0, 200, 100}, false);
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(50, bar->GetScrollRange());
    EXPECT_EQ(0, bar->GetScrollPos());
    EXPECT_TRUE(RectIs(bar->GetPos(), 184, 0, 200, 100)) << Str(bar->GetPos());
    EXPECT_EQ(184, kids[0]->GetPos().right);
    EXPECT_EQ(0, root->GetScrollPos().cy);
    EXPECT_EQ(50, root->GetScrollRange().cy);
    EXPECT_EQ(0, root->GetScrollRange().cx);

    const int line = w.pm.GetDefaultFontInfo()->tm.tmHeight + 8;
    ASSERT_GT(line, 8);
    RECT pinnedAt = pinned->GetPos();
    struct Step {
        void (CContainerUI::*op)();
        int pos;
    } steps[] = {
        {&CContainerUI::LineDown, std::min(line, 50)},
        {&CContainerUI::LineUp, 0},
        {&CContainerUI::EndDown, 50},
        {&CContainerUI::HomeUp, 0},
        {&CContainerUI::PageDown, 50},   // a page of 100 clamps to the range
        {&CContainerUI::PageUp, 0},
        {&CContainerUI::LineLeft, 0},    // no horizontal bar
    };
    for (auto& s : steps) {
        (root->*s.op)();
        EXPECT_EQ(s.pos, bar->GetScrollPos());
        EXPECT_EQ(s.pos, root->GetScrollPos().cy);
        EXPECT_EQ(-s.pos, kids[0]->GetPos().top);
        EXPECT_EQ(100 - s.pos, kids[2]->GetPos().top);
        EXPECT_TRUE(RectIs(pinned->GetPos(), pinnedAt.left, pinnedAt.top, pinnedAt.right, pinnedAt.bottom));
    }
    bar->SetScrollUnit(10);
    root->LineDown();
    EXPECT_EQ(10, bar->GetScrollPos());
    EXPECT_TRUE(PumpUntil([&] { return rec.Count(L"scroll") > 0; }));
    Pump(50);
    // Queued and coalesced: one "scroll" with the newest position.
    ASSERT_EQ(1, rec.Count(L"scroll"));
    EXPECT_EQ(bar, rec.items.back().sender);
    EXPECT_EQ(10u, rec.items.back().wParam);

    // The content fits again: a plain layout hides the bar and rewinds it.
    root->Remove(kids[2], false);
    root->Remove(kids[1], false);
    root->SetPos(RECT{0, 0, 200, 100}, false);
    EXPECT_FALSE(bar->IsVisible());
    EXPECT_EQ(0, bar->GetScrollPos());
    EXPECT_EQ(0, bar->GetScrollRange());
    EXPECT_EQ(200, kids[0]->GetPos().right);
    // Hidden bars neither report nor take a position.
    root->SetScrollPos(SIZE{5, 30});
    EXPECT_EQ(0, bar->GetScrollPos());
    EXPECT_EQ(0, root->GetScrollPos().cy);
    EXPECT_EQ(0, kids[0]->GetPos().top);
}

TEST(UIContainerScroll, NestedLayoutNeverHidesTheBarItJustShowed)
{
    HostWindow w;
    StackLayout* root = new StackLayout;
    ASSERT_TRUE(w.pm.AttachDialog(root));
    root->EnableScrollBar(true, false);
    CScrollBarUI* bar = root->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    root->Add(Box(20));
    bar->SetVisible(false);
    // Taller than the view at first, nothing at all once the bar shows.
    root->neededHeight = [](bool nested) { return nested ? 0 : 150; };
    root->SetPos(RECT{0, 0, 200, 100}, false);
    EXPECT_EQ(1, root->nestedLayouts);
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_FALSE(root->ScrollProcessing());

    // Exactly fitting content inside the nested layout: the bar stays too.
    bar->SetVisible(false);
    root->neededHeight = [](bool nested) { return nested ? 100 : 150; };
    root->SetPos(RECT{0, 0, 200, 100}, false);
    EXPECT_TRUE(bar->IsVisible());

    // A layout that is not nested hides it when the content fits.
    root->neededHeight = [](bool) { return 60; };
    root->SetPos(RECT{0, 0, 200, 100}, false);
    EXPECT_FALSE(bar->IsVisible());
}

TEST(UIContainerScroll, HorizontalBarAloneScrollsByEightAndTakesTheKeys)
{
    HostWindow w;
    StackLayout* root = new StackLayout;
    ASSERT_TRUE(w.pm.AttachDialog(root));
    root->EnableScrollBar(false, true);
    CScrollBarUI* bar = root->GetHorizontalScrollBar();
    ASSERT_NE(nullptr, bar);
    ASSERT_TRUE(bar->IsHorizontal());
    CControlUI* wide = Box(50, 350);
    root->Add(wide);
    root->SetPos(RECT{0, 0, 200, 100}, false);
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(150, bar->GetScrollRange());
    EXPECT_TRUE(RectIs(bar->GetPos(), 0, 84, 200, 100)) << Str(bar->GetPos());
    EXPECT_TRUE(RectIs(root->GetClientPos(), 0, 0, 200, 84));
    EXPECT_EQ(150, root->GetScrollRange().cx);
    EXPECT_EQ(0, root->GetScrollRange().cy);

    // Sideways the line is 8 whatever the font; a page is the client width.
    struct Step {
        void (CContainerUI::*op)();
        int pos;
    } steps[] = {
        {&CContainerUI::LineRight, 8}, {&CContainerUI::LineLeft, 0},   {&CContainerUI::EndRight, 150},
        {&CContainerUI::HomeLeft, 0},  {&CContainerUI::PageRight, 150}, {&CContainerUI::PageLeft, 0},
        {&CContainerUI::LineDown, 0},  // no vertical bar
    };
    for (auto& s : steps) {
        (root->*s.op)();
        EXPECT_EQ(s.pos, bar->GetScrollPos());
        EXPECT_EQ(s.pos, root->GetScrollPos().cx);
        EXPECT_EQ(-s.pos, wide->GetPos().left);
    }

    // Without a vertical bar the keys and the wheel scroll sideways.
    struct Key {
        wchar_t key;
        int pos;
    } keys[] = {{VK_DOWN, 8}, {VK_UP, 0}, {VK_END, 150}, {VK_HOME, 0}, {VK_NEXT, 150}, {VK_PRIOR, 0}};
    for (auto& k : keys) {
        tagTEventUI ke = MakeEvent(UIEVENT_KEYDOWN);
        ke.chKey = k.key;
        root->DoEvent(ke);
        EXPECT_EQ(k.pos, bar->GetScrollPos()) << (int)k.key;
    }
    tagTEventUI e = MakeEvent(UIEVENT_SCROLLWHEEL, 10, 10, 1);
    root->DoEvent(e);
    EXPECT_EQ(8, bar->GetScrollPos());

    // The bar hands its buttons to the owner, which moves the content.
    POINT right = {(bar->GetButton2Rect().left + bar->GetButton2Rect().right) / 2, 92};
    e = MakeEvent(UIEVENT_BUTTONDOWN, right.x, right.y);
    bar->DoEvent(e);
    e = MakeEvent(UIEVENT_BUTTONUP, right.x, right.y);
    bar->DoEvent(e);
    EXPECT_EQ(16, bar->GetScrollPos());
    EXPECT_EQ(-16, wide->GetPos().left);

    // Narrower content lowers the range and pulls the content back; content that fits hides the bar.
    root->EndRight();
    wide->SetFixedWidth(260);
    root->SetPos(RECT{0, 0, 200, 100}, false);
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(60, bar->GetScrollRange());
    EXPECT_EQ(60, bar->GetScrollPos());
    EXPECT_EQ(-60, wide->GetPos().left);
    wide->SetFixedWidth(100);
    root->SetPos(RECT{0, 0, 200, 100}, false);
    EXPECT_FALSE(bar->IsVisible());
    EXPECT_EQ(0, bar->GetScrollPos());
    EXPECT_EQ(0, bar->GetScrollRange());
    EXPECT_EQ(0, wide->GetPos().left);
}

TEST(UIContainerScroll, BothBarsShareTheCorner)
{
    HostWindow w;
    StackLayout* root = new StackLayout;
    ASSERT_TRUE(w.pm.AttachDialog(root));
    root->EnableScrollBar(true, true);
    CScrollBarUI* v = root->GetVerticalScrollBar();
    ASSERT_NE(nullptr, v);
    CScrollBarUI* h = root->GetHorizontalScrollBar();
    ASSERT_NE(nullptr, h);
    v->SetVisible(false);
    h->SetVisible(false);
    CControlUI* big = Box(150, 300);
    root->Add(big);
    root->SetPos(RECT{0, 0, 200, 100}, false);
    ASSERT_TRUE(v->IsVisible());
    ASSERT_TRUE(h->IsVisible());
    EXPECT_EQ(300 - 184, h->GetScrollRange());
    EXPECT_EQ(150 - 84, v->GetScrollRange());
    EXPECT_TRUE(RectIs(v->GetPos(), 184, 0, 200, 84)) << Str(v->GetPos());
    EXPECT_TRUE(RectIs(h->GetPos(), 0, 84, 184, 100)) << Str(h->GetPos());
    EXPECT_TRUE(RectIs(root->GetClientPos(), 0, 0, 184, 84));

    root->SetScrollPos(SIZE{40, 30});
    EXPECT_EQ(40, h->GetScrollPos());
    EXPECT_EQ(30, v->GetScrollPos());
    EXPECT_EQ(-40, big->GetPos().left);
    EXPECT_EQ(-30, big->GetPos().top);
    root->EndRight();
    EXPECT_EQ(116, root->GetScrollPos().cx);
    root->HomeLeft();
    root->PageRight();  // a page is the width less the vertical bar
    EXPECT_EQ(116, h->GetScrollPos());
    root->PageLeft();
    EXPECT_EQ(0, h->GetScrollPos());
    root->LineRight();
    EXPECT_EQ(8, h->GetScrollPos());

    // Wheel: over the horizontal bar it scrolls sideways although a vertical bar shows.
    tagTEventUI e = MakeEvent(UIEVENT_SCROLLWHEEL, 10, 90, 1);
    root->DoEvent(e);
    EXPECT_EQ(16, h->GetScrollPos());
    EXPECT_EQ(30, v->GetScrollPos());
    e = MakeEvent(UIEVENT_SCROLLWHEEL, 10, 90, 0);
    root->DoEvent(e);
    EXPECT_EQ(8, h->GetScrollPos());
    e = MakeEvent(UIEVENT_SCROLLWHEEL, 10, 10, 0);
    root->DoEvent(e);
    const int line = w.pm.GetDefaultFontInfo()->tm.tmHeight + 8;
    EXPECT_EQ(std::max(0, 30 - line), v->GetScrollPos());
    e = MakeEvent(UIEVENT_SCROLLWHEEL, 10, 10, 0);
    root->DoEvent(e);
    EXPECT_EQ(0, v->GetScrollPos());

    // Keys go to the vertical bar while it shows, else to the horizontal one.
    struct Key {
        wchar_t key;
        int v, h;
    } keys[] = {{VK_END, 66, 8}, {VK_HOME, 0, 8}, {VK_NEXT, 66, 8}, {VK_PRIOR, 0, 8}, {VK_TAB, 0, 8}};
    for (auto& k : keys) {
        tagTEventUI ke = MakeEvent(UIEVENT_KEYDOWN);
        ke.chKey = k.key;
        root->DoEvent(ke);
        EXPECT_EQ(k.v, v->GetScrollPos()) << (int)k.key;
        EXPECT_EQ(k.h, h->GetScrollPos()) << (int)k.key;
    }
    v->SetEnabled(false);
    tagTEventUI ke = MakeEvent(UIEVENT_KEYDOWN);
    ke.chKey = VK_END;
    root->DoEvent(ke);
    EXPECT_EQ(116, h->GetScrollPos());
    ke.chKey = VK_UP;
    root->DoEvent(ke);
    EXPECT_EQ(108, h->GetScrollPos());

    // Narrow content: the horizontal bar goes, the vertical one stays.
    root->RemoveAll();
    root->Add(Box(150, 50));
    root->SetPos(RECT{0, 0, 200, 100}, false);
    EXPECT_FALSE(h->IsVisible());
    EXPECT_TRUE(v->IsVisible());
    EXPECT_EQ(50, v->GetScrollRange());
    EXPECT_TRUE(RectIs(v->GetPos(), 184, 0, 200, 100)) << Str(v->GetPos());
}

TEST(UIContainerScroll, ContainerWithoutChildrenLeavesItsBarsAlone)
{
    CContainerUI* box = new CContainerUI;
    box->EnableScrollBar(true, false);
    CScrollBarUI* bar = box->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    box->SetPos(RECT{0, 0, 100, 100}, false);
    EXPECT_TRUE(bar->IsVisible());  // new bars are visible until a layout decides
    EXPECT_TRUE(RectIs(box->GetClientPos(), 0, 0, 84, 100));
    box->EnableScrollBar(false, false);
    EXPECT_EQ(nullptr, box->GetVerticalScrollBar());
    box->Delete();
}

// ---------------------------------------------------------------------------------------------
// Painting

TEST(UIContainerPaint, ChildrenClippedToTheClientAreaFloatChildrenNot)
{
    Canvas cv(120, 120);
    CContainerUI* box = new CContainerUI;
    box->SetBkColor(0xFF0000FF);
    box->SetInset(RECT{0, 0, 0, 20});
    CControlUI* red = new CControlUI;
    red->SetBkColor(0xFFFF0000);
    red->SetMinHeight(100);
    box->Add(red);
    CControlUI* green = new CControlUI;
    green->SetBkColor(0xFF00FF00);
    box->Add(green);
    box->EnableScrollBar(true, false);
    CScrollBarUI* bar = box->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    bar->SetBkColor(0xFFFFFF00);
    box->SetPos(RECT{0, 0, 100, 100}, false);
    EXPECT_TRUE(RectIs(red->GetPos(), 0, 0, 84, 100)) << Str(red->GetPos());
    green->SetPos(RECT{10, 85, 30, 95}, false);
    green->SetFloat(true);
    bar->SetPos(RECT{84, 0, 100, 80}, false);

    RECT all = {0, 0, 120, 120};
    EXPECT_TRUE(box->Paint(cv.dc(), all, nullptr));
    EXPECT_EQ(0xFF0000u, cv.At(40, 40));   // child inside the client area
    EXPECT_EQ(0x0000FFu, cv.At(50, 90));   // the child's overhang is clipped away
    EXPECT_EQ(0x00FF00u, cv.At(20, 90));   // a float child paints outside the client area
    EXPECT_EQ(0xFFFF00u, cv.At(92, 40));   // the bar
    EXPECT_EQ(0u, cv.At(110, 110));         // nothing outside the container

    // Only the inset strip is dirty: just the float child (and the background) paint.
    Canvas strip(120, 120);
    RECT bottom = {0, 82, 100, 100};
    EXPECT_TRUE(box->Paint(strip.dc(), bottom, nullptr));
    EXPECT_EQ(0x00FF00u, strip.At(20, 90));
    EXPECT_EQ(0x0000FFu, strip.At(50, 90));
    EXPECT_EQ(0u, strip.At(40, 40));

    Canvas stopped(120, 120);
    EXPECT_FALSE(box->Paint(stopped.dc(), all, green));
    EXPECT_EQ(0xFF0000u, stopped.At(40, 40));
    EXPECT_EQ(0x0000FFu, stopped.At(92, 40));  // painting ended before the bar
    EXPECT_FALSE(box->Paint(stopped.dc(), all, bar));
    box->Delete();
}
