// Vertical, horizontal, tile, tab and child layouts: placement tables without a window, then
// notifications, skin files and separator drags in a real window.
#include <gtest/gtest.h>

#include "UIChildLayout.h"
#include "UIContainer.h"
#include "UIDlgBuilder.h"
#include "UIHorizontalLayout.h"
#include "UIManager.h"
#include "UIScrollBar.h"
#include "UITabLayout.h"
#include "UITileLayout.h"
#include "UIVerticalLayout.h"

#include <stdio.h>
#include <functional>
#include <string>
#include <vector>

namespace layouttest {

using namespace Veneer;

// ---------------------------------------------------------------------------------------------
// Helpers

// A control whose wanted size is set by the test, whatever its fixed size says.
class SizedProbe : public CControlUI {
public:
    SIZE estimate = {0, 0};
    SIZE EstimateSize(SIZE) override { return estimate; }
};

// Records what each layout reports it needs.
template <class Base>
class Recording : public Base {
public:
    SIZE needed = {-1, -1};
    // false: the bars are left as the test set them (the container does not range them).
    bool passOn = true;
    int Selection() const { return this->m_iCurSel; }
    int Columns() const { return this->m_nColumns; }
    int Rows() const { return this->m_nRows; }

protected:
    void ProcessScrollBar(RECT rc, int cxRequired, int cyRequired) override
    {
        needed.cx = cxRequired;
        needed.cy = cyRequired;
        if (passOn)
            Base::ProcessScrollBar(rc, cxRequired, cyRequired);
    }
};

struct VLayout : Recording<CVerticalLayoutUI> {};
struct HLayout : Recording<CHorizontalLayoutUI> {};

struct TileLayout : CTileLayoutUI {
    SIZE needed = {-1, -1};
    int Columns() const { return m_nColumns; }
    int Rows() const { return m_nRows; }

protected:
    void ProcessScrollBar(RECT rc, int cxRequired, int cyRequired) override
    {
        needed.cx = cxRequired;
        needed.cy = cyRequired;
        CTileLayoutUI::ProcessScrollBar(rc, cxRequired, cyRequired);
    }
};

struct TabLayout : CTabLayoutUI {
    int Selection() const { return m_iCurSel; }
};

struct Child {
    int fixed = 0;          // along the stacking direction
    int fixedAcross = 0;    // across it
    int minSize = 0, maxSize = 9999;
    int minAcross = 0, maxAcross = 9999;
    RECT padding = {0, 0, 0, 0};
};

::testing::AssertionResult RectIs(const RECT& rc, int l, int t, int r, int b)
{
    if (rc.left == l && rc.top == t && rc.right == r && rc.bottom == b) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "rect {" << rc.left << "," << rc.top << "," << rc.right << ","
                                         << rc.bottom << "}, expected {" << l << "," << t << "," << r << ","
                                         << b << "}";
}

// A window that hands its messages to a paint manager.
struct HostWindow {
    HWND hwnd = NULL;
    CPaintManagerUI pm;

    static LRESULT CALLBACK Proc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        HostWindow* self = reinterpret_cast<HostWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != NULL) {
            LRESULT lRes = 0;
            if (self->pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
        }
        return ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
    }

    HostWindow(int cx, int cy)
    {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = Proc;
            wc.hInstance = ::GetModuleHandleW(NULL);
            wc.lpszClassName = L"VeneerLayoutTestHost";
            wc.hCursor = ::LoadCursorW(NULL, IDC_ARROW);
            ::RegisterClassW(&wc);
            registered = true;
        }
        CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
        // A popup's client area is exactly its size.
        hwnd = ::CreateWindowExW(0, L"VeneerLayoutTestHost", L"layouts", WS_POPUP, 40, 40, cx, cy, NULL, NULL,
                                 ::GetModuleHandleW(NULL), NULL);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        pm.Init(hwnd);
    }

    ~HostWindow()
    {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd);
    }

    void Show()
    {
        ::ShowWindow(hwnd, SW_SHOWNORMAL);
        ::UpdateWindow(hwnd);
    }

    // The manager lays out only when it paints.
    void Paint()
    {
        ::InvalidateRect(hwnd, NULL, FALSE);
        ::UpdateWindow(hwnd);
    }

    void Mouse(UINT uMsg, POINT pt, WPARAM keys)
    {
        ::SendMessageW(hwnd, uMsg, keys, MAKELPARAM(pt.x, pt.y));
    }
};

struct Recorder : INotifyUI {
    struct Item {
        std::wstring type;
        CControlUI* sender;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Item> items;
    // Only this type is recorded (focus moves send their own).
    std::wstring only = L"tabselect";
    void Notify(TNotifyRecord& msg) override
    {
        if (msg.sType.GetData() != only) return;
        items.push_back({msg.sType.GetData(), msg.pSender, msg.wParam, msg.lParam});
    }
};

// ---------------------------------------------------------------------------------------------
// Vertical layout

struct VerticalCase {
    const char* name;
    int height;
    int childPadding;
    std::vector<Child> children;
    std::vector<std::pair<int, int>> expected; // top and bottom of each child
    int neededHeight;
};

TEST(VerticalLayout, SharesMinimumsMaximumsAndPaddings)
{
    Child stretch;
    Child fixed50;
    fixed50.fixed = 50;
    Child paddedFixed;
    paddedFixed.fixed = 40;
    paddedFixed.padding = RECT{0, 3, 0, 7};
    Child minStretch;
    minStretch.minSize = 80;
    Child maxStretch;
    maxStretch.maxSize = 20;
    Child fixedBelowMin;
    fixedBelowMin.fixed = 10;
    fixedBelowMin.minSize = 30;
    Child fixedAboveMax;
    fixedAboveMax.fixed = 90;
    fixedAboveMax.maxSize = 45;

    const VerticalCase cases[] = {
        {"two fixed and one stretchable with child padding", 300, 10, {fixed50, stretch, fixed50},
         {{0, 50}, {60, 240}, {250, 300}}, 300},
        {"three stretchable in 100", 100, 0, {stretch, stretch, stretch}, {{0, 33}, {33, 66}, {66, 100}}, 100},
        {"padded fixed child before the last stretchable fills exactly", 201, 4,
         {paddedFixed, stretch, stretch}, {{3, 43}, {54, 125}, {129, 201}}, 201},
        {"minimum wins over the share and overflows", 100, 0, {fixed50, minStretch}, {{0, 50}, {50, 130}}, 130},
        {"maximum wins and the last takes the rest", 100, 0, {maxStretch, stretch}, {{0, 20}, {20, 100}}, 100},
        {"minimum and maximum over fixed heights", 200, 0, {fixedBelowMin, fixedAboveMax, stretch},
         {{0, 30}, {30, 75}, {75, 200}}, 200},
        {"fixed children more than the height: stretchable gets 0", 80, 0, {fixed50, stretch, fixed50},
         {{0, 50}, {50, 50}, {50, 100}}, 100},
    };
    for (const VerticalCase& c : cases) {
        SCOPED_TRACE(c.name);
        VLayout layout;
        layout.SetChildPadding(c.childPadding);
        std::vector<CControlUI*> controls;
        for (const Child& spec : c.children) {
            CControlUI* p = new CControlUI;
            p->SetFixedHeight(spec.fixed);
            p->SetMinHeight(spec.minSize);
            p->SetMaxHeight(spec.maxSize);
            p->SetPadding(spec.padding);
            ASSERT_TRUE(layout.Add(p));
            controls.push_back(p);
        }
        layout.SetPos(RECT{0, 0, 200, c.height}, false);
        ASSERT_EQ(c.expected.size(), controls.size());
        for (size_t i = 0; i < controls.size(); ++i) {
            SCOPED_TRACE(i);
            const RECT& rc = controls[i]->GetPos();
            EXPECT_EQ(c.expected[i].first, rc.top);
            EXPECT_EQ(c.expected[i].second, rc.bottom);
            EXPECT_EQ(0, rc.left);
            EXPECT_EQ(200, rc.right);
        }
        EXPECT_EQ(c.neededHeight, layout.needed.cy);
    }
}

TEST(VerticalLayout, WidthAndAlignment)
{
    struct Case {
        const char* align;
        int fixedWidth, minWidth, maxWidth;
        int left, right;
    };
    // Width 200; child paddings 5 left, 7 right.
    const Case cases[] = {
        {"left", 0, 0, 9999, 5, 193},     // no width of its own: the whole width offered
        {"left", 50, 0, 9999, 5, 55},
        {"left", 0, 0, 40, 5, 45},        // maximum width
        {"left", 50, 120, 9999, 5, 125},  // minimum over the offer
        {"center", 50, 0, 9999, 75, 125}, // paddings ignored
        {"center", 51, 0, 9999, 75, 126},
        {"right", 50, 0, 9999, 143, 193}, // right padding kept
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.align) + " " + std::to_string(c.fixedWidth));
        VLayout layout;
        std::wstring align(c.align, c.align + strlen(c.align));
        layout.SetAttribute(L"childalign", align.c_str());
        CControlUI* p = new CControlUI;
        p->SetFixedHeight(30);
        p->SetFixedWidth(c.fixedWidth);
        p->SetMinWidth(c.minWidth);
        p->SetMaxWidth(c.maxWidth);
        p->SetPadding(RECT{5, 2, 7, 3});
        layout.Add(p);
        layout.SetPos(RECT{10, 20, 210, 220}, false);
        EXPECT_TRUE(RectIs(p->GetPos(), 10 + c.left, 22, 10 + c.right, 52));
        EXPECT_EQ(35, layout.needed.cy);
    }

    // The needed width is the widest child with its paddings; insets shrink the client.
    VLayout layout;
    layout.SetInset(RECT{4, 6, 8, 10});
    CControlUI* a = new CControlUI;
    a->SetFixedWidth(70);
    a->SetFixedHeight(10);
    a->SetPadding(RECT{3, 0, 2, 0});
    CControlUI* b = new CControlUI;
    layout.Add(a);
    layout.Add(b);
    layout.SetPos(RECT{0, 0, 100, 100}, false);
    EXPECT_EQ(75, layout.needed.cx);
    EXPECT_TRUE(RectIs(a->GetPos(), 7, 6, 77, 16));
    EXPECT_TRUE(RectIs(b->GetPos(), 4, 16, 92, 90));
}

TEST(VerticalLayout, InvisibleAndFloatChildrenAreNotCounted)
{
    VLayout layout;
    layout.SetChildPadding(10);
    CControlUI* hidden = new CControlUI;
    hidden->SetVisible(false);
    CControlUI* floating = new CControlUI;
    floating->SetFloat(true);
    floating->SetFixedXY(SIZE{5, 5});
    floating->SetFixedWidth(20);
    floating->SetFixedHeight(20);
    CControlUI* a = new CControlUI;
    CControlUI* b = new CControlUI;
    layout.Add(a);
    layout.Add(hidden);
    layout.Add(floating);
    layout.Add(b);
    layout.SetPos(RECT{0, 0, 100, 110}, false);
    EXPECT_TRUE(RectIs(a->GetPos(), 0, 0, 100, 50));
    EXPECT_TRUE(RectIs(b->GetPos(), 0, 60, 100, 110));
    EXPECT_EQ(110, layout.needed.cy);
}

TEST(VerticalLayout, ScrollRangeBelongsToTheContent)
{
    VLayout layout;
    layout.EnableScrollBar(true, false);
    CScrollBarUI* bar = layout.GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    int barWidth = bar->GetFixedWidth();
    CControlUI* fixed = new CControlUI;
    fixed->SetFixedHeight(30);
    CControlUI* stretch = new CControlUI;
    layout.Add(fixed);
    layout.Add(stretch);

    // A visible bar with a range: stretchable children fill the scrolled content.
    bar->SetVisible(true);
    bar->SetScrollRange(50);
    layout.SetPos(RECT{0, 0, 200, 100}, false);
    EXPECT_TRUE(RectIs(stretch->GetPos(), 0, 30, 200 - barWidth, 150));
    EXPECT_EQ(150, layout.needed.cy);
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(50, bar->GetScrollRange());

    // Scrolled: everything moves up by the position.
    bar->SetScrollPos(20);
    layout.SetPos(RECT{0, 0, 200, 100}, false);
    EXPECT_TRUE(RectIs(fixed->GetPos(), 0, -20, 200 - barWidth, 10));
    EXPECT_TRUE(RectIs(stretch->GetPos(), 0, 10, 200 - barWidth, 130));

    // A minimum larger than the client brings the bar up with the overflow as range.
    VLayout tall;
    tall.EnableScrollBar(true, false);
    CControlUI* big = new CControlUI;
    big->SetMinHeight(260);
    tall.Add(big);
    tall.SetPos(RECT{0, 0, 200, 100}, false);
    EXPECT_TRUE(tall.GetVerticalScrollBar()->IsVisible());
    EXPECT_EQ(160, tall.GetVerticalScrollBar()->GetScrollRange());

    // Content that fits hides it again (a fixed child: a stretchable one fills the range).
    big->SetMinHeight(0);
    big->SetFixedHeight(50);
    tall.SetPos(RECT{0, 0, 200, 100}, false);
    EXPECT_FALSE(tall.GetVerticalScrollBar()->IsVisible());
    EXPECT_EQ(0, tall.GetVerticalScrollBar()->GetScrollRange());
    EXPECT_TRUE(RectIs(big->GetPos(), 0, 0, 200, 50));
}

TEST(VerticalLayout, EmptyLayoutNeedsNothing)
{
    VLayout layout;
    layout.SetPos(RECT{0, 0, 100, 100}, false);
    EXPECT_EQ(0, layout.needed.cx);
    EXPECT_EQ(0, layout.needed.cy);
}

// The bar along the stacking moves the children along, the other one moves the alignment across,
// in either direction. The child is 30 along and 50 across; the bar along has range 50 at 20, the
// one across range 40 at 10.
TEST(StackLayouts, BothBarsMoveTheChildren)
{
    const wchar_t* const verticalAligns[] = {L"left", L"center", L"right"};
    const wchar_t* const horizontalAligns[] = {L"top", L"vcenter", L"bottom"};
    for (bool horizontal : {false, true}) {
        for (int align = 0; align < 3; ++align) {
            const wchar_t* name = horizontal ? horizontalAligns[align] : verticalAligns[align];
            SCOPED_TRACE(std::wstring(horizontal ? L"horizontal " : L"vertical ") + name);
            VLayout v;
            HLayout h;
            CContainerUI& layout = horizontal ? static_cast<CContainerUI&>(h) : static_cast<CContainerUI&>(v);
            v.passOn = h.passOn = false;
            layout.EnableScrollBar(true, true);
            CScrollBarUI* along = horizontal ? layout.GetHorizontalScrollBar() : layout.GetVerticalScrollBar();
            CScrollBarUI* across = horizontal ? layout.GetVerticalScrollBar() : layout.GetHorizontalScrollBar();
            along->SetVisible(true);
            along->SetScrollRange(50);
            along->SetScrollPos(20, false);
            across->SetVisible(true);
            across->SetScrollRange(40);
            across->SetScrollPos(10, false);
            layout.SetAttribute(horizontal ? L"childvalign" : L"childalign", name);
            CControlUI* p = new CControlUI;
            p->SetFixedWidth(horizontal ? 30 : 50);
            p->SetFixedHeight(horizontal ? 50 : 30);
            layout.Add(p);
            layout.SetPos(RECT{0, 0, 200, 100}, false);

            int crossClient = horizontal ? 100 - layout.GetHorizontalScrollBar()->GetFixedHeight()
                                         : 200 - layout.GetVerticalScrollBar()->GetFixedWidth();
            int crossStart = -10;                            // start: the client's edge less the position
            if (align == 1)
                crossStart = crossClient / 2 + 40 / 2 - 10 - 25; // centre: half the range counts
            else if (align == 2)
                crossStart = crossClient + 40 - 10 - 50;     // end: the whole range counts
            if (horizontal) {
                EXPECT_TRUE(RectIs(p->GetPos(), -20, crossStart, 10, crossStart + 50));
                EXPECT_EQ(30, h.needed.cx);
                EXPECT_EQ(50, h.needed.cy);
            } else {
                EXPECT_TRUE(RectIs(p->GetPos(), crossStart, -20, crossStart + 50, 10));
                EXPECT_EQ(50, v.needed.cx);
                EXPECT_EQ(30, v.needed.cy);
            }
        }
    }
}

// Across, the vertical layout asks every child what it wants; the horizontal layout does not ask a
// child without a fixed width and counts its fixed height instead.
TEST(StackLayouts, NeededBreadthAcross)
{
    VLayout v;
    SizedProbe* wide = new SizedProbe;
    wide->estimate = SIZE{120, 0};
    wide->SetPadding(RECT{3, 0, 2, 0});
    v.Add(wide);
    v.SetPos(RECT{0, 0, 100, 100}, false);
    EXPECT_EQ(125, v.needed.cx);

    HLayout h;
    SizedProbe* asked = new SizedProbe;
    asked->SetFixedWidth(40);
    asked->estimate = SIZE{40, 70};
    asked->SetPadding(RECT{0, 3, 0, 2});
    SizedProbe* notAsked = new SizedProbe;
    notAsked->estimate = SIZE{0, 200};
    SizedProbe* fixedHeight = new SizedProbe;
    fixedHeight->SetFixedHeight(60);
    fixedHeight->estimate = SIZE{0, 10};
    h.Add(asked);
    h.Add(notAsked);
    h.Add(fixedHeight);
    h.SetPos(RECT{0, 0, 100, 100}, false);
    EXPECT_EQ(75, h.needed.cy);
    fixedHeight->SetFixedHeight(90);
    h.SetPos(RECT{0, 0, 100, 100}, false);
    EXPECT_EQ(90, h.needed.cy);
}

// ---------------------------------------------------------------------------------------------
// Horizontal layout

TEST(HorizontalLayout, SharesAndStretchableChildren)
{
    struct Case {
        const char* name;
        int width;
        int childPadding;
        std::vector<Child> children;
        std::vector<std::pair<int, int>> expected; // left and right
        int neededWidth;
    };
    Child stretch;
    Child fixed50;
    fixed50.fixed = 50;
    Child padded;
    padded.fixed = 40;
    padded.padding = RECT{3, 0, 7, 0};
    Child minStretch;
    minStretch.minSize = 80;
    Child maxStretch;
    maxStretch.maxSize = 20;
    const Case cases[] = {
        {"two fixed and one stretchable", 300, 10, {fixed50, stretch, fixed50}, {{0, 50}, {60, 240}, {250, 300}}, 300},
        {"three stretchable in 100", 100, 0, {stretch, stretch, stretch}, {{0, 33}, {33, 66}, {66, 100}}, 100},
        {"padded fixed child before the last stretchable", 201, 4, {padded, stretch, stretch},
         {{3, 43}, {54, 125}, {129, 201}}, 201},
        {"minimum wins", 100, 0, {fixed50, minStretch}, {{0, 50}, {50, 130}}, 130},
        {"maximum wins", 100, 0, {maxStretch, stretch}, {{0, 20}, {20, 100}}, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HLayout layout;
        layout.SetChildPadding(c.childPadding);
        std::vector<CControlUI*> controls;
        for (const Child& spec : c.children) {
            CControlUI* p = new CControlUI;
            p->SetFixedWidth(spec.fixed);
            p->SetMinWidth(spec.minSize);
            p->SetMaxWidth(spec.maxSize);
            p->SetPadding(spec.padding);
            layout.Add(p);
            controls.push_back(p);
        }
        layout.SetPos(RECT{0, 0, c.width, 60}, false);
        ASSERT_EQ(c.expected.size(), controls.size());
        for (size_t i = 0; i < controls.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(c.expected[i].first, controls[i]->GetPos().left);
            EXPECT_EQ(c.expected[i].second, controls[i]->GetPos().right);
            EXPECT_EQ(0, controls[i]->GetPos().top);
            EXPECT_EQ(60, controls[i]->GetPos().bottom);
        }
        EXPECT_EQ(c.neededWidth, layout.needed.cx);
    }

    // A child without a fixed width shares even when it would estimate a width; a child with a
    // fixed width that estimates none shares too.
    HLayout layout;
    CControlUI* fixed = new CControlUI;
    fixed->SetFixedWidth(50);
    SizedProbe* wantsWidth = new SizedProbe;
    wantsWidth->estimate = SIZE{70, 0};
    SizedProbe* estimatesNone = new SizedProbe;
    estimatesNone->SetFixedWidth(40);
    estimatesNone->estimate = SIZE{0, 0};
    layout.Add(fixed);
    layout.Add(wantsWidth);
    layout.Add(estimatesNone);
    layout.SetPos(RECT{0, 0, 300, 60}, false);
    EXPECT_TRUE(RectIs(fixed->GetPos(), 0, 0, 50, 60));
    EXPECT_TRUE(RectIs(wantsWidth->GetPos(), 50, 0, 175, 60));
    EXPECT_TRUE(RectIs(estimatesNone->GetPos(), 175, 0, 300, 60));
}

TEST(HorizontalLayout, HeightAndVerticalAlignment)
{
    struct Case {
        const wchar_t* valign;
        int maxHeight, minHeight;
        int top, bottom;
    };
    // Height 100; child paddings 5 top, 4 bottom.
    const Case cases[] = {
        {L"top", 9999, 0, 5, 96},     // no height of its own: the whole height offered
        {L"top", 30, 0, 5, 35},
        {L"top", 30, 120, 5, 125},    // minimum over the offer
        {L"vcenter", 30, 0, 35, 65},  // paddings ignored
        {L"vcenter", 31, 0, 35, 66},
        {L"bottom", 30, 0, 66, 96},   // bottom padding kept
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_wstring(c.maxHeight).c_str());
        HLayout layout;
        layout.SetAttribute(L"childvalign", c.valign);
        CControlUI* p = new CControlUI;
        p->SetFixedWidth(40);
        p->SetMaxHeight(c.maxHeight);
        p->SetMinHeight(c.minHeight);
        p->SetPadding(RECT{2, 5, 3, 4});
        layout.Add(p);
        layout.SetPos(RECT{10, 20, 210, 120}, false);
        EXPECT_TRUE(RectIs(p->GetPos(), 12, 20 + c.top, 52, 20 + c.bottom));
        EXPECT_EQ(45, layout.needed.cx);
    }
}

TEST(LayoutSeparators, AttributesBelongToTheirOwnAxis)
{
    CVerticalLayoutUI v;
    CHorizontalLayoutUI h;
    EXPECT_EQ(0u, v.GetControlFlags());
    v.SetAttribute(L"sepwidth", L"4");
    h.SetAttribute(L"sepheight", L"4");
    EXPECT_EQ(0u, v.GetControlFlags());
    EXPECT_EQ(0u, h.GetControlFlags());
    v.SetAttribute(L"sepheight", L"-4");
    h.SetAttribute(L"sepwidth", L"4");
    EXPECT_EQ(2u, v.GetControlFlags());
    EXPECT_EQ(2u, h.GetControlFlags());
    v.SetEnabled(false);
    EXPECT_EQ(0u, v.GetControlFlags());

    EXPECT_STREQ(L"VerticalLayout", v.GetClass());
    EXPECT_STREQ(L"HorizontalLayout", h.GetClass());
    EXPECT_EQ(static_cast<void*>(&v), v.GetInterface(L"VerticalLayout"));
    EXPECT_EQ(nullptr, v.GetInterface(L"HorizontalLayout"));
    EXPECT_NE(nullptr, h.GetInterface(L"IContainer"));
}

// ---------------------------------------------------------------------------------------------
// Tile layout

TEST(TileLayout, GridColumnsGapsAndNeededSize)
{
    struct Case {
        const char* name;
        int width;
        int childPadding;
        int columns;
        int childVPadding;
        int count;
        int expectColumns, expectRows;
        int neededWidth, neededHeight;
        int secondLeft;    // left of child 1
        int fourthTop;     // top of child 3 (or -1)
    };
    const Case cases[] = {
        {"three columns, computed gap 30", 300, 0, 0, 0, 7, 3, 3, 300, 240, 110, 80},
        {"child padding kept as the gap", 300, 5, 0, 0, 7, 3, 3, 300, 240, 85, 80},
        {"narrower than one item", 50, 0, 0, 0, 3, 1, 3, 80, 240, 0, -1},
        {"fixed two columns, gap from the width", 300, 0, 2, 10, 3, 2, 2, 300, 170, 220, -1},
        {"fixed columns more than children", 300, 6, 4, 0, 3, 4, 1, 252, 80, 86, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TileLayout tile;
        tile.SetAttribute(L"itemsize", L"80,80");
        tile.SetChildPadding(c.childPadding);
        tile.SetColumns(c.columns);
        tile.SetChildVPadding(c.childVPadding);
        std::vector<CControlUI*> children;
        for (int i = 0; i < c.count; ++i) {
            children.push_back(new CControlUI);
            tile.Add(children.back());
        }
        tile.SetPos(RECT{0, 0, c.width, 300}, false);
        EXPECT_EQ(c.expectColumns, tile.Columns());
        EXPECT_EQ(c.expectRows, tile.Rows());
        EXPECT_EQ(c.neededWidth, tile.needed.cx);
        EXPECT_EQ(c.neededHeight, tile.needed.cy);
        ASSERT_GE(children.size(), 2u);
        EXPECT_TRUE(RectIs(children[0]->GetPos(), 0, 0, 80, 80));
        if (c.expectColumns > 1) {
            EXPECT_TRUE(RectIs(children[1]->GetPos(), c.secondLeft, 0, c.secondLeft + 80, 80));
        } else {
            EXPECT_TRUE(RectIs(children[1]->GetPos(), 0, 80 + c.childVPadding, 80, 160 + c.childVPadding));
        }
        if (c.fourthTop >= 0) {
            ASSERT_GE(children.size(), 4u);
            EXPECT_TRUE(RectIs(children[3]->GetPos(), 0, c.fourthTop, 80, c.fourthTop + 80));
        }
    }
}

TEST(TileLayout, HiddenChildLeavesAHole)
{
    TileLayout tile;
    tile.SetItemSize(SIZE{80, 80});
    std::vector<CControlUI*> children;
    for (int i = 0; i < 4; ++i) {
        children.push_back(new CControlUI);
        tile.Add(children.back());
    }
    ASSERT_EQ(4u, children.size());
    children[1]->SetVisible(false);
    tile.SetPos(RECT{0, 0, 300, 300}, false);
    EXPECT_TRUE(RectIs(children[0]->GetPos(), 0, 0, 80, 80));
    EXPECT_TRUE(RectIs(children[2]->GetPos(), 220, 0, 300, 80));
    EXPECT_TRUE(RectIs(children[3]->GetPos(), 0, 80, 80, 160));
}

TEST(TileLayout, PaddingsShrinkTheCellAndAlignInsideIt)
{
    struct Case {
        const wchar_t* align;
        const wchar_t* valign;
        RECT expected;
    };
    // One 80 x 80 cell; the child's paddings are 5 on every side and its maximum height 40.
    const Case cases[] = {
        {L"left", L"top", {5, 5, 65, 35}},
        {L"center", L"vcenter", {10, 25, 70, 55}},
        {L"right", L"bottom", {15, 45, 75, 75}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.align);
        TileLayout tile;
        tile.SetAttribute(L"childalign", c.align);
        tile.SetAttribute(L"childvalign", c.valign);
        CControlUI* p = new CControlUI;
        p->SetPadding(RECT{5, 5, 5, 5});
        p->SetMaxHeight(40);
        tile.Add(p);
        tile.SetPos(RECT{0, 0, 80, 80}, false);
        EXPECT_TRUE(RectIs(p->GetPos(), c.expected.left, c.expected.top, c.expected.right, c.expected.bottom));
    }
}

TEST(TileLayout, ItemWidthOfZeroOrLessDoesNotDivide)
{
    for (int width : {0, -10}) {
        SCOPED_TRACE(width);
        TileLayout tile;
        tile.SetItemSize(SIZE{width, 50});
        CControlUI* a = new CControlUI;
        CControlUI* b = new CControlUI;
        tile.Add(a);
        tile.Add(b);
        tile.SetPos(RECT{0, 0, 300, 300}, false);
        EXPECT_EQ(1, tile.Columns());
        EXPECT_EQ(2, tile.Rows());
        EXPECT_EQ(0, tile.needed.cx);
        EXPECT_EQ(100, tile.needed.cy);
        EXPECT_TRUE(RectIs(a->GetPos(), 0, 0, 0, 50));
        EXPECT_TRUE(RectIs(b->GetPos(), 0, 50, 0, 100));

        // With fixed columns there is nothing to divide by the width either.
        tile.SetColumns(2);
        tile.SetPos(RECT{0, 0, 300, 300}, false);
        EXPECT_EQ(2, tile.Columns());
        EXPECT_EQ(1, tile.Rows());
    }
}

TEST(TileLayout, SettersRefuseNegativeValues)
{
    TileLayout tile;
    tile.SetColumns(3);
    tile.SetColumns(-1);
    tile.SetAttribute(L"childvpadding", L"-7");
    for (int i = 0; i < 4; ++i) tile.Add(new CControlUI);
    tile.SetPos(RECT{0, 0, 400, 400}, false);
    EXPECT_EQ(3, tile.Columns());
    EXPECT_EQ(160, tile.needed.cy); // two rows, no gap between them
    EXPECT_STREQ(L"TileLayout", tile.GetClass());
    EXPECT_NE(nullptr, tile.GetInterface(L"TileLayout"));
    EXPECT_NE(nullptr, tile.GetInterface(L"Container"));
}

// ---------------------------------------------------------------------------------------------
// Tab layout

TEST(TabLayout, SelectionThroughAddInsertAndRemove)
{
    TabLayout tab;
    CControlUI* pages[3];
    for (CControlUI*& p : pages) {
        p = new CControlUI;
        tab.Add(p);
    }
    EXPECT_EQ(0, tab.Selection());
    EXPECT_TRUE(pages[0]->IsVisible());
    EXPECT_FALSE(pages[1]->IsVisible());
    EXPECT_FALSE(pages[2]->IsVisible());

    // The attribute selects and is kept by the container as well.
    tab.SetAttribute(L"selectedid", L"1");
    EXPECT_EQ(1, tab.Selection());
    EXPECT_FALSE(pages[0]->IsVisible());
    EXPECT_TRUE(pages[1]->IsVisible());

    EXPECT_FALSE(tab.SelectItem(3, true));
    EXPECT_FALSE(tab.SelectItem(-1, true));
    EXPECT_TRUE(tab.SelectItem(1, true));
    EXPECT_EQ(1, tab.Selection());

    // Inserted before the selection: the same page stays selected; after it: hidden.
    CControlUI* front = new CControlUI;
    EXPECT_TRUE(tab.AddAt(front, 0));
    EXPECT_EQ(2, tab.Selection());
    EXPECT_EQ(pages[1], tab.GetItemAt(tab.Selection()));
    EXPECT_TRUE(front->IsVisible()); // left as it was
    CControlUI* back = new CControlUI;
    EXPECT_TRUE(tab.AddAt(back, 4));
    EXPECT_FALSE(back->IsVisible());
    CControlUI* stray = new CControlUI;
    EXPECT_FALSE(tab.AddAt(stray, 9));
    EXPECT_EQ(2, tab.Selection());
    delete stray;

    // Removing a page before the selection keeps the page selected.
    EXPECT_TRUE(tab.Remove(front));
    EXPECT_EQ(1, tab.Selection());
    EXPECT_EQ(pages[1], tab.GetItemAt(tab.Selection()));
    EXPECT_FALSE(tab.Remove(NULL));

    // Removing the selected page selects and shows page 0 (through RemoveAt as well).
    EXPECT_TRUE(tab.RemoveAt(1));
    EXPECT_EQ(0, tab.Selection());
    EXPECT_TRUE(pages[0]->IsVisible());

    // Removing after the selection changes nothing.
    int count = tab.GetCount();
    EXPECT_TRUE(tab.RemoveAt(count - 1));
    EXPECT_EQ(0, tab.Selection());

    tab.RemoveAll();
    EXPECT_EQ(-1, tab.Selection());
    EXPECT_EQ(0, tab.GetCount());

    // A hidden first page is not taken as the selection; the next visible one is.
    CControlUI* hidden = new CControlUI;
    hidden->SetVisible(false);
    tab.Add(hidden);
    EXPECT_EQ(-1, tab.Selection());
    CControlUI* shown = new CControlUI;
    tab.Add(shown);
    EXPECT_EQ(1, tab.Selection());

    // The last page removed: no selection.
    tab.Remove(hidden);
    EXPECT_EQ(0, tab.Selection());
    tab.Remove(shown);
    EXPECT_EQ(-1, tab.Selection());
}

TEST(TabLayout, OnlyTheSelectedPageIsPlaced)
{
    TabLayout tab;
    tab.SetInset(RECT{1, 2, 3, 4});
    CControlUI* a = new CControlUI;
    SizedProbe* b = new SizedProbe;
    b->estimate = SIZE{0, 30};
    b->SetPadding(RECT{5, 6, 7, 8});
    b->SetMaxWidth(100);
    tab.Add(a);
    tab.Add(b);
    tab.SetPos(RECT{0, 0, 200, 150}, false);
    EXPECT_TRUE(RectIs(a->GetPos(), 1, 2, 197, 146));
    EXPECT_TRUE(RectIs(b->GetPos(), 0, 0, 0, 0));

    tab.SelectItem(1, false);
    tab.SetPos(RECT{0, 0, 200, 150}, false);
    EXPECT_TRUE(RectIs(b->GetPos(), 6, 8, 106, 38));
}

TEST(TabLayout, TabSelectNotification)
{
    HostWindow host(200, 150);
    Recorder recorder;
    host.pm.AddNotifier(&recorder);
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    TabLayout* tab = new TabLayout;
    root->Add(tab);
    for (int i = 0; i < 3; ++i) tab->Add(new CControlUI);
    host.pm.AttachDialog(root);
    host.Show();

    tab->SetAttribute(L"selectedid", L"1");
    ASSERT_EQ(1u, recorder.items.size());
    EXPECT_EQ(L"tabselect", recorder.items[0].type);
    EXPECT_EQ(tab, recorder.items[0].sender);
    EXPECT_EQ(1u, recorder.items[0].wParam);
    EXPECT_EQ(0, recorder.items[0].lParam);

    // The current page again: true and nothing sent; without notification: nothing sent.
    EXPECT_TRUE(tab->SelectItem(1, true));
    EXPECT_TRUE(tab->SelectItem(2, false));
    EXPECT_EQ(1u, recorder.items.size());
    EXPECT_TRUE(tab->SelectItem(0, true));
    ASSERT_EQ(2u, recorder.items.size());
    EXPECT_EQ(0u, recorder.items[1].wParam);
    EXPECT_EQ(2, recorder.items[1].lParam);

    host.Paint();
    ASSERT_NE(nullptr, tab->GetItemAt(0));
    EXPECT_TRUE(RectIs(tab->GetItemAt(0)->GetPos(), 0, 0, 200, 150));
    host.pm.RemoveNotifier(&recorder);
}

// ---------------------------------------------------------------------------------------------
// Child layout

struct TempDir {
    std::wstring path;
    TempDir()
    {
        wchar_t base[MAX_PATH];
        ::GetTempPathW(MAX_PATH, base);
        wchar_t name[MAX_PATH];
        swprintf(name, MAX_PATH, L"%lsveneer-layouts-%lu-%lu\\", base, ::GetCurrentProcessId(), ::GetTickCount());
        path = name;
        ::CreateDirectoryW(path.c_str(), NULL);
    }
    void Write(const wchar_t* file, const char* text)
    {
        FILE* f = _wfopen((path + file).c_str(), L"wb");
        ASSERT_NE(nullptr, f);
        fputs(text, f);
        fclose(f);
    }
    ~TempDir()
    {
        WIN32_FIND_DATAW fd;
        HANDLE h = ::FindFirstFileW((path + L"*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) ::DeleteFileW((path + fd.cFileName).c_str());
            } while (::FindNextFileW(h, &fd));
            ::FindClose(h);
        }
        ::RemoveDirectoryW(path.c_str());
    }
};

TEST(ChildLayout, BuildsItsFileWhenInitialised)
{
    TempDir dir;
    dir.Write(L"page.xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                           "<Window><Container name=\"fromfile\"><Control name=\"inner\" /></Container></Window>");
    CUIString oldPath = CPaintManagerUI::GetResourcePath();
    CPaintManagerUI::SetResourcePath(dir.path.c_str());

    HostWindow host(200, 150);
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    host.pm.AttachDialog(root);

    CChildLayoutUI* empty = new CChildLayoutUI;
    CChildLayoutUI* child = new CChildLayoutUI;
    child->SetAttribute(L"xmlfile", L"page.xml");
    EXPECT_EQ(0, child->GetCount()); // nothing until Init
    CChildLayoutUI* missing = new CChildLayoutUI;
    missing->SetXmlFile(L"no-such-skin.xml");
    missing->Add(new CControlUI);

    root->Add(empty);
    root->Add(child);
    root->Add(missing);

    EXPECT_EQ(0, empty->GetCount());
    ASSERT_EQ(1, child->GetCount());
    EXPECT_EQ(CUIString(L"fromfile"), child->GetItemAt(0)->GetName());
    EXPECT_EQ(child->GetItemAt(0), host.pm.FindControl(L"fromfile"));
    EXPECT_NE(nullptr, host.pm.FindControl(L"inner"));
    EXPECT_EQ(0, missing->GetCount()); // a file that cannot be built empties the layout

    // Not a container to the builder.
    EXPECT_EQ(nullptr, child->GetInterface(L"IContainer"));
    EXPECT_EQ(nullptr, child->GetInterface(L"Container"));
    EXPECT_EQ(static_cast<void*>(child), child->GetInterface(L"ChildLayout"));
    EXPECT_NE(nullptr, child->GetInterface(L"Control"));
    EXPECT_STREQ(L"ChildLayout", child->GetClass());

    CPaintManagerUI::SetResourcePath(oldPath);
}

// ---------------------------------------------------------------------------------------------
// Skin tags

TEST(LayoutSkins, TagsBuildTheLayouts)
{
    HostWindow host(300, 200);
    Recorder recorder;
    host.pm.AddNotifier(&recorder);
    CDialogBuilder builder;
    CControlUI* root = builder.Create(
        STRINGorID(L"<Window><VBox name=\"root\">"
                   L"<HBox name=\"row\" height=\"40\" sepwidth=\"4\"/>"
                   L"<TabLayout name=\"tabs\" height=\"50\" selectedid=\"1\">"
                   L"<Control name=\"p0\"/><Control name=\"p1\"/><Control name=\"p2\"/></TabLayout>"
                   L"<TileLayout name=\"tiles\" itemsize=\"50,30\" columns=\"2\" height=\"60\"><Control name=\"t0\"/>"
                   L"<Control name=\"t1\"/><Control name=\"t2\"/></TileLayout>"
                   L"<ChildLayout name=\"child\" height=\"10\"><Control name=\"ignored\"/></ChildLayout>"
                   L"<horizontallayout name=\"h\" height=\"20\"/><VerticalLayout name=\"v\" sepheight=\"3\"/>"
                   L"</VBox></Window>"),
        NULL, NULL, &host.pm);
    ASSERT_NE(nullptr, root);
    ASSERT_TRUE(host.pm.AttachDialog(root));
    host.Show();
    host.Paint();

    struct Expect {
        const wchar_t* name;
        const wchar_t* cls;
    };
    const Expect classes[] = {{L"root", L"VerticalLayout"}, {L"row", L"HorizontalLayout"}, {L"tabs", L"TabLayout"},
                              {L"tiles", L"TileLayout"},    {L"child", L"ChildLayout"},    {L"h", L"HorizontalLayout"},
                              {L"v", L"VerticalLayout"}};
    for (const Expect& e : classes) {
        CControlUI* c = host.pm.FindControl(e.name);
        ASSERT_NE(nullptr, c) << e.name;
        EXPECT_STREQ(e.cls, c->GetClass());
    }
    EXPECT_EQ(2u, host.pm.FindControl(L"row")->GetControlFlags());
    EXPECT_EQ(2u, host.pm.FindControl(L"v")->GetControlFlags());

    for (const wchar_t* name : {L"p0", L"p1", L"p2", L"t0", L"t1", L"t2"})
        ASSERT_NE(nullptr, host.pm.FindControl(name)) << name;
    // Page 0 was selected as it was added, pages 1 and 2 hidden; the attribute then showed page 1.
    EXPECT_FALSE(host.pm.FindControl(L"p0")->IsVisible());
    EXPECT_TRUE(host.pm.FindControl(L"p1")->IsVisible());
    EXPECT_FALSE(host.pm.FindControl(L"p2")->IsVisible());
    EXPECT_TRUE(RectIs(host.pm.FindControl(L"p1")->GetPos(), 0, 40, 300, 90));
    for (const Recorder::Item& item : recorder.items) {
        EXPECT_EQ(1u, item.wParam);
        EXPECT_EQ(0, item.lParam);
    }

    // Tiles: two columns of 50 x 30 with the gap from the width, below the tab layout.
    EXPECT_TRUE(RectIs(host.pm.FindControl(L"t0")->GetPos(), 0, 90, 50, 120));
    EXPECT_TRUE(RectIs(host.pm.FindControl(L"t1")->GetPos(), 250, 90, 300, 120));
    EXPECT_TRUE(RectIs(host.pm.FindControl(L"t2")->GetPos(), 0, 120, 50, 150));

    // Elements inside a ChildLayout tag are not its content.
    EXPECT_EQ(nullptr, host.pm.FindControl(L"ignored"));
    EXPECT_EQ(0, static_cast<CChildLayoutUI*>(host.pm.FindControl(L"child"))->GetCount());

    // The rest of the height goes to the last stretchable layout.
    EXPECT_TRUE(RectIs(host.pm.FindControl(L"v")->GetPos(), 0, 180, 300, 200));
    host.pm.RemoveNotifier(&recorder);
}

// ---------------------------------------------------------------------------------------------
// Separator drags through the window's mouse messages

struct DragCase {
    const char* name;
    bool horizontal;
    int sepSize;
    bool immediate;
    int minSize, maxSize;
    bool draggedFirst;   // the dragged layout is the root's first child, else its second
    POINT press;
    std::vector<POINT> moves;
    int expectFixed;     // the dragged layout's size after the button is released
};

TEST(LayoutSeparators, DragResizesThroughMouseMessages)
{
    const DragCase cases[] = {
        {"vertical bottom band, up then down", false, 6, false, 0, 9999, true, {50, 97}, {{50, 80}, {50, 120}}, 123},
        {"vertical bottom band, immediate", false, 6, true, 0, 9999, true, {50, 97}, {{50, 80}}, 83},
        {"vertical bottom band, downward inside the band is ignored", false, 6, false, 0, 9999, true, {50, 97},
         {{50, 99}, {50, 104}}, 100},
        {"vertical bottom band, minimum", false, 6, false, 60, 9999, true, {50, 97}, {{50, 10}, {50, 5}}, 60},
        {"vertical bottom band, maximum", false, 6, true, 0, 150, true, {50, 97}, {{50, 290}}, 150},
        {"vertical bottom band, at the minimum already", false, 6, false, 100, 9999, true, {50, 97},
         {{50, 50}}, 100},
        {"vertical top band", false, -6, false, 0, 9999, false, {50, 103}, {{50, 90}}, 113},
        {"horizontal right band", true, 6, false, 0, 9999, true, {97, 50}, {{80, 50}, {90, 50}}, 93},
        {"horizontal right band, immediate", true, 6, true, 0, 9999, true, {97, 50}, {{130, 50}}, 133},
        {"horizontal left band", true, -6, false, 0, 9999, false, {103, 50}, {{90, 50}}, 113},
        {"horizontal left band, minimum", true, -6, true, 70, 9999, false, {103, 50}, {{150, 50}, {180, 50}}, 70},
        // Outward moves: the vertical layout waits for the mouse to pass the band's thickness
        // beyond the edge, the horizontal layout follows from the band's inner edge.
        {"vertical top band, upward inside the band is ignored", false, -6, false, 0, 9999, false, {50, 103},
         {{50, 101}, {50, 96}}, 100},
        {"horizontal right band, rightward inside the band follows", true, 6, false, 0, 9999, true, {97, 50},
         {{99, 50}, {104, 50}}, 107},
        {"horizontal left band, leftward inside the band follows", true, -6, false, 0, 9999, false, {103, 50},
         {{101, 50}}, 102},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(c.name);
        HostWindow host(300, 300);
        CContainerUI* root = c.horizontal ? static_cast<CContainerUI*>(new CHorizontalLayoutUI)
                                          : static_cast<CContainerUI*>(new CVerticalLayoutUI);
        CContainerUI* dragged = c.horizontal ? static_cast<CContainerUI*>(new CHorizontalLayoutUI)
                                             : static_cast<CContainerUI*>(new CVerticalLayoutUI);
        dragged->SetAttribute(c.horizontal ? L"sepwidth" : L"sepheight", std::to_wstring(c.sepSize).c_str());
        dragged->SetAttribute(L"sepimm", c.immediate ? L"true" : L"false");
        if (c.horizontal) {
            dragged->SetFixedWidth(100);
            dragged->SetMinWidth(c.minSize);
            dragged->SetMaxWidth(c.maxSize);
        } else {
            dragged->SetFixedHeight(100);
            dragged->SetMinHeight(c.minSize);
            dragged->SetMaxHeight(c.maxSize);
        }
        CControlUI* before = new CControlUI;
        if (c.horizontal) before->SetFixedWidth(100); else before->SetFixedHeight(100);
        CControlUI* rest = new CControlUI;
        if (!c.draggedFirst) root->Add(before);
        root->Add(dragged);
        root->Add(rest);
        host.pm.AttachDialog(root);
        host.Show();
        int start = c.draggedFirst ? 0 : 100;
        ASSERT_EQ(start, c.horizontal ? dragged->GetPos().left : dragged->GetPos().top);

        host.Mouse(WM_LBUTTONDOWN, c.press, MK_LBUTTON);
        for (const POINT& pt : c.moves) host.Mouse(WM_MOUSEMOVE, pt, MK_LBUTTON);
        int during = c.horizontal ? dragged->GetFixedWidth() : dragged->GetFixedHeight();
        EXPECT_EQ(c.expectFixed, during);
        RECT rcDuring = dragged->GetPos();
        int sizeDuring = c.horizontal ? rcDuring.right - rcDuring.left : rcDuring.bottom - rcDuring.top;
        // Only immediate mode moves the layout itself while the button is down.
        if (c.immediate)
            EXPECT_EQ(c.expectFixed, sizeDuring);
        else
            EXPECT_EQ(100, sizeDuring);

        ASSERT_FALSE(c.moves.empty());
        host.Mouse(WM_LBUTTONUP, c.moves.back(), 0);
        host.Paint();
        const RECT& rc = dragged->GetPos();
        if (c.horizontal) {
            EXPECT_EQ(c.expectFixed, dragged->GetFixedWidth());
            EXPECT_TRUE(RectIs(rc, start, 0, start + c.expectFixed, 300));
            EXPECT_TRUE(RectIs(rest->GetPos(), start + c.expectFixed, 0, 300, 300));
        } else {
            EXPECT_EQ(c.expectFixed, dragged->GetFixedHeight());
            EXPECT_TRUE(RectIs(rc, 0, start, 300, start + c.expectFixed));
            EXPECT_TRUE(RectIs(rest->GetPos(), 0, start + c.expectFixed, 300, 300));
        }

        // The drag is over: later moves change nothing.
        host.Mouse(WM_MOUSEMOVE, POINT{40, 40}, 0);
        EXPECT_EQ(c.expectFixed, c.horizontal ? dragged->GetFixedWidth() : dragged->GetFixedHeight());
    }
}

// The vertical band stays within the layout's height; the horizontal one may reach past its width.
TEST(LayoutSeparators, BandLargerThanTheLayout)
{
    struct V : CVerticalLayoutUI { using CVerticalLayoutUI::GetSeparatorRect; };
    struct H : CHorizontalLayoutUI { using CHorizontalLayoutUI::GetSeparatorRect; };
    V v;
    H h;
    v.SetPos(RECT{0, 10, 100, 14}, false);
    h.SetPos(RECT{10, 0, 14, 100}, false);
    v.SetSeparatorSize(6);
    h.SetSeparatorSize(6);
    EXPECT_TRUE(RectIs(v.GetSeparatorRect(false), 0, 10, 100, 14));
    EXPECT_TRUE(RectIs(h.GetSeparatorRect(false), 8, 0, 14, 100));
    v.SetSeparatorSize(-6);
    h.SetSeparatorSize(-6);
    EXPECT_TRUE(RectIs(v.GetSeparatorRect(false), 0, 10, 100, 14));
    EXPECT_TRUE(RectIs(h.GetSeparatorRect(false), 10, 0, 16, 100));
    // Without a drag the new rectangle is not used.
    EXPECT_TRUE(RectIs(v.GetSeparatorRect(true), 0, 10, 100, 14));
}

TEST(LayoutSeparators, PressOutsideTheBandIsNoDrag)
{
    HostWindow host(300, 300);
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    CVerticalLayoutUI* dragged = new CVerticalLayoutUI;
    dragged->SetFixedHeight(100);
    dragged->SetSeparatorSize(6);
    root->Add(dragged);
    root->Add(new CControlUI);
    host.pm.AttachDialog(root);
    host.Show();

    host.Mouse(WM_LBUTTONDOWN, POINT{50, 50}, MK_LBUTTON);
    host.Mouse(WM_MOUSEMOVE, POINT{50, 150}, MK_LBUTTON);
    host.Mouse(WM_LBUTTONUP, POINT{50, 150}, 0);
    EXPECT_EQ(100, dragged->GetFixedHeight());

    // A disabled layout has no separator.
    dragged->SetEnabled(false);
    host.Mouse(WM_LBUTTONDOWN, POINT{50, 97}, MK_LBUTTON);
    host.Mouse(WM_MOUSEMOVE, POINT{50, 50}, MK_LBUTTON);
    host.Mouse(WM_LBUTTONUP, POINT{50, 50}, 0);
    EXPECT_EQ(100, dragged->GetFixedHeight());
}

// A child that covers the band hands the press on to its layout.
TEST(LayoutSeparators, DragStartsOverAChild)
{
    HostWindow host(300, 300);
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    CVerticalLayoutUI* dragged = new CVerticalLayoutUI;
    dragged->SetFixedHeight(100);
    dragged->SetAttribute(L"sepheight", L"6");
    CControlUI* inner = new CControlUI;
    dragged->Add(inner);
    root->Add(dragged);
    root->Add(new CControlUI);
    host.pm.AttachDialog(root);
    host.Show();
    ASSERT_TRUE(RectIs(inner->GetPos(), 0, 0, 300, 100));

    host.Mouse(WM_LBUTTONDOWN, POINT{50, 98}, MK_LBUTTON);
    host.Mouse(WM_MOUSEMOVE, POINT{50, 60}, MK_LBUTTON);
    host.Mouse(WM_LBUTTONUP, POINT{50, 60}, 0);
    host.Paint();
    EXPECT_EQ(62, dragged->GetFixedHeight());
    EXPECT_TRUE(RectIs(inner->GetPos(), 0, 0, 300, 62));
}

TEST(LayoutSeparators, FeedbackBandAndCursor)
{
    HostWindow host(300, 300);
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    CVerticalLayoutUI* dragged = new CVerticalLayoutUI;
    dragged->SetFixedHeight(100);
    dragged->SetSeparatorSize(6);
    root->Add(dragged);
    root->Add(new CControlUI);
    host.pm.AttachDialog(root);
    host.Show();

    // A white canvas to draw the feedback into.
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = 300;
    bmi.bmiHeader.biHeight = -300;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    DWORD* bits = NULL;
    HDC dc = ::CreateCompatibleDC(NULL);
    HBITMAP bmp = ::CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), NULL, 0);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    auto clear = [&] { for (int i = 0; i < 300 * 300; ++i) bits[i] = 0x00FFFFFF; };
    auto at = [&](int x, int y) { ::GdiFlush(); return bits[y * 300 + x] & 0x00FFFFFF; };
    RECT all = {0, 0, 300, 300};

    clear();
    dragged->DoPostPaint(dc, all);
    EXPECT_EQ(0x00FFFFFFu, at(50, 97)); // no drag, no band

    host.Mouse(WM_LBUTTONDOWN, POINT{50, 97}, MK_LBUTTON);
    host.Mouse(WM_MOUSEMOVE, POINT{50, 70}, MK_LBUTTON);
    clear();
    dragged->DoPostPaint(dc, all);
    // Black at alpha 0xAA over white; the band follows the new bottom (73).
    DWORD band = at(50, 70);
    EXPECT_NEAR(0x55, static_cast<int>(band & 0xFF), 2);
    EXPECT_NEAR(0x55, static_cast<int>((band >> 16) & 0xFF), 2);
    EXPECT_EQ(0x00FFFFFFu, at(50, 66));
    EXPECT_EQ(0x00FFFFFFu, at(50, 97));

    // Switching to immediate mode during the drag ends the feedback band.
    dragged->SetSeparatorImmediate(true);
    clear();
    dragged->DoPostPaint(dc, all);
    EXPECT_EQ(0x00FFFFFFu, at(50, 70));
    host.Mouse(WM_LBUTTONUP, POINT{50, 70}, 0);
    host.Paint();
    EXPECT_EQ(73, dragged->GetFixedHeight());

    ::SelectObject(dc, old);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);

    // The north-south sizing cursor over the band. The window goes under the cursor, not the
    // cursor over the window: the tests beside this one have windows of their own.
    POINT cursor = {0, 0};
    ::GetCursorPos(&cursor);
    ::SetWindowPos(host.hwnd, NULL, cursor.x - 50, cursor.y - 71, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetCursor(::LoadCursorW(NULL, IDC_ARROW));
    ::SendMessageW(host.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(host.hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(::LoadCursorW(NULL, IDC_SIZENS), ::GetCursor());
}

} // namespace layouttest
