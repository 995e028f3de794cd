#include "UpdateManager.h"
#include <windows.h>
#include "CoreDataFile.h"
#include "SysHelpers.h"

uint32_t g_netbarId = 0;
bool g_forceUpdate = false;

CUpdateManager::CUpdateManager() = default;

CUpdateManager::~CUpdateManager()
{
    // No worker may run over a destroyed manager, whichever way the window went.
    Stop(true);
}

void CUpdateManager::Start()
{
    int32_t idle = kStepIdle;
    if (!m_step.compare_exchange_strong(idle, kStepCheckLocal))
        return;
    StopThread(1000);
    StartThread();
}

void CUpdateManager::Stop(bool cancel)
{
    m_cancel.store(cancel, std::memory_order_relaxed);
    StopThread(10000);
}

int32_t CUpdateManager::GetProgress(int32_t& filesToDownload, int32_t& filesPending) const
{
    filesToDownload = m_filesToDownload.load(std::memory_order_relaxed);
    filesPending = m_filesPending.load(std::memory_order_relaxed);
    return filesToDownload;
}

bool CUpdateManager::IsInCloseGrace() const
{
    if (!m_closePhaseStarted.load(std::memory_order_relaxed))
        return false;
    return GetTickCount() - m_closePhaseStart.load(std::memory_order_relaxed) < GetProcessTimings().closeGraceMs;
}

int32_t CUpdateManager::OnThreadRun()
{
    while (!m_cancel.load(std::memory_order_relaxed)) {
        Step();
        Sleep(GetProcessTimings().pollMs);
    }
    RestartConsoleAfterCancel();
    return 0;
}

// The console is what starts the updater: a run cancelled after the console was stopped (steps 6
// to 8, or step 5 once it is gone) starts it again, as a failed move does.
void CUpdateManager::RestartConsoleAfterCancel()
{
    int32_t step = GetStep();
    if (step < kStepCloseConsole || step > kStepFinish)
        return;
    if (!m_consoleClosed && m_fileList.IsMainProgramRunning())
        return;
    if (!m_consoleClosed && !m_closePhaseStarted.load(std::memory_order_relaxed))
        return;
    StartMainProgram();
}

void CUpdateManager::Finish(int32_t errorCode)
{
    m_errorCode.store(errorCode, std::memory_order_relaxed);
    m_step.store(kStepDone, std::memory_order_relaxed);
}

void CUpdateManager::Step()
{
    switch (m_step.load(std::memory_order_relaxed)) {
    case kStepCheckLocal: {
        m_appDir = GetAppDirectory();
        if (m_appDir.size() <= 3) {  // a drive root: never scan or replace a whole drive
            Finish(1);
            break;
        }
        m_errorCode.store(0, std::memory_order_relaxed);
        ScanLocalFiles(m_fileList, m_appDir, [this] { return IsCancelled(); });
        m_step.store(kStepQuery, std::memory_order_relaxed);
        break;
    }
    case kStepQuery:
        if (QueryUpdate())
            m_step.store(kStepAnalyse, std::memory_order_relaxed);
        else
            Finish(2);
        break;
    case kStepAnalyse:
        if (AnalyseUpdate() >= 1)
            m_step.store(kStepDownload, std::memory_order_relaxed);
        else if (m_newVersion || g_forceUpdate)
            m_step.store(kStepCloseConsole, std::memory_order_relaxed);
        else
            Finish(0);
        break;
    case kStepDownload:
        if (DownloadFiles() == 1)
            m_step.store(kStepCloseConsole, std::memory_order_relaxed);
        else
            Finish(4);
        break;
    case kStepCloseConsole: {
        int32_t r = CloseMainProgram();
        if (r == 1) {
            m_consoleClosed = true;
            m_step.store(kStepInstall, std::memory_order_relaxed);
        } else if (r == -1) {
            Finish(5);
            StartMainProgram();
        }
        break;
    }
    case kStepInstall:
        if (InstallFiles()) {
            m_step.store(kStepBatch, std::memory_order_relaxed);
        } else {
            Finish(6);
            // The console was stopped for the moves: bring it back even though some failed.
            if (m_consoleClosed)
                StartMainProgram();
        }
        break;
    case kStepBatch:
        RunBatFiles();
        m_step.store(kStepFinish, std::memory_order_relaxed);
        break;
    case kStepFinish:
        SaveVersion();
        StartMainProgram();
        PostVersion();
        m_step.store(kStepDone, std::memory_order_relaxed);
        break;
    default:  // idle or done
        break;
    }
}

bool CUpdateManager::QueryUpdate()
{
    m_newVersion = false;
    CUpdateQueryResult result;
    bool ok = ::QueryUpdate(m_appDir, g_netbarId, result, &m_cancel);
    m_newVersion = result.newVersion;
    m_versionInfo = result.info;
    if (!result.version.empty() && !result.versionCode.empty()) {
        m_version = result.version;
        m_versionCode = result.versionCode;
    }
    return ok;
}

int32_t CUpdateManager::AnalyseUpdate()
{
    int32_t count = ::AnalyseUpdate(m_fileList, m_appDir);
    m_filesToDownload.store(count, std::memory_order_relaxed);
    return count;
}

int32_t CUpdateManager::DownloadFiles()
{
    bool anyFailed = false;
    for (;;) {
        int32_t r = m_fileList.DownloadNextFile(m_versionInfo.version_url, &m_cancel);
        m_filesPending.store(m_fileList.GetRemainingCount(), std::memory_order_relaxed);
        if (r == -1)
            anyFailed = true;
        if (IsCancelled())
            return -1;
        if (r == 0)
            break;
    }
    int32_t downloaded = 0, failed = 0;
    if (!m_fileList.GetDownloadResult(downloaded, failed)) {
        OutputDebugStringW(L"下载文件失败!");
        return 0;
    }
    return (failed == 0 && !anyFailed) ? 1 : -1;
}

int32_t CUpdateManager::CloseMainProgram()
{
    uint32_t now = GetTickCount();
    uint32_t elapsed = now - m_closePhaseStart.load(std::memory_order_relaxed);
    if (!m_closePhaseStarted.load(std::memory_order_relaxed) || elapsed > GetProcessTimings().closePhaseMs) {
        m_closePhaseStart.store(now, std::memory_order_relaxed);
        m_closePhaseStarted.store(true, std::memory_order_relaxed);
        return 0;
    }
    if (elapsed <= GetProcessTimings().closeGraceMs)
        return m_fileList.IsMainProgramRunning() ? 0 : 1;
    return m_fileList.StopMainProgram() ? 1 : -1;
}

bool CUpdateManager::InstallFiles()
{
    m_fileList.InstallDownloadedFiles();
    int32_t failures = 0;
    m_fileList.GetMoveFailures(failures);
    if (failures == 0)
        return true;
    OutputDebugStringW(L"移动文件失败!");
    return false;
}

bool CUpdateManager::RunBatFiles()
{
    return m_fileList.RunBatFiles();
}

bool CUpdateManager::SaveVersion()
{
    CCoreDataFile file(1);
    file.SetPath(WideToAnsi(m_appDir + L"data\\core.dat"));
    return file.Write(m_version, m_versionCode, 100);
}

bool CUpdateManager::StartMainProgram()
{
    return m_fileList.StartMainProgram();
}

bool CUpdateManager::PostVersion()
{
    return ::PostVersion(m_appDir, g_netbarId, &m_cancel);
}
