// The checker's resources as the program finds them: every dialog template
// can be created, holds the controls the code looks up and shows its texts
// uncut; menus, accelerators, toolbar, icons, bitmaps and strings are where
// and how the code expects them.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "DialogTable.h"
#include "LayoutCheck.h"

namespace {

INT_PTR CALLBACK plainDialog(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

HINSTANCE self() { return GetModuleHandleA(nullptr); }

std::string windowText(HWND h) {
    char buf[512];
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&icc);
    }
    void SetUp() override {
        host_ = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 1000, 800, nullptr, nullptr, self(), nullptr);
        ASSERT_NE(host_, nullptr);
    }
    void TearDown() override { DestroyWindow(host_); }

    // Pages and tabs are child dialogs; they get a hidden parent.
    HWND create(const DialogEntry& d) {
        HWND parent = d.host == Host::TopLevel ? nullptr : host_;
        return CreateDialogParamA(self(), MAKEINTRESOURCEA(d.id), parent, plainDialog, 0);
    }

    HWND host_ = nullptr;
};

TEST_F(Resources, EveryDialogCreatesWithItsControlsAndUncutTexts) {
    for (const DialogEntry& d : checkerDialogs()) {
        SCOPED_TRACE("dialog " + std::to_string(d.id));
        HWND dlg = create(d);
        ASSERT_NE(dlg, nullptr) << GetLastError();
        EXPECT_EQ(windowText(dlg), d.caption);
        for (int id : d.controls) EXPECT_NE(GetDlgItem(dlg, id), nullptr) << "control " << id;
        for (const std::string& problem : layoutProblems(dlg)) ADD_FAILURE() << problem;
        DestroyWindow(dlg);
    }
}

// Command ids of a popup in order: 0 for a separator, -1 for a submenu.
std::vector<int> commands(HMENU menu) {
    std::vector<int> ids;
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        MENUITEMINFOA mi{sizeof mi, MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU};
        GetMenuItemInfoA(menu, i, TRUE, &mi);
        ids.push_back(mi.hSubMenu ? -1 : (mi.fType & MFT_SEPARATOR) ? 0 : static_cast<int>(mi.wID));
    }
    return ids;
}

bool holds(HMENU menu, int id) {
    for (int c : commands(menu))
        if (c == id) return true;
    return false;
}

struct MenuHandle {
    explicit MenuHandle(int id) : menu(LoadMenuA(self(), MAKEINTRESOURCEA(id))) {}
    ~MenuHandle() { DestroyMenu(menu); }
    HMENU popup() const { return GetSubMenu(menu, 0); }
    HMENU menu;
};

TEST_F(Resources, MenusHaveTheShapeTheCodeAssemblesAndWalks) {
    MenuHandle bar(IDM_MAIN), tray(IDM_TRAY), accounts(IDM_ACCOUNTS), context(IDM_ACCOUNTS_CONTEXT),
        messages(IDM_MESSAGES), attachments(IDM_ATTACHMENTS);
    for (const MenuHandle* m : {&bar, &tray, &accounts, &context, &messages, &attachments})
        ASSERT_NE(m->popup(), nullptr);

    // The accounts and messages popups go in at positions 2 and 3.
    ASSERT_EQ(commands(bar.menu), (std::vector<int>{-1, -1, -1, -1}));
    HMENU encoding = GetSubMenu(GetSubMenu(bar.menu, IDM_POS_MENU_VIEW), IDM_POS_VIEW_ENCODING);
    EXPECT_EQ(commands(encoding),
              (std::vector<int>{ID_CHARSET_AUTO, ID_CHARSET_CP1252, ID_CHARSET_CP1251, ID_CHARSET_KOI8R}));

    HMENU check = GetSubMenu(tray.popup(), IDM_POS_TRAY_CHECK);
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(commands(check), (std::vector<int>{ID_CHECK_ALL, 0}));  // the accounts follow the separator
    EXPECT_EQ(GetMenuDefaultItem(tray.popup(), FALSE, 0), static_cast<UINT>(ID_OPEN));
    EXPECT_EQ(GetMenuDefaultItem(context.popup(), FALSE, 0), static_cast<UINT>(ID_CHECK));
    EXPECT_EQ(commands(context.popup()).front(), ID_CHECK);
    EXPECT_EQ(commands(context.popup()).back(), ID_NEW_ACCOUNT);
    EXPECT_FALSE(holds(context.popup(), ID_IMPORT_ACCOUNTS));

    for (HMENU m : {accounts.popup(), context.popup()}) {
        EXPECT_TRUE(holds(m, ID_MOVE_UP));
        EXPECT_TRUE(holds(m, ID_MOVE_DOWN));
    }
    // Items that need a selected message start greyed.
    for (int id : {ID_MSG_MARK_READ, ID_MSG_DELETE, ID_MSG_REPLY, ID_MSG_ADD_POWER, ID_MSG_ADD_FRIEND,
                   ID_MSG_SHOW_HEADER})
        EXPECT_TRUE(GetMenuState(messages.popup(), id, MF_BYCOMMAND) & MF_GRAYED) << id;
    char text[128];
    GetMenuStringA(messages.popup(), ID_MSG_ADD_POWER, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "Add to 'Power' filter\tCTRL+P");
}

TEST_F(Resources, AcceleratorTablesSendTheirCommands) {
    struct Key {
        int table;
        BYTE modifiers;
        WORD key;
        WORD command;
    };
    const Key keys[] = {
        {IDA_MAIN, FCONTROL, 'M', ID_CHECK_ALL},
        {IDA_ACCOUNTS, FCONTROL, 'D', ID_DELETE_ALL},
        {IDA_ACCOUNTS, 0, VK_RETURN, ID_CHECK},
        {IDA_MESSAGES, FCONTROL, 'M', ID_MSG_MARK_READ},
        {IDA_MESSAGES, FCONTROL, 'D', ID_MSG_DELETE},
        {IDA_MESSAGES, FCONTROL, 'L', ID_MSG_NO_ACTION},
        {IDA_MESSAGES, FCONTROL, 'P', ID_MSG_ADD_POWER},
        {IDA_MESSAGES, FCONTROL, 'I', ID_MSG_ADD_FRIEND},
        {IDA_MESSAGES, FALT, VK_RETURN, ID_MSG_SHOW_HEADER},
    };
    for (const Key& k : keys) {
        SCOPED_TRACE("table " + std::to_string(k.table) + " key " + std::to_string(k.key));
        HACCEL table = LoadAcceleratorsA(self(), MAKEINTRESOURCEA(k.table));
        ASSERT_NE(table, nullptr);
        ACCEL entries[32];
        int n = CopyAcceleratorTableA(table, entries, 32);
        int found = -1;
        for (int i = 0; i < n; ++i)
            if (entries[i].key == k.key && (entries[i].fVirt & (FCONTROL | FALT | FSHIFT)) == k.modifiers)
                found = entries[i].cmd;
        EXPECT_EQ(found, k.command);
        DestroyAcceleratorTable(table);
    }
}

const void* resourceData(const char* type, int id, DWORD* size = nullptr) {
    HRSRC r = FindResourceA(self(), MAKEINTRESOURCEA(id), type);
    if (!r) return nullptr;
    if (size) *size = SizeofResource(self(), r);
    return LockResource(LoadResource(self(), r));
}

// Counts the pixels of a 32-bit picture that let the background through and
// those that are fully opaque: a picture drawn with alpha has both.
void countAlpha(const uint8_t* bgra, size_t pixels, size_t& clear, size_t& solid) {
    clear = solid = 0;
    for (size_t i = 0; i < pixels; ++i) {
        clear += bgra[i * 4 + 3] < 255;
        solid += bgra[i * 4 + 3] == 255;
    }
}

TEST_F(Resources, IconsHoldAnAlphaImageForEverySmallSize) {
    const int icons[] = {IDI_APP, IDI_TRAY_NORMAL, IDI_TRAY_FLASH, IDI_TRAY_ERROR, IDI_TRAY_CHECK,
                         IDI_TRAY_CHECK_ERROR, IDI_ACCOUNT_CHECKING, IDI_ACCOUNT_IDLE, IDI_ACCOUNT_FAILED,
                         IDI_ACCOUNT_DISABLED, IDI_MARK_DELETED, IDI_MARK_UNCERTAIN, IDI_MARK_SPAMMER,
                         IDI_MARK_HIGH, IDI_MARK_LOW, IDI_MARK_ATTACHMENT, IDI_MARK_FRIEND, IDI_MARK_FILTERED,
                         IDI_CERTIFICATE};
    for (int id : icons) {
        auto* dir = static_cast<const BYTE*>(resourceData(RT_GROUP_ICON, id));
        ASSERT_NE(dir, nullptr) << "icon " << id;
        for (int size : {16, 20, 24, 32}) {
            SCOPED_TRACE("icon " + std::to_string(id) + " at " + std::to_string(size));
            int image = LookupIconIdFromDirectoryEx(const_cast<BYTE*>(dir), TRUE, size, size, LR_DEFAULTCOLOR);
            DWORD bytes = 0;
            auto* bmi = static_cast<const BITMAPINFOHEADER*>(resourceData(RT_ICON, image, &bytes));
            ASSERT_NE(bmi, nullptr);
            ASSERT_GE(bytes, sizeof *bmi + size * size * 4u);
            EXPECT_EQ(bmi->biWidth, size);  // its own image, not a scaled neighbour
            EXPECT_EQ(bmi->biBitCount, 32);
            size_t clear, solid;
            countAlpha(reinterpret_cast<const uint8_t*>(bmi + 1), size * size, clear, solid);
            EXPECT_GT(clear, 0u);
            EXPECT_GT(solid, 0u);
            HICON icon = static_cast<HICON>(LoadImageA(self(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
            EXPECT_NE(icon, nullptr);
            DestroyIcon(icon);
        }
    }
}

TEST_F(Resources, BitmapsHaveAnAlphaVariantPerScale) {
    struct Picture {
        int id;
        int frames;
        int base;
    };
    const Picture pictures[] = {{IDB_TOOLBAR, 10, 16}, {IDB_TOOLBAR_DISABLED, 10, 16}, {IDB_SORT_UP, 1, 16},
                                {IDB_SORT_DOWN, 1, 16}, {IDB_SETUP, 1, 48},           {IDB_SETUP_HOT, 1, 48},
                                {IDB_LAUNCH, 1, 48},    {IDB_LAUNCH_HOT, 1, 48}};
    for (const Picture& p : pictures) {
        for (int step = 0; step < 4; ++step) {
            const int percent[] = {100, 125, 150, 200};
            int size = p.base * percent[step] / 100;
            int id = p.id + step * IDB_SCALE_STEP;
            SCOPED_TRACE("bitmap " + std::to_string(id));
            HBITMAP bmp = static_cast<HBITMAP>(
                LoadImageA(self(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
            ASSERT_NE(bmp, nullptr);
            DIBSECTION ds{};
            ASSERT_EQ(GetObjectA(bmp, sizeof ds, &ds), static_cast<int>(sizeof ds));
            EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);
            EXPECT_EQ(ds.dsBm.bmWidth, size * p.frames);
            EXPECT_EQ(ds.dsBm.bmHeight, size);
            size_t clear, solid;
            countAlpha(static_cast<const uint8_t*>(ds.dsBm.bmBits), size * size * p.frames, clear, solid);
            EXPECT_GT(clear, 0u);
            if (p.id != IDB_TOOLBAR_DISABLED) {
                EXPECT_GT(solid, 0u);
            }
            DeleteObject(bmp);
        }
    }
}

TEST_F(Resources, ToolbarButtonsHaveTextsAndOnePictureEach) {
    // RT_TOOLBAR: version, width, height, count, then the command ids (0: separator).
    DWORD bytes = 0;
    auto* data = static_cast<const WORD*>(resourceData(MAKEINTRESOURCEA(241), IDR_TOOLBAR, &bytes));
    ASSERT_NE(data, nullptr);
    ASSERT_GE(bytes, 8u);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(data[1], 16);
    EXPECT_EQ(data[2], 16);
    ASSERT_EQ(data[3], 14);
    ASSERT_GE(bytes, 8u + 2u * data[3]);
    int buttons = 0;
    for (int i = 0; i < data[3]; ++i) {
        WORD id = data[4 + i];
        if (!id) continue;
        ++buttons;
        char text[64] = "";
        EXPECT_GT(LoadStringA(self(), id, text, sizeof text), 0) << "no text for button " << id;
    }
    EXPECT_EQ(buttons, 10);  // the strips hold ten pictures
    char title[64] = "";
    LoadStringA(self(), IDS_ACCOUNTS_WIZARD, title, sizeof title);
    EXPECT_STREQ(title, "Accounts Wizard");
}

TEST_F(Resources, ManifestBringsCommonControlsSixAndPerMonitorDpi) {
    // Only version 6 of the common controls (which the manifest's dependency
    // selects) knows a button's ideal size.
    HWND button = CreateWindowExA(0, "Button", "Check", WS_CHILD | BS_PUSHBUTTON, 0, 0, 10, 10, host_, nullptr,
                                  self(), nullptr);
    SIZE ideal{};
    EXPECT_TRUE(SendMessageA(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));
    DestroyWindow(button);
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()), DPI_AWARENESS_PER_MONITOR_AWARE);
}

}  // namespace
