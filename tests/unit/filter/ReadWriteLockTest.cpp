#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "filter/ReadWriteLock.h"

using namespace std::chrono_literals;

namespace {

// Readers and writers hammer the lock with short time-outs, so that many
// waits end in a time-out just as the other side lets go (a writer that gives
// up must not leave readers shut out). No writer may ever see a reader, and
// the readers go on once the writers, which come first, are done.
TEST(ReadWriteLock, HammeredWithTimeoutsNeverOverlapsOrLocksOut) {
    ReadWriteLock lock(2ms);
    std::atomic<int> inside{0}, reads{0}, writes{0}, writers{2};
    std::atomic<bool> overlap{false};
    // Only a side that is shut out for good runs this long.
    auto deadline = std::chrono::steady_clock::now() + 60s;
    auto loop = [&](bool writer) {
        while (std::chrono::steady_clock::now() < deadline) {
            if (writer ? writes >= 200 : writers == 0 && reads >= 200) break;
            if (!(writer ? lock.lockWrite() : lock.lockRead())) continue;
            if (writer) {
                if (inside.exchange(-1000) != 0) overlap = true;
                std::this_thread::sleep_for(200us);
                inside.store(0);
                ++writes;
                lock.unlockWrite();
            } else {
                if (inside.fetch_add(1) < 0) overlap = true;
                std::this_thread::yield();
                inside.fetch_sub(1);
                ++reads;
                lock.unlockRead();
            }
        }
        if (writer) --writers;
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < 6; ++i) threads.emplace_back(loop, i < 2);
    for (auto& t : threads) t.join();
    EXPECT_FALSE(overlap);
    EXPECT_GE(reads.load(), 200);
    EXPECT_GE(writes.load(), 200);
    EXPECT_EQ(lock.readerCount(), 0);
    EXPECT_EQ(lock.writersWaiting(), 0);
    ASSERT_TRUE(lock.lockWrite());
    std::thread([&] { lock.unlockWrite(); }).join();  // no owner: any thread releases
    ASSERT_TRUE(lock.lockRead());
    EXPECT_FALSE(lock.lockWrite());
    lock.unlockRead();
}

}  // namespace
