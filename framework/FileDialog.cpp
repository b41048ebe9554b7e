#include "framework/FileDialog.h"

#include <commdlg.h>

#include "framework/MessageLoop.h"

namespace {

bool chooseFile(HWND owner, const std::vector<FileType>& types, DWORD flags, const char* defaultExtension,
                std::string& path) {
    // "name\0pattern\0...\0\0", as the dialog reads its types.
    std::string filter;
    for (const FileType& t : types) {
        filter += t.name;
        filter += '\0';
        filter += t.pattern;
        filter += '\0';
    }
    filter += '\0';
    char file[MAX_PATH] = {};
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = defaultExtension;
    ofn.Flags = flags | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    ModalScope scope;
    if (!GetOpenFileNameA(&ofn)) return false;
    path = file;
    return true;
}

}  // namespace

bool chooseFileToOpen(HWND owner, const std::vector<FileType>& types, std::string& path) {
    return chooseFile(owner, types, OFN_FILEMUSTEXIST, nullptr, path);
}

bool chooseFileToWrite(HWND owner, const std::vector<FileType>& types, const char* defaultExtension,
                       std::string& path) {
    return chooseFile(owner, types, 0, defaultExtension, path);
}
