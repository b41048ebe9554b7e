#include "notify/TrayState.h"

#include "core/MessageText.h"
#include "core/Registry.h"
#include "core/Settings.h"

MailCounts countMail(std::vector<AccountCounts> accounts) {
    MailCounts counts;
    for (const AccountCounts& a : accounts) {
        counts.unreadTotal += a.unread;
        counts.messageTotal += a.messages;
        counts.checking |= a.state == AccountState::Checking || a.state == AccountState::Connecting;
        counts.failed |= a.state == AccountState::Failed;
    }
    counts.accounts = std::move(accounts);
    return counts;
}

namespace {

TraySlot stateSlot(bool checking, bool failed, const Settings& s) {
    if (checking && failed) {
        if (s.ErrorIcon && s.ShowChecking) return TraySlot::CheckError;
        if (s.ErrorIcon) return TraySlot::Error;
        if (s.ShowChecking) return TraySlot::Check;
        return TraySlot::Normal;
    }
    if (failed && s.ErrorIcon) return TraySlot::Error;
    if (checking && s.ShowChecking) return TraySlot::Check;
    return TraySlot::Normal;
}

uint32_t badgeColour(bool checking, bool failed) {
    if (checking && failed) return rgb(140, 140, 0);
    if (failed) return rgb(140, 0, 0);
    if (checking) return rgb(0, 0, 140);
    return rgb(0, 140, 0);
}

}  // namespace

TrayPicture trayPicture(const MailCounts& counts, const Settings& settings) {
    TrayPicture picture;
    picture.slot = stateSlot(counts.checking, counts.failed, settings);
    picture.count = settings.ShowNumberAllMsgs ? counts.messageTotal : counts.unreadTotal;
    picture.badge = picture.count != 0 || !settings.ShowChecking;
    picture.colour = badgeColour(counts.checking, counts.failed);
    return picture;
}

std::string buildMailSummary(const MailCounts& counts) {
    std::string text = formatMessage(MSG_NewMessagesSummary, {std::to_string(counts.unreadTotal)});
    for (const AccountCounts& a : counts.accounts) {
        if (a.unread == 0) continue;
        text += '\n';
        text += a.name;
        text += ": ";
        text += std::to_string(a.unread);
    }
    return text;
}

void writeMailSummary(Registry& registry, const std::string& summary, const std::string& key) {
    RegKey ssaver;
    if (ssaver.openForWriting(registry, kRegCurrentUser, key)) ssaver.writeString("MailInfo", summary);
}
