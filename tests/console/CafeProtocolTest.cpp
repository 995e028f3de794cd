// The café-service requests on the wire, through the stand-in's log: path, method, form fields in
// order, header lines, and what counts as success.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "CafeServiceSupport.h"
#include "CodePage.h"
#include "ConsoleHttpClient.h"

namespace {

using namespace Pellmora;
using namespace cafetest;

const char kZhangSanGbk[] = "\xD5\xC5\xC8\xFD";

// The names of `want` appear in the request's headers in this order, with these values.
void ExpectHeaderOrder(const standin::Request& r, const std::vector<std::pair<std::string, std::string>>& want)
{
    size_t at = 0;
    for (const auto& w : want) {
        while (at < r.headers.size() && _stricmp(r.headers[at].first.c_str(), w.first.c_str()) != 0)
            ++at;
        ASSERT_LT(at, r.headers.size()) << w.first << " missing or out of order in " << r.target;
        EXPECT_EQ(r.headers[at].second, w.second) << w.first;
        ++at;
    }
}

class CafeProtocol : public CafeFixture {};

TEST_F(CafeProtocol, EveryRequestOnTheWire)
{
    Start(CafeSpec());
    // libcurl sends a given Host line in its own place, first; the rest keep the list's order.
    const std::vector<std::pair<std::string, std::string>> headers = {
        {"Host", CafeHost()},
        {"Accept", "*/*"},
        {"Accept-Language", "zh-CN"},
        {"User-Agent", "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)"},
        {"Accept-Encoding", "gzip, deflate"},
        {"Connection", "Keep-Alive"},
    };
    for (const CafeRow& row : CafeRows()) {
        SCOPED_TRACE(row.path);
        CHttpClient client;
        Outcome out = row.send(client);
        EXPECT_EQ(out.status, CafeStatus::Succeeded) << StatusName(out.status) << " " << client.GetErrorText();
        EXPECT_EQ(out.code, "101");
        auto log = Requests();
        ASSERT_FALSE(log.empty());
        const standin::Request& r = log.back();
        EXPECT_EQ(r.target, row.path);
        EXPECT_EQ(r.method, row.method);
        EXPECT_EQ(r.scheme, "https");
        EXPECT_EQ(r.fields, row.fields);
        EXPECT_EQ(r.hasForm, std::string(row.method) == "POST");
        ExpectHeaderOrder(r, headers);
        ASSERT_EQ(out.members.size(), row.members.size());
        for (size_t i = 0; i < out.members.size(); ++i)
            EXPECT_FALSE(out.members[i].empty()) << row.members[i];
    }
    // What the café kept: the phone bound, the password set, the opening reported.
    Json::Value cafe = m_scenario->Cafe();
    EXPECT_TRUE(cafe["bound"].asBool());
    EXPECT_EQ(cafe["phone"].asString(), "13900000000");
    EXPECT_EQ(cafe["open_states"][0][0].asString(), "55");
    EXPECT_EQ(cafe["open_states"][0][1].asString(), "1");
}

TEST_F(CafeProtocol, RepliesFillTheTypedResults)
{
    Start(CafeSpec());
    CheckFirstReply first = RequestCheckFirst("10001");
    ASSERT_TRUE(first.Succeeded());
    EXPECT_EQ(first.first, "2");
    EXPECT_EQ(first.strname, WideToAnsi(L"\u661F\u6CB3\u7F51\u5427"));  // 星河网吧, escaped by the service

    BarLoginReply login = RequestBarLogin("10001", "123456");
    ASSERT_TRUE(login.Succeeded());
    EXPECT_EQ(login.barId, "3001");
    EXPECT_EQ(login.strname, WideToAnsi(L"\u661F\u6CB3\u7F51\u5427"));
    EXPECT_EQ(login.address, WideToAnsi(L"\u89E3\u653E\u8DEF 12 \u53F7"));
    EXPECT_EQ(login.person, WideToAnsi(L"\u674E\u56DB"));
    EXPECT_EQ(login.phone, "13800000000");
    EXPECT_EQ(login.addressUrl, "https://map.standin.test/cafe/3001");

    ActivityReply activity = RequestActivity();
    ASSERT_TRUE(activity.Succeeded());
    EXPECT_EQ(activity.url, "https://" + CafeHost() + "/index.php?g=home&m=activity&a=page");

    OpenInfoReply info = RequestOpenInfo(55);
    ASSERT_TRUE(info.Succeeded());
    EXPECT_EQ(info.uname, kZhangSanGbk);
    EXPECT_EQ(info.bcertificode, "110101199001011234");
    EXPECT_EQ(info.strzmphoto, "/upload/face/55.jpg");
    EXPECT_EQ(info.bsex, "1");
    EXPECT_EQ(info.bnation, "0000");
    EXPECT_EQ(RequestOpenInfo(56).bsex, "2");

    EXPECT_EQ(WebSocketPageUrl("10001"),
              std::string(g_serverBaseUrl) + "/index.php?g=home&m=home&a=websocket&bbarcode=10001");
    EXPECT_EQ(WebSocketPageUrl(std::string(600, '9')).size(), 511u);
}

// Success is the code "101" and nothing else; the café's own answers to wrong input are refusals.
TEST_F(CafeProtocol, RefusalsAndTheCafesState)
{
    Json::Value spec = CafeSpec();
    spec["cafe"]["bound"] = false;
    spec["cafe"]["sms_sent"] = Json::Value(Json::arrayValue);
    Start(spec);

    CheckFirstReply unknown = RequestCheckFirst("99999");
    EXPECT_EQ(unknown.status, CafeStatus::Refused);
    EXPECT_EQ(unknown.code, "102");
    CheckFirstReply unbound = RequestCheckFirst("10001");
    EXPECT_TRUE(unbound.Succeeded());
    EXPECT_EQ(unbound.first, "1");
    EXPECT_EQ(RequestBarLogin("10001", "wrong").status, CafeStatus::Refused);

    // The phone binding: a code is sent, checked, and the binding goes on the same client.
    EXPECT_TRUE(RequestSendCode("13700000000").Succeeded());
    {
        CHttpClient client;
        EXPECT_EQ(RequestCheckCode(client, "13700000000", "000000").status, CafeStatus::Refused);
    }
    {
        CHttpClient client;
        EXPECT_TRUE(RequestCheckCode(client, "13700000000", "246810").Succeeded());
        EXPECT_TRUE(RequestBindPhone(client, "10001", "13700000000").Succeeded());
    }
    EXPECT_TRUE(RequestSetPassword("\xC3\xDC\xC2\xEB" "8", "10001").Succeeded());  // "密码8" in GBK
    EXPECT_EQ(RequestBarLogin("10001", "123456").status, CafeStatus::Refused);
    EXPECT_TRUE(RequestBarLogin("10001", "\xC3\xDC\xC2\xEB" "8").Succeeded());
    EXPECT_EQ(RequestCheckFirst("10001").first, "2");

    EXPECT_EQ(RequestOpenInfo(77).status, CafeStatus::Refused);
    Json::Value cafe = m_scenario->Cafe();
    EXPECT_TRUE(cafe["bound"].asBool());
    EXPECT_EQ(cafe["phone"].asString(), "13700000000");
    EXPECT_EQ(cafe["password"].asString(), "\xE5\xAF\x86\xE7\xA0\x81" "8");  // arrived as GBK, logged as UTF-8
}

// post_openstate is repeated on one client when the first answer is not "101".
TEST_F(CafeProtocol, ReplySequenceOnOneClient)
{
    Json::Value spec = CafeSpec();
    spec["rules"]["post_openstate"][0]["members"]["code"] = "102";
    Start(spec);
    CHttpClient client;
    CafeReply first = RequestPostOpenState(client, 55, 1);
    EXPECT_EQ(first.status, CafeStatus::Refused);
    EXPECT_EQ(first.code, "102");
    CafeReply second = RequestPostOpenState(client, 55, 1);
    EXPECT_TRUE(second.Succeeded());
    auto log = m_scenario->LogFor(kPostOpenStatePath);
    ASSERT_EQ(log.size(), 2u);
    for (const auto& r : log) {
        std::vector<std::pair<std::string, std::string>> want = {{"uid", "55"}, {"open_state", "1"}};
        EXPECT_EQ(r.fields, want);
    }
}

// The page hands over a signed customer id; the service reads it as signed decimal text.
TEST_F(CafeProtocol, CustomerIdsAreSentAsSignedDecimal)
{
    Start(CafeSpec());
    using P = std::vector<std::pair<std::string, std::string>>;
    struct { int32_t uid; const char* text; } cases[] = {
        {-1, "-1"}, {-2147483647 - 1, "-2147483648"}, {2147483647, "2147483647"}, {56, "56"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CHttpClient client;
        RequestOpenInfo(client, c.uid);
        RequestPostOpenState(client, c.uid, -3);
        auto open = m_scenario->LogFor(kGetOpenInfoPath);
        auto state = m_scenario->LogFor(kPostOpenStatePath);
        ASSERT_FALSE(open.empty());
        ASSERT_FALSE(state.empty());
        EXPECT_EQ(open.back().fields, (P{{"uid", c.text}}));
        EXPECT_EQ(state.back().fields, (P{{"uid", c.text}, {"open_state", "-3"}}));
    }
}

// After a POST the handle keeps no form: the next request of the client carries only its own
// fields, and a GET carries none.
TEST_F(CafeProtocol, ASecondPostCarriesOnlyItsOwnFields)
{
    Start(CafeSpec());
    CHttpClient client;
    ASSERT_TRUE(RequestCheckCode(client, "13900000000", "246810").Succeeded());
    ASSERT_TRUE(RequestBindPhone(client, "10001", "13900000000").Succeeded());
    ASSERT_TRUE(RequestActivity(client).Succeeded());
    ASSERT_TRUE(RequestOpenInfo(client, 56).Succeeded());
    auto log = Requests();
    ASSERT_EQ(log.size(), 4u);
    using P = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(log[0].fields, (P{{"mobile", "13900000000"}, {"code", "246810"}, {"type", "4"}}));
    EXPECT_EQ(log[1].fields, (P{{"bbarcode", "10001"}, {"phone", "13900000000"}, {"first", "2"}}));
    EXPECT_EQ(log[2].method, "GET");
    EXPECT_FALSE(log[2].hasForm);
    EXPECT_EQ(log[3].fields, (P{{"uid", "56"}}));

    // The same with the bare client.
    CHttpClient bare;
    ASSERT_TRUE(bare.Init());
    const std::string url = std::string(g_serverBaseUrl) + kSendCodePath;
    ASSERT_TRUE(bare.AddFormField("mobile", "1"));
    ASSERT_TRUE(bare.AddFormField("type", "4"));
    ASSERT_TRUE(bare.Request(url.c_str(), false));
    ASSERT_TRUE(bare.AddFormField("mobile", "2"));
    ASSERT_TRUE(bare.Request(url.c_str(), false));
    log = m_scenario->LogFor(kSendCodePath);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].fields, (P{{"mobile", "1"}, {"type", "4"}}));
    EXPECT_EQ(log[1].fields, (P{{"mobile", "2"}}));
}

// The service escapes the customer's Chinese name; it reaches the console in its code page.
TEST_F(CafeProtocol, AnEscapedChineseNameArrivesInGbk)
{
    Start(CafeSpec());
    CHttpClient client;
    OpenInfoReply info = RequestOpenInfo(client, 55);
    ASSERT_TRUE(info.Succeeded());
    EXPECT_NE(client.GetBody().find("\\u5f20\\u4e09"), std::string::npos) << client.GetBody();
    EXPECT_EQ(info.uname, kZhangSanGbk);
    EXPECT_EQ(AnsiToWide(info.uname), L"\u5F20\u4E09");
}

// Characters whose GBK form ends in the byte of a backslash (淺 9C 5C, 禱 B6 5C, 籠 BB 5C) arrive
// in the code page like any other, in each of the three replies that are unescaped.
TEST(CafeReplies, EscapedCharactersEndingInByte5CArriveInGbk)
{
    ASSERT_EQ(GetACP(), 936u) << "the tests run with LC_ALL=zh_CN.UTF-8";
    struct { const char* escaped; std::string gbk; } cases[] = {
        {R"(\u6dfa)", "\x9c\x5c"},
        {R"(\u79b1\u7C60)", "\xb6\x5c\xbb\x5c"},
        {R"(\u5f20\u6dfa\u4e09)", "\xd5\xc5\x9c\x5c\xc8\xfd"},
        {R"(\u6dfa\u0022x)", "\x9c\x5c\"x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.escaped);
        const std::string name = c.escaped;
        std::string body = R"({"code":"101","uname":")" + name + R"(","bsex":"1"})";
        OpenInfoReply info = ParseOpenInfoReply(body.data(), body.size());
        ASSERT_TRUE(info.Succeeded());
        EXPECT_EQ(info.uname, c.gbk);
        EXPECT_EQ(info.bsex, "1");
        body = R"({"code":"101","bar_id":"7","strname":")" + name + R"(","address":"a"})";
        BarLoginReply login = ParseBarLoginReply(body.data(), body.size());
        ASSERT_TRUE(login.Succeeded());
        EXPECT_EQ(login.strname, c.gbk);
        EXPECT_EQ(login.address, "a");
        body = R"({"code":"101","first":"2","strname":")" + name + R"("})";
        CheckFirstReply first = ParseCheckFirstReply(body.data(), body.size());
        ASSERT_TRUE(first.Succeeded());
        EXPECT_EQ(first.strname, c.gbk);
        EXPECT_EQ(first.first, "2");
    }
}

TEST(ConsoleHttpClient, HeaderLinesOfExtraTextAndBlankedUrls)
{
    auto lines = CHttpClient::HeaderLines("  https://cafe.example/index.php?a=b  ", "X-One: 1;x\r\nX-Two: 2");
    std::vector<std::string> want = {
        "Accept: */*",
        "X-One: 1",
        "X-Two: 2",
        "Accept-Language: zh-CN",
        "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)",
        "Accept-Encoding: gzip, deflate",
        "Host: cafe.example",
        "Connection: Keep-Alive",
    };
    EXPECT_EQ(lines, want);
    auto onlyHost = CHttpClient::HeaderLines("https://only.host", nullptr);
    ASSERT_GE(onlyHost.size(), 5u);
    EXPECT_EQ(onlyHost[4], "Host: only.host");
    auto noScheme = CHttpClient::HeaderLines("no-scheme/path", nullptr);
    ASSERT_EQ(noScheme.size(), 5u);
    EXPECT_EQ(noScheme.back(), "Connection: Keep-Alive");
    // Extra text is cut at 1023 characters before it is split.
    std::string longText = "X-Long: " + std::string(2000, 'a');
    auto longLines = CHttpClient::HeaderLines("http://h/", longText.c_str());
    ASSERT_GE(longLines.size(), 2u);
    EXPECT_EQ(longLines[1].size(), 1023u);
}

// libcurl refuses a URL with leading blanks; the client reports it and keeps no form.
TEST_F(CafeProtocol, AUrlWithLeadingBlanksFailsAndLeavesNoForm)
{
    Start(CafeSpec());
    CHttpClient client;
    ASSERT_TRUE(client.Init());
    client.AddFormField("mobile", "1");
    std::string url = "  " + std::string(g_serverBaseUrl) + kSendCodePath;
    EXPECT_FALSE(client.Request(url.c_str(), false));
    EXPECT_EQ(client.GetErrorText(), curl_easy_strerror(CURLE_URL_MALFORMAT));
    EXPECT_TRUE(Requests().empty());
    client.AddFormField("mobile", "2");
    ASSERT_TRUE(client.Request((std::string(g_serverBaseUrl) + kSendCodePath).c_str(), false));
    auto log = Requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].fields, (std::vector<std::pair<std::string, std::string>>{{"mobile", "2"}}));
}

// The status is not examined: a 500 page is a completed transfer whose body the reader judges.
TEST_F(CafeProtocol, StatusIsNotExaminedAndGzipIsDecoded)
{
    Json::Value spec = CafeSpec();
    spec["rules"]["send_code"][0]["status"] = 500;
    spec["rules"]["send_code"][1]["gzip"] = true;
    Start(spec);
    CHttpClient client;
    ASSERT_TRUE(client.Init());
    const std::string url = std::string(g_serverBaseUrl) + kSendCodePath;
    client.AddFormField("mobile", "1");
    client.AddFormField("type", "4");
    ASSERT_TRUE(client.Request(url.c_str(), false));
    EXPECT_EQ(client.GetBody(), R"({"code":"101","msg":"sent"})");
    EXPECT_NE(client.GetHeaders().find(" 500 "), std::string::npos);
    client.AddFormField("mobile", "1");
    client.AddFormField("type", "4");
    ASSERT_TRUE(client.Request(url.c_str(), false));
    EXPECT_EQ(client.GetBody(), R"({"code":"101","msg":"sent"})");
    EXPECT_NE(client.GetHeaders().find("Content-Encoding: gzip"), std::string::npos);
}

}  // namespace
