// Scroll bar: range and position (snapping, clamping, the "scroll" notification), the layout of
// buttons and thumb, attributes, button auto-repeat and thumb drag (counted ticks, and through real
// window messages with real timers), hover, and painting of every part into a 32-bit bitmap.
#include "UIContainerTestSupport.h"

using namespace Veneer;
using namespace containertest;

namespace {

// Opens the part states to the tests.
class BarProbe : public CScrollBarUI {
public:
    using CScrollBarUI::m_uButton1State;
    using CScrollBarUI::m_uButton2State;
    using CScrollBarUI::m_uThumbState;
};

void Press(CScrollBarUI* bar, int x, int y)
{
    tagTEventUI e = MakeEvent(UIEVENT_BUTTONDOWN, x, y);
    bar->DoEvent(e);
}

void Release(CScrollBarUI* bar, int x, int y)
{
    tagTEventUI e = MakeEvent(UIEVENT_BUTTONUP, x, y);
    bar->DoEvent(e);
}

void Tick(CScrollBarUI* bar, int n = 1)
{
    for (int i = 0; i < n; i++) {
        tagTEventUI e = MakeEvent(UIEVENT_TIMER, 0, 0, 10);
        bar->DoEvent(e);
    }
}

POINT Center(const RECT& rc)
{
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

} // namespace

TEST(UIScrollBar, Defaults)
{
    CScrollBarUI* bar = new CScrollBarUI;
    EXPECT_STREQ(L"ScrollBar", bar->GetClass());
    EXPECT_EQ(static_cast<void*>(bar), bar->GetInterface(L"ScrollBar"));
    EXPECT_EQ(static_cast<void*>(bar), bar->GetInterface(L"Control"));
    EXPECT_EQ(nullptr, bar->GetInterface(L"scrollbar"));
    EXPECT_EQ(100, bar->GetScrollRange());
    EXPECT_EQ(0, bar->GetScrollPos());
    EXPECT_EQ(16, bar->GetFixedWidth());
    EXPECT_EQ(0, bar->GetFixedHeight());
    EXPECT_EQ(8, bar->GetLineSize());
    EXPECT_EQ(1, bar->GetScrollUnit());
    EXPECT_FALSE(bar->IsHorizontal());
    EXPECT_TRUE(bar->GetShowButton1());
    EXPECT_TRUE(bar->GetShowButton2());
    EXPECT_EQ(nullptr, bar->GetOwner());
    bar->SetLineSize(-3);
    bar->SetScrollUnit(-2);
    EXPECT_EQ(8, bar->GetLineSize());
    EXPECT_EQ(1, bar->GetScrollUnit());
    bar->SetScrollUnit(4);
    EXPECT_EQ(4, bar->GetLineSize());
    bar->SetLineSize(0);
    EXPECT_EQ(4, bar->GetLineSize());
    bar->SetScrollUnit(1);
    EXPECT_EQ(0, bar->GetLineSize());

    // Orientation swaps the thickness only where the new direction has none.
    bar->SetHorizontal(true);
    EXPECT_EQ(0, bar->GetFixedWidth());
    EXPECT_EQ(16, bar->GetFixedHeight());
    bar->SetHorizontal(false);
    EXPECT_EQ(16, bar->GetFixedWidth());
    EXPECT_EQ(0, bar->GetFixedHeight());
    bar->SetFixedHeight(20);
    bar->SetHorizontal(true);
    EXPECT_EQ(16, bar->GetFixedWidth());
    EXPECT_EQ(20, bar->GetFixedHeight());
    bar->Delete();
}

TEST(UIScrollBar, PositionSnapsAndClamps)
{
    struct Case {
        int unit;
        int range;
        int request;
        int want;
    } cases[] = {
        {10, 100, 14, 10}, {10, 100, 15, 20}, {5, 100, 11, 10}, {5, 100, 12, 15}, {1, 100, 150, 100},
        {1, 100, -20, 0},  {1, 0, 30, 0},     {10, 95, 97, 95}, {1, 100, 37, 37},
    };
    for (auto& t : cases) {
        CScrollBarUI* bar = new CScrollBarUI;
        bar->SetScrollUnit(t.unit);
        bar->SetScrollRange(t.range);
        bar->SetScrollPos(t.request, true);
        EXPECT_EQ(t.want, bar->GetScrollPos()) << t.unit << " " << t.range << " " << t.request;
        bar->Delete();
    }
    CScrollBarUI* bar = new CScrollBarUI;
    bar->SetScrollPos(80, false);
    bar->SetScrollRange(50);  // the position follows the range down
    EXPECT_EQ(50, bar->GetScrollPos());
    bar->SetScrollRange(-4);
    EXPECT_EQ(0, bar->GetScrollRange());
    EXPECT_EQ(0, bar->GetScrollPos());
    bar->Delete();
}

TEST(UIScrollBar, ScrollNotificationIsQueuedAndCoalesced)
{
    HostWindow w;
    Recorder rec;
    w.pm.AddNotifier(&rec);
    CScrollBarUI* bar = new CScrollBarUI;
    ASSERT_TRUE(w.pm.AttachDialog(bar));
    bar->SetScrollPos(0, true);  // unchanged: nothing
    bar->SetScrollPos(150, true);
    EXPECT_EQ(0, rec.Count(L"scroll"));  // not before the message loop
    Pump(100);
    ASSERT_EQ(1, rec.Count(L"scroll"));
    EXPECT_EQ(100u, rec.items.back().wParam);  // the clamped value
    EXPECT_EQ(0, rec.items.back().lParam);
    bar->SetScrollPos(10, true);
    bar->SetScrollPos(20, true);
    bar->SetScrollPos(30, false);
    Pump(100);
    ASSERT_EQ(2, rec.Count(L"scroll"));
    EXPECT_EQ(20u, rec.items.back().wParam);
    EXPECT_EQ(10, rec.items.back().lParam);
    bar->SetScrollRange(5);  // a range change sends nothing
    Pump(50);
    EXPECT_EQ(2, rec.Count(L"scroll"));
    EXPECT_EQ(5, bar->GetScrollPos());
}

TEST(UIScrollBar, LayoutOfButtonsAndThumb)
{
    struct Case {
        bool horizontal;
        RECT pos;
        int range;
        int value;
        bool show1, show2;
        RECT b1, b2, thumb;
    } cases[] = {
        // 216 long, track 184, thumb (216 x 184) / 316 = 125.
        {false, {0, 0, 16, 216}, 100, 0, true, true, {0, 0, 16, 16}, {0, 200, 16, 216}, {0, 16, 16, 141}},
        {false, {0, 0, 16, 216}, 100, 100, true, true, {0, 0, 16, 16}, {0, 200, 16, 216}, {0, 75, 16, 200}},
        {false, {10, 20, 26, 236}, 100, 50, true, true, {10, 20, 26, 36}, {10, 220, 26, 236}, {10, 65, 26, 190}},
        {false, {0, 0, 16, 216}, 0, 0, true, true, {0, 0, 16, 16}, {0, 200, 16, 216}, {0, 16, 16, 200}},
        {false, {0, 0, 16, 216}, 100000, 0, true, true, {0, 0, 16, 16}, {0, 200, 16, 216}, {0, 16, 16, 32}},
        {false, {0, 0, 16, 216}, 100, 0, false, true, {0, 0, 0, 0}, {0, 200, 16, 216}, {0, 0, 16, 136}},
        {false, {0, 0, 16, 216}, 100, 100, true, false, {0, 0, 16, 16}, {0, 216, 0, 216}, {0, 80, 16, 216}},
        // Too short for a thumb: the buttons share the length.
        {false, {0, 0, 16, 20}, 100, 0, true, true, {0, 0, 16, 10}, {0, 10, 16, 20}, {0, 0, 0, 0}},
        {false, {0, 0, 16, 48}, 100, 0, true, true, {0, 0, 16, 16}, {0, 32, 16, 48}, {0, 0, 0, 0}},
        {true, {0, 0, 216, 16}, 100, 0, true, true, {0, 0, 16, 16}, {200, 0, 216, 16}, {16, 0, 141, 16}},
        {true, {0, 0, 216, 16}, 100, 100, true, true, {0, 0, 16, 16}, {200, 0, 216, 16}, {75, 0, 200, 16}},
        {true, {0, 0, 20, 16}, 100, 0, true, true, {0, 0, 10, 16}, {10, 0, 20, 16}, {0, 0, 0, 0}},
        // The same rules along x.
        {true, {20, 10, 236, 26}, 100, 50, true, true, {20, 10, 36, 26}, {220, 10, 236, 26}, {65, 10, 190, 26}},
        {true, {0, 0, 216, 16}, 0, 0, true, true, {0, 0, 16, 16}, {200, 0, 216, 16}, {16, 0, 200, 16}},
        {true, {0, 0, 216, 16}, 100000, 0, true, true, {0, 0, 16, 16}, {200, 0, 216, 16}, {16, 0, 32, 16}},
        {true, {0, 0, 216, 16}, 100, 0, false, true, {0, 0, 0, 0}, {200, 0, 216, 16}, {0, 0, 136, 16}},
        {true, {0, 0, 216, 16}, 100, 100, true, false, {0, 0, 16, 16}, {216, 0, 216, 0}, {80, 0, 216, 16}},
        {true, {0, 0, 48, 16}, 100, 0, true, true, {0, 0, 16, 16}, {32, 0, 48, 16}, {0, 0, 0, 0}},
        // Too short, one button hidden: the other still takes half the length at most.
        {false, {0, 0, 16, 20}, 100, 0, false, true, {0, 0, 0, 0}, {0, 10, 16, 20}, {0, 0, 0, 0}},
        {true, {0, 0, 20, 16}, 100, 0, true, false, {0, 0, 10, 16}, {20, 0, 20, 0}, {0, 0, 0, 0}},
    };
    int i = 0;
    for (auto& t : cases) {
        SCOPED_TRACE(i++);
        CScrollBarUI* bar = new CScrollBarUI;
        bar->SetHorizontal(t.horizontal);
        bar->SetShowButton1(t.show1);
        bar->SetShowButton2(t.show2);
        bar->SetScrollRange(t.range);
        bar->SetScrollPos(t.value, false);
        bar->SetPos(t.pos, false);
        EXPECT_TRUE(RectIs(bar->GetButton1Rect(), t.b1.left, t.b1.top, t.b1.right, t.b1.bottom))
            << Str(bar->GetButton1Rect());
        EXPECT_TRUE(RectIs(bar->GetButton2Rect(), t.b2.left, t.b2.top, t.b2.right, t.b2.bottom))
            << Str(bar->GetButton2Rect());
        EXPECT_TRUE(RectIs(bar->GetThumbRect(), t.thumb.left, t.thumb.top, t.thumb.right, t.thumb.bottom))
            << Str(bar->GetThumbRect());
        bar->Delete();
    }
    // Changing the position lays the parts out again.
    CScrollBarUI* bar = new CScrollBarUI;
    bar->SetPos(RECT{0, 0, 16, 216}, false);
    bar->SetScrollPos(100, false);
    EXPECT_EQ(75, bar->GetThumbRect().top);
    bar->SetScrollRange(0);
    EXPECT_TRUE(RectIs(bar->GetThumbRect(), 0, 16, 16, 200));
    bar->Delete();
}

TEST(UIScrollBar, Attributes)
{
    CScrollBarUI* bar = new CScrollBarUI;
    bar->SetAttribute(L"button1color", L"  #FF112233");
    bar->SetAttribute(L"button2color", L"FF445566");
    bar->SetAttribute(L"thumbcolor", L"#80FFFFFF");
    EXPECT_EQ(0xFF112233u, bar->GetButton1Color());
    EXPECT_EQ(0xFF445566u, bar->GetButton2Color());
    EXPECT_EQ(0x80FFFFFFu, bar->GetThumbColor());

    struct Img {
        const wchar_t* name;
        const wchar_t* (CScrollBarUI::*get)() const;
    } images[] = {
        {L"button1normalimage", &CScrollBarUI::GetButton1NormalImage},
        {L"button1hotimage", &CScrollBarUI::GetButton1HotImage},
        {L"button1pushedimage", &CScrollBarUI::GetButton1PushedImage},
        {L"button1disabledimage", &CScrollBarUI::GetButton1DisabledImage},
        {L"button2normalimage", &CScrollBarUI::GetButton2NormalImage},
        {L"button2hotimage", &CScrollBarUI::GetButton2HotImage},
        {L"button2pushedimage", &CScrollBarUI::GetButton2PushedImage},
        {L"button2disabledimage", &CScrollBarUI::GetButton2DisabledImage},
        {L"thumbnormalimage", &CScrollBarUI::GetThumbNormalImage},
        {L"thumbhotimage", &CScrollBarUI::GetThumbHotImage},
        {L"thumbpushedimage", &CScrollBarUI::GetThumbPushedImage},
        {L"thumbdisabledimage", &CScrollBarUI::GetThumbDisabledImage},
        {L"railnormalimage", &CScrollBarUI::GetRailNormalImage},
        {L"railhotimage", &CScrollBarUI::GetRailHotImage},
        {L"railpushedimage", &CScrollBarUI::GetRailPushedImage},
        {L"raildisabledimage", &CScrollBarUI::GetRailDisabledImage},
        {L"bknormalimage", &CScrollBarUI::GetBkNormalImage},
        {L"bkhotimage", &CScrollBarUI::GetBkHotImage},
        {L"bkpushedimage", &CScrollBarUI::GetBkPushedImage},
        {L"bkdisabledimage", &CScrollBarUI::GetBkDisabledImage},
    };
    for (auto& im : images) {
        std::wstring value = std::wstring(L"file='") + im.name + L".png'";
        bar->SetAttribute(im.name, value.c_str());
        EXPECT_STREQ(value.c_str(), (bar->*im.get)()) << std::wstring(im.name).c_str();
        for (auto& other : images) {
            if (&other != &im && wcscmp((bar->*other.get)(), L"") != 0) {
                EXPECT_NE(value, (bar->*other.get)());
            }
        }
    }

    bar->SetAttribute(L"range", L"250");
    bar->SetAttribute(L"value", L"40");
    bar->SetAttribute(L"linesize", L"12");
    EXPECT_EQ(250, bar->GetScrollRange());
    EXPECT_EQ(40, bar->GetScrollPos());
    EXPECT_EQ(12, bar->GetLineSize());
    bar->SetAttribute(L"scrollunit", L"5");
    EXPECT_EQ(5, bar->GetScrollUnit());
    EXPECT_EQ(5, bar->GetLineSize());
    bar->SetAttribute(L"showbutton1", L"false");
    bar->SetAttribute(L"showbutton2", L"True");
    EXPECT_FALSE(bar->GetShowButton1());
    EXPECT_FALSE(bar->GetShowButton2());
    bar->SetAttribute(L"showbutton1", L"true");
    EXPECT_TRUE(bar->GetShowButton1());
    bar->SetAttribute(L"hor", L"true");
    EXPECT_TRUE(bar->IsHorizontal());
    bar->SetAttribute(L"hor", L"yes");
    EXPECT_FALSE(bar->IsHorizontal());
    bar->SetAttribute(L"width", L"12");  // the control base's
    EXPECT_EQ(12, bar->GetFixedWidth());
    bar->Delete();
}

// ---------------------------------------------------------------------------------------------
// Input, counted tick by tick on a bar without owner or manager.

TEST(UIScrollBarInput, ButtonsStepAtOnceAndRepeatFromTheSixthTick)
{
    BarProbe* bar = new BarProbe;
    bar->SetScrollRange(1000);
    bar->SetPos(RECT{0, 0, 16, 216}, false);
    POINT down = Center(bar->GetButton2Rect());
    Press(bar, down.x, down.y);
    EXPECT_EQ(8, bar->GetScrollPos());
    EXPECT_EQ(0x10u, bar->m_uButton2State & 0x10);
    Tick(bar, 5);
    EXPECT_EQ(8, bar->GetScrollPos());
    Tick(bar);
    EXPECT_EQ(16, bar->GetScrollPos());
    Tick(bar, 3);
    EXPECT_EQ(40, bar->GetScrollPos());
    Release(bar, 0, 0);
    EXPECT_EQ(0u, bar->m_uButton2State & 0x10);
    Tick(bar, 10);
    EXPECT_EQ(40, bar->GetScrollPos());

    POINT up = Center(bar->GetButton1Rect());
    Press(bar, up.x, up.y);
    EXPECT_EQ(32, bar->GetScrollPos());
    Tick(bar, 6);
    EXPECT_EQ(24, bar->GetScrollPos());
    Release(bar, 0, 0);

    // The rail pages by the bar's length; a tick of another timer does nothing.
    RECT thumb = bar->GetThumbRect();
    Press(bar, 8, thumb.bottom + 2);
    EXPECT_EQ(24 + 216, bar->GetScrollPos());
    Release(bar, 0, 0);
    thumb = bar->GetThumbRect();
    Press(bar, 8, thumb.top - 1);
    EXPECT_EQ(24, bar->GetScrollPos());
    tagTEventUI other = MakeEvent(UIEVENT_TIMER, 0, 0, 11);
    for (int i = 0; i < 8; i++) bar->DoEvent(other);
    EXPECT_EQ(24, bar->GetScrollPos());
    Release(bar, 0, 0);
    bar->Delete();
}

TEST(UIScrollBarInput, HorizontalBarStepsPagesAndDragsAlongX)
{
    BarProbe* bar = new BarProbe;
    bar->SetHorizontal(true);
    bar->SetScrollRange(1000);
    bar->SetPos(RECT{0, 0, 216, 16}, false);
    POINT right = Center(bar->GetButton2Rect());
    Press(bar, right.x, right.y);
    EXPECT_EQ(8, bar->GetScrollPos());
    Release(bar, 0, 0);
    POINT left = Center(bar->GetButton1Rect());
    Press(bar, left.x, left.y);
    EXPECT_EQ(0, bar->GetScrollPos());
    Release(bar, 0, 0);

    // The rail pages by the bar's width, towards the side of the thumb that was pressed.
    RECT thumb = bar->GetThumbRect();
    Press(bar, thumb.right + 2, 8);
    EXPECT_EQ(216, bar->GetScrollPos());
    Release(bar, 0, 0);
    thumb = bar->GetThumbRect();
    Press(bar, thumb.left - 1, 8);
    EXPECT_EQ(0, bar->GetScrollPos());
    Release(bar, 0, 0);

    // The thumb follows the mouse along x only: thumb 125 long, free track 59.
    bar->SetScrollRange(100);
    POINT grip = Center(bar->GetThumbRect());
    Press(bar, grip.x, grip.y);
    tagTEventUI move = MakeEvent(UIEVENT_MOUSEMOVE, grip.x, grip.y + 30);
    bar->DoEvent(move);
    Tick(bar);
    EXPECT_EQ(0, bar->GetScrollPos());
    move = MakeEvent(UIEVENT_MOUSEMOVE, grip.x + 30, grip.y);
    bar->DoEvent(move);
    Tick(bar);
    EXPECT_EQ(30 * 100 / 59, bar->GetScrollPos());
    Release(bar, 0, 0);
    bar->Delete();
}

TEST(UIScrollBarInput, ThumbDragAppliesOnTheTimerOnly)
{
    BarProbe* bar = new BarProbe;
    bar->SetPos(RECT{0, 0, 16, 216}, false);  // thumb 125 long, free track 59
    POINT grip = Center(bar->GetThumbRect());
    Press(bar, grip.x, grip.y);
    EXPECT_EQ(0x50u, bar->m_uThumbState & 0x50);
    tagTEventUI move = MakeEvent(UIEVENT_MOUSEMOVE, grip.x, grip.y + 30);
    bar->DoEvent(move);
    EXPECT_EQ(0, bar->GetScrollPos());
    Tick(bar);
    EXPECT_EQ(30 * 100 / 59, bar->GetScrollPos());
    move = MakeEvent(UIEVENT_MOUSEMOVE, grip.x, grip.y + 500);
    bar->DoEvent(move);
    Tick(bar);
    EXPECT_EQ(100, bar->GetScrollPos());
    move = MakeEvent(UIEVENT_MOUSEMOVE, grip.x, grip.y - 10);
    bar->DoEvent(move);
    Tick(bar);
    EXPECT_EQ(0, bar->GetScrollPos());
    Release(bar, 0, 0);
    EXPECT_EQ(0u, bar->m_uThumbState & 0x50);

    // Disabled: presses do nothing, part states are cleared.
    Press(bar, 8, 8);
    EXPECT_NE(0u, bar->m_uButton1State);
    bar->SetEnabled(false);
    EXPECT_EQ(0u, bar->m_uButton1State);
    EXPECT_EQ(0u, bar->m_uThumbState);
    Press(bar, 8, 208);
    EXPECT_EQ(0, bar->GetScrollPos());
    EXPECT_EQ(0u, bar->m_uButton2State);
    bar->Delete();
}

TEST(UIScrollBarInput, OwnedBarScrollsItsOwnerOnly)
{
    HostWindow w;
    StackLayout* root = new StackLayout;
    ASSERT_TRUE(w.pm.AttachDialog(root));
    root->EnableScrollBar(true, false);
    for (int i = 0; i < 10; i++) root->Add(Box(50));
    root->SetPos(RECT{0, 0, 300, 240}, false);
    CScrollBarUI* bar = root->GetVerticalScrollBar();
    ASSERT_TRUE(bar->IsVisible());
    ASSERT_EQ(260, bar->GetScrollRange());
    CControlUI* first = root->GetItemAt(0);
    ASSERT_NE(nullptr, first);
    const int line = w.pm.GetDefaultFontInfo()->tm.tmHeight + 8;

    // The owner's line step (font height + 8), not the bar's own 8; the children move along.
    POINT down = Center(bar->GetButton2Rect());
    Press(bar, down.x, down.y);
    Release(bar, down.x, down.y);
    EXPECT_EQ(line, bar->GetScrollPos());
    EXPECT_EQ(-line, first->GetPos().top);
    // The page step is the owner's view height.
    Press(bar, 292, 230 - 16 - 1);
    Release(bar, 0, 0);
    EXPECT_EQ(std::min(260, line + 240), bar->GetScrollPos());
    EXPECT_EQ(-bar->GetScrollPos(), first->GetPos().top);
    // A drag sets the owner's position.
    root->HomeUp();
    POINT grip = Center(bar->GetThumbRect());
    Press(bar, grip.x, grip.y);
    tagTEventUI move = MakeEvent(UIEVENT_MOUSEMOVE, grip.x, grip.y + 500);
    bar->DoEvent(move);
    Tick(bar);
    Release(bar, 0, 0);
    EXPECT_EQ(260, bar->GetScrollPos());
    EXPECT_EQ(-260, first->GetPos().top);
    // Keys and the wheel on the bar go to the owner.
    tagTEventUI key = MakeEvent(UIEVENT_KEYDOWN);
    key.chKey = VK_HOME;
    bar->DoEvent(key);
    EXPECT_EQ(0, bar->GetScrollPos());
    tagTEventUI wheel = MakeEvent(UIEVENT_SCROLLWHEEL, 292, 100, 1);
    bar->DoEvent(wheel);
    EXPECT_EQ(line, bar->GetScrollPos());
    // The focus goes to the owner, never to the bar.
    bar->SetFocus();
    EXPECT_EQ(root, w.pm.GetFocus());
}

// ---------------------------------------------------------------------------------------------
// Real window messages and real timers.

class UIScrollBarWindow : public testing::Test {
protected:
    void SetUp() override
    {
        root = new StackLayout;
        ASSERT_TRUE(w.pm.AttachDialog(root));
        root->EnableScrollBar(true, false);
        for (int i = 0; i < 30; i++) root->Add(Box(50));
        w.ShowAndLayout();
        bar = root->GetVerticalScrollBar();
        ASSERT_TRUE(bar->IsVisible());
        ASSERT_EQ(1500 - 240, bar->GetScrollRange());
        ASSERT_TRUE(RectIs(bar->GetPos(), 284, 0, 300, 240)) << Str(bar->GetPos());
        line = w.pm.GetDefaultFontInfo()->tm.tmHeight + 8;
    }
    HostWindow w{300, 240};
    StackLayout* root = nullptr;
    CScrollBarUI* bar = nullptr;
    int line = 0;
};

TEST_F(UIScrollBarWindow, HeldButtonRepeatsAfterTheDelayAndStopsOnRelease)
{
    Pump(50);
    w.Send(WM_LBUTTONDOWN, 292, 232, MK_LBUTTON);
    DWORD pressed = ::GetTickCount();
    EXPECT_EQ(line, bar->GetScrollPos());  // one step at once
    ASSERT_TRUE(PumpUntil([&] { return bar->GetScrollPos() > line; }));
    DWORD firstRepeat = ::GetTickCount() - pressed;
    EXPECT_GE(firstRepeat, 200u);  // six 50 ms ticks, give or take the timer's grain
    ASSERT_TRUE(PumpUntil([&] { return bar->GetScrollPos() >= 4 * line; }));
    w.Send(WM_LBUTTONUP, 292, 232);
    int held = bar->GetScrollPos();
    Pump(300);
    EXPECT_EQ(held, bar->GetScrollPos());
    ASSERT_NE(nullptr, root->GetItemAt(0));
    EXPECT_EQ(-held, root->GetItemAt(0)->GetPos().top);
}

TEST_F(UIScrollBarWindow, ThumbDragMovesTheContentOnTheTimer)
{
    RECT thumb = bar->GetThumbRect();
    const int len = thumb.bottom - thumb.top;
    const int free = 240 - len - 32;
    POINT grip = Center(thumb);
    w.Send(WM_MOUSEMOVE, grip.x, grip.y);
    w.Send(WM_LBUTTONDOWN, grip.x, grip.y, MK_LBUTTON);
    w.Send(WM_MOUSEMOVE, grip.x, grip.y + 40, MK_LBUTTON);
    EXPECT_EQ(0, bar->GetScrollPos());  // nothing before the tick
    const int want = 40 * 1260 / free;
    EXPECT_TRUE(PumpUntil([&] { return bar->GetScrollPos() != 0; }));
    EXPECT_EQ(want, bar->GetScrollPos());
    ASSERT_NE(nullptr, root->GetItemAt(0));
    EXPECT_EQ(-want, root->GetItemAt(0)->GetPos().top);
    // The mouse may leave the bar while the button is held: the drag goes on.
    w.Send(WM_MOUSEMOVE, 100, grip.y + 80, MK_LBUTTON);
    EXPECT_TRUE(PumpUntil([&] { return bar->GetScrollPos() != want; }));
    EXPECT_EQ(80 * 1260 / free, bar->GetScrollPos());
    w.Send(WM_LBUTTONUP, 100, grip.y + 80);
    int done = bar->GetScrollPos();
    w.Send(WM_MOUSEMOVE, grip.x, grip.y + 120);
    Pump(200);
    EXPECT_EQ(done, bar->GetScrollPos());
}

TEST_F(UIScrollBarWindow, HeldRailPagesTowardsTheCursor)
{
    // The cursor is left where it is (other tests share the display); the window moves so that
    // the cursor lies on the rail below the thumb, above button 2.
    POINT pt = {292, 220};
    POINT cursor;
    ASSERT_TRUE(::GetCursorPos(&cursor));
    ::SetWindowPos(w.hwnd, NULL, cursor.x - pt.x, cursor.y - pt.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    POINT client = cursor;
    ::ScreenToClient(w.hwnd, &client);
    ASSERT_EQ(pt.x, client.x);
    ASSERT_EQ(pt.y, client.y);
    w.Send(WM_LBUTTONDOWN, pt.x, pt.y, MK_LBUTTON);
    EXPECT_EQ(240, bar->GetScrollPos());
    // Pages until the thumb reaches the cursor: the last page clamps to the range.
    EXPECT_TRUE(PumpUntil([&] { return bar->GetScrollPos() == 1260; }));
    RECT thumb = bar->GetThumbRect();
    EXPECT_TRUE(::PtInRect(&thumb, pt)) << Str(thumb);
    Pump(150);
    EXPECT_EQ(1260, bar->GetScrollPos());
    w.Send(WM_LBUTTONUP, pt.x, pt.y);
}

TEST_F(UIScrollBarWindow, WheelOverTheBarOrTheContentScrolls)
{
    const WPARAM down = MAKEWPARAM(0, (WORD)(short)-WHEEL_DELTA);
    const WPARAM up = MAKEWPARAM(0, WHEEL_DELTA);
    POINT screen = {292, 100};
    ::ClientToScreen(w.hwnd, &screen);
    w.Send(WM_MOUSEWHEEL, screen.x, screen.y, down);
    EXPECT_EQ(line, bar->GetScrollPos());
    screen = POINT{100, 100};
    ::ClientToScreen(w.hwnd, &screen);
    w.Send(WM_MOUSEWHEEL, screen.x, screen.y, down);
    EXPECT_EQ(2 * line, bar->GetScrollPos());
    w.Send(WM_MOUSEWHEEL, screen.x, screen.y, up);
    EXPECT_EQ(line, bar->GetScrollPos());
}

TEST(UIScrollBarHover, PartsGetHotOnEnterAndLoseItOnLeave)
{
    HostWindow w(100, 240);
    CContainerUI* root = new CContainerUI;
    ASSERT_TRUE(w.pm.AttachDialog(root));
    BarProbe* bar = new BarProbe;
    bar->SetFixedWidth(16);
    bar->SetMaxWidth(16);
    root->Add(bar);
    w.ShowAndLayout();
    ASSERT_TRUE(RectIs(bar->GetPos(), 0, 0, 16, 240)) << Str(bar->GetPos());
    POINT grip = Center(bar->GetThumbRect());
    w.Send(WM_MOUSEMOVE, 8, 8);
    EXPECT_EQ(0x08u, bar->m_uButton1State & 0x08);
    EXPECT_EQ(0x08u, bar->m_uButton2State & 0x08);
    EXPECT_EQ(0u, bar->m_uThumbState & 0x08);
    w.Send(WM_MOUSEMOVE, grip.x, grip.y);
    EXPECT_EQ(0x08u, bar->m_uThumbState & 0x08);
    w.Send(WM_MOUSEMOVE, 8, 8);
    EXPECT_EQ(0u, bar->m_uThumbState & 0x08);
    w.Send(WM_MOUSEMOVE, 60, 60);  // onto the container
    EXPECT_EQ(0u, bar->m_uButton1State & 0x08);
    EXPECT_EQ(0u, bar->m_uButton2State & 0x08);

    // A bar without owner steps itself.
    w.Send(WM_LBUTTONDOWN, 8, 232, MK_LBUTTON);
    w.Send(WM_LBUTTONUP, 8, 232);
    EXPECT_EQ(8, bar->GetScrollPos());
}

// ---------------------------------------------------------------------------------------------
// Painting

namespace {

const wchar_t* Solid(DWORD argb)
{
    static std::wstring buf[32];
    static int next = 0;
    wchar_t tmp[64];
    swprintf(tmp, 64, L"color='#%08X'", (unsigned)argb);
    std::wstring& s = buf[next++ % 32];
    s = tmp;
    return s.c_str();
}

} // namespace

TEST(UIScrollBarPaint, PartsColoursAndStateImages)
{
    HostWindow w;
    CContainerUI* root = new CContainerUI;
    ASSERT_TRUE(w.pm.AttachDialog(root));
    BarProbe* bar = new BarProbe;
    root->Add(bar);
    RECT rc = {0, 0, 16, 216};
    bar->SetPos(rc, false);  // buttons 0-16 and 200-216, thumb 16-141
    bar->SetBkColor(0xFF808080);
    bar->SetButton1Color(0xFFFF0000);
    bar->SetButton2Color(0xFF00FF00);
    bar->SetThumbColor(0xFF0000FF);

    {
        Canvas cv(40, 240);
        EXPECT_TRUE(bar->Paint(cv.dc(), rc, nullptr));
        EXPECT_EQ(0xFF0000u, cv.At(8, 8));
        EXPECT_EQ(0x00FF00u, cv.At(8, 208));
        EXPECT_EQ(0x0000FFu, cv.At(8, 78));
        EXPECT_EQ(0x808080u, cv.At(8, 170));
        EXPECT_EQ(0u, cv.At(30, 100));
    }

    // Images over the colours; the rail is a square of the thickness at the thumb's middle.
    bar->SetButton1NormalImage(Solid(0xFF101010));
    bar->SetButton1HotImage(L"file='no-such-image.png'");
    bar->SetButton1PushedImage(Solid(0xFF202020));
    bar->SetButton1DisabledImage(Solid(0xFF303030));
    bar->SetThumbNormalImage(Solid(0xFF404040));
    bar->SetThumbHotImage(Solid(0xFF505050));
    bar->SetRailNormalImage(Solid(0xFF606060));
    bar->SetBkNormalImage(Solid(0xFF707070));
    bar->SetBkDisabledImage(Solid(0xFF717171));
    {
        Canvas cv(40, 240);
        EXPECT_TRUE(bar->Paint(cv.dc(), rc, nullptr));
        EXPECT_EQ(0x101010u, cv.At(8, 8));
        EXPECT_EQ(0x00FF00u, cv.At(8, 208));   // no image: the colour stays
        EXPECT_EQ(0x404040u, cv.At(8, 20));
        EXPECT_EQ(0x606060u, cv.At(8, 78));    // rail 70-86
        EXPECT_EQ(0x404040u, cv.At(8, 68));
        EXPECT_EQ(0x404040u, cv.At(8, 88));
        EXPECT_EQ(0x707070u, cv.At(8, 170));
    }
    // Hot, with a hot image that cannot be loaded: the normal image is drawn.
    bar->m_uButton1State |= 0x08;
    bar->m_uThumbState |= 0x08;
    {
        Canvas cv(40, 240);
        bar->Paint(cv.dc(), rc, nullptr);
        EXPECT_EQ(0x101010u, cv.At(8, 8));
        EXPECT_EQ(0x505050u, cv.At(8, 20));
    }
    // Pushed beats hot.
    Press(bar, 8, 8);
    {
        Canvas cv(40, 240);
        bar->Paint(cv.dc(), rc, nullptr);
        EXPECT_EQ(0x202020u, cv.At(8, 8));
    }
    Release(bar, 8, 8);
    // Disabled beats everything; parts without a disabled image fall back to normal.
    bar->SetEnabled(false);
    {
        Canvas cv(40, 240);
        bar->Paint(cv.dc(), rc, nullptr);
        EXPECT_EQ(0x303030u, cv.At(8, 8));
        EXPECT_EQ(0x404040u, cv.At(8, 20));
        EXPECT_EQ(0x717171u, cv.At(8, 170));
    }
    bar->SetEnabled(true);

    // Hidden buttons are not painted; a bar too short has neither thumb nor rail.
    bar->SetShowButton1(false);
    {
        Canvas cv(40, 240);
        bar->Paint(cv.dc(), rc, nullptr);
        EXPECT_EQ(0x404040u, cv.At(8, 8));  // the thumb starts at the top now
    }
    bar->SetShowButton1(true);
    RECT shortRc = {0, 0, 16, 20};
    bar->SetPos(shortRc, false);
    {
        Canvas cv(40, 240);
        bar->Paint(cv.dc(), shortRc, nullptr);
        EXPECT_EQ(0x101010u, cv.At(8, 5));
        EXPECT_EQ(0x00FF00u, cv.At(8, 15));
    }
}

TEST(UIScrollBarPaint, HorizontalBar)
{
    HostWindow w;
    CContainerUI* root = new CContainerUI;
    ASSERT_TRUE(w.pm.AttachDialog(root));
    CScrollBarUI* bar = new CScrollBarUI;
    root->Add(bar);
    bar->SetHorizontal(true);
    RECT rc = {10, 10, 226, 26};
    bar->SetPos(rc, false);
    bar->SetScrollPos(100, false);  // thumb 75-200 relative
    bar->SetButton1NormalImage(Solid(0xFFAA0000));
    bar->SetButton2NormalImage(Solid(0xFF00AA00));
    bar->SetThumbNormalImage(Solid(0xFF0000AA));
    bar->SetRailNormalImage(Solid(0xFFAAAAAA));
    Canvas cv(240, 40);
    EXPECT_TRUE(bar->Paint(cv.dc(), rc, nullptr));
    EXPECT_EQ(0xAA0000u, cv.At(18, 18));
    EXPECT_EQ(0x00AA00u, cv.At(218, 18));
    EXPECT_EQ(0x0000AAu, cv.At(10 + 80, 18));
    EXPECT_EQ(0xAAAAAAu, cv.At(10 + 137, 18));  // rail 129-145 around the middle 137
    EXPECT_EQ(0u, cv.At(10 + 40, 18));          // the empty track
}
