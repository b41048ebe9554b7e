#include "framework/MessageLoop.h"

#include <map>
#include <set>

#include "framework/Window.h"

namespace {

// The loop runs on the user-interface thread only.
std::map<HWND, HACCEL> gWindowTables;
std::set<HWND> gDialogs;
thread_local int tModalDepth = 0;

}  // namespace

namespace MessageLoop {

void setWindowAccelerators(HWND window, HACCEL table) {
    if (table) gWindowTables[window] = table;
    else gWindowTables.erase(window);
}

void addDialog(HWND dialog) { gDialogs.insert(dialog); }
void removeDialog(HWND dialog) { gDialogs.erase(dialog); }

bool preTranslate(MSG& msg) {
    if (!msg.hwnd) return false;
    if (Control::translateAccelerator(msg)) return true;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (!root) return false;
    if (auto it = gWindowTables.find(root); it != gWindowTables.end())
        if (TranslateAcceleratorA(root, it->second, &msg)) return true;
    return gDialogs.count(root) && IsDialogMessageA(root, &msg);
}

static bool pump(MSG& msg) {
    if (GetMessageA(&msg, nullptr, 0, 0) <= 0) return false;
    if (!preTranslate(msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

int run() {
    MSG msg = {};
    while (pump(msg)) {
    }
    return static_cast<int>(msg.wParam);
}

bool runUntil(const bool& done) {
    MSG msg = {};
    while (!done) {
        if (!pump(msg)) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
    }
    return true;
}

int modalDepth() { return tModalDepth; }

}  // namespace MessageLoop

ModalScope::ModalScope() { ++tModalDepth; }
ModalScope::~ModalScope() { --tModalDepth; }
