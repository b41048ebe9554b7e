// The middle pane: the messages of the account selected above, owner-drawn
// with their marks and unread ones in bold, sorted as the account says, and
// the commands that mark, delete, save and filter them. The focused message
// is shown in the preview; after `MarkMsgDelay` seconds there it is read.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "framework/Handles.h"
#include "ui/ColumnStore.h"
#include "ui/ColumnsDialog.h"
#include "ui/MessageRows.h"

class Account;
class Controller;
class Preview;

class MessagesList : public MessageRows, public ColumnsOwner {
public:
    // Private messages to the list.
    static constexpr UINT kRebuildColumns = WM_USER + 102;  // the columns again from the store
    static constexpr UINT kRefreshCells = WM_USER + 103;    // the cells of the rows in view again
    static constexpr UINT kShowFocused = WM_USER + 105;     // the preview again, in a new encoding
    static constexpr UINT_PTR kMarkReadTimer = 1;

    bool create(HWND parent, Controller& engine, HFONT font);
    // The list's font, and the preview's.
    void setFont(HFONT font);
    void setPreview(Preview* preview) { preview_ = preview; }

    // Shows the account's messages (null: none), sorted as it says.
    void showAccount(Account* account);
    // The id of the account shown; 0 when none.
    uint32_t shownAccount() const { return accountId(); }
    // A message command (mark, delete, save, add to a filter, ...).
    void command(UINT id) override;
    void updateMenu(HMENU menu) { menuStates(menu); }
    // Column widths the user dragged, at exit.
    void saveLayout();

    ColumnStore& columnStore() override { return *columns_; }
    void rebuildColumns() override;

    // A click on column `column`'s header.
    void sortByColumn(int column);
    const SortState& sortState() const { return sort_; }
    bool markReadPending() const { return timerRunning_; }

private:
    bool reflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

    void applyAccountSort();
    void sortRows(uint32_t kind, uint32_t order);
    void showArrow();
    void focusMoved();
    void markReadLater();
    void stopMarkRead();
    void showFocused();
    void saveAs();
    void addToFilter(UINT id);
    void reply();

    std::unique_ptr<ColumnStore> columns_;
    SortState sort_;
    Preview* preview_ = nullptr;
    ImageListHandle arrows_;
    bool timerRunning_ = false;
};
