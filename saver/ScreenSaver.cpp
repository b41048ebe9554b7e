// The three functions the screen-saver library calls: the saver window draws
// the mail summary that the checker leaves in the registry, and the configure
// dialog only names the product.
#include <windows.h>
#include <scrnsave.h>

#include <cstdlib>
#include <cstring>

namespace {

const char kSummaryKey[] = "SOFTWARE\\Kestrix, Inc.\\Kestrix\\SSaver";
const char kSummaryValue[] = "MailInfo";
constexpr DWORD kSummaryMax = 8192;
constexpr UINT kTimerMs = 50;
constexpr COLORREF kTextColour = RGB(255, 255, 185);
constexpr int kConfigureExit = 1019;
constexpr INT_PTR kConfigureResult = 42;

// Where the summary is drawn; -1 until the first draw puts it at the top left.
int textX = -1;
int textY = -1;
const UINT_PTR timerId = 0;

class RegKey {
public:
    ~RegKey() { if (key_) RegCloseKey(key_); }
    HKEY* put() { return &key_; }
    HKEY get() const { return key_; }
private:
    HKEY key_ = nullptr;
};

class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() { if (dc_) ReleaseDC(window_, dc_); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }
private:
    HWND window_;
    HDC dc_;
};

// A GDI object selected into a device context for the object's lifetime.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), object_(object), old_(object ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (old_) SelectObject(dc_, old_);
        if (object_) DeleteObject(object_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
private:
    HDC dc_;
    HGDIOBJ object_;
    HGDIOBJ old_;
};

class DesktopBrush {
public:
    DesktopBrush() : brush_(CreateSolidBrush(GetSysColor(COLOR_BACKGROUND))) {}
    ~DesktopBrush() { if (brush_) DeleteObject(brush_); }
    DesktopBrush(const DesktopBrush&) = delete;
    DesktopBrush& operator=(const DesktopBrush&) = delete;
    HBRUSH get() const { return brush_; }
private:
    HBRUSH brush_;
};

// Reads the summary into `text` and returns its length in characters, or 0
// when there is nothing to draw. The checker stores the terminating zero, but
// the text ends at the first zero within the data read or at the data's end,
// so a value written without one is drawn whole and never past what was read.
size_t readSummary(char (&text)[kSummaryMax]) {
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSummaryKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return 0;
    DWORD size = sizeof text;
    if (RegQueryValueExA(key.get(), kSummaryValue, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
        return 0;
    if (size > sizeof text)
        return 0;
    const void* zero = std::memchr(text, 0, size);
    return zero ? static_cast<const char*>(zero) - text : size;
}

void drawSummary(HWND window) {
    static char text[kSummaryMax];
    size_t length = readSummary(text);
    if (length == 0)
        return;

    RECT client;
    GetClientRect(window, &client);
    WindowDc dc(window);
    if (!dc.get())
        return;
    // Character height 72 (negative: without internal leading); the rest is left to the font mapper.
    HFONT font = CreateFontA(-72, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Times New Roman");
    SelectedObject selected(dc.get(), font);
    // Opaque text in the desktop colour covers the previous draw in place.
    SetBkMode(dc.get(), OPAQUE);
    SetBkColor(dc.get(), GetSysColor(COLOR_BACKGROUND));
    SetTextColor(dc.get(), kTextColour);

    if (textX == -1) textX = client.left;
    if (textY == -1) textY = client.top;
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    if (std::rand() % 100 == 1 && width > 0 && height > 0) {
        textX = std::rand() % width;
        textY = std::rand() % height;
        DesktopBrush brush;
        FillRect(dc.get(), &client, brush.get());
    }
    RECT where = {textX, textY, client.right, height};
    DrawTextA(dc.get(), text, static_cast<int>(length), &where, 0);
}

// The outermost pixels stay black: the rectangle is drawn with the default pen.
void eraseBackground(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    DesktopBrush brush;
    HGDIOBJ old = SelectObject(dc, brush.get());
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
    SelectObject(dc, old);
}

}  // namespace

LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        std::srand(GetTickCount());
        SetTimer(window, timerId, kTimerMs, nullptr);
        break;
    case WM_DESTROY:
        KillTimer(window, timerId);
        break;
    case WM_ERASEBKGND:
        eraseBackground(window, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_TIMER:
        drawSummary(window);
        return 0;
    }
    return DefScreenSaverProc(window, message, wParam, lParam);
}

// Enter reaches the dialog as command 1; Escape (command 2) is swallowed, so
// only Enter and the Exit button close it.
WINBOOL WINAPI ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COMMAND)
        return FALSE;
    int command = LOWORD(wParam);
    if (command == IDOK || command == kConfigureExit)
        EndDialog(dialog, kConfigureResult);
    return TRUE;
}

WINBOOL WINAPI RegisterDialogClasses(HANDLE instance) {
    return TRUE;
}
