#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/Crc32.h"
#include "core/Md5.h"
#include "core/Sha256.h"

TEST(Crc32, VariantWithoutInversionsAndChained) {
    // The standard CRC-32 of "123456789" is 0xCBF43926; this one starts at 0 and ends uninverted.
    struct Row {
        const char* input;
        uint32_t crc;
    } rows[] = {{"", 0u}, {"123456789", 0x2DFD2D88u}, {"a", 0x3AB551CEu}, {"<20030701@example.com>", 0x02A09237u}};
    for (const Row& row : rows) {
        EXPECT_EQ(crc32(row.input), row.crc) << row.input;
        size_t half = std::strlen(row.input) / 2;
        EXPECT_EQ(crc32(row.input + half, std::strlen(row.input) - half, crc32(row.input, half)), row.crc) << row.input;
    }
}

TEST(Md5, Rfc1321Vectors) {
    struct Row {
        std::string input;
        const char* digest;
    } rows[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        {"<1896.697170952@dbc.mtview.ca.us>tanstaaf", "c4c9334bac560ecc979e58001b3e22fb"},  // RFC 1939 APOP
        // Lengths at the 56- and 64-byte padding edges.
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        {std::string(120, 'a'), "5f61c0ccad4cac44c75ff505e1f1e537"},
    };
    for (const Row& row : rows) EXPECT_EQ(md5Hex(row.input), row.digest) << row.input;
}

TEST(Sha256, Fips180Vectors) {
    struct Row {
        std::string input;
        const char* digest;
    } rows[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // Lengths at the 56- and 64-byte padding edges, and past one block.
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
    };
    for (const Row& row : rows) {
        Sha256Digest d = sha256(row.input);
        std::string hex;
        for (uint8_t b : d) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
        EXPECT_EQ(hex, row.digest) << row.input.size();
    }
}
