// WinINet's auto-dial functions, looked up at run time so that the program
// also starts where WinINet lacks them.
#include <windows.h>

#include "mail/InternetConnection.h"

namespace {

class WinInetDialer : public Dialer {
public:
    WinInetDialer() : library_(LoadLibraryA("wininet.dll")) {
        if (!library_) return;
        autodial_ = lookup<AutodialFn>("InternetAutodial");
        hangup_ = lookup<HangupFn>("InternetAutodialHangup");
        state_ = lookup<StateFn>("InternetGetConnectedState");
    }
    ~WinInetDialer() override {
        if (library_) FreeLibrary(library_);
    }
    bool available() const override { return autodial_ && hangup_ && state_; }
    bool connectedState(uint32_t& flags) override {
        DWORD f = 0;
        BOOL up = state_(&f, 0);
        flags = f;
        return up != FALSE;
    }
    bool autodial() override { return autodial_(2 /* INTERNET_AUTODIAL_FORCE_UNATTENDED */, nullptr) != FALSE; }
    void hangup() override { hangup_(0); }

private:
    template <class Fn>
    Fn lookup(const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library_, name)));
    }

    using AutodialFn = BOOL(WINAPI*)(DWORD, HWND);
    using HangupFn = BOOL(WINAPI*)(DWORD);
    using StateFn = BOOL(WINAPI*)(LPDWORD, DWORD);
    HMODULE library_;
    AutodialFn autodial_ = nullptr;
    HangupFn hangup_ = nullptr;
    StateFn state_ = nullptr;
};

}  // namespace

Dialer& systemDialer() {
    static WinInetDialer dialer;
    return dialer;
}
