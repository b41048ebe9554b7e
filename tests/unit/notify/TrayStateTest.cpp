#include <gtest/gtest.h>

#include "core/Settings.h"
#include "notify/TrayState.h"
#include "support/MemoryRegistry.h"

namespace {

AccountCounts account(const std::string& name, AccountState state, uint32_t unread, uint32_t messages = 0) {
    return {0, name, state, unread, messages, {}};
}

constexpr auto Sleeping = AccountState::Sleeping;
constexpr auto Checking = AccountState::Checking;
constexpr auto Connecting = AccountState::Connecting;
constexpr auto Failed = AccountState::Failed;

}  // namespace

// The picture shows only the states the settings ask for; the badge's colour
// tells them all.
TEST(TrayPicture, SlotAndBadgeFollowStatesAndSettings) {
    struct Case {
        AccountState a, b;
        bool errorIcon, showChecking, allMessages;
        TraySlot slot;
        uint32_t colour;
        uint32_t count;
    } cases[] = {
        {Sleeping, Sleeping, true, true, false, TraySlot::Normal, rgb(0, 140, 0), 1},
        {Checking, Sleeping, true, true, true, TraySlot::Check, rgb(0, 0, 140), 4},
        {Checking, Sleeping, true, false, false, TraySlot::Normal, rgb(0, 0, 140), 1},
        {Failed, Sleeping, true, false, false, TraySlot::Error, rgb(140, 0, 0), 1},
        {Checking, Failed, true, true, false, TraySlot::CheckError, rgb(140, 140, 0), 1},
        {Checking, Failed, true, false, false, TraySlot::Error, rgb(140, 140, 0), 1},
        {Connecting, Failed, false, false, false, TraySlot::Normal, rgb(140, 140, 0), 1},
    };
    MemoryRegistry reg;
    Settings settings(reg);
    for (const Case& c : cases) {
        settings.ErrorIcon = c.errorIcon;
        settings.ShowChecking = c.showChecking;
        settings.ShowNumberAllMsgs = c.allMessages;
        TrayPicture p = trayPicture(countMail({account("a", c.a, 1, 3), account("b", c.b, 0, 1)}), settings);
        SCOPED_TRACE(testing::Message() << int(c.a) << "/" << int(c.b) << " " << c.errorIcon << c.showChecking);
        EXPECT_EQ(p.slot, c.slot);
        EXPECT_EQ(p.colour, c.colour);
        EXPECT_EQ(p.count, c.count);
    }
    // No mail: a 0 on the badge, unless the checking state is shown.
    settings.ShowChecking = false;
    EXPECT_TRUE(trayPicture(countMail({}), settings).badge);
    settings.ShowChecking = true;
    EXPECT_FALSE(trayPicture(countMail({}), settings).badge);
}

TEST(MailSummary, OneLinePerAccountWithUnreadMail) {
    EXPECT_EQ(buildMailSummary(countMail({})), "0 new messages");
    MailCounts counts = countMail({account("A", Sleeping, 2, 5), account("idle", Sleeping, 0, 4),
                                   account("B: work", Failed, 1, 1)});
    EXPECT_EQ(buildMailSummary(counts), "3 new messages\nA: 2\nB: work: 1");
}
