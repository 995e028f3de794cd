#include "Tollvane.h"
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <json/json.h>
#include <memory>
#include <vector>
#include "ConsoleDownloader.h"
#include "ConsoleEvents.h"
#include "ConsoleGlobals.h"
#include "ConsoleHttpClient.h"
#include "Md5A.h"
#include "ProcessControl.h"
#include "SysHelpers.h"

#ifndef TOLLVANE_UPDATE_HOST
#define TOLLVANE_UPDATE_HOST "http://update.tollvane.invalid"
#endif

namespace {

const char kCheckUpdatePath[] = "/index.php?g=home&m=api&a=check_update&netbarid=";

std::string StateName(int32_t state) { return std::to_string(state); }

}  // namespace

CTollvane::CTollvane() : m_versionFile(0) { SetDirectory(GetAppDirectory()); }

CTollvane::~CTollvane()
{
    // The thread calls into this object: it must be gone before the members are.
    StopThread(3000);
}

uint32_t CTollvane::DefaultClock() { return GetTickCount(); }

void CTollvane::SetDirectory(const std::wstring& directory)
{
    m_directory = WideToAnsi(directory);
    if (!m_directory.empty() && m_directory.back() != '\\')
        m_directory += '\\';
    m_versionFile.SetPath(m_directory + "data\\core.dat");
}

void CTollvane::SetState(int32_t state)
{
    if (state != m_state)
        consoleevents::RaiseA(L"update", "state", StateName(state));
    m_state = state;
}

void CTollvane::EndCheck(uint32_t now)
{
    SetState(kIdle);
    m_lastEnd = now;
}

uint32_t CTollvane::FindProcess(const wchar_t* imageName, uint32_t* pid)
{
    uint32_t found = 0;
    CToolhelpSnapshot snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (bool more = snapshot.ProcessFirst(entry); more; more = snapshot.ProcessNext(entry)) {
        if (_wcsicmp(entry.szExeFile, imageName) == 0) {
            found = entry.th32ProcessID;
            break;
        }
    }
    if (pid)
        *pid = found;
    return found;
}

int32_t CTollvane::OnThreadRun()
{
    ++g_updateTickCount;
    if (g_updateTickCount % 10 != 1 || IsStopping())
        return 0;
    uint32_t now = m_clock();
    switch (m_state) {
    case kIdle:
        if (!((m_lastEnd == 0 && now > kFirstCheckUptimeMs) || now - m_lastEnd > kCheckPeriodMs))
            return 0;
        SetState(kCheck);
        [[fallthrough]];  // the check starts on this tick
    case kCheck:
        if (FindProcess(L"Core.exe")) {
            consoleevents::Raise(L"update", L"dropped", L"Core.exe runs");
            EndCheck(now);
            return 1;
        }
        m_answer = 0;
        SetState(kAccepted);
        if (!CheckUpdate()) {
            EndCheck(now);
            return 0;
        }
        m_acceptedAt = now;
        return 1;
    case kAccepted:
        if (m_answer == 1)
            SetState(kFetchAndStart);
        return 1;
    case kFetchAndStart:
        if (DownloadAndRun())
            SetState(kUpdaterRunning);
        else
            EndCheck(now);
        return 1;
    case kUpdaterRunning:
        if (!FindProcess(L"Core.exe"))
            EndCheck(now);
        return 1;
    default:
        EndCheck(now);
        return 1;
    }
}

bool CTollvane::CheckUpdate()
{
    std::string versionText, versionCode;
    if (!m_versionFile.Get(versionText, versionCode)) {
        consoleevents::Raise(L"update", L"version-file", L"unreadable");
        return false;
    }
    CCheckUpdateInfo reply;
    if (!RequestUpdateInfo(versionCode, reply))
        return false;
    consoleevents::RaiseA(L"update", "reply", std::to_string(reply.code));
    if (reply.code == 101) {
        m_announcement = reply;
        SetUserAnswer(true);
    }
    return reply.code == 101;
}

std::string CTollvane::CheckUpdateUrl(uint32_t netbarId, const std::string& versionCode)
{
    // The configured host already carries its scheme.
    std::string host = TOLLVANE_UPDATE_HOST;
    if (host.compare(0, 7, "http://") == 0)
        host.erase(0, 7);
    char id[16];
    snprintf(id, sizeof(id), "%u", netbarId);
    return "http://" + host + kCheckUpdatePath + id + "&version=" + versionCode;
}

bool CTollvane::RequestUpdateInfo(const std::string& versionCode, CCheckUpdateInfo& reply)
{
    std::string url = CheckUpdateUrl(static_cast<uint32_t>(g_netbarInfo.bar_id), versionCode);
    consoleevents::RaiseA(L"update", "request", url);
    Pellmora::CHttpClient client;
    client.Init();
    // Stopping the thread ends a request that the service took and never answers.
    client.SetCancelFlag(GetStopFlag());
    if (!client.Request(url.c_str(), true))
        return false;
    try {
        Json::Value root;
        Json::CharReaderBuilder builder;
        builder["collectComments"] = true;
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        std::string errors;
        const std::string& body = client.GetBody();
        if (!reader->parse(body.data(), body.data() + body.size(), &root, &errors) || !root.isObject())
            return false;
        reply.code = atoi(root["code"].asString().c_str());
        reply.version_code = root["version_code"].asString();
        reply.msg = root["msg"].asString();
        reply.version = root["version"].asString();
        reply.version_update_md5 = root["version_update_md5"].asString();
        reply.version_update_url = root["version_update_url"].asString();
        reply.version_info_url = root["version_info_url"].asString();
    } catch (...) {
        return false;
    }
    return reply.code > 0;
}

bool CTollvane::DownloadAndRun()
{
    std::string programPath = m_directory + "Core.exe";
    const std::string& wanted = m_announcement.version_update_md5;
    std::string md5 = CMd5A().FileMd5Hex(programPath.c_str());
    if (_stricmp(md5.c_str(), wanted.c_str()) != 0) {
        std::string newPath = programPath + ".new";
        DeleteFileA(newPath.c_str());
        // The chain of folders that holds the new file (not the file's own name).
        if (!CreateDirectoryTreeA(m_directory.c_str())) {
            OutputDebugStringA("SyncData pic CreateDir Error!");
            return false;
        }
        consoleevents::RaiseA(L"update", "download", m_announcement.version_update_url);
        Pellmora::CDownloader downloader;
        downloader.SetCancelFlag(GetStopFlag());
        if (!downloader.Init(m_announcement.version_update_url, newPath) || !downloader.Download()) {
            OutputDebugStringA("SyncData pic Download Error!");
            consoleevents::Raise(L"update", L"download", L"failed");
            return false;
        }
        downloader.Close();
        if (IsStopping())
            return false;
        std::string got = CMd5A().FileMd5Hex(newPath.c_str());
        if (got.empty() || _stricmp(got.c_str(), wanted.c_str()) != 0) {
            consoleevents::RaiseA(L"update", "md5-mismatch", got);
            return false;
        }
        if (!CopyFileA(newPath.c_str(), programPath.c_str(), FALSE)) {
            consoleevents::Raise(L"update", L"copy", L"failed");
            return false;
        }
    }
    if (IsStopping())
        return false;
    char args[32];
    snprintf(args, sizeof(args), "-u %d", g_netbarInfo.bar_id);
    LaunchUpdater(programPath, args);
    return true;
}

void CTollvane::LaunchUpdater(const std::string& path, const std::string& args)
{
    consoleevents::RaiseA(L"update", "launch", "\"" + path + "\" " + args);
    std::string commandLine = "\"" + path + "\" " + args;
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return;
    // Alertable waits: the APC with which Stop wakes the thread ends them early.
    DWORD start = GetTickCount();
    while (!IsStopping()) {
        DWORD spent = GetTickCount() - start;
        if (spent >= kLaunchWaitMs)
            break;
        DWORD r = WaitForSingleObjectEx(info.hProcess, kLaunchWaitMs - spent, TRUE);
        if (r != WAIT_IO_COMPLETION)
            break;
    }
    start = GetTickCount();
    while (!IsStopping() && GetTickCount() - start < kLaunchWaitMs) {
        DWORD r = WaitForInputIdle(info.hProcess, 100);
        if (r != WAIT_TIMEOUT)
            break;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}
