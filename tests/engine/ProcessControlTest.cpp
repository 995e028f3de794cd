#include <gtest/gtest.h>
#include "ProcessControl.h"
#include "SafePath.h"
#include "SysHelpers.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::wstring TestExeDirectory()
{
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring self = path;
    return self.substr(0, self.find_last_of(L'\\') + 1);
}

std::wstring StandinPath()
{
    return TestExeDirectory() + L"standin_console.exe";
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out << bytes;
}

bool WaitForFile(const std::wstring& path, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!FileExists(path)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

// The stand-in's record of one start: waits until its line is complete.
std::string WaitForStartRecord(const std::wstring& logPath, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    std::string text = ReadFileBytes(logPath);
    while (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) {
        if (GetTickCount() - start > timeoutMs)
            break;
        Sleep(20);
        text = ReadFileBytes(logPath);
    }
    return text;
}

bool IsRunning(HANDLE process)
{
    return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

// A temporary folder that may play an installation; removed with everything in it.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& tag)
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        static LONG counter = 0;
        m_path = std::wstring(temp) + L"tv_proc_" + tag + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(InterlockedIncrement(&counter)) + L"\\";
        EXPECT_TRUE(CreateDirectoryTreeW(m_path.c_str())) << WideToUtf8(m_path) << ": " << GetLastError();
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(m_path), ignored);
    }
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + name; }

    // A copy of the stand-in program under `name`.
    std::wstring AddProgram(const std::wstring& name) const
    {
        std::wstring target = m_path + name;
        EXPECT_TRUE(CopyFileW(StandinPath().c_str(), target.c_str(), FALSE))
            << "copy to " << WideToUtf8(target) << ": " << GetLastError();
        return target;
    }
    void AddMarker() const { WriteFileBytes(m_path + L"Pellmora.exe", "marker"); }

private:
    std::wstring m_path;
};

// Processes a test started; whatever is still running at the end is terminated.
class ProcessGuard {
public:
    ~ProcessGuard()
    {
        for (HANDLE process : m_processes) {
            if (IsRunning(process)) {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, 5000);
            }
            CloseHandle(process);
        }
    }

    // Starts a stand-in copy and waits until it has recorded its start.
    HANDLE Start(const std::wstring& exe)
    {
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info)) {
            ADD_FAILURE() << "cannot start " << WideToUtf8(exe) << ": " << GetLastError();
            return nullptr;
        }
        CloseHandle(info.hThread);
        m_processes.push_back(info.hProcess);
        EXPECT_TRUE(WaitForFile(exe + L".log", 10000)) << WideToUtf8(exe) << " did not record its start";
        return info.hProcess;
    }

    HANDLE Adopt(DWORD processId)
    {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                     processId);
        if (process)
            m_processes.push_back(process);
        return process;
    }

private:
    std::vector<HANDLE> m_processes;
};

// Shortens the waits for one test and restores the shipped ones afterwards.
class ShortTimings {
public:
    ShortTimings()
    {
        TProcessTimings timings;
        timings.pollMs = 20;
        timings.closeGraceMs = 2000;
        timings.closePhaseMs = 4000;
        timings.recountMs = 200;
        timings.launchWaitMs = 400;
        SetProcessTimings(timings);
    }
    ~ShortTimings() { SetProcessTimings(TProcessTimings()); }
};

// Tests run in parallel and processes are matched machine-wide, so every test gives its programs
// names of its own; the marker is always the console's "Pellmora.exe".
const std::vector<std::wstring> kMarkers = {L"Pellmora.exe"};

}  // namespace

TEST(ToolhelpSnapshot, ProcessesSkipIdZeroAndIncludeThisProcess)
{
    CToolhelpSnapshot snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot.GetHandle(), INVALID_HANDLE_VALUE);
    PROCESSENTRY32W entry = {};
    bool foundSelf = false;
    int count = 0;
    for (bool more = snapshot.ProcessFirst(entry); more; more = snapshot.ProcessNext(entry)) {
        EXPECT_NE(entry.th32ProcessID, 0u);
        foundSelf = foundSelf || entry.th32ProcessID == GetCurrentProcessId();
        ++count;
    }
    EXPECT_TRUE(foundSelf);
    EXPECT_GT(count, 1);
}

TEST(ToolhelpSnapshot, FlagsZeroReleasesTheSnapshot)
{
    CToolhelpSnapshot snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot.GetHandle(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(snapshot.Create(0, 0));
    EXPECT_EQ(snapshot.GetHandle(), INVALID_HANDLE_VALUE);
    PROCESSENTRY32W entry = {};
    EXPECT_FALSE(snapshot.ProcessFirst(entry));
    MODULEENTRY32W module = {};
    EXPECT_FALSE(snapshot.ModuleFirst(module));
    EXPECT_TRUE(snapshot.Create(TH32CS_SNAPPROCESS, 0));
    EXPECT_TRUE(snapshot.ProcessFirst(entry));
}

TEST(ToolhelpSnapshot, FirstModuleOfAnotherProcessIsItsExecutable)
{
    TempFolder folder(L"module");
    std::wstring exe = folder.AddProgram(L"PmModuleProbe.exe");
    ProcessGuard guard;
    HANDLE process = guard.Start(exe);
    ASSERT_TRUE(process);
    CToolhelpSnapshot modules(TH32CS_SNAPMODULE, GetProcessId(process));
    MODULEENTRY32W module = {};
    ASSERT_TRUE(modules.ModuleFirst(module)) << GetLastError();
    EXPECT_EQ(ToLowerW(module.szExePath), ToLowerW(exe));
}

TEST(EnablePrivilege, HeldPrivilegeSucceedsUnknownNameFails)
{
    EXPECT_TRUE(EnablePrivilege(L"SeDebugPrivilege", true));
    EXPECT_TRUE(EnablePrivilege(L"SeShutdownPrivilege", false));
    EXPECT_FALSE(EnablePrivilege(L"SeNoSuchPrivilege", true));
}

TEST(ProcessControl, ShippedTimingsAreTheDefaults)
{
    const TProcessTimings& timings = GetProcessTimings();
    EXPECT_EQ(timings.pollMs, 100u);
    EXPECT_EQ(timings.closeGraceMs, 30000u);
    EXPECT_EQ(timings.closePhaseMs, 60000u);
    EXPECT_EQ(timings.recountMs, 1000u);
    EXPECT_EQ(timings.launchWaitMs, 15000u);
}

TEST(ProcessControl, CountsOnlyListedProgramsInMarkedFolders)
{
    const std::vector<std::wstring> names = {L"pmcountconsole.EXE", L"PMCOUNTHELPER.exe"};
    TempFolder install(L"install");
    install.AddMarker();
    TempFolder elsewhere(L"elsewhere");
    TempFolder markerIsFolder(L"dirmarker");
    CreateDirectoryW((markerIsFolder / L"Pellmora.exe").c_str(), nullptr);

    ProcessGuard guard;
    HANDLE console = guard.Start(install.AddProgram(L"PmCountConsole.exe"));
    HANDLE helper = guard.Start(install.AddProgram(L"PmCountHelper.exe"));
    HANDLE unlisted = guard.Start(install.AddProgram(L"PmCountOther.exe"));
    HANDLE stranger = guard.Start(elsewhere.AddProgram(L"PmCountHelper.exe"));
    HANDLE folderMarked = guard.Start(markerIsFolder.AddProgram(L"PmCountHelper.exe"));
    ASSERT_TRUE(console && helper && unlisted && stranger && folderMarked);

    struct Case {
        const char* what;
        std::vector<std::wstring> names;
        std::vector<std::wstring> markers;
        int32_t expected;
    };
    const Case cases[] = {
        {"both listed names, any letter case", names, kMarkers, 2},
        {"one name", {L"PmCountHelper.exe"}, kMarkers, 1},
        {"any of several markers", names, {L"nothing.here", L"pellmora.exe"}, 2},
        {"marker missing everywhere", names, {L"nothing.here"}, 0},
        {"no markers", names, {}, 0},
        {"unlisted name", {L"PmCountAbsent.exe"}, kMarkers, 0},
        {"no names", {}, kMarkers, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CountProcesses(c.names, c.markers), c.expected) << c.what;

    for (HANDLE process : {console, helper, unlisted, stranger, folderMarked})
        EXPECT_TRUE(IsRunning(process));
}

TEST(ProcessControl, ConsoleGetsTheGraceThenIsTerminatedStrangersAreLeftAlone)
{
    ShortTimings shortWaits;
    const TProcessTimings& timings = GetProcessTimings();
    const std::vector<std::wstring> kConsoleNames = {L"pmgraceconsole.EXE", L"PMGRACEHELPER.exe"};
    TempFolder install(L"install");
    install.AddMarker();
    TempFolder elsewhere(L"elsewhere");
    ProcessGuard guard;
    std::wstring consoleExe = install.AddProgram(L"PmGraceConsole.exe");
    HANDLE console = guard.Start(consoleExe);
    HANDLE helper = guard.Start(install.AddProgram(L"PmGraceHelper.exe"));
    HANDLE strangerConsole = guard.Start(elsewhere.AddProgram(L"PmGraceConsole.exe"));
    HANDLE strangerHelper = guard.Start(elsewhere.AddProgram(L"PmGraceHelper.exe"));
    ASSERT_TRUE(console && helper && strangerConsole && strangerHelper);
    ASSERT_EQ(CountProcesses(kConsoleNames, kMarkers), 2);

    // The console is asked to close and does; its helper ignores the request and keeps running
    // through the whole grace, polled the way the update's close step polls it.
    WriteFileBytes(consoleExe + L".quit", "");
    DWORD start = GetTickCount();
    int32_t running = 0;
    while (GetTickCount() - start <= timings.closeGraceMs) {
        running = CountProcesses(kConsoleNames, kMarkers);
        Sleep(timings.pollMs);
    }
    EXPECT_EQ(WaitForSingleObject(console, 0), WAIT_OBJECT_0);
    EXPECT_EQ(running, 1);
    EXPECT_TRUE(IsRunning(helper));

    EXPECT_EQ(KillProcesses(kConsoleNames, kMarkers), 1);
    if (CountProcesses(kConsoleNames, kMarkers) > 0)
        Sleep(timings.recountMs);
    EXPECT_EQ(CountProcesses(kConsoleNames, kMarkers), 0);
    ASSERT_EQ(WaitForSingleObject(helper, 5000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(helper, &exitCode);
    EXPECT_EQ(exitCode, 0u);

    // Same names, no marker beside them: never touched.
    EXPECT_TRUE(IsRunning(strangerConsole));
    EXPECT_TRUE(IsRunning(strangerHelper));
}

TEST(ProcessControl, ProcessWithoutReadableModulesIsFoundByItsImagePath)
{
    // A process created suspended has not loaded its modules yet.
    TempFolder install(L"install");
    install.AddMarker();
    std::wstring exe = install.AddProgram(L"PmSuspended.exe");
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                               nullptr, &startup, &info));
    ProcessGuard guard;
    guard.Adopt(info.dwProcessId);
    CToolhelpSnapshot modules(TH32CS_SNAPMODULE, info.dwProcessId);
    MODULEENTRY32W module = {};
    bool modulesReadable = modules.ModuleFirst(module);

    const std::vector<std::wstring> names = {L"PmSuspended.exe"};
    EXPECT_EQ(CountProcesses(names, kMarkers), 1) << "modules readable: " << modulesReadable;
    EXPECT_EQ(KillProcesses(names, kMarkers), 1);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 5000), WAIT_OBJECT_0);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

// Runs in a copy of this test program, started by the test below, inside a marked folder.
TEST(ProcessControl, DISABLED_ChildCountsAndKillsItsOwnName)
{
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring self = path;
    std::wstring name = self.substr(self.find_last_of(L'\\') + 1);
    int32_t counted = CountProcesses({name}, kMarkers);
    int32_t killed = KillProcesses({name}, kMarkers);
    WriteFileBytes(self + L".result", std::to_string(counted) + " " + std::to_string(killed));
}

TEST(ProcessControl, TheCallerNeverMatchesItself)
{
    TempFolder install(L"install");
    install.AddMarker();
    std::wstring exe = install / L"PmSelf.exe";
    ASSERT_TRUE(CopyFileW((TestExeDirectory() + L"engine_tests.exe").c_str(), exe.c_str(), FALSE));
    std::wstring commandLine =
        L"\"" + exe + L"\" --gtest_also_run_disabled_tests --gtest_filter=ProcessControl.DISABLED_ChildCountsAndKillsItsOwnName";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &info));
    ProcessGuard guard;
    guard.Adopt(info.dwProcessId);
    ASSERT_EQ(WaitForSingleObject(info.hProcess, 30000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ReadFileBytes(exe + L".result"), "0 0");
}

TEST(ProcessControl, KillWithNoNamesTouchesNothing)
{
    TempFolder install(L"install");
    install.AddMarker();
    ProcessGuard guard;
    HANDLE console = guard.Start(install.AddProgram(L"PmNoNames.exe"));
    ASSERT_TRUE(console);
    EXPECT_EQ(KillProcesses({}, kMarkers), 0);
    Sleep(200);
    EXPECT_TRUE(IsRunning(console));
}

namespace {

// Starts the console the way the update restarts it, with and without arguments, and checks the
// command line it received and that it is left running.
void CheckConsoleRestart(const TempFolder& install)
{
    ShortTimings shortWaits;
    const uint32_t wait = GetProcessTimings().launchWaitMs;
    install.AddMarker();
    std::wstring exe = install.AddProgram(L"PmRestart.exe");
    ProcessGuard guard;

    struct Case {
        std::string args;
        std::string commandLineTail;
    };
    for (const Case& c : {Case{"", ""}, Case{"-x 1", " -x 1"}}) {
        DeleteFileW((exe + L".log").c_str());
        DWORD start = GetTickCount();
        uint32_t processId = LaunchProcess(WideToAnsi(exe), c.args, wait, SW_SHOW);
        DWORD elapsed = GetTickCount() - start;
        ASSERT_NE(processId, 0u);
        HANDLE process = guard.Adopt(processId);
        ASSERT_TRUE(process);
        // The first wait runs out (the console does not end), the second passes once it is idle.
        EXPECT_GE(elapsed + 20, wait);
        EXPECT_LT(elapsed, 2 * wait + 2000);
        EXPECT_TRUE(IsRunning(process));
        EXPECT_EQ(WaitForStartRecord(exe + L".log", 5000), "\"" + WideToUtf8(exe) + "\"" + c.commandLineTail + "\r\n");
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 5000);
    }
}

}  // namespace

TEST(LaunchProcess, ConsoleRestartsWithItsQuotedPathAloneAndKeepsRunning)
{
    CheckConsoleRestart(TempFolder(L"install"));
}

TEST(LaunchProcess, PathTravelsInTheAnsiCodePage)
{
    CheckConsoleRestart(TempFolder(L"\u63a7\u5236\u53f0"));
}

TEST(LaunchProcess, MissingProgramGivesZero)
{
    TempFolder install(L"install");
    EXPECT_EQ(LaunchProcess(WideToAnsi(install / L"Absent.exe"), "", 1000, SW_SHOW), 0u);
}

TEST(LaunchProcess, BatchFileRunsHiddenAndReturnsWhenItEnds)
{
    TempFolder install(L"install");
    std::wstring out = install / L"ran.txt";
    std::wstring bat = install / L"update.bat";
    WriteFileBytes(bat, "@echo off\r\necho ran> \"" + WideToAnsi(out) + "\"\r\n");
    DWORD start = GetTickCount();
    EXPECT_NE(LaunchProcess(WideToAnsi(bat), "", 15000, SW_HIDE), 0u);
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(ReadFileBytes(out), "ran\r\n");
}

TEST(LaunchProcess, LongBatchFileIsWaitedForButNotTerminated)
{
    ShortTimings shortWaits;
    const uint32_t wait = GetProcessTimings().launchWaitMs;
    TempFolder install(L"install");
    std::wstring stop = install / L"stop.txt";
    std::wstring done = install / L"done.txt";
    std::wstring bat = install / L"long.bat";
    WriteFileBytes(bat, "@echo off\r\n:wait\r\nif not exist \"" + WideToAnsi(stop) + "\" goto wait\r\necho done> \"" +
                            WideToAnsi(done) + "\"\r\n");
    ProcessGuard guard;
    DWORD start = GetTickCount();
    uint32_t processId = LaunchProcess(WideToAnsi(bat), "", wait, SW_HIDE);
    DWORD elapsed = GetTickCount() - start;
    ASSERT_NE(processId, 0u);
    HANDLE process = guard.Adopt(processId);
    ASSERT_TRUE(process);
    EXPECT_GE(elapsed + 20, wait);
    EXPECT_LT(elapsed, 2 * wait + 2000);
    EXPECT_TRUE(IsRunning(process));

    WriteFileBytes(stop, "");
    EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(ReadFileBytes(done), "done\r\n");
}

TEST(SafePath, OnlyPlainRelativePathsPass)
{
    struct Case {
        const wchar_t* path;
        bool safe;
    };
    const Case cases[] = {
        {L"Pellmora.exe", true},
        {L"Res\\skin\\main.xml", true},
        {L"data/core.dat", true},
        {L"..foo\\bar..\\a.b.exe", true},
        {L"\u5347\u7ea7\\\u811a\u672c.bat", true},
        {L"", false},
        {L"C:\\Windows\\system32\\cmd.exe", false},
        {L"C:evil.exe", false},
        {L"Pellmora.exe:stream", false},
        {L"\\Windows\\win.ini", false},
        {L"/etc/passwd", false},
        {L"\\\\server\\share\\x.exe", false},
        {L"\\\\?\\C:\\x.exe", false},
        {L"..\\Core.exe", false},
        {L"Res\\..\\..\\x.dll", false},
        {L"Res/../x.dll", false},
        {L"Res\\..", false},
        {L"Res\\...\\x.dll", false},
        {L"Res\\.. \\x.dll", false},
        {L".\\x.dll", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsSafeRelativePath(std::wstring(c.path)), c.safe) << WideToUtf8(c.path);

    // The same judgement for server names in the ANSI code page (GBK here).
    for (const Case& c : cases)
        EXPECT_EQ(IsSafeRelativePath(WideToAnsi(c.path)), c.safe) << WideToUtf8(c.path);
    // A GBK character whose second byte is a backslash does not end a path component.
    EXPECT_TRUE(IsSafeRelativePath(WideToAnsi(L"\u4e57..\\x.exe")));
}
