// One whole check as the workers and kxcheck run it: the states it reports,
// the list it swaps in or keeps, and what it asks of the policy.
#include <gtest/gtest.h>

#include "FakeStream.h"
#include "mail/AccountCheck.h"
#include "message/Message.h"

namespace {

const std::string kGreeting = "+OK ready <1.2@x>\r\n";
const std::string kNoCapa = "-ERR unknown command\r\n";

std::string top(int n) {
    return "+OK\r\nMessage-ID: <" + std::to_string(n) + "@x>\r\nSubject: m" + std::to_string(n) + "\r\n\r\n.\r\n";
}

struct Recorder : CheckObserver {
    std::vector<AccountState> states;
    std::vector<uint32_t> newMail;
    void accountChanged(uint32_t, const AccountStatus& s) override { states.push_back(s.state); }
    void newMailFound(uint32_t id) override { newMail.push_back(id); }
};

struct BoundPolicy : CheckPolicy {
    int overBound = 0;
    std::string stopOn;  // a subject at which the stop request comes
    FakeWait* wait = nullptr;
    void mailboxOverBound(Account&) override { ++overBound; }
    void evaluate(Message& m) override {
        if (wait && m.subject() == stopOn) wait->stopped = true;
    }
};

struct RefusingGate : CountingGate {
    bool open = true;
    bool begin(Account&) override { return open; }
};

struct Check {
    Account account;
    FakeStream stream;
    RefusingGate gate;
    BoundPolicy policy;
    Recorder observer;
    FakeWait wait;
    AccountCheck check{account, stream, gate, policy, observer, wait};
    Check() {
        account.server = "127.0.0.1";
        check.retryPauseMs = 0;
        account.savedMarks.push_back({0x1234u, false});  // an entry of the read-marks file
    }
    // A mailbox of two messages of 100 bytes each; `quit`: the answer to QUIT.
    void serve(const std::string& quit = "+OK bye\r\n") {
        stream.add({kGreeting, "+OK\r\n", kNoCapa, "+OK\r\n1 100\r\n2 100\r\n.\r\n", top(1), top(2), quit});
    }
};

}  // namespace

TEST(AccountCheck, AGoodCheckSwapsTheListAndReports) {
    struct Row {
        bool checkSize;
        uint32_t bound;
        int overBound;
    } rows[] = {{true, 199, 1}, {true, 200, 0}, {false, 0, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bound);
        Check c;
        c.account.checkMailboxSize = row.checkSize;
        c.account.mailboxBound = row.bound;
        c.serve();
        EXPECT_EQ(c.account.status().messageCount, 0u) << "nothing shown before the first check";
        ASSERT_TRUE(c.check.run()) << c.account.errorText();
        EXPECT_EQ(c.observer.states,
                  (std::vector<AccountState>{AccountState::Connecting, AccountState::Checking, AccountState::Sleeping}));
        AccountStatus s = c.account.status();
        EXPECT_EQ(s.messageCount, 2u);
        EXPECT_EQ(s.unreadCount, 2u);
        EXPECT_EQ(s.mailboxSize, 200u);
        EXPECT_FALSE(s.neverChecked);
        EXPECT_EQ(s.errorText, "") << "a server without CAPA is no error";
        EXPECT_EQ(c.account.messages.size(), 2u);
        EXPECT_TRUE(c.account.savedMarks.empty()) << "the read-marks file's entries passed on";
        EXPECT_EQ(c.observer.newMail, std::vector<uint32_t>{c.account.id()});
        EXPECT_EQ(c.policy.overBound, row.overBound);
        EXPECT_TRUE(c.account.resolved);
    }
}

TEST(AccountCheck, FailedOrStoppedChecksKeepTheEarlierList) {
    struct Row {
        const char* what;
        bool gateOpen;
        bool stopBefore;    // the stop request came before the check
        bool stopInFilter;  // ... or while the filters looked at the last message
        std::string quit;
        AccountState last;  // the last state reported
        bool quitSent;
    } rows[] = {
        {"no turn", false, false, false, "", AccountState::Failed, false},
        {"stopped while waiting for its turn", false, true, false, "", AccountState::NotStarted, false},
        {"QUIT refused after deletions", true, false, false, "-ERR no\r\n", AccountState::Failed, true},
        // No QUIT after a stop, so the server commits no deletion.
        {"stopped during the check", true, false, true, "+OK\r\n", AccountState::Checking, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Check c;
        c.gate.open = row.gateOpen;
        c.wait.stopped = row.stopBefore;
        c.policy.stopOn = row.stopInFilter ? "m2" : "";
        c.policy.wait = &c.wait;
        c.account.msgDeletion = DeletionMode::Without;
        c.account.messages.push_back(std::make_unique<Message>(std::vector<std::string>{"Message-ID: <1@x>"}, 100));
        c.account.messages.back()->markDeleted(false);
        c.stream.add({kGreeting, "+OK\r\n", kNoCapa, "+OK\r\n1 100\r\n2 100\r\n.\r\n", top(1), "+OK\r\n", top(2), row.quit});
        EXPECT_FALSE(c.check.run());
        EXPECT_EQ(c.observer.states.empty() ? AccountState::NotStarted : c.observer.states.back(), row.last);
        EXPECT_EQ(std::count(c.stream.sent.begin(), c.stream.sent.end(), "QUIT"), row.quitSent);
        EXPECT_EQ(c.account.messages.size(), 1u);
        EXPECT_EQ(c.account.savedMarks.size(), 1u);
        EXPECT_TRUE(c.account.status().neverChecked);
        EXPECT_TRUE(c.observer.newMail.empty());
        EXPECT_FALSE(c.account.resolved);
    }
}
