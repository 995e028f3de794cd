// Test support for the engine's system helpers and version file: a scratch directory, whole-file
// reads and writes, and a second process that holds a named mutex.
#pragma once
#include <windows.h>
#include <string.h>
#include <string>

namespace enginebase {

// A fresh directory under the temp folder, removed with its content at the end.
class ScratchDir {
public:
    ScratchDir()
    {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        static LONG counter = 0;
        wchar_t name[64];
        wsprintfW(name, L"tvt_%lu_%ld_%lu", GetCurrentProcessId(), InterlockedIncrement(&counter), GetTickCount());
        m_path = std::wstring(tmp) + name + L"\\";
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~ScratchDir() { RemoveTree(m_path); }
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& rel) const { return m_path + rel; }

    static void RemoveTree(const std::wstring& dir)
    {
        std::wstring base = dir;
        if (!base.empty() && base.back() != L'\\')
            base += L'\\';
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((base + L"*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::wstring n = fd.cFileName;
                if (n == L"." || n == L"..")
                    continue;
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(base + n);
                } else {
                    SetFileAttributesW((base + n).c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW((base + n).c_str());
                }
            } while (FindNextFileW(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryW(base.c_str());
    }

    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

private:
    std::wstring m_path;
};

inline bool WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    BOOL ok = bytes.empty() || WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(f);
    return ok && done == bytes.size();
}

inline bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof(buf), &got, nullptr) && got)
        bytes.append(buf, got);
    CloseHandle(f);
    return true;
}

// Whether files with Chinese names can be created here: Wine needs a host locale that can spell
// them, which some test machines lack.
inline bool NonAsciiNamesWork(const std::wstring& dir)
{
    std::wstring probe = dir + L"\u4e2d.probe";
    HANDLE f = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(f);
    DeleteFileW(probe.c_str());
    return true;
}

#define SKIP_WITHOUT_NON_ASCII_NAMES(dir)                                                   \
    if (!enginebase::NonAsciiNamesWork(dir))                                                \
    GTEST_SKIP() << "this Wine cannot create files with Chinese names (host locale missing)"

// Starts mutex_holder.exe (built beside the test executable), which takes the named mutex and
// keeps it for `holdMs`; the constructor returns once the other process holds the mutex.
class MutexHolderProcess {
public:
    MutexHolderProcess(const char* mutexName, unsigned holdMs)
    {
        char eventName[96];
        wsprintfA(eventName, "tvt_holder_ready_%lu_%lu", GetCurrentProcessId(), GetTickCount());
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, eventName);
        char exe[MAX_PATH];
        GetModuleFileNameA(nullptr, exe, MAX_PATH);
        char* slash = strrchr(exe, '\\');
        if (slash)
            slash[1] = '\0';
        std::string cmd = std::string("\"") + exe + "mutex_holder.exe\" \"" + mutexName + "\" " +
                          std::to_string(holdMs) + " " + eventName;
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            m_process = pi.hProcess;
            HANDLE both[2] = {ready, m_process};
            m_ready = WaitForMultipleObjects(2, both, FALSE, 20000) == WAIT_OBJECT_0;
        }
        CloseHandle(ready);
    }
    ~MutexHolderProcess()
    {
        if (m_process) {
            if (WaitForSingleObject(m_process, 30000) != WAIT_OBJECT_0) {
                TerminateProcess(m_process, 1);
                WaitForSingleObject(m_process, 10000);
            }
            CloseHandle(m_process);
        }
    }
    // True once the other process holds the mutex.
    bool Ready() const { return m_ready; }
    // Waits for the holder to end; its exit code (0 when it held and released the mutex).
    DWORD Join()
    {
        DWORD code = 0xFFFFFFFF;
        if (m_process && WaitForSingleObject(m_process, 30000) == WAIT_OBJECT_0)
            GetExitCodeProcess(m_process, &code);
        return code;
    }

    MutexHolderProcess(const MutexHolderProcess&) = delete;
    MutexHolderProcess& operator=(const MutexHolderProcess&) = delete;

private:
    HANDLE m_process = nullptr;
    bool m_ready = false;
};

}  // namespace enginebase
