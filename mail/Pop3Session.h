// One check's POP3 dialogue with an account's server: login (APOP, then
// USER/PASS), LIST, TOP for every message, deletions, QUIT.
#pragma once
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mail/Account.h"
#include "mail/CheckHooks.h"
#include "mail/HeaderCache.h"
#include "mail/Pipeline.h"
#include "mail/Transport.h"

// What the server says it can do (CAPA, RFC 2449).
struct Capabilities {
    bool stls = false, pipelining = false, uidl = false;
};

class Pop3Session {
public:
    // The policy is asked for the filters, the deletion confirmation and the
    // DontCalcDeleted setting; `wait` is the check's, for the confirmation.
    Pop3Session(Account& account, Transport& transport, CheckPolicy& policy, CheckWait& wait);

    // Up to three login attempts, `retryPause` apart; true with the
    // connection open and authenticated. A stop request ends the pause.
    bool connectAndLogin();
    // CAPA, once the session is logged in; checkMailbox uses what it finds.
    // A server that refuses it can do none of the extensions, and the
    // refusal is no error of the check.
    Capabilities requestCapabilities();
    // LIST, TOP for every message, filters, deletions, carried-over marks.
    // False (and an empty result) when the listing failed. With PIPELINING
    // the TOPs and DELEs go in batches; with UIDL and a header cache, a
    // message that the cache names is copied instead of fetched again. The
    // result is the same either way.
    bool checkMailbox(MessageList& result);
    // The unique ids of the result's messages, for the cache that comes with
    // the result (Account::replaceMessages); empty without a cache.
    std::vector<HeaderCache::Entry> takeHeaders() { return std::move(headers_); }
    // QUIT. False when DELEs were sent and the server did not acknowledge
    // QUIT: it commits them only then, so they may not have happened.
    bool quit();
    bool loginApop();
    bool loginUser();
    bool deleteMessage(int number);

    unsigned retryPauseMs = 10000;
    // The account's cache; null: every message is fetched.
    HeaderCache* headerCache = nullptr;

private:
    struct Listed {
        int number;
        int size;
        std::string_view uid;              // empty when unknown
        const Message* kept = nullptr;     // its record in the account's list
        Pipeline::Ticket ticket = 0;       // its TOP
    };
    // The marks of the earlier list's first message with a CRC, read under
    // the list's lock (the user interface marks them meanwhile).
    struct Marks {
        bool found = false, read = false, deleted = false;
    };
    bool lockList();
    Marks previous(uint32_t crc);
    bool prepareDeletion();
    // Looks up what the cache knows of the listed messages; false when the
    // unique-id listing identifies nothing, which turns the cache off.
    bool matchCache(std::vector<Listed>& listed, std::string_view uidAnswer, const HeaderCache& cache);
    bool deleteIfMarked(int number, Message& message);
    bool autoDeleteFiltered(int number, Message& message);
    void quitAfterRefusal();

    Account& account_;
    Transport& transport_;
    CheckPolicy& policy_;
    CheckWait& wait_;
    Pipeline pipeline_;
    Capabilities capabilities_;
    bool dontCalcDeleted_;
    bool deletionsSent_ = false;
    std::unordered_map<uint32_t, const Message*> previous_;  // first message of the earlier list per CRC
    std::vector<HeaderCache::Entry> headers_;
};

// The message list of a LIST answer: after every CRLF a number and a size
// ("%d %d"), each -1 when it does not scan.
std::vector<std::pair<int, int>> parseListing(std::string_view answer);

// The capabilities that a CAPA answer lists: none unless it is "+OK". Only
// the first kMaxCapabilityLines lines are looked at.
constexpr size_t kMaxCapabilityLines = 256;
Capabilities parseCapabilities(std::string_view answer);

// The lines of a TOP answer: every piece after the status line's CRLF,
// split at CRLF; the views point into `answer`.
std::vector<std::string_view> splitAnswerLines(std::string_view answer);

// The APOP digest: MD5 of the greeting's time stamp and the password.
std::string apopDigest(std::string_view greeting, std::string_view password, bool& hasStamp);
