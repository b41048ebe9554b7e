#include <gtest/gtest.h>

#include <climits>

#include "core/TextLines.h"
#include "core/TextUtil.h"

TEST(ScanDecimal, AsPercentDReadsButHeldToInt32) {
    struct Row {
        const char* text;
        bool ok;
        int32_t value;
        size_t end;
    } rows[] = {
        {" \t-12 x", true, -12, 5}, {"+7", true, 7, 2},         {"", false, 0, 0},
        {"-", false, 0, 0},         {" x1", false, 0, 0},       {"99999999999", true, INT_MAX, 11},
        {"-99999999999", true, INT_MIN, 12},                    {"2147483647", true, INT_MAX, 10},
    };
    for (const Row& r : rows) {
        size_t pos = 0;
        int32_t value = 0;
        EXPECT_EQ(scanDecimal(r.text, pos, value), r.ok) << r.text;
        EXPECT_EQ(value, r.value) << r.text;
        EXPECT_EQ(pos, r.end) << r.text;
    }
}

// As the run-time library's text mode and fgets with a buffer of piece + 1
// bytes hand them out: the line feed needs a place of its own.
TEST(TextLines, LinesAndPieces) {
    struct Row {
        const char* text;
        size_t piece;
        std::vector<std::pair<std::string, bool>> lines;  // text, ended
    } rows[] = {
        {"a\r\nb\rc\n\nlast", TextLines::kWhole, {{"a", true}, {"b\rc", true}, {"", true}, {"last", false}}},
        {"x\r\r\n", TextLines::kWhole, {{"x\r", true}}},
        {"abcdef\r\nxyz\nuv", 3, {{"abc", false}, {"def", false}, {"", true}, {"xyz", false}, {"", true}, {"uv", false}}},
        {"ab\nabcd", 3, {{"ab", true}, {"abc", false}, {"d", false}}},
    };
    for (const Row& r : rows) {
        TextLines lines(r.text, r.piece);
        std::vector<std::pair<std::string, bool>> got;
        for (std::string_view line; lines.next(line);) got.emplace_back(std::string(line), lines.ended());
        EXPECT_EQ(got, r.lines) << r.text;
    }
}
