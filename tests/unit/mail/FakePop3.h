// A POP3 server behind the ByteStream interface, for checks that talk to a
// server rather than follow a script: it answers the commands as they
// arrive (several in one write when the client pipelines), hands its answers
// out in pieces of `piece` bytes, and keeps its mailbox across connections,
// deleting at QUIT what DELE marked. It notes which commands came while
// answers to earlier ones were still unread (pipelined) and the most
// commands and command bytes that were ever waiting for their answers.
#pragma once
#include <algorithm>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "mail/ByteStream.h"

class FakePop3 : public ByteStream {
public:
    struct Mail {
        std::string text;  // header, blank line, body; lines end in CRLF
        std::string uid;
    };
    std::vector<Mail> mailbox;
    bool capa = true, pipelining = true, uidl = true;
    std::string uidlAnswer;          // when not empty, sent instead of the listing
    std::set<int> refuseTop;         // message numbers whose TOP gets -ERR
    size_t piece = 4096;

    std::vector<std::string> commands;   // every command, without CRLF
    std::vector<std::string> pipelined;  // those that came before the answer to the one before was read
    size_t mostWaiting = 0, mostWaitingBytes = 0;

    std::vector<std::string> commandsOf(const std::string& verb) const {
        std::vector<std::string> out;
        for (const auto& c : commands)
            if (c.rfind(verb, 0) == 0) out.push_back(c);
        return out;
    }

    StreamResult resolve(const std::string&, uint16_t, SocketAddress&) override { return StreamResult::ok(); }
    StreamResult connect(const SocketAddress&) override {
        open_ = true;
        out_ = "+OK ready <1.2@fake>\r\n";
        read_ = 0;
        ends_ = {{out_.size(), 0}};
        deleted_.clear();
        return StreamResult::ok();
    }
    StreamResult send(const char* data, size_t size) override {
        in_.append(data, size);
        for (size_t end; (end = in_.find("\r\n")) != std::string::npos;) {
            std::string line = in_.substr(0, end);
            in_.erase(0, end + 2);
            // Answers whose last byte the client has not read are waiting.
            while (!ends_.empty() && ends_.front().first <= read_) ends_.pop_front();
            if (!ends_.empty()) pipelined.push_back(line);
            size_t waitingBytes = line.size() + 2;
            for (auto& e : ends_) waitingBytes += e.second;
            mostWaiting = std::max(mostWaiting, ends_.size() + 1);
            mostWaitingBytes = std::max(mostWaitingBytes, waitingBytes);
            commands.push_back(line);
            answer(line);
            ends_.push_back({out_.size(), line.size() + 2});
        }
        return StreamResult::ok(size);
    }
    StreamResult receive(char* data, size_t size) override {
        if (read_ == out_.size()) return StreamResult::closed();  // waiting here would be for ever
        size_t n = std::min({size, piece, out_.size() - read_});
        out_.copy(data, n, read_);
        read_ += n;
        return StreamResult::ok(n);
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool pause(unsigned) override { return true; }

private:
    void answer(const std::string& line) {
        std::string verb = line.substr(0, line.find(' '));
        int arg = verb.size() < line.size() ? std::atoi(line.c_str() + verb.size() + 1) : 0;
        bool exists = arg >= 1 && arg <= static_cast<int>(mailbox.size()) && !deleted_.count(arg);
        if (verb == "CAPA" && capa) {
            out_ += "+OK\r\nTOP\r\nUSER\r\n";
            if (pipelining) out_ += "PIPELINING\r\n";
            if (uidl) out_ += "UIDL\r\n";
            out_ += ".\r\n";
        } else if (verb == "LIST" || (verb == "UIDL" && uidl)) {
            if (verb == "UIDL" && !uidlAnswer.empty()) {
                out_ += uidlAnswer;
                return;
            }
            out_ += "+OK\r\n";
            for (int n = 1; n <= static_cast<int>(mailbox.size()); ++n)
                if (!deleted_.count(n))
                    out_ += std::to_string(n) + " " +
                            (verb == "LIST" ? std::to_string(mailbox[n - 1].text.size()) : mailbox[n - 1].uid) + "\r\n";
            out_ += ".\r\n";
        } else if (verb == "TOP" && exists && !refuseTop.count(arg)) {
            out_ += "+OK\r\n" + top(mailbox[arg - 1].text, std::atoi(line.c_str() + line.rfind(' ') + 1)) + ".\r\n";
        } else if (verb == "DELE" && exists) {
            deleted_.insert(arg);
            out_ += "+OK\r\n";
        } else if (verb == "QUIT") {
            for (auto it = deleted_.rbegin(); it != deleted_.rend(); ++it) mailbox.erase(mailbox.begin() + (*it - 1));
            deleted_.clear();
            out_ += "+OK bye\r\n";
        } else if (verb == "APOP" || verb == "USER" || verb == "PASS") {
            out_ += "+OK\r\n";
        } else {
            out_ += "-ERR no\r\n";
        }
    }
    static std::string top(const std::string& text, int lines) {
        std::string out;
        bool body = false;
        for (size_t pos = 0; pos < text.size();) {
            size_t end = text.find("\r\n", pos);
            end = end == std::string::npos ? text.size() : end + 2;
            std::string line = text.substr(pos, end - pos);
            pos = end;
            if (body && lines-- <= 0) break;
            if (line == "\r\n") body = true;
            out += (line[0] == '.' ? "." : "") + line;
        }
        return out;
    }

    bool open_ = false;
    std::string in_, out_;
    size_t read_ = 0;
    std::deque<std::pair<size_t, size_t>> ends_;  // end of each unread answer in out_, and its command's bytes
    std::set<int> deleted_;
};
