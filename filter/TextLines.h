// Line splitting of the filters' text files as the run-time library's text
// mode reads them: CR LF becomes a line end, a lone CR stays in the line.
#pragma once
#include <string_view>

class TextLines {
public:
    explicit TextLines(std::string_view text) : text_(text) {}

    // The next line without its line end; false when the text is used up.
    bool next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(pos_, end - pos_);
        if (end < text_.size() && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos_ = end + 1;
        return true;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};
