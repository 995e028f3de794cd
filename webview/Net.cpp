#include "Net.h"

#include <curl/curl.h>

#include <algorithm>
#include <ctime>
#include <vector>

#include "Text.h"

namespace webview {

namespace {
const size_t kMaxBody = 32 * 1024 * 1024;

size_t OnData(char* data, size_t size, size_t count, void* user) {
    Transfer* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    if (t->body.size() + n > kMaxBody) return 0;  // too large: fails the transfer
    t->body.append(data, n);
    return n;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    Transfer* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    // Each response of a redirect chain starts with its status line: only the last one is kept.
    if (n >= 5 && std::string(data, 5) == "HTTP/") t->responseHeaders.clear();
    if (t->responseHeaders.size() + n <= 256 * 1024) t->responseHeaders.append(data, n);
    return n;
}

bool Before(DWORD a, DWORD b) {
    return (int)(a - b) < 0;
}
}  // namespace

std::string HostKey(const std::string& url) {
    size_t colon = url.find("://");
    if (colon == std::string::npos) return std::string();
    size_t start = colon + 3;
    size_t end = url.find_first_of("/?#", start);
    std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    size_t at = authority.rfind('@');
    if (at != std::string::npos) authority = authority.substr(at + 1);
    return ToLower(url.substr(0, colon)) + "://" + ToLower(authority);
}

bool Network::Start() {
    if (m_multi) return true;
    curl_global_init(CURL_GLOBAL_ALL);
    m_multi = curl_multi_init();
    m_share = curl_share_init();
    if (m_share) curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    m_cookieHandle = curl_easy_init();
    if (m_cookieHandle) Prepare(m_cookieHandle);
    return m_multi != nullptr;
}

void Network::Stop() {
    if (!m_multi) return;
    while (!m_live.empty()) Cancel(*m_live.begin());
    curl_multi_cleanup(static_cast<CURLM*>(m_multi));
    m_multi = nullptr;
    if (m_cookieHandle) curl_easy_cleanup(m_cookieHandle);
    m_cookieHandle = nullptr;
    if (m_share) curl_share_cleanup(m_share);
    m_share = nullptr;
    curl_global_cleanup();
}

void Network::Prepare(CURL* e) {
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, 15L);
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Mozilla/5.0 (Windows NT 6.1) webview");
    if (m_share) curl_easy_setopt(e, CURLOPT_SHARE, m_share);
    curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");  // the shared jar, no file
}

Transfer* Network::Fetch(void* owner, const std::string& url, const std::string& method, const std::string& postBody,
                         std::function<void(Transfer&)> done) {
    return Fetch(owner, url, method, postBody, FetchOptions(), std::move(done));
}

Transfer* Network::Fetch(void* owner, const std::string& url, const std::string& method, const std::string& postBody,
                         const FetchOptions& options, std::function<void(Transfer&)> done) {
    if (!m_multi) return nullptr;
    std::string key = HostKey(url);
    if (key.empty()) return nullptr;
    Transfer* t = new Transfer;
    t->owner = owner;
    t->url = url;
    t->method = method;
    t->postBody = postBody;
    t->options = options;
    t->done = std::move(done);
    t->hostKey = key;
    t->deadline = GetTickCount() + options.timeoutMs;
    if (Running(owner, key) < kPerHostTransfers) {
        if (!Begin(t)) {
            delete t;
            return nullptr;
        }
    } else {
        m_waiting.push_back(t);
    }
    m_live.insert(t);
    return t;
}

size_t Network::Running(void* owner, const std::string& hostKey) const {
    size_t n = 0;
    for (Transfer* t : m_live)
        if (t->easy && t->owner == owner && t->hostKey == hostKey) ++n;
    return n;
}

bool Network::Begin(Transfer* t) {
    CURL* e = curl_easy_init();
    if (!e) return false;
    Prepare(e);
    curl_easy_setopt(e, CURLOPT_URL, t->url.c_str());
    curl_easy_setopt(e, CURLOPT_PRIVATE, t);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, t);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, t);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t->errbuf);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
    // The time spent waiting for a slot counts against the limit.
    DWORD left = Before(GetTickCount(), t->deadline) ? t->deadline - GetTickCount() : 1;
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, (long)std::max<DWORD>(1, left));
    if (t->options.lowSpeedLimit) {
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
    }
    for (const std::string& h : t->options.headers) t->headerList = curl_slist_append(t->headerList, h.c_str());
    if (t->headerList) curl_easy_setopt(e, CURLOPT_HTTPHEADER, t->headerList);
    if (t->method == "POST") {
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, t->postBody.c_str());
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE, (long)t->postBody.size());
    } else if (t->method != "GET" && !t->method.empty()) {
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, t->method.c_str());
        if (!t->postBody.empty()) {
            curl_easy_setopt(e, CURLOPT_POSTFIELDS, t->postBody.c_str());
            curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE, (long)t->postBody.size());
        }
    }
    if (curl_multi_add_handle(static_cast<CURLM*>(m_multi), e) != CURLM_OK) {
        curl_easy_cleanup(e);
        if (t->headerList) curl_slist_free_all(t->headerList);
        t->headerList = nullptr;
        return false;
    }
    t->easy = e;
    return true;
}

void Network::Cancel(Transfer* t) {
    if (!t || !m_live.erase(t)) return;
    std::string key = t->hostKey;
    void* owner = t->owner;
    bool wasRunning = t->easy != nullptr;
    if (t->easy) {
        curl_multi_remove_handle(static_cast<CURLM*>(m_multi), t->easy);
        curl_easy_cleanup(t->easy);
    }
    m_waiting.erase(std::remove(m_waiting.begin(), m_waiting.end(), t), m_waiting.end());
    if (t->headerList) curl_slist_free_all(t->headerList);
    delete t;
    if (wasRunning) StartWaiting(owner, key);
}

void Network::CancelAll(void* owner) {
    std::vector<Transfer*> mine;
    // Waiting ones first, so that cancelling a running one starts none of them.
    for (Transfer* t : m_waiting)
        if (t->owner == owner) mine.push_back(t);
    for (Transfer* t : m_live)
        if (t->owner == owner && t->easy) mine.push_back(t);
    for (Transfer* t : mine) Cancel(t);
}

bool Network::Has(void* owner) const {
    for (Transfer* t : m_live)
        if (t->owner == owner) return true;
    return false;
}

void Network::StartWaiting(void* owner, const std::string& hostKey) {
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        Transfer* t = *it;
        if (t->owner != owner || t->hostKey != hostKey) {
            ++it;
            continue;
        }
        if (Running(owner, hostKey) >= kPerHostTransfers) return;
        it = m_waiting.erase(it);
        if (!Begin(t)) {
            // Reported from the next Poll, as any failure is.
            t->deadline = GetTickCount();
            m_waiting.push_front(t);
            return;
        }
    }
}

void Network::Complete(Transfer* t, bool ok, const std::string& error, bool timedOut) {
    CURLM* multi = static_cast<CURLM*>(m_multi);
    if (t->easy) {
        char* eff = nullptr;
        curl_easy_getinfo(t->easy, CURLINFO_EFFECTIVE_URL, &eff);
        t->effectiveUrl = eff ? eff : t->url;
        char* ct = nullptr;
        curl_easy_getinfo(t->easy, CURLINFO_CONTENT_TYPE, &ct);
        t->contentType = ct ? ct : "";
        curl_easy_getinfo(t->easy, CURLINFO_RESPONSE_CODE, &t->status);
    } else {
        t->effectiveUrl = t->url;
    }
    t->ok = ok;
    t->timedOut = timedOut;
    if (!ok) t->error = error;
    m_live.erase(t);
    m_waiting.erase(std::remove(m_waiting.begin(), m_waiting.end(), t), m_waiting.end());
    bool wasRunning = t->easy != nullptr;
    if (t->easy) {
        curl_multi_remove_handle(multi, t->easy);
        curl_easy_cleanup(t->easy);
        t->easy = nullptr;
    }
    if (t->headerList) curl_slist_free_all(t->headerList);
    t->headerList = nullptr;
    void* owner = t->owner;
    std::string key = t->hostKey;
    if (wasRunning) StartWaiting(owner, key);
    auto done = std::move(t->done);
    if (done) done(*t);
    delete t;
}

void Network::Poll() {
    if (!m_multi) return;
    CURLM* multi = static_cast<CURLM*>(m_multi);
    int running = 0;
    curl_multi_perform(multi, &running);
    // Collect first: a completion callback may cancel or start other transfers.
    struct Done {
        Transfer* t;
        CURLcode code;
    };
    std::vector<Done> finished;
    int left = 0;
    while (CURLMsg* m = curl_multi_info_read(multi, &left)) {
        if (m->msg != CURLMSG_DONE) continue;
        Transfer* t = nullptr;
        curl_easy_getinfo(m->easy_handle, CURLINFO_PRIVATE, (char**)&t);
        if (t) finished.push_back({t, m->data.result});
    }
    // Waiting transfers whose time ran out before they got a slot.
    DWORD now = GetTickCount();
    for (Transfer* t : m_waiting)
        if (!Before(now, t->deadline)) finished.push_back({t, CURLE_OPERATION_TIMEDOUT});
    for (const Done& f : finished) {
        Transfer* t = f.t;
        if (!m_live.count(t)) continue;
        bool ok = f.code == CURLE_OK;
        std::string error;
        if (!ok) error = t->easy && t->errbuf[0] ? t->errbuf : curl_easy_strerror(f.code);
        bool timedOut = f.code == CURLE_OPERATION_TIMEDOUT;
        Complete(t, ok, error, timedOut);
    }
}

namespace {
// The path a cookie set without one gets: the document's directory.
std::string DefaultPath(const std::string& url) {
    size_t colon = url.find("://");
    size_t start = colon == std::string::npos ? 0 : url.find('/', colon + 3);
    if (start == std::string::npos) return "/";
    size_t end = url.find_first_of("?#", start);
    std::string path = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string PathOf(const std::string& url) {
    size_t colon = url.find("://");
    size_t start = colon == std::string::npos ? std::string::npos : url.find('/', colon + 3);
    if (start == std::string::npos) return "/";
    size_t end = url.find_first_of("?#", start);
    return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string HostOf(const std::string& url) {
    std::string key = HostKey(url);
    size_t start = key.find("://");
    if (start == std::string::npos) return std::string();
    std::string host = key.substr(start + 3);
    if (!host.empty() && host[0] == '[') return host.substr(0, host.find(']') + 1);
    return host.substr(0, host.find(':'));
}

bool PathMatches(const std::string& cookiePath, const std::string& path) {
    if (path.compare(0, cookiePath.size(), cookiePath) != 0) return false;
    return path.size() == cookiePath.size() || cookiePath.back() == '/' || path[cookiePath.size()] == '/';
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t end = s.find(sep, start);
        out.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return out;
        start = end + 1;
    }
}
}  // namespace

std::string Network::CookiesFor(const std::string& url) {
    if (!m_cookieHandle) return std::string();
    std::string host = HostOf(url), path = PathOf(url);
    bool secure = ToLower(url).compare(0, 6, "https:") == 0;
    struct curl_slist* list = nullptr;
    if (curl_easy_getinfo(m_cookieHandle, CURLINFO_COOKIELIST, &list) != CURLE_OK) return std::string();
    std::string out;
    time_t now = time(nullptr);
    for (struct curl_slist* l = list; l; l = l->next) {
        // domain, subdomains too, path, secure, expires, name, value (Netscape's cookie file line)
        std::vector<std::string> f = Split(l->data, '\t');
        if (f.size() < 7) continue;
        if (f[0].compare(0, 10, "#HttpOnly_") == 0) continue;
        std::string domain = ToLower(f[0]);
        if (!domain.empty() && domain[0] == '.') domain = domain.substr(1);
        bool tail = f[1] == "TRUE";
        bool hostMatches = host == domain || (tail && host.size() > domain.size() &&
                                              host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
                                              host[host.size() - domain.size() - 1] == '.');
        if (!hostMatches || !PathMatches(f[2], path)) continue;
        if (f[3] == "TRUE" && !secure) continue;
        long long expires = atoll(f[4].c_str());
        if (expires != 0 && expires <= (long long)now) continue;
        if (!out.empty()) out += "; ";
        out += f[5] + "=" + f[6];
    }
    curl_slist_free_all(list);
    return out;
}

void Network::SetCookieFrom(const std::string& url, const std::string& assignment) {
    if (!m_cookieHandle) return;
    std::vector<std::string> parts = Split(assignment, ';');
    size_t eq = parts[0].find('=');
    std::string name = Trim(eq == std::string::npos ? std::string() : parts[0].substr(0, eq));
    std::string value = Trim(eq == std::string::npos ? parts[0] : parts[0].substr(eq + 1));
    if (name.empty()) return;  // a bare value has no place in the jar's lines
    if (name.find_first_of("\t\r\n") != std::string::npos || value.find_first_of("\t\r\n") != std::string::npos) return;
    std::string host = HostOf(url);
    if (host.empty()) return;
    std::string domain = host, path = DefaultPath(url);
    bool tail = false, secure = false;
    long long expires = 0;
    bool maxAgeSeen = false;
    for (size_t i = 1; i < parts.size(); ++i) {
        size_t e = parts[i].find('=');
        std::string key = ToLower(Trim(parts[i].substr(0, e)));
        std::string v = e == std::string::npos ? std::string() : Trim(parts[i].substr(e + 1));
        if (key == "path" && !v.empty() && v[0] == '/') {
            path = v;
        } else if (key == "domain" && !v.empty()) {
            std::string d = ToLower(v[0] == '.' ? v.substr(1) : v);
            // Only the document's own host or a domain above it.
            bool above = host == d || (host.size() > d.size() && host.compare(host.size() - d.size(), d.size(), d) == 0 &&
                                       host[host.size() - d.size() - 1] == '.');
            if (!above) return;
            domain = d;
            tail = true;
        } else if (key == "max-age") {
            long long s = atoll(v.c_str());
            expires = s <= 0 ? 1 : (long long)time(nullptr) + s;
            maxAgeSeen = true;
        } else if (key == "expires" && !maxAgeSeen) {
            time_t t = curl_getdate(v.c_str(), nullptr);
            if (t != (time_t)-1) expires = t <= 0 ? 1 : (long long)t;
        } else if (key == "secure") {
            secure = true;
        } else if (key == "httponly") {
            return;  // a script cannot set one
        }
    }
    std::string line = (tail ? "." : "") + domain + "\t" + (tail ? "TRUE" : "FALSE") + "\t" + path + "\t" +
                       (secure ? "TRUE" : "FALSE") + "\t" + std::to_string(expires) + "\t" + name + "\t" + value;
    curl_easy_setopt(m_cookieHandle, CURLOPT_COOKIELIST, line.c_str());
}

}  // namespace webview
