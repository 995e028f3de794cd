#include "QrCode.h"

#include <windows.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <string>
#include <vector>
#include <qrencode.h>

#include "Md5A.h"

namespace {

const int kModulePixels = 8;
const size_t kHeaderBytes = 54;

void Put16(unsigned char* p, uint16_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void Put32(unsigned char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

bool WriteWhole(FILE* file, const void* data, size_t length)
{
    return length == 0 || fwrite(data, 1, length, file) == length;
}

// The picture goes to a file beside the target first; only a complete file replaces it.
bool WriteBitmapFile(const char* path, const unsigned char* header, const std::vector<unsigned char>& pixels)
{
    std::string temp = std::string(path) + ".tmp";
    FILE* file = fopen(temp.c_str(), "wb");
    if (!file)
        return false;
    bool ok = WriteWhole(file, header, 14) && WriteWhole(file, header + 14, 40) &&
              WriteWhole(file, pixels.data(), pixels.size());
    ok = fclose(file) == 0 && ok;
    if (ok)
        ok = MoveFileExA(temp.c_str(), path, MOVEFILE_REPLACE_EXISTING) != FALSE;
    if (!ok)
        DeleteFileA(temp.c_str());
    return ok;
}

bool WriteQrBitmapFile(const char* text, const char* path)
{
    QRcode* code = QRcode_encodeString(text, 0, QR_ECLEVEL_H, QR_MODE_8, 1);
    if (!code)
        return false;
    bool ok = false;
    try {
        const size_t w = static_cast<size_t>(code->width);
        const size_t side = w * kModulePixels;
        const size_t rowBytes = side * 3;  // w * 24: always a multiple of 4, no row padding
        std::vector<unsigned char> pixels(rowBytes * side, 255);
        for (size_t i = 0; i < w; ++i) {
            for (size_t j = 0; j < w; ++j) {
                if (!(code->data[i * w + j] & 1))
                    continue;
                for (int y = 0; y < kModulePixels; ++y)
                    memset(&pixels[(i * kModulePixels + y) * rowBytes + j * kModulePixels * 3], 0, kModulePixels * 3);
            }
        }
        unsigned char header[kHeaderBytes] = {};
        header[0] = 'B';
        header[1] = 'M';
        Put32(header + 2, static_cast<uint32_t>(kHeaderBytes + pixels.size()));
        Put32(header + 10, kHeaderBytes);
        Put32(header + 14, 40);
        Put32(header + 18, static_cast<uint32_t>(side));
        Put32(header + 22, static_cast<uint32_t>(-static_cast<int32_t>(side)));  // rows run top to bottom
        Put16(header + 26, 1);
        Put16(header + 28, 24);
        ok = WriteBitmapFile(path, header, pixels);
    } catch (...) {
        ok = false;
    }
    QRcode_free(code);
    return ok;
}

}  // namespace

bool WriteQrBitmap(const char* text, const char* path)
{
    if (!path || !*path)
        return false;
    if (text && WriteQrBitmapFile(text, path))
        return true;
    // No picture rather than a stale or foreign one.
    DeleteFileA(path);
    return false;
}

size_t Base64Encode(char* output, const unsigned char* data, size_t length)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    size_t n = 0;
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        uint32_t v = static_cast<uint32_t>(data[i]) << 16 | static_cast<uint32_t>(data[i + 1]) << 8 | data[i + 2];
        output[n++] = kAlphabet[(v >> 18) & 63];
        output[n++] = kAlphabet[(v >> 12) & 63];
        output[n++] = kAlphabet[(v >> 6) & 63];
        output[n++] = kAlphabet[v & 63];
    }
    if (i < length) {
        uint32_t v = static_cast<uint32_t>(data[i]) << 16;
        if (i + 1 < length)
            v |= static_cast<uint32_t>(data[i + 1]) << 8;
        output[n++] = kAlphabet[(v >> 18) & 63];
        output[n++] = kAlphabet[(v >> 12) & 63];
        output[n++] = i + 1 < length ? kAlphabet[(v >> 6) & 63] : '=';
        output[n++] = '=';
    }
    output[n] = '\0';
    return n;
}

bool ScrambleText(const char* plain, const char* keyText, char* output, size_t outputSize)
{
    if (!output || outputSize == 0)
        return false;
    output[0] = '\0';
    if (!plain || !keyText)
        return false;
    const size_t n = strlen(plain);
    const size_t total = n + 8;
    // Base64 of n + 8 bytes and its terminator must fit: at most 85 bytes of text for 128.
    if ((total + 2) / 3 * 4 + 1 > outputSize)
        return false;

    try {
        CMd5A md5;
        srand(static_cast<unsigned>(time(nullptr)));
        char number[16];
        snprintf(number, sizeof number, "%d", rand() % 100);
        const std::string salt = md5.StringMd5Hex(number).substr(0, 8);
        const std::string mask = md5.StringMd5Hex(keyText);

        std::vector<unsigned char> bytes(total);
        memcpy(bytes.data(), salt.data(), 8);
        for (size_t k = 0; k < n; ++k)
            bytes[8 + k] = static_cast<unsigned char>(plain[k] ^ mask[k % 32]);
        Base64Encode(output, bytes.data(), total);
    } catch (...) {
        output[0] = '\0';
        return false;
    }
    return true;
}
