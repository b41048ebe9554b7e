#include <gtest/gtest.h>

#include <filesystem>

#include "core/MessageText.h"
#include "core/ProductKey.h"
#include "core/UserMessage.h"
#include "filter/AddressList.h"
#include "filter/ListFile.h"
#include "FilterTestSupport.h"

using namespace std::chrono_literals;

namespace {

std::vector<uint32_t> gShown;
void captureMessage(uint32_t id, const std::vector<std::string>&) { gShown.push_back(id); }

class FilterFiles : public ::testing::Test {
protected:
    void SetUp() override {
        gShown.clear();
        previous_ = setUserMessageHandler(captureMessage);
    }
    void TearDown() override { setUserMessageHandler(previous_); }

    std::unique_ptr<FilterSet> load(std::chrono::milliseconds timeout = 50ms) {
        return std::make_unique<FilterSet>(registry, nullptr, dir.dir(), timeout);
    }

    TempDir dir;
    MemoryRegistry registry;
    UserMessageHandler previous_ = nullptr;
};

std::string wordRecord(const std::string& words, bool uncertain, bool useCase, uint32_t disabled = 0) {
    return fieldBytes(words) + std::string(1, uncertain) + std::string(1, useCase) + u32Bytes(disabled);
}

std::string sizeRecord(int32_t upper, int32_t lower, bool uncertain) {
    return u32Bytes(static_cast<uint32_t>(upper)) + u32Bytes(static_cast<uint32_t>(lower)) +
           std::string(1, uncertain) + std::string(1, '\0') + u32Bytes(0);
}

TEST_F(FilterFiles, ListFilesWrittenElsewhereLoadIntoTheirLists) {
    dir.write("from.dat", "KX10" + u32Bytes(2) + wordRecord("spam@x", false, false) +
                              wordRecord("Promo", true, true));
    dir.write("subject.dat", "KX10" + u32Bytes(1) + wordRecord("lottery", false, false));
    dir.write("to.dat", "KX10" + u32Bytes(1) + wordRecord("me@home; me@work", false, false));
    dir.write("size.dat", "KX10" + u32Bytes(2) + sizeRecord(102400, -1, false) + sizeRecord(0, 1024, true));
    auto set = load();
    ASSERT_EQ(set->fromList().size(), 2u);
    EXPECT_EQ(set->fromList()[1].words, "Promo");
    EXPECT_TRUE(set->fromList()[1].uncertain);
    EXPECT_TRUE(set->fromList()[1].useCase);
    EXPECT_EQ(set->fromList()[0].field, MSG_ColFrom);
    ASSERT_EQ(set->subjectList().size(), 1u);
    EXPECT_EQ(set->subjectList()[0].field, MSG_ColSubject);
    ASSERT_EQ(set->toCcList().size(), 1u);
    EXPECT_EQ(set->toCcList()[0].words, "me@home; me@work");  // one record, whole text
    EXPECT_EQ(set->toCcList()[0].field, MSG_ColTo);
    ASSERT_EQ(set->sizeList().size(), 2u);
    EXPECT_EQ(set->sizeList()[0].upperBound, 102400);
    EXPECT_EQ(set->sizeList()[1].lowerBound, 1024);
    EXPECT_TRUE(gShown.empty());
}

TEST_F(FilterFiles, TruncatedAtEveryOffsetKeepsTheWholeRecordsBefore) {
    std::vector<std::string> records = {wordRecord("first", false, false), wordRecord("second entry", true, false),
                                        wordRecord("", false, true)};
    std::string file = "KX10" + u32Bytes(3);
    std::vector<size_t> ends;
    for (const auto& r : records) {
        file += r;
        ends.push_back(file.size());
    }
    for (size_t cut = 0; cut <= file.size(); ++cut) {
        gShown.clear();
        dir.write("subject.dat", file.substr(0, cut));
        auto set = load();
        EXPECT_TRUE(gShown.empty()) << "a file that ends early shows nothing; cut at " << cut;
        size_t whole = 0;
        while (whole < ends.size() && ends[whole] <= cut) ++whole;
        ASSERT_EQ(set->subjectList().size(), whole) << "cut at " << cut;
    }
}

TEST_F(FilterFiles, DamagedListFiles) {
    const struct {
        const char* what;
        std::string bytes;
        size_t loaded;
        bool reported;
    } cases[] = {
        {"magic only", "KX10", 0, false},
        {"other magic", "KX11" + u32Bytes(1) + wordRecord("x", false, false), 0, false},
        {"count beyond records", "KX10" + u32Bytes(1000) + wordRecord("a", false, false) + wordRecord("b", 0, 0), 2,
         false},
        {"oversized string", "KX10" + u32Bytes(2) + wordRecord("a", false, false) + u32Bytes(0x1FFFF) +
                                 std::string(0x1FFFF, 'x'),
         1, true},
        {"string past the end (the file ends early)", "KX10" + u32Bytes(1) + u32Bytes(4000) + "ab", 0, false},
        {"odd string count", "KX10" + u32Bytes(1) + u32Bytes(3) + "abc" + std::string(6, '\0'), 0, true},
        {"empty file", "", 0, false},
    };
    for (const auto& c : cases) {
        gShown.clear();
        dir.write("from.dat", c.bytes);
        auto set = load();
        EXPECT_EQ(set->fromList().size(), c.loaded) << c.what;
        EXPECT_EQ(!gShown.empty(), c.reported) << c.what;
    }
}

TEST_F(FilterFiles, SavedListsReadBack) {
    auto set = load();
    EXPECT_TRUE(set->saveFrom());
    EXPECT_EQ(dir.read("from.dat"), "KX10" + u32Bytes(0));  // an empty list is 8 bytes

    WordFilter w(MSG_ColSubject, "caf\xE9 offer");
    w.uncertain = true;
    SizeFilter s;
    s.upperBound = 0;
    s.lowerBound = 4096;
    set->setSubjectList({w, WordFilter(MSG_ColFrom, "wrong field")}, true);
    set->setSizeList({s}, true);
    EXPECT_EQ(dir.read("size.dat").size(), 8u + 14);

    auto back = load();
    ASSERT_EQ(back->subjectList().size(), 2u);
    EXPECT_EQ(back->subjectList()[0].words, "caf\xE9 offer");
    EXPECT_TRUE(back->subjectList()[0].uncertain);
    EXPECT_EQ(back->subjectList()[1].field, MSG_ColSubject);
    ASSERT_EQ(back->sizeList().size(), 1u);
    EXPECT_EQ(back->sizeList()[0].upperBound, 0);
    EXPECT_EQ(back->sizeList()[0].lowerBound, 4096);
}

TEST_F(FilterFiles, UnchangedOrLockedListsAreLeftAlone) {
    auto set = load();
    set->setFromList({WordFilter(MSG_ColFrom, "x")}, false);
    EXPECT_TRUE(set->fromList().empty());
    EXPECT_FALSE(dir.exists("from.dat"));

    ASSERT_TRUE(set->lockRead());  // a worker evaluating
    set->setFromList({WordFilter(MSG_ColFrom, "x")}, true);
    set->setFriends(false, {"a@b"}, true);
    set->unlockRead();
    EXPECT_TRUE(set->fromList().empty());
    EXPECT_FALSE(dir.exists("from.dat"));
    EXPECT_TRUE(set->checkFriends());
    EXPECT_FALSE(dir.exists("friends.dat"));
}

TEST_F(FilterFiles, FailedWriteIsReportedAndTheListKept) {
    FilterSet set(registry, nullptr, dir.file("missing") + "/", 50ms);
    set.setFromList({WordFilter(MSG_ColFrom, "x")}, true);
    EXPECT_EQ(set.fromList().size(), 1u);
    EXPECT_EQ(gShown.size(), 1u);
    EXPECT_FALSE(set.savePowerFile());
    EXPECT_FALSE(set.writeAddressFile("friends.dat", {"a"}));
    EXPECT_EQ(gShown.size(), 3u);
}

TEST_F(FilterFiles, SwitchesFromTheRegistry) {
    {
        auto set = load();  // no Filter key at all
        EXPECT_TRUE(set->checkSpammers());
        EXPECT_TRUE(set->checkFriends());
    }
    const struct {
        uint32_t type;
        std::string data;
        bool expected;
    } cases[] = {
        {kRegDword, u32Bytes(0), false},    {kRegDword, u32Bytes(7), true},
        {kRegBinary, u32Bytes(0), false},   {kRegBinary, std::string(2, '\0'), true},  // not 4 bytes: default
        {kRegSz, std::string("0\0", 2), true},
    };
    for (const auto& c : cases) {
        registry.put(kRegCurrentUser, kFilterKey, "CheckFriends", c.type, c.data);
        registry.put(kRegCurrentUser, kFilterKey, "CheckSpammers", c.type, c.data);
        auto set = load();
        EXPECT_EQ(set->checkFriends(), c.expected) << c.type << " " << c.data.size();
        EXPECT_EQ(set->checkSpammers(), c.expected) << c.type << " " << c.data.size();
    }

    auto set = load();
    set->setSpammers(false, {}, false);  // the switch is stored even without list changes
    uint32_t type = 0;
    std::string data;
    ASSERT_TRUE(registry.get(kRegCurrentUser, kFilterKey, "CheckSpammers", type, data));
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(data, u32Bytes(0));
    ASSERT_TRUE(registry.get(kRegCurrentUser, kFilterKey, "CheckFriends", type, data));
    EXPECT_EQ(data, u32Bytes(1));
    EXPECT_FALSE(dir.exists("spammers.dat"));
}

TEST_F(FilterFiles, AddressFiles) {
    dir.write("friends.dat", "anna@home.example\r\n\r\nBob <bob@x>\nlast@x");
    dir.write("spammers.dat", std::string(300, 's') + "\r\n");
    auto set = load();
    EXPECT_EQ(set->friends(),
              (std::set<uint32_t>{addressHash("anna@home.example"), addressHash("Bob <bob@x>"), addressHash("last@x")}));
    EXPECT_EQ(set->spammers(), (std::set<uint32_t>{addressHash(std::string(300, 's'))}));

    std::vector<std::string> list;
    size_t total = 0;
    EXPECT_TRUE(set->readAddressFile("friends.dat", list, total));
    EXPECT_EQ(total, 17u + 11 + 6);
    EXPECT_FALSE(set->readAddressFile("nothing.dat", list, total));

    set->setFriends(true, {"z@x", "a@x", "z@x"}, true);  // typed twice: saved twice
    EXPECT_EQ(dir.read("friends.dat"), "z@x\r\na@x\r\nz@x\r\n");
    EXPECT_EQ(set->friends().size(), 2u);
}

class ScriptedEditor : public FilterEditor {
public:
    bool editWordFilter(WordFilter& f, WordList list) override {
        seen.push_back("word " + f.words);
        lists.push_back(list);
        if (!newText.empty()) f.words = newText;
        return confirm;
    }
    bool editAddress(std::string& address, bool spammer) override {
        seen.push_back((spammer ? "spammer " : "friend ") + address);
        if (!newText.empty()) address = newText;
        return confirm;
    }
    bool editPowerFilter(PowerFilter& f) override {
        seen.push_back("power " + f.filterName);
        power = f;
        return confirm;
    }
    bool confirm = true;
    std::string newText;
    std::vector<std::string> seen;
    std::vector<WordList> lists;
    PowerFilter power;
};

TEST_F(FilterFiles, AddingSendersFromMessages) {
    auto set = load();
    ScriptedEditor editor;
    auto m = topMessage({"From: \"Anna\" <anna@home.example>", "Subject: hi", "", "x"});
    set->addFriend(*m, editor);
    EXPECT_EQ(editor.seen.back(), "friend anna@home.example");
    EXPECT_EQ(dir.read("friends.dat"), "anna@home.example\r\n");
    set->addFriend(*m, editor);  // already a friend: file unchanged
    EXPECT_EQ(dir.read("friends.dat"), "anna@home.example\r\n");
    EXPECT_EQ(set->friends().size(), 1u);

    editor.newText = "edited@x";
    set->addSpammer(*m, editor);
    EXPECT_EQ(dir.read("spammers.dat"), "edited@x\r\n");
    EXPECT_TRUE(set->spammers().count(addressHash("edited@x")));

    editor.confirm = false;
    editor.newText.clear();
    set->addSpammer(*topMessage({"From: other@x", "", ""}), editor);
    EXPECT_EQ(dir.read("spammers.dat"), "edited@x\r\n");

    size_t before = editor.seen.size();
    set->addFriend(*topMessage({"From:", "", ""}), editor);  // no sender: no dialog
    EXPECT_EQ(editor.seen.size(), before);
}

TEST_F(FilterFiles, AppendKeepsALastLineWithoutLineFeed) {
    dir.write("friends.dat", "old@x");
    auto set = load();
    EXPECT_TRUE(set->appendAddress("friends.dat", "new@x"));
    EXPECT_EQ(dir.read("friends.dat"), "old@x\r\nnew@x\r\n");
    // A missing file is started; one that exists but cannot be read is never
    // replaced by the single new line.
    EXPECT_TRUE(set->appendAddress("spammers.dat", "bad@x"));
    EXPECT_EQ(dir.read("spammers.dat"), "bad@x\r\n");
    std::filesystem::create_directory(dir.file("unreadable.dat"));
    gShown.clear();
    EXPECT_FALSE(set->appendAddress("unreadable.dat", "new@x"));
    EXPECT_EQ(gShown.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("unreadable.dat")));
}

TEST_F(FilterFiles, AddingWordAndPowerFiltersFromMessages) {
    auto set = load();
    ScriptedEditor editor;
    auto m = topMessage({"From: Shop <deals@shop.example>", "To: me@home.example",
                         "Subject: Big sale", "Content-Type: multipart/mixed; boundary=b", "", "--b",
                         "Content-Disposition: attachment; filename=\"a.zip\"", "", "x", "--b",
                         "Content-Disposition: attachment; filename=\"b.zip\"", "", "y", "--b--"});
    set->addSubjectFilter(*m, editor);
    ASSERT_EQ(set->subjectList().size(), 1u);
    EXPECT_EQ(set->subjectList()[0].words, "Big sale");
    EXPECT_EQ(editor.lists.back(), FilterEditor::WordList::Subject);
    set->addFromFilter(*m, editor);
    EXPECT_EQ(set->fromList()[0].field, MSG_ColFrom);

    set->addPowerFilter(*m, editor);
    EXPECT_EQ(editor.power.filterName, "Shop <deals@shop.example>");
    EXPECT_EQ(editor.power.fromWords, "Shop <deals@shop.example>");
    EXPECT_EQ(editor.power.subjectWords, "Big sale");
    EXPECT_EQ(editor.power.toCcWords, "me@home.example");
    EXPECT_EQ(editor.power.attachWords, "a.zip");
    EXPECT_FALSE(editor.power.anyCondition());

    auto back = load();
    EXPECT_EQ(back->subjectList().size(), 1u);
    EXPECT_EQ(back->fromList().size(), 1u);
    ASSERT_EQ(back->powerList().size(), 1u);
    EXPECT_EQ(back->powerList()[0].attachWords, "a.zip");

    editor.confirm = false;
    set->addFromFilter(*m, editor);
    EXPECT_EQ(set->fromList().size(), 1u);
}

TEST_F(FilterFiles, PowerAndVirusFiles) {
    std::ifstream sample(KX_TEST_DATA "/filter/power.dat", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(sample)), std::istreambuf_iterator<char>());
    dir.write("power.dat", text);
    dir.write("virus.dat", "FilterName=Worm\r\nAttachEnabled=yes\r\nAttach=.scr\r\n");
    auto set = load();
    EXPECT_EQ(set->powerList().size(), 3u);
    ASSERT_EQ(set->virusList().size(), 1u);
    EXPECT_EQ(set->virusList()[0].attachWords, ".scr");

    auto list = set->powerList();
    std::swap(list[0], list[2]);
    set->setPowerList(list, true);
    auto back = load();
    ASSERT_EQ(back->powerList().size(), 3u);
    EXPECT_EQ(back->powerList()[0].filterName, "Old rule");
    EXPECT_EQ(dir.read("virus.dat"), "FilterName=Worm\r\nAttachEnabled=yes\r\nAttach=.scr\r\n");
}

TEST_F(FilterFiles, ImportWordList) {
    std::string longLine(300, 'w');
    dir.write("words.txt", "cheap\r\n\r\n   \t\r\n  two spaces  \r\nlast" "\n" + longLine + "\n\x0c\n");
    std::vector<WordFilter> target = {WordFilter(MSG_ColTo, "existing")};
    ASSERT_TRUE(FilterSet::importWordList(dir.file("words.txt"), target, MSG_ColTo));
    ASSERT_EQ(target.size(), 6u);
    EXPECT_EQ(target[1].words, "cheap");
    EXPECT_EQ(target[2].words, "  two spaces");
    EXPECT_EQ(target[3].words, "last");
    EXPECT_EQ(target[4].words, std::string(259, 'w'));  // the buffer's worth, then the rest
    EXPECT_EQ(target[5].words, std::string(41, 'w'));
    for (const auto& f : target) {
        EXPECT_EQ(f.field, MSG_ColTo);
        EXPECT_FALSE(f.uncertain || f.useCase || f.disabled);
    }
    EXPECT_FALSE(FilterSet::importWordList(dir.file("none.txt"), target, MSG_ColTo));
    ASSERT_EQ(gShown.size(), 1u);
    EXPECT_EQ(gShown[0], 2u);  // the system's "file not found"
}

}  // namespace

namespace {
FilterSet* gLockedSet = nullptr;
bool gLockWasFree = false;
void tryTheLock(uint32_t, const std::vector<std::string>&) {
    gLockWasFree = gLockedSet->lockRead();
    if (gLockWasFree) gLockedSet->unlockRead();
}
}  // namespace

TEST_F(FilterFiles, AFailedSaveIsReportedOnlyAfterTheLockIsFree) {
    auto set = load(std::chrono::milliseconds(50));
    std::filesystem::create_directory(dir.file("from.dat"));  // the save cannot replace a folder
    gLockedSet = set.get();
    setUserMessageHandler(tryTheLock);
    set->setFromList({WordFilter(MSG_ColFrom, "x")}, true);
    EXPECT_TRUE(gLockWasFree);  // workers could evaluate while the box stood open
    setUserMessageHandler(captureMessage);
}
