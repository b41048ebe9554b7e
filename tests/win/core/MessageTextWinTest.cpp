#include <windows.h>

#include <gtest/gtest.h>

#include "core/MessageText.h"

// Under Wine the system's own table answers for unknown ids.
TEST(MessageTextWin, UnknownIdGivesSystemText) {
    char buf[256];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             ERROR_FILE_NOT_FOUND, 0, buf, sizeof buf, nullptr);
    std::string expected(buf, n);
    while (!expected.empty() && (expected.back() == '\n' || expected.back() == '\r')) expected.pop_back();
    EXPECT_EQ(formatMessage(ERROR_FILE_NOT_FOUND), expected);
}
