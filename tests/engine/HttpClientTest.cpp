// CHttpClient against the update-service stand-in, reached through the proxy variables.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <windows.h>
#include <string>
#include <vector>
#include "HttpClient.h"
#include "StandIn.h"

namespace {

class HttpClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(CHttpClient::GlobalInit()); }
};

Json::Value Route(const char* path, int status, const char* body)
{
    Json::Value r;
    r["path"] = path;
    r["status"] = status;
    r["body"] = body;
    return r;
}

// Position of the first header with that name in the logged request, -1 when absent.
int IndexOf(const standin::Request& r, const char* name)
{
    for (size_t i = 0; i < r.headers.size(); ++i)
        if (_stricmp(r.headers[i].first.c_str(), name) == 0) return static_cast<int>(i);
    return -1;
}

}  // namespace

TEST_F(HttpClientTest, GetCarriesTheHeaderLinesInOrderThroughTheProxy)
{
    Json::Value spec;
    spec["routes"].append(Route("/index.php?g=home&m=api&a=ping", 200, "{\"code\":\"101\"}"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();

    CHttpClient client;
    ASSERT_TRUE(client.Init());
    std::string url = sc.Url("/index.php?g=home&m=api&a=ping");
    ASSERT_TRUE(client.Request(url.c_str(), true)) << client.GetErrorText();
    EXPECT_EQ(client.GetBody(), "{\"code\":\"101\"}");
    EXPECT_EQ(client.GetResponseHeaders().compare(0, 15, "HTTP/1.1 200 OK"), 0) << client.GetResponseHeaders();
    EXPECT_NE(client.GetResponseHeaders().find("Content-Length: 14\r\n"), std::string::npos);
    EXPECT_EQ(client.GetErrorText(), "");

    auto log = sc.Log();
    ASSERT_EQ(log.size(), 1u);
    const standin::Request& r = log[0];
    // Absolute form: libcurl took the proxy from the environment.
    EXPECT_EQ(r.requestLine, "GET " + url + " HTTP/1.1");
    EXPECT_EQ(r.Header("Accept"), "*/*");
    EXPECT_EQ(r.Header("Accept-Language"), "zh-CN");
    EXPECT_EQ(r.Header("User-Agent"),
              "Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
              "Chrome/65.0.3325.146 Safari/537.36");
    EXPECT_EQ(r.Header("Host"), sc.Host());
    EXPECT_EQ(r.Header("Connection"), "Keep-Alive");
    EXPECT_NE(r.Header("Accept-Encoding").find("gzip"), std::string::npos);
    EXPECT_FALSE(r.HasHeader("Cookie"));
    // The lines go out in the order given; libcurl itself puts a given Host line first.
    EXPECT_EQ(IndexOf(r, "Host"), 0);
    int accept = IndexOf(r, "Accept"), language = IndexOf(r, "Accept-Language"), agent = IndexOf(r, "User-Agent"),
        connection = IndexOf(r, "Connection");
    EXPECT_EQ(language, accept + 1);
    EXPECT_EQ(agent, accept + 2);
    EXPECT_EQ(connection, accept + 3);
}

TEST_F(HttpClientTest, EveryCompletedTransferIsTrueWhateverTheStatus)
{
    struct Case {
        const char* path;
        int status;
        const char* body;
    } cases[] = {
        {"/error", 500, "<html>internal error</html>"},
        {"/missing", 404, "not here"},
        {"/moved", 302, "moved away"},  // never followed
        {"/notjson", 200, "<html>maintenance</html>"},
        {"/empty", 200, ""},
    };
    Json::Value spec;
    for (const Case& c : cases) spec["routes"].append(Route(c.path, c.status, c.body));
    spec["routes"][2]["location"] = "/elsewhere";
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();

    CHttpClient client;  // one client, several requests: each starts with empty buffers
    ASSERT_TRUE(client.Init());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(client.Request(sc.Url(c.path).c_str(), true)) << client.GetErrorText();
        EXPECT_EQ(client.GetBody(), c.body);
        std::string statusLine = "HTTP/1.1 " + std::to_string(c.status) + " ";
        EXPECT_EQ(client.GetResponseHeaders().compare(0, statusLine.size(), statusLine), 0)
            << client.GetResponseHeaders();
    }
    EXPECT_TRUE(sc.LogFor("/elsewhere").empty()) << "the redirect was followed";
    EXPECT_EQ(sc.Log().size(), 5u);
}

TEST_F(HttpClientTest, GzipEncodedReplyArrivesDecoded)
{
    Json::Value spec;
    Json::Value r = Route("/packed", 200, "{\"code\":\"101\",\"msg\":\"\xe5\x8e\x8b\xe7\xbc\xa9\"}");
    r["gzip"] = true;
    spec["routes"].append(r);
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();

    CHttpClient client;
    ASSERT_TRUE(client.Init());
    ASSERT_TRUE(client.Request(sc.Url("/packed").c_str(), true)) << client.GetErrorText();
    EXPECT_EQ(client.GetBody(), "{\"code\":\"101\",\"msg\":\"\xe5\x8e\x8b\xe7\xbc\xa9\"}");
    EXPECT_NE(client.GetResponseHeaders().find("Content-Encoding: gzip"), std::string::npos);
}

TEST_F(HttpClientTest, ExtraHeadersAreSplitIntoLinesAndOneCharacterPiecesDropped)
{
    standin::Scenario sc;
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    CHttpClient client;
    ASSERT_TRUE(client.Init());
    ASSERT_TRUE(client.Request(sc.Url("/a").c_str(), true, "X-One: 1;X-Two: 2; ;x\r\nX-Three: 3\n", "sid=42"));
    ASSERT_TRUE(client.Request(sc.Url("/b").c_str(), true, "", nullptr));

    auto log = sc.Log();
    ASSERT_EQ(log.size(), 2u);
    const standin::Request& r = log[0];
    EXPECT_EQ(r.Header("X-One"), "1");
    EXPECT_EQ(r.Header("X-Two"), "2");
    EXPECT_EQ(r.Header("X-Three"), "3");
    EXPECT_EQ(r.Header("Cookie"), "sid=42");
    EXPECT_FALSE(r.HasHeader("x"));
    int accept = IndexOf(r, "Accept"), one = IndexOf(r, "X-One"), two = IndexOf(r, "X-Two"),
        three = IndexOf(r, "X-Three"), language = IndexOf(r, "Accept-Language");
    EXPECT_LT(accept, one);
    EXPECT_LT(one, two);
    EXPECT_LT(two, three);
    EXPECT_LT(three, language);
    // Headers and cookie belong to their request only.
    EXPECT_FALSE(log[1].HasHeader("X-One"));
    EXPECT_EQ(IndexOf(log[1], "Accept") + 1, IndexOf(log[1], "Accept-Language"));
}

TEST_F(HttpClientTest, OverLongExtraHeadersAreRefusedWithoutARequest)
{
    standin::Scenario sc;
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    CHttpClient client;
    ASSERT_TRUE(client.Init());

    std::string longest = "X-Long: " + std::string(CHttpClient::kMaxExtraHeaders - 1 - 8, 'a');
    ASSERT_EQ(longest.size(), CHttpClient::kMaxExtraHeaders - 1);
    EXPECT_TRUE(client.Request(sc.Url("/fits").c_str(), true, longest.c_str())) << client.GetErrorText();

    std::string tooLong = longest + "a";
    EXPECT_FALSE(client.Request(sc.Url("/too-long").c_str(), true, tooLong.c_str()));
    EXPECT_NE(client.GetErrorText(), "");
    std::string huge(1 << 20, ';');
    EXPECT_FALSE(client.Request(sc.Url("/huge").c_str(), true, huge.c_str()));

    auto log = sc.Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].target, "/fits");
    EXPECT_EQ(log[0].Header("X-Long").size(), longest.size() - 8);
}

TEST_F(HttpClientTest, HttpsGoesThroughAConnectTunnel)
{
    Json::Value spec;
    spec["routes"].append(Route("/secure", 200, "tunnelled"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();

    CHttpClient client;
    ASSERT_TRUE(client.Init());
    ASSERT_TRUE(client.Request(sc.HttpsUrl("/secure").c_str(), true)) << client.GetErrorText();
    EXPECT_EQ(client.GetBody(), "tunnelled");

    auto log = sc.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].method, "CONNECT");
    EXPECT_EQ(log[0].target, sc.Host() + ":443");
    EXPECT_EQ(log[1].scheme, "https");
    EXPECT_EQ(log[1].requestLine, "GET /secure HTTP/1.1");
    EXPECT_EQ(log[1].Header("Host"), sc.Host());
    EXPECT_EQ(log[1].Header("Accept-Language"), "zh-CN");
    // The request's own header lines stay inside the tunnel.
    EXPECT_FALSE(log[0].HasHeader("Accept-Language"));
}

TEST_F(HttpClientTest, ServerThatNeverAnswersTimesOutAfterTenSeconds)
{
    Json::Value spec;
    Json::Value r;
    r["path"] = "/silent";
    r["no_reply"] = true;
    r["stall_seconds"] = 30;
    spec["routes"].append(r);
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();

    CHttpClient client;
    ASSERT_TRUE(client.Init());
    DWORD start = GetTickCount();
    EXPECT_FALSE(client.Request(sc.Url("/silent").c_str(), true));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 9000u);
    EXPECT_LT(elapsed, 20000u);
    EXPECT_EQ(client.GetErrorText(), curl_easy_strerror(CURLE_OPERATION_TIMEDOUT));
    EXPECT_EQ(client.GetBody(), "");
}

TEST_F(HttpClientTest, TransportFailureSetsTheErrorText)
{
    // A proxy that refuses connections: nothing listens on port 1.
    std::string saved = getenv("http_proxy") ? getenv("http_proxy") : "";
    _putenv("http_proxy=http://127.0.0.1:1");
    CHttpClient client;
    ASSERT_TRUE(client.Init());
    bool ok = client.Request("http://update.tollvane.invalid/index.php", true);
    _putenv(("http_proxy=" + saved).c_str());
    EXPECT_FALSE(ok);
    EXPECT_EQ(client.GetErrorText(), curl_easy_strerror(CURLE_COULDNT_CONNECT));
    EXPECT_EQ(client.GetBody(), "");
}

TEST_F(HttpClientTest, HandleLifecycle)
{
    CHttpClient client;
    EXPECT_TRUE(client.SetTimeouts(5, 5));  // without a handle: nothing to set
    EXPECT_FALSE(client.Request("http://update.tollvane.invalid/", true));
    ASSERT_TRUE(client.Init());
    client.Cleanup();
    client.Cleanup();
    EXPECT_FALSE(client.Request("http://update.tollvane.invalid/", true));

    // The callbacks store nothing without a client, and take every byte.
    char bytes[] = "abc";
    EXPECT_EQ(CHttpClient::BodyCallback(bytes, 1, 3, nullptr), 3u);
    EXPECT_EQ(CHttpClient::HeaderCallback(bytes, 1, 3, nullptr), 3u);
}
