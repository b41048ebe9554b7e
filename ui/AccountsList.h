// The top pane: one row per account, in the engine's display order, with its
// state icon, counts, state and time of the last check. A row maps to its
// account by item data (the account's id), never by position. The columns
// come from the column store; a click on a title sorts the accounts
// themselves, and dragging a row moves its account.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "framework/Handles.h"
#include "framework/ListView.h"
#include "ui/ColumnsDialog.h"

class Controller;

// Which account commands can run now.
struct AccountCommandStates {
    bool check = false;
    bool checkAll = false;
    bool stop = false;
    bool viewErrors = false;
    bool disable = false;
    bool isDisabled = false;  // the item reads "Enable"
    bool deleteAll = false;
    bool edit = false;
    bool remove = false;
    bool up = false;
    bool down = false;
};

class AccountsList : public ListView, public ColumnsOwner {
public:
    // The built-in columns, titles from the message table.
    static std::vector<ColumnDescription> builtInColumns();

    // `commandTarget` receives the list's keyboard and menu commands;
    // `messages` is the messages pane ("Delete all messages" needs rows there).
    bool create(HWND parent, Controller& engine, HWND commandTarget, const ListView& messages, HFONT font);
    void setFont(HFONT font);

    // One row again from its account's status (a report).
    void refreshRow(uint32_t id);
    // Every row again, in the engine's order; the selection stays on its account.
    void refreshAll();
    // The selected account's id; 0 when none.
    uint32_t selectedId() const;
    void selectIndex(int index);

    AccountCommandStates commandStates() const;
    // Sets the account commands' items in `menu` (enabled or greyed, and
    // "Enable" or "Disable").
    void updateMenu(HMENU menu) const;
    // The column widths the user dragged, at exit.
    void saveLayout();

    ColumnStore& columnStore() override { return *columns_; }
    void rebuildColumns() override;

    bool onReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void buildColumns();
    // Every row again; then `selectId`'s row is selected.
    void refill(uint32_t selectId);
    void fillRow(int row, uint32_t id);
    void sortBy(int column);
    void showContextMenu(LPARAM screenPoint);
    void beginDrag(int row, POINT at);
    void dragTo(POINT at);
    void endDrag(bool drop, POINT at);
    void sendCommand(UINT id) const;

    Controller* engine_ = nullptr;
    HWND target_ = nullptr;
    const ListView* messages_ = nullptr;
    std::unique_ptr<ColumnStore> columns_;
    std::vector<uint32_t> shownKinds_;    // the kind of each list-view column
    UINT columnsDpi_ = 96;                // the DPI the column widths were scaled to
    std::map<uint32_t, uint32_t> order_;  // sort order by kind: 2 descending, else ascending
    bool outsideRow_ = false;  // the context menu was asked for away from any row

    // A row being dragged.
    ImageListHandle dragImage_;
    uint32_t dragged_ = 0;
    bool dragging_ = false;
    int dropTarget_ = -1;  // the row shown as the drop place
    POINT dragOffset_ = {};  // from window to client coordinates
};
