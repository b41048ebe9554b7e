// The Settings and event-log registry tests, written once over the Registry
// interface: unit_core runs them against MemoryRegistry, win_core against
// Wine's registry. Each test works under a key of its own.
#pragma once
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "core/EventLog.h"
#include "core/Platform.h"
#include "core/Registry.h"
#include "core/Settings.h"

// What a registry under test provides besides the interface.
class RegistryTarget {
public:
    virtual ~RegistryTarget() = default;
    virtual Registry& registry() = 0;
    virtual void setEnvironment(const std::string& name, const std::string& value) = 0;
};

using RegistryTargetFactory = std::unique_ptr<RegistryTarget> (*)();

class SettingsSuite : public ::testing::TestWithParam<RegistryTargetFactory> {
protected:
    void SetUp() override {
        target = GetParam()();
        base = std::string("SOFTWARE\\Kestrix Tests\\") +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : base)
            if (c == '/') c = '-';
        keys.settings = base + "\\Settings";
        keys.ssaver = base + "\\SSaver";
        reg().deleteTree(kRegCurrentUser, base);
    }
    void TearDown() override {
        reg().deleteTree(kRegCurrentUser, base);
        reg().deleteKey(kRegCurrentUser, "SOFTWARE\\Kestrix Tests");  // fails while others are there
    }

    Registry& reg() { return target->registry(); }

    RegKey key(const std::string& path) {
        RegKey k;
        EXPECT_TRUE(k.create(reg(), kRegCurrentUser, path, RegAccess::AllAccess)) << path;
        return k;
    }
    bool raw(const std::string& path, const char* name, uint32_t& type, std::string& data) {
        RegKey k;
        return k.open(reg(), kRegCurrentUser, path, RegAccess::Read) && k.query(name, type, data) == kRegOk;
    }
    uint32_t storedNumber(const char* name) {
        uint32_t type = 0;
        std::string data;
        EXPECT_TRUE(raw(keys.settings, name, type, data)) << name;
        EXPECT_EQ(type, kRegDword) << name;
        EXPECT_EQ(data.size(), 4u) << name;
        uint32_t v = 0;
        for (size_t i = 0; i < data.size() && i < 4; ++i) v |= uint32_t(uint8_t(data[i])) << (8 * i);
        return v;
    }
    std::string storedString(const char* name) {
        uint32_t type = 0;
        std::string data;
        EXPECT_TRUE(raw(keys.settings, name, type, data)) << name;
        EXPECT_EQ(type, kRegSz) << name;
        EXPECT_TRUE(!data.empty() && data.back() == '\0') << name;
        return data.substr(0, data.find('\0'));
    }

    std::unique_ptr<RegistryTarget> target;
    std::string base;
    Settings::Keys keys;
};

class RecordingIcons : public IconSlots {
public:
    void loadIconFile(Slot slot, const std::string& path) override { loaded[slot] = path; }
    bool iconFromFile(Slot slot) const override { return files.count(slot) != 0; }
    std::string iconPath(Slot slot) const override { return files.count(slot) ? files.at(slot) : ""; }

    std::map<Slot, std::string> loaded;  // what Settings handed over
    std::map<Slot, std::string> files;   // what the slots report on save
};

TEST_P(SettingsSuite, FirstRunCreatesTheKey) {
    Settings s(reg(), nullptr, keys);
    RegKey created;
    EXPECT_TRUE(created.open(reg(), kRegCurrentUser, keys.settings, RegAccess::Read));
    EXPECT_EQ(s.ViewAutoSelect, 8u);
    EXPECT_EQ(s.ViewCharset, 40066u);
    EXPECT_EQ(s.MarkMsgDelay, 5);
    EXPECT_EQ(s.InetConnectionType, 0u);
    EXPECT_EQ(s.LeftMouseButtonDoubleClickAction, 0u);
    // A missing boolean reads as false, even where the initial value is true.
    for (bool b : {s.RunMailerAfterNewMail, s.WinStartup, s.HideStart, s.PlaySound, s.Repeat,
                   s.RepeatWhenWindowIsOpen, s.FlashIcon, s.ShowChecking, s.ErrorIcon, s.ShowNumberAllMsgs,
                   s.DontCalcDeleted, s.ShowTips})
        EXPECT_FALSE(b);
    EXPECT_EQ(s.SoundFile, programDirectory() + "kestrix.wav");
    EXPECT_EQ(s.MainWindowPlacement, (std::array<uint8_t, 44>{}));
    EXPECT_EQ(s.Font, (std::array<uint8_t, 60>{}));
}

TEST_P(SettingsSuite, RoundTripOfEveryField) {
    {
        Settings s(reg(), nullptr, keys);
        s.ViewAutoSelect = 0;
        s.ViewCharset = 40064;
        s.RunMailerAfterNewMail = s.WinStartup = s.HideStart = s.PlaySound = s.Repeat = true;
        s.RepeatWhenWindowIsOpen = s.FlashIcon = s.ShowChecking = s.ErrorIcon = true;
        s.ShowNumberAllMsgs = s.DontCalcDeleted = s.ShowTips = true;
        s.MailClient = "\"C:\\Mail\\mailer.exe\" /x";
        s.SoundFile = "C:\\ding.wav";
        s.InetConnectionType = 1;
        s.MainWindowPlacement.fill(0x44);
        s.Font.fill(0x60);
        s.LeftMouseButtonDoubleClickAction = 1;
        s.MarkMsgDelay = -1;
    }  // destruction saves
    EXPECT_EQ(storedNumber("WinStartup"), 1u);
    EXPECT_EQ(storedNumber("InetConnectionType"), 0u);
    EXPECT_EQ(storedNumber("MarkMsgDelay"), 0xFFFFFFFFu);
    EXPECT_EQ(storedString("NormalIconPath"), "Default");

    Settings s(reg(), nullptr, keys);
    EXPECT_EQ(s.ViewAutoSelect, 0u);
    EXPECT_EQ(s.ViewCharset, 40064u);
    for (bool b : {s.RunMailerAfterNewMail, s.WinStartup, s.HideStart, s.PlaySound, s.Repeat,
                   s.RepeatWhenWindowIsOpen, s.FlashIcon, s.ShowChecking, s.ErrorIcon, s.ShowNumberAllMsgs,
                   s.DontCalcDeleted, s.ShowTips})
        EXPECT_TRUE(b);
    EXPECT_EQ(s.MailClient, "\"C:\\Mail\\mailer.exe\" /x");
    EXPECT_EQ(s.SoundFile, "C:\\ding.wav");
    EXPECT_EQ(s.InetConnectionType, 1u);
    std::array<uint8_t, 44> placement;
    placement.fill(0x44);
    std::array<uint8_t, 60> font;
    font.fill(0x60);
    EXPECT_EQ(s.MainWindowPlacement, placement);
    EXPECT_EQ(s.Font, font);
    EXPECT_EQ(s.LeftMouseButtonDoubleClickAction, 1u);
    EXPECT_EQ(s.MarkMsgDelay, -1);
}

TEST_P(SettingsSuite, InvertedConnectionType) {
    struct Row {
        bool present;
        uint32_t stored, field, writtenBack;
    } rows[] = {{true, 1, 0, 1}, {true, 0, 1, 0}, {true, 2, 1, 0}, {false, 0, 0, 1}};
    for (const Row& row : rows) {
        reg().deleteTree(kRegCurrentUser, keys.settings);
        if (row.present) key(keys.settings).writeNumber("InetConnectionType", row.stored);
        Settings s(reg(), nullptr, keys);
        EXPECT_EQ(s.InetConnectionType, row.field) << row.stored;
        s.save();
        EXPECT_EQ(storedNumber("InetConnectionType"), row.writtenBack) << row.stored;
    }
}

TEST_P(SettingsSuite, NumbersAcceptDwordOrShortBinaryOnly) {
    {
        RegKey k = key(keys.settings);
        k.writeNumber("MarkMsgDelay", 0xFFFFFFFF);
        k.writeBinary("ViewCharset", "\x80\x9c", 2);           // 40064
        k.writeString("ViewAutoSelect", "0");                  // a text: missing
        k.writeBinary("PlaySound", "\x01\0\0\0\0", 5);         // too long: missing
        k.writeBinary("Repeat", "\x01", 1);
        k.writeNumber("FlashIcon", 2);                         // only 1 is true
        k.writeNumber("LeftMouseButtonDoubleClickAction", 7);  // only 1 is 1
    }
    Settings s(reg(), nullptr, keys);
    EXPECT_EQ(s.MarkMsgDelay, -1);
    EXPECT_EQ(s.ViewCharset, 40064u);
    EXPECT_EQ(s.ViewAutoSelect, 8u);
    EXPECT_FALSE(s.PlaySound);
    EXPECT_TRUE(s.Repeat);
    EXPECT_FALSE(s.FlashIcon);
    EXPECT_EQ(s.LeftMouseButtonDoubleClickAction, 0u);
}

TEST_P(SettingsSuite, StringsExpandAndFallBack) {
    target->setEnvironment("KX_MEDIA", "C:\\Media");
    {
        RegKey k = key(keys.settings);
        k.set("SoundFile", kRegExpandSz, std::string("%KX_MEDIA%\\ding.wav\0", 20));
        k.set("MailClient", kRegMultiSz, std::string("a\0b\0\0", 5));  // counts as missing
    }
    Settings s(reg(), nullptr, keys);
    EXPECT_EQ(s.SoundFile, "C:\\Media\\ding.wav");
    EXPECT_NE(s.MailClient, "a");

    key(keys.settings).set("SoundFile", kRegSz, "");  // size 0: empty, so the default
    s.load();
    EXPECT_EQ(s.SoundFile, programDirectory() + "kestrix.wav");
    s.save();
    EXPECT_EQ(storedString("SoundFile"), programDirectory() + "kestrix.wav");
}

TEST_P(SettingsSuite, BinariesUpToTheirSize) {
    {
        RegKey k = key(keys.settings);
        k.writeBinary("MainWindowPlacement", std::string(10, '\x07').data(), 10);
        k.writeBinary("Font", std::string(61, '\x07').data(), 61);
    }
    Settings s(reg(), nullptr, keys);
    for (size_t i = 0; i < 44; ++i) EXPECT_EQ(s.MainWindowPlacement[i], i < 10 ? 7 : 0) << i;
    EXPECT_EQ(s.Font, (std::array<uint8_t, 60>{}));  // longer than 60: all zero
    key(keys.settings).writeBinary("MainWindowPlacement", std::string(45, '\x07').data(), 45);
    s.load();
    EXPECT_EQ(s.MainWindowPlacement, (std::array<uint8_t, 44>{}));
    s.save();
    uint32_t type;
    std::string data;
    ASSERT_TRUE(raw(keys.settings, "MainWindowPlacement", type, data));
    EXPECT_EQ(type, kRegBinary);
    EXPECT_EQ(data.size(), 44u);
    ASSERT_TRUE(raw(keys.settings, "Font", type, data));
    EXPECT_EQ(data.size(), 60u);
}

TEST_P(SettingsSuite, IconPathsGoToTheSlots) {
    {
        RegKey k = key(keys.settings);
        k.writeString("NormalIconPath", "default");  // a file name: only "Default" is special
        k.writeString("CheckIconPath", "Default");
        k.writeString("ErrorIconPath", "");
        k.writeString("CheckErrorIconPath", "C:\\icons\\both.ico");
    }
    RecordingIcons icons;
    Settings s(reg(), &icons, keys);
    EXPECT_EQ(icons.loaded, (std::map<IconSlots::Slot, std::string>{{IconSlots::Normal, "default"},
                                                                    {IconSlots::CheckError, "C:\\icons\\both.ico"}}));
    icons.files = {{IconSlots::Error, "C:\\e.ico"}};
    s.save();
    EXPECT_EQ(storedString("NormalIconPath"), "Default");
    EXPECT_EQ(storedString("CheckIconPath"), "Default");
    EXPECT_EQ(storedString("ErrorIconPath"), "C:\\e.ico");
    EXPECT_EQ(storedString("CheckErrorIconPath"), "Default");
}

TEST_P(SettingsSuite, WithoutTrayTheIconPathsAreKept) {
    key(keys.settings).writeString("NormalIconPath", "C:\\n.ico");
    Settings s(reg(), nullptr, keys);
    s.save();
    EXPECT_EQ(storedString("NormalIconPath"), "C:\\n.ico");
    EXPECT_EQ(storedString("CheckIconPath"), "Default");
}

TEST_P(SettingsSuite, SaveRemovesTheScreenSaverSummary) {
    {
        Settings s(reg(), nullptr, keys);
        s.save();
        RegKey none;
        EXPECT_FALSE(none.open(reg(), kRegCurrentUser, keys.ssaver, RegAccess::Read));  // not created
    }
    {
        RegKey k = key(keys.ssaver);
        k.writeBinary("MailInfo", "summary", 7);
        k.writeString("Other", "stays");
    }
    Settings s(reg(), nullptr, keys);
    s.save();
    uint32_t type;
    std::string data;
    EXPECT_FALSE(raw(keys.ssaver, "MailInfo", type, data));
    EXPECT_TRUE(raw(keys.ssaver, "Other", type, data));
}

TEST_P(SettingsSuite, EventLogValues) {
    bool wasOn = eventLog().writeLog();
    std::string wasFile = eventLog().logFile();

    eventLog().setWriteLog(true);
    eventLog().load(reg(), keys.settings);
    EXPECT_FALSE(eventLog().writeLog());
    EXPECT_EQ(eventLog().logFile(), "kestrix.log");

    key(keys.settings).writeNumber("WriteLog", 2);  // only 1 means on
    eventLog().load(reg(), keys.settings);
    EXPECT_FALSE(eventLog().writeLog());

    target->setEnvironment("KX_LOGS", "C:\\logs");
    {
        RegKey k = key(keys.settings);
        k.writeNumber("WriteLog", 1);
        k.set("LogFile", kRegExpandSz, std::string("%KX_LOGS%\\k.log\0", 16));
    }
    eventLog().load(reg(), keys.settings);
    EXPECT_TRUE(eventLog().writeLog());
    EXPECT_EQ(eventLog().logFile(), "C:\\logs\\k.log");

    eventLog().setWriteLog(false);
    eventLog().setLogFile("b.log");
    eventLog().save(reg(), keys.settings);
    EXPECT_EQ(storedNumber("WriteLog"), 0u);
    EXPECT_EQ(storedString("LogFile"), "b.log");

    eventLog().setWriteLog(wasOn);
    eventLog().setLogFile(wasFile);
}
