#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

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

// A process killed in the middle of a write leaves its temporary file; the
// next start removes it, but never a running writer's write in progress.
TEST(FileIO, StaleTemporaryFilesAreRemoved) {
#ifdef _WIN32
    const uint32_t self = static_cast<uint32_t>(_getpid());
#else
    const uint32_t self = static_cast<uint32_t>(getpid());
#endif
    const uint32_t gone = 0x7FFFFFF0;  // no process has this id
    struct Row {
        std::string name;
        bool old;  // written two hours ago
        bool removed;
    } rows[] = {
        {temporaryFileName("kestrix.dat", gone, 0), false, true},
        {temporaryFileName("1a2b3c.msg", gone, 17), false, true},
        {temporaryFileName("from.dat", self, 3), false, false},  // a write in progress
        {temporaryFileName("power.dat", self, 4), true, true},   // its id may be another's by now
        {temporaryFileName("notes.txt", gone, 0), false, false},
        {"kestrix.dat.tmp", false, false},
        {"kestrix.dat.tmp12x-0", false, false},
        {"kestrix.dat.tmp12-", false, false},
        {"kestrix.dat", false, false},
    };
    TempDir dir;
    for (const Row& r : rows) {
        dir.write(r.name, "x");
        if (r.old)
            std::filesystem::last_write_time(dir.file(r.name),
                                             std::filesystem::file_time_type::clock::now() - std::chrono::hours(2));
    }
    removeStaleTemporaryFiles(dir.dir());
    for (const Row& r : rows) EXPECT_EQ(std::filesystem::exists(dir.file(r.name)), !r.removed) << r.name;
}
