// The tips of the tips window: one a line of "tips.txt", read as a line
// buffer of 1024 bytes reads it (a longer line goes on as the next tip).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The tips of the file at `path`, in order; blank lines are no tips. A
// missing or unreadable file gives none.
std::vector<std::string> readTips(const std::string& path);

// Which tip comes next, for the whole run: the first one asked for is picked
// by `random`, each later one is the one after it, wrapping after the last.
class TipCursor {
public:
    // The next tip of `tips`; empty when there are none.
    std::string next(const std::vector<std::string>& tips, uint32_t random);

private:
    bool started_ = false;
    size_t at_ = 0;
};
