// The reply reader and the unescaping never read past their input and never throw: every prefix
// of real replies and random bytes, each placed so that it ends right before a page that may not
// be touched.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <random>
#include <string>
#include <vector>

#include "CafeProtocol.h"
#include "CodePage.h"

namespace {

using namespace Pellmora;

// A read-write area followed by one PAGE_NOACCESS page; Place puts a text so that its last byte
// is the last readable one.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t room)
    {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        m_page = si.dwPageSize;
        m_room = (room + m_page - 1) / m_page * m_page;
        m_base = static_cast<char*>(VirtualAlloc(nullptr, m_room + m_page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        if (m_base)
            VirtualProtect(m_base + m_room, m_page, PAGE_NOACCESS, &old);
    }
    ~GuardedBuffer()
    {
        if (m_base)
            VirtualFree(m_base, 0, MEM_RELEASE);
    }
    bool Ok() const { return m_base != nullptr; }
    const char* Place(const char* data, size_t length)
    {
        char* at = m_base + m_room - length;
        memcpy(at, data, length);
        return at;
    }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

private:
    size_t m_page = 4096;
    size_t m_room = 0;
    char* m_base = nullptr;
};

// Runs every reader over the text; a result is either a failure with no member or a reply with
// the code read.
void ReadAll(const char* p, size_t n)
{
    std::string unescaped = UnescapeUnicode(p, n);
    EXPECT_LE(unescaped.size(), n * 2);
    CafeReply code = ParseCodeReply(p, n);
    CheckFirstReply first = ParseCheckFirstReply(p, n);
    BarLoginReply login = ParseBarLoginReply(p, n);
    ActivityReply activity = ParseActivityReply(p, n);
    OpenInfoReply info = ParseOpenInfoReply(p, n);
    if (login.Failed()) {
        EXPECT_TRUE(login.code.empty() && login.barId.empty() && login.strname.empty() && login.addressUrl.empty());
    }
    if (info.Failed()) {
        EXPECT_TRUE(info.code.empty() && info.uname.empty() && info.bsex.empty() && info.strzmphoto.empty());
    }
    if (first.Failed()) {
        EXPECT_TRUE(first.first.empty() && first.strname.empty());
    }
    (void)code;
    (void)activity;
}

const char* const kReplies[] = {
    R"({"code":"101","first":"2","strname":"\u661f\u6cb3\u7f51\u5427"})",
    R"({"code":"101","bar_id":"3001","strname":"\u661f\u6cb3\u7f51\u5427","address":"\u89e3\u653e\u8def 12 \u53f7","person":"\u674e\u56db","phone":"13800000000","address_url":"https://map.standin.test/cafe/3001"})",
    R"({"code":"101","uname":"\u5f20\u4e09","bcertificode":"110101199001011234","strsfzphoto":"/upload/id/55-front.jpg","strsffphoto":"/upload/id/55-back.jpg","strzmphoto":"/upload/face/55.jpg","bsex":"1","bnation":"0000"})",
    R"({"code":"101","url":"https://cafe.pellmora.invalid/index.php?g=home&m=activity&a=page"})",
    R"({"code":"102","msg":"\u9a8c\u8bc1\u7801\u9519\u8bef"})",
    R"({"code":101,"uname":"a\u0022b\u005c\\u0041\u0000","bsex":"2", /* note */ "x":[1,{"y":null}]})",
    R"(  {"code" : "101" , "first" : 2 , "strname" : "\uZZZZ\u12"} trailing)",
    R"({"code":"101","uname":"end\u12)",
};

TEST(ReplyFuzz, EveryPrefixOfRealReplies)
{
    GuardedBuffer buffer(4096);
    ASSERT_TRUE(buffer.Ok());
    for (const char* reply : kReplies) {
        const size_t n = strlen(reply);
        for (size_t len = 0; len <= n; ++len)
            ReadAll(buffer.Place(reply, len), len);
    }
    // The whole replies read as they should.
    BarLoginReply login = ParseBarLoginReply(kReplies[1], strlen(kReplies[1]));
    EXPECT_TRUE(login.Succeeded());
    EXPECT_EQ(login.barId, "3001");
    OpenInfoReply info = ParseOpenInfoReply(kReplies[2], strlen(kReplies[2]));
    EXPECT_TRUE(info.Succeeded());
    EXPECT_EQ(info.uname, "\xD5\xC5\xC8\xFD");
}

TEST(ReplyFuzz, RandomBytes)
{
    GuardedBuffer buffer(4096);
    ASSERT_TRUE(buffer.Ok());
    std::mt19937 random(20170904);
    // Mostly the characters that steer the readers, some of every byte value.
    const std::string steering = "{}[]\":,\\u0123456789abcdefABCDEF 101 code bar_id bsex uname /*\n";
    std::string text;
    for (int round = 0; round < 3000; ++round) {
        size_t n = random() % 200;
        text.resize(n);
        for (size_t i = 0; i < n; ++i)
            text[i] = random() % 4 ? steering[random() % steering.size()] : static_cast<char>(random() & 0xff);
        if (round % 3 == 0 && n > 10)
            text.replace(0, 8, "{\"code\":");
        ReadAll(buffer.Place(text.data(), n), n);
    }
}

// Nesting that would exhaust the stack of a recursive reader fails the reply instead.
TEST(ReplyFuzz, DeepNestingFails)
{
    for (char open : {'[', '{'}) {
        std::string deep = "{\"code\":\"101\",\"x\":" + std::string(200000, open);
        EXPECT_TRUE(ParseCodeReply(deep.data(), deep.size()).Failed());
    }
    std::string nested = "{\"code\":\"101\",\"x\":" + std::string(50, '[') + std::string(50, ']') + "}";
    EXPECT_TRUE(ParseCodeReply(nested.data(), nested.size()).Succeeded());
}

}  // namespace
