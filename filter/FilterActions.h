// What a matching power filter can do besides marking the message: launch a
// program or document, play a sound, report the message to a web address.
// Every operation fails silently.
#pragma once
#include <string>
#include <string_view>

class Message;

// Opens `path` through the shell with the verb "open"; nothing for an empty path.
void launchFile(const std::string& path);
// Plays a wave file and returns when it has ended; nothing for an empty name.
void playSoundFile(const std::string& file);
// GET of `url` through WinINet with a fresh download; the answer is read and
// discarded. Nothing for an empty URL.
void sendToUrl(const std::string& url);

// The three operations as the filter set calls them, so that tests can see
// what would have been done.
class ActionHost {
public:
    virtual ~ActionHost() = default;
    virtual void launchFile(const std::string& path) { ::launchFile(path); }
    virtual void playSound(const std::string& file) { ::playSoundFile(file); }
    virtual void sendToUrl(const std::string& url) { ::sendToUrl(url); }
};

ActionHost& systemActionHost();

// A query value with every byte except letters, digits and "-._~" written as
// "%XX", so that "&", "=", "?", "#" or a line end in a value cannot end it.
std::string percentEncode(std::string_view value);

// `base` followed by "?to=", "&cc=", "&bcc=", "&subject=", "&emailbody="
// and the encoded values. `base` is taken as the user wrote it (a base that
// already holds a query gets a second "?").
std::string reportUrl(std::string_view base, std::string_view to, std::string_view cc,
                      std::string_view bcc, std::string_view subject, std::string_view body);
std::string reportUrl(std::string_view base, const Message& message);
// The URL of the edit dialog's "Test" button, with sample values.
std::string sampleReportUrl(std::string_view base);
