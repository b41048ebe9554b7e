// What an account's last check learnt of its messages by their unique ids
// (UIDL): a later check copies a message whose id and listed size are still
// those of a message in the account's list instead of fetching its header
// again. A message never changes on the server, so its earlier record is
// what a new TOP answer would give.
//
// The cache names only messages of the account's current list, and is
// replaced with the list (Account::replaceMessages), so it never grows past
// the mailbox and never outlives the records it names. Answers of another
// server, port, user or line count are no use and are dropped. Only the
// account's worker touches it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class Message;

class HeaderCache {
public:
    struct Entry {
        std::string uid;
        int32_t size = 0;
        const Message* message = nullptr;  // in the list that comes with the entries
    };

    // Drops every entry unless they came from this server, port, user and
    // line count.
    void bindTo(const std::string& server, uint32_t port, const std::string& user, uint32_t lines);
    // The message listed with `uid` and `size`; null when there is none.
    const Message* find(const std::string& uid, int32_t size) const;
    // The entries of a new list replace all others; of a repeated id the
    // first counts.
    void replace(std::vector<Entry>&& entries);
    void clear() { entries_.clear(); }

    size_t size() const { return entries_.size(); }

private:
    struct Kept {
        int32_t size;
        const Message* message;
    };
    std::string server_, user_;
    uint32_t port_ = 0, lines_ = 0;
    std::unordered_map<std::string, Kept> entries_;
};

// The unique-id listing of a UIDL answer, by message number; lines end in
// LF, with or without CR before it. False when a line does not scan as "number id" (an id of 1 to 70 printable characters),
// or when a number or an id repeats: such a listing identifies nothing.
bool parseUidListing(std::string_view answer, std::unordered_map<int32_t, std::string_view>& ids);
