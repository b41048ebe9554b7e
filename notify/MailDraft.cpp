#include "notify/MailDraft.h"

#include <cstdint>
#include <utility>

#include "core/Platform.h"
#include "filter/AddressList.h"

namespace {

// An address part that a mail program can take as it is: something at
// something, without blanks or control characters.
std::string addressOf(const std::string& to) {
    std::string address = extractAddress(to);
    size_t at = address.find('@');
    if (at == std::string::npos || at == 0 || at + 1 == address.size()) return {};
    for (unsigned char c : address)
        if (c <= ' ' || c == 0x7F) return {};
    return address;
}

bool unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// The character of `text` at `i` as percent-encoded UTF-8; `i` moves past it.
std::string encodeNext(const std::u16string& text, size_t& i, bool address) {
    uint32_t c = text[i++];
    if (c >= 0xD800 && c < 0xDC00 && i < text.size() && text[i] >= 0xDC00 && text[i] < 0xE000)
        c = 0x10000 + ((c - 0xD800) << 10) + (text[i++] - 0xDC00u);
    else if (c >= 0xD800 && c < 0xE000)
        c = 0xFFFD;  // half a pair
    unsigned char bytes[4];
    size_t n;
    if (c < 0x80) {
        bytes[0] = static_cast<unsigned char>(c);
        n = 1;
    } else if (c < 0x800) {
        bytes[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
        bytes[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        n = 2;
    } else if (c < 0x10000) {
        bytes[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
        bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        bytes[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        n = 3;
    } else {
        bytes[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
        bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
        bytes[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        bytes[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        n = 4;
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (size_t k = 0; k < n; ++k) {
        if (unreserved(bytes[k]) || (address && bytes[k] == '@')) {
            out += static_cast<char>(bytes[k]);
        } else {
            out += '%';
            out += kHex[bytes[k] >> 4];
            out += kHex[bytes[k] & 0xF];
        }
    }
    return out;
}

// `text` encoded, character by character while `link` stays within `limit`.
// False when it had to stop early.
bool appendEncoded(std::string& link, const std::string& text, bool address, size_t limit) {
    std::u16string wide = ansiToUtf16(text);
    for (size_t i = 0; i < wide.size();) {
        std::string next = encodeNext(wide, i, address);
        if (link.size() + next.size() > limit) return false;
        link += next;
    }
    return true;
}

}  // namespace

std::string mapiAddress(const std::string& to) {
    std::string address = addressOf(to);
    return address.empty() ? std::string() : "SMTP:" + address;
}

std::string mailtoLink(const MailDraft& draft, size_t limit) {
    std::string link = "mailto:";
    std::string address;
    // An address is given whole or not at all.
    if (!appendEncoded(address, addressOf(draft.to), true, limit) || link.size() + address.size() > limit)
        address.clear();
    link += address;
    char separator = '?';
    for (const auto& [name, text] : {std::pair<const char*, const std::string&>{"subject=", draft.subject},
                                     std::pair<const char*, const std::string&>{"body=", draft.body}}) {
        if (text.empty()) continue;
        std::string field = separator + std::string(name);
        if (link.size() + field.size() > limit) break;
        link += field;
        separator = '&';
        if (!appendEncoded(link, text, false, limit)) break;
    }
    return link;
}
