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
    bool connectedState(uint32_t& f) override {
        f = flags;
        return up;
    }
    bool autodial() override {
        ++dials;
        up = dialWorks;
        return dialWorks;
    }
    void hangup() override {
        ++hangups;
        up = false;
    }
};

bool noPause(unsigned) { return true; }

}  // namespace

TEST(InternetConnection, LanNeverDialsNorHangsUp) {
    FakeDialer d;
    d.flags = Dialer::kRasInstalled | Dialer::kLan | Dialer::kModem;
    InternetConnection c(d, [] { return false; });
    EXPECT_TRUE(c.ensureConnected(noPause));
    c.releaseConnection();
    EXPECT_EQ(d.dials + d.hangups, 0);
}

TEST(InternetConnection, ALineFoundUpIsNeverHungUp) {
    FakeDialer d;
    d.up = true;
    InternetConnection c(d, [] { return true; });
    EXPECT_TRUE(c.ensureConnected(noPause));
    c.releaseConnection();
    EXPECT_EQ(d.dials, 0);
    EXPECT_EQ(d.hangups, 0);
    EXPECT_TRUE(c.foundConnected());
}

TEST(InternetConnection, DialledLineHangsUpAfterTheLastCheck) {
    FakeDialer d;
    InternetConnection c(d, [] { return true; });
    EXPECT_TRUE(c.ensureConnected(noPause));
    EXPECT_TRUE(c.ensureConnected(noPause));  // a second account on the line we dialled
    EXPECT_EQ(d.dials, 1);
    EXPECT_EQ(c.useCount(), 2u);
    c.releaseConnection();
    EXPECT_EQ(d.hangups, 0);
    c.releaseConnection();
    EXPECT_EQ(d.hangups, 1);
    EXPECT_EQ(c.useCount(), 0u);
}

TEST(InternetConnection, FailedDialFailsTheCheckAndALineThatNeverComesUpIsGivenBack) {
    FakeDialer d;
    d.dialWorks = false;
    InternetConnection c(d, [] { return true; });
    EXPECT_FALSE(c.ensureConnected(noPause));
    EXPECT_EQ(c.useCount(), 0u);

    struct SlowLine : FakeDialer {
        bool autodial() override { return ++dials, true; }  // "dialled", but the line stays down
    } slow;
    InternetConnection c2(slow, [] { return true; });
    int pauses = 0;
    EXPECT_FALSE(c2.ensureConnected([&](unsigned) { return ++pauses < 5; }));  // stopped after 5 polls
    EXPECT_EQ(pauses, 5);
    EXPECT_EQ(c2.useCount(), 0u);
}

TEST(InternetConnection, UseCountStaysExactUnderConcurrentChecks) {
    FakeDialer d;
    d.up = true;
    InternetConnection c(d, [] { return true; });
    ASSERT_TRUE(c.ensureConnected(noPause));  // found up: not ours
    d.up = false;
    std::atomic<int> ok{0};
    {
        FakeDialer line;
        InternetConnection dialled(line, [] { return true; });
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 200; ++i) {
                    if (dialled.ensureConnected(noPause)) {
                        ++ok;
                        dialled.releaseConnection();
                    }
                }
            });
        for (auto& t : threads) t.join();
        EXPECT_EQ(dialled.useCount(), 0u);
        EXPECT_EQ(line.dials, line.hangups);
    }
    EXPECT_EQ(ok.load(), 1600);
}
