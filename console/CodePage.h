// Text conversions of the console: UTF-16 to and from the ANSI code page (the engine's helpers,
// shared unchanged), and the unescaping of "\u" escapes in some café-service replies.
#pragma once
#include <stddef.h>
#include <string>
#include "SysHelpers.h"  // WideToAnsi, AnsiToWide

// 0..9 for "0".."9", 10..15 for "a".."f" and "A".."F", -1 for anything else.
int HexDigitValue(char c);

// Turns every "\uXXXX" escape into the character in the ANSI code page, so that non-ASCII text
// reaches the JSON parser already in the console's code page. Left as they are, for the JSON
// parser: an escape of '"', '\' or U+0000..U+001F (unescaping those would break or inject JSON),
// a "\u" with fewer than four characters or a non-hexadecimal digit, and any escaped backslash
// pair ("\\u0041" stays "\\u0041"). A converted byte that is '"' or '\' (the trail byte 0x5C of
// many GBK characters) is written with a backslash before it, so that the parser returns the
// code page's bytes unchanged. Reads exactly `length` bytes.
std::string UnescapeUnicode(const char* text, size_t length);
inline std::string UnescapeUnicode(const std::string& text) { return UnescapeUnicode(text.data(), text.size()); }
