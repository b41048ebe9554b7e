#include <gtest/gtest.h>

#include "filter/AddressList.h"
#include "filter/FilterActions.h"
#include "filter/Filters.h"

namespace {

TEST(MatchText, EmptySidesAndAsciiFolding) {
    EXPECT_TRUE(matchText("", 1, "", false));
    EXPECT_FALSE(matchText("", 1, "x", false));  // "doesn't contain" needs a field
    EXPECT_FALSE(matchText("abc", 1, "", false));
    EXPECT_TRUE(matchText("Cheap PILLS", 1, "pills", true));
    EXPECT_TRUE(matchText("Cheap PILLS", 0, "pills", false));
    EXPECT_FALSE(matchText("\xC4rger", 0, "\xE4rger", false));  // national letters keep their case
}

TEST(SizeMatches, RangesAndInactiveBounds) {
    const struct {
        int32_t upper, lower;
        int64_t size;
        bool expected;
    } cases[] = {
        {102400, -1, 102401, true}, {102400, -1, 102400, false},  // strictly larger
        {0, -1, 1, true},           {-1, 0, 0, false},            // "larger than 0" is active, "smaller than 0" not
        {-1, 5120, 5119, true},     {-1, 5120, 5120, false},
        {1024, 4096, 2000, true},   {1024, 4096, 5000, false},    // inside when upper < lower
        {10240, 5120, 100, true},   {10240, 5120, 7000, false},   // outside when upper > lower
        {2048, 2048, 1, false},     {-1, -1, 1 << 30, false},     // equal or no bounds never match
    };
    for (const auto& c : cases) {
        SizeFilter f;
        f.upperBound = c.upper;
        f.lowerBound = c.lower;
        EXPECT_EQ(sizeMatches(c.size, f), c.expected) << c.upper << " " << c.lower << " " << c.size;
    }
}

TEST(ExtractAddress, Forms) {
    EXPECT_EQ(extractAddress("John Smith <John.Smith@Example.com>"), "John.Smith@Example.com");
    EXPECT_EQ(extractAddress("  plain@example.com \t\r\n"), "plain@example.com");
    EXPECT_EQ(extractAddress("x > y <z@w>"), "x > y <z@w>");  // ">" first: the whole text
    EXPECT_EQ(extractAddress("\"<>\" < spaced@x >"), "");      // the first pair wins
    EXPECT_EQ(extractAddress("Name <unclosed@x"), "Name <unclosed@x");
}

TEST(PercentEncode, NothingInAValueCanEndIt) {
    EXPECT_EQ(percentEncode(std::string("Az09-._~&=?# %+\r\n\xE4\0", 19)),
              "Az09-._~%26%3D%3F%23%20%25%2B%0D%0A%E4%00");
}

}  // namespace
