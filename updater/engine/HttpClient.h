// One HTTP request at a time over a libcurl easy handle; the reply is kept in memory.
#pragma once
#include <stdint.h>
#include <atomic>
#include <string>
#include <curl/curl.h>

class CHttpClient {
public:
    // Extra-header text must be shorter than this; a longer one is refused.
    static const size_t kMaxExtraHeaders = 1024;

    CHttpClient() = default;
    ~CHttpClient();

    // libcurl's process-wide initialisation; once, before any client exists.
    static bool GlobalInit();

    bool Init();
    bool SetTimeouts(uint32_t totalSeconds, uint32_t connectSeconds);
    // True for every completed transfer, whatever the HTTP status.
    bool Request(const char* url, bool get, const char* extraHeaders = nullptr, const char* cookie = nullptr);
    void Cleanup();

    const std::string& GetBody() const { return m_responseBody; }
    const std::string& GetResponseHeaders() const { return m_responseHeaders; }
    const std::string& GetErrorText() const { return m_errorText; }
    // A set flag aborts the request at libcurl's next progress call (about once a second, even
    // while no data flows); the request then fails.
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }

    static size_t BodyCallback(char* data, size_t size, size_t count, void* client);
    static size_t HeaderCallback(char* data, size_t size, size_t count, void* client);
    static int ProgressCallback(void* client, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal,
                                curl_off_t ulNow);

    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

private:
    std::string m_responseHeaders;
    std::string m_responseBody;
    CURL* m_curl = nullptr;
    std::string m_errorText;
    struct curl_httppost* m_formFirst = nullptr;
    struct curl_httppost* m_formLast = nullptr;
    const std::atomic<bool>* m_cancel = nullptr;
};
