#include <gtest/gtest.h>

#include "FakeStream.h"
#include "core/EventLog.h"
#include "mail/Account.h"
#include "mail/Transport.h"

namespace {

struct TransportFixture : ::testing::Test {
    Account account;
    FakeStream stream;
    CheckHooks hooks;
    Transport transport{account, stream, hooks};

    void SetUp() override { account.server = "pop.example.org"; }
    // One connection whose server sends `chunks`, then `end`.
    void serve(std::vector<std::string> chunks, StreamResult end = StreamResult::closed()) {
        stream.add(chunks).events.push_back(end);
        ASSERT_TRUE(transport.hookup());
    }
};

}  // namespace

TEST_F(TransportFixture, MultiLineEndMarkFoundAcrossEveryChunkBoundary) {
    const std::string wire = "+OK 2 lines\r\nFirst\r\n..dotted\r\n.\r\n";
    for (size_t cut = 1; cut < wire.size(); ++cut) {
        FakeStream fresh;
        fresh.add({wire.substr(0, cut), wire.substr(cut)});
        Transport t(account, fresh, hooks);
        ASSERT_TRUE(t.hookup());
        ASSERT_TRUE(t.readMultiAnswer()) << cut;
        EXPECT_EQ(t.answer(), "+OK 2 lines\r\nFirst\r\n.dotted") << cut;
    }
}

TEST_F(TransportFixture, AnswersEndWhereTheirKindEnds) {
    serve({"+OK hello\r\n", "+OK list\r\n-ERR is a line here\r\n", "\r\n.\r\n"});
    ASSERT_TRUE(transport.readAnswer());
    EXPECT_EQ(transport.answer(), "+OK hello");
    EXPECT_TRUE(transport.answerIsOk());
    ASSERT_TRUE(transport.readMultiAnswer());
    EXPECT_EQ(transport.answer(), "+OK list\r\n-ERR is a line here\r\n");
}

TEST_F(TransportFixture, RefusedMultiLineAnswerEndsWithItsFirstLine) {
    serve({"-ERR no such message\r\n"});
    ASSERT_TRUE(transport.readMultiAnswer());
    EXPECT_FALSE(transport.answerIsOk());
    EXPECT_TRUE(transport.answerIsErr());
    EXPECT_EQ(account.errorText, "-ERR no such message");
}

TEST_F(TransportFixture, EmptyListingIsTheStatusLineAlone) {
    serve({"+OK 0 messages\r\n.\r\n"});
    ASSERT_TRUE(transport.readMultiAnswer());
    EXPECT_EQ(transport.answer(), "+OK 0 messages");
}

TEST_F(TransportFixture, ServerClosingMidAnswerLeavesWhatItSent) {
    serve({"+OK here it comes\r\nFrom: a"});
    EXPECT_FALSE(transport.readMultiAnswer());
    EXPECT_FALSE(stream.isOpen());
    EXPECT_EQ(account.errorText, "+OK here it comes\r\nFrom: a");
}

TEST_F(TransportFixture, ServerClosingBeforeAnyByteIsReported) {
    serve({});
    EXPECT_FALSE(transport.readAnswer());
    EXPECT_EQ(account.lastError, MSG_ConnectionClosed);
    EXPECT_EQ(account.errorText, "Connection closed by the mail server.");
}

TEST_F(TransportFixture, StopEndsTheWaitWithoutAnError) {
    serve({"+OK par"}, StreamResult::stopped());
    EXPECT_FALSE(transport.readAnswer());
    EXPECT_FALSE(stream.isOpen());
    EXPECT_EQ(account.errorText, "");
    EXPECT_EQ(account.lastError, 0u);
}

TEST_F(TransportFixture, NetworkErrorsNameCodeModuleAndSite) {
    serve({}, StreamResult::failed(10054));
    EXPECT_FALSE(transport.readAnswer());
    EXPECT_EQ(account.lastError, MSG_NetworkError);
    EXPECT_EQ(account.errorText.rfind("Network error 10054 Acc_Pop3, ", 0), 0u) << account.errorText;
    // The first error of a check stays; the later one is only logged.
    transport.reportError(MSG_ConnectionClosed, 0, "Acc_Pop3", 1);
    EXPECT_EQ(account.errorText.rfind("Network error 10054", 0), 0u);
    EXPECT_EQ(account.lastError, MSG_ConnectionClosed);
}

TEST_F(TransportFixture, LargeAnswerIsReadWholeAndAnOverlongOneFails) {
    std::string big = "+OK\r\n";
    while (big.size() < 3 * 1024 * 1024) big += std::string(70, 'x') + "\r\n";
    serve({big, ".\r\n"});
    ASSERT_TRUE(transport.readMultiAnswer());
    EXPECT_EQ(transport.answer().size(), big.size() - 2);

    FakeStream endless;
    std::vector<std::string> chunks(Transport::kMaxAnswer / (1 << 20) + 2, std::string(1 << 20, 'y'));
    endless.add(chunks);
    Transport t(account, endless, hooks);
    ASSERT_TRUE(t.hookup());
    EXPECT_FALSE(t.readMultiAnswer());
    EXPECT_FALSE(endless.isOpen());
    EXPECT_EQ(account.lastError, MSG_AnswerTooLong);
}

TEST_F(TransportFixture, RequestsAreLineEndedAndPasswordsNeverLogged) {
    serve({});
    ASSERT_TRUE(transport.request("USER %s", "ann"));
    ASSERT_TRUE(transport.request("PASS %s", "s3cret:@"));
    EXPECT_EQ(stream.sent, (std::vector<std::string>{"USER ann", "PASS s3cret:@"}));
    bool masked = false;
    for (const std::string& line : eventLog().recentLines()) {
        EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
        masked |= line.find("Request for server pop.example.org: PASS\n") != std::string::npos;
    }
    EXPECT_TRUE(masked);
}

TEST_F(TransportFixture, CommandTooLongForTheBufferIsNotSent) {
    serve({});
    std::string password(Transport::kCommandBuffer, 'p');
    EXPECT_FALSE(transport.request("PASS %s", password.c_str()));
    EXPECT_TRUE(stream.sent.empty());
    EXPECT_EQ(account.lastError, MSG_CommandTooLong);
    EXPECT_FALSE(stream.isOpen());  // a failed operation leaves the connection closed
    // Exactly at the limit still goes out.
    stream.add();
    ASSERT_TRUE(transport.hookup());
    std::string fits(Transport::kCommandBuffer - 8, 'u');
    EXPECT_TRUE(transport.request("USER %s", fits.c_str()));
}

TEST_F(TransportFixture, OperationsOnAClosedConnectionFail) {
    EXPECT_FALSE(transport.request("LIST"));
    EXPECT_EQ(account.errorText, "Unexpected Error.");
    EXPECT_FALSE(transport.readAnswer());
}

TEST_F(TransportFixture, LookupFailureIsANetworkError) {
    stream.resolveCode = 11001;
    account.errorText = "old";
    EXPECT_FALSE(transport.lookup());
    EXPECT_EQ(account.errorText.rfind("Network error 11001", 0), 0u);
}
