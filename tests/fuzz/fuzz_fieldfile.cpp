// String-field files: any bytes read without reading outside them, the
// strings read are written and read back unchanged, and a file cut short
// gives the strings before the cut.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/FieldFile.h"
#include "core/UserMessage.h"

namespace {
// The strings of records shaped like the account file's.
std::vector<std::string> readRecords(std::string_view bytes) {
    FieldReader reader(bytes, "Fuzz");
    std::string magic, a, b;
    uint32_t count = 0, x;
    std::vector<std::string> strings;
    if (!reader.readHeader(magic, count)) return strings;
    for (uint32_t i = 0; i < count && reader.readString(a) && reader.readString(b) && reader.readU32(x) &&
                         reader.readU32(x) && reader.readU32(x);
         ++i)
        strings.insert(strings.end(), {a, b});
    if (reader.offset() > bytes.size()) __builtin_trap();
    return strings;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setUserMessageHandler([](uint32_t, const std::vector<std::string>&) {});
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> strings = readRecords(bytes);
    for (size_t cut : {size / 2, size - 1}) {
        if (cut >= size) continue;
        std::vector<std::string> part = readRecords(bytes.substr(0, cut));
        if (part.size() > strings.size() || !std::equal(part.begin(), part.end(), strings.begin()))
            __builtin_trap();
    }
    std::string magic, a;
    uint32_t count = 0;
    FieldWriter writer(static_cast<uint32_t>(strings.size()));
    for (const std::string& s : strings) writer.putString(s);
    FieldReader again(writer.bytes(), "Fuzz");
    if (!again.readHeader(magic, count) || count != strings.size()) __builtin_trap();
    for (const std::string& s : strings)
        if (!again.readString(a) || a != s) __builtin_trap();
    if (!again.atEnd()) __builtin_trap();
    return 0;
}
