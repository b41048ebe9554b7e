#include <gtest/gtest.h>

#include "FakeStream.h"
#include "core/EventLog.h"
#include "mail/Account.h"
#include "mail/Transport.h"

namespace {

struct Wire {
    Account account;
    FakeStream stream;
    CheckHooks hooks;
    Transport transport{account, stream, hooks};
    explicit Wire(std::vector<std::string> chunks, StreamResult end = StreamResult::closed()) {
        account.server = "pop.example.org";
        stream.add(chunks).events.push_back(end);
        EXPECT_TRUE(transport.hookup());
    }
};

}  // namespace

TEST(Transport, MultiLineEndMarkFoundAcrossEveryChunkBoundary) {
    const std::string wire = "+OK 2 lines\r\nFirst\r\n..dotted\r\n.\r\n";
    for (size_t cut = 1; cut < wire.size(); ++cut) {
        Wire w({wire.substr(0, cut), wire.substr(cut)});
        ASSERT_TRUE(w.transport.readMultiAnswer()) << cut;
        EXPECT_EQ(w.transport.answer(), "+OK 2 lines\r\nFirst\r\n.dotted") << cut;
    }
}

TEST(Transport, HowAnswersEnd) {
    struct Row {
        const char* what;
        std::vector<std::string> chunks;
        StreamResult end;
        bool multi, ok;
        std::string text;  // the answer when ok, else the error text (a prefix for network errors)
        uint32_t error;
    } rows[] = {
        {"one line", {"+OK hello\r\n+OK next\r\n"}, StreamResult::closed(), false, true, "+OK hello", 0},
        {"-ERR inside a listing", {"+OK list\r\n-ERR is a line here\r\n", "\r\n.\r\n"}, StreamResult::closed(), true,
         true, "+OK list\r\n-ERR is a line here\r\n", 0},
        {"refused listing", {"-ERR no such message\r\n"}, StreamResult::closed(), true, true,
         "-ERR no such message", 0},
        {"empty listing", {"+OK 0 messages\r\n.\r\n"}, StreamResult::closed(), true, true, "+OK 0 messages", 0},
        {"closed mid answer", {"+OK here it comes\r\nFrom: a"}, StreamResult::closed(), true, false,
         "+OK here it comes\r\nFrom: a", 0},
        {"closed at once", {}, StreamResult::closed(), false, false, "Connection closed by the mail server.",
         MSG_ConnectionClosed},
        {"stopped: no error", {"+OK par"}, StreamResult::stopped(), false, false, "", 0},
        {"network error", {}, StreamResult::failed(10054), false, false, "Network error 10054 Acc_Pop3, ",
         MSG_NetworkError},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Wire w(r.chunks, r.end);
        EXPECT_EQ(r.multi ? w.transport.readMultiAnswer() : w.transport.readAnswer(), r.ok);
        EXPECT_EQ(w.stream.isOpen(), r.ok);
        if (r.ok) {
            EXPECT_EQ(w.transport.answer(), r.text);
        } else {
            EXPECT_EQ(w.account.lastError, r.error);
            EXPECT_EQ(r.error == MSG_NetworkError ? w.account.errorText.substr(0, r.text.size()) : w.account.errorText,
                      r.text);
        }
    }
}

TEST(Transport, LargeAnswerIsReadWholeAndAnOverlongOneFails) {
    std::string big = "+OK\r\n";
    while (big.size() < 3 * 1024 * 1024) big += std::string(70, 'x') + "\r\n";
    Wire w({big, ".\r\n"});
    ASSERT_TRUE(w.transport.readMultiAnswer());
    EXPECT_EQ(w.transport.answer().size(), big.size() - 2);

    Wire endless(std::vector<std::string>(Transport::kMaxAnswer / (1 << 20) + 2, std::string(1 << 20, 'y')));
    EXPECT_FALSE(endless.transport.readMultiAnswer());
    EXPECT_FALSE(endless.stream.isOpen());
    EXPECT_EQ(endless.account.lastError, MSG_AnswerTooLong);
}

// PASS is masked in the log; a command past the buffer is not sent at all
// (a cut PASS would send a wrong password).
TEST(Transport, PasswordsAreNeverLoggedAndNoCommandIsCut) {
    Wire w({});
    ASSERT_TRUE(w.transport.request("PASS %s", "s3cret:@"));
    EXPECT_TRUE(w.transport.request("USER %s", std::string(Transport::kCommandBuffer - 8, 'u').c_str()));  // just fits
    EXPECT_FALSE(w.transport.request("PASS %s", std::string(Transport::kCommandBuffer - 7, 'p').c_str()));
    ASSERT_EQ(w.stream.sent.size(), 2u);
    EXPECT_EQ(w.stream.sent[0], "PASS s3cret:@");
    EXPECT_EQ(w.account.lastError, MSG_CommandTooLong);
    EXPECT_FALSE(w.stream.isOpen());
    bool masked = false;
    for (const std::string& line : eventLog().recentLines()) {
        EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
        masked |= line.find("Request for server pop.example.org: PASS\n") != std::string::npos;
    }
    EXPECT_TRUE(masked);
}
