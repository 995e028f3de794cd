#include "CmdLineParser.h"
#include <wctype.h>

namespace {
const wchar_t kSwitchChars[] = L"-/";
const wchar_t kSeparators[] = L" :=";
}  // namespace

CCmdLineParser::CCmdLineParser(const wchar_t* text, bool caseSensitive) : m_caseSensitive(caseSensitive)
{
    if (text)
        Parse(text);
}

std::wstring CCmdLineParser::NormalizeKey(const std::wstring& key) const
{
    if (m_caseSensitive)
        return key;
    std::wstring lower(key);
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(towlower(c));
    return lower;
}

void CCmdLineParser::Store(const std::wstring& key, const std::wstring& value)
{
    if (key.empty())
        return;
    // insert() keeps an existing entry: the first occurrence of a key stays in force.
    m_keys.insert(KeyMap::value_type(NormalizeKey(key), value));
}

void CCmdLineParser::Parse(const wchar_t* commandLine)
{
    m_cmdLine = commandLine ? commandLine : L"";
    m_keys.clear();
    const std::wstring& text = m_cmdLine;
    const size_t npos = std::wstring::npos;

    size_t p = 0;
    for (;;) {
        size_t sw = text.find_first_of(kSwitchChars, p);
        if (sw == npos || sw + 1 >= text.size())
            return;
        size_t keyStart = sw + 1;
        size_t sep = text.find_first_of(kSeparators, keyStart);
        if (sep == npos) {
            Store(text.substr(keyStart), L"");
            return;
        }
        std::wstring key = text.substr(keyStart, sep - keyStart);
        size_t valueStart = text.find_first_not_of(kSeparators, sep);
        if (valueStart == npos || wcschr(kSwitchChars, text[valueStart])) {
            Store(key, L"");
            if (valueStart == npos)
                return;
            p = valueStart;
            continue;
        }
        size_t valueEnd;
        if (text[valueStart] == L'"') {
            ++valueStart;
            valueEnd = text.find(L'"', valueStart);
        } else {
            valueEnd = text.find(L' ', valueStart);
        }
        if (valueEnd == npos) {
            Store(key, text.substr(valueStart));
            return;
        }
        Store(key, text.substr(valueStart, valueEnd - valueStart));
        p = valueEnd + 1;
    }
}

CCmdLineParser::KeyMap::const_iterator CCmdLineParser::FindKey(const wchar_t* key) const
{
    return key ? m_keys.find(NormalizeKey(key)) : m_keys.end();
}

bool CCmdLineParser::HasKey(const wchar_t* key) const
{
    return FindKey(key) != m_keys.end();
}

const wchar_t* CCmdLineParser::GetValue(const wchar_t* key) const
{
    KeyMap::const_iterator it = FindKey(key);
    return it == m_keys.end() ? nullptr : it->second.c_str();
}
