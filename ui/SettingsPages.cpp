#include "ui/SettingsPages.h"

#include <commdlg.h>

#include <cstring>

#include "core/EventLog.h"
#include "core/MailClient.h"
#include "core/MessageText.h"
#include "framework/FileDialog.h"
#include "framework/Handles.h"
#include "framework/MessageLoop.h"
#include "mail/Controller.h"
#include "notify/TrayIcon.h"
#include "resources/resource.h"

namespace {

// Stores `value` in `field`; true when that changed it.
template <class T>
bool assign(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}

// The flags each tab shows as plain check boxes.
const SettingsBox kSystemBoxes[] = {{IDC_START_MINIMIZED, &Settings::HideStart}};
const SettingsBox kRunMailerBox[] = {{IDC_RUN_MAILER_AFTER, &Settings::RunMailerAfterNewMail}};
const SettingsBox kSoundBoxes[] = {{IDC_PLAY_SOUND, &Settings::PlaySound},
                                   {IDC_REPEAT_SOUND, &Settings::Repeat},
                                   {IDC_PLAY_WHEN_OPEN, &Settings::RepeatWhenWindowIsOpen}};
const SettingsBox kVisualBoxes[] = {{IDC_FLASH_ICON, &Settings::FlashIcon},
                                    {IDC_SHOW_CHECKING, &Settings::ShowChecking},
                                    {IDC_ERROR_ICON, &Settings::ErrorIcon},
                                    {IDC_DONT_CALC_DELETED, &Settings::DontCalcDeleted}};
const SettingsBox kCustomizeBoxes[] = {{IDC_SHOW_TIPS, &Settings::ShowTips}};

// Two radio buttons for a choice of two: the second is chosen when `second`.
void showChoice(HWND page, int first, int second, bool secondChosen) {
    CheckRadioButton(page, first, second, secondChosen ? second : first);
}

}  // namespace

// ---- every tab

SettingsPage::SettingsPage(UINT templateId, const char* source, const char* helpTopic, SettingsContext& context)
    : TabPage(templateId, source), context_(context), helpTopic_(helpTopic) {}

Settings& SettingsPage::settings() const { return context_.engine.settings(); }

void SettingsPage::showBoxes(std::span<const SettingsBox> boxes) const {
    for (const SettingsBox& box : boxes) setChecked(box.id, settings().*box.flag);
}

bool SettingsPage::storeBoxes(std::span<const SettingsBox> boxes) const {
    bool changed = false;
    for (const SettingsBox& box : boxes) changed |= assign(settings().*box.flag, isChecked(box.id));
    return changed;
}

// ---- System

SystemPage::SystemPage(SettingsContext& context)
    : SettingsPage(IDD_SETTINGS_SYSTEM, "SystemPage", "::/settings.htm#system", context) {}

bool SystemPage::onInit() {
    const Settings& s = settings();
    setChecked(IDC_WIN_STARTUP, s.WinStartup);
    showBoxes(kSystemBoxes);
    showBoxes(kRunMailerBox);
    setItemText(IDC_MAIL_CLIENT, s.MailClient);
    showChoice(hwnd(), IDC_LAN_CONNECTION, IDC_DIALUP_CONNECTION, s.InetConnectionType == 1);
    enableRunMailer();
    return true;
}

void SystemPage::enableRunMailer() const { enableItem(IDC_RUN_MAILER_AFTER, !itemText(IDC_MAIL_CLIENT).empty()); }

void SystemPage::onCommand(UINT code, UINT id, HWND control) {
    switch (id) {
    case IDC_WIN_STARTUP:
        // A program that starts with Windows starts in the tray.
        if (code == BN_CLICKED && isChecked(IDC_WIN_STARTUP)) setChecked(IDC_START_MINIMIZED, true);
        break;
    case IDC_MAIL_CLIENT:
        if (code == EN_CHANGE) enableRunMailer();
        break;
    case IDC_MAIL_CLIENT_BROWSE: {
        std::string path;
        if (chooseFileToOpen(sheetWindow(), {{formatMessage(MSG_FilesExe), "*.exe"}}, path))
            setItemText(IDC_MAIL_CLIENT, quotedProgramPath(path));
        break;
    }
    case IDC_MAIL_CLIENT_FIND: {
        std::string found = findDefaultMailClient(context_.engine.registry());
        if (!found.empty()) setItemText(IDC_MAIL_CLIENT, found);
        break;
    }
    default:
        SettingsPage::onCommand(code, id, control);
    }
}

bool SystemPage::store() {
    Settings& s = settings();
    // Written again on every apply, so that it follows the program when it moved.
    bool startup = isChecked(IDC_WIN_STARTUP);
    if (!context_.startWithWindows(startup))
        eventLog().log("The start-up shortcut could not be %s", startup ? "written" : "removed");
    bool changed = assign(s.WinStartup, startup);
    changed |= storeBoxes(kSystemBoxes);
    changed |= assign(s.MailClient, itemText(IDC_MAIL_CLIENT));
    // Without a mail client the box is disabled and says nothing.
    if (!s.MailClient.empty()) changed |= storeBoxes(kRunMailerBox);
    changed |= assign(s.InetConnectionType, isChecked(IDC_DIALUP_CONNECTION) ? 1u : 0u);
    return changed;
}

// ---- Sound

SoundPage::SoundPage(SettingsContext& context)
    : SettingsPage(IDD_SETTINGS_SOUND, "SoundPage", "::/settings.htm#sound", context) {}

bool SoundPage::onInit() {
    showBoxes(kSoundBoxes);
    HWND accounts = item(IDC_SOUND_ACCOUNT);
    for (const auto& account : context_.engine.accounts()) {
        sounds_.push_back({account->id(), account->soundFile});
        SendMessageA(accounts, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(account->name.c_str()));
    }
    selectAccount(sounds_.empty() ? -1 : 0);
    enableSounds();
    return true;
}

void SoundPage::enableSounds() const {
    bool on = isChecked(IDC_PLAY_SOUND);
    for (int id : {IDC_REPEAT_SOUND, IDC_PLAY_WHEN_OPEN, IDC_SOUND_ACCOUNT, IDC_SOUND_FILE, IDC_SOUND_BROWSE,
                   IDC_SOUND_TEST})
        enableItem(id, on);
}

void SoundPage::selectAccount(int index) {
    SendMessageA(item(IDC_SOUND_ACCOUNT), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    // Before the text changes: the change stores into the account shown.
    selected_ = index;
    setItemText(IDC_SOUND_FILE, index >= 0 ? sounds_[static_cast<size_t>(index)].file : std::string());
}

void SoundPage::onCommand(UINT code, UINT id, HWND control) {
    switch (id) {
    case IDC_PLAY_SOUND:
        if (code == BN_CLICKED) enableSounds();
        break;
    case IDC_SOUND_ACCOUNT:
        if (code == CBN_SELCHANGE)
            selectAccount(static_cast<int>(SendMessageA(item(IDC_SOUND_ACCOUNT), CB_GETCURSEL, 0, 0)));
        break;
    case IDC_SOUND_FILE:
        if (code == EN_CHANGE && selected_ >= 0 && selected_ < static_cast<int>(sounds_.size()))
            sounds_[static_cast<size_t>(selected_)].file = itemText(IDC_SOUND_FILE);
        break;
    case IDC_SOUND_BROWSE: {
        std::string path;
        if (chooseFileToOpen(sheetWindow(), {{formatMessage(MSG_FilesWave), "*.wav"}}, path))
            setItemText(IDC_SOUND_FILE, path);
        break;
    }
    case IDC_SOUND_TEST: {
        std::string file = itemText(IDC_SOUND_FILE);
        if (!file.empty()) context_.testSound(file);
        break;
    }
    default:
        SettingsPage::onCommand(code, id, control);
    }
}

bool SoundPage::store() {
    bool changed = storeBoxes(kSoundBoxes);
    for (const AccountSound& sound : sounds_) {
        // Only the user-interface thread reads an account's sound file.
        if (Account* account = context_.engine.find(sound.id)) changed |= assign(account->soundFile, sound.file);
    }
    if (changed) settings().soundChanged = true;
    return changed;
}

// ---- Visual effects

VisualPage::VisualPage(SettingsContext& context)
    : SettingsPage(IDD_SETTINGS_VISUAL, "VisualPage", "::/settings.htm#visual", context) {}

bool VisualPage::onInit() {
    showBoxes(kVisualBoxes);
    showChoice(hwnd(), IDC_CALC_UNREAD, IDC_CALC_ALL, settings().ShowNumberAllMsgs);
    return true;
}

bool VisualPage::store() {
    bool changed = storeBoxes(kVisualBoxes);
    changed |= assign(settings().ShowNumberAllMsgs, isChecked(IDC_CALC_ALL));
    if (changed) settings().visualChanged = true;
    return changed;
}

// ---- Customize

namespace {

// The tray slot each icon button shows.
struct IconButton {
    UINT id;
    TraySlot slot;
};
const IconButton kIconButtons[] = {{IDC_ICON_NORMAL, TraySlot::Normal},
                                   {IDC_ICON_CHECK, TraySlot::Check},
                                   {IDC_ICON_ERROR, TraySlot::Error},
                                   {IDC_ICON_CHECK_ERROR, TraySlot::CheckError}};

// At most the first two digits count, as the box holds two.
int32_t markReadDelay(const std::string& text) {
    int32_t seconds = 0;
    for (size_t i = 0; i < text.size() && i < 2 && text[i] >= '0' && text[i] <= '9'; ++i)
        seconds = seconds * 10 + (text[i] - '0');
    return seconds;
}

}  // namespace

CustomizePage::CustomizePage(SettingsContext& context)
    : SettingsPage(IDD_SETTINGS_CUSTOMIZE, "CustomizePage", "::/settings.htm#customize", context) {}

bool CustomizePage::onInit() {
    const Settings& s = settings();
    showIcons();
    font_ = s.Font;
    showChoice(hwnd(), IDC_DBLCLICK_OPEN, IDC_DBLCLICK_CHECK_ALL, s.LeftMouseButtonDoubleClickAction == 1);
    showBoxes(kCustomizeBoxes);
    SendMessageA(item(IDC_MARK_READ_DELAY), EM_LIMITTEXT, 2, 0);
    bool marks = s.MarkMsgDelay >= 0;
    setChecked(IDC_MARK_READ_AFTER, marks);
    if (marks) setItemText(IDC_MARK_READ_DELAY, std::to_string(s.MarkMsgDelay));
    enableItem(IDC_MARK_READ_DELAY, marks);
    return true;
}

void CustomizePage::showIcons() const {
    // The buttons show the slots' own icons: shown again after every change,
    // as a replaced icon is destroyed.
    for (const IconButton& button : kIconButtons)
        SendMessageA(item(static_cast<int>(button.id)), BM_SETIMAGE, IMAGE_ICON,
                     reinterpret_cast<LPARAM>(context_.icons.slotIcon(button.slot)));
}

void CustomizePage::chooseIcon(UINT id) {
    for (const IconButton& button : kIconButtons) {
        if (button.id != id) continue;
        std::string path;
        if (!chooseFileToOpen(sheetWindow(), {{formatMessage(MSG_FilesIcon), "*.ico"}}, path)) return;
        if (!context_.icons.loadSlotFromFile(button.slot, path)) return;
        showIcons();
        context_.iconsChanged();
    }
}

void CustomizePage::chooseFont() {
    // The setting is kept at 96 DPI; the dialog works at the screen's.
    int dpi = GetDeviceCaps(WindowDC(nullptr), LOGPIXELSY);
    if (dpi <= 0) dpi = 96;
    LOGFONTA font;
    static_assert(sizeof font == sizeof font_, "the Font setting is a LOGFONT");
    std::memcpy(&font, font_.data(), sizeof font);
    font.lfHeight = MulDiv(font.lfHeight, dpi, 96);
    font.lfWidth = MulDiv(font.lfWidth, dpi, 96);
    CHOOSEFONTA choice = {};
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = sheetWindow();
    choice.lpLogFont = &font;
    choice.Flags = CF_SCREENFONTS | CF_FORCEFONTEXIST | (font.lfFaceName[0] ? CF_INITTOLOGFONTSTRUCT : 0);
    ModalScope modal;
    if (!ChooseFontA(&choice)) return;
    font.lfHeight = MulDiv(font.lfHeight, 96, dpi);
    font.lfWidth = MulDiv(font.lfWidth, 96, dpi);
    std::memcpy(font_.data(), &font, sizeof font);
}

void CustomizePage::onCommand(UINT code, UINT id, HWND control) {
    switch (id) {
    case IDC_ICON_NORMAL:
    case IDC_ICON_CHECK:
    case IDC_ICON_ERROR:
    case IDC_ICON_CHECK_ERROR:
        chooseIcon(id);
        break;
    case IDC_RESTORE_ICONS:
        context_.icons.restoreDefaultIcons();
        showIcons();
        context_.iconsChanged();
        break;
    case IDC_CHOOSE_FONT:
        chooseFont();
        break;
    case IDC_MARK_READ_AFTER:
        if (code != BN_CLICKED) break;
        enableItem(IDC_MARK_READ_DELAY, isChecked(IDC_MARK_READ_AFTER));
        if (isChecked(IDC_MARK_READ_AFTER)) setItemText(IDC_MARK_READ_DELAY, "5");
        break;
    default:
        SettingsPage::onCommand(code, id, control);
    }
}

bool CustomizePage::store() {
    Settings& s = settings();
    bool changed = assign(s.Font, font_);
    changed |= assign(s.LeftMouseButtonDoubleClickAction, isChecked(IDC_DBLCLICK_CHECK_ALL) ? 1u : 0u);
    changed |= storeBoxes(kCustomizeBoxes);
    int32_t delay = isChecked(IDC_MARK_READ_AFTER) ? markReadDelay(itemText(IDC_MARK_READ_DELAY)) : -1;
    changed |= assign(s.MarkMsgDelay, delay);
    return changed;
}

// ---- Log

LogPage::LogPage(SettingsContext& context) : SettingsPage(IDD_SETTINGS_LOG, "LogPage", "::/settings.htm#log", context) {}

bool LogPage::onInit() {
    setChecked(IDC_WRITE_LOG, eventLog().writeLog());
    setItemText(IDC_LOG_FILE, eventLog().logFile());
    enableFile();
    return true;
}

void LogPage::enableFile() const {
    bool on = isChecked(IDC_WRITE_LOG);
    enableItem(IDC_LOG_FILE, on);
    enableItem(IDC_LOG_BROWSE, on);
}

void LogPage::onCommand(UINT code, UINT id, HWND control) {
    switch (id) {
    case IDC_WRITE_LOG:
        if (code == BN_CLICKED) enableFile();
        break;
    case IDC_LOG_BROWSE: {
        std::string path;
        if (chooseFileToWrite(sheetWindow(), {{formatMessage(MSG_FilesLog), "*.log"}}, "log", path))
            setItemText(IDC_LOG_FILE, path);
        break;
    }
    default:
        SettingsPage::onCommand(code, id, control);
    }
}

bool LogPage::store() {
    EventLog& log = eventLog();
    bool on = isChecked(IDC_WRITE_LOG);
    std::string file = itemText(IDC_LOG_FILE);
    bool changed = on != log.writeLog() || file != log.logFile();
    // The file first, so that no entry goes to the old file once writing is on.
    log.setLogFile(file);
    log.setWriteLog(on);
    return changed;
}

std::vector<std::unique_ptr<SettingsPage>> makeSettingsPages(SettingsContext& context) {
    std::vector<std::unique_ptr<SettingsPage>> pages;
    pages.push_back(std::make_unique<SystemPage>(context));
    pages.push_back(std::make_unique<SoundPage>(context));
    pages.push_back(std::make_unique<VisualPage>(context));
    pages.push_back(std::make_unique<CustomizePage>(context));
    pages.push_back(std::make_unique<LogPage>(context));
    return pages;
}
