#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "PersistSupport.h"
#include "core/FileIO.h"
#include "mail/MessageState.h"
#include "message/Message.h"
#include "support/TempDir.h"

using namespace persist;

TEST(MessageState, StrayAndDamagedLines) {
    using Marks = std::vector<std::pair<uint32_t, bool>>;  // crc, read
    struct Case {
        const char* what;
        std::string text;
        Marks marks;
    } cases[] = {
        {"as written", "MessageCrc32=1a2b\r\nMessageReaded=yes\r\nMessageCrc32=ffffffff\r\nMessageReaded=no\r\n",
         {{0x1a2b, true}, {0xffffffff, false}}},
        // The last character is dropped as if it were the line feed.
        {"no final line feed", "MessageCrc32=10\nMessageReaded=yes", {{0x10, false}}},
        {"read line missing", "MessageCrc32=1\nMessageCrc32=2\nMessageReaded=yes\n", {{1, false}, {2, true}}},
        {"stray lines", "garbage\n\nMessageCrc32=7\n messageReaded=yes\nMessageCrc32 =8\nMessageReaded=yes\n",
         {{7, true}}},
        // A crc that does not parse starts no placeholder, so its read line
        // must not mark the message before it.
        {"not hex", "MessageCrc32=1\nMessageCrc32=zz\nMessageReaded=yes\n", {{1, false}}},
        {"past 32 bits", "MessageCrc32=123456789\nMessageReaded=yes\n", {}},
        {"NUL bytes", std::string("MessageCrc32=6\0\nMessageReaded=yes\n", 34), {{6, true}}},
        // Lines are read in pieces of 259 characters; the rest is a line of its own.
        {"overlong line", "MessageCrc32=" + std::string(300, '0') + "1a\nMessageReaded=yes\n", {{0, true}}},
    };
    for (const Case& c : cases) {
        MessageList list;
        parseMessageState(c.text, list);
        Marks got;
        for (const auto& m : list) got.push_back({m->crc(), m->read()});
        EXPECT_EQ(got, c.marks) << c.what;
    }
}

class MessageStateFile : public BoxesTest {
protected:
    TempDir dir;
};

// The user interface holds the list while it marks a message; the save waits
// for it and writes the mark.
TEST_F(MessageStateFile, RoundTripAfterTheListIsLetGo) {
    Account account;
    account.name = "Work";
    for (uint32_t crc : {0xdeadbeefu, 0x1u}) account.messages.push_back(std::make_unique<Message>(crc));
    account.messages[1]->markDeleted(false);  // deletion marks are not kept
    std::promise<void> locked;
    std::thread marker([&] {
        account.lockMessages();
        locked.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        account.messages[0]->markRead();
        account.unlockMessages();
    });
    locked.get_future().wait();
    bool saved = saveMessageState(account, dir.dir());
    marker.join();
    ASSERT_TRUE(saved);

    Account back;
    back.name = "Work";
    back.messages.push_back(std::make_unique<Message>(0x77u));
    ASSERT_TRUE(loadMessageState(back, dir.dir()));
    ASSERT_EQ(back.messages.size(), 3u) << "appended after what was there";
    EXPECT_TRUE(back.messages[1]->read());
    EXPECT_FALSE(back.messages[2]->read());
    EXPECT_FALSE(back.messages[2]->deleted());
    EXPECT_TRUE(shown().empty());

    back.messages.clear();
    ASSERT_TRUE(saveMessageState(back, dir.dir()));
    std::string text = "x";
    ASSERT_TRUE(readWholeFile(dir.file(messageStateFileName("Work")), text));
    EXPECT_EQ(text, "") << "an empty list empties the file";
}

TEST_F(MessageStateFile, MissingFileIsSilentAndAFailedWriteShowsTheSystemError) {
    Account account;
    EXPECT_FALSE(loadMessageState(account, dir.dir()));
    EXPECT_TRUE(shown().empty());
    account.messages.push_back(std::make_unique<Message>(5u));
    EXPECT_FALSE(saveMessageState(account, dir.file("missing") + "/"));
    ASSERT_EQ(shown().size(), 1u);
}
