#include "framework/MessageBox.h"

#include <cstdio>

#include "core/MessageText.h"

namespace {

bool gConsole = false;

UINT withIcon(uint32_t id, UINT style) {
    if (style & MB_ICONMASK) return style;
    return style | ((id & 0x80000000u) ? MB_ICONSTOP : MB_ICONINFORMATION);
}

int consoleAnswer(UINT style) {
    switch (style & MB_TYPEMASK) {
    case MB_YESNO:
        return IDNO;
    case MB_YESNOCANCEL:
    case MB_OKCANCEL:
    case MB_RETRYCANCEL:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

}  // namespace

void setMessageBoxToConsole(bool console) { gConsole = console; }

int showTextBox(HWND owner, const std::string& text, UINT style, const char* caption) {
    if (!caption) caption = "Kestrix";
    if (gConsole) {
        std::fprintf(stderr, "%s: %s\n", caption, text.c_str());
        std::fflush(stderr);
        return consoleAnswer(style);
    }
    if (!owner) owner = GetActiveWindow();
    return MessageBoxA(owner, text.c_str(), caption, style);
}

int showMessageBox(HWND owner, uint32_t id, UINT style, std::initializer_list<std::string> inserts,
                   const char* caption) {
    return showTextBox(owner, formatMessage(id, inserts), withIcon(id, style), caption);
}

int showMessageBox(HWND owner, uint32_t id, UINT style, const std::vector<std::string>& inserts,
                   const char* caption) {
    switch (inserts.size()) {
    case 0:
        return showMessageBox(owner, id, style, {}, caption);
    case 1:
        return showMessageBox(owner, id, style, {inserts[0]}, caption);
    default:
        return showMessageBox(owner, id, style, {inserts[0], inserts[1]}, caption);
    }
}
