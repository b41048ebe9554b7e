#include "core/UserMessage.h"

#include <atomic>

#include "core/EventLog.h"
#include "core/MessageText.h"

namespace {
std::atomic<UserMessageHandler> gHandler{nullptr};
}  // namespace

void showUserMessage(uint32_t id, std::initializer_list<std::string> inserts) {
    if (UserMessageHandler handler = gHandler.load()) {
        handler(id, std::vector<std::string>(inserts));
        return;
    }
    eventLog().log("%s", formatMessage(id, inserts).c_str());
}

UserMessageHandler setUserMessageHandler(UserMessageHandler handler) { return gHandler.exchange(handler); }
