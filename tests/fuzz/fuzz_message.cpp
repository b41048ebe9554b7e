// Message construction from arbitrary TOP answers.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "message/Message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> lines = splitLines(text);
    Message m(lines, static_cast<int32_t>(size) - 1);
    // The walk never keeps more body-line text than it was given, plus one line.
    size_t kept = 0;
    for (const std::string& l : m.bodyLines()) kept += l.size() + 1;
    if (kept > 2 * size + 2) std::abort();
    m.markDeleted(size % 2 == 0);
    return 0;
}
