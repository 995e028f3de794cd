#include "WorkThread.h"
#include <process.h>

CWorkThreadBaseHandler::~CWorkThreadBaseHandler()
{
    // A handler must not leave a thread running on a destroyed object.
    StopThread(3000);
}

void CWorkThreadBaseHandler::StartThread()
{
    if (m_worker)
        return;
    m_worker = new CWorkThread3;
    m_worker->SetHandler(this);
    m_worker->Start();
}

void CWorkThreadBaseHandler::StopThread(uint32_t timeout)
{
    if (!m_worker)
        return;
    m_worker->Stop(timeout);
    delete m_worker;
    m_worker = nullptr;
}

CWorkThread3::~CWorkThread3()
{
    Stop(3000);
}

bool CWorkThread3::Start()
{
    unsigned id = 0;
    // Created suspended so handle and id are stored before the thread can look at them.
    uintptr_t h = _beginthreadex(nullptr, 0, &CWorkThread3::ThreadProc, m_handler, CREATE_SUSPENDED, &id);
    if (h == 0)
        return false;
    m_thread = reinterpret_cast<HANDLE>(h);
    m_threadId = id;
    ResumeThread(m_thread);
    return true;
}

bool CWorkThread3::Stop(uint32_t timeout)
{
    if (!m_thread)
        return false;
    if (WaitForSingleObject(m_thread, timeout) != WAIT_OBJECT_0)
        TerminateThread(m_thread, 0);
    CloseHandle(m_thread);
    m_thread = nullptr;
    m_threadId = 0;
    return true;
}

unsigned __stdcall CWorkThread3::ThreadProc(void* param)
{
    CWorkThreadBaseHandler* handler = static_cast<CWorkThreadBaseHandler*>(param);
    if (!handler)
        return 0xFFFFFFFFu;
    handler->OnThreadBegin();
    int32_t result = handler->OnThreadRun();
    handler->OnThreadEnd();
    return static_cast<unsigned>(result);
}
