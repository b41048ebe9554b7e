#include <gtest/gtest.h>

#include <set>

#include "message/Charset.h"
#include "message/MimeDecode.h"

namespace {

// "Привет" in KOI8-R is F0 D2 C9 D7 C5 D4; in Windows-1251 CF F0 E8 E2 E5 F2.
const std::string kPrivetKoi = "\xF0\xD2\xC9\xD7\xC5\xD4", kPrivet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";

TEST(MimeDecode, EncodedWords) {
    struct {
        std::string input, output;
        bool encoded;
    } rows[] = {
        {"Hello world", "Hello world", false},
        {"=?koi8-r?B?8NLJ18XU?=", kPrivet1251, true},
        {"=?KOI8-R?b?8NLJ18XU?=", kPrivet1251, true},
        {"=?koi8-r?Q?=F0=D2=C9=D7=C5=D4?=", kPrivet1251, true},
        {"=?windows-1251?B?8NLJ18XU?=", kPrivetKoi, true},  // only KOI8-R is recoded
        {"Re: =?us-ascii?Q?a?= tail", "Re: a tail", true},
        {"=?us-ascii?Q?ab?= lost =?us-ascii?Q?cd?=", "abcd", true},  // text between words is dropped
        {"=?x?Q?a_b=41?=", "a bA", true},
        {"=?x?Q?a=4?=", "a=4", true},
        {"=?x?Q?=G1b?=", "=G1b", true},
        {"=?x?Q?a=\nb?=", "ab", true},
        {"=?x?B?QQ==?=", "A", true},
        {"=?x?B?QUJDRA?=", "ABCD", true},
        {"=?x?B?+/8=?=", "\xFB\xFF", true},
        {"=?x?B?Q!JDRUZH?=", "EFG", true},  // a group with a stray byte is skipped
        {"What is 2+2=?", "What is 2+2=?", false},
        {"=?x?Q?a?= b =?x?Q?c", "a b =?x?Q?c", true},  // an unfinished word stays text
        {"=?koi8-r?=", "=?koi8-r?=", false},
        {std::string("\xF0\xD2 \x00z", 5), std::string("\xF0\xD2 \x00z", 5), false},
    };
    for (auto& r : rows) {
        std::string out = "<";
        EXPECT_EQ(mime_decode(r.input, out), r.encoded) << r.input;
        EXPECT_EQ(out, "<" + r.output) << r.input;  // appended, never replaced
    }
}

TEST(Koi8r, TableIsAPermutationKeepingAscii) {
    std::set<int> seen;
    for (int c = 0; c < 256; ++c) {
        int to = koi8rToWindows1251(static_cast<uint8_t>(c));
        EXPECT_TRUE(c < 0x80 ? to == c : to >= 0x80) << c;
        seen.insert(to);
    }
    EXPECT_EQ(seen.size(), 256u);
    const uint8_t moved[][2] = {{0xC0, 0xFE}, {0xFF, 0xDA}, {0xA3, 0xB1}, {0xB3, 0xB0}, {0x9B, 0xBF}, {0xBF, 0x9B}};
    for (auto& r : moved) EXPECT_EQ(koi8rToWindows1251(r[0]), r[1]) << std::hex << int(r[0]);
}

TEST(Koi8r, BodyShownInTheChosenEncoding) {
    std::string dest = "old";
    recode_text(kPrivetKoi, dest, kEncodingKoi8r);
    EXPECT_EQ(dest, "old" + kPrivet1251);
    recode_text(kPrivetKoi, dest, kEncodingAutoSelect);  // not an encoding: destination untouched
    EXPECT_EQ(dest, "old" + kPrivet1251);
    // Auto-Select on: the message's own charset wins when it names an encoding.
    EXPECT_EQ(displayBody(kPrivetKoi, "KOI8-R", kViewAutoSelectChecked, kEncodingWestern), kPrivet1251);
    EXPECT_EQ(displayBody(kPrivetKoi, "iso-8859-5", kViewAutoSelectChecked, kEncodingKoi8r), kPrivet1251);
    EXPECT_EQ(displayBody(kPrivetKoi, "koi8-r ", kViewAutoSelectChecked, kEncodingWestern), kPrivetKoi);
    // Auto-Select off: the chosen encoding, whatever the message says.
    EXPECT_EQ(displayBody(kPrivetKoi, "koi8-r", 0, kEncodingCyrillicWindows), kPrivetKoi);
    EXPECT_EQ(displayBody(kPrivetKoi, "windows-1251", 0, kEncodingKoi8r), kPrivet1251);
}

}  // namespace
