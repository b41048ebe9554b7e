// Small byte-text helpers shared by the parsers and the filters. Only A to Z fold:
// the texts are in the ANSI code page, and 8-bit letters must stay as sent.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

inline bool isWhite(char c) { return c == ' ' || (c >= 9 && c <= 13); }

inline char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

inline bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

inline std::string_view trimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isWhite(s[i])) ++i;
    return s.substr(i);
}

inline std::string_view trimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && isWhite(s[n - 1])) --n;
    return s.substr(0, n);
}

inline std::string_view trim(std::string_view s) { return trimRight(trimLeft(s)); }

inline std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lowerAscii(c);
    return out;
}

// A decimal number as "%d" scans one: white space, a sign, digits; numbers
// beyond 32 bits are held to the int32 range instead of wrapping. False, with
// `pos` unmoved, when no digit follows; else `pos` is past the digits.
inline bool scanDecimal(std::string_view text, size_t& pos, int32_t& value) {
    size_t i = pos;
    while (i < text.size() && isWhite(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    int64_t n = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (n <= INT32_MAX) n = n * 10 + (text[i] - '0');
    if (negative) n = -n;
    value = static_cast<int32_t>(n > INT32_MAX ? INT32_MAX : n < INT32_MIN ? INT32_MIN : n);
    pos = i;
    return true;
}
