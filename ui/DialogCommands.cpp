#include "ui/DialogCommands.h"

#include "filter/FilterSheet.h"
#include "framework/Dialog.h"
#include "notify/MailSender.h"
#include "resources/resource.h"
#include "ui/AccountDialog.h"
#include "ui/AccountWizard.h"
#include "ui/ColumnsDialog.h"
#include "ui/ConfirmationDialog.h"
#include "ui/FirstRunDialog.h"
#include "ui/MainWindow.h"
#include "ui/SettingsSheet.h"
#include "ui/Viewers.h"

namespace {

// Accounts that New, Import or the first start made, appended in order.
void addAccounts(MainWindow& window, const std::vector<AccountInfo>& made) {
    bool added = false;
    for (const AccountInfo& info : made) added = window.engine().add(info) != nullptr || added;
    if (added) window.accountsChanged();
}

void editAccount(MainWindow& window) {
    uint32_t id = window.selectedAccount();
    if (id && runAccountEdit(window.hwnd(), window.engine(), id)) window.accountsChanged();
}

}  // namespace

void runDialogCommand(MainWindow& window, UINT id) {
    Controller& engine = window.engine();
    switch (id) {
    case ID_NEW_ACCOUNT: addAccounts(window, runNewAccountWizard(window.hwnd(), accountNames(engine))); break;
    case ID_IMPORT_ACCOUNTS:
        addAccounts(window, runAccountsWizard(window.hwnd(), engine.registry(), accountNames(engine)));
        break;
    case ID_EDIT_ACCOUNT: editAccount(window); break;
    case ID_FILTER: runFilterSheet(window.hwnd(), window.engine().filters()); break;
    case ID_SETTINGS: runSettingsSheet(window); break;
    case ID_ACCOUNT_COLUMNS:
    case ID_MESSAGE_COLUMNS:
        if (ColumnsOwner* owner = window.columnsOwner(id)) ColumnsDialog::run(window.hwnd(), *owner);
        break;
    case ID_NEW_MESSAGE:
        sendMail(nullptr, {});
        break;
    case ID_SHOW_LOG:
        showLogViewer(window.hwnd());
        break;
    case ID_ABOUT:
        showAbout(window.hwnd());
        break;
    default:
        break;
    }
}

bool runFirstRunChoice(MainWindow& window, std::vector<AccountInfo>& made) {
    FirstRunDialog choice;
    if (choice.runModal(window.hwnd()) != IDC_SETUP_ACCOUNTS) return false;
    Controller& engine = window.engine();
    made = runAccountsWizard(window.hwnd(), engine.registry(), accountNames(engine));
    return !made.empty();
}

void showTipsAtStart(MainWindow& window) { showTips(window.hwnd(), window.engine().settings()); }

bool askDeletion(MainWindow& window, Account& account, DeletionConfirmations& confirmations,
                 const std::shared_ptr<DeletionConfirmations::Request>& request, Dialog*& open) {
    ConfirmationDialog dialog(account, confirmations, request, window.messagesList());
    open = &dialog;
    INT_PTR result = dialog.runModal(window.hwnd());
    open = nullptr;
    return result == IDOK;
}
