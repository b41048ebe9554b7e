#include "filter/ReadWriteLock.h"

// All state changes happen under one mutex, so a waiter that times out
// leaves nothing half-done behind it: the counts it changed are restored in
// the same critical section, and everyone it might have kept out is woken.
// A waiting writer keeps new readers out, so that a steady stream of
// evaluations cannot starve a list change.

bool ReadWriteLock::lockRead() {
    std::unique_lock<std::mutex> hold(mutex_);
    if (!changed_.wait_for(hold, timeout_, [this] { return !writer_ && waitingWriters_ == 0; }))
        return false;
    ++readers_;
    return true;
}

void ReadWriteLock::unlockRead() {
    std::lock_guard<std::mutex> hold(mutex_);
    if (readers_ > 0 && --readers_ == 0) changed_.notify_all();
}

bool ReadWriteLock::lockWrite() {
    std::unique_lock<std::mutex> hold(mutex_);
    ++waitingWriters_;
    bool got = changed_.wait_for(hold, timeout_, [this] { return !writer_ && readers_ == 0; });
    --waitingWriters_;
    if (got) {
        writer_ = true;
    } else if (waitingWriters_ == 0) {
        changed_.notify_all();  // readers held back for this writer may go on
    }
    return got;
}

void ReadWriteLock::unlockWrite() {
    std::lock_guard<std::mutex> hold(mutex_);
    writer_ = false;
    changed_.notify_all();
}

int ReadWriteLock::readerCount() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return readers_;
}

int ReadWriteLock::writersWaiting() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return waitingWriters_;
}
