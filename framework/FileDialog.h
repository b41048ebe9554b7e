// The system's file dialogs, modal over their owner.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// One entry of a dialog's type list: "text files" with "*.txt".
struct FileType {
    std::string name;
    std::string pattern;
};

// Asks for an existing file in an existing folder; the first type is
// selected. True with the chosen path in `path`; false when cancelled.
bool chooseFileToOpen(HWND owner, const std::vector<FileType>& types, std::string& path);
// Asks for a file that need not exist yet, in an existing folder;
// `defaultExtension` (without the dot) is added to a name typed without one.
bool chooseFileToWrite(HWND owner, const std::vector<FileType>& types, const char* defaultExtension,
                       std::string& path);
