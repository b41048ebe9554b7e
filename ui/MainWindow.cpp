#include "ui/MainWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "core/EventLog.h"
#include "core/MessageText.h"
#include "core/Registry.h"
#include "framework/Dpi.h"
#include "framework/Framework.h"
#include "framework/HtmlHelp.h"
#include "framework/MessageBox.h"
#include "framework/MessageLoop.h"
#include "framework/Window.h"
#include "resources/resource.h"
#include "ui/CertificateDialog.h"
#include "ui/CommandHelp.h"
#include "ui/DialogCommands.h"

const CommandRow<MainWindow> MainWindow::kCommands[] = {
    {ID_HIDE, ID_HIDE, &MainWindow::cmdHide},
    {IDCANCEL, IDCANCEL, &MainWindow::cmdHide},
    {ID_OPEN, ID_OPEN, &MainWindow::cmdOpen},
    {ID_EXIT, ID_EXIT, &MainWindow::cmdExit},
    {ID_CHECK, ID_CHECK, &MainWindow::cmdCheck},
    {ID_CHECK_ALL, ID_CHECK_ALL, &MainWindow::cmdCheckAll},
    {ID_STOP, ID_STOP, &MainWindow::cmdStop},
    {ID_DISABLE, ID_DISABLE, &MainWindow::cmdDisable},
    {ID_MOVE_UP, ID_MOVE_DOWN, &MainWindow::cmdMove},
    {ID_REMOVE_ACCOUNT, ID_REMOVE_ACCOUNT, &MainWindow::cmdRemove},
    {ID_VIEW_ERRORS, ID_VIEW_ERRORS, &MainWindow::cmdViewErrors},
    {ID_DELETE_ALL, ID_DELETE_ALL, &MainWindow::cmdDeleteAll},
    {ID_DEL_MSGS, ID_DEL_MSGS, &MainWindow::cmdDelMsgs},
    {ID_MSG_DELETE, ID_MSG_SHOW_HEADER, &MainWindow::cmdMessages},
    {ID_MSG_SELECT_ALL, ID_MSG_SELECT_ALL, &MainWindow::cmdMessages},
    {ID_MSG_ADD_FROM, ID_MSG_ADD_SPAMMER, &MainWindow::cmdMessages},
    {ID_MSG_NO_ACTION, ID_MSG_MARK_UNREAD, &MainWindow::cmdMessages},
    {ID_MSG_ADD_POWER, ID_MSG_ADD_POWER, &MainWindow::cmdMessages},
    {ID_MSG_ADD_FRIEND, ID_MSG_ADD_FRIEND, &MainWindow::cmdMessages},
    {ID_MSG_REPLY, ID_MSG_REPLY, &MainWindow::cmdMessages},
    {ID_REPLY, ID_REPLY, &MainWindow::cmdMessages},
    {ID_SAVE_AS, ID_SAVE_AS, &MainWindow::cmdMessages},
    {ID_CHARSET_CP1251, ID_CHARSET_AUTO, &MainWindow::cmdEncoding},
    {ID_CUSTOMIZE_TOOLBAR, ID_CUSTOMIZE_TOOLBAR, &MainWindow::cmdCustomizeToolbar},
    {ID_CONTENTS, ID_CONTENTS, &MainWindow::cmdContents},
    {ID_NOTIFICATION, ID_NOTIFICATION, &MainWindow::cmdNotification},
    {ID_RUN_MAILER, ID_RUN_MAILER, &MainWindow::cmdRunMailer},
    {ID_NEW_ACCOUNT, ID_NEW_ACCOUNT, &MainWindow::cmdDialog},
    {ID_IMPORT_ACCOUNTS, ID_IMPORT_ACCOUNTS, &MainWindow::cmdDialog},
    {ID_EDIT_ACCOUNT, ID_EDIT_ACCOUNT, &MainWindow::cmdDialog},
    {ID_SETTINGS, ID_SETTINGS, &MainWindow::cmdDialog},
    {ID_FILTER, ID_FILTER, &MainWindow::cmdDialog},
    {ID_SHOW_LOG, ID_SHOW_LOG, &MainWindow::cmdDialog},
    {ID_ABOUT, ID_ABOUT, &MainWindow::cmdDialog},
    {ID_ACCOUNT_COLUMNS, ID_ACCOUNT_COLUMNS, &MainWindow::cmdDialog},
    {ID_MESSAGE_COLUMNS, ID_MESSAGE_COLUMNS, &MainWindow::cmdDialog},
    {ID_NEW_MESSAGE, ID_NEW_MESSAGE, &MainWindow::cmdDialog},
};

namespace {

constexpr UINT kTrayTimer = 1;
constexpr int kMinHeight = 240;  // pixels at 96 DPI

// The commands that open a modal window of their own.
bool opensModal(UINT id) {
    switch (id) {
    case ID_NEW_ACCOUNT:
    case ID_IMPORT_ACCOUNTS:
    case ID_EDIT_ACCOUNT:
    case ID_REMOVE_ACCOUNT:
    case ID_SETTINGS:
    case ID_FILTER:
    case ID_SHOW_LOG:
    case ID_ABOUT:
    case ID_ACCOUNT_COLUMNS:
    case ID_MESSAGE_COLUMNS:
    case ID_VIEW_ERRORS:
    case ID_CUSTOMIZE_TOOLBAR:
    case ID_NEW_MESSAGE:
    case ID_REPLY:
    case ID_MSG_REPLY:
    case ID_SAVE_AS:
    case ID_MSG_SHOW_HEADER:
    case ID_MSG_ADD_FROM:
    case ID_MSG_ADD_SUBJECT:
    case ID_MSG_ADD_SPAMMER:
    case ID_MSG_ADD_POWER:
    case ID_MSG_ADD_FRIEND:
    case ID_EXIT:
        return true;
    default:
        return false;
    }
}

}  // namespace

MainWindow::MainWindow(Registry& registry, std::span<const ExtraCommand> extra)
    : Dialog(IDD_MAIN, "MainWindow"), registry_(registry), extra_(extra), tray_(*this) {
    ControllerView& view = *this;
    engine_ = std::make_unique<Controller>(registry, view, &tray_.iconSlots());
}

MainWindow::~MainWindow() {
    // Workers still running would post to a window that is going.
    if (engine_) engine_->stopAll();
}

bool MainWindow::open() {
    if (!createModeless(nullptr)) return false;
    if (!engine_->settings().HideStart) {
        show();
    }
    return true;
}

// ---- start-up

bool MainWindow::onInit() {
    dpi_ = windowDpi(hwnd());
    reports_.setTarget(hwnd(), kReports);
    newMail_.setTarget(hwnd(), kNewMail);
    confirmations_.setTarget(hwnd(), kConfirmation);
    MessageLoop::setWindowAccelerators(hwnd(), LoadAcceleratorsA(appInstance(), MAKEINTRESOURCEA(IDA_MAIN)));
    bigIcon_.reset(static_cast<HICON>(LoadImageA(appInstance(), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                 systemMetric(SM_CXICON, dpi_), systemMetric(SM_CYICON, dpi_), 0)));
    smallIcon_.reset(static_cast<HICON>(LoadImageA(appInstance(), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                   systemMetric(SM_CXSMICON, dpi_),
                                                   systemMetric(SM_CYSMICON, dpi_), 0)));
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    buildMenus();
    buildChildren();

    // The accounts come before the monitor starts their workers.
    engine_->loadAccounts();
    accountsList_.refreshAll();
    if (engine_->count() == 0) firstRun();
    if (!engine_->settings().HideStart && engine_->settings().ShowTips) showTipsAtStart(*this);
    if (!engine_->startMonitor()) eventLog().log("The check monitor could not be started");
    commandStates();
    tray_.start();
    windowOpen_ = false;
    if (engine_->count() > 0) {
        SetFocus(accountsList_.hwnd());
        accountsList_.selectIndex(0);
    }
    return false;  // the focus is set
}

void MainWindow::buildMenus() {
    trayMenu_.reset(LoadMenuA(appInstance(), MAKEINTRESOURCEA(IDM_TRAY)));
    tray_.setMenu(trayMenu_ ? GetSubMenu(trayMenu_.get(), 0) : nullptr);
    HMENU bar = LoadMenuA(appInstance(), MAKEINTRESOURCEA(IDM_MAIN));
    // The lists' own menus join the menu bar; their resources stay loaded
    // for the context menus.
    auto insert = [&](UINT menuId, UINT pos, uint32_t titleId) {
        HMENU menu = LoadMenuA(appInstance(), MAKEINTRESOURCEA(menuId));
        if (!menu) return;
        HMENU popup = GetSubMenu(menu, 0);
        RemoveMenu(menu, 0, MF_BYPOSITION);
        DestroyMenu(menu);
        std::string title = formatMessage(titleId);
        InsertMenuA(bar, pos, MF_BYPOSITION | MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), title.c_str());
    };
    insert(IDM_ACCOUNTS, 2, MSG_PaneAccounts);
    insert(IDM_MESSAGES, 3, MSG_PaneMessages);
    SetMenu(hwnd(), bar);
    menuBar_.reset(bar);  // the window lets go of it before it is destroyed (onDestroy)
    const Settings& s = engine_->settings();
    CheckMenuItem(bar, ID_CHARSET_AUTO, MF_BYCOMMAND | (s.ViewAutoSelect ? MF_CHECKED : MF_UNCHECKED));
    UINT charset = s.ViewCharset >= ID_CHARSET_CP1251 && s.ViewCharset <= ID_CHARSET_CP1252 ? s.ViewCharset
                                                                                             : ID_CHARSET_CP1252;
    CheckMenuRadioItem(bar, ID_CHARSET_CP1251, ID_CHARSET_CP1252, charset, MF_BYCOMMAND);
}

void MainWindow::buildChildren() {
    toolbar_.create(hwnd(), dpi_);
    status_ = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, hwnd(),
                              nullptr, appInstance(), nullptr);
    RECT rc = {0, 0, 100, 100};
    splitter_.create(hwnd(), rc);
    splitter_.load(registry_);
    LOGFONTA stored;
    static_assert(sizeof stored == sizeof engine_->settings().Font, "the Font setting is a LOGFONT");
    std::memcpy(&stored, engine_->settings().Font.data(), sizeof stored);
    listFont_ = createStoredFont(stored, dpi_);
    accountsList_.create(splitter_.hwnd(), *engine_, hwnd(), messagesList_, listFont_.get());
    messagesList_.create(splitter_.hwnd(), *engine_, listFont_.get());
    preview_.create(splitter_.hwnd(), *engine_);
    messagesList_.setPreview(&preview_);
    messagesList_.setFont(listFont_.get());
    messagesList_.setMarksChanged([this](uint32_t id) { marksChanged(id); });
    std::array<int, 3> heights = splitter_.stored();
    splitter_.setPanes({accountsList_.hwnd(), messagesList_.hwnd(), preview_.hwnd()},
                       {heights[0], heights[1], heights[2]});
    GetClientRect(hwnd(), &rc);
    layoutChildren(rc.right, rc.bottom);
}

// The first run has no account: offer the wizard, or go on with none.
void MainWindow::firstRun() {
    std::vector<AccountInfo> made;
    if (!runFirstRunChoice(*this, made)) return;
    for (const AccountInfo& info : made) engine_->add(info);
    accountsList_.refreshAll();
}

// ---- layout and window messages

void MainWindow::layoutChildren(int width, int height) {
    if (!toolbar_.hwnd() || !status_) return;
    SendMessageA(toolbar_.hwnd(), TB_AUTOSIZE, 0, 0);
    SendMessageA(status_, WM_SIZE, 0, 0);
    RECT tb, sb;
    GetWindowRect(toolbar_.hwnd(), &tb);
    GetWindowRect(status_, &sb);
    int top = (tb.bottom - tb.top) + scaleDpi(7, dpi_);
    int bottom = sb.bottom - sb.top;
    MoveWindow(splitter_.hwnd(), 0, top, width, std::max(0, height - top - bottom), TRUE);
}

bool MainWindow::refuseSize(WINDOWPOS& pos) {
    if ((pos.flags & SWP_NOSIZE) || (pos.flags & SWP_HIDEWINDOW) || IsIconic(hwnd())) return false;
    RECT tb = {};
    if (toolbar_.hwnd()) GetWindowRect(toolbar_.hwnd(), &tb);
    int minWidth = (tb.right - tb.left) + scaleDpi(12, dpi_);
    if (minWidth >= GetSystemMetrics(SM_CXSCREEN)) minWidth = 0;
    int minHeight = scaleDpi(kMinHeight, dpi_);
    if (pos.cx >= minWidth && pos.cy >= minHeight) return false;
    // Refused, not clamped: the window keeps its size.
    RECT now;
    GetWindowRect(hwnd(), &now);
    pos.cx = now.right - now.left;
    pos.cy = now.bottom - now.top;
    return true;
}

void MainWindow::paintFrame() {
    PaintDC dc(hwnd());
    RECT client, tb = {};
    GetClientRect(hwnd(), &client);
    if (toolbar_.hwnd()) {
        GetWindowRect(toolbar_.hwnd(), &tb);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&tb), 2);
    }
    // An etched frame around the toolbar band.
    PenHandle white(CreatePen(PS_SOLID, 2, RGB(255, 255, 255)));
    PenHandle grey(CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
    SelectIn noFill(dc, GetStockObject(NULL_BRUSH));
    {
        SelectIn pen(dc, white.get());
        Rectangle(dc, 1, 1, client.right - 1, tb.bottom + 4);
    }
    SelectIn pen(dc, grey.get());
    Rectangle(dc, 0, 0, client.right - 2, tb.bottom + 3);
}

void MainWindow::capturePlacement() {
    if (!IsWindowVisible(hwnd()) || IsIconic(hwnd())) return;
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(hwnd(), &wp)) return;
    auto& stored = engine_->settings().MainWindowPlacement;
    static_assert(sizeof wp == 44, "the placement record is stored as 44 bytes");
    std::memcpy(stored.data(), &wp, sizeof wp);
}

void MainWindow::applyPlacement() {
    WINDOWPLACEMENT wp = {};
    const auto& stored = engine_->settings().MainWindowPlacement;
    std::memcpy(&wp, stored.data(), sizeof wp);
    if (wp.length == 0) {
        ShowWindow(hwnd(), SW_SHOWMAXIMIZED);
        return;
    }
    wp.length = sizeof wp;
    if (wp.showCmd == SW_SHOWMAXIMIZED || wp.showCmd == SW_MAXIMIZE) {
        wp.showCmd = SW_SHOWNORMAL;
        wp.rcNormalPosition = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    } else if (wp.showCmd != SW_SHOWNORMAL) {
        wp.showCmd = SW_SHOWNORMAL;  // never reappear minimised or hidden
    }
    wp.flags = 0;
    SetWindowPlacement(hwnd(), &wp);
}

void MainWindow::setStatusText(const std::string& text) {
    if (status_) SendMessageA(status_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void MainWindow::onMenuSelect(UINT item, UINT flags, HMENU menu) {
    if (flags == 0xFFFF && !menu) {
        setStatusText({});  // the menu closed
        return;
    }
    if (flags & (MF_POPUP | MF_SYSMENU | MF_SEPARATOR)) {
        setStatusText({});
        return;
    }
    uint32_t id = commandHelp(item).status;
    setStatusText(id ? formatMessage(id) : std::string());
}

void MainWindow::onInitMenuPopup(HMENU menu) {
    commandStates();
    accountsList_.updateMenu(menu);
    messagesList_.updateMenu(menu);
}

void MainWindow::onDpiChanged(UINT dpi, const RECT& suggested) {
    dpi_ = dpi;
    toolbar_.setDpi(dpi);
    applyListFont();
    SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::applyListFont() {
    LOGFONTA stored;
    std::memcpy(&stored, engine_->settings().Font.data(), sizeof stored);
    FontHandle font = createStoredFont(stored, dpi_);
    // The lists take the new font before the old one goes.
    accountsList_.setFont(font.get());
    messagesList_.setFont(font.get());
    listFont_ = std::move(font);
}

void MainWindow::settingsApplied() {
    applyListFont();
    tray_.settingsChanged();
}

bool MainWindow::onNotify(NMHDR& nm, LRESULT& result) {
    switch (nm.code) {
    case TTN_GETDISPINFOA:
        toolbar_.tooltip(reinterpret_cast<NMTTDISPINFOA&>(nm));
        result = 0;
        return true;
    case TBN_HOTITEMCHANGE:
        if (nm.hwndFrom == toolbar_.hwnd()) setStatusText(toolbar_.hotText(reinterpret_cast<NMTBHOTITEM&>(nm)));
        result = 0;
        return true;
    case TBN_DROPDOWN: {
        auto& drop = reinterpret_cast<NMTOOLBARA&>(nm);
        if (drop.iItem != ID_ENCODINGS) return false;
        // View > Encoding under the button.
        HMENU view = GetSubMenu(menuBar_.get(), IDM_POS_MENU_VIEW);
        HMENU encoding = view ? GetSubMenu(view, IDM_POS_VIEW_ENCODING) : nullptr;
        RECT rc = toolbar_.buttonRect(ID_ENCODINGS);
        MapWindowPoints(toolbar_.hwnd(), nullptr, reinterpret_cast<POINT*>(&rc), 2);
        TPMPARAMS params = {sizeof params, rc};
        if (encoding)
            TrackPopupMenuEx(encoding, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERTICAL, rc.left, rc.bottom, hwnd(),
                             &params);
        result = TBDDRET_DEFAULT;
        return true;
    }
    case LVN_ITEMCHANGED:
        if (nm.hwndFrom == accountsList_.hwnd()) accountSelected(reinterpret_cast<NMLISTVIEW&>(nm));
        commandStates();
        return false;
    case NM_SETFOCUS:
        commandStates();
        return false;
    default:
        return false;
    }
}

bool MainWindow::onMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) {
    switch (msg) {
    case WM_WINDOWPOSCHANGING:
        refuseSize(*reinterpret_cast<WINDOWPOS*>(lp));
        return false;
    case WM_WINDOWPOSCHANGED: {
        const auto& pos = *reinterpret_cast<WINDOWPOS*>(lp);
        if (!IsIconic(hwnd()) && !(pos.flags & SWP_NOSIZE)) {
            RECT rc;
            GetClientRect(hwnd(), &rc);
            InvalidateRect(hwnd(), nullptr, TRUE);
            layoutChildren(rc.right, rc.bottom);
        }
        // Moves count too: a window that was only moved must not jump back.
        if (!(pos.flags & SWP_HIDEWINDOW)) capturePlacement();
        return false;
    }
    case WM_SIZE:
        if (wp == SIZE_MINIMIZED) hide();  // to the tray, not the task bar
        return false;
    case WM_CLOSE:
        hide();
        result = TRUE;
        return true;
    case WM_PAINT:
        paintFrame();
        result = TRUE;
        return true;
    case WM_MENUSELECT:
        onMenuSelect(LOWORD(wp), HIWORD(wp), reinterpret_cast<HMENU>(lp));
        return true;
    case WM_INITMENUPOPUP:
        onInitMenuPopup(reinterpret_cast<HMENU>(wp));
        return true;
    case WM_TIMER:
        if (wp == kTrayTimer) tray_.onTimer();
        return true;
    case WM_HELP:
        showHelp(hwnd());
        result = TRUE;
        return true;
    case WM_DPICHANGED:
        onDpiChanged(HIWORD(wp), *reinterpret_cast<RECT*>(lp));
        return true;
    case WM_QUERYENDSESSION:
        SetWindowLongPtrA(hwnd(), DWLP_MSGRESULT, TRUE);
        result = TRUE;
        return true;
    case WM_ENDSESSION:
        if (wp) {
            // The session ends: nothing may be lost, the workers are not waited for.
            tray_.stop();
            saveAll();
        }
        return true;
    case kReports:
        handleReports();
        return true;
    case kNewMail:
        handleNewMail();
        return true;
    case kConfirmation:
        handleConfirmation();
        return true;
    default:
        if (msg == Tray::kCallback) {
            tray_.onCallback(lp);
            return true;
        }
        if (msg == Tray::taskbarCreated()) {
            tray_.onTaskbarCreated();
            return true;
        }
        return false;
    }
}

void MainWindow::onDestroy() {
    KillTimer(hwnd(), kTrayTimer);
    // The menu bar is ours to destroy, not the window's.
    SetMenu(hwnd(), nullptr);
    reports_.setTarget(nullptr, 0);
    newMail_.setTarget(nullptr, 0);
    confirmations_.setTarget(nullptr, 0);
}

// ---- showing and hiding

void MainWindow::show() {
    windowOpen_ = true;
    tray_.setSuspended(true);
    if (!placementApplied_) {
        placementApplied_ = true;
        applyPlacement();
    }
    ShowWindow(hwnd(), IsZoomed(hwnd()) ? SW_SHOWMAXIMIZED : SW_SHOW);
    for (HWND list : {accountsList_.hwnd(), messagesList_.hwnd()}) {
        InvalidateRect(list, nullptr, TRUE);
        UpdateWindow(list);
    }
    SetForegroundWindow(hwnd());
    capturePlacement();
}

void MainWindow::hide() {
    windowOpen_ = false;
    splitter_.capture();
    ShowWindow(hwnd(), SW_HIDE);
    tray_.setSuspended(false);
}

// ---- reports

void MainWindow::refreshAccount(uint32_t id) {
    Account* account = engine_->find(id);
    if (!account) return;  // removed since the report was made
    accountsList_.refreshRow(id);
    AccountState state = account->state();
    if (accountsList_.selectedId() == id && state != AccountState::Checking && state != AccountState::Connecting)
        messagesList_.showAccount(account);
}

// The user changed marks in a list: the counts of the account everywhere.
void MainWindow::marksChanged(uint32_t id) {
    accountsList_.refreshRow(id);
    if (messagesList_.shownAccount() == id) InvalidateRect(messagesList_.hwnd(), nullptr, FALSE);
    tray_.refresh();
}

void MainWindow::handleReports() {
    std::set<uint32_t> ids = reports_.take();
    for (uint32_t id : ids) refreshAccount(id);
    tray_.refresh();
    commandStates();
    for (uint32_t id : ids) offerTrust(id, false);
}

void MainWindow::offerTrust(uint32_t id, bool asked) {
    Account* account = engine_->find(id);
    if (!account) return;
    AccountStatus status = account->status();
    if (status.state != AccountState::Failed || status.refusedCertificate.empty()) return;
    if (!asked && (modalOpen() || !trustOffered_.emplace(id, status.refusedCertificate).second)) return;
    CertificateDialog dialog(account->server + ":" + std::to_string(account->port), status.errorText,
                             status.refusedCertificate);
    if (dialog.runModal(hwnd()) != IDOK) return;
    // The account may have gone, or been edited, while the question was open.
    if (engine_->find(id) == account) engine_->trustCertificate(id, status.refusedCertificate);
    refreshAccount(id);
}

void MainWindow::handleNewMail() {
    for (uint32_t id : newMail_.take())
        if (Account* account = engine_->find(id)) tray_.newMailFound(*account);
}

void MainWindow::handleConfirmation() {
    // A question withdrawn while its dialog is open closes it as Cancel.
    if (confirmationDialog_) {
        auto request = confirmations_.pending();
        if (!request || confirmations_.withdrawn(*request)) confirmationDialog_->end(IDCANCEL);
        return;
    }
    auto request = confirmations_.pending();
    if (!request || confirmations_.withdrawn(*request)) return;
    Account* account = engine_->find(request->accountId);
    bool ok = account && askDeletion(*this, *account, confirmations_, request, confirmationDialog_);
    confirmations_.answer(request, ok);
}

void MainWindow::runMailer() {
    // A filter's action, on a worker thread: the window starts the client.
    PostMessageA(hwnd(), WM_COMMAND, ID_RUN_MAILER, 0);
}

// ---- commands

bool MainWindow::modalOpen() const { return MessageLoop::modalDepth() > 0; }

void MainWindow::onCommand(UINT code, UINT id, HWND control) {
    if (exiting_) return;
    if (opensModal(id) && modalOpen()) {
        // A question for a check closes as Cancel so that Exit can go on.
        if (id == ID_EXIT && confirmationDialog_) {
            confirmationDialog_->end(IDCANCEL);
            PostMessageA(hwnd(), WM_COMMAND, ID_EXIT, 0);
            return;
        }
        MessageBeep(MB_OK);
        return;
    }
    if (runCommand<MainWindow>(*this, kCommands, id)) return;
    for (const ExtraCommand& extra : extra_)
        if (extra.id == id) return extra.run(*this, id);
    // The tray's per-account items.
    if (Account* account = tray_.accountForCommand(id)) engine_->checkNow(account->id());
}

void MainWindow::commandStates() {
    AccountCommandStates s = accountsList_.commandStates();
    toolbar_.enableButton(ID_CHECK, s.check);
    toolbar_.enableButton(ID_CHECK_ALL, s.checkAll);
    toolbar_.enableButton(ID_STOP, s.stop);
    // Commands that two menus hold (View Errors) are set in each.
    if (HMENU bar = menuBar_.get())
        for (int i = 0, n = GetMenuItemCount(bar); i < n; ++i) accountsList_.updateMenu(GetSubMenu(bar, i));
}

// A row that becomes selected shows its account's messages. Losing the
// selection changes nothing, so that the rows rebuilt after a move or a
// sort do not refill the messages pane.
void MainWindow::accountSelected(const NMLISTVIEW& change) {
    if (!(change.uChanged & LVIF_STATE) || !(change.uNewState & LVIS_SELECTED) || (change.uOldState & LVIS_SELECTED))
        return;
    Account* account = engine_->find(static_cast<uint32_t>(accountsList_.data(change.iItem)));
    if (account && account->id() != messagesList_.shownAccount()) messagesList_.showAccount(account);
}

void MainWindow::accountsChanged() {
    accountsList_.refreshAll();
    commandStates();
    tray_.refresh();
}

void MainWindow::cmdHide(UINT) { hide(); }

void MainWindow::cmdOpen(UINT) { show(); }

void MainWindow::cmdExit(UINT) { exit(); }

bool MainWindow::exit() {
    if (exiting_ || modalOpen()) return false;
    if (engine_->countMarked() > 0 &&
        showMessageBox(hwnd(), MSG_ExitWithDeleted, MB_YESNO | MB_ICONWARNING, {},
                       formatMessage(MSG_Warning).c_str()) != IDYES)
        return false;
    exiting_ = true;
    tray_.stop();
    engine_->stopAll();
    saveAll();
    DestroyWindow(hwnd());
    PostQuitMessage(0);
    return true;
}

void MainWindow::saveSettings() {
    engine_->settings().save();
    eventLog().save(registry_);
}

void MainWindow::saveAll() {
    engine_->saveAll();
    if (IsWindowVisible(hwnd())) splitter_.capture();
    splitter_.save(registry_);
    capturePlacement();
    accountsList_.saveLayout();
    messagesList_.saveLayout();
    saveSettings();
}

ColumnsOwner* MainWindow::columnsOwner(UINT command) {
    if (command == ID_ACCOUNT_COLUMNS) return &accountsList_;
    if (command == ID_MESSAGE_COLUMNS) return &messagesList_;
    return nullptr;
}

void MainWindow::cmdCheck(UINT) {
    // Enter and the toolbar come here too: the same rule as the menu item.
    if (!accountsList_.commandStates().check) return;
    uint32_t id = selectedId();
    engine_->checkNow(id);
    accountsList_.refreshRow(id);
    commandStates();
}

void MainWindow::cmdCheckAll(UINT) {
    engine_->checkAll();
    for (const auto& account : engine_->accounts()) accountsList_.refreshRow(account->id());
    commandStates();
}

void MainWindow::cmdStop(UINT) {
    uint32_t id = selectedId();
    if (!id || !engine_->stop(id)) return;
    refreshAccount(id);
    commandStates();
}

void MainWindow::cmdDisable(UINT) {
    uint32_t id = selectedId();
    if (!id || !engine_->toggleDisabled(id)) return;
    refreshAccount(id);
    commandStates();
}

void MainWindow::cmdMove(UINT command) {
    uint32_t id = selectedId();
    int index = id ? engine_->indexOf(id) : -1;
    if (index < 0) return;
    int to = command == ID_MOVE_UP ? index - 1 : index + 1;
    if (to < 0 || !engine_->moveTo(id, static_cast<size_t>(to))) return;
    accountsChanged();
}

void MainWindow::cmdRemove(UINT) {
    uint32_t id = selectedId();
    if (!id) return;
    {
        ModalScope modal;
        if (showMessageBox(hwnd(), MSG_QuestionRemoveAccount, MB_YESNO | MB_ICONQUESTION, {},
                           formatMessage(MSG_Warning).c_str()) != IDYES)
            return;
    }
    // The pane lets go of the account's messages before they go.
    if (messagesList_.shownAccount() == id) messagesList_.showAccount(nullptr);
    int index = engine_->indexOf(id);
    if (!engine_->remove(id)) return;
    accountsChanged();
    // The row that took its place, or the new last one, is selected.
    accountsList_.selectIndex(std::min(index, static_cast<int>(engine_->count()) - 1));
}

void MainWindow::cmdViewErrors(UINT) {
    Account* account = engine_->find(selectedId());
    if (!account) return;
    AccountStatus status = account->status();
    if (status.state == AccountState::Failed && !status.refusedCertificate.empty()) return offerTrust(account->id(), true);
    std::string text = status.errorText;  // a copy: the worker may write it meanwhile
    ModalScope modal;
    showTextBox(hwnd(), text, MB_OK | MB_ICONERROR, formatMessage(MSG_ViewErrors).c_str());
}

void MainWindow::cmdDeleteAll(UINT) {
    if (!accountsList_.commandStates().deleteAll) return;
    messagesList_.command(ID_MSG_SELECT_ALL);
    messagesList_.command(ID_MSG_DELETE);
}

void MainWindow::cmdDelMsgs(UINT) {
    if (GetFocus() == accountsList_.hwnd()) cmdDeleteAll(ID_DELETE_ALL);
    else messagesList_.command(ID_MSG_DELETE);
}

void MainWindow::cmdMessages(UINT id) { messagesList_.command(id); }

void MainWindow::cmdEncoding(UINT id) {
    Settings& s = engine_->settings();
    HMENU bar = menuBar_.get();
    if (id == ID_CHARSET_AUTO) {
        s.ViewAutoSelect = s.ViewAutoSelect ? 0 : MF_CHECKED;
        CheckMenuItem(bar, ID_CHARSET_AUTO, MF_BYCOMMAND | s.ViewAutoSelect);
    } else {
        s.ViewCharset = id;
        CheckMenuRadioItem(bar, ID_CHARSET_CP1251, ID_CHARSET_CP1252, id, MF_BYCOMMAND);
    }
    SendMessageA(messagesList_.hwnd(), kRefreshEncoding, 0, 0);
}

void MainWindow::cmdCustomizeToolbar(UINT) {
    ModalScope modal;
    toolbar_.customize();
}

void MainWindow::cmdContents(UINT) { showHelp(hwnd()); }

void MainWindow::cmdNotification(UINT) { tray_.toggleNotification(); }

void MainWindow::cmdRunMailer(UINT) { tray_.runMailer(); }

void MainWindow::cmdDialog(UINT id) { runDialogCommand(*this, id); }
