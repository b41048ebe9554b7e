#include <gtest/gtest.h>

#include "SettingsSuite.h"
#include "core/MailClient.h"
#include "core/MemoryRegistry.h"

namespace {
class MemoryTarget : public RegistryTarget {
public:
    Registry& registry() override { return reg; }
    void setEnvironment(const std::string& name, const std::string& value) override { reg.setEnvironment(name, value); }
    MemoryRegistry reg;
};
std::unique_ptr<RegistryTarget> memoryTarget() { return std::make_unique<MemoryTarget>(); }

void registerMailClient(MemoryRegistry& reg, const std::string& command, uint32_t type = kRegSz) {
    reg.putString(kRegLocalMachine, "SOFTWARE\\Clients\\Mail", "", "Mailer");
    reg.put(kRegLocalMachine, "SOFTWARE\\Clients\\Mail\\Mailer\\shell\\open\\command", "", type, command + '\0');
}
}  // namespace

INSTANTIATE_TEST_SUITE_P(Memory, SettingsSuite, ::testing::Values(&memoryTarget));

TEST(SettingsMemory, EmptyMailClientTakesTheDefaultAndNoHandleLeaks) {
    MemoryRegistry reg;
    registerMailClient(reg, "\"C:\\Mail\\mailer.exe\" /mail");
    reg.putString(kRegCurrentUser, kSettingsKey, "MailClient", "");
    {
        Settings s(reg);
        EXPECT_EQ(s.MailClient, "\"C:\\Mail\\mailer.exe\" /mail");
        s.MarkMsgDelay = 9;
    }
    EXPECT_TRUE(reg.valueExists(kRegCurrentUser, kSettingsKey, "MarkMsgDelay"));
    EXPECT_EQ(reg.openHandles(), 0u);
}

TEST(SettingsMemory, UnreachableKeyKeepsTheInitialValues) {
    MemoryRegistry reg;
    reg.setDenyAll(true);
    Settings s(reg);
    EXPECT_TRUE(s.WinStartup && s.ShowTips);
    s.save();  // silently nothing
    reg.setDenyAll(false);
    EXPECT_FALSE(reg.keyExists(kRegCurrentUser, kSettingsKey));
}

TEST(MailClient, FailedLookupKeepsTheEarlierFind) {
    MemoryRegistry reg;
    reg.setEnvironment("ProgramFiles", "C:\\Program Files");
    registerMailClient(reg, "\"%ProgramFiles%\\Mailer\\mailer.exe\" /mail", kRegExpandSz);
    EXPECT_EQ(findDefaultMailClient(reg), "\"C:\\Program Files\\Mailer\\mailer.exe\" /mail");
    MemoryRegistry noCommand;
    noCommand.putString(kRegLocalMachine, "SOFTWARE\\Clients\\Mail", "", "Gone");
    EXPECT_EQ(findDefaultMailClient(noCommand), "\"C:\\Program Files\\Mailer\\mailer.exe\" /mail");
}
