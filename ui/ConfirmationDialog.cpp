#include "ui/ConfirmationDialog.h"

#include <cstdio>

#include "core/MessageText.h"
#include "mail/Account.h"
#include "resources/resource.h"

namespace {
constexpr UINT_PTR kTimer = 1;
}

ConfirmationDialog::ConfirmationDialog(Account& account, DeletionConfirmations& confirmations,
                                       std::shared_ptr<DeletionConfirmations::Request> request)
    : Dialog(IDD_CONFIRMATION, "Confirmation"),
      account_(account),
      confirmations_(confirmations),
      request_(std::move(request)) {}

bool ConfirmationDialog::onInit() {
    setItemText(IDC_CONFIRM_TEXT, formatMessage(MSG_ConfirmDeleteAccount) + " '" + account_.name + "' ?\r\n");
    tick();
    SetTimer(hwnd(), kTimer, 1000, nullptr);
    return true;
}

void ConfirmationDialog::tick() {
    // The tick after the count reached 0 answers Cancel; so does a check that stopped waiting.
    if (left_ < 0 || confirmations_.withdrawn(*request_)) {
        KillTimer(hwnd(), kTimer);
        end(IDCANCEL);
        return;
    }
    char caption[16];
    std::snprintf(caption, sizeof caption, "OK(%d)", left_);
    setItemText(IDOK, caption);
    --left_;
}

bool ConfirmationDialog::onMessage(UINT msg, WPARAM wp, LPARAM, INT_PTR& result) {
    if (msg != WM_TIMER || wp != kTimer) return false;
    tick();
    result = TRUE;
    return true;
}
