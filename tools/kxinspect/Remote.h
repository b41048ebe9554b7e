// Reaching into the process that owns a window: its memory, for control
// messages whose structures hold pointers (the system copies only a few
// standard messages between processes), and the agent DLL, for what can only
// be read in-process (menus).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

class ProcessHandle {
public:
    ProcessHandle() = default;
    ProcessHandle(DWORD pid, DWORD access) { open(pid, access); }
    ~ProcessHandle() { if (handle_) CloseHandle(handle_); }
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
    bool open(DWORD pid, DWORD access)
    {
        if (handle_) CloseHandle(handle_);
        handle_ = OpenProcess(access, FALSE, pid);
        return handle_ != nullptr;
    }
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HANDLE handle_ = nullptr;
};

// A block of memory in the process of `window`, with messages sent to that
// window. Offsets are into the block; `at` gives the address the window's
// process sees. Everything reports failure through ok()/error().
class RemoteBlock {
public:
    static constexpr size_t kSize = 256 * 1024;

    RemoteBlock() = default;
    explicit RemoteBlock(HWND window) { open(window); }
    ~RemoteBlock();
    bool open(HWND window);
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    bool ok() const { return base_ != nullptr; }
    const std::string& error() const { return error_; }
    HWND window() const { return window_; }
    HANDLE process() const { return process_.get(); }
    // Leaves the block allocated: a remote thread that did not end may still use it.
    void keep() { kept_ = true; }

    uintptr_t at(size_t offset) const { return reinterpret_cast<uintptr_t>(base_) + offset; }
    bool put(size_t offset, const void* data, size_t size);
    bool get(size_t offset, void* data, size_t size);
    template <class T> bool put(size_t offset, const T& value) { return put(offset, &value, sizeof value); }
    template <class T> bool get(size_t offset, T& value) { return get(offset, &value, sizeof value); }
    // A NUL-terminated UTF-16 string of at most `maxChars` at `offset`.
    std::wstring text(size_t offset, size_t maxChars);

    // SendMessageTimeout to the block's window (or `to`); false when the
    // window's thread did not answer in time.
    bool send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result, HWND to = nullptr);

private:
    HWND window_ = nullptr;
    ProcessHandle process_;
    void* base_ = nullptr;
    bool kept_ = false;
    std::string error_;
};

// How long the tool waits for an inspected window to answer one message.
constexpr UINT kAnswerMs = 10000;

// Sends and reports whether the window's thread answered within kAnswerMs.
bool sendTimed(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Reads the menu bar of `window` (or `menu`, a handle of that window's
// process) in the window's own process through the agent DLL, which is loaded
// there on first use and stays. On success `json` is the menu as a JSON array.
bool readMenuInProcess(HWND window, HMENU menu, std::string& json, std::string& error);
