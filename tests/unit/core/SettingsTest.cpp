#include <gtest/gtest.h>

#include "SettingsSuite.h"
#include "core/EventLog.h"
#include "core/MailClient.h"
#include "support/MemoryRegistry.h"

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

// Reading the settings writes nothing: only an explicit save does.
TEST(SettingsMemory, EmptyMailClientTakesTheDefaultAndOnlySaveWrites) {
    MemoryRegistry reg;
    registerMailClient(reg, "\"C:\\Mail\\mailer.exe\" /mail");
    reg.putString(kRegCurrentUser, kSettingsKey, "MailClient", "");
    reg.put(kRegCurrentUser, kSSaverKey, "MailInfo", kRegBinary, "summary");
    {
        Settings s(reg);
        EXPECT_EQ(s.MailClient, "\"C:\\Mail\\mailer.exe\" /mail");
        s.MarkMsgDelay = 9;
    }
    EXPECT_FALSE(reg.valueExists(kRegCurrentUser, kSettingsKey, "MarkMsgDelay"));
    EXPECT_TRUE(reg.valueExists(kRegCurrentUser, kSSaverKey, "MailInfo"));
    Settings(reg).save();
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

// The user's choice of client comes first, and the chosen client's command
// may be registered for the user or for the machine.
TEST(MailClient, UserChoiceBeforeMachineChoice) {
    const std::string user = "Software\\Clients\\Mail", machine = "SOFTWARE\\Clients\\Mail";
    struct Case {
        const char* what;
        const char* userName;     // null: no user key
        const char* userCommand;  // under the user's key, for the user's name
        const char* expected;
    } cases[] = {
        {"only the machine's", nullptr, nullptr, "machine.exe"},
        {"the user's client and command", "Own", "own.exe", "own.exe"},
        {"the user's client, registered for the machine", "Shared", nullptr, "shared.exe"},
        {"an empty user choice", "", nullptr, "machine.exe"},
    };
    for (const Case& c : cases) {
        MemoryRegistry reg;
        reg.putString(kRegLocalMachine, machine, "", "Machine");
        reg.putString(kRegLocalMachine, machine + "\\Machine\\shell\\open\\command", "", "machine.exe");
        reg.putString(kRegLocalMachine, machine + "\\Shared\\shell\\open\\command", "", "shared.exe");
        if (c.userName) reg.putString(kRegCurrentUser, user, "", c.userName);
        if (c.userCommand)
            reg.putString(kRegCurrentUser, user + "\\" + c.userName + "\\shell\\open\\command", "", c.userCommand);
        EXPECT_EQ(findDefaultMailClient(reg), c.expected) << c.what;
    }
    EXPECT_EQ(quotedProgramPath("C:\\Program Files\\Mail\\mail.exe"), "\"C:\\Program Files\\Mail\\mail.exe\"");
    EXPECT_EQ(quotedProgramPath("\"C:\\Program Files\\m.exe\" /x"), "\"C:\\Program Files\\m.exe\" /x");
    EXPECT_EQ(quotedProgramPath("C:\\Mail\\mail.exe"), "C:\\Mail\\mail.exe");
}

// The settings and the log take a flag as on only when it is 1.
TEST(SettingsMemory, FlagsOtherThanOneAreOff) {
    MemoryRegistry reg;
    for (const char* name : {"ShowTips", "HideStart", "DontCalcDeleted", "LeftMouseButtonDoubleClickAction", "WriteLog"})
        reg.putNumber(kRegCurrentUser, kSettingsKey, name, 2);
    reg.putNumber(kRegCurrentUser, kSettingsKey, "PlaySound", 1);
    Settings s(reg);
    EXPECT_FALSE(s.ShowTips || s.HideStart || s.DontCalcDeleted);
    EXPECT_EQ(s.LeftMouseButtonDoubleClickAction, 0u);
    EXPECT_TRUE(s.PlaySound);
    eventLog().setWriteLog(true);
    eventLog().load(reg);
    EXPECT_FALSE(eventLog().writeLog());
}
