// The guard that ends the programs a test starts (ChildProcess.h): however the test leaves, the
// program is gone once the guard is; a program that ended by itself keeps its own exit code.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "ChildProcess.h"

namespace {

std::wstring HolderExe()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path);
    return p.substr(0, p.find_last_of(L'\\') + 1) + L"mutex_holder.exe";
}

struct Case {
    const char* what;
    std::wstring args;   // mutex_holder.exe's arguments: none make it end at once with 2
    bool endsByItself;
    DWORD exitCode;      // as seen after the guard went
};

// Starts the holder under a guard, hands the caller a handle to watch it with and leaves the way a
// failing ASSERT does: by a return in the middle, the guard still holding the program.
void StartAndLeaveEarly(const Case& c, HANDLE* watcher)
{
    std::wstring cmd = L"\"" + HolderExe() + L"\"" + c.args;
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    testsupport::ChildProcess child(pi);
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), pi.hProcess, GetCurrentProcess(), watcher,
                                SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0));
    if (c.endsByItself) {
        ASSERT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
        return;
    }
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 300), static_cast<DWORD>(WAIT_TIMEOUT)) << "it should still run";
}

}  // namespace

TEST(ChildProcessGuard, TheProgramIsGoneWhenTheTestLeavesEarly)
{
    const std::wstring holdAMinute = L" tvt_child_guard_" + std::to_wstring(GetCurrentProcessId()) + L" 60000 none";
    const Case cases[] = {
        {"still running: terminated", holdAMinute, false, 1},
        {"ended by itself: left alone", L"", true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HANDLE watcher = nullptr;
        StartAndLeaveEarly(c, &watcher);
        ASSERT_NE(watcher, nullptr);
        EXPECT_EQ(WaitForSingleObject(watcher, 0), WAIT_OBJECT_0);  // already gone: the guard waited
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(watcher, &code);
        EXPECT_EQ(code, c.exitCode);
        if (WaitForSingleObject(watcher, 0) == WAIT_TIMEOUT) {
            // The guard failed: end it here, so that the process does not outlive this test.
            HANDLE again = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, GetProcessId(watcher));
            if (again) {
                TerminateProcess(again, 1);
                WaitForSingleObject(again, 10000);
                CloseHandle(again);
            }
        }
        CloseHandle(watcher);
    }
}
