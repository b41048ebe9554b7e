// The friends and spammers lists: one address per line in friends.dat and
// spammers.dat; in memory only the addresses' CRCs are kept.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The address part of a From value: the text between the first "<" and the
// first ">" when both exist in that order, otherwise the whole text trimmed
// of blanks and control characters 9 to 13 at both ends.
std::string extractAddress(std::string_view from);

// The identity CRC of the address text, as it is (no case folding); 0 for an
// empty text. Two addresses with the same CRC are the same address.
uint32_t addressHash(std::string_view address);

// Appends the non-empty lines of an address file's text to `list` and adds
// their lengths to `total`. Lines end in LF or CR LF; the last may have no
// line end. Lines of any length are taken whole.
void parseAddressText(std::string_view text, std::vector<std::string>& list, size_t& total);

// The file text of `list`: every non-empty address followed by CR LF.
std::string formatAddressText(const std::vector<std::string>& list);
