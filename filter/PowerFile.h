// power.dat and virus.dat: the power filters as "Key=value" lines, one line
// per setting, a "FilterName=" line starting each filter.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filter/Filters.h"

// The key matcher of the reader. `key` includes its "="; the line must begin
// with it, with case. Returns false when the line does not hold the key;
// true when it does, leaving `out` unchanged for an empty value (and for a
// number value that does not begin with a number). A yes/no value is on only
// when it is exactly "yes".
bool parseKey(std::string_view line, std::string_view key, bool& out);
bool parseKey(std::string_view line, std::string_view key, std::string& out);
bool parseKey(std::string_view line, std::string_view key, int32_t& out);

// Appends the filters of a power.dat text to `list`. Lines end in LF or CR LF
// and may be of any length; lines before the first named filter, and lines
// matching no key, are ignored. Never fails.
void parsePowerText(std::string_view text, std::vector<PowerFilter>& list);

// The power.dat text of `list` (CR LF line ends). Line breaks inside a value
// are written as blanks so that a value never reads back as further keys.
std::string formatPowerText(const std::vector<PowerFilter>& list);
