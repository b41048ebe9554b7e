#include "filter/PowerFile.h"

#include <optional>

#include "core/TextUtil.h"
#include "core/TextLines.h"

namespace {

// The value after `key`, or nothing when the line does not begin with it.
std::optional<std::string_view> valueOf(std::string_view line, std::string_view key) {
    if (line.empty() || key.empty() || line.substr(0, key.size()) != key) return std::nullopt;
    return line.substr(key.size());
}

std::optional<int32_t> readNumber(std::string_view s) {
    size_t pos = 0;
    int32_t n;
    if (!scanDecimal(s, pos, n)) return std::nullopt;
    return n;
}

const char* yesNo(bool b) { return b ? "yes" : "no"; }

// Values are written unescaped; a line break inside one would start a line
// that reads back as a key of its own.
std::string oneLine(const std::string& value) {
    std::string out = value;
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

struct YesNoKey { const char* key; bool PowerFilter::*field; };
struct NumberKey { const char* key; int32_t PowerFilter::*field; };
struct TextKey { const char* key; std::string PowerFilter::*field; };

const YesNoKey kEnableKeys[] = {
    {"FromEnabled=", &PowerFilter::fromEnabled},       {"SubjectEnabled=", &PowerFilter::subjectEnabled},
    {"ToCcEnabled=", &PowerFilter::toCcEnabled},       {"PriorityEnabled=", &PowerFilter::priorityEnabled},
    {"AttachEnabled=", &PowerFilter::attachEnabled},   {"BodyEnabled=", &PowerFilter::bodyEnabled},
    {"HeaderEnabled=", &PowerFilter::headerEnabled},
};
const NumberKey kConditionKeys[] = {
    {"FromCondition=", &PowerFilter::fromCondition},     {"SubjectCondition=", &PowerFilter::subjectCondition},
    {"ToCcCondition=", &PowerFilter::toCcCondition},     {"AttachCondition=", &PowerFilter::attachCondition},
    {"BodyCondition=", &PowerFilter::bodyCondition},     {"HeaderCondition=", &PowerFilter::headerCondition},
};
const TextKey kWordKeys[] = {
    {"From=", &PowerFilter::fromWords},     {"Subject=", &PowerFilter::subjectWords},
    {"ToCc=", &PowerFilter::toCcWords},     {"Attach=", &PowerFilter::attachWords},
    {"Body=", &PowerFilter::bodyWords},     {"Header=", &PowerFilter::headerWords},
};
const YesNoKey kCaseKeys[] = {
    {"FromCase=", &PowerFilter::fromCase},       {"SubjectCase=", &PowerFilter::subjectCase},
    {"ToCcCase=", &PowerFilter::toCcCase},       {"AttachCase=", &PowerFilter::attachCase},
    {"BodyCase=", &PowerFilter::bodyCase},       {"HeaderCase=", &PowerFilter::headerCase},
};

// Applies one line to the filter being read, testing the keys in the order
// the writer writes them.
void applyLine(std::string_view line, PowerFilter& f) {
    std::string text;
    if (parseKey(line, "Enabled=", text)) {
        if (!text.empty()) f.disabled = text == "yes" ? 0 : 1;
        return;
    }
    for (const auto& k : kEnableKeys)
        if (parseKey(line, k.key, f.*k.field)) return;
    for (const auto& k : kConditionKeys) {
        int32_t n = f.*k.field;
        if (parseKey(line, k.key, n)) {
            f.*k.field = n != 0 ? 1 : 0;
            return;
        }
    }
    if (parseKey(line, "Priority=", f.priority)) return;
    for (const auto& k : kWordKeys)
        if (parseKey(line, k.key, f.*k.field)) return;
    if (parseKey(line, "Friendly=", f.markAsFriendly)) return;
    bool question = false;
    if (parseKey(line, "Question=", question)) {
        if (question) f.markUncertainChoice();
        return;
    }
    if (parseKey(line, "Deleted=", f.markAsDeleted)) return;
    if (parseKey(line, "RunMailer=", f.runMailer)) return;
    if (parseKey(line, "MarkAsRead=", f.markAsRead)) return;
    if (parseKey(line, "LaunchProgram=", f.launchProgram)) return;
    if (parseKey(line, "LaunchProgramPath=", f.launchProgramPath)) return;
    if (parseKey(line, "PlaySound=", f.playSound)) return;
    if (parseKey(line, "SoundFile=", f.soundFile)) return;
    if (parseKey(line, "SendMsgToURL=", f.sendMsgToUrl)) return;
    if (parseKey(line, "URLForSending=", f.urlForSending)) return;
    for (const auto& k : kCaseKeys)
        if (parseKey(line, k.key, f.*k.field)) return;
    if (parseKey(line, "UpperBound=", f.upperBound)) return;
    parseKey(line, "LowerBound=", f.lowerBound);
}

}  // namespace

bool parseKey(std::string_view line, std::string_view key, bool& out) {
    auto value = valueOf(line, key);
    if (!value) return false;
    if (!value->empty()) out = *value == "yes";
    return true;
}

bool parseKey(std::string_view line, std::string_view key, std::string& out) {
    auto value = valueOf(line, key);
    if (!value) return false;
    // An empty text value is an empty text: nothing to leave unchanged.
    out = std::string(*value);
    return true;
}

bool parseKey(std::string_view line, std::string_view key, int32_t& out) {
    auto value = valueOf(line, key);
    if (!value) return false;
    if (auto n = readNumber(*value)) out = *n;
    return true;
}

void parsePowerText(std::string_view text, std::vector<PowerFilter>& list) {
    PowerFilter current;
    bool reading = false;  // lines before the first name line are ignored
    TextLines lines(text);
    std::string_view line;
    while (lines.next(line)) {
        std::string name;
        if (parseKey(line, "FilterName=", name)) {
            if (reading) list.push_back(std::move(current));
            // An empty name starts a nameless filter: only this program writes
            // that line (older files leave it out), and dropping the filter
            // would lose it at the next start.
            reading = true;
            current = PowerFilter();
            current.filterName = std::move(name);
            continue;
        }
        if (reading) applyLine(line, current);
    }
    if (reading) list.push_back(std::move(current));
}

std::string formatPowerText(const std::vector<PowerFilter>& list) {
    std::string out;
    auto line = [&out](const char* key, const std::string& value) {
        out += key;
        out += oneLine(value);
        out += "\r\n";
    };
    auto flag = [&](const char* key, bool b) { line(key, yesNo(b)); };
    auto number = [&](const char* key, int32_t n) { line(key, std::to_string(n)); };
    for (const PowerFilter& f : list) {
        // A nameless filter still gets its name line: without it, its settings
        // would read back into the filter before it.
        line("FilterName=", f.filterName);
        flag("Enabled=", f.disabled == 0);
        for (const auto& k : kEnableKeys) flag(k.key, f.*k.field);
        for (const auto& k : kConditionKeys) number(k.key, f.*k.field);
        number("Priority=", f.priority);
        for (const auto& k : kWordKeys) line(k.key, f.*k.field);
        // Only the mark that counts is written: "Question=yes" clears the
        // friendly flag on reading, so writing both would change the mark.
        PowerFilter::Mark mark = f.mark();
        flag("Friendly=", mark == PowerFilter::Mark::Friendly);
        flag("Question=", mark == PowerFilter::Mark::Uncertain);
        flag("Deleted=", mark == PowerFilter::Mark::Deleted);
        flag("RunMailer=", f.runMailer);
        flag("MarkAsRead=", f.markAsRead);
        flag("LaunchProgram=", f.launchProgram);
        line("LaunchProgramPath=", f.launchProgramPath);
        flag("PlaySound=", f.playSound);
        line("SoundFile=", f.soundFile);
        flag("SendMsgToURL=", f.sendMsgToUrl);
        line("URLForSending=", f.urlForSending);
        for (const auto& k : kCaseKeys) flag(k.key, f.*k.field);
        number("UpperBound=", f.upperBound);
        number("LowerBound=", f.lowerBound);
    }
    return out;
}
