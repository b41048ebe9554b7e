#include "notify/TrayMenu.h"

#include "core/MessageText.h"
#include "mail/Controller.h"
#include "resources/resource.h"

namespace {

// "&" in a menu text marks the access key; an account's name shows as it is.
std::string menuText(const std::string& name) {
    std::string text;
    for (char c : name) {
        if (c == '&') text += '&';
        text += c;
    }
    return text;
}

UINT enabledIf(bool on) { return on ? MF_ENABLED : MF_GRAYED; }

}  // namespace

void TrayMenu::rebuildAccounts(Controller& engine) {
    HMENU check = GetSubMenu(menu_, IDM_POS_TRAY_CHECK);
    for (const auto& item : items_)
        if (check) DeleteMenu(check, item.first, MF_BYCOMMAND);
    items_.clear();
    EnableMenuItem(menu_, IDM_POS_TRAY_CHECK, MF_BYPOSITION | enabledIf(engine.count() > 0));
    UINT id = ID_TRAY_ACCOUNT_FIRST;
    for (const auto& account : engine.accounts()) {
        if (!check || id > ID_TRAY_ACCOUNT_LAST) break;
        items_[id] = account->id();
        AppendMenuA(check, MF_STRING, id, menuText(account->name).c_str());
        ++id;
    }
}

void TrayMenu::update(Controller& engine, bool suspended, bool running) {
    if (!menu_) return;
    SetMenuDefaultItem(menu_, 0, TRUE);
    if (engine.accountsMenuDirty) {
        rebuildAccounts(engine);
        engine.accountsMenuDirty = false;
    }
    for (const auto& [item, accountId] : items_) {
        Account* account = engine.find(accountId);
        EnableMenuItem(menu_, item, MF_BYCOMMAND | enabledIf(account && account->state() != AccountState::Disabled));
    }
    std::string text = formatMessage(suspended ? MSG_NotificationOn : MSG_NotificationOff);
    ModifyMenuA(menu_, ID_NOTIFICATION, MF_BYCOMMAND | MF_STRING | enabledIf(running), ID_NOTIFICATION,
                text.c_str());
}

void TrayMenu::track(HWND owner) {
    if (!menu_) return;
    POINT at;
    GetCursorPos(&at);
    // Without the foreground the menu would not close when the user clicks
    // elsewhere; the message after it lets the menu's loop end cleanly.
    SetForegroundWindow(owner);
    TrackPopupMenu(menu_, 0, at.x, at.y, 0, owner, nullptr);
    PostMessageA(owner, WM_NULL, 0, 0);
}

uint32_t TrayMenu::accountFor(UINT command) const {
    auto found = items_.find(command);
    return found == items_.end() ? 0 : found->second;
}
