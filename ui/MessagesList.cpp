#include "ui/MessagesList.h"

#include <commctrl.h>

#include "framework/Framework.h"
#include "mail/Account.h"
#include "mail/Controller.h"
#include "resources/resource.h"

namespace {
constexpr DWORD kStyle = 0x56010409;  // child, visible, tab stop, report, owner-drawn fixed, selection always shown
constexpr DWORD kExStyle = 0x200;     // client edge
}  // namespace

bool MessagesList::create(HWND parent, Controller& engine, HFONT font) {
    engine_ = &engine;
    HWND hwnd = CreateWindowExA(kExStyle, WC_LISTVIEWA, "", kStyle, 0, 0, 0, 0, parent,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_MESSAGES_LIST)), appInstance(),
                                nullptr);
    if (!hwnd || !subclass(hwnd, "MessagesList")) return false;
    setFont(font);
    return true;
}

void MessagesList::setFont(HFONT font) { SendMessageA(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }

// The rows, their drawing and the preview come with the messages list's own work.
void MessagesList::showAccount(Account* account) { shown_ = account ? account->id() : 0; }

// The message commands come with the messages list's own work.
void MessagesList::command(UINT) {}

void MessagesList::updateMenu(HMENU) {}

void MessagesList::saveLayout() {}
