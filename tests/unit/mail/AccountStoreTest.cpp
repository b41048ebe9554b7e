#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <tuple>

#include "PersistSupport.h"
#include "core/EventLog.h"
#include "core/FieldFile.h"
#include "core/FileIO.h"
#include "support/MemoryRegistry.h"
#include "core/MessageText.h"
#include "core/ProductKey.h"
#include "mail/AccountStore.h"
#include "support/TempDir.h"

using namespace persist;

namespace {

constexpr uint32_t kEof = 38;  // the system's "Reached the end of the file."

using Fields = std::tuple<std::string, std::string, std::string, std::string, uint32_t, uint32_t, uint32_t>;

Fields fieldsOf(const Account& a) {
    return {a.name, a.user, a.password, a.server, a.port, a.checkInterval, a.checkTimeout};
}

// Passwords with the URL's own separators, no user, national letters.
const Fields kRows[] = {
    {"Odd password", "bob@example.org", "pa:ss@wo/rd@", "10.0.0.7", 995, 60, 30},
    {"No user", "", "", "mail.example.net", 1100, 86400, 1},
    {"M\xfcller \xc6\xd8\xc5", "j\xf6rg", "\xe9t\xe9:", "m\xe4il.example", 110, 1, 1},
    {"", "u", "", "h", 1, 2, 3},
};

AccountList accountsOf(size_t count) {
    AccountList list;
    for (size_t i = 0; i < count; ++i) {
        auto a = std::make_unique<Account>();
        std::tie(a->name, a->user, a->password, a->server, a->port, a->checkInterval, a->checkTimeout) = kRows[i];
        list.push_back(std::move(a));
    }
    return list;
}

class AccountFileTest : public BoxesTest {
protected:
    TempDir dir;
    bool ok = false, dirty = false;
    void write(const std::string& bytes) { ASSERT_TRUE(writeFileAtomically(dir.file("kestrix.dat"), bytes)); }
    std::string read() {
        std::string bytes;
        EXPECT_TRUE(readWholeFile(dir.file("kestrix.dat"), bytes));
        return bytes;
    }
    AccountList load() {
        AccountList list;
        dirty = false;
        ok = loadAccounts(list, dirty, dir.dir());
        return list;
    }
};

}  // namespace

TEST_F(AccountFileTest, OldFormatIsPlainAndMarksTheListForRewriting) {
    write("KX00" + le32(2) + record("Old", "pop3://ann:pw@old.example/") + record("Bare", "pop3://bare.example/", 111));
    AccountList loaded = load();
    EXPECT_TRUE(ok);
    EXPECT_TRUE(dirty);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(fieldsOf(*loaded[0]), Fields("Old", "ann", "pw", "old.example", 110, 300, 120));
    EXPECT_EQ(fieldsOf(*loaded[1]), Fields("Bare", "", "", "bare.example", 111, 300, 120));
    EXPECT_EQ(read().substr(0, 4), "KX00") << "loading never rewrites";
    ASSERT_TRUE(saveAccounts(loaded, dir.dir()));
    EXPECT_EQ(read().substr(0, 4), "KX10");
    ASSERT_EQ(load().size(), 2u);
    EXPECT_FALSE(dirty);
}

// Truncated and damaged copies of such a file are the fuzzer's seeds.
TEST_F(AccountFileTest, RoundTrip) {
    ASSERT_TRUE(saveAccounts(accountsOf(std::size(kRows)), dir.dir()));
    AccountList loaded = load();
    EXPECT_TRUE(ok);
    EXPECT_FALSE(dirty);
    ASSERT_EQ(loaded.size(), std::size(kRows));
    for (size_t i = 0; i < loaded.size(); ++i) EXPECT_EQ(fieldsOf(*loaded[i]), kRows[i]);
    EXPECT_TRUE(shown().empty());
}

TEST_F(AccountFileTest, DamageEndsTheLoadAfterTheGoodRecords) {
    EXPECT_TRUE(load().empty());
    EXPECT_TRUE(shown().empty()) << "a missing file is no error";
    const std::string good = record("A", scrambled("pop3://a:b@c/"));
    const std::vector<std::string> site{"Acc_Serialize"};
    struct Case {
        const char* what;
        std::string bytes;
        size_t loaded;
        uint32_t box;  // 0: none
        std::vector<std::string> inserts = {};
    } cases[] = {
        {"unknown magic", "KX11" + le32(1) + good, 0, 0},
        {"count beyond the records", "KX10" + le32(5) + good + good, 2, kEof},
        {"oversized string", "KX10" + le32(3) + good + le32(0x1FFFF) + std::string(64, 'x'), 1,
         MSG_UnexpectedErrorIn, site},
        {"odd string count", "KX10" + le32(2) + good + le32(3) + "abc" + good, 1, MSG_UnexpectedErrorIn, site},
        {"string past the end", "KX10" + le32(2) + good + le32(40) + "ab", 1, MSG_UnexpectedErrorIn, site},
        {"huge count, no records", "KX10" + le32(0xFFFFFFFF), 0, kEof},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        shown().clear();
        write(c.bytes);
        EXPECT_EQ(load().size(), c.loaded);
        EXPECT_FALSE(ok);
        ASSERT_EQ(shown().size(), c.box ? 1u : 0u);
        for (const auto& box : shown()) EXPECT_EQ(box, std::make_pair(c.box, c.inserts));
    }
}

TEST_F(AccountFileTest, FailedSaveShowsTheSystemErrorAndLeavesNoTemporaryFile) {
    std::filesystem::create_directories(dir.file("kestrix.dat") + "/inside");  // the final move fails
    EXPECT_FALSE(saveAccounts(accountsOf(1), dir.dir()));
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_NE(shown()[0].first, 0u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir()), {}), 1);
}

// Stored numbers outside what the account dialog allows are brought into
// range for the run, and logged; the file keeps them until it is saved.
TEST_F(AccountFileTest, StoredNumbersAreBroughtIntoRange) {
    struct Row {
        uint32_t port, interval, timeout;
        uint32_t wantPort, wantInterval, wantTimeout;
    } rows[] = {
        {0, 0, 0, 1, 1, 1},
        {65536, 1, 0xFFFFFFFF, 65535, 1, 2147483647},
        {0xFFFFFFFF, 300, 120, 65535, 300, 120},
    };
    for (const Row& r : rows) {
        std::string bytes = "KX10" + le32(1) + field("A") + field(scrambled("pop3://u:p@h/")) + le32(r.port) +
                            le32(r.interval) + le32(r.timeout);
        write(bytes);
        AccountList loaded = load();
        ASSERT_EQ(loaded.size(), 1u);
        EXPECT_EQ(fieldsOf(*loaded[0]), Fields("A", "u", "p", "h", r.wantPort, r.wantInterval, r.wantTimeout));
        EXPECT_EQ(read(), bytes);
        EXPECT_FALSE(dirty);
    }
    const std::string logged = eventLog().recentLines().back();
    EXPECT_NE(logged.find("Account A: stored port 4294967295 is out of range; 65535 is used"), std::string::npos)
        << logged;

    struct Option {
        uint32_t lines, bound, wantLines, wantBound;
    } options[] = {
        {0, 0, 0, 0},
        {100000, 4194303u * 1024, 100000, 4194303u * 1024},
        {0xFFFFFFFF, 0xFFFFFFFF, 100000, 4194303u * 1024},
    };
    for (const Option& o : options) {
        MemoryRegistry reg;
        reg.putNumber(kRegCurrentUser, optionsKeyPath("A"), "MsgLinesNum", o.lines);
        reg.putNumber(kRegCurrentUser, optionsKeyPath("A"), "MailboxBound", o.bound);
        Account a;
        a.name = "A";
        loadOptions(reg, a, "");
        EXPECT_EQ(a.msgLinesNum, o.wantLines);
        EXPECT_EQ(a.mailboxBound, o.wantBound);
    }
}

// Checking one account of a huge account file reads past the other records
// without making an account of each; a file past the size limit says so.
TEST_F(AccountFileTest, OneAccountOfALargeFile) {
    std::string bytes = "KX10" + le32(200001);
    std::string empty = field("") + field("") + le32(0) + le32(0) + le32(0);
    bytes.reserve(bytes.size() + 200000 * empty.size() + 64);
    for (int i = 0; i < 200000; ++i) bytes += empty;
    bytes += record("Last", scrambled("pop3://u:p@last.example/"));
    write(bytes);
    MemoryRegistry reg;
    uint32_t before = Account().id();
    bool unreadable = false;
    auto start = std::chrono::steady_clock::now();
    auto account = loadAccountNamed(reg, "Last", "", dir.dir(), &unreadable);
    ASSERT_TRUE(account);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(account->id(), before + 1) << "no account was made for the other records";
    EXPECT_EQ(account->server, "last.example");
    EXPECT_FALSE(unreadable);

    write(std::string(kMaxDataFileBytes + 1, '\0'));
    EXPECT_FALSE(loadAccountNamed(reg, "Last", "", dir.dir(), &unreadable));
    EXPECT_TRUE(unreadable);
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(shown()[0].first, MSG_DataFileTooLarge);
    EXPECT_TRUE(load().empty());
    EXPECT_EQ(shown().size(), 2u);
}

// Every option under the name the registry has always held it by, both ways.
TEST(AccountOptions, EveryValueUnderItsName) {
    struct Value {
        const char* name;
        uint32_t number;  // for the texts: none
        const char* text;
    } const values[] = {
        {"DisableChecking", 1, nullptr},     {"SoundFile", 0, "C:\\ding.wav"},
        {"MsgDeletion", MSG_DeletionWithout, nullptr}, {"SecureAuth", 0, nullptr},
        {"MsgLinesNum", 7, nullptr},         {"CheckMailboxSize", 1, nullptr},
        {"MailboxBound", 123456, nullptr},   {"LaunchFile", 0, "C:\\clean.bat"},
        {"SortKind", kSortBySize, nullptr},  {"SortOrder", 1, nullptr},
        {"CheckOnlyManually", 1, nullptr},   {"SecureConnection", 1, nullptr},
        {"TrustedCertificate", 0, "AB:cd:01"},
    };
    auto expectOptions = [](const Account& a) {
        EXPECT_EQ(a.state(), AccountState::Disabled);
        EXPECT_EQ(a.soundFile, "C:\\ding.wav");
        EXPECT_EQ(a.msgDeletion, DeletionMode::Without);
        EXPECT_FALSE(a.secureAuth);
        EXPECT_EQ(a.msgLinesNum, 7u);
        EXPECT_TRUE(a.checkMailboxSize);
        EXPECT_EQ(a.mailboxBound, 123456u);
        EXPECT_EQ(a.launchFile, "C:\\clean.bat");
        EXPECT_EQ(a.sortKind, kSortBySize);
        EXPECT_EQ(a.sortOrder, 1u);
        EXPECT_TRUE(a.checkOnlyManually);
        EXPECT_EQ(a.secureConnection, SecureConnection::Stls);
        EXPECT_EQ(a.trustedCertificate, "AB:cd:01");
    };
    MemoryRegistry written;
    for (const Value& v : values) {
        if (v.text) written.putString(kRegCurrentUser, optionsKeyPath("Work"), v.name, v.text);
        else written.putNumber(kRegCurrentUser, optionsKeyPath("Work"), v.name, v.number);
    }
    Account loaded;
    loaded.name = "Work";
    loadOptions(written, loaded, "default.wav");
    expectOptions(loaded);

    MemoryRegistry saved;
    saveOptions(saved, loaded);
    for (const Value& v : values) {
        SCOPED_TRACE(v.name);
        uint32_t type = 0;
        std::string data;
        ASSERT_TRUE(saved.get(kRegCurrentUser, optionsKeyPath("Work"), v.name, type, data));
        if (v.text) EXPECT_EQ(data, std::string(v.text) + '\0');
        else EXPECT_EQ(data, std::string(reinterpret_cast<const char*>(&v.number), 4));
    }
    // Nothing under another name.
    RegKey key;
    ASSERT_TRUE(key.open(saved, kRegCurrentUser, optionsKeyPath("Work"), RegAccess::Read));
    uint32_t count = 0;
    for (std::string name; saved.enumValue(key.handle(), count, name) == kRegOk;) ++count;
    EXPECT_EQ(count, std::size(values));
}

// Any number but 0 switches an account option on; 0 leaves a disabled
// account disabled; an unknown deletion mode keeps the default, an unknown
// secure-connection mode is TLS (never the clear).
TEST(AccountOptions, StoredNumbersOtherThanZeroAndOne) {
    MemoryRegistry reg;
    for (const char* flag : {"SecureAuth", "CheckMailboxSize", "CheckOnlyManually"})
        reg.putNumber(kRegCurrentUser, optionsKeyPath("Work"), flag, 2);
    reg.putNumber(kRegCurrentUser, optionsKeyPath("Work"), "DisableChecking", 0);
    reg.putNumber(kRegCurrentUser, optionsKeyPath("Work"), "MsgDeletion", 12345);
    reg.putNumber(kRegCurrentUser, optionsKeyPath("Work"), "SecureConnection", 3);
    Account a;
    a.name = "Work";
    a.secureAuth = false;
    a.setState(AccountState::Disabled);
    loadOptions(reg, a, "d.wav");
    EXPECT_TRUE(a.secureAuth && a.checkMailboxSize && a.checkOnlyManually);
    EXPECT_EQ(a.state(), AccountState::Disabled);
    EXPECT_EQ(a.msgDeletion, DeletionMode::With);
    EXPECT_EQ(a.secureConnection, SecureConnection::Tls);
    EXPECT_EQ(a.soundFile, "d.wav");
}

TEST(AccountOptions, ANamelessAccountNeverTouchesTheAccountsKey) {
    MemoryRegistry reg;
    reg.putNumber(kRegCurrentUser, optionsKeyPath("Work"), "MsgLinesNum", 5);
    EXPECT_TRUE(deleteOptions(reg, "Work"));
    EXPECT_FALSE(reg.keyExists(kRegCurrentUser, optionsKeyPath("Work")));

    saveOptions(reg, Account{});
    EXPECT_FALSE(reg.valueExists(kRegCurrentUser, kAccountsKey, "MsgLinesNum"));
    EXPECT_FALSE(deleteOptions(reg, ""));
    EXPECT_TRUE(reg.keyExists(kRegCurrentUser, kAccountsKey));
    EXPECT_EQ(reg.openHandles(), 0u);
}
