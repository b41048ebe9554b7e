#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#include "PersistSupport.h"
#include "core/EventLog.h"
#include "core/FileIO.h"
#include "core/TextLines.h"
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
        // A crc that does not parse starts no entry, so its read line
        // must not mark the message before it.
        {"not hex", "MessageCrc32=1\nMessageCrc32=zz\nMessageReaded=yes\n", {{1, false}}},
        {"past 32 bits", "MessageCrc32=123456789\nMessageReaded=yes\n", {}},
        {"NUL bytes", std::string("MessageCrc32=6\0\nMessageReaded=yes\n", 34), {{6, true}}},
        // Lines are read in pieces of 259 characters; the rest is a line of its own.
        {"overlong line", "MessageCrc32=" + std::string(300, '0') + "1a\nMessageReaded=yes\n", {{0, true}}},
    };
    for (const Case& c : cases) {
        std::vector<SavedMark> list;
        parseMessageState(c.text, list);
        Marks got;
        for (const SavedMark& m : list) got.push_back({m.crc, m.read});
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
    back.savedMarks.push_back({0x77u, true});
    ASSERT_TRUE(loadMessageState(back, dir.dir()));
    ASSERT_EQ(back.savedMarks.size(), 3u) << "appended after what was there";
    EXPECT_EQ(back.savedMarks[1].crc, 0xdeadbeefu);
    EXPECT_TRUE(back.savedMarks[1].read);
    EXPECT_FALSE(back.savedMarks[2].read);
    EXPECT_TRUE(shown().empty());

    // Until a good check the file keeps its entries, after the list's messages.
    back.savedMarks.erase(back.savedMarks.begin());
    back.messages.push_back(std::make_unique<Message>(0x5u));
    ASSERT_TRUE(saveMessageState(back, dir.dir()));
    std::string text;
    ASSERT_TRUE(readWholeFile(dir.file(messageStateFileName("Work")), text));
    EXPECT_EQ(text, "MessageCrc32=5\r\nMessageReaded=no\r\nMessageCrc32=deadbeef\r\nMessageReaded=yes\r\n"
                    "MessageCrc32=1\r\nMessageReaded=no\r\n");
    // A good check's list replaces them.
    back.replaceMessages(MessageList{});
    EXPECT_TRUE(back.savedMarks.empty());
    ASSERT_TRUE(saveMessageState(back, dir.dir()));
    text = "x";
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

// A marks file that is there but cannot be read holds marks all the same:
// it is never replaced, and the log says why.
TEST_F(MessageStateFile, AFileThatCannotBeReadIsNeverReplaced) {
    const std::string name = messageStateFileName("Work");
    struct Row {
        const char* what;
        std::function<void(const TempDir&)> make;
        bool kept;
    } rows[] = {
        {"missing", [](const TempDir&) {}, false},
        {"larger than data files are",
         [&](const TempDir& d) { d.write(name, std::string(kMaxDataFileBytes + 1, 'x')); }, true},
        {"not a file", [&](const TempDir& d) { std::filesystem::create_directories(d.file(name) + "/x"); }, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TempDir d;
        r.make(d);
        Account account;
        account.name = "Work";
        EXPECT_FALSE(loadMessageState(account, d.dir()));
        EXPECT_EQ(account.keepMarksFile, r.kept);
        account.messages.push_back(std::make_unique<Message>(5u));
        EXPECT_EQ(saveMessageState(account, d.dir()), !r.kept);
        const std::string path = d.file(name);
        if (!r.kept) {
            EXPECT_EQ(d.read(name), "MessageCrc32=5\r\nMessageReaded=no\r\n");
        } else if (!std::filesystem::is_directory(path)) {
            EXPECT_EQ(std::filesystem::file_size(path), kMaxDataFileBytes + 1);
        }
        if (r.kept) {
            auto lines = eventLog().recentLines();
            EXPECT_NE(lines.back().find("not saved"), std::string::npos) << lines.back();
        }
    }
}

// A file without line ends (one full of NULs after a crash) reads in time
// linear in its size, as the word-list import does.
TEST(MessageState, ALongRunWithoutLineEndsReadsInLinearTime) {
    for (const std::string& text : {std::string(8u << 20, '\0'), std::string(8u << 20, 'M')}) {
        auto start = std::chrono::steady_clock::now();
        std::vector<SavedMark> list;
        parseMessageState(text, list);
        size_t pieces = 0;
        TextLines lines(text, 259);
        for (std::string_view line; lines.next(line);) ++pieces;
        EXPECT_TRUE(list.empty());
        EXPECT_EQ(pieces, (text.size() + 258) / 259);
        // A linear reader needs some milliseconds; a quadratic one minutes.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
}
