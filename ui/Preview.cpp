#include "ui/Preview.h"

#include <commctrl.h>

#include <algorithm>

#include "framework/Dpi.h"
#include "framework/Framework.h"
#include "mail/Controller.h"
#include "message/Charset.h"
#include "resources/resource.h"
#include "ui/MessageView.h"

namespace {

constexpr int kBarWidth = 37;  // pixels at 96 DPI, at the right of the strip
constexpr int kPadding = 3;

// A NUL would end the text a control is given; a binary body shows a blank.
std::string displayable(std::string text) {
    std::replace(text.begin(), text.end(), '\0', ' ');
    return text;
}

}  // namespace

bool Preview::create(HWND parent, Controller& engine) {
    engine_ = &engine;
    WindowClass cls;
    cls.style = CS_DBLCLKS;
    cls.background = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    if (!Window::create(cls, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, WS_EX_CLIENTEDGE,
                        RECT{0, 0, 0, 0}, parent))
        return false;
    header_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, hwnd(),
                              nullptr, appInstance(), nullptr);
    body_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                            0, 0, 0, 0, hwnd(), nullptr, appInstance(), nullptr);
    return header_ && body_;
}

void Preview::setFont(HFONT font) {
    font_ = font;
    for (HWND child : {header_, body_}) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    layout();
}

void Preview::show(PreviewContent content) {
    if (showing_ && content == content_) return;
    showing_ = true;
    content_ = std::move(content);
    setWindowText(header_, displayable(previewHeaderLine(content_.from, content_.to, content_.subject)));
    recode();
    showAttachmentBar(!content_.attachmentNames.empty());
    layout();
}

void Preview::clear() {
    showing_ = false;
    content_ = {};
    setWindowText(header_, {});
    setWindowText(body_, {});
    showAttachmentBar(false);
    layout();
}

void Preview::recode() {
    const Settings& s = engine_->settings();
    setWindowText(body_, displayable(displayBody(content_.body, content_.charset, s.ViewAutoSelect, s.ViewCharset)));
}

std::string Preview::headerText() const { return windowText(header_); }
std::string Preview::bodyText() const { return windowText(body_); }

int Preview::stripHeight() const {
    WindowDC dc(header_);
    SelectIn font(dc, font_ ? font_ : reinterpret_cast<HFONT>(SendMessageA(header_, WM_GETFONT, 0, 0)));
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    // Room for the two lines a header line with an addressee takes.
    return 2 * tm.tmHeight + 2 * scaleFor(hwnd(), kPadding);
}

void Preview::layout() {
    if (!hwnd()) return;
    RECT rc;
    GetClientRect(hwnd(), &rc);
    int strip = std::min<int>(stripHeight(), rc.bottom);
    int pad = scaleFor(hwnd(), kPadding);
    int bar = bar_ ? scaleFor(hwnd(), kBarWidth) : 0;
    MoveWindow(header_, pad, pad, std::max(0, static_cast<int>(rc.right) - bar - 2 * pad), std::max(0, strip - 2 * pad),
               TRUE);
    if (bar_) MoveWindow(bar_, rc.right - bar, 0, bar, strip, TRUE);
    MoveWindow(body_, 0, strip, rc.right, std::max(0, static_cast<int>(rc.bottom) - strip), TRUE);
    InvalidateRect(hwnd(), nullptr, TRUE);
}

void Preview::showAttachmentBar(bool on) {
    if (!on) {
        if (bar_) DestroyWindow(bar_);
        bar_ = nullptr;
        return;
    }
    if (bar_) return;
    bar_ = CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                           WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TRANSPARENT | CCS_NORESIZE | CCS_NODIVIDER |
                               CCS_NOPARENTALIGN,
                           0, 0, 0, 0, hwnd(), nullptr, appInstance(), nullptr);
    if (!bar_) return;
    SendMessageA(bar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    UINT dpi = windowDpi(hwnd());
    int size = systemMetric(SM_CXSMICON, dpi);
    if (!barImages_) {
        barImages_.reset(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 1, 1));
        IconHandle clip(static_cast<HICON>(
            LoadImageA(appInstance(), MAKEINTRESOURCEA(IDI_MARK_ATTACHMENT), IMAGE_ICON, size, size, 0)));
        ImageList_AddIcon(barImages_.get(), clip.get());
    }
    SendMessageA(bar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(barImages_.get()));
    TBBUTTON button = {};
    button.iBitmap = 0;
    button.idCommand = ID_ATTACHMENTS;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_BUTTON;
    SendMessageA(bar_, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button));
}

// The attachments' names, for information: choosing one does nothing.
void Preview::attachmentMenu() {
    MenuHandle menu(LoadMenuA(appInstance(), MAKEINTRESOURCEA(IDM_ATTACHMENTS)));
    HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
    if (!popup || !bar_) return;
    while (GetMenuItemCount(popup) > 0) DeleteMenu(popup, 0, MF_BYPOSITION);
    UINT id = 1;
    for (const std::string& name : content_.attachmentNames)
        if (!name.empty()) AppendMenuA(popup, MF_STRING, id++, displayable(name).c_str());
    RECT rc = {};
    SendMessageA(bar_, TB_GETRECT, ID_ATTACHMENTS, reinterpret_cast<LPARAM>(&rc));
    MapWindowPoints(bar_, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_RIGHTALIGN, rc.right, rc.bottom, 0, hwnd(), nullptr);
}

LRESULT Preview::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SIZE:
        layout();
        return 0;
    case WM_PAINT: {
        PaintDC dc(hwnd());
        RECT strip;
        GetClientRect(hwnd(), &strip);
        strip.bottom = std::min<LONG>(strip.bottom, stripHeight());
        FillRect(dc, &strip, GetSysColorBrush(COLOR_MENU));
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        // The read-only body asks as a static does; only the header sits on the strip.
        bool onStrip = reinterpret_cast<HWND>(lp) == header_;
        int colour = onStrip ? COLOR_MENU : COLOR_WINDOW;
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, GetSysColor(onStrip ? COLOR_MENUTEXT : COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(colour));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(colour));
    }
    case WM_COMMAND:
        if (LOWORD(wp) == ID_ATTACHMENTS) {
            attachmentMenu();
            return 0;
        }
        break;
    default:
        break;
    }
    return Window::onMessage(msg, wp, lp);
}
