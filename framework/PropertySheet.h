// Property sheets and wizards from page templates (`Sheet`: the system's
// property-sheet names are macros). A page is a Dialog whose
// sheet notifications arrive as virtual calls; the sheet itself is the
// system's (PropertySheetA), run modal over its owner.
#pragma once
#include <windows.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "framework/Dialog.h"

class PropertyPage : public Dialog {
public:
    // `title` null: the template's caption. The header texts show in a
    // wizard's header (0: none).
    PropertyPage(UINT templateId, const char* source, uint32_t headerTitleId = 0, uint32_t headerSubtitleId = 0);

    // The page's window exists (it is made when first shown).
    bool created() const { return hwnd() != nullptr; }
    HWND sheet() const { return GetParent(hwnd()); }

protected:
    // The page becomes current; false refuses it (the sheet moves on).
    virtual bool onSetActive() { return true; }
    // The page stops being current; false keeps it (its input is invalid).
    virtual bool onKillActive() { return true; }
    // OK or Apply; false keeps the sheet open on this page.
    virtual bool onApply() { return true; }
    // Cancel.
    virtual void onReset() {}
    // Wizard buttons: 0 goes on as usual, -1 stays, another number is the
    // template id of the page to go to.
    virtual int onWizardNext() { return 0; }
    virtual int onWizardBack() { return 0; }
    // Finish; false keeps the wizard open.
    virtual bool onWizardFinish() { return true; }
    // The Help button of the sheet.
    virtual void onHelp() {}

    // PSWIZB_BACK | PSWIZB_NEXT | PSWIZB_FINISH | PSWIZB_DISABLEDFINISH.
    void setWizardButtons(DWORD flags) const;
    // Enables the sheet's Apply button.
    void setModified(bool modified = true) const;

    bool onNotify(NMHDR& nm, LRESULT& result) override;

private:
    friend class Sheet;
    HPROPSHEETPAGE make(bool wizard97, bool help);
    static INT_PTR CALLBACK pageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    uint32_t headerTitleId_;
    uint32_t headerSubtitleId_;
    std::string headerTitle_;
    std::string headerSubtitle_;
};

class Sheet {
public:
    enum Flags : unsigned {
        Wizard = 1,      // a wizard with header titles (PSH_WIZARD97)
        HelpButton = 2,  // a Help button; pages get onHelp
        NoApply = 4,     // no Apply button
    };

    // `caption`: the sheet's title (a wizard shows it too).
    explicit Sheet(std::string caption) : caption_(std::move(caption)) {}
    void addPage(PropertyPage& page) { pages_.push_back(&page); }
    // The picture at the right of a wizard's header (the caller keeps it
    // while the sheet runs). The header, with the pages' titles, is drawn
    // only when there is one.
    void setHeaderPicture(HBITMAP picture) { headerPicture_ = picture; }

    // Runs the sheet modal; >0 when the user confirmed (OK, Finish), 0 when
    // cancelled, -1 when it could not be shown.
    INT_PTR run(HWND owner, unsigned flags, int startPage = 0);

    // The index of the page made from `templateId`, or -1.
    int pageIndex(UINT templateId) const;

private:
    std::string caption_;
    std::vector<PropertyPage*> pages_;
    HBITMAP headerPicture_ = nullptr;
};
