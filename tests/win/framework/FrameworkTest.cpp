#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/EventLog.h"
#include "framework/Dialog.h"
#include "framework/Framework.h"
#include "framework/HtmlHelp.h"
#include "framework/MessageLoop.h"
#include "framework/PropertySheet.h"
#include "framework/VersionInfo.h"
#include "framework/Window.h"
#include "resources/version.h"

namespace {

constexpr UINT kDialog = 9001, kPage = 9002, kListTable = 9010, kWindowTable = 9011;
constexpr int kList = 100, kEdit = 101;

bool logHas(const std::string& part) {
    for (const std::string& line : eventLog().recentLines())
        if (line.find(part) != std::string::npos) return true;
    return false;
}

// Pumps this thread's queue until nothing is left.
void drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!MessageLoop::preTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// A list control that records the commands sent to it and throws on one.
class RecordingList : public Control {
public:
    std::vector<UINT> commands;
    int notifications = 0;
    bool onReflected(UINT msg, WPARAM, LPARAM lp, LRESULT& result) override {
        if (msg != WM_NOTIFY || reinterpret_cast<NMHDR*>(lp)->code != NM_CLICK) return false;
        ++notifications;
        result = 77;
        return true;
    }

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_COMMAND) {
            commands.push_back(LOWORD(wp));
            return 0;
        }
        if (msg == WM_USER + 1) throw std::runtime_error("list handler failed");
        return Control::onMessage(msg, wp, lp);
    }
};

class TestDialog : public Dialog {
public:
    TestDialog() : Dialog(kDialog, "TestDialog") {}
    RecordingList list;
    std::vector<UINT> commands;
    bool initialised = false;
    int modalDepthInside = -1;
    bool ownerEnabledInside = true;
    HWND owner = nullptr;

protected:
    bool onInit() override {
        initialised = true;
        list.subclass(item(kList), "TestList");
        list.setAccelerators(LoadAcceleratorsA(appInstance(), MAKEINTRESOURCEA(kListTable)));
        MessageLoop::setWindowAccelerators(hwnd(), LoadAcceleratorsA(appInstance(), MAKEINTRESOURCEA(kWindowTable)));
        return true;
    }
    void onCommand(UINT code, UINT id, HWND control) override {
        commands.push_back(id);
        if (id == 602) throw std::runtime_error("command failed");
        if (id == IDOK) {
            modalDepthInside = MessageLoop::modalDepth();
            ownerEnabledInside = owner ? IsWindowEnabled(owner) != FALSE : true;
            end(42);
        }
    }
    void onDestroy() override { MessageLoop::setWindowAccelerators(hwnd(), nullptr); }
};

MSG ctrlKey(HWND to, char key) {
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_CONTROL] = 0x80;
    SetKeyboardState(state);
    MSG msg = {};
    msg.hwnd = to;
    msg.message = WM_KEYDOWN;
    msg.wParam = static_cast<WPARAM>(key);
    msg.lParam = 1;
    return msg;
}

void releaseCtrl() {
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_CONTROL] = 0;
    SetKeyboardState(state);
}

class Framework : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initFramework(GetModuleHandleA(nullptr)); }
};

// The focused list's table comes first (its Ctrl+M is another command than
// the window's); elsewhere in the window the window's table answers.
TEST_F(Framework, FocusedControlTableComesBeforeWindowTable) {
    TestDialog dlg;
    ASSERT_TRUE(dlg.createModeless(nullptr));
    MSG onList = ctrlKey(dlg.item(kList), 'M');
    EXPECT_TRUE(MessageLoop::preTranslate(onList));
    MSG onEdit = ctrlKey(dlg.item(kEdit), 'M');
    EXPECT_TRUE(MessageLoop::preTranslate(onEdit));
    releaseCtrl();
    drain();
    EXPECT_EQ(dlg.list.commands, std::vector<UINT>{501});
    EXPECT_EQ(dlg.commands, std::vector<UINT>{601});
}

// A handler that throws is logged in the program's form; the dialog, the
// control and the loop go on.
TEST_F(Framework, ThrowingHandlersAreLoggedAndTheWindowGoesOn) {
    TestDialog dlg;
    ASSERT_TRUE(dlg.createModeless(nullptr));
    SendMessageA(dlg.hwnd(), WM_COMMAND, 602, 0);
    EXPECT_TRUE(logHas("Unexpected Error. TestDialog,"));
    SendMessageA(dlg.item(kList), WM_USER + 1, 0, 0);
    EXPECT_TRUE(logHas("Unexpected Error. TestList,"));
    EXPECT_TRUE(logHas("list handler failed"));
    SendMessageA(dlg.hwnd(), WM_COMMAND, 601, 0);
    EXPECT_EQ(dlg.commands, (std::vector<UINT>{602, 601}));
    EXPECT_TRUE(IsWindow(dlg.hwnd()));
}

// A modal dialog disables its owner, counts as modal, returns end()'s result
// and gives the owner back enabled.
TEST_F(Framework, ModalDialogReturnsItsResultAndFreesItsOwner) {
    TestDialog owner;
    ASSERT_TRUE(owner.createModeless(nullptr));
    TestDialog dlg;
    dlg.owner = owner.hwnd();
    PostMessageA(owner.hwnd(), WM_NULL, 0, 0);
    // The OK press is queued before the loop runs; the loop carries it out.
    struct Press {
        static void CALLBACK fire(HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            for (HWND h = GetWindow(GetDesktopWindow(), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
                Dialog* d = Dialog::fromHandle(h);
                if (d && d->isModal()) PostMessageA(h, WM_COMMAND, IDOK, 0);
            }
        }
    };
    SetTimer(nullptr, 0, 10, Press::fire);
    EXPECT_EQ(dlg.runModal(owner.hwnd()), 42);
    EXPECT_TRUE(dlg.initialised);
    EXPECT_EQ(dlg.modalDepthInside, 1);
    EXPECT_FALSE(dlg.ownerEnabledInside);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
    EXPECT_EQ(MessageLoop::modalDepth(), 0);
    EXPECT_FALSE(dlg.isOpen());
}

// A notification of a subclassed child reaches its Control, and its answer
// reaches the child through the dialog's result.
TEST_F(Framework, ChildNotificationsAreReflectedToTheirControl) {
    TestDialog dlg;
    ASSERT_TRUE(dlg.createModeless(nullptr));
    NMHDR nm = {dlg.item(kList), static_cast<UINT_PTR>(kList), static_cast<UINT>(NM_CLICK)};
    LRESULT r = SendMessageA(dlg.hwnd(), WM_NOTIFY, kList, reinterpret_cast<LPARAM>(&nm));
    EXPECT_EQ(r, 77);  // a dialog answers WM_NOTIFY with its DWLP_MSGRESULT
    EXPECT_EQ(GetWindowLongPtrA(dlg.hwnd(), DWLP_MSGRESULT), 77);
    EXPECT_EQ(dlg.list.notifications, 1);
}

class Probe : public Window {
public:
    Probe() : Window("Probe") {}
    int created = 0;

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_CREATE) ++created;
        if (msg == WM_USER + 2) throw 7;  // not even an exception class
        return Window::onMessage(msg, wp, lp);
    }
};

TEST_F(Framework, WindowClassesAreNamedAndSharedByAttributes) {
    WindowClass plain;
    WindowClass dbl;
    dbl.style = CS_DBLCLKS;
    std::string a = registerWindowClass(plain), b = registerWindowClass(plain), c = registerWindowClass(dbl);
    EXPECT_EQ(a.rfind("UxWndClass", 0), 0u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_NE(c.find("Sx8"), std::string::npos) << c;  // CS_DBLCLKS in the style field

    Probe probe;
    ASSERT_TRUE(probe.create(dbl, "probe", WS_POPUP, 0, RECT{0, 0, 10, 10}, nullptr));
    EXPECT_EQ(probe.created, 1);
    EXPECT_EQ(Window::fromHandle(probe.hwnd()), &probe);
    SendMessageA(probe.hwnd(), WM_USER + 2, 0, 0);
    EXPECT_TRUE(logHas("Unexpected Error. Probe,"));
    HWND hwnd = probe.hwnd();
    DestroyWindow(hwnd);
    EXPECT_EQ(probe.hwnd(), nullptr);
    EXPECT_EQ(Window::fromHandle(hwnd), nullptr);
}

class TestPage : public PropertyPage {
public:
    TestPage() : PropertyPage(kPage, "TestPage") {}
    int active = 0, applied = 0;

protected:
    bool onSetActive() override {
        ++active;
        PropSheet_PressButton(sheet(), PSBTN_OK);
        return true;
    }
    bool onApply() override {
        ++applied;
        return true;
    }
};

TEST_F(Framework, SheetPagesHearTheirNotifications) {
    TestPage page;
    Sheet sheet("Test sheet");
    sheet.addPage(page);
    EXPECT_GT(sheet.run(nullptr, Sheet::NoApply), 0);
    EXPECT_EQ(page.active, 1);
    EXPECT_EQ(page.applied, 1);
    EXPECT_EQ(sheet.pageIndex(kPage), 0);
}

TEST_F(Framework, VersionStringsComeFromTheProgramsOwnRecord) {
    EXPECT_EQ(versionString("ProductName"), KX_PRODUCT_NAME);
    EXPECT_EQ(versionString("ProductVersion"), KX_VERSION_STR);
    EXPECT_EQ(versionString("NoSuchString"), "");
}

TEST_F(Framework, HelpWithoutItsFileOnlyLogsTheTopic) {
    showHelp(nullptr, "::/settings.htm#sound");
    EXPECT_TRUE(logHas("Help topic requested: ::/settings.htm#sound"));
    EXPECT_TRUE(logHas("not found"));
    closeAllHelp();
}

}  // namespace
