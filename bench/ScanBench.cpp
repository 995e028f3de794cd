// Times one installation scan (step 1 of an update) of the folder given on the command line.
// Prints "ok <seconds> <files in the list> <files hashed>".
#include <windows.h>
#include <stdio.h>

#include <string>

#include "SysHelpers.h"
#include "UpdateFileList.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: scan_bench <installation folder>\n");
        return 2;
    }
    std::wstring dir = argv[1];
    LARGE_INTEGER freq, start, end;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    CUpdateFileList list;
    size_t hashed = 0;
    // Count the files that were read: every call of the cancel check precedes one hash.
    ScanLocalFiles(list, dir, [&hashed] { ++hashed; return false; });
    QueryPerformanceCounter(&end);
    printf("ok %.4f %u %u\n", double(end.QuadPart - start.QuadPart) / double(freq.QuadPart),
           unsigned(list.GetScannedMap().size()), unsigned(hashed ? hashed - 1 : 0));
    return 0;
}
