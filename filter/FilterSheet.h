// The "Email Filters" dialog: the eight pages on copies of the filter set's
// lists. OK hands the changed lists to the set, one after another, and stays
// open with every edit when the set refuses one (a check holds the filters,
// or a file cannot be written); Cancel drops every change.
#pragma once
#include <windows.h>

#include <memory>
#include <vector>

#include "filter/FilterPages.h"
#include "filter/FilterSet.h"
#include "framework/TabDialog.h"

class FilterSheet : public TabDialog {
public:
    explicit FilterSheet(FilterSet& filters);
    FilterPage& filterPage(int index) const { return *pages_[static_cast<size_t>(index)]; }

private:
    void onOK() override;
    void onCommand(UINT code, UINT id, HWND control) override;

    FilterSet& filters_;
    std::vector<std::unique_ptr<FilterPage>> pages_;
};

// The Filter command: the dialog, modal to `owner`.
void runFilterSheet(HWND owner, FilterSet& filters);
