// Owners of kernel handles (Windows build only): each closes its handle when
// it goes. Whoever creates one checks valid() before relying on it; a failed
// creation leaves an owner that holds nothing.
#pragma once
#include <windows.h>

#include <utility>

class WinHandle {
public:
    WinHandle() = default;
    // Takes over `handle`; INVALID_HANDLE_VALUE (what the file functions
    // return on failure) is held as nothing.
    explicit WinHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~WinHandle() { close(); }
    WinHandle(const WinHandle&) = delete;
    WinHandle& operator=(const WinHandle&) = delete;
    WinHandle(WinHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    WinHandle& operator=(WinHandle&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr; }
    explicit operator bool() const { return valid(); }
    // True when the handle was closed without error (or there was none).
    bool close() {
        if (!handle_) return true;
        return CloseHandle(std::exchange(handle_, nullptr)) != FALSE;
    }
    // Waits up to `ms` for the object; true when it was signalled.
    bool wait(DWORD ms = INFINITE) const { return handle_ && WaitForSingleObject(handle_, ms) == WAIT_OBJECT_0; }

private:
    HANDLE handle_ = nullptr;
};

class Event : public WinHandle {
public:
    enum Reset { Manual, Auto };
    explicit Event(Reset reset = Manual, bool initial = false)
        : WinHandle(CreateEventA(nullptr, reset == Manual, initial, nullptr)) {}
    bool signal() const { return SetEvent(get()) != FALSE; }
    bool clear() const { return ResetEvent(get()) != FALSE; }
    bool isSet() const { return wait(0); }
};

class Semaphore : public WinHandle {
public:
    Semaphore(LONG initial, LONG maximum) : WinHandle(CreateSemaphoreA(nullptr, initial, maximum, nullptr)) {}
    bool release() const { return ReleaseSemaphore(get(), 1, nullptr) != FALSE; }
};

class Thread : public WinHandle {
public:
    Thread() = default;
    // Starts `entry(param)` on a new thread; false when the system refused.
    bool start(LPTHREAD_START_ROUTINE entry, void* param) {
        *this = Thread(CreateThread(nullptr, 0, entry, param, 0, nullptr));
        return valid();
    }
    // Ended, or never started.
    bool ended() const { return !valid() || wait(0); }

private:
    explicit Thread(HANDLE handle) : WinHandle(handle) {}
};
