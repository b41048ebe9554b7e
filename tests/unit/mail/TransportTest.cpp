#include <gtest/gtest.h>

#include <algorithm>

#include "FakeStream.h"
#include "core/EventLog.h"
#include "core/MessageText.h"
#include "mail/Account.h"
#include "mail/Pipeline.h"
#include "mail/Pop3Session.h"
#include "mail/Transport.h"

namespace {

struct Wire {
    Account account;
    FakeStream stream;
    CountingGate gate;
    Transport transport{account, stream, gate};
    explicit Wire(std::vector<std::string> chunks, StreamResult end = StreamResult::closed()) {
        account.server = "pop.example.org";
        stream.add(chunks).events.push_back(end);
        EXPECT_TRUE(transport.hookup());
    }
};

}  // namespace

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
         "+OK here it comes  From: a", 0},
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
            EXPECT_EQ(w.account.lastError(), r.error);
            EXPECT_EQ(r.error == MSG_NetworkError ? w.account.errorText().substr(0, r.text.size())
                                                  : w.account.errorText(),
                      r.text);
        }
    }
}

// Whatever a server sends, an error text is one line of plain text: a
// terminal or a status line shows it as text, not as commands or as a
// second line that looks like success.
TEST(Transport, ErrorTextsAreOneLineOfPlainText) {
    struct Row {
        const char* what;
        std::string chunk;
        std::string text;
    } rows[] = {
        {"escape sequences", "-ERR \x1b]0;owned\x07\x1b[2J\x7f!\r\n", "-ERR  ]0;owned  [2J !"},
        {"closed mid answer", "+OK 3 messages\r\n1 10\r\n", "+OK 3 messages  1 10"},
        {"NUL and tabs", std::string("-ERR a\0b\tc\r\n", 12), "-ERR a b c"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Wire w({r.chunk});
        if (w.transport.readMultiAnswer()) {
            EXPECT_FALSE(w.transport.answerIsOk());
        }
        EXPECT_EQ(w.account.errorText(), r.text);
    }
}

TEST(Transport, LargeAnswerIsReadWhole) {
    std::string big = "+OK\r\n";
    while (big.size() < 3 * 1024 * 1024) big += std::string(70, 'x') + "\r\n";
    Wire w({big, ".\r\n"});
    ASSERT_TRUE(w.transport.readMultiAnswer());
    EXPECT_EQ(w.transport.answer().size(), big.size() - 2);
}

// An answer past the bound is read to its end without being kept: it fails
// alone, and the connection goes on with the next answer.
TEST(Transport, AnOverlongAnswerIsDrainedToItsEnd) {
    const std::string mib(1 << 20, 'y');
    const size_t bound = Transport::kMaxAnswer;
    struct Row {
        const char* what;
        std::vector<std::string> chunks;
        bool open;  // the next answer can be read
    } rows[] = {
        {"end well past the bound", {"+OK\r\n", mib, mib, "\r\n.\r\n", "+OK next\r\n"}, true},
        {"end mark across the bound", {"+OK\r\n", "\r\n.\r\n", "+OK next\r\n"}, true},
        {"next answer right behind the end", {"+OK\r\n", mib, "\n.\n+OK next\r\n"}, true},
        {"closed before the end", {"+OK\r\n", mib}, false},
    };
    for (Row& r : rows) {
        SCOPED_TRACE(r.what);
        // The filler puts the second chunk's first byte two bytes before the bound.
        std::vector<std::string> chunks{r.chunks[0]};
        for (size_t n = r.chunks[0].size(); n < bound - 2; n += mib.size())
            chunks.push_back(mib.substr(0, std::min(mib.size(), bound - 2 - n)));
        chunks.insert(chunks.end(), r.chunks.begin() + 1, r.chunks.end());
        Wire w(chunks);
        EXPECT_FALSE(w.transport.readMultiAnswer());
        EXPECT_EQ(w.account.lastError(), MSG_AnswerTooLong);
        EXPECT_TRUE(w.transport.answer().empty());
        EXPECT_EQ(w.stream.isOpen(), r.open);
        if (!r.open) continue;
        ASSERT_TRUE(w.transport.readAnswer());
        EXPECT_EQ(w.transport.answer(), "+OK next");
    }
}

// Some servers end lines in LF alone; every answer takes LF as a line end,
// with or without CR before it.
TEST(Transport, LinesMayEndInLfAlone) {
    struct Row {
        const char* what;
        std::vector<std::string> chunks;
        bool multi;
        std::string answer;
    } rows[] = {
        {"status line", {"+OK ready\n+OK next\n"}, false, "+OK ready"},
        {"listing", {"+OK 3\n1 10\n2 20\n3 30\n.\n"}, true, "+OK 3\n1 10\n2 20\n3 30"},
        {"mixed ends", {"+OK 3\r\n1 10\n2 20\r\n3 30\n.\r\n"}, true, "+OK 3\r\n1 10\n2 20\r\n3 30"},
        {"mark in pieces", {"+OK\n1 10\n", ".", "\n"}, true, "+OK\n1 10"},
        {"empty listing", {"+OK 0\n.\n"}, true, "+OK 0"},
        {"stuffed lines", {"+OK\n..a\n.b\n..\n.\n"}, true, "+OK\n.a\n.b\n."},
        {"a lone CR ends nothing", {"+OK a\rb\r\n"}, false, "+OK a\rb"},
        {"refused listing", {"-ERR no\n"}, true, "-ERR no"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Wire w(r.chunks);
        ASSERT_TRUE(r.multi ? w.transport.readMultiAnswer() : w.transport.readAnswer());
        EXPECT_EQ(w.transport.answer(), r.answer);
    }
    EXPECT_EQ(parseListing("+OK 3\n1 10\n2 20\r\n3 30"),
              (std::vector<std::pair<int, int>>{{1, 10}, {2, 20}, {3, 30}}));
    EXPECT_EQ(splitAnswerLines("+OK\nSubject: a\r\nFrom: b\n\nbody"),
              (std::vector<std::string_view>{"Subject: a", "From: b", "", "body"}));
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
    EXPECT_EQ(w.account.lastError(), MSG_CommandTooLong);
    EXPECT_FALSE(w.stream.isOpen());
    bool masked = false;
    for (const std::string& line : eventLog().recentLines()) {
        EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
        masked |= line.find("Request for server pop.example.org: PASS\n") != std::string::npos;
    }
    EXPECT_TRUE(masked);
}

// "View Errors" shows the first error of a check; the log repeats it, and
// lastError names the latest.
TEST(Transport, TheFirstErrorOfACheckStays) {
    Wire w({}, StreamResult::failed(10054));
    EXPECT_FALSE(w.transport.readAnswer());
    std::string first = w.account.errorText();
    EXPECT_FALSE(w.transport.request("LIST"));  // the connection is gone
    EXPECT_EQ(w.account.lastError(), MSG_UnexpectedError);
    EXPECT_EQ(w.account.errorText(), first);
    auto lines = eventLog().recentLines();
    EXPECT_EQ(std::count_if(lines.end() - 3, lines.end(),
                            [&](const std::string& l) { return l.find(" Error: " + first + "\n") != std::string::npos; }),
              2);
}

// An answer that keeps coming renews the silence deadline only while it
// comes at a real pace; one that trickles is ended as silent, with its own
// error text.
TEST(Transport, OnlyRealProgressRenewsTheSilenceDeadline) {
    struct Row {
        const char* what;
        size_t chunk, chunks;
        uint32_t timeout;
        int touches;  // besides the one of the read itself
        bool silenced;
        uint32_t error;
    } rows[] = {
        {"fast", 1000, 8, 1, 8, false, 0},
        {"slow but real", 100, 20, 1, 3, false, 0},                // every 512 bytes
        {"a longer time-out asks for more", 100, 200, 120, 2, false, 0},  // every 7680 bytes
        {"trickle", 1, 100, 1, 0, true, MSG_AnswerTooSlow},
        {"silent", 0, 0, 1, 0, true, 0},  // silence is no error of the check's own
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Wire w(std::vector<std::string>(row.chunks, std::string(row.chunk, 'x')), StreamResult::stopped());
        w.account.checkTimeout = row.timeout;
        w.gate.silent = row.silenced;
        w.gate.touches = 0;
        EXPECT_FALSE(w.transport.readMultiAnswer());
        EXPECT_EQ(w.gate.touches, 1 + row.touches);
        EXPECT_EQ(w.account.lastError(), row.error);
        if (row.error) {
            EXPECT_EQ(w.account.errorText(), formatMessage(MSG_AnswerTooSlow, {"100", "1"}) + " Acc_Pop3, 9");
        }
    }
}

// Answers that arrive together (pipelined commands) are read one after the
// other; a new connection starts with nothing of the last one's bytes. Queued
// commands leave in one write.
TEST(Transport, AnswersThatArriveTogetherAndCommandsSentTogether) {
    Wire w({"+OK a\r\n+OK\r\nl1\r\n..x\r\n.\r\n-ERR", " no\r\n+OK stale\r\n"});
    ASSERT_TRUE(w.transport.readAnswer());
    EXPECT_EQ(w.transport.answer(), "+OK a");
    ASSERT_TRUE(w.transport.readMultiAnswer());
    EXPECT_EQ(w.transport.answer(), "+OK\r\nl1\r\n.x");
    ASSERT_TRUE(w.transport.readMultiAnswer());
    EXPECT_EQ(w.transport.answer(), "-ERR no");

    w.stream.add({"+OK fresh\r\n"});
    ASSERT_TRUE(w.transport.hookup());
    ASSERT_TRUE(w.transport.readAnswer());
    EXPECT_EQ(w.transport.answer(), "+OK fresh");

    ASSERT_TRUE(w.transport.queue("TOP %d %d", 1, 5) && w.transport.queue("TOP %d %d", 2, 5));
    EXPECT_TRUE(w.stream.sent.empty());
    ASSERT_TRUE(w.transport.flush());
    EXPECT_EQ(w.stream.sent, std::vector<std::string>{"TOP 1 5\r\nTOP 2 5"});
}

// A command that cannot be sent as it is refuses its whole batch: none of the
// commands queued before it leaves either.
TEST(Transport, AnUnsafeCommandStopsItsBatchUnsent) {
    struct Row {
        const char* what;
        std::string argument;
        uint32_t error;
    } rows[] = {
        {"line break", "a\r\nDELE 1", MSG_CommandUnsafe},
        {"NUL", std::string("a\0b", 3), MSG_CommandUnsafe},
        {"too long", std::string(Transport::kCommandBuffer, 'x'), MSG_CommandTooLong},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Wire w({"+OK\r\n"});
        Pipeline pipeline(w.transport, Pipeline::kPipelined);
        Pipeline::Ticket first = pipeline.queue(true, 100, "TOP %d %d", 1, 5);
        EXPECT_NE(first, 0u);
        EXPECT_EQ(pipeline.queue(false, 0, "USER %s", r.argument), 0u);
        EXPECT_EQ(pipeline.inFlight(), 0u);
        EXPECT_FALSE(pipeline.take(first));
        EXPECT_TRUE(pipeline.flush()) << "nothing left to send";
        EXPECT_TRUE(w.stream.sent.empty());
        EXPECT_FALSE(w.stream.isOpen());
        EXPECT_EQ(w.account.lastError(), r.error);
    }
}

// An answer past the bound in the middle of a batch fails its own command
// only; the answers around it, read ahead or not, reach their takers.
TEST(Transport, AnOverlongAnswerInABatchFailsOnlyItsCommand) {
    std::vector<std::string> chunks{"+OK\r\none\r\n.\r\n+OK\r\n"};
    const std::string mib(1 << 20, 'y');
    for (size_t n = 0; n <= Transport::kMaxAnswer; n += mib.size()) chunks.push_back(mib);
    chunks.push_back("\r\n.\r\n+OK\r\nthree\r\n.\r\n+OK\r\n");
    Wire w(chunks);
    Pipeline pipeline(w.transport, Pipeline::kPipelined);
    Pipeline::Ticket one = pipeline.queue(true, 10, "TOP 1 0"), two = pipeline.queue(true, 10, "TOP 2 0"),
                     three = pipeline.queue(true, 10, "TOP 3 0");
    ASSERT_TRUE(pipeline.take(one));
    EXPECT_EQ(w.transport.answer(), "+OK\r\none");
    ASSERT_TRUE(pipeline.take(three));
    EXPECT_EQ(w.transport.answer(), "+OK\r\nthree");
    EXPECT_FALSE(pipeline.take(two));
    EXPECT_TRUE(w.stream.isOpen());
    EXPECT_EQ(w.account.lastError(), MSG_AnswerTooLong);
    Pipeline::Ticket dele = pipeline.queue(false, 0, "DELE 1");
    ASSERT_TRUE(pipeline.take(dele));
    EXPECT_EQ(w.transport.answer(), "+OK");
    EXPECT_EQ(w.stream.sent, std::vector<std::string>({"TOP 1 0\r\nTOP 2 0\r\nTOP 3 0", "DELE 1"}));
}
