#include <gtest/gtest.h>

#include <set>

#include "message/Charset.h"

namespace {

TEST(Koi8r, LettersAndMovedSigns) {
    struct {
        uint8_t in, out;
    } rows[] = {
        {0xC1, 0xE0}, {0xC2, 0xE1}, {0xC0, 0xFE}, {0xD1, 0xFF}, {0xDF, 0xFA},  // small letters
        {0xE1, 0xC0}, {0xF1, 0xDF}, {0xFF, 0xDA}, {0xE0, 0xDE},               // capitals
        {0xA3, 0xB1}, {0xB3, 0xB0}, {0xB0, 0xA3}, {0xB1, 0xB3}, {0x9B, 0xBF}, {0xBF, 0x9B},
        {0x80, 0x80}, {0xA4, 0xA4}, {0x9A, 0x9A},
    };
    for (auto r : rows) EXPECT_EQ(koi8rToWindows1251(r.in), r.out) << std::hex << int(r.in);
}

TEST(Koi8r, HighHalfIsAPermutationAndAsciiIsKept) {
    std::set<int> seen;
    for (int c = 0; c < 256; ++c) {
        int to = koi8rToWindows1251(static_cast<uint8_t>(c));
        if (c < 0x80)
            EXPECT_EQ(to, c);
        else
            EXPECT_GE(to, 0x80);
        seen.insert(to);
    }
    EXPECT_EQ(seen.size(), 256u);
}

TEST(Koi8r, TextIsAppended) {
    std::string out = "Re: ";
    koi8rToWindows1251("\xF0\xD2\xC9\xD7\xC5\xD4 ok", out);
    EXPECT_EQ(out, "Re: \xCF\xF0\xE8\xE2\xE5\xF2 ok");
}

TEST(RecodeText, ByEncoding) {
    const std::string koiBody = "\xC1\xC2 text";
    struct {
        uint32_t encoding;
        std::string before, after;
    } rows[] = {
        {kEncodingCyrillicWindows, "old", koiBody},      // copied, replacing
        {kEncodingWestern, "old", koiBody},
        {kEncodingKoi8r, "old", "old\xE0\xE1 text"},    // converted, appended
        {kEncodingAutoSelect, "old", "old"},             // not an encoding: untouched
        {12345, "", ""},
    };
    for (auto& r : rows) {
        std::string dest = r.before;
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
        bool known;
        uint32_t encoding;
    } rows[] = {
        {"koi8-r", true, kEncodingKoi8r},        {"KOI8-R", true, kEncodingKoi8r},
        {"Windows-1251", true, kEncodingCyrillicWindows}, {"us-ascii", true, kEncodingWestern},
        {"WINDOWS-1252", true, kEncodingWestern}, {"iso-8859-5", false, 7},
        {"", false, 7},                           {"koi8-r ", false, 7},
    };
    for (auto& r : rows) {
        uint32_t encoding = 7;
        EXPECT_EQ(charsetToEncoding(r.charset, encoding), r.known) << r.charset;
        EXPECT_EQ(encoding, r.encoding) << r.charset;
    }
}

TEST(DisplayBody, EncodingChoice) {
    const std::string body = "\xC1\xC2";
    const std::string converted = "\xE0\xE1";
    // Auto-Select on: the message's own charset wins when it names an encoding.
    EXPECT_EQ(displayBody(body, "KOI8-R", kViewAutoSelectChecked, kEncodingWestern), converted);
    EXPECT_EQ(displayBody(body, "iso-8859-5", kViewAutoSelectChecked, kEncodingWestern), body);
    EXPECT_EQ(displayBody(body, "", kViewAutoSelectChecked, kEncodingKoi8r), converted);
    // Auto-Select off: the chosen encoding, whatever the message says.
    EXPECT_EQ(displayBody(body, "windows-1251", 0, kEncodingKoi8r), converted);
    EXPECT_EQ(displayBody(body, "koi8-r", 0, kEncodingCyrillicWindows), body);
    // A stored choice that is not an encoding shows nothing.
    EXPECT_EQ(displayBody(body, "", 0, kEncodingAutoSelect), "");
    EXPECT_EQ(displayBody("", "koi8-r", kViewAutoSelectChecked, kEncodingWestern), "");
}

}  // namespace
