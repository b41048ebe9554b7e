// A check in progress, as far as the filters see it: a thread that takes the
// read lock of `Lockable` (a FilterSet) and holds it until release() or the
// end of the scope.
#pragma once
#include <atomic>
#include <chrono>
#include <thread>

template <class Lockable>
class HeldReadLock {
public:
    explicit HeldReadLock(Lockable& lock) : thread_([this, &lock] {
        bool held = lock.lockRead();
        holding_ = true;
        while (!release_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (held) lock.unlockRead();
    }) {
        while (!holding_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~HeldReadLock() { release(); }
    HeldReadLock(const HeldReadLock&) = delete;
    HeldReadLock& operator=(const HeldReadLock&) = delete;

    void release() {
        release_ = true;
        if (thread_.joinable()) thread_.join();
    }

private:
    std::atomic<bool> holding_{false}, release_{false};
    std::thread thread_;
};
