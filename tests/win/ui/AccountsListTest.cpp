// The accounts list over a live engine whose monitor is not started: a sort
// reorders the accounts themselves, the columns come from the store and
// dragged widths are kept; and the Columns dialog driven through its controls.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win/support/NoView.h"
#include "framework/Dpi.h"
#include "framework/Framework.h"
#include "framework/Window.h"
#include "mail/Controller.h"
#include "message/Message.h"
#include "resources/resource.h"
#include "support/MemoryRegistry.h"
#include "support/TempDir.h"
#include "ui/AccountsList.h"
#include "ui/ColumnsDialog.h"

namespace {

const char kColumnsKey[] = "SOFTWARE\\Kestrix, Inc.\\Kestrix\\CustomizeControls\\CustomizeAccountsList\\Columns";

class Host : public Window {
public:
    Host() : Window("Host") {}
};

class AccountsListTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initFramework(GetModuleHandleA(nullptr)); }

    void SetUp() override {
        ASSERT_TRUE(host.create({}, "host", WS_OVERLAPPEDWINDOW, 0, {0, 0, 800, 300}, nullptr));
    }

    // Accounts by name, each with `sizes` as the messages of a good check.
    Account& add(const std::string& name, const std::string& server, const std::string& user,
                 const std::vector<int32_t>& sizes = {}) {
        Account& account = *engine.add({name, 110, user, "", server});
        MessageList list;
        for (int32_t size : sizes)
            list.push_back(std::make_unique<Message>(std::vector<std::string>{"Subject: x"}, size));
        if (!sizes.empty()) account.replaceMessages(std::move(list));  // no worker: the lock is not needed
        return account;
    }

    void makeList() { ASSERT_TRUE(list.create(host.hwnd(), engine, host.hwnd(), messages, nullptr)); }

    std::string engineOrder() const {
        std::string names;
        for (const auto& account : engine.accounts()) names += account->name;
        return names;
    }
    std::string rowOrder() const {
        std::string names;
        for (int i = 0; i < list.count(); ++i) names += engine.find(static_cast<uint32_t>(list.data(i)))->name;
        return names;
    }
    void clickColumn(int column) {
        NMLISTVIEW nm = {};
        nm.hdr.hwndFrom = list.hwnd();
        nm.hdr.idFrom = IDC_ACCOUNTS_LIST;
        nm.hdr.code = LVN_COLUMNCLICK;
        nm.iSubItem = column;
        SendMessageA(host.hwnd(), WM_NOTIFY, IDC_ACCOUNTS_LIST, reinterpret_cast<LPARAM>(&nm));
    }

    TempDir dir;
    MemoryRegistry registry;
    NoView view;
    Controller engine{registry, view, nullptr, dir.dir()};
    Host host;
    ListView messages;
    AccountsList list;
};

TEST_F(AccountsListTest, ATitleClickSortsTheAccountsThemselves) {
    add("b", "s2", "u3", {10, 10, 10}).setLastCheck(100);
    add("a", "s3", "u1", {5000}).setLastCheck(300);
    add("c", "s1", "u2", {100, 100}).setLastCheck(200);
    engine.accounts()[1]->setState(AccountState::Failed);
    engine.accounts()[2]->setState(AccountState::Disabled);
    makeList();
    list.refreshAll();
    list.selectIndex(0);  // "b"
    // Columns in the built-in order: Account, Server, User, Total msgs, New
    // messages, State, Last check, Mailbox size.
    struct Click {
        int column;
        const char* order;
    } clicks[] = {
        {0, "abc"}, {0, "cba"}, {1, "cba"}, {2, "acb"}, {3, "acb"}, {3, "bca"},
        {4, "acb"}, {5, "bac"}, {6, "bca"}, {7, "bca"}, {7, "acb"},
    };
    for (const Click& click : clicks) {
        engine.accountsDirty = false;
        std::string before = engineOrder();
        clickColumn(click.column);
        EXPECT_EQ(engineOrder(), click.order) << "column " << click.column;
        EXPECT_EQ(rowOrder(), click.order) << "column " << click.column;
        EXPECT_EQ(engine.accountsDirty, before != click.order) << "column " << click.column;
        EXPECT_EQ(engine.find(list.selectedId())->name, "b") << "the selection follows its account";
    }
    EXPECT_EQ(list.text(list.findData(static_cast<LPARAM>(engine.findByName("b")->id())), 3), "3");
}

TEST_F(AccountsListTest, ColumnsComeFromTheStoreAndDraggedWidthsAreKept) {
    // Stored: State first, Server hidden, the rest in their built-in places.
    const uint32_t order[] = {1, 2, 3, 4, 5, 0, 6, 7};
    std::vector<ColumnDescription> columns = AccountsList::builtInColumns();
    for (size_t i = 0; i < columns.size(); ++i) {
        std::string key = std::string(kColumnsKey) + "\\" + columns[i].title;
        registry.putNumber(kRegCurrentUser, key, "Show", columns[i].kind != MSG_ColServer);
        registry.putNumber(kRegCurrentUser, key, "Kind", columns[i].kind);
        registry.putNumber(kRegCurrentUser, key, "cx", 50);
        registry.putNumber(kRegCurrentUser, key, "order", order[i]);
    }
    add("work", "pop.example", "me");
    makeList();
    list.refreshAll();
    EXPECT_EQ(list.columnCount(), 7);
    EXPECT_EQ(list.text(0, 0), "not started");
    EXPECT_EQ(list.text(0, 1), "work");
    EXPECT_EQ(list.text(0, 2), "me");

    // Nothing changed, nothing written; a dragged width is kept at 96 DPI.
    std::string userKey = std::string(kColumnsKey) + "\\User";
    registry.putNumber(kRegCurrentUser, userKey, "cx", 51);
    auto storedWidth = [&] {
        uint32_t cx = 0;
        RegKey key;
        return key.open(registry, kRegCurrentUser, userKey, RegAccess::Read) && key.readNumber("cx", cx) ? cx : 0;
    };
    list.saveLayout();
    EXPECT_EQ(storedWidth(), 51u);
    ListView_SetColumnWidth(list.hwnd(), 2, scaleFor(list.hwnd(), 140));
    list.saveLayout();
    EXPECT_EQ(storedWidth(), 140u);
}

// ---- the Columns dialog

class Owner : public ColumnsOwner {
public:
    explicit Owner(Registry& registry)
        : store(registry, "SOFTWARE\\Test\\Columns",
                {{1, "From", true, 180, 0}, {2, "Subject", true, 190, 0}, {3, "Filter", false, 90, 0}}) {
        store.load();
    }
    ColumnStore& columnStore() override { return store; }
    void rebuildColumns() override { ++rebuilt; }

    ColumnStore store;
    int rebuilt = 0;
};

// "kind:width[h]" per column in display order; h marks a hidden one.
std::string layout(const std::vector<ColumnDescription>& columns) {
    std::string out;
    for (const ColumnDescription& c : columns)
        out += std::to_string(c.kind) + ":" + std::to_string(c.width) + (c.shown ? "" : "h") + " ";
    return out;
}

class ColumnsDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initFramework(GetModuleHandleA(nullptr)); }

    // Runs `steps` in an open dialog, then ends it with `end` (IDOK or IDCANCEL).
    // One letter a step: 0-2 select that row, n no row, u/d move, s/h show
    // and hide, x<row> flips that row's check box, r reset, w<text>; types a
    // width.
    void run(Owner& owner, const std::string& steps, UINT end) {
        ColumnsDialog dialog(owner);
        ASSERT_TRUE(dialog.createModeless(nullptr));
        HWND hwnd = dialog.hwnd();
        HWND list = GetDlgItem(hwnd, IDC_COLUMN_LIST);
        auto press = [&](int id) { SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); };
        for (size_t i = 0; i < steps.size(); ++i) {
            char c = steps[i];
            if (c >= '0' && c <= '2') {
                UINT both = LVIS_SELECTED | LVIS_FOCUSED;
                ListView_SetItemState(list, c - '0', both, both);
            }
            if (c == 'n') ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
            if (c == 'u') press(IDC_COLUMN_MOVE_UP);
            if (c == 'd') press(IDC_COLUMN_MOVE_DOWN);
            if (c == 's') press(IDC_COLUMN_SHOW);
            if (c == 'h') press(IDC_COLUMN_HIDE);
            if (c == 'r') press(IDC_COLUMN_RESET);
            if (c == 'x') {
                int row = steps[++i] - '0';
                ListView_SetCheckState(list, row, !ListView_GetCheckState(list, row));
            }
            if (c == 'w') {
                size_t endOfWidth = steps.find(';', i);
                SetDlgItemTextA(hwnd, IDC_COLUMN_WIDTH, steps.substr(i + 1, endOfWidth - i - 1).c_str());
                i = endOfWidth;
            }
        }
        enabled.clear();
        for (int id : {IDC_COLUMN_MOVE_UP, IDC_COLUMN_MOVE_DOWN, IDC_COLUMN_SHOW, IDC_COLUMN_HIDE, IDC_COLUMN_WIDTH})
            enabled += IsWindowEnabled(GetDlgItem(hwnd, id)) ? "1" : "0";
        press(static_cast<int>(end));
    }

    std::string enabled;  // up, down, show, hide, width, before the dialog ended
};

TEST_F(ColumnsDialogTest, EditsReachTheStoreOnlyOnOK) {
    const char* builtIn = "1:180 2:190 3:90h ";
    struct Row {
        const char* name;
        const char* steps;
        UINT end;
        const char* layout;
        const char* enabled;
    } rows[] = {
        {"move down and hide", "0dh", IDOK, "2:190 1:180h 3:90h ", "11111"},
        {"show the hidden last one, move it to the top", "2suu", IDOK, "3:90 1:180 2:190 ", "01111"},
        {"check boxes show and hide", "x0x2", IDOK, "1:180h 2:190 3:90 ", "01111"},
        {"width typed", "1w250;", IDOK, "1:180 2:250 3:90h ", "11111"},
        {"widths out of range keep the old one", "1w-5;2w4001;0wabc;", IDOK, builtIn, "01111"},
        {"a width moves with its row", "0w77;d", IDOK, "2:190 1:77 3:90h ", "11111"},
        {"hide all", "0h1h2h", IDOK, "1:180h 2:190h 3:90h ", "10111"},
        {"no selection disables the row buttons", "1hn", IDOK, "1:180 2:190h 3:90h ", "00000"},
        {"cancel keeps everything", "0dhw9;", IDCANCEL, builtIn, "11111"},
        {"reset", "0dh2sr", IDOK, builtIn, "01111"},
    };
    for (const Row& row : rows) {
        MemoryRegistry registry;
        Owner owner(registry);
        run(owner, row.steps, row.end);
        EXPECT_EQ(layout(owner.store.columns()), row.layout) << row.name;
        EXPECT_EQ(enabled, row.enabled) << row.name;
        EXPECT_EQ(owner.rebuilt, row.end == IDOK ? 1 : 0) << row.name;
        Owner reloaded(registry);
        EXPECT_EQ(layout(reloaded.store.columns()), row.end == IDOK ? row.layout : builtIn) << row.name;
    }
}

}  // namespace
