#include "core/MailClient.h"

#include <mutex>

#include "core/Registry.h"

namespace {

constexpr const char* kClients = "Software\\Clients\\Mail";
constexpr RegHandle kRoots[] = {kRegCurrentUser, kRegLocalMachine};

// The default value of `path` under `root` as a text; false when there is none.
bool readDefault(Registry& registry, RegHandle root, const std::string& path, std::string& text) {
    RegKey key;
    if (!key.open(registry, root, path, RegAccess::Read)) return false;
    uint32_t type = 0;
    std::string data;
    if (key.query("", type, data) != kRegOk || (type != kRegSz && type != kRegExpandSz)) return false;
    size_t zero = data.find('\0');
    if (zero != std::string::npos) data.resize(zero);
    text = data;
    return true;
}

}  // namespace

std::string findDefaultMailClient(Registry& registry) {
    static std::mutex lock;
    static std::string command;
    std::lock_guard<std::mutex> hold(lock);

    std::string name;
    for (RegHandle root : kRoots)
        if (readDefault(registry, root, kClients, name) && !name.empty()) break;
    if (name.empty()) return command;
    std::string found;
    bool registered = false;
    for (RegHandle root : kRoots)
        if ((registered = readDefault(registry, root, std::string(kClients) + "\\" + name + "\\shell\\open\\command",
                                      found)))
            break;
    if (!registered) return command;
    command = found;
    if (!command.empty()) {
        std::string expanded;
        // A failed expansion keeps the command as stored.
        if (registry.expandEnvironment(command, expanded)) command = expanded;
    }
    return command;
}

std::string quotedProgramPath(std::string_view path) {
    if (path.find(' ') == std::string_view::npos || (!path.empty() && path.front() == '"')) return std::string(path);
    return "\"" + std::string(path) + "\"";
}
