#include "Md5A.h"

#include <stdio.h>
#include <string.h>

namespace {

// RFC 1321, written for clarity: one 64-byte block at a time.
class Md5 {
public:
    void Update(const unsigned char* data, size_t length)
    {
        m_bytes += length;
        while (length > 0) {
            size_t take = 64 - m_fill;
            if (take > length)
                take = length;
            memcpy(m_block + m_fill, data, take);
            m_fill += take;
            data += take;
            length -= take;
            if (m_fill == 64) {
                Transform(m_block);
                m_fill = 0;
            }
        }
    }

    std::string HexDigest()
    {
        const uint64_t bits = m_bytes * 8;
        static const unsigned char pad[64] = {0x80};
        size_t padLength = m_fill < 56 ? 56 - m_fill : 120 - m_fill;
        Update(pad, padLength);
        unsigned char length[8];
        for (int i = 0; i < 8; ++i)
            length[i] = static_cast<unsigned char>(bits >> (8 * i));
        Update(length, 8);
        char out[33];
        for (int i = 0; i < 4; ++i)
            for (int b = 0; b < 4; ++b)
                snprintf(out + (i * 4 + b) * 2, 3, "%02x", static_cast<unsigned>((m_state[i] >> (8 * b)) & 0xff));
        return std::string(out, 32);
    }

private:
    static uint32_t Rotate(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

    void Transform(const unsigned char* block)
    {
        static const uint32_t k[64] = {
            0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
            0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
            0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
            0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
            0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
            0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
            0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
            0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
        static const int shift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                      5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                      4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                      6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
        uint32_t m[16];
        for (int i = 0; i < 16; ++i)
            m[i] = static_cast<uint32_t>(block[i * 4]) | static_cast<uint32_t>(block[i * 4 + 1]) << 8 |
                   static_cast<uint32_t>(block[i * 4 + 2]) << 16 | static_cast<uint32_t>(block[i * 4 + 3]) << 24;
        uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
        for (int i = 0; i < 64; ++i) {
            uint32_t f;
            int g;
            if (i < 16) {
                f = (b & c) | (~b & d);
                g = i;
            } else if (i < 32) {
                f = (d & b) | (~d & c);
                g = (5 * i + 1) % 16;
            } else if (i < 48) {
                f = b ^ c ^ d;
                g = (3 * i + 5) % 16;
            } else {
                f = c ^ (b | ~d);
                g = (7 * i) % 16;
            }
            uint32_t next = b + Rotate(a + f + k[i] + m[g], shift[i]);
            a = d;
            d = c;
            c = b;
            b = next;
        }
        m_state[0] += a;
        m_state[1] += b;
        m_state[2] += c;
        m_state[3] += d;
    }

    uint32_t m_state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    unsigned char m_block[64] = {};
    size_t m_fill = 0;
    uint64_t m_bytes = 0;
};

}  // namespace

std::string CMd5A::StringMd5Hex(const char* text)
{
    return BytesMd5Hex(text ? text : "", text ? strlen(text) : 0);
}

std::string CMd5A::BytesMd5Hex(const void* data, size_t length)
{
    Md5 md5;
    md5.Update(static_cast<const unsigned char*>(data), length);
    return md5.HexDigest();
}

std::string CMd5A::FileMd5Hex(const char* path)
{
    if (!path)
        return std::string();
    FILE* file = fopen(path, "rb");
    if (!file)
        return std::string();
    try {
        Md5 md5;
        unsigned char piece[512];
        size_t got;
        while ((got = fread(piece, 1, sizeof piece, file)) > 0)
            md5.Update(piece, got);
        // A read error is not the end of the file: no digest of part of it.
        bool failed = ferror(file) != 0;
        fclose(file);
        return failed ? std::string() : md5.HexDigest();
    } catch (...) {
        fclose(file);
        return std::string();
    }
}
