#include "core/WinRegistry.h"

#include <windows.h>

#include <vector>

namespace {

HKEY hkey(RegHandle h) { return reinterpret_cast<HKEY>(h); }

REGSAM samOf(RegAccess access) { return access == RegAccess::AllAccess ? KEY_ALL_ACCESS : KEY_READ; }

// The API wants zero-terminated names; a view need not be.
std::string z(std::string_view s) { return std::string(s); }

}  // namespace

uint32_t WinRegistry::open(RegHandle parent, std::string_view subKey, RegAccess access, RegHandle& key) {
    HKEY out = nullptr;
    LONG err = RegOpenKeyExA(hkey(parent), z(subKey).c_str(), 0, samOf(access), &out);
    key = err == ERROR_SUCCESS ? reinterpret_cast<RegHandle>(out) : 0;
    return static_cast<uint32_t>(err);
}

uint32_t WinRegistry::create(RegHandle parent, std::string_view subKey, RegAccess access, RegHandle& key) {
    HKEY out = nullptr;
    LONG err = RegCreateKeyExA(hkey(parent), z(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               samOf(access), nullptr, &out, nullptr);
    key = err == ERROR_SUCCESS ? reinterpret_cast<RegHandle>(out) : 0;
    return static_cast<uint32_t>(err);
}

void WinRegistry::close(RegHandle key) {
    if (key && key != kRegCurrentUser && key != kRegLocalMachine) RegCloseKey(hkey(key));
}

uint32_t WinRegistry::query(RegHandle key, std::string_view name, uint32_t& type, std::string& data) {
    std::string n = z(name);
    // The value may change between the size query and the read: retry then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD t = 0, size = 0;
        LONG err = RegQueryValueExA(hkey(key), n.c_str(), nullptr, &t, nullptr, &size);
        if (err != ERROR_SUCCESS) return static_cast<uint32_t>(err);
        std::vector<BYTE> buf(size + 2);
        DWORD got = size;
        err = RegQueryValueExA(hkey(key), n.c_str(), nullptr, &t, buf.data(), &got);
        if (err == ERROR_MORE_DATA) continue;
        if (err != ERROR_SUCCESS) return static_cast<uint32_t>(err);
        type = t;
        data.assign(reinterpret_cast<const char*>(buf.data()), got);
        return kRegOk;
    }
    return kRegMoreData;
}

uint32_t WinRegistry::set(RegHandle key, std::string_view name, uint32_t type, std::string_view data) {
    return static_cast<uint32_t>(RegSetValueExA(hkey(key), z(name).c_str(), 0, type,
                                                reinterpret_cast<const BYTE*>(data.data()),
                                                static_cast<DWORD>(data.size())));
}

uint32_t WinRegistry::enumKey(RegHandle key, uint32_t index, std::string& name) {
    char buf[256];
    DWORD size = sizeof buf;
    LONG err = RegEnumKeyExA(hkey(key), index, buf, &size, nullptr, nullptr, nullptr, nullptr);
    if (err == ERROR_SUCCESS) name.assign(buf, size);
    return static_cast<uint32_t>(err);
}

uint32_t WinRegistry::enumValue(RegHandle key, uint32_t index, std::string& name) {
    // Value names may be up to 16383 characters.
    std::vector<char> buf(16384);
    DWORD size = static_cast<DWORD>(buf.size());
    LONG err = RegEnumValueA(hkey(key), index, buf.data(), &size, nullptr, nullptr, nullptr, nullptr);
    if (err == ERROR_SUCCESS) name.assign(buf.data(), size);
    return static_cast<uint32_t>(err);
}

uint32_t WinRegistry::deleteKey(RegHandle parent, std::string_view subKey) {
    return static_cast<uint32_t>(RegDeleteKeyA(hkey(parent), z(subKey).c_str()));
}

uint32_t WinRegistry::deleteValue(RegHandle key, std::string_view name) {
    return static_cast<uint32_t>(RegDeleteValueA(hkey(key), z(name).c_str()));
}

bool WinRegistry::expandEnvironment(std::string_view text, std::string& out) {
    std::string in = z(text);
    DWORD need = ExpandEnvironmentStringsA(in.c_str(), nullptr, 0);
    if (need == 0) return false;
    std::vector<char> buf(need + 1);
    DWORD n = ExpandEnvironmentStringsA(in.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0 || n > buf.size()) return false;
    out.assign(buf.data());
    return true;
}

Registry& systemRegistry() {
    static WinRegistry registry;
    return registry;
}
