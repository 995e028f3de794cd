// The identity record handed to "QCODE_DIALOG_AGENT": its defaults, a customer's values at their
// offsets, and what becomes of values longer than their fields (cut at a character boundary of
// code page 936, always terminated; a photo path that does not fit goes empty).
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include "IdCardRecord.h"

namespace {

std::string Bytes(const IdCardRecord& record, size_t offset, size_t size)
{
    return std::string(reinterpret_cast<const char*>(&record) + offset, size);
}

int32_t Int32At(const IdCardRecord& record, size_t offset)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&record) + offset;
    return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

// "0000" followed by zeros to the field's end: the four characters carry no terminator of their own.
std::string FourZeros(size_t size) { return std::string("0000") + std::string(size - 4, '\0'); }

std::string Padded(const std::string& text, size_t size) { return text + std::string(size - text.size(), '\0'); }

// 张 and 三 in code page 936.
const std::string kZhang = "\xD5\xC5";
const std::string kSan = "\xC8\xFD";

}  // namespace

TEST(PlayerInfoRecord, DefaultsAtEveryOffset)
{
    IdCardRecord record;
    memset(&record, 0x5A, sizeof record);
    ResetIdCardRecord(record);
    EXPECT_EQ(Bytes(record, 0, 64), std::string(64, '\0'));
    EXPECT_EQ(Int32At(record, 64), 0);
    EXPECT_EQ(Bytes(record, 68, 20), std::string(20, '\0'));
    EXPECT_EQ(Bytes(record, 88, 20), FourZeros(20));
    EXPECT_EQ(Bytes(record, 108, 20), Padded("2010010120191231", 20));
    EXPECT_EQ(Bytes(record, 128, 256), std::string(256, '\0'));
    EXPECT_EQ(Bytes(record, 384, 144), std::string(144, '\0'));
    EXPECT_EQ(Int32At(record, 528), 1);
    EXPECT_EQ(Bytes(record, 532, 20), FourZeros(20));
    EXPECT_EQ(Bytes(record, 552, 128), FourZeros(128));
    EXPECT_EQ(Bytes(record, 680, 128), FourZeros(128));
    EXPECT_EQ(Bytes(record, 808, 128), FourZeros(128));
}

TEST(PlayerInfoRecord, ACustomersValuesAtTheirOffsets)
{
    COpenAccountInfo customer;
    customer.uid = 55;
    customer.uname = kZhang + kSan;
    customer.idNumber = "110101199001011234";
    customer.nation = "0000";
    customer.sex = 2;
    customer.portrait = "C:\\Bar\\playerimg\\headimg.jpg";
    customer.frontPhoto = "/upload/id/55-front.jpg";
    const IdCardRecord record = BuildIdCardRecord(customer);
    EXPECT_EQ(Bytes(record, 0, 64), Padded(kZhang + kSan, 64));
    EXPECT_EQ(Int32At(record, 64), 2);
    EXPECT_EQ(Bytes(record, 68, 20), Padded("110101199001011234", 20));
    // 汉 is sent as the service's "0000", now with its terminator from the copy.
    EXPECT_EQ(Bytes(record, 88, 20), FourZeros(20));
    EXPECT_EQ(Bytes(record, 108, 20), Padded("2010010120191231", 20));
    EXPECT_EQ(Bytes(record, 128, 256), Padded("C:\\Bar\\playerimg\\headimg.jpg", 256));
    EXPECT_EQ(Bytes(record, 384, 144), std::string(144, '\0'));
    EXPECT_EQ(Int32At(record, 528), 2);
    EXPECT_EQ(Bytes(record, 532, 20), FourZeros(20));
    EXPECT_EQ(Bytes(record, 808, 128), FourZeros(128));

    customer.nation = "\xC3\xC9\xB9\xC5";  // 蒙古
    customer.sex = 1;
    const IdCardRecord second = BuildIdCardRecord(customer);
    EXPECT_EQ(Bytes(second, 88, 20), Padded(customer.nation, 20));
    EXPECT_EQ(Int32At(second, 528), 1);
}

// Longer values than their fields: (field, text, what the field holds).
TEST(PlayerInfoRecord, BoundedCopiesCutAtACharacterBoundary)
{
    const std::string ascii63(63, 'a');
    const std::string zhang31 = [] {
        std::string s;
        for (int i = 0; i < 31; ++i) s += kZhang;
        return s;
    }();
    const struct {
        const char* what;
        size_t size;
        std::string text;
        std::string kept;
        bool whole;
    } cases[] = {
        {"empty", 20, "", "", true},
        {"fills the field but its terminator", 64, ascii63, ascii63, true},
        {"one byte too long", 64, ascii63 + "b", ascii63, false},
        {"62 bytes of Chinese, then one more character", 64, zhang31 + kSan, zhang31, false},
        {"a Chinese character across the last byte", 64, std::string(62, 'a') + kZhang, std::string(62, 'a'), false},
        {"ID number of 20 digits", 20, "12345678901234567890", "1234567890123456789", false},
        {"nation: the cut falls inside a character", 20, std::string(18, 'x') + kZhang + kSan,
         std::string(18, 'x'), false},
        {"a trailing lone lead byte that fits is copied", 20, "abc\xD5", "abc\xD5", true},
        {"single-byte 0x80 and 0xFF are one character each", 4, "\x80\xFF\x80\xFF", "\x80\xFF\x80", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string field(c.size + 4, '\x5A');  // four guard bytes after the field
        EXPECT_EQ(CopyRecordText(&field[0], c.size, c.text, c.what), c.whole);
        EXPECT_EQ(field.substr(0, c.size), Padded(c.kept, c.size));
        EXPECT_EQ(field.substr(c.size), std::string(4, '\x5A'));
        EXPECT_EQ(field[c.size - 1], '\0');
    }
}

TEST(PlayerInfoRecord, APhotoPathThatDoesNotFitGoesEmpty)
{
    COpenAccountInfo customer;
    customer.uname = "Li Si";
    const std::string fits = "C:\\" + std::string(230, 'd') + "\\playerimg\\headimg.jpg";  // 255 bytes
    ASSERT_EQ(fits.size(), 255u);
    customer.portrait = fits;
    EXPECT_EQ(Bytes(BuildIdCardRecord(customer), 128, 256), Padded(fits, 256));
    customer.portrait = "C:\\" + std::string(231, 'd') + "\\playerimg\\headimg.jpg";  // 256 bytes
    EXPECT_EQ(Bytes(BuildIdCardRecord(customer), 128, 256), std::string(256, '\0'));
    // The other fields are still there; a long name is cut, not dropped.
    customer.uname = std::string(70, 'n');
    const IdCardRecord record = BuildIdCardRecord(customer);
    EXPECT_EQ(Bytes(record, 0, 64), Padded(std::string(63, 'n'), 64));
    EXPECT_EQ(Int32At(record, 64), 2);
}
