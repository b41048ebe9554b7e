#include <gtest/gtest.h>

#include <functional>

#include "core/MessageText.h"
#include "core/Url.h"
#include "ui/AccountInput.h"

namespace {

AccountForm goodForm() {
    AccountForm form;
    form.name = "Work";
    form.server = "pop.example.com";
    form.user = "ann@example.com";
    form.password = "p:a@ss";
    form.port = "110";
    form.interval = "300";
    form.timeout = "120";
    form.lines = "99";
    return form;
}

// Each range at its edges, and what "%d" would have read wrongly.
TEST(AccountInput, NumbersWithinTheirRanges) {
    const struct {
        const char* text;
        uint32_t min, max;
        bool taken;
        uint32_t value;
    } cases[] = {
        {"1", 1, kMaxPort, true, 1},         {"65535", 1, kMaxPort, true, 65535},
        {"0", 1, kMaxPort, false, 0},        {"65536", 1, kMaxPort, false, 0},
        {"70000", 1, kMaxPort, false, 0},    {" 995 ", 1, kMaxPort, true, 995},
        {"0", 0, kMaxLines, true, 0},        {"100000", 0, kMaxLines, true, 100000},
        {"100001", 0, kMaxLines, false, 0},  {"-1", 0, kMaxLines, false, 0},
        {"4294967295", 0, kMaxLines, false, 0},  // would wrap to -1 lines
        {"99999999999999999999999", 1, kMaxSeconds, false, 0},
        {"12abc", 1, kMaxSeconds, false, 0}, {"", 0, kMaxLines, false, 0},
        {"+5", 1, kMaxSeconds, false, 0},    {"4194303", 0, kMaxBoundKb, true, 4194303},
        {"4194304", 0, kMaxBoundKb, false, 0},  // times 1024 would wrap to 0
    };
    for (const auto& c : cases) {
        uint32_t value = 7;
        EXPECT_EQ(parseNumber(c.text, c.min, c.max, value), c.taken) << c.text;
        EXPECT_EQ(value, c.taken ? c.value : 7) << c.text;
    }
}

// One change to a good form and the reason it then gives (0: still taken).
TEST(AccountInput, WhatTheEditDialogRefuses) {
    using Change = std::function<void(AccountForm&)>;
    const std::vector<std::string> taken = {"Home", "Old"};
    const struct {
        const char* what;
        Change change;
        uint32_t problem;
    } cases[] = {
        {"nothing", [](AccountForm&) {}, 0},
        {"empty name", [](AccountForm& f) { f.name.clear(); }, MSG_FieldsRequired},
        {"empty server", [](AccountForm& f) { f.server.clear(); }, MSG_FieldsRequired},
        {"empty user", [](AccountForm& f) { f.user.clear(); }, MSG_FieldsRequired},
        {"empty password", [](AccountForm& f) { f.password.clear(); }, MSG_FieldsRequired},
        {"empty port", [](AccountForm& f) { f.port.clear(); }, MSG_FieldsRequired},
        {"empty interval", [](AccountForm& f) { f.interval.clear(); }, MSG_FieldsRequired},
        {"empty timeout", [](AccountForm& f) { f.timeout.clear(); }, MSG_FieldsRequired},
        {"empty lines", [](AccountForm& f) { f.lines.clear(); }, MSG_FieldsRequired},
        {"size checked, no file", [](AccountForm& f) { f.checkMailboxSize = true; f.bound = "5"; },
         MSG_FieldsRequired},
        {"size unchecked, bound not read", [](AccountForm& f) { f.bound = "x"; }, 0},
        {"size checked, bound over", [](AccountForm& f) { f.checkMailboxSize = true; f.launchFile = "a.bat";
                                                          f.bound = "4194304"; }, MSG_BoundRange},
        {"another's name in other case", [](AccountForm& f) { f.name = "HOME"; }, MSG_NameTaken},
        {"backslash in name", [](AccountForm& f) { f.name = "a\\b"; }, MSG_NameBackslash},
        {"@ in server", [](AccountForm& f) { f.server = "a@b"; }, MSG_ServerChars},
        {"/ in server", [](AccountForm& f) { f.server = "a/b"; }, MSG_ServerChars},
        {"LF in password", [](AccountForm& f) { f.password = "p\nDELE 1"; }, MSG_LoginLineBreak},
        {"CR in user", [](AccountForm& f) { f.user = "u\rx"; }, MSG_LoginLineBreak},
        {"NUL in password", [](AccountForm& f) { f.password = std::string("p\0q", 3); }, MSG_LoginLineBreak},
        {": in user", [](AccountForm& f) { f.user = "a:b"; }, MSG_UserColon},
        {"port 0", [](AccountForm& f) { f.port = "0"; }, MSG_PortRange},
        {"port 70000", [](AccountForm& f) { f.port = "70000"; }, MSG_PortRange},
        {"interval 0", [](AccountForm& f) { f.interval = "0"; }, MSG_IntervalRange},
        {"timeout 0", [](AccountForm& f) { f.timeout = "0"; }, MSG_TimeoutRange},
        {"lines over", [](AccountForm& f) { f.lines = "100001"; }, MSG_LinesRange},
        {"lines 0", [](AccountForm& f) { f.lines = "0"; }, 0},
    };
    for (const auto& c : cases) {
        AccountForm form = goodForm();
        c.change(form);
        EXPECT_EQ(formProblem(form, taken), c.problem) << c.what;
    }
}

// What the wizard and the dialog take must read back from the account file,
// which keeps user, password and server in one account address.
TEST(AccountInput, AcceptedLoginsReadBackFromTheAccountAddress) {
    const struct {
        const char* user;
        const char* password;
        const char* server;
    } cases[] = {
        {"ann@example.com", "secret", "pop.example.com"}, {"ann", "p@ss:w@rd", "host"},
        {"ann", "::", "[::1]"},                          {"a:b", "p", "host"},
        {"ann", "p", "x@host"},                          {"ann", "p", "host/path"},
        {"ann", "p", "host:110"},
    };
    for (const auto& c : cases) {
        bool accepted = loginProblem(c.user, c.password) == 0 && serverProblem(c.server) == 0;
        Url back(Url("pop3", c.user, c.password, c.server, "/").url());
        bool readsBack = back.user() == c.user && back.password() == c.password && back.host() == c.server;
        EXPECT_EQ(accepted, readsBack) << c.user << " " << c.password << " " << c.server;
    }
}

TEST(AccountInput, NamesAreFreeOfOtherAccountsAndOfBackslash) {
    const std::vector<std::string> taken = {"Work", "home"};
    EXPECT_EQ(nameProblem("work", taken), MSG_NameTaken);
    EXPECT_EQ(nameProblem("HOME", taken), MSG_NameTaken);
    EXPECT_EQ(nameProblem("Work2", taken), 0u);
    EXPECT_EQ(nameProblem("\\", {}), MSG_NameBackslash);
    EXPECT_EQ(nameProblem("", {}), MSG_FieldsRequired);
    // The comparison is the caller's: the program passes the system's.
    auto exact = [](std::string_view a, std::string_view b) { return a == b; };
    EXPECT_EQ(nameProblem("work", taken, exact), 0u);
}

TEST(AccountInput, TheFormWritesWhatItShows) {
    AccountInfo info;
    AccountOptions options;
    options.launchFile = "old.bat";
    options.mailboxBound = 5 * 1024 + 1000;  // shown as whole KB
    options.checkMailboxSize = true;
    AccountForm form = formOf(info, options);
    EXPECT_EQ(form.bound, "5");
    EXPECT_EQ(form.port, "110");

    form = goodForm();
    form.port = "995";
    form.lines = "0";
    form.checkMailboxSize = true;
    form.bound = "4194303";
    form.launchFile = "alert.bat";
    applyForm(form, info, options);
    EXPECT_EQ(info.port, 995u);
    EXPECT_EQ(info.password, "p:a@ss");
    EXPECT_EQ(options.msgLinesNum, 0u);
    EXPECT_EQ(options.mailboxBound, 4194303u * 1024);
    EXPECT_EQ(options.launchFile, "alert.bat");

    // Unticking the size check erases the file and the bound.
    form.checkMailboxSize = false;
    applyForm(form, info, options);
    EXPECT_FALSE(options.checkMailboxSize);
    EXPECT_EQ(options.mailboxBound, 0u);
    EXPECT_EQ(options.launchFile, "");
}

}  // namespace

// Choosing a secure connection moves a default port along; a port of the
// user's own stays where it is.
TEST(AccountInput, SecurityMovesOnlyTheDefaultPort) {
    const struct {
        SecureConnection mode;
        uint32_t port, expected;
    } rows[] = {
        {SecureConnection::Tls, 110, 995},  {SecureConnection::Tls, 995, 995},  {SecureConnection::Tls, 1110, 1110},
        {SecureConnection::Stls, 995, 110}, {SecureConnection::None, 995, 110}, {SecureConnection::Stls, 110, 110},
        {SecureConnection::None, 2995, 2995},
    };
    for (const auto& r : rows)
        EXPECT_EQ(portForSecurity(r.mode, r.port), r.expected) << static_cast<int>(r.mode) << " " << r.port;
}
