// The console's account-opening QR codes: the symbol written as a 24-bit top-down BMP (8 x 8
// pixels per module, no quiet zone), the scrambled content of the customer page's code, and the
// base64 encoding it uses.
#pragma once
#include <stddef.h>

// Encodes `text` (version chosen to fit, level H, 8-bit, case-sensitive) and replaces the file at
// `path` (ANSI) through a temporary file beside it. On any failure the old picture is removed too,
// so a stale or foreign code is never shown; false then.
bool WriteQrBitmap(const char* text, const char* path);

// Salt (8 characters) followed by the text masked with the MD5 text of `keyText`, base64-encoded
// into `output` with its terminator. A result that does not fit `outputSize` bytes (more than 85
// bytes of text for 128) is refused: false and an empty output.
bool ScrambleText(const char* plain, const char* keyText, char* output, size_t outputSize);

// Standard base64 with "=" padding into `output` (room for 4 * ceil(length / 3) + 1 bytes);
// zero-terminated; returns the number of characters written.
size_t Base64Encode(char* output, const unsigned char* data, size_t length);
