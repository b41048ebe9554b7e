#include "filter/FilterEditors.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <algorithm>
#include <initializer_list>
#include <thread>
#include <utility>

#include "core/MessageText.h"
#include "filter/FilterActions.h"
#include "filter/FilterInput.h"
#include "framework/Dialog.h"
#include "framework/FileDialog.h"
#include "framework/HtmlHelp.h"
#include "framework/MessageBox.h"
#include "framework/MessageLoop.h"
#include "resources/resource.h"

namespace {

const char kFilterHelp[] = "::/email_filtration.htm";

void setMark(Dialog& d, bool uncertain) {
    d.setChecked(IDC_MARK_UNCERTAIN, uncertain);
    d.setChecked(IDC_MARK_DELETED, !uncertain);
}

// OK is enabled only while there is no problem; the note says what is wrong.
void showProblem(Dialog& d, uint32_t problem, bool viewOnly = false) {
    d.enableItem(IDOK, problem == 0 && !viewOnly);
    d.setItemText(IDC_VALIDATION_NOTE, problem ? formatMessage(problem) : std::string());
}

void fillCombo(HWND combo, std::initializer_list<uint32_t> texts, int selected) {
    for (uint32_t id : texts) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(formatMessage(id).c_str()));
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

int comboIndex(HWND combo) { return static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0)); }

// A "Larger than" or "Smaller than" row: its check box, KB box and spin
// buttons, which step the box's number themselves.
struct KbRow {
    int check, box, spin;
};

void initKb(Dialog& d, KbRow row, bool active, int32_t bytes) {
    SendMessageA(d.item(row.spin), UDM_SETRANGE32, 0, kMaxThresholdKb);
    d.setChecked(row.check, active);
    d.setItemText(row.box, std::to_string(active ? thresholdKb(bytes) : 0));
}

KbInput readKb(const Dialog& d, KbRow row) { return {d.isChecked(row.check), d.itemText(row.box)}; }

void enableKb(const Dialog& d, KbRow row) {
    bool on = d.isChecked(row.check);
    d.enableItem(row.box, on);
    d.enableItem(row.spin, on);
}

bool stepKb(const Dialog& d, KbRow row, const NMHDR& nm) {
    if (nm.idFrom != static_cast<UINT_PTR>(row.spin) || nm.code != UDN_DELTAPOS) return false;
    int32_t kb = 0;
    parseKb(d.itemText(row.box), kb);  // a box that holds no number steps from 0
    int64_t next = int64_t{kb} + reinterpret_cast<const NMUPDOWN&>(nm).iDelta;
    d.setItemText(row.box, std::to_string(std::clamp<int64_t>(next, 0, kMaxThresholdKb)));
    return true;
}

// Runs editor D on a copy of `record`; the record takes the copy on OK.
template <class D, class T, class... A>
bool runEditor(HWND owner, T& record, A... args) {
    T copy = record;
    D dialog(copy, args...);
    if (dialog.runModal(owner) != IDOK) return false;
    record = std::move(copy);
    return true;
}

// An editor of one line of text whose OK waits for the box to be filled.
class TextDialog : public Dialog {
protected:
    TextDialog(UINT templateId, int box, const char* source) : Dialog(templateId, source), box_(box) {}

    void initText(const std::string& text) {
        SendMessageA(item(box_), EM_LIMITTEXT, kMaxTypedText, 0);
        setItemText(box_, takeText(text));
        enableOK();
    }
    std::string text() const { return takeText(itemText(box_)); }

    void onCommand(UINT code, UINT id, HWND control) override {
        if (id == static_cast<UINT>(box_) && code == EN_CHANGE) enableOK();
        else Dialog::onCommand(code, id, control);
    }
    void onOK() override {
        if (!text().empty()) store();
    }
    // Writes the controls into the record and ends the dialog.
    virtual void store() = 0;

private:
    void enableOK() const { enableItem(IDOK, !itemText(box_).empty()); }
    int box_;
};

class WordDialog : public TextDialog {
public:
    WordDialog(WordFilter& filter, FilterEditor::WordList list)
        : TextDialog(IDD_WORD_FILTER_EDIT, IDC_WORD_TEXT, "WordFilterDialog"), filter_(filter), list_(list) {}

private:
    bool onInit() override {
        static const uint32_t kExplain[] = {MSG_ExplainFromFilter, MSG_ExplainSubjectFilter, MSG_ExplainToCcFilter};
        setItemText(IDC_WORD_EXPLAIN, formatMessage(kExplain[static_cast<int>(list_)]));
        initText(filter_.words);
        setChecked(IDC_WORD_USE_CASE, filter_.useCase);
        setMark(*this, filter_.uncertain);
        return true;
    }
    void store() override {
        filter_.words = text();
        filter_.useCase = isChecked(IDC_WORD_USE_CASE);
        filter_.uncertain = isChecked(IDC_MARK_UNCERTAIN);
        end(IDOK);
    }

    WordFilter& filter_;
    FilterEditor::WordList list_;
};

class AddressDialog : public TextDialog {
public:
    AddressDialog(std::string& address, bool spammer)
        : TextDialog(spammer ? IDD_SPAMMER_EDIT : IDD_FRIEND_EDIT, IDC_ADDRESS, "AddressDialog"), address_(address) {}

private:
    bool onInit() override {
        initText(address_);
        return true;
    }
    void store() override {
        address_ = text();
        end(IDOK);
    }

    std::string& address_;
};

constexpr KbRow kSizeLarger{IDC_SIZE_LARGER, IDC_SIZE_LARGER_KB, IDC_SIZE_LARGER_SPIN};
constexpr KbRow kSizeSmaller{IDC_SIZE_SMALLER, IDC_SIZE_SMALLER_KB, IDC_SIZE_SMALLER_SPIN};

class SizeDialog : public Dialog {
public:
    explicit SizeDialog(SizeFilter& filter) : Dialog(IDD_SIZE_FILTER_EDIT, "SizeFilterDialog"), filter_(filter) {}

private:
    bool onInit() override {
        initKb(*this, kSizeLarger, filter_.upperActive(), filter_.upperBound);
        initKb(*this, kSizeSmaller, filter_.lowerActive(), filter_.lowerBound);
        setMark(*this, filter_.uncertain);
        refresh();
        return true;
    }
    uint32_t problem() const { return sizeInputProblem(readKb(*this, kSizeLarger), readKb(*this, kSizeSmaller)); }
    void refresh() {
        enableKb(*this, kSizeLarger);
        enableKb(*this, kSizeSmaller);
        showProblem(*this, problem());
    }
    void onCommand(UINT code, UINT id, HWND control) override {
        if (code == BN_CLICKED || code == EN_CHANGE) refresh();
        Dialog::onCommand(code, id, control);
    }
    bool onNotify(NMHDR& nm, LRESULT& result) override {
        return stepKb(*this, kSizeLarger, nm) || stepKb(*this, kSizeSmaller, nm);
    }
    void onOK() override {
        if (problem()) return;
        filter_.upperBound = thresholdBytes(readKb(*this, kSizeLarger));
        filter_.lowerBound = thresholdBytes(readKb(*this, kSizeSmaller));
        filter_.uncertain = isChecked(IDC_MARK_UNCERTAIN);
        end(IDOK);
    }

    SizeFilter& filter_;
};

// The six text conditions in the order of their control rows.
struct ConditionRow {
    bool PowerFilter::*on;
    int32_t PowerFilter::*condition;
    std::string PowerFilter::*words;
    bool PowerFilter::*useCase;
};

const ConditionRow kConditions[] = {
    {&PowerFilter::fromEnabled, &PowerFilter::fromCondition, &PowerFilter::fromWords, &PowerFilter::fromCase},
    {&PowerFilter::subjectEnabled, &PowerFilter::subjectCondition, &PowerFilter::subjectWords,
     &PowerFilter::subjectCase},
    {&PowerFilter::toCcEnabled, &PowerFilter::toCcCondition, &PowerFilter::toCcWords, &PowerFilter::toCcCase},
    {&PowerFilter::attachEnabled, &PowerFilter::attachCondition, &PowerFilter::attachWords,
     &PowerFilter::attachCase},
    {&PowerFilter::bodyEnabled, &PowerFilter::bodyCondition, &PowerFilter::bodyWords, &PowerFilter::bodyCase},
    {&PowerFilter::headerEnabled, &PowerFilter::headerCondition, &PowerFilter::headerWords,
     &PowerFilter::headerCase},
};

struct ActionRow {
    int check;
    bool PowerFilter::*on;
    int box;  // 0: none
    std::string PowerFilter::*value;
};

const ActionRow kActions[] = {
    {IDC_PF_RUN_MAILER, &PowerFilter::runMailer, 0, nullptr},
    {IDC_PF_MARK_READ, &PowerFilter::markAsRead, 0, nullptr},
    {IDC_PF_LAUNCH, &PowerFilter::launchProgram, IDC_PF_LAUNCH_PATH, &PowerFilter::launchProgramPath},
    {IDC_PF_SOUND, &PowerFilter::playSound, IDC_PF_SOUND_FILE, &PowerFilter::soundFile},
    {IDC_PF_URL, &PowerFilter::sendMsgToUrl, IDC_PF_URL_TEXT, &PowerFilter::urlForSending},
};

constexpr KbRow kPowerSmaller{IDC_PF_SMALLER, IDC_PF_SMALLER_KB, IDC_PF_SMALLER_SPIN};
constexpr KbRow kPowerLarger{IDC_PF_LARGER, IDC_PF_LARGER_KB, IDC_PF_LARGER_SPIN};

int conditionBox(size_t row, int part) { return IDC_PF_FROM + static_cast<int>(row) * IDC_PF_ROW_STEP + part; }

class PowerDialog : public Dialog {
public:
    PowerDialog(PowerFilter& filter, bool viewOnly)
        : Dialog(IDD_POWER_FILTER_EDIT, "PowerFilterDialog"), filter_(filter), viewOnly_(viewOnly) {}

private:
    bool onInit() override {
        const PowerFilter& f = filter_;
        setItemText(IDC_PF_NAME, f.filterName);
        setChecked(IDC_PF_ENABLED, f.disabled == 0);
        for (size_t i = 0; i < std::size(kConditions); ++i) {
            const ConditionRow& row = kConditions[i];
            setChecked(conditionBox(i, 0), f.*row.on);
            fillCombo(item(conditionBox(i, 1)), {MSG_CondContains, MSG_CondNotContains}, f.*row.condition != 0);
            setItemText(conditionBox(i, 2), f.*row.words);
            setChecked(conditionBox(i, 3), f.*row.useCase);
        }
        setChecked(IDC_PF_PRIORITY, f.priorityEnabled);
        // A number that none of the three stands for (from an edited file) shows no choice.
        int priority = f.priority == 1 || f.priority == 3 || f.priority == 5 ? (f.priority - 1) / 2 : -1;
        fillCombo(item(IDC_PF_PRIORITY_LIST), {MSG_PriorityHigh, MSG_PriorityNormal, MSG_PriorityLow}, priority);
        initKb(*this, kPowerSmaller, f.lowerActive(), f.lowerBound);
        initKb(*this, kPowerLarger, f.upperActive(), f.upperBound);
        // The mark the evaluation acts on, also when a file set more than one flag.
        fillCombo(item(IDC_PF_MARK), {MSG_MarkNothing, MSG_MarkAsUncertain, MSG_MarkAsDeleted, MSG_MarkAsFriendly},
                  static_cast<int>(f.mark()));
        for (const ActionRow& a : kActions) {
            setChecked(a.check, f.*a.on);
            if (a.box) setItemText(a.box, f.*a.value);
        }
        refresh();
        return true;
    }

    bool anyCondition() const {
        for (size_t i = 0; i < std::size(kConditions); ++i)
            if (isChecked(conditionBox(i, 0))) return true;
        return isChecked(IDC_PF_PRIORITY);
    }
    uint32_t problem() const {
        return powerInputProblem(itemText(IDC_PF_NAME), anyCondition(), readKb(*this, kPowerLarger),
                                 readKb(*this, kPowerSmaller));
    }
    void refresh() {
        for (size_t i = 0; i < std::size(kConditions); ++i) {
            bool on = isChecked(conditionBox(i, 0));
            for (int part = 1; part <= 3; ++part) enableItem(conditionBox(i, part), on);
        }
        enableItem(IDC_PF_PRIORITY_LIST, isChecked(IDC_PF_PRIORITY));
        enableKb(*this, kPowerSmaller);
        enableKb(*this, kPowerLarger);
        showProblem(*this, problem(), viewOnly_);
    }

    void browse(int box, std::initializer_list<std::pair<uint32_t, const char*>> types) {
        std::vector<FileType> list;
        for (const auto& [name, pattern] : types) list.push_back({formatMessage(name), pattern});
        std::string path;
        if (chooseFileToOpen(hwnd(), list, path)) setItemText(box, path);
    }

    void test(UINT id) {
        if (id == IDC_PF_LAUNCH_TEST) {
            std::string path = itemText(IDC_PF_LAUNCH_PATH);
            ModalScope scope;  // the shell may ask or report
            if (!path.empty()) ShellExecuteA(hwnd(), nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        } else if (id == IDC_PF_SOUND_TEST) {
            // Played while the dialog goes on answering.
            std::string file = itemText(IDC_PF_SOUND_FILE);
            if (!file.empty()) sndPlaySoundA(file.c_str(), SND_ASYNC | SND_NODEFAULT);
        } else if (std::string url = itemText(IDC_PF_URL_TEXT); !url.empty()) {
            // An unreachable server may take its whole time-out: not on this thread.
            std::thread([report = sampleReportUrl(url)] { sendToUrl(report); }).detach();
        }
    }

    void onCommand(UINT code, UINT id, HWND control) override {
        switch (id) {
        case IDC_PF_HELP:
            showHelp(hwnd(), kFilterHelp);
            return;
        case IDC_PF_LAUNCH_BROWSE:
            browse(IDC_PF_LAUNCH_PATH, {{MSG_FilesExe, "*.exe"}, {MSG_FilesBat, "*.bat"}, {MSG_FilesAll, "*.*"}});
            return;
        case IDC_PF_SOUND_BROWSE:
            browse(IDC_PF_SOUND_FILE, {{MSG_FilesWave, "*.wav"}, {MSG_FilesAll, "*.*"}});
            return;
        case IDC_PF_LAUNCH_TEST:
        case IDC_PF_SOUND_TEST:
        case IDC_PF_URL_TEST:
            test(id);
            return;
        default:
            if (code == BN_CLICKED || code == EN_CHANGE) refresh();
            Dialog::onCommand(code, id, control);
        }
    }

    bool onNotify(NMHDR& nm, LRESULT& result) override {
        return stepKb(*this, kPowerSmaller, nm) || stepKb(*this, kPowerLarger, nm);
    }

    void onOK() override {
        if (viewOnly_ || problem()) return;
        PowerFilter& f = filter_;
        f.filterName = oneLine(itemText(IDC_PF_NAME));
        f.disabled = isChecked(IDC_PF_ENABLED) ? 0 : 1;
        for (size_t i = 0; i < std::size(kConditions); ++i) {
            const ConditionRow& row = kConditions[i];
            f.*row.on = isChecked(conditionBox(i, 0));
            f.*row.condition = comboIndex(item(conditionBox(i, 1))) == 1 ? PowerFilter::DoesNotContain
                                                                        : PowerFilter::Contains;
            f.*row.words = oneLine(itemText(conditionBox(i, 2)));
            f.*row.useCase = isChecked(conditionBox(i, 3));
        }
        f.priorityEnabled = isChecked(IDC_PF_PRIORITY);
        if (int p = comboIndex(item(IDC_PF_PRIORITY_LIST)); p >= 0) f.priority = 2 * p + 1;
        f.lowerBound = thresholdBytes(readKb(*this, kPowerSmaller));
        f.upperBound = thresholdBytes(readKb(*this, kPowerLarger));
        switch (comboIndex(item(IDC_PF_MARK))) {
        case 0: f.markNothingChoice(); break;
        case 1: f.markUncertainChoice(); break;
        case 2: f.markDeletedChoice(); break;
        case 3: f.markFriendlyChoice(); break;
        default: break;
        }
        for (const ActionRow& a : kActions) {
            f.*a.on = isChecked(a.check);
            if (a.box) f.*a.value = oneLine(itemText(a.box));
        }
        end(IDOK);
    }

    PowerFilter& filter_;
    bool viewOnly_;
};

}  // namespace

bool editWordFilter(HWND owner, WordFilter& filter, FilterEditor::WordList list) {
    return runEditor<WordDialog>(owner, filter, list);
}

bool editSizeFilter(HWND owner, SizeFilter& filter) { return runEditor<SizeDialog>(owner, filter); }

bool editAddress(HWND owner, std::string& address, bool spammer) {
    return runEditor<AddressDialog>(owner, address, spammer);
}

bool editPowerFilter(HWND owner, PowerFilter& filter, bool viewOnly) {
    return runEditor<PowerDialog>(owner, filter, viewOnly);
}

void DialogFilterEditor::filtersBusy() { showMessageBox(owner_, MSG_FilterNotAdded); }
