#include "ui/Viewers.h"

#include <algorithm>

#include "core/EventLog.h"
#include "core/MessageText.h"
#include "core/Platform.h"
#include "core/Settings.h"
#include "framework/Dpi.h"
#include "framework/VersionInfo.h"
#include "resources/resource.h"
#include "ui/Tips.h"

namespace {

constexpr UINT_PTR kLogTimer = 1;
constexpr UINT kLogIntervalMs = 1000;
constexpr int kLogColumnWidth = 1216;  // pixels at 96 DPI
const COLORREF kLinkColour = RGB(128, 0, 128);

}  // namespace

// ---- header viewer

HeaderViewer::HeaderViewer(std::string text) : Dialog(IDD_HEADER, "HeaderViewer"), text_(std::move(text)) {}

bool HeaderViewer::onInit() {
    SendMessageA(item(IDC_HEADER_TEXT), EM_SETREADONLY, TRUE, 0);
    // A NUL would end the text early; the rest of the header stays readable.
    std::string shown = text_;
    std::replace(shown.begin(), shown.end(), '\0', ' ');
    setItemText(IDC_HEADER_TEXT, shown);
    return true;
}

// ---- log viewer

std::string logViewerLine(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    return line;
}

LogViewer::LogViewer() : Dialog(IDD_LOG, "LogViewer") {}

bool LogViewer::onInit() {
    list_.attach(item(IDC_LOG_LIST));
    list_.setExtendedStyle(LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    list_.addColumn(0, "", scaleFor(hwnd(), kLogColumnWidth));
    seen_ = 0;
    fetch();
    SetTimer(hwnd(), kLogTimer, kLogIntervalMs, nullptr);
    return true;
}

void LogViewer::fetch() {
    int added = 0;
    SendMessageA(list_.hwnd(), WM_SETREDRAW, FALSE, 0);
    for (std::string& raw : eventLog().linesAfter(seen_)) {
        std::string line = logViewerLine(std::move(raw));
        if (line.empty()) continue;
        list_.insertItem(-1, line, 0);
        ++added;
    }
    for (int extra = list_.count() - kMaxRows; extra > 0; --extra) list_.deleteItem(0);
    SendMessageA(list_.hwnd(), WM_SETREDRAW, TRUE, 0);
    // The view follows the log.
    if (added) list_.ensureVisible(list_.count() - 1);
}

bool LogViewer::onMessage(UINT msg, WPARAM wp, LPARAM, INT_PTR& result) {
    if (msg != WM_TIMER || wp != kLogTimer) return false;
    fetch();
    result = TRUE;
    return true;
}

void LogViewer::onDestroy() { KillTimer(hwnd(), kLogTimer); }

// ---- tips

namespace {
// One place in the tips for the whole run.
TipCursor gTipCursor;
}  // namespace

TipsDialog::TipsDialog(Settings& settings, std::string path)
    : Dialog(IDD_TIPS, "TipsDialog"), settings_(settings), path_(std::move(path)) {}

bool TipsDialog::onInit() {
    tips_ = readTips(path_);
    LOGFONTA lf = {};
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd(), WM_GETFONT, 0, 0));
    if (font && GetObjectA(font, sizeof lf, &lf)) {
        lf.lfWeight = FW_BOLD;
        heading_.reset(CreateFontIndirectA(&lf));
        SendMessageA(item(IDC_TIPS_HEADING), WM_SETFONT, reinterpret_cast<WPARAM>(heading_.get()), FALSE);
    }
    setItemText(IDC_TIPS_HEADING, formatMessage(MSG_TipsHeading));
    setChecked(IDC_SHOW_TIPS, settings_.ShowTips);
    showNext();
    return true;
}

void TipsDialog::showNext() { setItemText(IDC_TIP_TEXT, gTipCursor.next(tips_, GetTickCount())); }

std::string TipsDialog::tip() const { return itemText(IDC_TIP_TEXT); }

void TipsDialog::onCommand(UINT code, UINT id, HWND control) {
    switch (id) {
    case IDC_NEXT_TIP:
        showNext();
        break;
    case IDC_SHOW_TIPS:
        settings_.ShowTips = isChecked(IDC_SHOW_TIPS);
        break;
    default:
        Dialog::onCommand(code, id, control);
    }
}

bool TipsDialog::onMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) {
    if (msg != WM_CTLCOLORSTATIC || reinterpret_cast<HWND>(lp) != item(IDC_TIPS_HEADING)) return false;
    HDC dc = reinterpret_cast<HDC>(wp);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
    return true;
}

// ---- links and About

bool LinkLabel::attachLink(HWND label, HFONT normal, HFONT hot) {
    normal_ = normal;
    hot_ = hot;
    return subclass(label, "LinkLabel");
}

bool LinkLabel::onReflected(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (msg != WM_CTLCOLORSTATIC) return false;
    HDC dc = reinterpret_cast<HDC>(wp);
    SetTextColor(dc, kLinkColour);
    SetBkMode(dc, TRANSPARENT);
    result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    return true;
}

LRESULT LinkLabel::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    auto setHot = [&](bool on) {
        over_ = on;
        SendMessageA(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(on ? hot_ : normal_), TRUE);
    };
    switch (msg) {
    case WM_SETCURSOR:
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        return TRUE;
    case WM_MOUSEMOVE:
        if (!over_) {
            TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd(), 0};
            TrackMouseEvent(&track);
            setHot(true);
        }
        break;
    case WM_MOUSELEAVE:
        setHot(false);
        break;
    default:
        break;
    }
    return Control::onMessage(msg, wp, lp);
}

AboutDialog::AboutDialog() : Dialog(IDD_ABOUT, "AboutDialog") {}

bool AboutDialog::onInit() {
    setItemText(IDC_ABOUT_PRODUCT, versionString("ProductName"));
    setItemText(IDC_ABOUT_VERSION, versionString("ProductVersion"));
    setItemText(IDC_ABOUT_LEGAL, versionString("LegalCopyright"));
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd(), WM_GETFONT, 0, 0));
    LOGFONTA lf = {};
    if (font && GetObjectA(font, sizeof lf, &lf)) {
        lf.lfUnderline = TRUE;
        underlined_.reset(CreateFontIndirectA(&lf));
    }
    homepage_.attachLink(item(IDC_ABOUT_HOMEPAGE), font, underlined_.get());
    support_.attachLink(item(IDC_ABOUT_SUPPORT), font, underlined_.get());
    return true;
}

void AboutDialog::onCommand(UINT code, UINT id, HWND control) {
    if (code == STN_CLICKED && id == IDC_ABOUT_HOMEPAGE) shellOpen(itemText(IDC_ABOUT_HOMEPAGE));
    else if (code == STN_CLICKED && id == IDC_ABOUT_SUPPORT) shellOpen("mailto:" + itemText(IDC_ABOUT_SUPPORT));
    else Dialog::onCommand(code, id, control);
}

// ---- entry points

void showHeaderViewer(HWND owner, std::string headerText) { HeaderViewer(std::move(headerText)).runModal(owner); }

void showLogViewer(HWND owner) { LogViewer().runModal(owner); }

void showTips(HWND owner, Settings& settings) { TipsDialog(settings, programDirectory() + "tips.txt").runModal(owner); }

void showAbout(HWND owner) { AboutDialog().runModal(owner); }
