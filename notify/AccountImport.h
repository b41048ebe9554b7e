// The POP3 accounts that the system's mail client keeps in the registry, read
// so that the accounts wizard can offer them: name, server and user of each,
// never a password.
#pragma once
#include <string>
#include <vector>

#include "mail/Account.h"

class Registry;

// Below HKEY_CURRENT_USER.
constexpr const char* kImportSourceKey = "Software\\Microsoft\\Internet Account Manager\\Accounts";

class ImportAccounts {
public:
    // Reads the source at once (import_oe_accounts).
    explicit ImportAccounts(Registry& registry);

    // Fills the list from the source key, in the order its subkeys are
    // enumerated: each subkey with a "POP3 Server" value and a non-empty
    // "Account Name". A missing source key is logged and leaves the list empty.
    void import_oe_accounts();

    const std::vector<AccountInfo>& accounts() const { return accounts_; }

private:
    Registry& registry_;
    std::vector<AccountInfo> accounts_;
};
