#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "IniFile.h"
#include "SysHelpers.h"
#include "UpdateFileList.h"

namespace {

// A fresh directory under the temp folder, removed with everything in it afterwards.
class TempTree {
public:
    TempTree()
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static LONG counter = 0;
        m_root = std::wstring(base) + L"tvfl_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(InterlockedIncrement(&counter)) + L"\\";
        CreateDirectoryTreeW(m_root.c_str());
    }
    ~TempTree() { RemoveTree(m_root.substr(0, m_root.size() - 1)); }

    const std::wstring& Root() const { return m_root; }
    std::wstring Path(const std::wstring& rel) const { return m_root + rel; }

    std::wstring Write(const std::wstring& rel, const std::string& content) const
    {
        std::wstring path = m_root + rel;
        size_t slash = path.rfind(L'\\');
        CreateDirectoryTreeW(path.substr(0, slash).c_str());
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << "cannot create " << WideToAnsi(path);
        DWORD done = 0;
        if (!content.empty())
            WriteFile(h, content.data(), DWORD(content.size()), &done, nullptr);
        CloseHandle(h);
        return path;
    }

    // Sets the last-write time to the given seconds since 1970 (UTC).
    static void SetTime(const std::wstring& path, uint32_t seconds)
    {
        ULONGLONG t = (ULONGLONG(seconds) + 11644473600ULL) * 10000000ULL;
        FILETIME ft = {DWORD(t), DWORD(t >> 32)};
        HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        SetFileTime(h, nullptr, nullptr, &ft);
        CloseHandle(h);
    }

    static void RemoveTree(const std::wstring& dir)
    {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = fd.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                std::wstring path = dir + L"\\" + name;
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(path);
                else
                    DeleteFileW(path.c_str());
            } while (FindNextFileW(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryW(dir.c_str());
    }

private:
    std::wstring m_root;
};

std::string ReadAll(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Relative paths (lower-cased) of the scanned map, in its order.
std::vector<std::wstring> ScannedRelative(const CUpdateFileList& list)
{
    std::vector<std::wstring> out;
    std::wstring root = ToLowerW(list.GetRootDir());
    for (const auto& e : list.GetScannedMap())
        out.push_back(e.first.substr(root.size()));
    return out;
}

const CFileInfo* Scanned(const CUpdateFileList& list, const std::wstring& rel)
{
    auto it = list.GetScannedMap().find(ToLowerW(list.GetRootDir() + rel));
    return it == list.GetScannedMap().end() ? nullptr : it->second;
}

std::wstring Scan(CUpdateFileList& list, const TempTree& tree)
{
    std::wstring dir = tree.Root();
    ScanLocalFiles(list, dir, nullptr);
    return dir;
}

bool Contains(const std::vector<std::wstring>& v, const std::wstring& s)
{
    for (const auto& x : v)
        if (x == s)
            return true;
    return false;
}

const char kMd5Abc[] = "900150983cd24fb0d6963f7d28e17f72";    // "abc"
const char kMd5Hello[] = "5d41402abc4b2a76b9719d911017c592";  // "hello"

}  // namespace

TEST(UpdateFileList, ScanWritesTheCacheFileInItsFormat)
{
    TempTree tree;
    TempTree::SetTime(tree.Write(L"b.txt", "abc"), 1500000000u);
    TempTree::SetTime(tree.Write(L"Sub\\Empty.dat", ""), 1500000001u);
    TempTree::SetTime(tree.Write(L"a.txt", "hello"), 1500000002u);

    CUpdateFileList list;
    std::wstring dir = tree.Root().substr(0, tree.Root().size() - 1);  // no trailing backslash
    ScanLocalFiles(list, dir, nullptr);
    EXPECT_EQ(dir, tree.Root());
    EXPECT_EQ(list.GetRootDir(), tree.Root());

    std::string expected =
        "[0]\r\nmd5=5d41402abc4b2a76b9719d911017c592\r\npath=a.txt\r\nsize=5\r\ntime=1500000002\r\n"
        "[1]\r\nmd5=900150983cd24fb0d6963f7d28e17f72\r\npath=b.txt\r\nsize=3\r\ntime=1500000000\r\n"
        "[2]\r\nmd5=\r\npath=Sub\\Empty.dat\r\nsize=0\r\ntime=1500000001\r\n"
        "[Config]\r\nfiles=3\r\n";
    EXPECT_EQ(ReadAll(tree.Path(L"filelist.ini")), expected);

    const CFileInfo* info = Scanned(list, L"b.txt");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->path, tree.Path(L"b.txt"));
    EXPECT_EQ(info->md5, kMd5Abc);
    EXPECT_EQ(info->size, 3);
    EXPECT_EQ(info->time, 1500000000u);
    EXPECT_TRUE(list.GetHashQueue().empty());
}

TEST(UpdateFileList, SectionsBeyondNineAreWrittenInNameOrder)
{
    TempTree tree;
    for (int i = 0; i < 12; ++i)
        tree.Write(L"f" + std::to_wstring(100 + i) + L".txt", "x");
    CUpdateFileList list;
    Scan(list, tree);
    std::string text = ReadAll(tree.Path(L"filelist.ini"));
    std::vector<std::string> sections;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] == '[')
            sections.push_back(line);
    std::vector<std::string> expected = {"[0]\r", "[1]\r", "[10]\r", "[11]\r", "[2]\r", "[3]\r", "[4]\r",
                                         "[5]\r", "[6]\r", "[7]\r", "[8]\r", "[9]\r", "[Config]\r"};
    EXPECT_EQ(sections, expected);
    EXPECT_NE(text.find("[10]\r\nmd5=9dd4e461268c8034f5c8564e155c67a6\r\npath=f110.txt\r\n"), std::string::npos);
}

TEST(UpdateFileList, UnchangedFileKeepsItsCachedMd5AndIsNotRead)
{
    TempTree tree;
    std::wstring same = tree.Write(L"same.bin", "abc");
    std::wstring touched = tree.Write(L"dir\\touched.bin", "abc");
    std::wstring grown = tree.Write(L"grown.bin", "abc");
    TempTree::SetTime(same, 1400000000u);
    TempTree::SetTime(touched, 1400000000u);
    TempTree::SetTime(grown, 1400000000u);
    {
        CUpdateFileList first;
        Scan(first, tree);
    }

    // Plant an MD5 that no hashing would give for all three records.
    const std::string planted = "0123456789abcdef0123456789abcdef";
    {
        CIniFile ini;
        ASSERT_TRUE(ini.Load(WideToAnsi(tree.Path(L"filelist.ini"))));
        for (int n = 0; n < 3; ++n) {
            ASSERT_NE(ini.FindSection(std::to_string(n)), nullptr) << n;
            ini.FindSection(std::to_string(n))->SetValue("md5", planted);
        }
        ASSERT_TRUE(ini.Save(WideToAnsi(tree.Path(L"filelist.ini"))));
    }
    TempTree::SetTime(touched, 1400000005u);
    tree.Write(L"grown.bin", "abcd");
    TempTree::SetTime(grown, 1400000000u);

    // The unchanged file is locked against reading: a read would fail and give "".
    HANDLE lock = CreateFileW(same.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    CUpdateFileList list;
    Scan(list, tree);
    CloseHandle(lock);

    ASSERT_NE(Scanned(list, L"same.bin"), nullptr);
    EXPECT_EQ(Scanned(list, L"same.bin")->md5, planted);
    EXPECT_EQ(Scanned(list, L"same.bin")->path, same);
    ASSERT_NE(Scanned(list, L"dir\\touched.bin"), nullptr);
    EXPECT_EQ(Scanned(list, L"dir\\touched.bin")->md5, kMd5Abc);
    EXPECT_EQ(Scanned(list, L"dir\\touched.bin")->time, 1400000005u);
    ASSERT_NE(Scanned(list, L"grown.bin"), nullptr);
    EXPECT_EQ(Scanned(list, L"grown.bin")->md5, "e2fc714c4727ee9395f324cd2e7f331f");
    // Changed records of the cache stay behind in the cached map.
    EXPECT_EQ(list.GetCachedMap().size(), 2u);
    EXPECT_EQ(list.GetCachedMap().count(L"same.bin"), 0u);

    std::string text = ReadAll(tree.Path(L"filelist.ini"));
    EXPECT_NE(text.find("md5=" + planted + "\r\npath=same.bin\r\n"), std::string::npos);
}

TEST(UpdateFileList, ExclusionsApplyOnlyAtTheRoot)
{
    TempTree tree;
    const wchar_t* excluded[] = {
        L"download\\a.txt", L"UpgradeBak\\b.txt", L"MySql\\data\\c.txt", L"DbBack\\d.txt", L"Wendrake\\e.txt",
        L"web\\htdocs\\pos\\data\\upload\\analysipic\\f.txt", L"Audio\\audioconvert\\g.txt", L"filelist.ini",
        L"netfilelist.ini", L"data\\core.dat", L"update\\Talvoric\\Talvoric.zip", L"update\\Console\\Console.zip",
        L"update\\Audio\\Audio.zip", L"update\\Plimsel\\Plimsel.zip",
    };
    const wchar_t* scanned[] = {
        L"sub\\download\\a.txt", L"MySql\\other.txt", L"Audio\\x.txt", L"sub\\filelist.ini",
        L"sub\\data\\core.dat", L"update\\Console\\other.zip", L"downloads\\h.txt", L"web\\htdocs\\index.php",
    };
    for (const wchar_t* rel : excluded)
        tree.Write(rel, "x");
    for (const wchar_t* rel : scanned)
        tree.Write(rel, "x");

    CUpdateFileList list;
    Scan(list, tree);
    std::vector<std::wstring> found = ScannedRelative(list);
    for (const wchar_t* rel : scanned)
        EXPECT_TRUE(Contains(found, ToLowerW(rel))) << WideToAnsi(rel);
    EXPECT_EQ(found.size(), sizeof(scanned) / sizeof(scanned[0]));

    EXPECT_TRUE(list.IsExcluded(tree.Path(L"DOWNLOAD\\")));
    EXPECT_FALSE(list.IsExcluded(tree.Path(L"download")));
    EXPECT_TRUE(list.IsExcluded(tree.Path(L"Data\\Core.DAT")));
}

TEST(UpdateFileList, ShortcutsThumbnailsSystemAndTemporaryEntriesAreSkipped)
{
    TempTree tree;
    tree.Write(L"link.LNK", "x");
    tree.Write(L"deep\\er\\Thumbs.DB", "x");
    tree.Write(L"thumbs.db.txt", "x");
    tree.Write(L"lnk", "x");
    std::wstring hidden = tree.Write(L"hidden.txt", "x");
    std::wstring readOnly = tree.Write(L"readonly.txt", "x");
    std::wstring system = tree.Write(L"system.txt", "x");
    std::wstring temporary = tree.Write(L"temporary.txt", "x");
    tree.Write(L"sysdir\\inner.txt", "x");
    ASSERT_TRUE(SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(GetFileAttributesW(hidden.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW(system.c_str(), FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(SetFileAttributesW(tree.Path(L"sysdir").c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM));
    // Not every file system keeps the temporary attribute; the check below only counts where it does.
    SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_TEMPORARY);
    bool temporaryKept = (GetFileAttributesW(temporary.c_str()) & FILE_ATTRIBUTE_TEMPORARY) != 0;

    CUpdateFileList list;
    Scan(list, tree);
    std::vector<std::wstring> found = ScannedRelative(list);
    EXPECT_TRUE(Contains(found, L"hidden.txt"));
    EXPECT_TRUE(Contains(found, L"readonly.txt"));
    EXPECT_TRUE(Contains(found, L"thumbs.db.txt"));
    EXPECT_TRUE(Contains(found, L"lnk"));
    EXPECT_FALSE(Contains(found, L"link.lnk"));
    EXPECT_FALSE(Contains(found, L"deep\\er\\thumbs.db"));
    EXPECT_FALSE(Contains(found, L"system.txt"));
    EXPECT_FALSE(Contains(found, L"sysdir\\inner.txt"));
    if (temporaryKept) {
        EXPECT_FALSE(Contains(found, L"temporary.txt"));
    } else {
        std::printf("note: the file system here does not keep FILE_ATTRIBUTE_TEMPORARY\n");
    }
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(UpdateFileList, EmptyFilesAreRecordedWithoutHashing)
{
    TempTree tree;
    std::wstring empty = tree.Write(L"empty.txt", "");
    // Locked: hashing it would fail, yet an empty file is never read.
    HANDLE lock = CreateFileW(empty.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    CUpdateFileList list;
    Scan(list, tree);
    CloseHandle(lock);
    const CFileInfo* info = Scanned(list, L"empty.txt");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->md5, "");
    EXPECT_EQ(info->size, 0);
    EXPECT_NE(ReadAll(tree.Path(L"filelist.ini")).find("md5=\r\npath=empty.txt\r\nsize=0\r\n"), std::string::npos);
}

TEST(UpdateFileList, UnreadableFileGetsAnEmptyMd5)
{
    TempTree tree;
    std::wstring busy = tree.Write(L"busy.bin", "abc");
    HANDLE lock = CreateFileW(busy.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    CUpdateFileList list;
    Scan(list, tree);
    CloseHandle(lock);
    ASSERT_NE(Scanned(list, L"busy.bin"), nullptr);
    EXPECT_EQ(Scanned(list, L"busy.bin")->md5, "");
    EXPECT_EQ(Scanned(list, L"busy.bin")->size, 3);
}

TEST(UpdateFileList, CancelledHashingSavesWhatIsKnown)
{
    TempTree tree;
    std::wstring cached = tree.Write(L"cached.txt", "abc");
    TempTree::SetTime(cached, 1400000000u);
    {
        CUpdateFileList first;
        Scan(first, tree);
    }
    tree.Write(L"new1.txt", "1");
    tree.Write(L"new2.txt", "2");
    tree.Write(L"new3.txt", "3");
    tree.Write(L"zero.txt", "");

    int asked = 0;
    CUpdateFileList list;
    std::wstring dir = tree.Root();
    ScanLocalFiles(list, dir, [&asked] { return ++asked > 1; });  // one file hashed, then cancelled
    EXPECT_EQ(list.GetHashQueue().size(), 2u);
    std::vector<std::wstring> found = ScannedRelative(list);
    EXPECT_EQ(found.size(), 3u);
    EXPECT_TRUE(Contains(found, L"cached.txt"));
    EXPECT_TRUE(Contains(found, L"zero.txt"));

    CUpdateFileList reread;
    ASSERT_TRUE(reread.LoadFileList(WideToAnsi(tree.Path(L"filelist.ini"))));
    EXPECT_EQ(reread.GetCachedMap().size(), 3u);
    EXPECT_NE(ReadAll(tree.Path(L"filelist.ini")).find("[Config]\r\nfiles=3\r\n"), std::string::npos);
}

TEST(UpdateFileList, ParallelScanWritesWhatASequentialScanWrites)
{
    // Nested folders, Chinese names, an empty file, an unreadable file, files that take several
    // reads, and enough files that every worker gets some.
    TempTree tree;
    uint32_t t = 1500000000u;
    for (int i = 0; i < 48; ++i) {
        std::wstring dir = i % 3 == 0 ? L"" : i % 3 == 1 ? L"\u8d44\u6e90\\" : L"a\\b\\\u5b50\u76ee\u5f55\\";
        std::wstring name = (i % 4 == 0 ? L"\u6587\u4ef6" : L"file") + std::to_wstring(i) + L".bin";
        size_t size = i % 7 == 0 ? size_t(300000 + i * 4099) : size_t(1 + i * 37);
        std::string content(size, '\0');
        for (size_t k = 0; k < size; ++k)
            content[k] = char((k * 131 + i) & 0xFF);
        TempTree::SetTime(tree.Write(dir + name, content), t++);
    }
    TempTree::SetTime(tree.Write(L"a\\\u7a7a.txt", ""), t++);
    std::wstring locked = tree.Write(L"a\\b\\locked.bin", "locked");
    TempTree::SetTime(locked, t++);
    HANDLE lock = CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    // One file at a time, through the single-file step, into a list kept outside the tree.
    TempTree elsewhere;
    CUpdateFileList sequential;
    sequential.ScanDir(tree.Root(), 0);
    while (sequential.HashNextFile()) {
    }
    ASSERT_TRUE(sequential.SaveFileList(WideToAnsi(elsewhere.Path(L"filelist.ini"))));

    CUpdateFileList parallel;
    Scan(parallel, tree);
    CloseHandle(lock);

    std::string expected = ReadAll(elsewhere.Path(L"filelist.ini"));
    EXPECT_NE(expected.find("[Config]\r\nfiles=50\r\n"), std::string::npos);
    EXPECT_EQ(ReadAll(tree.Path(L"filelist.ini")), expected);
    ASSERT_EQ(parallel.GetScannedMap().size(), sequential.GetScannedMap().size());
    auto a = parallel.GetScannedMap().begin();
    for (const auto& b : sequential.GetScannedMap()) {
        EXPECT_EQ(a->first, b.first);
        EXPECT_EQ(a->second->md5, b.second->md5) << WideToAnsi(b.first);
        ++a;
    }
    EXPECT_TRUE(parallel.GetHashQueue().empty());
    ASSERT_NE(Scanned(parallel, L"a\\b\\locked.bin"), nullptr);
    EXPECT_EQ(Scanned(parallel, L"a\\b\\locked.bin")->md5, "");
    ASSERT_NE(Scanned(parallel, L"a\\\u7a7a.txt"), nullptr);
    EXPECT_EQ(Scanned(parallel, L"a\\\u7a7a.txt")->md5, "");
}

TEST(UpdateFileList, LoadStopsAtTheFirstMissingSection)
{
    TempTree tree;
    std::string text =
        "[Config]\r\nfiles=4\r\n"
        "[0]\r\npath=A\\One.txt\r\nsize=3\r\ntime=7\r\nmd5=AA\r\n"
        "[1]\r\npath=big.bin\r\nsize=3221225472\r\ntime=4294967295\r\nmd5=bb\r\n"
        "[3]\r\npath=three.txt\r\nsize=1\r\ntime=1\r\nmd5=cc\r\n"
        "[2x]\r\npath=x\r\n";
    tree.Write(L"filelist.ini", text);
    CUpdateFileList list;
    ASSERT_TRUE(list.LoadFileList(WideToAnsi(tree.Path(L"filelist.ini"))));
    const auto& cached = list.GetCachedMap();
    ASSERT_EQ(cached.size(), 2u);
    ASSERT_EQ(cached.count(L"a\\one.txt"), 1u);
    const CFileInfo* one = cached.at(L"a\\one.txt");
    EXPECT_EQ(one->path, L"A\\One.txt");
    EXPECT_EQ(one->md5, "AA");
    EXPECT_EQ(one->size, 3);
    EXPECT_EQ(one->time, 7u);
    // 3 GiB read back as a signed 32-bit number: it can never match the real size.
    ASSERT_EQ(cached.count(L"big.bin"), 1u);
    EXPECT_EQ(cached.at(L"big.bin")->size, int64_t(int32_t(3221225472u)));
    EXPECT_EQ(cached.at(L"big.bin")->time, 0xFFFFFFFFu);
    EXPECT_NE(list.FindUnchangedCached(L"a\\one.txt", 7, 3), nullptr);
    EXPECT_EQ(list.FindUnchangedCached(L"a\\one.txt", 8, 3), nullptr);
    EXPECT_EQ(list.FindUnchangedCached(L"a\\one.txt", 7, 4), nullptr);
    EXPECT_EQ(list.FindUnchangedCached(L"big.bin", 0xFFFFFFFFu, 3221225472LL), nullptr);

    CUpdateFileList missing;
    EXPECT_FALSE(missing.LoadFileList(WideToAnsi(tree.Path(L"nothing.ini"))));
    EXPECT_TRUE(missing.GetCachedMap().empty());
}

namespace {

// The cached records as reading the file through CIniFile gives them: sections "0", "1", ...
// until one is missing, each under its lower-cased path (a later one replacing an earlier one).
std::map<std::wstring, CFileInfo> ReadThroughIniFile(const std::string& path)
{
    std::map<std::wstring, CFileInfo> records;
    CIniFile ini;
    ini.Load(path);
    for (unsigned n = 0;; ++n) {
        CIniSection* section = ini.FindSection(std::to_string(n));
        if (!section)
            break;
        CFileInfo info;
        info.path = AnsiToWide(section->GetValue("path"));
        info.md5 = section->GetValue("md5");
        info.size = int64_t(int32_t(uint32_t(strtoul(section->GetValue("size").c_str(), nullptr, 10))));
        info.time = uint32_t(strtoul(section->GetValue("time").c_str(), nullptr, 10));
        records[ToLowerW(info.path)] = info;
    }
    return records;
}

}  // namespace

TEST(UpdateFileList, LoadReadsTheCacheFileAsTheIniReaderDoes)
{
    const std::string nul("a\0b", 3);
    const struct {
        const char* what;
        std::string text;
        size_t records;
    } cases[] = {
        {"plain", "[0]\r\nmd5=aa\r\npath=a.txt\r\nsize=3\r\ntime=7\r\n[1]\r\nmd5=bb\r\npath=B.txt\r\nsize=4\r\ntime=8\r\n[Config]\r\nfiles=2\r\n", 2},
        {"blanks, tabs and letter case", "  [ 0 ]\r\n\t PATH = x.txt \r\n Md5=AB\r\nSiZe\t=12\r\ntime= 9\r\n", 1},
        {"a repeated section goes on, the last value wins", "[0]\npath=a\nmd5=1\n[1]\npath=b\n[0]\nmd5=2\nsize=5\npath=c\n", 2},
        {"lines outside sections and without '='", "path=stray\n#note\n[0]\njunk\n=novalue\npath=p\n;x=y\n", 1},
        {"names that are not numbers", "[0]\npath=a\n[00]\npath=b\n[01]\npath=c\n[1x]\npath=d\n[]\npath=e\n[1]\npath=f\n[+2]\npath=g\n", 2},
        {"values keep blanks, '=' and brackets", "[0]\npath=a b.txt  \nmd5==x=\n[1]\npath=[x]\n", 2},
        {"line ends", "[0]\npath=a\r\r\n[1]\r\npath=b\rx\n\n[2]\npath=c", 3},
        {"huge and gapped numbers", "[0]\npath=a\n[4294967296]\npath=b\n[99999999999]\npath=c\n[3]\npath=d\n[1]\npath=e\n", 2},
        {"numbers as strtoul reads them", "[0]\npath=a\nsize=-1\ntime=4294967296\n[1]\npath=b\nsize= 12x\ntime=\n[2]\npath=c\nsize=3221225472\ntime=+5\n", 3},
        {"section lines with more after the bracket", "[0]\npath=a\n[0] x]\npath=b\n[0]\t\npath=c\n[1\npath=d\n[1]x\npath=e\n", 1},
        {"the same path twice", "[0]\npath=Dir\\A.txt\nmd5=1\n[1]\npath=dir\\a.TXT\nmd5=2\n", 1},
        {"a NUL inside a value", "[0]\npath=x\nmd5=" + nul + "\nsize=1" + nul + "2\n", 1},
        {"ANSI text", "[0]\npath=\xCA\xFD\xBE\xDD\\\xCE\xC4.txt\nmd5=cc\n", 1},
        {"empty", "", 0},
        {"no numbered section", "[Config]\nfiles=3\n[2]\npath=a\n", 0},
    };
    TempTree tree;
    const std::string path = WideToAnsi(tree.Path(L"filelist.ini"));
    for (const auto& c : cases) {
        tree.Write(L"filelist.ini", c.text);
        std::map<std::wstring, CFileInfo> expected = ReadThroughIniFile(path);
        EXPECT_EQ(expected.size(), c.records) << c.what;
        CUpdateFileList list;
        ASSERT_TRUE(list.LoadFileList(path)) << c.what;
        ASSERT_EQ(list.GetCachedMap().size(), expected.size()) << c.what;
        auto it = expected.begin();
        for (const auto& entry : list.GetCachedMap()) {
            EXPECT_EQ(entry.first, it->first) << c.what;
            EXPECT_EQ(entry.second->path, it->second.path) << c.what;
            EXPECT_EQ(entry.second->md5, it->second.md5) << c.what;
            EXPECT_EQ(entry.second->size, it->second.size) << c.what;
            EXPECT_EQ(entry.second->time, it->second.time) << c.what;
            ++it;
        }
    }
}

TEST(UpdateFileList, CacheFileIsTheTextTheIniWriterWrites)
{
    // Enough records for names of three digits, nested folders, Chinese names and empty files.
    TempTree tree;
    for (int i = 0; i < 120; ++i) {
        std::wstring dir = i % 3 == 0 ? L"" : i % 3 == 1 ? L"\u8d44\u6e90\\" : L"a\\B\\";
        TempTree::SetTime(tree.Write(dir + L"F" + std::to_wstring(i) + L".txt", std::string(size_t(i % 5), 'x')),
                          1500000000u + uint32_t(i));
    }
    CUpdateFileList list;
    Scan(list, tree);
    const std::string written = ReadAll(tree.Path(L"filelist.ini"));
    EXPECT_NE(written.find("[Config]\r\nfiles=120\r\n"), std::string::npos);

    // Read into the general INI tree and written again, the text comes out the same.
    CIniFile ini;
    ASSERT_TRUE(ini.Load(WideToAnsi(tree.Path(L"filelist.ini"))));
    std::ostringstream rewritten;
    ini.WriteTo(rewritten);
    EXPECT_EQ(written, rewritten.str());
}

namespace {

// Scans `tree`, writes `netfilelist.ini` (ANSI text) into it and compares.
int32_t Compare(CUpdateFileList& list, const TempTree& tree, const std::string& netList)
{
    Scan(list, tree);
    tree.Write(L"netfilelist.ini", netList);
    return AnalyseUpdate(list, tree.Root());
}

std::vector<std::wstring> PendingPaths(const CUpdateFileList& list)
{
    std::vector<std::wstring> out;
    for (const CFileInfo* info : list.GetPendingList())
        out.push_back(info->path);
    return out;
}

}  // namespace

TEST(UpdateFileList, ComparisonFindsWhatMustBeDownloaded)
{
    TempTree tree;
    tree.Write(L"same.txt", "abc");
    tree.Write(L"upper.txt", "abc");
    tree.Write(L"changed.txt", "abc");
    tree.Write(L"a\\b.txt", "hello");
    tree.Write(L"Long\\Path.txt", "hello");
    tree.Write(L"local-only.txt", "abc");
    tree.Write(L"empty.txt", "");
    std::string upperAbc = "900150983CD24FB0D6963F7D28E17F72";
    std::string net =
        "[0]\r\nurl=same.txt\r\npath=same.txt\r\nmd5=900150983cd24fb0d6963f7d28e17f72\r\n"
        "[1]\r\nurl=upper.txt\r\nmd5=" + upperAbc + "\r\n"
        "[2]\r\nurl=changed.txt\r\nmd5=" + std::string(kMd5Hello) + "\r\n"
        "[3]\r\nurl=a/b.txt\r\nmd5=" + std::string(kMd5Hello) + "\r\n"
        "[4]\r\nurl=x/y.txt\r\npath=Long\\Path.txt\r\nmd5=" + std::string(kMd5Hello) + "\r\n"
        "[5]\r\nurl=missing/new.txt\r\nmd5=" + std::string(kMd5Hello) + "\r\n"
        "[6]\r\nurl=filelist.ini\r\nmd5=" + std::string(kMd5Hello) + "\r\n"
        "[7]\r\nurl=empty.txt\r\nmd5=D41D8CD98F00B204E9800998ECF8427E\r\n"
        "[8]\r\nmd5=" + std::string(kMd5Hello) + "\r\n"
        "[10]\r\nurl=ignored.txt\r\n"
        "[batfiles]\r\nfilecount=3\r\nfile1=run\\a.bat\r\nfile3=b.bat\r\n"
        "[appfiles]\r\nfilecount=2\r\nfile1=Helper.exe\r\nfile2=\r\nmainserver=Pellmora.exe\r\n";
    CUpdateFileList list;
    int32_t pending = Compare(list, tree, net);

    // In server-map key order: the root's lower-cased path followed by the relative one.
    std::vector<std::wstring> expected = {L"", L"changed.txt", L"filelist.ini", L"missing\\new.txt"};
    EXPECT_EQ(PendingPaths(list), expected);
    EXPECT_EQ(pending, 4);
    EXPECT_EQ(list.GetPendingCount(), 4);
    ASSERT_FALSE(list.GetPendingList().empty());
    EXPECT_EQ(list.GetPendingList().back()->url, "missing/new.txt");
    EXPECT_EQ(list.GetPendingList().front()->url, "");

    std::vector<std::wstring> stays;
    for (const auto& e : list.GetServerMap())
        stays.push_back(e.second->path);
    std::vector<std::wstring> expectedStays = {L"a\\b.txt", L"empty.txt", L"Long\\Path.txt", L"same.txt", L"upper.txt"};
    EXPECT_EQ(stays, expectedStays);
    for (const auto& e : list.GetServerMap()) {
        EXPECT_EQ(e.first, ToLowerW(tree.Root()) + ToLowerW(e.second->path));
        EXPECT_EQ(e.second->size, 0);
        EXPECT_EQ(e.second->time, 0u);
    }

    std::vector<std::string> bats = {"run\\a.bat", "b.bat"};
    EXPECT_EQ(list.GetBatchFiles(), bats);
    std::vector<std::wstring> apps = {L"Helper.exe", L"Pellmora.exe"};
    EXPECT_EQ(list.GetCompanionPrograms(), apps);
    EXPECT_EQ(list.GetMainProgram(), L"Pellmora.exe");

    // The empty file stays "" in the cache file.
    EXPECT_NE(ReadAll(tree.Path(L"filelist.ini")).find("md5=\r\npath=empty.txt\r\n"), std::string::npos);
}

TEST(UpdateFileList, UnreadableAndEmptyFilesInTheComparison)
{
    TempTree tree;
    std::wstring busy = tree.Write(L"busy.bin", "abc");
    tree.Write(L"empty.bin", "");
    tree.Write(L"empty2.bin", "");
    std::string net =
        "[0]\r\nurl=busy.bin\r\nmd5=\r\n"
        "[1]\r\nurl=empty.bin\r\nmd5=d41d8cd98f00b204e9800998ecf8427e\r\n"
        "[2]\r\nurl=empty2.bin\r\nmd5=\r\n";
    HANDLE lock = CreateFileW(busy.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    CUpdateFileList list;
    int32_t pending = Compare(list, tree, net);
    CloseHandle(lock);
    // A file that could not be hashed is always pending; an empty file is present only when the
    // server lists the MD5 of zero bytes.
    std::vector<std::wstring> expected = {L"busy.bin", L"empty2.bin"};
    EXPECT_EQ(PendingPaths(list), expected);
    EXPECT_EQ(pending, 2);
}

namespace {

// Under Wine, names outside ASCII reach the disk only when the host has the test locale.
bool CanHoldChineseNames(const TempTree& tree)
{
    return CreateDirectoryW(tree.Path(L"\u6570\u636E").c_str(), nullptr) != FALSE;
}

}  // namespace

TEST(UpdateFileList, ChineseServerListInTheAnsiCodePage)
{
    if (GetACP() != 936)
        GTEST_SKIP() << "needs the ANSI code page 936";
    TempTree tree;
    std::string dirA = WideToAnsi(L"数据");
    std::string newA = WideToAnsi(L"新 文件.txt");
    ASSERT_EQ(dirA, "\xCA\xFD\xBE\xDD");  // GBK
    std::string net = "[0]\r\nurl=" + dirA + "/" + newA + "\r\nmd5=" + kMd5Hello + "\r\n" +
                      "[1]\r\nurl=x\r\npath=" + dirA + "\\" + newA + "2\r\nmd5=" + kMd5Hello + "\r\n" +
                      "[appfiles]\r\nfilecount=1\r\nfile1=" + WideToAnsi(L"助手.exe") + "\r\n";
    CUpdateFileList list;
    EXPECT_EQ(Compare(list, tree, net), 2);
    std::vector<std::wstring> expected = {L"数据\\新 文件.txt", L"数据\\新 文件.txt2"};
    EXPECT_EQ(PendingPaths(list), expected);
    std::vector<std::wstring> apps = {L"助手.exe"};
    EXPECT_EQ(list.GetCompanionPrograms(), apps);

    // The url stays ANSI text; the download address is its UTF-8 form, percent-encoded.
    ASSERT_FALSE(list.GetPendingList().empty());
    const CFileInfo* fresh = list.GetPendingList().front();
    EXPECT_EQ(fresh->url, dirA + "/" + newA);
    std::string url;
    UrlEncode("http://files.example/v1/" + fresh->url, url);
    EXPECT_EQ(url, "http://files.example/v1/%E6%95%B0%E6%8D%AE/%E6%96%B0%20%E6%96%87%E4%BB%B6.txt");
}

TEST(UpdateFileList, ChineseInstalledFileMatchesItsServerRecord)
{
    if (GetACP() != 936)
        GTEST_SKIP() << "needs the ANSI code page 936";
    TempTree tree;
    if (!CanHoldChineseNames(tree))
        GTEST_SKIP() << "the file system cannot hold Chinese names here (host locale zh_CN.UTF-8 missing)";
    tree.Write(L"数据\\文件.txt", "abc");
    tree.Write(L"数据\\旧.txt", "abc");
    std::string dirA = WideToAnsi(L"数据");
    std::string fileA = WideToAnsi(L"文件.txt");
    std::string oldA = WideToAnsi(L"旧.txt");
    std::string net = "[0]\r\nurl=" + dirA + "/" + fileA + "\r\nmd5=" + kMd5Abc + "\r\n" +
                      "[1]\r\nurl=" + dirA + "/" + oldA + "\r\nmd5=" + kMd5Hello + "\r\n";
    CUpdateFileList list;
    EXPECT_EQ(Compare(list, tree, net), 1);
    std::vector<std::wstring> expected = {L"数据\\旧.txt"};
    EXPECT_EQ(PendingPaths(list), expected);
    // The cache file holds the paths in the ANSI code page.
    EXPECT_NE(ReadAll(tree.Path(L"filelist.ini")).find("path=" + dirA + "\\" + fileA + "\r\n"), std::string::npos);
}

TEST(UpdateFileList, MissingServerListGivesNothingToDo)
{
    TempTree tree;
    tree.Write(L"a.txt", "abc");
    CUpdateFileList list;
    Scan(list, tree);
    EXPECT_EQ(AnalyseUpdate(list, tree.Root()), 0);
    EXPECT_TRUE(list.GetServerMap().empty());
    EXPECT_TRUE(list.GetBatchFiles().empty());
    EXPECT_TRUE(list.GetCompanionPrograms().empty());
    EXPECT_EQ(list.GetMainProgram(), L"");
}

TEST(UpdateFileList, Md5TextsCompareWithoutCase)
{
    EXPECT_TRUE(Md5Equal("abcdef", "ABCDEF"));
    EXPECT_TRUE(Md5Equal("", ""));
    EXPECT_FALSE(Md5Equal("abc", "abd"));
    EXPECT_FALSE(Md5Equal("abc", "abc "));
}
