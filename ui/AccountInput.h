// What the account dialog and the wizard pages accept, as texts typed into
// their boxes, and how accepted texts become an account's fields. Every rule
// keeps a value out that would do harm later: a number the worker would
// misread, a name that cannot name a registry key and a marks file, a login
// that would split into two POP3 commands or not read back from the account
// file.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/TextUtil.h"
#include "mail/Account.h"


// Whether two account names name the same account (the registry key names
// ignore case). The portable rule folds A to Z; the program passes the
// system's own comparison.
using NameEquals = bool (*)(std::string_view, std::string_view);

// The edit dialog's boxes as texts.
struct AccountForm {
    std::string name, server, user, password;
    std::string port, interval, timeout, lines;
    bool checkMailboxSize = false;
    std::string bound;  // KB
    std::string launchFile;
};

// A whole decimal number between `min` and `max`, blanks around it allowed;
// false (value untouched) for anything else.
bool parseNumber(std::string_view text, uint32_t min, uint32_t max, uint32_t& value);

// Each returns the message id of the first reason the input cannot be taken,
// or 0. An empty field gives MSG_FieldsRequired.
//
// `taken` holds the names of the other accounts (the account being edited,
// or the wizard's own record, left out).
uint32_t nameProblem(std::string_view name, const std::vector<std::string>& taken, NameEquals equals = equalsNoCase);
uint32_t serverProblem(std::string_view server);
uint32_t loginProblem(std::string_view user, std::string_view password);
// The dialog's rule for OK: the required boxes filled (the launch file too
// while the mailbox size is checked), then the name, server and login rules,
// then each number in its range.
uint32_t formProblem(const AccountForm& form, const std::vector<std::string>& taken,
                     NameEquals equals = equalsNoCase);

// The account's fields as the dialog shows them (the bound in whole KB).
AccountForm formOf(const AccountInfo& info, const AccountOptions& options);
// The form's values into the fields it edits; for a form without a problem.
// A cleared "Check size of mailbox." clears the launch file and the bound.
void applyForm(const AccountForm& form, AccountInfo& info, AccountOptions& options);

// The port that goes with a newly chosen secure connection: the default port
// of the other kind (110 or 995) changes with it, a port of the user's own stays.
uint32_t portForSecurity(SecureConnection mode, uint32_t port);
