// power.dat text: any bytes must load without reading outside them, and what
// loaded must write and read back as the same filters.
#include <cstdint>
#include <string_view>

#include "filter/PowerFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<PowerFilter> list;
    parsePowerText(text, list);
    std::vector<PowerFilter> again;
    parsePowerText(formatPowerText(list), again);
    if (again.size() != list.size()) __builtin_trap();
    for (size_t i = 0; i < list.size(); ++i) {
        const PowerFilter &a = list[i], &b = again[i];
        if (a.filterName.empty() || a.priority != b.priority || a.upperBound != b.upperBound ||
            a.lowerBound != b.lowerBound || a.disabled != b.disabled || a.mark() != b.mark() ||
            a.fromWords.size() != b.fromWords.size() || a.toCcCondition != b.toCcCondition)
            __builtin_trap();
    }
    return 0;
}
