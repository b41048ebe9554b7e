// The "Email Filters" dialog in-process, on a filter set of a temporary
// folder: what OK does when a check holds the filters, the buttons of the
// lists, files that cannot be read, and lists of many thousand records.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "core/MessageText.h"
#include "core/UserMessage.h"
#include "filter/FilterSheet.h"
#include "framework/Framework.h"
#include "resources/resource.h"
#include "support/MemoryRegistry.h"
#include "support/HeldReadLock.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;

namespace {

std::vector<uint32_t> gShown;

// Answers the next dialog with `title` that this thread shows, from inside
// its modal loop (a thread timer fires there).
class Answer {
public:
    Answer(std::string title, std::function<void(HWND)> act) : title_(std::move(title)), act_(std::move(act)) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 10, tick);
    }
    ~Answer() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    bool answered = false;

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        Answer* self = current_;
        if (!self || self->answered) return;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND w, LPARAM p) -> BOOL {
                auto* a = reinterpret_cast<Answer*>(p);
                char title[128] = {};
                GetWindowTextA(w, title, sizeof title);
                if (!IsWindowVisible(w) || !IsWindowEnabled(w) || a->title_ != title) return TRUE;
                a->answered = true;
                a->act_(w);
                return FALSE;
            },
            reinterpret_cast<LPARAM>(self));
    }

    static inline Answer* current_ = nullptr;
    std::string title_;
    std::function<void(HWND)> act_;
    UINT_PTR timer_ = 0;
};

void press(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void selectRow(HWND list, int row) {
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    if (row >= 0) ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

std::string u32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

std::string wordRecord(const std::string& ascii) {
    std::string out = u32(static_cast<uint32_t>(ascii.size() * 2));
    for (char c : ascii) out += std::string{c, '\0'};
    return out + std::string(2, '\0') + u32(0);
}

enum Tab { kPower, kFriends, kFrom, kSubject, kToCc, kSpammers, kSize, kVirus };

class Sheet : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initFramework(GetModuleHandleA(nullptr)); }
    void SetUp() override {
        gShown.clear();
        previous_ = setUserMessageHandler([](uint32_t id, const std::vector<std::string>&) { gShown.push_back(id); });
    }
    void TearDown() override { setUserMessageHandler(previous_); }

    std::unique_ptr<FilterSet> load() { return std::make_unique<FilterSet>(registry, nullptr, dir.dir(), 100ms); }
    HWND page(FilterSheet& sheet, int tab) { return sheet.filterPage(tab).hwnd(); }
    HWND control(FilterSheet& sheet, int tab, int id) { return GetDlgItem(page(sheet, tab), id); }
    bool enabled(FilterSheet& sheet, int tab, int id) { return IsWindowEnabled(control(sheet, tab, id)) != FALSE; }

    TempDir dir;
    MemoryRegistry registry;
    UserMessageHandler previous_ = nullptr;
};

// A check holds the filters past the time-out: OK says so and the dialog
// stays with the user's edits, the set and the files as they were; OK once
// the check is done applies them.
TEST_F(Sheet, OkWhileACheckHoldsTheFiltersKeepsEveryEdit) {
    const std::string from = "KX10" + u32(1) + wordRecord("old");
    dir.write("from.dat", from);
    auto filters = load();
    FilterSheet sheet(*filters);
    ASSERT_TRUE(sheet.createModeless(nullptr));
    sheet.showPage(kFrom);
    {
        Answer editor("Filter Edit", [](HWND d) {
            SetDlgItemTextA(d, IDC_WORD_TEXT, "lottery");
            press(d, IDOK);
        });
        press(page(sheet, kFrom), IDC_FILTER_ADD);
        EXPECT_TRUE(editor.answered);
    }
    EXPECT_EQ(ListView_GetItemCount(control(sheet, kFrom, IDC_FILTER_LIST)), 2);

    HeldReadLock check(*filters);
    press(sheet.hwnd(), IDOK);
    EXPECT_TRUE(sheet.isOpen());
    EXPECT_EQ(gShown, std::vector<uint32_t>{MSG_FiltersBusy});
    EXPECT_EQ(filters->fromList().size(), 1u);
    EXPECT_EQ(dir.read("from.dat"), from);
    EXPECT_TRUE(sheet.filterPage(kFrom).changed());
    check.release();

    press(sheet.hwnd(), IDOK);
    EXPECT_FALSE(sheet.isOpen());
    ASSERT_EQ(filters->fromList().size(), 2u);
    EXPECT_EQ(filters->fromList()[1].words, "lottery");
    EXPECT_EQ(dir.read("from.dat"), "KX10" + u32(2) + wordRecord("old") + wordRecord("lottery"));
}

// Edit, Delete and the moves need a selected row; a row can move up only
// from below the first and down only from above the last. Filling the list
// ticks its check boxes, which is not a change; the user's tick is.
TEST_F(Sheet, PowerListButtonsFollowTheSelection) {
    dir.write("power.dat", "FilterName=A\r\nFromEnabled=yes\r\nFilterName=B\r\nEnabled=no\r\nFilterName=C\r\n");
    auto filters = load();
    FilterSheet sheet(*filters);
    ASSERT_TRUE(sheet.createModeless(nullptr));
    HWND list = control(sheet, kPower, IDC_FILTER_LIST);
    EXPECT_FALSE(sheet.filterPage(kPower).changed());
    EXPECT_TRUE(ListView_GetCheckState(list, 0));
    EXPECT_FALSE(ListView_GetCheckState(list, 1));

    const struct {
        int row;
        bool edit, up, down;
    } cases[] = {{-1, false, false, false}, {0, true, false, true}, {1, true, true, true}, {2, true, true, false}};
    for (const auto& c : cases) {
        selectRow(list, c.row);
        EXPECT_EQ(enabled(sheet, kPower, IDC_FILTER_EDIT), c.edit) << c.row;
        EXPECT_EQ(enabled(sheet, kPower, IDC_FILTER_DELETE), c.edit) << c.row;
        EXPECT_EQ(enabled(sheet, kPower, IDC_FILTER_MOVE_UP), c.up) << c.row;
        EXPECT_EQ(enabled(sheet, kPower, IDC_FILTER_MOVE_DOWN), c.down) << c.row;
    }
    EXPECT_FALSE(sheet.filterPage(kPower).changed());
    ListView_SetCheckState(list, 1, TRUE);  // B switched on
    EXPECT_TRUE(sheet.filterPage(kPower).changed());

    press(page(sheet, kPower), IDC_FILTER_MOVE_UP);  // C above B, and still selected
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 1);
    EXPECT_TRUE(enabled(sheet, kPower, IDC_FILTER_MOVE_UP));
    EXPECT_TRUE(enabled(sheet, kPower, IDC_FILTER_MOVE_DOWN));
    EXPECT_TRUE(ListView_GetCheckState(list, 2));
    press(sheet.hwnd(), IDOK);
    ASSERT_EQ(filters->powerList().size(), 3u);
    EXPECT_EQ(filters->powerList()[1].filterName, "C");
    EXPECT_EQ(filters->powerList()[2].filterName, "B");
    EXPECT_EQ(filters->powerList()[2].disabled, 0u);
}

// A friends file that is there but cannot be read is shown read-only and is
// never written; the switch is stored all the same.
TEST_F(Sheet, AnUnreadableFriendsFileIsShownAndNeverWritten) {
    std::filesystem::create_directory(dir.file("friends.dat"));
    auto filters = load();
    FilterSheet sheet(*filters);
    ASSERT_TRUE(sheet.createModeless(nullptr));
    sheet.showPage(kFriends);
    char note[256] = {};
    GetDlgItemTextA(page(sheet, kFriends), IDC_FILTER_NOTE, note, sizeof note);
    EXPECT_EQ(std::string(note), formatMessage(MSG_AddressFileUnreadable, {"friends.dat"}));
    for (int id : {IDC_FILTER_ADD, IDC_FILTER_EDIT, IDC_FILTER_DELETE}) EXPECT_FALSE(enabled(sheet, kFriends, id)) << id;
    CheckDlgButton(page(sheet, kFriends), IDC_FILTER_ENABLE, BST_UNCHECKED);
    press(sheet.hwnd(), IDOK);
    EXPECT_FALSE(sheet.isOpen());
    EXPECT_FALSE(filters->checkFriends());
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("friends.dat")));
    EXPECT_TRUE(gShown.empty());
}

// Files of 100,000 records open at once, and OK without a change leaves them.
TEST_F(Sheet, ListsOfAHundredThousandRecords) {
    std::string from = "KX10" + u32(100000), friends;
    for (int i = 0; i < 100000; ++i) {
        from += wordRecord("w" + std::to_string(i));
        friends += "f" + std::to_string(i) + "@x\r\n";
    }
    dir.write("from.dat", from);
    dir.write("friends.dat", friends);
    auto filters = load();
    auto start = std::chrono::steady_clock::now();
    FilterSheet sheet(*filters);
    ASSERT_TRUE(sheet.createModeless(nullptr));
    sheet.showPage(kFriends);
    sheet.showPage(kFrom);
    HWND list = control(sheet, kFrom, IDC_FILTER_LIST);
    EXPECT_EQ(ListView_GetItemCount(list), 100000);
    EXPECT_EQ(ListView_GetItemCount(control(sheet, kFriends, IDC_FILTER_LIST)), 100000);
    selectRow(list, 99999);
    EXPECT_TRUE(enabled(sheet, kFrom, IDC_FILTER_EDIT));
    char text[64] = {};
    ListView_GetItemText(list, 99999, 1, text, sizeof text);
    EXPECT_STREQ(text, "w99999");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    auto written = std::filesystem::last_write_time(dir.file("from.dat"));
    press(sheet.hwnd(), IDOK);
    EXPECT_EQ(std::filesystem::last_write_time(dir.file("from.dat")), written);
    EXPECT_EQ(dir.read("friends.dat"), friends);
}

}  // namespace
