#include "framework/ListView.h"

int ListView::count() const { return ListView_GetItemCount(hwnd()); }

void ListView::clear() { ListView_DeleteAllItems(hwnd()); }

int ListView::insertItem(int index, const std::string& text, LPARAM data, int image) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | (image >= 0 ? LVIF_IMAGE : 0);
    item.iItem = index < 0 ? count() : index;
    item.pszText = const_cast<char*>(text.c_str());
    item.lParam = data;
    item.iImage = image;
    return static_cast<int>(SendMessageA(hwnd(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

bool ListView::deleteItem(int index) { return ListView_DeleteItem(hwnd(), index) != FALSE; }

void ListView::setText(int index, int column, const std::string& text) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(hwnd(), LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

std::string ListView::text(int index, int column) const {
    // The control copies at most the buffer's size; grow until it fits.
    std::string buf(256, '\0');
    for (;;) {
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = buf.data();
        item.cchTextMax = static_cast<int>(buf.size());
        int n = static_cast<int>(
            SendMessageA(hwnd(), LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
        if (n < static_cast<int>(buf.size()) - 1 || buf.size() >= (1u << 20)) {
            buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
            return buf;
        }
        buf.resize(buf.size() * 4);
    }
}

LPARAM ListView::data(int index) const {
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    return SendMessageA(hwnd(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

int ListView::findData(LPARAM data) const {
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = data;
    return static_cast<int>(SendMessageA(hwnd(), LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

void ListView::setImage(int index, int image) {
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = index;
    item.iImage = image;
    SendMessageA(hwnd(), LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

int ListView::selected() const { return ListView_GetNextItem(hwnd(), -1, LVNI_SELECTED); }

std::vector<int> ListView::selectedItems() const {
    std::vector<int> rows;
    for (int i = ListView_GetNextItem(hwnd(), -1, LVNI_SELECTED); i >= 0;
         i = ListView_GetNextItem(hwnd(), i, LVNI_SELECTED))
        rows.push_back(i);
    return rows;
}

int ListView::focused() const { return ListView_GetNextItem(hwnd(), -1, LVNI_FOCUSED); }

void ListView::select(int index, bool focusIt) {
    UINT state = LVIS_SELECTED | (focusIt ? LVIS_FOCUSED : 0);
    ListView_SetItemState(hwnd(), index, state, state);
    if (focusIt) ensureVisible(index);
}

void ListView::selectAll() { ListView_SetItemState(hwnd(), -1, LVIS_SELECTED, LVIS_SELECTED); }
void ListView::clearSelection() { ListView_SetItemState(hwnd(), -1, 0, LVIS_SELECTED); }
bool ListView::isSelected(int index) const { return ListView_GetItemState(hwnd(), index, LVIS_SELECTED) != 0; }
void ListView::ensureVisible(int index) { ListView_EnsureVisible(hwnd(), index, FALSE); }
bool ListView::isChecked(int index) const { return ListView_GetCheckState(hwnd(), index) != 0; }
void ListView::setChecked(int index, bool on) { ListView_SetCheckState(hwnd(), index, on); }

int ListView::columnCount() const {
    HWND header = ListView_GetHeader(hwnd());
    return header ? Header_GetItemCount(header) : 0;
}

void ListView::clearColumns() {
    for (int n = columnCount(); n > 0; --n) ListView_DeleteColumn(hwnd(), n - 1);
}

bool ListView::addColumn(int index, const std::string& title, int width, int format) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<char*>(title.c_str());
    column.iSubItem = index;
    return SendMessageA(hwnd(), LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column)) >= 0;
}

int ListView::columnWidth(int index) const { return ListView_GetColumnWidth(hwnd(), index); }

void ListView::setExtendedStyle(DWORD mask, DWORD style) { ListView_SetExtendedListViewStyleEx(hwnd(), mask, style); }

void ListView::setImageList(HIMAGELIST images, int which) { ListView_SetImageList(hwnd(), images, which); }

void ListView::redrawItems(int first, int last) { ListView_RedrawItems(hwnd(), first, last); }

void ListView::sortByData(PFNLVCOMPARE compare, LPARAM context) { ListView_SortItems(hwnd(), compare, context); }

int ListView::hitTest(POINT point) const {
    LVHITTESTINFO hit = {};
    hit.pt = point;
    return ListView_HitTest(hwnd(), &hit);
}
