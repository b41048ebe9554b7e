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

// Marks every message whose subject contains "spam" deleted, like a filter;
// its confirmation answers as told, or is cut short by a stop request.
struct SpamFilter : CheckPolicy {
    bool answer = false, stopWhileAsking = false;
    int confirmations = 0;
    void evaluate(Message& m) override {
        if (m.subject().find("spam") != std::string::npos) m.markDeleted(false);
    }
    bool confirmDeletion(Account&, CheckWait& wait) override {
        ++confirmations;
        if (stopWhileAsking) static_cast<FakeWait&>(wait).stopped = true;
        return answer;
    }
};

struct Session {
    Account account;
    FakeStream stream;
    CheckGate gate;
    SpamFilter policy;
    FakeWait wait;
    Transport transport{account, stream, gate};
    Pop3Session pop{account, transport, policy, wait};
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
    Message& previous(const std::string& id, const std::string& subject = "", int size = 120) {
        account.messages.push_back(std::make_unique<Message>(
            std::vector<std::string>{"Message-ID: <" + id + "@x>", "Subject: " + subject}, size));
        return *account.messages.back();
    }
    // The read-marks file's entry for such a message, marked read.
    void placeholder(const std::string& id) {
        uint32_t crc = Message(std::vector<std::string>{"Message-ID: <" + id + "@x>"}, 120).crc();
        account.savedMarks.push_back({crc, true});
    }
    long sent(const std::string& line) const { return std::count(stream.sent.begin(), stream.sent.end(), line); }
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
    EXPECT_EQ(locked.account.errorText(), "-ERR mailbox locked");
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
        EXPECT_EQ(s.stream.pausedMs, r.stop ? s.stream.lastPause : r.pauses * 10000u) << "ten seconds between attempts";
        EXPECT_EQ(s.sent("QUIT"), r.quits);
        EXPECT_EQ(s.account.errorText(), r.errorText);
    }
}

// The pause between login attempts is the checker's own: however short the
// time-out (1 s at least), it never reads as the server's silence.
TEST(Pop3Session, PauseBetweenAttemptsIsNoSilence) {
    Account account;
    FakeStream stream;
    CountingGate gate;
    gate.clock = &stream;
    CheckPolicy policy;
    FakeWait wait;
    Transport transport{account, stream, gate};
    Pop3Session pop{account, transport, policy, wait};
    account.secureAuth = false;
    for (int i = 0; i < 3; ++i) stream.add({"+OK\r\n", "+OK\r\n", "-ERR [AUTH] wrong password\r\n", "+OK\r\n"});
    EXPECT_FALSE(pop.connectAndLogin());
    EXPECT_EQ(stream.connects, 3) << "three password attempts, no more";
    EXPECT_EQ(stream.pausedMs, 30000u);
    EXPECT_LE(gate.longestSilence, 500u);
}

// A command argument with a line end or a NUL would smuggle in commands of
// its own (a DELE behind PASS): it is never sent, and since another attempt
// would only repeat it, the login ends at once. So does a command too long.
TEST(Pop3Session, UnsendableArgumentsEndTheLoginAtOnce) {
    struct Row {
        const char* what;
        std::string user, password;
        bool apop;
        uint32_t error;
        std::vector<std::string> sent;
    } rows[] = {
        {"CR LF in the password", "u", "p\r\nDELE 1", false, MSG_CommandUnsafe, {"USER u"}},
        {"LF in the password", "u", "p\nDELE 1", false, MSG_CommandUnsafe, {"USER u"}},
        {"CR in the user name", "u\rDELE 1", "p", false, MSG_CommandUnsafe, {}},
        {"NUL in the password", "u", std::string("p\0DELE 1", 8), false, MSG_CommandUnsafe, {"USER u"}},
        {"LF in the user name, APOP", "u\nDELE 1", "p", true, MSG_CommandUnsafe, {}},
        {"user name too long, APOP", std::string(5000, 'u'), "p", true, MSG_CommandTooLong, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Session s;
        s.account.user = r.user;
        s.account.password = r.password;
        s.account.secureAuth = r.apop;
        for (int i = 0; i < 6; ++i) s.stream.add({kGreeting, "+OK\r\n", "+OK\r\n", "+OK\r\n"});
        EXPECT_FALSE(s.pop.connectAndLogin());
        EXPECT_EQ(s.stream.sent, r.sent);
        EXPECT_EQ(s.stream.connects, 1);
        EXPECT_EQ(s.stream.pausedMs, 0u);
        EXPECT_EQ(s.account.lastError(), r.error);
        EXPECT_EQ(s.account.errorText().substr(0, 20), formatMessage(r.error).substr(0, 20));
    }
}

// Listing lines that do not scan still give a TOP, with -1 where the number
// or the size would be.
TEST(Pop3Session, ListingLinesThatDoNotScan) {
    Session s;
    s.stream.add({kGreeting, "+OK\r\n", "+OK\r\nnonsense\r\n1 abc\r\n.\r\n", "-ERR no\r\n", top("1@x", "one")});
    ASSERT_TRUE(s.check());
    EXPECT_EQ(std::vector<std::string>(s.stream.sent.begin() + 2, s.stream.sent.end()),
              (std::vector<std::string>{"TOP -1 99", "TOP 1 99"}));
    ASSERT_EQ(s.result.size(), 1u);
    EXPECT_EQ(s.result[0]->size(), -1);
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
        EXPECT_EQ(s.account.errorText().empty(), stop);
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
        EXPECT_EQ(s.account.errorText(), row.errorText);
    }
}

// Of two earlier messages with one CRC, the first one's marks count.
TEST(Pop3Session, MarksCarryOverFromTheFirstOfEqualCrcs) {
    Session s;
    s.previous("a").markRead();
    s.previous("b");
    s.previous("b").markRead();
    s.previous("a");
    s.stream.add({kGreeting, "+OK\r\n", listing(3), top("new@x", "new"), top("a@x", "a"), top("b@x", "b")});
    ASSERT_TRUE(s.check());
    ASSERT_EQ(s.result.size(), 3u);
    EXPECT_FALSE(s.result[0]->read());
    EXPECT_TRUE(s.result[1]->read());
    EXPECT_FALSE(s.result[2]->read());
}

// Message 1 ("a") may have been marked before; message 2 is spam that the
// filter marks now, which only the automatic mode deletes unasked.
TEST(Pop3Session, DeletionModesDecideWhichMarkedMessagesGo) {
    struct Earlier {
        bool marked;
    };
    struct Row {
        const char* what;
        DeletionMode mode;
        std::vector<Earlier> earlierA;  // earlier messages with message 1's CRC, in list order
        const char* subjectA;
        bool confirm, stopWhileAsking, deleOld, deleFresh;
        int confirmations;
    } rows[] = {
        {"never", DeletionMode::None, {{true}}, "one", true, false, false, false, 0},
        {"unasked", DeletionMode::Without, {{true}}, "one", false, false, true, false, 0},
        {"declined", DeletionMode::With, {{true}}, "one", false, false, false, false, 1},
        {"confirmed", DeletionMode::With, {{true}}, "one", true, false, true, false, 1},
        {"confirmed, then stopped", DeletionMode::With, {{true}}, "one", true, true, false, false, 1},
        {"auto, declined", DeletionMode::AutoFiltered, {{true}}, "one", false, false, false, true, 1},
        // Marked by the user, declined, and matched by the filter again: it
        // waits for a confirmed pass all the same.
        {"auto, declined, filtered again", DeletionMode::AutoFiltered, {{true}}, "spam too", false, false, false, true,
         1},
        {"first of equal CRCs marked", DeletionMode::Without, {{true}, {false}}, "one", false, false, true, false, 0},
        {"only a later one marked", DeletionMode::Without, {{false}, {true}}, "one", false, false, false, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Session s;
        for (const Earlier& e : row.earlierA)
            if (e.marked) s.previous("a").markDeleted(false);
            else s.previous("a");
        s.account.msgDeletion = row.mode;
        s.policy.answer = row.confirm;
        s.policy.stopWhileAsking = row.stopWhileAsking;
        auto& c = s.stream.add({kGreeting, "+OK\r\n", listing(2), top("a@x", row.subjectA)});
        if (row.deleOld) c.chunks.push_back("+OK\r\n");  // each DELE follows the TOP of its message
        c.chunks.push_back(top("b@x", "spam"));
        if (row.deleFresh) c.chunks.push_back("+OK\r\n");
        bool ok = s.check();
        EXPECT_EQ(ok, !row.stopWhileAsking);
        EXPECT_EQ(s.sent("DELE 1"), row.deleOld);
        EXPECT_EQ(s.sent("DELE 2"), row.deleFresh);
        EXPECT_EQ(s.policy.confirmations, row.confirmations);
        if (!ok) continue;
        // What stays on the server stays in the list; marked where it was marked.
        EXPECT_EQ(s.result.size(), 2u - row.deleOld - row.deleFresh);
        for (const auto& m : s.result)
            EXPECT_EQ(m->deleted(), m->subject() != "one" || row.earlierA[0].marked) << m->subject();
    }
}

TEST(Pop3Session, CapabilitiesAreReadLineByLineAndBounded) {
    std::string many = "+OK\r\n";
    for (size_t i = 0; i < Capabilities::kMaxLines; ++i) many += "X-CAP" + std::to_string(i) + "\r\n";
    many += "STLS";
    struct Row {
        std::string answer;
        bool answered, stls, pipelining, uidl;
        size_t lines;
    } rows[] = {
        {"+OK Capability list follows\r\nTOP\r\nUIDL\r\nSTLS\r\nPIPELINING\r\nSASL PLAIN", true, true, true, true, 5},
        {"+OK\r\nstls\r\n  uidl  \r\nSASL STLS PIPELINING", true, true, false, true, 3},  // words after the first are arguments
        {"+OK\r\nSTLSX\r\nUIDL-ISH\r\n\r\nPIPELINING", true, false, true, false, 3},
        {"+OK", true, false, false, false, 0},
        {"-ERR unknown command", false, false, false, false, 0},
        {"", false, false, false, false, 0},
        {many, true, false, false, false, Capabilities::kMaxLines},  // a STLS past the kept lines does not count
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.answer.substr(0, 60));
        Capabilities c = parseCapabilities(r.answer);
        EXPECT_EQ(c.answered, r.answered);
        EXPECT_EQ(c.stls, r.stls);
        EXPECT_EQ(c.pipelining, r.pipelining);
        EXPECT_EQ(c.uidl, r.uidl);
        EXPECT_EQ(c.lines.size(), r.lines);
    }
    Capabilities c = parseCapabilities("+OK\r\nIMPLEMENTATION " + std::string(5000, 'x'));
    ASSERT_EQ(c.lines.size(), 1u);
    EXPECT_EQ(c.lines[0].size(), Capabilities::kMaxLine);
    EXPECT_TRUE(c.has("implementation"));
}

// With STLS asked for, nothing of the login leaves before the connection is
// secured, and a failure of that kind is not tried again.
TEST(Pop3Session, SecureConnectionsComeBeforeAnyCredential) {
    const std::string kCapa = "+OK\r\nUIDL\r\nSTLS\r\n.\r\n";
    TlsFailure untrusted{TlsFailure::Untrusted, "unknown issuer", std::string(64, 'a')};
    struct Row {
        const char* what;
        SecureConnection mode;
        std::vector<std::string> replies;
        StreamResult secured;
        bool ok;
        std::vector<std::string> sent;
        uint32_t error;
    } rows[] = {
        {"STLS then APOP", SecureConnection::Stls, {kGreeting, kCapa, "+OK begin\r\n", "+OK\r\n"}, StreamResult::ok(),
         true, {"CAPA", "STLS", "<TLS>", kApop}, 0},
        // Whatever came with the STLS answer is no answer to the login.
        {"bytes before the handshake are dropped", SecureConnection::Stls,
         {kGreeting, kCapa, "+OK begin\r\n+OK logged in\r\n", "-ERR bad\r\n"}, StreamResult::ok(), true,
         {"CAPA", "STLS", "<TLS>", kApop, "QUIT", "CAPA", "STLS", "<TLS>", "USER mrose"}, 0},
        {"STLS not listed", SecureConnection::Stls, {kGreeting, "+OK\r\nUIDL\r\n.\r\n", "+OK bye\r\n"},
         StreamResult::ok(), false, {"CAPA", "QUIT"}, MSG_NoStls},
        {"CAPA unknown", SecureConnection::Stls, {kGreeting, "-ERR what?\r\n", "+OK bye\r\n"}, StreamResult::ok(),
         false, {"CAPA", "QUIT"}, MSG_NoStls},
        {"STLS refused", SecureConnection::Stls, {kGreeting, kCapa, "-ERR not now\r\n"}, StreamResult::ok(), false,
         {"CAPA", "STLS", "QUIT"}, MSG_StlsRefused},
        {"certificate refused after STLS", SecureConnection::Stls, {kGreeting, kCapa, "+OK begin\r\n"},
         StreamResult::insecure(), false, {"CAPA", "STLS", "<TLS>"}, MSG_TlsUntrusted},
        {"TLS from the first byte", SecureConnection::Tls, {kGreeting, "+OK\r\n"}, StreamResult::ok(), true,
         {"<TLS>", kApop}, 0},
        {"certificate refused before the greeting", SecureConnection::Tls, {kGreeting}, StreamResult::insecure(),
         false, {"<TLS>"}, MSG_TlsUntrusted},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Session s;
        s.account.secureConnection = r.mode;
        s.stream.add(r.replies);
        // The APOP fallback to USER/PASS, and two more attempts, would find these.
        for (int i = 0; i < 6; ++i) s.stream.add({kGreeting, kCapa, "+OK begin\r\n", "+OK\r\n", "+OK\r\n"});
        s.stream.secureResult = r.secured;
        s.stream.failure = untrusted;
        EXPECT_EQ(s.pop.connectAndLogin(), r.ok);
        ASSERT_GE(s.stream.sent.size(), r.sent.size());
        EXPECT_EQ(std::vector<std::string>(s.stream.sent.begin(), s.stream.sent.begin() + r.sent.size()), r.sent);
        if (!r.error) continue;
        EXPECT_EQ(s.stream.sent, r.sent) << "nothing after the refusal";
        EXPECT_EQ(s.stream.connects, 1) << "no second attempt";
        EXPECT_EQ(s.stream.pauses, 0);
        EXPECT_EQ(s.account.lastError(), r.error);
        EXPECT_EQ(s.account.status().refusedCertificate, r.error == MSG_TlsUntrusted ? untrusted.fingerprint : "");
    }
}

// What a server listed before STLS may have been forged on the way: the
// check goes by the list it asks for once logged in on the secured
// connection, pipelining its TOPs only when that one lists PIPELINING.
TEST(Pop3Session, OnlyTheCapabilitiesListedAfterStlsCount) {
    const std::string kForged = "+OK\r\nSTLS\r\nPIPELINING\r\n.\r\n";
    struct Row {
        const char* what;
        std::string before, after;  // the CAPA answers
        std::vector<std::string> sent;
    } rows[] = {
        {"listed before only", kForged, "-ERR not now\r\n", {"LIST", "TOP 1 99", "TOP 2 99", "QUIT"}},
        {"listed after only", "+OK\r\nSTLS\r\n.\r\n", "+OK\r\nPIPELINING\r\n.\r\n",
         {"LIST", "TOP 1 99\r\nTOP 2 99", "QUIT"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Session s;
        s.account.secureConnection = SecureConnection::Stls;
        s.account.secureAuth = false;
        s.stream.add({kGreeting, r.before, "+OK begin\r\n", "+OK\r\n", "+OK\r\n", r.after, listing(2),
                      top("a@x", "a"), top("b@x", "b"), "+OK bye\r\n"});
        ASSERT_TRUE(s.pop.connectAndLogin());
        s.pop.requestCapabilities();
        ASSERT_TRUE(s.pop.checkMailbox(s.result));
        EXPECT_TRUE(s.pop.quit());
        EXPECT_EQ(s.result.size(), 2u);
        std::vector<std::string> sent{"CAPA", "STLS", "<TLS>", "USER mrose", "PASS tanstaaf", "CAPA"};
        sent.insert(sent.end(), r.sent.begin(), r.sent.end());
        EXPECT_EQ(s.stream.sent, sent);
    }
}

// A message whose header cannot be fetched this time is still in the
// mailbox: it keeps its earlier copy and marks. A server that refuses every
// header has shown nothing, so the check fails and the last list stays.
TEST(Pop3Session, FailedTopsKeepTheEarlierCopies) {
    const std::string refused = "-ERR [SYS/TEMP] try again later\r\n";
    struct Row {
        const char* what;
        // "p:" an entry of the read-marks file, "k:" its placeholder kept in the
        // list by an earlier check, "=N:" a message listed with size N
        std::vector<std::string> earlier;
        std::vector<std::string> tops;     // the answers, "" for a refusal
        bool ok;
        std::string result;  // subjects, "?" for a placeholder, "*" after a read one
    } rows[] = {
        {"all refused, marks on disk", {"p:a", "p:b"}, {"", ""}, false, ""},
        {"all refused, an earlier list", {"=120:a", "=120:b"}, {"", ""}, false, ""},
        {"one refused: the earlier copy of its size", {"=120:a", "=99:x", "=120:b"}, {"a", "", "c"}, true, "a* b* c"},
        {"one refused: a placeholder", {"p:b"}, {"a", "", "c"}, true, "a ?* c"},
        {"two refused: kept placeholder first", {"p:b", "k:d"}, {"a", "", "c", ""}, true, "a ?* c ?*"},
        {"a fetched entry is no placeholder", {"p:a", "p:b"}, {"a", ""}, true, "a* ?*"},
        {"one refused: nothing earlier of its size", {"=99:b"}, {"a", "", "c"}, true, "a c"},
        {"two refused: each its own copy", {"=120:b", "=120:d"}, {"a", "", "c", ""}, true, "a b* c d*"},
        {"fetched again: no copy twice", {"=120:a"}, {"a", ""}, true, "a*"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Session s;
        for (const std::string& e : r.earlier) {
            std::string id = e.substr(e.find(':') + 1);
            if (e[0] == 'p') {
                s.placeholder(id);
            } else if (e[0] == 'k') {
                s.placeholder(id);
                s.account.messages.push_back(std::make_unique<Message>(s.account.savedMarks.back().crc));
                s.account.messages.back()->markRead();
                s.account.savedMarks.pop_back();
            } else {
                s.previous(id, id, std::stoi(e.substr(1))).markRead();
            }
        }
        auto& c = s.stream.add({kGreeting, "+OK\r\n", listing(static_cast<int>(r.tops.size()))});
        for (const std::string& t : r.tops) c.chunks.push_back(t.empty() ? refused : top(t + "@x", t));
        EXPECT_EQ(s.check(), r.ok);
        std::string shown;
        for (const auto& m : s.result)
            shown += (shown.empty() ? "" : " ") + (m->headerText().empty() ? "?" : m->subject()) + (m->read() ? "*" : "");
        EXPECT_EQ(shown, r.result);
        if (!r.ok) {
            EXPECT_EQ(s.account.errorText(), "-ERR [SYS/TEMP] try again later");
        }
    }
}

// Listings and headers whose lines end in LF alone list every message.
TEST(Pop3Session, ListingWithBareLineFeeds) {
    Session s;
    s.stream.add({kGreeting, "+OK\r\n", "+OK 3 messages\n1 120\n2 130\n3 140\n.\n",
                  "+OK\nSubject: one\nFrom: a@example.org\n\nbody\n.\n", top("2@x", "two"), top("3@x", "three")});
    ASSERT_TRUE(s.check());
    ASSERT_EQ(s.result.size(), 3u);
    EXPECT_EQ(s.result[0]->subject(), "one");
    EXPECT_EQ(s.result[0]->from(), "a@example.org");
    EXPECT_EQ(s.result[2]->size(), 140);
}
