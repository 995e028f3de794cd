// Test helpers shared by the zip and markup tests: a small zip writer that puts every field of an
// archive under the test's control, and a temporary folder that is the current directory.
#pragma once
#include <windows.h>
#include <zlib.h>
#include <stdint.h>
#include <string>
#include <vector>

namespace ziptest {

struct Member {
    std::string name;         // bytes as stored
    std::string data;
    bool deflate = false;
    uint32_t external = 0x81A40000; // Unix 0644, regular file
    std::string localExtra;
    uint16_t dosTime = 0x6000;      // 12:00:00
    uint16_t dosDate = 0x5821;      // 2024-01-01
};

inline void Put16(std::string& s, uint32_t v)
{
    s += (char)(v & 0xFF);
    s += (char)((v >> 8) & 0xFF);
}

inline void Put32(std::string& s, uint32_t v)
{
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

inline std::string RawDeflate(const std::string& in)
{
    z_stream zs = {};
    deflateInit2(&zs, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, (uLong)in.size()) + 16, '\0');
    zs.next_in = (Bytef*)in.data();
    zs.avail_in = (uInt)in.size();
    zs.next_out = (Bytef*)&out[0];
    zs.avail_out = (uInt)out.size();
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

inline std::string BuildZip(const std::vector<Member>& members)
{
    std::string body, central;
    for (const Member& m : members) {
        std::string stored = m.deflate ? RawDeflate(m.data) : m.data;
        uint32_t crc = crc32(0, (const Bytef*)m.data.data(), (uInt)m.data.size());
        uint32_t offset = (uint32_t)body.size();
        Put32(body, 0x04034b50);
        Put16(body, 20);
        Put16(body, 0);
        Put16(body, m.deflate ? 8 : 0);
        Put16(body, m.dosTime);
        Put16(body, m.dosDate);
        Put32(body, crc);
        Put32(body, (uint32_t)stored.size());
        Put32(body, (uint32_t)m.data.size());
        Put16(body, (uint32_t)m.name.size());
        Put16(body, (uint32_t)m.localExtra.size());
        body += m.name + m.localExtra + stored;

        Put32(central, 0x02014b50);
        Put16(central, (m.external & 0xFFFF0000) ? 0x0314 : 0x0014);
        Put16(central, 20);
        Put16(central, 0);
        Put16(central, m.deflate ? 8 : 0);
        Put16(central, m.dosTime);
        Put16(central, m.dosDate);
        Put32(central, crc);
        Put32(central, (uint32_t)stored.size());
        Put32(central, (uint32_t)m.data.size());
        Put16(central, (uint32_t)m.name.size());
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, m.external);
        Put32(central, offset);
        central += m.name;
    }
    std::string zip = body + central;
    Put32(zip, 0x06054b50);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, (uint32_t)members.size());
    Put16(zip, (uint32_t)members.size());
    Put32(zip, (uint32_t)central.size());
    Put32(zip, (uint32_t)body.size());
    Put16(zip, 0);
    return zip;
}

inline Member Make(const std::string& name, const std::string& data, bool deflate = false)
{
    Member m;
    m.name = name;
    m.data = data;
    m.deflate = deflate;
    return m;
}

inline std::string Pattern(size_t n)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = (char)("skin data "[i % 10] + (i / 997) % 7);
    return s;
}

inline std::string Gbk(const std::wstring& w)
{
    int n = WideCharToMultiByte(936, 0, w.c_str(), (int)w.size(), NULL, 0, NULL, NULL);
    std::string s((size_t)n, '\0');
    WideCharToMultiByte(936, 0, w.c_str(), (int)w.size(), &s[0], n, NULL, NULL);
    return s;
}

// A temporary folder that is also the current directory while the test runs.
class TempFolder
{
public:
    TempFolder()
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        m_path = std::wstring(base) + L"uizip_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(GetTickCount());
        CreateDirectoryW(m_path.c_str(), NULL);
        m_path += L"\\";
        m_work = m_path + L"work\\";
        CreateDirectoryW(m_work.c_str(), NULL);
        wchar_t cwd[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, cwd);
        m_oldCwd = cwd;
        SetCurrentDirectoryW(m_work.c_str());
    }
    ~TempFolder()
    {
        SetCurrentDirectoryW(m_oldCwd.c_str());
        Remove(m_path.substr(0, m_path.size() - 1));
    }
    const std::wstring& Path() const { return m_path; }
    const std::wstring& Work() const { return m_work; }
    std::wstring Write(const std::wstring& name, const std::string& data) const
    {
        std::wstring full = m_path + name;
        HANDLE h = CreateFileW(full.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD done = 0;
        WriteFile(h, data.data(), (DWORD)data.size(), &done, NULL);
        CloseHandle(h);
        return full;
    }

private:
    static void Remove(const std::wstring& dir)
    {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::wstring n = fd.cFileName;
                if (n == L"." || n == L"..")
                    continue;
                std::wstring p = dir + L"\\" + n;
                SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    Remove(p);
                else
                    DeleteFileW(p.c_str());
            } while (FindNextFileW(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryW(dir.c_str());
    }
    std::wstring m_path, m_work, m_oldCwd;
};

inline bool Exists(const std::wstring& p)
{
    return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string ReadAll(const std::wstring& p)
{
    HANDLE h = CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string s(GetFileSize(h, NULL), '\0');
    DWORD done = 0;
    if (!s.empty())
        ReadFile(h, &s[0], (DWORD)s.size(), &done, NULL);
    CloseHandle(h);
    return s;
}

} // namespace ziptest

using namespace ziptest;
