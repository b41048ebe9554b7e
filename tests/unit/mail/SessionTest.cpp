#include <gtest/gtest.h>

#include "FakeStream.h"
#include "core/MessageText.h"
#include "mail/Pop3Session.h"
#include "message/Message.h"

namespace {

const std::string kGreeting = "+OK POP3 ready <1896.697170952@dbc.mtview.ca.us>\r\n";
const std::string kApop = "APOP mrose c4c9334bac560ecc979e58001b3e22fb";

std::string top(const std::string& id, const std::string& subject) {
    return "+OK\r\nMessage-ID: <" + id + ">\r\nSubject: " + subject + "\r\nFrom: a@example.org\r\n\r\nbody\r\n.\r\n";
}

std::string listing(int n) {
    std::string s = "+OK\r\n";
    for (int i = 1; i <= n; ++i) s += std::to_string(i) + " 120\r\n";
    return s + ".\r\n";
}

// Marks every message whose subject contains "spam" deleted, like a filter.
struct SpamFilter : CheckHooks {
    bool answer = false;
    int confirmations = 0;
    void evaluate(Message& m) override {
        if (m.subject().find("spam") != std::string::npos) m.markDeleted(false);
    }
    bool confirmDeletion(Account&) override { return ++confirmations, answer; }
};

struct Session {
    Account account;
    FakeStream stream;
    SpamFilter hooks;
    Transport transport{account, stream, hooks};
    Pop3Session pop{account, transport, hooks, false};
    MessageList result;

    Session() {
        account.server = "pop.example.org";
        account.user = "mrose";
        account.password = "tanstaaf";
    }
    bool check() {
        EXPECT_TRUE(pop.connectAndLogin());
        return pop.checkMailbox(result);
    }
    // A message of the list the check before left, for the caller to mark.
    Message& previous(const std::string& id) {
        account.messages.push_back(std::make_unique<Message>(
            std::vector<std::string>{"Message-ID: <" + id + "@x>", "Subject: " + id}, 120));
        return *account.messages.back();
    }
};

}  // namespace

TEST(Pop3Session, ApopLoginListsFetchesAndSkipsARefusedTop) {
    Session s;
    s.stream.add({kGreeting, "+OK\r\n", listing(3), top("1@x", "one"), "-ERR gone\r\n", top("3@x", "three"),
                  "+OK bye\r\n"});
    ASSERT_TRUE(s.check());
    s.pop.quit();
    EXPECT_EQ(s.stream.sent, (std::vector<std::string>{kApop, "LIST", "TOP 1 99", "TOP 2 99", "TOP 3 99", "QUIT"}));
    ASSERT_EQ(s.result.size(), 2u);
    EXPECT_EQ(s.result[1]->subject(), "three");

    Session locked;
    locked.stream.add({kGreeting, "+OK\r\n", "-ERR mailbox locked\r\n"});
    EXPECT_FALSE(locked.check());
    EXPECT_EQ(locked.account.errorText, "-ERR mailbox locked");
}

TEST(Pop3Session, LoginFlows) {
    using Script = std::vector<std::vector<std::string>>;
    const Script refusedTwice = {{kGreeting, "-ERR bad digest\r\n", "+OK bye\r\n"},
                                 {"+OK ready\r\n", "+OK\r\n", "-ERR [AUTH] wrong password\r\n"}};  // QUIT unanswered
    Script thrice;
    for (int i = 0; i < 3; ++i) thrice.insert(thrice.end(), refusedTwice.begin(), refusedTwice.end());
    struct Row {
        const char* what;
        Script script;
        bool stop, ok;
        int connects, pauses, quits;
        std::string errorText;
    } rows[] = {
        {"no stamp: USER/PASS in the same attempt",
         {{"+OK ready\r\n", "+OK bye\r\n"}, {"+OK ready\r\n", "+OK\r\n", "+OK in\r\n"}}, false, true, 2, 0, 1, ""},
        // A close in answer to the QUIT after a refusal is no error of its own.
        {"refused three times", thrice, false, false, 6, 3, 6, ""},
        {"refusal outlives an earlier close",
         {{kGreeting, "-ERR bad digest\r\n"},
          {"+OK ready\r\n", "+OK\r\n", "-ERR [AUTH] wrong password\r\n", "+OK bye\r\n"}},
         true, false, 2, 1, 2, "-ERR [AUTH] wrong password"},
        {"stop during the pause", {{"-ERR busy\r\n"}, {"-ERR busy\r\n"}}, true, false, 2, 1, 0, "-ERR busy"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Session s;
        for (const auto& c : r.script) s.stream.add(c);
        s.stream.stopPauses = r.stop;
        EXPECT_EQ(s.pop.connectAndLogin(), r.ok);
        EXPECT_EQ(s.stream.connects, r.connects);
        EXPECT_EQ(s.stream.pauses, r.pauses);
        EXPECT_EQ(std::count(s.stream.sent.begin(), s.stream.sent.end(), "QUIT"), r.quits);
        EXPECT_EQ(s.account.errorText, r.errorText);
    }
}

// A stop, or a connection lost in the middle of a TOP answer: the list so
// far is not the mailbox, and only the lost connection is an error.
TEST(Pop3Session, AStoppedOrBrokenCheckReturnsNothing) {
    for (bool stop : {true, false}) {
        SCOPED_TRACE(stop);
        Session s;
        auto& c = s.stream.add({kGreeting, "+OK\r\n", listing(3), top("1@x", "one"), "+OK\r\nSubject: tw"});
        if (stop) c.events.push_back(StreamResult::stopped());
        EXPECT_FALSE(s.check());
        EXPECT_TRUE(s.result.empty());
        EXPECT_EQ(s.stream.sent.back(), "TOP 2 99");
        EXPECT_EQ(s.account.errorText.empty(), stop);
    }
}

// The server commits DELEs only when it acknowledges QUIT.
TEST(Pop3Session, QuitFailsWhenDeletionsMayNotHaveHappened) {
    struct Row {
        bool dele;
        const char* quitAnswer;  // null: the server hangs up
        bool ok;
        std::string errorText;
    } rows[] = {
        {false, nullptr, true, ""},
        {true, "+OK bye\r\n", true, ""},
        {true, "-ERR cannot commit\r\n", false, "-ERR cannot commit"},
        {true, nullptr, false, formatMessage(MSG_ConnectionClosed)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.errorText);
        Session s;
        if (row.dele) s.previous("a").markDeleted(false);
        s.account.msgDeletion = DeletionMode::Without;
        auto& c = s.stream.add({kGreeting, "+OK\r\n", listing(1), top("a@x", "one")});
        if (row.dele) c.chunks.push_back("+OK\r\n");
        if (row.quitAnswer) c.chunks.push_back(row.quitAnswer);
        ASSERT_TRUE(s.check());
        EXPECT_EQ(s.pop.quit(), row.ok);
        EXPECT_EQ(s.account.errorText, row.errorText);
    }
}

TEST(Pop3Session, MarksCarryOverByIdentity) {
    Session s;
    s.previous("a").markRead();
    s.previous("b");
    s.stream.add({kGreeting, "+OK\r\n", listing(3), top("new@x", "new"), top("a@x", "a"), top("b@x", "b")});
    ASSERT_TRUE(s.check());
    ASSERT_EQ(s.result.size(), 3u);
    EXPECT_FALSE(s.result[0]->read());
    EXPECT_TRUE(s.result[1]->read());
    EXPECT_FALSE(s.result[2]->read());
}

// Message 1 was marked deleted before; message 2 is freshly marked by the
// filter, which only the automatic mode deletes before the user has seen it.
TEST(Pop3Session, DeletionModesDecideWhichMarkedMessagesGo) {
    struct Row {
        DeletionMode mode;
        bool confirm, deleOld, deleFresh;
        int confirmations;
    } rows[] = {
        {DeletionMode::None, true, false, false, 0},         {DeletionMode::Without, false, true, false, 0},
        {DeletionMode::With, false, false, false, 1},        {DeletionMode::With, true, true, false, 1},
        {DeletionMode::AutoFiltered, false, false, true, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<uint32_t>(row.mode));
        Session s;
        s.previous("a").markDeleted(false);
        s.account.msgDeletion = row.mode;
        s.hooks.answer = row.confirm;
        auto& c = s.stream.add({kGreeting, "+OK\r\n", listing(2), top("a@x", "one")});
        if (row.deleOld) c.chunks.push_back("+OK\r\n");  // each DELE follows the TOP of its message
        c.chunks.push_back(top("b@x", "spam"));
        if (row.deleFresh) c.chunks.push_back("+OK\r\n");
        ASSERT_TRUE(s.check());
        auto sent = [&](const char* line) { return std::count(s.stream.sent.begin(), s.stream.sent.end(), line); };
        EXPECT_EQ(sent("DELE 1"), row.deleOld);
        EXPECT_EQ(sent("DELE 2"), row.deleFresh);
        EXPECT_EQ(s.hooks.confirmations, row.confirmations);
        // What stays on the server stays in the list with its mark.
        EXPECT_EQ(s.result.size(), 2u - row.deleOld - row.deleFresh);
        for (const auto& m : s.result) EXPECT_TRUE(m->deleted());
    }
}
