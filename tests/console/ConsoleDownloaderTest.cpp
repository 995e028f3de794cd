// The console's downloader against the stand-in: the customer photo from the café host, the
// updater program that check_update announces, and the ways a download fails.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <thread>
#include <vector>
#include <json/json.h>

#include "CafeServiceSupport.h"
#include "CodePage.h"
#include "ConsoleDownloader.h"
#include "ConsoleHttpClient.h"
#include "EngineBaseSupport.h"
#include "Md5A.h"

namespace {

using namespace cafetest;

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFile(const std::string& path)
{
    std::string bytes;
    enginebase::ReadWholeFile(AnsiToWide(path), bytes);
    return bytes;
}

bool Fetch(const std::string& url, const std::string& target, long lowSpeedSeconds = 0)
{
    Pellmora::CDownloader d;
    if (!d.Init(url, target))
        return false;
    if (lowSpeedSeconds)
        d.SetLowSpeedLimit(1, lowSpeedSeconds);
    return d.Download();
}

class ConsoleDownloader : public CafeFixture {
protected:
    void SetUp() override { m_dir.reset(new enginebase::ScratchDir); }
    std::string Target(const wchar_t* name) const { return WideToAnsi(*m_dir / name); }
    std::unique_ptr<enginebase::ScratchDir> m_dir;
};

TEST_F(ConsoleDownloader, CustomerPhotosFromTheCafeHost)
{
    Start(CafeSpec());
    const std::string base = g_serverBaseUrl;
    const std::string a = Target(L"a.jpg"), b = Target(L"b.jpg");
    ASSERT_TRUE(Fetch(base + "/upload/face/55.jpg", a));
    ASSERT_TRUE(Fetch(base + "/upload/face/56.jpg", b));
    EXPECT_EQ(ReadFile(a).substr(0, 2), "BM");
    EXPECT_NE(ReadFile(a), ReadFile(b));
    EXPECT_FALSE(Exists(a + ".dl"));

    auto log = m_scenario->LogFor("/upload/face/55.jpg");
    ASSERT_EQ(log.size(), 1u);
    const standin::Request& r = log[0];
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.Header("User-Agent"),
              "Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
              "Chrome/65.0.3325.146 Safari/537.36");
    EXPECT_EQ(r.Header("Accept-Language"), "zh-CN,zh;q=0.9");
    EXPECT_EQ(r.Header("Connection"), "Keep-Alive");
    EXPECT_EQ(r.Header("Range"), "bytes=0-");
}

// Every status outside 200..300 fails like any other failure: nothing under the target, no ".dl".
TEST_F(ConsoleDownloader, FailuresLeaveNoFile)
{
    Json::Value spec = CafeSpec();
    Json::Value& photo = spec["rules"]["photo"];
    photo[0]["status"] = 404;
    photo[1]["status"] = 416;  // the range of an empty file: a failure here, unlike the updater's
    photo[1]["body"] = "";
    photo[2]["stall"] = 100;   // 100 bytes, then silence: the low-speed abort ends it
    photo[2]["stall_seconds"] = 30;
    photo[3]["length"] = 999999;  // announces more than it sends
    photo[4]["status"] = 500;
    Start(spec);
    const std::string url = std::string(g_serverBaseUrl) + "/upload/face/55.jpg";
    const char* names[] = {"404", "416", "stall", "short", "500"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const std::string target = Target(L"p.jpg");
        EXPECT_FALSE(Fetch(url, target, 2));
        EXPECT_FALSE(Exists(target));
        EXPECT_FALSE(Exists(target + ".dl"));
    }
    // The next one is served normally; a target that exists already is not replaced.
    const std::string target = Target(L"p.jpg");
    ASSERT_TRUE(Fetch(url, target));
    EXPECT_FALSE(Fetch(url, target));
    EXPECT_EQ(ReadFile(target).substr(0, 2), "BM");
}

// A caller's size cap holds whether the reply announces its length or not; a file of exactly the
// cap's size still arrives. Nothing is left behind by a refused one.
TEST_F(ConsoleDownloader, TheSizeCapHoldsWithAndWithoutAnAnnouncedLength)
{
    Json::Value spec = CafeSpec();
    spec["routes"][0]["path"] = "/sized";
    spec["routes"][0]["body_size"] = 5000;
    spec["routes"][1]["path"] = "/unsized";
    spec["routes"][1]["body_size"] = 5000;
    spec["routes"][1]["no_length"] = true;
    Start(spec);
    const struct {
        const char* path;
        uint64_t cap;
        bool ok;
    } cases[] = {{"/sized", 4999, false}, {"/unsized", 4999, false}, {"/sized", 5000, true}, {"/unsized", 5000, true},
                 {"/unsized", 0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " cap " + std::to_string(c.cap));
        const std::string target = Target(L"capped.bin");
        DeleteFileA(target.c_str());
        Pellmora::CDownloader d;
        d.SetLimits(0, c.cap);
        ASSERT_TRUE(d.Init(m_scenario->Url(c.path), target));
        EXPECT_EQ(d.Download(), c.ok);
        d.Close();
        EXPECT_EQ(Exists(target), c.ok);
        EXPECT_FALSE(Exists(target + ".dl"));
        if (c.ok) {
            EXPECT_EQ(ReadFile(target).size(), 5000u);
        }
    }
}

TEST_F(ConsoleDownloader, RedirectsAreFollowed)
{
    Json::Value spec = CafeSpec();
    spec["routes"][0]["path"] = "/moved.jpg";
    spec["routes"][0]["status"] = 302;
    spec["routes"][0]["location"] = std::string(g_serverBaseUrl) + "/upload/face/56.jpg";
    Start(spec);
    const std::string target = Target(L"m.jpg");
    ASSERT_TRUE(Fetch(std::string(g_serverBaseUrl) + "/moved.jpg", target));
    EXPECT_EQ(ReadFile(target).substr(0, 2), "BM");
}

// The photo on the UI thread and the updater on the timer thread may download at once: the DNS
// cache they share locks.
TEST_F(ConsoleDownloader, TwoThreadsDownloadAtOnce)
{
    Start(CafeSpec());
    const std::string url55 = std::string(g_serverBaseUrl) + "/upload/face/55.jpg";
    const std::string url56 = std::string(g_serverBaseUrl) + "/upload/face/56.jpg";
    int ok[2] = {0, 0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 6; ++i) {
                std::string target = Target((std::to_wstring(t) + L"_" + std::to_wstring(i) + L".jpg").c_str());
                if (Fetch(t ? url56 : url55, target)) ++ok[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(ok[0], 6);
    EXPECT_EQ(ok[1], 6);
}

// The console's check_update: its members, and the updater program they point at.
class ConsoleUpdateService : public ConsoleDownloader {
protected:
    Json::Value Check(const std::string& netbarid, const std::string& version)
    {
        Pellmora::CHttpClient client;
        EXPECT_TRUE(client.Init());
        std::string url = "http://update.tollvane.invalid/index.php?g=home&m=api&a=check_update&netbarid=" + netbarid +
                          "&version=" + version;
        EXPECT_TRUE(client.Request(url.c_str(), true)) << client.GetErrorText();
        Json::Value root;
        Json::Reader reader;
        EXPECT_TRUE(reader.parse(client.GetBody(), root)) << client.GetBody();
        return root;
    }
};

TEST_F(ConsoleUpdateService, AnnouncesTheUpdaterAndServesIt)
{
    Json::Value spec = CafeSpec();
    spec["console_update"]["version"] = "2.0.0";
    spec["console_update"]["version_code"] = "200";
    spec["console_update"]["file"]["size"] = 200000;
    Start(spec);

    Json::Value reply = Check("3001", "100");
    EXPECT_EQ(reply["code"].asString(), "101");
    EXPECT_EQ(reply["version"].asString(), "2.0.0");
    EXPECT_EQ(reply["version_code"].asString(), "200");
    EXPECT_FALSE(reply["msg"].asString().empty());
    EXPECT_FALSE(reply["version_info_url"].asString().empty());
    const std::string md5 = reply["version_update_md5"].asString();
    EXPECT_EQ(md5, m_scenario->Reply()["updater_md5"].asString());

    const std::string target = Target(L"Core.exe.new");
    ASSERT_TRUE(Fetch(reply["version_update_url"].asString(), target));
    EXPECT_EQ(CMd5A().FileMd5Hex(target.c_str()), md5);
    EXPECT_EQ(ReadFile(target).size(), 200000u);

    EXPECT_EQ(Check("3001", "200")["code"].asString(), "102");
    auto log = m_scenario->LogFor("/index.php?g=home&m=api&a=check_update");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].scheme, "http");
}

TEST_F(ConsoleUpdateService, AWrongMd5AndAStalledFile)
{
    Json::Value spec = CafeSpec();
    spec["console_update"]["md5"] = "0123456789abcdef0123456789abcdef";
    spec["rules"]["updater"][0] = Json::Value(Json::objectValue);
    spec["rules"]["updater"][1]["stall"] = 1000;
    spec["rules"]["updater"][1]["stall_seconds"] = 30;
    Start(spec);
    Json::Value reply = Check("3001", "100");
    EXPECT_EQ(reply["version_update_md5"].asString(), "0123456789abcdef0123456789abcdef");
    const std::string target = Target(L"Core.exe.new");
    ASSERT_TRUE(Fetch(reply["version_update_url"].asString(), target));
    EXPECT_NE(CMd5A().FileMd5Hex(target.c_str()), reply["version_update_md5"].asString());
    ASSERT_TRUE(DeleteFileA(target.c_str()));
    EXPECT_FALSE(Fetch(reply["version_update_url"].asString(), target, 2));
    EXPECT_FALSE(Exists(target));
    EXPECT_FALSE(Exists(target + ".dl"));
}

// The web-socket page calls back with the connection and then each queued page event, once.
TEST_F(ConsoleDownloader, WebSocketPageCarriesQueuedEventsOnce)
{
    Start(CafeSpec());
    ASSERT_TRUE(m_scenario->QueueEvent(4, 55, 0));
    Pellmora::CHttpClient client;
    ASSERT_TRUE(client.Init());
    const std::string url = Pellmora::WebSocketPageUrl("10001");
    ASSERT_TRUE(client.Request(url.c_str(), true));
    EXPECT_NE(client.GetBody().find("window_external_CppCall(1,0,0);"), std::string::npos);
    EXPECT_NE(client.GetBody().find("window_external_CppCall(4,55,0);"), std::string::npos);
    ASSERT_TRUE(client.Request(url.c_str(), true));
    EXPECT_EQ(client.GetBody().find("window_external_CppCall(4,55,0);"), std::string::npos);
    EXPECT_EQ(m_scenario->Cafe()["events"].size(), 0u);
}

}  // namespace
