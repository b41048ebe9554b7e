// The checker with commands that only the tests send: the probes of the
// program's last guards.
#include <stdexcept>

#include "ui/Checker.h"

namespace {

constexpr UINT kThrowInHandler = 49001;  // a command handler that fails

void throwInHandler(MainWindow&, UINT) { throw std::runtime_error("test probe: a command handler failed"); }

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    static const MainWindow::ExtraCommand probes[] = {{kThrowInHandler, throwInHandler}};
    return runChecker(instance, probes);
}
