#include "framework/TabDialog.h"

#include <commctrl.h>

#include "framework/Window.h"

void TabPage::onOK() { SendMessageA(GetParent(hwnd()), WM_COMMAND, IDOK, 0); }
void TabPage::onCancel() { SendMessageA(GetParent(hwnd()), WM_COMMAND, IDCANCEL, 0); }

TabDialog::TabDialog(UINT templateId, int tabs, const char* source) : Dialog(templateId, source), tabs_(tabs) {}

bool TabDialog::onInit() {
    HWND tabs = item(tabs_);
    for (size_t i = 0; i < pages_.size(); ++i) {
        TabPage& p = *pages_[i];
        if (!p.createModeless(hwnd())) continue;
        // Page templates carry a caption for the tab label, as property pages
        // do; inside the dialog they are plain children.
        LONG_PTR style = GetWindowLongPtrA(p.hwnd(), GWL_STYLE);
        style &= ~static_cast<LONG_PTR>(WS_CAPTION | WS_POPUP | WS_SYSMENU | WS_THICKFRAME);
        SetWindowLongPtrA(p.hwnd(), GWL_STYLE, style | WS_CHILD);
        SetWindowLongPtrA(p.hwnd(), GWL_EXSTYLE, GetWindowLongPtrA(p.hwnd(), GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
        SetParent(p.hwnd(), hwnd());
        ShowWindow(p.hwnd(), SW_HIDE);
        std::string caption = windowText(p.hwnd());
        TCITEMA tab = {};
        tab.mask = TCIF_TEXT;
        tab.pszText = caption.data();
        SendMessageA(tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&tab));
    }
    // The room under the tab row, which has its height once the tabs exist.
    RECT area;
    GetWindowRect(tabs, &area);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&area), 2);
    TabCtrl_AdjustRect(tabs, FALSE, &area);
    for (TabPage* p : pages_) {
        // Pages sit on the tab control, after it in the tab order.
        if (p->isOpen())
            SetWindowPos(p->hwnd(), tabs, area.left, area.top, area.right - area.left, area.bottom - area.top,
                         SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    showPage(0);
    return true;
}

void TabDialog::showPage(int index) {
    if (index < 0 || index >= pageCount() || !pages_[static_cast<size_t>(index)]->isOpen()) return;
    if (current_ >= 0 && current_ != index) ShowWindow(pages_[static_cast<size_t>(current_)]->hwnd(), SW_HIDE);
    current_ = index;
    TabCtrl_SetCurSel(item(tabs_), index);
    TabPage& p = *pages_[static_cast<size_t>(index)];
    if (!p.everShown_) {
        p.everShown_ = true;
        p.onFirstShow();
    }
    p.onShow();
    ShowWindow(p.hwnd(), SW_SHOW);
}

bool TabDialog::onNotify(NMHDR& nm, LRESULT& result) {
    if (nm.idFrom != static_cast<UINT_PTR>(tabs_) || nm.code != TCN_SELCHANGE) return false;
    showPage(TabCtrl_GetCurSel(item(tabs_)));
    result = 0;
    return true;
}
