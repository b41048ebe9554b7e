// The few services of the operating system that portable code needs. The
// Windows build implements them with Win32 calls (PlatformWin.cpp); the
// native build with stand-ins good enough for tests (PlatformPosix.cpp).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The program directory: where the running executable lies, with a trailing
// separator ("C:\Program Files\Kestrix\"). All data files live there.
// overrideProgramDirectory replaces it for the rest of the run (kxcheck
// --data, tests); an empty text returns to the executable's directory.
std::string programDirectory();
void overrideProgramDirectory(const std::string& dir);

// Text of the ANSI code page to UTF-16 and back. Characters the code page
// cannot hold become the code page's default character.
std::u16string ansiToUtf16(std::string_view text);
std::string utf16ToAnsi(std::u16string_view text);

// The user's decimal separator; "." when it cannot be read.
std::string decimalSeparator();

// Seconds since 1970-01-01 UTC.
int64_t currentTime();

// Opens a file or address with the shell's default verb, shown normally.
// False when the shell refused it.
bool shellOpen(const std::string& path);
