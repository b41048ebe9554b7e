// Date header values: any bytes must parse without reading outside them.
#include <cstdint>
#include <string_view>

#include "core/TimeParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    TimeParser parser(text, 0);
    (void)parser.time();
    Tokenizer tokens(text, " ,:");
    std::string_view token;
    while (tokens.next(token))
        if (token.empty() || token.data() < text.data() || token.data() + token.size() > text.data() + text.size())
            __builtin_trap();
    return 0;
}
