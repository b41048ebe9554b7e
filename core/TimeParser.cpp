#include "core/TimeParser.h"

#include "core/TextUtil.h"

#include <cstring>

#include "core/Platform.h"

Tokenizer::Tokenizer(std::string_view text, std::string_view separators)
    : text_(text), separators_(separators) {}

bool Tokenizer::next(std::string_view& token) {
    size_t start = text_.find_first_not_of(separators_, pos_);
    if (start == std::string_view::npos) {
        pos_ = text_.size();
        return false;
    }
    size_t end = text_.find_first_of(separators_, start);
    if (end == std::string_view::npos) end = text_.size();
    token = text_.substr(start, end - start);
    pos_ = end;
    return true;
}

namespace {

const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct Zone {
    const char* name;
    int offset;
};
const Zone kZones[] = {{"UT", 0},     {"GMT", 0},  {"EST", -500}, {"EDT", -400}, {"CST", -600},
                       {"CDT", -500}, {"MST", -700}, {"MDT", -600}, {"PST", -800}, {"PDT", -700},
                       {"Z", 0},      {"A", -100}, {"M", -1200},  {"N", 100},    {"Y", 1200}};

// Numbers in dates are short; anything longer saturates here, which keeps
// the arithmetic below far from overflow while no real date is affected.
constexpr int64_t kNumberCap = 999999999;

// Index of the name whose three letters begin the token, or -1.
template <size_t N>
int findPrefix(std::string_view token, const char* const (&names)[N]) {
    if (token.size() < 3) return -1;
    for (size_t i = 0; i < N; ++i)
        if (equalsNoCase(token.substr(0, 3), names[i])) return static_cast<int>(i);
    return -1;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A non-empty run of digits only.
bool readDigits(std::string_view s, int64_t& value) {
    if (s.empty()) return false;
    value = 0;
    for (char c : s) {
        if (!isDigit(c)) return false;
        value = value * 10 + (c - '0');
        if (value > kNumberCap) value = kNumberCap;
    }
    return true;
}

// "h:m" or "h:m:s", digits and colons only, every number present.
bool readTime(std::string_view token, int64_t& h, int64_t& m, int64_t& s) {
    size_t first = token.find(':');
    if (first == std::string_view::npos) return false;
    size_t second = token.find(':', first + 1);
    if (second != std::string_view::npos && token.find(':', second + 1) != std::string_view::npos)
        return false;
    s = 0;
    if (!readDigits(token.substr(0, first), h)) return false;
    if (second == std::string_view::npos) return readDigits(token.substr(first + 1), m);
    return readDigits(token.substr(first + 1, second - first - 1), m) &&
           readDigits(token.substr(second + 1), s);
}

// "+hhmm" or "-hhmm" (whatever digits follow the sign), or a zone name,
// optionally after "(".
bool readZone(std::string_view token, int64_t& offset) {
    if (token[0] == '+' || token[0] == '-') {
        int64_t value = 0;
        for (size_t i = 1; i < token.size() && isDigit(token[i]); ++i) {
            value = value * 10 + (token[i] - '0');
            if (value > kNumberCap) value = kNumberCap;
        }
        offset = token[0] == '-' ? -value : value;
        return true;
    }
    if (token[0] == '(') token.remove_prefix(1);
    for (const Zone& zone : kZones) {
        if (equalsNoCase(token, zone.name)) {
            offset = zone.offset;
            return true;
        }
    }
    return false;
}

// Days from 1970-01-01 to the first of the month (proleptic Gregorian),
// negative before 1970.
int64_t daysFromCivil(int64_t year, int64_t month) {
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yoe = year - era * 400;
    int64_t mp = (month + 9) % 12;
    int64_t doy = (153 * mp + 2) / 5;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace

TimeParser::TimeParser(std::string_view date) : time_(currentTime()) { parse(date); }

TimeParser::TimeParser(std::string_view date, int64_t now) : time_(now) { parse(date); }

void TimeParser::parse(std::string_view date) {
    Tokenizer tokens(date, " ,");
    std::string_view token;
    if (!tokens.next(token)) return;

    if (findPrefix(token, kWeekdays) >= 0 && !tokens.next(token)) return;

    int64_t day;
    if (!readDigits(token, day) || day > 31) return;

    if (!tokens.next(token)) return;
    int month = findPrefix(token, kMonths);
    if (month < 0) return;

    int64_t year;
    if (!tokens.next(token) || !readDigits(token, year)) return;
    if (year >= 100) {
        // Years past 9999 are no mail date; they would only feed overflow.
        if (year < 1969 || year > 9999) return;
    } else {
        year += year < 70 ? 2000 : 1900;
    }

    int64_t hours, minutes, seconds;
    if (!tokens.next(token) || !readTime(token, hours, minutes, seconds)) return;

    int64_t offset = 0;
    for (int tries = 0; tries < 2 && tokens.next(token); ++tries)
        if (readZone(token, offset)) break;

    int64_t days = daysFromCivil(year, month + 1) + day - 1;
    int64_t instant = days * 86400 + hours * 3600 + minutes * 60 + seconds;
    time_ = instant - ((offset / 100) * 3600 + (offset % 100) * 60);
}
