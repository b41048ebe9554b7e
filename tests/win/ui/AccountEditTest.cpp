// What an edit of the account dialog leaves behind when it renames an
// account: the options and the read marks go with the new name, and options
// another account still uses stay.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

#include "core/WinHandle.h"
#include "mail/AccountStore.h"
#include "mail/Controller.h"
#include "mail/MessageState.h"
#include "message/Message.h"
#include "support/MemoryRegistry.h"
#include "support/ShownMessages.h"
#include "win/support/NoView.h"
#include "support/TempDir.h"

namespace {

class AccountEditTest : public BoxesTest {
protected:
    // Checked only by hand, so that no worker starts.
    Account& add(const std::string& name) {
        AccountOptions manual;
        manual.checkOnlyManually = true;
        return *engine.add({name, 110, "u", "p", "server"}, &manual);
    }
    bool renamed(Account& account, const std::string& name, uint32_t port = 110) {
        AccountInfo info = account;
        info.name = name;
        info.port = port;
        return engine.edit(account.id(), info, account);
    }
    bool hasOptions(const std::string& name) { return registry.keyExists(kRegCurrentUser, optionsKeyPath(name)); }
    bool hasMarks(const std::string& name) {
        return std::filesystem::exists(dir.file(messageStateFileName(name)));
    }

    TempDir dir;
    MemoryRegistry registry;
    NoView view;
    Controller engine{registry, view, nullptr, dir.dir()};
};

TEST_F(AccountEditTest, ARenamedAccountTakesItsOptionsAndReadMarksAlong) {
    Account& work = add("Work");
    MessageList list;
    list.push_back(std::make_unique<Message>(std::vector<std::string>{"Subject: read"}, 10));
    list.back()->markRead();
    work.replaceMessages(std::move(list));
    ASSERT_TRUE(hasOptions("Work"));

    ASSERT_TRUE(renamed(work, "Office", 995));
    EXPECT_FALSE(hasOptions("Work"));
    EXPECT_TRUE(hasOptions("Office"));
    EXPECT_TRUE(hasMarks("Office"));
    Account reread(AccountInfo{"Office"});
    ASSERT_TRUE(loadMessageState(reread, dir.dir()));
    ASSERT_EQ(reread.savedMarks.size(), 1u);
    EXPECT_TRUE(reread.savedMarks[0].read);
    EXPECT_EQ(work.port, 995u);
    EXPECT_FALSE(engine.accountsDirty) << "the account file is written at once";

    // Only the case of its letters: the same key, kept.
    ASSERT_TRUE(renamed(work, "OFFICE"));
    EXPECT_TRUE(hasOptions("office"));
}

TEST_F(AccountEditTest, OptionsThatAnotherAccountSharesStay) {
    Account& first = add("Shared");
    add("shared");  // loaded that way from an older file
    ASSERT_TRUE(renamed(first, "Own"));
    EXPECT_TRUE(hasOptions("Shared"));
    EXPECT_TRUE(hasOptions("Own"));
}

// An account file that is there but could not be read at start (locked by
// another program) still holds the user's accounts: adding one never
// replaces it.
TEST_F(AccountEditTest, AnAccountFileThatCouldNotBeReadIsNeverReplaced) {
    const std::string kept = "KX10 accounts of another day";
    dir.write(kAccountFileName, kept);
    {
        WinHandle locked(CreateFileA(dir.file(kAccountFileName).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(locked);
        EXPECT_FALSE(engine.loadAccounts());
    }
    EXPECT_EQ(shown().size(), 1u) << "the reason is shown";
    add("New");
    EXPECT_EQ(dir.read(kAccountFileName), kept);
}

}  // namespace
