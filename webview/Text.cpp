#include "Text.h"

#include <windows.h>

#include <cctype>
#include <vector>

namespace webview {

std::wstring Utf8ToWide(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w(n, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
    return w;
}

std::string WideToUtf8(const std::wstring& w) {
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
    return s;
}

std::string AnsiToUtf8(const std::string& s, unsigned codePage) {
    if (s.empty()) return std::string();
    int n = MultiByteToWideChar(codePage, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w(n, L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, s.data(), (int)s.size(), &w[0], n);
    return WideToUtf8(w);
}

std::string ToLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (unsigned char)s[b] <= ' ') ++b;
    while (e > b && (unsigned char)s[e - 1] <= ' ') --e;
    return s.substr(b, e - b);
}

static std::string CharsetOf(const std::string& text) {
    std::string low = ToLower(text);
    size_t p = low.find("charset");
    if (p == std::string::npos) return std::string();
    p += 7;
    while (p < low.size() && (low[p] == ' ' || low[p] == '=' || low[p] == '"' || low[p] == '\'')) ++p;
    size_t e = p;
    while (e < low.size() && (isalnum((unsigned char)low[e]) || low[e] == '-' || low[e] == '_')) ++e;
    return low.substr(p, e - p);
}

namespace {

// Copies UTF-8 with every invalid sequence replaced by U+FFFD; counts both kinds of sequence.
std::string CleanUtf8(const std::string& s, size_t* bad, size_t* goodMultibyte) {
    std::string out;
    out.reserve(s.size());
    *bad = *goodMultibyte = 0;
    const unsigned char* p = (const unsigned char*)s.data();
    size_t n = s.size(), i = 0;
    while (i < n) {
        unsigned c = p[i];
        if (c < 0x80) {
            out += (char)c;
            ++i;
            continue;
        }
        size_t len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        bool ok = len && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) ok = (p[i + k] & 0xC0) == 0x80;
        if (ok && len == 3) {
            unsigned cp = ((c & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6);
            ok = cp >= 0x800 && !(cp >= 0xD800 && cp <= 0xDFFF);
        }
        if (ok && len == 4) {
            unsigned cp = ((c & 0x07) << 18) | ((p[i + 1] & 0x3F) << 12);
            ok = cp >= 0x10000 && cp <= 0x10FFFF;
        }
        if (ok) {
            out.append(s, i, len);
            i += len;
            ++*goodMultibyte;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
            ++*bad;
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::string& s, bool bigEndian) {
    std::wstring w;
    for (size_t i = 0; i + 1 < s.size(); i += 2) {
        unsigned char a = (unsigned char)s[i], b = (unsigned char)s[i + 1];
        w += (wchar_t)(bigEndian ? (a << 8) | b : (b << 8) | a);
    }
    return WideToUtf8(w);
}

bool IsGbkName(const std::string& cs) {
    return cs == "gbk" || cs == "gb2312" || cs == "gb18030" || cs == "x-gbk" || cs == "cp936" || cs == "gb_2312-80";
}

}  // namespace

std::string PageCharset(const std::string& body, const std::string& contentType) {
    std::string cs = CharsetOf(contentType);
    if (cs.empty()) {
        // A <meta charset> or http-equiv Content-Type in the first 1,024 bytes.
        std::string head = ToLower(body.substr(0, 1024));
        size_t m = head.find("<meta");
        while (m != std::string::npos && cs.empty()) {
            size_t end = head.find('>', m);
            cs = CharsetOf(head.substr(m, end == std::string::npos ? std::string::npos : end - m));
            m = head.find("<meta", m + 5);
        }
    }
    return cs;
}

std::string PageToUtf8(const std::string& body, const std::string& contentType) {
    // A byte-order mark decides before anything else.
    if (body.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        size_t bad, good;
        return CleanUtf8(body.substr(3), &bad, &good);
    }
    if (body.compare(0, 2, "\xFF\xFE") == 0) return Utf16ToUtf8(body.substr(2), false);
    if (body.compare(0, 2, "\xFE\xFF") == 0) return Utf16ToUtf8(body.substr(2), true);
    std::string cs = PageCharset(body, contentType);
    if (IsGbkName(cs)) return AnsiToUtf8(body, 936);
    if (cs == "iso-8859-1" || cs == "latin1" || cs == "windows-1252" || cs == "us-ascii")
        return AnsiToUtf8(body, 1252);
    if (cs == "utf-16le" || cs == "utf-16") return Utf16ToUtf8(body, false);
    if (cs == "utf-16be") return Utf16ToUtf8(body, true);
    size_t bad = 0, good = 0;
    std::string clean = CleanUtf8(body, &bad, &good);
    if (cs == "utf-8" || cs == "utf8") return clean;
    // Undeclared: UTF-8 while at least four in five of the non-ASCII sequences are valid (GBK
    // read as UTF-8 makes a valid sequence only now and then, by chance).
    if (bad == 0 || good >= 4 * bad) return clean;
    return AnsiToUtf8(body, 936);
}

static std::string RemoveDotSegments(const std::string& path) {
    std::vector<std::string> out;
    size_t i = 0;
    bool trailing = false;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        std::string seg = path.substr(i, j - i);
        trailing = false;
        if (seg == "..") {
            if (!out.empty()) out.pop_back();
            trailing = true;
        } else if (seg == ".") {
            trailing = true;
        } else if (!seg.empty() || j == path.size()) {
            out.push_back(seg);
        }
        i = j + 1;
    }
    std::string r;
    for (size_t k = 0; k < out.size(); ++k) r += "/" + out[k];
    if (trailing) r += "/";
    return r.empty() ? "/" : r;
}

std::string ResolveUrl(const std::string& base, const std::string& urlIn) {
    std::string url = Trim(urlIn);
    size_t hash = url.find('#');
    if (hash != std::string::npos) url.erase(hash);
    // Absolute: a scheme of letters before ':'.
    size_t colon = url.find(':');
    if (colon != std::string::npos && colon > 0) {
        bool scheme = isalpha((unsigned char)url[0]) != 0;
        for (size_t k = 0; k < colon && scheme; ++k)
            scheme = isalnum((unsigned char)url[k]) || url[k] == '+' || url[k] == '-' || url[k] == '.';
        if (scheme) return url;
    }
    std::string b = base;
    size_t bh = b.find('#');
    if (bh != std::string::npos) b.erase(bh);
    size_t se = b.find("://");
    if (se == std::string::npos) return url;
    std::string scheme = b.substr(0, se);
    size_t hostEnd = b.find_first_of("/?", se + 3);
    std::string origin = b.substr(0, hostEnd);
    std::string rest = hostEnd == std::string::npos ? "/" : b.substr(hostEnd);
    if (rest[0] == '?') rest = "/" + rest;
    if (url.empty()) return b;
    if (url.compare(0, 2, "//") == 0) return scheme + ":" + url;
    if (url[0] == '/') {
        size_t q = url.find('?');
        std::string p = url.substr(0, q), query = q == std::string::npos ? "" : url.substr(q);
        return origin + RemoveDotSegments(p) + query;
    }
    size_t q = rest.find('?');
    std::string basePath = rest.substr(0, q);
    if (url[0] == '?') return origin + basePath + url;
    std::string dir = basePath.substr(0, basePath.rfind('/') + 1);
    size_t uq = url.find('?');
    std::string p = dir + url.substr(0, uq), query = uq == std::string::npos ? "" : url.substr(uq);
    return origin + RemoveDotSegments(p) + query;
}

}  // namespace webview
