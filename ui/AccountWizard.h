// The accounts wizard, "Accounts Wizard": the short form of New (name,
// server, login) and the long form of Import and the first start (choice,
// import list, name, server, login, another), which takes one account after
// another, typed or taken from the system mail client's accounts.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "mail/Account.h"

class Registry;

// Each returns the finished records in the order they were finished; empty
// when the wizard was cancelled. `taken`: the names of the accounts there
// are already, which a new one may not repeat.
std::vector<AccountInfo> runNewAccountWizard(HWND owner, std::vector<std::string> taken);
// `registry` holds the mail client's accounts.
std::vector<AccountInfo> runAccountsWizard(HWND owner, Registry& registry, std::vector<std::string> taken);
