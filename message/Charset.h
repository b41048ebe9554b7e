// KOI8-R to Windows-1251, the one conversion the checker performs, and the
// choice of how a message body is shown (View > Encoding).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Encoding identifiers: the command identifiers of the View > Encoding items.
enum : uint32_t {
    kEncodingCyrillicWindows = 40064,  // shown as stored
    kEncodingKoi8r = 40065,            // KOI8-R to Windows-1251
    kEncodingWestern = 40066,          // shown as stored
    kEncodingAutoSelect = 40067,       // the Auto-Select check item, not an encoding
};

// ViewAutoSelect holds the menu check state: this value when checked.
constexpr uint32_t kViewAutoSelectChecked = 8;

// The Windows-1251 byte for a KOI8-R byte; bytes below 0x80 are unchanged.
uint8_t koi8rToWindows1251(uint8_t c);

// Appends `in` to `out` with every byte of 0x80 or more converted from KOI8-R.
void koi8rToWindows1251(std::string_view in, std::string& out);

// Recodes a body for `encoding`: 40064 and 40066 copy the source into the
// destination, 40065 appends its KOI8-R conversion, any other identifier
// leaves the destination as it is. An empty source changes nothing.
void recode_text(std::string_view source, std::string& destination, uint32_t encoding);

// "koi8-r" -> 40065, "windows-1251" -> 40064, "us-ascii" and "windows-1252"
// -> 40066 (names compared without case). False, and `encoding` untouched,
// for any other name.
bool charsetToEncoding(std::string_view charset, uint32_t& encoding);

// The encoding to show a body in: the message's own charset under
// Auto-Select when it names one, else the user's choice. The arguments are
// the ViewAutoSelect and ViewCharset settings.
uint32_t chooseEncoding(std::string_view charset, uint32_t viewAutoSelect, uint32_t viewCharset);

// The body text as the message view shows it ("" for an empty body).
std::string displayBody(std::string_view body, std::string_view charset, uint32_t viewAutoSelect,
                        uint32_t viewCharset);
