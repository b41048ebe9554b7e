// The registry interface, and the Settings suite, against Wine's registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/Registry.h"
#include "unit/core/SettingsSuite.h"

namespace {
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

TEST(RealRegistry, InterfaceMatchesTheSystem) {
    Registry& reg = systemRegistry();
    std::string base = "SOFTWARE\\Kestrix Tests\\core-" + std::to_string(GetCurrentProcessId());
    RegKey key;
    ASSERT_TRUE(key.create(reg, kRegCurrentUser, base + "\\A", RegAccess::AllAccess));
    EXPECT_TRUE(key.writeString("Text", "hello") && key.writeBinary("Bin", "\x01\x02\x03", 3));
    // Straight through the Win32 API, so the interface is not only checked against itself.
    char buf[16];
    DWORD type, size = sizeof buf;
    ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, (base + "\\A").c_str(), "Text", RRF_RT_ANY | RRF_NOEXPAND, &type, buf,
                           &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buf, size), std::string("hello\0", 6));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(kRegCurrentUser, reinterpret_cast<RegHandle>(HKEY_CURRENT_USER));  // sign-extended as Windows does

    uint32_t n = 0;
    std::string s;
    EXPECT_TRUE(key.readNumber("Bin", n));  // a short binary reads as a number
    EXPECT_EQ(n, 0x030201u);
    EXPECT_FALSE(key.readNumber("Text", n) || key.readString("Missing", s));

    RegKey subs[2];
    for (int i = 0; i < 2; ++i)
        subs[i].create(reg, kRegCurrentUser, base + "\\A\\Sub" + std::to_string(i + 1), RegAccess::AllAccess);
    std::set<std::string> seen;
    std::string name;
    for (uint32_t i = 0; reg.enumKey(key.handle(), i, name) == kRegOk; ++i) seen.insert(name);
    EXPECT_EQ(seen, (std::set<std::string>{"Sub1", "Sub2"}));
    EXPECT_EQ(key.deleteValue("Text"), kRegOk);
    EXPECT_EQ(key.deleteValue("Text"), kRegFileNotFound);
    EXPECT_NE(reg.deleteKey(kRegCurrentUser, base + "\\A"), kRegOk);  // not while it has subkeys
    for (RegKey* k : {&key, &subs[0], &subs[1]}) k->close();
    EXPECT_EQ(reg.deleteTree(kRegCurrentUser, base), kRegOk);
    EXPECT_FALSE(key.open(reg, kRegCurrentUser, base, RegAccess::Read));

    ASSERT_TRUE(key.create(reg, kRegCurrentUser, base, RegAccess::AllAccess));
    key.close();
    ASSERT_TRUE(key.open(reg, kRegCurrentUser, base, RegAccess::Read));
    EXPECT_FALSE(key.writeNumber("x", 1));  // a read-only key refuses writes
    key.close();
    reg.deleteTree(kRegCurrentUser, base);
}
