// One check's POP3 dialogue with an account's server: login (APOP, then
// USER/PASS), LIST, TOP for every message, deletions, QUIT. With STLS asked
// for, CAPA and STLS come before any credential.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mail/Account.h"
#include "mail/CheckHooks.h"
#include "mail/HeaderCache.h"
#include "mail/Pipeline.h"
#include "mail/Transport.h"

// A CAPA answer: every capability line the server listed (bounded), and the
// ones the check acts on.
struct Capabilities {
    static constexpr size_t kMaxLines = 64;   // lines past these are not kept
    static constexpr size_t kMaxLine = 256;   // nor bytes past these in a line

    bool answered = false;  // +OK: the server knows CAPA
    bool stls = false, pipelining = false, uidl = false;
    std::vector<std::string> lines;
    // Whether a line's first word is `name`, without regard to case.
    bool has(std::string_view name) const;
};

// The capabilities of a multi-line CAPA answer (status line included); a
// refusal lists none.
Capabilities parseCapabilities(std::string_view answer);

class Pop3Session {
public:
    // The policy is asked for the filters, the deletion confirmation and the
    // DontCalcDeleted setting; `wait` is the check's, for the confirmation.
    Pop3Session(Account& account, Transport& transport, CheckPolicy& policy, CheckWait& wait);

    // Up to three login attempts, `retryPause` apart; true with the
    // connection open and authenticated. A stop request ends the pause.
    bool connectAndLogin();
    // LIST, TOP for every message, filters, deletions, carried-over marks.
    // A message whose TOP failed keeps its earlier copy. False (and an empty
    // result) when the listing failed, or when it listed messages and none
    // could be fetched. With PIPELINING the TOPs and DELEs go in batches;
    // with UIDL and a header cache, a message that the cache names is copied
    // instead of fetched again. The result is the same either way.
    bool checkMailbox(MessageList& result);
    // The unique ids of the result's messages, for the cache that comes with
    // the result (Account::replaceMessages); empty without a cache.
    std::vector<HeaderCache::Entry> takeHeaders() { return std::move(headers_); }
    // QUIT. False when DELEs were sent and the server did not acknowledge
    // QUIT: it commits them only then, so they may not have happened.
    bool quit();
    // Connects, reads the greeting and, when the account asks for it,
    // secures the connection; true when a login may follow.
    bool open();
    // Logins on an opened connection.
    bool loginApop();
    bool loginUser();
    bool deleteMessage(int number);
    // CAPA; a refusal or a failure lists nothing (the transport has the
    // error, a refusal is none). Once logged in, checkMailbox uses what the
    // last one found.
    Capabilities requestCapabilities();

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
    // A listed message whose header could not be fetched: its place in the
    // new list and its listed size.
    struct Unfetched {
        size_t at;
        int size;
    };
    void keepEarlierCopies(MessageList& result, const std::vector<Unfetched>& unfetched);
    bool lockList();
    Marks previous(uint32_t crc);
    bool prepareDeletion();
    // Looks up what the cache knows of the listed messages; false when the
    // unique-id listing identifies nothing, which turns the cache off.
    bool matchCache(std::vector<Listed>& listed, std::string_view uidAnswer, const HeaderCache& cache);
    bool deleteIfMarked(int number, Message& message);
    bool autoDeleteFiltered(int number, Message& message);
    void quitAfterRefusal();
    bool startTls();
    void refuseInsecure(uint32_t id, std::initializer_list<std::string> inserts, int site);
    bool pauseBetweenAttempts();

    Account& account_;
    Transport& transport_;
    CheckPolicy& policy_;
    CheckWait& wait_;
    Pipeline pipeline_;
    Capabilities capabilities_;
    bool dontCalcDeleted_;
    bool deletionsSent_ = false;
    std::string greeting_;  // of the current connection, for the APOP stamp
    // The earlier list's first message per CRC, or else the first saved mark.
    struct Earlier {
        const Message* message = nullptr;
        const SavedMark* saved = nullptr;
    };
    std::unordered_map<uint32_t, Earlier> previous_;
    std::vector<HeaderCache::Entry> headers_;
};

// The message list of a LIST answer: after every line end (LF, with or
// without CR) a number and a size ("%d %d"), each -1 when it does not scan.
std::vector<std::pair<int, int>> parseListing(std::string_view answer);

// The lines of a TOP answer: every piece after the status line, split at LF
// with a CR before it dropped; the views point into `answer`.
std::vector<std::string_view> splitAnswerLines(std::string_view answer);

// The APOP digest: MD5 of the greeting's time stamp and the password.
std::string apopDigest(std::string_view greeting, std::string_view password, bool& hasStamp);
