#include "DownloadFile.h"
#include <string.h>

CDownloadFile::~CDownloadFile()
{
    Close();
}

bool CDownloadFile::Open(const std::string& path)
{
    Close();
    // Shared for reading and writing, as the run-time's fopen opens it: others may look at a
    // stalled transfer's file.
    m_file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    m_failed = false;
    return IsOpen();
}

bool CDownloadFile::Write(const void* data, size_t size)
{
    if (!IsOpen() || m_failed) return false;
    if (!m_block) m_block.reset(new char[kBlock]);
    const char* from = static_cast<const char*>(data);
    while (size > 0) {
        const size_t room = kBlock - m_used;
        const size_t n = size < room ? size : room;
        memcpy(m_block.get() + m_used, from, n);
        m_used += n;
        from += n;
        size -= n;
        if (m_used == kBlock) Flush();
    }
    return !m_failed;
}

bool CDownloadFile::WriteOut(const char* data, size_t size)
{
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(m_file, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

void CDownloadFile::Flush()
{
    if (!IsOpen() || m_used == 0) return;
    if (!m_failed && !WriteOut(m_block.get(), m_used)) m_failed = true;
    m_used = 0;
}

bool CDownloadFile::Finish(long long* size)
{
    if (size) *size = -1;
    if (!IsOpen()) return false;
    Flush();
    LARGE_INTEGER length;
    if (size && GetFileSizeEx(m_file, &length)) *size = length.QuadPart;
    bool ok = !m_failed;
    if (!CloseHandle(m_file)) ok = false;
    m_file = INVALID_HANDLE_VALUE;
    return ok;
}

void CDownloadFile::Close()
{
    if (IsOpen()) CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    m_used = 0;
}
