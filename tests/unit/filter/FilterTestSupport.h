// Shared pieces of the filter tests: messages built from TOP answers, a
// double that records what the actions did, and list-file bytes.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "support/MemoryRegistry.h"
#include "filter/FilterActions.h"
#include "filter/FilterSet.h"
#include "message/Message.h"
#include "support/TempDir.h"

inline std::unique_ptr<Message> topMessage(const std::vector<std::string>& lines, int32_t size = 2048) {
    return std::make_unique<Message>(lines, size);
}

class RecordingActions : public ActionHost {
public:
    void launchFile(const std::string& path) override { calls.push_back("launch " + path); }
    void playSound(const std::string& file) override { calls.push_back("sound " + file); }
    void sendToUrl(const std::string& url) override { calls.push_back("url " + url); }
    std::vector<std::string> calls;
};

inline std::string u32Bytes(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

// One record of a word list file: UTF-16LE text with its byte count, flags.
inline std::string wordRecord(const std::string& ascii, bool uncertain = false, bool useCase = false) {
    std::string out = u32Bytes(static_cast<uint32_t>(ascii.size() * 2));
    for (char c : ascii) out += std::string{c, '\0'};
    return out + char(uncertain) + char(useCase) + u32Bytes(0);
}
