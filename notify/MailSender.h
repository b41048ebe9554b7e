// New messages and replies, handed to the user's mail program, which shows
// its own compose window: through Simple MAPI when the system offers it,
// otherwise through the system's "mailto:" handler.
#pragma once
#include <windows.h>

#include <string>

// What the compose window starts with. The texts are copies: a caller that
// takes them from an account's message copies them under the account's lock
// and calls sendMail after releasing it (the compose window is modal).
struct MailDraft {
    std::string to;       // the recipient as a From field gives it, "Name <a@b.c>"; empty: none
    std::string subject;  // empty: none
    std::string body;     // empty: none
};

// Opens the compose window for `draft`. Error boxes ("MAPI error") are owned
// by `owner` (null: no owner). True when the mail program took the draft or
// the user cancelled its compose window; false when an error box was shown.
bool sendMail(HWND owner, const MailDraft& draft);
