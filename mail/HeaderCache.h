// The TOP answers of an account's last listed messages, by their unique ids
// (UIDL): a later check takes a message's answer from here when its id and
// listed size are those of the kept answer, and asks the server only for the
// rest. A message never changes on the server, so the kept answer is the one
// the server would send again.
//
// The cache holds the answers of one list only, so it never grows past the
// mailbox; answers of another server, port, user or line count are no use
// and are dropped. It lives with the account for the run, and only the
// account's worker touches it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class HeaderCache {
public:
    // One message of a check's list, for the next cache.
    struct Entry {
        std::string uid;
        int32_t size = 0;
        std::string answer;  // the TOP answer fetched now; empty when `kept`
        bool kept = false;   // the answer is this cache's own, for `uid`
    };

    // Drops every answer unless they came from this server, port, user and
    // line count.
    void bindTo(const std::string& server, uint32_t port, const std::string& user, uint32_t lines);
    // The kept answer for `uid` when it was listed with `size`; null otherwise.
    // Valid until the cache changes.
    const std::string* find(const std::string& uid, int32_t size) const;
    // The answers of a check's list replace all others: fetched answers are
    // moved in, kept ones stay. An entry marked `kept` whose uid the cache
    // does not hold is left out.
    void replace(std::vector<Entry>&& entries);
    void clear();

    size_t size() const { return answers_.size(); }

private:
    struct Answer {
        int32_t size;
        std::string text;
    };
    std::string server_, user_;
    uint32_t port_ = 0, lines_ = 0;
    std::unordered_map<std::string, Answer> answers_;
};

// The unique-id listing of a UIDL answer, by message number. False when a
// line does not scan as "number id" (an id of 1 to 70 printable characters),
// or when a number or an id repeats: such a listing identifies nothing.
bool parseUidListing(std::string_view answer, std::unordered_map<int32_t, std::string_view>& ids);
