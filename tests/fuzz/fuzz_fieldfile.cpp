// String-field files: any bytes read without reading outside them; the
// strings read are written and read back unchanged.
#include <cstdint>
#include <string>
#include <vector>

#include "core/FieldFile.h"
#include "core/UserMessage.h"

namespace {
void quiet(uint32_t, const std::vector<std::string>&) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setUserMessageHandler(quiet);
    FieldReader reader(std::string_view(reinterpret_cast<const char*>(data), size), "Fuzz");
    std::string magic;
    uint32_t count = 0;
    if (!reader.readHeader(magic, count)) return 0;
    // Records shaped like the account file's: two strings and three integers.
    std::vector<std::string> strings;
    for (uint32_t i = 0; i < count && !reader.failed(); ++i) {
        std::string a, b;
        uint32_t x, y, z;
        if (reader.readString(a) && reader.readString(b) && reader.readU32(x) && reader.readU32(y) &&
            reader.readU32(z)) {
            strings.push_back(a);
            strings.push_back(b);
        }
    }
    if (reader.offset() > size) __builtin_trap();

    FieldWriter writer(static_cast<uint32_t>(strings.size()));
    for (const std::string& s : strings) writer.putString(s);
    FieldReader again(writer.bytes(), "Fuzz");
    if (!again.readHeader(magic, count) || count != strings.size()) __builtin_trap();
    for (const std::string& s : strings) {
        std::string t;
        if (!again.readString(t) || t != s) __builtin_trap();
    }
    if (!again.atEnd()) __builtin_trap();
    return 0;
}
