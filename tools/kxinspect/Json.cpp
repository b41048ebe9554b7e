#include "Json.h"

#include <windows.h>

#include <cstdio>

std::string toUtf8(std::wstring_view text)
{
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring fromUtf8(std::string_view text)
{
    if (text.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

void Json::separate()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back()) out_ += ',';
        first_.back() = false;
    }
}

Json& Json::beginObject()
{
    separate();
    out_ += '{';
    first_.push_back(true);
    return *this;
}

Json& Json::endObject()
{
    out_ += '}';
    first_.pop_back();
    return *this;
}

Json& Json::beginArray()
{
    separate();
    out_ += '[';
    first_.push_back(true);
    return *this;
}

Json& Json::endArray()
{
    out_ += ']';
    first_.pop_back();
    return *this;
}

Json& Json::key(const char* name)
{
    str(std::string_view(name));
    out_ += ':';
    afterKey_ = true;
    return *this;
}

Json& Json::str(std::string_view utf8)
{
    separate();
    out_ += '"';
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out_ += "\\\""; break;
        case '\\': out_ += "\\\\"; break;
        case '\n': out_ += "\\n"; break;
        case '\r': out_ += "\\r"; break;
        case '\t': out_ += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                snprintf(buf, sizeof buf, "\\u%04x", c);
                out_ += buf;
            } else {
                out_ += char(c);
            }
        }
    }
    out_ += '"';
    return *this;
}

Json& Json::str(std::wstring_view text)
{
    return str(std::string_view(toUtf8(text)));
}

Json& Json::num(int64_t value)
{
    separate();
    out_ += std::to_string(value);
    return *this;
}

Json& Json::unum(uint64_t value)
{
    separate();
    out_ += std::to_string(value);
    return *this;
}

Json& Json::boolean(bool value)
{
    separate();
    out_ += value ? "true" : "false";
    return *this;
}

Json& Json::null()
{
    separate();
    out_ += "null";
    return *this;
}

Json& Json::raw(std::string_view json)
{
    separate();
    out_ += json;
    return *this;
}

bool splitWords(std::wstring_view line, std::vector<std::wstring>& words, std::string& error)
{
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == L' ' || line[i] == L'\t' || line[i] == L'\r' || line[i] == L'\n')) ++i;
        if (i == line.size()) break;
        std::wstring word;
        bool quoted = false;
        for (; i < line.size(); ++i) {
            wchar_t c = line[i];
            if (!quoted && (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n')) break;
            if (c == L'"') {
                quoted = !quoted;
                continue;
            }
            if (quoted && c == L'\\') {
                if (++i == line.size()) break;
                switch (line[i]) {
                case L'"': word += L'"'; break;
                case L'\\': word += L'\\'; break;
                case L'n': word += L'\n'; break;
                case L'r': word += L'\r'; break;
                case L't': word += L'\t'; break;
                default:
                    error = "unknown escape in quotes";
                    return false;
                }
                continue;
            }
            word += c;
        }
        if (quoted) {
            error = "unterminated quote";
            return false;
        }
        words.push_back(std::move(word));
    }
    return true;
}
