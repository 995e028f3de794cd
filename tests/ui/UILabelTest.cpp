// Label: attributes, size estimate and its cache, plain and GDI+ painting.
#include "UIControlsTestSupport.h"
#include "UILabel.h"

#include <gtest/gtest.h>

using namespace Veneer;
using namespace controlstest;

namespace {

class LabelProbe : public CLabelUI {
public:
    using CLabelUI::m_bNeedEstimateSize;
    using CLabelUI::m_dwDisabledTextColor;
    using CLabelUI::m_rcItem;
    using CLabelUI::m_sText;
    using CLabelUI::m_ShadowOffset;
    using CLabelUI::m_uTextStyle;
};

} // namespace

TEST(UILabel, DefaultsAndIdentity)
{
    CLabelUI l;
    EXPECT_STREQ(L"Label", l.GetClass());
    EXPECT_EQ(&l, l.GetInterface(L"Label"));
    EXPECT_EQ(static_cast<CControlUI*>(&l), l.GetInterface(L"Control"));
    EXPECT_EQ(nullptr, l.GetInterface(L"label"));
    EXPECT_EQ(0x24u, l.GetTextStyle());
    EXPECT_EQ(-1, l.GetFont());
    EXPECT_EQ(0u, l.GetTextColor());
    EXPECT_FLOAT_EQ(3.0f, l.GetLuminousFuzzy());
    EXPECT_EQ(0xFFFFFFFFu, l.GetTextColor1());
    EXPECT_EQ(0xFF000000u, l.GetTextShadowColorA());
    EXPECT_EQ(0xFFFFFFFFu, l.GetTextShadowColorB());
    EXPECT_EQ(0u, l.GetStrokeColor());
    EXPECT_FALSE(l.IsEnabledEffect() || l.IsEnabledLuminous() || l.IsEnabledStroke() || l.IsEnabledShadow());
}

TEST(UILabel, AlignWordsApplyInOrder)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* value;
        UINT start;
        UINT want;
    } cases[] = {
        {L"align", L"left", 0x24 | DT_CENTER, 0x24},
        {L"align", L"center", 0x24 | DT_RIGHT, 0x24 | DT_CENTER},
        {L"align", L"right", 0x24 | DT_CENTER, 0x24 | DT_RIGHT},
        {L"align", L"left right", 0x24, 0x24 | DT_RIGHT},
        {L"align", L"right left", 0x24, 0x24 | DT_RIGHT},  // tested as left, center, right
        {L"align", L"center right", 0x24, 0x24 | DT_RIGHT},
        {L"align", L"middle", 0x24 | DT_CENTER, 0x24 | DT_CENTER},
        {L"valign", L"top", 0x24, DT_SINGLELINE},
        {L"valign", L"bottom", 0x24, DT_SINGLELINE | DT_BOTTOM},
        {L"valign", L"vcenter", DT_SINGLELINE | DT_BOTTOM, 0x24},
        {L"endellipsis", L"true", 0x24, 0x24 | DT_END_ELLIPSIS},
        {L"endellipsis", L"TRUE", 0x24 | DT_END_ELLIPSIS, 0x24},
        {L"multiline", L"true", 0x24, DT_VCENTER | DT_WORDBREAK},
        {L"multiline", L"false", DT_VCENTER | DT_WORDBREAK, 0x24 | DT_WORDBREAK},  // keeps word-break
    };
    for (const Case& c : cases) {
        LabelProbe l;
        l.m_uTextStyle = c.start;
        l.SetAttribute(c.name, c.value);
        EXPECT_EQ(c.want, l.GetTextStyle()) << std::wstring(c.name).c_str() << "=" << std::wstring(c.value).c_str();
    }
}

TEST(UILabel, AttributeTable)
{
    LabelProbe l;
    l.SetAttribute(L"textcolor", L"#FF112233");
    EXPECT_EQ(0xFF112233u, l.GetTextColor());
    l.SetAttribute(L"textcolor", L"FF445566");
    EXPECT_EQ(0xFF445566u, l.GetTextColor());
    l.SetAttribute(L"disabledtextcolor", L"#80808080");
    EXPECT_EQ(0x80808080u, l.m_dwDisabledTextColor);
    l.SetAttribute(L"font", L"3");
    EXPECT_EQ(3, l.GetFont());
    l.SetAttribute(L"textpadding", L"1,2,3,4");
    RECT pad = l.GetTextPadding();
    EXPECT_EQ(1, pad.left);
    EXPECT_EQ(2, pad.top);
    EXPECT_EQ(3, pad.right);
    EXPECT_EQ(4, pad.bottom);
    l.SetAttribute(L"textpadding", L"5,6");  // stops at the end of the text
    pad = l.GetTextPadding();
    EXPECT_EQ(5, pad.left);
    EXPECT_EQ(6, pad.top);
    EXPECT_EQ(0, pad.right);
    EXPECT_EQ(0, pad.bottom);
    l.SetAttribute(L"enabledeffect", L"true");
    l.SetAttribute(L"enabledluminous", L"true");
    l.SetAttribute(L"enabledstroke", L"true");
    l.SetAttribute(L"enabledshadow", L"yes");
    EXPECT_TRUE(l.IsEnabledEffect());
    EXPECT_TRUE(l.IsEnabledLuminous());
    EXPECT_TRUE(l.IsEnabledStroke());
    EXPECT_FALSE(l.IsEnabledShadow());
    l.SetAttribute(L"luminousfuzzy", L"2.5");
    EXPECT_FLOAT_EQ(2.5f, l.GetLuminousFuzzy());
    l.SetAttribute(L"luminousfuzzy", L"0.00001");  // too small: ignored
    EXPECT_FLOAT_EQ(2.5f, l.GetLuminousFuzzy());
    l.SetAttribute(L"gradientangle", L"30");
    l.SetAttribute(L"gradientlength", L"12");
    EXPECT_EQ(30, l.GetGradientAngle());
    EXPECT_EQ(12, l.GetGradientLength());
    l.SetAttribute(L"textcolor1", L"#FF0000FF");
    l.SetAttribute(L"textshadowcolora", L"#FF00FF00");
    l.SetAttribute(L"textshadowcolorb", L"FF00FF01");
    l.SetAttribute(L"strokecolor", L"#FFFFFF00");
    EXPECT_EQ(0xFF0000FFu, l.GetTextColor1());
    EXPECT_EQ(0xFF00FF00u, l.GetTextShadowColorA());
    EXPECT_EQ(0xFF00FF01u, l.GetTextShadowColorB());
    EXPECT_EQ(0xFFFFFF00u, l.GetStrokeColor());
    l.SetAttribute(L"Text", L"custom");  // names are case-sensitive: not the text
    EXPECT_STREQ(L"", l.GetText());
    l.SetAttribute(L"text", L"hello");
    EXPECT_STREQ(L"hello", l.GetText());
}

TEST(UILabel, ShadowOffsetByAngle)
{
    struct Case {
        const wchar_t* value;
        float x, y;
    } cases[] = {
        {L"2,45", -2, -2}, {L"2,-45", 2, -2}, {L"2,135", -2, 2}, {L"2,-135", 2, 2},
        {L"2,-90", 2, 0},  {L"2,90", -2, -2}, {L"2,180", -2, 2}, {L"2,-180", 0, 2},
        {L"2,200", 9, 9},  {L"2", -2, -2},  // missing angle reads 0
    };
    for (const Case& c : cases) {
        LabelProbe l;
        l.m_ShadowOffset.X = l.m_ShadowOffset.Y = 9;
        l.SetAttribute(L"shadowoffset", c.value);
        EXPECT_FLOAT_EQ(c.x, l.m_ShadowOffset.X) << std::wstring(c.value).c_str();
        EXPECT_FLOAT_EQ(c.y, l.m_ShadowOffset.Y) << std::wstring(c.value).c_str();
    }
    // Later, the control's corner is the starting point.
    LabelProbe l;
    RECT rc = {10, 20, 50, 60};
    l.SetPos(rc, false);
    l.SetShadowOffset(3, 45);
    EXPECT_FLOAT_EQ(17, l.m_ShadowOffset.X);
    EXPECT_FLOAT_EQ(7, l.m_ShadowOffset.Y);
}

TEST(UILabel, EstimateWithoutManagerGivesFixedSizeAndStaysPending)
{
    LabelProbe l;
    l.SetText(L"no manager yet");
    SIZE sz = l.EstimateSize(SIZE{300, 100});
    EXPECT_EQ(0, sz.cx);
    EXPECT_EQ(0, sz.cy);
    l.SetFixedWidth(40);
    sz = l.EstimateSize(SIZE{300, 100});
    EXPECT_EQ(40, sz.cx);
    EXPECT_TRUE(l.m_bNeedEstimateSize);
}

namespace {

class UILabelManaged : public ManagedFixture {
protected:
    // Width of a text in the default font, measured as GDI does.
    int MeasureWidth(const wchar_t* text)
    {
        HDC dc = m_pm->GetPaintDC();
        HGDIOBJ old = ::SelectObject(dc, m_pm->GetFont(-1));
        RECT rc = {0, 0, 9999, 100};
        ::DrawTextW(dc, text, -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_CALCRECT | DT_NOPREFIX);
        ::SelectObject(dc, old);
        return rc.right - rc.left;
    }
    int FontHeight() { return m_pm->GetFontInfo(-1)->tm.tmHeight; }
};

} // namespace

TEST_F(UILabelManaged, FixedSizeIsNeverMeasured)
{
    LabelProbe* l = Attach(new LabelProbe);
    l->SetText(L"some text");
    l->SetFixedWidth(33);
    l->SetFixedHeight(11);
    SIZE sz = l->EstimateSize(SIZE{500, 500});
    EXPECT_EQ(33, sz.cx);
    EXPECT_EQ(11, sz.cy);
    EXPECT_TRUE(l->m_bNeedEstimateSize);  // no estimate was made
}

TEST_F(UILabelManaged, SingleLineEstimateAndCache)
{
    LabelProbe* l = Attach(new LabelProbe);
    l->SetText(L"Status text");
    l->SetAttribute(L"textpadding", L"3,4,5,6");
    SIZE sz = l->EstimateSize(SIZE{500, 500});
    EXPECT_GT(FontHeight(), 0);
    EXPECT_EQ(FontHeight() + 8 + 4 + 6, sz.cy);
    EXPECT_EQ(MeasureWidth(L"Status text") + 3 + 5, sz.cx);
    EXPECT_FALSE(l->m_bNeedEstimateSize);

    // Single line: another available size uses the cache (the text is changed behind its back).
    l->m_sText = L"A much longer text than before";
    SIZE again = l->EstimateSize(SIZE{50, 20});
    EXPECT_EQ(sz.cx, again.cx);
    EXPECT_EQ(sz.cy, again.cy);
    l->SetText(L"x");
    EXPECT_TRUE(l->m_bNeedEstimateSize);
    EXPECT_EQ(MeasureWidth(L"x") + 8, l->EstimateSize(SIZE{50, 20}).cx);
}

TEST_F(UILabelManaged, EffectWidensFreshEstimateOnce)
{
    LabelProbe* l = Attach(new LabelProbe);
    l->SetText(L"Effect text wide enough");
    l->SetEnabledEffect(true);
    const int plain = MeasureWidth(L"Effect text wide enough");
    SIZE sz = l->EstimateSize(SIZE{500, 500});
    EXPECT_EQ((int)(plain * 1.03), sz.cx);
    EXPECT_EQ((int)(plain * 1.03), l->EstimateSize(SIZE{500, 500}).cx);
    EXPECT_EQ((int)(plain * 1.03), l->EstimateSize(SIZE{400, 500}).cx);
}

TEST_F(UILabelManaged, MultiLineRemeasuresWhenWidthChanges)
{
    LabelProbe* l = Attach(new LabelProbe);
    l->SetAttribute(L"multiline", L"true");
    l->SetText(L"one two three four five six seven eight nine ten eleven twelve");
    SIZE wide = l->EstimateSize(SIZE{2000, 0});
    EXPECT_EQ(2000, wide.cx);
    SIZE narrow = l->EstimateSize(SIZE{60, 0});
    EXPECT_EQ(60, narrow.cx);
    EXPECT_GT(narrow.cy, wide.cy);
    SIZE same = l->EstimateSize(SIZE{60, 0});
    EXPECT_EQ(narrow.cy, same.cy);
    EXPECT_FALSE(l->m_bNeedEstimateSize);
}

TEST_F(UILabelManaged, PlainPaintColoursAndDefaults)
{
    m_pm->SetDefaultFontColor(0xFF00FF00);
    m_pm->SetDefaultDisabledColor(0xFF0000FF);
    LabelProbe* l = Attach(new LabelProbe);
    RECT rc = {0, 0, 200, 40};
    l->SetPos(rc, false);
    l->SetText(L"\x2588\x2588\x2588\x2588 WWWW");

    Surface s(200, 40);
    s.Fill(0);
    PaintOn(s, l);
    EXPECT_EQ(0xFF00FF00u, l->GetTextColor());  // adopted for good
    int green = 0, other = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x) {
            DWORD p = s.At(x, y);
            if (p == 0) continue;
            if (rendertest::R(p) == 0 && rendertest::B(p) == 0) green++; else other++;
        }
    EXPECT_GT(green, 20);

    m_pm->SetDefaultFontColor(0xFFFF0000);  // a later default does not change the label
    l->SetEnabled(false);
    s.Fill(0);
    PaintOn(s, l);
    EXPECT_EQ(0xFF00FF00u, l->GetTextColor());
    int blue = 0, notBlue = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x) {
            DWORD p = s.At(x, y);
            if (p == 0) continue;
            if (rendertest::R(p) == 0 && rendertest::G(p) == 0) blue++; else notBlue++;
        }
    EXPECT_GT(blue, 20);
    EXPECT_EQ(0, notBlue);
}

TEST_F(UILabelManaged, EmptyTextDrawsNothingWithoutEffect)
{
    LabelProbe* l = Attach(new LabelProbe);
    RECT rc = {0, 0, 100, 30};
    l->SetPos(rc, false);
    l->SetTextColor(0xFFFFFFFF);
    Surface s(100, 30);
    s.Fill(0);
    PaintOn(s, l);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 100; ++x) ASSERT_EQ(0u, s.At(x, y));
    // With the effect the GDI+ passes still run (and draw nothing visible).
    l->SetEnabledEffect(true);
    l->SetEnabledLuminous(true);
    l->SetEnabledStroke(true);
    l->SetStrokeColor(0xFFFF0000);
    PaintOn(s, l);
    EXPECT_EQ(0u, s.At(50, 15));
}

namespace {

struct ColourCount {
    int total = 0;
    int matching = 0;
};

template <class F> ColourCount CountPixels(const Surface& s, F pred)
{
    ColourCount c;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) {
            DWORD p = s.At(x, y);
            if (p == 0) continue;
            c.total++;
            if (pred(p)) c.matching++;
        }
    return c;
}

} // namespace

TEST_F(UILabelManaged, EffectTextWithoutSecondColourIsPlainColour)
{
    LabelProbe* l = Attach(new LabelProbe);
    RECT rc = {0, 0, 200, 40};
    l->SetPos(rc, false);
    l->SetText(L"WWWW MMMM");
    l->SetTextColor(0xFFFF0000);
    l->SetEnabledEffect(true);
    Surface s(200, 40);
    s.Fill(0);
    PaintOn(s, l);
    ColourCount red = CountPixels(s, [](DWORD p) { return rendertest::G(p) == 0 && rendertest::B(p) == 0; });
    EXPECT_GT(red.total, 20);
    EXPECT_EQ(red.total, red.matching);

    // A second colour makes a gradient: blue shows up too.
    l->SetTextColor1(0xFF0000FF);
    s.Fill(0);
    PaintOn(s, l);
    ColourCount blueish = CountPixels(s, [](DWORD p) { return rendertest::B(p) > 0; });
    EXPECT_GT(blueish.matching, 0);
}

TEST_F(UILabelManaged, EffectStrokeAndShadowPasses)
{
    LabelProbe* l = Attach(new LabelProbe);
    RECT rc = {0, 0, 200, 40};
    l->SetPos(rc, false);
    l->SetText(L"WWWW MMMM");
    l->SetTextColor(0xFFFF0000);
    l->SetEnabledEffect(true);
    l->SetEnabledStroke(true);
    l->SetStrokeColor(0xFF00FF00);
    Surface s(200, 40);
    s.Fill(0);
    PaintOn(s, l);
    EXPECT_GT(CountPixels(s, [](DWORD p) { return rendertest::G(p) > 0; }).matching, 0);

    l->SetEnabledStroke(false);
    l->SetEnabledShadow(true);
    l->SetTextShadowColorA(0xFF0000FF);
    l->SetShadowOffset(4, -135);  // shadow 4 right, 4 down
    s.Fill(0);
    PaintOn(s, l);
    EXPECT_GT(CountPixels(s, [](DWORD p) { return rendertest::B(p) > 0; }).matching, 0);
}

TEST_F(UILabelManaged, GlowReadsCurrentTextAndSurvivesEmptyRectangles)
{
    LabelProbe* l = Attach(new LabelProbe);
    RECT rc = {0, 0, 300, 40};
    l->SetPos(rc, false);
    l->SetEnabledEffect(true);
    l->SetEnabledLuminous(true);
    l->SetTextColor(0xFFFFFFFF);
    // The text grows from the inline buffer onto the heap after the effect was enabled.
    l->SetText(L"short");
    l->SetText(L"A text long enough to leave the inline buffer of the string object behind");
    Surface s(300, 40);
    s.Fill(0);
    PaintOn(s, l);
    EXPECT_GT(CountPixels(s, [](DWORD) { return true; }).total, 20);

    // A text rectangle without width or height: no glow bitmap, no failure.
    const RECT pads[] = {{0, 0, 300, 0}, {0, 0, 0, 40}};
    for (const RECT& r : pads) {
        l->SetPos(r, false);
        l->PaintText(s.dc());  // Paint would skip an empty control before its text
    }
    l->SetPos(rc, false);
    l->SetTextPadding(RECT{150, 0, 150, 0});
    PaintOn(s, l);
}
