// One check of an account, the same for the checker's workers and for
// kxcheck: the account's turn (and line), lookup, connection and login, the
// listing and the headers, the filters and the deletions, QUIT, and the new
// list swapped in for the old one. The caller picks the byte stream, so an
// account may reach its server through whatever stream it needs.
#pragma once
#include "mail/Account.h"
#include "mail/ByteStream.h"
#include "mail/CheckHooks.h"

class AccountCheck {
public:
    AccountCheck(Account& account, ByteStream& stream, CheckGate& gate, CheckPolicy& policy,
                 CheckObserver& observer, CheckWait& wait);

    // True when the check succeeded. Every change of the account's state is
    // reported as it happens. A failed check keeps the earlier list and
    // leaves the account failed with its first error; a check that was asked
    // to stop changes nothing but the state its stopper sets.
    bool run();

    unsigned retryPauseMs = 10000;  // between login attempts
    // The account's header cache serves this check and keeps its headers for
    // the next (a program that checks again); a single check only pipelines.
    bool keepHeaders = false;

private:
    bool perform();
    void setState(AccountState state);

    Account& account_;
    ByteStream& stream_;
    CheckGate& gate_;
    CheckPolicy& policy_;
    CheckObserver& observer_;
    CheckWait& wait_;
};
