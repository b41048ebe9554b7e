// Which columns a list shows, in which order and how wide, kept in the
// registry: one subkey per column, named by its title, holding "Show",
// "Kind", "cx" and "order". Each list gives its built-in set; stored values
// that cannot be trusted give that set back, and nothing is written until
// the user changes the columns.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class Registry;

struct ColumnDescription {
    uint32_t kind = 0;   // message-table id of the title; identifies the column
    std::string title;   // the title text
    bool shown = true;
    uint32_t width = 0;  // pixels at 96 DPI
    uint32_t order = 0;  // position among the columns
};

class ColumnStore {
public:
    // Widths past this are damage (the column would be unusable).
    static constexpr uint32_t kMaxWidth = 4000;

    // A width as the user typed it: digits, blanks around them allowed, for
    // 0 to kMaxWidth. Anything else is false and leaves `width` as it was.
    static bool parseWidth(std::string_view text, uint32_t& width);

    // `key` below HKEY_CURRENT_USER; `builtIn` in its order, titles filled.
    ColumnStore(Registry& registry, std::string key, std::vector<ColumnDescription> builtIn);

    // The built-in set with the stored values applied. A subkey that lacks a
    // value, holds one of another type or names an unknown kind is passed
    // over; a width or order out of range, or two columns in one place, make
    // the whole stored set untrusted and the built-in set stays.
    void load();
    // Writes every column's subkey; false when the key cannot be written.
    bool save() const;

    // In display order (by `order`).
    const std::vector<ColumnDescription>& columns() const { return columns_; }
    const std::vector<ColumnDescription>& builtIn() const { return builtIn_; }
    // The shown columns, in display order.
    std::vector<ColumnDescription> shown() const;
    // The Columns dialog's OK: the rows in their new order (orders renumbered).
    void replace(std::vector<ColumnDescription> columns);

private:
    Registry& registry_;
    std::string key_;
    std::vector<ColumnDescription> builtIn_;
    std::vector<ColumnDescription> columns_;
};
