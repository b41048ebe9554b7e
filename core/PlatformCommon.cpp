#include <mutex>

#include "core/Platform.h"

// Implemented per platform: the executable's own directory.
std::string executableDirectory();

namespace {
std::mutex gDirLock;
std::string gDirOverride;
}  // namespace

std::string programDirectory() {
    {
        std::lock_guard<std::mutex> hold(gDirLock);
        if (!gDirOverride.empty()) return gDirOverride;
    }
    return executableDirectory();
}

void overrideProgramDirectory(const std::string& dir) {
    std::lock_guard<std::mutex> hold(gDirLock);
    gDirOverride = dir;
    if (!gDirOverride.empty() && gDirOverride.back() != '\\' && gDirOverride.back() != '/')
        gDirOverride += dir.find('\\') != std::string::npos ? '\\' : '/';
}
