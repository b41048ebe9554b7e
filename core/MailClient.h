// The system's default mail client.
#pragma once
#include <string>

class Registry;

// The command line of the default mail client registered under
// HKEY_LOCAL_MACHINE "SOFTWARE\Clients\Mail", with environment references
// expanded; an empty text when none is registered. The last command found in
// this process is returned again when a later lookup fails.
std::string findDefaultMailClient(Registry& registry);
