#include <gtest/gtest.h>

#include "core/TimeParser.h"

namespace {
constexpr int64_t kNow = 1234567890;  // stands for "the moment of parsing"
int64_t parse(const char* date) { return TimeParser(date, kNow).time(); }
}  // namespace

TEST(TimeParser, ReadsDatesAndZones) {
    struct Row {
        const char* date;
        int64_t instant;
    } rows[] = {
        {"Tue, 1 Jul 2003 10:52:37 +0200", 1057049557},
        {"Wednesday 1 Jul 2003 10:52:37 +0200", 1057049557},  // weekday not checked
        {"Tue, 1 Jul 2003 10:52:37 GMT", 1057056757},
        {"Tue, 1 Jul 2003 10:52:37 -0500 (EST)", 1057074757},
        {"Tue, 1 Jul 2003 10:52:37 (EST)", 1057056757},       // ")" stays part of the name
        {"Tue, 1 Jul 2003 10:52:37 (EST", 1057074757},
        {"Tue, 1 Jul 2003 10:52:37 xyz -0500", 1057074757},   // the second token is tried
        {"Tue, 1 Jul 2003 10:52:37 xyz abc -0500", 1057056757},  // but not a third
        {"tue, 1 jul 2003 10:52:37 pdt", 1057056757 + 7 * 3600},
        {"Tue, 1 Jul 2003 10:52:37 -0530", 1057056757 + 5 * 3600 + 30 * 60},
        {"Tue, 1 Jul 2003 10:52:37 +", 1057056757},
        {"Tue, 1 Jul 2003 10:52", 1057056720},
        {"1 Jul 03 10:52:37 GMT", 1057056757},  // two-digit years
        {"2 Jan 99 0:0:0", 915235200},
        {"2 Jan 69 0:0:0", 3124310400},
        {"5 Sept. 2003 10:52", 1062759120},
        {"0 Jul 2003 10:52:37", 1056970357},  // out-of-range values carry over
        {"30 Jun 2003 34:52:37 +0000", 1057056757},
        {"29 Feb 2004 12:00", 1078056000},
        {"31 Dec 1969 23:00:00", -3600},  // before 1970: negative
        {"1 Jan 1969 00:00:00", -31536000},
    };
    for (const Row& row : rows) EXPECT_EQ(parse(row.date), row.instant) << row.date;
}

TEST(TimeParser, UnreadableDatesGiveTheMomentOfParsing) {
    for (const char* date : {"", " , ,", "Tue,", "Tue, 1 Jul 2003", "Tue, 1 Jul 1968 10:52:37",
                             "Tue, 1 Jul 10000 10:52:37", "Tue, 1 Jul 2003 10.52.37", "Tue, 1 Jul 2003 10:52:37:01",
                             "Tue, 1 Jul 2003 10::37", "Tue, 1 Jul 2003 10:", "Tue, 1 Jul 2003 10:5x",
                             "Tue, 32 Jul 2003 10:52", "Tue, 1 Foo 2003 10:52", "Tue, Jul 1 2003 10:52",
                             "Tue, 1 Jul 2003x 10:52", "Tue, 99999999999999999999 Jul 2003 10:52"})
        EXPECT_EQ(parse(date), kNow) << date;
    // Saturated numbers must not overflow the instant (UBSan watches this).
    EXPECT_NE(parse("1 Jul 2003 99999999999999:99999999999999:99999999999999 -99999999999999"), kNow);
}
