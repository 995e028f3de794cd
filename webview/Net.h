// The web view's transfers: one libcurl multi handle for every view's page, script, stylesheet,
// image and XMLHttpRequest loads, driven from the library's timer on the UI thread. Proxy
// variables are honoured (libcurl reads them), redirects followed, TLS peers not verified (as the
// console's own client does). Completion callbacks run on the UI thread inside Poll.
//
// No page can tie the view up through its transfers: every transfer has an overall time limit
// (and loads other than requests a low-speed limit), and a view has at most six transfers running
// per host; the rest wait in order. One cookie jar serves the whole process (documents, requests
// and WebSocket connections), shared through a libcurl share handle.
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

typedef void CURL;
typedef void CURLM;
typedef void CURLSH;
struct curl_slist;

namespace webview {

struct FetchOptions {
    DWORD timeoutMs = 30000;   // from the call to Fetch, queueing included
    bool lowSpeedLimit = true; // fail when under a byte a second for kLowSpeedSeconds
    std::vector<std::string> headers;  // "Name: value" lines sent with the request
};

struct Transfer {
    void* owner = nullptr;  // the view that asked for it
    std::string url, method, postBody;
    FetchOptions options;
    std::string body, contentType, effectiveUrl;
    std::string responseHeaders;  // the last response's header lines (after redirects)
    long status = 0;
    bool ok = false;         // the transfer completed (any HTTP status)
    bool timedOut = false;   // it ran out of time (ok is false)
    std::string error;       // why it did not
    std::function<void(Transfer&)> done;
    CURL* easy = nullptr;    // null while it waits for a free slot of its host
    struct curl_slist* headerList = nullptr;
    std::string hostKey;     // scheme, host and port
    DWORD deadline = 0;      // tick count by which it ends
    char errbuf[256] = {0};
};

// The seconds under one byte a second after which a page, script, stylesheet or image load fails.
const long kLowSpeedSeconds = 10;
// Transfers one view runs at a time towards one host.
const size_t kPerHostTransfers = 6;

class Network {
public:
    bool Start();
    void Stop();
    bool Running() const { return m_multi != nullptr; }

    // Starts (or queues) a transfer; done runs once from Poll unless the transfer is cancelled first.
    Transfer* Fetch(void* owner, const std::string& url, const std::string& method, const std::string& postBody,
                    std::function<void(Transfer&)> done);
    Transfer* Fetch(void* owner, const std::string& url, const std::string& method, const std::string& postBody,
                    const FetchOptions& options, std::function<void(Transfer&)> done);
    void Cancel(Transfer* t);
    void CancelAll(void* owner);
    bool Has(void* owner) const;
    void Poll();

    // The process's cookie jar, for handles made elsewhere (WebSocket connections).
    CURLSH* Share() const { return m_share; }
    // The cookies a document at url sees ("a=1; b=2"; HttpOnly ones left out).
    std::string CookiesFor(const std::string& url);
    // A document's cookie assignment ("name=value; path=/; max-age=60") for the document at url.
    void SetCookieFrom(const std::string& url, const std::string& assignment);

    // Options every handle of the library gets: TLS, proxy, cookie jar.
    void Prepare(CURL* easy);

private:
    bool Begin(Transfer* t);
    void Complete(Transfer* t, bool ok, const std::string& error, bool timedOut);
    void StartWaiting(void* owner, const std::string& hostKey);
    size_t Running(void* owner, const std::string& hostKey) const;

    void* m_multi = nullptr;
    CURLSH* m_share = nullptr;
    CURL* m_cookieHandle = nullptr;  // reads and writes the jar
    std::set<Transfer*> m_live;      // running and waiting
    std::deque<Transfer*> m_waiting; // in the order asked for
};

// Scheme, host and port of an absolute URL, lower case ("http://h:80"); empty when it has none.
std::string HostKey(const std::string& url);

}  // namespace webview
