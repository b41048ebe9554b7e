// The evaluation of a new message against the filter set, on a worker thread
// under the read lock, and the actions of a matching power filter.
#include <optional>

#include "core/EventLog.h"
#include "core/MessageText.h"
#include "core/TextUtil.h"
#include "core/TimeParser.h"
#include "filter/AddressList.h"
#include "filter/FilterActions.h"
#include "filter/FilterSet.h"
#include "message/Message.h"

namespace {

bool occurs(const std::string& text, const std::string& item) {
    return !text.empty() && text.find(item) != std::string::npos;
}

// A To/Cc record matches when none of its ";"-separated items is addressed:
// the list holds the addresses the user expects mail for.
bool noItemAddressed(const WordFilter& record, const Message& m) {
    std::string_view words = record.words;
    if (!words.empty() && words.back() == ';') words.remove_suffix(1);
    size_t items = 0, absent = 0;
    for (size_t start = 0;;) {
        size_t end = words.find(';', start);
        std::string item(trim(words.substr(start, end == std::string_view::npos ? end : end - start)));
        ++items;
        if (!item.empty()) {
            std::string to = m.to(), cc = m.cc();
            if (!record.useCase) item = lowerAscii(item), to = lowerAscii(to), cc = lowerAscii(cc);
            if (!occurs(to, item) && !occurs(cc, item)) ++absent;
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return items > 0 && absent == items;
}

bool toCcCondition(const PowerFilter& f, const Message& m) {
    Tokenizer words(f.toCcWords, " ;");
    std::string_view w;
    if (!words.next(w)) return false;
    auto addressed = [&](std::string_view word) {
        return matchText(m.to(), f.toCcCondition, word, f.toCcCase) ||
               matchText(m.cc(), f.toCcCondition, word, f.toCcCase);
    };
    bool r = addressed(w);
    while (words.next(w)) {
        bool r2 = addressed(w);
        r = f.toCcCondition != 0 ? r && r2 : r || r2;
    }
    return r;
}

bool attachCondition(const PowerFilter& f, const Message& m) {
    if (!m.hasAttachment()) return false;
    for (const std::string& name : m.attachmentNames())
        if (matchText(name, f.attachCondition, f.attachWords, f.attachCase)) return true;
    return false;
}

}  // namespace

void FilterSet::evaluate(Message& message) {
    const PowerFilter* power = nullptr;
    std::optional<PowerFilter> actions;
    {
        ReadLock hold(lock_);
        if (!hold) return;
        bool matched = friendsCheck(message) || (power = powerCheck(message)) || fromCheck(message) ||
                       subjectCheck(message) || spammersCheck(message) || toCcCheck(message);
        if (!matched) sizeCheck(message);
        if (power) actions = *power;
    }
    // Actions may take long (a sound played to its end, a web request, the
    // mail client answering): the lists must not stay locked meanwhile, or
    // the user's changes and the other workers' evaluations time out.
    if (actions) runActions(*actions, message);
}

bool FilterSet::dontCalcDeleted() const { return observer_ && observer_->dontCalcDeleted(); }

void FilterSet::markSimpleMatch(Message& m, const BaseFilter& f, const std::string& reason) {
    m.setFilterReason(reason);
    if (f.uncertain)
        m.setUncertain(true);
    else
        m.markDeleted(dontCalcDeleted());
}

bool FilterSet::addressCheck(bool on, const std::set<uint32_t>& set, uint32_t reasonId, Message& m,
                             bool spammer) {
    if (!on || set.empty() || m.from().empty()) return false;
    std::string address = extractAddress(m.from());
    if (!set.count(addressHash(address))) return false;
    std::string reason = nameText(reasonId) + ": ";
    reason += address;
    m.setFilterReason(reason);
    if (spammer) {
        m.markDeleted(dontCalcDeleted());
        m.setSpammer(true);
    } else {
        m.setFriend(true);
    }
    return true;
}

bool FilterSet::friendsCheck(Message& m) { return addressCheck(checkFriends_, friends_, MSG_Friends, m, false); }

bool FilterSet::spammersCheck(Message& m) {
    return addressCheck(checkSpammers_, spammers_, MSG_Spammers, m, true);
}

bool FilterSet::wordListCheck(const std::vector<WordFilter>& list, const std::string& text, Message& m) {
    if (text.empty()) return false;
    std::string folded;
    for (const WordFilter& f : list) {
        if (f.words.empty()) continue;
        bool found;
        if (f.useCase) {
            found = text.find(f.words) != std::string::npos;
        } else {
            if (folded.empty()) folded = lowerAscii(text);
            found = folded.find(lowerAscii(f.words)) != std::string::npos;
        }
        if (found) {
            markSimpleMatch(m, f, describe(f));
            return true;
        }
    }
    return false;
}

bool FilterSet::fromCheck(Message& m) { return wordListCheck(fromList_, m.from(), m); }
bool FilterSet::subjectCheck(Message& m) { return wordListCheck(subjectList_, m.subject(), m); }

bool FilterSet::toCcCheck(Message& m) {
    for (const WordFilter& f : toCcList_) {
        if (f.words.empty() || !noItemAddressed(f, m)) continue;
        markSimpleMatch(m, f, describe(f));
        return true;
    }
    return false;
}

bool FilterSet::sizeCheck(Message& m) {
    for (const SizeFilter& f : sizeList_) {
        if (!sizeMatches(m.size(), f)) continue;
        markSimpleMatch(m, f, describe(f));
        return true;
    }
    return false;
}

bool FilterSet::powerMatches(const PowerFilter& f, const Message& m) {
    bool all = true;
    if (all && f.fromEnabled) all = matchText(m.from(), f.fromCondition, f.fromWords, f.fromCase);
    if (all && f.subjectEnabled)
        all = matchText(m.subject(), f.subjectCondition, f.subjectWords, f.subjectCase);
    if (all && f.toCcEnabled) all = toCcCondition(f, m);
    if (all && f.bodyEnabled) all = matchText(m.body(), f.bodyCondition, f.bodyWords, f.bodyCase);
    if (all && f.headerEnabled)
        all = matchText(m.headerText(), f.headerCondition, f.headerWords, f.headerCase);
    if (all && f.attachEnabled) all = attachCondition(f, m);
    if (all && f.priorityEnabled) all = m.priority() == f.priority;

    bool any = f.anyCondition(), sized = f.sizeUsed();
    if (any && sized) return all && sizeMatches(m.size(), f);
    if (any) return all;
    if (sized) return sizeMatches(m.size(), f);
    return false;
}

const PowerFilter* FilterSet::powerCheck(Message& m) {
    for (const PowerFilter& f : powerList_) {
        if (f.disabled != 0 || !powerMatches(f, m)) continue;
        m.setFilterReason(describe(f));
        if (f.markAsFriendly)
            m.setFriend(true);
        else if (f.uncertain)
            m.setUncertain(true);
        else if (f.markAsDeleted)
            m.markDeleted(dontCalcDeleted());
        return &f;
    }
    return nullptr;
}

void FilterSet::runActions(const PowerFilter& f, Message& m) {
    if (f.runMailer) {
        if (observer_)
            observer_->runMailer();
        else
            eventLog().log("Power filter %s: no mail client to run here, skipped\n", f.filterName.c_str());
    }
    if (f.markAsRead) m.markRead();
    if (f.launchProgram) actions_->launchFile(f.launchProgramPath);
    if (f.playSound && !f.soundFile.empty()) actions_->playSound(f.soundFile);
    if (f.sendMsgToUrl && !f.urlForSending.empty()) actions_->sendToUrl(reportUrl(f.urlForSending, m));
}
