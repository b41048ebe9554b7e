// The question a check asks before it deletes the messages marked in the
// account's list: their list, and OK counting down from 30 seconds, after
// which the dialog closes as Cancel.
#pragma once
#include <windows.h>

#include <memory>

#include "framework/Dialog.h"
#include "ui/DeletionConfirmations.h"

class Account;

class ConfirmationDialog : public Dialog {
public:
    ConfirmationDialog(Account& account, DeletionConfirmations& confirmations,
                       std::shared_ptr<DeletionConfirmations::Request> request);

    static constexpr int kCountdown = 30;

private:
    bool onInit() override;
    bool onMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;
    void tick();

    Account& account_;
    DeletionConfirmations& confirmations_;
    std::shared_ptr<DeletionConfirmations::Request> request_;
    int left_ = kCountdown;
};
