// The message table as the native build holds it (generated from messages.mc).
#pragma once
#include <cstddef>
#include <cstdint>

struct MessageTableEntry {
    uint32_t id;
    const char* text;  // without the trailing "%0" and line end
};

extern const MessageTableEntry kMessageTable[];  // sorted by id
extern const size_t kMessageTableSize;
