// Finding windows and controls, reading their fields, and the actions that
// are plain window messages.
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "Command.h"
#include "Remote.h"

namespace {

struct Named {
    const wchar_t* name;
    long long value;
};

// Names accepted wherever a message, parameter or constant is expected.
const Named kNames[] = {
    {L"WM_NULL", WM_NULL}, {L"WM_SIZE", WM_SIZE}, {L"WM_SETTEXT", WM_SETTEXT}, {L"WM_CLOSE", WM_CLOSE},
    {L"WM_QUERYENDSESSION", WM_QUERYENDSESSION}, {L"WM_ENDSESSION", WM_ENDSESSION},
    {L"WM_SHOWWINDOW", WM_SHOWWINDOW}, {L"WM_SETTINGCHANGE", WM_SETTINGCHANGE}, {L"WM_KEYDOWN", WM_KEYDOWN},
    {L"WM_KEYUP", WM_KEYUP}, {L"WM_CHAR", WM_CHAR}, {L"WM_COMMAND", WM_COMMAND}, {L"WM_SYSCOMMAND", WM_SYSCOMMAND},
    {L"WM_TIMER", WM_TIMER}, {L"WM_MOUSEMOVE", WM_MOUSEMOVE}, {L"WM_LBUTTONDOWN", WM_LBUTTONDOWN},
    {L"WM_LBUTTONUP", WM_LBUTTONUP}, {L"WM_LBUTTONDBLCLK", WM_LBUTTONDBLCLK}, {L"WM_RBUTTONDOWN", WM_RBUTTONDOWN},
    {L"WM_RBUTTONUP", WM_RBUTTONUP}, {L"WM_RBUTTONDBLCLK", WM_RBUTTONDBLCLK}, {L"WM_MBUTTONUP", WM_MBUTTONUP},
    {L"WM_CONTEXTMENU", WM_CONTEXTMENU}, {L"WM_USER", WM_USER}, {L"WM_APP", WM_APP},
    {L"SC_MINIMIZE", SC_MINIMIZE}, {L"SC_MAXIMIZE", SC_MAXIMIZE}, {L"SC_RESTORE", SC_RESTORE},
    {L"SC_CLOSE", SC_CLOSE}, {L"ENDSESSION_LOGOFF", ENDSESSION_LOGOFF}, {L"BN_CLICKED", BN_CLICKED},
    {L"NIN_SELECT", NIN_SELECT}, {L"NIN_KEYSELECT", NIN_KEYSELECT},
};

struct Filter {
    const std::wstring* title = nullptr;
    const std::wstring* titlePrefix = nullptr;
    const std::wstring* className = nullptr;
    const std::wstring* classPrefix = nullptr;  // e.g. the generated "UxWndClass..." names
    long long pid = -1;
    bool visibleOnly = false;
};

bool readFilter(const Args& args, Filter& filter, Reply& reply)
{
    filter.title = args.option(L"title");
    filter.titlePrefix = args.option(L"title-prefix");
    filter.className = args.option(L"class");
    filter.classPrefix = args.option(L"class-prefix");
    filter.visibleOnly = args.flag(L"visible");
    return args.number(L"pid", filter.pid, reply);
}

std::wstring systemText(HWND window)
{
    wchar_t text[1024];
    int n = InternalGetWindowText(window, text, 1024);
    return std::wstring(text, size_t(n > 0 ? n : 0));
}

bool matches(HWND window, const Filter& filter)
{
    if (filter.visibleOnly && !IsWindowVisible(window)) return false;
    if (filter.pid >= 0) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid != DWORD(filter.pid)) return false;
    }
    if (filter.className || filter.classPrefix) {
        std::wstring name = windowClass(window);
        if (filter.className && lstrcmpiW(name.c_str(), filter.className->c_str()) != 0) return false;
        if (filter.classPrefix && name.compare(0, filter.classPrefix->size(), *filter.classPrefix) != 0) return false;
    }
    if (filter.title || filter.titlePrefix) {
        std::wstring title = systemText(window);
        if (filter.title && title != *filter.title) return false;
        if (filter.titlePrefix && title.compare(0, filter.titlePrefix->size(), *filter.titlePrefix) != 0)
            return false;
    }
    return true;
}

std::vector<HWND> topLevel(const Filter& filter)
{
    struct Walk {
        const Filter* filter;
        std::vector<HWND> found;
    } walk{&filter, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* w = reinterpret_cast<Walk*>(data);
            if (matches(window, *w->filter)) w->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&walk));
    return walk.found;
}

void writeList(Json& out, const char* name, const std::vector<HWND>& windows, bool withText)
{
    out.key(name).beginArray();
    for (HWND window : windows) writeWindow(out, window, withText);
    out.endArray();
}

bool pingCommand(const Args&, Reply& reply)
{
    reply.json.key("pid").num(GetCurrentProcessId());
    return true;
}

bool windowsCommand(const Args& args, Reply& reply)
{
    Filter filter;
    if (!readFilter(args, filter, reply)) return false;
    writeList(reply.json, "windows", topLevel(filter), false);
    return true;
}

bool waitWindowCommand(const Args& args, Reply& reply)
{
    Filter filter;
    DWORD ms;
    if (!readFilter(args, filter, reply) || !args.timeout(ms, reply)) return false;
    bool gone = args.flag(L"gone");
    std::vector<HWND> found;
    if (!waitFor(ms, [&] {
            found = topLevel(filter);
            return gone ? found.empty() : !found.empty();
        }))
        return reply.fail(gone ? "the window is still there" : "no such window appeared");
    reply.json.key("window");
    if (gone)
        reply.json.null();
    else
        writeWindow(reply.json, found.front(), false);
    return true;
}

bool windowCommand(const Args& args, Reply& reply)
{
    long long value;
    if (args.words.empty() || !parseNumber(args.words[0], value)) return reply.fail("expected a window handle");
    HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(value));
    reply.json.key("window");
    if (IsWindow(window))
        writeWindow(reply.json, window, true);
    else
        reply.json.null();
    return true;
}

std::vector<HWND> childrenOf(HWND parent, bool all)
{
    std::vector<HWND> found;
    if (!all) {
        for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            found.push_back(child);
        return found;
    }
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM data) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

bool childrenCommand(const Args& args, Reply& reply)
{
    HWND parent;
    if (!args.window(0, parent, reply)) return false;
    writeList(reply.json, "children", childrenOf(parent, args.flag(L"all")), true);
    return true;
}

bool childCommand(const Args& args, Reply& reply)
{
    HWND parent;
    long long id = -1, index = 0;
    DWORD ms;
    if (!args.window(0, parent, reply) || !args.number(L"id", id, reply) || !args.number(L"index", index, reply) ||
        !args.timeout(ms, reply))
        return false;
    const std::wstring* className = args.option(L"class");
    const std::wstring* text = args.option(L"text");
    bool visibleOnly = args.flag(L"visible");
    HWND found = nullptr;
    waitFor(ms, [&] {
        long long seen = 0;
        for (HWND child : childrenOf(parent, true)) {
            if (id >= 0 && GetDlgCtrlID(child) != id) continue;
            if (className && lstrcmpiW(windowClass(child).c_str(), className->c_str()) != 0) continue;
            if (visibleOnly && !IsWindowVisible(child)) continue;
            if (text && windowText(child) != *text) continue;
            if (seen++ == index) {
                found = child;
                return true;
            }
        }
        return !IsWindow(parent);
    });
    if (!found) return reply.fail("no such child window");
    reply.json.key("window");
    writeWindow(reply.json, found, true);
    return true;
}

bool textCommand(const Args& args, Reply& reply)
{
    HWND window;
    if (!args.window(0, window, reply)) return false;
    reply.json.key("text").str(std::wstring_view(windowText(window)));
    return true;
}

bool processesCommand(const Args& args, Reply& reply)
{
    const std::wstring* name = args.option(L"name");
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return reply.fail("no process snapshot");
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    reply.json.key("processes").beginArray();
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (name && lstrcmpiW(entry.szExeFile, name->c_str()) != 0) continue;
        wchar_t path[MAX_PATH] = L"";
        DWORD size = MAX_PATH;
        ProcessHandle process(entry.th32ProcessID, PROCESS_QUERY_LIMITED_INFORMATION);
        if (!process || !QueryFullProcessImageNameW(process.get(), 0, path, &size)) size = 0;
        reply.json.beginObject();
        reply.json.key("pid").num(entry.th32ProcessID);
        reply.json.key("name").str(std::wstring_view(entry.szExeFile));
        reply.json.key("path").str(std::wstring_view(path, size));
        reply.json.key("parent").num(entry.th32ParentProcessID);
        reply.json.endObject();
    }
    reply.json.endArray();
    CloseHandle(snapshot);
    return true;
}

// send HWND|broadcast MSG [WPARAM [LPARAM]]: the answer's result is what the
// window returned; --post only queues the message.
bool sendCommand(const Args& args, Reply& reply)
{
    HWND window = HWND_BROADCAST;
    UINT message;
    long long wParam = 0, lParam = 0, ms = kAnswerMs;
    if (args.words.empty() || (args.words[0] != L"broadcast" && !args.window(0, window, reply)) ||
        !args.message(1, message, reply) || !args.number(L"timeout", ms, reply))
        return false;
    if ((args.words.size() > 2 && !parseMessage(args.words[2], wParam)) ||
        (args.words.size() > 3 && !parseMessage(args.words[3], lParam)))
        return reply.fail("expected WPARAM and LPARAM as numbers or names");
    if (args.flag(L"post")) {
        if (!PostMessageW(window, message, WPARAM(wParam), LPARAM(lParam))) return reply.fail("PostMessage failed");
        return true;
    }
    DWORD_PTR result = 0;
    UINT flags = window == HWND_BROADCAST ? SMTO_ABORTIFHUNG : SMTO_NORMAL;
    if (!SendMessageTimeoutW(window, message, WPARAM(wParam), LPARAM(lParam), flags, UINT(ms), &result))
        return reply.fail("the window did not answer");
    reply.json.key("result").num(static_cast<long long>(result));
    return true;
}

// command HWND ID: WM_COMMAND as a menu item, an accelerator (--code=1) or a
// control (--code, --control) sends it. Posted, so a command that opens a
// modal dialog does not hold the tool; --send waits for the handler.
bool commandCommand(const Args& args, Reply& reply)
{
    HWND window, control = nullptr;
    long long id, code = 0;
    if (!args.window(0, window, reply) || !args.number(1, id, reply) || !args.number(L"code", code, reply)) return false;
    if (const std::wstring* c = args.option(L"control")) {
        long long value;
        if (!parseNumber(*c, value)) return reply.fail("expected --control=HWND");
        control = reinterpret_cast<HWND>(static_cast<intptr_t>(value));
    }
    WPARAM wParam = MAKEWPARAM(WORD(id), WORD(code));
    if (args.flag(L"send")) {
        LRESULT result;
        if (!sendTimed(window, WM_COMMAND, wParam, LPARAM(control), result))
            return reply.fail("the window did not answer");
        reply.json.key("result").num(result);
        return true;
    }
    if (!PostMessageW(window, WM_COMMAND, wParam, LPARAM(control))) return reply.fail("PostMessage failed");
    return true;
}

bool clickCommand(const Args& args, Reply& reply)
{
    HWND button;
    if (!args.window(0, button, reply)) return false;
    if (!IsWindowEnabled(button) && !args.flag(L"force")) return reply.fail("the button is disabled");
    if (!PostMessageW(button, BM_CLICK, 0, 0)) return reply.fail("PostMessage failed");
    return true;
}

bool setTextCommand(const Args& args, Reply& reply)
{
    HWND window;
    if (!args.window(0, window, reply)) return false;
    if (args.words.size() < 2) return reply.fail("expected the text");
    LRESULT result;
    if (!sendTimed(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args.words[1].c_str()), result))
        return reply.fail("the window did not answer");
    if (!result) return reply.fail("the window refused the text");
    return true;
}

// check HWND on|off: clicks the box (so its owner hears of it as from the
// user) until it shows the state asked for; a three-state box takes two.
bool checkCommand(const Args& args, Reply& reply)
{
    HWND box;
    DWORD ms;
    if (!args.window(0, box, reply) || !args.timeout(ms, reply)) return false;
    if (args.words.size() < 2 || (args.words[1] != L"on" && args.words[1] != L"off"))
        return reply.fail("expected on or off");
    const LRESULT want = args.words[1] == L"on" ? BST_CHECKED : BST_UNCHECKED;
    if (!IsWindowEnabled(box)) return reply.fail("the box is disabled");
    LRESULT state = -1;
    for (int clicks = 0; clicks < 3; ++clicks) {
        if (!sendTimed(box, BM_GETCHECK, 0, 0, state)) return reply.fail("the box did not answer");
        if (state == want) break;
        LRESULT before = state;
        PostMessageW(box, BM_CLICK, 0, 0);
        waitFor(ms, [&] { return sendTimed(box, BM_GETCHECK, 0, 0, state) && state != before; });
    }
    if (state != want) return reply.fail("the box did not take the state");
    reply.json.key("checked").num(state);
    return true;
}

bool closeCommand(const Args& args, Reply& reply)
{
    HWND window;
    if (!args.window(0, window, reply)) return false;
    if (!PostMessageW(window, WM_CLOSE, 0, 0)) return reply.fail("PostMessage failed");
    return true;
}

}  // namespace

bool Reply::fail(const char* format, ...)
{
    char text[1024];
    va_list list;
    va_start(list, format);
    vsnprintf(text, sizeof text, format, list);
    va_end(list);
    error = text;
    return false;
}

const std::wstring* Args::option(std::wstring_view name) const
{
    for (const auto& [key, value] : options)
        if (key == name) return &value;
    return nullptr;
}

bool Args::window(size_t i, HWND& out, Reply& reply) const
{
    long long value;
    if (i >= words.size() || !parseNumber(words[i], value)) return reply.fail("expected a window handle");
    out = reinterpret_cast<HWND>(static_cast<intptr_t>(value));
    if (!IsWindow(out)) return reply.fail("no such window");
    return true;
}

bool Args::number(size_t i, long long& out, Reply& reply) const
{
    if (i >= words.size() || !parseNumber(words[i], out)) return reply.fail("expected a number");
    return true;
}

bool Args::number(std::wstring_view name, long long& out, Reply& reply) const
{
    const std::wstring* value = option(name);
    if (value && !parseNumber(*value, out)) return reply.fail("--%s expects a number", toUtf8(name).c_str());
    return true;
}

bool Args::message(size_t i, UINT& out, Reply& reply) const
{
    long long value;
    if (i >= words.size() || !parseMessage(words[i], value)) return reply.fail("expected a message");
    out = UINT(value);
    return true;
}

bool Args::timeout(DWORD& ms, Reply& reply) const
{
    long long value = 10000;
    if (!number(L"timeout", value, reply)) return false;
    if (value < 0) return reply.fail("--timeout must not be negative");
    ms = DWORD(value);
    return true;
}

bool parseNumber(std::wstring_view text, long long& out)
{
    if (text.empty()) return false;
    std::wstring copy(text);
    wchar_t* end = nullptr;
    errno = 0;
    out = wcstoll(copy.c_str(), &end, 0);
    if (errno == ERANGE) {
        // Handles and flags may be given as large unsigned values.
        errno = 0;
        out = static_cast<long long>(wcstoull(copy.c_str(), &end, 0));
    }
    return errno == 0 && end && *end == L'\0';
}

bool parseMessage(std::wstring_view text, long long& out)
{
    if (parseNumber(text, out)) return true;
    constexpr std::wstring_view kRegistered = L"registered:";
    if (text.substr(0, kRegistered.size()) == kRegistered) {
        std::wstring name(text.substr(kRegistered.size()));
        out = RegisterWindowMessageW(name.c_str());
        return out != 0;
    }
    size_t plus = text.find(L'+');
    std::wstring_view name = text.substr(0, plus);
    long long offset = 0;
    if (plus != std::wstring_view::npos && !parseNumber(text.substr(plus + 1), offset)) return false;
    for (const Named& known : kNames) {
        if (name == known.name) {
            out = known.value + offset;
            return true;
        }
    }
    return false;
}

std::wstring windowClass(HWND window)
{
    wchar_t name[256];
    int n = GetClassNameW(window, name, 256);
    return std::wstring(name, size_t(n > 0 ? n : 0));
}

std::wstring windowText(HWND window)
{
    LRESULT length = 0;
    if (!sendTimed(window, WM_GETTEXTLENGTH, 0, 0, length)) return systemText(window);
    std::wstring text(size_t(length) + 1, L'\0');
    LRESULT copied = 0;
    if (!sendTimed(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), copied))
        return systemText(window);
    text.resize(std::min(size_t(copied), text.size() - 1));
    return text;
}

void writeWindow(Json& out, HWND window, bool withText)
{
    DWORD pid = 0;
    DWORD tid = GetWindowThreadProcessId(window, &pid);
    RECT rect{};
    GetWindowRect(window, &rect);
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    GetGUIThreadInfo(tid, &thread);
    LONG style = GetWindowLongW(window, GWL_STYLE);
    std::wstring className = windowClass(window);
    out.beginObject();
    out.key("hwnd").unum(reinterpret_cast<uintptr_t>(window));
    out.key("class").str(std::wstring_view(className));
    out.key("text").str(std::wstring_view(withText ? windowText(window) : systemText(window)));
    out.key("pid").num(pid);
    out.key("tid").num(tid);
    out.key("id").num(style & WS_CHILD ? GetDlgCtrlID(window) : 0);
    out.key("visible").boolean(IsWindowVisible(window));
    out.key("enabled").boolean(IsWindowEnabled(window));
    out.key("minimized").boolean(IsIconic(window));
    out.key("focused").boolean(thread.hwndFocus == window);
    out.key("foreground").boolean(GetForegroundWindow() == window);
    out.key("style").unum(DWORD(style));
    out.key("exstyle").unum(DWORD(GetWindowLongW(window, GWL_EXSTYLE)));
    out.key("rect").beginArray().num(rect.left).num(rect.top).num(rect.right).num(rect.bottom).endArray();
    out.key("owner").unum(reinterpret_cast<uintptr_t>(GetWindow(window, GW_OWNER)));
    out.key("parent").unum(reinterpret_cast<uintptr_t>(style & WS_CHILD ? GetParent(window) : nullptr));
    if (withText && lstrcmpiW(className.c_str(), L"Button") == 0) {
        LRESULT checked = 0;
        sendTimed(window, BM_GETCHECK, 0, 0, checked);
        out.key("checked").num(checked);
    }
    out.endObject();
}

const Command kWindowCommands[] = {
    {"ping", pingCommand, "", "ping   the tool's own process id"},
    {"windows", windowsCommand, "title,title-prefix,class,class-prefix,pid,visible",
     "windows [--title=T] [--title-prefix=T] [--class=C] [--class-prefix=C] [--pid=N] [--visible]   top-level"},
    {"wait-window", waitWindowCommand, "title,title-prefix,class,class-prefix,pid,visible,timeout,gone",
     "wait-window FILTERS [--timeout=MS] [--gone]   the first match, or none left"},
    {"window", windowCommand, "", "window HWND   its fields, or null when it is gone"},
    {"children", childrenCommand, "all", "children HWND [--all]   direct children, or all descendants"},
    {"child", childCommand, "id,class,text,index,visible,timeout",
     "child HWND [--id=N] [--class=C] [--text=T] [--index=K] [--visible] [--timeout=MS]"},
    {"text", textCommand, "", "text HWND"},
    {"processes", processesCommand, "name", "processes [--name=EXE]   pid, name, path, parent"},
    {"send", sendCommand, "post,timeout",
     "send HWND|broadcast MSG [WPARAM [LPARAM]] [--post] [--timeout=MS]   MSG: number, WM_USER+100, "
     "registered:TaskbarCreated..."},
    {"command", commandCommand, "code,control,send", "command HWND ID [--code=N] [--control=HWND] [--send]"},
    {"click", clickCommand, "force", "click HWND [--force]   BM_CLICK, posted"},
    {"set-text", setTextCommand, "", "set-text HWND TEXT"},
    {"check", checkCommand, "timeout", "check HWND on|off"},
    {"close", closeCommand, "", "close HWND   posts WM_CLOSE"},
    {},
};
