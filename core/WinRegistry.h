// The system registry behind the Registry interface (Windows build).
#pragma once
#include "core/Registry.h"

class WinRegistry : public Registry {
public:
    uint32_t open(RegHandle parent, std::string_view subKey, RegAccess access, RegHandle& key) override;
    uint32_t create(RegHandle parent, std::string_view subKey, RegAccess access, RegHandle& key) override;
    void close(RegHandle key) override;
    uint32_t query(RegHandle key, std::string_view name, uint32_t& type, std::string& data) override;
    uint32_t set(RegHandle key, std::string_view name, uint32_t type, std::string_view data) override;
    uint32_t enumKey(RegHandle key, uint32_t index, std::string& name) override;
    uint32_t enumValue(RegHandle key, uint32_t index, std::string& name) override;
    uint32_t deleteKey(RegHandle parent, std::string_view subKey) override;
    uint32_t deleteValue(RegHandle key, std::string_view name) override;
    bool expandEnvironment(std::string_view text, std::string& out) override;
};
