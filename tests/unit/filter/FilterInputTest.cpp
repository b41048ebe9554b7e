#include <gtest/gtest.h>

#include "core/MessageText.h"
#include "filter/FilterInput.h"

namespace {

// A threshold times 1024 must fit its signed 32-bit field: the largest KB
// that does is taken, the next is refused instead of wrapping negative.
TEST(FilterInput, KilobytesWithinTheFieldsRange) {
    const struct {
        const char* text;
        uint32_t problem;
        int32_t kb;
    } cases[] = {
        {"0", 0, 0},          {" 100 ", 0, 100},
        {"2097151", 0, 2097151}, {"2097152", MSG_SizeLimitKb, 0},
        {"99999999999999999999", MSG_SizeLimitKb, 0},
        {"", MSG_SizeEnterKb, 0}, {"-1", MSG_SizeEnterKb, 0}, {"1e3", MSG_SizeEnterKb, 0},
    };
    for (const auto& c : cases) {
        int32_t kb = -7;
        EXPECT_EQ(parseKb(c.text, kb), c.problem) << c.text;
        EXPECT_EQ(kb, c.problem ? -7 : c.kb) << c.text;  // a refused text leaves the number alone
    }
    EXPECT_EQ(thresholdBytes({true, "2097151"}), 2147482624);
    EXPECT_EQ(thresholdBytes({false, "5"}), -1);
    EXPECT_EQ(thresholdKb(1535), 1);  // shown rounded toward zero
}

TEST(FilterInput, WhatTheSizeAndPowerEditorsRefuse) {
    const KbInput off{false, "0"}, zero{true, "0"}, five{true, "5"}, over{true, "2097152"}, blank{true, ""};
    const struct {
        KbInput larger, smaller;
        uint32_t size;        // the size editor
        uint32_t power;       // the power editor, named, no condition
        uint32_t powerWith;   // the power editor, named, a condition ticked
    } cases[] = {
        {off, off, MSG_SizeNothingTicked, MSG_FilterNoCondition, 0},
        {off, zero, MSG_SizeSmallerZero, MSG_FilterNoCondition, 0},
        {zero, off, 0, 0, 0},  // "Larger than" 0 KB is active
        {zero, zero, 0, 0, 0},
        {off, five, 0, 0, 0},
        {over, off, MSG_SizeLimitKb, MSG_SizeLimitKb, MSG_SizeLimitKb},
        {five, over, MSG_SizeLimitKb, MSG_SizeLimitKb, MSG_SizeLimitKb},
        {off, blank, MSG_SizeEnterKb, MSG_SizeEnterKb, MSG_SizeEnterKb},
        {KbInput{false, "2097152"}, five, 0, 0, 0},  // an unticked box is not read
    };
    for (const auto& c : cases) {
        std::string what = c.larger.text + (c.larger.ticked ? "+" : "-") + " / " + c.smaller.text +
                           (c.smaller.ticked ? "+" : "-");
        EXPECT_EQ(sizeInputProblem(c.larger, c.smaller), c.size) << what;
        EXPECT_EQ(powerInputProblem("name", false, c.larger, c.smaller), c.power) << what;
        EXPECT_EQ(powerInputProblem("name", true, c.larger, c.smaller), c.powerWith) << what;
    }
    EXPECT_EQ(powerInputProblem("", true, off, off), MSG_FilterNameMissing);
}

TEST(FilterInput, TextsAreOneLineOfAtMost259Characters) {
    EXPECT_EQ(takeText(std::string(300, 'w')), std::string(259, 'w'));
    EXPECT_EQ(takeText("a\r\nb"), "a  b");
    EXPECT_EQ(oneLine(std::string(300, 'w') + "\n"), std::string(300, 'w') + " ");
}

TEST(FilterInput, AddressesSortWithoutCaseAndKeepTwins) {
    std::vector<std::string> list = {"bob@x", "Carol@x", "anna@x", "\xe4@x", "Bob@x"};
    sortAddresses(list);
    EXPECT_EQ(list, (std::vector<std::string>{"anna@x", "bob@x", "Bob@x", "Carol@x", "\xe4@x"}));
    EXPECT_EQ(insertSorted(list, "BOB@x"), 3u);  // after its equals
    EXPECT_EQ(insertSorted(list, "anna@x"), 1u);
    EXPECT_EQ(list.size(), 7u);
}

}  // namespace
