#include <gtest/gtest.h>

#include "core/MessageText.h"

TEST(MessageText, TextsByIdWithInsertsAndNoLineEnd) {
    EXPECT_EQ(formatMessage(0x40000452), "Connection closed by the mail server.");
    EXPECT_EQ(formatMessage(0xC0000200), "Unexpected Error.");
    EXPECT_EQ(formatMessage(0x4000040c, 10061), "Network error 10061");
    EXPECT_EQ(formatMessage(0xC0000204, {"Acc_Pop3"}), "Unexpected Error in 'Acc_Pop3'.");
    EXPECT_EQ(formatMessage(0x40000404), "%1 new messages");  // without inserts the text stands as it is
}

#ifdef _WIN32
TEST(MessageText, UnknownIdIsTheSystemErrorText) {
    EXPECT_FALSE(hasMessage(2));
    std::string text = formatMessage(2);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
}
#endif
