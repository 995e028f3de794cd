// The operations of the file list that change the installation: downloads into "download",
// backups into "upgradebak", moves into place, batch files and the console's stop and start.
#include "UpdateFileList.h"
#include <windows.h>
#include "Downloader.h"
#include "MsFile.h"
#include "ProcessControl.h"
#include "SafePath.h"
#include "SysHelpers.h"

namespace {

const wchar_t kDownloadDir[] = L"download\\";
const wchar_t kBackupDir[] = L"upgradebak\\";
const wchar_t kConsoleExe[] = L"Pellmora.exe";

void DebugLineA(const char* text, const std::wstring& path)
{
    OutputDebugStringA((std::string(text) + WideToAnsi(path) + "\r").c_str());
}

void DebugLineW(const wchar_t* text, const std::wstring& path)
{
    OutputDebugStringW((std::wstring(text) + path + L"\r").c_str());
}

// The directory part of a path: the text before its last backslash ("" when there is none).
std::wstring DirectoryPart(const std::wstring& path)
{
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Deletes a file even when it is read-only (an old backup must never block later updates).
// Throws CFileException as CMsFile::Remove does.
void RemoveFile(const std::wstring& path)
{
    DWORD attrs = GetFileAttributesW(path.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(path.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
    CMsFile::Remove(path.c_str());
}

uint32_t FileTimeToSeconds(const FILETIME& ft)
{
    ULARGE_INTEGER v;
    v.LowPart = ft.dwLowDateTime;
    v.HighPart = ft.dwHighDateTime;
    if (v.QuadPart < 116444736000000000ULL)
        return 0;
    return static_cast<uint32_t>((v.QuadPart - 116444736000000000ULL) / 10000000ULL);
}

// The image names that count as the console: the server's list, and "Pellmora.exe" when the
// list names no usable main program -- the program StartMainProgram then starts. Without it, a
// list with neither [appfiles] nor "mainserver" would stop nothing and start a second console.
std::vector<std::wstring> ConsoleImages(const std::vector<std::wstring>& companions, const std::wstring& mainProgram)
{
    std::vector<std::wstring> images = companions;
    if (mainProgram.empty() || !IsSafeRelativePath(mainProgram))
        images.push_back(kConsoleExe);
    return images;
}

}  // namespace

DWORD CALLBACK MoveProgressRoutine(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD,
                                   HANDLE, HANDLE, LPVOID)
{
    return PROGRESS_CONTINUE;
}

uint32_t MoveFileKeepingProgress(const std::wstring& src, const std::wstring& dst, CFileInfo* record)
{
    // COPY_ALLOWED only: an existing destination is never replaced.
    if (MoveFileWithProgressW(src.c_str(), dst.c_str(), MoveProgressRoutine, record, MOVEFILE_COPY_ALLOWED))
        return 0;
    return GetLastError();
}

int32_t CUpdateFileList::DownloadNextFile(const std::string& versionUrl, const std::atomic<bool>* cancel)
{
    m_remainingCount = static_cast<int32_t>(m_pendingList.size());
    if (m_remainingCount == 0)
        return 0;
    CFileInfo* record = m_pendingList.front();
    m_pendingList.pop_front();

    if (record->path.empty() || record->url.empty()) {
        m_failedList.push_back(record);
        OutputDebugStringW(L"未命名文件下载失败!");
        return -1;
    }
    // Paths come from the server: nothing outside the installation is ever written.
    if (!IsSafeRelativePath(record->path)) {
        m_failedList.push_back(record);
        DebugLineW(L"Unsafe file path!", record->path);
        return -1;
    }
    try {
        std::wstring staging = m_rootDir + kDownloadDir + record->path;
        std::string url;
        UrlEncode(versionUrl + record->url, url);

        if (FileExists(staging)) {
            std::string md5;
            if (GetFileMd5(staging.c_str(), md5) == 0 && Md5Equal(md5, record->md5)) {
                record->path = staging;
                m_downloadedList.push_back(record);
                return 1;
            }
            RemoveFile(staging);
        }
        if (!CreateDirectoryTreeA(WideToAnsi(DirectoryPart(staging)).c_str())) {
            m_failedList.push_back(record);
            DebugLineA("Download CreateDir Error!", staging);
            return -1;
        }
        CDownloader downloader;
        bool clientError = false;
        downloader.SetCancelFlag(cancel);
        if (!downloader.Init(url, WideToAnsi(staging)) || !downloader.Download(&clientError)) {
            m_failedList.push_back(record);
            DebugLineA("Download Error!", staging);
            return -1;
        }
        std::string md5;
        if (GetFileMd5(staging.c_str(), md5) == 0 && Md5Equal(md5, record->md5)) {
            record->path = staging;
            m_downloadedList.push_back(record);
            return 1;
        }
        Sleep(2000);  // give a scanner or another process time to release the file
        RemoveFile(staging);
        m_failedList.push_back(record);
        DebugLineA("MD5 Error!", staging);
        return -1;
    } catch (...) {
        // The record is failed, not lost: the step must report it.
        m_failedList.push_back(record);
        OutputDebugStringW(L"下载文件时放生异常！");
        return -1;
    }
}

bool CUpdateFileList::GetDownloadResult(int32_t& downloaded, int32_t& failed) const
{
    downloaded = static_cast<int32_t>(m_downloadedList.size());
    failed = static_cast<int32_t>(m_failedList.size());
    return m_pendingList.empty();
}

int32_t CUpdateFileList::InstallDownloadedFiles()
{
    if (m_downloadedList.empty())
        return 0;
    const size_t prefix = m_rootDir.size() + wcslen(kDownloadDir);
    CFileInfo* record = nullptr;
    try {
        while (!m_downloadedList.empty()) {
            record = m_downloadedList.front();
            m_downloadedList.pop_front();
            const std::wstring& staging = record->path;
            std::wstring rel = staging.size() > prefix ? staging.substr(prefix) : std::wstring();
            std::wstring target = m_rootDir + rel;
            std::wstring backup = m_rootDir + kBackupDir + rel;

            if (FileExists(backup))
                RemoveFile(backup);
            bool backedUp = false;
            if (FileExists(target)) {
                std::wstring backupDir = DirectoryPart(backup);
                if (backupDir.empty() || !CreateDirectoryTreeW(backupDir.c_str()) ||
                    MoveFileKeepingProgress(target, backup, record) != 0) {
                    m_failedList.push_back(record);
                    DebugLineW(L"back file Error!", target);
                    record = nullptr;
                    continue;
                }
                backedUp = true;
            }
            std::wstring targetDir = DirectoryPart(target);
            if (targetDir.empty() || !CreateDirectoryTreeW(targetDir.c_str()) ||
                MoveFileKeepingProgress(staging, target, record) != 0) {
                // Put the old file back: no installed file may go missing.
                if (backedUp)
                    MoveFileKeepingProgress(backup, target, record);
                m_failedList.push_back(record);
                DebugLineW(L"move file Error2!", target);
                record = nullptr;
                continue;
            }
            record->path = target;
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data)) {
                record->size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
                uint32_t t = FileTimeToSeconds(data.ftLastWriteTime);
                record->time = t == 0 ? 0xFFFFFFFFu : t;
            }
            std::wstring key = ToLowerW(target);
            FileMap::iterator it = m_scannedMap.find(key);
            if (it != m_scannedMap.end()) {
                if (it->second != record)
                    delete it->second;
                it->second = record;
            } else {
                m_scannedMap[key] = record;
            }
            record = nullptr;
        }
    } catch (...) {
        if (record)
            m_failedList.push_back(record);
        OutputDebugStringW(L"移动文件时发生异常！");
        return 0;
    }
    SaveFileList(WideToAnsi(m_rootDir + L"filelist.ini"));
    return 1;
}

bool CUpdateFileList::GetMoveFailures(int32_t& count) const
{
    count = static_cast<int32_t>(m_failedList.size() + m_downloadedList.size());
    return true;
}

bool CUpdateFileList::RunBatFiles()
{
    std::string root = WideToAnsi(m_rootDir);
    for (const std::string& bat : m_batchFiles) {
        if (!IsSafeRelativePath(AnsiToWide(bat)))
            continue;  // never run what lies outside the installation
        LaunchProcess(root + bat, "", GetProcessTimings().launchWaitMs, SW_HIDE);
    }
    return true;
}

bool CUpdateFileList::StartMainProgram()
{
    if (m_mainProgram.empty() || !IsSafeRelativePath(m_mainProgram))
        m_mainProgram = kConsoleExe;
    LaunchProcess(WideToAnsi(m_rootDir + m_mainProgram), "", GetProcessTimings().launchWaitMs, SW_SHOW);
    return true;
}

bool CUpdateFileList::StopMainProgram()
{
    std::vector<std::wstring> markers(1, kConsoleExe);
    const std::vector<std::wstring> images = ConsoleImages(m_companionPrograms, m_mainProgram);
    KillProcesses(images, markers);
    if (CountProcesses(images, markers) > 0) {
        Sleep(GetProcessTimings().recountMs);
        if (CountProcesses(images, markers) > 0)
            return false;
    }
    return true;
}

bool CUpdateFileList::IsMainProgramRunning() const
{
    return CountProcesses(ConsoleImages(m_companionPrograms, m_mainProgram), std::vector<std::wstring>(1, kConsoleExe)) >= 1;
}
