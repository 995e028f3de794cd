// The console's requests to the café service: one function per request, each building its form
// (fields in the service's order), choosing its CA file, sending it to g_serverBaseUrl + path, and
// reading the JSON reply into a typed result.
//
// A result is Failed when the transfer failed, the reply is not a JSON object, or a member read has
// the wrong type (an array or object anywhere; a non-string "bar_id" or "bsex"); its text members
// are then all empty, so a caller that keeps values from a result never keeps half a reply.
// Otherwise the members are filled and the result is Succeeded when "code" reads "101", Refused
// for any other code (the caller decides what a refusal means). No exception leaves a request.
//
// Each function takes the client to use: an empty one is initialised first (30 s time-outs); the
// phone binding sends check_code and update_bar on one client, post_openstate repeats on one.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include "ConsoleHttpClient.h"

namespace Pellmora {

enum class CafeStatus { Failed, Refused, Succeeded };

struct CafeReply {
    CafeStatus status = CafeStatus::Failed;
    std::string code;  // "code" read as text ("101" on success; a number reads as its decimal text)

    bool Succeeded() const { return status == CafeStatus::Succeeded; }
    bool Failed() const { return status == CafeStatus::Failed; }
};

// check_first: "first" is "2" when the café's phone is bound; "strname" names the café.
struct CheckFirstReply : CafeReply {
    std::string first;
    std::string strname;
};

// bar_login: the café's record ("bar_id" must be a string).
struct BarLoginReply : CafeReply {
    std::string barId;
    std::string strname;
    std::string address;
    std::string person;
    std::string phone;
    std::string addressUrl;
};

// activity: the activities page.
struct ActivityReply : CafeReply {
    std::string url;
};

// get_openinfo: the customer's identity ("bsex" must be a string); ANSI texts.
struct OpenInfoReply : CafeReply {
    std::string uname;
    std::string bcertificode;
    std::string strsfzphoto;
    std::string strsffphoto;
    std::string strzmphoto;
    std::string bsex;
    std::string bnation;
};

// Paths after g_serverBaseUrl.
extern const char kCheckFirstPath[];
extern const char kBarLoginPath[];
extern const char kSendCodePath[];
extern const char kCheckCodePath[];
extern const char kUpdateBarPath[];
extern const char kActivityPath[];
extern const char kGetOpenInfoPath[];
extern const char kPostOpenStatePath[];
// "%s/index.php?g=home&m=home&a=websocket&bbarcode=%s": base URL, café code.
extern const char kWebSocketPageFormat[];

// Requests; texts are narrow, in the ANSI code page.
CheckFirstReply RequestCheckFirst(CHttpClient& client, const std::string& netbarCode);
BarLoginReply RequestBarLogin(CHttpClient& client, const std::string& netbarCode, const std::string& password);
CafeReply RequestSendCode(CHttpClient& client, const std::string& phone);
CafeReply RequestCheckCode(CHttpClient& client, const std::string& phone, const std::string& smsCode);
CafeReply RequestBindPhone(CHttpClient& client, const std::string& netbarCode, const std::string& phone);
CafeReply RequestSetPassword(CHttpClient& client, const std::string& password, const std::string& boundNetbarCode);
ActivityReply RequestActivity(CHttpClient& client);
OpenInfoReply RequestOpenInfo(CHttpClient& client, int32_t uid);
CafeReply RequestPostOpenState(CHttpClient& client, int32_t uid, int32_t openState);

// The single exchanges, each on a client of its own that lives for the call.
CheckFirstReply RequestCheckFirst(const std::string& netbarCode);
BarLoginReply RequestBarLogin(const std::string& netbarCode, const std::string& password);
CafeReply RequestSendCode(const std::string& phone);
CafeReply RequestSetPassword(const std::string& password, const std::string& boundNetbarCode);
ActivityReply RequestActivity();
OpenInfoReply RequestOpenInfo(int32_t uid);

// The web-socket page of a café: g_serverBaseUrl and the code, at most 511 characters.
std::string WebSocketPageUrl(const std::string& netbarCode);

// Reply readers, exactly `length` bytes of body; those of check_first, bar_login and get_openinfo
// unescape "\u" first, as the service escapes their non-ASCII text.
CafeReply ParseCodeReply(const char* body, size_t length);
CheckFirstReply ParseCheckFirstReply(const char* body, size_t length);
BarLoginReply ParseBarLoginReply(const char* body, size_t length);
ActivityReply ParseActivityReply(const char* body, size_t length);
OpenInfoReply ParseOpenInfoReply(const char* body, size_t length);

}  // namespace Pellmora
