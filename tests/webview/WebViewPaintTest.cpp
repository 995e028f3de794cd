// Painting of the web view: backgrounds with alpha, images tiled, placed and sized, borders per
// side and style, rounded corners, overflow clipping, opacity, text decorations and spacing; and
// the properties libcss does not know (gap, border-radius, background-size) through the cascade.
// Real pages over loopback HTTP from the stand-in, read back from the view's own picture.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Dom.h"
#include "View.h"
#include "WebViewTestSupport.h"

using namespace webtest;

namespace {

// An 8x8 24-bit BMP: its top-left 4x4 quarter red, the rest blue.
std::string QuarterBmp() {
    const int w = 8, h = 8, row = w * 3, size = 54 + row * h;
    std::string b(size, '\0');
    auto put32 = [&](int at, unsigned v) {
        for (int i = 0; i < 4; ++i) b[at + i] = (char)((v >> (8 * i)) & 255);
    };
    b[0] = 'B', b[1] = 'M';
    put32(2, size);
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    b[26] = 1;
    b[28] = 24;
    put32(34, row * h);
    for (int y = 0; y < h; ++y)  // bottom-up rows
        for (int x = 0; x < w; ++x) {
            bool red = x < 4 && (h - 1 - y) < 4;
            char* p = &b[54 + y * row + x * 3];
            p[0] = red ? 0 : (char)255;  // blue
            p[1] = 0;
            p[2] = red ? (char)255 : 0;  // red
        }
    return b;
}

bool Near(COLORREF c, int r, int g, int b, int tolerance = 3) {
    return std::abs(GetRValue(c) - r) <= tolerance && std::abs(GetGValue(c) - g) <= tolerance &&
           std::abs(GetBValue(c) - b) <= tolerance;
}

std::string Rgb(COLORREF c) {
    return "rgb(" + std::to_string(GetRValue(c)) + ", " + std::to_string(GetGValue(c)) + ", " +
           std::to_string(GetBValue(c)) + ")";
}

const COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255), kWhite = RGB(255, 255, 255);

class WebViewPaint : public ViewFixture {
protected:
    wkeWebView Open(const std::string& html, int w = 500, int h = 400) {
        Json::Value spec;
        spec["routes"].append(PageRoute("/page.html", html));
        spec["routes"].append(BytesRoute("/img/q.bmp", QuarterBmp(), "image/bmp"));
        Json::Value css;
        css["path"] = "/css/site.css";
        css["body"] = m_css;
        css["headers"]["Content-Type"] = "text/css";
        spec["routes"].append(css);
        m_sc.reset(new standin::Scenario(spec));
        EXPECT_TRUE(m_sc->Ok()) << m_sc->Error();
        wkeWebView v = NewView(w, h);
        EXPECT_TRUE(LoadAndWait(v, m_sc->Url("/page.html")));
        return v;
    }
    RECT Box(wkeWebView v, const char* id) { return ElementBox(v, id); }
    const webview::Style* StyleOf(wkeWebView v, const char* id) {
        PixelAt(v, 0, 0);  // styled and laid out
        dom_node* n = v->doc.ElementById(id);
        webview::Box* b = n ? v->render.BoxOf(n) : nullptr;
        return b ? &b->style : nullptr;
    }
    // The longest run of pixels matching ink in row y between x0 and x1.
    template <class F> int LongestRun(wkeWebView v, int y, int x0, int x1, F ink) {
        int best = 0, run = 0;
        for (int x = x0; x < x1; ++x) {
            run = ink(PixelAt(v, x, y)) ? run + 1 : 0;
            best = std::max(best, run);
        }
        return best;
    }
    // The rightmost column of r holding ink, -1 when none.
    template <class F> int InkRight(wkeWebView v, const RECT& r, F ink) {
        for (int x = r.right - 1; x >= r.left; --x)
            for (int y = r.top; y < r.bottom; ++y)
                if (ink(PixelAt(v, x, y))) return x;
        return -1;
    }

    std::string m_css;
    std::unique_ptr<standin::Scenario> m_sc;
};

bool Reddish(COLORREF c) {
    return GetRValue(c) > 150 && GetGValue(c) < 110 && GetBValue(c) < 110;
}

}  // namespace

TEST_F(WebViewPaint, ExtraPropertiesFollowTheCascade) {
    m_css = ".card { border-radius: 10% } .flow { background: url(../img/q.bmp) center / cover no-repeat }";
    wkeWebView v = Open(R"HTML(<!DOCTYPE html><html><head><style>
div { height: 10px }
.r { border-radius: 12px 4px } #plain.r { border-radius: 0 }
.imp { border-top-left-radius: 7px !important } #imp { border-top-left-radius: 1px }
.g { gap: 5px 9px } .g2 { gap: 6px; row-gap: 2px }
.s1 { background-size: contain } .s2 { background-size: 50% auto } .s3 { background-size: 20px 30px }
.s4 { background-size: cover; background: red }
@media print { .r { border-radius: 99px } }
ul li.deep { border-radius: 3px }
</style><link rel="stylesheet" href="css/site.css"></head><body>
<div id=r class=r></div><div id=plain class=r></div><div id=imp class=imp></div>
<div id=inline class=r style="border-radius: 2px 3px 4px 5px"></div>
<div id=g class=g></div><div id=g2 class=g2></div>
<div id=s1 class=s1></div><div id=s2 class=s2></div><div id=s3 class=s3></div><div id=s4 class=s4></div>
<div id=card class=card></div><div id=flow class=flow></div>
<ul><li id=deep class=deep>x</li></ul><ol><li id=shallow class=deep>x</li></ol>
</body></html>)HTML");
    using webview::BackgroundSize;
    using webview::Length;
    const struct {
        const char* id;
        int radius[4];
        int rowGap, columnGap;
        BackgroundSize::Kind size;
    } cases[] = {
        {"r", {12, 4, 12, 4}, 0, 0, BackgroundSize::Auto},
        {"plain", {0, 0, 0, 0}, 0, 0, BackgroundSize::Auto},        // the id's rule is more specific
        {"imp", {7, 0, 0, 0}, 0, 0, BackgroundSize::Auto},          // !important beats the id
        {"inline", {2, 3, 4, 5}, 0, 0, BackgroundSize::Auto},       // the style attribute beats the sheet
        {"g", {0, 0, 0, 0}, 5, 9, BackgroundSize::Auto},
        {"g2", {0, 0, 0, 0}, 2, 6, BackgroundSize::Auto},           // the longhand after the shorthand
        {"s1", {0, 0, 0, 0}, 0, 0, BackgroundSize::Contain},
        {"s2", {0, 0, 0, 0}, 0, 0, BackgroundSize::Lengths},
        {"s3", {0, 0, 0, 0}, 0, 0, BackgroundSize::Lengths},
        {"s4", {0, 0, 0, 0}, 0, 0, BackgroundSize::Auto},           // the later shorthand resets it
        {"card", {-10, -10, -10, -10}, 0, 0, BackgroundSize::Auto}, // a percentage, from the linked sheet
        {"flow", {0, 0, 0, 0}, 0, 0, BackgroundSize::Cover},        // "position / size" in the shorthand
        {"deep", {3, 3, 3, 3}, 0, 0, BackgroundSize::Auto},
        {"shallow", {0, 0, 0, 0}, 0, 0, BackgroundSize::Auto},      // not inside a ul
    };
    for (const auto& c : cases) {
        const webview::Style* s = StyleOf(v, c.id);
        ASSERT_NE(nullptr, s) << c.id;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(c.radius[i], s->radius[i]) << c.id << " corner " << i;
        EXPECT_EQ(c.rowGap, s->rowGap) << c.id;
        EXPECT_EQ(c.columnGap, s->columnGap) << c.id;
        EXPECT_EQ(c.size, s->backgroundSize.kind) << c.id;
    }
    const webview::Style* s2 = StyleOf(v, "s2");
    const webview::Style* s3 = StyleOf(v, "s3");
    ASSERT_NE(nullptr, s2);
    ASSERT_NE(nullptr, s3);
    EXPECT_TRUE(s2->backgroundSize.width == (Length{Length::Percent, 50}));
    EXPECT_TRUE(s2->backgroundSize.height.IsAuto());
    EXPECT_TRUE(s3->backgroundSize.height == (Length{Length::Px, 30}));
    // libcss keeps the rest of the shorthand; its url is relative to the linked sheet.
    const webview::Style* flow = StyleOf(v, "flow");
    ASSERT_NE(nullptr, flow);
    EXPECT_EQ(m_sc->Url("/img/q.bmp"), flow->backgroundImage);
    EXPECT_EQ(webview::Repeat::NoRepeat, flow->backgroundRepeat);
    EXPECT_TRUE(flow->backgroundX == (Length{Length::Percent, 50}));
}

TEST_F(WebViewPaint, BackgroundColourWithAlphaBlendsOverWhatIsBelow) {
    wkeWebView v = Open(R"HTML(<!DOCTYPE html><html><head><style>
body { margin: 0 } div { width: 100px; height: 40px }
#a { background: rgba(200, 30, 30, 0.4) }
#blue { background: #0000ff; padding: 10px } #b { background: rgba(255, 255, 255, 0.5) }
</style></head><body><div id=a></div><div id=blue><div id=b></div></div></body></html>)HTML");
    RECT a = Box(v, "a"), b = Box(v, "b");
    EXPECT_TRUE(Near(PixelAt(v, a.left + 50, a.top + 20), 233, 165, 165, 3)) << Rgb(PixelAt(v, a.left + 50, a.top + 20));
    EXPECT_TRUE(Near(PixelAt(v, b.left + 50, b.top + 20), 128, 128, 255, 3)) << Rgb(PixelAt(v, b.left + 50, b.top + 20));
}

TEST_F(WebViewPaint, BackgroundImageRepeatsPlacesAndSizes) {
    m_css = "#linked { background: url(../img/q.bmp) no-repeat }";
    wkeWebView v = Open(R"HTML(<!DOCTYPE html><html><head><style>
body { margin: 0 } div { width: 100px; height: 60px; margin-bottom: 4px; background-color: #eeeeee }
#rep { background-image: url(img/q.bmp) }
#pos { background: #eeeeee url(img/q.bmp) no-repeat right bottom }
#repx { background: url(img/q.bmp) repeat-x 0 50% }
#cover { background: url(img/q.bmp) center / cover no-repeat }
#stretch { background-image: url(img/q.bmp); background-size: 100% 100% }
#bordered { border: 10px solid #00ff00; background: url(img/q.bmp) no-repeat 0 0 }
</style><link rel="stylesheet" href="css/site.css"></head><body>
<div id=rep></div><div id=pos></div><div id=repx></div><div id=cover></div><div id=stretch></div>
<div id=bordered></div><div id=linked></div></body></html>)HTML", 500, 600);
    RECT rep = Box(v, "rep"), pos = Box(v, "pos"), repx = Box(v, "repx"), cover = Box(v, "cover"),
         stretch = Box(v, "stretch"), bordered = Box(v, "bordered"), linked = Box(v, "linked");
    // The image arrives after the page.
    ASSERT_TRUE(Pump(5000, [&] { return PixelAt(v, rep.left + 1, rep.top + 1) == kRed; }));
    const COLORREF grey = RGB(0xee, 0xee, 0xee);
    const struct {
        const char* what;
        RECT box;
        int x, y;
        COLORREF expected;
    } cases[] = {
        {"repeat: first tile", rep, 5, 1, kBlue},
        {"repeat: tiles across", rep, 9, 1, kRed},
        {"repeat: tiles down", rep, 9, 57, kRed},
        {"right bottom", pos, 93, 53, kRed},
        {"right bottom: blue quarter", pos, 97, 57, kBlue},
        {"no-repeat: the rest is the colour", pos, 50, 30, grey},
        {"repeat-x at 50%: the band", repx, 1, 27, kRed},
        {"repeat-x: tiled along", repx, 41, 27, kRed},
        {"repeat-x: not above (the shorthand took the colour)", repx, 1, 10, kWhite},
        {"cover: scaled, centred", cover, 10, 5, kRed},
        {"cover: right half", cover, 70, 5, kBlue},
        {"cover: bottom", cover, 10, 45, kBlue},
        {"cover: fills the corner", cover, 98, 58, kBlue},
        {"100% 100%: red to the middle", stretch, 48, 28, kRed},
        {"100% 100%: blue past it", stretch, 52, 32, kBlue},
        {"padding box origin", bordered, 11, 11, kRed},
        {"the border stays the border's", bordered, 5, 5, RGB(0, 255, 0)},
        {"linked sheet's url", linked, 1, 1, kRed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Rgb(c.expected), Rgb(PixelAt(v, c.box.left + c.x, c.box.top + c.y))) << c.what;
    EXPECT_EQ(1u, CountGets(*m_sc, "/img/q.bmp"));
}

TEST_F(WebViewPaint, BodyBackgroundCoversTheWholeCanvas) {
    wkeWebView v = Open(R"HTML(<!DOCTYPE html><html><head><style>
body { margin: 20px; height: 50px; background: rgba(0, 0, 255, 0.5) url(img/q.bmp) repeat-x }
</style></head><body></body></html>)HTML");
    // The image is placed against the root, outside the body's margin too, and tiled along.
    ASSERT_TRUE(Pump(5000, [&] { return PixelAt(v, 1, 1) == kRed; }));
    EXPECT_EQ(Rgb(kBlue), Rgb(PixelAt(v, 5, 1)));
    EXPECT_EQ(Rgb(kRed), Rgb(PixelAt(v, 241, 1)));
    // The colour is blended once, inside the body's box as below it.
    for (POINT p : {POINT{30, 40}, POINT{300, 200}})
        EXPECT_TRUE(Near(PixelAt(v, p.x, p.y), 127, 127, 255, 2)) << Rgb(PixelAt(v, p.x, p.y));
}

TEST_F(WebViewPaint, BordersDrawEachSidesStyle) {
    wkeWebView v = Open(R"HTML(<!DOCTYPE html><html><head><style>
body { margin: 0 } div { width: 200px; height: 40px; margin: 10px }
#d { border-top: 3px dashed #ff0000; border-left: 9px double #0000ff; border-bottom: 4px dotted #ff0000;
     border-right: 6px solid #00ff00 }
#inset { border: 4px inset #00ff00 }
</style></head><body><div id=d></div><div id=inset></div></body></html>)HTML");
    RECT d = Box(v, "d");
    ASSERT_EQ(200 + 9 + 6, d.right - d.left);
    // Dashed and dotted: runs of colour with gaps between, the gaps showing the page.
    for (int y : {d.top + 1, d.bottom - 2}) {
        int runs = 0, gaps = 0;
        bool in = false;
        for (int x = d.left + 12; x < d.right - 10; ++x) {
            COLORREF c = PixelAt(v, x, y);
            bool red = Reddish(c);
            if (red && !in) ++runs;
            if (!red && in) ++gaps;
            if (!red) {
                EXPECT_EQ(Rgb(kWhite), Rgb(c)) << "x " << x << " y " << y;
            }
            in = red;
        }
        EXPECT_GE(runs, 5) << "row " << y - d.top;
        EXPECT_GE(gaps, 4) << "row " << y - d.top;
    }
    // Double: two lines with the page between.
    const int mid = (d.top + d.bottom) / 2;
    EXPECT_EQ(Rgb(kBlue), Rgb(PixelAt(v, d.left + 1, mid)));
    EXPECT_EQ(Rgb(kWhite), Rgb(PixelAt(v, d.left + 4, mid)));
    EXPECT_EQ(Rgb(kBlue), Rgb(PixelAt(v, d.left + 7, mid)));
    EXPECT_EQ(Rgb(RGB(0, 255, 0)), Rgb(PixelAt(v, d.right - 3, mid)));
    // Inset: the top darker than the bottom.
    RECT in = Box(v, "inset");
    COLORREF top = PixelAt(v, in.left + 100, in.top + 1), bottom = PixelAt(v, in.left + 100, in.bottom - 2);
    EXPECT_EQ(Rgb(RGB(0, 255, 0)), Rgb(bottom));
    EXPECT_LT(GetGValue(top), 200) << Rgb(top);
    EXPECT_EQ(0, GetRValue(top) + GetBValue(top)) << Rgb(top);
}

TEST_F(WebViewPaint, RoundedCornersShowWhatIsBehind) {
    wkeWebView v = Open(R"HTML(<!DOCTYPE html><html><head><style>
body { margin: 0 } .p { background: #0000ff; padding: 20px; width: 200px }
#r { width: 100px; height: 60px; background: #ff0000; border-radius: 20px }
#c { width: 60px; height: 60px; background: #ff0000; border-radius: 50% }
#b { width: 100px; height: 60px; border: 4px solid #ff0000; border-radius: 20px }
#o { width: 100px; height: 60px; border-radius: 20px; overflow: hidden } #o div { height: 60px; background: #ff0000 }
#i { width: 64px; height: 64px; border-radius: 50% }
</style></head><body><div class=p><div id=r></div></div><div class=p><div id=c></div></div>
<div class=p><div id=b></div></div><div class=p><div id=o><div></div></div></div>
<div class=p><img id=i src="img/q.bmp"></div></body></html>)HTML", 500, 600);
    RECT r = Box(v, "r"), c = Box(v, "c"), b = Box(v, "b"), o = Box(v, "o"), i = Box(v, "i");
    ASSERT_TRUE(Pump(5000, [&] { return PixelAt(v, i.left + 20, i.top + 20) == kRed; }));
    const struct {
        const char* what;
        RECT box;
        int x, y;
        COLORREF expected;
    } cases[] = {
        {"corner shows the parent", r, 1, 1, kBlue},
        {"bottom right corner too", r, 98, 58, kBlue},
        {"inside the curve", r, 20, 20, kRed},
        {"the edge between corners", r, 50, 0, kRed},
        {"circle: its corner", c, 5, 5, kBlue},
        {"circle: its centre", c, 30, 30, kRed},
        {"circle: top of it", c, 30, 1, kRed},
        {"circle: beside the top", c, 12, 1, kBlue},
        {"rounded border: corner", b, 1, 1, kBlue},
        {"rounded border: along the curve", b, 3, 20, kRed},
        {"rounded border: inside", b, 20, 20, kBlue},
        {"rounded border: the straight top", b, 50, 1, kRed},
        {"clipping: the child stays inside the corner", o, 1, 1, kBlue},
        {"clipping: the child inside", o, 20, 20, kRed},
        {"clipping: the bottom left corner", o, 1, 58, kBlue},
        {"a round image: its corner", i, 3, 3, kBlue},
        {"a round image: its picture", i, 12, 30, kRed},
        {"a round image: the other corner", i, 61, 61, kBlue},
    };
    for (const auto& k : cases)
        EXPECT_EQ(Rgb(k.expected), Rgb(PixelAt(v, k.box.left + k.x, k.box.top + k.y))) << k.what;
    // Antialiased: on the curve some pixel is between the two colours.
    bool between = false;
    for (int i = 0; i < 20 && !between; ++i) {
        COLORREF p = PixelAt(v, r.left + i, r.top + 5);
        between = GetRValue(p) > 20 && GetRValue(p) < 235 && GetBValue(p) > 20;
    }
    EXPECT_TRUE(between);
}

TEST_F(WebViewPaint, OverflowHiddenClipsTheContentNotTheBorder) {
    wkeWebView v = Open(R"HTML(<!DOCTYPE html><html><head><style>
body { margin: 0 } #clip { width: 100px; height: 50px; overflow: hidden; border: 5px solid #00ff00 }
#big { width: 300px; height: 200px; background: #ff0000 }
#inner { width: 60px; height: 20px; overflow: hidden } #big2 { width: 200px; height: 20px; background: #0000ff }
#after { height: 20px; background: #000000 }
</style></head><body><div id=clip><div id=big></div></div>
<div id=clip2 style="width: 100px; height: 40px; overflow: hidden"><div id=inner><div id=big2></div></div></div>
<div id=after></div></body></html>)HTML");
    RECT clip = Box(v, "clip"), inner = Box(v, "inner");
    ASSERT_EQ(60, clip.bottom - clip.top);
    EXPECT_EQ(Rgb(kRed), Rgb(PixelAt(v, clip.left + 50, clip.top + 25)));
    EXPECT_EQ(Rgb(RGB(0, 255, 0)), Rgb(PixelAt(v, clip.left + 2, clip.top + 2)));   // its border
    EXPECT_EQ(Rgb(RGB(0, 255, 0)), Rgb(PixelAt(v, clip.right - 2, clip.top + 25)));  // over the child
    EXPECT_EQ(Rgb(kWhite), Rgb(PixelAt(v, clip.right + 50, clip.top + 25)));        // beside it
    // Nested: the inner box clips within the outer.
    EXPECT_EQ(Rgb(kBlue), Rgb(PixelAt(v, inner.left + 30, inner.top + 10)));
    EXPECT_EQ(Rgb(kWhite), Rgb(PixelAt(v, inner.left + 80, inner.top + 10)));
}

TEST_F(WebViewPaint, OpacityBlendsTheWholeBox) {
    wkeWebView v = Open(R"HTML(<!DOCTYPE html><html><head><style>
body { margin: 0 } #o { width: 100px; padding: 10px; background: #000000; opacity: 0.5 }
#child { height: 30px; background: #ff0000 } #zero { height: 30px; background: #ff0000; opacity: 0 }
</style></head><body><div id=o><div id=child></div></div><div id=zero></div></body></html>)HTML");
    RECT o = Box(v, "o"), child = Box(v, "child"), zero = Box(v, "zero");
    EXPECT_TRUE(Near(PixelAt(v, o.left + 3, o.top + 3), 128, 128, 128, 2)) << Rgb(PixelAt(v, o.left + 3, o.top + 3));
    EXPECT_TRUE(Near(PixelAt(v, child.left + 50, child.top + 15), 255, 128, 128, 2))
        << Rgb(PixelAt(v, child.left + 50, child.top + 15));
    EXPECT_EQ(Rgb(kWhite), Rgb(PixelAt(v, zero.left + 50, zero.top + 15)));
}

TEST_F(WebViewPaint, TextDecorationsSpacingAndVisibility) {
    wkeWebView v = Open(R"HTML(<!DOCTYPE html><html><head><style>
body { margin: 0; font-size: 32px; color: #ff0000 } div { width: 400px; height: 50px }
#through { text-decoration: line-through } #under { text-decoration: underline }
#over { text-decoration: overline } #spaced { letter-spacing: 12px }
#hidden { visibility: hidden; background: #0000ff } #clear { color: rgba(255, 0, 0, 0) }
</style></head><body><div id=plain>iiii iiii</div><div id=through>iiii iiii</div><div id=under>iiii iiii</div>
<div id=over>iiii iiii</div><div id=spaced>iiii</div><div id=hidden>iiii</div><div id=clear>iiii</div>
<div id=pic><img src="img/q.bmp" style="visibility: hidden; width: 40px; height: 40px"></div>
</body></html>)HTML", 500, 600);
    RECT plain = Box(v, "plain");
    const int inkRight = InkRight(v, plain, Reddish);
    ASSERT_GT(inkRight, plain.left + 20);
    const int width = inkRight - plain.left;
    // Without decoration no row of the text is one long stroke; with one, a row is, where it goes.
    const struct {
        const char* id;
        int from, to;  // rows (from the top) where the stroke may lie
    } cases[] = {{"through", 8, 30}, {"under", 24, 48}, {"over", 0, 4}};
    for (int y = plain.top; y < plain.bottom; ++y)
        ASSERT_LT(LongestRun(v, y, plain.left, plain.right, Reddish), width / 2) << "plain row " << y - plain.top;
    for (const auto& c : cases) {
        RECT r = Box(v, c.id);
        int strokeRow = -1;
        for (int y = r.top; y < r.bottom && strokeRow < 0; ++y)
            if (LongestRun(v, y, r.left, r.right, Reddish) >= width * 9 / 10) strokeRow = y - r.top;
        EXPECT_GE(strokeRow, c.from) << c.id;
        EXPECT_LE(strokeRow, c.to) << c.id;
    }
    // Letter spacing: four letters end three or four spacings further right.
    RECT spaced = Box(v, "spaced");
    RECT plainFour = plain;
    plainFour.right = plain.left + width / 2;  // "iiii" of the plain line
    int right = InkRight(v, spaced, Reddish) - spaced.left, right0 = InkRight(v, plainFour, Reddish) - plain.left;
    EXPECT_GE(right - right0, 30) << right << " vs " << right0;
    // Hidden: neither background nor text nor picture; a transparent colour: no text.
    // The hidden image arrives, and stays unseen.
    ASSERT_TRUE(Pump(5000, [&] {
        for (const webview::Image& image : v->doc.Images())
            if (image.width) return true;
        return false;
    }));
    for (const char* id : {"hidden", "clear", "pic"}) {
        RECT r = Box(v, id);
        EXPECT_EQ(-1, InkRight(v, r, [](COLORREF c) { return c != RGB(255, 255, 255); })) << id;
    }
}
