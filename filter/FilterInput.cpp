#include "filter/FilterInput.h"

#include <algorithm>

#include "core/MessageText.h"
#include "core/TextUtil.h"

std::string oneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

std::string takeText(std::string_view text) { return oneLine(text.substr(0, std::min(text.size(), kMaxTypedText))); }

uint32_t parseKb(std::string_view text, int32_t& kb) {
    text = trim(text);
    if (text.empty()) return MSG_SizeEnterKb;
    int64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return MSG_SizeEnterKb;
        n = n * 10 + (c - '0');
        if (n > kMaxThresholdKb) return MSG_SizeLimitKb;
    }
    kb = static_cast<int32_t>(n);
    return 0;
}

int32_t thresholdBytes(const KbInput& input) {
    int32_t kb = 0;
    if (!input.ticked || parseKb(input.text, kb) != 0) return -1;
    return kb * 1024;
}

namespace {
// The first ticked box that cannot be taken, or 0; `smallerKb` gets the
// "Smaller than" number when it is ticked.
uint32_t boxesProblem(const KbInput& larger, const KbInput& smaller, int32_t& smallerKb) {
    int32_t kb = 0;
    if (larger.ticked)
        if (uint32_t problem = parseKb(larger.text, kb)) return problem;
    if (smaller.ticked)
        if (uint32_t problem = parseKb(smaller.text, smallerKb)) return problem;
    return 0;
}
}  // namespace

uint32_t sizeInputProblem(const KbInput& larger, const KbInput& smaller) {
    if (!larger.ticked && !smaller.ticked) return MSG_SizeNothingTicked;
    int32_t smallerKb = 0;
    if (uint32_t problem = boxesProblem(larger, smaller, smallerKb)) return problem;
    if (!larger.ticked && smallerKb == 0) return MSG_SizeSmallerZero;
    return 0;
}

uint32_t powerInputProblem(std::string_view name, bool anyCondition, const KbInput& larger, const KbInput& smaller) {
    if (name.empty()) return MSG_FilterNameMissing;
    int32_t smallerKb = 0;
    if (uint32_t problem = boxesProblem(larger, smaller, smallerKb)) return problem;
    if (!anyCondition && !larger.ticked && !(smaller.ticked && smallerKb != 0)) return MSG_FilterNoCondition;
    return 0;
}

namespace {
bool addressBefore(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) {
                                            return static_cast<unsigned char>(lowerAscii(x)) <
                                                   static_cast<unsigned char>(lowerAscii(y));
                                        });
}
}  // namespace

void sortAddresses(std::vector<std::string>& list) { std::stable_sort(list.begin(), list.end(), addressBefore); }

size_t insertSorted(std::vector<std::string>& list, std::string address) {
    size_t at = static_cast<size_t>(std::upper_bound(list.begin(), list.end(), address, addressBefore) - list.begin());
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), std::move(address));
    return at;
}
