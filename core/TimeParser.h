// Mail dates (RFC 822 style) to instants, and the tokenizer they share with
// the filters.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Splits a text at any character of a separator set into the maximal runs of
// other characters, in order.
class Tokenizer {
public:
    Tokenizer(std::string_view text, std::string_view separators);
    bool next(std::string_view& token);  // false when no token is left

private:
    std::string_view text_, separators_;
    size_t pos_ = 0;
};

// Reads the value of a Date header; a date it cannot read completely gives
// the moment of parsing. Never fails the caller.
class TimeParser {
public:
    explicit TimeParser(std::string_view date);
    // The same with the moment of parsing given (tests).
    TimeParser(std::string_view date, int64_t now);
    int64_t time() const { return time_; }  // seconds since 1970-01-01 UTC

private:
    void parse(std::string_view date);

    int64_t time_;
};
