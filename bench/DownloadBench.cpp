// One download through CDownloader, timed inside the process (Wine's start-up left out).
//   download_bench.exe URL TARGET
#include <windows.h>
#include <stdio.h>
#include "Downloader.h"
#include "HttpClient.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: download_bench URL TARGET\n");
        return 2;
    }
    CHttpClient::GlobalInit();
    DeleteFileA(argv[2]);
    LARGE_INTEGER freq, start, end;
    QueryPerformanceFrequency(&freq);
    CDownloader d;
    if (!d.Init(argv[1], argv[2])) return 1;
    QueryPerformanceCounter(&start);
    bool clientError = false;
    bool ok = d.Download(&clientError);
    QueryPerformanceCounter(&end);
    printf("%s %.6f\n", ok ? "ok" : "failed", double(end.QuadPart - start.QuadPart) / double(freq.QuadPart));
    return ok ? 0 : 1;
}
