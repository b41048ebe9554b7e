#include <gtest/gtest.h>

#include "FakeStream.h"
#include "mail/Pop3Session.h"
#include "message/Message.h"

namespace {

const std::string kGreeting = "+OK POP3 ready <1896.697170952@dbc.mtview.ca.us>\r\n";

std::string top(const std::string& id, const std::string& subject) {
    return "+OK\r\nMessage-ID: <" + id + ">\r\nSubject: " + subject + "\r\nFrom: a@example.org\r\n\r\nbody\r\n.\r\n";
}

// Marks every message whose subject contains "spam" deleted, like a filter.
struct SpamFilter : CheckHooks {
    bool answer = false;
    int confirmations = 0;
    void evaluate(Message& m) override {
        if (m.subject().find("spam") != std::string::npos) m.markDeleted(false);
    }
    bool confirmDeletion(Account&) override {
        ++confirmations;
        return answer;
    }
};

struct SessionFixture : ::testing::Test {
    Account account;
    FakeStream stream;
    SpamFilter hooks;
    Transport transport{account, stream, hooks};
    Pop3Session session{account, transport, hooks, false};

    void SetUp() override {
        account.server = "pop.example.org";
        account.user = "mrose";
        account.password = "tanstaaf";
    }
    std::vector<std::string> check(MessageList& result) {
        EXPECT_TRUE(session.connectAndLogin());
        bool ok = session.checkMailbox(result);
        session.quit();
        EXPECT_TRUE(ok);
        return stream.sent;
    }
    // A logged-in connection serving a mailbox of messages (id, subject).
    void mailbox(std::vector<std::pair<std::string, std::string>> msgs, std::vector<std::string> after = {}) {
        std::vector<std::string> replies{kGreeting, "+OK mrose's maildrop\r\n"};
        std::string list = "+OK\r\n";
        for (size_t i = 0; i < msgs.size(); ++i) list += std::to_string(i + 1) + " 120\r\n";
        replies.push_back(list + ".\r\n");
        for (auto& [id, subject] : msgs) replies.push_back(top(id, subject));
        for (auto& a : after) replies.push_back(a);
        stream.add(replies);
    }
};

}  // namespace

TEST(Pop3Helpers, ApopDigestOfTheGreetingStamp) {
    bool stamp = false;
    EXPECT_EQ(apopDigest(kGreeting, "tanstaaf", stamp), "c4c9334bac560ecc979e58001b3e22fb");
    EXPECT_TRUE(stamp);
    apopDigest("+OK ready", "x", stamp);
    EXPECT_FALSE(stamp);
    apopDigest("+OK <unclosed", "x", stamp);
    EXPECT_FALSE(stamp);
}

TEST(Pop3Helpers, ListingLinesThatDoNotScanGiveMinusOne) {
    auto l = parseListing("+OK 4 messages\r\n1 120\r\n2 x\r\nbad\r\n  4   99999\r\n-5 -6");
    std::vector<std::pair<int, int>> expected{{1, 120}, {2, -1}, {-1, -1}, {4, 99999}, {-5, -6}};
    EXPECT_EQ(l, expected);
    EXPECT_TRUE(parseListing("+OK 0 messages").empty());
}

TEST(Pop3Helpers, AnswerLinesSkipTheStatusLineAndKeepTheLast) {
    auto lines = splitAnswerLines("+OK\r\nA: 1\r\n\r\nbody");
    EXPECT_EQ(lines, (std::vector<std::string_view>{"A: 1", "", "body"}));
    EXPECT_EQ(splitAnswerLines("+OK\r\nA: 1\r\n"), (std::vector<std::string_view>{"A: 1"}));
    EXPECT_TRUE(splitAnswerLines("+OK").empty());
}

TEST_F(SessionFixture, ApopLoginListsAndFetchesEveryMessage) {
    mailbox({{"a@x", "hello"}, {"b@x", "second"}}, {"+OK bye\r\n"});
    MessageList result;
    auto sent = check(result);
    EXPECT_EQ(sent, (std::vector<std::string>{"APOP mrose c4c9334bac560ecc979e58001b3e22fb", "LIST", "TOP 1 99",
                                              "TOP 2 99", "QUIT"}));
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[1]->subject(), "second");
    EXPECT_EQ(result[0]->size(), 120);
}

TEST_F(SessionFixture, GreetingWithoutStampFallsBackToUserPassInTheSameAttempt) {
    stream.add({"+OK ready\r\n", "+OK bye\r\n"});
    stream.add({"+OK ready\r\n", "+OK\r\n", "+OK in\r\n"});
    EXPECT_TRUE(session.connectAndLogin());
    EXPECT_EQ(stream.sent, (std::vector<std::string>{"QUIT", "USER mrose", "PASS tanstaaf"}));
    EXPECT_EQ(stream.pauses, 0);
}

TEST_F(SessionFixture, RefusedLoginsRetryThreeTimesAndKeepTheRefusal) {
    for (int i = 0; i < 3; ++i) {
        stream.add({kGreeting, "-ERR bad digest\r\n", "+OK bye\r\n"});
        stream.add({"+OK ready\r\n", "+OK\r\n", "-ERR [AUTH] wrong password\r\n"});  // closes without a QUIT answer
    }
    EXPECT_FALSE(session.connectAndLogin());
    EXPECT_EQ(stream.connects, 6);
    EXPECT_EQ(stream.pauses, 3);
    // The server closed after the refusal, so the QUIT failing is no error of its own.
    EXPECT_EQ(account.errorText, "");
    EXPECT_EQ(std::count(stream.sent.begin(), stream.sent.end(), "QUIT"), 6);
}

TEST_F(SessionFixture, StopDuringThePauseEndsTheLogin) {
    stream.add({"-ERR busy\r\n"});
    stream.add({"-ERR busy\r\n"});
    stream.stopPauses = true;
    EXPECT_FALSE(session.connectAndLogin());
    EXPECT_EQ(stream.pauses, 1);
    EXPECT_EQ(stream.connects, 2);
}

TEST_F(SessionFixture, ListFailureFailsTheCheckAndTopFailureSkipsOneMessage) {
    stream.add({kGreeting, "+OK\r\n", "-ERR mailbox locked\r\n"});
    MessageList result;
    ASSERT_TRUE(session.connectAndLogin());
    EXPECT_FALSE(session.checkMailbox(result));
    EXPECT_EQ(account.errorText, "-ERR mailbox locked");

    FakeStream s2;
    s2.add({kGreeting, "+OK\r\n", "+OK\r\n1 10\r\n2 20\r\n3 30\r\n.\r\n", top("1@x", "one"), "-ERR gone\r\n",
            top("3@x", "three")});
    Transport t2(account, s2, hooks);
    Pop3Session p2(account, t2, hooks, false);
    ASSERT_TRUE(p2.connectAndLogin());
    ASSERT_TRUE(p2.checkMailbox(result));
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[1]->subject(), "three");
}

TEST_F(SessionFixture, EmptyMailboxSucceeds) {
    stream.add({kGreeting, "+OK\r\n", "+OK 0 messages\r\n.\r\n", "+OK\r\n"});
    MessageList result;
    check(result);
    EXPECT_TRUE(result.empty());
}

TEST_F(SessionFixture, MarksCarryOverByIdentity) {
    mailbox({{"a@x", "one"}, {"b@x", "two"}}, {"+OK\r\n"});
    MessageList first;
    check(first);
    first[0]->markRead();
    account.replaceMessages(std::move(first));
    account.msgDeletion = DeletionMode::None;

    FakeStream again;
    again.add({kGreeting, "+OK\r\n", "+OK\r\n1 120\r\n2 120\r\n3 120\r\n.\r\n", top("new@x", "new"),
               top("a@x", "one"), top("b@x", "two"), "+OK\r\n"});
    Transport t(account, again, hooks);
    Pop3Session p(account, t, hooks, false);
    MessageList result;
    ASSERT_TRUE(p.connectAndLogin());
    ASSERT_TRUE(p.checkMailbox(result));
    ASSERT_EQ(result.size(), 3u);
    EXPECT_FALSE(result[0]->read());
    EXPECT_TRUE(result[1]->read());
    EXPECT_FALSE(result[2]->read());
}

TEST_F(SessionFixture, DeletionModesDecideWhichMarkedMessagesGo) {
    struct Row {
        DeletionMode mode;
        bool confirm;
        bool expectDele;
        int confirmations;
    } rows[] = {
        {DeletionMode::None, true, false, 0},
        {DeletionMode::Without, false, true, 0},
        {DeletionMode::With, false, false, 1},
        {DeletionMode::With, true, true, 1},
        {DeletionMode::AutoFiltered, false, false, 1},
    };
    for (const Row& row : rows) {
        Account acc;
        acc.server = "s";
        acc.user = "mrose";
        acc.password = "tanstaaf";
        MessageList old;
        old.push_back(std::make_unique<Message>(std::vector<std::string>{"Message-ID: <a@x>", "Subject: one"}, 120));
        old[0]->markDeleted(false);
        acc.replaceMessages(std::move(old));
        acc.msgDeletion = row.mode;

        FakeStream s;
        s.add({kGreeting, "+OK\r\n", "+OK\r\n1 120\r\n.\r\n", top("a@x", "one"), "+OK deleted\r\n", "+OK\r\n"});
        SpamFilter h;
        h.answer = row.confirm;
        Transport t(acc, s, h);
        Pop3Session p(acc, t, h, false);
        MessageList result;
        ASSERT_TRUE(p.connectAndLogin());
        ASSERT_TRUE(p.checkMailbox(result));
        bool dele = std::find(s.sent.begin(), s.sent.end(), "DELE 1") != s.sent.end();
        EXPECT_EQ(dele, row.expectDele) << static_cast<uint32_t>(row.mode);
        EXPECT_EQ(h.confirmations, row.confirmations);
        // A deleted message leaves the list; a kept one keeps its mark.
        EXPECT_EQ(result.size(), dele ? 0u : 1u);
        if (!dele) EXPECT_TRUE(result[0]->deleted());
    }
}

TEST_F(SessionFixture, AutoDeletionRemovesFreshlyFilteredMailOnly) {
    account.msgDeletion = DeletionMode::AutoFiltered;
    mailbox({{"1@x", "buy spam now"}, {"2@x", "hello"}}, {"+OK deleted\r\n", "+OK\r\n"});
    // The DELE answer comes right after the first TOP.
    stream.script[0].chunks = {kGreeting, "+OK\r\n", "+OK\r\n1 120\r\n2 120\r\n.\r\n", top("1@x", "buy spam now"),
                               "+OK deleted\r\n", top("2@x", "hello"), "+OK\r\n"};
    MessageList result;
    auto sent = check(result);
    EXPECT_EQ(sent[3], "DELE 1");
    ASSERT_EQ(result.size(), 1u);
    EXPECT_EQ(result[0]->subject(), "hello");
    EXPECT_EQ(hooks.confirmations, 0);
}

TEST_F(SessionFixture, AStoppedCheckReturnsNothing) {
    stream.add({kGreeting, "+OK\r\n", "+OK\r\n1 120\r\n2 120\r\n3 120\r\n.\r\n", top("1@x", "one")})
        .events.push_back(StreamResult::stopped());
    MessageList result;
    ASSERT_TRUE(session.connectAndLogin());
    EXPECT_FALSE(session.checkMailbox(result));
    EXPECT_TRUE(result.empty());
    EXPECT_EQ(stream.sent.back(), "TOP 2 99");  // no TOP after the stop
    EXPECT_EQ(account.errorText, "");
}

TEST_F(SessionFixture, AWrongPasswordKeepsItsRefusalAfterAnEarlierClose) {
    // APOP refused and the server closed without answering QUIT; then USER/PASS
    // is refused too, and this time QUIT is answered.
    stream.add({kGreeting, "-ERR bad digest\r\n"});
    stream.add({"+OK ready\r\n", "+OK\r\n", "-ERR [AUTH] wrong password\r\n", "+OK bye\r\n"});
    stream.stopPauses = true;
    EXPECT_FALSE(session.connectAndLogin());
    EXPECT_EQ(account.errorText, "-ERR [AUTH] wrong password");
}
