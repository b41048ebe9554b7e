#include "notify/AccountImport.h"

#include "core/EventLog.h"
#include "core/Registry.h"

ImportAccounts::ImportAccounts(Registry& registry) : registry_(registry) { import_oe_accounts(); }

void ImportAccounts::import_oe_accounts() {
    accounts_.clear();
    RegHandle source = 0;
    uint32_t error = registry_.open(kRegCurrentUser, kImportSourceKey, RegAccess::Read, source);
    if (error != kRegOk) {
        eventLog().log("ImportAccounts::import_oe_accounts: Cannot open registry key %s, error code = %d.",
                       kImportSourceKey, static_cast<int>(error));
        return;
    }
    struct Close {
        Registry& registry;
        RegHandle key;
        ~Close() { registry.close(key); }
    } closeSource{registry_, source};
    for (uint32_t index = 0;; ++index) {
        std::string name;
        if (registry_.enumKey(source, index, name) != kRegOk || name.empty()) break;
        RegKey account;
        if (!account.open(registry_, source, name, RegAccess::Read)) continue;
        AccountInfo info;
        // Accounts of other kinds (IMAP, news) have no POP3 server.
        if (!account.readString("POP3 Server", info.server)) continue;
        account.readString("Account Name", info.name);
        account.readString("POP3 User Name", info.user);
        if (!info.name.empty()) accounts_.push_back(std::move(info));
    }
}
