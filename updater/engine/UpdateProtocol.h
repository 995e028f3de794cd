// The update service: check_update, get_version and post_version over HTTP GET, JSON replies,
// and the fetch of the version's server file list "netfilelist.ini".
#pragma once
#include <stdint.h>
#include <atomic>
#include <memory>
#include <string>

namespace Json {
class Value;
}

// One parsed JSON value (a reply of the update service).
class CJsonDocument {
public:
    CJsonDocument();
    ~CJsonDocument();

    // False when `text` is not valid JSON. Comments are allowed (and kept).
    bool Parse(const std::string& text);
    // The string member `key` of the parsed object. A missing or null member, or an empty array
    // or object, reads as "". Any other kind of member, or a root that is not an object, throws
    // (a std::exception).
    const char* GetString(const char* key) const;

    CJsonDocument(const CJsonDocument&) = delete;
    CJsonDocument& operator=(const CJsonDocument&) = delete;

private:
    std::unique_ptr<Json::Value> m_root;
};

// The get_version reply.
struct CVersionInfo {
    int32_t code = 0;
    std::string msg;
    std::string version_serverlist_md5;
    std::string version_serverlist_url;
    std::string version_url;
};

// The registry value "TestCheck" of HKLM "SOFTWARE\TARVEN" begins with a digit 1 to 9.
bool IsTestServerEnabled();
// The update service's host name (test or production), asked again on every call.
std::string GetUpdateServerHost();

// Full request URLs ("http://" + host + path and query).
std::string MakeCheckUpdateUrl(const std::string& host, uint32_t cafeId, const std::string& versionCode);
std::string MakeGetVersionUrl(const std::string& host, uint32_t cafeId, const std::string& versionCode);
std::string MakePostVersionUrl(const std::string& host, uint32_t cafeId, const std::string& versionCode);

// What the update query settles for the update manager.
struct CUpdateQueryResult {
    bool newVersion = false;   // check_update announced a newer version (code 101)
    std::string version;       // version text to record
    std::string versionCode;   // version code to record and report
    CVersionInfo info;         // the get_version reply
};

// Step 2 of an update for an installation in `appDir` (with a trailing backslash): reads
// "data\core.dat", asks check_update and get_version, and makes sure "netfilelist.ini" in
// `appDir` is the one announced. False on any failure (the manager's error 2).
// A set `cancel` flag aborts the requests and the list download (the query then fails).
bool QueryUpdate(const std::wstring& appDir, uint32_t cafeId, CUpdateQueryResult& result,
                 const std::atomic<bool>* cancel = nullptr);

// Step 8's report of the installed version ("data\core.dat" read again). False only when the
// version file cannot be read; the reply is not looked at.
bool PostVersion(const std::wstring& appDir, uint32_t cafeId, const std::atomic<bool>* cancel = nullptr);
