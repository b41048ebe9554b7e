#include <gtest/gtest.h>

#include "core/MessageText.h"
#include "filter/Filters.h"

namespace {

struct TextCase {
    const char* text;
    int condition;
    const char* words;
    bool useCase;
    bool expected;
};

TEST(MatchText, EmptySidesDecideWhateverTheCondition) {
    const TextCase cases[] = {
        {"", 0, "", false, true},
        {"", 1, "", false, true},
        {"", 0, "x", false, false},
        {"", 1, "x", false, false},  // "doesn't contain" never holds for a missing field
        {"abc", 0, "", false, false},
        {"abc", 1, "", false, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchText(c.text, c.condition, c.words, c.useCase), c.expected)
            << c.text << "|" << c.condition << "|" << c.words;
}

TEST(MatchText, CaseFoldingCoversOnlyAsciiLetters) {
    const TextCase cases[] = {
        {"Cheap PILLS here", 0, "pills", false, true},
        {"Cheap PILLS here", 0, "pills", true, false},
        {"Cheap PILLS here", 1, "pills", false, false},
        {"Cheap PILLS here", 1, "pills", true, true},
        {"\xC4rger", 0, "\xE4rger", false, false},  // national letters keep their case
        {"\xC4rger", 0, "\xC4RGER", false, true},
        {"abc", 7, "b", false, true},  // an unknown condition counts as "contains"
        {"abc", 7, "z", false, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchText(c.text, c.condition, c.words, c.useCase), c.expected)
            << c.text << "|" << c.condition << "|" << c.words << "|" << c.useCase;
}

SizeFilter sizeFilter(int32_t upper, int32_t lower) {
    SizeFilter f;
    f.upperBound = upper;
    f.lowerBound = lower;
    return f;
}

TEST(SizeMatches, RangesAndInactiveBounds) {
    struct Case {
        int32_t upper, lower;
        int64_t size;
        bool expected;
    } cases[] = {
        {102400, -1, 102401, true},  {102400, -1, 102400, false},  // strictly larger
        {0, -1, 1, true},            {0, -1, 0, false},            // "larger than 0" is active
        {-1, 0, 0, false},           {-1, 0, -5, false},           // "smaller than 0" is not
        {-1, 5120, 5119, true},      {-1, 5120, 5120, false},
        {1024, 4096, 2000, true},    {1024, 4096, 1024, false},     // inside when upper < lower
        {1024, 4096, 5000, false},
        {10240, 5120, 100, true},    {10240, 5120, 20000, true},    // outside when upper > lower
        {10240, 5120, 7000, false},  {10240, 5120, 10240, false},
        {2048, 2048, 1, false},      {2048, 2048, 4000, false},     // equal bounds never match
        {-1, -1, 0, false},          {-1, -1, 1 << 30, false},
        {-7, -3, 5, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sizeMatches(c.size, sizeFilter(c.upper, c.lower)), c.expected)
            << c.upper << " " << c.lower << " " << c.size;
}

TEST(Describe, ReasonTexts) {
    EXPECT_EQ(describe(WordFilter(MSG_ColSubject, "free offer")), "Subject: free offer");
    EXPECT_EQ(describe(WordFilter(MSG_ColFrom, "x@y")), "From: x@y");
    EXPECT_EQ(describe(WordFilter(MSG_ColTo, "me;you")), "To: me;you");
    EXPECT_EQ(describe(WordFilter(0x12345, "w")), "None: w");  // a field the table lacks
    EXPECT_EQ(describe(sizeFilter(102400, 1024)), "Smaller than: 1024 and Larger than: 102400");
    EXPECT_EQ(describe(sizeFilter(0, -1)), "Larger than: 0");
    EXPECT_EQ(describe(sizeFilter(-1, 2048)), "Smaller than: 2048");
    PowerFilter p;
    p.filterName = "Boss";
    EXPECT_EQ(describe(p), "Power: Boss");
}

TEST(PowerFilterRecord, MarkSettersKeepOneChoice) {
    PowerFilter p;
    EXPECT_TRUE(p.markAsDeleted);
    p.markFriendlyChoice();
    EXPECT_TRUE(p.markAsFriendly && !p.markAsDeleted && !p.uncertain);
    p.markUncertainChoice();
    EXPECT_TRUE(!p.markAsFriendly && !p.markAsDeleted && p.uncertain);
    p.markNothingChoice();
    EXPECT_TRUE(!p.markAsFriendly && !p.markAsDeleted && !p.uncertain);
}

}  // namespace
