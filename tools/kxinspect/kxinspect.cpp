// kxinspect: looks at and drives the windows of other programs, for the
// end-to-end tests of the checker (through tests/e2e/gui.py) and by hand.
//
// Usage
//   kxinspect COMMAND ARGS...     one command, its answer on stdout
//   kxinspect --server            one command per line on stdin, one answer
//                                 line per command on stdout, until "quit"
//                                 or the end of input
//   kxinspect --help              every command with its arguments
//
// Run it under Wine in the prefix of the program it inspects (the same
// wineserver and display), e.g.
//   WINEPREFIX=... tools/wine-run build/win/bin/kxinspect.exe windows --title="Kestrix Email Checker"
//
// Words are separated by blanks; in server mode double quotes group words and
// inside quotes \" \\ \n \r \t are escapes. Options are --name=value or
// --switch. Windows are given by their handle as a number (decimal or 0x..).
// Every answer is one line of JSON (UTF-8): {"ok":true, ...fields} or
// {"ok":false,"error":"..."}. Window fields are hwnd, class, text, pid, tid,
// id, visible, enabled, minimized, focused, foreground, style, exstyle, rect
// (screen), owner, parent, and checked for buttons.
//
// Common use:
//   wait-window --title="Kestrix Email Checker" --timeout=20000
//   child HWND --id=1012                   then  lv CHILD  for the list's rows
//   menu HWND                              the menu bar with every popup
//   command HWND 40013                     posts WM_COMMAND (File > Exit)
//   keys LISTHWND ctrl+m                   real key input to that control
//   send HWND WM_USER+100 0 WM_LBUTTONDBLCLK --post   a tray callback
//   send broadcast registered:TaskbarCreated --post
//   reg-get "HKCU\SOFTWARE\Kestrix, Inc.\Kestrix\SSaver" MailInfo
//
// (In server mode the key's backslashes are doubled inside the quotes.)
//
// Keys, mouse clicks, drags and tab-select are real input (SendInput): the
// target's top-level window is brought to the front first, keys go to the
// control after it took the focus, and the pointer is parked in the screen's
// bottom right corner after each mouse action. Two single clicks at one place
// are kept apart by the double-click time. Open menus (class "#32768") take
// keys and clicks as they are. click, command and send --post only post, so
// they return while a modal dialog that they open is shown.
//
// Texts in list views, toolbars, headers and tabs are read through memory
// allocated in the inspected process; menus by kxinspect_agent.dll (beside
// this program), which the tool loads into the inspected process on first use
// and which stays loaded: Wine keeps a menu in its own process, so another
// process cannot read it. Both processes must be 64-bit.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "Command.h"

namespace {

const Command* const kGroups[] = {kWindowCommands, kControlCommands, kInputCommands, kRegistryCommands};

const Command* findCommand(const std::wstring& name)
{
    for (const Command* group : kGroups)
        for (const Command* c = group; c->name; ++c)
            if (fromUtf8(c->name) == name) return c;
    return nullptr;
}

bool allowed(const Command& command, const std::wstring& option)
{
    std::string name = toUtf8(option);
    const char* list = command.options;
    while (*list) {
        const char* end = strchr(list, ',');
        size_t length = end ? size_t(end - list) : strlen(list);
        if (name.size() == length && name.compare(0, length, list, length) == 0) return true;
        if (!end) break;
        list = end + 1;
    }
    return false;
}

std::string run(const std::vector<std::wstring>& words)
{
    Reply reply;
    Args args;
    const Command* command = words.empty() ? nullptr : findCommand(words[0]);
    if (!command) {
        reply.fail(words.empty() ? "empty command" : "unknown command " + toUtf8(words[0]));
    } else {
        for (size_t i = 1; i < words.size() && reply.error.empty(); ++i) {
            const std::wstring& word = words[i];
            if (word.size() > 2 && word.compare(0, 2, L"--") == 0) {
                size_t equals = word.find(L'=');
                std::wstring name = word.substr(2, equals == std::wstring::npos ? std::wstring::npos : equals - 2);
                if (!allowed(*command, name)) reply.fail("unknown option --" + toUtf8(name));
                args.options.emplace_back(name, equals == std::wstring::npos ? L"" : word.substr(equals + 1));
            } else {
                args.words.push_back(word);
            }
        }
        if (reply.error.empty()) {
            reply.json.beginObject().key("ok").boolean(true);
            if (command->run(args, reply)) {
                reply.json.endObject();
                return reply.json.text();
            }
        }
    }
    Json failure;
    failure.beginObject().key("ok").boolean(false).key("error").str(std::string_view(reply.error)).endObject();
    return failure.text();
}

void writeLine(const std::string& text)
{
    std::string line = text + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), DWORD(line.size()), &written, nullptr);
}

void usage()
{
    std::string text = "usage: kxinspect COMMAND ARGS... | kxinspect --server\n\ncommands:\n";
    for (const Command* group : kGroups)
        for (const Command* c = group; c->name; ++c) text += std::string("  ") + c->usage + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), DWORD(text.size()), &written, nullptr);
}

// Reads stdin a block at a time and answers each complete line.
int serve()
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::wstring line = fromUtf8(std::string_view(pending).substr(0, end));
            pending.erase(0, end + 1);
            std::vector<std::wstring> words;
            std::string error;
            if (!splitWords(line, words, error)) {
                Json failure;
                failure.beginObject().key("ok").boolean(false).key("error").str(std::string_view(error)).endObject();
                writeLine(failure.text());
                continue;
            }
            if (words.empty()) continue;
            if (words.size() == 1 && words[0] == L"quit") return 0;
            writeLine(run(words));
        }
    }
    return 0;
}

}  // namespace

int main()
{
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> words(argv + 1, argv + count);
    LocalFree(argv);
    if (words.size() == 1 && words[0] == L"--server") return serve();
    if (words.empty() || words[0] == L"--help") {
        usage();
        return words.empty() ? 2 : 0;
    }
    std::string answer = run(words);
    writeLine(answer);
    return answer.rfind("{\"ok\":true", 0) == 0 ? 0 : 1;
}
