#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "core/MessageText.h"
#include "core/ProductKey.h"
#include "core/UserMessage.h"
#include "filter/AddressList.h"
#include "FilterTestSupport.h"
#include "support/HeldReadLock.h"

using namespace std::chrono_literals;

namespace {

std::vector<uint32_t> gShown;
FilterSet* gLockedSet = nullptr;
bool gLockWasFree = false;

class FilterFiles : public ::testing::Test {
protected:
    void SetUp() override {
        gShown.clear();
        previous_ = setUserMessageHandler([](uint32_t id, const std::vector<std::string>&) {
            gShown.push_back(id);
            if (gLockedSet && (gLockWasFree = gLockedSet->lockRead())) gLockedSet->unlockRead();
        });
    }
    void TearDown() override {
        setUserMessageHandler(previous_);
        gLockedSet = nullptr;
    }
    std::unique_ptr<FilterSet> load() { return std::make_unique<FilterSet>(registry, nullptr, dir.dir(), 50ms); }

    TempDir dir;
    MemoryRegistry registry;
    UserMessageHandler previous_ = nullptr;
};

std::string listFile(uint32_t count, const std::string& records) { return "KX10" + u32Bytes(count) + records; }

TEST_F(FilterFiles, ListFilesWrittenElsewhereLoadAndSaveByteForByte) {
    const std::string from = listFile(2, wordRecord("spam@x") + wordRecord("Promo", true, true));
    const std::string size = listFile(2, u32Bytes(102400) + u32Bytes(-1) + std::string(2, '\0') + u32Bytes(0) +
                                             u32Bytes(0) + u32Bytes(1024) + '\1' + '\0' + u32Bytes(0));
    dir.write("from.dat", from);
    dir.write("size.dat", size);
    auto set = load();
    ASSERT_EQ(set->fromList().size(), 2u);
    EXPECT_TRUE(set->fromList()[1].uncertain && set->fromList()[1].useCase);
    ASSERT_EQ(set->sizeList().size(), 2u);
    EXPECT_EQ(set->sizeList()[1].lowerBound, 1024);
    EXPECT_TRUE(gShown.empty());

    set->setFromList(set->fromList(), true);
    set->setSizeList(set->sizeList(), true);
    set->setSubjectList({}, true);
    EXPECT_EQ(dir.read("from.dat"), from);
    EXPECT_EQ(dir.read("size.dat"), size);
    EXPECT_EQ(dir.read("subject.dat"), listFile(0, ""));
}

TEST_F(FilterFiles, DamagedListFiles) {
    const struct {
        const char* what;
        std::string bytes;
        size_t loaded;
        bool reported;
    } cases[] = {
        {"other magic", "KX11" + u32Bytes(1) + wordRecord("x"), 0, false},
        {"oversized string", listFile(2, wordRecord("a") + u32Bytes(0x1FFFF) + std::string(0x1FFFF, 'x')), 1, true},
        {"odd string count", listFile(1, u32Bytes(3) + "abc" + std::string(6, '\0')), 0, true},
    };
    for (const auto& c : cases) {
        gShown.clear();
        dir.write("from.dat", c.bytes);
        auto set = load();
        EXPECT_EQ(set->fromList().size(), c.loaded) << c.what;
        EXPECT_EQ(!gShown.empty(), c.reported) << c.what;
    }
}

// A reader that holds the lock past the time-out: every replacement says so
// and changes nothing, in memory or on disk.
TEST_F(FilterFiles, ReplacementsReportALockHeldPastTheTimeOut) {
    auto set = load();
    EXPECT_EQ(set->setFromList({WordFilter(MSG_ColFrom, "x")}, false), FilterChange::Done);
    EXPECT_FALSE(dir.exists("from.dat"));
    HeldReadLock check(*set);
    const std::function<FilterChange()> changes[] = {
        [&] { return set->setFromList({WordFilter(MSG_ColFrom, "x")}, true); },
        [&] { return set->setSizeList({SizeFilter()}, true); },
        [&] { return set->setPowerList({PowerFilter()}, true); },
        [&] { return set->setFriends(false, {"a@b"}, true); },
        [&] { return set->setSpammers(false, {}, false); },  // the switch alone needs the lock too
    };
    for (const auto& change : changes) EXPECT_EQ(change(), FilterChange::Busy);
    check.release();
    EXPECT_TRUE(set->fromList().empty() && set->sizeList().empty() && set->powerList().empty());
    EXPECT_TRUE(set->checkFriends() && set->checkSpammers());
    for (const char* file : {"from.dat", "size.dat", "power.dat", "friends.dat"}) EXPECT_FALSE(dir.exists(file)) << file;
    EXPECT_TRUE(gShown.empty());
}

TEST_F(FilterFiles, FailedWritesAreReportedAfterTheLockIsFree) {
    auto set = load();
    std::filesystem::create_directory(dir.file("from.dat"));  // the save cannot replace a folder
    gLockedSet = set.get();
    EXPECT_EQ(set->setFromList({WordFilter(MSG_ColFrom, "x")}, true), FilterChange::NotSaved);
    EXPECT_EQ(set->fromList().size(), 1u);  // kept in memory
    EXPECT_EQ(gShown.size(), 1u);
    EXPECT_TRUE(gLockWasFree);  // workers could evaluate while the box stood open
}

TEST_F(FilterFiles, SwitchesFromTheRegistry) {
    EXPECT_TRUE(load()->checkFriends());  // no Filter key: on
    // Only a 4-byte number counts, and any but 0 is on.
    const struct {
        uint32_t type;
        std::string data;
        bool on;
    } cases[] = {{kRegBinary, u32Bytes(0), false},
                 {kRegDword, u32Bytes(2), true},
                 {kRegBinary, std::string(2, '\0'), true},
                 {kRegSz, std::string("0\0", 2), true}};
    for (const auto& c : cases) {
        registry.put(kRegCurrentUser, kFilterKey, "CheckFriends", c.type, c.data);
        EXPECT_EQ(load()->checkFriends(), c.on) << c.type;
    }
    load()->setSpammers(false, {}, false);  // the switch is stored even without list changes
    EXPECT_FALSE(load()->checkSpammers());
    EXPECT_FALSE(dir.exists("spammers.dat"));
}

class ScriptedEditor : public FilterEditor {
public:
    bool editWordFilter(WordFilter& f, WordList) override { return seen.push_back("word " + f.words), confirm(); }
    bool editAddress(std::string& address, bool spammer) override {
        seen.push_back((spammer ? "spammer " : "friend ") + address);
        if (!newText.empty()) address = newText;
        return confirm();
    }
    bool editPowerFilter(PowerFilter& f) override { return power = f, confirm(); }
    void filtersBusy() override { seen.push_back("busy"); }
    bool confirm() {
        if (whileOpen) whileOpen();
        return confirmed;
    }
    bool confirmed = true;
    std::string newText;
    std::vector<std::string> seen;
    PowerFilter power;
    std::function<void()> whileOpen;  // what happens meanwhile elsewhere
};

MessageTexts textsOf(const std::vector<std::string>& lines) { return MessageTexts::of(*topMessage(lines)); }

TEST_F(FilterFiles, FriendsAndSpammersFiles) {
    dir.write("friends.dat", "anna@home.example\r\n\r\nBob <bob@x>\nlast@x");
    dir.write("spammers.dat", std::string(300, 's') + "\r\n");
    auto set = load();
    EXPECT_EQ(set->friends(), (std::set<uint32_t>{addressHash("anna@home.example"), addressHash("Bob <bob@x>"),
                                                  addressHash("last@x")}));
    EXPECT_EQ(set->spammers(), (std::set<uint32_t>{addressHash(std::string(300, 's'))}));

    ScriptedEditor editor;
    MessageTexts anna = textsOf({"From: \"Anna\" <anna@home.example>", "", "x"});
    MessageTexts other = textsOf({"From: New <new@x>", "", "x"});
    set->addFriend(anna, editor);   // already a friend: file unchanged
    set->addFriend(other, editor);  // added after a last line without line end
    EXPECT_EQ(dir.read("friends.dat"), "anna@home.example\r\n\r\nBob <bob@x>\nlast@x\r\nnew@x\r\n");
    editor.newText = "edited@x";
    set->addSpammer(anna, editor);
    editor.confirmed = false;
    set->addSpammer(other, editor);
    set->addFriend(textsOf({"From:", "", ""}), editor);  // no sender: no dialog
    EXPECT_EQ(editor.seen, (std::vector<std::string>{"friend anna@home.example", "friend new@x",
                                                     "spammer anna@home.example", "spammer new@x"}));
    EXPECT_EQ(dir.read("spammers.dat"), std::string(300, 's') + "\r\nedited@x\r\n");
    EXPECT_TRUE(set->spammers().count(addressHash("edited@x")));

    // A missing file is started; one that exists but cannot be read is never
    // replaced by the single new line.
    EXPECT_TRUE(set->appendAddress("new.dat", "bad@x"));
    EXPECT_EQ(dir.read("new.dat"), "bad@x\r\n");
    std::filesystem::create_directory(dir.file("unreadable.dat"));
    gShown.clear();
    EXPECT_FALSE(set->appendAddress("unreadable.dat", "new@x"));
    EXPECT_EQ(gShown.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("unreadable.dat")));
}

// Additions go to the end of what the files held; virus.dat is never rewritten.
TEST_F(FilterFiles, WordAndPowerFiltersAddedFromAMessage) {
    std::ifstream sample(KX_TEST_DATA "/filter/power.dat", std::ios::binary);
    dir.write("power.dat", std::string(std::istreambuf_iterator<char>(sample), {}));
    const std::string virus = "FilterName=Worm\r\nAttachEnabled=yes\r\nAttach=.scr\r\n";
    dir.write("virus.dat", virus);
    auto set = load();
    ScriptedEditor editor;
    auto m = topMessage({"From: Shop <deals@shop.example>", "To: me@home.example", "Subject: Big sale",
                         "Content-Type: multipart/mixed; boundary=b", "", "--b",
                         "Content-Disposition: attachment; filename=\"a.zip\"", "", "x", "--b--"});
    MessageTexts texts = MessageTexts::of(*m);
    set->addSubjectFilter(texts, editor);
    set->addPowerFilter(texts, editor);
    editor.confirmed = false;
    set->addFromFilter(texts, editor);
    EXPECT_EQ(editor.seen, (std::vector<std::string>{"word Big sale", "word Shop <deals@shop.example>"}));
    EXPECT_EQ(editor.power.attachWords, "a.zip");
    EXPECT_FALSE(editor.power.anyCondition());  // filled in, not switched on

    auto back = load();
    EXPECT_EQ(back->subjectList().size(), 1u);
    EXPECT_TRUE(back->fromList().empty());
    ASSERT_EQ(back->powerList().size(), 4u);
    EXPECT_EQ(back->powerList()[3].filterName, "Shop <deals@shop.example>");
    EXPECT_EQ(dir.read("virus.dat"), virus);
}

// The editor is open while a check runs: the check evaluates with the lists
// as they were, in its normal time, instead of waiting out the lock.
TEST_F(FilterFiles, ACheckRunsWhileTheFriendEditorIsOpen) {
    dir.write("from.dat", listFile(1, wordRecord("lottery")));
    FilterSet set(registry, nullptr, dir.dir());  // the real time-out
    ScriptedEditor editor;
    std::unique_ptr<Message> checked = topMessage({"From: Lottery <win@lottery.example>", "", "x"});
    std::chrono::steady_clock::duration took{};
    editor.whileOpen = [&] {
        std::thread worker([&] {
            auto start = std::chrono::steady_clock::now();
            set.evaluate(*checked);
            took = std::chrono::steady_clock::now() - start;
        });
        worker.join();
    };
    EXPECT_TRUE(set.addFriend(textsOf({"From: Anna <anna@home.example>", "", "x"}), editor));
    EXPECT_TRUE(checked->deleted());
    EXPECT_EQ(checked->filterReason(), "From: lottery");
    EXPECT_LT(took, 5s);
    EXPECT_TRUE(set.friends().count(addressHash("anna@home.example")));
}

// A check that holds the filters when the user confirms: nothing is added,
// and the editor is told so that the user is.
TEST_F(FilterFiles, AnAdditionKeptOutByACheckIsReported) {
    auto set = load();
    ScriptedEditor editor;
    editor.whileOpen = [&] { ASSERT_TRUE(set->lockRead()); };
    MessageTexts texts = textsOf({"From: Anna <anna@home.example>", "Subject: Hi", "", "x"});
    EXPECT_FALSE(set->addFriend(texts, editor));
    EXPECT_FALSE(set->addFromFilter(texts, editor));
    EXPECT_FALSE(set->addPowerFilter(texts, editor));
    for (int i = 0; i < 3; ++i) set->unlockRead();
    EXPECT_EQ(editor.seen, (std::vector<std::string>{"friend anna@home.example", "busy", "word Anna <anna@home.example>",
                                                     "busy", "busy"}));
    EXPECT_TRUE(set->friends().empty() && set->fromList().empty() && set->powerList().empty());
    EXPECT_FALSE(dir.exists("friends.dat") || dir.exists("from.dat") || dir.exists("power.dat"));
}

// The sheet shows a file that exists but cannot be read as such, and never
// writes it; a missing one is simply empty.
TEST_F(FilterFiles, AddressFilesMissingReadOrUnreadable) {
    auto set = load();
    std::vector<std::string> list;
    EXPECT_EQ(set->readAddresses(false, list), FileRead::Missing);
    dir.write("friends.dat", "b@x\r\na@x\r\n");
    EXPECT_EQ(set->readAddresses(false, list), FileRead::Read);
    EXPECT_EQ(list, (std::vector<std::string>{"b@x", "a@x"}));
    std::filesystem::create_directory(dir.file("spammers.dat"));
    list.clear();
    EXPECT_EQ(set->readAddresses(true, list), FileRead::Unreadable);
    EXPECT_TRUE(list.empty());
}

TEST_F(FilterFiles, ImportWordList) {
    dir.write("words.txt", "cheap\r\n\r\n   \t\r\n  two spaces  \r\nlast\n" + std::string(300, 'w') + "\n\x0c\n");
    std::vector<WordFilter> target = {WordFilter(MSG_ColTo, "existing")};
    ASSERT_TRUE(FilterSet::importWordList(dir.file("words.txt"), target, MSG_ColTo));
    std::vector<std::string> words;
    for (const auto& f : target) words.push_back(f.words);
    // A line longer than the 259-byte buffer goes on as the next record.
    EXPECT_EQ(words, (std::vector<std::string>{"existing", "cheap", "  two spaces", "last", std::string(259, 'w'),
                                               std::string(41, 'w')}));
    EXPECT_EQ(target.back().field, MSG_ColTo);
    EXPECT_FALSE(FilterSet::importWordList(dir.file("none.txt"), target, MSG_ColTo));
    EXPECT_EQ(gShown, (std::vector<uint32_t>{2u}));  // the system's "file not found"
}

}  // namespace
