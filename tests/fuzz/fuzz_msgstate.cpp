// Read-marks files: any bytes parse in bounds, into at most one entry per CRC line.
#include <cstdint>
#include <string_view>

#include "mail/MessageState.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<SavedMark> list;
    parseMessageState(text, list);
    size_t crcLines = 0;
    for (size_t at = text.find("MessageCrc32="); at != std::string_view::npos; at = text.find("MessageCrc32=", at + 1))
        ++crcLines;
    if (list.size() > crcLines) __builtin_trap();
    return 0;
}
