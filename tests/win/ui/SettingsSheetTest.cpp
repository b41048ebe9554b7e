// The Settings dialog in-process over an engine whose monitor is not
// started, driven through its controls: what OK stores and saves, what it
// leaves alone (tabs never shown, Cancel), the rules between controls, each
// account's sound, and the start-up shortcut asked for on every apply.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win/support/NoView.h"
#include "core/EventLog.h"
#include "core/ProductKey.h"
#include "core/Registry.h"
#include "framework/Framework.h"
#include "mail/Controller.h"
#include "notify/TrayIcon.h"
#include "resources/resource.h"
#include "support/MemoryRegistry.h"
#include "support/TempDir.h"
#include "ui/SettingsSheet.h"

namespace {

enum Tab { kSystem, kSound, kVisual, kCustomize, kLog };

class SettingsSheetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initFramework(GetModuleHandleA(nullptr)); }

    void SetUp() override {
        logWasOn = eventLog().writeLog();
        logWas = eventLog().logFile();
    }
    void TearDown() override {
        eventLog().setWriteLog(logWasOn);
        eventLog().setLogFile(logWas);
    }

    // The dialog, open, with `tabs` shown once each.
    SettingsSheet& open(std::initializer_list<int> tabs = {}) {
        sheet = std::make_unique<SettingsSheet>(context);
        EXPECT_TRUE(sheet->createModeless(nullptr));
        for (int tab : tabs) sheet->showPage(tab);
        return *sheet;
    }
    HWND control(int tab, int id) const { return GetDlgItem(sheet->settingsPage(tab).hwnd(), id); }
    // As the user does it: the control changes and its page hears of it.
    void click(int tab, int id) const { SendMessageA(control(tab, id), BM_CLICK, 0, 0); }
    void type(int tab, int id, const std::string& text) const { SetWindowTextA(control(tab, id), text.c_str()); }
    std::string text(int tab, int id) const {
        char buf[512] = {};
        GetWindowTextA(control(tab, id), buf, sizeof buf);
        return buf;
    }
    bool checked(int tab, int id) const { return SendMessageA(control(tab, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool enabled(int tab, int id) const { return IsWindowEnabled(control(tab, id)) != FALSE; }
    void selectAccount(int index) const {
        HWND box = control(kSound, IDC_SOUND_ACCOUNT);
        SendMessageA(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageA(sheet->settingsPage(kSound).hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SOUND_ACCOUNT, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box));
    }
    // A button of a tab that is not a check box.
    void command(int tab, int id) const {
        SendMessageA(sheet->settingsPage(tab).hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(control(tab, id)));
    }
    // A button of the dialog itself.
    void press(int id) const {
        SendMessageA(sheet->hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(sheet->item(id)));
    }
    // What a fresh load of the registry says.
    template <class T>
    T stored(T Settings::*field) {
        Settings fresh(reg);
        return fresh.*field;
    }
    std::string storedString(const std::string& key, const char* value) {
        RegKey k;
        std::string out;
        if (k.open(reg, kRegCurrentUser, key, RegAccess::Read)) k.readString(value, out);
        return out;
    }

    TempDir dir;
    MemoryRegistry reg;
    NoView view;
    Controller engine{reg, view, nullptr, dir.dir()};
    TrayIcons icons;
    int iconChanges = 0;
    std::vector<std::string> played;
    std::vector<bool> startups;
    bool startupWorks = true;
    SettingsContext context{engine, icons, [this] { ++iconChanges; },
                            [this](const std::string& file) { played.push_back(file); },
                            [this](bool on) {
                                startups.push_back(on);
                                return startupWorks;
                            }};
    std::unique_ptr<SettingsSheet> sheet;
    bool logWasOn = false;
    std::string logWas;
};

// Only tabs the user looked at are applied; OK saves at once, Cancel
// neither applies nor saves.
TEST_F(SettingsSheetTest, OkAppliesShownTabsAndSavesCancelDoesNothing) {
    engine.settings().FlashIcon = false;
    open({kSound});
    click(kSound, IDC_PLAY_SOUND);
    click(kVisual, IDC_FLASH_ICON);  // on a tab never shown
    press(IDCANCEL);
    EXPECT_FALSE(engine.settings().PlaySound);
    EXPECT_FALSE(reg.keyExists(kRegCurrentUser, kSettingsKey) &&
                 reg.valueExists(kRegCurrentUser, kSettingsKey, "PlaySound"));

    open({kSound});
    click(kSound, IDC_PLAY_SOUND);
    click(kVisual, IDC_FLASH_ICON);
    press(IDOK);
    EXPECT_TRUE(sheet->changed());
    EXPECT_TRUE(engine.settings().PlaySound);
    EXPECT_TRUE(engine.settings().soundChanged);
    EXPECT_FALSE(engine.settings().FlashIcon);
    EXPECT_FALSE(engine.settings().visualChanged);
    EXPECT_TRUE(stored(&Settings::PlaySound));
}

// The shortcut is written again on every apply, also when nothing changed,
// and a failure keeps none of the other settings from being saved.
TEST_F(SettingsSheetTest, StartupShortcutOnEveryApplyAndFailureSavesTheRest) {
    engine.settings().WinStartup = false;
    engine.settings().HideStart = false;
    open();
    click(kSystem, IDC_WIN_STARTUP);
    EXPECT_TRUE(checked(kSystem, IDC_START_MINIMIZED)) << "starting with Windows starts in the tray";
    startupWorks = false;
    click(kSystem, IDC_DIALUP_CONNECTION);
    press(IDOK);
    EXPECT_TRUE(engine.settings().WinStartup);
    EXPECT_TRUE(stored(&Settings::HideStart));
    EXPECT_EQ(stored(&Settings::InetConnectionType), 1u);

    startupWorks = true;
    open();
    press(IDOK);
    open();
    click(kSystem, IDC_WIN_STARTUP);
    EXPECT_TRUE(checked(kSystem, IDC_START_MINIMIZED)) << "unticking leaves the other box";
    press(IDOK);
    EXPECT_EQ(startups, (std::vector<bool>{true, true, false}));
    EXPECT_FALSE(stored(&Settings::WinStartup));
}

// "Run mail client after new mail detecting" needs a mail client: without
// one it is disabled and OK keeps the earlier value.
TEST_F(SettingsSheetTest, RunMailerFollowsTheMailClient) {
    Settings& s = engine.settings();
    s.MailClient = "mail.exe";
    s.RunMailerAfterNewMail = true;
    open();
    EXPECT_TRUE(enabled(kSystem, IDC_RUN_MAILER_AFTER));
    click(kSystem, IDC_RUN_MAILER_AFTER);
    type(kSystem, IDC_MAIL_CLIENT, "");
    EXPECT_FALSE(enabled(kSystem, IDC_RUN_MAILER_AFTER));
    press(IDOK);
    EXPECT_EQ(s.MailClient, "");
    EXPECT_TRUE(s.RunMailerAfterNewMail);

    open();
    EXPECT_TRUE(checked(kSystem, IDC_RUN_MAILER_AFTER));
    type(kSystem, IDC_MAIL_CLIENT, "\"C:\\Program Files\\Mail\\mail.exe\" /new");
    EXPECT_TRUE(enabled(kSystem, IDC_RUN_MAILER_AFTER));
    click(kSystem, IDC_RUN_MAILER_AFTER);
    press(IDOK);
    EXPECT_EQ(stored(&Settings::MailClient), "\"C:\\Program Files\\Mail\\mail.exe\" /new");
    EXPECT_FALSE(s.RunMailerAfterNewMail);
}

// Each account keeps the file typed while it was selected; OK gives the
// changed files to their accounts and writes every account's options.
TEST_F(SettingsSheetTest, EachAccountKeepsItsSound) {
    Account& a = *engine.add({"A", 110, "u", "p", "a.example"});
    Account& b = *engine.add({"B", 110, "u", "p", "b.example"});
    a.soundFile = "a.wav";
    b.soundFile = "b.wav";
    engine.settings().PlaySound = true;
    open({kSound});
    EXPECT_EQ(text(kSound, IDC_SOUND_FILE), "a.wav");
    selectAccount(1);
    EXPECT_EQ(text(kSound, IDC_SOUND_FILE), "b.wav");
    type(kSound, IDC_SOUND_FILE, "C:\\sounds\\new.wav");
    selectAccount(0);
    EXPECT_EQ(text(kSound, IDC_SOUND_FILE), "a.wav");
    command(kSound, IDC_SOUND_TEST);
    EXPECT_EQ(played, std::vector<std::string>{"a.wav"});
    selectAccount(1);
    EXPECT_EQ(text(kSound, IDC_SOUND_FILE), "C:\\sounds\\new.wav");
    press(IDOK);
    EXPECT_EQ(a.soundFile, "a.wav");
    EXPECT_EQ(b.soundFile, "C:\\sounds\\new.wav");
    EXPECT_EQ(storedString(std::string(kAccountsKey) + "\\B", "SoundFile"), "C:\\sounds\\new.wav");
    EXPECT_EQ(storedString(std::string(kAccountsKey) + "\\A", "SoundFile"), "a.wav");
}

TEST_F(SettingsSheetTest, SoundControlsFollowPlaySoundAndNeedAnAccount) {
    open({kSound});
    for (int id : {IDC_REPEAT_SOUND, IDC_PLAY_WHEN_OPEN, IDC_SOUND_ACCOUNT, IDC_SOUND_FILE, IDC_SOUND_BROWSE,
                   IDC_SOUND_TEST})
        EXPECT_FALSE(enabled(kSound, id)) << id;
    click(kSound, IDC_PLAY_SOUND);
    EXPECT_TRUE(enabled(kSound, IDC_SOUND_FILE));
    // No account: what is typed goes nowhere.
    type(kSound, IDC_SOUND_FILE, "x.wav");
    press(IDOK);
    EXPECT_TRUE(engine.settings().PlaySound);
}

// "Mark message read after displaying for": at most two digits, -1 when
// unticked, and ticking it offers 5 seconds.
TEST_F(SettingsSheetTest, MarkReadDelay) {
    struct Row {
        int32_t before;
        bool tick;
        const char* typed;
        int32_t after;
    };
    const Row rows[] = {
        {5, false, "120", 12}, {5, false, "", 0}, {5, false, "7x", 7},
        {5, true, nullptr, -1}, {-1, true, nullptr, 5}, {-1, false, nullptr, -1},
    };
    for (const Row& row : rows) {
        engine.settings().MarkMsgDelay = row.before;
        open({kCustomize});
        EXPECT_EQ(enabled(kCustomize, IDC_MARK_READ_DELAY), row.before >= 0);
        if (row.tick) click(kCustomize, IDC_MARK_READ_AFTER);
        if (row.typed) SendMessageA(control(kCustomize, IDC_MARK_READ_DELAY), WM_SETTEXT, 0,
                                    reinterpret_cast<LPARAM>(row.typed));
        press(IDOK);
        EXPECT_EQ(engine.settings().MarkMsgDelay, row.after) << row.before << " " << (row.typed ? row.typed : "-");
    }
}

// The tray pictures change at once and stay changed after Cancel.
TEST_F(SettingsSheetTest, RestoreDefaultsTakesEffectAtOnce) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    ASSERT_TRUE(icons.loadSlotFromFile(TraySlot::Error, self));
    open({kCustomize});
    command(kCustomize, IDC_RESTORE_ICONS);
    EXPECT_EQ(iconChanges, 1);
    EXPECT_FALSE(icons.iconFromFile(IconSlots::Error));
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(control(kCustomize, IDC_ICON_ERROR), BM_GETIMAGE, IMAGE_ICON, 0)),
              icons.slotIcon(TraySlot::Error));
    press(IDCANCEL);
    EXPECT_FALSE(icons.iconFromFile(IconSlots::Error));
}

TEST_F(SettingsSheetTest, LogTabSetsAndSavesTheLogFile) {
    eventLog().setWriteLog(false);
    open({kLog});
    EXPECT_FALSE(enabled(kLog, IDC_LOG_FILE));
    click(kLog, IDC_WRITE_LOG);
    EXPECT_TRUE(enabled(kLog, IDC_LOG_BROWSE));
    std::string file = dir.file("my.log");
    type(kLog, IDC_LOG_FILE, file);
    press(IDOK);
    EXPECT_TRUE(eventLog().writeLog());
    EXPECT_EQ(eventLog().logFilePath(), file);
    eventLog().log("a line for the chosen file");
    EXPECT_NE(dir.read("my.log").find("a line for the chosen file"), std::string::npos);
    EXPECT_EQ(storedString(kSettingsKey, "LogFile"), file);
}

}  // namespace
