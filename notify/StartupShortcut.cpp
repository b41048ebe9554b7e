#include "notify/StartupShortcut.h"

#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <utility>
#include <vector>

#include "core/EventLog.h"
#include "core/Platform.h"

namespace {

const wchar_t kShortcutName[] = L"\\kestrix.lnk";

// One reference to a COM interface, released when it goes.
template <class I>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (p_) p_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    I* operator->() const { return p_; }
    I** out() { return &p_; }
    void** outVoid() { return reinterpret_cast<void**>(&p_); }

private:
    I* p_ = nullptr;
};

std::string ansi(const std::wstring& text) {
    return utf16ToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

// The running program's full name, however long its folder.
std::string programPath() {
    std::vector<char> buf(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return std::string(buf.data(), n);
        if (buf.size() >= 32768) return {};
        buf.resize(buf.size() * 2);
    }
}

}  // namespace

std::wstring startupShortcutPath(bool create) {
    PWSTR folder = nullptr;
    HRESULT hr = SHGetKnownFolderPath(FOLDERID_Startup, create ? DWORD{KF_FLAG_CREATE} : DWORD{0}, nullptr, &folder);
    std::wstring path = SUCCEEDED(hr) && folder ? folder : L"";
    CoTaskMemFree(folder);
    if (path.empty()) {
        eventLog().log("The Startup folder could not be found (error 0x%08lX)", static_cast<unsigned long>(hr));
        return {};
    }
    return path + kShortcutName;
}

bool writeShortcut(const std::wstring& path, const std::string& target, const std::string& description) {
    ComRef<IShellLinkA> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.outVoid());
    ComRef<IPersistFile> file;
    if (SUCCEEDED(hr)) hr = link->SetPath(target.c_str());
    if (SUCCEEDED(hr)) hr = link->SetDescription(description.c_str());
    if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, file.outVoid());
    if (SUCCEEDED(hr)) hr = file->Save(path.c_str(), TRUE);
    if (FAILED(hr)) {
        eventLog().log("The shortcut %s could not be written (error 0x%08lX)", ansi(path).c_str(),
                       static_cast<unsigned long>(hr));
        return false;
    }
    return true;
}

std::string shortcutTarget(const std::wstring& path) {
    ComRef<IShellLinkA> link;
    ComRef<IPersistFile> file;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.outVoid());
    if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, file.outVoid());
    if (SUCCEEDED(hr)) hr = file->Load(path.c_str(), STGM_READ);
    char target[MAX_PATH] = {};
    if (SUCCEEDED(hr)) hr = link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    return SUCCEEDED(hr) ? std::string(target) : std::string();
}

bool createStartupShortcut() {
    std::wstring path = startupShortcutPath(true);
    std::string target = programPath();
    if (path.empty() || target.empty()) return false;
    return writeShortcut(path, target, "Kestrix");
}

bool removeStartupShortcut() {
    std::wstring path = startupShortcutPath();
    if (path.empty()) return true;  // no folder, so no shortcut in it
    if (DeleteFileW(path.c_str())) return true;
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
    eventLog().log("The shortcut %s could not be deleted (error %lu)", ansi(path).c_str(), error);
    return false;
}
