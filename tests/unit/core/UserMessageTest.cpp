#include <gtest/gtest.h>

#include "core/EventLog.h"
#include "core/MessageText.h"
#include "support/ShownMessages.h"

using UserMessageTest = BoxesTest;

TEST_F(UserMessageTest, DeferredMessagesWaitForTheOutermostScope) {
    {
        DeferUserMessages outer;
        showUserMessage(1, {"a"});
        {
            DeferUserMessages inner;
            showUserMessage(2);
        }
        EXPECT_TRUE(shown().empty());
    }
    showUserMessage(3);
    EXPECT_EQ(shown(), (Shown{{1, {"a"}}, {2, {}}, {3, {}}}));
}

// A failed system call shows the system's text, or without a code the
// module's "Unexpected Error in" box, and always leaves a log line.
TEST_F(UserMessageTest, SystemErrorsAreLoggedAndShown) {
    reportSystemError(5, "cannot write x.dat", "Acc_Serialize");
    EXPECT_NE(eventLog().recentLines().back().find("Error: cannot write x.dat: "), std::string::npos);
    reportSystemError(0, "cannot write y.dat", "BaseFilter");
    EXPECT_EQ(shown(), (Shown{{5, {}}, {MSG_UnexpectedErrorIn, {"BaseFilter"}}}));
}
