// Doubles of what a check talks to. FakeStream: a scripted byte stream, each
// connect opens the next connection of the script, whose chunks are handed
// out one per receive, then its events; securing it answers `secureResult`
// and shows as "<TLS>" among the lines sent. FakeWait: a stop request the test
// sets. CountingGate: counts the renewals of the silence deadline.
#pragma once
#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "mail/ByteStream.h"
#include "mail/CheckHooks.h"

struct FakeConnection {
    std::deque<StreamResult> events;
    std::deque<std::string> chunks;
};

class FakeStream : public ByteStream {
public:
    std::vector<FakeConnection> script;
    std::vector<std::string> sent;  // command lines without CRLF
    int pauses = 0, connects = 0;
    unsigned lastPause = 0;
    uint64_t pausedMs = 0;  // the time the pauses took, the stream's only clock
    bool stopPauses = false;
    StreamResult secureResult = StreamResult::ok();
    TlsFailure failure;

    FakeConnection& add(std::vector<std::string> replies = {}) {
        script.push_back({});
        for (auto& r : replies) script.back().chunks.push_back(r);
        return script.back();
    }
    StreamResult resolve(const std::string&, uint16_t, SocketAddress&) override { return StreamResult::ok(); }
    StreamResult connect(const SocketAddress&) override {
        ++connects;
        if (current_ + 1 >= static_cast<int>(script.size())) return StreamResult::failed(10061);
        ++current_;
        open_ = true;
        return StreamResult::ok();
    }
    StreamResult send(const char* data, size_t size) override {
        std::string line(data, size);
        if (line.ends_with("\r\n")) line.resize(line.size() - 2);
        sent.push_back(line);
        return StreamResult::ok(size);
    }
    StreamResult receive(char* data, size_t size) override {
        FakeConnection& c = script[current_];
        if (!c.chunks.empty()) {
            std::string& front = c.chunks.front();
            size_t n = front.copy(data, size);
            front.erase(0, n);
            if (front.empty()) c.chunks.pop_front();
            return StreamResult::ok(n);
        }
        if (c.events.empty()) return StreamResult::closed();
        StreamResult r = c.events.front();
        c.events.pop_front();
        return r;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool pause(unsigned ms) override { return ++pauses, lastPause = ms, pausedMs += ms, !stopPauses; }
    StreamResult secure() override {
        sent.push_back("<TLS>");
        return secureResult;
    }
    const TlsFailure& tlsFailure() const override { return failure; }

private:
    int current_ = -1;
    bool open_ = false;
};

struct FakeWait : CheckWait {
    bool stopped = false;
    bool pause(unsigned) override { return !stopped; }
};

struct CountingGate : CheckGate {
    const FakeStream* clock = nullptr;  // when set, the longest pause between renewals is kept
    uint64_t lastTouch = 0, longestSilence = 0;
    int touches = 0;
    bool silent = false;
    void touch(Account&) override {
        ++touches;
        if (!clock) return;
        longestSilence = std::max(longestSilence, clock->pausedMs - lastTouch);
        lastTouch = clock->pausedMs;
    }
    bool silenced(const Account&) const override { return silent; }
};
