#include "notify/SoundNotifier.h"

#include "core/Settings.h"

SoundNotifier::SoundNotifier(const Settings& settings, SoundPlayer& player) : settings_(settings), player_(player) {}

void SoundNotifier::newMailFound(const std::string& soundFile) {
    if (!soundFile.empty()) queue_.insert(soundFile);
}

void SoundNotifier::start() {
    if (!settings_.PlaySound || armed_) return;
    queue_.clear();
    armed_ = true;
}

void SoundNotifier::resume() {
    if (settings_.PlaySound) armed_ = true;
}

void SoundNotifier::quiet() {
    if (settings_.RepeatWhenWindowIsOpen) return;
    player_.stop();
    queue_.clear();
}

void SoundNotifier::stop() {
    queue_.clear();
    player_.stop();
    armed_ = false;
}

void SoundNotifier::tick(bool windowOpen, const MailCounts& counts) {
    if (!settings_.PlaySound) return;
    if (windowOpen && !settings_.RepeatWhenWindowIsOpen) return;
    if (!armed_ || counts.accounts.empty()) return;
    if (settings_.Repeat) {
        repeatTick(counts);
        return;
    }
    // Each queued file once, one after the other: a file that does not start
    // stays first and is tried again on the next tick.
    if (!queue_.empty() && player_.play(*queue_.begin())) queue_.erase(queue_.begin());
}

void SoundNotifier::repeatTick(const MailCounts& counts) {
    const auto& accounts = counts.accounts;
    auto find = [&](uint32_t id) -> const AccountCounts* {
        for (const AccountCounts& a : accounts)
            if (a.id == id) return &a;
        return nullptr;
    };
    // A sound that was refused (one still plays) is tried again for the same
    // account; otherwise the turn passes to the next account with unread
    // mail, going once round the list at most.
    if (lastPlayAccepted_) {
        size_t start = 0;
        for (size_t i = 0; i < accounts.size(); ++i)
            if (accounts[i].id == repeatAccount_) start = i + 1;
        const AccountCounts* chosen = nullptr;
        for (size_t k = 0; counts.unreadTotal != 0 && k < accounts.size() && !chosen; ++k) {
            const AccountCounts& next = accounts[(start + k) % accounts.size()];
            if (next.unread > 0) chosen = &next;
        }
        repeatAccount_ = chosen ? chosen->id : 0;
        repeatSoundFile_ = chosen ? chosen->soundFile : std::string();
    }
    const AccountCounts* due = find(repeatAccount_);
    if (!repeatSoundFile_.empty() && due && due->unread > 0) {
        lastPlayAccepted_ = player_.play(repeatSoundFile_);
        return;
    }
    lastPlayAccepted_ = true;
}
