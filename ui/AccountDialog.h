// "Account Edit" (Edit, 1005): every field of one account on a copy, which
// the controller applies when OK is pressed; OK stays disabled, with the
// reason shown beside it, while the input could not be taken.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "framework/Dialog.h"
#include "mail/Account.h"
#include "ui/AccountInput.h"

class Controller;

// Account names compared as the registry compares key names: without regard
// to case, in the ANSI code page.
bool sameAccountName(std::string_view a, std::string_view b);
// The names of the controller's accounts but the one with id `except`.
std::vector<std::string> accountNames(const Controller& engine, uint32_t except = 0);

// The "Security" radio group, shared by the dialog and the wizard's server page.
void showSecurity(HWND dialog, SecureConnection mode);
SecureConnection readSecurity(HWND dialog);

class AccountDialog : public Dialog {
public:
    // Edits `info` and `options` in place, on OK only. `taken`: the names of
    // the other accounts.
    AccountDialog(AccountInfo& info, AccountOptions& options, std::vector<std::string> taken);

private:
    bool onInit() override;
    void onCommand(UINT code, UINT id, HWND control) override;
    bool onNotify(NMHDR& nm, LRESULT& result) override;
    void onOK() override;

    AccountForm read() const;
    // OK, Test and the note after every change.
    void update();
    // "Check size of mailbox." enables the controls that belong to it.
    void enableBound();
    void browse();

    AccountInfo& info_;
    AccountOptions& options_;
    std::vector<std::string> taken_;
    bool filling_ = false;
};

// Edit on the account `id`: the dialog on a copy, then the controller's
// edit. True when the account changed.
bool runAccountEdit(HWND owner, Controller& engine, uint32_t id);
