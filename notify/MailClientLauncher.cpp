#include "notify/MailClientLauncher.h"

#include <windows.h>

#include <vector>

#include "core/EventLog.h"
#include "core/MailClient.h"
#include "core/Settings.h"
#include "core/WinHandle.h"

bool startMailClient(const Settings& settings, Registry& registry) {
    std::string command = settings.MailClient.empty() ? findDefaultMailClient(registry) : settings.MailClient;
    if (command.empty()) return false;
    // A bare program path with blanks, stored before paths were quoted, would
    // otherwise start whatever lies at its first blank.
    DWORD attributes = GetFileAttributesA(command.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        command = quotedProgramPath(command);
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        eventLog().log("The mail client could not be started: %s (error %lu)", command.c_str(), GetLastError());
        return false;
    }
    WinHandle thread(process.hThread), child(process.hProcess);
    return true;
}
