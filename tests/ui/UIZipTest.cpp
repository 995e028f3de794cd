#include <gtest/gtest.h>
#include "UIZip.h"
#include "UIMarkup.h"
#include "UIManager.h"
#include "UIZipTestSupport.h"
#include <string>
#include <vector>

using namespace Veneer;

namespace {

// Reads a member in chunks; the last chunk holds what remains of the member's size.
std::string ExtractAll(HZIP hz, int index, unsigned size, unsigned chunk, ZRESULT* last)
{
    std::string out;
    std::vector<char> buf(chunk);
    for (int guard = 0; guard < 100000; ++guard) {
        ZRESULT zr = ExtractZipEntry(hz, index, buf.data(), chunk, ZIP_MEMORY);
        if (zr == ZR_MORE) {
            size_t n = size - out.size() < chunk ? size - out.size() : chunk;
            out.append(buf.data(), n);
            continue;
        }
        *last = zr;
        return out;
    }
    *last = 0xFFFFFFFF;
    return out;
}

ULONGLONG Ticks(const FILETIME& ft)
{
    return ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
}

ULONGLONG UnixToTicks(uint32_t t)
{
    return ((ULONGLONG)t + 11644473600ULL) * 10000000ULL;
}

} // namespace

TEST(UIZip, OpensFromMemoryFileAndHandleAndCountsMembers)
{
    TempFolder tmp;
    std::string zip = BuildZip({Make("a.txt", "alpha"), Make("dir/b.txt", Pattern(3000), true)});
    std::wstring file = tmp.Write(L"t.zip", "PREFIX" + zip);
    std::wstring plain = tmp.Write(L"p.zip", zip);

    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    // Positions are relative to where the handle stood when the archive was opened.
    SetFilePointer(h, 6, NULL, FILE_BEGIN);

    HZIP handles[] = {OpenZipHandle(zip.data(), (unsigned)zip.size(), ZIP_MEMORY),
                      OpenZipHandle(plain.c_str(), 0, ZIP_FILENAME), OpenZipHandle(h, 0, ZIP_HANDLE)};
    CloseHandle(h); // the archive holds a duplicate
    for (HZIP hz : handles) {
        ASSERT_NE(nullptr, hz) << std::hex << GetLastZipResult();
        int index = -2;
        TZipEntry ze;
        ASSERT_EQ(ZR_OK, FindZipEntry(hz, L"dir/b.txt", false, &index, &ze));
        EXPECT_EQ(1, index);
        EXPECT_EQ(1, ze.index);
        EXPECT_STREQ(L"dir/b.txt", ze.name);
        EXPECT_EQ(3000u, ze.unc_size);
        EXPECT_LT(ze.comp_size, 3000u);
        ZRESULT last;
        EXPECT_EQ(Pattern(3000), ExtractAll(hz, index, 3000, 700, &last));
        EXPECT_EQ(ZR_OK, last);
        ASSERT_EQ(ZR_OK, FindZipEntry(hz, L"a.txt", false, &index, &ze));
        EXPECT_EQ(0, index);
        EXPECT_EQ("alpha", ExtractAll(hz, index, 5, 5, &last));
        EXPECT_EQ(ZR_OK, last);
        EXPECT_EQ(ZR_OK, CloseZipHandle(hz));
    }

    CZipReader reader;
    ASSERT_EQ(ZR_OK, reader.Open(zip.data(), (unsigned)zip.size(), ZIP_MEMORY));
    EXPECT_EQ(ZR_ALREADYOPEN, reader.Open(zip.data(), (unsigned)zip.size(), ZIP_MEMORY));
    TZipEntryA za;
    ASSERT_EQ(ZR_OK, reader.GetItem(-1, &za));
    EXPECT_EQ(2, za.index);
    EXPECT_STREQ("", za.name);
    EXPECT_EQ(ZR_ARGS, reader.GetItem(-2, &za));
    EXPECT_EQ(ZR_ARGS, reader.GetItem(2, &za));
    ASSERT_EQ(ZR_OK, reader.GetItem(1, &za));
    EXPECT_STREQ("dir/b.txt", za.name);
    ASSERT_EQ(ZR_OK, reader.GetItem(0, &za));
    EXPECT_STREQ("a.txt", za.name);
}

TEST(UIZip, FindsByNameWithBackslashesAndCapitals)
{
    std::string zip = BuildZip({Make("skin/images/Logo.png", "png"), Make(Gbk(L"皮肤/主窗口.xml"), "<Window/>"),
                                Make("x.xml", "")});
    HZIP hz = OpenZipHandle(zip.data(), (unsigned)zip.size(), ZIP_MEMORY);
    ASSERT_NE(nullptr, hz);
    int index = -2;
    TZipEntry ze;
    EXPECT_EQ(ZR_OK, FindZipEntry(hz, L"skin\\images\\Logo.png", false, &index, &ze));
    EXPECT_EQ(0, index);
    EXPECT_EQ(ZR_NOTFOUND, FindZipEntry(hz, L"SKIN\\IMAGES\\LOGO.PNG", false, &index, &ze));
    EXPECT_EQ(-1, index);
    EXPECT_EQ(ZR_NOTFOUND, GetLastZipResult());
    EXPECT_EQ(ZR_OK, FindZipEntry(hz, L"SKIN\\IMAGES\\LOGO.PNG", true, &index, &ze));
    EXPECT_EQ(0, index);
    EXPECT_STREQ(L"skin/images/Logo.png", ze.name);
    EXPECT_EQ(ZR_NOTFOUND, FindZipEntry(hz, L"skin/images/Logo.pn", true, &index, &ze));
    EXPECT_EQ(ZR_NOTFOUND, FindZipEntry(hz, L"skin/images/Logo.png2", true, &index, &ze));
    // Names in the ANSI code page (GBK here), whose trail bytes may equal a backslash.
    ASSERT_EQ(ZR_OK, FindZipEntry(hz, L"皮肤\\主窗口.xml", true, &index, &ze));
    EXPECT_EQ(1, index);
    EXPECT_STREQ(L"皮肤/主窗口.xml", ze.name);
    std::wstring longName(256, L'a');
    EXPECT_EQ(ZR_NOTFOUND, FindZipEntry(hz, longName.c_str(), true, &index, &ze));
    EXPECT_EQ(ZR_OK, CloseZipHandle(hz));
}

TEST(UIZip, MemoryExtractionOfExactSizeReportsMoreThenNothing)
{
    std::string data = Pattern(20000);
    std::string zip = BuildZip({Make("stored.bin", data), Make("deflated.bin", data, true), Make("empty", "")});
    HZIP hz = OpenZipHandle(zip.data(), (unsigned)zip.size(), ZIP_MEMORY);
    ASSERT_NE(nullptr, hz);
    for (int index : {0, 1}) {
        std::string buf(data.size(), '\0');
        EXPECT_EQ(ZR_MORE, ExtractZipEntry(hz, index, &buf[0], (unsigned)buf.size(), ZIP_MEMORY));
        EXPECT_EQ(data, buf);
        std::string second(16, 'x');
        EXPECT_EQ(ZR_OK, ExtractZipEntry(hz, index, &second[0], (unsigned)second.size(), ZIP_MEMORY));
        EXPECT_EQ(std::string(16, 'x'), second);
    }
    char c = 'x';
    EXPECT_EQ(ZR_OK, ExtractZipEntry(hz, 2, &c, 1, ZIP_MEMORY));
    // Switching members in the middle starts the other one from its beginning.
    std::string part(100, '\0');
    EXPECT_EQ(ZR_MORE, ExtractZipEntry(hz, 1, &part[0], 100, ZIP_MEMORY));
    EXPECT_EQ(ZR_MORE, ExtractZipEntry(hz, 0, &part[0], 100, ZIP_MEMORY));
    EXPECT_EQ(data.substr(0, 100), part);
    EXPECT_EQ(ZR_ARGS, ExtractZipEntry(hz, 3, &part[0], 100, ZIP_MEMORY));
    EXPECT_EQ(ZR_ARGS, ExtractZipEntry(hz, -1, &part[0], 100, ZIP_MEMORY));
    EXPECT_EQ(ZR_OK, CloseZipHandle(hz));
}

TEST(UIZip, BadArgumentsSourcesAndArchives)
{
    TempFolder tmp;
    std::string zip = BuildZip({Make("a", "a")});
    EXPECT_EQ(nullptr, OpenZipHandle(zip.data(), (unsigned)zip.size(), 4));
    EXPECT_EQ(ZR_ARGS, GetLastZipResult());
    EXPECT_EQ(nullptr, OpenZipHandle((tmp.Path() + L"missing.zip").c_str(), 0, ZIP_FILENAME));
    EXPECT_EQ(ZR_NOFILE, GetLastZipResult());
    EXPECT_EQ(nullptr, OpenZipHandle((HANDLE)(ULONG_PTR)0x7FF0, 0, ZIP_HANDLE));
    EXPECT_EQ(ZR_DUPHANDLE, GetLastZipResult());
    std::string garbage(500, 'g');
    EXPECT_EQ(nullptr, OpenZipHandle(garbage.data(), (unsigned)garbage.size(), ZIP_MEMORY));
    EXPECT_EQ(ZR_CORRUPT, GetLastZipResult());

    // A pipe is no file on disk: it cannot be read as an archive.
    HANDLE r, w;
    ASSERT_TRUE(CreatePipe(&r, &w, NULL, 0));
    EXPECT_EQ(nullptr, OpenZipHandle(r, 0, ZIP_HANDLE));
    EXPECT_EQ(ZR_SEEK, GetLastZipResult());
    CloseHandle(r);
    CloseHandle(w);

    TZipEntry ze;
    int index;
    EXPECT_EQ(ZR_ARGS, FindZipEntry(NULL, L"a", false, &index, &ze));
    EXPECT_EQ(ZR_ARGS, ExtractZipEntry(NULL, 0, &index, 4, ZIP_MEMORY));
    EXPECT_EQ(ZR_ARGS, CloseZipHandle(NULL));
    int notZip[4] = {7, 0, 0, 0};
    EXPECT_EQ(ZR_ZMODE, FindZipEntry(notZip, L"a", false, &index, &ze));
    EXPECT_EQ(ZR_ZMODE, ExtractZipEntry(notZip, 0, &index, 4, ZIP_MEMORY));
    EXPECT_EQ(ZR_ZMODE, CloseZipHandle(notZip));
    EXPECT_EQ(ZR_ZMODE, GetLastZipResult());

    HZIP hz = OpenZipHandle(zip.data(), (unsigned)zip.size(), ZIP_MEMORY);
    ASSERT_NE(nullptr, hz);
    EXPECT_EQ(ZR_ARGS, ExtractZipEntry(hz, 0, &index, 4, 5));
    EXPECT_EQ(ZR_ARGS, ExtractZipEntry(hz, 1, (void*)L"x", 0, ZIP_FILENAME));
    EXPECT_EQ(ZR_OK, CloseZipHandle(hz));

    // A member whose local header is damaged.
    std::string bad = zip;
    bad[0] = 'X';
    hz = OpenZipHandle(bad.data(), (unsigned)bad.size(), ZIP_MEMORY);
    ASSERT_NE(nullptr, hz);
    EXPECT_EQ(ZR_CORRUPT, FindZipEntry(hz, L"a", false, &index, &ze));
    char c;
    EXPECT_EQ(ZR_CORRUPT, ExtractZipEntry(hz, 0, &c, 1, ZIP_MEMORY));
    EXPECT_EQ(ZR_OK, CloseZipHandle(hz));

    // Damaged compressed data.
    Member m = Make("d", Pattern(5000), true);
    std::string dz = BuildZip({m});
    dz[31] = (char)0xFF; // the first deflate block: a reserved block type
    hz = OpenZipHandle(dz.data(), (unsigned)dz.size(), ZIP_MEMORY);
    ASSERT_NE(nullptr, hz);
    ZRESULT last;
    ExtractAll(hz, 0, 5000, 64, &last);
    EXPECT_EQ(ZR_FLATE, last);
    EXPECT_EQ(ZR_OK, CloseZipHandle(hz));
}

TEST(UIZip, AttributesAndTimes)
{
    Member dosFile = Make("dos.txt", "x");
    dosFile.external = 0x20; // archive bit only, no Unix attributes
    Member unixFile = Make("unix.txt", "y");
    unixFile.external = 0x81A40000;
    Member readOnlyDos = Make("ro.txt", "z");
    readOnlyDos.external = 0x81A40001;
    Member dir = Make("folder/", "");
    dir.external = 0x41ED0010;
    Member hidden = Make("hidden", "h");
    hidden.external = 0x81800006;

    // "UT" block: flags 7, last-write, last-access, creation; after an unrelated block.
    Member ut = Make("ut.txt", "t");
    std::string other;
    Put16(other, 0x7875);
    Put16(other, 3);
    other += "abc";
    std::string block;
    Put16(block, 0x5455);
    Put16(block, 13);
    block += (char)7;
    Put32(block, 1700000000);
    Put32(block, 1700000100);
    Put32(block, 1700000200);
    ut.localExtra = other + block;

    // A "UT" block claiming three times but holding only one: the others stay from the DOS time.
    Member shortUt = Make("short.txt", "s");
    std::string sb;
    Put16(sb, 0x5455);
    Put16(sb, 5);
    sb += (char)7;
    Put32(sb, 1600000000);
    shortUt.localExtra = sb;

    // A "UT" block whose size runs past the end of the field.
    Member cutUt = Make("cut.txt", "c");
    std::string cb;
    Put16(cb, 0x5455);
    Put16(cb, 200);
    cb += (char)3;
    Put32(cb, 1500000000);
    cutUt.localExtra = cb;

    std::string zip = BuildZip({dosFile, unixFile, readOnlyDos, dir, hidden, ut, shortUt, cutUt});
    HZIP hz = OpenZipHandle(zip.data(), (unsigned)zip.size(), ZIP_MEMORY);
    ASSERT_NE(nullptr, hz);
    TZipEntry ze;
    int index;
    struct Case {
        const wchar_t* name;
        DWORD attr;
    };
    const Case cases[] = {
        {L"dos.txt", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY},
        {L"unix.txt", FILE_ATTRIBUTE_NORMAL},
        {L"ro.txt", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_READONLY},
        {L"folder/", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_DIRECTORY},
        {L"hidden", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(ZR_OK, FindZipEntry(hz, c.name, false, &index, &ze)) << c.name;
        EXPECT_EQ(c.attr, ze.attr) << c.name;
    }

    ASSERT_EQ(ZR_OK, FindZipEntry(hz, L"dos.txt", false, &index, &ze));
    FILETIME local;
    DosDateTimeToFileTime(0x5821, 0x6000, &local);
    FILETIME utc;
    LocalFileTimeToFileTime(&local, &utc);
    EXPECT_EQ(Ticks(utc), Ticks(ze.mtime));
    EXPECT_EQ(Ticks(utc), Ticks(ze.atime));
    EXPECT_EQ(Ticks(utc), Ticks(ze.ctime));

    ASSERT_EQ(ZR_OK, FindZipEntry(hz, L"ut.txt", false, &index, &ze));
    EXPECT_EQ(UnixToTicks(1700000000), Ticks(ze.mtime));
    EXPECT_EQ(UnixToTicks(1700000100), Ticks(ze.atime));
    EXPECT_EQ(UnixToTicks(1700000200), Ticks(ze.ctime));

    ASSERT_EQ(ZR_OK, FindZipEntry(hz, L"short.txt", false, &index, &ze));
    EXPECT_EQ(UnixToTicks(1600000000), Ticks(ze.mtime));
    EXPECT_EQ(Ticks(utc), Ticks(ze.atime));
    EXPECT_EQ(Ticks(utc), Ticks(ze.ctime));

    ASSERT_EQ(ZR_OK, FindZipEntry(hz, L"cut.txt", false, &index, &ze));
    EXPECT_EQ(UnixToTicks(1500000000), Ticks(ze.mtime));
    EXPECT_EQ(Ticks(utc), Ticks(ze.atime));
    EXPECT_EQ(ZR_OK, CloseZipHandle(hz));
}

TEST(UIZip, ExtractsToFilesAndHandlesInsideTheRootFolderOnly)
{
    TempFolder tmp;
    Member file = Make("data/file.txt", Pattern(40000), true);
    Member ut = Make("stamped.txt", "stamp");
    std::string block;
    Put16(block, 0x5455);
    Put16(block, 5);
    block += (char)1;
    Put32(block, 1700000000);
    ut.localExtra = block;
    Member dir = Make("made/deep/dir/", "");
    dir.external = 0x41ED0010;
    Member climb = Make("../escaped/", "");
    climb.external = 0x41ED0010;
    Member climb2 = Make("ok/..\\..\\escaped2/", "");
    climb2.external = 0x41ED0010;
    Member absolute = Make("/absolute_dir/", "");
    absolute.external = 0x41ED0010;
    std::string zip = BuildZip({file, ut, dir, climb, climb2, absolute});
    HZIP hz = OpenZipHandle(zip.data(), (unsigned)zip.size(), ZIP_MEMORY);
    ASSERT_NE(nullptr, hz);

    // A relative target: its folders are made under the root folder (the current directory at open).
    EXPECT_EQ(ZR_OK, ExtractZipEntry(hz, 0, (void*)L"out\\sub/file.txt", 0, ZIP_FILENAME));
    EXPECT_EQ(Pattern(40000), ReadAll(tmp.Work() + L"out\\sub\\file.txt"));
    EXPECT_EQ(ZR_OK, ExtractZipEntry(hz, 1, (void*)L"stamped.txt", 0, ZIP_FILENAME));
    WIN32_FILE_ATTRIBUTE_DATA fad;
    ASSERT_TRUE(GetFileAttributesExW((tmp.Work() + L"stamped.txt").c_str(), GetFileExInfoStandard, &fad));
    EXPECT_EQ(UnixToTicks(1700000000), Ticks(fad.ftLastWriteTime));

    // A target that climbs gets no folders made.
    EXPECT_EQ(ZR_NOFILE, ExtractZipEntry(hz, 0, (void*)L"../climbed/file.txt", 0, ZIP_FILENAME));
    EXPECT_FALSE(Exists(tmp.Path() + L"climbed"));

    // Directory members: inside the root folder they are made, climbing or absolute ones make nothing.
    EXPECT_EQ(ZR_OK, ExtractZipEntry(hz, 2, (void*)L"ignored", 0, ZIP_FILENAME));
    EXPECT_TRUE(Exists(tmp.Work() + L"made\\deep\\dir"));
    EXPECT_EQ(ZR_OK, ExtractZipEntry(hz, 3, (void*)L"ignored", 0, ZIP_FILENAME));
    EXPECT_FALSE(Exists(tmp.Path() + L"escaped"));
    EXPECT_EQ(ZR_OK, ExtractZipEntry(hz, 4, (void*)L"ignored", 0, ZIP_FILENAME));
    EXPECT_FALSE(Exists(tmp.Path() + L"escaped2"));
    EXPECT_FALSE(Exists(tmp.Work() + L"ok"));
    EXPECT_EQ(ZR_OK, ExtractZipEntry(hz, 5, (void*)L"ignored", 0, ZIP_FILENAME));
    EXPECT_FALSE(Exists(L"\\absolute_dir"));

    // An absolute target is written where it names.
    std::wstring abs = tmp.Path() + L"absolute.txt";
    EXPECT_EQ(ZR_OK, ExtractZipEntry(hz, 1, (void*)abs.c_str(), 0, ZIP_FILENAME));
    EXPECT_EQ("stamp", ReadAll(abs));

    // An open handle: written at its position and left open.
    std::wstring target = tmp.Path() + L"handle.txt";
    HANDLE h = CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD done;
    WriteFile(h, "head:", 5, &done, NULL);
    EXPECT_EQ(ZR_OK, ExtractZipEntry(hz, 1, h, 0, ZIP_HANDLE));
    EXPECT_TRUE(WriteFile(h, ":tail", 5, &done, NULL));
    CloseHandle(h);
    EXPECT_EQ("head:stamp:tail", ReadAll(target));
    EXPECT_EQ(ZR_OK, CloseZipHandle(hz));
}

TEST(UIZip, ArchiveInTheProgramsResources)
{
    HMODULE self = GetModuleHandleW(NULL);
    HRSRC res = FindResourceW(self, MAKEINTRESOURCEW(103), L"ZIPRES");
    ASSERT_NE(nullptr, res);
    HGLOBAL g = LoadResource(self, res);
    void* data = LockResource(g);
    DWORD size = SizeofResource(self, res);
    ASSERT_NE(nullptr, data);
    HZIP hz = OpenZipHandle(data, size, ZIP_MEMORY);
    ASSERT_NE(nullptr, hz);
    TZipEntry ze;
    int index;
    ASSERT_EQ(ZR_OK, FindZipEntry(hz, L"mainwnd.xml", true, &index, &ze));
    std::string xml(ze.unc_size, '\0');
    ZRESULT zr = ExtractZipEntry(hz, index, &xml[0], ze.unc_size, ZIP_MEMORY);
    EXPECT_TRUE(zr == ZR_OK || zr == ZR_MORE);
    CUIXmlDoc doc;
    ASSERT_TRUE(doc.LoadFromBytes(xml.data(), (unsigned)xml.size(), CUIXmlDoc::XMLFILE_ENCODING_UTF8));
    EXPECT_STREQ(L"Window", doc.GetRoot().GetName());
    ASSERT_EQ(ZR_OK, FindZipEntry(hz, L"images\\pattern.bin", false, &index, &ze));
    EXPECT_EQ(50000u, ze.unc_size);
    ZRESULT last;
    std::string bin = ExtractAll(hz, index, ze.unc_size, 4096, &last);
    EXPECT_EQ(ZR_OK, last);
    ASSERT_EQ(50000u, bin.size());
    EXPECT_EQ((char)(4999 * 7 % 251), bin[4999]);
    EXPECT_EQ(ZR_OK, CloseZipHandle(hz));
}
