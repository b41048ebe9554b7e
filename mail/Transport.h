// The line-oriented POP3 transport of one account: commands out, one-line and
// multi-line answers in. It records the first error of a check on the
// account (lastError, errorText) and logs every step.
//
// Before every step it tells the gate that the account is alive, which
// starts the silence deadline again. Bytes of an answer count as life only
// while they come at a real pace (see progressStep): an answer that trickles
// in a byte at a time would otherwise keep a check, and every account
// queued behind it on that server, waiting for ever.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "mail/ByteStream.h"
#include "mail/CheckHooks.h"

class Account;

class Transport {
public:
    // An answer longer than this is not kept: the rest is read and dropped
    // up to its end mark, and the read fails with the connection still usable.
    static constexpr size_t kMaxAnswer = 32u << 20;
    // The formatted command with its CRLF must fit here, or it is not sent.
    static constexpr size_t kCommandBuffer = 4096;

    // Received bytes renew the deadline once they add up to this many, or to
    // kProgressPerSecond for every second of the account's time-out if that
    // is more.
    static constexpr size_t kProgressBytes = 512;
    static constexpr size_t kProgressPerSecond = 64;

    Transport(Account& account, ByteStream& stream, CheckGate& gate);

    bool lookup();
    // Connects; for an account on TLS from the first byte, also secures.
    bool hookup();
    // Secures the open connection (the handshake and the certificate check).
    // Whatever was received before is dropped: no answer read afterwards can
    // hold bytes that came unprotected. On failure the connection is closed.
    bool secure();
    // The check failed for its security (TLS, STLS, the certificate): trying
    // the login again cannot help.
    bool securityFailed() const { return securityFailed_; }
    void reportInsecure(uint32_t id, std::initializer_list<std::string> inserts, int site);
    // Sends one command (queue and flush).
    template <class... Args>
    bool request(const char* format, const Args&... args) {
        return queue(format, args...) && flush();
    }
    // Formats and logs a command and keeps it for the next flush, so that
    // several commands go in one write: `format` and its numbers and strings
    // as snprintf takes them (std::string arguments too). A command whose
    // arguments hold CR, LF or NUL is refused, and so is one too long: the
    // server would read the rest as commands of their own. A refusal closes
    // the connection, and the commands kept before it are never sent.
    template <class... Args>
    bool queue(const char* format, const Args&... args) {
        bool clean = (cleanArgument(args) && ...);
        char line[kCommandBuffer];
        int n = 0;
        if constexpr (sizeof...(Args) == 0) n = std::snprintf(line, sizeof line, "%s", format);
        else n = std::snprintf(line, sizeof line, format, cArgument(args)...);
        return queueCommand(line, n, clean);
    }
    // Sends the kept commands; true when there were none.
    bool flush();
    size_t queuedBytes() const { return outgoing_.size(); }
    // Set by a failure that another login attempt would only repeat (a
    // command that cannot be sent as it is).
    bool hopeless() const { return hopeless_; }
    bool readAnswer() { return read(false); }
    bool readMultiAnswer() { return read(true); }
    bool answerIsOk();
    bool answerIsErr();
    void closeConnection();
    // Records an error: `id` is a message-table id, `code` its %1 (0: none),
    // `module` and `site` (site < 0: none) name the reporting place.
    void reportError(uint32_t id, int code, const char* module, int site);
    void reportError(uint32_t id, std::initializer_list<std::string> inserts, const char* module, int site);
    // Closes the connection because an answer, or the answers read ahead,
    // passed their bound.
    void failTooLong();

    // The last answer without its end mark, byte-stuffing removed. Bytes
    // that came after it belong to the next answer and wait for its read.
    const std::string& answer() const { return answer_; }
    // The answer handed out, and back, for a reader that takes answers in
    // another order than they came (Pipeline).
    std::string takeAnswer() { return std::move(answer_); }
    void setAnswer(std::string&& answer) { answer_ = std::move(answer); }
    bool pause(unsigned ms) {
        if (stream_.pause(ms)) return true;
        stopped_ = true;
        return false;
    }
    // A stop request ended a wait: the check is to end, changing nothing.
    bool stopped() const { return stopped_; }
    ByteStream& stream() { return stream_; }
    // Renews the silence deadline (what every step does first).
    void touch();
    size_t progressStep() const;

private:
    static bool cleanArgument(const std::string& s) { return s.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos; }
    static bool cleanArgument(const char* s) { return !std::strpbrk(s, "\r\n"); }
    template <class T>
    static bool cleanArgument(const T&) { return true; }
    static const char* cArgument(const std::string& s) { return s.c_str(); }
    template <class T>
    static const T& cArgument(const T& v) { return v; }
    bool queueCommand(const char* line, int n, bool clean);
    bool read(bool multiLine);
    void failIo(const StreamResult& r, int site);
    void failSecure(int site);
    void closedByServer(int site);
    void keepErrorAnswer();
    void dropReceived() { head_ = used_ = 0; }

    Account& account_;
    ByteStream& stream_;
    CheckGate& gate_;
    std::string rx_;        // received bytes: those from head_ to used_ are not yet read
    size_t head_ = 0, used_ = 0;
    std::string outgoing_;  // commands kept for the next flush, each with its CRLF
    int outgoingCount_ = 0;
    std::string answer_;    // the last complete answer
    size_t unrenewed_ = 0;  // bytes received since the deadline was last renewed
    bool stopped_ = false;
    bool securityFailed_ = false;
    bool hopeless_ = false;
};

// A multi-line answer without its byte-stuffing: a line that starts with
// ".." loses its first ".". The status line is never unstuffed. Lines end
// at LF, with or without CR before it.
std::string unstuff(std::string_view text);
