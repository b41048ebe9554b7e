#include "filter/FilterSet.h"

#include <algorithm>
#include <cstring>

#include "core/FileIO.h"
#include "core/MessageText.h"
#include "core/ProductKey.h"
#include "core/Registry.h"
#include "core/TextLines.h"
#include "core/TextUtil.h"
#include "core/UserMessage.h"
#include "filter/AddressList.h"
#include "filter/FilterActions.h"
#include "filter/ListFile.h"
#include "filter/PowerFile.h"
#include "message/Message.h"

namespace {

const char kFrom[] = "from.dat";
const char kSubject[] = "subject.dat";
const char kTo[] = "to.dat";
const char kSize[] = "size.dat";
const char kPower[] = "power.dat";
const char kVirus[] = "virus.dat";
const char kFriends[] = "friends.dat";
const char kSpammers[] = "spammers.dat";

}  // namespace

FilterSet::FilterSet(Registry& registry, FilterObserver* observer, std::string directory,
                     std::chrono::milliseconds lockTimeout)
    : registry_(registry),
      observer_(observer),
      actions_(&systemActionHost()),
      directory_(std::move(directory)),
      lock_(lockTimeout) {
    loadFrom();
    loadSubject();
    loadTo();
    loadSize();
    readPowerFile(kPower, powerList_);
    readPowerFile(kVirus, virusList_);
    loadSwitches();
    loadSpammers();
    loadFriends();
}

// --- binary list files

void FilterSet::loadFrom() { readWordList(path(kFrom), MSG_ColFrom, fromList_); }
void FilterSet::loadSubject() { readWordList(path(kSubject), MSG_ColSubject, subjectList_); }
void FilterSet::loadTo() { readWordList(path(kTo), MSG_ColTo, toCcList_); }
void FilterSet::loadSize() { readSizeList(path(kSize), sizeList_); }
bool FilterSet::saveFrom() { return writeList(path(kFrom), fromList_); }
bool FilterSet::saveSubject() { return writeList(path(kSubject), subjectList_); }
bool FilterSet::saveTo() { return writeList(path(kTo), toCcList_); }
bool FilterSet::saveSize() { return writeList(path(kSize), sizeList_); }

// --- power.dat and virus.dat

bool FilterSet::readPowerFile(const std::string& name, std::vector<PowerFilter>& list) const {
    if (name.empty()) return false;
    std::string text;
    if (!readWholeFile(path(name.c_str()), text)) return false;
    parsePowerText(text, list);
    return true;
}

bool FilterSet::savePowerFile() {
    return writeFileOrReport(path(kPower), formatPowerText(powerList_));
}

// --- friends.dat and spammers.dat

FileRead FilterSet::readAddressFile(const std::string& name, std::vector<std::string>& list, size_t& total) const {
    std::string text;
    uint32_t error = 0;
    if (!readWholeFile(path(name.c_str()), text, kMaxDataFileBytes, &error))
        return error == kMissingFileError ? FileRead::Missing : FileRead::Unreadable;
    parseAddressText(text, list, total);
    return FileRead::Read;
}

const char* FilterSet::addressFileName(bool spammers) { return spammers ? kSpammers : kFriends; }

FileRead FilterSet::readAddresses(bool spammers, std::vector<std::string>& list) const {
    size_t total = 0;
    return readAddressFile(addressFileName(spammers), list, total);
}

bool FilterSet::writeAddressFile(const std::string& name, const std::vector<std::string>& list) const {
    return writeFileOrReport(path(name.c_str()), formatAddressText(list));
}

// The file is rewritten whole with the line added, so that a failed write
// leaves the old list in place instead of a half line.
bool FilterSet::appendAddress(const std::string& name, const std::string& address) const {
    std::string text;
    uint32_t error = 0;
    // A file that exists but cannot be read must not be replaced by one line.
    if (!readWholeFile(path(name.c_str()), text, kMaxDataFileBytes, &error) && error != kMissingFileError) {
        reportSystemError(error, "cannot read " + path(name.c_str()), "BaseFilter");
        return false;
    }
    if (!address.empty()) {
        if (!text.empty() && text.back() != '\n') text += "\r\n";
        text += address + "\r\n";
    }
    return writeFileOrReport(path(name.c_str()), text);
}

void FilterSet::rebuildFriends(const std::vector<std::string>& addresses) {
    friends_.clear();
    for (const std::string& a : addresses) friends_.insert(addressHash(a));
}

void FilterSet::rebuildSpammers(const std::vector<std::string>& addresses) {
    spammers_.clear();
    for (const std::string& a : addresses) spammers_.insert(addressHash(a));
}

void FilterSet::loadFriends() {
    std::vector<std::string> list;
    readAddresses(false, list);
    rebuildFriends(list);
}

void FilterSet::loadSpammers() {
    std::vector<std::string> list;
    readAddresses(true, list);
    rebuildSpammers(list);
}

void FilterSet::loadSwitches() {
    RegKey key;
    if (!key.open(registry_, kRegCurrentUser, kFilterKey, RegAccess::Read)) return;
    key.readFlag("CheckSpammers", checkSpammers_, FlagRule::DwordNonZero);
    key.readFlag("CheckFriends", checkFriends_, FlagRule::DwordNonZero);
}

void FilterSet::saveSwitches() {
    RegKey key;
    if (!key.openForWriting(registry_, kRegCurrentUser, kFilterKey)) return;
    key.writeNumber("CheckSpammers", checkSpammers_ ? 1 : 0);
    key.writeNumber("CheckFriends", checkFriends_ ? 1 : 0);
}

// --- the filter sheet's OK

template <class F>
bool FilterSet::underWriteLock(F&& change) {
    DeferUserMessages afterUnlock;  // a failed save's box is shown once the lock is free
    WriteLock hold(lock_);
    if (!hold) return false;
    change();
    return true;
}

template <class T>
FilterChange FilterSet::replaceList(std::vector<T>& target, const std::vector<T>& list, bool changed,
                                    bool (FilterSet::*save)()) {
    if (!changed) return FilterChange::Done;
    bool saved = false;
    if (!underWriteLock([&] {
            target = list;
            saved = (this->*save)();
        }))
        return FilterChange::Busy;
    return saved ? FilterChange::Done : FilterChange::NotSaved;
}

namespace {
// Every entry carries its list's field, however the page made it.
std::vector<WordFilter> withField(std::vector<WordFilter> list, uint32_t field) {
    for (WordFilter& f : list) f.field = field;
    return list;
}
}  // namespace

FilterChange FilterSet::setFromList(const std::vector<WordFilter>& list, bool changed) {
    return replaceList(fromList_, withField(list, MSG_ColFrom), changed, &FilterSet::saveFrom);
}

FilterChange FilterSet::setSubjectList(const std::vector<WordFilter>& list, bool changed) {
    return replaceList(subjectList_, withField(list, MSG_ColSubject), changed, &FilterSet::saveSubject);
}

FilterChange FilterSet::setToCcList(const std::vector<WordFilter>& list, bool changed) {
    return replaceList(toCcList_, withField(list, MSG_ColTo), changed, &FilterSet::saveTo);
}

FilterChange FilterSet::setSizeList(const std::vector<SizeFilter>& list, bool changed) {
    return replaceList(sizeList_, list, changed, &FilterSet::saveSize);
}

FilterChange FilterSet::setPowerList(const std::vector<PowerFilter>& list, bool changed) {
    return replaceList(powerList_, list, changed, &FilterSet::savePowerFile);
}

FilterChange FilterSet::setAddresses(bool check, const std::vector<std::string>& addresses, bool changed,
                                     bool spammer) {
    bool saved = true;
    if (!underWriteLock([&] {
            (spammer ? checkSpammers_ : checkFriends_) = check;
            saveSwitches();
            if (!changed) return;
            if (spammer) rebuildSpammers(addresses);
            else rebuildFriends(addresses);
            saved = writeAddressFile(addressFileName(spammer), addresses);
        }))
        return FilterChange::Busy;
    return saved ? FilterChange::Done : FilterChange::NotSaved;
}

FilterChange FilterSet::setFriends(bool check, const std::vector<std::string>& addresses, bool changed) {
    return setAddresses(check, addresses, changed, false);
}

FilterChange FilterSet::setSpammers(bool check, const std::vector<std::string>& addresses, bool changed) {
    return setAddresses(check, addresses, changed, true);
}

// --- additions from a message: the editor first, the lock only to add

MessageTexts MessageTexts::of(const Message& m) {
    MessageTexts texts{m.from(), m.subject(), m.to(), {}};
    if (m.hasAttachment() && !m.attachmentNames().empty()) texts.attachment = m.attachmentNames().front();
    return texts;
}

bool FilterSet::addWord(std::vector<WordFilter>& list, uint32_t field, FilterEditor::WordList kind,
                        const std::string& text, bool (FilterSet::*save)(), FilterEditor& editor) {
    WordFilter record(field, text);
    if (!editor.editWordFilter(record, kind)) return false;
    record.field = field;
    if (underWriteLock([&] {
            list.push_back(std::move(record));
            (this->*save)();
        }))
        return true;
    editor.filtersBusy();
    return false;
}

bool FilterSet::addFromFilter(const MessageTexts& m, FilterEditor& editor) {
    return addWord(fromList_, MSG_ColFrom, FilterEditor::WordList::From, m.from, &FilterSet::saveFrom, editor);
}

bool FilterSet::addSubjectFilter(const MessageTexts& m, FilterEditor& editor) {
    return addWord(subjectList_, MSG_ColSubject, FilterEditor::WordList::Subject, m.subject,
                   &FilterSet::saveSubject, editor);
}

// A check that starts while the dialog is open evaluates with the list as it
// was; holding the lock meanwhile would leave its messages unfiltered.
bool FilterSet::addAddress(const MessageTexts& m, FilterEditor& editor, bool spammer) {
    if (m.from.empty()) return false;
    std::string address = extractAddress(m.from);
    if (address.empty() || !editor.editAddress(address, spammer) || address.empty()) return false;
    if (underWriteLock([&] {
            std::set<uint32_t>& set = spammer ? spammers_ : friends_;
            if (set.insert(addressHash(address)).second) appendAddress(addressFileName(spammer), address);
        }))
        return true;
    editor.filtersBusy();
    return false;
}

bool FilterSet::addFriend(const MessageTexts& m, FilterEditor& editor) { return addAddress(m, editor, false); }
bool FilterSet::addSpammer(const MessageTexts& m, FilterEditor& editor) { return addAddress(m, editor, true); }

bool FilterSet::addPowerFilter(const MessageTexts& m, FilterEditor& editor) {
    PowerFilter record;
    if (!m.from.empty()) record.filterName = record.fromWords = m.from;
    if (!m.subject.empty()) record.subjectWords = m.subject;
    if (!m.to.empty()) record.toCcWords = m.to;
    record.attachWords = m.attachment;
    if (!editor.editPowerFilter(record)) return false;
    if (underWriteLock([&] {
            powerList_.push_back(std::move(record));
            savePowerFile();
        }))
        return true;
    editor.filtersBusy();
    return false;
}

// --- import of a word list

bool FilterSet::importWordList(const std::string& file, std::vector<WordFilter>& target, uint32_t field) {
    std::string raw;
    if (!readFileOrReport(file, raw)) return false;
    // Read as the run-time library's text mode and its 260-byte line buffer
    // do: a longer line goes on as the next record.
    TextLines lines(raw, 259);
    for (std::string_view line; lines.next(line);) {
        line = trimRight(line);
        if (!line.empty()) target.emplace_back(field, std::string(line));
    }
    return true;
}
