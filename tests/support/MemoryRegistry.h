// A registry in memory, for tests: keys and values behave as the system's do
// where the program can tell (names without regard to case, subkeys listed
// in name order and values in the order written, writes through a key opened
// for reading refused, a key with subkeys not deletable).
#pragma once
#include <map>
#include <memory>
#include <mutex>

#include "core/Registry.h"

class MemoryRegistry : public Registry {
public:
    MemoryRegistry();
    ~MemoryRegistry() override;

    uint32_t open(RegHandle parent, std::string_view subKey, RegAccess access, RegHandle& key) override;
    uint32_t create(RegHandle parent, std::string_view subKey, RegAccess access, RegHandle& key) override;
    void close(RegHandle key) override;
    uint32_t query(RegHandle key, std::string_view name, uint32_t& type, std::string& data) override;
    uint32_t set(RegHandle key, std::string_view name, uint32_t type, std::string_view data) override;
    uint32_t enumKey(RegHandle key, uint32_t index, std::string& name) override;
    uint32_t enumValue(RegHandle key, uint32_t index, std::string& name) override;
    uint32_t deleteKey(RegHandle parent, std::string_view subKey) override;
    uint32_t deleteValue(RegHandle key, std::string_view name) override;
    // "%NAME%" replaced by the variables given with setEnvironment; an
    // unknown name stays as written (as the system leaves it).
    bool expandEnvironment(std::string_view text, std::string& out) override;

    void setEnvironment(const std::string& name, const std::string& value);

    // Every open and create fails with kRegAccessDenied while set.
    void setDenyAll(bool deny) { denyAll_ = deny; }

    // Test shortcuts on paths under a root, without handles.
    bool keyExists(RegHandle root, std::string_view path);
    bool valueExists(RegHandle root, std::string_view path, std::string_view name);
    void put(RegHandle root, std::string_view path, std::string_view name, uint32_t type, std::string_view data);
    void putNumber(RegHandle root, std::string_view path, std::string_view name, uint32_t value);
    void putString(RegHandle root, std::string_view path, std::string_view name, std::string_view value);
    // The value's bytes, or false when it is missing.
    bool get(RegHandle root, std::string_view path, std::string_view name, uint32_t& type, std::string& data);

    size_t openHandles() const;  // keys opened and not yet closed

private:
    struct Node;
    struct Open {
        std::shared_ptr<Node> node;
        bool writable;
    };

    std::shared_ptr<Node> nodeOf(RegHandle key, bool* writable = nullptr);
    std::shared_ptr<Node> walk(std::shared_ptr<Node> from, std::string_view path, bool create);
    RegHandle addHandle(std::shared_ptr<Node> node, bool writable);

    mutable std::mutex lock_;
    std::shared_ptr<Node> currentUser_, localMachine_;
    std::map<RegHandle, Open> handles_;
    RegHandle nextHandle_ = 0x1000;
    std::map<std::string, std::string> environment_;
    bool denyAll_ = false;
};
