#include "mail/HeaderCache.h"

#include <unordered_set>

#include "core/TextLines.h"
#include "core/TextUtil.h"

void HeaderCache::bindTo(const std::string& server, uint32_t port, const std::string& user, uint32_t lines) {
    if (server == server_ && port == port_ && user == user_ && lines == lines_) return;
    clear();
    server_ = server;
    port_ = port;
    user_ = user;
    lines_ = lines;
}

const Message* HeaderCache::find(const std::string& uid, int32_t size) const {
    auto it = entries_.find(uid);
    return it != entries_.end() && it->second.size == size ? it->second.message : nullptr;
}

void HeaderCache::replace(std::vector<Entry>&& entries) {
    entries_.clear();
    entries_.reserve(entries.size());
    for (Entry& e : entries) entries_.try_emplace(std::move(e.uid), Kept{e.size, e.message});
}

namespace {

// RFC 1939: an id is 1 to 70 characters from 0x21 to 0x7E.
bool isUid(std::string_view id) {
    if (id.empty() || id.size() > 70) return false;
    for (char c : id)
        if (c < 0x21 || c > 0x7E) return false;
    return true;
}

}  // namespace

bool parseUidListing(std::string_view answer, std::unordered_map<int32_t, std::string_view>& ids) {
    ids.clear();
    std::unordered_set<std::string_view> seen;
    TextLines lines(answer);
    std::string_view line;
    lines.next(line);  // the status line
    while (lines.next(line)) {
        size_t at = 0;
        int32_t number = 0;
        if (line.empty() || line[0] < '0' || line[0] > '9' || !scanDecimal(line, at, number)) return false;
        if (at >= line.size() || line[at] != ' ') return false;
        std::string_view id = line.substr(at + 1);
        if (!isUid(id) || !seen.insert(id).second || !ids.emplace(number, id).second) return false;
    }
    return true;
}
