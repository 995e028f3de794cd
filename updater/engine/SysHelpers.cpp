#include "SysHelpers.h"

#include <shlwapi.h>
#include <wincrypt.h>
#include <winsock2.h>
#include <stdio.h>
#include <string.h>
#include <wctype.h>

namespace {

wchar_t g_appDirectory[260];
INIT_ONCE g_appDirectoryOnce = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK FillAppDirectory(PINIT_ONCE, PVOID, PVOID*)
{
    wchar_t path[MAX_PATH] = {};
    wchar_t canonical[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return TRUE;
    if (!PathCanonicalizeW(canonical, path))
        lstrcpynW(canonical, path, MAX_PATH);
    wchar_t* slash = wcsrchr(canonical, L'\\');
    if (slash)
        slash[1] = L'\0';
    lstrcpynW(g_appDirectory, canonical, 260);
    return TRUE;
}

// Error of the step that just failed; never 0, so a failure can't read as success.
uint32_t LastErrorOr(uint32_t fallback)
{
    DWORD e = GetLastError();
    return e ? e : fallback;
}

}  // namespace

const wchar_t* GetAppDirectory()
{
    // The console asks from its UI thread and its timer thread, so the first fill is guarded.
    InitOnceExecuteOnce(&g_appDirectoryOnce, FillAppDirectory, nullptr, nullptr);
    return g_appDirectory;
}

void InitWinsock()
{
    WSADATA data;
    int err = WSAStartup(MAKEWORD(2, 2), &data);
    if (err != 0)
        printf("WSAStartup failed with error: %d\n", err);
}

void CleanupWinsock()
{
    WSACleanup();
}

bool CRegistry::OpenKey(HKEY root, const wchar_t* subkey, HKEY& key, REGSAM access)
{
    if (!root || !subkey)
        return false;
    return RegOpenKeyExW(root, subkey, 0, access, &key) == ERROR_SUCCESS;
}

bool CRegistry::QueryValue(HKEY key, const wchar_t* name, void* data, DWORD* size)
{
    if (!key || !name || !data || !size)
        return false;
    DWORD room = *size;
    memset(data, 0, room);
    if (room <= sizeof(wchar_t)) {
        *size = 0;
        return false;
    }
    DWORD got = room - sizeof(wchar_t);
    LONG rc = RegQueryValueExW(key, name, nullptr, nullptr, static_cast<BYTE*>(data), &got);
    if (rc != ERROR_SUCCESS) {
        // Too long for the buffer: treat as missing, and leave nothing half-read behind.
        memset(data, 0, room);
        *size = 0;
        return false;
    }
    *size = got;
    return true;
}

bool CRegistry::CloseKey(HKEY key)
{
    if (!key)
        return false;
    return RegCloseKey(key) == ERROR_SUCCESS;
}

CNamedMutex::CNamedMutex(const char* name)
{
    m_handle = CreateMutexA(nullptr, FALSE, name);
    m_lastError = GetLastError();
}

CNamedMutex::~CNamedMutex()
{
    Close();
}

void CNamedMutex::Close()
{
    if (m_handle) {
        CloseHandle(m_handle);
        m_handle = nullptr;
    }
}

namespace {
const DWORD kMd5ReadBlock = 64 * 1024;

// One verification context for the whole process: acquiring a provider is by far the dearest
// part of hashing a small file (tens of milliseconds under Wine), and a scan hashes thousands.
// Hash objects made from it are independent, so threads may share it.
HCRYPTPROV Md5Provider(uint32_t& error)
{
    struct Provider {
        HCRYPTPROV handle = 0;
        uint32_t error = 0;
        Provider()
        {
            if (!CryptAcquireContextW(&handle, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
                error = LastErrorOr(ERROR_GEN_FAILURE);
                handle = 0;
            }
        }
    };
    static const Provider provider;
    error = provider.error;
    return provider.handle;
}
}  // namespace

uint32_t GetFileMd5(const wchar_t* path, std::string& out)
{
    // On the stack: a heap block of this size is mapped and unmapped for each file, which costs
    // more than hashing a small one.
    BYTE buffer[kMd5ReadBlock];
    return GetFileMd5(path, out, buffer, sizeof(buffer));
}

uint32_t GetFileMd5(const wchar_t* path, std::string& out, void* buffer, uint32_t bufferSize)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastErrorOr(ERROR_OPEN_FAILED);

    uint32_t result = 0;
    HCRYPTHASH hash = 0;
    BYTE digest[16];
    HCRYPTPROV prov = Md5Provider(result);
    if (!prov) {
        // result holds the error of the acquisition
    } else if (!CryptCreateHash(prov, CALG_MD5, 0, 0, &hash)) {
        result = LastErrorOr(ERROR_GEN_FAILURE);
    } else {
        // Large reads: under Wine every ReadFile and every CryptHashData call has a fixed cost
        // (and takes a process-wide lock) that small blocks multiply by the thousands per file.
        BYTE* data = static_cast<BYTE*>(buffer);
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(file, data, bufferSize, &got, nullptr)) {
                result = LastErrorOr(ERROR_READ_FAULT);
                break;
            }
            if (got == 0)
                break;
            if (!CryptHashData(hash, data, got, 0)) {
                result = LastErrorOr(ERROR_GEN_FAILURE);
                break;
            }
        }
        DWORD len = sizeof(digest);
        if (result == 0 && !CryptGetHashParam(hash, HP_HASHVAL, digest, &len, 0))
            result = LastErrorOr(ERROR_GEN_FAILURE);
        if (result == 0 && len != sizeof(digest))
            result = ERROR_GEN_FAILURE;
    }
    if (hash)
        CryptDestroyHash(hash);
    CloseHandle(file);
    if (result != 0)
        return result;

    static const char hex[] = "0123456789abcdef";
    try {
        std::string text;
        text.reserve(32);
        for (BYTE b : digest) {
            text += hex[b >> 4];
            text += hex[b & 15];
        }
        out += text;
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    return 0;
}

bool FileExists(const std::wstring& path)
{
    DWORD attr = GetFileAttributesW(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path)
{
    DWORD attr = GetFileAttributesW(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// Splits a path into its non-empty parts: the first part ends at "\" or "/", later ones at "\"
// only (a "/" after the first part stays inside its part). Double-byte characters of the ANSI
// code page are kept whole, since their second byte may equal "\".
template <class Char>
bool IsLead(Char c);
template <>
bool IsLead<char>(char c) { return IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE; }
template <>
bool IsLead<wchar_t>(wchar_t) { return false; }

template <class Char, class Visit>
bool ForEachPathPart(const Char* path, Visit visit)
{
    std::basic_string<Char> part;
    bool first = true;
    for (const Char* p = path;; ++p) {
        Char c = *p;
        bool sep = c == Char('\\') || (first && c == Char('/'));
        if (c == Char(0) || sep) {
            if (!part.empty()) {
                if (!visit(part))
                    return false;
                part.clear();
                first = false;
            }
            if (c == Char(0))
                return true;
            continue;
        }
        part += c;
        if (IsLead(c) && p[1] != Char(0))
            part += *++p;
    }
}

}  // namespace

bool CreateDirectoryTreeA(const char* path)
{
    if (!path)
        return false;
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return true;
    if (strlen(path) >= 260)
        return false;
    std::string sofar;
    return ForEachPathPart(path, [&](const std::string& part) {
        sofar += part;
        sofar += '\\';
        if (GetFileAttributesA(sofar.c_str()) == INVALID_FILE_ATTRIBUTES)
            return CreateDirectoryA(sofar.c_str(), nullptr) != FALSE;
        return true;
    });
}

bool CreateDirectoryTreeW(const wchar_t* path)
{
    if (!path)
        return false;
    if (DirectoryExists(path))
        return true;
    if (wcslen(path) >= 260)
        return false;
    std::wstring sofar;
    return ForEachPathPart(path, [&](const std::wstring& part) {
        sofar += part;
        sofar += L'\\';
        if (!DirectoryExists(sofar))
            return CreateDirectoryW(sofar.c_str(), nullptr) != FALSE;
        return true;
    });
}

void AddTrailingBackslash(std::wstring& path)
{
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
}

namespace {

std::string WideToCodePage(const std::wstring& text, UINT cp)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string out(n, '\0');
    WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

}  // namespace

std::string WideToAnsi(const std::wstring& text)
{
    return WideToCodePage(text, CP_ACP);
}

std::wstring AnsiToWide(const std::string& text)
{
    return AnsiToWide(text.data(), text.size());
}

std::wstring AnsiToWide(const char* text, size_t length)
{
    if (length == 0)
        return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), &out[0], n);
    return out;
}

std::string WideToUtf8(const std::wstring& text)
{
    return WideToCodePage(text, CP_UTF8);
}

std::string AnsiToUtf8(const std::string& text)
{
    return WideToUtf8(AnsiToWide(text));
}

bool IsUrlReserved(char c)
{
    return c != '\0' && strchr(";/?:@&=$,#", c) != nullptr;
}

bool IsUrlMark(char c)
{
    return c != '\0' && strchr("-_.!~*'()", c) != nullptr;
}

char ToHexDigit(unsigned value)
{
    return "0123456789ABCDEF"[value & 15];
}

bool UrlEncode(const std::string& in, std::string& out)
{
    out.clear();
    if (in.empty())
        return true;
    std::string utf8 = AnsiToUtf8(in);
    for (char c : utf8) {
        unsigned char b = static_cast<unsigned char>(c);
        bool alnum = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9');
        if (alnum || IsUrlReserved(c) || IsUrlMark(c)) {
            out += c;
        } else {
            out += '%';
            out += ToHexDigit(b >> 4);
            out += ToHexDigit(b);
        }
    }
    return true;
}

namespace {

template <class S>
S ReplaceAllT(const S& text, const S& from, const S& to)
{
    if (from == to || from.empty())
        return text;
    S out = text;
    typename S::size_type pos = 0;
    while ((pos = out.find(from, pos)) != S::npos) {
        out.replace(pos, from.size(), to);
        pos += to.size();
    }
    return out;
}

}  // namespace

std::string ReplaceAllA(const std::string& text, const std::string& from, const std::string& to)
{
    return ReplaceAllT(text, from, to);
}

std::wstring ReplaceAllW(const std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    return ReplaceAllT(text, from, to);
}

std::wstring ToLowerW(const std::wstring& text)
{
    // ASCII letters are folded here: under a non-C locale the run-time asks the system's
    // case mapping for every single character, which a scan does for every path it meets.
    std::wstring out(text);
    for (wchar_t& c : out) {
        if (c < 0x80) {
            if (c >= L'A' && c <= L'Z')
                c = wchar_t(c - L'A' + L'a');
        } else {
            c = static_cast<wchar_t>(towlower(c));
        }
    }
    return out;
}

std::string& TrimLeft(std::string& s, const char* chars)
{
    s.erase(0, s.find_first_not_of(chars));
    return s;
}

std::string& TrimRight(std::string& s, const char* chars)
{
    std::string::size_type last = s.find_last_not_of(chars);
    s.erase(last == std::string::npos ? 0 : last + 1);
    return s;
}

std::string& Trim(std::string& s, const char* chars)
{
    return TrimLeft(TrimRight(s, chars), chars);
}
