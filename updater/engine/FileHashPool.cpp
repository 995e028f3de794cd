#include "FileHashPool.h"

#include <process.h>

#include "SysHelpers.h"

namespace {
const unsigned kWorkerStack = 256 * 1024;
// Each worker reads through one buffer of this size, kept for all its files.
const uint32_t kReadBuffer = 1024 * 1024;
}  // namespace

unsigned CFileHashPool::DefaultWorkerCount()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    unsigned cores = info.dwNumberOfProcessors ? info.dwNumberOfProcessors : 1;
    return cores < 4 ? cores : 4;
}

CFileHashPool::CFileHashPool(unsigned workers)
{
    InitializeCriticalSection(&m_lock);
    InitializeConditionVariable(&m_jobReady);
    InitializeConditionVariable(&m_jobDone);
    if (workers == 0)
        workers = 1;
    for (unsigned i = 0; i < workers; ++i) {
        // The stack committed from the start: without its own buffer a worker reads into 64 KB on it.
        uintptr_t thread = _beginthreadex(nullptr, kWorkerStack, &CFileHashPool::ThreadMain, this, 0, nullptr);
        if (thread)
            m_workers.push_back(reinterpret_cast<HANDLE>(thread));
    }
    // Without any worker the caller hashes nothing until Drain; at least count one so that
    // WaitForIdleWorker does not wait for ever, and run the jobs in Drain instead.
    m_workerCount = m_workers.empty() ? 1 : unsigned(m_workers.size());
}

CFileHashPool::~CFileHashPool()
{
    Drain();
    EnterCriticalSection(&m_lock);
    m_stopping = true;
    LeaveCriticalSection(&m_lock);
    WakeAllConditionVariable(&m_jobReady);
    for (HANDLE thread : m_workers) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    DeleteCriticalSection(&m_lock);
}

unsigned __stdcall CFileHashPool::ThreadMain(void* self)
{
    static_cast<CFileHashPool*>(self)->Run();
    return 0;
}

void CFileHashPool::WaitForIdleWorker()
{
    EnterCriticalSection(&m_lock);
    while (m_busy >= m_workerCount)
        SleepConditionVariableCS(&m_jobDone, &m_lock, INFINITE);
    LeaveCriticalSection(&m_lock);
}

void CFileHashPool::Submit(const std::wstring& path, std::string& md5)
{
    EnterCriticalSection(&m_lock);
    m_jobs.push_back(Job{&path, &md5});
    ++m_busy;
    LeaveCriticalSection(&m_lock);
    WakeConditionVariable(&m_jobReady);
    if (m_workers.empty())
        Drain();
}

void CFileHashPool::Drain()
{
    if (m_workers.empty()) {
        // No thread could be made: hash here, in order.
        while (!m_jobs.empty()) {
            Job job = m_jobs.front();
            m_jobs.pop_front();
            if (GetFileMd5(job.path->c_str(), *job.md5) != 0)
                job.md5->clear();
            --m_busy;
        }
        return;
    }
    EnterCriticalSection(&m_lock);
    while (m_busy != 0)
        SleepConditionVariableCS(&m_jobDone, &m_lock, INFINITE);
    LeaveCriticalSection(&m_lock);
}

void CFileHashPool::Run()
{
    std::vector<BYTE> buffer;
    try {
        buffer.resize(kReadBuffer);
    } catch (...) {
        // Without it the worker reads through the smaller stack buffer of GetFileMd5.
    }
    for (;;) {
        EnterCriticalSection(&m_lock);
        while (!m_stopping && m_jobs.empty())
            SleepConditionVariableCS(&m_jobReady, &m_lock, INFINITE);
        if (m_jobs.empty()) {
            LeaveCriticalSection(&m_lock);
            return;
        }
        Job job = m_jobs.front();
        m_jobs.pop_front();
        LeaveCriticalSection(&m_lock);

        std::string md5;
        uint32_t error = buffer.empty() ? GetFileMd5(job.path->c_str(), md5)
                                        : GetFileMd5(job.path->c_str(), md5, buffer.data(), uint32_t(buffer.size()));
        if (error != 0)
            md5.clear();

        EnterCriticalSection(&m_lock);
        job.md5->swap(md5);
        --m_busy;
        LeaveCriticalSection(&m_lock);
        WakeAllConditionVariable(&m_jobDone);
    }
}
