#include "message/MimeDecode.h"

#include <algorithm>
#include <cstdint>

#include "core/EventLog.h"
#include "message/Charset.h"
#include "core/TextUtil.h"

namespace {

constexpr int8_t kNoValue = -1;

struct DigitTables {
    int8_t base64[256];
    int8_t hex[256];
    constexpr DigitTables() : base64(), hex() {
        for (int i = 0; i < 256; ++i) base64[i] = hex[i] = kNoValue;
        for (int i = 0; i < 26; ++i) {
            base64['A' + i] = static_cast<int8_t>(i);
            base64['a' + i] = static_cast<int8_t>(26 + i);
        }
        for (int i = 0; i < 10; ++i) {
            base64['0' + i] = static_cast<int8_t>(52 + i);
            hex['0' + i] = static_cast<int8_t>(i);
        }
        base64[static_cast<int>('+')] = 62;
        base64[static_cast<int>('/')] = 63;
        for (int i = 0; i < 6; ++i) hex['A' + i] = hex['a' + i] = static_cast<int8_t>(10 + i);
    }
};
constexpr DigitTables kTables;

int value(const int8_t* table, std::string_view text, size_t i) {
    return i < text.size() ? table[static_cast<uint8_t>(text[i])] : kNoValue;
}

}  // namespace

// A group yields bytes up to its first character without value, so "=" and
// "==" padding work as usual, unpadded tails decode fully, and a group that
// has garbage in it yields what was valid before the garbage.
void decodeBase64(std::string_view text, std::string& out) {
    for (size_t i = 0; i < text.size(); i += 4) {
        int d0 = value(kTables.base64, text, i), d1 = value(kTables.base64, text, i + 1);
        if (d0 < 0 || d1 < 0) continue;
        out.push_back(static_cast<char>((d0 << 2 | d1 >> 4) & 0xFF));
        int d2 = value(kTables.base64, text, i + 2);
        if (d2 < 0) continue;
        out.push_back(static_cast<char>((d1 << 4 | d2 >> 2) & 0xFF));
        int d3 = value(kTables.base64, text, i + 3);
        if (d3 < 0) continue;
        out.push_back(static_cast<char>((d2 << 6 | d3) & 0xFF));
    }
}

void decodeQ(std::string_view text, std::string& out) {
    size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        char c = text[i];
        if (c == '_') {
            out.push_back(' ');
        } else if (c != '=') {
            out.push_back(c);
        } else if (i + 1 == n) {
            out.push_back('=');
        } else if (text[i + 1] == '\n') {
            ++i;
        } else if (i + 2 == n) {
            out.append(text.substr(i, 2));
            ++i;
        } else {
            int hi = value(kTables.hex, text, i + 1), lo = value(kTables.hex, text, i + 2);
            if (hi >= 0 && lo >= 0)
                out.push_back(static_cast<char>(hi << 4 | lo));
            else
                out.append(text.substr(i, 3));
            i += 2;
        }
    }
}

namespace {

bool decodeWords(std::string_view input, std::string& out, bool& found) {
    size_t pos = 0;
    size_t tail = 0;  // where the text after the last decoded word starts
    std::string word;
    for (;;) {
        size_t start = input.find("=?", pos);
        size_t charsetEnd = start == std::string_view::npos ? start : input.find('?', start + 2);
        size_t letterEnd = charsetEnd == std::string_view::npos ? charsetEnd : input.find('?', charsetEnd + 1);
        size_t end = letterEnd == std::string_view::npos ? letterEnd : input.find("?=", letterEnd + 1);
        if (end == std::string_view::npos) {
            // No further complete word: what is left, including a broken
            // word such as a subject ending in "=?", is plain text.
            if (!found) {
                out.append(input);
                return false;
            }
            out.append(input.substr(tail));
            return true;
        }
        if (!found) out.append(input.substr(0, start));
        std::string_view charset = input.substr(start + 2, charsetEnd - start - 2);
        char letter = input[charsetEnd + 1];
        // The text starts two characters after the letter; with an empty
        // encoding that can lie past the closing "?=": then it is empty.
        size_t textStart = charsetEnd + 3;
        std::string_view text = textStart < end ? input.substr(textStart, end - textStart) : std::string_view();
        word.clear();
        if (letter == 'B' || letter == 'b')
            decodeBase64(text, word);
        else
            decodeQ(text, word);
        if (equalsNoCase(charset, "koi8-r"))
            koi8rToWindows1251(word, out);
        else
            out.append(word);
        found = true;
        pos = end;
        tail = end + 2;
    }
}

}  // namespace

bool mime_decode(std::string_view input, std::string& out) {
    bool found = false;
    try {
        return decodeWords(input, out, found);
    } catch (...) {  // only allocation can fail; what was appended stays
        eventLog().log("Error in mime_decode. Input string=%.*s\n",
                       static_cast<int>(std::min<size_t>(input.size(), 1024)), input.data());
        return found;
    }
}
