#include "mail/CheckMonitor.h"

#include <objbase.h>

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "core/EventLog.h"
#include "core/Platform.h"
#include "mail/Pop3Session.h"
#include "mail/Transport.h"
#include "message/Message.h"

namespace {

// Accounts on one server name check strictly one after another, in the
// order they asked. Entries are made on first use and never removed.
std::mutex gQueueLock;
std::map<std::string, std::deque<Account*>> gServerQueues;

uint64_t now() { return GetTickCount64(); }

// Waits for one of `handles` while handling the messages other threads send
// to this one, so that a worker or the monitor reporting to a window of this
// thread can finish.
DWORD waitHandlingSentMessages(const HANDLE* handles, DWORD count, DWORD ms) {
    uint64_t end = ms == INFINITE ? 0 : now() + ms;
    for (;;) {
        DWORD left = ms == INFINITE ? INFINITE : static_cast<DWORD>(end > now() ? end - now() : 0);
        DWORD w = MsgWaitForMultipleObjects(count, handles, FALSE, left, QS_SENDMESSAGE);
        if (w != WAIT_OBJECT_0 + count) return w;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // runs the sent messages
    }
}

DWORD waitHandlingSentMessages(HANDLE handle, DWORD ms) { return waitHandlingSentMessages(&handle, 1, ms); }

// What a worker's check needs from the monitor and the application.
class WorkerHooks : public CheckHooks {
public:
    WorkerHooks(CheckMonitor& monitor) : monitor_(monitor) {}
    void touch(Account& account) override { monitor_.touch(account); }
    void evaluate(Message& message) override { monitor_.observer().evaluate(message); }
    bool confirmDeletion(Account& account) override { return monitor_.observer().confirmDeletion(account); }

private:
    CheckMonitor& monitor_;
};

}  // namespace

AccountWorker::AccountWorker() : stopEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

AccountWorker::~AccountWorker() {
    if (thread_) CloseHandle(thread_);
    if (stopEvent_) CloseHandle(stopEvent_);
}

CheckMonitor::CheckMonitor(CheckObserver& observer, InternetConnection& connection)
    : observer_(observer),
      connection_(connection),
      monitorLock_(CreateSemaphoreA(nullptr, 1, 1, nullptr)),
      quitEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      changedEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CheckMonitor::~CheckMonitor() {
    if (monitorThread_) {
        SetEvent(quitEvent_);
        stopMonitorThread();
    }
    CloseHandle(monitorLock_);
    CloseHandle(quitEvent_);
    CloseHandle(changedEvent_);
}

void CheckMonitor::setAccounts(const std::vector<Account*>& accounts) { accounts_ = accounts; }

bool CheckMonitor::startMonitor() {
    ResetEvent(quitEvent_);
    monitorThread_ = CreateThread(nullptr, 0, monitorThread, this, 0, nullptr);
    return monitorThread_ != nullptr;
}

bool CheckMonitor::lock_monitor(Account* waiter) {
    HANDLE waits[2] = {monitorLock_, nullptr};
    DWORD count = 1;
    if (waiter && waiter->worker) waits[count++] = waiter->worker->stopEvent();
    // The holder may be reporting to this thread's windows while it holds the lock.
    DWORD w = waitHandlingSentMessages(waits, count, 20000);
    if (w == WAIT_OBJECT_0) return true;
    if (w == WAIT_TIMEOUT) eventLog().log("lock_monitor failed");
    return false;
}

void CheckMonitor::unlock_monitor() { ReleaseSemaphore(monitorLock_, 1, nullptr); }

void CheckMonitor::setState(Account& account, AccountState state, bool report) {
    account.state = state;
    if (report) observer_.accountChanged(account);
}

bool CheckMonitor::startWorker(Account& account) {
    if (account.state == AccountState::Disabled) return false;
    if (account.worker && account.worker->thread_) return false;
    auto worker = std::make_shared<AccountWorker>();
    if (!worker->stopEvent_) return false;
    worker->monitor_ = this;
    worker->account_ = &account;
    account.worker = worker;
    worker->thread_ = CreateThread(nullptr, 0, account_thread_core, worker.get(), 0, nullptr);
    return worker->thread_ != nullptr;
}

void CheckMonitor::requestStop(Account& account) {
    if (account.worker) SetEvent(account.worker->stopEvent_);
}

bool CheckMonitor::stopWorker(Account& account) {
    AccountWorker* worker = account.worker.get();
    if (!worker || !worker->thread_) return false;
    if (waitHandlingSentMessages(worker->thread_, kStopGraceMs) == WAIT_TIMEOUT) {
        // Every wait of a worker ends on its stop request, so this is a bug;
        // a terminated thread could die holding the heap or a lock, so wait.
        eventLog().log("Worker of account %s did not end in time; waiting for it", account.name.c_str());
        waitHandlingSentMessages(worker->thread_, INFINITE);
    }
    CloseHandle(worker->thread_);
    worker->thread_ = nullptr;
    // Give back whatever the ended check still held.
    forget(account);
    leaveQueue(*worker);
    releaseLine(*worker);
    setState(account, AccountState::NotStarted);
    return true;
}

bool CheckMonitor::restartWorker(Account& account) {
    if (!lock_monitor()) return false;
    requestStop(account);
    stopWorker(account);
    bool started = !account.checkOnlyManually && startWorker(account);
    unlock_monitor();
    return started;
}

void CheckMonitor::stopAllWorkers() {
    // The monitor thread restarts no worker from now on; taking its lock waits
    // for a restart it may be in the middle of.
    stopping_ = true;
    SetEvent(quitEvent_);
    // Stopping without the lock could race a restart into a worker that
    // outlives its account; every holder lets go in the end.
    while (!lock_monitor()) {
    }
    for (Account* a : accounts_) requestStop(*a);
    for (Account* a : accounts_) stopWorker(*a);
    unlock_monitor();
}

void CheckMonitor::stopMonitorThread() {
    if (!monitorThread_) return;
    if (waitHandlingSentMessages(monitorThread_, 3000) == WAIT_TIMEOUT) {
        eventLog().log("The check monitor did not end in time; waiting for it");
        waitHandlingSentMessages(monitorThread_, INFINITE);
    }
    CloseHandle(monitorThread_);
    monitorThread_ = nullptr;
}

void CheckMonitor::leaveQueue(AccountWorker& worker) {
    if (!worker.queued_) return;
    std::lock_guard<std::mutex> hold(gQueueLock);
    for (auto& [server, queue] : gServerQueues) {
        for (auto it = queue.begin(); it != queue.end(); ++it) {
            if (*it == worker.account_) {
                queue.erase(it);
                worker.queued_ = false;
                return;
            }
        }
    }
    worker.queued_ = false;
}

void CheckMonitor::releaseLine(AccountWorker& worker) {
    if (!worker.usesConnection_) return;
    worker.usesConnection_ = false;
    connection_.releaseConnection();
}

bool CheckMonitor::beginCheck(Account& account) {
    AccountWorker& worker = *account.worker;
    if (!connection_.ensureConnected([&](unsigned ms) { return worker.pause(ms); })) return false;
    worker.usesConnection_ = true;
    {
        std::lock_guard<std::mutex> hold(gQueueLock);
        gServerQueues[account.server].push_back(&account);
        worker.queued_ = true;
    }
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(gQueueLock);
            if (gServerQueues[account.server].front() == &account) break;
        }
        if (!worker.pause(kQueuePollMs)) {
            leaveQueue(worker);
            releaseLine(worker);
            return false;
        }
    }
    if (!lock_monitor(&account)) {
        leaveQueue(worker);
        releaseLine(worker);
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(deadlineLock_);
        deadlines_.emplace(now() + uint64_t{account.checkTimeout} * 1000, &account);
    }
    unlock_monitor();
    notifyChanged();
    return true;
}

void CheckMonitor::endCheck(Account& account) {
    leaveQueue(*account.worker);
    forget(account);
    notifyChanged();
    releaseLine(*account.worker);
}

void CheckMonitor::forgetLocked(Account& account) {
    for (auto it = deadlines_.begin(); it != deadlines_.end(); ++it) {
        if (it->second == &account) {
            deadlines_.erase(it);
            return;
        }
    }
}

void CheckMonitor::forget(Account& account) {
    std::lock_guard<std::mutex> hold(deadlineLock_);
    forgetLocked(account);
}

void CheckMonitor::touch(Account& account) {
    // A deadline only moves later, and the monitor looks again when the old
    // one passes, so the monitor thread need not be woken.
    std::lock_guard<std::mutex> hold(deadlineLock_);
    for (auto it = deadlines_.begin(); it != deadlines_.end(); ++it) {
        if (it->second == &account) {
            deadlines_.erase(it);
            deadlines_.emplace(now() + uint64_t{account.checkTimeout} * 1000, &account);
            return;
        }
    }
}

void CheckMonitor::notifyChanged() {
    // The monitor thread recomputes its sleep when it sees the event; nobody
    // waits for its answer, so a worker never waits on the monitor thread.
    SetEvent(changedEvent_);
}

uint64_t CheckMonitor::earliestDeadline() {
    std::lock_guard<std::mutex> hold(deadlineLock_);
    return deadlines_.empty() ? 0 : deadlines_.begin()->first;
}

size_t CheckMonitor::deadlineCount() {
    std::lock_guard<std::mutex> hold(deadlineLock_);
    return deadlines_.size();
}

DWORD WINAPI CheckMonitor::monitorThread(void* self) {
    try {
        static_cast<CheckMonitor*>(self)->runMonitor();
    } catch (...) {
        eventLog().log("Error in CheckMonitor::monitorThread.\n");
    }
    return 0;
}

void CheckMonitor::runMonitor() {
    if (lock_monitor()) {
        for (Account* a : accounts_)
            if (!a->checkOnlyManually && !stopping_) startWorker(*a);
        unlock_monitor();
    }
    HANDLE waits[] = {quitEvent_, changedEvent_};
    for (;;) {
        DWORD timeout = INFINITE;
        uint64_t earliest = earliestDeadline();
        if (earliest) {
            uint64_t t = now();
            timeout = earliest <= t ? 1 : static_cast<DWORD>(std::min<uint64_t>(earliest - t, 0x7fffffff));
        }
        DWORD w = WaitForMultipleObjects(2, waits, FALSE, timeout);
        if (w == WAIT_OBJECT_0) return;
        if (w == WAIT_OBJECT_0 + 1) {
            ResetEvent(changedEvent_);
            continue;
        }
        if (w != WAIT_TIMEOUT || !lock_monitor()) continue;
        Account* silent = nullptr;
        {
            std::lock_guard<std::mutex> hold(deadlineLock_);
            // A touch may have pushed the deadline back since the wait began.
            if (!deadlines_.empty() && deadlines_.begin()->first <= now()) {
                silent = deadlines_.begin()->second;
                deadlines_.erase(deadlines_.begin());
            }
        }
        if (silent && !stopping_) {
            eventLog().log("Check time-out: account=%s", silent->name.c_str());
            requestStop(*silent);
            stopWorker(*silent);
            // Its state is now "not started", so the new worker checks at once.
            if (!stopping_) startWorker(*silent);
        }
        unlock_monitor();
    }
}

DWORD WINAPI CheckMonitor::account_thread_core(void* p) {
    AccountWorker& worker = *static_cast<AccountWorker*>(p);
    // Filter actions open files through the shell, whose extensions need COM.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    try {
        worker.monitor_->runWorker(worker);
    } catch (...) {
        eventLog().log("Error in Account::account_thread_core.\n");
        if (!worker.account_->name.empty()) eventLog().log("AccountName = %s\n", worker.account_->name.c_str());
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

void CheckMonitor::runWorker(AccountWorker& worker) {
    Account& account = *worker.account_;
    if (account.state == AccountState::NotStarted) setState(account, AccountState::Connecting);
    for (;;) {
        if (!worker.pause(1)) return;
        DWORD t1 = GetTickCount();
        if (account.state == AccountState::Connecting) {
            if (beginCheck(account)) {
                performCheck(account);
                endCheck(account);
            } else if (!worker.stopRequested()) {
                setState(account, AccountState::Failed);
            }
        }
        DWORD elapsed = GetTickCount() - t1;
        uint64_t interval = uint64_t{account.checkInterval} * 1000;
        DWORD wait = INFINITE;
        if (!account.checkOnlyManually)
            wait = interval > elapsed ? static_cast<DWORD>(std::min<uint64_t>(interval - elapsed, INFINITE - 1)) : 0;
        if (!worker.pause(wait)) return;
        account.state = AccountState::Connecting;
    }
}

bool CheckMonitor::performCheck(Account& account) {
    AccountWorker& worker = *account.worker;
    account.lastCheck = currentTime();
    setState(account, AccountState::Connecting);

    WorkerHooks hooks(*this);
    WinSocketStream stream(worker.stopEvent());
    Transport transport(account, stream, hooks);
    Pop3Session session(account, transport, hooks, observer_.dontCalcDeleted());
    auto failed = [&] {
        transport.closeConnection();
        account.resolved = false;
        // A stopped check changes nothing; its stopper sets the state.
        if (!worker.stopRequested()) setState(account, AccountState::Failed);
        return false;
    };
    if (!account.resolved) {
        if (!transport.lookup()) return failed();
        account.resolved = true;
    }
    if (!session.connectAndLogin()) return failed();
    setState(account, AccountState::Checking);
    MessageList list;
    if (!session.checkMailbox(list)) return failed();
    // A stop during QUIT leaves the deletions uncertain, like a refused QUIT.
    if (!session.quit() || worker.stopRequested()) return failed();

    // The user interface may hold the list for a while; a stop ends the wait.
    while (!account.tryLockMessagesFor(std::chrono::milliseconds(50)))
        if (worker.stopRequested()) return failed();
    account.replaceMessages(std::move(list));
    account.unlockMessages();
    setState(account, AccountState::Sleeping);
    if (account.checkMailboxSize && account.totalSize() > account.mailboxBound) account.launch(account.launchFile);
    if (account.unreadCount() > 0) observer_.newMailFound(account);
    account.lastCheck = currentTime();
    return true;
}
