// The Content-Type and Content-Disposition parameter parsers.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "message/Message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    ContentType c;
    Message::parse_content_type(text, c);
    if (!c.boundaryStart.empty() && (c.type != "multipart" || c.boundaryEnd != c.boundaryStart + "--")) std::abort();
    ContentDisposition d;
    Message::parse_content_disposition(text, d);
    for (const auto& [name, value] : d.params)
        if (name.empty() || value.empty()) std::abort();
    return 0;
}
