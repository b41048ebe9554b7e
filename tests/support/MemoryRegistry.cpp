#include "support/MemoryRegistry.h"

#include "core/TextUtil.h"

#include <vector>

namespace {

constexpr uint32_t kKeyDeleted = 1018;  // ERROR_KEY_DELETED

}  // namespace

struct MemoryRegistry::Node {
    struct Value {
        std::string name;
        uint32_t type;
        std::string data;
    };
    bool deleted = false;
    std::map<std::string, std::pair<std::string, std::shared_ptr<Node>>> children;  // folded -> (name, node)
    std::vector<Value> values;

    Value* findValue(std::string_view name) {
        std::string f = lowerAscii(name);
        for (Value& v : values)
            if (lowerAscii(v.name) == f) return &v;
        return nullptr;
    }
};

MemoryRegistry::MemoryRegistry()
    : currentUser_(std::make_shared<Node>()), localMachine_(std::make_shared<Node>()) {}

MemoryRegistry::~MemoryRegistry() = default;

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::nodeOf(RegHandle key, bool* writable) {
    if (writable) *writable = true;
    if (key == kRegCurrentUser) return currentUser_;
    if (key == kRegLocalMachine) return localMachine_;
    auto it = handles_.find(key);
    if (it == handles_.end()) return nullptr;
    if (writable) *writable = it->second.writable;
    return it->second.node;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::walk(std::shared_ptr<Node> from, std::string_view path,
                                                           bool create) {
    std::shared_ptr<Node> node = std::move(from);
    size_t pos = 0;
    while (node && pos < path.size()) {
        size_t end = path.find('\\', pos);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty()) continue;
        auto& children = node->children;
        auto it = children.find(lowerAscii(part));
        if (it == children.end()) {
            if (!create) return nullptr;
            auto child = std::make_shared<Node>();
            children[lowerAscii(part)] = {std::string(part), child};
            node = child;
        } else {
            node = it->second.second;
        }
    }
    return node;
}

RegHandle MemoryRegistry::addHandle(std::shared_ptr<Node> node, bool writable) {
    RegHandle h = nextHandle_;
    nextHandle_ += 4;
    handles_[h] = {std::move(node), writable};
    return h;
}

uint32_t MemoryRegistry::open(RegHandle parent, std::string_view subKey, RegAccess access, RegHandle& key) {
    std::lock_guard<std::mutex> hold(lock_);
    key = 0;
    if (denyAll_) return kRegAccessDenied;
    auto from = nodeOf(parent);
    if (!from) return kRegInvalidHandle;
    if (from->deleted) return kKeyDeleted;
    auto node = walk(from, subKey, false);
    if (!node) return kRegFileNotFound;
    key = addHandle(node, access == RegAccess::AllAccess);
    return kRegOk;
}

uint32_t MemoryRegistry::create(RegHandle parent, std::string_view subKey, RegAccess access, RegHandle& key) {
    std::lock_guard<std::mutex> hold(lock_);
    key = 0;
    if (denyAll_) return kRegAccessDenied;
    bool writable = false;
    auto from = nodeOf(parent, &writable);
    if (!from) return kRegInvalidHandle;
    if (from->deleted) return kKeyDeleted;
    // Creating below a key needs the parent open for writing, unless the key
    // exists already.
    auto node = walk(from, subKey, false);
    if (!node) {
        if (!writable) return kRegAccessDenied;
        node = walk(from, subKey, true);
    }
    key = addHandle(node, access == RegAccess::AllAccess);
    return kRegOk;
}

void MemoryRegistry::close(RegHandle key) {
    std::lock_guard<std::mutex> hold(lock_);
    handles_.erase(key);
}

uint32_t MemoryRegistry::query(RegHandle key, std::string_view name, uint32_t& type, std::string& data) {
    std::lock_guard<std::mutex> hold(lock_);
    auto node = nodeOf(key);
    if (!node) return kRegInvalidHandle;
    if (node->deleted) return kKeyDeleted;
    Node::Value* v = node->findValue(name);
    if (!v) return kRegFileNotFound;
    type = v->type;
    data = v->data;
    return kRegOk;
}

uint32_t MemoryRegistry::set(RegHandle key, std::string_view name, uint32_t type, std::string_view data) {
    std::lock_guard<std::mutex> hold(lock_);
    bool writable = false;
    auto node = nodeOf(key, &writable);
    if (!node) return kRegInvalidHandle;
    if (node->deleted) return kKeyDeleted;
    if (!writable) return kRegAccessDenied;
    if (Node::Value* v = node->findValue(name)) {
        v->type = type;
        v->data = std::string(data);
    } else {
        node->values.push_back({std::string(name), type, std::string(data)});
    }
    return kRegOk;
}

uint32_t MemoryRegistry::enumKey(RegHandle key, uint32_t index, std::string& name) {
    std::lock_guard<std::mutex> hold(lock_);
    auto node = nodeOf(key);
    if (!node) return kRegInvalidHandle;
    if (node->deleted) return kKeyDeleted;
    if (index >= node->children.size()) return kRegNoMoreItems;
    auto it = node->children.begin();
    std::advance(it, index);
    name = it->second.first;
    return kRegOk;
}

uint32_t MemoryRegistry::enumValue(RegHandle key, uint32_t index, std::string& name) {
    std::lock_guard<std::mutex> hold(lock_);
    auto node = nodeOf(key);
    if (!node) return kRegInvalidHandle;
    if (node->deleted) return kKeyDeleted;
    if (index >= node->values.size()) return kRegNoMoreItems;
    name = node->values[index].name;
    return kRegOk;
}

uint32_t MemoryRegistry::deleteKey(RegHandle parent, std::string_view subKey) {
    std::lock_guard<std::mutex> hold(lock_);
    auto from = nodeOf(parent);
    if (!from) return kRegInvalidHandle;
    size_t cut = subKey.find_last_of('\\');
    std::string_view leaf = cut == std::string_view::npos ? subKey : subKey.substr(cut + 1);
    auto owner = cut == std::string_view::npos ? from : walk(from, subKey.substr(0, cut), false);
    if (!owner || leaf.empty()) return kRegFileNotFound;
    auto it = owner->children.find(lowerAscii(leaf));
    if (it == owner->children.end()) return kRegFileNotFound;
    if (!it->second.second->children.empty()) return kRegAccessDenied;
    it->second.second->deleted = true;
    owner->children.erase(it);
    return kRegOk;
}

uint32_t MemoryRegistry::deleteValue(RegHandle key, std::string_view name) {
    std::lock_guard<std::mutex> hold(lock_);
    bool writable = false;
    auto node = nodeOf(key, &writable);
    if (!node) return kRegInvalidHandle;
    if (node->deleted) return kKeyDeleted;
    if (!writable) return kRegAccessDenied;
    std::string f = lowerAscii(name);
    for (auto it = node->values.begin(); it != node->values.end(); ++it) {
        if (lowerAscii(it->name) == f) {
            node->values.erase(it);
            return kRegOk;
        }
    }
    return kRegFileNotFound;
}

bool MemoryRegistry::expandEnvironment(std::string_view text, std::string& out) {
    std::lock_guard<std::mutex> hold(lock_);
    out.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        size_t open = text.find('%', pos);
        size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        auto it = environment_.find(lowerAscii(text.substr(open + 1, close - open - 1)));
        if (it != environment_.end()) {
            out += it->second;
            pos = close + 1;
        } else {
            // Unknown: keep the "%" and look for a reference from the next one.
            out += '%';
            pos = open + 1;
        }
    }
    return true;
}

void MemoryRegistry::setEnvironment(const std::string& name, const std::string& value) {
    std::lock_guard<std::mutex> hold(lock_);
    environment_[lowerAscii(name)] = value;
}

bool MemoryRegistry::keyExists(RegHandle root, std::string_view path) {
    std::lock_guard<std::mutex> hold(lock_);
    auto from = nodeOf(root);
    return from && walk(from, path, false) != nullptr;
}

bool MemoryRegistry::valueExists(RegHandle root, std::string_view path, std::string_view name) {
    uint32_t type;
    std::string data;
    return get(root, path, name, type, data);
}

void MemoryRegistry::put(RegHandle root, std::string_view path, std::string_view name, uint32_t type,
                         std::string_view data) {
    std::lock_guard<std::mutex> hold(lock_);
    auto from = nodeOf(root);
    if (!from) return;
    auto node = walk(from, path, true);
    if (Node::Value* v = node->findValue(name)) {
        v->type = type;
        v->data = std::string(data);
    } else {
        node->values.push_back({std::string(name), type, std::string(data)});
    }
}

void MemoryRegistry::putNumber(RegHandle root, std::string_view path, std::string_view name, uint32_t value) {
    char bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    put(root, path, name, kRegDword, std::string_view(bytes, 4));
}

void MemoryRegistry::putString(RegHandle root, std::string_view path, std::string_view name,
                               std::string_view value) {
    std::string data(value);
    data += '\0';
    put(root, path, name, kRegSz, data);
}

bool MemoryRegistry::get(RegHandle root, std::string_view path, std::string_view name, uint32_t& type,
                         std::string& data) {
    std::lock_guard<std::mutex> hold(lock_);
    auto from = nodeOf(root);
    auto node = from ? walk(from, path, false) : nullptr;
    Node::Value* v = node ? node->findValue(name) : nullptr;
    if (!v) return false;
    type = v->type;
    data = v->data;
    return true;
}

size_t MemoryRegistry::openHandles() const {
    std::lock_guard<std::mutex> hold(lock_);
    return handles_.size();
}
