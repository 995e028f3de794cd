// One download through CDownloader, timed inside the process (Wine's start-up left out).
//   download_bench.exe URL TARGET
// prints "ok <seconds>". With --socket, the same file is fetched through the same proxy (the
// http_proxy variable) by plain Winsock calls into a 512 KB buffer and thrown away: what the
// platform's sockets give a program under Wine, with no HTTP library and no file.
//   download_bench.exe --socket URL      prints "socket <seconds> <bytes>"
#include <winsock2.h>
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>
#include "Downloader.h"
#include "HttpClient.h"

namespace {

double Seconds()
{
    LARGE_INTEGER freq, t;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(freq.QuadPart);
}

int RawSocket(const char* url)
{
    const char* proxy = getenv("http_proxy");
    if (!proxy || strncmp(proxy, "http://", 7) != 0) {
        fprintf(stderr, "no http_proxy\n");
        return 1;
    }
    std::string hostPort = proxy + 7;
    if (!hostPort.empty() && hostPort.back() == '/')
        hostPort.pop_back();
    size_t colon = hostPort.rfind(':');
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons((u_short)atoi(hostPort.c_str() + colon + 1));
    addr.sin_addr.s_addr = inet_addr(hostPort.substr(0, colon).c_str());
    double t0 = Seconds();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (connect(s, (sockaddr*)&addr, sizeof(addr)) != 0) {
        fprintf(stderr, "no connection\n");
        return 1;
    }
    std::string request = std::string("GET ") + url + " HTTP/1.0\r\nConnection: close\r\n\r\n";
    send(s, request.data(), (int)request.size(), 0);
    std::vector<char> buffer(512 * 1024);
    long long total = 0;
    for (;;) {
        int got = recv(s, buffer.data(), (int)buffer.size(), 0);
        if (got <= 0)
            break;
        total += got;
    }
    closesocket(s);
    double t1 = Seconds();
    printf("socket %.6f %lld\n", t1 - t0, total);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "--socket") == 0)
        return RawSocket(argv[2]);
    if (argc < 3) {
        fprintf(stderr, "usage: download_bench URL TARGET | --socket URL\n");
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
