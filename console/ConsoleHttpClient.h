// The console's HTTP client: one café-service or update-service exchange over a libcurl easy
// handle, GET or multipart-form POST, reply body and header lines kept in memory. Differs from the
// updater's client (updater/engine/HttpClient.h) in its time-outs, its form fields and its CA file.
// The client owns its easy handle and its form; a form is freed after every transfer, so a later
// request of the same client carries only the fields added after the previous one.
#pragma once
#include <stdint.h>
#include <atomic>
#include <string>
#include <vector>
#include <curl/curl.h>

namespace Pellmora {

class CHttpClient {
public:
    // Extra-header text is cut to this many characters before it is split into lines.
    static const size_t kMaxExtraHeaders = 1023;

    CHttpClient() = default;
    ~CHttpClient();

    // libcurl's process-wide initialisation; once, by the program entry.
    static bool GlobalInit();

    // A fresh easy handle with TLS checks off, the callbacks, verbose output and 30 s time-outs.
    bool Init();
    bool HasHandle() const { return m_curl != nullptr; }
    bool SetTimeouts(uint32_t totalSeconds, uint32_t connectSeconds);
    // With a name (relative to the current directory): host check on, peer check off, that CA
    // file. Null: both checks off, no CA file. Stays on the handle for later requests.
    void SetCaFile(const char* relativeName);
    // A set flag aborts a transfer under way at libcurl's next progress call (about once a second,
    // also while no data flows); the request then fails. The update check's stop flag is one.
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }
    // Both texts are copied; values are narrow texts in the ANSI code page.
    bool AddFormField(const char* name, const char* value);
    // True for every completed transfer, whatever the HTTP status. A POST without fields sends
    // whatever method the handle was last set to.
    bool Request(const char* url, bool get, const char* extraHeaders = nullptr, const char* cookie = nullptr);
    void Cleanup();

    // The request header lines in the order sent: Accept, the extra lines (pieces of the text cut
    // at CR, LF and ";" that are at least 2 characters long), Accept-Language, User-Agent,
    // Accept-Encoding, "Host: " with the host of the URL trimmed of blanks (none without "://"),
    // Connection.
    static std::vector<std::string> HeaderLines(const char* url, const char* extraHeaders);

    const std::string& GetBody() const { return m_body; }
    const std::string& GetHeaders() const { return m_headers; }
    const std::string& GetErrorText() const { return m_errorText; }

    static size_t BodyCallback(char* data, size_t size, size_t count, void* client);
    static size_t HeaderCallback(char* data, size_t size, size_t count, void* client);
    static int ProgressCallback(void* client, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal,
                                curl_off_t ulNow);

    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

private:
    void FreeForm();

    std::string m_headers;
    std::string m_body;
    CURL* m_curl = nullptr;
    std::string m_errorText;
    struct curl_httppost* m_formFirst = nullptr;
    struct curl_httppost* m_formLast = nullptr;
    const std::atomic<bool>* m_cancel = nullptr;
};

}  // namespace Pellmora
