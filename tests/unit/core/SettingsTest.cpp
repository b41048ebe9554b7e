#include <gtest/gtest.h>

#include <map>

#include "TempDir.h"
#include "core/MailClient.h"
#include "core/MemoryRegistry.h"
#include "core/Platform.h"
#include "core/Settings.h"

namespace {

const char* const kKey = kSettingsKey;

class FakeIcons : public IconSlots {
public:
    void loadIconFile(Slot slot, const std::string& path) override { loaded[slot] = path; }
    bool iconFromFile(Slot slot) const override { return files.count(slot) != 0; }
    std::string iconPath(Slot slot) const override { return files.count(slot) ? files.at(slot) : ""; }

    std::map<Slot, std::string> loaded;  // what Settings handed over
    std::map<Slot, std::string> files;   // what the slots report on save
};

void registerMailClient(MemoryRegistry& reg, const std::string& command, uint32_t type = kRegSz) {
    reg.putString(kRegLocalMachine, "SOFTWARE\\Clients\\Mail", "", "Mailer");
    reg.put(kRegLocalMachine, "SOFTWARE\\Clients\\Mail\\Mailer\\shell\\open\\command", "", type, command + '\0');
}

uint32_t storedNumber(MemoryRegistry& reg, const char* name) {
    uint32_t type = 0;
    std::string data;
    EXPECT_TRUE(reg.get(kRegCurrentUser, kKey, name, type, data)) << name;
    EXPECT_EQ(type, kRegDword) << name;
    EXPECT_EQ(data.size(), 4u) << name;
    uint32_t v = 0;
    for (size_t i = 0; i < data.size() && i < 4; ++i) v |= uint32_t(uint8_t(data[i])) << (8 * i);
    return v;
}

std::string storedString(MemoryRegistry& reg, const char* name) {
    uint32_t type = 0;
    std::string data;
    EXPECT_TRUE(reg.get(kRegCurrentUser, kKey, name, type, data)) << name;
    EXPECT_EQ(type, kRegSz) << name;
    EXPECT_TRUE(!data.empty() && data.back() == '\0') << name;
    return data.empty() ? data : data.substr(0, data.size() - 1);
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { overrideProgramDirectory(dir.dir()); }
    void TearDown() override { overrideProgramDirectory(""); }
    TempDir dir;
    MemoryRegistry reg;
};

}  // namespace

TEST_F(SettingsTest, FirstRunCreatesTheKeyWithDefaults) {
    registerMailClient(reg, "\"C:\\Mail\\mailer.exe\" /mail");
    Settings s(reg);
    EXPECT_TRUE(reg.keyExists(kRegCurrentUser, kKey));
    EXPECT_EQ(s.ViewAutoSelect, 8u);
    EXPECT_EQ(s.ViewCharset, 40066u);
    EXPECT_EQ(s.MarkMsgDelay, 5);
    EXPECT_EQ(s.InetConnectionType, 0u);
    EXPECT_EQ(s.LeftMouseButtonDoubleClickAction, 0u);
    for (bool b : {s.RunMailerAfterNewMail, s.WinStartup, s.HideStart, s.PlaySound, s.Repeat,
                   s.RepeatWhenWindowIsOpen, s.FlashIcon, s.ShowChecking, s.ErrorIcon, s.ShowNumberAllMsgs,
                   s.DontCalcDeleted, s.ShowTips})
        EXPECT_FALSE(b);
    EXPECT_EQ(s.SoundFile, dir.dir() + "kestrix.wav");
    EXPECT_EQ(s.MailClient, "\"C:\\Mail\\mailer.exe\" /mail");
    EXPECT_EQ(s.MainWindowPlacement, (std::array<uint8_t, 44>{}));
    EXPECT_EQ(reg.openHandles(), 0u);
}

TEST_F(SettingsTest, UnreachableKeyKeepsTheInitialValues) {
    reg.setDenyAll(true);
    Settings s(reg);
    EXPECT_TRUE(s.WinStartup);
    EXPECT_TRUE(s.HideStart);
    EXPECT_TRUE(s.ShowTips);
    EXPECT_EQ(s.SoundFile, "");
    s.PlaySound = true;
    s.save();  // silently nothing
    EXPECT_FALSE(reg.keyExists(kRegCurrentUser, kKey));
}

TEST_F(SettingsTest, RoundTripOfEveryField) {
    {
        Settings s(reg);
        s.ViewAutoSelect = 0;
        s.ViewCharset = 40064;
        s.RunMailerAfterNewMail = s.WinStartup = s.HideStart = s.PlaySound = s.Repeat = true;
        s.RepeatWhenWindowIsOpen = s.FlashIcon = s.ShowChecking = s.ErrorIcon = true;
        s.ShowNumberAllMsgs = s.DontCalcDeleted = s.ShowTips = true;
        s.MailClient = "mail.exe";
        s.SoundFile = "C:\\ding.wav";
        s.InetConnectionType = 1;
        s.MainWindowPlacement.fill(0x44);
        s.Font.fill(0x60);
        s.LeftMouseButtonDoubleClickAction = 1;
        s.MarkMsgDelay = -1;
    }  // destruction saves
    Settings s(reg);
    EXPECT_EQ(s.ViewAutoSelect, 0u);
    EXPECT_EQ(s.ViewCharset, 40064u);
    for (bool b : {s.RunMailerAfterNewMail, s.WinStartup, s.HideStart, s.PlaySound, s.Repeat,
                   s.RepeatWhenWindowIsOpen, s.FlashIcon, s.ShowChecking, s.ErrorIcon, s.ShowNumberAllMsgs,
                   s.DontCalcDeleted, s.ShowTips})
        EXPECT_TRUE(b);
    EXPECT_EQ(s.MailClient, "mail.exe");
    EXPECT_EQ(s.SoundFile, "C:\\ding.wav");
    EXPECT_EQ(s.InetConnectionType, 1u);
    EXPECT_EQ(storedNumber(reg, "InetConnectionType"), 0u);
    EXPECT_EQ(s.MainWindowPlacement[43], 0x44);
    EXPECT_EQ(s.Font[59], 0x60);
    EXPECT_EQ(s.LeftMouseButtonDoubleClickAction, 1u);
    EXPECT_EQ(s.MarkMsgDelay, -1);
    EXPECT_EQ(storedNumber(reg, "MarkMsgDelay"), 0xFFFFFFFFu);
    EXPECT_EQ(storedNumber(reg, "WinStartup"), 1u);
}

TEST_F(SettingsTest, InvertedConnectionType) {
    struct Row {
        bool present;
        uint32_t stored;
        uint32_t field;
        uint32_t writtenBack;
    } rows[] = {{true, 1, 0, 1}, {true, 0, 1, 0}, {true, 2, 1, 0}, {false, 0, 0, 1}};
    for (const Row& row : rows) {
        MemoryRegistry r;
        if (row.present) r.putNumber(kRegCurrentUser, kKey, "InetConnectionType", row.stored);
        Settings s(r);
        EXPECT_EQ(s.InetConnectionType, row.field) << row.stored;
        s.save();
        EXPECT_EQ(storedNumber(r, "InetConnectionType"), row.writtenBack) << row.stored;
    }
}

TEST_F(SettingsTest, NumbersAcceptDwordOrShortBinaryOnly) {
    reg.putNumber(kRegCurrentUser, kKey, "MarkMsgDelay", 0xFFFFFFFF);
    reg.put(kRegCurrentUser, kKey, "ViewCharset", kRegBinary, std::string("\x80\x9c", 2));  // 40064
    reg.put(kRegCurrentUser, kKey, "ViewAutoSelect", kRegSz, std::string("0\0", 2));       // wrong type
    reg.put(kRegCurrentUser, kKey, "PlaySound", kRegBinary, std::string("\x01\0\0\0\0", 5));  // too long
    reg.put(kRegCurrentUser, kKey, "Repeat", kRegBinary, std::string("\x01", 1));
    reg.putNumber(kRegCurrentUser, kKey, "FlashIcon", 2);  // only 1 is true
    reg.putNumber(kRegCurrentUser, kKey, "LeftMouseButtonDoubleClickAction", 7);
    Settings s(reg);
    EXPECT_EQ(s.MarkMsgDelay, -1);
    EXPECT_EQ(s.ViewCharset, 40064u);
    EXPECT_EQ(s.ViewAutoSelect, 8u);
    EXPECT_FALSE(s.PlaySound);
    EXPECT_TRUE(s.Repeat);
    EXPECT_FALSE(s.FlashIcon);
    EXPECT_EQ(s.LeftMouseButtonDoubleClickAction, 0u);
}

TEST_F(SettingsTest, Strings) {
    registerMailClient(reg, "default-mailer.exe");
    reg.setEnvironment("SystemRoot", "C:\\Windows");
    reg.put(kRegCurrentUser, kKey, "SoundFile", kRegExpandSz, std::string("%SystemRoot%\\Media\\ding.wav\0", 28));
    reg.put(kRegCurrentUser, kKey, "MailClient", kRegMultiSz, std::string("a\0b\0\0", 5));  // counts as missing
    Settings s(reg);
    EXPECT_EQ(s.SoundFile, "C:\\Windows\\Media\\ding.wav");
    EXPECT_EQ(s.MailClient, "default-mailer.exe");

    reg.put(kRegCurrentUser, kKey, "SoundFile", kRegSz, "");  // size 0: empty, so the default
    reg.putString(kRegCurrentUser, kKey, "MailClient", "");
    s.load();
    EXPECT_EQ(s.SoundFile, dir.dir() + "kestrix.wav");
    EXPECT_EQ(s.MailClient, "default-mailer.exe");
    s.save();
    EXPECT_EQ(storedString(reg, "SoundFile"), dir.dir() + "kestrix.wav");
}

TEST_F(SettingsTest, Binaries) {
    Settings s(reg);
    reg.put(kRegCurrentUser, kKey, "MainWindowPlacement", kRegBinary, std::string(10, '\x07'));
    reg.put(kRegCurrentUser, kKey, "Font", kRegBinary, std::string(61, '\x07'));
    s.Font.fill(0x55);
    s.load();
    for (size_t i = 0; i < 44; ++i) EXPECT_EQ(s.MainWindowPlacement[i], i < 10 ? 7 : 0) << i;
    EXPECT_EQ(s.Font, (std::array<uint8_t, 60>{}));  // longer than 60: all zero
    s.save();
    uint32_t type;
    std::string data;
    ASSERT_TRUE(reg.get(kRegCurrentUser, kKey, "MainWindowPlacement", type, data));
    EXPECT_EQ(type, kRegBinary);
    EXPECT_EQ(data.size(), 44u);
    ASSERT_TRUE(reg.get(kRegCurrentUser, kKey, "Font", type, data));
    EXPECT_EQ(data.size(), 60u);
}

TEST_F(SettingsTest, IconPathsGoToTheSlots) {
    reg.putString(kRegCurrentUser, kKey, "NormalIconPath", "default");  // a file name: only "Default" is special
    reg.putString(kRegCurrentUser, kKey, "CheckIconPath", "Default");
    reg.putString(kRegCurrentUser, kKey, "ErrorIconPath", "");
    reg.putString(kRegCurrentUser, kKey, "CheckErrorIconPath", "C:\\icons\\both.ico");
    FakeIcons icons;
    Settings s(reg, &icons);
    EXPECT_EQ(icons.loaded, (std::map<IconSlots::Slot, std::string>{{IconSlots::Normal, "default"},
                                                                    {IconSlots::CheckError, "C:\\icons\\both.ico"}}));
    icons.files = {{IconSlots::Error, "C:\\e.ico"}};
    s.save();
    EXPECT_EQ(storedString(reg, "NormalIconPath"), "Default");
    EXPECT_EQ(storedString(reg, "CheckIconPath"), "Default");
    EXPECT_EQ(storedString(reg, "ErrorIconPath"), "C:\\e.ico");
    EXPECT_EQ(storedString(reg, "CheckErrorIconPath"), "Default");
}

TEST_F(SettingsTest, WithoutTrayTheIconPathsAreKept) {
    reg.putString(kRegCurrentUser, kKey, "NormalIconPath", "C:\\n.ico");
    Settings s(reg);
    s.save();
    EXPECT_EQ(storedString(reg, "NormalIconPath"), "C:\\n.ico");
    EXPECT_EQ(storedString(reg, "CheckIconPath"), "Default");
}

TEST_F(SettingsTest, SaveRemovesTheScreenSaverSummary) {
    reg.put(kRegCurrentUser, kSSaverKey, "MailInfo", kRegBinary, "summary");
    reg.putString(kRegCurrentUser, kSSaverKey, "Other", "stays");
    Settings s(reg);
    s.save();
    EXPECT_FALSE(reg.valueExists(kRegCurrentUser, kSSaverKey, "MailInfo"));
    EXPECT_TRUE(reg.valueExists(kRegCurrentUser, kSSaverKey, "Other"));

    // A missing SSaver key is not created.
    MemoryRegistry other;
    Settings t(other);
    t.save();
    EXPECT_FALSE(other.keyExists(kRegCurrentUser, kSSaverKey));
}

TEST_F(SettingsTest, KeysCanBeRedirected) {
    Settings::Keys keys{"SOFTWARE\\Test\\Settings", "SOFTWARE\\Test\\SSaver"};
    {
        Settings s(reg, nullptr, keys);
        s.MarkMsgDelay = 9;
    }
    EXPECT_FALSE(reg.keyExists(kRegCurrentUser, kKey));
    EXPECT_TRUE(reg.valueExists(kRegCurrentUser, "SOFTWARE\\Test\\Settings", "MarkMsgDelay"));
}

TEST(MailClient, DefaultClientLookup) {
    // The result of an earlier successful lookup comes back when a later
    // one fails, so this test does all of its lookups in order.
    MemoryRegistry empty;
    std::string before = findDefaultMailClient(empty);

    MemoryRegistry reg;
    reg.setEnvironment("ProgramFiles", "C:\\Program Files");
    registerMailClient(reg, "\"%ProgramFiles%\\Mailer\\mailer.exe\" /mail", kRegExpandSz);
    EXPECT_EQ(findDefaultMailClient(reg), "\"C:\\Program Files\\Mailer\\mailer.exe\" /mail");

    registerMailClient(reg, "%Unknown%\\m.exe");
    EXPECT_EQ(findDefaultMailClient(reg), "%Unknown%\\m.exe");

    EXPECT_EQ(findDefaultMailClient(empty), "%Unknown%\\m.exe");
    (void)before;
}
