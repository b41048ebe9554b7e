// The message loop of the user-interface thread. Before a message is
// dispatched: the focused control's own accelerators (Control::
// setAccelerators), then the accelerators of its top-level window, then the
// keyboard navigation of the dialog it belongs to. Modal dialogs run the same
// loop nested, so their lists keep their keys too.
#pragma once
#include <windows.h>

namespace MessageLoop {

// The table translated for messages to `window` and its children (after a
// focused control's own table); commands go to `window`. Null removes it.
void setWindowAccelerators(HWND window, HACCEL table);

// Dialogs whose keyboard navigation the loop runs (Dialog registers itself).
void addDialog(HWND dialog);
void removeDialog(HWND dialog);

// Runs until WM_QUIT and returns its exit code.
int run();
// Runs until `done` becomes true; false when WM_QUIT ended it first (the quit
// message is posted again, so the outer loop ends too).
bool runUntil(const bool& done);
// The translations above; true when the message was consumed.
bool preTranslate(MSG& msg);

// Modal dialogs, message boxes and sheets open on this thread. Commands that
// would open another modal window, or end the program under one, look here.
int modalDepth();

}  // namespace MessageLoop

// Counts a modal window for MessageLoop::modalDepth while it lives.
class ModalScope {
public:
    ModalScope();
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
};
