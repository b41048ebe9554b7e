// The checker's global preferences, one record per run, kept in the
// registry's Settings key. Fields bear the names of their registry values
// and are read and written directly by their users.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "core/ProductKey.h"

class Registry;

// The four tray icon slots, as whoever owns the tray icons implements them.
// Settings hands each stored icon file to its slot on load and asks for the
// slots' files on save.
class IconSlots {
public:
    enum Slot { Normal, Check, Error, CheckError, Count };

    virtual ~IconSlots() = default;
    // Load the slot's icon from `path`; the slot keeps its built-in icon when
    // that fails.
    virtual void loadIconFile(Slot slot, const std::string& path) = 0;
    virtual bool iconFromFile(Slot slot) const = 0;
    virtual std::string iconPath(Slot slot) const = 0;
};

class Settings {
public:
    // Where load and save go, under HKEY_CURRENT_USER; tests name keys of
    // their own.
    struct Keys {
        std::string settings = kSettingsKey;
        std::string ssaver = kSSaverKey;
    };

    // Sets the initial values, then loads. `icons` may be null (no tray).
    Settings(Registry& registry, IconSlots* icons = nullptr);
    Settings(Registry& registry, IconSlots* icons, Keys keys);
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // A key that can be neither opened nor created leaves every field as it
    // was; a missing value keeps the initial value or reads as false.
    void load();
    // Writes every value, then removes the screen saver's MailInfo so it
    // shows no summary until a fresh one is written. Failures are silent.
    // Nothing saves by itself: the owner saves when the user confirms the
    // settings and at exit, so that a tool can read them without writing.
    void save();

    uint32_t ViewAutoSelect = 8;     // 8 (checked) or 0
    uint32_t ViewCharset = 40066;    // 40064, 40065 or 40066
    bool RunMailerAfterNewMail = false;
    bool WinStartup = true;
    bool HideStart = true;
    std::string MailClient;
    uint32_t InetConnectionType = 0;  // 0: LAN, 1: dial-up; stored inverted
    std::array<uint8_t, 44> MainWindowPlacement{};  // a WINDOWPLACEMENT
    bool PlaySound = false;
    bool Repeat = false;
    bool RepeatWhenWindowIsOpen = false;
    std::string SoundFile;
    bool FlashIcon = false;
    bool ShowChecking = false;
    bool ErrorIcon = false;
    bool ShowNumberAllMsgs = false;
    bool DontCalcDeleted = false;
    bool ShowTips = true;
    std::array<uint8_t, 60> Font{};  // a LOGFONTA
    uint32_t LeftMouseButtonDoubleClickAction = 0;  // 0: show or hide, 1: check all
    int32_t MarkMsgDelay = 5;  // seconds; -1 never

    // Set (never cleared) by the settings sheet's sound and visual pages.
    bool soundChanged = false;
    bool visualChanged = false;

    static const char* const kIconValues[IconSlots::Count];

private:
    Registry& registry_;
    IconSlots* icons_;
    Keys keys_;
    // The icon values as loaded; written back unchanged when no tray owns
    // the slots, so running without one does not forget the user's icons.
    std::array<std::string, IconSlots::Count> iconValues_;
};
