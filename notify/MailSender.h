// New messages and replies, handed to the user's mail program, which shows
// its own compose window: through Simple MAPI when the system offers it,
// otherwise through the system's "mailto:" handler.
#pragma once
#include <windows.h>

#include "notify/MailDraft.h"

// Opens the compose window for `draft`. Error boxes ("MAPI error") are owned
// by `owner` (null: no owner). True when the mail program took the draft or
// the user cancelled its compose window; false when an error box was shown.
bool sendMail(HWND owner, const MailDraft& draft);
