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

static bool IsUtf8(const std::string& s) {
    return s.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), (int)s.size(), nullptr, 0) > 0;
}

std::string PageToUtf8(const std::string& body, const std::string& contentType) {
    std::string cs = CharsetOf(contentType);
    if (cs.empty()) {
        // A <meta charset> or http-equiv Content-Type near the start of the document.
        std::string head = ToLower(body.substr(0, 2048));
        size_t m = head.find("<meta");
        while (m != std::string::npos && cs.empty()) {
            size_t end = head.find('>', m);
            cs = CharsetOf(head.substr(m, end == std::string::npos ? std::string::npos : end - m));
            m = head.find("<meta", m + 5);
        }
    }
    if (cs == "gbk" || cs == "gb2312" || cs == "gb18030" || cs == "x-gbk" || cs == "cp936")
        return AnsiToUtf8(body, 936);
    if (cs == "utf-8" || cs == "utf8") return body;
    if (cs == "iso-8859-1" || cs == "latin1" || cs == "windows-1252") return AnsiToUtf8(body, 1252);
    return IsUtf8(body) ? body : AnsiToUtf8(body, 936);
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
