#include "IdCardRecord.h"
#include <windows.h>
#include <stdio.h>
#include <string.h>

namespace {

const char kFourZeros[4] = {'0', '0', '0', '0'};
const char kValidity[] = "2010010120191231";

}  // namespace

size_t Cp936PrefixLength(const std::string& text, size_t room)
{
    size_t length = 0;
    while (length < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[length]);
        const size_t width = (c >= 0x81 && c <= 0xFE && length + 1 < text.size()) ? 2 : 1;
        if (length + width > room)
            break;
        length += width;
    }
    return length;
}

bool CopyRecordText(char* field, size_t size, const std::string& text, const char* what)
{
    memset(field, 0, size);
    if (size == 0)
        return text.empty();
    if (text.size() < size) {
        memcpy(field, text.data(), text.size());
        return true;
    }
    const size_t kept = Cp936PrefixLength(text, size - 1);
    memcpy(field, text.data(), kept);
    char line[160];
    snprintf(line, sizeof line, "IdCardRecord: %s of %u bytes cut to %u\n", what,
             static_cast<unsigned>(text.size()), static_cast<unsigned>(kept));
    OutputDebugStringA(line);
    return false;
}

void ResetIdCardRecord(IdCardRecord& record)
{
    memset(&record, 0, sizeof record);
    memcpy(record.nation, kFourZeros, sizeof kFourZeros);
    memcpy(record.validity, kValidity, sizeof kValidity);
    record.sex = 1;
    memcpy(record.extra1, kFourZeros, sizeof kFourZeros);
    memcpy(record.extra2, kFourZeros, sizeof kFourZeros);
    memcpy(record.extra3, kFourZeros, sizeof kFourZeros);
    memcpy(record.extra4, kFourZeros, sizeof kFourZeros);
}

IdCardRecord BuildIdCardRecord(const COpenAccountInfo& customer)
{
    IdCardRecord record;
    ResetIdCardRecord(record);
    CopyRecordText(record.name, sizeof record.name, customer.uname, "name");
    record.kind = 2;
    CopyRecordText(record.idNumber, sizeof record.idNumber, customer.idNumber, "ID number");
    // Half a path names another file: none rather than that.
    if (!CopyRecordText(record.photoPath, sizeof record.photoPath, customer.portrait, "photo path"))
        memset(record.photoPath, 0, sizeof record.photoPath);
    record.sex = customer.sex;
    CopyRecordText(record.nation, sizeof record.nation, customer.nation, "nation");
    return record;
}
