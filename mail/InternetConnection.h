// The dial-up line: a check brings it up when the settings say the computer
// reaches the Internet through a modem, and the last check that used a line
// this object dialled hangs it up again. On a LAN, or without WinINet's
// auto-dial functions, it does nothing and always reports a connection.
#pragma once
#include <cstdint>
#include <functional>
#include <mutex>

// The auto-dial functions of the system (WinINet on Windows).
class Dialer {
public:
    enum : uint32_t { kModem = 0x01, kLan = 0x02, kRasInstalled = 0x10 };
    virtual ~Dialer() = default;
    virtual bool available() const = 0;
    // True when a connection exists; `flags` receives the connection kinds.
    virtual bool connectedState(uint32_t& flags) = 0;
    virtual bool autodial() = 0;  // unattended, no parent window
    virtual void hangup() = 0;
};

class InternetConnection {
public:
    // `useModem` reads the setting (InetConnectionType 1: dial-up modem).
    InternetConnection(Dialer& dialer, std::function<bool()> useModem);

    // Before a check: true when the check may go to the network. `pause`
    // waits the given milliseconds and returns false when the check is to
    // stop; the wait for a dialled line to come up ends after kDialWaitMs.
    bool ensureConnected(const std::function<bool(unsigned)>& pause);
    // After a check that ensureConnected let through.
    void releaseConnection();

    uint32_t useCount() const;
    bool foundConnected() const;

    static constexpr unsigned kDialWaitMs = 60000;

private:
    Dialer& dialer_;
    std::function<bool()> useModem_;
    mutable std::mutex lock_;  // the fields below
    bool dialling_ = false;    // one check dials; the others wait for it
    uint32_t useCount_ = 0;
    bool foundConnected_ = false;
};

// The system's dialer: WinINet's functions looked up at run time (Windows);
// natively a dialer that is never available.
Dialer& systemDialer();
