#include "ui/Tips.h"

#include "core/FileIO.h"
#include "core/TextLines.h"

std::vector<std::string> readTips(const std::string& path) {
    std::vector<std::string> tips;
    std::string raw;
    if (!readWholeFile(path, raw)) return tips;
    TextLines lines(raw, 1023);
    for (std::string_view line; lines.next(line);)
        if (!line.empty()) tips.emplace_back(line);
    return tips;
}

std::string TipCursor::next(const std::vector<std::string>& tips, uint32_t random) {
    if (tips.empty()) return {};
    at_ = started_ ? (at_ + 1) % tips.size() : random % tips.size();
    started_ = true;
    return tips[at_];
}
