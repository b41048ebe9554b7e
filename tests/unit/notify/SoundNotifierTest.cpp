#include <gtest/gtest.h>

#include <initializer_list>
#include <tuple>

#include "core/Settings.h"
#include "notify/SoundNotifier.h"
#include "support/MemoryRegistry.h"

namespace {

// Records what would be played; a sound "plays" until the test ends it, and
// meanwhile every other play is refused, as the system's no-stop play does.
class RecordingPlayer : public SoundPlayer {
public:
    bool play(const std::string& file) override {
        if (busy) return false;
        played.push_back(file);
        busy = holdEach;
        return true;
    }
    void stop() override { busy = false; }

    std::vector<std::string> played;
    bool holdEach = false;  // each sound lasts until finish()
    bool busy = false;
};

class SoundNotifierTest : public ::testing::Test {
protected:
    SoundNotifierTest() : settings(reg), notifier(settings, player) { settings.PlaySound = true; }

    void add(const std::string& name, uint32_t unread, const std::string& sound) {
        accounts.push_back({static_cast<uint32_t>(accounts.size() + 1), name, AccountState::Sleeping, unread, unread,
                            sound});
    }
    void ticks(int n, bool windowOpen = false) {
        for (int i = 0; i < n; ++i) notifier.tick(windowOpen, countMail(accounts));
    }
    // The repeat cycle over accounts given as name, unread count, sound.
    void startRepeating(std::initializer_list<std::tuple<const char*, uint32_t, const char*>> list) {
        settings.Repeat = true;
        for (const auto& [name, unread, sound] : list) add(name, unread, sound);
        notifier.start();
    }
    // What `n` ticks play.
    std::vector<std::string> playedIn(int n) {
        player.played.clear();
        ticks(n);
        return player.played;
    }

    MemoryRegistry reg;
    Settings settings;
    RecordingPlayer player;
    SoundNotifier notifier;
    std::vector<AccountCounts> accounts;
};

}  // namespace

TEST_F(SoundNotifierTest, EachQueuedSoundOnceInPathOrderNeverOverlapping) {
    add("a", 1, "b.wav");
    notifier.newMailFound("before the start.wav");
    notifier.start();
    for (const char* file : {"b.wav", "a.wav", "b.wav", "C.wav", ""}) notifier.newMailFound(file);
    player.holdEach = true;
    EXPECT_EQ(playedIn(2), (std::vector<std::string>{"C.wav"}));  // the second tick finds it playing
    player.busy = false;
    EXPECT_EQ(playedIn(1), (std::vector<std::string>{"a.wav"}));
    player.holdEach = player.busy = false;
    EXPECT_EQ(playedIn(3), (std::vector<std::string>{"b.wav"}));
}

// Showing the window ends the sound and the queue, unless sounds go on while
// it is open.
TEST_F(SoundNotifierTest, NothingPlaysUnlessArmedAndAllowed) {
    add("a", 1, "a.wav");
    struct Case {
        const char* what;
        bool playSound, started, windowOpen, whenOpen;
        bool plays;
    } cases[] = {
        {"sounds off", false, true, false, false, false},
        {"tray not started", true, false, false, false, false},
        {"window open", true, true, true, false, false},
        {"window open, sounds go on", true, true, true, true, true},
        {"window hidden", true, true, false, false, true},
    };
    for (const Case& c : cases) {
        SoundNotifier fresh(settings, player);
        settings.PlaySound = c.playSound;
        settings.RepeatWhenWindowIsOpen = c.whenOpen;
        if (c.started) fresh.start();
        fresh.newMailFound("a.wav");
        if (c.windowOpen) fresh.quiet();
        player.played.clear();
        fresh.tick(c.windowOpen, countMail(accounts));
        fresh.tick(false, countMail(accounts));
        EXPECT_EQ(player.played.size(), c.plays ? 1u : 0u) << c.what;
    }
}

TEST_F(SoundNotifierTest, RepeatTakesTheAccountsWithUnreadMailInTurn) {
    using Files = std::vector<std::string>;
    startRepeating({{"X", 2, "x.wav"}, {"Y", 0, "y.wav"}, {"Z", 1, "z.wav"}});
    EXPECT_EQ(playedIn(4), (Files{"x.wav", "z.wav", "x.wav", "z.wav"}));
    // While a sound plays, the account whose turn it is waits for it.
    player.holdEach = true;
    EXPECT_EQ(playedIn(3), (Files{"x.wav"}));
    player.busy = false;
    EXPECT_EQ(playedIn(1), (Files{"z.wav"}));
    player.holdEach = player.busy = false;
    accounts[2].unread = 0;
    EXPECT_EQ(playedIn(3), (Files{"x.wav", "x.wav", "x.wav"}));
}

// Accounts are followed by identity: with two accounts of one name, a turn
// that went by name would never get past them.
TEST_F(SoundNotifierTest, RepeatWithTwinNamesEnds) {
    startRepeating({{"X", 2, "first.wav"}, {"A", 0, "a.wav"}, {"X", 0, "second.wav"}});
    EXPECT_EQ(playedIn(3), (std::vector<std::string>{"first.wav", "first.wav", "first.wav"}));
    accounts[0].unread = 0;
    EXPECT_TRUE(playedIn(2).empty());
}
