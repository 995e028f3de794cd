// Times one installation scan (step 1 of an update) of the folder given on the command line.
// Prints "ok <seconds> <files in the list> <files hashed> <hashing workers> <seconds to list the
// folders alone, best of three>".
//   scan_bench --phases <folder>  prints "phases <load> <walk> <hash> <save>": seconds of each step
//                           of one scan, the steps ScanLocalFiles takes, timed one by one.
//   scan_bench --provider   prints "provider <MB/s one thread> <MB/s all workers> <workers>": the
//                           system provider's MD5 over data in memory, on one thread and on as
//                           many threads as the scan hashes with, the most hashing can reach.
#include <windows.h>
#include <wincrypt.h>
#include <stdio.h>

#include <string>
#include <thread>
#include <wchar.h>
#include <vector>

#include "FileHashPool.h"
#include "IniFile.h"
#include "SysHelpers.h"
#include "UpdateFileList.h"

namespace {

double Seconds()
{
    static LARGE_INTEGER freq = {};
    if (freq.QuadPart == 0)
        QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(freq.QuadPart);
}

// MB/s of the system provider's MD5 over `total` bytes in memory on each of `threads` threads at
// once (all threads together).
double ProviderThroughput(unsigned threads, size_t total)
{
    const size_t block = 64 * 1024;
    std::vector<BYTE> data(block);
    for (size_t i = 0; i < block; ++i)
        data[i] = BYTE(i * 131 + 7);
    HCRYPTPROV prov = 0;
    if (!CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return 0;
    std::vector<std::thread> workers;
    double t0 = Seconds();
    for (unsigned k = 0; k < threads; ++k)
        workers.emplace_back([&] {
            HCRYPTHASH hash = 0;
            if (!CryptCreateHash(prov, CALG_MD5, 0, 0, &hash))
                return;
            for (size_t done = 0; done < total; done += block)
                CryptHashData(hash, data.data(), DWORD(block), 0);
            BYTE digest[16];
            DWORD len = sizeof(digest);
            CryptGetHashParam(hash, HP_HASHVAL, digest, &len, 0);
            CryptDestroyHash(hash);
        });
    for (std::thread& w : workers)
        w.join();
    double t1 = Seconds();
    CryptReleaseContext(prov, 0);
    return double(total) * threads / 1048576.0 / (t1 - t0);
}

// Lists the folder the way the scan walks it, with nothing else done per entry: one directory
// after the other (listing folders on several threads at once is slower under Wine, whose
// directory reads take a process-wide lock), no short names, large batches. A search by handle
// (GetFileInformationByHandleEx with FileFullDirectoryInfo) lists this tree no faster here.
size_t ListTree(const std::wstring& dir)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileExW((dir + L"\\*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    size_t files = 0;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (wcscmp(fd.cFileName, L".") != 0 && wcscmp(fd.cFileName, L"..") != 0)
                files += ListTree(dir + L"\\" + fd.cFileName);
        } else {
            ++files;
        }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return files;
}

// The steps of ScanLocalFiles, timed one by one.
int Phases(std::wstring dir)
{
    AddTrailingBackslash(dir);
    const std::string ini = WideToAnsi(dir + L"filelist.ini");
    SetProcessLocaleOnce();  // as the program's entry does, before any scan
    CUpdateFileList list;
    double t0 = Seconds();
    list.LoadFileList(ini);
    for (const wchar_t* d : {L"download", L"upgradebak", L"MySql\\data", L"DbBack", L"Wendrake",
                            L"web\\htdocs\\pos\\data\\upload\\analysipic", L"Audio\\audioconvert"})
        list.AddExcludedDir(d);
    for (const wchar_t* f : {L"filelist.ini", L"netfilelist.ini", L"Data\\core.dat", L"update\\Talvoric\\Talvoric.zip",
                             L"update\\Console\\Console.zip", L"update\\Audio\\Audio.zip", L"update\\Plimsel\\Plimsel.zip"})
        list.AddExcludedFile(f);
    double t1 = Seconds();
    list.ScanDir(dir, 0);
    double t2 = Seconds();
    list.HashQueuedFiles(nullptr);
    double t3 = Seconds();
    list.SaveFileList(ini);
    double t4 = Seconds();
    printf("phases %.4f %.4f %.4f %.4f\n", t1 - t0, t2 - t1, t3 - t2, t4 - t3);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: scan_bench <installation folder> | --provider\n");
        return 2;
    }
    if (std::wstring(argv[1]) == L"--provider") {
        unsigned workers = CFileHashPool::DefaultWorkerCount();
        double one = ProviderThroughput(1, 128u << 20);
        double all = ProviderThroughput(workers, 64u << 20);
        printf("provider %.0f %.0f %u\n", one, all, workers);
        return 0;
    }
    if (std::wstring(argv[1]) == L"--phases" && argc > 2)
        return Phases(argv[2]);
    std::wstring dir = argv[1];
    // The program sets its locale on entry, long before the scan; the scan is timed without it.
    SetProcessLocaleOnce();
    double start = Seconds();
    CUpdateFileList list;
    size_t hashed = 0;
    // Count the files that were read: the cancel check is asked before each file is handed to a
    // hashing worker, and once more when the queue is empty.
    ScanLocalFiles(list, dir, [&hashed] { ++hashed; return false; });
    double end = Seconds();
    // The floor of any scan: listing the installation's folders alone, the best of three (one
    // listing is at the mercy of whatever else the machine does at that moment).
    double listing = 0;
    for (int i = 0; i < 3; ++i) {
        double listStart = Seconds();
        ListTree(list.GetRootDir().substr(0, list.GetRootDir().size() - 1));
        double took = Seconds() - listStart;
        if (i == 0 || took < listing)
            listing = took;
    }
    printf("ok %.4f %u %u %u %.4f\n", end - start, unsigned(list.GetScannedMap().size()), unsigned(hashed ? hashed - 1 : 0),
           CFileHashPool::DefaultWorkerCount(), listing);
    return 0;
}
