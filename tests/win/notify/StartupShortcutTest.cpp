// The shell link behind "Add Kestrix in Win Startup", written into a folder
// of the test's own: it points where it was told, a second write replaces
// the first, and every failure is a logged false, never a crash or a file.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "core/EventLog.h"
#include "notify/StartupShortcut.h"
#include "support/TempDir.h"

namespace {

std::wstring widePath(const std::string& path) { return std::filesystem::path(path).wstring(); }

size_t filesIn(const TempDir& dir) {
    size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.dir())) n += entry.is_regular_file();
    return n;
}

bool logged(const std::string& text) {
    for (const std::string& line : eventLog().recentLines())
        if (line.find(text) != std::string::npos) return true;
    return false;
}

class StartupShortcut : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
    TempDir dir;
};

TEST_F(StartupShortcut, SecondWriteReplacesTheFirst) {
    std::wstring link = widePath(dir.file("kestrix.lnk"));
    ASSERT_TRUE(writeShortcut(link, "C:\\old place\\kestrix.exe", "Kestrix"));
    EXPECT_EQ(shortcutTarget(link), "C:\\old place\\kestrix.exe");
    // The program moved: the shortcut follows it, and there is still one.
    ASSERT_TRUE(writeShortcut(link, "C:\\new\\kestrix.exe", "Kestrix"));
    EXPECT_EQ(shortcutTarget(link), "C:\\new\\kestrix.exe");
    EXPECT_EQ(filesIn(dir), 1u);
}

TEST_F(StartupShortcut, FailuresAreLoggedAndLeaveNoFile) {
    // A folder that does not exist.
    std::wstring nowhere = widePath(dir.file("missing")) + L"\\kestrix.lnk";
    EXPECT_FALSE(writeShortcut(nowhere, "C:\\kestrix.exe", "Kestrix"));
    EXPECT_TRUE(logged("could not be written"));
    EXPECT_EQ(shortcutTarget(nowhere), "");

    // A thread without COM cannot make the shell's link object.
    std::wstring link = widePath(dir.file("kestrix.lnk"));
    bool written = true;
    std::thread([&] { written = writeShortcut(link, "C:\\kestrix.exe", "Kestrix"); }).join();
    EXPECT_FALSE(written);
    EXPECT_EQ(filesIn(dir), 0u);
}

}  // namespace
