#include "MsFile.h"

#include <shlwapi.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wchar.h>

CTime::CTime(const FILETIME& fileTime)
{
    if (fileTime.dwLowDateTime == 0 && fileTime.dwHighDateTime == 0)
        return;
    FILETIME local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&fileTime, &local) || !FileTimeToSystemTime(&local, &st))
        return;
    struct tm t = {};
    t.tm_year = st.wYear - 1900;
    t.tm_mon = st.wMonth - 1;
    t.tm_mday = st.wDay;
    t.tm_hour = st.wHour;
    t.tm_min = st.wMinute;
    t.tm_sec = st.wSecond;
    t.tm_isdst = -1;
    __time64_t seconds = _mktime64(&t);
    m_time = seconds == -1 ? 0 : static_cast<int64_t>(seconds);
}

// ---- exceptions ----

bool CException::GetErrorMessage(wchar_t* buffer, uint32_t size, uint32_t* helpContext) const
{
    return const_cast<CException*>(this)->GetErrorMessage(buffer, size, helpContext);
}

bool CException::GetErrorMessage(wchar_t* buffer, uint32_t size, uint32_t* helpContext)
{
    if (helpContext)
        *helpContext = 0;
    if (buffer && size)
        buffer[0] = L'\0';
    return false;
}

int32_t CException::ReportError(uint32_t, uint32_t)
{
    return 0;
}

bool CFileException::GetErrorMessage(wchar_t* buffer, uint32_t size, uint32_t* helpContext)
{
    if (helpContext)
        *helpContext = 0;
    return buffer && size;
}

int32_t CFileException::OsErrorToCause(int32_t osError)
{
    switch (osError) {
    case 0:
        return none;
    case 2: case 6: case 18: case 107:
        return fileNotFound;
    case 3: case 15: case 17: case 34: case 52: case 53: case 55: case 67: case 70: case 85: case 111:
    case 123: case 124: case 125: case 144: case 154: case 161: case 206: case 208: case 267:
        return badPath;
    case 4: case 36: case 68: case 113:
        return tooManyOpenFiles;
    case 5: case 12: case 19: case 29: case 54: case 58: case 64: case 65: case 71: case 80: case 82:
    case 86: case 170: case 183: case 999:
        return accessDenied;
    case 11: case 26: case 60: case 66: case 114: case 182: case 191: case 193:
        return invalidFile;
    case 16: case 145:
        return removeCurrentDir;
    case 62:
        return directoryFull;
    case 24: case 25: case 27: case 30: case 131: case 132:
        return badSeek;
    case 20: case 21: case 22: case 23: case 57: case 59: case 88: case 117: case 995: case 996: case 997:
        return hardIO;
    case 32:
        return sharingViolation;
    case 33: case 108: case 167:
        return lockViolation;
    case 39: case 112:
        return diskFull;
    case 38:
        return endOfFile;
    default:
        return genericException;
    }
}

void CFileException::ThrowOsError(int32_t osError, const wchar_t* fileName)
{
    if (osError != 0)
        throw new CFileException(OsErrorToCause(osError), osError, fileName);
}

// ---- paths and status ----

void MsGetRoot(const wchar_t* path, std::wstring& root)
{
    wchar_t buf[MAX_PATH] = {};
    if (path)
        lstrcpynW(buf, path, MAX_PATH);
    PathStripToRootW(buf);
    root = buf;
}

bool MsFullPath(wchar_t* out, const wchar_t* path, CFileException* error)
{
    out[0] = L'\0';
    wchar_t* filePart = nullptr;
    DWORD n = GetFullPathNameW(path, 260, out, &filePart);
    if (n == 0) {
        DWORD err = GetLastError();
        if (error) {
            error->m_lOsError = static_cast<int32_t>(err);
            error->m_cause = CFileException::OsErrorToCause(static_cast<int32_t>(err));
            error->m_strFileName = path;
        }
        out[0] = L'\0';
        return false;
    }
    if (n >= 260) {
        if (error) {
            error->m_cause = CFileException::badPath;
            error->m_strFileName = path;
        }
        out[0] = L'\0';
        return false;
    }

    std::wstring root;
    MsGetRoot(out, root);
    if (!root.empty() && root.back() != L'\\')
        root += L'\\';
    DWORD flags = 0;
    if (!GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
        return true;  // unknown volume: keep the spelling as given
    if (!(flags & FS_CASE_IS_PRESERVED))
        CharUpperW(out);
    if (!(flags & FS_UNICODE_STORED_ON_DISK)) {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW(path, &fd);
        if (h != INVALID_HANDLE_VALUE) {
            FindClose(h);
            wchar_t* last = wcsrchr(out, L'\\');
            wchar_t* tail = last ? last + 1 : out;
            size_t room = 260 - static_cast<size_t>(tail - out);
            if (wcslen(fd.cFileName) < room)
                wcscpy(tail, fd.cFileName);
        }
    }
    return true;
}

bool CMsFile::GetStatus(const wchar_t* path, CMsFileStatus& status)
{
    if (!path || wcslen(path) >= 260)
        return false;
    if (!MsFullPath(status.m_szFullName, path)) {
        status.m_szFullName[0] = L'\0';
        return false;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return false;
    status.m_attribute = static_cast<uint8_t>(data.dwFileAttributes & ~FILE_ATTRIBUTE_NORMAL);
    status.m_size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    status.m_mtime = CTime(data.ftLastWriteTime);
    status.m_ctime = CTime(data.ftCreationTime);
    status.m_atime = CTime(data.ftLastAccessTime);
    if (status.m_ctime.GetTime() == 0)
        status.m_ctime = status.m_mtime;
    if (status.m_atime.GetTime() == 0)
        status.m_atime = status.m_mtime;
    return true;
}

void CMsFile::Remove(const wchar_t* path)
{
    if (!DeleteFileW(path))
        CFileException::ThrowOsError(static_cast<int32_t>(GetLastError()), path);
}

// ---- directory enumeration ----

CMsFileFind::~CMsFileFind()
{
    Close();
}

void CMsFileFind::Close()
{
    delete m_pFoundInfo;
    m_pFoundInfo = nullptr;
    delete m_pNextInfo;
    m_pNextInfo = nullptr;
    if (m_hContext && m_hContext != INVALID_HANDLE_VALUE)
        CloseFindHandle();
    m_hContext = nullptr;
}

void CMsFileFind::CloseFindHandle()
{
    if (m_hContext && m_hContext != INVALID_HANDLE_VALUE)
        FindClose(m_hContext);
    m_hContext = nullptr;
}

bool CMsFileFind::FindFile(const wchar_t* pattern, uint32_t)
{
    Close();
    if (!pattern)
        pattern = L"*.*";
    else if (wcslen(pattern) >= MAX_PATH) {
        SetLastError(ERROR_BAD_ARGUMENTS);
        return false;
    }

    m_pNextInfo = new WIN32_FIND_DATAW();
    // No short names (nothing here reads them) and larger batches per system call.
    m_hContext = FindFirstFileExW(pattern, FindExInfoBasic, m_pNextInfo, FindExSearchNameMatch, nullptr,
                                  FIND_FIRST_EX_LARGE_FETCH);
    if (m_hContext == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        m_hContext = nullptr;
        Close();
        SetLastError(err);
        return false;
    }

    wchar_t full[MAX_PATH];
    wchar_t* filePart = nullptr;
    DWORD n = GetFullPathNameW(pattern, MAX_PATH, full, &filePart);
    if (n == 0 || n >= MAX_PATH) {
        Close();
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // The root is the full path up to its file part: splitting it into fixed drive and directory
    // buffers would overrun (or empty) them for a long directory part.
    m_strRoot = filePart ? std::wstring(full, filePart - full) : std::wstring(full);
    return true;
}

bool CMsFileFind::FindNextFile()
{
    if (!m_hContext)
        return false;
    if (!m_pFoundInfo)
        m_pFoundInfo = new WIN32_FIND_DATAW();
    WIN32_FIND_DATAW* t = m_pFoundInfo;
    m_pFoundInfo = m_pNextInfo;
    m_pNextInfo = t;
    return ::FindNextFileW(m_hContext, m_pNextInfo) != FALSE;
}

std::wstring CMsFileFind::GetFileName() const
{
    return m_pFoundInfo ? std::wstring(m_pFoundInfo->cFileName) : std::wstring();
}

std::wstring CMsFileFind::GetFilePath() const
{
    std::wstring path = m_strRoot;
    if (path.empty() || (path.back() != L'\\' && path.back() != L'/'))
        path += m_chDirSeparator;
    return path + GetFileName();
}

std::wstring CMsFileFind::GetFileTitle() const
{
    std::wstring name = GetFileName();
    wchar_t title[_MAX_FNAME] = {};
    if (!name.empty() && name.size() < _MAX_PATH)
        _wsplitpath(name.c_str(), nullptr, nullptr, title, nullptr);
    return title;
}

std::wstring CMsFileFind::GetFileUri() const
{
    return L"file://" + GetFilePath();
}

std::wstring CMsFileFind::GetRoot() const
{
    return m_strRoot;
}

bool CMsFileFind::GetFileTimeOf(FILETIME WIN32_FIND_DATAW::*which, FILETIME* out) const
{
    if (!m_pFoundInfo || !out)
        return false;
    *out = m_pFoundInfo->*which;
    return true;
}

bool CMsFileFind::GetTimeOf(FILETIME WIN32_FIND_DATAW::*which, CTime& out) const
{
    if (!m_pFoundInfo)
        return false;
    out = CTime(m_pFoundInfo->*which);
    return true;
}

bool CMsFileFind::GetLastWriteTime(CTime& time) const { return GetTimeOf(&WIN32_FIND_DATAW::ftLastWriteTime, time); }
bool CMsFileFind::GetLastWriteTime(FILETIME* time) const { return GetFileTimeOf(&WIN32_FIND_DATAW::ftLastWriteTime, time); }
bool CMsFileFind::GetLastAccessTime(CTime& time) const { return GetTimeOf(&WIN32_FIND_DATAW::ftLastAccessTime, time); }
bool CMsFileFind::GetLastAccessTime(FILETIME* time) const { return GetFileTimeOf(&WIN32_FIND_DATAW::ftLastAccessTime, time); }
bool CMsFileFind::GetCreationTime(CTime& time) const { return GetTimeOf(&WIN32_FIND_DATAW::ftCreationTime, time); }
bool CMsFileFind::GetCreationTime(FILETIME* time) const { return GetFileTimeOf(&WIN32_FIND_DATAW::ftCreationTime, time); }

bool CMsFileFind::TestAttributes(uint32_t mask) const
{
    return m_pFoundInfo && (m_pFoundInfo->dwFileAttributes & mask) != 0;
}

bool CMsFileFind::IsDotEntry() const
{
    if (!IsDirectory())
        return false;
    const wchar_t* n = m_pFoundInfo->cFileName;
    return (n[0] == L'.' && n[1] == L'\0') || (n[0] == L'.' && n[1] == L'.' && n[2] == L'\0');
}

uint64_t CMsFileFind::GetLength() const
{
    if (!m_pFoundInfo)
        return 0;
    return (static_cast<uint64_t>(m_pFoundInfo->nFileSizeHigh) << 32) | m_pFoundInfo->nFileSizeLow;
}
