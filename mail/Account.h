// One POP3 mailbox that the checker watches: how to reach and log in to it,
// how often to look, what to do with the mail found, and its live state.
#pragma once
#include <cstdint>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/MessageText.h"
#include "mail/ByteStream.h"
#include "mail/HeaderCache.h"

class Message;
class AccountWorker;

// Enumerations whose values are message-table ids: one number is both the
// value and the key of its display text; the registry stores these numbers.
enum class AccountState : uint32_t {
    NotStarted = MSG_StateNotStarted,
    Sleeping = MSG_StateSleeping,
    Checking = MSG_StateChecking,
    Connecting = MSG_StateConnecting,
    Failed = MSG_StateFailed,
    Disabled = MSG_StateDisabled,
};

enum class DeletionMode : uint32_t {
    AutoFiltered = MSG_DeletionAuto,
    Without = MSG_DeletionWithout,
    With = MSG_DeletionWith,
    None = MSG_DeletionNone,
};

// The title id of the messages-list column the list is sorted by.
using SortKind = uint32_t;
constexpr SortKind kSortByFrom = MSG_ColFrom;
constexpr SortKind kSortBySubject = MSG_ColSubject;
constexpr SortKind kSortByDate = MSG_ColDate;
constexpr SortKind kSortBySize = MSG_ColSize;

// How the connection to the server is protected: not at all, by TLS started
// with STLS on the POP3 port, or by TLS from the first byte on a port of its
// own. Stored in the registry as these numbers.
enum class SecureConnection : uint32_t { None = 0, Stls = 1, Tls = 2 };

// The largest values the account dialog takes; stored values beyond them (and
// a port, interval or time-out of 0) are brought into range when loaded.
constexpr uint32_t kMaxPort = 65535;
constexpr uint32_t kMaxLines = 100000;
// The largest mailbox bound in KB: times 1024 it still fits the stored 32 bits.
constexpr uint32_t kMaxBoundKb = 4194303;
// Seconds: the log prints them as int.
constexpr uint32_t kMaxSeconds = 2147483647;

// The connection part of an account: what the account dialog, the wizard and
// the import produce.
struct AccountInfo {
    std::string name;
    uint32_t port = 110;
    std::string user;
    std::string password;
    std::string server;
    bool secureAuth = true;  // APOP first, then USER/PASS
    SecureConnection secureConnection = SecureConnection::None;
    // The SHA-256 of the server certificate the user chose to trust, as
    // stored (hex); that certificate is accepted whatever its chain says.
    std::string trustedCertificate;

    void reset() { *this = AccountInfo(); }
};

using MessageList = std::vector<std::unique_ptr<Message>>;

// One entry of the read-marks file, kept until a good check has passed its
// mark on: a few bytes, where a placeholder record would take hundreds.
struct SavedMark {
    uint32_t crc = 0;
    bool read = false;
};

// What an account does and how often: the account dialog's options.
struct AccountOptions {
    uint32_t checkInterval = 300;  // seconds from one check's start to the next
    uint32_t checkTimeout = 120;   // longest silence of the server, seconds
    std::string soundFile;
    DeletionMode msgDeletion = DeletionMode::With;
    uint32_t msgLinesNum = 99;     // body lines asked for with TOP
    bool checkMailboxSize = false;
    uint32_t mailboxBound = 0;
    std::string launchFile;
    bool checkOnlyManually = false;
    SortKind sortKind = kSortByDate;
    uint32_t sortOrder = 0;
};

// One consistent picture of an account's live state, taken at one moment.
struct AccountStatus {
    AccountState state = AccountState::NotStarted;
    uint32_t lastError = 0;    // message id of the last reported error
    std::string errorText;     // the first error since the last clear: one line, at most 255 characters
    uint32_t messageCount = 0; // as presented: 0 before the first good check
    uint32_t unreadCount = 0;
    int64_t lastCheck = 0;     // start, and after success the end, of the last check
    uint64_t mailboxSize = 0;  // sum of the listed sizes of the last good check
    // The SHA-256 (hex) of the server certificate that the last check
    // refused as not trusted; empty when it refused none.
    std::string refusedCertificate;
    bool neverChecked = true;
};

class Account : public AccountInfo, public AccountOptions {
public:
    Account();
    explicit Account(const AccountInfo& info);
    ~Account();
    Account(const Account&) = delete;
    Account& operator=(const Account&) = delete;

    // Unique within the run and never reused: reports name their account by
    // it, so that a report about an account removed meanwhile finds none.
    uint32_t id() const { return id_; }

    // The live state. The worker, the monitor and the transport change it
    // through the setters below; a window reads it only as status().
    AccountStatus status() const;
    AccountState state() const;
    void setState(AccountState state);
    uint32_t lastError() const;
    void setLastError(uint32_t id);
    std::string errorText() const;
    // Replaces the error text (a refused answer, what a closing server sent).
    void setErrorText(const std::string& text);
    void clearErrorText();
    // lastError, errorText and refusedCertificate cleared: a new attempt begins.
    void clearError();
    void setRefusedCertificate(const std::string& fingerprint);
    // Records a reported error: `id` becomes lastError, and `text` the error
    // text unless one is there already (the first error of a check stays).
    // Returns the error text as it now is.
    std::string recordError(uint32_t id, const std::string& text);
    int64_t lastCheck() const;
    void setLastCheck(int64_t t);
    bool neverChecked() const;
    // Counts as presented: 0 until the first good check.
    uint32_t messageCount() const;
    uint32_t unreadCount() const;
    void setUnreadCount(uint32_t n);  // the messages view recounts

    // Worker-only: the resolved server address, valid while `resolved`.
    SocketAddress address;
    bool resolved = false;
    // Worker-only: the unique ids of `messages`, for the checks that use them.
    HeaderCache headerCache;

    MessageList messages;  // the last good check
    // The read-marks file's entries until the first good check replaces them
    // (read, written and cleared like `messages`, under its lock).
    std::vector<SavedMark> savedMarks;
    // The read-marks file is there but could not be read: this run never
    // replaces it, so that the marks it holds are not lost.
    bool keepMarksFile = false;
    // The list as presented: empty until the first good check.
    const MessageList& currentMessages() const;

    // These read `messages`: hold its lock unless on the worker's own thread.
    uint32_t countMarked() const;  // messages marked for deletion
    uint64_t totalSize() const;    // sum of the listed sizes
    void markAllRead();
    // Replaces the list by a check's result and recounts (the list's lock
    // held). The header cache names the messages of `list` by `headers`.
    void replaceMessages(MessageList&& list, std::vector<HeaderCache::Entry>&& headers = {});
    // Counts the replacements of the list (read with its lock held): a view
    // that indexes the list knows when to index it again.
    uint64_t generation() const { return generation_; }
    // Opens `path` with the shell's default verb (nothing when empty).
    void launch(const std::string& path) const;

    // The lock around `messages`. The worker waits without limit; the user
    // interface at most 10 s, and may take it again while it holds it.
    void lockMessages() { lock_.lock(); }
    bool tryLockMessages() { return lock_.try_lock_for(std::chrono::seconds(10)); }
    void unlockMessages() { lock_.unlock(); }
    // The worker's wait for the lock: in short steps, asking `stopped`
    // between them; false when the stop came first.
    template <class Stopped>
    bool lockMessagesUnless(Stopped stopped) {
        while (!lock_.try_lock_for(std::chrono::milliseconds(50)))
            if (stopped()) return false;
        return true;
    }

    // The worker thread with its stop request; null while none was made.
    std::shared_ptr<AccountWorker> worker;

private:
    template <class T>
    T get(T AccountStatus::*field) const {
        std::lock_guard<std::mutex> hold(statusLock_);
        return status_.*field;
    }
    template <class T>
    void set(T AccountStatus::*field, T value) {
        std::lock_guard<std::mutex> hold(statusLock_);
        status_.*field = std::move(value);
    }

    const uint32_t id_;
    std::recursive_timed_mutex lock_;
    MessageList retired_;  // the list before the last check, which a view may still show
    uint64_t generation_ = 0;
    mutable std::mutex statusLock_;  // around status_, held for a few instructions only
    AccountStatus status_;           // counts as stored, not as presented
};

// Text of an account state, deletion mode or sort kind.
inline std::string stateText(AccountState s) { return formatMessage(static_cast<uint32_t>(s)); }
