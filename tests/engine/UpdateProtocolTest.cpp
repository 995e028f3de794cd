#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "CoreDataFile.h"
#include "StandIn.h"
#include "SysHelpers.h"
#include "UpdateFileList.h"
#include "UpdateProtocol.h"

namespace {

// An installation directory under the temp folder, with its version file.
class Installation {
public:
    Installation()
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static LONG counter = 0;
        m_dir = std::wstring(base) + L"tvup_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(InterlockedIncrement(&counter)) + L"\\";
        CreateDirectoryTreeW((m_dir + L"data").c_str());
    }
    ~Installation() { RemoveTree(m_dir.substr(0, m_dir.size() - 1)); }

    const std::wstring& Dir() const { return m_dir; }
    std::wstring Path(const std::wstring& rel) const { return m_dir + rel; }

    bool SetVersion(const std::string& text, const std::string& code) const
    {
        CCoreDataFile file(1);
        file.SetPath(WideToAnsi(m_dir + L"data\\core.dat"));
        return file.Write(text, code, 1000);
    }

    void Write(const std::wstring& rel, const std::string& content) const
    {
        std::wstring path = m_dir + rel;
        CreateDirectoryTreeW(path.substr(0, path.rfind(L'\\')).c_str());
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD done = 0;
        if (!content.empty())
            WriteFile(h, content.data(), DWORD(content.size()), &done, nullptr);
        CloseHandle(h);
    }

    std::string Md5(const std::wstring& rel) const
    {
        std::string md5;
        GetFileMd5((m_dir + rel).c_str(), md5);
        return md5;
    }

private:
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

    std::wstring m_dir;
};

uint32_t CafeId(const standin::Scenario& sc)
{
    return uint32_t(strtoul(sc.Netbarid().c_str(), nullptr, 10));
}

// A scenario that claims a cafe id of its own and serves a release.
Json::Value ReleaseSpec(const std::string& version, const std::string& code)
{
    Json::Value spec(Json::objectValue);
    spec["netbarid"] = "auto";
    spec["release"]["version"] = version;
    spec["release"]["version_code"] = code;
    spec["release"]["files"]["a.txt"] = "abc";
    spec["release"]["files"]["dir\\b.txt"] = "hello";
    return spec;
}

std::vector<std::string> Actions(const standin::Scenario& sc)
{
    std::vector<std::string> out;
    for (const auto& r : sc.Log()) {
        size_t a = r.target.find("&a=");
        if (a != std::string::npos)
            out.push_back(r.target.substr(a + 3, r.target.find('&', a + 3) - a - 3));
        else
            out.push_back(r.target);
    }
    return out;
}

// Registry value "TestCheck": tests that write it or depend on the host it picks hold this
// lock, shared by every test process of the run.
class TestCheckLock {
public:
    TestCheckLock() : m_mutex(CreateMutexW(nullptr, FALSE, L"tollvane_tests_TestCheck"))
    {
        DWORD r = WaitForSingleObject(m_mutex, 60000);
        EXPECT_TRUE(r == WAIT_OBJECT_0 || r == WAIT_ABANDONED);
    }
    ~TestCheckLock()
    {
        Set(nullptr);
        ReleaseMutex(m_mutex);
        CloseHandle(m_mutex);
    }

    // nullptr removes the value.
    static void Set(const wchar_t* text)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TARVEN", 0, nullptr, 0,
                                  KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (text)
            RegSetValueExW(key, L"TestCheck", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                           DWORD((wcslen(text) + 1) * sizeof(wchar_t)));
        else
            RegDeleteValueW(key, L"TestCheck");
        RegCloseKey(key);
    }

    static void RemoveKey() { RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TARVEN", KEY_WOW64_32KEY, 0); }

private:
    HANDLE m_mutex;
};

}  // namespace

TEST(JsonDocument, GetStringReadsOnlyStrings)
{
    struct Case {
        const char* json;
        const char* expected;  // nullptr: the reading throws
    } cases[] = {
        {R"({"code":"101"})", "101"},
        {R"({"other":"x"})", ""},
        {R"({"code":null})", ""},
        {R"({"code":[]})", ""},
        {R"({"code":{}})", ""},
        {R"({"code":""})", ""},
        {R"({"code":"\u4e2d"})", "\xE4\xB8\xAD"},
        {R"({"code":101})", nullptr},
        {R"({"code":1.5})", nullptr},
        {R"({"code":true})", nullptr},
        {R"({"code":["101"]})", nullptr},
        {R"({"code":{"a":"b"}})", nullptr},
        {R"(["code"])", nullptr},
        {R"("code")", nullptr},
        {R"(null)", nullptr},
        {"/* service */ {\"code\": \"102\"} // trailing comment", "102"},
    };
    for (const Case& c : cases) {
        CJsonDocument doc;
        ASSERT_TRUE(doc.Parse(c.json)) << c.json;
        if (c.expected) {
            EXPECT_STREQ(doc.GetString("code"), c.expected) << c.json;
        } else {
            EXPECT_THROW(doc.GetString("code"), std::exception) << c.json;
        }
    }
    for (const char* bad : {"", "<html><body>404 Not Found</body></html>", "{\"code\":", "{code:\"101\"}"}) {
        CJsonDocument doc;
        EXPECT_FALSE(doc.Parse(bad)) << bad;
    }
}

TEST(UpdateProtocol, RequestUrls)
{
    EXPECT_EQ(MakeCheckUpdateUrl("h.example", 4294967295u, "2.0 b"),
              "http://h.example/index.php?g=home&m=api&a=check_update&netbarid=4294967295&version=2.0 b");
    EXPECT_EQ(MakeGetVersionUrl("h.example", 12, "103"),
              "http://h.example/index.php?g=home&m=api&a=get_version&netbarid=12&version=103");
    EXPECT_EQ(MakePostVersionUrl("h.example", 12, "103"),
              "http://h.example/index.php?g=home&m=api&a=post_version&netbarid=12&version=103&state=3");
}

TEST(UpdateProtocol, TestCheckChoosesTheHost)
{
    TestCheckLock lock;
    TestCheckLock::Set(nullptr);
    const std::string production = GetUpdateServerHost();
    EXPECT_FALSE(IsTestServerEnabled());
    EXPECT_EQ(production.find("://"), std::string::npos);
    EXPECT_FALSE(production.empty());

    struct Case {
        const wchar_t* value;
        bool test;
    } cases[] = {{L"1", true}, {L"9", true}, {L"5abc", true}, {L"0", false}, {L"", false},
                 {L"a1", false}, {L" 1", false}, {L"-1", false}, {L"\x0661", false}};
    std::string testHost;
    for (const Case& c : cases) {
        TestCheckLock::Set(c.value);
        EXPECT_EQ(IsTestServerEnabled(), c.test) << WideToAnsi(c.value);
        if (c.test)
            testHost = GetUpdateServerHost();
        else
            EXPECT_EQ(GetUpdateServerHost(), production) << WideToAnsi(c.value);
    }
    EXPECT_FALSE(testHost.empty());
    EXPECT_NE(testHost, production);

    TestCheckLock::RemoveKey();
    EXPECT_FALSE(IsTestServerEnabled());
    EXPECT_EQ(GetUpdateServerHost(), production);
}

TEST(UpdateProtocol, BothHostsAreAskedThroughTheProxy)
{
    TestCheckLock lock;
    for (const wchar_t* value : {L"1", static_cast<const wchar_t*>(nullptr)}) {
        TestCheckLock::Set(value);
        const std::string host = GetUpdateServerHost();
        standin::Scenario sc(ReleaseSpec("2.0.0", "200"));
        ASSERT_TRUE(sc.Ok()) << sc.Error();
        Installation inst;
        ASSERT_TRUE(inst.SetVersion("1.0.0", "100"));
        CUpdateQueryResult result;
        ASSERT_TRUE(QueryUpdate(inst.Dir(), CafeId(sc), result));

        std::vector<standin::Request> log = sc.Log();
        ASSERT_EQ(log.size(), 3u);
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(log[i].host, host);
            // Absolute form: the request went through the proxy with the host it was built for.
            EXPECT_EQ(log[i].requestLine.compare(0, 11 + host.size(), "GET http://" + host), 0) << log[i].requestLine;
        }
        EXPECT_EQ(log[2].host, sc.Host());
    }
    TestCheckLock::Set(L"1");
    std::string testHost = GetUpdateServerHost();
    TestCheckLock::Set(nullptr);
    EXPECT_NE(testHost, GetUpdateServerHost());
}

TEST(UpdateProtocol, NewVersionFetchesTheServerList)
{
    standin::Scenario sc(ReleaseSpec("2.0.0", "200"));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    Installation inst;
    ASSERT_TRUE(inst.SetVersion("1.0.0", "100"));
    CUpdateQueryResult result;
    ASSERT_TRUE(QueryUpdate(inst.Dir(), CafeId(sc), result));

    EXPECT_TRUE(result.newVersion);
    EXPECT_EQ(result.version, "2.0.0");
    EXPECT_EQ(result.versionCode, "200");
    EXPECT_EQ(result.info.code, 101);
    EXPECT_EQ(result.info.msg, "ok");
    EXPECT_EQ(result.info.version_serverlist_md5, sc.Reply()["netfilelist_md5"].asString());
    EXPECT_EQ(result.info.version_serverlist_url, sc.Base() + "/netfilelist.ini");
    EXPECT_EQ(result.info.version_url, sc.Base() + "/release/");
    EXPECT_EQ(inst.Md5(L"netfilelist.ini"), sc.Reply()["netfilelist_md5"].asString());
    EXPECT_FALSE(FileExists(inst.Path(L"netfilelist.ini.dl")));

    std::vector<standin::Request> log = sc.Log();
    ASSERT_EQ(log.size(), 3u);
    std::string id = sc.Netbarid();
    EXPECT_EQ(log[0].target, "/index.php?g=home&m=api&a=check_update&netbarid=" + id + "&version=100");
    EXPECT_EQ(log[1].target, "/index.php?g=home&m=api&a=get_version&netbarid=" + id + "&version=200");
    EXPECT_EQ(log[2].target, "/netfilelist.ini");
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[1].method, "GET");
}

TEST(UpdateProtocol, KeepTheInstalledVersion)
{
    standin::Scenario sc(ReleaseSpec("1.0.0", "100"));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    Installation inst;
    ASSERT_TRUE(inst.SetVersion("1.0.0-cafe", "100"));
    CUpdateQueryResult result;
    ASSERT_TRUE(QueryUpdate(inst.Dir(), CafeId(sc), result));
    EXPECT_FALSE(result.newVersion);
    EXPECT_EQ(result.version, "1.0.0-cafe");
    EXPECT_EQ(result.versionCode, "100");
    std::vector<standin::Request> log = sc.Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1].target, "/index.php?g=home&m=api&a=get_version&netbarid=" + sc.Netbarid() + "&version=100");
}

TEST(UpdateProtocol, RepliesWithoutAUsableAnswerFailTheQuery)
{
    struct Case {
        const char* name;
        std::function<void(Json::Value&)> setup;
        std::vector<std::string> requests;  // what the run asks before it gives up
    } cases[] = {
        {"numeric code", [](Json::Value& s) { s["update"]["check_update"]["code"] = 101; }, {"check_update"}},
        {"check_update not JSON", [](Json::Value& s) { s["update"]["check_update"] = "<html>busy</html>"; },
         {"check_update"}},
        {"check_update other code", [](Json::Value& s) { s["update"]["check_update"]["code"] = "103"; },
         {"check_update"}},
        {"code 101 without a version", [](Json::Value& s) { s["update"]["check_update"]["version"] = Json::Value(); },
         {"check_update"}},
        {"numeric version code", [](Json::Value& s) { s["update"]["check_update"]["version_code"] = 200; },
         {"check_update"}},
        // "@" joins version and code in data\core.dat: such a text would read back split wrongly.
        {"version containing @", [](Json::Value& s) { s["update"]["check_update"]["version"] = "2.0@1"; },
         {"check_update"}},
        {"version code containing @", [](Json::Value& s) { s["update"]["check_update"]["version_code"] = "2@00"; },
         {"check_update"}},
        {"check_update 404 page",
         [](Json::Value& s) {
             s["routes"][0]["path"] = "/index.php?g=home&m=api&a=check_update*";
             s["routes"][0]["status"] = 404;
             s["routes"][0]["body"] = "<html><body>404 Not Found</body></html>";
         },
         {"check_update"}},
        {"check_update transfer broken",
         [](Json::Value& s) {
             s["routes"][0]["path"] = "/index.php?g=home&m=api&a=check_update*";
             s["routes"][0]["json"]["code"] = "101";
             s["routes"][0]["short"] = 3;
         },
         {"check_update"}},
        {"get_version other code", [](Json::Value& s) { s["update"]["get_version"]["code"] = "104"; },
         {"check_update", "get_version"}},
        {"get_version numeric code", [](Json::Value& s) { s["update"]["get_version"]["code"] = 101; },
         {"check_update", "get_version"}},
        {"get_version numeric member",
         [](Json::Value& s) { s["update"]["get_version"]["version_serverlist_md5"] = 5; },
         {"check_update", "get_version"}},
        {"get_version not JSON", [](Json::Value& s) { s["update"]["get_version"] = "Fatal error"; },
         {"check_update", "get_version"}},
        {"wrong list MD5",
         [](Json::Value& s) { s["update"]["get_version"]["version_serverlist_md5"] = std::string(32, '0'); },
         {"check_update", "get_version", "/netfilelist.ini"}},
        {"list 404",
         [](Json::Value& s) {
             s["routes"][0]["path"] = "/netfilelist.ini";
             s["routes"][0]["status"] = 404;
             s["routes"][0]["body"] = "<html>404</html>";
         },
         {"check_update", "get_version", "/netfilelist.ini"}},
        {"list cut short",
         [](Json::Value& s) {
             s["routes"][0]["path"] = "/netfilelist.ini";
             s["routes"][0]["body"] = "[0]\r\nurl=a.txt\r\n";
             s["routes"][0]["short"] = 5;
         },
         {"check_update", "get_version", "/netfilelist.ini"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Json::Value spec = ReleaseSpec("2.0.0", "200");
        c.setup(spec);
        standin::Scenario sc(spec);
        ASSERT_TRUE(sc.Ok()) << sc.Error();
        Installation inst;
        ASSERT_TRUE(inst.SetVersion("1.0.0", "100"));
        CUpdateQueryResult result;
        EXPECT_FALSE(QueryUpdate(inst.Dir(), CafeId(sc), result));
        EXPECT_EQ(Actions(sc), c.requests);
        EXPECT_FALSE(FileExists(inst.Path(L"netfilelist.ini.dl")));
    }
}

TEST(UpdateProtocol, HttpStatusOfTheRepliesIsIgnored)
{
    Json::Value spec = ReleaseSpec("2.0.0", "200");
    spec["routes"][0]["path"] = "/index.php?g=home&m=api&a=check_update*";
    spec["routes"][0]["status"] = 500;
    spec["routes"][0]["json"]["code"] = "101";
    spec["routes"][0]["json"]["version"] = "2.0.0";
    spec["routes"][0]["json"]["version_code"] = "200";
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    Installation inst;
    ASSERT_TRUE(inst.SetVersion("1.0.0", "100"));
    CUpdateQueryResult result;
    EXPECT_TRUE(QueryUpdate(inst.Dir(), CafeId(sc), result));
    EXPECT_EQ(result.versionCode, "200");
}

TEST(UpdateProtocol, MissingVersionFileAsksNothing)
{
    standin::Scenario sc(ReleaseSpec("2.0.0", "200"));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    Installation inst;
    CUpdateQueryResult result;
    EXPECT_FALSE(QueryUpdate(inst.Dir(), CafeId(sc), result));
    EXPECT_FALSE(PostVersion(inst.Dir(), CafeId(sc)));
    EXPECT_TRUE(sc.Log().empty());
}

TEST(UpdateProtocol, CurrentServerListIsNotFetchedAgain)
{
    standin::Scenario sc(ReleaseSpec("2.0.0", "200"));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    Installation inst;
    ASSERT_TRUE(inst.SetVersion("1.0.0", "100"));
    CUpdateQueryResult first;
    ASSERT_TRUE(QueryUpdate(inst.Dir(), CafeId(sc), first));
    EXPECT_EQ(sc.LogFor("/netfilelist.ini").size(), 1u);

    // Announced in upper case: still the same list.
    Json::Value spec = ReleaseSpec("2.0.0", "200");
    std::string md5 = sc.Reply()["netfilelist_md5"].asString();
    for (char& ch : md5)
        ch = char(toupper(static_cast<unsigned char>(ch)));
    spec["update"]["get_version"]["version_serverlist_md5"] = md5;
    standin::Scenario again(spec);
    ASSERT_TRUE(again.Ok()) << again.Error();
    CUpdateQueryResult second;
    EXPECT_TRUE(QueryUpdate(inst.Dir(), CafeId(again), second));
    EXPECT_TRUE(again.LogFor("/netfilelist.ini").empty());
}

TEST(UpdateProtocol, OutdatedServerListIsReplaced)
{
    standin::Scenario sc(ReleaseSpec("2.0.0", "200"));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    Installation inst;
    ASSERT_TRUE(inst.SetVersion("1.0.0", "100"));
    inst.Write(L"netfilelist.ini", "[0]\r\nurl=old.txt\r\n");
    CUpdateQueryResult result;
    EXPECT_TRUE(QueryUpdate(inst.Dir(), CafeId(sc), result));
    EXPECT_EQ(inst.Md5(L"netfilelist.ini"), sc.Reply()["netfilelist_md5"].asString());
}

TEST(UpdateProtocol, OutdatedServerListThatCannotBeDeletedFailsTheQuery)
{
    standin::Scenario sc(ReleaseSpec("2.0.0", "200"));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    Installation inst;
    ASSERT_TRUE(inst.SetVersion("1.0.0", "100"));
    inst.Write(L"netfilelist.ini", "[0]\r\nurl=old.txt\r\n");
    std::string before = inst.Md5(L"netfilelist.ini");
    HANDLE busy = CreateFileW(inst.Path(L"netfilelist.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    CUpdateQueryResult result;
    EXPECT_FALSE(QueryUpdate(inst.Dir(), CafeId(sc), result));
    CloseHandle(busy);
    EXPECT_EQ(inst.Md5(L"netfilelist.ini"), before);
    EXPECT_TRUE(sc.LogFor("/netfilelist.ini").empty());

    // The next run goes on normally.
    CUpdateQueryResult again;
    EXPECT_TRUE(QueryUpdate(inst.Dir(), CafeId(sc), again));
}

TEST(UpdateProtocol, PostVersionReportsTheRecordedVersion)
{
    Json::Value spec(Json::objectValue);
    spec["netbarid"] = "auto";
    spec["update"]["post_version"] = "<html>500</html>";
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    Installation inst;
    ASSERT_TRUE(inst.SetVersion("2.0.0", "200"));
    EXPECT_TRUE(PostVersion(inst.Dir(), CafeId(sc)));
    std::vector<standin::Request> log = sc.Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].target,
              "/index.php?g=home&m=api&a=post_version&netbarid=" + sc.Netbarid() + "&version=200&state=3");
}

// Steps 1 to 3 of an update, in this process: scan, query, compare.
TEST(UpdateProtocol, ScanQueryAndCompare)
{
    Json::Value spec(Json::objectValue);
    spec["netbarid"] = "auto";
    Json::Value& rel = spec["release"];
    rel["version"] = "3.1.0";
    rel["version_code"] = "310";
    rel["files"]["same.txt"] = "abc";
    rel["files"]["Bin\\changed.dll"] = "new content";
    rel["files"]["Bin\\added.dll"] = "added";
    rel["files"]["empty.cfg"] = "";
    rel["files"]["UPPER.txt"]["text"] = "hello";
    rel["files"]["UPPER.txt"]["md5"] = "5D41402ABC4B2A76B9719D911017C592";
    rel["files"]["\xE6\x95\xB0\xE6\x8D\xAE\\\xE6\x96\x87\xE4\xBB\xB6.txt"] = "chinese";  // UTF-8 here, GBK in the list
    rel["batfiles"][0] = "after.bat";
    rel["appfiles"][0] = "Helper.exe";
    rel["mainserver"] = "Pellmora.exe";
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();

    Installation inst;
    ASSERT_TRUE(inst.SetVersion("3.0.0", "300"));
    inst.Write(L"same.txt", "abc");
    inst.Write(L"Bin\\changed.dll", "old content");
    inst.Write(L"empty.cfg", "");
    inst.Write(L"upper.txt", "hello");
    inst.Write(L"local.txt", "only here");

    CUpdateFileList list;
    std::wstring dir = inst.Dir();
    ScanLocalFiles(list, dir, nullptr);
    CUpdateQueryResult result;
    ASSERT_TRUE(QueryUpdate(dir, CafeId(sc), result));
    EXPECT_TRUE(result.newVersion);
    EXPECT_EQ(result.versionCode, "310");
    int32_t pending = AnalyseUpdate(list, dir);

    std::vector<std::wstring> paths;
    for (const CFileInfo* info : list.GetPendingList())
        paths.push_back(info->path);
    std::vector<std::wstring> expected = {L"Bin\\added.dll", L"Bin\\changed.dll"};
    if (GetACP() == 936)
        expected.push_back(L"数据\\文件.txt");
    EXPECT_EQ(pending, int32_t(expected.size()));
    EXPECT_EQ(paths, expected);
    EXPECT_EQ(list.GetServerMap().size(), 3u);  // same.txt, empty.cfg, upper.txt
    std::vector<std::string> bats = {"after.bat"};
    EXPECT_EQ(list.GetBatchFiles(), bats);
    EXPECT_EQ(list.GetMainProgram(), L"Pellmora.exe");

    // Every pending file is where the version's base URL says.
    for (const CFileInfo* info : list.GetPendingList()) {
        std::string url;
        UrlEncode(result.info.version_url + info->url, url);
        EXPECT_EQ(url.compare(0, result.info.version_url.size(), result.info.version_url), 0);
    }
    if (GetACP() == 936) {
        std::string url;
        ASSERT_FALSE(list.GetPendingList().empty());
        UrlEncode(result.info.version_url + list.GetPendingList().back()->url, url);
        EXPECT_EQ(url, sc.Base() + "/release/%E6%95%B0%E6%8D%AE/%E6%96%87%E4%BB%B6.txt");
    }
}

// The service's JSON is UTF-8; the version texts and the addresses are used as ANSI (code page 936).
TEST(UpdateProtocol, NonAsciiMembersArriveInTheAnsiCodePage)
{
    Json::Value spec = ReleaseSpec("2.0.0", "200");
    spec["update"]["check_update"]["version"] = u8"2.0.0 正式版";
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    Installation inst;
    ASSERT_TRUE(inst.SetVersion("1.0.0", "100"));
    CUpdateQueryResult result;
    ASSERT_TRUE(QueryUpdate(inst.Dir(), CafeId(sc), result));
    EXPECT_EQ(result.version, WideToAnsi(L"2.0.0 正式版"));
    EXPECT_EQ(result.versionCode, "200");

    // An address with Chinese characters: ANSI once, so that the download address, made from its
    // UTF-8 form, is right.
    Json::Value spec2 = ReleaseSpec("2.0.0", "200");
    standin::Scenario probe(spec2);
    ASSERT_TRUE(probe.Ok()) << probe.Error();
    spec2["update"]["get_version"]["version_url"] = probe.Base() + u8"/发布/";
    spec2["update"]["get_version"]["version_serverlist_url"] = probe.Base() + "/netfilelist.ini";
    spec2["update"]["get_version"]["version_serverlist_md5"] = probe.Reply()["netfilelist_md5"].asString();
    standin::Scenario sc2(spec2);
    ASSERT_TRUE(sc2.Ok()) << sc2.Error();
    CUpdateQueryResult result2;
    ASSERT_TRUE(QueryUpdate(inst.Dir(), CafeId(sc2), result2));
    EXPECT_EQ(result2.info.version_url, probe.Base() + WideToAnsi(L"/发布/"));
    std::string encoded;
    UrlEncode(result2.info.version_url + "a.txt", encoded);
    EXPECT_EQ(encoded, probe.Base() + "/%E5%8F%91%E5%B8%83/a.txt");
}
