// The Winsock stream and the POP3 session over it, against the scripted
// server (tools/pop3script.py) on loopback.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/WinHandle.h"
#include "mail/AccountCheck.h"
#include "mail/Transport.h"
#include "mail/WinSocketStream.h"
#include "message/Message.h"
#include "win/support/ScriptedServer.h"

namespace {

SocketsLibrary gSockets;

struct StopEvent : CheckWait {
    Event stop;
    bool pause(unsigned ms) override { return WaitForSingleObject(stop.get(), ms) == WAIT_TIMEOUT; }
};

struct Check {
    StopEvent wait;
    Account account;
    CheckGate gate;
    CheckPolicy policy;
    CheckObserver observer;
    WinSocketStream stream{wait.stop.get()};
    Transport transport{account, stream, gate};
    AccountCheck check{account, stream, gate, policy, observer, wait};

    explicit Check(int port) {
        account.server = "127.0.0.1", account.port = static_cast<uint32_t>(port);
        account.user = "user", account.password = "pass";
        check.retryPauseMs = 10;
    }
    bool run() { return check.run(); }
    bool connect() { return transport.lookup() && transport.hookup(); }
};

}  // namespace

TEST(WinSocketStream, GreetingWithoutStampReconnectsForUserPass) {
    ScriptedServer server(R"([["S:+OK no stamp here", "R:QUIT", "S:+OK bye", "CLOSE"],)"
                          R"({"greeting": "+OK ready", "messages": []}])");
    Check c(server.port());
    ASSERT_TRUE(c.run()) << c.account.errorText();
    auto t = server.transcript();
    ASSERT_GE(t.size(), 4u);
    EXPECT_EQ(t[0].line, "QUIT");
    EXPECT_EQ(t[1].connection, 2);
    EXPECT_EQ(t[1].line, "USER user");
    EXPECT_EQ(t[2].line, "PASS pass");
}

TEST(WinSocketStream, FaultsFailTheCheckWithTheirErrorText) {
    struct Row {
        const char* what;
        std::string scripts, errorText;
        bool refused;  // at a port where nobody listens; the text goes on with the site
    } rows[] = {
        {"refused connection", R"([["CLOSE"]])", "Network error 10061", true},
        {"closed right after connect", R"([["CLOSE"]])", "Connection closed by the mail server.", false},
        {"closed inside a TOP answer",
         R"([{"messages": ["Subject: one\r\n\r\nx", "Subject: two\r\n\r\ny"],)"
         R"( "rules": {"TOP 2": ["RAW:+OK\r\nSubject: half", "CLOSE"]}}])",
         "+OK  Subject: half", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        ScriptedServer server(r.scripts);
        Check c(r.refused ? ScriptedServer(r.scripts).port() : server.port());
        EXPECT_FALSE(c.run());
        EXPECT_TRUE(c.account.messages.empty());
        EXPECT_EQ(r.refused ? c.account.errorText().substr(0, r.errorText.size()) : c.account.errorText(),
                  r.errorText);
    }
}

TEST(WinSocketStream, LongAnswersAreReadWholeUpToTheBound) {
    ScriptedServer server(R"([["S:+OK", "BIG:5000000", "S:", "S:.", "HANG"],)"
                          R"( ["S:+OK", "BIG:34000000", "S:", "S:.", "R:NOOP", "S:+OK next", "HANG"]])");
    Check c(server.port());
    ASSERT_TRUE(c.connect());
    ASSERT_TRUE(c.transport.readMultiAnswer()) << c.account.errorText();
    EXPECT_GE(c.transport.answer().size(), 5000000u);
    c.transport.closeConnection();

    // Past the bound the answer is read to its end and dropped.
    ASSERT_TRUE(c.transport.hookup());
    EXPECT_FALSE(c.transport.readMultiAnswer());
    EXPECT_EQ(c.account.lastError(), MSG_AnswerTooLong);
    // The server answers the next command only once it has it: bytes sent
    // ahead of a request are not kept from one answer to the next.
    ASSERT_TRUE(c.stream.isOpen());
    ASSERT_TRUE(c.transport.request("NOOP"));
    ASSERT_TRUE(c.transport.readAnswer());
    EXPECT_EQ(c.transport.answer(), "+OK next");
}
