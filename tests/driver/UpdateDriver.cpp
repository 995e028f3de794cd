// Headless driver of one whole update, for the tests: copied into a fixture installation (the
// program's directory is the installation root) and run there, like the updater but without its
// window. Arguments as the updater's ("-u <id>", "-c <id>"), plus test-only shortenings:
//   --grace-ms N --phase-ms N --launch-wait-ms N --recount-ms N   the process waits
//   --status FILE      appends "step error toDownload pending" whenever one of them changes
//   --timeout-ms N     gives up (exit code 100) when the run has not ended by then
//   --cancel-at-step N stops the run (cancelled, as the window's close does) once it reached step N,
//                      after --cancel-delay-ms M; appends "cancelled ended=E step=S error=C", where
//                      E tells whether the worker ended by itself (1) or was ended by force (0)
//   --start-again      calls Start on every poll, as the window does on every tick
// The exit code is the run's error code (0 to 8).
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include "ProcessControl.h"
#include "SysHelpers.h"
#include "UpdateManager.h"
#include "HttpClient.h"
#include "UpdaterArgs.h"

namespace {
// Tells whether the worker left its run loop by itself.
class CDriverManager : public CUpdateManager {
public:
    std::atomic<bool> ended{false};
    int32_t OnThreadEnd() override
    {
        ended = true;
        return 1;
    }
};
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    TProcessTimings timings = GetProcessTimings();
    std::wstring statusPath;
    std::wstring cmdLine;
    uint32_t timeoutMs = 600000;
    int cancelAtStep = 0;
    uint32_t cancelDelayMs = 0;
    bool startAgain = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == L"--grace-ms" && hasValue) timings.closeGraceMs = wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--phase-ms" && hasValue) timings.closePhaseMs = wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--launch-wait-ms" && hasValue) timings.launchWaitMs = wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--recount-ms" && hasValue) timings.recountMs = wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--timeout-ms" && hasValue) timeoutMs = wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--status" && hasValue) statusPath = argv[++i];
        else if (arg == L"--cancel-at-step" && hasValue) cancelAtStep = _wtoi(argv[++i]);
        else if (arg == L"--cancel-delay-ms" && hasValue) cancelDelayMs = wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--start-again") startAgain = true;
        else cmdLine += arg + L" ";
    }
    SetProcessTimings(timings);
    ReadUpdaterArguments(cmdLine.c_str(), g_netbarId, g_forceUpdate);
    if (g_netbarId == 0)
        return 0;

    InitWinsock();
    CHttpClient::GlobalInit();
    int exitCode = 100;
    {
        CDriverManager manager;
        manager.Start();
        DWORD started = GetTickCount();
        std::string last;
        for (;;) {
            int32_t toDownload = 0, pending = 0;
            manager.GetProgress(toDownload, pending);
            char line[64];
            snprintf(line, sizeof line, "%d %d %d %d\n", manager.GetStep(), manager.GetErrorCode(), toDownload, pending);
            if (line != last && !statusPath.empty()) {
                last = line;
                if (FILE* f = _wfopen(statusPath.c_str(), L"ab")) {
                    fputs(line, f);
                    fclose(f);
                }
            }
            if (cancelAtStep != 0 && manager.GetStep() >= cancelAtStep) {
                Sleep(cancelDelayMs);
                manager.Stop(true);
                snprintf(line, sizeof line, "cancelled ended=%d step=%d error=%d\n", manager.ended ? 1 : 0,
                         manager.GetStep(), manager.GetErrorCode());
                if (FILE* f = statusPath.empty() ? nullptr : _wfopen(statusPath.c_str(), L"ab")) {
                    fputs(line, f);
                    fclose(f);
                }
                exitCode = manager.GetErrorCode();
                break;
            }
            if (manager.GetStep() == CUpdateManager::kStepDone) {
                exitCode = manager.GetErrorCode();
                break;
            }
            if (startAgain)
                manager.Start();
            if (GetTickCount() - started > timeoutMs)
                break;
            Sleep(20);
        }
        manager.Stop(true);
    }
    CleanupWinsock();
    return exitCode;
}
