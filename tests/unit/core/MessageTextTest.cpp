#include <gtest/gtest.h>

#include "core/MessageText.h"

TEST(MessageText, InsertsFilledAndNoLineEnd) {
    EXPECT_EQ(formatMessage(0x4000040c, 10061), "Network error 10061");
    EXPECT_EQ(formatMessage(0xC0000204, {"Acc_Pop3"}), "Unexpected Error in 'Acc_Pop3'.");
    EXPECT_EQ(formatMessage(0x40000404), "%1 new messages");  // without inserts the text stands as it is
}
