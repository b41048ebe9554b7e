// The common controls and menus of another process. Their messages carry
// pointers that the system does not copy between processes, so the
// structures and texts live in a RemoteBlock in the control's process.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <numeric>

#include "Command.h"
#include "Remote.h"

namespace {

// Where things go inside the block: the structure of the message, a small
// array (column order, a rectangle), and the text buffer.
constexpr size_t kStruct = 0;
constexpr size_t kArray = 1024;
constexpr size_t kText = 16384;
constexpr size_t kTextChars = (RemoteBlock::kSize - kText) / sizeof(wchar_t);

// Word 0 as a control, with a block in its process.
bool openControl(const Args& args, HWND& control, RemoteBlock& block, Reply& reply)
{
    if (!args.window(0, control, reply)) return false;
    return block.open(control) || reply.fail(block.error());
}

// Sends a message whose lParam is the structure at kStruct.
template <class T> bool call(RemoteBlock& block, UINT message, WPARAM wParam, T& item, LRESULT& result,
                             HWND to = nullptr)
{
    return block.put(kStruct, item) && block.send(message, wParam, LPARAM(block.at(kStruct)), result, to) &&
           block.get(kStruct, item);
}

bool remoteRect(RemoteBlock& block, UINT message, WPARAM wParam, LONG preset, RECT& rect, HWND to = nullptr)
{
    rect = RECT{preset, 0, 0, 0};
    LRESULT result = 0;
    return block.put(kArray, rect) && block.send(message, wParam, LPARAM(block.at(kArray)), result, to) && result &&
           block.get(kArray, rect);
}

void writeRect(Json& out, const RECT& rect)
{
    out.beginArray().num(rect.left).num(rect.top).num(rect.right).num(rect.bottom).endArray();
}

// ---- list views and headers ----

struct Column {
    int index;
    std::wstring text;
    int width;
    int format;
    RECT rect;
};

// The header's items in display order.
bool readHeader(RemoteBlock& block, HWND header, std::vector<Column>& columns)
{
    LRESULT count = 0;
    if (!block.send(HDM_GETITEMCOUNT, 0, 0, count, header)) return false;
    std::vector<std::pair<int, Column>> ordered;
    for (int i = 0; i < count; ++i) {
        HDITEMW item{};
        item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT | HDI_ORDER;
        item.pszText = reinterpret_cast<LPWSTR>(block.at(kText));
        item.cchTextMax = int(kTextChars);
        LRESULT ok = 0;
        if (!block.put(kText, L'\0') || !call(block, HDM_GETITEMW, WPARAM(i), item, ok, header)) return false;
        Column column{i, block.text(kText, kTextChars), item.cxy, item.fmt, {}};
        remoteRect(block, HDM_GETITEMRECT, WPARAM(i), 0, column.rect, header);
        ordered.emplace_back(item.iOrder, std::move(column));
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](auto& a, auto& b) { return a.first < b.first; });
    columns.clear();
    for (auto& entry : ordered) columns.push_back(std::move(entry.second));
    return true;
}

void writeColumns(Json& out, const std::vector<Column>& columns)
{
    out.key("items").beginArray();
    for (const Column& column : columns) {
        out.beginObject();
        out.key("index").num(column.index);
        out.key("text").str(std::wstring_view(column.text));
        out.key("width").num(column.width);
        out.key("sort");
        if (column.format & HDF_SORTUP)
            out.str(std::string_view("up"));
        else if (column.format & HDF_SORTDOWN)
            out.str(std::string_view("down"));
        else
            out.null();
        out.key("rect");
        writeRect(out, column.rect);
        out.endObject();
    }
    out.endArray();
}

bool cellText(RemoteBlock& block, int row, int column, std::wstring& text)
{
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<LPWSTR>(block.at(kText));
    item.cchTextMax = int(kTextChars);
    // The answer is the text's length; the structure needs no reading back.
    LRESULT length = 0;
    if (!block.put(kStruct, item) || !block.send(LVM_GETITEMTEXTW, WPARAM(row), LPARAM(block.at(kStruct)), length))
        return false;
    text.assign(size_t(std::clamp<LRESULT>(length, 0, kTextChars - 1)), L'\0');
    return text.empty() || block.get(kText, text.data(), text.size() * sizeof(wchar_t));
}

bool writeRow(Json& out, RemoteBlock& block, int row, const std::vector<int>& order, bool withRect)
{
    LRESULT state = 0;
    LVITEMW item{};
    item.mask = LVIF_IMAGE | LVIF_PARAM;
    item.iItem = row;
    LRESULT ok = 0;
    if (!block.send(LVM_GETITEMSTATE, WPARAM(row), LVIS_SELECTED | LVIS_FOCUSED | LVIS_STATEIMAGEMASK, state) ||
        !call(block, LVM_GETITEMW, 0, item, ok))
        return false;
    out.beginObject();
    out.key("cells").beginArray();
    for (int column : order) {
        std::wstring text;
        if (!cellText(block, row, column, text)) return false;
        out.str(std::wstring_view(text));
    }
    out.endArray();
    out.key("selected").boolean(state & LVIS_SELECTED);
    out.key("focused").boolean(state & LVIS_FOCUSED);
    out.key("image").num(item.iImage);
    out.key("param").num(item.lParam);
    // State image 1 is the cleared check box, 2 the ticked one.
    int stateImage = int((state & LVIS_STATEIMAGEMASK) >> 12);
    out.key("checked");
    if (stateImage)
        out.boolean(stateImage == 2);
    else
        out.null();
    if (withRect) {
        RECT rect;
        out.key("rect");
        if (remoteRect(block, LVM_GETITEMRECT, WPARAM(row), LVIR_BOUNDS, rect))
            writeRect(out, rect);
        else
            out.null();
    }
    out.endObject();
    return true;
}

bool listViewCommand(const Args& args, Reply& reply)
{
    HWND list;
    long long only = -1;
    RemoteBlock block;
    if (!args.number(L"row", only, reply) || !openControl(args, list, block, reply)) return false;
    LRESULT count = 0, headerResult = 0;
    if (!block.send(LVM_GETITEMCOUNT, 0, 0, count) || !block.send(LVM_GETHEADER, 0, 0, headerResult))
        return reply.fail(block.error());
    HWND header = reinterpret_cast<HWND>(headerResult);
    std::vector<Column> columns;
    if (header && !readHeader(block, header, columns)) return reply.fail(block.error());
    std::vector<int> order;
    for (const Column& column : columns) order.push_back(column.index);
    if (order.empty()) order.push_back(0);  // icon and list views: the item text only

    Json& out = reply.json;
    out.key("count").num(count);
    out.key("columns").beginArray();
    for (const Column& column : columns) out.str(std::wstring_view(column.text));
    out.endArray();
    out.key("order").beginArray();
    for (int index : order) out.num(index);
    out.endArray();
    LRESULT selected = -1, focused = -1;
    block.send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED, selected);
    block.send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED, focused);
    out.key("selected").num(selected);
    out.key("focused").num(focused);
    if (args.flag(L"no-rows")) return true;
    if (only >= count) return reply.fail("no row %lld", only);
    out.key("rows").beginArray();
    for (int row = only >= 0 ? int(only) : 0; row < (only >= 0 ? only + 1 : count); ++row)
        if (!writeRow(out, block, row, order, only >= 0)) return reply.fail(block.error());
    out.endArray();
    return true;
}

bool setItemState(RemoteBlock& block, int row, UINT mask, UINT state)
{
    LVITEMW item{};
    item.stateMask = mask;
    item.state = state;
    LRESULT ok = 0;
    return call(block, LVM_SETITEMSTATE, WPARAM(row), item, ok);
}

bool listSelectCommand(const Args& args, Reply& reply)
{
    HWND list;
    long long row;
    RemoteBlock block;
    if (!args.number(1, row, reply) || !openControl(args, list, block, reply)) return false;
    LRESULT count = 0, ok = 0;
    if (!block.send(LVM_GETITEMCOUNT, 0, 0, count)) return reply.fail(block.error());
    if (row < -1 || row >= count) return reply.fail("no row %lld", row);
    if (!args.flag(L"add") && !setItemState(block, -1, LVIS_SELECTED, 0)) return reply.fail(block.error());
    if (row >= 0) {
        UINT mask = LVIS_SELECTED | (args.flag(L"no-focus") ? 0 : LVIS_FOCUSED);
        if (!setItemState(block, int(row), mask, mask) ||
            !block.send(LVM_ENSUREVISIBLE, WPARAM(row), FALSE, ok))
            return reply.fail(block.error());
    }
    return true;
}

bool listCheckCommand(const Args& args, Reply& reply)
{
    HWND list;
    long long row;
    RemoteBlock block;
    if (!args.number(1, row, reply)) return false;
    if (args.words.size() < 3 || (args.words[2] != L"on" && args.words[2] != L"off"))
        return reply.fail("expected ROW on|off");
    if (!openControl(args, list, block, reply)) return false;
    bool on = args.words[2] == L"on";
    if (!setItemState(block, int(row), LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(on ? 2 : 1)))
        return reply.fail(block.error());
    return true;
}

bool headerCommand(const Args& args, Reply& reply)
{
    HWND control;
    RemoteBlock block;
    if (!openControl(args, control, block, reply)) return false;
    HWND header = control;
    if (lstrcmpiW(windowClass(control).c_str(), WC_HEADERW) != 0) {
        LRESULT result = 0;
        if (!block.send(LVM_GETHEADER, 0, 0, result) || !result) return reply.fail("no header in this window");
        header = reinterpret_cast<HWND>(result);
    }
    std::vector<Column> columns;
    if (!readHeader(block, header, columns)) return reply.fail(block.error());
    reply.json.key("header").unum(reinterpret_cast<uintptr_t>(header));
    writeColumns(reply.json, columns);
    return true;
}

// ---- toolbars ----

bool toolbarCommand(const Args& args, Reply& reply)
{
    HWND toolbar;
    RemoteBlock block;
    if (!openControl(args, toolbar, block, reply)) return false;
    LRESULT count = 0;
    if (!block.send(TB_BUTTONCOUNT, 0, 0, count)) return reply.fail(block.error());
    Json& out = reply.json;
    out.key("buttons").beginArray();
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        LRESULT ok = 0, length = -1;
        if (!call(block, TB_GETBUTTON, WPARAM(i), button, ok)) return reply.fail(block.error());
        bool separator = button.fsStyle & BTNS_SEP;
        std::wstring text;
        if (!separator && block.put(kText, L'\0') &&
            block.send(TB_GETBUTTONTEXTW, WPARAM(button.idCommand), LPARAM(block.at(kText)), length) &&
            length > 0)
            text = block.text(kText, kTextChars);
        RECT rect{};
        remoteRect(block, TB_GETITEMRECT, WPARAM(i), 0, rect);
        out.beginObject();
        out.key("command").num(button.idCommand);
        out.key("text").str(std::wstring_view(text));
        out.key("separator").boolean(separator);
        out.key("enabled").boolean(button.fsState & TBSTATE_ENABLED);
        out.key("checked").boolean(button.fsState & TBSTATE_CHECKED);
        out.key("pressed").boolean(button.fsState & TBSTATE_PRESSED);
        out.key("hidden").boolean(button.fsState & TBSTATE_HIDDEN);
        out.key("dropdown").boolean(button.fsStyle & (BTNS_DROPDOWN | BTNS_WHOLEDROPDOWN));
        out.key("state").num(button.fsState);
        out.key("style").num(button.fsStyle);
        out.key("image").num(button.iBitmap);
        out.key("rect");
        writeRect(out, rect);
        out.endObject();
    }
    out.endArray();
    return true;
}

// ---- tab controls ----

bool tabsCommand(const Args& args, Reply& reply)
{
    HWND tabs;
    RemoteBlock block;
    if (!openControl(args, tabs, block, reply)) return false;
    LRESULT count = 0, selected = -1;
    if (!block.send(TCM_GETITEMCOUNT, 0, 0, count) || !block.send(TCM_GETCURSEL, 0, 0, selected))
        return reply.fail(block.error());
    reply.json.key("selected").num(selected);
    reply.json.key("items").beginArray();
    for (int i = 0; i < count; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = reinterpret_cast<LPWSTR>(block.at(kText));
        item.cchTextMax = int(kTextChars);
        LRESULT ok = 0;
        if (!block.put(kText, L'\0') || !call(block, TCM_GETITEMW, WPARAM(i), item, ok))
            return reply.fail(block.error());
        reply.json.str(std::wstring_view(block.text(kText, kTextChars)));
    }
    reply.json.endArray();
    return true;
}

// Selects a tab by clicking it, so that its owner hears of it as from the
// user (a property sheet validates the page it leaves). The system does not
// pass WM_NOTIFY between processes, so the notifications cannot be sent.
bool tabSelectCommand(const Args& args, Reply& reply)
{
    HWND tabs;
    long long index;
    DWORD ms;
    RemoteBlock block;
    if (!args.number(1, index, reply) || !args.timeout(ms, reply) || !openControl(args, tabs, block, reply))
        return false;
    LRESULT count = 0, current = -1;
    RECT rect;
    if (!block.send(TCM_GETITEMCOUNT, 0, 0, count)) return reply.fail(block.error());
    if (index < 0 || index >= count) return reply.fail("no tab %lld", index);
    if (!remoteRect(block, TCM_GETITEMRECT, WPARAM(index), 0, rect)) return reply.fail("the tab has no rectangle");
    if (!leftClick(tabs, POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}, ms, reply)) return false;
    if (!waitFor(ms, [&] { return sendTimed(tabs, TCM_GETCURSEL, 0, 0, current) && current == index; }))
        return reply.fail("the owner kept the current tab");
    return true;
}

// ---- combo boxes and list boxes (the system copies their texts) ----

struct BoxMessages {
    UINT count, textLength, text, current, setCurrent, notifyCode;
};
constexpr BoxMessages kCombo{CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_GETCURSEL, CB_SETCURSEL, CBN_SELCHANGE};
constexpr BoxMessages kListBox{LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, LB_GETCURSEL, LB_SETCURSEL, LBN_SELCHANGE};

bool boxItems(HWND box, const BoxMessages& m, std::vector<std::wstring>& items)
{
    LRESULT count = 0;
    if (!sendTimed(box, m.count, 0, 0, count)) return false;
    for (int i = 0; i < count; ++i) {
        LRESULT length = 0, copied = 0;
        if (!sendTimed(box, m.textLength, WPARAM(i), 0, length) || length < 0) return false;
        std::wstring text(size_t(length) + 1, L'\0');
        if (!sendTimed(box, m.text, WPARAM(i), reinterpret_cast<LPARAM>(text.data()), copied)) return false;
        text.resize(wcsnlen(text.c_str(), text.size()));
        items.push_back(std::move(text));
    }
    return true;
}

bool boxCommand(const Args& args, Reply& reply, const BoxMessages& m)
{
    HWND box;
    if (!args.window(0, box, reply)) return false;
    std::vector<std::wstring> items;
    LRESULT current = -1;
    if (!boxItems(box, m, items) || !sendTimed(box, m.current, 0, 0, current))
        return reply.fail("the box did not answer");
    reply.json.key("items").beginArray();
    for (const auto& item : items) reply.json.str(std::wstring_view(item));
    reply.json.endArray();
    reply.json.key("selected").num(current);
    if (&m == &kListBox) {
        // Multiple-selection boxes: every selected index.
        reply.json.key("selection").beginArray();
        for (size_t i = 0; i < items.size(); ++i) {
            LRESULT on = 0;
            if (sendTimed(box, LB_GETSEL, WPARAM(i), 0, on) && on > 0) reply.json.num(int64_t(i));
        }
        reply.json.endArray();
    } else {
        reply.json.key("text").str(std::wstring_view(windowText(box)));
    }
    return true;
}

// Selects an item by index or by --text and tells the owner, as the user's
// choice does (CB_SETCURSEL alone notifies nobody).
bool boxSelectCommand(const Args& args, Reply& reply, const BoxMessages& m)
{
    HWND box;
    if (!args.window(0, box, reply)) return false;
    long long index = -1;
    if (const std::wstring* text = args.option(L"text")) {
        std::vector<std::wstring> items;
        if (!boxItems(box, m, items)) return reply.fail("the box did not answer");
        auto found = std::find(items.begin(), items.end(), *text);
        if (found == items.end()) return reply.fail("no such item");
        index = found - items.begin();
    } else if (!args.number(1, index, reply)) {
        return false;
    }
    LRESULT result = 0;
    if (!sendTimed(box, m.setCurrent, WPARAM(index), 0, result)) return reply.fail("the box did not answer");
    if (result == -1 && index != -1) return reply.fail("no item %lld", index);
    PostMessageW(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), m.notifyCode), LPARAM(box));
    reply.json.key("selected").num(index);
    return true;
}

bool comboCommand(const Args& args, Reply& reply) { return boxCommand(args, reply, kCombo); }
bool comboSelectCommand(const Args& args, Reply& reply) { return boxSelectCommand(args, reply, kCombo); }
bool listBoxCommand(const Args& args, Reply& reply) { return boxCommand(args, reply, kListBox); }
bool listBoxSelectCommand(const Args& args, Reply& reply) { return boxSelectCommand(args, reply, kListBox); }

// ---- menus ----

// menu HWND: the window's menu bar; a popup menu window (class #32768) gives
// its menu; --hmenu reads a handle of the window's process.
bool menuCommand(const Args& args, Reply& reply)
{
    HWND window;
    long long handle = 0;
    if (!args.window(0, window, reply) || !args.number(L"hmenu", handle, reply)) return false;
    HMENU menu = reinterpret_cast<HMENU>(static_cast<intptr_t>(handle));
    if (!menu && windowClass(window) == L"#32768") {
        LRESULT result = 0;
        if (!sendTimed(window, MN_GETHMENU, 0, 0, result) || !result) return reply.fail("the popup has no menu");
        menu = reinterpret_cast<HMENU>(result);
    }
    std::string json, error;
    if (!readMenuInProcess(window, menu, json, error)) return reply.fail(error);
    reply.json.key("items").raw(json);
    return true;
}

}  // namespace

const Command kControlCommands[] = {
    {"lv", listViewCommand, "row,no-rows",
     "lv HWND [--row=N] [--no-rows]   list view: count, columns and rows in display order, states"},
    {"lv-select", listSelectCommand, "add,no-focus", "lv-select HWND ROW [--add] [--no-focus]   ROW -1: none"},
    {"lv-check", listCheckCommand, "", "lv-check HWND ROW on|off"},
    {"header", headerCommand, "", "header HWND   a header or a list view's: items in display order"},
    {"tb", toolbarCommand, "", "tb HWND   toolbar buttons"},
    {"tabs", tabsCommand, "", "tabs HWND   tab texts and the selected tab"},
    {"tab-select", tabSelectCommand, "timeout", "tab-select HWND INDEX   clicks the tab"},
    {"combo", comboCommand, "", "combo HWND   items, selection, text"},
    {"combo-select", comboSelectCommand, "text", "combo-select HWND INDEX | --text=T"},
    {"listbox", listBoxCommand, "", "listbox HWND   items and selection"},
    {"listbox-select", listBoxSelectCommand, "text", "listbox-select HWND INDEX | --text=T"},
    {"menu", menuCommand, "hmenu", "menu HWND [--hmenu=H]   menu bar or popup, recursively"},
    {},
};
