#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include <string>
#include "EngineBaseSupport.h"
#include "MsFile.h"
#include "SysHelpers.h"

using enginebase::ScratchDir;

namespace {

std::set<std::wstring> Names(const std::wstring& pattern)
{
    std::set<std::wstring> names;
    CMsFileFind find;
    if (!find.FindFile(pattern.c_str(), 0))
        return names;
    bool more = true;
    while (more) {
        more = find.FindNextFile();
        names.insert(find.GetFileName());
    }
    return names;
}

FILETIME ToFileTime(int64_t unixSeconds)
{
    ULONGLONG v = static_cast<ULONGLONG>(unixSeconds) * 10000000ULL + 116444736000000000ULL;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(v);
    ft.dwHighDateTime = static_cast<DWORD>(v >> 32);
    return ft;
}

}  // namespace

TEST(MsFileFind, EmptyDirectoryYieldsTheDotEntriesOnly)
{
    ScratchDir dir;
    std::set<std::wstring> names = Names(dir.Path() + L"*");
    EXPECT_EQ(names, (std::set<std::wstring>{L".", L".."}));
}

TEST(MsFileFind, WalksEntriesWithPathsAndAttributes)
{
    ScratchDir dir;
    ASSERT_TRUE(enginebase::WriteWholeFile(dir / L"a.txt", "12345"));
    ASSERT_TRUE(enginebase::WriteWholeFile(dir / L"archive.tar.gz", ""));
    ASSERT_TRUE(CreateDirectoryW((dir / L"sub").c_str(), nullptr));
    ASSERT_TRUE(enginebase::WriteWholeFile(dir / L"sys.bin", "s"));
    SetFileAttributesW((dir / L"sys.bin").c_str(), FILE_ATTRIBUTE_SYSTEM);

    std::wstring root = dir.Path();
    CMsFileFind find;
    EXPECT_EQ(find.GetFileName(), L"");
    EXPECT_EQ(find.GetLength(), 0u);
    EXPECT_FALSE(find.FindNextFile());  // no search yet
    ASSERT_TRUE(find.FindFile((root + L"*").c_str(), 0));
    EXPECT_EQ(ToLowerW(find.GetRoot()), ToLowerW(root));
    EXPECT_FALSE(find.IsDirectory());  // nothing current before the first step
    CTime t;
    EXPECT_FALSE(find.GetLastWriteTime(t));

    int seen = 0;
    bool more = true;
    while (more) {
        more = find.FindNextFile();
        std::wstring name = find.GetFileName();
        EXPECT_EQ(ToLowerW(find.GetFilePath()), ToLowerW(root + name));
        EXPECT_EQ(find.GetFileUri(), L"file://" + find.GetFilePath());
        if (name == L"." || name == L"..") {
            EXPECT_TRUE(find.IsDotEntry());
            continue;
        }
        EXPECT_FALSE(find.IsDotEntry());
        ++seen;
        if (name == L"a.txt") {
            EXPECT_EQ(find.GetLength(), 5u);
            EXPECT_EQ(find.GetFileTitle(), L"a");
            EXPECT_FALSE(find.IsDirectory());
            EXPECT_FALSE(find.IsSystem());
            FILETIME ft = {};
            EXPECT_TRUE(find.GetLastWriteTime(&ft));
            EXPECT_FALSE(find.GetLastWriteTime(static_cast<FILETIME*>(nullptr)));
            EXPECT_TRUE(find.GetLastWriteTime(t));
            EXPECT_EQ(t, CTime(ft));
            EXPECT_GT(t.GetTime(), 1500000000);
            CTime c, a;
            EXPECT_TRUE(find.GetCreationTime(c));
            EXPECT_TRUE(find.GetLastAccessTime(a));
        } else if (name == L"archive.tar.gz") {
            EXPECT_EQ(find.GetFileTitle(), L"archive.tar");
            EXPECT_EQ(find.GetLength(), 0u);
        } else if (name == L"sub") {
            EXPECT_TRUE(find.IsDirectory());
            EXPECT_TRUE(find.TestAttributes(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
        } else if (name == L"sys.bin") {
            EXPECT_TRUE(find.IsSystem());
            EXPECT_FALSE(find.IsTemporary());
        } else {
            ADD_FAILURE() << "unexpected entry";
        }
    }
    EXPECT_EQ(seen, 4);
    find.Close();
    EXPECT_EQ(find.GetFileName(), L"");
    EXPECT_FALSE(find.FindNextFile());
}

TEST(MsFileFind, PatternWithoutTrailingSeparatorAndFailures)
{
    ScratchDir dir;
    ASSERT_TRUE(enginebase::WriteWholeFile(dir / L"one.dat", "x"));
    ASSERT_TRUE(enginebase::WriteWholeFile(dir / L"two.txt", "x"));
    EXPECT_EQ(Names(dir.Path() + L"*.dat"), (std::set<std::wstring>{L"one.dat"}));

    CMsFileFind find;
    ASSERT_TRUE(find.FindFile((dir / L"one.dat").c_str(), 0));
    EXPECT_FALSE(find.FindNextFile());  // the only entry: handle it, then stop
    EXPECT_EQ(find.GetFileName(), L"one.dat");
    EXPECT_EQ(ToLowerW(find.GetFilePath()), ToLowerW(dir / L"one.dat"));

    EXPECT_FALSE(find.FindFile((dir / L"missing\\*").c_str(), 0));
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_EQ(find.GetFileName(), L"");
    std::wstring tooLong(300, L'a');
    EXPECT_FALSE(find.FindFile(tooLong.c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_ARGUMENTS));
}

TEST(MsFileFind, NullPatternSearchesTheCurrentDirectory)
{
    ScratchDir dir;
    ASSERT_TRUE(enginebase::WriteWholeFile(dir / L"here.txt", "x"));
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    SetCurrentDirectoryW(dir.Path().c_str());
    std::set<std::wstring> names;
    {
        CMsFileFind find;
        ASSERT_TRUE(find.FindFile(nullptr, 0));
        bool more = true;
        while (more) {
            more = find.FindNextFile();
            names.insert(find.GetFileName());
        }
        EXPECT_EQ(ToLowerW(find.GetRoot()), ToLowerW(dir.Path()));
    }
    SetCurrentDirectoryW(old);
    EXPECT_EQ(names.count(L"here.txt"), 1u);
}

TEST(MsFile, StatusOfAFile)
{
    ScratchDir dir;
    std::wstring path = dir / L"status.bin";
    ASSERT_TRUE(enginebase::WriteWholeFile(path, std::string(1234, 'z')));
    HANDLE f = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    FILETIME written = ToFileTime(1600000000), created = ToFileTime(1500000000);
    ASSERT_TRUE(SetFileTime(f, &created, nullptr, &written));
    CloseHandle(f);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);

    CMsFileStatus st;
    ASSERT_TRUE(CMsFile::GetStatus(path.c_str(), st));
    EXPECT_EQ(st.m_size, 1234);
    EXPECT_EQ(st.m_mtime.GetTime(), 1600000000);
    // Wine's host file systems keep no creation time and report the last-write time instead.
    EXPECT_TRUE(st.m_ctime.GetTime() == 1500000000 || st.m_ctime.GetTime() == 1600000000) << st.m_ctime.GetTime();
    EXPECT_NE(st.m_atime.GetTime(), 0);
    EXPECT_EQ(st.m_attribute & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(st.m_attribute & FILE_ATTRIBUTE_NORMAL, 0);
    EXPECT_EQ(ToLowerW(st.m_szFullName), ToLowerW(path));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);

    // A relative path comes back full.
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    SetCurrentDirectoryW(dir.Path().c_str());
    CMsFileStatus rel;
    EXPECT_TRUE(CMsFile::GetStatus(L".\\sub\\..\\status.bin", rel));
    SetCurrentDirectoryW(old);
    EXPECT_EQ(ToLowerW(rel.m_szFullName), ToLowerW(path));
}

TEST(MsFile, StatusFailures)
{
    ScratchDir dir;
    CMsFileStatus st;
    EXPECT_FALSE(CMsFile::GetStatus(nullptr, st));
    std::wstring tooLong(260, L'q');
    wcscpy(st.m_szFullName, L"untouched");
    EXPECT_FALSE(CMsFile::GetStatus(tooLong.c_str(), st));
    EXPECT_STREQ(st.m_szFullName, L"untouched");  // refused before asking the system
    EXPECT_FALSE(CMsFile::GetStatus((dir / L"missing.bin").c_str(), st));
    // A path that is short but becomes too long once made full.
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    SetCurrentDirectoryW(dir.Path().c_str());
    std::wstring relative(259 - 1, L'r');
    EXPECT_FALSE(CMsFile::GetStatus(relative.c_str(), st));
    SetCurrentDirectoryW(old);
    EXPECT_STREQ(st.m_szFullName, L"");
}

TEST(MsFile, FullPathAndRoot)
{
    wchar_t out[260];
    CFileException error;
    ASSERT_TRUE(MsFullPath(out, L"C:\\a\\b\\..\\c.txt", &error));
    EXPECT_EQ(ToLowerW(out), L"c:\\a\\c.txt");
    std::wstring tooLong = L"C:\\" + std::wstring(300, L'x');
    EXPECT_FALSE(MsFullPath(out, tooLong.c_str(), &error));
    EXPECT_EQ(error.m_cause, CFileException::badPath);

    std::wstring root;
    MsGetRoot(L"C:\\dir\\file.txt", root);
    EXPECT_EQ(root, L"C:\\");
    MsGetRoot(L"\\\\server\\share\\dir\\f", root);
    EXPECT_EQ(root, L"\\\\server\\share");
}

TEST(MsFile, RemoveDeletesOrThrows)
{
    ScratchDir dir;
    std::wstring path = dir / L"gone.txt";
    ASSERT_TRUE(enginebase::WriteWholeFile(path, "x"));
    EXPECT_NO_THROW(CMsFile::Remove(path.c_str()));
    EXPECT_FALSE(FileExists(path));

    struct {
        std::wstring path;
        int32_t cause, error;
    } cases[] = {
        {path, CFileException::fileNotFound, ERROR_FILE_NOT_FOUND},
        {dir / L"no\\such\\f.txt", CFileException::badPath, ERROR_PATH_NOT_FOUND},
    };
    for (auto& c : cases) {
        bool thrown = false;
        try {
            CMsFile::Remove(c.path.c_str());
        } catch (CFileException* e) {
            thrown = true;
            EXPECT_EQ(e->m_cause, c.cause);
            EXPECT_EQ(e->m_lOsError, c.error);
            EXPECT_EQ(e->m_strFileName, c.path);
            delete e;
        }
        EXPECT_TRUE(thrown);
    }

    // A file open without delete sharing: access or sharing failure, as a CException too.
    std::wstring busy = dir / L"busy.txt";
    ASSERT_TRUE(enginebase::WriteWholeFile(busy, "x"));
    HANDLE h = CreateFileW(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    bool caught = false;
    try {
        CMsFile::Remove(busy.c_str());
    } catch (CException* e) {
        caught = true;
        CFileException* fe = dynamic_cast<CFileException*>(e);
        ASSERT_NE(fe, nullptr);
        EXPECT_TRUE(fe->m_cause == CFileException::sharingViolation || fe->m_cause == CFileException::accessDenied);
        delete e;
    }
    CloseHandle(h);
    EXPECT_TRUE(caught);
}

TEST(FileException, CauseOfEveryErrorCode)
{
    struct {
        int32_t cause;
        std::initializer_list<int32_t> codes;
    } table[] = {
        {CFileException::none, {0}},
        {CFileException::fileNotFound, {2, 6, 18, 107}},
        {CFileException::badPath, {3, 15, 17, 34, 52, 53, 55, 67, 70, 85, 111, 123, 124, 125, 144, 154, 161, 206, 208, 267}},
        {CFileException::tooManyOpenFiles, {4, 36, 68, 113}},
        {CFileException::accessDenied, {5, 12, 19, 29, 54, 58, 64, 65, 71, 80, 82, 86, 170, 183, 999}},
        {CFileException::invalidFile, {11, 26, 60, 66, 114, 182, 191, 193}},
        {CFileException::removeCurrentDir, {16, 145}},
        {CFileException::directoryFull, {62}},
        {CFileException::badSeek, {24, 25, 27, 30, 131, 132}},
        {CFileException::hardIO, {20, 21, 22, 23, 57, 59, 88, 117, 995, 996, 997}},
        {CFileException::sharingViolation, {32}},
        {CFileException::lockViolation, {33, 108, 167}},
        {CFileException::diskFull, {39, 112}},
        {CFileException::endOfFile, {38}},
    };
    std::set<int32_t> listed;
    for (auto& row : table) {
        for (int32_t code : row.codes) {
            EXPECT_EQ(CFileException::OsErrorToCause(code), row.cause) << code;
            listed.insert(code);
        }
    }
    for (int32_t code = 0; code < 1200; ++code) {
        if (!listed.count(code)) {
            EXPECT_EQ(CFileException::OsErrorToCause(code), CFileException::genericException) << code;
        }
    }
    EXPECT_EQ(CFileException::OsErrorToCause(-5), CFileException::genericException);
    EXPECT_EQ(CFileException::OsErrorToCause(100000), CFileException::genericException);
    EXPECT_NO_THROW(CFileException::ThrowOsError(0, L"x"));
}

TEST(FileException, MessagesAreEmpty)
{
    CException base;
    wchar_t buf[16] = L"text";
    uint32_t help = 7;
    EXPECT_FALSE(base.GetErrorMessage(buf, 16, &help));
    EXPECT_EQ(help, 0u);
    EXPECT_STREQ(buf, L"");
    const CException& cbase = base;
    EXPECT_FALSE(cbase.GetErrorMessage(buf, 16));
    EXPECT_EQ(base.ReportError(), 0);
    EXPECT_EQ(base.m_bAutoDelete, 1);

    CFileException fe(CFileException::diskFull, 112, L"f");
    CException& asBase = fe;
    wcscpy(buf, L"text");
    help = 7;
    EXPECT_TRUE(asBase.GetErrorMessage(buf, 16, &help));
    EXPECT_EQ(help, 0u);
    EXPECT_STREQ(buf, L"text");  // no text written
    EXPECT_FALSE(asBase.GetErrorMessage(nullptr, 0));
    EXPECT_EQ(asBase.ReportError(), 0);
}
