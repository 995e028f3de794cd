#include "UpdateFileList.h"

#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <wctype.h>
#include <map>

#include "FileHashPool.h"
#include "IniFile.h"
#include "MsFile.h"
#include "SysHelpers.h"

const char* const kEmptyFileMd5 = "d41d8cd98f00b204e9800998ecf8427e";

namespace {

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

wchar_t AsciiLowerW(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c;
}

// Case folding as ToLowerW does it.
inline wchar_t FoldW(wchar_t c)
{
    if (c < 0x80)
        return AsciiLowerW(c);
    return static_cast<wchar_t>(towlower(c));
}

bool EqualFolded(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && FoldW(a[i]) != FoldW(b[i]))
            return false;
    return true;
}

bool EqualNoCase(const std::wstring& text, const wchar_t* other)
{
    size_t n = wcslen(other);
    if (text.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (AsciiLowerW(text[i]) != AsciiLowerW(other[i]))
            return false;
    return true;
}

}  // namespace

bool Md5Equal(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

CUpdateFileList::~CUpdateFileList()
{
    DeleteAll(m_hashQueue);
    DeleteAll(m_pendingList);
    DeleteAll(m_downloadedList);
    DeleteAll(m_failedList);
    DeleteAll(m_scannedMap);
    DeleteAll(m_cachedMap);
    DeleteAll(m_serverMap);
}

void CUpdateFileList::DeleteAll(FileQueue& list)
{
    for (CFileInfo* info : list)
        delete info;
    list.clear();
}

void CUpdateFileList::DeleteAll(FileMap& map)
{
    for (auto& entry : map)
        delete entry.second;
    map.clear();
}

void CUpdateFileList::AddExcludedDir(const std::wstring& dir)
{
    std::wstring key = dir;
    if (key.empty() || key.back() != L'\\')
        key += L'\\';
    m_excluded.insert(ToLowerW(key));
}

void CUpdateFileList::AddExcludedFile(const std::wstring& file)
{
    m_excluded.insert(ToLowerW(file));
}

bool CUpdateFileList::IsExcluded(const std::wstring& path) const
{
    return IsExcludedLower(ToLowerW(path));
}

bool CUpdateFileList::IsExcludedLower(std::wstring rest) const
{
    if (!m_rootLower.empty() && rest.find(m_rootLower) != std::wstring::npos)
        rest = ReplaceAllW(rest, m_rootLower, L"");
    return m_excluded.count(rest) != 0;
}

void CUpdateFileList::ScanDir(const std::wstring& dir, int depth)
{
    if (depth == 0) {
        m_rootDir = dir;
        m_rootLower = ToLowerW(dir);
    }

    std::wstring pattern = dir;
    if (pattern.empty() || pattern.back() != L'\\')
        pattern += L'\\';
    pattern += L'*';

    CMsFileFind find;
    if (!find.FindFile(pattern.c_str(), 0))
        return;
    bool more = true;
    while (more) {
        more = find.FindNextFile();
        if (find.IsDotEntry() || find.IsSystem() || find.IsTemporary())
            continue;
        std::wstring path = find.GetFilePath();
        std::wstring lower = ToLowerW(path);
        if (find.IsDirectory()) {
            if (!IsExcludedLower(lower + L"\\"))
                ScanDir(path, depth + 1);
        } else if (!IsExcludedLower(lower)) {
            OnFileFound(find, std::move(path), std::move(lower));
        }
    }
    find.Close();
}

void CUpdateFileList::OnFileFound(CMsFileFind& find)
{
    std::wstring fullPath = find.GetFilePath();
    std::wstring fullKey = ToLowerW(fullPath);
    OnFileFound(find, std::move(fullPath), std::move(fullKey));
}

void CUpdateFileList::OnFileFound(CMsFileFind& find, std::wstring fullPath, std::wstring fullKey)
{
    std::wstring name = find.GetFileName();
    int64_t size = int64_t(find.GetLength());
    CTime written;
    int64_t seconds = find.GetLastWriteTime(written) ? int64_t(written.GetTime()) : 0;
    uint32_t time = uint32_t(seconds);
    if (time == 0)
        time = 0xFFFFFFFFu;

    size_t dot = name.rfind(L'.');
    if ((dot != std::wstring::npos && EqualNoCase(name.substr(dot), L".lnk")) || EqualNoCase(name, L"thumbs.db"))
        return;

    // Lower-casing goes character by character, so the relative key is the tail of the full one.
    std::wstring key = fullKey.size() > m_rootDir.size() ? fullKey.substr(m_rootDir.size()) : std::wstring();
    if (CFileInfo* cached = FindUnchangedCached(key, time, size)) {
        m_cachedMap.erase(key);
        cached->path = std::move(fullPath);
        CFileInfo*& slot = m_scannedMap[std::move(fullKey)];
        delete slot;
        slot = cached;
        return;
    }

    CFileInfo* info = new CFileInfo;
    info->size = size;
    info->path = std::move(fullPath);
    info->time = time;
    if (size == 0) {
        CFileInfo*& slot = m_scannedMap[std::move(fullKey)];
        delete slot;
        slot = info;
    } else {
        m_hashQueue.push_back(info);
    }
}

CFileInfo* CUpdateFileList::FindUnchangedCached(const std::wstring& path, uint32_t time, int64_t size) const
{
    auto it = m_cachedMap.find(path);
    if (it == m_cachedMap.end())
        return nullptr;
    CFileInfo* info = it->second;
    if (info->time != time || info->size != size || !EqualFolded(info->path, path))
        return nullptr;
    return info;
}

bool CUpdateFileList::HashNextFile()
{
    if (m_hashQueue.empty())
        return false;
    CFileInfo* info = m_hashQueue.front();
    m_hashQueue.pop_front();
    std::string md5;
    if (GetFileMd5(info->path.c_str(), md5) != 0)
        md5.clear();
    StoreHashed(info, md5);
    return true;
}

void CUpdateFileList::StoreHashed(CFileInfo* info, std::string& md5)
{
    info->md5.swap(md5);
    CFileInfo*& slot = m_scannedMap[ToLowerW(info->path)];
    if (slot != info)
        delete slot;
    slot = info;
}

void CUpdateFileList::HashQueuedFiles(const std::function<bool()>& cancelled)
{
    const unsigned workers = CFileHashPool::DefaultWorkerCount();
    if (workers < 2 || m_hashQueue.size() < 2) {
        while (!(cancelled && cancelled()) && HashNextFile()) {
        }
        return;
    }
    // The records stay in the queue while their files are read; the results go into the map
    // afterwards in queue order, so that records of the same key replace each other as in a
    // sequential run, and what a cancel leaves unhashed stays queued.
    std::vector<CFileInfo*> files(m_hashQueue.begin(), m_hashQueue.end());
    std::vector<std::string> md5s(files.size());
    size_t started = 0;
    {
        CFileHashPool pool(workers);
        for (;;) {
            pool.WaitForIdleWorker();
            if ((cancelled && cancelled()) || started == files.size())
                break;
            pool.Submit(files[started]->path, md5s[started]);
            ++started;
        }
    }
    for (size_t i = 0; i < started; ++i) {
        m_hashQueue.pop_front();
        StoreHashed(files[i], md5s[i]);
    }
}

bool CUpdateFileList::LoadFileList(const std::string& iniPath)
{
    CIniFile ini;
    if (!ini.Load(iniPath, false))
        return false;
    for (unsigned n = 0;; ++n) {
        CIniSection* section = ini.FindSection(std::to_string(n));
        if (!section)
            break;
        CFileInfo* info = new CFileInfo;
        info->path = AnsiToWide(section->GetValue("path"));
        info->md5 = section->GetValue("md5");
        // Written as 32 unsigned bits, read back as a signed 32-bit number: a file of 2 GiB or
        // more never matches its record and is hashed again.
        info->size = int64_t(int32_t(uint32_t(strtoul(section->GetValue("size").c_str(), nullptr, 10))));
        info->time = uint32_t(strtoul(section->GetValue("time").c_str(), nullptr, 10));
        CFileInfo*& slot = m_cachedMap[ToLowerW(info->path)];
        delete slot;
        slot = info;
    }
    return true;
}

bool CUpdateFileList::SaveFileList(const std::string& iniPath)
{
    CIniFile ini;
    ini.AddSection("Config")->SetValue("files", std::to_string(m_scannedMap.size()));
    unsigned index = 0;
    for (const auto& entry : m_scannedMap) {
        const CFileInfo* info = entry.second;
        CIniSection* section = ini.AddSection(std::to_string(index++));
        std::wstring relative = info->path.size() > m_rootDir.size() ? info->path.substr(m_rootDir.size()) : std::wstring();
        section->SetValue("path", WideToAnsi(relative));
        section->SetValue("size", std::to_string(uint32_t(uint64_t(info->size))));
        section->SetValue("time", std::to_string(info->time));
        section->SetValue("md5", info->md5);
    }
    return ini.Save(iniPath);
}

const std::string& CUpdateFileList::LocalMd5(const CFileInfo& info)
{
    // Empty files are never hashed; they stand for the MD5 of zero bytes, so that an empty file
    // of the server's list counts as present. A file that could not be read stays unknown.
    static const std::string emptyFile(kEmptyFileMd5);
    if (info.md5.empty() && info.size == 0)
        return emptyFile;
    return info.md5;
}

int32_t CUpdateFileList::CompareWithNetList(const std::string& iniPath)
{
    CIniFile ini;
    ini.Load(iniPath, false);
    ReadNetFiles(ini);
    ReadBatFiles(ini);
    ReadAppFiles(ini);

    for (auto it = m_serverMap.begin(); it != m_serverMap.end();) {
        auto local = m_scannedMap.find(it->first);
        if (local != m_scannedMap.end()) {
            const std::string& md5 = LocalMd5(*local->second);
            if (!md5.empty() && Md5Equal(md5, it->second->md5)) {
                ++it;
                continue;
            }
        }
        m_pendingList.push_back(it->second);
        it = m_serverMap.erase(it);
    }
    m_pendingCount = int32_t(m_pendingList.size());
    return m_pendingCount;
}

void CUpdateFileList::ReadNetFiles(CIniFile& ini)
{
    std::wstring root = ToLowerW(m_rootDir);
    for (unsigned n = 0;; ++n) {
        CIniSection* section = ini.FindSection(std::to_string(n));
        if (!section)
            break;
        std::string url = section->GetValue("url");
        std::string path = section->GetValue("path");
        // A section may give only the address; the path then follows from it.
        if (path.size() < url.size())
            path = ReplaceAllA(url, "/", "\\");
        CFileInfo* info = new CFileInfo;
        info->path = AnsiToWide(path);
        info->md5 = section->GetValue("md5");
        info->url = url;
        CFileInfo*& slot = m_serverMap[root + ToLowerW(info->path)];
        delete slot;
        slot = info;
    }
}

namespace {

// The values of "file1" ... "file<filecount>" of a section, in that order. Taken from the keys the
// section holds, so that a huge "filecount" costs nothing: only existing keys can give a value.
std::vector<std::string> NumberedFiles(const CIniSection& section)
{
    const long long count = atoi(section.GetValue("filecount").c_str());
    std::map<long long, std::string> found;
    for (const std::string& name : section.GetKeyNames()) {
        // "file" and a number as std::to_string writes it: no sign, no leading zero.
        if (name.size() < 5 || CIniNameLess::Compare(name.substr(0, 4), "file") != 0 || name[4] == '0' ||
            name.size() > 4 + 18)
            continue;
        long long n = 0;
        bool digits = true;
        for (size_t i = 4; i < name.size() && digits; ++i) {
            digits = name[i] >= '0' && name[i] <= '9';
            n = n * 10 + (name[i] - '0');
        }
        if (!digits || n < 1 || n > count)
            continue;
        std::string value = section.GetValue(name);
        if (!value.empty())
            found[n] = value;
    }
    std::vector<std::string> files;
    for (const auto& entry : found)
        files.push_back(entry.second);
    return files;
}

}  // namespace

void CUpdateFileList::ReadBatFiles(CIniFile& ini)
{
    CIniSection* section = ini.FindSection("batfiles");
    if (!section)
        return;
    for (const std::string& file : NumberedFiles(*section))
        m_batchFiles.push_back(file);
}

void CUpdateFileList::ReadAppFiles(CIniFile& ini)
{
    CIniSection* section = ini.FindSection("appfiles");
    if (!section)
        return;
    for (const std::string& file : NumberedFiles(*section))
        m_companionPrograms.push_back(AnsiToWide(file));
    std::string mainServer = section->GetValue("mainserver");
    if (!mainServer.empty()) {
        m_mainProgram = AnsiToWide(mainServer);
        m_companionPrograms.push_back(m_mainProgram);
    }
}

void ScanLocalFiles(CUpdateFileList& list, std::wstring& appDir, const std::function<bool()>& cancelled)
{
    AddTrailingBackslash(appDir);
    std::string iniPath = WideToAnsi(appDir + L"filelist.ini");
    list.LoadFileList(iniPath);

    static const wchar_t* const excludedDirs[] = {
        L"download", L"upgradebak", L"MySql\\data", L"DbBack", L"Wendrake",
        L"web\\htdocs\\pos\\data\\upload\\analysipic", L"Audio\\audioconvert",
    };
    static const wchar_t* const excludedFiles[] = {
        L"filelist.ini", L"netfilelist.ini", L"Data\\core.dat", L"update\\Talvoric\\Talvoric.zip",
        L"update\\Console\\Console.zip", L"update\\Audio\\Audio.zip", L"update\\Plimsel\\Plimsel.zip",
    };
    for (const wchar_t* dir : excludedDirs)
        list.AddExcludedDir(dir);
    for (const wchar_t* file : excludedFiles)
        list.AddExcludedFile(file);

    list.ScanDir(appDir, 0);
    list.HashQueuedFiles(cancelled);
    list.SaveFileList(iniPath);
}

int32_t AnalyseUpdate(CUpdateFileList& list, const std::wstring& appDir)
{
    return list.CompareWithNetList(WideToAnsi(appDir + L"netfilelist.ini"));
}
