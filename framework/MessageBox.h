// The message box helper: shows a message-table text (or the system's text
// for an error code) and returns the button pressed (IDOK, IDYES, ...).
#pragma once
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// With no MB_ICONMASK bit in `style` the icon follows the id: ids below
// 0x80000000 get the information icon, ids with the top bit set the stop
// icon. A null owner means the active window. `caption` null: the program's
// name.
int showMessageBox(HWND owner, uint32_t id, UINT style = MB_OK,
                   std::initializer_list<std::string> inserts = {}, const char* caption = nullptr);

// The same with the inserts as a list (of at most two; more are ignored), as
// the handler of messages for the user receives them.
int showMessageBox(HWND owner, uint32_t id, UINT style, const std::vector<std::string>& inserts,
                   const char* caption = nullptr);

// The same with a ready text (the caller already formatted it).
int showTextBox(HWND owner, const std::string& text, UINT style, const char* caption = nullptr);

// Console programs call this once: every box then goes to stderr instead and
// returns the default button (IDOK, or IDNO/IDCANCEL for questions), so a
// program without a user never waits for a click that cannot come.
void setMessageBoxToConsole(bool console);
