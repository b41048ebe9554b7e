#include "ui/DialogCommands.h"

#include "filter/FilterSheet.h"
#include "framework/Dialog.h"
#include "notify/MailSender.h"
#include "resources/resource.h"
#include "ui/ColumnsDialog.h"
#include "ui/ConfirmationDialog.h"
#include "ui/FirstRunDialog.h"
#include "ui/MainWindow.h"
#include "ui/SettingsSheet.h"
#include "ui/Viewers.h"

void runDialogCommand(MainWindow& window, UINT id) {
    switch (id) {
    case ID_FILTER: runFilterSheet(window.hwnd(), window.engine().filters()); break;
    case ID_SETTINGS: runSettingsSheet(window); break;
    // The account dialogs, settings, filters, viewers, columns and the
    // message sender are added with their own modules; until then these
    // commands show nothing.
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
    // "Setup Email Accounts" leads to the accounts wizard once it exists.
    return choice.runModal(window.hwnd()) == IDC_SETUP_ACCOUNTS && !made.empty();
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
