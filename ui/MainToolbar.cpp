#include "ui/MainToolbar.h"

#include <commctrl.h>

#include <vector>

#include "core/MessageText.h"
#include "core/ProductKey.h"
#include "framework/Framework.h"
#include "framework/Window.h"
#include "resources/resource.h"
#include "ui/CommandHelp.h"

namespace {

constexpr DWORD kStyle = 0x56008961;  // child, visible, clipping, transparent, flat, tooltips, no divider, adjustable, top
constexpr DWORD kExStyle = 0x10080;   // control parent, tool window
constexpr UINT kToolbarResource = 241;  // RT_TOOLBAR
const char kLayoutKey[] = KX_PRODUCT_KEY "\\CustomizeControls\\Toolbar";

// The commands of the toolbar resource, in order (0: separator). The
// resource is words: version, button width, height, count, then the ids.
std::vector<int> toolbarCommands() {
    std::vector<int> ids;
    HINSTANCE instance = appInstance();
    HRSRC res = FindResourceA(instance, MAKEINTRESOURCEA(IDR_TOOLBAR), MAKEINTRESOURCEA(kToolbarResource));
    HGLOBAL data = res ? LoadResource(instance, res) : nullptr;
    const auto* words = data ? static_cast<const WORD*>(LockResource(data)) : nullptr;
    size_t size = res ? SizeofResource(instance, res) / sizeof(WORD) : 0;
    if (!words || size < 4) return ids;
    size_t count = words[3];
    for (size_t i = 0; i < count && 4 + i < size; ++i) ids.push_back(words[4 + i]);
    return ids;
}

// The bitmap variant for a DPI: 100 %, 125 %, 150 % or 200 %.
int scaleStep(UINT dpi) {
    if (dpi >= 192) return 3;
    if (dpi >= 144) return 2;
    if (dpi >= 120) return 1;
    return 0;
}

ImageListHandle loadStrip(UINT id, int size) {
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(appInstance(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap) return {};
    ImageListHandle list(ImageList_Create(size, size, ILC_COLOR32, 9, 9));
    if (list) ImageList_Add(list.get(), bitmap, nullptr);
    DeleteObject(bitmap);
    return list;
}

}  // namespace

bool MainToolbar::create(HWND parent, UINT dpi) {
    if (!Toolbar::create(parent, kStyle, kExStyle, 0)) return false;
    SendMessageA(hwnd(), TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    loadImages(dpi);
    std::vector<ToolbarButton> buttons;
    int image = 0;
    for (int command : toolbarCommands()) {
        ToolbarButton b;
        b.command = command;
        if (command) {
            b.image = image++;
            b.text = loadString(static_cast<UINT>(command));
            if (command == ID_ENCODINGS) b.style = BTNS_DROPDOWN | BTNS_WHOLEDROPDOWN;
        }
        buttons.push_back(b);
    }
    setButtons(buttons, images_.get(), disabled_.get());
    if (HWND tips = reinterpret_cast<HWND>(SendMessageA(hwnd(), TB_GETTOOLTIPS, 0, 0))) SendMessageA(tips, TTM_ACTIVATE, TRUE, 0);
    setLayoutKey(kLayoutKey, "Original", "Current");
    saveOriginalAndRestore();
    return true;
}

void MainToolbar::loadImages(UINT dpi) {
    int step = scaleStep(dpi);
    static const int kSizes[] = {16, 20, 24, 32};
    int size = kSizes[step];
    images_ = loadStrip(IDB_TOOLBAR + step * IDB_SCALE_STEP, size);
    disabled_ = loadStrip(IDB_TOOLBAR_DISABLED + step * IDB_SCALE_STEP, size);
}

void MainToolbar::setDpi(UINT dpi) {
    loadImages(dpi);
    SendMessageA(hwnd(), TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_.get()));
    SendMessageA(hwnd(), TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(disabled_.get()));
    SendMessageA(hwnd(), TB_AUTOSIZE, 0, 0);
}

std::string MainToolbar::hotText(const NMTBHOTITEM& hot) const {
    if (hot.dwFlags & HICF_LEAVING) return {};
    uint32_t id = commandHelp(static_cast<unsigned>(hot.idNew)).tooltip;
    return id ? formatMessage(id) : std::string();
}

void MainToolbar::tooltip(NMTTDISPINFOA& info) {
    uint32_t id = commandHelp(static_cast<unsigned>(info.hdr.idFrom)).tooltip;
    tip_ = id ? formatMessage(id) : std::string();
    info.lpszText = tip_.data();
}
