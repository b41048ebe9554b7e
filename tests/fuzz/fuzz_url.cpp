// Account URLs: any bytes split without reading outside them, and a valid
// split always puts the text back together from its parts.
#include <cstdint>
#include <string>

#include "core/Url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    Url url(text);
    if (url.valid()) {
        std::string joined = url.scheme() + "://" + url.user() + ":" + url.password() + "@" + url.host() + url.path();
        if (joined != url.url() || url.url() != text || url.path().empty()) __builtin_trap();
    } else if (!url.url().empty()) {
        __builtin_trap();
    }
    return 0;
}
