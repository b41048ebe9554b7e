// The checker program: single instance, framework and OLE around the main
// window and its message loop.
#include "ui/Checker.h"

#include <windows.h>
#include <ole2.h>

#include "core/EventLog.h"
#include "core/FileIO.h"
#include "core/MessageText.h"
#include "core/Platform.h"
#include "core/Registry.h"
#include "framework/Framework.h"
#include "framework/HtmlHelp.h"
#include "framework/MessageBox.h"
#include "framework/MessageLoop.h"

int runChecker(HINSTANCE instance, std::span<const MainWindow::ExtraCommand> extra) {
    if (!initFramework(instance)) return 0;
    if (FAILED(OleInitialize(nullptr))) return 0;
    // One checker per session: the mutex decides, so two started together
    // never both run (and both write the account file).
    HANDLE instanceLock = CreateMutexA(nullptr, FALSE, "Local\\Kestrix Email Checker");
    if (!instanceLock || GetLastError() == ERROR_ALREADY_EXISTS) {
        if (instanceLock) CloseHandle(instanceLock);
        OleUninitialize();
        return 0;
    }
    eventLog().load(systemRegistry());
    // What a killed write left in the data folder; kxcheck's keep their own.
    removeStaleTemporaryFiles(programDirectory());
    try {
        MainWindow window(systemRegistry(), extra);
        if (window.open()) MessageLoop::run();
    } catch (...) {
        showMessageBox(nullptr, MSG_UnexpectedError, MB_OK);
    }
    closeAllHelp();
    OleUninitialize();
    CloseHandle(instanceLock);
    return 0;
}
