#include "ConsoleDownloader.h"

#include <windows.h>
#include "Downloader.h"  // the engine's shared DNS cache and low-speed abort

namespace Pellmora {

namespace {

const char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/65.0.3325.146 "
    "Safari/537.36";

}  // namespace

CDownloader::CDownloader()
    : m_lowSpeedLimit(::CDownloader::kDefaultLowSpeedLimit), m_lowSpeedTime(::CDownloader::kDefaultLowSpeedTime)
{
}

CDownloader::~CDownloader()
{
    Close();
}

bool CDownloader::Init(const std::string& url, const std::string& targetPath)
{
    if (url.empty())
        return false;
    if (m_state == 1)
        return true;
    Cleanup();
    m_url = url;
    m_targetPath = targetPath;
    m_curl = curl_easy_init();
    if (!m_curl)
        return false;
    AttachSharedDnsCache(m_curl);
    curl_easy_setopt(m_curl, CURLOPT_URL, m_url.c_str());
    m_state = 1;
    return true;
}

bool CDownloader::Close()
{
    Cleanup();
    m_state = 0;
    return true;
}

void CDownloader::Cleanup()
{
    m_file.Close();
    if (m_curl) {
        curl_easy_cleanup(m_curl);
        m_curl = nullptr;
    }
    m_url.clear();
    m_targetPath.clear();
}

void CDownloader::SetOptions(struct curl_slist* headers)
{
    curl_easy_setopt(m_curl, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(m_curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, 30L);
    // A stalled server must not hold the caller for ever; the caller may bound the whole transfer
    // too (the photo download runs on the UI thread).
    curl_easy_setopt(m_curl, CURLOPT_TIMEOUT, m_totalSeconds);
    curl_easy_setopt(m_curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(m_maxBytes));
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_LIMIT, m_lowSpeedLimit);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_TIME, m_lowSpeedTime);
    curl_easy_setopt(m_curl, CURLOPT_RANGE, "0-");
    curl_easy_setopt(m_curl, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(m_curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(m_curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(m_curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &CDownloader::WriteCallback);
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, &CDownloader::ProgressCallback);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(m_curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, headers);
    // Larger reads, fewer passes of libcurl's transfer loop, as in the engine's downloader.
    curl_easy_setopt(m_curl, CURLOPT_BUFFERSIZE, ::CDownloader::kReceiveBuffer);
}

bool CDownloader::Download()
{
    if (!m_curl)
        return false;
    const std::string partPath = m_targetPath + ".dl";
    if (!m_file.Open(partPath))
        return false;
    bool ok = true;
    m_received = 0;
    struct curl_slist* headers = nullptr;
    try {
        headers = curl_slist_append(headers, "Connection: Keep-Alive");
        headers = curl_slist_append(headers, "Accept-Language: zh-CN,zh;q=0.9");
        SetOptions(headers);
        CURLcode rc = curl_easy_perform(m_curl);
        curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
        curl_slist_free_all(headers);
        headers = nullptr;

        long long size = -1;
        // The body must have reached the disk whole, the last block's write included.
        if (!m_file.Finish(&size))
            ok = false;

        if (rc != CURLE_OK) {
            OutputDebugStringA("SyncData pic return_code Error!");
            ok = false;
        }
        long status = 0;
        curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &status);
        if (status < 200 || status > 300) {
            OutputDebugStringA(m_url.c_str());
            ok = false;
        }
        curl_off_t announced = -1;
        curl_easy_getinfo(m_curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
        if (announced >= 0 && announced != size) {
            OutputDebugStringA("SyncData pic FileSize Error!");
            ok = false;
        }
        if (ok && MoveFileA(partPath.c_str(), m_targetPath.c_str()))
            return true;
        ok = false;
    } catch (...) {
        OutputDebugStringA("SyncData pic exception Error!");
        ok = false;
    }
    if (headers) {
        curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
        curl_slist_free_all(headers);
    }
    OutputDebugStringA(m_targetPath.c_str());
    m_file.Close();
    DeleteFileA(partPath.c_str());
    return ok;
}

size_t CDownloader::WriteCallback(void* data, size_t size, size_t count, void* downloader)
{
    CDownloader* self = static_cast<CDownloader*>(downloader);
    if (!self || !self->m_file.IsOpen())
        return 0;
    // The announced size is checked by libcurl; this catches a body without one, or a packed one.
    self->m_received += size * count;
    if (self->m_maxBytes != 0 && self->m_received > self->m_maxBytes)
        return 0;
    try {
        return self->m_file.Write(data, size * count) ? size * count : 0;
    } catch (...) {
        return 0;
    }
}

int CDownloader::ProgressCallback(void* downloader, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const CDownloader* self = static_cast<const CDownloader*>(downloader);
    // Non-zero makes libcurl abort the transfer.
    return self != nullptr && self->m_cancel != nullptr && self->m_cancel->load() ? 1 : 0;
}

}  // namespace Pellmora
