// The main window: toolbar, the three panes (accounts, messages, preview)
// and the status bar under the menu bar; the window side of the program's
// engine, whose reports it receives on its own thread; the program's
// commands; start-up after the window exists, and the exit sequence.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <utility>

#include "framework/CommandTable.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "mail/Controller.h"
#include "notify/Tray.h"
#include "ui/AccountsList.h"
#include "ui/DeletionConfirmations.h"
#include "ui/MainToolbar.h"
#include "ui/MessagesList.h"
#include "ui/PaneSplitter.h"
#include "ui/Preview.h"
#include "ui/ReportQueue.h"

class Registry;

class MainWindow : public Dialog, private ControllerView, private TrayHost {
public:
    static constexpr UINT kReports = WM_APP + 1;        // worker reports are waiting
    static constexpr UINT kNewMail = WM_APP + 2;        // new-mail reports are waiting
    static constexpr UINT kConfirmation = WM_APP + 3;   // a deletion question is waiting or withdrawn
    static constexpr UINT kRefreshEncoding = WM_USER + 105;  // to the messages list

    // Commands a build adds to the table (the test build's probes).
    struct ExtraCommand {
        UINT id;
        void (*run)(MainWindow& window, UINT id);
    };

    explicit MainWindow(Registry& registry, std::span<const ExtraCommand> extra = {});
    ~MainWindow() override;

    // Creates the window (start-up runs while it is made) and shows it unless
    // the settings say to start hidden. False when it could not be made.
    bool open();

    Controller& engine() override { return *engine_; }
    bool windowOpen() const override { return windowOpen_; }
    HWND window() const override { return hwnd(); }

    // The exit sequence; false when the user or an open dialog kept it.
    bool exit();

    // Accounts were added or reordered: the list, the command states and the tray again.
    void accountsChanged();
    // The list that a Columns command (40038, 40040) customises; null while
    // that list has no column store.
    ColumnsOwner* columnsOwner(UINT command);
    MessagesList& messagesList() { return messagesList_; }
    Tray& tray() { return tray_; }
    // The settings dialog's OK: the tray and the lists' font as the settings say now.
    void settingsApplied();
    // The account of the selected row; 0 when none is selected.
    uint32_t selectedAccount() const { return accountsList_.selectedId(); }

private:
    bool onInit() override;
    void onCommand(UINT code, UINT id, HWND control) override;
    void onCancel() override { hide(); }
    bool onNotify(NMHDR& nm, LRESULT& result) override;
    bool onMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;
    void onDestroy() override;

    // ControllerView, on worker threads.
    void accountChanged(uint32_t accountId) override { reports_.add(accountId); }
    void newMailFound(uint32_t accountId) override { newMail_.add(accountId); }
    bool confirmDeletion(uint32_t accountId, CheckWait& wait) override {
        return confirmations_.ask(accountId, wait);
    }
    void runMailer() override;

    // Start-up after the window exists.
    void buildMenus();
    void buildChildren();
    void firstRun();
    // Window layout.
    void layoutChildren(int width, int height);
    bool refuseSize(WINDOWPOS& pos);
    void paintFrame();
    void capturePlacement();
    void applyPlacement();
    void setStatusText(const std::string& text);
    void onMenuSelect(UINT item, UINT flags, HMENU menu);
    void onInitMenuPopup(HMENU menu);
    void onDpiChanged(UINT dpi, const RECT& suggested);
    // The lists' font from the Font setting at the window's DPI.
    void applyListFont();

    // Showing and hiding.
    void show();
    void hide();

    // Reports from the workers.
    void handleReports();
    void handleNewMail();
    void handleConfirmation();
    void refreshAccount(uint32_t id) override;
    void marksChanged(uint32_t id);

    // Commands.
    void commandStates();
    void accountSelected(const NMLISTVIEW& change);
    uint32_t selectedId() const { return accountsList_.selectedId(); }
    void cmdHide(UINT);
    void cmdOpen(UINT);
    void cmdExit(UINT);
    void cmdCheck(UINT);
    void cmdCheckAll(UINT);
    void cmdStop(UINT);
    void cmdDisable(UINT);
    void cmdMove(UINT id);
    void cmdRemove(UINT);
    void cmdViewErrors(UINT);
    // Asks whether to trust the certificate that the account's last check
    // refused. At a report (`asked` false) only once per account and
    // certificate, and not over another modal window.
    void offerTrust(uint32_t id, bool asked);
    void cmdDeleteAll(UINT);
    void cmdDelMsgs(UINT);
    void cmdMessages(UINT id);
    void cmdEncoding(UINT id);
    void cmdCustomizeToolbar(UINT);
    void cmdContents(UINT);
    void cmdNotification(UINT);
    void cmdRunMailer(UINT);
    void cmdDialog(UINT id);
    // Whether a modal window is open; then commands that would open another,
    // or end the program under it, wait.
    bool modalOpen() const;

    // Everything the program saves at exit and at the end of the session.
    void saveAll();
    void saveSettings();

    Registry& registry_;
    std::span<const ExtraCommand> extra_;
    std::unique_ptr<Controller> engine_;
    std::set<std::pair<uint32_t, std::string>> trustOffered_;  // account id, certificate
    MainToolbar toolbar_;
    PaneSplitter splitter_;
    HWND status_ = nullptr;
    AccountsList accountsList_;
    MessagesList messagesList_;
    Preview preview_;
    Tray tray_;
    MenuHandle menuBar_;
    MenuHandle trayMenu_;
    FontHandle listFont_;
    IconHandle bigIcon_, smallIcon_;
    ReportQueue reports_;
    ReportQueue newMail_;
    DeletionConfirmations confirmations_;
    Dialog* confirmationDialog_ = nullptr;  // open while a question is shown
    UINT dpi_ = 96;
    bool windowOpen_ = false;
    bool placementApplied_ = false;
    bool exiting_ = false;

    static const CommandRow<MainWindow> kCommands[];
};
