#include "ui/AccountDialog.h"

#include <commctrl.h>

#include "core/MessageText.h"
#include "core/Platform.h"
#include "framework/FileDialog.h"
#include "mail/Controller.h"
#include "resources/resource.h"

namespace {

// The deletion list's items, in their order.
constexpr DeletionMode kDeletionModes[] = {DeletionMode::AutoFiltered, DeletionMode::Without, DeletionMode::With,
                                           DeletionMode::None};
// A registry key name holds at most 255 characters; the other texts keep to
// that too, so the account address stays well within a field of the file.
constexpr int kMaxText = 255;
constexpr int kMaxNumber = 30;

// The boxes and the texts of the form they show, with their limits.
const struct {
    int id;
    std::string AccountForm::*text;
    int limit;
} kBoxes[] = {
    {IDC_ACCOUNT_NAME, &AccountForm::name, kMaxText},     {IDC_SERVER, &AccountForm::server, kMaxText},
    {IDC_USER, &AccountForm::user, kMaxText},             {IDC_PASSWORD, &AccountForm::password, kMaxText},
    {IDC_PORT, &AccountForm::port, kMaxNumber},           {IDC_INTERVAL, &AccountForm::interval, kMaxNumber},
    {IDC_TIMEOUT, &AccountForm::timeout, kMaxNumber},     {IDC_LINES, &AccountForm::lines, kMaxNumber},
    {IDC_MAILBOX_BOUND, &AccountForm::bound, kMaxNumber}, {IDC_LAUNCH_FILE, &AccountForm::launchFile, MAX_PATH - 1},
};
// What "Check size of mailbox." switches on and off.
constexpr int kBoundControls[] = {IDC_BOUND_LABEL,  IDC_MAILBOX_BOUND, IDC_MAILBOX_BOUND_SPIN, IDC_BOUND_UNIT,
                                  IDC_LAUNCH_THEN,  IDC_LAUNCH_LABEL,  IDC_LAUNCH_FILE,        IDC_LAUNCH_BROWSE,
                                  IDC_LAUNCH_TEST};
constexpr struct {
    int id;
    SecureConnection mode;
} kSecurityChoices[] = {{IDC_SECURITY_NONE, SecureConnection::None},
                        {IDC_SECURITY_STLS, SecureConnection::Stls},
                        {IDC_SECURITY_TLS, SecureConnection::Tls}};

int deletionIndex(DeletionMode mode) {
    for (int i = 0; i < 4; ++i)
        if (kDeletionModes[i] == mode) return i;
    return 2;
}

}  // namespace

bool sameAccountName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    std::string x(a), y(b);
    CharUpperBuffA(x.data(), static_cast<DWORD>(x.size()));
    CharUpperBuffA(y.data(), static_cast<DWORD>(y.size()));
    return x == y;
}

void showSecurity(HWND dialog, SecureConnection mode) {
    for (const auto& choice : kSecurityChoices)
        CheckDlgButton(dialog, choice.id, choice.mode == mode ? BST_CHECKED : BST_UNCHECKED);
}

SecureConnection readSecurity(HWND dialog) {
    for (const auto& choice : kSecurityChoices)
        if (IsDlgButtonChecked(dialog, choice.id) == BST_CHECKED) return choice.mode;
    return SecureConnection::None;
}

std::vector<std::string> accountNames(const Controller& engine, uint32_t except) {
    std::vector<std::string> names;
    for (const auto& account : engine.accounts())
        if (account->id() != except) names.push_back(account->name);
    return names;
}

AccountDialog::AccountDialog(AccountInfo& info, AccountOptions& options, std::vector<std::string> taken)
    : Dialog(IDD_ACCOUNT_EDIT, "AccountDialog"), info_(info), options_(options), taken_(std::move(taken)) {}

bool AccountDialog::onInit() {
    filling_ = true;
    SendMessageA(item(IDC_MAILBOX_BOUND_SPIN), UDM_SETRANGE32, 0, kMaxBoundKb);
    showSecurity(hwnd(), info_.secureConnection);

    AccountForm form = formOf(info_, options_);
    for (const auto& box : kBoxes) {
        SendMessageA(item(box.id), EM_LIMITTEXT, static_cast<WPARAM>(box.limit), 0);
        setItemText(box.id, form.*box.text);
    }
    setChecked(IDC_CHECK_MAILBOX_SIZE, form.checkMailboxSize);
    setChecked(IDC_SECURE_AUTH, info_.secureAuth);
    setChecked(IDC_CHECK_MANUALLY, options_.checkOnlyManually);
    HWND deletion = item(IDC_DELETION);
    for (DeletionMode mode : kDeletionModes)
        SendMessageA(deletion, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(formatMessage(static_cast<uint32_t>(mode)).c_str()));
    SendMessageA(deletion, CB_SETCURSEL, static_cast<WPARAM>(deletionIndex(options_.msgDeletion)), 0);
    filling_ = false;
    enableBound();
    update();
    return true;
}

AccountForm AccountDialog::read() const {
    AccountForm form;
    for (const auto& box : kBoxes) form.*box.text = itemText(box.id);
    form.checkMailboxSize = isChecked(IDC_CHECK_MAILBOX_SIZE);
    return form;
}

void AccountDialog::update() {
    if (filling_) return;
    AccountForm form = read();
    uint32_t problem = formProblem(form, taken_, sameAccountName);
    enableItem(IDOK, problem == 0);
    setItemText(IDC_VALIDATION_NOTE, problem ? formatMessage(problem) : std::string());
    enableItem(IDC_LAUNCH_TEST, form.checkMailboxSize && !form.launchFile.empty());
}

void AccountDialog::enableBound() {
    bool on = isChecked(IDC_CHECK_MAILBOX_SIZE);
    for (int id : kBoundControls) enableItem(id, on);
}

void AccountDialog::onCommand(UINT code, UINT id, HWND control) {
    switch (id) {
    case IDC_CHECK_MAILBOX_SIZE:
        if (code == BN_CLICKED) {
            enableBound();
            update();
        }
        return;
    case IDC_LAUNCH_BROWSE:
        if (code == BN_CLICKED) browse();
        return;
    case IDC_LAUNCH_TEST:
        if (code == BN_CLICKED) shellOpen(itemText(IDC_LAUNCH_FILE));
        return;
    case IDC_SECURITY_NONE:
    case IDC_SECURITY_STLS:
    case IDC_SECURITY_TLS:
        if (code == BN_CLICKED) {
            uint32_t port = 0;
            if (parseNumber(itemText(IDC_PORT), 1, kMaxPort, port))
                setItemText(IDC_PORT, std::to_string(portForSecurity(readSecurity(hwnd()), port)));
        }
        return;
    default:
        if (code == EN_CHANGE) update();
        else Dialog::onCommand(code, id, control);
    }
}

bool AccountDialog::onNotify(NMHDR& nm, LRESULT& result) {
    if (nm.idFrom != IDC_MAILBOX_BOUND_SPIN || nm.code != UDN_DELTAPOS) return false;
    // The box steps by the click; a step below 0 or past the limit is ignored.
    uint32_t kb = 0;
    parseNumber(itemText(IDC_MAILBOX_BOUND), 0, kMaxBoundKb, kb);
    int64_t next = int64_t{kb} + reinterpret_cast<const NMUPDOWN&>(nm).iDelta;
    if (next >= 0 && next <= kMaxBoundKb) setItemText(IDC_MAILBOX_BOUND, std::to_string(next));
    result = TRUE;  // the control itself changes nothing
    return true;
}

void AccountDialog::browse() {
    std::string path;
    if (!chooseFileToOpen(hwnd(),
                          {{formatMessage(MSG_FilesBat), "*.bat"},
                           {formatMessage(MSG_FilesExe), "*.exe"},
                           {formatMessage(MSG_FilesAll), "*.*"}},
                          path))
        return;
    setItemText(IDC_LAUNCH_FILE, path);
}

void AccountDialog::onOK() {
    AccountForm form = read();
    if (formProblem(form, taken_, sameAccountName) != 0) return;
    applyForm(form, info_, options_);
    info_.secureAuth = isChecked(IDC_SECURE_AUTH);
    info_.secureConnection = readSecurity(hwnd());
    options_.checkOnlyManually = isChecked(IDC_CHECK_MANUALLY);
    LRESULT index = SendMessageA(item(IDC_DELETION), CB_GETCURSEL, 0, 0);
    if (index >= 0 && index < 4) options_.msgDeletion = kDeletionModes[index];
    end(IDOK);
}

bool runAccountEdit(HWND owner, Controller& engine, uint32_t id) {
    Account* account = engine.find(id);
    if (!account) return false;
    AccountInfo info = *account;
    AccountOptions options = *account;
    std::vector<std::string> taken = accountNames(engine, id);
    // Accounts that already share this name keep it: only a new name must be free.
    std::erase_if(taken, [&](const std::string& name) { return sameAccountName(name, info.name); });
    AccountDialog dialog(info, options, std::move(taken));
    if (dialog.runModal(owner) != IDOK) return false;
    // The account may have gone while the dialog was open (a check cannot
    // remove it, but a command of another window might).
    return engine.find(id) && engine.edit(id, info, options);
}
