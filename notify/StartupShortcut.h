// The shortcut that starts the checker with Windows: "kestrix.lnk" in the
// user's Startup folder, pointing at the running program. COM must be
// initialised on the calling thread (the program does so at start).
// Failures are logged and reported as false, never thrown.
#pragma once
#include <string>

// The shortcut's full path; empty when the Startup folder cannot be found
// (logged). `create` makes the folder when it is missing. Wide, as the
// user's folder may hold characters the ANSI code page has not.
std::wstring startupShortcutPath(bool create = false);

// Writes the shortcut to the running program, over an old one at the same
// place (which stays when the new one cannot be written).
bool createStartupShortcut();
// Deletes the shortcut; true when none is left (a missing one included).
bool removeStartupShortcut();

// The shell link at `path` to `target` with `description`, written over
// whatever file is there. False, with the reason logged, when COM or the
// file system refused.
bool writeShortcut(const std::wstring& path, const std::string& target, const std::string& description);
// The target of the shell link at `path`; empty when it cannot be read.
std::string shortcutTarget(const std::wstring& path);
