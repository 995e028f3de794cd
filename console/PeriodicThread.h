// The console's periodic worker: a thread that sleeps alertably while a waitable timer queues
// the handler's OnThreadRun to it at every expiry. The handler owns its thread object; the thread
// never touches a window. Stopping never ends the thread by force: Stop sets the handler's stop
// flag, wakes the thread's sleep with a queued APC and waits until the thread has left; a routine
// under way sees the flag at its next step, and its own time-outs bound the wait.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <atomic>

namespace Pellmora {

class CWorkThread3;

class CWorkThreadBaseHandler {
public:
    CWorkThreadBaseHandler() = default;
    virtual ~CWorkThreadBaseHandler();
    virtual int32_t OnThreadBegin() { return 1; }
    virtual int32_t OnThreadRun() { return 1; }
    virtual int32_t OnThreadEnd() { return 1; }

    // Clears the stop flag; starts one thread whose first tick comes after dueMs and then every
    // periodMs. Does nothing more while a thread object exists.
    void StartThread(int32_t dueMs, int32_t periodMs);
    // Stops the thread (see above) and deletes the thread object.
    void StopThread(uint32_t timeoutMs);

    bool IsStopping() const { return m_stop.load(); }
    const std::atomic<bool>* GetStopFlag() const { return &m_stop; }
    CWorkThread3* GetWorker() const { return m_worker; }

    CWorkThreadBaseHandler(const CWorkThreadBaseHandler&) = delete;
    CWorkThreadBaseHandler& operator=(const CWorkThreadBaseHandler&) = delete;

private:
    friend class CWorkThread3;
    CWorkThread3* m_worker = nullptr;
    std::atomic<bool> m_stop{false};
};

class CWorkThread3 {
public:
    CWorkThread3() = default;
    // Runs Stop(3000).
    virtual ~CWorkThread3();

    void SetHandler(CWorkThreadBaseHandler* handler) { m_handler = handler; }
    bool Start(int32_t dueMs, int32_t periodMs);
    // False without a thread. Sets the stop flag, wakes the thread and waits for it to end; after
    // timeoutMs a debugger line says that it is late, and the wait goes on. Then the timer and
    // thread handles are closed.
    bool Stop(uint32_t timeoutMs);

    HANDLE GetHandle() const { return m_thread; }

    CWorkThread3(const CWorkThread3&) = delete;
    CWorkThread3& operator=(const CWorkThread3&) = delete;

private:
    static unsigned __stdcall ThreadProc(void* param);
    static void CALLBACK TimerApcProc(void* handler, DWORD low, DWORD high);
    static void CALLBACK WakeApcProc(ULONG_PTR);

    HANDLE m_thread = nullptr;
    uint32_t m_threadId = 0;
    CWorkThreadBaseHandler* m_handler = nullptr;
    HANDLE m_timer = nullptr;
    int32_t m_dueMs = 0;
    int32_t m_periodMs = 0;
};

}  // namespace Pellmora
