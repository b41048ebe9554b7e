// A list-view control, as the program's lists use it: report view, rows that
// carry a number of the caller's (item data), columns by position. Refers to
// the control without owning it; a list that draws or sorts itself derives
// from it and subclasses the control.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "framework/Window.h"

class ListView : public Control {
public:
    using Control::Control;

    int count() const;
    void clear();
    // Inserts a row at `index` (-1 or past the end: at the end) with its
    // first cell, item data and image (-1: none); returns its index or -1.
    int insertItem(int index, const std::string& text, LPARAM data, int image = -1);
    bool deleteItem(int index);
    void setText(int index, int column, const std::string& text);
    std::string text(int index, int column) const;
    LPARAM data(int index) const;
    // The row whose item data is `data`, or -1.
    int findData(LPARAM data) const;
    void setImage(int index, int image);

    // Selection and focus.
    int selected() const;  // the first selected row, or -1
    std::vector<int> selectedItems() const;
    int focused() const;
    void select(int index, bool focusIt = true);
    void selectAll();
    void clearSelection();
    bool isSelected(int index) const;
    void ensureVisible(int index);
    // Check boxes (LVS_EX_CHECKBOXES).
    bool isChecked(int index) const;
    void setChecked(int index, bool on);

    // Columns by position.
    int columnCount() const;
    void clearColumns();
    bool addColumn(int index, const std::string& title, int width, int format = LVCFMT_LEFT);
    int columnWidth(int index) const;

    void setExtendedStyle(DWORD mask, DWORD style);
    void setImageList(HIMAGELIST images, int which = LVSIL_SMALL);
    void redrawItems(int first, int last);
    void sortByData(PFNLVCOMPARE compare, LPARAM context);
    // The row under a point of the list's client area, or -1.
    int hitTest(POINT point) const;
};
