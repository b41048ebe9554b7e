// What a check needs from the rest of the program: the check monitor's
// silence deadline, the filters and the user's confirmation of deletions.
// The defaults do nothing, match nothing and answer Cancel.
#pragma once

class Account;
class Message;

class CheckHooks {
public:
    virtual ~CheckHooks() = default;
    // The account is alive: its silence deadline starts again.
    virtual void touch(Account&) {}
    // The filters look at a newly fetched message and may mark it.
    virtual void evaluate(Message&) {}
    // Asks the user whether the marked messages of the account may be
    // deleted now; true for OK.
    virtual bool confirmDeletion(Account&) { return false; }
};
