// A scripted byte stream for the transport and session tests: each connect
// opens the next connection of the script; the server's part is a list of
// chunks and events handed out in order as the client reads.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "mail/ByteStream.h"

struct FakeConnection {
    std::deque<StreamResult> events;  // what receive() returns in turn after the chunks are used
    std::deque<std::string> chunks;   // bytes the server sends, one receive each
    bool refuse = false;              // connect fails with WSAECONNREFUSED
};

class FakeStream : public ByteStream {
public:
    std::vector<FakeConnection> script;
    std::vector<std::string> sent;  // every command line, CRLF removed
    int resolveCode = 0;            // non-zero: resolve fails with it
    int pauses = 0;
    bool stopPauses = false;
    int connects = 0;

    // Adds a connection whose server sends `text` (split into one chunk per
    // reply so the client reads it as a server would answer).
    FakeConnection& add(std::vector<std::string> replies = {}) {
        script.push_back({});
        for (auto& r : replies) script.back().chunks.push_back(r);
        return script.back();
    }

    StreamResult resolve(const std::string&, uint16_t, SocketAddress&) override {
        return resolveCode ? StreamResult::failed(resolveCode) : StreamResult::ok();
    }
    StreamResult connect(const SocketAddress&) override {
        ++connects;
        if (current_ + 1 >= static_cast<int>(script.size())) return StreamResult::failed(10061);
        ++current_;
        if (script[current_].refuse) return StreamResult::failed(10061);
        open_ = true;
        return StreamResult::ok();
    }
    StreamResult send(const char* data, size_t size) override {
        std::string line(data, size);
        if (line.size() >= 2 && line.ends_with("\r\n")) line.resize(line.size() - 2);
        sent.push_back(line);
        return StreamResult::ok(size);
    }
    StreamResult receive(char* data, size_t size) override {
        FakeConnection& c = script[current_];
        if (!c.chunks.empty()) {
            std::string& front = c.chunks.front();
            size_t n = front.size() < size ? front.size() : size;
            front.copy(data, n);
            front.erase(0, n);
            if (front.empty()) c.chunks.pop_front();
            return StreamResult::ok(n);
        }
        if (!c.events.empty()) {
            StreamResult r = c.events.front();
            c.events.pop_front();
            return r;
        }
        return StreamResult::closed();
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool pause(unsigned) override {
        ++pauses;
        return !stopPauses;
    }

private:
    int current_ = -1;
    bool open_ = false;
};
