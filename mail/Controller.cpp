#include "mail/Controller.h"

#include <algorithm>

#include "core/EventLog.h"
#include "core/Registry.h"
#include "core/TextUtil.h"
#include "mail/MessageState.h"
#include "message/Message.h"

Controller::Controller(Registry& registry, ControllerView& view, IconSlots* icons, std::string dir)
    : registry_(registry),
      view_(view),
      dir_(std::move(dir)),
      settings_(registry, icons),
      filters_(registry, this, dir_),
      connection_(systemDialer(), [this] { return settings_.InetConnectionType == 1; }),
      monitor_(*this, *this, connection_) {}

Controller::~Controller() {
    // A worker still running would report on, and read, accounts about to go.
    stopAll();
}

bool Controller::loadAccounts() {
    bool loaded = loadAccountSet(registry_, accounts_, accountsDirty, settings_.SoundFile, dir_, &keepAccountFile_);
    for (auto& account : accounts_) monitor_.addAccount(*account);
    return loaded;
}

bool Controller::startMonitor() { return monitor_.startMonitor(); }

Account* Controller::find(uint32_t id) const {
    for (const auto& account : accounts_)
        if (account->id() == id) return account.get();
    return nullptr;
}

Account* Controller::findByName(const std::string& name) const {
    for (const auto& account : accounts_)
        if (account->name == name) return account.get();
    return nullptr;
}

Account* Controller::nextAfter(const std::string& name) const {
    if (accounts_.empty()) return nullptr;
    for (size_t i = 0; i < accounts_.size(); ++i)
        if (accounts_[i]->name == name) return accounts_[(i + 1) % accounts_.size()].get();
    return accounts_.front().get();
}

int Controller::indexOf(uint32_t id) const {
    for (size_t i = 0; i < accounts_.size(); ++i)
        if (accounts_[i]->id() == id) return static_cast<int>(i);
    return -1;
}

bool Controller::lockList() {
    if (listLock_.try_lock_for(std::chrono::seconds(10))) return true;
    eventLog().log("The account list is busy; the command was not carried out");
    return false;
}

bool Controller::checkNow(uint32_t id) {
    Account* account = find(id);
    return account && monitor_.checkNow(*account);
}

void Controller::checkAll() {
    for (const auto& account : accounts_) monitor_.checkNow(*account);
}

bool Controller::stop(uint32_t id) {
    Account* account = find(id);
    return account && monitor_.stop(*account);
}

bool Controller::toggleDisabled(uint32_t id) {
    Account* account = find(id);
    if (!account) return false;
    bool done = account->state() == AccountState::Disabled ? monitor_.enable(*account) : monitor_.disable(*account);
    if (done) accountsDirty = true;
    return done;
}

bool Controller::moveTo(uint32_t id, size_t index) {
    int from = indexOf(id);
    if (from < 0 || index >= accounts_.size()) return false;
    std::vector<uint32_t> ids;
    for (const auto& account : accounts_) ids.push_back(account->id());
    ids.erase(ids.begin() + from);
    ids.insert(ids.begin() + static_cast<std::ptrdiff_t>(index), id);
    return arrange(ids);
}

bool Controller::arrange(const std::vector<uint32_t>& ids) {
    if (ids.size() != accounts_.size()) return false;
    std::vector<size_t> from;
    for (uint32_t id : ids) {
        int index = indexOf(id);
        if (index < 0 || std::find(from.begin(), from.end(), static_cast<size_t>(index)) != from.end()) return false;
        from.push_back(static_cast<size_t>(index));
    }
    if (std::is_sorted(from.begin(), from.end())) return false;  // the order as it is
    // A move holds the monitor's lock like every other change of an account's place.
    if (!monitor_.lock_monitor()) return false;
    if (!lockList()) {
        monitor_.unlock_monitor();
        return false;
    }
    AccountList ordered;
    for (size_t index : from) ordered.push_back(std::move(accounts_[index]));
    accounts_ = std::move(ordered);
    unlockList();
    monitor_.unlock_monitor();
    accountsDirty = true;
    accountsMenuDirty = true;
    return true;
}

bool Controller::remove(uint32_t id) {
    int index = indexOf(id);
    if (index < 0) return false;
    Account& account = *accounts_[static_cast<size_t>(index)];
    // Only once no worker and no queue refers to it may the account go.
    if (!monitor_.removeAccount(account)) return false;
    if (!lockList()) {
        monitor_.addAccount(account);
        return false;
    }
    deleteOptions(registry_, account.name);
    accounts_.erase(accounts_.begin() + index);
    unlockList();
    accountsDirty = true;
    accountsMenuDirty = true;
    saveAccountFile();
    return true;
}

Account* Controller::add(const AccountInfo& info, const AccountOptions* options) {
    auto account = std::make_unique<Account>(info);
    if (options) static_cast<AccountOptions&>(*account) = *options;
    // New accounts have not been through loading, which gives the default sound.
    if (account->soundFile.empty()) account->soundFile = settings_.SoundFile;
    if (!lockList()) return nullptr;
    accounts_.push_back(std::move(account));
    Account* added = accounts_.back().get();
    unlockList();
    monitor_.addAccount(*added);
    accountsDirty = true;
    accountsMenuDirty = true;
    saveAccountFile();
    // Some of what the wizard asked (secure authorization) lives in the options.
    saveOptions(registry_, *added);
    return added;
}

bool Controller::edit(uint32_t id, const AccountInfo& info, const AccountOptions& options) {
    Account* account = find(id);
    if (!account) return false;
    std::string oldName = account->name;
    if (!monitor_.reconfigure(*account, info, options)) return false;
    accountsDirty = true;
    accountsMenuDirty = true;
    saveAccountFile();
    // The options and the read marks are kept under the account's name: a
    // renamed account takes them along (the old options stay while another
    // account still goes by the old name).
    if (oldName != account->name) {
        if (!nameInUse(oldName)) deleteOptions(registry_, oldName);
        saveMessageState(*account, dir_);
    }
    saveOptions(registry_, *account);
    return true;
}

bool Controller::nameInUse(const std::string& name) const {
    for (const auto& account : accounts_)
        if (equalsNoCase(account->name, name)) return true;
    return false;
}

bool Controller::trustCertificate(uint32_t id, const std::string& fingerprint) {
    Account* account = find(id);
    if (!account) return false;
    AccountInfo info = *account;
    info.trustedCertificate = fingerprint;
    AccountOptions options = *account;
    // Started again at once, or checked now when only checked by hand.
    if (!monitor_.reconfigure(*account, info, options)) return false;
    saveOptions(registry_, *account);
    if (account->checkOnlyManually) monitor_.checkNow(*account);
    return true;
}

uint32_t Controller::countMarked() {
    uint32_t marked = 0;
    for (const auto& account : accounts_) {
        if (!account->tryLockMessages()) continue;
        marked += account->countMarked();
        account->unlockMessages();
    }
    return marked;
}

void Controller::recountUnread(Account& account) {
    if (!account.tryLockMessages()) return;
    uint32_t unread = 0;
    for (const auto& m : account.messages) unread += !m->read();
    account.setUnreadCount(unread);
    account.unlockMessages();
}

void Controller::stopAll() {
    monitor_.stopAllWorkers();
    monitor_.stopMonitorThread();
}

bool Controller::saveAccountFile() {
    if (keepAccountFile_) {
        eventLog().log("Error: %s%s not saved: it could not be read", dir_.c_str(), kAccountFileName);
        return false;
    }
    if (!saveAccounts(accounts_, dir_)) return false;
    accountsDirty = false;
    return true;
}

void Controller::saveAll() {
    if (accountsDirty) saveAccountFile();
    for (const auto& account : accounts_) saveMessageState(*account, dir_);
    for (const auto& account : accounts_) saveOptions(registry_, *account);
}

void Controller::accountChanged(uint32_t id, const AccountStatus&) { view_.accountChanged(id); }
void Controller::newMailFound(uint32_t id) { view_.newMailFound(id); }
void Controller::evaluate(Message& message) { filters_.evaluate(message); }
bool Controller::confirmDeletion(Account& account, CheckWait& wait) {
    return view_.confirmDeletion(account.id(), wait);
}
bool Controller::dontCalcDeleted() const { return settings_.DontCalcDeleted; }
void Controller::runMailer() { view_.runMailer(); }
