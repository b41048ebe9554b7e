// Starting the user's mail client: the MailClient setting, or the system's
// default client when that is empty.
#pragma once

class Registry;
class Settings;

// True when the client's process was created; the checker does not wait for
// it. False when no client is set or registered, or it could not be started.
bool startMailClient(const Settings& settings, Registry& registry);
