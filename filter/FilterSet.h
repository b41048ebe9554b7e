// All of the user's filters: the From, Subject, To/Cc and Size lists, the
// friends and spammers lists with their switches, the power and virus
// filters, and the lock that lets account workers evaluate while the user
// interface replaces lists. Every change is written to its file at once;
// files are read only when the set is built.
#pragma once
#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/Platform.h"
#include "filter/Filters.h"
#include "filter/ReadWriteLock.h"

class ActionHost;
class Message;
class Registry;

// What the filters need of the application. kxcheck has none: the mail
// client action is then logged and skipped, and deleted marks do not count
// as read.
class FilterObserver {
public:
    virtual ~FilterObserver() = default;
    // The "Run Mail Client" command, handled by the main window; returns when
    // it has been handled. Called on a worker thread.
    virtual void runMailer() = 0;
    // The setting DontCalcDeleted: a message marked deleted also counts as read.
    virtual bool dontCalcDeleted() const = 0;
};

// What an addition from a message starts from: the message's texts, copied
// while its account was locked (a check may replace the message while an
// editor is open).
struct MessageTexts {
    std::string from;
    std::string subject;
    std::string to;
    std::string attachment;  // the first attachment's name, when there is one

    static MessageTexts of(const Message& message);
};

// The edit dialogs that additions from a message show. Each edit returns true
// when the user confirmed; the record or text then holds the user's edits.
class FilterEditor {
public:
    enum class WordList { From, Subject, ToCc };
    virtual ~FilterEditor() = default;
    virtual bool editWordFilter(WordFilter& filter, WordList list) = 0;
    virtual bool editAddress(std::string& address, bool spammer) = 0;
    virtual bool editPowerFilter(PowerFilter& filter) = 0;
    // The user confirmed, but a check held the filters for the whole
    // time-out: the addition was not made.
    virtual void filtersBusy() = 0;
};

// What a change of the lists came to.
enum class FilterChange {
    Done,      // applied and written, or nothing to do
    Busy,      // the write lock could not be had: nothing changed
    NotSaved,  // applied, but its file could not be written (the user has been told)
};

// What reading an address file found.
enum class FileRead { Read, Missing, Unreadable };

class FilterSet {
public:
    // Loads every filter file of `directory` (with its trailing separator)
    // and the switches of the Filter key, in this order: from.dat,
    // subject.dat, to.dat, size.dat, power.dat, virus.dat, the switches,
    // spammers.dat, friends.dat. Missing or damaged files leave their lists
    // empty or cut short; nothing fails. `observer` may be null.
    FilterSet(Registry& registry, FilterObserver* observer = nullptr,
              std::string directory = programDirectory(),
              std::chrono::milliseconds lockTimeout = std::chrono::milliseconds(10000));
    FilterSet(const FilterSet&) = delete;
    FilterSet& operator=(const FilterSet&) = delete;

    // --- evaluation (worker threads)

    // Marks a new message: friends, power filters, From, Subject, spammers,
    // To/Cc, stopping at the first match, and Size when none matched. A
    // matching power filter also runs its actions. A message is left
    // unfiltered when the read lock cannot be had.
    void evaluate(Message& message);

    bool friendsCheck(Message& message);
    bool spammersCheck(Message& message);
    // The filter that matched, whose actions are still to run.
    const PowerFilter* powerCheck(Message& message);
    bool fromCheck(Message& message);
    bool subjectCheck(Message& message);
    bool toCcCheck(Message& message);
    bool sizeCheck(Message& message);
    // Whether a power filter's conditions and size range hold for the message.
    static bool powerMatches(const PowerFilter& filter, const Message& message);

    // The actions of a matching power filter, in order: mail client, mark
    // read, launch, sound, URL. Each fails silently.
    void runActions(const PowerFilter& filter, Message& message);

    // The platform's launch, sound and URL operations; tests put a double in.
    void setActionHost(ActionHost& host) { actions_ = &host; }

    // --- the lock (user-interface thread writes, workers read)
    bool lockRead() { return lock_.lockRead(); }
    void unlockRead() { lock_.unlockRead(); }
    bool lockWrite() { return lock_.lockWrite(); }
    void unlockWrite() { lock_.unlockWrite(); }

    // --- the lists, for the filter sheet (the only writer reads without the lock)
    const std::vector<WordFilter>& fromList() const { return fromList_; }
    const std::vector<WordFilter>& subjectList() const { return subjectList_; }
    const std::vector<WordFilter>& toCcList() const { return toCcList_; }
    const std::vector<SizeFilter>& sizeList() const { return sizeList_; }
    const std::vector<PowerFilter>& powerList() const { return powerList_; }
    const std::vector<PowerFilter>& virusList() const { return virusList_; }
    const std::set<uint32_t>& friends() const { return friends_; }
    const std::set<uint32_t>& spammers() const { return spammers_; }
    bool checkFriends() const { return checkFriends_; }
    bool checkSpammers() const { return checkSpammers_; }
    const std::string& directory() const { return directory_; }

    // --- the filter sheet's OK. Each does nothing unless `changed`; then,
    // under the write lock, replaces the list and rewrites its file.
    FilterChange setFromList(const std::vector<WordFilter>& list, bool changed);
    FilterChange setSubjectList(const std::vector<WordFilter>& list, bool changed);
    FilterChange setToCcList(const std::vector<WordFilter>& list, bool changed);
    FilterChange setSizeList(const std::vector<SizeFilter>& list, bool changed);
    FilterChange setPowerList(const std::vector<PowerFilter>& list, bool changed);
    // The switch is stored (both registry values are written) whatever
    // `changed` says; the addresses only when changed.
    FilterChange setFriends(bool check, const std::vector<std::string>& addresses, bool changed);
    FilterChange setSpammers(bool check, const std::vector<std::string>& addresses, bool changed);

    // --- additions from a message (messages list menu). The editor shows
    // the record first; then the write lock is taken only to add it. True
    // when it was added; when the lock cannot be had the editor is told.
    bool addFromFilter(const MessageTexts& message, FilterEditor& editor);
    bool addSubjectFilter(const MessageTexts& message, FilterEditor& editor);
    bool addFriend(const MessageTexts& message, FilterEditor& editor);
    bool addSpammer(const MessageTexts& message, FilterEditor& editor);
    bool addPowerFilter(const MessageTexts& message, FilterEditor& editor);

    // --- files, each in the set's directory
    void loadFrom();
    void loadSubject();
    void loadTo();
    void loadSize();
    bool saveFrom();
    bool saveSubject();
    bool saveTo();
    bool saveSize();
    // Appends the power filters of `name` to `list`; false when the file
    // cannot be read.
    bool readPowerFile(const std::string& name, std::vector<PowerFilter>& list) const;
    bool savePowerFile();
    // Appends the file's addresses to `list` and their lengths to `total`.
    // A file that exists but cannot be read adds nothing.
    FileRead readAddressFile(const std::string& name, std::vector<std::string>& list, size_t& total) const;
    // friends.dat or spammers.dat, as the filter sheet shows it.
    FileRead readAddresses(bool spammers, std::vector<std::string>& list) const;
    static const char* addressFileName(bool spammers);
    bool writeAddressFile(const std::string& name, const std::vector<std::string>& list) const;
    bool appendAddress(const std::string& name, const std::string& address) const;
    void rebuildFriends(const std::vector<std::string>& addresses);
    void rebuildSpammers(const std::vector<std::string>& addresses);
    void loadFriends();
    void loadSpammers();
    void loadSwitches();
    void saveSwitches();

    // The records of a text file of words, one per line (trailing blanks
    // cut, blank lines skipped, lines longer than 259 characters continued
    // as the next record), appended to `target` with `field` and the
    // defaults. False when the file cannot be read; an error box has then
    // been shown.
    static bool importWordList(const std::string& path, std::vector<WordFilter>& target, uint32_t field);

private:
    std::string path(const char* name) const { return directory_ + name; }
    void markSimpleMatch(Message& message, const BaseFilter& filter, const std::string& reason);
    bool wordListCheck(const std::vector<WordFilter>& list, const std::string& text, Message& message);
    bool addressCheck(bool on, const std::set<uint32_t>& set, uint32_t reasonId, Message& message, bool spammer);
    // Runs `change` under the write lock; false when the lock could not be had.
    template <class F>
    bool underWriteLock(F&& change);
    template <class T>
    FilterChange replaceList(std::vector<T>& target, const std::vector<T>& list, bool changed, bool (FilterSet::*save)());
    bool addWord(std::vector<WordFilter>& list, uint32_t field, FilterEditor::WordList kind, const std::string& text,
                 bool (FilterSet::*save)(), FilterEditor& editor);
    bool addAddress(const MessageTexts& message, FilterEditor& editor, bool spammer);
    FilterChange setAddresses(bool check, const std::vector<std::string>& addresses, bool changed, bool spammer);
    bool dontCalcDeleted() const;

    Registry& registry_;
    FilterObserver* observer_;
    ActionHost* actions_;
    std::string directory_;
    ReadWriteLock lock_;

    bool checkSpammers_ = true;
    // An absent "CheckFriends" value means on, like its twin: a friends list
    // the user has built should protect mail until the user says otherwise.
    bool checkFriends_ = true;
    std::vector<WordFilter> fromList_;
    std::set<uint32_t> friends_;
    std::vector<PowerFilter> powerList_;
    std::vector<WordFilter> subjectList_;
    std::set<uint32_t> spammers_;
    std::vector<SizeFilter> sizeList_;
    std::vector<WordFilter> toCcList_;
    std::vector<PowerFilter> virusList_;
};
