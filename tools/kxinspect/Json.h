// The inspection tool's text formats: the JSON answers it writes (UTF-8, one
// line each) and the command lines it reads. Shared by the tool and the agent
// DLL that it loads into inspected programs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);

// Builds one JSON value. Commas and nesting are tracked, so callers write
// key/value pairs and never punctuation.
class Json {
public:
    Json& beginObject();
    Json& endObject();
    Json& beginArray();
    Json& endArray();
    Json& key(const char* name);
    Json& str(std::string_view utf8);
    Json& str(std::wstring_view text);
    Json& num(int64_t value);
    Json& unum(uint64_t value);
    Json& boolean(bool value);
    Json& null();
    // A value that is already JSON text (the agent's answer).
    Json& raw(std::string_view json);

    const std::string& text() const { return out_; }

private:
    void separate();
    std::string out_;
    std::vector<bool> first_;  // one per open object or array
    bool afterKey_ = false;
};

// Splits a command line into words: blanks separate, double quotes group,
// and inside quotes \" \\ \n \r \t stand for themselves. Returns false, with
// the reason in `error`, for an unterminated quote or an unknown escape.
bool splitWords(std::wstring_view line, std::vector<std::wstring>& words, std::string& error);
