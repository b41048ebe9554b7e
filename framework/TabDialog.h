// A dialog whose tab control shows one page at a time. Pages are child
// dialogs made from their own templates, all made when the dialog opens
// (their captions become the tab labels) and shown one at a time; a page
// knows whether it was ever shown, so that only shown pages apply their edits.
#pragma once
#include <windows.h>

#include <vector>

#include "framework/Dialog.h"

class TabPage : public Dialog {
public:
    TabPage(UINT templateId, const char* source) : Dialog(templateId, source) {}
    bool everShown() const { return everShown_; }

protected:
    // The page is shown for the first time (fill lists that are read late).
    virtual void onFirstShow() {}
    // The page is shown.
    virtual void onShow() {}
    // Enter and Escape in a page are the dialog's.
    void onOK() override;
    void onCancel() override;

private:
    friend class TabDialog;
    bool everShown_ = false;
};

class TabDialog : public Dialog {
public:
    // `tabs` is the id of the tab control in `templateId`.
    TabDialog(UINT templateId, int tabs, const char* source);
    // Before the dialog runs, in tab order.
    void addPage(TabPage& page) { pages_.push_back(&page); }
    int current() const { return current_; }
    void showPage(int index);
    TabPage& page(int index) const { return *pages_[static_cast<size_t>(index)]; }
    int pageCount() const { return static_cast<int>(pages_.size()); }

protected:
    bool onInit() override;
    bool onNotify(NMHDR& nm, LRESULT& result) override;

private:
    int tabs_;
    std::vector<TabPage*> pages_;
    int current_ = -1;
};
