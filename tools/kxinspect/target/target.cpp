// kxinspect_target: the small program that the inspection tool's own test
// drives. It has one of each thing the checker's window tests look at (menu
// bar with checked, greyed, radio and default items, report list view with
// reordered columns, images and check boxes, toolbar, tab control, combo box,
// accelerators, tray icon, modal dialog) and shows the last thing that
// happened to it in the status text (control 1100), e.g. "accel 40011",
// "command 40011", "tray 515", "tab 2", "select 1", "click 2", "drag 0",
// "column 2", "checked 0 1".
//
// Exit (40013) ends the process with code 3, closing the window with 0.
// It writes HKCU\Software\kxinspect\target: Started=1 at start, Name from the
// Options dialog, EndSession=1 on WM_ENDSESSION.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "target.h"

namespace {

constexpr UINT kTrayMessage = WM_USER + 100;
constexpr int kExitCode = 3;
const char kKey[] = "Software\\kxinspect\\target";

HINSTANCE gInstance;
UINT gTaskbarCreated;
HWND gMain, gToolbar;
bool gDragging;

void status(const std::string& text)
{
    SetDlgItemTextA(gMain, IDC_STATUS, text.c_str());
}

void status(const std::string& what, long long value)
{
    status(what + " " + std::to_string(value));
}

void writeValue(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void writeFlag(const char* name)
{
    DWORD one = 1;
    writeValue(name, REG_DWORD, &one, sizeof one);
}

void trayIcon(DWORD action)
{
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = gMain;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    lstrcpynA(data.szTip, "kxinspect target", sizeof data.szTip);
    Shell_NotifyIconA(action, &data);
}

void fillList(HWND list)
{
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0);
    ImageList_AddIcon(images, LoadIcon(nullptr, IDI_APPLICATION));
    ImageList_AddIcon(images, LoadIcon(nullptr, IDI_WARNING));
    ListView_SetImageList(list, images, LVSIL_SMALL);
    const char* titles[] = {"Name", "Count", "State"};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 90;
        column.pszText = const_cast<char*>(titles[i]);
        SendMessageA(list, LVM_INSERTCOLUMNA, i, LPARAM(&column));
    }
    // Shown as Name, State, Count: readers must follow the display order.
    int order[] = {0, 2, 1};
    ListView_SetColumnOrderArray(list, 3, order);
    const char* rows[][3] = {{"alpha", "3", "sleeping"}, {"beta", "0", "failed"}, {"gamma", "12", "checking"}};
    for (int row = 0; row < 3; ++row) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = row;
        item.iImage = row == 1 ? 1 : 0;
        item.lParam = 100 + row;
        item.pszText = const_cast<char*>(rows[row][0]);
        SendMessageA(list, LVM_INSERTITEMA, 0, LPARAM(&item));
        for (int column = 1; column < 3; ++column) {
            item.mask = LVIF_TEXT;
            item.iSubItem = column;
            item.pszText = const_cast<char*>(rows[row][column]);
            SendMessageA(list, LVM_SETITEMTEXTA, row, LPARAM(&item));
        }
    }
    ListView_SetCheckState(list, 2, TRUE);
    ListView_SetItemState(list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void makeToolbar(HWND parent)
{
    gToolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr,
                               WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0, 0, 0, parent,
                               nullptr, gInstance, nullptr);
    SendMessageA(gToolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(gToolbar, TB_LOADIMAGES, IDB_STD_SMALL_COLOR, LPARAM(HINST_COMMCTRL));
    static char texts[3][32];
    const int ids[] = {ID_CHECK, ID_STOP, ID_PIN};
    for (int i = 0; i < 3; ++i) LoadStringA(gInstance, ids[i], texts[i], sizeof texts[i]);
    TBBUTTON buttons[] = {
        {STD_FILEOPEN, ID_CHECK, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, INT_PTR(texts[0])},
        {0, 0, 0, BTNS_SEP, {}, 0, 0},
        {STD_DELETE, ID_STOP, 0, BTNS_BUTTON, {}, 0, INT_PTR(texts[1])},
        {STD_PROPERTIES, ID_PIN, TBSTATE_ENABLED | TBSTATE_CHECKED, BTNS_CHECK, {}, 0, INT_PTR(texts[2])},
    };
    SendMessageA(gToolbar, TB_ADDBUTTONSA, 4, LPARAM(buttons));
    SendMessageA(gToolbar, TB_AUTOSIZE, 0, 0);
}

void initialise(HWND window)
{
    gMain = window;
    makeToolbar(window);
    fillList(GetDlgItem(window, IDC_LIST));
    HWND tabs = GetDlgItem(window, IDC_TABS);
    const char* tabTexts[] = {"System", "Sound", "Log"};
    for (int i = 0; i < 3; ++i) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(tabTexts[i]);
        SendMessageA(tabs, TCM_INSERTITEMA, i, LPARAM(&item));
    }
    HWND combo = GetDlgItem(window, IDC_COMBO);
    for (const char* text : {"Auto", "Western", "Cyrillic"}) SendMessageA(combo, CB_ADDSTRING, 0, LPARAM(text));
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
    HMENU menu = GetMenu(window);
    SetMenuDefaultItem(GetSubMenu(menu, 0), ID_OPTIONS, FALSE);
    CheckMenuRadioItem(menu, ID_WESTERN, ID_WESTERN, ID_WESTERN, MF_BYCOMMAND);
    trayIcon(NIM_ADD);
    writeFlag("Started");
}

INT_PTR CALLBACK optionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        if (LOWORD(wParam) == IDOK) {
            char name[256] = "";
            GetDlgItemTextA(dialog, IDC_NAME, name, sizeof name);
            writeValue("Name", REG_SZ, name, DWORD(strlen(name) + 1));
        }
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

void quit(int code)
{
    trayIcon(NIM_DELETE);
    DestroyWindow(gMain);
    PostQuitMessage(code);
}

void command(WORD id, WORD code, HWND window)
{
    switch (id) {
    case ID_OPTIONS:
        status(DialogBoxA(gInstance, MAKEINTRESOURCEA(IDD_OPTIONS), window, optionsProc) == IDOK ? "options ok"
                                                                                                 : "options cancel");
        return;
    case ID_EXIT:
        quit(kExitCode);
        return;
    case IDC_BUTTON:
        status("button");
        return;
    case IDC_CHECK:
        status("check", IsDlgButtonChecked(window, IDC_CHECK));
        return;
    case IDC_EDIT:
        if (code == EN_CHANGE) {
            char text[256] = "";
            GetDlgItemTextA(window, IDC_EDIT, text, sizeof text);
            status(std::string("edit ") + text);
        }
        return;
    case IDC_COMBO:
        if (code == CBN_SELCHANGE) status("combo", SendDlgItemMessageA(window, IDC_COMBO, CB_GETCURSEL, 0, 0));
        return;
    default:
        // Accelerators send code 1, menus and toolbars 0.
        status(code == 1 ? "accel" : "command", id);
    }
}

void notify(const NMHDR* note)
{
    if (note->idFrom == IDC_TABS && note->code == TCN_SELCHANGE) {
        status("tab", SendMessageA(note->hwndFrom, TCM_GETCURSEL, 0, 0));
    } else if (note->idFrom == IDC_LIST && note->code == LVN_ITEMCHANGED) {
        auto* change = reinterpret_cast<const NMLISTVIEW*>(note);
        UINT checks = (change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK;
        if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED))
            status("select", change->iItem);
        else if (checks && change->uOldState & LVIS_STATEIMAGEMASK)
            status("checked " + std::to_string(change->iItem), ListView_GetCheckState(note->hwndFrom, change->iItem));
    } else if (note->idFrom == IDC_LIST && note->code == LVN_BEGINDRAG) {
        gDragging = true;
        status("drag", reinterpret_cast<const NMLISTVIEW*>(note)->iItem);
    } else if (note->idFrom == IDC_LIST && note->code == NM_CLICK && gDragging) {
        gDragging = false;  // the list reports the drop as a click
    } else if (note->idFrom == IDC_LIST && note->code == LVN_COLUMNCLICK) {
        status("column", reinterpret_cast<const NMLISTVIEW*>(note)->iSubItem);
    } else if (note->idFrom == IDC_LIST && (note->code == NM_CLICK || note->code == NM_DBLCLK)) {
        auto* click = reinterpret_cast<const NMITEMACTIVATE*>(note);
        status(note->code == NM_CLICK ? "click" : "double", click->iItem);
    }
}

INT_PTR CALLBACK mainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == gTaskbarCreated && message) {
        trayIcon(NIM_ADD);
        status("taskbar created");
        return TRUE;
    }
    switch (message) {
    case WM_INITDIALOG:
        initialise(window);
        return TRUE;
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam), window);
        return TRUE;
    case WM_NOTIFY:
        notify(reinterpret_cast<const NMHDR*>(lParam));
        return FALSE;
    case WM_SIZE:
        SendMessageA(gToolbar, TB_AUTOSIZE, 0, 0);
        return FALSE;
    case kTrayMessage:
        status("tray", LOWORD(lParam));
        return TRUE;
    case WM_QUERYENDSESSION:
        status("query end session");
        SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) writeFlag("EndSession");
        status("end session");
        return TRUE;
    case WM_CLOSE:
        quit(0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    gInstance = instance;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    gTaskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    HWND main = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainProc, 0);
    if (!main) return 1;
    ShowWindow(main, show);
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDA_MAIN));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(main, accelerators, &msg) || IsDialogMessageA(main, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return int(msg.wParam);
}
