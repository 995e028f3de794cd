// Test access to the update-service stand-in (tests/standin/standin.py), which the test command
// starts and names in TOLLVANE_STANDIN; programs under test reach it through the proxy variables.
//
//   Json::Value spec;                      // see standin.py for every member
//   spec["routes"][0]["path"] = "/gone";
//   spec["routes"][0]["status"] = 404;
//   standin::Scenario sc(spec);
//   ASSERT_TRUE(sc.Ok()) << sc.Error();
//   ... fetch sc.Url("/gone") ...
//   auto log = sc.Log();                   // every request of this scenario, headers in order
//
// Each scenario has a host name of its own ("<id>.standin.test") and may claim a cafe id
// ("netbarid": "auto"), so tests running in parallel never see each other's requests.
#pragma once
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <utility>
#include <memory>
#include <vector>
#include <curl/curl.h>
#include <json/json.h>

namespace standin {

struct Request {
    std::string method;       // "GET", "CONNECT", ...
    std::string target;       // path and query
    std::string scheme;       // "http" or "https"
    std::string host;
    std::string requestLine;  // as received (absolute form through the proxy)
    std::vector<std::pair<std::string, std::string>> headers;  // in the order sent
    // Multipart form fields in the order sent, values as the stand-in decoded them from GBK
    // (UTF-8 here); `hasForm` is false for a request without a multipart body.
    std::vector<std::pair<std::string, std::string>> fields;
    bool hasForm = false;
    // The body of an application/x-www-form-urlencoded request, as sent ("" for others).
    std::string formBody;

    // The first header of that name (any letter case), "" when absent.
    std::string Header(const char* name) const
    {
        for (const auto& h : headers)
            if (_stricmp(h.first.c_str(), name) == 0) return h.second;
        return std::string();
    }
    bool HasHeader(const char* name) const
    {
        for (const auto& h : headers)
            if (_stricmp(h.first.c_str(), name) == 0) return true;
        return false;
    }
};

// The control URL, e.g. "http://127.0.0.1:40123"; "" when the stand-in is not running.
inline std::string ControlUrl()
{
    const char* v = getenv("TOLLVANE_STANDIN");
    return v ? v : "";
}

inline size_t CollectReply(char* data, size_t size, size_t count, void* out)
{
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// One control request, straight to the stand-in (never through the proxy variables).
inline bool Control(const std::string& pathAndQuery, const std::string* postBody, std::string& reply,
                    long* status = nullptr)
{
    reply.clear();
    std::string base = ControlUrl();
    if (base.empty()) {
        reply = "TOLLVANE_STANDIN is not set: run the tests through scripts/test.sh (test_env_start)";
        return false;
    }
    CURL* curl = curl_easy_init();
    if (!curl) return false;
    std::string url = base + "/_standin/" + pathAndQuery;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CollectReply);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    if (postBody) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, postBody->c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(postBody->size()));
    }
    CURLcode rc = curl_easy_perform(curl);
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    curl_easy_cleanup(curl);
    if (status) *status = code;
    if (rc != CURLE_OK) reply = std::string("stand-in unreachable: ") + curl_easy_strerror(rc);
    return rc == CURLE_OK && code == 200;
}

class Scenario {
public:
    explicit Scenario(const Json::Value& spec = Json::Value(Json::objectValue))
    {
        Json::StreamWriterBuilder w;
        w["indentation"] = "";
        std::string body = Json::writeString(w, spec);
        std::string reply;
        if (!Control("scenario", &body, reply)) {
            m_error = reply;
            return;
        }
        if (!Parse(reply, m_reply) || !m_reply.isObject()) {
            m_error = "bad reply: " + reply;
            return;
        }
        m_id = m_reply["id"].asString();
        m_host = m_reply["host"].asString();
        m_base = m_reply["base"].asString();
        m_netbarid = m_reply["netbarid"].asString();
        m_proxy = m_reply["proxy"].asString();
    }
    ~Scenario()
    {
        if (!m_id.empty()) {
            std::string reply;
            Control("drop?id=" + m_id, nullptr, reply);
        }
    }
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    bool Ok() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }
    const std::string& Id() const { return m_id; }
    const std::string& Host() const { return m_host; }
    // "http://<host>" (or https when the scenario says so).
    const std::string& Base() const { return m_base; }
    // The cafe id the scenario claimed, "" when none.
    const std::string& Netbarid() const { return m_netbarid; }
    std::string Url(const std::string& path) const { return "http://" + m_host + path; }
    std::string HttpsUrl(const std::string& path) const { return "https://" + m_host + path; }
    // The scenario's own proxy ("http://127.0.0.1:<port>") when it asked for one ("proxy_port").
    const std::string& Proxy() const { return m_proxy; }
    // The café state ("bound", "phone", "password", "sms_sent", "open_states", "events").
    Json::Value Cafe() const
    {
        std::string reply;
        Json::Value state;
        if (!Control("cafe?id=" + m_id, nullptr, reply) || !Parse(reply, state)) return Json::Value();
        return state;
    }
    // Queues a page event for the café's web-socket page.
    bool QueueEvent(int code, int uid, int x) const
    {
        std::string body = "[" + std::to_string(code) + "," + std::to_string(uid) + "," + std::to_string(x) + "]";
        std::string reply;
        return Control("cafe_event?id=" + m_id, &body, reply);
    }
    // The registration reply: "netfilelist_md5", "files" ({relative path: md5}) for a release.
    const Json::Value& Reply() const { return m_reply; }

    // Every request of the scenario so far, CONNECTs included.
    std::vector<Request> Log() const
    {
        std::vector<Request> out;
        std::string reply;
        Json::Value list;
        if (!Control("log?id=" + m_id, nullptr, reply) || !Parse(reply, list) || !list.isArray()) return out;
        for (const auto& e : list) {
            Request r;
            r.method = e["method"].asString();
            r.target = e["target"].asString();
            r.scheme = e["scheme"].asString();
            r.host = e["host"].asString();
            r.requestLine = e["request_line"].asString();
            for (const auto& h : e["headers"]) r.headers.emplace_back(h[0].asString(), h[1].asString());
            r.hasForm = e.isMember("fields");
            for (const auto& f : e["fields"]) r.fields.emplace_back(f[0].asString(), f[1].asString());
            r.formBody = e["form_body"].asString();
            out.push_back(std::move(r));
        }
        return out;
    }
    // The logged requests whose target begins with prefix (CONNECTs left out).
    std::vector<Request> LogFor(const std::string& prefix) const
    {
        std::vector<Request> out;
        for (auto& r : Log())
            if (r.method != "CONNECT" && r.target.compare(0, prefix.size(), prefix) == 0) out.push_back(r);
        return out;
    }

private:
    static bool Parse(const std::string& text, Json::Value& out)
    {
        Json::CharReaderBuilder b;
        std::string errors;
        std::unique_ptr<Json::CharReader> reader(b.newCharReader());
        return reader->parse(text.data(), text.data() + text.size(), &out, &errors);
    }

    Json::Value m_reply;
    std::string m_error;
    std::string m_id, m_host, m_base, m_netbarid, m_proxy;
};

// Points this process's proxy variables at a proxy (a scenario's own port) for the object's life,
// for programs whose hosts are fixed at build time; the previous values come back afterwards.
class ScopedProxy {
public:
    explicit ScopedProxy(const std::string& proxy)
    {
        for (const char* name : kNames) {
            const char* old = getenv(name);
            m_saved.emplace_back(name, old ? old : "");
            Set(name, proxy);
        }
    }
    ~ScopedProxy()
    {
        for (const auto& v : m_saved) Set(v.first.c_str(), v.second);
    }
    ScopedProxy(const ScopedProxy&) = delete;
    ScopedProxy& operator=(const ScopedProxy&) = delete;

private:
    static void Set(const char* name, const std::string& value)
    {
        // The C runtime's copy and the process environment: libcurl may read either.
        std::string assignment = std::string(name) + "=" + value;
        _putenv(assignment.c_str());
        SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
    }
    // Windows environment names ignore letter case: these two cover the upper-case spellings.
    static constexpr const char* kNames[2] = {"http_proxy", "https_proxy"};
    std::vector<std::pair<std::string, std::string>> m_saved;
};

}  // namespace standin
