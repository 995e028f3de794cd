#include "CafeProtocol.h"

#include <stdio.h>
#include <initializer_list>
#include <utility>
#include <json/json.h>

#include "CodePage.h"
#include "ServerBaseUrl.h"

namespace Pellmora {

const char kCheckFirstPath[] = "/index.php?g=home&m=bar&a=check_first";
const char kBarLoginPath[] = "/index.php?g=home&m=bar&a=bar_login";
const char kSendCodePath[] = "/index.php?g=home&m=user&a=send_code";
const char kCheckCodePath[] = "/index.php?g=home&m=user&a=check_code";
const char kUpdateBarPath[] = "/index.php?g=home&m=bar&a=update_bar";
const char kActivityPath[] = "/index.php?g=home&m=activity&a=activity";
const char kGetOpenInfoPath[] = "/index.php?g=home&m=open&a=get_openinfo";
const char kPostOpenStatePath[] = "/index.php?g=home&m=open&a=post_openstate";
const char kWebSocketPageFormat[] = "%s/index.php?g=home&m=home&a=websocket&bbarcode=%s";

namespace {

const char kCaPem[] = "norv.pem";
const char kCaData[] = "norv.data";

// One member of a reply: its name, where it goes, and whether only a JSON string will do.
template <class R>
struct Member {
    const char* name;
    std::string R::*field;
    bool stringOnly;
};

// False for a member that asString would throw on (array, object) or that must be a string and
// is not. A missing member reads as empty; `present` tells whether it was there.
bool ReadMember(const Json::Value& root, const char* name, bool stringOnly, std::string& out, bool& present)
{
    const Json::Value& value = root[name];
    present = !value.isNull();
    if (!present) {
        out.clear();
        return true;
    }
    if (value.isArray() || value.isObject())
        return false;
    if (stringOnly && !value.isString())
        return false;
    out = value.asString();
    return true;
}

template <class R>
R ReadReply(const char* body, size_t length, bool unescape, std::initializer_list<Member<R>> members)
{
    try {
        if (!body)
            return R();
        const std::string text = unescape ? UnescapeUnicode(body, length) : std::string(body, length);
        Json::Value root;
        Json::Reader reader;
        if (!reader.parse(text.data(), text.data() + text.size(), root, true) || !root.isObject())
            return R();
        R reply;
        bool present = false;
        if (!ReadMember(root, "code", false, reply.code, present))
            return R();
        bool complete = true;
        for (const Member<R>& m : members) {
            if (!ReadMember(root, m.name, m.stringOnly, reply.*(m.field), present))
                return R();
            if (m.stringOnly && !present)
                complete = false;
        }
        if (reply.code == "101")
            // Success needs the members that must be strings, not just their absence.
            reply.status = complete ? CafeStatus::Succeeded : CafeStatus::Failed;
        else
            reply.status = CafeStatus::Refused;
        return reply.status == CafeStatus::Failed ? R() : reply;
    } catch (...) {
        // The JSON reader throws on pathological input (nesting too deep): a failed request.
        return R();
    }
}

using Fields = std::initializer_list<std::pair<const char*, std::string>>;

// Sends one request of the table and hands the body to its reader.
template <class R>
R Exchange(CHttpClient& client, const char* path, bool get, const char* caFile, Fields fields,
           R (*parse)(const char*, size_t))
{
    try {
        if (!client.HasHandle() && !client.Init())
            return R();
        if (caFile)
            client.SetCaFile(caFile);
        for (const auto& f : fields)
            client.AddFormField(f.first, f.second.c_str());
        const std::string url = std::string(g_serverBaseUrl) + path;
        if (!client.Request(url.c_str(), get))
            return R();
        const std::string& body = client.GetBody();
        return parse(body.data(), body.size());
    } catch (...) {
        return R();
    }
}

}  // namespace

CafeReply ParseCodeReply(const char* body, size_t length)
{
    return ReadReply<CafeReply>(body, length, false, {});
}

CheckFirstReply ParseCheckFirstReply(const char* body, size_t length)
{
    using R = CheckFirstReply;
    return ReadReply<R>(body, length, true, {{"first", &R::first, false}, {"strname", &R::strname, false}});
}

BarLoginReply ParseBarLoginReply(const char* body, size_t length)
{
    using R = BarLoginReply;
    return ReadReply<R>(body, length, true,
                        {{"bar_id", &R::barId, true},
                         {"strname", &R::strname, false},
                         {"address", &R::address, false},
                         {"person", &R::person, false},
                         {"phone", &R::phone, false},
                         {"address_url", &R::addressUrl, false}});
}

ActivityReply ParseActivityReply(const char* body, size_t length)
{
    using R = ActivityReply;
    return ReadReply<R>(body, length, false, {{"url", &R::url, false}});
}

OpenInfoReply ParseOpenInfoReply(const char* body, size_t length)
{
    using R = OpenInfoReply;
    return ReadReply<R>(body, length, true,
                        {{"uname", &R::uname, false},
                         {"bcertificode", &R::bcertificode, false},
                         {"strsfzphoto", &R::strsfzphoto, false},
                         {"strsffphoto", &R::strsffphoto, false},
                         {"strzmphoto", &R::strzmphoto, false},
                         {"bsex", &R::bsex, true},
                         {"bnation", &R::bnation, false}});
}

CheckFirstReply RequestCheckFirst(CHttpClient& client, const std::string& netbarCode)
{
    return Exchange(client, kCheckFirstPath, false, nullptr, {{"bbarcode", netbarCode}}, &ParseCheckFirstReply);
}

BarLoginReply RequestBarLogin(CHttpClient& client, const std::string& netbarCode, const std::string& password)
{
    return Exchange(client, kBarLoginPath, false, kCaPem, {{"bbarcode", netbarCode}, {"bpwd", password}},
                    &ParseBarLoginReply);
}

CafeReply RequestSendCode(CHttpClient& client, const std::string& phone)
{
    return Exchange(client, kSendCodePath, false, nullptr, {{"mobile", phone}, {"type", "4"}}, &ParseCodeReply);
}

CafeReply RequestCheckCode(CHttpClient& client, const std::string& phone, const std::string& smsCode)
{
    return Exchange(client, kCheckCodePath, false, kCaData, {{"mobile", phone}, {"code", smsCode}, {"type", "4"}},
                    &ParseCodeReply);
}

CafeReply RequestBindPhone(CHttpClient& client, const std::string& netbarCode, const std::string& phone)
{
    return Exchange(client, kUpdateBarPath, false, kCaData,
                    {{"bbarcode", netbarCode}, {"phone", phone}, {"first", "2"}}, &ParseCodeReply);
}

CafeReply RequestSetPassword(CHttpClient& client, const std::string& password, const std::string& boundNetbarCode)
{
    return Exchange(client, kUpdateBarPath, false, kCaData,
                    {{"password", password}, {"bbarcode", boundNetbarCode}, {"type", "4"}}, &ParseCodeReply);
}

ActivityReply RequestActivity(CHttpClient& client)
{
    return Exchange(client, kActivityPath, true, kCaData, {}, &ParseActivityReply);
}

OpenInfoReply RequestOpenInfo(CHttpClient& client, int32_t uid)
{
    return Exchange(client, kGetOpenInfoPath, false, kCaData, {{"uid", std::to_string(uid)}}, &ParseOpenInfoReply);
}

CafeReply RequestPostOpenState(CHttpClient& client, int32_t uid, int32_t openState)
{
    return Exchange(client, kPostOpenStatePath, false, kCaData,
                    {{"uid", std::to_string(uid)}, {"open_state", std::to_string(openState)}}, &ParseCodeReply);
}

CheckFirstReply RequestCheckFirst(const std::string& netbarCode)
{
    CHttpClient client;
    return RequestCheckFirst(client, netbarCode);
}

BarLoginReply RequestBarLogin(const std::string& netbarCode, const std::string& password)
{
    CHttpClient client;
    return RequestBarLogin(client, netbarCode, password);
}

CafeReply RequestSendCode(const std::string& phone)
{
    CHttpClient client;
    return RequestSendCode(client, phone);
}

CafeReply RequestSetPassword(const std::string& password, const std::string& boundNetbarCode)
{
    CHttpClient client;
    return RequestSetPassword(client, password, boundNetbarCode);
}

ActivityReply RequestActivity()
{
    CHttpClient client;
    return RequestActivity(client);
}

OpenInfoReply RequestOpenInfo(int32_t uid)
{
    CHttpClient client;
    return RequestOpenInfo(client, uid);
}

std::string WebSocketPageUrl(const std::string& netbarCode)
{
    char url[512];
    snprintf(url, sizeof url, kWebSocketPageFormat, g_serverBaseUrl, netbarCode.c_str());
    return url;
}

}  // namespace Pellmora
