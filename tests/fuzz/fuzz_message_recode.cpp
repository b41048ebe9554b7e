// Body recoding for display, with the encoding and charset taken from the input.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "message/Charset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static const uint32_t encodings[] = {kEncodingCyrillicWindows, kEncodingKoi8r, kEncodingWestern,
                                         kEncodingAutoSelect, 0};
    uint32_t encoding = encodings[data[0] % 5];
    size_t charsetLength = data[1] % 16;
    std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    std::string_view charset = rest.substr(0, charsetLength);
    std::string_view body = rest.substr(std::min(charsetLength, rest.size()));
    std::string dest;
    recode_text(body, dest, encoding);
    if (dest.size() != (encoding == kEncodingAutoSelect || encoding == 0 ? 0 : body.size())) std::abort();
    std::string shown = displayBody(body, charset, data[0] & 0x80 ? kViewAutoSelectChecked : 0, encoding);
    if (shown.size() > body.size()) std::abort();
    return 0;
}
