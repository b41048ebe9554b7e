#include "mail/InternetConnection.h"

InternetConnection::InternetConnection(Dialer& dialer, std::function<bool()> useModem)
    : dialer_(dialer), useModem_(std::move(useModem)) {}

InternetConnection::~InternetConnection() {
    if (dialThread_.joinable()) dialThread_.join();
}

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
    // Dialling may take a minute. It runs on a thread of its own, so that a
    // stop request ends this check's wait; no lock is held meanwhile.
    {
        // Under the lock, so that the new dial cannot end, and the next
        // dialler join it, before it is stored.
        std::lock_guard<std::mutex> hold(lock_);
        if (dialThread_.joinable()) dialThread_.join();  // an earlier dial, ended but for its return
        dialAbandoned_ = false;
        try {
            dialThread_ = std::thread(&InternetConnection::dial, this);
        } catch (...) {
            dialling_ = false;
            return false;
        }
    }
    for (bool stop = false;;) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (!dialling_) {
                if (!dialled_) return false;
                if (!stop) break;
            } else if (stop) {
                dialAbandoned_ = true;  // the dialling thread hangs up what it brings up
                return false;
            }
        }
        if (stop) {
            releaseConnection();  // the line came up just as the check was told to stop
            return false;
        }
        stop = !pause(100);
    }
    for (unsigned waited = 0; waited < kDialWaitMs; waited += 100) {
        if (dialer_.connectedState(flags)) return true;
        if (!pause(100)) break;
    }
    // The line never came up: this check does not use it.
    releaseConnection();
    return false;
}

void InternetConnection::dial() {
    bool ok = dialer_.autodial();
    std::lock_guard<std::mutex> hold(lock_);
    dialling_ = false;
    dialled_ = ok && !dialAbandoned_;
    if (dialled_) ++useCount_;  // the use of the check that dialled
    else if (ok) dialer_.hangup();  // nobody waits for this line any more
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
