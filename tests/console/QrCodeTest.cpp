// QR-code bitmaps, the scrambled customer-page content and base64.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdint.h>
#include <string.h>
#include <time.h>
#include <set>
#include <string>
#include <qrencode.h>
// The framework decodes skin images with stb_image: the same decoder shows the picture here.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

#include "CodePage.h"
#include "DesCrypt.h"
#include "EngineBaseSupport.h"
#include "Md5A.h"
#include "QrCode.h"

namespace {

uint32_t Get32(const std::string& b, size_t at)
{
    return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 | static_cast<uint8_t>(b[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

uint16_t Get16(const std::string& b, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(QrBitmap, Text1234IsAVersion1SymbolOf168By168Pixels)
{
    enginebase::ScratchDir dir;
    const std::wstring path = dir / L"wberweima.bmp";
    ASSERT_TRUE(WriteQrBitmap("1234", WideToAnsi(path).c_str()));
    std::string b;
    ASSERT_TRUE(enginebase::ReadWholeFile(path, b));
    ASSERT_EQ(b.size(), 54u + 84672u);

    EXPECT_EQ(b.substr(0, 2), "BM");
    EXPECT_EQ(Get32(b, 2), 54u + 84672u);
    EXPECT_EQ(Get32(b, 6), 0u);
    EXPECT_EQ(Get32(b, 10), 54u);
    EXPECT_EQ(Get32(b, 14), 40u);
    EXPECT_EQ(static_cast<int32_t>(Get32(b, 18)), 168);
    EXPECT_EQ(static_cast<int32_t>(Get32(b, 22)), -168);
    EXPECT_EQ(Get16(b, 26), 1u);
    EXPECT_EQ(Get16(b, 28), 24u);
    for (size_t at = 30; at < 54; at += 4)
        EXPECT_EQ(Get32(b, at), 0u) << "offset " << at;

    // Every pixel is its module's colour: dark (bit 0) black, light white, 8 x 8 per module,
    // rows from the top.
    QRcode* code = QRcode_encodeString("1234", 0, QR_ECLEVEL_H, QR_MODE_8, 1);
    ASSERT_NE(code, nullptr);
    ASSERT_EQ(code->width, 21);
    size_t wrong = 0;
    for (int y = 0; y < 168; ++y) {
        for (int x = 0; x < 168; ++x) {
            bool dark = code->data[(y / 8) * 21 + x / 8] & 1;
            for (int c = 0; c < 3; ++c)
                if (static_cast<uint8_t>(b[54 + (y * 168 + x) * 3 + c]) != (dark ? 0 : 255))
                    ++wrong;
        }
    }
    QRcode_free(code);
    EXPECT_EQ(wrong, 0u);
}

// The picture as GDI draws it from the file's own headers: upright, finder patterns in three
// corners.
TEST(QrBitmap, TheSystemDrawsTheSymbolUpright)
{
    enginebase::ScratchDir dir;
    const std::wstring path = dir / L"qr.bmp";
    ASSERT_TRUE(WriteQrBitmap("1234", WideToAnsi(path).c_str()));
    std::string b;
    ASSERT_TRUE(enginebase::ReadWholeFile(path, b));
    ASSERT_EQ(b.size(), 54u + 84672u);
    const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(b.data() + 14);

    BITMAPINFO target = {};
    target.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    target.bmiHeader.biWidth = 168;
    target.bmiHeader.biHeight = 168;
    target.bmiHeader.biPlanes = 1;
    target.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP canvas = CreateDIBSection(nullptr, &target, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(canvas, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, canvas);
    EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 168, 168, 0, 0, 0, 168, b.data() + 54, info, DIB_RGB_COLORS), 168);
    // The centre of each finder pattern (module 3, 3 from its corner) is dark; the separator
    // beside the top-left finder (module 7) is light; the bottom-right corner holds no finder.
    EXPECT_EQ(GetPixel(dc, 28, 28), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 168 - 28, 28), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 28, 168 - 28), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 60, 4), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 4, 60), RGB(255, 255, 255));
    QRcode* code = QRcode_encodeString("1234", 0, QR_ECLEVEL_H, QR_MODE_8, 1);
    ASSERT_NE(code, nullptr);
    for (int m : {0, 7, 13, 20}) {
        EXPECT_EQ(GetPixel(dc, 20 * 8 + 4, m * 8 + 4), (code->data[m * 21 + 20] & 1) ? RGB(0, 0, 0) : RGB(255, 255, 255)) << m;
        EXPECT_EQ(GetPixel(dc, m * 8 + 4, 20 * 8 + 4), (code->data[20 * 21 + m] & 1) ? RGB(0, 0, 0) : RGB(255, 255, 255)) << m;
    }
    QRcode_free(code);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(canvas);
}

// The framework's image decoder reads the negative height as rows from the top.
TEST(QrBitmap, TheFrameworksDecoderReadsItUpright)
{
    enginebase::ScratchDir dir;
    const std::wstring path = dir / L"qr.bmp";
    ASSERT_TRUE(WriteQrBitmap("V20170904,10001", WideToAnsi(path).c_str()));
    std::string b;
    ASSERT_TRUE(enginebase::ReadWholeFile(path, b));
    int w = 0, h = 0, comp = 0;
    unsigned char* pixels = stbi_load_from_memory(reinterpret_cast<const unsigned char*>(b.data()),
                                                  static_cast<int>(b.size()), &w, &h, &comp, 4);
    ASSERT_NE(pixels, nullptr);
    QRcode* code = QRcode_encodeString("V20170904,10001", 0, QR_ECLEVEL_H, QR_MODE_8, 1);
    ASSERT_NE(code, nullptr);
    ASSERT_EQ(w, code->width * 8);
    ASSERT_EQ(h, code->width * 8);
    size_t wrong = 0;
    for (int y = 4; y < h; y += 8)
        for (int x = 4; x < w; x += 8)
            if ((pixels[(y * w + x) * 4] == 0) != static_cast<bool>(code->data[(y / 8) * code->width + x / 8] & 1))
                ++wrong;
    EXPECT_EQ(wrong, 0u);
    QRcode_free(code);
    stbi_image_free(pixels);
}

TEST(QrBitmap, ANewCodeReplacesTheOldAndAFailureLeavesNoPicture)
{
    enginebase::ScratchDir dir;
    const std::wstring path = dir / L"qr.bmp";
    const std::string ansi = WideToAnsi(path);
    ASSERT_TRUE(enginebase::WriteWholeFile(path, "foreign picture"));
    ASSERT_TRUE(WriteQrBitmap("1234", ansi.c_str()));
    std::string first;
    ASSERT_TRUE(enginebase::ReadWholeFile(path, first));
    EXPECT_EQ(first.size(), 54u + 84672u);
    ASSERT_TRUE(WriteQrBitmap("V20170904,10001", ansi.c_str()));
    std::string second;
    ASSERT_TRUE(enginebase::ReadWholeFile(path, second));
    EXPECT_NE(first, second);
    EXPECT_FALSE(Exists(path + L".tmp"));

    // Too long for any symbol at level H: the old code must not stay on screen.
    std::string tooLong(3000, 'x');
    EXPECT_FALSE(WriteQrBitmap(tooLong.c_str(), ansi.c_str()));
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(Exists(path + L".tmp"));

    // A folder that does not exist cannot take the file.
    EXPECT_FALSE(WriteQrBitmap("1234", WideToAnsi(dir / L"no\\such\\qr.bmp").c_str()));
    EXPECT_FALSE(WriteQrBitmap(nullptr, ansi.c_str()));
}

TEST(Base64, Rfc4648Vectors)
{
    struct { const char* in; const char* out; } cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& c : cases) {
        char out[32];
        memset(out, 'Z', sizeof out);
        size_t n = Base64Encode(out, reinterpret_cast<const unsigned char*>(c.in), strlen(c.in));
        EXPECT_EQ(n, strlen(c.out)) << c.in;
        EXPECT_STREQ(out, c.out) << c.in;
    }
    const unsigned char bytes[] = {0x00, 0xff, 0xfe, 0x3e, 0x3f};
    char out[16];
    EXPECT_EQ(Base64Encode(out, bytes, 5), 8u);
    EXPECT_STREQ(out, "AP/+Pj8=");
}

std::string Base64Decode(const std::string& text)
{
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    uint32_t acc = 0;
    int bits = 0;
    for (char c : text) {
        size_t v = alphabet.find(c);
        if (v == std::string::npos)
            break;
        acc = acc << 6 | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xff);
        }
    }
    return out;
}

// What a reader of the customer page's code does: undo base64, drop the salt, unmask.
std::string Unscramble(const char* scrambled, std::string* salt)
{
    std::string bytes = Base64Decode(scrambled);
    if (bytes.size() < 8)
        return std::string();
    *salt = bytes.substr(0, 8);
    const std::string mask = CMd5A().StringMd5Hex(g_desKeyText);
    std::string plain = bytes.substr(8);
    for (size_t k = 0; k < plain.size(); ++k)
        plain[k] = static_cast<char>(plain[k] ^ mask[k % 32]);
    return plain;
}

TEST(ScrambleText, UnscramblingRecoversTheTextAndTheSaltIsOneOfAHundred)
{
    std::set<std::string> salts;
    for (int r = 0; r < 100; ++r)
        salts.insert(CMd5A().StringMd5Hex(std::to_string(r)).substr(0, 8));
    const std::string texts[] = {"V20170904,10001", "", "x", std::string(85, 'q'),
                                 "V20170904," + std::string("\xD0\xC7\xBA\xD3")};
    for (const std::string& text : texts) {
        char out[128];
        ASSERT_TRUE(ScrambleText(text.c_str(), g_desKeyText, out, sizeof out)) << text;
        std::string salt;
        EXPECT_EQ(Unscramble(out, &salt), text);
        EXPECT_EQ(salts.count(salt), 1u) << salt;
        EXPECT_EQ(strlen(out), (text.size() + 8 + 2) / 3 * 4);
    }
}

TEST(ScrambleText, SameSecondSameOutput)
{
    char a[128], b[128];
    for (int attempt = 0; attempt < 5; ++attempt) {
        time_t before = time(nullptr);
        ASSERT_TRUE(ScrambleText("V20170904,10001", g_desKeyText, a, sizeof a));
        ASSERT_TRUE(ScrambleText("V20170904,10001", g_desKeyText, b, sizeof b));
        if (time(nullptr) == before) {
            EXPECT_STREQ(a, b);
            return;
        }
    }
    FAIL() << "never two calls within one second";
}

TEST(ScrambleText, ATextThatDoesNotFitIsRefused)
{
    char out[128];
    memset(out, 'Z', sizeof out);
    std::string fits(85, 'a'), tooLong(86, 'a');
    EXPECT_TRUE(ScrambleText(fits.c_str(), g_desKeyText, out, sizeof out));
    EXPECT_EQ(strlen(out), 124u);
    memset(out, 'Z', sizeof out);
    EXPECT_FALSE(ScrambleText(tooLong.c_str(), g_desKeyText, out, sizeof out));
    EXPECT_STREQ(out, "");
    char small[16];
    EXPECT_FALSE(ScrambleText("abcd", g_desKeyText, small, sizeof small));  // 12 bytes: 16 characters + 1
    EXPECT_STREQ(small, "");
    EXPECT_TRUE(ScrambleText("abcd", g_desKeyText, out, 17));
    EXPECT_FALSE(ScrambleText(nullptr, g_desKeyText, out, sizeof out));
}

}  // namespace
