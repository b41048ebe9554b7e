// The account file: any bytes parse in bounds, and what parses is written and
// parsed back the same (the connection parts wherever the URL can hold them).
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
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setUserMessageHandler(quiet);
    AccountList accounts;
    bool dirty = false;
    parseAccountFile(std::string_view(reinterpret_cast<const char*>(data), size), accounts, dirty);

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
            a.checkTimeout != b.checkTimeout ||
            (urlCanHold(a) && (a.user != b.user || a.password != b.password || a.server != b.server)))
            __builtin_trap();
    }
    return 0;
}
