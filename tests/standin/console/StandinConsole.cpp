// A stand-in for the console and its companion programs in process tests. Copied under any name
// (e.g. "Pellmora.exe"), it appends its command line (UTF-8, one line per start) to "<name>.log"
// beside itself, runs a message loop, and exits when a file "<name>.quit" appears beside it or
// when its thread gets WM_QUIT or WM_CLOSE. It creates no window: under Wine the first window of
// a session starts the desktop process, and parallel tests would race to start it.
#include <windows.h>
#include <string>

namespace {

void AppendStartRecord(const std::wstring& logPath)
{
    const wchar_t* commandLine = GetCommandLineW();
    int size = WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, nullptr, 0, nullptr, nullptr);
    std::string line(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, &line[0], size, nullptr, nullptr);
    line += "\r\n";
    HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring self = path;
    std::wstring quitFile = self + L".quit";
    // The message queue exists before the start is recorded, so a starter that waits for the
    // program to become idle is released by the first GetMessage below.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    AppendStartRecord(self + L".log");

    UINT_PTR timer = SetTimer(nullptr, 0, 50, nullptr);
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == WM_CLOSE)
            break;
        if (message.message == WM_TIMER && message.wParam == timer &&
            GetFileAttributesW(quitFile.c_str()) != INVALID_FILE_ATTRIBUTES)
            break;
        DispatchMessageW(&message);
    }
    return 0;
}
