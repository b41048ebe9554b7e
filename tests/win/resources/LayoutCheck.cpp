#include "LayoutCheck.h"

#include <commctrl.h>

#include <cstdio>

namespace {

struct Control {
    HWND hwnd;
    int id;
    std::string cls;
    std::string text;
    LONG style;
    RECT rect;  // in the dialog's client coordinates
};

std::string describe(const Control& c) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s %d", c.cls.c_str(), c.id);
    return c.text.empty() ? buf : std::string(buf) + " \"" + c.text + "\"";
}

bool isFrame(const Control& c) {
    if (c.cls == "Button") return (c.style & BS_TYPEMASK) == BS_GROUPBOX;
    if (c.cls != "Static") return false;
    LONG type = c.style & SS_TYPEMASK;
    return type == SS_ETCHEDFRAME || type == SS_ETCHEDHORZ || type == SS_ETCHEDVERT || type == SS_BLACKFRAME ||
           type == SS_GRAYFRAME || type == SS_WHITEFRAME;
}

// An up-down control sits on its buddy's border by design.
bool buddies(const Control& a, const Control& b) {
    auto buddyOf = [](const Control& c) {
        return c.cls == UPDOWN_CLASSA ? reinterpret_cast<HWND>(SendMessageA(c.hwnd, UDM_GETBUDDY, 0, 0)) : nullptr;
    };
    return buddyOf(a) == b.hwnd || buddyOf(b) == a.hwnd;
}

// Size of the text in the control's own font, wrapped at `width` when asked.
SIZE measure(HWND hwnd, const std::string& text, UINT flags, int width) {
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
    RECT r{0, 0, width, 0};
    DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | flags);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return {r.right, r.bottom};
}

int scaled(HWND hwnd, int pixels) {
    HDC dc = GetDC(hwnd);
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(hwnd, dc);
    return MulDiv(pixels, dpi, 96);
}

// The room the control leaves for its text beside its own decoration, or -1
// when it shows no text of ours.
int textRoom(const Control& c, UINT& flags) {
    int width = c.rect.right - c.rect.left;
    if (c.cls == "Static") {
        LONG type = c.style & SS_TYPEMASK;
        if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP &&
            type != SS_SIMPLE)
            return -1;
        if (c.style & SS_NOPREFIX) flags |= DT_NOPREFIX;
        return width;
    }
    if (c.cls != "Button" || (c.style & (BS_ICON | BS_BITMAP))) return -1;
    switch (c.style & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
        return width - scaled(c.hwnd, 8);
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
        return width - scaled(c.hwnd, 18);
    case BS_GROUPBOX:
        return width - scaled(c.hwnd, 16);
    default:
        return -1;
    }
}

void checkText(const Control& c, std::vector<std::string>& problems) {
    if (c.text.empty()) return;
    UINT flags = 0;
    int room = textRoom(c, flags);
    if (room < 0) return;
    int height = c.rect.bottom - c.rect.top;
    int line = measure(c.hwnd, "Ag", DT_SINGLELINE, 0).cy;
    bool wraps = c.cls == "Static" && (c.style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP && height >= 2 * line;
    if (wraps) {
        SIZE need = measure(c.hwnd, c.text, flags | DT_WORDBREAK, room);
        if (need.cy > height)
            problems.push_back(describe(c) + ": needs " + std::to_string(need.cy) + " px of height, has " +
                               std::to_string(height));
        return;
    }
    SIZE need = measure(c.hwnd, c.text, flags | DT_SINGLELINE, 0);
    if (need.cx > room)
        problems.push_back(describe(c) + ": text needs " + std::to_string(need.cx) + " px, has " +
                           std::to_string(room));
    if (need.cy > height)
        problems.push_back(describe(c) + ": text is " + std::to_string(need.cy) + " px high, control " +
                           std::to_string(height));
}

}  // namespace

std::vector<std::string> layoutProblems(HWND dialog) {
    std::vector<Control> controls;
    for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (!(GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE)) continue;
        Control c{h, GetDlgCtrlID(h), {}, {}, GetWindowLongA(h, GWL_STYLE), {}};
        char buf[512];
        GetClassNameA(h, buf, sizeof buf);
        c.cls = buf;
        GetWindowTextA(h, buf, sizeof buf);
        c.text = buf;
        GetWindowRect(h, &c.rect);
        MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&c.rect), 2);
        controls.push_back(c);
    }
    std::vector<std::string> problems;
    RECT client;
    GetClientRect(dialog, &client);
    for (size_t i = 0; i < controls.size(); ++i) {
        const Control& a = controls[i];
        if (a.rect.left < 0 || a.rect.top < 0 || a.rect.right > client.right || a.rect.bottom > client.bottom)
            problems.push_back(describe(a) + ": lies outside the dialog");
        checkText(a, problems);
        if (isFrame(a)) continue;
        for (size_t j = i + 1; j < controls.size(); ++j) {
            RECT both;
            if (!isFrame(controls[j]) && !buddies(a, controls[j]) && IntersectRect(&both, &a.rect, &controls[j].rect))
                problems.push_back(describe(a) + ": overlaps " + describe(controls[j]));
        }
    }
    return problems;
}
