// The top pane: one row per account, in the engine's display order, with its
// state icon, counts, state and time of the last check. A row maps to its
// account by item data (the account's id), never by position.
#pragma once
#include <windows.h>

#include <cstdint>

#include "framework/Handles.h"
#include "framework/ListView.h"

class Controller;

class AccountsList : public ListView {
public:
    bool create(HWND parent, Controller& engine, HFONT font);
    void setFont(HFONT font);

    // One row again from its account's status (a report).
    void refreshRow(uint32_t id);
    // Every row again, in the engine's order; the selection stays on its account.
    void refreshAll();
    // The selected account's id; 0 when none.
    uint32_t selectedId() const;
    void selectIndex(int index);
    // Item states of the accounts menus before they are shown.
    void updateMenu(HMENU menu);
    // The column layout, at exit.
    void saveLayout();

private:
    void fillRow(int row, uint32_t id);

    Controller* engine_ = nullptr;
    ImageListHandle states_;
};
