#include "FileHashPool.h"

#include "SysHelpers.h"

unsigned CFileHashPool::DefaultWorkerCount()
{
    unsigned cores = std::thread::hardware_concurrency();
    if (cores == 0)
        cores = 1;
    return cores < 4 ? cores : 4;
}

CFileHashPool::CFileHashPool(unsigned workers) : m_workerCount(workers ? workers : 1)
{
    m_workers.reserve(m_workerCount);
    for (unsigned i = 0; i < m_workerCount; ++i)
        m_workers.emplace_back(&CFileHashPool::Run, this);
}

CFileHashPool::~CFileHashPool()
{
    Drain();
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stopping = true;
    }
    m_jobReady.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void CFileHashPool::WaitForIdleWorker()
{
    std::unique_lock<std::mutex> hold(m_lock);
    m_jobDone.wait(hold, [this] { return m_busy < m_workerCount; });
}

void CFileHashPool::Submit(const std::wstring& path, std::string& md5)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_jobs.push_back(Job{&path, &md5});
        ++m_busy;
    }
    m_jobReady.notify_one();
}

void CFileHashPool::Drain()
{
    std::unique_lock<std::mutex> hold(m_lock);
    m_jobDone.wait(hold, [this] { return m_busy == 0; });
}

void CFileHashPool::Run()
{
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> hold(m_lock);
            m_jobReady.wait(hold, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            job = m_jobs.front();
            m_jobs.pop_front();
        }
        std::string md5;
        if (GetFileMd5(job.path->c_str(), md5) != 0)
            md5.clear();
        {
            std::lock_guard<std::mutex> hold(m_lock);
            job.md5->swap(md5);
            --m_busy;
        }
        m_jobDone.notify_all();
    }
}
