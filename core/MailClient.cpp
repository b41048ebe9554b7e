#include "core/MailClient.h"

#include <mutex>

#include "core/Registry.h"

std::string findDefaultMailClient(Registry& registry) {
    static std::mutex lock;
    static std::string command;
    std::lock_guard<std::mutex> hold(lock);

    RegKey clients;
    if (!clients.open(registry, kRegLocalMachine, "SOFTWARE\\Clients\\Mail", RegAccess::Read)) return command;
    std::string name;
    if (!clients.readString("", name) || name.empty()) return command;
    RegKey open;
    if (!open.open(registry, clients.handle(), name + "\\shell\\open\\command", RegAccess::Read)) return command;
    uint32_t type = 0;
    std::string data;
    if (open.query("", type, data) != kRegOk || (type != kRegSz && type != kRegExpandSz)) return command;
    size_t zero = data.find('\0');
    if (zero != std::string::npos) data.resize(zero);
    command = data;
    if (!command.empty()) {
        std::string expanded;
        // A failed expansion keeps the command as stored.
        if (registry.expandEnvironment(command, expanded)) command = expanded;
    }
    return command;
}
