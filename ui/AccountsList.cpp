#include "ui/AccountsList.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>

#include "core/MessageText.h"
#include "core/Platform.h"
#include "core/ProductKey.h"
#include "framework/Dpi.h"
#include "framework/Framework.h"
#include "mail/Controller.h"
#include "message/Message.h"
#include "resources/resource.h"

namespace {

constexpr DWORD kStyle = 0x5601000d;  // child, visible, tab stop, report, single selection, selection always shown
constexpr DWORD kExStyle = 0x200;     // client edge
const char kColumnsKey[] = KX_PRODUCT_KEY "\\CustomizeControls\\CustomizeAccountsList\\Columns";

struct BuiltIn {
    uint32_t kind;
    uint32_t width;  // pixels at 96 DPI
};

const BuiltIn kColumns[] = {
    {MSG_ColAccount, 92},     {MSG_ColServer, 92}, {MSG_ColUser, 92},      {MSG_ColTotalMsgs, 92},
    {MSG_ColNewMessages, 92}, {MSG_ColState, 94},  {MSG_ColLastCheck, 94}, {MSG_ColMailboxSize, 94},
};

// Row images: checking and connecting, failed, idle, disabled.
int stateImage(AccountState state) {
    switch (state) {
    case AccountState::Checking:
    case AccountState::Connecting:
        return 0;
    case AccountState::Failed:
        return 1;
    case AccountState::Disabled:
        return 3;
    default:
        return 2;
    }
}

std::string clockTime(int64_t t) {
    time_t v = static_cast<time_t>(t);
    tm parts{};
    if (localtime_s(&parts, &v) != 0) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", parts.tm_hour, parts.tm_min, parts.tm_sec);
    return buf;
}

// One account as a sort sees it: its texts and one snapshot of its state.
struct SortRow {
    uint32_t id;
    const Account* account;
    AccountStatus status;
};

template <class T>
int threeWay(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int textOrder(const std::string& a, const std::string& b) { return threeWay(lstrcmpA(a.c_str(), b.c_str()), 0); }

int compareBy(uint32_t kind, const SortRow& a, const SortRow& b) {
    switch (kind) {
    case MSG_ColAccount:
        return textOrder(a.account->name, b.account->name);
    case MSG_ColServer:
        return textOrder(a.account->server, b.account->server);
    case MSG_ColUser:
        return textOrder(a.account->user, b.account->user);
    case MSG_ColTotalMsgs:
        return threeWay(a.status.messageCount, b.status.messageCount);
    case MSG_ColNewMessages:
        return threeWay(a.status.unreadCount, b.status.unreadCount);
    case MSG_ColState:
        return threeWay(static_cast<uint32_t>(a.status.state), static_cast<uint32_t>(b.status.state));
    case MSG_ColLastCheck:
        return threeWay(a.status.lastCheck, b.status.lastCheck);
    case MSG_ColMailboxSize:
        return threeWay(a.status.mailboxSize, b.status.mailboxSize);
    default:
        return 0;
    }
}

std::string cellText(uint32_t kind, const Account& account, const AccountStatus& s) {
    switch (kind) {
    case MSG_ColAccount:
        return account.name;
    case MSG_ColServer:
        return account.server;
    case MSG_ColUser:
        return account.user;
    case MSG_ColTotalMsgs:
        return std::to_string(s.messageCount);
    case MSG_ColNewMessages:
        return std::to_string(s.unreadCount);
    case MSG_ColState:
        return stateText(s.state);
    case MSG_ColLastCheck:
        return clockTime(s.lastCheck);
    case MSG_ColMailboxSize:
        return Message::formatSize(static_cast<int64_t>(s.mailboxSize), decimalSeparator());
    default:
        return {};
    }
}

}  // namespace

std::vector<ColumnDescription> AccountsList::builtInColumns() {
    std::vector<ColumnDescription> columns;
    for (const BuiltIn& c : kColumns) columns.push_back({c.kind, formatMessage(c.kind), true, c.width, 0});
    return columns;
}

bool AccountsList::create(HWND parent, Controller& engine, HWND commandTarget, const ListView& messages,
                          HFONT font) {
    engine_ = &engine;
    target_ = commandTarget;
    messages_ = &messages;
    HWND hwnd = CreateWindowExA(kExStyle, WC_LISTVIEWA, "", kStyle, 0, 0, 0, 0, parent,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_ACCOUNTS_LIST)), appInstance(),
                                nullptr);
    if (!hwnd || !subclass(hwnd, "AccountsList")) return false;
    setExtendedStyle(LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    UINT dpi = windowDpi(hwnd);
    int size = systemMetric(SM_CXSMICON, dpi);
    ImageListHandle states(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 16, 16));
    for (UINT id : {IDI_ACCOUNT_CHECKING, IDI_ACCOUNT_FAILED, IDI_ACCOUNT_IDLE, IDI_ACCOUNT_DISABLED}) {
        IconHandle icon(static_cast<HICON>(LoadImageA(appInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0)));
        ImageList_AddIcon(states.get(), icon.get());
    }
    // Without LVS_SHAREIMAGELISTS the list destroys its image list with itself.
    setImageList(states.release(), LVSIL_SMALL);
    setAccelerators(LoadAcceleratorsA(appInstance(), MAKEINTRESOURCEA(IDA_ACCOUNTS)), target_);
    columns_ = std::make_unique<ColumnStore>(engine.registry(), kColumnsKey, builtInColumns());
    columns_->load();
    buildColumns();
    setFont(font);
    return true;
}

void AccountsList::setFont(HFONT font) { SendMessageA(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }

void AccountsList::buildColumns() {
    clearColumns();
    shownKinds_.clear();
    columnsDpi_ = windowDpi(hwnd());
    for (const ColumnDescription& c : columns_->shown()) {
        addColumn(static_cast<int>(shownKinds_.size()), c.title, scaleDpi(static_cast<int>(c.width), columnsDpi_));
        shownKinds_.push_back(c.kind);
    }
}

void AccountsList::rebuildColumns() {
    uint32_t selected = selectedId();
    // Rows go first: their cells belong to the columns being replaced.
    clear();
    buildColumns();
    refill(selected);
}

void AccountsList::saveLayout() {
    if (!columns_) return;
    std::vector<ColumnDescription> columns = columns_->columns();
    bool changed = false;
    size_t shown = 0;
    for (ColumnDescription& c : columns) {
        if (!c.shown) continue;
        int live = columnWidth(static_cast<int>(shown++));
        if (live < 0 || live == scaleDpi(static_cast<int>(c.width), columnsDpi_)) continue;
        c.width = std::min<uint32_t>(static_cast<uint32_t>(MulDiv(live, 96, static_cast<int>(columnsDpi_))),
                                     ColumnStore::kMaxWidth);
        changed = true;
    }
    if (!changed) return;
    columns_->replace(std::move(columns));
    columns_->save();
}

void AccountsList::fillRow(int row, uint32_t id) {
    const Account* account = engine_->find(id);
    if (!account) return;
    AccountStatus s = account->status();
    for (size_t i = 0; i < shownKinds_.size(); ++i)
        setText(row, static_cast<int>(i), cellText(shownKinds_[i], *account, s));
    setImage(row, stateImage(s.state));
}

void AccountsList::refreshRow(uint32_t id) {
    int row = findData(static_cast<LPARAM>(id));
    if (row >= 0) fillRow(row, id);
}

void AccountsList::refreshAll() { refill(selectedId()); }

void AccountsList::refill(uint32_t selectId) {
    SendMessageA(hwnd(), WM_SETREDRAW, FALSE, 0);
    clear();
    for (const auto& account : engine_->accounts()) {
        int row = insertItem(-1, {}, static_cast<LPARAM>(account->id()), stateImage(account->state()));
        fillRow(row, account->id());
    }
    if (selectId) {
        int row = findData(static_cast<LPARAM>(selectId));
        if (row >= 0) select(row);
    }
    SendMessageA(hwnd(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd(), nullptr, TRUE);
}

uint32_t AccountsList::selectedId() const {
    int row = selected();
    return row >= 0 ? static_cast<uint32_t>(data(row)) : 0;
}

void AccountsList::selectIndex(int index) {
    if (index >= 0 && index < count()) select(index);
}

// ---- commands and menus

AccountCommandStates AccountsList::commandStates() const {
    AccountCommandStates s;
    uint32_t id = selectedId();
    const Account* account = id ? engine_->find(id) : nullptr;
    s.checkAll = engine_->count() > 0;
    s.deleteAll = account && messages_ && messages_->count() > 0;
    if (!account) return s;
    AccountStatus status = account->status();
    bool busy = status.state == AccountState::Checking || status.state == AccountState::Connecting;
    bool onRow = !outsideRow_;
    s.isDisabled = status.state == AccountState::Disabled;
    s.check = onRow && !busy && !s.isDisabled;
    s.stop = busy;
    s.viewErrors = onRow && !status.errorText.empty();
    s.disable = true;
    s.edit = s.remove = onRow && GetFocus() == hwnd();
    int index = engine_->indexOf(id);
    s.up = index > 0;
    s.down = index >= 0 && static_cast<size_t>(index) + 1 < engine_->count();
    return s;
}

void AccountsList::updateMenu(HMENU menu) const {
    if (!menu) return;
    AccountCommandStates s = commandStates();
    const std::pair<UINT, bool> items[] = {
        {ID_CHECK, s.check},           {ID_CHECK_ALL, s.checkAll},   {ID_STOP, s.stop},
        {ID_VIEW_ERRORS, s.viewErrors}, {ID_DISABLE, s.disable},     {ID_DELETE_ALL, s.deleteAll},
        {ID_EDIT_ACCOUNT, s.edit},     {ID_REMOVE_ACCOUNT, s.remove}, {ID_MOVE_UP, s.up},
        {ID_MOVE_DOWN, s.down},
    };
    for (const auto& [command, on] : items) EnableMenuItem(menu, command, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
    std::string text = formatMessage(s.isDisabled ? MSG_MenuEnable : MSG_MenuDisable);
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = text.data();
    SetMenuItemInfoA(menu, ID_DISABLE, FALSE, &info);
}

void AccountsList::sendCommand(UINT id) const { SendMessageA(target_, WM_COMMAND, id, 0); }

void AccountsList::showContextMenu(LPARAM screenPoint) {
    POINT at = {static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    int row = selected();
    if (screenPoint == -1) {
        // From the keyboard: under the selected row, or at the list's corner.
        RECT rc = {};
        if (row >= 0) ListView_GetItemRect(hwnd(), row, &rc, LVIR_LABEL);
        at = {rc.left, row >= 0 ? rc.bottom : 0};
        ClientToScreen(hwnd(), &at);
    } else {
        POINT client = at;
        ScreenToClient(hwnd(), &client);
        row = hitTest(client);
    }
    MenuHandle menu(LoadMenuA(appInstance(), MAKEINTRESOURCEA(IDM_ACCOUNTS_CONTEXT)));
    HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
    if (!popup) return;
    outsideRow_ = row < 0;
    updateMenu(popup);
    // The main window owns the menu, so that its items' help reaches the status bar.
    UINT command = static_cast<UINT>(
        TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, 0, target_, nullptr));
    outsideRow_ = false;
    if (command) sendCommand(command);
}

// ---- sorting

void AccountsList::sortBy(int column) {
    if (column < 0 || static_cast<size_t>(column) >= shownKinds_.size()) return;
    uint32_t kind = shownKinds_[static_cast<size_t>(column)];
    uint32_t& order = order_[kind];
    order = order == 1 ? 2 : 1;
    std::vector<SortRow> rows;
    for (const auto& account : engine_->accounts()) rows.push_back({account->id(), account.get(), account->status()});
    bool descending = order == 2;
    std::stable_sort(rows.begin(), rows.end(), [&](const SortRow& a, const SortRow& b) {
        return descending ? compareBy(kind, b, a) < 0 : compareBy(kind, a, b) < 0;
    });
    std::vector<uint32_t> ids;
    for (const SortRow& row : rows) ids.push_back(row.id);
    // The accounts themselves take the new order, so that every command and
    // the account file see what the user sees.
    if (engine_->arrange(ids)) refreshAll();
}

// ---- drag and drop

void AccountsList::beginDrag(int row, POINT at) {
    if (row < 0 || dragging_) return;
    dragged_ = static_cast<uint32_t>(data(row));
    dropTarget_ = -1;
    POINT origin = {};
    dragImage_.reset(ListView_CreateDragImage(hwnd(), row, &origin));
    // The drag image is placed in window coordinates; the list has a border.
    RECT window;
    GetWindowRect(hwnd(), &window);
    POINT client = {0, 0};
    ClientToScreen(hwnd(), &client);
    dragOffset_ = {client.x - window.left, client.y - window.top};
    if (dragImage_ && ImageList_BeginDrag(dragImage_.get(), 0, at.x - origin.x, at.y - origin.y))
        ImageList_DragEnter(hwnd(), at.x + dragOffset_.x, at.y + dragOffset_.y);
    dragging_ = true;
    SetCapture(hwnd());
}

void AccountsList::dragTo(POINT at) {
    int over = hitTest(at);
    if (over != dropTarget_) {
        ImageList_DragShowNolock(FALSE);
        if (dropTarget_ >= 0) ListView_SetItemState(hwnd(), dropTarget_, 0, LVIS_DROPHILITED);
        if (over >= 0) ListView_SetItemState(hwnd(), over, LVIS_DROPHILITED, LVIS_DROPHILITED);
        dropTarget_ = over;
        UpdateWindow(hwnd());
        ImageList_DragShowNolock(TRUE);
    }
    ImageList_DragMove(at.x + dragOffset_.x, at.y + dragOffset_.y);
}

void AccountsList::endDrag(bool drop, POINT at) {
    if (!dragging_) return;
    dragging_ = false;  // before ReleaseCapture, whose WM_CAPTURECHANGED comes back here
    if (dragImage_) {
        ImageList_DragLeave(hwnd());
        ImageList_EndDrag();
        dragImage_.reset();
    }
    if (dropTarget_ >= 0) ListView_SetItemState(hwnd(), dropTarget_, 0, LVIS_DROPHILITED);
    dropTarget_ = -1;
    if (GetCapture() == hwnd()) ReleaseCapture();
    int target = drop ? hitTest(at) : -1;
    if (target >= 0 && engine_->moveTo(dragged_, static_cast<size_t>(target))) {
        refill(dragged_);
        ensureVisible(target);
    }
    dragged_ = 0;
}

// ---- messages

bool AccountsList::onReflected(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg != WM_NOTIFY) return false;
    const NMHDR& nm = *reinterpret_cast<NMHDR*>(lp);
    switch (nm.code) {
    case LVN_COLUMNCLICK:
        sortBy(reinterpret_cast<const NMLISTVIEW&>(nm).iSubItem);
        result = 0;
        return true;
    case LVN_BEGINDRAG: {
        const auto& drag = reinterpret_cast<const NMLISTVIEW&>(nm);
        beginDrag(drag.iItem, drag.ptAction);
        result = 0;
        return true;
    }
    case NM_DBLCLK:
        // The context menu's default item.
        if (reinterpret_cast<const NMITEMACTIVATE&>(nm).iItem >= 0 && commandStates().check) sendCommand(ID_CHECK);
        result = 0;
        return true;
    default:
        return false;
    }
}

LRESULT AccountsList::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    POINT at = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    switch (msg) {
    case WM_CONTEXTMENU:
        showContextMenu(lp);
        return 0;
    case WM_MOUSEMOVE:
        if (dragging_) {
            dragTo(at);
            return 0;
        }
        break;
    case WM_LBUTTONUP:
        if (dragging_) {
            // The list ends its own click first (Wine's list view still
            // tracks the button and notifies NM_CLICK now); the drop comes
            // after, so that its selection stands.
            LRESULT result = defaultMessage(msg, wp, lp);
            endDrag(true, at);
            return result;
        }
        break;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lp) != hwnd()) endDrag(false, {});
        break;
    case WM_KEYDOWN:
        if (dragging_ && wp == VK_ESCAPE) {
            endDrag(false, {});
            return 0;
        }
        break;
    default:
        break;
    }
    return defaultMessage(msg, wp, lp);
}
