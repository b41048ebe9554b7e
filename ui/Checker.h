// The checker program's run, from start-up to the end of its message loop.
// `extra` adds commands to the main window's table (the test build's).
#pragma once
#include <windows.h>

#include <span>

#include "ui/MainWindow.h"

int runChecker(HINSTANCE instance, std::span<const MainWindow::ExtraCommand> extra = {});
