// The console's settings file: "<program directory>\<program name>.ini", read and written through
// the system's wide profile-string functions. Section "MainApp" unless a call names another one.
// The object owns nothing but its strings; the file belongs to the profile functions.
#pragma once
#include <string>

class CIni {
public:
    CIni();
    virtual ~CIni() = default;

    // A given section becomes the current one for this and later calls. A null default reads as
    // empty. The value is cut at the first ";" or fullwidth "；".
    std::wstring GetString(const wchar_t* key, const wchar_t* defaultValue = nullptr, const wchar_t* section = nullptr);
    // The default is written as "0" or "1" and read like a string; true when the value's number is
    // not zero.
    bool GetBool(const wchar_t* key, bool defaultValue, const wchar_t* section = nullptr);
    // Both write nothing when the settings path is empty (a program path of 260 characters or more).
    bool WriteString(const wchar_t* key, const wchar_t* value, const wchar_t* section = nullptr);
    bool WriteBool(const wchar_t* key, bool value, const wchar_t* section = nullptr);

    const std::wstring& GetPath() const { return m_path; }
    const std::wstring& GetSection() const { return m_section; }
    // Tests point the object at a file of their own.
    void SetPath(const std::wstring& path) { m_path = path; }

private:
    const wchar_t* ReadValue(const wchar_t* key, const wchar_t* defaultValue);

    bool m_inProgramDirectory = true;
    wchar_t m_value[257] = {};
    std::wstring m_path;
    std::wstring m_section;
};
