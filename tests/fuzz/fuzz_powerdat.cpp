// power.dat text: any bytes must load without reading outside them, and what
// loaded must write and read back as the same filters (every field is
// written, so equal texts mean equal filters).
#include <cstdint>
#include <string_view>

#include "filter/PowerFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<PowerFilter> list, again;
    parsePowerText(std::string_view(reinterpret_cast<const char*>(data), size), list);
    std::string text = formatPowerText(list);
    parsePowerText(text, again);
    if (again.size() != list.size() || formatPowerText(again) != text) __builtin_trap();
    return 0;
}
