#include <gtest/gtest.h>

#include "core/Crc32.h"
#include "filter/AddressList.h"

namespace {

TEST(ExtractAddress, Forms) {
    const struct {
        const char* from;
        const char* address;
    } cases[] = {
        {"", ""},
        {"John Smith <John.Smith@Example.com>", "John.Smith@Example.com"},
        {"<a@b>", "a@b"},
        {"  plain@example.com \t\r\n", "plain@example.com"},
        {"x > y <z@w>", "x > y <z@w>"},  // ">" first: the whole text, trimmed
        {"\"<>\" < spaced@x >", ""},       // the first pair wins, nothing trimmed inside
        {"Name <unclosed@x", "Name <unclosed@x"},
        {"<>", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(extractAddress(c.from), c.address) << c.from;
}

TEST(AddressHash, IsTheIdentityCrcWithoutFolding) {
    EXPECT_EQ(addressHash(""), 0u);
    EXPECT_EQ(addressHash("a@b"), crc32("a@b"));
    EXPECT_NE(addressHash("A@b"), addressHash("a@b"));
    EXPECT_NE(addressHash(" a@b"), addressHash("a@b"));
}

TEST(AddressText, LinesAndTotals) {
    std::vector<std::string> list{"kept"};
    size_t total = 4;
    parseAddressText("one@x\r\n\r\n  two@x  \nlast@x", list, total);
    EXPECT_EQ(list, (std::vector<std::string>{"kept", "one@x", "  two@x  ", "last@x"}));
    EXPECT_EQ(total, 4u + 5 + 9 + 6);  // the last line keeps its last character

    list.clear();
    parseAddressText(std::string(600, 'a') + "\n", list, total);
    ASSERT_EQ(list.size(), 1u);  // a long line stays one address
    EXPECT_EQ(list[0].size(), 600u);

    list.clear();
    parseAddressText("cr\rinside\n", list, total);
    EXPECT_EQ(list, (std::vector<std::string>{"cr\rinside"}));
}

TEST(AddressText, WritesNonEmptyEntriesInOrder) {
    EXPECT_EQ(formatAddressText({"b@x", "", "a@x", "a@x"}), "b@x\r\na@x\r\na@x\r\n");
    EXPECT_EQ(formatAddressText({}), "");
}

}  // namespace
