#include "ui/FirstRunDialog.h"

#include <commctrl.h>

#include "framework/Dpi.h"
#include "framework/Framework.h"
#include "framework/Window.h"
#include "resources/resource.h"

namespace {

int scaleStep(UINT dpi) { return dpi >= 192 ? 3 : dpi >= 144 ? 2 : dpi >= 120 ? 1 : 0; }

}  // namespace

FirstRunDialog::FirstRunDialog() : Dialog(IDD_FIRST_RUN, "FirstRunDialog") {}

bool FirstRunDialog::onInit() {
    int step = scaleStep(windowDpi(hwnd()));
    const UINT ids[4] = {IDB_SETUP, IDB_SETUP_HOT, IDB_LAUNCH, IDB_LAUNCH_HOT};
    for (int i = 0; i < 4; ++i) {
        BitmapHandle picture(static_cast<HBITMAP>(LoadImageA(
            appInstance(), MAKEINTRESOURCEA(ids[i] + step * IDB_SCALE_STEP), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        BITMAP info = {};
        if (!picture || !GetObjectA(picture.get(), sizeof info, &info)) continue;
        // An image list blends the pictures' own alpha.
        if (!pictures_) pictures_.reset(ImageList_Create(info.bmWidth, info.bmHeight, ILC_COLOR32, 4, 0));
        size_ = info.bmHeight;
        ImageList_Add(pictures_.get(), picture.get(), nullptr);
    }
    return true;
}

void FirstRunDialog::onCommand(UINT code, UINT id, HWND) {
    if (id == IDC_SETUP_ACCOUNTS || id == IDC_LAUNCH_PROGRAM) end(id);
    else if (id == IDCANCEL) end(IDC_LAUNCH_PROGRAM);
}

bool FirstRunDialog::onMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) {
    if (msg == WM_DRAWITEM) {
        draw(*reinterpret_cast<DRAWITEMSTRUCT*>(lp));
        result = TRUE;
        return true;
    }
    if (msg == WM_SETCURSOR) {
        // The button under the mouse shows its highlighted picture.
        int hot = static_cast<int>(GetDlgCtrlID(reinterpret_cast<HWND>(wp)));
        if (hot != IDC_SETUP_ACCOUNTS && hot != IDC_LAUNCH_PROGRAM) hot = 0;
        if (hot != hot_) {
            hot_ = hot;
            InvalidateRect(item(IDC_SETUP_ACCOUNTS), nullptr, FALSE);
            InvalidateRect(item(IDC_LAUNCH_PROGRAM), nullptr, FALSE);
        }
    }
    return false;
}

void FirstRunDialog::draw(const DRAWITEMSTRUCT& item) {
    int id = static_cast<int>(item.CtlID);
    bool hot = id == hot_ || (item.itemState & ODS_FOCUS);
    int picture = (id == IDC_LAUNCH_PROGRAM ? 2 : 0) + (hot ? 1 : 0);
    HDC dc = item.hDC;
    RECT rc = item.rcItem;
    FillRect(dc, &rc, GetSysColorBrush(hot ? COLOR_WINDOW : COLOR_BTNFACE));
    int pad = scaleFor(item.hwndItem, 6);
    int textLeft = rc.left + pad;
    if (pictures_ && picture < ImageList_GetImageCount(pictures_.get())) {
        ImageList_Draw(pictures_.get(), picture, dc, rc.left + pad, rc.top + (rc.bottom - rc.top - size_) / 2,
                       ILD_TRANSPARENT);
        textLeft += size_ + pad;
    }
    std::string caption = windowText(item.hwndItem);
    RECT text = {textLeft, rc.top, rc.right - pad, rc.bottom};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextA(dc, caption.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = rc;
        InflateRect(&focus, -2, -2);
        DrawFocusRect(dc, &focus);
    }
    DrawEdge(dc, &rc, hot ? EDGE_RAISED : BDR_RAISEDOUTER, BF_RECT);
}
