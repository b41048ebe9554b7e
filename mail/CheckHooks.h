// What one check of an account meets on its way, apart from its server:
//  - its waits (CheckWait), each of which ends on the check's stop request;
//  - the gate of whoever runs it (CheckGate): the account's turn on its
//    server, the dial-up line and the silence deadline;
//  - the program's policy for what it finds (CheckPolicy): the filters, the
//    deletion confirmation, the DontCalcDeleted setting;
//  - who hears of it (CheckObserver): state changes and new mail.
// The defaults let a check through, match nothing, answer Cancel and tell
// nobody.
#pragma once
#include <cstdint>

class Account;
class Message;
struct AccountStatus;

class CheckWait {
public:
    virtual ~CheckWait() = default;
    // Waits `ms` milliseconds (kForever: without limit); false, at once, when
    // the check is asked to stop.
    virtual bool pause(unsigned ms) = 0;
    bool stopRequested() { return !pause(0); }
    // The event that the stop request sets (a Windows HANDLE), for a wait
    // that also watches something else; null where there is none.
    virtual void* stopEvent() const { return nullptr; }
    // A long wait that is not the server's silence (the user's turn to
    // answer a question) keeps the check's silence deadline from running out.
    virtual void keepAlive() {}

    static constexpr unsigned kForever = 0xFFFFFFFFu;
};

class CheckGate {
public:
    virtual ~CheckGate() = default;
    // Before the check: its turn and its line. False means the check must
    // not run; end() is not called then.
    virtual bool begin(Account&) { return true; }
    virtual void end(Account&) {}
    // The server showed it is alive: the silence deadline starts again.
    virtual void touch(Account&) {}
    // The stop request came because the server stayed silent too long.
    virtual bool silenced(const Account&) const { return false; }
};

class CheckPolicy {
public:
    virtual ~CheckPolicy() = default;
    // The filters look at a newly fetched message and may mark it.
    virtual void evaluate(Message&) {}
    // May the marked messages of the account be deleted now? True for OK.
    // The answer may take long (it is the user's): wait for it and for the
    // check's stop request together (wait.stopEvent()), and give up when the
    // stop comes. A stopped check deletes nothing, whatever this returns.
    virtual bool confirmDeletion(Account&, CheckWait& wait) { return false; }
    // The setting that makes a deletion mark also a read mark.
    virtual bool dontCalcDeleted() const { return false; }
    // The listed sizes add up to more than the account's bound; by default
    // the account's launch file is opened.
    virtual void mailboxOverBound(Account& account);
};

// Called on the thread that changed the account (a worker or the monitor
// thread). A window must not be touched from there: post the id to the
// window's thread and look the account up there; an id that is no longer
// listed belongs to a removed account and is ignored.
class CheckObserver {
public:
    virtual ~CheckObserver() = default;
    // After every change of an account's state and after every check, with
    // the status as it was right after the change.
    virtual void accountChanged(uint32_t accountId, const AccountStatus&) {}
    // After a good check that leaves unread mail.
    virtual void newMailFound(uint32_t accountId) {}
};
