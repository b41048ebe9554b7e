// The tray menu: "Open Kestrix" (the default), "Check" with "All" and one
// item per account, "Settings", "Run Mail Client", the notification switch
// and "Exit". An account's item carries an id of the tray's own range that
// maps to the account's id, so two accounts of one name each have theirs and
// an account removed meanwhile is found by none.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>

class Controller;

class TrayMenu {
public:
    // The first popup of the tray menu resource; not owned.
    void setMenu(HMENU popup) { menu_ = popup; }
    HMENU menu() const { return menu_; }

    // Sets the items as they must read for the next popup: the account
    // items again when the account list changed, each greyed while its
    // account is disabled; the notification switch's text and state.
    void update(Controller& engine, bool suspended, bool running);
    // Shows the menu at the cursor; its command goes to `owner` as
    // WM_COMMAND.
    void track(HWND owner);
    // The account id of an account item, 0 for any other command.
    uint32_t accountFor(UINT command) const;

private:
    void rebuildAccounts(Controller& engine);

    HMENU menu_ = nullptr;
    std::map<UINT, uint32_t> items_;  // menu id -> account id
};
