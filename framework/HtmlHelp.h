// The compiled help file beside the program, shown by the system's HTML Help
// viewer. The viewer's library is loaded at run time from the system folder
// only (the program folder is writable by the user).
#pragma once
#include <windows.h>

#include <string>

// Opens `topic` (for example "::/settings.htm#system"; empty: the contents)
// of the help file. Every request is logged with its topic; a missing help
// file or viewer shows nothing.
void showHelp(HWND owner, const std::string& topic = {});
// Closes every help window; the program calls it before it ends.
void closeAllHelp();
// The help file: the program's own file name with ".chm".
std::string helpFilePath();
