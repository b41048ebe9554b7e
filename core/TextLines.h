// Lines of a text file as the run-time library's text mode reads them: CR LF
// ends a line (a lone CR stays in it), and a reader with a line buffer of
// `piece` + 1 bytes gets a longer line in pieces, as fgets hands it out.
#pragma once
#include <cstddef>
#include <string_view>

class TextLines {
public:
    static constexpr size_t kWhole = static_cast<size_t>(-1);

    explicit TextLines(std::string_view text, size_t piece = kWhole) : text_(text), piece_(piece ? piece : 1) {}

    // The next line or piece without its line end; false when the text is
    // used up.
    bool next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        // The line feed found is kept until it is passed, so that a long run
        // without one is searched once and not once per piece.
        if (!searched_ || (lineFeed_ != std::string_view::npos && lineFeed_ < pos_)) {
            lineFeed_ = text_.find('\n', pos_);
            searched_ = true;
        }
        size_t end = lineFeed_;
        size_t stop = end == std::string_view::npos ? text_.size() : end;
        size_t content = stop - pos_;
        if (end != std::string_view::npos && content > 0 && text_[stop - 1] == '\r') --content;
        // The line feed takes a place in the buffer too.
        size_t needed = content + (end != std::string_view::npos ? 1 : 0);
        if (needed > piece_) {
            line = text_.substr(pos_, piece_);
            pos_ += piece_;
            ended_ = false;
            return true;
        }
        line = text_.substr(pos_, content);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
        ended_ = end != std::string_view::npos;
        return true;
    }

    // Whether the last line handed out had its line feed (false for a piece
    // of a longer line and for a last line without one).
    bool ended() const { return ended_; }

private:
    std::string_view text_;
    size_t piece_;
    size_t pos_ = 0;
    size_t lineFeed_ = 0;  // the next line feed at or after pos_, valid once searched_
    bool searched_ = false;
    bool ended_ = false;
};
