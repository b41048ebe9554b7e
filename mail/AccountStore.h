// The two lasting forms of the accounts: the account file "kestrix.dat" in
// the program directory (name, server, login, port, interval and time-out of
// every account, in list order) and one registry key per account under the
// accounts key (the behaviour options). Errors name the module
// "Acc_Serialize".
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Platform.h"
#include "mail/Account.h"

class FieldReader;
class FieldWriter;
class Registry;

constexpr const char* kAccountModule = "Acc_Serialize";
constexpr const char* kAccountFileName = "kestrix.dat";
// The older account file, whose URLs are stored without scrambling.
constexpr std::string_view kAccountFileMagicOld = "KX00";

using AccountList = std::vector<std::unique_ptr<Account>>;

// Appends the account's record: name, the scrambled account URL, port,
// interval and time-out.
void saveRecord(const Account& account, FieldWriter& file);
// Reads one record into `account` ("KX10": scrambled URL, "KX00": plain).
// A damaged string shows "Unexpected Error in 'Acc_Serialize'.", data that
// ends inside the record the system's text for the end of a file; both give
// false and leave `account` unchanged.
bool loadRecord(Account& account, FieldReader& file, std::string_view magic);

// The accounts of an account file's bytes appended to `accounts`, without
// their read marks; returns and reports as loadAccounts does.
bool parseAccountFile(std::string_view data, AccountList& accounts, bool& dirty);
// Writes `dir`'s kestrix.dat whole ("KX10"). On failure shows the system's
// text for the error, keeps the old file and returns false.
bool saveAccounts(const AccountList& accounts, const std::string& dir = programDirectory());
// Appends the accounts of `dir`'s kestrix.dat to `accounts`, each with the
// placeholders of its read-marks file. False, silently, when there is no file
// or its magic is unknown; false after an error box when a record is damaged
// (the accounts before it stay). A "KX00" file sets `dirty`, so that the next
// save rewrites it in the current format; `dirty` is never cleared here. A
// file that is there but cannot be read (larger than kMaxDataFileBytes, say)
// is reported (a box) and sets *unreadable when given.
bool loadAccounts(AccountList& accounts, bool& dirty, const std::string& dir = programDirectory(),
                  bool* unreadable = nullptr);

// The account's key below the accounts key, relative to HKEY_CURRENT_USER;
// empty for an account without a name, which has no key of its own.
std::string optionsKeyPath(const std::string& accountName);
// Writes the options into the account's key, created when missing; gives up
// silently when the key cannot be opened or created.
void saveOptions(Registry& registry, const Account& account);
// Each value present replaces its field; a missing key or value keeps the
// field. An empty sound file afterwards becomes `defaultSoundFile`.
void loadOptions(Registry& registry, Account& account, const std::string& defaultSoundFile);
// Deletes the account's key; true when it is gone.
bool deleteOptions(Registry& registry, const std::string& accountName);

// The checker's start-up loading in one call: the accounts of `dir` with
// their read marks and then their registry options. Returns what
// loadAccounts returns.
bool loadAccountSet(Registry& registry, AccountList& accounts, bool& dirty, const std::string& defaultSoundFile,
                    const std::string& dir = programDirectory(), bool* unreadable = nullptr);
// The first account of `dir` called `name`, loaded as loadAccountSet does;
// null when the account file holds none (or none before its damage), or
// cannot be read (*unreadable then set, as loadAccounts does). The other
// records are only read past.
std::unique_ptr<Account> loadAccountNamed(Registry& registry, const std::string& name,
                                          const std::string& defaultSoundFile,
                                          const std::string& dir = programDirectory(), bool* unreadable = nullptr);
