#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "filter/ReadWriteLock.h"

using namespace std::chrono_literals;

namespace {

TEST(ReadWriteLock, ReadersShareWritersExclude) {
    ReadWriteLock lock(50ms);
    ASSERT_TRUE(lock.lockRead());
    ASSERT_TRUE(lock.lockRead());
    EXPECT_EQ(lock.readerCount(), 2);
    EXPECT_FALSE(lock.lockWrite());  // times out while readers hold it
    lock.unlockRead();
    lock.unlockRead();
    ASSERT_TRUE(lock.lockWrite());
    EXPECT_FALSE(lock.lockRead());
    EXPECT_FALSE(lock.lockWrite());  // not re-entrant
    lock.unlockWrite();
    EXPECT_TRUE(lock.lockRead());
    lock.unlockRead();
}

TEST(ReadWriteLock, ReleaseFromAnotherThread) {
    ReadWriteLock lock(1000ms);
    ASSERT_TRUE(lock.lockWrite());
    std::thread([&] { lock.unlockWrite(); }).join();
    EXPECT_TRUE(lock.lockRead());
    std::thread([&] { lock.unlockRead(); }).join();
    EXPECT_TRUE(lock.lockWrite());
    lock.unlockWrite();
}

TEST(ReadWriteLock, TimedOutWriterLetsWaitingReadersIn) {
    ReadWriteLock lock(400ms);
    ASSERT_TRUE(lock.lockRead());
    std::atomic<bool> writerGot{true};
    std::thread writer([&] { writerGot = lock.lockWrite(); });
    while (lock.writersWaiting() == 0) std::this_thread::yield();
    // The second reader comes in half-way through the writer's wait, so its
    // own time-out ends well after the writer has given up.
    std::this_thread::sleep_for(200ms);
    std::atomic<bool> readerGot{false};
    auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration waited{};
    std::thread reader([&] {
        readerGot = lock.lockRead();
        waited = std::chrono::steady_clock::now() - start;
        if (readerGot) lock.unlockRead();
    });
    writer.join();
    reader.join();
    EXPECT_FALSE(writerGot);
    EXPECT_TRUE(readerGot);  // held back by the writer, let in when it gave up
    EXPECT_GE(waited, 100ms);
    lock.unlockRead();
    EXPECT_TRUE(lock.lockWrite());
    lock.unlockWrite();
}

// Readers and writers hammer the lock with short time-outs so that many
// waits end in a time-out at the moment the other side lets go. Afterwards
// the lock must be free for both sides, and no writer ever saw a reader.
TEST(ReadWriteLock, HammeredWithTimeoutsNeverLocksAnyoneOut) {
    ReadWriteLock lock(2ms);
    std::atomic<int> inside{0};
    std::atomic<bool> overlap{false};
    std::atomic<int> reads{0}, writes{0}, readTimeouts{0}, writeTimeouts{0};
    auto deadline = std::chrono::steady_clock::now() + 1500ms;
    std::vector<std::thread> threads;
    for (int r = 0; r < 4; ++r)
        threads.emplace_back([&] {
            while (std::chrono::steady_clock::now() < deadline) {
                if (!lock.lockRead()) {
                    ++readTimeouts;
                    continue;
                }
                if (inside.fetch_add(1) < 0) overlap = true;
                std::this_thread::yield();
                inside.fetch_sub(1);
                ++reads;
                lock.unlockRead();
            }
        });
    for (int w = 0; w < 2; ++w)
        threads.emplace_back([&] {
            while (std::chrono::steady_clock::now() < deadline) {
                if (!lock.lockWrite()) {
                    ++writeTimeouts;
                    continue;
                }
                if (inside.exchange(-1000) != 0) overlap = true;
                std::this_thread::sleep_for(200us);
                inside.store(0);
                ++writes;
                lock.unlockWrite();
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_FALSE(overlap);
    EXPECT_GT(reads.load(), 0);
    EXPECT_GT(writes.load(), 0);
    EXPECT_EQ(lock.readerCount(), 0);
    // Both sides get in at once after the storm.
    ASSERT_TRUE(lock.lockWrite());
    lock.unlockWrite();
    ASSERT_TRUE(lock.lockRead());
    lock.unlockRead();
    RecordProperty("readTimeouts", readTimeouts.load());
    RecordProperty("writeTimeouts", writeTimeouts.load());
}

}  // namespace
