#include "Ini.h"

#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace {

const wchar_t kDefaultSection[] = L"MainApp";
const DWORD kReadRoom = 256;

}  // namespace

CIni::CIni() : m_section(kDefaultSection)
{
    m_inProgramDirectory = true;
    wchar_t module[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
    // A path that fills the buffer may be cut: better no settings file than a wrong one.
    if (n == 0 || n >= MAX_PATH)
        return;
    wchar_t drive[_MAX_DRIVE] = {}, dir[_MAX_DIR] = {}, name[_MAX_FNAME] = {}, ext[_MAX_EXT] = {};
    if (_wsplitpath_s(module, drive, dir, name, ext) != 0)
        return;
    m_path = std::wstring(drive) + dir + name + L".ini";
}

const wchar_t* CIni::ReadValue(const wchar_t* key, const wchar_t* defaultValue)
{
    const wchar_t* fallback = defaultValue ? defaultValue : L"";
    if (m_path.empty()) {
        wcsncpy(m_value, fallback, kReadRoom - 1);
        m_value[kReadRoom - 1] = L'\0';
    } else {
        GetPrivateProfileStringW(m_section.c_str(), key, fallback, m_value, kReadRoom, m_path.c_str());
    }
    m_value[256] = L'\0';
    // A value ends at the first semicolon, ASCII or fullwidth.
    for (wchar_t* p = m_value; *p; ++p) {
        if (*p == L';' || *p == L'\xFF1B') {
            *p = L'\0';
            break;
        }
    }
    return m_value;
}

std::wstring CIni::GetString(const wchar_t* key, const wchar_t* defaultValue, const wchar_t* section)
{
    if (section)
        m_section = section;
    return ReadValue(key, defaultValue);
}

bool CIni::GetBool(const wchar_t* key, bool defaultValue, const wchar_t* section)
{
    if (section)
        m_section = section;
    return _wtoi(ReadValue(key, defaultValue ? L"1" : L"0")) != 0;
}

bool CIni::WriteString(const wchar_t* key, const wchar_t* value, const wchar_t* section)
{
    if (section)
        m_section = section;
    if (m_path.empty())
        return false;
    return WritePrivateProfileStringW(m_section.c_str(), key, value, m_path.c_str()) != FALSE;
}

bool CIni::WriteBool(const wchar_t* key, bool value, const wchar_t* section)
{
    return WriteString(key, value ? L"1" : L"0", section);
}
