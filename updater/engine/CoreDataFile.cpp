#include "CoreDataFile.h"
#include "DesCrypt.h"

#include <string.h>

namespace {

const uint32_t kBufferSize = 260;
// The longest file ever written: 252 plain bytes padded to whole blocks.
const DWORD kMaxFileSize = 256;

}  // namespace

CScopedMutexLock::CScopedMutexLock(HANDLE mutex, bool waitNow) : m_mutex(mutex)
{
    if (waitNow)
        Wait(INFINITE);
}

CScopedMutexLock::~CScopedMutexLock()
{
    Release();
}

bool CScopedMutexLock::Wait(uint32_t timeoutMs)
{
    if (!m_mutex)
        return false;
    DWORD rc = WaitForSingleObject(m_mutex, timeoutMs);
    if (rc == WAIT_OBJECT_0) {
        m_held = true;
        return true;
    }
    if (rc == WAIT_ABANDONED) {
        // The previous owner died while writing or reading: we own it now, but the file may be
        // half-written. Give it back rather than keep it for ever.
        ReleaseMutex(m_mutex);
    }
    return false;
}

void CScopedMutexLock::Release()
{
    if (m_held) {
        ReleaseMutex(m_mutex);
        m_held = false;
    }
}

CCoreDataFile::CCoreDataFile(int32_t mode) : m_mode(mode)
{
    CreateSharedMutex(mode);
}

CCoreDataFile::~CCoreDataFile()
{
    if (m_mutex)
        CloseHandle(m_mutex);
}

CCoreDataFile::CCoreDataFile(int32_t mode, const char* mutexName) : m_mode(mode)
{
    CreateNamedMutex(mutexName);
}

void CCoreDataFile::CreateSharedMutex(int32_t mode)
{
    CreateNamedMutex(mode == 1 ? "UpdateFile" : "UpdateFile_pellmora");
}

void CCoreDataFile::CreateNamedMutex(const char* name)
{
    // A null DACL: every account (a service, another user) may open the mutex.
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES sa = {sizeof(sa), &sd, TRUE};
    m_mutex = CreateMutexA(&sa, FALSE, name);
    if (m_mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        OutputDebugStringW(L"升级文件互斥变量已经创建\r\n");
        HANDLE full = OpenMutexA(MUTEX_ALL_ACCESS, TRUE, name);
        if (full) {
            CloseHandle(m_mutex);
            m_mutex = full;
        }
    }
}

bool CCoreDataFile::Read(uint32_t timeoutMs)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    try {
        CScopedMutexLock lock(m_mutex, false);
        if (!lock.Wait(timeoutMs))
            return false;

        file = CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        uint8_t data[kMaxFileSize];
        DWORD size = GetFileSize(file, nullptr);
        DWORD got = 0;
        // None larger is ever written; a larger one is damaged and would not fit the buffer.
        bool ok = size != 0 && size != INVALID_FILE_SIZE && size <= kMaxFileSize &&
                  ReadFile(file, data, size, &got, nullptr) && got == size;
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
        if (!ok)
            return false;

        uint8_t plain[kBufferSize] = {};
        uint32_t room = kBufferSize;
        if (DesCrypt(data, static_cast<int32_t>(size), plain, &room, true) < 1)
            return false;

        std::string text(reinterpret_cast<const char*>(plain), strnlen(reinterpret_cast<const char*>(plain), kBufferSize));
        std::string::size_type at = text.find('@');
        if (at == std::string::npos)
            return false;
        std::string first = text.substr(0, at);
        std::string second = text.substr(at + 1);
        if (first.empty() || second.empty())
            return false;
        m_first = first;
        m_second = second;
        return true;
    } catch (...) {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        return false;
    }
}

bool CCoreDataFile::Get(std::string& versionText, std::string& versionCode)
{
    if (m_first.empty() || m_second.empty()) {
        if (!Read(1000) || m_first.empty() || m_second.empty())
            return false;
    }
    versionText = m_first;
    versionCode = m_second;
    return true;
}

bool CCoreDataFile::Write(const std::string& versionText, const std::string& versionCode, uint32_t timeoutMs)
{
    m_first = versionText;
    m_second = versionCode;
    if (versionText.empty() || versionCode.empty())
        return false;

    std::string plain = versionText + "@" + versionCode;
    uint8_t cipher[kBufferSize] = {};
    uint32_t length = kBufferSize;
    if (DesCrypt(reinterpret_cast<const uint8_t*>(plain.data()), static_cast<int32_t>(plain.size()), cipher,
                 &length, false) < 1)
        return false;

    CScopedMutexLock lock(m_mutex, false);
    if (!lock.Wait(timeoutMs))
        return false;

    // Write beside the file and swap it in, so a failed write never leaves the version file
    // empty or truncated.
    std::string temp = m_path + ".tmp";
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, cipher, length, &written, nullptr) && written == length;
    ok = FlushFileBuffers(file) && ok;
    CloseHandle(file);
    if (ok)
        ok = MoveFileExA(temp.c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok)
        DeleteFileA(temp.c_str());
    return ok;
}
