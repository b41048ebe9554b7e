// kxcheck: checks one POP3 mailbox from the command line and prints what the
// checker would see, one message per line (see Usage). Other programs and
// our own tests rely on the output format: change it only additively.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/EventLog.h"
#include "core/FileIO.h"
#include "core/Platform.h"
#include "core/MessageText.h"
#include "core/ProductKey.h"
#include "core/Registry.h"
#include "core/UserMessage.h"
#include "filter/FilterSet.h"
#include "framework/MessageBox.h"
#include "core/WinHandle.h"
#include "mail/Account.h"
#include "mail/AccountCheck.h"
#include "mail/AccountStore.h"
#include "mail/CheckMonitor.h"
#include "mail/InternetConnection.h"
#include "mail/MessageState.h"
#include "mail/TlsStream.h"
#include "mail/TlsTrust.h"
#include "mail/WinSocketStream.h"
#include "message/Message.h"

namespace {

const char kUsage[] =
    "usage: kxcheck --server HOST [--port N] --user USER --password PASS [--no-apop]\n"
    "               [--tls | --starttls] [--trust SHA256]\n"
    "               [--lines N] [--deletion auto|without|with|none] [--data DIR] [--log]\n"
    "       kxcheck --account NAME --data DIR [any option above]\n"
    "       kxcheck --watch SECONDS --data DIR [--log]\n"
    "\n"
    "Checks one POP3 mailbox as the checker does and prints one line per message:\n"
    "crc, marks (R read, D deleted, U uncertain, F friend, S spammer), priority,\n"
    "size, size text, UTC time, from, subject, to, attachments, filter reason,\n"
    "separated by tabs. Exit status: 0 checked, 1 the check failed, 2 bad arguments\n"
    "(or no account NAME, or none at all for --watch, in DIR).\n"
    "\n"
    "--tls speaks TLS from the first byte (the port defaults to 995), --starttls\n"
    "asks for STLS on the POP3 port before logging in and fails when the server\n"
    "does not offer it. The server's certificate must pass the system's checks for\n"
    "HOST, or have the SHA-256 fingerprint given with --trust (hex; colons and case\n"
    "do not matter). A refused certificate is named by its fingerprint on stderr.\n"
    "\n"
    "With --account the mailbox is the checker's account NAME: its server, login,\n"
    "port and time-out from DIR's kestrix.dat, its options from the registry\n"
    "(HKCU\\SOFTWARE\\Kestrix, Inc.\\Kestrix\\Accounts\\NAME); options given here\n"
    "override those. Its read marks are taken from DIR before the check and\n"
    "written back after a good one.\n"
    "\n"
    "With --watch every account of DIR is checked on its own worker, as the checker\n"
    "does, for SECONDS; each change of an account's state prints a line \"state\",\n"
    "name, state, message count and unread count, separated by tabs. Then the\n"
    "workers stop as at exit and the read marks are written.\n";

struct Options {
    AccountInfo info;
    uint32_t lines = 99;
    DeletionMode deletion = DeletionMode::None;
    std::string dataDir;
    std::string account;  // with --account
    bool useAccount = false;
    uint32_t watchSeconds = 0;  // with --watch
    bool watch = false;
    bool log = false;
    // What the command line gave, to override an account's stored values.
    bool serverGiven = false, portGiven = false, userGiven = false, passwordGiven = false;
    bool noApop = false, linesGiven = false, deletionGiven = false;
    bool secureGiven = false, trustGiven = false;
};

HANDLE gStop;

// A number of the checker's settings, read without the rest of them (whose
// saving at exit belongs to the checker).
uint32_t setting(const char* name, uint32_t missing) {
    RegKey key;
    uint32_t value = missing;
    if (key.open(systemRegistry(), kRegCurrentUser, kSettingsKey, RegAccess::Read)) key.readNumber(name, value);
    return value;
}

// InetConnectionType 1 in the registry means LAN.
bool useModem() { return setting("InetConnectionType", 1) != 1; }
bool dontCalcDeletedSetting() { return setting("DontCalcDeleted", 0) == 1; }

// The filters of the data folder, when given, and the DontCalcDeleted
// setting. Deletions are never confirmed here: nobody is asked.
class ToolPolicy : public CheckPolicy {
public:
    ToolPolicy(FilterSet* filters, bool launches) : filters_(filters), launches_(launches) {}
    void evaluate(Message& message) override {
        if (filters_) filters_->evaluate(message);
    }
    bool dontCalcDeleted() const override { return dontCalcDeleted_; }
    void mailboxOverBound(Account& account) override {
        if (launches_) CheckPolicy::mailboxOverBound(account);
    }

private:
    FilterSet* filters_;
    bool launches_;  // a watch acts as the checker; one check only looks
    bool dontCalcDeleted_ = dontCalcDeletedSetting();
};

// The one-shot check's gate and waits: a server silent for the account's
// time-out ends the check as the checker's monitor would, and Ctrl+C ends
// every wait.
class OneCheckGate : public CheckGate, public CheckWait {
public:
    explicit OneCheckGate(uint32_t timeoutSeconds) : timeoutMs_(uint64_t{timeoutSeconds} * 1000) {}
    ~OneCheckGate() override { stopWatchdog(); }

    bool begin(Account&) override {
        renew();
        if (timeoutMs_ && done_) watchdog_.start(watch, this);
        return true;
    }
    void end(Account&) override { stopWatchdog(); }
    void touch(Account&) override { renew(); }
    bool silenced(const Account&) const override { return silent_; }

    bool pause(unsigned ms) override { return WaitForSingleObject(gStop, ms) == WAIT_TIMEOUT; }
    void* stopEvent() const override { return gStop; }
    void keepAlive() override { renew(); }

private:
    void renew() { deadline_ = GetTickCount64() + timeoutMs_; }
    void stopWatchdog() {
        done_.signal();
        watchdog_.wait();
        watchdog_.close();
    }
    static DWORD WINAPI watch(void* p) {
        auto& self = *static_cast<OneCheckGate*>(p);
        for (;;) {
            uint64_t now = GetTickCount64(), deadline = self.deadline_;
            if (now >= deadline) {
                self.silent_ = true;
                SetEvent(gStop);
                return 0;
            }
            if (self.done_.wait(static_cast<DWORD>(std::min<uint64_t>(deadline - now, 0x7fffffff)))) return 0;
        }
    }

    const uint64_t timeoutMs_;
    std::atomic<uint64_t> deadline_{0};
    std::atomic<bool> silent_{false};
    Event done_;
    Thread watchdog_;
};

BOOL WINAPI onConsoleControl(DWORD) {
    SetEvent(gStop);  // Ctrl+C ends the waits; the check ends as if stopped
    return TRUE;
}

bool parseNumber(const char* text, uint32_t max, uint32_t& out) {
    char* end = nullptr;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (!*text || *end || v > max || text[0] == '-') return false;
    out = static_cast<uint32_t>(v);
    return true;
}

bool parseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto take = [&]() { ++i; return value; };
        if (a == "--no-apop") {
            o.info.secureAuth = false;
            o.noApop = true;
        } else if (a == "--log") {
            o.log = true;
        } else if (a == "--tls" || a == "--starttls") {
            SecureConnection mode = a == "--tls" ? SecureConnection::Tls : SecureConnection::Stls;
            if (o.secureGiven && o.info.secureConnection != mode) return false;
            o.info.secureConnection = mode;
            o.secureGiven = true;
        } else if (!value) {
            return false;
        } else if (a == "--trust") {
            Sha256Digest digest;
            if (!parseFingerprint(take(), digest)) return false;
            o.info.trustedCertificate = fingerprintHex(digest);
            o.trustGiven = true;
        } else if (a == "--server") {
            o.info.server = take();
            o.serverGiven = true;
        } else if (a == "--port") {
            if (!parseNumber(take(), 65535, o.info.port) || o.info.port == 0) return false;
            o.portGiven = true;
        } else if (a == "--user") {
            o.info.user = take();
            o.userGiven = true;
        } else if (a == "--password") {
            o.info.password = take();
            o.passwordGiven = true;
        } else if (a == "--lines") {
            if (!parseNumber(take(), 0x7fffffff, o.lines)) return false;
            o.linesGiven = true;
        } else if (a == "--deletion") {
            std::string m = take();
            if (m == "auto") o.deletion = DeletionMode::AutoFiltered;
            else if (m == "without") o.deletion = DeletionMode::Without;
            else if (m == "with") o.deletion = DeletionMode::With;
            else if (m == "none") o.deletion = DeletionMode::None;
            else return false;
            o.deletionGiven = true;
        } else if (a == "--account") {
            o.account = take();
            o.useAccount = true;
        } else if (a == "--watch") {
            if (!parseNumber(take(), 0x7fffffff / 1000, o.watchSeconds)) return false;
            o.watch = true;
        } else if (a == "--data") {
            o.dataDir = take();
        } else {
            return false;
        }
    }
    // TLS has a port of its own.
    if (o.info.secureConnection == SecureConnection::Tls && !o.portGiven) o.info.port = 995;
    if (o.watch) return !o.dataDir.empty() && !o.useAccount;
    if (o.useAccount) return !o.dataDir.empty() && !(o.serverGiven && o.info.server.empty());
    return o.serverGiven && o.userGiven && o.passwordGiven && !o.info.server.empty();
}

// The account's stored values, with what the command line gave instead.
void applyOverrides(const Options& o, Account& account) {
    if (o.serverGiven) account.server = o.info.server;
    if (o.portGiven) account.port = o.info.port;
    if (o.userGiven) account.user = o.info.user;
    if (o.passwordGiven) account.password = o.info.password;
    if (o.noApop) account.secureAuth = false;
    if (o.secureGiven && !o.portGiven && o.info.secureConnection == SecureConnection::Tls &&
        account.secureConnection != SecureConnection::Tls)
        account.port = 995;
    if (o.secureGiven) account.secureConnection = o.info.secureConnection;
    if (o.trustGiven) account.trustedCertificate = o.info.trustedCertificate;
    if (o.linesGiven) account.msgLinesNum = o.lines;
    if (o.deletionGiven) account.msgDeletion = o.deletion;
}

// What a server or a message holds reaches the terminal as text: every
// control byte (the separators of the output, line ends, escape sequences)
// shows as a blank.
std::string field(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return text;
}

// Error boxes of the loaders (a damaged file) go to stderr like every box.
void showOnConsole(uint32_t id, const std::vector<std::string>& inserts) {
    std::string text = inserts.empty()     ? formatMessage(id)
                       : inserts.size() == 1 ? formatMessage(id, {inserts[0]})
                                             : formatMessage(id, {inserts[0], inserts[1]});
    showTextBox(nullptr, field(text), MB_OK);
}

void echoLogLine(const std::string& line) {
    bool ended = !line.empty() && line.back() == '\n';
    std::string shown = field(ended ? line.substr(0, line.size() - 1) : line) + (ended ? "\n" : "");
    std::fputs(shown.c_str(), stderr);
    std::fflush(stderr);
}

std::string utcTime(int64_t t) {
    tm parts{};
    __time64_t v = t;
    if (_gmtime64_s(&parts, &v) != 0) return "?";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return buf;
}

std::string marks(const Message& m) {
    std::string s;
    if (m.read()) s += 'R';
    if (m.deleted()) s += 'D';
    if (m.uncertain()) s += 'U';
    if (m.isFriend()) s += 'F';
    if (m.spammer()) s += 'S';
    return s.empty() ? "-" : s;
}

// The reports of the watched accounts, one line each.
class WatchObserver : public CheckObserver {
public:
    explicit WatchObserver(const AccountList& accounts) : accounts_(accounts) {}
    void accountChanged(uint32_t id, const AccountStatus& status) override {
        std::lock_guard<std::mutex> hold(lock_);
        for (const auto& a : accounts_) {
            if (a->id() != id) continue;
            std::printf("state\t%s\t%s\t%u\t%u\n", field(a->name).c_str(), stateText(status.state).c_str(),
                        status.messageCount, status.unreadCount);
            std::fflush(stdout);
        }
    }

private:
    const AccountList& accounts_;
    std::mutex lock_;
};

// Every account of the data folder on its own worker for `seconds`.
int watch(uint32_t seconds, FilterSet& filters) {
    AccountList accounts;
    bool dirty = false, unreadable = false;
    loadAccountSet(systemRegistry(), accounts, dirty, programDirectory() + "kestrix.wav", programDirectory(),
                   &unreadable);
    if (unreadable) {
        std::fprintf(stderr, "kxcheck: cannot read %s%s\n", field(programDirectory()).c_str(), kAccountFileName);
        return 2;
    }
    if (accounts.empty()) {
        std::fprintf(stderr, "kxcheck: no accounts in %s%s\n", programDirectory().c_str(), kAccountFileName);
        return 2;
    }
    WatchObserver observer(accounts);
    ToolPolicy policy(&filters, true);
    InternetConnection connection(systemDialer(), useModem);
    CheckMonitor monitor(observer, policy, connection);
    for (auto& a : accounts) monitor.addAccount(*a);
    if (!monitor.startMonitor()) {
        std::fputs("kxcheck: the check monitor could not be started\n", stderr);
        return 1;
    }
    WaitForSingleObject(gStop, seconds * 1000);  // Ctrl+C ends the watch early
    monitor.stopAllWorkers();
    monitor.stopMonitorThread();
    for (auto& a : accounts) saveMessageState(*a);
    return 0;
}

void printMessage(const Message& m) {
    std::string attachments;
    for (const std::string& name : m.attachmentNames()) {
        if (!attachments.empty()) attachments += '|';
        attachments += name;
    }
    std::printf("%x\t%s\t%d\t%d\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", m.crc(), marks(m).c_str(), m.priority(), m.size(),
                field(m.sizeText()).c_str(), utcTime(m.time()).c_str(), field(m.from()).c_str(),
                field(m.subject()).c_str(), field(m.to()).c_str(), field(attachments).c_str(),
                field(m.filterReason()).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    setMessageBoxToConsole(true);
    // Lines end in LF alone, on stdout as documented and in the echoed log.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    Options o;
    if (argc == 2 && !std::strcmp(argv[1], "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!parseArgs(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (o.log) eventLog().setSink(echoLogLine);
    if (!o.dataDir.empty()) overrideProgramDirectory(o.dataDir);
    setUserMessageHandler(showOnConsole);
    // What a killed write left; a watch or the checker beside us keeps its own.
    if (o.watch || o.useAccount) removeStaleTemporaryFiles(programDirectory());

    Event stop;
    gStop = stop.get();
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
    if (o.watch) {
        FilterSet filters(systemRegistry(), nullptr, programDirectory());
        return watch(o.watchSeconds, filters);
    }

    std::unique_ptr<Account> account;
    if (o.useAccount) {
        bool unreadable = false;
        account = loadAccountNamed(systemRegistry(), o.account, programDirectory() + "kestrix.wav", programDirectory(),
                                   &unreadable);
        if (unreadable) {
            std::fprintf(stderr, "kxcheck: cannot read %s%s\n", field(programDirectory()).c_str(), kAccountFileName);
            return 2;
        }
        if (!account) {
            std::fprintf(stderr, "kxcheck: no account \"%s\" in %s%s\n", field(o.account).c_str(),
                         field(programDirectory()).c_str(), kAccountFileName);
            return 2;
        }
        applyOverrides(o, *account);
        eventLog().log("Account %s: server=%s port=%u user=%s interval=%u timeout=%u lines=%u apop=%s marks=%u secure=%u",
                       account->name.c_str(), account->server.c_str(), account->port, account->user.c_str(),
                       account->checkInterval, account->checkTimeout, account->msgLinesNum,
                       account->secureAuth ? "yes" : "no", static_cast<unsigned>(account->savedMarks.size()),
                       static_cast<unsigned>(account->secureConnection));
    } else {
        account = std::make_unique<Account>(o.info);
        account->name = o.info.user + "@" + o.info.server;
        account->msgLinesNum = o.lines;
        account->msgDeletion = o.deletion;
    }

    SocketsLibrary sockets;

    std::unique_ptr<FilterSet> filters;
    if (!o.dataDir.empty()) filters = std::make_unique<FilterSet>(systemRegistry(), nullptr, programDirectory());
    ToolPolicy policy(filters.get(), false);
    OneCheckGate gate(account->checkTimeout);
    CheckObserver nobody;
    std::unique_ptr<ByteStream> stream = openAccountStream(*account, gStop);
    AccountCheck check(*account, *stream, gate, policy, nobody, gate);
    if (!check.run()) {
        AccountStatus status = account->status();
        if (gate.silenced(*account) && status.lastError != MSG_AnswerTooSlow)
            std::fprintf(stderr, "kxcheck: the server was silent for %u seconds\n", account->checkTimeout);
        else
            std::fprintf(stderr, "kxcheck: %s\n", status.errorText.empty() ? "the check failed" : field(status.errorText).c_str());
        if (!status.refusedCertificate.empty())
            std::fprintf(stderr, "kxcheck: refused certificate SHA-256 %s (to trust it: --trust %s)\n",
                         status.refusedCertificate.c_str(), status.refusedCertificate.c_str());
        return 1;
    }
    // The saved marks have passed on; the file now holds this check's.
    if (o.useAccount) saveMessageState(*account);
    for (const auto& m : account->messages) printMessage(*m);
    std::fflush(stdout);
    return 0;
}
