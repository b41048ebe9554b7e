// The native build has no shell, sound or WinINet: the actions only leave a
// trace in the log, which is all the portable tests need.
#include "core/EventLog.h"
#include "filter/FilterActions.h"

void launchFile(const std::string& path) {
    if (!path.empty()) eventLog().log("Filter action: launch %s\n", path.c_str());
}

void playSoundFile(const std::string& file) {
    if (!file.empty()) eventLog().log("Filter action: play %s\n", file.c_str());
}

void sendToUrl(const std::string& url) {
    if (!url.empty()) eventLog().log("Filter action: send %s\n", url.c_str());
}
