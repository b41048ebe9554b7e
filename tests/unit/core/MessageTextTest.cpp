#include <gtest/gtest.h>

#include "core/MessageText.h"

TEST(MessageText, TableTextsWithoutLineEnd) {
    EXPECT_EQ(formatMessage(MSG_ConnectionClosed), "Connection closed by the mail server.");
    EXPECT_EQ(formatMessage(0x40000452), "Connection closed by the mail server.");
    EXPECT_EQ(formatMessage(0xC0000200), "Unexpected Error.");
    EXPECT_EQ(formatMessage(0x300), "Do you want remove selected account?");
    EXPECT_EQ(formatMessage(0x40000405), "not started");
    EXPECT_TRUE(hasMessage(0x4000041B));
}

TEST(MessageText, InsertsFilled) {
    EXPECT_EQ(formatMessage(0x4000040c, 10061), "Network error 10061");
    EXPECT_EQ(formatMessage(0xC0000204, {"Acc_Pop3"}), "Unexpected Error in 'Acc_Pop3'.");
    EXPECT_EQ(formatMessage(0x40000419, {"1.53"}), "1.53 KB");
    // Without inserts the text stands as it is; a missing insert reads as empty.
    EXPECT_EQ(formatMessage(0x40000404), "%1 new messages");
    EXPECT_EQ(formatMessage(0x40000404, {}), "%1 new messages");
}

TEST(MessageText, UnknownIdIsSystemErrorCode) {
    EXPECT_FALSE(hasMessage(2));
    std::string text = formatMessage(2);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
}
