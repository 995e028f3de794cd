#include "DesCrypt.h"

#include <string.h>

const char g_desKeyText[19] = "Rk8wTqZ3nLpV7cXa2M";

namespace {

// The DES tables, with 1-based bit positions.
const uint8_t kIP[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                         62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                         57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                         61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
const uint8_t kFP[64] = {40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
                         38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
                         36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
                         34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25};
const uint8_t kE[48] = {32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
                        12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
                        22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};
const uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                        2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
const uint8_t kPC1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                          10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                          63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                          14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
const uint8_t kPC2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10,
                          23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
                          41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48,
                          44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
const uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
const uint8_t kS[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
     {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
     {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
     {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
     {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
     {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
     {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
     {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
     {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
     {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
     {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
     {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
     {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
     {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
     {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
     {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
     {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}},
};

// One bit per element; bit n of the text is element n - 1.
typedef uint8_t Bits;

// The bits of a byte string, least significant bit of each byte first.
void BytesToBits(Bits* bits, const uint8_t* bytes, int count)
{
    for (int i = 0; i < count * 8; ++i)
        bits[i] = (bytes[i >> 3] >> (i & 7)) & 1;
}

void BitsToBytes(uint8_t* bytes, const Bits* bits, int count)
{
    for (int i = 0; i < count; ++i) {
        uint8_t b = 0;
        for (int k = 0; k < 8; ++k)
            b = static_cast<uint8_t>(b | (bits[i * 8 + k] << k));
        bytes[i] = b;
    }
}

void Permute(Bits* out, const Bits* in, const uint8_t* table, int count)
{
    for (int i = 0; i < count; ++i)
        out[i] = in[table[i] - 1];
}

struct KeySchedule {
    Bits sub[16][48];
};

void DesKeySchedule(KeySchedule& ks, const uint8_t key[8])
{
    Bits keyBits[64], cd[56], tmp[56];
    BytesToBits(keyBits, key, 8);
    Permute(cd, keyBits, kPC1, 56);
    for (int round = 0; round < 16; ++round) {
        for (int n = 0; n < kShifts[round]; ++n) {
            // Rotate C (bits 0..27) and D (bits 28..55) left by one, separately.
            memcpy(tmp, cd, 56);
            for (int i = 0; i < 28; ++i) {
                cd[i] = tmp[(i + 1) % 28];
                cd[28 + i] = tmp[28 + (i + 1) % 28];
            }
        }
        Permute(ks.sub[round], cd, kPC2, 48);
    }
}

// f(R, K): expansion, key mixing, S-boxes (each output stored least significant bit first), P.
void DesF(Bits out[32], const Bits r[32], const Bits k[48])
{
    Bits x[48], s[32];
    Permute(x, r, kE, 48);
    for (int i = 0; i < 48; ++i)
        x[i] ^= k[i];
    for (int g = 0; g < 8; ++g) {
        const Bits* six = x + 6 * g;
        int row = 2 * six[0] + six[5];
        int col = 8 * six[1] + 4 * six[2] + 2 * six[3] + six[4];
        uint8_t v = kS[g][row][col];
        for (int b = 0; b < 4; ++b)
            s[4 * g + b] = (v >> b) & 1;
    }
    Permute(out, s, kP, 32);
}

void DesBlock(uint8_t out[8], const uint8_t in[8], const KeySchedule& ks, bool decrypt)
{
    Bits bits[64], lr[64], f[32], next[32];
    BytesToBits(bits, in, 8);
    Permute(lr, bits, kIP, 64);
    Bits* l = lr;
    Bits* r = lr + 32;
    if (!decrypt) {
        for (int round = 0; round < 16; ++round) {
            DesF(f, r, ks.sub[round]);
            for (int i = 0; i < 32; ++i)
                next[i] = l[i] ^ f[i];
            memcpy(l, r, 32);
            memcpy(r, next, 32);
        }
    } else {
        for (int round = 15; round >= 0; --round) {
            DesF(f, l, ks.sub[round]);
            for (int i = 0; i < 32; ++i)
                next[i] = r[i] ^ f[i];
            memcpy(r, l, 32);
            memcpy(l, next, 32);
        }
    }
    // No exchange of the halves: the final permutation takes L followed by R.
    Permute(bits, lr, kFP, 64);
    BitsToBytes(out, bits, 8);
}

struct TripleKeys {
    KeySchedule k1, k2;
};

void DesInitKeys(TripleKeys& keys)
{
    DesKeySchedule(keys.k1, reinterpret_cast<const uint8_t*>(g_desKeyText));
    DesKeySchedule(keys.k2, reinterpret_cast<const uint8_t*>(g_desKeyText) + 8);
}

// ECB over the input, zero-padding a last partial block; `out` holds the padded length.
void DesRun(uint8_t* out, const uint8_t* in, uint32_t length, bool decrypt)
{
    TripleKeys keys;  // private to the call: the cipher keeps no state between calls
    DesInitKeys(keys);
    for (uint32_t off = 0; off < length; off += 8) {
        uint8_t block[8] = {};
        memcpy(block, in + off, length - off < 8 ? length - off : 8);
        uint8_t a[8], b[8];
        if (!decrypt) {
            DesBlock(a, block, keys.k1, false);
            DesBlock(b, a, keys.k2, true);
            DesBlock(out + off, b, keys.k1, false);
        } else {
            DesBlock(a, block, keys.k1, true);
            DesBlock(b, a, keys.k2, false);
            DesBlock(out + off, b, keys.k1, true);
        }
    }
}

}  // namespace

int32_t DesCrypt(const uint8_t* in, int32_t inLength, uint8_t* out, uint32_t* outLength, bool decrypt)
{
    if (!in || !out || !outLength || inLength < 0)
        return -1;
    const uint32_t length = static_cast<uint32_t>(inLength);
    const uint32_t padded = (length + 7) / 8 * 8;
    const uint32_t room = *outLength;
    // Whole blocks are written, so deciphering needs room for the padded input.
    if (decrypt ? (length < 8 || room < padded) : (room < length + 8))
        return -4;
    memset(out, 0, room);
    if (length == 0) {
        *outLength = 0;
        return 0;
    }
    DesRun(out, in, length, decrypt);
    if (decrypt) {
        uint32_t n = 0;
        while (n < room && out[n] != 0)
            ++n;
        *outLength = n;
    } else {
        *outLength = padded;
    }
    return 1;
}
