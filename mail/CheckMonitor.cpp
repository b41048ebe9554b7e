#include "mail/CheckMonitor.h"

#include <objbase.h>

#include <algorithm>

#include "core/EventLog.h"
#include "mail/AccountCheck.h"
#include "mail/TlsStream.h"

namespace {

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

}  // namespace

AccountWorker::AccountWorker(CheckMonitor& monitor, Account& account) : monitor_(monitor), account_(account) {}

void AccountWorker::keepAlive() { monitor_.touch(account_); }
bool AccountWorker::begin(Account&) { return monitor_.beginCheck(*this); }
void AccountWorker::end(Account&) { monitor_.endCheck(*this); }
void AccountWorker::touch(Account&) { monitor_.touch(account_); }

CheckMonitor::CheckMonitor(CheckObserver& observer, CheckPolicy& policy, InternetConnection& connection)
    : observer_(observer), policy_(policy), connection_(connection) {}

CheckMonitor::~CheckMonitor() {
    if (!stopping_) stopAllWorkers();
    stopMonitorThread();
}

bool CheckMonitor::startMonitor() {
    if (!monitorLock_ || !quitEvent_ || !changedEvent_) {
        eventLog().log("Error: the check monitor's events could not be made");
        return false;
    }
    quitEvent_.clear();
    running_ = true;
    if (monitorThread_.start(monitorThread, this)) return true;
    running_ = false;
    return false;
}

bool CheckMonitor::lock_monitor(Account* waiter) {
    HANDLE waits[2] = {monitorLock_.get(), nullptr};
    DWORD count = 1;
    if (waiter && waiter->worker) waits[count++] = waiter->worker->stopHandle();
    // The holder may be reporting to this thread's windows while it holds the lock.
    DWORD w = waitHandlingSentMessages(waits, count, lockWaitMs);
    if (w == WAIT_OBJECT_0) return true;
    if (w == WAIT_TIMEOUT) eventLog().log("lock_monitor failed");
    return false;
}

void CheckMonitor::unlock_monitor() { monitorLock_.release(); }

void CheckMonitor::setState(Account& account, AccountState state, bool report) {
    account.setState(state);
    if (report) observer_.accountChanged(account.id(), account.status());
}

Account* CheckMonitor::findLocked(uint32_t id) const {
    for (Account* a : accounts_)
        if (a->id() == id) return a;
    return nullptr;
}

// --- the live account list

bool CheckMonitor::addAccount(Account& account) {
    if (!lock_monitor()) return false;
    if (std::find(accounts_.begin(), accounts_.end(), &account) == accounts_.end()) accounts_.push_back(&account);
    if (running_ && !account.checkOnlyManually) startWorker(account);
    unlock_monitor();
    return true;
}

bool CheckMonitor::removeAccount(Account& account) {
    if (!lock_monitor()) return false;
    endWorker(account);
    accounts_.erase(std::remove(accounts_.begin(), accounts_.end(), &account), accounts_.end());
    unlock_monitor();
    return true;
}

bool CheckMonitor::checkNow(Account& account) {
    if (account.state() == AccountState::Disabled) return true;
    if (!lock_monitor()) return false;
    endWorker(account);
    // Not started: the new worker checks at once, also after "Stop".
    setState(account, AccountState::NotStarted, false);
    startWorker(account);
    unlock_monitor();
    return true;
}

bool CheckMonitor::stop(Account& account) {
    if (!lock_monitor()) return false;
    if (account.state() != AccountState::Disabled) {
        endWorker(account);
        setState(account, AccountState::Sleeping);
    }
    unlock_monitor();
    return true;
}

bool CheckMonitor::enable(Account& account) {
    if (account.state() != AccountState::Disabled) return true;
    if (!lock_monitor()) return false;
    setState(account, AccountState::Sleeping);
    if (!account.checkOnlyManually) startWorker(account);
    unlock_monitor();
    return true;
}

bool CheckMonitor::disable(Account& account) {
    if (!lock_monitor()) return false;
    endWorker(account);
    setState(account, AccountState::Disabled);
    unlock_monitor();
    return true;
}

bool CheckMonitor::reconfigure(Account& account, const AccountInfo& info, const AccountOptions& options) {
    if (!lock_monitor()) return false;
    endWorker(account);
    // No worker runs now, so nothing reads these while they change.
    static_cast<AccountInfo&>(account) = info;
    static_cast<AccountOptions&>(account) = options;
    account.resolved = false;
    if (!account.checkOnlyManually) startWorker(account);
    unlock_monitor();
    return true;
}

void CheckMonitor::stopAllWorkers() {
    // The monitor thread restarts no worker from now on; taking its lock waits
    // for a restart it may be in the middle of.
    stopping_ = true;
    quitEvent_.signal();
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
    quitEvent_.signal();
    if (waitHandlingSentMessages(monitorThread_.get(), 3000) == WAIT_TIMEOUT) {
        eventLog().log("The check monitor did not end in time; waiting for it");
        waitHandlingSentMessages(monitorThread_.get(), INFINITE);
    }
    monitorThread_.close();
}

// --- workers

bool CheckMonitor::startWorker(Account& account) {
    if (stopping_ || account.state() == AccountState::Disabled) return false;
    if (account.worker && account.worker->thread_) return false;
    auto worker = std::make_shared<AccountWorker>(*this, account);
    if (!worker->stop_ || !worker->turn_) return false;
    account.worker = worker;
    return worker->thread_.start(account_thread_core, worker.get());
}

void CheckMonitor::requestStop(Account& account) {
    if (account.worker) account.worker->stop_.signal();
}

bool CheckMonitor::endWorker(Account& account) {
    requestStop(account);
    return stopWorker(account);
}

bool CheckMonitor::stopWorker(Account& account) {
    AccountWorker* worker = account.worker.get();
    if (!worker || !worker->thread_) return false;
    if (waitHandlingSentMessages(worker->thread_.get(), kStopGraceMs) == WAIT_TIMEOUT) {
        // Every wait of a worker ends on its stop request, so this is a bug;
        // a terminated thread could die holding the heap or a lock, so wait.
        eventLog().log("Worker of account %s did not end in time; waiting for it", account.name.c_str());
        waitHandlingSentMessages(worker->thread_.get(), INFINITE);
    }
    worker->thread_.close();
    // Give back whatever the ended check still held.
    forget(account.id());
    leaveQueue(*worker);
    releaseLine(*worker);
    setState(account, AccountState::NotStarted);
    return true;
}

DWORD WINAPI CheckMonitor::account_thread_core(void* p) {
    AccountWorker& worker = *static_cast<AccountWorker*>(p);
    // Filter actions open files through the shell, whose extensions need COM.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    try {
        worker.monitor_.runWorker(worker);
    } catch (...) {
        eventLog().log("Error in Account::account_thread_core.\n");
        if (!worker.account_.name.empty()) eventLog().log("AccountName = %s\n", worker.account_.name.c_str());
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

void CheckMonitor::runWorker(AccountWorker& worker) {
    Account& account = worker.account_;
    if (account.state() == AccountState::NotStarted) setState(account, AccountState::Connecting);
    for (;;) {
        if (!worker.pause(1)) return;
        DWORD t1 = GetTickCount();
        if (account.state() == AccountState::Connecting) {
            std::unique_ptr<ByteStream> stream;
            if (streamFactory_) stream = streamFactory_(account, worker.stopHandle());
            if (!stream) stream = openAccountStream(account, worker.stopHandle());
            AccountCheck check(account, *stream, worker, policy_, observer_, worker);
            check.retryPauseMs = retryPauseMs;
            check.keepHeaders = true;
            check.run();
        }
        DWORD elapsed = GetTickCount() - t1;
        uint64_t interval = uint64_t{account.checkInterval} * 1000;
        DWORD wait = INFINITE;
        if (!account.checkOnlyManually)
            wait = interval > elapsed ? static_cast<DWORD>(std::min<uint64_t>(interval - elapsed, INFINITE - 1)) : 0;
        if (!worker.pause(wait)) return;
        account.setState(AccountState::Connecting);
    }
}

// --- one check's turn, line and deadline

bool CheckMonitor::beginCheck(AccountWorker& worker) {
    Account& account = worker.account_;
    if (!connection_.ensureConnected([&](unsigned ms) { return worker.pause(ms); })) return false;
    worker.usesConnection_ = true;
    if (!takeTurn(worker) || !lock_monitor(&account)) {
        leaveQueue(worker);
        releaseLine(worker);
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(deadlineLock_);
        deadlines_.emplace(now() + uint64_t{account.checkTimeout} * 1000, account.id());
    }
    unlock_monitor();
    notifyChanged();
    return true;
}

void CheckMonitor::endCheck(AccountWorker& worker) {
    leaveQueue(worker);
    forget(worker.account_.id());
    notifyChanged();
    releaseLine(worker);
}

bool CheckMonitor::takeTurn(AccountWorker& worker) {
    std::string server = worker.account_.server;
    {
        std::lock_guard<std::mutex> hold(queueLock_);
        serverQueues_[server].push_back(&worker);
        worker.queuedOn_ = server;
        worker.queued_ = true;
    }
    HANDLE waits[] = {worker.stop_.get(), worker.turn_.get()};
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(queueLock_);
            if (serverQueues_[server].front() == &worker) return true;
        }
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return false;
    }
}

void CheckMonitor::leaveQueue(AccountWorker& worker) {
    std::lock_guard<std::mutex> hold(queueLock_);
    if (!worker.queued_) return;
    worker.queued_ = false;
    auto queue = serverQueues_.find(worker.queuedOn_);
    if (queue == serverQueues_.end()) return;
    auto& waiting = queue->second;
    auto it = std::find(waiting.begin(), waiting.end(), &worker);
    if (it == waiting.end()) return;
    bool wasFront = it == waiting.begin();
    waiting.erase(it);
    if (waiting.empty()) serverQueues_.erase(queue);
    else if (wasFront) waiting.front()->turn_.signal();
}

void CheckMonitor::releaseLine(AccountWorker& worker) {
    if (!worker.usesConnection_) return;
    worker.usesConnection_ = false;
    connection_.releaseConnection();
}

void CheckMonitor::forget(uint32_t accountId) {
    std::lock_guard<std::mutex> hold(deadlineLock_);
    for (auto it = deadlines_.begin(); it != deadlines_.end(); ++it) {
        if (it->second == accountId) {
            deadlines_.erase(it);
            return;
        }
    }
}

void CheckMonitor::touch(const Account& account) {
    // A deadline only moves later, and the monitor looks again when the old
    // one passes, so the monitor thread need not be woken.
    std::lock_guard<std::mutex> hold(deadlineLock_);
    for (auto it = deadlines_.begin(); it != deadlines_.end(); ++it) {
        if (it->second == account.id()) {
            deadlines_.erase(it);
            deadlines_.emplace(now() + uint64_t{account.checkTimeout} * 1000, account.id());
            return;
        }
    }
}

size_t CheckMonitor::deadlineCount() {
    std::lock_guard<std::mutex> hold(deadlineLock_);
    return deadlines_.size();
}

size_t CheckMonitor::queuedCount() {
    std::lock_guard<std::mutex> hold(queueLock_);
    size_t n = 0;
    for (const auto& [server, waiting] : serverQueues_) n += waiting.size();
    return n;
}

// --- the monitor thread

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
            if (!a->checkOnlyManually) startWorker(*a);
        unlock_monitor();
    }
    HANDLE waits[] = {quitEvent_.get(), changedEvent_.get()};
    for (;;) {
        DWORD timeout = INFINITE;
        {
            std::lock_guard<std::mutex> hold(deadlineLock_);
            if (!deadlines_.empty()) {
                uint64_t earliest = deadlines_.begin()->first, t = now();
                timeout = earliest <= t ? 1 : static_cast<DWORD>(std::min<uint64_t>(earliest - t, 0x7fffffff));
            }
        }
        DWORD w = WaitForMultipleObjects(2, waits, FALSE, timeout);
        if (w == WAIT_OBJECT_0) return;
        if (w == WAIT_OBJECT_0 + 1) {
            changedEvent_.clear();
            continue;
        }
        if (w != WAIT_TIMEOUT || !lock_monitor()) continue;
        uint32_t silentId = 0;
        {
            std::lock_guard<std::mutex> hold(deadlineLock_);
            // A touch may have pushed the deadline back since the wait began.
            if (!deadlines_.empty() && deadlines_.begin()->first <= now()) {
                silentId = deadlines_.begin()->second;
                deadlines_.erase(deadlines_.begin());
            }
        }
        Account* silent = silentId && !stopping_ ? findLocked(silentId) : nullptr;
        if (silent && silent->worker) {
            eventLog().log("Check time-out: account=%s", silent->name.c_str());
            silent->worker->silenced_ = true;
            endWorker(*silent);
            // Its state is now "not started", so the new worker checks at once
            // (and queues behind those that waited for its server meanwhile).
            startWorker(*silent);
        }
        unlock_monitor();
    }
}
