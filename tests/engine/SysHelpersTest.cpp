#include <winsock2.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <locale.h>
#include "ChildProcess.h"
#include "EngineBaseSupport.h"
#include "SysHelpers.h"

using enginebase::ScratchDir;

namespace {

std::wstring ExeDirectory()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path);
    return s.substr(0, s.rfind(L'\\') + 1);
}

}  // namespace

TEST(SysHelpers, AppDirectoryIsTheExecutablesDirectoryAndCached)
{
    const wchar_t* first = GetAppDirectory();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ToLowerW(first), ToLowerW(ExeDirectory()));
    EXPECT_EQ(first[wcslen(first) - 1], L'\\');
    EXPECT_EQ(GetAppDirectory(), first);
}

TEST(SysHelpers, AppDirectoryOfAProgramInADirectoryUnderTheDriveRoot)
{
    // A copy of this test program, started from a directory "x", reports its answer in a file.
    ScratchDir dir;
    std::wstring sub = dir / L"x";
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    std::wstring copy = sub + L"\\probe.exe";
    ASSERT_TRUE(CopyFileW((ExeDirectory() + L"engine_tests.exe").c_str(), copy.c_str(), FALSE));
    std::wstring out = dir / L"out.txt";
    std::wstring cmd = L"\"" + copy + L"\" --gtest_filter=SysHelpers.ProbeWriteAppDirectory";
    SetEnvironmentVariableW(L"TOLLVANE_PROBE_OUT", out.c_str());
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(L"TOLLVANE_PROBE_OUT", nullptr);
    ASSERT_TRUE(started);
    {
        testsupport::ChildProcess child(pi);
        EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    }
    std::string bytes;
    ASSERT_TRUE(enginebase::ReadWholeFile(out, bytes));
    std::wstring reported(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    EXPECT_EQ(ToLowerW(reported), ToLowerW(sub + L"\\"));
}

// Runs only as the second process of the test above (it does nothing otherwise).
TEST(SysHelpers, ProbeWriteAppDirectory)
{
    wchar_t out[MAX_PATH];
    if (!GetEnvironmentVariableW(L"TOLLVANE_PROBE_OUT", out, MAX_PATH))
        return;
    const wchar_t* dir = GetAppDirectory();
    enginebase::WriteWholeFile(out, std::string(reinterpret_cast<const char*>(dir), wcslen(dir) * sizeof(wchar_t)));
}

TEST(SysHelpers, WinsockStartsAndStops)
{
    InitWinsock();
    WSADATA data;
    // A running Winsock answers a second start-up too; balance both.
    EXPECT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    EXPECT_EQ(LOBYTE(data.wVersion), 2);
    EXPECT_EQ(HIBYTE(data.wVersion), 2);
    WSACleanup();
    CleanupWinsock();
}

TEST(SysHelpers, RegistryReadsBoundedAndTreatsOverlongValuesAsMissing)
{
    wchar_t keyName[80];
    wsprintfW(keyName, L"Software\\TollvaneTests\\Reg%lu", GetCurrentProcessId());
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    const wchar_t one[] = L"1";
    RegSetValueExW(created, L"TestCheck", 0, REG_SZ, reinterpret_cast<const BYTE*>(one), sizeof(one));
    std::wstring longText(300, L'7');
    RegSetValueExW(created, L"Long", 0, REG_SZ, reinterpret_cast<const BYTE*>(longText.c_str()),
                   static_cast<DWORD>((longText.size() + 1) * sizeof(wchar_t)));
    // 126 characters and a terminator fill the room but its last two bytes; one more is too long.
    std::wstring edge(126, L'e');
    RegSetValueExW(created, L"Edge", 0, REG_SZ, reinterpret_cast<const BYTE*>(edge.c_str()),
                   static_cast<DWORD>((edge.size() + 1) * sizeof(wchar_t)));
    std::wstring over(127, L'o');
    RegSetValueExW(created, L"Over", 0, REG_SZ, reinterpret_cast<const BYTE*>(over.c_str()),
                   static_cast<DWORD>((over.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(created);

    CRegistry reg;
    HKEY key = nullptr;
    ASSERT_TRUE(reg.OpenKey(HKEY_CURRENT_USER, keyName, key, KEY_ALL_ACCESS));
    wchar_t buf[129];
    DWORD size = 256;
    wmemset(buf, L'#', 129);
    EXPECT_TRUE(reg.QueryValue(key, L"TestCheck", buf, &size));
    EXPECT_STREQ(buf, L"1");
    EXPECT_EQ(size, sizeof(one));

    wmemset(buf, L'#', 129);
    size = 256;
    EXPECT_TRUE(reg.QueryValue(key, L"Edge", buf, &size));
    EXPECT_EQ(std::wstring(buf), edge);
    EXPECT_EQ(size, 254u);
    EXPECT_EQ(buf[127], 0);     // the last character of the room stays a terminator
    EXPECT_EQ(buf[128], L'#');  // nothing written past the room

    for (const wchar_t* name : {L"Over", L"Long", L"Missing"}) {
        wmemset(buf, L'#', 129);
        size = 256;
        EXPECT_FALSE(reg.QueryValue(key, name, buf, &size)) << name;
        EXPECT_EQ(size, 0u);
        for (int i = 0; i < 128; ++i)
            ASSERT_EQ(buf[i], 0) << name << " at " << i;
        EXPECT_EQ(buf[128], L'#');
    }
    EXPECT_FALSE(reg.QueryValue(key, nullptr, buf, &size));
    EXPECT_FALSE(reg.QueryValue(nullptr, L"TestCheck", buf, &size));
    EXPECT_TRUE(reg.CloseKey(key));
    EXPECT_FALSE(reg.CloseKey(nullptr));

    HKEY none = nullptr;
    EXPECT_FALSE(reg.OpenKey(HKEY_CURRENT_USER, L"Software\\TollvaneTests\\NoSuchKey\\Deeper", none, KEY_READ));
    EXPECT_FALSE(reg.OpenKey(nullptr, keyName, none, KEY_READ));
    EXPECT_FALSE(reg.OpenKey(HKEY_CURRENT_USER, nullptr, none, KEY_READ));
    RegDeleteKeyW(HKEY_CURRENT_USER, keyName);
}

TEST(SysHelpers, NamedMutexReportsAnExistingMutex)
{
    char name[64];
    wsprintfA(name, "tvt_named_%lu_%lu", GetCurrentProcessId(), GetTickCount());
    CNamedMutex first(name);
    EXPECT_NE(first.GetHandle(), nullptr);
    EXPECT_FALSE(first.AlreadyExists());
    {
        CNamedMutex second(name);
        EXPECT_TRUE(second.AlreadyExists());
        EXPECT_NE(second.GetHandle(), nullptr);
        second.Close();
        EXPECT_EQ(second.GetHandle(), nullptr);
        second.Close();
    }
    first.Close();
    CNamedMutex again(name);
    EXPECT_FALSE(again.AlreadyExists());
}

TEST(SysHelpers, NamedMutexHeldByAnotherProcessExists)
{
    char name[64];
    wsprintfA(name, "tvt_other_%lu_%lu", GetCurrentProcessId(), GetTickCount());
    enginebase::MutexHolderProcess holder(name, 1500);
    ASSERT_TRUE(holder.Ready());
    CNamedMutex mine(name);
    EXPECT_TRUE(mine.AlreadyExists());
    EXPECT_EQ(holder.Join(), 0u);
}

TEST(SysHelpers, FileMd5OfFiles)
{
    ScratchDir dir;
    std::string large;
    for (int i = 0; i < 3000; ++i)
        large += static_cast<char>(i % 251);
    struct Case {
        const wchar_t* name;
        std::string content;
        const char* md5;
    } cases[] = {
        {L"empty.bin", "", "d41d8cd98f00b204e9800998ecf8427e"},
        {L"abc.txt", "abc", "900150983cd24fb0d6963f7d28e17f72"},
        {L"large.bin", large, "a216503cb86d01a23e71e047d4ccf001"},  // spans several 1024-byte reads
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(enginebase::WriteWholeFile(dir / c.name, c.content));
        std::string out = "prefix:";
        EXPECT_EQ(GetFileMd5((dir / c.name).c_str(), out), 0u);
        EXPECT_EQ(out, std::string("prefix:") + c.md5);
    }
}

TEST(SysHelpers, FileMd5OfAFileWithAChineseName)
{
    ScratchDir dir;
    SKIP_WITHOUT_NON_ASCII_NAMES(dir.Path());
    ASSERT_TRUE(enginebase::WriteWholeFile(dir / L"\u4e2d\u6587.txt", "abc"));
    std::string out;
    EXPECT_EQ(GetFileMd5((dir / L"\u4e2d\u6587.txt").c_str(), out), 0u);
    EXPECT_EQ(out, "900150983cd24fb0d6963f7d28e17f72");
}

TEST(SysHelpers, FileMd5FailsWithoutAppending)
{
    ScratchDir dir;
    std::string out = "keep";
    EXPECT_EQ(GetFileMd5((dir / L"missing.bin").c_str(), out), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(out, "keep");

    std::wstring locked = dir / L"locked.bin";
    HANDLE writer = CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileMd5(locked.c_str(), out), static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(out, "keep");
    CloseHandle(writer);
}

TEST(SysHelpers, FileAndDirectoryTests)
{
    ScratchDir dir;
    ASSERT_TRUE(enginebase::WriteWholeFile(dir / L"f.txt", "x"));
    EXPECT_TRUE(FileExists(dir / L"f.txt"));
    EXPECT_FALSE(DirectoryExists(dir / L"f.txt"));
    EXPECT_TRUE(DirectoryExists(dir.Path()));
    EXPECT_FALSE(FileExists(dir.Path()));
    EXPECT_FALSE(FileExists(dir / L"none"));
    EXPECT_FALSE(DirectoryExists(dir / L"none"));

    struct {
        std::wstring in, out;
    } cases[] = {{L"", L""}, {L"C:", L"C:\\"}, {L"C:\\a\\", L"C:\\a\\"}, {L"a/b", L"a/b\\"}};
    for (auto& c : cases) {
        std::wstring s = c.in;
        AddTrailingBackslash(s);
        EXPECT_EQ(s, c.out);
    }
}

TEST(SysHelpers, CreateDirectoryTreeCreatesMissingParents)
{
    ScratchDir dir;
    std::string root = WideToAnsi(dir.Path());
    std::string path = root + "a\\b\\\\c";  // a doubled separator makes no empty part
    ASSERT_TRUE(CreateDirectoryTreeA(path.c_str()));
    EXPECT_TRUE(DirectoryExists(dir / L"a\\b\\c"));

    // Existing path: true, nothing new.
    FILETIME before = {}, after = {};
    WIN32_FILE_ATTRIBUTE_DATA info;
    GetFileAttributesExW((dir / L"a").c_str(), GetFileExInfoStandard, &info);
    before = info.ftLastWriteTime;
    EXPECT_TRUE(CreateDirectoryTreeA((root + "a").c_str()));
    GetFileAttributesExW((dir / L"a").c_str(), GetFileExInfoStandard, &info);
    after = info.ftLastWriteTime;
    EXPECT_EQ(CompareFileTime(&before, &after), 0);

    // A "/" ends the first part only; a drive-letter path with "/" after it splits there.
    std::string slashed = root + "s1\\s2";
    std::replace(slashed.begin(), slashed.begin() + 3, '\\', '/');
    EXPECT_TRUE(CreateDirectoryTreeA(slashed.c_str()));
    EXPECT_TRUE(DirectoryExists(dir / L"s1\\s2"));
}

TEST(SysHelpers, CreateDirectoryTreeWithChineseNames)
{
    ScratchDir dir;
    SKIP_WITHOUT_NON_ASCII_NAMES(dir.Path());
    std::string root = WideToAnsi(dir.Path());
    // "\x95\x5c" is a GBK character whose second byte is a backslash: it must stay one name.
    std::string path = root + "a\\\xd6\xd0\x95\x5c\\c";
    ASSERT_TRUE(CreateDirectoryTreeA(path.c_str()));
    EXPECT_TRUE(DirectoryExists(dir / L"a\\\u4e2d\u661e\\c"));
    EXPECT_TRUE(CreateDirectoryTreeW((dir / L"w1\\\u4e2d\u6587\\w3").c_str()));
    EXPECT_TRUE(DirectoryExists(dir / L"w1\\\u4e2d\u6587\\w3"));
}

TEST(SysHelpers, CreateDirectoryTreeRefusesLongPathsAndFiles)
{
    ScratchDir dir;
    std::string root = WideToAnsi(dir.Path());
    std::string longPath = root + std::string(260 - root.size(), 'd');
    ASSERT_EQ(longPath.size(), 260u);
    EXPECT_FALSE(CreateDirectoryTreeA(longPath.c_str()));
    std::wstring longW = dir.Path() + std::wstring(400, L'w');
    EXPECT_FALSE(CreateDirectoryTreeW(longW.c_str()));
    std::string farTooLong(5000, 'z');
    EXPECT_FALSE(CreateDirectoryTreeA(farTooLong.c_str()));

    ASSERT_TRUE(enginebase::WriteWholeFile(dir / L"file", "x"));
    EXPECT_TRUE(CreateDirectoryTreeA((root + "file").c_str()));  // exists, whatever it is
    EXPECT_FALSE(CreateDirectoryTreeW((dir / L"file").c_str()));  // not a directory
    EXPECT_FALSE(CreateDirectoryTreeW((dir / L"file\\sub").c_str()));

    EXPECT_TRUE(CreateDirectoryTreeW((dir / L"w1\\w2\\w3").c_str()));
    EXPECT_TRUE(DirectoryExists(dir / L"w1\\w2\\w3"));
    EXPECT_TRUE(CreateDirectoryTreeW((dir / L"w1").c_str()));
    EXPECT_FALSE(CreateDirectoryTreeA(nullptr));
    EXPECT_FALSE(CreateDirectoryTreeW(nullptr));
}

TEST(SysHelpers, CodePageConversions)
{
    ASSERT_EQ(GetACP(), 936u);
    EXPECT_EQ(WideToAnsi(L"\u4e2d\u6587a"), "\xd6\xd0\xce\xc4" "a");
    EXPECT_EQ(AnsiToWide("\xd6\xd0\xce\xc4" "a"), L"\u4e2d\u6587a");
    EXPECT_EQ(WideToUtf8(L"\u4e2d"), "\xe4\xb8\xad");
    EXPECT_EQ(AnsiToUtf8("\xd6\xd0 x"), "\xe4\xb8\xad x");
    EXPECT_EQ(WideToAnsi(L""), "");
    EXPECT_EQ(AnsiToWide(""), L"");
    // A character that GBK lacks becomes the code page's default character.
    EXPECT_EQ(WideToAnsi(L"a\u0e01b"), "a?b");
}

TEST(SysHelpers, UrlEncodeKeepsUrlCharactersAndEscapesTheRest)
{
    struct {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"http://h.example:8080/a/b c.txt?x=1&y=2#f", "http://h.example:8080/a/b%20c.txt?x=1&y=2#f"},
        {"dir/\xd6\xd0 file.dat", "dir/%E4%B8%AD%20file.dat"},
        {"-_.!~*'()", "-_.!~*'()"},
        {";/?:@&=$,#", ";/?:@&=$,#"},
        {"100%\\\"<>{}", "100%25%5C%22%3C%3E%7B%7D"},
        {"AZaz09", "AZaz09"},
    };
    for (auto& c : cases) {
        std::string out = "stale";
        EXPECT_TRUE(UrlEncode(c.in, out));
        EXPECT_EQ(out, c.out) << c.in;
    }
}

TEST(SysHelpers, ReplaceAllAndLowerCase)
{
    struct {
        std::string text, from, to, out;
    } cases[] = {
        {"a/b/c/", "/", "\\", "a\\b\\c\\"},
        {"aaa", "a", "aa", "aaaaaa"},  // replacement holding the pattern: no endless loop
        {"abab", "ab", "ab", "abab"},
        {"xyz", "q", "r", "xyz"},
        {"", "a", "b", ""},
        {"one two  two", "two", "", "one   "},
    };
    for (auto& c : cases)
        EXPECT_EQ(ReplaceAllA(c.text, c.from, c.to), c.out) << c.text;
    EXPECT_EQ(ReplaceAllW(L"x/\u4e2d/y", L"/", L"\\"), L"x\\\u4e2d\\y");
    setlocale(LC_ALL, "chs");  // as the updater runs: its first CIniFile sets it
    EXPECT_EQ(ToLowerW(L"ABC\u0414\u0416\u0391Z\u4e2d"), L"abc\u0434\u0436\u03b1z\u4e2d");
}

TEST(SysHelpers, Trimming)
{
    struct {
        std::string in, left, right, both;
    } cases[] = {
        {"  a b\t ", "a b\t ", "  a b", "a b"},
        {"\t\t", "", "", ""},
        {"", "", "", ""},
        {"x", "x", "x", "x"},
        {"\r\nx\r\n", "\r\nx\r\n", "\r\nx\r\n", "\r\nx\r\n"},
    };
    for (auto& c : cases) {
        std::string l = c.in, r = c.in, b = c.in;
        EXPECT_EQ(TrimLeft(l), c.left);
        EXPECT_EQ(TrimRight(r), c.right);
        EXPECT_EQ(Trim(b), c.both);
    }
    std::string s = "\r\nkey\r\n";
    EXPECT_EQ(TrimRight(s, "\r\n"), "\r\nkey");
}
