// Reports of the workers on their way to the user-interface thread. A worker
// adds the account's id and, only when none is waiting, posts one message to
// the window; the window takes every waiting id at once. Reports of one
// account merge while one is pending, and no worker ever waits for the
// window.
#pragma once
#include <windows.h>

#include <cstdint>
#include <mutex>
#include <set>
#include <utility>

class ReportQueue {
public:
    // Where the notice goes: `message` posted to `window`.
    void setTarget(HWND window, UINT message);
    // Any thread.
    void add(uint32_t accountId);
    // The user-interface thread: the ids waiting, in id order.
    std::set<uint32_t> take();

private:
    std::mutex lock_;
    std::set<uint32_t> waiting_;
    bool posted_ = false;
    HWND window_ = nullptr;
    UINT message_ = 0;
};
