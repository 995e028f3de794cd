#define CURL_DISABLE_DEPRECATION  // the multipart form goes through CURLOPT_HTTPPOST
#include "HttpClient.h"
#include <string.h>

namespace {

const char kUserAgent[] =
    "User-Agent: Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/65.0.3325.146 Safari/537.36";

std::string TrimBlanks(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

}  // namespace

CHttpClient::~CHttpClient()
{
    Cleanup();
}

bool CHttpClient::GlobalInit()
{
    return curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
}

bool CHttpClient::Init()
{
    m_errorText.clear();
    m_curl = curl_easy_init();
    if (!m_curl) return false;
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &CHttpClient::BodyCallback);
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_HEADERFUNCTION, &CHttpClient::HeaderCallback);
    curl_easy_setopt(m_curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_HEADER, 0L);
    curl_easy_setopt(m_curl, CURLOPT_VERBOSE, 1L);
    m_formFirst = m_formLast = nullptr;
    return SetTimeouts(10, 10);
}

bool CHttpClient::SetTimeouts(uint32_t totalSeconds, uint32_t connectSeconds)
{
    if (!m_curl) return true;
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_TIMEOUT, static_cast<long>(totalSeconds));
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connectSeconds));
    return true;
}

bool CHttpClient::Request(const char* url, bool get, const char* extraHeaders, const char* cookie)
{
    m_responseHeaders.clear();
    m_responseBody.clear();
    if (!m_curl || !url) {
        m_errorText = "no handle";
        return false;
    }

    std::string hostLine;
    std::string trimmed = TrimBlanks(url);
    size_t scheme = trimmed.find("://");
    if (scheme != std::string::npos) {
        size_t start = scheme + 3;
        size_t slash = trimmed.find('/', start);
        hostLine = "Host: " + trimmed.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    }

    // Extra-header text is bounded; an over-long one is refused rather than cut.
    if (extraHeaders && strnlen(extraHeaders, kMaxExtraHeaders) >= kMaxExtraHeaders) {
        m_errorText = "extra headers too long";
        return false;
    }

    struct curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Accept: */*");
    if (extraHeaders) {
        // Pieces of one character (a stray blank between separators) are not header lines.
        std::string piece;
        for (const char* p = extraHeaders;; ++p) {
            if (*p == '\0' || *p == '\r' || *p == '\n' || *p == ';') {
                if (piece.size() > 1) headers = curl_slist_append(headers, piece.c_str());
                piece.clear();
                if (*p == '\0') break;
            } else {
                piece += *p;
            }
        }
    }
    headers = curl_slist_append(headers, "Accept-Language: zh-CN");
    headers = curl_slist_append(headers, kUserAgent);
    if (!hostLine.empty()) headers = curl_slist_append(headers, hostLine.c_str());
    headers = curl_slist_append(headers, "Connection: Keep-Alive");

    curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(m_curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    if (cookie) curl_easy_setopt(m_curl, CURLOPT_COOKIE, cookie);
    bool posted = false;
    if (get) {
        curl_easy_setopt(m_curl, CURLOPT_HTTPGET, 1L);
    } else if (m_formFirst) {
        curl_easy_setopt(m_curl, CURLOPT_HTTPPOST, m_formFirst);
        posted = true;
    }
    curl_easy_setopt(m_curl, CURLOPT_URL, url);
    if (m_cancel) {
        curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, &CHttpClient::ProgressCallback);
        curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
    }
    CURLcode rc = m_cancel && m_cancel->load(std::memory_order_relaxed) ? CURLE_ABORTED_BY_CALLBACK
                                                                          : curl_easy_perform(m_curl);

    if (posted) {
        curl_easy_setopt(m_curl, CURLOPT_HTTPPOST, static_cast<curl_httppost*>(nullptr));
        curl_formfree(m_formFirst);
        m_formFirst = m_formLast = nullptr;
    }
    curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
    curl_slist_free_all(headers);
    if (rc == CURLE_OK) {
        m_errorText.clear();
        return true;
    }
    m_errorText = curl_easy_strerror(rc);
    return false;
}

void CHttpClient::Cleanup()
{
    if (m_formFirst) curl_formfree(m_formFirst);
    m_formFirst = m_formLast = nullptr;
    if (m_curl) {
        curl_easy_cleanup(m_curl);
        m_curl = nullptr;
    }
}

int CHttpClient::ProgressCallback(void* client, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const CHttpClient* self = static_cast<const CHttpClient*>(client);
    return self && self->m_cancel && self->m_cancel->load(std::memory_order_relaxed) ? 1 : 0;
}

size_t CHttpClient::BodyCallback(char* data, size_t size, size_t count, void* client)
{
    size_t bytes = size * count;
    if (client) static_cast<CHttpClient*>(client)->m_responseBody.append(data, bytes);
    return bytes;
}

size_t CHttpClient::HeaderCallback(char* data, size_t size, size_t count, void* client)
{
    size_t bytes = size * count;
    if (client) static_cast<CHttpClient*>(client)->m_responseHeaders.append(data, bytes);
    return bytes;
}
