// The Columns dialog: which columns a list shows, in which order and how
// wide. It works on any list that offers its column store and can rebuild
// its columns and rows from it.
#pragma once
#include <windows.h>

#include <vector>

#include "framework/Dialog.h"
#include "framework/ListView.h"
#include "ui/ColumnStore.h"

// What a list gives the Columns dialog.
class ColumnsOwner {
public:
    virtual ColumnStore& columnStore() = 0;
    // The store changed: the list's columns and rows again from it.
    virtual void rebuildColumns() = 0;

protected:
    ~ColumnsOwner() = default;
};

class ColumnsDialog : public Dialog {
public:
    explicit ColumnsDialog(ColumnsOwner& owner);

    // On OK the store takes the dialog's rows, is saved, and the list rebuilds.
    // True for OK.
    static bool run(HWND owner, ColumnsOwner& columns);

private:
    bool onInit() override;
    void onCommand(UINT code, UINT id, HWND control) override;
    bool onNotify(NMHDR& nm, LRESULT& result) override;
    void onOK() override;

    void fill(int select);
    int current() const;
    void move(int by);
    void setShown(bool shown);
    void showWidth();
    void storeWidth();
    void enableButtons();

    ColumnsOwner& owner_;
    std::vector<ColumnDescription> rows_;
    ListView list_;
    bool filling_ = false;  // the dialog itself is changing the list or the edit
};
