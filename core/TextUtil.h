// Small byte-text helpers shared by the parsers and the filters. Only A to Z fold:
// the texts are in the ANSI code page, and 8-bit letters must stay as sent.
#pragma once
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

inline std::string_view trim(std::string_view s) {
    s = trimLeft(s);
    size_t n = s.size();
    while (n > 0 && isWhite(s[n - 1])) --n;
    return s.substr(0, n);
}

inline std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lowerAscii(c);
    return out;
}
