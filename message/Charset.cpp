#include "message/Charset.h"

#include "core/EventLog.h"
#include "core/TextUtil.h"

namespace {

// KOI8-R 0x80..0xFF to Windows-1251. The box-drawing range maps to itself
// except the four letters and two signs that the checker always moved; the
// letters 0xC0..0xFF follow the two published code pages.
constexpr uint8_t kKoi8rHigh[128] = {
    0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F,
    0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0xBF, 0x9C, 0x9D, 0x9E, 0x9F,
    0xA0, 0xA1, 0xA2, 0xB1, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF,
    0xA3, 0xB3, 0xB2, 0xB0, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0x9B,
    0xFE, 0xE0, 0xE1, 0xF6, 0xE4, 0xE5, 0xF4, 0xE3, 0xF5, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE,
    0xEF, 0xFF, 0xF0, 0xF1, 0xF2, 0xF3, 0xE6, 0xE2, 0xFC, 0xFB, 0xE7, 0xF8, 0xFD, 0xF9, 0xF7, 0xFA,
    0xDE, 0xC0, 0xC1, 0xD6, 0xC4, 0xC5, 0xD4, 0xC3, 0xD5, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE,
    0xCF, 0xDF, 0xD0, 0xD1, 0xD2, 0xD3, 0xC6, 0xC2, 0xDC, 0xDB, 0xC7, 0xD8, 0xDD, 0xD9, 0xD7, 0xDA,
};

}  // namespace

uint8_t koi8rToWindows1251(uint8_t c) { return c < 0x80 ? c : kKoi8rHigh[c - 0x80]; }

void koi8rToWindows1251(std::string_view in, std::string& out) {
    size_t at = out.size();
    out.resize(at + in.size());
    char* dst = out.data() + at;
    for (char c : in) *dst++ = static_cast<char>(koi8rToWindows1251(static_cast<uint8_t>(c)));
}

void recode_text(std::string_view source, std::string& destination, uint32_t encoding) {
    if (source.empty()) return;
    try {
        switch (encoding) {
        case kEncodingCyrillicWindows:
        case kEncodingWestern:
            destination.assign(source);
            break;
        case kEncodingKoi8r:
            koi8rToWindows1251(source, destination);
            break;
        default:
            break;
        }
    } catch (...) {
        eventLog().log("Error in recode_text\n");
    }
}

bool charsetToEncoding(std::string_view charset, uint32_t& encoding) {
    if (equalsNoCase(charset, "koi8-r")) {
        encoding = kEncodingKoi8r;
    } else if (equalsNoCase(charset, "windows-1251")) {
        encoding = kEncodingCyrillicWindows;
    } else if (equalsNoCase(charset, "us-ascii") || equalsNoCase(charset, "windows-1252")) {
        encoding = kEncodingWestern;
    } else {
        return false;
    }
    return true;
}

uint32_t chooseEncoding(std::string_view charset, uint32_t viewAutoSelect, uint32_t viewCharset) {
    uint32_t encoding = viewCharset;
    if (viewAutoSelect == kViewAutoSelectChecked) charsetToEncoding(charset, encoding);
    return encoding;
}

std::string displayBody(std::string_view body, std::string_view charset, uint32_t viewAutoSelect,
                        uint32_t viewCharset) {
    std::string shown;
    recode_text(body, shown, chooseEncoding(charset, viewAutoSelect, viewCharset));
    return shown;
}
