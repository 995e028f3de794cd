// Shared pieces of the ActiveX and web-browser tests: the test control module (built beside
// ui_tests.exe and loaded by file name), its counters, and window and handle counts.
#pragma once
#include <windows.h>
#include <ole2.h>

#include <string>

namespace axtest {

// Mirrors the test control's counter record.
struct AxCounters {
    LONG liveObjects;
    LONG runLocks;
    LONG closedWhileLocked;
    LONG mouseMessages;
    LONG keyMessages;
    LONG otherMessages;
    UINT lastMessage;
    LONG windowContexts;
    HACCEL firstAccel;
    HACCEL lastAccel;
    LONG initNews;
    LONG activations;
    LONG uiActivations;
};

const wchar_t kWindowlessClsid[] = L"{6B1C3F10-7A2E-4D8B-9C11-0A5E3D7F2B01}";
const wchar_t kWindowedClsid[] = L"{6B1C3F10-7A2E-4D8B-9C11-0A5E3D7F2B02}";
const DWORD kWindowlessRgb = 0x3090D0;  // 0x00RRGGBB
const DWORD kWindowedRgb = 0xD06020;

inline std::wstring ModulePath()
{
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring s = path;
    return s.substr(0, s.find_last_of(L"\\/") + 1) + L"ax_test_control.dll";
}

inline HMODULE Module()
{
    static HMODULE h = ::LoadLibraryW(ModulePath().c_str());
    return h;
}

inline AxCounters Counters()
{
    typedef void(WINAPI * Fn)(AxCounters*);
    AxCounters c = {};
    Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(Module(), "AxTestCounters")));
    if (fn) fn(&c);
    return c;
}

inline void ResetMessages()
{
    typedef void(WINAPI * Fn)();
    Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(Module(), "AxTestResetMessages")));
    if (fn) fn();
}

struct DescendantCount {
    const wchar_t* cls;
    int n;
};

inline BOOL CALLBACK CountDescendant(HWND h, LPARAM l)
{
    DescendantCount* p = reinterpret_cast<DescendantCount*>(l);
    wchar_t name[64] = {0};
    ::GetClassNameW(h, name, 64);
    if (lstrcmpW(name, p->cls) == 0) ++p->n;
    return TRUE;
}

inline int CountDescendants(HWND hParent, const wchar_t* cls)
{
    DescendantCount d = {cls, 0};
    ::EnumChildWindows(hParent, CountDescendant, reinterpret_cast<LPARAM>(&d));
    return d.n;
}

inline std::wstring ClassOf(HWND h)
{
    wchar_t name[64] = {0};
    if (h) ::GetClassNameW(h, name, 64);
    return name;
}

} // namespace axtest
