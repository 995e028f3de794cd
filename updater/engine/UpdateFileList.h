// The installation's file list (scanned, with an MD5 cache in "filelist.ini") and the server's
// file list ("netfilelist.ini"), and what has to be downloaded to bring one up to the other.
#pragma once
#include <stdint.h>
#include <atomic>
#include <functional>
#include <list>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class CIniFile;
class CMsFileFind;

// One file: of the installation (scanned or cached) or of the server's list.
struct CFileInfo {
    int64_t size = 0;
    uint32_t time = 0;     // last-write time, seconds since 1970 (local), 0 stored as 0xFFFFFFFF
    std::wstring path;     // full path when scanned; relative when cached or from the server
    std::string md5;       // 32 lower-case hex digits; empty for an empty or unreadable file
    std::string url;       // server records only
};

// The MD5 of zero bytes: what an empty installed file is compared as.
extern const char* const kEmptyFileMd5;

// MD5 texts are compared without regard to letter case.
bool Md5Equal(const std::string& a, const std::string& b);

class CUpdateFileList {
public:
    // Ordered by code units; found also by a wstring_view, so that a lookup needs no key string.
    typedef std::map<std::wstring, CFileInfo*, std::less<>> FileMap;
    typedef std::set<std::wstring, std::less<>> NameSet;
    typedef std::list<CFileInfo*> FileQueue;

    CUpdateFileList() = default;
    ~CUpdateFileList();
    CUpdateFileList(const CUpdateFileList&) = delete;
    CUpdateFileList& operator=(const CUpdateFileList&) = delete;

    // Local half: exclusions, the walk, hashing and the cache file.
    void AddExcludedDir(const std::wstring& dir);
    void AddExcludedFile(const std::wstring& file);
    bool IsExcluded(const std::wstring& path) const;
    void ScanDir(const std::wstring& dir, int depth);
    void OnFileFound(CMsFileFind& find);
    CFileInfo* FindUnchangedCached(const std::wstring& path, uint32_t time, int64_t size) const;
    bool HashNextFile();
    // Hashes the queue on a few worker threads, in queue order, asking `cancelled` before each
    // file exactly as a loop of HashNextFile would; the outcome equals that loop's.
    void HashQueuedFiles(const std::function<bool()>& cancelled);
    bool LoadFileList(const std::string& iniPath);
    bool SaveFileList(const std::string& iniPath);

    // Server half: read "netfilelist.ini" and settle the pending list.
    int32_t CompareWithNetList(const std::string& iniPath);
    void ReadNetFiles(CIniFile& ini);
    void ReadBatFiles(CIniFile& ini);
    void ReadAppFiles(CIniFile& ini);

    // Replacement half: downloads into "download", moves with backups into "upgradebak", batch
    // files, and the console's stop and start.
    int32_t DownloadNextFile(const std::string& versionUrl, const std::atomic<bool>* cancel = nullptr);
    bool GetDownloadResult(int32_t& downloaded, int32_t& failed) const;
    int32_t InstallDownloadedFiles();
    bool GetMoveFailures(int32_t& count) const;
    bool RunBatFiles();
    bool StartMainProgram();
    bool StopMainProgram();
    bool IsMainProgramRunning() const;

    int32_t GetPendingCount() const { return m_pendingCount; }
    int32_t GetRemainingCount() const { return m_remainingCount; }
    const std::wstring& GetRootDir() const { return m_rootDir; }
    const std::wstring& GetMainProgram() const { return m_mainProgram; }
    const FileQueue& GetHashQueue() const { return m_hashQueue; }
    const FileQueue& GetPendingList() const { return m_pendingList; }
    const FileQueue& GetDownloadedList() const { return m_downloadedList; }
    const FileQueue& GetFailedList() const { return m_failedList; }
    const NameSet& GetExcludedSet() const { return m_excluded; }
    const FileMap& GetScannedMap() const { return m_scannedMap; }
    const FileMap& GetCachedMap() const { return m_cachedMap; }
    const FileMap& GetServerMap() const { return m_serverMap; }
    const std::vector<std::string>& GetBatchFiles() const { return m_batchFiles; }
    const std::vector<std::wstring>& GetCompanionPrograms() const { return m_companionPrograms; }

private:
    static void DeleteAll(FileQueue& list);
    static void DeleteAll(FileMap& map);
    // The MD5 a scanned record stands for in the comparison ("" when it is unknown).
    static const std::string& LocalMd5(const CFileInfo& info);
    // Puts a hashed record into the scanned map under its lower-cased path.
    void StoreHashed(CFileInfo* info, std::string& md5);
    // IsExcluded and OnFileFound for a path already lower-cased: the walk lower-cases each
    // entry's path once for both, and copies it only into the records it keeps.
    bool IsExcludedLower(const std::wstring& lowerPath) const;
    void OnFileFound(CMsFileFind& find, const std::wstring& fullPath, const std::wstring& fullKey);
    FileMap::const_iterator FindUnchangedCachedEntry(std::wstring_view path, uint32_t time, int64_t size) const;

    int32_t m_pendingCount = 0;
    int32_t m_remainingCount = 0;
    std::wstring m_rootDir;
    std::wstring m_rootLower;   // m_rootDir lower-cased, for the exclusion test of every entry
    std::wstring m_mainProgram;
    FileQueue m_hashQueue;
    FileQueue m_pendingList;
    FileQueue m_downloadedList;
    FileQueue m_failedList;
    NameSet m_excluded;
    FileMap m_scannedMap;
    FileMap m_cachedMap;
    FileMap m_serverMap;
    std::vector<std::string> m_batchFiles;
    std::vector<std::wstring> m_companionPrograms;
};

// Moves src to dst, copying across volumes but never replacing an existing dst; 0 or the
// system's error code.
uint32_t MoveFileKeepingProgress(const std::wstring& src, const std::wstring& dst, CFileInfo* record);

// Step 1 of an update after the directory check: load the cache, exclude the places that are
// never compared, walk the installation, hash what changed (until `cancelled` says stop) and save
// the cache again. `appDir` gets a trailing backslash when it lacks one.
void ScanLocalFiles(CUpdateFileList& list, std::wstring& appDir, const std::function<bool()>& cancelled);

// Step 3: the number of server files to download.
int32_t AnalyseUpdate(CUpdateFileList& list, const std::wstring& appDir);
