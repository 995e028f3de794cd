// A stand-in for the program that owns the window titled "QCODE_DIALOG_AGENT", in the calling
// process: a hidden top-level window on a thread of its own that pumps messages (the console's
// send waits for the answer) and keeps every WM_COPYDATA it receives. Used by the program tests
// and the console demo.
#pragma once
#include <windows.h>
#include <mutex>
#include <string>
#include <vector>

namespace pellmoratest {

// Hang() stops the pumping, as a hung program would.
class AgentWindow {
public:
    struct Received {
        ULONG_PTR type;
        DWORD size;
        std::string bytes;
        HWND sender;
    };

    AgentWindow()
    {
        m_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_hung = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_thread = CreateThread(nullptr, 0, &AgentWindow::Run, this, 0, nullptr);
        WaitForSingleObject(m_ready, 10000);
    }
    ~AgentWindow()
    {
        SetEvent(m_release);
        if (m_hwnd)
            PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
        WaitForSingleObject(m_thread, 20000);
        for (HANDLE h : {m_thread, m_ready, m_release, m_hung})
            CloseHandle(h);
    }
    AgentWindow(const AgentWindow&) = delete;
    AgentWindow& operator=(const AgentWindow&) = delete;

    HWND Handle() const { return m_hwnd; }
    // The thread stops taking messages until the object goes.
    bool Hang()
    {
        PostMessageW(m_hwnd, WM_APP, 0, 0);
        return WaitForSingleObject(m_hung, 10000) == WAIT_OBJECT_0;
    }
    std::vector<Received> Records()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_records;
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_records.size();
    }

private:
    static DWORD WINAPI Run(void* param)
    {
        AgentWindow* self = static_cast<AgentWindow*>(param);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &AgentWindow::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PellmoraTestAgent";
        RegisterClassW(&wc);
        self->m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"QCODE_DIALOG_AGENT", WS_OVERLAPPED, 0, 0, 200, 100,
                                       nullptr, nullptr, wc.hInstance, self);
        SetEvent(self->m_ready);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return 0;
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_NCCREATE)
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        AgentWindow* self = reinterpret_cast<AgentWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr && msg == WM_COPYDATA) {
            const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            Received r = {data->dwData, data->cbData,
                          std::string(static_cast<const char*>(data->lpData), data->cbData),
                          reinterpret_cast<HWND>(wParam)};
            std::lock_guard<std::mutex> guard(self->m_lock);
            self->m_records.push_back(r);
            return TRUE;
        }
        if (self != nullptr && msg == WM_APP) {
            SetEvent(self->m_hung);
            WaitForSingleObject(self->m_release, 180000);
            return 0;
        }
        if (msg == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    HANDLE m_thread = nullptr;
    HANDLE m_ready = nullptr;
    HANDLE m_release = nullptr;
    HANDLE m_hung = nullptr;
    HWND m_hwnd = nullptr;
    std::mutex m_lock;
    std::vector<Received> m_records;
};

}  // namespace pellmoratest
