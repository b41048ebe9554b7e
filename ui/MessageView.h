// What the messages list shows of a message and in which order: the columns,
// the mark icon, the cells, the comparisons of the sort, the preview's header
// line, and how a row names its message. No windows here.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ui/ColumnStore.h"

class Message;

// Images of the mark image list, by index.
enum MarkImage : int {
    kNoImage = -1,
    kImageDeleted = 0,
    kImageUncertain = 1,
    kImageSpammer = 2,
    kImageHighPriority = 3,
    kImageLowPriority = 4,
    kImageAttachment = 5,
    kImageFriend = 6,
    kImageFiltered = 7,
};

// The icon at the left of a row: friend, then deleted (not for a spammer's
// message, which keeps its own icon), spammer, uncertain.
int markImage(const Message& m);
// The Priority cell: high below 3, low from 4, none for 3.
int priorityImage(int32_t priority);

// The columns the list can show (kinds are the title ids), in the built-in
// order and widths; "Filter" is hidden until the user shows it. Titles filled.
std::vector<ColumnDescription> builtInMessageColumns();
// Priority and Attach show an icon only and carry no mark.
bool isIconColumn(uint32_t kind);
// The text of a cell; empty for the icon columns.
const std::string& cellText(uint32_t kind, const Message& m);

// Case-insensitive text order used by the sort; the program passes the
// system's multibyte-aware comparison, tests a plain one. Returns <0, 0, >0.
using TextOrder = int (*)(std::string_view a, std::string_view b);
// `subject` without one leading "RE: ", then "FW: ", then "FWD: " (each
// tried once, in that order, case-insensitively).
std::string_view skipReplyPrefixes(std::string_view subject);
// The sort's comparison of two messages by column kind: -1, 0 or 1. Order 2
// is descending (the operands swap); any other order ascending.
int compareMessages(uint32_t kind, uint32_t order, const Message& a, const Message& b, TextOrder text);

// The sort state of a list: an order per kind and the kind whose column
// carries the arrow (0: none).
class SortState {
public:
    // A click on a column's header: an icon column flips its order on every
    // click and takes the arrow away; another column flips only when it
    // already carries the arrow, and then carries it. A flip turns the sort
    // round (descending 2 to 1, anything else to 2). Returns the order to
    // sort with.
    uint32_t click(uint32_t kind);
    // The account's stored sort: its kind takes the order and the arrow.
    void apply(uint32_t kind, uint32_t order);
    uint32_t order(uint32_t kind) const;
    uint32_t arrowKind() const { return arrow_; }
    // Whether the sort, and its arrow, is descending (only order 2 is).
    static bool descending(uint32_t order) { return order == 2; }

private:
    std::map<uint32_t, uint32_t> orders_;
    uint32_t arrow_ = 0;
};

// The preview's header line: "From: " and the sender up to its first "<",
// "To: " and the addressee likewise with a line break after it, then
// "Subject: " and the subject. A From or To that is empty, or the None text
// of a missing header, is left out.
std::string previewHeaderLine(const std::string& from, const std::string& to, const std::string& subject);

// A row's item data names its message by identity: the CRC in the low 32
// bits, and in the high bits how many earlier messages of the list share
// that CRC (copies of one message, delivered twice, have the same
// Message-ID). The CRC alone is the item data of any message that is the
// first of its identity.
using RowKey = uint64_t;
inline RowKey rowKey(uint32_t crc, uint32_t copy) { return crc | (static_cast<RowKey>(copy) << 32); }
inline uint32_t rowCrc(RowKey key) { return static_cast<uint32_t>(key); }

using MessageSpan = std::span<const std::unique_ptr<Message>>;
// The key of every message of `list`, in list order.
std::vector<RowKey> rowKeys(MessageSpan list);
// The message a key names, or null when it is gone.
const Message* findRow(MessageSpan list, RowKey key);
// Every message of `list` with the CRC.
std::vector<Message*> identityCopies(MessageSpan list, uint32_t crc);

// Finds the messages of rows without walking the list for each row: the
// index is built once for each version of a list. A version is the list's
// account, how often the account replaced it, and where it lies.
class RowIndex {
public:
    void refresh(MessageSpan list, uint32_t accountId, uint64_t generation);
    // findRow through the index.
    const Message* find(MessageSpan list, RowKey key) const;
    // The first message of the CRC: the one whose marks the next check acts
    // on for every copy, so every copy's row shows its marks.
    const Message* lead(MessageSpan list, uint32_t crc) const;

private:
    uint32_t account_ = 0;
    uint64_t generation_ = 0;
    const void* data_ = nullptr;
    size_t size_ = 0;
    bool built_ = false;
    std::unordered_map<RowKey, size_t> rows_;
};
