// CDownloader against the update-service stand-in, reached through the proxy variables.
#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <string>
#include <thread>
#include <vector>
#include "DownloadFile.h"
#include "Downloader.h"
#include "HttpClient.h"
#include "StandIn.h"
#include "SysHelpers.h"

namespace {

// A fresh folder under the temp directory (ANSI paths, as the downloader takes them).
class TempFolder {
public:
    TempFolder()
    {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        static LONG counter = 0;
        char name[64];
        wsprintfA(name, "tvdl_%lu_%ld_%lu", GetCurrentProcessId(), InterlockedIncrement(&counter), GetTickCount());
        m_path = std::string(tmp) + name + "\\";
        CreateDirectoryA(m_path.c_str(), nullptr);
    }
    ~TempFolder()
    {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((m_path + "*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((m_path + fd.cFileName).c_str());
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryA(m_path.c_str());
    }
    std::string operator/(const std::string& name) const { return m_path + name; }

private:
    std::string m_path;
};

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

long long SizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return -1;
    return (static_cast<long long>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

std::string Md5Of(const std::string& path)
{
    std::string md5;
    GetFileMd5(AnsiToWide(path).c_str(), md5);
    return md5;
}

Json::Value Rule(const char* path)
{
    Json::Value r;
    r["path"] = path;
    return r;
}

// A scenario with a release of one 300 000-byte file "pkg\data.bin" plus the given routes.
Json::Value ReleaseSpec()
{
    Json::Value spec;
    spec["release"]["files"]["pkg\\data.bin"]["size"] = 300000;
    spec["release"]["files"]["pkg\\data.bin"]["seed"] = 7;
    spec["routes"] = Json::Value(Json::arrayValue);
    return spec;
}

bool Fetch(const std::string& url, const std::string& target, bool* clientError = nullptr)
{
    CDownloader d;
    if (!d.Init(url, target)) return false;
    d.SetLowSpeedLimit(1, 3);
    bool error = false;
    bool ok = d.Download(&error);
    if (clientError) *clientError = error;
    return ok;
}

class DownloaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(CHttpClient::GlobalInit()); }
};

}  // namespace

TEST_F(DownloaderTest, FileArrivesWholeUnderTheTargetName)
{
    standin::Scenario sc(ReleaseSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    TempFolder dir;
    std::string target = dir / "data.bin";

    CDownloader d;
    ASSERT_TRUE(d.Init(sc.Url("/release/pkg/data.bin"), target));
    bool clientError = true;
    ASSERT_TRUE(d.Download(&clientError));
    EXPECT_FALSE(clientError);
    EXPECT_EQ(SizeOf(target), 300000);
    EXPECT_EQ(Md5Of(target), sc.Reply()["files"]["pkg\\data.bin"].asString());
    EXPECT_FALSE(Exists(target + ".dl"));

    auto log = sc.LogFor("/release/");
    ASSERT_EQ(log.size(), 1u);
    const standin::Request& r = log[0];
    EXPECT_EQ(r.requestLine, "GET " + sc.Url("/release/pkg/data.bin") + " HTTP/1.1");
    EXPECT_EQ(r.Header("Range"), "bytes=0-");
    EXPECT_EQ(r.Header("User-Agent"), "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:13.0) Gecko/20100101 Firefox/13.0.1");
    EXPECT_EQ(r.Header("Connection"), "Keep-Alive");
    EXPECT_NE(r.Header("Accept-Encoding").find("gzip"), std::string::npos);
    EXPECT_EQ(r.Header("Host"), sc.Host());
}

TEST_F(DownloaderTest, HttpsThroughAConnectTunnel)
{
    standin::Scenario sc(ReleaseSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    TempFolder dir;
    std::string target = dir / "secure.bin";

    ASSERT_TRUE(Fetch(sc.HttpsUrl("/release/pkg/data.bin"), target));
    EXPECT_EQ(Md5Of(target), sc.Reply()["files"]["pkg\\data.bin"].asString());
    auto log = sc.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].method, "CONNECT");
    EXPECT_EQ(log[1].scheme, "https");
    EXPECT_EQ(log[1].target, "/release/pkg/data.bin");
}

TEST_F(DownloaderTest, FailuresLeaveNeitherTargetNorPartialFile)
{
    struct Case {
        const char* name;
        Json::Value rule;
        bool clientError;
    };
    std::vector<Case> cases;
    auto add = [&](const char* name, bool clientError, std::initializer_list<std::pair<const char*, Json::Value>> m) {
        Json::Value r = Rule((std::string("/fail/") + name).c_str());
        r["body_size"] = 50000;
        for (auto& kv : m) r[kv.first] = kv.second;
        cases.push_back({name, r, clientError});
    };
    add("not-found", true, {{"status", 404}});
    add("forbidden", true, {{"status", 403}});
    add("server-error", false, {{"status", 500}});
    add("moved-without-location", false, {{"status", 301}});  // nothing to follow: a failure
    add("short-body", false, {{"short", 20000}});
    add("longer-announced", false, {{"length", 60000}});
    add("gzip-with-length", false, {{"gzip", true}});  // announced length counts encoded bytes
    add("stall", false, {{"stall", 10000}, {"stall_seconds", 60}});

    Json::Value spec;
    for (auto& c : cases) spec["routes"].append(c.rule);
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    TempFolder dir;
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string target = dir / c.name;
        bool clientError = !c.clientError;
        DWORD start = GetTickCount();
        EXPECT_FALSE(Fetch(sc.Url(std::string("/fail/") + c.name), target, &clientError));
        EXPECT_LT(GetTickCount() - start, 20000u);
        EXPECT_EQ(clientError, c.clientError);
        EXPECT_FALSE(Exists(target));
        EXPECT_FALSE(Exists(target + ".dl"));
    }
}

TEST_F(DownloaderTest, RedirectsAreFollowedUpToFiveHops)
{
    Json::Value spec = ReleaseSpec();
    // /hop1 -> /hop2 -> ... -> /hop6 -> the file: six hops from /hop1, five from /hop2.
    for (int i = 1; i <= 6; ++i) {
        Json::Value r = Rule(("/hop" + std::to_string(i)).c_str());
        r["status"] = 302;
        r["location"] = i < 6 ? "/hop" + std::to_string(i + 1) : std::string("/release/pkg/data.bin");
        spec["routes"].append(r);
    }
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    TempFolder dir;

    ASSERT_TRUE(Fetch(sc.Url("/hop2"), dir / "five.bin"));
    EXPECT_EQ(Md5Of(dir / "five.bin"), sc.Reply()["files"]["pkg\\data.bin"].asString());
    EXPECT_EQ(sc.LogFor("/release/").size(), 1u);

    EXPECT_FALSE(Fetch(sc.Url("/hop1"), dir / "six.bin"));
    EXPECT_FALSE(Exists(dir / "six.bin"));
    EXPECT_FALSE(Exists(dir / "six.bin.dl"));
    EXPECT_EQ(sc.LogFor("/release/").size(), 1u);
}

TEST_F(DownloaderTest, EmptyReplies)
{
    Json::Value spec;
    Json::Value unsatisfiable = Rule("/416");
    unsatisfiable["status"] = 416;
    unsatisfiable["body"] = "<html>416 Requested Range Not Satisfiable</html>";
    unsatisfiable["headers"]["Content-Range"] = "bytes */0";
    spec["routes"].append(unsatisfiable);
    Json::Value empty = Rule("/empty");
    empty["body"] = "";
    spec["routes"].append(empty);
    Json::Value unannounced = Rule("/unannounced");
    unannounced["body_size"] = 12345;
    unannounced["no_length"] = true;
    spec["routes"].append(unannounced);
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    TempFolder dir;

    // The range "0-" of an empty file cannot be satisfied: the target becomes an empty file.
    ASSERT_TRUE(Fetch(sc.Url("/416"), dir / "a"));
    EXPECT_EQ(SizeOf(dir / "a"), 0);
    EXPECT_FALSE(Exists(dir / "a.dl"));
    ASSERT_TRUE(Fetch(sc.Url("/empty"), dir / "b"));
    EXPECT_EQ(SizeOf(dir / "b"), 0);
    // Without an announced length the size is not checked.
    ASSERT_TRUE(Fetch(sc.Url("/unannounced"), dir / "c"));
    EXPECT_EQ(SizeOf(dir / "c"), 12345);
}

TEST_F(DownloaderTest, ExistingTargetIsNeverReplaced)
{
    standin::Scenario sc(ReleaseSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    TempFolder dir;
    std::string target = dir / "old.bin";
    HANDLE f = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, "old", 3, &written, nullptr);
    CloseHandle(f);

    EXPECT_FALSE(Fetch(sc.Url("/release/pkg/data.bin"), target));
    EXPECT_EQ(SizeOf(target), 3);
    EXPECT_FALSE(Exists(target + ".dl"));
}

TEST_F(DownloaderTest, InitRules)
{
    standin::Scenario sc(ReleaseSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    TempFolder dir;

    CDownloader d;
    EXPECT_FALSE(d.Init("", dir / "x"));
    bool clientError = false;
    EXPECT_FALSE(d.Download(&clientError));  // not initialised

    // A second Init without Close keeps the first url and target.
    ASSERT_TRUE(d.Init(sc.Url("/release/pkg/data.bin"), dir / "first.bin"));
    ASSERT_TRUE(d.Init(sc.Url("/elsewhere"), dir / "second.bin"));
    ASSERT_TRUE(d.Download(&clientError));
    EXPECT_EQ(SizeOf(dir / "first.bin"), 300000);
    EXPECT_FALSE(Exists(dir / "second.bin"));

    // Close makes it reusable.
    EXPECT_TRUE(d.Close());
    ASSERT_TRUE(d.Init(sc.Url("/release/pkg/data.bin"), dir / "third.bin"));
    ASSERT_TRUE(d.Download(&clientError));
    EXPECT_EQ(SizeOf(dir / "third.bin"), 300000);

    // A target folder that does not exist: the partial file cannot be opened, nothing is asked.
    size_t before = sc.Log().size();
    CDownloader e;
    ASSERT_TRUE(e.Init(sc.Url("/release/pkg/data.bin"), dir / "no\\such\\folder.bin"));
    EXPECT_FALSE(e.Download(&clientError));
    EXPECT_EQ(sc.Log().size(), before);
    EXPECT_EQ(CDownloader::WriteCallback(const_cast<char*>("x"), 1, 1, nullptr), 0u);
}

TEST_F(DownloaderTest, StalledTransferIsAbortedByTheLowSpeedLimit)
{
    Json::Value spec;
    Json::Value r = Rule("/stall");
    r["body_size"] = 200000;
    r["stall"] = 50000;
    r["stall_seconds"] = 120;
    spec["routes"].append(r);
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    TempFolder dir;

    CDownloader d;
    ASSERT_TRUE(d.Init(sc.Url("/stall"), dir / "s.bin"));
    d.SetLowSpeedLimit(1, 2);
    DWORD start = GetTickCount();
    bool clientError = true;
    EXPECT_FALSE(d.Download(&clientError));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 1500u);
    EXPECT_LT(elapsed, 15000u);
    EXPECT_FALSE(clientError);
    EXPECT_FALSE(Exists(dir / "s.bin"));
    EXPECT_FALSE(Exists(dir / "s.bin.dl"));
}

TEST_F(DownloaderTest, CancelFlagAbortsTheTransfer)
{
    Json::Value spec;
    Json::Value r = Rule("/stall");
    r["body_size"] = 200000;
    r["stall"] = 50000;
    r["stall_seconds"] = 120;
    spec["routes"].append(r);
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    TempFolder dir;
    std::string target = dir / "c.bin";

    // A plain flag, as the update manager keeps it, set by another thread mid-transfer.
    volatile bool cancel = false;
    CDownloader d;
    ASSERT_TRUE(d.Init(sc.Url("/stall"), target));
    d.SetCancelFlag(&cancel);
    bool sawPartial = false, sawTarget = true;
    std::thread ui([&] {
        // 50 000 bytes arrive, then nothing; the run-time's stream buffer may hold the tail back.
        for (int i = 0; i < 100 && SizeOf(target + ".dl") < 40000; ++i) Sleep(50);
        sawPartial = SizeOf(target + ".dl") >= 40000;
        sawTarget = Exists(target);
        cancel = true;
    });
    DWORD start = GetTickCount();
    bool clientError = true;
    bool ok = d.Download(&clientError);
    DWORD elapsed = GetTickCount() - start;
    ui.join();
    EXPECT_FALSE(ok);
    EXPECT_LT(elapsed, 15000u);  // well before the 60-second low-speed limit
    EXPECT_TRUE(sawPartial) << "the body goes to the .dl file first";
    EXPECT_FALSE(sawTarget);
    EXPECT_FALSE(Exists(target));
    EXPECT_FALSE(Exists(target + ".dl"));

    // An atomic flag already set: the transfer ends at its first progress call.
    std::atomic<bool> stop(true);
    CDownloader e;
    ASSERT_TRUE(e.Init(sc.Url("/stall"), target));
    e.SetCancelFlag(&stop);
    EXPECT_FALSE(e.Download(&clientError));
    EXPECT_FALSE(Exists(target + ".dl"));
}

TEST_F(DownloaderTest, TwoThreadsShareTheDnsCache)
{
    standin::Scenario sc(ReleaseSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    TempFolder dir;
    const std::string md5 = sc.Reply()["files"]["pkg\\data.bin"].asString();
    std::atomic<int> good(0);
    auto worker = [&](int id) {
        for (int i = 0; i < 6; ++i) {
            std::string target = dir / ("t" + std::to_string(id) + "_" + std::to_string(i));
            if (Fetch(sc.Url("/release/pkg/data.bin"), target) && Md5Of(target) == md5) ++good;
        }
    };
    std::thread a(worker, 1), b(worker, 2);
    a.join();
    b.join();
    EXPECT_EQ(good.load(), 12);
}

// The stand-in's update service as the update steps meet it: any update host, routed by cafe id;
// replies whose members are all strings; a server file list in code page 936 whose MD5 is the
// announced one; files found again under their percent-encoded UTF-8 names.
TEST_F(DownloaderTest, ReleaseServedByTheStandIn)
{
    Json::Value spec;
    spec["netbarid"] = "auto";
    spec["release"]["version"] = "2.0.1";
    spec["release"]["version_code"] = "201";
    spec["release"]["files"]["data\\\xe4\xb8\xad\xe6\x96\x87 \xe5\x90\x8d.txt"] = "payload";  // "中文 名.txt"
    spec["release"]["appfiles"].append("Helper.exe");
    spec["release"]["mainserver"] = "Pellmora.exe";
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    ASSERT_FALSE(sc.Netbarid().empty());
    const std::string query = "/index.php?g=home&m=api&a=";
    const std::string cafe = "&netbarid=" + sc.Netbarid();

    auto getJson = [](const std::string& url, Json::Value& out) {
        CHttpClient client;
        if (!client.Init() || !client.Request(url.c_str(), true)) return false;
        Json::CharReaderBuilder b;
        std::unique_ptr<Json::CharReader> r(b.newCharReader());
        const std::string& body = client.GetBody();
        return r->parse(body.data(), body.data() + body.size(), &out, nullptr);
    };
    Json::Value check, version;
    ASSERT_TRUE(getJson("http://update.tollvane.invalid" + query + "check_update" + cafe + "&version=100", check));
    EXPECT_EQ(check["code"], Json::Value("101"));
    EXPECT_EQ(check["version_code"], Json::Value("201"));
    EXPECT_EQ(check["version"], Json::Value("2.0.1"));
    ASSERT_TRUE(getJson("http://update-test.tollvane.invalid" + query + "check_update" + cafe + "&version=201", check));
    EXPECT_EQ(check["code"], Json::Value("102"));
    ASSERT_TRUE(getJson("http://update.tollvane.invalid" + query + "get_version" + cafe + "&version=201", version));
    EXPECT_EQ(version["code"], Json::Value("101"));
    for (const char* key : {"msg", "version_serverlist_md5", "version_serverlist_url", "version_url"})
        EXPECT_TRUE(version[key].isString()) << key;

    TempFolder dir;
    ASSERT_TRUE(Fetch(version["version_serverlist_url"].asString(), dir / "netfilelist.ini"));
    EXPECT_EQ(Md5Of(dir / "netfilelist.ini"), version["version_serverlist_md5"].asString());
    std::string list;
    {
        HANDLE f = CreateFileA((dir / "netfilelist.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        char buf[4096];
        DWORD got = 0;
        ReadFile(f, buf, sizeof buf, &got, nullptr);
        CloseHandle(f);
        list.assign(buf, got);
    }
    const std::string gbkUrl = "data/\xd6\xd0\xce\xc4 \xc3\xfb.txt";
    EXPECT_NE(list.find("url=" + gbkUrl + "\r\n"), std::string::npos) << list;
    EXPECT_NE(list.find("path=data\\\xd6\xd0\xce\xc4 \xc3\xfb.txt\r\n"), std::string::npos);
    EXPECT_NE(list.find("[appfiles]\r\nfilecount=1\r\nfile1=Helper.exe\r\nmainserver=Pellmora.exe\r\n"),
              std::string::npos);

    std::string url;
    UrlEncode(version["version_url"].asString() + gbkUrl, url);
    ASSERT_TRUE(Fetch(url, dir / "file.txt")) << url;
    EXPECT_EQ(SizeOf(dir / "file.txt"), 7);
    EXPECT_EQ(sc.LogFor("/index.php").size(), 3u);
}

// Bodies larger than the file's write block, with and without an announced length, arrive byte
// for byte; a transfer cancelled after more than a block leaves no file behind.
TEST_F(DownloaderTest, LargeBodiesArriveWholeAndCancelledOnesLeaveNothing)
{
    Json::Value spec;
    spec["release"]["files"]["big.bin"]["size"] = 3 * 1024 * 1024 + 12345;
    spec["release"]["files"]["big.bin"]["seed"] = 11;
    Json::Value open = Rule("/open-ended");
    open["release_file"] = "big.bin";
    open["no_length"] = true;
    spec["routes"].append(open);
    Json::Value stall = Rule("/stall");
    stall["body_size"] = 4000000;
    stall["stall"] = 2500000;
    stall["stall_seconds"] = 120;
    spec["routes"].append(stall);
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    TempFolder dir;
    const std::string md5 = sc.Reply()["files"]["big.bin"].asString();

    for (const char* path : {"/release/big.bin", "/open-ended"}) {
        SCOPED_TRACE(path);
        const std::string target = dir / "big.bin";
        DeleteFileA(target.c_str());
        ASSERT_TRUE(Fetch(sc.Url(path), target));
        EXPECT_EQ(SizeOf(target), 3 * 1024 * 1024 + 12345);
        EXPECT_EQ(Md5Of(target), md5);
        EXPECT_FALSE(Exists(target + ".dl"));
    }

    const std::string target = dir / "c.bin";
    std::atomic<bool> cancel(false);
    CDownloader d;
    ASSERT_TRUE(d.Init(sc.Url("/stall"), target));
    d.SetCancelFlag(&cancel);
    bool sawPartial = false;
    std::thread ui([&] {
        // What arrived before the stall reaches the file, the unfinished block included.
        for (int i = 0; i < 200 && SizeOf(target + ".dl") < 2500000; ++i) Sleep(50);
        sawPartial = SizeOf(target + ".dl") == 2500000;
        cancel = true;
    });
    bool clientError = true;
    EXPECT_FALSE(d.Download(&clientError));
    ui.join();
    EXPECT_TRUE(sawPartial);
    EXPECT_FALSE(Exists(target));
    EXPECT_FALSE(Exists(target + ".dl"));
}

// A write that fails (here: a full device) is reported, whether it happens while the body
// arrives or in the last block's write at the end.
TEST(DownloadFile, FailedWritesAreReported)
{
    const std::vector<char> piece(16 * 1024, 'x');
    for (size_t pieces : {size_t(3), size_t(200)}) {
        SCOPED_TRACE(pieces);
        CDownloadFile file;
        ASSERT_TRUE(file.Open("Z:\\dev\\full"));
        bool accepted = true;
        for (size_t i = 0; i < pieces && accepted; ++i) accepted = file.Write(piece.data(), piece.size());
        if (pieces * piece.size() > 1024 * 1024) {
            EXPECT_FALSE(accepted);
        }
        long long size = 0;
        EXPECT_FALSE(file.Finish(&size));
        EXPECT_FALSE(file.IsOpen());
    }
}
