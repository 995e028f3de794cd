#include "CodePage.h"

#include <windows.h>

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

namespace {

// The UTF-16 unit of the four characters at `p`, or -1 when one of them is not a hex digit.
long EscapedUnit(const char* p)
{
    long unit = 0;
    for (int i = 0; i < 4; ++i) {
        int digit = HexDigitValue(p[i]);
        if (digit < 0)
            return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

// Characters that would end a JSON string or start an escape of their own: the parser must see
// their escapes, not the characters.
bool IsJsonSyntax(unsigned char c)
{
    return c == '"' || c == '\\' || c < 0x20;
}

}  // namespace

std::string UnescapeUnicode(const char* text, size_t length)
{
    std::string out;
    if (!text)
        return out;
    out.reserve(length);
    size_t i = 0;
    while (i < length) {
        char c = text[i];
        if (c != '\\' || i + 1 >= length) {
            out += c;
            ++i;
            continue;
        }
        char next = text[i + 1];
        if (next == '\\') {
            // An escaped backslash: what follows it is plain text, not an escape.
            out.append(text + i, 2);
            i += 2;
            continue;
        }
        if (next != 'u' || length - i < 6) {
            out += c;
            ++i;
            continue;
        }
        long unit = EscapedUnit(text + i + 2);
        if (unit < 0) {
            out += c;
            ++i;
            continue;
        }
        // Escapes of JSON syntax stay for the parser; so does a character that the code page
        // maps (best fit) onto a control character.
        bool keep = unit < 0x80 && IsJsonSyntax(static_cast<unsigned char>(unit));
        char converted[8] = {};
        int n = 0;
        if (!keep) {
            wchar_t wide = static_cast<wchar_t>(unit);
            n = WideCharToMultiByte(CP_ACP, 0, &wide, 1, converted, 7, nullptr, nullptr);
            for (int k = 0; k < n; ++k)
                if (static_cast<unsigned char>(converted[k]) < 0x20)
                    keep = true;
        }
        if (keep) {
            out.append(text + i, 6);
        } else {
            // A double-byte character may end in the byte of a backslash (GBK's 0x5C trail
            // byte): escaped for the parser, which then hands back the code page's own bytes.
            for (int k = 0; k < n; ++k) {
                if (converted[k] == '"' || converted[k] == '\\')
                    out += '\\';
                out += converted[k];
            }
        }
        i += 6;
    }
    return out;
}
