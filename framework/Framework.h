// The window layer's process-wide state: the instance whose resources the
// windows use, the common controls, and the last guard that every window,
// dialog and page procedure puts around its handlers.
#pragma once
#include <windows.h>

#include <exception>

// Once, before the first window: remembers the instance, initialises the
// common controls this program uses and installs the message box helper as
// the handler of messages for the user. False when the common controls
// cannot be initialised.
bool initFramework(HINSTANCE instance);
HINSTANCE appInstance();

// Writes "Unexpected Error. <source>,<site>." to the event log, and the
// exception's own text on a second line when it has one. Window procedures
// call it from their catch-all: on 64-bit Windows an exception does not
// cross a window procedure reliably, so none may leave one.
void logUnexpected(const char* source, int site, const std::exception* e = nullptr);

// Runs `f` and logs any exception it throws; returns whether it completed.
template <class F>
bool guarded(const char* source, int site, F&& f) {
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        logUnexpected(source, site, &e);
    } catch (...) {
        logUnexpected(source, site);
    }
    return false;
}
