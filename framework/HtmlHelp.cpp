#include "framework/HtmlHelp.h"

#include <htmlhelp.h>

#include "core/EventLog.h"

namespace {

using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

HMODULE gLibrary = nullptr;
HtmlHelpFn gHtmlHelp = nullptr;

HtmlHelpFn viewer() {
    if (gHtmlHelp) return gHtmlHelp;
    char dir[MAX_PATH];
    UINT n = GetSystemDirectoryA(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH - 16) return nullptr;
    std::string path = std::string(dir, n) + "\\hhctrl.ocx";
    gLibrary = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (gLibrary) gHtmlHelp = reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(gLibrary, "HtmlHelpA")));
    return gHtmlHelp;
}

}  // namespace

std::string helpFilePath() {
    char buf[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string path(buf, n < MAX_PATH ? n : MAX_PATH);
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of("\\/");
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.resize(dot);
    return path + ".chm";
}

void showHelp(HWND owner, const std::string& topic) {
    std::string file = helpFilePath();
    eventLog().log("Help topic requested: %s", topic.empty() ? "(contents)" : topic.c_str());
    if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        eventLog().log("Help file %s not found", file.c_str());
        return;
    }
    HtmlHelpFn show = viewer();
    if (!show) {
        eventLog().log("The help viewer could not be loaded");
        return;
    }
    std::string target = file + topic;
    show(owner, target.c_str(), HH_DISPLAY_TOPIC, 0);
}

void closeAllHelp() {
    if (gHtmlHelp) gHtmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
}
