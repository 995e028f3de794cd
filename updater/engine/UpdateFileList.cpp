#include "UpdateFileList.h"

#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <wctype.h>
#include <algorithm>
#include <fstream>
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

// Appends `text` lower-cased as ToLowerW would.
void AppendLower(std::wstring& out, const wchar_t* text)
{
    for (; *text; ++text)
        out += FoldW(*text);
}

bool EqualFolded(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && FoldW(a[i]) != FoldW(b[i]))
            return false;
    return true;
}

bool EqualNoCase(const wchar_t* text, const wchar_t* other)
{
    for (; *text && *other; ++text, ++other)
        if (AsciiLowerW(*text) != AsciiLowerW(*other))
            return false;
    return *text == *other;
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

bool CUpdateFileList::IsExcludedLower(const std::wstring& lowerPath) const
{
    std::wstring_view rest(lowerPath);
    if (!m_rootLower.empty()) {
        const size_t rootLength = m_rootLower.size();
        // The walk's paths begin with the root and hold it nowhere else: what is left is the tail.
        if (lowerPath.compare(0, rootLength, m_rootLower) == 0 &&
            lowerPath.find(m_rootLower, rootLength) == std::wstring::npos)
            rest.remove_prefix(rootLength);
        else if (lowerPath.find(m_rootLower) != std::wstring::npos)
            return m_excluded.count(ReplaceAllW(lowerPath, m_rootLower, L"")) != 0;
    }
    return m_excluded.find(rest) != m_excluded.end();
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
    // Each entry's path is the search's root and the entry's name, as GetFilePath gives it: the
    // root and its lower-cased form are made once, and each entry only appends its name to them.
    std::wstring path = find.GetRoot();
    if (path.empty() || (path.back() != L'\\' && path.back() != L'/'))
        path += L'\\';
    std::wstring lower = ToLowerW(path);
    const size_t rootLength = path.size();
    bool more = true;
    while (more) {
        more = find.FindNextFile();
        if (find.IsDotEntry() || find.IsSystem() || find.IsTemporary())
            continue;
        const wchar_t* name = find.GetFindData()->cFileName;
        path.resize(rootLength);
        path += name;
        lower.resize(rootLength);
        AppendLower(lower, name);
        if (find.IsDirectory()) {
            lower += L'\\';
            if (!IsExcludedLower(lower))
                ScanDir(path, depth + 1);
        } else if (!IsExcludedLower(lower)) {
            OnFileFound(find, path, lower);
        }
    }
    find.Close();
}

void CUpdateFileList::OnFileFound(CMsFileFind& find)
{
    std::wstring fullPath = find.GetFilePath();
    OnFileFound(find, fullPath, ToLowerW(fullPath));
}

void CUpdateFileList::OnFileFound(CMsFileFind& find, const std::wstring& fullPath, const std::wstring& fullKey)
{
    const WIN32_FIND_DATAW* data = find.GetFindData();
    const wchar_t* name = data ? data->cFileName : L"";
    int64_t size = int64_t(find.GetLength());
    CTime written;
    int64_t seconds = find.GetLastWriteTime(written) ? int64_t(written.GetTime()) : 0;
    uint32_t time = uint32_t(seconds);
    if (time == 0)
        time = 0xFFFFFFFFu;

    const wchar_t* dot = wcsrchr(name, L'.');
    if ((dot && EqualNoCase(dot, L".lnk")) || EqualNoCase(name, L"thumbs.db"))
        return;

    // Lower-casing goes character by character, so the relative key is the tail of the full one.
    std::wstring_view key;
    if (fullKey.size() > m_rootDir.size())
        key = std::wstring_view(fullKey).substr(m_rootDir.size());
    auto cached = FindUnchangedCachedEntry(key, time, size);
    if (cached != m_cachedMap.end()) {
        CFileInfo* info = cached->second;
        m_cachedMap.erase(cached);
        info->path = fullPath;
        CFileInfo*& slot = m_scannedMap[fullKey];
        delete slot;
        slot = info;
        return;
    }

    CFileInfo* info = new CFileInfo;
    info->size = size;
    info->path = fullPath;
    info->time = time;
    if (size == 0) {
        CFileInfo*& slot = m_scannedMap[fullKey];
        delete slot;
        slot = info;
    } else {
        m_hashQueue.push_back(info);
    }
}

CFileInfo* CUpdateFileList::FindUnchangedCached(const std::wstring& path, uint32_t time, int64_t size) const
{
    auto it = FindUnchangedCachedEntry(path, time, size);
    return it == m_cachedMap.end() ? nullptr : it->second;
}

CUpdateFileList::FileMap::const_iterator CUpdateFileList::FindUnchangedCachedEntry(std::wstring_view path,
                                                                                   uint32_t time, int64_t size) const
{
    auto it = m_cachedMap.find(path);
    if (it == m_cachedMap.end())
        return it;
    const CFileInfo* info = it->second;
    if (info->time != time || info->size != size || !EqualFolded(info->path, path))
        return m_cachedMap.end();
    return it;
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

namespace {

// filelist.ini is read and written here directly rather than through a CIniFile: a routine run
// has thousands of records, and a general INI tree costs a dozen allocations per record. The
// reader keeps CIniFile's rules (below); the writer gives the text CIniFile would write.

enum FileListKey { kKeyPath, kKeyMd5, kKeySize, kKeyTime, kKeyCount };

// One numbered section as read: each key's last value, as a range of the file's text.
struct FileListSection {
    bool present = false;
    const char* value[kKeyCount] = {};
    size_t length[kKeyCount] = {};
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The record key a name stands for, compared as CIniFile compares names; -1 for any other name.
int FileListKeyOf(const char* name, size_t length)
{
    static const char* const names[kKeyCount] = {"path", "md5", "size", "time"};
    for (int k = 0; k < kKeyCount; ++k) {
        size_t i = 0;
        while (i < length && names[k][i] && AsciiLower(name[i]) == names[k][i])
            ++i;
        if (i == length && !names[k][i])
            return k;
    }
    return -1;
}

// The number a section name stands for when it is a number as std::to_string writes it.
bool SectionNumber(const char* name, size_t length, uint64_t& number)
{
    if (length == 0 || length > 10 || (name[0] == '0' && length > 1))
        return false;
    uint64_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
        n = n * 10 + unsigned(name[i] - '0');
    }
    // Kept at 64 bits: a 32-bit size_t would wrap "4294967296" to section 0.
    number = n;
    return true;
}

// The numbered sections of an INI text, with CIniFile's rules: lines end at LF; blanks and tabs
// before a line and CR or LF after it are dropped; "[name]" opens a section (its name without
// surrounding blanks, a repeated section continuing the earlier one); "key=value" sets a key of
// the current section (the key without surrounding blanks, compared without regard to case, the
// last value winning); anything else is ignored. Only sections 0 .. n-1 that all exist are ever
// looked at, so a number beyond the count of lines cannot matter.
std::vector<FileListSection> ReadFileListSections(const std::string& text)
{
    const size_t lines = size_t(std::count(text.begin(), text.end(), '\n')) + 1;
    std::vector<FileListSection> sections;
    FileListSection* current = nullptr;  // null before the first section and in other sections
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const char* newline = static_cast<const char*>(memchr(p, '\n', size_t(end - p)));
        const char* begin = p;
        const char* stop = newline ? newline : end;
        p = newline ? newline + 1 : end;
        while (begin < stop && IsBlank(*begin))
            ++begin;
        while (stop > begin && (stop[-1] == '\r' || stop[-1] == '\n'))
            --stop;
        if (begin == stop)
            continue;
        const char* last = stop;
        while (last > begin && (IsBlank(last[-1]) || last[-1] == '\r' || last[-1] == '\n'))
            --last;
        if (*begin == '[' && last > begin && last[-1] == ']') {
            const char* name = begin + 1;
            const char* nameEnd = stop - 1;
            while (name < nameEnd && IsBlank(*name))
                ++name;
            while (nameEnd > name && IsBlank(nameEnd[-1]))
                --nameEnd;
            current = nullptr;
            uint64_t number = 0;
            if (SectionNumber(name, size_t(nameEnd - name), number) && number < lines) {
                if (number >= sections.size())
                    sections.resize(size_t(number) + 1);
                current = &sections[size_t(number)];
                current->present = true;
            }
            continue;
        }
        const char* eq = static_cast<const char*>(memchr(begin, '=', size_t(stop - begin)));
        if (!eq || eq == begin || !current)
            continue;
        const char* keyEnd = eq;
        while (keyEnd > begin && IsBlank(keyEnd[-1]))
            --keyEnd;
        int key = FileListKeyOf(begin, size_t(keyEnd - begin));
        if (key >= 0) {
            current->value[key] = eq + 1;
            current->length[key] = size_t(stop - (eq + 1));
        }
    }
    return sections;
}

unsigned long ReadUnsigned(const char* text, size_t length)
{
    const std::string value(text, length);
    return strtoul(value.c_str(), nullptr, 10);
}

// Calls visit(n) for n = 0 .. count-1 in the order of their decimal names compared as text
// ("0", "1", "10", "100", ..., "2", ...): the order CIniFile keeps sections in.
template <class Visit>
void ForEachInNameOrder(size_t count, Visit visit)
{
    if (count == 0)
        return;
    visit(size_t(0));
    size_t n = 1;
    for (size_t done = 1; done < count; ++done) {
        visit(n);
        if (n * 10 < count) {
            n *= 10;
        } else {
            while (n % 10 == 9 || n + 1 >= count)
                n /= 10;
            ++n;
        }
    }
}

void AppendDecimal(std::string& out, uint64_t value)
{
    char digits[20];
    char* first = digits + sizeof(digits);
    do {
        *--first = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    out.append(first, size_t(digits + sizeof(digits) - first));
}

// Appends `text` in the ANSI code page, as WideToAnsi converts it.
void AppendAnsi(std::string& out, const wchar_t* text, size_t length)
{
    if (length == 0)
        return;
    int n = WideCharToMultiByte(CP_ACP, 0, text, int(length), nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return;
    size_t at = out.size();
    out.resize(at + size_t(n));
    WideCharToMultiByte(CP_ACP, 0, text, int(length), &out[at], n, nullptr, nullptr);
}

}  // namespace

bool CUpdateFileList::LoadFileList(const std::string& iniPath)
{
    // Names are lower-cased under the process's locale, which the INI classes set on first use.
    SetProcessLocaleOnce();
    std::ifstream in(iniPath.c_str(), std::ios::in | std::ios::binary);
    if (!in.is_open())
        return false;
    std::string text;
    char chunk[64 * 1024];
    while (in.read(chunk, sizeof(chunk)) || in.gcount() > 0)
        text.append(chunk, size_t(in.gcount()));
    in.close();

    const std::vector<FileListSection> sections = ReadFileListSections(text);
    for (size_t n = 0; n < sections.size() && sections[n].present; ++n) {
        const FileListSection& section = sections[n];
        CFileInfo* info = new CFileInfo;
        info->path = AnsiToWide(section.value[kKeyPath], section.length[kKeyPath]);
        info->md5.assign(section.value[kKeyMd5] ? section.value[kKeyMd5] : "", section.length[kKeyMd5]);
        // Written as 32 unsigned bits, read back as a signed 32-bit number: a file of 2 GiB or
        // more never matches its record and is hashed again.
        info->size = int64_t(int32_t(uint32_t(ReadUnsigned(section.value[kKeySize], section.length[kKeySize]))));
        info->time = uint32_t(ReadUnsigned(section.value[kKeyTime], section.length[kKeyTime]));
        CFileInfo*& slot = m_cachedMap[ToLowerW(info->path)];
        delete slot;
        slot = info;
    }
    return true;
}

bool CUpdateFileList::SaveFileList(const std::string& iniPath)
{
    SetProcessLocaleOnce();
    std::vector<const CFileInfo*> records;
    records.reserve(m_scannedMap.size());
    for (const auto& entry : m_scannedMap)
        records.push_back(entry.second);

    std::string text;
    text.reserve(records.size() * 100 + 32);
    ForEachInNameOrder(records.size(), [&](size_t index) {
        const CFileInfo* info = records[index];
        text += '[';
        AppendDecimal(text, index);
        text += "]\r\nmd5=";
        text += info->md5;
        text += "\r\npath=";
        if (info->path.size() > m_rootDir.size())
            AppendAnsi(text, info->path.data() + m_rootDir.size(), info->path.size() - m_rootDir.size());
        text += "\r\nsize=";
        AppendDecimal(text, uint32_t(uint64_t(info->size)));
        text += "\r\ntime=";
        AppendDecimal(text, info->time);
        text += "\r\n";
    });
    text += "[Config]\r\nfiles=";
    AppendDecimal(text, records.size());
    text += "\r\n";

    std::ofstream out;
    out.open(iniPath.c_str(), std::ios::out | std::ios::binary | std::ios::trunc);
    if (!out.is_open())
        return false;
    out.write(text.data(), std::streamsize(text.size()));
    out.close();
    return true;
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
