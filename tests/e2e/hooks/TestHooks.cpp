// The checker with commands that only the tests send: the probes of the
// program's last guards, and of what the shell may do to its tray icon.
#include <stdexcept>

#include "notify/TrayIcon.h"
#include "ui/Checker.h"

namespace {

constexpr UINT kThrowInHandler = 49001;  // a command handler that fails
constexpr UINT kDropTrayIcon = 49002;    // the shell loses the icon, as when it restarts

void throwInHandler(MainWindow&, UINT) { throw std::runtime_error("test probe: a command handler failed"); }

void dropTrayIcon(MainWindow& window, UINT) { notifyTray(NIM_DELETE, window.hwnd(), Tray::kIconId); }

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    static const MainWindow::ExtraCommand probes[] = {{kThrowInHandler, throwInHandler},
                                                      {kDropTrayIcon, dropTrayIcon}};
    return runChecker(instance, probes);
}
