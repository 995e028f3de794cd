// Switches and values of the updater's command line: "-u 12", "/c:12", "-name=\"a b\"".
#pragma once
#include <map>
#include <string>

class CCmdLineParser {
public:
    typedef std::map<std::wstring, std::wstring> KeyMap;

    explicit CCmdLineParser(const wchar_t* text = nullptr, bool caseSensitive = false);
    virtual ~CCmdLineParser() = default;

    void Parse(const wchar_t* commandLine);
    KeyMap::const_iterator FindKey(const wchar_t* key) const;
    bool HasKey(const wchar_t* key) const;
    // The value (possibly empty), or null when the key is absent.
    const wchar_t* GetValue(const wchar_t* key) const;

    const std::wstring& GetCmdLine() const { return m_cmdLine; }
    const KeyMap& GetKeys() const { return m_keys; }

private:
    std::wstring NormalizeKey(const std::wstring& key) const;
    void Store(const std::wstring& key, const std::wstring& value);

    std::wstring m_cmdLine;
    KeyMap m_keys;
    bool m_caseSensitive;
};
