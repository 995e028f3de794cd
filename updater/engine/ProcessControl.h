// Stopping, counting and starting the console's processes, and running batch files.
// A process belongs to the installation only when its image name is listed and the directory of
// its executable holds a marker file, so a same-named program elsewhere is never touched.
#pragma once
#include <windows.h>
#include <tlhelp32.h>
#include <stdint.h>
#include <string>
#include <vector>

// Owns one Toolhelp snapshot handle (INVALID_HANDLE_VALUE when none). Also used by the console.
class CToolhelpSnapshot {
public:
    CToolhelpSnapshot(uint32_t flags, uint32_t processId);
    ~CToolhelpSnapshot();

    // Replaces the held snapshot; flags 0 only releases it (false). True when the new one is valid.
    bool Create(uint32_t flags, uint32_t processId);

    // Process entries; entries with process id 0 (the idle pseudo-process) are skipped.
    bool ProcessFirst(PROCESSENTRY32W& entry);
    bool ProcessNext(PROCESSENTRY32W& entry);
    // First module; in a module snapshot of one process, that process's executable.
    bool ModuleFirst(MODULEENTRY32W& entry);

    HANDLE GetHandle() const { return m_snapshot; }

    CToolhelpSnapshot(const CToolhelpSnapshot&) = delete;
    CToolhelpSnapshot& operator=(const CToolhelpSnapshot&) = delete;

private:
    void Close();

    HANDLE m_snapshot = INVALID_HANDLE_VALUE;
};

// Enables a privilege of the current process's token, or removes it from the enabled set.
// True only when the adjustment reported no error (a privilege not held gives false).
bool EnablePrivilege(const wchar_t* name, bool enable);

// Starts "exe" (quoted) followed by a blank and args when args is not empty, with only the show
// command set; batch files go through the command interpreter. Waits up to timeoutMs for the
// process to end, then up to timeoutMs for it to become idle for input. Returns the process id,
// 0 when it could not be created. Narrow texts are in the ANSI code page.
uint32_t LaunchProcess(const std::string& exe, const std::string& args, uint32_t timeoutMs, uint16_t showCommand);

// Terminates every matching process (exit code 0) and returns how many matched, also those that
// could not be opened. Enables the debug privilege for the rest of the process's life.
int32_t KillProcesses(std::vector<std::wstring> names, std::vector<std::wstring> markers);

// The number of running processes whose image name is in `names` (any letter case) and whose
// executable's directory holds a file named by one of `markers`. Here and in KillProcesses the
// calling process itself never matches.
int32_t CountProcesses(std::vector<std::wstring> names, std::vector<std::wstring> markers);

// The waits around stopping and starting the console. The defaults are the shipped values; only
// tests change them, before any worker runs, so that they need not wait out the long ones.
struct TProcessTimings {
    uint32_t pollMs = 100;          // run-loop sleep between steps, so the grace is polled ~10 times a second
    uint32_t closeGraceMs = 30000;  // the console gets this long to exit by itself
    uint32_t closePhaseMs = 60000;  // after this a close phase without verdict starts again
    uint32_t recountMs = 1000;      // pause before counting again after a termination
    uint32_t launchWaitMs = 15000;  // each of the two waits after starting the console or a batch file
};

const TProcessTimings& GetProcessTimings();
void SetProcessTimings(const TProcessTimings& timings);
