// The tray's pictures and its entry in the notification area: the five state
// pictures (built in, or from icon files the user chose) and the shell calls
// that add, change and remove the icon.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <array>
#include <cstdint>
#include <string>

#include "core/Settings.h"
#include "framework/Handles.h"
#include "notify/TrayState.h"

class TrayIcons : public IconSlots {
public:
    // The built-in pictures at the small-icon size of the screen.
    TrayIcons();

    // The four slots the settings keep files for.
    void loadIconFile(Slot slot, const std::string& path) override;
    bool iconFromFile(Slot slot) const override;
    std::string iconPath(Slot slot) const override;

    // The first icon of `path` (an icon, program or library file) becomes the
    // slot's picture; false, and the slot unchanged, when the file has none.
    bool loadSlotFromFile(TraySlot slot, const std::string& path);
    // Every slot back to its built-in picture.
    void restoreDefaultIcons();
    // The slot's picture; the slots keep owning it.
    HICON slotIcon(TraySlot slot) const;
    // Width and height of the pictures in pixels.
    int size() const { return size_; }

private:
    struct IconSlot {
        IconHandle handle;
        bool fromFile = false;
        std::string path;
    };
    static TraySlot traySlot(Slot slot);
    void loadBuiltIn(TraySlot slot);

    int size_;
    std::array<IconSlot, static_cast<size_t>(TraySlot::Count)> slots_;
};

// The tip as the shell's record holds it: at most `max` bytes, cut before a
// character of `codePage` that would not fit whole.
std::string trayTip(const std::string& text, size_t max = 127, UINT codePage = CP_ACP);

// One call of the notification area for the icon `id` of `window`: NIM_ADD,
// NIM_MODIFY (both with `icon`, `tip` and `callback`) or NIM_DELETE. True
// when the shell accepted it.
bool notifyTray(DWORD action, HWND window, UINT id, UINT callback = 0, HICON icon = nullptr,
                const std::string& tip = {});
