#include "ui/AccountWizard.h"

#include <commctrl.h>

#include <initializer_list>

#include "core/MessageText.h"
#include "framework/Dpi.h"
#include "framework/Framework.h"
#include "framework/Handles.h"
#include "framework/ListView.h"
#include "framework/PropertySheet.h"
#include "framework/Window.h"
#include "notify/AccountImport.h"
#include "resources/resource.h"
#include "ui/AccountDialog.h"
#include "ui/AccountInput.h"

namespace {

constexpr int kTextLimit = 255;  // as the account dialog's boxes
constexpr int kImportColumnWidth = 122;

// What the pages share: the record being made and the finished ones.
struct WizardState {
    bool longForm = false;
    AccountInfo current;
    // Whether `current` came from the import list (Back from the name page
    // then leads there, not to the choice).
    bool fromImport = false;
    std::vector<AccountInfo> results;
    // The place of `current` in `results` once it was finished; going Back
    // and finishing it again replaces it there instead of adding it twice.
    int slot = -1;
    std::vector<std::string> existing;
    std::vector<AccountInfo> imported;
    bool centred = false;

    void startRecord(const AccountInfo& from, bool imported_) {
        current = from;
        fromImport = imported_;
        slot = -1;
    }
    void finishRecord() {
        if (slot < 0) {
            results.push_back(current);
            slot = static_cast<int>(results.size()) - 1;
        } else {
            results[static_cast<size_t>(slot)] = current;
        }
    }
    // The names a new record may not take: the accounts', and those of the
    // other records finished in this wizard.
    std::vector<std::string> taken() const {
        std::vector<std::string> names = existing;
        for (size_t i = 0; i < results.size(); ++i)
            if (static_cast<int>(i) != slot) names.push_back(results[i].name);
        return names;
    }
};

class WizardPage : public PropertyPage {
protected:
    WizardPage(UINT templateId, const char* source, uint32_t title, uint32_t subtitle, WizardState& state)
        : PropertyPage(templateId, source, title, subtitle), state_(state) {}

    bool onSetActive() override {
        if (!state_.centred) {
            // Centred on the desktop the first time, wherever the owner is.
            state_.centred = true;
            centreOnDesktop(sheet());
        }
        enter();
        return true;
    }
    // The page is shown: its boxes from the record, its buttons.
    virtual void enter() {}

    // A problem's text for the note; an empty box says nothing of itself.
    void showProblem(uint32_t problem) const {
        setItemText(IDC_VALIDATION_NOTE, problem && problem != MSG_FieldsRequired ? formatMessage(problem) : "");
    }
    void limitText(int id) const { SendMessageA(item(id), EM_LIMITTEXT, kTextLimit, 0); }

    static void centreOnDesktop(HWND window) {
        RECT area, rc;
        if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0) || !GetWindowRect(window, &rc)) return;
        int width = rc.right - rc.left, height = rc.bottom - rc.top;
        SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                     area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }

    WizardState& state_;
};

class ChoicePage : public WizardPage {
public:
    explicit ChoicePage(WizardState& state)
        : WizardPage(IDD_WIZ_CHOICE, "ChoicePage", MSG_WizardWelcome, MSG_WizardNameSubtitle, state) {}

private:
    bool onInit() override {
        // With nothing to import, creating an account is the only way on.
        setChecked(state_.imported.empty() ? IDC_WIZ_CREATE_NEW : IDC_WIZ_IMPORT, true);
        return true;
    }
    void enter() override { setWizardButtons(PSWIZB_NEXT); }
    int onWizardNext() override {
        if (!isChecked(IDC_WIZ_CREATE_NEW)) return 0;
        state_.startRecord(AccountInfo(), false);
        return IDD_WIZ_NAME;
    }
};

class ImportPage : public WizardPage {
public:
    explicit ImportPage(WizardState& state)
        : WizardPage(IDD_WIZ_IMPORT, "ImportPage", MSG_ImportSelect, MSG_WizardNameSubtitle, state) {}

private:
    bool onInit() override {
        list_.attach(item(IDC_IMPORT_LIST));
        list_.setExtendedStyle(LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        int width = scaleFor(hwnd(), kImportColumnWidth);
        list_.addColumn(0, formatMessage(MSG_ColAccount), width);
        list_.addColumn(1, formatMessage(MSG_ColServer), width);
        list_.addColumn(2, formatMessage(MSG_ColUser), width);
        for (size_t i = 0; i < state_.imported.size(); ++i) {
            const AccountInfo& info = state_.imported[i];
            int row = list_.insertItem(-1, info.name, static_cast<LPARAM>(i));
            list_.setText(row, 1, info.server);
            list_.setText(row, 2, info.user);
        }
        return true;
    }
    void enter() override { setWizardButtons(PSWIZB_BACK | (chosen() >= 0 ? PSWIZB_NEXT : 0)); }
    bool onNotify(NMHDR& nm, LRESULT& result) override {
        if (nm.idFrom == IDC_IMPORT_LIST && nm.code == LVN_ITEMCHANGED) {
            enter();
            return false;
        }
        return WizardPage::onNotify(nm, result);
    }
    int onWizardNext() override {
        int row = chosen();
        if (row < 0) return -1;
        state_.startRecord(state_.imported[static_cast<size_t>(row)], true);
        return 0;
    }
    int chosen() const {
        int row = list_.selected();
        if (row < 0) return -1;
        auto index = static_cast<size_t>(list_.data(row));
        return index < state_.imported.size() ? static_cast<int>(index) : -1;
    }

    ListView list_;
};

class NamePage : public WizardPage {
public:
    explicit NamePage(WizardState& state)
        : WizardPage(IDD_WIZ_NAME, "NamePage", MSG_WizardNameTitle, MSG_WizardNameSubtitle, state) {}

private:
    bool onInit() override {
        limitText(IDC_ACCOUNT_NAME);
        return true;
    }
    void enter() override {
        setItemText(IDC_ACCOUNT_NAME, state_.current.name);
        update();
    }
    void update() {
        uint32_t problem = nameProblem(itemText(IDC_ACCOUNT_NAME), state_.taken(), sameAccountName);
        setWizardButtons((state_.longForm ? PSWIZB_BACK : 0) | (problem ? 0 : PSWIZB_NEXT));
        showProblem(problem);
    }
    void onCommand(UINT code, UINT id, HWND control) override {
        if (id == IDC_ACCOUNT_NAME && code == EN_CHANGE) update();
    }
    int onWizardNext() override {
        if (nameProblem(itemText(IDC_ACCOUNT_NAME), state_.taken(), sameAccountName)) return -1;
        state_.current.name = itemText(IDC_ACCOUNT_NAME);
        return 0;
    }
    int onWizardBack() override {
        state_.current.name = itemText(IDC_ACCOUNT_NAME);
        // The choice page skipped the import list on its way here.
        return state_.fromImport ? 0 : IDD_WIZ_CHOICE;
    }
};

class ServerPage : public WizardPage {
public:
    explicit ServerPage(WizardState& state)
        : WizardPage(IDD_WIZ_SERVER, "ServerPage", MSG_WizardServerTitle, MSG_WizardServerSubtitle, state) {}

private:
    bool onInit() override {
        limitText(IDC_SERVER);
        return true;
    }
    void enter() override {
        setItemText(IDC_SERVER, state_.current.server);
        showSecurity(hwnd(), state_.current.secureConnection);
        update();
    }
    void update() {
        uint32_t problem = serverProblem(itemText(IDC_SERVER));
        setWizardButtons(PSWIZB_BACK | (problem ? 0 : PSWIZB_NEXT));
        showProblem(problem);
    }
    void onCommand(UINT code, UINT id, HWND control) override {
        if (id == IDC_SERVER && code == EN_CHANGE) update();
    }
    // The page has no port box: the port follows the choice.
    void store() {
        state_.current.server = itemText(IDC_SERVER);
        state_.current.secureConnection = readSecurity(hwnd());
        state_.current.port = portForSecurity(state_.current.secureConnection, state_.current.port);
    }
    int onWizardNext() override {
        if (serverProblem(itemText(IDC_SERVER))) return -1;
        store();
        return 0;
    }
    int onWizardBack() override {
        store();
        return 0;
    }
};

class LoginPage : public WizardPage {
public:
    explicit LoginPage(WizardState& state)
        : WizardPage(IDD_WIZ_LOGIN, "LoginPage", MSG_WizardLoginTitle, MSG_WizardLoginSubtitle, state) {}

private:
    bool onInit() override {
        limitText(IDC_USER);
        limitText(IDC_PASSWORD);
        return true;
    }
    void enter() override {
        setItemText(IDC_USER, state_.current.user);
        setItemText(IDC_PASSWORD, state_.current.password);
        setChecked(IDC_SECURE_AUTH, state_.current.secureAuth);
        update();
    }
    uint32_t problem() const { return loginProblem(itemText(IDC_USER), itemText(IDC_PASSWORD)); }
    void update() {
        uint32_t now = problem();
        // The short form ends here.
        DWORD forward = state_.longForm ? (now ? 0 : PSWIZB_NEXT) : (now ? PSWIZB_DISABLEDFINISH : PSWIZB_FINISH);
        setWizardButtons(PSWIZB_BACK | forward);
        showProblem(now);
    }
    void onCommand(UINT code, UINT id, HWND control) override {
        if ((id == IDC_USER || id == IDC_PASSWORD) && code == EN_CHANGE) update();
    }
    void store() {
        state_.current.user = itemText(IDC_USER);
        state_.current.password = itemText(IDC_PASSWORD);
        state_.current.secureAuth = isChecked(IDC_SECURE_AUTH);
    }
    int onWizardNext() override {
        if (problem()) return -1;
        store();
        return 0;
    }
    int onWizardBack() override {
        store();
        return 0;
    }
    bool onWizardFinish() override {
        if (problem()) return false;
        store();
        state_.finishRecord();
        return true;
    }
};

class AnotherPage : public WizardPage {
public:
    explicit AnotherPage(WizardState& state)
        : WizardPage(IDD_WIZ_ANOTHER, "AnotherPage", MSG_ImportAnother, MSG_WizardLoginSubtitle, state) {}

private:
    bool onInit() override {
        setChecked(IDC_ANOTHER_YES, true);
        return true;
    }
    void enter() override {
        setWizardButtons(PSWIZB_BACK | (isChecked(IDC_ANOTHER_NO) ? PSWIZB_FINISH : PSWIZB_NEXT));
    }
    void onCommand(UINT code, UINT id, HWND control) override {
        if ((id == IDC_ANOTHER_YES || id == IDC_ANOTHER_NO) && code == BN_CLICKED) enter();
    }
    int onWizardNext() override {
        state_.finishRecord();
        return IDD_WIZ_CHOICE;
    }
    bool onWizardFinish() override {
        state_.finishRecord();
        return true;
    }
};

// The setup picture of the first-run choice on the header's own colour: the
// header copies its picture as it is, and these pictures carry alpha.
BitmapHandle headerPicture() {
    BitmapHandle source(static_cast<HBITMAP>(
        LoadImageA(appInstance(), MAKEINTRESOURCEA(IDB_SETUP), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP info = {};
    if (!source || !GetObjectA(source.get(), sizeof info, &info)) return {};
    ImageListHandle blend(ImageList_Create(info.bmWidth, info.bmHeight, ILC_COLOR32, 1, 0));
    if (!blend || ImageList_Add(blend.get(), source.get(), nullptr) < 0) return {};
    WindowDC screen(nullptr);
    BitmapHandle picture(CreateCompatibleBitmap(screen, info.bmWidth, info.bmHeight));
    MemoryDC dc(CreateCompatibleDC(screen));
    if (!picture || !dc) return {};
    SelectIn selected(dc.get(), picture.get());
    RECT all = {0, 0, info.bmWidth, info.bmHeight};
    FillRect(dc.get(), &all, GetSysColorBrush(COLOR_WINDOW));
    ImageList_Draw(blend.get(), 0, dc.get(), 0, 0, ILD_TRANSPARENT);
    return picture;
}

std::vector<AccountInfo> runSheet(HWND owner, Sheet& sheet, WizardState& state) {
    BitmapHandle picture = headerPicture();
    sheet.setHeaderPicture(picture.get());
    if (sheet.run(owner, Sheet::Wizard) <= 0) return {};
    return std::move(state.results);
}

}  // namespace

std::vector<AccountInfo> runNewAccountWizard(HWND owner, std::vector<std::string> taken) {
    WizardState state;
    state.existing = std::move(taken);
    state.startRecord(AccountInfo(), false);
    NamePage name(state);
    ServerPage server(state);
    LoginPage login(state);
    Sheet sheet(loadString(IDS_ACCOUNTS_WIZARD));
    for (PropertyPage* page : std::initializer_list<PropertyPage*>{&name, &server, &login}) sheet.addPage(*page);
    return runSheet(owner, sheet, state);
}

std::vector<AccountInfo> runAccountsWizard(HWND owner, Registry& registry, std::vector<std::string> taken) {
    WizardState state;
    state.longForm = true;
    state.existing = std::move(taken);
    state.imported = ImportAccounts(registry).accounts();
    ChoicePage choice(state);
    ImportPage import(state);
    NamePage name(state);
    ServerPage server(state);
    LoginPage login(state);
    AnotherPage another(state);
    Sheet sheet(loadString(IDS_ACCOUNTS_WIZARD));
    for (PropertyPage* page :
         std::initializer_list<PropertyPage*>{&choice, &import, &name, &server, &login, &another})
        sheet.addPage(*page);
    return runSheet(owner, sheet, state);
}
