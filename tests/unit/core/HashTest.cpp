#include <gtest/gtest.h>

#include "core/Crc32.h"
#include "core/Md5.h"

TEST(Crc32, StartsAtZeroWithoutFinalInversion) {
    EXPECT_EQ(crc32(""), 0u);
    // The standard CRC-32 of "123456789" is 0xCBF43926 (start and final
    // inversion); this variant has neither.
    EXPECT_EQ(crc32("123456789"), 0x2DFD2D88u);
    EXPECT_EQ(crc32("a"), 0x3AB551CEu);
    EXPECT_EQ(crc32("<20030701@example.com>"), 0x02A09237u);
}

TEST(Crc32, ChainsAcrossPieces) {
    std::string text = "Message-ID: <20030701105237.1234@example.com>";
    uint32_t whole = crc32(text);
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        uint32_t part = crc32(text.data(), cut);
        EXPECT_EQ(crc32(text.data() + cut, text.size() - cut, part), whole) << cut;
    }
}

TEST(Md5, Rfc1321Vectors) {
    struct Row {
        const char* input;
        const char* digest;
    } rows[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        // RFC 1939's APOP example: time stamp followed by the secret.
        {"<1896.697170952@dbc.mtview.ca.us>tanstaaf", "c4c9334bac560ecc979e58001b3e22fb"},
    };
    for (const Row& row : rows) EXPECT_EQ(md5Hex(row.input), row.digest) << row.input;
}

TEST(Md5, PaddingBoundaries) {
    // Lengths around the 56- and 64-byte edges take the one- and two-block tails.
    struct Row {
        size_t length;
        const char* digest;
    } rows[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"}, {56, "3b0c8ac703f828b04c6c197006d17218"},
        {57, "652b906d60af96844ebd21b674f35e93"}, {63, "b06521f39153d618550606be297466d5"},
        {64, "014842d480b571495a4a0363793f7367"}, {65, "c743a45e0d2e6a95cb859adae0248435"},
        {119, "8a7bd0732ed6a28ce75f6dabc90e1613"}, {120, "5f61c0ccad4cac44c75ff505e1f1e537"},
        {128, "e510683b3f5ffe4093d021808bc6ff70"},
    };
    for (const Row& row : rows) EXPECT_EQ(md5Hex(std::string(row.length, 'a')), row.digest) << row.length;
}
