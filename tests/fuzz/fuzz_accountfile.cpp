// The account file: any bytes parse in bounds, and what parses is written and
// parsed back the same (the connection parts wherever the URL can hold them).
// A file cut short keeps exactly the whole records before the cut.
#include <cstdint>
#include <string>
#include <vector>

#include "core/FieldFile.h"
#include "core/UserMessage.h"
#include "mail/AccountStore.h"

namespace {
void quiet(uint32_t, const std::vector<std::string>&) {}

bool urlCanHold(const Account& a) {
    if (a.server.find_first_of("/@") != std::string::npos) return false;
    if (a.user.empty()) return a.password.empty() && a.server.find(':') == std::string::npos;
    return a.user.find(':') == std::string::npos;
}

bool sameRecord(const Account& a, const Account& b) {
    return a.name == b.name && a.user == b.user && a.password == b.password && a.server == b.server &&
           a.port == b.port && a.checkInterval == b.checkInterval && a.checkTimeout == b.checkTimeout;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setUserMessageHandler(quiet);
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    AccountList accounts;
    bool dirty = false;
    parseAccountFile(bytes, accounts, dirty);

    for (size_t cut : {size / 3, size / 2, size - size / 8}) {
        if (cut >= size) continue;
        AccountList part;
        bool partDirty = false;
        parseAccountFile(bytes.substr(0, cut), part, partDirty);
        if (part.size() > accounts.size()) __builtin_trap();
        for (size_t i = 0; i < part.size(); ++i)
            if (!sameRecord(*part[i], *accounts[i])) __builtin_trap();
    }

    FieldWriter writer(static_cast<uint32_t>(accounts.size()));
    for (const auto& a : accounts) saveRecord(*a, writer);
    AccountList again;
    bool dirtyAgain = false;
    if (!parseAccountFile(writer.bytes(), again, dirtyAgain) || dirtyAgain || again.size() != accounts.size())
        __builtin_trap();
    for (size_t i = 0; i < accounts.size(); ++i) {
        const Account& a = *accounts[i];
        const Account& b = *again[i];
        if (a.name != b.name || a.port != b.port || a.checkInterval != b.checkInterval ||
            a.checkTimeout != b.checkTimeout || (urlCanHold(a) && !sameRecord(a, b)))
            __builtin_trap();
    }
    return 0;
}
