// Plain and marked-up text: links, colours, font variants, inline images, escapes, alignment,
// ellipsis and malformed markup, checked on real DIB pixels under the window system.
#include "UIRenderTestSupport.h"

using namespace Veneer;
using namespace rendertest;

namespace {

const wchar_t* kFace = L"Tahoma";
const int kSize = 20;

class TextTest : public PaintManagerFixture {
protected:
    void SetUp() override
    {
        PaintManagerFixture::SetUp();
        ASSERT_NE((HFONT)NULL, m_pm.AddFont(1, kFace, kSize, false, false, false, false));
    }

    int Extent(HDC dc, const wchar_t* text, int font = 1)
    {
        HFONT old = (HFONT)::SelectObject(dc, m_pm.GetFont(font));
        SIZE sz = {0, 0};
        ::GetTextExtentPoint32W(dc, text, (int)wcslen(text), &sz);
        ::SelectObject(dc, old);
        return sz.cx;
    }

    int LineHeight(HDC dc)
    {
        HFONT old = (HFONT)::SelectObject(dc, m_pm.GetFont(1));
        TEXTMETRICW tm;
        ::GetTextMetricsW(dc, &tm);
        ::SelectObject(dc, old);
        return tm.tmHeight + tm.tmExternalLeading;
    }

    RECT Measure(HDC dc, const wchar_t* text, UINT style = 0, RECT rc = RECT{0, 0, 9999, 9999})
    {
        int n = 0;
        CUIPainter::DrawHtmlText(dc, &m_pm, rc, text, 0xFF000000, NULL, NULL, n, 1, style | DT_CALCRECT);
        return rc;
    }

    void Draw(Surface& s, const wchar_t* text, RECT rc, UINT style, DWORD colour = 0xFF000000, RECT* links = NULL,
              CUIString* targets = NULL, int* count = NULL)
    {
        int n = count ? *count : 0;
        CUIPainter::DrawHtmlText(s.dc(), &m_pm, rc, text, colour, links, targets, n, 1, style);
        if (count) *count = n;
    }

    // Pixels in the rectangle that satisfy pred.
    template <class Pred> int Count(const Surface& s, RECT rc, Pred pred)
    {
        int n = 0;
        for (int y = rc.top; y < rc.bottom; ++y)
            for (int x = rc.left; x < rc.right; ++x)
                if (pred(s.At(x, y))) ++n;
        return n;
    }

    // Horizontal ink extent (non-white) within rows [top, bottom).
    void InkSpan(const Surface& s, int top, int bottom, int& left, int& right)
    {
        left = s.Width();
        right = -1;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < s.Width(); ++x)
                if (s.At(x, y) != 0xFFFFFF) {
                    if (x < left) left = x;
                    if (x > right) right = x;
                }
    }
};

bool IsRed(DWORD c) { return R(c) > 200 && G(c) < 80 && B(c) < 80; }
bool IsBlue(DWORD c) { return B(c) > 200 && R(c) < 80 && G(c) < 80; }
bool IsGreen(DWORD c) { return G(c) > 200 && R(c) < 80 && B(c) < 80; }
bool IsWhite(DWORD c) { return R(c) > 200 && G(c) > 200 && B(c) > 200; }

TEST_F(TextTest, PlainTextDrawsAndMeasures)
{
    Surface s(200, 60);
    s.Fill(0xFFFFFF);
    RECT rc = {0, 0, 200, 60};
    CUIPainter::DrawText(s.dc(), &m_pm, rc, L"&WWW", 0xFFFF0000, 1, DT_SINGLELINE);
    EXPECT_GT(Count(s, rc, IsRed), 20);
    RECT calc = {0, 0, 500, 500};
    CUIPainter::DrawText(s.dc(), &m_pm, calc, L"&WWW", 0xFF000000, 1, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(Extent(s.dc(), L"&WWW"), calc.right); // no prefix processing
    CUIPainter::DrawText(s.dc(), NULL, calc, L"x", 0, 1, 0);
    CUIPainter::DrawText(s.dc(), &m_pm, calc, NULL, 0, 1, 0);
}

// The DC's own font is selected back after the text, whether DrawText had to switch fonts or found
// the wanted one already selected (as the paint manager leaves its default font).
TEST_F(TextTest, PlainTextLeavesTheDcFontSelected)
{
    Surface s(200, 60);
    HGDIOBJ original = ::GetCurrentObject(s.dc(), OBJ_FONT);
    RECT rc = {0, 0, 200, 60};
    CUIPainter::DrawText(s.dc(), &m_pm, rc, L"WWW", 0xFFFF0000, 1, DT_SINGLELINE);
    EXPECT_EQ(original, ::GetCurrentObject(s.dc(), OBJ_FONT));

    HFONT font = m_pm.GetFont(1);
    ::SelectObject(s.dc(), font);
    s.Fill(0xFFFFFF);
    CUIPainter::DrawText(s.dc(), &m_pm, rc, L"WWW", 0xFFFF0000, 1, DT_SINGLELINE);
    EXPECT_GT(Count(s, rc, IsRed), 20);
    EXPECT_EQ((HGDIOBJ)font, ::GetCurrentObject(s.dc(), OBJ_FONT));
    RECT a = {0, 0, 500, 500}, b = a;
    CUIPainter::DrawText(s.dc(), &m_pm, a, L"WWW", 0, 1, DT_SINGLELINE | DT_CALCRECT);
    ::SelectObject(s.dc(), original);
    CUIPainter::DrawText(s.dc(), &m_pm, b, L"WWW", 0, 1, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(a.right, b.right);   // the same font either way
}

TEST_F(TextTest, LinkRectangleAndTarget)
{
    Surface s(300, 100);
    s.Fill(0xFFFFFF);
    RECT links[8];
    CUIString targets[8];
    int count = 8;
    Draw(s, L"go <a http://a.example/>link</a> end", RECT{0, 0, 300, 100}, 0, 0xFF000000, links, targets, &count);
    ASSERT_EQ(1, count);
    EXPECT_STREQ(L"http://a.example/", targets[0].GetData());
    const int start = Extent(s.dc(), L"go") + Extent(s.dc(), L" ");
    EXPECT_EQ(start, links[0].left);
    EXPECT_EQ(0, links[0].top);
    EXPECT_GT(links[0].right, links[0].left + 10);
    EXPECT_EQ(LineHeight(s.dc()), links[0].bottom);
    // The link is drawn in the link colour (blue by default).
    EXPECT_GT(Count(s, links[0], IsBlue), 5);

    // With the mouse over the link's rectangle of the previous paint, the hover colour is used.
    m_pm.SetDefaultLinkHoverFontColor(0xFF00FF00, false);
    struct MouseSink : IMessageFilterUI {
        LRESULT MessageHandler(UINT, WPARAM, LPARAM, bool& handled) override
        {
            handled = true;
            return 0;
        }
    } sink;
    m_pm.AddMessageFilter(&sink);
    LRESULT lres = 0;
    m_pm.MessageHandler(WM_MOUSEMOVE, 0, MAKELPARAM(links[0].left + 2, links[0].top + 2), lres);
    m_pm.RemoveMessageFilter(&sink);
    ASSERT_EQ(links[0].left + 2, m_pm.GetMousePos().x);
    s.Fill(0xFFFFFF);
    count = 8;
    Draw(s, L"go <a http://a.example/>link</a> end", RECT{0, 0, 300, 100}, 0, 0xFF000000, links, targets, &count);
    EXPECT_GT(Count(s, links[0], IsGreen), 5);
    EXPECT_EQ(0, Count(s, links[0], IsBlue));
    count = 0; // no capacity: nothing collected
    Draw(s, L"go <a x>link</a>", RECT{0, 0, 300, 100}, 0, 0xFF000000, links, targets, &count);
    EXPECT_EQ(0, count);
}

TEST_F(TextTest, WrappedLinkGivesTwoRectanglesWithOneTarget)
{
    Surface s(300, 200);
    s.Fill(0xFFFFFF);
    const int width = Extent(s.dc(), L"aaaa bbbb ") + 4;
    RECT links[8];
    CUIString targets[8];
    int count = 8;
    Draw(s, L"<a t1>aaaa bbbb cccc</a> <a t2>z</a>", RECT{0, 0, width, 200}, DT_WORDBREAK, 0xFF000000, links,
         targets, &count);
    ASSERT_EQ(3, count);
    EXPECT_STREQ(L"t1", targets[0].GetData());
    EXPECT_STREQ(L"t1", targets[1].GetData());
    EXPECT_STREQ(L"t2", targets[2].GetData());
    const int lh = LineHeight(s.dc());
    EXPECT_EQ(0, links[0].left);
    EXPECT_EQ(0, links[0].top);
    EXPECT_EQ(lh, links[0].bottom);
    EXPECT_LE(links[0].right, width);
    EXPECT_EQ(0, links[1].left);
    EXPECT_EQ(lh, links[1].top);
    EXPECT_EQ(2 * lh, links[1].bottom);
    EXPECT_EQ(Extent(s.dc(), L"cccc"), links[1].right);
    EXPECT_GT(links[2].left, links[1].right);

    // Capacity 1: only the first rectangle is written and counted.
    count = 1;
    Draw(s, L"<a t1>aaaa bbbb cccc</a>", RECT{0, 0, width, 200}, DT_WORDBREAK, 0xFF000000, links, targets, &count);
    EXPECT_EQ(1, count);
}

TEST_F(TextTest, ColourTags)
{
    Surface s(300, 60);
    s.Fill(0xFFFFFF);
    Draw(s, L"<c #FF0000>WWW</c>WWW", RECT{0, 0, 300, 60}, 0, 0xFF0000FF);
    const int split = Extent(s.dc(), L"WWW");
    EXPECT_GT(Count(s, RECT{0, 0, split, 60}, IsRed), 20);
    EXPECT_EQ(0, Count(s, RECT{split + 1, 0, 300, 60}, IsRed));
    EXPECT_GT(Count(s, RECT{split + 1, 0, 300, 60}, IsBlue), 20);

    // Eight digits saturate to 0x7FFFFFFF: white.
    s.Fill(0x000000);
    Draw(s, L"{c FFFF0000}WWW{/c}", RECT{0, 0, 300, 60}, 0);
    EXPECT_GT(Count(s, RECT{0, 0, 300, 60}, IsWhite), 20);
    EXPECT_EQ(0, Count(s, RECT{0, 0, 300, 60}, IsRed));
}

TEST_F(TextTest, FontTagsAndVariantsFromThirtyThousand)
{
    Surface s(300, 60);
    RECT plain = Measure(s.dc(), L"WWWW");
    RECT bold = Measure(s.dc(), L"<b>WWWW</b>");
    EXPECT_GT(bold.right, plain.right);
    HFONT hBold = m_pm.GetFont(kFace, kSize, true, false, false);
    ASSERT_NE((HFONT)NULL, hBold);
    int found = 0;
    for (int id = 30000; id < 31000 && !found; ++id)
        if (m_pm.GetFontInfo(id)->hFont == hBold) found = id;
    EXPECT_GE(found, 30000);
    EXPECT_EQ(hBold, m_pm.GetFontInfo(found)->hFont);
    // The same variant is found again, not created twice.
    Measure(s.dc(), L"<b>x</b>");
    EXPECT_NE(hBold, m_pm.GetFontInfo(found + 1)->hFont);

    // Text after the closing tag is back in the previous font.
    RECT mixed = Measure(s.dc(), L"<b>WWWW</b>WWWW");
    EXPECT_EQ(bold.right + plain.right, mixed.right);

    // A font tag with an id uses that font; one with a face, size and styles finds or creates it.
    ASSERT_NE((HFONT)NULL, m_pm.AddFont(2, kFace, 30, false, false, false, false));
    RECT big = Measure(s.dc(), L"<f 2>WWWW</f>");
    EXPECT_EQ(Extent(s.dc(), L"WWWW", 2), big.right);
    Measure(s.dc(), L"<f Tahoma 26 Bold Italic>W</f>");
    EXPECT_NE((HFONT)NULL, m_pm.GetFont(kFace, 26, true, false, true));
    Measure(s.dc(), L"<u><i>W</i></u>");
    EXPECT_NE((HFONT)NULL, m_pm.GetFont(kFace, kSize, false, true, true));
}

TEST_F(TextTest, InlineImagePart)
{
    // 40x10 in four quarters: red, green, blue, black.
    std::vector<Px> px(400);
    const Px quarters[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {0, 0, 0, 255}};
    for (int i = 0; i < 400; ++i) px[i] = quarters[(i % 40) / 10];
    WriteImage(L"q.tga", MakeTga(40, 10, px));
    Surface s(100, 40);
    s.Fill(0xFFFFFF);
    Draw(s, L"<i q.tga 4 2>", RECT{0, 0, 100, 40}, 0);
    RECT part = {0, 0, 10, 40};
    EXPECT_GT(Count(s, part, IsBlue), 80);
    EXPECT_EQ(0, Count(s, part, IsRed));
    EXPECT_EQ(0, Count(s, part, IsGreen));
    EXPECT_EQ(0, Count(s, RECT{10, 0, 100, 40}, IsBlue));
    // Bottom-aligned in the line.
    const int lh = LineHeight(s.dc());
    EXPECT_TRUE(IsBlue(s.At(5, lh - 1)));
    EXPECT_TRUE(IsBlue(s.At(5, lh - 10)));

    // Out-of-range part index falls back to the first; the items form and a "file='" after the tag.
    s.Fill(0xFFFFFF);
    Draw(s, L"<i file='q.tga' 4 9>", RECT{0, 0, 100, 40}, 0);
    EXPECT_GT(Count(s, part, IsRed), 80);
    s.Fill(0xFFFFFF);
    Draw(s, L"<i q.tga> file='other.tga'", RECT{0, 0, 100, 40}, 0);
    EXPECT_GT(Count(s, RECT{0, 0, 40, 40}, IsGreen), 80);
    // Measuring takes the image height into account.
    RECT tall = Measure(s.dc(), L"<y 2><i q.tga 4 1>");
    EXPECT_EQ(10, tall.right);
    EXPECT_GE(tall.bottom, 10);
    // A missing image draws nothing and takes no room.
    EXPECT_EQ(0, Measure(s.dc(), L"<i nothing.tga>").right);
}

TEST_F(TextTest, EscapesRawTextAndUnknownTags)
{
    Surface s(10, 10);
    HDC dc = s.dc();
    EXPECT_EQ(Extent(dc, L"{"), Measure(dc, L"<{>").right);
    EXPECT_EQ(Extent(dc, L"}"), Measure(dc, L"<}>").right);
    EXPECT_EQ(Extent(dc, L"<"), Measure(dc, L"{<}").right);
    EXPECT_EQ(Extent(dc, L">"), Measure(dc, L"{>}").right);
    EXPECT_EQ(Extent(dc, L"<b>x</b>"), Measure(dc, L"<r><b>x</b></r>").right);
    EXPECT_EQ(Extent(dc, L"ab"), Measure(dc, L"a<q whatever>b</q>").right);
    EXPECT_EQ(Extent(dc, L"a<"), Measure(dc, L"a<").right);
}

TEST_F(TextTest, LinesSingleLineAndCalcRect)
{
    Surface s(300, 200);
    HDC dc = s.dc();
    const int lh = LineHeight(dc);
    RECT two = Measure(dc, L"A\nB", 0, RECT{0, 0, 300, 200});
    EXPECT_EQ(2 * lh, two.bottom);
    RECT tag = Measure(dc, L"A<n>B", 0, RECT{0, 0, 300, 200});
    EXPECT_EQ(2 * lh, tag.bottom);
    EXPECT_EQ(Extent(dc, L"A") > Extent(dc, L"B") ? Extent(dc, L"A") : Extent(dc, L"B"), tag.right);
    RECT single = Measure(dc, L"A\nB", DT_SINGLELINE, RECT{0, 0, 300, 200});
    EXPECT_EQ(lh, single.bottom);
    EXPECT_EQ(Extent(dc, L"A"), single.right);
    RECT para = Measure(dc, L"A<p 6>B", 0, RECT{0, 0, 300, 200});
    EXPECT_EQ(lh + lh + 6, para.bottom);
    EXPECT_EQ(lh + 6, Measure(dc, L"<p 6>A", 0, RECT{0, 0, 300, 200}).bottom);

    // Measuring draws nothing.
    s.Fill(0xFFFFFF);
    RECT rc = {0, 0, 300, 200};
    int n = 0;
    CUIPainter::DrawHtmlText(dc, &m_pm, rc, L"WWW<i q.tga>", 0xFF000000, NULL, NULL, n, 1, DT_CALCRECT);
    EXPECT_EQ(0, Count(s, RECT{0, 0, 300, 200}, [](DWORD c) { return c != 0xFFFFFF; }));

    // Drawn single-line text stops after the first line.
    s.Fill(0xFFFFFF);
    Draw(s, L"WWW\nWWW", RECT{0, 0, 300, 200}, DT_SINGLELINE);
    EXPECT_EQ(0, Count(s, RECT{0, lh, 300, 200}, [](DWORD c) { return c != 0xFFFFFF; }));
    s.Fill(0xFFFFFF);
    Draw(s, L"WWW\nWWW", RECT{0, 0, 300, 200}, 0);
    EXPECT_GT(Count(s, RECT{0, lh, 300, 200}, [](DWORD c) { return c != 0xFFFFFF; }), 20);
}

TEST_F(TextTest, CentringIsPerLine)
{
    Surface s(300, 100);
    s.Fill(0xFFFFFF);
    const int lh = LineHeight(s.dc());
    Draw(s, L"WW\nWWWWWW", RECT{0, 0, 300, 100}, DT_CENTER);
    int l1, r1, l2, r2;
    InkSpan(s, 0, lh, l1, r1);
    InkSpan(s, lh, 2 * lh, l2, r2);
    ASSERT_GE(r1, 0);
    ASSERT_GE(r2, 0);
    EXPECT_NEAR(150, (l1 + r1) / 2, 3);
    EXPECT_NEAR(150, (l2 + r2) / 2, 3);
    EXPECT_LT(l2, l1 - 20);

    // Single line: centred as a whole, vertically too.
    s.Fill(0xFFFFFF);
    Draw(s, L"WW", RECT{0, 0, 300, 100}, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    InkSpan(s, 0, 100, l1, r1);
    EXPECT_NEAR(150, (l1 + r1) / 2, 3);
    EXPECT_EQ(0, Count(s, RECT{0, 0, 300, 50 - lh / 2 - 1}, [](DWORD c) { return c != 0xFFFFFF; }));
    s.Fill(0xFFFFFF);
    Draw(s, L"WW", RECT{0, 0, 300, 100}, DT_RIGHT | DT_SINGLELINE);
    InkSpan(s, 0, 100, l1, r1);
    EXPECT_NEAR(299, r1, 3);
}

TEST_F(TextTest, EllipsisEndsAnOverflowingLine)
{
    const wchar_t* text = L"ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const int width = 120;
    Surface actual(200, 40), expected(200, 40);
    actual.Fill(0xFFFFFF);
    expected.Fill(0xFFFFFF);
    Draw(actual, text, RECT{0, 0, width, 40}, DT_SINGLELINE | DT_END_ELLIPSIS);

    HDC dc = expected.dc();
    HFONT old = (HFONT)::SelectObject(dc, m_pm.GetFont(1));
    int fit = 0;
    SIZE sz;
    ::GetTextExtentExPointW(dc, text, (int)wcslen(text), width, &fit, NULL, &sz);
    ASSERT_GT(fit, 3);
    std::wstring shown(text, fit - 2);
    shown += L"...";
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, 0);
    ::TextOutW(dc, 0, 0, shown.c_str(), (int)shown.size());
    ::SelectObject(dc, old);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(expected.At(x, y), actual.At(x, y)) << "at " << x << "," << y;

    // A rectangle narrower than one character still ends and moves on.
    RECT tiny = Measure(actual.dc(), text, DT_END_ELLIPSIS | DT_WORDBREAK, RECT{0, 0, 3, 9999});
    EXPECT_EQ(26 * LineHeight(actual.dc()), tiny.bottom);
}

TEST_F(TextTest, WordBreakCutsAfterTheLastNonLetter)
{
    Surface s(10, 10);
    const int width = Extent(s.dc(), L"one two th");
    RECT rc = Measure(s.dc(), L"one two three", DT_WORDBREAK, RECT{0, 0, width, 9999});
    EXPECT_EQ(2 * LineHeight(s.dc()), rc.bottom);
    EXPECT_EQ(Extent(s.dc(), L"one two "), rc.right);
}

TEST_F(TextTest, WideGlyphsWrapAtTheEdge)
{
    // "W" is much wider than the font's average character: the run must still be cut at the edge.
    Surface s(10, 10);
    RECT rc = Measure(s.dc(), L"WWWWWWWWWWWW", DT_WORDBREAK, RECT{0, 0, 120, 9999});
    EXPECT_LE(rc.right, 120);
    EXPECT_GE(rc.bottom, 2 * LineHeight(s.dc()));
}

TEST_F(TextTest, SelectionUsesTheSelectedBackground)
{
    m_pm.SetDefaultSelectedBkColor(0xFF00FF00, false);
    Surface s(200, 40);
    s.Fill(0xFFFFFF);
    Draw(s, L"ab<s>cd</s>ef", RECT{0, 0, 200, 40}, 0);
    const int a = Extent(s.dc(), L"ab"), c = Extent(s.dc(), L"cd");
    EXPECT_GT(Count(s, RECT{a, 0, a + c, LineHeight(s.dc())}, IsGreen), 20);
    EXPECT_EQ(0, Count(s, RECT{0, 0, a, 40}, IsGreen));
    EXPECT_EQ(0, Count(s, RECT{a + c + 1, 0, 200, 40}, IsGreen));
}

TEST_F(TextTest, UnbalancedClosingTagsKeepTheBase)
{
    Surface s(300, 60);
    s.Fill(0xFFFFFF);
    RECT links[2];
    CUIString targets[2];
    int count = 2;
    Draw(s, L"</b></c></a></f></v></p></i>WWW", RECT{0, 0, 300, 60}, 0, 0xFFFF0000, links, targets, &count);
    EXPECT_EQ(0, count);
    EXPECT_GT(Count(s, RECT{0, 0, 300, 60}, IsRed), 20);
    EXPECT_EQ(Extent(s.dc(), L"WWW"), Measure(s.dc(), L"</b></b></c>WWW").right);
    // Nested bold closes back to bold, not past the base font.
    EXPECT_EQ(Measure(s.dc(), L"<b>WW</b>").right + Measure(s.dc(), L"<b>WW</b>").right,
              Measure(s.dc(), L"<b><b>WW</b>WW</b>").right);
}

// Text ending right before a page that may not be read: no walk may look past the terminator.
TEST_F(TextTest, MalformedMarkupBeforeAGuardPageDoesNotCrash)
{
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    const SIZE_T page = si.dwPageSize;
    BYTE* mem = (BYTE*)::VirtualAlloc(NULL, page * 2, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE((BYTE*)NULL, mem);
    DWORD oldProtect = 0;
    ASSERT_TRUE(::VirtualProtect(mem + page, page, PAGE_NOACCESS, &oldProtect));
    WriteImage(L"g.tga", MakeTga(4, 4, Solid(4, 4, {255, 0, 0, 255})));

    const wchar_t* cases[] = {
        L"<", L"{", L"<a", L"<a ", L"<a http://x", L"text<b", L"<c", L"<c #", L"<c #FF00", L"{/", L"</", L"</a",
        L"</p", L"<r>abc", L"<r>abc</r", L"<r>abc{/r", L"<{", L"<{>", L"{<", L"<i", L"<i ", L"<i g.tga",
        L"<i g.tga 4", L"<i file='g.tga", L"<i file='g.tga' ", L"<i file='", L"<i res='x' restype='", L"<f",
        L"<f Tahoma", L"<f Tahoma 12 bold", L"<f 1", L"<x", L"<x 10", L"<y", L"<p", L"<p 5", L"<v", L"<v center",
        L"<s", L"<n", L"a\n", L"<a x>link text that wraps around", L"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW",
        L"<b><i><u>WW WW WW WW WW WW WW WW", L"%{", L"%{1", L"%{12}",
    };
    const UINT styles[] = {0, DT_WORDBREAK, DT_END_ELLIPSIS, DT_WORDBREAK | DT_END_ELLIPSIS, DT_SINGLELINE,
                           DT_CENTER | DT_VCENTER, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_END_ELLIPSIS};
    Surface s(120, 60);
    for (const wchar_t* text : cases) {
        const size_t len = wcslen(text);
        wchar_t* placed = (wchar_t*)(mem + page) - (len + 1);
        memcpy(placed, text, (len + 1) * sizeof(wchar_t));
        for (UINT style : styles) {
            for (int width : {120, 5}) {
                RECT links[4];
                CUIString targets[4];
                int count = 4;
                RECT rc = {0, 0, width, 60};
                CUIPainter::DrawHtmlText(s.dc(), &m_pm, rc, placed, 0xFF000000, links, targets, count, 1, style);
                EXPECT_GE(count, 0);
                EXPECT_LE(count, 4);
                RECT calc = {0, 0, width, 60};
                count = 0;
                CUIPainter::DrawHtmlText(s.dc(), &m_pm, calc, placed, 0xFF000000, NULL, NULL, count, 1,
                                         style | DT_CALCRECT);
            }
        }
    }
    ::VirtualFree(mem, 0, MEM_RELEASE);
}

} // namespace
