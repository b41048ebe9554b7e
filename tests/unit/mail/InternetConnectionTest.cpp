#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "mail/InternetConnection.h"

namespace {

struct FakeDialer : Dialer {
    uint32_t flags = kRasInstalled | kModem;
    std::atomic<bool> up{false};
    bool dialWorks = true;
    int dials = 0, hangups = 0;
    bool available() const override { return true; }
    bool connectedState(uint32_t& f) override { return f = flags, up; }
    bool autodial() override { return ++dials, up = dialWorks; }
    void hangup() override { ++hangups, up = false; }
};

bool noPause(unsigned) { return true; }

}  // namespace

TEST(InternetConnection, LineFoundUpOrOnTheLanIsNeitherDialledNorHungUp) {
    for (bool lan : {true, false}) {
        FakeDialer d;
        if (lan) d.flags |= Dialer::kLan;
        d.up = !lan;
        InternetConnection c(d, [lan] { return !lan; });
        EXPECT_TRUE(c.ensureConnected(noPause));
        c.releaseConnection();
        EXPECT_EQ(d.dials + d.hangups, 0) << lan;
    }
}

TEST(InternetConnection, DialledLineHangsUpAfterTheLastCheck) {
    FakeDialer d;
    InternetConnection c(d, [] { return true; });
    EXPECT_TRUE(c.ensureConnected(noPause));
    EXPECT_TRUE(c.ensureConnected(noPause));
    EXPECT_EQ(d.dials, 1);
    c.releaseConnection();
    EXPECT_EQ(d.hangups, 0);
    c.releaseConnection();
    EXPECT_EQ(d.hangups, 1);
    EXPECT_EQ(c.useCount(), 0u);
}

TEST(InternetConnection, FailedDialAndALineThatNeverComesUpHoldNoUse) {
    FakeDialer d;
    d.dialWorks = false;
    InternetConnection c(d, [] { return true; });
    EXPECT_FALSE(c.ensureConnected(noPause));
    EXPECT_EQ(c.useCount(), 0u);

    struct SlowLine : FakeDialer {
        bool autodial() override { return ++dials, true; }
    } slow;
    InternetConnection c2(slow, [] { return true; });
    int pauses = 0;
    EXPECT_FALSE(c2.ensureConnected([&](unsigned) { return ++pauses < 5; }));
    EXPECT_EQ(c2.useCount(), 0u);
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
