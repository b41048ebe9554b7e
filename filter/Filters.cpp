#include "filter/Filters.h"

#include "core/MessageText.h"
#include "core/TextUtil.h"

bool matchText(std::string_view text, int32_t condition, std::string_view words, bool useCase) {
    if (text.empty() && words.empty()) return true;
    if (text.empty() || words.empty()) return false;
    bool found = useCase ? text.find(words) != std::string_view::npos
                         : lowerAscii(text).find(lowerAscii(words)) != std::string::npos;
    return condition == PowerFilter::DoesNotContain ? !found : found;
}

bool sizeMatches(int64_t size, const SizeFilter& f) {
    bool lower = f.lowerActive(), upper = f.upperActive();
    if (lower && !upper) return size < f.lowerBound;
    if (upper && !lower) return size > f.upperBound;
    if (!lower) return false;
    if (f.upperBound < f.lowerBound) return f.upperBound < size && size < f.lowerBound;
    if (f.upperBound > f.lowerBound) return size > f.upperBound || size < f.lowerBound;
    return false;
}

std::string nameText(uint32_t id) {
    return formatMessage(hasMessage(id) ? id : MSG_None);
}

std::string describe(const WordFilter& f) { return nameText(f.field) + ": " + f.words; }

std::string describe(const SizeFilter& f) {
    std::string out;
    if (f.lowerActive()) out = nameText(MSG_SmallerThan) + ": " + std::to_string(f.lowerBound);
    if (f.lowerActive() && f.upperActive()) out += " " + nameText(MSG_And) + " ";
    if (f.upperActive()) out += nameText(MSG_LargerThan) + ": " + std::to_string(f.upperBound);
    return out;
}

std::string describe(const PowerFilter& f) { return nameText(MSG_Power) + ": " + f.filterName; }
