// kxcheck: checks one POP3 mailbox from the command line and prints what the
// checker would see, one message per line (see Usage). Other programs and
// our own tests rely on the output format: change it only additively.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "core/EventLog.h"
#include "core/Platform.h"
#include "core/Registry.h"
#include "filter/FilterSet.h"
#include "framework/MessageBox.h"
#include "mail/Account.h"
#include "mail/Pop3Session.h"
#include "mail/Transport.h"
#include "mail/WinSocketStream.h"
#include "message/Message.h"

namespace {

const char kUsage[] =
    "usage: kxcheck --server HOST [--port N] --user USER --password PASS [--no-apop]\n"
    "               [--lines N] [--deletion auto|without|with|none] [--data DIR] [--log]\n"
    "\n"
    "Checks one POP3 mailbox as the checker does and prints one line per message:\n"
    "crc, marks (R read, D deleted, U uncertain, F friend, S spammer), priority,\n"
    "size, size text, UTC time, from, subject, to, attachments, filter reason,\n"
    "separated by tabs. Exit status: 0 checked, 1 the check failed, 2 bad arguments.\n";

struct Options {
    AccountInfo info;
    bool portGiven = false;
    uint32_t lines = 99;
    DeletionMode deletion = DeletionMode::None;
    std::string dataDir;
    bool log = false;
};

HANDLE gStop;

// The filters of the data folder look at every fetched message.
class FilterHooks : public CheckHooks {
public:
    explicit FilterHooks(FilterSet& filters) : filters_(filters) {}
    void evaluate(Message& message) override { filters_.evaluate(message); }

private:
    FilterSet& filters_;
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
    bool server = false, user = false, password = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto take = [&]() { ++i; return value; };
        if (a == "--no-apop") {
            o.info.secureAuth = false;
        } else if (a == "--log") {
            o.log = true;
        } else if (!value) {
            return false;
        } else if (a == "--server") {
            o.info.server = take();
            server = true;
        } else if (a == "--port") {
            if (!parseNumber(take(), 65535, o.info.port) || o.info.port == 0) return false;
        } else if (a == "--user") {
            o.info.user = take();
            user = true;
        } else if (a == "--password") {
            o.info.password = take();
            password = true;
        } else if (a == "--lines") {
            if (!parseNumber(take(), 0x7fffffff, o.lines)) return false;
        } else if (a == "--deletion") {
            std::string m = take();
            if (m == "auto") o.deletion = DeletionMode::AutoFiltered;
            else if (m == "without") o.deletion = DeletionMode::Without;
            else if (m == "with") o.deletion = DeletionMode::With;
            else if (m == "none") o.deletion = DeletionMode::None;
            else return false;
        } else if (a == "--data") {
            o.dataDir = take();
        } else {
            return false;
        }
    }
    return server && user && password && !o.info.server.empty();
}

void echoLogLine(const std::string& line) {
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

// Fields never hold the separators of the output.
std::string field(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return text;
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

    gStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
    SocketsLibrary sockets;

    Account account(o.info);
    account.name = o.info.user + "@" + o.info.server;
    account.msgLinesNum = o.lines;
    account.msgDeletion = o.deletion;

    CheckHooks noFilters;
    std::unique_ptr<FilterSet> filters;
    std::unique_ptr<FilterHooks> filterHooks;
    if (!o.dataDir.empty()) {
        filters = std::make_unique<FilterSet>(systemRegistry(), nullptr, programDirectory());
        filterHooks = std::make_unique<FilterHooks>(*filters);
    }
    CheckHooks& hooks = filterHooks ? *filterHooks : noFilters;
    WinSocketStream stream(gStop);
    Transport transport(account, stream, hooks);
    Pop3Session session(account, transport, hooks, false);
    MessageList result;
    bool ok = transport.lookup() && session.connectAndLogin() && session.checkMailbox(result);
    if (ok) session.quit();
    else transport.closeConnection();

    if (!ok) {
        std::fprintf(stderr, "kxcheck: %s\n", account.errorText.empty() ? "the check failed" : account.errorText.c_str());
        return 1;
    }
    for (const auto& m : result) printMessage(*m);
    std::fflush(stdout);
    return 0;
}
