// The Winsock stream and the POP3 session over it, against the scripted
// server (tools/pop3script.py) on loopback.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "mail/Pop3Session.h"
#include "mail/WinSocketStream.h"
#include "message/Message.h"
#include "win/support/ScriptedServer.h"

namespace {

SocketsLibrary gSockets;

struct Event {
    HANDLE h = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~Event() { CloseHandle(h); }
};

struct Check {
    Event stop;
    Account account;
    CheckHooks hooks;
    WinSocketStream stream{stop.h};
    Transport transport{account, stream, hooks};
    Pop3Session session{account, transport, hooks, false};

    explicit Check(const ScriptedServer& server) {
        account.server = "127.0.0.1";
        account.port = static_cast<uint32_t>(server.port());
        account.user = "user";
        account.password = "pass";
        session.retryPauseMs = 10;
    }
    bool run(MessageList& result) {
        bool ok = transport.lookup() && session.connectAndLogin() && session.checkMailbox(result);
        if (ok) session.quit();
        return ok;
    }
};

std::string mailbox(const std::string& extra = "") {
    return R"([{"messages": ["Message-ID: <1@x>\r\nSubject: one\r\n\r\n.dotted\r\n",)"
           R"( "Subject: two\r\n\r\nbody\r\n"])" +
           extra + "}]";
}

}  // namespace

TEST(WinSocketStream, ChecksAMailboxAndUnstuffsDots) {
    ScriptedServer server(mailbox());
    ASSERT_NE(server.port(), 0);
    Check c(server);
    MessageList result;
    ASSERT_TRUE(c.run(result)) << c.account.errorText;
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0]->subject(), "one");
    EXPECT_EQ(result[0]->body().rfind(".dotted", 0), 0u);  // the server stuffed it to "..dotted"
    auto commands = server.commands();
    ASSERT_GE(commands.size(), 5u);
    EXPECT_EQ(commands[0].rfind("APOP user ", 0), 0u);
    EXPECT_EQ(commands[1], "LIST");
    EXPECT_EQ(commands[2], "TOP 1 99");
    EXPECT_EQ(commands.back(), "QUIT");
}

TEST(WinSocketStream, GreetingWithoutStampReconnectsForUserPass) {
    ScriptedServer server(R"([["S:+OK no stamp here", "R:QUIT", "S:+OK bye", "CLOSE"],)"
                          R"({"greeting": "+OK ready", "messages": []}])");
    Check c(server);
    MessageList result;
    ASSERT_TRUE(c.run(result)) << c.account.errorText;
    auto t = server.transcript();
    ASSERT_GE(t.size(), 4u);
    EXPECT_EQ(t[0].line, "QUIT");
    EXPECT_EQ(t[1].connection, 2);
    EXPECT_EQ(t[1].line, "USER user");
    EXPECT_EQ(t[2].line, "PASS pass");
}

TEST(WinSocketStream, ServerClosingRightAfterConnectIsReported) {
    ScriptedServer server(R"([["CLOSE"]])");
    Check c(server);
    c.account.secureAuth = false;
    MessageList result;
    EXPECT_FALSE(c.run(result));
    EXPECT_EQ(c.account.errorText, "Connection closed by the mail server.");
}

TEST(WinSocketStream, ConnectionLostMidTopFailsTheCheck) {
    ScriptedServer server(mailbox(R"(, "rules": {"TOP 2": ["RAW:+OK\r\nSubject: half", "CLOSE"]})"));
    Check c(server);
    MessageList result;
    ASSERT_TRUE(c.transport.lookup());
    ASSERT_TRUE(c.session.connectAndLogin());
    EXPECT_FALSE(c.session.checkMailbox(result));
    EXPECT_TRUE(result.empty());
    EXPECT_EQ(c.account.errorText, "+OK\r\nSubject: half");
}

TEST(WinSocketStream, RefusedConnectionIsANetworkError) {
    ScriptedServer dummy(R"([["CLOSE"]])");
    int port;
    {
        ScriptedServer gone(R"([["CLOSE"]])");
        port = gone.port();
    }
    Check c(dummy);
    c.account.port = static_cast<uint32_t>(port);
    EXPECT_TRUE(c.transport.lookup());
    EXPECT_FALSE(c.transport.hookup());
    EXPECT_EQ(c.account.errorText.rfind("Network error 10061", 0), 0u) << c.account.errorText;
}

TEST(WinSocketStream, StopEndsAWaitForASilentServerAtOnce) {
    ScriptedServer server(R"([["HANG"]])");
    Check c(server);
    ASSERT_TRUE(c.transport.lookup());
    ASSERT_TRUE(c.transport.hookup());
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        SetEvent(c.stop.h);
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(c.transport.readAnswer());
    auto waited = std::chrono::steady_clock::now() - start;
    stopper.join();
    EXPECT_LT(waited, std::chrono::seconds(2));
    EXPECT_EQ(c.account.errorText, "");
    EXPECT_FALSE(c.stream.isOpen());
    // The pause between login attempts ends on the stop request too.
    EXPECT_FALSE(c.stream.pause(60000));
}

TEST(WinSocketStream, LongAnswersAreReadWholeUpToTheBound) {
    ScriptedServer server(R"([["S:+OK", "BIG:5000000", "S:", "S:.", "HANG"], ["S:+OK", "BIG:34000000", "HANG"]])");
    Check c(server);
    ASSERT_TRUE(c.transport.lookup());
    ASSERT_TRUE(c.transport.hookup());
    ASSERT_TRUE(c.transport.readMultiAnswer()) << c.account.errorText;
    EXPECT_GE(c.transport.answer().size(), 5000000u);
    c.transport.closeConnection();

    ASSERT_TRUE(c.transport.hookup());
    EXPECT_FALSE(c.transport.readMultiAnswer());
    EXPECT_EQ(c.account.lastError, MSG_AnswerTooLong);
    EXPECT_FALSE(c.stream.isOpen());
}
