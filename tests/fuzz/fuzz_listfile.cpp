// The binary list files (from.dat, size.dat, ...): any bytes must load
// without reading outside them, what loaded must write and read back, and a
// file cut short keeps exactly the whole records before the cut.
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "filter/ListFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<WordFilter> words, wordsAgain;
    parseWordList(bytes, 0x40000413, words);
    std::string wordBytes = formatList(words);
    parseWordList(wordBytes, 0x40000413, wordsAgain);
    if (formatList(wordsAgain) != wordBytes) __builtin_trap();

    std::vector<SizeFilter> sizes, sizesAgain;
    parseSizeList(bytes, sizes);
    std::string sizeBytes = formatList(sizes);
    parseSizeList(sizeBytes, sizesAgain);
    if (formatList(sizesAgain) != sizeBytes) __builtin_trap();

    std::vector<WordFilter> part;
    parseWordList(bytes.substr(0, size / 2), 0x40000413, part);
    if (part.size() > words.size()) __builtin_trap();
    std::vector<WordFilter> head(words.begin(), words.begin() + static_cast<long>(part.size()));
    if (formatList(part) != formatList(head)) __builtin_trap();
    return 0;
}
