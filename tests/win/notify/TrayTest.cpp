#include <windows.h>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "win/support/NoView.h"
#include "core/ProductKey.h"
#include "core/Settings.h"
#include "framework/Framework.h"
#include "mail/Controller.h"
#include "notify/Badge.h"
#include "notify/TrayIcon.h"
#include "notify/TrayMenu.h"
#include "resources/resource.h"
#include "support/MemoryRegistry.h"
#include "support/TempDir.h"

namespace {

class TrayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initFramework(GetModuleHandleA(nullptr)); }
};

// The pixels of a bitmap, top row first, as 0x00RRGGBB.
std::vector<uint32_t> pixels(HBITMAP bitmap, int size) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> out(static_cast<size_t>(size * size));
    WindowDC screen(nullptr);
    GetDIBits(screen, bitmap, 0, static_cast<UINT>(size), out.data(), &info, DIB_RGB_COLORS);
    for (uint32_t& p : out) p &= 0xFFFFFF;
    return out;
}

constexpr uint32_t asPixel(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

// An engine with accounts and nothing running, in a folder of its own.
struct Engine {
    Engine() : controller(reg, view, nullptr, dir.dir()) {}
    uint32_t add(const std::string& name) { return controller.add(AccountInfo{name})->id(); }

    TempDir dir;
    MemoryRegistry reg;
    NoView view;
    Controller controller;
};

}  // namespace

// The state picture shows through the badge's corners; the disc has the
// colour of the accounts' states at every icon size.
TEST_F(TrayTest, BadgeKeepsTransparentCornersAndItsColour) {
    struct Case {
        int size;
        COLORREF colour;
        uint32_t count;
    } cases[] = {{16, RGB(0, 140, 0), 1}, {20, RGB(140, 0, 0), 7}, {32, RGB(0, 0, 140), 123}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        IconHandle state(static_cast<HICON>(
            LoadImageA(appInstance(), MAKEINTRESOURCEA(IDI_TRAY_NORMAL), IMAGE_ICON, c.size, c.size, 0)));
        ASSERT_TRUE(state);
        IconHandle badge = composeBadge(nullptr, state.get(), c.size, c.colour, c.count);
        ASSERT_TRUE(badge);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(badge.get(), &info));
        BitmapHandle colour(info.hbmColor), mask(info.hbmMask);
        std::vector<uint32_t> color = pixels(colour.get(), c.size), bits = pixels(mask.get(), c.size);
        EXPECT_EQ(bits[0], 0xFFFFFFu);  // the top left corner is transparent
        // Inside the disc, left of the number.
        size_t inside = static_cast<size_t>(MulDiv(10, c.size, 16) * c.size + MulDiv(5, c.size, 16));
        EXPECT_EQ(color[inside], asPixel(c.colour));
        EXPECT_EQ(bits[inside], 0u);
    }
}

TEST_F(TrayTest, TipIsCutBeforeACharacterThatDoesNotFit) {
    const std::string kanji = "\x82\xA0";  // one character of code page 932
    EXPECT_EQ(trayTip(std::string(126, 'a') + kanji, 127, 932), std::string(126, 'a'));
    EXPECT_EQ(trayTip(std::string(125, 'a') + kanji + "b", 127, 932), std::string(125, 'a') + kanji);
    EXPECT_EQ(trayTip(std::string(200, 'a')).size(), 127u);
}

// Icon files come and go through the settings: a file with no icon leaves
// the built-in picture, which is saved as "Default".
TEST_F(TrayTest, SlotsFromFilesRoundTripThroughTheSettings) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    MemoryRegistry reg;
    reg.putString(kRegCurrentUser, kSettingsKey, "NormalIconPath", self);
    reg.putString(kRegCurrentUser, kSettingsKey, "CheckIconPath", "C:\\nowhere\\none.ico");
    reg.putString(kRegCurrentUser, kSettingsKey, "ErrorIconPath", "default");
    TrayIcons icons;
    HICON builtInCheck = icons.slotIcon(TraySlot::Check);
    Settings settings(reg, &icons);
    EXPECT_TRUE(icons.iconFromFile(IconSlots::Normal));
    EXPECT_EQ(icons.slotIcon(TraySlot::Check), builtInCheck);
    settings.save();
    auto stored = [&](const char* value) {
        RegKey key;
        std::string text;
        key.open(reg, kRegCurrentUser, kSettingsKey, RegAccess::Read);
        key.readString(value, text);
        return text;
    };
    EXPECT_EQ(stored("NormalIconPath"), self);
    EXPECT_EQ(stored("CheckIconPath"), "Default");
    EXPECT_EQ(stored("ErrorIconPath"), "Default");  // "default" names a file, which has no icon
    icons.restoreDefaultIcons();
    settings.save();
    EXPECT_EQ(stored("NormalIconPath"), "Default");
}

// Accounts of one name each get an item of their own; removed accounts
// lose theirs.
TEST_F(TrayTest, MenuHasAnItemPerAccount) {
    Engine engine;
    uint32_t first = engine.add("Same"), second = engine.add("Same"), off = engine.add("R&D");
    ASSERT_TRUE(engine.controller.toggleDisabled(off));
    MenuHandle resource(LoadMenuA(appInstance(), MAKEINTRESOURCEA(IDM_TRAY)));
    TrayMenu menu;
    menu.setMenu(GetSubMenu(resource.get(), 0));
    HMENU check = GetSubMenu(menu.menu(), IDM_POS_TRAY_CHECK);
    using Item = std::tuple<std::string, uint32_t, bool>;  // text, account, greyed
    auto items = [&] {
        std::vector<Item> out;
        for (int pos = 2; pos < GetMenuItemCount(check); ++pos) {
            char text[64] = {};
            GetMenuStringA(check, static_cast<UINT>(pos), text, sizeof text, MF_BYPOSITION);
            bool grey = GetMenuState(check, static_cast<UINT>(pos), MF_BYPOSITION) & MF_GRAYED;
            out.emplace_back(text, menu.accountFor(GetMenuItemID(check, pos)), grey);
        }
        return out;
    };
    auto switchText = [&] {
        char text[64] = {};
        GetMenuStringA(menu.menu(), ID_NOTIFICATION, text, sizeof text, MF_BYCOMMAND);
        return std::string(text) + ((GetMenuState(menu.menu(), ID_NOTIFICATION, MF_BYCOMMAND) & MF_GRAYED) ? " (grey)" : "");
    };

    menu.update(engine.controller, true, true);
    EXPECT_EQ(items(), (std::vector<Item>{{"Same", first, false}, {"Same", second, false}, {"R&&D", off, true}}));
    EXPECT_EQ(switchText(), "Notification On");
    EXPECT_EQ(GetMenuDefaultItem(menu.menu(), TRUE, 0), 0u);

    ASSERT_TRUE(engine.controller.remove(first));
    ASSERT_TRUE(engine.controller.toggleDisabled(off));
    menu.update(engine.controller, false, false);
    EXPECT_EQ(items(), (std::vector<Item>{{"Same", second, false}, {"R&&D", off, false}}));
    EXPECT_EQ(switchText(), "Notification Off (grey)");

    ASSERT_TRUE(engine.controller.remove(second) && engine.controller.remove(off));
    menu.update(engine.controller, false, true);
    EXPECT_TRUE(items().empty());
    EXPECT_TRUE(GetMenuState(menu.menu(), IDM_POS_TRAY_CHECK, MF_BYPOSITION) & MF_GRAYED);
}
