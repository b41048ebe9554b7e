#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "mail/InternetConnection.h"

namespace {

struct FakeDialer : Dialer {
    uint32_t flags = kRasInstalled | kModem;
    std::atomic<bool> up{false};
    std::atomic<int> polls{0};  // state reads since the last dial ended
    bool dialWorks = true, lineComesUp = true;
    int dials = 0, hangups = 0;
    bool available() const override { return true; }
    bool connectedState(uint32_t& f) override { return ++polls, f = flags, up; }
    bool autodial() override { return ++dials, up = dialWorks && lineComesUp, polls = 0, dialWorks; }
    void hangup() override { ++hangups, up = false; }
};

bool noPause(unsigned) { return true; }

}  // namespace

// Two checks in turn: only a line this object dialled is hung up, and only
// after the last check that used it; a check that got no line holds no use.
TEST(InternetConnection, DialsOnlyWhenNeededAndHangsUpAfterTheLastUse) {
    const struct {
        const char* what;
        bool lan, modem, up, dialWorks, lineComesUp, stopInPoll, ok;
        int dials, hangups;
    } rows[] = {
        {"on the LAN", true, false, false, true, true, false, true, 0, 0},
        {"line found up", false, true, true, true, true, false, true, 0, 0},
        {"dialled", false, true, false, true, true, false, true, 1, 1},
        {"dial fails", false, true, false, false, true, false, false, 2, 0},
        {"line never comes up", false, true, false, true, false, false, false, 2, 0},  // the 60-second poll ends
        {"stopped while the line comes up", false, true, false, true, false, true, false, 2, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        FakeDialer d;
        if (r.lan) d.flags |= Dialer::kLan;
        d.up = r.up, d.dialWorks = r.dialWorks, d.lineComesUp = r.lineComesUp;
        InternetConnection c(d, [&r] { return r.modem; });
        // A stop in the poll for the dialled line: the dial has ended and the state was read since.
        auto pause = [&](unsigned) { return !(r.stopInPoll && c.useCount() > 0 && d.polls > 0); };
        EXPECT_EQ(c.ensureConnected(pause), r.ok);
        EXPECT_EQ(c.ensureConnected(pause), r.ok);
        EXPECT_EQ(d.dials, r.dials);
        if (r.ok) {
            c.releaseConnection();
            EXPECT_EQ(d.hangups, 0);
            c.releaseConnection();
        }
        EXPECT_EQ(d.hangups, r.hangups);
        EXPECT_EQ(c.useCount(), 0u);
    }
}

TEST(InternetConnection, UseCountStaysExactUnderConcurrentChecks) {
    FakeDialer line;
    InternetConnection dialled(line, [] { return true; });
    std::atomic<int> ok{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i)
                if (dialled.ensureConnected(noPause)) ++ok, dialled.releaseConnection();
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(ok.load(), 1600);
    EXPECT_EQ(dialled.useCount(), 0u);
    EXPECT_EQ(line.dials, line.hangups);
}

TEST(InternetConnection, AStopEndsTheWaitForADialAndItsLineIsHungUp) {
    struct SlowDial : FakeDialer {
        std::atomic<bool> go{false};
        bool autodial() override {
            while (!go) std::this_thread::yield();
            return FakeDialer::autodial();
        }
    } line;
    {
        InternetConnection c(line, [] { return true; });
        int pauses = 0;
        EXPECT_FALSE(c.ensureConnected([&](unsigned) { return ++pauses < 3; }));
        EXPECT_EQ(pauses, 3);
        line.go = true;  // the dial ends after the check gave up
    }
    EXPECT_EQ(line.dials, 1);
    EXPECT_EQ(line.hangups, 1);
    EXPECT_FALSE(line.up);
}
