#include "ui/AccountInput.h"

#include "core/MessageText.h"

bool parseNumber(std::string_view text, uint32_t min, uint32_t max, uint32_t& value) {
    text = trim(text);
    if (text.empty()) return false;
    uint64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<uint64_t>(c - '0');
        if (n > max) return false;
    }
    if (n < min) return false;
    value = static_cast<uint32_t>(n);
    return true;
}

uint32_t nameProblem(std::string_view name, const std::vector<std::string>& taken, NameEquals equals) {
    if (name.empty()) return MSG_FieldsRequired;
    // The name is a key below the accounts key: "\" would make it a path.
    if (name.find('\\') != std::string_view::npos) return MSG_NameBackslash;
    for (const std::string& other : taken)
        if (equals(other, name)) return MSG_NameTaken;
    return 0;
}

uint32_t serverProblem(std::string_view server) {
    if (server.empty()) return MSG_FieldsRequired;
    // The account file keeps the server after the last "@" of the account
    // address and before its first "/".
    if (server.find_first_of("@/") != std::string_view::npos) return MSG_ServerChars;
    return 0;
}

uint32_t loginProblem(std::string_view user, std::string_view password) {
    if (user.empty() || password.empty()) return MSG_FieldsRequired;
    // Sent as command arguments: a line break would end the command there and
    // start another.
    constexpr std::string_view breaks("\r\n\0", 3);
    if (user.find_first_of(breaks) != std::string_view::npos || password.find_first_of(breaks) != std::string_view::npos)
        return MSG_LoginLineBreak;
    // The account address ends the user name at its first ":".
    if (user.find(':') != std::string_view::npos) return MSG_UserColon;
    return 0;
}

uint32_t formProblem(const AccountForm& form, const std::vector<std::string>& taken, NameEquals equals) {
    for (const std::string* field : {&form.name, &form.server, &form.user, &form.password, &form.port, &form.interval,
                                     &form.timeout, &form.lines})
        if (field->empty()) return MSG_FieldsRequired;
    if (form.checkMailboxSize && form.launchFile.empty()) return MSG_FieldsRequired;
    if (uint32_t problem = nameProblem(form.name, taken, equals)) return problem;
    if (uint32_t problem = serverProblem(form.server)) return problem;
    if (uint32_t problem = loginProblem(form.user, form.password)) return problem;
    uint32_t n = 0;
    if (!parseNumber(form.port, 1, kMaxPort, n)) return MSG_PortRange;
    if (!parseNumber(form.interval, 1, kMaxSeconds, n)) return MSG_IntervalRange;
    if (!parseNumber(form.timeout, 1, kMaxSeconds, n)) return MSG_TimeoutRange;
    if (!parseNumber(form.lines, 0, kMaxLines, n)) return MSG_LinesRange;
    if (form.checkMailboxSize && !parseNumber(form.bound, 0, kMaxBoundKb, n)) return MSG_BoundRange;
    return 0;
}

AccountForm formOf(const AccountInfo& info, const AccountOptions& options) {
    AccountForm form;
    form.name = info.name;
    form.server = info.server;
    form.user = info.user;
    form.password = info.password;
    form.port = std::to_string(info.port);
    form.interval = std::to_string(options.checkInterval);
    form.timeout = std::to_string(options.checkTimeout);
    form.lines = std::to_string(options.msgLinesNum);
    form.checkMailboxSize = options.checkMailboxSize;
    form.bound = std::to_string(options.mailboxBound / 1024);
    form.launchFile = options.launchFile;
    return form;
}

void applyForm(const AccountForm& form, AccountInfo& info, AccountOptions& options) {
    info.name = form.name;
    info.server = form.server;
    info.user = form.user;
    info.password = form.password;
    parseNumber(form.port, 1, kMaxPort, info.port);
    parseNumber(form.interval, 1, kMaxSeconds, options.checkInterval);
    parseNumber(form.timeout, 1, kMaxSeconds, options.checkTimeout);
    parseNumber(form.lines, 0, kMaxLines, options.msgLinesNum);
    options.checkMailboxSize = form.checkMailboxSize;
    uint32_t kb = 0;
    if (form.checkMailboxSize && parseNumber(form.bound, 0, kMaxBoundKb, kb)) {
        options.mailboxBound = kb * 1024;
        options.launchFile = form.launchFile;
    } else {
        options.mailboxBound = 0;
        options.launchFile.clear();
    }
}

uint32_t portForSecurity(SecureConnection mode, uint32_t port) {
    constexpr uint32_t kPlain = 110, kTls = 995;
    if (mode == SecureConnection::Tls) return port == kPlain ? kTls : port;
    return port == kTls ? kPlain : port;
}
