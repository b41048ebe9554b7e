#include <gtest/gtest.h>

#include "core/Registry.h"
#include "support/MemoryRegistry.h"

// Each store reads its on/off values by the rule it always has; the rules
// differ exactly for values other than 0 and 1, and for odd types.
TEST(RegistryFlags, EachRuleReadsOddValuesItsOwnWay) {
    const char* kKey = "SOFTWARE\\Kestrix Tests\\Flags";
    struct Stored {
        const char* what;
        uint32_t type;  // kRegNone: no value at all
        std::string data;
    } const stored[] = {
        {"missing", kRegNone, ""},
        {"0", kRegDword, std::string(4, '\0')},
        {"1", kRegDword, std::string("\1\0\0\0", 4)},
        {"2", kRegDword, std::string("\2\0\0\0", 4)},
        {"0xFFFFFFFF", kRegDword, std::string(4, '\xff')},
        {"two bytes of 0", kRegBinary, std::string(2, '\0')},
        {"text", kRegSz, std::string("1\0", 2)},
    };
    // Per rule and stored value: 0 off, 1 on, '-' kept (the flag starts on).
    const struct {
        FlagRule rule;
        const char* results;
    } rules[] = {
        {FlagRule::OneIsTrue, "0010000"},
        {FlagRule::NonZeroIsTrue, "-01110-"},
        {FlagRule::DwordNonZero, "-0111--"},
    };
    for (const auto& r : rules) {
        for (size_t i = 0; i < std::size(stored); ++i) {
            SCOPED_TRACE(std::string(stored[i].what) + " under rule " + std::to_string(static_cast<int>(r.rule)));
            MemoryRegistry reg;
            RegKey key;
            ASSERT_TRUE(key.openForWriting(reg, kRegCurrentUser, kKey));
            if (stored[i].type != kRegNone) key.set("Flag", stored[i].type, stored[i].data);
            bool flag = true;
            bool decided = key.readFlag("Flag", flag, r.rule);
            char expected = r.results[i];
            EXPECT_EQ(decided, expected != '-');
            EXPECT_EQ(flag, expected != '0');
        }
    }
}
