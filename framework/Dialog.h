// Dialogs from templates, bound to their objects at WM_INITDIALOG. The same
// class serves modal dialogs (run with the nested message loop, the owner
// disabled meanwhile) and modeless ones. Handlers are virtual; each runs
// under the last guard, so an exception is logged and the dialog goes on.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

class Dialog {
public:
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Shows the dialog modal over `owner` (its top-level window is disabled
    // meanwhile) and returns the result given to end(); -1 when the dialog
    // could not be created.
    INT_PTR runModal(HWND owner);
    // Creates the dialog modeless; false when it could not be created.
    bool createModeless(HWND owner);
    // Ends a modal dialog with `result`, destroys a modeless one.
    void end(INT_PTR result);

    HWND hwnd() const { return hwnd_; }
    bool isOpen() const { return hwnd_ != nullptr; }
    bool isModal() const { return modal_; }
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }

    std::string itemText(int id) const;
    void setItemText(int id, const std::string& text) const;
    bool isChecked(int id) const;
    void setChecked(int id, bool on) const;
    void enableItem(int id, bool on) const;
    void showItem(int id, bool on) const;

    // The object bound to a dialog window of this class, or null.
    static Dialog* fromHandle(HWND hwnd);

protected:
    // `templateId` is the dialog resource; `source` names the dialog in
    // "Unexpected Error." log lines.
    Dialog(UINT templateId, const char* source);

    // The controls exist; true lets the system set the focus.
    virtual bool onInit() { return true; }
    // WM_COMMAND. The default ends the dialog on IDOK and IDCANCEL through
    // onOK and onCancel.
    virtual void onCommand(UINT code, UINT id, HWND control);
    virtual void onOK() { end(IDOK); }
    virtual void onCancel() { end(IDCANCEL); }
    // WM_NOTIFY from a control that does not handle it itself; true with
    // `result` set when handled.
    virtual bool onNotify(NMHDR& nm, LRESULT& result) { return false; }
    // Any other message; true with `result` set when handled (the result is
    // the dialog procedure's own answer, as for WM_CTLCOLOR*).
    virtual bool onMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) { return false; }
    // The window is being destroyed; its controls still exist.
    virtual void onDestroy() {}

    // The dialog procedure's work for a bound dialog (property pages bind
    // differently but dispatch the same way).
    INT_PTR dispatch(UINT msg, WPARAM wp, LPARAM lp);
    void bind(HWND hwnd);
    static INT_PTR CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    const UINT templateId_;
    const char* const source_;

private:
    HWND hwnd_ = nullptr;
    bool modal_ = false;
    bool ended_ = false;
    INT_PTR result_ = -1;
};
