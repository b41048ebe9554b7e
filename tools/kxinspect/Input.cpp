// Keyboard and mouse input as the user gives it, and screenshots.
//
// Keys go through SendInput, the way a keyboard's do: a program's message
// loop sees them as hardware messages, with the modifiers in its key state,
// so TranslateAccelerator matches Ctrl+M or Alt+Enter. Posted WM_KEYDOWN
// messages would not carry the modifiers. Hardware input goes to the
// foreground window's focus, so the tool first brings the target's top-level
// window to the foreground and gives the control the focus.
#include <windows.h>

#include <cstdlib>
#include <cwctype>

#include "Command.h"
#include "Remote.h"

namespace {

bool foreground(HWND window, DWORD ms)
{
    HWND root = GetAncestor(window, GA_ROOT);
    return waitFor(ms, [&] {
        if (GetForegroundWindow() == root) return true;
        if (!SetForegroundWindow(root)) {
            // Windows lets only the foreground's own input change it: borrow it.
            DWORD self = GetCurrentThreadId();
            DWORD owner = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
            if (owner && owner != self && AttachThreadInput(self, owner, TRUE)) {
                SetForegroundWindow(root);
                AttachThreadInput(self, owner, FALSE);
            }
        }
        return GetForegroundWindow() == root;
    });
}

bool isMenu(HWND window)
{
    return windowClass(GetAncestor(window, GA_ROOT)) == L"#32768";
}

HWND focusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

// The window's top-level window in front and the window itself focused.
bool focus(HWND window, DWORD ms, Reply& reply)
{
    // An open menu takes every key of its program, which is in front already;
    // activating the menu's window would close it.
    if (isMenu(window)) return true;
    if (!foreground(window, ms)) return reply.fail("the window did not come to the foreground");
    // A dialog hands its focus to a control: the top level needs only the foreground.
    if (focusOf(window) == window || GetAncestor(window, GA_ROOT) == window) return true;
    // SetFocus works on windows of the caller's input state: share the target's.
    DWORD self = GetCurrentThreadId();
    DWORD target = GetWindowThreadProcessId(window, nullptr);
    bool attached = AttachThreadInput(self, target, TRUE);
    SetFocus(window);
    if (attached) AttachThreadInput(self, target, FALSE);
    if (!waitFor(ms, [&] { return focusOf(window) == window; })) return reply.fail("the window did not take the focus");
    return true;
}

struct KeyName {
    const wchar_t* name;
    WORD vk;
};

const KeyName kKeys[] = {
    {L"enter", VK_RETURN}, {L"return", VK_RETURN}, {L"esc", VK_ESCAPE}, {L"escape", VK_ESCAPE}, {L"tab", VK_TAB},
    {L"space", VK_SPACE}, {L"backspace", VK_BACK}, {L"delete", VK_DELETE}, {L"del", VK_DELETE},
    {L"insert", VK_INSERT}, {L"home", VK_HOME}, {L"end", VK_END}, {L"pageup", VK_PRIOR}, {L"pagedown", VK_NEXT},
    {L"up", VK_UP}, {L"down", VK_DOWN}, {L"left", VK_LEFT}, {L"right", VK_RIGHT}, {L"apps", VK_APPS},
    {L"ctrl", VK_CONTROL}, {L"control", VK_CONTROL}, {L"alt", VK_MENU}, {L"shift", VK_SHIFT}, {L"win", VK_LWIN},
};

bool extended(WORD vk)
{
    switch (vk) {
    case VK_DELETE: case VK_INSERT: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_UP: case VK_DOWN: case VK_LEFT: case VK_RIGHT: case VK_APPS: case VK_LWIN:
        return true;
    default:
        return false;
    }
}

bool keyCode(std::wstring name, WORD& vk, bool& shift)
{
    for (wchar_t& c : name) c = wchar_t(towlower(c));
    shift = false;
    for (const KeyName& key : kKeys)
        if (name == key.name) return vk = key.vk, true;
    if (name.size() >= 2 && name[0] == L'f' && iswdigit(name[1])) {
        int n = _wtoi(name.c_str() + 1);
        if (n >= 1 && n <= 24) return vk = WORD(VK_F1 + n - 1), true;
    }
    if (name.size() != 1) return false;
    SHORT scan = VkKeyScanW(name[0]);
    if (scan == -1) return false;
    vk = LOBYTE(scan);
    shift = HIBYTE(scan) & 1;
    return true;
}

void addKey(std::vector<INPUT>& inputs, WORD vk, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    inputs.push_back(input);
}

// "ctrl+m", "alt+enter", "shift+f10", "a": the modifiers go down first and
// up last, so the key is seen with them held.
bool chord(const std::wstring& text, std::vector<INPUT>& inputs)
{
    std::vector<WORD> keys;
    size_t start = 0;
    bool needShift = false;
    while (start <= text.size()) {
        size_t plus = text.find(L'+', start + 1);  // "ctrl++" ends in the key "+"
        if (plus == std::wstring::npos) plus = text.size();
        WORD vk;
        bool shift;
        if (!keyCode(text.substr(start, plus - start), vk, shift)) return false;
        keys.push_back(vk);
        needShift = shift;
        start = plus + 1;
    }
    if (needShift) keys.insert(keys.end() - 1, VK_SHIFT);
    for (WORD vk : keys) addKey(inputs, vk, false);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) addKey(inputs, *it, true);
    return true;
}

bool keysCommand(const Args& args, Reply& reply)
{
    HWND window;
    DWORD ms;
    if (!args.window(0, window, reply) || !args.timeout(ms, reply)) return false;
    if (args.words.size() < 2) return reply.fail("expected keys such as ctrl+m");
    std::vector<INPUT> inputs;
    for (size_t i = 1; i < args.words.size(); ++i)
        if (!chord(args.words[i], inputs)) return reply.fail("unknown key in %s", toUtf8(args.words[i]).c_str());
    if (!focus(window, ms, reply)) return false;
    if (SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size())
        return reply.fail("SendInput failed");
    return true;
}

bool focusCommand(const Args& args, Reply& reply)
{
    HWND window;
    DWORD ms;
    return args.window(0, window, reply) && args.timeout(ms, reply) && focus(window, ms, reply);
}

bool foregroundCommand(const Args& args, Reply& reply)
{
    HWND window;
    DWORD ms;
    if (!args.window(0, window, reply) || !args.timeout(ms, reply)) return false;
    return foreground(window, ms) || reply.fail("the window did not come to the foreground");
}

// A point of the window's client area (its centre by default) on the screen;
// with --screen the numbers are screen coordinates already.
bool screenPoint(const Args& args, size_t i, HWND window, POINT& point, Reply& reply)
{
    RECT client;
    GetClientRect(window, &client);
    long long x = client.right / 2, y = client.bottom / 2;
    if (args.words.size() > i && (!args.number(i, x, reply) || !args.number(i + 1, y, reply))) return false;
    point = POINT{LONG(x), LONG(y)};
    if (args.words.size() <= i || !args.flag(L"screen")) ClientToScreen(window, &point);
    return true;
}

// Every mouse event carries its own position. Wine moves the X pointer to
// follow injected input, and the inspected program's own X connection then
// reports that motion back, late on a loaded machine; a button event without
// a position would happen wherever such a late report had put the pointer.
INPUT mouseInput(DWORD flags, POINT at)
{
    // Absolute positions are in 0..65535 over the whole virtual screen.
    int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    input.mi.dx = MulDiv(at.x - left, 65535, width > 1 ? width - 1 : 1);
    input.mi.dy = MulDiv(at.y - top, 65535, height > 1 ? height - 1 : 1);
    return input;
}

bool buttonFlags(const Args& args, DWORD& down, DWORD& up, Reply& reply)
{
    const std::wstring* button = args.option(L"button");
    if (!button || *button == L"left") {
        down = MOUSEEVENTF_LEFTDOWN, up = MOUSEEVENTF_LEFTUP;
    } else if (*button == L"right") {
        down = MOUSEEVENTF_RIGHTDOWN, up = MOUSEEVENTF_RIGHTUP;
    } else if (*button == L"middle") {
        down = MOUSEEVENTF_MIDDLEDOWN, up = MOUSEEVENTF_MIDDLEUP;
    } else {
        return reply.fail("--button is left, right or middle");
    }
    return true;
}

bool send(std::vector<INPUT>& inputs, Reply& reply)
{
    if (SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size())
        return reply.fail("SendInput failed");
    return true;
}

// The pointer rests in the screen's bottom right corner between actions, so a
// window that appears later does not find it hovering over itself.
INPUT park()
{
    return mouseInput(0, POINT{GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1,
                               GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1});
}

// The window's top level in front of the others, so that the mouse meets it.
// An open menu is in front already.
bool onTop(HWND window, DWORD ms, Reply& reply)
{
    HWND root = GetAncestor(window, GA_ROOT);
    if (isMenu(window)) return true;
    if (!foreground(root, ms)) return reply.fail("the window did not come to the foreground");
    SetWindowPos(root, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

// Two clicks at one place within the double-click time are a double click:
// a single click soon after another there waits that time out, as a user's
// second click would come later.
void notDouble(POINT at)
{
    static DWORD lastTime;
    static POINT last{-100000, -100000};
    DWORD since = GetTickCount() - lastTime, limit = GetDoubleClickTime();
    if (since < limit && abs(at.x - last.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
        abs(at.y - last.y) <= GetSystemMetrics(SM_CYDOUBLECLK))
        Sleep(limit - since + 20);
    lastTime = GetTickCount();
    last = at;
}

bool click(HWND window, POINT at, DWORD down, DWORD up, bool twice, DWORD ms, Reply& reply)
{
    if (!onTop(window, ms, reply)) return false;
    notDouble(at);
    std::vector<INPUT> inputs{mouseInput(0, at), mouseInput(down, at), mouseInput(up, at)};
    if (twice) inputs.insert(inputs.end(), {mouseInput(down, at), mouseInput(up, at)});
    inputs.push_back(park());
    return send(inputs, reply);
}

// mouse HWND [X Y]: a click (or --double) at a client point of the window.
bool mouseCommand(const Args& args, Reply& reply)
{
    HWND window;
    DWORD ms, down, up;
    POINT at;
    if (!args.window(0, window, reply) || !args.timeout(ms, reply) || !buttonFlags(args, down, up, reply) ||
        !screenPoint(args, 1, window, at, reply) || !click(window, at, down, up, args.flag(L"double"), ms, reply))
        return false;
    reply.json.key("screen").beginArray().num(at.x).num(at.y).endArray();
    reply.json.key("under").unum(reinterpret_cast<uintptr_t>(WindowFromPoint(at)));
    return true;
}

// drag HWND X1 Y1 X2 Y2: press at one client point, move in steps, release
// at the other, as a drag of a list row is done.
bool dragCommand(const Args& args, Reply& reply)
{
    HWND window;
    DWORD ms, down, up;
    POINT from, to;
    if (!args.window(0, window, reply) || !args.timeout(ms, reply) || !buttonFlags(args, down, up, reply)) return false;
    if (args.words.size() < 5) return reply.fail("expected X1 Y1 X2 Y2");
    if (!screenPoint(args, 1, window, from, reply) || !screenPoint(args, 3, window, to, reply)) return false;
    if (!onTop(window, ms, reply)) return false;
    std::vector<INPUT> inputs{mouseInput(0, from), mouseInput(down, from)};
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) {
        POINT step{from.x + (to.x - from.x) * i / kSteps, from.y + (to.y - from.y) * i / kSteps};
        inputs.push_back(mouseInput(0, step));
    }
    inputs.insert(inputs.end(), {mouseInput(up, to), park()});
    return send(inputs, reply);
}

// screenshot FILE [HWND]: a 24-bit BMP of the window's rectangle as the
// screen shows it, or of the whole screen.
bool screenshotCommand(const Args& args, Reply& reply)
{
    if (args.words.empty()) return reply.fail("expected a file name");
    RECT rect{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
    rect.right = rect.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    rect.bottom = rect.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (args.words.size() > 1) {
        HWND window;
        if (!args.window(1, window, reply)) return false;
        GetWindowRect(window, &rect);
    }
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return reply.fail("the window has no area");
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = -height;  // top-down rows
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool copied = bitmap && BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT);
    GdiFlush();
    DWORD stride = (DWORD(width) * 3 + 3) & ~3u, size = stride * DWORD(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + size;
    HANDLE out = copied ? CreateFileW(args.words[0].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr)
                        : INVALID_HANDLE_VALUE;
    DWORD written = 0, total = 0;
    if (out != INVALID_HANDLE_VALUE) {
        WriteFile(out, &file, sizeof file, &written, nullptr), total += written;
        WriteFile(out, &info, sizeof info, &written, nullptr), total += written;
        WriteFile(out, bits, size, &written, nullptr), total += written;
        CloseHandle(out);
    }
    SelectObject(memory, old);
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied) return reply.fail("the screen could not be copied");
    if (total != file.bfSize) return reply.fail("the file could not be written");
    reply.json.key("width").num(width);
    reply.json.key("height").num(height);
    return true;
}

}  // namespace

bool leftClick(HWND window, POINT client, DWORD ms, Reply& reply)
{
    ClientToScreen(window, &client);
    return click(window, client, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, false, ms, reply);
}

const Command kInputCommands[] = {
    {"keys", keysCommand, "timeout",
     "keys HWND CHORD...   e.g. ctrl+m alt+enter f2 a: focuses HWND, then types as the keyboard does"},
    {"focus", focusCommand, "timeout", "focus HWND   foreground and keyboard focus"},
    {"foreground", foregroundCommand, "timeout", "foreground HWND"},
    {"mouse", mouseCommand, "button,double,screen,timeout",
     "mouse HWND [X Y] [--button=left|right|middle] [--double] [--screen]   a click at a point of the window's\n"
     "      client area (default: its centre), or of the screen"},
    {"drag", dragCommand, "button,screen,timeout",
     "drag HWND X1 Y1 X2 Y2 [--screen]   press, move, release (client or screen points)"},
    {"screenshot", screenshotCommand, "", "screenshot FILE.bmp [HWND]   the window's rectangle or the screen"},
    {},
};
