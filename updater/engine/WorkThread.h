// Runs a handler's work on a thread of its own.
#pragma once
#include <windows.h>
#include <stdint.h>

class CWorkThread3;

// A piece of work; the hooks run on the worker thread, in this order, once each.
class CWorkThreadBaseHandler {
public:
    CWorkThreadBaseHandler() = default;
    virtual ~CWorkThreadBaseHandler();
    virtual int32_t OnThreadBegin() { return 1; }
    virtual int32_t OnThreadRun() { return 1; }
    virtual int32_t OnThreadEnd() { return 1; }

    // Starts one worker; does nothing while a worker exists.
    void StartThread();
    // Stops the worker (waiting up to timeout ms, then by force) and forgets it.
    void StopThread(uint32_t timeout);

    CWorkThread3* GetWorker() const { return m_worker; }

    CWorkThreadBaseHandler(const CWorkThreadBaseHandler&) = delete;
    CWorkThreadBaseHandler& operator=(const CWorkThreadBaseHandler&) = delete;

private:
    CWorkThread3* m_worker = nullptr;
};

// Owns the operating-system thread that runs a handler.
class CWorkThread3 {
public:
    CWorkThread3() = default;
    virtual ~CWorkThread3();

    void SetHandler(CWorkThreadBaseHandler* handler) { m_handler = handler; }
    bool Start();
    bool Stop(uint32_t timeout);

    HANDLE GetHandle() const { return m_thread; }
    uint32_t GetThreadId() const { return m_threadId; }

    CWorkThread3(const CWorkThread3&) = delete;
    CWorkThread3& operator=(const CWorkThread3&) = delete;

private:
    static unsigned __stdcall ThreadProc(void* param);

    HANDLE m_thread = nullptr;
    uint32_t m_threadId = 0;
    CWorkThreadBaseHandler* m_handler = nullptr;
};
