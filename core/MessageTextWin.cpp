// Windows build: texts come from the message-table resource of the running
// program through FormatMessage, which also fills the inserts; ids the table
// lacks fall through to the system's own texts.
#include <windows.h>

#include <string>
#include <vector>

#include "core/MessageText.h"

namespace {

std::string format(DWORD flags, uint32_t id, const std::vector<std::string>& inserts) {
    // Missing inserts read as empty, never past the array.
    static const char kEmpty[] = "";
    std::vector<DWORD_PTR> args(99, reinterpret_cast<DWORD_PTR>(kEmpty));
    for (size_t i = 0; i < inserts.size() && i < args.size(); ++i)
        args[i] = reinterpret_cast<DWORD_PTR>(inserts[i].c_str());
    flags |= inserts.empty() ? FORMAT_MESSAGE_IGNORE_INSERTS : FORMAT_MESSAGE_ARGUMENT_ARRAY;
    char* buf = nullptr;
    DWORD n = FormatMessageA(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER, GetModuleHandleA(nullptr), id, 0,
                             reinterpret_cast<char*>(&buf), 0,
                             inserts.empty() ? nullptr : reinterpret_cast<va_list*>(args.data()));
    std::string out;
    if (n && buf) out.assign(buf, n);
    if (buf) LocalFree(buf);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

}  // namespace

bool hasMessage(uint32_t id) {
    char* buf = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS |
                                 FORMAT_MESSAGE_ALLOCATE_BUFFER,
                             GetModuleHandleA(nullptr), id, 0, reinterpret_cast<char*>(&buf), 0, nullptr);
    if (buf) LocalFree(buf);
    return n != 0;
}

std::string formatMessage(uint32_t id, std::initializer_list<std::string> inserts) {
    std::vector<std::string> list(inserts);
    std::string text = format(FORMAT_MESSAGE_FROM_HMODULE, id, list);
    if (text.empty() && !hasMessage(id)) text = format(FORMAT_MESSAGE_FROM_SYSTEM, id, list);
    if (text.empty()) {
        char buf[16];
        wsprintfA(buf, "0x%x", id);
        text = buf;
    }
    return text;
}

std::string formatMessage(uint32_t id, long long insert) {
    return formatMessage(id, {std::to_string(insert)});
}
