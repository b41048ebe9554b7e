#include "ui/DeletionConfirmations.h"

DeletionConfirmations::DeletionConfirmations() = default;

void DeletionConfirmations::setTarget(HWND window, UINT message) {
    std::lock_guard<std::mutex> hold(lock_);
    window_ = window;
    message_ = message;
}

namespace {

// Waits for `handle` or the check's stop request; keeps the check alive
// while it waits when `keepAlive`. False when the stop came first.
bool waitFor(HANDLE handle, CheckWait& wait, bool keepAlive) {
    HANDLE stop = static_cast<HANDLE>(wait.stopEvent());
    HANDLE handles[2] = {handle, stop};
    DWORD count = stop ? 2 : 1;
    for (;;) {
        DWORD w = WaitForMultipleObjects(count, handles, FALSE, DeletionConfirmations::kKeepAliveMs);
        if (w == WAIT_OBJECT_0) return true;
        if (w != WAIT_TIMEOUT) return false;  // stopped, or the wait itself failed
        if (!stop && wait.stopRequested()) return false;
        if (keepAlive) wait.keepAlive();
    }
}

}  // namespace

bool DeletionConfirmations::ask(uint32_t accountId, CheckWait& wait) {
    // The turn: a worker waiting for it is not silent.
    if (!waitFor(turn_.get(), wait, true)) return false;
    auto request = std::make_shared<Request>();
    request->accountId = accountId;
    bool posted;
    {
        std::lock_guard<std::mutex> hold(lock_);
        pending_ = request;
        posted = window_ && PostMessageA(window_, message_, 0, 0);
    }
    bool answered = posted && waitFor(request->answered.get(), wait, false);
    bool ok;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!answered) request->withdrawn = true;
        if (pending_ == request) pending_.reset();
        ok = answered && request->ok;
    }
    turn_.release();
    // A question still open for a check that stopped closes as Cancel.
    if (!answered && posted) PostMessageA(window_, message_, 0, 0);
    return ok;
}

std::shared_ptr<DeletionConfirmations::Request> DeletionConfirmations::pending() {
    std::lock_guard<std::mutex> hold(lock_);
    return pending_;
}

bool DeletionConfirmations::withdrawn(const Request& request) {
    std::lock_guard<std::mutex> hold(lock_);
    return request.withdrawn;
}

void DeletionConfirmations::answer(const std::shared_ptr<Request>& request, bool ok) {
    std::lock_guard<std::mutex> hold(lock_);
    request->ok = ok;
    request->answered.signal();
}
