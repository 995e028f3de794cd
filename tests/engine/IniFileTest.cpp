#include <gtest/gtest.h>
#include <locale.h>
#include <sstream>
#include "EngineBaseSupport.h"
#include "IniFile.h"
#include "SysHelpers.h"

using enginebase::ScratchDir;

namespace {

std::string Written(const CIniFile& ini)
{
    std::ostringstream out;
    ini.WriteTo(out);
    return out.str();
}

void Parse(CIniFile& ini, const std::string& text, bool keep = false)
{
    std::istringstream in(text);
    ini.ReadFrom(in, keep);
}

}  // namespace

TEST(IniFile, ConstructorSetsTheSimplifiedChineseLocale)
{
    CIniFile ini;
    const char* name = setlocale(LC_ALL, nullptr);
    ASSERT_NE(name, nullptr);
    // The run-time names the locale by language and code page.
    EXPECT_NE(std::string(name).find("936"), std::string::npos) << name;
    EXPECT_NE(std::string(name).find("Chinese"), std::string::npos) << name;
}

TEST(IniFile, SectionsAndKeysSortWithoutRegardToCase)
{
    CIniFile ini;
    for (int i = 0; i <= 11; ++i)
        ini.AddSection(std::to_string(i))->SetValue("k", "v");
    ini.AddSection("Config")->SetValue("files", "12");
    std::string text = Written(ini);
    std::string expected;
    for (const char* n : {"0", "1", "10", "11", "2", "3", "4", "5", "6", "7", "8", "9"})
        expected += std::string("[") + n + "]\r\nk=v\r\n";
    expected += "[Config]\r\nfiles=12\r\n";
    EXPECT_EQ(text, expected);

    CIniFile keys;
    CIniSection* s = keys.AddSection("s");
    ASSERT_NE(s, nullptr);
    for (const char* k : {"time", "Size", "path", "MD5", "_x", "a"})
        s->SetValue(k, "1");
    // Folded to lower case: "_" (0x5F) comes before the letters.
    EXPECT_EQ(Written(keys), "[s]\r\n_x=1\r\na=1\r\nMD5=1\r\npath=1\r\nSize=1\r\ntime=1\r\n");
}

TEST(IniFile, NamesDifferingInCaseAreOneEntry)
{
    CIniFile ini;
    Parse(ini, "[Files]\r\nPath=one\r\npath=two\r\n[FILES]\r\nPATH=three\r\nother=x\r\n");
    CIniSection* s = ini.FindSection("files");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(ini.FindSection("FiLeS"), s);
    EXPECT_EQ(s->GetName(), "Files");  // the first spelling stays
    EXPECT_EQ(s->GetValue("path"), "three");
    EXPECT_EQ(s->GetValue("OTHER"), "x");
    EXPECT_EQ(Written(ini), "[Files]\r\nother=x\r\nPath=three\r\n");
}

TEST(IniFile, ParserClassifiesLines)
{
    CIniFile ini;
    Parse(ini,
          "orphan=dropped\r\n"
          "[a]  \r\n"           // blanks after "]": the name keeps the "]"
          "x=1\r\n"
          "  [b]\r\n"           // leading blanks go
          " key = value \r\n"   // name trimmed, value kept with its blanks
          "#comment\r\n"
          "#hash=key\r\n"       // "=" after the first position: a key named "#hash"
          "=novalue\r\n"        // "=" first: ignored
          "plain text\r\n"
          "\r\n"
          "\t\r\n"
          "[ c d ]\n"
          "url=http://x/y?a=b\n"
          "empty=\n");
    EXPECT_EQ(ini.FindSection("a"), nullptr);
    CIniSection* a = ini.FindSection("a]");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetValue("x"), "1");
    CIniSection* b = ini.FindSection("b");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetValue("key"), " value ");
    EXPECT_EQ(b->GetValue("#hash"), "key");
    ASSERT_NE(b->FindKey("key"), nullptr);
    EXPECT_EQ(b->FindKey("key")->GetName(), "key");
    EXPECT_EQ(b->FindKey("=novalue"), nullptr);
    CIniSection* c = ini.FindSection("  c d\t");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetName(), "c d");
    EXPECT_EQ(c->GetValue("url"), "http://x/y?a=b");
    ASSERT_NE(c->FindKey("empty"), nullptr);
    EXPECT_EQ(c->GetValue("empty"), "");
    EXPECT_EQ(c->GetValue("missing"), "");
    EXPECT_EQ(Written(ini), "[a]]\r\nx=1\r\n[b]\r\n#hash=key\r\nkey= value \r\n[c d]\r\nempty=\r\nurl=http://x/y?a=b\r\n");
}

TEST(IniFile, LfAndCrLfFilesReadTheSame)
{
    const std::string crlf = "[0]\r\npath=a\\b.txt\r\nmd5=abc\r\n[Config]\r\nfiles=1\r\n";
    std::string lf = ReplaceAllA(crlf, "\r\n", "\n");
    CIniFile one, two;
    Parse(one, crlf);
    Parse(two, lf);
    EXPECT_EQ(Written(one), Written(two));
    EXPECT_EQ(Written(one), "[0]\r\nmd5=abc\r\npath=a\\b.txt\r\n[Config]\r\nfiles=1\r\n");
}

TEST(IniFile, ReadingAgainClearsUnlessKept)
{
    CIniFile ini;
    Parse(ini, "[a]\nx=1\n");
    Parse(ini, "[b]\ny=2\n", true);
    EXPECT_NE(ini.FindSection("a"), nullptr);
    EXPECT_NE(ini.FindSection("b"), nullptr);
    Parse(ini, "[c]\nz=3\n[a]\nw=4\n", true);
    ASSERT_NE(ini.FindSection("a"), nullptr);
    EXPECT_EQ(ini.FindSection("a")->GetValue("x"), "1");  // repeated section merges
    EXPECT_EQ(ini.FindSection("a")->GetValue("w"), "4");
    Parse(ini, "[d]\n");
    EXPECT_EQ(ini.FindSection("a"), nullptr);
    EXPECT_NE(ini.FindSection("d"), nullptr);
    ASSERT_NE(ini.FindSection("d"), nullptr);
    ini.FindSection("d")->SetValue("k", "v");
    ini.FindSection("d")->Clear();
    EXPECT_EQ(Written(ini), "[d]\r\n");
    ini.Clear();
    EXPECT_EQ(Written(ini), "");
}

TEST(IniFile, AddAndFindTrimNames)
{
    CIniFile ini;
    CIniSection* s = ini.AddSection(" \tmain\t ");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetName(), "main");
    EXPECT_EQ(ini.AddSection("MAIN"), s);
    CIniKey* k = s->AddKey("  acc ");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->GetName(), "acc");
    EXPECT_EQ(k->GetValue(), "");
    EXPECT_EQ(s->AddKey("ACC"), k);
    s->SetValue(" Acc", "  spaced value ");
    EXPECT_EQ(k->GetValue(), "  spaced value ");
    EXPECT_EQ(s->FindKey("acc\t"), k);
    EXPECT_EQ(ini.FindSection("nope"), nullptr);
    EXPECT_EQ(s->FindKey("nope"), nullptr);
}

TEST(IniFile, SaveAndLoadFilesWithGbkText)
{
    ScratchDir dir;
    std::string path = WideToAnsi(dir / L"filelist.ini");
    const std::string gbkPath = "\xd6\xd0\xce\xc4\\\xb2\xe2\xca\xd4.exe";  // 中文\测试.exe
    {
        CIniFile ini;
        ini.AddSection("Config")->SetValue("files", "2");
        ini.AddSection("0")->SetValue("path", gbkPath);
        ini.AddSection("1")->SetValue("path", "b.txt");
        ASSERT_TRUE(ini.Save(path));
    }
    std::string bytes;
    ASSERT_TRUE(enginebase::ReadWholeFile(dir / L"filelist.ini", bytes));
    EXPECT_EQ(bytes, "[0]\r\npath=" + gbkPath + "\r\n[1]\r\npath=b.txt\r\n[Config]\r\nfiles=2\r\n");

    CIniFile back;
    ASSERT_TRUE(back.Load(path, false));
    ASSERT_NE(back.FindSection("0"), nullptr);
    ASSERT_NE(back.FindSection("config"), nullptr);
    EXPECT_EQ(back.FindSection("0")->GetValue("path"), gbkPath);
    EXPECT_EQ(back.FindSection("config")->GetValue("FILES"), "2");

    // Saving again truncates: a shorter content leaves nothing behind.
    back.Clear();
    back.AddSection("x");
    ASSERT_TRUE(back.Save(path));
    ASSERT_TRUE(enginebase::ReadWholeFile(dir / L"filelist.ini", bytes));
    EXPECT_EQ(bytes, "[x]\r\n");
}

TEST(IniFile, LoadAndSaveReportFilesThatCannotBeOpened)
{
    ScratchDir dir;
    CIniFile ini;
    ini.AddSection("kept");
    EXPECT_FALSE(ini.Load(WideToAnsi(dir / L"missing.ini"), false));
    EXPECT_NE(ini.FindSection("kept"), nullptr);  // a failed load leaves the object alone
    EXPECT_FALSE(ini.Save(WideToAnsi(dir / L"no\\such\\dir\\x.ini")));

    // A file held open by someone else for reading and writing can still be read.
    ASSERT_TRUE(enginebase::WriteWholeFile(dir / L"shared.ini", "[s]\r\nk=v\r\n"));
    HANDLE other = CreateFileW((dir / L"shared.ini").c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(ini.Load(WideToAnsi(dir / L"shared.ini"), false));
    CIniSection* s = ini.FindSection("s");
    CloseHandle(other);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetValue("k"), "v");
}
