// The event log file and the atomic writer on the Windows file system.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/EventLog.h"
#include "core/FileIO.h"
#include "core/Platform.h"

namespace {

class TempFolder {
public:
    TempFolder() {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        path_ = std::string(base) + "kxcore-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount()) + "\\";
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA((path_ + "*").c_str(), &found);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::string f = path_ + found.cFileName;
                SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(f.c_str());
            } while (FindNextFileA(h, &found));
            FindClose(h);
        }
        RemoveDirectoryA(path_.c_str());
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        overrideProgramDirectory(dir.path());
        eventLog().setWriteLog(true);
        eventLog().setLogFile("");
    }
    void TearDown() override {
        eventLog().setWriteLog(false);
        overrideProgramDirectory("");
    }
    TempFolder dir;
};

}  // namespace

TEST_F(LogFileTest, LinesEndInALineFeedAlone) {
    eventLog().log("Answer from server %s: %s", "pop", "+OK");
    eventLog().log("second");
    std::string text = readAll(dir.path() + "kestrix.log");
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NE(text.find(" Answer from server pop: +OK\n"), std::string::npos);
    EXPECT_EQ(text.size(), 2 * 20 + std::string("Answer from server pop: +OK\n").size() + std::string("second\n").size());
}

TEST_F(LogFileTest, FileIsClosedBetweenEntries) {
    eventLog().log("one");
    // Windows refuses to delete or move an open file.
    EXPECT_TRUE(MoveFileA((dir.path() + "kestrix.log").c_str(), (dir.path() + "moved.log").c_str()));
    eventLog().log("two");
    EXPECT_NE(readAll(dir.path() + "kestrix.log").find(" two\n"), std::string::npos);
    EXPECT_EQ(readAll(dir.path() + "kestrix.log").find(" one\n"), std::string::npos);
}

TEST_F(LogFileTest, AnotherWriterKeepsTheEntryOutOfTheFileOnly) {
    std::string path = dir.path() + "kestrix.log";
    HANDLE other = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    eventLog().log("while held");
    CloseHandle(other);
    EXPECT_EQ(readAll(path).find("while held"), std::string::npos);
    EXPECT_NE(eventLog().recentLines().back().find(" while held\n"), std::string::npos);
}

TEST(FileIOWin, ReplacesAReadOnlyFileAndReportsErrors) {
    TempFolder dir;
    std::string path = dir.path() + "kestrix.dat";
    ASSERT_TRUE(writeFileAtomically(path, "old"));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    uint32_t err = 0;
    ASSERT_TRUE(writeFileAtomically(path, "new", &err));
    std::string back;
    ASSERT_TRUE(readWholeFile(path, back));
    EXPECT_EQ(back, "new");

    // A file held open without sharing cannot be replaced; the old one stays.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(writeFileAtomically(path, "newer", &err));
    EXPECT_NE(err, 0u);
    CloseHandle(held);
    ASSERT_TRUE(readWholeFile(path, back));
    EXPECT_EQ(back, "new");

    WIN32_FIND_DATAA found;
    int files = 0;
    HANDLE h = FindFirstFileA((dir.path() + "*.tmp*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do ++files;
        while (FindNextFileA(h, &found));
        FindClose(h);
    }
    EXPECT_EQ(files, 0);
}
