#include <windows.h>

#include <gtest/gtest.h>

#include "framework/MessageBox.h"

TEST(MessageBoxHelper, ConsoleModeAnswersWithoutWaiting) {
    setMessageBoxToConsole(true);
    EXPECT_EQ(showMessageBox(nullptr, 0x40000452), IDOK);
    EXPECT_EQ(showMessageBox(nullptr, 0x300, MB_YESNO), IDNO);
    EXPECT_EQ(showMessageBox(nullptr, 0xC0000200, MB_OKCANCEL), IDCANCEL);
    setMessageBoxToConsole(false);
}
