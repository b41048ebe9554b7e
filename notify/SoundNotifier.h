// The new-mail sounds: each account's sound once after a check that left
// unread mail or, with Repeat on, the sounds of the accounts with unread mail
// in turn until it is read. A sound that still plays is never cut short by
// the next one. Driven by the tray's 500 ms tick on the user-interface
// thread.
#pragma once
#include <cstdint>
#include <set>
#include <string>

#include "notify/TrayState.h"

class Settings;

// Plays the wave files; tests record what would be played instead.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Starts `file` in the background unless a sound is still playing;
    // false when it did not start.
    virtual bool play(const std::string& file) = 0;
    // Ends whatever plays.
    virtual void stop() = 0;
};

class SoundNotifier {
public:
    SoundNotifier(const Settings& settings, SoundPlayer& player);

    // A good check left unread mail: the account's sound is queued for the
    // next ticks (without Repeat). A file already queued is not added again.
    void newMailFound(const std::string& soundFile);
    // The tray starts: the queue is forgotten, and sounds are on if the
    // settings want them.
    void start();
    // The main window went away (or notifications were switched back on).
    void resume();
    // The main window was shown (or notifications were switched off): the
    // sound and the queue end unless sounds go on while the window is open.
    void quiet();
    // The tray stops: the sound ends, nothing more plays.
    void stop();
    // Every 500 ms, with the accounts as they are now.
    void tick(bool windowOpen, const MailCounts& counts);

    bool armed() const { return armed_; }
    const std::set<std::string>& queued() const { return queue_; }

private:
    void repeatTick(const MailCounts& counts);

    const Settings& settings_;
    SoundPlayer& player_;
    std::set<std::string> queue_;  // byte order of the paths
    bool armed_ = false;
    // The repeat cycle follows the account whose sound is due by its id:
    // names may repeat, and following a name can go round for ever.
    uint32_t repeatAccount_ = 0;
    std::string repeatSoundFile_;
    bool lastPlayAccepted_ = true;
};
