#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>
#include "DesCrypt.h"

namespace {

std::vector<uint8_t> FromHex(const char* hex)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    return out;
}

// Known answers of the cipher (two-key EDE, ECB, zero padding, key text "Rk8wTqZ3nLpV7cXa2M"),
// produced by tests/tools/des_variant.py, a model written on its own and checked against
// published DES vectors. Plain text (GBK where it is Chinese) -> cipher text, both in hex.
struct KnownAnswer {
    const char* plain;
    const char* cipher;
};
const KnownAnswer kKnownAnswers[] = {
    {"41",
     "bc1f089ae63bbb7e"},
    {"312e302e3040313030",
     "9e35d0603fbcbd69568692b2898e1fd9"},
    {"4142434445464748",
     "9d81a41de9af15b4"},
    {"332e322e312e34403230323430313135",
     "8680897f9491e27f7132589b8542e9f1"},
    {"cdf8b0c9b0e62056322e3340323331",
     "44c2b652028035a696af30e35e277e26"},
    {"b0e6b1bebac5d6d0cec4b2e2cad440b0e6b1bebac5d6d0cec4b2e2cad440b0e6b1bebac5d6d0cec4b2e2cad440",
     "214442101e1d82045f1ea2618092fde084ab2024189524453a6708a863f5c6878f1df9258fba723152f6801e69b507b9"},
    {"0c31567ba0c5ea10355a7fa4c9ee14395e83a8cdf2183d6287acd1f61c41668bb0d5fa20456a8fb4d9fe24496e93b8dd03284d7297bce1072c51769bc0e50b30",
     "f3f5be87c5e8a72186d65eec850dc11a55e1dc1d5674b5b76252a394a7e767a84ec95871b4b8785cbbee9ba0eafeb8566380ae28ca290676f7e0e7dbe76a26bc"},
    {"c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb6c9fdbcb64031323334353637",
     "535cb311b79f4667535cb311b79f4667535cb311b79f4667535cb311b79f4667535cb311b79f4667535cb311b79f4667535cb311b79f4667535cb311b79f4667535cb311b79f4667535cb311b79f4667535cb311b79f4667535cb311b79f4667535cb311b79f4667535cb311b79f4667535cb311b79f466711b1afd2d95e9103cdc6db9862ef9cfa"},
    {"7878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878787878d6d5d6d5d6d5d6d5d6d5d6d5d6d5d6d5d6d5d6d5d6d5d6d5d6d5d6d5d6d5d6d5d6d5d6d5d6d5d6d540394039403940394039",
     "63666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e76863666c5d3ef2e7682afbd56a2ed8a6052afbd56a2ed8a6052afbd56a2ed8a6052afbd56a2ed8a6052afbd56a2ed8a605dbd4e2e58e65b887a6cadf6477661c0b"},
    {"040b121920272e353c434a51585f666d747b828990979ea5acb3bac1c8cfd6dde4ebf2f9020910171e252c333a41484f565d646b727980878e959ca3aab1b8bfc6cdd4dbe2e9f0f7fe070e151c232a31383f464d545b626970777e858c939aa1a8afb6bdc4cbd2d9e0e7eef5fc050c131a21282f363d444b525960676e757c838a91989fa6adb4bbc2c9d0d7dee5ecf3fa030a11181f262d343b424950575e656c737a81888f969da4abb2b9c0c7ced5dce3eaf1f801080f161d242b323940474e555c636a71787f868d949ba2a9b0b7bec5ccd3dae1e8eff6fd060d141b222930373e454c535a61686f767d848b9299a0a7aeb5bcc3cad1d8dfe6ed",
     "4477ebaab9d4375b2bf5c3d4d8d063473f643e202b9f34f01e164dc4445206d064a453cfa3f11472cad7227c884880dd28156b2b18a563ce2c7b7a7ce75b681a6b8c6229cc245ecfb28402726a532ebc6fe7f1ad45d93934cc81f29f38e7e1b651c27e88fc0721ccf3df1046988c8c2565ba510c1eb6213de6f4f110609653d438dc29453825ca3667e834dc4d03eaa73c907b8b83198fe4f46937591260d7a1176a3cd841f321616ecd659609c6200eccded0250579a23c8e3513b9f6556e65356a78317bb1d4010bee0f14e4fc3d9a779114f580d7f65c55bd42ba9956857b1373c77095ec13acee6c5666362cecf4558a3d4d143c51bffbb1319839a9babe"},
};

}  // namespace

TEST(DesCrypt, KeyText)
{
    EXPECT_STREQ(g_desKeyText, "Rk8wTqZ3nLpV7cXa2M");
}

TEST(DesCrypt, EnciphersToTheKnownAnswers)
{
    for (const KnownAnswer& ka : kKnownAnswers) {
        std::vector<uint8_t> plain = FromHex(ka.plain), expected = FromHex(ka.cipher);
        uint8_t out[300];
        memset(out, 0xAA, sizeof(out));
        uint32_t len = 260;
        ASSERT_EQ(DesCrypt(plain.data(), static_cast<int32_t>(plain.size()), out, &len, false), 1) << ka.plain;
        ASSERT_EQ(len, (plain.size() + 7) / 8 * 8);
        EXPECT_EQ(std::vector<uint8_t>(out, out + len), expected) << ka.plain;
        for (uint32_t i = len; i < 260; ++i)
            ASSERT_EQ(out[i], 0) << "room is zeroed";
        EXPECT_EQ(out[260], 0xAA) << "nothing past the room";
    }
}

TEST(DesCrypt, DeciphersTheKnownAnswers)
{
    for (const KnownAnswer& ka : kKnownAnswers) {
        std::vector<uint8_t> plain = FromHex(ka.plain), cipher = FromHex(ka.cipher);
        uint8_t out[260];
        uint32_t len = sizeof(out);
        ASSERT_EQ(DesCrypt(cipher.data(), static_cast<int32_t>(cipher.size()), out, &len, true), 1) << ka.cipher;
        EXPECT_EQ(len, plain.size());
        EXPECT_EQ(std::vector<uint8_t>(out, out + len), plain);
    }
}

TEST(DesCrypt, RoundTripForEveryLengthUpTo252)
{
    for (int n = 1; n <= 252; ++n) {
        std::vector<uint8_t> plain(n);
        for (int i = 0; i < n; ++i)
            plain[i] = static_cast<uint8_t>((i * 131 + n) % 255 + 1);  // never zero
        uint8_t enc[260], dec[260];
        uint32_t elen = sizeof(enc), dlen = sizeof(dec);
        ASSERT_EQ(DesCrypt(plain.data(), n, enc, &elen, false), 1) << n;
        ASSERT_EQ(elen, static_cast<uint32_t>((n + 7) / 8 * 8));
        ASSERT_EQ(DesCrypt(enc, static_cast<int32_t>(elen), dec, &dlen, true), 1) << n;
        ASSERT_EQ(dlen, static_cast<uint32_t>(n));
        ASSERT_EQ(memcmp(dec, plain.data(), n), 0) << n;
    }
}

TEST(DesCrypt, PaddedLengths)
{
    const uint8_t text[16] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    struct {
        int in;
        uint32_t out;
    } cases[] = {{8, 8}, {9, 16}, {1, 8}, {16, 16}};
    for (auto& c : cases) {
        uint8_t out[64];
        uint32_t len = sizeof(out);
        EXPECT_EQ(DesCrypt(text, c.in, out, &len, false), 1);
        EXPECT_EQ(len, c.out) << c.in;
    }
}

TEST(DesCrypt, DecipheringStopsAtTheFirstZeroByte)
{
    const uint8_t text[12] = {'a', 'b', 'c', 0, 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k'};
    uint8_t enc[32], dec[32];
    uint32_t elen = sizeof(enc), dlen = sizeof(dec);
    ASSERT_EQ(DesCrypt(text, 12, enc, &elen, false), 1);
    ASSERT_EQ(DesCrypt(enc, static_cast<int32_t>(elen), dec, &dlen, true), 1);
    EXPECT_EQ(dlen, 3u);
    EXPECT_EQ(memcmp(dec, text, 12), 0);  // the whole block is still written
}

TEST(DesCrypt, RefusesWithoutRoomAndLeavesTheBufferAlone)
{
    std::vector<uint8_t> plain(253, 'x');
    uint8_t out[300];
    memset(out, 0x5C, sizeof(out));
    uint32_t len = 260;
    // Enciphering asks for the input length + 8.
    EXPECT_EQ(DesCrypt(plain.data(), 253, out, &len, false), -4);
    EXPECT_EQ(len, 260u);
    for (uint8_t b : out)
        ASSERT_EQ(b, 0x5C);
    len = 16;
    EXPECT_EQ(DesCrypt(plain.data(), 9, out, &len, false), -4);
    len = 17;
    EXPECT_EQ(DesCrypt(plain.data(), 9, out, &len, false), 1);

    // Deciphering writes whole blocks: it needs room for the padded input length.
    memset(out, 0x5C, sizeof(out));
    len = 15;
    EXPECT_EQ(DesCrypt(plain.data(), 12, out, &len, true), -4);
    for (uint8_t b : out)
        ASSERT_EQ(b, 0x5C);
    len = 16;
    EXPECT_EQ(DesCrypt(plain.data(), 12, out, &len, true), 1);
    EXPECT_EQ(out[16], 0x5C);
    len = 256;
    EXPECT_EQ(DesCrypt(plain.data(), 256, out, &len, true), 1);
    len = 255;
    EXPECT_EQ(DesCrypt(plain.data(), 256, out, &len, true), -4);
    // Shorter than one block: nothing to decipher.
    len = 64;
    EXPECT_EQ(DesCrypt(plain.data(), 7, out, &len, true), -4);
    EXPECT_EQ(DesCrypt(plain.data(), 0, out, &len, true), -4);
}

TEST(DesCrypt, NullArgumentsAndEmptyInput)
{
    uint8_t buf[16];
    uint32_t len = sizeof(buf);
    EXPECT_EQ(DesCrypt(nullptr, 8, buf, &len, false), -1);
    EXPECT_EQ(DesCrypt(buf, 8, nullptr, &len, false), -1);
    EXPECT_EQ(DesCrypt(buf, 8, buf, nullptr, false), -1);
    EXPECT_EQ(DesCrypt(buf, -1, buf, &len, false), -1);
    uint8_t out[16];
    memset(out, 0x77, sizeof(out));
    len = sizeof(out);
    EXPECT_EQ(DesCrypt(buf, 0, out, &len, false), 0);
    for (uint8_t b : out)
        EXPECT_EQ(b, 0);
}

TEST(DesCrypt, DiffersFromStandardTripleDes)
{
    // Standard two-key triple DES of "ABCDEFGH" under the same two keys (from the model's plain
    // DES mode) is b289d7e5e05fbae6; the variant must not produce it.
    const uint8_t block[8] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'};
    uint8_t out[16];
    uint32_t len = sizeof(out);
    ASSERT_EQ(DesCrypt(block, 8, out, &len, false), 1);
    const uint8_t standard[8] = {0xb2, 0x89, 0xd7, 0xe5, 0xe0, 0x5f, 0xba, 0xe6};
    const uint8_t variant[8] = {0x9d, 0x81, 0xa4, 0x1d, 0xe9, 0xaf, 0x15, 0xb4};
    EXPECT_NE(memcmp(out, standard, 8), 0);
    EXPECT_EQ(memcmp(out, variant, 8), 0);
}
