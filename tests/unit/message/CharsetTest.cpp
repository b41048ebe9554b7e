#include <gtest/gtest.h>

#include <set>

#include "message/Charset.h"

namespace {

TEST(Koi8r, LettersAndMovedSigns) {
    const uint8_t rows[][2] = {
        {0xC1, 0xE0}, {0xC2, 0xE1}, {0xC0, 0xFE}, {0xD1, 0xFF}, {0xDF, 0xFA}, {0xE1, 0xC0}, {0xF1, 0xDF},
        {0xFF, 0xDA}, {0xE0, 0xDE}, {0xA3, 0xB1}, {0xB3, 0xB0}, {0xB0, 0xA3}, {0xB1, 0xB3}, {0x9B, 0xBF},
        {0xBF, 0x9B}, {0x80, 0x80}, {0xA4, 0xA4}, {0x9A, 0x9A},
    };
    for (auto& r : rows) EXPECT_EQ(koi8rToWindows1251(r[0]), r[1]) << std::hex << int(r[0]);
    std::set<int> seen;  // the high half is a permutation; ASCII is kept
    for (int c = 0; c < 256; ++c) {
        int to = koi8rToWindows1251(static_cast<uint8_t>(c));
        EXPECT_TRUE(c < 0x80 ? to == c : to >= 0x80) << c;
        seen.insert(to);
    }
    EXPECT_EQ(seen.size(), 256u);
}

TEST(RecodeText, ByEncoding) {
    const std::string koiBody = "\xC1\xC2 text";
    struct {
        uint32_t encoding;
        std::string after;  // of a destination holding "old"
    } rows[] = {
        {kEncodingCyrillicWindows, koiBody}, {kEncodingWestern, koiBody}, {kEncodingKoi8r, "old\xE0\xE1 text"},
        {kEncodingAutoSelect, "old"},        {12345, "old"},
    };
    for (auto& r : rows) {
        std::string dest = "old";
        recode_text(koiBody, dest, r.encoding);
        EXPECT_EQ(dest, r.after) << r.encoding;
    }
    std::string dest = "kept";
    recode_text("", dest, kEncodingWestern);
    EXPECT_EQ(dest, "kept");
}

TEST(CharsetToEncoding, Names) {
    struct {
        const char* charset;
        uint32_t encoding;  // 7: unknown, left untouched
    } rows[] = {{"koi8-r", kEncodingKoi8r}, {"KOI8-R", kEncodingKoi8r}, {"Windows-1251", kEncodingCyrillicWindows},
                {"us-ascii", kEncodingWestern}, {"WINDOWS-1252", kEncodingWestern}, {"iso-8859-5", 7}, {"", 7},
                {"koi8-r ", 7}};
    for (auto& r : rows) {
        uint32_t encoding = 7;
        EXPECT_EQ(charsetToEncoding(r.charset, encoding), r.encoding != 7) << r.charset;
        EXPECT_EQ(encoding, r.encoding) << r.charset;
    }
}

TEST(DisplayBody, EncodingChoice) {
    const std::string body = "\xC1\xC2", converted = "\xE0\xE1";
    // Auto-Select on: the message's own charset wins when it names an encoding.
    EXPECT_EQ(displayBody(body, "KOI8-R", kViewAutoSelectChecked, kEncodingWestern), converted);
    EXPECT_EQ(displayBody(body, "iso-8859-5", kViewAutoSelectChecked, kEncodingWestern), body);
    EXPECT_EQ(displayBody(body, "", kViewAutoSelectChecked, kEncodingKoi8r), converted);
    // Auto-Select off: the chosen encoding, whatever the message says.
    EXPECT_EQ(displayBody(body, "windows-1251", 0, kEncodingKoi8r), converted);
    EXPECT_EQ(displayBody(body, "koi8-r", 0, kEncodingCyrillicWindows), body);
    EXPECT_EQ(displayBody(body, "", 0, kEncodingAutoSelect), "");  // not an encoding: nothing shown
}

}  // namespace
