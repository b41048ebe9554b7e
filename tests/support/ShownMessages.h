// The user messages (error boxes) a test caused, recorded instead of shown,
// and the little-endian integers of the binary files.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/UserMessage.h"

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
