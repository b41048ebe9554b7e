// Native stand-ins: the code page is taken as Latin-1, which maps every byte
// to the code point of the same value, so conversions round-trip all bytes.
#include <unistd.h>

#include <climits>
#include <ctime>

#include "core/Platform.h"

std::string executableDirectory() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    std::string path(buf, static_cast<size_t>(n));
    return path.substr(0, path.find_last_of('/') + 1);
}

std::u16string ansiToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (unsigned char c : text) out += static_cast<char16_t>(c);
    return out;
}

std::string utf16ToAnsi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) out += c < 0x100 ? static_cast<char>(c) : '?';
    return out;
}

std::string decimalSeparator() { return "."; }

int64_t currentTime() { return static_cast<int64_t>(std::time(nullptr)); }

bool shellOpen(const std::string&) { return false; }  // no shell to hand files to in native tests
