#include "ui/ColumnStore.h"

#include <algorithm>
#include <set>

#include "core/Registry.h"

ColumnStore::ColumnStore(Registry& registry, std::string key, std::vector<ColumnDescription> builtIn)
    : registry_(registry), key_(std::move(key)), builtIn_(std::move(builtIn)) {
    for (size_t i = 0; i < builtIn_.size(); ++i) builtIn_[i].order = static_cast<uint32_t>(i);
    columns_ = builtIn_;
}

bool ColumnStore::parseWidth(std::string_view text, uint32_t& width) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (text.empty()) return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
        if (value > kMaxWidth) return false;
    }
    width = value;
    return true;
}

void ColumnStore::load() {
    columns_ = builtIn_;
    RegKey key;
    if (!key.open(registry_, kRegCurrentUser, key_, RegAccess::Read)) return;
    std::vector<ColumnDescription> stored = builtIn_;
    std::set<uint32_t> places;
    std::string name;
    for (uint32_t index = 0; registry_.enumKey(key.handle(), index, name) == kRegOk; ++index) {
        RegKey column;
        if (!column.open(registry_, key.handle(), name, RegAccess::Read)) continue;
        uint32_t show = 0, kind = 0, width = 0, order = 0;
        if (!column.readNumber("Show", show) || !column.readNumber("Kind", kind) || !column.readNumber("cx", width) ||
            !column.readNumber("order", order))
            continue;
        auto it = std::find_if(stored.begin(), stored.end(), [&](const ColumnDescription& c) { return c.kind == kind; });
        if (it == stored.end()) continue;  // a kind this list cannot draw
        // Damage anywhere makes the whole set suspect.
        if (width > kMaxWidth || order >= stored.size() || show > 1 || !places.insert(order).second) return;
        it->shown = show == 1;
        it->width = width;
        it->order = order;
    }
    // Columns without a stored place keep theirs unless a stored one took it.
    std::set<uint32_t> taken;
    for (const auto& c : stored)
        if (!taken.insert(c.order).second) return;
    std::stable_sort(stored.begin(), stored.end(),
                     [](const ColumnDescription& a, const ColumnDescription& b) { return a.order < b.order; });
    columns_ = std::move(stored);
}

bool ColumnStore::save() const {
    bool ok = true;
    for (const ColumnDescription& c : columns_) {
        RegKey column;
        if (!column.openForWriting(registry_, kRegCurrentUser, key_ + "\\" + c.title)) {
            ok = false;
            continue;
        }
        ok &= column.writeNumber("Show", c.shown ? 1 : 0);
        ok &= column.writeNumber("Kind", c.kind);
        ok &= column.writeNumber("cx", c.width);
        ok &= column.writeNumber("order", c.order);
    }
    return ok;
}

std::vector<ColumnDescription> ColumnStore::shown() const {
    std::vector<ColumnDescription> out;
    for (const ColumnDescription& c : columns_)
        if (c.shown) out.push_back(c);
    return out;
}

void ColumnStore::replace(std::vector<ColumnDescription> columns) {
    for (size_t i = 0; i < columns.size(); ++i) columns[i].order = static_cast<uint32_t>(i);
    columns_ = std::move(columns);
}
