// The registry interface, Settings and the event log's registry values
// against Wine's real registry, each test under a key of its own that it
// deletes afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/EventLog.h"
#include "core/Registry.h"
#include "core/Settings.h"

namespace {

class RealRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = "SOFTWARE\\Kestrix Tests\\core-" + std::to_string(GetCurrentProcessId()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        keys.settings = base + "\\Settings";
        keys.ssaver = base + "\\SSaver";
        systemRegistry().deleteTree(kRegCurrentUser, base);
    }
    void TearDown() override {
        systemRegistry().deleteTree(kRegCurrentUser, base);
        // Fails, as it should, while another test's key is still there.
        systemRegistry().deleteKey(kRegCurrentUser, "SOFTWARE\\Kestrix Tests");
        RegKey gone;
        EXPECT_FALSE(gone.open(systemRegistry(), kRegCurrentUser, base, RegAccess::Read));
    }

    RegKey writable(const std::string& path) {
        RegKey key;
        EXPECT_TRUE(key.create(systemRegistry(), kRegCurrentUser, path, RegAccess::AllAccess)) << path;
        return key;
    }

    // Straight through the Win32 API, so the test does not only check the
    // interface against itself.
    bool rawValue(const std::string& path, const char* name, DWORD& type, std::string& data) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        char buf[512];
        DWORD size = sizeof buf;
        LONG err = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
        RegCloseKey(key);
        if (err != ERROR_SUCCESS) return false;
        data.assign(buf, size);
        return true;
    }
    DWORD rawDword(const std::string& path, const char* name) {
        DWORD type = 0;
        std::string data;
        EXPECT_TRUE(rawValue(path, name, type, data)) << name;
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << name;
        DWORD v = 0;
        memcpy(&v, data.data(), std::min<size_t>(4, data.size()));
        return v;
    }

    std::string base;
    Settings::Keys keys;
};

class FakeIcons : public IconSlots {
public:
    void loadIconFile(Slot slot, const std::string& path) override { loaded[slot] = path; }
    bool iconFromFile(Slot slot) const override { return false; }
    std::string iconPath(Slot slot) const override { return ""; }
    std::map<Slot, std::string> loaded;
};

}  // namespace

TEST_F(RealRegistryTest, InterfaceMatchesTheSystem) {
    Registry& reg = systemRegistry();
    RegKey key = writable(base + "\\A");
    EXPECT_TRUE(key.writeNumber("Num", 0xDEADBEEF));
    EXPECT_TRUE(key.writeString("Text", "hello"));
    EXPECT_TRUE(key.writeBinary("Bin", "\x01\x02\x03", 3));
    EXPECT_EQ(key.set("Multi", kRegMultiSz, std::string("a\0b\0\0", 5)), kRegOk);
    EXPECT_EQ(kRegDword, static_cast<uint32_t>(REG_DWORD));
    EXPECT_EQ(kRegExpandSz, static_cast<uint32_t>(REG_EXPAND_SZ));
    EXPECT_EQ(kRegCurrentUser, reinterpret_cast<RegHandle>(HKEY_CURRENT_USER));

    DWORD type;
    std::string data;
    ASSERT_TRUE(rawValue(base + "\\A", "Text", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, std::string("hello\0", 6));

    uint32_t n = 0;
    EXPECT_TRUE(key.readNumber("Num", n));
    EXPECT_EQ(n, 0xDEADBEEF);
    EXPECT_TRUE(key.readNumber("Bin", n));  // short binary reads as a number
    EXPECT_EQ(n, 0x030201u);
    EXPECT_FALSE(key.readNumber("Text", n));
    std::string s;
    EXPECT_FALSE(key.readString("Multi", s));
    EXPECT_FALSE(key.readString("Missing", s));
    EXPECT_TRUE(key.readString("Text", s));
    EXPECT_EQ(s, "hello");

    SetEnvironmentVariableA("KX_TEST_DIR", "C:\\kx");
    EXPECT_EQ(key.set("Expand", kRegExpandSz, std::string("%KX_TEST_DIR%\\a.log\0", 20)), kRegOk);
    EXPECT_TRUE(key.readString("Expand", s));
    EXPECT_EQ(s, "C:\\kx\\a.log");

    // Enumeration, deletion, and deleteKey refusing a key with subkeys.
    writable(base + "\\A\\Sub1");
    writable(base + "\\A\\Sub2");
    std::string name;
    std::map<std::string, int> seen;
    for (uint32_t i = 0; reg.enumKey(key.handle(), i, name) == kRegOk; ++i) seen[name]++;
    EXPECT_EQ(seen, (std::map<std::string, int>{{"Sub1", 1}, {"Sub2", 1}}));
    EXPECT_EQ(reg.enumKey(key.handle(), 2, name), kRegNoMoreItems);
    uint32_t values = 0;
    while (reg.enumValue(key.handle(), values, name) == kRegOk) ++values;
    EXPECT_EQ(values, 5u);
    EXPECT_EQ(key.deleteValue("Num"), kRegOk);
    EXPECT_EQ(key.deleteValue("Num"), kRegFileNotFound);
    EXPECT_NE(reg.deleteKey(kRegCurrentUser, base + "\\A"), kRegOk);
    key.close();
    EXPECT_EQ(reg.deleteTree(kRegCurrentUser, base + "\\A"), kRegOk);
    RegKey gone;
    EXPECT_FALSE(gone.open(reg, kRegCurrentUser, base + "\\A", RegAccess::Read));
}

TEST_F(RealRegistryTest, ReadOnlyKeyRefusesWrites) {
    writable(base + "\\R");
    RegKey key;
    ASSERT_TRUE(key.open(systemRegistry(), kRegCurrentUser, base + "\\R", RegAccess::Read));
    EXPECT_FALSE(key.writeNumber("x", 1));
}

TEST_F(RealRegistryTest, SettingsFirstRunAndRoundTrip) {
    {
        Settings s(systemRegistry(), nullptr, keys);
        RegKey created;
        EXPECT_TRUE(created.open(systemRegistry(), kRegCurrentUser, keys.settings, RegAccess::Read));
        EXPECT_FALSE(s.WinStartup);
        EXPECT_FALSE(s.ShowTips);
        EXPECT_EQ(s.ViewAutoSelect, 8u);
        EXPECT_EQ(s.ViewCharset, 40066u);
        EXPECT_EQ(s.MarkMsgDelay, 5);
        char exe[MAX_PATH];
        GetModuleFileNameA(nullptr, exe, MAX_PATH);
        std::string dir(exe);
        dir.resize(dir.find_last_of("\\/") + 1);
        EXPECT_EQ(s.SoundFile, dir + "kestrix.wav");

        s.HideStart = true;
        s.MailClient = "mailer.exe /x";
        s.InetConnectionType = 1;
        s.MainWindowPlacement[0] = 44;
        s.Font[0] = 0xF0;
        s.MarkMsgDelay = -1;
    }
    EXPECT_EQ(rawDword(keys.settings, "MarkMsgDelay"), 0xFFFFFFFFu);
    EXPECT_EQ(rawDword(keys.settings, "InetConnectionType"), 0u);
    EXPECT_EQ(rawDword(keys.settings, "HideStart"), 1u);
    DWORD type;
    std::string data;
    ASSERT_TRUE(rawValue(keys.settings, "MainWindowPlacement", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(data.size(), 44u);
    ASSERT_TRUE(rawValue(keys.settings, "NormalIconPath", type, data));
    EXPECT_EQ(data, std::string("Default\0", 8));

    Settings again(systemRegistry(), nullptr, keys);
    EXPECT_TRUE(again.HideStart);
    EXPECT_EQ(again.MailClient, "mailer.exe /x");
    EXPECT_EQ(again.InetConnectionType, 1u);
    EXPECT_EQ(again.MainWindowPlacement[0], 44);
    EXPECT_EQ(again.Font[0], 0xF0);
    EXPECT_EQ(again.MarkMsgDelay, -1);
}

TEST_F(RealRegistryTest, SettingsEdgeCases) {
    {
        RegKey key = writable(keys.settings);
        key.writeNumber("InetConnectionType", 2);
        key.writeString("NormalIconPath", "default");
        key.writeString("CheckIconPath", "Default");
        key.writeBinary("MainWindowPlacement", std::string(45, 'x').data(), 45);
        key.writeBinary("Font", "\x11\x22", 2);
        RegKey ssaver = writable(keys.ssaver);
        ssaver.writeBinary("MailInfo", "abc", 3);
    }
    FakeIcons icons;
    Settings s(systemRegistry(), &icons, keys);
    EXPECT_EQ(s.InetConnectionType, 1u);
    EXPECT_EQ(icons.loaded, (std::map<IconSlots::Slot, std::string>{{IconSlots::Normal, "default"}}));
    EXPECT_EQ(s.MainWindowPlacement, (std::array<uint8_t, 44>{}));
    EXPECT_EQ(s.Font[0], 0x11);
    EXPECT_EQ(s.Font[1], 0x22);
    EXPECT_EQ(s.Font[2], 0);
    s.save();
    EXPECT_EQ(rawDword(keys.settings, "InetConnectionType"), 0u);
    DWORD type;
    std::string data;
    EXPECT_FALSE(rawValue(keys.ssaver, "MailInfo", type, data));
}

TEST_F(RealRegistryTest, EventLogSettings) {
    std::string key = keys.settings;
    bool wasOn = eventLog().writeLog();
    std::string wasFile = eventLog().logFile();
    eventLog().load(systemRegistry(), key);
    EXPECT_FALSE(eventLog().writeLog());
    EXPECT_EQ(eventLog().logFile(), "kestrix.log");
    {
        RegKey k = writable(key);
        k.writeNumber("WriteLog", 1);
        k.set("LogFile", kRegExpandSz, std::string("%KX_TEST_DIR%\\k.log\0", 20));
    }
    SetEnvironmentVariableA("KX_TEST_DIR", "C:\\kx");
    eventLog().load(systemRegistry(), key);
    EXPECT_TRUE(eventLog().writeLog());
    EXPECT_EQ(eventLog().logFile(), "C:\\kx\\k.log");
    eventLog().setWriteLog(false);
    eventLog().save(systemRegistry(), key);
    EXPECT_EQ(rawDword(key, "WriteLog"), 0u);
    DWORD type;
    std::string data;
    ASSERT_TRUE(rawValue(key, "LogFile", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, std::string("C:\\kx\\k.log\0", 12));
    eventLog().setWriteLog(wasOn);
    eventLog().setLogFile(wasFile);
}
