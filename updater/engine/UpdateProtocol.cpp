#include "UpdateProtocol.h"

#include <windows.h>
#include <stdlib.h>

#include <json/json.h>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "CoreDataFile.h"
#include "Downloader.h"
#include "HttpClient.h"
#include "MsFile.h"
#include "SysHelpers.h"
#include "UpdateFileList.h"

#ifndef TOLLVANE_UPDATE_HOST
#define TOLLVANE_UPDATE_HOST "update.tollvane.invalid"
#endif
#ifndef TOLLVANE_UPDATE_TEST_HOST
#define TOLLVANE_UPDATE_TEST_HOST "update-test.tollvane.invalid"
#endif

CJsonDocument::CJsonDocument() : m_root(new Json::Value) {}

CJsonDocument::~CJsonDocument() = default;

bool CJsonDocument::Parse(const std::string& text)
{
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    builder["collectComments"] = true;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors))
        return false;
    *m_root = std::move(root);
    return true;
}

const char* CJsonDocument::GetString(const char* key) const
{
    // Strictly a string: the service sends every member as text, and a number where text is
    // expected means a reply of another shape.
    if (!m_root->isObject())
        throw std::runtime_error("reply is not a JSON object");
    const Json::Value* member = m_root->find(key, key + strlen(key));
    if (!member || member->isNull())
        return "";
    if (member->isString())
        return member->asCString();
    if ((member->isArray() || member->isObject()) && member->empty())
        return "";
    throw std::runtime_error(std::string("reply member is not a string: ") + key);
}

bool IsTestServerEnabled()
{
    // The 32-bit view, where the shipped (32-bit) program finds the value on a 64-bit system too.
    CRegistry registry;
    HKEY key = nullptr;
    if (!registry.OpenKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TARVEN", key, KEY_ALL_ACCESS | KEY_WOW64_32KEY))
        return false;
    wchar_t text[128] = {};
    DWORD size = sizeof(text);
    bool found = registry.QueryValue(key, L"TestCheck", text, &size);
    registry.CloseKey(key);
    return found && text[0] >= L'1' && text[0] <= L'9';
}

namespace {

std::string HostName(const char* configured)
{
    // The configuration may name the host with its scheme; requests add "http://" themselves.
    std::string host = configured;
    const std::string scheme = "http://";
    if (host.compare(0, scheme.size(), scheme) == 0)
        host.erase(0, scheme.size());
    while (!host.empty() && host.back() == '/')
        host.pop_back();
    return host;
}

std::string MakeUrl(const std::string& host, const char* action, uint32_t cafeId, const std::string& versionCode)
{
    return "http://" + host + "/index.php?g=home&m=api&a=" + action + "&netbarid=" + std::to_string(cafeId) +
           "&version=" + versionCode;
}

// One GET with a fresh client; true when the transfer completed (whatever the HTTP status).
bool Get(const std::string& url, std::string& body, const std::atomic<bool>* cancel)
{
    CHttpClient client;
    if (!client.Init())
        return false;
    client.SetCancelFlag(cancel);
    if (!client.Request(url.c_str(), true, nullptr, nullptr))
        return false;
    body = client.GetBody();
    return true;
}

// The service's JSON text is UTF-8; the updater's narrow strings are ANSI (code page 936 on the
// cafés' machines).
std::string Member(const CJsonDocument& reply, const char* key)
{
    const char* utf8 = reply.GetString(key);
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (n <= 1)
        return std::string();
    std::wstring wide(n - 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], n);
    return WideToAnsi(wide);
}

bool ReadInstalledVersion(const std::wstring& appDir, std::string& version, std::string& versionCode)
{
    CCoreDataFile file(1);
    file.SetPath(WideToAnsi(appDir + L"data\\core.dat"));
    if (!file.Read(1000))
        return false;
    return file.Get(version, versionCode);
}

bool FileMd5Equals(const std::wstring& path, const std::string& md5)
{
    std::string actual;
    return GetFileMd5(path.c_str(), actual) == 0 && Md5Equal(actual, md5);
}

// Makes sure the server file list at `path` is the announced one.
bool SyncServerFileList(const std::wstring& path, const CVersionInfo& info, const std::atomic<bool>* cancel)
{
    if (FileExists(path)) {
        if (FileMd5Equals(path, info.version_serverlist_md5))
            return true;
        // An outdated list that cannot be deleted fails the query instead of the worker: the
        // download could not replace it anyway.
        try {
            CMsFile::Remove(path.c_str());
        } catch (CFileException* e) {
            delete e;
            OutputDebugStringA("SyncData file Delete Error!");
            return false;
        } catch (...) {
            OutputDebugStringA("SyncData file Delete Error!");
            return false;
        }
    }

    std::string ansiPath = WideToAnsi(path);
    size_t slash = ansiPath.rfind('\\');
    std::string dir = slash == std::string::npos ? std::string() : ansiPath.substr(0, slash);
    if (!CreateDirectoryTreeA(dir.c_str())) {
        OutputDebugStringA("SyncData file CreateDir Error!");
        return false;
    }

    CDownloader downloader;
    bool clientError = false;
    downloader.SetCancelFlag(cancel);
    if (!downloader.Init(info.version_serverlist_url, ansiPath) || !downloader.Download(&clientError)) {
        OutputDebugStringA("SyncData file Download Error!");
        return false;
    }
    downloader.Close();
    return FileMd5Equals(path, info.version_serverlist_md5);
}

}  // namespace

std::string GetUpdateServerHost()
{
    return HostName(IsTestServerEnabled() ? TOLLVANE_UPDATE_TEST_HOST : TOLLVANE_UPDATE_HOST);
}

std::string MakeCheckUpdateUrl(const std::string& host, uint32_t cafeId, const std::string& versionCode)
{
    return MakeUrl(host, "check_update", cafeId, versionCode);
}

std::string MakeGetVersionUrl(const std::string& host, uint32_t cafeId, const std::string& versionCode)
{
    return MakeUrl(host, "get_version", cafeId, versionCode);
}

std::string MakePostVersionUrl(const std::string& host, uint32_t cafeId, const std::string& versionCode)
{
    return MakeUrl(host, "post_version", cafeId, versionCode) + "&state=3";
}

bool QueryUpdate(const std::wstring& appDir, uint32_t cafeId, CUpdateQueryResult& result,
                 const std::atomic<bool>* cancel)
{
    result.newVersion = false;

    std::string installedVersion, installedCode;
    if (!ReadInstalledVersion(appDir, installedVersion, installedCode)) {
        OutputDebugStringW(L"读取版本失败!");
        return false;
    }

    std::string version, versionCode;
    const std::vector<std::string> hosts = {GetUpdateServerHost()};
    for (const std::string& host : hosts) {
        std::string body;
        if (!Get(MakeCheckUpdateUrl(host, cafeId, installedCode), body, cancel))
            continue;
        try {
            CJsonDocument reply;
            if (reply.Parse(body)) {
                int code = atoi(reply.GetString("code"));
                if (code == 101) {
                    std::string newCode = Member(reply, "version_code");
                    std::string newVersion = Member(reply, "version");
                    // "@" joins the two in data\core.dat: such a text would read back split
                    // wrongly, and every later request would send a wrong code.
                    if (newCode.find('@') != std::string::npos || newVersion.find('@') != std::string::npos)
                        break;
                    versionCode = newCode;
                    version = newVersion;
                    result.newVersion = true;
                } else if (code == 102) {
                    versionCode = installedCode;
                    version = installedVersion;
                }
            }
        } catch (const std::exception&) {
        }
        break;
    }
    if (version.empty() || versionCode.empty()) {
        OutputDebugStringW(L"读取版本失败2!");
        return false;
    }
    result.version = version;
    result.versionCode = versionCode;

    bool answered = false;
    std::string body;
    if (Get(MakeGetVersionUrl(GetUpdateServerHost(), cafeId, versionCode), body, cancel)) {
        try {
            CJsonDocument reply;
            if (reply.Parse(body)) {
                CVersionInfo info;
                info.code = atoi(reply.GetString("code"));
                info.msg = Member(reply, "msg");
                info.version_serverlist_md5 = Member(reply, "version_serverlist_md5");
                info.version_serverlist_url = Member(reply, "version_serverlist_url");
                info.version_url = Member(reply, "version_url");
                result.info = info;
                answered = true;
            }
        } catch (const std::exception&) {
        }
    }
    if (!answered || result.info.code != 101) {
        OutputDebugStringW(L"查询新版本失败!");
        return false;
    }

    return SyncServerFileList(appDir + L"netfilelist.ini", result.info, cancel);
}

bool PostVersion(const std::wstring& appDir, uint32_t cafeId, const std::atomic<bool>* cancel)
{
    std::string version, versionCode;
    if (!ReadInstalledVersion(appDir, version, versionCode)) {
        OutputDebugStringW(L"读取版本失败!");
        return false;
    }
    const std::vector<std::string> hosts = {GetUpdateServerHost()};
    for (const std::string& host : hosts) {
        std::string body;
        Get(MakePostVersionUrl(host, cafeId, versionCode), body, cancel);
    }
    return true;
}
