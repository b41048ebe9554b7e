// The deletion confirmations that checks ask for. A worker asks and waits;
// the question is shown on the user-interface thread, one at a time across
// all accounts, and the worker takes the answer, or gives up when its check
// is asked to stop (its question then closes as Cancel). A worker never
// waits for the window without also waiting for its stop request.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>

#include "core/WinHandle.h"
#include "mail/CheckHooks.h"

class DeletionConfirmations {
public:
    // One question: its account and, once given, the answer.
    struct Request {
        uint32_t accountId = 0;
        bool ok = false;
        Event answered;   // set by the user-interface thread
        bool withdrawn = false;  // the worker stopped waiting (under the queue's lock)
    };

    DeletionConfirmations();
    // The window that shows the questions: `message` is posted to it when a
    // question is waiting.
    void setTarget(HWND window, UINT message);

    // A worker's question; true when the user pressed OK.
    bool ask(uint32_t accountId, CheckWait& wait);

    // The user-interface thread: the question waiting to be shown, if any.
    std::shared_ptr<Request> pending();
    // Whether the question's worker has stopped waiting.
    bool withdrawn(const Request& request);
    void answer(const std::shared_ptr<Request>& request, bool ok);

    // How often a worker waiting for its turn tells its monitor it is alive.
    static constexpr unsigned kKeepAliveMs = 500;

private:
    std::mutex lock_;
    Semaphore turn_{1, 1};  // one question at a time
    std::shared_ptr<Request> pending_;
    HWND window_ = nullptr;
    UINT message_ = 0;
};
