#include "mail/AccountCheck.h"

#include "core/Platform.h"
#include "mail/Pop3Session.h"
#include "mail/Transport.h"
#include "message/Message.h"

void CheckPolicy::mailboxOverBound(Account& account) { account.launch(account.launchFile); }

AccountCheck::AccountCheck(Account& account, ByteStream& stream, CheckGate& gate, CheckPolicy& policy,
                           CheckObserver& observer, CheckWait& wait)
    : account_(account), stream_(stream), gate_(gate), policy_(policy), observer_(observer), wait_(wait) {}

void AccountCheck::setState(AccountState state) {
    account_.setState(state);
    observer_.accountChanged(account_.id(), account_.status());
}

bool AccountCheck::run() {
    if (!gate_.begin(account_)) {
        if (!wait_.stopRequested()) setState(AccountState::Failed);
        return false;
    }
    bool ok = perform();
    gate_.end(account_);
    return ok;
}

bool AccountCheck::perform() {
    account_.setLastCheck(currentTime());
    setState(AccountState::Connecting);

    Transport transport(account_, stream_, gate_);
    Pop3Session session(account_, transport, policy_, wait_);
    session.retryPauseMs = retryPauseMs;
    if (keepHeaders) session.headerCache = &account_.headerCache;
    auto failed = [&] {
        transport.closeConnection();
        account_.resolved = false;
        if (!wait_.stopRequested()) setState(AccountState::Failed);
        return false;
    };
    if (!account_.resolved) {
        if (!transport.lookup()) return failed();
        account_.resolved = true;
    }
    if (!session.connectAndLogin()) return failed();
    setState(AccountState::Checking);
    session.requestCapabilities();
    MessageList list;
    if (!session.checkMailbox(list)) return failed();
    // QUIT commits the deletions: a stopped check sends none. A stop during
    // QUIT leaves them uncertain, like a refused QUIT.
    if (wait_.stopRequested() || !session.quit() || wait_.stopRequested()) return failed();

    // The user interface may hold the list for a while; a stop ends the wait.
    if (!account_.lockMessagesUnless([&] { return wait_.stopRequested(); })) return failed();
    account_.replaceMessages(std::move(list), session.takeHeaders());
    account_.unlockMessages();
    setState(AccountState::Sleeping);
    AccountStatus status = account_.status();
    if (account_.checkMailboxSize && status.mailboxSize > account_.mailboxBound) policy_.mailboxOverBound(account_);
    if (status.unreadCount > 0) observer_.newMailFound(account_.id());
    account_.setLastCheck(currentTime());
    return true;
}
