// A process that a test started, ended with the guard: whatever path leaves the test (its last
// line, an ASSERT that returned early, an exception), the process is terminated if it still runs,
// waited for and its handles closed, so that the next check of the same test process starts clean.
// The guard owns the handles it is given; Get() lends the process handle and the guard keeps it.
#pragma once
#include <windows.h>

namespace testsupport {

class ChildProcess {
public:
    ChildProcess() = default;
    explicit ChildProcess(HANDLE process) : m_process(process) {}
    // Takes both handles of a started process.
    explicit ChildProcess(const PROCESS_INFORMATION& pi) : m_process(pi.hProcess), m_thread(pi.hThread) {}
    ~ChildProcess() { End(); }

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    HANDLE Get() const { return m_process; }
    explicit operator bool() const { return m_process != nullptr; }

    // Ends the process held so far (if any) and takes this one.
    void Reset(HANDLE process)
    {
        End();
        m_process = process;
    }
    void Reset(const PROCESS_INFORMATION& pi)
    {
        End();
        m_process = pi.hProcess;
        m_thread = pi.hThread;
    }

    // Terminates the process if it still runs and waits for it to be gone.
    void End()
    {
        if (m_process) {
            if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
                TerminateProcess(m_process, 1);
                WaitForSingleObject(m_process, 10000);
            }
            CloseHandle(m_process);
            m_process = nullptr;
        }
        if (m_thread) {
            CloseHandle(m_thread);
            m_thread = nullptr;
        }
    }

private:
    HANDLE m_process = nullptr;
    HANDLE m_thread = nullptr;
};

}  // namespace testsupport
