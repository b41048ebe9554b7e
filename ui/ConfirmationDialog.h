// The question a check asks before it deletes the messages marked in the
// account's list: their list, and OK counting down from 30 seconds, after
// which the dialog closes as Cancel. The list is the messages list's, with
// its columns, drawing, menu and keys; adding to filters and Reply are not
// offered here.
#pragma once
#include <windows.h>

#include <memory>

#include "framework/Dialog.h"
#include "ui/DeletionConfirmations.h"
#include "ui/MessageRows.h"

class Account;
class MessagesList;

class ConfirmationDialog : public Dialog {
public:
    // `source` lends the engine, the columns, the font and the report of
    // changed marks.
    ConfirmationDialog(Account& account, DeletionConfirmations& confirmations,
                       std::shared_ptr<DeletionConfirmations::Request> request, MessagesList& source);

    static constexpr int kCountdown = 30;
    MessageRows& list() { return list_; }

private:
    // Reply and the additions to filters stay greyed: the check is waiting
    // on its worker, which would become a second writer of the filters.
    class Rows : public MessageRows {
        bool offers(UINT id) const override;
    };

    bool onInit() override;
    bool onMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;
    void tick();

    Account& account_;
    DeletionConfirmations& confirmations_;
    std::shared_ptr<DeletionConfirmations::Request> request_;
    MessagesList& source_;
    Rows list_;
    int left_ = kCountdown;
};
