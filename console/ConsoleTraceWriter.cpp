#include "ConsoleTraceWriter.h"
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <map>
#include <mutex>
#include <vector>
#include "UIControl.h"
#include "UIManager.h"

using namespace Veneer;

namespace {

// Read on every use: cheap next to the file write, and a test may set it at any time.
std::wstring TracePath()
{
    wchar_t path[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableW(L"PELLMORA_TEST_TRACE", path, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(path, n) : std::wstring();
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string out(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr,
                            nullptr);
    return out;
}

// Tabs and line breaks inside a field would break the line format.
std::wstring Flatten(std::wstring text)
{
    for (wchar_t& c : text)
        if (c == L'\t' || c == L'\r' || c == L'\n')
            c = L' ';
    return text;
}

struct RectWalk {
    std::vector<std::pair<std::wstring, RECT>> found;
};

// A name that repeats across a window's skins ("headimg" of the customer page and of the
// account-opening page) keeps its first control in tree order, so its line does not flip.
CControlUI* CALLBACK CollectNamed(CControlUI* control, void* data)
{
    CUIString name = control->GetName();
    if (name.IsEmpty())
        return nullptr;
    RectWalk* walk = static_cast<RectWalk*>(data);
    for (const auto& entry : walk->found)
        if (entry.first == name.GetData())
            return nullptr;
    walk->found.emplace_back(name.GetData(), control->GetPos());
    return nullptr;
}

bool Enabled() { return !TracePath().empty(); }

void Trace(const wchar_t* kind, const std::wstring& first, const std::wstring& second)
{
    std::string line = Utf8(kind) + "\t" + Utf8(Flatten(first)) + "\t" + Utf8(Flatten(second)) + "\n";
    // FILE_APPEND_DATA: every write lands at the end, also when two threads or two processes trace.
    std::wstring path = TracePath();
    if (path.empty())
        return;
    // A reader that shares the file less than fully makes the open fail for a moment: try again.
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_SHARING_VIOLATION)
            return;
        if (file == INVALID_HANDLE_VALUE)
            Sleep(5);
    }
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

void CConsoleTraceWriter::Install()
{
    static CConsoleTraceWriter writer;
    consoleevents::SetObserver(&writer);
}

void CConsoleTraceWriter::OnEvent(const wchar_t* kind, const std::wstring& first, const std::wstring& second)
{
    Trace(kind, first, second);
}

void CConsoleTraceWriter::OnPainted(CPaintManagerUI& manager, const wchar_t* scope)
{
    if (!Enabled() || manager.GetRoot() == nullptr)
        return;
    RectWalk walk;
    manager.GetRoot()->FindControl(&CollectNamed, &walk, 0);
    std::vector<std::pair<std::wstring, RECT>> changed;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto& seen = m_seen[&manager];
        for (const auto& entry : walk.found) {
            auto it = seen.find(entry.first);
            const RECT& rc = entry.second;
            if (it != seen.end() && EqualRect(&it->second, &rc))
                continue;
            seen[entry.first] = rc;
            changed.push_back(entry);
        }
    }
    for (const auto& entry : changed) {
        wchar_t text[64];
        swprintf(text, 64, L"%ld,%ld,%ld,%ld", entry.second.left, entry.second.top, entry.second.right,
                 entry.second.bottom);
        Trace(L"rect", scope != nullptr ? std::wstring(scope) + L":" + entry.first : entry.first, text);
    }
}

void CConsoleTraceWriter::OnManagerGone(CPaintManagerUI& manager)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_seen.erase(&manager);
}
