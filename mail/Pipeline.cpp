#include "mail/Pipeline.h"

#include <algorithm>

bool Pipeline::hasRoom(size_t expected) const {
    if (commands_.empty()) return true;
    return commands_.size() < limits_.commands && commandBytes_ < limits_.commandBytes &&
           answerBytes_ <= limits_.answerBytes && expected <= limits_.answerBytes - answerBytes_;
}

bool Pipeline::wantsMore() const {
    return commands_.size() <= limits_.commands / 2 && commandBytes_ <= limits_.commandBytes / 2 &&
           answerBytes_ <= limits_.answerBytes / 2;
}

Pipeline::Ticket Pipeline::queued(bool multiLine, size_t bytes, size_t expected) {
    commands_.push_back({++last_, multiLine, bytes, expected});
    commandBytes_ += bytes;
    answerBytes_ += expected;
    return last_;
}

bool Pipeline::take(Ticket ticket) {
    auto wanted = [&] {
        return std::find_if(commands_.begin(), commands_.end(), [&](const Command& c) { return c.ticket == ticket; });
    };
    if (wanted() == commands_.end()) return false;
    if (!flush()) {
        drop();
        return false;
    }
    while (!wanted()->answered)
        if (!readNext(ticket)) return false;
    auto it = wanted();
    if (it->kept) keptBytes_ -= it->answer.size();
    bool failed = it->failed;
    transport_.setAnswer(std::move(it->answer));
    commands_.erase(it);
    return !failed;
}

bool Pipeline::readNext(Ticket wanted) {
    auto it = std::find_if(commands_.begin(), commands_.end(), [](const Command& c) { return !c.answered; });
    bool ok = it->multiLine ? transport_.readMultiAnswer() : transport_.readAnswer();
    if (!ok && !transport_.stream().isOpen()) {
        drop();  // nothing more comes
        return false;
    }
    it->answered = true;
    it->failed = !ok;
    it->answer = transport_.takeAnswer();
    commandBytes_ -= it->bytes;
    answerBytes_ -= it->expected;
    if (it->ticket == wanted) return true;
    it->kept = true;
    keptBytes_ += it->answer.size();
    if (keptBytes_ > kMaxKeptBytes) {
        transport_.failTooLong();
        drop();
        return false;
    }
    return true;
}

void Pipeline::drop() {
    commands_.clear();
    commandBytes_ = answerBytes_ = keptBytes_ = 0;
}
