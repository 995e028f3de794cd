// Every café request against every way the service can misbehave (one table): the request fails
// (or reads exactly what the rule allows), nothing throws, and a failed result carries nothing
// that a caller could keep.
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>

#include "CafeServiceSupport.h"

namespace {

using namespace Pellmora;
using namespace cafetest;

// What a misbehaviour must lead to.
enum class Expect {
    Fail,            // a failed request
    Succeed,         // an ordinary success: the misbehaviour is one the reader must accept
    Refuse,          // a reply that parses, with a code other than "101"
    FailIfRead,      // failed where the row reads the member, an ordinary success elsewhere
};

struct Misbehaviour {
    const char* name;
    const char* rule;    // the stand-in's rule, JSON
    Expect expect;
    const char* member;  // for FailIfRead, and for checks of what a member reads
    std::string value;   // what `member` reads when the row reads it (Succeed only)
    bool slow = false;   // needs the short client time-outs
};

const std::vector<Misbehaviour>& Table()
{
    static const std::vector<Misbehaviour> table = {
        {"body not JSON", R"({"body": "<html><body>502 Bad Gateway</body></html>"})", Expect::Fail, nullptr, ""},
        {"empty body", R"({"body": ""})", Expect::Fail, nullptr, ""},
        {"JSON array root", R"({"json": [{"code": "101"}]})", Expect::Fail, nullptr, ""},
        {"JSON string root", R"({"json": "101"})", Expect::Fail, nullptr, ""},
        {"code the number 101", R"({"members": {"code": 101}})", Expect::Succeed, nullptr, ""},
        {"code another number", R"({"members": {"code": 102}})", Expect::Refuse, nullptr, ""},
        {"code an object", R"({"members": {"code": {"value": "101"}}})", Expect::Fail, nullptr, ""},
        {"code missing", R"({"members": {"code": null}})", Expect::Refuse, nullptr, ""},
        {"bar_id a number", R"({"members": {"bar_id": 3001}})", Expect::FailIfRead, "bar_id", ""},
        {"bsex a number", R"({"members": {"bsex": 1}})", Expect::FailIfRead, "bsex", ""},
        {"uname an object", R"({"members": {"uname": {"first": "a"}}})", Expect::FailIfRead, "uname", ""},
        {"uname an array", R"({"members": {"uname": ["a", "b"]}})", Expect::FailIfRead, "uname", ""},
        {"strname an array", R"({"members": {"strname": []}})", Expect::FailIfRead, "strname", ""},
        {"url an object", R"({"members": {"url": {}}})", Expect::FailIfRead, "url", ""},
        {"first the number 2", R"({"members": {"first": 2}})", Expect::Succeed, "first", "2"},
        {"escaped quote", R"({"raw_members": {"uname": "\"a\\u0022b\""}})", Expect::Succeed, "uname", "a\"b"},
        {"escaped backslash", R"({"raw_members": {"uname": "\"a\\u005cb\""}})", Expect::Succeed, "uname", "a\\b"},
        {"escaped backslash pair", R"({"raw_members": {"uname": "\"a\\\\u0041\""}})", Expect::Succeed, "uname",
         "a\\u0041"},
        {"escaped zero", R"({"raw_members": {"uname": "\"a\\u0000b\""}})", Expect::Succeed, "uname",
         std::string("a\0b", 3)},
        {"injection through escaped quotes",
         R"({"raw_members": {"uname": "\"x\\u0022,\\u0022code\\u0022:\\u0022102\""}})", Expect::Succeed, "uname",
         "x\",\"code\":\"102"},
        {"escape not hexadecimal", R"({"raw_members": {"uname": "\"a\\uZZZZ\""}})", Expect::Fail, nullptr, ""},
        {"trailing short escape", R"({"body": "{\"code\":\"101\",\"uname\":\"a\\u12"})", Expect::Fail, nullptr, ""},
        {"gzip-encoded body", R"({"gzip": true})", Expect::Succeed, nullptr, ""},
        {"status 500 with a JSON body", R"({"status": 500, "json": {"code": "500", "msg": "server error"}})",
         Expect::Refuse, nullptr, ""},
        {"delay within the time-out", R"({"delay": 1})", Expect::Succeed, nullptr, ""},
        {"delay past the time-out", R"({"delay": 6})", Expect::Fail, nullptr, "", true},
        {"no reply", R"({"no_reply": true, "stall_seconds": 20})", Expect::Fail, nullptr, "", true},
    };
    return table;
}

Json::Value ParseJson(const char* text)
{
    Json::Value v;
    Json::Reader reader;
    reader.parse(text, v);
    return v;
}

class CafeMisbehaviour : public CafeFixture, public ::testing::WithParamInterface<size_t> {};

TEST_P(CafeMisbehaviour, EveryRuleOnThisRequest)
{
    const CafeRow row = CafeRows()[GetParam()];
    // One scenario; the rules reach the request one by one as a reply sequence.
    Json::Value spec = CafeSpec();
    for (const Misbehaviour& m : Table())
        spec["rules"][row.action].append(ParseJson(m.rule));
    Start(spec);

    for (const Misbehaviour& m : Table()) {
        SCOPED_TRACE(m.name);
        CHttpClient client;
        ASSERT_TRUE(client.Init());
        if (m.slow)
            client.SetTimeouts(3, 3);
        Outcome out;
        ASSERT_NO_THROW(out = row.send(client));

        bool reads = m.member && std::find_if(row.members.begin(), row.members.end(), [&](const char* n) {
                                     return std::string(n) == m.member;
                                 }) != row.members.end();
        Expect expect = m.expect;
        if (expect == Expect::FailIfRead)
            expect = reads ? Expect::Fail : Expect::Succeed;
        switch (expect) {
        case Expect::Fail:
            EXPECT_EQ(out.status, CafeStatus::Failed) << StatusName(out.status);
            EXPECT_TRUE(out.AllEmpty());
            break;
        case Expect::Refuse:
            EXPECT_EQ(out.status, CafeStatus::Refused) << StatusName(out.status);
            EXPECT_NE(out.code, "101");
            break;
        default:
            EXPECT_EQ(out.status, CafeStatus::Succeeded) << StatusName(out.status) << " " << client.GetErrorText();
            EXPECT_EQ(out.code, "101");
            if (reads && m.member) {
                size_t at = std::find_if(row.members.begin(), row.members.end(),
                                         [&](const char* n) { return std::string(n) == m.member; }) -
                            row.members.begin();
                ASSERT_LT(at, out.members.size());
                EXPECT_EQ(out.members[at], m.value);
            }
            break;
        }
    }
    // Every rule was used, one request each.
    EXPECT_EQ(m_scenario->LogFor(row.path).size(), Table().size());
}

std::string RowName(const ::testing::TestParamInfo<size_t>& info)
{
    static const char* const names[] = {"CheckFirst", "BarLogin", "SendCode", "CheckCode", "BindPhone",
                                        "SetPassword", "Activity", "GetOpenInfo", "PostOpenState"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Requests, CafeMisbehaviour, ::testing::Range<size_t>(0, 9), RowName);

}  // namespace
