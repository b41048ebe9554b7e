#include "Remote.h"

#include <psapi.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "Agent.h"
#include "Json.h"

namespace {

constexpr DWORD kProcessRights = PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                 PROCESS_VM_READ | PROCESS_VM_WRITE | SYNCHRONIZE;
// Loading the agent runs the target's loader, which may wait for its loader
// lock; generous, since a loaded machine makes everything slow.
constexpr DWORD kRemoteThreadMs = 20000;

std::string systemError(const std::string& what)
{
    DWORD code = GetLastError();
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    std::string out = what + ": " + text;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) out.pop_back();
    return out;
}

// The base address of the module called `name` in `process`, or 0.
uintptr_t findModule(HANDLE process, const wchar_t* name)
{
    std::vector<HMODULE> modules(512);
    DWORD needed = 0;
    if (!EnumProcessModulesEx(process, modules.data(), DWORD(modules.size() * sizeof(HMODULE)), &needed,
                              LIST_MODULES_ALL))
        return 0;
    modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
    for (HMODULE module : modules) {
        wchar_t base[MAX_PATH];
        if (GetModuleBaseNameW(process, module, base, MAX_PATH) && lstrcmpiW(base, name) == 0)
            return reinterpret_cast<uintptr_t>(module);
    }
    return 0;
}

// Where a function of one of our own modules lies in `process`: the same
// module there (by name) plus the same offset. Right for system DLLs, which
// are the same files in both processes, wherever each process loaded them.
bool remoteAddress(HANDLE process, const void* local, uintptr_t& remote, std::string& error)
{
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH];
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(local), &module) ||
        !GetModuleFileNameW(module, path, MAX_PATH)) {
        error = systemError("module of a local function");
        return false;
    }
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/') name = p + 1;
    uintptr_t base = findModule(process, name);
    if (!base) {
        error = "the inspected process has no " + toUtf8(name);
        return false;
    }
    remote = base + (static_cast<const char*>(local) - reinterpret_cast<const char*>(module));
    return true;
}

// Runs `start(parameter)` on a new thread of `process` and gives its exit
// code. A thread that does not end in time is left running: it may still
// write to memory the caller must then not free (see RemoteBlock::keep).
bool runRemote(HANDLE process, uintptr_t start, uintptr_t parameter, DWORD& exitCode, std::string& error)
{
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start),
                                       reinterpret_cast<void*>(parameter), 0, nullptr);
    if (!thread) {
        error = systemError("CreateRemoteThread");
        return false;
    }
    bool ended = WaitForSingleObject(thread, kRemoteThreadMs) == WAIT_OBJECT_0;
    if (ended) GetExitCodeThread(thread, &exitCode);
    CloseHandle(thread);
    if (!ended) error = "the inspected process did not run the agent in time";
    return ended;
}

std::wstring agentPath()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    size_t slash = dir.find_last_of(L"\\/");
    return dir.substr(0, slash == std::wstring::npos ? 0 : slash + 1) + kAgentFile;
}

}  // namespace

bool RemoteBlock::open(HWND window)
{
    window_ = window;
    DWORD pid = 0;
    if (!GetWindowThreadProcessId(window, &pid)) {
        error_ = "no such window";
        return false;
    }
    if (!process_.open(pid, kProcessRights)) {
        error_ = systemError("OpenProcess");
        return false;
    }
    BOOL wow = FALSE;
    if (IsWow64Process(process_.get(), &wow) && wow) {
        error_ = "the window belongs to a 32-bit process; its structures differ from ours";
        return false;
    }
    base_ = VirtualAllocEx(process_.get(), nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!base_) error_ = systemError("VirtualAllocEx");
    return base_ != nullptr;
}

RemoteBlock::~RemoteBlock()
{
    if (base_ && !kept_) VirtualFreeEx(process_.get(), base_, 0, MEM_RELEASE);
}

bool RemoteBlock::put(size_t offset, const void* data, size_t size)
{
    SIZE_T done = 0;
    if (offset + size > kSize) {
        error_ = "a write outside the remote block";
        return false;
    }
    if (!WriteProcessMemory(process_.get(), static_cast<char*>(base_) + offset, data, size, &done) || done != size) {
        error_ = systemError("WriteProcessMemory");
        return false;
    }
    return true;
}

bool RemoteBlock::get(size_t offset, void* data, size_t size)
{
    SIZE_T done = 0;
    if (offset + size > kSize) {
        error_ = "a read outside the remote block";
        return false;
    }
    if (!ReadProcessMemory(process_.get(), static_cast<char*>(base_) + offset, data, size, &done) || done != size) {
        error_ = systemError("ReadProcessMemory");
        return false;
    }
    return true;
}

std::wstring RemoteBlock::text(size_t offset, size_t maxChars)
{
    // Most texts are short: read a little, and more only while no end is found.
    std::wstring out;
    for (size_t chunk = 256;; chunk *= 2) {
        chunk = std::min(chunk, maxChars);
        out.assign(chunk, L'\0');
        if (!get(offset, out.data(), chunk * sizeof(wchar_t))) return {};
        size_t end = out.find(L'\0');
        if (end != std::wstring::npos || chunk == maxChars) {
            out.resize(std::min(end, chunk));
            return out;
        }
    }
}

bool RemoteBlock::send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result, HWND to)
{
    if (sendTimed(to ? to : window_, message, wParam, lParam, result)) return true;
    error_ = "the window did not answer";
    return false;
}

bool sendTimed(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kAnswerMs, &answer)) return false;
    result = LRESULT(answer);
    return true;
}

// The agent's base address in the block's process, loading it there first
// when it is not loaded yet.
bool loadAgent(RemoteBlock& block, const std::wstring& path, uintptr_t& base, std::string& error)
{
    HANDLE process = block.process();
    if ((base = findModule(process, kAgentFile))) return true;
    uintptr_t loadLibrary = 0;
    DWORD loaded = 0;
    if (!block.put(0, path.c_str(), (path.size() + 1) * sizeof(wchar_t))) {
        error = block.error();
        return false;
    }
    if (!remoteAddress(process, reinterpret_cast<const void*>(&LoadLibraryW), loadLibrary, error)) return false;
    if (!runRemote(process, loadLibrary, block.at(0), loaded, error)) {
        block.keep();
        return false;
    }
    if ((base = findModule(process, kAgentFile))) return true;
    error = "the inspected process could not load " + toUtf8(path);
    return false;
}

bool readMenuInProcess(HWND window, HMENU menu, std::string& json, std::string& error)
{
    // The agent is loaded here too, for the offset of its entry point.
    static const std::wstring path = agentPath();
    static const HMODULE local = LoadLibraryW(path.c_str());
    static const auto read = local ? reinterpret_cast<uintptr_t>(GetProcAddress(local, kAgentReadMenu)) : 0;
    if (!read) {
        error = "cannot load " + toUtf8(path);
        return false;
    }
    RemoteBlock block(window);
    uintptr_t agent = 0;
    if (!block.ok()) {
        error = block.error();
        return false;
    }
    if (!loadAgent(block, path, agent, error)) return false;
    MenuRequest request{};
    request.window = reinterpret_cast<uintptr_t>(window);
    request.menu = reinterpret_cast<uintptr_t>(menu);
    request.capacity = uint32_t(RemoteBlock::kSize - offsetof(MenuRequest, text));
    DWORD code = 0;
    if (!block.put(0, request)) {
        error = block.error();
        return false;
    }
    if (!runRemote(block.process(), agent + (read - reinterpret_cast<uintptr_t>(local)), block.at(0), code, error)) {
        block.keep();
        return false;
    }
    if (code != kMenuOk) {
        error = code == kMenuTooLarge ? "the menu does not fit the agent's buffer"
                : menu                ? "not a menu of the window's process"
                                      : "the window has no menu";
        return false;
    }
    if (!block.get(0, request)) {
        error = block.error();
        return false;
    }
    json.assign(std::min(request.length, request.capacity), '\0');
    if (!block.get(offsetof(MenuRequest, text), json.data(), json.size())) {
        error = block.error();
        return false;
    }
    return true;
}
