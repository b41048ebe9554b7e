#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "support/TempDir.h"
#include "core/EventLog.h"
#include "core/MemoryRegistry.h"
#include "core/Platform.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Puts the log back the way the other tests expect it.
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
void sink(const std::string& line) { gSunk += line; }

}  // namespace

TEST(EventLogLine, Format) {
    EXPECT_EQ(EventLog::formatLine(5, 3, 2004, 9, 7, 3, "hello"), "05.03.2004 09.07.03 hello\n");
    // A message ending in a line feed leaves an empty line after it.
    EXPECT_EQ(EventLog::formatLine(31, 12, 1999, 23, 59, 59, "x\n"), "31.12.1999 23.59.59 x\n\n");
    EXPECT_EQ(EventLog::formatLine(1, 1, 2000, 0, 0, 0, ""), "01.01.2000 00.00.00 \n");
}

TEST(EventLogLine, LongMessagesAreCutBeforeTheLineFeed) {
    for (size_t n : {237u, 238u, 239u, 300u, 9000u}) {
        std::string line = EventLog::formatLine(5, 3, 2004, 9, 7, 3, std::string(n, 'm'));
        ASSERT_LE(line.size(), EventLog::kLineMax) << n;
        EXPECT_EQ(line.back(), '\n');
        EXPECT_EQ(line.find('\n'), line.size() - 1);
        EXPECT_EQ(line.size(), std::min<size_t>(20 + n + 1, EventLog::kLineMax)) << n;
    }
    // The message's own line feed falls off with the cut, the line's stays.
    std::string line = EventLog::formatLine(5, 3, 2004, 9, 7, 3, std::string(238, 'm') + "\n");
    EXPECT_EQ(line.size(), EventLog::kLineMax);
    EXPECT_EQ(line.substr(line.size() - 2), "m\n");
}

TEST_F(EventLogTest, EntriesReachMemoryAndSink) {
    gSunk.clear();
    eventLog().setSink(sink);
    eventLog().log("Request for server %s: %s", "pop.example.com", "STAT");
    std::string last = eventLog().recentLines().back();
    EXPECT_TRUE(std::regex_match(last, std::regex(R"(\d\d\.\d\d\.\d{4} \d\d\.\d\d\.\d\d Request for server pop\.example\.com: STAT\n)")))
        << last;
    EXPECT_EQ(gSunk, last);
}

TEST_F(EventLogTest, KeepsTheLast300Entries) {
    for (int i = 1; i <= 301; ++i) eventLog().log("entry %d", i);
    auto lines = eventLog().recentLines();
    ASSERT_EQ(lines.size(), 300u);
    EXPECT_NE(lines.front().find(" entry 2\n"), std::string::npos);
    EXPECT_NE(lines.back().find(" entry 301\n"), std::string::npos);
}

TEST_F(EventLogTest, HugeMessageIsCutSafely) {
    std::string big(20000, 'x');
    eventLog().log("%s", big.c_str());
    EXPECT_EQ(eventLog().recentLines().back().size(), EventLog::kLineMax);
}

TEST_F(EventLogTest, NoFileUnlessSwitchedOn) {
    eventLog().log("quiet");
    EXPECT_FALSE(std::filesystem::exists(dir.file("kestrix.log")));
}

TEST_F(EventLogTest, FilePlacement) {
    eventLog().setWriteLog(true);
    eventLog().log("one");
    EXPECT_EQ(eventLog().logFilePath(), dir.file("kestrix.log"));

    eventLog().setLogFile("other.log");
    eventLog().log("two");
    EXPECT_EQ(eventLog().logFilePath(), dir.file("other.log"));

    std::filesystem::create_directories(dir.file("sub"));
    std::string exact = dir.file("sub/exact.log");
    eventLog().setLogFile(exact);
    eventLog().log("three");
    eventLog().log("four");

    std::string a = readFile(dir.file("kestrix.log"));
    std::string b = readFile(dir.file("other.log"));
    std::string c = readFile(exact);
    EXPECT_TRUE(std::regex_match(a, std::regex(R"(\d\d\.\d\d\.\d{4} \d\d\.\d\d\.\d\d one\n)"))) << a;
    EXPECT_NE(b.find(" two\n"), std::string::npos);
    EXPECT_EQ(std::count(c.begin(), c.end(), '\n'), 2);
    EXPECT_NE(c.find(" three\n"), std::string::npos);
    EXPECT_NE(c.find(" four\n"), std::string::npos);
    // No line-end translation: a line feed alone.
    EXPECT_EQ(c.find('\r'), std::string::npos);
}

TEST_F(EventLogTest, EntriesFromManyThreadsNeverInterleave) {
    eventLog().setWriteLog(true);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i) eventLog().log("thread %d entry %03d %s", t, i, std::string(100, 'a' + t).c_str());
        });
    for (auto& th : threads) th.join();
    std::istringstream text(readFile(dir.file("kestrix.log")));
    std::regex shape(R"(\d\d\.\d\d\.\d{4} \d\d\.\d\d\.\d\d thread (\d) entry \d{3} ([a-d])\2{99})");
    std::string line;
    int lines = 0;
    while (std::getline(text, line)) {
        ++lines;
        EXPECT_TRUE(std::regex_match(line, shape)) << line;
    }
    EXPECT_EQ(lines, 400);
}

TEST_F(EventLogTest, DeletedFileComesBack) {
    eventLog().setWriteLog(true);
    eventLog().log("first");
    std::filesystem::remove(dir.file("kestrix.log"));
    eventLog().log("second");
    std::string text = readFile(dir.file("kestrix.log"));
    EXPECT_EQ(text.find("first"), std::string::npos);
    EXPECT_NE(text.find(" second\n"), std::string::npos);
}

TEST_F(EventLogTest, UnwritableFileKeepsTheMemoryCopy) {
    eventLog().setWriteLog(true);
    eventLog().setLogFile(dir.file("missing-folder/x.log"));
    eventLog().log("still here");
    EXPECT_NE(eventLog().recentLines().back().find(" still here\n"), std::string::npos);
}

TEST_F(EventLogTest, UnreachableSettingsKeyKeepsTheValues) {
    MemoryRegistry reg;
    reg.setDenyAll(true);
    eventLog().setLogFile("c.log");
    eventLog().load(reg);
    EXPECT_EQ(eventLog().logFile(), "c.log");
}
