#include "mail/AccountStore.h"

#include "core/EventLog.h"
#include "core/FieldFile.h"
#include "core/FileIO.h"
#include "core/MessageText.h"
#include "core/ProductKey.h"
#include "core/Registry.h"
#include "core/Url.h"
#include "core/UserMessage.h"
#include "mail/MessageState.h"

namespace {

constexpr uint32_t kErrorHandleEof = 38;  // ERROR_HANDLE_EOF: what a short read of the file reports
constexpr uint8_t kUrlKey[4] = {0xD5, 0x62, 0x9E, 0x3B};  // 0x3B9E62D5, little-endian

std::string scramble(std::string text) {
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(text[i] ^ kUrlKey[i % 4]);
    return text;
}

void logUnexpected(int site) {
    eventLog().log("%s %s,%d.", formatMessage(MSG_UnexpectedError).c_str(), kAccountModule, site);
}

// Stored values outside what the account dialog allows (a time-out of 0
// would never end a check) are brought into range for this run; the stored
// value stays until the account is saved.
void keepInRange(const Account& account, const char* what, uint32_t& value, uint32_t low, uint32_t high) {
    if (value >= low && value <= high) return;
    uint32_t fixed = value < low ? low : high;
    eventLog().log("Account %s: stored %s %u is out of range; %u is used", account.name.c_str(), what, value, fixed);
    value = fixed;
}

bool knownDeletionMode(uint32_t v) {
    switch (static_cast<DeletionMode>(v)) {
    case DeletionMode::AutoFiltered:
    case DeletionMode::Without:
    case DeletionMode::With:
    case DeletionMode::None:
        return true;
    }
    return false;
}

// A stored mode this version does not know is taken as TLS: an account must
// never fall back to sending its password in the clear.
SecureConnection secureConnectionOf(uint32_t v) {
    switch (static_cast<SecureConnection>(v)) {
    case SecureConnection::None:
    case SecureConnection::Stls:
        return static_cast<SecureConnection>(v);
    default:
        return SecureConnection::Tls;
    }
}

}  // namespace

void saveRecord(const Account& account, FieldWriter& file) {
    Url url("pop3", account.user, account.password, account.server, "/");
    file.putString(account.name);
    file.putString(scramble(url.url()));
    file.putU32(account.port);
    file.putU32(account.checkInterval);
    file.putU32(account.checkTimeout);
}

namespace {

// One record as stored, before its URL is split: reading many records that
// are not wanted costs no account each.
struct StoredRecord {
    std::string name, url;
    uint32_t port = 0, interval = 0, timeout = 0;
};

bool readRecord(FieldReader& file, StoredRecord& r) {
    file.readString(r.name);
    file.readString(r.url);
    file.readU32(r.port);
    file.readU32(r.interval);
    file.readU32(r.timeout);
    if (!file.failed()) return true;
    // A damaged string has shown its own box already.
    if (file.failure() == FieldReader::Failure::Truncated) showUserMessage(kErrorHandleEof);
    return false;
}

void applyRecord(const StoredRecord& r, std::string_view magic, Account& account) {
    std::string text = magic == kAccountFileMagicOld ? r.url : scramble(r.url);
    Url url(text);
    std::string server = url.host();
    if (url.user().empty() && server.empty()) {
        // An account without a user is stored as "pop3://server/", which the
        // splitting gives up on before the host; keep its server anyway.
        size_t start = text.find("://");
        if (start != std::string::npos) {
            std::string_view rest = std::string_view(text).substr(start + 3);
            size_t slash = rest.find('/');
            if (rest.find(':') == std::string_view::npos && slash != std::string_view::npos)
                server = rest.substr(0, slash);
        }
    }
    account.name = r.name;
    account.server = std::move(server);
    account.user = url.user();
    account.password = url.password();
    account.port = r.port;
    account.checkInterval = r.interval;
    account.checkTimeout = r.timeout;
    keepInRange(account, "port", account.port, 1, kMaxPort);
    keepInRange(account, "check interval", account.checkInterval, 1, kMaxSeconds);
    keepInRange(account, "time-out", account.checkTimeout, 1, kMaxSeconds);
}

}  // namespace

bool loadRecord(Account& account, FieldReader& file, std::string_view magic) {
    StoredRecord r;
    if (!readRecord(file, r)) return false;
    applyRecord(r, magic, account);
    return true;
}

bool saveAccounts(const AccountList& accounts, const std::string& dir) {
    try {
        FieldWriter file(static_cast<uint32_t>(accounts.size()));
        for (const auto& account : accounts) saveRecord(*account, file);
        uint32_t error = 0;
        if (writeFileAtomically(dir + kAccountFileName, file.bytes(), &error)) return true;
        reportSystemError(error, "cannot write " + dir + kAccountFileName, kAccountModule);
    } catch (...) {
        logUnexpected(1);
    }
    return false;
}

namespace {

// Calls `take` with every record of an account file's bytes until it returns
// false; returns and reports as parseAccountFile does.
template <class Take>
bool forEachRecord(std::string_view data, bool& dirty, Take take) {
    if (data.size() < 4) return false;
    FieldReader file(data, kAccountModule);
    std::string magic;
    uint32_t count = 0;
    if (!file.readHeader(magic, count)) {
        magic = data.substr(0, 4);
        if (magic == kFieldFileMagic || magic == kAccountFileMagicOld) showUserMessage(kErrorHandleEof);
        return false;
    }
    if (magic == kAccountFileMagicOld) dirty = true;
    else if (magic != kFieldFileMagic) return false;
    // The count is not trusted: every record is read from the bytes present.
    StoredRecord record;
    for (uint32_t i = 0; i < count; ++i) {
        if (!readRecord(file, record)) return false;
        if (!take(record, magic)) return true;
    }
    return true;
}

// The account file's bytes; false when there is none or it cannot be read,
// which is reported unless the file is simply missing.
bool readAccountFile(const std::string& dir, std::string& data, bool* unreadable) {
    std::string path = dir + kAccountFileName;
    uint32_t error = 0;
    if (readWholeFile(path, data, kMaxDataFileBytes, &error)) return true;
    if (error == kMissingFileError) return false;
    if (unreadable) *unreadable = true;
    if (error == kFileTooLargeError) {
        eventLog().log("Error: cannot read %s: larger than %u bytes", path.c_str(), static_cast<unsigned>(kMaxDataFileBytes));
        showUserMessage(MSG_DataFileTooLarge, {path});
    } else {
        reportSystemError(error, "cannot read " + path, kAccountModule);
    }
    return false;
}

}  // namespace

bool parseAccountFile(std::string_view data, AccountList& accounts, bool& dirty) {
    return forEachRecord(data, dirty, [&](const StoredRecord& r, const std::string& magic) {
        accounts.push_back(std::make_unique<Account>());
        applyRecord(r, magic, *accounts.back());
        return true;
    });
}

bool loadAccounts(AccountList& accounts, bool& dirty, const std::string& dir, bool* unreadable) {
    size_t first = accounts.size();
    bool ok = false;
    try {
        std::string data;
        if (!readAccountFile(dir, data, unreadable)) return false;
        ok = parseAccountFile(data, accounts, dirty);
    } catch (...) {
        logUnexpected(2);
    }
    for (size_t i = first; i < accounts.size(); ++i) loadMessageState(*accounts[i], dir);
    return ok;
}

std::string optionsKeyPath(const std::string& accountName) {
    if (accountName.empty()) return {};
    return std::string(kAccountsKey) + "\\" + accountName;
}

void saveOptions(Registry& registry, const Account& account) {
    try {
        std::string path = optionsKeyPath(account.name);
        if (path.empty()) return;
        RegKey key;
        if (!key.openForWriting(registry, kRegCurrentUser, path)) return;
        key.writeNumber("DisableChecking", account.state() == AccountState::Disabled);
        key.writeString("SoundFile", account.soundFile);
        key.writeNumber("MsgDeletion", static_cast<uint32_t>(account.msgDeletion));
        key.writeNumber("SecureAuth", account.secureAuth);
        key.writeNumber("MsgLinesNum", account.msgLinesNum);
        key.writeNumber("CheckMailboxSize", account.checkMailboxSize);
        key.writeNumber("MailboxBound", account.mailboxBound);
        key.writeString("LaunchFile", account.launchFile);
        key.writeNumber("SortKind", account.sortKind);
        key.writeNumber("SortOrder", account.sortOrder);
        key.writeNumber("CheckOnlyManually", account.checkOnlyManually);
        key.writeNumber("SecureConnection", static_cast<uint32_t>(account.secureConnection));
        key.writeString("TrustedCertificate", account.trustedCertificate);
    } catch (...) {
        logUnexpected(3);
    }
}

void loadOptions(Registry& registry, Account& account, const std::string& defaultSoundFile) {
    try {
        RegKey key;
        std::string path = optionsKeyPath(account.name);
        if (!path.empty() && key.open(registry, kRegCurrentUser, path, RegAccess::Read)) {
            uint32_t v;
            bool flag = false;
            if (key.readFlag("DisableChecking", flag, FlagRule::NonZeroIsTrue) && flag)
                account.setState(AccountState::Disabled);
            key.readString("SoundFile", account.soundFile);
            // An unknown mode would act as none and show no text.
            if (key.readNumber("MsgDeletion", v) && knownDeletionMode(v)) account.msgDeletion = static_cast<DeletionMode>(v);
            key.readFlag("SecureAuth", account.secureAuth, FlagRule::NonZeroIsTrue);
            key.readNumber("MsgLinesNum", account.msgLinesNum);
            keepInRange(account, "lines", account.msgLinesNum, 0, kMaxLines);
            key.readFlag("CheckMailboxSize", account.checkMailboxSize, FlagRule::NonZeroIsTrue);
            key.readNumber("MailboxBound", account.mailboxBound);
            keepInRange(account, "mailbox bound", account.mailboxBound, 0, kMaxBoundKb * 1024);
            key.readString("LaunchFile", account.launchFile);
            key.readNumber("SortKind", account.sortKind);
            key.readNumber("SortOrder", account.sortOrder);
            key.readFlag("CheckOnlyManually", account.checkOnlyManually, FlagRule::NonZeroIsTrue);
            if (key.readNumber("SecureConnection", v)) account.secureConnection = secureConnectionOf(v);
            key.readString("TrustedCertificate", account.trustedCertificate);
        }
        if (account.soundFile.empty()) account.soundFile = defaultSoundFile;
    } catch (...) {
        logUnexpected(4);
    }
}

bool deleteOptions(Registry& registry, const std::string& accountName) {
    std::string path = optionsKeyPath(accountName);
    if (path.empty()) return false;
    uint32_t rc = registry.deleteKey(kRegCurrentUser, path);
    return rc == kRegOk || rc == kRegFileNotFound;
}

bool loadAccountSet(Registry& registry, AccountList& accounts, bool& dirty, const std::string& defaultSoundFile,
                    const std::string& dir, bool* unreadable) {
    size_t first = accounts.size();
    bool ok = loadAccounts(accounts, dirty, dir, unreadable);
    for (size_t i = first; i < accounts.size(); ++i) loadOptions(registry, *accounts[i], defaultSoundFile);
    return ok;
}

std::unique_ptr<Account> loadAccountNamed(Registry& registry, const std::string& name,
                                          const std::string& defaultSoundFile, const std::string& dir,
                                          bool* unreadable) {
    std::unique_ptr<Account> account;
    try {
        std::string data;
        bool dirty = false;
        if (!readAccountFile(dir, data, unreadable)) return nullptr;
        // Only the account asked for is made, with its marks and options.
        forEachRecord(data, dirty, [&](const StoredRecord& r, const std::string& magic) {
            if (r.name != name) return true;
            account = std::make_unique<Account>();
            applyRecord(r, magic, *account);
            return false;
        });
    } catch (...) {
        logUnexpected(2);
    }
    if (!account) return nullptr;
    loadMessageState(*account, dir);
    loadOptions(registry, *account, defaultSoundFile);
    return account;
}
