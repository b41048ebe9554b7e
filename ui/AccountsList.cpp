#include "ui/AccountsList.h"

#include <commctrl.h>

#include <cstdio>
#include <ctime>

#include "core/MessageText.h"
#include "core/Platform.h"
#include "framework/Dpi.h"
#include "framework/Framework.h"
#include "mail/Controller.h"
#include "message/Message.h"
#include "resources/resource.h"

namespace {

constexpr DWORD kStyle = 0x5601000d;  // child, visible, tab stop, report, single selection, selection always shown
constexpr DWORD kExStyle = 0x200;     // client edge

struct Column {
    uint32_t title;
    int width;  // pixels at 96 DPI
};

const Column kColumns[] = {
    {MSG_ColAccount, 92},    {MSG_ColServer, 92}, {MSG_ColUser, 92},     {MSG_ColTotalMsgs, 92},
    {MSG_ColNewMessages, 92}, {MSG_ColState, 94}, {MSG_ColLastCheck, 94}, {MSG_ColMailboxSize, 94},
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

}  // namespace

bool AccountsList::create(HWND parent, Controller& engine, HFONT font) {
    engine_ = &engine;
    HWND hwnd = CreateWindowExA(kExStyle, WC_LISTVIEWA, "", kStyle, 0, 0, 0, 0, parent,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_ACCOUNTS_LIST)), appInstance(),
                                nullptr);
    if (!hwnd || !subclass(hwnd, "AccountsList")) return false;
    setExtendedStyle(LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    UINT dpi = windowDpi(hwnd);
    int size = systemMetric(SM_CXSMICON, dpi);
    states_.reset(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 16, 16));
    for (UINT id : {IDI_ACCOUNT_CHECKING, IDI_ACCOUNT_FAILED, IDI_ACCOUNT_IDLE, IDI_ACCOUNT_DISABLED}) {
        IconHandle icon(static_cast<HICON>(LoadImageA(appInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0)));
        ImageList_AddIcon(states_.get(), icon.get());
    }
    setImageList(states_.get(), LVSIL_SMALL);
    for (size_t i = 0; i < std::size(kColumns); ++i)
        addColumn(static_cast<int>(i), formatMessage(kColumns[i].title), scaleDpi(kColumns[i].width, dpi));
    setFont(font);
    return true;
}

void AccountsList::setFont(HFONT font) { SendMessageA(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }

void AccountsList::fillRow(int row, uint32_t id) {
    const Account* account = engine_->find(id);
    if (!account) return;
    AccountStatus s = account->status();
    setText(row, 0, account->name);
    setText(row, 1, account->server);
    setText(row, 2, account->user);
    setText(row, 3, std::to_string(s.messageCount));
    setText(row, 4, std::to_string(s.unreadCount));
    setText(row, 5, formatMessage(static_cast<uint32_t>(s.state)));
    setText(row, 6, clockTime(s.lastCheck));
    setText(row, 7, Message::formatSize(static_cast<int64_t>(s.mailboxSize), decimalSeparator()));
    setImage(row, stateImage(s.state));
}

void AccountsList::refreshRow(uint32_t id) {
    int row = findData(static_cast<LPARAM>(id));
    if (row >= 0) fillRow(row, id);
}

void AccountsList::refreshAll() {
    uint32_t selected = selectedId();
    SendMessageA(hwnd(), WM_SETREDRAW, FALSE, 0);
    clear();
    for (const auto& account : engine_->accounts()) {
        int row = insertItem(-1, account->name, static_cast<LPARAM>(account->id()), 2);
        fillRow(row, account->id());
    }
    if (selected) {
        int row = findData(static_cast<LPARAM>(selected));
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

void AccountsList::updateMenu(HMENU) {}

void AccountsList::saveLayout() {}
