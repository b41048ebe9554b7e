// The binary list files (from.dat, size.dat, ...): any bytes must load
// without reading outside them, and what loaded must write and read back.
#include <cstdint>
#include <string_view>

#include "filter/ListFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<WordFilter> words, wordsAgain;
    parseWordList(bytes, 0x40000413, words);
    parseWordList(formatList(words), 0x40000413, wordsAgain);
    if (words.size() != wordsAgain.size()) __builtin_trap();
    for (size_t i = 0; i < words.size(); ++i)
        if (words[i].uncertain != wordsAgain[i].uncertain || words[i].disabled != wordsAgain[i].disabled)
            __builtin_trap();

    std::vector<SizeFilter> sizes, sizesAgain;
    parseSizeList(bytes, sizes);
    parseSizeList(formatList(sizes), sizesAgain);
    if (sizes.size() != sizesAgain.size()) __builtin_trap();
    for (size_t i = 0; i < sizes.size(); ++i)
        if (sizes[i].upperBound != sizesAgain[i].upperBound || sizes[i].lowerBound != sizesAgain[i].lowerBound)
            __builtin_trap();
    return 0;
}
