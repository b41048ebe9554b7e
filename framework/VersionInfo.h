// Strings of the program file's own version record ("ProductName",
// "ProductVersion", "LegalCopyright", ...), in its first translation.
#pragma once
#include <windows.h>

#include <string>

// Empty when the module has no version record or no such string.
std::string versionString(const char* name, HMODULE module = nullptr);
