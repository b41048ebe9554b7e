// The workers and the check monitor above them. Every running account has a
// worker thread that checks its mailbox and sleeps out its interval; the
// monitor starts the workers, lets one account per server name check at a
// time, brings the dial-up line up while a check needs it, and restarts a
// worker whose server stayed silent longer than the account's time-out.
//
// No thread is ever terminated: every wait of a worker also ends on the
// account's stop request, so a stopped worker always ends by itself.
#pragma once
#include <windows.h>

#include <cstdint>
#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "mail/Account.h"
#include "mail/CheckHooks.h"
#include "mail/InternetConnection.h"
#include "mail/WinSocketStream.h"

class CheckMonitor;

// What the monitor reports to the application, on the thread that changed
// the account (a worker or the monitor thread). A report may send a message
// to a window and wait for it: the threads that stop workers handle sent
// messages while they wait for a worker to end.
class CheckObserver {
public:
    virtual ~CheckObserver() = default;
    // After every change of an account's state and after every check.
    virtual void accountChanged(Account&) {}
    // After a good check that leaves unread mail.
    virtual void newMailFound(Account&) {}
    // The filters look at a newly fetched message.
    virtual void evaluate(Message&) {}
    // The deletion confirmation of a check; true for OK.
    virtual bool confirmDeletion(Account&) { return false; }
    // The setting that makes a deletion mark also a read mark.
    virtual bool dontCalcDeleted() const { return false; }
};

// The thread of one account and its stop request.
class AccountWorker {
public:
    AccountWorker();
    ~AccountWorker();
    AccountWorker(const AccountWorker&) = delete;
    AccountWorker& operator=(const AccountWorker&) = delete;

    HANDLE stopEvent() const { return stopEvent_; }
    bool stopRequested() const { return WaitForSingleObject(stopEvent_, 0) == WAIT_OBJECT_0; }
    // Waits `ms` milliseconds (INFINITE: without limit); false when stopped.
    bool pause(DWORD ms) const { return WaitForSingleObject(stopEvent_, ms) == WAIT_TIMEOUT; }

private:
    friend class CheckMonitor;
    HANDLE stopEvent_;
    HANDLE thread_ = nullptr;
    CheckMonitor* monitor_ = nullptr;
    Account* account_ = nullptr;
    // What a check holds and must give back however it ends.
    bool queued_ = false;
    bool usesConnection_ = false;
};

class CheckMonitor {
public:
    CheckMonitor(CheckObserver& observer, InternetConnection& connection);
    ~CheckMonitor();
    CheckMonitor(const CheckMonitor&) = delete;
    CheckMonitor& operator=(const CheckMonitor&) = delete;

    // The accounts the monitor starts at its start and stops at the end, in list order.
    void setAccounts(const std::vector<Account*>& accounts);
    // Starts the monitor thread, which starts every account's worker that is
    // not "check only manually" (disabled ones refuse).
    bool startMonitor();
    bool lock_monitor(Account* waiter = nullptr);  // waiter: whose stop request also ends the wait
    void unlock_monitor();

    // Worker control. startWorker refuses a running or disabled account.
    bool startWorker(Account& account);
    void requestStop(Account& account);
    // Waits for the worker to end (it always does, on its stop request), then
    // leaves the account not started with nothing held, and reports it.
    bool stopWorker(Account& account);
    bool restartWorker(Account& account);  // stop, then start unless "check only manually"
    void stopAllWorkers();
    void stopMonitorThread();

    // The check protocol of a worker.
    bool beginCheck(Account& account);
    void endCheck(Account& account);
    void touch(Account& account);
    void forget(Account& account);
    void notifyChanged();

    // One check of an account (on its worker thread); true when it succeeded.
    bool performCheck(Account& account);

    CheckObserver& observer() { return observer_; }
    bool dontCalcDeleted() const { return observer_.dontCalcDeleted(); }
    // For tests: the earliest silence deadline (GetTickCount64 ms), 0 when none.
    uint64_t earliestDeadline();
    size_t deadlineCount();

    // The server queue of a worker is looked at every this many milliseconds.
    static constexpr DWORD kQueuePollMs = 500;
    static constexpr DWORD kStopGraceMs = 2000;

private:
    static DWORD WINAPI monitorThread(void* self);
    static DWORD WINAPI account_thread_core(void* worker);
    void runMonitor();
    void runWorker(AccountWorker& worker);
    void setState(Account& account, AccountState state, bool report = true);
    void leaveQueue(AccountWorker& worker);
    void releaseLine(AccountWorker& worker);
    void forgetLocked(Account& account);

    SocketsLibrary sockets_;
    CheckObserver& observer_;
    InternetConnection& connection_;
    std::vector<Account*> accounts_;
    std::mutex deadlineLock_;  // held for a few instructions only, never while waiting
    std::multimap<uint64_t, Account*> deadlines_;
    std::atomic<bool> stopping_{false};  // stopAllWorkers began: no worker is started again
    HANDLE monitorLock_;
    HANDLE quitEvent_;
    HANDLE changedEvent_;
    HANDLE monitorThread_ = nullptr;
};
