#include "framework/Toolbar.h"

#include <cstring>

#include "framework/Framework.h"

bool Toolbar::create(HWND parent, DWORD style, DWORD exStyle, UINT id) {
    HWND hwnd = CreateWindowExA(exStyle, TOOLBARCLASSNAMEA, nullptr, style, 0, 0, 0, 0, parent,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), appInstance(), nullptr);
    if (!hwnd) return false;
    SendMessageA(hwnd, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    return subclass(hwnd, "Toolbar");
}

void Toolbar::setButtons(const std::vector<ToolbarButton>& buttons, HIMAGELIST normal, HIMAGELIST disabled) {
    buttons_ = buttons;
    SendMessageA(hwnd(), TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(normal));
    if (disabled) SendMessageA(hwnd(), TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(disabled));
    while (buttonCount() > 0) SendMessageA(hwnd(), TB_DELETEBUTTON, 0, 0);
    std::vector<TBBUTTON> add;
    for (const ToolbarButton& b : buttons_) {
        TBBUTTON tb = {};
        tb.iBitmap = b.command ? b.image : 0;
        tb.idCommand = b.command;
        tb.fsState = b.state;
        tb.fsStyle = b.command ? b.style : BTNS_SEP;
        tb.iString = b.command && !b.text.empty() ? reinterpret_cast<INT_PTR>(b.text.c_str()) : -1;
        add.push_back(tb);
    }
    SendMessageA(hwnd(), TB_ADDBUTTONSA, add.size(), reinterpret_cast<LPARAM>(add.data()));
    SendMessageA(hwnd(), TB_AUTOSIZE, 0, 0);
}

void Toolbar::setLayoutKey(std::string key, std::string original, std::string current) {
    key_ = std::move(key);
    original_ = std::move(original);
    current_ = std::move(current);
}

void Toolbar::saveOriginalAndRestore() {
    saveLayout(original_);
    restoreLayout(current_);
}

bool Toolbar::saveLayout(const std::string& value) {
    if (key_.empty()) return false;
    // The control writes below a key it is given by handle or by root and name.
    TBSAVEPARAMSA params = {HKEY_CURRENT_USER, key_.c_str(), value.c_str()};
    return SendMessageA(hwnd(), TB_SAVERESTOREA, TRUE, reinterpret_cast<LPARAM>(&params)) != 0;
}

bool Toolbar::restoreLayout(const std::string& value) {
    if (key_.empty()) return false;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool stored = RegQueryValueExA(key, value.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (!stored) return false;  // first run: the built-in layout stays
    TBSAVEPARAMSA params = {HKEY_CURRENT_USER, key_.c_str(), value.c_str()};
    bool ok = SendMessageA(hwnd(), TB_SAVERESTOREA, FALSE, reinterpret_cast<LPARAM>(&params)) != 0;
    SendMessageA(hwnd(), TB_AUTOSIZE, 0, 0);
    return ok;
}

void Toolbar::customize() { SendMessageA(hwnd(), TB_CUSTOMIZE, 0, 0); }

int Toolbar::buttonCount() const { return static_cast<int>(SendMessageA(hwnd(), TB_BUTTONCOUNT, 0, 0)); }

ToolbarButton Toolbar::button(int index) const {
    TBBUTTON tb = {};
    ToolbarButton b;
    if (!SendMessageA(hwnd(), TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&tb))) return b;
    b.command = (tb.fsStyle & BTNS_SEP) ? 0 : tb.idCommand;
    b.image = tb.iBitmap;
    b.state = tb.fsState;
    b.style = tb.fsStyle;
    if (const ToolbarButton* k = known(b.command)) b.text = k->text;
    return b;
}

void Toolbar::enableButton(int command, bool on) {
    SendMessageA(hwnd(), TB_ENABLEBUTTON, static_cast<WPARAM>(command), MAKELPARAM(on ? TRUE : FALSE, 0));
}

RECT Toolbar::buttonRect(int command) const {
    RECT rc = {};
    SendMessageA(hwnd(), TB_GETRECT, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&rc));
    return rc;
}

const ToolbarButton* Toolbar::known(int command) const {
    for (const ToolbarButton& b : buttons_)
        if (b.command == command && command != 0) return &b;
    return nullptr;
}

bool Toolbar::onReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg != WM_NOTIFY) return false;
    auto& nm = *reinterpret_cast<NMHDR*>(lp);
    switch (nm.code) {
    case TBN_QUERYINSERT:
    case TBN_QUERYDELETE:
        result = TRUE;  // every button may go anywhere
        return true;
    case TBN_GETBUTTONINFOA: {
        // The customise dialog and a restore ask for the buttons one by one;
        // without answers a restore leaves the bar empty.
        auto& info = *reinterpret_cast<NMTOOLBARA*>(lp);
        const ToolbarButton* b = nullptr;
        int n = 0;
        for (const ToolbarButton& k : buttons_) {
            if (!k.command) continue;
            if (n++ == info.iItem) {
                b = &k;
                break;
            }
        }
        if (!b) {
            result = FALSE;
            return true;
        }
        info.tbButton.iBitmap = b->image;
        info.tbButton.idCommand = b->command;
        info.tbButton.fsState = b->state;
        info.tbButton.fsStyle = b->style;
        info.tbButton.iString = -1;
        if (info.pszText && info.cchText > 0) {
            std::strncpy(info.pszText, b->text.c_str(), static_cast<size_t>(info.cchText) - 1);
            info.pszText[info.cchText - 1] = '\0';
        }
        result = TRUE;
        return true;
    }
    case TBN_RESTORE: {
        // Restored buttons name only their command; their image and text are ours.
        auto& restore = *reinterpret_cast<NMTBRESTORE*>(lp);
        if (restore.iItem >= 0) {
            if (restore.tbButton.idCommand == 0 || restore.tbButton.idCommand == -1) {
                // Separators are stored as command 0 by some versions of the control.
                restore.tbButton.idCommand = 0;
                restore.tbButton.fsStyle = BTNS_SEP;
                restore.tbButton.iBitmap = 0;
            } else if (const ToolbarButton* b = known(restore.tbButton.idCommand)) {
                restore.tbButton.iBitmap = b->image;
                restore.tbButton.fsStyle = b->style;
                restore.tbButton.iString = reinterpret_cast<INT_PTR>(b->text.c_str());
            }
        }
        result = 0;
        return true;
    }
    case TBN_RESET:
        restoreLayout(original_);
        result = 0;
        return true;
    case TBN_ENDADJUST:
        saveLayout(current_);
        result = 0;
        return true;
    case TBN_BEGINADJUST:
    case TBN_INITCUSTOMIZE:
        result = nm.code == TBN_INITCUSTOMIZE ? TBNRF_HIDEHELP : 0;
        return true;
    default:
        return false;
    }
}
