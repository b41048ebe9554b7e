#include "framework/PropertySheet.h"

#include <commctrl.h>

#include "core/MessageText.h"
#include "framework/Framework.h"
#include "framework/MessageLoop.h"

PropertyPage::PropertyPage(UINT templateId, const char* source, uint32_t headerTitleId, uint32_t headerSubtitleId)
    : Dialog(templateId, source), headerTitleId_(headerTitleId), headerSubtitleId_(headerSubtitleId) {}

HPROPSHEETPAGE PropertyPage::make(bool wizard97, bool help) {
    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof page;
    page.hInstance = appInstance();
    page.pszTemplate = MAKEINTRESOURCEA(templateId_);
    page.pfnDlgProc = pageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    if (help) page.dwFlags |= PSP_HASHELP;
    if (wizard97 && headerTitleId_) {
        headerTitle_ = formatMessage(headerTitleId_);
        page.dwFlags |= PSP_USEHEADERTITLE;
        page.pszHeaderTitle = headerTitle_.c_str();
        if (headerSubtitleId_) {
            headerSubtitle_ = formatMessage(headerSubtitleId_);
            page.dwFlags |= PSP_USEHEADERSUBTITLE;
            page.pszHeaderSubTitle = headerSubtitle_.c_str();
        }
    }
    return CreatePropertySheetPageA(&page);
}

INT_PTR CALLBACK PropertyPage::pageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Dialog* self = fromHandle(hwnd);
    if (msg == WM_INITDIALOG && !self) {
        // A page's creation parameter is its page record, which carries the object.
        auto* page = reinterpret_cast<PROPSHEETPAGEA*>(lp);
        auto* created = page ? reinterpret_cast<PropertyPage*>(page->lParam) : nullptr;
        if (created) created->bind(hwnd);
        self = created;
    }
    return self ? static_cast<PropertyPage*>(self)->dispatch(msg, wp, lp) : FALSE;
}

void PropertyPage::setWizardButtons(DWORD flags) const { PropSheet_SetWizButtons(sheet(), flags); }

void PropertyPage::setModified(bool modified) const {
    if (modified) PropSheet_Changed(sheet(), hwnd());
    else PropSheet_UnChanged(sheet(), hwnd());
}

bool PropertyPage::onNotify(NMHDR& nm, LRESULT& result) {
    // Only the sheet's own notifications; controls' go to the page's handlers.
    if (nm.hwndFrom != sheet()) return false;
    auto jump = [&](int to) -> LRESULT {
        if (to == 0) return 0;
        if (to == -1) return -1;
        return reinterpret_cast<LRESULT>(MAKEINTRESOURCEA(to));
    };
    switch (nm.code) {
    case PSN_SETACTIVE:
        result = onSetActive() ? 0 : -1;
        return true;
    case PSN_KILLACTIVE:
        result = onKillActive() ? FALSE : TRUE;
        return true;
    case PSN_APPLY:
        result = onApply() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
        return true;
    case PSN_RESET:
        onReset();
        result = 0;
        return true;
    case PSN_WIZNEXT:
        result = jump(onWizardNext());
        return true;
    case PSN_WIZBACK:
        result = jump(onWizardBack());
        return true;
    case PSN_WIZFINISH:
        result = onWizardFinish() ? FALSE : TRUE;
        return true;
    case PSN_HELP:
        onHelp();
        result = 0;
        return true;
    default:
        return false;
    }
}

INT_PTR Sheet::run(HWND owner, unsigned flags, int startPage) {
    bool wizard = flags & Wizard;
    bool help = flags & HelpButton;
    std::vector<HPROPSHEETPAGE> handles;
    for (PropertyPage* page : pages_) {
        HPROPSHEETPAGE h = page->make(wizard, help);
        if (!h) {
            for (HPROPSHEETPAGE made : handles) DestroyPropertySheetPage(made);
            return -1;
        }
        handles.push_back(h);
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    if (wizard) header.dwFlags |= PSH_WIZARD97;
    if (wizard && headerPicture_) {
        header.dwFlags |= PSH_HEADER | PSH_USEHBMHEADER;
        header.hbmHeader = headerPicture_;
    }
    if (help) header.dwFlags |= PSH_HASHELP;
    if (flags & NoApply) header.dwFlags |= PSH_NOAPPLYNOW;
    header.hwndParent = owner;
    header.hInstance = appInstance();
    header.pszCaption = caption_.c_str();
    header.nPages = static_cast<UINT>(handles.size());
    header.nStartPage = static_cast<UINT>(startPage);
    header.phpage = handles.data();
    ModalScope scope;
    return PropertySheetA(&header);
}

int Sheet::pageIndex(UINT templateId) const {
    for (size_t i = 0; i < pages_.size(); ++i)
        if (pages_[i]->templateId_ == templateId) return static_cast<int>(i);
    return -1;
}
