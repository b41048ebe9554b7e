// The editors of filter records: word filters, size ranges, friends' and
// spammers' addresses, power filters. Each is modal to `owner`, works on a
// copy, and writes the record back only when the user confirms (true).
#pragma once
#include <windows.h>

#include <string>

#include "filter/FilterSet.h"

bool editWordFilter(HWND owner, WordFilter& filter, FilterEditor::WordList list);
bool editSizeFilter(HWND owner, SizeFilter& filter);
bool editAddress(HWND owner, std::string& address, bool spammer);
// `viewOnly`: OK stays disabled, the filter can only be looked at.
bool editPowerFilter(HWND owner, PowerFilter& filter, bool viewOnly = false);

// The editors as the messages list hands them to the filter set's additions
// ("Add to 'From' filter" and the others), modal to the main window.
class DialogFilterEditor : public FilterEditor {
public:
    explicit DialogFilterEditor(HWND owner) : owner_(owner) {}
    bool editWordFilter(WordFilter& filter, WordList list) override { return ::editWordFilter(owner_, filter, list); }
    bool editAddress(std::string& address, bool spammer) override { return ::editAddress(owner_, address, spammer); }
    bool editPowerFilter(PowerFilter& filter) override { return ::editPowerFilter(owner_, filter); }
    void filtersBusy() override;

private:
    HWND owner_;
};
