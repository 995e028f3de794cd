// The updater's own small file-system classes: directory enumeration, file status and deletion,
// and the exception that deletion throws.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <string>

// A calendar time in seconds since 1970 (0 when unknown).
class CTime {
public:
    CTime() = default;
    explicit CTime(int64_t seconds) : m_time(seconds) {}
    // From a file time (UTC): converted to local time, then through the run-time's local-time
    // conversion back to seconds since 1970; a zero file time gives 0.
    explicit CTime(const FILETIME& fileTime);
    int64_t GetTime() const { return m_time; }
    bool operator==(const CTime& other) const { return m_time == other.m_time; }
    bool operator!=(const CTime& other) const { return m_time != other.m_time; }

private:
    int64_t m_time = 0;
};

struct CMsFileStatus {
    CTime m_ctime;               // creation
    CTime m_mtime;               // last write
    CTime m_atime;               // last access
    int64_t m_size = 0;
    uint8_t m_attribute = 0;     // file attributes without FILE_ATTRIBUTE_NORMAL
    wchar_t m_szFullName[260] = {};
};

class CException {
public:
    CException() = default;
    virtual bool GetErrorMessage(wchar_t* buffer, uint32_t size, uint32_t* helpContext = nullptr) const;
    virtual bool GetErrorMessage(wchar_t* buffer, uint32_t size, uint32_t* helpContext = nullptr);
    virtual int32_t ReportError(uint32_t type = 0, uint32_t messageId = 0);
    virtual ~CException() = default;

    int32_t m_bAutoDelete = 1;
};

class CFileException : public CException {
public:
    enum {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    CFileException(int32_t cause = none, int32_t osError = -1, const wchar_t* fileName = nullptr)
        : m_cause(cause), m_lOsError(osError), m_strFileName(fileName ? fileName : L"") {}
    using CException::GetErrorMessage;
    bool GetErrorMessage(wchar_t* buffer, uint32_t size, uint32_t* helpContext = nullptr) override;
    ~CFileException() override = default;

    static int32_t OsErrorToCause(int32_t osError);
    // Throws a heap-allocated CFileException for a non-zero system error; 0 throws nothing.
    static void ThrowOsError(int32_t osError, const wchar_t* fileName = nullptr);

    int32_t m_cause;
    int32_t m_lOsError;
    std::wstring m_strFileName;
};

class CMsFile {
public:
    static bool GetStatus(const wchar_t* path, CMsFileStatus& status);
    // Deletes the file; throws CFileException* when that fails.
    static void Remove(const wchar_t* path);
};

// Full path of `path` in a buffer of 260 characters, in the spelling the volume keeps.
bool MsFullPath(wchar_t* out, const wchar_t* path, CFileException* error = nullptr);
void MsGetRoot(const wchar_t* path, std::wstring& root);

// Enumerates one directory. Call FindFile, then FindNextFile; handle the current entry after each
// call and stop after handling it when the call returned false.
class CMsFileFind {
public:
    CMsFileFind() = default;
    virtual ~CMsFileFind();

    virtual std::wstring GetFileName() const;
    virtual std::wstring GetFilePath() const;
    virtual std::wstring GetFileTitle() const;
    virtual std::wstring GetFileUri() const;
    virtual std::wstring GetRoot() const;
    virtual bool GetLastWriteTime(CTime& time) const;
    virtual bool GetLastWriteTime(FILETIME* time) const;
    virtual bool GetLastAccessTime(CTime& time) const;
    virtual bool GetLastAccessTime(FILETIME* time) const;
    virtual bool GetCreationTime(CTime& time) const;
    virtual bool GetCreationTime(FILETIME* time) const;
    virtual bool TestAttributes(uint32_t mask) const;
    virtual bool IsDotEntry() const;
    virtual bool FindFile(const wchar_t* pattern = nullptr, uint32_t flags = 0);
    virtual bool FindNextFile();
    virtual void CloseFindHandle();

    void Close();
    uint64_t GetLength() const;
    // The current entry as the system gave it (null before the first step): a walk over thousands
    // of entries reads the name, size and time from it without copying them.
    const WIN32_FIND_DATAW* GetFindData() const { return m_pFoundInfo; }
    bool IsDirectory() const { return TestAttributes(FILE_ATTRIBUTE_DIRECTORY); }
    bool IsSystem() const { return TestAttributes(FILE_ATTRIBUTE_SYSTEM); }
    bool IsTemporary() const { return TestAttributes(FILE_ATTRIBUTE_TEMPORARY); }

    CMsFileFind(const CMsFileFind&) = delete;
    CMsFileFind& operator=(const CMsFileFind&) = delete;

private:
    bool GetFileTimeOf(FILETIME WIN32_FIND_DATAW::*which, FILETIME* out) const;
    bool GetTimeOf(FILETIME WIN32_FIND_DATAW::*which, CTime& out) const;

    WIN32_FIND_DATAW* m_pFoundInfo = nullptr;
    WIN32_FIND_DATAW* m_pNextInfo = nullptr;
    HANDLE m_hContext = nullptr;
    std::wstring m_strRoot;
    wchar_t m_chDirSeparator = L'\\';
};
