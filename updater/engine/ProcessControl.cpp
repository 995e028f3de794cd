#include "ProcessControl.h"
#include "SysHelpers.h"

#include <set>

CToolhelpSnapshot::CToolhelpSnapshot(uint32_t flags, uint32_t processId)
{
    Create(flags, processId);
}

CToolhelpSnapshot::~CToolhelpSnapshot()
{
    Close();
}

void CToolhelpSnapshot::Close()
{
    if (m_snapshot != INVALID_HANDLE_VALUE) {
        CloseHandle(m_snapshot);
        m_snapshot = INVALID_HANDLE_VALUE;
    }
}

bool CToolhelpSnapshot::Create(uint32_t flags, uint32_t processId)
{
    Close();
    if (flags == 0)
        return false;
    m_snapshot = CreateToolhelp32Snapshot(flags, processId);
    return m_snapshot != INVALID_HANDLE_VALUE;
}

bool CToolhelpSnapshot::ProcessFirst(PROCESSENTRY32W& entry)
{
    if (m_snapshot == INVALID_HANDLE_VALUE)
        return false;
    entry.dwSize = sizeof(entry);
    if (!Process32FirstW(m_snapshot, &entry))
        return false;
    if (entry.th32ProcessID != 0)
        return true;
    return ProcessNext(entry);
}

bool CToolhelpSnapshot::ProcessNext(PROCESSENTRY32W& entry)
{
    if (m_snapshot == INVALID_HANDLE_VALUE)
        return false;
    entry.dwSize = sizeof(entry);
    while (Process32NextW(m_snapshot, &entry)) {
        if (entry.th32ProcessID != 0)
            return true;
    }
    return false;
}

bool CToolhelpSnapshot::ModuleFirst(MODULEENTRY32W& entry)
{
    if (m_snapshot == INVALID_HANDLE_VALUE)
        return false;
    entry.dwSize = sizeof(entry);
    return Module32FirstW(m_snapshot, &entry) != FALSE;
}

bool EnablePrivilege(const wchar_t* name, bool enable)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    bool ok = LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid) != FALSE;
    if (ok) {
        privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        // Success of the call alone is not enough: a privilege the account lacks is reported
        // through the last error (ERROR_NOT_ALL_ASSIGNED).
        SetLastError(ERROR_SUCCESS);
        ok = AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(privileges), nullptr, nullptr) != FALSE &&
             GetLastError() == ERROR_SUCCESS;
    }
    CloseHandle(token);
    return ok;
}

uint32_t LaunchProcess(const std::string& exe, const std::string& args, uint32_t timeoutMs, uint16_t showCommand)
{
    std::string commandLine = "\"" + exe + "\"";
    if (!args.empty())
        commandLine += " " + args;
    // CreateProcessA may write into the command line, so it gets a private copy.
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showCommand;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 0;

    WaitForSingleObject(info.hProcess, timeoutMs);
    // Returns at once for a process that has ended or has no message queue.
    WaitForInputIdle(info.hProcess, timeoutMs);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return info.dwProcessId;
}

namespace {

// The directory of a process's executable, up to and including its last backslash.
bool GetProcessDirectory(DWORD processId, std::wstring& directory)
{
    std::wstring path;
    CToolhelpSnapshot modules(0, 0);
    // A module snapshot of a process that is loading or unloading modules may fail with
    // ERROR_BAD_LENGTH; the system asks callers to try again then.
    bool taken = modules.Create(TH32CS_SNAPMODULE, processId);
    for (int retry = 0; !taken && GetLastError() == ERROR_BAD_LENGTH && retry < 5; ++retry)
        taken = modules.Create(TH32CS_SNAPMODULE, processId);
    MODULEENTRY32W module = {};
    if (taken && modules.ModuleFirst(module)) {
        path = module.szExePath;
    } else {
        // Modules cannot be read across bitness (a 32-bit updater and a 64-bit program) nor
        // before a new process has loaded them; the system still knows the image's path.
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
        if (process) {
            wchar_t image[MAX_PATH * 2] = {};
            DWORD size = MAX_PATH * 2;
            if (QueryFullProcessImageNameW(process, 0, image, &size))
                path.assign(image, size);
            CloseHandle(process);
        }
    }
    size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return false;
    directory = path.substr(0, slash + 1);
    return true;
}

// Calls `onMatch` with the id of every running process that belongs to the installation;
// returns the number of matches.
template <typename OnMatch>
int32_t ForEachMatchingProcess(const std::vector<std::wstring>& names, const std::vector<std::wstring>& markers,
                               OnMatch onMatch)
{
    std::set<std::wstring> wanted;
    for (const std::wstring& name : names)
        wanted.insert(ToLowerW(name));

    int32_t matches = 0;
    CToolhelpSnapshot processes(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    const DWORD self = GetCurrentProcessId();
    for (bool more = processes.ProcessFirst(entry); more; more = processes.ProcessNext(entry)) {
        // The names come from the server; a list that names the updater itself must not make it
        // wait for or terminate itself.
        if (entry.th32ProcessID == self)
            continue;
        if (wanted.find(ToLowerW(entry.szExeFile)) == wanted.end())
            continue;
        std::wstring directory;
        if (!GetProcessDirectory(entry.th32ProcessID, directory))
            continue;
        bool marked = false;
        for (const std::wstring& marker : markers) {
            if (FileExists(directory + marker)) {
                marked = true;
                break;
            }
        }
        if (!marked)
            continue;
        ++matches;
        onMatch(entry.th32ProcessID);
    }
    return matches;
}

TProcessTimings g_timings;

}  // namespace

int32_t KillProcesses(std::vector<std::wstring> names, std::vector<std::wstring> markers)
{
    if (names.empty())
        return 0;
    // Needed for processes of other users; stays enabled for the rest of the run.
    EnablePrivilege(L"SeDebugPrivilege", true);
    return ForEachMatchingProcess(names, markers, [](DWORD processId) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId);
        if (process) {
            TerminateProcess(process, 0);
            CloseHandle(process);
        }
    });
}

int32_t CountProcesses(std::vector<std::wstring> names, std::vector<std::wstring> markers)
{
    if (names.empty())
        return 0;
    return ForEachMatchingProcess(names, markers, [](DWORD) {});
}

const TProcessTimings& GetProcessTimings()
{
    return g_timings;
}

void SetProcessTimings(const TProcessTimings& timings)
{
    g_timings = timings;
}
