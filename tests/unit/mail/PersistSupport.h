// Account files built byte by byte, apart from the program's writer, for the
// account-file and read-marks tests.
#pragma once
#include <cstdint>
#include <string>

#include "core/Platform.h"
#include "support/ShownMessages.h"

namespace persist {

// A string field: byte count, then the ANSI text as UTF-16LE.
inline std::string field(const std::string& ansi) {
    std::string s = le32(static_cast<uint32_t>(ansiToUtf16(ansi).size() * 2));
    for (char16_t c : ansiToUtf16(ansi)) s += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return s;
}

inline std::string scrambled(std::string url) {
    const unsigned char key[4] = {0xD5, 0x62, 0x9E, 0x3B};
    for (size_t i = 0; i < url.size(); ++i) url[i] = static_cast<char>(url[i] ^ key[i % 4]);
    return url;
}

inline std::string record(const std::string& name, const std::string& url, uint32_t port = 110) {
    return field(name) + field(url) + le32(port) + le32(300) + le32(120);
}

}  // namespace persist
