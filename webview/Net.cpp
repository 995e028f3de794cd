#include "Net.h"

#include <curl/curl.h>

#include <vector>

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
}  // namespace

bool Network::Start() {
    if (m_multi) return true;
    curl_global_init(CURL_GLOBAL_ALL);
    m_multi = curl_multi_init();
    return m_multi != nullptr;
}

void Network::Stop() {
    if (!m_multi) return;
    while (!m_live.empty()) Cancel(*m_live.begin());
    curl_multi_cleanup(static_cast<CURLM*>(m_multi));
    m_multi = nullptr;
    curl_global_cleanup();
}

Transfer* Network::Fetch(void* owner, const std::string& url, const std::string& method, const std::string& postBody,
                         std::function<void(Transfer&)> done) {
    if (!m_multi) return nullptr;
    Transfer* t = new Transfer;
    t->owner = owner;
    t->url = url;
    t->method = method;
    t->postBody = postBody;
    t->done = std::move(done);
    CURL* e = curl_easy_init();
    if (!e) {
        delete t;
        return nullptr;
    }
    t->easy = e;
    curl_easy_setopt(e, CURLOPT_URL, t->url.c_str());
    curl_easy_setopt(e, CURLOPT_PRIVATE, t);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, t);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t->errbuf);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, 15L);
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Mozilla/5.0 (Windows NT 6.1) webview");
    if (method == "POST") {
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, t->postBody.c_str());
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE, (long)t->postBody.size());
    } else if (method != "GET" && !method.empty()) {
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, t->method.c_str());
    }
    if (curl_multi_add_handle(static_cast<CURLM*>(m_multi), e) != CURLM_OK) {
        curl_easy_cleanup(e);
        delete t;
        return nullptr;
    }
    m_live.insert(t);
    return t;
}

void Network::Cancel(Transfer* t) {
    if (!t || !m_live.erase(t)) return;
    curl_multi_remove_handle(static_cast<CURLM*>(m_multi), t->easy);
    curl_easy_cleanup(t->easy);
    delete t;
}

void Network::CancelAll(void* owner) {
    std::vector<Transfer*> mine;
    for (Transfer* t : m_live)
        if (t->owner == owner) mine.push_back(t);
    for (Transfer* t : mine) Cancel(t);
}

bool Network::Has(void* owner) const {
    for (Transfer* t : m_live)
        if (t->owner == owner) return true;
    return false;
}

void Network::Finish(Transfer* t) {
    char* eff = nullptr;
    curl_easy_getinfo(t->easy, CURLINFO_EFFECTIVE_URL, &eff);
    t->effectiveUrl = eff ? eff : t->url;
    char* ct = nullptr;
    curl_easy_getinfo(t->easy, CURLINFO_CONTENT_TYPE, &ct);
    t->contentType = ct ? ct : "";
    curl_easy_getinfo(t->easy, CURLINFO_RESPONSE_CODE, &t->status);
}

void Network::Poll() {
    if (!m_multi) return;
    CURLM* multi = static_cast<CURLM*>(m_multi);
    int running = 0;
    curl_multi_perform(multi, &running);
    // Collect first: a completion callback may cancel or start other transfers.
    std::vector<std::pair<Transfer*, CURLcode>> finished;
    int left = 0;
    while (CURLMsg* m = curl_multi_info_read(multi, &left)) {
        if (m->msg != CURLMSG_DONE) continue;
        Transfer* t = nullptr;
        curl_easy_getinfo(m->easy_handle, CURLINFO_PRIVATE, (char**)&t);
        if (t) finished.emplace_back(t, m->data.result);
    }
    for (auto& f : finished) {
        Transfer* t = f.first;
        if (!m_live.count(t)) continue;
        Finish(t);
        t->ok = f.second == CURLE_OK;
        if (!t->ok) t->error = t->errbuf[0] ? t->errbuf : curl_easy_strerror(f.second);
        m_live.erase(t);
        curl_multi_remove_handle(multi, t->easy);
        curl_easy_cleanup(t->easy);
        t->easy = nullptr;
        auto done = std::move(t->done);
        if (done) done(*t);
        delete t;
    }
}

}  // namespace webview
