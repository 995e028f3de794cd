// The updater's program entry: COM, single instance, command line, Winsock, libcurl, the UI
// framework's instance handle, the main window and the message loop.
#include <windows.h>
#include <objbase.h>
#include <stdlib.h>
#include <string>
#include "HttpClient.h"
#include "MainFrameWnd.h"
#include "SysHelpers.h"
#include "UpdaterArgs.h"

namespace {
const char kInstanceMutex[] = "{CDF1429A-44AB-4175-8841-F4D1CF4B9C22}";

// Test hook of the window (see CMainFrameWnd::SetStatusTracePath); unset in the field.
std::wstring StatusTracePath()
{
    const wchar_t* value = _wgetenv(L"TOLLVANE_TEST_STATUS_FILE");
    return value ? std::wstring(value) : std::wstring();
}
}  // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int)
{
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
        frame.SetStatusTracePath(StatusTracePath());
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
