// One command of the inspection tool: its words and options, its answer, and
// the handlers of every command (one file per group: Windows, Controls,
// Input, Registry).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Json.h"

// The answer to one command. A handler writes its fields into `json` (an
// open object after "ok":true) and returns true, or returns fail(...), which
// discards them.
class Reply {
public:
    Json json;
    std::string error;
    bool fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool fail(const std::string& reason)
    {
        error = reason;
        return false;
    }
};

// The words after the verb (`words`) and the options, given as --name=value
// or --name for a switch.
class Args {
public:
    std::vector<std::wstring> words;
    std::vector<std::pair<std::wstring, std::wstring>> options;

    const std::wstring* option(std::wstring_view name) const;
    bool flag(std::wstring_view name) const { return option(name) != nullptr; }

    // Word `i` (or option `name`) as a window, a number or a message number,
    // failing the reply when it is missing or malformed. Absent options keep
    // the value passed in.
    bool window(size_t i, HWND& out, Reply& reply) const;
    bool number(size_t i, long long& out, Reply& reply) const;
    bool number(std::wstring_view name, long long& out, Reply& reply) const;
    bool message(size_t i, UINT& out, Reply& reply) const;
    bool timeout(DWORD& ms, Reply& reply) const;  // --timeout=MS, 10 s when absent
};

bool parseNumber(std::wstring_view text, long long& out);
// A message or constant: a number, a known name (WM_COMMAND, WM_USER+100,
// SC_MINIMIZE, WM_LBUTTONDBLCLK...) or "registered:NAME".
bool parseMessage(std::wstring_view text, long long& out);
std::wstring windowClass(HWND window);
// The text of a window: asked of the window (controls keep their own), or
// the system's copy when its thread does not answer.
std::wstring windowText(HWND window);
// The window's fields as a JSON object; `withText` asks the window for its
// text (children), otherwise the system's copy is used (fast for many).
void writeWindow(Json& out, HWND window, bool withText);
// Waits with short pauses until `done` holds or `ms` pass.
template <class F> bool waitFor(DWORD ms, F done)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start >= ms) return false;
        Sleep(15);
    }
}

// A left click at a client point of the window, as the mouse gives it.
bool leftClick(HWND window, POINT client, DWORD ms, Reply& reply);

using Handler = bool (*)(const Args&, Reply&);
struct Command {
    const char* name;
    Handler run;
    const char* options;  // comma-separated names that the command accepts
    const char* usage;
};

// Each group's table, ended by an entry with no name.
extern const Command kWindowCommands[];
extern const Command kControlCommands[];
extern const Command kInputCommands[];
extern const Command kRegistryCommands[];
