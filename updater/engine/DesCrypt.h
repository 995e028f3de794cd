// The cipher of the shared version file data\core.dat: a DES variant used as two-key triple DES
// (EDE) in ECB mode with zero padding, keyed from a fixed key text. Both programs must produce
// the same bytes, so the variant is reproduced bit for bit.
#pragma once
#include <stdint.h>

// The key text shared by both programs: key 1 is its first 8 characters, key 2 the next 8.
extern const char g_desKeyText[19];

// Enciphers or deciphers `in` into `out`. `outLength` carries the room in `out` on entry and the
// result's length on return (the padded length when enciphering, the text up to its first zero
// byte when deciphering).
//   -1  `in` or `out` (or `outLength`) is null, or the input length is negative;
//   -4  no room: enciphering needs the input length + 8, deciphering the input length rounded up
//       to a multiple of 8, and an input shorter than 8 bytes cannot be deciphered; `out` is
//       left untouched;
//    0  empty input (the room of `out` is zeroed);
//    1  success (the room of `out` is zeroed, then the whole padded output is written).
int32_t DesCrypt(const uint8_t* in, int32_t inLength, uint8_t* out, uint32_t* outLength, bool decrypt);
