// Image loading, image descriptions, bitmap drawing, colours, gradients and clip regions, checked on
// real DIB pixels.
#include "UIRenderTestSupport.h"
#include <algorithm>

using namespace Veneer;
using namespace rendertest;

namespace {

const Px kRed = {255, 0, 0, 255};
const Px kGreen = {0, 255, 0, 255};
const Px kBlue = {0, 0, 255, 255};
const Px kWhite = {255, 255, 255, 255};
const Px kBlack = {0, 0, 0, 255};
const Px kGrey = {128, 128, 128, 255};

// 10x10 nine-grid image: corners 3 px of four colours, grey edges, black middle.
std::vector<Px> NineGrid()
{
    std::vector<Px> px(100, kGrey);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            Px& p = px[y * 10 + x];
            bool l = x < 3, r = x >= 7, t = y < 3, b = y >= 7;
            if (l && t) p = kRed;
            else if (r && t) p = kGreen;
            else if (l && b) p = kBlue;
            else if (r && b) p = kWhite;
            else if (!l && !r && !t && !b) p = kBlack;
        }
    }
    return px;
}

// 4x4 image: left half red, right half green (opaque).
std::vector<Px> HalfAndHalf()
{
    std::vector<Px> px(16);
    for (int i = 0; i < 16; ++i) px[i] = (i % 4) < 2 ? kRed : kGreen;
    return px;
}

class RenderTest : public PaintManagerFixture {};

TEST_F(RenderTest, LoadPremultipliesOnlyTranslucentPixels)
{
    WriteImage(L"pm.tga", MakeTga(3, 1, {{255, 0, 0, 128}, {10, 20, 30, 255}, {200, 100, 50, 0}}));
    TLoadedImage* img = CUIPainter::LoadImage(L"pm.tga");
    ASSERT_NE(img, (TLoadedImage*)NULL);
    EXPECT_EQ(3, img->nWidth);
    EXPECT_EQ(1, img->nHeight);
    EXPECT_TRUE(img->bAlpha);
    EXPECT_FALSE(img->bUseHSL);
    EXPECT_EQ((BYTE*)NULL, img->pUnadjustedBits);
    const BYTE* p = img->pBits;
    // blue, green, red, alpha
    EXPECT_EQ(0, p[0]);
    EXPECT_EQ(0, p[1]);
    EXPECT_EQ(128, p[2]);
    EXPECT_EQ(128, p[3]);
    EXPECT_EQ(30, p[4]);
    EXPECT_EQ(20, p[5]);
    EXPECT_EQ(10, p[6]);
    EXPECT_EQ(255, p[7]);
    EXPECT_EQ(0, p[8] | p[9] | p[10] | p[11]);
    CUIPainter::FreeImage(img, true);

    WriteImage(L"opaque.bmp", MakeBmp24(2, 2, Solid(2, 2, {1, 2, 3, 255})));
    img = CUIPainter::LoadImage(L"opaque.bmp");
    ASSERT_NE(img, (TLoadedImage*)NULL);
    EXPECT_FALSE(img->bAlpha);
    EXPECT_EQ(3, img->pBits[0]);
    EXPECT_EQ(1, img->pBits[2]);
    EXPECT_EQ(255, img->pBits[3]);
    CUIPainter::FreeImage(img, true);
}

// A BMP whose rows run from the top (negative height, as the console's QR bitmaps are written)
// loads at its size and upright, like the same picture stored bottom-up.
TEST_F(RenderTest, TopDownBmpLoadsUpright)
{
    // Top row red, bottom row blue; 3 x 2.
    std::vector<Px> px = {kRed, kRed, kRed, kBlue, kBlue, kBlue};
    std::vector<BYTE> bmp = MakeBmp24(3, 2, px);
    BITMAPINFOHEADER* ih = (BITMAPINFOHEADER*)&bmp[14];
    ih->biHeight = -2;
    const int stride = 12;
    std::vector<BYTE> rows(bmp.begin() + 54, bmp.end());
    std::copy(rows.begin() + stride, rows.end(), bmp.begin() + 54);
    std::copy(rows.begin(), rows.begin() + stride, bmp.begin() + 54 + stride);
    WriteImage(L"topdown.bmp", bmp);
    WriteImage(L"bottomup.bmp", MakeBmp24(3, 2, px));
    for (const wchar_t* name : {L"topdown.bmp", L"bottomup.bmp"}) {
        SCOPED_TRACE(testing::Message() << (name[0] == L't' ? "top-down" : "bottom-up"));
        TLoadedImage* img = CUIPainter::LoadImage(name);
        ASSERT_NE(img, (TLoadedImage*)NULL);
        EXPECT_EQ(3, img->nWidth);
        EXPECT_EQ(2, img->nHeight);
        // The DIB's rows run from the top: blue, green, red, alpha.
        const BYTE* top = img->pBits;
        const BYTE* bottom = img->pBits + 3 * 4;
        EXPECT_EQ(255, top[2]);
        EXPECT_EQ(0, top[0]);
        EXPECT_EQ(255, bottom[0]);
        EXPECT_EQ(0, bottom[2]);
        CUIPainter::FreeImage(img, true);
    }
}

TEST_F(RenderTest, MaskMatchesOpaquePixelsOfExactlyThatValue)
{
    const Px magenta = {255, 0, 255, 255};
    WriteImage(L"mask.tga", MakeTga(3, 1, {magenta, kRed, {255, 0, 255, 254}}));
    TLoadedImage* img = CUIPainter::LoadImage(L"mask.tga", NULL, 0xFFFF00FF);
    ASSERT_NE(img, (TLoadedImage*)NULL);
    EXPECT_TRUE(img->bAlpha);
    EXPECT_EQ(0u, *(DWORD*)&img->pBits[0]);
    EXPECT_EQ(0xFFFF0000u, *(DWORD*)&img->pBits[4]);
    EXPECT_NE(0u, *(DWORD*)&img->pBits[8]); // premultiplied first, so not exactly the mask
    CUIPainter::FreeImage(img, true);

    // Without a mask an opaque image stays without alpha.
    WriteImage(L"nomask.tga", MakeTga(1, 1, {magenta}));
    img = CUIPainter::LoadImage(L"nomask.tga", NULL, 0);
    ASSERT_NE(img, (TLoadedImage*)NULL);
    EXPECT_FALSE(img->bAlpha);
    CUIPainter::FreeImage(img, true);
}

TEST_F(RenderTest, FailuresAndHostileSizesGiveNull)
{
    EXPECT_EQ((TLoadedImage*)NULL, CUIPainter::LoadImage(L"absent.png"));
    WriteImage(L"empty.png", {});
    EXPECT_EQ((TLoadedImage*)NULL, CUIPainter::LoadImage(L"empty.png"));
    WriteImage(L"garbage.png", std::vector<BYTE>(100, 0x5A));
    EXPECT_EQ((TLoadedImage*)NULL, CUIPainter::LoadImage(L"garbage.png"));
    // A header announcing 30000 x 30000 pixels with almost no data.
    std::vector<BYTE> huge = MakeTga(1, 1, {kRed});
    huge[12] = 0x30;
    huge[13] = 0x75;
    huge[14] = 0x30;
    huge[15] = 0x75;
    WriteImage(L"huge.tga", huge);
    EXPECT_EQ((TLoadedImage*)NULL, CUIPainter::LoadImage(L"huge.tga"));
    // 8000 x 8000 BMP header: within one side's limit, above the pixel budget.
    std::vector<BYTE> bmp = MakeBmp24(1, 1, {kRed});
    BITMAPINFOHEADER* ih = (BITMAPINFOHEADER*)&bmp[14];
    ih->biWidth = 8000;
    ih->biHeight = 8000;
    WriteImage(L"huge.bmp", bmp);
    EXPECT_EQ((TLoadedImage*)NULL, CUIPainter::LoadImage(L"huge.bmp"));
    CUIPainter::FreeImage(NULL, true); // ignored
}

TEST_F(RenderTest, ColourImagesAreOnePixel)
{
    TLoadedImage* img = CUIPainter::LoadImage(L"#80FF0000", L"*COLOR*");
    ASSERT_NE(img, (TLoadedImage*)NULL);
    EXPECT_EQ(1, img->nWidth);
    EXPECT_EQ(1, img->nHeight);
    EXPECT_TRUE(img->bAlpha);
    EXPECT_EQ(0x80800000u, *(DWORD*)img->pBits);
    CUIPainter::FreeImage(img, true);
    img = CUIPainter::LoadImage(L"FF00FF00", L"*COLOR*");
    ASSERT_NE(img, (TLoadedImage*)NULL);
    EXPECT_FALSE(img->bAlpha);
    EXPECT_EQ(0xFF00FF00u, *(DWORD*)img->pBits);
    CUIPainter::FreeImage(img, true);
}

TEST_F(RenderTest, ImageSourcesZipModuleResourceAndPlainPath)
{
    // Plain path outside the resource folder.
    std::wstring other = TempDir(L"plain");
    WriteBytes(other + L"p.tga", MakeTga(1, 1, {kBlue}));
    TLoadedImage* img = CUIPainter::LoadImage((other + L"p.tga").c_str());
    ASSERT_NE(img, (TLoadedImage*)NULL);
    EXPECT_EQ(0xFF0000FFu, *(DWORD*)img->pBits);
    CUIPainter::FreeImage(img, true);

    // Resource zip, opened per load and cached; the member is found with backslashes and any case.
    std::vector<BYTE> member = MakeTga(2, 1, {kGreen, kGreen});
    WriteImage(L"skin.zip", MakeStoredZip({{"img/Z.tga", member}}));
    for (bool cached : {false, true}) {
        CPaintManagerUI::SetResourceZip(L"skin.zip", cached);
        img = CUIPainter::LoadImage(L"IMG\\z.tga");
        ASSERT_NE(img, (TLoadedImage*)NULL) << "cached " << cached;
        EXPECT_EQ(2, img->nWidth);
        EXPECT_EQ(0xFF00FF00u, *(DWORD*)img->pBits);
        CUIPainter::FreeImage(img, true);
        // Not in the zip: tried as a plain path.
        img = CUIPainter::LoadImage((other + L"p.tga").c_str());
        ASSERT_NE(img, (TLoadedImage*)NULL);
        CUIPainter::FreeImage(img, true);
        CPaintManagerUI::SetResourceZip(L"", false);
    }

    // Module resource: a copy of a system library with an image resource added.
    wchar_t sys[MAX_PATH];
    ::GetSystemDirectoryW(sys, MAX_PATH);
    std::wstring module = other + L"imgres.dll";
    ASSERT_TRUE(::CopyFileW((std::wstring(sys) + L"\\msimg32.dll").c_str(), module.c_str(), FALSE));
    std::vector<BYTE> res = MakeTga(1, 2, {kRed, kWhite});
    HANDLE hUpdate = ::BeginUpdateResourceW(module.c_str(), FALSE);
    ASSERT_NE(hUpdate, (HANDLE)NULL);
    ASSERT_TRUE(::UpdateResourceW(hUpdate, L"PNG", L"LOGO", 0, &res[0], (DWORD)res.size()));
    ASSERT_TRUE(::UpdateResourceW(hUpdate, L"PNG", MAKEINTRESOURCEW(7), 0, &res[0], (DWORD)res.size()));
    ASSERT_TRUE(::EndUpdateResourceW(hUpdate, FALSE));
    HMODULE hMod = ::LoadLibraryExW(module.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(hMod, (HMODULE)NULL);
    CPaintManagerUI::SetInstance(hMod);
    img = CUIPainter::LoadImage(L"LOGO", L"PNG");
    TLoadedImage* byId = CUIPainter::LoadImage(STRINGorID(7u), L"PNG");
    TLoadedImage* missing = CUIPainter::LoadImage(L"NOPE", L"PNG");
    CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
    ::FreeLibrary(hMod);
    ASSERT_NE(img, (TLoadedImage*)NULL);
    EXPECT_EQ(2, img->nHeight);
    EXPECT_EQ(0xFFFF0000u, *(DWORD*)img->pBits);
    CUIPainter::FreeImage(img, true);
    ASSERT_NE(byId, (TLoadedImage*)NULL);
    CUIPainter::FreeImage(byId, true);
    EXPECT_EQ((TLoadedImage*)NULL, missing);
}

// The description parser, table-driven: what each description resolves to.
TEST_F(RenderTest, DescriptionParserTable)
{
    WriteImage(L"a.tga", MakeTga(40, 30, Solid(40, 30, kRed)));
    ::CreateDirectoryW((m_dir + L"btn").c_str(), NULL);
    WriteImage(L"btn\\dl_large.png", MakeTga(5, 6, Solid(5, 6, kBlue)));
    struct Case {
        const wchar_t* text;
        bool ok;
        const wchar_t* name;
        RECT source, dest, corners;
        BYTE fade;
        bool hole, xt, yt;
    } cases[] = {
        {L"btn\\dl_large.png", true, L"btn\\dl_large.png", {0, 0, 5, 6}, {0, 0, 0, 0}, {0, 0, 0, 0}, 255, false, false, false},
        {L"file='a.tga' source='0,0,25,25'", true, L"a.tga", {0, 0, 25, 25}, {}, {}, 255, false, false, false},
        {L"file='a.tga'  source='0,0,25,25'", true, L"a.tga", {0, 0, 40, 30}, {}, {}, 255, false, false, false},
        {L"file='a.tga' source='5,5,500,500'", true, L"a.tga", {5, 5, 40, 30}, {}, {}, 255, false, false, false},
        {L"file='a.tga' dest='10,10,20,20' corner='1,2,3,4' fade='128' hole='true' xtiled='true' ytiled='false'",
         true, L"a.tga", {0, 0, 40, 30}, {10, 10, 20, 20}, {1, 2, 3, 4}, 128, true, true, false},
        {L"file='a.tga' scale9='5,6,7,8' ytiled='true' hole='TRUE'", true, L"a.tga", {0, 0, 40, 30}, {}, {5, 6, 7, 8}, 255,
         false, false, true},
        {L"file='a.tga' fade='300' source=''", true, L"a.tga", {0, 0, 40, 30}, {}, {}, 255, false, false, false},
        {L"  file = 'a.tga' source='1;2;3;4'", true, L"a.tga", {1, 2, 3, 4}, {}, {}, 255, false, false, false},
        {L"file='a.tga' source='1,2,3,4' junk corner='1,1,1,1'", true, L"a.tga", {1, 2, 3, 4}, {}, {}, 255, false, false, false},
        {L"file='a.tga' source='0,0,9", true, L"a.tga", {0, 0, 40, 30}, {}, {}, 255, false, false, false},
        {L"color='#FF00FF00'", true, L"#FF00FF00", {0, 0, 1, 1}, {}, {}, 255, false, false, false},
        {L"file='missing.png'", false, L"missing.png", {}, {}, {}, 255, false, false, false},
        {L"", false, L"", {}, {}, {}, 255, false, false, false},
    };
    RECT item = {0, 0, 100, 100};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "description #" << (&c - cases));
        TImageDesc desc;
        desc.sDescription = c.text;
        EXPECT_EQ(c.ok, CUIPainter::DrawImage(NULL, &m_pm, item, item, desc));
        EXPECT_TRUE(desc.bParsed);
        EXPECT_STREQ(c.name, desc.sImageName.GetData());
        if (!c.ok) {
            EXPECT_EQ((TLoadedImage*)NULL, desc.pImage);
            continue;
        }
        ASSERT_NE((TLoadedImage*)NULL, desc.pImage);
        EXPECT_EQ(desc.pImage, m_pm.GetImage(c.name));
        EXPECT_TRUE(EqualRect(&c.source, &desc.rcSource)) << desc.rcSource.left << "," << desc.rcSource.top << ","
                                                          << desc.rcSource.right << "," << desc.rcSource.bottom;
        EXPECT_TRUE(EqualRect(&c.dest, &desc.rcDest));
        EXPECT_TRUE(EqualRect(&c.corners, &desc.rcCorners));
        EXPECT_EQ(c.fade, desc.uFade);
        EXPECT_EQ(c.hole, desc.bHole);
        EXPECT_EQ(c.xt, desc.bXTiled);
        EXPECT_EQ(c.yt, desc.bYTiled);
    }
    // Without a manager nothing happens and the answer is true.
    TImageDesc none;
    none.sDescription = L"file='a.tga'";
    EXPECT_TRUE(CUIPainter::DrawImage(NULL, NULL, item, item, none));
    EXPECT_FALSE(none.bParsed);
}

TEST_F(RenderTest, FailedDescriptionIsNotRetriedUntilCleared)
{
    TImageDesc desc;
    desc.sDescription = L"file='late.tga'";
    RECT item = {0, 0, 10, 10};
    EXPECT_FALSE(CUIPainter::DrawImage(NULL, &m_pm, item, item, desc));
    WriteImage(L"late.tga", MakeTga(1, 1, {kRed}));
    EXPECT_FALSE(CUIPainter::DrawImage(NULL, &m_pm, item, item, desc));
    EXPECT_EQ((TLoadedImage*)NULL, m_pm.GetImage(L"late.tga"));
    desc.Clear();
    EXPECT_TRUE(desc.sDescription.IsEmpty());
    EXPECT_EQ(255, desc.uFade);
    desc.sDescription = L"file='late.tga'";
    EXPECT_TRUE(CUIPainter::DrawImage(NULL, &m_pm, item, item, desc));
}

TEST_F(RenderTest, RemovedImageIsReloadedOnNextUse)
{
    WriteImage(L"photo.tga", MakeTga(2, 2, Solid(2, 2, kRed)));
    TImageDesc desc;
    desc.sDescription = L"file='photo.tga'";
    Surface s(8, 8);
    RECT item = {0, 0, 8, 8};
    ASSERT_TRUE(CUIPainter::DrawImage(s.dc(), &m_pm, item, item, desc));
    EXPECT_TRUE(Near(s.At(4, 4), 0xFF0000));

    // The photo is rewritten (bigger, another colour) and dropped from the cache.
    WriteImage(L"photo.tga", MakeTga(4, 4, Solid(4, 4, kBlue)));
    m_pm.RemoveImage(L"photo.tga", false);
    EXPECT_EQ((TLoadedImage*)NULL, m_pm.GetImage(L"photo.tga"));
    ASSERT_TRUE(CUIPainter::DrawImage(s.dc(), &m_pm, item, item, desc));
    EXPECT_TRUE(Near(s.At(4, 4), 0x0000FF));
    ASSERT_NE((TLoadedImage*)NULL, desc.pImage);
    EXPECT_EQ(desc.pImage, m_pm.GetImage(L"photo.tga"));
    EXPECT_EQ(4, desc.rcSource.right);
    EXPECT_STREQ(L"file='photo.tga'", desc.sDescription.GetData());

    // Images of one name are shared, with the mask of whichever loaded first.
    TImageDesc other;
    other.sDescription = L"file='photo.tga' mask='#FF0000FF'";
    ASSERT_TRUE(CUIPainter::DrawImage(NULL, &m_pm, item, item, other));
    EXPECT_EQ(desc.pImage, other.pImage);
    EXPECT_FALSE(other.pImage->bAlpha);
}

TEST_F(RenderTest, DescriptionDrawsSourcePartDestAndColour)
{
    // 30x30: left 25 columns red, the rest green.
    std::vector<Px> px(900);
    for (int i = 0; i < 900; ++i) px[i] = (i % 30) < 25 ? kRed : kGreen;
    WriteImage(L"min.tga", MakeTga(30, 30, px));
    Surface s(60, 60);
    s.Fill(0xFFFFFF);
    RECT item = {0, 0, 50, 50};
    TImageDesc desc;
    desc.sDescription = L"file='min.tga' source='0,0,25,25'";
    ASSERT_TRUE(CUIPainter::DrawImage(s.dc(), &m_pm, item, item, desc));
    EXPECT_TRUE(Near(s.At(47, 25), 0xFF0000)); // stretched part holds no green
    EXPECT_TRUE(Near(s.At(55, 25), 0xFFFFFF)); // outside the item

    s.Fill(0xFFFFFF);
    TImageDesc dest;
    dest.sDescription = L"file='min.tga' source='0,0,10,10' dest='10,10,20,20'";
    ASSERT_TRUE(CUIPainter::DrawImage(s.dc(), &m_pm, item, item, dest));
    EXPECT_TRUE(Near(s.At(15, 15), 0xFF0000));
    EXPECT_TRUE(Near(s.At(5, 5), 0xFFFFFF));
    EXPECT_TRUE(Near(s.At(25, 15), 0xFFFFFF));

    // Outside the paint rectangle: nothing drawn, still true.
    s.Fill(0xFFFFFF);
    RECT paint = {60, 60, 70, 70};
    EXPECT_TRUE(CUIPainter::DrawImage(s.dc(), &m_pm, item, paint, dest));
    EXPECT_TRUE(Near(s.At(15, 15), 0xFFFFFF));

    s.Fill(0xFFFFFF);
    TImageDesc colour;
    colour.sDescription = L"color='#FF0000FF'";
    ASSERT_TRUE(CUIPainter::DrawImage(s.dc(), &m_pm, item, item, colour));
    EXPECT_TRUE(Near(s.At(1, 1), 0x0000FF));
    EXPECT_TRUE(Near(s.At(48, 48), 0x0000FF));
    EXPECT_TRUE(Near(s.At(52, 52), 0xFFFFFF));
}

TEST_F(RenderTest, NineGridKeepsCornersUnscaled)
{
    WriteImage(L"nine.tga", MakeTga(10, 10, NineGrid()));
    TLoadedImage* img = m_pm.GetOrLoadImage(L"nine.tga");
    ASSERT_NE((TLoadedImage*)NULL, img);
    for (bool alpha : {false, true}) {
        SCOPED_TRACE(alpha ? "blend" : "copy");
        Surface s(30, 30);
        s.Fill(0x123456);
        RECT dest = {0, 0, 20, 20}, source = {0, 0, 10, 10}, corners = {3, 3, 3, 3};
        CUIPainter::DrawImage(s.dc(), img->hBitmap, dest, dest, source, corners, alpha, 255);
        // Corner pieces are 3x3 at their own size.
        EXPECT_TRUE(Near(s.At(1, 1), 0xFF0000));
        EXPECT_TRUE(Near(s.At(2, 2), 0xFF0000));
        EXPECT_TRUE(Near(s.At(18, 1), 0x00FF00));
        EXPECT_TRUE(Near(s.At(17, 2), 0x00FF00));
        EXPECT_TRUE(Near(s.At(1, 18), 0x0000FF));
        EXPECT_TRUE(Near(s.At(18, 18), 0xFFFFFF));
        // Edges stretched in one direction only, middle stretched.
        EXPECT_TRUE(Near(s.At(10, 1), 0x808080));
        EXPECT_TRUE(Near(s.At(1, 10), 0x808080));
        EXPECT_TRUE(Near(s.At(10, 10), 0x000000));
        EXPECT_TRUE(Near(s.At(25, 25), 0x123456));
    }
}

TEST_F(RenderTest, HoleLeavesTheMiddleUntouched)
{
    WriteImage(L"nine.tga", MakeTga(10, 10, NineGrid()));
    TLoadedImage* img = m_pm.GetOrLoadImage(L"nine.tga");
    ASSERT_NE((TLoadedImage*)NULL, img);
    Surface s(20, 20);
    s.Fill(0x123456);
    RECT dest = {0, 0, 20, 20}, source = {0, 0, 10, 10}, corners = {3, 3, 3, 3};
    CUIPainter::DrawImage(s.dc(), img->hBitmap, dest, dest, source, corners, false, 255, true);
    EXPECT_TRUE(Near(s.At(10, 10), 0x123456, 0));
    EXPECT_TRUE(Near(s.At(4, 4), 0x123456, 0));
    EXPECT_TRUE(Near(s.At(1, 1), 0xFF0000));
    EXPECT_TRUE(Near(s.At(10, 1), 0x808080));
    EXPECT_TRUE(Near(s.At(18, 18), 0xFFFFFF));
}

TEST_F(RenderTest, TilesAreCutNeverStretched)
{
    WriteImage(L"half.tga", MakeTga(4, 4, HalfAndHalf()));
    TLoadedImage* img = m_pm.GetOrLoadImage(L"half.tga");
    ASSERT_NE((TLoadedImage*)NULL, img);
    RECT source = {0, 0, 4, 4}, corners = {0, 0, 0, 0};
    for (bool alpha : {false, true}) {
        SCOPED_TRACE(alpha ? "blend" : "copy");
        // Both axes: 10x6 from a 4x4 tile; the third column and second row are cut.
        Surface s(12, 8);
        s.Fill(0xFFFFFF);
        RECT dest = {0, 0, 10, 6};
        CUIPainter::DrawImage(s.dc(), img->hBitmap, dest, dest, source, corners, alpha, 255, false, true, true);
        for (int y : {0, 3, 4, 5}) {
            EXPECT_TRUE(Near(s.At(0, y), 0xFF0000, 0));
            EXPECT_TRUE(Near(s.At(3, y), 0x00FF00, 0));
            EXPECT_TRUE(Near(s.At(5, y), 0xFF0000, 0));
            EXPECT_TRUE(Near(s.At(7, y), 0x00FF00, 0));
            EXPECT_TRUE(Near(s.At(8, y), 0xFF0000, 0));
            EXPECT_TRUE(Near(s.At(9, y), 0xFF0000, 0)); // cut, not squeezed
        }
        EXPECT_TRUE(Near(s.At(10, 2), 0xFFFFFF, 0));
        EXPECT_TRUE(Near(s.At(2, 6), 0xFFFFFF, 0));

        // x only: columns of width 4, 4 and 2, each the full height.
        s.Fill(0xFFFFFF);
        RECT tall = {0, 0, 10, 8};
        CUIPainter::DrawImage(s.dc(), img->hBitmap, tall, tall, source, corners, alpha, 255, false, true, false);
        EXPECT_TRUE(Near(s.At(0, 7), 0xFF0000));
        EXPECT_TRUE(Near(s.At(9, 4), 0xFF0000));
        EXPECT_TRUE(Near(s.At(10, 4), 0xFFFFFF, 0));
    }
}

TEST_F(RenderTest, DegenerateGridsDrawWithoutDividingByZero)
{
    WriteImage(L"nine.tga", MakeTga(10, 10, NineGrid()));
    TLoadedImage* img = m_pm.GetOrLoadImage(L"nine.tga");
    ASSERT_NE((TLoadedImage*)NULL, img);
    Surface s(20, 20);
    s.Fill(0x123456);
    RECT dest = {0, 0, 20, 20};
    // Corners that leave no middle in the source, with every tiling.
    RECT source = {0, 0, 10, 10}, corners = {5, 5, 5, 5};
    for (int t = 0; t < 4; ++t)
        CUIPainter::DrawImage(s.dc(), img->hBitmap, dest, dest, source, corners, t % 2 == 0, 255, false, (t & 1) != 0,
                              (t & 2) != 0);
    // Corners wider than the source and an empty source.
    RECT wide = {7, 7, 7, 7};
    CUIPainter::DrawImage(s.dc(), img->hBitmap, dest, dest, source, wide, true, 255, false, true, true);
    EXPECT_TRUE(Near(s.At(1, 1), 0xFF0000));
    RECT empty = {3, 3, 3, 3};
    CUIPainter::DrawImage(s.dc(), img->hBitmap, dest, dest, empty, corners, false, 255, false, true, true);
    CUIPainter::DrawImage(s.dc(), NULL, dest, dest, source, corners, false, 255);
}

TEST_F(RenderTest, CopyModeCopiesOnlyThePaintedPart)
{
    WriteImage(L"red.tga", MakeTga(10, 10, Solid(10, 10, kRed)));
    TLoadedImage* img = m_pm.GetOrLoadImage(L"red.tga");
    ASSERT_NE((TLoadedImage*)NULL, img);
    Surface s(10, 10);
    s.Fill(0xFFFFFF);
    RECT dest = {0, 0, 10, 10}, source = {0, 0, 10, 10}, corners = {0, 0, 0, 0}, paint = {0, 0, 5, 5};
    CUIPainter::DrawImage(s.dc(), img->hBitmap, dest, paint, source, corners, false, 255);
    EXPECT_TRUE(Near(s.At(2, 2), 0xFF0000, 0));
    EXPECT_TRUE(Near(s.At(7, 7), 0xFFFFFF, 0));
    EXPECT_TRUE(Near(s.At(7, 2), 0xFFFFFF, 0));
}

TEST_F(RenderTest, FadeAndPremultipliedAlphaBlend)
{
    WriteImage(L"red.tga", MakeTga(4, 4, Solid(4, 4, kRed)));
    WriteImage(L"half.tga", MakeTga(4, 4, Solid(4, 4, {255, 0, 0, 128})));
    TLoadedImage* red = m_pm.GetOrLoadImage(L"red.tga");
    TLoadedImage* half = m_pm.GetOrLoadImage(L"half.tga");
    ASSERT_TRUE(red != NULL && half != NULL);
    RECT dest = {0, 0, 4, 4}, source = {0, 0, 4, 4}, corners = {0, 0, 0, 0};
    Surface s(4, 4);
    s.Fill(0xFFFFFF);
    CUIPainter::DrawImage(s.dc(), red->hBitmap, dest, dest, source, corners, red->bAlpha, 128);
    EXPECT_TRUE(Near(s.At(2, 2), 0xFF7F7F));
    s.Fill(0x000000);
    CUIPainter::DrawImage(s.dc(), half->hBitmap, dest, dest, source, corners, half->bAlpha, 255);
    EXPECT_TRUE(Near(s.At(2, 2), 0x800000));
    s.Fill(0xFFFFFF);
    CUIPainter::DrawImage(s.dc(), half->hBitmap, dest, dest, source, corners, half->bAlpha, 255);
    EXPECT_TRUE(Near(s.At(2, 2), 0xFF7F7F));
}

TEST_F(RenderTest, DrawColorBlendsTranslucentColours)
{
    Surface s(10, 10);
    RECT rc = {0, 0, 5, 10};
    s.Fill(0x000000);
    CUIPainter::DrawColor(s.dc(), rc, 0x80FF0000);
    EXPECT_TRUE(Near(s.At(2, 5), 0x800000));
    EXPECT_TRUE(Near(s.At(7, 5), 0x000000, 0));
    s.Fill(0xFFFFFF);
    CUIPainter::DrawColor(s.dc(), rc, 0x80FF0000);
    EXPECT_TRUE(Near(s.At(2, 5), 0xFF7F7F));
    s.Fill(0xFFFFFF);
    CUIPainter::DrawColor(s.dc(), rc, 0x00FF0000);
    EXPECT_TRUE(Near(s.At(2, 5), 0xFFFFFF, 0));
    CUIPainter::DrawColor(s.dc(), rc, 0xFF00FF00);
    EXPECT_TRUE(Near(s.At(2, 5), 0x00FF00, 0));
}

// Opaque fills take a copying path of their own: it must give what blending an opaque pixel gives
// (alpha byte 0xFF, for layered windows), keep to the clip and the rectangle, and leave the DC's
// stretch mode as it was.
TEST_F(RenderTest, OpaqueFillsAreExactOpaqueAndClipped)
{
    Surface s(10, 10);
    s.Fill(0x00000000);
    ::SetStretchBltMode(s.dc(), BLACKONWHITE);
    HRGN clip = ::CreateRectRgn(0, 0, 10, 6);
    ::SelectClipRgn(s.dc(), clip);
    ::DeleteObject(clip);
    RECT rc = {2, 2, 8, 8};
    CUIPainter::DrawColor(s.dc(), rc, 0xFF123456);
    EXPECT_EQ(0xFF123456u, s.Bits()[3 * 10 + 4]);
    EXPECT_EQ(0xFF123456u, s.Bits()[5 * 10 + 7]);
    EXPECT_EQ(0u, s.Bits()[6 * 10 + 4]);   // clipped
    EXPECT_EQ(0u, s.Bits()[3 * 10 + 8]);   // right of the rectangle
    EXPECT_EQ(0u, s.Bits()[1 * 10 + 4]);   // above it
    EXPECT_EQ(BLACKONWHITE, ::GetStretchBltMode(s.dc()));
    ::SelectClipRgn(s.dc(), NULL);

    // Inverted or empty rectangles draw nothing (a negative extent would mirror the blit).
    s.Fill(0x00000000);
    RECT inverted = {8, 8, 2, 2}, empty = {3, 3, 3, 9};
    CUIPainter::DrawColor(s.dc(), inverted, 0xFF123456);
    CUIPainter::DrawColor(s.dc(), empty, 0xFF123456);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(0u, s.Bits()[i]) << i;
}

TEST_F(RenderTest, GradientsAndTheirAlpha)
{
    Surface s(20, 20);
    RECT rc = {0, 0, 20, 20};
    s.Fill(0x000000);
    CUIPainter::DrawGradient(s.dc(), rc, 0xFFFF0000, 0x00FF0000, true, 32);
    EXPECT_TRUE(Near(s.At(10, 2), 0x7F0000, 3));
    EXPECT_TRUE(Near(s.At(10, 17), 0x7F0000, 3));
    s.Fill(0x123456);
    CUIPainter::DrawGradient(s.dc(), rc, 0x00FF0000, 0x000000FF, false, 32);
    EXPECT_TRUE(Near(s.At(10, 10), 0x123456, 0));
    s.Fill(0x000000);
    CUIPainter::DrawGradient(s.dc(), rc, 0xFFFF0000, 0xFF0000FF, true, 32);
    DWORD top = s.At(10, 0), bottom = s.At(10, 19);
    EXPECT_GT(R(top), 230);
    EXPECT_LT(B(top), 25);
    EXPECT_GT(B(bottom), 230);
    EXPECT_LT(R(bottom), 25);
    s.Fill(0x000000);
    CUIPainter::DrawGradient(s.dc(), rc, 0xFF00FF00, 0xFF0000FF, false, 32);
    EXPECT_GT(G(s.At(0, 10)), 230);
    EXPECT_GT(B(s.At(19, 10)), 230);
}

TEST_F(RenderTest, LinesRectanglesAndRoundRectangles)
{
    Surface s(20, 20);
    s.Fill(0xFFFFFF);
    RECT line = {0, 5, 20, 5};
    CUIPainter::DrawLine(s.dc(), line, 1, 0xFFFF0000);
    EXPECT_TRUE(Near(s.At(10, 5), 0xFF0000, 0));
    EXPECT_TRUE(Near(s.At(10, 6), 0xFFFFFF, 0));
    s.Fill(0xFFFFFF);
    RECT rc = {2, 2, 18, 18};
    CUIPainter::DrawRect(s.dc(), rc, 2, 0xFF0000FF);
    EXPECT_TRUE(Near(s.At(2, 10), 0x0000FF, 0));
    EXPECT_TRUE(Near(s.At(3, 10), 0x0000FF, 0));
    EXPECT_TRUE(Near(s.At(17, 10), 0x0000FF, 0)); // inside frame
    EXPECT_TRUE(Near(s.At(10, 10), 0xFFFFFF, 0)); // hollow
    EXPECT_TRUE(Near(s.At(18, 10), 0xFFFFFF, 0));
    s.Fill(0xFFFFFF);
    CUIPainter::DrawRoundRect(s.dc(), rc, 1, 8, 8, 0xFF00FF00);
    EXPECT_TRUE(Near(s.At(10, 2), 0x00FF00, 0));
    EXPECT_TRUE(Near(s.At(2, 2), 0xFFFFFF, 0)); // rounded corner
    EXPECT_TRUE(Near(s.At(10, 10), 0xFFFFFF, 0));
}

TEST_F(RenderTest, ClipRegionsNestAndRestore)
{
    Surface s(30, 30);
    s.Fill(0xFFFFFF);
    HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
    RECT all = {0, 0, 30, 30};
    {
        CUIClipRegion outer;
        RECT a = {0, 0, 20, 20};
        CUIClipRegion::ClipRect(s.dc(), a, outer);
        {
            CUIClipRegion inner;
            RECT b = {10, 10, 30, 30};
            CUIClipRegion::ClipRect(s.dc(), b, inner);
            ::FillRect(s.dc(), &all, red);
            EXPECT_TRUE(Near(s.At(15, 15), 0xFF0000, 0));
            EXPECT_TRUE(Near(s.At(5, 5), 0xFFFFFF, 0));
            EXPECT_TRUE(Near(s.At(25, 25), 0xFFFFFF, 0));
            // Painting outside the clip for a while.
            CUIClipRegion::SelectOldClip(s.dc(), inner);
            ::FillRect(s.dc(), &all, red);
            EXPECT_TRUE(Near(s.At(5, 5), 0xFF0000, 0));
            EXPECT_TRUE(Near(s.At(25, 25), 0xFFFFFF, 0));
            CUIClipRegion::SelectNewClip(s.dc(), inner);
        }
        s.Fill(0xFFFFFF);
        ::FillRect(s.dc(), &all, red);
        EXPECT_TRUE(Near(s.At(5, 5), 0xFF0000, 0));
        EXPECT_TRUE(Near(s.At(25, 25), 0xFFFFFF, 0));
    }
    s.Fill(0xFFFFFF);
    ::FillRect(s.dc(), &all, red);
    EXPECT_TRUE(Near(s.At(25, 25), 0xFF0000, 0));

    s.Fill(0xFFFFFF);
    {
        CUIClipRegion round;
        RECT item = {0, 0, 19, 19};
        CUIClipRegion::ClipRoundRect(s.dc(), item, item, 10, 10, round);
        ::FillRect(s.dc(), &all, red);
        EXPECT_TRUE(Near(s.At(10, 10), 0xFF0000, 0));
        EXPECT_TRUE(Near(s.At(0, 0), 0xFFFFFF, 0));
        EXPECT_TRUE(Near(s.At(25, 25), 0xFFFFFF, 0));
    }
    ::DeleteObject(red);
}

TEST(RenderColourModel, HslRoundTripAndAdjust)
{
    EXPECT_EQ(0xFF123456u, CUIPainter::AdjustColor(0xFF123456, 180, 100, 100));
    float h, s, l;
    CUIPainter::RGBtoHSL(0x000000FF, &h, &s, &l);
    EXPECT_NEAR(240.0f, h, 0.01f);
    EXPECT_NEAR(1.0f, s, 0.01f);
    EXPECT_NEAR(0.5f, l, 0.01f);
    DWORD c = 0x7F000000;
    CUIPainter::HSLtoRGB(&c, 120.0f, 1.0f, 0.5f);
    EXPECT_EQ(0x7F00FF00u, c);
    // Shifting blue by +179 degrees wraps past 360 to 59: yellow-ish, not clamped to red.
    DWORD shifted = CUIPainter::AdjustColor(0xFF0000FF, 359, 100, 100);
    DWORD expected = 0xFF000000;
    CUIPainter::HSLtoRGB(&expected, 59.0f, 1.0f, 0.5f);
    EXPECT_EQ(expected, shifted);
    // Shifting green by -120 gives hue 0, taken as 360: red.
    EXPECT_TRUE(Near(CUIPainter::AdjustColor(0xFF00FF00, 60, 100, 100), 0xFF0000, 1));
    // Lightness to 0 gives black, alpha kept.
    EXPECT_EQ(0x80000000u, CUIPainter::AdjustColor(0x80FF8040, 180, 100, 0));
}

TEST_F(RenderTest, AdjustImageUsesTheUnadjustedCopy)
{
    WriteImage(L"hsl.tga", MakeTga(1, 1, {kRed}));
    TLoadedImage* img = m_pm.AddImage(L"hsl.tga", NULL, 0, true, false);
    ASSERT_NE((TLoadedImage*)NULL, img);
    ASSERT_NE((BYTE*)NULL, img->pUnadjustedBits);
    CUIPainter::AdjustImage(true, img, 300, 100, 100); // red + 120 degrees = green
    EXPECT_EQ(0xFF00FF00u, *(DWORD*)img->pBits);
    CUIPainter::AdjustImage(false, img, 300, 100, 100);
    EXPECT_EQ(0xFFFF0000u, *(DWORD*)img->pBits);
}

TEST_F(RenderTest, RenderToBitmapCopiesAndFilters)
{
    // No control tree yet: the bitmap is the empty client area with the filter colour laid over it.
    RECT rc = {0, 0, 12, 8};
    HBITMAP bmp = CUIPainter::RenderToBitmap(&m_pm, rc, NULL, 0xFFFF0000);
    ASSERT_NE((HBITMAP)NULL, bmp);
    DIBSECTION ds;
    ASSERT_EQ((int)sizeof(ds), ::GetObjectW(bmp, sizeof(ds), &ds));
    EXPECT_EQ(12, ds.dsBm.bmWidth);
    EXPECT_EQ(8, ds.dsBm.bmHeight);
    EXPECT_EQ(32, ds.dsBm.bmBitsPixel);
    const DWORD* bits = (const DWORD*)ds.dsBm.bmBits;
    EXPECT_TRUE(Near(bits[0] & 0xFFFFFF, 0xFF0000, 0));
    EXPECT_TRUE(Near(bits[12 * 8 - 1] & 0xFFFFFF, 0xFF0000, 0));
    ::DeleteObject(bmp);
}

TEST(RenderBitmaps, CreateDib32IsBottomUp)
{
    BYTE* bits = NULL;
    HBITMAP bmp = CUIPainter::CreateDib32(NULL, 4, 3, &bits);
    ASSERT_NE((HBITMAP)NULL, bmp);
    ASSERT_NE((BYTE*)NULL, bits);
    DIBSECTION ds;
    ASSERT_EQ((int)sizeof(ds), ::GetObjectW(bmp, sizeof(ds), &ds));
    EXPECT_EQ(32, ds.dsBmih.biBitCount);
    EXPECT_EQ(3, ds.dsBmih.biHeight);
    ::DeleteObject(bmp);
    EXPECT_EQ((HBITMAP)NULL, CUIPainter::RenderToBitmap(NULL, RECT{0, 0, 1, 1}));
}

} // namespace
