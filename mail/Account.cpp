#include "mail/Account.h"

#include "core/Platform.h"
#include "message/Message.h"

Account::Account() : lastCheck(currentTime()) {}

Account::Account(const AccountInfo& info) : AccountInfo(info), lastCheck(currentTime()) {}

Account::~Account() = default;

const MessageList& Account::currentMessages() const {
    static const MessageList kEmpty;
    return neverChecked ? kEmpty : messages;
}

uint32_t Account::countMarked() const {
    uint32_t n = 0;
    for (const auto& m : messages) n += m->deleted();
    return n;
}

uint64_t Account::totalSize() const {
    uint64_t total = 0;
    for (const auto& m : messages)
        if (m->size() > 0) total += static_cast<uint64_t>(m->size());
    return total;
}

void Account::markAllRead() {
    for (auto& m : messages)
        if (!m->read()) m->markRead();
}

void Account::replaceMessages(MessageList&& list) {
    // The replaced messages live one more check: the messages pane shows them
    // until it refreshes on the report that follows.
    retired_ = std::move(messages);
    messages = std::move(list);
    uint32_t unread = 0;
    for (const auto& m : messages) unread += !m->read();
    unreadCount_ = unread;
    messageCount_ = static_cast<uint32_t>(messages.size());
    neverChecked = false;
}

void Account::launch(const std::string& path) const {
    if (!path.empty()) shellOpen(path);
}
