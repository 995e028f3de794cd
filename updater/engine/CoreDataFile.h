// The shared version file data\core.dat: version text and version code joined by "@",
// enciphered with DesCrypt, guarded by a named mutex shared with every process that reads it.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <string>

// Waits on a mutex that someone else owns the handle of.
class CScopedMutexLock {
public:
    // With `waitNow`, waits at once without a time limit.
    CScopedMutexLock(HANDLE mutex, bool waitNow);
    // Releases the mutex when this object still holds it.
    ~CScopedMutexLock();
    // True only when the mutex was acquired normally. An abandoned mutex counts as not acquired
    // and is released again at once, so that no thread keeps it for ever.
    bool Wait(uint32_t timeoutMs);
    void Release();

    CScopedMutexLock(const CScopedMutexLock&) = delete;
    CScopedMutexLock& operator=(const CScopedMutexLock&) = delete;

private:
    HANDLE m_mutex;
    bool m_held = false;
};

class CCoreDataFile {
public:
    // Mode 1: the updater's mutex "UpdateFile"; mode 0: "UpdateFile_pellmora".
    explicit CCoreDataFile(int32_t mode);
    // The same file guarded by a mutex of another name (the console's own spelling).
    CCoreDataFile(int32_t mode, const char* mutexName);
    ~CCoreDataFile();

    void SetPath(const std::string& path) { m_path = path; }
    // Reads and splits the file; on success the cache holds both parts.
    bool Read(uint32_t timeoutMs);
    // The cached parts, read first (1000 ms wait) when one of them is empty.
    bool Get(std::string& versionText, std::string& versionCode);
    // Records both parts (cache first); the file is replaced whole or not at all.
    bool Write(const std::string& versionText, const std::string& versionCode, uint32_t timeoutMs);

    HANDLE GetMutex() const { return m_mutex; }

    CCoreDataFile(const CCoreDataFile&) = delete;
    CCoreDataFile& operator=(const CCoreDataFile&) = delete;

private:
    void CreateSharedMutex(int32_t mode);
    void CreateNamedMutex(const char* name);

    std::string m_path;
    HANDLE m_mutex = nullptr;
    int32_t m_mode;
    std::string m_first;
    std::string m_second;
};
