// GIF animation: frames on timer events checked pixel by pixel, per-frame delays, restart on
// show, image swaps, the file sources, autosize, the case-sensitive tag, and images that do not
// play (a PNG, a missing or broken file).
#include "UIControlsTestSupport.h"
#include "UIDlgBuilder.h"
#include "UIGifAnim.h"
#include "UIGifTestSupport.h"
#include "UIZipTestSupport.h"

#include <gtest/gtest.h>
#include <atomic>
#include <cstring>
#include <new>

using namespace Veneer;
using namespace controlstest;

namespace {
// The largest array allocation of this process since the last reset: a 64-bit test process finds
// room for buffers that a 32-bit one cannot, so the size asked for is what tells.
std::atomic<size_t> g_largestArrayNew{0};
} // namespace

void* operator new[](std::size_t n)
{
    size_t seen = g_largestArrayNew.load();
    while (n > seen && !g_largestArrayNew.compare_exchange_weak(seen, n)) {
    }
    return ::operator new(n);
}

namespace {

class GifProbe : public CGifAnimUI {
public:
    using CGifAnimUI::CurrentFrameDelay;
    using CGifAnimUI::m_bIsPlaying;
    using CGifAnimUI::m_nFrameCount;
    using CGifAnimUI::m_nFramePosition;
    using CGifAnimUI::m_pGifImage;
    using CGifAnimUI::m_pPropertyItem;
    using CGifAnimUI::OnTimer;

    std::vector<DWORD> ticks;
    void DoEvent(tagTEventUI& event) override
    {
        if (event.Type == UIEVENT_TIMER && event.wParam == GIFANIM_TIMERID) ticks.push_back(::GetTickCount());
        CGifAnimUI::DoEvent(event);
    }
};

const DWORD kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

class UIGifAnim : public ManagedFixture {
protected:
    // Controls are initialised (and so load their image) only below a parent.
    void SetUp() override
    {
        ManagedFixture::SetUp();
        Attach(new CControlUI);
    }
    void WriteGif(const wchar_t* name, const std::vector<giftest::Frame>& frames, int w = 16, int h = 16)
    {
        rendertest::WriteBytes(m_dir + name, giftest::MakeGif(w, h, frames));
    }
    GifProbe* Make(const wchar_t* image, bool autoplay = true)
    {
        GifProbe* g = new GifProbe;
        g->SetAttribute(L"bkimage", image);
        if (!autoplay) g->SetAttribute(L"autoplay", L"false");
        Attach(g);
        RECT rc = {0, 0, 40, 30};
        g->SetPos(rc, false);
        return g;
    }
    // Colour in the middle of the control, painted on white.
    DWORD Shown(CControlUI* c)
    {
        Surface s(40, 30);
        s.Fill(kWhite);
        PaintOn(s, c);
        ::GdiFlush();
        return s.At(20, 15);
    }
    void Tick(GifProbe* g)
    {
        tagTEventUI e = Ev(UIEVENT_TIMER, 0, 0, GIFANIM_TIMERID);
        g->Event(e);
    }
    std::vector<giftest::Frame> Rgb() { return {{0, 10}, {1, 20}, {2, 25}}; }
};

} // namespace

TEST(UIGifAnimTag, OnlyTheExactSpellingCreatesTheControl)
{
    CPaintManagerUI pm;
    CDialogBuilder b1;
    CControlUI* root = b1.Create(L"<Window><GifAnim name=\"g\"/></Window>", NULL, NULL, &pm);
    ASSERT_NE(nullptr, root);
    EXPECT_STREQ(L"GifAnim", root->GetClass());
    EXPECT_EQ(root, root->GetInterface(L"GifAnim"));
    delete root;
    for (const wchar_t* xml : {L"<Window><gifanim name=\"g\"/></Window>", L"<Window><GIFANIM name=\"g\"/></Window>"}) {
        CDialogBuilder b;
        EXPECT_EQ(nullptr, b.Create(xml, NULL, NULL, &pm)) << xml;
    }
}

TEST_F(UIGifAnim, FramesAdvanceOnTimerEventsAndWrapAround)
{
    WriteGif(L"rgb.gif", Rgb());
    GifProbe* g = Make(L"rgb.gif");
    ASSERT_NE(nullptr, g->m_pGifImage);
    EXPECT_EQ(3u, g->m_nFrameCount);
    EXPECT_TRUE(g->m_bIsPlaying);
    const DWORD want[] = {kRed, kGreen, kBlue, kRed};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(want[i], Shown(g)) << i;
        Tick(g);
    }
    // Another control's timer id is not ours.
    tagTEventUI e = Ev(UIEVENT_TIMER, 0, 0, 7);
    g->Event(e);
    EXPECT_EQ(1u, g->m_nFramePosition);
}

TEST_F(UIGifAnim, EachFrameKeepsItsOwnDelay)
{
    WriteGif(L"d.gif", {{0, 10}, {1, 0}, {2, 25}});
    GifProbe* g = Make(L"d.gif");
    ASSERT_EQ(3u, g->m_nFrameCount);
    const UINT want[] = {100, 100, 250};
    for (int i = 0; i < 3; ++i) {
        g->m_nFramePosition = i;
        EXPECT_EQ(want[i], g->CurrentFrameDelay()) << i;
    }
    g->m_nFramePosition = 0;
    // The real timer: the third frame stays clearly longer than the first two.
    g->ticks.clear();
    const DWORD start = ::GetTickCount();
    Pump(3000, [g] { return g->ticks.size() >= 3; });
    ASSERT_GE(g->ticks.size(), 3u);
    const DWORD d0 = g->ticks[0] - start, d1 = g->ticks[1] - g->ticks[0], d2 = g->ticks[2] - g->ticks[1];
    EXPECT_GE(d0, 80u);
    EXPECT_GE(d1, 80u);
    EXPECT_GE(d2, 200u);
    EXPECT_LT(d0 + d1, d2 * 2 + 100);
}

TEST_F(UIGifAnim, HidingRewindsAndShowingRestarts)
{
    WriteGif(L"rgb.gif", Rgb());
    GifProbe* g = Make(L"rgb.gif");
    Tick(g);
    Tick(g);
    EXPECT_EQ(kBlue, Shown(g));
    g->SetVisible(false);
    EXPECT_FALSE(g->m_bIsPlaying);
    EXPECT_EQ(0u, g->m_nFramePosition);
    g->ticks.clear();
    Pump(250, [] { return false; });
    EXPECT_TRUE(g->ticks.empty());   // the timer is gone
    g->SetVisible(true);
    EXPECT_TRUE(g->m_bIsPlaying);
    EXPECT_EQ(kRed, Shown(g));
    Pump(1000, [g] { return !g->ticks.empty(); });
    EXPECT_FALSE(g->ticks.empty());
}

TEST_F(UIGifAnim, SwappingTheImageWhilePlaying)
{
    WriteGif(L"rgb.gif", Rgb());
    WriteGif(L"bbb.gif", {{2, 10}, {2, 10}});
    GifProbe* g = Make(L"rgb.gif");
    Tick(g);
    g->SetBkImage(L"bbb.gif");
    EXPECT_FALSE(g->m_bIsPlaying);
    EXPECT_EQ(nullptr, g->m_pGifImage);
    EXPECT_STREQ(L"bbb.gif", g->GetBkImage());
    EXPECT_EQ(kBlue, Shown(g));   // loaded at the paint, and playing again
    EXPECT_TRUE(g->m_bIsPlaying);
    EXPECT_EQ(2u, g->m_nFrameCount);
    // The same name again changes nothing; without autoplay the new image waits.
    g->SetBkImage(L"bbb.gif");
    EXPECT_TRUE(g->m_bIsPlaying);
    g->SetAutoPlay(false);
    g->SetBkImage(L"rgb.gif");
    EXPECT_EQ(kRed, Shown(g));
    EXPECT_FALSE(g->m_bIsPlaying);

    // Swapped back and forth many times: the last image is the one shown.
    g->SetAutoPlay(true);
    for (int i = 0; i < 100; ++i) {
        g->SetBkImage(i % 2 ? L"rgb.gif" : L"bbb.gif");
        Shown(g);
    }
    EXPECT_EQ(kRed, Shown(g));
    EXPECT_EQ(3u, g->m_nFrameCount);
}

TEST_F(UIGifAnim, SourcesAutosizeAndFilesThatDoNotPlay)
{
    // A plain path outside the resource folder.
    std::wstring other = rendertest::TempDir(L"gifplain");
    rendertest::WriteBytes(other + L"g.gif", giftest::MakeGif(16, 16, {{1, 10}, {2, 10}}));
    GifProbe* plain = Make((other + L"g.gif").c_str());
    EXPECT_EQ(kGreen, Shown(plain));

    // Autosize takes the picture's size.
    WriteGif(L"big.gif", Rgb(), 24, 12);
    GifProbe* sized = new GifProbe;
    sized->SetAttribute(L"bkimage", L"big.gif");
    sized->SetAttribute(L"autosize", L"true");
    Attach(sized);
    EXPECT_EQ(24, sized->GetFixedWidth());
    EXPECT_EQ(12, sized->GetFixedHeight());

    // A missing file draws nothing, and is looked for again at the next paint.
    GifProbe* missing = Make(L"later.gif");
    EXPECT_EQ(nullptr, missing->m_pGifImage);
    EXPECT_EQ(kWhite, Shown(missing));
    WriteGif(L"later.gif", Rgb());
    EXPECT_EQ(kRed, Shown(missing));

    // A truncated GIF decodes to nothing.
    std::vector<BYTE> bytes = giftest::MakeGif(16, 16, Rgb());
    bytes.resize(20);
    rendertest::WriteBytes(m_dir + L"cut.gif", bytes);
    GifProbe* cut = Make(L"cut.gif");
    EXPECT_EQ(nullptr, cut->m_pGifImage);
    EXPECT_EQ(kWhite, Shown(cut));
    EXPECT_FALSE(cut->m_bIsPlaying);

    // A single picture without delays shows and never arms the timer, not even when shown again.
    rendertest::WriteBytes(m_dir + L"still.bmp", rendertest::MakeBmp24(8, 8, rendertest::Solid(8, 8, Px{0, 0, 255, 255})));
    GifProbe* still = Make(L"still.bmp");
    ASSERT_NE(nullptr, still->m_pGifImage);
    EXPECT_EQ(nullptr, still->m_pPropertyItem);
    EXPECT_FALSE(still->m_bIsPlaying);
    EXPECT_EQ(kBlue, Shown(still));
    still->SetVisible(false);
    still->SetVisible(true);
    EXPECT_FALSE(still->m_bIsPlaying);
}

TEST_F(UIGifAnim, FromTheResourceZip)
{
    std::vector<BYTE> gif = giftest::MakeGif(16, 16, Rgb());
    std::string zip = ziptest::BuildZip({ziptest::Make("anim/RGB.gif", std::string(gif.begin(), gif.end()), true)});
    rendertest::WriteBytes(m_dir + L"skin.zip", std::vector<BYTE>(zip.begin(), zip.end()));
    CPaintManagerUI::SetResourceZip(L"skin.zip", false);
    GifProbe* g = Make(L"anim/rgb.gif");
    CPaintManagerUI::SetResourceZip(L"", false);
    ASSERT_NE(nullptr, g->m_pGifImage);
    EXPECT_EQ(3u, g->m_nFrameCount);
    EXPECT_EQ(kRed, Shown(g));
}

TEST_F(UIGifAnim, DelaysAreReadOnlyWithinTheTableAndNoFramesNeverDivide)
{
    WriteGif(L"rgb.gif", Rgb());
    GifProbe* g = Make(L"rgb.gif");
    ASSERT_NE(nullptr, g->m_pPropertyItem);
    // A table shorter than the frames: the frames past it get 100 ms.
    g->m_pPropertyItem->length = sizeof(UINT);
    g->m_nFramePosition = 2;
    EXPECT_EQ(100u, g->CurrentFrameDelay());
    g->m_nFramePosition = 0;
    EXPECT_EQ(100u, g->CurrentFrameDelay());
    // No frames: a tick stops instead of dividing by zero, and nothing starts again.
    g->m_nFrameCount = 0;
    g->OnTimer(GIFANIM_TIMERID);
    EXPECT_FALSE(g->m_bIsPlaying);
    g->StartAnimation();
    EXPECT_FALSE(g->m_bIsPlaying);

    // Loading again frees what was held and gives the same result.
    g->DoInit();
    g->DoInit();
    EXPECT_EQ(3u, g->m_nFrameCount);
    EXPECT_NE(nullptr, g->m_pPropertyItem);
}

namespace {

// Sets the uncompressed size of the named member in both its local and its central header.
void ClaimUncompressedSize(std::string& zip, const std::string& name, uint32_t size)
{
    auto put = [&](size_t at) { memcpy(&zip[at], &size, 4); };
    for (size_t i = 0; i + 46 <= zip.size(); ++i) {
        uint32_t sig;
        memcpy(&sig, &zip[i], 4);
        if (sig == 0x04034b50 && zip.compare(i + 30, name.size(), name) == 0) put(i + 22);
        if (sig == 0x02014b50 && zip.compare(i + 46, name.size(), name) == 0) put(i + 24);
    }
}

} // namespace

// A zip member whose header claims 2 GB and a file of 200 MB are refused before a buffer of their
// size is taken; images of a sane size still load from both places.
TEST_F(UIGifAnim, ImagesPastTheSizeCapAreRefusedBeforeAnyBufferIsTaken)
{
    const size_t kLarge = 100u * 1024 * 1024;
    std::vector<BYTE> gif = giftest::MakeGif(16, 16, Rgb());
    std::string bytes(gif.begin(), gif.end());
    std::string zip = ziptest::BuildZip({ziptest::Make("huge.gif", bytes), ziptest::Make("fine.gif", bytes)});
    ClaimUncompressedSize(zip, "huge.gif", 0x7FFFFF00u);
    rendertest::WriteBytes(m_dir + L"skin.zip", std::vector<BYTE>(zip.begin(), zip.end()));

    CPaintManagerUI::SetResourceZip(L"skin.zip", false);
    g_largestArrayNew = 0;
    GifProbe* huge = Make(L"huge.gif");
    EXPECT_EQ(kWhite, Shown(huge));  // paints (and so tries to load again) without throwing
    EXPECT_EQ(nullptr, huge->m_pGifImage);
    EXPECT_LT(g_largestArrayNew.load(), kLarge);
    GifProbe* fine = Make(L"fine.gif");
    CPaintManagerUI::SetResourceZip(L"", false);
    ASSERT_NE(nullptr, fine->m_pGifImage);
    EXPECT_EQ(kRed, Shown(fine));

    // A file of 200 MB (sparse: nothing is written) in the resource folder.
    HANDLE hFile = ::CreateFileW((m_dir + L"big.gif").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    DWORD written = 0;
    ::WriteFile(hFile, gif.data(), (DWORD)gif.size(), &written, NULL);
    LARGE_INTEGER end;
    end.QuadPart = 200ll * 1024 * 1024;
    ASSERT_TRUE(::SetFilePointerEx(hFile, end, NULL, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(hFile));
    ::CloseHandle(hFile);
    g_largestArrayNew = 0;
    GifProbe* big = Make(L"big.gif");
    EXPECT_EQ(kWhite, Shown(big));
    EXPECT_EQ(nullptr, big->m_pGifImage);
    EXPECT_LT(g_largestArrayNew.load(), kLarge);
    ::DeleteFileW((m_dir + L"big.gif").c_str());
}
