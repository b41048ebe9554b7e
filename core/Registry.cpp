#include "core/Registry.h"

#include <cstring>
#include <utility>
#include <vector>

namespace {

// A REG_DWORD or REG_BINARY value of at most 4 bytes, little-endian.
bool decodeNumber(uint32_t type, const std::string& data, uint32_t& value) {
    if ((type != kRegDword && type != kRegBinary) || data.size() > 4) return false;
    uint32_t v = 0;
    for (size_t i = 0; i < data.size(); ++i) v |= uint32_t(static_cast<uint8_t>(data[i])) << (8 * i);
    value = v;
    return true;
}

}  // namespace

uint32_t Registry::deleteTree(RegHandle parent, std::string_view subKey) {
    RegHandle key = 0;
    uint32_t err = open(parent, subKey, RegAccess::AllAccess, key);
    if (err != kRegOk) return err;
    // Collect first: deleting while enumerating shifts the indices.
    std::vector<std::string> children;
    std::string name;
    for (uint32_t i = 0; enumKey(key, i, name) == kRegOk; ++i) children.push_back(name);
    for (const std::string& child : children) deleteTree(key, child);
    close(key);
    return deleteKey(parent, subKey);
}

RegKey::RegKey(RegKey&& other) noexcept
    : registry_(std::exchange(other.registry_, nullptr)), key_(std::exchange(other.key_, 0)) {}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
    if (this != &other) {
        close();
        registry_ = std::exchange(other.registry_, nullptr);
        key_ = std::exchange(other.key_, 0);
    }
    return *this;
}

bool RegKey::open(Registry& registry, RegHandle parent, std::string_view subKey, RegAccess access) {
    close();
    RegHandle key = 0;
    if (registry.open(parent, subKey, access, key) != kRegOk || key == 0) return false;
    registry_ = &registry;
    key_ = key;
    return true;
}

bool RegKey::create(Registry& registry, RegHandle parent, std::string_view subKey, RegAccess access) {
    close();
    RegHandle key = 0;
    if (registry.create(parent, subKey, access, key) != kRegOk || key == 0) return false;
    registry_ = &registry;
    key_ = key;
    return true;
}

bool RegKey::openOrCreate(Registry& registry, RegHandle parent, std::string_view subKey, RegAccess access) {
    return open(registry, parent, subKey, access) || create(registry, parent, subKey, RegAccess::AllAccess);
}

bool RegKey::openForWriting(Registry& registry, RegHandle parent, std::string_view subKey) {
    return open(registry, parent, subKey, RegAccess::AllAccess) ||
           create(registry, parent, subKey, RegAccess::AllAccess);
}

void RegKey::close() {
    if (key_ && registry_) registry_->close(key_);
    key_ = 0;
    registry_ = nullptr;
}

uint32_t RegKey::query(std::string_view name, uint32_t& type, std::string& data) const {
    if (!isOpen()) return kRegInvalidHandle;
    return registry_->query(key_, name, type, data);
}

uint32_t RegKey::set(std::string_view name, uint32_t type, std::string_view data) const {
    if (!isOpen()) return kRegInvalidHandle;
    return registry_->set(key_, name, type, data);
}

uint32_t RegKey::deleteValue(std::string_view name) const {
    if (!isOpen()) return kRegInvalidHandle;
    return registry_->deleteValue(key_, name);
}

bool RegKey::readNumber(std::string_view name, uint32_t& value) const {
    uint32_t type = 0;
    std::string data;
    return query(name, type, data) == kRegOk && decodeNumber(type, data, value);
}

bool RegKey::readFlag(std::string_view name, bool& flag, FlagRule rule) const {
    uint32_t v = 0;
    switch (rule) {
    case FlagRule::OneIsTrue:
        flag = readNumber(name, v) && v == 1;
        return true;
    case FlagRule::NonZeroIsTrue:
        if (!readNumber(name, v)) return false;
        break;
    case FlagRule::DwordNonZero: {
        uint32_t type = 0;
        std::string data;
        if (query(name, type, data) != kRegOk || data.size() != 4 || !decodeNumber(type, data, v)) return false;
        break;
    }
    }
    flag = v != 0;
    return true;
}

bool RegKey::readString(std::string_view name, std::string& value) const {
    uint32_t type = 0;
    std::string data;
    if (query(name, type, data) != kRegOk) return false;
    if (type != kRegSz && type != kRegExpandSz) return false;
    size_t zero = data.find('\0');
    if (zero != std::string::npos) data.resize(zero);
    if (type == kRegExpandSz && !data.empty()) {
        std::string expanded;
        if (registry_->expandEnvironment(data, expanded)) data = std::move(expanded);
    }
    value = std::move(data);
    return true;
}

bool RegKey::readBinary(std::string_view name, void* buffer, size_t size) const {
    std::memset(buffer, 0, size);
    uint32_t type = 0;
    std::string data;
    if (query(name, type, data) != kRegOk || data.size() > size) return false;
    if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
    return true;
}

bool RegKey::writeNumber(std::string_view name, uint32_t value) const {
    char bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    return set(name, kRegDword, std::string_view(bytes, 4)) == kRegOk;
}

bool RegKey::writeString(std::string_view name, std::string_view value) const {
    std::string data(value);
    data += '\0';
    return set(name, kRegSz, data) == kRegOk;
}

bool RegKey::writeBinary(std::string_view name, const void* data, size_t size) const {
    return set(name, kRegBinary, std::string_view(static_cast<const char*>(data), size)) == kRegOk;
}
