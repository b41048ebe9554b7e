#include <gtest/gtest.h>

#include "message/MimeDecode.h"

namespace {

struct DecodeCase {
    const char* name;
    std::string input, output;
    bool encoded;
};

class MimeDecodeCases : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(MimeDecodeCases, Decodes) {
    const DecodeCase& c = GetParam();
    std::string out = "<";
    EXPECT_EQ(mime_decode(c.input, out), c.encoded);
    EXPECT_EQ(out, "<" + c.output);  // appended, never replaced
}

// "Привет" in KOI8-R is F0 D2 C9 D7 C5 D4; in Windows-1251 CF F0 E8 E2 E5 F2.
const std::string kPrivet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";

INSTANTIATE_TEST_SUITE_P(
    All, MimeDecodeCases,
    ::testing::Values(
        DecodeCase{"plain", "Hello world", "Hello world", false},
        DecodeCase{"empty", "", "", false},
        DecodeCase{"koi8_base64", "=?koi8-r?B?8NLJ18XU?=", kPrivet1251, true},
        DecodeCase{"koi8_upper_case_charset", "=?KOI8-R?b?8NLJ18XU?=", kPrivet1251, true},
        DecodeCase{"windows1251_not_converted", "=?windows-1251?B?8NLJ18XU?=", "\xF0\xD2\xC9\xD7\xC5\xD4", true},
        DecodeCase{"koi8_q", "=?koi8-r?Q?=F0=D2=C9=D7=C5=D4?=", kPrivet1251, true},
        DecodeCase{"text_around_words_kept", "Re: =?us-ascii?Q?a?= tail", "Re: a tail", true},
        DecodeCase{"blank_between_words_dropped", "=?us-ascii?Q?ab?= =?us-ascii?Q?cd?=", "abcd", true},
        DecodeCase{"word_between_words_dropped", "=?us-ascii?Q?ab?= lost =?us-ascii?Q?cd?=", "abcd", true},
        DecodeCase{"q_hex", "=?x?Q?=41?=", "A", true},
        DecodeCase{"q_underscore", "=?x?Q?a_b?=", "a b", true},
        DecodeCase{"q_single_char_at_end", "=?x?Q?a=4?=", "a=4", true},
        DecodeCase{"q_lone_equals_at_end", "=?x?Q?a=?=", "a=", true},
        DecodeCase{"q_not_hex", "=?x?Q?=G1b?=", "=G1b", true},
        DecodeCase{"q_soft_line_break", "=?x?Q?a=\nb?=", "ab", true},
        DecodeCase{"b_two_pads_one_byte", "=?x?B?QQ==?=", "A", true},
        DecodeCase{"b_one_pad_two_bytes", "=?x?B?QUI=?=", "AB", true},
        DecodeCase{"b_unpadded_tail", "=?x?B?QUJDRA?=", "ABCD", true},
        DecodeCase{"b_garbage_group_stops", "=?x?B?Q!JDRUZH?=", "EFG", true},
        DecodeCase{"unclosed_word_is_text", "What is 2+2=?", "What is 2+2=?", false},
        DecodeCase{"unclosed_word_after_good_one", "=?x?Q?a?= b =?x?Q?c", "a b =?x?Q?c", true},
        DecodeCase{"missing_encoding_marks", "=?koi8-r?=", "=?koi8-r?=", false},
        DecodeCase{"empty_encoding_letter", "=?x??" "?=rest", "rest", true},
        DecodeCase{"empty_text", "=?x?B?" "?=", "", true},
        DecodeCase{"eight_bit_and_nul_pass", std::string("\xF0\xD2 \x00z", 5), std::string("\xF0\xD2 \x00z", 5), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeBase64, AllBytes) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    const char* encoded =  // the 256 byte values by a known-good encoder
        "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+P0BBQkNERUZHSElKS0xNTk9Q"
        "UVJTVFVWV1hZWltcXV5fYGFiY2RlZmdoaWprbG1ub3BxcnN0dXZ3eHl6e3x9fn+AgYKDhIWGh4iJiouMjY6PkJGSk5SVlpeYmZqbnJ2en6Ch"
        "oqOkpaanqKmqq6ytrq+wsbKztLW2t7i5uru8vb6/wMHCw8TFxsfIycrLzM3Oz9DR0tPU1dbX2Nna29zd3t/g4eLj5OXm5+jp6uvs7e7v8PHy"
        "8/T19vf4+fr7/P3+/w==";
    std::string out;
    decodeBase64(encoded, out);
    EXPECT_EQ(out, all);
}

}  // namespace
