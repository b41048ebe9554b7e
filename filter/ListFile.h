// The binary list files from.dat, subject.dat, to.dat and size.dat, and the
// whole-file writing that every filter file goes through.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filter/Filters.h"

// Append the records of a list file to `list`. A missing file or another
// magic adds nothing; a damaged or cut-off record ends the loading and the
// records before it stay. Damaged strings are reported to the user.
void readWordList(const std::string& path, uint32_t field, std::vector<WordFilter>& list);
void readSizeList(const std::string& path, std::vector<SizeFilter>& list);
// The same from a file's bytes.
void parseWordList(std::string_view data, uint32_t field, std::vector<WordFilter>& list);
void parseSizeList(std::string_view data, std::vector<SizeFilter>& list);
// The bytes of a list file, and the list written to `path`.
std::string formatList(const std::vector<WordFilter>& list);
std::string formatList(const std::vector<SizeFilter>& list);
bool writeList(const std::string& path, const std::vector<WordFilter>& list);
bool writeList(const std::string& path, const std::vector<SizeFilter>& list);

// Replaces the file at `path` with `bytes` atomically; when that fails, the
// user is shown the system's text for the error and the result is false.
bool writeFileOrReport(const std::string& path, std::string_view bytes);
// Reads a text file the user chose; when that fails, the user is shown the
// system's text for the error and the result is false.
bool readFileOrReport(const std::string& path, std::string& out);
