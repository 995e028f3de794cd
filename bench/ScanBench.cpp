// Times one installation scan (step 1 of an update) of the folder given on the command line.
// Prints "ok <seconds> <files in the list> <files hashed> <hashing workers>".
//   scan_bench --provider   prints "provider <MB/s>": the system provider's MD5 on one thread
//                           over 128 MB in memory, the most a single hashing thread can reach.
#include <windows.h>
#include <wincrypt.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "FileHashPool.h"
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

int ProviderThroughput()
{
    const size_t block = 256 * 1024, total = 128u << 20;
    std::vector<BYTE> data(block);
    for (size_t i = 0; i < block; ++i)
        data[i] = BYTE(i * 131 + 7);
    HCRYPTPROV prov = 0;
    HCRYPTHASH hash = 0;
    if (!CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) ||
        !CryptCreateHash(prov, CALG_MD5, 0, 0, &hash)) {
        fprintf(stderr, "no MD5 provider\n");
        return 1;
    }
    double t0 = Seconds();
    for (size_t done = 0; done < total; done += block)
        CryptHashData(hash, data.data(), DWORD(block), 0);
    BYTE digest[16];
    DWORD len = sizeof(digest);
    CryptGetHashParam(hash, HP_HASHVAL, digest, &len, 0);
    double t1 = Seconds();
    CryptDestroyHash(hash);
    CryptReleaseContext(prov, 0);
    printf("provider %.1f\n", total / 1048576.0 / (t1 - t0));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: scan_bench <installation folder> | --provider\n");
        return 2;
    }
    if (std::wstring(argv[1]) == L"--provider")
        return ProviderThroughput();
    std::wstring dir = argv[1];
    double start = Seconds();
    CUpdateFileList list;
    size_t hashed = 0;
    // Count the files that were read: the cancel check is asked before each file is handed to a
    // hashing worker, and once more when the queue is empty.
    ScanLocalFiles(list, dir, [&hashed] { ++hashed; return false; });
    double end = Seconds();
    printf("ok %.4f %u %u %u\n", end - start, unsigned(list.GetScannedMap().size()), unsigned(hashed ? hashed - 1 : 0),
           CFileHashPool::DefaultWorkerCount());
    return 0;
}
