#include <gtest/gtest.h>

#include <filesystem>

#include "PersistSupport.h"
#include "core/FileIO.h"
#include "mail/MessageState.h"
#include "message/Message.h"
#include "support/TempDir.h"

using namespace persist;

namespace {

using Marks = std::vector<std::pair<uint32_t, bool>>;  // crc, read

Marks parsed(std::string_view text) {
    MessageList list;
    parseMessageState(text, list);
    Marks out;
    for (const auto& m : list) out.push_back({m->crc(), m->read()});
    return out;
}

}  // namespace

TEST(MessageStateName, IsTheHexCrcOfTheName) {
    EXPECT_EQ(messageStateFileName("abcd"), "ccc6120d.msg");
    EXPECT_EQ(messageStateFileName("Work"), "d23818a2.msg");
    EXPECT_EQ(messageStateFileName(""), "0.msg");
}

TEST(MessageStateParse, Lines) {
    const std::string longLine = "MessageCrc32=" + std::string(300, '0') + "1a\n";
    struct Case {
        const char* what;
        std::string text;
        Marks marks;
    } cases[] = {
        {"as written", "MessageCrc32=1a2b\r\nMessageReaded=yes\r\nMessageCrc32=ffffffff\r\nMessageReaded=no\r\n",
         {{0x1a2b, true}, {0xffffffff, false}}},
        {"line feeds only", "MessageCrc32=0\nMessageReaded=yes\n", {{0, true}}},
        {"empty", "", {}},
        // The last character is dropped as if it were the line feed.
        {"no final line feed", "MessageCrc32=10\nMessageReaded=yes", {{0x10, false}}},
        {"no line feed after the crc", "MessageCrc32=123", {{0x12, false}}},
        {"read line missing", "MessageCrc32=1\nMessageCrc32=2\nMessageReaded=yes\nMessageCrc32=3\n",
         {{1, false}, {2, true}, {3, false}}},
        {"read line first", "MessageReaded=yes\nMessageCrc32=5\n", {{5, false}}},
        {"stray lines", "garbage\n\nMessageCrc32=7\n messageReaded=yes\nMessageCrc32 =8\nMessageReaded=yes\n",
         {{7, true}}},
        {"later read line wins", "MessageCrc32=9\nMessageReaded=yes\nMessageReaded=maybe\n", {{9, false}}},
        {"upper case and 0x", "MessageCrc32=0xABCDEF01\nMessageCrc32= 7f\n", {{0xabcdef01, false}, {0x7f, false}}},
        {"digits end at a letter", "MessageCrc32=12zz\nMessageReaded=yes\n", {{0x12, true}}},
        // A crc that does not parse starts no placeholder; its read line
        // must not mark the message before it.
        {"not hex", "MessageCrc32=1\nMessageCrc32=zz\nMessageReaded=yes\n", {{1, false}}},
        {"past 32 bits", "MessageCrc32=123456789\nMessageReaded=yes\n", {}},
        {"empty value", "MessageCrc32=\nMessageReaded=yes\n", {}},
        {"lone carriage return", "MessageCrc32=4\r\rMessageReaded=yes\r\n", {{4, false}}},
        {"NUL bytes", std::string("MessageCrc32=6\0\nMessageReaded=yes\n", 34), {{6, true}}},
        // Lines are read in pieces of 259 characters; the rest of a longer
        // line is a line of its own.
        {"overlong line", longLine + "MessageReaded=yes\n", {{0, true}}},
    };
    for (const Case& c : cases) EXPECT_EQ(parsed(c.text), c.marks) << c.what;
}

namespace {

class MessageStateFile : public BoxesTest {
protected:
    TempDir dir;
    Account account;
    void SetUp() override {
        BoxesTest::SetUp();
        account.name = "Work";
    }
    std::string path() { return dir.file(messageStateFileName("Work")); }
};

}  // namespace

TEST_F(MessageStateFile, RoundTripInListOrder) {
    for (uint32_t crc : {0xdeadbeefu, 0x1u, 0x0u, 0xdeadbeefu}) account.messages.push_back(std::make_unique<Message>(crc));
    account.messages[0]->markRead();
    account.messages[2]->markRead();
    account.messages[1]->markDeleted(false);  // deletion marks are not kept
    account.lockMessages();  // the user interface may hold the lock already
    ASSERT_TRUE(saveMessageState(account, dir.dir()));
    account.unlockMessages();
    std::string text;
    ASSERT_TRUE(readWholeFile(path(), text));
    EXPECT_EQ(text,
              "MessageCrc32=deadbeef\r\nMessageReaded=yes\r\nMessageCrc32=1\r\nMessageReaded=no\r\n"
              "MessageCrc32=0\r\nMessageReaded=yes\r\nMessageCrc32=deadbeef\r\nMessageReaded=no\r\n");

    Account back;
    back.name = "Work";
    back.messages.push_back(std::make_unique<Message>(0x77u));
    ASSERT_TRUE(loadMessageState(back, dir.dir()));
    ASSERT_EQ(back.messages.size(), 5u) << "appended after what was there";
    EXPECT_EQ(back.messages[1]->crc(), 0xdeadbeefu);
    EXPECT_TRUE(back.messages[1]->read());
    EXPECT_FALSE(back.messages[2]->deleted());
    EXPECT_TRUE(back.messages[3]->read());
    EXPECT_FALSE(back.messages[4]->read());
    EXPECT_TRUE(shown().empty());

    // An empty list empties the file.
    back.messages.clear();
    ASSERT_TRUE(saveMessageState(back, dir.dir()));
    ASSERT_TRUE(readWholeFile(path(), text));
    EXPECT_EQ(text, "");
}

TEST_F(MessageStateFile, MissingFileIsSilent) {
    EXPECT_FALSE(loadMessageState(account, dir.dir()));
    EXPECT_TRUE(account.messages.empty());
    EXPECT_TRUE(shown().empty());
}

TEST_F(MessageStateFile, FailedWriteShowsTheSystemError) {
    account.messages.push_back(std::make_unique<Message>(5u));
    EXPECT_FALSE(saveMessageState(account, dir.file("missing") + "/"));
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_NE(shown()[0].first, 0u);
}
