#include "ui/MessageView.h"

#include <unordered_map>

#include "core/MessageText.h"
#include "message/Message.h"

int markImage(const Message& m) {
    if (m.isFriend()) return kImageFriend;
    if (m.deleted() && !m.spammer()) return kImageDeleted;
    if (m.spammer()) return kImageSpammer;
    if (m.uncertain()) return kImageUncertain;
    return kNoImage;
}

int priorityImage(int32_t priority) {
    if (priority < 3) return kImageHighPriority;
    if (priority > 3) return kImageLowPriority;
    return kNoImage;
}

std::vector<ColumnDescription> builtInMessageColumns() {
    struct Column {
        uint32_t kind;
        uint32_t width;
        bool shown;
    };
    static const Column kColumns[] = {
        {MSG_ColFrom, 180, true}, {MSG_ColSubject, 190, true}, {MSG_ColPriority, 20, true}, {MSG_ColDate, 94, true},
        {MSG_ColAttach, 20, true}, {MSG_ColSize, 94, true},     {MSG_ColFilter, 90, false},
    };
    std::vector<ColumnDescription> out;
    for (const Column& c : kColumns) out.push_back({c.kind, formatMessage(c.kind), c.shown, c.width, 0});
    return out;
}

bool isIconColumn(uint32_t kind) { return kind == MSG_ColPriority || kind == MSG_ColAttach; }

const std::string& cellText(uint32_t kind, const Message& m) {
    static const std::string kEmpty;
    switch (kind) {
    case MSG_ColFrom:
        return m.from();
    case MSG_ColSubject:
        return m.subject();
    case MSG_ColDate:
        return m.date();
    case MSG_ColSize:
        return m.sizeText();
    case MSG_ColFilter:
        return m.filterReason();
    default:
        return kEmpty;
    }
}

namespace {

bool startsWithFolded(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != prefix[i]) return false;
    }
    return true;
}

int sign(int64_t v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

}  // namespace

std::string_view skipReplyPrefixes(std::string_view subject) {
    for (std::string_view prefix : {"RE: ", "FW: ", "FWD: "})
        if (startsWithFolded(subject, prefix)) subject.remove_prefix(prefix.size());
    return subject;
}

int compareMessages(uint32_t kind, uint32_t order, const Message& first, const Message& second, TextOrder text) {
    const Message& a = order == 2 ? second : first;
    const Message& b = order == 2 ? first : second;
    switch (kind) {
    case MSG_ColFrom:
    case MSG_ColSubject:
    case MSG_ColFilter:
        return sign(text(skipReplyPrefixes(cellText(kind, a)), skipReplyPrefixes(cellText(kind, b))));
    case MSG_ColDate:
        return sign(a.time() - b.time());
    case MSG_ColSize:
        return sign(static_cast<int64_t>(a.size()) - b.size());
    case MSG_ColAttach:
        return sign(static_cast<int64_t>(a.attachmentNames().size()) - static_cast<int64_t>(b.attachmentNames().size()));
    case MSG_ColPriority:
        return sign(static_cast<int64_t>(b.priority()) - a.priority());
    default:
        return 0;
    }
}

uint32_t SortState::click(uint32_t kind) {
    // A flip turns the sort round: 0, which a new account stores, sorts
    // ascending like 1, so it flips to 2.
    uint32_t& order = orders_[kind];
    if (isIconColumn(kind)) {
        order = descending(order) ? 1 : 2;
        arrow_ = 0;
    } else {
        if (arrow_ == kind) order = descending(order) ? 1 : 2;
        arrow_ = kind;
    }
    return order;
}

void SortState::apply(uint32_t kind, uint32_t order) {
    orders_[kind] = order;
    arrow_ = isIconColumn(kind) ? 0 : kind;
}

uint32_t SortState::order(uint32_t kind) const {
    auto it = orders_.find(kind);
    return it == orders_.end() ? 0 : it->second;
}

std::string previewHeaderLine(const std::string& from, const std::string& to, const std::string& subject) {
    // A field the header did not have holds the None text: nothing to show.
    static const std::string none = formatMessage(MSG_None);
    auto given = [](const std::string& field) { return !field.empty() && field != none; };
    auto name = [](const std::string& address) { return address.substr(0, address.find('<')); };
    std::string line;
    if (given(from)) line += formatMessage(MSG_ColFrom) + ": " + name(from) + " ";
    if (given(to)) line += formatMessage(MSG_ColTo) + ": " + name(to) + "\r\n";
    line += formatMessage(MSG_ColSubject) + ": " + subject;
    return line;
}

std::vector<RowKey> rowKeys(MessageSpan list) {
    std::unordered_map<uint32_t, uint32_t> copies;
    std::vector<RowKey> keys;
    keys.reserve(list.size());
    for (const auto& m : list) keys.push_back(rowKey(m->crc(), copies[m->crc()]++));
    return keys;
}

const Message* findRow(MessageSpan list, RowKey key) {
    uint32_t crc = rowCrc(key);
    uint32_t copy = static_cast<uint32_t>(key >> 32);
    for (const auto& m : list)
        if (m->crc() == crc && copy-- == 0) return m.get();
    return nullptr;
}

std::vector<Message*> identityCopies(MessageSpan list, uint32_t crc) {
    std::vector<Message*> out;
    for (const auto& m : list)
        if (m->crc() == crc) out.push_back(m.get());
    return out;
}

void RowIndex::refresh(MessageSpan list, uint32_t accountId, uint64_t generation) {
    if (built_ && account_ == accountId && generation_ == generation && data_ == list.data() && size_ == list.size())
        return;
    built_ = true;
    account_ = accountId;
    generation_ = generation;
    data_ = list.data();
    size_ = list.size();
    rows_.clear();
    std::vector<RowKey> keys = rowKeys(list);
    for (size_t i = 0; i < keys.size(); ++i) rows_.emplace(keys[i], i);
}

const Message* RowIndex::find(MessageSpan list, RowKey key) const {
    auto it = rows_.find(key);
    if (it == rows_.end()) return nullptr;
    // The index belongs to this list's version; a list changed behind its
    // back is still searched the slow way.
    if (it->second < list.size() && list[it->second]->crc() == rowCrc(key)) return list[it->second].get();
    return findRow(list, key);
}

const Message* RowIndex::lead(MessageSpan list, uint32_t crc) const { return find(list, rowKey(crc, 0)); }
