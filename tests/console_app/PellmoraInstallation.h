// The console program run whole under Wine from a copy of its installation (Pellmora.exe,
// Veneer_u.dll, Res, data\core.dat) in a fixture folder, against the café stand-in through a proxy
// port of the scenario's own: the installation, the login, window captures. The tests follow the
// program through its trace file (PELLMORA_TEST_TRACE) and click controls with mouse messages posted
// at their traced centres.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <json/json.h>
#include <stdlib.h>
#include <memory>
#include <string>
#include <vector>
#include "ConsoleAppSupport.h"
#include "CoreDataFile.h"
#include "StandIn.h"
#include "SysHelpers.h"

namespace pellmoratest {

using consoletest::Centre;
using consoletest::FindProcessWindow;
using consoletest::PostClick;
using consoletest::ReadTrace;
using consoletest::TraceLine;
using consoletest::WaitFor;
using enginebase::ReadWholeFile;
using enginebase::ScratchDir;
using enginebase::WriteWholeFile;

constexpr wchar_t kDialogClass[] = L"CDlgBase";
constexpr wchar_t kFrameClass[] = L"UIMainFrameLOGINDLG";
constexpr char kCafeCode[] = "10001";
constexpr char kCafePassword[] = "123456";

inline void CopyTree(const std::wstring& from, const std::wstring& to)
{
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((from + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring n = fd.cFileName;
        if (n == L"." || n == L"..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + L"\\" + n, to + L"\\" + n);
        else
            CopyFileW((from + L"\\" + n).c_str(), (to + L"\\" + n).c_str(), FALSE);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

inline BOOL CALLBACK FindEditChild(HWND child, LPARAM lParam)
{
    wchar_t cls[64] = {};
    GetClassNameW(child, cls, 64);
    // The framework's edit window superclasses the system's "Edit".
    if ((_wcsicmp(cls, L"EditWnd") == 0 || _wcsicmp(cls, L"Edit") == 0) && IsWindowVisible(child)) {
        *reinterpret_cast<HWND*>(lParam) = child;
        return FALSE;
    }
    return TRUE;
}

// One console installation, in a temporary folder or in a kept one (the demo's); the console's
// single-instance mutex is prefix-wide, so installations exist one at a time.
class ConsoleInstallation {
public:
    explicit ConsoleInstallation(bool withVersionFile = true)
        : ConsoleInstallation(std::wstring(), withVersionFile)
    {
    }
    // An empty folder name: a temporary folder, removed with the object.
    ConsoleInstallation(const std::wstring& keptDir, bool withVersionFile)
    {
        if (keptDir.empty()) {
            m_scratch.reset(new ScratchDir);
            m_root = m_scratch->Path();
        } else {
            m_root = keptDir.back() == L'\\' ? keptDir : keptDir + L'\\';
        }
        CopyTree(consoletest::TestBinDir() + L"pellmora", m_root.substr(0, m_root.size() - 1));
        CreateDirectoryW(Path(L"data").c_str(), nullptr);
        if (withVersionFile) {
            ::CCoreDataFile file(1);
            file.SetPath(WideToAnsi(Path(L"data\\core.dat")));
            file.Write("3.1.4", "314", 1000);
        }
    }
    ~ConsoleInstallation()
    {
        for (HANDLE process : m_processes) {
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, 10000);
            }
            CloseHandle(process);
        }
        WriteWholeFile(Path(L"Core.exe.quit"), "");
        Sleep(300);
    }

    std::wstring Path(const std::wstring& rel) const { return m_root + rel; }
    std::wstring Ini() const { return Path(L"Pellmora.ini"); }
    void SetSetting(const wchar_t* key, const wchar_t* value)
    {
        WritePrivateProfileStringW(L"MainApp", key, value, Ini().c_str());
    }
    std::wstring Setting(const wchar_t* key) const
    {
        wchar_t value[256] = {};
        GetPrivateProfileStringW(L"MainApp", key, L"<none>", value, 256, Ini().c_str());
        return value;
    }

    // Starts Pellmora.exe with its trace on and the proxy given (the scenario's own port).
    HANDLE Start(const std::string& proxy, DWORD* pid)
    {
        SetEnvironmentVariableW(L"PELLMORA_TEST_TRACE", Path(L"trace.txt").c_str());
        std::wstring oldHttp = Env(L"http_proxy"), oldHttps = Env(L"https_proxy");
        if (!proxy.empty()) {
            std::wstring p = AnsiToWide(proxy);
            for (const wchar_t* name : {L"http_proxy", L"https_proxy", L"HTTP_PROXY", L"HTTPS_PROXY"})
                SetEnvironmentVariableW(name, p.c_str());
        }
        std::wstring cmd = L"\"" + Path(L"Pellmora.exe") + L"\"";
        STARTUPINFOW si = {sizeof si};
        PROCESS_INFORMATION pi;
        BOOL ok = CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, m_root.c_str(), &si,
                                 &pi);
        SetEnvironmentVariableW(L"PELLMORA_TEST_TRACE", nullptr);
        if (!proxy.empty()) {
            SetEnvironmentVariableW(L"http_proxy", oldHttp.c_str());
            SetEnvironmentVariableW(L"HTTP_PROXY", oldHttp.c_str());
            SetEnvironmentVariableW(L"https_proxy", oldHttps.c_str());
            SetEnvironmentVariableW(L"HTTPS_PROXY", oldHttps.c_str());
        }
        if (!ok)
            return nullptr;
        CloseHandle(pi.hThread);
        m_processes.push_back(pi.hProcess);
        *pid = pi.dwProcessId;
        return pi.hProcess;
    }

    std::vector<TraceLine> Trace() const { return ReadTrace(Path(L"trace.txt")); }
    std::string Last(const std::string& kind, const std::string& first) const
    {
        return consoletest::LastTraced(Trace(), kind, first);
    }
    // The last value once it is the expected one, or whatever it is when the wait ends: the
    // program traces from its own thread, possibly after its window is already found.
    std::string Settled(const std::string& kind, const std::string& first, const std::string& expected,
                        DWORD timeoutMs = 10000) const
    {
        std::string last;
        WaitFor([&] { return (last = Last(kind, first)) == expected; }, timeoutMs);
        return last;
    }
    bool WaitTraced(const std::string& kind, const std::string& first, const std::string& second,
                    DWORD timeoutMs = 20000) const
    {
        return WaitFor([&] { return consoletest::Traced(Trace(), kind, first, second); }, timeoutMs);
    }
    // The centre of a control as last laid out (waits for its first layout).
    bool ControlCentre(const std::string& name, POINT& at) const
    {
        RECT rc;
        bool ok = WaitFor([&] { return consoletest::TracedRect(Trace(), name, rc); }, 20000);
        if (ok)
            at = Centre(rc);
        return ok;
    }
    bool Click(HWND hwnd, const std::string& name) const
    {
        POINT at = {};
        if (!ControlCentre(name, at))
            return false;
        PostClick(hwnd, at);
        return true;
    }
    // Types into an edit: a click opens its native edit window, which gets the text; a click on
    // the window's background closes it again.
    bool Type(HWND hwnd, const std::string& name, const std::wstring& text) const
    {
        if (!Click(hwnd, name))
            return false;
        HWND edit = nullptr;
        if (!WaitFor([&] {
                edit = nullptr;
                EnumChildWindows(hwnd, &FindEditChild, reinterpret_cast<LPARAM>(&edit));
                return edit != nullptr;
            }, 10000))
            return false;
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        PostClick(hwnd, {4, 200});
        return WaitFor([&] { return !IsWindow(edit) || !IsWindowVisible(edit); }, 10000);
    }

    ConsoleInstallation(const ConsoleInstallation&) = delete;
    ConsoleInstallation& operator=(const ConsoleInstallation&) = delete;

private:
    static std::wstring Env(const wchar_t* name)
    {
        wchar_t value[512] = {};
        GetEnvironmentVariableW(name, value, 512);
        return value;
    }

    consoletest::SerialLock m_lock{L"PellmoraProgramTestSerial"};  // first: taken first, released last
    std::unique_ptr<ScratchDir> m_scratch;
    std::wstring m_root;  // ends in a backslash
    std::vector<HANDLE> m_processes;
};

inline bool Exited(HANDLE process, DWORD timeoutMs) { return WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0; }

inline DWORD ExitCode(HANDLE process)
{
    DWORD code = 1;
    GetExitCodeProcess(process, &code);
    return code;
}

inline HWND WaitForWindow(DWORD pid, const wchar_t* cls, DWORD timeoutMs = 60000)
{
    HWND hwnd = nullptr;
    WaitFor([&] { return (hwnd = FindProcessWindow(pid, cls)) != nullptr; }, timeoutMs);
    return hwnd;
}

inline Json::Value CafeSpec(bool bound = true)
{
    Json::Value spec;
    spec["proxy_port"] = true;
    spec["cafe"]["code"] = kCafeCode;
    spec["cafe"]["password"] = kCafePassword;
    spec["cafe"]["bound"] = bound;
    return spec;
}

inline std::string Proxy(const standin::Scenario& sc) { return sc.Reply()["proxy"].asString(); }

inline Json::Value CafeState(const standin::Scenario& sc)
{
    std::string reply;
    Json::Value state;
    if (standin::Control("cafe?id=" + sc.Id(), nullptr, reply)) {
        Json::CharReaderBuilder b;
        std::string errors;
        std::unique_ptr<Json::CharReader> reader(b.newCharReader());
        reader->parse(reply.data(), reply.data() + reply.size(), &state, &errors);
    }
    return state;
}

// Copies the window's area of the screen into a 24-bit BMP and returns the pixels (BGR rows).
inline std::vector<BYTE> CaptureWindow(HWND hwnd, const std::wstring& bmpPath, int& width, int& height)
{
    RECT rc;
    GetWindowRect(hwnd, &rc);
    width = rc.right - rc.left;
    height = rc.bottom - rc.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY);
    GdiFlush();
    int stride = (width * 3 + 3) & ~3;
    std::vector<BYTE> pixels(static_cast<const BYTE*>(bits), static_cast<const BYTE*>(bits) + stride * height);
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = bi.bmiHeader;
    ih.biHeight = height;
    ih.biSizeImage = stride * height;
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    std::string file(reinterpret_cast<const char*>(&fh), sizeof(fh));
    file.append(reinterpret_cast<const char*>(&ih), sizeof(ih));
    for (int y = height - 1; y >= 0; --y)
        file.append(reinterpret_cast<const char*>(&pixels[y * stride]), stride);
    WriteWholeFile(bmpPath, file);
    return pixels;
}

// The text of the QR code in a picture file, read by the host's zbarimg (Debian's zbar-tools).
// Wine starts a Unix program as it does a Windows one, but hands back no process to wait for: a
// shell runs zbarimg into a part file and renames it when done, and the test waits for the name.
// False when zbarimg is missing, finds no code or does not finish within the time.
inline bool DecodeQrCode(const std::wstring& picture, std::string& text, DWORD timeoutMs = 30000)
{
    typedef char*(CDECL * UnixFileName)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr || GetFileAttributesA("Z:\\usr\\bin\\zbarimg") == INVALID_FILE_ATTRIBUTES)
        return false;
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(picture.c_str(), MAX_PATH, full, nullptr);
    const std::wstring result = std::wstring(full) + L".qr.txt";
    DeleteFileW(result.c_str());
    // Host paths come back in UTF-8 and go into the command line as they are.
    auto toUnix = [&](const std::wstring& path) {
        char* name = unixName(path.c_str());
        std::wstring out;
        if (name != nullptr) {
            int n = MultiByteToWideChar(CP_UTF8, 0, name, -1, nullptr, 0);
            out.resize(n > 0 ? n - 1 : 0);
            if (n > 1)
                MultiByteToWideChar(CP_UTF8, 0, name, -1, &out[0], n);
            HeapFree(GetProcessHeap(), 0, name);
        }
        return out;
    };
    const std::wstring in = toUnix(full), out = toUnix(result);
    if (in.empty() || out.empty())
        return false;
    std::wstring cmd = L"/bin/sh -c \"/usr/bin/zbarimg --raw -q -Sdisable -Sqrcode.enable '" + in + L"' >'" + out +
                       L".part' 2>/dev/null; /bin/mv '" + out + L".part' '" + out + L"'\"";
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hThread)
        CloseHandle(pi.hThread);
    if (pi.hProcess)
        CloseHandle(pi.hProcess);
    if (!WaitFor([&] { return GetFileAttributesW(result.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs))
        return false;
    std::string bytes;
    ReadWholeFile(result, bytes);
    DeleteFileW(result.c_str());
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r'))
        bytes.pop_back();
    text = bytes;
    return !text.empty();
}

inline bool PixelNear(const std::vector<BYTE>& pixels, int width, int x, int y, COLORREF rgb)
{
    int stride = (width * 3 + 3) & ~3;
    const BYTE* p = &pixels[y * stride + x * 3];
    return abs(p[2] - GetRValue(rgb)) <= 24 && abs(p[1] - GetGValue(rgb)) <= 24 && abs(p[0] - GetBValue(rgb)) <= 24;
}

// Starts the console with the stored credentials and logs in; returns the frame (null on failure).
inline HWND LogIn(ConsoleInstallation& inst, const standin::Scenario& sc, HANDLE& process, DWORD& pid)
{
    inst.SetSetting(L"rempwd", L"1");
    inst.SetSetting(L"acc", AnsiToWide(kCafeCode).c_str());
    inst.SetSetting(L"pwd", AnsiToWide(kCafePassword).c_str());
    process = inst.Start(Proxy(sc), &pid);
    if (!process)
        return nullptr;
    HWND dialog = WaitForWindow(pid, kDialogClass);
    if (!dialog || !inst.Click(dialog, "okBtn"))
        return nullptr;
    return WaitForWindow(pid, kFrameClass, 60000);
}

}  // namespace pellmoratest
