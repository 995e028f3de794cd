// One page in a web view, pumped for a while: prints the longest time the UI thread kept a posted
// message waiting (UiProbe), the number of round trips and how the load ended.
//   webview_stall_bench.exe URL SECONDS
// Output: one line "longest_ms trips result" (result: ok, failed, unfinished, or blocked when the
// UI thread was still held ten seconds after the time given).
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "UiProbe.h"
#include "webview.h"

namespace {
int g_result = -1;
std::atomic<bool> g_done{false};
void OnFinish(wkeWebView, void*, wkeString, int result, wkeString) {
    g_result = result;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: webview_stall_bench URL SECONDS\n");
        return 2;
    }
    std::string url = argv[1];
    DWORD ms = (DWORD)(atof(argv[2]) * 1000);
    wkeInitialize();
    {
        webtest::UiProbe probe;
        wkeWebView v = wkeCreateWebView();
        wkeResize(v, 800, 600);
        wkeOnLoadingFinish(v, OnFinish, nullptr);
        std::wstring w(url.begin(), url.end());
        wkeLoadW(v, w.c_str());
        DWORD start = GetTickCount();
        // A page that holds the thread for good still gets its line: the time it has held it so far.
        std::thread watchdog([&probe, ms] {
            for (DWORD waited = 0; waited < ms + 10000; waited += 50) {
                if (g_done) return;
                Sleep(50);
            }
            printf("%lu %u blocked\n", (unsigned long)probe.Longest(), probe.Trips());
            fflush(stdout);
            ExitProcess(0);
        });
        while (GetTickCount() - start < ms) {
            MSG msg;
            // A busy page keeps the library's timer due: messages may never run out.
            while (GetTickCount() - start < ms && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            // As the web-view control does: the page is painted when it changed.
            wkeRepaintIfNeededAfterInterval(v);
            Sleep(5);
        }
        g_done = true;
        watchdog.join();
        printf("%lu %u %s\n", (unsigned long)probe.Longest(), probe.Trips(),
               g_result == WKE_LOADING_SUCCEEDED ? "ok" : g_result == WKE_LOADING_FAILED ? "failed" : "unfinished");
        fflush(stdout);
        wkeDestroyWebView(v);
    }
    wkeFinalize();
    return 0;
}
