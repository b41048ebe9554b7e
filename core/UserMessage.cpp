#include "core/UserMessage.h"

#include <atomic>

#include "core/EventLog.h"
#include "core/MessageText.h"

namespace {
std::atomic<UserMessageHandler> gHandler{nullptr};
thread_local DeferUserMessages* tDeferred = nullptr;

void show(uint32_t id, const std::vector<std::string>& inserts) {
    if (UserMessageHandler handler = gHandler.load()) {
        handler(id, inserts);
        return;
    }
    std::string text = formatMessage(id, {});
    for (size_t i = 0; i < inserts.size(); ++i) {
        std::string mark = "%" + std::to_string(i + 1);
        if (size_t at = text.find(mark); at != std::string::npos) text.replace(at, mark.size(), inserts[i]);
    }
    eventLog().log("%s", text.c_str());
}
}  // namespace

void showUserMessage(uint32_t id, std::initializer_list<std::string> inserts) {
    if (tDeferred) tDeferred->waiting_.emplace_back(id, std::vector<std::string>(inserts));
    else show(id, std::vector<std::string>(inserts));
}

DeferUserMessages::DeferUserMessages() : outer_(tDeferred) { tDeferred = this; }

DeferUserMessages::~DeferUserMessages() {
    tDeferred = outer_;
    for (auto& [id, inserts] : waiting_) {
        if (outer_) outer_->waiting_.emplace_back(id, std::move(inserts));
        else show(id, inserts);
    }
}

void reportSystemError(uint32_t code, const std::string& what, const char* module) {
    eventLog().log("Error: %s: %s", what.c_str(), code ? formatMessage(code).c_str() : "no system error code");
    if (code) showUserMessage(code);
    else showUserMessage(MSG_UnexpectedErrorIn, {module});
}

UserMessageHandler setUserMessageHandler(UserMessageHandler handler) { return gHandler.exchange(handler); }
