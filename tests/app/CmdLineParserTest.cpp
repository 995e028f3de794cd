#include <gtest/gtest.h>
#include "CmdLineParser.h"
#include "UpdaterArgs.h"

TEST(CmdLineParser, KeysAndValues)
{
    struct Case {
        const wchar_t* text;
        std::map<std::wstring, std::wstring> keys;
    } cases[] = {
        {L"-u 12", {{L"u", L"12"}}},
        {L"/u:12", {{L"u", L"12"}}},
        {L"-U=12", {{L"u", L"12"}}},
        {L"-u   :=12", {{L"u", L"12"}}},
        {L"-name \"a b c\" -x 1", {{L"name", L"a b c"}, {L"x", L"1"}}},
        {L"-name \"unterminated value", {{L"name", L"unterminated value"}}},
        {L"-flag -u 5", {{L"flag", L""}, {L"u", L"5"}}},
        {L"-flag", {{L"flag", L""}}},
        {L"-u", {{L"u", L""}}},
        {L"-u ", {{L"u", L""}}},
        {L"-u 1 -u 2 -U 3", {{L"u", L"1"}}},  // first occurrence wins
        {L"", {}},
        {L"-", {}},
        {L"plain words", {}},
        {L"- 12", {}},                         // an empty key is not stored
        {L"-a 1 /b:2 -c=\"x y\" tail", {{L"a", L"1"}, {L"b", L"2"}, {L"c", L"x y"}}},
    };
    for (const Case& c : cases) {
        CCmdLineParser parser(c.text, false);
        std::map<std::wstring, std::wstring> got(parser.GetKeys().begin(), parser.GetKeys().end());
        EXPECT_EQ(got, c.keys) << "command line: " << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(parser.GetCmdLine(), c.text);
    }
}

TEST(CmdLineParser, LookupFollowsCaseSensitivity)
{
    CCmdLineParser insensitive(L"-Key=v", false);
    EXPECT_TRUE(insensitive.HasKey(L"KEY"));
    EXPECT_STREQ(insensitive.GetValue(L"key"), L"v");

    CCmdLineParser sensitive(L"-Key=v", true);
    EXPECT_TRUE(sensitive.HasKey(L"Key"));
    EXPECT_FALSE(sensitive.HasKey(L"key"));
    EXPECT_EQ(sensitive.GetValue(L"key"), nullptr);

    CCmdLineParser parser(L"-a 1", false);
    parser.Parse(L"-b 2");  // a new parse forgets the old keys
    EXPECT_FALSE(parser.HasKey(L"a"));
    EXPECT_STREQ(parser.GetValue(L"b"), L"2");
}

TEST(UpdaterArguments, CafeIdAndForceFlag)
{
    struct Case {
        const wchar_t* text;
        uint32_t id;
        bool force;
    } cases[] = {
        {L"-u 12", 12, false},
        {L"/U:12", 12, false},
        {L"-u=12", 12, false},
        {L"-c 12", 12, true},
        {L"-c 12 -u 34", 34, true},
        {L"-u 34 -c 12", 34, true},  // "u" beats "c" whatever the order
        {L"-u", 0, false},
        {L"-u abc", 0, false},
        {L"-u 0", 0, false},
        {L"", 0, false},
        {L"-x -u 5", 5, false},
    };
    for (const Case& c : cases) {
        uint32_t id = 0;
        bool force = false;
        ReadUpdaterArguments(c.text, id, force);
        EXPECT_EQ(id, c.id) << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(force, c.force) << testing::PrintToString(std::wstring(c.text));
    }
}
