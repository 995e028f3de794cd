// The console's program entry: single instance, Winsock, the UI framework's instance and resource
// path, COM, libcurl, the modal login dialog and, only after a successful login, the main frame
// and the message loop.
#include <windows.h>
#include <objbase.h>
#include <new>
#include "ConsoleGlobals.h"
#include "ConsoleHttpClient.h"
#include "DlgLogin.h"
#include "MainFrameWnd.h"
#include "SysHelpers.h"
#include "UIManager.h"
#ifdef PELLMORA_TEST_HOOKS
#include "ConsoleTraceWriter.h"
#endif

namespace {
const char kInstanceMutex[] = "{559C3658-1D4F-49b3-8722-075AADA4582E}";
}  // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int)
{
#ifdef PELLMORA_TEST_HOOKS
    // The tests' build only: the shipped program writes nowhere an environment variable points.
    CConsoleTraceWriter::Install();
#endif
    CNamedMutex instanceMutex(kInstanceMutex);
    if (instanceMutex.AlreadyExists())
        return 0;
    InitWinsock();
    Veneer::CPaintManagerUI::SetInstance(hInstance);
    Veneer::CPaintManagerUI::SetResourcePath((Veneer::CPaintManagerUI::GetInstancePath() + L"Res").GetData());
    if (FAILED(::CoInitialize(nullptr))) {
        instanceMutex.Close();
        return 0;
    }
    Pellmora::CHttpClient::GlobalInit();

    CDlgLogin* login = new CDlgLogin(L"LoginMain.xml");
    login->ShowDlg(L"Brevanor网吧端", nullptr, true);
    if (g_loginNetbarCode.empty()) {
        delete login;
        instanceMutex.Close();
        return 0;
    }

    CMainFrameWnd* frame = new (std::nothrow) CMainFrameWnd;
    if (frame != nullptr) {
        frame->Create(nullptr, L"Morvath", WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, 0);
        frame->CenterWindow();
        frame->ShowWindow(true, true);
        Veneer::CPaintManagerUI::MessageLoop();
        delete frame;
    }
    ::CoUninitialize();
    CleanupWinsock();
    delete login;
    instanceMutex.Close();
    return 0;
}
