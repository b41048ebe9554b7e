#include "framework/Window.h"

#include <commctrl.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <tuple>

#include "framework/Framework.h"

namespace {

constexpr UINT_PTR kSubclassId = 0x4b58;  // "KX": one subclass of ours per window
const char kControlBinding[] = "KxControl";  // window property that points at the Control

std::mutex gClassLock;
std::map<std::tuple<UINT, HICON, HCURSOR, HBRUSH, const char*>, std::string> gClasses;

// The child a notification comes from, for the messages parents reflect.
HWND notifyingChild(HWND parent, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NOTIFY:
        return lp ? reinterpret_cast<NMHDR*>(lp)->hwndFrom : nullptr;
    case WM_DRAWITEM: {
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        return d && d->CtlType != ODT_MENU ? d->hwndItem : nullptr;
    }
    case WM_MEASUREITEM: {
        auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
        return m && m->CtlType != ODT_MENU ? GetDlgItem(parent, static_cast<int>(m->CtlID)) : nullptr;
    }
    case WM_CONTEXTMENU:
        return reinterpret_cast<HWND>(wp) != parent ? reinterpret_cast<HWND>(wp) : nullptr;
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_HSCROLL:
    case WM_VSCROLL:
        return reinterpret_cast<HWND>(lp);
    default:
        return nullptr;
    }
}

}  // namespace

std::string registerWindowClass(const WindowClass& cls) {
    std::lock_guard<std::mutex> hold(gClassLock);
    auto key = std::make_tuple(cls.style, cls.icon, cls.cursor, cls.background, cls.menu);
    if (auto it = gClasses.find(key); it != gClasses.end()) return it->second;
    HINSTANCE instance = appInstance();
    HCURSOR cursor = cls.cursor ? cls.cursor : LoadCursor(nullptr, IDC_ARROW);
    auto hex = [](const void* p) { return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)); };
    char name[160];
    std::snprintf(name, sizeof name, "UxWndClass%llXIx%llXSx%XCx%llXBx%llXMx%llX", hex(instance), hex(cls.icon),
                  cls.style, hex(cursor), hex(cls.background), hex(cls.menu));
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = cls.style;
    wc.lpfnWndProc = Window::proc;
    wc.hInstance = instance;
    wc.hIcon = cls.icon;
    wc.hCursor = cursor;
    wc.hbrBackground = cls.background;
    wc.lpszMenuName = cls.menu;
    wc.lpszClassName = name;
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return {};
    return gClasses[key] = name;
}

// ---- Window

Window::~Window() {
    if (hwnd_) {
        // The derived object is gone: the last messages go to the default procedure.
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
}

bool Window::create(const WindowClass& cls, const char* title, DWORD style, DWORD exStyle, const RECT& rect,
                    HWND parent, UINT_PTR idOrMenu) {
    std::string name = registerWindowClass(cls);
    if (name.empty()) return false;
    // Classes are shared by windows of every kind; the object comes through
    // the creation parameter.
    HWND hwnd = CreateWindowExA(exStyle, name.c_str(), title, style, rect.left, rect.top, rect.right - rect.left,
                                rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(idOrMenu), appInstance(),
                                this);
    return hwnd != nullptr && hwnd == hwnd_;
}

Window* Window::fromHandle(HWND hwnd) {
    if (!hwnd || GetWindowLongPtrA(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(proc)) return nullptr;
    return reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

LRESULT Window::defaultMessage(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(hwnd_, msg, wp, lp); }

LRESULT Window::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (reflectToChild(hwnd_, msg, wp, lp, result)) return result;
    return defaultMessage(msg, wp, lp);
}

LRESULT CALLBACK Window::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        // The object comes as the creation parameter; messages before this one
        // (WM_GETMINMAXINFO) go to the default procedure.
        auto* created = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        if (created) {
            created->hwnd_ = hwnd;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        }
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    LRESULT result = 0;
    guarded(self->source_, static_cast<int>(msg), [&] {
        if (msg == WM_DESTROY) self->onDestroy();
        result = self->onMessage(msg, wp, lp);
    });
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

// ---- Control

Control::~Control() { unsubclass(); }

bool Control::subclass(HWND hwnd, const char* source) {
    unsubclass();
    hwnd_ = hwnd;
    source_ = source;
    subclassed_ = hwnd && SetWindowSubclass(hwnd, proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    if (subclassed_) SetPropA(hwnd, kControlBinding, this);
    return subclassed_;
}

void Control::unsubclass() {
    if (subclassed_ && hwnd_ && IsWindow(hwnd_)) {
        RemoveWindowSubclass(hwnd_, proc, kSubclassId);
        RemovePropA(hwnd_, kControlBinding);
    }
    subclassed_ = false;
}

Control* Control::fromHandle(HWND hwnd) {
    return hwnd ? static_cast<Control*>(GetPropA(hwnd, kControlBinding)) : nullptr;
}

LRESULT Control::defaultMessage(UINT msg, WPARAM wp, LPARAM lp) { return DefSubclassProc(hwnd_, msg, wp, lp); }

LRESULT Control::onMessage(UINT msg, WPARAM wp, LPARAM lp) { return defaultMessage(msg, wp, lp); }

LRESULT CALLBACK Control::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    auto* self = reinterpret_cast<Control*>(ref);
    LRESULT result = 0;
    if (!guarded(self->source_ ? self->source_ : "Control", static_cast<int>(msg),
                 [&] { result = self->onMessage(msg, wp, lp); }))
        result = DefSubclassProc(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, proc, kSubclassId);
        RemovePropA(hwnd, kControlBinding);
        self->subclassed_ = false;
        self->hwnd_ = nullptr;
    }
    return result;
}

void Control::setAccelerators(HACCEL table, HWND target) {
    accelerators_ = table;
    acceleratorTarget_ = target;
}

bool Control::translateAccelerator(MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN && msg.message != WM_CHAR &&
        msg.message != WM_SYSCHAR)
        return false;
    // The focused control, or the control that holds it (a list's label edit).
    for (HWND h = msg.hwnd; h; h = GetParent(h)) {
        Control* c = fromHandle(h);
        if (c && c->accelerators_)
            return TranslateAcceleratorA(c->acceleratorTarget_ ? c->acceleratorTarget_ : c->hwnd_,
                                         c->accelerators_, &msg) != 0;
        if (!(GetWindowLongA(h, GWL_STYLE) & WS_CHILD)) break;
    }
    return false;
}

bool reflectToChild(HWND parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    HWND child = notifyingChild(parent, msg, wp, lp);
    if (!child || child == parent) return false;
    Control* c = Control::fromHandle(child);
    return c && c->onReflected(msg, wp, lp, result);
}

std::string windowText(HWND hwnd) {
    int n = GetWindowTextLengthA(hwnd);
    if (n <= 0) return {};
    std::string text(static_cast<size_t>(n) + 1, '\0');
    n = GetWindowTextA(hwnd, text.data(), n + 1);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

void setWindowText(HWND hwnd, const std::string& text) { SetWindowTextA(hwnd, text.c_str()); }

std::string loadString(UINT id) {
    char buf[256];
    int n = LoadStringA(appInstance(), id, buf, sizeof buf);
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
}
