// Test support for the café-service tests: a stand-in scenario with a port of its own (the café
// host is fixed at build time), and the café requests as rows of one table.
#pragma once
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <json/json.h>

#include "CafeProtocol.h"
#include "ServerBaseUrl.h"
#include "StandIn.h"

namespace cafetest {

using namespace Pellmora;

// A request's result reduced to what every row shares: status, code and the members in order.
struct Outcome {
    CafeStatus status = CafeStatus::Failed;
    std::string code;
    std::vector<std::string> members;

    bool AllEmpty() const
    {
        if (!code.empty()) return false;
        for (const auto& m : members)
            if (!m.empty()) return false;
        return true;
    }
};

inline Outcome Of(const CafeReply& r) { return {r.status, r.code, {}}; }
inline Outcome Of(const CheckFirstReply& r) { return {r.status, r.code, {r.first, r.strname}}; }
inline Outcome Of(const BarLoginReply& r)
{
    return {r.status, r.code, {r.barId, r.strname, r.address, r.person, r.phone, r.addressUrl}};
}
inline Outcome Of(const ActivityReply& r) { return {r.status, r.code, {r.url}}; }
inline Outcome Of(const OpenInfoReply& r)
{
    return {r.status, r.code, {r.uname, r.bcertificode, r.strsfzphoto, r.strsffphoto, r.strzmphoto, r.bsex, r.bnation}};
}

inline const char* StatusName(CafeStatus s)
{
    return s == CafeStatus::Succeeded ? "Succeeded" : s == CafeStatus::Refused ? "Refused" : "Failed";
}

// One row of the café-service table.
struct CafeRow {
    const char* action;  // the stand-in's name of the request
    const char* path;    // after the base URL
    const char* method;
    std::vector<std::pair<std::string, std::string>> fields;  // as the stand-in logs them (UTF-8)
    std::vector<const char*> members;                         // the reply members the row reads
    std::function<Outcome(CHttpClient&)> send;
};

// The café every test starts from: code 10001, password 123456, bound, a code already sent to
// 13900000000, customers 55 (张三) and 56.
inline Json::Value CafeSpec()
{
    Json::Value spec;
    spec["proxy_port"] = true;
    Json::Value& cafe = spec["cafe"];
    cafe["code"] = "10001";
    cafe["password"] = "123456";
    cafe["sms_sent"].append("13900000000");
    cafe["customers"]["55"]["uname"] = "\xE5\xBC\xA0\xE4\xB8\x89";  // 张三
    cafe["customers"]["56"]["uname"] = "Li Si";
    cafe["customers"]["56"]["bsex"] = "2";
    return spec;
}

inline std::vector<CafeRow> CafeRows()
{
    using P = std::vector<std::pair<std::string, std::string>>;
    return {
        {"check_first", kCheckFirstPath, "POST", P{{"bbarcode", "10001"}}, {"first", "strname"},
         [](CHttpClient& c) { return Of(RequestCheckFirst(c, "10001")); }},
        {"bar_login", kBarLoginPath, "POST", P{{"bbarcode", "10001"}, {"bpwd", "123456"}},
         {"bar_id", "strname", "address", "person", "phone", "address_url"},
         [](CHttpClient& c) { return Of(RequestBarLogin(c, "10001", "123456")); }},
        {"send_code", kSendCodePath, "POST", P{{"mobile", "13900000000"}, {"type", "4"}}, {},
         [](CHttpClient& c) { return Of(RequestSendCode(c, "13900000000")); }},
        {"check_code", kCheckCodePath, "POST", P{{"mobile", "13900000000"}, {"code", "246810"}, {"type", "4"}}, {},
         [](CHttpClient& c) { return Of(RequestCheckCode(c, "13900000000", "246810")); }},
        {"update_bar", kUpdateBarPath, "POST", P{{"bbarcode", "10001"}, {"phone", "13900000000"}, {"first", "2"}}, {},
         [](CHttpClient& c) { return Of(RequestBindPhone(c, "10001", "13900000000")); }},
        {"update_bar", kUpdateBarPath, "POST", P{{"password", "123456"}, {"bbarcode", "10001"}, {"type", "4"}}, {},
         [](CHttpClient& c) { return Of(RequestSetPassword(c, "123456", "10001")); }},
        {"activity", kActivityPath, "GET", P{}, {"url"}, [](CHttpClient& c) { return Of(RequestActivity(c)); }},
        {"get_openinfo", kGetOpenInfoPath, "POST", P{{"uid", "55"}},
         {"uname", "bcertificode", "strsfzphoto", "strsffphoto", "strzmphoto", "bsex", "bnation"},
         [](CHttpClient& c) { return Of(RequestOpenInfo(c, 55)); }},
        {"post_openstate", kPostOpenStatePath, "POST", P{{"uid", "55"}, {"open_state", "1"}}, {},
         [](CHttpClient& c) { return Of(RequestPostOpenState(c, 55, 1)); }},
    };
}

// The café host of this build: g_serverBaseUrl without "https://".
inline std::string CafeHost()
{
    std::string base = g_serverBaseUrl;
    return base.substr(base.find("://") + 3);
}

// A scenario of its own with the proxy variables pointing at its port for the test's life.
class CafeFixture : public ::testing::Test {
protected:
    void Start(const Json::Value& spec)
    {
        m_scenario.reset(new standin::Scenario(spec));
        ASSERT_TRUE(m_scenario->Ok()) << m_scenario->Error();
        ASSERT_FALSE(m_scenario->Proxy().empty());
        m_proxy.reset(new standin::ScopedProxy(m_scenario->Proxy()));
    }
    void TearDown() override
    {
        m_proxy.reset();
        m_scenario.reset();
    }
    // The requests of the scenario so far, tunnels left out.
    std::vector<standin::Request> Requests() const { return m_scenario->LogFor("/"); }

    std::unique_ptr<standin::Scenario> m_scenario;
    std::unique_ptr<standin::ScopedProxy> m_proxy;
};

}  // namespace cafetest
