// The web view's transfers: one libcurl multi handle for every view's page, script, image and
// XMLHttpRequest loads, driven from the library's timer on the UI thread. Proxy variables are
// honoured (libcurl reads them), redirects followed, TLS peers not verified (as the console's own
// client does). Completion callbacks run on the UI thread inside Poll.
#pragma once
#include <functional>
#include <set>
#include <string>

typedef void CURL;
typedef void CURLM;

namespace webview {

struct Transfer {
    void* owner = nullptr;  // the view that asked for it
    std::string url, method, postBody;
    std::string body, contentType, effectiveUrl;
    long status = 0;
    bool ok = false;         // the transfer completed (any HTTP status)
    std::string error;       // why it did not
    std::function<void(Transfer&)> done;
    CURL* easy = nullptr;
    char errbuf[256] = {0};
};

class Network {
public:
    bool Start();
    void Stop();
    bool Running() const { return m_multi != nullptr; }

    // Starts a transfer; done runs once from Poll unless the transfer is cancelled first.
    Transfer* Fetch(void* owner, const std::string& url, const std::string& method, const std::string& postBody,
                    std::function<void(Transfer&)> done);
    void Cancel(Transfer* t);
    void CancelAll(void* owner);
    bool Has(void* owner) const;
    void Poll();

private:
    void Finish(Transfer* t);

    void* m_multi = nullptr;
    std::set<Transfer*> m_live;
};

}  // namespace webview
