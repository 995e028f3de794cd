// The console's small helpers: settings file, MD5, code-page conversions, "\u" unescaping.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <json/json.h>

#include "CodePage.h"
#include "EngineBaseSupport.h"
#include "Ini.h"
#include "Md5A.h"

namespace {

// "张三" in GBK, the console's code page under test.
const char kZhangSanGbk[] = "\xD5\xC5\xC8\xFD";

TEST(ConsoleIni, PathIsTheProgramsNameWithIniBesideIt)
{
    CIni ini;
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring expected(module);
    expected = expected.substr(0, expected.rfind(L'.')) + L".ini";
    EXPECT_EQ(ini.GetPath(), expected);
    EXPECT_EQ(ini.GetSection(), L"MainApp");
}

TEST(ConsoleIni, ValuesEndAtTheFirstSemicolonAndBooleansReadAsNumbers)
{
    enginebase::ScratchDir dir;
    CIni ini;
    ini.SetPath(dir / L"settings.ini");
    ASSERT_TRUE(ini.WriteString(L"acc", L"10001"));
    ASSERT_TRUE(ini.WriteString(L"pwd", L"first;second"));
    ASSERT_TRUE(ini.WriteString(L"wide", L"\u7532\uFF1B\u4E59"));
    ASSERT_TRUE(ini.WriteString(L"zero", L"0"));
    ASSERT_TRUE(ini.WriteString(L"two", L"2"));
    ASSERT_TRUE(ini.WriteBool(L"rempwd", false));

    EXPECT_EQ(ini.GetString(L"acc"), L"10001");
    EXPECT_EQ(ini.GetString(L"pwd"), L"first");
    EXPECT_EQ(ini.GetString(L"wide"), L"\u7532");
    EXPECT_EQ(ini.GetString(L"missing"), L"");
    EXPECT_EQ(ini.GetString(L"missing", L"fallback;cut"), L"fallback");

    struct { const wchar_t* key; bool def; bool expected; } cases[] = {
        {L"missing", true, true}, {L"missing", false, false}, {L"zero", true, false},
        {L"two", false, true},    {L"rempwd", true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ini.GetBool(c.key, c.def), c.expected) << c.key;
}

TEST(ConsoleIni, AGivenSectionStaysCurrent)
{
    enginebase::ScratchDir dir;
    CIni ini;
    ini.SetPath(dir / L"settings.ini");
    ASSERT_TRUE(ini.WriteString(L"k", L"other", L"Other"));
    EXPECT_EQ(ini.GetSection(), L"Other");
    EXPECT_EQ(ini.GetString(L"k"), L"other");
    EXPECT_EQ(ini.GetString(L"k", L"none", L"MainApp"), L"none");
    EXPECT_EQ(ini.GetSection(), L"MainApp");
}

// A program path too long for the settings path leaves it empty: defaults only, nothing written
// (the profile functions would otherwise fall back to the Windows directory's win.ini).
TEST(ConsoleIni, EmptyPathReadsDefaultsAndWritesNothing)
{
    CIni ini;
    ini.SetPath(L"");
    EXPECT_FALSE(ini.WriteString(L"acc", L"10001"));
    EXPECT_FALSE(ini.WriteBool(L"rempwd", true));
    EXPECT_EQ(ini.GetString(L"acc", L"d"), L"d");
    EXPECT_TRUE(ini.GetBool(L"rempwd", true));
    EXPECT_FALSE(ini.GetBool(L"rempwd", false));
    wchar_t value[64] = {};
    GetProfileStringW(L"MainApp", L"acc", L"", value, 64);
    EXPECT_STREQ(value, L"");
}

TEST(ConsoleMd5, Rfc1321TestSuite)
{
    struct { const char* text; const char* md5; } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    CMd5A md5;
    for (const auto& c : cases)
        EXPECT_EQ(md5.StringMd5Hex(c.text), c.md5) << '"' << c.text << '"';
    EXPECT_EQ(md5.StringMd5Hex(static_cast<const char*>(nullptr)), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(ConsoleMd5, FileDigestMatchesTheEnginesAndAMissingFileIsEmpty)
{
    enginebase::ScratchDir dir;
    CMd5A md5;
    // Sizes around the 512-byte pieces and the 64-byte blocks.
    for (size_t size : {0u, 55u, 56u, 64u, 511u, 512u, 513u, 100000u}) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i * 7 + i / 251);
        std::wstring path = dir / (L"f" + std::to_wstring(size));
        ASSERT_TRUE(enginebase::WriteWholeFile(path, bytes));
        std::string engine;
        ASSERT_EQ(GetFileMd5(path.c_str(), engine), 0u);
        EXPECT_EQ(md5.FileMd5Hex(WideToAnsi(path).c_str()), engine) << size;
        EXPECT_EQ(md5.BytesMd5Hex(bytes.data(), bytes.size()), engine) << size;
    }
    EXPECT_EQ(md5.FileMd5Hex(WideToAnsi(dir / L"missing").c_str()), "");
}

TEST(ConsoleCodePage, ConversionsUseTheAnsiCodePage)
{
    ASSERT_EQ(GetACP(), 936u) << "the tests run with LC_ALL=zh_CN.UTF-8";
    EXPECT_EQ(WideToAnsi(L"\u5F20\u4E09"), kZhangSanGbk);
    EXPECT_EQ(AnsiToWide(kZhangSanGbk), L"\u5F20\u4E09");
    EXPECT_EQ(WideToAnsi(L""), "");
    EXPECT_EQ(AnsiToWide(""), L"");
}

TEST(ConsoleCodePage, HexDigitValues)
{
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('a'), 10);
    EXPECT_EQ(HexDigitValue('F'), 15);
    EXPECT_EQ(HexDigitValue('g'), -1);
    EXPECT_EQ(HexDigitValue('\0'), -1);
}

TEST(ConsoleCodePage, UnescapeUnicodeTable)
{
    struct { const char* in; std::string out; } cases[] = {
        {R"(\u5f20\u4E09)", kZhangSanGbk},
        {R"(a\u0041b)", "aAb"},
        {R"(caf\u00e9)", "caf\xA8\xA6"},
        // JSON syntax stays escaped, for the parser.
        {R"(\u0022)", R"(\u0022)"},
        {R"(\u005c)", R"(\u005c)"},
        {R"(\u005C)", R"(\u005C)"},
        {R"(\u0000)", R"(\u0000)"},
        {R"(\u001f)", R"(\u001f)"},
        // An escaped backslash pair is copied as a pair: what follows is plain text.
        {R"(\\u0041)", R"(\\u0041)"},
        {R"(\\\u0041)", R"(\\A)"},
        // Incomplete or not hexadecimal: copied unchanged.
        {R"(\uZZZZ)", R"(\uZZZZ)"},
        {R"(\u12G4x)", R"(\u12G4x)"},
        {R"(end\u12)", R"(end\u12)"},
        {R"(end\u)", R"(end\u)"},
        {R"(end\)", R"(end\)"},
        {R"(\n\"\/)", R"(\n\"\/)"},
        {"", ""},
        // GBK characters whose trail byte is 0x5C: the backslash byte is escaped for the parser.
        {R"(\u6dfa)", "\x9c\\\\"},
        {R"(a\u79b1\u7C60b)", "a\xb6\\\\\xbb\\\\b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UnescapeUnicode(std::string(c.in)), c.out) << c.in;
}

// An escaped quote cannot end a string once unescaped, so no member can be smuggled in.
TEST(ConsoleCodePage, EscapedQuotesCannotInjectMembers)
{
    const std::string reply = R"({"code":"101","uname":"a\u0022,\u0022code\u0022:\u0022102"})";
    std::string text = UnescapeUnicode(reply);
    Json::Value root;
    Json::Reader reader;
    ASSERT_TRUE(reader.parse(text, root));
    EXPECT_EQ(root["code"].asString(), "101");
    EXPECT_EQ(root["uname"].asString(), R"(a","code":"102)");
}

}  // namespace
