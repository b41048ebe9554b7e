#include "mail/Pop3Session.h"

#include <algorithm>
#include <unordered_set>

#include "core/EventLog.h"
#include "core/Md5.h"
#include "core/TextUtil.h"
#include "message/Message.h"

std::vector<std::pair<int, int>> parseListing(std::string_view answer) {
    std::vector<std::pair<int, int>> out;
    // Lines end in LF, with or without CR before it; the status line is skipped.
    size_t pos = answer.find('\n');
    while (pos != std::string_view::npos) {
        ++pos;
        size_t end = answer.find('\n', pos);
        std::string_view line = answer.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        size_t at = 0;
        int32_t number = -1, size = -1;
        // The size is read only after a number was, as "%d %d" does.
        if (scanDecimal(line, at, number)) scanDecimal(line, at, size);
        out.emplace_back(number, size);
        pos = end;
    }
    return out;
}

std::vector<std::string_view> splitAnswerLines(std::string_view answer) {
    std::vector<std::string_view> lines;
    size_t pos = answer.find('\n');
    if (pos == std::string_view::npos) return lines;
    ++pos;
    // The last line has no line end after it (the transport cut it with the
    // end mark); it is a line of the message all the same.
    while (pos < answer.size()) {
        size_t end = answer.find('\n', pos);
        if (end == std::string_view::npos) {
            lines.push_back(answer.substr(pos));
            break;
        }
        lines.push_back(answer.substr(pos, end > pos && answer[end - 1] == '\r' ? end - 1 - pos : end - pos));
        pos = end + 1;
    }
    return lines;
}

bool Capabilities::has(std::string_view name) const {
    for (const std::string& line : lines) {
        std::string_view word(line);
        word = word.substr(0, word.find(' '));
        if (equalsNoCase(word, name)) return true;
    }
    return false;
}

Capabilities parseCapabilities(std::string_view answer) {
    Capabilities caps;
    if (answer.compare(0, 3, "+OK") != 0) return caps;
    caps.answered = true;
    for (std::string_view line : splitAnswerLines(answer)) {
        if (caps.lines.size() == Capabilities::kMaxLines) break;
        line = trim(line);
        if (!line.empty()) caps.lines.emplace_back(line.substr(0, Capabilities::kMaxLine));
    }
    caps.stls = caps.has("STLS");
    caps.pipelining = caps.has("PIPELINING");
    caps.uidl = caps.has("UIDL");
    return caps;
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

Pop3Session::Pop3Session(Account& account, Transport& transport, CheckPolicy& policy, CheckWait& wait)
    : account_(account),
      transport_(transport),
      policy_(policy),
      wait_(wait),
      pipeline_(transport, Pipeline::kOneAtATime),
      dontCalcDeleted_(policy.dontCalcDeleted()) {}

Capabilities Pop3Session::requestCapabilities() {
    capabilities_ = {};
    // Not answerIsOk: a refusal would become the check's error text.
    if (transport_.request("CAPA") && transport_.readMultiAnswer())
        capabilities_ = parseCapabilities(transport_.answer());
    return capabilities_;
}

bool Pop3Session::connectAndLogin() {
    const char* name = account_.name.c_str();
    const char* server = account_.server.c_str();
    const char* user = account_.user.c_str();
    for (int attempt = 0; attempt < 3; ++attempt) {
        eventLog().log("Connect to mail_server: account=%s server=%s user=%s check_interval=%d check_timeout=%d count=%d",
                       name, server, user, static_cast<int>(account_.checkInterval),
                       static_cast<int>(account_.checkTimeout), attempt);
        account_.clearError();
        bool ok;
        if (account_.secureAuth)
            ok = (open() && loginApop()) ||
                 (!transport_.stopped() && !transport_.securityFailed() && !transport_.hopeless() && open() && loginUser());
        else
            ok = open() && loginUser();
        if (ok) {
            eventLog().log("Connect to mail_server: account=%s server=%s user=%s: OK", name, server, user);
            return true;
        }
        eventLog().log("Connect to mail_server: account=%s server=%s user=%s: ERR", name, server, user);
        // Another attempt meets the same certificate, or the same server
        // without STLS, or the same command that cannot be sent.
        if (transport_.securityFailed()) return false;
        if (transport_.stopped() || transport_.hopeless() || !pauseBetweenAttempts()) return false;
    }
    return false;
}

bool Pop3Session::pauseBetweenAttempts() {
    // The pause is the program's own, not the server's silence: it renews the
    // deadline in steps well inside the shortest time-out (1 s).
    for (unsigned left = retryPauseMs; left > 0;) {
        unsigned step = std::min(left, 250u);
        transport_.touch();
        if (!transport_.pause(step)) return false;  // asked to stop
        left -= step;
    }
    return true;
}

void Pop3Session::quitAfterRefusal() {
    // Only a close in answer to this QUIT makes the refusal's text go.
    account_.setLastError(0);
    if (transport_.request("QUIT")) transport_.readAnswer();
    if (account_.lastError() == MSG_ConnectionClosed) account_.clearErrorText();
}

bool Pop3Session::open() {
    greeting_.clear();
    if (!transport_.hookup() || !transport_.readAnswer()) return false;
    if (!transport_.answerIsOk()) {
        transport_.closeConnection();
        return false;
    }
    greeting_ = transport_.answer();
    return account_.secureConnection != SecureConnection::Stls || startTls();
}

void Pop3Session::refuseInsecure(uint32_t id, std::initializer_list<std::string> inserts, int site) {
    // Said goodbye to first, so that what the server does with QUIT cannot
    // take the place of the reason.
    if (transport_.request("QUIT")) transport_.readAnswer();
    transport_.closeConnection();
    account_.clearError();
    transport_.reportInsecure(id, inserts, site);
}

bool Pop3Session::startTls() {
    Capabilities caps = requestCapabilities();
    if (!transport_.stream().isOpen()) return false;
    if (!caps.stls) {
        refuseInsecure(MSG_NoStls, {}, 21);
        return false;
    }
    if (!transport_.request("STLS") || !transport_.readAnswer()) return false;
    if (transport_.answer().compare(0, 3, "+OK") != 0) {
        refuseInsecure(MSG_StlsRefused, {transport_.answer()}, 22);
        return false;
    }
    // What the server said before the handshake may have been forged: the
    // check asks again once logged in.
    capabilities_ = {};
    return transport_.secure();
}

bool Pop3Session::loginApop() {
    eventLog().log("Secure login: account=%s", account_.name.c_str());
    bool hasStamp = false;
    std::string digest = apopDigest(greeting_, account_.password, hasStamp);
    if (!hasStamp) {
        quitAfterRefusal();
    } else {
        if (!transport_.request("APOP %s %s", account_.user, digest) || !transport_.readAnswer()) {
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
    bool ok = transport_.request("USER %s", account_.user) && transport_.readAnswer() &&
              transport_.answerIsOk() && transport_.request("PASS %s", account_.password) &&
              transport_.readAnswer();
    if (ok && transport_.answerIsOk()) return true;
    if (ok && transport_.answerIsErr()) quitAfterRefusal();
    transport_.closeConnection();
    return false;
}

bool Pop3Session::lockList() {
    // The user interface may hold the list for a while; a stop ends the wait.
    return account_.lockMessagesUnless([&] { return wait_.stopRequested(); });
}

Pop3Session::Marks Pop3Session::previous(uint32_t crc) {
    Marks marks;
    auto it = previous_.find(crc);
    if (it == previous_.end() || !lockList()) return marks;
    const Earlier& e = it->second;
    marks = e.message ? Marks{true, e.message->read(), e.message->deleted()} : Marks{true, e.saved->read, false};
    account_.unlockMessages();
    return marks;
}

bool Pop3Session::prepareDeletion() {
    switch (account_.msgDeletion) {
    case DeletionMode::Without:
        return true;
    case DeletionMode::With:
    case DeletionMode::AutoFiltered: {
        if (!lockList()) return false;
        uint32_t marked = account_.countMarked();
        account_.unlockMessages();
        if (marked == 0) return false;
        transport_.touch();
        // An answer that comes after a stop request is no answer.
        return policy_.confirmDeletion(account_, wait_) && !wait_.stopRequested();
    }
    default:
        return false;
    }
}

bool Pop3Session::matchCache(std::vector<Listed>& listed, std::string_view uidAnswer, const HeaderCache& cache) {
    std::unordered_map<int32_t, std::string_view> ids;
    if (uidAnswer.substr(0, 3) != "+OK" || !parseUidListing(uidAnswer, ids)) return false;
    for (Listed& l : listed) {
        auto it = ids.find(l.number);
        if (it == ids.end()) continue;
        l.uid = it->second;
        l.kept = cache.find(std::string(l.uid), l.size);
    }
    return true;
}

bool Pop3Session::checkMailbox(MessageList& result) {
    eventLog().log("Check to mail server: account=%s", account_.name.c_str());
    result.clear();
    previous_.clear();
    headers_.clear();
    // Only this check's worker replaces the list, so its messages stay put
    // until the end of the check; only their marks change meanwhile.
    if (!lockList()) return false;
    previous_.reserve(account_.messages.size() + account_.savedMarks.size());
    for (const auto& m : account_.messages) previous_.try_emplace(m->crc(), Earlier{m.get()});  // the first of equal CRCs wins
    for (const SavedMark& s : account_.savedMarks) previous_.try_emplace(s.crc, Earlier{nullptr, &s});
    account_.unlockMessages();
    bool deletionPass = prepareDeletion();

    pipeline_.setLimits(capabilities_.pipelining ? Pipeline::kPipelined : Pipeline::kOneAtATime);
    HeaderCache* cache = capabilities_.uidl ? headerCache : nullptr;
    if (cache) cache->bindTo(account_.server, account_.port, account_.user, account_.msgLinesNum);
    Pipeline::Ticket list = pipeline_.queue(true, 0, "LIST");
    Pipeline::Ticket uidl = list && cache && pipeline_.hasRoom(0) ? pipeline_.queue(true, 0, "UIDL") : 0;
    if (!pipeline_.take(list) || !transport_.answerIsOk()) return false;

    std::vector<Listed> listed;
    for (auto [number, size] : parseListing(transport_.answer())) listed.push_back({number, size});
    std::string uidAnswer;
    if (cache) {
        if (!uidl) uidl = pipeline_.queue(true, 0, "UIDL");
        if (pipeline_.take(uidl)) uidAnswer = transport_.takeAnswer();
        else if (!transport_.stream().isOpen()) return false;
        // Copies by an id that identifies nothing would be guesses.
        if (!matchCache(listed, uidAnswer, *cache)) cache = nullptr;
    }

    // The TOPs of the messages after the current one go ahead of their turn
    // while the pipeline has room; without pipelining one at a time.
    size_t next = 0;
    auto fill = [&] {
        if (!pipeline_.wantsMore()) return true;
        for (; next < listed.size(); ++next) {
            Listed& l = listed[next];
            if (l.kept) continue;
            size_t expected = l.size > 0 ? static_cast<size_t>(l.size) : 0;
            if (!pipeline_.hasRoom(expected)) break;
            l.ticket = pipeline_.queue(true, expected, "TOP %d %d", l.number, static_cast<int>(account_.msgLinesNum));
            if (!l.ticket) return false;
        }
        return pipeline_.flush();
    };
    std::vector<Unfetched> unfetched;
    size_t tried = 0;
    for (Listed& l : listed) {
        if (transport_.stopped()) break;
        ++tried;
        std::unique_ptr<Message> message;
        if (l.kept) {
            if (pipeline_.pipelined() && !fill()) break;
            message = Message::parsedCopy(*l.kept);
        } else {
            if (!fill()) break;  // the connection is lost: so are the rest
            if (!pipeline_.take(l.ticket) || !transport_.answerIsOk()) {
                if (!transport_.stream().isOpen()) break;
                // Its place in the list, for the earlier copy of the message.
                unfetched.push_back({result.size(), l.size});
                result.push_back(nullptr);
                continue;
            }
            std::vector<std::string_view> lines = splitAnswerLines(transport_.answer());
            message = std::make_unique<Message>(std::span<const std::string_view>(lines), l.size);
        }
        if (deletionPass && deleteIfMarked(l.number, *message)) continue;
        policy_.evaluate(*message);
        if (account_.msgDeletion == DeletionMode::AutoFiltered && message->deleted() &&
            autoDeleteFiltered(l.number, *message))
            continue;
        if (cache && !l.uid.empty()) headers_.push_back({std::string(l.uid), l.size, message.get()});
        result.push_back(std::move(message));
    }
    if (transport_.stopped() || wait_.stopRequested() || !transport_.stream().isOpen()) {
        // The list so far is not the mailbox: taking it would drop the marks
        // of the messages not fetched, and the DELEs sent are not committed
        // without QUIT. The last check's list stays.
        result.clear();
        headers_.clear();
        return false;
    }
    if (tried > 0 && unfetched.size() == tried) {
        // A server that refuses every header has shown nothing of the mailbox.
        eventLog().log("Error: no message of account %s could be fetched", account_.name.c_str());
        result.clear();
        headers_.clear();
        return false;
    }

    for (auto& message : result) {
        if (!message) continue;
        Marks old = previous(message->crc());
        if (old.read) message->markRead();
        if (old.deleted) message->markDeleted(dontCalcDeleted_);
    }
    keepEarlierCopies(result, unfetched);
    return true;
}

void Pop3Session::keepEarlierCopies(MessageList& result, const std::vector<Unfetched>& unfetched) {
    if (!unfetched.empty() && lockList()) {
        // Which earlier message a failed one is cannot be known for sure: the
        // first one gone from the list with its listed size, else the first
        // placeholder, kept or of the read-marks file (which knows no size).
        std::unordered_set<uint32_t> fetched;
        for (const auto& m : result)
            if (m) fetched.insert(m->crc());
        std::vector<const Message*> gone;
        for (const auto& m : account_.messages)
            if (!fetched.count(m->crc())) gone.push_back(m.get());
        size_t saved = 0;  // saved marks are taken in file order
        for (const Unfetched& u : unfetched) {
            auto it = std::find_if(gone.begin(), gone.end(), [&](const Message* m) { return m && m->size() == u.size; });
            if (it == gone.end())
                it = std::find_if(gone.begin(), gone.end(), [](const Message* m) { return m && m->headerText().empty(); });
            if (it != gone.end()) {
                result[u.at] = (*it)->clone();
                *it = nullptr;
                continue;
            }
            while (saved < account_.savedMarks.size() && fetched.count(account_.savedMarks[saved].crc)) ++saved;
            if (saved == account_.savedMarks.size()) continue;
            const SavedMark& s = account_.savedMarks[saved++];
            result[u.at] = std::make_unique<Message>(s.crc);
            if (s.read) result[u.at]->markRead();
        }
        account_.unlockMessages();
    }
    std::erase(result, nullptr);
}

bool Pop3Session::deleteIfMarked(int number, Message& message) {
    Marks old = previous(message.crc());
    if (!old.found) return false;
    if (!old.deleted) {
        message.undelete();
        return false;
    }
    message.markDeleted(dontCalcDeleted_);
    return account_.msgDeletion != DeletionMode::None && deleteMessage(number);
}

bool Pop3Session::autoDeleteFiltered(int number, Message& message) {
    if (previous(message.crc()).deleted) return false;  // waits for a confirmed pass
    message.markDeleted(dontCalcDeleted_);
    return deleteMessage(number);
}

bool Pop3Session::deleteMessage(int number) {
    eventLog().log("Delete message: account=%s", account_.name.c_str());
    deletionsSent_ = true;
    // Behind the TOPs in flight, when pipelining.
    Pipeline::Ticket dele = pipeline_.queue(false, 0, "DELE %d", number);
    return dele && pipeline_.take(dele) && transport_.answerIsOk();
}

bool Pop3Session::quit() {
    account_.setLastError(0);
    bool ok = transport_.request("QUIT") && transport_.readAnswer() && transport_.answerIsOk();
    // A server that hangs up instead of answering QUIT loses nothing, unless
    // it had deletions to commit.
    if (account_.lastError() == MSG_ConnectionClosed && !deletionsSent_) account_.clearErrorText();
    transport_.closeConnection();
    eventLog().log("disconnect from mail server: account=%s", account_.name.c_str());
    return ok || !deletionsSent_;
}
