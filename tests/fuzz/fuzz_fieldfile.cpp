// String-field files: any bytes read without reading outside them, and the
// strings read are written and read back unchanged.
#include <cstdint>
#include <string>
#include <vector>

#include "core/FieldFile.h"
#include "core/UserMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setUserMessageHandler([](uint32_t, const std::vector<std::string>&) {});
    FieldReader reader(std::string_view(reinterpret_cast<const char*>(data), size), "Fuzz");
    std::string magic, a, b;
    uint32_t count = 0, x;
    if (!reader.readHeader(magic, count)) return 0;
    std::vector<std::string> strings;  // records shaped like the account file's
    for (uint32_t i = 0; i < count && reader.readString(a) && reader.readString(b) && reader.readU32(x) &&
                         reader.readU32(x) && reader.readU32(x);
         ++i)
        strings.insert(strings.end(), {a, b});
    if (reader.offset() > size) __builtin_trap();

    FieldWriter writer(static_cast<uint32_t>(strings.size()));
    for (const std::string& s : strings) writer.putString(s);
    FieldReader again(writer.bytes(), "Fuzz");
    if (!again.readHeader(magic, count) || count != strings.size()) __builtin_trap();
    for (const std::string& s : strings)
        if (!again.readString(a) || a != s) __builtin_trap();
    if (!again.atEnd()) __builtin_trap();
    return 0;
}
