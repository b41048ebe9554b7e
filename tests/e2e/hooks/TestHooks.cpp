// The checker with commands that only the tests send: the probes of the
// program's last guards, an account added as the account dialogs will, and
// what the shell may do to the tray icon.
#include <stdexcept>

#include "notify/TrayIcon.h"
#include "ui/Checker.h"

namespace {

constexpr UINT kThrowInHandler = 49001;  // a command handler that fails
constexpr UINT kAddAccount = 49002;      // an account added while the program runs
constexpr UINT kDropTrayIcon = 49003;    // the shell loses the icon, as when it restarts

void throwInHandler(MainWindow&, UINT) { throw std::runtime_error("test probe: a command handler failed"); }

// As New adds one: the first account's connection under another name.
void addAccount(MainWindow& window, UINT) {
    Controller& engine = window.engine();
    if (engine.count() == 0) return;
    AccountInfo info = *engine.accounts().front();
    info.name += " added";
    if (engine.add(info)) window.accountsChanged();
}

void dropTrayIcon(MainWindow& window, UINT) { notifyTray(NIM_DELETE, window.hwnd(), Tray::kIconId); }

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    static const MainWindow::ExtraCommand probes[] = {
        {kThrowInHandler, throwInHandler}, {kAddAccount, addAccount}, {kDropTrayIcon, dropTrayIcon}};
    return runChecker(instance, probes);
}
