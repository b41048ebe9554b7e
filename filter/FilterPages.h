// The pages of the "Email Filters" dialog. Each page edits a copy of one of
// the filter set's lists and knows whether the user changed it; nothing
// reaches the set before the dialog's OK.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "filter/FilterSet.h"
#include "framework/Handles.h"
#include "framework/ListView.h"
#include "framework/TabDialog.h"

class FilterPage : public TabPage {
public:
    // Hands the page's list (and switch) to the set. Done clears the page's
    // change; Busy and NotSaved leave the page as it is, to be tried again.
    FilterChange apply(FilterSet& filters);
    bool changed() const { return changed_; }
    const char* helpTopic() const { return helpTopic_; }

protected:
    FilterPage(UINT templateId, const char* source, const char* helpTopic);

    // The rows and what each shows.
    virtual int rowCount() const = 0;
    virtual std::string cellText(int row, int column) const = 0;
    virtual int rowImage(int row) const { return -1; }
    // Columns and images, once the list exists.
    virtual void setUpList() = 0;
    virtual FilterChange store(FilterSet& filters) = 0;
    // The buttons, each for a row that exists.
    virtual void addRow() {}
    virtual void editRow(int row) {}
    virtual void removeRow(int row) {}
    virtual void moveRow(int row, int by) {}
    virtual void importRows() {}
    // The rows again, `select` selected (-1: none).
    virtual void showRows(int select);

    bool onInit() override;
    void onCommand(UINT code, UINT id, HWND control) override;
    bool onNotify(NMHDR& nm, LRESULT& result) override;

    void markChanged() { changed_ = true; }
    // The Email Filters dialog, which the editors and questions are modal to.
    HWND sheetWindow() const { return GetAncestor(hwnd(), GA_ROOT); }
    bool ask(uint32_t question) const;
    void updateButtons();
    // The mark images: deleted, uncertain, friendly, filtered without a mark.
    void setUpMarkImages();
    // The mark images, an "Icon" column and two more (titles by message id,
    // widths at 96 DPI), as the simple records' lists show them.
    void setUpMarkColumns(uint32_t second, int secondWidth, uint32_t third, int thirdWidth);
    int scaled(int pixels) const;
    void widenLastColumn();

    ListView list_;
    bool readOnly_ = false;

private:
    const char* helpTopic_;
    bool changed_ = false;
    ImageListHandle marks_;
};

// The pages in tab order: Power, Friends, From, Subject, To/Cc, Spammers,
// Size, Virus, each holding a copy of its list as the set has it now.
std::vector<std::unique_ptr<FilterPage>> makeFilterPages(const FilterSet& filters);
