#include "mail/Transport.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <algorithm>

#include "core/EventLog.h"
#include "mail/Account.h"

namespace {

const char kModule[] = "Acc_Pop3";

// Report sites: one number per place that records an error.
enum Site {
    kSiteResolve = 1,
    kSiteConnect = 2,
    kSiteSendInvalid = 3,
    kSiteCommandTooLong = 4,
    kSiteSend = 5,
    kSiteReadInvalid = 6,
    kSiteRead = 7,
    kSiteTooLong = 8,
    kSiteTooSlow = 9,
};

}  // namespace

std::string unstuff(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        end = end == std::string_view::npos ? text.size() : end + 2;
        std::string_view line = text.substr(pos, end - pos);
        if (pos > 0 && line.size() >= 2 && line[0] == '.' && line[1] == '.') line.remove_prefix(1);
        out.append(line);
        pos = end;
    }
    return out;
}

Transport::Transport(Account& account, ByteStream& stream, CheckGate& gate)
    : account_(account), stream_(stream), gate_(gate) {}

size_t Transport::progressStep() const {
    return std::max<size_t>(kProgressBytes, size_t{account_.checkTimeout} * kProgressPerSecond);
}

void Transport::touch() {
    gate_.touch(account_);
    unrenewed_ = 0;
}

bool Transport::lookup() {
    eventLog().log("Lookup: account=%s", account_.name.c_str());
    touch();
    account_.clearError();
    account_.address = SocketAddress();
    StreamResult r = stream_.resolve(account_.server, static_cast<uint16_t>(account_.port), account_.address);
    if (r.kind == StreamResult::Ok) return true;
    if (r.kind == StreamResult::Failed) reportError(MSG_NetworkError, r.code, kModule, kSiteResolve);
    if (r.kind == StreamResult::Stopped) stopped_ = true;
    return false;
}

bool Transport::hookup() {
    eventLog().log("hookup: account=%s", account_.name.c_str());
    touch();
    // Nothing of an earlier connection carries over.
    dropReceived();
    outgoing_.clear();
    outgoingCount_ = 0;
    StreamResult r = stream_.connect(account_.address);
    if (r.kind == StreamResult::Ok) return true;
    // A stop ends the attempt silently; a refused connection is an error.
    if (r.kind == StreamResult::Failed) reportError(MSG_NetworkError, r.code, kModule, kSiteConnect);
    else if (r.kind == StreamResult::Closed) closedByServer(kSiteConnect);
    else if (r.kind == StreamResult::Stopped) stopped_ = true;
    return false;
}

bool Transport::request(const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool ok = vqueue(format, args);
    va_end(args);
    return ok && flush();
}

bool Transport::queue(const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool ok = vqueue(format, args);
    va_end(args);
    return ok;
}

bool Transport::vqueue(const char* format, va_list args) {
    if (!stream_.isOpen()) {
        reportError(MSG_UnexpectedError, 0, nullptr, -1);
        eventLog().log("Error: invalid sockect. %s %d", kModule, kSiteSendInvalid);
        return false;
    }
    touch();
    char line[kCommandBuffer];
    int n = std::vsnprintf(line, sizeof line, format, args);
    // A cut command would be a different command (a cut PASS a wrong password).
    if (n < 0 || static_cast<size_t>(n) + 2 >= sizeof line) {
        stream_.close();
        reportError(MSG_CommandTooLong, 0, kModule, kSiteCommandTooLong);
        return false;
    }
    const char* shown = std::strstr(line, "PASS") ? "PASS" : line;
    eventLog().log("Request for server %s: %s", account_.server.c_str(), shown);
    outgoing_.append(line, static_cast<size_t>(n)).append("\r\n");
    ++outgoingCount_;
    return true;
}

bool Transport::flush() {
    if (outgoing_.empty()) return true;
    std::string out;
    out.swap(outgoing_);
    int count = outgoingCount_;
    outgoingCount_ = 0;
    if (!stream_.isOpen()) {
        reportError(MSG_UnexpectedError, 0, nullptr, -1);
        eventLog().log("Error: invalid sockect. %s %d", kModule, kSiteSendInvalid);
        return false;
    }
    StreamResult r = stream_.send(out.data(), out.size());
    if (r.kind == StreamResult::Ok) {
        while (count-- > 0) eventLog().log("Request for server %s: OK", account_.server.c_str());
        return true;
    }
    stream_.close();
    failIo(r, kSiteSend);
    return false;
}

bool Transport::read(bool multiLine) {
    answer_.clear();
    if (!stream_.isOpen()) {
        dropReceived();
        reportError(MSG_UnexpectedError, 0, nullptr, -1);
        eventLog().log("Error: invalid sockect. %s %d", kModule, kSiteReadInvalid);
        return false;
    }
    touch();
    if (head_ == used_) dropReceived();
    size_t searched = 0;  // bytes of the answer before this offset cannot start the end mark
    if (rx_.size() < 8192) rx_.resize(8192);
    for (;;) {
        std::string_view got(rx_.data() + head_, used_ - head_);
        // The end mark: a multi-line answer ends at CRLF.CRLF (the status
        // line's CRLF starts the mark of an empty listing), or at the end of
        // its first line when that is a refusal.
        bool refusal = multiLine && got.substr(0, 4) == "-ERR";
        bool dotted = multiLine && !refusal;
        size_t end = dotted ? got.find("\r\n.\r\n", searched) : got.find("\r\n", searched);
        if (end != std::string_view::npos) {
            answer_ = dotted ? unstuff(got.substr(0, end)) : std::string(got.substr(0, end));
            head_ += end + (dotted ? 5 : 2);
            eventLog().log("Answer from server %s: %s", account_.server.c_str(), answer_.c_str());
            return true;
        }
        searched = got.size() >= 4 ? got.size() - 4 : 0;
        if (got.size() >= kMaxAnswer) {
            failTooLong();
            return false;
        }
        if (used_ == rx_.size()) {
            if (head_ > 0) {
                // The answers before this one were read: their room is free.
                std::memmove(rx_.data(), rx_.data() + head_, used_ - head_);
                used_ -= head_;
                head_ = 0;
            } else {
                // Grow geometrically, so that a large answer costs linear time.
                rx_.resize(std::min(rx_.size() * 2, kMaxAnswer));
            }
        }
        StreamResult r = stream_.receive(rx_.data() + used_, rx_.size() - used_);
        if (r.kind == StreamResult::Ok && r.count > 0) {
            size_t n = std::min(r.count, rx_.size() - used_);
            used_ += n;
            // A long answer still arriving is no silence, one that trickles is.
            unrenewed_ += n;
            if (unrenewed_ >= progressStep()) touch();
            continue;
        }
        stream_.close();
        size_t pending = used_ - head_;
        if (r.kind == StreamResult::Ok || r.kind == StreamResult::Closed) {
            // The server closed: what it sent before is the best error text.
            if (pending > 0) {
                account_.setErrorText(std::string(rx_.data() + head_, pending));
                eventLog().log("Error: %s", account_.errorText().c_str());
            } else {
                closedByServer(kSiteRead);
            }
        } else if (r.kind == StreamResult::Stopped && unrenewed_ > 0 && gate_.silenced(account_)) {
            stopped_ = true;
            reportError(MSG_AnswerTooSlow, {std::to_string(unrenewed_), std::to_string(account_.checkTimeout)},
                        kModule, kSiteTooSlow);
        } else {
            failIo(r, kSiteRead);
        }
        dropReceived();
        return false;
    }
}

void Transport::failIo(const StreamResult& r, int site) {
    if (r.kind == StreamResult::Failed) reportError(MSG_NetworkError, r.code, kModule, site);
    else if (r.kind == StreamResult::Closed) closedByServer(site);
    else if (r.kind == StreamResult::Stopped) stopped_ = true;  // asked to end: no error of the check
}

void Transport::failTooLong() {
    closeConnection();
    reportError(MSG_AnswerTooLong, 0, kModule, kSiteTooLong);
}

void Transport::closedByServer(int site) {
    reportError(MSG_ConnectionClosed, 0, nullptr, -1);
    eventLog().log("Error: Connection close by server %s %d", kModule, site);
}

void Transport::keepErrorAnswer() { account_.setErrorText(answer_); }

bool Transport::answerIsOk() {
    if (answer_.compare(0, 3, "+OK") == 0) return true;
    keepErrorAnswer();
    return false;
}

bool Transport::answerIsErr() {
    if (answer_.compare(0, 4, "-ERR") != 0) return false;
    keepErrorAnswer();
    return true;
}

void Transport::closeConnection() {
    stream_.close();
    dropReceived();
}

void Transport::reportError(uint32_t id, int code, const char* module, int site) {
    if (code) reportError(id, {std::to_string(static_cast<unsigned>(code))}, module, site);
    else reportError(id, std::initializer_list<std::string>{}, module, site);
}

void Transport::reportError(uint32_t id, std::initializer_list<std::string> inserts, const char* module, int site) {
    std::string text = formatMessage(id, inserts);
    if (module && site >= 0) text += " " + std::string(module) + ", " + std::to_string(site);
    // The log repeats the first error of the check, which the text keeps.
    eventLog().log("Error: %s", account_.recordError(id, text).c_str());
}
