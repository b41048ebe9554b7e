// The filter set's readers/writer lock: account workers read while they
// evaluate, the user-interface thread writes when filters change. Both sides
// give up after a time-out instead of waiting forever. The lock has no owner
// (any thread may release what another took) and is not re-entrant.
#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

class ReadWriteLock {
public:
    explicit ReadWriteLock(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000))
        : timeout_(timeout) {}
    ReadWriteLock(const ReadWriteLock&) = delete;
    ReadWriteLock& operator=(const ReadWriteLock&) = delete;

    // False when a writer held or wanted the lock for the whole time-out.
    bool lockRead();
    void unlockRead();
    // False when readers or another writer held it for the whole time-out.
    bool lockWrite();
    void unlockWrite();

    int readerCount() const;
    int writersWaiting() const;

private:
    const std::chrono::milliseconds timeout_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int readers_ = 0;
    int waitingWriters_ = 0;
    bool writer_ = false;
};

// Holds the read lock for a scope when it could be taken.
class ReadLock {
public:
    explicit ReadLock(ReadWriteLock& lock) : lock_(lock), held_(lock.lockRead()) {}
    ~ReadLock() { if (held_) lock_.unlockRead(); }
    ReadLock(const ReadLock&) = delete;
    ReadLock& operator=(const ReadLock&) = delete;
    explicit operator bool() const { return held_; }

private:
    ReadWriteLock& lock_;
    bool held_;
};

class WriteLock {
public:
    explicit WriteLock(ReadWriteLock& lock) : lock_(lock), held_(lock.lockWrite()) {}
    ~WriteLock() { if (held_) lock_.unlockWrite(); }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    explicit operator bool() const { return held_; }

private:
    ReadWriteLock& lock_;
    bool held_;
};
