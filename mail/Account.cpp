#include "mail/Account.h"

#include <atomic>

#include "core/Platform.h"
#include "message/Message.h"

namespace {
std::atomic<uint32_t> gLastAccountId{0};
}  // namespace

Account::Account() : id_(++gLastAccountId) { status_.lastCheck = currentTime(); }

Account::Account(const AccountInfo& info) : Account() { static_cast<AccountInfo&>(*this) = info; }

Account::~Account() = default;

AccountStatus Account::status() const {
    std::lock_guard<std::mutex> hold(statusLock_);
    AccountStatus s = status_;
    if (s.neverChecked) s.messageCount = s.unreadCount = 0;
    return s;
}

AccountState Account::state() const { return get(&AccountStatus::state); }

void Account::setState(AccountState state) { set(&AccountStatus::state, state); }

uint32_t Account::lastError() const { return get(&AccountStatus::lastError); }

void Account::setLastError(uint32_t id) { set(&AccountStatus::lastError, id); }

std::string Account::errorText() const { return get(&AccountStatus::errorText); }

namespace {
// An error text is one line of plain text, whatever a server sent: line ends
// and other control bytes become blanks.
std::string oneLine(const std::string& text) {
    std::string line = text.substr(0, 255);
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}
}  // namespace

void Account::setErrorText(const std::string& text) { set(&AccountStatus::errorText, oneLine(text)); }

void Account::clearErrorText() { set(&AccountStatus::errorText, std::string()); }

void Account::clearError() {
    std::lock_guard<std::mutex> hold(statusLock_);
    status_.lastError = 0;
    status_.errorText.clear();
    status_.refusedCertificate.clear();
}

void Account::setRefusedCertificate(const std::string& fingerprint) {
    set(&AccountStatus::refusedCertificate, fingerprint);
}

std::string Account::recordError(uint32_t id, const std::string& text) {
    std::lock_guard<std::mutex> hold(statusLock_);
    status_.lastError = id;
    if (status_.errorText.empty()) status_.errorText = oneLine(text);
    return status_.errorText;
}

int64_t Account::lastCheck() const { return get(&AccountStatus::lastCheck); }

void Account::setLastCheck(int64_t t) { set(&AccountStatus::lastCheck, t); }

bool Account::neverChecked() const { return get(&AccountStatus::neverChecked); }

uint32_t Account::messageCount() const { return status().messageCount; }

uint32_t Account::unreadCount() const { return status().unreadCount; }

void Account::setUnreadCount(uint32_t n) { set(&AccountStatus::unreadCount, n); }

const MessageList& Account::currentMessages() const {
    static const MessageList kEmpty;
    return neverChecked() ? kEmpty : messages;
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
    for (SavedMark& s : savedMarks) s.read = true;
}

void Account::replaceMessages(MessageList&& list, std::vector<HeaderCache::Entry>&& headers) {
    // The replaced messages live one more check: the messages pane shows them
    // until it refreshes on the report that follows.
    retired_ = std::move(messages);
    messages = std::move(list);
    headerCache.replace(std::move(headers));
    std::vector<SavedMark>().swap(savedMarks);  // their marks are in the list now
    ++generation_;
    uint32_t unread = 0;
    for (const auto& m : messages) unread += !m->read();
    uint64_t size = totalSize();
    std::lock_guard<std::mutex> hold(statusLock_);
    status_.unreadCount = unread;
    status_.messageCount = static_cast<uint32_t>(messages.size());
    status_.mailboxSize = size;
    status_.neverChecked = false;
}

void Account::launch(const std::string& path) const {
    if (!path.empty()) shellOpen(path);
}
