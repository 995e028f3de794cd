// The identity record that the console hands to the program owning the window titled
// "QCODE_DIALOG_AGENT" (WM_COPYDATA, data type 2153): a fixed 936-byte layout, texts in the ANSI
// code page (936 on the cafés' machines), integers little-endian. It is built afresh from the
// customer for every send.
//
// Every text field is zero-filled and always terminated. A value longer than its field is cut at a
// character boundary of code page 936 (never half a GBK character) with a debugger line; a photo
// path that does not fit goes as empty, since a cut path would name another file.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include "OpenAccountInfo.h"

struct IdCardRecord {
    char name[64];
    int32_t kind;           // always 2
    char idNumber[20];
    char nation[20];        // default "0000"
    char validity[20];      // "2010010120191231": 2010-01-01 to 2019-12-31
    char photoPath[256];    // the local photo file
    char reserved[144];
    int32_t sex;            // 1 male, any other value female
    char extra1[20];        // the four extras read "0000", ended by the zero fill
    char extra2[128];
    char extra3[128];
    char extra4[128];
};
static_assert(sizeof(IdCardRecord) == 936, "the agent reads exactly 936 bytes");
static_assert(offsetof(IdCardRecord, kind) == 64 && offsetof(IdCardRecord, idNumber) == 68 &&
                  offsetof(IdCardRecord, nation) == 88 && offsetof(IdCardRecord, validity) == 108 &&
                  offsetof(IdCardRecord, photoPath) == 128 && offsetof(IdCardRecord, reserved) == 384 &&
                  offsetof(IdCardRecord, sex) == 528 && offsetof(IdCardRecord, extra1) == 532 &&
                  offsetof(IdCardRecord, extra2) == 552 && offsetof(IdCardRecord, extra3) == 680 &&
                  offsetof(IdCardRecord, extra4) == 808,
              "the agent's offsets");

// WM_COPYDATA's dwData for the record.
const unsigned kIdCardRecordType = 2153;

// Zero fill and the defaults: kind 0, nation and the extras "0000", the validity text, sex 1.
void ResetIdCardRecord(IdCardRecord& record);

// The defaults, then the customer's name, the kind 2, ID number, photo path, sex and nation.
IdCardRecord BuildIdCardRecord(const COpenAccountInfo& customer);

// The length of the longest prefix of `text` that fits `room` bytes and ends on a character
// boundary of code page 936 (a lead byte 0x81..0xFE takes the byte after it along).
size_t Cp936PrefixLength(const std::string& text, size_t room);

// Zero-fills the field and copies as much of `text` as fits before the terminator, cut at a
// character boundary; false (and a debugger line naming `what`) when it was cut.
bool CopyRecordText(char* field, size_t size, const std::string& text, const char* what);
