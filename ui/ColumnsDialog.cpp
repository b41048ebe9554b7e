#include "ui/ColumnsDialog.h"

#include <commctrl.h>

#include <utility>

#include "resources/resource.h"

namespace {
constexpr int kWidthChars = 30;
}  // namespace

ColumnsDialog::ColumnsDialog(ColumnsOwner& owner) : Dialog(IDD_COLUMNS, "ColumnsDialog"), owner_(owner) {}

bool ColumnsDialog::run(HWND owner, ColumnsOwner& columns) {
    ColumnsDialog dialog(columns);
    return dialog.runModal(owner) == IDOK;
}

bool ColumnsDialog::onInit() {
    list_.attach(item(IDC_COLUMN_LIST));
    list_.setExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    RECT rc;
    GetClientRect(list_.hwnd(), &rc);
    list_.addColumn(0, "", rc.right - GetSystemMetrics(SM_CXVSCROLL));
    SendMessageA(item(IDC_COLUMN_WIDTH), EM_LIMITTEXT, kWidthChars, 0);
    rows_ = owner_.columnStore().columns();
    fill(0);
    return true;
}

void ColumnsDialog::fill(int select) {
    filling_ = true;
    list_.clear();
    for (size_t i = 0; i < rows_.size(); ++i) {
        int row = list_.insertItem(-1, rows_[i].title, static_cast<LPARAM>(i));
        list_.setChecked(row, rows_[i].shown);
    }
    if (select >= 0 && select < list_.count()) list_.select(select);
    filling_ = false;
    showWidth();
    enableButtons();
}

int ColumnsDialog::current() const {
    int row = list_.selected();
    return row >= 0 && static_cast<size_t>(row) < rows_.size() ? row : -1;
}

void ColumnsDialog::move(int by) {
    int row = current();
    int to = row + by;
    if (row < 0 || to < 0 || static_cast<size_t>(to) >= rows_.size()) return;
    storeWidth();
    std::swap(rows_[static_cast<size_t>(row)], rows_[static_cast<size_t>(to)]);
    fill(to);
}

void ColumnsDialog::setShown(bool shown) {
    int row = current();
    if (row < 0) return;
    rows_[static_cast<size_t>(row)].shown = shown;
    filling_ = true;
    list_.setChecked(row, shown);
    filling_ = false;
}

void ColumnsDialog::showWidth() {
    int row = current();
    filling_ = true;
    setItemText(IDC_COLUMN_WIDTH, row < 0 ? std::string() : std::to_string(rows_[static_cast<size_t>(row)].width));
    filling_ = false;
}

// A width that is not a number from 0 to the limit keeps the old one.
void ColumnsDialog::storeWidth() {
    int row = current();
    if (row >= 0) ColumnStore::parseWidth(itemText(IDC_COLUMN_WIDTH), rows_[static_cast<size_t>(row)].width);
}

void ColumnsDialog::enableButtons() {
    int row = current();
    bool any = row >= 0;
    enableItem(IDC_COLUMN_MOVE_UP, any && row > 0);
    enableItem(IDC_COLUMN_MOVE_DOWN, any && static_cast<size_t>(row) + 1 < rows_.size());
    enableItem(IDC_COLUMN_SHOW, any);
    enableItem(IDC_COLUMN_HIDE, any);
    enableItem(IDC_COLUMN_WIDTH, any);
}

void ColumnsDialog::onCommand(UINT code, UINT id, HWND control) {
    switch (id) {
    case IDC_COLUMN_MOVE_UP:
        move(-1);
        break;
    case IDC_COLUMN_MOVE_DOWN:
        move(1);
        break;
    case IDC_COLUMN_SHOW:
    case IDC_COLUMN_HIDE:
        setShown(id == IDC_COLUMN_SHOW);
        break;
    case IDC_COLUMN_RESET:
        rows_ = owner_.columnStore().builtIn();
        fill(0);
        break;
    case IDC_COLUMN_WIDTH:
        if (code == EN_CHANGE && !filling_) storeWidth();
        break;
    default:
        Dialog::onCommand(code, id, control);
    }
}

bool ColumnsDialog::onNotify(NMHDR& nm, LRESULT&) {
    if (nm.idFrom != IDC_COLUMN_LIST || nm.code != LVN_ITEMCHANGED || filling_) return false;
    const auto& change = reinterpret_cast<NMLISTVIEW&>(nm);
    if (change.iItem < 0 || static_cast<size_t>(change.iItem) >= rows_.size()) return false;
    if ((change.uChanged & LVIF_STATE) && ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK))
        rows_[static_cast<size_t>(change.iItem)].shown = list_.isChecked(change.iItem);
    if ((change.uNewState ^ change.uOldState) & LVIS_SELECTED) {
        showWidth();
        enableButtons();
    }
    return false;
}

void ColumnsDialog::onOK() {
    storeWidth();
    ColumnStore& store = owner_.columnStore();
    store.replace(rows_);
    store.save();
    owner_.rebuildColumns();
    end(IDOK);
}
