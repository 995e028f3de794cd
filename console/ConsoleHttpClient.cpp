#define CURL_DISABLE_DEPRECATION  // the multipart form goes through CURLOPT_HTTPPOST
#include "ConsoleHttpClient.h"

#include <string.h>

namespace Pellmora {

namespace {

const char kUserAgent[] =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)";

std::string TrimBlanks(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return std::string();
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
    // A second Init starts afresh rather than leaking the first handle.
    Cleanup();
    m_curl = curl_easy_init();
    if (!m_curl)
        return false;
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &CHttpClient::BodyCallback);
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_HEADERFUNCTION, &CHttpClient::HeaderCallback);
    curl_easy_setopt(m_curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_HEADER, 0L);
    curl_easy_setopt(m_curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, &CHttpClient::ProgressCallback);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
    m_formFirst = m_formLast = nullptr;
    return SetTimeouts(30, 30);
}

bool CHttpClient::SetTimeouts(uint32_t totalSeconds, uint32_t connectSeconds)
{
    if (!m_curl)
        return true;
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_TIMEOUT, static_cast<long>(totalSeconds));
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connectSeconds));
    return true;
}

void CHttpClient::SetCaFile(const char* relativeName)
{
    if (!m_curl)
        return;
    if (relativeName) {
        curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 1L);
        curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(m_curl, CURLOPT_CAINFO, relativeName);
    } else {
        curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(m_curl, CURLOPT_CAINFO, static_cast<const char*>(nullptr));
    }
}

bool CHttpClient::AddFormField(const char* name, const char* value)
{
    if (!name || !value)
        return false;
    return curl_formadd(&m_formFirst, &m_formLast, CURLFORM_COPYNAME, name, CURLFORM_COPYCONTENTS, value,
                        CURLFORM_END) == CURL_FORMADD_OK;
}

void CHttpClient::FreeForm()
{
    if (m_curl)
        curl_easy_setopt(m_curl, CURLOPT_HTTPPOST, static_cast<curl_httppost*>(nullptr));
    if (m_formFirst)
        curl_formfree(m_formFirst);
    m_formFirst = m_formLast = nullptr;
}

std::vector<std::string> CHttpClient::HeaderLines(const char* url, const char* extraHeaders)
{
    std::vector<std::string> lines;
    lines.push_back("Accept: */*");
    if (extraHeaders) {
        std::string text(extraHeaders, strnlen(extraHeaders, kMaxExtraHeaders));
        std::string piece;
        for (size_t i = 0; i <= text.size(); ++i) {
            char c = i < text.size() ? text[i] : '\0';
            if (c == '\0' || c == '\r' || c == '\n' || c == ';') {
                // A piece of one character (a stray letter between separators) is no header line.
                if (piece.size() >= 2)
                    lines.push_back(piece);
                piece.clear();
            } else {
                piece += c;
            }
        }
    }
    lines.push_back("Accept-Language: zh-CN");
    lines.push_back(kUserAgent);
    lines.push_back("Accept-Encoding: gzip, deflate");
    std::string trimmed = TrimBlanks(url ? url : "");
    size_t scheme = trimmed.find("://");
    if (scheme != std::string::npos) {
        size_t start = scheme + 3;
        size_t slash = trimmed.find('/', start);
        lines.push_back("Host: " +
                        trimmed.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
    }
    lines.push_back("Connection: Keep-Alive");
    return lines;
}

bool CHttpClient::Request(const char* url, bool get, const char* extraHeaders, const char* cookie)
{
    m_headers.clear();
    m_body.clear();
    if (!m_curl || !url) {
        // Fields added for this request must not reach a later one.
        FreeForm();
        m_errorText = curl_easy_strerror(CURLE_FAILED_INIT);
        return false;
    }

    struct curl_slist* headers = nullptr;
    for (const std::string& line : HeaderLines(url, extraHeaders))
        headers = curl_slist_append(headers, line.c_str());

    curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(m_curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    if (cookie)
        curl_easy_setopt(m_curl, CURLOPT_COOKIE, cookie);
    if (get)
        curl_easy_setopt(m_curl, CURLOPT_HTTPGET, 1L);
    else if (m_formFirst)
        curl_easy_setopt(m_curl, CURLOPT_HTTPPOST, m_formFirst);
    curl_easy_setopt(m_curl, CURLOPT_URL, url);
    CURLcode rc = curl_easy_perform(m_curl);

    // The handle keeps no pointer to the freed form: a later POST of this client carries only the
    // fields added after this request.
    FreeForm();
    curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
    curl_slist_free_all(headers);
    if (rc != CURLE_OK) {
        m_errorText = curl_easy_strerror(rc);
        return false;
    }
    return true;
}

void CHttpClient::Cleanup()
{
    FreeForm();
    if (m_curl) {
        curl_easy_cleanup(m_curl);
        m_curl = nullptr;
    }
}

size_t CHttpClient::BodyCallback(char* data, size_t size, size_t count, void* client)
{
    size_t bytes = size * count;
    if (client)
        static_cast<CHttpClient*>(client)->m_body.append(data, bytes);
    return bytes;
}

size_t CHttpClient::HeaderCallback(char* data, size_t size, size_t count, void* client)
{
    size_t bytes = size * count;
    if (client)
        static_cast<CHttpClient*>(client)->m_headers.append(data, bytes);
    return bytes;
}

int CHttpClient::ProgressCallback(void* client, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const CHttpClient* self = static_cast<const CHttpClient*>(client);
    // Non-zero makes libcurl abort the transfer.
    return self != nullptr && self->m_cancel != nullptr && self->m_cancel->load() ? 1 : 0;
}

}  // namespace Pellmora
