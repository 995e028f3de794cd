// Progress bar and slider: range handling, fill rectangles on off-screen surfaces, thumb
// geometry, value from a point, slider events and "valuechanged".
#include "UIControlsTestSupport.h"
#include "UIProgress.h"
#include "UISlider.h"

#include <climits>
#include <gtest/gtest.h>

using namespace Veneer;
using namespace controlstest;

namespace {

class ProgressProbe : public CProgressUI {
public:
    using CProgressUI::m_diForeImage;
};

class SliderProbe : public CSliderUI {
public:
    using CSliderUI::m_bImmMode;
    using CSliderUI::m_nStep;
    using CSliderUI::m_szThumb;
    using CSliderUI::m_uButtonState;
    using CSliderUI::ValueFromPoint;
};

const Px kGreen = {0, 255, 0, 255};
const Px kBlue = {0, 0, 255, 255};

} // namespace

TEST(UIProgress, DefaultsAndIdentity)
{
    CProgressUI p;
    EXPECT_STREQ(L"Progress", p.GetClass());
    EXPECT_EQ(&p, p.GetInterface(L"Progress"));
    EXPECT_EQ(static_cast<CLabelUI*>(&p), p.GetInterface(L"Label"));
    EXPECT_EQ(0x21u, p.GetTextStyle());
    EXPECT_EQ(12, p.GetFixedHeight());
    EXPECT_TRUE(p.IsHorizontal());
    EXPECT_EQ(0, p.GetMinValue());
    EXPECT_EQ(100, p.GetMaxValue());
    EXPECT_EQ(0, p.GetValue());

    SliderProbe s;
    EXPECT_STREQ(L"Slider", s.GetClass());
    EXPECT_EQ(static_cast<CSliderUI*>(&s), s.GetInterface(L"Slider"));
    EXPECT_EQ(static_cast<CProgressUI*>(&s), s.GetInterface(L"Progress"));
    EXPECT_EQ(0x21u, s.GetTextStyle());
    EXPECT_EQ(12, s.GetFixedHeight());
    EXPECT_EQ(10, s.m_szThumb.cx);
    EXPECT_EQ(10, s.m_szThumb.cy);
    EXPECT_EQ(1, s.GetChangeStep());
    EXPECT_FALSE(s.m_bImmMode);
    EXPECT_EQ(3u, s.GetControlFlags());
    s.m_uButtonState = 0x48;
    s.SetEnabled(false);
    EXPECT_EQ(0u, s.GetControlFlags());
    EXPECT_EQ(0u, s.m_uButtonState);
}

TEST(UIProgress, ValueClampingAndAttributeOrder)
{
    struct Case {
        std::vector<std::pair<const wchar_t*, const wchar_t*>> attrs;
        int min, max, value;
    } cases[] = {
        {{{L"value", L"150"}}, 0, 100, 100},
        {{{L"value", L"-5"}}, 0, 100, 0},
        {{{L"value", L"150"}, {L"max", L"200"}}, 0, 200, 100},  // clamped by the maximum in force
        {{{L"max", L"200"}, {L"value", L"150"}}, 0, 200, 150},
        {{{L"min", L"50"}, {L"max", L"10"}, {L"value", L"30"}}, 50, 10, 50},  // ends at the minimum
        {{{L"value", L"40"}, {L"min", L"60"}}, 60, 100, 40},                 // left until the paint
    };
    for (const Case& c : cases) {
        CProgressUI p;
        for (const auto& a : c.attrs) p.SetAttribute(a.first, a.second);
        EXPECT_EQ(c.min, p.GetMinValue());
        EXPECT_EQ(c.max, p.GetMaxValue());
        EXPECT_EQ(c.value, p.GetValue());
    }
    CProgressUI p;
    p.SetAttribute(L"hor", L"false");
    EXPECT_FALSE(p.IsHorizontal());
    p.SetAttribute(L"hor", L"true");
    EXPECT_TRUE(p.IsHorizontal());
    p.SetAttribute(L"foreimage", L"bar.png");
    p.SetAttribute(L"textcolor", L"#FF123456");  // label keys reach the label
    EXPECT_EQ(0xFF123456u, p.GetTextColor());

    SliderProbe s;
    s.SetAttribute(L"thumbsize", L"14,8");
    EXPECT_EQ(14, s.m_szThumb.cx);
    EXPECT_EQ(8, s.m_szThumb.cy);
    s.SetAttribute(L"thumbsize", L"6");
    EXPECT_EQ(6, s.m_szThumb.cx);
    EXPECT_EQ(0, s.m_szThumb.cy);
    s.SetAttribute(L"step", L"5");
    EXPECT_EQ(5, s.GetChangeStep());
    s.SetAttribute(L"imm", L"true");
    EXPECT_TRUE(s.m_bImmMode);
    s.SetAttribute(L"max", L"7");
    EXPECT_EQ(7, s.GetMaxValue());
}

namespace {

class UIProgressManaged : public ManagedFixture {
protected:
    void SetUp() override
    {
        ManagedFixture::SetUp();
        WriteSolid(L"fill.tga", 4, 4, kGreen);
        WriteSolid(L"thumb.tga", 2, 2, kBlue);
    }
    // First and last+1 coloured column on row y (x range), or the rows of column x.
    static std::pair<int, int> Span(const Surface& s, bool horizontal, int at)
    {
        int first = -1, last = -1;
        const int n = horizontal ? s.Width() : s.Height();
        for (int i = 0; i < n; ++i) {
            DWORD p = horizontal ? s.At(i, at) : s.At(at, i);
            if (p != 0) {
                if (first < 0) first = i;
                last = i + 1;
            }
        }
        return {first, last};
    }
};

} // namespace

TEST_F(UIProgressManaged, FillRectangles)
{
    struct Case {
        bool hor;
        int w, h, min, max, value;
        int from, to;  // along the bar's direction
    } cases[] = {
        {true, 200, 20, 0, 100, 25, 0, 50},
        {false, 20, 200, 0, 100, 25, 150, 200},
        {true, 200, 20, 0, 100, 100, 0, 200},
        {true, 200, 20, 0, 100, 0, -1, -1},
        {true, 200, 20, -50, 50, 0, 0, 100},
        // Spans and sizes whose product does not fit in 32 bits.
        {true, 2000, 10, 0, 2000000000, 1500000000, 0, 1500},
        {true, 400, 10, INT_MIN, INT_MAX, 0, 0, 200},
    };
    for (const Case& c : cases) {
        ProgressProbe* p = new ProgressProbe;
        m_pm->AttachDialog(p);
        RECT rc = {0, 0, c.w, c.h};
        p->SetPos(rc, false);
        p->SetHorizontal(c.hor);
        p->SetMinValue(c.min);
        p->SetMaxValue(c.max);
        p->SetValue(c.value);
        p->SetForeImage(L"fill.tga");
        Surface s(c.w, c.h);
        s.Fill(0);
        PaintOn(s, p);
        auto span = Span(s, c.hor, c.hor ? c.h / 2 : c.w / 2);
        EXPECT_EQ(c.from, span.first) << c.w << "x" << c.h << " value " << c.value;
        EXPECT_EQ(c.to, span.second) << c.w << "x" << c.h << " value " << c.value;
        if (c.to > 0) {
            const int mid = (c.from + c.to) / 2;
            EXPECT_TRUE(rendertest::Near(c.hor ? s.At(mid, c.h / 2) : s.At(c.w / 2, mid), 0x00FF00));
        }
    }
}

TEST_F(UIProgressManaged, EmptyRangeRepairedAtPaint)
{
    ProgressProbe* p = new ProgressProbe;
    m_pm->AttachDialog(p);
    RECT rc = {0, 0, 110, 10};
    p->SetPos(rc, false);
    p->SetAttribute(L"min", L"10");
    p->SetAttribute(L"max", L"10");
    p->SetAttribute(L"value", L"10");
    p->SetForeImage(L"fill.tga");
    Surface s(110, 10);
    s.Fill(0);
    PaintOn(s, p);
    EXPECT_EQ(11, p->GetMaxValue());
    EXPECT_EQ(10, p->GetValue());
    EXPECT_EQ(-1, Span(s, true, 5).first);  // value at the minimum: nothing filled

    // A value left out of range by SetMinValue is brought back by the paint.
    p->SetMaxValue(100);
    p->SetValue(50);
    p->SetMinValue(60);
    PaintOn(s, p);
    EXPECT_EQ(60, p->GetValue());

    p->SetMinValue(INT_MAX);
    p->SetMaxValue(INT_MAX);
    PaintOn(s, p);
    EXPECT_LT(p->GetMinValue(), p->GetMaxValue());
}

TEST_F(UIProgressManaged, ThumbRectAndValueFromPoint)
{
    SliderProbe* s = new SliderProbe;
    m_pm->AttachDialog(s);
    RECT rc = {10, 20, 210, 40};  // 200 wide, thumb 10: track 190
    s->SetPos(rc, false);
    struct Thumb {
        int value;
        RECT want;
    } thumbs[] = {{0, {10, 25, 20, 35}}, {100, {200, 25, 210, 35}}, {50, {105, 25, 115, 35}}};
    for (const Thumb& t : thumbs) {
        s->SetValue(t.value);
        RECT r = s->GetThumbRect();
        EXPECT_TRUE(::EqualRect(&r, &t.want)) << t.value << ": " << r.left << "," << r.top;
    }
    struct Point {
        int x;
        int value;
    } points[] = {{10, 0}, {15, 0}, {16, 0}, {205, 100}, {204, 99}, {300, 100}, {0, 0}, {110, 50}};
    for (const Point& p : points) EXPECT_EQ(p.value, s->ValueFromPoint(POINT{p.x, 30})) << p.x;

    // Vertical: the minimum at the bottom.
    s->SetHorizontal(false);
    RECT rv = {0, 0, 20, 110};  // track 100
    s->SetPos(rv, false);
    s->SetValue(25);
    RECT r = s->GetThumbRect();
    EXPECT_EQ(5, r.left);
    EXPECT_EQ(110 - 10 - 25, r.top);
    EXPECT_EQ(0, s->ValueFromPoint(POINT{10, 106}));
    EXPECT_EQ(100, s->ValueFromPoint(POINT{10, 5}));
    EXPECT_EQ(50, s->ValueFromPoint(POINT{10, 55}));
}

TEST_F(UIProgressManaged, DegenerateRangeAndTrackDoNotDivideByZero)
{
    SliderProbe* s = new SliderProbe;
    m_pm->AttachDialog(s);
    RECT rc = {0, 0, 100, 20};
    s->SetPos(rc, false);
    s->SetMinValue(30);
    s->SetMaxValue(30);  // before any paint repaired it
    for (int x : {0, 5, 50, 95, 100}) EXPECT_EQ(30, s->ValueFromPoint(POINT{x, 10})) << x;
    RECT t = s->GetThumbRect();
    EXPECT_EQ(0, t.left);
    s->SetMaxValue(10);  // reversed
    EXPECT_EQ(30, s->ValueFromPoint(POINT{50, 10}));
    t = s->GetThumbRect();
    EXPECT_EQ(0, t.left);

    // A track no longer than the thumb.
    s->SetMinValue(0);
    s->SetMaxValue(100);
    SIZE big = {100, 10};
    s->SetThumbSize(big);
    for (int x = -5; x <= 105; ++x) {
        int v = s->ValueFromPoint(POINT{x, 10});
        ASSERT_TRUE(v >= 0 && v <= 100) << x;
    }
    SIZE bigger = {140, 10};
    s->SetThumbSize(bigger);
    for (int x = -5; x <= 105; ++x) {
        int v = s->ValueFromPoint(POINT{x, 10});
        ASSERT_TRUE(v >= 0 && v <= 100) << x;
    }
    tagTEventUI down = Ev(UIEVENT_BUTTONDOWN, 50, 10);
    tagTEventUI up = Ev(UIEVENT_BUTTONUP, 50, 10);
    s->Event(down);
    s->Event(up);
    s->SetHorizontal(false);
    SIZE tall = {10, 30};
    s->SetThumbSize(tall);
    for (int y = -5; y <= 25; ++y) {
        int v = s->ValueFromPoint(POINT{5, y});
        ASSERT_TRUE(v >= 0 && v <= 100) << y;
    }
    Surface surf(100, 20);
    PaintOn(surf, s);
}

TEST_F(UIProgressManaged, SliderEventsAndNotifications)
{
    SliderProbe* s = new SliderProbe;
    s->SetName(L"vol");
    m_pm->AttachDialog(s);
    RECT rc = {10, 20, 210, 40};
    s->SetPos(rc, false);

    tagTEventUI down = Ev(UIEVENT_BUTTONDOWN, 110, 30);
    s->Event(down);
    EXPECT_EQ(50, s->GetValue());
    EXPECT_EQ(0x40u, s->m_uButtonState & 0x40u);
    EXPECT_TRUE(m_log.items.empty());
    tagTEventUI move = Ev(UIEVENT_MOUSEMOVE, 205, 30);
    s->Event(move);
    EXPECT_EQ(100, s->GetValue());
    EXPECT_TRUE(m_log.items.empty());  // not immediate
    tagTEventUI up = Ev(UIEVENT_BUTTONUP, 205, 30);
    s->Event(up);
    EXPECT_EQ((std::vector<std::wstring>{L"valuechanged:vol"}), m_log.Entries());
    EXPECT_EQ(0u, s->m_uButtonState & 0x40u);

    // A release that changes nothing still reports once.
    m_log.items.clear();
    s->Event(down);
    tagTEventUI upSame = Ev(UIEVENT_BUTTONUP, 110, 30);
    s->Event(upSame);
    EXPECT_EQ(1u, m_log.items.size());
    // A release without a press: nothing.
    s->Event(upSame);
    EXPECT_EQ(1u, m_log.items.size());

    // Immediate mode: every drag step reports.
    m_log.items.clear();
    s->SetImmMode(true);
    s->Event(down);
    for (int x : {120, 130, 140}) {
        tagTEventUI m = Ev(UIEVENT_MOUSEMOVE, x, 30);
        s->Event(m);
    }
    s->Event(up);
    EXPECT_EQ(4u, m_log.items.size());

    // Wheel: up adds a step, down takes one; at the maximum it stays and still reports.
    m_log.items.clear();
    s->SetChangeStep(10);
    s->SetValue(95);
    tagTEventUI wheelUp = Ev(UIEVENT_SCROLLWHEEL, 110, 30, MAKEWPARAM(SB_LINEUP, 0));
    tagTEventUI wheelDown = Ev(UIEVENT_SCROLLWHEEL, 110, 30, MAKEWPARAM(SB_LINEDOWN, 0));
    s->Event(wheelUp);
    EXPECT_EQ(100, s->GetValue());
    s->Event(wheelUp);
    EXPECT_EQ(100, s->GetValue());
    s->Event(wheelDown);
    EXPECT_EQ(90, s->GetValue());
    EXPECT_EQ(3u, m_log.items.size());

    // Hot follows enter and leave; a disabled slider ignores presses.
    tagTEventUI enter = Ev(UIEVENT_MOUSEENTER, 110, 30);
    s->Event(enter);
    EXPECT_EQ(0x08u, s->m_uButtonState & 0x08u);
    tagTEventUI leave = Ev(UIEVENT_MOUSELEAVE, 300, 300);
    s->Event(leave);
    EXPECT_EQ(0u, s->m_uButtonState & 0x08u);
    s->SetEnabled(false);
    s->Event(down);
    EXPECT_EQ(90, s->GetValue());
    EXPECT_EQ(0u, s->m_uButtonState);
}

TEST_F(UIProgressManaged, SliderPaintsThumbOverFill)
{
    WriteSolid(L"hot.tga", 2, 2, {255, 0, 0, 255});
    SliderProbe* s = new SliderProbe;
    m_pm->AttachDialog(s);
    RECT rc = {0, 0, 200, 20};
    s->SetPos(rc, false);
    s->SetAttribute(L"foreimage", L"fill.tga");
    s->SetAttribute(L"thumbimage", L"thumb.tga");
    s->SetAttribute(L"thumbhotimage", L"hot.tga");
    s->SetValue(50);  // thumb at 95..105, fill 0..100
    Surface surf(200, 20);
    surf.Fill(0);
    PaintOn(surf, s);
    EXPECT_TRUE(rendertest::Near(surf.At(50, 10), 0x00FF00));
    EXPECT_TRUE(rendertest::Near(surf.At(100, 10), 0x0000FF));
    EXPECT_EQ(0u, surf.At(150, 10));
    s->m_uButtonState = 0x08;
    PaintOn(surf, s);
    EXPECT_TRUE(rendertest::Near(surf.At(100, 10), 0xFF0000));
    s->m_uButtonState = 0x40;  // captured without a pushed image: the plain thumb
    PaintOn(surf, s);
    EXPECT_TRUE(rendertest::Near(surf.At(100, 10), 0x0000FF));
}
