#include "filter/FilterPages.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/MessageText.h"
#include "filter/FilterEditors.h"
#include "filter/FilterInput.h"
#include "framework/Dpi.h"
#include "framework/FileDialog.h"
#include "framework/Framework.h"
#include "framework/MessageBox.h"
#include "resources/resource.h"

namespace {

const char kFilterHelp[] = "::/email_filtration.htm";
const char kFromHelp[] = "::/email_filtration.htm#from_filter";
const char kSubjectHelp[] = "::/email_filtration.htm#subject_filter";
const char kToCcHelp[] = "::/email_filtration.htm#tocc_filter";
const char kSpammersHelp[] = "::/email_filtration.htm#spammers_list";

// Indexes into the mark images, in the order setUpMarkImages adds them.
enum MarkImage { kImageDeleted, kImageUncertain, kImageFriendly, kImageNoMark };

int markImage(const BaseFilter& record) { return record.uncertain ? kImageUncertain : kImageDeleted; }

}  // namespace

// --- the page

FilterPage::FilterPage(UINT templateId, const char* source, const char* helpTopic)
    : TabPage(templateId, source), helpTopic_(helpTopic) {}

FilterChange FilterPage::apply(FilterSet& filters) {
    FilterChange result = store(filters);
    if (result == FilterChange::Done) changed_ = false;
    return result;
}

bool FilterPage::onInit() {
    list_.attach(item(IDC_FILTER_LIST));
    list_.setExtendedStyle(LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    setUpList();
    widenLastColumn();
    showRows(-1);
    return true;
}

void FilterPage::widenLastColumn() {
    // The last column takes the room the others leave, with a vertical scroll
    // bar allowed for, so that its title shows whole and no horizontal bar is needed.
    int last = list_.columnCount() - 1;
    if (last < 0) return;
    RECT client;
    GetClientRect(list_.hwnd(), &client);
    int room = client.right - systemMetric(SM_CXVSCROLL, windowDpi(hwnd()));
    for (int i = 0; i < last; ++i) room -= list_.columnWidth(i);
    if (room > list_.columnWidth(last)) ListView_SetColumnWidth(list_.hwnd(), last, room);
}

int FilterPage::scaled(int pixels) const { return scaleFor(hwnd(), pixels); }

void FilterPage::setUpMarkImages() {
    UINT dpi = windowDpi(hwnd());
    int size = systemMetric(SM_CXSMICON, dpi);
    marks_.reset(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 4, 0));
    for (UINT id : {IDI_MARK_DELETED, IDI_MARK_UNCERTAIN, IDI_MARK_FRIEND, IDI_MARK_FILTERED}) {
        IconHandle icon(static_cast<HICON>(LoadImageA(appInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0)));
        ImageList_AddIcon(marks_.get(), icon.get());
    }
    list_.setImageList(marks_.get(), LVSIL_SMALL);
}

void FilterPage::setUpMarkColumns(uint32_t second, int secondWidth, uint32_t third, int thirdWidth) {
    setUpMarkImages();
    list_.addColumn(0, formatMessage(MSG_ColIcon), scaled(36));
    list_.addColumn(1, formatMessage(second), scaled(secondWidth));
    list_.addColumn(2, formatMessage(third), scaled(thirdWidth));
}

void FilterPage::showRows(int select) {
    // The list asks for what it shows (owner data), so a list of any length
    // is shown at once.
    ListView_SetItemCountEx(list_.hwnd(), rowCount(), LVSICF_NOSCROLL);
    list_.clearSelection();
    if (select >= 0 && select < rowCount()) list_.select(select);
    InvalidateRect(list_.hwnd(), nullptr, TRUE);
    updateButtons();
}

void FilterPage::updateButtons() {
    int row = list_.selected(), count = rowCount();
    bool one = row >= 0 && row < count;
    enableItem(IDC_FILTER_ADD, !readOnly_);
    enableItem(IDC_FILTER_IMPORT, !readOnly_);
    enableItem(IDC_FILTER_EDIT, one && !readOnly_);
    enableItem(IDC_FILTER_DELETE, one && !readOnly_);
    enableItem(IDC_FILTER_MOVE_UP, one && !readOnly_ && row > 0);
    enableItem(IDC_FILTER_MOVE_DOWN, one && !readOnly_ && row + 1 < count);
    enableItem(IDC_FILTER_SHOW, one);
    // A button that was just used and is now disabled would hold the focus
    // where the keyboard cannot reach anything.
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd(), focus) && !IsWindowEnabled(focus)) SetFocus(list_.hwnd());
}

bool FilterPage::ask(uint32_t question) const {
    return showMessageBox(sheetWindow(), question, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void FilterPage::onCommand(UINT code, UINT id, HWND control) {
    int row = list_.selected(), count = rowCount();
    bool one = row >= 0 && row < count;
    if (code != BN_CLICKED) {
        TabPage::onCommand(code, id, control);
        return;
    }
    switch (id) {
    case IDC_FILTER_ADD:
        if (!readOnly_) addRow();
        break;
    case IDC_FILTER_EDIT:
        if (one && !readOnly_) editRow(row);
        break;
    case IDC_FILTER_SHOW:
        if (one) editRow(row);
        break;
    case IDC_FILTER_DELETE:
        if (one && !readOnly_) removeRow(row);
        break;
    case IDC_FILTER_MOVE_UP:
        if (one && row > 0) moveRow(row, -1);
        break;
    case IDC_FILTER_MOVE_DOWN:
        if (one && row + 1 < count) moveRow(row, 1);
        break;
    case IDC_FILTER_IMPORT:
        if (!readOnly_) importRows();
        break;
    default:
        TabPage::onCommand(code, id, control);
    }
}

namespace {
// A cell's text into the list's buffer, cut to fit.
template <class Char>
void copyCell(const std::string& text, Char* buffer, int size) {
    if (!buffer || size <= 0) return;
    if constexpr (sizeof(Char) == 1) {
        size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
        std::memcpy(buffer, text.data(), n);
        buffer[n] = 0;
    } else {
        int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(std::min<size_t>(text.size(), size - 1)),
                                    buffer, size - 1);
        buffer[n > 0 ? n : 0] = 0;
    }
}

template <class Info>
void fillCell(Info& info, const std::string& text, int image) {
    if (info.item.mask & LVIF_TEXT) copyCell(text, info.item.pszText, info.item.cchTextMax);
    if ((info.item.mask & LVIF_IMAGE) && info.item.iSubItem == 0) info.item.iImage = image;
}
}  // namespace

bool FilterPage::onNotify(NMHDR& nm, LRESULT& result) {
    if (nm.idFrom != IDC_FILTER_LIST) return false;
    switch (nm.code) {
    case LVN_GETDISPINFOA: {
        auto& info = reinterpret_cast<NMLVDISPINFOA&>(nm);
        if (info.item.iItem >= 0 && info.item.iItem < rowCount())
            fillCell(info, cellText(info.item.iItem, info.item.iSubItem), rowImage(info.item.iItem));
        return true;
    }
    case LVN_GETDISPINFOW: {
        auto& info = reinterpret_cast<NMLVDISPINFOW&>(nm);
        if (info.item.iItem >= 0 && info.item.iItem < rowCount())
            fillCell(info, cellText(info.item.iItem, info.item.iSubItem), rowImage(info.item.iItem));
        return true;
    }
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
        updateButtons();
        return false;
    case NM_DBLCLK:
        if (int row = list_.selected(); row >= 0 && row < rowCount() && !readOnly_) editRow(row);
        return true;
    default:
        return false;
    }
}

namespace {

// --- pages of records: add, edit, delete and move work on a copy of the list

template <class T>
class RecordPage : public FilterPage {
protected:
    RecordPage(UINT templateId, const char* source, const char* helpTopic, std::vector<T> records,
               uint32_t removeQuestion)
        : FilterPage(templateId, source, helpTopic), records_(std::move(records)), removeQuestion_(removeQuestion) {}

    virtual T newRecord() const = 0;
    // The record's editor, modal to the dialog; true when confirmed.
    virtual bool editRecord(T& record) = 0;

    int rowCount() const override { return static_cast<int>(records_.size()); }

    void addRow() override {
        T record = newRecord();
        if (!editRecord(record)) return;
        records_.push_back(std::move(record));
        changedRows(rowCount() - 1);
    }
    void editRow(int row) override {
        T record = records_[static_cast<size_t>(row)];
        if (!editRecord(record)) return;
        records_[static_cast<size_t>(row)] = std::move(record);
        changedRows(row);
    }
    void removeRow(int row) override {
        if (!ask(removeQuestion_)) return;
        records_.erase(records_.begin() + row);
        changedRows(std::min(row, rowCount() - 1));
    }
    void moveRow(int row, int by) override {
        std::swap(records_[static_cast<size_t>(row)], records_[static_cast<size_t>(row + by)]);
        changedRows(row + by);
    }
    void changedRows(int select) {
        markChanged();
        showRows(select);
    }

    std::vector<T> records_;
    uint32_t removeQuestion_;
};

// --- From, Subject, To/Cc

using ListSetter = FilterChange (FilterSet::*)(const std::vector<WordFilter>&, bool);

class WordPage : public RecordPage<WordFilter> {
public:
    WordPage(UINT templateId, const char* helpTopic, const std::vector<WordFilter>& list, uint32_t field,
             FilterEditor::WordList kind, ListSetter setter)
        : RecordPage(templateId, "WordFilterPage", helpTopic, list, MSG_QuestionRemoveFilter),
          field_(field),
          kind_(kind),
          setter_(setter) {}

private:
    void setUpList() override {
        setUpMarkColumns(MSG_ColContainsWords, 234, MSG_ColUseCase, 58);
        yes_ = formatMessage(MSG_Yes);
        no_ = formatMessage(MSG_No);
    }
    std::string cellText(int row, int column) const override {
        const WordFilter& f = records_[static_cast<size_t>(row)];
        return column == 1 ? f.words : column == 2 ? (f.useCase ? yes_ : no_) : std::string();
    }
    int rowImage(int row) const override { return markImage(records_[static_cast<size_t>(row)]); }
    WordFilter newRecord() const override { return WordFilter(field_); }
    bool editRecord(WordFilter& record) override { return editWordFilter(sheetWindow(), record, kind_); }
    void importRows() override {
        std::string path;
        if (!chooseFileToOpen(sheetWindow(), {{formatMessage(MSG_FilesText), "*.txt"}, {formatMessage(MSG_FilesAll), "*.*"}},
                              path))
            return;
        int before = rowCount();
        FilterSet::importWordList(path, records_, field_);
        if (rowCount() > before) changedRows(before);
    }
    FilterChange store(FilterSet& filters) override { return (filters.*setter_)(records_, changed()); }

    uint32_t field_;
    FilterEditor::WordList kind_;
    ListSetter setter_;
    std::string yes_, no_;
};

// --- Size

class SizePage : public RecordPage<SizeFilter> {
public:
    explicit SizePage(const std::vector<SizeFilter>& list)
        : RecordPage(IDD_FILTER_SIZE, "SizeFilterPage", kFilterHelp, list, MSG_QuestionRemoveFilter) {}

private:
    void setUpList() override { setUpMarkColumns(MSG_SmallerThan, 145, MSG_LargerThan, 145); }
    std::string cellText(int row, int column) const override {
        const SizeFilter& f = records_[static_cast<size_t>(row)];
        if (column == 1 && f.lowerActive()) return std::to_string(thresholdKb(f.lowerBound));
        if (column == 2 && f.upperActive()) return std::to_string(thresholdKb(f.upperBound));
        return {};
    }
    int rowImage(int row) const override { return markImage(records_[static_cast<size_t>(row)]); }
    SizeFilter newRecord() const override { return SizeFilter(); }
    bool editRecord(SizeFilter& record) override { return editSizeFilter(sheetWindow(), record); }
    FilterChange store(FilterSet& filters) override { return filters.setSizeList(records_, changed()); }
};

// --- Friends and Spammers: the addresses come from the file when the page is
// first shown, sorted; a file that cannot be read is shown, never written.

class AddressPage : public RecordPage<std::string> {
public:
    AddressPage(const FilterSet& filters, bool spammers)
        : RecordPage(spammers ? IDD_FILTER_SPAMMERS : IDD_FILTER_FRIENDS, "AddressPage",
                     spammers ? kSpammersHelp : kFilterHelp, {},
                     spammers ? MSG_QuestionRemoveSpammer : MSG_QuestionRemoveFriend),
          filters_(filters),
          spammers_(spammers) {}

private:
    bool onInit() override {
        setChecked(IDC_FILTER_ENABLE, spammers_ ? filters_.checkSpammers() : filters_.checkFriends());
        return RecordPage::onInit();
    }
    void onFirstShow() override {
        if (filters_.readAddresses(spammers_, records_) == FileRead::Unreadable) {
            readOnly_ = true;
            setItemText(IDC_FILTER_NOTE,
                        formatMessage(MSG_AddressFileUnreadable, {FilterSet::addressFileName(spammers_)}));
        }
        sortAddresses(records_);
        showRows(-1);
    }
    void setUpList() override { list_.addColumn(0, "", 0); }
    std::string cellText(int row, int column) const override { return records_[static_cast<size_t>(row)]; }
    std::string newRecord() const override { return {}; }
    bool editRecord(std::string& address) override { return editAddress(sheetWindow(), address, spammers_); }
    // The list stays sorted: a new or edited address takes its place in it.
    void addRow() override {
        std::string address;
        if (editRecord(address)) changedRows(static_cast<int>(insertSorted(records_, std::move(address))));
    }
    void editRow(int row) override {
        std::string address = records_[static_cast<size_t>(row)];
        if (!editRecord(address)) return;
        records_.erase(records_.begin() + row);
        changedRows(static_cast<int>(insertSorted(records_, std::move(address))));
    }
    FilterChange store(FilterSet& filters) override {
        bool check = isChecked(IDC_FILTER_ENABLE);
        bool write = changed() && !readOnly_;
        return spammers_ ? filters.setSpammers(check, records_, write) : filters.setFriends(check, records_, write);
    }

    const FilterSet& filters_;
    bool spammers_;
};

// --- Power and Virus: check boxes (enabled), the mark and the name. The
// virus filters are only shown.

class PowerPage : public RecordPage<PowerFilter> {
public:
    PowerPage(UINT templateId, const std::vector<PowerFilter>& list, bool viewOnly)
        : RecordPage(templateId, "PowerFilterPage", kFilterHelp, list, MSG_QuestionRemoveFilter), viewOnly_(viewOnly) {}

private:
    void setUpList() override {
        list_.setExtendedStyle(LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
        setUpMarkImages();
        int box = systemMetric(SM_CXSMICON, windowDpi(hwnd()));
        list_.addColumn(0, "", 2 * box + scaled(8));
        list_.addColumn(1, "", scaled(216));
    }
    std::string cellText(int row, int column) const override {
        return column == 1 ? records_[static_cast<size_t>(row)].filterName : std::string();
    }
    int rowImage(int row) const override {
        switch (records_[static_cast<size_t>(row)].mark()) {
        case PowerFilter::Mark::Friendly: return kImageFriendly;
        case PowerFilter::Mark::Uncertain: return kImageUncertain;
        case PowerFilter::Mark::Deleted: return kImageDeleted;
        default: return kImageNoMark;
        }
    }
    // Filled row by row: a check box needs a real item. Filling reports every
    // box as changed, which is not the user's change.
    void showRows(int select) override {
        filling_ = true;
        SendMessageA(list_.hwnd(), WM_SETREDRAW, FALSE, 0);
        list_.clear();
        for (int i = 0; i < rowCount(); ++i) {
            list_.insertItem(i, "", i, rowImage(i));
            list_.setText(i, 1, cellText(i, 1));
            list_.setChecked(i, records_[static_cast<size_t>(i)].disabled == 0);
        }
        if (select >= 0 && select < rowCount()) list_.select(select);
        SendMessageA(list_.hwnd(), WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list_.hwnd(), nullptr, TRUE);
        filling_ = false;
        updateButtons();
    }
    bool onNotify(NMHDR& nm, LRESULT& result) override {
        if (nm.idFrom == IDC_FILTER_LIST && !filling_ && (nm.code == LVN_ITEMCHANGING || nm.code == LVN_ITEMCHANGED)) {
            auto& change = reinterpret_cast<NMLISTVIEW&>(nm);
            bool box = (change.uChanged & LVIF_STATE) &&
                       ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) && change.iItem >= 0 &&
                       change.iItem < rowCount();
            if (box && nm.code == LVN_ITEMCHANGING && viewOnly_) {
                result = TRUE;  // shown only
                return true;
            }
            if (box && nm.code == LVN_ITEMCHANGED && !viewOnly_) {
                records_[static_cast<size_t>(change.iItem)].disabled = list_.isChecked(change.iItem) ? 0 : 1;
                markChanged();
            }
        }
        return RecordPage::onNotify(nm, result);
    }
    PowerFilter newRecord() const override { return PowerFilter(); }
    bool editRecord(PowerFilter& record) override { return editPowerFilter(sheetWindow(), record, viewOnly_); }
    FilterChange store(FilterSet& filters) override {
        return viewOnly_ ? FilterChange::Done : filters.setPowerList(records_, changed());
    }

    bool viewOnly_;
    bool filling_ = false;
};

}  // namespace

std::vector<std::unique_ptr<FilterPage>> makeFilterPages(const FilterSet& filters) {
    using Kind = FilterEditor::WordList;
    std::vector<std::unique_ptr<FilterPage>> pages;
    pages.push_back(std::make_unique<PowerPage>(IDD_FILTER_POWER, filters.powerList(), false));
    pages.push_back(std::make_unique<AddressPage>(filters, false));
    pages.push_back(std::make_unique<WordPage>(IDD_FILTER_FROM, kFromHelp, filters.fromList(), MSG_ColFrom, Kind::From,
                                               &FilterSet::setFromList));
    pages.push_back(std::make_unique<WordPage>(IDD_FILTER_SUBJECT, kSubjectHelp, filters.subjectList(),
                                               MSG_ColSubject, Kind::Subject, &FilterSet::setSubjectList));
    pages.push_back(std::make_unique<WordPage>(IDD_FILTER_TOCC, kToCcHelp, filters.toCcList(), MSG_ColTo, Kind::ToCc,
                                               &FilterSet::setToCcList));
    pages.push_back(std::make_unique<AddressPage>(filters, true));
    pages.push_back(std::make_unique<SizePage>(filters.sizeList()));
    pages.push_back(std::make_unique<PowerPage>(IDD_FILTER_VIRUS, filters.virusList(), true));
    return pages;
}
