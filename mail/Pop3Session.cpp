#include "mail/Pop3Session.h"

#include <cstdlib>

#include "core/EventLog.h"
#include "core/Md5.h"
#include "message/Message.h"

namespace {

// "%d" as sscanf reads it: optional blanks, a sign, digits; -1 when none.
int scanInt(std::string_view text, size_t& pos) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    size_t start = pos;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
    size_t digits = pos;
    long long value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (value < 0x7fffffff) value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    if (pos == digits) {
        pos = start;
        return -1;
    }
    if (value > 0x7fffffff) value = 0x7fffffff;
    return text[start] == '-' ? -static_cast<int>(value) : static_cast<int>(value);
}

}  // namespace

std::vector<std::pair<int, int>> parseListing(std::string_view answer) {
    std::vector<std::pair<int, int>> out;
    size_t pos = answer.find("\r\n");
    while (pos != std::string_view::npos) {
        pos += 2;
        size_t at = pos;
        int number = scanInt(answer, at);
        // The size is read only after a number was, as "%d %d" does.
        int size = number == -1 && at == pos ? -1 : scanInt(answer, at);
        out.emplace_back(number, size);
        pos = answer.find("\r\n", pos);
    }
    return out;
}

std::vector<std::string_view> splitAnswerLines(std::string_view answer) {
    std::vector<std::string_view> lines;
    size_t pos = answer.find("\r\n");
    if (pos == std::string_view::npos) return lines;
    pos += 2;
    // The last line has no CRLF after it (the transport cut it with the end
    // mark); it is a line of the message all the same.
    while (pos <= answer.size()) {
        size_t end = answer.find("\r\n", pos);
        if (end == std::string_view::npos) {
            if (pos < answer.size()) lines.push_back(answer.substr(pos));
            break;
        }
        lines.push_back(answer.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

std::string apopDigest(std::string_view greeting, std::string_view password, bool& hasStamp) {
    size_t open = greeting.find('<');
    size_t close = open == std::string_view::npos ? open : greeting.find('>', open);
    hasStamp = close != std::string_view::npos;
    if (!hasStamp) return {};
    std::string input(greeting.substr(open, close - open + 1));
    input.append(password);
    return md5Hex(input);
}

Pop3Session::Pop3Session(Account& account, Transport& transport, CheckHooks& hooks, bool dontCalcDeleted)
    : account_(account), transport_(transport), hooks_(hooks), dontCalcDeleted_(dontCalcDeleted) {}

bool Pop3Session::connectAndLogin() {
    const char* name = account_.name.c_str();
    const char* server = account_.server.c_str();
    const char* user = account_.user.c_str();
    for (int attempt = 0; attempt < 3; ++attempt) {
        eventLog().log("Connect to mail_server: account=%s server=%s user=%s check_interval=%d check_timeout=%d count=%d",
                       name, server, user, static_cast<int>(account_.checkInterval),
                       static_cast<int>(account_.checkTimeout), attempt);
        account_.errorText.clear();
        account_.lastError = 0;
        bool ok;
        if (account_.secureAuth)
            ok = (transport_.hookup() && loginApop()) ||
                 (!transport_.stopped() && transport_.hookup() && loginUser());
        else
            ok = transport_.hookup() && loginUser();
        if (ok) {
            eventLog().log("Connect to mail_server: account=%s server=%s user=%s: OK", name, server, user);
            return true;
        }
        eventLog().log("Connect to mail_server: account=%s server=%s user=%s: ERR", name, server, user);
        if (transport_.stopped() || !transport_.pause(retryPauseMs)) return false;  // asked to stop
    }
    return false;
}

void Pop3Session::quitAfterRefusal() {
    // Only a close in answer to this QUIT makes the refusal's text go.
    account_.lastError = 0;
    if (transport_.request("QUIT")) transport_.readAnswer();
    if (account_.lastError == MSG_ConnectionClosed) account_.errorText.clear();
}

bool Pop3Session::loginApop() {
    eventLog().log("Secure login: account=%s", account_.name.c_str());
    if (!transport_.readAnswer()) return false;
    if (!transport_.answerIsOk()) {
        transport_.closeConnection();
        return false;
    }
    bool hasStamp = false;
    std::string digest = apopDigest(transport_.answer(), account_.password, hasStamp);
    if (!hasStamp) {
        quitAfterRefusal();
    } else {
        if (!transport_.request("APOP %s %s", account_.user.c_str(), digest.c_str()) || !transport_.readAnswer()) {
            transport_.closeConnection();
            return false;
        }
        if (transport_.answerIsOk()) return true;
        if (transport_.answerIsErr()) quitAfterRefusal();
    }
    transport_.closeConnection();
    return false;
}

bool Pop3Session::loginUser() {
    eventLog().log("Non secure login: account=%s", account_.name.c_str());
    bool ok = transport_.readAnswer() && transport_.answerIsOk() &&
              transport_.request("USER %s", account_.user.c_str()) && transport_.readAnswer() &&
              transport_.answerIsOk() && transport_.request("PASS %s", account_.password.c_str()) &&
              transport_.readAnswer();
    if (ok && transport_.answerIsOk()) return true;
    if (ok && transport_.answerIsErr()) quitAfterRefusal();
    transport_.closeConnection();
    return false;
}

Message* Pop3Session::previous(uint32_t crc) {
    auto it = previous_.find(crc);
    return it == previous_.end() ? nullptr : it->second;
}

bool Pop3Session::prepareDeletion() {
    switch (account_.msgDeletion) {
    case DeletionMode::Without:
        return true;
    case DeletionMode::With:
    case DeletionMode::AutoFiltered:
        if (account_.countMarked() == 0) return false;
        hooks_.touch(account_);
        return hooks_.confirmDeletion(account_);
    default:
        return false;
    }
}

bool Pop3Session::checkMailbox(MessageList& result) {
    eventLog().log("Check to mail server: account=%s", account_.name.c_str());
    result.clear();
    previous_.clear();
    for (auto it = account_.messages.rbegin(); it != account_.messages.rend(); ++it)
        previous_[(*it)->crc()] = it->get();  // the first of equal CRCs wins
    bool deletionPass = prepareDeletion();
    if (!transport_.request("LIST") || !transport_.readMultiAnswer() || !transport_.answerIsOk()) return false;

    for (auto [number, size] : parseListing(transport_.answer())) {
        if (transport_.stopped()) break;
        if (!transport_.request("TOP %d %d", number, static_cast<int>(account_.msgLinesNum)) ||
            !transport_.readMultiAnswer() || !transport_.answerIsOk()) {
            if (!transport_.stream().isOpen()) break;  // the rest cannot be fetched either
            continue;
        }
        std::vector<std::string_view> lines = splitAnswerLines(transport_.answer());
        auto message = std::make_unique<Message>(std::span<const std::string_view>(lines), size);
        if (deletionPass && deleteIfMarked(number, *message)) continue;
        hooks_.evaluate(*message);
        if (account_.msgDeletion == DeletionMode::AutoFiltered && message->deleted() &&
            autoDeleteFiltered(number, *message))
            continue;
        result.push_back(std::move(message));
    }
    if (transport_.stopped() || !transport_.stream().isOpen()) {
        // The list so far is not the mailbox: taking it would drop the marks
        // of the messages not fetched, and the DELEs sent are not committed
        // without QUIT. The last check's list stays.
        result.clear();
        return false;
    }

    for (auto& message : result) {
        Message* old = previous(message->crc());
        if (!old) continue;
        if (old->read()) message->markRead();
        if (old->deleted()) message->markDeleted(dontCalcDeleted_);
    }
    return true;
}

bool Pop3Session::deleteIfMarked(int number, Message& message) {
    Message* old = previous(message.crc());
    if (!old) return false;
    if (!old->deleted()) {
        message.undelete();
        return false;
    }
    message.markDeleted(dontCalcDeleted_);
    return account_.msgDeletion != DeletionMode::None && deleteMessage(number);
}

bool Pop3Session::autoDeleteFiltered(int number, Message& message) {
    Message* old = previous(message.crc());
    if (old && old->deleted()) return false;  // waits for a confirmed pass
    message.markDeleted(dontCalcDeleted_);
    return deleteMessage(number);
}

bool Pop3Session::deleteMessage(int number) {
    eventLog().log("Delete message: account=%s", account_.name.c_str());
    deletionsSent_ = true;
    return transport_.request("DELE %d", number) && transport_.readAnswer() && transport_.answerIsOk();
}

bool Pop3Session::quit() {
    account_.lastError = 0;
    bool ok = transport_.request("QUIT") && transport_.readAnswer() && transport_.answerIsOk();
    // A server that hangs up instead of answering QUIT loses nothing, unless
    // it had deletions to commit.
    if (account_.lastError == MSG_ConnectionClosed && !deletionsSent_) account_.errorText.clear();
    transport_.closeConnection();
    eventLog().log("disconnect from mail server: account=%s", account_.name.c_str());
    return ok || !deletionsSent_;
}
