// Shows every dialog of the checker, one after another, the way the program
// hosts it (pages in their sheets, tabs in the settings dialog), so that a
// script can take a screenshot of each. For each view it prints
//   SHOW <name> <left> <top> <right> <bottom>
// and waits for a line on its input; layout faults are printed as PROBLEM
// lines. Used by tools/rc-gallery; not a test.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "DialogTable.h"
#include "LayoutCheck.h"

namespace {

INT_PTR CALLBACK plainDialog(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

HINSTANCE self() { return GetModuleHandleA(nullptr); }

std::string message(DWORD id) {
    char buf[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, self(), id, 0, buf, sizeof buf,
                   nullptr);
    std::string s = buf;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

// Lets the windows paint, then reports the view and waits for the next-line.
void show(const std::string& name, HWND window, HWND checked) {
    for (int i = 0; i < 30; ++i) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        Sleep(10);
    }
    for (const std::string& p : layoutProblems(checked)) std::printf("PROBLEM %s: %s\n", name.c_str(), p.c_str());
    RECT r;
    GetWindowRect(window, &r);
    std::printf("SHOW %s %ld %ld %ld %ld\n", name.c_str(), r.left, r.top, r.right, r.bottom);
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin)) ExitProcess(0);
}

void place(HWND window) {
    SetWindowPos(window, HWND_TOP, 16, 16, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
}

std::string name(const DialogEntry& d) {
    std::string s = d.caption;
    for (char& c : s)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return std::to_string(d.id) + (s.empty() ? "" : "_" + s);
}

void showTopLevel(const DialogEntry& d) {
    HWND dlg = CreateDialogParamA(self(), MAKEINTRESOURCEA(d.id), nullptr, plainDialog, 0);
    place(dlg);
    show(name(d), dlg, dlg);
    DestroyWindow(dlg);
}

void showSettings() {
    HWND sheet = CreateDialogParamA(self(), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr, plainDialog, 0);
    HWND tabs = GetDlgItem(sheet, IDC_SETTINGS_TABS);
    std::vector<const DialogEntry*> pages;
    for (const DialogEntry& d : checkerDialogs())
        if (d.host == Host::Tab) pages.push_back(&d);
    for (size_t i = 0; i < pages.size(); ++i) {
        TCITEMA item{TCIF_TEXT};
        item.pszText = const_cast<char*>(pages[i]->caption);
        SendMessageA(tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    place(sheet);
    for (size_t i = 0; i < pages.size(); ++i) {
        HWND page = CreateDialogParamA(self(), MAKEINTRESOURCEA(pages[i]->id), sheet, plainDialog, 0);
        RECT r;
        GetWindowRect(tabs, &r);
        MapWindowPoints(HWND_DESKTOP, sheet, reinterpret_cast<POINT*>(&r), 2);
        SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
        SetWindowPos(page, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_SHOWWINDOW);
        SendMessageA(tabs, TCM_SETCURSEL, i, 0);
        show(name(*pages[i]), sheet, page);
        DestroyWindow(page);
    }
    DestroyWindow(sheet);
}

struct Title {
    int page;
    DWORD title;
    DWORD subtitle;
};

void showSheet(const char* caption, const std::vector<int>& ids, const std::vector<Title>& titles, bool wizard) {
    std::vector<PROPSHEETPAGEA> pages;
    std::vector<std::string> texts;
    texts.reserve(2 * ids.size());
    for (int id : ids) {
        PROPSHEETPAGEA p{sizeof p};
        p.hInstance = self();
        p.pszTemplate = MAKEINTRESOURCEA(id);
        p.pfnDlgProc = plainDialog;
        for (const Title& t : titles) {
            if (t.page != id) continue;
            p.dwFlags |= PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE;
            texts.push_back(message(t.title));
            p.pszHeaderTitle = texts.back().c_str();
            texts.push_back(message(t.subtitle));
            p.pszHeaderSubTitle = texts.back().c_str();
        }
        pages.push_back(p);
    }
    PROPSHEETHEADERA h{sizeof h};
    h.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_NOAPPLYNOW | (wizard ? PSH_WIZARD97 : PSH_HASHELP);
    h.hInstance = self();
    h.pszCaption = caption;
    h.nPages = static_cast<UINT>(pages.size());
    h.ppsp = pages.data();
    HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&h));
    place(sheet);
    for (size_t i = 0; i < ids.size(); ++i) {
        SendMessageA(sheet, PSM_SETCURSEL, i, 0);
        HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        for (const DialogEntry& d : checkerDialogs())
            if (d.id == ids[i]) show(name(d), sheet, page);
    }
    DestroyWindow(sheet);
}

}  // namespace

int main() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    for (const DialogEntry& d : checkerDialogs())
        if (d.host == Host::TopLevel && d.id != IDD_SETTINGS) showTopLevel(d);
    showSettings();
    const DWORD info = 0x40000000;
    showSheet("Accounts Wizard",
              {IDD_WIZ_CHOICE, IDD_WIZ_IMPORT, IDD_WIZ_NAME, IDD_WIZ_SERVER, IDD_WIZ_LOGIN, IDD_WIZ_ANOTHER},
              {{IDD_WIZ_CHOICE, info | 0x55b, info | 0x455},
               {IDD_WIZ_IMPORT, info | 0x55e, info | 0x455},
               {IDD_WIZ_NAME, info | 0x454, info | 0x455},
               {IDD_WIZ_SERVER, info | 0x458, info | 0x459},
               {IDD_WIZ_LOGIN, info | 0x456, info | 0x457},
               {IDD_WIZ_ANOTHER, info | 0x55d, info | 0x457}},
              true);
    showSheet("Email Filters",
              {IDD_FILTER_POWER, IDD_FILTER_FRIENDS, IDD_FILTER_FROM, IDD_FILTER_SUBJECT, IDD_FILTER_TOCC,
               IDD_FILTER_SPAMMERS, IDD_FILTER_SIZE, IDD_FILTER_VIRUS},
              {}, false);
    std::printf("DONE\n");
    return 0;
}
