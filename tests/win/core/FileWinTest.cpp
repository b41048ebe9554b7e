// The event log file and the atomic writer on the Windows file system.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "core/EventLog.h"
#include "core/FileIO.h"
#include "core/Platform.h"

TEST(LogFileWin, FileIsClosedBetweenEntries) {
    TempDir dir;
    overrideProgramDirectory(dir.dir());
    eventLog().setWriteLog(true);
    eventLog().setLogFile("");
    eventLog().log("one");
    // Windows refuses to move an open file.
    EXPECT_TRUE(MoveFileA(dir.file("kestrix.log").c_str(), dir.file("moved.log").c_str()));
    eventLog().log("two");
    EXPECT_EQ(dir.read("kestrix.log").substr(20), "two\n");
    eventLog().setWriteLog(false);
    overrideProgramDirectory("");
}

TEST(FileIOWin, ReplacesAReadOnlyFileAndKeepsAHeldOne) {
    TempDir dir;
    std::string path = dir.file("kestrix.dat"), back;
    ASSERT_TRUE(writeFileAtomically(path, "old"));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(writeFileAtomically(path, "new"));

    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    uint32_t err = 0;
    EXPECT_FALSE(writeFileAtomically(path, "newer", &err));
    EXPECT_NE(err, 0u);
    CloseHandle(held);
    ASSERT_TRUE(readWholeFile(path, back));
    EXPECT_EQ(back, "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir()), {}), 1);  // no temporary left
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}
