// The updater's engine: one whole update as a machine of numbered steps on a worker thread.
// The window polls step, error code and counters and sets the cancel flag; there is no lock
// between the two threads, each shared field is a single aligned value.
#pragma once
#include <atomic>
#include <stdint.h>
#include <string>
#include "ProcessControl.h"
#include "UpdateFileList.h"
#include "UpdateProtocol.h"
#include "WorkThread.h"

// Process-wide values set by the program entry from its command line before the window exists.
extern uint32_t g_netbarId;   // café id; the entry never creates the window when it is 0
extern bool g_forceUpdate;    // switch "c": stop and restart the console and record the version anyway

class CUpdateManager : public CWorkThreadBaseHandler {
public:
    enum {
        kStepIdle = 0,
        kStepCheckLocal = 1,
        kStepQuery = 2,
        kStepAnalyse = 3,
        kStepDownload = 4,
        kStepCloseConsole = 5,
        kStepInstall = 6,
        kStepBatch = 7,
        kStepFinish = 8,
        kStepDone = 9,
    };

    CUpdateManager();
    ~CUpdateManager() override;

    void Start();
    void Stop(bool cancel);
    int32_t GetProgress(int32_t& filesToDownload, int32_t& filesPending) const;
    int32_t GetStep() const { return m_step.load(std::memory_order_relaxed); }
    int32_t GetErrorCode() const { return m_errorCode.load(std::memory_order_relaxed); }
    bool IsCancelled() const { return m_cancel.load(std::memory_order_relaxed); }
    bool IsInCloseGrace() const;
    std::wstring GetAppDir() const { return m_appDir; }

    int32_t OnThreadRun() override;

    // Step operations (public so a headless driver and the tests can run single steps).
    void Step();
    bool QueryUpdate();
    int32_t AnalyseUpdate();
    int32_t DownloadFiles();
    int32_t CloseMainProgram();
    bool InstallFiles();
    bool RunBatFiles();
    bool SaveVersion();
    bool StartMainProgram();
    bool PostVersion();

    CUpdateFileList& GetFileList() { return m_fileList; }
    const CVersionInfo& GetVersionInfo() const { return m_versionInfo; }
    const std::string& GetVersion() const { return m_version; }
    const std::string& GetVersionCode() const { return m_versionCode; }
    bool HasNewVersion() const { return m_newVersion; }

private:
    void Finish(int32_t errorCode);
    void RestartConsoleAfterCancel();

    std::atomic<int32_t> m_step{kStepIdle};
    std::atomic<int32_t> m_filesToDownload{0};
    std::atomic<int32_t> m_filesPending{0};
    std::atomic<int32_t> m_errorCode{0};
    std::atomic<bool> m_cancel{false};
    // Start of the current close phase; an explicit flag says whether one began, since any
    // tick value, 0 included, is a valid start.
    std::atomic<bool> m_closePhaseStarted{false};
    std::atomic<uint32_t> m_closePhaseStart{0};
    CVersionInfo m_versionInfo;
    CUpdateFileList m_fileList;
    std::wstring m_appDir;
    bool m_newVersion = false;
    std::string m_version;
    std::string m_versionCode;
    bool m_consoleClosed = false;
};
