// Native build: texts come from the table generated from messages.mc and the
// inserts are filled here the way FormatMessage fills "%n" without a
// printf-style format.
#include "core/MessageText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/MessageTable.h"

namespace {

const char* lookup(uint32_t id) {
    const MessageTableEntry* end = kMessageTable + kMessageTableSize;
    const MessageTableEntry* it = std::lower_bound(
        kMessageTable, end, id, [](const MessageTableEntry& e, uint32_t v) { return e.id < v; });
    return it != end && it->id == id ? it->text : nullptr;
}

std::string trimLineEnd(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

std::string fill(const char* text, const std::vector<std::string>& inserts) {
    // Without inserts the text stands as it is (FORMAT_MESSAGE_IGNORE_INSERTS).
    if (inserts.empty()) return trimLineEnd(text);
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (*p != '%' || !p[1]) {
            out += *p;
            continue;
        }
        char c = *++p;
        if (c >= '1' && c <= '9') {
            size_t n = c - '0';
            while (p[1] >= '0' && p[1] <= '9' && n < 10) n = n * 10 + (*++p - '0');
            if (n <= inserts.size()) out += inserts[n - 1];
        } else if (c == 'n') {
            out += "\r\n";
        } else if (c == '0') {
            break;
        } else {
            out += c;  // "%%", "%.", "%!" and the like stand for the character itself
        }
    }
    return trimLineEnd(out);
}

}  // namespace

bool hasMessage(uint32_t id) { return lookup(id) != nullptr; }

std::string formatMessage(uint32_t id, std::initializer_list<std::string> inserts) {
    if (const char* text = lookup(id)) return fill(text, std::vector<std::string>(inserts));
    // No system message table natively: name the code like the system would.
    const char* sys = std::strerror(static_cast<int>(id));
    char buf[64];
    if (!sys || !*sys) {
        std::snprintf(buf, sizeof buf, "0x%x", id);
        sys = buf;
    }
    return sys;
}

std::string formatMessage(uint32_t id, long long insert) {
    return formatMessage(id, {std::to_string(insert)});
}
