// The dial-up line: a check brings it up when the settings say the computer
// reaches the Internet through a modem, and the last check that used a line
// this object dialled hangs it up again. On a LAN, or without WinINet's
// auto-dial functions, it does nothing and always reports a connection.
#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

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
    // Waits for a dial that a stopped check left behind.
    ~InternetConnection();
    InternetConnection(const InternetConnection&) = delete;
    InternetConnection& operator=(const InternetConnection&) = delete;

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
    void dial();

    Dialer& dialer_;
    std::function<bool()> useModem_;
    std::thread dialThread_;      // started only by the check that set dialling_
    mutable std::mutex lock_;     // the fields below
    bool dialling_ = false;       // one check dials; the others wait for it
    bool dialAbandoned_ = false;  // the dialling check was stopped
    bool dialled_ = false;        // the last dial brought the line up for its check
    uint32_t useCount_ = 0;
    bool foundConnected_ = false;
};

// The system's dialer: WinINet's functions looked up at run time (Windows);
// natively a dialer that is never available.
Dialer& systemDialer();
