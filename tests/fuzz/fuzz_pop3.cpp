// What a POP3 server feeds a check: any bytes, cut into any pieces, read as
// one-line and multi-line answers, then split as LIST, UIDL, CAPA and TOP
// answers and taken as an APOP greeting. Nothing reads outside its input, the pieces
// never change the answer, and the parts found lie within it.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "mail/Account.h"
#include "mail/HeaderCache.h"
#include "mail/Pop3Session.h"
#include "mail/Transport.h"
#include "tests/unit/mail/FakeStream.h"

namespace {

// The answer read from `data` handed over in pieces whose lengths the bytes
// themselves pick, or in one piece when `whole`.
bool readAnswer(std::string_view data, bool multiLine, bool whole, std::string& answer) {
    Account account;
    FakeStream stream;
    CheckGate gate;
    FakeConnection& c = stream.add();
    for (size_t pos = 0; pos < data.size();) {
        size_t n = whole ? data.size() : 1 + static_cast<uint8_t>(data[pos]) % 7;
        c.chunks.emplace_back(data.substr(pos, n));
        pos += n;
    }
    Transport transport(account, stream, gate);
    transport.hookup();
    bool ok = multiLine ? transport.readMultiAnswer() : transport.readAnswer();
    answer = transport.answer();
    return ok;
}

bool inside(std::string_view part, std::string_view whole) {
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (bool multiLine : {false, true}) {
        std::string whole, pieces;
        bool ok = readAnswer(bytes, multiLine, true, whole);
        if (readAnswer(bytes, multiLine, false, pieces) != ok || pieces != whole) __builtin_trap();
        if (whole.size() > size) __builtin_trap();
    }
    if (unstuff(bytes).size() > size) __builtin_trap();

    size_t lineEnds = 0;
    for (size_t at = bytes.find('\n'); at != std::string_view::npos; at = bytes.find('\n', at + 1)) ++lineEnds;
    if (parseListing(bytes).size() != lineEnds) __builtin_trap();
    for (std::string_view line : splitAnswerLines(bytes))
        if (!inside(line, bytes)) __builtin_trap();
    std::unordered_map<int32_t, std::string_view> ids;
    if (parseUidListing(bytes, ids)) {
        if (ids.size() > lineEnds) __builtin_trap();
        for (const auto& [number, id] : ids)
            if (!inside(id, bytes) || id.empty() || id.size() > 70) __builtin_trap();
    }
    parseCapabilities(bytes);

    bool hasStamp = false;
    std::string digest = apopDigest(bytes.substr(0, bytes.find('\n')), "secret", hasStamp);
    if (hasStamp != (digest.size() == 32)) __builtin_trap();
    return 0;
}
