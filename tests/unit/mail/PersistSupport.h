// Shared by the field-file, account-file and read-marks tests: the error boxes
// shown, and account files built byte by byte, apart from the program's writer.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/Platform.h"
#include "core/UserMessage.h"

namespace persist {

using Shown = std::vector<std::pair<uint32_t, std::vector<std::string>>>;  // id, inserts

inline Shown& shown() {
    static Shown boxes;
    return boxes;
}

class BoxesTest : public ::testing::Test {
protected:
    void SetUp() override {
        shown().clear();
        previous_ = setUserMessageHandler(
            [](uint32_t id, const std::vector<std::string>& inserts) { shown().push_back({id, inserts}); });
    }
    void TearDown() override { setUserMessageHandler(previous_); }

private:
    UserMessageHandler previous_ = nullptr;
};

inline std::string le32(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
    return s;
}

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
