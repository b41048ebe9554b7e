#include <gtest/gtest.h>

#include "core/Registry.h"
#include "core/Settings.h"
#include "notify/TrayState.h"
#include "support/MemoryRegistry.h"

namespace {

AccountCounts account(const std::string& name, AccountState state, uint32_t unread, uint32_t messages = 0) {
    static uint32_t lastId = 0;
    return {++lastId, name, state, unread, messages, {}};
}

constexpr auto Sleeping = AccountState::Sleeping;
constexpr auto Checking = AccountState::Checking;
constexpr auto Connecting = AccountState::Connecting;
constexpr auto Failed = AccountState::Failed;

}  // namespace

TEST(TrayPicture, SlotFollowsTheStatesTheSettingsShow) {
    struct Case {
        AccountState a, b;
        bool errorIcon, showChecking;
        TraySlot slot;
        uint32_t colour;
    } cases[] = {
        {Sleeping, Sleeping, true, true, TraySlot::Normal, rgb(0, 140, 0)},
        {Checking, Sleeping, true, true, TraySlot::Check, rgb(0, 0, 140)},
        {Connecting, Sleeping, false, true, TraySlot::Check, rgb(0, 0, 140)},
        {Checking, Sleeping, true, false, TraySlot::Normal, rgb(0, 0, 140)},
        {Failed, Sleeping, true, false, TraySlot::Error, rgb(140, 0, 0)},
        {Failed, Sleeping, false, true, TraySlot::Normal, rgb(140, 0, 0)},
        // Both at once: the pictures the settings ask for, the colour of both.
        {Checking, Failed, true, true, TraySlot::CheckError, rgb(140, 140, 0)},
        {Checking, Failed, true, false, TraySlot::Error, rgb(140, 140, 0)},
        {Connecting, Failed, false, true, TraySlot::Check, rgb(140, 140, 0)},
        {Checking, Failed, false, false, TraySlot::Normal, rgb(140, 140, 0)},
    };
    MemoryRegistry reg;
    Settings settings(reg);
    for (const Case& c : cases) {
        settings.ErrorIcon = c.errorIcon;
        settings.ShowChecking = c.showChecking;
        TrayPicture p = trayPicture(countMail({account("a", c.a, 1), account("b", c.b, 0)}), settings);
        SCOPED_TRACE(testing::Message() << int(c.a) << "/" << int(c.b) << " " << c.errorIcon << c.showChecking);
        EXPECT_EQ(p.slot, c.slot);
        EXPECT_EQ(p.colour, c.colour);
    }
}

TEST(TrayPicture, BadgeCountsUnreadOrAllMessages) {
    MemoryRegistry reg;
    Settings settings(reg);
    MailCounts three = countMail({account("a", Sleeping, 0, 3)});
    MailCounts none = countMail({});
    struct Case {
        const MailCounts& counts;
        bool allMessages, showChecking;
        bool badge;
        uint32_t count;
    } cases[] = {
        {none, false, false, true, 0},  // 0 is drawn
        {none, false, true, false, 0},  // the state picture alone
        {three, false, false, true, 0},
        {three, true, true, true, 3},
    };
    for (const Case& c : cases) {
        settings.ShowNumberAllMsgs = c.allMessages;
        settings.ShowChecking = c.showChecking;
        TrayPicture p = trayPicture(c.counts, settings);
        EXPECT_EQ(p.badge, c.badge);
        EXPECT_EQ(p.count, c.count);
    }
}

TEST(MailSummary, OneLinePerAccountWithUnreadMail) {
    EXPECT_EQ(buildMailSummary(countMail({})), "0 new messages");
    MailCounts counts = countMail({account("A", Sleeping, 2, 5), account("idle", Sleeping, 0, 4),
                                   account("B: work", Failed, 1, 1)});
    EXPECT_EQ(counts.unreadTotal, 3u);
    EXPECT_EQ(counts.messageTotal, 10u);
    EXPECT_EQ(buildMailSummary(counts), "3 new messages\nA: 2\nB: work: 1");
}

TEST(MailSummary, WrittenForTheScreenSaverWithItsZero) {
    MemoryRegistry reg;
    writeMailSummary(reg, "1 new messages\nA: 1");
    uint32_t type = 0;
    std::string data;
    RegKey key;
    ASSERT_TRUE(key.open(reg, kRegCurrentUser, kSSaverKey, RegAccess::Read));
    ASSERT_EQ(key.query("MailInfo", type, data), kRegOk);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(data, std::string("1 new messages\nA: 1", 20));
    key.close();
    reg.setDenyAll(true);
    writeMailSummary(reg, "lost");  // silently nothing
    reg.setDenyAll(false);
    EXPECT_EQ(reg.openHandles(), 0u);
}
