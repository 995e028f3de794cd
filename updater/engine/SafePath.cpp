#include "SafePath.h"

#include <windows.h>

bool IsSafeRelativePath(const std::wstring& path)
{
    if (path.empty() || path[0] == L'\\' || path[0] == L'/')
        return false;
    if (path.find(L':') != std::wstring::npos)
        return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = path.size();
        bool onlyDotsAndBlanks = end > start;
        bool hasDot = false;
        for (size_t i = start; i < end; ++i) {
            if (path[i] == L'.')
                hasDot = true;
            else if (path[i] != L' ')
                onlyDotsAndBlanks = false;
        }
        if (onlyDotsAndBlanks && hasDot)
            return false;
        start = end + 1;
    }
    return true;
}

bool IsSafeRelativePath(const std::string& path)
{
    if (path.empty())
        return false;
    int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (size <= 0)
        return false;
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()), &wide[0], size);
    return IsSafeRelativePath(wide);
}
