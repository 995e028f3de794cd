// Faults of the updater's engine found in review: the file-find root of a long directory, the
// run-time locale set again under running threads, and a huge "filecount" in the server's list.
#include <gtest/gtest.h>
#include <windows.h>
#include <locale.h>
#include <string>
#include "EngineBaseSupport.h"
#include "IniFile.h"
#include "MsFile.h"
#include "SysHelpers.h"
#include "UpdateFileList.h"

using enginebase::ScratchDir;
using enginebase::WriteWholeFile;

// A directory part longer than the fixed split buffers hold (256 characters): the root is still
// the whole directory.
TEST(MsFileFindRoot, LongDirectoryPartKeepsTheWholeRoot)
{
    ScratchDir scratch;
    std::wstring dir = scratch.Path();  // ends with a backslash
    // Nested folders (created through the long-path prefix) until the directory part, from the
    // first backslash on, is 256 characters and the pattern still fits in MAX_PATH.
    int n = 0;
    while (dir.size() - 2 < 256) {
        size_t room = 256 - (dir.size() - 2);
        std::wstring part(room > 41 ? 40 : room - 1, L'a' + (n++ % 26));
        dir += part + L"\\";
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + dir).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
            << GetLastError();
    }
    ASSERT_EQ(dir.size() - 2, 256u);
    ASSERT_TRUE(WriteWholeFile(L"\\\\?\\" + dir + L"f.txt", "x"));
    std::wstring pattern = dir + L"*";
    ASSERT_LT(pattern.size(), size_t(MAX_PATH));

    CMsFileFind find;
    ASSERT_TRUE(find.FindFile(pattern.c_str())) << GetLastError();
    bool sawFile = false;
    bool more = true;
    while (more) {
        more = find.FindNextFile();
        EXPECT_EQ(find.GetRoot(), dir);
        if (find.GetFileName() == L"f.txt") {
            sawFile = true;
            EXPECT_EQ(find.GetFilePath(), dir + L"f.txt");
        }
    }
    EXPECT_TRUE(sawFile);
    find.Close();
    DeleteFileW((L"\\\\?\\" + dir + L"f.txt").c_str());
    while (dir.size() > scratch.Path().size()) {
        RemoveDirectoryW((L"\\\\?\\" + dir).c_str());
        dir.erase(dir.find_last_of(L'\\', dir.size() - 2) + 1);
    }
}

// The locale is set once per process (the program entry does it before any thread runs); later
// ini files leave it alone, so the worker's files do not set it under the window's formatting.
TEST(IniFileLocale, SetOnceNotByEveryIniFile)
{
    { CIniFile first; }
    std::string chs = setlocale(LC_ALL, nullptr);
    EXPECT_NE(chs.find("936"), std::string::npos) << chs;
    setlocale(LC_ALL, "C");
    {
        CIniFile later;
        SetProcessLocaleOnce();
        EXPECT_STREQ("C", setlocale(LC_ALL, nullptr));
    }
    setlocale(LC_ALL, chs.c_str());
}

// "filecount" says how many numbered entries to read; only the entries the section holds are
// read, so a huge count costs nothing, and numbering gaps are skipped as before.
TEST(ServerFileListCounts, HugeFileCountReadsOnlyTheEntriesThere)
{
    ScratchDir scratch;
    std::string ini =
        "[batfiles]\r\nfilecount=2000000000\r\nfile1=one.bat\r\nfile3=three.bat\r\nfile03=padded.bat\r\n"
        "fileX=x.bat\r\nFILE2=two.bat\r\n"
        "[appfiles]\r\nfilecount=2\r\nfile1=a.exe\r\nfile2=b.exe\r\nfile3=beyond.exe\r\n";
    ASSERT_TRUE(WriteWholeFile(scratch / L"netfilelist.ini", ini));
    CUpdateFileList list;
    EXPECT_EQ(list.CompareWithNetList(WideToAnsi(scratch / L"netfilelist.ini")), 0);
    EXPECT_EQ(list.GetBatchFiles(), (std::vector<std::string>{"one.bat", "two.bat", "three.bat"}));
    EXPECT_EQ(list.GetCompanionPrograms(), (std::vector<std::wstring>{L"a.exe", L"b.exe"}));
}
