// Test support for the console program: a machine-wide serial lock, waiting, reading the
// program's trace (PELLMORA_TEST_TRACE), finding windows of a process, and mouse input posted at
// the centre of a named control.
#pragma once
#include <windows.h>
#include <functional>
#include <map>
#include <string>
#include <vector>
#include "EngineBaseSupport.h"

namespace consoletest {

// A named mutex held for the object's life: the console's single-instance mutex and its
// "Core.exe" process test are prefix-wide, so the tests that meet them run one at a time.
class SerialLock {
public:
    explicit SerialLock(const wchar_t* name) : m_mutex(CreateMutexW(nullptr, FALSE, name))
    {
        DWORD r = WaitForSingleObject(m_mutex, 900000);
        m_owned = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    }
    ~SerialLock()
    {
        if (m_owned)
            ReleaseMutex(m_mutex);
        CloseHandle(m_mutex);
    }
    SerialLock(const SerialLock&) = delete;
    SerialLock& operator=(const SerialLock&) = delete;

private:
    HANDLE m_mutex;
    bool m_owned = false;
};

inline bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
}

inline std::wstring TestBinDir()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path);
    return p.substr(0, p.find_last_of(L'\\') + 1);
}

inline std::string Utf8(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &s[0], size, nullptr, nullptr);
    return s;
}

// One line of the program's trace: kind, first and second field (UTF-8).
struct TraceLine {
    std::string kind, first, second;
};

inline std::vector<TraceLine> ReadTrace(const std::wstring& path)
{
    // Shared for writing too: the program appends while the test reads.
    std::string text;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        char buf[4096];
        DWORD got = 0;
        while (ReadFile(f, buf, sizeof(buf), &got, nullptr) && got)
            text.append(buf, got);
        CloseHandle(f);
    }
    std::vector<TraceLine> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            break;  // a line being written
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        TraceLine t;
        size_t a = line.find('\t');
        size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
        if (b == std::string::npos)
            continue;
        t.kind = line.substr(0, a);
        t.first = line.substr(a + 1, b - a - 1);
        t.second = line.substr(b + 1);
        lines.push_back(t);
    }
    return lines;
}

// The last value traced for (kind, first); "" when none.
inline std::string LastTraced(const std::vector<TraceLine>& lines, const std::string& kind, const std::string& first)
{
    std::string value;
    bool found = false;
    for (const auto& l : lines)
        if (l.kind == kind && l.first == first) {
            value = l.second;
            found = true;
        }
    return found ? value : std::string();
}

inline bool Traced(const std::vector<TraceLine>& lines, const std::string& kind, const std::string& first,
                   const std::string& second)
{
    for (const auto& l : lines)
        if (l.kind == kind && l.first == first && l.second == second)
            return true;
    return false;
}

inline int CountTraced(const std::vector<TraceLine>& lines, const std::string& kind, const std::string& first)
{
    int n = 0;
    for (const auto& l : lines)
        n += l.kind == kind && l.first == first;
    return n;
}

// The rectangle last traced for a control; false when none (or an empty one) was traced.
inline bool TracedRect(const std::vector<TraceLine>& lines, const std::string& name, RECT& rc)
{
    std::string value = LastTraced(lines, "rect", name);
    if (value.empty())
        return false;
    long l = 0, t = 0, r = 0, b = 0;
    if (sscanf(value.c_str(), "%ld,%ld,%ld,%ld", &l, &t, &r, &b) != 4)
        return false;
    rc = {l, t, r, b};
    return r > l && b > t;
}

struct WindowSearch {
    DWORD pid;
    const wchar_t* className;
    const wchar_t* title;
    HWND found;
};

inline BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lParam)
{
    WindowSearch* s = reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != s->pid)
        return TRUE;
    wchar_t text[256] = {};
    GetClassNameW(hwnd, text, 256);
    if (s->className && wcscmp(text, s->className) != 0)
        return TRUE;
    if (s->title) {
        GetWindowTextW(hwnd, text, 256);
        if (wcscmp(text, s->title) != 0)
            return TRUE;
    }
    s->found = hwnd;
    return FALSE;
}

// The first top-level window of the process with that class (any when null) and title.
inline HWND FindProcessWindow(DWORD pid, const wchar_t* className, const wchar_t* title = nullptr)
{
    WindowSearch search = {pid, className, title, nullptr};
    EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline POINT Centre(const RECT& rc) { return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }

// A click as the window receives it: the move that makes the control hot, then press and release,
// posted in client coordinates (the shared display's cursor belongs to no single test).
inline void PostClick(HWND hwnd, POINT at)
{
    LPARAM lp = MAKELPARAM(at.x, at.y);
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, lp);
    Sleep(60);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, lp);
    Sleep(60);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, lp);
    Sleep(60);
}

// A 24-bit BMP of one colour (bottom-up rows, padded to four bytes): a customer's photo.
inline std::string SolidBmp(int width, int height, COLORREF rgb)
{
    const int stride = (width * 3 + 3) & ~3;
    std::string pixels(static_cast<size_t>(stride) * height, '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            char* p = &pixels[static_cast<size_t>(y) * stride + x * 3];
            p[0] = static_cast<char>(GetBValue(rgb));
            p[1] = static_cast<char>(GetGValue(rgb));
            p[2] = static_cast<char>(GetRValue(rgb));
        }
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    ih.biSize = sizeof ih;
    ih.biWidth = width;
    ih.biHeight = height;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biSizeImage = static_cast<DWORD>(pixels.size());
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    std::string file(reinterpret_cast<const char*>(&fh), sizeof fh);
    file.append(reinterpret_cast<const char*>(&ih), sizeof ih);
    return file + pixels;
}

inline std::string Base64(const std::string& bytes)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                     static_cast<unsigned char>(bytes[i + 2]);
        for (int k = 18; k >= 0; k -= 6)
            out += kAlphabet[(v >> k) & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace consoletest
