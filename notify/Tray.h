// The program's presence in the notification area: the tray icon with its
// state pictures, count badge and tooltip, the tray menu, the flash tick
// (which also plays the new-mail sounds and writes the screen-saver
// summary), the new-mail alerts and RUN MAILER. Everything here runs on the
// user-interface thread; the workers' reports reach it posted.
#pragma once
#include <windows.h>

#include <cstdint>

#include "core/Settings.h"
#include "framework/Handles.h"

class Account;
class Controller;

// What the tray needs of the main window.
class TrayHost {
public:
    virtual ~TrayHost() = default;
    virtual HWND window() const = 0;
    virtual bool windowOpen() const = 0;
    virtual Controller& engine() = 0;
};

class Tray {
public:
    static constexpr UINT kCallback = WM_USER + 100;  // the icon's mouse messages
    static constexpr UINT kIconId = 777;
    // The shell's broadcast after it restarted ("TaskbarCreated").
    static UINT taskbarCreated();

    explicit Tray(TrayHost& host);
    ~Tray();
    Tray(const Tray&) = delete;
    Tray& operator=(const Tray&) = delete;

    // The icon slots whose files the settings store.
    IconSlots& iconSlots();
    // The tray menu (the first popup of the tray menu resource).
    void setMenu(HMENU menu) { menu_ = menu; }

    // Adds the icon and starts the 500 ms tick.
    void start();
    // Stops the notifications and removes the icon (exit, end of session).
    void stop();
    // The icon and tooltip after an account's state or counts changed.
    void refresh();
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

private:
    bool notify(DWORD action);

    TrayHost& host_;
    HMENU menu_ = nullptr;
    IconHandle icon_;
    bool added_ = false;
    bool running_ = false;
};
