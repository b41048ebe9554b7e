// Checks with the server's extensions (TOPs and DELEs pipelined, headers
// kept by unique id between checks) leave the account exactly as the plain
// dialogue does, check after check: the same messages, marks, filter calls
// and deletions, while the server sees pipelined batches within their bounds
// and no TOP for a message it has already sent.
#include <gtest/gtest.h>

#include "FakePop3.h"
#include "FakeStream.h"
#include "mail/AccountCheck.h"
#include "mail/Pipeline.h"
#include "message/Message.h"

namespace {

// A message named `name`: "spam" in the name makes the filter mark it, and
// its third body line starts with a dot, which the server stuffs. Another
// edition has other body lines under the same name and unique id.
FakePop3::Mail mail(const std::string& name, const std::string& edition) {
    std::string text = "From: " + name + "@example.org\r\nSubject: " + name + "\r\nMessage-ID: <" + name +
                       "@x>\r\nDate: Tue, 1 Jul 2003 10:52:37 +0200\r\n\r\n";
    for (int i = 0; i < 8; ++i) text += (i == 2 ? "." : "") + name + edition + " line " + std::to_string(i) + "\r\n";
    return {text, "uid-" + name};
}

struct Filters : CheckPolicy {
    std::vector<std::string> seen;  // subjects, in the order evaluated
    void evaluate(Message& m) override {
        seen.push_back(m.subject());
        if (m.subject().find("spam") == std::string::npos) return;
        m.markDeleted(false);
        m.setFilterReason("spam");
    }
    bool confirmDeletion(Account&, CheckWait&) override { return true; }
};

// One check, and what changes before it.
struct Visit {
    std::vector<std::string> add, remove;  // on the server, by name
    std::vector<std::string> markRead, markDeleted;  // by the user, by subject
    std::set<int> refuseTop;
    std::string uidlAnswer;
    uint32_t lines = 6;
    std::string edition;  // of the messages added
};

struct Scenario {
    const char* what;
    DeletionMode mode;
    std::vector<Visit> visits;
};

struct Variant {
    const char* what;
    bool capa, pipelining, uidl;
    size_t piece;
};

const Variant kPlain{"no CAPA", false, false, false, 4096};
const Variant kVariants[] = {
    {"neither listed", true, false, false, 4096},
    {"PIPELINING", true, true, false, 4096},
    {"UIDL", true, false, true, 4096},
    {"both", true, true, true, 4096},
    {"both, answers in pieces of 7 bytes", true, true, true, 7},
};

struct Played {
    FakePop3 server;
    std::vector<std::vector<std::string>> commands;  // per check
    std::vector<std::string> pipelinedTops;
    bool deleted = false, pipelinedDele = false;
    std::vector<std::string> results;  // per check: the account as the check left it
};

std::string describe(const Account& account, bool ok, const Filters& filters, const FakePop3& server) {
    std::string s = ok ? "ok\n" : "failed\n";
    for (const auto& m : account.messages) {
        s += std::to_string(m->crc()) + " " + std::to_string(m->size()) + " " + std::to_string(m->time()) + " " +
             (m->read() ? "R" : "") + (m->deleted() ? "D" : "") + " " + m->subject() + " " + m->filterReason() + "\n" +
             m->headerText() + m->body();
    }
    s += "filtered:";
    for (const auto& subject : filters.seen) s += " " + subject;
    s += "\nserver:";
    for (const auto& mail : server.mailbox) s += " " + mail.uid;
    return s;
}

void play(const Scenario& scenario, const Variant& variant, Played& run) {
    Account account;
    account.server = "127.0.0.1";
    account.user = "u";
    account.msgDeletion = scenario.mode;
    FakePop3& server = run.server;
    server.capa = variant.capa;
    server.pipelining = variant.pipelining;
    server.uidl = variant.uidl;
    server.piece = variant.piece;
    for (const Visit& visit : scenario.visits) {
        for (const auto& name : visit.remove)
            std::erase_if(server.mailbox, [&](const FakePop3::Mail& m) { return m.uid == "uid-" + name; });
        for (const auto& name : visit.add) server.mailbox.push_back(mail(name, visit.edition));
        server.refuseTop = visit.refuseTop;
        server.uidlAnswer = visit.uidlAnswer;
        for (auto& m : account.messages) {
            for (const auto& s : visit.markRead)
                if (m->subject() == s) m->markRead();
            for (const auto& s : visit.markDeleted)
                if (m->subject() == s) m->markDeleted(false);
        }
        account.msgLinesNum = visit.lines;
        Filters filters;
        CheckGate gate;
        CheckObserver nobody;
        FakeWait wait;
        AccountCheck check(account, server, gate, filters, nobody, wait);
        check.retryPauseMs = 0;
        check.keepHeaders = true;
        server.commands.clear();
        server.pipelined.clear();
        bool ok = check.run();
        run.commands.push_back(server.commands);
        for (const auto& c : server.pipelined) {
            if (c.starts_with("TOP")) run.pipelinedTops.push_back(c);
            run.pipelinedDele |= c.starts_with("DELE");
        }
        for (const auto& c : server.commands) run.deleted |= c.starts_with("DELE");
        run.results.push_back(describe(account, ok, filters, server));
    }
}

std::vector<std::string> names(const char* prefix, int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back(prefix + std::to_string(i));
    return out;
}

}  // namespace

TEST(FastCheck, ExtensionsLeaveTheSameResultAsThePlainDialogue) {
    const Scenario scenarios[] = {
        {"unchanged", DeletionMode::None, {{{"a", "b", "c"}}, {}, {}}},
        {"deleted, added, replaced, then empty",
         DeletionMode::None,
         {{{"a", "b", "c", "d"}}, {{"e"}, {"b"}, {"a"}}, {{"a2", "f"}, {"a"}}, {{}, {"a2", "c", "d", "e", "f"}}}},
        {"a message id used again for other content",
         DeletionMode::None,
         {{{"a", "b"}}, {.add = {"a"}, .remove = {"a"}, .edition = " (edited)"}}},
        {"filtered spam deleted at once", DeletionMode::AutoFiltered, {{{"a", "spam1", "b"}}, {{"spam2", "c"}}, {}}},
        {"marked by the user, deleted in the next check",
         DeletionMode::Without,
         {{{"a", "b", "c"}}, {.markDeleted = {"b"}}, {.add = {"d"}, .markDeleted = {"a", "d"}}}},
        {"single TOPs refused in a batch",
         DeletionMode::None,
         {{.add = {"a", "b", "c", "d", "e"}, .refuseTop = {2, 4}}, {.refuseTop = {2}}, {}}},
        {"a unique-id listing that identifies nothing",
         DeletionMode::None,
         {{{"a", "b"}}, {.uidlAnswer = "+OK\r\n1 same\r\n2 same\r\n.\r\n"}, {.uidlAnswer = "-ERR no\r\n"}, {}}},
        {"an id line that does not scan", DeletionMode::None, {{{"a"}}, {.uidlAnswer = "+OK\r\n1\r\n.\r\n"}, {}}},
        {"line count changed", DeletionMode::None, {{{"a", "b"}}, {.lines = 1}, {.lines = 1}}},
        {"more than a batch, some spam",
         DeletionMode::AutoFiltered,
         {{names("m", 150)}, {.add = {"spam1", "x"}, .remove = {"m3", "m77"}}, {.markDeleted = {"m5"}}}},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.what);
        Played plain;
        play(scenario, kPlain, plain);
        size_t mostTops = 0;
        for (const auto& commands : plain.commands) {
            EXPECT_EQ(std::count(commands.begin(), commands.end(), "CAPA"), 1) << "once a session";
            EXPECT_EQ(commands.at(1), "CAPA") << "after login";
            mostTops = std::max<size_t>(mostTops, std::count_if(commands.begin(), commands.end(),
                                                                [](const std::string& c) { return c.starts_with("TOP"); }));
        }
        for (const Variant& variant : kVariants) {
            SCOPED_TRACE(variant.what);
            Played run;
            play(scenario, variant, run);
            ASSERT_EQ(run.results.size(), plain.results.size());
            for (size_t i = 0; i < run.results.size(); ++i) EXPECT_EQ(run.results[i], plain.results[i]) << "check " << i;
            if (!variant.pipelining) {
                EXPECT_EQ(run.server.pipelined, std::vector<std::string>{});
            } else {
                EXPECT_TRUE(mostTops < 2 || !run.pipelinedTops.empty());
                // Small pieces leave answers unread when a DELE goes.
                if (variant.piece < 100) {
                    EXPECT_EQ(run.pipelinedDele, run.deleted) << "DELEs go behind the TOPs";
                }
            }
            EXPECT_LE(run.server.mostWaiting, Pipeline::kPipelined.commands + 1);  // a DELE may join a full batch
            EXPECT_LE(run.server.mostWaitingBytes, Pipeline::kPipelined.commandBytes + 64);
        }
    }
}

// Neither extension listed: the plain dialogue after CAPA, command for
// command. Both listed: the first check pipelines every TOP after the first;
// later ones ask only for what is new (by unique id and size).
TEST(FastCheck, CommandsSentWithAndWithoutTheExtensions) {
    auto topsOf = [](const std::vector<std::string>& commands) {
        std::vector<std::string> out;
        for (const auto& c : commands)
            if (c.rfind("TOP", 0) == 0 || c.rfind("UIDL", 0) == 0) out.push_back(c);
        return out;
    };
    const Scenario scenario{"changes", DeletionMode::None,
                            {{{"a", "b", "c"}}, {}, {.add = {"b2", "d"}, .remove = {"b"}}, {.lines = 2}}};
    Played plain, neither, both;
    play(scenario, kPlain, plain);
    play(scenario, kVariants[0], neither);
    play(scenario, kVariants[3], both);
    auto afterLogin = [](const std::vector<std::string>& commands) {
        return std::vector<std::string>(commands.begin() + 1, commands.end());
    };
    EXPECT_EQ(afterLogin(neither.commands[0]),
              (std::vector<std::string>{"CAPA", "LIST", "TOP 1 6", "TOP 2 6", "TOP 3 6", "QUIT"}));
    EXPECT_EQ(neither.commands, plain.commands);
    EXPECT_EQ(afterLogin(both.commands[0]),
              (std::vector<std::string>{"CAPA", "LIST", "UIDL", "TOP 1 6", "TOP 2 6", "TOP 3 6", "QUIT"}));
    EXPECT_EQ(both.pipelinedTops,
              (std::vector<std::string>{"TOP 2 6", "TOP 3 6", "TOP 4 6", "TOP 2 2", "TOP 3 2", "TOP 4 2"}));
    EXPECT_EQ(topsOf(both.commands[1]), std::vector<std::string>{"UIDL"});
    EXPECT_EQ(topsOf(both.commands[2]), (std::vector<std::string>{"UIDL", "TOP 3 6", "TOP 4 6"}));
    EXPECT_EQ(topsOf(both.commands[3]), (std::vector<std::string>{"UIDL", "TOP 1 2", "TOP 2 2", "TOP 3 2", "TOP 4 2"}));
    EXPECT_EQ(both.results, plain.results);
}
