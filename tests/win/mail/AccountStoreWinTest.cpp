// The account file and the account options through
// Wine's file system and registry, with names in the ANSI code page's
// national letters. Each test uses account names of its own and deletes
// their keys afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/ProductKey.h"
#include "core/Registry.h"
#include "mail/AccountStore.h"
#include "support/TempDir.h"

namespace {

// Letters of the running code page beyond ASCII, found by asking it.
std::string nationalLetters() {
    std::string out;
    for (wchar_t w : {L'\u00fc', L'\u00e9', L'\u00c6', L'\u0436', L'\u0161'}) {
        char buf[8];
        BOOL lossy = FALSE;
        int n = WideCharToMultiByte(CP_ACP, 0, &w, 1, buf, sizeof buf, nullptr, &lossy);
        if (n == 1 && !lossy && static_cast<unsigned char>(buf[0]) >= 0x80) out += buf[0];
    }
    return out;
}

class AccountStoreWin : public ::testing::Test {
protected:
    TempDir dir;
    std::string letters = nationalLetters();
    std::string prefix = "kx-test-" + std::to_string(GetCurrentProcessId()) + "-";
    std::vector<std::string> names;

    void TearDown() override {
        for (const auto& n : names) systemRegistry().deleteKey(kRegCurrentUser, optionsKeyPath(n));
    }
    std::string name(const std::string& base) {
        names.push_back(prefix + base + letters);
        return names.back();
    }
};

}  // namespace

TEST_F(AccountStoreWin, AccountFileRoundTrip) {
    ASSERT_FALSE(letters.empty()) << "the code page has no letters beyond ASCII";
    struct Row {
        std::string name, user, password, server;
    } rows[] = {
        {name("a"), "bob@example.org", "pa:ss@wo@rd:", "pop.example.org"},
        {name("b"), "", "", "10.1.2.3"},
        {name("c"), "j" + letters, letters + ":@" + letters, "m" + letters + ".example"},
        // 'b' at an odd position scrambles to a zero byte.
        {name("d"), "abba", "bbbb", "b.b"},
    };
    AccountList saved;
    for (const Row& r : rows) {
        auto a = std::make_unique<Account>();
        a->name = r.name;
        a->user = r.user;
        a->password = r.password;
        a->server = r.server;
        a->port = 995;
        a->checkInterval = 42;
        a->checkTimeout = 7;
        saved.push_back(std::move(a));
    }
    ASSERT_TRUE(saveAccounts(saved, dir.dir()));
    // A read-only file is replaced all the same.
    ASSERT_TRUE(SetFileAttributesA(dir.file("kestrix.dat").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(saveAccounts(saved, dir.dir()));

    AccountList loaded;
    bool dirty = false;
    ASSERT_TRUE(loadAccounts(loaded, dirty, dir.dir()));
    ASSERT_EQ(loaded.size(), std::size(rows));
    for (size_t i = 0; i < loaded.size(); ++i) {
        EXPECT_EQ(loaded[i]->name, rows[i].name);
        EXPECT_EQ(loaded[i]->user, rows[i].user) << i;
        EXPECT_EQ(loaded[i]->password, rows[i].password) << i;
        EXPECT_EQ(loaded[i]->server, rows[i].server) << i;
        EXPECT_EQ(loaded[i]->port, 995u);
        EXPECT_EQ(loaded[i]->checkInterval, 42u);
        EXPECT_EQ(loaded[i]->checkTimeout, 7u);
    }
}

TEST_F(AccountStoreWin, OptionsInTheRealRegistry) {
    Account account;
    account.name = name("opts");
    account.soundFile = "C:\\" + letters + ".wav";
    account.msgLinesNum = 0;
    account.mailboxBound = 0xFFFFFFFFu;
    account.checkOnlyManually = true;
    saveOptions(systemRegistry(), account);

    // Straight through the API: the key carries the name's letters.
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, optionsKeyPath(account.name).c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD type = 0, value = 0, size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "MsgLinesNum", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 0u);
    RegCloseKey(key);

    Account back;
    back.name = account.name;
    loadOptions(systemRegistry(), back, "default.wav");
    EXPECT_EQ(back.soundFile, account.soundFile);
    EXPECT_EQ(back.msgLinesNum, 0u);
    EXPECT_EQ(back.mailboxBound, 0xFFFFFFFFu);
    EXPECT_TRUE(back.checkOnlyManually);
    EXPECT_TRUE(back.secureAuth);

    EXPECT_TRUE(deleteOptions(systemRegistry(), account.name));
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, optionsKeyPath(account.name).c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    Account fresh;
    fresh.name = account.name;
    loadOptions(systemRegistry(), fresh, "default.wav");
    EXPECT_EQ(fresh.soundFile, "default.wav");
    EXPECT_EQ(fresh.msgLinesNum, 99u);
}
