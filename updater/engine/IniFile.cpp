#include "IniFile.h"
#include "SysHelpers.h"

#include <locale.h>
#include <fstream>
#include <mutex>
#include <istream>
#include <ostream>

int CIniNameLess::Compare(const std::string& a, const std::string& b)
{
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z')
            ca = static_cast<unsigned char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z')
            cb = static_cast<unsigned char>(cb - 'A' + 'a');
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool CIniNameLess::operator()(const CIniSection* a, const CIniSection* b) const { return Compare(a->GetName(), b->GetName()) < 0; }
bool CIniNameLess::operator()(const CIniSection* a, const std::string& b) const { return Compare(a->GetName(), b) < 0; }
bool CIniNameLess::operator()(const std::string& a, const CIniSection* b) const { return Compare(a, b->GetName()) < 0; }
bool CIniNameLess::operator()(const CIniKey* a, const CIniKey* b) const { return Compare(a->GetName(), b->GetName()) < 0; }
bool CIniNameLess::operator()(const CIniKey* a, const std::string& b) const { return Compare(a->GetName(), b) < 0; }
bool CIniNameLess::operator()(const std::string& a, const CIniKey* b) const { return Compare(a, b->GetName()) < 0; }

CIniSection::~CIniSection()
{
    Clear();
}

CIniKey* CIniSection::FindKey(std::string name) const
{
    Trim(name);
    auto it = m_keys.find(name);
    return it == m_keys.end() ? nullptr : *it;
}

CIniKey* CIniSection::AddKey(std::string name)
{
    Trim(name);
    auto it = m_keys.lower_bound(name);
    if (it != m_keys.end() && CIniNameLess::Compare((*it)->GetName(), name) == 0)
        return *it;
    CIniKey* key = new CIniKey(this, name);
    m_keys.insert(it, key);
    return key;
}

std::string CIniSection::GetValue(std::string key) const
{
    CIniKey* k = FindKey(key);
    return k ? k->GetValue() : std::string();
}

std::vector<std::string> CIniSection::GetKeyNames() const
{
    std::vector<std::string> names;
    names.reserve(m_keys.size());
    for (const CIniKey* k : m_keys)
        names.push_back(k->GetName());
    return names;
}

void CIniSection::SetValue(std::string key, std::string value)
{
    AddKey(std::move(key))->SetValue(std::move(value));
}

void CIniSection::Clear()
{
    for (CIniKey* k : m_keys)
        delete k;
    m_keys.clear();
}

void SetProcessLocaleOnce()
{
    // Case-insensitive comparisons and character classes elsewhere in the program follow the
    // simplified-Chinese code page from here on.
    static std::once_flag once;
    std::call_once(once, [] { setlocale(LC_ALL, "chs"); });
}

CIniFile::CIniFile()
{
    SetProcessLocaleOnce();
}

CIniFile::~CIniFile()
{
    Clear();
}

namespace {
// The streams' own buffer is a few hundred bytes: a file list of thousands of records would be
// read and written in as many system calls.
const size_t kStreamBuffer = 64 * 1024;
}  // namespace

bool CIniFile::Load(const std::string& path, bool keep)
{
    std::vector<char> buffer(kStreamBuffer);
    std::ifstream in;
    in.rdbuf()->pubsetbuf(buffer.data(), std::streamsize(buffer.size()));
    in.open(path.c_str(), std::ios::in | std::ios::binary);
    if (!in.is_open())
        return false;
    ReadFrom(in, keep);
    return true;
}

void CIniFile::ReadFrom(std::istream& in, bool keep)
{
    if (!keep)
        Clear();
    CIniSection* current = nullptr;
    std::string line;
    while (std::getline(in, line)) {
        TrimLeft(line, " \t");
        TrimRight(line, "\r\n");
        if (line.empty())
            continue;
        std::string::size_type lastReal = line.find_last_not_of(" \t\r\n");
        bool section = line[0] == '[' && lastReal != std::string::npos && line[lastReal] == ']';
        std::string::size_type eq = line.find('=');
        if (section) {
            std::string name = line.size() >= 2 ? line.substr(1, line.size() - 2) : std::string();
            current = AddSection(name);
        } else if (eq != std::string::npos && eq > 0) {
            if (current)
                current->AddKey(line.substr(0, eq))->SetValue(line.substr(eq + 1));
        }
        // Comments ("#...") and anything else are dropped.
    }
}

bool CIniFile::Save(const std::string& path) const
{
    std::vector<char> buffer(kStreamBuffer);
    std::ofstream out;
    out.rdbuf()->pubsetbuf(buffer.data(), std::streamsize(buffer.size()));
    out.open(path.c_str(), std::ios::out | std::ios::binary | std::ios::trunc);
    if (!out.is_open())
        return false;
    WriteTo(out);
    out.close();
    return true;
}

void CIniFile::WriteTo(std::ostream& out) const
{
    for (const CIniSection* s : m_sections) {
        out << '[' << s->GetName() << "]\r\n";
        for (const CIniKey* k : s->m_keys)
            out << k->GetName() << '=' << k->GetValue() << "\r\n";
    }
}

CIniSection* CIniFile::FindSection(std::string name) const
{
    Trim(name);
    auto it = m_sections.find(name);
    return it == m_sections.end() ? nullptr : *it;
}

CIniSection* CIniFile::AddSection(std::string name)
{
    Trim(name);
    auto it = m_sections.lower_bound(name);
    if (it != m_sections.end() && CIniNameLess::Compare((*it)->GetName(), name) == 0)
        return *it;
    CIniSection* section = new CIniSection(this, name);
    m_sections.insert(it, section);
    return section;
}

void CIniFile::Clear()
{
    for (CIniSection* s : m_sections)
        delete s;
    m_sections.clear();
}
