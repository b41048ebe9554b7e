#include <gtest/gtest.h>

#include <filesystem>

#include "core/FileIO.h"
#include "support/TempDir.h"

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

TEST(FileIO, AppendCreatesAndAddsBytesAsTheyAre) {
    TempDir dir;
    EXPECT_TRUE(appendToFile(dir.file("a.log"), "one\n") && appendToFile(dir.file("a.log"), std::string("t\0o\n", 4)));
    EXPECT_EQ(dir.read("a.log"), std::string("one\nt\0o\n", 8));
    EXPECT_FALSE(appendToFile(dir.file("missing/a.log"), "x"));
}
