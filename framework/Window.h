// Window objects bound to their windows. A `Window` is created by this layer
// and finds itself from its handle through GWLP_USERDATA, bound once at
// WM_NCCREATE; a `Control` wraps a window made by someone else (a dialog
// template, a common control) and may subclass it. Neither owns the window
// beyond its own lifetime: destroying the object destroys (Window) or
// unsubclasses (Control) its window.
//
// Parents reflect the notifications of their children: WM_NOTIFY,
// WM_DRAWITEM, WM_MEASUREITEM, WM_COMMAND and WM_CONTEXTMENU from a child
// bound to a Control reach that Control's onReflected first, so a list draws
// and sorts itself wherever it is placed.
#pragma once
#include <windows.h>

#include <string>

// The attributes that make a window class. Classes are registered once per
// set of attributes, under a name generated from them.
struct WindowClass {
    UINT style = 0;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;   // null: the arrow
    HBRUSH background = nullptr;
    const char* menu = nullptr;
};

// The name of the registered class for `cls` ("UxWndClass..."), registering
// it on first use; empty when registration failed.
std::string registerWindowClass(const WindowClass& cls);

class Window {
public:
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Creates the window bound to this object; false when it could not be made.
    bool create(const WindowClass& cls, const char* title, DWORD style, DWORD exStyle, const RECT& rect,
                HWND parent, UINT_PTR idOrMenu = 0);
    HWND hwnd() const { return hwnd_; }
    // The object bound to `hwnd`, or null.
    static Window* fromHandle(HWND hwnd);

protected:
    // `source` names the window in "Unexpected Error." log lines.
    explicit Window(const char* source) : source_(source) {}
    // Every message but WM_NCCREATE's binding; the default reflects the
    // children's notifications, then calls DefWindowProc.
    virtual LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT defaultMessage(UINT msg, WPARAM wp, LPARAM lp);
    // The window is being destroyed; the handle is still valid.
    virtual void onDestroy() {}

private:
    friend std::string registerWindowClass(const WindowClass& cls);
    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    const char* source_;
    HWND hwnd_ = nullptr;
};

class Control {
public:
    Control() = default;
    explicit Control(HWND hwnd) : hwnd_(hwnd) {}
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Refers to a window without subclassing it.
    void attach(HWND hwnd) { hwnd_ = hwnd; }
    // Refers to `hwnd` and routes its messages through onMessage and its
    // parent's reflected notifications through onReflected.
    bool subclass(HWND hwnd, const char* source);
    void unsubclass();
    HWND hwnd() const { return hwnd_; }
    operator HWND() const { return hwnd_; }

    // The subclassed Control of `hwnd`, or null.
    static Control* fromHandle(HWND hwnd);

    // A notification that the parent received from this control. Return true
    // with `result` set when handled.
    virtual bool onReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) { return false; }

    // Keyboard commands of this control: while it has the focus, the message
    // loop translates `table` before the window's own table and sends the
    // commands to `target` (null: this control).
    void setAccelerators(HACCEL table, HWND target = nullptr);
    static bool translateAccelerator(MSG& msg);

protected:
    virtual LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT defaultMessage(UINT msg, WPARAM wp, LPARAM lp);

private:
    static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    HWND hwnd_ = nullptr;
    const char* source_ = nullptr;
    bool subclassed_ = false;
    HACCEL accelerators_ = nullptr;
    HWND acceleratorTarget_ = nullptr;
};

// Hands a child's notification to its Control when it has one. True when the
// control handled it; `result` is then the answer.
bool reflectToChild(HWND parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

// Small text and state helpers for any window.
std::string windowText(HWND hwnd);
// A string of the program's string table; empty when it has none.
std::string loadString(UINT id);
void setWindowText(HWND hwnd, const std::string& text);
