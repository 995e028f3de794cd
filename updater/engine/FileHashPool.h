// A few worker threads that compute file MD5s (GetFileMd5) for the installation scan, so that
// reading and hashing use more than one core. The caller hands files over one at a time and
// decides before each one whether to go on; a file handed over is always hashed to the end.
// The pool does not own the paths or result strings it is given: they must outlive the pool's
// Drain (or destruction), which waits for every file handed over. Plain system threads and
// locks, like the rest of the engine.
#pragma once
#include <windows.h>
#include <deque>
#include <string>
#include <vector>

class CFileHashPool {
public:
    // The number of workers a scan uses: the machine's cores, at most four (more only adds
    // seeks on a hard disk), at least one.
    static unsigned DefaultWorkerCount();

    explicit CFileHashPool(unsigned workers);
    ~CFileHashPool();
    CFileHashPool(const CFileHashPool&) = delete;
    CFileHashPool& operator=(const CFileHashPool&) = delete;

    // Blocks until a worker is idle, so that at most one file per worker is under way.
    void WaitForIdleWorker();
    // Hashes `path` into `md5` (left empty when the file cannot be read) on the next idle worker.
    void Submit(const std::wstring& path, std::string& md5);
    // Blocks until every file handed over has been hashed.
    void Drain();

private:
    struct Job {
        const std::wstring* path;
        std::string* md5;
    };
    static unsigned __stdcall ThreadMain(void* self);
    void Run();

    CRITICAL_SECTION m_lock;
    CONDITION_VARIABLE m_jobReady;   // workers wait for a job or the end
    CONDITION_VARIABLE m_jobDone;    // the caller waits for an idle worker or the drain
    std::deque<Job> m_jobs;
    unsigned m_busy = 0;             // jobs queued or being hashed
    unsigned m_workerCount = 0;      // workers that started
    bool m_stopping = false;
    std::vector<HANDLE> m_workers;
};
