// Shared pieces of the render engine tests: a paint manager on a real window, an off-screen
// top-down 32-bit surface to draw on, and image files written at test time.
#pragma once
#include "UIManager.h"
#include "UIRender.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace rendertest {

using namespace Veneer;

// One pixel as RGBA bytes (straight, not premultiplied).
struct Px {
    BYTE r, g, b, a;
};

inline std::wstring TempDir(const wchar_t* tag)
{
    wchar_t base[MAX_PATH];
    ::GetTempPathW(MAX_PATH, base);
    wchar_t name[MAX_PATH];
    wsprintfW(name, L"%sveneer_%s_%lu_%lu\\", base, tag, ::GetCurrentProcessId(), ::GetTickCount());
    ::CreateDirectoryW(name, NULL);
    return name;
}

inline void WriteBytes(const std::wstring& path, const std::vector<BYTE>& bytes)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    if (!bytes.empty()) ::WriteFile(h, &bytes[0], (DWORD)bytes.size(), &written, NULL);
    ::CloseHandle(h);
}

// Uncompressed 32-bit TGA with alpha, rows stored top first; pixels given row by row.
inline std::vector<BYTE> MakeTga(int w, int h, const std::vector<Px>& px)
{
    std::vector<BYTE> out(18, 0);
    out[2] = 2;
    out[12] = (BYTE)(w & 0xFF);
    out[13] = (BYTE)(w >> 8);
    out[14] = (BYTE)(h & 0xFF);
    out[15] = (BYTE)(h >> 8);
    out[16] = 32;
    out[17] = 0x28; // 8 alpha bits, top-left origin
    for (const Px& p : px) {
        out.push_back(p.b);
        out.push_back(p.g);
        out.push_back(p.r);
        out.push_back(p.a);
    }
    return out;
}

// Uncompressed 24-bit BMP (opaque), rows given top first.
inline std::vector<BYTE> MakeBmp24(int w, int h, const std::vector<Px>& px)
{
    const int stride = (w * 3 + 3) & ~3;
    const DWORD dataSize = (DWORD)(stride * h);
    std::vector<BYTE> out(54 + dataSize, 0);
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfSize = (DWORD)out.size();
    fh.bfOffBits = 54;
    BITMAPINFOHEADER ih = {};
    ih.biSize = 40;
    ih.biWidth = w;
    ih.biHeight = h; // bottom-up
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biSizeImage = dataSize;
    memcpy(&out[0], &fh, 14);
    memcpy(&out[14], &ih, 40);
    for (int y = 0; y < h; ++y) {
        BYTE* row = &out[54 + (size_t)(h - 1 - y) * stride];
        for (int x = 0; x < w; ++x) {
            const Px& p = px[(size_t)y * w + x];
            row[x * 3] = p.b;
            row[x * 3 + 1] = p.g;
            row[x * 3 + 2] = p.r;
        }
    }
    return out;
}

inline std::vector<Px> Solid(int w, int h, Px p)
{
    return std::vector<Px>((size_t)w * h, p);
}

// A zip holding stored (uncompressed) members.
inline std::vector<BYTE> MakeStoredZip(const std::vector<std::pair<std::string, std::vector<BYTE>>>& members)
{
    auto crc32 = [](const std::vector<BYTE>& d) {
        DWORD c = 0xFFFFFFFF;
        for (BYTE b : d) {
            c ^= b;
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320 & (0 - (c & 1)));
        }
        return c ^ 0xFFFFFFFF;
    };
    std::vector<BYTE> out, central;
    auto put16 = [](std::vector<BYTE>& v, unsigned x) {
        v.push_back((BYTE)x);
        v.push_back((BYTE)(x >> 8));
    };
    auto put32 = [](std::vector<BYTE>& v, DWORD x) {
        for (int i = 0; i < 4; ++i) v.push_back((BYTE)(x >> (8 * i)));
    };
    for (const auto& m : members) {
        const DWORD offset = (DWORD)out.size();
        const DWORD crc = crc32(m.second);
        const DWORD size = (DWORD)m.second.size();
        put32(out, 0x04034b50);
        put16(out, 10);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0x21);
        put32(out, crc);
        put32(out, size);
        put32(out, size);
        put16(out, (unsigned)m.first.size());
        put16(out, 0);
        out.insert(out.end(), m.first.begin(), m.first.end());
        out.insert(out.end(), m.second.begin(), m.second.end());
        put32(central, 0x02014b50);
        put16(central, 20);
        put16(central, 10);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0x21);
        put32(central, crc);
        put32(central, size);
        put32(central, size);
        put16(central, (unsigned)m.first.size());
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, 0);
        put32(central, offset);
        central.insert(central.end(), m.first.begin(), m.first.end());
    }
    const DWORD centralOffset = (DWORD)out.size();
    out.insert(out.end(), central.begin(), central.end());
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, (unsigned)members.size());
    put16(out, (unsigned)members.size());
    put32(out, (DWORD)central.size());
    put32(out, centralOffset);
    put16(out, 0);
    return out;
}

// A top-down 32-bit surface selected into a memory DC.
class Surface {
public:
    Surface(int w, int h) : m_w(w), m_h(h)
    {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = w;
        bmi.bmiHeader.biHeight = -h;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        void* bits = NULL;
        m_bmp = ::CreateDIBSection(NULL, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
        m_bits = (DWORD*)bits;
        m_dc = ::CreateCompatibleDC(NULL);
        m_old = ::SelectObject(m_dc, m_bmp);
    }
    ~Surface()
    {
        ::SelectObject(m_dc, m_old);
        ::DeleteObject(m_bmp);
        ::DeleteDC(m_dc);
    }
    HDC dc() const { return m_dc; }
    void Fill(DWORD rgb)
    {
        ::GdiFlush();
        for (int i = 0; i < m_w * m_h; ++i) m_bits[i] = rgb;
    }
    // 0x00RRGGBB of a pixel (alpha byte dropped).
    DWORD At(int x, int y) const
    {
        ::GdiFlush();
        return m_bits[y * m_w + x] & 0xFFFFFF;
    }
    int Width() const { return m_w; }
    int Height() const { return m_h; }
    const DWORD* Bits() const
    {
        ::GdiFlush();
        return m_bits;
    }

private:
    int m_w, m_h;
    HBITMAP m_bmp;
    DWORD* m_bits;
    HDC m_dc;
    HGDIOBJ m_old;
};

inline int R(DWORD c) { return (c >> 16) & 0xFF; }
inline int G(DWORD c) { return (c >> 8) & 0xFF; }
inline int B(DWORD c) { return c & 0xFF; }

inline ::testing::AssertionResult Near(DWORD actual, DWORD expected, int tol = 3)
{
    if (abs(R(actual) - R(expected)) <= tol && abs(G(actual) - G(expected)) <= tol &&
        abs(B(actual) - B(expected)) <= tol)
        return ::testing::AssertionSuccess();
    char buf[96];
    wsprintfA(buf, "pixel %06lX, expected %06lX (+-%d)", (unsigned long)actual, (unsigned long)expected, tol);
    return ::testing::AssertionFailure() << buf;
}

// A paint manager bound to a real (hidden) window, with its resource folder set to a temp folder.
class PaintManagerFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
        m_wnd = ::CreateWindowExW(0, L"STATIC", L"render", WS_POPUP, 0, 0, 320, 240, NULL, NULL,
                                  ::GetModuleHandleW(NULL), NULL);
        ASSERT_NE(m_wnd, (HWND)NULL);
        m_pm.Init(m_wnd);
        m_dir = TempDir(L"render");
        CPaintManagerUI::SetResourceZip(L"", false);
        CPaintManagerUI::SetResourcePath(m_dir.c_str());
    }
    void TearDown() override
    {
        m_pm.RemoveAllImages(false);
        CPaintManagerUI::SetResourcePath(L"");
        if (m_wnd) ::DestroyWindow(m_wnd);
    }
    void WriteImage(const wchar_t* name, const std::vector<BYTE>& bytes) { WriteBytes(m_dir + name, bytes); }

    HWND m_wnd = NULL;
    CPaintManagerUI m_pm;
    std::wstring m_dir;
};

} // namespace rendertest
