// The registry interface, and the Settings suite, against Wine's registry;
// each test works under a key of its own that it deletes afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/Registry.h"
#include "unit/core/SettingsSuite.h"

namespace {

class RealRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = "SOFTWARE\\Kestrix Tests\\core-" + std::to_string(GetCurrentProcessId()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
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
    std::string base;
};

class SystemTarget : public RegistryTarget {
public:
    Registry& registry() override { return systemRegistry(); }
    void setEnvironment(const std::string& name, const std::string& value) override {
        SetEnvironmentVariableA(name.c_str(), value.c_str());
    }
};

std::unique_ptr<RegistryTarget> systemTarget() { return std::make_unique<SystemTarget>(); }

}  // namespace

INSTANTIATE_TEST_SUITE_P(Wine, SettingsSuite, ::testing::Values(&systemTarget));

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
