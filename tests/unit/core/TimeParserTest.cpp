#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/TimeParser.h"

namespace {

constexpr int64_t kNow = 1234567890;  // stands for "the moment of parsing"

int64_t parse(const char* date) { return TimeParser(date, kNow).time(); }

std::vector<std::string> tokens(std::string_view text, std::string_view separators) {
    std::vector<std::string> out;
    Tokenizer t(text, separators);
    std::string_view token;
    while (t.next(token)) out.emplace_back(token);
    return out;
}

}  // namespace

TEST(Tokenizer, MaximalRunsBetweenSeparators) {
    using V = std::vector<std::string>;
    EXPECT_EQ(tokens("Tue, 1 Jul 2003", " ,"), (V{"Tue", "1", "Jul", "2003"}));
    EXPECT_EQ(tokens(",, a ,b,, ", " ,"), (V{"a", "b"}));
    EXPECT_EQ(tokens("", " ,"), V{});
    EXPECT_EQ(tokens(" ,, ", " ,"), V{});
    EXPECT_EQ(tokens("abc", ""), V{"abc"});
    EXPECT_EQ(tokens("a;b c", ";"), (V{"a", "b c"}));
}

TEST(TimeParser, ReadsDatesAndZones) {
    struct Row {
        const char* date;
        int64_t instant;
    } rows[] = {
        {"Tue, 1 Jul 2003 10:52:37 +0200", 1057049557},
        {"1 Jul 2003 10:52:37 +0200", 1057049557},
        {"Tue, 1 Jul 2003 10:52:37 GMT", 1057056757},
        {"Tue, 1 Jul 2003 10:52:37 -0500 (EST)", 1057074757},
        {"Tue, 1 Jul 2003 10:52:37 (EST)", 1057056757},   // ")" stays part of the name
        {"Tue, 1 Jul 2003 10:52:37 (EST", 1057074757},
        {"Tue, 1 Jul 2003 10:52:37 xyz -0500", 1057074757},  // the second token is tried
        {"Tue, 1 Jul 2003 10:52:37 xyz abc -0500", 1057056757},  // but not a third
        {"tue, 1 jul 2003 10:52:37 pdt", 1057056757 + 7 * 3600},
        {"Tue, 1 Jul 2003 10:52:37 z", 1057056757},
        {"Tue, 1 Jul 2003 10:52:37 +0000 M", 1057056757},
        {"Tue, 1 Jul 2003 10:52:37 -0530", 1057056757 + 5 * 3600 + 30 * 60},
        {"Tue, 1 Jul 2003 10:52:37 +", 1057056757},
        {"Tue, 1 Jul 2003 10:52", 1057056720},
        {"1 Jul 03 10:52:37 GMT", 1057056757},
        {"2 Jan 99 0:0:0", 915235200},
        {"2 Jan 69 0:0:0", 3124310400},
        {"5 September 2003 10:52", 1062759120},
        {"5 Sept. 2003 10:52", 1062759120},
        {"0 Jul 2003 10:52:37", 1056970357},  // out-of-range values carry over
        {"30 Jun 2003 34:52:37 +0000", 1057056757},
        {"29 Feb 2004 12:00", 1078056000},
        {"31 Dec 1969 23:00:00", -3600},
        {"1 Jan 1969 00:00:00", -31536000},
        {"Wednesday 1 Jul 2003 10:52:37 +0200", 1057049557},  // weekday not checked
    };
    for (const Row& row : rows) EXPECT_EQ(parse(row.date), row.instant) << row.date;
}

TEST(TimeParser, UnreadableDatesGiveTheMomentOfParsing) {
    const char* dates[] = {
        "",
        " , ,",
        "Tue,",
        "Tue, 1 Jul 1968 10:52:37",
        "Tue, 1 Jul 10000 10:52:37",
        "Tue, 1 Jul 2003 10.52.37",
        "Tue, 1 Jul 2003 10:52:37:01",
        "Tue, 1 Jul 2003 10::37",
        "Tue, 1 Jul 2003 10:",
        "Tue, 1 Jul 2003 :52",
        "Tue, 1 Jul 2003 10:5x",
        "Tue, 1 Jul 2003",
        "Tue, 32 Jul 2003 10:52",
        "Tue, -1 Jul 2003 10:52",
        "Tue, 1 Ju 2003 10:52",
        "Tue, 1 Foo 2003 10:52",
        "Tue, Jul 1 2003 10:52",
        "Tue, 1 Jul 2003x 10:52",
        "Tue, 99999999999999999999 Jul 2003 10:52",
        "Tue, 1 Jul 99999999999999999999 10:52",
    };
    for (const char* date : dates) EXPECT_EQ(parse(date), kNow) << date;
}

TEST(TimeParser, HugeNumbersStayInRange) {
    // Saturated numbers must not overflow the instant (UBSan watches this).
    int64_t t = parse("1 Jul 2003 99999999999999:99999999999999:99999999999999 -99999999999999");
    EXPECT_NE(t, kNow);
}

TEST(TimeParser, DefaultsToTheClock) {
    TimeParser parser("no date at all");
    EXPECT_GT(parser.time(), 1600000000);
}
