// The program's presence in the notification area: the tray icon with its
// state pictures, count badge and tooltip, the tray menu, the flash tick
// (which also plays the new-mail sounds and writes the screen-saver
// summary), the new-mail alerts and RUN MAILER. Everything here runs on the
// user-interface thread; the workers' reports reach it posted.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "framework/Handles.h"
#include "notify/SoundNotifier.h"
#include "notify/TrayIcon.h"
#include "notify/TrayMenu.h"
#include "notify/TrayState.h"

class Account;
class Controller;

// What the tray needs of the main window.
class TrayHost {
public:
    virtual ~TrayHost() = default;
    virtual HWND window() const = 0;
    virtual bool windowOpen() const = 0;
    virtual Controller& engine() = 0;
    // An account's marks changed: its row, and the messages pane when it
    // shows the account, are drawn again.
    virtual void refreshAccount(uint32_t accountId) = 0;
};

class Tray {
public:
    static constexpr UINT kCallback = WM_USER + 100;  // the icon's mouse messages
    static constexpr UINT kIconId = 777;
    static constexpr UINT kTimer = 1;                 // the flash tick, on the host window
    static constexpr UINT kTickMs = 500;
    // Ticks without an icon before a hidden window is shown instead.
    static constexpr int kAddAttempts = 6;
    // The shell's broadcast after it restarted ("TaskbarCreated").
    static UINT taskbarCreated();

    // notifyState bits.
    enum : uint32_t { Running = 1, Stopped = 2, Suspended = 4 };

    // `player` plays the sounds (null: the system's wave sounds).
    explicit Tray(TrayHost& host, std::unique_ptr<SoundPlayer> player = nullptr);
    ~Tray();
    Tray(const Tray&) = delete;
    Tray& operator=(const Tray&) = delete;

    // The icon slots whose files the settings store; also the pictures the
    // settings pages preview and change.
    TrayIcons& iconSlots() { return icons_; }
    // The tray menu (the first popup of the tray menu resource).
    void setMenu(HMENU menu) { menu_.setMenu(menu); }

    // Adds the icon and starts the 500 ms tick.
    void start();
    // Stops the notifications and removes the icon (exit, end of session).
    void stop();
    // The icon and tooltip after an account's state or counts changed.
    void refresh();
    // The settings sheet changed the sounds or the pictures.
    void settingsChanged();
    void onTimer();
    void onCallback(LPARAM mouseMessage);
    void onTaskbarCreated();
    // The main window is shown (suspended) or hidden.
    void setSuspended(bool suspended);
    void toggleNotification();
    // A good check left unread mail.
    void newMailFound(Account& account);
    // RUN MAILER: the mail client, then every message read.
    void runMailer();
    // The account of a tray menu item, or null.
    Account* accountForCommand(UINT command) const;

    bool added() const { return added_; }
    uint32_t notifyState() const { return state_; }
    const SoundNotifier& sounds() { return notifier(); }

private:
    SoundNotifier& notifier();
    // Every account as it is now, in list order.
    MailCounts counts() const;
    // The icon to show for `counts`: the state picture, with the badge.
    HICON compose(const MailCounts& counts);
    void show(HICON icon, const std::string& summary);
    bool addIcon(HICON icon, const std::string& summary);
    void retryAdd(const MailCounts& counts, const std::string& summary);
    void showMenu();
    void onDoubleClick();

    TrayHost& host_;
    std::unique_ptr<SoundPlayer> player_;
    std::unique_ptr<SoundNotifier> sounds_;  // made once the settings exist
    TrayIcons icons_;
    TrayMenu menu_;
    IconHandle composed_;  // the last badge made; shown until the next
    uint32_t state_ = 0;
    bool added_ = false;
    int failedAdds_ = 0;
    bool flashPhase_ = true;
};
