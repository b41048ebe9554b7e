#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/MessageText.h"
#include "filter/AddressList.h"
#include "FilterTestSupport.h"

using namespace std::chrono_literals;

namespace {

class Evaluate : public ::testing::Test {
protected:
    FilterSet& set() {
        if (!set_) {
            set_ = std::make_unique<FilterSet>(registry, &observer, dir.dir(), 50ms);
            set_->setActionHost(actions);
        }
        return *set_;
    }
    std::vector<std::string>& calls() { return actions.calls; }

    TempDir dir;
    MemoryRegistry registry;
    RecordingActions actions;
    RecordingObserver observer{actions.calls};
    std::unique_ptr<FilterSet> set_;
};

std::unique_ptr<Message> offer(int32_t size = 3000) {
    return topMessage({"Return-Path: <deals@shop.example>",
                       "From: Deals Team <deals@shop.example>",
                       "To: Anna <anna@home.example>",
                       "Cc: bob@home.example",
                       "Subject: Free offer: 50% off",
                       "Date: Tue, 3 Mar 2026 10:15:00 +0100",
                       "Message-ID: <offer-1@shop.example>",
                       "X-Priority: 3",
                       "",
                       "Buy now & save=big",
                       "Unsubscribe below."},
                      size);
}

WordFilter word(uint32_t field, const std::string& words, bool useCase = false, bool uncertain = false) {
    WordFilter f(field, words);
    f.useCase = useCase;
    f.uncertain = uncertain;
    return f;
}

SizeFilter larger(int32_t bytes) {
    SizeFilter f;
    f.upperBound = bytes;
    return f;
}

PowerFilter power(const std::string& name) {
    PowerFilter p;
    p.filterName = name;
    return p;
}

TEST_F(Evaluate, FriendEscapesEveryOtherList) {
    set().setFriends(true, {"deals@shop.example"}, true);
    set().setSpammers(true, {"deals@shop.example"}, true);
    PowerFilter p = power("all");
    p.subjectEnabled = true;
    p.subjectWords = "offer";
    p.playSound = true;
    p.soundFile = "x.wav";
    set().setPowerList({p}, true);
    set().setSubjectList({word(MSG_ColSubject, "offer")}, true);

    auto m = offer();
    set().evaluate(*m);
    EXPECT_TRUE(m->isFriend());
    EXPECT_FALSE(m->deleted());
    EXPECT_FALSE(m->spammer());
    EXPECT_EQ(m->filterReason(), "Friends: deals@shop.example");
    EXPECT_TRUE(calls().empty());  // the power filter was not tried
}

TEST_F(Evaluate, FriendsSwitchOffLeavesTheListLoadedButUnused) {
    set().setFriends(false, {"deals@shop.example"}, true);
    EXPECT_EQ(set().friends().size(), 1u);
    set().setSpammers(true, {"deals@shop.example"}, true);
    auto m = offer();
    set().evaluate(*m);
    EXPECT_FALSE(m->isFriend());
    EXPECT_TRUE(m->spammer());
    EXPECT_TRUE(m->deleted());
    EXPECT_EQ(m->filterReason(), "Spammers: deals@shop.example");
}

TEST_F(Evaluate, FriendEntriesCompareExactly) {
    set().setFriends(true, {"Deals@shop.example", " deals@shop.example"}, true);
    auto m = offer();
    set().evaluate(*m);
    EXPECT_FALSE(m->isFriend());
    EXPECT_EQ(m->filterReason(), "");
}

TEST_F(Evaluate, SpammerMarkCountsAsReadWhenTheSettingSaysSo) {
    RecordingObserver counting(calls(), true);
    FilterSet s(registry, &counting, dir.dir(), 50ms);
    s.setSpammers(true, {"deals@shop.example"}, true);
    auto m = offer();
    s.evaluate(*m);
    EXPECT_TRUE(m->deleted());
    EXPECT_TRUE(m->read());
    EXPECT_TRUE(m->spammer());
}

TEST_F(Evaluate, FirstMatchingListWins) {
    // Subject and Size both match: only the Subject list applies.
    set().setSubjectList({word(MSG_ColSubject, "nothing"), word(MSG_ColSubject, "FREE OFFER")}, true);
    set().setSizeList({larger(1024)}, true);
    auto m = offer();
    set().evaluate(*m);
    EXPECT_TRUE(m->deleted());
    EXPECT_FALSE(m->read());
    EXPECT_EQ(m->filterReason(), "Subject: FREE OFFER");

    // A power filter outranks the word lists and the spammers list.
    PowerFilter p = power("Shop");
    p.fromEnabled = true;
    p.fromWords = "shop.example";
    p.markUncertainChoice();
    set().setPowerList({p}, true);
    set().setSpammers(true, {"deals@shop.example"}, true);
    auto m2 = offer();
    set().evaluate(*m2);
    EXPECT_TRUE(m2->uncertain());
    EXPECT_FALSE(m2->deleted());
    EXPECT_EQ(m2->filterReason(), "Power: Shop");
}

TEST_F(Evaluate, WordCaseAndUncertainMark) {
    set().setFromList({word(MSG_ColFrom, "DEALS TEAM", true)}, true);
    auto m = offer();
    set().evaluate(*m);
    EXPECT_EQ(m->filterReason(), "");  // case-sensitive entry, other case

    set().setFromList({word(MSG_ColFrom, "DEALS TEAM", false, true)}, true);
    auto m2 = offer();
    set().evaluate(*m2);
    EXPECT_EQ(m2->filterReason(), "From: DEALS TEAM");
    EXPECT_TRUE(m2->uncertain());
    EXPECT_FALSE(m2->deleted());
}

TEST_F(Evaluate, ToCcListMatchesMailAddressedToNoneOfItsItems) {
    const struct {
        const char* words;
        bool matches;
    } cases[] = {
        {"carol@work.example;dave@work.example", true},   // addressed to neither
        {"carol@work.example; anna@home.example", false}, // To holds one
        {"BOB@home.example;carol@work.example", false},   // Cc holds one, folded
        {"carol@work.example;", true},                    // a bare trailing ";" adds nothing
        {"carol@work.example; ", false},                  // "; " adds an empty item: never
        {"carol@work.example;;dave@work.example", false}, // an empty item inside: never
    };
    for (const auto& c : cases) {
        set().setToCcList({word(MSG_ColTo, c.words)}, true);
        auto m = offer();
        set().evaluate(*m);
        EXPECT_EQ(m->deleted(), c.matches) << c.words;
        EXPECT_EQ(m->filterReason(), c.matches ? std::string("To: ") + c.words : "") << c.words;
    }
    set().setToCcList({word(MSG_ColTo, "ANNA@home.example", true)}, true);
    auto m = offer();
    set().evaluate(*m);
    EXPECT_TRUE(m->deleted());  // case-sensitive: not addressed
}

TEST_F(Evaluate, SizeListAppliesWhenNothingElseMatched) {
    SizeFilter range;
    range.upperBound = 102400;
    range.lowerBound = 1024;
    set().setSizeList({range}, true);
    auto small = offer(500), middle = offer(5000), big = offer(200000);
    set().evaluate(*small);
    set().evaluate(*middle);
    set().evaluate(*big);
    EXPECT_TRUE(small->deleted());
    EXPECT_FALSE(middle->deleted());
    EXPECT_TRUE(big->deleted());
    EXPECT_EQ(big->filterReason(), "Smaller than: 1024 and Larger than: 102400");
}

struct PowerCase {
    const char* name;
    void (*setup)(PowerFilter&);
    std::vector<std::string> lines;
    int32_t size;
    bool matches;
};

std::vector<std::string> plainHeader(const std::string& extra) {
    std::vector<std::string> lines = {"From: someone@example.com", "To: me@example.org",
                                      "Subject: hello", "Message-ID: <p@x>"};
    if (!extra.empty()) lines.push_back(extra);
    lines.push_back("");
    lines.push_back("body text");
    return lines;
}

TEST_F(Evaluate, PowerConditions) {
    const PowerCase cases[] = {
        {"larger than 100 KB, one byte over", [](PowerFilter& p) { p.upperBound = 102400; },
         plainHeader(""), 102401, true},
        {"larger than 100 KB, exactly", [](PowerFilter& p) { p.upperBound = 102400; }, plainHeader(""),
         102400, false},
        {"outside 5..10 KB, below", [](PowerFilter& p) { p.upperBound = 10240, p.lowerBound = 5120; },
         plainHeader(""), 4000, true},
        {"outside 5..10 KB, inside", [](PowerFilter& p) { p.upperBound = 10240, p.lowerBound = 5120; },
         plainHeader(""), 7000, false},
        {"outside 5..10 KB, above", [](PowerFilter& p) { p.upperBound = 10240, p.lowerBound = 5120; },
         plainHeader(""), 20000, true},
        {"priority high, X-Priority 1", [](PowerFilter& p) { p.priorityEnabled = true, p.priority = 1; },
         plainHeader("X-Priority: 1 (Highest)"), 100, true},
        {"priority high, X-Priority 2", [](PowerFilter& p) { p.priorityEnabled = true, p.priority = 1; },
         plainHeader("X-Priority: 2"), 100, false},
        {"no condition, no size", [](PowerFilter&) {}, plainHeader(""), 100, false},
        {"doesn't contain, empty From",
         [](PowerFilter& p) { p.fromEnabled = true, p.fromCondition = 1, p.fromWords = "x"; },
         {"From:", "Subject: s", "", "b"}, 100, false},
        {"doesn't contain, other From",
         [](PowerFilter& p) { p.fromEnabled = true, p.fromCondition = 1, p.fromWords = "x@"; },
         plainHeader(""), 100, true},
        {"condition and size both needed",
         [](PowerFilter& p) { p.subjectEnabled = true, p.subjectWords = "hello", p.upperBound = 5000; },
         plainHeader(""), 100, false},
        {"body and header",
         [](PowerFilter& p) {
             p.bodyEnabled = p.headerEnabled = true;
             p.bodyWords = "BODY TEXT";
             p.headerWords = "X-Mailer: Bulk";
         },
         plainHeader("X-Mailer: Bulk 2.0"), 100, true},
        {"body case-sensitive",
         [](PowerFilter& p) { p.bodyEnabled = p.bodyCase = true, p.bodyWords = "BODY TEXT"; }, plainHeader(""),
         100, false},
        {"attachment name",
         [](PowerFilter& p) { p.attachEnabled = true, p.attachWords = ".EXE"; },
         {"From: a@b", "Subject: invoice", "Content-Type: multipart/mixed; boundary=\"XX\"", "", "--XX",
          "Content-Type: text/plain", "", "see attached", "--XX", "Content-Type: application/octet-stream",
          "Content-Disposition: attachment; filename=\"invoice.pdf.exe\"", "", "TVqQAAMA", "--XX--"},
         5000, true},
        {"attachment condition without attachment",
         [](PowerFilter& p) { p.attachEnabled = true, p.attachCondition = 1, p.attachWords = ".exe"; },
         plainHeader(""), 100, false},
        {"to/cc any word (contains)",
         [](PowerFilter& p) { p.toCcEnabled = true, p.toCcCondition = 0, p.toCcWords = "nobody; me@example"; },
         plainHeader(""), 100, true},
        {"to/cc every word (doesn't contain), one present",
         [](PowerFilter& p) { p.toCcEnabled = true, p.toCcWords = "nobody;me@example"; }, plainHeader(""), 100,
         false},
        {"to/cc every word (doesn't contain), none present",
         [](PowerFilter& p) { p.toCcEnabled = true, p.toCcWords = " nobody ;; other "; }, plainHeader(""),
         100, true},
        {"to/cc without words", [](PowerFilter& p) { p.toCcEnabled = true, p.toCcWords = " ; "; },
         plainHeader(""), 100, false},
    };
    for (const auto& c : cases) {
        PowerFilter p = power(c.name);
        c.setup(p);
        set().setPowerList({p}, true);
        auto m = topMessage(c.lines, c.size);
        set().evaluate(*m);
        EXPECT_EQ(m->filterReason() == std::string("Power: ") + c.name, c.matches) << c.name;
        EXPECT_EQ(m->deleted(), c.matches) << c.name;
    }
}

TEST_F(Evaluate, DisabledPowerFilterIsSkippedAndTheNextOneTried) {
    PowerFilter off = power("off"), on = power("on");
    off.disabled = 1;
    off.upperBound = on.upperBound = 0;
    on.markFriendlyChoice();
    set().setPowerList({off, on}, true);
    auto m = offer();
    set().evaluate(*m);
    EXPECT_EQ(m->filterReason(), "Power: on");
    EXPECT_TRUE(m->isFriend());
}

TEST_F(Evaluate, DoNothingStillStopsAndRunsEveryActionInOrder) {
    PowerFilter p = power("report");
    p.subjectEnabled = true;
    p.subjectWords = "offer";
    p.markNothingChoice();
    p.runMailer = p.markAsRead = p.launchProgram = p.playSound = p.sendMsgToUrl = true;
    p.launchProgramPath = "C:\\tools\\note.bat";
    p.soundFile = "ding.wav";
    p.urlForSending = "http://127.0.0.1/r";
    set().setPowerList({p}, true);
    set().setSubjectList({word(MSG_ColSubject, "offer")}, true);

    auto m = offer();
    set().evaluate(*m);
    EXPECT_EQ(m->filterReason(), "Power: report");
    EXPECT_FALSE(m->deleted());
    EXPECT_FALSE(m->uncertain());
    EXPECT_TRUE(m->read());
    ASSERT_EQ(calls().size(), 4u);
    EXPECT_EQ(calls()[0], "mailer");
    EXPECT_EQ(calls()[1], "launch C:\\tools\\note.bat");
    EXPECT_EQ(calls()[2], "sound ding.wav");
    EXPECT_EQ(calls()[3],
              "url http://127.0.0.1/r?to=Anna%20%3Canna%40home.example%3E&cc=bob%40home.example&bcc="
              "&subject=Free%20offer%3A%2050%25%20off&emailbody=Buy%20now%20%26%20save%3Dbig%0D%0A"
              "Unsubscribe%20below.%0D%0A");
}

TEST_F(Evaluate, ActionsWithEmptyTargetsDoNothing) {
    PowerFilter p = power("empty");
    p.upperBound = 0;
    p.playSound = p.sendMsgToUrl = true;
    set().setPowerList({p}, true);
    auto m = topMessage({"Subject: no recipients", "", "x"});
    set().evaluate(*m);
    EXPECT_EQ(m->filterReason(), "Power: empty");
    EXPECT_TRUE(calls().empty());

    p.urlForSending = "http://h/";
    set().setPowerList({p}, true);
    auto m2 = topMessage({"Subject: no recipients", "", "x"});
    set().evaluate(*m2);
    ASSERT_EQ(calls().size(), 1u);
    EXPECT_EQ(calls()[0], "url http://h/?to=None&cc=&bcc=&subject=no%20recipients&emailbody=x%0D%0A");
}

TEST_F(Evaluate, RunMailerWithoutObserverIsSkipped) {
    FilterSet s(registry, nullptr, dir.dir(), 50ms);
    s.setActionHost(actions);
    PowerFilter p = power("mail");
    p.upperBound = 0;
    p.runMailer = true;
    s.setPowerList({p}, true);
    auto m = offer();
    s.evaluate(*m);
    EXPECT_EQ(m->filterReason(), "Power: mail");
    EXPECT_TRUE(calls().empty());
}

TEST_F(Evaluate, MessageStaysUnfilteredWhileAWriterHoldsTheSet) {
    set().setSubjectList({word(MSG_ColSubject, "offer")}, true);
    ASSERT_TRUE(set().lockWrite());
    auto m = offer();
    set().evaluate(*m);
    set().unlockWrite();
    EXPECT_EQ(m->filterReason(), "");
    EXPECT_FALSE(m->deleted());
    auto m2 = offer();
    set().evaluate(*m2);
    EXPECT_TRUE(m2->deleted());
}

}  // namespace

namespace {

// Workers evaluate while the user interface keeps replacing the lists: every
// message sees one whole list or the other, never a list being rebuilt.
TEST(EvaluateConcurrently, ListChangesNeverTearAnEvaluation) {
    TempDir dir;
    MemoryRegistry registry;
    FilterSet set(registry, nullptr, dir.dir(), 2000ms);
    std::vector<WordFilter> a, b;
    for (int i = 0; i < 50; ++i) {
        a.emplace_back(MSG_ColSubject, "a" + std::to_string(i));
        b.emplace_back(MSG_ColSubject, "b" + std::to_string(i));
    }
    a.emplace_back(MSG_ColSubject, "offer");
    b.emplace_back(MSG_ColSubject, "Free");
    set.setSubjectList(b, true);
    std::atomic<bool> stop{false};
    std::atomic<int> evaluated{0}, unexpected{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 3; ++w)
        workers.emplace_back([&] {
            while (!stop) {
                auto m = offer();
                set.evaluate(*m);
                const std::string& r = m->filterReason();
                if (r != "Subject: offer" && r != "Subject: Free") ++unexpected;
                ++evaluated;
            }
        });
    for (int i = 0; i < 60; ++i) set.setSubjectList(i % 2 ? a : b, true);
    stop = true;
    for (auto& t : workers) t.join();
    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_GT(evaluated.load(), 0);
    EXPECT_EQ(set.subjectList().back().words, "offer");
}

}  // namespace
