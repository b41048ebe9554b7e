// Shared pieces of the filter tests: a fresh program directory, messages
// built from TOP answers, and doubles that record what the actions did.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/MemoryRegistry.h"
#include "filter/FilterActions.h"
#include "filter/FilterSet.h"
#include "message/Message.h"
#include "support/TempDir.h"

// A message as the POP3 session builds it from a TOP answer.
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

class RecordingObserver : public FilterObserver {
public:
    explicit RecordingObserver(std::vector<std::string>& calls, bool countDeletedAsRead = false)
        : calls_(calls), countDeletedAsRead_(countDeletedAsRead) {}
    void runMailer() override { calls_.push_back("mailer"); }
    bool dontCalcDeleted() const override { return countDeletedAsRead_; }

private:
    std::vector<std::string>& calls_;
    bool countDeletedAsRead_;
};

// A string field as the list files store it: byte count, UTF-16LE.
inline std::string fieldBytes(const std::string& ascii) {
    std::string out;
    uint32_t n = static_cast<uint32_t>(ascii.size() * 2);
    out.append(reinterpret_cast<const char*>(&n), 4);
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

inline std::string u32Bytes(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
