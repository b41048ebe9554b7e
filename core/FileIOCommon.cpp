#include "core/EventLog.h"
#include "core/FileIO.h"

std::string temporaryFileName(const std::string& path, uint32_t pid, unsigned n) {
    return path + ".tmp" + std::to_string(pid) + "-" + std::to_string(n);
}

bool temporaryFileOwner(std::string_view name, uint32_t& pid) {
    size_t mark = name.rfind(".tmp");
    if (mark == std::string_view::npos) return false;
    std::string_view base = name.substr(0, mark), rest = name.substr(mark + 4);
    if (!base.ends_with(".dat") && !base.ends_with(".msg")) return false;
    size_t dash = rest.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash > 10 || dash + 1 == rest.size()) return false;
    uint64_t value = 0;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (i == dash) continue;
        if (rest[i] < '0' || rest[i] > '9') return false;
        if (i < dash) value = value * 10 + static_cast<uint64_t>(rest[i] - '0');
    }
    if (value > UINT32_MAX) return false;
    pid = static_cast<uint32_t>(value);
    return true;
}

void logRemovedTemporary(const std::string& path, bool removed) {
    eventLog().log(removed ? "Removed the temporary file %s that an ended write left"
                           : "Error: cannot remove the temporary file %s that an ended write left",
                   path.c_str());
}
