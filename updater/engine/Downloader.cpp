#include "Downloader.h"
#include <windows.h>
#include <mutex>

namespace {

const char kUserAgent[] = "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:13.0) Gecko/20100101 Firefox/13.0.1";

// The DNS cache is shared by every downloader of the process, and the console downloads on two
// threads at once: the share handle must lock.
CURLSH* g_share = nullptr;
std::once_flag g_shareOnce;
std::mutex g_shareLocks[CURL_LOCK_DATA_LAST];

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void*)
{
    g_shareLocks[data].lock();
}

void UnlockShare(CURL*, curl_lock_data data, void*)
{
    g_shareLocks[data].unlock();
}

}  // namespace

CDownloader::~CDownloader()
{
    Close();
}

bool CDownloader::Init(const std::string& url, const std::string& targetPath)
{
    if (url.empty()) return false;
    if (m_state == 1) return true;
    Cleanup();
    m_url = url;
    m_targetPath = targetPath;
    m_curl = curl_easy_init();
    if (!m_curl) return false;
    ApplyShare();
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

void AttachSharedDnsCache(CURL* curl)
{
    std::call_once(g_shareOnce, [] {
        CURLSH* share = curl_share_init();
        if (!share) return;
        curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &LockShare);
        curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &UnlockShare);
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        g_share = share;
    });
    if (g_share) curl_easy_setopt(curl, CURLOPT_SHARE, g_share);
    curl_easy_setopt(curl, CURLOPT_DNS_CACHE_TIMEOUT, 300L);
}

void CDownloader::ApplyShare()
{
    AttachSharedDnsCache(m_curl);
}

void CDownloader::SetOptions(struct curl_slist* headers)
{
    curl_easy_setopt(m_curl, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(m_curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(m_curl, CURLOPT_RANGE, "0-");
    curl_easy_setopt(m_curl, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(m_curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(m_curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
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
    curl_easy_setopt(m_curl, CURLOPT_BUFFERSIZE, kReceiveBuffer);
}

bool CDownloader::IsCancelled() const
{
    if (m_cancel && *m_cancel) return true;
    return m_atomicCancel && m_atomicCancel->load(std::memory_order_relaxed);
}

bool CDownloader::Download(bool* clientError)
{
    if (!m_curl) return false;
    const std::string partPath = m_targetPath + ".dl";
    if (!m_file.Open(partPath)) return false;
    m_progressBytes = -1;
    m_progressTick = 0;
    m_flushed = false;
    m_speedSampleTime = 0;
    m_slowSince = 0;
    if (clientError) *clientError = false;
    bool ok = true;
    struct curl_slist* headers = nullptr;
    try {
        headers = curl_slist_append(headers, "Connection: Keep-Alive");
        SetOptions(headers);
        CURLcode rc = curl_easy_perform(m_curl);
        curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
        curl_slist_free_all(headers);
        headers = nullptr;

        long long size = -1;
        // A body that did not reach the disk whole is a failed download, even when the last
        // block's write is the one that failed.
        if (!m_file.Finish(&size)) ok = false;

        if (rc != CURLE_OK) {
            OutputDebugStringA("SyncData pic return_code Error!");
            ok = false;
        }
        long status = 0;
        curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 400 && status <= 499 && clientError) *clientError = true;
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
        // The range "0-" of an empty file cannot be satisfied: the file is empty. Only a completed
        // transfer says so; an aborted one stays a failure.
        if (status == 416 && rc == CURLE_OK) {
            FILE* empty = fopen(partPath.c_str(), "wb");
            if (!empty) {
                DeleteFileA(partPath.c_str());
                return false;
            }
            fclose(empty);
            ok = true;
        }
        if (ok && MoveFileA(partPath.c_str(), m_targetPath.c_str())) return true;
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
    if (!self || !self->m_file.IsOpen()) return 0;
    try {
        return self->m_file.Write(data, size * count) ? size * count : 0;
    } catch (...) {
        return 0;
    }
}

int CDownloader::ProgressCallback(void* downloader, curl_off_t, curl_off_t dlNow, curl_off_t, curl_off_t)
{
    CDownloader* self = static_cast<CDownloader*>(downloader);
    if (!self) return 0;
    const unsigned long long now = GetTickCount64();
    if (dlNow != self->m_progressBytes) {
        self->m_progressBytes = dlNow;
        self->m_progressTick = now;
        self->m_flushed = false;
    } else if (!self->m_flushed && now - self->m_progressTick >= 200) {
        // Nothing arrived for a while: what did arrive goes to the file now.
        self->m_flushed = true;
        self->m_file.Flush();
    }
    // Returning non-zero ends the transfer as a failure, as the low-speed time-out would.
    return self->IsCancelled() || self->LowSpeedExceeded(dlNow) ? 1 : 0;
}

bool CDownloader::LowSpeedExceeded(curl_off_t dlNow)
{
    if (m_lowSpeedLimit <= 0 || m_lowSpeedTime <= 0) return false;
    const unsigned long long now = GetTickCount64();
    if (m_speedSampleTime == 0) {
        m_speedSampleTime = now;
        m_speedSampleBytes = dlNow;
        return false;
    }
    // The speed over at least the last second, as libcurl samples it.
    const unsigned long long elapsed = now - m_speedSampleTime;
    if (elapsed < 1000) return false;
    const curl_off_t speed = (dlNow - m_speedSampleBytes) * 1000 / (curl_off_t)elapsed;
    m_speedSampleTime = now;
    m_speedSampleBytes = dlNow;
    if (speed >= m_lowSpeedLimit) {
        m_slowSince = 0;
        return false;
    }
    if (m_slowSince == 0) m_slowSince = now - elapsed;
    return now - m_slowSince >= (unsigned long long)m_lowSpeedTime * 1000ULL;
}
