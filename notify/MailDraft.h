// The texts a new message or a reply starts with, and the two forms the
// system's mail programs take them in: a Simple MAPI recipient and a
// "mailto:" link.
#pragma once
#include <cstddef>
#include <string>

// The texts are copies: a caller that takes them from an account's message
// copies them under the account's lock and lets go of it before the compose
// window (which is modal) opens.
struct MailDraft {
    std::string to;       // the recipient as a From field gives it, "Name <a@b.c>"; empty: none
    std::string subject;  // empty: none
    std::string body;     // empty: none
};

// The address Simple MAPI is given beside the recipient's display name:
// "SMTP:" and the address of `to` ("<...>" or the whole text); empty when
// that is not a mail address (e.g. the text of a missing From field), so
// that the mail program resolves the name itself.
std::string mapiAddress(const std::string& to);

// Links are kept to this length: longer ones are cut off by browsers, shells
// and mail programs somewhere between 2 and 32 thousand characters.
constexpr size_t kMailtoLimit = 2000;

// "mailto:" with the draft's address, subject and body, UTF-8 and
// percent-encoded as mail programs expect (RFC 6068). The body, and if need
// be the subject, is cut at a character so that the link stays within
// `limit`.
std::string mailtoLink(const MailDraft& draft, size_t limit = kMailtoLimit);
