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

bool FilterSet::readAddressFile(const std::string& name, std::vector<std::string>& list, size_t& total) const {
    std::string text;
    if (!readWholeFile(path(name.c_str()), text)) return false;
    parseAddressText(text, list, total);
    return true;
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
    size_t total = 0;
    readAddressFile(kFriends, list, total);
    rebuildFriends(list);
}

void FilterSet::loadSpammers() {
    std::vector<std::string> list;
    size_t total = 0;
    readAddressFile(kSpammers, list, total);
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

namespace {
template <class T>
void replaceList(ReadWriteLock& lock, std::vector<T>& target, const std::vector<T>& list, bool changed,
                 FilterSet& set, bool (FilterSet::*save)()) {
    if (!changed) return;
    DeferUserMessages afterUnlock;  // a failed save's box is shown once the lock is free
    WriteLock hold(lock);
    if (!hold) return;
    target = list;
    (set.*save)();
}
}  // namespace

namespace {
// Every entry carries its list's field, however the page made it.
std::vector<WordFilter> withField(std::vector<WordFilter> list, uint32_t field) {
    for (WordFilter& f : list) f.field = field;
    return list;
}
}  // namespace

void FilterSet::setFromList(const std::vector<WordFilter>& list, bool changed) {
    replaceList(lock_, fromList_, withField(list, MSG_ColFrom), changed, *this, &FilterSet::saveFrom);
}

void FilterSet::setSubjectList(const std::vector<WordFilter>& list, bool changed) {
    replaceList(lock_, subjectList_, withField(list, MSG_ColSubject), changed, *this, &FilterSet::saveSubject);
}

void FilterSet::setToCcList(const std::vector<WordFilter>& list, bool changed) {
    replaceList(lock_, toCcList_, withField(list, MSG_ColTo), changed, *this, &FilterSet::saveTo);
}

void FilterSet::setSizeList(const std::vector<SizeFilter>& list, bool changed) {
    replaceList(lock_, sizeList_, list, changed, *this, &FilterSet::saveSize);
}

void FilterSet::setPowerList(const std::vector<PowerFilter>& list, bool changed) {
    replaceList(lock_, powerList_, list, changed, *this, &FilterSet::savePowerFile);
}

void FilterSet::setAddresses(bool check, const std::vector<std::string>& addresses, bool changed, bool spammer) {
    DeferUserMessages afterUnlock;
    WriteLock hold(lock_);
    if (!hold) return;
    (spammer ? checkSpammers_ : checkFriends_) = check;
    saveSwitches();
    if (!changed) return;
    if (spammer) {
        rebuildSpammers(addresses);
        writeAddressFile(kSpammers, addresses);
    } else {
        rebuildFriends(addresses);
        writeAddressFile(kFriends, addresses);
    }
}

void FilterSet::setFriends(bool check, const std::vector<std::string>& addresses, bool changed) {
    setAddresses(check, addresses, changed, false);
}

void FilterSet::setSpammers(bool check, const std::vector<std::string>& addresses, bool changed) {
    setAddresses(check, addresses, changed, true);
}

// --- additions from a message

void FilterSet::addWord(std::vector<WordFilter>& list, uint32_t field, FilterEditor::WordList kind,
                        const std::string& text, bool (FilterSet::*save)(), FilterEditor& editor) {
    WordFilter record(field, text);
    if (!editor.editWordFilter(record, kind)) return;
    record.field = field;
    DeferUserMessages afterUnlock;
    WriteLock hold(lock_);
    if (!hold) return;
    list.push_back(std::move(record));
    (this->*save)();
}

void FilterSet::addFromFilter(const Message& m, FilterEditor& editor) {
    addWord(fromList_, MSG_ColFrom, FilterEditor::WordList::From, m.from(), &FilterSet::saveFrom, editor);
}

void FilterSet::addSubjectFilter(const Message& m, FilterEditor& editor) {
    addWord(subjectList_, MSG_ColSubject, FilterEditor::WordList::Subject, m.subject(), &FilterSet::saveSubject,
            editor);
}

void FilterSet::addAddress(const Message& m, FilterEditor& editor, bool spammer) {
    // The lock is held while the dialog is open, so that a check starting
    // meanwhile sees the list as the user leaves it.
    DeferUserMessages afterUnlock;
    WriteLock hold(lock_);
    if (!hold || m.from().empty()) return;
    std::string address = extractAddress(m.from());
    if (address.empty() || !editor.editAddress(address, spammer) || address.empty()) return;
    std::set<uint32_t>& set = spammer ? spammers_ : friends_;
    if (set.insert(addressHash(address)).second) appendAddress(spammer ? kSpammers : kFriends, address);
}

void FilterSet::addFriend(const Message& m, FilterEditor& editor) { addAddress(m, editor, false); }
void FilterSet::addSpammer(const Message& m, FilterEditor& editor) { addAddress(m, editor, true); }

void FilterSet::addPowerFilter(const Message& m, FilterEditor& editor) {
    PowerFilter record;
    if (!m.from().empty()) record.filterName = record.fromWords = m.from();
    if (!m.subject().empty()) record.subjectWords = m.subject();
    if (!m.to().empty()) record.toCcWords = m.to();
    if (m.hasAttachment() && !m.attachmentNames().empty()) record.attachWords = m.attachmentNames().front();
    if (!editor.editPowerFilter(record)) return;
    DeferUserMessages afterUnlock;
    WriteLock hold(lock_);
    if (!hold) return;
    powerList_.push_back(std::move(record));
    savePowerFile();
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
