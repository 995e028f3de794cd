// Fetches one file into "<target>.dl" and renames it to the target only when it checks out.
#pragma once
#include <stdint.h>
#include <atomic>
#include <string>
#include <curl/curl.h>
#include "DownloadFile.h"

// Attaches the process-wide DNS cache (five minutes) that every downloader of the process shares;
// it locks, as downloads may run on several threads at once. The console's downloader uses it too.
void AttachSharedDnsCache(CURL* curl);

class CDownloader {
public:
    // The low-speed abort: a transfer slower than this many bytes per second for this many seconds.
    static constexpr long kDefaultLowSpeedLimit = 1;
    static constexpr long kDefaultLowSpeedTime = 60;
    // libcurl's receive buffer. Files run to hundreds of megabytes, and under Wine every pass of
    // libcurl's transfer loop waits on the socket through the wineserver: the larger each read,
    // the fewer passes. libcurl takes up to 10 MB here.
    static constexpr long kReceiveBuffer = 4 * 1024 * 1024;

    CDownloader() = default;
    virtual ~CDownloader();
    // clientError: set when the server answered with a 4xx status.
    virtual bool Download(bool* clientError);
    // One file per downloader: a second Init before Close keeps the first url and target.
    virtual bool Init(const std::string& url, const std::string& targetPath);
    virtual bool Close();

    // A set flag aborts the transfer at the next progress call (about once a second, even when
    // no data flows); the download then fails.
    void SetCancelFlag(const volatile bool* cancel) { m_cancel = cancel; m_atomicCancel = nullptr; }
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_atomicCancel = cancel; m_cancel = nullptr; }
    // A transfer slower than bytesPerSecond for seconds is aborted (default: 1 byte/s for 60 s),
    // so a stalled server cannot hold the run for ever. Tests shorten it.
    void SetLowSpeedLimit(long bytesPerSecond, long seconds)
    {
        m_lowSpeedLimit = bytesPerSecond;
        m_lowSpeedTime = seconds;
    }

    static size_t WriteCallback(void* data, size_t size, size_t count, void* downloader);
    static int ProgressCallback(void* downloader, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal,
                                curl_off_t ulNow);

    CDownloader(const CDownloader&) = delete;
    CDownloader& operator=(const CDownloader&) = delete;

private:
    void Cleanup();
    void ApplyShare();
    void SetOptions(struct curl_slist* headers);
    bool IsCancelled() const;

    CURL* m_curl = nullptr;
    CDownloadFile m_file;
    int32_t m_state = 0;
    std::string m_url;
    std::string m_targetPath;

    const volatile bool* m_cancel = nullptr;
    const std::atomic<bool>* m_atomicCancel = nullptr;
    long m_lowSpeedLimit = kDefaultLowSpeedLimit;
    long m_lowSpeedTime = kDefaultLowSpeedTime;
    // Bytes received at the last progress call and the tick they changed at: when nothing came
    // for 200 ms the file's block is written out (once), so a stalled transfer shows all it
    // received in the ".dl" file.
    curl_off_t m_progressBytes = -1;
    unsigned long long m_progressTick = 0;
    bool m_flushed = false;
    // The low-speed abort, checked in the progress callback: libcurl's own check re-arms a timer
    // on every pass of its transfer loop, which halves the throughput under Wine.
    bool LowSpeedExceeded(curl_off_t dlNow);
    unsigned long long m_speedSampleTime = 0;   // tick of the last speed sample, 0 before the first
    curl_off_t m_speedSampleBytes = 0;
    unsigned long long m_slowSince = 0;         // tick from which the speed stayed below the limit
};
