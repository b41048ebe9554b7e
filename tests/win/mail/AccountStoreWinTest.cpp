// The account file through Wine's file system, with the ANSI code page's
// national letters (the options key is covered by the kxcheck end-to-end test).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

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

const std::string kLetters = nationalLetters();

}  // namespace

TEST(AccountStoreWin, AccountFileRoundTrip) {
    ASSERT_FALSE(kLetters.empty()) << "the code page has no letters beyond ASCII";
    TempDir dir;
    const std::vector<std::string> rows[] = {
        {"a" + kLetters, "bob@example.org", "pa:ss@wo@rd:", "pop.example.org"},
        {"c" + kLetters, "j" + kLetters, kLetters + ":@" + kLetters, "m" + kLetters + ".example"},
        {"d", "abba", "bbbb", "b.b"},  // 'b' at an odd position scrambles to a zero byte
        {"e", "", "", "no-user.example"},
    };
    AccountList saved;
    for (const auto& r : rows) {
        Account& a = *saved.emplace_back(std::make_unique<Account>());
        a.name = r[0], a.user = r[1], a.password = r[2], a.server = r[3];
    }
    ASSERT_TRUE(saveAccounts(saved, dir.dir()));
    AccountList loaded;
    bool dirty = false;
    ASSERT_TRUE(loadAccounts(loaded, dirty, dir.dir()));
    ASSERT_EQ(loaded.size(), std::size(rows));
    for (size_t i = 0; i < loaded.size(); ++i)
        EXPECT_EQ((std::vector<std::string>{loaded[i]->name, loaded[i]->user, loaded[i]->password, loaded[i]->server}),
                  rows[i]);
}
