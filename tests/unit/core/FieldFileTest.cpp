#include <gtest/gtest.h>

#include "core/FieldFile.h"
#include "core/MessageText.h"
#include "support/ShownMessages.h"

namespace {
using FieldFileTest = BoxesTest;

// Two account-file-like records: two strings and three integers each.
std::string sample() {
    FieldWriter w(2);
    for (const char* name : {"work", ""}) {
        w.putString(name);
        w.putString("pop3://u:p@mail/");
        w.putU32(110);
        w.putI32(-1);
        w.putU8(1);
    }
    return w.bytes();
}

// sample()'s fields as text; false at the first damaged one.
bool readAll(std::string_view data, std::vector<std::string>& out) {
    FieldReader r(data, "Acc_Serialize");
    std::string magic, a, b;
    uint32_t count, x;
    int32_t y;
    uint8_t z;
    if (!r.readHeader(magic, count) || magic != "KX10") return false;
    for (uint32_t i = 0; i < count; ++i) {
        if (!(r.readString(a) && r.readString(b) && r.readU32(x) && r.readI32(y) && r.readU8(z))) return false;
        out.insert(out.end(), {a, b, std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z)});
    }
    return r.atEnd();
}

std::string readOneString(const std::string& data, bool& ok) {
    FieldReader r(data, "BaseFilter");
    std::string magic, s = "untouched";
    uint32_t count, after;
    ok = r.readHeader(magic, count) && r.readString(s);
    EXPECT_FALSE(!ok && r.readU32(after));  // a failed read ends the parse
    return s;
}
}  // namespace

TEST_F(FieldFileTest, LayoutAndRoundTrip) {
    FieldWriter w(1);
    w.putString("ab");
    w.putU32(0x01020304);
    EXPECT_EQ(w.bytes(), std::string("KX10") + le32(1) + le32(4) + std::string("a\0b\0", 4) + "\x04\x03\x02\x01");
    std::vector<std::string> strings;
    ASSERT_TRUE(readAll(sample(), strings));
    EXPECT_EQ(strings,
              (std::vector<std::string>{"work", "pop3://u:p@mail/", "110 -1 1", "", "pop3://u:p@mail/", "110 -1 1"}));
    EXPECT_TRUE(shown().empty());
}

// Truncation anywhere is the fuzzer's part; a short fixed field is silent.
TEST_F(FieldFileTest, AShortFixedFieldFailsSilently) {
    uint32_t v;
    std::string magic, shortField = std::string("KX10") + le32(1) + "\x01\x02";
    FieldReader r(shortField, "BaseFilter");
    EXPECT_FALSE(r.readHeader(magic, v) && r.readU32(v));
    EXPECT_EQ(r.failure(), FieldReader::Failure::Truncated);
    EXPECT_TRUE(shown().empty());
}

TEST_F(FieldFileTest, DamagedStringsShowTheUnexpectedErrorBox) {
    struct Row {
        const char* what;
        std::string count, rest;
    } rows[] = {
        {"0x1FFFF", le32(0x1FFFF), std::string(0x1FFFF + 1, 'a')},
        {"huge", le32(0xFFFFFFFF), "abcd"},
        {"odd", le32(3), "abcd"},
        {"past the end", le32(8), "abcd"},
    };
    for (const Row& row : rows) {
        shown().clear();
        bool ok;
        EXPECT_EQ(readOneString(std::string("KX10") + le32(1) + row.count + row.rest, ok), "untouched") << row.what;
        EXPECT_FALSE(ok) << row.what;
        EXPECT_EQ(shown(), (Shown{{MSG_UnexpectedErrorIn, {"BaseFilter"}}})) << row.what;
    }
    bool ok;  // the largest accepted count is 0x1FFFE
    std::string largest = std::string("KX10") + le32(1) + le32(0x1FFFE) + std::string(0x1FFFE, 'a');
    EXPECT_EQ(readOneString(largest, ok).size(), 0xFFFFu);
    EXPECT_TRUE(ok);
    // Overlong strings are cut when written, so they read back.
    FieldWriter w(1);
    w.putString(std::string(0x20000, 'x'));
    EXPECT_EQ(readOneString(w.bytes(), ok), std::string(0xFFFF, 'x'));
    EXPECT_TRUE(ok);
}
