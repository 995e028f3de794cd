// Paint manager painting: the double-buffered image and its dirty rectangles, layered windows
// composed from the accumulated dirty rectangle on the 10 ms timer (undrawn pixels transparent,
// the layered image's alpha, native child windows made opaque), and printing the client area.
#include "UIInputTestSupport.h"
#include "UIRenderTestSupport.h"

using namespace inputtest;

namespace {

// The pixels of a bitmap as top-down 0xAARRGGBB values.
struct Pixels {
    int cx = 0, cy = 0;
    std::vector<DWORD> px;
    DWORD At(int x, int y) const { return px[(size_t)y * cx + x]; }
};

// Reads any bitmap through GetDIBits (the alpha byte is kept for 32-bit DIB sections).
Pixels ReadBitmap(HBITMAP hbmp)
{
    Pixels out;
    BITMAP bm;
    if (hbmp == NULL || ::GetObjectW(hbmp, sizeof(bm), &bm) == 0) return out;
    out.cx = bm.bmWidth;
    out.cy = bm.bmHeight;
    out.px.resize((size_t)out.cx * out.cy);
    BITMAPINFO bi;
    ::ZeroMemory(&bi, sizeof(bi));
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = out.cx;
    bi.bmiHeader.biHeight = -out.cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    HDC hdc = ::GetDC(NULL);
    ::GetDIBits(hdc, hbmp, 0, out.cy, &out.px[0], &bi, DIB_RGB_COLORS);
    ::ReleaseDC(NULL, hdc);
    return out;
}

// A layered DIB read straight from its pixel block, whose rows are stored bottom-up.
Pixels ReadLayered(HBITMAP hbmp)
{
    Pixels out;
    DIBSECTION ds;
    if (hbmp == NULL || ::GetObjectW(hbmp, sizeof(ds), &ds) != sizeof(ds)) return out;
    EXPECT_EQ(32, ds.dsBmih.biBitCount);
    EXPECT_GT(ds.dsBmih.biHeight, 0);  // bottom-up
    out.cx = ds.dsBm.bmWidth;
    out.cy = ds.dsBm.bmHeight;
    const DWORD* bits = static_cast<const DWORD*>(ds.dsBm.bmBits);
    for (int y = 0; y < out.cy; ++y)
        for (int x = 0; x < out.cx; ++x) out.px.push_back(bits[(size_t)(out.cy - 1 - y) * out.cx + x]);
    return out;
}

bool Near(DWORD a, DWORD b)
{
    const int tolerance = 2;
    for (int shift = 0; shift < 32; shift += 8) {
        int d = (int)((a >> shift) & 0xFF) - (int)((b >> shift) & 0xFF);
        if (d < -tolerance || d > tolerance) return false;
    }
    return true;
}

#define EXPECT_PIXEL(expected, actual) EXPECT_PRED2(Near, (DWORD)(expected), (DWORD)(actual))

// Waits until the layered timer has painted everything that was invalidated.
bool WaitLayeredPaint(Host& host, CControlUI* probe)
{
    return PumpUntil([&] {
        return host.pm.GetPaintOffscreenBitmap() != NULL && !host.pm.IsUpdateNeeded() && !probe->IsUpdateNeeded() &&
               !host.pm.IsPainting();
    }) && (Pump(80), true);
}

TEST(PaintManagerPaint, DoubleBufferedImageAndOnlyTheDirtyRectangleRepainted)
{
    Host host;
    Canvas* root = new Canvas(0xFF102030);
    Probe* child = root->Add(new Probe(L"C", 0xFF80C040), 20, 20, 60, 50);
    host.pm.AttachDialog(root);
    host.Show();
    ASSERT_TRUE(PumpUntil([&] { return host.pm.GetPaintOffscreenBitmap() != NULL; }));
    Pump(50);

    Pixels p = ReadBitmap(host.pm.GetPaintOffscreenBitmap());
    ASSERT_EQ(300, p.cx);
    ASSERT_EQ(200, p.cy);
    EXPECT_PIXEL(0x102030, p.At(5, 5) & 0xFFFFFF);
    EXPECT_PIXEL(0x80C040, p.At(30, 30) & 0xFFFFFF);
    EXPECT_PIXEL(0x102030, p.At(60, 50) & 0xFFFFFF);

    // Both colours change, but only the child's rectangle is invalidated: the rest keeps the old
    // image.
    root->SetBkColor(0xFF0000FF);
    child->SetBkColor(0xFFFF0000);
    ::ValidateRect(host.hwnd, NULL);
    RECT rc = child->GetPos();
    host.pm.Invalidate(rc);
    ::UpdateWindow(host.hwnd);
    p = ReadBitmap(host.pm.GetPaintOffscreenBitmap());
    EXPECT_PIXEL(0xFF0000, p.At(30, 30) & 0xFFFFFF);
    EXPECT_PIXEL(0x102030, p.At(5, 5) & 0xFFFFFF);

    // What was copied to the window is the off-screen image.
    HDC hdc = ::GetDC(host.hwnd);
    COLORREF onScreen = ::GetPixel(hdc, 30, 30);
    ::ReleaseDC(host.hwnd, hdc);
    EXPECT_EQ(RGB(0xFF, 0, 0), onScreen);

    // With show dirty every painted rectangle is framed in red on the window.
    host.pm.SetShowDirty(true);
    RECT rcDirty = {100, 100, 140, 130};
    host.pm.Invalidate(rcDirty);
    ::UpdateWindow(host.hwnd);
    hdc = ::GetDC(host.hwnd);
    EXPECT_EQ(RGB(220, 0, 0), ::GetPixel(hdc, 100, 110));
    EXPECT_EQ(RGB(220, 0, 0), ::GetPixel(hdc, 120, 129));
    EXPECT_EQ(RGB(0, 0, 0xFF), ::GetPixel(hdc, 120, 115));
    ::ReleaseDC(host.hwnd, hdc);
}

TEST(PaintManagerPaint, InvalidateNormalisesTheRectangle)
{
    Host host;
    RECT rc = {-5, -7, -10, -20};
    host.pm.Invalidate(rc);
    EXPECT_EQ(0, rc.left);
    EXPECT_EQ(0, rc.top);
    EXPECT_EQ(0, rc.right);
    EXPECT_EQ(0, rc.bottom);
    RECT rc2 = {10, 10, 5, 30};
    host.pm.Invalidate(rc2);
    EXPECT_EQ(10, rc2.right);
    EXPECT_EQ(30, rc2.bottom);
}

TEST(PaintManagerPaint, LayeredWindowIsTransparentWhereNothingDraws)
{
    Host host;
    Canvas* root = new Canvas();  // draws nothing
    Probe* solid = root->Add(new Probe(L"S", 0xFF80C040), 20, 20, 60, 50);
    root->Add(new Probe(L"T", 0x80FF0000), 100, 20, 140, 50);
    host.pm.AttachDialog(root);
    host.pm.SetLayered(true);
    ASSERT_TRUE(host.pm.IsLayered());
    EXPECT_NE(0, ::GetWindowLongPtrW(host.hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    host.Show();
    ASSERT_TRUE(WaitLayeredPaint(host, solid));

    Pixels p = ReadLayered(host.pm.GetPaintOffscreenBitmap());
    ASSERT_EQ(300, p.cx);
    ASSERT_EQ(200, p.cy);
    EXPECT_EQ(0u, p.At(5, 5));
    EXPECT_EQ(0u, p.At(299, 199));
    EXPECT_EQ(0u, p.At(70, 30));
    EXPECT_PIXEL(0xFF80C040, p.At(30, 30));
    EXPECT_PIXEL(0xFF80C040, p.At(20, 49));
    EXPECT_EQ(0u, p.At(60, 50));
    EXPECT_PIXEL(0x80800000, p.At(120, 30));  // half-transparent red, premultiplied

    // A change is painted from the dirty rectangle by the timer, not by WM_PAINT.
    solid->SetBkColor(0xFF0000FF);
    EXPECT_TRUE(PumpUntil([&] { return Near(0xFF0000FF, ReadLayered(host.pm.GetPaintOffscreenBitmap()).At(30, 30)); }));
    // Hidden, the control leaves transparent pixels behind.
    solid->SetVisible(false);
    EXPECT_TRUE(PumpUntil([&] { return ReadLayered(host.pm.GetPaintOffscreenBitmap()).At(30, 30) == 0; }));
}

TEST(PaintManagerPaint, LayeredImageLendsItsAlphaToPixelsThatAreNotOpaque)
{
    std::wstring dir = rendertest::TempDir(L"layered");
    std::wstring file = dir + L"shape.tga";
    rendertest::WriteBytes(file, rendertest::MakeTga(1, 1, {{0xFF, 0xFF, 0xFF, 0x80}}));

    Host host;
    Canvas* root = new Canvas();
    Probe* solid = root->Add(new Probe(L"S", 0xFF80C040), 20, 20, 60, 50);
    root->Add(new Probe(L"T", 0x80FF0000), 100, 20, 140, 50);
    host.pm.AttachDialog(root);
    host.pm.SetLayeredImage(file.c_str());
    ASSERT_TRUE(host.pm.IsLayered());
    host.Show();
    ASSERT_TRUE(WaitLayeredPaint(host, solid));

    Pixels p = ReadLayered(host.pm.GetPaintOffscreenBitmap());
    ASSERT_EQ(300, p.cx);
    EXPECT_PIXEL(0xFF80C040, p.At(30, 30));  // opaque pixels stay as drawn
    EXPECT_PIXEL(0x80000000, p.At(5, 5));    // undrawn: the image's alpha over black
    // Drawn at alpha 0x80 (0x80800000); takes the image's alpha and is scaled by it.
    EXPECT_PIXEL(0x80400000, p.At(120, 30));

    // Painted again, translucent pixels come out the same: nothing piles up over the last paint.
    host.pm.Invalidate();
    ASSERT_TRUE(WaitLayeredPaint(host, solid));
    p = ReadLayered(host.pm.GetPaintOffscreenBitmap());
    EXPECT_PIXEL(0x80400000, p.At(120, 30));
    EXPECT_PIXEL(0x80000000, p.At(5, 5));
    ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(dir.c_str());
}

TEST(PaintManagerPaint, LayeredWindowPrintsNativeChildrenOpaque)
{
    Host host;
    Canvas* root = new Canvas();
    Probe* holder = root->Add(new Probe(L"E"), 100, 60, 180, 80);
    host.pm.AttachDialog(root);
    host.pm.SetLayered(true);
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 100, 60, 80, 20, host.hwnd, NULL,
                                  ::GetModuleHandleW(NULL), NULL);
    ASSERT_NE((HWND)NULL, edit);
    EXPECT_TRUE(host.pm.AddNativeWindow(holder, edit));
    host.Show();
    ASSERT_TRUE(WaitLayeredPaint(host, holder));

    Pixels p = ReadLayered(host.pm.GetPaintOffscreenBitmap());
    ASSERT_EQ(300, p.cx);
    DWORD inside = p.At(140, 70);
    EXPECT_EQ(0xFFu, inside >> 24) << std::hex << inside;
    EXPECT_PIXEL(0xFFFFFF, inside & 0xFFFFFF);  // the edit's white background
    EXPECT_EQ(0u, p.At(90, 70));

    // A native window that is gone is dropped from the list at the next paint.
    ::DestroyWindow(edit);
    host.pm.Invalidate();
    ASSERT_TRUE(WaitLayeredPaint(host, holder));
    EXPECT_FALSE(host.pm.RemoveNativeWindow(edit));
}

TEST(PaintManagerPaint, PrintClientPaintsTheTreeIntoTheGivenDc)
{
    Host host;
    Canvas* root = new Canvas(0xFF203040);
    root->Add(new Probe(L"C", 0xFFC08040), 20, 20, 60, 50);
    host.pm.AttachDialog(root);
    host.Show();
    ASSERT_TRUE(PumpUntil([&] { return host.pm.GetPaintOffscreenBitmap() != NULL; }));

    HDC screen = ::GetDC(NULL);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, 300, 200);
    ::ReleaseDC(NULL, screen);
    HBITMAP old = static_cast<HBITMAP>(::SelectObject(mem, bmp));
    LRESULT lRes = 0;
    EXPECT_FALSE(host.pm.MessageHandler(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT, lRes));
    ::SelectObject(mem, old);
    Pixels p = ReadBitmap(bmp);
    EXPECT_PIXEL(0x203040, p.At(5, 5) & 0xFFFFFF);
    EXPECT_PIXEL(0xC08040, p.At(30, 30) & 0xFFFFFF);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
}

} // namespace
