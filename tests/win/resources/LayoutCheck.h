// Finds layout faults in a created dialog: controls outside the client area,
// controls lying on each other, and texts cut by their control.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// One line per fault, naming the control by its id and text; empty when the
// dialog is sound. Group boxes and frames may hold other controls.
std::vector<std::string> layoutProblems(HWND dialog);
