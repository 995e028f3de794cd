// MD5 (RFC 1321) of narrow texts and of files, as 32 lower-case hexadecimal digits.
// Stateless: each call owns its digest state.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>

class CMd5A {
public:
    CMd5A() = default;
    virtual ~CMd5A() = default;

    // The text's bytes up to its terminator; a null text counts as empty.
    std::string StringMd5Hex(const char* text);
    std::string StringMd5Hex(const std::string& text) { return BytesMd5Hex(text.data(), text.size()); }
    std::string BytesMd5Hex(const void* data, size_t length);
    // The empty text when the file (ANSI path) cannot be opened or reading it fails.
    std::string FileMd5Hex(const char* path);
};
