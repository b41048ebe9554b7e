#include "framework/Dialog.h"

#include "framework/Framework.h"
#include "framework/MessageLoop.h"
#include "framework/Window.h"

namespace {
const char kBinding[] = "KxDialog";  // window property that points at the object
}

Dialog::Dialog(UINT templateId, const char* source) : templateId_(templateId), source_(source) {}

Dialog::~Dialog() {
    if (hwnd_) {
        RemovePropA(hwnd_, kBinding);
        MessageLoop::removeDialog(hwnd_);
        DestroyWindow(hwnd_);
    }
}

Dialog* Dialog::fromHandle(HWND hwnd) { return hwnd ? static_cast<Dialog*>(GetPropA(hwnd, kBinding)) : nullptr; }

void Dialog::bind(HWND hwnd) {
    hwnd_ = hwnd;
    SetPropA(hwnd, kBinding, this);
    MessageLoop::addDialog(hwnd);
}

INT_PTR Dialog::runModal(HWND owner) {
    ModalScope scope;
    modal_ = true;
    ended_ = false;
    result_ = -1;
    if (!CreateDialogParamA(appInstance(), MAKEINTRESOURCEA(templateId_), owner, proc,
                            reinterpret_cast<LPARAM>(this)) ||
        !hwnd_)
        return -1;
    HWND top = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
    bool disabled = top && top != hwnd_ && IsWindowEnabled(top);
    if (disabled) EnableWindow(top, FALSE);
    if (!ended_) {
        ShowWindow(hwnd_, SW_SHOW);
        MessageLoop::runUntil(ended_);
    }
    // The owner first, so that activation goes back to it and not to another program.
    if (disabled) EnableWindow(top, TRUE);
    if (hwnd_) DestroyWindow(hwnd_);
    modal_ = false;
    return result_;
}

bool Dialog::createModeless(HWND owner) {
    modal_ = false;
    return CreateDialogParamA(appInstance(), MAKEINTRESOURCEA(templateId_), owner, proc,
                              reinterpret_cast<LPARAM>(this)) != nullptr &&
           hwnd_ != nullptr;
}

void Dialog::end(INT_PTR result) {
    result_ = result;
    if (modal_) {
        // The nested loop sees the flag; the window goes when it returns.
        ended_ = true;
        PostMessageA(hwnd_, WM_NULL, 0, 0);
    } else if (hwnd_) {
        DestroyWindow(hwnd_);
    }
}

std::string Dialog::itemText(int id) const { return windowText(item(id)); }
void Dialog::setItemText(int id, const std::string& text) const { SetDlgItemTextA(hwnd_, id, text.c_str()); }
bool Dialog::isChecked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }
void Dialog::setChecked(int id, bool on) const { CheckDlgButton(hwnd_, id, on ? BST_CHECKED : BST_UNCHECKED); }
void Dialog::enableItem(int id, bool on) const { EnableWindow(item(id), on); }
void Dialog::showItem(int id, bool on) const { ShowWindow(item(id), on ? SW_SHOW : SW_HIDE); }

void Dialog::onCommand(UINT code, UINT id, HWND control) {
    if (id == IDOK) onOK();
    else if (id == IDCANCEL) onCancel();
}

INT_PTR Dialog::dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    INT_PTR answer = FALSE;
    bool done = guarded(source_, static_cast<int>(msg), [&] {
        LRESULT reflected = 0;
        if (reflectToChild(hwnd_, msg, wp, lp, reflected)) {
            if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) {
                answer = static_cast<INT_PTR>(reflected);
            } else {
                SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, reflected);
                answer = TRUE;
            }
            return;
        }
        switch (msg) {
        case WM_INITDIALOG:
            answer = onInit() ? TRUE : FALSE;
            return;
        case WM_COMMAND:
            onCommand(HIWORD(wp), LOWORD(wp), reinterpret_cast<HWND>(lp));
            answer = TRUE;
            return;
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (onNotify(*reinterpret_cast<NMHDR*>(lp), result)) {
                SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
                answer = TRUE;
            }
            return;
        }
        case WM_DESTROY:
            onDestroy();
            return;
        default:
            INT_PTR result = 0;
            if (onMessage(msg, wp, lp, result)) answer = result;
            return;
        }
    });
    if (!done && msg == WM_INITDIALOG) answer = TRUE;
    if (msg == WM_NCDESTROY) {
        RemovePropA(hwnd_, kBinding);
        MessageLoop::removeDialog(hwnd_);
        hwnd_ = nullptr;
        if (modal_) ended_ = true;
    }
    return answer;
}

INT_PTR CALLBACK Dialog::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Dialog* self = fromHandle(hwnd);
    if (msg == WM_INITDIALOG && !self) {
        self = reinterpret_cast<Dialog*>(lp);
        if (self) self->bind(hwnd);
    }
    return self ? self->dispatch(msg, wp, lp) : FALSE;
}
