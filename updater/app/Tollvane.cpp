// The updater's program entry: COM, single instance, command line, Winsock, libcurl, the UI
// framework's instance handle, the main window and the message loop.
#include <windows.h>
#include <objbase.h>
#include <stdlib.h>
#include <string>
#include "HttpClient.h"
#include "IniFile.h"
#include "MainFrameWnd.h"
#include "SysHelpers.h"
#include "UpdaterArgs.h"

namespace {
const char kInstanceMutex[] = "{CDF1429A-44AB-4175-8841-F4D1CF4B9C22}";

#ifdef TOLLVANE_TEST_HOOKS
// Test hook of the window (see CMainFrameWnd::SetStatusTracePath), built into the tests' copy of
// the program only: the shipped program writes nowhere an environment variable points.
std::wstring StatusTracePath()
{
    const wchar_t* value = _wgetenv(L"TOLLVANE_TEST_STATUS_FILE");
    return value ? std::wstring(value) : std::wstring();
}

// Test hook: a shorter wait before the window quits by itself after the last step.
uint32_t AutoQuitMs()
{
    const wchar_t* value = _wgetenv(L"TOLLVANE_TEST_AUTOQUIT_MS");
    return value ? static_cast<uint32_t>(wcstoul(value, nullptr, 10)) : static_cast<uint32_t>(CMainFrameWnd::kAutoQuitMs);
}
#endif
}  // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int)
{
    // Before any other thread exists: the worker's ini files must not set it under the window.
    SetProcessLocaleOnce();
    if (FAILED(::CoInitialize(nullptr)))
        return 0;
    CNamedMutex instanceMutex(kInstanceMutex);
    if (instanceMutex.AlreadyExists()) {
        instanceMutex.Close();
        ::CoUninitialize();
        return 0;
    }

    ReadUpdaterArguments(lpCmdLine, g_netbarId, g_forceUpdate);
    if (g_netbarId == 0) {
        ::CoUninitialize();
        return 0;
    }

    InitWinsock();
    CHttpClient::GlobalInit();
    Veneer::CPaintManagerUI::SetInstance(hInstance);
    {
        CMainFrameWnd frame;
#ifdef TOLLVANE_TEST_HOOKS
        frame.SetStatusTracePath(StatusTracePath());
        frame.SetAutoQuitMs(AutoQuitMs());
#endif
        // Without a window nothing could ever end the loop: skip it.
        if (frame.Create(nullptr, L"升级程序", WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, 0)) {
            frame.CenterWindow();
            frame.ShowWindow(true, true);
            ::SetFocus(frame.GetHWND());
            Veneer::CPaintManagerUI::MessageLoop();
        }
        // The window is gone with its object; destroying it also stops a worker that a foreign
        // quit message left running.
        if (::IsWindow(frame.GetHWND()))
            ::DestroyWindow(frame.GetHWND());
    }
    CleanupWinsock();
    ::CoUninitialize();
    return 0;
}
