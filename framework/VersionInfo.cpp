#include "framework/VersionInfo.h"

#include <cstdio>
#include <vector>

std::string versionString(const char* name, HMODULE module) {
    if (!module) module = GetModuleHandleA(nullptr);
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16) /* RT_VERSION */);
    if (!res) return {};
    HGLOBAL loaded = LoadResource(module, res);
    DWORD size = SizeofResource(module, res);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0) return {};
    // VerQueryValue may write into the block: it gets a copy.
    std::vector<char> block(static_cast<const char*>(data), static_cast<const char*>(data) + size);
    struct Translation {
        WORD language, codePage;
    };
    Translation* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &length) ||
        length < sizeof(Translation))
        return {};
    char path[128];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation->language, translation->codePage,
                  name);
    char* value = nullptr;
    if (!VerQueryValueA(block.data(), path, reinterpret_cast<void**>(&value), &length) || !value || length == 0)
        return {};
    std::string text(value, length);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}
