// The system's default mail client.
#pragma once
#include <string>
#include <string_view>

class Registry;

// The command line of the default mail client, with environment references
// expanded; an empty text when none is registered. The user's own choice
// (HKEY_CURRENT_USER "Software\Clients\Mail") comes before the machine's
// (HKEY_LOCAL_MACHINE "SOFTWARE\Clients\Mail"); the chosen client's command
// is looked for under the user's key first as well. The last command found
// in this process is returned again when a later lookup fails.
std::string findDefaultMailClient(Registry& registry);

// A program path chosen by the user as a command line: quoted when it holds
// a blank, so that "C:\Program Files\Mail\mail.exe" does not start
// "C:\Program.exe". A path already quoted is returned as it is.
std::string quotedProgramPath(std::string_view path);
