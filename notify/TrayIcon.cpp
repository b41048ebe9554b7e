#include "notify/TrayIcon.h"

#include <climits>
#include <cstring>

#include "framework/Framework.h"
#include "resources/resource.h"

namespace {

constexpr WORD kBuiltIn[] = {IDI_TRAY_FLASH, IDI_TRAY_NORMAL, IDI_TRAY_CHECK_ERROR, IDI_TRAY_ERROR, IDI_TRAY_CHECK};

size_t index(TraySlot slot) { return static_cast<size_t>(slot); }

}  // namespace

TrayIcons::TrayIcons() : size_(GetSystemMetrics(SM_CXSMICON)) {
    if (size_ <= 0) size_ = 16;
    restoreDefaultIcons();
}

TraySlot TrayIcons::traySlot(Slot slot) {
    switch (slot) {
    case Check: return TraySlot::Check;
    case Error: return TraySlot::Error;
    case CheckError: return TraySlot::CheckError;
    default: return TraySlot::Normal;
    }
}

void TrayIcons::loadIconFile(Slot slot, const std::string& path) { loadSlotFromFile(traySlot(slot), path); }

bool TrayIcons::iconFromFile(Slot slot) const { return slots_[index(traySlot(slot))].fromFile; }

std::string TrayIcons::iconPath(Slot slot) const { return slots_[index(traySlot(slot))].path; }

bool TrayIcons::loadSlotFromFile(TraySlot slot, const std::string& path) {
    HICON large = nullptr, small = nullptr;
    // Only the count says what was extracted: a failed call may leave
    // anything in the two handles.
    UINT extracted = ExtractIconExA(path.c_str(), 0, &large, &small, 1);
    if (extracted == 0 || extracted == UINT_MAX) return false;
    // The large picture scales down better than the small one scales up.
    IconHandle kept(large ? large : small), other(large && extracted > 1 ? small : nullptr);
    if (!kept) return false;
    IconSlot& s = slots_[index(slot)];
    s.handle = std::move(kept);
    s.fromFile = true;
    s.path = path;
    return true;
}

void TrayIcons::loadBuiltIn(TraySlot slot) {
    IconSlot& s = slots_[index(slot)];
    s.handle.reset(static_cast<HICON>(LoadImageA(appInstance(), MAKEINTRESOURCEA(kBuiltIn[index(slot)]), IMAGE_ICON,
                                                 size_, size_, 0)));
    s.fromFile = false;
    s.path.clear();
}

void TrayIcons::restoreDefaultIcons() {
    for (size_t i = 0; i < slots_.size(); ++i) loadBuiltIn(static_cast<TraySlot>(i));
}

HICON TrayIcons::slotIcon(TraySlot slot) const { return slots_[index(slot)].handle.get(); }

std::string trayTip(const std::string& text, size_t max, UINT codePage) {
    size_t end = 0;
    while (end < text.size()) {
        size_t next = end + (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[end])) ? 2 : 1);
        if (next > max || next > text.size()) break;
        end = next;
    }
    return text.substr(0, end);
}

bool notifyTray(DWORD action, HWND window, UINT id, UINT callback, HICON icon, const std::string& tip) {
    NOTIFYICONDATAA data = {};
    // The layout with the 128-byte tip, as this build lays it out: a size
    // the shell does not know makes it fall back to the oldest layout and
    // cut the tip to 63 characters.
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = window;
    data.uID = id;
    if (action != NIM_DELETE) {
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = callback;
        data.hIcon = icon;
        std::string cut = trayTip(tip, sizeof data.szTip - 1);
        std::memcpy(data.szTip, cut.c_str(), cut.size() + 1);
    }
    return Shell_NotifyIconA(action, &data) != FALSE;
}
