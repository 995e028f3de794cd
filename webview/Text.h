// Text helpers of the web view: UTF-8 and UTF-16 conversion, the page charset (pages in GBK are
// converted to UTF-8 here, the HTML parser has no converters of its own) and URL resolution.
#pragma once
#include <string>

namespace webview {

std::wstring Utf8ToWide(const std::string& s);
std::string WideToUtf8(const std::wstring& s);
std::string AnsiToUtf8(const std::string& s, unsigned codePage);

// The page as UTF-8: a byte-order mark, else the charset of the Content-Type header, else of a
// <meta> in the first 1,024 bytes, else UTF-8 when the bytes are (almost all) valid UTF-8 (a stray
// bad byte becomes U+FFFD), else GBK (code page 936).
std::string PageToUtf8(const std::string& body, const std::string& contentType);
// The declared charset (header, else <meta>), lower case; empty when none.
std::string PageCharset(const std::string& body, const std::string& contentType);

// url resolved against base (absolute URLs, "//host", "/path", "?query", "#fragment", relative paths
// with "." and ".." segments). Fragments are dropped: the view does not scroll to anchors.
std::string ResolveUrl(const std::string& base, const std::string& url);

std::string ToLower(std::string s);
std::string Trim(const std::string& s);

}  // namespace webview
