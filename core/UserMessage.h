// Messages for the user from code that cannot show windows itself. The
// Windows programs install a handler that shows the message box; without one
// the text goes to the event log.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <string>
#include <vector>

// `id` is a message-table identifier or, for ids the table lacks, a system
// error code (see formatMessage).
using UserMessageHandler = void (*)(uint32_t id, const std::vector<std::string>& inserts);

void showUserMessage(uint32_t id, std::initializer_list<std::string> inserts = {});

// A system call failed for `what` (a file name, say): logs "Error: <what>:
// <the system's text>" and shows the system's text for `code`, or, when
// there is no code, "Unexpected Error in '<module>'.".
void reportSystemError(uint32_t code, const std::string& what, const char* module);

// Null restores the default (the event log). Returns the handler before.
UserMessageHandler setUserMessageHandler(UserMessageHandler handler);

// While one lives on a thread, that thread's messages wait and are shown when
// it ends. Code that holds a lock other threads wait for declares one before
// taking the lock, so that a message box never stands open while the lock is
// held.
class DeferUserMessages {
public:
    DeferUserMessages();
    ~DeferUserMessages();
    DeferUserMessages(const DeferUserMessages&) = delete;
    DeferUserMessages& operator=(const DeferUserMessages&) = delete;

private:
    DeferUserMessages* outer_;
    std::vector<std::pair<uint32_t, std::vector<std::string>>> waiting_;
    friend void showUserMessage(uint32_t, std::initializer_list<std::string>);
};
