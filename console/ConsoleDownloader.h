// The console's downloader: one file over HTTP into "<target>.dl", renamed to the target only when
// the transfer, the status (200 to 300) and the announced size check out; never a half-written
// file under the target name. Used for the customer photo (UI thread) and the updater program
// (update timer thread); the two may overlap and share the engine's locked DNS cache. A transfer
// slower than 1 byte/s for 60 s is aborted, as in the engine; a caller may also limit the whole
// transfer's time and the file's size. The object owns its easy handle and the open ".dl" file.
#pragma once
#include <stdint.h>
#include <atomic>
#include <string>
#include <curl/curl.h>
#include "DownloadFile.h"

namespace Pellmora {

class CDownloader {
public:
    CDownloader();
    virtual ~CDownloader();
    // Every status outside 200..300 (4xx and 416 included) is an ordinary failure.
    virtual bool Download();
    // One file per downloader: a second Init before Close keeps the first url and target.
    virtual bool Init(const std::string& url, const std::string& targetPath);
    virtual bool Close();

    // A set flag aborts the transfer at the next progress call (about once a second, also when no
    // data flows); the download then fails. The update check's stop flag is one.
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }

    // Limits of one transfer: its whole time (0: none) and the bytes the file may have (0: any);
    // a transfer beyond either fails.
    void SetLimits(long totalSeconds, uint64_t maxBytes)
    {
        m_totalSeconds = totalSeconds;
        m_maxBytes = maxBytes;
    }

    // Tests shorten the low-speed abort (default: 1 byte/s for 60 s).
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
    void SetOptions(struct curl_slist* headers);

    CURL* m_curl = nullptr;
    CDownloadFile m_file;
    int32_t m_state = 0;
    std::string m_url;
    std::string m_targetPath;

    const std::atomic<bool>* m_cancel = nullptr;
    long m_lowSpeedLimit;
    long m_lowSpeedTime;
    long m_totalSeconds = 0;
    uint64_t m_maxBytes = 0;
    uint64_t m_received = 0;
};

}  // namespace Pellmora
