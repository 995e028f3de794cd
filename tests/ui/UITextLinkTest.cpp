// Text with links: links come from the last paint; clicks, cursor flags, the eight-link cap.
#include "UIControlsTestSupport.h"
#include "UIText.h"

#include <gtest/gtest.h>

using namespace Veneer;
using namespace controlstest;

namespace {

class TextProbe : public CTextUI {
public:
    using CTextUI::m_nHoverLink;
    using CTextUI::m_nLinks;
    using CTextUI::m_rcLinks;
    using CTextUI::m_rcTextPadding;
};

class UITextLink : public ManagedFixture {
protected:
    TextProbe* Make(const wchar_t* text, bool html = true, int width = 600)
    {
        TextProbe* t = Attach(new TextProbe);
        t->SetName(L"text");
        if (html) t->SetAttribute(L"showhtml", L"true");
        t->SetText(text);
        RECT rc = {0, 0, width, 60};
        t->SetPos(rc, false);
        return t;
    }
    void Paint(CControlUI* c)
    {
        Surface s(600, 60);
        s.Fill(0xFFFFFF);
        PaintOn(s, c);
    }
    void Click(CControlUI* c, POINT down, POINT up)
    {
        tagTEventUI e = Ev(UIEVENT_BUTTONDOWN, down.x, down.y);
        c->Event(e);
        e = Ev(UIEVENT_BUTTONUP, up.x, up.y);
        c->Event(e);
    }
    static POINT Centre(const RECT& rc) { return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }
};

} // namespace

TEST(UIText, DefaultsAndIdentity)
{
    TextProbe t;
    EXPECT_STREQ(L"Text", t.GetClass());
    EXPECT_EQ(static_cast<CTextUI*>(&t), t.GetInterface(L"Text"));
    EXPECT_EQ(static_cast<CLabelUI*>(&t), t.GetInterface(L"Label"));
    EXPECT_EQ((UINT)DT_WORDBREAK, t.GetTextStyle());
    EXPECT_EQ(2, t.m_rcTextPadding.left);
    EXPECT_EQ(0, t.m_rcTextPadding.top);
    EXPECT_EQ(2, t.m_rcTextPadding.right);
    EXPECT_EQ(0, t.m_rcTextPadding.bottom);
    EXPECT_EQ(0, t.m_nLinks);
    EXPECT_EQ(-1, t.m_nHoverLink);
    EXPECT_EQ(0u, t.GetControlFlags());
    EXPECT_EQ(nullptr, t.GetLinkContent(0));
}

TEST_F(UITextLink, ThreeLinksAndAClickOnTheSecond)
{
    TextProbe* t = Make(L"see <a one>first</a>, <a two>second</a> and <a three>third</a>.");
    EXPECT_EQ(0, t->m_nLinks);   // none before the first paint
    Paint(t);
    ASSERT_EQ(3, t->m_nLinks);
    EXPECT_EQ(0x2u, t->GetControlFlags());
    EXPECT_STREQ(L"two", t->GetLinkContent(1)->GetData());
    EXPECT_EQ(nullptr, t->GetLinkContent(3));

    POINT p = Centre(t->m_rcLinks[1]);
    Click(t, p, p);
    ASSERT_EQ(1u, m_log.items.size());
    EXPECT_EQ(L"link", m_log.items[0].type);
    EXPECT_EQ(L"text", m_log.items[0].sender);
    EXPECT_EQ(1u, m_log.items[0].wParam);
    EXPECT_EQ(0, m_log.items[0].lParam);

    // Pressed on a link, released outside every link: nothing.
    m_log.items.clear();
    Click(t, Centre(t->m_rcLinks[0]), POINT{590, 50});
    EXPECT_TRUE(m_log.items.empty());

    // Hovering follows the first link under the point.
    tagTEventUI e = Ev(UIEVENT_MOUSEMOVE, Centre(t->m_rcLinks[2]).x, Centre(t->m_rcLinks[2]).y);
    t->Event(e);
    EXPECT_EQ(2, t->m_nHoverLink);
    e = Ev(UIEVENT_MOUSELEAVE, 590, 50);
    t->Event(e);
    EXPECT_EQ(-1, t->m_nHoverLink);

    // A disabled text keeps its links but takes no clicks.
    t->SetEnabled(false);
    EXPECT_EQ(0u, t->GetControlFlags());
    Click(t, p, p);
    EXPECT_TRUE(m_log.items.empty());
}

TEST_F(UITextLink, OnlyEightOfTenLinksAreClickable)
{
    std::wstring text;
    for (int i = 0; i < 10; ++i) text += L"<a t" + std::to_wstring(i) + L">L" + std::to_wstring(i) + L"</a> ";
    TextProbe* t = Make(text.c_str());
    Paint(t);
    ASSERT_EQ(8, t->m_nLinks);
    EXPECT_STREQ(L"t7", t->GetLinkContent(7)->GetData());
    // Where the ninth link is drawn nothing answers.
    const RECT& last = t->m_rcLinks[7];
    const int step = last.left - t->m_rcLinks[6].left;
    POINT ninth = {Centre(last).x + step, Centre(last).y};
    Click(t, ninth, ninth);
    EXPECT_TRUE(m_log.items.empty());
    Click(t, Centre(last), Centre(last));
    ASSERT_EQ(1u, m_log.items.size());
    EXPECT_EQ(7u, m_log.items[0].wParam);
}

TEST_F(UITextLink, WithoutShowHtmlThereAreNoLinks)
{
    TextProbe* t = Make(L"see <a one>first</a>", false);
    Paint(t);
    EXPECT_EQ(0, t->m_nLinks);
    EXPECT_EQ(0u, t->GetControlFlags());
    Click(t, POINT{60, 8}, POINT{60, 8});
    EXPECT_TRUE(m_log.items.empty());
}

TEST_F(UITextLink, EmptiedTextLosesItsLinksAtTheNextPaint)
{
    TextProbe* t = Make(L"<a one>first</a> <a two>second</a>");
    Paint(t);
    ASSERT_EQ(2, t->m_nLinks);
    POINT p = Centre(t->m_rcLinks[0]);
    t->SetText(L"");
    EXPECT_EQ(2, t->m_nLinks);   // until painted
    Paint(t);
    EXPECT_EQ(0, t->m_nLinks);
    EXPECT_EQ(0u, t->GetControlFlags());
    Click(t, p, p);
    EXPECT_TRUE(m_log.items.empty());
}
