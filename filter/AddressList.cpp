#include "filter/AddressList.h"

#include "core/Crc32.h"
#include "core/TextUtil.h"
#include "core/TextLines.h"

std::string extractAddress(std::string_view from) {
    size_t open = from.find('<'), close = from.find('>');
    if (open != std::string_view::npos && close != std::string_view::npos && open < close)
        return std::string(from.substr(open + 1, close - open - 1));
    return std::string(trim(from));
}

uint32_t addressHash(std::string_view address) { return address.empty() ? 0 : crc32(address); }

void parseAddressText(std::string_view text, std::vector<std::string>& list, size_t& total) {
    TextLines lines(text);
    std::string_view line;
    while (lines.next(line)) {
        if (line.empty()) continue;
        list.emplace_back(line);
        total += line.size();
    }
}

std::string formatAddressText(const std::vector<std::string>& list) {
    std::string out;
    for (const std::string& address : list) {
        if (address.empty()) continue;
        out += address;
        out += "\r\n";
    }
    return out;
}
