#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "support/TempDir.h"
#include "core/EventLog.h"
#include "core/FieldFile.h"
#include "core/FileIO.h"
#include "core/MessageText.h"
#include "core/UserMessage.h"

namespace {

std::vector<std::pair<uint32_t, std::vector<std::string>>> gShown;
void record(uint32_t id, const std::vector<std::string>& inserts) { gShown.push_back({id, inserts}); }

class FieldFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        gShown.clear();
        previous_ = setUserMessageHandler(record);
    }
    void TearDown() override { setUserMessageHandler(previous_); }
    UserMessageHandler previous_ = nullptr;
};

std::string le32(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
    return s;
}

// An account-file-like record: two strings and three integers.
std::string sample() {
    FieldWriter w(2);
    w.putString("work");
    w.putString("pop3://u:p@mail/");
    w.putU32(110);
    w.putI32(-1);
    w.putU8(1);
    w.putString("");
    w.putString("\xe9t\xe9");  // Latin-1 in the native stand-in
    w.putU32(995);
    w.putI32(7);
    w.putU8(0);
    return w.bytes();
}

struct Record {
    std::string a, b;
    uint32_t x = 0;
    int32_t y = 0;
    uint8_t z = 0;
};

// Reads the records of sample(); false at the first damaged one.
bool readAll(std::string_view data, std::vector<Record>& out) {
    FieldReader r(data, "Acc_Serialize");
    std::string magic;
    uint32_t count;
    if (!r.readHeader(magic, count) || magic != "KX10") return false;
    for (uint32_t i = 0; i < count; ++i) {
        Record rec;
        if (!(r.readString(rec.a) && r.readString(rec.b) && r.readU32(rec.x) && r.readI32(rec.y) &&
              r.readU8(rec.z)))
            return false;
        out.push_back(rec);
    }
    return r.atEnd();
}

}  // namespace

TEST_F(FieldFileTest, LayoutOnDisk) {
    FieldWriter w(1);
    w.putString("ab");
    w.putU32(0x01020304);
    EXPECT_EQ(w.bytes(), std::string("KX10") + le32(1) + le32(4) + std::string("a\0b\0", 4) + "\x04\x03\x02\x01");
}

TEST_F(FieldFileTest, RoundTrip) {
    std::vector<Record> records;
    ASSERT_TRUE(readAll(sample(), records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].a, "work");
    EXPECT_EQ(records[0].b, "pop3://u:p@mail/");
    EXPECT_EQ(records[0].x, 110u);
    EXPECT_EQ(records[0].y, -1);
    EXPECT_EQ(records[0].z, 1);
    EXPECT_EQ(records[1].a, "");
    EXPECT_EQ(records[1].b, "\xe9t\xe9");
    EXPECT_TRUE(gShown.empty());
}

TEST_F(FieldFileTest, TruncationAtEveryOffsetFailsCleanly) {
    std::string full = sample();
    for (size_t cut = 0; cut < full.size(); ++cut) {
        // An exact-size copy, so the sanitizer sees any read past the cut.
        std::unique_ptr<char[]> copy(new char[cut ? cut : 1]);
        std::memcpy(copy.get(), full.data(), cut);
        std::vector<Record> records;
        EXPECT_FALSE(readAll(std::string_view(copy.get(), cut), records)) << cut;
        EXPECT_LE(records.size(), 1u) << cut;
    }
}

TEST_F(FieldFileTest, DamagedStringsShowTheUnexpectedErrorBox) {
    struct Row {
        const char* what;
        std::string count;
        std::string rest;
    } rows[] = {
        {"0x1FFFF", le32(0x1FFFF), std::string(0x1FFFF + 1, 'a')},
        {"huge", le32(0xFFFFFFFF), "abcd"},
        {"odd", le32(3), "abcd"},
        {"past the end", le32(8), "abcd"},
    };
    for (const Row& row : rows) {
        gShown.clear();
        std::string data = std::string("KX10") + le32(1) + row.count + row.rest;
        FieldReader r(data, "BaseFilter");
        std::string magic, s = "untouched";
        uint32_t count, after;
        ASSERT_TRUE(r.readHeader(magic, count));
        EXPECT_FALSE(r.readString(s)) << row.what;
        EXPECT_EQ(s, "untouched") << row.what;
        EXPECT_EQ(r.failure(), FieldReader::Failure::DamagedString) << row.what;
        EXPECT_FALSE(r.readU32(after)) << row.what;  // the read has ended
        ASSERT_EQ(gShown.size(), 1u) << row.what;
        EXPECT_EQ(gShown[0].first, MSG_UnexpectedErrorIn);
        EXPECT_EQ(gShown[0].second, std::vector<std::string>{"BaseFilter"});
    }
    // The largest accepted count is 0x1FFFE.
    std::string data = std::string("KX10") + le32(1) + le32(0x1FFFE) + std::string(0x1FFFE, 'a');
    FieldReader r(data, "BaseFilter");
    std::string magic, s;
    uint32_t count;
    ASSERT_TRUE(r.readHeader(magic, count));
    EXPECT_TRUE(r.readString(s));
    EXPECT_EQ(s.size(), 0xFFFFu);
}

TEST_F(FieldFileTest, TruncatedFixedFieldsAreSilent) {
    std::string data = std::string("KX10") + le32(1) + "\x01\x02";
    FieldReader r(data, "BaseFilter");
    std::string magic, s;
    uint32_t count, v;
    ASSERT_TRUE(r.readHeader(magic, count));
    EXPECT_FALSE(r.readU32(v));
    EXPECT_EQ(r.failure(), FieldReader::Failure::Truncated);
    EXPECT_TRUE(gShown.empty());
}

TEST_F(FieldFileTest, OverlongStringsAreCutSoTheyReadBack) {
    FieldWriter w(1);
    w.putString(std::string(0x20000, 'x'));
    FieldReader r(w.bytes(), "Acc_Serialize");
    std::string magic, s;
    uint32_t count;
    ASSERT_TRUE(r.readHeader(magic, count));
    ASSERT_TRUE(r.readString(s));
    EXPECT_EQ(s, std::string(0xFFFF, 'x'));
}

TEST_F(FieldFileTest, DefaultHandlerLogs) {
    setUserMessageHandler(nullptr);
    std::string data = std::string("KX10") + le32(1) + le32(5) + "abcde";
    FieldReader r(data, "Acc_Serialize");
    std::string magic, s;
    uint32_t count;
    r.readHeader(magic, count);
    r.readString(s);
    setUserMessageHandler(record);
    EXPECT_NE(eventLog().recentLines().back().find(" Unexpected Error in 'Acc_Serialize'."), std::string::npos);
}

TEST(FileIO, AtomicWriteReplacesAndLeavesNoTemporaryFile) {
    TempDir dir;
    std::string path = dir.file("kestrix.dat");
    uint32_t err = 12345;
    ASSERT_TRUE(writeFileAtomically(path, "first", &err));
    ASSERT_TRUE(writeFileAtomically(path, std::string("sec\0ond", 7), &err));
    std::string back;
    ASSERT_TRUE(readWholeFile(path, back));
    EXPECT_EQ(back, std::string("sec\0ond", 7));
    size_t files = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.dir())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST(FileIO, FailuresReportAndKeepTheOldFile) {
    TempDir dir;
    uint32_t err = 0;
    EXPECT_FALSE(writeFileAtomically(dir.file("no-such-dir/x.dat"), "data", &err));
    EXPECT_NE(err, 0u);

    std::string out = "unchanged";
    err = 0;
    EXPECT_FALSE(readWholeFile(dir.file("missing.dat"), out, kMaxDataFileBytes, &err));
    EXPECT_EQ(out, "unchanged");
    EXPECT_EQ(err, 2u);  // ENOENT and ERROR_FILE_NOT_FOUND alike

    std::string path = dir.file("big.dat");
    ASSERT_TRUE(writeFileAtomically(path, std::string(1000, 'b')));
    EXPECT_FALSE(readWholeFile(path, out, 999));
    EXPECT_TRUE(readWholeFile(path, out, 1000));
    EXPECT_EQ(out.size(), 1000u);
}

TEST_F(FieldFileTest, DeferredMessagesWaitForTheOutermostScope) {
    {
        DeferUserMessages outer;
        showUserMessage(1, {"a"});
        {
            DeferUserMessages inner;
            showUserMessage(2);
        }
        EXPECT_TRUE(gShown.empty());
    }
    ASSERT_EQ(gShown.size(), 2u);
    EXPECT_EQ(gShown[0].first, 1u);
    EXPECT_EQ(gShown[0].second, std::vector<std::string>{"a"});
    EXPECT_EQ(gShown[1].first, 2u);
    showUserMessage(3);
    EXPECT_EQ(gShown.size(), 3u);
}
