#include <gtest/gtest.h>

#include <functional>

#include "core/MessageText.h"
#include "FilterTestSupport.h"

using namespace std::chrono_literals;

namespace {

class Evaluate : public ::testing::Test, public FilterObserver {
protected:
    Evaluate() { set.setActionHost(actions); }
    // The mail client may wait for the user interface, which may be waiting
    // to write the lists: actions run with the set unlocked.
    void runMailer() override {
        bool unlocked = set.lockWrite();
        if (unlocked) set.unlockWrite();
        actions.calls.push_back(unlocked ? "mailer" : "mailer under the lock");
    }
    bool dontCalcDeleted() const override { return countDeletedAsRead; }

    TempDir dir;
    MemoryRegistry registry;
    RecordingActions actions;
    std::vector<std::string>& calls = actions.calls;
    bool countDeletedAsRead = false;
    FilterSet set{registry, this, dir.dir(), 50ms};
};

std::unique_ptr<Message> offer() {
    return topMessage({"Return-Path: <deals@shop.example>", "From: Deals Team <deals@shop.example>",
                       "To: Anna <anna@home.example>", "Cc: bob@home.example", "Subject: Free offer: 50% off",
                       "Date: Tue, 3 Mar 2026 10:15:00 +0100", "Message-ID: <offer-1@shop.example>",
                       "X-Priority: 3", "", "Buy now & save=big", "Unsubscribe below."},
                      200000);
}

WordFilter word(uint32_t field, const std::string& words, bool useCase = false) {
    WordFilter f(field, words);
    f.useCase = useCase;
    return f;
}

// The marks as kxcheck prints them: friend, deleted, spammer, uncertain, read.
std::string marks(const Message& m) {
    return std::string(m.isFriend() ? "F" : "") + (m.deleted() ? "D" : "") + (m.spammer() ? "S" : "") +
           (m.uncertain() ? "U" : "") + (m.read() ? "R" : "");
}

PowerFilter power(const std::string& name) {
    PowerFilter p;
    p.filterName = name;
    return p;
}

// Every list matches the offer; switching them off one by one shows the
// order: friends, power, From, Subject, spammers, To/Cc, and Size last.
TEST_F(Evaluate, FirstMatchInOrderDecidesMarkAndReason) {
    set.setFriends(true, {"deals@shop.example"}, true);
    set.setSpammers(true, {"deals@shop.example"}, true);
    PowerFilter p = power("Shop");
    p.fromEnabled = p.playSound = true, p.fromWords = "shop.example", p.soundFile = "x.wav";
    p.markUncertainChoice();
    set.setPowerList({p}, true);
    set.setFromList({word(MSG_ColFrom, "DEALS TEAM", true)}, true);  // other case: no match
    set.setSubjectList({word(MSG_ColSubject, "nothing"), word(MSG_ColSubject, "FREE OFFER")}, true);
    set.setToCcList({word(MSG_ColTo, "carol@work.example")}, true);
    SizeFilter range;
    range.upperBound = 102400, range.lowerBound = 1024;
    set.setSizeList({range}, true);
    countDeletedAsRead = true;  // a deleted mark also marks read

    const struct {
        std::function<void()> before;
        const char *reason, *marks;
    } steps[] = {
        {[] {}, "Friends: deals@shop.example", "F"},
        {[&] { set.setFriends(false, {}, false); }, "Power: Shop", "U"},
        {[&] { set.setPowerList({}, true); }, "Subject: FREE OFFER", "DR"},
        {[&] { set.setSubjectList({}, true); }, "Spammers: deals@shop.example", "DSR"},
        {[&] { set.setSpammers(false, {}, false); }, "To: carol@work.example", "DR"},
        {[&] { set.setToCcList({}, true); }, "Smaller than: 1024 and Larger than: 102400", "DR"},
    };
    for (const auto& s : steps) {
        s.before();
        auto m = offer();
        set.evaluate(*m);
        EXPECT_EQ(m->filterReason(), s.reason);
        EXPECT_EQ(marks(*m), s.marks) << s.reason;
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"sound x.wav"}));  // a friend tries no power filter
}

TEST_F(Evaluate, ToCcListMatchesMailAddressedToNoneOfItsItems) {
    const struct {
        const char* words;
        bool useCase, matches;
    } cases[] = {
        {"carol@work.example; anna@home.example", false, false},  // To holds one
        {"BOB@home.example;carol@work.example", false, false},    // Cc holds one, folded
        {"ANNA@home.example", true, true},                        // case-sensitive: not addressed
        {"carol@work.example;", false, true},                     // a bare trailing ";" adds nothing
        {"carol@work.example; ", false, false},                   // "; " adds an empty item: never
    };
    for (const auto& c : cases) {
        set.setToCcList({word(MSG_ColTo, c.words, c.useCase)}, true);
        auto m = offer();
        set.evaluate(*m);
        EXPECT_EQ(m->filterReason(), c.matches ? std::string("To: ") + c.words : "") << c.words;
    }
}

TEST_F(Evaluate, PowerConditions) {
    using P = PowerFilter&;
    const std::vector<std::string> attachment = {
        "From: a@b", "Content-Type: multipart/mixed; boundary=\"XX\"", "", "--XX", "Content-Type: text/plain", "",
        "see attached", "--XX", "Content-Disposition: attachment; filename=\"invoice.pdf.exe\"", "", "TVqQ", "--XX--"};
    const struct {
        const char* name;
        void (*setup)(PowerFilter&);
        bool matches;
        std::vector<std::string> lines = {};
    } cases[] = {
        {"size only", [](P p) { p.upperBound = 10240, p.lowerBound = 5120; }, true},
        {"no condition, no size", [](P) {}, false},
        {"condition and size", [](P p) { p.subjectEnabled = true, p.subjectWords = "offer", p.lowerBound = 5; }, false},
        {"priority normal", [](P p) { p.priorityEnabled = true, p.priority = 3; }, true},
        {"priority high", [](P p) { p.priorityEnabled = true, p.priority = 1; }, false},
        {"doesn't contain, no From", [](P p) { p.fromEnabled = true, p.fromCondition = 1, p.fromWords = "x"; }, false,
         {"From:", "Subject: s", "", "b"}},
        {"body and header",
         [](P p) { p.bodyEnabled = p.headerEnabled = true, p.bodyWords = "SAVE=BIG", p.headerWords = "offer-1@"; },
         true},
        {"body with case", [](P p) { p.bodyEnabled = p.bodyCase = true, p.bodyWords = "SAVE"; }, false},
        {"attachment name", [](P p) { p.attachEnabled = true, p.attachWords = ".EXE"; }, true, attachment},
        {"no attachment", [](P p) { p.attachEnabled = true, p.attachCondition = 1, p.attachWords = ".exe"; }, false},
        {"to/cc any word", [](P p) { p.toCcEnabled = true, p.toCcCondition = 0, p.toCcWords = "nobody; bob@"; },
         true},
        {"to/cc none, one present", [](P p) { p.toCcEnabled = true, p.toCcWords = "nobody;home.example"; }, false},
        {"to/cc none", [](P p) { p.toCcEnabled = true, p.toCcWords = " nobody ;; other "; }, true},
        {"to/cc without words", [](P p) { p.toCcEnabled = true, p.toCcWords = " ; "; }, false},
    };
    for (const auto& c : cases) {
        PowerFilter off = power("off"), p = power(c.name);
        off.disabled = 1;
        off.upperBound = 0;  // would match anything
        c.setup(p);
        set.setPowerList({off, p}, true);
        auto m = c.lines.empty() ? offer() : topMessage(c.lines);
        set.evaluate(*m);
        EXPECT_EQ(m->filterReason(), c.matches ? std::string("Power: ") + c.name : "") << c.name;
        EXPECT_EQ(marks(*m), c.matches ? "D" : "") << c.name;
    }
}

TEST_F(Evaluate, DoNothingStillStopsAndRunsEveryActionInOrder) {
    PowerFilter p = power("report");
    p.subjectEnabled = true, p.subjectWords = "offer";
    p.markNothingChoice();
    p.runMailer = p.markAsRead = p.launchProgram = p.playSound = p.sendMsgToUrl = true;
    p.launchProgramPath = "C:\\tools\\note.bat", p.soundFile = "ding.wav", p.urlForSending = "http://127.0.0.1/r";
    set.setPowerList({p}, true);
    set.setSubjectList({word(MSG_ColSubject, "offer")}, true);
    auto m = offer();
    set.evaluate(*m);
    EXPECT_EQ(m->filterReason(), "Power: report");
    EXPECT_EQ(marks(*m), "R");
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "mailer", "launch C:\\tools\\note.bat", "sound ding.wav",
                         "url http://127.0.0.1/r?to=Anna%20%3Canna%40home.example%3E&cc=bob%40home.example&bcc="
                         "&subject=Free%20offer%3A%2050%25%20off&emailbody=Buy%20now%20%26%20save%3Dbig%0D%0A"
                         "Unsubscribe%20below.%0D%0A"}));
}

TEST_F(Evaluate, ActionsWithoutTargetOrObserverAreSkipped) {
    FilterSet alone(registry, nullptr, dir.dir(), 50ms);
    alone.setActionHost(actions);
    PowerFilter p = power("empty");
    p.upperBound = 0;
    p.runMailer = p.playSound = p.sendMsgToUrl = true;
    alone.setPowerList({p}, true);
    auto m = offer();
    alone.evaluate(*m);
    EXPECT_EQ(m->filterReason(), "Power: empty");
    EXPECT_TRUE(calls.empty());
}

TEST_F(Evaluate, MessageStaysUnfilteredWhileAWriterHoldsTheSet) {
    set.setSubjectList({word(MSG_ColSubject, "offer")}, true);
    ASSERT_TRUE(set.lockWrite());
    auto m = offer();
    set.evaluate(*m);
    set.unlockWrite();
    EXPECT_FALSE(m->deleted());
    set.evaluate(*m);
    EXPECT_TRUE(m->deleted());
}

}  // namespace
