// The engine of the checker program: the settings, the accounts in display
// order, the check monitor with its workers, the filters, and what is saved
// at exit. It turns the account commands into monitor operations. It shows
// nothing: the window side implements ControllerView, receives its reports
// on the workers' threads and posts them to its own.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "filter/FilterSet.h"
#include "mail/AccountStore.h"
#include "mail/CheckHooks.h"
#include "mail/CheckMonitor.h"
#include "mail/InternetConnection.h"

class Registry;

// What the engine needs of the window side. Every call but the last comes on
// a worker or monitor thread: post, never wait for the user-interface thread
// (confirmDeletion waits, but also for the check's stop request).
class ControllerView {
public:
    virtual ~ControllerView() = default;
    virtual void accountChanged(uint32_t accountId) = 0;
    virtual void newMailFound(uint32_t accountId) = 0;
    // Asks the user whether the account's marked messages may go; waits for
    // the answer or the check's stop request, whichever comes first.
    virtual bool confirmDeletion(uint32_t accountId, CheckWait& wait) = 0;
    // A filter asked for the mail client.
    virtual void runMailer() = 0;
};

class Controller : public CheckObserver, public CheckPolicy, public FilterObserver {
public:
    // Loads the settings and the filters; `icons` receives the stored tray
    // icon files. `dir` is where the data files lie.
    Controller(Registry& registry, ControllerView& view, IconSlots* icons, std::string dir = programDirectory());
    // Stops whatever still runs before anything it uses goes.
    ~Controller() override;
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // Start-up: the accounts of the account file with their read marks and
    // options, each handed to the monitor. False when the file could not be
    // read (missing or damaged; a damaged one has shown its box).
    bool loadAccounts();
    // Starts the monitor thread, which starts the workers.
    bool startMonitor();

    Settings& settings() { return settings_; }
    FilterSet& filters() { return filters_; }
    CheckMonitor& monitor() { return monitor_; }
    Registry& registry() { return registry_; }
    const std::string& directory() const { return dir_; }

    // --- the accounts, in display order (user-interface thread)
    const AccountList& accounts() const { return accounts_; }
    size_t count() const { return accounts_.size(); }
    Account* find(uint32_t id) const;
    int indexOf(uint32_t id) const;
    // The first account called `name`, or null.
    Account* findByName(const std::string& name) const;
    // The account after the one called `name`, wrapping round to the first
    // (the first too when no account has that name); null when there is none.
    Account* nextAfter(const std::string& name) const;
    // The list's lock, around every change of its order or members.
    bool lockList();
    void unlockList() { listLock_.unlock(); }

    // --- account commands; each false when nothing changed (the monitor's
    // lock could not be had, or no such account)
    bool checkNow(uint32_t id);
    void checkAll();
    bool stop(uint32_t id);
    // Disabled accounts are enabled, the others disabled.
    bool toggleDisabled(uint32_t id);
    // A new display order (a move, a drag, a sort): both dirty flags are set
    // and the account file is written at exit.
    bool moveTo(uint32_t id, size_t index);
    // `ids` names every account once, in the order wanted.
    bool arrange(const std::vector<uint32_t>& ids);
    // Stops the worker, deletes the registry options and the account; the
    // read-marks file stays. The account file is rewritten at once.
    bool remove(uint32_t id);
    // Appends an account made by New, Import or the wizard, starts its
    // worker when the monitor runs, and rewrites the account file.
    Account* add(const AccountInfo& info, const AccountOptions* options = nullptr);
    // Applies an edit: worker stopped, data and options replaced, resolved
    // address forgotten, worker started again; the account file rewritten.
    bool edit(uint32_t id, const AccountInfo& info, const AccountOptions& options);

    // The user trusts the server certificate with SHA-256 `fingerprint` for
    // the account: stored with its options, and the account checked again.
    bool trustCertificate(uint32_t id, const std::string& fingerprint);

    // Messages marked for deletion over all accounts (the exit question).
    uint32_t countMarked();
    // Recounts an account's unread messages after its marks changed.
    void recountUnread(Account& account);

    bool accountsDirty = false;
    bool accountsMenuDirty = true;

    // Exit: every worker stopped, then the monitor thread.
    void stopAll();
    // The account file when changed, every read-marks file, every account's
    // options. The window layout and the settings are the window side's.
    void saveAll();

private:
    // CheckObserver, on worker and monitor threads.
    void accountChanged(uint32_t id, const AccountStatus&) override;
    void newMailFound(uint32_t id) override;
    // CheckPolicy, on worker threads.
    void evaluate(Message& message) override;
    bool confirmDeletion(Account& account, CheckWait& wait) override;
    bool dontCalcDeleted() const override;
    // FilterObserver.
    void runMailer() override;
    bool saveAccountFile();
    // Whether an account goes by `name`, whatever the case of its letters.
    bool nameInUse(const std::string& name) const;

    Registry& registry_;
    ControllerView& view_;
    std::string dir_;
    // The account file was there but could not be read (too large, locked):
    // this run never replaces it, so that the accounts it holds are not lost.
    bool keepAccountFile_ = false;
    Settings settings_;
    FilterSet filters_;
    InternetConnection connection_;
    // The accounts outlive the monitor, which may still refer to them until it ends.
    AccountList accounts_;
    std::timed_mutex listLock_;
    CheckMonitor monitor_;
};
