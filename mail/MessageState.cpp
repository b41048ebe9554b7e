#include "mail/MessageState.h"

#include <cstdio>

#include "core/Crc32.h"
#include "core/EventLog.h"
#include "core/FileIO.h"
#include "core/MessageText.h"
#include "core/TextLines.h"
#include "core/UserMessage.h"
#include "mail/AccountStore.h"
#include "message/Message.h"

namespace {

constexpr std::string_view kCrcKey = "MessageCrc32=";
constexpr std::string_view kReadKey = "MessageReaded=";
// The reader takes lines in pieces of at most this many characters, as the
// program always has; a longer line goes on as a line of its own.
constexpr size_t kLinePiece = 259;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A hexadecimal number as the C library's "%x" reads one (leading blanks,
// an optional "0x", the digits up to the first other character), except
// that a value without digits or past 32 bits does not parse at all.
bool parseHex(std::string_view text, uint32_t& value) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        hexDigit(text[i + 2]) >= 0)
        i += 2;
    uint64_t v = 0;
    size_t digits = 0;
    for (; i < text.size() && hexDigit(text[i]) >= 0; ++i, ++digits) {
        v = v << 4 | static_cast<uint64_t>(hexDigit(text[i]));
        if (v > 0xFFFFFFFFu) return false;
    }
    if (digits == 0) return false;
    value = static_cast<uint32_t>(v);
    return true;
}

// The value after the key, without the line's last character: the line
// feed of a whole line, or the last letter of a piece or of a last line
// that has none.
std::string_view valueOf(std::string_view line, std::string_view key, bool ended) {
    std::string_view rest = line.substr(key.size());
    return ended || rest.empty() ? rest : rest.substr(0, rest.size() - 1);
}

}  // namespace

std::string messageStateFileName(const std::string& accountName) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", crc32(accountName));
    return std::string(buf) + ".msg";
}

void parseMessageState(std::string_view text, std::vector<SavedMark>& out) {
    bool pending = false;  // the last entry of `out` takes the read line
    TextLines lines(text, kLinePiece);
    for (std::string_view line; lines.next(line);) {
        if (line.starts_with(kCrcKey)) {
            uint32_t crc;
            // A CRC that does not parse starts no entry, so its read line
            // cannot mark the one before.
            pending = parseHex(valueOf(line, kCrcKey, lines.ended()), crc);
            if (pending) out.push_back({crc, false});
        } else if (line.starts_with(kReadKey) && pending) {
            out.back().read = valueOf(line, kReadKey, lines.ended()) == "yes";
        }
    }
}

bool saveMessageState(Account& account, const std::string& dir) {
    if (account.keepMarksFile) {
        eventLog().log("Error: read marks of account %s not saved: their file could not be read", account.name.c_str());
        return false;
    }
    try {
        std::string text;
        {
            if (!account.tryLockMessages()) {
                eventLog().log("Error: read marks of account %s not saved: its list stayed locked", account.name.c_str());
                return false;
            }
            struct Unlock {
                Account& a;
                ~Unlock() { a.unlockMessages(); }
            } unlock{account};
            char buf[64];
            auto add = [&](uint32_t crc, bool read) {
                std::snprintf(buf, sizeof buf, "MessageCrc32=%x\r\nMessageReaded=%s\r\n", crc, read ? "yes" : "no");
                text += buf;
            };
            for (const auto& m : account.messages) add(m->crc(), m->read());
            for (const SavedMark& s : account.savedMarks) add(s.crc, s.read);
        }
        std::string path = dir + messageStateFileName(account.name);
        uint32_t error = 0;
        if (writeFileAtomically(path, text, &error)) return true;
        reportSystemError(error, "cannot write " + path, kAccountModule);
    } catch (...) {
        eventLog().log("%s %s,%d.", formatMessage(MSG_UnexpectedError).c_str(), kAccountModule, 5);
    }
    return false;
}

bool loadMessageState(Account& account, const std::string& dir) {
    try {
        std::string text, path = dir + messageStateFileName(account.name);
        uint32_t error = 0;
        if (!readWholeFile(path, text, kMaxDataFileBytes, &error)) {
            if (error == kMissingFileError) return false;
            account.keepMarksFile = true;
            eventLog().log("Error: cannot read %s: %s; the file is kept as it is", path.c_str(),
                           error ? formatMessage(error).c_str() : "no system error code");
            return false;
        }
        parseMessageState(text, account.savedMarks);
        return true;
    } catch (...) {
        eventLog().log("%s %s,%d.", formatMessage(MSG_UnexpectedError).c_str(), kAccountModule, 6);
        return false;
    }
}
