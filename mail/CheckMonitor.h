// The workers and the check monitor above them. Every running account has a
// worker thread that checks its mailbox and sleeps out its interval; the
// monitor starts and stops the workers of a live account list, lets one
// account per server name check at a time, brings the dial-up line up while
// a check needs it, and restarts a worker whose server stayed silent longer
// than the account's time-out.
//
// No thread is ever terminated: every wait of a worker also ends on the
// account's stop request, so a stopped worker always ends by itself.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/WinHandle.h"
#include "mail/Account.h"
#include "mail/CheckHooks.h"
#include "mail/InternetConnection.h"
#include "mail/WinSocketStream.h"

class CheckMonitor;

// The thread of one account, its stop request, and what its current check
// holds. It is the check's gate (turn, line, deadline) and its waits.
class AccountWorker : public CheckGate, public CheckWait {
public:
    AccountWorker(CheckMonitor& monitor, Account& account);
    AccountWorker(const AccountWorker&) = delete;
    AccountWorker& operator=(const AccountWorker&) = delete;

    HANDLE stopHandle() const { return stop_.get(); }
    bool pause(unsigned ms) override { return WaitForSingleObject(stop_.get(), ms) == WAIT_TIMEOUT; }
    void* stopEvent() const override { return stop_.get(); }
    void keepAlive() override;

    bool begin(Account&) override;
    void end(Account&) override;
    void touch(Account&) override;
    bool silenced(const Account&) const override { return silenced_; }

private:
    friend class CheckMonitor;
    CheckMonitor& monitor_;
    Account& account_;
    Event stop_;
    Event turn_{Event::Auto};  // set when the worker may have come to the front of its server's queue
    Thread thread_;
    // What a check holds and must give back however it ends.
    std::string queuedOn_;  // the server name of the queue it stands in
    bool queued_ = false;
    bool usesConnection_ = false;
    std::atomic<bool> silenced_{false};  // the monitor stopped it for silence
};

class CheckMonitor {
public:
    // The observer hears of every change; the policy is handed to every check.
    CheckMonitor(CheckObserver& observer, CheckPolicy& policy, InternetConnection& connection);
    // Stops every worker and the monitor thread when the owner has not (the
    // accounts must then still be there).
    ~CheckMonitor();
    CheckMonitor(const CheckMonitor&) = delete;
    CheckMonitor& operator=(const CheckMonitor&) = delete;

    // The stream each check reaches its server through, chosen per account;
    // unless set, the plain socket, with TLS over it when the account asks. Set it before the monitor starts.
    using StreamFactory = std::function<std::unique_ptr<ByteStream>(Account&, HANDLE stopEvent)>;
    void setStreamFactory(StreamFactory factory) { streamFactory_ = std::move(factory); }

    // Starts the monitor thread, which starts the worker of every listed
    // account that is not checked only manually (a disabled one refuses).
    // False when the thread or one of the monitor's handles is missing.
    bool startMonitor();

    // The operations on the live account list. Each runs under lock_monitor
    // and returns false, changing nothing, when the lock cannot be had (the
    // log says "lock_monitor failed"). The account list's owner keeps the
    // accounts; the monitor only refers to those listed here.
    //
    // Lists the account; once the monitor runs, also starts its worker
    // unless it is checked only manually or disabled.
    bool addAccount(Account& account);
    // Stops its worker; afterwards neither the monitor nor a server queue
    // refers to the account, and the owner may delete it.
    bool removeAccount(Account& account);
    // A check at once (nothing for a disabled account).
    bool checkNow(Account& account);
    // Ends its worker, leaving it sleeping: no check until the next check
    // command (or the next start of the program).
    bool stop(Account& account);
    // From disabled to sleeping, the worker started unless checked only
    // manually; its first check comes one interval later.
    bool enable(Account& account);
    bool disable(Account& account);
    // After an edit: stops the worker, applies the new connection data and
    // options, forgets the resolved address, and starts the worker again
    // (checking at once) unless checked only manually.
    bool reconfigure(Account& account, const AccountInfo& info, const AccountOptions& options);

    // At exit: no worker is started from now on; every worker is stopped,
    // then the monitor thread.
    void stopAllWorkers();
    void stopMonitorThread();

    // The monitor's lock, around every start and stop of a worker. `waiter`:
    // whose stop request also ends the wait. A thread that waits for it
    // handles the messages sent to its windows meanwhile.
    bool lock_monitor(Account* waiter = nullptr);
    void unlock_monitor();

    unsigned retryPauseMs = 10000;  // between login attempts
    std::atomic<DWORD> lockWaitMs{20000};  // the longest wait of lock_monitor
    static constexpr DWORD kStopGraceMs = 2000;

    // For tests: silence deadlines and server-queue places held.
    size_t deadlineCount();
    size_t queuedCount();

private:
    friend class AccountWorker;
    static DWORD WINAPI monitorThread(void* self);
    static DWORD WINAPI account_thread_core(void* worker);
    void runMonitor();
    void runWorker(AccountWorker& worker);
    bool startWorker(Account& account);
    void requestStop(Account& account);
    // Waits for the worker to end (it always does, on its stop request), then
    // leaves the account not started with nothing held, and reports it.
    bool stopWorker(Account& account);
    bool endWorker(Account& account);  // requestStop, then stopWorker
    Account* findLocked(uint32_t id) const;
    void setState(Account& account, AccountState state, bool report = true);

    // A worker's check.
    bool beginCheck(AccountWorker& worker);
    void endCheck(AccountWorker& worker);
    bool takeTurn(AccountWorker& worker);
    void leaveQueue(AccountWorker& worker);
    void releaseLine(AccountWorker& worker);
    void touch(const Account& account);
    void forget(uint32_t accountId);
    void notifyChanged() { changedEvent_.signal(); }

    SocketsLibrary sockets_;
    CheckObserver& observer_;
    CheckPolicy& policy_;
    InternetConnection& connection_;
    StreamFactory streamFactory_;
    std::vector<Account*> accounts_;  // in list order; changed under the monitor lock
    std::mutex deadlineLock_;         // held for a few instructions only, never while waiting
    std::multimap<uint64_t, uint32_t> deadlines_;  // GetTickCount64 ms -> account id
    // Accounts on one server name check strictly one after another, in the
    // order they asked; the worker leaving the front wakes the next.
    std::mutex queueLock_;
    std::map<std::string, std::deque<AccountWorker*>> serverQueues_;
    std::atomic<bool> running_{false};   // startMonitor was called
    std::atomic<bool> stopping_{false};  // stopAllWorkers began: no worker is started again
    Semaphore monitorLock_{1, 1};
    Event quitEvent_;
    Event changedEvent_;
    Thread monitorThread_;
};
