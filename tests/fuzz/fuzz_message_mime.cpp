// Encoded-word decoding and its two decoders.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "message/MimeDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string out;
    bool encoded = mime_decode(text, out);
    if (!encoded && out != text) std::abort();  // nothing decoded: the text comes back as it was
    std::string b, q;
    decodeBase64(text, b);
    decodeQ(text, q);
    if (b.size() > size || q.size() > size) std::abort();
    return 0;
}
