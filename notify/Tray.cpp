#include "notify/Tray.h"

#include <mmsystem.h>

#include <vector>

#include "core/EventLog.h"
#include "mail/Controller.h"
#include "notify/Badge.h"
#include "notify/MailClientLauncher.h"
#include "resources/resource.h"

namespace {

// The system's wave sounds, played in the background; a sound still playing
// makes the next one fail rather than cutting it short.
class WavePlayer : public SoundPlayer {
public:
    bool play(const std::string& file) override {
        return sndPlaySoundA(file.c_str(), SND_ASYNC | SND_NOSTOP) != FALSE;
    }
    void stop() override { sndPlaySoundA(nullptr, 0); }
};

}  // namespace

UINT Tray::taskbarCreated() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

Tray::Tray(TrayHost& host, std::unique_ptr<SoundPlayer> player)
    : host_(host), player_(player ? std::move(player) : std::make_unique<WavePlayer>()) {}

Tray::~Tray() = default;

SoundNotifier& Tray::notifier() {
    if (!sounds_) sounds_ = std::make_unique<SoundNotifier>(host_.engine().settings(), *player_);
    return *sounds_;
}

MailCounts Tray::counts() const {
    // The list changes only on this thread, so it is read without its lock;
    // each account's live state comes as one consistent snapshot.
    std::vector<AccountCounts> accounts;
    for (const auto& account : host_.engine().accounts()) {
        AccountStatus status = account->status();
        accounts.push_back({account->id(), account->name, status.state, status.unreadCount, status.messageCount,
                            account->soundFile});
    }
    return countMail(std::move(accounts));
}

HICON Tray::compose(const MailCounts& counts) {
    TrayPicture picture = trayPicture(counts, host_.engine().settings());
    HICON state = icons_.slotIcon(picture.slot);
    if (!picture.badge) return state;
    // The shell copies the icon it is given, so the last badge can go now.
    composed_ = composeBadge(host_.window(), state, icons_.size(), picture.colour, picture.count);
    return composed_ ? composed_.get() : state;
}

void Tray::show(HICON icon, const std::string& summary) {
    if (added_) notifyTray(NIM_MODIFY, host_.window(), kIconId, kCallback, icon, summary);
}

bool Tray::addIcon(HICON icon, const std::string& summary) {
    HWND window = host_.window();
    // An icon the shell still has (a broadcast without a restart) is there.
    added_ = notifyTray(NIM_ADD, window, kIconId, kCallback, icon, summary) ||
             notifyTray(NIM_MODIFY, window, kIconId, kCallback, icon, summary);
    if (added_) failedAdds_ = 0;
    return added_;
}

void Tray::start() {
    MailCounts now = counts();
    if (!addIcon(compose(now), buildMailSummary(now))) eventLog().log("The tray icon could not be added");
    if (state_ & Running) return;
    state_ = Running;
    notifier().start();
    SetTimer(host_.window(), kTimer, kTickMs, nullptr);
}

void Tray::stop() {
    if (!(state_ & Stopped)) {
        state_ = Stopped;
        notifier().stop();
        if (KillTimer(host_.window(), kTimer)) {
            MailCounts now = counts();
            show(compose(now), buildMailSummary(now));
        }
    }
    if (added_) {
        notifyTray(NIM_DELETE, host_.window(), kIconId);
        added_ = false;
    }
}

void Tray::refresh() {
    MailCounts now = counts();
    show(compose(now), buildMailSummary(now));
}

void Tray::settingsChanged() {
    if (state_ & Running) notifier().start();
    refresh();
}

// Without an icon the program must still be reachable: the icon is tried
// again on every tick, and a hidden window comes back when it stays missing.
void Tray::retryAdd(const MailCounts& counts, const std::string& summary) {
    if (addIcon(compose(counts), summary)) return;
    if (++failedAdds_ < kAddAttempts || host_.windowOpen()) return;
    failedAdds_ = 0;
    eventLog().log("The tray icon could not be added; the window is shown instead");
    SendMessageA(host_.window(), WM_COMMAND, ID_OPEN, 0);
}

void Tray::onTimer() {
    flashPhase_ = !flashPhase_;
    MailCounts now = counts();
    notifier().tick(host_.windowOpen(), now);
    std::string summary = buildMailSummary(now);
    writeMailSummary(host_.engine().registry(), summary);
    if (!added_) {
        if (state_ & Running) retryAdd(now, summary);
        return;
    }
    bool flashing = host_.engine().settings().FlashIcon && !(state_ & (Suspended | Stopped)) && now.unreadTotal != 0;
    show(flashing && !flashPhase_ ? icons_.slotIcon(TraySlot::Flash) : compose(now), summary);
}

void Tray::onCallback(LPARAM mouseMessage) {
    if (mouseMessage == WM_LBUTTONDBLCLK) onDoubleClick();
    else if (mouseMessage == WM_RBUTTONDOWN) showMenu();
}

void Tray::onDoubleClick() {
    HWND window = host_.window();
    switch (host_.engine().settings().LeftMouseButtonDoubleClickAction) {
    case 0:
        SendMessageA(window, WM_COMMAND, host_.windowOpen() ? ID_HIDE : ID_OPEN, 0);
        break;
    case 1:
        SendMessageA(window, WM_COMMAND, ID_CHECK_ALL, 0);
        break;
    default:
        break;
    }
}

void Tray::showMenu() {
    menu_.update(host_.engine(), state_ & Suspended, state_ & Running);
    menu_.track(host_.window());
}

void Tray::onTaskbarCreated() {
    if (!(state_ & Running)) return;
    MailCounts now = counts();
    addIcon(compose(now), buildMailSummary(now));
}

void Tray::setSuspended(bool suspended) {
    if (suspended) {
        state_ |= Suspended;
        notifier().quiet();
    } else {
        state_ &= ~static_cast<uint32_t>(Suspended);
        if (state_ & Running) notifier().resume();
    }
}

void Tray::toggleNotification() { setSuspended(!(state_ & Suspended)); }

void Tray::newMailFound(Account& account) {
    notifier().newMailFound(account.soundFile);
    // When an earlier report of this batch already handed the mail to the
    // client, this one has nothing left to hand over.
    if (!host_.engine().settings().RunMailerAfterNewMail || account.unreadCount() == 0) return;
    eventLog().log("Send RUN MAILER command.");
    SendMessageA(host_.window(), WM_COMMAND, ID_RUN_MAILER, 0);
}

void Tray::runMailer() {
    eventLog().log("RUN MAILER command has received.");
    Controller& engine = host_.engine();
    if (!startMailClient(engine.settings(), engine.registry())) return;
    std::vector<uint32_t> ids;
    for (const auto& account : engine.accounts()) {
        if (account->tryLockMessages()) {
            account->markAllRead();
            account->unlockMessages();
        }
        engine.recountUnread(*account);
        ids.push_back(account->id());
    }
    for (uint32_t id : ids) host_.refreshAccount(id);
    MailCounts now = counts();
    std::string summary = buildMailSummary(now);
    writeMailSummary(engine.registry(), summary);
    show(compose(now), summary);
}

Account* Tray::accountForCommand(UINT command) const {
    uint32_t id = menu_.accountFor(command);
    return id ? host_.engine().find(id) : nullptr;
}
