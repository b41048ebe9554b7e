#include "mail/InternetConnection.h"

InternetConnection::InternetConnection(Dialer& dialer, std::function<bool()> useModem)
    : dialer_(dialer), useModem_(std::move(useModem)) {}

uint32_t InternetConnection::useCount() const {
    std::lock_guard<std::mutex> hold(lock_);
    return useCount_;
}

bool InternetConnection::foundConnected() const {
    std::lock_guard<std::mutex> hold(lock_);
    return foundConnected_;
}

bool InternetConnection::ensureConnected(const std::function<bool(unsigned)>& pause) {
    if (!dialer_.available()) return true;
    uint32_t flags = 0;
    for (;;) {
        {
            // The line's state is read under the lock too: read outside, it
            // could change between the reading and the counting.
            std::lock_guard<std::mutex> hold(lock_);
            if (!dialling_) {
                bool connected = dialer_.connectedState(flags);
                if (!(flags & Dialer::kRasInstalled)) return true;
                bool modem = useModem_();
                if (!modem && (flags & Dialer::kLan)) return true;
                if (!(modem && (flags & Dialer::kModem))) return true;
                if (connected || useCount_ > 0) {
                    // A line that was up before any check of ours is never ours to hang up.
                    if (useCount_ > 0) ++useCount_;
                    else foundConnected_ = true;
                    return true;
                }
                dialling_ = true;
                break;
            }
        }
        // Another check is dialling; wait for it the way every wait of a check
        // waits, ending on a stop request.
        if (!pause(100)) return false;
    }
    bool dialled = dialer_.autodial();  // may take a minute: no lock is held
    {
        std::lock_guard<std::mutex> hold(lock_);
        dialling_ = false;
        if (!dialled) return false;
        ++useCount_;
    }
    for (unsigned waited = 0; waited < kDialWaitMs; waited += 100) {
        if (dialer_.connectedState(flags)) return true;
        if (!pause(100)) break;
    }
    // The line never came up: this check does not use it.
    releaseConnection();
    return false;
}

void InternetConnection::releaseConnection() {
    if (!dialer_.available()) return;
    std::lock_guard<std::mutex> hold(lock_);
    uint32_t flags = 0;
    if (!dialer_.connectedState(flags)) {
        if (useCount_ > 0) --useCount_;  // the line went down by itself; the check no longer uses it
        return;
    }
    if (!(flags & Dialer::kRasInstalled)) return;
    bool modem = useModem_();
    if (!modem) return;
    if ((flags & Dialer::kModem) && !foundConnected_ && useCount_ == 1) {
        dialer_.hangup();
        foundConnected_ = false;
    }
    if (useCount_ > 0) --useCount_;
}
