#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "core/ProductKey.h"
#include "core/Settings.h"
#include "framework/Framework.h"
#include "mail/Controller.h"
#include "message/Message.h"
#include "notify/Badge.h"
#include "notify/Tray.h"
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

class NoView : public ControllerView {
public:
    void accountChanged(uint32_t) override {}
    void newMailFound(uint32_t) override {}
    bool confirmDeletion(uint32_t, CheckWait&) override { return false; }
    void runMailer() override {}
};

// An engine with accounts and nothing running, in a folder of its own.
struct Engine {
    Engine() : controller(reg, view, nullptr, dir.dir()) {}
    Account& add(const std::string& name, int messages = 0) {
        Account& account = *controller.add(AccountInfo{name});
        MessageList list;
        for (int i = 0; i < messages; ++i)
            list.push_back(std::make_unique<Message>(
                std::vector<std::string>{"Subject: " + std::to_string(i), "Message-ID: <" + name + std::to_string(i) + ">"},
                100));
        if (messages) account.replaceMessages(std::move(list));
        return account;
    }

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
    EXPECT_EQ(trayTip("3 new messages\nA: 2"), "3 new messages\nA: 2");
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
    uint32_t first = engine.add("Same").id(), second = engine.add("Same").id(), off = engine.add("R&D").id();
    ASSERT_TRUE(engine.controller.toggleDisabled(off));
    MenuHandle resource(LoadMenuA(appInstance(), MAKEINTRESOURCEA(IDM_TRAY)));
    TrayMenu menu;
    menu.setMenu(GetSubMenu(resource.get(), 0));
    HMENU check = GetSubMenu(menu.menu(), IDM_POS_TRAY_CHECK);
    auto item = [&](int pos) {
        char text[64] = {};
        GetMenuStringA(check, static_cast<UINT>(pos), text, sizeof text, MF_BYPOSITION);
        UINT id = GetMenuItemID(check, pos);
        return std::make_tuple(std::string(text), menu.accountFor(id),
                               (GetMenuState(check, static_cast<UINT>(pos), MF_BYPOSITION) & MF_GRAYED) != 0);
    };
    auto notification = [&] {
        char text[64] = {};
        GetMenuStringA(menu.menu(), ID_NOTIFICATION, text, sizeof text, MF_BYCOMMAND);
        return std::make_pair(std::string(text), (GetMenuState(menu.menu(), ID_NOTIFICATION, MF_BYCOMMAND) & MF_GRAYED) != 0);
    };

    menu.update(engine.controller, true, true);
    ASSERT_EQ(GetMenuItemCount(check), 5);
    EXPECT_EQ(item(2), std::make_tuple(std::string("Same"), first, false));
    EXPECT_EQ(item(3), std::make_tuple(std::string("Same"), second, false));
    EXPECT_EQ(item(4), std::make_tuple(std::string("R&&D"), off, true));
    EXPECT_EQ(notification(), std::make_pair(std::string("Notification On"), false));
    EXPECT_EQ(GetMenuDefaultItem(menu.menu(), TRUE, 0), 0u);

    ASSERT_TRUE(engine.controller.remove(first));
    ASSERT_TRUE(engine.controller.toggleDisabled(off));
    menu.update(engine.controller, false, false);
    ASSERT_EQ(GetMenuItemCount(check), 4);
    EXPECT_EQ(item(2), std::make_tuple(std::string("Same"), second, false));
    EXPECT_EQ(item(3), std::make_tuple(std::string("R&&D"), off, false));
    EXPECT_EQ(notification(), std::make_pair(std::string("Notification Off"), true));

    ASSERT_TRUE(engine.controller.remove(second));
    ASSERT_TRUE(engine.controller.remove(off));
    menu.update(engine.controller, false, true);
    EXPECT_EQ(GetMenuItemCount(check), 2);
    EXPECT_TRUE(GetMenuState(menu.menu(), IDM_POS_TRAY_CHECK, MF_BYPOSITION) & MF_GRAYED);
}

namespace {

class Host : public TrayHost {
public:
    explicit Host(Controller& engine) : engine_(engine) {
        window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    }
    ~Host() override { DestroyWindow(window_); }
    HWND window() const override { return window_; }
    bool windowOpen() const override { return false; }
    Controller& engine() override { return engine_; }
    void refreshAccount(uint32_t id) override { refreshed.push_back(id); }

    std::vector<uint32_t> refreshed;

private:
    Controller& engine_;
    HWND window_;
};

std::string mailInfo(MemoryRegistry& reg) {
    RegKey key;
    std::string text;
    key.open(reg, kRegCurrentUser, kSSaverKey, RegAccess::Read);
    key.readString("MailInfo", text);
    return text;
}

}  // namespace

// RUN MAILER marks everything read only once the client has started.
TEST_F(TrayTest, RunMailerMarksReadOnlyWhenTheClientStarts) {
    Engine engine;
    Account& a = engine.add("A", 2);
    Account& b = engine.add("B", 1);
    Host host(engine.controller);
    Tray tray(host);
    engine.controller.settings().MailClient = "C:\\nowhere\\mailer.exe";
    tray.runMailer();
    EXPECT_EQ(a.unreadCount() + b.unreadCount(), 3u);
    EXPECT_TRUE(host.refreshed.empty());

    engine.controller.settings().MailClient = "cmd.exe /c exit";
    tray.runMailer();
    EXPECT_EQ(a.unreadCount() + b.unreadCount(), 0u);
    EXPECT_EQ(a.messageCount(), 2u);
    EXPECT_EQ(host.refreshed, (std::vector<uint32_t>{a.id(), b.id()}));
    EXPECT_EQ(mailInfo(engine.reg), "0 new messages");
}
