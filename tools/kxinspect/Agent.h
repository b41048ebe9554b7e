// The contract between the inspection tool and kxinspect_agent.dll, which the
// tool loads into an inspected process to read what only that process can.
#pragma once

#include <cstdint>

constexpr const wchar_t* kAgentFile = L"kxinspect_agent.dll";
constexpr const char* kAgentReadMenu = "kxReadMenu";

// The block the tool writes into the inspected process and passes to
// kxReadMenu as its thread parameter. The agent fills `text` with the menu as
// JSON (UTF-8, not terminated), sets `length`, and returns 0; or it returns
// one of the MenuError values.
struct MenuRequest {
    uint64_t window;    // whose menu bar, when `menu` is 0
    uint64_t menu;      // a menu handle of the process, or 0
    uint32_t capacity;  // bytes available in `text`
    uint32_t length;
    char text[8];       // really `capacity` bytes
};

enum MenuError : uint32_t {
    kMenuOk = 0,
    kMenuNone = 1,      // the window has no menu, or the handle is not a menu
    kMenuTooLarge = 2,
};
