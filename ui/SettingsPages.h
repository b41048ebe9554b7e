// The five tabs of the Settings dialog: System, Sound, Visual effects,
// Customize and Log. Each tab reads its values when the dialog opens and
// copies them into the settings only when the dialog's OK applies it, and
// only if the user ever looked at it. The tray pictures are the exception:
// the Customize tab changes them at once.
#pragma once
#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "framework/TabDialog.h"

class Controller;
class TrayIcons;

// What the tabs work on besides the settings record.
struct SettingsContext {
    Controller& engine;  // the settings, the accounts and the registry
    TrayIcons& icons;    // the tray's pictures
    // A tray picture changed: the tray shows it now.
    std::function<void()> iconsChanged;
    // Plays a wave file without waiting for its end.
    std::function<void(const std::string& file)> testSound;
    // Writes (true) or removes (false) the start-up shortcut; false when that failed.
    std::function<bool(bool on)> startWithWindows;
};

// A check box shown from and stored to a flag of the settings.
struct SettingsBox {
    int id;
    bool Settings::*flag;
};

class SettingsPage : public TabPage {
public:
    // The tab's values into the settings, if the tab was ever shown; true
    // when any of them changed.
    bool apply() { return everShown() && store(); }
    // The help topic of the tab.
    const char* helpTopic() const { return helpTopic_; }

protected:
    SettingsPage(UINT templateId, const char* source, const char* helpTopic, SettingsContext& context);

    virtual bool store() = 0;

    void showBoxes(std::span<const SettingsBox> boxes) const;
    // True when any flag changed.
    bool storeBoxes(std::span<const SettingsBox> boxes) const;

    Settings& settings() const;
    // The Settings dialog, which the file and font dialogs are modal to.
    HWND sheetWindow() const { return GetAncestor(hwnd(), GA_ROOT); }

    SettingsContext& context_;

private:
    const char* helpTopic_;
};

class SystemPage : public SettingsPage {
public:
    explicit SystemPage(SettingsContext& context);

private:
    bool onInit() override;
    void onCommand(UINT code, UINT id, HWND control) override;
    bool store() override;
    // "Run mail client after new mail detecting" needs a mail client.
    void enableRunMailer() const;
};

class SoundPage : public SettingsPage {
public:
    explicit SoundPage(SettingsContext& context);

private:
    struct AccountSound {
        uint32_t id;
        std::string file;
    };
    bool onInit() override;
    void onCommand(UINT code, UINT id, HWND control) override;
    bool store() override;
    void enableSounds() const;
    void selectAccount(int index);

    // The accounts' sound files as edited, in list order.
    std::vector<AccountSound> sounds_;
    int selected_ = -1;
};

class VisualPage : public SettingsPage {
public:
    explicit VisualPage(SettingsContext& context);

private:
    bool onInit() override;
    bool store() override;
};

class CustomizePage : public SettingsPage {
public:
    explicit CustomizePage(SettingsContext& context);

private:
    bool onInit() override;
    void onCommand(UINT code, UINT id, HWND control) override;
    bool store() override;
    void showIcons() const;
    void chooseIcon(UINT button);
    void chooseFont();

    std::array<uint8_t, 60> font_{};  // the tab's copy of the Font setting
};

class LogPage : public SettingsPage {
public:
    explicit LogPage(SettingsContext& context);

private:
    bool onInit() override;
    void onCommand(UINT code, UINT id, HWND control) override;
    bool store() override;
    void enableFile() const;
};

// The tabs in their order: System, Sound, Visual effects, Customize, Log.
std::vector<std::unique_ptr<SettingsPage>> makeSettingsPages(SettingsContext& context);

