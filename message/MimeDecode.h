// RFC 2047 encoded words in header values ("=?charset?B?...?=").
#pragma once
#include <string>
#include <string_view>

// Appends the displayable text of a header value to `out`: every encoded
// word decoded (base64 or Q), KOI8-R words converted to Windows-1251, the
// text between encoded words dropped. Returns true when at least one encoded
// word was decoded. An empty input leaves `out` untouched and returns false.
// Never fails: malformed words are copied or cut short, never read past.
bool mime_decode(std::string_view input, std::string& out);

// The two word decoders; each appends the decoded bytes to `out`.
void decodeBase64(std::string_view text, std::string& out);
void decodeQ(std::string_view text, std::string& out);
