#include "ui/ReportQueue.h"

void ReportQueue::setTarget(HWND window, UINT message) {
    std::lock_guard<std::mutex> hold(lock_);
    window_ = window;
    message_ = message;
}

void ReportQueue::add(uint32_t accountId) {
    std::lock_guard<std::mutex> hold(lock_);
    waiting_.insert(accountId);
    if (posted_ || !window_) return;
    // A failed post (the window is gone) leaves the flag clear for the next report.
    posted_ = PostMessageA(window_, message_, 0, 0) != FALSE;
}

std::set<uint32_t> ReportQueue::take() {
    std::lock_guard<std::mutex> hold(lock_);
    posted_ = false;
    return std::exchange(waiting_, {});
}
