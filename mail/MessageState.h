// The read-marks file of an account: which messages the user has read,
// remembered across runs as pairs of "MessageCrc32=<crc in hex>" and
// "MessageReaded=yes|no" lines in "<crc of the name in hex>.msg" in the
// program directory. Loading gives the account's saved marks (CRC and read
// mark); the first good check carries them over to its messages.
#pragma once
#include <string>
#include <string_view>

#include "core/Platform.h"
#include "mail/Account.h"

// "<identity CRC of the name, lowercase hex without leading zeros>.msg".
std::string messageStateFileName(const std::string& accountName);

// Writes the file for `account` whole, from its messages in list order, then
// its saved marks. The account's lock is taken for the copy; when it
// cannot be had the file stays as it is. False when the lock or the write
// failed; a failed write shows the system's text for the error and keeps the
// old file. A file that was there but could not be read (keepMarksFile) is
// never written.
bool saveMessageState(Account& account, const std::string& dir = programDirectory());

// Appends the entries of the account's file to its saved marks. False,
// without entries, when there is no file, or when it cannot be read
// (too large, locked): that is logged and sets keepMarksFile.
bool loadMessageState(Account& account, const std::string& dir = programDirectory());

// The file's text as the program reads it (line ends as on disk) into
// entries appended to `out`.
void parseMessageState(std::string_view text, std::vector<SavedMark>& out);
