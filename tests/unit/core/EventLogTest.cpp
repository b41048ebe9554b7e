#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "support/TempDir.h"
#include "core/EventLog.h"
#include "core/Platform.h"

namespace {
class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        overrideProgramDirectory(dir.dir());
        eventLog().setWriteLog(false);
        eventLog().setLogFile("");
    }
    void TearDown() override {
        eventLog().setWriteLog(false);
        eventLog().setLogFile("");
        eventLog().setSink(nullptr);
        overrideProgramDirectory("");
    }
    TempDir dir;
};
std::string gSunk;
}  // namespace

TEST(EventLogLine, ExactFormatAndCutAtTheBufferEnd) {
    EXPECT_EQ(EventLog::formatLine(5, 3, 2004, 9, 7, 3, "hello"), "05.03.2004 09.07.03 hello\n");
    EXPECT_EQ(EventLog::formatLine(31, 12, 1999, 23, 59, 59, "x\n"), "31.12.1999 23.59.59 x\n\n");
    for (size_t n : {238u, 239u, 9000u}) {
        std::string line = EventLog::formatLine(5, 3, 2004, 9, 7, 3, std::string(n, 'm'));
        EXPECT_EQ(line.size(), std::min<size_t>(20 + n + 1, EventLog::kLineMax)) << n;
        EXPECT_EQ(line.find('\n'), line.size() - 1) << n;
    }
    // The message's own line feed falls off with the cut, the line's stays.
    std::string line = EventLog::formatLine(5, 3, 2004, 9, 7, 3, std::string(238, 'm') + "\n");
    EXPECT_EQ(line.size(), EventLog::kLineMax);
    EXPECT_EQ(line.substr(line.size() - 2), "m\n");
}

TEST_F(EventLogTest, KeepsTheLast300EntriesAndFeedsTheSink) {
    gSunk.clear();
    eventLog().setSink([](const std::string& line) { gSunk = line; });
    for (int i = 1; i <= 301; ++i) eventLog().log("entry %d %s", i, "x");
    auto lines = eventLog().recentLines();
    ASSERT_EQ(lines.size(), 300u);
    EXPECT_NE(lines.front().find(" entry 2 x\n"), std::string::npos);
    EXPECT_TRUE(std::regex_match(lines.back(), std::regex(R"(\d\d\.\d\d\.\d{4} \d\d\.\d\d\.\d\d entry 301 x\n)")));
    EXPECT_EQ(gSunk, lines.back());
    eventLog().log("%s", std::string(20000, 'x').c_str());
    EXPECT_EQ(eventLog().recentLines().back().size(), EventLog::kLineMax);
}

TEST_F(EventLogTest, AReaderGetsEachNewLineOnceAlsoWhenTheMemoryIsFull) {
    for (int i = 0; i < EventLog::kMaxLines; ++i) eventLog().log("fill %d", i);
    uint64_t seen = eventLog().linesWritten();
    EXPECT_TRUE(eventLog().linesAfter(seen).empty());
    eventLog().log("new one");
    eventLog().log("new two");
    auto fresh = eventLog().linesAfter(seen);
    ASSERT_EQ(fresh.size(), 2u);
    EXPECT_NE(fresh[0].find(" new one\n"), std::string::npos);
    EXPECT_NE(fresh[1].find(" new two\n"), std::string::npos);
    EXPECT_TRUE(eventLog().linesAfter(seen).empty());
    // More than the memory holds since the last look: what is left of them.
    for (int i = 0; i < EventLog::kMaxLines + 5; ++i) eventLog().log("burst %d", i);
    fresh = eventLog().linesAfter(seen);
    ASSERT_EQ(fresh.size(), static_cast<size_t>(EventLog::kMaxLines));
    EXPECT_NE(fresh.front().find(" burst 5\n"), std::string::npos);
    // A new reader starting from 0 gets the memory.
    uint64_t fromStart = 0;
    EXPECT_EQ(eventLog().linesAfter(fromStart).size(), static_cast<size_t>(EventLog::kMaxLines));
    EXPECT_EQ(fromStart, seen);
}

TEST_F(EventLogTest, FilePlacement) {
    eventLog().log("quiet");
    EXPECT_FALSE(dir.exists("kestrix.log"));  // only when switched on
    eventLog().setWriteLog(true);
    eventLog().log("one");
    eventLog().setLogFile("other.log");  // a bare name: beside the program
    eventLog().log("two");
    std::filesystem::create_directories(dir.file("sub"));
    eventLog().setLogFile(dir.file("sub/exact.log"));
    eventLog().log("three");
    eventLog().log("four");
    eventLog().setLogFile(dir.file("missing-folder/x.log"));
    eventLog().log("still here");  // the memory copy survives an unwritable file

    EXPECT_TRUE(std::regex_match(dir.read("kestrix.log"), std::regex(R"(\d\d\.\d\d\.\d{4} \d\d\.\d\d\.\d\d one\n)")));
    EXPECT_NE(dir.read("other.log").find(" two\n"), std::string::npos);
    std::string c = dir.read("sub/exact.log");
    EXPECT_EQ(std::count(c.begin(), c.end(), '\n'), 2);
    EXPECT_NE(c.find(" three\n"), std::string::npos);
    EXPECT_NE(c.find(" four\n"), std::string::npos);
    EXPECT_EQ(c.find('\r'), std::string::npos);
    EXPECT_NE(eventLog().recentLines().back().find(" still here\n"), std::string::npos);
}

TEST_F(EventLogTest, EntriesFromManyThreadsNeverInterleave) {
    eventLog().setWriteLog(true);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i) eventLog().log("thread %d entry %03d %s", t, i, std::string(100, 'a' + t).c_str());
        });
    for (auto& th : threads) th.join();
    std::istringstream text(dir.read("kestrix.log"));
    std::regex shape(R"(\d\d\.\d\d\.\d{4} \d\d\.\d\d\.\d\d thread (\d) entry \d{3} ([a-d])\2{99})");
    int lines = 0;
    for (std::string line; std::getline(text, line); ++lines) EXPECT_TRUE(std::regex_match(line, shape)) << line;
    EXPECT_EQ(lines, 400);
}
