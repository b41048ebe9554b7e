// The middle pane: the messages of the account selected above, owner-drawn
// with their marks and unread ones in bold, and the commands that mark,
// delete, reply to, save and filter them.
#pragma once
#include <windows.h>

#include <cstdint>

#include "framework/ListView.h"

class Account;
class Controller;

class MessagesList : public ListView {
public:
    bool create(HWND parent, Controller& engine, HFONT font);
    void setFont(HFONT font);

    // Shows the account's messages (null: none).
    void showAccount(Account* account);
    // The id of the account shown; 0 when none.
    uint32_t shownAccount() const { return shown_; }
    // A message command (mark, delete, reply, save, add to a filter, ...).
    void command(UINT id);
    void updateMenu(HMENU menu);
    void saveLayout();

private:
    Controller* engine_ = nullptr;
    uint32_t shown_ = 0;
};
