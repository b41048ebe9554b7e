#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Dialog.h"
#include "framework/Framework.h"
#include "framework/ListView.h"
#include "framework/Splitter.h"
#include "framework/TabDialog.h"
#include "framework/Toolbar.h"

namespace {

class Widgets : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initFramework(GetModuleHandleA(nullptr)); }
};

class Host : public Dialog {
public:
    Host() : Dialog(9001, "Host") {}
};

class TestSplitter : public Splitter {
public:
    std::vector<size_t> moved;

protected:
    void onDividerMoved(size_t pane) override { moved.push_back(pane); }
};

// Shown by its own style (its dialog itself is never shown here).
bool shown(HWND hwnd) { return (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

int heightOf(HWND hwnd) {
    RECT rc;
    GetWindowRect(hwnd, &rc);
    return rc.bottom - rc.top;
}

// Stored heights are proportions of whatever room there is; a drag moves
// only the two panes beside the divider and reports its end.
TEST_F(Widgets, SplitterKeepsProportionsAndDragsOneDivider) {
    Host host;
    ASSERT_TRUE(host.createModeless(nullptr));
    TestSplitter splitter;
    ASSERT_TRUE(splitter.create(host.hwnd(), RECT{0, 0, 300, 0}));
    int d = splitter.dividerSize();
    SetWindowPos(splitter.hwnd(), nullptr, 0, 0, 300, 110 * 3 + 2 * d, SWP_NOZORDER);
    std::vector<HWND> panes;
    for (int i = 0; i < 3; ++i)
        panes.push_back(CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, splitter.hwnd(), nullptr,
                                        nullptr, nullptr));
    splitter.setPanes(panes, {30, 30, 50});
    EXPECT_EQ(splitter.heights(), (std::vector<int>{90, 90, 150}));
    EXPECT_EQ(heightOf(panes[2]), 150);

    SetWindowPos(splitter.hwnd(), nullptr, 0, 0, 300, 110 * 6 + 2 * d, SWP_NOZORDER);
    EXPECT_EQ(splitter.heights(), (std::vector<int>{180, 180, 300}));

    // Drag the lower divider 40 pixels up.
    int y = 180 + d + 180 + 1;
    SendMessageA(splitter.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, y));
    SendMessageA(splitter.hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, y - 40));
    SendMessageA(splitter.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(10, y - 40));
    EXPECT_EQ(splitter.heights(), (std::vector<int>{180, 140, 340}));
    EXPECT_EQ(splitter.moved, std::vector<size_t>{1});
    EXPECT_EQ(heightOf(panes[1]), 140);
}

std::vector<int> commands(const Toolbar& bar) {
    std::vector<int> out;
    for (int i = 0; i < bar.buttonCount(); ++i) out.push_back(bar.button(i).command);
    return out;
}

// The layout survives a save and a restore into a fresh bar (which asks us
// for the buttons' images and texts), and the built-in one comes back.
TEST_F(Widgets, ToolbarLayoutRoundTripsThroughTheRegistry) {
    const char* key = "Software\\Kestrix Tests\\FrameworkToolbar";
    RegDeleteTreeA(HKEY_CURRENT_USER, key);
    Host host;
    ASSERT_TRUE(host.createModeless(nullptr));
    std::vector<ToolbarButton> buttons = {{1006, 0, TBSTATE_ENABLED, BTNS_BUTTON, "&Check"},
                                          {0},
                                          {40011, 1, TBSTATE_ENABLED, BTNS_BUTTON, "Check &All"},
                                          {40051, 2, TBSTATE_ENABLED, BTNS_BUTTON, "Stop"}};
    Toolbar bar;
    ASSERT_TRUE(bar.create(host.hwnd(), WS_CHILD | WS_VISIBLE | CCS_ADJUSTABLE | TBSTYLE_FLAT, 0, 300));
    bar.setButtons(buttons, nullptr, nullptr);
    bar.setLayoutKey(key, "Original", "Current");
    bar.saveOriginalAndRestore();
    EXPECT_EQ(commands(bar), (std::vector<int>{1006, 0, 40011, 40051}));

    SendMessageA(bar.hwnd(), TB_DELETEBUTTON, 0, 0);
    ASSERT_TRUE(bar.saveLayout("Current"));

    Toolbar fresh;
    ASSERT_TRUE(fresh.create(host.hwnd(), WS_CHILD | WS_VISIBLE | CCS_ADJUSTABLE | TBSTYLE_FLAT, 0, 301));
    fresh.setButtons(buttons, nullptr, nullptr);
    fresh.setLayoutKey(key, "Original", "Current");
    fresh.saveOriginalAndRestore();
    EXPECT_EQ(commands(fresh), (std::vector<int>{0, 40011, 40051}));
    EXPECT_EQ(fresh.button(1).text, "Check &All");
    ASSERT_TRUE(fresh.restoreLayout("Original"));
    EXPECT_EQ(commands(fresh), (std::vector<int>{1006, 0, 40011, 40051}));
    RegDeleteTreeA(HKEY_CURRENT_USER, key);
}

class CountingPage : public TabPage {
public:
    explicit CountingPage(UINT id) : TabPage(id, "CountingPage") {}
    int firstShows = 0;

protected:
    void onFirstShow() override { ++firstShows; }
};

class Tabs : public TabDialog {
public:
    Tabs() : TabDialog(9003, 200, "Tabs") {}
};

TEST_F(Widgets, TabDialogShowsOnePageAndKnowsWhichWereShown) {
    CountingPage first(9002), second(9004);
    Tabs tabs;
    tabs.addPage(first);
    tabs.addPage(second);
    ASSERT_TRUE(tabs.createModeless(nullptr));
    HWND tabControl = tabs.item(200);
    EXPECT_EQ(TabCtrl_GetItemCount(tabControl), 2);
    char label[32] = {};
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = label;
    item.cchTextMax = sizeof label;
    SendMessageA(tabControl, TCM_GETITEMA, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(label, "Second");
    EXPECT_TRUE(first.everShown());
    EXPECT_FALSE(second.everShown());
    EXPECT_TRUE(shown(first.hwnd()));
    // Pages start below the row of tabs, not over it.
    RECT tab, page;
    TabCtrl_GetItemRect(tabControl, 0, &tab);
    MapWindowPoints(tabControl, nullptr, reinterpret_cast<POINT*>(&tab), 2);
    GetWindowRect(second.hwnd(), &page);
    EXPECT_GE(page.top, tab.bottom);

    tabs.showPage(1);
    tabs.showPage(0);
    tabs.showPage(1);
    EXPECT_TRUE(second.everShown());
    EXPECT_EQ(second.firstShows, 1);
    EXPECT_FALSE(shown(first.hwnd()));
    EXPECT_EQ(GetWindowLongPtrA(second.hwnd(), GWL_STYLE) & (WS_CAPTION | WS_CHILD), WS_CHILD);
}

TEST_F(Widgets, ListViewFindsRowsByTheirDataAndReadsLongCells) {
    Host host;
    ASSERT_TRUE(host.createModeless(nullptr));
    ListView list(host.item(100));
    list.addColumn(0, "A", 50);
    list.addColumn(1, "B", 50);
    EXPECT_EQ(list.columnCount(), 2);
    std::string longText(3000, 'x');
    list.insertItem(-1, "first", 11);
    list.insertItem(-1, "second", 22);
    list.setText(1, 1, longText);
    EXPECT_EQ(list.findData(22), 1);
    EXPECT_EQ(list.findData(33), -1);
    EXPECT_EQ(list.text(1, 1), longText);
    list.select(1);
    EXPECT_EQ(list.selected(), 1);
    EXPECT_EQ(list.focused(), 1);
    list.selectAll();
    EXPECT_EQ(list.selectedItems(), (std::vector<int>{0, 1}));
}

}  // namespace
