// A list view of one account's messages, drawn by its owner: the mark icon
// at the left of the first text column, unread messages in bold, the columns
// of a column store, and the commands that set marks. The messages list and
// the list of the deletion question both are one of these.
//
// A row never keeps a pointer to its message: the worker replaces the list
// at every check. Each step takes the account's lock, finds the row's
// message by its key (MessageView.h) and lets go again; a message that has
// gone is skipped.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "framework/ListView.h"
#include "ui/MessageView.h"

class Account;
class ColumnStore;
class Controller;
class Message;

class MessageRows : public ListView {
public:
    // Told after the user changed marks of an account's messages; the
    // account's unread count is recounted by then.
    using MarksChanged = std::function<void(uint32_t accountId)>;

    // Takes over the list control: its columns come from `columns`.
    // `deletedOnly` shows only the messages marked for deletion, from the
    // whole list the check works on (the deletion question).
    bool attachList(HWND list, const char* source, Controller& engine, ColumnStore& columns, bool deletedOnly);
    void setMarksChanged(MarksChanged changed) { marksChanged_ = std::move(changed); }
    // The list's font; unread rows get the bold one made from it.
    void setFont(HFONT font);
    HFONT font() const { return font_; }
    Controller& engine() const { return *engine_; }
    ColumnStore& columns() const { return *columns_; }
    const MarksChanged& marksChanged() const { return marksChanged_; }

    // The columns again from the store, then the rows again.
    void buildColumns();
    // Shows `accountId`'s messages (0: none). For the account already shown
    // the rows are matched to the messages: rows of messages gone go, new
    // messages get rows, the others keep their place and selection.
    void fill(uint32_t accountId);
    uint32_t accountId() const { return account_; }
    // The column kind of each list-view column, by position.
    const std::vector<uint32_t>& kinds() const { return kinds_; }

    // Draws row `row` into `dc` (WM_DRAWITEM's work; `state` holds ODS_*).
    void drawRow(HDC dc, const RECT& rect, int row, UINT state);
    // Sets the cells and the image of `row` from its message again.
    void refreshCells(int first, int last);

    // A command of the messages menu, table 184 or the context menu.
    virtual void command(UINT id);
    // Enables and greys the message commands of `menu` for the selection.
    void menuStates(HMENU menu);

protected:
    // Whether this list ever offers `id`; the ones it does not stay greyed.
    virtual bool offers(UINT id) const { return true; }
    bool onReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) final;
    // The parent's notifications, under the list's own guard.
    virtual bool reflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

    // The shown account's messages under its lock for the length of a step.
    class Locked {
    public:
        explicit Locked(const MessageRows& rows);
        ~Locked();
        Locked(const Locked&) = delete;
        Locked& operator=(const Locked&) = delete;
        explicit operator bool() const { return held_; }
        Account& account() const { return *account_; }
        // The messages the rows show (empty until the account's first good check).
        MessageSpan list() const;
        // The message of a row, or null when it is gone.
        const Message* row(int index) const;
        // The message whose marks `m`'s row shows: the first of its identity.
        const Message& marks(const Message& m) const;

    private:
        const MessageRows& rows_;
        Account* account_ = nullptr;
        bool held_ = false;
        bool whole_ = false;
    };

    RowKey keyOf(int row) const { return static_cast<RowKey>(data(row)); }
    // The key and header text of the focused row, copied; false without one.
    bool focusedHeader(std::string& text) const;
    void showHeader();
    // Sets the mark of every message of the selected rows (all copies of
    // each identity); recounts and reports when any changed.
    void changeMarks(UINT id);

private:
    void insertRow(RowKey key, const Message& m, int image);
    void contextMenu(LPARAM lp);
    int measureRow() const;

    const char* source_ = "MessageRows";
    Controller* engine_ = nullptr;
    ColumnStore* columns_ = nullptr;
    bool deletedOnly_ = false;
    uint32_t account_ = 0;
    std::vector<uint32_t> kinds_;
    MarksChanged marksChanged_;
    mutable RowIndex index_;
    HFONT font_ = nullptr;
    FontHandle bold_;
    ImageListHandle marks_;
    int iconSize_ = 16;
};

// Text for a cell at most this long is kept and drawn: nothing wider fits,
// and a huge header field must not slow every row down.
constexpr size_t kCellTextMax = 1024;
// `text` cut to kCellTextMax bytes, never inside a double-byte character.
std::string_view cellPiece(std::string_view text);
