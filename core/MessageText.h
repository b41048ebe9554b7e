// User-visible texts by message-table identifier.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>

#include "messages_ids.h"

// The text of message `id` with "%1", "%2", ... replaced by the inserts, in
// order, and without the trailing line end. An id the table does not hold is
// taken as a system error code and yields the system's text for that code.
// Never fails: a text that cannot be found at all is returned as "0x<id>".
std::string formatMessage(uint32_t id, std::initializer_list<std::string> inserts = {});

// The same with a number as the only insert ("Network error %1").
std::string formatMessage(uint32_t id, long long insert);

// True when the program's own table holds `id`.
bool hasMessage(uint32_t id);
