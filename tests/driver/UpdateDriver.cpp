// Headless driver of one whole update, for the tests: copied into a fixture installation (the
// program's directory is the installation root) and run there, like the updater but without its
// window. Arguments as the updater's ("-u <id>", "-c <id>"), plus test-only shortenings:
//   --grace-ms N --phase-ms N --launch-wait-ms N --recount-ms N   the process waits
//   --status FILE      appends "step error toDownload pending" whenever one of them changes
//   --timeout-ms N     gives up (exit code 100) when the run has not ended by then
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

int wmain(int argc, wchar_t** argv)
{
    TProcessTimings timings = GetProcessTimings();
    std::wstring statusPath;
    std::wstring cmdLine;
    uint32_t timeoutMs = 600000;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == L"--grace-ms" && hasValue) timings.closeGraceMs = wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--phase-ms" && hasValue) timings.closePhaseMs = wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--launch-wait-ms" && hasValue) timings.launchWaitMs = wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--recount-ms" && hasValue) timings.recountMs = wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--timeout-ms" && hasValue) timeoutMs = wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--status" && hasValue) statusPath = argv[++i];
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
        CUpdateManager manager;
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
            if (manager.GetStep() == CUpdateManager::kStepDone) {
                exitCode = manager.GetErrorCode();
                break;
            }
            if (GetTickCount() - started > timeoutMs)
                break;
            Sleep(20);
        }
        manager.Stop(true);
    }
    CleanupWinsock();
    return exitCode;
}
