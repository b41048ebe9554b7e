#include "ui/Checker.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return runChecker(instance); }
