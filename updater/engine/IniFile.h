// The updater's INI reader and writer: narrow ANSI text, sections and keys sorted by name without
// regard to letter case, lines ended by CR LF. Used for filelist.ini and netfilelist.ini.
#pragma once
#include <iosfwd>
#include <set>
#include <string>
#include <vector>

class CIniFile;
class CIniSection;
class CIniKey;

// Orders names by a case-insensitive comparison (ASCII letters folded to lower case).
struct CIniNameLess {
    using is_transparent = void;
    static int Compare(const std::string& a, const std::string& b);
    bool operator()(const std::string& a, const std::string& b) const { return Compare(a, b) < 0; }
    bool operator()(const CIniSection* a, const CIniSection* b) const;
    bool operator()(const CIniSection* a, const std::string& b) const;
    bool operator()(const std::string& a, const CIniSection* b) const;
    bool operator()(const CIniKey* a, const CIniKey* b) const;
    bool operator()(const CIniKey* a, const std::string& b) const;
    bool operator()(const std::string& a, const CIniKey* b) const;
};

class CIniKey {
public:
    CIniKey(CIniSection* owner, const std::string& name) : m_owner(owner), m_name(name) {}
    const std::string& GetName() const { return m_name; }
    std::string GetValue() const { return m_value; }
    void SetValue(const std::string& value) { m_value = value; }
    void SetValue(std::string&& value) { m_value = std::move(value); }
    CIniSection* GetOwner() const { return m_owner; }

private:
    CIniSection* m_owner;
    std::string m_name;
    std::string m_value;
};

class CIniSection {
public:
    CIniSection(CIniFile* owner, const std::string& name) : m_owner(owner), m_name(name) {}
    ~CIniSection();
    const std::string& GetName() const { return m_name; }
    CIniKey* FindKey(std::string name) const;
    CIniKey* AddKey(std::string name);
    std::string GetValue(std::string key) const;
    size_t GetKeyCount() const { return m_keys.size(); }
    // Every key's name, in the section's order.
    std::vector<std::string> GetKeyNames() const;
    void SetValue(std::string key, std::string value);
    void Clear();
    CIniFile* GetOwner() const { return m_owner; }

    CIniSection(const CIniSection&) = delete;
    CIniSection& operator=(const CIniSection&) = delete;

private:
    friend class CIniFile;
    CIniFile* m_owner;
    std::string m_name;
    std::set<CIniKey*, CIniNameLess> m_keys;
};

// Sets the process's run-time locale to simplified Chinese ("chs"), once per process. The program
// entry calls it before any other thread runs: setting a locale races with formatting elsewhere.
void SetProcessLocaleOnce();

class CIniFile {
public:
    // Makes sure the process's run-time locale is simplified Chinese ("chs"): SetProcessLocaleOnce.
    CIniFile();
    ~CIniFile();

    bool Load(const std::string& path, bool keep = false);
    void ReadFrom(std::istream& in, bool keep = false);
    bool Save(const std::string& path) const;
    void WriteTo(std::ostream& out) const;

    CIniSection* FindSection(std::string name) const;
    CIniSection* AddSection(std::string name);
    void Clear();

    CIniFile(const CIniFile&) = delete;
    CIniFile& operator=(const CIniFile&) = delete;

private:
    std::set<CIniSection*, CIniNameLess> m_sections;
};
