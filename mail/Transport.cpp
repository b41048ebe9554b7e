#include "mail/Transport.h"

#include <cstdio>
#include <cstring>
#include <string_view>
#include <algorithm>

#include "core/EventLog.h"
#include "mail/Account.h"
#include "mail/TlsTrust.h"

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
    kSiteSecure = 10,
    kSiteSecureRead = 11,
    kSiteSecureSend = 12,
    kSiteCommandUnsafe = 13,
};

}  // namespace

std::string unstuff(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        end = end == std::string_view::npos ? text.size() : end + 1;
        std::string_view line = text.substr(pos, end - pos);
        if (pos > 0 && line.size() >= 2 && line[0] == '.' && line[1] == '.') line.remove_prefix(1);
        out.append(line);
        pos = end;
    }
    return out;
}

// Servers end lines in CR LF, some in LF alone; both end a line here. The
// answer's text ends before the line end (`cut`); the search resumes at `from`.
size_t findLineEnd(std::string_view got, size_t from, size_t& cut) {
    size_t end = got.find('\n', from);
    if (end != std::string_view::npos) cut = end > 0 && got[end - 1] == '\r' ? end - 1 : end;
    return end;
}

// The end mark of a multi-line answer: a line holding a single ".".
size_t findMultiEnd(std::string_view got, size_t from, size_t& cut) {
    for (size_t end = findLineEnd(got, from, cut); end != std::string_view::npos;
         end = findLineEnd(got, end + 1, cut)) {
        std::string_view next = got.substr(end + 1, 3);
        if (next.starts_with(".\n") || next.starts_with(".\r\n")) return end;
    }
    return std::string_view::npos;
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
    if (r.kind == StreamResult::Ok) return account_.secureConnection != SecureConnection::Tls || secure();
    // A stop ends the attempt silently; a refused connection is an error.
    failIo(r, kSiteConnect);
    return false;
}

bool Transport::secure() {
    eventLog().log("Secure connection: account=%s server=%s", account_.name.c_str(), account_.server.c_str());
    touch();
    // The handshake is one step: only its end renews the deadline, so a
    // server that trickles its handshake runs out of time.
    dropReceived();
    StreamResult r = stream_.secure();
    if (r.kind == StreamResult::Ok) {
        eventLog().log("Secure connection: account=%s: OK", account_.name.c_str());
        touch();
        return true;
    }
    stream_.close();
    failIo(r, kSiteSecure);
    return false;
}

void Transport::reportInsecure(uint32_t id, std::initializer_list<std::string> inserts, int site) {
    securityFailed_ = true;
    reportError(id, inserts, kModule, site);
}

bool Transport::queueCommand(const char* line, int n, bool clean) {
    if (!stream_.isOpen()) {
        reportError(MSG_UnexpectedError, 0, nullptr, -1);
        eventLog().log("Error: invalid sockect. %s %d", kModule, kSiteSendInvalid);
        return false;
    }
    touch();
    // A cut command would be a different command (a cut PASS a wrong password).
    // Either refusal is what the user must change, so its text replaces an
    // earlier one of the attempt (an APOP refused for the same password).
    bool tooLong = n < 0 || static_cast<size_t>(n) + 2 >= kCommandBuffer;
    if (tooLong || !clean || std::strpbrk(line, "\r\n")) {
        hopeless_ = true;
        stream_.close();
        // The commands kept before it go nowhere either: a batch is sent whole or not at all.
        outgoing_.clear();
        outgoingCount_ = 0;
        account_.clearErrorText();
        if (tooLong) reportError(MSG_CommandTooLong, 0, kModule, kSiteCommandTooLong);
        else reportError(MSG_CommandUnsafe, 0, kModule, kSiteCommandUnsafe);
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
    failIo(r, r.kind == StreamResult::Insecure ? kSiteSecureSend : kSiteSend);
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
    bool refusal = false;
    // Past kMaxAnswer the bytes are dropped but the end is still looked for,
    // so that the connection stays usable for the next command.
    bool overflow = false;
    if (rx_.size() < 8192) rx_.resize(8192);
    for (;;) {
        std::string_view got(rx_.data() + head_, used_ - head_);
        // A multi-line answer ends at a line holding a single "." (the
        // status line's end starts the mark of an empty listing), or at the
        // end of its first line when that is a refusal.
        if (!overflow) refusal = multiLine && got.substr(0, 4) == "-ERR";
        bool dotted = multiLine && !refusal;
        size_t cut = 0;
        size_t end = dotted ? findMultiEnd(got, searched, cut) : findLineEnd(got, searched, cut);
        if (end != std::string_view::npos) {
            if (!overflow) answer_ = dotted ? unstuff(got.substr(0, cut)) : std::string(got.substr(0, cut));
            // What follows the end mark is the next answer's.
            size_t next = end + 1;
            if (dotted) next += got[next + 1] == '\n' ? 2 : 3;
            head_ += next;
            if (overflow) {
                reportError(MSG_AnswerTooLong, 0, kModule, kSiteTooLong);
                return false;
            }
            eventLog().log("Answer from server %s: %s", account_.server.c_str(), answer_.c_str());
            return true;
        }
        searched = got.size() >= 4 ? got.size() - 4 : 0;
        if (got.size() >= kMaxAnswer) {
            if (!overflow) eventLog().log("Answer from server %s: longer than %u bytes, skipped", account_.server.c_str(),
                                          static_cast<unsigned>(kMaxAnswer));
            overflow = true;
            // The last bytes may start the end mark.
            std::memmove(rx_.data(), rx_.data() + used_ - 4, 4);
            head_ = 0;
            used_ = 4;
            searched = 0;
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
        if (overflow && (r.kind == StreamResult::Ok || r.kind == StreamResult::Closed)) {
            reportError(MSG_AnswerTooLong, 0, kModule, kSiteTooLong);
        } else if (r.kind == StreamResult::Ok || r.kind == StreamResult::Closed) {
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
            failIo(r, r.kind == StreamResult::Insecure ? kSiteSecureRead : kSiteRead);
        }
        dropReceived();
        return false;
    }
}

void Transport::failIo(const StreamResult& r, int site) {
    if (r.kind == StreamResult::Failed) reportError(MSG_NetworkError, r.code, kModule, site);
    else if (r.kind == StreamResult::Closed) closedByServer(site);
    else if (r.kind == StreamResult::Stopped) stopped_ = true;  // asked to end: no error of the check
    else if (r.kind == StreamResult::Insecure) failSecure(site);
}

void Transport::failSecure(int site) {
    const TlsFailure& why = stream_.tlsFailure();
    // A stream that could not even say why: the system's code for a missing function.
    std::string reason = why.reason.empty() ? formatMessage(MSG_TlsReasonError, {hexCode(0x80090302)}) : why.reason;
    if (why.kind == TlsFailure::Untrusted) {
        Sha256Digest digest{};
        std::string shown = parseFingerprint(why.fingerprint, digest) ? fingerprintText(digest) : why.fingerprint;
        account_.setRefusedCertificate(why.fingerprint);
        reportInsecure(MSG_TlsUntrusted, {reason, shown}, site);
    } else {
        reportInsecure(why.kind == TlsFailure::Broken ? MSG_TlsFailed : MSG_TlsHandshakeFailed, {reason}, site);
    }
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
