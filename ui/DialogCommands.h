// The dialogs that commands and checks open from the main window. Each area
// keeps its dialogs in modules of its own; these are the entry points the
// main window calls.
#pragma once
#include <windows.h>

#include <memory>
#include <vector>

#include "mail/Account.h"
#include "ui/DeletionConfirmations.h"

class Dialog;
class MainWindow;

// New, Import, Edit, Settings, Filter, Show Log, About, the columns dialogs
// and New message.
void runDialogCommand(MainWindow& window, UINT id);

// The first-run choice; false for "Launch the program". For "Setup Email
// Accounts" the wizard's accounts are added to `made`.
bool runFirstRunChoice(MainWindow& window, std::vector<AccountInfo>& made);

// The tips at start-up.
void showTipsAtStart(MainWindow& window);

// The deletion question of a check of `account`; true for OK. `open` points
// at the dialog while it is shown (so that a withdrawn question or Exit can
// close it).
bool askDeletion(MainWindow& window, Account& account, DeletionConfirmations& confirmations,
                 const std::shared_ptr<DeletionConfirmations::Request>& request, Dialog*& open);
