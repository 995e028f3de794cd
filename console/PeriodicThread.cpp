#include "PeriodicThread.h"
#include <process.h>
#include <stdlib.h>
#include "ConsoleEvents.h"
#include "ConsoleGlobals.h"

namespace Pellmora {

CWorkThreadBaseHandler::~CWorkThreadBaseHandler()
{
    // A derived handler stops its thread in its own destructor; this is the last guard.
    StopThread(3000);
}

void CWorkThreadBaseHandler::StartThread(int32_t dueMs, int32_t periodMs)
{
    m_stop = false;
    if (m_worker)
        return;
    m_worker = new CWorkThread3;
    m_worker->SetHandler(this);
    m_worker->Start(dueMs, periodMs);
}

void CWorkThreadBaseHandler::StopThread(uint32_t timeoutMs)
{
    if (!m_worker)
        return;
    m_worker->Stop(timeoutMs);
    delete m_worker;
    m_worker = nullptr;
}

CWorkThread3::~CWorkThread3() { Stop(3000); }

bool CWorkThread3::Start(int32_t dueMs, int32_t periodMs)
{
    m_dueMs = dueMs;
    m_periodMs = periodMs;
    unsigned id = 0;
    // Suspended, so that handle and id are stored before the thread runs.
    uintptr_t h = _beginthreadex(nullptr, 0, &CWorkThread3::ThreadProc, this, CREATE_SUSPENDED, &id);
    if (h == 0)
        return false;
    m_thread = reinterpret_cast<HANDLE>(h);
    m_threadId = id;
    ResumeThread(m_thread);
    return true;
}

void CALLBACK CWorkThread3::WakeApcProc(ULONG_PTR) {}

bool CWorkThread3::Stop(uint32_t timeoutMs)
{
    if (!m_thread)
        return false;
    if (m_handler)
        m_handler->m_stop = true;
    // Wakes the alertable sleep; a routine under way sees the flag at its next step.
    QueueUserAPC(&CWorkThread3::WakeApcProc, m_thread, 0);
    if (WaitForSingleObject(m_thread, timeoutMs) != WAIT_OBJECT_0) {
        OutputDebugStringW(L"Pellmora: the update thread is still finishing its step");
        consoleevents::Raise(L"update", L"stop", L"waiting");
        WaitForSingleObject(m_thread, INFINITE);
    }
    if (m_timer) {
        CloseHandle(m_timer);
        m_timer = nullptr;
    }
    CloseHandle(m_thread);
    m_thread = nullptr;
    m_threadId = 0;
    consoleevents::Raise(L"update", L"stop", L"ended");
    return true;
}

void CALLBACK CWorkThread3::TimerApcProc(void* param, DWORD, DWORD)
{
    CWorkThreadBaseHandler* handler = static_cast<CWorkThreadBaseHandler*>(param);
    // A routine that is still under way (its own waits are alertable) is not entered again.
    if (InterlockedExchange(&g_timerBusy, 1) == 1)
        return;
    if (!handler->IsStopping())
        handler->OnThreadRun();
    InterlockedExchange(&g_timerBusy, 0);
}

unsigned __stdcall CWorkThread3::ThreadProc(void* param)
{
    CWorkThread3* self = static_cast<CWorkThread3*>(param);
    if (!self || !self->m_handler)
        return 0xFFFFFFFFu;
    HANDLE timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    if (!timer)
        return 0xFFFFFFFFu;
    self->m_timer = timer;
    CWorkThreadBaseHandler* handler = self->m_handler;
    handler->OnThreadBegin();
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(self->m_dueMs) * 10000;
    if (!SetWaitableTimer(timer, &due, abs(self->m_periodMs), &CWorkThread3::TimerApcProc, handler, FALSE)) {
        self->m_timer = nullptr;
        CloseHandle(timer);
        return 0xFFFFFFFFu;
    }
    while (!handler->IsStopping())
        SleepEx(INFINITE, TRUE);
    // No expiry may queue the routine once the thread has gone.
    CancelWaitableTimer(timer);
    consoleevents::Raise(L"update", L"thread", L"left");
    return 0;
}

}  // namespace Pellmora
