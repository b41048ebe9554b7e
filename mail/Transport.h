// The line-oriented POP3 transport of one account: commands out, one-line and
// multi-line answers in. It records the first error of a check on the
// account (`lastError`, `errorText`) and logs every step.
#pragma once
#include <cstdint>
#include <string>

#include "mail/ByteStream.h"
#include "mail/CheckHooks.h"

class Account;

class Transport {
public:
    // An answer longer than this without its end mark fails the read.
    static constexpr size_t kMaxAnswer = 32u << 20;
    // The formatted command with its CRLF must fit here, or it is not sent.
    static constexpr size_t kCommandBuffer = 4096;

    // Every network step first tells `hooks` the account is alive.
    Transport(Account& account, ByteStream& stream, CheckHooks& hooks);

    bool lookup();
    bool hookup();
    bool request(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool readAnswer() { return read(false); }
    bool readMultiAnswer() { return read(true); }
    bool answerIsOk();
    bool answerIsErr();
    void closeConnection();
    // Records an error: `id` is a message-table id, `code` its %1 (0: none),
    // `module` and `site` (site < 0: none) name the reporting place.
    void reportError(uint32_t id, int code, const char* module, int site);

    // The last answer without its end mark, byte-stuffing removed.
    const std::string& answer() const { return answer_; }
    bool pause(unsigned ms) {
        if (stream_.pause(ms)) return true;
        stopped_ = true;
        return false;
    }
    // A stop request ended a wait: the check is to end, changing nothing.
    bool stopped() const { return stopped_; }
    ByteStream& stream() { return stream_; }

private:
    bool read(bool multiLine);
    void failIo(const StreamResult& r, int site);
    void closedByServer(int site);
    void keepErrorAnswer();

    Account& account_;
    ByteStream& stream_;
    CheckHooks& hooks_;
    std::string rx_;      // received bytes of the answer being read
    std::string answer_;  // the last complete answer
    bool stopped_ = false;
};

// Copies at most 255 characters of `text` into an account's error text.
std::string clipErrorText(const std::string& text);
