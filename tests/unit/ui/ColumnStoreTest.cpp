#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/MemoryRegistry.h"
#include "ui/ColumnStore.h"

namespace {

const char kKey[] = "SOFTWARE\\Test\\Columns";

std::vector<ColumnDescription> builtIn() {
    return {{1, "From", true, 180, 0}, {2, "Subject", true, 190, 0}, {3, "Filter", false, 90, 0}};
}

struct Stored {
    std::string title;
    uint32_t show, kind, cx, order;
};

void store(MemoryRegistry& reg, const std::vector<Stored>& rows) {
    for (const Stored& s : rows) {
        std::string path = std::string(kKey) + "\\" + s.title;
        reg.putNumber(kRegCurrentUser, path, "Show", s.show);
        reg.putNumber(kRegCurrentUser, path, "Kind", s.kind);
        reg.putNumber(kRegCurrentUser, path, "cx", s.cx);
        reg.putNumber(kRegCurrentUser, path, "order", s.order);
    }
}

// "kind:width[h]" per column in display order; h marks a hidden one.
std::string layout(const ColumnStore& store) {
    std::string out;
    for (const ColumnDescription& c : store.columns())
        out += std::to_string(c.kind) + ":" + std::to_string(c.width) + (c.shown ? "" : "h") + " ";
    return out;
}

TEST(ColumnStore, StoredValuesApplyAndDamageGivesTheBuiltInSet) {
    const std::string builtInLayout = "1:180 2:190 3:90h ";
    struct Row {
        const char* name;
        std::vector<Stored> stored;
        std::string expected;
    } rows[] = {
        {"nothing stored", {}, builtInLayout},
        {"reordered, resized, shown",
         {{"From", 1, 1, 100, 2}, {"Subject", 0, 2, 50, 0}, {"Filter", 1, 3, 70, 1}},
         "2:50h 3:70 1:100 "},
        {"unknown kind passed over", {{"Other", 1, 99, 100, 0}}, builtInLayout},
        {"width past the limit", {{"From", 1, 1, 0xFFFFFFFB, 0}}, builtInLayout},
        {"order past the end", {{"From", 1, 1, 100, 7}}, builtInLayout},
        {"two columns in one place", {{"From", 1, 1, 100, 1}, {"Subject", 1, 2, 100, 1}}, builtInLayout},
        {"stored place collides with a built-in one", {{"From", 1, 1, 100, 1}}, builtInLayout},
        {"Show neither 0 nor 1", {{"From", 7, 1, 100, 0}}, builtInLayout},
    };
    for (const Row& row : rows) {
        MemoryRegistry reg;
        store(reg, row.stored);
        ColumnStore columns(reg, kKey, builtIn());
        columns.load();
        EXPECT_EQ(layout(columns), row.expected) << row.name;
    }
}

TEST(ColumnStore, SubkeysMissingAValueOrOfAnotherTypeArePassedOver) {
    MemoryRegistry reg;
    store(reg, {{"From", 1, 1, 100, 0}});
    reg.putNumber(kRegCurrentUser, std::string(kKey) + "\\Subject", "Kind", 2);  // no Show, cx, order
    reg.putString(kRegCurrentUser, std::string(kKey) + "\\Filter", "Show", "1");
    ColumnStore columns(reg, kKey, builtIn());
    columns.load();
    EXPECT_EQ(layout(columns), "1:100 2:190 3:90h ");
}

TEST(ColumnStore, NothingIsWrittenUntilSavedAndASavedLayoutLoadsBack) {
    MemoryRegistry reg;
    ColumnStore columns(reg, kKey, builtIn());
    columns.load();
    EXPECT_FALSE(reg.keyExists(kRegCurrentUser, kKey));
    auto rows = columns.columns();
    std::swap(rows[0], rows[2]);
    rows[0].shown = true;
    rows[2].width = 333;
    columns.replace(rows);
    ASSERT_TRUE(columns.save());
    ColumnStore again(reg, kKey, builtIn());
    again.load();
    EXPECT_EQ(layout(again), "3:90 2:190 1:333 ");
    EXPECT_EQ(again.shown().size(), 3u);
}

TEST(ColumnStore, TypedWidthsOutsideTheRangeKeepTheOldOne) {
    struct Row {
        const char* typed;
        uint32_t expected;  // the old width is 77
    } rows[] = {
        {"120", 120}, {" 0 ", 0},  {"4000", 4000}, {"4001", 77}, {"-5", 77},
        {"", 77},     {"12px", 77}, {"1 2", 77},    {"+5", 77},   {"0x10", 77},
        {"99999999999999999999", 77},
    };
    for (const Row& row : rows) {
        uint32_t width = 77;
        EXPECT_EQ(ColumnStore::parseWidth(row.typed, width), row.expected != 77) << row.typed;
        EXPECT_EQ(width, row.expected) << row.typed;
    }
}

}  // namespace
