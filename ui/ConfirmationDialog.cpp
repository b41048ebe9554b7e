#include "ui/ConfirmationDialog.h"

#include <cstdio>

#include "core/MessageText.h"
#include "mail/Account.h"
#include "resources/resource.h"
#include "ui/MessagesList.h"

namespace {
constexpr UINT_PTR kTimer = 1;
}

ConfirmationDialog::ConfirmationDialog(Account& account, DeletionConfirmations& confirmations,
                                       std::shared_ptr<DeletionConfirmations::Request> request, MessagesList& source)
    : Dialog(IDD_CONFIRMATION, "Confirmation"),
      account_(account),
      confirmations_(confirmations),
      request_(std::move(request)),
      source_(source) {}

bool ConfirmationDialog::Rows::offers(UINT id) const {
    switch (id) {
    case ID_MSG_REPLY:
    case ID_MSG_ADD_FROM:
    case ID_MSG_ADD_SUBJECT:
    case ID_MSG_ADD_SPAMMER:
    case ID_MSG_ADD_POWER:
    case ID_MSG_ADD_FRIEND:
        return false;
    default:
        return true;
    }
}

bool ConfirmationDialog::onInit() {
    setItemText(IDC_CONFIRM_TEXT, formatMessage(MSG_ConfirmDeleteAccount) + " '" + account_.name + "' ?\r\n");
    if (list_.attachList(item(IDC_CONFIRM_LIST), "MessagesList", source_.engine(), source_.columns(), true)) {
        list_.setExtendedStyle(LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        list_.setMarksChanged(source_.marksChanged());
        list_.setFont(source_.font());
        list_.fill(account_.id());
    }
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
