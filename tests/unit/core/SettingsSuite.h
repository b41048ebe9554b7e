// Settings registry tests written once over the Registry
// interface: unit_core runs them on MemoryRegistry, win_core on Wine's registry.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/Platform.h"
#include "core/Registry.h"
#include "core/Settings.h"

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
        uint32_t type = 0, v = 0;
        std::string data;
        EXPECT_TRUE(raw(keys.settings, name, type, data) && type == kRegDword && data.size() == 4) << name;
        for (size_t i = 0; i < data.size() && i < 4; ++i) v |= uint32_t(uint8_t(data[i])) << (8 * i);
        return v;
    }
    std::string storedString(const char* name) {
        uint32_t type = 0;
        std::string data;
        EXPECT_TRUE(raw(keys.settings, name, type, data) && type == kRegSz && !data.empty() && data.back() == '\0')
            << name;
        return data.substr(0, data.find('\0'));
    }

    std::unique_ptr<RegistryTarget> target;
    std::string base;
    Settings::Keys keys;
};

TEST_P(SettingsSuite, RoundTripAndStoredTypes) {
    {
        Settings s(reg(), nullptr, keys);
        s.ViewCharset = 40064;
        s.WinStartup = s.ShowTips = true;
        s.MailClient = "\"C:\\Mail\\mailer.exe\" /x";
        s.InetConnectionType = 1;
        s.MainWindowPlacement.fill(0x44);
        s.Font.fill(0x60);
        s.LeftMouseButtonDoubleClickAction = 1;
        s.MarkMsgDelay = -1;
        s.save();
    }
    EXPECT_EQ(storedNumber("WinStartup"), 1u);
    EXPECT_EQ(storedNumber("MarkMsgDelay"), 0xFFFFFFFFu);
    EXPECT_EQ(storedString("NormalIconPath"), "Default");

    Settings s(reg(), nullptr, keys);
    EXPECT_EQ(s.ViewCharset, 40064u);
    EXPECT_TRUE(s.WinStartup && s.ShowTips && !s.HideStart);
    EXPECT_EQ(s.MailClient, "\"C:\\Mail\\mailer.exe\" /x");
    EXPECT_EQ(s.InetConnectionType, 1u);
    EXPECT_EQ(s.MainWindowPlacement[43], 0x44);
    EXPECT_EQ(s.Font[59], 0x60);
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
    for (auto [name, size] : {std::pair{"MainWindowPlacement", 44u}, {"Font", 60u}}) {
        uint32_t type = 0;
        std::string data;
        EXPECT_TRUE(raw(keys.settings, name, type, data) && type == kRegBinary && data.size() == size) << name;
    }
}

TEST_P(SettingsSuite, SaveRemovesTheScreenSaverSummaryOnly) {
    {
        RegKey k = key(keys.ssaver);
        k.writeBinary("MailInfo", "summary", 7);
        k.writeString("Other", "stays");
    }
    Settings(reg(), nullptr, keys).save();
    uint32_t type;
    std::string data;
    EXPECT_FALSE(raw(keys.ssaver, "MailInfo", type, data));
    EXPECT_TRUE(raw(keys.ssaver, "Other", type, data));
}
