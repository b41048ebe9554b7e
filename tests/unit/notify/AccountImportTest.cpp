#include <gtest/gtest.h>

#include "core/EventLog.h"
#include "notify/AccountImport.h"
#include "support/MemoryRegistry.h"

namespace {

std::string source(const std::string& subkey) { return std::string(kImportSourceKey) + "\\" + subkey; }

TEST(AccountImport, ListsThePop3AccountsInKeyOrder) {
    MemoryRegistry registry;
    registry.putString(kRegCurrentUser, source("00000001"), "Account Name", "Work");
    registry.putString(kRegCurrentUser, source("00000001"), "POP3 Server", "pop.work.example");
    registry.putString(kRegCurrentUser, source("00000001"), "POP3 User Name", "ann");
    // An IMAP account: no POP3 server.
    registry.putString(kRegCurrentUser, source("00000002"), "Account Name", "Imap");
    registry.putString(kRegCurrentUser, source("00000002"), "IMAP Server", "imap.example");
    // A POP3 account without a name.
    registry.putString(kRegCurrentUser, source("00000003"), "POP3 Server", "nameless.example");
    // No user: the record's default stays.
    registry.putString(kRegCurrentUser, source("00000004"), "Account Name", "Home");
    registry.putString(kRegCurrentUser, source("00000004"), "POP3 Server", "pop.home.example");
    registry.putString(kRegCurrentUser, source("00000004"), "POP3 Password2", "never read");

    ImportAccounts import(registry);
    const auto& found = import.accounts();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].name, "Work");
    EXPECT_EQ(found[0].server, "pop.work.example");
    EXPECT_EQ(found[0].user, "ann");
    EXPECT_EQ(found[1].name, "Home");
    EXPECT_EQ(found[1].user, "");
    for (const AccountInfo& info : found) {
        EXPECT_EQ(info.password, "");
        EXPECT_EQ(info.port, 110u);
    }
    EXPECT_EQ(registry.openHandles(), 0u);
}

TEST(AccountImport, AMissingSourceIsLoggedAndGivesNothing) {
    MemoryRegistry registry;
    eventLog().log("before the import");
    ImportAccounts import(registry);
    EXPECT_TRUE(import.accounts().empty());
    EXPECT_EQ(eventLog().recentLines().back().substr(20),
              "ImportAccounts::import_oe_accounts: Cannot open registry key "
              "Software\\Microsoft\\Internet Account Manager\\Accounts, error code = 2.\n");
}

}  // namespace
