#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "support/TempDir.h"
#include "core/FieldFile.h"
#include "core/FileIO.h"
#include "core/MessageText.h"
#include "unit/mail/PersistSupport.h"

using namespace persist;

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

TEST_F(FieldFileTest, TruncationAtEveryOffsetFailsCleanly) {
    std::string full = sample();
    for (size_t cut = 0; cut < full.size(); ++cut) {
        // An exact-size copy, so the sanitizer sees any read past the cut.
        std::unique_ptr<char[]> copy(new char[cut ? cut : 1]);
        std::memcpy(copy.get(), full.data(), cut);
        std::vector<std::string> strings;
        EXPECT_FALSE(readAll(std::string_view(copy.get(), cut), strings)) << cut;
        EXPECT_LE(strings.size(), 3u) << cut;
    }
    shown().clear();
    uint32_t v;
    std::string magic, shortField = std::string("KX10") + le32(1) + "\x01\x02";
    FieldReader r(shortField, "BaseFilter");
    EXPECT_FALSE(r.readHeader(magic, v) && r.readU32(v));
    EXPECT_EQ(r.failure(), FieldReader::Failure::Truncated);
    EXPECT_TRUE(shown().empty());  // a short fixed field is silent
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

TEST_F(FieldFileTest, DeferredMessagesWaitForTheOutermostScope) {
    {
        DeferUserMessages outer;
        showUserMessage(1, {"a"});
        {
            DeferUserMessages inner;
            showUserMessage(2);
        }
        EXPECT_TRUE(shown().empty());
    }
    showUserMessage(3);
    EXPECT_EQ(shown(), (Shown{{1, {"a"}}, {2, {}}, {3, {}}}));
}

TEST(FileIO, AtomicWriteReplacesOrReportsAndKeepsTheOldFile) {
    TempDir dir;
    std::string path = dir.file("kestrix.dat"), back = "unchanged";
    uint32_t err = 0;
    ASSERT_TRUE(writeFileAtomically(path, "first") && writeFileAtomically(path, std::string("sec\0ond", 7)));
    ASSERT_TRUE(readWholeFile(path, back));
    EXPECT_EQ(back, std::string("sec\0ond", 7));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir()), {}), 1);  // no temporary left
    EXPECT_FALSE(writeFileAtomically(dir.file("no-such-dir/x.dat"), "data", &err));
    EXPECT_NE(err, 0u);
    EXPECT_FALSE(readWholeFile(dir.file("missing.dat"), back, kMaxDataFileBytes, &err));
    EXPECT_EQ(back, std::string("sec\0ond", 7));
    EXPECT_EQ(err, 2u);  // ENOENT and ERROR_FILE_NOT_FOUND alike
    EXPECT_FALSE(readWholeFile(path, back, 6));  // over the size limit
}
