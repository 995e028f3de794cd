// How long the UI thread keeps a posted message waiting: a thread of its own posts a message to a
// window of the UI thread every 20 ms and waits for it to be handled; the longest round trip
// seen is the longest time the UI thread was blocked. The UI thread must pump its messages.
// Made and destroyed on the UI thread; the probe thread ends with it.
#pragma once
#include <windows.h>

#include <atomic>
#include <thread>

namespace webtest {

class UiProbe {
public:
    UiProbe() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &UiProbe::Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"WebViewUiProbe";
        ::RegisterClassW(&wc);  // fails harmlessly once registered
        m_wnd = ::CreateWindowExW(0, L"WebViewUiProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        m_handled = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
        ::SetWindowLongPtrW(m_wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_thread = std::thread([this] { Run(); });
    }
    ~UiProbe() {
        m_stop = true;
        ::SetEvent(m_handled);
        // The probe thread may wait for the UI thread: pump until it has ended.
        while (!m_ended) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
            ::Sleep(1);
        }
        m_thread.join();
        ::DestroyWindow(m_wnd);
        ::CloseHandle(m_handled);
    }
    UiProbe(const UiProbe&) = delete;
    UiProbe& operator=(const UiProbe&) = delete;

    bool Ok() const { return m_wnd != nullptr && m_handled != nullptr; }
    // The longest round trip since the last Reset, in ms (one still waiting counts as far as it got).
    DWORD Longest() const {
        DWORD waiting = m_pendingSince ? ::GetTickCount() - m_pendingSince : 0;
        return waiting > m_longest ? waiting : m_longest.load();
    }
    void Reset() { m_longest = 0; }
    unsigned Trips() const { return m_trips; }

private:
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_APP + 17) {
            UiProbe* self = reinterpret_cast<UiProbe*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
            if (self) ::SetEvent(self->m_handled);
            return 0;
        }
        return ::DefWindowProcW(wnd, msg, wp, lp);
    }
    void Run() {
        while (!m_stop) {
            DWORD start = ::GetTickCount();
            m_pendingSince = start ? start : 1;
            ::PostMessageW(m_wnd, WM_APP + 17, 0, 0);
            ::WaitForSingleObject(m_handled, INFINITE);
            DWORD took = ::GetTickCount() - start;
            m_pendingSince = 0;
            if (!m_stop) {
                if (took > m_longest) m_longest = took;
                ++m_trips;
            }
            ::Sleep(20);
        }
        m_ended = true;
    }

    HWND m_wnd = nullptr;
    HANDLE m_handled = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop{false}, m_ended{false};
    std::atomic<DWORD> m_longest{0}, m_pendingSince{0};
    std::atomic<unsigned> m_trips{0};
};

}  // namespace webtest
