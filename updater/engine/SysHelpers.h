// Small operating-system and string helpers shared by the updater's engine and entry, and by the
// console (named mutex, program directory, Winsock).
#pragma once
#include <windows.h>
#include <stdint.h>
#include <string>

// The running executable's directory, with a trailing backslash. Filled once, then cached.
const wchar_t* GetAppDirectory();

// Winsock 2.2 start-up around libcurl; a failure is printed and otherwise ignored.
void InitWinsock();
void CleanupWinsock();

// Thin registry access; every operation is false for a null handle or name, else the system's verdict.
class CRegistry {
public:
    bool OpenKey(HKEY root, const wchar_t* subkey, HKEY& key, REGSAM access);
    // `size` is the room of `data` in bytes on entry and the number of bytes read on return.
    // The buffer is zeroed first and at most room - 2 bytes are read, so a string value always
    // ends in a (wide) terminator; a value that does not fit counts as missing (false).
    bool QueryValue(HKEY key, const wchar_t* name, void* data, DWORD* size);
    bool CloseKey(HKEY key);
};

// A named mutex, created not owned; also the single-instance guard of both programs.
class CNamedMutex {
public:
    explicit CNamedMutex(const char* name);
    ~CNamedMutex();
    bool AlreadyExists() const { return m_lastError == ERROR_ALREADY_EXISTS; }
    void Close();
    HANDLE GetHandle() const { return m_handle; }

    CNamedMutex(const CNamedMutex&) = delete;
    CNamedMutex& operator=(const CNamedMutex&) = delete;

private:
    uint32_t m_lastError = 0;
    HANDLE m_handle = nullptr;
};

// Appends the file's MD5 as 32 lower-case hex digits; 0 on success, else the failing step's error.
uint32_t GetFileMd5(const wchar_t* path, std::string& out);
// The same, reading through the caller's buffer: a thread that hashes many files keeps one large
// buffer for all of them (fewer, larger reads; nothing mapped per file).
uint32_t GetFileMd5(const wchar_t* path, std::string& out, void* buffer, uint32_t bufferSize);

bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);
// Creates every missing directory of the path in turn. Paths of 260 characters or more are refused.
bool CreateDirectoryTreeA(const char* path);
bool CreateDirectoryTreeW(const wchar_t* path);
void AddTrailingBackslash(std::wstring& path);

// Code-page conversions; narrow texts are in the ANSI code page unless the name says UTF-8.
std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);
std::wstring AnsiToWide(const char* text, size_t length);
std::string WideToUtf8(const std::wstring& text);
std::string AnsiToUtf8(const std::string& text);

// Percent-encodes the UTF-8 form of an ANSI text, keeping letters, digits, URL separators and marks.
bool UrlEncode(const std::string& in, std::string& out);
bool IsUrlReserved(char c);
bool IsUrlMark(char c);
char ToHexDigit(unsigned value);

// Replaces every occurrence of `from` (which must not be empty) by `to`.
std::string ReplaceAllA(const std::string& text, const std::string& from, const std::string& to);
std::wstring ReplaceAllW(const std::wstring& text, const std::wstring& from, const std::wstring& to);
std::wstring ToLowerW(const std::wstring& text);

// Trim in place (blanks and tabs by default) and return the same string.
std::string& TrimLeft(std::string& s, const char* chars = " \t");
std::string& TrimRight(std::string& s, const char* chars = " \t");
std::string& Trim(std::string& s, const char* chars = " \t");
