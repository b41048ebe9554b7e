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
#include <cstdarg>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "mail/ByteStream.h"
#include "mail/CheckHooks.h"

class Account;

class Transport {
public:
    // An answer longer than this without its end mark fails the read.
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
    bool hookup();
    // Sends one command (queue and flush).
    bool request(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Formats and logs a command and keeps it for the next flush, so that
    // several commands go in one write. False, with the connection closed,
    // when there is none or the command is too long.
    bool queue(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool vqueue(const char* format, va_list args);
    // Sends the kept commands; true when there were none.
    bool flush();
    size_t queuedBytes() const { return outgoing_.size(); }
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
    bool read(bool multiLine);
    void failIo(const StreamResult& r, int site);
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
};

// A multi-line answer without its byte-stuffing: a line that starts with
// ".." loses its first ".". The status line is never unstuffed.
std::string unstuff(std::string_view text);
