#include "filter/FilterSheet.h"

#include "core/MessageText.h"
#include "core/UserMessage.h"
#include "framework/HtmlHelp.h"
#include "resources/resource.h"

namespace {
// Pages by tab index in the order their lists reach the set: Friends, From,
// Subject, Spammers, To/Cc, Size, Power. The virus filters are only shown.
const int kApplyOrder[] = {1, 2, 3, 5, 4, 6, 0};

class WaitCursor {
public:
    WaitCursor() : before_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(before_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR before_;
};
}  // namespace

FilterSheet::FilterSheet(FilterSet& filters)
    : TabDialog(IDD_FILTERS, IDC_FILTER_TABS, "FilterSheet"), filters_(filters), pages_(makeFilterPages(filters)) {
    for (auto& page : pages_) addPage(*page);
}

void FilterSheet::onOK() {
    for (int index : kApplyOrder) {
        FilterChange result;
        {
            WaitCursor wait;  // the set may wait for a running check
            result = filterPage(index).apply(filters_);
        }
        if (result == FilterChange::Done) continue;
        // What was applied stays applied; this page and those after it keep
        // their edits for the next OK.
        showPage(index);
        if (result == FilterChange::Busy) showUserMessage(MSG_FiltersBusy);
        return;
    }
    end(IDOK);
}

void FilterSheet::onCommand(UINT code, UINT id, HWND control) {
    if (id == IDC_FILTER_HELP && current() >= 0) showHelp(hwnd(), filterPage(current()).helpTopic());
    else TabDialog::onCommand(code, id, control);
}

void runFilterSheet(HWND owner, FilterSet& filters) {
    FilterSheet sheet(filters);
    sheet.runModal(owner);
}
