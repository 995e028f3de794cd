// Button, option and check box: attributes, events and notifications on a real window, state
// images and fading on off-screen surfaces, option groups.
#include "UIControlsTestSupport.h"
#include "UIButton.h"
#include "UIContainer.h"
#include "UIOption.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace Veneer;
using namespace controlstest;

namespace {

class ButtonProbe : public CButtonUI {
public:
    using CButtonUI::m_diDisabled;
    using CButtonUI::m_diFocused;
    using CButtonUI::m_diHot;
    using CButtonUI::m_diNormal;
    using CButtonUI::m_diPushed;
    using CButtonUI::m_dwFocusedTextColor;
    using CButtonUI::m_dwHotBkColor;
    using CButtonUI::m_dwHotTextColor;
    using CButtonUI::m_dwPushedTextColor;
    using CButtonUI::m_sCursor;
    using CButtonUI::m_uButtonState;
    using CButtonUI::m_uFadeAlpha;
    using CButtonUI::m_uFadeDelta;

    std::vector<int> fadeSteps;
    void DoEvent(tagTEventUI& event) override
    {
        CButtonUI::DoEvent(event);
        if (event.Type == UIEVENT_TIMER && event.wParam == FADE_TIMERID) fadeSteps.push_back(m_uFadeAlpha);
    }
};

class OptionProbe : public COptionUI {
public:
    using COptionUI::m_dwSelectedTextColor;
    using COptionUI::m_uButtonState;
};

const Px kRed = {255, 0, 0, 255};
const Px kGreen = {0, 255, 0, 255};
const Px kBlue = {0, 0, 255, 255};
const Px kYellow = {255, 255, 0, 255};
const Px kMagenta = {255, 0, 255, 255};

} // namespace

TEST(UIButton, DefaultsIdentityAndFlags)
{
    ButtonProbe b;
    EXPECT_STREQ(L"Button", b.GetClass());
    EXPECT_EQ(static_cast<CButtonUI*>(&b), b.GetInterface(L"Button"));
    EXPECT_EQ(static_cast<CLabelUI*>(&b), b.GetInterface(L"Label"));
    EXPECT_EQ(0x25u, b.GetTextStyle());
    EXPECT_EQ(0u, b.m_uButtonState);
    EXPECT_EQ(255, b.m_uFadeAlpha);
    EXPECT_EQ(0, b.m_uFadeDelta);
    EXPECT_STREQ(L"hand", b.m_sCursor);
    EXPECT_EQ(0x3u, b.GetControlFlags());
    b.SetKeyboardEnabled(false);
    EXPECT_EQ(0x2u, b.GetControlFlags());
    b.SetEnabled(false);
    EXPECT_EQ(0x0u, b.GetControlFlags());
    b.SetKeyboardEnabled(true);
    EXPECT_EQ(0x1u, b.GetControlFlags());

    COptionUI o;
    EXPECT_STREQ(L"Option", o.GetClass());
    EXPECT_EQ(static_cast<CButtonUI*>(&o), o.GetInterface(L"Button"));
    CCheckBoxUI c;
    EXPECT_STREQ(L"CheckBox", c.GetClass());
    EXPECT_EQ(static_cast<CCheckBoxUI*>(&c), c.GetInterface(L"CheckBox"));
    EXPECT_EQ(static_cast<COptionUI*>(&c), c.GetInterface(L"Option"));
    EXPECT_FALSE(c.GetCheck());
    c.SetSelected(true);  // no manager: no notification, still selected
    EXPECT_TRUE(c.GetCheck());
}

TEST(UIButton, AttributeTable)
{
    ButtonProbe b;
    b.SetAttribute(L"normalimage", L"n.png");
    b.SetAttribute(L"hotimage", L"h.png");
    b.SetAttribute(L"pushedimage", L"p.png");
    b.SetAttribute(L"focusedimage", L"f.png");
    b.SetAttribute(L"disabledimage", L"d.png");
    EXPECT_STREQ(L"n.png", b.m_diNormal.sDescription);
    EXPECT_STREQ(L"h.png", b.m_diHot.sDescription);
    EXPECT_STREQ(L"p.png", b.m_diPushed.sDescription);
    EXPECT_STREQ(L"f.png", b.m_diFocused.sDescription);
    EXPECT_STREQ(L"d.png", b.m_diDisabled.sDescription);
    b.SetAttribute(L"fadedelta", L"281");  // kept in 8 bits
    EXPECT_EQ(25, b.m_uFadeDelta);
    b.SetAttribute(L"hotbkcolor", L"#FF010203");
    b.SetAttribute(L"hottextcolor", L"FF040506");
    b.SetAttribute(L"pushedtextcolor", L"#FF070809");
    b.SetAttribute(L"focusedtextcolor", L"#FF0A0B0C");
    EXPECT_EQ(0xFF010203u, b.m_dwHotBkColor);
    EXPECT_EQ(0xFF040506u, b.m_dwHotTextColor);
    EXPECT_EQ(0xFF070809u, b.m_dwPushedTextColor);
    EXPECT_EQ(0xFF0A0B0Cu, b.m_dwFocusedTextColor);
    b.SetAttribute(L"cursor", L"arrow");
    EXPECT_STREQ(L"arrow", b.m_sCursor);
    b.SetAttribute(L"align", L"left");  // label keys reach the label
    EXPECT_EQ(0x24u, b.GetTextStyle());
}

namespace {

class UIButtonManaged : public ManagedFixture {
protected:
    ButtonProbe* MakeButton(const wchar_t* name)
    {
        ButtonProbe* b = Attach(new ButtonProbe);
        b->SetName(name);
        RECT rc = {10, 10, 110, 40};
        b->SetPos(rc, false);
        return b;
    }
};

} // namespace

TEST_F(UIButtonManaged, PressReleaseAndClick)
{
    ButtonProbe* b = MakeButton(L"ok");
    tagTEventUI down = Ev(UIEVENT_BUTTONDOWN, 50, 20);
    b->Event(down);
    EXPECT_EQ(0x50u, b->m_uButtonState & 0x50u);  // pushed and captured
    tagTEventUI out = Ev(UIEVENT_MOUSEMOVE, 200, 200);
    b->Event(out);
    EXPECT_EQ(0x40u, b->m_uButtonState & 0x50u);
    tagTEventUI upOut = Ev(UIEVENT_BUTTONUP, 200, 200);
    b->Event(upOut);
    EXPECT_TRUE(m_log.items.empty());
    EXPECT_EQ(0u, b->m_uButtonState & 0x50u);

    b->Event(down);
    b->Event(out);
    tagTEventUI back = Ev(UIEVENT_MOUSEMOVE, 60, 30);
    b->Event(back);
    EXPECT_EQ(0x50u, b->m_uButtonState & 0x50u);
    tagTEventUI up = Ev(UIEVENT_BUTTONUP, 60, 30);
    b->Event(up);
    ASSERT_EQ(1u, m_log.items.size());
    EXPECT_EQ(L"click:ok", m_log.Entries()[0]);
    EXPECT_EQ(0u, m_log.items[0].wParam);

    // A move without a capture does nothing; a press outside does not capture.
    tagTEventUI downOut = Ev(UIEVENT_BUTTONDOWN, 5, 5);
    b->Event(downOut);
    EXPECT_EQ(0u, b->m_uButtonState & 0x50u);
    b->Event(up);
    EXPECT_EQ(1u, m_log.items.size());
}

TEST_F(UIButtonManaged, KeyboardAndContextMenu)
{
    ButtonProbe* b = MakeButton(L"kb");
    struct Case {
        wchar_t key;
        bool clicks;
    } cases[] = {{VK_SPACE, true}, {VK_RETURN, true}, {L'A', false}, {VK_ESCAPE, false}};
    for (const Case& c : cases) {
        m_log.items.clear();
        tagTEventUI k = Ev(UIEVENT_KEYDOWN, 0, 0, 0, c.key);
        b->Event(k);
        EXPECT_EQ(c.clicks ? 1u : 0u, m_log.items.size()) << (int)c.key;
    }
    m_log.items.clear();
    b->SetKeyboardEnabled(false);
    tagTEventUI space = Ev(UIEVENT_KEYDOWN, 0, 0, 0, VK_SPACE);
    b->Event(space);
    EXPECT_TRUE(m_log.items.empty());

    tagTEventUI menu = Ev(UIEVENT_CONTEXTMENU, 20, 20, 77);
    menu.lParam = 88;
    b->Event(menu);
    EXPECT_TRUE(m_log.items.empty());  // menu not in use
    b->SetContextMenuUsed(true);
    b->Event(menu);
    ASSERT_EQ(1u, m_log.items.size());
    EXPECT_EQ(L"menu", m_log.items[0].type);
    EXPECT_EQ(77u, m_log.items[0].wParam);
    EXPECT_EQ(88, m_log.items[0].lParam);
}

TEST_F(UIButtonManaged, DisabledIgnoresPressesAndClearsState)
{
    ButtonProbe* b = MakeButton(L"off");
    tagTEventUI enter = Ev(UIEVENT_MOUSEENTER, 50, 20);
    b->Event(enter);
    EXPECT_EQ(0x08u, b->m_uButtonState);
    b->SetEnabled(false);
    EXPECT_EQ(0u, b->m_uButtonState);
    tagTEventUI down = Ev(UIEVENT_BUTTONDOWN, 50, 20);
    tagTEventUI up = Ev(UIEVENT_BUTTONUP, 50, 20);
    b->Event(down);
    b->Event(up);
    b->Event(enter);
    EXPECT_EQ(0u, b->m_uButtonState);
    EXPECT_TRUE(m_log.items.empty());

    // Mouse input off: the events go up to the parent instead.
    b->SetEnabled(true);
    b->SetMouseEnabled(false);
    b->Event(down);
    EXPECT_EQ(0u, b->m_uButtonState);
}

TEST_F(UIButtonManaged, HotAndMouseLeave)
{
    ButtonProbe* b = MakeButton(L"hot");
    tagTEventUI enter = Ev(UIEVENT_MOUSEENTER, 50, 20);
    b->Event(enter);
    EXPECT_EQ(0x08u, b->m_uButtonState);
    tagTEventUI leaveInside = Ev(UIEVENT_MOUSELEAVE, 50, 20);  // e.g. onto a child: still hot
    b->Event(leaveInside);
    EXPECT_EQ(0x08u, b->m_uButtonState);
    tagTEventUI leave = Ev(UIEVENT_MOUSELEAVE, 300, 200);
    b->Event(leave);
    EXPECT_EQ(0u, b->m_uButtonState);
}

TEST_F(UIButtonManaged, FiveStatusStripPartsAndStates)
{
    // A 100 x 20 strip: red, green, blue, yellow, magenta.
    std::vector<Px> px;
    const Px parts[5] = {kRed, kGreen, kBlue, kYellow, kMagenta};
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 100; ++x) px.push_back(parts[x / 20]);
    rendertest::WriteBytes(m_dir + L"strip.tga", rendertest::MakeTga(100, 20, px));

    ButtonProbe* b = Attach(new ButtonProbe);
    RECT rc = {0, 0, 40, 40};
    b->SetPos(rc, false);
    b->SetAttribute(L"fivestatusimage", L"strip.tga");
    TImageDesc* order[5] = {&b->m_diNormal, &b->m_diPushed, &b->m_diHot, &b->m_diFocused, &b->m_diDisabled};
    for (int i = 0; i < 5; ++i) {
        ASSERT_NE(nullptr, order[i]->pImage) << i;
        EXPECT_EQ(20 * i, order[i]->rcSource.left) << i;
        EXPECT_EQ(20 * (i + 1), order[i]->rcSource.right) << i;
        EXPECT_EQ(20, order[i]->rcSource.bottom) << i;
    }
    EXPECT_EQ(0, b->GetFixedWidth());  // not float: no size taken

    struct Case {
        const char* state;
        UINT bits;
        bool focus;
        bool disabled;
        DWORD rgb;
    } cases[] = {
        {"normal", 0, false, false, 0xFF0000},
        {"pushed", 0x10, false, false, 0x00FF00},
        {"hot", 0x08, false, false, 0x0000FF},
        {"focused", 0, true, false, 0xFFFF00},
        {"disabled", 0, false, true, 0xFF00FF},
        {"pushed beats hot", 0x18, true, false, 0x00FF00},
        {"disabled beats pushed", 0x10, false, true, 0xFF00FF},
    };
    for (const Case& c : cases) {
        b->SetEnabled(!c.disabled);
        b->m_uButtonState = c.bits;
        if (c.focus)
            b->SetFocus();
        else
            m_pm->SetFocus(NULL);
        Surface s(40, 40);
        s.Fill(0);
        PaintOn(s, b);
        EXPECT_TRUE(rendertest::Near(s.At(20, 20), c.rgb)) << c.state;
    }

    // A float button without a size takes one part's size.
    ButtonProbe* f = Attach(new ButtonProbe);
    f->SetAttribute(L"float", L"true");
    f->SetAttribute(L"fivestatusimage", L"strip.tga");
    EXPECT_EQ(20, f->GetFixedWidth());
    EXPECT_EQ(20, f->GetFixedHeight());
}

TEST_F(UIButtonManaged, DisabledWithoutImageShowsNormal)
{
    WriteSolid(L"n.tga", 4, 4, kRed);
    WriteSolid(L"f.tga", 4, 4, kGreen);
    ButtonProbe* b = Attach(new ButtonProbe);
    RECT rc = {0, 0, 30, 30};
    b->SetPos(rc, false);
    b->SetAttribute(L"normalimage", L"n.tga");
    b->SetAttribute(L"foreimage", L"file='f.tga' dest='10,10,20,20'");
    b->SetAttribute(L"disabledimage", L"missing.tga");
    b->SetEnabled(false);
    Surface s(30, 30);
    s.Fill(0);
    PaintOn(s, b);
    EXPECT_TRUE(rendertest::Near(s.At(3, 3), 0xFF0000));
    EXPECT_TRUE(rendertest::Near(s.At(15, 15), 0x00FF00));  // fore image on top
}

TEST_F(UIButtonManaged, HotBackgroundColourHidesForeImage)
{
    WriteSolid(L"f.tga", 4, 4, kGreen);
    WriteSolid(L"hf.tga", 4, 4, kYellow);
    ButtonProbe* b = Attach(new ButtonProbe);
    RECT rc = {0, 0, 30, 30};
    b->SetPos(rc, false);
    b->SetAttribute(L"foreimage", L"f.tga");
    b->SetAttribute(L"hotbkcolor", L"#FF0000FF");
    Surface s(30, 30);
    s.Fill(0);
    PaintOn(s, b);
    EXPECT_TRUE(rendertest::Near(s.At(15, 15), 0x00FF00));
    b->m_uButtonState = 0x08;
    s.Fill(0);
    PaintOn(s, b);
    EXPECT_TRUE(rendertest::Near(s.At(15, 15), 0x0000FF));
    b->SetAttribute(L"hotforeimage", L"hf.tga");  // a hot fore image wins over the colour
    s.Fill(0);
    PaintOn(s, b);
    EXPECT_TRUE(rendertest::Near(s.At(15, 15), 0xFFFF00));
}

TEST_F(UIButtonManaged, FadeStepsOnRealTimer)
{
    WriteSolid(L"n.tga", 4, 4, kRed);
    WriteSolid(L"h.tga", 4, 4, kBlue);
    ButtonProbe* b = MakeButton(L"fade");
    b->SetAttribute(L"normalimage", L"n.tga");
    b->SetAttribute(L"hotimage", L"h.tga");
    b->SetAttribute(L"fadedelta", L"25");

    tagTEventUI enter = Ev(UIEVENT_MOUSEENTER, 50, 20);
    b->Event(enter);
    Pump(3000, [&] { return b->m_uFadeAlpha == 0; });
    Pump(150, [] { return false; });  // the timer has stopped: no further steps
    std::vector<int> in;
    for (int a = 230; a > 0; a -= 25) in.push_back(a);
    in.push_back(0);
    ASSERT_EQ(11u, in.size());
    EXPECT_EQ(in, b->fadeSteps);

    RECT rc = {0, 0, 100, 30};
    Surface s(100, 30);
    s.Fill(0);
    b->SetPos(rc, false);
    PaintOn(s, b);
    EXPECT_TRUE(rendertest::Near(s.At(50, 15), 0x0000FF));
    b->m_uFadeAlpha = 128;  // half way: both images show
    s.Fill(0);
    PaintOn(s, b);
    DWORD mid = s.At(50, 15);
    EXPECT_GT(rendertest::R(mid), 40);
    EXPECT_GT(rendertest::B(mid), 100);
    b->m_uFadeAlpha = 0;

    b->fadeSteps.clear();
    tagTEventUI leave = Ev(UIEVENT_MOUSELEAVE, 300, 200);
    b->Event(leave);
    Pump(3000, [&] { return b->m_uFadeAlpha == 255; });
    Pump(150, [] { return false; });
    std::vector<int> out;
    for (int a = 25; a < 255; a += 25) out.push_back(a);
    out.push_back(255);
    ASSERT_EQ(11u, out.size());
    EXPECT_EQ(out, b->fadeSteps);
    s.Fill(0);
    PaintOn(s, b);
    EXPECT_TRUE(rendertest::Near(s.At(50, 15), 0xFF0000));
}

TEST_F(UIButtonManaged, TextColourFollowsState)
{
    ButtonProbe* b = Attach(new ButtonProbe);
    RECT rc = {0, 0, 120, 30};
    b->SetPos(rc, false);
    b->SetText(L"\x2588\x2588\x2588\x2588\x2588\x2588");
    b->SetAttribute(L"textcolor", L"#FFFF0000");
    b->SetAttribute(L"hottextcolor", L"#FF00FF00");
    b->SetAttribute(L"pushedtextcolor", L"#FF0000FF");
    b->SetAttribute(L"focusedtextcolor", L"#FFFFFF00");
    struct Case {
        UINT bits;
        bool focus;
        DWORD rgb;
    } cases[] = {{0, false, 0xFF0000}, {0x08, false, 0x00FF00}, {0x18, false, 0x0000FF}, {0, true, 0xFFFF00},
                 {0x08, true, 0x00FF00}};
    for (const Case& c : cases) {
        b->m_uButtonState = c.bits;
        if (c.focus)
            b->SetFocus();
        else
            m_pm->SetFocus(NULL);
        Surface s(120, 30);
        s.Fill(0);
        PaintOn(s, b);
        EXPECT_TRUE(rendertest::Near(s.At(60, 15), c.rgb)) << c.bits << " " << c.focus;
    }
}

TEST_F(UIButtonManaged, EstimateFromFontHeight)
{
    ButtonProbe* b = Attach(new ButtonProbe);
    b->SetText(L"a long button caption that is not measured");
    b->SetFixedWidth(70);
    SIZE sz = b->EstimateSize(SIZE{500, 500});
    EXPECT_EQ(70, sz.cx);
    EXPECT_EQ(m_pm->GetFontInfo(-1)->tm.tmHeight + 8, sz.cy);
    b->SetFixedHeight(17);
    sz = b->EstimateSize(SIZE{500, 500});
    EXPECT_EQ(17, sz.cy);
}

// ---------------------------------------------------------------------------------------------
// Options

namespace {

class UIOptionManaged : public ManagedFixture {
protected:
    CContainerUI* root_ = nullptr;
    void MakeRoot()
    {
        root_ = new CContainerUI;
        m_pm->AttachDialog(root_);
    }
    OptionProbe* AddOption(const wchar_t* name, const wchar_t* group, int index)
    {
        OptionProbe* o = new OptionProbe;
        o->SetName(name);
        if (group) o->SetGroup(group);
        root_->Add(o);
        RECT rc = {10, 10 + 40 * index, 110, 40 + 40 * index};
        o->SetPos(rc, false);
        return o;
    }
    void Click(CControlUI* c)
    {
        const RECT& rc = c->GetPos();
        tagTEventUI down = Ev(UIEVENT_BUTTONDOWN, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        tagTEventUI up = Ev(UIEVENT_BUTTONUP, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        c->Event(down);
        c->Event(up);
    }
};

} // namespace

TEST_F(UIOptionManaged, UngroupedToggles)
{
    MakeRoot();
    OptionProbe* o = AddOption(L"solo", NULL, 0);
    Click(o);
    EXPECT_TRUE(o->IsSelected());
    EXPECT_EQ(0x02u, o->m_uButtonState & 0x02u);
    Click(o);
    EXPECT_FALSE(o->IsSelected());
    EXPECT_EQ((std::vector<std::wstring>{L"click:solo", L"selectchanged:solo", L"click:solo",
                                         L"selectchanged:solo"}),
              m_log.Entries());
    m_log.items.clear();
    o->SetSelected(true, false);  // no event asked for
    EXPECT_TRUE(m_log.items.empty());
    o->SetSelected(true, true);   // unchanged: nothing
    EXPECT_TRUE(m_log.items.empty());
}

TEST_F(UIOptionManaged, GroupSelectsOneAndOnlyItReports)
{
    MakeRoot();
    OptionProbe* a = AddOption(L"a", L"tabs", 0);
    OptionProbe* b = AddOption(L"b", L"tabs", 1);
    OptionProbe* c = AddOption(L"c", L"tabs", 2);
    ASSERT_NE(nullptr, m_pm->GetOptionGroup(L"tabs"));
    EXPECT_EQ(3, m_pm->GetOptionGroup(L"tabs")->GetSize());
    a->SetSelected(true, false);
    b->SetSelected(true, false);
    EXPECT_FALSE(a->IsSelected());
    m_log.items.clear();

    c->SetSelected(true);
    EXPECT_FALSE(a->IsSelected());
    EXPECT_FALSE(b->IsSelected());
    EXPECT_TRUE(c->IsSelected());
    EXPECT_EQ((std::vector<std::wstring>{L"selectchanged:c"}), m_log.Entries());

    m_log.items.clear();
    Click(c);  // already selected in a group: only the click
    EXPECT_TRUE(c->IsSelected());
    EXPECT_EQ((std::vector<std::wstring>{L"click:c"}), m_log.Entries());
    m_log.items.clear();
    Click(a);
    EXPECT_EQ((std::vector<std::wstring>{L"click:a", L"selectchanged:a"}), m_log.Entries());
    EXPECT_FALSE(c->IsSelected());

    // Leaving the group by a change of group and by destruction.
    b->SetGroup(L"other");
    EXPECT_EQ(2, m_pm->GetOptionGroup(L"tabs")->GetSize());
    EXPECT_EQ(1, m_pm->GetOptionGroup(L"other")->GetSize());
    b->SetGroup(NULL);
    EXPECT_EQ(nullptr, m_pm->GetOptionGroup(L"other"));
    EXPECT_STREQ(L"", b->GetGroup());
    root_->Remove(c);
    EXPECT_EQ(1, m_pm->GetOptionGroup(L"tabs")->GetSize());
}

TEST_F(UIOptionManaged, DisablingKeepsOnlySelectedBit)
{
    MakeRoot();
    OptionProbe* o = AddOption(L"o", NULL, 0);
    o->SetSelected(true, false);
    o->m_uButtonState |= 0x08 | 0x10;
    o->SetEnabled(false);
    EXPECT_EQ(0x02u, o->m_uButtonState);
}

TEST_F(UIOptionManaged, SelectedImagesAndColours)
{
    WriteSolid(L"n.tga", 4, 4, kRed);
    WriteSolid(L"s.tga", 4, 4, kGreen);
    WriteSolid(L"sh.tga", 4, 4, kBlue);
    MakeRoot();
    OptionProbe* o = AddOption(L"o", NULL, 0);
    RECT rc = {0, 0, 40, 40};
    o->SetPos(rc, false);
    o->SetAttribute(L"normalimage", L"n.tga");
    o->SetAttribute(L"selectedbkcolor", L"#FFFFFF00");
    struct Step {
        const wchar_t* key;
        const wchar_t* value;
        bool selected;
        UINT bits;
        DWORD rgb;
    } steps[] = {
        {NULL, NULL, false, 0, 0xFF0000},
        {NULL, NULL, true, 0, 0xFFFF00},                       // only the colour
        {L"selectedimage", L"s.tga", true, 0, 0x00FF00},
        {NULL, NULL, true, 0x08, 0x00FF00},                    // hot without a selected hot image
        {L"selectedhotimage", L"sh.tga", true, 0x08, 0x0000FF},
        {L"selectedimage", L"gone.tga", true, 0, 0xFFFF00},
    };
    for (const Step& st : steps) {
        if (st.key) o->SetAttribute(st.key, st.value);
        o->SetSelected(st.selected, false);
        o->m_uButtonState = (o->m_uButtonState & 0x02) | st.bits;
        Surface s(40, 40);
        s.Fill(0);
        PaintOn(s, o);
        EXPECT_TRUE(rendertest::Near(s.At(20, 20), st.rgb)) << (st.key ? "key" : "-") << st.bits;
    }
    // A pushed, unselected option does not show the pushed image.
    WriteSolid(L"p.tga", 4, 4, kMagenta);
    o->SetAttribute(L"pushedimage", L"p.tga");
    o->SetSelected(false, false);
    o->m_uButtonState = 0x10;
    Surface s(40, 40);
    PaintOn(s, o);
    EXPECT_TRUE(rendertest::Near(s.At(20, 20), 0xFF0000));
    EXPECT_EQ(0x10u, o->m_uButtonState & 0x10u);  // the bit is back after the paint
}

TEST_F(UIOptionManaged, SelectedTextColourIsForThePaintOnly)
{
    MakeRoot();
    OptionProbe* o = AddOption(L"o", NULL, 0);
    RECT rc = {0, 0, 120, 30};
    o->SetPos(rc, false);
    o->SetAttribute(L"textcolor", L"#FFFF0000");
    o->SetAttribute(L"selectedtextcolor", L"#FF00FF00");
    o->SetSelected(true, false);
    Surface s(120, 30);
    s.Fill(0);
    PaintOn(s, o);  // empty text
    EXPECT_EQ(0xFFFF0000u, o->GetTextColor());
    o->SetText(L"\x2588\x2588\x2588\x2588\x2588\x2588");
    PaintOn(s, o);
    EXPECT_TRUE(rendertest::Near(s.At(60, 15), 0x00FF00));
    EXPECT_EQ(0xFFFF0000u, o->GetTextColor());
    o->SetSelected(false, false);
    s.Fill(0);
    PaintOn(s, o);
    EXPECT_TRUE(rendertest::Near(s.At(60, 15), 0xFF0000));
}

TEST_F(UIOptionManaged, SelectedAttributeAndCheckBox)
{
    MakeRoot();
    CCheckBoxUI* c = new CCheckBoxUI;
    c->SetName(L"remember");
    root_->Add(c);
    c->SetAttribute(L"selected", L"true");
    EXPECT_TRUE(c->GetCheck());
    EXPECT_EQ((std::vector<std::wstring>{L"selectchanged:remember"}), m_log.Entries());
    c->SetAttribute(L"selected", L"false");
    EXPECT_FALSE(c->GetCheck());
}

TEST_F(UIButtonManaged, WindowMouseMessagesClick)
{
    ButtonProbe* b = MakeButton(L"real");
    ::ShowWindow(m_wnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(m_wnd);
    RECT rc = {10, 10, 110, 40};
    b->SetPos(rc, false);
    ::SendMessageW(m_wnd, WM_MOUSEMOVE, 0, MAKELPARAM(50, 20));
    ::SendMessageW(m_wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 20));
    EXPECT_EQ(0x10u, b->m_uButtonState & 0x10u);
    ::SendMessageW(m_wnd, WM_LBUTTONUP, 0, MAKELPARAM(50, 20));
    Pump(100, [] { return false; });
    std::vector<std::wstring> types = m_log.Types();
    EXPECT_EQ(1, std::count(types.begin(), types.end(), std::wstring(L"click")));
    EXPECT_EQ(0u, b->m_uButtonState & 0x50u);
}
